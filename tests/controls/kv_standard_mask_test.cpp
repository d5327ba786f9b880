// The standard edit mask: compiled items, template and empty string, fitting texts into the
// mask, the value form and completeness, with each trailer form, and any text fed to any mask.
#include <gtest/gtest.h>

#include <classlib/exceptions.h>
#include <classlib/string_utils.h>

#include <cstdint>
#include <string>

#include "kvStandardMask.h"

namespace {

struct Mask {
    TOwned<TkvStandardMask> mask{New<TkvStandardMask>()};
    explicit Mask(const std::wstring &text) { mask->SetMask(text); }
    std::wstring format(std::wstring text, bool converted = true, bool ignoreSave = true) const {
        mask->FormatText(text, converted, ignoreSave);
        return text;
    }
    std::wstring strip(std::wstring text) const {
        mask->StripBlanks(text);
        return text;
    }
    // One letter per item: literal L, then by class 0 digit, # sign, A alpha, N alphanumeric,
    // C any; lower case when optional.
    std::wstring shape() const {
        std::wstring s;
        for (int i = 0; i < mask->ItemCount(); ++i) {
            auto *item = mask->Items(i);
            wchar_t k = L'?';
            if (Is<TkvStandardMaskLiteralItem>(item))
                k = L'L';
            else if (Is<TkvStandardMaskNumericSymbolItem>(item))
                k = L'#';
            else if (Is<TkvStandardMaskNumericItem>(item))
                k = L'0';
            else if (Is<TkvStandardMaskAlphaNumericItem>(item))
                k = L'N';
            else if (Is<TkvStandardMaskAlphaItem>(item))
                k = L'A';
            else if (Is<TkvStandardMaskASCIIItem>(item))
                k = L'C';
            if (auto *many = dynamic_cast<TkvStandardMaskManyItem *>(item); many && many->Optional)
                k = static_cast<wchar_t>(k == L'#' ? L'#' : k + (L'a' - L'A'));
            s += k == L'0' + (L'a' - L'A') ? L'9' : k;
        }
        return s;
    }
};

struct CompileCase {
    const wchar_t *mask;
    const wchar_t *shape;
    const wchar_t *tmpl;
    const wchar_t *empty;
    bool saveLiterals;
    wchar_t blank;
};

} // namespace

TEST(KvStandardMask, CompilesItemsTemplateAndEmptyString) {
    const CompileCase cases[] = {
        {L"", L"", L"", L"", true, L'_'},
        {L"!(999)000-0000;1;_", L"L999L000L0000", L"(___)___-____", L"(   )   -    ", true, L'_'},
        {L"(999) 000-0000", L"L999LL000L0000", L"(___) ___-____", L"(   )    -    ", true, L'_'},
        {L"00;0", L"00", L"__", L"  ", false, L'_'},
        {L"00;1", L"00", L"__", L"  ", true, L'_'},
        {L"0-0;0;*", L"0L0", L"*-*", L"  ", false, L'*'},
        {L"0-0;1; ", L"0L0", L" - ", L" - ", true, L' '},
        // The trailer only as the exact tail: everything after the digits is literal here.
        {L"00;1;_x", L"00LLLLL", L"__;1;_x", L"  ;1;_x", true, L'_'},
        {L"0;2", L"0LL", L"_;2", L" ;2", true, L'_'},
        {L"0;", L"0L", L"_;", L" ;", true, L'_'},
        {L"#lLaAcC", L"#aAnNcC", L"_______", L"       ", true, L'_'},
        {L"\\0\\9\\", L"LL", L"09", L"09", true, L'_'},
        {L"!!0", L"L0", L"!_", L"! ", true, L'_'},
        {L">L<l<>L<", L"AaA", L"___", L"   ", true, L'_'},
    };
    for (const CompileCase &c : cases) {
        SCOPED_TRACE(WideToUtf8(c.mask));
        Mask m(c.mask);
        EXPECT_EQ(m.mask->Mask(), c.mask);
        EXPECT_EQ(m.shape(), c.shape);
        EXPECT_EQ(m.mask->GetTemplate(), c.tmpl);
        EXPECT_EQ(m.mask->GetEmptyString(), c.empty);
        EXPECT_EQ(m.mask->SaveLiteralCharacters(), c.saveLiterals);
        EXPECT_EQ(m.mask->Blank(), c.blank);
    }
    Mask leading(L"!0");
    EXPECT_TRUE(leading.mask->Leading());
    leading.mask->SetMask(L"0");
    EXPECT_FALSE(leading.mask->Leading());
    EXPECT_THROW(leading.mask->Items(1), EListError);
}

