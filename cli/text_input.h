// SPDX-License-Identifier: MIT
// Reading the text to seal or open.
#pragma once

#include <string>

namespace tarnel::cli {

/// Reads the file at `path` whole into `text`, or standard input when `path` is
/// empty. Reports a failure and returns false.
bool read_text(const std::string& path, std::string& text);

}  // namespace tarnel::cli
