// SPDX-License-Identifier: MIT
// A regular file's new content, built where no one can see it half written, then
// put in the file's place in one step.
#pragma once

#include <sys/stat.h>

#include <string>

#include "output.h"

namespace tarnel::cli {

/// Where the content is built until it is complete.
enum class Temporary {
    /// On Linux an unnamed file in the target's directory (O_TMPFILE): nothing is
    /// named before the content is on disk, so a killed process leaves nothing.
    /// Where the file system has no unnamed files, falls back to Named.
    Unnamed,
    /// A file with a short random name beside the target, removed on any failure
    /// and on the fatal signals that signal_cleanup.h catches (not on SIGKILL).
    Named,
};

class ReplacementFile {
  public:
    ReplacementFile() = default;
    ~ReplacementFile();  ///< discards the temporary file if not installed
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    /// Creates the temporary file for `name` in `directory`. With `existing` (the
    /// old file's status) it takes that file's owner and group where allowed and
    /// the permissions `permissions.kept` keeps; otherwise `permissions.new_file`.
    WriteFailure create(const std::string& directory, const std::string& name,
                        const struct stat* existing, FilePermissions permissions,
                        Temporary temporary);

    int fd() const noexcept { return m_fd; }
    bool is_named() const noexcept { return !m_temporary_name.empty(); }

    /// Flushes the content to disk and renames it over the target; the temporary
    /// file is gone afterwards, whatever happened.
    WriteFailure install();

    /// Drops the temporary file; the target stays as it was.
    void discard() noexcept;

  private:
    WriteFailure create_named();
    WriteFailure give_name();
    void forget_name() noexcept;

    int m_directory_fd = -1;
    std::string m_directory;
    std::string m_name;
    int m_fd = -1;
    std::string m_temporary_name;  ///< empty while the file has no name
};

}  // namespace tarnel::cli
