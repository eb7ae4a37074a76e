// SPDX-License-Identifier: MIT
// The stack a text's work leaves behind. A cipher kernel keeps plain text in
// vector registers, and the compiler spills them into the kernel's frame; the
// frame is gone when the kernel returns, but the bytes stay on the stack until
// something deeper overwrites them; the registers themselves keep it until later
// code spills them in turn. Each thread that worked on a text wipes the
// stack below the frame where that work began, once, when it is done.
#pragma once

namespace tarnel {

/// Wipes the stack below the caller's frame, deeper than any of the engine's
/// calls reach, and the vector registers the kernels used.
void wipe_stack_below() noexcept;

/// Calls wipe_stack_below() when the scope that holds it ends: put one at the
/// top of a function whose callees work on a text.
class StackWipe {
  public:
    StackWipe() noexcept = default;
    ~StackWipe() { wipe_stack_below(); }
    StackWipe(const StackWipe&) = delete;
    StackWipe& operator=(const StackWipe&) = delete;
};

}  // namespace tarnel
