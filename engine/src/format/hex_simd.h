// SPDX-License-Identifier: MIT
// Vector kernels of the hex codec. Each does the whole steps it can and returns how
// far it got; the portable code in hex_codec.cpp finishes the rest, so the kernels
// never see a partial step or a white-space character.
//
// Decoding keeps the decoder's digit rule for every byte: d(c) = c - 87 for 'a' to
// 'f' and c - 48 for any other byte, mod 256; a pair gives 16 d(high) + d(low).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnel {

/// Encodes whole steps of `bytes` into 2 digits a byte at `out`; returns the bytes done.
std::size_t ssse3_hex_encode(const uint8_t* bytes, std::size_t size, char* out) noexcept;
std::size_t avx2_hex_encode(const uint8_t* bytes, std::size_t size, char* out) noexcept;
std::size_t neon_hex_encode(const uint8_t* bytes, std::size_t size, char* out) noexcept;

/// Decodes pairs of `hex` into at most `max_bytes` bytes while each step's characters
/// hold no white space; returns the bytes written (twice as many characters read).
/// Sets `bad_digit` when a character it decoded is not one of 0-9 and a-f, and
/// leaves it as it was otherwise. `hex` must have at least 2 * max_bytes characters.
std::size_t ssse3_hex_decode(const char* hex, std::size_t max_bytes, uint8_t* out,
                             bool& bad_digit) noexcept;
std::size_t avx2_hex_decode(const char* hex, std::size_t max_bytes, uint8_t* out,
                            bool& bad_digit) noexcept;
std::size_t neon_hex_decode(const char* hex, std::size_t max_bytes, uint8_t* out,
                            bool& bad_digit) noexcept;

/// Adds the white space of whole steps of `text` to `scan` (see hex_codec.h);
/// returns the characters done.
struct HexScan;
std::size_t ssse3_scan_hex(const char* text, std::size_t size, HexScan& scan) noexcept;
std::size_t avx2_scan_hex(const char* text, std::size_t size, HexScan& scan) noexcept;
std::size_t neon_scan_hex(const char* text, std::size_t size, HexScan& scan) noexcept;

}  // namespace tarnel
