#include "kvVariants.h"

#include <classlib/exceptions.h>

#include <cfloat>
#include <cstring>

static_assert(LDBL_MANT_DIG == 64, "long double must be the x87 80-bit extended type");

namespace {

enum : std::uint8_t {
    tagNull = 0,
    tagArray = 1,
    tagInt8 = 2,
    tagInt16 = 3,
    tagInt32 = 4,
    tagExtended = 5,
    tagShortString = 6,
    tagFalse = 8,
    tagTrue = 9,
    tagLongString = 12,
    tagUnassigned = 13,
    tagSingle = 15,
    tagCurrency = 16,
    tagDate = 17,
    tagWideString = 18,
};

// Lengths beyond this are taken for damage rather than allocated.
constexpr std::int32_t maxLength = 0x10000000;
constexpr int maxArrayDepth = 64;

[[noreturn]] void readError() { throw EReadError(L"Stream read error"); }
[[noreturn]] void writeError() { throw EWriteError(L"Stream write error"); }

template <class T> T readPlain(TStream &stream) {
    T value{};
    stream.ReadBuffer(&value, sizeof value);
    return value;
}

template <class T> void writePlain(TStream &stream, T value) { stream.WriteBuffer(&value, sizeof value); }

// A length is checked against what the stream still holds before anything is allocated for it.
std::int32_t readLength(TStream &stream, int unitSize = 1) {
    std::int32_t length = readPlain<std::int32_t>(stream);
    if (length < 0 || length > maxLength || std::int64_t{length} * unitSize > stream.Size() - stream.Position())
        readError();
    return length;
}

void writeCompactInteger(TStream &stream, std::int32_t value) {
    if (value >= -128 && value <= 127) {
        writePlain<std::uint8_t>(stream, tagInt8);
        writePlain<std::int8_t>(stream, static_cast<std::int8_t>(value));
    } else if (value >= -32768 && value <= 32767) {
        writePlain<std::uint8_t>(stream, tagInt16);
        writePlain<std::int16_t>(stream, static_cast<std::int16_t>(value));
    } else {
        writePlain<std::uint8_t>(stream, tagInt32);
        writePlain<std::int32_t>(stream, value);
    }
}

void writeByteString(TStream &stream, const std::string &bytes) {
    if (bytes.size() > static_cast<std::size_t>(maxLength))
        writeError();
    if (bytes.size() <= 255) {
        writePlain<std::uint8_t>(stream, tagShortString);
        writePlain<std::uint8_t>(stream, static_cast<std::uint8_t>(bytes.size()));
    } else {
        writePlain<std::uint8_t>(stream, tagLongString);
        writePlain<std::int32_t>(stream, static_cast<std::int32_t>(bytes.size()));
    }
    stream.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

std::string readBytes(TStream &stream, std::int32_t length) {
    std::string bytes(static_cast<std::size_t>(length), '\0');
    stream.ReadBuffer(bytes.data(), length);
    return bytes;
}

Variant readVariant(TStream &stream, int depth) {
    switch (readPlain<std::uint8_t>(stream)) {
    case tagNull: return Variant::Null();
    case tagArray: {
        if (depth >= maxArrayDepth)
            readError();
        Variant count = readVariant(stream, depth + 1);
        TVarType type = count.VarType();
        if (type != varShortInt && type != varSmallint && type != varInteger)
            readError();
        std::int64_t n = count.AsInt64();
        // Each element takes at least one byte: a count beyond what is left is damage.
        if (n < 0 || n > stream.Size() - stream.Position())
            readError();
        std::vector<Variant> elements;
        elements.reserve(static_cast<std::size_t>(n));
        for (std::int64_t i = 0; i < n; ++i)
            elements.push_back(readVariant(stream, depth + 1));
        return Variant::ArrayOf(std::move(elements));
    }
    case tagInt8: return Variant::OfInteger(varShortInt, readPlain<std::int8_t>(stream));
    case tagInt16: return Variant::OfInteger(varSmallint, readPlain<std::int16_t>(stream));
    case tagInt32: return Variant::OfInteger(varInteger, readPlain<std::int32_t>(stream));
    case tagExtended: return Variant(ReadExtendedFromStream(stream));
    case tagShortString: return Variant(readBytes(stream, readPlain<std::uint8_t>(stream)));
    case tagFalse: return Variant(false);
    case tagTrue: return Variant(true);
    case tagLongString: return Variant(readBytes(stream, readLength(stream)));
    case tagUnassigned: return Variant();
    case tagSingle: return Variant::OfSingle(readPlain<float>(stream));
    case tagCurrency: return Variant::OfCurrency(readPlain<std::int64_t>(stream));
    case tagDate: return Variant::OfDate(readPlain<double>(stream));
    case tagWideString: return Variant(ReadWideStringFromStream(stream));
    default: readError();
    }
}

} // namespace

int CompareVariantValues(const Variant &a, const Variant &b) {
    if (a.IsArray() || b.IsArray()) {
        if (!b.IsArray())
            return 1;
        if (!a.IsArray())
            return -1;
        int high = a.HighBound(1);
        if (high != b.HighBound(1))
            return high - b.HighBound(1);
        for (int i = 0; i <= high; ++i) {
            int result = CompareVariantValues(a[i], b[i]);
            if (result != 0)
                return result;
        }
        return 0;
    }
    try {
        if (Variant::Equal(a, b))
            return 0;
        if (!a.IsNull() && (b.IsNull() || Variant::Greater(a, b)))
            return 1;
        return -1;
    } catch (const EVariantError &) {
        return -1;
    }
}

bool VariantsEqual(const Variant &a, const Variant &b) {
    if (a.IsNull() || b.IsNull() || (a.VarType() != varBoolean && b.VarType() != varBoolean))
        return CompareVariantValues(a, b) == 0;
    try {
        return a.AsWideString() == b.AsWideString();
    } catch (const EVariantError &) {
        return false;
    }
}

bool IsDateVarType(TVarType type) { return type == varDate || type == varSQLTimeStamp; }

bool IsDateVariant(const Variant &value) { return IsDateVarType(value.VarType()); }

bool IsNumericVariant(const Variant &value) { return value.IsNumeric() || value.VarType() == varFMTBcd; }

bool IsNullOrEmptyVariant(const Variant &value) {
    if (value.IsNull())
        return true;
    TVarType type = value.VarType();
    return (type == varOleStr || type == varString) && value.AsWideString().empty();
}

Variant ReadVariantFromStream(TStream &stream) { return readVariant(stream, 0); }

void WriteVariantToStream(TStream &stream, const Variant &value) {
    if (value.IsArray()) {
        if (value.DimCount() != 1)
            writeError();
        int high = value.HighBound(1);
        writePlain<std::uint8_t>(stream, tagArray);
        writeCompactInteger(stream, high + 1);
        for (int i = 0; i <= high; ++i)
            WriteVariantToStream(stream, value[i]);
        return;
    }
    switch (value.VarType() & varTypeMask) {
    case varEmpty: writePlain<std::uint8_t>(stream, tagUnassigned); return;
    case varNull: writePlain<std::uint8_t>(stream, tagNull); return;
    case varSmallint: case varInteger: case varShortInt: case varByte:
        writeCompactInteger(stream, value.AsInteger());
        return;
    case varSingle:
        writePlain<std::uint8_t>(stream, tagSingle);
        writePlain<float>(stream, static_cast<float>(value.AsDouble()));
        return;
    case varDouble:
        writePlain<std::uint8_t>(stream, tagExtended);
        WriteExtendedToStream(stream, value.AsDouble());
        return;
    case varCurrency:
        writePlain<std::uint8_t>(stream, tagCurrency);
        writePlain<std::int64_t>(stream, value.AsCurrency());
        return;
    case varDate:
    case varSQLTimeStamp:
        writePlain<std::uint8_t>(stream, tagDate);
        writePlain<double>(stream, value.AsDate());
        return;
    case varOleStr:
        writePlain<std::uint8_t>(stream, tagWideString);
        WriteWideStringToStream(stream, value.AsWideString());
        return;
    case varBoolean: writePlain<std::uint8_t>(stream, value.AsBoolean() ? tagTrue : tagFalse); return;
    default: {
        std::string text;
        try {
            text = value.AsAnsiString();
        } catch (const EVariantError &) {
            writeError();
        }
        writeByteString(stream, text);
    }
    }
}

std::uint8_t ReadByteFromStream(TStream &stream) { return readPlain<std::uint8_t>(stream); }
void WriteByteToStream(TStream &stream, std::uint8_t value) { writePlain(stream, value); }

double ReadExtendedFromStream(TStream &stream) {
    unsigned char bytes[10];
    stream.ReadBuffer(bytes, sizeof bytes);
    long double value = 0;
    std::memcpy(&value, bytes, sizeof bytes);
    return static_cast<double>(value);
}

void WriteExtendedToStream(TStream &stream, double value) {
    long double extended = value;
    unsigned char bytes[sizeof(long double)] = {};
    std::memcpy(bytes, &extended, sizeof extended);
    stream.WriteBuffer(bytes, 10);
}

std::int64_t ReadCurrencyFromStream(TStream &stream) { return readPlain<std::int64_t>(stream); }
void WriteCurrencyToStream(TStream &stream, std::int64_t scaled) { writePlain(stream, scaled); }
double ReadDateTimeFromStream(TStream &stream) { return readPlain<double>(stream); }
void WriteDateTimeToStream(TStream &stream, double value) { writePlain(stream, value); }
std::int32_t ReadIntegerFromStream(TStream &stream) { return readPlain<std::int32_t>(stream); }
void WriteIntegerToStream(TStream &stream, std::int32_t value) { writePlain(stream, value); }
std::int64_t ReadLargeIntFromStream(TStream &stream) { return readPlain<std::int64_t>(stream); }
void WriteLargeIntToStream(TStream &stream, std::int64_t value) { writePlain(stream, value); }
std::int16_t ReadSmallIntFromStream(TStream &stream) { return readPlain<std::int16_t>(stream); }
void WriteSmallIntToStream(TStream &stream, std::int16_t value) { writePlain(stream, value); }
std::uint16_t ReadWordFromStream(TStream &stream) { return static_cast<std::uint16_t>(readPlain<std::int16_t>(stream)); }
void WriteWordToStream(TStream &stream, std::uint16_t value) { writePlain(stream, static_cast<std::int16_t>(value)); }

std::string ReadAnsiStringFromStream(TStream &stream) { return readBytes(stream, readLength(stream)); }

void WriteAnsiStringToStream(TStream &stream, const std::string &value) {
    if (value.size() > static_cast<std::size_t>(maxLength))
        writeError();
    writePlain<std::int32_t>(stream, static_cast<std::int32_t>(value.size()));
    stream.WriteBuffer(value.data(), static_cast<std::int32_t>(value.size()));
}

std::wstring ReadWideStringFromStream(TStream &stream) {
    std::int32_t length = readLength(stream, 2);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    stream.ReadBuffer(text.data(), length * 2);
    return text;
}

void WriteWideStringToStream(TStream &stream, const std::wstring &value) {
    if (value.size() > static_cast<std::size_t>(maxLength) / 2)
        writeError();
    writePlain<std::int32_t>(stream, static_cast<std::int32_t>(value.size()));
    stream.WriteBuffer(value.data(), static_cast<std::int32_t>(value.size() * 2));
}
