// SPDX-License-Identifier: MIT
// A text that sits in a regular file, read in pieces with pread rather than whole,
// as the engine asks for them. A whole-file mapping would count every page it
// touches as resident.
#pragma once

#include <cstdint>
#include <string>

#include "file_access.h"
#include "tarnel/text_process.h"

namespace tarnel::cli {

/// The unread part of a regular file: bytes [start, end) of `fd`.
struct FileText {
    int fd = -1;
    uint64_t start = 0;
    uint64_t end = 0;
    FileStamp stamp;  ///< the file as it was when the text was taken
};

/// True when `fd` is a regular file whose size the system tells; then `text`
/// covers what is left of it. Files of procfs and sysfs tell a size of 0 and are
/// no file texts: they are read once, as they come.
bool is_file_text(int fd, FileText& text) noexcept;

/// True when the file changed since `text` was taken: what was read of it may
/// mix two versions, or miss what was added.
bool file_text_changed(const FileText& text) noexcept;

/// The file text as the engine reads it; a file that shrank reads as an error.
class FileSource final : public RandomAccessSource {
  public:
    explicit FileSource(const FileText& text) noexcept : m_text(text) {}
    uint64_t size() const noexcept override { return m_text.end - m_text.start; }
    bool read_at(uint64_t offset, char* buffer, std::size_t size) noexcept override;
    int error() const noexcept { return m_error; }

  private:
    const FileText& m_text;
    int m_error = 0;
};

}  // namespace tarnel::cli
