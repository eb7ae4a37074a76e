// SPDX-License-Identifier: MIT
// The dialogs' layout: dialog units to pixels, labels that grow to fit their
// text, and the real windows following their templates.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app_test_support.h"
#include "resources.h"
#include "tarnel/ui/layout.h"
#include "tarnel/ui/resource.h"

namespace tarnel::app::testing {
namespace {

using ui::BaseUnits;
using ui::DialogLayout;
using ui::LayoutDialog;

const ui::DialogTemplate& Template(int id) {
    ui::AfxSetResourceHandle(&AppResources());
    const ui::DialogTemplate* dialog = ui::AfxFindDialogTemplate(id);
    EXPECT_NE(dialog, nullptr);
    return *dialog;
}

// One line of text is 13 pixels high; a text wraps after every `per_line` characters.
ui::MeasureText Lines(int per_line) {
    return [per_line](std::string_view text, int) {
        const int lines =
            std::max<int>(1, (static_cast<int>(text.size()) + per_line - 1) / per_line);
        return lines * 13;
    };
}

TEST(DialogUnits, RoundLikeMulDiv) {
    EXPECT_EQ(ui::MulDiv(161, 6, 4), 242);   // 241.5 rounds up
    EXPECT_EQ(ui::MulDiv(175, 13, 8), 284);  // 284.375
    EXPECT_EQ(ui::MulDiv(-3, 6, 4), -5);     // away from zero, as Windows does
    EXPECT_EQ(ui::MulDiv(1, 1, 0), -1);
}

TEST(DialogLayoutRules, AFittingLabelMovesNothing) {
    const ui::DialogTemplate& main = Template(IDD_MAIN);
    const DialogLayout layout = LayoutDialog(main, BaseUnits{6, 13}, Lines(1000), 32);
    ASSERT_EQ(layout.controls.size(), main.controls.size());
    EXPECT_EQ(layout.width, 242);
    EXPECT_EQ(layout.height, 284);
    for (std::size_t i = 0; i < main.controls.size(); ++i) {
        const ui::ControlTemplate& control = main.controls[i];
        EXPECT_EQ(layout.controls[i].x, ui::MulDiv(control.x, 6, 4)) << i;
        EXPECT_EQ(layout.controls[i].y, ui::MulDiv(control.y, 13, 8)) << i;
        EXPECT_EQ(layout.controls[i].width, ui::MulDiv(control.cx, 6, 4)) << i;
        EXPECT_EQ(layout.controls[i].height, ui::MulDiv(control.cy, 13, 8)) << i;
    }
}

TEST(DialogLayoutRules, AGrowingLabelPushesWhatIsBelowItAndTheWindowDown) {
    const ui::DialogTemplate& main = Template(IDD_MAIN);
    const DialogLayout fits = LayoutDialog(main, BaseUnits{6, 13}, Lines(1000), 32);
    // The instruction (86 characters) takes three lines, "Password" one.
    const DialogLayout grown = LayoutDialog(main, BaseUnits{6, 13}, Lines(40), 32);
    const int grow = 3 * 13 - fits.controls[4].height;
    ASSERT_GT(grow, 0);
    EXPECT_EQ(grown.controls[4].height, 3 * 13);
    EXPECT_EQ(grown.controls[4].y, fits.controls[4].y);
    EXPECT_EQ(grown.controls[0].y, fits.controls[0].y + grow);  // "Process"
    EXPECT_EQ(grown.controls[2].y, fits.controls[2].y + grow);  // the text box
    EXPECT_EQ(grown.controls[1].y, fits.controls[1].y);         // the password, above
    EXPECT_EQ(grown.controls[3].y, fits.controls[3].y);         // its label
    EXPECT_EQ(grown.height, fits.height + grow);
    EXPECT_EQ(grown.width, fits.width);
}

TEST(DialogLayoutRules, IconsTakeTheSystemIconSize) {
    const ui::DialogTemplate& about = Template(IDD_ABOUT);
    const DialogLayout layout = LayoutDialog(about, BaseUnits{6, 13}, Lines(1000), 48);
    EXPECT_EQ(layout.controls[0].width, 48);
    EXPECT_EQ(layout.controls[0].height, 48);
}

TEST(Templates, MainWindowHasItsControlsInTabOrder) {
    const ui::DialogTemplate& main = Template(IDD_MAIN);
    EXPECT_EQ(main.title, "Moltrane Vessk!!!");
    EXPECT_TRUE(main.extended);
    EXPECT_EQ(main.cx, 161);
    EXPECT_EQ(main.cy, 175);
    ASSERT_EQ(main.controls.size(), 5u);
    const int ids[] = {ui::IDOK, IDC_PASSWORD, IDC_TEXT, -1, -1};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(main.controls[i].id, ids[i]) << i;
    EXPECT_EQ(main.controls[4].text, kInstruction);
}

TEST(Templates, StringsAndVersionRecordHoldExactlyTheirValues) {
    const ui::ResourceTable& table = AppResources();
    ASSERT_EQ(table.strings.size(), 1u);
    ui::CString about;
    EXPECT_TRUE(ui::LoadString(about, IDS_ABOUT_MENU));
    EXPECT_EQ(about, "&About tarnel...");
    EXPECT_FALSE(ui::LoadString(about, 102));
    EXPECT_EQ(about, "");

    const ui::VersionRecord& version = *table.version;
    EXPECT_EQ(std::vector<int>(version.file_version, version.file_version + 4),
              (std::vector<int>{1, 0, 0, 1}));
    EXPECT_EQ(std::vector<int>(version.product_version, version.product_version + 4),
              (std::vector<int>{1, 0, 0, 1}));
    EXPECT_EQ(version.file_os, ui::VOS__WINDOWS32);
    EXPECT_EQ(version.file_type, ui::VFT_APP);
    EXPECT_EQ(version.language, 0x0409);
    EXPECT_EQ(version.code_page, 1200);
    std::string keys;
    for (const ui::VersionString& entry : version.strings)
        keys += std::string(entry.key) + "=" + std::string(entry.value) + ";";
    EXPECT_EQ(keys,
              "CompanyName=;FileDescription=tarnel MFC Application;FileVersion=1, 0, 0, 1;"
              "InternalName=tarnel;LegalTrademarks=;OriginalFilename=tarnel.EXE;"
              "ProductName=tarnel Application;ProductVersion=1, 0, 0, 1;");

    const ui::IconGroup* icon = ui::AfxFindIconGroup(IDI_MAIN);
    ASSERT_NE(icon, nullptr);
    ASSERT_EQ(icon->images.size(), 2u);
    EXPECT_EQ(icon->images[0].width, 32);
    EXPECT_EQ(icon->images[0].bits_per_pixel, 24);
    EXPECT_EQ(icon->images[1].width, 16);
    EXPECT_EQ(icon->images[1].bits_per_pixel, 32);
    for (const ui::IconImage& image : icon->desktop_images) {
        // The PNG header's own size and colour type (2 = RGB, 6 = RGBA) must agree.
        ASSERT_GT(image.png.size(), 26u);
        const auto be32 = [&](std::size_t at) {
            return (image.png[at] << 24) | (image.png[at + 1] << 16) | (image.png[at + 2] << 8) |
                   image.png[at + 3];
        };
        EXPECT_EQ(be32(16), image.width);
        EXPECT_EQ(be32(20), image.height);
        EXPECT_EQ(image.png[24], 8);  // bits per channel
        EXPECT_EQ(image.png[25], image.bits_per_pixel == 24 ? 2 : 6) << image.width;
    }
}

// The windows as the backend built them, in the desktop's font.
struct WindowCase {
    const char* name;
    int template_id;
};

class BuiltWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(BuiltWindow, FollowsItsTemplateAndFitsEveryLabel) {
    const ui::DialogTemplate& tmpl = Template(GetParam().template_id);
    ui::CDialog window(GetParam().template_id);
    driver().Open(window);
    const std::vector<ui::test::ControlGeometry> controls = driver().Controls(window);
    ASSERT_EQ(controls.size(), tmpl.controls.size());
    const BaseUnits units = driver().Units(window);

    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ui::ControlTemplate& control = tmpl.controls[i];
        const ui::test::ControlGeometry& built = controls[i];
        EXPECT_EQ(built.x, ui::MulDiv(control.x, units.char_width, 4)) << i;
        if (!built.is_icon) {
            EXPECT_EQ(built.width, ui::MulDiv(control.cx, units.char_width, 4)) << i;
        }
        EXPECT_GE(built.height, built.is_icon ? 16 : ui::MulDiv(control.cy, units.char_height, 8))
            << i;
        EXPECT_LE(built.text_height, built.height) << "label " << i << " clips its text";
        // Controls keep their vertical order, and what was apart stays apart.
        for (std::size_t j = 0; j < controls.size(); ++j) {
            if (tmpl.controls[j].y >= control.y + control.cy) {
                EXPECT_GE(controls[j].y, built.y + built.height) << i << " overlaps " << j;
            }
        }
    }
    driver().Close(window);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, BuiltWindow,
                         ::testing::Values(WindowCase{"Main", IDD_MAIN},
                                           WindowCase{"About", IDD_ABOUT}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnel::app::testing
