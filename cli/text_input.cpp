// SPDX-License-Identifier: MIT
#include "text_input.h"

#include <unistd.h>

#include <cerrno>

#include "diagnostics.h"
#include "file_access.h"
#include "secret_reader.h"

namespace tarnel::cli {

int open_text(const std::string& path) {
    if (path.empty())
        return STDIN_FILENO;
    const int fd = open_to_read(path);
    if (fd < 0)
        report_error(errno, "cannot open %s", path.c_str());
    return fd;
}

std::string text_name(const std::string& path) {
    return path.empty() ? "standard input" : path;
}

bool read_text_from(int fd, const std::string& path, std::string& text) {
    const int error = read_all(fd, text);
    if (error != 0)
        report_error(error, "cannot read %s", text_name(path).c_str());
    return error == 0;
}

bool read_text(const std::string& path, std::string& text) {
    const int fd = open_text(path);
    if (fd < 0)
        return false;
    const bool done = read_text_from(fd, path, text);
    if (fd != STDIN_FILENO)
        ::close(fd);
    return done;
}

}  // namespace tarnel::cli
