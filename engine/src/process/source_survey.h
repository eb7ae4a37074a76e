// SPDX-License-Identifier: MIT
// What a text in a random-access source is, found by reading it without
// writing anything: where it lies without its white space, whether it is sealed,
// and what sealing or opening it needs to know. Stops reading as soon as it may.
#pragma once

#include <cstdint>
#include <string>

#include "body_layout.h"
#include "piece_reader.h"
#include "plain_forms.h"
#include "tarnel/sealed_format.h"
#include "tarnel/text_rule.h"
#include "text_rule_pieces.h"

namespace tarnel {

struct SourceSurvey {
    uint64_t begin = 0, end = 0;  ///< the trimmed text
    bool sealed = false;          ///< it lies in "{{" ... "}}"
    // Opening: the body is [begin + 2, end - 2).
    std::string body_end;     ///< the body's last ten characters that are not white space
    uint64_t end_offset = 0;  ///< where body_end's first character lies in the body
    std::size_t hex_end = 0;  ///< the hex part is body[0, hex_end)
    BodyLayout layout;
    BodyDamage damage;
    bool unbroken = false;  ///< no white space in the hex part
};

/// Finds the trimmed text and whether it is sealed, reading only its ends.
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

/// A body's end: its trailer and where its hex part ends, read backwards.
bool find_body_end(PieceReader& reader, SourceSurvey& survey) noexcept;

/// The body's layout and damage as though its hex part held neither white space
/// nor stray characters, which a pass that opens it then tells (see layout_after()).
void assume_unbroken(SourceSurvey& survey) noexcept;
/// The damage once the hex part turned out to hold stray characters, or not.
void damage_after(SourceSurvey& survey, bool stray) noexcept;

/// Counts the white space of the hex part, for its layout and damage.
bool survey_body(PieceReader& reader, SourceSurvey& survey) noexcept;

}  // namespace tarnel
