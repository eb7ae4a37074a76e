// SPDX-License-Identifier: MIT
#include "lending_sink.h"

#include <new>

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

LendingSink& lending(TextSink& sink, std::optional<BufferingSink>& buffering) noexcept {
    if (auto* lends = dynamic_cast<LendingSink*>(&sink))
        return *lends;
    return buffering.emplace(sink);
}

}  // namespace tarnel
