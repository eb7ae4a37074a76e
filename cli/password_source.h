// SPDX-License-Identifier: MIT
// Where the password comes from: a file, a descriptor, or the terminal; never
// the command line, where other users could read it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "options.h"

namespace tarnel::cli {

/// Longest password, in bytes. Only the first eight count, and a terminal line
/// holds at most 4095 characters; the bound is there so that a source that never
/// ends a line (a device, a file that is not a password file) is refused at once.
inline constexpr std::size_t kMaxPasswordBytes = 4096;

/// True when `options` name a file or descriptor, so no prompt is needed.
bool password_is_given(const Options& options) noexcept;

/// Reads the first line of the password file or descriptor into `password`, as the
/// bytes it stands for (convert_password_in_place(), as every program). Reports a
/// failure (a read error, a line over kMaxPasswordBytes) and returns false.
bool read_given_password(const Options& options, std::string& password);

/// True when a prompt could ask for the password; otherwise says there is no
/// terminal and returns false. Touches neither the terminal nor its settings.
bool can_ask_password();

/// Asks on the terminal, for the bytes the answer stands for; with `confirm`, asks
/// twice and insists on the same answer. Reports a failure (no terminal, a read
/// error, an answer that password_is_usable() refuses, two different answers) and
/// returns false.
bool ask_password(bool confirm, std::string& password);

/// Refuses, with the engine's message, a password no seal may use: an empty one,
/// or one holding a NUL, which would cut the key short.
bool password_is_usable(std::string_view password);

}  // namespace tarnel::cli
