// SPDX-License-Identifier: MIT
// The 32-byte cipher key derived from a password.
#pragma once

#include <cstdint>

namespace tarnel {

/// Eight 32-bit words K0..K7. The cipher takes them as their little-endian memory
/// image: key bytes 4i..4i+3 are Ki, least significant byte first.
struct TextKey {
    uint32_t words[8];
};

/// Writes the 32 key bytes of `key` to `bytes`, whatever the host's byte order.
void text_key_bytes(const TextKey& key, uint8_t bytes[32]) noexcept;

}  // namespace tarnel