TEST(KvStandardMask, SeparatorsAndCaseControl) {
    Mask m(L"00/00:00");
    std::wstring t = m.mask->GetTemplate();
    ASSERT_EQ(t.size(), 8u);
    EXPECT_EQ(t[2], FormatSettings().DateSeparator);
    EXPECT_EQ(t[5], FormatSettings().TimeSeparator);
    EXPECT_EQ(m.format(std::wstring(L"12") + FormatSettings().DateSeparator + L"34"),
              std::wstring(L"12") + FormatSettings().DateSeparator + L"34" + FormatSettings().TimeSeparator + L"__");

    Mask cased(L">LL<ll");
    EXPECT_EQ(cased.format(L"abCD"), L"ABcd");
    // Without converted characters the typed case stays.
    EXPECT_EQ(cased.format(L"abCD", false), L"abCD");
    // The case is converted even for a character the item refuses; the test uses the original.
    wchar_t c = L'1';
    EXPECT_FALSE(cased.mask->Items(0)->Check(c));
    c = L'q';
    EXPECT_TRUE(cased.mask->Items(0)->Check(c));
    EXPECT_EQ(c, L'Q');
}

TEST(KvStandardMask, FormatsTextsIntoTheTemplate) {
    Mask phone(L"!(999)000-0000;1;_");
    EXPECT_EQ(phone.format(L"5551234567"), L"(555)123-4567");
    EXPECT_EQ(phone.format(L"(555)123-4567"), L"(555)123-4567");
    // Letters vanish; blanks and spaces keep their place; a literal in the input lands on its own.
    EXPECT_EQ(phone.format(L"x5y5z5"), L"(555)___-____");
    EXPECT_EQ(phone.format(L"_ 1-2"), L"(__1)___-2___");
    EXPECT_EQ(phone.format(L""), L"(___)___-____");
    EXPECT_EQ(phone.format(L"55512345678999"), L"(555)123-4567");

    // Literals left out of the value: the input is the value form unless told otherwise.
    Mask noLiterals(L"00-00;0;*");
    EXPECT_EQ(noLiterals.format(L"1234", true, false), L"12-34");
    EXPECT_EQ(noLiterals.format(L"12-34", true, false), L"12-34");
    EXPECT_EQ(noLiterals.format(L"1 *4", true, false), L"1*-*4");
    EXPECT_EQ(noLiterals.format(L"12-34", true, true), L"12-34");

    Mask sign(L"#00");
    EXPECT_EQ(sign.format(L"-12"), L"-12");
    EXPECT_EQ(sign.format(L"+1"), L"+1_");
    EXPECT_EQ(sign.format(L" 12"), L"_12");
}

