// SPDX-License-Identifier: MIT
#include "cipher_path.h"

#include <atomic>

#include "cpu_features.h"

namespace tarnel {
namespace {

// The one piece of state outside a caller's objects, and only tests and benchmarks
// ever set it; an atomic, so that a threaded seal reads it safely.
constexpr int kAutomatic = -1;
std::atomic<int> g_forced{kAutomatic};

CipherPath best_path() noexcept {
    if (cipher_path_available(CipherPath::Vaes512))
        return CipherPath::Vaes512;
    if (cipher_path_available(CipherPath::Vaes))
        return CipherPath::Vaes;
    if (cipher_path_available(CipherPath::AesNi))
        return CipherPath::AesNi;
    if (cipher_path_available(CipherPath::Armv8Aes))
        return CipherPath::Armv8Aes;
    return CipherPath::Portable;
}

}  // namespace

bool cipher_path_available(CipherPath path) noexcept {
    switch (path) {
        case CipherPath::Portable:
            return true;
        case CipherPath::AesNi:
            return cpu_features().aes;
        case CipherPath::Vaes:
            return cpu_features().vaes;
        case CipherPath::Vaes512:
            return cpu_features().vaes512;
        case CipherPath::Armv8Aes:
            return cpu_features().armv8_aes;
    }
    return false;
}

CipherPath cipher_path() noexcept {
    const int forced = g_forced.load(std::memory_order_relaxed);
    return forced == kAutomatic ? best_path() : static_cast<CipherPath>(forced);
}

bool set_cipher_path(CipherPath path) noexcept {
    if (!cipher_path_available(path))
        return false;
    g_forced.store(static_cast<int>(path), std::memory_order_relaxed);
    return true;
}

void reset_cipher_path() noexcept {
    g_forced.store(kAutomatic, std::memory_order_relaxed);
}

const char* cipher_path_name(CipherPath path) noexcept {
    switch (path) {
        case CipherPath::Portable:
            return "portable";
        case CipherPath::AesNi:
            return "aes-ni";
        case CipherPath::Vaes:
            return "vaes";
        case CipherPath::Vaes512:
            return "vaes-512";
        case CipherPath::Armv8Aes:
            return "armv8-aes";
    }
    return "unknown";
}

}  // namespace tarnel
