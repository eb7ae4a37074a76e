// SPDX-License-Identifier: MIT
#include "output_target.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace tarnel::cli {
namespace {

// As many links as the kernel follows in one path.
constexpr int kMaxLinks = 40;

OutputTarget refused(int error, const char* step, const char* reason = nullptr) {
    OutputTarget target;
    target.failure = {error, step, reason};
    return target;
}

OutputTarget descriptor(int fd, bool owns_fd) {
    OutputTarget target;
    target.kind = OutputTarget::Kind::Descriptor;
    target.fd = fd;
    target.owns_fd = owns_fd;
    return target;
}

bool is_number(const std::string& text) {
    return !text.empty() && text.size() < 10 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

// The directory's real path, or "" when it has none.
std::string real_path(const std::string& directory) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(directory.c_str(), nullptr),
                                                           &std::free);
    return real ? std::string(real.get()) : std::string();
}

// A directory of descriptors in /proc: the process's own ("/proc/PID/fd" or a
// thread's "/proc/PID/task/TID/fd"), or another process's.
enum class FdDirectory { None, Own, Other };

FdDirectory fd_directory(const std::string& directory) {
    const std::string real = real_path(directory);
    if (!real.starts_with("/proc/") || !real.ends_with("/fd"))
        return FdDirectory::None;
    const std::string own = "/proc/" + std::to_string(::getpid()) + "/";
    if (real == own + "fd")
        return FdDirectory::Own;
    if (real.starts_with(own + "task/") &&
        is_number(real.substr(own.size() + 5, real.size() - own.size() - 5 - 3)))
        return FdDirectory::Own;
    return FdDirectory::Other;
}

OutputTarget own_descriptor(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY)
        return refused(EBADF, "cannot write to");
    return descriptor(fd, false);
}

// A FIFO or a character device: written through a descriptor of its own.
OutputTarget open_special(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return refused(errno, "cannot open");
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !(S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode))) {
        ::close(fd);
        return refused(0, "not writing to", "it is not a pipe or a character device");
    }
    return descriptor(fd, true);
}

OutputTarget refuse_kind(mode_t mode) {
    if (S_ISDIR(mode))
        return refused(EISDIR, "cannot write to");
    if (S_ISBLK(mode))
        return refused(0, "not writing to", "it is a block device");
    if (S_ISSOCK(mode))
        return refused(0, "not writing to", "it is a socket");
    return refused(0, "not writing to", "it is not a file, a pipe or a device");
}

}  // namespace

OutputTarget find_output_target(const std::string& path) {
    std::string current = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        const std::size_t slash = current.rfind('/');
        OutputTarget target;
        target.directory = slash == std::string::npos ? "." : current.substr(0, slash + 1);
        target.name = slash == std::string::npos ? current : current.substr(slash + 1);
        // "dir/" or "dir/." names a directory; "" names nothing; "file/" is no
        // directory.
        if (target.name.empty() || target.name == "." || target.name == "..") {
            struct stat directory {};
            if (current.empty() || ::stat(current.c_str(), &directory) != 0)
                return refused(current.empty() ? ENOENT : errno, "cannot write to");
            return refused(S_ISDIR(directory.st_mode) ? EISDIR : ENOTDIR, "cannot write to");
        }
        if (is_number(target.name)) {
            // /proc's links to descriptors do not lead to a name that can be replaced.
            const FdDirectory fds = fd_directory(target.directory);
            if (fds == FdDirectory::Own)
                return own_descriptor(std::atoi(target.name.c_str()));
            if (fds == FdDirectory::Other)
                return open_special(current);
        }
        if (::lstat(current.c_str(), &target.existing) != 0) {
            if (errno != ENOENT)
                return refused(errno, "cannot write to");
            target.kind = OutputTarget::Kind::File;
            return target;
        }
        const mode_t mode = target.existing.st_mode;
        if (S_ISLNK(mode)) {
            char link[PATH_MAX];
            const ssize_t size = ::readlink(current.c_str(), link, sizeof link);
            if (size < 0 || std::size_t(size) >= sizeof link)
                return refused(size < 0 ? errno : ENAMETOOLONG, "cannot follow the links of");
            const std::string leads_to(link, std::size_t(size));
            // A relative link is read from the directory that holds it.
            current = leads_to.starts_with('/') || slash == std::string::npos
                          ? leads_to
                          : target.directory + leads_to;
            continue;
        }
        if (S_ISREG(mode)) {
            if (target.existing.st_nlink > 1) {
                return refused(0, "not replacing",
                               "it has other hard links, which would keep the old text");
            }
            target.kind = OutputTarget::Kind::File;
            target.exists = true;
            return target;
        }
        if (S_ISFIFO(mode) || S_ISCHR(mode))
            return open_special(current);
        return refuse_kind(mode);
    }
    return refused(ELOOP, "cannot follow the links of");
}

bool may_replace_file(const std::string& path) noexcept {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return errno == ENOENT;
    return S_ISREG(status.st_mode) && status.st_nlink == 1;
}

}  // namespace tarnel::cli
