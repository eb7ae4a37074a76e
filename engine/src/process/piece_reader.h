// SPDX-License-Identifier: MIT
// Pieces of a random-access source, read into reused buffers that are wiped when
// they go: they may hold plain text. A pass that reads a large source piece by
// piece with next() has the following piece read on a thread of its own while the
// caller works on this one, so that reading, which for a file in memory costs as
// much as the cipher, overlaps the work. The source is never read by two threads
// at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "parallel_runner.h"
#include "tarnel/text_process.h"

namespace tarnel {

/// A text in memory as a source.
class MemorySource final : public RandomAccessSource {
  public:
    explicit MemorySource(std::string_view text) noexcept : m_text(text) {}
    uint64_t size() const noexcept override { return m_text.size(); }
    bool read_at(uint64_t offset, char* buffer, std::size_t size) noexcept override;
    const char* in_memory() const noexcept override { return m_text.empty() ? "" : m_text.data(); }

  private:
    std::string_view m_text;
};

class PieceReader {
  public:
    /// A source in memory is taken whole, in views of where it lies.
    PieceReader(RandomAccessSource& source, std::size_t piece) noexcept;
    ~PieceReader();
    PieceReader(const PieceReader&) = delete;
    PieceReader& operator=(const PieceReader&) = delete;

    std::size_t piece() const noexcept { return m_piece; }
    uint64_t size() const noexcept { return m_size; }
    /// The source lies in memory, and a pass over it costs no reading.
    bool in_memory() const noexcept { return m_memory != nullptr; }

    /// Bytes [offset, offset + size), size at most piece(); an empty view when
    /// reading failed or memory ran out (see failed()). The view holds until the
    /// next call.
    std::string_view read(uint64_t offset, std::size_t size) noexcept;
    /// The next piece of [at, end): at most piece() bytes. When more of [at, end)
    /// follows and pieces are large enough to be worth a thread (thread_count()),
    /// the piece after it is read ahead.
    std::string_view next(uint64_t at, uint64_t end) noexcept;
    /// Hands each piece of [from, to) to `take` in order, as next() reads them,
    /// while `take` returns true. False when `take` stopped or reading failed
    /// (failed() tells which).
    template <class Take>
    bool each(uint64_t from, uint64_t to, Take take) noexcept {
        for (uint64_t at = from; at < to;) {
            const std::string_view piece = next(at, to);
            if (piece.empty() || !take(piece))
                return false;
            at += piece.size();
        }
        return true;
    }

    bool failed() const noexcept { return m_failed; }
    /// Memory ran out rather than the source failing.
    bool out_of_memory() const noexcept { return m_out_of_memory; }

  private:
    struct Buffer {
        std::unique_ptr<char[]> bytes;
        std::size_t capacity = 0;
    };
    // A piece read ahead into the buffer not handed out.
    struct Ahead {
        uint64_t offset = 0;
        std::size_t size = 0;
        char* into = nullptr;
        bool read = false;  // set by the side job; read once it is waited for
    };

    bool make_room(Buffer& buffer, std::size_t size) noexcept;
    void read_ahead(uint64_t offset, std::size_t size) noexcept;

    RandomAccessSource& m_source;
    const char* m_memory;
    std::size_t m_piece;
    uint64_t m_size;
    Buffer m_buffers[2];
    int m_current = 0;  // the buffer the last view lies in
    Ahead m_ahead;
    bool m_failed = false;
    bool m_out_of_memory = false;
    // Last, so that it is destroyed first: the job is waited for before the buffers go.
    SideJob m_job;
};

}  // namespace tarnel
