// SPDX-License-Identifier: MIT
// The numbers of the program's resources and of the controls the dialogs address.
// windows/tarnel.rc takes them from here too: the resource compiler reads only the
// preprocessor, so each number is a macro, and C++ sees it as a typed constant.
#pragma once

#define TARNEL_IDD_ABOUT 100
#define TARNEL_IDS_ABOUT_MENU 101
#define TARNEL_IDD_MAIN 102
#define TARNEL_IDI_MAIN 128
#define TARNEL_IDC_PASSWORD 1000
#define TARNEL_IDC_TEXT 1001

#ifndef RC_INVOKED

#include "tarnel/ui/types.h"

namespace tarnel::app {

inline constexpr int IDD_ABOUT = TARNEL_IDD_ABOUT;
inline constexpr ui::UINT IDS_ABOUT_MENU = TARNEL_IDS_ABOUT_MENU;
inline constexpr int IDD_MAIN = TARNEL_IDD_MAIN;
inline constexpr int IDI_MAIN = TARNEL_IDI_MAIN;
inline constexpr int IDC_PASSWORD = TARNEL_IDC_PASSWORD;
inline constexpr int IDC_TEXT = TARNEL_IDC_TEXT;

/// The system-menu command of the about entry. The platform keeps the low four
/// bits of a system command for itself, so they are zero.
inline constexpr ui::UINT IDM_ABOUT = 0x0010;

}  // namespace tarnel::app

#endif
