// SPDX-License-Identifier: MIT
// CRC-32 (the polynomial of zlib, PNG and Ethernet) for builds without zlib, such
// as WebAssembly. Where zlib is present the engine takes its crc32(); the tests
// hold this one equal to it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnel {

/// The CRC-32 of the bytes before `data` (given as `crc`, 0 at the start)
/// continued over `size` bytes at `data`, as zlib's crc32(crc, data, size).
uint32_t crc32_update(uint32_t crc, const unsigned char* data, std::size_t size) noexcept;

}  // namespace tarnel
