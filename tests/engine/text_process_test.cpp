// SPDX-License-Identifier: MIT
// The whole process over the three kinds of source: the same result and the same
// refusals from each, refusals before the sink begins and before the password is
// asked where they can be, the passes a file takes, and failures of the source or
// the sink on the way.
#include "tarnel/text_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../support/script_samples.h"
#include "tarnel/process.h"
#include "tarnel/sealed_format.h"
#include "tarnel/text_rule.h"

namespace tarnel {
namespace {

// A text in memory read at offsets, counting the bytes read; fails from `fail_at` on.
class TestFile final : public RandomAccessSource {
  public:
    explicit TestFile(std::string_view text) : m_text(text) {}
    uint64_t size() const noexcept override { return m_text.size(); }
    bool read_at(uint64_t offset, char* buffer, std::size_t size) noexcept override {
        if (offset + size > fail_at)
            return false;
        std::memcpy(buffer, m_text.data() + offset, size);
        bytes_read += size;
        return true;
    }
    uint64_t bytes_read = 0;
    uint64_t fail_at = UINT64_MAX;

  private:
    std::string_view m_text;
};

// A stream of `text` in runs of `step` bytes, then `endless` repeated forever.
class TestStream final : public StreamSource {
  public:
    TestStream(std::string_view text, std::size_t step, std::string endless = {})
        : m_text(text), m_step(step), m_endless(std::move(endless)) {}
    std::ptrdiff_t read(char* buffer, std::size_t size) noexcept override {
        std::size_t n = std::min({size, m_step, m_text.size()});
        if (n > 0) {
            std::memcpy(buffer, m_text.data(), n);
            m_text.remove_prefix(n);
        } else if (!m_endless.empty()) {
            n = std::min(size, m_endless.size());
            std::memcpy(buffer, m_endless.data(), n);
        }
        bytes_read += n;
        return std::ptrdiff_t(n);
    }
    uint64_t bytes_read = 0;

  private:
    std::string_view m_text;
    std::size_t m_step;
    std::string m_endless;
};

class TestSink final : public ProcessSink {
  public:
    explicit TestSink(bool discardable = false) : m_discardable(discardable) {}
    bool begin(bool sealing) noexcept override {
        EXPECT_EQ(begins, 0) << "begun twice";
        ++begins;
        this->sealing = sealing;
        return true;
    }
    void write(const char* data, std::size_t size) noexcept override {
        EXPECT_EQ(begins, 1) << "written before it began";
        if (text.size() + size > fail_after) {
            broken = true;
            return;
        }
        text.append(data, size);
    }
    bool failed() const noexcept override { return broken; }
    bool discardable() const noexcept override {
        return m_discardable && (begins == 0 || discardable_once_begun);
    }
    bool discard() noexcept override {
        EXPECT_TRUE(m_discardable && discardable_once_begun);
        ++discards;
        text.clear();
        return true;
    }
    std::string text;
    int begins = 0;
    int discards = 0;
    bool sealing = false;
    bool broken = false;
    bool discardable_once_begun = true;  ///< false: only forecast before begin()
    std::size_t fail_after = SIZE_MAX;

  private:
    bool m_discardable;
};

class CountingPassword final : public PasswordProvider {
  public:
    explicit CountingPassword(std::string password) : m_password(std::move(password)) {}
    bool provide(bool sealing, std::string& password) noexcept override {
        ++asked;
        asked_sealing = sealing;
        password = m_password;
        return true;
    }
    int asked = 0;
    bool asked_sealing = false;

