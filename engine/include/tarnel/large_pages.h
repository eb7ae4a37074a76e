// SPDX-License-Identifier: MIT
// A hint that a buffer of megabytes, about to be filled, be backed by large pages.
#pragma once

#include <cstddef>

namespace tarnel {

/// Asks, where the system offers it, that the untouched pages of `data` ..
/// `data + size` be large ones. Memory faulted in 4 KiB at a time costs more than
/// the cipher or a copy that fills it. Only a hint: a small buffer, another system
/// or a refusal changes nothing.
void prefer_large_pages(void* data, std::size_t size) noexcept;

}  // namespace tarnel
