// SPDX-License-Identifier: MIT
// Every piece of sealed output is opened again and compared with the plain bytes
// it came from before it counts. The format has no integrity check of its own, so
// a fault of ours (a race, a miscompiled path, a bad memory page) would otherwise be
// found only when the text no longer opens, after the original may be gone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ecb_cipher.h"
#include "tarnel/text_key.h"
#include "text_blocks.h"

namespace tarnel {

class SealCheck {
  public:
    SealCheck() noexcept = default;
    ~SealCheck();  ///< wipes the opened bytes
    SealCheck(const SealCheck&) = delete;
    SealCheck& operator=(const SealCheck&) = delete;

    /// Keys the decrypting side with `key`. Until then, and when a benchmark turns
    /// the check off through the test hooks, every check passes.
    void set_key(const TextKey& key) noexcept;

    /// True when the 64 * blocks lowercase hex digits of `hex` decode and decrypt
    /// to the 32 * blocks bytes of `plain`. Calls the test hooks' damage first.
    bool matches(char* hex, const uint8_t* plain, std::size_t blocks) const noexcept;

    /// The same for the last block: `out` holds its hex, the trailer and maybe "}}"
    /// (`size` characters in all), and the trailer must give `blocks`.
    bool matches_last(char* out, std::size_t size, const uint8_t* plain,
                      uint64_t blocks) const noexcept;

    /// The same for one chunk of a run written in place on several threads, checked by
    /// the thread that has just written it, while it is still in that CPU's cache:
    /// chunk `chunk` of kChunkBlocks blocks (fewer for the last) of a run of `blocks`
    /// blocks whose hex begins at `hex` and whose plain bytes begin at `plain`. The
    /// chunk's place is worked out here, not taken from the sealer. Safe to call on
    /// several threads at once.
    bool matches_chunk(char* hex, const uint8_t* plain, std::size_t chunk,
                       std::size_t blocks) const noexcept;

    /// Once every thread is done with such a run: the first block of each chunk again.
    /// The run's memory grows under the threads by whole chunks, so a chunk
    /// that growing filled again after it was checked has lost its first block too.
    bool chunks_kept(const char* hex, const uint8_t* plain, std::size_t blocks) const noexcept;

  private:
    // Opens into `opened`, room for kChunkBlocks blocks, a chunk at a time.
    bool compare(const char* hex, const uint8_t* plain, std::size_t blocks,
                 uint8_t* opened) const noexcept;

    EcbCipher m_cipher;
    bool m_on = false;
    // The caller's thread opens every small piece here, wiped once at the end
    // rather than after each piece.
    alignas(64) mutable uint8_t m_opened[32 * kChunkBlocks];
    mutable std::size_t m_used = 0;
};

}  // namespace tarnel
