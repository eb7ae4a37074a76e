// SPDX-License-Identifier: MIT
// The choice among a kernel's implementations (cipher_path.h, hex_path.h): the
// fastest the processor runs, unless a test or benchmark forced one.
#pragma once

#include <atomic>
#include <initializer_list>

namespace tarnel {

template <class Path>
class ForcedPath {
  public:
    /// The forced path, else the first of `fastest_first` that `available` allows,
    /// else `fallback`.
    template <class Available>
    Path current(std::initializer_list<Path> fastest_first, Path fallback,
                 Available available) const noexcept {
        const int forced = m_forced.load(std::memory_order_relaxed);
        if (forced != kAutomatic)
            return static_cast<Path>(forced);
        for (const Path path : fastest_first) {
            if (available(path))
                return path;
        }
        return fallback;
    }
    /// False, changing nothing, when the processor cannot run `path`.
    bool force(Path path, bool available) noexcept {
        if (available)
            m_forced.store(static_cast<int>(path), std::memory_order_relaxed);
        return available;
    }
    void reset() noexcept { m_forced.store(kAutomatic, std::memory_order_relaxed); }

  private:
    // Atomic, since the threads of one seal read it.
    static constexpr int kAutomatic = -1;
    std::atomic<int> m_forced{kAutomatic};
};

}  // namespace tarnel
