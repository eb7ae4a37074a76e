// SPDX-License-Identifier: MIT
// The text rule on 16 MiB texts of three kinds: ASCII lines, a Latin text with an
// accented letter every few characters, and a Cyrillic one. Both ways, whole in
// memory, which runs the piece-wise classes once over the whole text; to bytes with
// the scans alone (portable) and with whole blocks of ASCII taken from their marks.
#include <string>

#include "bench_support.h"
#include "line_marks.h"
#include "tarnel/text_rule.h"
#include "text_rule_pieces.h"

namespace tarnel::bench {
namespace {

enum class Kind { Ascii, Latin, Cyrillic };

// `size` bytes or a little more of lines of 75 characters, LF-ended.
std::string text_of(Kind kind, std::size_t size) {
    std::string text;
    text.reserve(size + 80);
    std::size_t column = 0;
    uint32_t seed = 1;
    while (text.size() < size) {
        seed = seed * 1103515245u + 12345u;
        const char letter = char('a' + (seed >> 16) % 26);
        if (column == 75) {
            text += '\n';
            column = 0;
            continue;
        }
        if (kind == Kind::Latin && column % 7 == 3)
            text += "\u00E9";
        else if (kind == Kind::Cyrillic && letter != 'a')
            text += char(0xD0), text += char(0xB0 + (seed >> 20) % 16);
        else
            text += letter;
        ++column;
    }
    return text;
}

const char* name_of(Kind kind) {
    return kind == Kind::Ascii ? "ascii" : kind == Kind::Latin ? "latin" : "cyrillic";
}

void to_bytes(benchmark::State& state, Kind kind, TextScanPath path) {
    if (!set_text_scan_path(path)) {
        state.SkipWithError("not built for this processor");
        return;
    }
    const std::string text = text_of(kind, 16 * kMiB);
    for (auto _ : state) {
        auto bytes = text_to_bytes(text);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    reset_text_scan_path();
}

void to_text(benchmark::State& state, Kind kind) {
    const std::string bytes = text_to_bytes(text_of(kind, 16 * kMiB)).value_or("");
    for (auto _ : state) {
        auto text = bytes_to_text(bytes, LineBreak::Lf);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

}  // namespace

void register_text_rule_benchmarks() {
    for (const Kind kind : {Kind::Ascii, Kind::Latin, Kind::Cyrillic}) {
        for (const TextScanPath path : {TextScanPath::Portable, TextScanPath::Blocks}) {
            const char* const path_name = path == TextScanPath::Portable ? "/portable" : "/blocks";
            benchmark::RegisterBenchmark(
                (std::string("BM_TextToBytes/") + name_of(kind) + path_name).c_str(),
                [=](auto& s) { to_bytes(s, kind, path); })
                ->Unit(benchmark::kMillisecond);
        }
        benchmark::RegisterBenchmark((std::string("BM_BytesToText/") + name_of(kind)).c_str(),
                                     [=](auto& s) { to_text(s, kind); })
            ->Unit(benchmark::kMillisecond);
    }
}

}  // namespace tarnel::bench
