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

/// The trailer: a body's last ten characters that are not white space (or all of
/// them, when fewer). Found by feeding the body's pieces backwards, the last first,
/// so a large body read in pieces need not be read forwards to find its end.
class Trailer {
  public:
    /// The piece of the body just before the pieces fed so far, lying at `at` in
    /// the body. True once the ten characters are found.
    bool feed_back(std::string_view piece, uint64_t at) noexcept;

    bool complete() const noexcept { return m_size == kTrailerDigits; }
    std::string_view chars() const noexcept { return {m_chars + kTrailerDigits - m_size, m_size}; }
    /// Where the hex part ends in the body: at the trailer when it is complete,
    /// else at once (a body of fewer than ten characters is all trailer).
    uint64_t hex_end() const noexcept { return complete() ? m_start : 0; }

  private:
    char m_chars[kTrailerDigits] = {};
    std::size_t m_size = 0;
    uint64_t m_start = 0;
};
Trailer find_trailer(std::string_view body) noexcept;

/// What the decoder's pass over the hex part, body[0, trailer.hex_end()), finds;
/// the counts of its pieces add up to the whole's.
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

/// The layout and damage from the trailer and the hex part's count: what
/// analyse_body(body, damage) gives, for a body read in pieces. A pass that takes
/// the hex part to hold no white space judges it with an empty count first.
BodyLayout analyse_body_end(const Trailer& trailer, const HexPartCount& count,
                            BodyDamage& damage) noexcept;

}  // namespace tarnel
