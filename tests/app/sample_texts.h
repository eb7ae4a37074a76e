// SPDX-License-Identifier: MIT
// Texts for the text box tests, the same on every run.
#pragma once

#include <cstddef>
#include <random>
#include <string>

namespace tarnel::app::testing {

/// One line of `size` lower-case hex digits, like the body of a sealed text: no
/// break opportunity anywhere.
inline std::string HexLine(std::size_t size) {
    std::mt19937 rng(11);
    std::string text(size, '0');
    for (char& c : text)
        c = "0123456789abcdef"[rng() % 16];
    return text;
}

/// Words of ordinary prose, `size` bytes: one paragraph, or lines of a few words
/// ended by `line_break` when it is not empty.
inline std::string Words(std::size_t size, const std::string& line_break = {}) {
    static const char* const kWords[] = {"sealed",  "text",  "a",     "meeting", "at",
                                         "noon",    "the",   "blue",  "folder",  "of",
                                         "letters", "seven", "pages", "Monday",  "signed"};
    std::mt19937 rng(5);
    std::string text;
    int in_line = 0;
    while (text.size() < size) {
        if (!text.empty()) {
            if (!line_break.empty() && ++in_line % 9 == 0)
                text += line_break;
            else
                text += ' ';
        }
        text += kWords[rng() % std::size(kWords)];
    }
    return text;
}

}  // namespace tarnel::app::testing
