// SPDX-License-Identifier: MIT
// Windows-1252 <-> UTF-8, and the bytes a typed password stands for.
//
// Texts sealed on Windows hold Windows-1252 bytes, and their passwords were typed
// as Windows-1252 too. A password typed here arrives as UTF-8; password_bytes()
// turns it into the bytes the same keys would have given there.
//
// The five bytes that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// stand for the C1 controls of the same value, as the Windows conversion has them,
// so every byte has a character and every conversion can be undone.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnel {

/// The character that Windows-1252 byte `byte` stands for.
char32_t windows1252_code_point(unsigned char byte) noexcept;

/// The Windows-1252 byte of `code_point`, or -1 when it has none.
int windows1252_byte(char32_t code_point) noexcept;

/// True when `text` is well-formed UTF-8: shortest forms only, no surrogates,
/// nothing above U+10FFFF.
bool is_valid_utf8(std::string_view text) noexcept;

/// `bytes` read as Windows-1252, in UTF-8; nullopt only when memory runs out.
std::optional<std::string> windows1252_to_utf8(std::string_view bytes) noexcept;

/// `text` (UTF-8) in Windows-1252, or nullopt when `text` is not valid UTF-8, holds
/// a character that Windows-1252 lacks, or memory runs out.
std::optional<std::string> utf8_to_windows1252(std::string_view text) noexcept;

/// The bytes that the password `typed` stands for, by the password rule (text_rule.h):
/// only its password_line() counts. A valid UTF-8 password whose characters all have
/// a Windows-1252 form becomes those Windows-1252 bytes, unless those bytes would
/// themselves be valid UTF-8 with a non-ASCII character (then the typed bytes were
/// most likely meant as they are). Any other password is kept as its bytes. Never
/// longer than `typed`; what it no longer holds is wiped.
void convert_password_in_place(std::string& password) noexcept;

/// convert_password_in_place() on a copy of `typed`. Should memory for the copy run
/// out, the result is empty, which the engine refuses as an empty password.
std::string password_bytes(std::string_view typed) noexcept;

}  // namespace tarnel
