// SPDX-License-Identifier: MIT
// The main window from the keyboard and mouse: focus, keys, "Process" and its text.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app_test_support.h"
#include "tarnel/process.h"

namespace tarnel::app::testing {
namespace {

using ui::IDCANCEL;
using ui::IDOK;
using ui::test::CloseBy;
using ui::test::kAlt;
using ui::test::kCtrl;
using ui::test::Key;
using ui::test::kShift;
using ui::test::ModalWindow;

constexpr char kPassword[] = "correct horse";

std::string SealedByEngine(std::string_view password, std::string_view text) {
    return ProcessText(password, text).text;
}

using MainWindowKeys = MainWindowTest;

TEST_F(MainWindowKeys, EnterRightAfterStartShowsTheMessageAndChangesNothing) {
    EXPECT_EQ(driver().FocusedId(), IDOK);
    SetText(IDC_TEXT, "  keep me as I am \r\n");
    ModalWindow seen;
    driver().WhenModalOpens("tarnel", seen, CloseBy::Enter);
    driver().Press(Key::Enter);

    ASSERT_TRUE(seen.found);
    ASSERT_EQ(seen.texts.size(), 1u);
    EXPECT_EQ(seen.texts[0], "Please Enter the Password to Process");
    EXPECT_TRUE(seen.warning_icon);
#ifndef _WIN32
    // A screen reader says "Warning" for the icon, not "image".
    EXPECT_EQ(seen.image_names, std::vector<std::string>{"Warning"});
#endif
    EXPECT_EQ(seen.buttons, std::vector<std::string>{"OK"});
    EXPECT_TRUE(seen.owned_by_main_window);
    EXPECT_FALSE(seen.owner_takes_input);
    EXPECT_EQ(Text(IDC_TEXT), AsShown("  keep me as I am \r\n"));
    EXPECT_TRUE(driver().IsOpen(dialog));
    EXPECT_EQ(driver().FocusedId(), IDOK);
}

// A compositor's notice that the message is active may arrive only after a quick
// Enter has closed it; the window takes the focus back all the same, every time.
TEST_F(MainWindowKeys, AMessageReportedActiveAfterItClosedGivesTheFocusBack) {
    for (int round = 0; round < 3; ++round) {
        ModalWindow seen;
        driver().WhenModalOpens("tarnel", seen, CloseBy::EnterActivatedLate);
        driver().Press(Key::Enter);
        ASSERT_TRUE(seen.found);
        EXPECT_TRUE(driver().IsOpen(dialog));
        EXPECT_EQ(driver().FocusedId(), IDOK);
    }
}

TEST_F(MainWindowKeys, TabCyclesThroughTheThreeControlsAndBack) {
    EXPECT_EQ(driver().FocusedId(), IDOK);
    const int forward[] = {IDC_PASSWORD, IDC_TEXT, IDOK, IDC_PASSWORD};
    for (int expected : forward) {
        driver().Press(Key::Tab);
        EXPECT_EQ(driver().FocusedId(), expected);
    }
    const int backward[] = {IDOK, IDC_TEXT, IDC_PASSWORD};
    for (int expected : backward) {
        driver().Press(Key::BackTab);
        EXPECT_EQ(driver().FocusedId(), expected);
    }
    // Tab in the text box moved the focus on; it inserted nothing.
    EXPECT_EQ(Text(IDC_TEXT), "");
}

TEST_F(MainWindowKeys, EnterInThePasswordFieldProcesses) {
    SetText(IDC_TEXT, "hello");
    Focus(IDC_PASSWORD);
    driver().Type(kPassword);
    driver().Press(Key::Enter);
    EXPECT_EQ(Text(IDC_TEXT), SealedByEngine(kPassword, "hello"));
    EXPECT_EQ(Text(IDC_PASSWORD), kPassword);
    EXPECT_EQ(driver().FocusedId(), IDC_PASSWORD);
}

// A pasted password counts as tarnel-cli reads a password file: its first line,
// without a leading byte-order mark.
TEST_F(MainWindowKeys, APastedPasswordCountsUpToItsFirstLineBreak) {
    for (const char* pasted : {"pw\nrest", "pw\r\nrest", "pw\u2028rest", "\uFEFFpw"}) {
        SetText(IDC_PASSWORD, "");
        SetText(IDC_TEXT, "hello");
        driver().SetClipboard(pasted);
        Focus(IDC_PASSWORD);
        driver().Press(Key::V, kCtrl);
        driver().Press(Key::Enter);
        EXPECT_EQ(Text(IDC_TEXT), SealedByEngine("pw", "hello")) << pasted;
    }
}

TEST_F(MainWindowKeys, EnterAndShiftEnterInTheTextBoxBreakTheLine) {
    SetText(IDC_PASSWORD, kPassword);
    Focus(IDC_TEXT);
    driver().Type("one");
    driver().Press(Key::Enter);
    driver().Type("two");
    driver().Press(Key::Enter, kShift);
    driver().Type("three");
    EXPECT_EQ(Text(IDC_TEXT), AsShown("one\ntwo\nthree"));
}

TEST_F(MainWindowKeys, EscapeClosesTheWindowWhateverItHolds) {
    SetText(IDC_TEXT, "unsaved words");
    Focus(IDC_TEXT);
    driver().Press(Key::Escape);
    EXPECT_FALSE(driver().IsOpen(dialog));
    EXPECT_EQ(dialog.GetResult(), IDCANCEL);
}

TEST_F(MainWindowKeys, AltF4ClosesTheWindowAndNeverReachesTheControl) {
    Focus(IDC_PASSWORD);
    driver().Press(Key::F4, kAlt);
    EXPECT_FALSE(driver().IsOpen(dialog));
    EXPECT_EQ(dialog.GetResult(), IDCANCEL);
}

TEST_F(MainWindowKeys, F1DoesNothing) {
    SetText(IDC_TEXT, "text");
    driver().Press(Key::F1);
    EXPECT_TRUE(driver().IsOpen(dialog));
    EXPECT_EQ(Text(IDC_TEXT), "text");
    EXPECT_EQ(driver().FocusedId(), IDOK);
}

// Ctrl+A selects the whole text box, caret at the end and scrolled there.
class CtrlA : public MainWindowTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(CtrlA, InTheTextBoxSelectsEverythingAndScrollsToTheEnd) {
    std::string text;
    for (int line = 0; line < 200; ++line)
        text += "line " + std::to_string(line) + "\r\n";
    text += "last";
    SetText(IDC_TEXT, text);
    Focus(IDC_TEXT);
    ASSERT_EQ(driver().FirstVisibleLine(dialog, IDC_TEXT), 0);

