// SPDX-License-Identifier: MIT
#include "cpu_features.h"

#if defined(__x86_64__)
#include <cpuid.h>
#elif defined(__aarch64__) && defined(__linux__)
#include <sys/auxv.h>
#define TARNEL_ARM_HWCAP 1
#endif

namespace tarnel {
namespace {

#if defined(__x86_64__)
bool bit(unsigned word, int n) {
    return ((word >> n) & 1u) != 0;
}

// Register state the operating system saves on a task switch (XCR0). Read with
// the raw instruction, so that this file needs no target flag.
unsigned long long enabled_state() noexcept {
    unsigned low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<unsigned long long>(high) << 32) | low;
}

// CPUID directly rather than __builtin_cpu_supports, which not every supported
// compiler knows "vaes" for.
CpuFeatures detect(std::optional<unsigned long>) noexcept {
    CpuFeatures found;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0)
        return found;
    found.ssse3 = bit(ecx, 9);
    found.aes = bit(ecx, 25) && bit(ecx, 19);  // AES-NI and SSE4.1
    const bool os_saves_ymm = bit(ecx, 27) && bit(ecx, 28) && (enabled_state() & 0x6) == 0x6;
    if (!os_saves_ymm || __get_cpuid_max(0, nullptr) < 7)
        return found;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    found.avx2 = bit(ebx, 5);
    found.vaes = found.aes && found.avx2 && bit(ecx, 9);
    // The upper halves of zmm0-15, zmm16-31 and the mask registers, beside ymm.
    const bool os_saves_zmm = (enabled_state() & 0xe6) == 0xe6;
    found.vaes512 = found.vaes && os_saves_zmm && bit(ebx, 16) && bit(ebx, 30);
    return found;
}
#elif defined(TARNEL_ARM_HWCAP)
// The kernel reports what user space may run, so no register needs reading here.
CpuFeatures detect(std::optional<unsigned long> injected) noexcept {
    const unsigned long hwcap = injected ? *injected : getauxval(AT_HWCAP);
    CpuFeatures found;
    found.neon = (hwcap & kHwcapAsimd) != 0;
    found.armv8_aes = found.neon && (hwcap & kHwcapAes) != 0;
    return found;
}
#else
CpuFeatures detect(std::optional<unsigned long>) noexcept {
    return CpuFeatures{};
}
#endif

// Written once at first use and again only by redetect_cpu_features, between texts.
CpuFeatures& detected() noexcept {
    static CpuFeatures features = detect(std::nullopt);
    return features;
}

}  // namespace

const CpuFeatures& cpu_features() noexcept {
    return detected();
}

void redetect_cpu_features(std::optional<unsigned long> hwcap) noexcept {
    detected() = detect(hwcap);
}

}  // namespace tarnel
