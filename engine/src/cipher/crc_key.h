// SPDX-License-Identifier: MIT
// Key derivation: eight running CRC-32 values over the password's first eight bytes.
#pragma once

#include <string_view>

#include "tarnel/text_key.h"

namespace tarnel {

/// `password` must not be empty. Byte i of the stream is password[i mod n], so only
/// eight bytes count and a shorter password is repeated; Ki is the CRC-32 of the
/// stream's first i + 1 bytes.
TextKey derive_text_key(std::string_view password) noexcept;

}  // namespace tarnel
