// SPDX-License-Identifier: MIT
// Which implementation of the hex codec the engine runs. Every path gives the same
// characters and bytes; the portable one is the reference and runs everywhere.
#pragma once

namespace tarnel {

enum class HexPath {
    Portable,  ///< a character pair at a time
    Ssse3,     ///< 16 bytes (32 digits) a step
    Avx2,      ///< 32 bytes (64 digits) a step
    Neon,      ///< 16 bytes (32 digits) a step, on 64-bit ARM
};

/// Every path, for tests and benchmarks that run each one the processor has.
inline constexpr HexPath kHexPaths[] = {HexPath::Portable, HexPath::Ssse3, HexPath::Avx2,
                                        HexPath::Neon};

/// True when this processor can run `path`. Portable always can.
bool hex_path_available(HexPath path) noexcept;

/// The path in use: the one forced by set_hex_path, otherwise the fastest available.
HexPath hex_path() noexcept;

/// For tests and benchmarks: forces `path`. Returns false, and changes nothing,
/// when the processor lacks it. The shipped programs take the automatic choice.
bool set_hex_path(HexPath path) noexcept;

/// Back to the automatic choice.
void reset_hex_path() noexcept;

/// "portable", "ssse3", "avx2" or "neon".
const char* hex_path_name(HexPath path) noexcept;

}  // namespace tarnel
