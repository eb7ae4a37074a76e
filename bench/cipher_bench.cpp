// SPDX-License-Identifier: MIT
// The block cipher alone, ECB over a buffer: each of tarnel's paths, libmcrypt's
// rijndael-256, and OpenSSL's AES-256-ECB as the neighbour that shows what the
// AES instructions can do on this machine (a 128-bit block, so not the same cipher).
#include <openssl/evp.h>

#include <memory>
#include <vector>

#include "bench_support.h"
#include "ecb_cipher.h"
#include "mcrypt_peer.h"

namespace tarnel::bench {
namespace {

std::vector<uint8_t> buffer_of(std::size_t size) {
    const auto* first = reinterpret_cast<const uint8_t*>(printable_bytes().data());
    return std::vector<uint8_t>(first, first + size);
}

void ecb_tarnel(benchmark::State& state, CipherPath path, std::size_t size, bool encrypt) {
    if (!set_cipher_path(path)) {
        state.SkipWithError("this processor lacks the path");
        return;
    }
    std::vector<uint8_t> buffer = buffer_of(size);
    const EcbCipher cipher(bench_key(), 32,
                           encrypt ? EcbCipher::Direction::Encrypt : EcbCipher::Direction::Decrypt);
    reset_cipher_path();
    const TscTicks ticks;
    for (auto _ : state) {
        cipher.run(buffer.data(), buffer.data(), size / 32);
        benchmark::ClobberMemory();
    }
    ticks.report(state, size);
}

void ecb_mcrypt(benchmark::State& state, std::size_t size, bool encrypt) {
    std::vector<uint8_t> buffer = buffer_of(size);
    peer::McryptEcb mcrypt(bench_key(), 32);
    const TscTicks ticks;
    for (auto _ : state) {
        if (encrypt)
            mcrypt.Encrypt(buffer.data(), size);
        else
            mcrypt.Decrypt(buffer.data(), size);
        benchmark::ClobberMemory();
    }
    ticks.report(state, size);
}

struct EvpFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};

void ecb_openssl(benchmark::State& state, std::size_t size, bool encrypt) {
    std::vector<uint8_t> buffer = buffer_of(size);
    const std::unique_ptr<EVP_CIPHER_CTX, EvpFree> ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_CipherInit_ex(ctx.get(), EVP_aes_256_ecb(), nullptr, bench_key(), nullptr,
                                  encrypt ? 1 : 0) != 1) {
        state.SkipWithError("EVP_CipherInit_ex failed");
        return;
    }
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    const TscTicks ticks;
    for (auto _ : state) {
        int written = 0;
        if (EVP_CipherUpdate(ctx.get(), buffer.data(), &written, buffer.data(), int(size)) != 1) {
            state.SkipWithError("EVP_CipherUpdate failed");
            break;
        }
        benchmark::ClobberMemory();
    }
    ticks.report(state, size);
}

}  // namespace

void register_cipher_benchmarks() {
    // 1 MiB stays in cache and gives quick runs a figure; 64 MiB does not.
    for (const bool encrypt : {true, false}) {
        for (const std::size_t size : {kMiB, kLargest}) {
            const std::string prefix =
                std::string(encrypt ? "BM_EcbEncrypt/" : "BM_EcbDecrypt/") + size_name(size) + "/";
            for (const CipherPath path : kCipherPaths) {
                benchmark::RegisterBenchmark((prefix + cipher_path_name(path)).c_str(),
                                             [=](auto& s) { ecb_tarnel(s, path, size, encrypt); })
                    ->Unit(benchmark::kMillisecond);
            }
            benchmark::RegisterBenchmark((prefix + "mcrypt-rijndael-256").c_str(), [=](auto& s) {
                ecb_mcrypt(s, size, encrypt);
            })->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark((prefix + "openssl-aes-256").c_str(), [=](auto& s) {
                ecb_openssl(s, size, encrypt);
            })->Unit(benchmark::kMillisecond);
        }
    }
}

}  // namespace tarnel::bench
