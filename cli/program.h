// SPDX-License-Identifier: MIT
// The program behind the platform's entry point.
#pragma once

namespace tarnel::cli {

/// Runs tarnel-cli with `argv` in UTF-8 and returns its exit status.
int run_program(int argc, char** argv) noexcept;

}  // namespace tarnel::cli
