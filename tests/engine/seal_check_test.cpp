// SPDX-License-Identifier: MIT
// Every seal is opened again before it counts: damage to any piece of sealed output,
// made after the threads are done with it, fails the seal on every way of sealing,
// and the sink gets nothing from the damaged piece on.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>

#include "parallel_runner.h"
#include "tarnel/process.h"
#include "test_hooks.h"
#include "test_sinks.h"

namespace tarnel {
namespace {

using test::Way;

// Damages one character of the n-th piece that reaches the check.
struct Damage {
    static inline std::atomic<int> piece_to_damage{-1};
    static inline std::atomic<int> pieces{0};
    static inline std::size_t offset = 0;
    static inline char replacement = 'A';

    static void at(char* sealed, std::size_t size) noexcept {
        if (pieces.fetch_add(1) == piece_to_damage && size > 0)
            sealed[offset % size] = replacement;
    }
    static void arm(int piece, std::size_t at_offset, char with) {
        piece_to_damage = piece;
        pieces = 0;
        offset = at_offset;
        replacement = with;
    }
};

class SealCheck : public ::testing::Test {
  protected:
    void TearDown() override {
        set_test_hooks({});
        reset_parallel_settings();
    }
};

TEST_F(SealCheck, DamageToAnyPieceFailsTheSealWhicheverWay) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> byte(1, 255);
    // Several runs of whole blocks on several threads, a single block fed on its
    // own, and the last block with the trailer.
    std::string plain(3 * 200000 + 40, ' ');
    for (auto& c : plain)
        c = char(byte(rng));
    const TextKey key = test::key_of(9);
    set_parallel_settings({.threshold_blocks = 64, .parts = 3});
    const std::string want = test::seal(Way::Pieces, key, plain, plain.size());
    for (const Way way : {Way::InMemory, Way::Pieces, Way::LentPieces, Way::RefusedPieces}) {
        // How many pieces reach the check this way.
        Damage::arm(-1, 0, 'A');
        set_test_hooks({.damage = Damage::at});
        ASSERT_EQ(test::seal(way, key, plain, 200000), want) << test::name(way);
        const int pieces = Damage::pieces;
        ASSERT_GE(pieces, way == Way::InMemory ? 2 : 4) << test::name(way);
        for (int piece = 0; piece < pieces; ++piece) {
            for (const char with : {'A', ' '}) {
                // Anywhere in the piece; 69 is a trailer digit in the last one.
                for (const std::size_t offset : {std::size_t(piece) * 7919 + 1, std::size_t(69)}) {
                    Damage::arm(piece, offset, with);
                    bool sealed = true;
                    const std::string body = test::seal(way, key, plain, 200000, &sealed);
                    EXPECT_FALSE(sealed) << test::name(way) << ", piece " << piece;
                    if (way == Way::InMemory)
                        EXPECT_TRUE(body.empty()) << "piece " << piece;
                    else
                        EXPECT_LT(body.size(), want.size())
                            << test::name(way) << ", piece " << piece;
                    EXPECT_EQ(body, want.substr(0, body.size()))
                        << "only pieces before the damaged one reach the sink";
                }
            }
        }
    }
}

TEST_F(SealCheck, ItIsTheCheckThatCatchesTheDamage) {
    const std::string plain(100000, 'x');
    const TextKey key = test::key_of(3);
    Damage::arm(0, 5, 'A');
    set_test_hooks({.damage = Damage::at, .skip_seal_check = true});
    bool sealed = false;
    const std::string body = test::seal(Way::InMemory, key, plain, plain.size(), &sealed);
    EXPECT_TRUE(sealed);
    EXPECT_EQ(body.size(), 64u * (plain.size() / 32 + 1) + 10);
    EXPECT_NE(body.find('A'), std::string::npos) << "without the check the damage goes out";
}

TEST_F(SealCheck, TheProgramsAreToldAndGetNoText) {
    set_test_hooks({.damage = Damage::at});
    // The block's hex, a trailer digit, the closing envelope.
    for (const std::size_t offset : {0u, 70u, 75u}) {
        Damage::arm(0, offset, 'A');
        const ProcessOutcome outcome = ProcessText("pw", "a short note");
        EXPECT_EQ(outcome.kind, ProcessOutcome::Kind::CheckFailed) << offset;
        EXPECT_TRUE(outcome.text.empty());
    }
    set_test_hooks({});
    EXPECT_EQ(ProcessText("pw", "a short note").kind, ProcessOutcome::Kind::NewText);
}

TEST_F(SealCheck, ATextFedShortOfItsAnnouncedLengthFails) {
    test::Collect sink;
    TextSealer sealer;
    ASSERT_TRUE(sealer.start(test::key_of(1), 100, Envelope::Included, sink));
    sealer.feed(std::string(99, 'x'));
    EXPECT_FALSE(sealer.finish());
    EXPECT_TRUE(sealer.check_failed());
    EXPECT_EQ(sink.text.size(), 2u + 3 * 64) << "the envelope and the three whole blocks";
}

}  // namespace
}  // namespace tarnel
