// SPDX-License-Identifier: MIT
// Sealing or opening a text that sits in a regular file, in pieces, so that memory
// stays bounded however large the file. What it writes, refuses and warns about is
// what the whole-text way gives for the same file.
#pragma once

#include <string>

#include "file_text.h"
#include "options.h"

namespace tarnel::cli {

/// Runs the command on `text`. `password` holds the given password when `given`;
/// otherwise it is asked for once the direction is known. Every refusal comes
/// before the first byte of output. Returns the exit status.
int run_file_text(const Options& options, const FileText& text, std::string& password, bool given);

}  // namespace tarnel::cli
