// SPDX-License-Identifier: MIT
#include "tarnel/text_cipher.h"

#include <algorithm>
#include <atomic>
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
#include "unbroken_body.h"

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

// What opening the blocks found.
struct Opened {
    bool cut = false;             // a zero byte ended the result
    bool zeros_after_cut = true;  // and only zeros followed it
    std::size_t length = 0;       // bytes before the cut
    bool met_space = false;       // unbroken decoding met white space: nothing is valid
    bool no_memory = false;
};

// Decodes and decrypts the blocks of `layout` a chunk at a time, appending the
// plain bytes before the first zero to `result`. What follows the first zero is
// padding, or a wrong password's noise: never stored, only checked.
//
// `unbroken`: the hex part is taken to hold no white space, so byte k comes from
// characters 2k and 2k + 1 and any thread can decode any chunk; `bad_digit` learns
// of stray characters. Returns false, with opened.met_space, when white space
// turns up after all. Otherwise one thread decodes, resuming where it stopped.
bool open_blocks(const EcbCipher& cipher, std::string_view body, const BodyLayout& layout,
                 bool unbroken, std::string& result, Opened& opened, bool& bad_digit) noexcept {
    const std::size_t blocks = std::size_t(layout.blocks);
    try {
        // Only the bytes before the first zero are stored, at most all of them.
        reserve_on_huge_pages(result, 32 * blocks);
    } catch (const std::bad_alloc&) {
        opened.no_memory = true;
        return false;
    }
    const std::size_t pairs = layout.hex_end / 2;
    std::size_t resume = 0;
    std::atomic<bool> met_space{false};
    std::atomic<bool> bad{false};
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
            const std::size_t wanted = std::min(size, pairs - 32 * first);
            bool stray = false;
            written = hex_decode_unbroken(body.data() + 64 * first, wanted, out, stray);
            if (stray)
                bad.store(true, std::memory_order_relaxed);
            if (written != wanted)
                met_space.store(true, std::memory_order_relaxed);
        }
        // Blocks the hex part does not fill are decrypted from zeros.
        std::memset(out + written, 0, size - written);
        cipher.run(out, out, count);
        return size;
    };
    auto consume = [&](const unsigned char* plain, std::size_t size) noexcept {
        std::size_t kept = 0;
        if (!opened.cut) {
            const void* zero = std::memchr(plain, 0, size);
            kept = zero != nullptr ? std::size_t(static_cast<const unsigned char*>(zero) - plain)
                                   : size;
            opened.cut = zero != nullptr;
            result.append(reinterpret_cast<const char*>(plain), kept);
            opened.length += kept;
        }
        for (std::size_t i = kept; i < size && opened.zeros_after_cut; ++i)
            opened.zeros_after_cut = plain[i] == 0;
    };
    for_each_ordered_chunk((blocks + kChunkBlocks - 1) / kChunkBlocks, unbroken, make, consume);
    if (unbroken) {
        // Characters past the decoded blocks still count for the damage report.
        const std::size_t decoded = 2 * std::min(pairs, 32 * blocks);
        const HexScan rest = scan_hex(body.data() + decoded, layout.hex_end - decoded);
        opened.met_space = met_space.load() || rest.spaces != 0;
        bad_digit = bad.load() || rest.bad_digit;
    }
    return !opened.met_space;
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
    const KeyBytes key_bytes(key);
    const EcbCipher cipher(key_bytes.bytes, sizeof key_bytes.bytes, EcbCipher::Direction::Decrypt);
    // A body that sealing made holds no white space, and then one pass over its hex
    // part both decodes and judges it. Should white space turn up, the text is
    // opened again the slower way, which first counts it.
    BodyDamage damage;
    BodyLayout layout = analyse_unbroken_body(body, damage);
    Opened opened;
    if (!open_blocks(cipher, body, layout, true, result, opened, damage.bad_digits)) {
        if (opened.met_space) {
            secure_wipe(result);
            layout = analyse_body(body, damage);
            opened = Opened{};
            bool ignored = false;
            open_blocks(cipher, body, layout, false, result, opened, ignored);
        }
    }
    if (summary != nullptr)
        summary->damage = damage;
    if (opened.no_memory) {
        std::string().swap(result);
        return false;
    }
    if (summary != nullptr) {
        summary->blocks = layout.blocks;
        summary->looks_genuine = layout.blocks > 0 && opened.cut &&
                                 opened.length >= 32 * layout.blocks - 32 && opened.zeros_after_cut;
    }
    return true;
}

}  // namespace tarnel
