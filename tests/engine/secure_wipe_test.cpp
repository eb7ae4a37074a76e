// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "tarnel/secure_wipe.h"

namespace tarnel {
namespace {

TEST(SecureWipe, ClearsTheWholeCapacityOfAString) {
    std::string secret(100, 's');
    secret.resize(10);  // the old bytes stay behind the new length
    const std::size_t capacity = secret.capacity();
    secure_wipe(secret);
    EXPECT_TRUE(secret.empty());
    EXPECT_EQ(secret.capacity(), capacity) << "wiping must not reallocate and leave a copy";
    const char* data = secret.data();
    for (std::size_t i = 0; i < capacity; ++i)
        ASSERT_EQ(data[i], '\0') << i;
}

TEST(SecureWipe, ClearsRawBytesAndObjects) {
    struct Record {
        int a;
        char b[7];
    } record{42, "secret"};
    secure_wipe_object(record);
    EXPECT_EQ(record.a, 0);
    for (char c : record.b)
        EXPECT_EQ(c, '\0');
    std::string scoped = "password";
    { ScopedWipe guard(scoped); }
    EXPECT_TRUE(scoped.empty());
}

}  // namespace
}  // namespace tarnel
