// SPDX-License-Identifier: MIT
#include "crc_key.h"

#ifdef TARNEL_OWN_CRC32
#include "crc32.h"
#else
#include <zlib.h>
#endif

namespace tarnel {
namespace {

uint32_t crc32_of_one_more(uint32_t crc, unsigned char byte) noexcept {
#ifdef TARNEL_OWN_CRC32
    return crc32_update(crc, &byte, 1);
#else
    const Bytef zlib_byte = byte;
    return static_cast<uint32_t>(crc32(crc, &zlib_byte, 1));
#endif
}

}  // namespace

TextKey derive_text_key(std::string_view password) noexcept {
    TextKey key{};
    if (password.empty())
        return key;
    uint32_t crc = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        crc = crc32_of_one_more(crc, static_cast<unsigned char>(password[i % password.size()]));
        key.words[i] = crc;
    }
    return key;
}

}  // namespace tarnel
