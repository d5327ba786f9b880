// Numbers with size suffixes, times with units and booleans: each result and each error text.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string>

#include "sarnik/value_parse.h"

namespace {

template <typename T> struct Outcome {
    int ok;
    T value;
    std::string error;
};

// A result variable that a failed conversion must leave alone.
template <typename T> T untouched() {
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<T>(uintptr_t{0x5a5a5a5a});
    else
        return static_cast<T>(77);
}

template <typename T> Outcome<T> convert(int (*function)(const char *, T *, const char **), const char *text) {
    T value = untouched<T>();
    const char *error = "(none)";
    int ok = function(text, &value, &error);
    if (!ok) {
        EXPECT_EQ(value, untouched<T>()) << "result written on failure for '" << (text ? text : "(null)") << "'";
    }
    return {ok, value, error};
}

Outcome<int32_t> asInt(const char *text) { return convert(strToSuffixInt, text); }
Outcome<uint32_t> asUInt(const char *text) { return convert(strToSuffixUInt, text); }
Outcome<int64_t> asLong(const char *text) { return convert(strToSuffixLong, text); }
Outcome<uint64_t> asULong(const char *text) { return convert(strToSuffixULong, text); }
Outcome<size_t> asSize(const char *text) { return convert(strToSuffixSize, text); }
Outcome<uintptr_t> asAddress(const char *text) {
    Outcome<void *> o = convert(strToSuffixAddress, text);
    return {o.ok, reinterpret_cast<uintptr_t>(o.value), o.error};
}
Outcome<double> asDouble(const char *text) { return convert(strToSuffixDouble, text); }
Outcome<int64_t> asNanos(const char *text) { return convert(strToSuffixNanoTime, text); }
Outcome<int> asBool(const char *text) { return convert(strToBool, text); }

// Runs one text through every integer conversion.
struct AllIntegers {
    Outcome<int32_t> i;
    Outcome<uint32_t> u;
    Outcome<int64_t> l;
    Outcome<uint64_t> ul;
    Outcome<size_t> z;
    Outcome<uintptr_t> a;
};

AllIntegers allIntegers(const char *text) {
    return {asInt(text), asUInt(text), asLong(text), asULong(text), asSize(text), asAddress(text)};
}

#define EXPECT_ALL_INTEGERS(text, expected)                                                                  \
    do {                                                                                                     \
        AllIntegers r = allIntegers(text);                                                                   \
        EXPECT_EQ(r.i.ok, 1) << text << ": " << r.i.error;                                                   \
        EXPECT_EQ(r.i.value, static_cast<int32_t>(expected)) << text;                                        \
        EXPECT_EQ(r.u.ok, 1) << text << ": " << r.u.error;                                                   \
        EXPECT_EQ(r.u.value, static_cast<uint32_t>(expected)) << text;                                       \
        EXPECT_EQ(r.l.ok, 1) << text << ": " << r.l.error;                                                   \
        EXPECT_EQ(r.l.value, static_cast<int64_t>(expected)) << text;                                        \
        EXPECT_EQ(r.ul.ok, 1) << text << ": " << r.ul.error;                                                 \
        EXPECT_EQ(r.ul.value, static_cast<uint64_t>(expected)) << text;                                      \
        EXPECT_EQ(r.z.ok, 1) << text << ": " << r.z.error;                                                   \
        EXPECT_EQ(r.z.value, static_cast<size_t>(expected)) << text;                                         \
        EXPECT_EQ(r.a.ok, 1) << text << ": " << r.a.error;                                                   \
        EXPECT_EQ(r.a.value, static_cast<uintptr_t>(expected)) << text;                                      \
    } while (0)

} // namespace

TEST(IntegerConversion, PlainNumbersSuffixesAndHexPrefixInEveryFunction) {
    EXPECT_ALL_INTEGERS("0", 0);
    EXPECT_ALL_INTEGERS("42", 42);
    EXPECT_ALL_INTEGERS("64k", 65536);
    EXPECT_ALL_INTEGERS("64K", 65536);
    EXPECT_ALL_INTEGERS("3m", 3 << 20);
    EXPECT_ALL_INTEGERS("3M", 3 << 20);
    EXPECT_ALL_INTEGERS("1g", 1 << 30);
    EXPECT_ALL_INTEGERS("1G", 1 << 30);
    EXPECT_ALL_INTEGERS("0x10", 16);
    EXPECT_ALL_INTEGERS("0X1F", 31);
    EXPECT_ALL_INTEGERS("0x1fk", 31 * 1024);
    EXPECT_ALL_INTEGERS("  \t17", 17);
    EXPECT_ALL_INTEGERS("+8", 8);
    // Only the character after the number is examined.
    EXPECT_ALL_INTEGERS("10kb", 10240);
    EXPECT_ALL_INTEGERS("2m and more", 2 << 20);
}

