// SPDX-License-Identifier: MIT
#include "huge_pages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tarnel {
namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

}  // namespace

void reserve_on_huge_pages(std::string& text, std::size_t size) {
    const bool fresh = text.capacity() < size;
    text.reserve(size);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only memory not yet touched gains from it, and only whole huge pages inside.
    if (!fresh || size < 2 * kHugePage)
        return;
    const auto begin = reinterpret_cast<uintptr_t>(text.data());
    const uintptr_t first = (begin + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    const uintptr_t last = (begin + size) & ~uintptr_t(kHugePage - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)fresh;
    (void)kHugePage;
#endif
}

}  // namespace tarnel
