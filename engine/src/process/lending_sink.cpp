// SPDX-License-Identifier: MIT
#include "lending_sink.h"

#include <new>

#include "huge_pages.h"
#include "tarnel/large_pages.h"
#include "tarnel/secure_wipe.h"

namespace tarnel {

BufferingSink::~BufferingSink() {
    secure_wipe(m_buffer.get(), m_capacity);
}

char* BufferingSink::room(std::size_t size) noexcept {
    settle();
    if (size > kMostLent)
        return nullptr;
    if (size > m_capacity) {
        secure_wipe(m_buffer.get(), m_capacity);
        m_capacity = 0;
        m_buffer.reset(new (std::nothrow) char[size]);
        if (!m_buffer)
            return nullptr;
        prefer_large_pages(m_buffer.get(), size);
        m_capacity = size;
    }
    m_lent = size;
    return m_buffer.get();
}

void BufferingSink::give_back(std::size_t size) noexcept {
    m_lent -= size;
    secure_wipe(m_buffer.get() + m_lent, size);
}

void BufferingSink::settle() noexcept {
    if (m_lent != 0)
        m_out.write(m_buffer.get(), m_lent);
    m_lent = 0;
}

bool reserve_result(std::string& text, uint64_t size) noexcept {
    // A size that size_t cannot hold (a 32-bit build) is as much memory as there is not.
    if (size > text.max_size()) {
        std::string().swap(text);
        return false;
    }
    try {
        reserve_on_huge_pages(text, std::size_t(size));
        return true;
    } catch (...) {
        std::string().swap(text);
        return false;
    }
}

void StringSink::write(const char* data, std::size_t size) noexcept {
    if (!append_wiped(m_text, std::string_view(data, size)))
        m_failed = true;
}

// Within the reserved capacity, so the room stays where it is; the string grows
// over it as it is made ready.
char* StringSink::room(std::size_t size) noexcept {
    if (m_text.capacity() - m_text.size() < size)
        return nullptr;
    m_room_at = m_text.size();
    return m_text.data() + m_room_at;
}

void StringSink::give_back(std::size_t size) noexcept {
    secure_wipe(m_text.data() + m_text.size() - size, size);
    m_text.resize(m_text.size() - size);
}

void StringSink::expect(uint64_t total) noexcept {
    // Only an empty string is reserved for: one that holds a text keeps its place.
    if (m_text.empty() && m_text.capacity() < total && !reserve_result(m_text, total))
        m_failed = true;
}

bool StringResult::discard() noexcept {
    secure_wipe(m_text);
    return true;
}

LendingSink& lending(TextSink& sink, std::optional<BufferingSink>& buffering) noexcept {
    if (auto* lends = dynamic_cast<LendingSink*>(&sink))
        return *lends;
    return buffering.emplace(sink);
}

}  // namespace tarnel
