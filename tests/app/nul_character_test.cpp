// SPDX-License-Identifier: MIT
// A NUL character, one paste away in a clipboard, never makes a sealed text that
// opens to less than was sealed, nor a key other than the password shown.
#include <gtest/gtest.h>

#include <string>

#include "app_test_support.h"
#include "tarnel/process.h"

namespace tarnel::app::testing {
namespace {

using ui::IDOK;
using ui::test::kCtrl;
using ui::test::Key;

const std::string kTextWithNul("before\0after", 12);
const std::string kPasswordWithNul("pass\0word", 9);

class NulCharacter : public MainWindowTest {
  protected:
    void Paste(int id, const std::string& text) {
        driver().SetClipboard(text);
        Focus(id);
        driver().Press(Key::V, kCtrl);
    }

    void ExpectNoSelection() {
        int start = -1, end = -1;
        driver().Selection(dialog, IDC_TEXT, start, end);
        EXPECT_EQ(start, end);
    }
};

TEST_F(NulCharacter, APastedTextHoldingOneIsRefusedAndKept) {
    SetText(IDC_PASSWORD, "pw");
    Paste(IDC_TEXT, kTextWithNul);
#ifdef _WIN32
    // A Windows edit control ends its text at a NUL: what it shows is sealed and
    // opens again whole.
    ASSERT_EQ(Text(IDC_TEXT), "before");
    EXPECT_EQ(ProcessMessage(), "");
    EXPECT_EQ(Text(IDC_TEXT), ProcessText("pw", "before").text);
    driver().Click(dialog, IDOK);
    EXPECT_EQ(Text(IDC_TEXT), "before");
#else
    ASSERT_EQ(Text(IDC_TEXT), kTextWithNul);
    static_cast<ui::CEdit*>(dialog.GetDlgItem(IDC_TEXT))->SetSel(0, -1);
    EXPECT_EQ(ProcessMessage(), kTextNulMessage);
    EXPECT_EQ(Text(IDC_TEXT), kTextWithNul);
    ExpectNoSelection();
#endif
}

TEST_F(NulCharacter, APastedPasswordHoldingOneIsRefused) {
    SetText(IDC_TEXT, "a letter");
    Paste(IDC_PASSWORD, kPasswordWithNul);
#ifdef _WIN32
    ASSERT_EQ(Text(IDC_PASSWORD), "pass");
    EXPECT_EQ(ProcessMessage(), "");
    EXPECT_EQ(Text(IDC_TEXT), ProcessText("pass", "a letter").text);
#else
    ASSERT_EQ(Text(IDC_PASSWORD), kPasswordWithNul);
    EXPECT_EQ(ProcessMessage(), kPasswordNulMessage);
    EXPECT_EQ(Text(IDC_TEXT), "a letter");
    ExpectNoSelection();
#endif
}

TEST_F(NulCharacter, ATypedOneIsEitherHeldAndRefusedOrNotTypedAtAll) {
    SetText(IDC_TEXT, "a letter");
    Focus(IDC_PASSWORD);
    driver().Type(kPasswordWithNul);
    const std::string password = Text(IDC_PASSWORD);
    if (password.find('\0') != std::string::npos) {
        EXPECT_EQ(ProcessMessage(), kPasswordNulMessage);
        EXPECT_EQ(Text(IDC_TEXT), "a letter");
    } else {
        EXPECT_EQ(password, "password");
        EXPECT_EQ(ProcessMessage(), "");
        EXPECT_EQ(Text(IDC_TEXT), ProcessText("password", "a letter").text);
    }
}

}  // namespace
}  // namespace tarnel::app::testing
