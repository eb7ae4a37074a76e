// SPDX-License-Identifier: MIT
// Where the password comes from: a file, a descriptor, or the terminal; never
// the command line, where other users could read it.
#pragma once

#include <string>

#include "options.h"

namespace tarnel::cli {

/// True when `options` name a file or descriptor, so no prompt is needed.
bool password_is_given(const Options& options) noexcept;

/// Reads the first line of the password file or descriptor into `password`.
/// Reports a failure and returns false.
bool read_given_password(const Options& options, std::string& password);

/// Asks on the terminal; with `confirm`, asks twice and insists on the same answer.
/// Reports a failure (no terminal, a read error, two different answers) and
/// returns false. An empty first answer is returned at once, unconfirmed.
bool ask_password(bool confirm, std::string& password);

}  // namespace tarnel::cli
