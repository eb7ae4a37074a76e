// SPDX-License-Identifier: MIT
#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <optional>

#include "ecb_cipher.h"
#include "hex_codec.h"
#include "lending_sink.h"
#include "parallel_runner.h"
#include "seal_check.h"
#include "text_blocks.h"
#include "text_sealer.h"

namespace tarnel {
namespace {

// The trailer: `value` in kTrailerDigits decimal digits, zeros in front.
void write_trailer(uint32_t value, char* out) noexcept {
    for (std::size_t i = kTrailerDigits; i-- > 0; value /= 10)
        out[i] = char('0' + value % 10);
}

}  // namespace

struct TextSealer::State {
    EcbCipher cipher;
    SealCheck check;
    bool check_failed = false;  // from then on the sink gets nothing more
    std::optional<BufferingSink> buffering;
    LendingSink* sink = nullptr;
    bool envelope = false;
    uint64_t length = 0;       // plain bytes announced
    uint64_t fed = 0;          // plain bytes taken
    uint64_t text_blocks = 0;  // blocks all of text: every block but the last
    uint64_t sealed = 0;       // of those, written
    uint8_t tail[32] = {};     // bytes of a block not yet complete
    std::size_t tail_size = 0;

    ~State() { secure_wipe(tail, sizeof tail); }

    // Each piece is checked once it is whole and before the sink takes it.
    void pass_on(char* hex, const uint8_t* plain, std::size_t blocks,
                 std::size_t extra = 0) noexcept {
        if (check_failed || !check.matches(hex, plain, blocks)) {
            check_failed = true;
            return;
        }
        sink->write(hex, 64 * blocks + extra);
    }

    void write_block(const uint8_t* block) noexcept {
        uint8_t cipher_block[32];
        char hex[64];
        cipher.run(block, cipher_block, 1);
        hex_encode(cipher_block, 32, hex);
        pass_on(hex, block, 1);
    }

