// SPDX-License-Identifier: MIT
#include "source_survey.h"

#include <algorithm>
#include <cstring>

namespace tarnel {
namespace {

// The end of a text is looked at backwards, in pieces no larger than this.
constexpr std::size_t kTailPiece = 64 * 1024;

uint64_t body_begin(const SourceSurvey& survey) noexcept {
    return survey.begin + kSealedOpen.size();
}

}  // namespace

bool find_trimmed(PieceReader& reader, SourceSurvey& survey) noexcept {
    uint64_t begin = 0;
    const uint64_t size = reader.size();
    while (begin < size) {
        const std::string_view piece = reader.next(begin, size);
        if (piece.empty())
            return false;
        std::size_t k = 0;
        while (k < piece.size() && is_format_space(piece[k]))
            ++k;
        begin += k;
        if (k < piece.size())
            break;
    }
    const std::size_t tail_piece = std::min(reader.piece(), kTailPiece);
    uint64_t end = size;
    while (end > begin) {
        const std::size_t want = std::size_t(std::min<uint64_t>(tail_piece, end - begin));
        const std::string_view piece = reader.read(end - want, want);
        if (piece.empty())
            return false;
        std::size_t k = piece.size();
        while (k > 0 && is_format_space(piece[k - 1]))
            --k;
        end -= piece.size() - k;
        if (k > 0)
            break;
    }
    survey.begin = begin;
    survey.end = end;
    survey.sealed = false;
    if (end - begin >= kSealedOpen.size() + kSealedClose.size()) {
        const std::string_view head = reader.read(begin, kSealedOpen.size());
        const bool open = head == kSealedOpen;
        const std::string_view tail = reader.read(end - kSealedClose.size(), kSealedClose.size());
        survey.sealed = open && tail == kSealedClose;
    }
    return !reader.failed();
}

bool survey_plain(PieceReader& reader, const SourceSurvey& survey, SealConversion& conversion,
                  bool& nul) noexcept {
    nul = false;
    for (uint64_t at = survey.begin; at < survey.end;) {
        const std::string_view piece = reader.next(at, survey.end);
        if (piece.empty())
            return false;
        if (std::memchr(piece.data(), 0, piece.size()) != nullptr) {
            nul = true;
            return false;
        }
        conversion.survey(piece);
        at += piece.size();
    }
    return true;
}

// The trailer is the body's last ten characters that are not white space. White
// space never counts in a body, so those ten alone, at the offset of the first,
// tell the engine all that the body's end would: the end is found in one pass
// backwards, however much white space surrounds it.
bool find_body_end(PieceReader& reader, SourceSurvey& survey) noexcept {
    const uint64_t body = body_begin(survey);
    const uint64_t body_end = survey.end - kSealedClose.size();
    const std::size_t tail_piece = std::min(reader.piece(), kTailPiece);
    char reversed[kTrailerDigits];
    std::size_t kept = 0;
    survey.end_offset = 0;
    for (uint64_t from = body_end; from > body && kept < kTrailerDigits;) {
        const std::size_t size = std::size_t(std::min<uint64_t>(tail_piece, from - body));
        const std::string_view piece = reader.read(from - size, size);
        if (piece.empty())
            return false;
        for (std::size_t k = piece.size(); k > 0 && kept < kTrailerDigits; --k) {
            if (!is_format_space(piece[k - 1])) {
                reversed[kept++] = piece[k - 1];
                survey.end_offset = from - size + k - 1 - body;
            }
        }
        from -= size;
    }
    survey.body_end.assign(std::make_reverse_iterator(reversed + kept),
                           std::make_reverse_iterator(reversed));
    survey.hex_end = body_hex_end(survey.body_end, std::size_t(survey.end_offset));
    return true;
}

void assume_unbroken(SourceSurvey& survey) noexcept {
    survey.unbroken = true;
    damage_after(survey, false);
}

void damage_after(SourceSurvey& survey, bool stray) noexcept {
    HexPartCount count;
    count.stray = stray;
    survey.layout =
        analyse_body_end(survey.body_end, std::size_t(survey.end_offset), count, survey.damage);
}

bool survey_body(PieceReader& reader, SourceSurvey& survey) noexcept {
    const uint64_t body = body_begin(survey);
    HexPartCount count;
    for (uint64_t at = body; at < body + survey.hex_end;) {
        const std::string_view piece = reader.next(at, body + survey.hex_end);
        if (piece.empty())
            return false;
        count += count_hex_part(piece);
        at += piece.size();
    }
    survey.layout =
        analyse_body_end(survey.body_end, std::size_t(survey.end_offset), count, survey.damage);
    survey.unbroken = count.spaces == 0;
    return true;
}

}  // namespace tarnel
