// SPDX-License-Identifier: MIT
// A text kept aside in little memory: turned into UTF-8 and, when that pays,
// compressed on a worker thread; wiped when it is let go, since it may be a plain
// text.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <future>
#include <optional>
#include <string>

#include "qt_raw_text.h"

namespace tarnel::ui::qt {

class CompactText {
  public:
    CompactText() = default;
    CompactText(const CompactText&) = delete;
    CompactText& operator=(const CompactText&) = delete;
    ~CompactText();

    /// Keeps the user's text of `raw`, replacing what was kept. Returns at once: the
    /// work goes on in the background. Throws std::bad_alloc (or std::system_error
    /// when no thread can start) with nothing kept.
    void Store(RawText raw);
    /// The text kept, lines ending in "\n" (waiting for the background work when it
    /// still runs), which stays kept; nullopt when memory ran out while keeping it.
    std::optional<QString> Read();
    /// Forgets the text kept.
    void Clear() noexcept;
    /// Exchanges the texts kept, or being kept, of the two.
    void Swap(CompactText& other) noexcept;

  private:
    struct Packed {
        std::string utf8;     ///< the text, when it did not compress well
        QByteArray deflated;  ///< or the text compressed
        bool lost = false;    ///< memory ran out on the way: nothing is kept
    };
    Packed& Wait();

    std::future<Packed> m_pending;
    Packed m_packed;
};

/// Overwrites `size` bytes at `data` with zeros, in a way the compiler keeps.
void WipeMemory(void* data, std::size_t size) noexcept;

/// Returns the heap's free pages to the system, where the C library can (which also
/// clears them of the texts they held).
void ReturnFreeMemory() noexcept;

}  // namespace tarnel::ui::qt
