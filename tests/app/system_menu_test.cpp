// SPDX-License-Identifier: MIT
// The system menu, the about box and the minimised icon.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app_test_support.h"
#include "icon_placement.h"

namespace tarnel::app::testing {
namespace {

using ui::test::CloseBy;
using ui::test::kAlt;
using ui::test::Key;
using ui::test::ModalWindow;
using ui::test::PopupMenu;

using SystemMenu = MainWindowTest;

/// The items of the window's system menu as its CMenu reads them: the platform's
/// own (only "&Close" where the layer draws the menu itself), then ours.
std::vector<std::string> SystemMenuItems(ui::CDialog& dialog) {
    std::vector<std::string> items;
    if (ui::CMenu* menu = dialog.GetSystemMenu(ui::FALSE))
        for (int i = 0; i < menu->GetMenuItemCount(); ++i)
            items.push_back(menu->IsSeparator(i) ? std::string() : menu->GetMenuString(i));
    return items;
}

/// The open menu was the system menu: with Close, and ending in our entry.
void ExpectTheSystemMenu(const PopupMenu& seen, ui::CDialog& dialog) {
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.items, SystemMenuItems(dialog));
    EXPECT_NE(std::find(seen.items.begin(), seen.items.end(), "&Close\tAlt+F4"), seen.items.end());
    ASSERT_GE(seen.items.size(), 3u);
    EXPECT_EQ(seen.items[seen.items.size() - 2], "");
    EXPECT_EQ(seen.items.back(), "&About tarnel...");
#ifndef _WIN32
    // A screen reader reads each item's name alone: no "&", no tab and shortcut.
    ASSERT_EQ(seen.accessible_names.size(), seen.items.size());
    const auto close = std::find(seen.items.begin(), seen.items.end(), "&Close\tAlt+F4");
    EXPECT_EQ(seen.accessible_names[std::size_t(close - seen.items.begin())], "Close");
    EXPECT_EQ(seen.accessible_names.back(), "About tarnel...");
#endif
}

TEST_F(SystemMenu, EndsWithASeparatorAndTheAboutEntry) {
    ui::CMenu* menu = dialog.GetSystemMenu(ui::FALSE);
    ASSERT_NE(menu, nullptr);
    const int count = menu->GetMenuItemCount();
    ASSERT_GE(count, 2);
    EXPECT_TRUE(menu->IsSeparator(count - 2));
    EXPECT_EQ(menu->GetMenuString(count - 1), "&About tarnel...");
    EXPECT_EQ(menu->GetMenuItemID(count - 1), IDM_ABOUT);
}

TEST_F(SystemMenu, AltSpaceOpensItWithoutReachingTheControl) {
    Focus(IDC_TEXT);
    PopupMenu seen;
    driver().WhenPopupOpens(seen);
    driver().Press(Key::Space, kAlt);
    ExpectTheSystemMenu(seen, dialog);
    EXPECT_EQ(Text(IDC_TEXT), "");
}

TEST_F(SystemMenu, ARightClickOnTheBackgroundOpensIt) {
    PopupMenu seen;
    driver().WhenPopupOpens(seen);
    driver().RightClickBackground(dialog);
    ExpectTheSystemMenu(seen, dialog);
}

TEST_F(SystemMenu, TheMenuKeyOnProcessOpensIt) {
    ASSERT_EQ(driver().FocusedId(), ui::IDOK);
    PopupMenu seen;
    driver().WhenPopupOpens(seen);
    driver().Press(Key::Menu);
    ExpectTheSystemMenu(seen, dialog);
}

TEST_F(SystemMenu, CloseEndsTheProgram) {
    PopupMenu seen;
    driver().WhenPopupOpens(seen, "&Close\tAlt+F4");
    driver().Press(Key::Space, kAlt);
    EXPECT_TRUE(seen.found);
    EXPECT_FALSE(driver().IsOpen(dialog));
    EXPECT_EQ(dialog.GetResult(), ui::IDCANCEL);
}

TEST_F(SystemMenu, TheAboutEntryOpensTheAboutBoxOverABlockedMainWindow) {
    SetText(IDC_PASSWORD, "pass");
    SetText(IDC_TEXT, "text");
    PopupMenu menu;
    ModalWindow about;
    driver().WhenPopupOpens(menu, "&About tarnel...");
    driver().WhenModalOpens("About tarnel", about, CloseBy::Enter);
    driver().Press(Key::Space, kAlt);

    ASSERT_TRUE(about.found);
    EXPECT_EQ(about.texts,
              (std::vector<std::string>{"tarnel Version 1.0", "Seals a text with a password"}));
    EXPECT_EQ(about.buttons, std::vector<std::string>{"OK"});
#ifndef _WIN32
    // The icon is named, so that a screen reader does not pass over it as "image".
    EXPECT_EQ(about.image_names, std::vector<std::string>{"tarnel icon"});
#endif
    EXPECT_TRUE(about.owned_by_main_window);
    if (about.placement_known) {
        EXPECT_TRUE(about.centred_over_owner);
    }
    EXPECT_FALSE(about.owner_takes_input);
    EXPECT_TRUE(driver().IsOpen(dialog));
    EXPECT_EQ(Text(IDC_PASSWORD), "pass");
    EXPECT_EQ(Text(IDC_TEXT), "text");
}

// The platform keeps the low four bits of a system command for itself.
class AboutCommand : public MainWindowTest, public ::testing::WithParamInterface<ui::UINT> {};

TEST_P(AboutCommand, OpensTheAboutBoxEveryTime) {
    const CloseBy ways[] = {CloseBy::Enter, CloseBy::Escape, CloseBy::CloseBox,
                            CloseBy::EnterActivatedLate};
    for (CloseBy way : ways) {
        ModalWindow about;
        driver().WhenModalOpens("About tarnel", about, way);
        dialog.OnSysCommand(GetParam(), 0);
        EXPECT_TRUE(about.found);
        EXPECT_EQ(about.texts.size(), 2u);
        EXPECT_TRUE(driver().IsOpen(dialog));
    }
}

INSTANTIATE_TEST_SUITE_P(LowBits, AboutCommand, ::testing::Range(0x0010u, 0x0020u));

TEST_F(SystemMenu, OtherCommandsOpenNoAboutBox) {
    ModalWindow about;
    driver().WhenModalOpens("About tarnel", about, CloseBy::Escape);
    dialog.OnSysCommand(0x0020, 0);
    dialog.OnSysCommand(0x0000, 0);
    driver().ProcessEvents();
    EXPECT_FALSE(about.found);
    EXPECT_TRUE(driver().IsOpen(dialog));
}

TEST_F(SystemMenu, TheDragIconIsTheWindowIcon) {
    EXPECT_NE(dialog.OnQueryDragIcon(), nullptr);
    EXPECT_EQ(dialog.OnQueryDragIcon(), ui::LoadIcon(IDI_MAIN));
}

TEST(MinimisedIcon, IsCentredTruncatingTowardZero) {
    EXPECT_EQ(IconOrigin(36, 32), 2);
    EXPECT_EQ(IconOrigin(37, 32), 3);
    EXPECT_EQ(IconOrigin(30, 32), 0);
    EXPECT_EQ(IconOrigin(29, 32), -1);
    EXPECT_EQ(IconOrigin(32, 32), 0);
}

}  // namespace
}  // namespace tarnel::app::testing
