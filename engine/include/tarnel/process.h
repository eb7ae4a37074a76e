// SPDX-License-Identifier: MIT
// The one action of the program: seal a plain text or open a sealed one.
#pragma once

#include <string>
#include <string_view>

#include "tarnel/sealed_format.h"

namespace tarnel {

inline constexpr std::string_view kEmptyPasswordMessage = "Please Enter the Password to Process";

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
    };
    Kind kind = Kind::NewText;
    std::string text;
    bool sealed = false;         ///< NewText: true for a sealed text, false for an opened one
    bool looks_genuine = false;  ///< opened: see looks_genuine() in sealed_format.h
    BodyDamage damage;           ///< opened: what the body got wrong

    ProcessOutcome() = default;
    ProcessOutcome(const ProcessOutcome&) = default;
    ProcessOutcome(ProcessOutcome&&) noexcept = default;
    ProcessOutcome& operator=(const ProcessOutcome&) = default;
    ProcessOutcome& operator=(ProcessOutcome&&) noexcept = default;
    /// Wipes `text`, which may be a plain text; a sealed text is left as it is.
    ~ProcessOutcome();
};

/// Trims `text`, refuses an empty `password` with kEmptyPasswordMessage (the
/// password is never trimmed), then seals or opens as `direction` says. A sealed
/// text is "{{" body "}}"; an opened text comes without the envelope. Keeps nothing
/// between calls. Never throws.
ProcessOutcome ProcessText(std::string_view password, std::string_view text,
                           ProcessDirection direction = ProcessDirection::ByEnvelope) noexcept;

}  // namespace tarnel
