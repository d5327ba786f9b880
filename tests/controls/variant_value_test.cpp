// The variant value type: conversions and the library's equality and order.
#include <gtest/gtest.h>

#include <classlib/variant.h>

#include <cmath>
#include <limits>

TEST(VariantValues, TypesOfConstructedValues) {
    EXPECT_EQ(Variant().VarType(), varEmpty);
    EXPECT_EQ(Variant::Null().VarType(), varNull);
    EXPECT_EQ(Variant(5).VarType(), varInteger);
    EXPECT_EQ(Variant(std::int64_t{5}).VarType(), varInt64);
    EXPECT_EQ(Variant(1.5).VarType(), varDouble);
    EXPECT_EQ(Variant(true).VarType(), varBoolean);
    EXPECT_EQ(Variant(L"x").VarType(), varOleStr);
    EXPECT_EQ(Variant(std::string("x")).VarType(), varString);
    EXPECT_EQ(Variant::OfCurrency(15000).VarType(), varCurrency);
    EXPECT_EQ(Variant::OfDate(1).VarType(), varDate);
    EXPECT_EQ(Variant::OfSingle(1).VarType(), varSingle);
    EXPECT_EQ(Variant::ArrayOf({1, 2}).VarType(), varArray | varVariant);
    EXPECT_EQ(Variant::OfInteger(varShortInt, 200).AsInt64(), -56);
    EXPECT_EQ(Variant::OfInteger(varWord, -1).AsInt64(), 65535);
    EXPECT_THROW(Variant::OfInteger(varDouble, 1), EVariantError);
}

TEST(VariantValues, NumberConversions) {
    EXPECT_EQ(Variant(L"42").AsInteger(), 42);
    EXPECT_EQ(Variant(L" -7 ").AsInt64(), -7);
    EXPECT_EQ(Variant(2.5).AsInt64(), 2); // to even
    EXPECT_EQ(Variant(3.5).AsInt64(), 4);
    EXPECT_EQ(Variant(true).AsInteger(), -1);
    EXPECT_EQ(Variant().AsInteger(), 0);
    EXPECT_DOUBLE_EQ(Variant::OfCurrency(12345).AsDouble(), 1.2345);
    EXPECT_EQ(Variant(1.23456).AsCurrency(), 12346);
    EXPECT_EQ(Variant(7).AsCurrency(), 70000);
    EXPECT_EQ(Variant(std::numeric_limits<std::int64_t>::max()).AsInt64(), std::numeric_limits<std::int64_t>::max());
    EXPECT_THROW(Variant(std::numeric_limits<std::int64_t>::max()).AsInteger(), EVariantError);
    EXPECT_THROW(Variant(std::numeric_limits<std::int64_t>::max()).AsCurrency(), EVariantError);
    EXPECT_THROW(Variant(1e300).AsInt64(), EVariantError);
    EXPECT_THROW(Variant(std::nan("")).AsInt64(), EVariantError);
    EXPECT_THROW(Variant(L"abc").AsDouble(), EVariantError);
    EXPECT_THROW(Variant::Null().AsInteger(), EVariantError);
    EXPECT_THROW(Variant(3000000000LL).ConvertTo(varInteger), EVariantError);
    EXPECT_THROW(Variant(300).ConvertTo(varByte), EVariantError);
    EXPECT_EQ(Variant(200).ConvertTo(varByte).VarType(), varByte);
    try {
        Variant(L"abc").AsDouble();
        FAIL();
    } catch (const EVariantError &error) {
        EXPECT_EQ(error.Message(), L"Could not convert variant of type (OleStr) into type (Double)");
    }
}

TEST(VariantValues, StringForms) {
    EXPECT_EQ(Variant(true).AsWideString(), L"True");
    EXPECT_EQ(Variant(false).AsWideString(), L"False");
    EXPECT_EQ(Variant(-12).AsWideString(), L"-12");
    EXPECT_EQ(Variant(0.1).AsWideString(), L"0.1");
    EXPECT_EQ(Variant(1e20).AsWideString(), L"1E+20");
    EXPECT_EQ(Variant::OfCurrency(-12500).AsWideString(), L"-1.25");
    EXPECT_EQ(Variant::OfCurrency(std::numeric_limits<std::int64_t>::min()).AsWideString(), L"-922337203685477.5808");
    EXPECT_EQ(Variant::OfDate(0).AsWideString(), L"1899-12-30");
    EXPECT_EQ(Variant::OfDate(45000.5).AsWideString(), L"2023-03-15 12:00:00");
    EXPECT_EQ(Variant::OfDate(-1.25).AsWideString(), L"1899-12-29 06:00:00");
    EXPECT_EQ(Variant().AsWideString(), L"");
    EXPECT_THROW(Variant::Null().AsWideString(), EVariantError);
    EXPECT_EQ(Variant(L"true").AsBoolean(), true);
    EXPECT_EQ(Variant(L"0").AsBoolean(), false);
    EXPECT_THROW(Variant(L"maybe").AsBoolean(), EVariantError);
    EXPECT_EQ(Variant(std::string("abc")).AsWideString(), L"abc");
}

