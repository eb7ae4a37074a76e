// SPDX-License-Identifier: MIT
#include "file_pieces.h"

#include <algorithm>
#include <string>

#include "piece_lines.h"
#include "tarnel/secure_wipe.h"

namespace tarnel::cli {

PassEnd seal_pieces(PieceReader& reader, const Survey& survey, const TextKey& key, bool crlf,
                    PieceSink& sink) {
    const uint64_t length = plain_length(survey, crlf);
    TextSealer sealer;
    if (length > kMaxPlainLength || !sealer.start(key, length, Envelope::Included, sink))
        return PassEnd::TooLarge;
    std::string converted;
    ScopedWipe wipe_converted(converted);
    char before = '\0';
    for (uint64_t at = survey.begin; at < survey.end && !sink.failed();) {
        const std::size_t size = std::size_t(std::min<uint64_t>(reader.piece(), survey.end - at));
        std::string_view piece = reader.read(at, size);
        if (piece.empty())
            return PassEnd::ReadFailed;
        if (crlf) {
            converted.clear();
            std::size_t from = 0;
            for_each_lf(piece, [&](std::size_t k) {
                if ((k == 0 ? before : piece[k - 1]) != '\r') {
                    converted.append(piece.substr(from, k - from));
                    converted += '\r';
                    from = k;
                }
            });
            converted.append(piece.substr(from));
            before = piece.back();
            piece = converted;
        }
        sealer.feed(piece);
        at += size;
    }
    // A seal that failed its check has given the sink only part of a sealed text.
    // A sink that failed stopped the feeding, which the check sees too; the sink
    // reports its own failure when it is finished.
    const bool checked = sealer.finish();
    return checked || sink.failed() ? PassEnd::Done : PassEnd::CheckFailed;
}

PassEnd open_pieces(PieceReader& reader, const Survey& survey, const TextKey& key, PieceSink& sink,
                    OpenSummary& summary) {
    TextOpener opener;
    if (!opener.start(key, survey.layout, sink, survey.unbroken))
        return PassEnd::TooLarge;
    const uint64_t body = survey.begin + kSealedOpen.size();
    const uint64_t hex_end = body + survey.layout.hex_end;
    for (uint64_t at = body; at < hex_end && !sink.failed();) {
        const std::size_t size = std::size_t(std::min<uint64_t>(reader.piece(), hex_end - at));
        const std::string_view piece = reader.read(at, size);
        if (piece.empty())
            return PassEnd::ReadFailed;
        opener.feed(piece);
        at += size;
    }
    opener.finish(summary);
    return PassEnd::Done;
}

}  // namespace tarnel::cli
