// The editors' variant order and equality, and the tagged variant stream format.
#include <gtest/gtest.h>

#include <classlib/exceptions.h>
#include <classlib/stream.h>
#include <kvVariants.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> written(const Variant &value) {
    TOwned<TMemoryStream> stream(New<TMemoryStream>());
    WriteVariantToStream(*stream, value);
    auto *bytes = static_cast<const unsigned char *>(stream->Memory());
    return std::vector<unsigned char>(bytes, bytes + stream->Size());
}

Variant roundTrip(const Variant &value) {
    TOwned<TMemoryStream> stream(New<TMemoryStream>());
    WriteVariantToStream(*stream, value);
    stream->SetPosition(0);
    Variant back = ReadVariantFromStream(*stream);
    EXPECT_EQ(stream->Position(), stream->Size());
    return back;
}

Variant readBytes(const std::vector<unsigned char> &bytes) {
    TOwned<TMemoryStream> stream(New<TMemoryStream>());
    stream->WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    stream->SetPosition(0);
    return ReadVariantFromStream(*stream);
}

using Bytes = std::vector<unsigned char>;

} // namespace

TEST(VariantOrder, NullFirstAndScalars) {
    EXPECT_EQ(CompareVariantValues(Variant::Null(), Variant(5)), -1);
    EXPECT_EQ(CompareVariantValues(Variant(5), Variant::Null()), 1);
    EXPECT_EQ(CompareVariantValues(Variant::Null(), Variant::Null()), 0);
    EXPECT_EQ(CompareVariantValues(Variant(3), Variant(4.5)), -1);
    EXPECT_EQ(CompareVariantValues(Variant(L"b"), Variant(L"a")), 1);
    EXPECT_EQ(CompareVariantValues(Variant(L"7"), Variant(7)), 0);
    // Incomparable values give -1 both ways rather than raising.
    EXPECT_EQ(CompareVariantValues(Variant(L"abc"), Variant(1)), -1);
    EXPECT_EQ(CompareVariantValues(Variant(1), Variant(L"abc")), -1);
    EXPECT_EQ(CompareVariantValues(Variant(std::numeric_limits<std::int32_t>::min()),
                                   Variant(std::numeric_limits<std::int32_t>::max())), -1);
    double nan = std::nan("");
    EXPECT_EQ(CompareVariantValues(Variant(nan), Variant(nan)), 0);
    EXPECT_EQ(CompareVariantValues(Variant(nan), Variant(1.0)), -1);
    EXPECT_EQ(CompareVariantValues(Variant(1.0), Variant(nan)), 1);
}

TEST(VariantOrder, Arrays) {
    Variant shortOne = Variant::ArrayOf({9, 9});
    Variant longOne = Variant::ArrayOf({1, 1, 1, 1});
    EXPECT_EQ(CompareVariantValues(longOne, shortOne), 2); // by high bounds only
    EXPECT_EQ(CompareVariantValues(shortOne, longOne), -2);
    EXPECT_EQ(CompareVariantValues(Variant::ArrayOf({1, 2}), Variant::ArrayOf({1, 3})), -1);
    EXPECT_EQ(CompareVariantValues(Variant::ArrayOf({1, Variant::Null()}), Variant::ArrayOf({1, Variant::Null()})), 0);
    EXPECT_EQ(CompareVariantValues(Variant::ArrayOf({}), Variant::ArrayOf({})), 0);
    EXPECT_EQ(CompareVariantValues(Variant::ArrayOf({}), Variant(1)), 1);
    EXPECT_EQ(CompareVariantValues(Variant::Null(), Variant::ArrayOf({})), -1);
}

TEST(VariantOrder, EqualityAndTypeTests) {
    EXPECT_TRUE(VariantsEqual(Variant(true), Variant(L"True")));   // string forms
    EXPECT_FALSE(VariantsEqual(Variant(true), Variant(L"true")));
    EXPECT_FALSE(VariantsEqual(Variant(true), Variant(-1)));      // "True" against "-1"
    EXPECT_TRUE(VariantsEqual(Variant(false), Variant(false)));
    EXPECT_FALSE(VariantsEqual(Variant(true), Variant::Null()));
    EXPECT_FALSE(VariantsEqual(Variant(true), Variant::ArrayOf({})));
    EXPECT_TRUE(VariantsEqual(Variant(2), Variant(2.0)));
    EXPECT_FALSE(VariantsEqual(Variant(L"x"), Variant(2)));

    EXPECT_TRUE(IsDateVarType(varDate));
    EXPECT_FALSE(IsDateVarType(varDouble));
    EXPECT_TRUE(IsDateVariant(Variant::OfDate(1)));
    EXPECT_TRUE(IsNumericVariant(Variant::OfCurrency(1)));
    EXPECT_TRUE(IsNumericVariant(Variant::OfInteger(varByte, 1)));
    EXPECT_FALSE(IsNumericVariant(Variant(L"1")));
    EXPECT_FALSE(IsNumericVariant(Variant(true)));
    EXPECT_TRUE(IsNullOrEmptyVariant(Variant::Null()));
    EXPECT_TRUE(IsNullOrEmptyVariant(Variant(L"")));
    EXPECT_TRUE(IsNullOrEmptyVariant(Variant(std::string())));
    EXPECT_FALSE(IsNullOrEmptyVariant(Variant()));
    EXPECT_FALSE(IsNullOrEmptyVariant(Variant(L" ")));
    EXPECT_FALSE(IsNullOrEmptyVariant(Variant(0)));
}

