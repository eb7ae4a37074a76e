// SPDX-License-Identifier: MIT
// CTextCipher on arbitrary bodies, and sealing then opening arbitrary plain texts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "body_layout.h"
#include "fuzz_support.h"
#include "tarnel/sealed_format.h"
#include "tarnel/text_cipher.h"

namespace {

using tarnel::fuzz::require;

struct Opened {
    std::string text;
    tarnel::OpenSummary summary;
};

// A fresh cipher object for each operation, as callers use it.
Opened open_body(std::string_view password, std::string_view body) {
    tarnel::CTextCipher cipher;
    tarnel::TextKey key;
    cipher.SetPassword(password, key);
    Opened opened;
    require(cipher.DecryptText(key, body, opened.text, &opened.summary));
    return opened;
}

// A forged body may decode to less than it claims, never to more than its hex
// part reaches, and opening never lets a zero byte through.
void open_arbitrary_body(std::string_view password, std::string_view body) {
    const auto [opened, summary] = open_body(password, body);
    require(summary.blocks <= tarnel::fuzz::max_blocks_for_body(body));
    require(summary.blocks == tarnel::analyse_body(body).blocks);
    require(opened.size() <= 32 * summary.blocks);
    require(opened.find('\0') == std::string::npos);
    if (summary.looks_genuine) {
        // The first zero lies in the last block.
        require(summary.blocks > 0 && opened.size() >= 32 * (summary.blocks - 1));
    }
    // A leading space changes nothing, but takes the way that counts white space
    // first instead of the one-pass way for bodies without it.
    std::string with_space(1, ' ');
    with_space.append(body);
    const auto [spaced, spaced_summary] = open_body(password, with_space);
    require(spaced == opened && spaced_summary.blocks == summary.blocks);
    require(spaced_summary.looks_genuine == summary.looks_genuine);
    require(spaced_summary.damage.bad_digits == summary.damage.bad_digits);
    require(spaced_summary.damage.count_mismatch == summary.damage.count_mismatch);
}

// Whatever the plain text, its body has the sealed shape and opens to the text up
// to its first zero byte; it looks genuine exactly when that zero is in the
// padding block with only zeros after it.
void seal_and_open(std::string_view password, std::string_view plain) {
    tarnel::TextKey key;
    std::string body;
    {
        tarnel::CTextCipher sealer;
        sealer.SetPassword(password, key);
        require(sealer.EncryptText(key, plain, body));
    }
    const uint64_t blocks = plain.size() / 32 + 1;
    require(body.size() == 64 * blocks + 10);

    const auto [opened, summary] = open_body(password, body);
    require(summary.blocks == blocks);
    require(opened == tarnel::fuzz::up_to_zero(plain));

    const std::size_t first_zero = plain.find('\0');
    const bool genuine = first_zero == std::string_view::npos ||
                         (first_zero >= 32 * (blocks - 1) &&
                          plain.find_first_not_of('\0', first_zero) == std::string_view::npos);
    require(summary.looks_genuine == genuine);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    auto [password, text] = tarnel::fuzz::split_input(data, size);
    // SetPassword wants a password; the empty one is ProcessText's to refuse.
    if (password.empty()) {
        password = "tarnel";
    }
    open_arbitrary_body(password, text);
    seal_and_open(password, text);
    return 0;
}
