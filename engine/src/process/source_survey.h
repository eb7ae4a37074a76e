// SPDX-License-Identifier: MIT
// What a text in a random-access source is, found by reading it without
// writing anything: where it lies without its white space, whether it is sealed,
// and what sealing or opening it needs to know. Stops reading as soon as it may.
#pragma once

#include <cstdint>

#include "body_layout.h"
#include "piece_reader.h"
#include "plain_forms.h"

namespace tarnel {

struct SourceSurvey {
    uint64_t begin = 0, end = 0;  ///< the trimmed text
    bool sealed = false;          ///< it lies in "{{" ... "}}"
    // Opening: the body, its trailer, and what the decoder makes of it.
    uint64_t body_begin = 0, body_end = 0;
    Trailer trailer;  ///< offsets in the body
    BodyLayout layout;
    BodyDamage damage;
    bool unbroken = false;  ///< no white space in the hex part, as far as known

    uint64_t hex_end() const noexcept { return body_begin + trailer.hex_end(); }
};

/// Finds the trimmed text and whether it is sealed, reading only its ends; for a
/// sealed text, where its body lies.
bool find_trimmed(PieceReader& reader, PlainForm form, SourceSurvey& survey) noexcept;

/// What sealing the surveyed text needs to know.
struct PlainSurvey {
    bool nul = false;          ///< the trimmed text holds a NUL (the survey stopped there)
    bool valid_utf8 = true;    ///< text form: the whole text is UTF-8
    bool windows1252 = false;  ///< text form: see TextBytesSurvey
    uint64_t length = 0;       ///< bytes the sealer gets
};
/// Surveys a text to seal; false when reading failed, or at a NUL.
bool survey_plain(PieceReader& reader, const SourceSurvey& survey, PlainForm form,
                  PlainSurvey& plain) noexcept;

/// Finds the body's trailer, reading backwards from its end.
bool find_body_end(PieceReader& reader, SourceSurvey& survey) noexcept;

/// The body's layout and damage from `count`, its hex part's white space and stray
/// characters as far as known. `unbroken` takes the hex part to hold no white
/// space, which a pass that opens it then tells.
void judge_body(SourceSurvey& survey, const HexPartCount& count, bool unbroken) noexcept;
/// Counts the white space of the hex part and judges the body by it.
bool survey_body(PieceReader& reader, SourceSurvey& survey) noexcept;

}  // namespace tarnel
