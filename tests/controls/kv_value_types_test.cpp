// Value types: values in raw slots, their order, variant forms, stream forms and release.
#include <gtest/gtest.h>

#include <classlib/exceptions.h>
#include <classlib/stream.h>
#include <kvDataStorage.h>
#include <kvVariants.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

// A raw slot as the editors hold them: zeroed, big enough for every type.
struct Slot {
    alignas(8) unsigned char bytes[16] = {};
    void *get() { return bytes; }
};

template <class T> TkvValueTypeClass type() { return ValueTypeClass<T>(); }

Variant viaSlot(TkvValueTypeClass t, const Variant &in) {
    Slot slot;
    t->VariantToBuffer(slot.get(), in);
    Variant out;
    t->BufferToVariant(slot.get(), out);
    t->FinalizeValue(slot.get());
    return out;
}

std::vector<unsigned char> saved(TkvValueTypeClass t, const Variant &in) {
    Slot slot;
    t->VariantToBuffer(slot.get(), in);
    TOwned<TMemoryStream> stream(New<TMemoryStream>());
    t->SaveValueToStream(slot.get(), *stream);
    t->FinalizeValue(slot.get());
    auto *bytes = static_cast<const unsigned char *>(stream->Memory());
    return std::vector<unsigned char>(bytes, bytes + stream->Size());
}

Variant reloaded(TkvValueTypeClass t, const Variant &in) {
    Slot source, target;
    t->VariantToBuffer(source.get(), in);
    TOwned<TMemoryStream> stream(New<TMemoryStream>());
    t->SaveValueToStream(source.get(), *stream);
    stream->SetPosition(0);
    t->LoadValueFromStream(target.get(), *stream);
    EXPECT_EQ(stream->Position(), stream->Size());
    EXPECT_EQ(t->CompareStored(source.get(), target.get()), 0);
    Variant out;
    t->BufferToVariant(target.get(), out);
    t->FinalizeValue(source.get());
    t->FinalizeValue(target.get());
    return out;
}

int compareStored(TkvValueTypeClass t, const Variant &a, const Variant &b) {
    Slot x, y;
    t->VariantToBuffer(x.get(), a);
    t->VariantToBuffer(y.get(), b);
    int result = t->CompareStored(x.get(), y.get());
    t->FinalizeValue(x.get());
    t->FinalizeValue(y.get());
    return result;
}

using Bytes = std::vector<unsigned char>;

class TMyValueTypeX : public TkvIntegerValueType {
    CL_CLASS(TMyValueTypeX, TkvIntegerValueType)
};

class TWatched : public TObject {
    CL_CLASS(TWatched, TObject)
public:
    bool *destroyed = nullptr;

protected:
    void Destroy() override {
        *destroyed = true;
        inherited::Destroy();
    }
};

} // namespace

TEST(KvValueTypes, AValueFillsItsSizeAndComesBackAsItsVariantType) {
    EXPECT_EQ(type<TkvDateTimeValueType>()->ShortTypeName(), L"DateTime");
    EXPECT_EQ(type<TkvValueType>()->ShortTypeName(), L"");
    EXPECT_EQ(type<TkvValueType>()->ValueSize(), 0);
    struct Probe {
        TkvValueTypeClass t;
        Variant value;
    } probes[] = {
        {type<TkvStringValueType>(), Variant(L"text")},     {type<TkvWideStringValueType>(), Variant(L"wide")},
        {type<TkvSmallintValueType>(), Variant(-1)},        {type<TkvIntegerValueType>(), Variant(-1)},
        {type<TkvWordValueType>(), Variant(65535)},         {type<TkvBooleanValueType>(), Variant(true)},
        {type<TkvFloatValueType>(), Variant(-0.1)},         {type<TkvCurrencyValueType>(), Variant(-0.1)},
        {type<TkvDateTimeValueType>(), Variant(-0.1)},      {type<TkvLargeIntValueType>(), Variant(-1)},
        {type<TkvVariantValueType>(), Variant(L"boxed")},
    };
    for (const Probe &p : probes) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(p.t->ClassName())));
        // Slots start zeroed; the values have no zero byte, so writing past the size shows.
        Slot slot, zero;
        p.t->VariantToBuffer(slot.get(), p.value);
        const int size = p.t->ValueSize();
        ASSERT_GT(size, 0);
        EXPECT_EQ(std::memcmp(slot.bytes + size, zero.bytes + size, sizeof slot.bytes - size), 0);
        EXPECT_NE(slot.bytes[size - 1], 0);
        Variant out;
        p.t->BufferToVariant(slot.get(), out);
        p.t->FinalizeValue(slot.get());
        if (p.t != type<TkvVariantValueType>()) {
            EXPECT_EQ(out.VarType(), p.t->VariantTypeCode());
            EXPECT_EQ(p.t->IsStringType(), out.VarType() == varString || out.VarType() == varOleStr);
        } else {
            EXPECT_FALSE(p.t->IsStringType());
        }
    }
}

