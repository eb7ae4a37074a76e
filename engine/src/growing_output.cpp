// SPDX-License-Identifier: MIT
#include "growing_output.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include "parallel_parts.h"
#include "test_hooks.h"

namespace tarnel {
namespace {

// Units the caller makes usable at a time, between units of its own work: enough
// that the helpers seldom catch up with the usable memory.
constexpr std::size_t kGrowStep = 64;

struct Shared {
    std::size_t units;
    UnitFunction work;
    void* context;
    std::atomic<std::size_t> next{0};    // the next unit to take
    std::atomic<std::size_t> usable{0};  // units grow has covered
};

// A worker that outruns the growing memory waits for it; that is a short wait,
// on a CPU that has nothing else of this text to do.
void work_units(Shared* shared) noexcept {
    for (;;) {
        const std::size_t unit = shared->next.fetch_add(1, std::memory_order_relaxed);
        if (unit >= shared->units)
            return;
        hand_over(HandOver::UnitTaken);
        while (shared->usable.load(std::memory_order_acquire) <= unit)
            std::this_thread::yield();
        hand_over(HandOver::UnitUsable);
        shared->work(shared->context, unit);
        hand_over(HandOver::UnitDone);
    }
}

}  // namespace

void run_growing(std::size_t units, GrowFunction grow, UnitFunction work, void* context) noexcept {
    const ParallelSettings settings = parallel_settings();
    const unsigned cpus = settings.parts != 0 ? settings.parts : usable_cpus();
    const std::size_t wanted =
        std::min<std::size_t>({cpus - 1, kMaxParts - 1, units > 0 ? units - 1 : 0});
    Shared shared{units, work, context};
    std::thread workers[kMaxParts];
    std::size_t started = 0;
    for (; started < wanted && !settings.refuse_threads; ++started) {
        try {
            workers[started] = std::thread(work_units, &shared);
        } catch (...) {
            break;  // fewer helpers, or none: the caller takes what they leave
        }
    }
    std::size_t grown = 0;
    auto grow_to = [&](std::size_t upto) {
        grow(context, upto);
        grown = upto;
        shared.usable.store(upto, std::memory_order_release);
        hand_over(HandOver::OutputGrown);
    };
    for (;;) {
        // A step ahead, so the helpers rarely wait for memory.
        if (grown < units)
            grow_to(std::min(units, grown + kGrowStep));
        const std::size_t unit = shared.next.fetch_add(1, std::memory_order_relaxed);
        if (unit >= units)
            break;
        hand_over(HandOver::UnitTaken);
        // Had this thread stalled after growing, the helpers may have taken every
        // usable unit and more, and this one lies beyond: growing later would
        // refill it. It is worked only once the memory under it is usable.
        while (grown <= unit)
            grow_to(std::min(units, grown + kGrowStep));
        work(context, unit);
        hand_over(HandOver::UnitDone);
    }
    // Workers may hold units beyond what has grown so far.
    if (grown < units)
        grow_to(units);
    hand_over(HandOver::PartsJoining);
    for (std::size_t w = 0; w < started; ++w) {
        try {
            workers[w].join();
        } catch (const std::system_error&) {
            // Only a thread that is not joinable fails to join, and each one here is.
        }
    }
}

}  // namespace tarnel
