// The decimal number value type and the time-stamp variant type: conversions, order, display
// text and the stream form of both, through the value-type classes.
#include <gtest/gtest.h>

#include <classlib/bcd.h>
#include <classlib/stream.h>
#include <classlib/string_utils.h>

#include <cstring>
#include <string>

#include "kvDataStorage.h"
#include "kvVariants.h"

namespace {

std::wstring localized(std::wstring text) {
    for (wchar_t &c : text)
        if (c == L'.')
            c = FormatSettings().DecimalSeparator;
    return text;
}

TBcd bcd(const wchar_t *text) {
    TBcd value{};
    EXPECT_TRUE(TryStrToBcd(localized(text), value)) << WideToUtf8(text);
    return value;
}

struct Slot {
    alignas(8) unsigned char bytes[64] = {};
    void *get() { return bytes; }
};

} // namespace

TEST(KvBcd, TextAndNumbersRoundTrip) {
    EXPECT_EQ(BcdToStr(bcd(L"0012.3400")), localized(L"12.34"));
    EXPECT_EQ(BcdToStr(bcd(L"-0.000")), L"0");
    EXPECT_EQ(BcdToStr(bcd(L" +7 ")), L"7");
    EXPECT_EQ(BcdToStr(bcd(L".5")), localized(L"0.5"));
    std::wstring sixtyFour(64, L'9');
    EXPECT_EQ(BcdToStr(bcd(sixtyFour.c_str())), sixtyFour);
    TBcd out{};
    EXPECT_FALSE(TryStrToBcd(sixtyFour + L"9", out));
    EXPECT_FALSE(TryStrToBcd(L"1e5", out));
    EXPECT_FALSE(TryStrToBcd(L"", out));
    EXPECT_FALSE(TryStrToBcd(L"-", out));
    EXPECT_EQ(BcdToStr(IntegerToBcd(INT64_MIN)), L"-9223372036854775808");
    ASSERT_TRUE(TryDoubleToBcd(-1234.5, out));
    EXPECT_EQ(BcdToStr(out), localized(L"-1234.5"));
    ASSERT_TRUE(TryDoubleToBcd(1e-20, out));
    EXPECT_EQ(BcdToStr(out), localized(L"0.00000000000000000001"));
    EXPECT_FALSE(TryDoubleToBcd(1e70, out));
    double d = 0;
    ASSERT_TRUE(TryBcdToDouble(bcd(L"-2.25"), d));
    EXPECT_DOUBLE_EQ(d, -2.25);

    // Damaged records are refused, not read.
    TBcd broken = bcd(L"12");
    broken.Fraction[0] = 0xAF;
    EXPECT_FALSE(IsValidBcd(broken));
    EXPECT_EQ(BcdToStr(broken), L"");
    EXPECT_FALSE(TryBcdToDouble(broken, d));
    broken = bcd(L"12");
    broken.SignSpecialPlaces = 5; // more places than digits
    EXPECT_FALSE(IsValidBcd(broken));
    broken.Precision = 200;
    EXPECT_FALSE(IsValidBcd(broken));
}

TEST(KvBcd, OrderByValue) {
    EXPECT_EQ(BcdCompare(bcd(L"1.50"), bcd(L"1.5")), 0);
    EXPECT_EQ(BcdCompare(bcd(L"-0"), bcd(L"0")), 0);
    EXPECT_EQ(BcdCompare(bcd(L"10"), bcd(L"9.99")), 1);
    EXPECT_EQ(BcdCompare(bcd(L"-10"), bcd(L"-9.99")), -1);
    EXPECT_EQ(BcdCompare(bcd(L"0.123"), bcd(L"0.12")), 1);
    EXPECT_EQ(BcdCompare(bcd(L"-1"), bcd(L"0.001")), -1);
    TBcd broken = bcd(L"1");
    broken.Precision = 99;
    EXPECT_EQ(BcdCompare(broken, bcd(L"-5")), -1);
    EXPECT_EQ(BcdCompare(bcd(L"-5"), broken), 1);
}

