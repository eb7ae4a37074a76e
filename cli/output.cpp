// SPDX-License-Identifier: MIT
#include "output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "diagnostics.h"

namespace tarnel::cli {
namespace {

int write_piece(int fd, std::string_view piece) noexcept {
    while (!piece.empty()) {
        const ssize_t written = ::write(fd, piece.data(), piece.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        piece.remove_prefix(std::size_t(written));
    }
    return 0;
}

}  // namespace

int write_all(int fd, std::initializer_list<std::string_view> pieces) noexcept {
    for (const std::string_view piece : pieces) {
        if (const int error = write_piece(fd, piece); error != 0)
            return error;
    }
    return 0;
}

void report_write_failure(const WriteFailure& failure, const std::string& path) {
    // A reader that stopped reading already knows; only the status says it.
    if (failure.error == EPIPE && !failure.reason)
        return;
    const char* step = failure.step ? failure.step : "cannot write";
    if (failure.reason)
        report("%s %s: %s", step, path.c_str(), failure.reason);
    else
        report_error(failure.error, "%s %s", step, path.c_str());
}

mode_t apply_umask(mode_t requested) noexcept {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return requested & ~mask;
}

}  // namespace tarnel::cli
