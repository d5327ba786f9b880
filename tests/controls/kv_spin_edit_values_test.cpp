// The spin edit's value arithmetic without windows, as tables: steps (clamp and wrap, inside and
// outside the bounds, at the 64-bit limits), bound assignment and rounding, increments, clamping,
// reading typed text, and the characters typing may insert.
#include <gtest/gtest.h>

#include <classlib/string_utils.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "kvSpinEditValues.h"

namespace {

constexpr std::int64_t int64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();

struct IntStep {
    std::int64_t value;
    TkvSpinBounds bounds;
    int button;
    double increment;
    int mode;
    bool steps;
    std::int64_t expected;
    const char *why;
};

TkvSpinBounds none() { return KvSpinDefinedBounds(0, 0, false, false); }
TkvSpinBounds range(double min, double max) { return KvSpinDefinedBounds(min, max, true, true); }

TEST(KvSpinEditValues, IntegerStepsClampWrapAndSaturate) {
    const IntStep rows[] = {
        {5, range(0, 10), kvSpinButtonUp, 1, kvSpinWrapClamp, true, 6, "a plain step"},
        {10, range(0, 10), kvSpinButtonUp, 1, kvSpinWrapClamp, true, 10, "up from the top stays"},
        {3, range(0, 10), kvSpinButtonFastDown, 1, kvSpinWrapClamp, true, 0, "page down by 10 clamps"},
        {10, range(0, 10), kvSpinButtonUp, 1, kvSpinWrapNone, false, 0, "without clamping the step fails"},
        {9, range(0, 10), kvSpinButtonUp, 3, kvSpinWrapAround, true, 1, "wraps with a period of 11"},
        {1, range(0, 10), kvSpinButtonDown, 3, kvSpinWrapAround, true, 9, "and back"},
        {9, range(0, 10), kvSpinButtonUp, 25, kvSpinWrapAround, true, 1, "a step longer than the period"},
        {1, range(0, 10), kvSpinButtonDown, 25, kvSpinWrapAround, true, 9, "the same downwards"},
        {10, range(0, 10), kvSpinButtonUp, 1, kvSpinWrapAround, true, 0, "the top wraps to the bottom"},
        {-5, range(0, 10), kvSpinButtonUp, 1, kvSpinWrapClamp, true, 0, "below: up goes to the minimum"},
        {-5, range(0, 10), kvSpinButtonDown, 1, kvSpinWrapClamp, false, 0, "below: down fails"},
        {-5, range(0, 10), kvSpinButtonDown, 1, kvSpinWrapAround, true, 10, "below: down wraps to the maximum"},
        {15, range(0, 10), kvSpinButtonDown, 1, kvSpinWrapClamp, true, 10, "above: down goes to the maximum"},
        {15, range(0, 10), kvSpinButtonUp, 1, kvSpinWrapClamp, false, 0, "above: up fails"},
        {15, range(0, 10), kvSpinButtonUp, 1, kvSpinWrapAround, true, 0, "above: up wraps to the minimum"},
        {int64Max, none(), kvSpinButtonUp, 1, kvSpinWrapClamp, true, int64Max, "no overflow at the top"},
        {int64Min, none(), kvSpinButtonDown, 1, kvSpinWrapClamp, true, int64Min, "nor at the bottom"},
        {int64Max, none(), kvSpinButtonUp, 1, kvSpinWrapAround, true, int64Min, "the whole range wraps"},
        {int64Max, range(-10, 1e19), kvSpinButtonDown, 1, kvSpinWrapClamp, true, int64Max - 1,
         "the distance to the minimum saturates"},
        {int64Min, range(-1e19, 10), kvSpinButtonFastUp, 1, kvSpinWrapClamp, true, int64Min + 10,
         "the distance to the maximum saturates"},
        {-9, range(-10, 1e19), kvSpinButtonDown, 1e19, kvSpinWrapClamp, true, -10,
         "a huge increment clamps"},
        {0, range(0, 10), kvSpinButtonUp, 2.5, kvSpinWrapClamp, true, 2, "an increment of 2.5 is 2"},
        {0, range(0, 10), kvSpinButtonUp, 3.5, kvSpinWrapClamp, true, 4, "one of 3.5 is 4"},
    };
    for (const IntStep &row : rows) {
        Variant min = KvSpinMinBound(row.bounds, vtInt);
        Variant max = KvSpinMaxBound(row.bounds, vtInt);
        Variant increment = KvSpinIncrement(row.button, row.increment, 10, vtInt);
        Variant result = Variant(std::int64_t{-12345});
        bool steps = KvSpinStep(Variant(row.value), increment, min, max, row.button, row.mode, vtInt, result);
        EXPECT_EQ(steps, row.steps) << row.why;
        if (row.steps) {
            EXPECT_EQ(result.VarType(), varInt64) << row.why;
            EXPECT_EQ(result.AsInt64(), row.expected) << row.why;
        } else {
            EXPECT_EQ(result.AsInt64(), -12345) << row.why << ": a failed step leaves the result";
        }
    }
}

TEST(KvSpinEditValues, FloatStepsStayInsideTheBounds) {
    struct Row {
        double value;
        TkvSpinBounds bounds;
        int button;
        double increment;
        int mode;
        double expected;
        const char *why;
    } rows[] = {
        {0.5, range(0, 10), kvSpinButtonUp, 0.25, kvSpinWrapClamp, 0.75, "a fraction is not rounded"},
        {9.5, range(0, 10), kvSpinButtonUp, 1, kvSpinWrapClamp, 10, "clamped at the top"},
        {9, range(0, 10), kvSpinButtonUp, 3, kvSpinWrapAround, 1, "wrapped as integers are"},
        {9, range(0, 10), kvSpinButtonUp, 25, kvSpinWrapAround, 1, "a step longer than the period too"},
        {9.8, range(0, 10), kvSpinButtonUp, 0.5, kvSpinWrapAround, 0, "a short wrap does not fall below"},
        {0.2, range(0, 10), kvSpinButtonDown, 0.5, kvSpinWrapAround, 10, "nor rise above"},
        {1e308, none(), kvSpinButtonUp, 1e308, kvSpinWrapClamp, kvSpinFloatLimit, "the type's limit"},
        {-1e308, range(-1e308, 1e308), kvSpinButtonUp, 1.5e308, kvSpinWrapClamp, 0.5e308, "a far bound"},
    };
    for (const Row &row : rows) {
        Variant result;
        ASSERT_TRUE(KvSpinStep(Variant(row.value), KvSpinIncrement(row.button, row.increment, 10, vtFloat),
                               KvSpinMinBound(row.bounds, vtFloat), KvSpinMaxBound(row.bounds, vtFloat), row.button,
                               row.mode, vtFloat, result))
            << row.why;
        EXPECT_EQ(result.VarType(), varDouble) << row.why;
        EXPECT_NEAR(result.AsDouble(), row.expected, 1e-9 * (1 + std::abs(row.expected))) << row.why;
    }
    // Text that is no number does not step.
    Variant result;
    EXPECT_FALSE(KvSpinStep(Variant(L"abc"), Variant(1.0), Variant(0.0), Variant(10.0), kvSpinButtonUp,
                            kvSpinWrapClamp, vtFloat, result));
}

TEST(KvSpinEditValues, BoundsByAssignmentAndInTheValueType) {
    struct Row {
        double min, max;
        bool minAssigned, maxAssigned;
        bool minDefined, maxDefined;
    } rows[] = {
        {0, 10, false, false, true, true},   {0, 10, true, false, true, true}, {5, 5, true, true, false, false},
        {0, 0, false, false, false, false},  {20, 10, true, false, true, false}, {20, 10, false, true, false, true},
        {20, 10, true, true, false, false},  {20, 10, false, false, false, false},
    };
    for (const Row &row : rows) {
        TkvSpinBounds bounds = KvSpinDefinedBounds(row.min, row.max, row.minAssigned, row.maxAssigned);
        EXPECT_EQ(bounds.MinDefined, row.minDefined) << row.min << ".." << row.max;
        EXPECT_EQ(bounds.MaxDefined, row.maxDefined) << row.min << ".." << row.max;
    }
    // Undefined bounds are the type's limits.
    EXPECT_EQ(KvSpinMinBound(none(), vtInt).AsInt64(), int64Min);
    EXPECT_EQ(KvSpinMaxBound(none(), vtInt).AsInt64(), int64Max);
    EXPECT_EQ(KvSpinMinBound(none(), vtFloat).AsDouble(), -1.7E308);
    EXPECT_EQ(KvSpinMaxBound(none(), vtFloat).AsDouble(), 1.7E308);
    // Integer bounds round half to even; beyond 64 bits they saturate by their sign.
    EXPECT_EQ(KvSpinMinBound(range(2.5, 3.5), vtInt).AsInt64(), 2);
    EXPECT_EQ(KvSpinMaxBound(range(2.5, 3.5), vtInt).AsInt64(), 4);
    EXPECT_EQ(KvSpinMaxBound(range(0, 1e19), vtInt).AsInt64(), int64Max);
    EXPECT_EQ(KvSpinMinBound(range(-1e19, 0), vtInt).AsInt64(), int64Min);
    EXPECT_EQ(KvSpinMaxBound(range(0, 2.5), vtFloat).AsDouble(), 2.5);

    EXPECT_EQ(KvRoundHalfEven(0.5), 0);
    EXPECT_EQ(KvRoundHalfEven(1.5), 2);
    EXPECT_EQ(KvRoundHalfEven(-2.5), -2);
    EXPECT_EQ(KvRoundHalfEven(-2.51), -3);
    EXPECT_EQ(KvRoundHalfEven(9.3e18), int64Max);
    EXPECT_EQ(KvRoundHalfEven(-9.3e18), int64Min);
}

TEST(KvSpinEditValues, IncrementsClampingAndConversion) {
    EXPECT_EQ(KvSpinIncrement(kvSpinButtonDown, 2.5, 10, vtInt).AsInt64(), -2);
    EXPECT_EQ(KvSpinIncrement(kvSpinButtonUp, 3.5, 10, vtInt).AsInt64(), 4);
    EXPECT_EQ(KvSpinIncrement(kvSpinButtonFastDown, 1, 10, vtInt).AsInt64(), -10);
    EXPECT_EQ(KvSpinIncrement(kvSpinButtonFastUp, 1, 12.5, vtInt).AsInt64(), 12);
    EXPECT_EQ(KvSpinIncrement(kvSpinButtonDown, 2.5, 10, vtFloat).AsDouble(), -2.5);
    EXPECT_EQ(KvSpinIncrement(kvSpinButtonDown, -1e30, 10, vtInt).AsInt64(), int64Max) << "negation saturates";

    const TkvSpinBounds bounds = range(0, 10);
    EXPECT_EQ(KvSpinClamp(Variant(-3), bounds).AsDouble(), 0);
    EXPECT_EQ(KvSpinClamp(Variant(15.5), bounds).AsDouble(), 10);
    EXPECT_EQ(KvSpinClamp(Variant(4), bounds).AsInt64(), 4);
    EXPECT_EQ(KvSpinClamp(Variant(-3), KvSpinDefinedBounds(20, 10, false, true)).AsInt64(), -3) << "no minimum";
    EXPECT_EQ(KvSpinClamp(Variant(L"abc"), bounds).AsWideString(), L"abc");
    EXPECT_TRUE(KvSpinClamp(Variant::Null(), bounds).IsNull());

    Variant converted = KvSpinConvertToValueType(Variant(2.5), vtInt);
    EXPECT_EQ(converted.VarType(), varInt64);
    EXPECT_EQ(converted.AsInt64(), 2);
    EXPECT_EQ(KvSpinConvertToValueType(Variant(3), vtFloat).VarType(), varDouble);
    EXPECT_EQ(KvSpinConvertToValueType(Variant(L"7"), vtInt).VarType(), varOleStr) << "text stays text";
    EXPECT_TRUE(KvSpinConvertToValueType(Variant::Null(), vtInt).IsNull());
    EXPECT_THROW(KvSpinConvertToValueType(Variant(1e30), vtInt), EVariantError);
}

TEST(KvSpinEditValues, TextToNumberByType) {
    const std::wstring separator(1, FormatSettings().DecimalSeparator);
    struct Row {
        std::wstring text;
        TkvSpinEditValueType type;
        bool accepted;
        double expected;
    } rows[] = {
        {L"123", vtInt, true, 123},
        {L"-9223372036854775808", vtInt, true, -9223372036854775808.0},
        {L"9223372036854775808", vtInt, false, 0},
        {L"1e3", vtInt, false, 0},
        {L"1" + separator + L"5", vtInt, false, 0},
        {L"1e3", vtFloat, true, 1000},
        {L"1" + separator + L"5", vtFloat, true, 1.5},
        {L"1.8e308", vtFloat, false, 0},
        {L"-1" + separator + L"6e308", vtFloat, true, -1.6e308},
        {L"abc", vtFloat, false, 0},
        {L"", vtInt, false, 0},
    };
    for (const Row &row : rows) {
        Variant result(1);
        bool accepted = KvSpinTextToNumber(row.text, row.type, result);
        EXPECT_EQ(accepted, row.accepted) << std::string(row.text.begin(), row.text.end());
        if (accepted) {
            EXPECT_EQ(result.VarType(), row.type == vtInt ? varInt64 : varDouble);
            EXPECT_DOUBLE_EQ(result.AsDouble(), row.expected);
        } else {
            EXPECT_TRUE(result.IsNull());
        }
    }
}

TEST(KvSpinEditValues, TypedTextToValueAndItsErrors) {
    TkvSpinTextToValueContext context;
    context.SpinValue = Variant(std::int64_t{42});
    std::wstring error = L"old";
    Variant value;
    EXPECT_TRUE(KvSpinTextToValue(L"", context, error, value));
    EXPECT_TRUE(value.IsNull());
    context.EmptyTextIsZero = true;
    context.ZeroInBounds = Variant(std::int64_t{5});
    EXPECT_TRUE(KvSpinTextToValue(L"", context, error, value));
    EXPECT_EQ(value.AsInt64(), 5);

    EXPECT_TRUE(KvSpinTextToValue(L"12", context, error, value));
    EXPECT_EQ(value.VarType(), varInt64);
    EXPECT_EQ(value.AsInt64(), 12);

    // Not a number: refused silently, the spin value stays.
    EXPECT_FALSE(KvSpinTextToValue(L"1e3", context, error, value));
    EXPECT_EQ(error, L"");
    EXPECT_EQ(value.AsInt64(), 42);
    context.ExceptionOnInvalidInput = true;
    EXPECT_FALSE(KvSpinTextToValue(L"1e3", context, error, value));
    EXPECT_EQ(error, L"Invalid numeric value");
    context.RaiseErrors = true;
    try {
        KvSpinTextToValue(L"abc", context, error, value);
        ADD_FAILURE() << "no exception";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), L"Invalid numeric value");
    }

    // Handlers may read the text, name the error, or fail themselves.
    int calls = 0;
    context.GetValue = [&](const std::wstring &text, Variant &v, std::wstring &errorText, bool &failed) {
        ++calls;
        EXPECT_TRUE(v.IsEmpty());
        EXPECT_TRUE(failed);
        if (text == L"seven") {
            v = Variant(7.4);
            failed = false;
        } else if (text == L"boom") {
            throw Exception(L"Exploded");
        } else {
            errorText = L"Not a count";
        }
    };
    EXPECT_TRUE(KvSpinTextToValue(L"seven", context, error, value));
    EXPECT_EQ(value.VarType(), varInt64);
    EXPECT_EQ(value.AsInt64(), 7);
    try {
        KvSpinTextToValue(L"other", context, error, value);
        ADD_FAILURE() << "no exception";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), L"Not a count");
    }
    EXPECT_THROW(KvSpinTextToValue(L"boom", context, error, value), Exception);
    context.RaiseErrors = false;
    EXPECT_FALSE(KvSpinTextToValue(L"boom", context, error, value));
    EXPECT_EQ(error, L"Exploded");
    context.ExceptionOnInvalidInput = false;
    EXPECT_FALSE(KvSpinTextToValue(L"other", context, error, value));
    EXPECT_EQ(error, L"") << "a handler's text is dropped without exceptions";
    EXPECT_EQ(calls, 5);
}

