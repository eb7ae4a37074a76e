// SPDX-License-Identifier: MIT
#include "qt_large_pages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tarnel::ui::qt {
namespace {

constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
// Below this the 4 KiB pages cost little, and a large page would hold memory that
// the heap may not give back.
constexpr std::size_t kWorthwhile = 4 * kLargePage;

}  // namespace

void PreferLargePages(void* data, std::size_t size) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (size < kWorthwhile)
        return;
    // Only whole large pages inside the buffer: the memory around it may be others'.
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t last = (begin + size) & ~(kLargePage - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);  // a hint only
#else
    (void)data;
    (void)size;
#endif
}

}  // namespace tarnel::ui::qt
