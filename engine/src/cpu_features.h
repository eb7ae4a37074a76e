// SPDX-License-Identifier: MIT
// What the processor running the engine offers, asked once.
#pragma once

namespace tarnel {

struct CpuFeatures {
    bool ssse3 = false;
    bool aes = false;      ///< AES round instructions on 128 bits, with SSE4.1 beside them
    bool avx2 = false;     ///< 256-bit integer vectors, enabled by the operating system
    bool vaes = false;     ///< AES round instructions on 256-bit vectors, with AVX2
    bool vaes512 = false;  ///< the same on 512-bit vectors, with AVX-512 F and BW
};

/// The features of this processor. Always all false on a processor that is not x86-64.
const CpuFeatures& cpu_features() noexcept;

}  // namespace tarnel
