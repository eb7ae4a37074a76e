// SPDX-License-Identifier: MIT
// The one process, which every program runs: over a random-access source, a text
// in memory being one whose pieces are views of where it lies, and a stream one
// once it is read whole. Its steps, in order: the password where it is known up
// front, trimming, the direction, the refusals, the password otherwise, then the
// seal with its check or the open with its damage report. CTextCipher's seal and
// open of a text in memory are the last two steps alone.
//
// A file is read in pieces so memory stays bounded: a read-only pass finds
// everything that could refuse it before the sink gets its first byte, then a
// second pass seals or opens it. Sealing bytes into a discardable sink takes one
// pass: a NUL, the only refusal left once the ends are known, throws the output
// away. So does sealing a text from a file whose password is known up front,
// surveyed as it is sealed in the form nearly every text gets; a text that needs
// the other form is sealed again after all. Opening into a discardable sink takes
// the chance of one pass: a body
// without white space (what sealing writes) is opened as it is read, its damage
// told by the pass itself; white space in it throws the output away, and the two
// passes follow. In text form that one pass also hopes the opened bytes are UTF-8,
// as nearly all are: whether they are shows only at their end, and when they are
// not, the output is thrown away and they are opened again as Windows-1252. Into
// any other sink, a first pass learns that before the sink begins.
#include <cstring>
#include <optional>

#include "process_steps.h"
#include "stack_wipe.h"
#include "text_opener.h"
#include "text_rule_pieces.h"
#include "text_sealer.h"

