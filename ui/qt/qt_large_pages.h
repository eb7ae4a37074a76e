// SPDX-License-Identifier: MIT
// Large pages for a buffer of megabytes that is about to be filled. Here a first
// touch of fresh memory costs far more than the copy that fills it (40 MB took a
// quarter of a second page by page, a tenth of that in large pages), and a text
// read out, converted or kept for undo is always fresh memory: the heap's free
// pages go back to the system after each large step.
#pragma once

#include <cstddef>

namespace tarnel::ui::qt {

/// Asks that the pages of `data`..`data + size`, not yet touched, be large ones
/// where the system can; nothing changes for a small buffer or elsewhere.
void PreferLargePages(void* data, std::size_t size) noexcept;

}  // namespace tarnel::ui::qt
