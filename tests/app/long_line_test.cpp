// SPDX-License-Identifier: MIT
// A line far longer than the text box shows at once: it is laid out in regions, and
// nothing a user sees, types, selects or copies may tell where one region ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_test_support.h"
#include "sample_texts.h"
#include "tarnel/process.h"

namespace tarnel::app::testing {
namespace {

using ui::IDOK;
using ui::test::kCtrl;
using ui::test::Key;
using ui::test::kShift;
using ui::test::PopupMenu;

class LongLine : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        SetText(IDC_TEXT, text);
        Focus(IDC_TEXT);
        joints = driver().RegionStarts(dialog, IDC_TEXT);
        ASSERT_GE(joints.size(), 3u) << "the line was not cut into regions";
    }

    ui::CEdit& Box() { return *static_cast<ui::CEdit*>(dialog.GetDlgItem(IDC_TEXT)); }
    void Caret(int at) { Box().SetSel(at, at); }
    void ExpectSelection(int start, int end) {
        int got_start = -1, got_end = -1;
        driver().Selection(dialog, IDC_TEXT, got_start, got_end);
        EXPECT_EQ(got_start, start);
        EXPECT_EQ(got_end, end);
    }
    static std::string Inserted(std::string text, int at, const std::string& what) {
        return text.insert(static_cast<std::size_t>(at), what);
    }
    static std::string Erased(std::string text, int at, int count) {
        return text.erase(static_cast<std::size_t>(at), static_cast<std::size_t>(count));
    }

    const std::string text = HexLine(20000);
    std::vector<int> joints;
};

TEST_F(LongLine, IsShownWrappedAnywhereExactlyAsOneParagraph) {
    const std::vector<std::string> lines = driver().WrappedLines(dialog, IDC_TEXT);
    EXPECT_EQ(lines, driver().WrapAsOneParagraph(dialog, IDC_TEXT, text));
    EXPECT_GT(lines.size(), 100u);
}

TEST_F(LongLine, AScreenReaderReadsItWholeWithTheCaretWhereItIs) {
    EXPECT_EQ(driver().AccessibleText(dialog, IDC_TEXT), text);
    Caret(joints.back() + 3);
    EXPECT_EQ(driver().AccessibleCaret(dialog, IDC_TEXT), joints.back() + 3);
}

TEST_F(LongLine, ArrowKeysCrossEveryJointOneCharacterAtATime) {
    for (int joint : joints) {
        Caret(joint - 1);
        driver().Press(Key::Right);
        ExpectSelection(joint, joint);
        driver().Press(Key::Right);
        ExpectSelection(joint + 1, joint + 1);
        driver().Press(Key::Left);
        ExpectSelection(joint, joint);
        driver().Press(Key::Left);
        ExpectSelection(joint - 1, joint - 1);
    }
    EXPECT_EQ(Text(IDC_TEXT), text);
}

TEST_F(LongLine, ShiftArrowsSelectOverAJointAndCopyExactlyThoseCharacters) {
    const int joint = joints[1];
    Caret(joint - 2);
    for (int i = 0; i < 4; ++i)
        driver().Press(Key::Right, kShift);
    ExpectSelection(joint - 2, joint + 2);
    driver().Press(Key::C, kCtrl);
    EXPECT_EQ(driver().Clipboard(), text.substr(static_cast<std::size_t>(joint - 2), 4));
}

TEST_F(LongLine, BackspaceAndDeleteAtAJointTakeTheCharacterBesideIt) {
    const int joint = joints[0];
    // At the joint reached from the right, Backspace takes the character before.
    Caret(joint);
    driver().Press(Key::Backspace);
    EXPECT_EQ(Text(IDC_TEXT), Erased(text, joint - 1, 1));
    driver().Press(Key::Z, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), text);

    // At the joint reached from the left, Delete takes the character after.
    Caret(joint - 1);
    driver().Press(Key::Right);
    driver().Press(Key::Delete);
    EXPECT_EQ(Text(IDC_TEXT), Erased(text, joint, 1));
    driver().Press(Key::Z, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), text);

    // Ctrl+Backspace from there takes characters before the joint, not just the joint.
    driver().Press(Key::Backspace, kCtrl);
    const std::string after = Text(IDC_TEXT);
    const std::size_t kept = text.size() - static_cast<std::size_t>(joint);
    ASSERT_LT(after.size(), text.size());
    ASSERT_GE(after.size(), kept);
    EXPECT_EQ(after,
              text.substr(0, after.size() - kept) + text.substr(static_cast<std::size_t>(joint)));
}

TEST_F(LongLine, TypingAtAJointPutsTheCharacterThere) {
    const int joint = joints[2];
    Caret(joint - 1);
    driver().Press(Key::Right);
    driver().Type("Q");
    EXPECT_EQ(Text(IDC_TEXT), Inserted(text, joint, "Q"));
    Caret(joint + 5);
    driver().Press(Key::Left);
    driver().Press(Key::Left);
    driver().Press(Key::Left);
    driver().Press(Key::Left);
    driver().Press(Key::Left);
    driver().Type("R");
    EXPECT_EQ(Text(IDC_TEXT), Inserted(Inserted(text, joint, "Q"), joint, "R"));
}

