// SPDX-License-Identifier: MIT
// Filling a large output on every CPU while the memory under it is still being made
// usable. Sizing a string fills it with zeros, and for a result of many megabytes
// that fill, and the kernel clearing the fresh pages under it, cost as much as the
// cipher; done first on one thread, they leave the other CPUs waiting.
#pragma once

#include <cstddef>

namespace tarnel {

/// Calls work(unit) once for each of `units` units of output, on the caller's
/// thread and on one thread more for each other usable CPU (see parallel_parts.h
/// for the settings). The memory is usable only as far as grow(upto) has made it:
/// the caller's thread calls grow with increasing `upto`, up to `units`, between
/// units of its own work, and a unit is worked on, by any thread, only once grow
/// has covered it; grow never touches memory below an earlier `upto`.
/// When a thread cannot be started, the caller does every unit itself. Neither
/// function may throw. Returns when every unit is done and grow reached `units`.
using GrowFunction = void (*)(void* context, std::size_t upto) noexcept;
using UnitFunction = void (*)(void* context, std::size_t unit) noexcept;
void run_growing(std::size_t units, GrowFunction grow, UnitFunction work, void* context) noexcept;

template <class Grow, class Work>
void for_each_growing_unit(std::size_t units, Grow& grow, Work& work) noexcept {
    struct Both {
        Grow& grow;
        Work& work;
    } both{grow, work};
    run_growing(
        units, [](void* c, std::size_t upto) noexcept { static_cast<Both*>(c)->grow(upto); },
        [](void* c, std::size_t unit) noexcept { static_cast<Both*>(c)->work(unit); }, &both);
}

}  // namespace tarnel
