// SPDX-License-Identifier: MIT
// The layout of a body taken to hold no white space in its hex part, found from
// the trailer alone, so that opening can skip a pass over a large hex part.
#pragma once

#include <string_view>

#include "body_layout.h"
#include "tarnel/sealed_format.h"

namespace tarnel {

/// What analyse_body(body, damage) gives when the hex part holds no white space,
/// except that damage.bad_digits is left false: reading the hex part is the
/// caller's. Only the trailer is read.
BodyLayout analyse_unbroken_body(std::string_view body, BodyDamage& damage) noexcept;

}  // namespace tarnel
