// SPDX-License-Identifier: MIT
// Reading passwords into strings. A string that grows leaves its
// old buffer behind, so every buffer given up here is wiped first.
#pragma once

#include <string>

namespace tarnel::cli {

/// What read_first_line() returns, beside an errno, for a line longer than its limit.
inline constexpr int kLineTooLong = -1;

/// Replaces `line` with the bytes up to the first LF, less one CR before it; with
/// no LF, everything up to end of file. Reads no further than the LF, so the rest
/// of a pipe or terminal is left for others, nor further than `max_length` bytes
/// and a CR LF: a longer line gives kLineTooLong at once. Returns 0, an errno or
/// kLineTooLong; unless 0, `line` is wiped and empty.
int read_first_line(int fd, std::string& line, std::size_t max_length);

}  // namespace tarnel::cli
