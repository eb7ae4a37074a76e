// SPDX-License-Identifier: MIT
// Writing the result on POSIX systems: what the path given to `-o` leads to, and
// the temporary file that replaces a regular file.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "output.h"

namespace tarnel::cli {
namespace {

constexpr const char* kCreateStep = "cannot create a temporary file beside";

// What a path leads to at the end of its symbolic links: `directory` (with its
// final '/') and `name`.
struct Target {
    enum class Kind { OwnDescriptor, Special, File } kind = Kind::File;
    std::string directory;
    std::string name;
    bool exists = false;  ///< a file whose status `existing` holds
    struct stat existing {};
};

// Whether `target` is a descriptor in /proc: -1 not one, 1 one of this
// process's own (or of one of its threads), 0 another process's.
int proc_descriptor(const Target& target) {
    const std::string& name = target.name;
    if (name.empty() || name.size() > 9 || name.find_first_not_of("0123456789") != name.npos)
        return -1;
    char real[PATH_MAX];
    const std::string path = ::realpath(target.directory.c_str(), real) ? real : "";
    if (!path.starts_with("/proc/") || !path.ends_with("/fd"))
        return -1;
    return path.starts_with("/proc/" + std::to_string(::getpid()) + "/") ? 1 : 0;
}

WriteFailure refused_kind(mode_t mode) {
    if (S_ISDIR(mode))
        return {EISDIR, "cannot write to"};
    return {0, "not writing to",
            S_ISBLK(mode)    ? "it is a block device"
            : S_ISSOCK(mode) ? "it is a socket"
                             : "it is not a file, a pipe or a device"};
}

// Follows `path` through its links, as the kernel would, but stops short of a
// regular file's name, which stays to be replaced: a link stays a link.
WriteFailure find_target(const std::string& path, Target& target) {
    std::string current = path;
    for (int links = 0; links <= 40; ++links) {
        const std::size_t slash = current.rfind('/');
        target.directory = slash == std::string::npos ? "./" : current.substr(0, slash + 1);
        target.name = current.substr(slash + 1);
        // /proc's links to descriptors do not lead to a name that can be replaced.
        if (const int own = proc_descriptor(target); own >= 0) {
            target.kind = own ? Target::Kind::OwnDescriptor : Target::Kind::Special;
            return {};
        }
        // No file is a new one, unless the name is to be a directory's ("dir/",
        // "dir/.", "").
        if (::lstat(current.c_str(), &target.existing) != 0) {
            const bool directory = target.name.empty() || target.name == "." || target.name == "..";
            return errno == ENOENT && !directory ? WriteFailure{}
                                                 : WriteFailure{errno, "cannot write to"};
        }
        const mode_t mode = target.existing.st_mode;
        if (S_ISLNK(mode)) {
            char link[PATH_MAX];
            const ssize_t size = ::readlink(current.c_str(), link, sizeof link);
            if (size < 0 || std::size_t(size) >= sizeof link)
                return {size < 0 ? errno : ENAMETOOLONG, "cannot follow the links of"};
            const std::string leads_to(link, std::size_t(size));
            // A relative link is read from the directory that holds it.
            current = leads_to.starts_with('/') || slash == std::string::npos
                          ? leads_to
                          : target.directory + leads_to;
            continue;
        }
        if (S_ISFIFO(mode) || S_ISCHR(mode)) {
            target.kind = Target::Kind::Special;
            return {};
        }
        if (!S_ISREG(mode))
            return refused_kind(mode);
        target.exists = true;
        if (target.existing.st_nlink > 1)
            return {0, "not replacing", "it has other hard links, which would keep the old text"};
        return {};
    }
    return {ELOOP, "cannot follow the links of"};
}

// A new file's permissions (a sealed text's as open() would give them, an opened
// text's its owner's alone), or the replaced file's: its owner and group where
// this user may give them, its permissions less what an opened text keeps from
// others. Returns 0 or an errno.
int set_status(int fd, const Target& target, ResultText result) {
    const bool sealed = result == ResultText::Sealed;
    if (!target.exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return ::fchmod(fd, sealed ? 0666 & ~mask : 0600) == 0 ? 0 : errno;
    }
    mode_t mode = target.existing.st_mode & (sealed ? 07777 : 07700);
    if (::fchown(fd, target.existing.st_uid, target.existing.st_gid) != 0) {
        if (errno != EPERM)
            return errno;
        // Only the superuser gives a file away; the group may still be one of ours.
        if (::fchown(fd, uid_t(-1), target.existing.st_gid) != 0) {
            if (errno != EPERM)
                return errno;
            // Our own group must not gain what the old file's group was allowed.
            mode &= ~(S_IRWXG | S_ISGID);
        }
    }
    return ::fchmod(fd, mode) == 0 ? 0 : errno;
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

WriteFailure OutputFile::open(const std::string& path, ResultText result, Temporary temporary) {
    Target target;
    if (const WriteFailure failure = find_target(path, target); failure.failed())
        return failure;
    if (target.kind == Target::Kind::OwnDescriptor) {
        m_fd = std::atoi(target.name.c_str());
        const int flags = ::fcntl(m_fd, F_GETFL);
        if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY)
            return {EBADF, "cannot write to"};
        return {};
    }
    if (target.kind == Target::Kind::Special) {
        m_fd = ::open((target.directory + target.name).c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0)
            return {errno, "cannot open"};
        m_owns_fd = true;
        struct stat status {};
        if (::fstat(m_fd, &status) != 0 || !(S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode)))
            return {0, "not writing to", "it is not a pipe or a character device"};
        return {};
    }

