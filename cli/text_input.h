// SPDX-License-Identifier: MIT
// Reading the text to seal or open.
#pragma once

#include <string>

#include "tarnel/process.h"

namespace tarnel::cli {

/// Opens the file at `path` for reading, or gives standard input when `path` is
/// empty. Reports a failure and returns -1.
int open_text(const std::string& path);

/// What messages call the text at `path`: the path, or "standard input".
std::string text_name(const std::string& path);

/// Reads what is left of `fd` whole into `text`, to be sealed or opened as
/// `direction` says. Stops and refuses as soon as the bytes read tell (a text to
/// seal holding a zero byte, one to open that does not begin with "{{"), when the
/// text outgrows what memory can hold, and when a regular file changed while it
/// was read. Reports a failure, naming `path` as text_name() does, and returns false.
bool read_text_from(int fd, const std::string& path, ProcessDirection direction, std::string& text);

/// Most bytes of a text read whole: a quarter of usable_memory(), since the
/// result (twice the text, when sealing) and the work on it need the rest.
uint64_t whole_text_limit() noexcept;

}  // namespace tarnel::cli