TEST(VariantValues, EqualityAndOrder) {
    EXPECT_TRUE(Variant::Equal(Variant::Null(), Variant::Null()));
    EXPECT_FALSE(Variant::Equal(Variant::Null(), Variant(0)));
    EXPECT_FALSE(Variant::Greater(Variant(1), Variant::Null()));
    EXPECT_TRUE(Variant::Equal(Variant(L"10"), Variant(10)));          // string against number: numbers
    EXPECT_TRUE(Variant::Greater(Variant(L"10"), Variant(9)));
    EXPECT_TRUE(Variant::Greater(Variant(L"b"), Variant(std::string("a"))));
    EXPECT_FALSE(Variant::Equal(Variant(L"a"), Variant(L"A")));
    EXPECT_TRUE(Variant::Equal(Variant(1), Variant(1.0)));
    EXPECT_TRUE(Variant::Equal(Variant::OfCurrency(10000), Variant(1)));
    EXPECT_TRUE(Variant::Greater(Variant(true), Variant(false)));
    EXPECT_TRUE(Variant::Equal(Variant(), Variant(0)));
    EXPECT_TRUE(Variant::Equal(Variant(), Variant(L"")));
    EXPECT_TRUE(Variant::Greater(Variant(std::numeric_limits<std::int64_t>::max()),
                                 Variant(std::numeric_limits<std::int64_t>::max() - 1))); // not through double
    EXPECT_THROW(Variant::Equal(Variant(L"abc"), Variant(1)), EVariantError);
    EXPECT_THROW(Variant::Equal(Variant::ArrayOf({}), Variant(1)), EVariantError);
    double nan = std::nan("");
    EXPECT_TRUE(Variant::Equal(Variant(nan), Variant(nan)));
    EXPECT_TRUE(Variant::Greater(Variant(0.0), Variant(nan)));
    EXPECT_FALSE(Variant::Greater(Variant(nan), Variant(-1e308)));
}

TEST(VariantValues, ArraysCopyTheirElements) {
    Variant a = Variant::ArrayOf({1, L"two"});
    Variant b = a;
    b[0] = Variant(5);
    EXPECT_EQ(a[0].AsInteger(), 1);
    EXPECT_EQ(b[0].AsInteger(), 5);
    EXPECT_EQ(a.HighBound(1), 1);
    EXPECT_THROW(a[2], EVariantError);
    EXPECT_THROW(a.HighBound(2), EVariantError);
    EXPECT_THROW(Variant(1)[0], EVariantError);
    Variant grid = Variant::ArrayOfDimensions({2, 3});
    EXPECT_EQ(grid.DimCount(), 2);
    EXPECT_EQ(grid.HighBound(2), 2);
    EXPECT_THROW(Variant::ArrayOfDimensions({-1}), EVariantError);
    EXPECT_THROW(Variant::ArrayOfDimensions({}), EVariantError);
}

TEST(VariantValues, DateParts) {
    TDateTimeParts p{};
    ASSERT_TRUE(TryDecodeDateTime(0, p));
    EXPECT_EQ(p.year * 10000 + p.month * 100 + p.day, 18991230);
    ASSERT_TRUE(TryDecodeDateTime(-693593.0, p));
    EXPECT_EQ(p.year * 10000 + p.month * 100 + p.day, 10101);
    ASSERT_TRUE(TryDecodeDateTime(2958465.999, p));
    EXPECT_EQ(p.year * 10000 + p.month * 100 + p.day, 99991231);
    EXPECT_FALSE(TryDecodeDateTime(2958466.0, p));
    EXPECT_FALSE(TryDecodeDateTime(std::nan(""), p));
    for (double value : {0.0, 1.5, -1.25, 45000.123, 60.0, 61.0, -693593.0, 2958465.5}) {
        ASSERT_TRUE(TryDecodeDateTime(value, p));
        double back = 0;
        ASSERT_TRUE(TryEncodeDateTime(p, back));
        EXPECT_NEAR(back, value, 1e-8) << value;
    }
    double out = 0;
    EXPECT_TRUE(TryEncodeDateTime({2024, 2, 29, 0, 0, 0, 0}, out));
    EXPECT_FALSE(TryEncodeDateTime({2023, 2, 29, 0, 0, 0, 0}, out));
    EXPECT_FALSE(TryEncodeDateTime({1900, 2, 29, 0, 0, 0, 0}, out));
    EXPECT_FALSE(TryEncodeDateTime({2023, 13, 1, 0, 0, 0, 0}, out));
    EXPECT_FALSE(TryEncodeDateTime({2023, 1, 1, 24, 0, 0, 0}, out));
    EXPECT_FALSE(TryEncodeDateTime({0, 1, 1, 0, 0, 0, 0}, out));
    EXPECT_TRUE(TryEncodeDateTime({1899, 12, 30, 0, 0, 0, 0}, out));
    EXPECT_EQ(out, 0.0);
}
