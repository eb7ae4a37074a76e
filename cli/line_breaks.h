// SPDX-License-Identifier: MIT
// Line breaks for texts shared with Windows, where a line ends in CR LF.
#pragma once

#include <string>

namespace tarnel::cli {

/// Turns every LF that does not follow a CR into CR LF. Sizes the result once and
/// wipes the old text. May throw std::bad_alloc, with `text` unchanged.
void lf_to_crlf(std::string& text);

/// Turns every CR LF into LF, in place; a lone CR or LF stays.
void crlf_to_lf(std::string& text) noexcept;

}  // namespace tarnel::cli
