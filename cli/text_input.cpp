// SPDX-License-Identifier: MIT
#include "text_input.h"

#include <unistd.h>

#include <cerrno>

#include "diagnostics.h"
#include "file_access.h"
#include "secret_reader.h"

namespace tarnel::cli {

bool read_text(const std::string& path, std::string& text) {
    if (path.empty()) {
        const int error = read_all(STDIN_FILENO, text);
        if (error != 0)
            report_error(error, "cannot read standard input");
        return error == 0;
    }
    const int fd = open_to_read(path);
    if (fd < 0) {
        report_error(errno, "cannot open %s", path.c_str());
        return false;
    }
    const int error = read_all(fd, text);
    ::close(fd);
    if (error != 0)
        report_error(error, "cannot read %s", path.c_str());
    return error == 0;
}

}  // namespace tarnel::cli