TEST(IntegerConversion, HexadecimalLettersOnlyWhereAllowed) {
    EXPECT_EQ(asAddress("1f").value, 31u);
    EXPECT_EQ(asAddress("ff").value, 255u);
    EXPECT_EQ(asAddress("DEADBEEF").value, 0xDEADBEEFu);
    EXPECT_EQ(asAddress("1fk").value, 31u * 1024);
    for (const char *text : {"1f", "ff", "10x", "x5", "e"}) {
        AllIntegers r = allIntegers(text);
        EXPECT_EQ(r.i.error, "could not parse number") << text;
        EXPECT_EQ(r.u.error, "could not parse number") << text;
        EXPECT_EQ(r.l.error, "could not parse number") << text;
        EXPECT_EQ(r.ul.error, "could not parse number") << text;
        EXPECT_EQ(r.z.error, "could not parse number") << text;
    }
    EXPECT_EQ(asAddress("10x").error, "illegal suffix");
    EXPECT_EQ(asAddress("x5").error, "could not parse number");
    // h marks the digits as hexadecimal; the size suffix follows it.
    EXPECT_EQ(asAddress("10hk").value, 16384u);
    EXPECT_EQ(asAddress("10Hm").value, 16u << 20);
    EXPECT_EQ(asAddress("10h").error, "illegal suffix");
    EXPECT_EQ(asSize("10hk").error, "illegal suffix");
    EXPECT_EQ(asSize("10h").error, "illegal suffix");
}

TEST(IntegerConversion, ErrorTexts) {
    for (const char *text : {"", "   ", "0x", "0xg", "k", "+", "0x-5", "\t"}) {
        AllIntegers r = allIntegers(text);
        EXPECT_EQ(r.i.error, "could not parse number") << "'" << text << "'";
        EXPECT_EQ(r.u.error, "could not parse number") << "'" << text << "'";
        EXPECT_EQ(r.l.error, "could not parse number") << "'" << text << "'";
        EXPECT_EQ(r.ul.error, "could not parse number") << "'" << text << "'";
        EXPECT_EQ(r.z.error, "could not parse number") << "'" << text << "'";
        EXPECT_EQ(r.a.error, "could not parse number") << "'" << text << "'";
    }
    EXPECT_EQ(asSize("abc").error, "could not parse number");
    EXPECT_EQ(asAddress("abc").value, 0xabcu);
    EXPECT_EQ(asInt("--5").error, "could not parse number");
    EXPECT_EQ(asInt("-").error, "could not parse number");
    EXPECT_EQ(asULong(nullptr).error, "could not parse number");
    for (const char *text : {"10q", "10t", "5 k", "7.5", "1_000"}) {
        AllIntegers r = allIntegers(text);
        EXPECT_EQ(r.i.error, "illegal suffix") << text;
        EXPECT_EQ(r.ul.error, "illegal suffix") << text;
        EXPECT_EQ(r.a.error, "illegal suffix") << text;
    }
    // A conversion without an error pointer fails just the same.
    int32_t value = 5;
    EXPECT_EQ(strToSuffixInt("zz", &value, nullptr), 0);
    EXPECT_EQ(value, 5);
}

TEST(IntegerConversion, NegativeValues) {
    EXPECT_EQ(asInt("-5").value, -5);
    EXPECT_EQ(asInt("-5").ok, 1);
    EXPECT_EQ(asInt("  -2k").value, -2048);
    EXPECT_EQ(asInt("-0x10").value, -16);
    EXPECT_EQ(asInt("-0").value, 0);
    EXPECT_EQ(asLong("-1g").value, -(int64_t{1} << 30));
    for (const char *text : {"-5", "-0", " -1", "-x"}) {
        EXPECT_EQ(asSize(text).error, "negative value not allowed") << text;
        EXPECT_EQ(asUInt(text).error, "negative value not allowed") << text;
        EXPECT_EQ(asULong(text).error, "negative value not allowed") << text;
        EXPECT_EQ(asAddress(text).error, "negative value not allowed") << text;
    }
}

