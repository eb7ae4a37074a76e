// SPDX-License-Identifier: MIT
#include "file_text.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "tarnel/secure_wipe.h"

namespace tarnel::cli {

bool is_file_text(int fd, FileText& text) noexcept {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    // A password read from the same descriptor has moved it to the text's start.
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at < 0 || at > status.st_size)
        return false;
    text.fd = fd;
    text.start = uint64_t(at);
    text.end = uint64_t(status.st_size);
    return true;
}

PieceReader::~PieceReader() {
    secure_wipe(m_buffer);
}

std::string_view PieceReader::read(uint64_t offset, std::size_t size) {
    if (m_buffer.size() < size)
        m_buffer.resize(size < kPiece ? kPiece : size);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n =
            ::pread(m_text.fd, m_buffer.data() + got, size - got, off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A file that shrank under us reads as an error too.
            m_error = n < 0 ? errno : EIO;
            return {};
        }
        got += std::size_t(n);
    }
    return std::string_view(m_buffer.data(), size);
}

}  // namespace tarnel::cli
