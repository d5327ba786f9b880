#include "sarnik/value_parse.h"

#include <math.h>
#include <string.h>

#include "number_scan.h"
#include "text_util.h"

using namespace sarnik;

namespace {

const char *const couldNotParseNumber = "could not parse number";
const char *const negativeNotAllowed = "negative value not allowed";
const char *const illegalSuffix = "illegal suffix";
const char *const outOfRange = "number out of range";
const char *const illegalFloatingPoint = "illegal floating point value";
const char *const unitRequired = "unit required";
const char *const syntaxError = "syntax error";
const char *const illegalUnit = "illegal unit";
const char *const illegalBoolean = "illegal boolean value";

int fail(const char **error, const char *text) {
    if (error != nullptr)
        *error = text;
    return 0;
}

struct IntegerRules {
    bool hexLetters;     // hexadecimal digits without a "0x" prefix
    bool negative;       // a leading '-' is allowed
    uint64_t maxPositive;
    uint64_t maxNegative; // largest magnitude of a negative result
};

// The one integer reader behind every strToSuffix integer function. The magnitude and sign come
// back separately so that each caller can check its own range before narrowing.
int parseInteger(const char *text, const IntegerRules &rules, uint64_t *result, const char **error) {
    if (text == nullptr)
        return fail(error, couldNotParseNumber);
    const char *s = skipBlanks(text);
    bool negative = false;
    if (*s == '-') {
        if (!rules.negative)
            return fail(error, negativeNotAllowed);
        negative = true;
        ++s;
    }
    bool hex = false;
    if (s[0] == '0' && (s[1] | 0x20) == 'x') {
        hex = true;
        s += 2;
    }
    UnsignedScan scan = scanUnsigned(s, hex ? 16 : 10);
    if (!hex) {
        char examined = scan.found ? *scan.after : *s;
        bool hexMarker = rules.hexLetters && scan.found && (examined | 0x20) == 'h';
        if (isHexLetter(examined) || hexMarker) {
            if (!rules.hexLetters)
                return fail(error, couldNotParseNumber);
            scan = scanUnsigned(s, 16);
        }
    }
    if (!scan.found)
        return fail(error, couldNotParseNumber);
    if (scan.overflow)
        return fail(error, outOfRange);
    const char *suffix = scan.after;
    // "10hk": h marks the digits as hexadecimal and the size suffix comes after it.
    if (rules.hexLetters && (*suffix | 0x20) == 'h') {
        ++suffix;
        if (*suffix == '\0')
            return fail(error, illegalSuffix);
    }
    uint64_t value = scan.value;
    if (*suffix != '\0') {
        uint64_t factor;
        if (!strSuffixToMultiplier(*suffix, &factor))
            return fail(error, illegalSuffix);
        if (value > UINT64_MAX / factor)
            return fail(error, outOfRange);
        value *= factor;
    }
    if (value > (negative ? rules.maxNegative : rules.maxPositive))
        return fail(error, outOfRange);
    *result = negative ? uint64_t{0} - value : value;
    return 1;
}

constexpr uint64_t max32 = UINT32_MAX;
constexpr uint64_t maxSigned32 = INT32_MAX;
constexpr uint64_t maxSigned64 = INT64_MAX;

template <typename T> int parseInto(const char *text, const IntegerRules &rules, T *result, const char **error) {
    uint64_t value;
    if (!parseInteger(text, rules, &value, error))
        return 0;
    if (result != nullptr)
        *result = static_cast<T>(value);
    return 1;
}

} // namespace

int strToSuffixInt(const char *text, int32_t *result, const char **error) {
    return parseInto(text, IntegerRules{false, true, maxSigned32, maxSigned32 + 1}, result, error);
}

int strToSuffixUInt(const char *text, uint32_t *result, const char **error) {
    return parseInto(text, IntegerRules{false, false, max32, 0}, result, error);
}

int strToSuffixLong(const char *text, int64_t *result, const char **error) {
    return parseInto(text, IntegerRules{false, true, maxSigned64, maxSigned64 + 1}, result, error);
}

