// SPDX-License-Identifier: MIT
// Random texts in many scripts, the same for the same seed, for the engine, window
// and tarnel-cli tests of the text rule. Header only; needs nothing but the standard
// library, so it can judge the code it tests.
//
// A sample is words of a script separated by spaces and line breaks. It begins and
// ends with a letter, so trimming leaves it whole, and holds no NUL, no "{{" or
// "}}", and no controls but the line breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace tarnel::test {

enum class Script {
    Ascii,        ///< printable ASCII only
    Windows1252,  ///< every character has a Windows-1252 form, and that form is not UTF-8
    Latin,        ///< Latin letters with accents beyond Windows-1252 (Polish, Czech, ...)
    Greek,
    Cyrillic,
    Cjk,    ///< Chinese and Japanese characters and punctuation
    Emoji,  ///< emoji (beyond the BMP) among ASCII words
    Mixed,  ///< words of every script above
};

inline constexpr Script kScripts[] = {Script::Ascii, Script::Windows1252, Script::Latin,
                                      Script::Greek, Script::Cyrillic,    Script::Cjk,
                                      Script::Emoji, Script::Mixed};

inline const char* script_name(Script script) {
    constexpr const char* kNames[] = {"ASCII",    "Windows-1252", "Latin", "Greek",
                                      "Cyrillic", "CJK",          "emoji", "mixed"};
    return kNames[int(script)];
}

/// Which line breaks a sample has.
enum class Breaks {
    None,
    CrLf,
    Lf,
    Cr,
    LineSeparator,       ///< U+2028
    ParagraphSeparator,  ///< U+2029
    Mixed,               ///< any of the above, and now and then an empty line
};

inline constexpr Breaks kBreaks[] = {
    Breaks::None, Breaks::CrLf,          Breaks::Lf,
    Breaks::Cr,   Breaks::LineSeparator, Breaks::ParagraphSeparator,
    Breaks::Mixed};

namespace samples_detail {

inline void append_utf8(std::string& text, char32_t c) {
    if (c < 0x80) {
        text += char(c);
    } else if (c < 0x800) {
        text += char(0xC0 | (c >> 6));
        text += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += char(0xE0 | (c >> 12));
        text += char(0x80 | ((c >> 6) & 0x3F));
        text += char(0x80 | (c & 0x3F));
    } else {
        text += char(0xF0 | (c >> 18));
        text += char(0x80 | ((c >> 12) & 0x3F));
        text += char(0x80 | ((c >> 6) & 0x3F));
        text += char(0x80 | (c & 0x3F));
    }
}

// Ranges of letters, each [first, last].
struct Range {
    char32_t first, last;
};

inline char32_t pick(std::mt19937& rng, std::initializer_list<Range> ranges) {
    uint32_t total = 0;
    for (const Range& r : ranges)
        total += r.last - r.first + 1;
    uint32_t at = rng() % total;
    for (const Range& r : ranges) {
        if (at <= r.last - r.first)
            return r.first + at;
        at -= r.last - r.first + 1;
    }
    return 'x';
}

inline char32_t ascii_letter(std::mt19937& rng) {
    return pick(rng, {{'a', 'z'}, {'A', 'Z'}, {'0', '9'}});
}

// A letter of `script` (never Mixed).
inline char32_t letter(std::mt19937& rng, Script script) {
    switch (script) {
        case Script::Ascii:
            return ascii_letter(rng);
        case Script::Windows1252:
            // Latin-1 letters and the characters Windows-1252 adds in 0x80..0x9F.
            if (rng() % 3 != 0)
                return ascii_letter(rng);
            return pick(rng, {{0xC0, 0xD6},
                              {0xD8, 0xF6},
                              {0xF8, 0xFF},
                              {0x20AC, 0x20AC},
                              {0x0152, 0x0153},
                              {0x0160, 0x0161},
                              {0x2018, 0x2019},
                              {0x201C, 0x201D},
                              {0x2122, 0x2122}});
        case Script::Latin:
            if (rng() % 3 != 0)
                return ascii_letter(rng);
            return pick(rng, {{0xE0, 0xFF}, {0x0100, 0x017F}});
        case Script::Greek:
            return pick(rng, {{0x0391, 0x03A1}, {0x03A3, 0x03A9}, {0x03AC, 0x03CE}});
        case Script::Cyrillic:
            return pick(rng, {{0x0410, 0x044F}, {0x0401, 0x0401}, {0x0451, 0x0451}});
        case Script::Cjk:
            return pick(rng, {{0x4E00, 0x9FFF}, {0x3041, 0x3096}, {0x30A1, 0x30FA}});
        case Script::Emoji:
            if (rng() % 4 != 0)
                return ascii_letter(rng);
            return pick(rng, {{0x1F600, 0x1F64F}, {0x1F300, 0x1F5FF}, {0x1F680, 0x1F6C5}});
        case Script::Mixed:
            break;
    }
    return 'x';
}

inline void append_line_break(std::string& text, std::mt19937& rng, Breaks breaks) {
    static constexpr std::string_view kBreaks[] = {"\r\n", "\n", "\r", "\u2028", "\u2029"};
    if (breaks == Breaks::Mixed) {
        const int count = rng() % 8 == 0 ? 2 : 1;
        for (int i = 0; i < count; ++i)
            text += kBreaks[rng() % std::size(kBreaks)];
        return;
    }
    text += kBreaks[int(breaks) - int(Breaks::CrLf)];
}

}  // namespace samples_detail

/// A sample of about `words` words of `script` with line breaks of `breaks`.
inline std::string script_sample(uint32_t seed, Script script, Breaks breaks = Breaks::Mixed,
                                 std::size_t words = 40) {
    using namespace samples_detail;
    std::mt19937 rng(seed);
    std::string text;
    if (script == Script::Windows1252) {
        // An accented letter before an ASCII one is not UTF-8: the form stays in use
        // however the other letters fall.
        append_utf8(text, 0xE9);
        text += 'a';
    }
    for (std::size_t w = 0; w < words || text.empty(); ++w) {
        if (!text.empty()) {
            if (breaks != Breaks::None && rng() % 6 == 0)
                append_line_break(text, rng, breaks);
            else
                text += ' ';
        }
        const Script word_script =
            script == Script::Mixed ? kScripts[rng() % (std::size(kScripts) - 1)] : script;
        const std::size_t length = 1 + rng() % 8;
        for (std::size_t i = 0; i < length; ++i)
            append_utf8(text, letter(rng, word_script));
        if (word_script != Script::Cjk && rng() % 5 == 0)
            text += ",.;:!?-'()"[rng() % 10];
    }
    // A letter last, so that trimming takes nothing.
    append_utf8(text, letter(rng, script == Script::Mixed ? Script::Greek : script));
    return text;
}

/// A sample of a script and line breaks chosen by `seed`.
inline std::string random_sample(uint32_t seed, std::size_t words = 40) {
    std::mt19937 rng(seed);
    const Script script = kScripts[rng() % std::size(kScripts)];
    const Breaks breaks = kBreaks[rng() % std::size(kBreaks)];
    return script_sample(rng(), script, breaks, words);
}

/// `text` (UTF-8) with every line break -- CR LF, LF, lone CR, U+2028, U+2029 -- as
/// `line_break`.
inline std::string with_line_breaks(std::string_view text, std::string_view line_break) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            result += line_break;
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text[i] == '\n') {
            result += line_break;
        } else if (text.substr(i, 3) == "\u2028" || text.substr(i, 3) == "\u2029") {
            result += line_break;
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
}

}  // namespace tarnel::test
