// SPDX-License-Identifier: MIT
#include "tarnel/ui/allocation_point.h"

#include <atomic>
#include <new>

namespace tarnel::ui {
namespace {

// Atomic, so that a point counts whatever thread passes it.
std::atomic<int> g_passed{0};
std::atomic<int> g_failing{0};

}  // namespace

void AllocationPoint() {
    const int call = g_passed.fetch_add(1, std::memory_order_relaxed) + 1;
    if (call == g_failing.load(std::memory_order_relaxed))
        throw std::bad_alloc();
}

namespace test {

void FailAllocationPoint(int nth) {
    g_failing.store(nth, std::memory_order_relaxed);
    g_passed.store(0, std::memory_order_relaxed);
}

int AllocationPointsPassed() {
    return g_passed.load(std::memory_order_relaxed);
}

}  // namespace test
}  // namespace tarnel::ui
