// SPDX-License-Identifier: MIT
#include "diagnostics.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "output.h"

namespace tarnel::cli {

// Builds the whole line first, so that it goes out in one write and cannot mix
// with anything else written to standard error.
void report_line(int error, const char* format, va_list args) {
    char line[4096];
    std::size_t used = std::size_t(std::snprintf(line, sizeof line, "%s: ", kProgramName));
    const int message = std::vsnprintf(line + used, sizeof line - used, format, args);
    if (message > 0)
        used += std::size_t(message);
    if (used > sizeof line - 1)
        used = sizeof line - 1;
    if (error != 0) {
        const int suffix =
            std::snprintf(line + used, sizeof line - used, ": %s", std::strerror(error));
        if (suffix > 0)
            used += std::size_t(suffix);
        if (used > sizeof line - 1)
            used = sizeof line - 1;
    }
    line[used++] = '\n';
    write_all(STDERR_FILENO, {std::string_view(line, used)});
}

}  // namespace tarnel::cli