    driver().Press(Key::A, GetParam());
    int start = -1, end = -1;
    driver().Selection(dialog, IDC_TEXT, start, end);
    const int characters = static_cast<int>(text.size()) - 200;  // one per line break
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, characters);
    EXPECT_GT(driver().FirstVisibleLine(dialog, IDC_TEXT), 0);
    EXPECT_EQ(Text(IDC_TEXT), AsShown(text));
}

INSTANTIATE_TEST_SUITE_P(Modifiers, CtrlA, ::testing::Values(kCtrl, kCtrl | kShift));

TEST_F(MainWindowKeys, CtrlASelectsAllWhateverTheKeyboardLayout) {
    SetText(IDC_TEXT, "any layout");
    Focus(IDC_TEXT);
    driver().Press(Key::CyrillicYaOnZ, kCtrl);  // the neighbouring key: no selection
    int start = -1, end = -1;
    driver().Selection(dialog, IDC_TEXT, start, end);
    EXPECT_EQ(start, end);
    driver().Press(Key::CyrillicEfOnA, kCtrl);
    driver().Selection(dialog, IDC_TEXT, start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 10);
}

TEST_F(MainWindowKeys, CtrlAOutsideTheTextBoxLeavesItAloneAndReachesTheFocusedControl) {
    SetText(IDC_TEXT, "not selected");
    Focus(IDC_PASSWORD);
    driver().Type("secret");
    driver().Press(Key::A, kCtrl);
    int start = -1, end = -1;
    driver().Selection(dialog, IDC_TEXT, start, end);
    EXPECT_EQ(start, end);
    // The password field still received the keystroke and selected its own text.
    driver().Selection(dialog, IDC_PASSWORD, start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 6);
}

TEST_F(MainWindowKeys, PlainAIsTypedNotSelectingAnything) {
    Focus(IDC_TEXT);
    driver().Type("bb");
    driver().Press(Key::A);
    int start = -1, end = -1;
    driver().Selection(dialog, IDC_TEXT, start, end);
    EXPECT_EQ(start, end);
    EXPECT_EQ(Text(IDC_TEXT), "bba");
}

TEST_F(MainWindowKeys, ThePasswordIsMaskedAndCannotBeCopied) {
    driver().SetClipboard("clipboard before");
    Focus(IDC_PASSWORD);
    driver().Type("hunter2");
    driver().Press(Key::A, kCtrl);
    driver().Press(Key::C, kCtrl);
    EXPECT_EQ(driver().Clipboard(), "clipboard before");
    EXPECT_EQ(Text(IDC_PASSWORD), "hunter2");
}

#ifndef _WIN32
TEST_F(MainWindowKeys, AScreenReaderHearsTheTextBoxButOnlyMaskCharactersOfThePassword) {
    const std::string password = "hunter2";
    const std::vector<std::string> heard =
        driver().HeardTextChanges(dialog, IDC_PASSWORD, password);
    // Typed, deleted, and typed over (what went, what came): four texts, none in clear.
    ASSERT_EQ(heard.size(), 4u);
    for (const std::string& text : heard) {
        const auto characters = std::count_if(text.begin(), text.end(),
                                              [](char byte) { return (byte & 0xC0) != 0x80; });
        EXPECT_EQ(std::size_t(characters), password.size()) << text;
        EXPECT_EQ(text.find_first_of(password), std::string::npos) << text;
    }
    EXPECT_EQ(driver().HeardTextChanges(dialog, IDC_TEXT, "ab"),
              (std::vector<std::string>(4, "ab")));
}
#endif

using ProcessButton = MainWindowTest;

TEST_F(ProcessButton, SealsTheWholeTextWhateverIsSelected) {
    SetText(IDC_PASSWORD, kPassword);
    SetText(IDC_TEXT, "hello world");
    static_cast<ui::CEdit*>(dialog.GetDlgItem(IDC_TEXT))->SetSel(6, 11);
    driver().Click(dialog, IDOK);
    EXPECT_EQ(Text(IDC_TEXT), SealedByEngine(kPassword, "hello world"));
    EXPECT_TRUE(driver().IsOpen(dialog));
}

TEST_F(ProcessButton, LinesReachTheEngineWithCrLfAndComeBackAsLines) {
    SetText(IDC_PASSWORD, kPassword);
    SetText(IDC_TEXT, "first\nsecond\rthird\r\n");
    driver().Click(dialog, IDOK);
    EXPECT_EQ(Text(IDC_TEXT), SealedByEngine(kPassword, "first\r\nsecond\r\nthird"));
    driver().Click(dialog, IDOK);
    EXPECT_EQ(Text(IDC_TEXT), AsShown("first\nsecond\nthird"));
}

TEST_F(ProcessButton, ASealedTextWithLfOnlyOpensIntoLines) {
    SetText(IDC_PASSWORD, kPassword);
    SetText(IDC_TEXT, SealedByEngine(kPassword, "up\ndown\rleft"));
    driver().Click(dialog, IDOK);
    EXPECT_EQ(Text(IDC_TEXT), AsShown("up\ndown\nleft"));
}

TEST_F(ProcessButton, LeavesTheCaretAtTheStartScrolledToTheTop) {
    std::string text;
    for (int line = 0; line < 100; ++line)
        text += "a line of the letter\r\n";
    SetText(IDC_PASSWORD, kPassword);
    SetText(IDC_TEXT, text);
    Focus(IDC_TEXT);
    driver().Press(Key::A, kCtrl);
    ASSERT_GT(driver().FirstVisibleLine(dialog, IDC_TEXT), 0);
    driver().Click(dialog, IDOK);
    driver().Click(dialog, IDOK);
    int start = -1, end = -1;
    driver().Selection(dialog, IDC_TEXT, start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 0);
    EXPECT_EQ(driver().FirstVisibleLine(dialog, IDC_TEXT), 0);
}

TEST_F(ProcessButton, UndoAfterAWrongPasswordBringsTheSealedTextBack) {
    const std::string sealed = SealedByEngine(kPassword, "the meeting is at noon");
    SetText(IDC_TEXT, sealed);
    SetText(IDC_PASSWORD, "correct hours");
    driver().Click(dialog, IDOK);
    const std::string garbage = Text(IDC_TEXT);
    ASSERT_NE(garbage, sealed);

    Focus(IDC_TEXT);
    driver().Press(Key::Z, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), sealed);
    // It was one step: redo brings the whole result back at once.
    driver().Press(Key::Z, kCtrl | kShift);
    EXPECT_EQ(Text(IDC_TEXT), garbage);
}

