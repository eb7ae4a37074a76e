// SPDX-License-Identifier: MIT
// The numbers of the program's resources and of the controls the dialogs address.
#pragma once

#include "tarnel/ui/types.h"

namespace tarnel::app {

inline constexpr int IDD_ABOUT = 100;
inline constexpr ui::UINT IDS_ABOUT_MENU = 101;
inline constexpr int IDD_MAIN = 102;
inline constexpr int IDI_MAIN = 128;
inline constexpr int IDC_PASSWORD = 1000;
inline constexpr int IDC_TEXT = 1001;

/// The system-menu command of the about entry. The platform keeps the low four
/// bits of a system command for itself, so they are zero.
inline constexpr ui::UINT IDM_ABOUT = 0x0010;

}  // namespace tarnel::app
