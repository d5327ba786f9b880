// The string and number helpers the control library uses.
//
// Stand in for the compiler's run-time string routines: locale comparisons and case mapping
// (the user's locale, as the platform compares), strict decimal number parsing, the locale's
// decimal separator, and conversions between wide text and 8-bit code pages.
#ifndef CLASSLIB_STRING_UTILS_H
#define CLASSLIB_STRING_UTILS_H

#include <cstdint>
#include <string>
#include <string_view>

// Comparisons in the user's locale; results below, at or above 0.
int AnsiCompareText(std::wstring_view a, std::wstring_view b); // ignoring case
int AnsiCompareStr(std::wstring_view a, std::wstring_view b);
bool AnsiSameText(std::wstring_view a, std::wstring_view b);
// Comparison ignoring the case of ASCII letters only, ordinal otherwise.
int CompareText(std::wstring_view a, std::wstring_view b);
bool SameText(std::wstring_view a, std::wstring_view b);

// Case mapping in the user's locale.
std::wstring AnsiUpperCase(std::wstring_view text);
std::wstring AnsiLowerCase(std::wstring_view text);
// Case mapping of ASCII letters only.
std::wstring UpperCase(std::wstring_view text);
std::wstring LowerCase(std::wstring_view text);

std::wstring IntToStr(std::int64_t value);
// Decimal digits with an optional leading sign; no blanks, no other bases; false on overflow.
bool TryStrToInt(std::wstring_view text, std::int32_t &value);
bool TryStrToInt64(std::wstring_view text, std::int64_t &value);
// As TryStrToInt; raises EConvertError.
std::int32_t StrToInt(std::wstring_view text);
// Blanks around, an optional sign, digits with at most one decimal separator (the locale's),
// an optional exponent; false for anything else and for values beyond the double range.
bool TryStrToFloat(std::wstring_view text, double &value);

// The locale's number, currency, date and time formats, read from the user's locale at first
// use. Time formats are built as the library builds them: the hour without a leading zero unless
// the locale asks for one, and "AMPM" before or after it on a 12-hour clock.
struct TFormatSettings {
    wchar_t DecimalSeparator;
    wchar_t ThousandSeparator;
    std::wstring CurrencyString;
    std::uint8_t CurrencyFormat;   // the positive pattern, 0..3
    std::uint8_t NegCurrFormat;    // the negative pattern, 0..15
    std::uint8_t CurrencyDecimals;
    wchar_t DateSeparator;
    wchar_t TimeSeparator;
    std::wstring ShortDateFormat;
    std::wstring LongDateFormat;
    std::wstring TimeAMString;
    std::wstring TimePMString;
    std::wstring ShortTimeFormat;
    std::wstring LongTimeFormat;
    std::wstring ShortMonthNames[12];
    std::wstring LongMonthNames[12];
    std::wstring ShortDayNames[7]; // Sunday first
    std::wstring LongDayNames[7];
};
TFormatSettings &FormatSettings();
// Reads the user's locale again (after the platform announced a change).
void GetFormatSettings();

// Conversions between wide text and an 8-bit code page (CP_ACP, CP_UTF8, ...).
std::wstring CodePageToWide(std::string_view bytes, unsigned codePage);
std::string WideToCodePage(std::wstring_view text, unsigned codePage);
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view bytes);

#endif
