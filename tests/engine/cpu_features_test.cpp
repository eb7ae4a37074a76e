// SPDX-License-Identifier: MIT
// The paths the engine takes follow what the processor reports. On 64-bit ARM
// Linux that is the kernel's AT_HWCAP word; every emulated processor sets all of
// its bits, so the fallbacks are reached by injecting other words here.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "cipher_path.h"
#include "cpu_features.h"
#include "ecb_cipher.h"
#include "hex_path.h"

namespace tarnel {
namespace {

#if defined(__aarch64__) && defined(__linux__)
constexpr bool kArmLinux = true;
#else
constexpr bool kArmLinux = false;
#endif

class InjectedHwcap : public ::testing::Test {
  protected:
    void TearDown() override {
        reset_cipher_path();
        reset_hex_path();
        redetect_cpu_features(std::nullopt);
    }
};

bool same_x86_features(const CpuFeatures& a, const CpuFeatures& b) {
    return a.ssse3 == b.ssse3 && a.aes == b.aes && a.avx2 == b.avx2 && a.vaes == b.vaes &&
           a.vaes512 == b.vaes512;
}

// A few blocks through a cipher keyed under the automatic choice.
std::vector<uint8_t> encrypt_blocks(CipherPath& path) {
    std::vector<uint8_t> key(32), data(32 * 5);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 29 + 3);
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = uint8_t(i * 7);
    const EcbCipher cipher(key.data(), 32, EcbCipher::Direction::Encrypt);
    EXPECT_TRUE(cipher.ok());
    path = cipher.path();
    cipher.run(data.data(), data.data(), 5);
    return data;
}

TEST_F(InjectedHwcap, WithoutAesTheCipherFallsBackToThePortablePathAndStillAgrees) {
    redetect_cpu_features(kHwcapAsimd | kHwcapAes);
    CipherPath fast = CipherPath::Portable;
    const std::vector<uint8_t> fast_blocks = encrypt_blocks(fast);

    redetect_cpu_features(~kHwcapAes);  // every other bit set
    EXPECT_FALSE(cpu_features().armv8_aes);
    EXPECT_FALSE(cipher_path_available(CipherPath::Armv8Aes));
    EXPECT_FALSE(set_cipher_path(CipherPath::Armv8Aes)) << "forcing a missing path is refused";
    CipherPath fallback = CipherPath::Armv8Aes;
    const std::vector<uint8_t> fallback_blocks = encrypt_blocks(fallback);
    EXPECT_NE(fallback, CipherPath::Armv8Aes);
    EXPECT_EQ(fallback_blocks, fast_blocks);
    if (kArmLinux) {
        EXPECT_EQ(fast, CipherPath::Armv8Aes);
        EXPECT_EQ(fallback, CipherPath::Portable);
        EXPECT_EQ(hex_path(), HexPath::Neon) << "Advanced SIMD is still there";
    }
}

TEST_F(InjectedHwcap, AesWithoutAdvancedSimdOffersNeitherPath) {
    // The AES instructions work on Advanced SIMD registers: no use without them.
    redetect_cpu_features(kHwcapAes);
    EXPECT_FALSE(cpu_features().neon);
    EXPECT_FALSE(cpu_features().armv8_aes);
    EXPECT_FALSE(set_hex_path(HexPath::Neon));
    EXPECT_FALSE(set_cipher_path(CipherPath::Armv8Aes));
    if (kArmLinux) {
        EXPECT_EQ(hex_path(), HexPath::Portable);
        EXPECT_EQ(cipher_path(), CipherPath::Portable);
    }
}

TEST_F(InjectedHwcap, NoBitsLeaveOnlyThePortablePathsOnArm) {
    redetect_cpu_features(0);
    if (!kArmLinux)
        GTEST_SKIP() << "detection does not read AT_HWCAP here";
    for (const CipherPath path : kCipherPaths)
        EXPECT_EQ(set_cipher_path(path), path == CipherPath::Portable) << cipher_path_name(path);
    for (const HexPath path : kHexPaths)
        EXPECT_EQ(set_hex_path(path), path == HexPath::Portable) << hex_path_name(path);
    reset_cipher_path();
    reset_hex_path();
    EXPECT_EQ(cipher_path(), CipherPath::Portable);
    EXPECT_EQ(hex_path(), HexPath::Portable);
}

TEST_F(InjectedHwcap, BothBitsOfferTheArmPathsOnArmOnly) {
    const CpuFeatures before = cpu_features();
    redetect_cpu_features(kHwcapAsimd | kHwcapAes);
    EXPECT_EQ(cpu_features().neon, kArmLinux);
    EXPECT_EQ(cpu_features().armv8_aes, kArmLinux);
    EXPECT_EQ(set_cipher_path(CipherPath::Armv8Aes), kArmLinux);
    EXPECT_EQ(set_hex_path(HexPath::Neon), kArmLinux);
    // The x86-64 features come from CPUID whatever word is injected.
    EXPECT_TRUE(same_x86_features(cpu_features(), before));
    if (kArmLinux) {
        reset_cipher_path();
        reset_hex_path();
        EXPECT_EQ(cipher_path(), CipherPath::Armv8Aes);
        EXPECT_EQ(hex_path(), HexPath::Neon);
    }
}

TEST_F(InjectedHwcap, DetectingAgainWithoutAWordGivesWhatTheProcessorReports) {
    const CpuFeatures reported = cpu_features();
    redetect_cpu_features(0);
    redetect_cpu_features(std::nullopt);
    EXPECT_TRUE(same_x86_features(cpu_features(), reported));
    EXPECT_EQ(cpu_features().neon, reported.neon);
    EXPECT_EQ(cpu_features().armv8_aes, reported.armv8_aes);
}

}  // namespace
}  // namespace tarnel
