// SPDX-License-Identifier: MIT
// Large texts sealed and opened on several threads while the threads are stalled at
// every point where work or memory passes between them, in memory and in pieces:
// whatever the schedule, the result is byte for byte the one-thread result.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "parallel_parts.h"
#include "tarnel/sealed_format.h"
#include "tarnel/text_cipher.h"
#include "tarnel/text_stream.h"
#include "test_hooks.h"

namespace tarnel {
namespace {

constexpr unsigned kPoints = unsigned(HandOver::ChunkConsumed) + 1;

// A schedule: one hand-over point, chosen by the seed, is where threads fall far
// behind (long enough for the others to run well ahead); every point yields or
// naps now and then. Over the seeds each point is the one that stalls.
struct Schedule {
    HandOver victim = HandOver::PartStarted;
    uint64_t seed = 0;
    std::atomic<uint64_t> draws{0};
    std::atomic<int> stalls{0};  // this operation's long stalls, at most kStallBudget

    static constexpr int kStallBudget = 6;

    void reset(uint64_t new_seed, HandOver new_victim) {
        seed = new_seed;
        victim = new_victim;
        draws = 0;
        stalls = 0;
    }
};

Schedule g_schedule;

uint64_t mix(uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

void stall_at(HandOver point) noexcept {
    const uint64_t draw =
        mix(g_schedule.seed ^ (g_schedule.draws.fetch_add(1) * 0x9e3779b97f4a7c15ull));
    const uint32_t roll = uint32_t(draw % 64);
    if (point == g_schedule.victim && roll < 16 &&
        g_schedule.stalls.fetch_add(1) < Schedule::kStallBudget) {
        std::this_thread::sleep_for(std::chrono::microseconds(1500 + (draw >> 20) % 2500));
    } else if (roll < 1) {
        std::this_thread::sleep_for(std::chrono::microseconds((draw >> 20) % 100));
    } else if (roll < 8) {
        std::this_thread::yield();
    }
}

// Collects what a sealer or an opener writes; lends no room.
struct Collect final : TextSink {
    std::string text;
    void write(const char* data, std::size_t size) noexcept override { text.append(data, size); }
};

// Lends a buffer of its own for large runs and takes it back at the next call, as a
// program writing to a file does.
struct Lend final : TextSink {
    std::string text;
    std::vector<char> room_buffer;
    std::size_t lent = 0;
    void pass_on() {
        text.append(room_buffer.data(), lent);
        lent = 0;
    }
    void write(const char* data, std::size_t size) noexcept override {
        pass_on();
        text.append(data, size);
    }
    char* room(std::size_t size) noexcept override {
        pass_on();
        room_buffer.assign(size, '\x55');
        lent = size;
        return room_buffer.data();
    }
    void give_back(std::size_t size) noexcept override { lent -= size; }
};

enum class Way { InMemory, Pieces, LentPieces };

const char* name(Way way) {
    return way == Way::InMemory ? "in memory" : way == Way::Pieces ? "in pieces" : "lent pieces";
}

TextKey key_of(uint32_t seed) {
    TextKey key;
    for (uint32_t& word : key.words)
        word = seed = seed * 2654435761u + 12345u;
    return key;
}

template <class Sink>
std::string seal_with(Sink& sink, const TextKey& key, std::string_view plain, std::size_t piece) {
    TextSealer sealer;
    EXPECT_TRUE(sealer.start(key, plain.size(), Envelope::Omitted, sink));
    for (std::size_t at = 0; at < plain.size(); at += piece)
        sealer.feed(plain.substr(at, piece));
    EXPECT_TRUE(sealer.finish());
    if constexpr (requires { sink.pass_on(); })
        sink.pass_on();
    return sink.text;
}

template <class Sink>
std::string open_with(Sink& sink, const TextKey& key, std::string_view body, std::size_t piece) {
    BodyDamage damage;
    const BodyLayout layout = analyse_body(body, damage);
    TextOpener opener;
    EXPECT_TRUE(opener.start(key, layout, sink, true));
    const std::string_view hex = body.substr(0, layout.hex_end);
    for (std::size_t at = 0; at < hex.size(); at += piece)
        opener.feed(hex.substr(at, piece));
    OpenSummary summary;
    opener.finish(summary);
    EXPECT_FALSE(opener.met_white_space());
    if constexpr (requires { sink.pass_on(); })
        sink.pass_on();
    return sink.text;
}

std::string seal(Way way, const TextKey& key, std::string_view plain, std::size_t piece) {
    if (way == Way::InMemory) {
        CTextCipher cipher;
        std::string body;
        EXPECT_TRUE(cipher.EncryptText(key, plain, body));
        return body;
    }
    if (way == Way::Pieces) {
        Collect sink;
        return seal_with(sink, key, plain, piece);
    }
    Lend sink;
    return seal_with(sink, key, plain, piece);
}

std::string open(Way way, const TextKey& key, std::string_view body, std::size_t piece) {
    if (way == Way::InMemory) {
        CTextCipher cipher;
        std::string plain;
        EXPECT_TRUE(cipher.DecryptText(key, body, plain));
        return plain;
    }
    if (way == Way::Pieces) {
        Collect sink;
        return open_with(sink, key, body, piece);
    }
    Lend sink;
    return open_with(sink, key, body, piece);
}

class Schedules : public ::testing::Test {
  protected:
    void TearDown() override {
        set_test_hooks({});
        reset_parallel_settings();
    }
};

// Texts past the point where the in-memory result grows in several steps, with a
// zero byte inside so that the opener's cut is placed across the parts too.
TEST_F(Schedules, ResultsMatchTheOneThreadResultWhateverTheStalls) {
    std::mt19937 rng(2026);
    std::uniform_int_distribution<int> byte(1, 255);
    int stalled = 0, cases = 0;
    for (const std::size_t length : {std::size_t(3) << 20 | 77}) {
        std::string plain(length, ' ');
        for (auto& c : plain)
            c = char(byte(rng));
        std::string cut_plain = plain;
        cut_plain[length * 2 / 3] = '\0';
        const TextKey key = key_of(uint32_t(length));
        set_parallel_settings({.parts = 1});
        const std::string want_body = seal(Way::Pieces, key, plain, length);
        const std::string cut_body = seal(Way::Pieces, key, cut_plain, length);
        ASSERT_EQ(open(Way::Pieces, key, want_body, want_body.size()), plain);

        for (uint64_t seed = 0; seed < kPoints; ++seed) {
            for (const unsigned parts : {2u, 3u, 5u}) {
                const std::size_t piece = (std::size_t(1) << 20) + seed * 4099;
                set_parallel_settings({.threshold_blocks = 1024, .parts = parts});
                for (const Way way : {Way::InMemory, Way::Pieces, Way::LentPieces}) {
                    const uint64_t victim = (seed + parts) % kPoints;
                    g_schedule.reset(seed * 1000 + parts * 10 + unsigned(way), HandOver(victim));
                    set_test_hooks({.stall = stall_at});
                    const std::string body = seal(way, key, plain, piece);
                    const std::string opened = open(way, key, want_body, piece * 2);
                    const std::string opened_cut = open(way, key, cut_body, piece * 2);
                    set_test_hooks({});
                    stalled += g_schedule.stalls > 0;
                    ++cases;
                    const std::string what = std::to_string(length) + " bytes, seed " +
                                             std::to_string(seed) + ", " + std::to_string(parts) +
                                             " parts, " + name(way);
                    ASSERT_EQ(body.size(), want_body.size()) << what;
                    ASSERT_TRUE(body == want_body)
                        << what << ": first difference at "
                        << std::mismatch(body.begin(), body.end(), want_body.begin()).first -
                               body.begin();
                    ASSERT_TRUE(opened == plain) << what;
                    ASSERT_TRUE(opened_cut == cut_plain.substr(0, length * 2 / 3)) << what;
                }
            }
        }
    }
    EXPECT_GT(stalled, cases / 2) << "most schedules stalled a thread far behind";
}

}  // namespace
}  // namespace tarnel
