// SPDX-License-Identifier: MIT
// What --help and --version print.
#pragma once

namespace tarnel::cli {

/// Returns 0, or the errno of a failed write.
int print_help() noexcept;
int print_version() noexcept;

}  // namespace tarnel::cli
