#include "kvDataStorage.h"

#include <windows.h>

#include <classlib/exceptions.h>
#include <classlib/string_utils.h>

#include <cmath>
#include <cstring>
#include <algorithm>
#include <limits>

#include "kvVariants.h"

namespace {

template <class T> T load(const void *slot) {
    T value;
    std::memcpy(&value, slot, sizeof value);
    return value;
}

template <class T> void store(void *slot, T value) { std::memcpy(slot, &value, sizeof value); }

template <class T> int order(T a, T b) { return a < b ? -1 : (a > b ? 1 : 0); }

// NaN equals NaN and sorts first, so that sorting stored values stays well defined.
int orderDoubles(double a, double b) {
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) == std::isnan(b) ? 0 : (std::isnan(a) ? -1 : 1);
    return order(a, b);
}

template <class Cell> Cell *cellOf(const void *slot) { return load<Cell *>(slot); }

template <class Cell> Cell &ensureCell(void *slot) {
    Cell *cell = cellOf<Cell>(slot);
    if (cell == nullptr) {
        cell = new Cell();
        store(slot, cell);
    }
    return *cell;
}

template <class Cell> void freeCell(void *slot) {
    delete cellOf<Cell>(slot);
    store<Cell *>(slot, nullptr);
}

template <class Cell> int compareCells(const void *a, const void *b) {
    auto *x = static_cast<const Cell *>(a);
    auto *y = static_cast<const Cell *>(b);
    if (x == nullptr || y == nullptr)
        return (x != nullptr) - (y != nullptr);
    int c = x->compare(*y);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

constinit TUnitSingleton<TkvValueTypeClassList> classList;

} // namespace

// ---- the base

int TkvValueType::CompareStored(const void *a, const void *b) const {
    return CompareTypedValues(ResolveValuePointer(a), ResolveValuePointer(b));
}

void TkvValueType::FinalizeValue(void *) const {}

void TkvValueType::DisposeDisplayText(void *displaySlot) const { freeCell<std::wstring>(displaySlot); }

void TkvValueType::BufferToVariant(const void *, Variant &value) const { value = Variant::Null(); }

std::wstring TkvValueType::FormatDisplayText(const void *slot) const {
    try {
        Variant value;
        BufferToVariant(slot, value);
        return value.AsWideString();
    } catch (const EVariantError &) {
        return std::wstring();
    }
}

std::wstring TkvValueType::DisplayTextFromBuffer(const void *displaySlot) const {
    const std::wstring *cell = cellOf<std::wstring>(displaySlot);
    return cell == nullptr ? std::wstring() : *cell;
}

void TkvValueType::LoadValueFromStream(void *slot, TStream &stream) const {
    VariantToBuffer(slot, ReadVariantFromStream(stream));
}

void TkvValueType::LoadDisplayTextFromStream(void *displaySlot, TStream &stream) const {
    StoreDisplayText(displaySlot, Utf8ToWide(ReadAnsiStringFromStream(stream)));
}

void TkvValueType::VariantToBuffer(void *, const Variant &) const {}

void TkvValueType::StoreDisplayText(void *displaySlot, const std::wstring &text) const {
    ensureCell<std::wstring>(displaySlot) = text;
}

void TkvValueType::SaveValueToStream(const void *slot, TStream &stream) const {
    Variant value;
    BufferToVariant(slot, value);
    WriteVariantToStream(stream, value);
}

void TkvValueType::SaveDisplayTextToStream(const void *displaySlot, TStream &stream) const {
    WriteAnsiStringToStream(stream, WideToUtf8(DisplayTextFromBuffer(displaySlot)));
}

std::wstring TkvValueType::ShortTypeName() const {
    std::wstring name = ClassName();
    if (name.compare(0, 3, L"Tkv") == 0)
        name.erase(0, 3);
    std::size_t at = name.find(L"ValueType");
    if (at != std::wstring::npos)
        name.erase(at, 9);
    return name;
}

int TkvValueType::CompareTypedValues(const void *a, const void *b) const {
    Variant x, y;
    BufferToVariant(a, x);
    BufferToVariant(b, y);
    return CompareVariantValues(x, y);
}

