// SPDX-License-Identifier: MIT
// Watches a text as it is read whole, to refuse it as soon as that is certain
// rather than once all of it is in: an endless or slow source must not be waited
// for when its first bytes already decide.
#pragma once

#include <string_view>

#include "secret_reader.h"
#include "tarnel/process.h"

namespace tarnel::cli {

class EarlyRefusal final : public ReadWatcher {
  public:
    enum class Reason { None, NotSealed, ZeroByte };

    explicit EarlyRefusal(ProcessDirection direction) noexcept : m_direction(direction) {}

    bool keep_reading(std::string_view more) override;
    Reason reason() const noexcept { return m_reason; }

  private:
    ProcessDirection m_direction;
    // The first two bytes that are not white space, once seen: they tell whether
    // the text could be a sealed one.
    char m_head[2] = {};
    int m_head_size = 0;
    Reason m_reason = Reason::None;
};

}  // namespace tarnel::cli