TEST(KvBcd, VariantsOfTheLibraryTypes) {
    Variant v = Variant::OfBcd(bcd(L"12.5"));
    EXPECT_EQ(v.VarType(), varFMTBcd);
    EXPECT_DOUBLE_EQ(v.AsDouble(), 12.5);
    EXPECT_EQ(v.AsInt64(), 12); // half to even
    EXPECT_EQ(v.AsWideString(), localized(L"12.5"));
    EXPECT_EQ(v.AsCurrency(), 125000);
    EXPECT_TRUE(IsNumericVariant(v));
    EXPECT_FALSE(v.IsNumeric());
    EXPECT_EQ(BcdToStr(Variant::OfCurrency(-12345).AsBcd()), localized(L"-1.2345"));
    EXPECT_EQ(BcdToStr(Variant(localized(L"3.25")).AsBcd()), localized(L"3.25"));
    EXPECT_THROW(Variant(L"abc").AsBcd(), EVariantError);
    EXPECT_EQ(Variant(7).ConvertTo(varFMTBcd).VarType(), varFMTBcd);
    EXPECT_TRUE(Variant::Equal(v, Variant(12.5)));
    EXPECT_TRUE(Variant::Greater(Variant::OfBcd(bcd(L"12.51")), v));
    TBcd broken = bcd(L"1");
    broken.Precision = 99;
    EXPECT_THROW(Variant::OfBcd(broken), EVariantError);

    TSQLTimeStamp stamp{2026, 12, 9, 7, 15, 30, 250};
    Variant s = Variant::OfSQLTimeStamp(stamp);
    EXPECT_EQ(s.VarType(), varSQLTimeStamp);
    EXPECT_TRUE(IsDateVariant(s));
    double expected = 0;
    ASSERT_TRUE(TrySQLTimeStampToDateTime(stamp, expected));
    EXPECT_DOUBLE_EQ(s.AsDate(), expected);
    EXPECT_EQ(s.AsWideString(), L"2026-12-09 07:15:30");
    TSQLTimeStamp back = Variant::OfDate(expected).AsSQLTimeStamp();
    EXPECT_EQ(std::memcmp(&back, &stamp, sizeof stamp), 0);
    stamp.Month = 13;
    EXPECT_THROW(Variant::OfSQLTimeStamp(stamp), EVariantError);
    EXPECT_THROW(Variant(L"abc").AsSQLTimeStamp(), EVariantError);
    // On a stream the time stamp is a date-time.
    TOwned<TMemoryStream> stream(New<TMemoryStream>());
    WriteVariantToStream(*stream, s);
    EXPECT_EQ(stream->Memory()[0], 17);
}

TEST(KvBcd, ValueTypes) {
    TkvValueTypeClass t = ValueTypeClass<TkvFMTBcdValueType>();
    EXPECT_EQ(t->ValueSize(), 34);
    EXPECT_EQ(t->VariantTypeCode(), varFMTBcd);
    EXPECT_EQ(t->ShortTypeName(), L"FMTBcd");
    EXPECT_TRUE(t->IsVariantCompatible(Variant(localized(L"1.5"))));
    EXPECT_FALSE(t->IsVariantCompatible(Variant(L"x")));
    Slot a, b;
    t->VariantToBuffer(a.get(), Variant(localized(L"-3.75")));
    t->VariantToBuffer(b.get(), Variant(2));
    EXPECT_EQ(t->CompareStored(a.get(), b.get()), -1);
    EXPECT_EQ(t->CompareStored(b.get(), a.get()), 1);
    EXPECT_EQ(t->FormatDisplayText(a.get()), localized(L"-3.75"));
    Variant out;
    t->BufferToVariant(a.get(), out);
    EXPECT_EQ(out.VarType(), varFMTBcd);

    // Saved as its text in the tagged form, read back to the same value.
    TOwned<TMemoryStream> stream(New<TMemoryStream>());
    t->SaveValueToStream(a.get(), *stream);
    EXPECT_EQ(stream->Memory()[0], 6);
    stream->SetPosition(0);
    Slot c;
    t->LoadValueFromStream(c.get(), *stream);
    EXPECT_EQ(t->CompareStored(a.get(), c.get()), 0);

    // A damaged slot shows nothing and refuses to become a variant.
    a.bytes[2] = 0xFF;
    EXPECT_EQ(t->FormatDisplayText(a.get()), L"");
    EXPECT_THROW(t->BufferToVariant(a.get(), out), EVariantError);

    TkvValueTypeClass s = ValueTypeClass<TkvSQLTimeStampValueType>();
    EXPECT_EQ(s->VariantTypeCode(), varSQLTimeStamp);
    Slot stampSlot;
    s->VariantToBuffer(stampSlot.get(), Variant::OfSQLTimeStamp(TSQLTimeStamp{2000, 2, 29, 23, 59, 59, 999}));
    TSQLTimeStamp stored;
    std::memcpy(&stored, stampSlot.bytes, sizeof stored);
    EXPECT_EQ(stored.Day, 29);
    EXPECT_EQ(stored.Fractions, 999u);
    s->BufferToVariant(stampSlot.get(), out);
    EXPECT_EQ(out.VarType(), varDate);
    EXPECT_TRUE(s->IsVariantCompatible(Variant::OfDate(1)));
}

TEST(KvBcd, RegisteredBetweenLargeIntAndTimeStamp) {
    UnitScope units{&kvDataStorageUnit};
    TkvValueTypeClassList *list = kvValueTypeClassList();
    ASSERT_EQ(list->Count(), 14);
    EXPECT_EQ(list->Items(9), ValueTypeClass<TkvLargeIntValueType>());
    EXPECT_EQ(list->Items(10), ValueTypeClass<TkvFMTBcdValueType>());
    EXPECT_EQ(list->Items(11), ValueTypeClass<TkvSQLTimeStampValueType>());
}
