// SPDX-License-Identifier: MIT
// The sealed-text format: "{{", lowercase hex of the cipher blocks, ten decimal
// digits of the complemented block count, "}}". See docs/format.md.
//
// These helpers judge texts; they never decrypt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarnel {

inline constexpr std::string_view kSealedOpen = "{{";
inline constexpr std::string_view kSealedClose = "}}";
inline constexpr std::size_t kTrailerDigits = 10;
inline constexpr std::size_t kHexPerBlock = 64;

/// Longest plain text whose block count the ten-digit trailer can hold, in bytes:
/// L div 32 + 1 <= 2^32 - 1.
inline constexpr uint64_t kMaxPlainLength = 32ull * 0xFFFFFFFFull - 1;

/// The six characters that trimming removes and that the decoder skips:
/// space, TAB, LF, VT, FF, CR.
constexpr bool is_format_space(char c) noexcept {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

/// `text` without white space at its start and end.
std::string_view trim_text(std::string_view text) noexcept;

/// True when `trimmed` begins with "{{" and ends with "}}" and is at least four
/// characters long, so the two envelopes never overlap.
bool is_sealed_text(std::string_view trimmed) noexcept;

/// Number of cipher blocks for a plain text of `plain_length` bytes: L div 32 + 1.
constexpr uint64_t sealed_block_count(uint64_t plain_length) noexcept {
    return plain_length / 32 + 1;
}

/// Length of the sealed text, envelope included: 64 N + 14.
constexpr uint64_t sealed_text_length(uint64_t plain_length) noexcept {
    return sealed_block_count(plain_length) * kHexPerBlock + kTrailerDigits + kSealedOpen.size() +
           kSealedClose.size();
}

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

/// Ways a body differs from one that sealing produces, judged after white space
/// is dropped (so a text wrapped by a mail program shows none).
struct BodyDamage {
    bool partial_block = false;   ///< H is not a multiple of 64
    bool bad_digits = false;      ///< a hex character outside 0-9 and a-f
    bool bad_trailer = false;     ///< the trailer is not exactly ten decimal digits
    bool count_mismatch = false;  ///< the trailer's block count is not H / 64

    bool any() const noexcept {
        return partial_block || bad_digits || bad_trailer || count_mismatch;
    }
};
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

/// True when a fully decrypted buffer (all its blocks, before cutting at the first
/// zero byte) looks like one that sealing made: its first zero byte lies in the
/// last 32-byte block and only zero bytes follow it. An empty buffer does not.
bool looks_genuine(std::string_view decrypted) noexcept;

}  // namespace tarnel
