#include "classlib/bcd.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "classlib/string_utils.h"
#include "classlib/variant.h"

namespace {

constexpr std::uint8_t signBit = 0x80;
constexpr std::uint8_t placesMask = 0x3F;

// A decoded value: the digits of the whole part (no leading zeros) and of the fraction (no
// trailing zeros); zero has neither and is never negative.
struct Decimal {
    bool negative = false;
    std::string whole;
    std::string fraction;
};

bool decode(const TBcd &value, Decimal &out) {
    if (!IsValidBcd(value))
        return false;
    int places = value.SignSpecialPlaces & placesMask;
    std::string digits;
    for (int i = 0; i < value.Precision; ++i) {
        std::uint8_t byte = value.Fraction[i / 2];
        digits += static_cast<char>('0' + (i % 2 == 0 ? byte >> 4 : byte & 0x0F));
    }
    out.whole = digits.substr(0, digits.size() - places);
    out.fraction = digits.substr(digits.size() - places);
    out.whole.erase(0, std::min(out.whole.find_first_not_of('0'), out.whole.size()));
    out.fraction.erase(out.fraction.find_last_not_of('0') + 1);
    out.negative = (value.SignSpecialPlaces & signBit) != 0 && !(out.whole.empty() && out.fraction.empty());
    return true;
}

bool encode(const Decimal &in, TBcd &value) {
    std::string whole = in.whole;
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    std::string fraction = in.fraction;
    fraction.erase(fraction.find_last_not_of('0') + 1);
    if (whole.empty())
        whole.assign(1, '0');
    std::string digits;
    digits.reserve(whole.size() + fraction.size());
    digits.append(whole).append(fraction);
    if (digits.size() > maxBcdDigits)
        return false;
    std::memset(&value, 0, sizeof value);
    value.Precision = static_cast<std::uint8_t>(digits.size());
    bool zero = digits.find_first_not_of('0') == std::string::npos;
    value.SignSpecialPlaces = static_cast<std::uint8_t>(fraction.size() | (in.negative && !zero ? signBit : 0));
    for (std::size_t i = 0; i < digits.size(); ++i) {
        std::uint8_t nibble = static_cast<std::uint8_t>(digits[i] - '0');
        value.Fraction[i / 2] |= i % 2 == 0 ? static_cast<std::uint8_t>(nibble << 4) : nibble;
    }
    return true;
}

int compareMagnitude(const Decimal &a, const Decimal &b) {
    if (a.whole.size() != b.whole.size())
        return a.whole.size() < b.whole.size() ? -1 : 1;
    int c = a.whole.compare(b.whole);
    if (c != 0)
        return c < 0 ? -1 : 1;
    c = a.fraction.compare(b.fraction); // no trailing zeros: a longer equal prefix is larger
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace

bool IsValidBcd(const TBcd &value) noexcept {
    if (value.Precision > maxBcdDigits || (value.SignSpecialPlaces & placesMask) > value.Precision)
        return false;
    for (int i = 0; i < value.Precision; ++i) {
        std::uint8_t byte = value.Fraction[i / 2];
        if ((i % 2 == 0 ? byte >> 4 : byte & 0x0F) > 9)
            return false;
    }
    return true;
}

bool TryStrToBcd(std::wstring_view text, TBcd &value) {
    std::size_t i = 0, end = text.size();
    while (i < end && text[i] == L' ')
        ++i;
    while (end > i && text[end - 1] == L' ')
        --end;
    Decimal d;
    if (i < end && (text[i] == L'+' || text[i] == L'-'))
        d.negative = text[i++] == L'-';
    wchar_t separator = FormatSettings().DecimalSeparator;
    bool inFraction = false, anyDigit = false;
    for (; i < end; ++i) {
        wchar_t c = text[i];
        if (c >= L'0' && c <= L'9') {
            (inFraction ? d.fraction : d.whole) += static_cast<char>(c);
            anyDigit = true;
        } else if (c == separator && !inFraction) {
            inFraction = true;
        } else {
            return false;
        }
    }
    return anyDigit && encode(d, value);
}

TBcd IntegerToBcd(std::int64_t value) noexcept {
    Decimal d;
    d.negative = value < 0;
    std::uint64_t magnitude = d.negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    d.whole = std::to_string(magnitude);
    TBcd result{};
    encode(d, result);
    return result;
}

bool TryDoubleToBcd(double value, TBcd &result) {
    if (!std::isfinite(value) || std::fabs(value) >= 1e64)
        return false;
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
    // d.dddddddddddddde[+-]xx: 15 significant digits and the exponent of the first.
    std::string mantissa = std::string(1, buffer[0]) + std::string(buffer + 2, 14);
    int exponent = std::atoi(std::strchr(buffer, 'e') + 1);
    Decimal d;
    d.negative = value < 0;
    if (exponent >= 0) {
        if (static_cast<std::size_t>(exponent + 1) >= mantissa.size()) {
            d.whole = mantissa + std::string(exponent + 1 - mantissa.size(), '0');
        } else {
            d.whole = mantissa.substr(0, exponent + 1);
            d.fraction = mantissa.substr(exponent + 1);
        }
    } else {
        d.fraction = std::string(-exponent - 1, '0') + mantissa;
        // Beyond what the record holds the digits are lost, as small values round to zero.
        if (d.fraction.size() > maxBcdDigits - 1)
            d.fraction.resize(maxBcdDigits - 1);
    }
    return encode(d, result);
}

bool TryBcdToDouble(const TBcd &value, double &result) {
    Decimal d;
    if (!decode(value, d))
        return false;
    // Built in ASCII with '.', whatever the C runtime's locale.
    std::string text;
    text.reserve(d.whole.size() + d.fraction.size() + 4);
    if (d.negative)
        text.push_back('-');
    text.append(d.whole.empty() ? std::string(1, '0') : d.whole);
    text.push_back('.');
    text.append(d.fraction).push_back('0');
    result = std::strtod(text.c_str(), nullptr);
    return true;
}

std::wstring BcdToStr(const TBcd &value) {
    Decimal d;
    if (!decode(value, d))
        return std::wstring();
    std::wstring text = d.negative ? L"-" : L"";
    text += d.whole.empty() ? L"0" : std::wstring(d.whole.begin(), d.whole.end());
    if (!d.fraction.empty()) {
        text += FormatSettings().DecimalSeparator;
        text += std::wstring(d.fraction.begin(), d.fraction.end());
    }
    return text;
}

int BcdCompare(const TBcd &a, const TBcd &b) noexcept {
    Decimal x, y;
    bool validA = false, validB = false;
    try {
        validA = decode(a, x);
        validB = decode(b, y);
    } catch (...) {
        return 0;
    }
    if (!validA || !validB)
        return static_cast<int>(validA) - static_cast<int>(validB);
    if (x.negative != y.negative)
        return x.negative ? -1 : 1;
    int magnitude = compareMagnitude(x, y);
    return x.negative ? -magnitude : magnitude;
}

bool TrySQLTimeStampToDateTime(const TSQLTimeStamp &t, double &dateTime) {
    if (t.Fractions > 999)
        return false;
    TDateTimeParts parts{t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second, static_cast<int>(t.Fractions)};
    return TryEncodeDateTime(parts, dateTime);
}

bool TryDateTimeToSQLTimeStamp(double dateTime, TSQLTimeStamp &stamp) {
    TDateTimeParts p{};
    if (!TryDecodeDateTime(dateTime, p))
        return false;
    stamp = TSQLTimeStamp{static_cast<std::uint16_t>(p.year),   static_cast<std::uint16_t>(p.month),
                          static_cast<std::uint16_t>(p.day),    static_cast<std::uint16_t>(p.hour),
                          static_cast<std::uint16_t>(p.minute), static_cast<std::uint16_t>(p.second),
                          static_cast<std::uint32_t>(p.millisecond)};
    return true;
}
