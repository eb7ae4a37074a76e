// SPDX-License-Identifier: MIT
// A dialog template of the resources as the bytes the Win32 dialog manager reads:
// an extended template (DLGTEMPLATEEX) or a classic one (DLGTEMPLATE), as the
// record says. Needs no Windows header, so tests can read the bytes back.
#pragma once

#include <vector>

#include "tarnel/ui/resource.h"

namespace tarnel::ui::win32 {

/// The template's bytes, to be kept DWORD-aligned in memory (a std::vector's
/// storage is). Texts become UTF-16; an icon's text is the ordinal of its group;
/// the font is written as the template names it, at normal weight, not italic,
/// in the default character set.
std::vector<unsigned char> BuildDialogTemplate(const DialogTemplate& dialog);

}  // namespace tarnel::ui::win32
