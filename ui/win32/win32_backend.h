// SPDX-License-Identifier: MIT
// What the Win32 files of the layer share. Nothing outside ui/win32/ includes it.
//
// The layer's headers come first: windows.h defines TRUE, IDOK, WM_KEYDOWN and the
// like as macros, which would rewrite the layer's own constants of those names.
// The macros that rename functions the layer also has are undone below.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tarnel/ui/app.h"
#include "tarnel/ui/dialog.h"
#include "tarnel/ui/layout.h"
#include "tarnel/ui/resource.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef AppendMenu
#undef GetMenuString
#undef GetWindowText
#undef LoadIcon
#undef LoadString
#undef SetWindowText

namespace tarnel::ui::win32 {

inline ::HWND native(ui::HWND hwnd) {
    return reinterpret_cast<::HWND>(hwnd);
}

inline ui::HWND handle_of(::HWND hwnd) {
    return reinterpret_cast<ui::HWND>(hwnd);
}

std::wstring to_wide(std::string_view text);
std::string to_utf8(std::wstring_view text);

/// Every line break (a lone CR or LF, U+2028, U+2029) as CR LF: a multi-line edit
/// control breaks lines only at CR LF.
std::string with_crlf(std::string_view text);

/// The CDialog whose window `hwnd` is, or null.
CDialog* dialog_of(::HWND hwnd);

/// Hands a message to the dialog it is for as the modal loop does: the dialog's
/// PreTranslateMessage first, then the dialog manager, then the window itself.
void dispatch(::MSG& msg);

/// The module whose resources the windows use: the executable.
HINSTANCE resource_module();

/// Whether `hwnd` is an edit control, and a multi-line one.
bool is_edit(::HWND hwnd);
bool is_multiline_edit(::HWND hwnd);

}  // namespace tarnel::ui::win32

struct tarnel::ui::CDialog::Window {
    ::HWND hwnd = nullptr;
    std::vector<unsigned char> dialog_template;  ///< the bytes the window was made from
    std::vector<::HWND> controls;                ///< in template order
    bool modal = false;
    bool ended = false;
    BOOL default_focus = TRUE;  ///< what OnInitDialog returned

    /// The dialog procedure of every CDialog: the message map in handler calls.
    static INT_PTR CALLBACK procedure(::HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
};
