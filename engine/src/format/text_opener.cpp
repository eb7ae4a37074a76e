// SPDX-License-Identifier: MIT
#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>

#include "body_layout.h"
#include "ecb_cipher.h"
#include "hex_codec.h"
#include "lending_sink.h"
#include "parallel_runner.h"
#include "text_blocks.h"
#include "text_opener.h"

namespace tarnel {

struct TextOpener::State {
    static constexpr std::size_t kCapacity = 32 * kChunkBlocks;

    EcbCipher cipher;
    std::optional<BufferingSink> buffering;
    LendingSink* sink = nullptr;
    BodyLayout layout;
    bool unbroken = false;
    std::size_t total = 0;     // plain bytes the blocks hold: 32 * layout.blocks
    std::size_t produced = 0;  // of those, decrypted and judged
    std::size_t chars = 0;     // hex characters fed
    int pending = -1;          // the first character of a pair whose second is to come
    alignas(64) uint8_t buffer[kCapacity];
    std::size_t fill = 0;  // decoded bytes in the buffer
    // The result ends at the first zero byte. What follows is padding or a wrong
    // password's noise: never passed on, only checked for looks_genuine().
    bool cut = false;
    bool zeros_after_cut = true;
    std::size_t length = 0;
    bool met_space = false;
    bool stray = false;

    // The buffer never holds more than the blocks there are.
    ~State() { secure_wipe(buffer, std::min(total, kCapacity)); }

    std::size_t decoded() const noexcept { return produced + fill; }

    void deliver(const uint8_t* plain, std::size_t size) noexcept {
        std::size_t kept = 0;
        if (!cut) {
            const void* zero = std::memchr(plain, 0, size);
            kept = zero != nullptr ? std::size_t(static_cast<const uint8_t*>(zero) - plain) : size;
            cut = zero != nullptr;
            if (kept != 0)
                sink->write(reinterpret_cast<const char*>(plain), kept);
            length += kept;
        }
        for (std::size_t i = kept; i < size && zeros_after_cut; ++i)
            zeros_after_cut = plain[i] == 0;
    }

    // Decrypts and passes on the buffer's whole blocks; `fill` is a multiple of 32.
    void flush() noexcept {
        cipher.run(buffer, buffer, fill / 32);
        deliver(buffer, fill);
        produced += fill;
        fill = 0;
    }

    void put(uint8_t byte) noexcept {
        buffer[fill++] = byte;
        if (fill == kCapacity || decoded() == total)
            flush();
    }