int strToSuffixULong(const char *text, uint64_t *result, const char **error) {
    return parseInto(text, IntegerRules{false, false, UINT64_MAX, 0}, result, error);
}

int strToSuffixSize(const char *text, size_t *result, const char **error) {
    return parseInto(text, IntegerRules{false, false, SIZE_MAX, 0}, result, error);
}

int strToSuffixAddress(const char *text, void **result, const char **error) {
    uintptr_t address;
    if (!parseInto(text, IntegerRules{true, false, UINTPTR_MAX, 0}, &address, error))
        return 0;
    if (result != nullptr)
        *result = reinterpret_cast<void *>(address);
    return 1;
}

int strToSuffixDouble(const char *text, double *result, const char **error) {
    if (text == nullptr)
        return fail(error, illegalFloatingPoint);
    DecimalScan scan = scanDecimal(text);
    if (!scan.found || scan.overflow)
        return fail(error, illegalFloatingPoint);
    double value = scan.value;
    if (*scan.after != '\0') {
        uint64_t factor;
        if (!strSuffixToMultiplier(*scan.after, &factor))
            return fail(error, illegalSuffix);
        value *= static_cast<double>(factor);
        if (!isfinite(value))
            return fail(error, illegalFloatingPoint);
    }
    if (result != nullptr)
        *result = value;
    return 1;
}

int strToSuffixNanoTime(const char *text, int64_t *result, const char **error) {
    struct Unit {
        const char *name;
        int64_t factor;
    };
    static constexpr Unit units[] = {
        {"us", 1000LL},           {"ms", 1000000LL},          {"s", 1000000000LL},  {"m", 60000000000LL},
        {"h", 3600000000000LL},   {"d", 86400000000000LL},    {"ns", 1LL},
    };
    if (text == nullptr)
        return fail(error, syntaxError);
    SignedScan scan = scanSigned(text);
    if (!scan.found)
        return fail(error, syntaxError);
    if (scan.overflow)
        return fail(error, outOfRange);
    // The unit is the next one or two characters that are not blank.
    const char *unit = skipBlanks(scan.after);
    size_t unitLength = 0;
    while (unitLength < 2 && unit[unitLength] != '\0' && !isBlank(unit[unitLength]))
        ++unitLength;
    if (unitLength == 0) {
        if (scan.value != 0)
            return fail(error, unitRequired);
        if (result != nullptr)
            *result = 0;
        return 1;
    }
    for (const Unit &u : units) {
        if (strlen(u.name) != unitLength || memcmp(u.name, unit, unitLength) != 0)
            continue;
        int64_t value;
        if (__builtin_mul_overflow(scan.value, u.factor, &value))
            return fail(error, outOfRange);
        if (result != nullptr)
            *result = value;
        return 1;
    }
    return fail(error, illegalUnit);
}

namespace {

bool equalsIgnoringCase(const char *text, const char *word) {
    for (; *word != '\0'; ++text, ++word) {
        char c = *text;
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
        if (c != *word)
            return false;
    }
    return *text == '\0';
}

} // namespace

int strToBool(const char *text, int *result, const char **error) {
    if (text == nullptr)
        return fail(error, illegalBoolean);
    int value;
    if (text[0] == '\0' || strcmp(text, "1") == 0 || equalsIgnoringCase(text, "true") ||
        equalsIgnoringCase(text, "on"))
        value = 1;
    else if (strcmp(text, "0") == 0 || equalsIgnoringCase(text, "false") || equalsIgnoringCase(text, "off"))
        value = 0;
    else
        return fail(error, illegalBoolean);
    if (result != nullptr)
        *result = value;
    return 1;
}

int strSuffixToMultiplier(char c, uint64_t *result) {
    uint64_t factor;
    switch (c) {
    case 'k':
    case 'K':
        factor = uint64_t{1} << 10;
        break;
    case 'm':
    case 'M':
        factor = uint64_t{1} << 20;
        break;
    case 'g':
    case 'G':
        factor = uint64_t{1} << 30;
        break;
    default:
        return 0;
    }
    if (result != nullptr)
        *result = factor;
    return 1;
}
