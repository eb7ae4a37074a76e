// SPDX-License-Identifier: MIT
// Every kind of code point that the text rule keeps passes through the text box
// both ways: pasted, it shows, copies, reads aloud and seals as the engine seals it;
// a text the engine sealed opens in the box as it was. Qt's document takes some
// characters as marks of its own and Qt's UTF-8 a leading byte-order mark, which
// the box must not lose.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "app_test_support.h"
#include "tarnel/codepage.h"
#include "tarnel/process.h"
#include "tarnel/sealed_format.h"
#include "tarnel/text_rule.h"

namespace tarnel::app::testing {
namespace {

using ui::IDOK;
using ui::test::kCtrl;
using ui::test::Key;

struct Range {
    char32_t first;
    char32_t last;
};

// The format characters (Cf) of Unicode 15.
constexpr Range kFormatCharacters[] = {
    {0xAD, 0xAD},       {0x600, 0x605},     {0x61C, 0x61C},     {0x6DD, 0x6DD},
    {0x70F, 0x70F},     {0x890, 0x891},     {0x8E2, 0x8E2},     {0x180E, 0x180E},
    {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
    {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
    {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

std::vector<char32_t> swept_code_points() {
    std::vector<char32_t> swept;
    const auto add = [&](char32_t first, char32_t last) {
        for (char32_t cp = first; cp <= last; ++cp)
            swept.push_back(cp);
    };
    add(0x01, 0x1F);  // C0 controls; NUL is refused with a message
    add(0x7F, 0x9F);  // DEL and C1 controls
    add(0x2028, 0x2029);
    for (const Range& range : kFormatCharacters)
        add(range.first, range.last);
    // Private use: each area's ends and a middle.
    for (const Range& area : {Range{0xE000, 0xF8FF}, {0xF0000, 0xFFFFD}, {0x100000, 0x10FFFD}})
        swept.insert(swept.end(), {area.first, area.first + 1, (area.first + area.last) / 2,
                                   area.last - 1, area.last});
    add(0xFDD0, 0xFDEF);  // noncharacters, some of them Qt's frame marks
    for (char32_t plane = 0; plane <= 0x10; ++plane)
        add(plane * 0x10000 + 0xFFFE, plane * 0x10000 + 0xFFFF);
    std::mt19937 rng(2028);
    std::uniform_int_distribution<uint32_t> any(1, 0x10FFFF);
    for (int left = 64; left > 0;) {
        const auto cp = static_cast<char32_t>(any(rng));
        if (cp < 0xD800 || cp > 0xDFFF) {
            swept.push_back(cp);
            --left;
        }
    }
    return swept;
}

std::string utf8(char32_t cp) {
    std::string out;
    tarnel::test::samples_detail::append_utf8(out, cp);
    return out;
}

class CodePointSweep : public MainWindowTest {};

TEST_F(CodePointSweep, EveryKeptCodePointSurvivesTheBoxBothWays) {
    const std::string password = "sweep";
    SetText(IDC_PASSWORD, password);
    for (const char32_t cp : swept_code_points()) {
        for (const bool embedded : {true, false}) {
            // Built by appending: GCC 12 at -O3 warns falsely of "x" + std::string.
            std::string text = embedded ? "x" : "";
            text.append(utf8(cp)).append(embedded ? "y" : "");
            SCOPED_TRACE(::testing::Message()
                         << "U+" << std::hex << std::uppercase << static_cast<unsigned>(cp)
                         << (embedded ? " between x and y" : " alone"));
            const std::string key = password_bytes(password);
            const std::string sealed = ProcessText(key, *text_to_bytes(text)).text;
            // The text's own bytes, sealed as tarnel-cli --bytes does, open to the text
            // as the rule reads them, trimmed and with the box's line breaks.
            const std::string bytes_sealed = ProcessText(key, text).text;
            const std::string opened = AsShown(*bytes_to_text(trim_text(text), LineBreak::Lf));

            SetText(IDC_TEXT, "");
            Focus(IDC_TEXT);
            driver().SetClipboard(text);
            driver().Press(Key::V, kCtrl);
            EXPECT_EQ(Text(IDC_TEXT), AsShown(text));
            EXPECT_EQ(driver().AccessibleText(dialog, IDC_TEXT), AsShown(text));
            driver().SetClipboard("");
            driver().Press(Key::A, kCtrl);
            driver().Press(Key::C, kCtrl);
            EXPECT_EQ(driver().Clipboard(), AsShown(text));
            driver().Click(dialog, IDOK);
            EXPECT_EQ(Text(IDC_TEXT), sealed);

            SetText(IDC_TEXT, bytes_sealed);
            driver().Click(dialog, IDOK);
            EXPECT_EQ(Text(IDC_TEXT), opened);
        }
    }
}

}  // namespace
}  // namespace tarnel::app::testing