namespace tarnel {
namespace {

ProcessEnd read_end(const PieceReader& reader) noexcept {
    return reader.out_of_memory() ? ProcessEnd::TooLarge : ProcessEnd::ReadFailed;
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
    reader.each(survey.body_begin, survey.hex_end(), [&](std::string_view piece) {
        if (input != nullptr)
            input->feed(piece);
        opener.feed(piece);
        return !sink.failed() && !opener.met_white_space();
    });
    if (reader.failed())
        return read_end(reader);
    pass.white_space = opener.met_white_space();
    if (pass.white_space)
        return ProcessEnd::Done;
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
    judge_body(survey, HexPartCount(), true);
    const ProcessEnd end = open_pass(reader, survey, key, out, sink, input, pass);
    if (end != ProcessEnd::Done)
        return end;
    if (!pass.white_space) {
        judge_body(survey, HexPartCount{0, pass.stray}, true);
        return end;
    }
    if (!restart())
        return ProcessEnd::SinkFailed;
    if (!survey_body(reader, survey))
        return read_end(reader);
    return open_pass(reader, survey, key, out, sink, input, pass);
}

// Text form, once the body has been read through `input`: the rest of the text
// (the trailer, white space and "}}") read too, and whether it all was UTF-8.
ProcessEnd rest_is_utf8(PieceReader& reader, const SourceSurvey& survey,
                        Utf8Check& input) noexcept {
    if (!reader.each(survey.hex_end(), survey.end, [&](std::string_view piece) {
            input.feed(piece);
            return true;
        }))
        return read_end(reader);
    return input.finish() ? ProcessEnd::Done : ProcessEnd::InvalidText;
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
    if (end == ProcessEnd::Done)
        end = rest_is_utf8(reader, survey, input);
    if (end != ProcessEnd::Done)
        return end;
    utf8 = opened.finish();
    return ProcessEnd::Done;
}

// Text form from a file into a begun, discardable sink: one pass that surveys the
// text as it seals it, in the form every ASCII text and nearly every other gets
// (Windows-1252). `settled` comes back false, with the output thrown away, when the
// text proves to need the other form or to be too long for the hope; a NUL or a
// text that is not UTF-8 ends it there, thrown away too.
ProcessEnd seal_text_hoping(PieceReader& reader, const SourceSurvey& survey, Envelope envelope,
                            const TextKey& key, ProcessSink& sink, CutShortWatch* watch,
                            bool& settled) noexcept {
    // The rule's line breaks at most double a text's length.
    settled = 2 * (survey.end - survey.begin) <= kMaxPlainLength;
    TextSealer sealer;
    if (!settled || !sealer.start(key, TextSealer::kLengthUnknown, envelope, sink))
        return settled ? ProcessEnd::TooLarge : ProcessEnd::Done;
    TextBytesSurvey rule;
    SealerInput input(PlainForm::Text, true, sealer);
    bool nul = false;
    // The rule looks at the whole text, its trimmed ends too.
    const auto survey_piece = [&](std::string_view piece) {
        nul = std::memchr(piece.data(), 0, piece.size()) != nullptr;
        if (!nul)
            rule.feed(piece);
        return !nul && rule.windows1252_possible();
    };
    const bool read = reader.each(0, survey.begin, [&](std::string_view piece) {
        if (!survey_piece(piece))
            return false;
        input.skip(piece);
        return true;
    }) && reader.each(survey.begin, survey.end, [&](std::string_view piece) {
        if (!survey_piece(piece))
            return false;
        if (watch != nullptr)
            watch->feed(piece);
        input.feed(piece);
        return !sink.failed();
    }) && reader.each(survey.end, reader.size(), survey_piece);
    if (!read && sink.failed())
        return ProcessEnd::SinkFailed;
    ProcessEnd end = ProcessEnd::Done;
    if (!read && (reader.failed() || nul))
        end = nul ? ProcessEnd::TextNul : read_end(reader);
    rule.finish();
    if (read && !rule.valid_utf8())
        end = ProcessEnd::InvalidText;
    // The other form after all: the caller surveys, and seals again.
    settled = end != ProcessEnd::Done || (read && rule.windows1252());
    if (end == ProcessEnd::Done && settled) {
        input.finish();
        const bool checked = sealer.finish();
        if (sink.failed())
            return ProcessEnd::SinkFailed;
        return checked ? ProcessEnd::Done : ProcessEnd::CheckFailed;
    }
    return sink.discard() ? end : ProcessEnd::SinkFailed;
}

// Text form into a begun, discardable sink: one pass that converts the opened bytes
// as UTF-8 while it checks them and the sealed text. `utf8` comes back false, with
// the output thrown away, when the opened bytes are not UTF-8 after all.
ProcessEnd open_text_hoping_utf8(PieceReader& reader, SourceSurvey& survey, const TextKey& key,
                                 LineBreak line_break, ProcessSink& sink, OpenPass& pass,
                                 bool& utf8) noexcept {
    // The opened bytes, checked and converted at once; made afresh for a second try.
    struct CheckedText final : TextSink {
        Utf8Sink check;
        std::optional<OpenedText> text;
        void write(const char* data, std::size_t size) noexcept override {
            check.write(data, size);
            text->write(data, size);
        }
    } out;
    out.text.emplace(PlainForm::Text, true, line_break, sink);
    Utf8Check input;
    ProcessEnd end = open_hopefully_unbroken(reader, survey, key, out, sink, &input, pass, [&] {
        input = Utf8Check();
        out.check = Utf8Sink();
        out.text.emplace(PlainForm::Text, true, line_break, sink);
        return sink.discard();
    });
    if (end == ProcessEnd::Done)
        end = rest_is_utf8(reader, survey, input);
    utf8 = end == ProcessEnd::Done && out.check.finish();
    if (utf8)
        out.text->finish();
    else if (!sink.discard() && end == ProcessEnd::Done)
        end = ProcessEnd::SinkFailed;
    return end;
}

}  // namespace

ProcessEnd seal_step(PieceReader& reader, const SourceSurvey& survey, PlainSurvey& plain,
                     PlainForm form, Envelope envelope, const TextKey& key, ProcessSink& sink,
                     bool surveyed, CutShortWatch* watch) noexcept {
    if (plain.length > kMaxPlainLength)
        return ProcessEnd::TooLarge;
    if (!sink.begin(true))
        return ProcessEnd::SinkFailed;
    // The forecast of one pass held, or the survey comes now, nothing written yet.
    const bool one_pass = !surveyed && sink.discardable();
    if (one_pass && form == PlainForm::Text) {
        bool settled = false;
        const ProcessEnd end =
            seal_text_hoping(reader, survey, envelope, key, sink, watch, settled);
        if (settled)
            return end;
        if (watch != nullptr)
            *watch = CutShortWatch();  // it sees the text again below
    }
    const bool check_nul = one_pass && form == PlainForm::Bytes;
    if (!surveyed && !check_nul) {
        if (!survey_plain(reader, survey, form, plain))
            return plain.nul ? ProcessEnd::TextNul : read_end(reader);
        if (!plain.valid_utf8)
            return ProcessEnd::InvalidText;
        if (plain.length > kMaxPlainLength)
            return ProcessEnd::TooLarge;
    }
    TextSealer sealer;
    if (!sealer.start(key, plain.length, envelope, sink))
        return ProcessEnd::TooLarge;
    SealerInput input(form, plain.windows1252, sealer);
    // The rule sees the text from its start; what it makes of the trimmed head is
    // white space, and trimmed away.
    if (form == PlainForm::Text && !reader.each(0, survey.begin, [&](std::string_view piece) {
            input.skip(piece);
            return true;
        }))
        return read_end(reader);
    bool nul = false;
    reader.each(survey.begin, survey.end, [&](std::string_view piece) {
        nul = check_nul && std::memchr(piece.data(), 0, piece.size()) != nullptr;
        if (nul)
            return false;
        if (watch != nullptr)
            watch->feed(piece);
        input.feed(piece);
        return !sink.failed();
    });
    if (nul) {
        sink.discard();
        return ProcessEnd::TextNul;
    }
    if (reader.failed())
        return read_end(reader);
    input.finish();
    const bool checked = sealer.finish();
    // A sink that failed stopped the feeding, which the check sees too.
    if (sink.failed())
        return ProcessEnd::SinkFailed;
    return checked ? ProcessEnd::Done : ProcessEnd::CheckFailed;
}

ProcessEnd open_step(PieceReader& reader, SourceSurvey& survey, const TextKey& key, PlainForm form,
                     LineBreak line_break, ProcessSink& sink, ProcessReport& report) noexcept {
    bool utf8 = false;
    const bool text = form == PlainForm::Text;
    OpenPass pass;
    // Only a sink that can throw its output away may be given any before the text
    // is known to be UTF-8; a forecast alone has the sink begun, and no more.
    const bool hoping = text && sink.discardable();
    if (hoping && !sink.begin(false))
        return ProcessEnd::SinkFailed;
    if (hoping && sink.discardable()) {
        const ProcessEnd end =
            open_text_hoping_utf8(reader, survey, key, line_break, sink, pass, utf8);
        if (end != ProcessEnd::Done || utf8) {
            report.damage = survey.damage;
            report.looks_genuine = pass.looks_genuine;
            return end == ProcessEnd::Done && sink.failed() ? ProcessEnd::SinkFailed : end;
        }
        // Not UTF-8: opened again below as Windows-1252, on the layout now known.
    } else if (text) {
        const ProcessEnd end = learn_text(reader, survey, key, sink, utf8);
        if (end != ProcessEnd::Done)
            return end;
    }
    if (!hoping && !sink.begin(false))
        return ProcessEnd::SinkFailed;
    ProcessEnd end = ProcessEnd::Done;
    {
        OpenedText converted(form, utf8, line_break, sink);
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
    // Bytes into a discardable sink are sealed without a survey: only a NUL could
    // refuse them once their ends are known, and the seal meets it as it goes. A
    // text from a file is too, hoping for its usual form (seal_text_hoping), where
    // its password is known up front: a prompt must not ask twice for a text that
    // the survey would have refused. One in memory is surveyed first, which costs
    // no reading and sizes its result exactly.
    PlainSurvey plain;
    plain.length = survey.end - survey.begin;
    const bool one_pass =
        report.sealing && sink.discardable() &&
        (settings.form == PlainForm::Bytes || (!reader.in_memory() && password.known_up_front()));
    if (report.sealing && !one_pass && !survey_plain(reader, survey, settings.form, plain))
        report.end = plain.nul ? ProcessEnd::TextNul : read_end(reader);
    else if (report.sealing && !plain.valid_utf8)
        report.end = ProcessEnd::InvalidText;
    else if (!report.sealing && !find_body_end(reader, survey))
        report.end = read_end(reader);
    ProcessKey key;
    if (report.end != ProcessEnd::Done || !key.obtain(password, report))
        return report;
    if (!report.sealing) {
        report.end =
            open_step(reader, survey, key.key(), settings.form, settings.line_break, sink, report);
        return report;
    }
    CutShortWatch watch;
    report.end = seal_step(reader, survey, plain, settings.form, Envelope::Included, key.key(),
                           sink, !one_pass, &watch);
    report.cut_short = settings.direction == ProcessDirection::ByEnvelope && watch.cut_short();
    return report;
}

}  // namespace tarnel
