// SPDX-License-Identifier: MIT
#include "huge_pages.h"

#include <cstdint>

#include "tarnel/large_pages.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tarnel {

void prefer_large_pages(void* data, std::size_t size) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kLargePage = uintptr_t(2) << 20;
    if (size < 2 * kLargePage)
        return;
    // Only whole large pages inside: the memory around the buffer may be others'.
    const auto begin = reinterpret_cast<uintptr_t>(data);
    const uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
    const uintptr_t last = (begin + size) & ~(kLargePage - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

void reserve_on_huge_pages(std::string& text, std::size_t size) {
    // Only memory not yet touched gains from it.
    const bool fresh = text.capacity() < size;
    text.reserve(size);
    if (fresh)
        prefer_large_pages(text.data(), size);
}

}  // namespace tarnel
