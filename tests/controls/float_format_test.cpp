// Numbers as text: the general, exponent, fixed and number forms, and format strings.
#include <gtest/gtest.h>

#include <classlib/float_format.h>
#include <classlib/string_utils.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace {

// The expected text in the locale's separators ('.' decimal, ',' thousands in the source).
std::wstring loc(std::wstring text) {
    for (wchar_t &c : text)
        if (c == L'.')
            c = L'\x1';
        else if (c == L',')
            c = L'\x2';
    for (wchar_t &c : text)
        if (c == L'\x1')
            c = FormatSettings().DecimalSeparator;
        else if (c == L'\x2')
            c = FormatSettings().ThousandSeparator;
    return text;
}

} // namespace

TEST(FloatToText, GeneralFormHasFifteenDigitsAndNoNoise) {
    EXPECT_EQ(FloatToStr(0.1 + 0.2), loc(L"0.3"));
    EXPECT_EQ(FloatToStr(0), L"0");
    EXPECT_EQ(FloatToStr(-2.5), loc(L"-2.5"));
    EXPECT_EQ(FloatToStr(123456789012345.0), L"123456789012345");
    EXPECT_EQ(FloatToStr(1234567890123456.0), loc(L"1.23456789012346E15"));
    EXPECT_EQ(FloatToStr(0.00001), loc(L"0.00001"));
    EXPECT_EQ(FloatToStr(0.000001), L"1E-6");
    EXPECT_EQ(FloatToStr(1e300), L"1E300");
    EXPECT_EQ(FloatToStr(std::numeric_limits<double>::infinity()), L"INF");
    EXPECT_EQ(FloatToStr(std::nan("")), L"NAN");
    EXPECT_EQ(FloatToStrF(2.0 / 3.0, ffGeneral, 4, 0), loc(L"0.6667"));
    EXPECT_EQ(FloatToStrF(99999.5, ffGeneral, 5, 0), L"1E5");
}

TEST(FloatToText, FixedExponentAndNumberForms) {
    EXPECT_EQ(FloatToStrF(2.675, ffFixed, 15, 2), loc(L"2.68"));
    EXPECT_EQ(FloatToStrF(-0.004, ffFixed, 15, 2), loc(L"0.00"));
    EXPECT_EQ(FloatToStrF(9.999, ffFixed, 15, 2), loc(L"10.00"));
    EXPECT_EQ(FloatToStrF(5, ffFixed, 15, 0), L"5");
    EXPECT_EQ(FloatToStrF(1234567.891, ffNumber, 15, 2), loc(L"1,234,567.89"));
    EXPECT_EQ(FloatToStrF(-999.5, ffNumber, 15, 0), loc(L"-1,000"));
    EXPECT_EQ(FloatToStrF(12345.678, ffExponent, 4, 2), loc(L"1.235E+04"));
    EXPECT_EQ(FloatToStrF(-0.00012, ffExponent, 3, 0), loc(L"-1.20E-4"));
    EXPECT_EQ(FloatToStrF(0, ffExponent, 2, 3), loc(L"0.0E+000"));
}

TEST(FloatFormatString, PlaceholdersSeparatorsAndExponents) {
    struct Case {
        const wchar_t *format;
        double value;
        const wchar_t *expected;
    };
    const Case cases[] = {
        {L"0.00", 3.14159, L"3.14"},
        {L"0.00", 0.125, L"0.13"},
        {L"#.##", 0.5, L".5"},
        {L"0.##", 1, L"1"},
        {L"0.0#", 1.5, L"1.5"},
        {L"000", 7, L"007"},
        {L"#0#", 5, L"05"},
        {L"#,##0", 1234567, L"1,234,567"},
        {L"#,##0.00", 0, L"0.00"},
        {L".00", 12.5, L"12.50"},
        {L"00-00", 1234, L"12-34"},
        {L"0", 123456, L"123456"},
        {L"0.00E+00", 12345, L"1.23E+04"},
        {L"0.0e-0", 0.000123, L"1.2e-4"},
        {L"0.0E-00", 4560, L"4.6E03"},
        {L"'Total: '0.0", 2.25, L"Total: 2.3"},
        {L"\"x;y\"0", 3, L"x;y3"},
        {L"0 kg", 12, L"12 kg"},
        {L"0.00;(0.00)", -2.5, L"(2.50)"},
        {L"0.00;;zero", 0, L"zero"},
        {L"0.00;(0.00);zero", 0.001, L"zero"},
        {L"0;", -4, L"-4"},
        {L"0", -0.4, L"0"},
        {L"", 0.1 + 0.2, L"0.3"},
        {L"0.00", 1e20, L"1E20"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatFloat(c.format, c.value), loc(c.expected)) << c.format << " " << c.value;
}

// Any format and value: no crash, no runaway text.
TEST(FloatFormatString, ArbitraryFormatsStayBounded) {
    std::mt19937 random(29);
    const std::wstring alphabet = L"0#.,;E+-e'\"x %\\";
    for (int i = 0; i < 3000; ++i) {
        std::wstring format;
        const int length = static_cast<int>(random() % 24);
        for (int j = 0; j < length; ++j)
            format += alphabet[random() % alphabet.size()];
        const double value = std::ldexp(static_cast<double>(static_cast<int>(random())), static_cast<int>(random() % 200) - 100);
        const std::wstring text = FormatFloat(format, value);
        EXPECT_LT(text.size(), 200u) << format;
    }
}
