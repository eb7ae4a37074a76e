// SPDX-License-Identifier: MIT
#include "tarnel/text_key.h"

namespace tarnel {

void text_key_bytes(const TextKey& key, uint8_t bytes[32]) noexcept {
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j)
            bytes[4 * i + j] = uint8_t(key.words[i] >> (8 * j));
    }
}

}  // namespace tarnel