TEST_F(LongLine, ASelectionOverSeveralJointsCopiesCutsAndComesBackExactly) {
    const int from = joints[0] - 3;
    const int to = joints[2] + 3;
    Box().SetSel(from, to);
    driver().Press(Key::C, kCtrl);
    const std::string selected =
        text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
    EXPECT_EQ(driver().Clipboard(), selected);

    driver().Press(Key::X, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), Erased(text, from, to - from));
    ExpectSelection(from, from);
    driver().Press(Key::Z, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), text);
    driver().Press(Key::Z, kCtrl | kShift);
    EXPECT_EQ(Text(IDC_TEXT), Erased(text, from, to - from));
    driver().Press(Key::V, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), text);
    EXPECT_EQ(driver().WrappedLines(dialog, IDC_TEXT),
              driver().WrapAsOneParagraph(dialog, IDC_TEXT, text));
}

TEST_F(LongLine, TheMouseSelectsAndPlacesTheCaretAcrossJoints) {
    const int joint = joints[1];
    driver().DragOverCharacters(dialog, IDC_TEXT, joint - 4, joint + 4);
    ExpectSelection(joint - 4, joint + 4);
    if (driver().HasPrimarySelection()) {
        EXPECT_EQ(driver().PrimarySelection(), text.substr(static_cast<std::size_t>(joint - 4), 8));
    }
    driver().ClickCharacter(dialog, IDC_TEXT, joint);
    ExpectSelection(joint, joint);
    driver().ClickCharacter(dialog, IDC_TEXT, joint + 2, kShift);
    ExpectSelection(joint, joint + 2);
}

TEST_F(LongLine, CtrlEndShowsTheEndAndCtrlHomeTheStart) {
    driver().Press(Key::End, kCtrl);
    const int size = static_cast<int>(text.size());
    ExpectSelection(size, size);
    EXPECT_GT(driver().FirstVisibleLine(dialog, IDC_TEXT), 0);
    const std::vector<std::string> in_view = driver().LinesInView(dialog, IDC_TEXT);
    ASSERT_FALSE(in_view.empty());
    EXPECT_EQ(in_view.back(), driver().WrapAsOneParagraph(dialog, IDC_TEXT, text).back());

    driver().Press(Key::Home, kCtrl);
    ExpectSelection(0, 0);
    EXPECT_EQ(driver().FirstVisibleLine(dialog, IDC_TEXT), 0);
}

TEST_F(LongLine, TheScrollBarAndTheWheelReachTheWholeLine) {
    const std::vector<std::string> all = driver().WrapAsOneParagraph(dialog, IDC_TEXT, text);
    driver().DragScrollBar(dialog, IDC_TEXT, 1.0);
    std::vector<std::string> in_view = driver().LinesInView(dialog, IDC_TEXT);
    ASSERT_FALSE(in_view.empty());
    EXPECT_EQ(in_view.back(), all.back());

    driver().DragScrollBar(dialog, IDC_TEXT, 0.0);
    driver().Wheel(dialog, IDC_TEXT, 3);
    const int after_wheel = driver().FirstVisibleLine(dialog, IDC_TEXT);
    EXPECT_GT(after_wheel, 0);
    in_view = driver().LinesInView(dialog, IDC_TEXT);
    ASSERT_FALSE(in_view.empty());
    EXPECT_EQ(in_view.front(), all[static_cast<std::size_t>(after_wheel)]);
}

TEST_F(LongLine, EnterBreaksTheLineAtAJointAndUndoJoinsItAgain) {
    const int joint = joints[0];
    Caret(joint);
    driver().Press(Key::Enter);
    EXPECT_EQ(Text(IDC_TEXT), Inserted(text, joint, "\n"));
    driver().Press(Key::Z, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), text);
}

TEST_F(LongLine, AnInputMethodComposesAndCommitsAtAJoint) {
    const int joint = joints[0];
    Caret(joint);
    driver().Compose("ab");
    EXPECT_EQ(Text(IDC_TEXT), text);  // what is being composed is not text yet
    driver().Commit("ab\ncd");
    EXPECT_EQ(Text(IDC_TEXT), Inserted(text, joint, "ab\ncd"));
    ExpectSelection(joint + 5, joint + 5);
}

TEST_F(LongLine, PastedLinesGoInAtAJoint) {
    const int joint = joints[1];
    driver().SetClipboard("one\ntwo\r\nthree");
    Caret(joint);
    driver().Press(Key::V, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), Inserted(text, joint, "one\ntwo\nthree"));
    ExpectSelection(joint + 13, joint + 13);
}

