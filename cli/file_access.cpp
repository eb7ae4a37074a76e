// SPDX-License-Identifier: MIT
// Files by name on POSIX systems.
#include "file_access.h"

#include <fcntl.h>

namespace tarnel::cli {

int open_to_read(const std::string& path) noexcept {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

void use_binary_mode(int) noexcept {}

}  // namespace tarnel::cli
