// SPDX-License-Identifier: MIT
// Where a text's line breaks and non-ASCII bytes lie, 64 bytes at a time, on the
// vector units every 64-bit processor has (SSE2, Advanced SIMD). The text rule
// takes whole blocks of ASCII from these marks and leaves the rest, a character at
// a time, to its scans; both ways give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnel {

/// Bit i stands for byte i of a block of 64.
struct LineMarks {
    uint64_t high;  ///< bytes of 0x80 or more
    uint64_t cr;
    uint64_t lf;
};

/// Marks `blocks` whole blocks from `p` into `out`.
void mark_blocks(const unsigned char* p, std::size_t blocks, LineMarks* out) noexcept;

enum class TextScanPath {
    Portable,  ///< every byte through the scans
    Blocks,    ///< ASCII a block of 64 at a time, from mark_blocks
};

/// Blocks where this processor has the vector units (all but WebAssembly here);
/// tests force either to compare them.
TextScanPath text_scan_path() noexcept;
/// For tests and benchmarks: false, changing nothing, where `path` is not built.
bool set_text_scan_path(TextScanPath path) noexcept;
void reset_text_scan_path() noexcept;

}  // namespace tarnel