TEST(KvSpinEditValues, CharactersTypingMayInsert) {
    EXPECT_EQ(KvSpinMapDecimalSeparator(L'.', L','), L',');
    EXPECT_EQ(KvSpinMapDecimalSeparator(L',', L'.'), L'.');
    EXPECT_EQ(KvSpinMapDecimalSeparator(L'5', L','), L'5');

    TkvSpinCharRules integer;
    TkvSpinCharRules floating;
    floating.ValueType = vtFloat;
    floating.DecimalSeparator = L',';
    TkvSpinCharRules locked;
    locked.CanEdit = false;
    TkvSpinCharRules handled;
    handled.HasGetValueHandlers = true;
    struct Row {
        wchar_t ch;
        bool integer, floating, locked, handled;
    } rows[] = {
        {L'7', true, true, false, true},    {L'-', true, true, false, true},  {L'+', true, true, false, true},
        {L'e', true, true, false, true},    {L'E', true, true, false, true},  {L',', false, true, false, true},
        {L'.', false, false, false, true},  {L'a', false, false, false, true}, {L' ', false, false, false, true},
        {8, true, true, false, true},       {3, true, true, true, true},      {0x4E2D, false, false, false, true},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(KvSpinIsValidChar(row.ch, integer, false), row.integer) << int(row.ch);
        EXPECT_EQ(KvSpinIsValidChar(row.ch, floating, false), row.floating) << int(row.ch);
        EXPECT_EQ(KvSpinIsValidChar(row.ch, locked, false), row.locked) << int(row.ch);
        EXPECT_EQ(KvSpinIsValidChar(row.ch, handled, false), row.handled) << int(row.ch);
    }
    // The text properties' extra characters count, unless editing is off.
    EXPECT_TRUE(KvSpinIsValidChar(L'x', integer, true));
    EXPECT_FALSE(KvSpinIsValidChar(L'x', locked, true));
    locked.HasGetValueHandlers = true;
    EXPECT_FALSE(KvSpinIsValidChar(L'7', locked, false)) << "handlers do not open a locked editor";
}

} // namespace
