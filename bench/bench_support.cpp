// SPDX-License-Identifier: MIT
#include "bench_support.h"

#include <random>

namespace tarnel::bench {

const std::string& printable_bytes() {
    static const std::string bytes = [] {
        std::mt19937 rng(1);
        std::uniform_int_distribution<int> printable('!', '~');
        std::string text(kLargest, '\0');
        for (auto& c : text)
            c = static_cast<char>(printable(rng));
        return text;
    }();
    return bytes;
}

const uint8_t* bench_key() {
    static const uint8_t key[32] = {0x60, 0x3d, 0xeb, 0x10, 0x15, 0xca, 0x71, 0xbe,
                                    0x2b, 0x73, 0xae, 0xf0, 0x85, 0x7d, 0x77, 0x81,
                                    0x1f, 0x35, 0x2c, 0x07, 0x3b, 0x61, 0x08, 0xd7,
                                    0x2d, 0x98, 0x10, 0xa3, 0x09, 0x14, 0xdf, 0xf4};
    return key;
}

std::string size_name(std::size_t size) {
    return size >= kMiB ? std::to_string(size / kMiB) + "MiB" : std::to_string(size / kKiB) + "KiB";
}

}  // namespace tarnel::bench
