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
#include "parallel_parts.h"
#include "tarnel/sealed_format.h"
#include "tarnel/secure_wipe.h"

namespace tarnel {
namespace {

// Cipher bytes pass through a chunk of this size on their way into or out of hex,
// small enough to stay in the first-level cache and to live on a thread's stack.
constexpr std::size_t kChunkBytes = 16 * 1024;

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
    } catch (const std::bad_alloc&) {
        std::string().swap(result);
        return false;
    }

    const KeyBytes key_bytes(key);
    // The schedule is built once per text: the same output as keying a fresh
    // context for every block.
    const EcbCipher cipher(key_bytes.bytes, sizeof key_bytes.bytes, EcbCipher::Direction::Encrypt);
    if (enveloped) {
        kSealedOpen.copy(result.data(), opening);
        kSealedClose.copy(result.data() + result.size() - closing, closing);
    }
    char* hex = result.data() + opening;
    const auto* text = reinterpret_cast<const uint8_t*>(plain.data());
    // Every block but the last is all text, and is read straight from it, a chunk
    // at a time, so the cipher bytes are still in cache when they become hex.
    auto seal_part = [&](std::size_t first, std::size_t count) noexcept {
        uint8_t chunk[kChunkBytes];
        for (std::size_t done = 0; done < count;) {
            const std::size_t step = std::min(kChunkBytes / 32, count - done);
            cipher.run(text + 32 * (first + done), chunk, step);
            hex_encode(chunk, 32 * step, hex + 64 * (first + done));
            done += step;
        }
    };
    const uint64_t text_blocks = blocks - 1;
    for_each_part(std::size_t(text_blocks), seal_part);
    // The zero fill: the last block holds the text's remaining bytes, then zeros.
    uint8_t last[32] = {};
    const std::size_t tail = plain.size() - std::size_t(32 * text_blocks);
    if (tail != 0)
        std::memcpy(last, text + 32 * text_blocks, tail);
    cipher.run(last, last, 1);
    hex_encode(last, 32, hex + 64 * text_blocks);
    secure_wipe(last, sizeof last);
    write_trailer(blocks, hex + 2 * cipher_bytes);
    return true;
}

bool CTextCipher::DecryptText(const TextKey& key, std::string_view body, std::string& result,
                              OpenSummary* summary) noexcept {
    result.clear();
    if (summary != nullptr)
        *summary = OpenSummary{};
    BodyDamage damage;
    const BodyLayout layout = analyse_body(body, damage);
    if (summary != nullptr)
        summary->damage = damage;
    const uint64_t size = 32 * layout.blocks;
    try {
        reserve_on_huge_pages(result, std::size_t(size));
        result.resize(std::size_t(size));
    } catch (const std::bad_alloc&) {
        std::string().swap(result);
        return false;
    }

    uint8_t* buffer = reinterpret_cast<uint8_t*>(result.data());
    const KeyBytes key_bytes(key);
    const EcbCipher cipher(key_bytes.bytes, sizeof key_bytes.bytes, EcbCipher::Direction::Decrypt);
    // Without white space, byte k comes from characters 2k and 2k + 1, so each part
    // decodes its own blocks and decrypts them while they are in cache. With white
    // space, where a pair starts is only known by reading from the start.
    const bool unbroken = layout.hex_chars == layout.hex_end;
    if (!unbroken)
        hex_decode_skipping_space(body.data(), layout.hex_end, buffer, std::size_t(size));
    const std::size_t pairs = layout.hex_end / 2;
    auto open_part = [&](std::size_t first, std::size_t count) noexcept {
        for (std::size_t done = 0; done < count;) {
            const std::size_t step = std::min(kChunkBytes / 32, count - done);
            const std::size_t at = 32 * (first + done);
            if (unbroken && at < pairs) {
                hex_decode_skipping_space(body.data() + 2 * at, 2 * (pairs - at), buffer + at,
                                          32 * step);
            }
            cipher.run(buffer + at, buffer + at, step);
            done += step;
        }
    };
    for_each_part(std::size_t(layout.blocks), open_part);

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
