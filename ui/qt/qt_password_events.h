// SPDX-License-Identifier: MIT
// Keeps a password field's characters out of what the accessibility bridge tells
// other programs: Qt's line edit reports each typed or deleted character in its text
// change events, mask or no mask, and any client of the accessibility bus hears them.
#pragma once

namespace tarnel::ui::qt {

/// From now on, the text change events of a password field carry its mask
/// character, one for each character, as the field shows them. Idempotent.
void MaskPasswordTextEvents();

}  // namespace tarnel::ui::qt
