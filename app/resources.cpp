// SPDX-License-Identifier: MIT
#include "resources.h"

#include <array>

#include "icon_images.h"
#include "resource_ids.h"
#include "tarnel/version.h"

namespace tarnel::app {
namespace {

using namespace tarnel::ui;

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;

// Template order is the tab order.
constexpr std::array kMainControls{
    ControlTemplate{ControlClass::Button, IDOK, "Process", 53, 159, 50, 14,
                    kChild | BS_DEFPUSHBUTTON | WS_TABSTOP},
    ControlTemplate{ControlClass::Edit, IDC_PASSWORD, "", 53, 10, 99, 14,
                    kChild | ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    ControlTemplate{ControlClass::Edit, IDC_TEXT, "", 2, 60, 155, 97,
                    kChild | ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL | WS_BORDER | WS_TABSTOP},
    ControlTemplate{ControlClass::Static, -1, "Password", 8, 11, 39, 8,
                    kChild | SS_LEFT | WS_GROUP},
    ControlTemplate{ControlClass::Static, -1, kInstruction, 10, 38, 136, 19,
                    kChild | SS_LEFT | WS_GROUP},
};

constexpr std::array kAboutControls{
    ControlTemplate{ControlClass::Static, -1, "", 11, 17, 20, 20, kChild | SS_ICON, IDI_MAIN},
    ControlTemplate{ControlClass::Static, -1, "tarnel Version 1.0", 40, 10, 119, 8,
                    kChild | SS_LEFT | SS_NOPREFIX | WS_GROUP},
    ControlTemplate{ControlClass::Static, -1, "Seals a text with a password", 40, 25, 119, 8,
                    kChild | SS_LEFT | WS_GROUP},
    ControlTemplate{ControlClass::Button, IDOK, "OK", 178, 7, 50, 14,
                    kChild | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP},
};

constexpr std::array kDialogs{
    DialogTemplate{IDD_ABOUT, false,
                   WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 235,
                   55, "About tarnel", "MS Sans Serif", 8, kAboutControls},
    DialogTemplate{IDD_MAIN, true,
                   WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
                   WS_EX_APPWINDOW, 0, 0, 161, 175, "Moltrane Vessk!!!", "MS Sans Serif", 8,
                   kMainControls},
};

constexpr std::array kStrings{
    StringResource{IDS_ABOUT_MENU, "&About tarnel..."},
};

const std::array kIconImages{
    IconImage{32, 32, 24, kIcon32Png},
    IconImage{16, 16, 32, kIcon16Png},
};

// The larger images a desktop asks for; the icon group proper holds the two above.
const std::array kDesktopIconImages{
    IconImage{32, 32, 24, kIcon32Png},    IconImage{16, 16, 32, kIcon16Png},
    IconImage{48, 48, 32, kIcon48Png},    IconImage{64, 64, 32, kIcon64Png},
    IconImage{128, 128, 32, kIcon128Png}, IconImage{256, 256, 32, kIcon256Png},
};

const std::array kIcons{
    IconGroup{IDI_MAIN, kIconImages, kDesktopIconImages},
};

constexpr std::array kVersionStrings{
    VersionString{"CompanyName", ""},
    VersionString{"FileDescription", "tarnel MFC Application"},
    VersionString{"FileVersion", TARNEL_VERSION_RECORD_TEXT},
    VersionString{"InternalName", "tarnel"},
    VersionString{"LegalTrademarks", ""},
    VersionString{"OriginalFilename", "tarnel.EXE"},
    VersionString{"ProductName", "tarnel Application"},
    VersionString{"ProductVersion", TARNEL_VERSION_RECORD_TEXT},
};

// The project's version; a number past 65535 would not compile.
constexpr VersionRecord kVersion{
    {TARNEL_VERSION_MAJOR, TARNEL_VERSION_MINOR, TARNEL_VERSION_PATCH, TARNEL_VERSION_TWEAK},
    {TARNEL_VERSION_MAJOR, TARNEL_VERSION_MINOR, TARNEL_VERSION_PATCH, TARNEL_VERSION_TWEAK},
    VOS__WINDOWS32,
    VFT_APP,
    0x0409,
    1200,
    kVersionStrings,
};

const ResourceTable kResources{kDialogs, kStrings, kIcons, &kVersion};

}  // namespace

const ui::ResourceTable& AppResources() noexcept {
    return kResources;
}

}  // namespace tarnel::app
