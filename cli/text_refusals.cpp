// SPDX-License-Identifier: MIT
#include "text_refusals.h"

#include "diagnostics.h"

namespace tarnel::cli {

void report_not_sealed() {
    report("the text is not a sealed text: it does not begin with {{ and end with }}");
}

void report_zero_byte() {
    report("the text holds a zero byte, where opening would cut it short; nothing sealed");
}

void report_too_large() {
    report("the text is too large, or memory ran out");
}

}  // namespace tarnel::cli
