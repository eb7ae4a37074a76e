// SPDX-License-Identifier: MIT
#include "test_hooks.h"

namespace tarnel {
namespace {

// Set only between texts, so the threads of a text read it without a lock.
TestHooks g_hooks;

}  // namespace

void set_test_hooks(const TestHooks& hooks) noexcept {
    g_hooks = hooks;
}

const TestHooks& test_hooks() noexcept {
    return g_hooks;
}

}  // namespace tarnel
