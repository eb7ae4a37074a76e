// SPDX-License-Identifier: MIT
#include "cipher_path.h"

#include "cpu_features.h"
#include "forced_path.h"

namespace tarnel {
namespace {

// The one piece of state outside a caller's objects, and only tests and benchmarks
// ever set it.
ForcedPath<CipherPath> g_path;

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
    return g_path.current(
        {CipherPath::Vaes512, CipherPath::Vaes, CipherPath::AesNi, CipherPath::Armv8Aes},
        CipherPath::Portable, cipher_path_available);
}

bool set_cipher_path(CipherPath path) noexcept {
    return g_path.force(path, cipher_path_available(path));
}

void reset_cipher_path() noexcept {
    g_path.reset();
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
