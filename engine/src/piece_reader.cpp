// SPDX-License-Identifier: MIT
#include "piece_reader.h"

#include <algorithm>
#include <new>

#include "tarnel/secure_wipe.h"

namespace tarnel {

PieceReader::~PieceReader() {
    secure_wipe(m_buffer.get(), m_capacity);
}

std::string_view PieceReader::read(uint64_t offset, std::size_t size) noexcept {
    if (m_failed)
        return {};
    if (size == 0)
        return std::string_view("", 0);
    if (m_capacity < size) {
        // One buffer of a whole piece serves every read.
        const std::size_t capacity = std::max(size, m_piece);
        secure_wipe(m_buffer.get(), m_capacity);
        m_capacity = 0;
        m_buffer.reset(new (std::nothrow) char[capacity]);
        if (!m_buffer) {
            m_failed = m_out_of_memory = true;
            return {};
        }
        m_capacity = capacity;
    }
    if (offset > m_size || size > m_size - offset ||
        !m_source.read_at(offset, m_buffer.get(), size)) {
        m_failed = true;
        return {};
    }
    return std::string_view(m_buffer.get(), size);
}

std::string_view PieceReader::next(uint64_t at, uint64_t end) noexcept {
    return read(at, std::size_t(std::min<uint64_t>(m_piece, end - at)));
}

}  // namespace tarnel
