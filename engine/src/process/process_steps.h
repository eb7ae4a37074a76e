// SPDX-License-Identifier: MIT
// The steps every source shares: the direction, the password and key, and the
// sealer and opener run into a sink.
#pragma once

#include <string_view>

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

/// The end of a seal whose sealer finished with `checked`, into `sink`.
ProcessEnd seal_end(bool checked, const ProcessSink& sink) noexcept;

}  // namespace tarnel
