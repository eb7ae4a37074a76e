// SPDX-License-Identifier: MIT
#include "crc32.h"

#include <array>

namespace tarnel {
namespace {

// The reflected polynomial 0xEDB88320: entry n is the CRC of the byte n alone,
// before the final complement.
constexpr std::array<uint32_t, 256> make_table() noexcept {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kTable = make_table();

}  // namespace

uint32_t crc32_update(uint32_t crc, const unsigned char* data, std::size_t size) noexcept {
    uint32_t c = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        c = kTable[(c ^ data[i]) & 0xFFu] ^ (c >> 8);
    return ~c;
}

}  // namespace tarnel
