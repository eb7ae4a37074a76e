// SPDX-License-Identifier: MIT
// Sealing a plain text piece by piece, for texts too large to hold twice in
// memory. CTextCipher and the process (text_process.h) are built on it, so a text
// sealed in pieces comes out exactly as it would whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "tarnel/sealed_format.h"
#include "tarnel/text_cipher.h"
#include "tarnel/text_key.h"
#include "tarnel/text_sink.h"

namespace tarnel {

/// Seals a plain text whose length is known up front: start, feed the text in any
/// pieces, finish. The output is what EncryptText gives for the whole text.
class TextSealer {
  public:
    TextSealer() noexcept;
    ~TextSealer();  ///< wipes the key schedule and any buffered plain bytes
    TextSealer(const TextSealer&) = delete;
    TextSealer& operator=(const TextSealer&) = delete;

    /// For start(): the length is known only once the text has been fed.
    static constexpr uint64_t kLengthUnknown = UINT64_MAX;

    /// Length of the output for a plain text of `plain_length` bytes.
    static uint64_t sealed_length(uint64_t plain_length, Envelope envelope) noexcept;

    /// Prepares to seal `plain_length` bytes under `key` into `sink`, writing "{{"
    /// first with Envelope::Included. Returns false, writing nothing, for a text
    /// longer than kMaxPlainLength or when memory runs out. With kLengthUnknown the
    /// text ends where feeding ends; the sink is then told no length in advance, and
    /// finish() fails a text that grew past kMaxPlainLength.
    bool start(const TextKey& key, uint64_t plain_length, Envelope envelope,
               TextSink& sink) noexcept;

    /// Seals the next bytes of the text. Bytes beyond the announced length are ignored.
    void feed(std::string_view plain) noexcept;

    /// Writes the last block (the text's remaining bytes and the zero fill), the
    /// trailer and, when asked for, "}}". The text must have been fed in full.
    /// Returns false when the seal failed its check (see check_failed()).
    bool finish() noexcept;

    /// Each piece of output is opened again and compared with the plain bytes it
    /// came from before the sink gets it. True once a piece failed: the sink got
    /// nothing from that piece on, and what it got is not a whole sealed text.
    bool check_failed() const noexcept;

  private:
    struct State;
    std::unique_ptr<State> m_state;
    bool m_check_failed = false;
};

}  // namespace tarnel