void TkvValueType::ValueAsVariant(const void *value, Variant &result) const { BufferToVariant(value, result); }

bool TkvValueType::IsVariantCompatible(const Variant &value) const {
    if (value.IsNull() || VariantTypeCode() == varVariant)
        return true;
    try {
        value.ConvertTo(VariantTypeCode());
        return true;
    } catch (const EVariantError &) {
        return false;
    }
}

// ---- strings

int TkvStringValueType::CompareTypedValues(const void *a, const void *b) const { return compareCells<std::string>(a, b); }

void TkvStringValueType::FinalizeValue(void *slot) const { freeCell<std::string>(slot); }

void TkvStringValueType::BufferToVariant(const void *slot, Variant &value) const {
    ValueAsVariant(cellOf<std::string>(slot), value);
}

// An absent cell reads as the empty string.
void TkvStringValueType::ValueAsVariant(const void *value, Variant &result) const {
    auto *cell = static_cast<const std::string *>(value);
    result = Variant(cell == nullptr ? std::string() : *cell);
}

void TkvStringValueType::VariantToBuffer(void *slot, const Variant &value) const {
    ensureCell<std::string>(slot) = value.AsAnsiString();
}

void TkvStringValueType::LoadValueFromStream(void *slot, TStream &stream) const {
    ensureCell<std::string>(slot) = ReadAnsiStringFromStream(stream);
}

void TkvStringValueType::SaveValueToStream(const void *slot, TStream &stream) const {
    const std::string *cell = cellOf<std::string>(slot);
    WriteAnsiStringToStream(stream, cell == nullptr ? std::string() : *cell);
}

const void *TkvStringValueType::ResolveValuePointer(const void *slot) const { return load<const void *>(slot); }

int TkvWideStringValueType::CompareTypedValues(const void *a, const void *b) const {
    return compareCells<std::wstring>(a, b);
}

void TkvWideStringValueType::FinalizeValue(void *slot) const { freeCell<std::wstring>(slot); }

void TkvWideStringValueType::BufferToVariant(const void *slot, Variant &value) const {
    ValueAsVariant(cellOf<std::wstring>(slot), value);
}

void TkvWideStringValueType::ValueAsVariant(const void *value, Variant &result) const {
    auto *cell = static_cast<const std::wstring *>(value);
    result = Variant(cell == nullptr ? std::wstring() : *cell);
}

void TkvWideStringValueType::VariantToBuffer(void *slot, const Variant &value) const {
    ensureCell<std::wstring>(slot) = value.AsWideString();
}

void TkvWideStringValueType::LoadValueFromStream(void *slot, TStream &stream) const {
    ensureCell<std::wstring>(slot) = ReadWideStringFromStream(stream);
}

void TkvWideStringValueType::SaveValueToStream(const void *slot, TStream &stream) const {
    const std::wstring *cell = cellOf<std::wstring>(slot);
    WriteWideStringToStream(stream, cell == nullptr ? std::wstring() : *cell);
}

// ---- fixed-size types

int TkvSmallintValueType::CompareTypedValues(const void *a, const void *b) const {
    return load<std::int16_t>(a) - load<std::int16_t>(b);
}
void TkvSmallintValueType::BufferToVariant(const void *slot, Variant &value) const {
    value = Variant::OfInteger(varSmallint, load<std::int16_t>(slot));
}
void TkvSmallintValueType::VariantToBuffer(void *slot, const Variant &value) const {
    store(slot, static_cast<std::int16_t>(value.ConvertTo(varSmallint).AsInt64()));
}
void TkvSmallintValueType::LoadValueFromStream(void *slot, TStream &stream) const {
    store(slot, ReadSmallIntFromStream(stream));
}
void TkvSmallintValueType::SaveValueToStream(const void *slot, TStream &stream) const {
    WriteSmallIntToStream(stream, load<std::int16_t>(slot));
}

