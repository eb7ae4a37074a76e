// SPDX-License-Identifier: MIT
// The text rule: which bytes a text is sealed as, and which text opened bytes are.
//
// Sealing works on bytes (see process.h); people work on characters. Every program
// turns a text into bytes with text_to_bytes() before sealing and turns opened bytes
// back into a text with bytes_to_text(), so a text sealed by one opens the same in
// any other, on any platform.
//
// Text to bytes. The text is UTF-8. A byte-order mark (U+FEFF) at its very start is
// dropped. Every line break -- CR LF, LF, a lone CR, U+2028 and U+2029 -- becomes
// CR LF, as texts sealed on Windows have them. Then the text is written in
// Windows-1252 when every character has a Windows-1252 form and those bytes are
// not themselves valid UTF-8 holding a non-ASCII character (such bytes would open
// as another text); otherwise it stays UTF-8. So accented Latin texts are sealed as
// Windows programs seal them, and every other script comes back exactly. A text
// that is not valid UTF-8 keeps its bytes as they are, line breaks apart; callers
// that must not seal such a text refuse it first with is_valid_utf8() (codepage.h).
//
// Bytes to text. Valid UTF-8 is read as UTF-8, anything else as Windows-1252 (the
// five bytes Windows-1252 leaves undefined stand for the C1 controls of the same
// value). Each CR LF becomes the line break asked for; a lone CR or LF stays as it is.
//
// The rule neither trims nor refuses anything: ProcessText (process.h) trims the
// bytes and refuses a NUL, as it does for any bytes.
//
// The password rule. A password is typed in a one-line field, read from the first
// line of a file, or pasted; every program takes it alike. A byte-order mark at its
// very start is dropped (editors save one), and the password ends at its first line
// break (CR LF, LF, CR, U+2028 or U+2029), so a pasted two-line text gives the key
// of its first line everywhere. Then its characters become Windows-1252 bytes by the
// choice texts get (convert_password_in_place() in codepage.h applies all of it).
//
// Both come whole, in memory. For texts too large to hold, the process over a
// stream or a file (text_process.h, PlainForm::Text) applies the same rule piece
// by piece. Nothing here throws; buffers that held plain text are wiped.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnel {

/// The line break an opened text gets.
enum class LineBreak { Lf, CrLf };

/// The platform's own line break: CR LF on Windows, LF elsewhere.
#ifdef _WIN32
inline constexpr LineBreak kPlatformLineBreak = LineBreak::CrLf;
#else
inline constexpr LineBreak kPlatformLineBreak = LineBreak::Lf;
#endif

/// The bytes to seal for the UTF-8 `text`. nullopt only when memory runs out.
std::optional<std::string> text_to_bytes(std::string_view text) noexcept;

/// The UTF-8 text that the opened `bytes` stand for, with `line_break` for each
/// CR LF. nullopt only when memory runs out.
std::optional<std::string> bytes_to_text(std::string_view bytes,
                                         LineBreak line_break = kPlatformLineBreak) noexcept;

/// The part of the typed password `typed` that counts: without a leading byte-order
/// mark, up to its first line break. A view into `typed`.
std::string_view password_line(std::string_view typed) noexcept;

}  // namespace tarnel
