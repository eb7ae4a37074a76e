// SPDX-License-Identifier: MIT
// Where the text to seal or open comes from.
#pragma once

#include <cstdint>
#include <string>

#include "tarnel/text_process.h"

namespace tarnel::cli {

/// Opens the file at `path` for reading, or gives standard input when `path` is
/// empty. Reports a failure and returns -1.
int open_text(const std::string& path);

/// What messages call the text at `path`: the path, or "standard input".
std::string text_name(const std::string& path);

/// Most bytes of a text read whole: a quarter of usable_memory(), since the
/// result (twice the text, when sealing) and the work on it need the rest.
uint64_t whole_text_limit() noexcept;

/// A descriptor read to its end, as the engine asks for it.
class DescriptorStream final : public StreamSource {
  public:
    explicit DescriptorStream(int fd) noexcept : m_fd(fd) {}
    std::ptrdiff_t read(char* buffer, std::size_t size) noexcept override;
    uint64_t size_hint() const noexcept override;
    int error() const noexcept { return m_error; }

  private:
    int m_fd;
    int m_error = 0;
};

}  // namespace tarnel::cli