// An edit control without a limit set stops at about 32,000 characters (30,000
// under Wine), silently.
std::string LongLetter(std::size_t size) {
    std::string text;
    for (int line = 0; text.size() < size; ++line)
        text += "line " + std::to_string(line) + " of a long letter\r\n";
    text.resize(size);
    text.back() = '.';
    return text;
}

TEST_F(ProcessButton, AHundredThousandCharacterPasteIsNotCut) {
    const std::string text = LongLetter(100000);
    driver().SetClipboard(text);
    Focus(IDC_TEXT);
    driver().Press(Key::V, kCtrl);
    ASSERT_EQ(Text(IDC_TEXT).size(), AsShown(text).size());
    EXPECT_EQ(Text(IDC_TEXT), AsShown(text));
}

TEST_F(ProcessButton, ASealedTextBeyondTheDefaultLimitIsNotCut) {
    // 16 KiB of text seal to some 33,000 characters, which a cut would turn into
    // garbage when opened.
    const std::string text = LongLetter(16500);
    SetText(IDC_PASSWORD, kPassword);
    SetText(IDC_TEXT, text);
    driver().Click(dialog, IDOK);
    const std::string sealed = SealedByEngine(kPassword, text);
    ASSERT_GT(sealed.size(), 32768u);
    ASSERT_EQ(Text(IDC_TEXT).size(), sealed.size());
    EXPECT_EQ(Text(IDC_TEXT), sealed);
    driver().Click(dialog, IDOK);
    EXPECT_EQ(Text(IDC_TEXT), AsShown(text));
}

