// SPDX-License-Identifier: MIT
// The one action of the program: seal a plain text or open a sealed one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tarnel/sealed_format.h"

namespace tarnel {

inline constexpr std::string_view kEmptyPasswordMessage = "Please Enter the Password to Process";
/// A NUL cannot be typed into the old program's password field, and cutting the
/// password at it would silently change the key.
inline constexpr std::string_view kPasswordNulMessage = "The password holds a NUL character.";
/// Opening ends a text at its first NUL, so a text holding one would not come back.
inline constexpr std::string_view kTextNulMessage =
    "The text holds a NUL character, which a sealed text cannot keep.";
/// Programs that take a text as characters cannot seal bytes that are not UTF-8
/// without guessing what they stand for.
inline constexpr std::string_view kInvalidTextMessage =
    "The text is not valid UTF-8, so it cannot be processed as a text.";
/// For a result that memory, a text box or the format's block count cannot hold;
/// the text stays as it was.
inline constexpr std::string_view kTooLargeMessage = "The text is too large to process.";
/// Every seal is opened again and compared with the text before it is handed out.
inline constexpr std::string_view kSealCheckFailedMessage =
    "The sealed text failed its check; nothing was changed.";

/// How the operation ended. A refusal comes before the sink begins; ReadFailed,
/// SinkFailed, CheckFailed and a TooLarge for want of memory may come after, with
/// part of a result in the sink, which a program then throws away or declares
/// incomplete.
enum class ProcessEnd {
    Done,            ///< sealed or opened; see ProcessReport for an open's doubts
    EmptyPassword,   ///< kEmptyPasswordMessage
    PasswordNul,     ///< kPasswordNulMessage
    TextNul,         ///< kTextNulMessage: a text to seal holds a NUL
    NotSealed,       ///< opening was asked of a text outside "{{" ... "}}"
    InvalidText,     ///< kInvalidTextMessage: text form, a text that is not valid UTF-8
    TooLarge,        ///< over kMaxPlainLength, or memory ran out
    StreamTooLarge,  ///< a stream longer than ProcessSettings::stream_limit
    NoPassword,      ///< the provider gave none
    ReadFailed,      ///< the source failed; the sink may hold part of a result
    SinkFailed,      ///< the sink refused to begin or a write failed
    CheckFailed,     ///< kSealCheckFailedMessage; the sink holds part of a seal
};

/// How a process went, in every program: its end, its direction and what a
/// result that stands deserves a warning about.
struct ProcessReport {
    ProcessEnd end = ProcessEnd::Done;
    bool sealing = false;        ///< the direction taken, once known
    bool looks_genuine = false;  ///< opened: see looks_genuine() in sealed_format.h
    BodyDamage damage;           ///< opened: what the body got wrong
    /// Sealed by the envelope's choice, though the text began like a sealed text
    /// whose end is missing (see CutShortWatch in sealed_format.h).
    bool cut_short = false;

    /// Done, but the result deserves a warning (see process_warnings()): an opened
    /// text from a damaged body or, by the odds, a wrong password; or a sealed text
    /// that was a sealed one cut short.
    bool doubtful() const noexcept {
        return end == ProcessEnd::Done && (sealing ? cut_short : damage.any() || !looks_genuine);
    }
};

/// Refuses a password no seal may use: EmptyPassword, PasswordNul, or Done.
ProcessEnd check_password(std::string_view password) noexcept;

/// The warnings a doubtful result deserves, in the words every program shows:
/// each a sentence in lower case without its full stop, as tarnel-cli prints it
/// after "warning: ". Fills `lines` and returns how many (none for a result that
/// is not doubtful).
inline constexpr std::size_t kMostWarnings = 5;
std::size_t process_warnings(const ProcessReport& report,
                             std::string_view (&lines)[kMostWarnings]) noexcept;

/// The warnings for a message box: each sentence on a line of its own, then how to
/// get the text back. Empty for a result that is not doubtful, or without memory.
std::string warning_message(const ProcessReport& report) noexcept;

/// The engine's message for a refusal that has one (EmptyPassword, PasswordNul,
/// TextNul, InvalidText, CheckFailed); empty for the others.
std::string_view process_message(ProcessEnd end) noexcept;

/// How the direction is chosen. The window always uses ByEnvelope.
enum class ProcessDirection {
    ByEnvelope,  ///< open a text in "{{" ... "}}", seal anything else
    Seal,        ///< seal whatever the text is
    Open,        ///< open; a text outside the envelope is refused
};

/// What ProcessText gives: the report, and the text that replaces the text box's.
struct ProcessOutcome : ProcessReport {
    enum class Kind {
        Message,    ///< `text` is a message for the user; the text box stays as it is
        NewText,    ///< `text` replaces the whole text
        NotSealed,  ///< Open was asked for a text that is not sealed; `text` is empty
        TooLarge,   ///< the result cannot be had (memory, or the trailer's limit); `text` is empty
        CheckFailed,  ///< the seal did not open to the text (an internal fault); `text` is empty
    };
    Kind kind = Kind::NewText;
    std::string text;
    bool sealed = false;  ///< NewText: true for a sealed text, false for an opened one
    /// NewText that deserves a warning, shown after the text is replaced:
    /// warning_message() in a message box; empty for none.
    std::string warning;

    ProcessOutcome() = default;
    ProcessOutcome(const ProcessOutcome&) = default;
    ProcessOutcome(ProcessOutcome&&) noexcept = default;
    ProcessOutcome& operator=(const ProcessOutcome&) = default;
    ProcessOutcome& operator=(ProcessOutcome&&) noexcept = default;
    /// Wipes `text`, which may be a plain text; a sealed text is left as it is.
    ~ProcessOutcome();
};

/// Trims `text`, refuses an empty `password` with kEmptyPasswordMessage (the
/// password is never trimmed) and one holding a NUL with kPasswordNulMessage, then
/// seals or opens as `direction` says; a text to seal that holds a NUL is refused
/// with kTextNulMessage. A seal that fails its check gives CheckFailed. A sealed
/// text is "{{" body "}}"; an opened text comes without the envelope. Keeps nothing
/// between calls. Never throws.
ProcessOutcome ProcessText(std::string_view password, std::string_view text,
                           ProcessDirection direction = ProcessDirection::ByEnvelope) noexcept;

}  // namespace tarnel
