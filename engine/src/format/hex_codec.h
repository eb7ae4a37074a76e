// SPDX-License-Identifier: MIT
// Hex digits of the sealed-text body.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnel {

/// Writes 2 * size lowercase hex digits of `bytes` to `out`, high nibble first.
void hex_encode(const uint8_t* bytes, std::size_t size, char* out) noexcept;

/// The decoder's value of one character: c - 87 for 'a' to 'f', c - 48 for every
/// other character, taken mod 256. Nothing is rejected, so upper-case digits and
/// stray characters decode to something, as they always have.
uint8_t hex_digit_value(char c) noexcept;

/// Decodes pairs of characters of `hex` (length `chars`), skipping the six white
/// space characters, into at most `capacity` bytes of `out`; a last unpaired
/// character is ignored. Returns the number of bytes written. When `next` is given,
/// it receives where decoding stopped: decoding on from there with more capacity
/// gives what one call with all of it would have.
std::size_t hex_decode_skipping_space(const char* hex, std::size_t chars, uint8_t* out,
                                      std::size_t capacity, std::size_t* next = nullptr) noexcept;

/// Decodes `bytes` pairs from the 2 * bytes characters of `hex`, stopping before
/// the first pair that holds white space; returns the pairs decoded. Sets
/// `bad_digit` when a decoded character is not one of 0-9 and a-f.
std::size_t hex_decode_unbroken(const char* hex, std::size_t bytes, uint8_t* out,
                                bool& bad_digit) noexcept;

/// What a body's hex part holds, found in one pass.
struct HexScan {
    uint64_t spaces = 0;     ///< white space characters
    bool bad_digit = false;  ///< some other character is not one of 0-9 and a-f
};
HexScan scan_hex(const char* text, std::size_t size) noexcept;

}  // namespace tarnel
