// SPDX-License-Identifier: MIT
// Reading texts and passwords whole into strings. A string that grows leaves its
// old buffer behind, so every buffer given up here is wiped first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnel::cli {

/// Looks at each run of bytes as read_all() takes them in, and may stop the read.
class ReadWatcher {
  public:
    /// `more` was just appended to the text; false stops reading at once.
    virtual bool keep_reading(std::string_view more) = 0;

  protected:
    ~ReadWatcher() = default;
};

/// How read_all() ended.
struct ReadEnd {
    int error = 0;           ///< the errno of the read that failed, or 0
    bool stopped = false;    ///< the watcher stopped it
    bool too_large = false;  ///< more than `limit` bytes came
    bool done() const noexcept { return error == 0 && !stopped && !too_large; }
};

/// Replaces `out` with everything `fd` yields up to end of file, reading no more
/// than `limit` bytes and one beyond, which tells that there are more. Unless it is
/// done(), `out` is wiped and empty. May throw std::bad_alloc, with `out` wiped.
ReadEnd read_all(int fd, std::string& out, uint64_t limit, ReadWatcher& watcher);

/// What read_first_line() returns, beside an errno, for a line longer than its limit.
inline constexpr int kLineTooLong = -1;

/// Replaces `line` with the bytes up to the first LF, less one CR before it; with
/// no LF, everything up to end of file. Reads no further than the LF, so the rest
/// of a pipe or terminal is left for others, nor further than `max_length` bytes
/// and a CR LF: a longer line gives kLineTooLong at once. Returns 0, an errno or
/// kLineTooLong; unless 0, `line` is wiped and empty.
int read_first_line(int fd, std::string& line, std::size_t max_length);

}  // namespace tarnel::cli
