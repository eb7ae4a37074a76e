// SPDX-License-Identifier: MIT
#include "messages.h"

#include <cstdarg>

#include "diagnostics.h"

namespace tarnel::cli {
namespace {

const char* format_of(Message message) noexcept {
    switch (message) {
        case Message::NotSealed:
            return "the text is not a sealed text: it does not begin with {{ and end with }}";
        case Message::TextNul:
            return "the text holds a zero byte, where opening would cut it short; nothing sealed";
        case Message::TooLarge:
            return "the text is too large, or memory ran out";
        case Message::TooLargeToHold:
            return "%s is too large to hold in memory (more than %s MiB)";
        case Message::InvalidText:
            return "the text is not valid UTF-8; use --bytes to seal or open its exact bytes";
        case Message::EngineMessage:
            return "%s";
        case Message::CannotOpenText:
            return "cannot open %s";
        case Message::CannotRead:
            return "cannot read %s";
        case Message::ChangedNothingWritten:
            return "%s changed while it was read; nothing was written";
        case Message::ChangedIncomplete:
            return "%s changed while it was read; the output is incomplete";
        case Message::PasswordTooLong:
            return "the password from %s is longer than %s bytes";
        case Message::CannotReadPassword:
            return "cannot read the password from %s";
        case Message::CannotOpenPasswordFile:
            return "cannot open the password file %s";
        case Message::NoTerminal:
            return "no terminal to ask for the password on; use --password-file or --password-fd";
        case Message::PasswordsDiffer:
            return "the two passwords differ; nothing was sealed";
        case Message::CannotWriteStdout:
            return "cannot write standard output";
        case Message::WriteFailed:
            return "%s %s";
        case Message::WriteRefused:
            return "%s %s: %s";
        case Message::ControlCharacters:
            return "the opened text holds control characters, as a wrong password gives; "
                   "not written to the terminal (use -o FILE or --force)";
        case Message::CheckFailedIncomplete:
            return "the sealed text failed its check; %s got an incomplete text";
        case Message::OutputIncomplete:
            return "%s got an incomplete text";
        case Message::OutputIsInput:
            return "not writing to %s: it is the %s file, which would be lost";
        case Message::Warning:
            return "warning: %.*s";
        case Message::UsageError:
            return "%s (see tarnel-cli --help)";
        case Message::NoMemory:
            return "not enough memory";
        case Message::UnexpectedFailure:
            return "unexpected failure";
    }
    return "unexpected failure";
}

}  // namespace

void say(Message message, ...) {
    va_list args;
    va_start(args, message);
    report_line(0, format_of(message), args);
    va_end(args);
}

void say_error(int error, Message message, ...) {
    va_list args;
    va_start(args, message);
    report_line(error, format_of(message), args);
    va_end(args);
}

}  // namespace tarnel::cli
