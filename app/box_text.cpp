// SPDX-License-Identifier: MIT
#include "box_text.h"

#include "tarnel/codepage.h"

namespace tarnel::app {

std::string ToEngineBytes(std::string_view text) {
    std::string bytes(text);
    // The same rule as for a typed password, and it never lengthens the text.
    convert_password_in_place(bytes);
    return bytes;
}

std::optional<std::string> FromEngineBytes(std::string_view bytes) {
    if (is_valid_utf8(bytes))
        return std::string(bytes);
    return windows1252_to_utf8(bytes);
}

}  // namespace tarnel::app