  private:
    std::string m_password;
};

struct Outcome {
    ProcessReport report;
    std::string text;
    int begins = 0;
    int discards = 0;
    int asked = 0;
};

enum class Kind { Memory, Stream, File, DiscardableFile };
constexpr Kind kKinds[] = {Kind::Memory, Kind::Stream, Kind::File, Kind::DiscardableFile};

Outcome run(Kind kind, std::string_view text, const ProcessSettings& settings,
            const std::string& password = "pw") {
    CountingPassword provider(password);
    TestSink sink(kind == Kind::DiscardableFile);
    Outcome result;
    if (kind == Kind::Memory) {
        result.report = ProcessTextFrom(text, provider, sink, settings);
    } else if (kind == Kind::Stream) {
        TestStream stream(text, 7);
        result.report = ProcessTextFrom(stream, provider, sink, settings);
    } else {
        TestFile file(text);
        result.report = ProcessTextFrom(file, provider, sink, settings);
    }
    result.text = sink.text;
    result.begins = sink.begins;
    result.discards = sink.discards;
    result.asked = provider.asked;
    return result;
}

ProcessSettings settings_for(PlainForm form, ProcessDirection direction, std::size_t piece = 5) {
    ProcessSettings settings;
    settings.form = form;
    settings.direction = direction;
    settings.piece = piece;
    settings.line_break = LineBreak::Lf;
    return settings;
}

std::string seal(std::string_view text) {
    return ProcessText("pw", text, ProcessDirection::Seal).text;
}

const char* name(Kind kind) {
    constexpr const char* kNames[] = {"memory", "stream", "file", "discardable file"};
    return kNames[int(kind)];
}

TEST(TextProcess, EverySourceGivesTheSameResultAndTheSameRefusal) {
    const std::string sealed = seal("Grüße\r\nzurück");
    std::string wrapped;
    for (std::size_t i = 0; i < sealed.size(); i += 30)
        wrapped += sealed.substr(i, 30) + "\n";
    std::string stray = sealed;
    stray[9] = 'G';
    const std::string texts[] = {
        "",
        "  plain text\n",
        "\xEF\xBB\xBF" + sealed + "\xE2\x80\xA8",  // a byte-order mark, a line separator
        " \xEF\xBB\xBFx \xE2\x80\xA9",             // a mark that is not the text's first
        "caf\xE9 in Latin-1",                      // not UTF-8
        std::string("a\0b", 3),
        sealed,
        "\r\n" + wrapped,
        stray,
        "{{}}",
        "{{" + std::string(300, 'a') + "0000000000}}",
        seal(std::string(1000, 'x') + "\xE9"),  // opens to bytes that are not UTF-8
    };
    for (const PlainForm form : {PlainForm::Bytes, PlainForm::Text}) {
        for (const ProcessDirection direction :
             {ProcessDirection::ByEnvelope, ProcessDirection::Seal, ProcessDirection::Open}) {
            for (const std::string& text : texts) {
                const ProcessSettings settings = settings_for(form, direction);
                const Outcome expected = run(Kind::Memory, text, settings);
                for (const Kind kind : kKinds) {
                    SCOPED_TRACE(std::string(name(kind)) + ", form " + std::to_string(int(form)) +
                                 ", direction " + std::to_string(int(direction)) + ": " + text);
                    const Outcome got = run(kind, text, settings);
                    EXPECT_EQ(got.report.end, expected.report.end);
                    EXPECT_EQ(got.text, expected.text);
                    EXPECT_EQ(got.report.sealing, expected.report.sealing);
                    EXPECT_EQ(got.report.looks_genuine, expected.report.looks_genuine);
                    EXPECT_EQ(got.report.damage.any(), expected.report.damage.any());
                    EXPECT_EQ(got.report.doubtful(), expected.report.doubtful());
                    // Into a discardable sink in one pass: a NUL in bytes sealed, or
                    // a sealed text that is not UTF-8, is found once the sink began,
                    // and what it got is thrown away. (A text to seal is surveyed
                    // first here: its password is not known up front.)
                    const bool late =
                        kind == Kind::DiscardableFile &&
                        ((form == PlainForm::Bytes && got.report.end == ProcessEnd::TextNul) ||
                         (!got.report.sealing && got.report.end == ProcessEnd::InvalidText));
                    EXPECT_EQ(got.begins, late ? 1 : expected.begins);
                    if (late) {
                        EXPECT_EQ(got.discards, 1);
                    }
                }
                // Bytes are what ProcessText makes; a text, what it makes of the rule's bytes.
                const ProcessOutcome whole = ProcessText(
                    "pw", form == PlainForm::Bytes ? text : *text_to_bytes(text), direction);
                if (expected.report.end == ProcessEnd::Done) {
                    EXPECT_EQ(whole.kind, ProcessOutcome::Kind::NewText);
                    if (expected.report.sealing || form == PlainForm::Bytes) {
                        EXPECT_EQ(expected.text, whole.text);
                    }
                }
            }
        }
    }
}

TEST(TextProcess, RefusalsComeBeforeTheSinkBeginsAndBeforeThePasswordWhereTheTextDecides) {
    struct Case {
        std::string text;
        PlainForm form;
        ProcessDirection direction;
        ProcessEnd end;
        bool asks;  // the password is asked before the refusal
        // Met in the one pass that opens a text into a discardable sink: the sink
        // began, and what it got is thrown away.
        bool in_one_pass = false;
    };
    const Case cases[] = {
        {"plain", PlainForm::Bytes, ProcessDirection::Open, ProcessEnd::NotSealed, false},
        {std::string("x\0y", 3), PlainForm::Text, ProcessDirection::ByEnvelope, ProcessEnd::TextNul,
         false},
        {"caf\xE9", PlainForm::Text, ProcessDirection::Seal, ProcessEnd::InvalidText, false},
        {"{{\xE9" + seal("x").substr(2), PlainForm::Text, ProcessDirection::Open,
         ProcessEnd::InvalidText, true, true},
        {"plain", PlainForm::Text, ProcessDirection::Seal, ProcessEnd::EmptyPassword, true},
    };
    for (const Case& c : cases) {
        for (const Kind kind : kKinds) {
            SCOPED_TRACE(std::string(name(kind)) + ": " + c.text);
            const Outcome got = run(kind, c.text, settings_for(c.form, c.direction),
                                    c.end == ProcessEnd::EmptyPassword ? "" : "pw");
            const int late = c.in_one_pass && kind == Kind::DiscardableFile ? 1 : 0;
            EXPECT_EQ(got.report.end, c.end);
            EXPECT_EQ(got.begins, late);
            EXPECT_EQ(got.discards, late);
            EXPECT_EQ(got.text, "");
            EXPECT_EQ(got.asked, c.asks ? 1 : 0);
        }
    }
}

TEST(TextProcess, ThePasswordIsAskedOnceTheDirectionIsKnown) {
    for (const Kind kind : kKinds) {
        for (const bool sealed : {false, true}) {
            const std::string text = sealed ? seal("inner") : "outer";
            CountingPassword provider("pw");
            TestSink sink;
            TestFile file(text);
            TestStream stream(text, 3);
            const ProcessSettings settings = settings_for(PlainForm::Text, {});
            const ProcessReport report =
                kind == Kind::Memory   ? ProcessTextFrom(text, provider, sink, settings)
                : kind == Kind::Stream ? ProcessTextFrom(stream, provider, sink, settings)
                                       : ProcessTextFrom(file, provider, sink, settings);
            EXPECT_EQ(report.end, ProcessEnd::Done);
            EXPECT_EQ(provider.asked, 1);
            EXPECT_EQ(provider.asked_sealing, !sealed);
            EXPECT_EQ(sink.sealing, !sealed);
        }
    }
}

// Passes over a file, told by the bytes read.
TEST(TextProcess, AFileIsReadTwiceButOnceWhereTheResultCanBeThrownAway) {
    const std::string plain(300000, 'p');
    const std::string sealed = seal(plain);
    std::string wrapped = sealed;
    wrapped.insert(wrapped.size() / 2, "\r\n");
    const std::string latin = seal(std::string(300000, '\xE9'));  // opens as no UTF-8
    std::string latin_text;
    for (int i = 0; i < 100000; ++i)
        latin_text += "\u00E9\u00E9\u00E9";
    // Its last character has no Windows-1252 form: the text keeps its UTF-8.
    const std::string cyrillic = plain + "\u0416";
    struct Case {
        std::string text;
        PlainForm form;
        bool discardable;
        double passes;
        std::string want;
        int discards = 0;
    };
    const Case cases[] = {
        {plain, PlainForm::Bytes, false, 2, sealed},  // sealing surveys first
        {plain, PlainForm::Bytes, true, 1, sealed},   // a NUL would throw the seal away
        {plain, PlainForm::Text, false, 2, sealed},   // the rule's choice needs the whole text
        {plain, PlainForm::Text, true, 1, sealed},    // one pass, hoping for the usual form
        {cyrillic, PlainForm::Text, true, 3, seal(*text_to_bytes(cyrillic)), 1},  // in vain
        {sealed, PlainForm::Bytes, false, 2, plain},       // counts white space, then opens
        {sealed, PlainForm::Bytes, true, 1, plain},        // one pass
        {sealed, PlainForm::Text, false, 2, plain},        // is the opened text UTF-8?
        {sealed, PlainForm::Text, true, 1, plain},         // one pass, hoping it is
        {latin, PlainForm::Text, true, 2, latin_text, 1},  // it was not: opened again
        {wrapped, PlainForm::Bytes, true, 2.5, plain, 1},  // half a pass, then two
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(int(c.form)) + " " + std::to_string(c.discardable) + " " +
                     std::to_string(c.passes));
        TestFile file(c.text);
        TestSink sink(c.discardable);
        GivenPassword provider("pw");  // a prompt would have a text surveyed first
        const ProcessReport report =
            ProcessTextFrom(file, provider, sink, settings_for(c.form, {}, std::size_t(64) << 10));
        ASSERT_EQ(report.end, ProcessEnd::Done);
        EXPECT_EQ(sink.text, c.want);
        EXPECT_EQ(sink.discards, c.discards);
        const double passes = double(file.bytes_read) / double(c.text.size());
        EXPECT_GE(passes, c.passes - 0.05);
        EXPECT_LE(passes, c.passes + 0.05);
    }
}

// A sink that only forecast it could be thrown away: the survey comes after all,
// before anything is written; and a NUL deep in a one-pass seal leaves nothing.
TEST(TextProcess, AOnePassSealStopsAtANulAndTrustsOnlyABegunSinksWord) {
    std::string text(300000, 'p');
    text[250000] = '\0';
    for (const bool holds : {true, false}) {
        SCOPED_TRACE(holds ? "discardable" : "forecast only");
        TestFile file(text);
        TestSink sink(true);
        sink.discardable_once_begun = holds;
        CountingPassword provider("pw");
        const ProcessReport report = ProcessTextFrom(
            file, provider, sink, settings_for(PlainForm::Bytes, {}, std::size_t(64) << 10));
        EXPECT_EQ(report.end, ProcessEnd::TextNul);
        EXPECT_EQ(sink.text, "");
        EXPECT_EQ(sink.discards, holds ? 1 : 0);
        EXPECT_EQ(sink.begins, 1);
        EXPECT_EQ(provider.asked, 1);  // a one-pass seal asks before it reads
    }
    // So a password the seal refuses is refused before the NUL is met.
    TestFile file(text);
    TestSink sink(true);
    CountingPassword provider("");
    const ProcessReport report = ProcessTextFrom(
        file, provider, sink, settings_for(PlainForm::Bytes, {}, std::size_t(64) << 10));
    EXPECT_EQ(report.end, ProcessEnd::EmptyPassword);
    EXPECT_EQ(sink.begins, 0);
}

// A text from a file sealed in one pass (its password known up front) meets what
// the survey would have refused once the sink began, and leaves nothing; a text
// whose usual form reads as UTF-8 is sealed again in its other form.
TEST(TextProcess, AOnePassTextSealEndsWhereTheSurveyWouldAndFallsBackToTheOtherForm) {
    std::string nul(300000, 'p'), latin(300000, 'p');
    nul[250000] = '\0';
    latin[250000] = '\xE9';
    const std::string reads_as_utf8 = std::string(300000, 'p') + "\u00C3\u00A9";
    const struct {
        const std::string& text;
        ProcessEnd end;
    } cases[] = {{nul, ProcessEnd::TextNul},
                 {latin, ProcessEnd::InvalidText},
                 {reads_as_utf8, ProcessEnd::Done}};
    for (const auto& c : cases) {
        TestFile file(c.text);
        TestSink sink(true);
        GivenPassword provider("pw");
        const ProcessReport report = ProcessTextFrom(
            file, provider, sink, settings_for(PlainForm::Text, {}, std::size_t(64) << 10));
        EXPECT_EQ(report.end, c.end);
        EXPECT_EQ(sink.begins, 1);
        EXPECT_EQ(sink.discards, 1);
        EXPECT_EQ(sink.text, c.end == ProcessEnd::Done ? seal(*text_to_bytes(c.text)) : "");
    }
}

TEST(TextProcess, AStreamIsRefusedAsSoonAsItsFirstBytesDecide) {
    struct Case {
        std::string start, endless;
        ProcessDirection direction;
        ProcessEnd end;
    };
    const Case cases[] = {
        {"  not sealed", "more", ProcessDirection::Open, ProcessEnd::NotSealed},
        {"text", std::string(1000, '\0'), ProcessDirection::ByEnvelope, ProcessEnd::TextNul},
        {"{{", std::string(1000, '\0'), ProcessDirection::Seal, ProcessEnd::TextNul},
    };
    for (const Case& c : cases) {
        TestStream stream(c.start, 4096, c.endless);
        TestSink sink;
        CountingPassword provider("pw");
        const ProcessReport report =
            ProcessTextFrom(stream, provider, sink, settings_for(PlainForm::Text, c.direction));
        EXPECT_EQ(report.end, c.end);
        EXPECT_LT(stream.bytes_read, 1u << 20);
        EXPECT_EQ(provider.asked, 0);
    }
    // A stream beyond its bound stops there.
    TestStream endless("", 1, std::string(4096, 'a'));
    TestSink sink;
    CountingPassword provider("pw");
    ProcessSettings settings = settings_for(PlainForm::Text, {});
    settings.stream_limit = 100000;
    EXPECT_EQ(ProcessTextFrom(endless, provider, sink, settings).end, ProcessEnd::StreamTooLarge);
    EXPECT_LE(endless.bytes_read, 100000u + 4096);
}

TEST(TextProcess, AFailedReadOrWriteEndsTheProcessAndSaysWhich) {
    const std::string plain(100000, 'r');
    const std::string sealed = seal(plain);
    for (const std::string* text : {&plain, &sealed}) {
        for (const bool discardable : {false, true}) {
            // The source fails in its second half: the survey or the pass finds it.
            TestFile file(*text);
            file.fail_at = text->size() / 2;
            TestSink sink(discardable);
            CountingPassword provider("pw");
            EXPECT_EQ(
                ProcessTextFrom(file, provider, sink, settings_for(PlainForm::Bytes, {}, 4096)).end,
                ProcessEnd::ReadFailed);

            // The sink fails early: reading stops soon after.
            TestFile whole(*text);
            TestSink broken(discardable);
            broken.fail_after = 1000;
            EXPECT_EQ(
                ProcessTextFrom(whole, provider, broken, settings_for(PlainForm::Bytes, {}, 4096))
                    .end,
                ProcessEnd::SinkFailed);
            EXPECT_LT(whole.bytes_read, 2 * text->size() - text->size() / 4);
        }
    }
}

// A text in any script, sealed in text form, is the seal of the rule's bytes and
// opens to the text with LF line breaks.
TEST(TextProcess, ScriptSamplesSealAsTheRulesBytesAndOpenBack) {
    for (uint32_t seed = 0; seed < 40; ++seed) {
        const std::string text = test::random_sample(seed, 200);
        SCOPED_TRACE(seed);
        for (const Kind kind : kKinds) {
            const Outcome sealed = run(kind, text, settings_for(PlainForm::Text, {}, 64));
            ASSERT_EQ(sealed.report.end, ProcessEnd::Done);
            EXPECT_EQ(sealed.text, seal(*text_to_bytes(text)));
            const Outcome opened = run(kind, sealed.text, settings_for(PlainForm::Text, {}, 64));
            ASSERT_EQ(opened.report.end, ProcessEnd::Done);
            EXPECT_FALSE(opened.report.doubtful());
            EXPECT_EQ(opened.text, test::with_line_breaks(text, "\n"));
        }
    }
}

// One table of results that stand but deserve a warning, judged alike from every
// source and by ProcessText, whose password is known up front and so is judged
// before the text.
TEST(TextProcess, ASuspiciousResultIsJudgedAlikeEverywhere) {
    const std::string sealed = seal("a letter");
    const std::string body = sealed.substr(2, sealed.size() - 4);
    const std::size_t hex = body.size() - kTrailerDigits;
    struct Case {
        std::string text;
        std::string password;
        std::size_t warnings;  // 0 for a result without doubt
        bool sealing;
    };
    const Case cases[] = {
        {sealed, "pw", 0, false},
        {sealed, "not pw", 1, false},
        {"{{" + body.substr(1) + "}}", "pw", 3, false},  // a digit lost: blocks, count, odds
        {"{{G" + body.substr(1) + "}}", "pw", 2, false},
        {"{{" + body.substr(0, hex) + "12}}", "pw", 4, false},  // the trailer cut: all but digits
        {"{{" + body.substr(0, hex - 64) + body.substr(hex) + "}}", "pw", 2, false},
        {sealed.substr(0, sealed.size() - 1), "pw", 1, true},  // "}" lost
        {sealed.substr(0, 40) + "\n", "pw", 1, true},
        {"{{", "pw", 1, true},
        {"{{ plain text", "pw", 0, true},
        {sealed.substr(0, 40) + "}x", "pw", 0, true},
        {"plain", "pw", 0, true},
    };
    for (const Case& c : cases) {
        for (const PlainForm form : {PlainForm::Bytes, PlainForm::Text}) {
            const ProcessSettings settings = settings_for(form, ProcessDirection::ByEnvelope);
            const ProcessReport expected = run(Kind::Memory, c.text, settings, c.password).report;
            std::string_view lines[kMostWarnings];
            EXPECT_EQ(process_warnings(expected, lines), c.warnings) << c.text;
            EXPECT_EQ(expected.sealing, c.sealing) << c.text;
            EXPECT_EQ(expected.doubtful(), c.warnings > 0) << c.text;
            const std::string message = warning_message(expected);
            EXPECT_EQ(message.empty(), c.warnings == 0) << c.text;
            for (const Kind kind : kKinds) {
                SCOPED_TRACE(std::string(name(kind)) + ": " + c.text);
                const ProcessReport got = run(kind, c.text, settings, c.password).report;
                EXPECT_EQ(got.end, ProcessEnd::Done);
                EXPECT_EQ(warning_message(got), message);
            }
            const ProcessOutcome whole = ProcessText(c.password, c.text);
            EXPECT_EQ(whole.warning, message) << c.text;
            EXPECT_EQ(whole.cut_short, c.sealing && c.warnings > 0) << c.text;
        }
    }
    // Judged before the text wherever the password is known up front.
    for (const std::string& text : {std::string("a\0b", 3), std::string("{{}}")}) {
        GivenPassword empty("");
        TestSink sink;
        const ProcessSettings settings = settings_for(PlainForm::Text, ProcessDirection::Open);
        EXPECT_EQ(ProcessTextFrom(text, empty, sink, settings).end, ProcessEnd::EmptyPassword);
        EXPECT_EQ(ProcessText("", text, ProcessDirection::Open).kind,
                  ProcessOutcome::Kind::Message);
    }
}

}  // namespace
}  // namespace tarnel
