// SPDX-License-Identifier: MIT
// Writing the result: whole writes to a descriptor, and standard output or the
// path given to `-o`. A regular file there is replaced only once the new content
// is on disk: it is built in a temporary file beside it, which no failure or
// caught signal leaves behind. output.cpp holds what the systems share;
// output_posix.cpp and windows_platform.cpp find the target, make the temporary
// file and put it in place.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tarnel::cli {

/// Writes all of `piece`, retrying short writes and EINTR. Returns 0, or the
/// errno of the write that failed.
int write_all(int fd, std::string_view piece) noexcept;

/// Why writing failed or was refused, for the message: the step, the path, and
/// the errno's text or the reason.
struct WriteFailure {
    int error = 0;                 ///< errno, or 0 for a refusal that `reason` explains
    const char* step = nullptr;    ///< what failed, e.g. "cannot create a temporary file beside"
    const char* reason = nullptr;  ///< a refusal's cause, said instead of the errno's text

    bool failed() const noexcept { return error != 0 || reason != nullptr; }
};

/// What is written, which decides the permissions of a file it goes to. A sealed
/// text is no secret: a new file gets 0666 less the umask, a replaced file keeps
/// its permissions. An opened text is kept from other users: a new file gets
/// 0600, a replaced file keeps only its owner's permissions. Windows gives the
/// new file the replaced file's access list, or the one its folder passes on.
enum class ResultText { Sealed, Opened };

/// Where a file's new content is built until it is complete.
enum class Temporary {
    /// On Linux an unnamed file in the target's directory (O_TMPFILE): nothing is
    /// named before the content is on disk, so a killed process leaves nothing.
    /// Where the file system has no unnamed files, falls back to Named.
    Unnamed,
    /// A file with a short random name beside the target (hidden on Windows),
    /// removed on any failure and on the signals that signal_cleanup.h catches.
    Named,
};

/// begin, write any number of times, then commit, or abandon. After the first
/// failure, writes do nothing and commit reports that failure. Letting it go
/// without commit abandons it.
class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile() { abandon(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// Prepares to write `result` to `path`, or to standard output when it is "".
    /// On POSIX the path is followed through its symbolic links: a regular file
    /// with no other hard link, or none, is replaced once complete; this process's
    /// descriptor (/dev/stdout, /dev/fd/N), a FIFO or a character device is
    /// written directly (opening a FIFO waits for its reader); anything else is
    /// refused. On Windows the path is always a file to replace.
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
    bool replaces_file() const noexcept { return m_replaces; }
    /// True when the output is a terminal, whatever the path said (/dev/tty,
    /// /dev/stdout, /proc/self/fd/N, a link to one of them).
    bool is_terminal() const noexcept;
    /// Empties the temporary file and writes again from its start.
    bool restart() noexcept;

  private:
    // Each system's: opens what `path` leads to, or a temporary file beside it;
    // puts the complete temporary file, synced and closed, in the target's place;
    // removes the temporary file.
    WriteFailure open(const std::string& path, ResultText result, Temporary temporary);
    WriteFailure install();
    void remove_temporary() noexcept;
    /// Gives the temporary file a short random name through `create`, which
    /// returns 0 or an errno (EEXIST: taken, try another), and has it removed on
    /// a signal.
    WriteFailure with_fresh_name(const char* step,
                                 const std::function<int(const std::string&)>& create);

    int m_fd = -1;
    bool m_owns_fd = false;  ///< opened here; false for this process's own descriptors
    bool m_replaces = false;
    bool m_wrote_directly = false;
    std::string m_directory;  ///< the target's, where the temporary file is
    std::string m_name;       ///< the target's name in m_directory
    std::string m_temporary;  ///< the temporary file's name; "" while it has none
    int m_directory_fd = -1;  ///< POSIX: m_directory, opened
    WriteFailure m_failure;
};

/// A forecast that opens nothing: true when `path` would be replaced once
/// complete (a regular file with no other hard link, or no file at all).
bool may_replace_file(const std::string& path) noexcept;

/// True when `path` leads to one of this process's descriptors (/dev/stdout,
/// /dev/fd/N), which is written as it was opened: the one way to write straight
/// into a regular file.
bool written_directly(const std::string& path);

}  // namespace tarnel::cli
