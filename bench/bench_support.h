// SPDX-License-Identifier: MIT
// What the benchmarks share: the data, the key, and the counters every result carries.
#pragma once

#include <benchmark/benchmark.h>
#include <x86intrin.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnel::bench {

inline constexpr std::size_t kKiB = 1024;
inline constexpr std::size_t kMiB = 1024 * kKiB;
inline constexpr std::size_t kLargest = 64 * kMiB;
inline constexpr std::string_view kPassword = "correct horse";

/// kLargest printable bytes: a plain text with no white space to trim and no zero
/// to cut at. Built once; filling 64 MiB per benchmark would dwarf the short runs.
const std::string& printable_bytes();

/// A fixed 256-bit key.
const uint8_t* bench_key();

/// "1KiB", "64MiB".
std::string size_name(std::size_t size);

/// Counts time-stamp-counter ticks over a benchmark's timed loop. The counter runs
/// at a fixed rate, not at the core's clock, so this is ticks, not cycles.
class TscTicks {
  public:
    TscTicks() : m_start(__rdtsc()) {}
    /// Sets bytes per second and tsc_ticks_per_byte for `bytes_per_iteration`
    /// plain-text bytes an iteration.
    void report(benchmark::State& state, std::size_t bytes_per_iteration) const {
        const double ticks = double(__rdtsc() - m_start);
        const double bytes = double(state.iterations()) * double(bytes_per_iteration);
        state.SetBytesProcessed(int64_t(bytes));
        state.counters["tsc_ticks_per_byte"] = bytes > 0 ? ticks / bytes : 0;
    }

  private:
    uint64_t m_start;
};

void register_cipher_benchmarks();
void register_sealing_benchmarks();
void register_text_rule_benchmarks();

}  // namespace tarnel::bench
