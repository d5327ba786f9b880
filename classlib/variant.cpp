#include "classlib/variant.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <limits>

#include "classlib/string_utils.h"

namespace {

bool isIntegerType(TVarType type) {
    switch (type) {
    case varSmallint: case varInteger: case varShortInt: case varByte: case varWord:
    case varLongWord: case varInt64:
        return true;
    default:
        return false;
    }
}

bool isStringType(TVarType type) { return type == varOleStr || type == varString; }

// The records of the two library types are held as their bytes.
template <class Record> Record recordOf(const std::string &bytes) {
    Record record{};
    std::memcpy(&record, bytes.data(), std::min(bytes.size(), sizeof record));
    return record;
}
template <class Record> std::string bytesOf(const Record &record) {
    return std::string(reinterpret_cast<const char *>(&record), sizeof record);
}

// Rounds half to even, as the library's conversions do; false when out of the 64-bit range.
bool roundToInt64(double value, std::int64_t &out) {
    if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0))
        return false;
    out = static_cast<std::int64_t>(std::nearbyint(value));
    return true;
}

std::wstring floatText(double value) {
    if (std::isnan(value))
        return L"NAN";
    if (std::isinf(value))
        return value > 0 ? L"INF" : L"-INF";
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    std::wstring text;
    for (const char *p = buffer; *p != '\0'; ++p)
        text += *p == '.' ? FormatSettings().DecimalSeparator : static_cast<wchar_t>(*p);
    return text;
}

std::wstring currencyText(std::int64_t scaled) {
    bool negative = scaled < 0;
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(scaled) : scaled;
    std::wstring text = std::to_wstring(magnitude / 10000);
    unsigned fraction = static_cast<unsigned>(magnitude % 10000);
    if (fraction != 0) {
        wchar_t digits[8];
        std::swprintf(digits, 8, L"%04u", fraction);
        std::wstring tail(digits);
        while (tail.back() == L'0')
            tail.pop_back();
        text += FormatSettings().DecimalSeparator;
        text += tail;
    }
    return negative ? L"-" + text : text;
}

