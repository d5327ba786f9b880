#include "classlib/string_utils.h"

#include <windows.h>

#include <charconv>
#include <limits>

#include "classlib/exceptions.h"
#include "classlib_strings.h"

namespace {

int sign(int value) { return (value > 0) - (value < 0); }

int ordinalCompare(std::wstring_view a, std::wstring_view b) { return sign(a.compare(b)); }

int localeCompare(std::wstring_view a, std::wstring_view b, DWORD flags) {
    int result = CompareStringW(LOCALE_USER_DEFAULT, flags, a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()));
    // Only texts the platform refuses to compare fall back to code units.
    return result == 0 ? ordinalCompare(a, b) : result - CSTR_EQUAL;
}

wchar_t asciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - (L'a' - L'A')) : c; }
wchar_t asciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + (L'a' - L'A')) : c; }

std::wstring localeMap(std::wstring_view text, DWORD flags) {
    if (text.empty())
        return {};
    int length = LCMapStringW(LOCALE_USER_DEFAULT, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring(text);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    LCMapStringW(LOCALE_USER_DEFAULT, flags, text.data(), static_cast<int>(text.size()), result.data(), length);
    return result;
}

bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

wchar_t firstCharOfLocaleInfo(LCTYPE type, wchar_t fallback) {
    wchar_t buffer[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 8) > 1)
        return buffer[0];
    return fallback;
}

std::wstring localeString(LCTYPE type, const wchar_t *fallback) {
    wchar_t buffer[256] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 256) > 0)
        return buffer;
    return fallback;
}

int localeNumber(LCTYPE type, int fallback, int highest) {
    std::int32_t value = 0;
    if (!TryStrToInt(localeString(type, L""), value) || value < 0 || value > highest)
        return fallback;
    return value;
}

// Era and calendar letters the library's formats do not know are dropped.
std::wstring translateDateFormat(const std::wstring &format) {
    std::wstring result;
    for (wchar_t c : format)
        if (c != L'g')
            result += c;
    return result;
}

TFormatSettings &settingsStore() {
    static TFormatSettings settings{};
    return settings;
}
constinit bool settingsRead = false;

} // namespace

int AnsiCompareText(std::wstring_view a, std::wstring_view b) { return localeCompare(a, b, NORM_IGNORECASE); }
int AnsiCompareStr(std::wstring_view a, std::wstring_view b) { return localeCompare(a, b, 0); }
bool AnsiSameText(std::wstring_view a, std::wstring_view b) { return AnsiCompareText(a, b) == 0; }

int CompareText(std::wstring_view a, std::wstring_view b) {
    std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        wchar_t x = asciiUpper(a[i]);
        wchar_t y = asciiUpper(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(std::wstring_view a, std::wstring_view b) { return a.size() == b.size() && CompareText(a, b) == 0; }

std::wstring AnsiUpperCase(std::wstring_view text) { return localeMap(text, LCMAP_UPPERCASE); }
std::wstring AnsiLowerCase(std::wstring_view text) { return localeMap(text, LCMAP_LOWERCASE); }

std::wstring UpperCase(std::wstring_view text) {
    std::wstring result(text);
    for (wchar_t &c : result)
        c = asciiUpper(c);
    return result;
}

std::wstring LowerCase(std::wstring_view text) {
    std::wstring result(text);
    for (wchar_t &c : result)
        c = asciiLower(c);
    return result;
}

std::wstring IntToStr(std::int64_t value) {
    wchar_t buffer[24];
    wchar_t *end = buffer + 24;
    wchar_t *p = end;
    // Digits of the magnitude taken from the negative side, which holds the minimum too.
    std::int64_t rest = value < 0 ? value : -value;
    do {
        *--p = static_cast<wchar_t>(L'0' - rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (value < 0)
        *--p = L'-';
    return std::wstring(p, end);
}

bool TryStrToInt64(std::wstring_view text, std::int64_t &value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    if (i == text.size())
        return false;
    // Accumulated negatively so that the minimum needs no special case.
    std::int64_t result = 0;
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i]))
            return false;
        int digit = text[i] - L'0';
        if (result < lowest / 10 || (result == lowest / 10 && digit > -(lowest % 10)))
            return false;
        result = result * 10 - digit;
    }
    if (!negative) {
        if (result == lowest)
            return false;
        result = -result;
    }
    value = result;
    return true;
}

bool TryStrToInt(std::wstring_view text, std::int32_t &value) {
    std::int64_t wide;
    if (!TryStrToInt64(text, wide) || wide < std::numeric_limits<std::int32_t>::min() ||
        wide > std::numeric_limits<std::int32_t>::max())
        return false;
    value = static_cast<std::int32_t>(wide);
    return true;
}

std::int32_t StrToInt(std::wstring_view text) {
    std::int32_t value;
    if (!TryStrToInt(text, value))
        throw EConvertError(FormatResString(SInvalidInteger, {text}));
    return value;
}

