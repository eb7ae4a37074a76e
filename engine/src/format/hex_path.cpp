// SPDX-License-Identifier: MIT
#include "hex_path.h"

#include "cpu_features.h"
#include "forced_path.h"

namespace tarnel {
namespace {

// Set only by tests and benchmarks.
ForcedPath<HexPath> g_path;

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
    return g_path.current({HexPath::Avx2, HexPath::Ssse3, HexPath::Neon}, HexPath::Portable,
                          hex_path_available);
}

bool set_hex_path(HexPath path) noexcept {
    return g_path.force(path, hex_path_available(path));
}

void reset_hex_path() noexcept {
    g_path.reset();
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
