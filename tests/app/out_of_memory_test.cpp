// SPDX-License-Identifier: MIT
// When memory runs out, or a result is more than the text box holds, the window
// says so and keeps the box as it was: never an abort, never half a text. Each of
// tarnel's own allocations on the way is made to fail in turn.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app_test_support.h"
#include "sample_texts.h"
#include "tarnel/process.h"
#include "tarnel/text_rule.h"
#include "tarnel/ui/allocation_point.h"

namespace tarnel::app::testing {
namespace {

using ui::test::kCtrl;
using ui::test::Key;
using ui::test::kShift;

constexpr char kPassword[] = "pw";
constexpr char kTooLarge[] = "The text is too large to process.";

class OutOfMemory : public MainWindowTest {
  protected:
    void TearDown() override {
        ui::test::FailAllocationPoint(0);
        MainWindowTest::TearDown();
    }

    ui::CEdit& Box() { return *static_cast<ui::CEdit*>(dialog.GetDlgItem(IDC_TEXT)); }

    std::string PressInTheBox(unsigned modifiers) {
        Focus(IDC_TEXT);
        driver().Press(Key::Z, modifiers);
        return {};
    }

    /// Makes each allocation point of `act` fail in turn, after a fresh `setup`,
    /// until `act` passes them all. After each, the box shows `unchanged` with the
    /// message `refusal`, or `done` with none (memory ran out only for what undo
    /// keeps; `after_kept_nothing` then looks at what follows). Returns how many
    /// points `act` passes.
    int FailEachPointInTurn(const std::function<void()>& setup,
                            const std::function<std::string()>& act, const std::string& unchanged,
                            const std::string& done, const std::string& refusal,
                            const std::function<void()>& after_kept_nothing = {}) {
        constexpr int kFarMorePointsThanAnyStepHas = 50;
        for (int nth = 1; nth <= kFarMorePointsThanAnyStepHas; ++nth) {
            SCOPED_TRACE("allocation point " + std::to_string(nth));
            setup();
            ui::test::FailAllocationPoint(nth);
            const std::string message = act();
            const int points = ui::test::AllocationPointsPassed();
            ui::test::FailAllocationPoint(0);
            const std::string shown = Text(IDC_TEXT);
            if (points < nth) {
                EXPECT_EQ(message, "");
                EXPECT_EQ(shown, done);
                return points;
            }
            if (shown == unchanged) {
                EXPECT_EQ(message, refusal);
                int start = -1, end = -1;
                driver().Selection(dialog, IDC_TEXT, start, end);
                EXPECT_EQ(start, end);
            } else if (shown != done) {
                ADD_FAILURE() << "half replaced: " << shown.substr(0, 80);
            } else {
                EXPECT_EQ(message, "");
                if (after_kept_nothing)
                    after_kept_nothing();
            }
        }
        ADD_FAILURE() << "no press passed every allocation point";
        return 0;
    }

