// SPDX-License-Identifier: MIT
#include "tarnel/process.h"

#include <new>

#include "lending_sink.h"
#include "piece_reader.h"
#include "tarnel/secure_wipe.h"
#include "tarnel/text_process.h"

namespace tarnel {
namespace {

ProcessOutcome::Kind kind_of(ProcessEnd end) noexcept {
    switch (end) {
        case ProcessEnd::Done:
            return ProcessOutcome::Kind::NewText;
        case ProcessEnd::NotSealed:
            return ProcessOutcome::Kind::NotSealed;
        case ProcessEnd::CheckFailed:
            return ProcessOutcome::Kind::CheckFailed;
        default:  // a refusal with words of its own, or a result that cannot be had
            return process_message(end).empty() ? ProcessOutcome::Kind::TooLarge
                                                : ProcessOutcome::Kind::Message;
    }
}

}  // namespace

ProcessReport ProcessTextFrom(std::string_view text, PasswordProvider& password, ProcessSink& sink,
                              const ProcessSettings& settings) noexcept {
    MemorySource source(text);
    return ProcessTextFrom(source, password, sink, settings);
}

ProcessOutcome::~ProcessOutcome() {
    // A sealed text is what the user sends out anyway; wiping a large one would
    // cost as much as sealing it.
    if (kind == Kind::NewText && sealed)
        return;
    secure_wipe(text);
}

ProcessOutcome ProcessText(std::string_view password, std::string_view text,
                           ProcessDirection direction) noexcept {
    ProcessOutcome outcome;
    GivenPassword given(password);
    ProcessSettings settings;
    settings.direction = direction;
    StringResult result(outcome.text);
    static_cast<ProcessReport&>(outcome) = ProcessTextFrom(text, given, result, settings);
    outcome.kind = kind_of(outcome.end);
    if (outcome.kind == ProcessOutcome::Kind::NewText) {
        outcome.sealed = outcome.sealing;
        outcome.warning = warning_message(outcome);
        return outcome;
    }
    secure_wipe(outcome.text);
    try {
        if (outcome.kind == ProcessOutcome::Kind::Message)
            outcome.text.assign(process_message(outcome.end));
    } catch (const std::bad_alloc&) {
        outcome.kind = ProcessOutcome::Kind::TooLarge;
    }
    return outcome;
}

}  // namespace tarnel
