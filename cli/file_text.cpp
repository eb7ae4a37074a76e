// SPDX-License-Identifier: MIT
#include "file_text.h"

#include <unistd.h>

#include <cerrno>

namespace tarnel::cli {

bool is_file_text(int fd, FileText& text) noexcept {
    const FileStamp stamp = stamp_of(fd);
    if (!stamp.regular || stamp.size == 0)
        return false;
    // A password read from the same descriptor has moved it to the text's start.
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at < 0 || uint64_t(at) > stamp.size)
        return false;
    text.fd = fd;
    text.start = uint64_t(at);
    text.end = stamp.size;
    text.stamp = stamp;
    return true;
}

bool file_text_changed(const FileText& text) noexcept {
    return stamp_of(text.fd) != text.stamp;
}

bool FileSource::read_at(uint64_t offset, char* buffer, std::size_t size) noexcept {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n =
            ::pread(m_text.fd, buffer + got, size - got, off_t(m_text.start + offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A file that shrank under us reads as an error too.
            m_error = n < 0 ? errno : EIO;
            return false;
        }
        got += std::size_t(n);
    }
    return true;
}

}  // namespace tarnel::cli
