#include "classlib/float_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "classlib/string_utils.h"

namespace {

constexpr int maxPrecision = 15;

// value = 0.d1 d2 ... dn x 10^exponent; no trailing zeros; zero has no digits.
struct Decimal {
    std::string digits;
    int exponent = 0;
    bool IsZero() const noexcept { return digits.empty(); }
};

void stripTrailingZeros(Decimal &d) {
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits.empty())
        d.exponent = 0;
}

Decimal toDecimal(double magnitude, int precision) {
    Decimal d;
    if (magnitude == 0.0)
        return d;
    precision = std::clamp(precision, 1, maxPrecision);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, magnitude);
    const char *p = buffer;
    for (; *p != '\0' && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            d.digits += *p;
    int exponent = 0;
    if (*p == 'e')
        std::sscanf(p + 1, "%d", &exponent);
    d.exponent = exponent + 1;
    stripTrailingZeros(d);
    return d;
}

// Rounds half away from zero at the given number of decimals.
void roundAt(Decimal &d, int decimals) {
    if (d.IsZero())
        return;
    const long keep = static_cast<long>(d.exponent) + decimals;
    if (keep < 0) {
        d = Decimal{};
        return;
    }
    if (keep >= static_cast<long>(d.digits.size()))
        return;
    const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.digits.resize(static_cast<std::size_t>(keep));
    if (up) {
        int i = static_cast<int>(keep) - 1;
        for (; i >= 0; --i) {
            if (d.digits[static_cast<std::size_t>(i)] != '9') {
                ++d.digits[static_cast<std::size_t>(i)];
                break;
            }
            d.digits[static_cast<std::size_t>(i)] = '0';
        }
        if (i < 0) {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exponent;
        }
    }
    stripTrailingZeros(d);
}

// The digits before the decimal point (no leading zeros; empty for none).
std::string integerDigits(const Decimal &d) {
    if (d.IsZero() || d.exponent <= 0)
        return {};
    std::string result = d.digits.substr(0, std::min<std::size_t>(d.digits.size(), static_cast<std::size_t>(d.exponent)));
    result.append(static_cast<std::size_t>(d.exponent) - result.size(), '0');
    return result;
}

// The digits after the decimal point, exactly count of them.
std::string fractionDigits(const Decimal &d, int count) {
    std::string result;
    for (int i = 0; i < count; ++i) {
        const long index = static_cast<long>(d.exponent) + i;
        result += index >= 0 && index < static_cast<long>(d.digits.size()) ? d.digits[static_cast<std::size_t>(index)]
                                                                           : '0';
    }
    return result;
}

std::wstring widen(const std::string &ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring grouped(const std::string &digits) {
    const wchar_t separator = FormatSettings().ThousandSeparator;
    std::wstring result;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        result += static_cast<wchar_t>(digits[i]);
        const std::size_t rest = digits.size() - 1 - i;
        if (rest > 0 && rest % 3 == 0 && separator != L'\0')
            result += separator;
    }
    return result;
}

std::wstring exponentText(int exponent, int minDigits, bool alwaysSign) {
    std::wstring result = L"E";
    if (exponent < 0)
        result += L'-';
    else if (alwaysSign)
        result += L'+';
    std::wstring digits = std::to_wstring(std::abs(exponent));
    if (static_cast<int>(digits.size()) < minDigits)
        digits.insert(0, static_cast<std::size_t>(minDigits) - digits.size(), L'0');
    return result + digits;
}

std::wstring nonFinite(double value) {
    if (std::isnan(value))
        return L"NAN";
    return value < 0 ? L"-INF" : L"INF";
}

std::wstring generalForm(double value, int precision, int expDigits) {
    precision = std::clamp(precision, 1, maxPrecision);
    Decimal d = toDecimal(std::fabs(value), precision);
    if (d.IsZero())
        return L"0";
    const wchar_t separator = FormatSettings().DecimalSeparator;
    std::wstring result = value < 0 ? L"-" : L"";
    if (d.exponent <= precision && d.exponent >= -4) {
        std::string whole = integerDigits(d);
        result += whole.empty() ? L"0" : widen(whole);
        const int decimals = static_cast<int>(d.digits.size()) - d.exponent;
        if (decimals > 0)
            result += separator + widen(fractionDigits(d, decimals));
        return result;
    }
    result += static_cast<wchar_t>(d.digits[0]);
    if (d.digits.size() > 1)
        result += separator + widen(d.digits.substr(1));
    return result + exponentText(d.exponent - 1, std::clamp(expDigits, 0, 4), false);
}

