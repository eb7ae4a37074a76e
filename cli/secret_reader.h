// SPDX-License-Identifier: MIT
// Reading texts and passwords whole into strings. A string that grows leaves its
// old buffer behind, so every buffer given up here is wiped first.
#pragma once

#include <string>

namespace tarnel::cli {

/// Replaces `out` with everything `fd` yields up to end of file. Returns 0, or the
/// errno of the read that failed (then `out` is wiped and empty). May throw
/// std::bad_alloc, with `out` wiped.
int read_all(int fd, std::string& out);

/// Replaces `line` with the bytes up to the first LF, less one CR before it; with
/// no LF, everything up to end of file. Reads no further than the LF, so the rest
/// of a pipe or terminal is left for others. Returns 0 or an errno, like read_all().
int read_first_line(int fd, std::string& line);

}  // namespace tarnel::cli
