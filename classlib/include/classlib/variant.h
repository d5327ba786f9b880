// A small tagged value standing in for the compiler's variant type as far as the control library
// uses it: empty, null, the integer types, single, double, currency, date, Boolean, ANSI and wide
// strings, and arrays of variants. Conversions raise EVariantError when a value has no form of
// the wanted type. The decimal number and the time stamp of the run-time library are variants
// of their own types; they convert as numbers and as date-times.
#ifndef CLASSLIB_VARIANT_H
#define CLASSLIB_VARIANT_H

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bcd.h"
#include "exceptions.h"

CL_EXCEPTION_CLASS(EVariantError, Exception)

using TVarType = std::uint16_t;

enum : TVarType {
    varEmpty = 0,
    varNull = 1,
    varSmallint = 2,
    varInteger = 3,
    varSingle = 4,
    varDouble = 5,
    varCurrency = 6,
    varDate = 7,
    varOleStr = 8,
    varError = 10,
    varBoolean = 11,
    varVariant = 12,
    varShortInt = 16,
    varByte = 17,
    varWord = 18,
    varLongWord = 19,
    varInt64 = 20,
    varString = 256,
    // The run-time library's own types, registered beside the standard ones.
    varFMTBcd = 0x0110,
    varSQLTimeStamp = 0x0111,
    varTypeMask = 0x0FFF,
    varArray = 0x2000,
};

// A date-time is the number of days since 30 December 1899 with the time of day as the fraction
// (for days before it the fraction still counts forwards from the day's start).
struct TDateTimeParts {
    int year, month, day, hour, minute, second, millisecond;
};
// False for values outside years 1 to 9999 and for NaN.
bool TryDecodeDateTime(double dateTime, TDateTimeParts &parts);
// False for parts that name no moment (month 13, 30 February, hour 24, ...).
bool TryEncodeDateTime(const TDateTimeParts &parts, double &dateTime);

class Variant {
public:
    Variant() noexcept = default; // Unassigned
    Variant(bool value) noexcept;
    Variant(int value) noexcept : Variant(varInteger, std::int64_t{value}) {}
    Variant(std::int64_t value) noexcept : Variant(varInt64, value) {}
    Variant(double value) noexcept;
    Variant(std::wstring value);   // varOleStr
    Variant(const wchar_t *value); // varOleStr
    Variant(std::string bytes);    // varString (8-bit)

    static Variant Null() noexcept;
    // An integer held with the given integer type code (varSmallint, varShortInt, varByte, ...);
    // the value is cut to the type's width.
    static Variant OfInteger(TVarType type, std::int64_t value);
    static Variant OfSingle(float value) noexcept;
    // The value times 10000.
    static Variant OfCurrency(std::int64_t scaled) noexcept;
    static Variant OfDate(double dateTime) noexcept;
    // EVariantError for an invalid record.
    static Variant OfBcd(const TBcd &value);
    static Variant OfSQLTimeStamp(const TSQLTimeStamp &value);
    // A one-dimensional array with bounds 0..count-1 holding the elements.
    static Variant ArrayOf(std::vector<Variant> elements);
    // An array of the given dimensions (each 0..count-1), elements Unassigned.
    static Variant ArrayOfDimensions(std::vector<int> counts);

    TVarType VarType() const noexcept { return array_ ? TVarType(varArray | varVariant) : type_; }
    bool IsNull() const noexcept { return type_ == varNull && !array_; }
    bool IsEmpty() const noexcept { return type_ == varEmpty && !array_; }
    bool IsArray() const noexcept { return array_ != nullptr; }
    bool IsNumeric() const noexcept; // integer types, single, double, currency (the library's test)
    bool IsOrdinal() const noexcept;

    // Array access (EVariantError on a non-array or an index out of range).
    int DimCount() const;
    int HighBound(int dimension) const; // dimension counts from 1
    const Variant &operator[](int index) const;
    Variant &operator[](int index);

    std::int64_t AsInt64() const;   // doubles rounded to even; out of range raises
    std::int32_t AsInteger() const; // out of range raises
    double AsDouble() const;
    bool AsBoolean() const;
    std::int64_t AsCurrency() const; // scaled by 10000, rounded to even
    double AsDate() const;
    std::wstring AsWideString() const;
    std::string AsAnsiString() const; // in the system's ANSI code page
    TBcd AsBcd() const;
    TSQLTimeStamp AsSQLTimeStamp() const;

    // Converts to the given type code (EVariantError when impossible).
    Variant ConvertTo(TVarType type) const;

    // The library's equality and order: Null equals only Null; a string against a number compares
    // as numbers; two strings compare by characters. Arrays and unconvertible pairs raise.
    static bool Equal(const Variant &a, const Variant &b);
    static bool Greater(const Variant &a, const Variant &b);

    static std::wstring TypeName(TVarType type);

private:
    Variant(TVarType type, std::int64_t value) noexcept : type_(type) { u_.i = value; }
    [[noreturn]] void conversionError(TVarType target) const;
    static int compare(const Variant &a, const Variant &b); // raises when not comparable

    struct ArrayData {
        std::vector<int> counts;
        std::vector<Variant> elements;
    };

    TVarType type_ = varEmpty;
    union {
        std::int64_t i;
        double d;
    } u_{0};
    std::wstring wide_;
    std::string bytes_;
    std::shared_ptr<ArrayData> array_; // shared on copy; written only by the one holder in practice
};

#endif
