// One order and one equality for edit values held in variants, a few type tests, and the compact
// tagged stream format the value types save and load values in.
#ifndef KV_VARIANTS_H
#define KV_VARIANTS_H

#include <classlib/stream.h>
#include <classlib/variant.h>

#include <cstdint>
#include <string>

// Negative, 0 or positive; Null sorts first, arrays compare by high bound then element by element,
// values that cannot be compared give -1.
int CompareVariantValues(const Variant &a, const Variant &b);
bool VariantsEqual(const Variant &a, const Variant &b);

bool IsDateVarType(TVarType type);
bool IsDateVariant(const Variant &value);
bool IsNumericVariant(const Variant &value);
bool IsNullOrEmptyVariant(const Variant &value);

// EReadError "Stream read error" on an unknown tag or a short stream.
Variant ReadVariantFromStream(TStream &stream);
// EWriteError "Stream write error" for arrays of more than one dimension and values without a
// string form; what was already written stays.
void WriteVariantToStream(TStream &stream, const Variant &value);

// Untagged fields, little-endian.
std::uint8_t ReadByteFromStream(TStream &stream);
void WriteByteToStream(TStream &stream, std::uint8_t value);
double ReadExtendedFromStream(TStream &stream); // 80-bit extended
void WriteExtendedToStream(TStream &stream, double value);
std::int64_t ReadCurrencyFromStream(TStream &stream); // the value times 10000
void WriteCurrencyToStream(TStream &stream, std::int64_t scaled);
double ReadDateTimeFromStream(TStream &stream);
void WriteDateTimeToStream(TStream &stream, double value);
std::int32_t ReadIntegerFromStream(TStream &stream);
void WriteIntegerToStream(TStream &stream, std::int32_t value);
std::int64_t ReadLargeIntFromStream(TStream &stream);
void WriteLargeIntToStream(TStream &stream, std::int64_t value);
std::int16_t ReadSmallIntFromStream(TStream &stream);
void WriteSmallIntToStream(TStream &stream, std::int16_t value);
std::uint16_t ReadWordFromStream(TStream &stream);
void WriteWordToStream(TStream &stream, std::uint16_t value);
std::string ReadAnsiStringFromStream(TStream &stream);
void WriteAnsiStringToStream(TStream &stream, const std::string &value);
std::wstring ReadWideStringFromStream(TStream &stream);
void WriteWideStringToStream(TStream &stream, const std::wstring &value);

#endif
