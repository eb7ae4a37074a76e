// SPDX-License-Identifier: MIT
// Resources as data: dialog templates, strings, icon groups and the version record.
// A program describes its resources once, in these records, and hands the table to
// the layer with AfxSetResourceHandle(); every backend builds its windows from it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "tarnel/ui/types.h"

namespace tarnel::ui {

enum class ControlClass { Button, Edit, Static };

/// One control of a dialog template. Positions and sizes are in dialog units.
struct ControlTemplate {
    ControlClass control_class;
    int id;                 ///< -1 for a control that is never addressed
    std::string_view text;  ///< the caption; unused by an icon
    int x, y, cx, cy;
    std::uint32_t style;  ///< WS_CHILD | WS_VISIBLE and the further styles
    int icon = 0;         ///< SS_ICON: the icon group shown
};

/// A dialog template. Its controls are in template order, which is the tab order.
struct DialogTemplate {
    int id;
    bool extended;
    std::uint32_t style;
    std::uint32_t ex_style;
    int x, y, cx, cy;
    std::string_view title;
    std::string_view font_face;  ///< stands for the desktop's default UI font
    int font_points;
    std::span<const ControlTemplate> controls;
};

struct StringResource {
    UINT id;
    std::string_view text;
};

/// One image of an icon group, as PNG bytes.
struct IconImage {
    int width, height, bits_per_pixel;
    std::span<const unsigned char> png;
};

struct IconGroup {
    int id;
    std::span<const IconImage> images;  ///< the group proper, as the Windows resource holds it
    /// Every size a desktop may ask for (the group's images among them); a backend
    /// that scales icons itself offers these to the window system.
    std::span<const IconImage> desktop_images;
};

struct VersionString {
    std::string_view key, value;
};

inline constexpr std::uint32_t VOS__WINDOWS32 = 0x4;
inline constexpr std::uint32_t VFT_APP = 0x1;

struct VersionRecord {
    std::uint16_t file_version[4];
    std::uint16_t product_version[4];
    std::uint32_t file_os;
    std::uint32_t file_type;
    std::uint16_t language, code_page;
    std::span<const VersionString> strings;
};

struct ResourceTable {
    std::span<const DialogTemplate> dialogs;
    std::span<const StringResource> strings;
    std::span<const IconGroup> icons;
    const VersionRecord* version;
};

/// Makes `table` the program's resources. It must outlive every window.
void AfxSetResourceHandle(const ResourceTable* table) noexcept;
const ResourceTable* AfxGetResourceHandle() noexcept;

/// The template, icon group or string with this id, or null / FALSE when there is none.
const DialogTemplate* AfxFindDialogTemplate(int id) noexcept;
const IconGroup* AfxFindIconGroup(int id) noexcept;
/// Puts the string `id` into `text`; an absent string leaves it empty.
BOOL LoadString(CString& text, UINT id);

}  // namespace tarnel::ui
