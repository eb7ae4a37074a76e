// SPDX-License-Identifier: MIT
// Reading a body (a sealed text without its envelope) as the decoder does: where
// its hex part ends, its trailer, the blocks it holds and what it got wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tarnel/sealed_format.h"

namespace tarnel {

/// What the decoder makes of a body (a sealed text without its envelope) once
/// white space is dropped: the last ten characters are the trailer, the rest the
/// hex part.
struct BodyLayout {
    std::size_t hex_end = 0;      ///< the hex part is body[0, hex_end), white space included
    uint64_t hex_chars = 0;       ///< H: characters before the trailer
    uint32_t trailer_value = 0;   ///< the trailer read as a decimal number mod 2^32
    uint32_t trailer_blocks = 0;  ///< N: the complement of trailer_value
    uint64_t blocks = 0;          ///< min(N, P), P = blocks the complete hex pairs reach
};
BodyLayout analyse_body(std::string_view body) noexcept;

/// The ways `body` differs from one that sealing produces.
BodyDamage inspect_body(std::string_view body) noexcept;

/// analyse_body and inspect_body together, in one pass over the hex part.
BodyLayout analyse_body(std::string_view body, BodyDamage& damage) noexcept;

/// For a body read in pieces, as tarnel-cli reads a large file.
///
/// `end` is the body's last characters, holding at least its last ten that are not
/// white space (or the whole body when it has fewer), and `end_offset` is where
/// `end` starts in the body. body_hex_end() tells where the hex part ends;
/// count_hex_part() over the pieces of body[0, hex_end) adds up to the `count`
/// that analyse_body_end() takes to give what analyse_body(body, damage) would.
struct HexPartCount {
    uint64_t spaces = 0;  ///< white space characters
    bool stray = false;   ///< some other character is not one of 0-9 and a-f

    HexPartCount& operator+=(const HexPartCount& more) noexcept {
        spaces += more.spaces;
        stray = stray || more.stray;
        return *this;
    }
};
HexPartCount count_hex_part(std::string_view piece) noexcept;
std::size_t body_hex_end(std::string_view end, std::size_t end_offset) noexcept;
BodyLayout analyse_body_end(std::string_view end, std::size_t end_offset, const HexPartCount& count,
                            BodyDamage& damage) noexcept;

}  // namespace tarnel
