// SPDX-License-Identifier: MIT
#include "source_survey.h"

#include <algorithm>
#include <cstring>

namespace tarnel {
namespace {

// The end of a text is looked at backwards, in pieces no larger than this.
constexpr std::size_t kTailPiece = 64 * 1024;
// The first look at either end of a text.
constexpr std::size_t kFirstLook = 256;

// Reads [begin, end) from its start (or, with `backwards`, its end) in pieces
// that start small and double up to `most`, since what is looked for is usually
// near. `take(piece, at, more, cut)` gives how many of the piece's bytes to move
// past (setting `cut` when a character lies across its far edge); moving past
// fewer than all of them, none cut, ends the walk. False when reading failed.
template <class Take>
bool walk_in(PieceReader& reader, uint64_t& begin, uint64_t& end, std::size_t most, bool backwards,
             Take take) noexcept {
    for (std::size_t step = std::min(kFirstLook, most); begin < end;) {
        const std::size_t want = std::size_t(std::min<uint64_t>(step, end - begin));
        step = std::min(2 * step, most);
        const uint64_t at = backwards ? end - want : begin;
        const std::string_view piece = reader.read(at, want);
        if (piece.empty())
            return false;
        bool cut = false;
        const std::size_t k = take(piece, at, want < end - begin, cut);
        if (backwards)
            end -= k;
        else
            begin += k;
        if (k < piece.size() && !cut)
            break;
    }
    return true;
}

}  // namespace

bool find_trimmed(PieceReader& reader, PlainForm form, SourceSurvey& survey) noexcept {
    // Reads of at least four bytes hold a whole separator or byte-order mark, so
    // one cut at a read's edge is found whole by the next read.
    const std::size_t head_piece = std::max<std::size_t>(reader.piece(), 4);
    const std::size_t tail_piece = std::max<std::size_t>(std::min(reader.piece(), kTailPiece), 4);
    uint64_t begin = 0, end = reader.size();
    if (!walk_in(reader, begin, end, head_piece, false,
                 [&](std::string_view piece, uint64_t at, bool more, bool& cut) {
                     return trimmed_head(piece, form, at == 0, more, cut);
                 }) ||
        !walk_in(reader, begin, end, tail_piece, true,
                 [&](std::string_view piece, uint64_t, bool more, bool& cut) {
                     return trimmed_tail(piece, form, more, cut);
                 }))
        return false;
    survey.begin = begin;
    survey.end = end;
    // Its two ends, and whether it is long enough that they do not overlap, are all
    // that the envelope's rule looks at: a text of those alone judges the same.
    survey.sealed = false;
    if (end - begin >= kSealedOpen.size() + kSealedClose.size()) {
        char ends[kSealedOpen.size() + kSealedClose.size()] = {};
        reader.read(begin, kSealedOpen.size()).copy(ends, kSealedOpen.size());
        reader.read(end - kSealedClose.size(), kSealedClose.size())
            .copy(ends + kSealedOpen.size(), kSealedClose.size());
        survey.sealed = is_sealed_text(std::string_view(ends, sizeof ends));
    }
    survey.body_begin = survey.sealed ? begin + kSealedOpen.size() : begin;
    survey.body_end = survey.sealed ? end - kSealedClose.size() : end;
    return !reader.failed();
}

namespace {

// Bytes the rule makes of [from, to), white space of the text's ends.
bool converted_length(PieceReader& reader, uint64_t from, uint64_t to, bool windows1252,
                      bool at_start, uint64_t& length) noexcept {
    TextToBytes convert(windows1252);
    CountingSink count;
    if (!at_start)
        convert.feed(" ", count);  // no byte-order mark to drop but at the start
    const uint64_t before = count.count;
    const bool read = reader.each(from, to, [&](std::string_view piece) {
        convert.feed(piece, count);
        return true;
    });
    convert.finish(count);
    length = count.count - before;
    return read;
}

}  // namespace

bool survey_plain(PieceReader& reader, const SourceSurvey& survey, PlainForm form,
                  PlainSurvey& plain) noexcept {
    const bool text = form == PlainForm::Text;
    TextBytesSurvey bytes;
    // The rule looks at the whole text, its trimmed ends too; those are white
    // space, so a NUL can lie only in what they enclose.
    if (!reader.each(text ? 0 : survey.begin, text ? reader.size() : survey.end,
                     [&](std::string_view piece) {
                         plain.nul = std::memchr(piece.data(), 0, piece.size()) != nullptr;
                         if (text && !plain.nul)
                             bytes.feed(piece);
                         return !plain.nul;
                     }))
        return false;
    plain.length = survey.end - survey.begin;
    if (!text)
        return true;
    bytes.finish();
    plain.valid_utf8 = bytes.valid_utf8();
    plain.windows1252 = bytes.windows1252();
    if (!plain.valid_utf8)
        return true;
    // The rule turns the whole text into bytes and trimming follows; the ends
    // trimmed here become white space only, which the length leaves out.
    uint64_t head = 0, tail = 0;
    if (!converted_length(reader, 0, survey.begin, plain.windows1252, true, head) ||
        !converted_length(reader, survey.end, reader.size(), plain.windows1252, false, tail))
        return false;
    plain.length = bytes.length() - head - tail;
    return true;
}

// White space never counts in a body, so its trailer is found in one pass
// backwards, however much white space surrounds it.
bool find_body_end(PieceReader& reader, SourceSurvey& survey) noexcept {
    survey.trailer = Trailer();
    uint64_t begin = survey.body_begin, end = survey.body_end;
    return walk_in(reader, begin, end, std::min(reader.piece(), kTailPiece), true,
                   [&](std::string_view piece, uint64_t at, bool, bool&) {
                       return survey.trailer.feed_back(piece, at - survey.body_begin)
                                  ? std::size_t(0)
                                  : piece.size();
                   });
}

void judge_body(SourceSurvey& survey, const HexPartCount& count, bool unbroken) noexcept {
    survey.layout = analyse_body_end(survey.trailer, count, survey.damage);
    survey.unbroken = unbroken;
}

bool survey_body(PieceReader& reader, SourceSurvey& survey) noexcept {
    HexPartCount count;
    if (!reader.each(survey.body_begin, survey.hex_end(), [&](std::string_view piece) {
            count += count_hex_part(piece);
            return true;
        }))
        return false;
    judge_body(survey, count, count.spaces == 0);
    return true;
}

}  // namespace tarnel
