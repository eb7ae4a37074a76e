// SPDX-License-Identifier: MIT
// Writing the result: whole writes to a descriptor, and files replaced only once
// the new content is safely on disk.
#pragma once

#include <sys/types.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace tarnel::cli {

/// Writes every piece in turn, retrying short writes and EINTR. Returns 0, or the
/// errno of the write that failed.
int write_all(int fd, std::initializer_list<std::string_view> pieces) noexcept;

/// Where a failed file write stopped, for the message.
struct WriteFailure {
    int error = 0;               ///< errno; 0 when the write succeeded
    const char* step = nullptr;  ///< what failed, e.g. "cannot create a temporary file for"
};

/// Writes `pieces` to a new temporary file beside `path`, with permissions `mode`
/// (the umask is applied by the caller), flushes it to disk and renames it over
/// `path`. On any failure the temporary file is removed and `path` is untouched.
WriteFailure write_file_atomically(const std::string& path, mode_t mode,
                                   std::initializer_list<std::string_view> pieces);

/// The same for content written in pieces: begin, write any number of times,
/// then commit (or let it go, which removes the temporary file). After the first
/// failure, writes do nothing and commit reports that failure.
class AtomicFile {
  public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool begin(const std::string& path, mode_t mode);
    void write(std::string_view piece) noexcept;
    WriteFailure commit();
    const WriteFailure& failure() const noexcept { return m_failure; }

  private:
    void abandon() noexcept;

    std::string m_path;
    std::string m_temporary;
    int m_fd = -1;
    WriteFailure m_failure;
};

/// `requested` less the process's umask, as open() would create it.
mode_t apply_umask(mode_t requested) noexcept;

}  // namespace tarnel::cli