TEST(IntegerConversion, ValuesOutsideTheResultRangeFail) {
    EXPECT_EQ(asInt("2147483647").value, INT32_MAX);
    EXPECT_EQ(asInt("-2147483648").value, INT32_MIN);
    EXPECT_EQ(asInt("1g").value, 1 << 30);
    for (const char *text : {"2147483648", "-2147483649", "2g", "-3g", "0x80000000", "4294967296"})
        EXPECT_EQ(asInt(text).error, "number out of range") << text;
    EXPECT_EQ(asUInt("4294967295").value, UINT32_MAX);
    EXPECT_EQ(asSize("0xffffffff").value, SIZE_MAX);
    EXPECT_EQ(asAddress("ffffffff").value, UINTPTR_MAX);
    EXPECT_EQ(asSize("3g").value, 3u << 30);
    for (const char *text : {"4294967296", "4g", "4194304k"}) {
        EXPECT_EQ(asUInt(text).error, "number out of range") << text;
        EXPECT_EQ(asSize(text).error, "number out of range") << text;
        EXPECT_EQ(asAddress(text).error, "number out of range") << text;
    }
    EXPECT_EQ(asLong("9223372036854775807").value, INT64_MAX);
    EXPECT_EQ(asLong("-9223372036854775808").value, INT64_MIN);
    EXPECT_EQ(asLong("9223372036854775808").error, "number out of range");
    EXPECT_EQ(asLong("-9223372036854775809").error, "number out of range");
    EXPECT_EQ(asLong("8589934592g").error, "number out of range");
    EXPECT_EQ(asULong("18446744073709551615").value, UINT64_MAX);
    EXPECT_EQ(asULong("0xffffffffffffffff").value, UINT64_MAX);
    EXPECT_EQ(asULong("16777216g").value, uint64_t{1} << 54);
    // A 64-bit overflow, in the digits or by the suffix, is an error and not a wrapped value.
    for (const char *text : {"18446744073709551616", "99999999999999999999999", "0x10000000000000000",
                             "17179869184g", "18014398509481984k"})
        EXPECT_EQ(asULong(text).error, "number out of range") << text;
}

TEST(DoubleConversion, NumbersAndSuffixes) {
    EXPECT_EQ(asDouble("1.5k").value, 1536.0);
    EXPECT_EQ(asDouble("1.5K").value, 1536.0);
    EXPECT_EQ(asDouble("2").value, 2.0);
    EXPECT_EQ(asDouble("-2.5m").value, -2.5 * 1048576);
    EXPECT_EQ(asDouble("0.25g").value, 0.25 * 1073741824.0);
    EXPECT_EQ(asDouble("1e3").value, 1000.0);
    EXPECT_EQ(asDouble("1E-2").value, 0.01);
    EXPECT_EQ(asDouble(".5").value, 0.5);
    EXPECT_EQ(asDouble("5.").value, 5.0);
    EXPECT_EQ(asDouble("+3.25").value, 3.25);
    EXPECT_EQ(asDouble("  7").value, 7.0);
    EXPECT_EQ(asDouble("0.1").value, 0.1);
    EXPECT_EQ(asDouble("1e-400").value, 0.0);
    EXPECT_EQ(asDouble("1e-400").ok, 1);
    EXPECT_EQ(asDouble("2kb").value, 2048.0);
}

TEST(DoubleConversion, ErrorTexts) {
    for (const char *text : {"", " ", "abc", ".", "-", "e5", "inf", "nan", "INF", "-infinity", "1e999",
                             "1e308k"})
        EXPECT_EQ(asDouble(text).error, "illegal floating point value") << text;
    EXPECT_EQ(asDouble(nullptr).error, "illegal floating point value");
    // The same reading whichever C runtime is linked: no hexadecimal floats, no partial exponent.
    for (const char *text : {"1.5q", "0x10", "0x1p3", "1e", "1e+", "2 k", "1,5"})
        EXPECT_EQ(asDouble(text).error, "illegal suffix") << text;
}

