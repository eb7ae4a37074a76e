// SPDX-License-Identifier: MIT
// Files by name and descriptors as the platform has them: names are UTF-8, and
// every byte passes unchanged.
#pragma once

#include <string>

namespace tarnel::cli {

/// Opens the file at `path` for reading. Returns a descriptor, or -1 with errno set.
int open_to_read(const std::string& path) noexcept;

/// Makes `fd` pass bytes as they are: Windows would otherwise turn CR LF into LF
/// and stop at a Ctrl+Z. Does nothing where descriptors have no text mode.
void use_binary_mode(int fd) noexcept;

}  // namespace tarnel::cli