TEST(KvStandardMask, StripsBlanksAndTestsCompleteness) {
    Mask two(L"00;0");
    EXPECT_EQ(two.strip(L"12"), L"12");
    EXPECT_EQ(two.strip(L"1_"), L"1 ");
    EXPECT_EQ(two.strip(L"123"), L"12");

    Mask phone(L"!(999)000-0000;1;_");
    EXPECT_EQ(phone.strip(L"(5_5)123-4567"), L"(5 5)123-4567");
    EXPECT_TRUE(phone.mask->IsComplete(L"(555)123-4567"));
    EXPECT_TRUE(phone.mask->IsComplete(L"(___)123-4567")); // optional digits may stay blank
    EXPECT_TRUE(phone.mask->IsComplete(L"(   )123-4567"));
    EXPECT_FALSE(phone.mask->IsComplete(L"(555)12_-4567"));
    EXPECT_FALSE(phone.mask->IsComplete(L"[555)123-4567"));
    EXPECT_FALSE(phone.mask->IsComplete(L"(555)123-456"));
    EXPECT_FALSE(phone.mask->IsComplete(L"(555)123-45678"));

    Mask noLiterals(L"0-0;0;*");
    EXPECT_EQ(noLiterals.strip(L"1-*"), L"1 ");
    EXPECT_FALSE(noLiterals.mask->IsComplete(L"1-*"));
    EXPECT_TRUE(noLiterals.mask->IsComplete(L"1-2"));

    Mask sign(L"#");
    EXPECT_TRUE(sign.mask->IsComplete(L"_"));
    EXPECT_TRUE(sign.mask->IsComplete(L"+"));
    EXPECT_FALSE(sign.mask->IsComplete(L"x"));

    Mask empty(L"");
    EXPECT_TRUE(empty.mask->IsComplete(L""));
    EXPECT_FALSE(empty.mask->IsComplete(L"a"));
    EXPECT_EQ(empty.format(L"abc"), L"");
    EXPECT_EQ(empty.strip(L"abc"), L"");
}

namespace {

struct Lcg {
    std::uint32_t state;
    std::uint32_t next() { return state = state * 1664525u + 1013904223u; }
    std::uint32_t below(std::uint32_t n) { return (next() >> 8) % n; }
};

wchar_t anyCharacter(Lcg &rng) {
    static const wchar_t pool[] = L"09aZ_ -+()/:;\\!<>#lLaAcC9\0\x4E2D\x6587\xFFFF\xD800";
    switch (rng.below(4)) {
    case 0: return static_cast<wchar_t>(rng.below(0x10000));
    default: return pool[rng.below(sizeof pool / sizeof pool[0])];
    }
}

std::wstring anyText(Lcg &rng, std::uint32_t maxLength) {
    std::wstring s;
    for (std::uint32_t n = rng.below(maxLength + 1); n > 0; --n)
        s += anyCharacter(rng);
    return s;
}

} // namespace

TEST(KvStandardMaskRobustness, AnyTextEndsInTheMaskOrVanishes) {
    Lcg rng{20261209};
    TOwned<TkvStandardMask> mask(New<TkvStandardMask>());
    for (int round = 0; round < 3000; ++round) {
        mask->SetMask(anyText(rng, 24));
        const std::wstring tmpl = mask->GetTemplate();
        ASSERT_EQ(tmpl.size(), static_cast<std::size_t>(mask->ItemCount()));
        for (int k = 0; k < 4; ++k) {
            std::wstring text = anyText(rng, 40);
            std::wstring formatted = text;
            mask->FormatText(formatted, rng.below(2) == 0, rng.below(2) == 0);
            ASSERT_EQ(formatted.size(), tmpl.size());
            // Every position holds its template character or a character its item takes.
            for (std::size_t i = 0; i < formatted.size(); ++i) {
                wchar_t c = formatted[i];
                EXPECT_TRUE(formatted[i] == tmpl[i] || mask->Items(static_cast<int>(i))->Check(c));
            }
            std::wstring stripped = formatted;
            mask->StripBlanks(stripped);
            EXPECT_LE(stripped.size(), formatted.size());
            // Once fitted, fitting again changes nothing.
            std::wstring again = formatted;
            mask->FormatText(again, true, true);
            std::wstring twice = again;
            mask->FormatText(twice, true, true);
            EXPECT_EQ(twice, again);
            (void)mask->IsComplete(text);
            (void)mask->IsComplete(formatted);
            std::wstring strippedRaw = text;
            mask->StripBlanks(strippedRaw);
            EXPECT_LE(strippedRaw.size(), tmpl.size());
        }
    }
}