// Written as yyyy-mm-dd and, when there is a time of day, hh:nn:ss.
std::wstring dateText(double dateTime) {
    TDateTimeParts p{};
    if (!TryDecodeDateTime(dateTime, p))
        return floatText(dateTime);
    wchar_t buffer[64];
    if (p.hour == 0 && p.minute == 0 && p.second == 0)
        std::swprintf(buffer, 64, L"%04d-%02d-%02d", p.year, p.month, p.day);
    else
        std::swprintf(buffer, 64, L"%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
    return buffer;
}

constexpr long long epochOffset = 25569; // days from 30 December 1899 to 1 January 1970

long long daysFromCivil(long long y, long long m, long long d) {
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    long long yoe = y - era * 400;
    long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool parseNumber(const std::wstring &text, double &value) {
    std::int64_t integer = 0;
    if (TryStrToInt64(text, integer)) {
        value = static_cast<double>(integer);
        return true;
    }
    return TryStrToFloat(text, value);
}

int compareDoubles(double a, double b) {
    // NaN equals NaN and sorts before every number, so that the order stays total.
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) == std::isnan(b) ? 0 : (std::isnan(a) ? -1 : 1);
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

bool TryDecodeDateTime(double dateTime, TDateTimeParts &parts) {
    // 1 January 0001 to 31 December 9999.
    if (!(dateTime > -693594.0 && dateTime < 2958466.0))
        return false;
    double dayPart = std::trunc(dateTime);
    long long ms = std::llround(std::fabs(dateTime - dayPart) * 86400000.0);
    if (ms > 86399999)
        ms = 86399999; // rounding never carries into the next day
    long long z = static_cast<long long>(dayPart) - epochOffset + 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    long long m = mp < 10 ? mp + 3 : mp - 9;
    parts.year = static_cast<int>(yoe + era * 400 + (m <= 2));
    parts.month = static_cast<int>(m);
    parts.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    parts.hour = static_cast<int>(ms / 3600000);
    parts.minute = static_cast<int>(ms / 60000 % 60);
    parts.second = static_cast<int>(ms / 1000 % 60);
    parts.millisecond = static_cast<int>(ms % 1000);
    return true;
}

bool TryEncodeDateTime(const TDateTimeParts &p, double &dateTime) {
    static const int monthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (p.year < 1 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 || p.hour < 0 || p.hour > 23 ||
        p.minute < 0 || p.minute > 59 || p.second < 0 || p.second > 59 || p.millisecond < 0 || p.millisecond > 999)
        return false;
    bool leap = (p.year % 4 == 0 && p.year % 100 != 0) || p.year % 400 == 0;
    if (p.day > monthDays[p.month - 1] + (p.month == 2 && leap))
        return false;
    double days = static_cast<double>(daysFromCivil(p.year, p.month, p.day) + epochOffset);
    double time = (((p.hour * 60.0 + p.minute) * 60.0 + p.second) * 1000.0 + p.millisecond) / 86400000.0;
    dateTime = days < 0 ? days - time : days + time;
    return true;
}

Variant::Variant(bool value) noexcept : type_(varBoolean) { u_.i = value ? 1 : 0; }
Variant::Variant(double value) noexcept : type_(varDouble) { u_.d = value; }
Variant::Variant(std::wstring value) : type_(varOleStr), wide_(std::move(value)) {}
Variant::Variant(const wchar_t *value) : Variant(std::wstring(value == nullptr ? L"" : value)) {}
Variant::Variant(std::string bytes) : type_(varString), bytes_(std::move(bytes)) {}

Variant Variant::Null() noexcept { return Variant(varNull, 0); }

Variant Variant::OfInteger(TVarType type, std::int64_t value) {
    switch (type) {
    case varShortInt: return Variant(type, static_cast<std::int8_t>(value));
    case varByte: return Variant(type, static_cast<std::uint8_t>(value));
    case varSmallint: return Variant(type, static_cast<std::int16_t>(value));
    case varWord: return Variant(type, static_cast<std::uint16_t>(value));
    case varInteger: return Variant(type, static_cast<std::int32_t>(value));
    case varLongWord: return Variant(type, static_cast<std::uint32_t>(value));
    case varInt64: return Variant(type, value);
    default: throw EVariantError(L"Invalid variant type");
    }
}

Variant Variant::OfSingle(float value) noexcept {
    Variant v(static_cast<double>(value));
    v.type_ = varSingle;
    return v;
}

Variant Variant::OfCurrency(std::int64_t scaled) noexcept { return Variant(varCurrency, scaled); }

Variant Variant::OfDate(double dateTime) noexcept {
    Variant v(dateTime);
    v.type_ = varDate;
    return v;
}

Variant Variant::OfBcd(const TBcd &value) {
    if (!IsValidBcd(value))
        throw EVariantError(L"Invalid BCD value");
    Variant v;
    v.type_ = varFMTBcd;
    v.bytes_ = bytesOf(value);
    return v;
}

Variant Variant::OfSQLTimeStamp(const TSQLTimeStamp &value) {
    double unused = 0;
    if (!TrySQLTimeStampToDateTime(value, unused))
        throw EVariantError(L"Invalid SQL time stamp");
    Variant v;
    v.type_ = varSQLTimeStamp;
    v.bytes_ = bytesOf(value);
    return v;
}

Variant Variant::ArrayOf(std::vector<Variant> elements) {
    Variant v;
    v.type_ = varVariant;
    v.array_ = std::make_shared<ArrayData>();
    v.array_->counts = {static_cast<int>(elements.size())};
    v.array_->elements = std::move(elements);
    return v;
}

Variant Variant::ArrayOfDimensions(std::vector<int> counts) {
    std::size_t total = 1;
    for (int count : counts) {
        if (count < 0 || count > 0x1000000)
            throw EVariantError(L"Variant array bounds error");
        total *= static_cast<std::size_t>(count);
        if (total > 0x1000000)
            throw EVariantError(L"Variant array bounds error");
    }
    if (counts.empty())
        throw EVariantError(L"Variant array bounds error");
    Variant v;
    v.type_ = varVariant;
    v.array_ = std::make_shared<ArrayData>();
    v.array_->counts = std::move(counts);
    v.array_->elements.resize(total);
    return v;
}

bool Variant::IsNumeric() const noexcept {
    return !array_ && (isIntegerType(type_) || type_ == varSingle || type_ == varDouble || type_ == varCurrency);
}

bool Variant::IsOrdinal() const noexcept { return !array_ && (isIntegerType(type_) || type_ == varBoolean); }

int Variant::DimCount() const {
    if (!array_)
        throw EVariantError(L"Variant is not an array");
    return static_cast<int>(array_->counts.size());
}

int Variant::HighBound(int dimension) const {
    if (dimension < 1 || dimension > DimCount())
        throw EVariantError(L"Variant array bounds error");
    return array_->counts[dimension - 1] - 1;
}

const Variant &Variant::operator[](int index) const {
    if (!array_)
        throw EVariantError(L"Variant is not an array");
    if (index < 0 || static_cast<std::size_t>(index) >= array_->elements.size())
        throw EVariantError(L"Variant array bounds error");
    return array_->elements[index];
}

Variant &Variant::operator[](int index) {
    const Variant &self = *this;
    self[index];
    if (array_.use_count() > 1)
        array_ = std::make_shared<ArrayData>(*array_); // copies keep their own elements
    return array_->elements[index];
}

std::wstring Variant::TypeName(TVarType type) {
    if (type & varArray)
        return L"Array " + TypeName(type & varTypeMask);
    switch (type) {
    case varEmpty: return L"Empty";
    case varNull: return L"Null";
    case varSmallint: return L"Smallint";
    case varInteger: return L"Integer";
    case varSingle: return L"Single";
    case varDouble: return L"Double";
    case varCurrency: return L"Currency";
    case varDate: return L"Date";
    case varOleStr: return L"OleStr";
    case varError: return L"Error";
    case varBoolean: return L"Boolean";
    case varVariant: return L"Variant";
    case varShortInt: return L"ShortInt";
    case varByte: return L"Byte";
    case varWord: return L"Word";
    case varLongWord: return L"LongWord";
    case varInt64: return L"Int64";
    case varString: return L"String";
    case varFMTBcd: return L"FMTBcd";
    case varSQLTimeStamp: return L"SQLTimeStamp";
    default: return L"$" + std::to_wstring(type);
    }
}

void Variant::conversionError(TVarType target) const {
    throw EVariantError(L"Could not convert variant of type (" + TypeName(VarType()) + L") into type (" +
                        TypeName(target) + L")");
}

std::int64_t Variant::AsInt64() const {
    if (!array_) {
        if (isIntegerType(type_) || type_ == varEmpty)
            return u_.i;
        if (type_ == varBoolean)
            return u_.i != 0 ? -1 : 0;
        std::int64_t out = 0;
        if (type_ == varCurrency)
            return roundToInt64(static_cast<double>(u_.i) / 10000.0, out) ? out : u_.i / 10000;
        if (type_ == varSingle || type_ == varDouble || type_ == varDate) {
            if (roundToInt64(u_.d, out))
                return out;
        } else if (type_ == varFMTBcd || type_ == varSQLTimeStamp) {
            if (roundToInt64(AsDouble(), out))
                return out;
        } else if (isStringType(type_)) {
            std::wstring text = AsWideString();
            if (TryStrToInt64(text, out))
                return out;
            double value = 0;
            if (TryStrToFloat(text, value) && roundToInt64(value, out))
                return out;
        }
    }
    conversionError(varInt64);
}

std::int32_t Variant::AsInteger() const {
    std::int64_t value = AsInt64();
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        conversionError(varInteger);
    return static_cast<std::int32_t>(value);
}

double Variant::AsDouble() const {
    if (!array_) {
        if (isIntegerType(type_) || type_ == varEmpty || type_ == varBoolean)
            return static_cast<double>(AsInt64());
        if (type_ == varSingle || type_ == varDouble || type_ == varDate)
            return u_.d;
        if (type_ == varCurrency)
            return static_cast<double>(u_.i) / 10000.0;
        double value = 0;
        if (type_ == varFMTBcd && TryBcdToDouble(recordOf<TBcd>(bytes_), value))
            return value;
        if (type_ == varSQLTimeStamp && TrySQLTimeStampToDateTime(recordOf<TSQLTimeStamp>(bytes_), value))
            return value;
        if (isStringType(type_) && parseNumber(AsWideString(), value))
            return value;
    }
    conversionError(varDouble);
}

double Variant::AsDate() const {
    try {
        return AsDouble();
    } catch (const EVariantError &) {
        conversionError(varDate);
    }
}

bool Variant::AsBoolean() const {
    if (!array_) {
        if (type_ == varBoolean || isIntegerType(type_) || type_ == varEmpty || type_ == varCurrency)
            return u_.i != 0;
        if (type_ == varSingle || type_ == varDouble || type_ == varDate)
            return u_.d != 0;
        if (type_ == varFMTBcd)
            return AsDouble() != 0;
        if (isStringType(type_)) {
            std::wstring text = AsWideString();
            if (SameText(text, L"True"))
                return true;
            if (SameText(text, L"False"))
                return false;
            double value = 0;
            if (parseNumber(text, value))
                return value != 0;
        }
    }
    conversionError(varBoolean);
}

std::int64_t Variant::AsCurrency() const {
    if (!array_) {
        if (type_ == varCurrency)
            return u_.i;
        double value = 0;
        if (isIntegerType(type_) || type_ == varEmpty || type_ == varBoolean) {
            std::int64_t whole = AsInt64();
            if (whole >= -922337203685477 && whole <= 922337203685477)
                return whole * 10000;
            conversionError(varCurrency);
        }
        bool have = false;
        if (type_ == varSingle || type_ == varDouble || type_ == varDate) {
            value = u_.d;
            have = true;
        } else if (type_ == varFMTBcd || type_ == varSQLTimeStamp) {
            value = AsDouble();
            have = true;
        } else if (isStringType(type_)) {
            have = parseNumber(AsWideString(), value);
        }
        std::int64_t out = 0;
        if (have && roundToInt64(value * 10000.0, out))
            return out;
    }
    conversionError(varCurrency);
}

std::wstring Variant::AsWideString() const {
    if (!array_) {
        switch (type_) {
        case varEmpty: return L"";
        case varOleStr: return wide_;
        case varString: return CodePageToWide(bytes_, CP_ACP);
        case varBoolean: return u_.i != 0 ? L"True" : L"False";
        case varSingle: return floatText(static_cast<float>(u_.d));
        case varDouble: return floatText(u_.d);
        case varCurrency: return currencyText(u_.i);
        case varDate: return dateText(u_.d);
        case varFMTBcd: return BcdToStr(recordOf<TBcd>(bytes_));
        case varSQLTimeStamp: return dateText(AsDouble());
        default:
            if (isIntegerType(type_))
                return std::to_wstring(u_.i);
        }
    }
    conversionError(varOleStr);
}

TBcd Variant::AsBcd() const {
    TBcd result{};
    if (!array_) {
        if (type_ == varFMTBcd)
            return recordOf<TBcd>(bytes_);
        if (isIntegerType(type_) || type_ == varEmpty || type_ == varBoolean)
            return IntegerToBcd(AsInt64());
        if (type_ == varCurrency) {
            // Exact: the scaled integer with four places.
            std::wstring text = currencyText(u_.i);
            if (TryStrToBcd(text, result))
                return result;
        }
        if ((type_ == varSingle || type_ == varDouble || type_ == varDate) && TryDoubleToBcd(u_.d, result))
            return result;
        if (isStringType(type_) && TryStrToBcd(AsWideString(), result))
            return result;
    }
    conversionError(varFMTBcd);
}

TSQLTimeStamp Variant::AsSQLTimeStamp() const {
    if (type_ == varSQLTimeStamp && !array_)
        return recordOf<TSQLTimeStamp>(bytes_);
    TSQLTimeStamp stamp{};
    double dateTime = 0;
    try {
        dateTime = AsDate();
    } catch (const EVariantError &) {
        conversionError(varSQLTimeStamp);
    }
    if (!TryDateTimeToSQLTimeStamp(dateTime, stamp))
        conversionError(varSQLTimeStamp);
    return stamp;
}

std::string Variant::AsAnsiString() const {
    if (type_ == varString && !array_)
        return bytes_;
    try {
        return WideToCodePage(AsWideString(), CP_ACP);
    } catch (const EVariantError &) {
        conversionError(varString);
    }
}

Variant Variant::ConvertTo(TVarType type) const {
    if (type == VarType() || type == varVariant)
        return *this;
    switch (type) {
    case varEmpty: return Variant();
    case varNull: return Null();
    case varShortInt: case varByte: case varSmallint: case varWord: case varInteger: case varLongWord: {
        std::int64_t value = AsInt64();
        Variant converted = OfInteger(type, value);
        if (converted.u_.i != value)
            conversionError(type);
        return converted;
    }
    case varInt64: return Variant(AsInt64());
    case varSingle: return OfSingle(static_cast<float>(AsDouble()));
    case varDouble: return Variant(AsDouble());
    case varCurrency: return OfCurrency(AsCurrency());
    case varDate: return OfDate(AsDate());
    case varBoolean: return Variant(AsBoolean());
    case varOleStr: return Variant(AsWideString());
    case varString: return Variant(AsAnsiString());
    case varFMTBcd: return OfBcd(AsBcd());
    case varSQLTimeStamp: return OfSQLTimeStamp(AsSQLTimeStamp());
    default: conversionError(type);
    }
}

int Variant::compare(const Variant &a, const Variant &b) {
    if (a.array_ || b.array_)
        throw EVariantError(L"Invalid variant operation");
    TVarType ta = a.type_, tb = b.type_;
    if (ta == varEmpty && tb == varEmpty)
        return 0;
    if (isStringType(ta) && isStringType(tb)) {
        int c = a.AsWideString().compare(b.AsWideString());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if ((isStringType(ta) || ta == varEmpty) && (isStringType(tb) || tb == varEmpty)) {
        int c = a.AsWideString().compare(b.AsWideString());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (ta == varBoolean && tb == varBoolean)
        return static_cast<int>(a.u_.i != 0) - static_cast<int>(b.u_.i != 0);
    if (ta == varCurrency && tb == varCurrency)
        return a.u_.i < b.u_.i ? -1 : (a.u_.i > b.u_.i ? 1 : 0);
    if (ta == varFMTBcd && tb == varFMTBcd)
        return BcdCompare(recordOf<TBcd>(a.bytes_), recordOf<TBcd>(b.bytes_));
    bool intA = isIntegerType(ta) || ta == varEmpty || ta == varBoolean;
    bool intB = isIntegerType(tb) || tb == varEmpty || tb == varBoolean;
    if (intA && intB) {
        std::int64_t x = a.AsInt64(), y = b.AsInt64();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (ta == varError || tb == varError)
        throw EVariantError(L"Invalid variant operation");
    return compareDoubles(a.AsDouble(), b.AsDouble());
}

bool Variant::Equal(const Variant &a, const Variant &b) {
    if (a.IsNull() || b.IsNull())
        return a.IsNull() && b.IsNull();
    return compare(a, b) == 0;
}

bool Variant::Greater(const Variant &a, const Variant &b) {
    if (a.IsNull() || b.IsNull())
        return false;
    return compare(a, b) > 0;
}
