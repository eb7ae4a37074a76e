// SPDX-License-Identifier: MIT
#include "secret_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tarnel/secure_wipe.h"

namespace tarnel::cli {
namespace {

// Moves `buffer` into a larger one and wipes the old storage.
void grow_wiping(std::string& buffer, std::size_t new_size) {
    std::string larger;
    try {
        larger.resize(new_size);
    } catch (...) {
        secure_wipe(buffer);
        throw;
    }
    std::memcpy(larger.data(), buffer.data(), buffer.size());
    secure_wipe(buffer);
    buffer.swap(larger);
}

// A regular file may be read ahead, as it can be set back; anything else is read
// byte by byte, so that nothing after the line is taken from a pipe or terminal.
bool may_read_ahead(int fd) noexcept {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

// read() that carries on through interruptions.
ssize_t read_some(int fd, char* into, std::size_t size) noexcept {
    for (;;) {
        const ssize_t got = ::read(fd, into, size);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

// Wipes what was read so far and returns the errno of the failed read.
int give_up(std::string& buffer) noexcept {
    const int error = errno;
    secure_wipe(buffer);
    return error;
}

}  // namespace

int read_first_line(int fd, std::string& line, std::size_t max_length) {
    secure_wipe(line);
    // The longest line that may come, with its CR LF.
    const std::size_t most = max_length + 2;
    grow_wiping(line, most < 256 ? most : 256);
    const std::size_t step = may_read_ahead(fd) ? 4096 : 1;
    std::size_t used = 0;
    std::size_t end = std::string::npos;
    while (end == std::string::npos) {
        if (used == most) {
            secure_wipe(line);
            return kLineTooLong;
        }
        const std::size_t wanted = std::min(step, most - used);
        if (line.size() - used < wanted)
            grow_wiping(line, std::min(line.size() * 2 + step, most));
        const ssize_t got = read_some(fd, line.data() + used, wanted);
        if (got < 0)
            return give_up(line);
        if (got == 0) {
            end = used;
            break;
        }
        const void* lf = std::memchr(line.data() + used, '\n', std::size_t(got));
        used += std::size_t(got);
        if (lf != nullptr)
            end = std::size_t(static_cast<const char*>(lf) - line.data());
    }
    // A regular file read ahead is set back to just after the line, for a text
    // that follows it on the same descriptor.
    if (end + 1 < used)
        ::lseek(fd, -off_t(used - end - 1), SEEK_CUR);
    if (end > 0 && line[end - 1] == '\r')
        --end;
    if (end > max_length) {
        secure_wipe(line);
        return kLineTooLong;
    }
    // What was read past the line is as secret as the line.
    secure_wipe(line.data() + end, line.size() - end);
    line.resize(end);
    return 0;
}

}  // namespace tarnel::cli
