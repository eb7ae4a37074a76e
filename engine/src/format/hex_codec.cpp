// SPDX-License-Identifier: MIT
#include "hex_codec.h"

#include <algorithm>
#include <array>

#include "hex_path.h"
#include "hex_simd.h"
#include "tarnel/sealed_format.h"

namespace tarnel {
namespace {

constexpr std::array<uint8_t, 256> make_digit_values() {
    std::array<uint8_t, 256> values{};
    for (int c = 0; c < 256; ++c)
        values[c] = uint8_t(c >= 'a' && c <= 'f' ? c - 87 : c - 48);
    return values;
}
constexpr std::array<uint8_t, 256> kDigitValues = make_digit_values();

constexpr std::array<char, 512> make_pairs() {
    constexpr char digits[] = "0123456789abcdef";
    std::array<char, 512> pairs{};
    for (int b = 0; b < 256; ++b) {
        pairs[2 * b] = digits[b >> 4];
        pairs[2 * b + 1] = digits[b & 15];
    }
    return pairs;
}
constexpr std::array<char, 512> kPairs = make_pairs();

inline bool is_lower_hex_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

inline uint8_t pair_value(char high, char low) {
    return uint8_t(16 * kDigitValues[uint8_t(high)] + kDigitValues[uint8_t(low)]);
}

using EncodeKernel = std::size_t (*)(const uint8_t*, std::size_t, char*) noexcept;
using DecodeKernel = std::size_t (*)(const char*, std::size_t, uint8_t*, bool&) noexcept;
using ScanKernel = std::size_t (*)(const char*, std::size_t, HexScan&) noexcept;

struct Kernels {
    EncodeKernel encode = nullptr;
    DecodeKernel decode = nullptr;
    ScanKernel scan = nullptr;
};

// The vector kernels of the path in use; none for the portable path, nor for a
// path this build has no kernels for (hex_path() never names one).
Kernels kernels() noexcept {
    switch (hex_path()) {
#if defined(__x86_64__)
        case HexPath::Avx2:
            return {avx2_hex_encode, avx2_hex_decode, avx2_scan_hex};
        case HexPath::Ssse3:
            return {ssse3_hex_encode, ssse3_hex_decode, ssse3_scan_hex};
#elif defined(__aarch64__)
        case HexPath::Neon:
            return {neon_hex_encode, neon_hex_decode, neon_scan_hex};
#endif
        default:
            return {};
    }
}

}  // namespace

void hex_encode(const uint8_t* bytes, std::size_t size, char* out) noexcept {
    std::size_t i = 0;
    if (const EncodeKernel kernel = kernels().encode)
        i = kernel(bytes, size, out);
    for (; i < size; ++i) {
        out[2 * i] = kPairs[2 * bytes[i]];
        out[2 * i + 1] = kPairs[2 * bytes[i] + 1];
    }
}

uint8_t hex_digit_value(char c) noexcept {
    return kDigitValues[uint8_t(c)];
}

std::size_t hex_decode_skipping_space(const char* hex, std::size_t chars, uint8_t* out,
                                      std::size_t capacity, std::size_t* next) noexcept {
    const DecodeKernel kernel = kernels().decode;
    std::size_t written = 0;
    std::size_t i = 0;
    // Unbroken runs, the whole body of any text that sealing made, go a vector step
    // at a time, or pair by pair; white space and the last few pairs take a pair step.
    while (written < capacity && i + 1 < chars) {
        if (kernel != nullptr) {
            const std::size_t pairs = std::min((chars - i) / 2, capacity - written);
            bool ignored = false;
            const std::size_t done = kernel(hex + i, pairs, out + written, ignored);
            written += done;
            i += 2 * done;
            if (written == capacity || i + 1 >= chars)
                break;
        }
        if (!is_format_space(hex[i]) && !is_format_space(hex[i + 1])) {
            out[written++] = pair_value(hex[i], hex[i + 1]);
            i += 2;
            continue;
        }
        // A line break or space inside: find the next two characters that count.
        while (i < chars && is_format_space(hex[i]))
            ++i;
        std::size_t j = i + 1;
        while (j < chars && is_format_space(hex[j]))
            ++j;
        if (j >= chars)
            break;
        out[written++] = pair_value(hex[i], hex[j]);
        i = j + 1;
    }
    if (next != nullptr)
        *next = i;
    return written;
}

std::size_t hex_decode_unbroken(const char* hex, std::size_t bytes, uint8_t* out,
                                bool& bad_digit) noexcept {
    std::size_t done = 0;
    if (const DecodeKernel kernel = kernels().decode)
        done = kernel(hex, bytes, out, bad_digit);
    for (; done < bytes; ++done) {
        const char high = hex[2 * done], low = hex[2 * done + 1];
        if (is_format_space(high) || is_format_space(low))
            break;
        bad_digit = bad_digit || !is_lower_hex_digit(high) || !is_lower_hex_digit(low);
        out[done] = pair_value(high, low);
    }
    return done;
}

HexScan scan_hex(const char* text, std::size_t size) noexcept {
    HexScan scan;
    std::size_t i = 0;
    if (const ScanKernel kernel = kernels().scan)
        i = kernel(text, size, scan);
    for (; i < size; ++i) {
        const char c = text[i];
        if (is_format_space(c))
            ++scan.spaces;
        else if (!is_lower_hex_digit(c))
            scan.bad_digit = true;
    }
    return scan;
}

}  // namespace tarnel
