// SPDX-License-Identifier: MIT
#include "tarnel/codepage.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include "tarnel/secure_wipe.h"
#include "tarnel/text_rule.h"
#include "utf8_reader.h"
#include "windows1252_choice.h"

namespace tarnel {
namespace {

// Characters of bytes 0x80..0x9F; the rest of the code page is Latin-1.
constexpr char32_t kHighRow[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// What the Windows-1252 form of a UTF-8 text would be, found without storing it.
struct Windows1252Survey {
    bool valid_utf8 = true;  // the text itself
    std::size_t length = 0;  // bytes of the form
    Windows1252Choice choice;
};

Windows1252Survey survey(std::string_view text) noexcept {
    Windows1252Survey result;
    Utf8Reader reader;
    for (const char c : text) {
        const Utf8Reader::Step step = reader.feed(static_cast<unsigned char>(c));
        if (step == Utf8Reader::Step::Invalid) {
            result.valid_utf8 = false;
            return result;
        }
        if (step == Utf8Reader::Step::Complete && result.choice.has_form() &&
            result.choice.take(windows1252_byte(reader.code_point())))
            ++result.length;
    }
    result.valid_utf8 = reader.between_characters();
    return result;
}

// Writes the Windows-1252 form of `text` (valid UTF-8, every character with a
// form) to `out`, which may be `text`'s own storage: the form is never longer.
std::size_t put_windows1252(std::string_view text, char* out) noexcept {
    Utf8Reader reader;
    std::size_t written = 0;
    for (const char c : text) {
        if (reader.feed(static_cast<unsigned char>(c)) == Utf8Reader::Step::Complete) {
            out[written++] = char(windows1252_byte(reader.code_point()));
        }
    }
    return written;
}

}  // namespace

char32_t windows1252_code_point(unsigned char byte) noexcept {
    return byte >= 0x80 && byte < 0xA0 ? kHighRow[byte - 0x80] : char32_t(byte);
}

int windows1252_byte(char32_t code_point) noexcept {
    if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF))
        return int(code_point);
    for (int i = 0; i < 32; ++i) {
        if (kHighRow[i] == code_point)
            return 0x80 + i;
    }
    return -1;
}

bool is_valid_utf8(std::string_view text) noexcept {
    Utf8Reader reader;
    for (const char c : text) {
        if (reader.feed(static_cast<unsigned char>(c)) == Utf8Reader::Step::Invalid)
            return false;
    }
    return reader.between_characters();
}

std::optional<std::string> windows1252_to_utf8(std::string_view bytes) noexcept {
    // Sized once, so that no reallocation leaves a copy of the text behind.
    std::size_t length = 0;
    for (const char c : bytes)
        length += utf8_length(windows1252_code_point(c));
    try {
        std::string text(length, '\0');
        char* out = text.data();
        for (const char c : bytes)
            out = put_utf8(windows1252_code_point(c), out);
        return text;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return std::nullopt;
}

std::optional<std::string> utf8_to_windows1252(std::string_view text) noexcept {
    const Windows1252Survey found = survey(text);
    if (!found.valid_utf8 || !found.choice.has_form())
        return std::nullopt;
    try {
        std::string bytes(found.length, '\0');
        put_windows1252(text, bytes.data());
        return bytes;
    } catch (const std::bad_alloc&) {
    }
    return std::nullopt;
}

void convert_password_in_place(std::string& password) noexcept {
    const std::string_view line = password_line(password);
    if (line.size() < password.size()) {
        const std::size_t old_size = password.size();
        std::memmove(password.data(), line.data(), line.size());
        secure_wipe(password.data() + line.size(), old_size - line.size());
        password.resize(line.size());
    }
    const Windows1252Survey found = survey(password);
    if (!found.valid_utf8 || !found.choice.chosen())
        return;
    const std::size_t old_size = password.size();
    const std::size_t new_size = put_windows1252(password, password.data());
    // The tail still holds pieces of the typed password.
    secure_wipe(password.data() + new_size, old_size - new_size);
    password.resize(new_size);
}

std::string password_bytes(std::string_view typed) noexcept {
    try {
        std::string password(typed);
        convert_password_in_place(password);
        return password;
    } catch (const std::bad_alloc&) {
    }
    return std::string();
}

}  // namespace tarnel
