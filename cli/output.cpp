// SPDX-License-Identifier: MIT
// What POSIX and Windows share of writing the result; output_posix.cpp and
// windows_platform.cpp find the target, create the temporary file and put it in
// place.
#ifdef _WIN32
#define _CRT_RAND_S  // rand_s, for the temporary file's name
#endif
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "output.h"
#include "signal_cleanup.h"

namespace tarnel::cli {
namespace {

// ".tarnel-" and ten random letters: short whatever the target's name, so that a
// name near the system's limit still has room beside it. Without entropy, the
// clock and a count still make a name that the retries can use.
std::string random_name() {
    uint64_t bits = 0;
#ifdef _WIN32
    unsigned high = 0, low = 0;
    if (rand_s(&high) == 0 && rand_s(&low) == 0)
        bits = uint64_t(high) << 32 | low;
#else
    if (::getentropy(&bits, sizeof bits) != 0)
        bits = 0;
#endif
    static uint64_t counter = 0;
    if (bits == 0)
        bits = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
               ++counter * 0x9E3779B97F4A7C15u;
    std::string name = ".tarnel-";
    for (int i = 0; i < 10; ++i, bits /= 36)
        name += "abcdefghijklmnopqrstuvwxyz0123456789"[bits % 36];
    return name;
}

}  // namespace

int write_all(int fd, std::string_view piece) noexcept {
    while (!piece.empty()) {
        // Windows counts in an unsigned int.
        const auto written =
            ::write(fd, piece.data(), unsigned(std::min<std::size_t>(piece.size(), 1u << 30)));
        if (written < 0 && errno != EINTR)
            return errno;
        piece.remove_prefix(std::size_t(written < 0 ? 0 : written));
    }
    return 0;
}

bool OutputFile::begin(const std::string& path, ResultText result, Temporary temporary) {
    abandon();
    m_failure = {};
    if (path.empty())
        m_fd = STDOUT_FILENO;
    else
        m_failure = open(path, result, temporary);
    if (m_failure.failed())
        abandon();
    return !m_failure.failed();
}

void OutputFile::write(std::string_view piece) noexcept {
    if (m_failure.failed() || piece.empty())
        return;
    m_wrote_directly = !m_replaces && m_fd >= 0;
    if (const int error = m_fd < 0 ? EBADF : write_all(m_fd, piece); error != 0)
        m_failure = {error, "cannot write"};
}

bool OutputFile::is_terminal() const noexcept {
    return !m_replaces && m_fd >= 0 && ::isatty(m_fd) == 1;
}

bool OutputFile::restart() noexcept {
    if (!replaces_file() || m_failure.failed())
        return false;
    if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0) {
        m_failure = {errno, "cannot write"};
        return false;
    }
    return true;
}

WriteFailure OutputFile::commit() {
    if (!m_failure.failed() && m_replaces) {
        // In place: no temporary file is left to remove.
        if (!(m_failure = install()).failed())
            m_temporary.clear();
    } else if (!m_failure.failed() && std::exchange(m_owns_fd, false) && ::close(m_fd) != 0) {
        m_failure = {errno, "cannot write"};
    }
    m_wrote_directly = false;
    abandon();
    return m_failure;
}

bool OutputFile::abandon() noexcept {
    if (m_owns_fd)
        ::close(m_fd);
    if (!m_temporary.empty())
        remove_temporary();
    if (m_replaces)
        remove_on_signal(nullptr);
    if (m_directory_fd >= 0)
        ::close(m_directory_fd);
    m_fd = m_directory_fd = -1;
    m_owns_fd = m_replaces = false;
    m_temporary.clear();
    return std::exchange(m_wrote_directly, false);
}

WriteFailure OutputFile::with_fresh_name(const char* step,
                                         const std::function<int(const std::string&)>& create) {
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        const std::string name = random_name();
        if ((error = create(name)) == 0) {
            m_temporary = name;
            remove_on_signal((m_directory + name).c_str());
        }
    }
    return {error, error ? step : nullptr};
}

}  // namespace tarnel::cli
