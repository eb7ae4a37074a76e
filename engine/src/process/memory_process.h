// SPDX-License-Identifier: MIT
// The process of a text held whole in memory, which ProcessText shares.
#pragma once

#include <string>
#include <string_view>

#include "tarnel/text_process.h"

namespace tarnel {

/// With `whole`, the result goes into that string in one go (Bytes form only,
/// `sink` unused); otherwise into `sink`, a piece at a time.
ProcessReport process_in_memory(std::string_view text, PasswordProvider& password,
                                ProcessSink* sink, std::string* whole,
                                const ProcessSettings& settings) noexcept;

}  // namespace tarnel
