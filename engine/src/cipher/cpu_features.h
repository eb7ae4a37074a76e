// SPDX-License-Identifier: MIT
// What the processor running the engine offers, asked once.
#pragma once

#include <optional>

namespace tarnel {

struct CpuFeatures {
    // x86-64, from CPUID.
    bool ssse3 = false;
    bool aes = false;      ///< AES round instructions on 128 bits, with SSE4.1 beside them
    bool avx2 = false;     ///< 256-bit integer vectors, enabled by the operating system
    bool vaes = false;     ///< AES round instructions on 256-bit vectors, with AVX2
    bool vaes512 = false;  ///< the same on 512-bit vectors, with AVX-512 F and BW
    // 64-bit ARM, from the kernel's AT_HWCAP word (Linux only).
    bool neon = false;       ///< Advanced SIMD, 128-bit integer vectors
    bool armv8_aes = false;  ///< AESE/AESMC and AESD/AESIMC, with Advanced SIMD
};

/// The features of this processor. The x86-64 ones are all false on any other
/// processor, the ARM ones on anything but 64-bit ARM Linux.
const CpuFeatures& cpu_features() noexcept;

/// The AT_HWCAP bits that detection reads on 64-bit ARM Linux (the kernel's ABI).
inline constexpr unsigned long kHwcapAsimd = 1ul << 1;
inline constexpr unsigned long kHwcapAes = 1ul << 3;

/// For tests: detects again as if the kernel had reported `hwcap` as AT_HWCAP, or
/// with std::nullopt, from what it really reports. Only the ARM features follow
/// `hwcap`, and only where they are detected at all. Not to be called while a text
/// is being sealed or opened, nor while a cipher path or hex path is forced.
void redetect_cpu_features(std::optional<unsigned long> hwcap) noexcept;

}  // namespace tarnel
