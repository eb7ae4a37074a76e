// SPDX-License-Identifier: MIT
#include "tarnel/text_cipher.h"

#include <new>

#include "body_layout.h"
#include "crc_key.h"
#include "lending_sink.h"
#include "stack_wipe.h"
#include "tarnel/secure_wipe.h"
#include "text_opener.h"
#include "text_sealer.h"
#include "unbroken_body.h"

namespace tarnel {

CTextCipher::~CTextCipher() {
    secure_wipe(m_strPassword);
}

void CTextCipher::SetPassword(std::string_view password, TextKey& key) noexcept {
    key = derive_text_key(password);
    secure_wipe(m_strPassword);
    try {
        m_strPassword.assign(password);
    } catch (const std::bad_alloc&) {
        // The copy is never read back; the key is what matters.
    }
}

bool CTextCipher::EncryptText(const TextKey& key, std::string_view plain, std::string& result,
                              Envelope envelope) noexcept {
    const StackWipe wipe_on_return;
    result.clear();
    m_sealCheckFailed = false;
    // Widened first: where size_t has 32 bits no text reaches the limit.
    if (uint64_t(plain.size()) > kMaxPlainLength)
        return false;
    if (!reserve_result(result, TextSealer::sealed_length(plain.size(), envelope)))
        return false;
    StringSink sink(result);
    TextSealer sealer;
    if (!sealer.start(key, plain.size(), envelope, sink)) {
        std::string().swap(result);
        return false;
    }
    sealer.feed(plain);
    // The sealer checked every piece; what is left to check is that they all came.
    m_sealCheckFailed =
        !sealer.finish() ||
        (!sink.failed() && result.size() != TextSealer::sealed_length(plain.size(), envelope));
    if (sink.failed() || m_sealCheckFailed) {
        std::string().swap(result);
        return false;
    }
    return true;
}

bool CTextCipher::DecryptText(const TextKey& key, std::string_view body, std::string& result,
                              OpenSummary* summary) noexcept {
    const StackWipe wipe_on_return;
    result.clear();
    OpenSummary found;
    // A body that sealing made holds no white space, and then one pass over its hex
    // part both decodes and judges it. Should white space turn up, the body is
    // opened again the slower way, which first counts it.
    BodyDamage damage;
    BodyLayout layout = analyse_unbroken_body(body, damage);
    bool done = false;
    bool failed = false;
    for (const bool unbroken : {true, false}) {
        if (!unbroken)
            layout = analyse_body(body, damage);
        // Only the bytes before the first zero are stored, at most all of them.
        StringSink sink(result);
        TextOpener opener;
        if (!reserve_result(result, 32 * layout.blocks) ||
            !opener.start(key, layout, sink, unbroken)) {
            failed = true;
            break;
        }
        opener.feed(body.substr(0, layout.hex_end));
        opener.finish(found);
        if (unbroken && opener.met_white_space()) {
            secure_wipe(result);
            continue;
        }
        if (unbroken)
            damage.bad_digits = opener.met_stray_character();
        failed = sink.failed();
        done = true;
        break;
    }
    if (!done)
        found = OpenSummary{};
    found.damage = damage;
    if (summary != nullptr)
        *summary = found;
    if (failed || !done) {
        secure_wipe(result);
        std::string().swap(result);
        return false;
    }
    return true;
}

}  // namespace tarnel
