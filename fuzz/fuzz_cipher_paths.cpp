// SPDX-License-Identifier: MIT
// The accelerated paths against the portable ones on the same input: the block
// cipher on every key length, and sealing and opening through every cipher path,
// hex path and split of the blocks across threads, whole and in pieces.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "body_layout.h"
#include "cipher_path.h"
#include "ecb_cipher.h"
#include "fuzz_support.h"
#include "hex_path.h"
#include "parallel_runner.h"
#include "tarnel/text_cipher.h"
#include "text_opener.h"
#include "text_sealer.h"

namespace {

using tarnel::CipherPath;
using tarnel::EcbCipher;
using tarnel::HexPath;
using tarnel::fuzz::require;

using tarnel::kCipherPaths;
using tarnel::kHexPaths;

// The text's whole blocks under a key made of its first bytes, both directions.
std::vector<uint8_t> run_blocks(std::string_view text, EcbCipher::Direction direction) {
    const uint32_t key_length = 16 + 8 * uint32_t(text.empty() ? 0 : uint8_t(text[0]) % 3);
    std::vector<uint8_t> key(key_length, 0x36);
    for (std::size_t i = 0; i < key.size() && i < text.size(); ++i)
        key[i] = uint8_t(text[i]);
    std::vector<uint8_t> data(text.begin(), text.begin() + text.size() / 32 * 32);
    const EcbCipher cipher(key.data(), key_length, direction);
    require(cipher.ok());
    cipher.run(data.data(), data.data(), data.size() / 32);
    return data;
}

struct Results {
    std::vector<uint8_t> encrypted, decrypted;
    std::string sealed, opened;
    tarnel::OpenSummary summary;
};

Results run_all(std::string_view password, std::string_view text) {
    Results r;
    r.encrypted = run_blocks(text, EcbCipher::Direction::Encrypt);
    r.decrypted = run_blocks(text, EcbCipher::Direction::Decrypt);
    tarnel::CTextCipher cipher;
    tarnel::TextKey key;
    cipher.SetPassword(password, key);
    require(cipher.EncryptText(key, text, r.sealed));
    require(cipher.DecryptText(key, text, r.opened, &r.summary));
    return r;
}

void require_same(const Results& a, const Results& b) {
    require(a.encrypted == b.encrypted && a.decrypted == b.decrypted);
    require(a.sealed == b.sealed && a.opened == b.opened);
    require(a.summary.blocks == b.summary.blocks);
    require(a.summary.looks_genuine == b.summary.looks_genuine);
    require(a.summary.damage.bad_digits == b.summary.damage.bad_digits);
    require(a.summary.damage.partial_block == b.summary.damage.partial_block);
}

class Collect final : public tarnel::TextSink {
  public:
    void write(const char* data, std::size_t size) noexcept override { text.append(data, size); }
    std::string text;
};

// Sealing and opening in pieces of `piece` bytes give what the whole-text
// operations gave.
void require_same_in_pieces(std::string_view password, std::string_view text, std::size_t piece,
                            const Results& whole) {
    tarnel::CTextCipher cipher;
    tarnel::TextKey key;
    cipher.SetPassword(password, key);
    Collect sealed;
    tarnel::TextSealer sealer;
    require(sealer.start(key, text.size(), tarnel::Envelope::Omitted, sealed));
    for (std::size_t at = 0; at < text.size(); at += piece)
        sealer.feed(text.substr(at, piece));
    sealer.finish();
    require(sealed.text == whole.sealed);

    tarnel::BodyDamage damage;
    const tarnel::BodyLayout layout = tarnel::analyse_body(text, damage);
    Collect opened;
    tarnel::TextOpener opener;
    require(opener.start(key, layout, opened));
    const std::string_view hex = text.substr(0, layout.hex_end);
    for (std::size_t at = 0; at < hex.size(); at += piece)
        opener.feed(hex.substr(at, piece));
    tarnel::OpenSummary summary;
    opener.finish(summary);
    require(opened.text == whole.opened && summary.blocks == whole.summary.blocks);
    require(summary.looks_genuine == whole.summary.looks_genuine);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    auto [password, text] = tarnel::fuzz::split_input(data, size);
    if (password.empty())
        password = "tarnel";

    tarnel::reset_parallel_settings();
    tarnel::set_cipher_path(CipherPath::Portable);
    tarnel::set_hex_path(HexPath::Portable);
    const Results reference = run_all(password, text);
    require_same_in_pieces(password, text, 1 + size % 67, reference);

    for (const CipherPath cipher_path : kCipherPaths) {
        for (const HexPath hex_path : kHexPaths) {
            if (!tarnel::set_cipher_path(cipher_path) || !tarnel::set_hex_path(hex_path))
                continue;
            require_same(run_all(password, text), reference);
        }
    }
    // Split into three parts from the first block on, so small inputs cross part
    // boundaries too.
    tarnel::set_parallel_settings({.threshold_blocks = 1, .parts = 3});
    require_same(run_all(password, text), reference);

    tarnel::reset_parallel_settings();
    tarnel::reset_cipher_path();
    tarnel::reset_hex_path();
    return 0;
}
