// SPDX-License-Identifier: MIT
// tarnel beside libmcrypt's Rijndael-256 ECB: the block cipher alone, then whole
// seals and opens next to the bare cipher work they contain. Every benchmark
// reports plain-text bytes per second, so the pairs compare directly.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "mcrypt_peer.h"
#include "tarnel/process.h"
#include "tarnel/rijndael.h"

namespace {

constexpr std::size_t kKiB = 1024;
constexpr std::size_t kMiB = 1024 * kKiB;
constexpr std::size_t kLargest = 64 * kMiB;
constexpr std::string_view kPassword = "correct horse";

// Printable, so a plain text has no white space to trim and no zero to cut at.
// Built once: filling 64 MiB per benchmark would dwarf the short runs.
const std::string& printable_bytes() {
    static const std::string bytes = [] {
        std::mt19937 rng(1);
        std::uniform_int_distribution<int> printable('!', '~');
        std::string text(kLargest, '\0');
        for (auto& c : text) {
            c = static_cast<char>(printable(rng));
        }
        return text;
    }();
    return bytes;
}

std::vector<uint8_t> buffer_of(std::size_t size) {
    const auto* first = reinterpret_cast<const uint8_t*>(printable_bytes().data());
    return std::vector<uint8_t>(first, first + size);
}

const uint8_t* bench_key() {
    static const uint8_t key[32] = {0x60, 0x3d, 0xeb, 0x10, 0x15, 0xca, 0x71, 0xbe,
                                    0x2b, 0x73, 0xae, 0xf0, 0x85, 0x7d, 0x77, 0x81,
                                    0x1f, 0x35, 0x2c, 0x07, 0x3b, 0x61, 0x08, 0xd7,
                                    0x2d, 0x98, 0x10, 0xa3, 0x09, 0x14, 0xdf, 0xf4};
    return key;
}

std::size_t padded_size(std::size_t plain_size) {
    return (plain_size / 32 + 1) * 32;
}

std::string size_name(std::size_t size) {
    return size >= kMiB ? std::to_string(size / kMiB) + "MiB" : std::to_string(size / kKiB) + "KiB";
}

void block_tarnel(benchmark::State& state, std::size_t size, bool encrypt) {
    std::vector<uint8_t> buffer = buffer_of(size);
    tarnel::RijndaelContext ctx{};
    const unsigned direction = encrypt ? tarnel::RIJNDAEL_ENCRYPT : tarnel::RIJNDAEL_DECRYPT;
    if (tarnel::rijndael_set_key(bench_key(), 32, direction, &ctx) != 1) {
        state.SkipWithError("rijndael_set_key refused the key");
        return;
    }
    const auto block = encrypt ? tarnel::rijndael_encrypt_block : tarnel::rijndael_decrypt_block;
    for (auto _ : state) {
        for (std::size_t at = 0; at < size; at += 32) {
            block(buffer.data() + at, buffer.data() + at, &ctx);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void block_mcrypt(benchmark::State& state, std::size_t size, bool encrypt) {
    std::vector<uint8_t> buffer = buffer_of(size);
    tarnel::peer::McryptEcb mcrypt(bench_key(), 32);
    for (auto _ : state) {
        if (encrypt) {
            mcrypt.Encrypt(buffer.data(), size);
        } else {
            mcrypt.Decrypt(buffer.data(), size);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// Opening starts from a text sealed beforehand; both directions count plain bytes.
void process_tarnel(benchmark::State& state, std::size_t size, bool seal) {
    const std::string_view plain(printable_bytes().data(), size);
    const auto sealed = tarnel::ProcessText(kPassword, plain, tarnel::ProcessDirection::Seal);
    const std::string_view input = seal ? plain : std::string_view(sealed.text);
    const auto direction = seal ? tarnel::ProcessDirection::Seal : tarnel::ProcessDirection::Open;
    for (auto _ : state) {
        const auto outcome = tarnel::ProcessText(kPassword, input, direction);
        benchmark::DoNotOptimize(outcome.text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// The cipher work inside a seal or an open: key the cipher, zero-fill the plain
// text into whole blocks (or take the cipher blocks) and run ECB over them. No hex,
// no envelope: the gap to tarnel's figure is what the text format costs.
void ecb_mcrypt(benchmark::State& state, std::size_t size, bool encrypt) {
    std::vector<uint8_t> source(padded_size(size), 0);
    std::memcpy(source.data(), printable_bytes().data(), size);
    tarnel::peer::McryptEcb mcrypt(bench_key(), 32);
    if (!encrypt) {
        mcrypt.Encrypt(source.data(), source.size());
    }
    std::vector<uint8_t> work(source.size());
    for (auto _ : state) {
        std::memcpy(work.data(), source.data(), source.size());
        mcrypt.Rekey(bench_key(), 32);
        if (encrypt) {
            mcrypt.Encrypt(work.data(), work.size());
        } else {
            mcrypt.Decrypt(work.data(), work.size());
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void register_pair(const std::string& family, std::size_t size, auto tarnel_run, auto mcrypt_run) {
    const std::string prefix = "BM_" + family + "/" + size_name(size) + "/";
    const auto unit = size >= kMiB ? benchmark::kMillisecond : benchmark::kMicrosecond;
    benchmark::RegisterBenchmark((prefix + "tarnel").c_str(), tarnel_run)->Unit(unit);
    benchmark::RegisterBenchmark((prefix + "mcrypt").c_str(), mcrypt_run)->Unit(unit);
}

void register_all() {
    // 1 MiB stays in cache and gives quick runs a block figure; 64 MiB does not.
    for (const bool encrypt : {true, false}) {
        for (const std::size_t size : {kMiB, kLargest}) {
            register_pair(
                encrypt ? "BlockEncrypt" : "BlockDecrypt", size,
                [=](auto& s) { block_tarnel(s, size, encrypt); },
                [=](auto& s) { block_mcrypt(s, size, encrypt); });
        }
    }
    for (const bool seal : {true, false}) {
        for (const std::size_t size : {kKiB, kMiB, kLargest}) {
            register_pair(
                seal ? "Seal" : "Open", size, [=](auto& s) { process_tarnel(s, size, seal); },
                [=](auto& s) { ecb_mcrypt(s, size, seal); });
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    register_all();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
