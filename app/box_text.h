// SPDX-License-Identifier: MIT
// Between the text box's characters and the engine's bytes.
//
// Texts sealed on Windows hold Windows-1252 bytes. A text (or password) is handed
// to the engine as Windows-1252 when every character has a Windows-1252 form and
// those bytes are not themselves valid UTF-8 with a non-ASCII character; otherwise
// as UTF-8. An opened text is shown as UTF-8 when it is valid UTF-8, otherwise as
// Windows-1252. So accented texts pass both ways between the platforms, and every
// text sealed here comes back exactly, in any script.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnel::app {

/// The bytes the engine seals for the box's UTF-8 `text`, NUL characters included.
/// Throws std::bad_alloc when memory runs out.
std::string ToEngineBytes(std::string_view text);

/// The UTF-8 text the box shows for the opened `bytes`; nullopt only when memory
/// runs out.
std::optional<std::string> FromEngineBytes(std::string_view bytes) noexcept;

}  // namespace tarnel::app
