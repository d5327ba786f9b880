// Number readers with one fixed grammar, so results never depend on which C runtime's scanf is
// linked (they disagree on "inf", hexadecimal floats, overflow and partial input).
#ifndef SARNIK_NUMBER_SCAN_H
#define SARNIK_NUMBER_SCAN_H

#include <stdint.h>

namespace sarnik {

// The blanks of the C locale.
inline bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

inline const char *skipBlanks(const char *s) {
    while (isBlank(*s))
        ++s;
    return s;
}

struct UnsignedScan {
    bool found = false;    // at least one digit
    bool overflow = false; // more than 64 bits
    uint64_t value = 0;
    const char *after = nullptr; // the first character after the digits (or where reading stopped)
};

// Blanks, an optional '+', then digits of the base (10 or 16).
UnsignedScan scanUnsigned(const char *s, int base);

struct SignedScan {
    bool found = false;
    bool overflow = false; // outside the signed 64-bit range
    int64_t value = 0;
    const char *after = nullptr;
};

// Blanks, an optional sign, then decimal digits.
SignedScan scanSigned(const char *s);

struct DecimalScan {
    bool found = false;
    bool overflow = false; // too large for a double
    double value = 0;
    const char *after = nullptr;
};

// Blanks, an optional sign, digits with an optional '.' and fraction (at least one digit in all),
// and an optional exponent that is taken only when digits follow its 'e'. No "inf", "nan" or
// hexadecimal forms. A number too small for a double reads as zero.
DecimalScan scanDecimal(const char *s);

} // namespace sarnik

#endif
