// SPDX-License-Identifier: MIT
#include "file_survey.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "piece_lines.h"

namespace tarnel::cli {
namespace {

// The end of a text is looked at backwards, in pieces no larger than this.
constexpr std::size_t kTailPiece = 64 * 1024;

// The trimmed ends: the first and last bytes that are not white space.
bool find_trimmed(PieceReader& reader, const FileText& text, Survey& survey) {
    uint64_t begin = text.start;
    while (begin < text.end) {
        const std::size_t size = std::size_t(std::min<uint64_t>(reader.piece(), text.end - begin));
        const std::string_view piece = reader.read(begin, size);
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
    uint64_t end = text.end;
    while (end > begin) {
        const std::size_t size = std::size_t(std::min<uint64_t>(tail_piece, end - begin));
        const std::string_view piece = reader.read(end - size, size);
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
    if (end - begin >= 4) {
        const std::string head(reader.read(begin, 2));
        const std::string tail(reader.read(end - 2, 2));
        survey.sealed = head == kSealedOpen && tail == kSealedClose;
    }
    return reader.error() == 0;
}

SurveyEnd survey_plain(PieceReader& reader, Survey& survey, bool crlf) {
    char before = '\0';
    for (uint64_t at = survey.begin; at < survey.end;) {
        const std::size_t size = std::size_t(std::min<uint64_t>(reader.piece(), survey.end - at));
        const std::string_view piece = reader.read(at, size);
        if (piece.empty())
            return SurveyEnd::ReadFailed;
        if (std::memchr(piece.data(), 0, piece.size()) != nullptr)
            return SurveyEnd::ZeroByte;
        if (crlf) {
            survey.bare_lfs += count_bare_lfs(piece, before);
            before = piece.back();
        }
        at += size;
    }
    return SurveyEnd::Ready;
}

// The trailer is the body's last ten characters that are not white space. White
// space never counts in a body, so those ten alone, at the offset of the first,
// tell the engine all that the body's end would: the end is found in one pass
// backwards, however much white space surrounds it.
bool find_body_end(PieceReader& reader, uint64_t body, uint64_t body_end, std::string& end,
                   uint64_t& end_offset) {
    const std::size_t tail_piece = std::min(reader.piece(), kTailPiece);
    char reversed[kTrailerDigits];
    std::size_t kept = 0;
    end_offset = 0;
    for (uint64_t from = body_end; from > body && kept < kTrailerDigits;) {
        const std::size_t size = std::size_t(std::min<uint64_t>(tail_piece, from - body));
        const std::string_view piece = reader.read(from - size, size);
        if (piece.empty())
            return false;
        for (std::size_t k = piece.size(); k > 0 && kept < kTrailerDigits; --k) {
            if (!is_format_space(piece[k - 1])) {
                reversed[kept++] = piece[k - 1];
                end_offset = from - size + k - 1 - body;
            }
        }
        from -= size;
    }
    end.assign(std::make_reverse_iterator(reversed + kept), std::make_reverse_iterator(reversed));
    return true;
}

bool survey_body(PieceReader& reader, Survey& survey) {
    const uint64_t body = survey.begin + kSealedOpen.size();
    const uint64_t body_end = survey.end - kSealedClose.size();
    std::string end;
    uint64_t end_offset = 0;
    if (!find_body_end(reader, body, body_end, end, end_offset))
        return false;
    const std::size_t hex_end = body_hex_end(end, std::size_t(end_offset));
    HexPartCount count;
    for (uint64_t at = body; at < body + hex_end;) {
        const std::size_t size =
            std::size_t(std::min<uint64_t>(reader.piece(), body + hex_end - at));
        const std::string_view piece = reader.read(at, size);
        if (piece.empty())
            return false;
        count += count_hex_part(piece);
        at += size;
    }
    survey.layout = analyse_body_end(end, std::size_t(end_offset), count, survey.damage);
    survey.unbroken = count.spaces == 0;
    return true;
}

}  // namespace

SurveyEnd survey_file_text(PieceReader& reader, const FileText& text, ProcessDirection direction,
                           bool crlf, Survey& survey) {
    if (!find_trimmed(reader, text, survey))
        return SurveyEnd::ReadFailed;
    survey.sealing = direction == ProcessDirection::Seal ||
                     (direction == ProcessDirection::ByEnvelope && !survey.sealed);
    if (!survey.sealing && !survey.sealed)
        return SurveyEnd::NotSealed;
    if (survey.sealing)
        return survey_plain(reader, survey, crlf);
    return survey_body(reader, survey) ? SurveyEnd::Ready : SurveyEnd::ReadFailed;
}

}  // namespace tarnel::cli
