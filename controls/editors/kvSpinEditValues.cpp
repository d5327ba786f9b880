// The spin edit's value arithmetic: types, bounds, clamping, steps, characters, typed text.
#include "kvSpinEditValues.h"

#include <classlib/string_utils.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "kvClasses.h"

const TResourceString SkvSpinInvalidNumericValue{L"Invalid numeric value"};
const TResourceString SkvSpinValueOutOfBounds{L"Value out of bounds"};

namespace {

constexpr std::int64_t int64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();
// 2^63: the first double above the 64-bit range.
constexpr double twoTo63 = 9223372036854775808.0;

bool isIntegerType(const Variant &value) noexcept {
    switch (value.VarType()) {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
        return true;
    default:
        return false;
    }
}

// A number as a 64-bit integer: integers exactly, the rest rounded half to even, saturated.
std::int64_t toInt64(const Variant &value) {
    if (isIntegerType(value))
        return value.AsInt64();
    return KvRoundHalfEven(value.AsDouble());
}

// a - b, held inside the 64-bit range.
std::int64_t saturatedDifference(std::int64_t a, std::int64_t b) noexcept {
    if (b < 0 && a > int64Max + b)
        return int64Max;
    if (b > 0 && a < int64Min + b)
        return int64Min;
    return a - b;
}

std::int64_t saturatedNegation(std::int64_t value) noexcept { return value == int64Min ? int64Max : -value; }

// How many values the closed range holds, as an unsigned count (0 stands for all 2^64).
std::uint64_t rangeSize(std::int64_t min, std::int64_t max) noexcept {
    return static_cast<std::uint64_t>(max) - static_cast<std::uint64_t>(min) + 1u;
}

std::int64_t addUnsigned(std::int64_t base, std::uint64_t offset) noexcept {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(base) + offset);
}

std::int64_t subtractUnsigned(std::int64_t base, std::uint64_t offset) noexcept {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(base) - offset);
}

// How far `to` lies from `from`, held inside the type's range.
std::int64_t distance(std::int64_t from, std::int64_t to) noexcept { return saturatedDifference(to, from); }

double saturatedFloat(double value) noexcept { return std::clamp(value, -kvSpinFloatLimit, kvSpinFloatLimit); }

double distance(double from, double to) noexcept { return saturatedFloat(to - from); }

// A step that leaves the bounds, wrapped round: the period is max - min + 1, and a step longer
// than the period goes round more than once.
std::int64_t wrappedStep(std::int64_t inc, std::int64_t dMin, std::int64_t dMax, std::int64_t min,
                         std::int64_t max) noexcept {
    const std::uint64_t period = rangeSize(min, max);
    if (inc > dMax) {
        std::uint64_t offset = static_cast<std::uint64_t>(inc - dMax - 1);
        return addUnsigned(min, period == 0 ? offset : offset % period);
    }
    std::uint64_t offset = static_cast<std::uint64_t>(dMin - inc - 1);
    return subtractUnsigned(max, period == 0 ? offset : offset % period);
}

// Wrapped as integers are, but never left outside the bounds.
double wrappedStep(double inc, double dMin, double dMax, double min, double max) noexcept {
    const double period = max - min + 1;
    double offset = inc > dMax ? inc - dMax - 1 : dMin - inc - 1;
    offset = std::max(offset, 0.0);
    if (std::isfinite(period) && period > 0 && offset >= period)
        offset = std::fmod(offset, period);
    return inc > dMax ? std::min(min + offset, max) : std::max(max - offset, min);
}

template <class T> bool stepNumber(T v, T inc, T min, T max, bool up, int mode, T &result) noexcept {
    if (v < min) {
        if (up)
            result = min;
        else if (mode == kvSpinWrapAround)
            result = max;
        else
            return false;
        return true;
    }
    if (v > max) {
        if (!up)
            result = max;
        else if (mode == kvSpinWrapAround)
            result = min;
        else
            return false;
        return true;
    }
    const T dMin = distance(v, min);
    const T dMax = distance(v, max);
    if (dMin <= inc && inc <= dMax) {
        result = v + inc; // stays between the bounds, so it cannot overflow
        return true;
    }
    switch (mode) {
    case kvSpinWrapNone:
        return false;
    case kvSpinWrapClamp:
        result = inc > dMax ? max : min;
        return true;
    case kvSpinWrapAround:
        result = wrappedStep(inc, dMin, dMax, min, max);
        return true;
    default:
        result = v;
        return true;
    }
}

} // namespace

Variant KvSpinTypeLowerLimit(TkvSpinEditValueType type) {
    return type == vtFloat ? Variant(-kvSpinFloatLimit) : Variant(int64Min);
}

Variant KvSpinTypeUpperLimit(TkvSpinEditValueType type) {
    return type == vtFloat ? Variant(kvSpinFloatLimit) : Variant(int64Max);
}

std::int64_t KvRoundHalfEven(double value) noexcept {
    if (std::isnan(value))
        return 0;
    if (value >= twoTo63)
        return int64Max;
    if (value < -twoTo63)
        return int64Min;
    double floor = std::floor(value);
    double fraction = value - floor;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0))
        floor += 1;
    if (floor >= twoTo63)
        return int64Max;
    return static_cast<std::int64_t>(floor);
}

Variant KvSpinConvertToValueType(const Variant &value, TkvSpinEditValueType type) {
    if (!value.IsNumeric())
        return value;
    if (type == vtFloat)
        return Variant(value.AsDouble());
    if (isIntegerType(value))
        return Variant(value.AsInt64());
    double number = value.AsDouble();
    if (!(number >= -twoTo63 && number < twoTo63))
        return value.ConvertTo(varInt64); // raises
    return Variant(KvRoundHalfEven(number));
}

