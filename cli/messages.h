// SPDX-License-Identifier: MIT
// Every message tarnel-cli writes to standard error, in one table. Each is one
// line, "tarnel-cli: ...", in printf form; say_error() adds the errno's text.
#pragma once

namespace tarnel::cli {

enum class Message {
    // Refusals of the text or the password, before anything is written.
    NotSealed,
    TextNul,
    TooLarge,
    TooLargeToHold,  // name, MiB
    InvalidText,
    EngineMessage,  // the engine's own words
    // Reading.
    CannotOpenText,         // path
    CannotRead,             // name
    ChangedNothingWritten,  // name
    ChangedIncomplete,      // name
    // The password.
    PasswordTooLong,         // source, bytes
    CannotReadPassword,      // source
    CannotOpenPasswordFile,  // path
    NoTerminal,
    PasswordsDiffer,
    // Writing.
    CannotWriteStdout,
    WriteFailed,   // step, path
    WriteRefused,  // step, path, reason
    ControlCharacters,
    CheckFailedIncomplete,  // "standard output" or the path
    OutputIncomplete,       // "standard output" or the path
    OutputIsInput,          // path, "text" or "password"
    // A result with doubts, in the engine's words.
    Warning,  // its length, then the line
    // The program.
    UsageError,  // what is wrong
    NoMemory,
    UnexpectedFailure,
};

/// Writes `message`, formatted with the arguments, as one line.
void say(Message message, ...);
/// The same with ": " and the text of `error` (an errno value) appended.
void say_error(int error, Message message, ...);

}  // namespace tarnel::cli
