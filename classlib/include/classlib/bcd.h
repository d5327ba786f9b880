// The decimal number type of the run-time library and the database time stamp.
//
// A TBcd holds up to 64 decimal digits, two to a byte with the high nibble first, its precision
// (the digit count), and in its sign byte the sign (bit 7) and the number of places after the
// decimal point (the low 6 bits). Records that break these rules (a nibble above 9, places above
// the precision) are invalid: conversions refuse them, comparisons sort them first.
#ifndef CLASSLIB_BCD_H
#define CLASSLIB_BCD_H

#include <cstdint>
#include <string>
#include <string_view>

struct TBcd {
    std::uint8_t Precision;
    std::uint8_t SignSpecialPlaces;
    std::uint8_t Fraction[32];
};
static_assert(sizeof(TBcd) == 34);

constexpr int maxBcdDigits = 64;

bool IsValidBcd(const TBcd &value) noexcept;
// Blanks around, an optional sign, digits with at most one decimal separator (the locale's);
// at most 64 significant digits. Leading zeros and trailing fraction zeros are dropped.
bool TryStrToBcd(std::wstring_view text, TBcd &value);
TBcd IntegerToBcd(std::int64_t value) noexcept;
// The value to 15 significant digits; false for NaN, infinities and magnitudes of 1e64 and more.
bool TryDoubleToBcd(double value, TBcd &result);
// False for an invalid record.
bool TryBcdToDouble(const TBcd &value, double &result);
// The general format: no leading zeros, no trailing fraction zeros, the locale's decimal
// separator, "-" before negative values, "0" for zero; empty for an invalid record.
std::wstring BcdToStr(const TBcd &value);
// -1, 0 or 1 by value; an invalid record sorts before every valid one.
int BcdCompare(const TBcd &a, const TBcd &b) noexcept;

// The database time stamp record.
struct TSQLTimeStamp {
    std::uint16_t Year, Month, Day, Hour, Minute, Second;
    std::uint32_t Fractions; // milliseconds
};
static_assert(sizeof(TSQLTimeStamp) == 16);

// False for a record that names no moment.
bool TrySQLTimeStampToDateTime(const TSQLTimeStamp &stamp, double &dateTime);
bool TryDateTimeToSQLTimeStamp(double dateTime, TSQLTimeStamp &stamp);

#endif