    // Whole blocks straight from the text, a chunk at a time, on several threads
    // when there are many: into memory the sink lends, else through buffers handed
    // over in order.
    void write_blocks(const uint8_t* text, std::size_t count) noexcept {
        const std::size_t units = (count + kChunkBlocks - 1) / kChunkBlocks;
        char* out = thread_count(count, units) > 1 ? sink->room(64 * count) : nullptr;
        auto grow = [&](std::size_t upto) noexcept {
            sink->ready(64 * std::min(count, upto * kChunkBlocks));
        };
        std::size_t consumed = 0;  // blocks; chunks arrive in order
        auto consume = [&](unsigned char* hex, std::size_t size) noexcept {
            pass_on(reinterpret_cast<char*>(hex), text + 32 * consumed, size / 64);
            consumed += size / 64;
        };
        std::atomic<bool> chunk_failed{false};
        auto unit = [&](std::size_t u, unsigned char* buffer) noexcept {
            const std::size_t first = u * kChunkBlocks;
            const std::size_t n = std::min(kChunkBlocks, count - first);
            alignas(64) uint8_t chunk[32 * kChunkBlocks];
            cipher.run(text + 32 * first, chunk, n);
            hex_encode(chunk, 32 * n, out ? out + 64 * first : reinterpret_cast<char*>(buffer));
            // Written in place, a chunk is checked at once by the thread that wrote it,
            // while it is still in that CPU's cache; a consumed one, by consume.
            if (out != nullptr && !check.matches_chunk(out, text, u, count))
                chunk_failed.store(true, std::memory_order_relaxed);
            return 64 * n;
        };
        NoRole none;
        if (out == nullptr) {
            run_units(units, count, unit, none, consume);
            return;
        }
        // The sink's memory grows under the units while they are being made.
        run_units(units, count, unit, grow, none);
        // Every thread is done with the room, and it has grown to its full size.
        if (chunk_failed.load() || !check.chunks_kept(out, text, count)) {
            check_failed = true;
            sink->give_back(64 * count);
        }
        sink->settle();
    }
};

TextSealer::TextSealer() noexcept = default;
TextSealer::~TextSealer() = default;

uint64_t TextSealer::sealed_length(uint64_t plain_length, Envelope envelope) noexcept {
    const uint64_t whole = sealed_text_length(plain_length);
    return envelope == Envelope::Included ? whole
                                          : whole - kSealedOpen.size() - kSealedClose.size();
}

bool TextSealer::start(const TextKey& key, uint64_t plain_length, Envelope envelope,
                       TextSink& sink) noexcept {
    m_state.reset();
    const bool known = plain_length != kLengthUnknown;
    if (known && plain_length > kMaxPlainLength)
        return false;
    m_state.reset(new (std::nothrow) State);
    if (!m_state)
        return false;
    const KeyBytes key_bytes(key);
    // The schedule is built once per text: the same output as keying a fresh
    // context for every block.
    m_state->cipher.set_key(key_bytes.bytes, sizeof key_bytes.bytes, EcbCipher::Direction::Encrypt);
    m_state->check.set_key(key);
    m_state->sink = &lending(sink, m_state->buffering);
    m_state->envelope = envelope == Envelope::Included;
    m_state->length = plain_length;
    // Unknown, every whole block is one of the text's: the last block holds what is
    // left at the end, fewer than 32 bytes.
    m_state->text_blocks = known ? sealed_block_count(plain_length) - 1 : UINT64_MAX;
    if (known)
        m_state->sink->expect(sealed_length(plain_length, envelope));
    if (m_state->envelope)
        sink.write(kSealedOpen.data(), kSealedOpen.size());
    return true;
}

void TextSealer::feed(std::string_view plain) noexcept {
    if (!m_state || m_state->check_failed)
        return;
    State& s = *m_state;
    plain = plain.substr(0, std::size_t(std::min<uint64_t>(plain.size(), s.length - s.fed)));
    s.fed += plain.size();
    const auto* text = reinterpret_cast<const uint8_t*>(plain.data());
    std::size_t at = 0;
    while (at < plain.size()) {
        const std::size_t left = plain.size() - at;
        // Past the text blocks only the last block's bytes remain, fewer than 32.
        if (s.sealed == s.text_blocks) {
            std::memcpy(s.tail + s.tail_size, text + at, left);
            s.tail_size += left;
            return;
        }
        if (s.tail_size != 0 || left < 32) {
            const std::size_t take = std::min(32 - s.tail_size, left);
            std::memcpy(s.tail + s.tail_size, text + at, take);
            s.tail_size += take;
            at += take;
            if (s.tail_size == 32) {
                s.write_block(s.tail);
                s.tail_size = 0;
                ++s.sealed;
            }
            continue;
        }
        const std::size_t count =
            std::size_t(std::min<uint64_t>(left / 32, s.text_blocks - s.sealed));
        s.write_blocks(text + at, count);
        if (s.check_failed)
            return;
        s.sealed += count;
        at += 32 * count;
    }
}

bool TextSealer::finish() noexcept {
    if (!m_state)
        return !m_check_failed;
    State& s = *m_state;
    // The zero fill: the text's remaining bytes, then zeros to the end of the block.
    uint8_t last[32] = {};
    std::memcpy(last, s.tail, s.tail_size);
    uint8_t cipher_block[32];
    s.cipher.run(last, cipher_block, 1);
    char out[64 + kTrailerDigits + 1 + kSealedClose.size()];
    hex_encode(cipher_block, 32, out);
    const uint64_t blocks = s.sealed + 1;
    write_trailer(~uint32_t(blocks), out + 64);
    std::size_t size = 64 + kTrailerDigits;
    if (s.envelope) {
        kSealedClose.copy(out + size, kSealedClose.size());
        size += kSealedClose.size();
    }
    // The whole text must have come through, and the trailer must give its count.
    const bool whole = s.length == kLengthUnknown
                           ? s.fed <= kMaxPlainLength && s.fed == 32 * s.sealed + s.tail_size
                           : s.fed == s.length && s.sealed == s.text_blocks;
    if (!whole || !s.check.matches_last(out, size, last, blocks))
        s.check_failed = true;
    if (!s.check_failed)
        s.sink->write(out, size);
    secure_wipe(last, sizeof last);
    m_check_failed = s.check_failed;
    m_state.reset();
    return !m_check_failed;
}

bool TextSealer::check_failed() const noexcept {
    return m_check_failed || (m_state && m_state->check_failed);
}

}  // namespace tarnel
