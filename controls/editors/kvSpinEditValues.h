// kvSpinEditValues: the arithmetic of the spin edit's value, free of controls and windows.
//
// Value types and their limits, conversion into a value type, the effective bounds, clamping,
// the step of each spin button (with the saturating differences that keep 64-bit stepping from
// overflowing, and wrap-around), half-to-even rounding, the characters typing may insert and
// the reading of typed text into a value with its error texts.
#ifndef KV_SPIN_EDIT_VALUES_H
#define KV_SPIN_EDIT_VALUES_H

#include <classlib/resource_strings.h>
#include <classlib/variant.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

enum TkvSpinEditValueType : std::uint8_t { vtInt, vtFloat };

// The wrap modes the properties answer: a step past a bound fails, clamps or wraps around.
inline constexpr int kvSpinWrapNone = 0;
inline constexpr int kvSpinWrapClamp = 1;
inline constexpr int kvSpinWrapAround = 2;

// Spin buttons by index: the step buttons, then the fast ones.
inline constexpr int kvSpinButtonDown = 0;
inline constexpr int kvSpinButtonUp = 1;
inline constexpr int kvSpinButtonFastDown = 2;
inline constexpr int kvSpinButtonFastUp = 3;
constexpr bool KvSpinButtonGoesUp(int button) noexcept { return button == kvSpinButtonUp || button == kvSpinButtonFastUp; }

inline constexpr double kvSpinFloatLimit = 1.7E308;

extern const TResourceString SkvSpinInvalidNumericValue; // "Invalid numeric value"
extern const TResourceString SkvSpinValueOutOfBounds;    // "Value out of bounds"

// The lower and upper limit of the type: an Int64 variant for vtInt, a double for vtFloat.
Variant KvSpinTypeLowerLimit(TkvSpinEditValueType type);
Variant KvSpinTypeUpperLimit(TkvSpinEditValueType type);

// The nearest integer, halves going to the even neighbour; beyond the 64-bit range the value
// saturates by its sign; NaN gives 0.
std::int64_t KvRoundHalfEven(double value) noexcept;

// A numeric variant as a double (vtFloat) or an Int64 (vtInt, rounded half to even); anything
// else unchanged. EVariantError when a number has no form in the type (beyond 64 bits).
Variant KvSpinConvertToValueType(const Variant &value, TkvSpinEditValueType type);

// Text as a number of the type: a float in the locale's notation within the float limits, or a
// whole 64-bit decimal number. Null and false for anything else.
bool KvSpinTextToNumber(std::wstring_view text, TkvSpinEditValueType type, Variant &result);

// The bounds as the properties hold them.
struct TkvSpinBounds {
    double MinValue = 0;
    double MaxValue = 0;
    bool MinDefined = false;
    bool MaxDefined = false;
};

// Which bounds are defined: both when MaxValue > MinValue, none when equal; otherwise only an
// assigned one, and only when exactly one of them is assigned.
TkvSpinBounds KvSpinDefinedBounds(double minValue, double maxValue, bool minAssigned, bool maxAssigned) noexcept;

// A defined bound in the value type (integers rounded half to even and saturated by sign), else
// the type's limit.
Variant KvSpinMinBound(const TkvSpinBounds &bounds, TkvSpinEditValueType type);
Variant KvSpinMaxBound(const TkvSpinBounds &bounds, TkvSpinEditValueType type);

// A numeric value raised to a defined MinValue, then lowered to a defined MaxValue (as the
// properties hold them, not yet in the value type); anything else unchanged.
Variant KvSpinClamp(const Variant &value, const TkvSpinBounds &bounds);

// The step of a button: down -Increment, up +Increment, fast down -LargeIncrement, fast up
// +LargeIncrement; for vtInt the increment is first rounded half to even.
Variant KvSpinIncrement(int button, double increment, double largeIncrement, TkvSpinEditValueType type);

// One step of a button from Value by Increment between Min and Max (all in the value type) in
// the wrap mode. False when the step fails; Result is then unchanged.
bool KvSpinStep(const Variant &value, const Variant &increment, const Variant &min, const Variant &max, int button,
                int wrapMode, TkvSpinEditValueType type, Variant &result);

// "." and "," typed become the locale's decimal separator.
wchar_t KvSpinMapDecimalSeparator(wchar_t ch, wchar_t decimalSeparator) noexcept;

// What decides whether a typed character may go into the text.
struct TkvSpinCharRules {
    TkvSpinEditValueType ValueType = vtInt;
    bool CanEdit = true;
    // OnGetValue handlers exist (they may read any text).
    bool HasGetValueHandlers = false;
    wchar_t DecimalSeparator = L'.';
};
// inValidChars: the character is one of the text properties' extra valid characters.
bool KvSpinIsValidChar(wchar_t ch, const TkvSpinCharRules &rules, bool inValidChars) noexcept;

// The OnGetValue handlers in the order they run (the editor's own properties', then its
// repository item's): each gets the text, a cleared value, the error text and Error (True).
using TkvSpinGetValueHandlers =
    std::function<void(const std::wstring &text, Variant &value, std::wstring &errorText, bool &error)>;

struct TkvSpinTextToValueContext {
    TkvSpinEditValueType ValueType = vtInt;
    bool RaiseErrors = false;
    bool ExceptionOnInvalidInput = false;
    // An empty text gives ZeroInBounds instead of Null (the provider's empty-text answer).
    bool EmptyTextIsZero = false;
    Variant ZeroInBounds;
    // What an unreadable text leaves as the value.
    Variant SpinValue;
    // Empty when there are no handlers.
    TkvSpinGetValueHandlers GetValue;
};

// Typed text to a value in the type. False (with ErrorText, cleared unless exceptions are
// wanted) when it is not a number and no handler made it one; with RaiseErrors and
// ExceptionOnInvalidInput that raises an Exception with ErrorText instead, and a handler's
// exception is raised again with its message.
bool KvSpinTextToValue(const std::wstring &text, const TkvSpinTextToValueContext &context, std::wstring &errorText,
                       Variant &value);

#endif
