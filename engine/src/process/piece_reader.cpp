// SPDX-License-Identifier: MIT
#include "piece_reader.h"

#include <algorithm>
#include <new>

#include "tarnel/large_pages.h"
#include "tarnel/secure_wipe.h"

namespace tarnel {

bool MemorySource::read_at(uint64_t offset, char* buffer, std::size_t size) noexcept {
    if (offset > m_text.size() || size > m_text.size() - offset)
        return false;
    std::copy_n(m_text.data() + offset, size, buffer);
    return true;
}

PieceReader::PieceReader(RandomAccessSource& source, std::size_t piece) noexcept
    : m_source(source),
      m_memory(source.in_memory()),
      m_piece(piece > 0 ? piece : 1),
      m_size(source.size()) {
    if (m_memory != nullptr)
        m_piece = std::size_t(std::max<uint64_t>(m_size, 1));
}

PieceReader::~PieceReader() {
    m_job.wait();
    for (Buffer& buffer : m_buffers)
        secure_wipe(buffer.bytes.get(), buffer.capacity);
}

bool PieceReader::make_room(Buffer& buffer, std::size_t size) noexcept {
    if (buffer.capacity >= size)
        return true;
    // One buffer of a whole piece serves every read.
    const std::size_t capacity = std::max(size, m_piece);
    secure_wipe(buffer.bytes.get(), buffer.capacity);
    buffer.capacity = 0;
    buffer.bytes.reset(new (std::nothrow) char[capacity]);
    if (!buffer.bytes)
        return false;
    prefer_large_pages(buffer.bytes.get(), capacity);
    buffer.capacity = capacity;
    return true;
}

std::string_view PieceReader::read(uint64_t offset, std::size_t size) noexcept {
    if (m_failed)
        return {};
    if (size == 0)
        return std::string_view("", 0);
    if (offset > m_size || size > m_size - offset) {
        m_failed = true;
        return {};
    }
    if (m_memory != nullptr)
        return std::string_view(m_memory + offset, size);
    if (m_job.pending()) {
        m_job.wait();
        if (m_ahead.offset == offset && m_ahead.size == size) {
            if (!m_ahead.read) {
                m_failed = true;
                return {};
            }
            m_current = 1 - m_current;
            return std::string_view(m_ahead.into, size);
        }
        // Not what was read ahead: that is dropped, and read again if asked for.
    }
    Buffer& buffer = m_buffers[m_current];
    if (!make_room(buffer, size)) {
        m_failed = m_out_of_memory = true;
        return {};
    }
    if (!m_source.read_at(offset, buffer.bytes.get(), size)) {
        m_failed = true;
        return {};
    }
    return std::string_view(buffer.bytes.get(), size);
}

void PieceReader::read_ahead(uint64_t offset, std::size_t size) noexcept {
    if (thread_count(m_piece / 32, 2) < 2)
        return;
    Buffer& buffer = m_buffers[1 - m_current];
    if (!make_room(buffer, size))
        return;  // the piece is read when asked for, into the one buffer
    m_ahead = Ahead{offset, size, buffer.bytes.get(), false};
    m_job.start(
        [](void* context) noexcept {
            auto& reader = *static_cast<PieceReader*>(context);
            Ahead& ahead = reader.m_ahead;
            ahead.read = reader.m_source.read_at(ahead.offset, ahead.into, ahead.size);
        },
        this);
}

std::string_view PieceReader::next(uint64_t at, uint64_t end) noexcept {
    const std::size_t size = std::size_t(std::min<uint64_t>(m_piece, end - at));
    const std::string_view piece = read(at, size);
    // Within the source, as read() checked for this piece.
    if (!piece.empty() && m_memory == nullptr && end - at > size && end <= m_size)
        read_ahead(at + size, std::size_t(std::min<uint64_t>(m_piece, end - at - size)));
    return piece;
}

}  // namespace tarnel
