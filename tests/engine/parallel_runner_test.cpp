// SPDX-License-Identifier: MIT
// The runner that spreads a large text across threads: every unit worked exactly
// once, growing memory and ordered consumption respected, the one-thread fallback,
// the affinity mask, large runs handed to a write-only sink in one piece, and seals
// and opens that come out the same whatever the split, on every cipher path.
#include <gtest/gtest.h>

#if defined(__linux__)
#include <sched.h>
#endif

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "body_layout.h"
#include "cipher_path_fixture.h"
#include "parallel_runner.h"
#include "tarnel/process.h"
#include "tarnel/text_cipher.h"
#include "test_sinks.h"
#include "text_opener.h"
#include "text_sealer.h"

namespace tarnel {
namespace {

class SplitSettings : public ::testing::Test {
  protected:
    void TearDown() override { reset_parallel_settings(); }
};

struct Coverage {
    std::vector<int> hits;
    std::set<std::thread::id> threads;
};

Coverage cover(std::size_t blocks) {
    std::mutex mutex;
    Coverage coverage;
    coverage.hits.assign(blocks, 0);
    auto part = [&](std::size_t first, std::size_t count) noexcept {
        const std::lock_guard<std::mutex> lock(mutex);
        coverage.threads.insert(std::this_thread::get_id());
        for (std::size_t b = first; b < first + count; ++b)
            ++coverage.hits[b];
    };
    for_each_part(blocks, part);
    return coverage;
}

TEST_F(SplitSettings, EveryBlockIsWorkedExactlyOnceWhateverTheSplit) {
    for (const unsigned parts : {1u, 2u, 3u, 7u, 64u, 100u}) {
        set_parallel_settings({.threshold_blocks = 1, .parts = parts});
        for (std::size_t blocks = 0; blocks <= 70; ++blocks) {
            const Coverage c = cover(blocks);
            EXPECT_EQ(c.hits, std::vector<int>(blocks, 1)) << parts << " parts, " << blocks;
            EXPECT_LE(c.threads.size(),
                      std::max<std::size_t>(1, std::min<std::size_t>(parts, blocks)));
        }
    }
}

// Output that grows while it is filled: each unit once, never before the memory
// under it has grown, and the memory grown in order to the end. The caller's first
// unit is slow, so that the other threads run ahead of the memory and wait for it.
TEST_F(SplitSettings, GrowingUnitsAreWorkedOnceAndOnlyWhereTheMemoryHasGrown) {
    for (const unsigned parts : {1u, 2u, 3u, 5u}) {
        for (const bool refuse : {false, true}) {
            set_parallel_settings(
                {.threshold_blocks = 1, .parts = parts, .refuse_threads = refuse});
            for (const std::size_t units : {0u, 1u, 2u, 63u, 64u, 65u, 1000u}) {
                std::atomic<std::size_t> grown{0};
                std::atomic<bool> backwards{false}, early{false};
                std::vector<std::atomic<int>> hits(units);
                std::mutex mutex;
                std::set<std::thread::id> threads;
                auto grow = [&](std::size_t upto) noexcept {
                    backwards = backwards || upto < grown;
                    grown = upto;
                };
                const std::thread::id caller = std::this_thread::get_id();
                bool slowed = false;
                auto work = [&](std::size_t unit, unsigned char*) noexcept {
                    if (units == 1000 && !slowed && std::this_thread::get_id() == caller) {
                        slowed = true;
                        std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    }
                    early = early || grown <= unit;
                    ++hits[unit];
                    const std::lock_guard<std::mutex> lock(mutex);
                    threads.insert(std::this_thread::get_id());
                    return std::size_t(0);
                };
                NoRole none;
                run_units(units, units, work, grow, none);
                const std::string what =
                    std::to_string(units) + " units, " + std::to_string(parts) + " parts";
                for (std::size_t u = 0; u < units; ++u)
                    ASSERT_EQ(hits[u], 1) << "unit " << u << ", " << what;
                EXPECT_EQ(grown, units) << what;
                EXPECT_FALSE(backwards) << what;
                EXPECT_FALSE(early) << what;
                EXPECT_LE(threads.size(), refuse ? 1u : parts) << what;
            }
        }
    }
}

TEST_F(SplitSettings, BelowTheThresholdOneThreadDoesAll) {
    set_parallel_settings({.threshold_blocks = 100, .parts = 4});
    const Coverage small = cover(99);
    EXPECT_EQ(small.threads, std::set<std::thread::id>{std::this_thread::get_id()});
    // Units go to whichever thread asks first; each part waits a while for a second
    // thread to turn up, so that a large text is seen to run on several.
    std::mutex mutex;
    std::set<std::thread::id> threads;
    auto part = [&](std::size_t, std::size_t) noexcept {
        for (int wait = 0; wait < 2000; ++wait) {
            {
                const std::lock_guard<std::mutex> lock(mutex);
                threads.insert(std::this_thread::get_id());
                if (threads.size() > 1)
                    return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    for_each_part(100, part);
    EXPECT_GT(threads.size(), 1u);
    EXPECT_LE(threads.size(), 4u);
}

TEST_F(SplitSettings, WhenNoThreadStartsTheCallerDoesEveryPart) {
    set_parallel_settings({.threshold_blocks = 1, .parts = 4, .refuse_threads = true});
    const Coverage c = cover(50);
    EXPECT_EQ(c.hits, std::vector<int>(50, 1));
    EXPECT_EQ(c.threads, std::set<std::thread::id>{std::this_thread::get_id()});
}

#if defined(__linux__)
TEST(UsableCpus, FollowsTheAffinityMaskNotTheMachine) {
    cpu_set_t saved;
    ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
    EXPECT_EQ(usable_cpus(), unsigned(CPU_COUNT(&saved)));
    int cpu = 0;
    while (!CPU_ISSET(cpu, &saved))
        ++cpu;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(usable_cpus(), 1u);
    ASSERT_EQ(sched_setaffinity(0, sizeof saved, &saved), 0);
}
#endif

TEST_F(SplitSettings, OrderedChunksArriveInOrderWhateverTheWorkers) {
    for (const unsigned parts : {1u, 2u, 3u, 8u}) {
        for (const bool refuse : {false, true}) {
            set_parallel_settings(
                {.threshold_blocks = 1, .parts = parts, .refuse_threads = refuse});
            for (const std::size_t chunks : {0u, 1u, 2u, 5u, 40u}) {
                std::set<std::thread::id> makers;
                std::mutex mutex;
                auto make = [&](std::size_t index, unsigned char* buffer) noexcept {
                    for (std::size_t i = 0; i < kUnitBufferBytes; ++i)
                        buffer[i] = 0xee;  // another unit's bytes left here would show
                    {
                        const std::lock_guard<std::mutex> lock(mutex);
                        makers.insert(std::this_thread::get_id());
                    }
                    const std::size_t size = 1 + index % kUnitBufferBytes;
                    for (std::size_t i = 0; i < size; ++i)
                        buffer[i] = static_cast<unsigned char>(index + i);
                    return size;
                };
                std::vector<std::size_t> seen;
                bool intact = true;
                auto consume = [&](unsigned char* buffer, std::size_t size) noexcept {
                    const std::size_t index = seen.size();
                    intact = intact && size == 1 + index % kUnitBufferBytes;
                    for (std::size_t i = 0; i < size && intact; ++i)
                        intact = buffer[i] == static_cast<unsigned char>(index + i);
                    // The buffer is the consumer's until it returns: a maker that
                    // wrote into it early would show in this check.
                    std::this_thread::yield();
                    intact = intact && buffer[0] == static_cast<unsigned char>(index);
                    seen.push_back(index);
                };
                NoRole none;
                run_units(chunks, chunks, make, none, consume);
                EXPECT_EQ(seen.size(), chunks) << parts << " parts";
                EXPECT_TRUE(intact) << parts << " parts, " << chunks << " chunks";
                if (chunks >= 2 && parts > 1 && !refuse) {
                    EXPECT_FALSE(makers.count(std::this_thread::get_id()))
                        << "the caller only appends when workers make the chunks";
                } else if (chunks > 0) {
                    EXPECT_EQ(makers, std::set<std::thread::id>{std::this_thread::get_id()});
                }
            }
        }
    }
}

// A sink that takes writes only still gets a large run made on several threads,
// in one piece, in the engine's buffer.
struct WriteSizes final : TextSink {
    std::string text;
    std::vector<std::size_t> sizes;
    void write(const char* data, std::size_t size) noexcept override {
        text.append(data, size);
        sizes.push_back(size);
    }
};

TEST_F(SplitSettings, AWriteOnlySinkGetsALargeRunInOnePiece) {
    set_parallel_settings({.threshold_blocks = 1024, .parts = 3});
    const std::string plain(std::size_t(1) << 20, 'q');
    const TextKey key = test::key_of(4);
    WriteSizes sealed;
    TextSealer sealer;
    ASSERT_TRUE(sealer.start(key, plain.size(), Envelope::Omitted, sealed));
    sealer.feed(plain);
    ASSERT_TRUE(sealer.finish());
    EXPECT_EQ(sealed.sizes, (std::vector<std::size_t>{2 * plain.size(), 64 + 10}));
    EXPECT_EQ(sealed.text, test::seal(test::Way::InMemory, key, plain, plain.size()));

    WriteSizes opened;
    BodyDamage damage;
    const BodyLayout layout = analyse_body(sealed.text, damage);
    TextOpener opener;
    ASSERT_TRUE(opener.start(key, layout, opened, true));
    opener.feed(std::string_view(sealed.text).substr(0, layout.hex_end));
    OpenSummary summary;
    opener.finish(summary);
    EXPECT_EQ(opened.sizes, std::vector<std::size_t>{plain.size()}) << "cut at the zero fill";
    EXPECT_TRUE(opened.text == plain);
}

class SplitTexts : public test::OnEveryCipherPath {
  protected:
    void TearDown() override {
        reset_parallel_settings();
        test::OnEveryCipherPath::TearDown();
    }
};

// A text holding a zero byte, sealed by the cipher under ProcessText, which refuses it.
std::string seal_any_bytes(std::string_view password, std::string_view plain) {
    CTextCipher cipher;
    TextKey key;
    cipher.SetPassword(password, key);
    std::string sealed;
    EXPECT_TRUE(cipher.EncryptText(key, plain, sealed, Envelope::Included));
    return sealed;
}

std::string wrapped(std::string_view sealed) {
    std::string out;
    for (std::size_t at = 0; at < sealed.size(); at += 76) {
        out.append(sealed.substr(at, 76));
        out += "\r\n";
    }
    return out;
}

TEST_P(SplitTexts, SealAndOpenGiveTheSameBytesWhateverTheSplit) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> printable('!', '~');
    for (const std::size_t length :
         {0u, 31u, 32u, 33u, 95u, 96u, 97u, 1000u, 16383u, 16384u, 40000u}) {
        std::string plain(length, ' ');
        for (auto& c : plain)
            c = char(printable(rng));
        reset_parallel_settings();
        const ProcessOutcome sealed = ProcessText("pw", plain, ProcessDirection::Seal);
        const std::string damaged = sealed.text.substr(0, sealed.text.size() / 2 + 3) + "}}";
        std::string stray = sealed.text;
        stray[stray.size() / 2] = 'G';
        // A zero byte three quarters in: the result ends there, whichever part holds it.
        std::string cut_short = plain;
        if (!cut_short.empty())
            cut_short[cut_short.size() * 3 / 4] = '\0';
        const std::string zero_inside = seal_any_bytes("pw", cut_short);
        const std::vector<std::string> inputs = {sealed.text, wrapped(sealed.text), damaged, stray,
                                                 zero_inside};
        // The last opening is under a wrong password: noise, cut at its first zero.
        auto password = [&](std::size_t i) { return i == inputs.size() ? "px" : "pw"; };
        std::vector<std::string> opened;
        std::vector<BodyDamage> damage;
        std::vector<bool> genuine;
        for (std::size_t i = 0; i <= inputs.size(); ++i) {
            const ProcessOutcome outcome =
                ProcessText(password(i), inputs[i % inputs.size()], ProcessDirection::Open);
            opened.push_back(outcome.text);
            damage.push_back(outcome.damage);
            genuine.push_back(outcome.looks_genuine);
        }
        ASSERT_TRUE(damage[2].any() && !damage[1].any() && damage[3].bad_digits);
        ASSERT_EQ(opened[0], plain);
        ASSERT_EQ(opened[4], cut_short.substr(0, cut_short.find('\0')));
        ASSERT_TRUE(genuine[0]);
        ASSERT_FALSE(genuine[5]);

        for (const unsigned parts : {2u, 3u, 5u}) {
            for (const bool refuse : {false, true}) {
                set_parallel_settings(
                    {.threshold_blocks = 1, .parts = parts, .refuse_threads = refuse});
                ASSERT_EQ(ProcessText("pw", plain, ProcessDirection::Seal).text, sealed.text)
                    << length << " bytes in " << parts << " parts";
                for (std::size_t i = 0; i <= inputs.size(); ++i) {
                    const ProcessOutcome outcome =
                        ProcessText(password(i), inputs[i % inputs.size()], ProcessDirection::Open);
                    ASSERT_EQ(outcome.text, opened[i])
                        << "input " << i << ", " << length << " bytes in " << parts << " parts";
                    EXPECT_EQ(outcome.looks_genuine, genuine[i]);
                    EXPECT_EQ(outcome.damage.partial_block, damage[i].partial_block);
                    EXPECT_EQ(outcome.damage.bad_digits, damage[i].bad_digits);
                    EXPECT_EQ(outcome.damage.count_mismatch, damage[i].count_mismatch);
                }
            }
        }
    }
}

// A zero byte that ends the first of two parts, with text after it: the opened
// text stops there, and the text after it means it is not just the zero fill.
TEST_F(SplitSettings, AZeroThatEndsAPartStillSeesTheTextAfterIt) {
    const std::size_t blocks = 1251;  // a text of 40000 bytes and its zero fill
    const std::size_t boundary = 32 * (blocks / 2 + 1);
    std::string plain(32 * (blocks - 1), 'x');
    plain[boundary - 1] = '\0';
    const std::string sealed = seal_any_bytes("pw", plain);
    for (const unsigned parts : {1u, 2u}) {
        set_parallel_settings({.threshold_blocks = 1, .parts = parts});
        const ProcessOutcome opened = ProcessText("pw", sealed, ProcessDirection::Open);
        EXPECT_EQ(opened.text, plain.substr(0, boundary - 1)) << parts << " parts";
        EXPECT_FALSE(opened.looks_genuine) << parts << " parts";
    }
}

TARNEL_ON_EVERY_CIPHER_PATH(SplitTexts);

}  // namespace
}  // namespace tarnel
