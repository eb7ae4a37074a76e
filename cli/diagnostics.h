// SPDX-License-Identifier: MIT
// Every error and warning is one line on standard error, "tarnel-cli: ...". The
// messages themselves are in messages.h.
#pragma once

#include <cstdarg>

namespace tarnel::cli {

inline constexpr const char* kProgramName = "tarnel-cli";

/// Writes "tarnel-cli: " and the formatted message as one line, with ": " and the
/// text of `error` (an errno value) appended unless it is 0.
void report_line(int error, const char* format, va_list args);

}  // namespace tarnel::cli
