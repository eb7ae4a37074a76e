// SPDX-License-Identifier: MIT
#include "tarnel/sealed_format.h"

#include <algorithm>
#include <mutex>

#include "body_layout.h"
#include "hex_codec.h"
#include "parallel_runner.h"

namespace tarnel {
namespace {

// The trailer read as the C library reads an unsigned decimal number, wrapping
// mod 2^32: an optional sign, digits up to the first non-digit, no digits give 0.
uint32_t read_trailer(const Trailer& trailer) {
    const std::string_view chars = trailer.chars();
    std::size_t k = 0;
    bool negative = false;
    if (k < chars.size() && (chars[k] == '+' || chars[k] == '-')) {
        negative = chars[k] == '-';
        ++k;
    }
    uint32_t value = 0;
    for (; k < chars.size() && chars[k] >= '0' && chars[k] <= '9'; ++k)
        value = value * 10u + uint32_t(chars[k] - '0');
    return negative ? 0u - value : value;
}

// A large hex part is scanned in parts on several threads, like the blocks it
// holds; memory bandwidth is what bounds a scan.
HexScan scan_in_parts(const char* text, std::size_t size) {
    std::mutex mutex;
    HexScan total;
    auto scan_part = [&](std::size_t first, std::size_t count) noexcept {
        const HexScan part = scan_hex(text + kHexPerBlock * first, kHexPerBlock * count);
        const std::lock_guard<std::mutex> lock(mutex);
        total.spaces += part.spaces;
        total.bad_digit = total.bad_digit || part.bad_digit;
    };
    const std::size_t units = size / kHexPerBlock;
    for_each_part(units, scan_part);
    const HexScan rest = scan_hex(text + kHexPerBlock * units, size - kHexPerBlock * units);
    total.spaces += rest.spaces;
    total.bad_digit = total.bad_digit || rest.bad_digit;
    return total;
}

// The layout, given where the hex part ends and how much white space it holds.
BodyLayout layout_of(const Trailer& trailer, uint64_t spaces) {
    BodyLayout layout;
    layout.hex_end = std::size_t(trailer.hex_end());
    layout.hex_chars = layout.hex_end - spaces;
    layout.trailer_value = read_trailer(trailer);
    layout.trailer_blocks = ~layout.trailer_value;
    // Blocks that the complete hex pairs reach: a forged count cannot ask for more.
    const uint64_t reachable = (layout.hex_chars / 2 + 31) / 32;
    layout.blocks = layout.trailer_blocks < reachable ? layout.trailer_blocks : reachable;
    return layout;
}

BodyDamage damage_of(const BodyLayout& layout, const Trailer& trailer, bool bad_digit) {
    BodyDamage damage;
    damage.partial_block = layout.hex_chars % kHexPerBlock != 0;
    damage.bad_digits = bad_digit;
    damage.bad_trailer = !trailer.complete();
    for (const char c : trailer.chars())
        damage.bad_trailer = damage.bad_trailer || c < '0' || c > '9';
    damage.count_mismatch = layout.hex_chars != uint64_t(layout.trailer_blocks) * kHexPerBlock;
    return damage;
}

}  // namespace

bool is_sealed_text(std::string_view trimmed) noexcept {
    return trimmed.size() >= kSealedOpen.size() + kSealedClose.size() &&
           trimmed.starts_with(kSealedOpen) && trimmed.ends_with(kSealedClose);
}

void CutShortWatch::feed(std::string_view piece) noexcept {
    for (std::size_t k = 0; k < piece.size() && m_fits; ++k, ++m_seen) {
        const char c = piece[k];
        if (m_seen < kSealedOpen.size())
            m_fits = c == kSealedOpen[m_seen];
        else if (m_ended)
            m_fits = false;  // with "}}" it is sealed, not cut short
        else if (c == '}')
            m_ended = true;
        else
            m_fits = is_format_space(c) || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    }
}

BodyLayout analyse_body(std::string_view body) noexcept {
    BodyDamage damage;
    return analyse_body(body, damage);
}

bool Trailer::feed_back(std::string_view piece, uint64_t at) noexcept {
    for (std::size_t k = piece.size(); k > 0 && !complete(); --k) {
        if (!is_format_space(piece[k - 1])) {
            m_chars[kTrailerDigits - ++m_size] = piece[k - 1];
            m_start = at + k - 1;
        }
    }
    return complete();
}

Trailer find_trailer(std::string_view body) noexcept {
    Trailer trailer;
    trailer.feed_back(body, 0);
    return trailer;
}

BodyLayout analyse_body(std::string_view body, BodyDamage& damage) noexcept {
    const Trailer trailer = find_trailer(body);
    return analyse_body_end(trailer, count_hex_part(body.substr(0, trailer.hex_end())), damage);
}

HexPartCount count_hex_part(std::string_view piece) noexcept {
    const HexScan scan = scan_in_parts(piece.data(), piece.size());
    return {scan.spaces, scan.bad_digit};
}

BodyLayout analyse_body_end(const Trailer& trailer, const HexPartCount& count,
                            BodyDamage& damage) noexcept {
    const BodyLayout layout = layout_of(trailer, count.spaces);
    damage = damage_of(layout, trailer, count.stray);
    return layout;
}

BodyDamage inspect_body(std::string_view body) noexcept {
    BodyDamage damage;
    analyse_body(body, damage);
    return damage;
}

bool looks_genuine(std::string_view decrypted) noexcept {
    const std::size_t first_zero = std::min(decrypted.find('\0'), decrypted.size());
    const bool only_zeros = decrypted.find_first_not_of('\0', first_zero) == std::string_view::npos;
    return looks_genuine(decrypted.size(), first_zero, only_zeros);
}

}  // namespace tarnel
