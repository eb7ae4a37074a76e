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

}  // namespace

bool find_trimmed(PieceReader& reader, PlainForm form, SourceSurvey& survey) noexcept {
    // Reads of at least four bytes hold a whole separator or byte-order mark, so
    // one cut at a read's edge is found whole by the next read.
    const std::size_t head_piece = std::max<std::size_t>(reader.piece(), 4);
    const std::size_t tail_piece = std::max<std::size_t>(std::min(reader.piece(), kTailPiece), 4);
    const uint64_t size = reader.size();
    // The ends are read in small pieces first: they are usually near.
    std::size_t step = std::min(kFirstLook, head_piece);
    uint64_t begin = 0;
    while (begin < size) {
        const std::size_t want = std::size_t(std::min<uint64_t>(step, size - begin));
        step = std::min(2 * step, head_piece);
        const std::string_view piece = reader.read(begin, want);
        if (piece.empty())
            return false;
        bool cut = false;
        const std::size_t k = trimmed_head(piece, form, begin == 0, begin + want < size, cut);
        begin += k;
        if (k < piece.size() && !cut)
            break;
    }
    step = std::min(kFirstLook, tail_piece);
    uint64_t end = size;
    while (end > begin) {
        const std::size_t want = std::size_t(std::min<uint64_t>(step, end - begin));
        step = std::min(2 * step, tail_piece);
        const std::string_view piece = reader.read(end - want, want);
        if (piece.empty())
            return false;
        bool cut = false;
        const std::size_t k = trimmed_tail(piece, form, end - want > begin, cut);
        end -= k;
        if (k < piece.size() && !cut)
            break;
    }
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
    auto take = [&](std::string_view piece) {
        if (text)
            bytes.feed(piece);
        return true;
    };
    auto take_trimmed = [&](std::string_view piece) {
        if (std::memchr(piece.data(), 0, piece.size()) != nullptr) {
            plain.nul = true;
            return false;
        }
        return take(piece);
    };
    if (!(text ? reader.each(0, survey.begin, take) : true) ||
        !reader.each(survey.begin, survey.end, take_trimmed) ||
        !(text ? reader.each(survey.end, reader.size(), take) : true))
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
    const std::size_t tail_piece = std::min(reader.piece(), kTailPiece);
    survey.trailer = Trailer();
    std::size_t step = std::min(kFirstLook, tail_piece);
    for (uint64_t from = survey.body_end; from > survey.body_begin;) {
        const std::size_t size = std::size_t(std::min<uint64_t>(step, from - survey.body_begin));
        step = std::min(2 * step, tail_piece);
        from -= size;
        const std::string_view piece = reader.read(from, size);
        if (piece.empty())
            return false;
        if (survey.trailer.feed_back(piece, from - survey.body_begin))
            break;
    }
    return true;
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
