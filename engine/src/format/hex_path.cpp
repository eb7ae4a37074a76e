// SPDX-License-Identifier: MIT
#include "hex_path.h"

#include <atomic>

#include "cpu_features.h"

namespace tarnel {
namespace {

// Set only by tests and benchmarks; atomic, since threads of one seal read it.
constexpr int kAutomatic = -1;
std::atomic<int> g_forced{kAutomatic};

}  // namespace

bool hex_path_available(HexPath path) noexcept {
    switch (path) {
        case HexPath::Portable:
            return true;
        case HexPath::Ssse3:
            return cpu_features().ssse3;
        case HexPath::Avx2:
            return cpu_features().avx2;
        case HexPath::Neon:
            return cpu_features().neon;
    }
    return false;
}

HexPath hex_path() noexcept {
    const int forced = g_forced.load(std::memory_order_relaxed);
    if (forced != kAutomatic)
        return static_cast<HexPath>(forced);
    for (const HexPath fastest : {HexPath::Avx2, HexPath::Ssse3, HexPath::Neon}) {
        if (hex_path_available(fastest))
            return fastest;
    }
    return HexPath::Portable;
}

bool set_hex_path(HexPath path) noexcept {
    if (!hex_path_available(path))
        return false;
    g_forced.store(static_cast<int>(path), std::memory_order_relaxed);
    return true;
}

void reset_hex_path() noexcept {
    g_forced.store(kAutomatic, std::memory_order_relaxed);
}

const char* hex_path_name(HexPath path) noexcept {
    switch (path) {
        case HexPath::Portable:
            return "portable";
        case HexPath::Ssse3:
            return "ssse3";
        case HexPath::Avx2:
            return "avx2";
        case HexPath::Neon:
            return "neon";
    }
    return "unknown";
}

}  // namespace tarnel
