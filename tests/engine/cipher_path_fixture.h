// SPDX-License-Identifier: MIT
// Runs a test once per cipher path, forcing the path for its duration; a path the
// processor lacks is skipped with a message.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "cipher_path.h"

namespace tarnel {

// Names the path in a failure message.
inline void PrintTo(CipherPath path, std::ostream* os) {
    *os << cipher_path_name(path);
}

}  // namespace tarnel

namespace tarnel::test {

class OnEveryCipherPath : public ::testing::TestWithParam<CipherPath> {
  protected:
    void SetUp() override {
        if (!set_cipher_path(GetParam()))
            GTEST_SKIP() << "this processor has no " << cipher_path_name(GetParam()) << " path";
    }
    void TearDown() override { reset_cipher_path(); }
};

inline std::string cipher_path_test_name(const ::testing::TestParamInfo<CipherPath>& info) {
    std::string name = cipher_path_name(info.param);
    for (char& c : name) {
        if (c == '-')
            c = '_';
    }
    return name;
}

}  // namespace tarnel::test

#define TARNEL_ON_EVERY_CIPHER_PATH(suite)                                              \
    INSTANTIATE_TEST_SUITE_P(Paths, suite, ::testing::ValuesIn(::tarnel::kCipherPaths), \
                             ::tarnel::test::cipher_path_test_name)
