// SPDX-License-Identifier: MIT
// A hint that a large buffer be backed by huge pages.
#pragma once

#include <cstddef>
#include <string>

namespace tarnel {

/// Gives `text` a capacity of at least `size` and, where the system offers it, asks
/// for huge pages under the capacity before anything touches it. A result of many
/// megabytes is otherwise faulted in 4 KiB at a time, which costs more than the
/// cipher. Only a hint: nothing changes when it is refused. May throw bad_alloc or
/// length_error, as reserve does.
void reserve_on_huge_pages(std::string& text, std::size_t size);

}  // namespace tarnel
