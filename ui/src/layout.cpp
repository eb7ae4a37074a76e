// SPDX-License-Identifier: MIT
#include "tarnel/ui/layout.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace tarnel::ui {

int MulDiv(int value, int numerator, int denominator) noexcept {
    if (denominator == 0)
        return -1;
    const std::int64_t product = static_cast<std::int64_t>(value) * numerator;
    const std::int64_t half = denominator / 2;
    const std::int64_t rounded =
        (product >= 0) == (denominator > 0) ? product + half : product - half;
    return static_cast<int>(rounded / denominator);
}

DialogLayout LayoutDialog(const DialogTemplate& dialog, BaseUnits units, const MeasureText& measure,
                          int icon_size) {
    const auto px = [&](int dlu) { return MulDiv(dlu, units.char_width, 4); };
    const auto py = [&](int dlu) { return MulDiv(dlu, units.char_height, 8); };

    DialogLayout layout{px(dialog.cx), py(dialog.cy), {}};
    for (const ControlTemplate& control : dialog.controls) {
        PixelRect rect{px(control.x), py(control.y), px(control.cx), py(control.cy)};
        const bool icon =
            control.control_class == ControlClass::Static && (control.style & 0x1Fu) == SS_ICON;
        if (icon) {
            rect.width = icon_size;
            rect.height = icon_size;
        }
        layout.controls.push_back(rect);
    }

    // Labels from the top down, so that a label moved by one above it is measured
    // where it ends up.
    std::vector<std::size_t> order(dialog.controls.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return layout.controls[a].y < layout.controls[b].y;
    });
    for (std::size_t index : order) {
        const ControlTemplate& control = dialog.controls[index];
        if (control.control_class != ControlClass::Static || (control.style & 0x1Fu) == SS_ICON)
            continue;
        PixelRect& label = layout.controls[index];
        const int needed = measure(control.text, label.width);
        if (needed <= label.height)
            continue;
        const int grow = needed - label.height;
        const int old_bottom = label.bottom();
        label.height = needed;
        for (std::size_t other = 0; other < layout.controls.size(); ++other)
            if (other != index && layout.controls[other].y >= old_bottom)
                layout.controls[other].y += grow;
        layout.height += grow;
    }
    return layout;
}

}  // namespace tarnel::ui
