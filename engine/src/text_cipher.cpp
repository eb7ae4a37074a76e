// SPDX-License-Identifier: MIT
#include "tarnel/text_cipher.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "crc_key.h"
#include "ecb_cipher.h"
#include "hex_codec.h"
#include "huge_pages.h"
#include "tarnel/sealed_format.h"
#include "tarnel/secure_wipe.h"

namespace tarnel {
namespace {

// Plain text passes through a chunk of this size on its way into hex, so sealing
// needs no plain-sized copy of the text.
constexpr std::size_t kChunkBytes = 64 * 1024;

// The key's 32 bytes, wiped when they go.
struct KeyBytes {
    explicit KeyBytes(const TextKey& key) noexcept { text_key_bytes(key, bytes); }
    ~KeyBytes() { secure_wipe(bytes, sizeof bytes); }
    KeyBytes(const KeyBytes&) = delete;
    KeyBytes& operator=(const KeyBytes&) = delete;
    uint8_t bytes[32];
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
        const std::size_t length = opening + 2 * cipher_bytes + kTrailerDigits + closing;
        reserve_on_huge_pages(result, length);
        result.resize(length);
        m_bufWork.resize(kChunkBytes);
    } catch (const std::bad_alloc&) {
        secure_wipe(m_bufWork);
        std::string().swap(result);
        return false;
    }

    const KeyBytes key_bytes(key);
    // The schedule is built once per text: the same output as keying a fresh
    // context for every block.
    const EcbCipher cipher(key_bytes.bytes, sizeof key_bytes.bytes, EcbCipher::Direction::Encrypt);
    uint8_t* chunk = reinterpret_cast<uint8_t*>(m_bufWork.data());
    if (enveloped) {
        kSealedOpen.copy(result.data(), opening);
        kSealedClose.copy(result.data() + result.size() - closing, closing);
    }
    char* hex = result.data() + opening;
    const auto* text = reinterpret_cast<const uint8_t*>(plain.data());
    // Every block but the last is all text, and is read straight from it.
    const uint64_t text_blocks = blocks - 1;
    for (uint64_t first = 0; first < text_blocks; first += kChunkBytes / 32) {
        const std::size_t count =
            std::size_t(std::min<uint64_t>(kChunkBytes / 32, text_blocks - first));
        cipher.run(text + 32 * first, chunk, count);
        hex_encode(chunk, 32 * count, hex + 64 * first);
    }
    // The zero fill: the last block holds the text's remaining bytes, then zeros.
    uint8_t last[32] = {};
    const std::size_t tail = plain.size() - std::size_t(32 * text_blocks);
    if (tail != 0)
        std::memcpy(last, text + 32 * text_blocks, tail);
    cipher.run(last, last, 1);
    hex_encode(last, 32, hex + 64 * text_blocks);
    secure_wipe(last, sizeof last);
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
        reserve_on_huge_pages(result, std::size_t(size));
        result.resize(std::size_t(size));
    } catch (const std::bad_alloc&) {
        std::string().swap(result);
        return false;
    }

    uint8_t* buffer = reinterpret_cast<uint8_t*>(result.data());
    hex_decode_skipping_space(body.data(), layout.hex_end, buffer, std::size_t(size));
    const KeyBytes key_bytes(key);
    const EcbCipher cipher(key_bytes.bytes, sizeof key_bytes.bytes, EcbCipher::Direction::Decrypt);
    cipher.run(buffer, buffer, std::size_t(layout.blocks));

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
