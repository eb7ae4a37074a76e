// SPDX-License-Identifier: MIT
#include "crc_key.h"

#include <zlib.h>

namespace tarnel {

TextKey derive_text_key(std::string_view password) noexcept {
    TextKey key{};
    if (password.empty())
        return key;
    uLong crc = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const Bytef byte = static_cast<Bytef>(password[i % password.size()]);
        crc = crc32(crc, &byte, 1);
        key.words[i] = static_cast<uint32_t>(crc);
    }
    return key;
}

}  // namespace tarnel
