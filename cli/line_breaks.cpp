// SPDX-License-Identifier: MIT
#include "line_breaks.h"

#include "tarnel/secure_wipe.h"

namespace tarnel::cli {
namespace {

bool lf_without_cr(const std::string& text, std::size_t i) {
    return text[i] == '\n' && (i == 0 || text[i - 1] != '\r');
}

}  // namespace

void lf_to_crlf(std::string& text) {
    std::size_t added = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        added += lf_without_cr(text, i) ? 1 : 0;
    if (added == 0)
        return;
    std::string converted(text.size() + added, '\0');
    std::size_t out = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (lf_without_cr(text, i))
            converted[out++] = '\r';
        converted[out++] = text[i];
    }
    secure_wipe(text);
    text.swap(converted);
}

void crlf_to_lf(std::string& text) noexcept {
    std::size_t out = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool cr_before_lf = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        if (!cr_before_lf)
            text[out++] = text[i];
    }
    secure_wipe(text.data() + out, text.size() - out);
    text.resize(out);
}

}  // namespace tarnel::cli