// Not a - b: the difference of two 32-bit values can overflow and reverse the order.
int TkvIntegerValueType::CompareTypedValues(const void *a, const void *b) const {
    return order(load<std::int32_t>(a), load<std::int32_t>(b));
}
void TkvIntegerValueType::BufferToVariant(const void *slot, Variant &value) const {
    value = Variant(static_cast<int>(load<std::int32_t>(slot)));
}
void TkvIntegerValueType::VariantToBuffer(void *slot, const Variant &value) const {
    store(slot, value.AsInteger());
}
void TkvIntegerValueType::LoadValueFromStream(void *slot, TStream &stream) const {
    store(slot, ReadIntegerFromStream(stream));
}
void TkvIntegerValueType::SaveValueToStream(const void *slot, TStream &stream) const {
    WriteIntegerToStream(stream, load<std::int32_t>(slot));
}

int TkvWordValueType::CompareTypedValues(const void *a, const void *b) const {
    return load<std::uint16_t>(a) - load<std::uint16_t>(b);
}
void TkvWordValueType::BufferToVariant(const void *slot, Variant &value) const {
    value = Variant::OfInteger(varWord, load<std::uint16_t>(slot));
}
void TkvWordValueType::VariantToBuffer(void *slot, const Variant &value) const {
    store(slot, static_cast<std::uint16_t>(value.ConvertTo(varWord).AsInt64()));
}
void TkvWordValueType::LoadValueFromStream(void *slot, TStream &stream) const { store(slot, ReadWordFromStream(stream)); }
void TkvWordValueType::SaveValueToStream(const void *slot, TStream &stream) const {
    WriteWordToStream(stream, load<std::uint16_t>(slot));
}

// Any non-zero byte is True.
int TkvBooleanValueType::CompareTypedValues(const void *a, const void *b) const {
    return static_cast<int>(load<std::uint8_t>(a) != 0) - static_cast<int>(load<std::uint8_t>(b) != 0);
}
void TkvBooleanValueType::BufferToVariant(const void *slot, Variant &value) const {
    value = Variant(load<std::uint8_t>(slot) != 0);
}
void TkvBooleanValueType::VariantToBuffer(void *slot, const Variant &value) const {
    store<std::uint8_t>(slot, value.AsBoolean() ? 1 : 0);
}
std::wstring TkvBooleanValueType::FormatDisplayText(const void *slot) const {
    return load<std::uint8_t>(slot) != 0 ? L"True" : L"False";
}
void TkvBooleanValueType::LoadValueFromStream(void *slot, TStream &stream) const {
    store<std::uint8_t>(slot, ReadByteFromStream(stream));
}
void TkvBooleanValueType::SaveValueToStream(const void *slot, TStream &stream) const {
    WriteByteToStream(stream, load<std::uint8_t>(slot));
}

int TkvFloatValueType::CompareTypedValues(const void *a, const void *b) const {
    return orderDoubles(load<double>(a), load<double>(b));
}
void TkvFloatValueType::BufferToVariant(const void *slot, Variant &value) const { value = Variant(load<double>(slot)); }
void TkvFloatValueType::VariantToBuffer(void *slot, const Variant &value) const { store(slot, value.AsDouble()); }
void TkvFloatValueType::LoadValueFromStream(void *slot, TStream &stream) const {
    store(slot, ReadExtendedFromStream(stream));
}
void TkvFloatValueType::SaveValueToStream(const void *slot, TStream &stream) const {
    WriteExtendedToStream(stream, load<double>(slot));
}

int TkvCurrencyValueType::CompareTypedValues(const void *a, const void *b) const {
    return order(load<std::int64_t>(a), load<std::int64_t>(b));
}
void TkvCurrencyValueType::BufferToVariant(const void *slot, Variant &value) const {
    value = Variant::OfCurrency(load<std::int64_t>(slot));
}
void TkvCurrencyValueType::VariantToBuffer(void *slot, const Variant &value) const { store(slot, value.AsCurrency()); }
void TkvCurrencyValueType::LoadValueFromStream(void *slot, TStream &stream) const {
    store(slot, ReadCurrencyFromStream(stream));
}
void TkvCurrencyValueType::SaveValueToStream(const void *slot, TStream &stream) const {
    WriteCurrencyToStream(stream, load<std::int64_t>(slot));
}