    // Without white space, byte k comes from characters 2k and 2k + 1, so any
    // thread can decode any part. Where the sink lends room, the whole blocks of a
    // large piece are decoded and decrypted there in place, on several threads,
    // and what follows the first zero is given back. Returns the characters taken.
    std::size_t open_in_place(std::string_view hex) noexcept {
        const std::size_t blocks = std::min(hex.size() / 64, (total - produced) / 32);
        if (cut || thread_count(blocks, blocks) < 2)
            return 0;
        char* room = sink->room(32 * blocks);
        if (room == nullptr)
            return 0;
        sink->ready(32 * blocks);
        auto* out = reinterpret_cast<uint8_t*>(room);
        struct PartScan {
            std::size_t first = 0, size = 0;
            std::size_t zero = 0;     // offset of the first zero byte; size if none
            bool zeros_after = true;  // every byte after that one is zero too
        };
        PartScan scans[kMaxThreads];
        std::size_t scanned = 0;
        std::mutex mutex;
        std::atomic<bool> space{false}, odd{false};
        auto part = [&](std::size_t first, std::size_t count) noexcept {
            uint8_t* plain = out + 32 * first;
            bool bad = false;
            const std::size_t got =
                hex_decode_unbroken(hex.data() + 64 * first, 32 * count, plain, bad);
            if (bad)
                odd.store(true, std::memory_order_relaxed);
            if (got != 32 * count) {
                space.store(true, std::memory_order_relaxed);
                return;  // what the sink got is void
            }
            cipher.run(plain, plain, count);
            PartScan scan{32 * first, 32 * count, 32 * count, true};
            if (const void* zero = std::memchr(plain, 0, scan.size)) {
                scan.zero = std::size_t(static_cast<const uint8_t*>(zero) - plain);
                for (std::size_t i = scan.zero + 1; i < scan.size && scan.zeros_after; ++i)
                    scan.zeros_after = plain[i] == 0;
            }
            const std::lock_guard<std::mutex> lock(mutex);
            scans[scanned++] = scan;
        };
        for_each_part(blocks, part);
        stray = stray || odd.load();
        produced += 32 * blocks;
        if (space.load()) {
            met_space = true;
            sink->give_back(32 * blocks);
            return 2 * 32 * blocks;
        }
        std::sort(scans, scans + scanned,
                  [](const PartScan& a, const PartScan& b) { return a.first < b.first; });
        std::size_t kept = 32 * blocks;
        for (std::size_t p = 0; p < scanned; ++p) {
            const PartScan& scan = scans[p];
            if (cut) {
                zeros_after_cut = zeros_after_cut && scan.zero == 0 && scan.zeros_after;
            } else if (scan.zero < scan.size) {
                cut = true;
                kept = scan.first + scan.zero;
                zeros_after_cut = scan.zeros_after;
            }
        }
        length += kept;
        if (kept < 32 * blocks)
            sink->give_back(32 * blocks - kept);
        sink->settle();
        return 2 * 32 * blocks;
    }

    // Otherwise whole chunks of a large piece are decoded and decrypted on worker
    // threads and handed over in order. Returns the characters taken.
    std::size_t open_chunks(std::string_view hex) noexcept {
        const std::size_t chunks =
            std::min(hex.size() / (2 * kCapacity), (total - produced) / kCapacity);
        if (chunks < 2)
            return 0;
        std::atomic<bool> space{false}, odd{false};
        auto make = [&](std::size_t index, unsigned char* out) noexcept {
            bool bad = false;
            const std::size_t got =
                hex_decode_unbroken(hex.data() + 2 * kCapacity * index, kCapacity, out, bad);
            if (bad)
                odd.store(true, std::memory_order_relaxed);
            if (got != kCapacity)
                space.store(true, std::memory_order_relaxed);
            cipher.run(out, out, kChunkBlocks);
            return kCapacity;
        };
        auto consume = [&](unsigned char* plain, std::size_t size) noexcept {
            deliver(plain, size);
        };
        NoRole none;
        run_units(chunks, chunks * kChunkBlocks, make, none, consume);
        met_space = met_space || space.load();
        stray = stray || odd.load();
        produced += chunks * kCapacity;
        return chunks * 2 * kCapacity;
    }

    void feed_unbroken(std::string_view hex) noexcept {
        while (!hex.empty() && !met_space) {
            if (decoded() == total) {
                // Characters past the blocks still count for the damage report.
                const HexScan rest = scan_hex(hex.data(), hex.size());
                met_space = rest.spaces != 0;
                stray = stray || rest.bad_digit;
                return;
            }
            if (pending >= 0) {
                if (is_format_space(hex[0])) {
                    met_space = true;
                    return;
                }
                const char pair[2] = {char(pending), hex[0]};
                pending = -1;
                hex.remove_prefix(1);
                uint8_t byte = 0;
                hex_decode_unbroken(pair, 1, &byte, stray);
                put(byte);
                continue;
            }
            if (fill == 0 && produced % kCapacity == 0) {
                std::size_t taken = open_in_place(hex);
                if (taken == 0)
                    taken = open_chunks(hex);
                hex.remove_prefix(taken);
                if (taken != 0)
                    continue;
            }
            const std::size_t want =
                std::min({hex.size() / 2, kCapacity - fill, total - decoded()});
            const std::size_t got = hex_decode_unbroken(hex.data(), want, buffer + fill, stray);
            fill += got;
            hex.remove_prefix(2 * got);
            if (got != want) {
                met_space = true;
                return;
            }
            if (fill == kCapacity || decoded() == total) {
                flush();
            } else if (hex.size() == 1) {
                if (is_format_space(hex[0]))
                    met_space = true;
                pending = static_cast<unsigned char>(hex[0]);
                return;
            }
        }
    }

