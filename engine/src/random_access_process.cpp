// SPDX-License-Identifier: MIT
// A text in a random-access source, read in pieces so memory stays bounded: a
// read-only pass finds everything that could refuse it before the sink gets its
// first byte, then a second pass seals or opens it. Opening into a discardable
// sink takes the chance of one pass: a body without white space (what sealing
// writes) is opened as it is read, its damage told by the pass itself; white
// space in it throws the output away, and the two passes follow.
#include "piece_reader.h"
#include "plain_forms.h"
#include "process_steps.h"
#include "source_survey.h"

namespace tarnel {
namespace {

ProcessEnd read_end(const PieceReader& reader) noexcept {
    return reader.out_of_memory() ? ProcessEnd::TooLarge : ProcessEnd::ReadFailed;
}

ProcessEnd seal_pass(PieceReader& reader, const SourceSurvey& survey, SealConversion& conversion,
                     const TextKey& key, ProcessSink& sink) noexcept {
    const uint64_t length = survey.end - survey.begin + conversion.added();
    if (length > kMaxPlainLength)
        return ProcessEnd::TooLarge;
    if (!sink.begin(true))
        return ProcessEnd::SinkFailed;
    TextSealer sealer;
    if (!sealer.start(key, length, Envelope::Included, sink))
        return ProcessEnd::TooLarge;
    for (uint64_t at = survey.begin; at < survey.end && !sink.failed();) {
        const std::string_view piece = reader.next(at, survey.end);
        if (piece.empty())
            return read_end(reader);
        std::string_view converted;
        if (!conversion.convert(piece, converted))
            return ProcessEnd::TooLarge;
        sealer.feed(converted);
        at += piece.size();
    }
    return seal_end(sealer.finish(), sink);
}

// Opens the body as surveyed. `white_space` tells that an unbroken pass met some.
ProcessEnd open_pass(PieceReader& reader, SourceSurvey& survey, const TextKey& key,
                     OpenConversion& conversion, ProcessSink& sink, ProcessReport& report,
                     bool& white_space, bool& stray) noexcept {
    white_space = false;
    TextOpener opener;
    if (!opener.start(key, survey.layout, conversion, survey.unbroken))
        return ProcessEnd::TooLarge;
    const uint64_t body = survey.begin + kSealedOpen.size();
    const uint64_t hex_end = body + survey.hex_end;
    for (uint64_t at = body; at < hex_end && !sink.failed();) {
        const std::string_view piece = reader.next(at, hex_end);
        if (piece.empty())
            return read_end(reader);
        opener.feed(piece);
        at += piece.size();
        if (opener.met_white_space()) {
            white_space = true;
            return ProcessEnd::Done;
        }
    }
    OpenSummary summary;
    opener.finish(summary);
    conversion.finish();
    stray = survey.unbroken && opener.met_stray_character();
    report.looks_genuine = summary.looks_genuine;
    return sink.failed() ? ProcessEnd::SinkFailed : ProcessEnd::Done;
}

ProcessEnd open_source(PieceReader& reader, SourceSurvey& survey, const TextKey& key,
                       const ProcessSettings& settings, ProcessSink& sink,
                       ProcessReport& report) noexcept {
    if (!sink.begin(false))
        return ProcessEnd::SinkFailed;
    // Opening refuses nothing once the envelope is found: the pass that counts the
    // body's white space may as well come after the sink began.
    const bool one_pass = sink.discardable();
    if (one_pass)
        assume_unbroken(survey);
    else if (!survey_body(reader, survey))
        return read_end(reader);
    bool white_space = false;
    bool stray = false;
    {
        OpenConversion conversion(settings.form, sink);
        const ProcessEnd end =
            open_pass(reader, survey, key, conversion, sink, report, white_space, stray);
        if (end != ProcessEnd::Done || !white_space) {
            if (one_pass)
                damage_after(survey, stray);
            report.damage = survey.damage;
            return end;
        }
    }
    // What went out is void: the layout assumed no white space.
    if (!sink.discard())
        return ProcessEnd::SinkFailed;
    if (!survey_body(reader, survey))
        return read_end(reader);
    OpenConversion conversion(settings.form, sink);
    const ProcessEnd end =
        open_pass(reader, survey, key, conversion, sink, report, white_space, stray);
    report.damage = survey.damage;
    return end;
}

}  // namespace

ProcessReport ProcessTextFrom(RandomAccessSource& source, PasswordProvider& password,
                              ProcessSink& sink, const ProcessSettings& settings) noexcept {
    ProcessReport report;
    PieceReader reader(source, settings.piece);
    SourceSurvey survey;
    if (!find_trimmed(reader, survey)) {
        report.end = read_end(reader);
        return report;
    }
    if (!choose_direction(survey.sealed, settings.direction, report))
        return report;
    SealConversion conversion(settings.form);
    if (report.sealing) {
        bool nul = false;
        if (!survey_plain(reader, survey, conversion, nul)) {
            report.end = nul ? ProcessEnd::TextNul : read_end(reader);
            return report;
        }
    } else if (!find_body_end(reader, survey)) {
        report.end = read_end(reader);
        return report;
    }
    ProcessKey key;
    if (!key.obtain(password, report))
        return report;
    report.end = report.sealing ? seal_pass(reader, survey, conversion, key.key(), sink)
                                : open_source(reader, survey, key.key(), settings, sink, report);
    return report;
}

}  // namespace tarnel
