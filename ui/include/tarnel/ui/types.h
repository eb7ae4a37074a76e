// SPDX-License-Identifier: MIT
// The handful of types, constants and records that the dialogs and the windowing
// layer share. Values are those of the Windows API, so a Win32 backend passes them on
// as they are.
#pragma once

#include <cstdint>
#include <string>

namespace tarnel::ui {

using BOOL = int;
using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using SHORT = std::int16_t;
inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

/// A text in UTF-8. A multi-line edit control hands out its line breaks as its
/// platform has them ("\r\n" in a Windows edit control, "\n" in the Qt text box)
/// and takes any of CR LF, LF, CR, U+2028 and U+2029. Dialogs depend on neither.
using CString = std::string;

/// A window of the backend, opaque to everyone else; null addresses no window.
struct HWND__;
using HWND = HWND__*;
/// An icon of the backend, shared and never destroyed.
struct HICON__;
using HICON = HICON__*;
/// A menu of the platform, where the backend has one.
struct HMENU__;
using HMENU = HMENU__*;

struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

/// A keyboard message, as the modal loop hands it to PreTranslateMessage.
struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;  ///< the virtual-key code
    LPARAM lParam = 0;
};

// Messages.
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;

// Virtual keys.
inline constexpr UINT VK_TAB = 0x09;
inline constexpr UINT VK_RETURN = 0x0D;
inline constexpr UINT VK_SHIFT = 0x10;
inline constexpr UINT VK_CONTROL = 0x11;
inline constexpr UINT VK_MENU = 0x12;  ///< Alt
inline constexpr UINT VK_ESCAPE = 0x1B;
inline constexpr UINT VK_SPACE = 0x20;
inline constexpr UINT VK_APPS = 0x5D;  ///< the Menu key
inline constexpr UINT VK_F1 = 0x70;
inline constexpr UINT VK_F4 = 0x73;
inline constexpr UINT VK_LCONTROL = 0xA2;
inline constexpr UINT VK_RCONTROL = 0xA3;

// Dialog results and the ids of standard buttons.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Window styles.
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_CHILD = 0x40000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr std::uint32_t WS_BORDER = 0x00800000u;
inline constexpr std::uint32_t WS_VSCROLL = 0x00200000u;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000u;
inline constexpr std::uint32_t WS_GROUP = 0x00020000u;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000u;
inline constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000u;
inline constexpr std::uint32_t DS_SETFONT = 0x40u;
inline constexpr std::uint32_t DS_MODALFRAME = 0x80u;
inline constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x01u;
inline constexpr std::uint32_t ES_MULTILINE = 0x0004u;
inline constexpr std::uint32_t ES_PASSWORD = 0x0020u;
inline constexpr std::uint32_t ES_AUTOHSCROLL = 0x0080u;
inline constexpr std::uint32_t ES_WANTRETURN = 0x1000u;
inline constexpr std::uint32_t SS_LEFT = 0x00u;
inline constexpr std::uint32_t SS_ICON = 0x03u;
inline constexpr std::uint32_t SS_NOPREFIX = 0x80u;

// Menus and system commands.
inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_SEPARATOR = 0x0800;
inline constexpr UINT SC_CLOSE = 0xF060;

// Message boxes.
inline constexpr UINT MB_OK = 0x0000;
inline constexpr UINT MB_ICONEXCLAMATION = 0x0030;

// System metrics.
inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;

}  // namespace tarnel::ui
