// SPDX-License-Identifier: MIT
#include "open_report.h"

#include "diagnostics.h"

namespace tarnel::cli {

bool warn_about_opened(const ProcessOutcome& outcome) {
    return warn_about_opened(outcome.damage, outcome.looks_genuine);
}

bool warn_about_opened(const BodyDamage& damage, bool looks_genuine) {
    const char* const damaged = "warning: the sealed text is damaged:";
    if (damage.partial_block)
        report("%s its hex digits do not make whole blocks", damaged);
    if (damage.bad_digits)
        report("%s it holds characters other than 0-9 and a-f", damaged);
    if (damage.bad_trailer) {
        report("%s it does not end in a ten-digit block count", damaged);
    }
    if (damage.count_mismatch) {
        report("%s its block count does not match its length", damaged);
    }
    if (!looks_genuine) {
        report("warning: the result does not look like a text sealed with this password");
    }
    return damage.any() || !looks_genuine;
}

bool has_control_bytes(std::string_view text) noexcept {
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F) {
            return true;
        }
    }
    return false;
}

}  // namespace tarnel::cli
