// SPDX-License-Identifier: MIT
// A text kept aside in little memory: turned into UTF-8 and, when that pays,
// compressed on a worker thread; wiped when it is let go, since it may be a plain
// text.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <future>
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
    /// work goes on in the background.
    void Store(RawText raw);
    /// The text kept, lines ending in "\n" (waiting for the background work when it
    /// still runs); it is then no longer kept.
    QString Take();
    /// Forgets the text kept.
    void Clear();

  private:
    struct Packed {
        std::string utf8;     ///< the text, when it did not compress well
        QByteArray deflated;  ///< or the text compressed
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
