// SPDX-License-Identifier: MIT
// Large texts sealed and opened on several threads while the threads are stalled at
// every point where work or memory passes between them, in memory and in pieces:
// whatever the schedule, the result is byte for byte the one-thread result.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "parallel_runner.h"
#include "piece_reader.h"
#include "tarnel/sealed_format.h"
#include "tarnel/text_cipher.h"
#include "tarnel/text_process.h"
#include "test_hooks.h"
#include "test_sinks.h"
#include "text_opener.h"
#include "text_sealer.h"

namespace tarnel {
namespace {

using test::Way;

// The runner's own points, then those of a side job.
constexpr unsigned kRunnerPoints = unsigned(HandOver::Joining) + 1;
constexpr unsigned kPoints = unsigned(HandOver::SideJobAwaited) + 1;

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

        for (uint64_t seed = 0; seed < kRunnerPoints; ++seed) {
            for (const unsigned parts : {2u, 3u, 5u}) {
                const std::size_t piece = (std::size_t(1) << 20) + seed * 4099;
                set_parallel_settings({.threshold_blocks = 1024, .parts = parts});
                for (const Way way :
                     {Way::InMemory, Way::Pieces, Way::LentPieces, Way::RefusedPieces}) {
                    const uint64_t victim = (seed + parts) % kRunnerPoints;
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
    for (unsigned point = 0; point < kRunnerPoints; ++point) {
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

// A file in memory whose reads that cover byte `fail_at` fail (reads of its ends
// succeed), noting reads that overlap: the engine reads a source from one thread
// at a time, ahead or not.
class File final : public RandomAccessSource {
  public:
    explicit File(std::string_view text, uint64_t fail_at = UINT64_MAX)
        : m_text(text), m_fail_at(fail_at) {}
    uint64_t size() const noexcept override { return m_text.size(); }
    bool read_at(uint64_t offset, char* buffer, std::size_t size) noexcept override {
        overlapped = overlapped || m_reading.exchange(true);
        const bool fine = m_fail_at < offset || m_fail_at >= offset + size;
        if (fine)
            std::memcpy(buffer, m_text.data() + offset, size);
        m_reading = false;
        return fine;
    }
    std::atomic<bool> overlapped{false};

  private:
    std::string_view m_text;
    uint64_t m_fail_at;
    std::atomic<bool> m_reading{false};
};

struct Sink final : ProcessSink {
    explicit Sink(bool discardable_) : can_discard(discardable_) {}
    bool can_discard;
    std::string text;
    void write(const char* data, std::size_t size) noexcept override { text.append(data, size); }
    bool discardable() const noexcept override { return can_discard; }
    bool discard() noexcept override {
        text.clear();
        return true;
    }
};

struct FileResult {
    ProcessEnd end = ProcessEnd::Done;
    std::string text;
    bool operator==(const FileResult&) const = default;
};

FileResult process_file(std::string_view text, PlainForm form, bool discardable, std::size_t piece,
                        uint64_t fail_at = UINT64_MAX) {
    File file(text, fail_at);
    Sink sink(discardable);
    GivenPassword password("pw");
    ProcessSettings settings;
    settings.form = form;
    settings.line_break = LineBreak::Lf;
    settings.piece = piece;
    const ProcessReport report = ProcessTextFrom(file, password, sink, settings);
    EXPECT_FALSE(file.overlapped) << "two reads of the source at once";
    return {report.end, sink.text};
}

// Files read piece by piece, the next piece read ahead on a thread of its own:
// whatever the stalls, each pass gives what reading without threads gives, a
// read that fails ends the process, and a pass that ends early (white space in a
// body opened as unbroken) drops the piece read ahead.
TEST_F(Schedules, FilesReadAheadGiveWhatReadingInTurnGives) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> letter(' ', '~');
    std::string plain(std::size_t(1) << 20 | 333, ' ');
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = i % 61 == 60 ? '\n' : char(letter(rng));
    plain.front() = plain.back() = 'x';
    const std::size_t piece = (std::size_t(64) << 10) + 13;
    set_parallel_settings({.parts = 1});  // no thread: nothing is read ahead
    const FileResult sealed = process_file(plain, PlainForm::Text, true, piece);
    ASSERT_EQ(sealed.end, ProcessEnd::Done);
    std::string wrapped = sealed.text;
    for (std::size_t at = wrapped.size() * 3 / 4; at > 100000; at -= 100000)
        wrapped.insert(at, "\r\n");
    struct Case {
        std::string_view text;
        PlainForm form;
        bool discardable;
        uint64_t fail_at;
    };
    const Case cases[] = {
        {plain, PlainForm::Bytes, false, UINT64_MAX},
        {plain, PlainForm::Text, true, UINT64_MAX},
        {sealed.text, PlainForm::Bytes, true, UINT64_MAX},
        {sealed.text, PlainForm::Bytes, false, UINT64_MAX},
        {sealed.text, PlainForm::Text, true, UINT64_MAX},
        {wrapped, PlainForm::Bytes, true, UINT64_MAX},
        {wrapped, PlainForm::Text, false, UINT64_MAX},
        {sealed.text, PlainForm::Bytes, true, sealed.text.size() / 2},
        {plain, PlainForm::Text, true, plain.size() * 2 / 3},
    };
    std::vector<FileResult> want;
    for (const Case& c : cases)
        want.push_back(process_file(c.text, c.form, c.discardable, piece, c.fail_at));
    std::string crlf;
    for (const char c : plain)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(want[2].text, crlf);
    EXPECT_EQ(want[4].text, plain);
    EXPECT_EQ(want[5].text, want[3].text);
    EXPECT_EQ(want[6].text, plain);
    EXPECT_EQ(want[7].end, ProcessEnd::ReadFailed);
    EXPECT_EQ(want[8].end, ProcessEnd::ReadFailed);

    g_way = Way::Pieces;
    int stalled = 0, runs = 0;
    for (uint64_t seed = 0; seed < 6; ++seed) {
        const HandOver victim = HandOver(kRunnerPoints + seed % (kPoints - kRunnerPoints));
        for (const unsigned parts : {2u, 3u}) {
            set_parallel_settings({.threshold_blocks = 1024, .parts = parts});
            for (std::size_t i = 0; i < std::size(cases); ++i) {
                const Case& c = cases[i];
                g_schedule.reset(seed * 100 + parts * 10 + i, victim);
                set_test_hooks({.stall = stall_at});
                const FileResult got =
                    process_file(c.text, c.form, c.discardable, piece, c.fail_at);
                set_test_hooks({});
                stalled += g_schedule.stalls > 0;
                ++runs;
                ASSERT_TRUE(got == want[i])
                    << "case " << i << ", seed " << seed << ", " << parts
                    << " parts: " << int(got.end) << " " << got.text.size() << " bytes";
            }
        }
    }
    // Where no thread can be had, the piece ahead is read at once, in turn.
    set_parallel_settings({.threshold_blocks = 1024, .parts = 2, .refuse_threads = true});
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_TRUE(process_file(c.text, c.form, c.discardable, piece, c.fail_at) == want[i])
            << "case " << i << " without threads";
    }
    EXPECT_GT(stalled, runs / 2) << "most runs stalled a thread far behind";
    for (unsigned point = kRunnerPoints; point < kPoints; ++point)
        EXPECT_GT(g_long_stalls[int(Way::Pieces)][point], 0) << "point " << point;
}

// A piece read ahead serves only a read of exactly its bytes; any other read,
// at the same offset or not, reads the source again.
TEST_F(Schedules, APieceReadAheadServesOnlyTheSameRead) {
    std::string text(1000, ' ');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = char('0' + i % 43);
    set_parallel_settings({.threshold_blocks = 1, .parts = 2});
    g_schedule.reset(1, HandOver::SideJobStarted);
    set_test_hooks({.stall = stall_at});
    File file(text);
    PieceReader reader(file, 100);
    struct Read {
        bool next;
        uint64_t at, end_or_size;
    };
    const Read reads[] = {
        {true, 0, 1000},  {false, 100, 60},   // the same offset, fewer bytes
        {true, 100, 250}, {false, 200, 100},  // the same offset, more bytes
        {true, 200, 950}, {true, 300, 350},   // the same offset, a nearer end
        {true, 350, 900}, {true, 450, 900},  {false, 10, 5}, {true, 550, 900},
    };
    for (const Read& r : reads) {
        const std::size_t size =
            r.next ? std::size_t(std::min<uint64_t>(100, r.end_or_size - r.at)) : r.end_or_size;
        const std::string_view got =
            r.next ? reader.next(r.at, r.end_or_size) : reader.read(r.at, r.end_or_size);
        EXPECT_EQ(got, std::string_view(text).substr(r.at, size)) << r.at;
    }
    set_test_hooks({});
    EXPECT_FALSE(file.overlapped);
}

}  // namespace
}  // namespace tarnel
