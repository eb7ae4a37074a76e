// SPDX-License-Identifier: MIT
// The refusals of a text that the whole-text way and the file way share, so that
// both say the same.
#pragma once

namespace tarnel::cli {

void report_not_sealed();
void report_zero_byte();
void report_too_large();

}  // namespace tarnel::cli
