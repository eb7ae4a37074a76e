// SPDX-License-Identifier: MIT
#include "plain_forms.h"

#include <new>

#include "tarnel/secure_wipe.h"

namespace tarnel {
namespace {

// LFs of `piece` not after a CR; `before` is the byte before the piece.
uint64_t count_bare_lfs(std::string_view piece, char before) noexcept {
    uint64_t bare = 0;
    for (std::size_t k = piece.find('\n'); k != std::string_view::npos; k = piece.find('\n', k + 1))
        bare += (k == 0 ? before : piece[k - 1]) != '\r';
    return bare;
}

}  // namespace

SealConversion::~SealConversion() {
    secure_wipe(m_buffer.get(), m_capacity);
}

void SealConversion::survey(std::string_view piece) noexcept {
    if (m_form != PlainForm::WindowsLines || piece.empty())
        return;
    m_added += count_bare_lfs(piece, m_survey_before);
    m_survey_before = piece.back();
}

bool SealConversion::convert(std::string_view piece, std::string_view& converted) noexcept {
    if (m_form != PlainForm::WindowsLines || piece.empty()) {
        converted = piece;
        return true;
    }
    const std::size_t most = 2 * piece.size();
    if (most > m_capacity) {
        secure_wipe(m_buffer.get(), m_capacity);
        m_capacity = 0;
        m_buffer.reset(new (std::nothrow) char[most]);
        if (!m_buffer)
            return false;
        m_capacity = most;
    }
    char* out = m_buffer.get();
    std::size_t used = 0;
    char before = m_convert_before;
    for (const char c : piece) {
        if (c == '\n' && before != '\r')
            out[used++] = '\r';
        out[used++] = c;
        before = c;
    }
    m_convert_before = before;
    converted = std::string_view(out, used);
    return true;
}

void OpenConversion::write(const char* data, std::size_t size) noexcept {
    if (m_form != PlainForm::WindowsLines) {
        m_out.write(data, size);
        return;
    }
    std::size_t from = 0;
    if (m_held_cr && size > 0) {
        m_held_cr = false;
        if (data[0] != '\n')
            m_out.write("\r", 1);
    }
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] != '\r')
            continue;
        if (i + 1 == size) {
            m_out.write(data + from, i - from);
            m_held_cr = true;
            return;
        }
        if (data[i + 1] == '\n') {
            m_out.write(data + from, i - from);
            from = i + 1;
        }
    }
    m_out.write(data + from, size - from);
}

void OpenConversion::finish() noexcept {
    if (m_held_cr)
        m_out.write("\r", 1);
    m_held_cr = false;
}

}  // namespace tarnel
