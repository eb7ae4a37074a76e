// SPDX-License-Identifier: MIT
#include "tarnel/text_cipher.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "crc_key.h"
#include "hex_codec.h"
#include "tarnel/rijndael.h"
#include "tarnel/sealed_format.h"
#include "tarnel/secure_wipe.h"

namespace tarnel {
namespace {

// Plain text passes through a chunk of this size on its way into hex, so sealing
// needs no plain-sized copy of the text.
constexpr std::size_t kChunkBytes = 64 * 1024;

// A keyed context, wiped when it goes. The schedule is built once per text: the
// same output as keying a fresh context for every block.
class KeyedContext {
  public:
    KeyedContext(const TextKey& key, unsigned direction) noexcept {
        uint8_t bytes[32];
        text_key_bytes(key, bytes);
        m_ctx.flags = 0;
        rijndael_set_key(bytes, sizeof bytes, direction, &m_ctx);
        secure_wipe(bytes, sizeof bytes);
    }
    ~KeyedContext() { secure_wipe_object(m_ctx); }
    KeyedContext(const KeyedContext&) = delete;
    KeyedContext& operator=(const KeyedContext&) = delete;

    const RijndaelContext* get() const noexcept { return &m_ctx; }

  private:
    RijndaelContext m_ctx;
};

void write_trailer(uint64_t blocks, char* out) {
    char digits[kTrailerDigits + 1];
    std::snprintf(digits, sizeof digits, "%010u", unsigned(~uint32_t(blocks)));
    std::memcpy(out, digits, kTrailerDigits);
}

}  // namespace

CTextCipher::~CTextCipher() {
    secure_wipe(m_strPassword);
    secure_wipe(m_bufWork);
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
    result.clear();
    if (plain.size() > kMaxPlainLength)
        return false;
    const uint64_t blocks = sealed_block_count(plain.size());
    const uint64_t cipher_bytes = 32 * blocks;
    const bool enveloped = envelope == Envelope::Included;
    const std::size_t opening = enveloped ? kSealedOpen.size() : 0;
    const std::size_t closing = enveloped ? kSealedClose.size() : 0;
    try {
        result.resize(opening + 2 * cipher_bytes + kTrailerDigits + closing);
        m_bufWork.resize(kChunkBytes);
    } catch (const std::bad_alloc&) {
        secure_wipe(m_bufWork);
        std::string().swap(result);
        return false;
    }

    const KeyedContext ctx(key, RIJNDAEL_ENCRYPT);
    uint8_t* chunk = reinterpret_cast<uint8_t*>(m_bufWork.data());
    if (enveloped) {
        kSealedOpen.copy(result.data(), opening);
        kSealedClose.copy(result.data() + result.size() - closing, closing);
    }
    char* hex = result.data() + opening;
    for (uint64_t offset = 0; offset < cipher_bytes; offset += kChunkBytes) {
        const std::size_t size =
            std::size_t(std::min<uint64_t>(kChunkBytes, cipher_bytes - offset));
        const std::size_t from_text =
            offset < plain.size() ? std::min<std::size_t>(size, plain.size() - offset) : 0;
        // The zero fill: the text's bytes, then zeros to the end of the last block.
        if (from_text != 0)
            std::memcpy(chunk, plain.data() + offset, from_text);
        std::memset(chunk + from_text, 0, size - from_text);
        for (std::size_t b = 0; b < size; b += 32)
            rijndael_encrypt_block(chunk + b, chunk + b, ctx.get());
        hex_encode(chunk, size, hex + 2 * offset);
    }
    write_trailer(blocks, hex + 2 * cipher_bytes);
    secure_wipe(m_bufWork);
    std::string().swap(m_bufWork);
    return true;
}

bool CTextCipher::DecryptText(const TextKey& key, std::string_view body, std::string& result,
                              OpenSummary* summary) noexcept {
    result.clear();
    if (summary != nullptr)
        *summary = OpenSummary{};
    const BodyLayout layout = analyse_body(body);
    const uint64_t size = 32 * layout.blocks;
    try {
        result.resize(std::size_t(size));
    } catch (const std::bad_alloc&) {
        std::string().swap(result);
        return false;
    }

    uint8_t* buffer = reinterpret_cast<uint8_t*>(result.data());
    hex_decode_skipping_space(body.data(), layout.hex_end, buffer, std::size_t(size));
    const KeyedContext ctx(key, RIJNDAEL_DECRYPT);
    for (uint64_t b = 0; b < size; b += 32)
        rijndael_decrypt_block(buffer + b, buffer + b, ctx.get());

    const void* zero = std::memchr(buffer, 0, std::size_t(size));
    const std::size_t length = zero != nullptr
                                   ? std::size_t(static_cast<const uint8_t*>(zero) - buffer)
                                   : std::size_t(size);
    if (summary != nullptr) {
        summary->blocks = layout.blocks;
        summary->looks_genuine = looks_genuine(result);
    }
    // What follows the first zero is padding, or a wrong password's noise: it goes.
    secure_wipe(buffer + length, std::size_t(size) - length);
    result.resize(length);
    return true;
}

}  // namespace tarnel
