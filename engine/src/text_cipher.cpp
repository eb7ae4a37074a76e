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
#include "ordered_chunks.h"
#include "tarnel/sealed_format.h"
#include "tarnel/secure_wipe.h"

namespace tarnel {
namespace {

// Blocks pass through chunks of this many on their way into or out of hex: small
// enough for the first-level cache and a thread's stack, and one ordered chunk of hex.
constexpr std::size_t kChunkBlocks = kOrderedChunkBytes / 64;

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
    const bool enveloped = envelope == Envelope::Included;
    try {
        const std::size_t opening = enveloped ? kSealedOpen.size() : 0;
        const std::size_t closing = enveloped ? kSealedClose.size() : 0;
        reserve_on_huge_pages(result, opening + 64 * blocks + kTrailerDigits + closing);
    } catch (const std::bad_alloc&) {
        std::string().swap(result);
        return false;
    }

    const KeyBytes key_bytes(key);
    // The schedule is built once per text: the same output as keying a fresh
    // context for every block.
    const EcbCipher cipher(key_bytes.bytes, sizeof key_bytes.bytes, EcbCipher::Direction::Encrypt);
    // Appends within the reserved capacity: nothing below can throw.
    if (enveloped)
        result.append(kSealedOpen);
    // Every block but the last is all text, and is read straight from it.
    const auto* text = reinterpret_cast<const uint8_t*>(plain.data());
    const std::size_t text_blocks = std::size_t(blocks - 1);
    auto make = [&](std::size_t index, unsigned char* hex) noexcept {
        const std::size_t first = index * kChunkBlocks;
        const std::size_t count = std::min(kChunkBlocks, text_blocks - first);
        uint8_t chunk[32 * kChunkBlocks];
        cipher.run(text + 32 * first, chunk, count);
        hex_encode(chunk, 32 * count, reinterpret_cast<char*>(hex));
        return 64 * count;
    };
    auto consume = [&](const unsigned char* hex, std::size_t size) noexcept {
        result.append(reinterpret_cast<const char*>(hex), size);
    };
    for_each_ordered_chunk((text_blocks + kChunkBlocks - 1) / kChunkBlocks, true, make, consume);

    // The zero fill: the last block holds the text's remaining bytes, then zeros.
    uint8_t last[32] = {};
    const std::size_t tail = plain.size() - 32 * text_blocks;
    if (tail != 0)
        std::memcpy(last, text + 32 * text_blocks, tail);
    cipher.run(last, last, 1);
    char digits[64 + kTrailerDigits];
    hex_encode(last, 32, digits);
    secure_wipe(last, sizeof last);
    write_trailer(blocks, digits + 64);
    result.append(digits, sizeof digits);
    if (enveloped)
        result.append(kSealedClose);
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
    const std::size_t blocks = std::size_t(layout.blocks);
    try {
        // Only the bytes before the first zero are ever stored in the result.
        reserve_on_huge_pages(result, 32 * blocks);
    } catch (const std::bad_alloc&) {
        std::string().swap(result);
        return false;
    }

    const KeyBytes key_bytes(key);
    const EcbCipher cipher(key_bytes.bytes, sizeof key_bytes.bytes, EcbCipher::Direction::Decrypt);
    // Without white space, byte k comes from characters 2k and 2k + 1, so any
    // thread can decode any chunk. With white space, where a pair starts is only
    // known by reading from the start: one thread decodes, resuming where it stopped.
    const bool unbroken = layout.hex_chars == layout.hex_end;
    const std::size_t pairs = layout.hex_end / 2;
    std::size_t resume = 0;
    auto make = [&](std::size_t index, unsigned char* out) noexcept {
        const std::size_t first = index * kChunkBlocks;
        const std::size_t count = std::min(kChunkBlocks, blocks - first);
        const std::size_t size = 32 * count;
        std::size_t written = 0;
        if (!unbroken) {
            std::size_t next = 0;
            written = hex_decode_skipping_space(body.data() + resume, layout.hex_end - resume, out,
                                                size, &next);
            resume += next;
        } else if (32 * first < pairs) {
            written = hex_decode_skipping_space(body.data() + 64 * first, 2 * (pairs - 32 * first),
                                                out, size);
        }
        // Blocks the hex part does not fill are decrypted from zeros.
        std::memset(out + written, 0, size - written);
        cipher.run(out, out, count);
        return size;
    };
    // The result ends at the first zero byte. What follows is padding or a wrong
    // password's noise, never stored; it is only checked for looks_genuine().
    bool cut = false;
    bool zeros_after_cut = true;
    std::size_t length = 0;
    auto consume = [&](const unsigned char* plain, std::size_t size) noexcept {
        std::size_t kept = size;
        if (!cut) {
            const void* zero = std::memchr(plain, 0, size);
            if (zero != nullptr) {
                kept = std::size_t(static_cast<const unsigned char*>(zero) - plain);
                cut = true;
            }
            result.append(reinterpret_cast<const char*>(plain), kept);
            length += kept;
        } else {
            kept = 0;
        }
        for (std::size_t i = kept; i < size && zeros_after_cut; ++i)
            zeros_after_cut = plain[i] == 0;
    };
    for_each_ordered_chunk((blocks + kChunkBlocks - 1) / kChunkBlocks, unbroken, make, consume);
    if (summary != nullptr) {
        summary->blocks = layout.blocks;
        summary->looks_genuine = blocks > 0 && cut && length >= 32 * blocks - 32 && zeros_after_cut;
    }
    return true;
}

}  // namespace tarnel
