// SPDX-License-Identifier: MIT
// Reading the text to seal or open.
#pragma once

#include <string>

namespace tarnel::cli {

/// Opens the file at `path` for reading, or gives standard input when `path` is
/// empty. Reports a failure and returns -1.
int open_text(const std::string& path);

/// What messages call the text at `path`: the path, or "standard input".
std::string text_name(const std::string& path);

/// Reads what is left of `fd` whole into `text`. Reports a failure, naming `path`
/// as text_name() does, and returns false.
bool read_text_from(int fd, const std::string& path, std::string& text);

/// open_text and read_text_from together, closing what it opened.
bool read_text(const std::string& path, std::string& text);

}  // namespace tarnel::cli
