// SPDX-License-Identifier: MIT
// A text that sits in a regular file, read in pieces with pread rather than whole:
// a first read-only pass finds what the text is, a second seals or opens it. A
// whole-file mapping would count every page it touches as resident.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "file_access.h"

namespace tarnel::cli {

/// The unread part of a regular file: bytes [start, end) of `fd`.
struct FileText {
    int fd = -1;
    uint64_t start = 0;
    uint64_t end = 0;
    std::string name;  ///< for messages: the path, or "standard input"
    FileStamp stamp;   ///< the file as it was when the text was taken
};

/// True when `fd` is a regular file whose size the system tells; then `text`
/// covers what is left of it. Files of procfs and sysfs tell a size of 0 and are
/// no file texts: they are read once, as they come.
bool is_file_text(int fd, FileText& text) noexcept;

/// True when the file changed since `text` was taken: what was read of it may
/// mix two versions, or miss what was added.
bool file_text_changed(const FileText& text) noexcept;

/// Reads pieces of a file text into one reused buffer. read() returns a view of
/// bytes [offset, offset + size) or, on a read error, an empty view with `error`.
class PieceReader {
  public:
    /// Reads pieces of at most `piece` bytes (kPiece but in tests).
    explicit PieceReader(const FileText& text, std::size_t piece = kPiece)
        : m_text(text), m_piece(piece) {}
    ~PieceReader();
    PieceReader(const PieceReader&) = delete;
    PieceReader& operator=(const PieceReader&) = delete;

    /// Largest piece, in bytes.
    static constexpr std::size_t kPiece = 4u << 20;
    std::size_t piece() const noexcept { return m_piece; }

    std::string_view read(uint64_t offset, std::size_t size);
    int error() const noexcept { return m_error; }

  private:
    const FileText& m_text;
    std::size_t m_piece;
    std::string m_buffer;  // may hold plain text: wiped when it goes
    int m_error = 0;
};

}  // namespace tarnel::cli