std::wstring fixedForm(double value, int precision, int decimals, bool thousands) {
    precision = std::clamp(precision, 1, maxPrecision);
    decimals = std::clamp(decimals, 0, 18);
    Decimal d = toDecimal(std::fabs(value), precision);
    if (d.exponent > precision)
        return generalForm(value, precision, 0);
    roundAt(d, decimals);
    std::string whole = integerDigits(d);
    if (whole.empty())
        whole = "0";
    std::wstring result = value < 0 && !d.IsZero() ? L"-" : L"";
    result += thousands ? grouped(whole) : widen(whole);
    if (decimals > 0)
        result += FormatSettings().DecimalSeparator + widen(fractionDigits(d, decimals));
    return result;
}

// --- format strings

struct Token {
    enum Kind { Literal, IntegerDigit, FractionDigit, Point, Exponent };
    explicit Token(Kind k) : kind(k) {}
    Kind kind;
    wchar_t placeholder = L'0'; // '0' or '#'
    std::wstring text;          // literal text
    bool alwaysSign = false;    // exponent: "E+"
    int minDigits = 0;          // exponent digits
};

struct Section {
    std::vector<Token> tokens;
    int integerPlaces = 0;
    int firstIntegerZero = -1; // index among the integer places, -1 none
    int fractionPlaces = 0;
    int requiredDecimals = 0; // places up to the last '0'
    bool thousands = false;
    bool scientific = false;
};

