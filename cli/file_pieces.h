// SPDX-License-Identifier: MIT
// The second pass over a text in a file: sealing or opening it a piece at a time
// into a sink, as the survey found it.
#pragma once

#include "file_survey.h"
#include "tarnel/text_key.h"
#include "tarnel/text_stream.h"

namespace tarnel::cli {

/// A sink that tells when writing failed, so that reading may stop.
class PieceSink : public TextSink {
  public:
    virtual bool failed() const noexcept = 0;

  protected:
    ~PieceSink() = default;
};

enum class PassEnd { Done, ReadFailed, TooLarge, CheckFailed };

/// Seals the surveyed text into `sink` as "{{" body "}}"; with `crlf`, every LF
/// not after a CR goes in as CR LF. Refuses a text over kMaxPlainLength.
PassEnd seal_pieces(PieceReader& reader, const Survey& survey, const TextKey& key, bool crlf,
                    PieceSink& sink);

/// Opens the surveyed body into `sink` and fills `summary`.
PassEnd open_pieces(PieceReader& reader, const Survey& survey, const TextKey& key, PieceSink& sink,
                    OpenSummary& summary);

}  // namespace tarnel::cli
