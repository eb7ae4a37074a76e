// SPDX-License-Identifier: MIT
// The one action of the program: seal a plain text or open a sealed one.
#pragma once

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
/// For a result that memory, a text box or the format's block count cannot hold;
/// the text stays as it was.
inline constexpr std::string_view kTooLargeMessage = "The text is too large to process.";
/// Every seal is opened again and compared with the text before it is handed out.
inline constexpr std::string_view kSealCheckFailedMessage =
    "The sealed text failed its check; nothing was changed.";

/// How the direction is chosen. The window always uses ByEnvelope.
enum class ProcessDirection {
    ByEnvelope,  ///< open a text in "{{" ... "}}", seal anything else
    Seal,        ///< seal whatever the text is
    Open,        ///< open; a text outside the envelope is refused
};

struct ProcessOutcome {
    enum class Kind {
        Message,    ///< `text` is a message for the user; the text box stays as it is
        NewText,    ///< `text` replaces the whole text
        NotSealed,  ///< Open was asked for a text that is not sealed; `text` is empty
        TooLarge,   ///< the result cannot be had (memory, or the trailer's limit); `text` is empty
        CheckFailed,  ///< the seal did not open to the text (an internal fault); `text` is empty
    };
    Kind kind = Kind::NewText;
    std::string text;
    bool sealed = false;         ///< NewText: true for a sealed text, false for an opened one
    bool looks_genuine = false;  ///< opened: see looks_genuine() in sealed_format.h
    BodyDamage damage;           ///< opened: what the body got wrong
    bool cut_short = false;      ///< sealed: see ProcessReport::cut_short (text_process.h)
    /// NewText that deserves a warning, shown after the text is replaced:
    /// warning_message() (text_process.h) in a message box; empty for none.
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
