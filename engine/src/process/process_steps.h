// SPDX-License-Identifier: MIT
// The steps every source shares: the direction, the password and key, and the
// sealer and opener run into a sink.
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
    CTextCipher& cipher() noexcept { return m_cipher; }

  private:
    CTextCipher m_cipher;
    TextKey m_key;
};

/// Seals the surveyed text, `plain.length` bytes in `form`, into `sink`, which has
/// begun. With `check_nul`, a NUL stops it (the sealer is gone once this returns,
/// with all it would write); `watch`, when given, sees the trimmed text.
ProcessEnd seal_step(PieceReader& reader, const SourceSurvey& survey, const PlainSurvey& plain,
                     PlainForm form, Envelope envelope, const TextKey& key, ProcessSink& sink,
                     bool check_nul, CutShortWatch* watch) noexcept;

/// Opens the surveyed body, its trailer found, into `sink` in `form`, with
/// `line_break` for the text form; begins the sink. Sets report.damage and
/// report.looks_genuine.
ProcessEnd open_step(PieceReader& reader, SourceSurvey& survey, const TextKey& key, PlainForm form,
                     LineBreak line_break, ProcessSink& sink, ProcessReport& report) noexcept;

}  // namespace tarnel
