// SPDX-License-Identifier: MIT
// Points where tests may step into the engine's threads and its seal check. The
// shipped programs never set a hook: nothing reaches these but the tests, the
// benchmarks and the fuzz targets, through this internal header.
#pragma once

#include <cstddef>

namespace tarnel {

/// Every place where work or memory passes between the threads of a text.
enum class HandOver {
    HelperStarted,  ///< a helper thread starts, before it takes a unit
    UnitTaken,      ///< a thread took a unit, its memory or buffer maybe not yet usable
    UnitWorkable,   ///< a helper's unit became workable, not yet worked
    UnitDone,       ///< a thread finished a unit, not yet handed to the caller
    OutputGrown,    ///< the caller made more of a growing output usable
    UnitAwaited,    ///< the caller is about to wait for the next unit in order
    UnitConsumed,   ///< the caller consumed a unit, its buffer not yet released
    // A kept thread (see parallel_runner.cpp) that serves a run's helper or a side job:
    TaskTaken,     ///< it woke with its task, before running it
    TaskFinished,  ///< its task returned, before it says so to the one who waits
    Joining,       ///< the caller is done with the units and joins the helpers
    // A side job (SideJob, parallel_runner.h), such as reading the next piece ahead:
    SideJobStarted,  ///< its thread starts, before the job
    SideJobDone,     ///< the job is done, its thread not yet ended
    SideJobAwaited,  ///< the caller is about to wait for the job
};

struct TestHooks {
    /// Called at every hand-over, on the thread that reaches it.
    void (*stall)(HandOver point) noexcept = nullptr;
    /// Called with sealed output that the thread which made it is done with, before
    /// it is checked: a test may damage it to see the check refuse it.
    void (*damage)(char* sealed, std::size_t size) noexcept = nullptr;
    /// Skips the seal check, for the benchmark that measures what it costs.
    bool skip_seal_check = false;
};

/// Replaces the hooks; TestHooks{} removes them. Not to be called while a text is
/// being sealed or opened.
void set_test_hooks(const TestHooks& hooks) noexcept;
const TestHooks& test_hooks() noexcept;

/// Calls the stall hook, if any, for `point`.
inline void hand_over(HandOver point) noexcept {
    if (const auto stall = test_hooks().stall)
        stall(point);
}

}  // namespace tarnel
