// SPDX-License-Identifier: MIT
// Pieces of a random-access source, read into one reused buffer that is wiped
// when it goes: it may hold plain text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "tarnel/text_process.h"

namespace tarnel {

class PieceReader {
  public:
    PieceReader(RandomAccessSource& source, std::size_t piece) noexcept
        : m_source(source), m_piece(piece > 0 ? piece : 1), m_size(source.size()) {}
    ~PieceReader();
    PieceReader(const PieceReader&) = delete;
    PieceReader& operator=(const PieceReader&) = delete;

    std::size_t piece() const noexcept { return m_piece; }
    uint64_t size() const noexcept { return m_size; }

    /// Bytes [offset, offset + size), size at most piece(); an empty view when
    /// reading failed or memory ran out (see failed()).
    std::string_view read(uint64_t offset, std::size_t size) noexcept;
    /// The next piece of [at, end): at most piece() bytes.
    std::string_view next(uint64_t at, uint64_t end) noexcept;

    bool failed() const noexcept { return m_failed; }
    /// Memory ran out rather than the source failing.
    bool out_of_memory() const noexcept { return m_out_of_memory; }

  private:
    RandomAccessSource& m_source;
    std::size_t m_piece;
    uint64_t m_size;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0;
    bool m_failed = false;
    bool m_out_of_memory = false;
};

}  // namespace tarnel
