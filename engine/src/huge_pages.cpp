// SPDX-License-Identifier: MIT
#include "huge_pages.h"

#include <cstdint>

#include "parallel_parts.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tarnel {
namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
// Faulting the pages in is mostly the kernel clearing them, and whichever thread
// first writes a page pays for it. Where several threads fill the result, they
// fault their parts in together first; otherwise the caller's first write does it
// alone. Refused on kernels before 5.14, and then nothing is lost.
void populate_in_parts(uintptr_t begin, std::size_t size) noexcept {
    constexpr std::size_t kUnit = 32;
    constexpr uintptr_t kPage = 4096;
    if (part_count(size / kUnit) < 2)
        return;
    auto part = [&](std::size_t first, std::size_t count) noexcept {
        const uintptr_t from = (begin + kUnit * first) & ~(kPage - 1);
        const uintptr_t to = begin + kUnit * (first + count);
        madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
    };
    for_each_part(size / kUnit, part);
}
#else
void populate_in_parts(uintptr_t, std::size_t) noexcept {}
#endif

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
    populate_in_parts(begin, size);
#else
    (void)fresh;
    (void)kHugePage;
#endif
}

}  // namespace tarnel
