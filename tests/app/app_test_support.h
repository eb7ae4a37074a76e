// SPDX-License-Identifier: MIT
// What the dialog tests share: the driver and a main window open for each test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "../support/script_samples.h"
#include "main_dialog.h"
#include "resource_ids.h"
#include "tarnel/ui/app.h"
#include "tarnel/ui/test_driver.h"

namespace tarnel::app::testing {

ui::test::Driver& driver();

/// `text` as the text box shows it: every line break is the platform's, "\r\n" in
/// a Windows edit control and "\n" elsewhere.
inline std::string AsShown(std::string_view text) {
#ifdef _WIN32
    return tarnel::test::with_line_breaks(text, "\r\n");
#else
    return tarnel::test::with_line_breaks(text, "\n");
#endif
}

/// A main window, open from SetUp to TearDown, as the program shows it.
class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { driver().Open(dialog); }
    void TearDown() override {
        driver().CancelWatches();
        dialog.DestroyWindow();
        ui::AfxGetApp()->m_pMainWnd = nullptr;
    }

    void SetText(int id, const std::string& text) {
        ASSERT_NE(dialog.GetDlgItem(id), nullptr);
        dialog.GetDlgItem(id)->SetWindowText(text);
    }
    std::string Text(int id) { return driver().Text(dialog, id); }

    /// Clicks "Process"; the message it showed, closed with Enter, or "" for none.
    std::string ProcessMessage() {
        ui::test::ModalWindow seen;
        driver().WhenModalOpens("tarnel", seen, ui::test::CloseBy::Enter);
        driver().Click(dialog, ui::IDOK);
        driver().CancelWatches();
        return seen.found && !seen.texts.empty() ? seen.texts[0] : std::string();
    }
    void Focus(int id) {
        ASSERT_NE(dialog.GetDlgItem(id), nullptr);
        dialog.GetDlgItem(id)->SetFocus();
    }

    CMainDialog dialog;
};

}  // namespace tarnel::app::testing
