#include "number_scan.h"

#include <charconv>
#include <math.h>

namespace sarnik {

namespace {

int digitValue(char c, int base) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (base == 16) {
        char lower = static_cast<char>(c | 0x20);
        if (lower >= 'a' && lower <= 'f')
            return lower - 'a' + 10;
    }
    return -1;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

UnsignedScan scanUnsigned(const char *s, int base) {
    UnsignedScan scan;
    s = skipBlanks(s);
    if (*s == '+')
        ++s;
    for (int d; (d = digitValue(*s, base)) >= 0; ++s) {
        scan.found = true;
        uint64_t next = scan.value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (scan.value > (UINT64_MAX - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base))
            scan.overflow = true;
        scan.value = next;
    }
    scan.after = s;
    return scan;
}

SignedScan scanSigned(const char *s) {
    SignedScan scan;
    s = skipBlanks(s);
    bool negative = false;
    if (*s == '+' || *s == '-') {
        negative = *s == '-';
        ++s;
    }
    UnsignedScan magnitude = scanUnsigned(s, 10);
    // scanUnsigned would take a second sign: "+-5" is no number here.
    if (*s == '+' || isBlank(*s)) {
        scan.after = s;
        return scan;
    }
    scan.found = magnitude.found;
    scan.after = magnitude.after;
    uint64_t limit = negative ? (uint64_t{1} << 63) : (uint64_t{1} << 63) - 1;
    scan.overflow = magnitude.overflow || magnitude.value > limit;
    scan.value = negative ? static_cast<int64_t>(uint64_t{0} - magnitude.value) : static_cast<int64_t>(magnitude.value);
    return scan;
}

DecimalScan scanDecimal(const char *s) {
    DecimalScan scan;
    s = skipBlanks(s);
    bool negative = false;
    if (*s == '+' || *s == '-') {
        negative = *s == '-';
        ++s;
    }
    const char *start = s;
    // Decimal exponent of the leading non-zero digit, to tell overflow from underflow.
    long long magnitude = 0;
    bool nonZero = false;
    bool digits = false;
    for (; isDigit(*s); ++s) {
        digits = true;
        if (nonZero)
            ++magnitude;
        else if (*s != '0')
            nonZero = true;
    }
    if (*s == '.') {
        ++s;
        for (; isDigit(*s); ++s) {
            digits = true;
            if (!nonZero) {
                --magnitude;
                if (*s != '0')
                    nonZero = true;
            }
        }
    }
    if (!digits) {
        scan.after = start;
        return scan;
    }
    if ((*s | 0x20) == 'e') {
        const char *e = s + 1;
        bool negativeExponent = false;
        if (*e == '+' || *e == '-') {
            negativeExponent = *e == '-';
            ++e;
        }
        if (isDigit(*e)) {
            long long exponent = 0;
            for (; isDigit(*e); ++e)
                if (exponent < 100000)
                    exponent = exponent * 10 + (*e - '0');
            magnitude += negativeExponent ? -exponent : exponent;
            s = e;
        }
    }
    double value = 0;
    std::from_chars_result result = std::from_chars(start, s, value, std::chars_format::general);
    scan.found = true;
    scan.after = s;
    if (result.ec == std::errc::result_out_of_range) {
        if (nonZero && magnitude > 0)
            scan.overflow = true;
        value = 0;
    } else if (result.ec != std::errc() || result.ptr != s || !isfinite(value)) {
        scan.overflow = true;
    }
    scan.value = negative ? -value : value;
    return scan;
}

} // namespace sarnik