int TkvDateTimeValueType::CompareTypedValues(const void *a, const void *b) const {
    return orderDoubles(load<double>(a), load<double>(b));
}
void TkvDateTimeValueType::BufferToVariant(const void *slot, Variant &value) const {
    value = Variant::OfDate(load<double>(slot));
}
void TkvDateTimeValueType::VariantToBuffer(void *slot, const Variant &value) const { store(slot, value.AsDate()); }
void TkvDateTimeValueType::LoadValueFromStream(void *slot, TStream &stream) const {
    store(slot, ReadDateTimeFromStream(stream));
}
void TkvDateTimeValueType::SaveValueToStream(const void *slot, TStream &stream) const {
    WriteDateTimeToStream(stream, load<double>(slot));
}

int TkvLargeIntValueType::CompareTypedValues(const void *a, const void *b) const {
    return order(load<std::int64_t>(a), load<std::int64_t>(b));
}
void TkvLargeIntValueType::BufferToVariant(const void *slot, Variant &value) const {
    value = Variant(load<std::int64_t>(slot));
}
void TkvLargeIntValueType::VariantToBuffer(void *slot, const Variant &value) const { store(slot, value.AsInt64()); }
void TkvLargeIntValueType::LoadValueFromStream(void *slot, TStream &stream) const {
    store(slot, ReadLargeIntFromStream(stream));
}
void TkvLargeIntValueType::SaveValueToStream(const void *slot, TStream &stream) const {
    WriteLargeIntToStream(stream, load<std::int64_t>(slot));
}

int TkvSQLTimeStampValueType::CompareTypedValues(const void *a, const void *b) const {
    TSQLTimeStamp x = load<TSQLTimeStamp>(a), y = load<TSQLTimeStamp>(b);
    int fields[] = {order(x.Year, y.Year),     order(x.Month, y.Month),   order(x.Day, y.Day),
                    order(x.Hour, y.Hour),     order(x.Minute, y.Minute), order(x.Second, y.Second),
                    order(x.Fractions, y.Fractions)};
    for (int field : fields)
        if (field != 0)
            return field;
    return 0;
}

void TkvSQLTimeStampValueType::BufferToVariant(const void *slot, Variant &value) const {
    double dateTime = 0;
    if (!TrySQLTimeStampToDateTime(load<TSQLTimeStamp>(slot), dateTime))
        throw EVariantError(L"Invalid SQL time stamp");
    value = Variant::OfDate(dateTime);
}

void TkvSQLTimeStampValueType::VariantToBuffer(void *slot, const Variant &value) const {
    TSQLTimeStamp stamp{};
    if (value.VarType() == varSQLTimeStamp)
        stamp = value.AsSQLTimeStamp();
    else if (!TryDateTimeToSQLTimeStamp(value.AsDate(), stamp))
        throw EVariantError(L"Invalid SQL time stamp");
    store(slot, stamp);
}

// ---- decimal numbers

int TkvFMTBcdValueType::CompareTypedValues(const void *a, const void *b) const {
    return BcdCompare(load<TBcd>(a), load<TBcd>(b));
}
void TkvFMTBcdValueType::BufferToVariant(const void *slot, Variant &value) const {
    value = Variant::OfBcd(load<TBcd>(slot));
}
void TkvFMTBcdValueType::VariantToBuffer(void *slot, const Variant &value) const { store(slot, value.AsBcd()); }
std::wstring TkvFMTBcdValueType::FormatDisplayText(const void *slot) const { return BcdToStr(load<TBcd>(slot)); }

// ---- variants and objects

