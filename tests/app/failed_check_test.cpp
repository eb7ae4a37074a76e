// SPDX-License-Identifier: MIT
// A seal that fails the check that opens it again, which only the engine's test hook
// brings about: "Process" says so, and the box keeps the text it held.
#include <gtest/gtest.h>

#include <string>

#include "app_test_support.h"
#include "tarnel/process.h"
#include "test_hooks.h"

namespace tarnel::app::testing {
namespace {

void damage(char* sealed, std::size_t size) noexcept {
    if (size > 0)
        sealed[size / 2] = sealed[size / 2] == '0' ? '1' : '0';
}

class FailedCheck : public MainWindowTest {
  protected:
    void TearDown() override {
        set_test_hooks({});
        MainWindowTest::TearDown();
    }
};

TEST_F(FailedCheck, ProcessSaysSoAndTheBoxKeepsTheText) {
    const std::string text = "Meet me at the station at noon.\r\nBring the blue folder.";
    SetText(IDC_PASSWORD, "pw");
    SetText(IDC_TEXT, text);
    set_test_hooks({.damage = damage});
    EXPECT_EQ(ProcessMessage(), kSealCheckFailedMessage);
    EXPECT_EQ(Text(IDC_TEXT), AsShown(text));

    set_test_hooks({});
    EXPECT_EQ(ProcessMessage(), "");
    EXPECT_EQ(Text(IDC_TEXT), ProcessText("pw", text).text) << "the same press seals undamaged";
}

}  // namespace
}  // namespace tarnel::app::testing
