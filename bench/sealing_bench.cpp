// SPDX-License-Identifier: MIT
// Whole seals and opens through ProcessText on one CPU and on all of them, beside
// the bare libmcrypt ECB work they contain, and one block with its hex: the unit
// that a seal's set-up cost is measured against. On one CPU with the portable code
// they are also what the WebAssembly build does (bench/web_engine.mjs). Seals run with and without
// the check that opens every seal again, to show what the check costs beside an open.
#include <cstring>
#include <vector>

#include "bench_support.h"
#include "cipher_path.h"
#include "ecb_cipher.h"
#include "hex_codec.h"
#include "hex_path.h"
#include "mcrypt_peer.h"
#include "parallel_runner.h"
#include "tarnel/process.h"
#include "test_hooks.h"

namespace tarnel::bench {
namespace {

std::size_t padded_size(std::size_t plain_size) {
    return (plain_size / 32 + 1) * 32;
}

// Opening starts from a text sealed beforehand; both directions count plain bytes.
void process_tarnel(benchmark::State& state, std::size_t size, bool seal, bool one_cpu,
                    bool checked = true, bool portable = false) {
    if (portable) {
        set_cipher_path(CipherPath::Portable);
        set_hex_path(HexPath::Portable);
    }
    const std::string_view plain(printable_bytes().data(), size);
    const auto sealed = ProcessText(kPassword, plain, ProcessDirection::Seal);
    const std::string_view input = seal ? plain : std::string_view(sealed.text);
    const auto direction = seal ? ProcessDirection::Seal : ProcessDirection::Open;
    ParallelSettings settings;
    if (one_cpu)
        settings.parts = 1;
    set_parallel_settings(settings);
    set_test_hooks({.skip_seal_check = !checked});
    const TscTicks ticks;
    for (auto _ : state) {
        const auto outcome = ProcessText(kPassword, input, direction);
        benchmark::DoNotOptimize(outcome.text.data());
    }
    ticks.report(state, size);
    set_test_hooks({});
    reset_parallel_settings();
    reset_cipher_path();
    reset_hex_path();
}

// The cipher work inside a seal or an open with libmcrypt: key the cipher,
// zero-fill the plain text into whole blocks (or take the cipher blocks) and run
// ECB over them. No hex, no envelope.
void ecb_mcrypt(benchmark::State& state, std::size_t size, bool encrypt) {
    std::vector<uint8_t> source(padded_size(size), 0);
    std::memcpy(source.data(), printable_bytes().data(), size);
    peer::McryptEcb mcrypt(bench_key(), 32);
    if (!encrypt)
        mcrypt.Encrypt(source.data(), source.size());
    std::vector<uint8_t> work(source.size());
    const TscTicks ticks;
    for (auto _ : state) {
        std::memcpy(work.data(), source.data(), source.size());
        mcrypt.Rekey(bench_key(), 32);
        if (encrypt)
            mcrypt.Encrypt(work.data(), work.size());
        else
            mcrypt.Decrypt(work.data(), work.size());
        benchmark::ClobberMemory();
    }
    ticks.report(state, size);
}

void one_block_with_hex(benchmark::State& state, CipherPath path) {
    if (!set_cipher_path(path)) {
        state.SkipWithError("this processor lacks the path");
        return;
    }
    const EcbCipher cipher(bench_key(), 32, EcbCipher::Direction::Encrypt);
    reset_cipher_path();
    uint8_t block[32];
    std::memcpy(block, printable_bytes().data(), sizeof block);
    char hex[64];
    const TscTicks ticks;
    for (auto _ : state) {
        cipher.run(block, block, 1);
        hex_encode(block, sizeof block, hex);
        benchmark::DoNotOptimize(hex);
    }
    ticks.report(state, sizeof block);
}

}  // namespace

void register_sealing_benchmarks() {
    for (const bool seal : {true, false}) {
        for (const std::size_t size : {kKiB, kMiB, kLargest}) {
            const std::string prefix =
                std::string(seal ? "BM_Seal/" : "BM_Open/") + size_name(size) + "/";
            const auto unit = size >= kMiB ? benchmark::kMillisecond : benchmark::kMicrosecond;
            benchmark::RegisterBenchmark((prefix + "tarnel-one-cpu").c_str(), [=](auto& s) {
                process_tarnel(s, size, seal, true);
            })->Unit(unit);
            benchmark::RegisterBenchmark((prefix + "tarnel-all-cpus").c_str(),
                                         [=](auto& s) { process_tarnel(s, size, seal, false); })
                ->Unit(unit)
                ->UseRealTime();
            benchmark::RegisterBenchmark(
                (prefix + "tarnel-one-cpu-portable").c_str(),
                [=](auto& s) { process_tarnel(s, size, seal, true, true, true); })
                ->Unit(unit);
            if (seal) {
                benchmark::RegisterBenchmark(
                    (prefix + "tarnel-one-cpu-unchecked").c_str(),
                    [=](auto& s) { process_tarnel(s, size, seal, true, false); })
                    ->Unit(unit);
                benchmark::RegisterBenchmark(
                    (prefix + "tarnel-all-cpus-unchecked").c_str(),
                    [=](auto& s) { process_tarnel(s, size, seal, false, false); })
                    ->Unit(unit)
                    ->UseRealTime();
            }
            benchmark::RegisterBenchmark((prefix + "mcrypt-ecb-only").c_str(), [=](auto& s) {
                ecb_mcrypt(s, size, seal);
            })->Unit(unit);
        }
    }
    for (const CipherPath path : kCipherPaths) {
        benchmark::RegisterBenchmark(
            (std::string("BM_OneBlockWithHex/") + cipher_path_name(path)).c_str(),
            [=](auto& s) { one_block_with_hex(s, path); })
            ->Unit(benchmark::kNanosecond);
    }
}

}  // namespace tarnel::bench