TEST(NanoTimeConversion, UnitsAndBareZero) {
    EXPECT_EQ(asNanos("0").value, 0);
    EXPECT_EQ(asNanos("0").ok, 1);
    EXPECT_EQ(asNanos(" 0 ").ok, 1);
    EXPECT_EQ(asNanos("20ms").value, 20000000);
    EXPECT_EQ(asNanos("3 s").value, 3000000000LL);
    EXPECT_EQ(asNanos("7ns").value, 7);
    EXPECT_EQ(asNanos("7us").value, 7000);
    EXPECT_EQ(asNanos("2m").value, 120000000000LL);
    EXPECT_EQ(asNanos("2h").value, 7200000000000LL);
    EXPECT_EQ(asNanos("2d").value, 172800000000000LL);
    EXPECT_EQ(asNanos("-5s").value, -5000000000LL);
    EXPECT_EQ(asNanos("0ms").value, 0);
    // The unit is at most two characters; what follows is not read.
    EXPECT_EQ(asNanos("5msec").value, 5000000);
    EXPECT_EQ(asNanos("9223372036854775807ns").value, INT64_MAX);
    EXPECT_EQ(asNanos("106751d").value, 106751LL * 86400000000000LL);
}

TEST(NanoTimeConversion, ErrorTexts) {
    for (const char *text : {"5", "-3", " 12 ", "1\t"})
        EXPECT_EQ(asNanos(text).error, "unit required") << text;
    for (const char *text : {"", "   ", "ms", "abc", "- 5s", "+-5s", "--1s"})
        EXPECT_EQ(asNanos(text).error, "syntax error") << "'" << text << "'";
    EXPECT_EQ(asNanos(nullptr).error, "syntax error");
    for (const char *text : {"5x", "5sec", "5S", "5MS", "1 y", "5mn", "0x10"})
        EXPECT_EQ(asNanos(text).error, "illegal unit") << text;
    for (const char *text : {"9223372036854775808ns", "106752d", "-106752d", "99999999999999999999s"})
        EXPECT_EQ(asNanos(text).error, "number out of range") << text;
}

TEST(BoolConversion, WordsAndErrorText) {
    for (const char *text : {"", "1", "true", "TRUE", "True", "on", "On", "ON"}) {
        EXPECT_EQ(asBool(text).ok, 1) << text;
        EXPECT_EQ(asBool(text).value, 1) << text;
    }
    for (const char *text : {"0", "false", "FALSE", "off", "Off"}) {
        EXPECT_EQ(asBool(text).ok, 1) << text;
        EXPECT_EQ(asBool(text).value, 0) << text;
    }
    for (const char *text : {"yes", "no", " 1", "1 ", "01", "2", "truex", "tru", "o", "onn"})
        EXPECT_EQ(asBool(text).error, "illegal boolean value") << text;
    EXPECT_EQ(asBool(nullptr).error, "illegal boolean value");
}

TEST(SizeSuffix, Multipliers) {
    uint64_t factor = 0;
    const std::pair<char, uint64_t> suffixes[] = {{'k', 1024}, {'K', 1024}, {'m', 1 << 20}, {'M', 1 << 20},
                                                  {'g', 1 << 30}, {'G', 1 << 30}};
    for (auto [c, expected] : suffixes) {
        EXPECT_EQ(strSuffixToMultiplier(c, &factor), 1) << c;
        EXPECT_EQ(factor, expected) << c;
    }
    factor = 9;
    for (char c : {'b', 't', '\0', ' ', 'x'})
        EXPECT_EQ(strSuffixToMultiplier(c, &factor), 0) << c;
    EXPECT_EQ(factor, 9u);
}

TEST(TextHelpers, StartsWith) {
    EXPECT_EQ(strStartsWith("stdout", "std"), 1);
    EXPECT_EQ(strStartsWith("stdout", "stdout"), 1);
    EXPECT_EQ(strStartsWith("stdout", ""), 1);
    EXPECT_EQ(strStartsWith("", ""), 1);
    EXPECT_EQ(strStartsWith("std", "stdout"), 0);
    EXPECT_EQ(strStartsWith("Stdout", "std"), 0);
    EXPECT_EQ(strStartsWith("", "a"), 0);
}

TEST(TextHelpers, SplitAt) {
    char text[] = "name=value=more";
    char *first = nullptr, *rest = nullptr;
    EXPECT_EQ(strSplitAt(text, &first, &rest, '='), 0);
    EXPECT_STREQ(first, "name");
    EXPECT_STREQ(rest, "value=more");
    EXPECT_EQ(first, text);

    char plain[] = "alone";
    EXPECT_EQ(strSplitAt(plain, &first, &rest, '='), 0);
    EXPECT_STREQ(first, "alone");
    EXPECT_EQ(rest, nullptr);

    char trailing[] = "end:";
    strSplitAt(trailing, &first, &rest, ':');
    EXPECT_STREQ(first, "end");
    EXPECT_STREQ(rest, "");
}
