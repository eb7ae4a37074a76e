// SPDX-License-Identifier: MIT
#include "memory_process.h"

#include <algorithm>

#include "plain_forms.h"
#include "process_steps.h"
#include "tarnel/text_stream.h"

namespace tarnel {
namespace {

// Converted pieces are no larger than this, so a conversion needs little memory.
constexpr std::size_t kConvertPiece = std::size_t(1) << 20;

ProcessEnd seal_into(std::string_view plain, const TextKey& key, const ProcessSettings& settings,
                     ProcessSink& sink) noexcept {
    SealConversion conversion(settings.form);
    conversion.survey(plain);
    const uint64_t length = plain.size() + conversion.added();
    if (length > kMaxPlainLength)
        return ProcessEnd::TooLarge;
    if (!sink.begin(true))
        return ProcessEnd::SinkFailed;
    TextSealer sealer;
    if (!sealer.start(key, length, Envelope::Included, sink))
        return ProcessEnd::TooLarge;
    const std::size_t step = settings.form == PlainForm::Bytes ? plain.size() : kConvertPiece;
    for (std::size_t at = 0; at < plain.size() && !sink.failed();) {
        const std::string_view piece = plain.substr(at, std::max<std::size_t>(step, 1));
        std::string_view converted;
        if (!conversion.convert(piece, converted))
            return ProcessEnd::TooLarge;
        sealer.feed(converted);
        at += piece.size();
    }
    return seal_end(sealer.finish(), sink);
}

ProcessEnd open_into(std::string_view body, const TextKey& key, const ProcessSettings& settings,
                     ProcessSink& sink, ProcessReport& report) noexcept {
    const BodyLayout layout = analyse_body(body, report.damage);
    if (!sink.begin(false))
        return ProcessEnd::SinkFailed;
    OpenConversion conversion(settings.form, sink);
    TextOpener opener;
    if (!opener.start(key, layout, conversion))
        return ProcessEnd::TooLarge;
    opener.feed(body.substr(0, layout.hex_end));
    OpenSummary summary;
    opener.finish(summary);
    conversion.finish();
    report.looks_genuine = summary.looks_genuine;
    return sink.failed() ? ProcessEnd::SinkFailed : ProcessEnd::Done;
}

}  // namespace

ProcessReport process_in_memory(std::string_view text, PasswordProvider& password,
                                ProcessSink* sink, std::string* whole,
                                const ProcessSettings& settings) noexcept {
    ProcessReport report;
    const std::string_view trimmed = trim_text(text);
    if (!choose_direction(is_sealed_text(trimmed), settings.direction, report))
        return report;
    if (report.sealing && trimmed.find('\0') != std::string_view::npos) {
        report.end = ProcessEnd::TextNul;
        return report;
    }
    ProcessKey key;
    if (!key.obtain(password, report))
        return report;
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
            report.end = key.cipher().SealCheckFailed() ? ProcessEnd::CheckFailed
                                                        : ProcessEnd::TooLarge;
        return report;
    }
    report.end = report.sealing ? seal_into(trimmed, key.key(), settings, *sink)
                                : open_into(body, key.key(), settings, *sink, report);
    return report;
}

ProcessReport ProcessTextFrom(std::string_view text, PasswordProvider& password,
                              ProcessSink& sink, const ProcessSettings& settings) noexcept {
    return process_in_memory(text, password, &sink, nullptr, settings);
}

}  // namespace tarnel
