// SPDX-License-Identifier: MIT
#include "early_refusal.h"

#include <cstring>

#include "tarnel/sealed_format.h"

namespace tarnel::cli {

bool EarlyRefusal::keep_reading(std::string_view more) {
    for (std::size_t k = 0; k < more.size() && m_head_size < 2; ++k) {
        if (m_head_size > 0 || !is_format_space(more[k]))
            m_head[m_head_size++] = more[k];
    }
    const bool head_known = m_head_size == 2 || (m_head_size == 1 && m_head[0] != '{');
    const bool may_be_sealed = !head_known || std::string_view(m_head, 2) == kSealedOpen;
    if (m_direction == ProcessDirection::Open && !may_be_sealed) {
        m_reason = Reason::NotSealed;
        return false;
    }
    // Sealing is certain: a zero byte refuses the text wherever it is, so it is
    // looked for in every run. Earlier runs held only white space and the head.
    const bool sealing = m_direction == ProcessDirection::Seal ||
                         (m_direction == ProcessDirection::ByEnvelope && !may_be_sealed);
    if (sealing && std::memchr(more.data(), 0, more.size()) != nullptr) {
        m_reason = Reason::ZeroByte;
        return false;
    }
    return true;
}

}  // namespace tarnel::cli
