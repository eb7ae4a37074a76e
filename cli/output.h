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

/// What is written, which decides the permissions of a file it goes to. A sealed
/// text is no secret: a new file gets 0666 less the umask, a replaced file keeps
/// its permissions. An opened text is kept from other users: a new file gets
/// 0600, a replaced file keeps only its owner's permissions.
enum class ResultText { Sealed, Opened };

struct FilePermissions {
    mode_t new_file;  ///< the umask already applied
    mode_t kept;      ///< the bits of a replaced file's mode that stay
};
FilePermissions permissions_for(ResultText result) noexcept;

/// Writes `pieces` to `path`, as `-o` does. A regular file (or the file a
/// symbolic link leads to) is replaced only once the new content is on disk,
/// keeping the old file's owner and group where this user may give them; a pipe,
/// a device or one of this process's descriptors (/dev/stdout, /dev/fd/N) is
/// written directly. On a failure a replaced file is left as it was and no
/// temporary file stays behind.
WriteFailure write_output(const std::string& path, ResultText result,
                          std::initializer_list<std::string_view> pieces);

}  // namespace tarnel::cli
