// SPDX-License-Identifier: MIT
// tarnel-kernel-passes: one kernel over a buffer, a given number of times, and
// nothing else that grows with the passes. For counting instructions under an
// emulator, where time means nothing: the count of n passes less that of n - 1 is
// one pass, free of start-up and of filling the buffer.
//
//   tarnel-kernel-passes encrypt|decrypt CIPHER-PATH BYTES PASSES
//   tarnel-kernel-passes hex-encode|hex-decode HEX-PATH BYTES PASSES
//
// Exits 0 when done, 2 on a bad argument or a path this processor lacks.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cipher_path.h"
#include "ecb_cipher.h"
#include "hex_codec.h"
#include "hex_path.h"

namespace {

using namespace tarnel;

int refuse(const char* why) {
    std::fprintf(stderr, "tarnel-kernel-passes: %s\n", why);
    return 2;
}

template <class Path, std::size_t N>
bool find_path(const Path (&paths)[N], const char* (*name)(Path) noexcept, const char* wanted,
               Path& found) {
    for (const Path path : paths) {
        if (std::strcmp(name(path), wanted) == 0) {
            found = path;
            return true;
        }
    }
    return false;
}

// Where each result's first byte goes, so that no pass is dropped as unused.
volatile unsigned char g_seen;

void keep(const void* data, std::size_t size) {
    if (size != 0)
        g_seen = *static_cast<const unsigned char*>(data);
}

int run_cipher(bool encrypt, const char* path_name, std::size_t bytes, long passes) {
    CipherPath path = CipherPath::Portable;
    if (!find_path(kCipherPaths, cipher_path_name, path_name, path))
        return refuse("no such cipher path");
    if (bytes % kRijndaelBlockBytes != 0)
        return refuse("the bytes must be whole 32-byte blocks");
    if (!set_cipher_path(path))
        return refuse("this processor lacks the path");
    const uint8_t key[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const EcbCipher cipher(key, 32,
                           encrypt ? EcbCipher::Direction::Encrypt : EcbCipher::Direction::Decrypt);
    std::vector<uint8_t> buffer(bytes, 0x5a);
    for (long p = 0; p < passes; ++p)
        cipher.run(buffer.data(), buffer.data(), bytes / kRijndaelBlockBytes);
    keep(buffer.data(), buffer.size());
    return 0;
}

int run_hex(bool encode, const char* path_name, std::size_t bytes, long passes) {
    HexPath path = HexPath::Portable;
    if (!find_path(kHexPaths, hex_path_name, path_name, path))
        return refuse("no such hex path");
    if (!set_hex_path(path))
        return refuse("this processor lacks the path");
    std::vector<uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i)
        data[i] = static_cast<uint8_t>(i * 131);
    std::string hex(2 * bytes, '0');
    if (!encode) {
        // Made before the passes, so the same in every run.
        hex_encode(data.data(), bytes, hex.data());
    }
    for (long p = 0; p < passes; ++p) {
        if (encode) {
            hex_encode(data.data(), bytes, hex.data());
        } else {
            bool bad = false;
            if (hex_decode_unbroken(hex.data(), bytes, data.data(), bad) != bytes || bad)
                return refuse("the hex did not decode");
        }
    }
    keep(hex.data(), hex.size());
    keep(data.data(), data.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5)
        return refuse("usage: encrypt|decrypt|hex-encode|hex-decode PATH BYTES PASSES");
    const std::string what = argv[1];
    char* end = nullptr;
    const unsigned long long bytes = std::strtoull(argv[3], &end, 10);
    if (*end != '\0' || bytes == 0 || bytes > (1ull << 30))
        return refuse("BYTES must be 1 to 2^30");
    const long passes = std::strtol(argv[4], &end, 10);
    if (*end != '\0' || passes < 0 || passes > 1000)
        return refuse("PASSES must be 0 to 1000");
    if (what == "encrypt" || what == "decrypt")
        return run_cipher(what == "encrypt", argv[2], bytes, passes);
    if (what == "hex-encode" || what == "hex-decode")
        return run_hex(what == "hex-encode", argv[2], bytes, passes);
    return refuse("the first argument is encrypt, decrypt, hex-encode or hex-decode");
}
