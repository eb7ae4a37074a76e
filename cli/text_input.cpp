// SPDX-License-Identifier: MIT
#include "text_input.h"

#include <unistd.h>

#include <cerrno>

#include "file_access.h"
#include "messages.h"

namespace tarnel::cli {

int open_text(const std::string& path) {
    if (path.empty())
        return STDIN_FILENO;
    const int fd = open_to_read(path);
    if (fd < 0)
        say_error(errno, Message::CannotOpenText, path.c_str());
    return fd;
}

std::string text_name(const std::string& path) {
    return path.empty() ? "standard input" : path;
}

uint64_t whole_text_limit() noexcept {
    const uint64_t memory = usable_memory();
    return memory > 0 ? memory / 4 : UINT64_MAX - 1;
}

std::ptrdiff_t DescriptorStream::read(char* buffer, std::size_t size) noexcept {
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, size);
        if (got >= 0)
            return std::ptrdiff_t(got);
        if (errno != EINTR) {
            m_error = errno;
            return -1;
        }
    }
}

uint64_t DescriptorStream::size_hint() const noexcept {
    // A file the system gives no size for (procfs, sysfs) tells 0.
    const FileStamp stamp = stamp_of(m_fd);
    return stamp.regular ? stamp.size : 0;
}

}  // namespace tarnel::cli
