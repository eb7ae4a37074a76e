// SPDX-License-Identifier: MIT
// ProcessText in every direction on arbitrary texts and passwords.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "tarnel/process.h"

namespace {

using tarnel::ProcessDirection;
using tarnel::ProcessOutcome;
using tarnel::ProcessText;
using tarnel::fuzz::require;

std::string_view trim(std::string_view text) {
    while (!text.empty() && tarnel::fuzz::is_space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && tarnel::fuzz::is_space(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool in_envelope(std::string_view trimmed) {
    return trimmed.size() >= 4 && trimmed.starts_with("{{") && trimmed.ends_with("}}");
}

bool is_lower_hex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// "{{", 64 lowercase hex a block, ten digits of 4294967295 - N, "}}".
void require_sealed_form(const ProcessOutcome& outcome, std::size_t plain_length) {
    require(outcome.kind == ProcessOutcome::Kind::NewText && outcome.sealed);
    const std::string& sealed = outcome.text;
    const uint64_t blocks = plain_length / 32 + 1;
    require(sealed.size() == 64 * blocks + 14);
    require(in_envelope(sealed));
    const std::string_view hex = std::string_view(sealed).substr(2, 64 * blocks);
    for (const char c : hex) {
        require(is_lower_hex(c));
    }
    uint64_t trailer = 0;
    for (const char c : std::string_view(sealed).substr(2 + 64 * blocks, 10)) {
        require(c >= '0' && c <= '9');
        trailer = trailer * 10 + static_cast<uint64_t>(c - '0');
    }
    require(trailer == 0xFFFFFFFFull - blocks);
}

// Opening keeps to the blocks the body's hex part reaches and stops at a zero.
void require_opened_within(const ProcessOutcome& outcome, std::string_view trimmed) {
    require(outcome.kind == ProcessOutcome::Kind::NewText && !outcome.sealed);
    const std::string_view body = trimmed.substr(2, trimmed.size() - 4);
    require(outcome.text.size() <= 32 * tarnel::fuzz::max_blocks_for_body(body));
    require(outcome.text.find('\0') == std::string::npos);
}

// Sealing then opening gives back the trimmed text (which holds no zero byte), also
// when a mail program has wrapped the sealed text.
void require_round_trip(std::string_view password, std::string_view trimmed) {
    const ProcessOutcome sealed = ProcessText(password, trimmed, ProcessDirection::Seal);
    require_sealed_form(sealed, trimmed.size());

    const ProcessOutcome opened = ProcessText(password, sealed.text);
    require(opened.kind == ProcessOutcome::Kind::NewText && !opened.sealed);
    require(opened.text == trimmed);
    require(!opened.damage.any());

    std::string wrapped;
    for (std::size_t at = 0; at < sealed.text.size(); at += 76) {
        wrapped.append(sealed.text, at, 76);
        wrapped += "\r\n";
    }
    const ProcessOutcome unwrapped = ProcessText(password, wrapped, ProcessDirection::Open);
    require(unwrapped.kind == ProcessOutcome::Kind::NewText);
    require(unwrapped.text == opened.text && !unwrapped.damage.any());
    require(unwrapped.looks_genuine == opened.looks_genuine);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const auto [password, text] = tarnel::fuzz::split_input(data, size);
    const std::string_view trimmed = trim(text);

    const ProcessOutcome chosen = ProcessText(password, text);
    if (password.empty()) {
        require(chosen.kind == ProcessOutcome::Kind::Message &&
                chosen.text == tarnel::kEmptyPasswordMessage);
        return 0;
    }
    if (password.find('\0') != std::string_view::npos) {
        require(chosen.kind == ProcessOutcome::Kind::Message &&
                chosen.text == tarnel::kPasswordNulMessage);
        return 0;
    }
    // A text that would not come back whole is refused, never sealed.
    if (trimmed.find('\0') != std::string_view::npos) {
        const ProcessOutcome forced_seal = ProcessText(password, text, ProcessDirection::Seal);
        require(forced_seal.kind == ProcessOutcome::Kind::Message &&
                forced_seal.text == tarnel::kTextNulMessage);
        if (!in_envelope(trimmed)) {
            require(chosen.kind == forced_seal.kind && chosen.text == forced_seal.text);
            return 0;
        }
    }

    const ProcessOutcome forced_open = ProcessText(password, text, ProcessDirection::Open);
    if (in_envelope(trimmed)) {
        require_opened_within(chosen, trimmed);
        require(forced_open.kind == chosen.kind && forced_open.text == chosen.text);
    } else {
        require_sealed_form(chosen, trimmed.size());
        require(forced_open.kind == ProcessOutcome::Kind::NotSealed && forced_open.text.empty());
        // Sealing is a function of the password and the text alone.
        const ProcessOutcome forced_seal = ProcessText(password, text, ProcessDirection::Seal);
        require(forced_seal.text == chosen.text);
    }
    if (trimmed.find('\0') == std::string_view::npos)
        require_round_trip(password, trimmed);
    return 0;
}
