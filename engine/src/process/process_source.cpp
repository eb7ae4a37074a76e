// SPDX-License-Identifier: MIT
// The one process, which every program runs: over a random-access source, a text
// in memory being one whose pieces are views of where it lies, and a stream one
// once it is read whole. Its steps, in order: the password where it is known up
// front, trimming, the direction, the refusals, the password otherwise, then the
// seal with its check or the open with its damage report.
//
// A file is read in pieces so memory stays bounded: a read-only pass finds
// everything that could refuse it before the sink gets its first byte, then a
// second pass seals or opens it. Sealing bytes into a discardable sink takes one
// pass: a NUL, the only refusal left once the ends are known, throws the output
// away. Opening into a discardable sink takes the chance of one pass: a body
// without white space (what sealing writes) is opened as it is read, its damage
// told by the pass itself; white space in it throws the output away, and the two
// passes follow. Opening in text form takes two passes: whether the opened bytes
// are UTF-8 shows only at their end.
#include <cstring>

#include "piece_reader.h"
#include "plain_forms.h"
#include "process_steps.h"
#include "source_survey.h"
#include "stack_wipe.h"
#include "text_opener.h"
#include "text_rule_pieces.h"

namespace tarnel {
namespace {

ProcessEnd read_end(const PieceReader& reader) noexcept {
    return reader.out_of_memory() ? ProcessEnd::TooLarge : ProcessEnd::ReadFailed;
}

// Bytes into a discardable sink may be sealed without a survey: only a NUL could
// refuse them once their ends are known.
bool seals_in_one_pass(PlainForm form, const ProcessSink& sink) noexcept {
    return form == PlainForm::Bytes && sink.discardable();
}

// Feeds the trimmed text to a sealer into `sink`; with `check_nul`, a NUL stops
// it (the sealer is gone once this returns, with all it would write).
ProcessEnd seal_pieces(PieceReader& reader, const SourceSurvey& survey, const PlainSurvey& plain,
                       PlainForm form, const TextKey& key, ProcessSink& sink, bool check_nul,
                       CutShortWatch& watch) noexcept {
    TextSealer sealer;
    if (!sealer.start(key, plain.length, Envelope::Included, sink))
        return ProcessEnd::TooLarge;
    SealerInput input(form, plain.windows1252, sealer);
    // The rule sees the text from its start; what it makes of the trimmed head is
    // white space, and trimmed away.
    for (uint64_t at = 0; form == PlainForm::Text && at < survey.begin;) {
        const std::string_view piece = reader.next(at, survey.begin);
        if (piece.empty())
            return read_end(reader);
        input.skip(piece);
        at += piece.size();
    }
    for (uint64_t at = survey.begin; at < survey.end && !sink.failed();) {
        const std::string_view piece = reader.next(at, survey.end);
        if (piece.empty())
            return read_end(reader);
        if (check_nul && std::memchr(piece.data(), 0, piece.size()) != nullptr)
            return ProcessEnd::TextNul;
        watch.feed(piece);
        input.feed(piece);
        at += piece.size();
    }
    input.finish();
    return seal_end(sealer.finish(), sink);
}

ProcessEnd seal_pass(PieceReader& reader, const SourceSurvey& survey, PlainSurvey& plain,
                     PlainForm form, const TextKey& key, ProcessSink& sink, bool surveyed,
                     CutShortWatch& watch) noexcept {
    if (plain.length > kMaxPlainLength)
        return ProcessEnd::TooLarge;
    if (!sink.begin(true))
        return ProcessEnd::SinkFailed;
    // The forecast held, or the survey comes now, with nothing written yet.
    const bool one_pass = !surveyed && sink.discardable();
    if (!surveyed && !one_pass && !survey_plain(reader, survey, form, plain))
        return plain.nul ? ProcessEnd::TextNul : read_end(reader);
    const ProcessEnd end = seal_pieces(reader, survey, plain, form, key, sink, one_pass, watch);
    if (end == ProcessEnd::TextNul)
        sink.discard();
    return end;
}

// One pass over the body as surveyed, opened into `out`. `input`, when given,
// learns whether the characters read are UTF-8.
struct OpenPass {
    bool white_space = false;  ///< an unbroken pass met some: what `out` got is void
    bool stray = false;        ///< an unbroken pass met a stray character
    bool looks_genuine = false;
};

ProcessEnd open_pass(PieceReader& reader, const SourceSurvey& survey, const TextKey& key,
                     TextSink& out, const ProcessSink& sink, Utf8Check* input,
                     OpenPass& pass) noexcept {
    pass = OpenPass();
    TextOpener opener;
    if (!opener.start(key, survey.layout, out, survey.unbroken))
        return ProcessEnd::TooLarge;
    const uint64_t body = survey.begin + kSealedOpen.size();
    const uint64_t hex_end = body + survey.hex_end;
    for (uint64_t at = body; at < hex_end && !sink.failed();) {
        const std::string_view piece = reader.next(at, hex_end);
        if (piece.empty())
            return read_end(reader);
        if (input != nullptr)
            input->feed(piece);
        opener.feed(piece);
        at += piece.size();
        if (opener.met_white_space()) {
            pass.white_space = true;
            return ProcessEnd::Done;
        }
    }
    OpenSummary summary;
    opener.finish(summary);
    pass.stray = survey.unbroken && opener.met_stray_character();
    pass.looks_genuine = summary.looks_genuine;
    return sink.failed() ? ProcessEnd::SinkFailed : ProcessEnd::Done;
}

// Opens into `out` on the layout of an unbroken body; where white space turns
// up, `restart` is asked to make room for a second try, the body's white space
// is counted, and the pass runs again.
template <class Restart>
ProcessEnd open_hopefully_unbroken(PieceReader& reader, SourceSurvey& survey, const TextKey& key,
                                   TextSink& out, const ProcessSink& sink, Utf8Check* input,
                                   OpenPass& pass, Restart restart) noexcept {
    assume_unbroken(survey);
    ProcessEnd end = open_pass(reader, survey, key, out, sink, input, pass);
    if (end != ProcessEnd::Done)
        return end;
    if (!pass.white_space) {
        damage_after(survey, pass.stray);
        return end;
    }
    if (!restart())
        return ProcessEnd::SinkFailed;
    if (!survey_body(reader, survey))
        return read_end(reader);
    return open_pass(reader, survey, key, out, sink, input, pass);
}

// Text form: whether the text holds UTF-8 and the opened bytes are UTF-8, told
// by a first pass that gives the sink nothing.
ProcessEnd learn_text(PieceReader& reader, SourceSurvey& survey, const TextKey& key,
                      const ProcessSink& sink, bool& utf8) noexcept {
    Utf8Check input;
    Utf8Sink opened;
    OpenPass pass;
    ProcessEnd end = open_hopefully_unbroken(reader, survey, key, opened, sink, &input, pass, [&] {
        input = Utf8Check();
        opened = Utf8Sink();
        return true;
    });
    if (end != ProcessEnd::Done)
        return end;
    // The rest of the text: the trailer, white space and "}}".
    const uint64_t body = survey.begin + kSealedOpen.size();
    for (uint64_t at = body + survey.hex_end; at < survey.end;) {
        const std::string_view piece = reader.next(at, survey.end);
        if (piece.empty())
            return read_end(reader);
        input.feed(piece);
        at += piece.size();
    }
    if (!input.finish())
        return ProcessEnd::InvalidText;
    utf8 = opened.finish();
    return ProcessEnd::Done;
}

ProcessEnd open_source(PieceReader& reader, SourceSurvey& survey, const TextKey& key,
                       const ProcessSettings& settings, ProcessSink& sink,
                       ProcessReport& report) noexcept {
    bool utf8 = false;
    const bool text = settings.form == PlainForm::Text;
    if (text) {
        if (const ProcessEnd end = learn_text(reader, survey, key, sink, utf8);
            end != ProcessEnd::Done)
            return end;
    }
    if (!sink.begin(false))
        return ProcessEnd::SinkFailed;
    OpenPass pass;
    ProcessEnd end = ProcessEnd::Done;
    {
        OpenedText converted(settings.form, utf8, settings.line_break, sink);
        // Bytes go straight to the sink, which may lend room to open them in place.
        TextSink& out = text ? static_cast<TextSink&>(converted) : sink;
        // Opening refuses nothing more once the envelope is found, so the pass that
        // counts the body's white space may as well come after the sink began.
        if (text || !sink.discardable()) {
            if (!text && !survey_body(reader, survey))
                return read_end(reader);
            end = open_pass(reader, survey, key, out, sink, nullptr, pass);
        } else {
            // What went out is void when white space turns up: the layout assumed none.
            end = open_hopefully_unbroken(reader, survey, key, out, sink, nullptr, pass,
                                          [&] { return sink.discard(); });
        }
        if (end == ProcessEnd::Done)
            converted.finish();
    }
    report.damage = survey.damage;
    report.looks_genuine = pass.looks_genuine;
    if (end == ProcessEnd::Done && sink.failed())
        end = ProcessEnd::SinkFailed;
    return end;
}

}  // namespace

ProcessReport ProcessTextFrom(RandomAccessSource& source, PasswordProvider& password,
                              ProcessSink& sink, const ProcessSettings& settings) noexcept {
    const StackWipe wipe_on_return;
    ProcessReport report;
    if (password_refused_first(password, report))
        return report;
    PieceReader reader(source, settings.piece);
    SourceSurvey survey;
    if (!find_trimmed(reader, settings.form, survey)) {
        report.end = read_end(reader);
        return report;
    }
    if (!choose_direction(survey.sealed, settings.direction, report))
        return report;
    PlainSurvey plain;
    const bool surveyed = !(report.sealing && seals_in_one_pass(settings.form, sink));
    if (!surveyed) {
        plain.length = survey.end - survey.begin;
    } else if (report.sealing) {
        if (!survey_plain(reader, survey, settings.form, plain)) {
            report.end = plain.nul ? ProcessEnd::TextNul : read_end(reader);
            return report;
        }
        if (!plain.valid_utf8) {
            report.end = ProcessEnd::InvalidText;
            return report;
        }
    } else if (!find_body_end(reader, survey)) {
        report.end = read_end(reader);
        return report;
    }
    ProcessKey key;
    if (!key.obtain(password, report))
        return report;
    if (!report.sealing) {
        report.end = open_source(reader, survey, key.key(), settings, sink, report);
        return report;
    }
    CutShortWatch watch;
    report.end = seal_pass(reader, survey, plain, settings.form, key.key(), sink, surveyed, watch);
    report.cut_short = settings.direction == ProcessDirection::ByEnvelope && watch.cut_short();
    return report;
}

}  // namespace tarnel
