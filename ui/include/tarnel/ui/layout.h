// SPDX-License-Identifier: MIT
// Dialog units to pixels, with labels that grow until their text fits.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "tarnel/ui/resource.h"

namespace tarnel::ui {

/// The metrics of a dialog's font: the average width of a character and its height,
/// in pixels. A horizontal dialog unit is a quarter of the first, a vertical one an
/// eighth of the second.
struct BaseUnits {
    int char_width;
    int char_height;
};

struct PixelRect {
    int x, y, width, height;
    int bottom() const { return y + height; }
};

struct DialogLayout {
    int width, height;                ///< the client area
    std::vector<PixelRect> controls;  ///< in template order
};

/// The height in pixels that `text` needs when it wraps at `width` pixels.
using MeasureText = std::function<int(std::string_view text, int width)>;

/// Rounds as the Windows MulDiv does: (value * numerator) / denominator, to nearest.
int MulDiv(int value, int numerator, int denominator) noexcept;

/// Places the controls of `dialog` in pixels. A static text whose text needs more
/// height than its rectangle grows downward; every control that starts at or below
/// the label's old bottom edge, and the dialog, grow and move down with it, so no
/// text is clipped. Icons keep the size the layer gives them: `icon_size` pixels.
DialogLayout LayoutDialog(const DialogTemplate& dialog, BaseUnits units, const MeasureText& measure,
                          int icon_size);

}  // namespace tarnel::ui
