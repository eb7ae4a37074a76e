// SPDX-License-Identifier: MIT
// A result that stands but is in doubt: the engine's warning follows the new text
// in a message box, and Ctrl+Z still brings back the text that was there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_test_support.h"
#include "tarnel/process.h"

namespace tarnel::app::testing {
namespace {

using ui::IDOK;
using ui::test::CloseBy;
using ui::test::kCtrl;
using ui::test::Key;
using ui::test::ModalWindow;

using Warning = MainWindowTest;

TEST_F(Warning, ADoubtfulResultIsWarnedOfAfterTheNewTextInTheEnginesWords) {
    const std::string sealed = ProcessText("pw", "a letter").text;
    const std::string body = sealed.substr(2, sealed.size() - 4);
    struct Case {
        const char* what;
        std::string password;
        std::string text;
        bool warned;
    };
    const Case cases[] = {
        {"a wrong password", "not pw", sealed, true},
        {"a damaged body", "pw", "{{G" + body.substr(1) + "}}", true},
        {"a sealed text cut short", "pw", sealed.substr(0, 40), true},
        {"the right password", "pw", sealed, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetText(IDC_PASSWORD, c.password);
        SetText(IDC_TEXT, c.text);
        const std::string before = Text(IDC_TEXT);
        const std::string warning = ProcessText(c.password, c.text).warning;
        ASSERT_EQ(warning.empty(), !c.warned);

        ModalWindow seen;
        std::string shown_under_it;
        driver().WhenModalOpens("tarnel", seen, CloseBy::Enter,
                                [&] { shown_under_it = Text(IDC_TEXT); });
        driver().Click(dialog, IDOK);
        driver().CancelWatches();
        const std::string after = Text(IDC_TEXT);
        EXPECT_NE(after, before);

        EXPECT_EQ(seen.found, c.warned);
        if (seen.found) {
            EXPECT_EQ(seen.caption, "tarnel");
            EXPECT_TRUE(seen.warning_icon);
            EXPECT_EQ(seen.texts, std::vector<std::string>{warning});
            EXPECT_EQ(seen.buttons, std::vector<std::string>{"OK"});
            EXPECT_EQ(shown_under_it, after);
        }
        Focus(IDC_TEXT);
        driver().Press(Key::Z, kCtrl);
        EXPECT_EQ(Text(IDC_TEXT), before);
    }
}

}  // namespace
}  // namespace tarnel::app::testing
