// SPDX-License-Identifier: MIT
// Files by name on POSIX systems.
#include "file_access.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnel::cli {

int open_to_read(const std::string& path) noexcept {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

void use_binary_mode(int) noexcept {}

FileStamp stamp_of(int fd) noexcept {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    return {true, uint64_t(status.st_size), int64_t(status.st_mtim.tv_sec),
            long(status.st_mtim.tv_nsec)};
}

namespace {

FileIdentity identity(const struct stat& status) noexcept {
    if (!S_ISREG(status.st_mode))
        return {};
    return {true, uint64_t(status.st_dev), uint64_t(status.st_ino)};
}

}  // namespace

FileIdentity identity_of(int fd) noexcept {
    struct stat status {};
    return ::fstat(fd, &status) == 0 ? identity(status) : FileIdentity{};
}

FileIdentity identity_of(const std::string& path) noexcept {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? identity(status) : FileIdentity{};
}

uint64_t usable_memory() noexcept {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long page_size = ::sysconf(_SC_PAGESIZE);
    uint64_t usable = pages > 0 && page_size > 0 ? uint64_t(pages) * uint64_t(page_size) : 0;
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit limit{};
        if (::getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
            (usable == 0 || limit.rlim_cur < usable))
            usable = limit.rlim_cur;
    }
    return usable;
}

}  // namespace tarnel::cli
