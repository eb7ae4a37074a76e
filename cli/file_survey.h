// SPDX-License-Identifier: MIT
// The read-only pass over a text in a file: where the text lies without its white
// space, which way it goes, and what sealing or opening it will need to know. It
// refuses what the whole-text way refuses, and stops reading as soon as it may.
#pragma once

#include <cstdint>

#include "file_text.h"
#include "tarnel/process.h"
#include "tarnel/sealed_format.h"

namespace tarnel::cli {

struct Survey {
    uint64_t begin = 0, end = 0;  ///< the trimmed text
    bool sealed = false;          ///< it lies in "{{" ... "}}"
    bool sealing = false;         ///< the direction chosen
    uint64_t bare_lfs = 0;        ///< sealing with --crlf: LFs not after a CR
    // Opening: the body is [begin + 2, end - 2).
    BodyLayout layout;
    BodyDamage damage;
    bool unbroken = false;  ///< no white space in the hex part
};

enum class SurveyEnd { Ready, ReadFailed, NotSealed, ZeroByte };

/// Surveys `text` for `direction`; with `crlf`, counts the LFs that sealing turns
/// into CR LF. A text to seal stops the pass at its first zero byte.
SurveyEnd survey_file_text(PieceReader& reader, const FileText& text, ProcessDirection direction,
                           bool crlf, Survey& survey);

/// Bytes that sealing the surveyed text feeds the engine.
inline uint64_t plain_length(const Survey& survey, bool crlf) noexcept {
    return survey.end - survey.begin + (crlf ? survey.bare_lfs : 0);
}

}  // namespace tarnel::cli
