// SPDX-License-Identifier: MIT
// The words of a refusal and of a doubtful result, which every program shows alike.
#include <new>
#include <string>

#include "tarnel/text_process.h"

namespace tarnel {

std::string_view process_message(ProcessEnd end) noexcept {
    switch (end) {
        case ProcessEnd::EmptyPassword:
            return kEmptyPasswordMessage;
        case ProcessEnd::PasswordNul:
            return kPasswordNulMessage;
        case ProcessEnd::TextNul:
            return kTextNulMessage;
        case ProcessEnd::InvalidText:
            return kInvalidTextMessage;
        case ProcessEnd::CheckFailed:
            return kSealCheckFailedMessage;
        default:
            return {};
    }
}

std::size_t process_warnings(const ProcessReport& report,
                             std::string_view (&lines)[kMostWarnings]) noexcept {
    std::size_t count = 0;
    if (!report.doubtful())
        return count;
    if (report.sealing) {
        lines[count++] =
            "the text begins like a sealed text whose end is missing, and was sealed "
            "as it stands";
        return count;
    }
    if (report.damage.partial_block)
        lines[count++] = "the sealed text is damaged: its hex digits do not make whole blocks";
    if (report.damage.bad_digits)
        lines[count++] = "the sealed text is damaged: it holds characters other than 0-9 and a-f";
    if (report.damage.bad_trailer)
        lines[count++] = "the sealed text is damaged: it does not end in a ten-digit block count";
    if (report.damage.count_mismatch)
        lines[count++] = "the sealed text is damaged: its block count does not match its length";
    if (!report.looks_genuine)
        lines[count++] = "the result does not look like a text sealed with this password";
    return count;
}

std::string warning_message(const ProcessReport& report) noexcept {
    std::string_view lines[kMostWarnings];
    const std::size_t count = process_warnings(report, lines);
    std::string message;
    if (count == 0)
        return message;
    try {
        for (std::size_t k = 0; k < count; ++k) {
            message.append(lines[k]);
            message[message.size() - lines[k].size()] -= 'a' - 'A';
            message.append(".\n");
        }
        message.append(report.sealing ? "\nPress Ctrl+Z to get the text back as it was."
                                      : "\nPress Ctrl+Z to get the sealed text back.");
    } catch (const std::bad_alloc&) {
        message.clear();
    }
    return message;
}

}  // namespace tarnel
