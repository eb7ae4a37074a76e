// SPDX-License-Identifier: MIT
// What the sealer and the opener share: the key's bytes and the chunk size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "parallel_runner.h"
#include "tarnel/secure_wipe.h"
#include "tarnel/text_key.h"

namespace tarnel {

// Blocks pass through chunks of this many on their way into or out of hex: small
// enough for the first-level cache and a thread's stack, and one unit buffer of hex.
inline constexpr std::size_t kChunkBlocks = kUnitBufferBytes / 64;

// The key's 32 bytes, wiped when they go.
struct KeyBytes {
    explicit KeyBytes(const TextKey& key) noexcept { text_key_bytes(key, bytes); }
    ~KeyBytes() { secure_wipe(bytes, sizeof bytes); }
    KeyBytes(const KeyBytes&) = delete;
    KeyBytes& operator=(const KeyBytes&) = delete;
    uint8_t bytes[32];
};

}  // namespace tarnel
