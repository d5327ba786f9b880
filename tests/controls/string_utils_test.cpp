// Number parsing, comparisons and conversions.
#include <gtest/gtest.h>

#include <classlib/exceptions.h>
#include <classlib/string_utils.h>

#include <cstdint>
#include <limits>
#include <string>

TEST(IntegerText, OnlyDecimalDigitsWithAnOptionalSign) {
    std::int32_t value = 0;
    EXPECT_TRUE(TryStrToInt(L"512", value));
    EXPECT_EQ(value, 512);
    EXPECT_TRUE(TryStrToInt(L"+7", value));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(TryStrToInt(L"-2147483648", value));
    EXPECT_EQ(value, std::numeric_limits<std::int32_t>::min());
    EXPECT_TRUE(TryStrToInt(L"0002147483647", value));
    EXPECT_EQ(value, 2147483647);
    value = 99;
    for (const wchar_t *bad : {L"2147483648", L"-2147483649", L"", L"-", L"+", L" 1", L"1 ", L"$10", L"0x10", L"1e3",
                               L"１２", L"12a", L"99999999999999999999999"})
        EXPECT_FALSE(TryStrToInt(bad, value)) << bad;
    EXPECT_EQ(value, 99);

    std::int64_t wide = 0;
    EXPECT_TRUE(TryStrToInt64(L"-9223372036854775808", wide));
    EXPECT_EQ(wide, std::numeric_limits<std::int64_t>::min());
    EXPECT_TRUE(TryStrToInt64(L"9223372036854775807", wide));
    EXPECT_FALSE(TryStrToInt64(L"9223372036854775808", wide));
    EXPECT_FALSE(TryStrToInt64(L"-9223372036854775809", wide));
    EXPECT_EQ(IntToStr(std::numeric_limits<std::int64_t>::min()), L"-9223372036854775808");
}

TEST(IntegerText, StrToIntRaisesAConversionError) {
    EXPECT_EQ(StrToInt(L"-12"), -12);
    try {
        StrToInt(L"abc");
        FAIL() << "converted";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), L"'abc' is not a valid integer value");
    }
}

TEST(FloatText, FollowsTheLocaleDecimalSeparator) {
    double value = 0;
    EXPECT_TRUE(TryStrToFloat(L" -2.5e3 ", value));
    EXPECT_EQ(value, -2500.0);
    EXPECT_TRUE(TryStrToFloat(L"512", value));
    EXPECT_EQ(value, 512.0);
    EXPECT_TRUE(TryStrToFloat(L".5", value));
    EXPECT_EQ(value, 0.5);
    EXPECT_TRUE(TryStrToFloat(L"1e-400", value));
    EXPECT_EQ(value, 0.0);
    EXPECT_TRUE(TryStrToFloat(L"1.7E308", value));
    value = 3;
    for (const wchar_t *bad : {L"", L" ", L".", L"1.2.3", L"e5", L"1e", L"1e+", L"inf", L"nan", L"0x1p3", L"1e400",
                               L"-0.5e309", L"1,5", L"--1", L"1 2"})
        EXPECT_FALSE(TryStrToFloat(bad, value)) << bad;
    EXPECT_EQ(value, 3.0);

    wchar_t saved = FormatSettings().DecimalSeparator;
    FormatSettings().DecimalSeparator = L',';
    EXPECT_TRUE(TryStrToFloat(L"1,25", value));
    EXPECT_EQ(value, 1.25);
    EXPECT_FALSE(TryStrToFloat(L"1.25", value));
    FormatSettings().DecimalSeparator = saved;
    GetFormatSettings();
    EXPECT_EQ(FormatSettings().DecimalSeparator, saved);
}

TEST(TextComparison, LocaleAndAsciiCase) {
    EXPECT_EQ(AnsiCompareText(L"TextEdit", L"textedit"), 0);
    EXPECT_LT(AnsiCompareText(L"apple", L"Banana"), 0);
    EXPECT_GT(AnsiCompareText(L"Banana", L"apple"), 0);
    EXPECT_NE(AnsiCompareStr(L"TextEdit", L"textedit"), 0);
    EXPECT_TRUE(AnsiSameText(L"ÄRGER", L"ärger"));
    EXPECT_EQ(AnsiCompareText(std::wstring(L"a\0b", 3), std::wstring(L"a\0c", 3)) < 0, true);
    EXPECT_TRUE(SameText(L"-XMX", L"-xmx"));
    EXPECT_FALSE(SameText(L"ÄRGER", L"ärger"));
    EXPECT_FALSE(SameText(L"-Xmx", L"-Xm"));
    EXPECT_LT(CompareText(L"-Xm", L"-xmx"), 0);
    EXPECT_EQ(UpperCase(L"-xmx512m ä"), L"-XMX512M ä");
    EXPECT_EQ(LowerCase(L"ABC Ä"), L"abc Ä");
    EXPECT_EQ(AnsiUpperCase(L"äbc 中文"), L"ÄBC 中文");
    EXPECT_EQ(AnsiLowerCase(L"ÄBC"), L"äbc");
    EXPECT_EQ(AnsiUpperCase(L""), L"");
}