bool KvSpinTextToNumber(std::wstring_view text, TkvSpinEditValueType type, Variant &result) {
    result = Variant::Null();
    if (type == vtFloat) {
        double number = 0;
        if (!TryStrToFloat(text, number) || !(number >= -kvSpinFloatLimit && number <= kvSpinFloatLimit))
            return false;
        result = Variant(number);
        return true;
    }
    std::int64_t number = 0;
    if (!TryStrToInt64(text, number))
        return false;
    result = Variant(number);
    return true;
}

TkvSpinBounds KvSpinDefinedBounds(double minValue, double maxValue, bool minAssigned, bool maxAssigned) noexcept {
    TkvSpinBounds bounds{minValue, maxValue, false, false};
    if (maxValue > minValue) {
        bounds.MinDefined = bounds.MaxDefined = true;
    } else if (maxValue < minValue && minAssigned != maxAssigned) {
        bounds.MinDefined = minAssigned;
        bounds.MaxDefined = maxAssigned;
    }
    return bounds;
}

Variant KvSpinMinBound(const TkvSpinBounds &bounds, TkvSpinEditValueType type) {
    if (!bounds.MinDefined)
        return KvSpinTypeLowerLimit(type);
    return type == vtFloat ? Variant(bounds.MinValue) : Variant(KvRoundHalfEven(bounds.MinValue));
}

Variant KvSpinMaxBound(const TkvSpinBounds &bounds, TkvSpinEditValueType type) {
    if (!bounds.MaxDefined)
        return KvSpinTypeUpperLimit(type);
    return type == vtFloat ? Variant(bounds.MaxValue) : Variant(KvRoundHalfEven(bounds.MaxValue));
}

Variant KvSpinClamp(const Variant &value, const TkvSpinBounds &bounds) {
    if (!value.IsNumeric())
        return value;
    Variant result = value;
    if (bounds.MinDefined && Variant::Greater(Variant(bounds.MinValue), result))
        result = Variant(bounds.MinValue);
    if (bounds.MaxDefined && Variant::Greater(result, Variant(bounds.MaxValue)))
        result = Variant(bounds.MaxValue);
    return result;
}

Variant KvSpinIncrement(int button, double increment, double largeIncrement, TkvSpinEditValueType type) {
    const double magnitude = button == kvSpinButtonFastDown || button == kvSpinButtonFastUp ? largeIncrement : increment;
    const bool up = KvSpinButtonGoesUp(button);
    if (type == vtFloat)
        return Variant(up ? magnitude : -magnitude);
    const std::int64_t rounded = KvRoundHalfEven(magnitude);
    return Variant(up ? rounded : saturatedNegation(rounded));
}

bool KvSpinStep(const Variant &value, const Variant &increment, const Variant &min, const Variant &max, int button,
                int wrapMode, TkvSpinEditValueType type, Variant &result) {
    const bool up = KvSpinButtonGoesUp(button);
    try {
        if (type == vtFloat) {
            double stepped = 0;
            if (!stepNumber(value.AsDouble(), increment.AsDouble(), min.AsDouble(), max.AsDouble(), up, wrapMode,
                            stepped))
                return false;
            result = Variant(stepped);
            return true;
        }
        std::int64_t stepped = 0;
        if (!stepNumber(toInt64(value), toInt64(increment), toInt64(min), toInt64(max), up, wrapMode, stepped))
            return false;
        result = Variant(stepped);
        return true;
    } catch (const EVariantError &) {
        return false; // a value that is no number does not step
    }
}

wchar_t KvSpinMapDecimalSeparator(wchar_t ch, wchar_t decimalSeparator) noexcept {
    return ch == L'.' || ch == L',' ? decimalSeparator : ch;
}

bool KvSpinIsValidChar(wchar_t ch, const TkvSpinCharRules &rules, bool inValidChars) noexcept {
    if (rules.CanEdit && rules.HasGetValueHandlers)
        return true;
    bool valid = ch == L'+' || ch == L'-' || (ch >= L'0' && ch <= L'9') || ch == L'e' || ch == L'E' ||
                 (rules.ValueType == vtFloat && ch == rules.DecimalSeparator) || ch < 32 || inValidChars;
    if (!rules.CanEdit && (ch == 8 || (ch >= 32 && ch <= 255)))
        valid = false;
    return valid;
}

bool KvSpinTextToValue(const std::wstring &text, const TkvSpinTextToValueContext &context, std::wstring &errorText,
                       Variant &value) {
    if (text.empty()) {
        value = context.EmptyTextIsZero ? context.ZeroInBounds : Variant::Null();
        return true;
    }
    bool error = false;
    if (!KvSpinTextToNumber(text, context.ValueType, value)) {
        errorText.clear();
        error = true;
        Variant handled;
        if (context.GetValue) {
            try {
                context.GetValue(text, handled, errorText, error);
            } catch (const Exception &e) {
                if (context.RaiseErrors)
                    throw Exception(e.Message());
                errorText = e.Message();
                return false;
            }
        }
        if (error) {
            if (errorText.empty())
                errorText = LoadResString(SkvSpinInvalidNumericValue);
            if (!context.ExceptionOnInvalidInput)
                errorText.clear();
            if (context.RaiseErrors && context.ExceptionOnInvalidInput)
                throw Exception(errorText);
            value = context.SpinValue;
        } else {
            value = handled;
        }
    }
    try {
        value = KvSpinConvertToValueType(value, context.ValueType);
    } catch (const EVariantError &) {
        if (context.RaiseErrors)
            throw;
        value = context.SpinValue;
        return false;
    }
    return !error;
}
