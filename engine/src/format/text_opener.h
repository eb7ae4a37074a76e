// SPDX-License-Identifier: MIT
// Opening a body piece by piece, for texts too large to hold twice in memory.
// CTextCipher and the process (text_process.h) are built on it, so a body opened
// in pieces comes out exactly as it would whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "body_layout.h"
#include "tarnel/text_cipher.h"
#include "tarnel/text_key.h"
#include "tarnel/text_sink.h"

namespace tarnel {

/// Opens a body (a sealed text without "{{" and "}}") piece by piece: start with
/// the body's layout, feed its hex part in any pieces, finish. The plain bytes
/// before the first zero go to the sink: what DecryptText gives for the whole body.
class TextOpener {
  public:
    TextOpener() noexcept;
    ~TextOpener();  ///< wipes the key schedule and buffered plain bytes
    TextOpener(const TextOpener&) = delete;
    TextOpener& operator=(const TextOpener&) = delete;

    /// Prepares to open a body whose layout analyse_body() (or analyse_body_end())
    /// found. Returns false when memory runs out. With `unbroken`, the hex part is
    /// taken to hold no white space, which lets large pieces be worked on several
    /// threads; white space then stops the opener (see met_white_space()).
    bool start(const TextKey& key, const BodyLayout& layout, TextSink& sink,
               bool unbroken = false) noexcept;

    /// Opens the next characters of the hex part, body[0, layout.hex_end), in order.
    void feed(std::string_view hex) noexcept;

    /// Decrypts the blocks the hex part left unfilled (from zeros) and ends.
    /// Fills `summary`'s blocks and looks_genuine; its damage is the caller's.
    void finish(OpenSummary& summary) noexcept;

    /// Only with `unbroken`: white space turned up, and what the sink got is void.
    bool met_white_space() const noexcept;
    /// Only with `unbroken`: a character of the hex part is not one of 0-9 and a-f.
    bool met_stray_character() const noexcept;

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace tarnel
