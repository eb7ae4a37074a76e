// SPDX-License-Identifier: MIT
// The result written in pieces to the path given to `-o`: a regular file is
// replaced once complete (see replacement_file.h), anything else that may be
// written is written directly (see output_target.h).
#pragma once

#include <string>
#include <string_view>

#include "output.h"
#include "output_target.h"
#include "replacement_file.h"

namespace tarnel::cli {

/// begin, write any number of times, then commit, or abandon. After the first
/// failure, writes do nothing and commit reports that failure. Letting it go
/// without commit abandons it.
class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// Finds what `path` leads to and prepares to write `result` there.
    /// `temporary` chooses how a file's new content is built; Named is what file
    /// systems without unnamed files get, and is there to be tested.
    bool begin(const std::string& path, ResultText result,
               Temporary temporary = Temporary::Unnamed);
    void write(std::string_view piece) noexcept;
    WriteFailure commit();

    /// Stops without finishing: a file is left as it was, with no temporary file
    /// behind. What went out directly cannot be taken back: when this returns
    /// true, the reader got an incomplete result.
    bool abandon() noexcept;

    const WriteFailure& failure() const noexcept { return m_failure; }

    /// True when a regular file is being replaced: what was written so far is in
    /// a temporary file, and restart() can throw it away.
    bool replaces_file() const noexcept { return m_target.kind == OutputTarget::Kind::File; }
    /// True when the output is a terminal, whatever the path said (/dev/tty,
    /// /dev/stdout, /proc/self/fd/N, a link to one of them).
    bool is_terminal() const noexcept;
    /// Empties the temporary file and writes again from its start.
    bool restart() noexcept;

  private:
    int output_fd() const noexcept;
    int close_descriptor() noexcept;  ///< 0, or the errno of closing ours

    OutputTarget m_target;
    ReplacementFile m_replacement;
    bool m_wrote_directly = false;
    WriteFailure m_failure;
};

}  // namespace tarnel::cli
