// SPDX-License-Identifier: MIT
#include "output_file.h"

#include <unistd.h>

#include <cerrno>

namespace tarnel::cli {

OutputFile::~OutputFile() {
    abandon();
}

bool OutputFile::begin(const std::string& path, ResultText result, Temporary temporary) {
    m_target = find_output_target(path);
    m_failure = m_target.failure;
    if (m_target.kind == OutputTarget::Kind::File) {
        m_failure = m_replacement.create(m_target.directory, m_target.name,
                                         m_target.exists ? &m_target.existing : nullptr,
                                         permissions_for(result), temporary);
    }
    return !m_failure.failed();
}

int OutputFile::output_fd() const noexcept {
    return m_target.kind == OutputTarget::Kind::Descriptor ? m_target.fd : m_replacement.fd();
}

void OutputFile::write(std::string_view piece) noexcept {
    if (m_failure.failed() || piece.empty())
        return;
    const int fd = output_fd();
    if (fd < 0) {
        m_failure = {EBADF, "cannot write"};
        return;
    }
    m_wrote_directly = m_target.kind == OutputTarget::Kind::Descriptor;
    if (const int error = write_all(fd, {piece}); error != 0)
        m_failure = {error, "cannot write"};
}

bool OutputFile::is_terminal() const noexcept {
    return m_target.kind == OutputTarget::Kind::Descriptor && ::isatty(m_target.fd) == 1;
}

bool OutputFile::restart() noexcept {
    const int fd = m_replacement.fd();
    if (!replaces_file() || m_failure.failed() || fd < 0)
        return false;
    if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
        m_failure = {errno, "cannot write"};
        return false;
    }
    return true;
}

WriteFailure OutputFile::commit() {
    if (m_target.kind == OutputTarget::Kind::File) {
        if (m_failure.failed())
            m_replacement.discard();
        else
            m_failure = m_replacement.install();
    } else if (const int error = close_descriptor(); error != 0 && !m_failure.failed()) {
        m_failure = {error, "cannot write"};
    }
    m_target.kind = OutputTarget::Kind::Refused;
    m_wrote_directly = false;
    return m_failure;
}

bool OutputFile::abandon() noexcept {
    m_replacement.discard();
    close_descriptor();
    m_target.kind = OutputTarget::Kind::Refused;
    const bool incomplete = m_wrote_directly;
    m_wrote_directly = false;
    return incomplete;
}

int OutputFile::close_descriptor() noexcept {
    const int error = m_target.owns_fd && ::close(m_target.fd) != 0 ? errno : 0;
    m_target.owns_fd = false;
    m_target.fd = -1;
    return error;
}

WriteFailure write_output(const std::string& path, ResultText result,
                          std::initializer_list<std::string_view> pieces) {
    OutputFile file;
    if (!file.begin(path, result))
        return file.failure();
    for (const std::string_view piece : pieces)
        file.write(piece);
    return file.commit();
}

}  // namespace tarnel::cli