bool TryStrToFloat(std::wstring_view text, double &value) {
    std::size_t i = 0;
    std::size_t end = text.size();
    while (i < end && text[i] == L' ')
        ++i;
    while (end > i && text[end - 1] == L' ')
        --end;
    bool negative = false;
    if (i < end && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    // The number is rebuilt in ASCII with '.' so that the conversion does not depend on the C
    // runtime's locale.
    std::string ascii;
    int digits = 0;
    int integerDigits = 0;     // significant digits before the separator
    int leadingFractionZeros = 0;
    bool inFraction = false;
    bool significant = false;
    wchar_t separator = FormatSettings().DecimalSeparator;
    for (; i < end; ++i) {
        wchar_t c = text[i];
        if (isDigit(c)) {
            ascii += static_cast<char>(c);
            ++digits;
            if (c != L'0')
                significant = true;
            if (!inFraction && significant)
                ++integerDigits;
            if (inFraction && !significant)
                ++leadingFractionZeros;
        } else if (c == separator && !inFraction) {
            ascii += '.';
            inFraction = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return false;
    long exponent = 0;
    if (i < end && (text[i] == L'e' || text[i] == L'E')) {
        ascii += 'e';
        ++i;
        bool exponentNegative = false;
        if (i < end && (text[i] == L'+' || text[i] == L'-')) {
            exponentNegative = text[i] == L'-';
            ascii += static_cast<char>(text[i++]);
        }
        std::size_t exponentStart = i;
        for (; i < end && isDigit(text[i]); ++i) {
            ascii += static_cast<char>(text[i]);
            if (exponent < 100000)
                exponent = exponent * 10 + (text[i] - L'0');
        }
        if (i == exponentStart)
            return false;
        if (exponentNegative)
            exponent = -exponent;
    }
    if (i != end)
        return false;
    double result = 0;
    auto [last, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), result);
    if (last != ascii.data() + ascii.size())
        return false;
    if (error == std::errc::result_out_of_range) {
        // Too small to hold is zero; too large is refused.
        long magnitude = integerDigits > 0 ? exponent + integerDigits - 1 : exponent - leadingFractionZeros - 1;
        if (significant && magnitude >= 0)
            return false;
        result = 0;
    } else if (error != std::errc()) {
        return false;
    }
    value = negative ? -result : result;
    return true;
}

TFormatSettings &FormatSettings() {
    if (!settingsRead)
        GetFormatSettings();
    return settingsStore();
}

void GetFormatSettings() {
    TFormatSettings &settings = settingsStore();
    settings.DecimalSeparator = firstCharOfLocaleInfo(LOCALE_SDECIMAL, L'.');
    settings.ThousandSeparator = firstCharOfLocaleInfo(LOCALE_STHOUSAND, L',');
    settings.CurrencyString = localeString(LOCALE_SCURRENCY, L"");
    settings.CurrencyFormat = static_cast<std::uint8_t>(localeNumber(LOCALE_ICURRENCY, 0, 3));
    settings.NegCurrFormat = static_cast<std::uint8_t>(localeNumber(LOCALE_INEGCURR, 0, 15));
    settings.CurrencyDecimals = static_cast<std::uint8_t>(localeNumber(LOCALE_ICURRDIGITS, 2, 99));
    settings.DateSeparator = firstCharOfLocaleInfo(LOCALE_SDATE, L'/');
    settings.TimeSeparator = firstCharOfLocaleInfo(LOCALE_STIME, L':');
    settings.ShortDateFormat = translateDateFormat(localeString(LOCALE_SSHORTDATE, L"m/d/yy"));
    settings.LongDateFormat = translateDateFormat(localeString(LOCALE_SLONGDATE, L"mmmm d, yyyy"));
    settings.TimeAMString = localeString(LOCALE_S1159, L"am");
    settings.TimePMString = localeString(LOCALE_S2359, L"pm");
    std::wstring prefix, postfix;
    if (localeNumber(LOCALE_ITIME, 0, 1) == 0) {
        if (localeNumber(LOCALE_ITIMEMARKPOSN, 0, 1) == 0)
            postfix = L" AMPM";
        else
            prefix = L"AMPM ";
    }
    std::wstring hour = localeNumber(LOCALE_ITLZERO, 0, 1) == 0 ? L"h" : L"hh";
    settings.ShortTimeFormat = prefix + hour + L":mm" + postfix;
    settings.LongTimeFormat = prefix + hour + L":mm:ss" + postfix;
    for (int i = 0; i < 12; ++i) {
        settings.ShortMonthNames[i] = localeString(LOCALE_SABBREVMONTHNAME1 + i, L"");
        settings.LongMonthNames[i] = localeString(LOCALE_SMONTHNAME1 + i, L"");
    }
    // The platform counts days from Monday; the library from Sunday.
    for (int i = 0; i < 7; ++i) {
        int day = (i + 6) % 7;
        settings.ShortDayNames[i] = localeString(LOCALE_SABBREVDAYNAME1 + day, L"");
        settings.LongDayNames[i] = localeString(LOCALE_SDAYNAME1 + day, L"");
    }
    settingsRead = true;
}

std::wstring CodePageToWide(std::string_view bytes, unsigned codePage) {
    if (bytes.empty())
        return {};
    int length = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), result.data(), length);
    return result;
}

std::string WideToCodePage(std::wstring_view text, unsigned codePage) {
    if (text.empty())
        return {};
    int length =
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr,
                        nullptr);
    return result;
}

std::string WideToUtf8(std::wstring_view text) { return WideToCodePage(text, CP_UTF8); }
std::wstring Utf8ToWide(std::string_view bytes) { return CodePageToWide(bytes, CP_UTF8); }