int TkvVariantValueType::CompareTypedValues(const void *a, const void *b) const {
    auto *x = static_cast<const Variant *>(a);
    auto *y = static_cast<const Variant *>(b);
    if (x == nullptr || y == nullptr)
        return (x != nullptr) - (y != nullptr);
    return CompareVariantValues(*x, *y);
}
void TkvVariantValueType::FinalizeValue(void *slot) const { freeCell<Variant>(slot); }
void TkvVariantValueType::BufferToVariant(const void *slot, Variant &value) const {
    ValueAsVariant(cellOf<Variant>(slot), value);
}
// An absent cell reads as Unassigned.
void TkvVariantValueType::ValueAsVariant(const void *value, Variant &result) const {
    auto *cell = static_cast<const Variant *>(value);
    result = cell == nullptr ? Variant() : *cell;
}
void TkvVariantValueType::VariantToBuffer(void *slot, const Variant &value) const { ensureCell<Variant>(slot) = value; }
const void *TkvVariantValueType::ResolveValuePointer(const void *slot) const { return load<const void *>(slot); }

void TkvObjectValueType::FinalizeValue(void *slot) const {
    TObject *object = load<TObject *>(slot);
    store<TObject *>(slot, nullptr);
    ::Free(object);
}
void TkvObjectValueType::LoadValueFromStream(void *, TStream &) const {}
void TkvObjectValueType::SaveValueToStream(const void *, TStream &) const {}

// ---- the class list

void TkvValueTypeClassList::Register(TkvValueTypeClass type) {
    if (type == nullptr)
        throw EInvalidOperation(L"A value type class is required");
    for (TkvValueTypeClass item : items_)
        if (item == type)
            return;
    items_.push_back(type);
}

void TkvValueTypeClassList::Unregister(TkvValueTypeClass type) {
    for (auto it = items_.begin(); it != items_.end(); ++it)
        if (*it == type) {
            items_.erase(it);
            return;
        }
}

TkvValueTypeClass TkvValueTypeClassList::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(L"List index out of bounds (" + std::to_wstring(index) + L")");
    return items_[index];
}

TkvValueTypeClass TkvValueTypeClassList::ItemByName(const std::wstring &className) const {
    for (TkvValueTypeClass item : items_)
        if (className == item->ClassName())
            return item;
    return nullptr;
}

TkvValueTypeClassList *kvValueTypeClassList() { return classList.Get(); }

namespace {

void startDataStorage() {
    TkvValueTypeClass types[] = {
        ValueTypeClass<TkvStringValueType>(),   ValueTypeClass<TkvWideStringValueType>(),
        ValueTypeClass<TkvSmallintValueType>(), ValueTypeClass<TkvIntegerValueType>(),
        ValueTypeClass<TkvWordValueType>(),     ValueTypeClass<TkvBooleanValueType>(),
        ValueTypeClass<TkvFloatValueType>(),    ValueTypeClass<TkvCurrencyValueType>(),
        ValueTypeClass<TkvDateTimeValueType>(), ValueTypeClass<TkvLargeIntValueType>(),
        ValueTypeClass<TkvFMTBcdValueType>(),   ValueTypeClass<TkvSQLTimeStampValueType>(),
        ValueTypeClass<TkvVariantValueType>(),
        ValueTypeClass<TkvObjectValueType>()};
    for (TkvValueTypeClass type : types)
        kvValueTypeClassList()->Register(type);
}

void stopDataStorage() {
    if (TkvValueTypeClassList *list = classList.Peek()) {
        TkvValueTypeClass types[] = {
            ValueTypeClass<TkvObjectValueType>(),   ValueTypeClass<TkvVariantValueType>(),
            ValueTypeClass<TkvSQLTimeStampValueType>(), ValueTypeClass<TkvFMTBcdValueType>(),
            ValueTypeClass<TkvLargeIntValueType>(), ValueTypeClass<TkvDateTimeValueType>(),
            ValueTypeClass<TkvCurrencyValueType>(), ValueTypeClass<TkvFloatValueType>(),
            ValueTypeClass<TkvBooleanValueType>(),  ValueTypeClass<TkvWordValueType>(),
            ValueTypeClass<TkvIntegerValueType>(),  ValueTypeClass<TkvSmallintValueType>(),
            ValueTypeClass<TkvWideStringValueType>(), ValueTypeClass<TkvStringValueType>()};
        for (TkvValueTypeClass type : types)
            list->Unregister(type);
    }
    classList.Release();
}

} // namespace

constinit TUnit kvDataStorageUnit{L"kvDataStorage", startDataStorage, stopDataStorage};
