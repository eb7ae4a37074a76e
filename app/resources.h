// SPDX-License-Identifier: MIT
// The program's resources as data: one source for every backend.
#pragma once

#include "tarnel/ui/resource.h"

namespace tarnel::app {

/// The dialog templates, the string table, the icon group and the version record.
const ui::ResourceTable& AppResources() noexcept;

/// The instruction above the text box, as the main dialog shows it.
inline constexpr std::string_view kInstruction =
    "Paste the text to encrypt or decrypt in this text box. Then press the \"Process\" button.";

}  // namespace tarnel::app
