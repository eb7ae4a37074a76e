// SPDX-License-Identifier: MIT
// The places where tarnel's own code allocates a buffer as large as a text: the
// text box's copies and the conversions between its characters and the engine's
// bytes. Each calls AllocationPoint() first, so that a test can make exactly one of
// them fail and see that the window survives it. Not part of the layer's interface:
// only the layer, the window and their tests include it.
#pragma once

namespace tarnel::ui {

/// Throws std::bad_alloc when a test chose this call to fail; otherwise only counts.
/// Safe on any thread.
void AllocationPoint();

namespace test {

/// From now on, the `nth` call of AllocationPoint() (1 = the next one) fails, and
/// only that one; 0 lets every call pass. Resets the count.
void FailAllocationPoint(int nth);
/// How many calls of AllocationPoint() there were since FailAllocationPoint.
int AllocationPointsPassed();

}  // namespace test
}  // namespace tarnel::ui
