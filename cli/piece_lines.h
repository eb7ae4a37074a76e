// SPDX-License-Identifier: MIT
// Line feeds in a text read in pieces, where a CR LF may be cut between two.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarnel::cli {

/// Calls line(k) for each LF of `piece` at k.
template <class F>
void for_each_lf(std::string_view piece, F line) {
    for (std::size_t k = piece.find('\n'); k != std::string_view::npos; k = piece.find('\n', k + 1))
        line(k);
}

/// LFs of `piece` not after a CR; `before` is the byte before the piece ('\0' at the start).
inline uint64_t count_bare_lfs(std::string_view piece, char before) {
    uint64_t bare = 0;
    for_each_lf(piece, [&](std::size_t k) { bare += (k == 0 ? before : piece[k - 1]) != '\r'; });
    return bare;
}

}  // namespace tarnel::cli