TEST(KvValueTypes, NameWithoutPrefixLosesOnlyValueType) {
    EXPECT_EQ(ValueTypeClass<TMyValueTypeX>()->ShortTypeName(), L"TMyX");
}

TEST(KvValueTypes, StringSlotsOrderAbsentFirst) {
    TkvValueTypeClass t = type<TkvStringValueType>();
    Slot none, other, value;
    t->VariantToBuffer(value.get(), Variant(L"a"));
    EXPECT_EQ(t->CompareStored(none.get(), value.get()), -1);
    EXPECT_EQ(t->CompareStored(value.get(), none.get()), 1);
    EXPECT_EQ(t->CompareStored(none.get(), other.get()), 0);
    Variant out;
    t->BufferToVariant(none.get(), out);
    EXPECT_EQ(out.VarType(), varString);
    EXPECT_EQ(out.AsWideString(), L"");
    t->FinalizeValue(value.get());
    EXPECT_EQ(t->ResolveValuePointer(value.get()), nullptr);
    t->FinalizeValue(value.get()); // twice is harmless
    EXPECT_EQ(compareStored(t, Variant(L"B"), Variant(L"a")), -1); // ordinal
    EXPECT_EQ(compareStored(type<TkvWideStringValueType>(), Variant(L"\u4e2d"), Variant(L"z")), 1);
    EXPECT_EQ(viaSlot(type<TkvWideStringValueType>(), Variant(L"\u4e2d\u6587")).AsWideString(), L"\u4e2d\u6587");
    EXPECT_EQ(viaSlot(t, Variant(12)).AsWideString(), L"12");
    EXPECT_THROW(viaSlot(t, Variant::Null()), EVariantError);

    // The value pointer of a by-reference type is its cell.
    std::wstring cell = L"held";
    type<TkvWideStringValueType>()->ValueAsVariant(&cell, out);
    EXPECT_EQ(out.AsWideString(), L"held");
}

TEST(KvValueTypes, IntegerOrdersAtTheLimits) {
    TkvValueTypeClass t = type<TkvIntegerValueType>();
    EXPECT_LT(compareStored(t, Variant(std::numeric_limits<std::int32_t>::min()), Variant(1)), 0);
    EXPECT_GT(compareStored(t, Variant(std::numeric_limits<std::int32_t>::max()), Variant(-1)), 0);
    EXPECT_LT(compareStored(type<TkvSmallintValueType>(), Variant(-32768), Variant(32767)), 0);
    EXPECT_GT(compareStored(type<TkvWordValueType>(), Variant(65535), Variant(0)), 0);
    EXPECT_LT(compareStored(type<TkvLargeIntValueType>(), Variant(std::numeric_limits<std::int64_t>::min()),
                            Variant(std::int64_t{0})), 0);
    EXPECT_GT(compareStored(type<TkvLargeIntValueType>(), Variant(std::int64_t{0x100000000}), Variant(std::int64_t{0xFFFFFFFF})), 0);
    EXPECT_LT(compareStored(type<TkvCurrencyValueType>(), Variant(-0.0001), Variant(0)), 0);
    EXPECT_LT(compareStored(type<TkvBooleanValueType>(), Variant(false), Variant(true)), 0);
    EXPECT_THROW(viaSlot(type<TkvSmallintValueType>(), Variant(40000)), EVariantError);
    EXPECT_THROW(viaSlot(type<TkvWordValueType>(), Variant(-1)), EVariantError);
    EXPECT_THROW(viaSlot(t, Variant(std::int64_t{1} << 40)), EVariantError);
    EXPECT_THROW(viaSlot(t, Variant(L"12x")), EVariantError);
}