    // With white space, a pair may have its characters anywhere apart; decoding
    // goes on from where it stopped, the half of a pair carried between pieces.
    void feed_counting(std::string_view hex) noexcept {
        while (!hex.empty() && decoded() < total) {
            if (pending >= 0) {
                std::size_t k = 0;
                while (k < hex.size() && is_format_space(hex[k]))
                    ++k;
                if (k == hex.size())
                    return;
                const char pair[2] = {char(pending), hex[k]};
                pending = -1;
                hex.remove_prefix(k + 1);
                uint8_t byte = 0;
                hex_decode_skipping_space(pair, 2, &byte, 1);
                put(byte);
                continue;
            }
            const std::size_t want = std::min(kCapacity - fill, total - decoded());
            std::size_t next = 0;
            const std::size_t got =
                hex_decode_skipping_space(hex.data(), hex.size(), buffer + fill, want, &next);
            fill += got;
            hex.remove_prefix(next);
            if (fill == kCapacity || decoded() == total) {
                flush();
                continue;
            }
            // The piece ran out of pairs: at most one character of a pair is left.
            for (const char c : hex) {
                if (!is_format_space(c)) {
                    pending = static_cast<unsigned char>(c);
                    break;
                }
            }
            return;
        }
    }
};

TextOpener::TextOpener() noexcept = default;
TextOpener::~TextOpener() = default;

bool TextOpener::start(const TextKey& key, const BodyLayout& layout, TextSink& sink,
                       bool unbroken) noexcept {
    m_state.reset(new (std::nothrow) State);
    if (!m_state)
        return false;
    const KeyBytes key_bytes(key);
    m_state->cipher.set_key(key_bytes.bytes, sizeof key_bytes.bytes, EcbCipher::Direction::Decrypt);
    m_state->sink = &lending(sink, m_state->buffering);
    m_state->layout = layout;
    m_state->unbroken = unbroken;
    m_state->total = std::size_t(32 * layout.blocks);
    m_state->sink->expect(m_state->total);
    return true;
}

void TextOpener::feed(std::string_view hex) noexcept {
    if (!m_state)
        return;
    State& s = *m_state;
    hex = hex.substr(0, std::min(hex.size(), s.layout.hex_end - s.chars));
    s.chars += hex.size();
    if (s.unbroken)
        s.feed_unbroken(hex);
    else
        s.feed_counting(hex);
}

void TextOpener::finish(OpenSummary& summary) noexcept {
    if (!m_state)
        return;
    State& s = *m_state;
    // A last, unpaired character is not decoded, but it is judged.
    if (s.unbroken && s.pending >= 0) {
        const char c = char(s.pending);
        s.stray = s.stray || !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
    }
    // Blocks the hex part does not fill are decrypted from zeros.
    while (!s.met_space && s.decoded() < s.total) {
        const std::size_t zeros = std::min(State::kCapacity - s.fill, s.total - s.decoded());
        std::memset(s.buffer + s.fill, 0, zeros);
        s.fill += zeros;
        s.flush();
    }
    summary.blocks = s.layout.blocks;
    summary.looks_genuine = looks_genuine(s.total, s.cut ? s.length : s.total, s.zeros_after_cut);
}

bool TextOpener::met_white_space() const noexcept {
    return m_state && m_state->met_space;
}

bool TextOpener::met_stray_character() const noexcept {
    return m_state && m_state->stray;
}

}  // namespace tarnel
