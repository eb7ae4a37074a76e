// SPDX-License-Identifier: MIT
#include "tarnel/secure_wipe.h"

#include <algorithm>
#include <cstring>

#include "cpu_features.h"
#include "stack_wipe.h"

namespace tarnel {

void secure_wipe(void* data, std::size_t size) noexcept {
    if (size == 0)
        return;
#if defined(__GNUC__) || defined(__clang__)
    // The empty statement claims to read the memory, so the stores before it
    // cannot be dropped as dead; memset keeps wiping a large text fast.
    std::memset(data, 0, size);
    __asm__ __volatile__("" : : "r"(data) : "memory");
#else
    // Volatile stores cannot be elided, and the loop is portable where
    // explicit_bzero and memset_s are missing.
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    while (size-- != 0)
        *p++ = 0;
#endif
}

void secure_wipe(std::string& text) noexcept {
    // Growing to the capacity never reallocates, and it brings the stale bytes
    // beyond the length, left there by earlier contents, into reach.
    text.resize(text.capacity());
    secure_wipe(text.data(), text.size());
    text.clear();
}

bool append_wiped(std::string& text, std::string_view more) noexcept {
    try {
        if (more.size() > text.capacity() - text.size()) {
            std::string larger;
            larger.reserve(std::max(text.size() + more.size(), 2 * text.capacity()));
            larger.assign(text);
            secure_wipe(text);
            text.swap(larger);
        }
        text.append(more);
        return true;
    } catch (...) {
        return false;
    }
}

#if defined(__GNUC__) || defined(__clang__)
#define TARNEL_NOINLINE __attribute__((noinline))
#else
#define TARNEL_NOINLINE __declspec(noinline)
#endif

TARNEL_NOINLINE void wipe_stack_below() noexcept {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    // Vector registers keep plain text after a kernel, for any later code to spill.
    // Named as clobbered: Windows' calling convention keeps xmm6-xmm15 for the
    // caller, so the compiler must save and restore them around the clearing.
    if (cpu_features().avx2)
        __asm__ __volatile__("vzeroall" ::
                                 : "memory", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6",
                                   "xmm7", "xmm8", "xmm9", "xmm10", "xmm11", "xmm12", "xmm13",
                                   "xmm14", "xmm15");
    if (cpu_features().vaes512) {
        __asm__ __volatile__(
            "vpxord %%zmm16, %%zmm16, %%zmm16\n vpxord %%zmm17, %%zmm17, %%zmm17\n"
            "vpxord %%zmm18, %%zmm18, %%zmm18\n vpxord %%zmm19, %%zmm19, %%zmm19\n"
            "vpxord %%zmm20, %%zmm20, %%zmm20\n vpxord %%zmm21, %%zmm21, %%zmm21\n"
            "vpxord %%zmm22, %%zmm22, %%zmm22\n vpxord %%zmm23, %%zmm23, %%zmm23\n"
            "vpxord %%zmm24, %%zmm24, %%zmm24\n vpxord %%zmm25, %%zmm25, %%zmm25\n"
            "vpxord %%zmm26, %%zmm26, %%zmm26\n vpxord %%zmm27, %%zmm27, %%zmm27\n"
            "vpxord %%zmm28, %%zmm28, %%zmm28\n vpxord %%zmm29, %%zmm29, %%zmm29\n"
            "vpxord %%zmm30, %%zmm30, %%zmm30\n vpxord %%zmm31, %%zmm31, %%zmm31\n" ::
                : "memory");
    }
#endif
#ifndef __EMSCRIPTEN__
    // The engine's deepest calls, kernels included, stay well within this; a
    // thread's stack is megabytes.
    alignas(64) unsigned char area[64 * 1024];
    secure_wipe(area, sizeof area);
#endif
}

}  // namespace tarnel
