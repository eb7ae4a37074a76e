// SPDX-License-Identifier: MIT
// The text box as a text box: clipboard, context menu, undo and redo, for a short
// note and for the one step of "Process" on a text too large for the document's own
// history.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app_test_support.h"
#include "sample_texts.h"
#include "tarnel/process.h"
#include "tarnel/text_rule.h"

namespace tarnel::app::testing {
namespace {

using ui::IDOK;
using ui::test::kCtrl;
using ui::test::Key;
using ui::test::kShift;
using ui::test::PopupMenu;

class TextBox : public MainWindowTest {
  protected:
    void Select(int start, int end) {
        static_cast<ui::CEdit*>(dialog.GetDlgItem(IDC_TEXT))->SetSel(start, end);
    }

    /// Opens the text box's context menu and chooses the entry whose label starts
    /// with `label`; returns whether there was one and it was enabled.
    ::testing::AssertionResult ChooseFromMenu(const std::string& label) {
        PopupMenu seen;
        driver().WhenPopupOpens(seen);
        driver().RightClick(dialog, IDC_TEXT);
        std::string entry;
        bool enabled = false;
        std::string items;
        for (std::size_t i = 0; i < seen.items.size(); ++i) {
            items += " [" + seen.items[i] + (seen.enabled[i] ? "]" : " (disabled)]");
            if (seen.items[i].rfind(label, 0) == 0) {
                entry = seen.items[i];
                enabled = seen.enabled[i];
            }
        }
        if (!seen.found)
            return ::testing::AssertionFailure() << "no menu opened";
        if (entry.empty() || !enabled)
            return ::testing::AssertionFailure() << label << " is not enabled in:" << items;
        PopupMenu chosen;
        driver().WhenPopupOpens(chosen, entry);
        driver().RightClick(dialog, IDC_TEXT);
        if (!chosen.found)
            return ::testing::AssertionFailure() << "no menu opened the second time";
        return ::testing::AssertionSuccess();
    }
};

TEST_F(TextBox, CutCopyAndPasteWithTheKeys) {
    SetText(IDC_TEXT, "one two three");
    Focus(IDC_TEXT);
    Select(4, 7);
    driver().Press(Key::C, kCtrl);
    EXPECT_EQ(driver().Clipboard(), "two");
    driver().Press(Key::X, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), "one  three");
    Select(0, 0);
    driver().Press(Key::V, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), "twoone  three");
}

TEST_F(TextBox, TheContextMenuCopiesPastesAndDeletes) {
    SetText(IDC_TEXT, "alpha beta");
    Focus(IDC_TEXT);
    Select(0, 5);
    ASSERT_TRUE(ChooseFromMenu("&Copy"));
    EXPECT_EQ(driver().Clipboard(), "alpha");
    Select(10, 10);
    ASSERT_TRUE(ChooseFromMenu("&Paste"));
    EXPECT_EQ(Text(IDC_TEXT), "alpha betaalpha");
    Select(5, 10);
    ASSERT_TRUE(ChooseFromMenu("Delete"));
    EXPECT_EQ(Text(IDC_TEXT), "alphaalpha");
    ASSERT_TRUE(ChooseFromMenu("&Undo"));
    EXPECT_EQ(Text(IDC_TEXT), "alpha betaalpha");
}

TEST_F(TextBox, TypingAndDeletingUndoAndRedo) {
    Focus(IDC_TEXT);
    driver().Type("sealed text");
    driver().Press(Key::Backspace);
    driver().Press(Key::Backspace);
    EXPECT_EQ(Text(IDC_TEXT), "sealed te");
    driver().Press(Key::Z, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), "sealed text");
    driver().Press(Key::Z, kCtrl | kShift);
    EXPECT_EQ(Text(IDC_TEXT), "sealed te");
}

TEST_F(TextBox, ASelectionIsThePrimarySelectionWhereThereIsOne) {
    if (!driver().HasPrimarySelection())
        GTEST_SKIP() << "this window system has no primary selection";
    SetText(IDC_TEXT, "first\r\nsecond");
    Focus(IDC_TEXT);
    driver().DragOverCharacters(dialog, IDC_TEXT, 2, 9);
    EXPECT_EQ(driver().PrimarySelection(), "rst\nsec");
}

