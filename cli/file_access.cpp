// SPDX-License-Identifier: MIT
// Files by name on POSIX systems.
#include "file_access.h"

#include <fcntl.h>
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

WriteFailure write_file_atomically(const std::string& path, mode_t mode,
                                   std::initializer_list<std::string_view> pieces) {
    std::string temporary = temporary_template(path);
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return {errno, "cannot create a temporary file beside"};
    remove_on_signal(temporary.c_str());

    WriteFailure failure;
    if (::fchmod(fd, mode) != 0) {
        failure = {errno, "cannot set the permissions of a temporary file beside"};
    } else if (const int error = write_all(fd, pieces); error != 0) {
        failure = {error, "cannot write"};
    } else if (::fsync(fd) != 0) {
        failure = {errno, "cannot write"};
    }
    if (::close(fd) != 0 && failure.error == 0)
        failure = {errno, "cannot write"};
    if (failure.error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
        failure = {errno, "cannot replace"};
    }
    if (failure.error != 0)
        ::unlink(temporary.c_str());
    forget_file_to_remove();
    if (failure.error == 0)
        sync_directory_of(path);
    return failure;
}

}  // namespace tarnel::cli