TEST(VariantStream, CompactIntegers) {
    EXPECT_EQ(written(Variant(127)), (Bytes{2, 0x7F}));
    EXPECT_EQ(written(Variant(128)), (Bytes{3, 0x80, 0}));
    EXPECT_EQ(written(Variant(-128)), (Bytes{2, 0x80}));
    EXPECT_EQ(written(Variant(-32769)), (Bytes{4, 0xFF, 0x7F, 0xFF, 0xFF}));
    EXPECT_EQ(written(Variant::OfInteger(varByte, 255)), (Bytes{3, 0xFF, 0}));
    EXPECT_EQ(readBytes({2, 0xFF}).VarType(), varShortInt);
    EXPECT_EQ(readBytes({3, 0x00, 0x80}).AsInteger(), -32768);
    EXPECT_EQ(readBytes({4, 0, 0, 0, 0x80}).AsInteger(), std::numeric_limits<std::int32_t>::min());
}

TEST(VariantStream, TagsOfEachType) {
    EXPECT_EQ(written(Variant()), (Bytes{13}));
    EXPECT_EQ(written(Variant::Null()), (Bytes{0}));
    EXPECT_EQ(written(Variant(true)), (Bytes{9}));
    EXPECT_EQ(written(Variant(false)), (Bytes{8}));
    EXPECT_EQ(written(Variant(L"A")), (Bytes{18, 1, 0, 0, 0, 'A', 0}));
    EXPECT_EQ(written(Variant(std::string("ab"))), (Bytes{6, 2, 'a', 'b'}));
    EXPECT_EQ(written(Variant(1.0)), (Bytes{5, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
    EXPECT_EQ(written(Variant::OfCurrency(1)), (Bytes{16, 1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(written(Variant::OfSingle(1.0f)), (Bytes{15, 0, 0, 0x80, 0x3F}));
    EXPECT_EQ(written(Variant::OfDate(1.0)).front(), 17);
    // Types without a tag of their own go as their decimal text.
    EXPECT_EQ(written(Variant::OfInteger(varWord, 65535)), (Bytes{6, 5, '6', '5', '5', '3', '5'}));
    EXPECT_EQ(written(Variant(std::int64_t{-1})), (Bytes{6, 2, '-', '1'}));
    EXPECT_EQ(written(Variant::ArrayOf({1, Variant::Null()})), (Bytes{1, 2, 2, 2, 1, 0}));
}

TEST(VariantStream, StringLengths) {
    Bytes shortForm = written(Variant(std::string(255, 'x')));
    EXPECT_EQ(shortForm.size(), 257u);
    EXPECT_EQ(shortForm[0], 6);
    EXPECT_EQ(shortForm[1], 255);
    Bytes longForm = written(Variant(std::string(256, 'x')));
    EXPECT_EQ(longForm.size(), 261u);
    EXPECT_EQ(longForm[0], 12);
    EXPECT_EQ((Bytes(longForm.begin() + 1, longForm.begin() + 5)), (Bytes{0, 1, 0, 0}));
}

TEST(VariantStream, RoundTrips) {
    double nan = std::nan("");
    std::vector<Variant> values = {
        Variant(), Variant::Null(), Variant(0), Variant(-1), Variant(std::numeric_limits<std::int32_t>::max()),
        Variant(std::numeric_limits<std::int32_t>::min()), Variant(0.1), Variant(-1e308), Variant(5e-324),
        Variant(std::numeric_limits<double>::infinity()), Variant::OfCurrency(std::numeric_limits<std::int64_t>::min()),
        Variant::OfDate(45000.75), Variant::OfSingle(0.5f), Variant(true), Variant(false), Variant(L""),
        Variant(std::wstring(L"\u4e2d\u6587\0z", 4)), Variant(std::string(300, '\xE9')),
        Variant::ArrayOf({1, Variant::ArrayOf({L"in", Variant::Null()}), 2.5}), Variant::ArrayOf({})};
    for (const Variant &value : values) {
        SCOPED_TRACE(testing::PrintToString(written(value)));
        Variant back = roundTrip(value);
        // Integers come back as the narrowest integer type that holds them.
        if (value.VarType() != varInteger) {
            EXPECT_EQ(back.VarType(), value.VarType());
        }
        EXPECT_EQ(CompareVariantValues(back, value), 0);
    }
    Variant nanBack = roundTrip(Variant(nan));
    EXPECT_TRUE(std::isnan(nanBack.AsDouble()));
    EXPECT_EQ(roundTrip(Variant::OfCurrency(std::numeric_limits<std::int64_t>::max())).AsCurrency(),
              std::numeric_limits<std::int64_t>::max());
}

TEST(VariantStream, BadInputRaisesReadErrors) {
    std::vector<Bytes> bad = {
        {},                      // nothing
        {7},                     // unknown tag
        {14}, {255},
        {2},                     // short payload
        {4, 1, 2},
        {6, 3, 'a'},
        {12, 0xFF, 0xFF, 0xFF, 0x7F}, // length far beyond the stream
        {12, 0xFF, 0xFF, 0xFF, 0xFF}, // negative length
        {18, 2, 0, 0, 0, 'a', 0},
        {1, 2, 2},               // array short of elements
        {1, 4, 0xFF, 0xFF, 0xFF, 0x7F}, // absurd element count
        {1, 2, 0xFF},            // negative element count
        {1, 9},                  // count not an integer
    };
    for (const Bytes &bytes : bad) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        try {
            readBytes(bytes);
            ADD_FAILURE() << "read succeeded";
        } catch (const EReadError &error) {
            EXPECT_EQ(error.Message(), L"Stream read error");
        }
    }
    Bytes deep; // arrays of one array each, nested far deeper than any saved value
    for (int i = 0; i < 30000; ++i)
        deep.insert(deep.end(), {1, 2, 1});
    deep.push_back(0);
    EXPECT_THROW(readBytes(deep), EReadError);
}

TEST(VariantStream, WriteErrorsKeepWhatWasWritten) {
    TOwned<TMemoryStream> stream(New<TMemoryStream>());
    WriteVariantToStream(*stream, Variant(1));
    try {
        WriteVariantToStream(*stream, Variant::ArrayOfDimensions({2, 2}));
        FAIL();
    } catch (const EWriteError &error) {
        EXPECT_EQ(error.Message(), L"Stream write error");
    }
    EXPECT_EQ(stream->Size(), 2);
    // An inner array of two dimensions fails after the outer header went out.
    EXPECT_THROW(WriteVariantToStream(*stream, Variant::ArrayOf({Variant::ArrayOfDimensions({1, 1})})), EWriteError);
    EXPECT_EQ(stream->Size(), 5);
}

TEST(VariantStream, PlainFields) {
    TOwned<TMemoryStream> stream(New<TMemoryStream>());
    WriteByteToStream(*stream, 0xAB);
    WriteExtendedToStream(*stream, -2.5);
    WriteCurrencyToStream(*stream, -7);
    WriteDateTimeToStream(*stream, 36526.5);
    WriteIntegerToStream(*stream, -3);
    WriteLargeIntToStream(*stream, std::numeric_limits<std::int64_t>::min());
    WriteSmallIntToStream(*stream, -4);
    WriteWordToStream(*stream, 65535);
    WriteAnsiStringToStream(*stream, "abc");
    WriteWideStringToStream(*stream, L"\u00e9t\u00e9");
    EXPECT_EQ(stream->Size(), 1 + 10 + 8 + 8 + 4 + 8 + 2 + 2 + 7 + 10);
    stream->SetPosition(0);
    EXPECT_EQ(ReadByteFromStream(*stream), 0xAB);
    EXPECT_EQ(ReadExtendedFromStream(*stream), -2.5);
    EXPECT_EQ(ReadCurrencyFromStream(*stream), -7);
    EXPECT_EQ(ReadDateTimeFromStream(*stream), 36526.5);
    EXPECT_EQ(ReadIntegerFromStream(*stream), -3);
    EXPECT_EQ(ReadLargeIntFromStream(*stream), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(ReadSmallIntFromStream(*stream), -4);
    EXPECT_EQ(ReadWordFromStream(*stream), 65535);
    EXPECT_EQ(ReadAnsiStringFromStream(*stream), "abc");
    EXPECT_EQ(ReadWideStringFromStream(*stream), L"\u00e9t\u00e9");
    EXPECT_THROW(ReadByteFromStream(*stream), EReadError);
}

TEST(VariantStream, RandomBytesReadOrRaiseReadErrors) {
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<unsigned char>(seed >> 16);
    };
    int read = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes(1 + next() % 48);
        for (unsigned char &b : bytes)
            b = next() % 4 == 0 ? next() % 20 : next(); // plenty of valid tags
        try {
            Variant value = readBytes(bytes);
            ++read;
            // Whatever was read writes back without fault.
            written(value);
        } catch (const EReadError &) {
        }
    }
    EXPECT_GT(read, 0);
}
