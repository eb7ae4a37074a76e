// SPDX-License-Identifier: MIT
// Files by name and descriptors as the platform has them: names are UTF-8, and
// every byte passes unchanged.
#pragma once

#include <cstdint>
#include <string>

namespace tarnel::cli {

/// Opens the file at `path` for reading. Returns a descriptor, or -1 with errno set.
int open_to_read(const std::string& path) noexcept;

/// Makes `fd` pass bytes as they are: Windows would otherwise turn CR LF into LF
/// and stop at a Ctrl+Z. Does nothing where descriptors have no text mode.
void use_binary_mode(int fd) noexcept;

/// What shows that a regular file changed while it was read.
struct FileStamp {
    bool regular = false;  ///< false too when the file could not be looked at
    uint64_t size = 0;
    int64_t modified_seconds = 0;
    long modified_nanoseconds = 0;

    bool operator==(const FileStamp&) const = default;
};
FileStamp stamp_of(int fd) noexcept;

/// Which regular file a descriptor or a name leads to, links followed, so that two
/// names of one file (hard links, /proc/self/fd/N) are known as one.
struct FileIdentity {
    bool regular = false;  ///< false too when the file could not be looked at
    uint64_t device = 0;
    uint64_t file = 0;

    bool operator==(const FileIdentity&) const = default;
    bool same_file(const FileIdentity& other) const noexcept {
        return regular && other.regular && *this == other;
    }
};
FileIdentity identity_of(int fd) noexcept;
FileIdentity identity_of(const std::string& path) noexcept;

/// Bytes of memory this process may take: the machine's, or less where a limit
/// on the process says so.
uint64_t usable_memory() noexcept;

}  // namespace tarnel::cli
