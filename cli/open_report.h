// SPDX-License-Identifier: MIT
// Judging an opened text: what to warn about, and whether it is fit for a terminal.
#pragma once

#include <string_view>

#include "tarnel/process.h"

namespace tarnel::cli {

/// Writes one warning line for each thing wrong with the opened `outcome`.
/// Returns true when there was anything to warn about.
bool warn_about_opened(const ProcessOutcome& outcome);
bool warn_about_opened(const BodyDamage& damage, bool looks_genuine);

/// True when `text` holds a control byte other than TAB, LF and CR, as the bytes a
/// wrong password gives nearly always do; such bytes could also drive a terminal.
bool has_control_bytes(std::string_view text) noexcept;

}  // namespace tarnel::cli