TEST(KvValueTypes, FloatsAndDates) {
    TkvValueTypeClass f = type<TkvFloatValueType>();
    double nan = std::nan("");
    EXPECT_EQ(compareStored(f, Variant(1.5), Variant(1.5)), 0);
    EXPECT_EQ(compareStored(f, Variant(2.0), Variant(1.5)), 1);
    EXPECT_EQ(compareStored(f, Variant(-2.0), Variant(1.5)), -1);
    EXPECT_EQ(compareStored(f, Variant(nan), Variant(nan)), 0);
    EXPECT_EQ(compareStored(f, Variant(nan), Variant(-1e308)), -1);
    EXPECT_EQ(compareStored(f, Variant(-1e308), Variant(nan)), 1);
    // The edit value of a number editor is a variant holding a double.
    EXPECT_EQ(viaSlot(f, Variant(L"2.5")).VarType(), varDouble);
    EXPECT_EQ(viaSlot(type<TkvCurrencyValueType>(), Variant(1.23456)).AsCurrency(), 12346);
    TkvValueTypeClass d = type<TkvDateTimeValueType>();
    Slot slot;
    d->VariantToBuffer(slot.get(), Variant::OfDate(45000.5));
    EXPECT_EQ(d->FormatDisplayText(slot.get()), L"2023-03-15 12:00:00");
    EXPECT_EQ(compareStored(d, Variant::OfDate(2), Variant::OfDate(1)), 1);
}

TEST(KvValueTypes, DisplayTexts) {
    TkvValueTypeClass t = type<TkvIntegerValueType>();
    Slot value, text, empty;
    t->VariantToBuffer(value.get(), Variant(-5));
    EXPECT_EQ(t->FormatDisplayText(value.get()), L"-5");
    EXPECT_EQ(type<TkvBooleanValueType>()->FormatDisplayText(value.get()), L"True");
    EXPECT_EQ(type<TkvValueType>()->FormatDisplayText(value.get()), L""); // Null has no text
    EXPECT_EQ(t->DisplayTextFromBuffer(text.get()), L"");
    t->StoreDisplayText(text.get(), L"\u00e9\u4e2d");
    t->StoreDisplayText(text.get(), L"x\u4e2d");
    EXPECT_EQ(t->DisplayTextFromBuffer(text.get()), L"x\u4e2d");

    TOwned<TMemoryStream> stream(New<TMemoryStream>());
    t->SaveDisplayTextToStream(text.get(), *stream);
    t->SaveDisplayTextToStream(empty.get(), *stream);
    EXPECT_EQ(stream->Size(), 4 + 4 + 4);
    stream->SetPosition(0);
    Slot back, backEmpty;
    t->LoadDisplayTextFromStream(back.get(), *stream);
    t->LoadDisplayTextFromStream(backEmpty.get(), *stream);
    EXPECT_EQ(t->DisplayTextFromBuffer(back.get()), L"x\u4e2d");
    EXPECT_EQ(t->DisplayTextFromBuffer(backEmpty.get()), L"");
    EXPECT_THROW(t->LoadDisplayTextFromStream(back.get(), *stream), EReadError);
    for (Slot *s : {&text, &back, &backEmpty}) {
        t->DisposeDisplayText(s->get());
        EXPECT_EQ(t->DisplayTextFromBuffer(s->get()), L"");
    }
}

