// SPDX-License-Identifier: MIT
// What the fuzz targets share: the input layout and the bounds a body's size sets.
//
// Layout: the first byte is the password length (mod 32), then the password, then
// the text. Keeping the password short leaves most of the input for the text,
// where the interesting structure is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace tarnel::fuzz {

struct FuzzInput {
    std::string_view password;
    std::string_view text;
};

inline FuzzInput split_input(const uint8_t* data, std::size_t size) {
    if (size == 0) {
        return {};
    }
    const char* chars = reinterpret_cast<const char*>(data);
    const std::size_t wanted = data[0] % 32;
    const std::size_t password_length = wanted < size - 1 ? wanted : size - 1;
    return {std::string_view(chars + 1, password_length),
            std::string_view(chars + 1 + password_length, size - 1 - password_length)};
}

inline bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

/// Most blocks a body can decode to: the characters left after dropping white
/// space, less the ten of the trailer, make H hex characters; their complete
/// pairs are bytes, and a started block counts.
inline uint64_t max_blocks_for_body(std::string_view body) {
    uint64_t kept = 0;
    for (const char c : body) {
        kept += is_space(c) ? 0 : 1;
    }
    const uint64_t hex_chars = kept > 10 ? kept - 10 : 0;
    return (hex_chars / 2 + 31) / 32;
}

/// `text` up to its first zero byte: what opening gives back of a plain text.
inline std::string_view up_to_zero(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

/// Stops the run loudly; the fuzzer keeps the input that got here.
[[noreturn]] inline void fail() {
    __builtin_trap();
}

inline void require(bool condition) {
    if (!condition) {
        fail();
    }
}

}  // namespace tarnel::fuzz
