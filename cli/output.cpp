// SPDX-License-Identifier: MIT
#include "output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "messages.h"

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

// `requested` less the process's umask, as open() would create it.
mode_t apply_umask(mode_t requested) noexcept {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return requested & ~mask;
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
        say(Message::WriteRefused, step, path.c_str(), failure.reason);
    else
        say_error(failure.error, Message::WriteFailed, step, path.c_str());
}

FilePermissions permissions_for(ResultText result) noexcept {
    if (result == ResultText::Sealed)
        return {apply_umask(0666), 07777};
    return {0600, mode_t(~mode_t(S_IRWXG | S_IRWXO))};
}

}  // namespace tarnel::cli
