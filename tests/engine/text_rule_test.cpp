// SPDX-License-Identifier: MIT
// The text rule: the bytes sealed for a text, the text opened bytes stand for, and
// the same whole and in pieces cut anywhere.
#include "tarnel/text_rule.h"
#include "line_marks.h"
#include "text_rule_pieces.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "../support/script_samples.h"
#include "tarnel/codepage.h"
#include "test_sinks.h"

namespace tarnel {
namespace {

using namespace std::string_literals;

std::string to_bytes(std::string_view text) {
    const auto bytes = text_to_bytes(text);
    EXPECT_TRUE(bytes.has_value());
    return bytes.value_or("");
}

std::string to_text(std::string_view bytes, LineBreak line_break = LineBreak::Lf) {
    const auto text = bytes_to_text(bytes, line_break);
    EXPECT_TRUE(text.has_value());
    return text.value_or("");
}

// Pieces of `text`: cut at each of `cuts` (ascending), with an empty piece between.
std::vector<std::string_view> pieces_of(std::string_view text,
                                        const std::vector<std::size_t>& cuts) {
    std::vector<std::string_view> pieces;
    std::size_t from = 0;
    for (const std::size_t cut : cuts) {
        pieces.push_back(text.substr(from, cut - from));
        pieces.push_back({});
        from = cut;
    }
    pieces.push_back(text.substr(from));
    return pieces;
}

std::vector<std::size_t> cuts_every(std::size_t piece, std::size_t size) {
    std::vector<std::size_t> cuts;
    for (std::size_t at = piece; at < size; at += piece)
        cuts.push_back(at);
    return cuts;
}

struct Sealed {
    std::string bytes;
    bool windows1252 = false;
    bool valid = false;
    uint64_t length = 0;
};

Sealed to_bytes_in_pieces(const std::vector<std::string_view>& pieces) {
    Sealed result;
    TextBytesSurvey survey;
    for (const std::string_view piece : pieces)
        survey.feed(piece);
    survey.finish();
    result.windows1252 = survey.windows1252();
    result.valid = survey.valid_utf8();
    result.length = survey.length();
    test::Collect sink;
    TextToBytes convert(result.windows1252);
    for (const std::string_view piece : pieces)
        convert.feed(piece, sink);
    convert.finish(sink);
    result.bytes = sink.text;
    return result;
}

std::string to_text_in_pieces(const std::vector<std::string_view>& pieces, LineBreak line_break) {
    Utf8Check check;
    for (const std::string_view piece : pieces)
        check.feed(piece);
    test::Collect sink;
    BytesToText convert(check.finish(), line_break);
    for (const std::string_view piece : pieces)
        convert.feed(piece, sink);
    convert.finish(sink);
    return sink.text;
}

// Checks that every way of cutting `text` gives what it gives whole: at each
// single point, and byte by byte.
void expect_same_in_pieces(std::string_view text) {
    SCOPED_TRACE(::testing::PrintToString(std::string(text)));
    const std::string whole = to_bytes(text);
    std::vector<std::vector<std::size_t>> cuttings;
    for (std::size_t at = 0; at <= text.size(); ++at)
        cuttings.push_back({at});
    cuttings.push_back(cuts_every(1, text.size()));
    for (const auto& cuts : cuttings) {
        const auto pieces = pieces_of(text, cuts);
        const Sealed sealed = to_bytes_in_pieces(pieces);
        ASSERT_EQ(sealed.bytes, whole) << "cut at " << cuts.front() << " of " << cuts.size();
        ASSERT_EQ(sealed.length, whole.size());
        ASSERT_EQ(sealed.valid, is_valid_utf8(text));
        for (const LineBreak line_break : {LineBreak::Lf, LineBreak::CrLf})
            ASSERT_EQ(to_text_in_pieces(pieces, line_break), to_text(text, line_break));
    }
}

TEST(TextToBytes, EveryLineBreakBecomesCrLf) {
    EXPECT_EQ(to_bytes("a\nb\rc\r\nd\u2028e\u2029f"), "a\r\nb\r\nc\r\nd\r\ne\r\nf");
    EXPECT_EQ(to_bytes("\r\r\n\n\n\r"), "\r\n\r\n\r\n\r\n\r\n");
    EXPECT_EQ(to_bytes("\u2028\n"), "\r\n\r\n");  // U+2028 and LF are two breaks
    EXPECT_EQ(to_bytes("\r\u2029"), "\r\n\r\n");
    EXPECT_EQ(to_bytes("x\n"), "x\r\n");
    EXPECT_EQ(to_bytes(""), "");
}

TEST(TextToBytes, DropsAByteOrderMarkOnlyAtTheStart) {
    EXPECT_EQ(to_bytes("\uFEFFplain"), "plain");
    EXPECT_EQ(to_bytes("\uFEFF"), "");
    EXPECT_EQ(to_bytes("\uFEFFcaf\u00E9\n"), "caf\xE9\r\n");
    // Elsewhere it is a character without a Windows-1252 form: the text stays UTF-8.
    EXPECT_EQ(to_bytes("caf\u00E9\uFEFF"), "caf\u00E9\uFEFF");
    EXPECT_EQ(to_bytes("\uFEFF\uFEFFx"), "\uFEFFx");
    // Only the start of a mark is no mark.
    EXPECT_EQ(to_bytes("\xEF\xBB"), "\xEF\xBB");
    EXPECT_EQ(to_bytes("\xEF\xBB\n"), "\xEF\xBB\r\n");
}

TEST(TextToBytes, UsesWindows1252WhereEveryCharacterHasAForm) {
    EXPECT_EQ(to_bytes("plain ASCII\r\n"), "plain ASCII\r\n");
    EXPECT_EQ(to_bytes("Caf\u00E9 \u20AC\n"), "Caf\xE9 \x80\r\n");
    EXPECT_EQ(to_bytes("\u00A0"), "\xA0");
    // A line separator is a line break, not a character without a form.
    EXPECT_EQ(to_bytes("\u00E9\u2028\u00E8"), "\xE9\r\n\xE8");
}

TEST(TextToBytes, KeepsUtf8ForOtherScriptsAndWhereTheFormWouldReadAsUtf8) {
    EXPECT_EQ(to_bytes("\u0416 and \u00E9\n"), "\u0416 and \u00E9\r\n");
    EXPECT_EQ(to_bytes("\U0001F512"), "\U0001F512");
    // "Ã©" is C3 A9 in Windows-1252, which UTF-8 reads as "é".
    EXPECT_EQ(to_bytes("\u00C3\u00A9"), "\u00C3\u00A9");
    // ... but not once a line break splits the pair.
    EXPECT_EQ(to_bytes("\u00C3\n\u00A9"), "\xC3\r\n\xA9");
}

TEST(TextToBytes, KeepsTheBytesOfATextThatIsNotUtf8) {
    EXPECT_EQ(to_bytes("caf\xE9\n"), "caf\xE9\r\n");
    EXPECT_EQ(to_bytes("\xFF\u2028\xE2\x80"), "\xFF\r\n\xE2\x80");
    EXPECT_EQ(to_bytes("\xE2\x80\xE2\x80\xA9\xE2"), "\xE2\x80\r\n\xE2");
    EXPECT_EQ(to_bytes("a\0b\n"s), "a\0b\r\n"s);  // a NUL is the engine's to refuse
}

TEST(TextToBytes, KeepsANulForTheEngineToRefuseInEitherForm) {
    EXPECT_EQ(to_bytes("a\0\u00E9"s), "a\0\xE9"s);
    EXPECT_EQ(to_bytes("\0\u0416"s), "\0\u0416"s);
}

// A password is one line; its characters become bytes as a text's do.
TEST(TextToBytes, ChoosesWindows1252AsThePasswordRuleDoes) {
    for (uint32_t seed = 0; seed < 300; ++seed) {
        const std::string line = test::with_line_breaks(test::random_sample(seed, 12), " ");
        EXPECT_EQ(to_bytes(line), password_bytes(line)) << seed;
    }
}

TEST(BytesToText, ReadsUtf8AsItIsAndAnythingElseAsWindows1252) {
    EXPECT_EQ(to_text("\u0416"), "\u0416");
    EXPECT_EQ(to_text("Caf\xE9 \x80"), "Caf\u00E9 \u20AC");
    EXPECT_EQ(to_text("\x81\x8D\x8F\x90\x9D\xFF"), "\u0081\u008D\u008F\u0090\u009D\u00FF");
    EXPECT_EQ(to_text("a\0b"s), "a\0b"s);
    EXPECT_EQ(to_text(""), "");
}

TEST(BytesToText, CrLfBecomesTheLineBreakAskedFor) {
    EXPECT_EQ(to_text("a\r\nb\r\n", LineBreak::Lf), "a\nb\n");
    EXPECT_EQ(to_text("a\r\nb\r\n", LineBreak::CrLf), "a\r\nb\r\n");
    EXPECT_EQ(to_text("\r\r\n\n\r", LineBreak::Lf), "\r\n\n\r");
    EXPECT_EQ(to_text("\r\r\n\n\r", LineBreak::CrLf), "\r\r\n\n\r");
    EXPECT_EQ(to_text("\xE9\r\n\xE8\r", LineBreak::Lf), "\u00E9\n\u00E8\r");
    EXPECT_EQ(bytes_to_text("a\r\n"), kPlatformLineBreak == LineBreak::Lf ? "a\n" : "a\r\n");
}

TEST(TextRule, PiecesCutAnywhereGiveWhatTheWholeGives) {
    const char* const texts[] = {
        "\uFEFFa\r\nb",         "\xEF\xBB\xEF\xBB\xBF",
        "\r\r\n\u2028\u2029\n", "\u00C3\u00A9\r",
        "\xE2\x80\xE2\x80",     "\xE2\x80\xA8\xE2",
        "caf\u00E9\u20AC\r",    "\u0416\U0001F512\r\n",
        "\xF0\x9F\x94\n\xE9",   "\xEF\xBB\xBF\xEF\xBB\xBF",
    };
    for (const char* text : texts)
        expect_same_in_pieces(text);
    for (uint32_t seed = 0; seed < 40; ++seed)
        expect_same_in_pieces(test::random_sample(seed, 6));
}

// Whole blocks of ASCII are taken from their marks, the rest a byte at a time: both
// ways, and the large samples in pieces of every size, give what the bytes give.
TEST(TextRule, LargeTextsInPiecesGiveWhatTheWholeGives) {
    struct PortableScans {
        PortableScans() { set_text_scan_path(TextScanPath::Portable); }
        ~PortableScans() { reset_text_scan_path(); }
    };
    for (const test::Script script : test::kScripts) {
        SCOPED_TRACE(test::script_name(script));
        const std::string text = test::script_sample(7, script, test::Breaks::Mixed, 40000);
        const std::string whole = [&] {
            PortableScans portable;
            return to_bytes(text);
        }();
        for (const bool blocks : {false, true}) {
            std::optional<PortableScans> portable;
            if (!blocks)
                portable.emplace();
            EXPECT_EQ(to_bytes(text), whole) << blocks;
            for (const std::size_t piece :
                 {std::size_t(1), std::size_t(4093), std::size_t(70000)}) {
                const auto pieces = pieces_of(text, cuts_every(piece, text.size()));
                const Sealed sealed = to_bytes_in_pieces(pieces);
                EXPECT_EQ(sealed.bytes, whole) << piece << " " << blocks;
                EXPECT_EQ(sealed.length, whole.size()) << piece;
                EXPECT_EQ(sealed.windows1252,
                          script == test::Script::Ascii || script == test::Script::Windows1252);
                const auto opened = pieces_of(whole, cuts_every(piece, whole.size()));
                EXPECT_EQ(to_text_in_pieces(opened, LineBreak::Lf),
                          test::with_line_breaks(text, "\n"));
            }
        }
    }
}

TEST(TextRule, EverySampleComesBackWithItsLineBreaksAsAsked) {
    for (const test::Script script : test::kScripts) {
        for (const test::Breaks breaks : test::kBreaks) {
            for (uint32_t seed = 0; seed < 5; ++seed) {
                const std::string text = test::script_sample(seed, script, breaks);
                const std::string bytes = to_bytes(text);
                EXPECT_EQ(to_text(bytes, LineBreak::Lf), test::with_line_breaks(text, "\n"))
                    << test::script_name(script) << " " << int(breaks) << " " << seed;
                EXPECT_EQ(to_text(bytes, LineBreak::CrLf), test::with_line_breaks(text, "\r\n"));
            }
        }
    }
}

// The scans skip runs of ASCII several bytes at a time, and whole blocks of 64 after
// the first: whatever they stop at must be found at every place in a run and in a
// block, whole and cut into pieces.
TEST(TextRule, FindsWhatEndsAnAsciiRunAtEveryPlaceInIt) {
    struct Case {
        const char* text;    // within ASCII, as typed
        const char* bytes;   // what it is sealed as
        const char* opened;  // what those bytes open as, with LF
        bool valid;
    };
    const Case cases[] = {
        {"\n", "\r\n", "\n", true},
        {"\r", "\r\n", "\n", true},
        {"\r\n", "\r\n", "\n", true},
        {"\u2028", "\r\n", "\n", true},
        {"\u00E9", "\xE9", "\u00E9", true},
        {"\u20AC\r", "\x80\r\n", "\u20AC\n", true},
        {"\u0416", "\u0416", "\u0416", true},
        {"\xFF", "\xFF", "\u00FF", false},
        {"\xE2\x80", "\xE2\x80", "\u00E2\u20AC", false},
        {"\u4E2D\uFFFD", "\u4E2D\uFFFD", "\u4E2D\uFFFD", true},
        {"\xED\xA0\x80", "\xED\xA0\x80", "\u00ED\u00A0\u20AC", false},  // a surrogate
        {"\xE0\x80\xAF", "\xE0\x80\xAF", "\u00E0\u20AC\u00AF", false},  // overlong
        {"\xE1\x80", "\xE1\x80", "\u00E1\u20AC", false},                // cut short
    };
    for (const Case& c : cases) {
        for (std::size_t before = 0; before < 200; before += before < 40 || before >= 60 ? 1 : 20) {
            for (const std::size_t after :
                 {std::size_t(0), std::size_t(3), std::size_t(29), std::size_t(70)}) {
                std::string head, tail;
                for (std::size_t i = 0; i < before; ++i)
                    head += char('a' + i % 26);
                for (std::size_t i = 0; i < after; ++i)
                    tail += char('A' + i % 26);
                const std::string text = head + c.text + tail;
                const std::string bytes = head + c.bytes + tail;
                SCOPED_TRACE(::testing::PrintToString(text));
                EXPECT_EQ(to_bytes(text), bytes);
                EXPECT_EQ(to_text(bytes, LineBreak::Lf), head + c.opened + tail);
                std::string opened_crlf = head;
                for (const char* o = c.opened; *o != '\0'; ++o)
                    opened_crlf += *o == '\n' ? std::string("\r\n") : std::string(1, *o);
                EXPECT_EQ(to_text(bytes, LineBreak::CrLf), opened_crlf + tail);
                const std::vector<std::size_t> cut{(before + after) / 2};
                const Sealed sealed = to_bytes_in_pieces(pieces_of(text, cut));
                EXPECT_EQ(sealed.bytes, bytes);
                EXPECT_EQ(sealed.length, bytes.size());
                EXPECT_EQ(sealed.valid, c.valid);
            }
        }
    }
}

// Texts of well-formed characters with now and then a sequence that is not, judged
// as the one-byte reader judges them, whole and cut.
TEST(Utf8Check, AgreesWithTheReaderOnTextsWithTheOddFlaw) {
    const char* const good[] = {"a",      "\n",         "\u00E9", "\u4E2D",
                                "\uFFFD", "\U0001F512", "\u0800", "\uD7FF"};
    const char* const bad[] = {"\xED\xA0\x80", "\xE0\x80\xAF", "\xE0\x9F\xBF", "\xC0\xAF",
                               "\xF5",         "\x80",         "\xE1\x80",     "\xF4\x90\x80\x80"};
    uint32_t seed = 5;
    int valid = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        for (int i = 0; i < 1 + round % 30; ++i) {
            seed = seed * 1103515245u + 12345u;
            const uint32_t draw = seed >> 16;
            bytes +=
                draw % 40 == 0 ? bad[draw / 40 % std::size(bad)] : good[draw % std::size(good)];
        }
        const bool want = is_valid_utf8(bytes);
        valid += want;
        Utf8Check whole;
        whole.feed(bytes);
        ASSERT_EQ(whole.finish(), want) << ::testing::PrintToString(bytes);
        Utf8Check cut;
        cut.feed(std::string_view(bytes).substr(0, bytes.size() / 3));
        cut.feed(std::string_view(bytes).substr(bytes.size() / 3));
        ASSERT_EQ(cut.finish(), want) << ::testing::PrintToString(bytes);
    }
    EXPECT_GT(valid, 200);
    EXPECT_LT(valid, 1800);
}

}  // namespace
}  // namespace tarnel
