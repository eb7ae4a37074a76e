// SPDX-License-Identifier: MIT
// What the path given to `-o` leads to, decided before anything is written.
#pragma once

#include <sys/stat.h>

#include <string>

#include "output.h"

namespace tarnel::cli {

struct OutputTarget {
    enum class Kind {
        Descriptor,  ///< written directly through `fd`: a pipe, a device, a descriptor
        File,        ///< a regular file `name` in `directory`, new or to be replaced
        Refused,     ///< `failure` says why; nothing was opened
    };
    Kind kind = Kind::Refused;
    int fd = -1;
    bool owns_fd = false;  ///< opened here, to be closed; false for this process's own descriptors
    std::string directory;
    std::string name;
    bool exists = false;  ///< File: `existing` holds the file's status
    struct stat existing {};
    WriteFailure failure;
};

/// Follows `path` through its symbolic links to what it names at the end:
/// - this process's descriptor (/dev/stdout, /dev/fd/N, /proc/self/fd/N) -> Descriptor;
/// - a FIFO or a character device (a terminal, /dev/null) -> Descriptor, opened;
/// - a regular file with no other hard link, or no file at all -> File;
/// - anything else (a loop of links, a directory, a block device, a socket, a file
///   with other hard links) -> Refused.
/// Opening a FIFO waits for its reader, as any writer does.
OutputTarget find_output_target(const std::string& path);

/// A forecast of find_output_target() that opens nothing: true when `path` leads
/// to a regular file with no other hard link, or to no file at all.
bool may_replace_file(const std::string& path) noexcept;

}  // namespace tarnel::cli
