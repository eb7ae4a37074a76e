// SPDX-License-Identifier: MIT
// Turns a password into a TextKey, a plain text into the body of a sealed text
// (cipher hex and trailer, no envelope), and such a body back into plain text.
#pragma once

#include <string>
#include <string_view>

#include "tarnel/sealed_format.h"
#include "tarnel/text_key.h"

namespace tarnel {

/// Whether EncryptText's result carries the "{{" and "}}" of a sealed text.
enum class Envelope { Omitted, Included };

/// What DecryptText found, for callers that want to warn.
struct OpenSummary {
    uint64_t blocks = 0;         ///< blocks decoded and decrypted
    bool looks_genuine = false;  ///< see looks_genuine() in sealed_format.h
    BodyDamage damage;           ///< what the body got wrong
};

/// One object serves one seal or one open: construct, SetPassword, then one of
/// EncryptText or DecryptText. Nothing throws. A failure leaves `result` empty and
/// the operation returns false: memory runs out, a plain text is too long for the
/// trailer, or (sealing only, see SealCheckFailed) the seal did not open again to
/// the plain text.
class CTextCipher {
  public:
    CTextCipher() = default;
    CTextCipher(const CTextCipher&) = delete;
    CTextCipher& operator=(const CTextCipher&) = delete;
    /// Wipes the password copy.
    virtual ~CTextCipher();

    /// Fills `key` from `password` (not empty; the caller guarantees it) and keeps
    /// a copy of the password. Only the first eight bytes count; a shorter password
    /// is repeated: Ki is the CRC-32 of the repeated stream's first i + 1 bytes.
    /// Should memory for the copy run out, the key is still filled.
    void SetPassword(std::string_view password, TextKey& key) noexcept;

    /// Sets `result` to the cipher body and trailer of `plain` (any length). The
    /// plain text is zero-filled to whole 32-byte blocks, always at least one zero.
    /// Returns false, with `result` empty, for a plain text longer than
    /// kMaxPlainLength (sealed_format.h) or when memory runs out.
    /// With Envelope::Included the result is the whole sealed text, "{{" body "}}",
    /// written in place rather than copied around the body afterwards.
    bool EncryptText(const TextKey& key, std::string_view plain, std::string& result,
                     Envelope envelope = Envelope::Omitted) noexcept;

    /// After EncryptText returned false: true when the seal was made but did not
    /// open again to `plain`, a fault of this program rather than of the input.
    /// Every seal is checked so before it is handed out.
    bool SealCheckFailed() const noexcept { return m_sealCheckFailed; }

    /// Sets `result` to the plain text of `body` (a sealed text without "{{" and
    /// "}}"): the decrypted bytes up to the first zero byte, or all of them when
    /// there is none. White space in the body is skipped; a damaged or forged body
    /// gives a short or empty text, never more blocks than its hex part reaches.
    /// Bytes after the first zero are wiped, not left in `result`'s capacity.
    /// Returns false, with `result` empty, when memory runs out.
    bool DecryptText(const TextKey& key, std::string_view body, std::string& result,
                     OpenSummary* summary = nullptr) noexcept;

  private:
    std::string m_strPassword;
    bool m_sealCheckFailed = false;
};

}  // namespace tarnel