    m_replaces = true;
    m_directory = target.directory;
    m_name = target.name;
    m_directory_fd = ::open(m_directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_directory_fd < 0)
        return {errno, kCreateStep};
#ifdef O_TMPFILE
    if (temporary == Temporary::Unnamed) {
        // Without O_EXCL, so that the file may be given a name once complete.
        m_fd = ::openat(m_directory_fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        // File systems without unnamed files say so in several ways.
        if (m_fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return {errno, kCreateStep};
        if (m_fd >= 0 && !proc_link_works(m_fd)) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
#else
    (void)temporary;
#endif
    if (m_fd < 0) {
        const WriteFailure failure = with_fresh_name(kCreateStep, [this](const std::string& name) {
            m_fd = ::openat(m_directory_fd, name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            return m_fd < 0 ? errno : 0;
        });
        if (failure.failed())
            return failure;
    }
    m_owns_fd = true;
    if (const int error = set_status(m_fd, target, result); error != 0)
        return {error, "cannot set the permissions of a temporary file beside"};
    return {};
}

WriteFailure OutputFile::install() {
    WriteFailure failure;
    if (::fsync(m_fd) != 0)
        failure = {errno, "cannot write"};
#ifdef O_TMPFILE
    else if (m_temporary.empty()) {
        // linkat cannot replace a name, so the unnamed file first gets a fresh one;
        // not through AT_EMPTY_PATH, which some kernels allow only with
        // CAP_DAC_READ_SEARCH.
        const std::string link = proc_link(m_fd);
        failure = with_fresh_name("cannot replace", [&](const std::string& name) {
            return ::linkat(AT_FDCWD, link.c_str(), m_directory_fd, name.c_str(),
                            AT_SYMLINK_FOLLOW) == 0
                       ? 0
                       : errno;
        });
    }
#endif
    m_owns_fd = false;
    if (::close(m_fd) != 0 && !failure.failed())
        failure = {errno, "cannot write"};
    if (!failure.failed() &&
        ::renameat(m_directory_fd, m_temporary.c_str(), m_directory_fd, m_name.c_str()) != 0)
        failure = {errno, "cannot replace"};
    // Makes the rename durable; a failure here no longer endangers the data.
    if (!failure.failed())
        ::fsync(m_directory_fd);
    return failure;
}

void OutputFile::remove_temporary() noexcept {
    ::unlinkat(m_directory_fd, m_temporary.c_str(), 0);
}

bool may_replace_file(const std::string& path) noexcept {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return errno == ENOENT;
    return S_ISREG(status.st_mode) && status.st_nlink == 1;
}

bool written_directly(const std::string& path) {
    Target target;
    return !find_target(path, target).failed() && target.kind == Target::Kind::OwnDescriptor;
}

}  // namespace tarnel::cli
