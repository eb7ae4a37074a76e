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

#include "parallel_runner.h"
#include "tarnel/sealed_format.h"
#include "tarnel/text_cipher.h"
#include "test_hooks.h"
#include "test_sinks.h"
#include "text_stream.h"

namespace tarnel {
namespace {

using test::Way;

constexpr unsigned kPoints = unsigned(HandOver::Joining) + 1;

// A schedule: one hand-over point, chosen by the seed, is where threads fall far
// behind (long enough for the others to run well ahead); every point yields or
// naps now and then. Over the seeds each point is the one that stalls.
struct Schedule {
    HandOver victim = HandOver::HelperStarted;
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
// Long stalls by way and hand-over point, over the whole test.
std::atomic<int> g_long_stalls[4][kPoints];
Way g_way = Way::InMemory;

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
    // The first arrival at the victim point always stalls, so that every point
    // is seen stalled; later ones do now and then.
    if (point == g_schedule.victim && (roll < 16 || g_schedule.stalls == 0) &&
        g_schedule.stalls.fetch_add(1) < Schedule::kStallBudget) {
        ++g_long_stalls[int(g_way)][unsigned(point)];
        std::this_thread::sleep_for(std::chrono::microseconds(1500 + (draw >> 20) % 2500));
    } else if (roll < 1) {
        std::this_thread::sleep_for(std::chrono::microseconds((draw >> 20) % 100));
    } else if (roll < 8) {
        std::this_thread::yield();
    }
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
    const std::size_t length = std::size_t(3) << 20 | 77;
    {
        std::string plain(length, ' ');
        for (auto& c : plain)
            c = char(byte(rng));
        std::string cut_plain = plain;
        cut_plain[length * 2 / 3] = '\0';
        const TextKey key = test::key_of(uint32_t(length));
        set_parallel_settings({.parts = 1});
        const std::string want_body = test::seal(Way::Pieces, key, plain, length);
        const std::string cut_body = test::seal(Way::Pieces, key, cut_plain, length);
        ASSERT_EQ(test::open(Way::Pieces, key, want_body, want_body.size()), plain);

        for (uint64_t seed = 0; seed < kPoints; ++seed) {
            for (const unsigned parts : {2u, 3u, 5u}) {
                const std::size_t piece = (std::size_t(1) << 20) + seed * 4099;
                set_parallel_settings({.threshold_blocks = 1024, .parts = parts});
                for (const Way way :
                     {Way::InMemory, Way::Pieces, Way::LentPieces, Way::RefusedPieces}) {
                    const uint64_t victim = (seed + parts) % kPoints;
                    g_schedule.reset(seed * 1000 + parts * 10 + unsigned(way), HandOver(victim));
                    g_way = way;
                    set_test_hooks({.stall = stall_at});
                    const std::string body = test::seal(way, key, plain, piece);
                    const std::string opened = test::open(way, key, want_body, piece * 2);
                    const std::string opened_cut = test::open(way, key, cut_body, piece * 2);
                    set_test_hooks({});
                    stalled += g_schedule.stalls > 0;
                    ++cases;
                    const std::string what = std::to_string(length) + " bytes, seed " +
                                             std::to_string(seed) + ", " + std::to_string(parts) +
                                             " parts, " + test::name(way);
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
    // Every way was stalled long at each hand-over point it has: units consumed in
    // order where the sink lends no room, growing output where it does.
    for (unsigned point = 0; point < kPoints; ++point) {
        const bool ordered =
            point == unsigned(HandOver::UnitAwaited) || point == unsigned(HandOver::UnitConsumed);
        const bool grown = point == unsigned(HandOver::OutputGrown);
        for (const Way way : {Way::InMemory, Way::Pieces, Way::LentPieces, Way::RefusedPieces}) {
            if ((way == Way::RefusedPieces) == ordered || !(ordered || grown)) {
                EXPECT_GT(g_long_stalls[int(way)][point], 0)
                    << test::name(way) << ", point " << point;
            }
        }
    }
}

}  // namespace
}  // namespace tarnel