TEST(KvValueTypes, StreamForms) {
    EXPECT_EQ(saved(type<TkvSmallintValueType>(), Variant(-2)), (Bytes{0xFE, 0xFF}));
    EXPECT_EQ(saved(type<TkvWordValueType>(), Variant(65535)), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(saved(type<TkvIntegerValueType>(), Variant(1)), (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(saved(type<TkvBooleanValueType>(), Variant(true)), (Bytes{1}));
    EXPECT_EQ(saved(type<TkvFloatValueType>(), Variant(1.0)), (Bytes{0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
    EXPECT_EQ(saved(type<TkvCurrencyValueType>(), Variant(1)), (Bytes{0x10, 0x27, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(saved(type<TkvLargeIntValueType>(), Variant(std::int64_t{-1})), Bytes(8, 0xFF));
    EXPECT_EQ(saved(type<TkvStringValueType>(), Variant(L"ab")), (Bytes{2, 0, 0, 0, 'a', 'b'}));
    EXPECT_EQ(saved(type<TkvWideStringValueType>(), Variant(L"a")), (Bytes{1, 0, 0, 0, 'a', 0}));
    EXPECT_EQ(saved(type<TkvVariantValueType>(), Variant(127)), (Bytes{2, 0x7F}));
    EXPECT_EQ(saved(type<TkvObjectValueType>(), Variant(0)), Bytes{});

    EXPECT_EQ(reloaded(type<TkvIntegerValueType>(), Variant(std::numeric_limits<std::int32_t>::min())).AsInteger(),
              std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(reloaded(type<TkvFloatValueType>(), Variant(0.1)).AsDouble(), 0.1);
    EXPECT_EQ(reloaded(type<TkvDateTimeValueType>(), Variant::OfDate(-1.25)).AsDate(), -1.25);
    EXPECT_EQ(reloaded(type<TkvLargeIntValueType>(), Variant(std::numeric_limits<std::int64_t>::max())).AsInt64(),
              std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(reloaded(type<TkvWideStringValueType>(), Variant(std::wstring(L"\u4e2d\0x", 3))).AsWideString(),
              std::wstring(L"\u4e2d\0x", 3));
    EXPECT_EQ(reloaded(type<TkvStringValueType>(), Variant(std::string(1000, 'q'))).AsAnsiString(), std::string(1000, 'q'));
    EXPECT_EQ(CompareVariantValues(reloaded(type<TkvVariantValueType>(), Variant::ArrayOf({1, L"x", Variant::Null()})),
                                   Variant::ArrayOf({1, L"x", Variant::Null()})), 0);
    EXPECT_TRUE(std::isnan(reloaded(type<TkvFloatValueType>(), Variant(std::nan(""))).AsDouble()));
}

TEST(KvValueTypes, TruncatedStreamsRaiseReadErrors) {
    TkvValueTypeClass types[] = {type<TkvSmallintValueType>(), type<TkvIntegerValueType>(), type<TkvFloatValueType>(),
                                 type<TkvStringValueType>(),   type<TkvWideStringValueType>(), type<TkvVariantValueType>(),
                                 type<TkvLargeIntValueType>(), type<TkvDateTimeValueType>()};
    for (TkvValueTypeClass t : types) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(t->ClassName())));
        TOwned<TMemoryStream> stream(New<TMemoryStream>());
        stream->WriteBuffer("\x05", 1);
        stream->SetPosition(0);
        Slot slot;
        EXPECT_THROW(t->LoadValueFromStream(slot.get(), *stream), EReadError);
        t->FinalizeValue(slot.get());
    }
}

TEST(KvValueTypes, VariantSlots) {
    TkvValueTypeClass t = type<TkvVariantValueType>();
    Slot none, value;
    t->VariantToBuffer(value.get(), Variant::Null());
    EXPECT_EQ(t->CompareStored(none.get(), value.get()), -1); // no cell before a Null cell
    EXPECT_EQ(t->CompareStored(value.get(), none.get()), 1);
    EXPECT_EQ(t->CompareStored(none.get(), none.get()), 0);
    t->VariantToBuffer(value.get(), Variant(L"kept"));
    const void *cell = t->ResolveValuePointer(value.get());
    t->VariantToBuffer(value.get(), Variant(3.5)); // the cell is reused
    EXPECT_EQ(t->ResolveValuePointer(value.get()), cell);
    Variant out;
    t->BufferToVariant(value.get(), out);
    EXPECT_EQ(out.AsDouble(), 3.5);
    t->FinalizeValue(value.get());
    EXPECT_EQ(t->ResolveValuePointer(value.get()), nullptr);
}

TEST(KvValueTypes, Compatibility) {
    EXPECT_TRUE(type<TkvIntegerValueType>()->IsVariantCompatible(Variant::Null()));
    EXPECT_TRUE(type<TkvIntegerValueType>()->IsVariantCompatible(Variant(L"12")));
    EXPECT_FALSE(type<TkvIntegerValueType>()->IsVariantCompatible(Variant(L"twelve")));
    EXPECT_FALSE(type<TkvSmallintValueType>()->IsVariantCompatible(Variant(70000)));
    EXPECT_TRUE(type<TkvVariantValueType>()->IsVariantCompatible(Variant::ArrayOf({})));
    EXPECT_TRUE(type<TkvFloatValueType>()->IsVariantCompatible(Variant(true)));
    EXPECT_FALSE(type<TkvDateTimeValueType>()->IsVariantCompatible(Variant(L"someday")));
}

TEST(KvValueTypes, ObjectSlotsOwnTheirObject) {
    bool destroyed = false;
    TWatched *object = New<TWatched>();
    object->destroyed = &destroyed;
    Slot slot;
    std::memcpy(slot.bytes, &object, sizeof object);
    type<TkvObjectValueType>()->FinalizeValue(slot.get());
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(type<TkvObjectValueType>()->ResolveValuePointer(slot.get()), slot.get());
    type<TkvObjectValueType>()->FinalizeValue(slot.get()); // the slot was cleared
}

TEST(KvValueTypes, ClassListAndUnit) {
    UnitScope units{&kvDataStorageUnit};
    TkvValueTypeClassList *list = kvValueTypeClassList();
    ASSERT_EQ(list->Count(), 14);
    EXPECT_EQ(list->Items(10), type<TkvFMTBcdValueType>());
    EXPECT_EQ(list->Items(11), type<TkvSQLTimeStampValueType>());
    EXPECT_EQ(list->Items(0), type<TkvStringValueType>());
    EXPECT_EQ(list->Items(13), type<TkvObjectValueType>());
    EXPECT_EQ(list->ItemByName(L"TkvFloatValueType"), type<TkvFloatValueType>());
    EXPECT_EQ(list->ItemByName(L"TkvNoSuchValueType"), nullptr);
    list->Register(type<TkvFloatValueType>()); // once only
    EXPECT_EQ(list->Count(), 14);
    list->Unregister(type<TkvFloatValueType>());
    EXPECT_EQ(list->Count(), 13);
    list->Unregister(type<TkvFloatValueType>());
    list->Register(type<TkvFloatValueType>());
    EXPECT_EQ(list->Items(13), type<TkvFloatValueType>());
    EXPECT_THROW(list->Items(14), EListError);
    EXPECT_THROW(list->Items(-1), EListError);
    EXPECT_THROW(list->Register(nullptr), EInvalidOperation);
    kvDataStorageUnit.Start(); // counted: only the first start registers
    EXPECT_EQ(list->Count(), 14);
    kvDataStorageUnit.Stop();
    EXPECT_EQ(kvValueTypeClassList()->Count(), 14);
}

TEST(KvValueTypes, SQLTimeStamps) {
    TkvValueTypeClass t = type<TkvSQLTimeStampValueType>();
    EXPECT_EQ(t->ValueSize(), 16);
    EXPECT_EQ(t->ShortTypeName(), L"SQLTimeStamp");
    Slot slot;
    t->VariantToBuffer(slot.get(), Variant::OfDate(45000.5 + 1.5 / 86400.0));
    TSQLTimeStamp stamp;
    std::memcpy(&stamp, slot.bytes, sizeof stamp);
    EXPECT_EQ(stamp.Year, 2023);
    EXPECT_EQ(stamp.Month, 3);
    EXPECT_EQ(stamp.Day, 15);
    EXPECT_EQ(stamp.Hour, 12);
    EXPECT_EQ(stamp.Second, 1);
    EXPECT_EQ(stamp.Fractions, 500u);
    Variant out;
    t->BufferToVariant(slot.get(), out);
    EXPECT_EQ(out.VarType(), varDate);
    EXPECT_NEAR(out.AsDate(), 45000.5 + 1.5 / 86400.0, 1e-9);
    // Field by field: a later year wins over an earlier month.
    EXPECT_EQ(compareStored(t, Variant::OfDate(45000), Variant::OfDate(44000)), 1);
    EXPECT_EQ(compareStored(t, Variant::OfDate(45000.25), Variant::OfDate(45000.75)), -1);
    EXPECT_EQ(compareStored(t, Variant::OfDate(45000.25), Variant::OfDate(45000.25)), 0);
    EXPECT_NEAR(reloaded(t, Variant::OfDate(-700.75)).AsDate(), -700.75, 1e-9);
    EXPECT_EQ(saved(t, Variant::OfDate(1)).front(), 17);
    stamp.Month = 13;
    std::memcpy(slot.bytes, &stamp, sizeof stamp);
    EXPECT_THROW(t->BufferToVariant(slot.get(), out), EVariantError);
    EXPECT_EQ(t->FormatDisplayText(slot.get()), L"");
    EXPECT_THROW(t->VariantToBuffer(slot.get(), Variant(1e12)), EVariantError);
    EXPECT_THROW(t->VariantToBuffer(slot.get(), Variant(std::nan(""))), EVariantError);
}
