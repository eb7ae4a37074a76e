// SPDX-License-Identifier: MIT
// The text rule's one choice of form, which texts and passwords share: Windows-1252
// where every character has a byte there and those bytes do not themselves read
// as UTF-8 holding a non-ASCII character (they would open as another text).
#pragma once

#include "utf8_reader.h"

namespace tarnel {

class Windows1252Choice {
  public:
    /// The next character's Windows-1252 byte (windows1252_byte()), or -1 when it
    /// has none. False from then on.
    bool take(int form) noexcept {
        if (form < 0)
            return m_has_form = false;
        m_non_ascii = m_non_ascii || form >= 0x80;
        if (m_form_is_utf8 &&
            m_reader.feed(static_cast<unsigned char>(form)) == Utf8Reader::Step::Invalid)
            m_form_is_utf8 = false;
        return true;
    }
    /// A run of ASCII characters, which are their own bytes.
    void take_ascii() noexcept { m_form_is_utf8 = m_form_is_utf8 && m_reader.between_characters(); }

    bool has_form() const noexcept { return m_has_form; }
    /// For a whole text, valid UTF-8, taken character by character.
    bool chosen() const noexcept {
        const bool form_is_utf8 = m_form_is_utf8 && m_reader.between_characters();
        return m_has_form && !(form_is_utf8 && m_non_ascii);
    }

  private:
    Utf8Reader m_reader;  // the form's bytes, read as UTF-8
    bool m_has_form = true;
    bool m_form_is_utf8 = true;
    bool m_non_ascii = false;
};

}  // namespace tarnel