TEST_F(LongLine, ProcessSealsAndOpensItAndUndoBringsItBack) {
    SetText(IDC_PASSWORD, "long line");
    driver().Click(dialog, IDOK);
    const std::string sealed = ProcessText("long line", text).text;
    ASSERT_EQ(Text(IDC_TEXT), sealed);
    EXPECT_EQ(driver().WrappedLines(dialog, IDC_TEXT),
              driver().WrapAsOneParagraph(dialog, IDC_TEXT, sealed));
    driver().Click(dialog, IDOK);
    EXPECT_EQ(Text(IDC_TEXT), text);
    Focus(IDC_TEXT);
    driver().Press(Key::Z, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), sealed);
    driver().Press(Key::Z, kCtrl | kShift);
    EXPECT_EQ(Text(IDC_TEXT), text);
}

// A selection that starts where a line starts and ends inside a later region of a
// long line: whatever removes it, the line break before it stays.
enum class Removal { Delete, Typing, Cut, ContextMenuDelete };

class SelectionFromALineStart : public LongLine, public ::testing::WithParamInterface<Removal> {};

TEST_P(SelectionFromALineStart, RemovedKeepsTheLineBreakBeforeIt) {
    const std::string first = "first line\n";
    SetText(IDC_TEXT, first + text);
    const std::vector<int> starts = driver().RegionStarts(dialog, IDC_TEXT);
    ASSERT_GE(starts.size(), 2u);
    const int from = static_cast<int>(first.size());
    const int to = starts[1] + 5;
    Box().SetSel(from, to);
    std::string expected = first + text.substr(static_cast<std::size_t>(to - from));
    switch (GetParam()) {
        case Removal::Delete:
            driver().Press(Key::Delete);
            break;
        case Removal::Typing:
            driver().Type("T");
            expected.insert(first.size(), "T");
            break;
        case Removal::Cut:
            driver().Press(Key::X, kCtrl);
            break;
        case Removal::ContextMenuDelete: {
            PopupMenu seen;
            driver().WhenPopupOpens(seen, "Delete");
            driver().RightClick(dialog, IDC_TEXT);
            ASSERT_TRUE(seen.found);
            break;
        }
    }
    EXPECT_EQ(Text(IDC_TEXT), expected);
    driver().Press(Key::Z, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), first + text);
}

INSTANTIATE_TEST_SUITE_P(Removals, SelectionFromALineStart,
                         ::testing::Values(Removal::Delete, Removal::Typing, Removal::Cut,
                                           Removal::ContextMenuDelete));

using LongTexts = MainWindowTest;

TEST_F(LongTexts, AParagraphOfWordsWrapsAtWordBoundariesExactlyAsOneParagraph) {
    const std::string words = Words(30000);
    driver().SetClipboard(words);
    Focus(IDC_TEXT);
    driver().Press(Key::V, kCtrl);
    ASSERT_FALSE(driver().RegionStarts(dialog, IDC_TEXT).empty());
    const std::vector<std::string> lines = driver().WrappedLines(dialog, IDC_TEXT);
    EXPECT_EQ(lines, driver().WrapAsOneParagraph(dialog, IDC_TEXT, words));
    ASSERT_GT(lines.size(), 100u);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        ASSERT_EQ(lines[i].back(), ' ') << "a word is cut at line " << i;
    EXPECT_EQ(Text(IDC_TEXT), words);
}

// The box counts the lines of a region before laying it out; whatever the count, the
// end of the text comes into view.
class LineOfLength : public MainWindowTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(LineOfLength, CtrlEndShowsItsLastLine) {
    const std::string text = HexLine(GetParam());
    driver().SetClipboard(text);
    Focus(IDC_TEXT);
    driver().Press(Key::V, kCtrl);
    driver().Press(Key::Home, kCtrl);
    driver().Press(Key::End, kCtrl);
    const std::vector<std::string> in_view = driver().LinesInView(dialog, IDC_TEXT);
    ASSERT_FALSE(in_view.empty());
    const std::string& last = in_view.back();
    ASSERT_LE(last.size(), text.size());
    EXPECT_EQ(last, text.substr(text.size() - last.size()));
}

INSTANTIATE_TEST_SUITE_P(Lengths, LineOfLength, ::testing::Values(20000u, 200000u, 1000000u));

TEST_F(LongTexts, ManyLinesLongAndShortComeBackByteForByte) {
    // Short lines, a long run of hex, a long paragraph, and characters that a
    // careless read would change.
    const std::string text = Words(12000, "\r\n") + "\r\n" + HexLine(9000) + "\r\n\r\n" +
                             Words(9000) + " 10\xC2\xA0km \xF0\x9F\x94\x92\r\nend";
    SetText(IDC_TEXT, text);
    const std::string with_line_feeds = AsShown(text);
    EXPECT_EQ(Text(IDC_TEXT), with_line_feeds);
    Focus(IDC_TEXT);
    driver().Press(Key::A, kCtrl);
    driver().Press(Key::C, kCtrl);
    EXPECT_EQ(driver().Clipboard(), with_line_feeds);

    // Cut and pasted back, it is the same text again.
    driver().Press(Key::X, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), "");
    driver().Press(Key::V, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), with_line_feeds);
}

}  // namespace
}  // namespace tarnel::app::testing
