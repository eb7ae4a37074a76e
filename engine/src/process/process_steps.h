// SPDX-License-Identifier: MIT
// The steps of the one process (process_source.cpp): the direction, the password
// and key, and the seal and open into a sink, which CTextCipher runs alone.
#pragma once

#include <string_view>

#include "piece_reader.h"
#include "source_survey.h"
#include "tarnel/text_cipher.h"
#include "tarnel/text_key.h"
#include "tarnel/text_process.h"

namespace tarnel {

/// Judges a password known up front before the text (see PasswordProvider): true,
/// with report.end set, when it is refused.
bool password_refused_first(PasswordProvider& provider, ProcessReport& report) noexcept;

/// Sets report.sealing from what the trimmed text looks like; false (NotSealed)
/// when opening is asked of a text that is not sealed.
bool choose_direction(bool sealed, ProcessDirection direction, ProcessReport& report) noexcept;

/// The key of the password the provider gives, wiped when it goes.
class ProcessKey {
  public:
    ProcessKey() noexcept = default;
    ~ProcessKey();
    ProcessKey(const ProcessKey&) = delete;
    ProcessKey& operator=(const ProcessKey&) = delete;

    /// Asks `provider`, refuses an unusable password, sets the key. On false,
    /// report.end says why.
    bool obtain(PasswordProvider& provider, ProcessReport& report) noexcept;

    const TextKey& key() const noexcept { return m_key; }

  private:
    CTextCipher m_cipher;
    TextKey m_key;
};

/// Seals the surveyed text, `plain.length` bytes in `form`, into `sink`: refuses
/// a text too long, begins the sink, seals. A text not `surveyed` is surveyed once
/// the sink began, or, where the sink is discardable, sealed at once and thrown
/// away at a NUL; in text form also where it proves not to be UTF-8, or to need
/// the form it was not sealed in, which is then sealed after a survey. `watch`,
/// when given, sees the trimmed text.
ProcessEnd seal_step(PieceReader& reader, const SourceSurvey& survey, PlainSurvey& plain,
                     PlainForm form, Envelope envelope, const TextKey& key, ProcessSink& sink,
                     bool surveyed, CutShortWatch* watch) noexcept;

/// Opens the surveyed body, its trailer found, into `sink` in `form`, with
/// `line_break` for the text form; begins the sink. Sets report.damage and
/// report.looks_genuine.
ProcessEnd open_step(PieceReader& reader, SourceSurvey& survey, const TextKey& key, PlainForm form,
                     LineBreak line_break, ProcessSink& sink, ProcessReport& report) noexcept;

}  // namespace tarnel
