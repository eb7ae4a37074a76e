// SPDX-License-Identifier: MIT
// Writing the result: whole writes to a descriptor, and what `-o FILE` does with
// the path it is given.
#pragma once

#include <sys/types.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace tarnel::cli {

/// Writes every piece in turn, retrying short writes and EINTR. Returns 0, or the
/// errno of the write that failed.
int write_all(int fd, std::initializer_list<std::string_view> pieces) noexcept;

/// Why writing to `-o FILE` failed or was refused, for the message.
struct WriteFailure {
    int error = 0;                 ///< errno, or 0 for a refusal that `reason` explains
    const char* step = nullptr;    ///< what failed, e.g. "cannot create a temporary file beside"
    const char* reason = nullptr;  ///< a refusal's cause, said instead of the errno's text

    bool failed() const noexcept { return error != 0 || reason != nullptr; }
};

/// Reports `failure` as one line: the step, `path`, and the errno's text or the
/// reason. A reader that went away (EPIPE) is not reported.
void report_write_failure(const WriteFailure& failure, const std::string& path);

/// Writes `pieces` as the result to `path`, as `-o` does. A regular file (or the
/// file a symbolic link leads to) is replaced only once the new content is on
/// disk, keeping the old file's permissions and owner; a new one gets `mode`
/// (the umask applied by the caller). A pipe, a device or one of this process's
/// descriptors (/dev/stdout, /dev/fd/N) is written directly. On a failure a
/// replaced file is left as it was and no temporary file stays behind.
WriteFailure write_output(const std::string& path, mode_t mode,
                          std::initializer_list<std::string_view> pieces);

/// `requested` less the process's umask, as open() would create it.
mode_t apply_umask(mode_t requested) noexcept;

}  // namespace tarnel::cli
