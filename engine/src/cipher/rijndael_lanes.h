// SPDX-License-Identifier: MIT
// The byte moves that turn AES rounds on two 128-bit halves into Rijndael-256
// rounds, shared by the 128- and 256-bit kernels.
//
// Derivation, for half h (columns 4h to 4h + 3) and row r: Rijndael-256 wants
// out[r][c] = in[r][(c + C_r) mod 8] with C = 0, 1, 3, 4, and the AES row shift
// gives out[r][4h + j] = P[r][4h + (j + r) mod 4]. Solving for P shows which bytes
// come from the other half (the blend mask) and then where each byte goes inside
// the half (the shuffle, the same for both halves). Decryption solves the same
// with the shifts negated. Byte 4c + r of a half is row r of column c.
#pragma once

#include <cstdint>

namespace tarnel::lanes {

// 0xff: take this byte from the other half.
inline constexpr uint8_t kEncryptBlend[16] = {0, 0xff, 0xff, 0xff, 0, 0, 0xff, 0xff,
                                              0, 0,    0xff, 0xff, 0, 0, 0,    0xff};
inline constexpr uint8_t kEncryptShuffle[16] = {0, 1, 6,  7,  4,  5,  10, 11,
                                                8, 9, 14, 15, 12, 13, 2,  3};

inline constexpr uint8_t kDecryptBlend[16] = {0, 0, 0,    0xff, 0, 0,    0xff, 0xff,
                                              0, 0, 0xff, 0xff, 0, 0xff, 0xff, 0xff};
inline constexpr uint8_t kDecryptShuffle[16] = {0, 1, 14, 15, 4,  5,  2,  3,
                                                8, 9, 6,  7,  12, 13, 10, 11};

}  // namespace tarnel::lanes