std::vector<std::wstring_view> splitSections(std::wstring_view format) {
    std::vector<std::wstring_view> sections;
    std::size_t start = 0;
    wchar_t quote = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const wchar_t c = format[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (c == L'\'' || c == L'"') {
            quote = c;
        } else if (c == L';' && sections.size() < 2) {
            sections.push_back(format.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(format.substr(start));
    return sections;
}

Section parseSection(std::wstring_view text) {
    Section s;
    bool afterPoint = false;
    auto literal = [&](wchar_t c) {
        if (s.tokens.empty() || s.tokens.back().kind != Token::Literal)
            s.tokens.push_back(Token(Token::Literal));
        s.tokens.back().text += c;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\'' || c == L'"') {
            std::size_t end = text.find(c, i + 1);
            if (end == std::wstring_view::npos)
                end = text.size();
            for (std::size_t j = i + 1; j < end; ++j)
                literal(text[j]);
            i = end;
        } else if (s.scientific) {
            literal(c);
        } else if (c == L'0' || c == L'#') {
            Token t(afterPoint ? Token::FractionDigit : Token::IntegerDigit);
            t.placeholder = c;
            s.tokens.push_back(t);
            if (afterPoint) {
                ++s.fractionPlaces;
                if (c == L'0')
                    s.requiredDecimals = s.fractionPlaces;
            } else {
                if (c == L'0' && s.firstIntegerZero < 0)
                    s.firstIntegerZero = s.integerPlaces;
                ++s.integerPlaces;
            }
        } else if (c == L'.' && !afterPoint) {
            afterPoint = true;
            s.tokens.push_back(Token(Token::Point));
        } else if (c == L',' && !afterPoint) {
            s.thousands = true;
        } else if ((c == L'E' || c == L'e') && i + 1 < text.size() && (text[i + 1] == L'+' || text[i + 1] == L'-')) {
            Token t(Token::Exponent);
            t.text = std::wstring(1, c);
            t.alwaysSign = text[i + 1] == L'+';
            i += 2;
            while (i < text.size() && text[i] == L'0' && t.minDigits < 4) {
                ++t.minDigits;
                ++i;
            }
            --i;
            s.scientific = true;
            s.tokens.push_back(t);
        } else {
            literal(c);
        }
    }
    return s;
}

// The section's text for a non-negative value; zero tells whether the shown value is zero.
std::wstring applySection(const Section &s, double magnitude, bool &zero) {
    std::string whole;
    std::string fraction;
    int exponent = 0;
    if (s.scientific) {
        const int significant = std::clamp(s.integerPlaces + s.fractionPlaces, 1, maxPrecision);
        Decimal d = toDecimal(magnitude, significant);
        zero = d.IsZero();
        std::string all = d.digits;
        all.append(static_cast<std::size_t>(significant) - std::min<std::size_t>(all.size(), significant), '0');
        whole = all.substr(0, static_cast<std::size_t>(std::min(s.integerPlaces, significant)));
        fraction = all.substr(whole.size(), static_cast<std::size_t>(s.fractionPlaces));
        exponent = zero ? 0 : d.exponent - s.integerPlaces;
        // Leading zeros of a zero mantissa stay only where '0' asks for them.
        if (zero)
            whole.clear();
    } else {
        Decimal d = toDecimal(magnitude, maxPrecision);
        roundAt(d, s.fractionPlaces);
        zero = d.IsZero();
        whole = integerDigits(d);
        fraction = fractionDigits(d, s.fractionPlaces);
    }
    // Zeros asked for by '0' places left of the digits.
    if (s.firstIntegerZero >= 0) {
        const int required = s.integerPlaces - s.firstIntegerZero;
        if (static_cast<int>(whole.size()) < required)
            whole.insert(0, static_cast<std::size_t>(required) - whole.size(), '0');
    }
    int shownDecimals = s.requiredDecimals;
    for (int i = static_cast<int>(fraction.size()) - 1; i >= shownDecimals; --i)
        if (fraction[static_cast<std::size_t>(i)] != '0') {
            shownDecimals = i + 1;
            break;
        }

    const wchar_t thousandSeparator = FormatSettings().ThousandSeparator;
    const int length = static_cast<int>(whole.size());
    std::wstring result;
    auto emitDigit = [&](int position) {
        result += static_cast<wchar_t>(whole[static_cast<std::size_t>(position)]);
        const int rest = length - 1 - position;
        if (s.thousands && rest > 0 && rest % 3 == 0 && thousandSeparator != L'\0')
            result += thousandSeparator;
    };
    auto emitAllDigits = [&]() {
        for (int p = 0; p < length; ++p)
            emitDigit(p);
    };
    int integerIndex = 0;
    int fractionIndex = 0;
    bool wholeEmitted = s.integerPlaces > 0;
    for (const Token &t : s.tokens) {
        switch (t.kind) {
        case Token::Literal:
            result += t.text;
            break;
        case Token::IntegerDigit: {
            const int j = integerIndex++;
            if (length >= s.integerPlaces) {
                const int extra = length - s.integerPlaces;
                if (j == 0)
                    for (int p = 0; p <= extra; ++p)
                        emitDigit(p);
                else
                    emitDigit(extra + j);
            } else if (j >= s.integerPlaces - length) {
                emitDigit(j - (s.integerPlaces - length));
            }
            break;
        }
        case Token::Point:
            if (!wholeEmitted) {
                emitAllDigits();
                wholeEmitted = true;
            }
            if (shownDecimals > 0)
                result += FormatSettings().DecimalSeparator;
            break;
        case Token::FractionDigit:
            if (fractionIndex < shownDecimals)
                result += static_cast<wchar_t>(fraction[static_cast<std::size_t>(fractionIndex)]);
            ++fractionIndex;
            break;
        case Token::Exponent:
            if (!wholeEmitted) {
                emitAllDigits();
                wholeEmitted = true;
            }
            result += t.text + exponentText(exponent, t.minDigits, t.alwaysSign).substr(1);
            break;
        }
    }
    if (!wholeEmitted)
        emitAllDigits();
    return result;
}

} // namespace

std::wstring FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
    if (!std::isfinite(value))
        return nonFinite(value);
    switch (format) {
    case ffExponent: {
        precision = std::clamp(precision, 1, maxPrecision);
        Decimal d = toDecimal(std::fabs(value), precision);
        std::string all = d.digits;
        all.append(static_cast<std::size_t>(precision) - all.size(), '0');
        std::wstring result = value < 0 && !d.IsZero() ? L"-" : L"";
        result += static_cast<wchar_t>(all[0]);
        if (precision > 1)
            result += FormatSettings().DecimalSeparator + widen(all.substr(1));
        return result + exponentText(d.IsZero() ? 0 : d.exponent - 1, std::clamp(digits, 0, 4), true);
    }
    case ffFixed:
        return fixedForm(value, precision, digits, false);
    case ffNumber:
        return fixedForm(value, precision, digits, true);
    case ffGeneral:
    default:
        return generalForm(value, precision, digits);
    }
}

std::wstring FloatToStr(double value) { return FloatToStrF(value, ffGeneral, maxPrecision, 0); }

std::wstring FormatFloat(std::wstring_view format, double value) {
    if (!std::isfinite(value))
        return nonFinite(value);
    if (format.empty())
        return FloatToStr(value);
    std::vector<std::wstring_view> texts = splitSections(format);
    std::vector<Section> sections;
    for (std::wstring_view text : texts)
        sections.push_back(parseSection(text));
    auto usable = [&](std::size_t index) { return index < texts.size() && !texts[index].empty(); };

    std::size_t chosen = 0;
    if (value < 0 && usable(1))
        chosen = 1;
    else if (value == 0 && usable(2))
        chosen = 2;
    // Beyond the digits a double holds, fixed notation would only show invented zeros.
    if (!sections[chosen].scientific && std::fabs(value) >= 1e18)
        return FloatToStr(value);
    bool zero = false;
    std::wstring text = applySection(sections[chosen], std::fabs(value), zero);
    if (zero && chosen != 2 && usable(2))
        return applySection(sections[2], 0.0, zero);
    if (value < 0 && chosen == 0 && !zero)
        text.insert(0, 1, L'-');
    return text;
}
