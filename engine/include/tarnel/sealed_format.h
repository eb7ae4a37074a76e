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

/// `text` without white space at its start and end: the process's trimming of a
/// text taken as bytes.
std::string_view trim_text(std::string_view text) noexcept;

/// True when `trimmed` begins with "{{" and ends with "}}" and is at least four
/// characters long, so the two envelopes never overlap.
bool is_sealed_text(std::string_view trimmed) noexcept;

/// Tells, a piece at a time, whether a trimmed text begins like a sealed text
/// whose end is missing: "{{" and then only hex digits and white space, perhaps
/// ending in one "}", as a sealed text cut short is. Such a text has no envelope
/// and is sealed like any other; programs warn about it.
class CutShortWatch {
  public:
    /// The trimmed text's next bytes, in order.
    void feed(std::string_view piece) noexcept;
    /// Whether the text fed so far, taken as whole, looks cut short.
    bool cut_short() const noexcept { return m_seen >= kSealedOpen.size() && m_fits; }

  private:
    std::size_t m_seen = 0;
    bool m_fits = true;    ///< every byte so far fits a sealed text's start
    bool m_ended = false;  ///< a "}" came, which only the text's end may follow
};

/// Number of cipher blocks for a plain text of `plain_length` bytes: L div 32 + 1.
constexpr uint64_t sealed_block_count(uint64_t plain_length) noexcept {
    return plain_length / 32 + 1;
}

/// Length of the sealed text, envelope included: 64 N + 14.
constexpr uint64_t sealed_text_length(uint64_t plain_length) noexcept {
    return sealed_block_count(plain_length) * kHexPerBlock + kTrailerDigits + kSealedOpen.size() +
           kSealedClose.size();
}

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
/// True when a fully decrypted buffer of `total` bytes (all its blocks, before
/// cutting at the first zero byte) looks like one that sealing made: its first
/// zero byte, at `first_zero`, lies in the last 32-byte block, and only zero bytes
/// follow it. An empty buffer does not. The rule that judges an opened text.
constexpr bool looks_genuine(uint64_t total, uint64_t first_zero, bool only_zeros_after) noexcept {
    return total > 0 && total % 32 == 0 && first_zero < total && first_zero + 32 >= total &&
           only_zeros_after;
}
/// The same rule over the buffer itself.
bool looks_genuine(std::string_view decrypted) noexcept;

}  // namespace tarnel
