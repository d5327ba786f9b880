// Bounds checks of option values and their messages.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>
#include <string>

#include "sarnik/arguments.h"

namespace {

template <typename T> std::pair<int, std::string> check(int kind, T value, T minimum, T maximum) {
    T bounds[2] = {minimum, maximum};
    char message[200];
    memset(message, 0, sizeof message);
    int result = argCheckBounds(kind, &value, bounds, message, sizeof message);
    return {result, message};
}

using R = std::pair<int, std::string>;

} // namespace

TEST(ArgCheckBounds, IntegersAndBooleans) {
    EXPECT_EQ(check<int32_t>(ARG_KIND_INT, 5, 1, 10), R(0, ""));
    EXPECT_EQ(check<int32_t>(ARG_KIND_INT, 1, 1, 1), R(0, ""));
    EXPECT_EQ(check<int32_t>(ARG_KIND_INT, -5, 1, 10), R(-1, "(-5B) is less than minimum required (1B)"));
    EXPECT_EQ(check<int32_t>(ARG_KIND_INT, 50, 1, 10), R(1, "(50B) is more than maximum allowed (10B)"));
    EXPECT_EQ(check<int32_t>(ARG_KIND_BOOL, 0, 1, 1), R(-1, "(falseB) is less than minimum required (trueB)"));
    EXPECT_EQ(check<int32_t>(ARG_KIND_BOOL, 1, 0, 0), R(1, "(trueB) is more than maximum allowed (falseB)"));
    EXPECT_EQ(check<int64_t>(ARG_KIND_S8, -1, 0, 5), R(-1, "(-1B) is less than minimum required (0B)"));
    EXPECT_EQ(check<int64_t>(ARG_KIND_S8, INT64_MAX, 0, int64_t{1} << 40),
              R(1, "(9223372036854775807B) is more than maximum allowed (1099511627776B)"));
}

TEST(ArgCheckBounds, SizesAndTimesAreScaledDown) {
    EXPECT_EQ(check<size_t>(ARG_KIND_SIZE_T, 2048, 1048576, 4u << 30 >> 1),
              R(-1, "(2KB) is less than minimum required (1MB)"));
    EXPECT_EQ(check<size_t>(ARG_KIND_SIZE_T, 3u << 30, 0, 1536),
              R(1, "(3GB) is more than maximum allowed (1536B)"));
    EXPECT_EQ(check<size_t>(ARG_KIND_SIZE_T, 0xffffffffu, 0, 0x80000000u),
              R(1, "(4294967295B) is more than maximum allowed (2GB)"));
    EXPECT_EQ(check<uint64_t>(ARG_KIND_U8, 1000, 1024, 2048), R(-1, "(1000B) is less than minimum required (1KB)"));
    EXPECT_EQ(check<uint64_t>(ARG_KIND_U8, UINT64_MAX, 0, uint64_t{8} << 30),
              R(1, "(18446744073709551615B) is more than maximum allowed (8GB)"));
    EXPECT_EQ(check<int64_t>(ARG_KIND_NANOTIME, 1500000, 2000000000, 3000000000LL),
              R(-1, "(1500usB) is less than minimum required (2sB)"));
    EXPECT_EQ(check<int64_t>(ARG_KIND_NANOTIME, 7, -5, 0), R(1, "(7nsB) is more than maximum allowed (0sB)"));
    EXPECT_EQ(check<int64_t>(ARG_KIND_NANOTIME, -7, -5, 0), R(-1, "(-7nsB) is less than minimum required (-5nsB)"));
}

TEST(ArgCheckBounds, DoublesTextsAndAddresses) {
    EXPECT_EQ(check<double>(ARG_KIND_DOUBLE, 0.25, 0.5, 1.0),
              R(-1, "(0.250000B) is less than minimum required (0.500000B)"));
    EXPECT_EQ(check<double>(ARG_KIND_DOUBLE, 2.0, 0.5, 1.5),
              R(1, "(2.000000B) is more than maximum allowed (1.500000B)"));
    const char *texts = "abc";
    EXPECT_EQ(check<const char *>(ARG_KIND_PCCHAR, nullptr, texts, texts + 1),
              R(-1, "((null)B) is less than minimum required (abcB)"));
    EXPECT_EQ(check<const char *>(ARG_KIND_PCCHAR, texts + 2, texts, texts + 1),
              R(1, "(cB) is more than maximum allowed (bcB)"));
    EXPECT_EQ(check<void *>(ARG_KIND_PVOID, reinterpret_cast<void *>(0x10), reinterpret_cast<void *>(0x1000),
                            reinterpret_cast<void *>(0x2000)),
              R(-1, "(0x00000010B) is less than minimum required (0x00001000B)"));
    EXPECT_EQ(check<void *>(ARG_KIND_PVOID, reinterpret_cast<void *>(0xfffe0000u), nullptr,
                            reinterpret_cast<void *>(0x7fffffff)),
              R(1, "(0xFFFE0000B) is more than maximum allowed (0x7FFFFFFFB)"));
}

TEST(ArgCheckBounds, SmallAndMissingMessageBuffers) {
    int32_t value = 0, bounds[2] = {1, 2};
    char message[8];
    memset(message, 'x', sizeof message);
    EXPECT_EQ(argCheckBounds(ARG_KIND_INT, &value, bounds, message, 6), -1);
    EXPECT_STREQ(message, "(0B) ");
    EXPECT_EQ(message[6], 'x');
    EXPECT_EQ(argCheckBounds(ARG_KIND_INT, &value, bounds, nullptr, 0), -1);
    EXPECT_EQ(argCheckBounds(77, &value, bounds, message, sizeof message), 0);
}
