// SPDX-License-Identifier: MIT
// Files by name on POSIX systems, and files replaced atomically.
#include "file_access.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "output.h"
#include "signal_cleanup.h"

namespace tarnel::cli {
namespace {

// The temporary file hides in the target's own directory, so that the final
// rename stays within one file system and is atomic.
std::string temporary_template(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(0, base) + "." + path.substr(base) + ".tarnel-XXXXXX";
}

// Makes a rename durable; a failure here no longer endangers the data.
void sync_directory_of(const std::string& path) noexcept {
    const std::size_t slash = path.rfind('/');
    std::string directory = ".";
    try {
        if (slash != std::string::npos)
            directory = path.substr(0, slash == 0 ? 1 : slash);
    } catch (...) {
        return;
    }
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

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

AtomicFile::~AtomicFile() {
    abandon();
}

bool AtomicFile::begin(const std::string& path, mode_t mode) {
    m_path = path;
    m_temporary = temporary_template(path);
    m_fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
    if (m_fd < 0) {
        m_failure = {errno, "cannot create a temporary file beside"};
        return false;
    }
    remove_on_signal(m_temporary.c_str());
    if (::fchmod(m_fd, mode) != 0) {
        m_failure = {errno, "cannot set the permissions of a temporary file beside"};
        abandon();
        return false;
    }
    return true;
}

void AtomicFile::write(std::string_view piece) noexcept {
    if (m_fd < 0 || m_failure.error != 0)
        return;
    if (const int error = write_all(m_fd, {piece}); error != 0)
        m_failure = {error, "cannot write"};
}

WriteFailure AtomicFile::commit() {
    if (m_fd < 0 && m_failure.error == 0)
        m_failure = {EBADF, "cannot write"};
    if (m_failure.error == 0 && ::fsync(m_fd) != 0)
        m_failure = {errno, "cannot write"};
    if (m_fd >= 0 && ::close(m_fd) != 0 && m_failure.error == 0)
        m_failure = {errno, "cannot write"};
    m_fd = -1;
    if (m_failure.error == 0 && ::rename(m_temporary.c_str(), m_path.c_str()) != 0)
        m_failure = {errno, "cannot replace"};
    if (m_failure.error != 0) {
        ::unlink(m_temporary.c_str());
        forget_file_to_remove();
        return m_failure;
    }
    forget_file_to_remove();
    m_temporary.clear();
    sync_directory_of(m_path);
    return m_failure;
}

void AtomicFile::abandon() noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        forget_file_to_remove();
        m_temporary.clear();
    }
}

WriteFailure write_file_atomically(const std::string& path, mode_t mode,
                                   std::initializer_list<std::string_view> pieces) {
    AtomicFile file;
    if (!file.begin(path, mode))
        return file.failure();
    for (const std::string_view piece : pieces)
        file.write(piece);
    return file.commit();
}

}  // namespace tarnel::cli