TEST_F(ProcessButton, WithoutAPasswordRemovesTheSelectionAndKeepsTheTextUntrimmed) {
    SetText(IDC_TEXT, "\r\n  some text  \r\n");
    static_cast<ui::CEdit*>(dialog.GetDlgItem(IDC_TEXT))->SetSel(0, -1);
    ModalWindow seen;
    driver().WhenModalOpens("tarnel", seen, CloseBy::CloseBox);
    driver().Click(dialog, IDOK);
    EXPECT_TRUE(seen.found);
    int start = -1, end = -1;
    driver().Selection(dialog, IDC_TEXT, start, end);
    EXPECT_EQ(start, end);
    EXPECT_EQ(Text(IDC_TEXT), AsShown("\r\n  some text  \r\n"));
}

TEST_F(ProcessButton, TwoPressesGiveBackTheTrimmedText) {
    SetText(IDC_PASSWORD, " ");
    SetText(IDC_TEXT, "\r\n\tpadded\t\r\n");
    driver().Click(dialog, IDOK);
    ASSERT_EQ(Text(IDC_TEXT).substr(0, 2), "{{");
    driver().Click(dialog, IDOK);
    EXPECT_EQ(Text(IDC_TEXT), "padded");
}

// Every script comes back exactly; characters beyond Windows-1252 are sealed as
// UTF-8, the rest as Windows-1252, as a Windows box would have them.
struct Sample {
    const char* name;
    const char* text;
    const char* engine_bytes;  ///< what the engine must have sealed
};

class Scripts : public MainWindowTest, public ::testing::WithParamInterface<Sample> {};

TEST_P(Scripts, SealAndOpenThroughTheBox) {
    const Sample& sample = GetParam();
    SetText(IDC_PASSWORD, "p\xC3\xA4ss");  // "päss"
    SetText(IDC_TEXT, sample.text);
    driver().Click(dialog, IDOK);
    EXPECT_EQ(Text(IDC_TEXT), SealedByEngine("p\xE4ss", sample.engine_bytes));
    driver().Click(dialog, IDOK);
    EXPECT_EQ(Text(IDC_TEXT), sample.text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Scripts,
    ::testing::Values(Sample{"English", "Meet me at the station.", "Meet me at the station."},
                      Sample{"Accented",
                             "Caf\xC3\xA9 cr\xC3\xA8me \xE2\x82\xAC"
                             "5",
                             "Caf\xE9 cr\xE8me \x80"
                             "5"},
                      Sample{"Cyrillic", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
                             "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
                      Sample{"Emoji", "sealed \xF0\x9F\x94\x92", "sealed \xF0\x9F\x94\x92"},
                      Sample{"NonBreakingSpace", "10\xC2\xA0km", "10\xA0km"}),
    [](const ::testing::TestParamInfo<Sample>& info) { return info.param.name; });

TEST_F(ProcessButton, OpensAWindows1252TextWithAnAccentedPassword) {
    // As the Windows program sealed it: Windows-1252 text and password bytes.
    const std::string sealed = SealedByEngine("cl\xE9",
                                              "Gr\xFC\xDF"
                                              "e aus K\xF6ln");
    SetText(IDC_TEXT, sealed);
    Focus(IDC_PASSWORD);
    driver().Type("cl\xC3\xA9");
    driver().Click(dialog, IDOK);
    EXPECT_EQ(Text(IDC_TEXT),
              "Gr\xC3\xBC\xC3\x9F"
              "e aus K\xC3\xB6ln");
}

}  // namespace
}  // namespace tarnel::app::testing
