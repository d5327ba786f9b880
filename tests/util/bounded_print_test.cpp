// Bounded formatting: the platform dialect, termination and the cut result at every size.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>
#include <string>

#include "sarnik/bounded_print.h"

namespace {

constexpr char canary = '\x7e';

// Formats into size bytes of a larger buffer and checks that nothing past them was touched.
template <typename... Args> std::pair<int, std::string> printInto(size_t size, const char *format, Args... args) {
    char buffer[300];
    memset(buffer, canary, sizeof buffer);
    int result = vantrel_util_snprintf(buffer, size, format, args...);
    for (size_t i = size; i < sizeof buffer; ++i)
        EXPECT_EQ(buffer[i], canary) << "byte " << i << " written with size " << size;
    if (size == 0)
        return {result, "(untouched)"};
    EXPECT_NE(memchr(buffer, '\0', size), nullptr) << "not terminated with size " << size;
    return {result, std::string(buffer)};
}

} // namespace

TEST(BoundedPrint, PlatformDialect) {
    EXPECT_EQ(printInto(100, "[%I64d]", -1234567890123LL).second, "[-1234567890123]");
    EXPECT_EQ(printInto(100, "[%I64u]", 18446744073709551615ULL).second, "[18446744073709551615]");
    EXPECT_EQ(printInto(100, "[%-5.5i]", 42).second, "[00042]");
    EXPECT_EQ(printInto(100, "[%-5.5i]", 1234567).second, "[1234567]");
    EXPECT_EQ(printInto(100, "[%-5.5s]", "ab").second, "[ab   ]");
    EXPECT_EQ(printInto(100, "[%-7.7s]", "verylongname").second, "[verylon]");
    EXPECT_EQ(printInto(100, "[%Iu]", static_cast<size_t>(4294967295u)).second, "[4294967295]");
    EXPECT_EQ(printInto(100, "[%lf]", 1.5).second, "[1.500000]");
    EXPECT_EQ(printInto(100, "[%x]", 0xbeefu).second, "[beef]");
    // MinGW's printer writes %p in lower case where the platform runtime writes upper case.
    EXPECT_EQ(printInto(100, "[%p]", reinterpret_cast<void *>(uintptr_t{0x12ab00})).second, "[0012ab00]");
}

TEST(BoundedPrint, ResultTellsACutTextApartAtEverySize) {
    const char *text = "abcdefghij";
    const int length = 10;
    for (size_t size = 0; size <= 14; ++size) {
        auto [result, written] = printInto(size, "%s", text);
        if (size == 0) {
            EXPECT_EQ(result, -1);
        } else if (size > static_cast<size_t>(length)) {
            EXPECT_EQ(result, length) << size;
            EXPECT_EQ(written, text) << size;
        } else {
            EXPECT_EQ(result, -1) << size;
            EXPECT_EQ(written, std::string(text, size - 1)) << size;
        }
    }
    // Exactly one byte short of the terminator is a cut text.
    EXPECT_EQ(printInto(4, "%s", "abcd"), std::make_pair(-1, std::string("abc")));
    EXPECT_EQ(printInto(5, "%s", "abcd"), std::make_pair(4, std::string("abcd")));
}

TEST(BoundedPrint, FormattedNumbersCutAtEverySize) {
    const std::string full = "v=-9223372036854775808 end";
    for (size_t size = 1; size <= full.size() + 2; ++size) {
        auto [result, written] = printInto(size, "v=%I64d %s", INT64_MIN, "end");
        EXPECT_EQ(written, full.substr(0, size - 1)) << size;
        EXPECT_EQ(result, size > full.size() ? static_cast<int>(full.size()) : -1) << size;
    }
}

TEST(BoundedPrint, EmptyNullAndLongTexts) {
    EXPECT_EQ(printInto(1, "%s", ""), std::make_pair(0, std::string()));
    EXPECT_EQ(printInto(1, "x"), std::make_pair(-1, std::string()));
    EXPECT_EQ(vantrel_util_snprintf(nullptr, 10, "abc"), -1);
    char one[1] = {'q'};
    EXPECT_EQ(vantrel_util_snprintf(one, 0, "abc"), -1);
    EXPECT_EQ(one[0], 'q');

    std::string big(5000, 'z');
    auto [result, written] = printInto(256, "%s!", big.c_str());
    EXPECT_EQ(result, -1);
    EXPECT_EQ(written, big.substr(0, 255));
}