    void Start(const std::string& text) {
        SetText(IDC_PASSWORD, kPassword);
        SetText(IDC_TEXT, text);
    }
};

TEST_F(OutOfMemory, SealingKeepsTheTextOrSealsItWhole) {
    const std::string plain = "a short letter\r\nof two lines";
    const int points =
        FailEachPointInTurn([&] { Start(plain); }, [&] { return ProcessMessage(); }, AsShown(plain),
                            ProcessText(kPassword, plain).text, kTooLarge);
    // The password, the text, their bytes for the engine, the new text.
    EXPECT_GE(points, 5);
}

TEST_F(OutOfMemory, OpeningKeepsTheSealedTextOrOpensItWhole) {
    // Cyrillic is sealed as UTF-8, which the box takes as it opens.
    const std::string plain = "\xD0\x9F\xD1\x80\xD0\xB8\r\nand more";
    const std::string sealed = ProcessText(kPassword, *text_to_bytes(plain)).text;
    const int points = FailEachPointInTurn([&] { Start(sealed); }, [&] { return ProcessMessage(); },
                                           sealed, AsShown(plain), kTooLarge);
    EXPECT_GE(points, 6);  // and the opened text for the box
}

using TextBoxLimit = OutOfMemory;

TEST_F(TextBoxLimit, AResultBeyondItIsRefusedAndTheTextKept) {
    const std::string plain(60, 'x');
    const std::string sealed = ProcessText(kPassword, plain).text;
    Box().SetLimitText(static_cast<ui::UINT>(sealed.size() - 1));
    Start(plain);
    Box().SetSel(0, -1);
    EXPECT_EQ(ProcessMessage(), kTooLarge);
    EXPECT_EQ(Text(IDC_TEXT), plain);
    int start = -1, end = -1;
    driver().Selection(dialog, IDC_TEXT, start, end);
    EXPECT_EQ(start, end);

    Box().SetLimitText(static_cast<ui::UINT>(sealed.size()));
    EXPECT_EQ(ProcessMessage(), "");
    EXPECT_EQ(Text(IDC_TEXT), sealed);
}

#ifndef _WIN32
// The Qt text box's own: its large undo step, and what it takes from a paste.

// Large enough that the Qt box keeps the replaced text aside, compressed, for undo.
class OutOfMemoryLarge : public OutOfMemory {
  protected:
    const std::string plain = Words(140 * 1024, "\n");
    const std::string sealed = ProcessText(kPassword, *text_to_bytes(plain)).text;
};

TEST_F(OutOfMemoryLarge, SealingKeepsTheTextOrSealsItWhole) {
    bool kept_nothing = false;
    const int points = FailEachPointInTurn([&] { Start(plain); }, [&] { return ProcessMessage(); },
                                           plain, sealed, kTooLarge,
                                           [&] {
                                               // The plain text could not be kept for undo: undo
                                               // leaves the result.
                                               kept_nothing = true;
                                               PressInTheBox(kCtrl);
                                               EXPECT_EQ(Text(IDC_TEXT), sealed);
                                           });
    EXPECT_GE(points, 7);  // and the text kept for undo, its conversion, the cuts
    EXPECT_TRUE(kept_nothing);
}

TEST_F(OutOfMemoryLarge, UndoKeepsTheResultOrBringsTheTextBackWhole) {
    const auto sealed_by_the_window = [&] {
        Start(plain);
        ASSERT_EQ(ProcessMessage(), "");
    };
    const int points = FailEachPointInTurn(
        sealed_by_the_window, [&] { return PressInTheBox(kCtrl); }, sealed, plain, "",
        [&] {
            // The sealed text could not be kept for redo: redo leaves the plain text.
            PressInTheBox(kCtrl | kShift);
            EXPECT_EQ(Text(IDC_TEXT), plain);
        });
    EXPECT_GE(points, 3);
}

TEST_F(OutOfMemoryLarge, RedoKeepsTheTextOrBringsTheResultBackWhole) {
    const auto undone = [&] {
        Start(plain);
        ASSERT_EQ(ProcessMessage(), "");
        PressInTheBox(kCtrl);
        ASSERT_EQ(Text(IDC_TEXT), plain);
    };
    const int points = FailEachPointInTurn(
        undone, [&] { return PressInTheBox(kCtrl | kShift); }, plain, sealed, "");
    EXPECT_GE(points, 3);
}

// A Windows edit control puts in what fits of a paste beyond its limit; the box
// takes a paste whole or not at all.
TEST_F(TextBoxLimit, APasteBeyondItIsRefusedWhole) {
    Box().SetLimitText(20);
    SetText(IDC_TEXT, "0123456789");
    Focus(IDC_TEXT);
    driver().Press(Key::End, kCtrl);
    driver().SetClipboard("abcdefghijk");
    driver().Press(Key::V, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), "0123456789");
    driver().Type("abcdefghij");
    EXPECT_EQ(Text(IDC_TEXT), "0123456789abcdefghij");
    driver().Type("k");
    driver().Press(Key::Enter);
    driver().Commit("\xC3\xA9");  // an input method's "é"
    EXPECT_EQ(Text(IDC_TEXT), "0123456789abcdefghij");
    // In place of a selection, what is selected makes room.
    driver().Press(Key::A, kCtrl);
    driver().Press(Key::V, kCtrl);
    EXPECT_EQ(Text(IDC_TEXT), "abcdefghijk");
}

TEST_F(OutOfMemory, APasteGoesInWholeOrNotAtAll) {
    const std::string before = "kept\r\n";
    const std::string pasted = Words(20000, "\r\n");
    const int points = FailEachPointInTurn(
        [&] {
            SetText(IDC_TEXT, before);
            driver().SetClipboard(pasted);
            Focus(IDC_TEXT);
            driver().Press(Key::End, kCtrl);
        },
        [&] {
            driver().Press(Key::V, kCtrl);
            return std::string();
        },
        AsShown(before), AsShown(before + pasted), "");
    EXPECT_GE(points, 1);
}
#endif

}  // namespace
}  // namespace tarnel::app::testing
