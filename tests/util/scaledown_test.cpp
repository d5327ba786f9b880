// Sizes and times reduced to a short number and unit for messages.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string>

#include "sarnik/scaledown.h"

namespace {

std::string sizeU8(uint64_t value) { return std::to_string(scaledownU8(value)) + scaledDownU8Suffix(value); }
std::string size32(size_t value) { return std::to_string(scaledownSize(value)) + scaledDownSizeSuffix(value); }
std::string nanos(int64_t value) {
    return std::to_string(scaledownNanotime(value)) + scaledDownNanotimeSuffix(value);
}

} // namespace

TEST(Scaledown, SizesTakeTheLargestUnitThatDividesExactly) {
    const uint64_t K = 1024, M = K * K, G = M * K;
    EXPECT_EQ(sizeU8(3 * G), "3G");
    EXPECT_EQ(sizeU8(1536), "1536");
    EXPECT_EQ(sizeU8(0), "0");
    EXPECT_EQ(sizeU8(1023), "1023");
    EXPECT_EQ(sizeU8(K), "1K");
    EXPECT_EQ(sizeU8(M), "1M");
    EXPECT_EQ(sizeU8(G + M), "1025M");
    EXPECT_EQ(sizeU8(G + K), "1048577K");
    EXPECT_EQ(sizeU8(1024 * G), "1024G");
    EXPECT_EQ(sizeU8(UINT64_MAX), "18446744073709551615");
    EXPECT_EQ(sizeU8(uint64_t{1} << 63), std::to_string(uint64_t{1} << 33) + "G");

    EXPECT_EQ(size32(2048), "2K");
    EXPECT_EQ(size32(1048576), "1M");
    EXPECT_EQ(size32(3u << 30), "3G");
    EXPECT_EQ(size32(5120), "5K");
    EXPECT_EQ(size32(462848), "452K");
    EXPECT_EQ(size32(0), "0");
    EXPECT_EQ(size32(1536), "1536");
    EXPECT_EQ(size32(SIZE_MAX), "4294967295");
}

TEST(Scaledown, FixedDivisorRoundsHalvesUp) {
    EXPECT_EQ(scaledownSizeFixed(5, 2), 3u);
    EXPECT_EQ(scaledownSizeFixed(4, 2), 2u);
    EXPECT_EQ(scaledownSizeFixed(1, 3), 0u);
    EXPECT_EQ(scaledownSizeFixed(2, 3), 1u);
    EXPECT_EQ(scaledownSizeFixed(1536, 1024), 2u);
    EXPECT_EQ(scaledownSizeFixed(1535, 1024), 1u);
    EXPECT_EQ(scaledownSizeFixed(7, 1), 7u);
    // No wrap near the top of the range, and no division by zero.
    EXPECT_EQ(scaledownSizeFixed(SIZE_MAX, 2), 2147483648u);
    EXPECT_EQ(scaledownSizeFixed(SIZE_MAX, 1), SIZE_MAX);
    EXPECT_EQ(scaledownSizeFixed(100, 0), 0u);
}

TEST(Scaledown, TimesTakeTheLargestUnitThatDividesExactly) {
    EXPECT_EQ(nanos(1500000), "1500us");
    EXPECT_EQ(nanos(0), "0s");
    EXPECT_EQ(nanos(-5), "-5ns");
    EXPECT_EQ(nanos(-5000000000LL), "-5000000000ns");
    EXPECT_EQ(nanos(2000000000LL), "2s");
    EXPECT_EQ(nanos(60000000000LL), "60s");
    EXPECT_EQ(nanos(999), "999ns");
    EXPECT_EQ(nanos(1000), "1us");
    EXPECT_EQ(nanos(1500), "1500ns");
    EXPECT_EQ(nanos(20000000), "20ms");
    EXPECT_EQ(nanos(INT64_MAX), std::to_string(INT64_MAX) + "ns");
}
