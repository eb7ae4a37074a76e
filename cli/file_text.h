// SPDX-License-Identifier: MIT
// A text that sits in a regular file, read in pieces with pread rather than whole:
// a first read-only pass finds what the text is, a second seals or opens it. A
// whole-file mapping would count every page it touches as resident.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnel::cli {

/// The unread part of a regular file: bytes [start, end) of `fd`.
struct FileText {
    int fd = -1;
    uint64_t start = 0;
    uint64_t end = 0;
    std::string name;  ///< for messages: the path, or "standard input"
};

/// True when `fd` is a regular file; then `text` covers what is left of it.
bool is_file_text(int fd, FileText& text) noexcept;

/// Reads pieces of a file text into one reused buffer. read() returns a view of
/// bytes [offset, offset + size) or, on a read error, an empty view with `error`.
class PieceReader {
  public:
    explicit PieceReader(const FileText& text) : m_text(text) {}
    ~PieceReader();
    PieceReader(const PieceReader&) = delete;
    PieceReader& operator=(const PieceReader&) = delete;

    /// Largest piece, in bytes.
    static constexpr std::size_t kPiece = 4u << 20;

    std::string_view read(uint64_t offset, std::size_t size);
    int error() const noexcept { return m_error; }

  private:
    const FileText& m_text;
    std::string m_buffer;  // may hold plain text: wiped when it goes
    int m_error = 0;
};

}  // namespace tarnel::cli