TEST_F(TextBox, TheContextMenuUndoesProcessOnAShortText) {
    SetText(IDC_PASSWORD, "pw");
    SetText(IDC_TEXT, "a short note");
    driver().Click(dialog, IDOK);
    ASSERT_EQ(Text(IDC_TEXT).substr(0, 2), "{{");
    Focus(IDC_TEXT);
    ASSERT_TRUE(ChooseFromMenu("&Undo"));
    EXPECT_EQ(Text(IDC_TEXT), "a short note");
}

// The text kept for a large step, compressed or not, keeps a leading byte-order mark
// as the box does.
TEST_F(TextBox, UndoingALargeProcessKeepsALeadingByteOrderMark) {
    std::mt19937 random(7);
    std::string scattered(600000, ' ');  // compresses too little to be compressed
    for (char& ch : scattered)
        ch = static_cast<char>('!' + random() % 94);
    SetText(IDC_PASSWORD, "large");
    for (const std::string& body : {Words(200000, "\n"), scattered}) {
        const std::string plain = "\xEF\xBB\xBF" + body;
        SetText(IDC_TEXT, plain);
        driver().Click(dialog, IDOK);
        ASSERT_EQ(Text(IDC_TEXT).substr(0, 2), "{{");
        Focus(IDC_TEXT);
        driver().Press(Key::Z, kCtrl);
        const std::string back = Text(IDC_TEXT);
        EXPECT_TRUE(back == plain) << plain.size() << " bytes came back as " << back.size()
                                   << ", beginning " << back.substr(0, 8);
    }
}

// A text of this size makes "Process" a step that the box keeps itself.
class LargeProcess : public TextBox {
  protected:
    void SetUp() override {
        TextBox::SetUp();
        SetText(IDC_PASSWORD, "large");
        SetText(IDC_TEXT, plain);
        driver().Click(dialog, IDOK);
        ASSERT_EQ(Text(IDC_TEXT), sealed);
        Focus(IDC_TEXT);
    }

    const std::string plain = Words(200000, "\n");
    const std::string sealed = ProcessText("large", *text_to_bytes(plain)).text;
};

TEST_F(LargeProcess, UndoesAndRedoesAsOneStep) {
    driver().Press(Key::Z, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), plain);
    driver().Press(Key::Z, kCtrl | kShift);
    EXPECT_EQ(Text(IDC_TEXT), sealed);
    driver().Press(Key::Z, kCtrl);
    driver().Press(Key::Z, kCtrl | kShift);
    EXPECT_EQ(Text(IDC_TEXT), sealed);
    // Nothing before it is left to undo: a second Ctrl+Z after undoing changes nothing.
    driver().Press(Key::Z, kCtrl);
    driver().Press(Key::Z, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), plain);
}

TEST_F(LargeProcess, EditsAfterItAreUndoneFirst) {
    driver().Press(Key::End, kCtrl);
    driver().Type("xyz");
    EXPECT_EQ(Text(IDC_TEXT), sealed + "xyz");
    driver().Press(Key::Z, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), sealed);
    driver().Press(Key::Z, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), plain);
    driver().Press(Key::Z, kCtrl | kShift);
    EXPECT_EQ(Text(IDC_TEXT), sealed);
}

TEST_F(LargeProcess, AnEditAfterUndoingItLeavesNothingToRedo) {
    driver().Press(Key::Z, kCtrl);
    driver().Press(Key::Home, kCtrl);
    driver().Type("q");
    driver().Press(Key::Z, kCtrl | kShift);
    EXPECT_EQ(Text(IDC_TEXT), "q" + plain);
}

TEST_F(LargeProcess, TheContextMenuUndoesAndRedoesIt) {
    ASSERT_TRUE(ChooseFromMenu("&Undo"));
    EXPECT_EQ(Text(IDC_TEXT), plain);
    ASSERT_TRUE(ChooseFromMenu("&Redo"));
    EXPECT_EQ(Text(IDC_TEXT), sealed);
}

TEST_F(LargeProcess, ProcessAgainOpensItAndUndoBringsTheSealedTextBack) {
    driver().Click(dialog, IDOK);
    EXPECT_EQ(Text(IDC_TEXT), plain);
    Focus(IDC_TEXT);
    driver().Press(Key::Z, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), sealed);
}

}  // namespace
}  // namespace tarnel::app::testing
