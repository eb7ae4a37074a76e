// SPDX-License-Identifier: MIT
// Where the engine puts what it makes, in order: a sealed text, an opened text or a
// converted one.
#pragma once

#include <cstddef>

namespace tarnel {

/// Where the engine puts what it makes, in order. It must not throw; a
/// sink that fails remembers it. Small runs of output come in pieces of at most a
/// few tens of kilobytes; a large run is made on every CPU in a buffer of the
/// engine's and comes in one piece of up to 16 MiB, to be written out as it is.
class TextSink {
  public:
    virtual void write(const char* data, std::size_t size) noexcept = 0;

  protected:
    ~TextSink() = default;
};

}  // namespace tarnel
