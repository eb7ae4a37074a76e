// SPDX-License-Identifier: MIT
#include "memory_process.h"

#include <optional>

#include "body_layout.h"
#include "plain_forms.h"
#include "process_steps.h"
#include "stack_wipe.h"
#include "tarnel/codepage.h"
#include "tarnel/secure_wipe.h"
#include "text_opener.h"
#include "text_sealer.h"

namespace tarnel {
namespace {

// Wipes an optional text when it goes.
struct WipedText {
    std::optional<std::string> text;
    ~WipedText() {
        if (text)
            secure_wipe(*text);
    }
};

ProcessEnd seal_bytes(std::string_view plain, const TextKey& key, ProcessSink& sink) noexcept {
    // Widened first: where size_t has 32 bits no text reaches the limit.
    if (uint64_t(plain.size()) > kMaxPlainLength)
        return ProcessEnd::TooLarge;
    if (!sink.begin(true))
        return ProcessEnd::SinkFailed;
    TextSealer sealer;
    if (!sealer.start(key, plain.size(), Envelope::Included, sink))
        return ProcessEnd::TooLarge;
    sealer.feed(plain);
    return seal_end(sealer.finish(), sink);
}

ProcessEnd seal_into(std::string_view text, const TextKey& key, const ProcessSettings& settings,
                     ProcessSink& sink) noexcept {
    if (settings.form == PlainForm::Bytes)
        return seal_bytes(trim_text(text), key, sink);
    WipedText bytes;
    bytes.text = text_to_bytes(text);
    if (!bytes.text)
        return ProcessEnd::TooLarge;
    return seal_bytes(trim_text(*bytes.text), key, sink);
}

// Opens the whole hex part of `body` into `out`; false when memory runs out.
bool open_whole(std::string_view body, const BodyLayout& layout, const TextKey& key, TextSink& out,
                OpenSummary& summary) noexcept {
    TextOpener opener;
    if (!opener.start(key, layout, out))
        return false;
    opener.feed(body.substr(0, layout.hex_end));
    opener.finish(summary);
    return true;
}

ProcessEnd open_into(std::string_view body, const TextKey& key, const ProcessSettings& settings,
                     ProcessSink& sink, ProcessReport& report) noexcept {
    const BodyLayout layout = analyse_body(body, report.damage);
    // Text form: whether the opened bytes are UTF-8 is known only at their end,
    // so they are opened once to tell, and once more on their way out.
    bool utf8 = false;
    OpenSummary summary;
    if (settings.form == PlainForm::Text) {
        Utf8Sink check;
        if (!open_whole(body, layout, key, check, summary))
            return ProcessEnd::TooLarge;
        utf8 = check.finish();
    }
    if (!sink.begin(false))
        return ProcessEnd::SinkFailed;
    OpenedText out(settings.form, utf8, settings.line_break, sink);
    if (!open_whole(body, layout, key, out, summary))
        return ProcessEnd::TooLarge;
    out.finish();
    report.looks_genuine = summary.looks_genuine;
    return sink.failed() ? ProcessEnd::SinkFailed : ProcessEnd::Done;
}

}  // namespace

ProcessReport process_in_memory(std::string_view text, PasswordProvider& password,
                                ProcessSink* sink, std::string* whole,
                                const ProcessSettings& settings) noexcept {
    const StackWipe wipe_on_return;
    ProcessReport report;
    if (password_refused_first(password, report))
        return report;
    const std::string_view trimmed = trim_in_form(text, settings.form);
    if (!choose_direction(is_sealed_text(trimmed), settings.direction, report))
        return report;
    report.cut_short = report.sealing && settings.direction == ProcessDirection::ByEnvelope &&
                       looks_cut_short(trimmed);
    const bool text_form = settings.form == PlainForm::Text;
    if (report.sealing && trimmed.find('\0') != std::string_view::npos) {
        report.end = ProcessEnd::TextNul;
        return report;
    }
    // What trimming dropped is valid UTF-8 of itself.
    if (report.sealing && text_form && !is_valid_utf8(trimmed)) {
        report.end = ProcessEnd::InvalidText;
        return report;
    }
    ProcessKey key;
    if (!key.obtain(password, report))
        return report;
    if (!report.sealing && text_form && !is_valid_utf8(trimmed)) {
        report.end = ProcessEnd::InvalidText;
        return report;
    }
    const std::string_view body =
        report.sealing ? std::string_view()
                       : trimmed.substr(kSealedOpen.size(),
                                        trimmed.size() - kSealedOpen.size() - kSealedClose.size());
    if (whole != nullptr) {
        // The window's way: the engine fills the string in place on every CPU.
        bool done = false;
        if (report.sealing) {
            done = key.cipher().EncryptText(key.key(), trimmed, *whole, Envelope::Included);
        } else {
            OpenSummary summary;
            done = key.cipher().DecryptText(key.key(), body, *whole, &summary);
            report.looks_genuine = summary.looks_genuine;
            report.damage = summary.damage;
        }
        if (!done)
            report.end =
                key.cipher().SealCheckFailed() ? ProcessEnd::CheckFailed : ProcessEnd::TooLarge;
        return report;
    }
    report.end = report.sealing ? seal_into(text, key.key(), settings, *sink)
                                : open_into(body, key.key(), settings, *sink, report);
    return report;
}

ProcessReport ProcessTextFrom(std::string_view text, PasswordProvider& password, ProcessSink& sink,
                              const ProcessSettings& settings) noexcept {
    return process_in_memory(text, password, &sink, nullptr, settings);
}

}  // namespace tarnel
