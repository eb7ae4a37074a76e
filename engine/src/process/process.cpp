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
        case ProcessEnd::EmptyPassword:
        case ProcessEnd::PasswordNul:
        case ProcessEnd::TextNul:
            return ProcessOutcome::Kind::Message;
        default:
            return ProcessOutcome::Kind::TooLarge;
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
    const ProcessReport report = ProcessTextFrom(text, given, result, settings);
    static_cast<ProcessReport&>(outcome) = report;
    outcome.kind = kind_of(report.end);
    if (outcome.kind != ProcessOutcome::Kind::NewText)
        secure_wipe(outcome.text);
    if (outcome.kind == ProcessOutcome::Kind::Message) {
        try {
            outcome.text.assign(process_message(report.end));
        } catch (const std::bad_alloc&) {
            outcome.kind = ProcessOutcome::Kind::TooLarge;
        }
    }
    outcome.sealed = outcome.kind == ProcessOutcome::Kind::NewText && report.sealing;
    if (outcome.kind == ProcessOutcome::Kind::NewText)
        outcome.warning = warning_message(report);
    return outcome;
}

}  // namespace tarnel
