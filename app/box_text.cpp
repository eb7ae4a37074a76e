// SPDX-License-Identifier: MIT
#include "box_text.h"

#include <new>

#include "tarnel/codepage.h"
#include "tarnel/ui/allocation_point.h"

namespace tarnel::app {

std::string ToEngineBytes(std::string_view text) {
    ui::AllocationPoint();
    std::string bytes(text);
    // The same rule as for a typed password, and it never lengthens the text.
    convert_password_in_place(bytes);
    return bytes;
}

std::optional<std::string> FromEngineBytes(std::string_view bytes) noexcept {
    if (!is_valid_utf8(bytes))
        return windows1252_to_utf8(bytes);
    try {
        ui::AllocationPoint();
        return std::string(bytes);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

}  // namespace tarnel::app
