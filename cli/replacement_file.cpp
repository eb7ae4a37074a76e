// SPDX-License-Identifier: MIT
#include "replacement_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "signal_cleanup.h"

namespace tarnel::cli {
namespace {

constexpr const char* kCreateStep = "cannot create a temporary file beside";
constexpr int kAttempts = 100;

// ".tarnel-" and ten random letters: short whatever the target's name, so that a
// name near the system's limit still has room beside it.
std::string random_name() {
    uint64_t bits = 0;
    if (::getentropy(&bits, sizeof bits) != 0) {
        static uint64_t counter = 0;
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        bits = (uint64_t(now.tv_nsec) << 24) ^ uint64_t(now.tv_sec) ^ (uint64_t(::getpid()) << 40) ^
               (++counter * 0x9E3779B97F4A7C15u);
    }
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = ".tarnel-";
    for (int i = 0; i < 10; ++i) {
        name += kLetters[bits % 36];
        bits /= 36;
    }
    return name;
}

// The old file's owner and group where this user may give them, then its
// permissions. Returns 0 or an errno.
int take_status(int fd, const struct stat& existing, mode_t kept) {
    mode_t mode = existing.st_mode & 07777 & kept;
    if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
        if (errno != EPERM)
            return errno;
        // Only the superuser gives a file away; the group may still be one of ours.
        if (::fchown(fd, uid_t(-1), existing.st_gid) != 0) {
            if (errno != EPERM)
                return errno;
            // Our own group must not gain what the old file's group was allowed.
            mode &= ~(S_IRWXG | S_ISGID);
        }
    }
    return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

std::string in_directory(const std::string& directory, const std::string& name) {
    return directory.ends_with('/') ? directory + name : directory + "/" + name;
}

#ifdef O_TMPFILE
// An unnamed file is given a name through its link in /proc.
std::string proc_link(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

bool proc_link_works(int fd) {
    struct stat by_fd {
    }, by_link{};
    return ::fstat(fd, &by_fd) == 0 && ::stat(proc_link(fd).c_str(), &by_link) == 0 &&
           by_fd.st_dev == by_link.st_dev && by_fd.st_ino == by_link.st_ino;
}
#endif

}  // namespace

ReplacementFile::~ReplacementFile() {
    discard();
}

WriteFailure ReplacementFile::create(const std::string& directory, const std::string& name,
                                     const struct stat* existing, FilePermissions permissions,
                                     Temporary temporary) {
    discard();
    m_directory = directory;
    m_name = name;
    m_directory_fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_directory_fd < 0)
        return {errno, kCreateStep};
    WriteFailure failure;
#ifdef O_TMPFILE
    if (temporary == Temporary::Unnamed) {
        // Without O_EXCL, so that the file may be given a name once complete.
        m_fd = ::openat(m_directory_fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        // File systems without unnamed files say so in several ways.
        if (m_fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            failure = {errno, kCreateStep};
        if (m_fd >= 0 && !proc_link_works(m_fd)) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
#else
    (void)temporary;
#endif
    if (m_fd < 0 && !failure.failed())
        failure = create_named();
    if (!failure.failed()) {
        const int error = existing ? take_status(m_fd, *existing, permissions.kept)
                                   : (::fchmod(m_fd, permissions.new_file) == 0 ? 0 : errno);
        if (error != 0)
            failure = {error, "cannot set the permissions of a temporary file beside"};
    }
    if (failure.failed())
        discard();
    return failure;
}

WriteFailure ReplacementFile::create_named() {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string name = random_name();
        m_fd = ::openat(m_directory_fd, name.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (m_fd >= 0) {
            m_temporary_name = name;
            remove_on_signal(in_directory(m_directory, name).c_str());
            return {};
        }
        if (errno != EEXIST)
            return {errno, kCreateStep};
    }
    return {EEXIST, kCreateStep};
}

// linkat cannot replace a name, so the unnamed file first gets a fresh one.
WriteFailure ReplacementFile::give_name() {
#ifdef O_TMPFILE
    const std::string link = proc_link(m_fd);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string name = random_name();
        // Not AT_EMPTY_PATH, which some kernels allow only with CAP_DAC_READ_SEARCH.
        if (::linkat(AT_FDCWD, link.c_str(), m_directory_fd, name.c_str(), AT_SYMLINK_FOLLOW) ==
            0) {
            m_temporary_name = name;
            remove_on_signal(in_directory(m_directory, name).c_str());
            return {};
        }
        if (errno != EEXIST)
            return {errno, "cannot replace"};
    }
#endif
    return {EEXIST, "cannot replace"};
}

WriteFailure ReplacementFile::install() {
    WriteFailure failure;
    if (m_fd < 0)
        failure = {EBADF, "cannot write"};
    else if (::fsync(m_fd) != 0)
        failure = {errno, "cannot write"};
    if (!failure.failed() && !is_named())
        failure = give_name();
    if (m_fd >= 0 && ::close(m_fd) != 0 && !failure.failed())
        failure = {errno, "cannot write"};
    m_fd = -1;
    if (!failure.failed() &&
        ::renameat(m_directory_fd, m_temporary_name.c_str(), m_directory_fd, m_name.c_str()) != 0)
        failure = {errno, "cannot replace"};
    if (failure.failed()) {
        discard();
        return failure;
    }
    forget_name();
    // Makes the rename durable; a failure here no longer endangers the data.
    ::fsync(m_directory_fd);
    discard();
    return failure;
}

void ReplacementFile::forget_name() noexcept {
    if (is_named())
        forget_file_to_remove();
    m_temporary_name.clear();
}

void ReplacementFile::discard() noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (is_named())
        ::unlinkat(m_directory_fd, m_temporary_name.c_str(), 0);
    forget_name();
    if (m_directory_fd >= 0) {
        ::close(m_directory_fd);
        m_directory_fd = -1;
    }
}

}  // namespace tarnel::cli
