// SPDX-License-Identifier: MIT
// Every error and warning is one line on standard error, "tarnel-cli: ...".
#pragma once

namespace tarnel::cli {

inline constexpr const char* kProgramName = "tarnel-cli";

/// Writes "tarnel-cli: " and the formatted message as one line.
void report(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// Like report(), with ": " and the text of `error` (an errno value) appended.
void report_error(int error, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace tarnel::cli
