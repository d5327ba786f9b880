// Text-edit properties: assigned values and their defaults, bounds, numeric display and edit
// formats, echo and case, validation, assign, and replacing a selection within a maximum length.
#include <gtest/gtest.h>

#include <classlib/exceptions.h>
#include <classlib/string_utils.h>

#include <random>
#include <string>

#include "kvTextEditProperties.h"

namespace {

// Numeric as the spin editor's properties are.
class TNumericProperties : public TkvCustomTextEditProperties {
    CL_CLASS(TNumericProperties, TkvCustomTextEditProperties)

public:
    bool IsEditValueNumeric() override { return true; }
};

template <class T = TkvTextEditProperties> struct Counted {
    Counted() : properties(New<T>(static_cast<TPersistent *>(nullptr))) {
        properties->OnPropertiesChanged = [this](TObject *) { ++changes; };
    }
    TOwned<T> properties;
    int changes = 0;
};

std::wstring shown(TkvCustomTextEditProperties *p, const Variant &value, bool editing) {
    Variant result;
    p->PrepareDisplayValue(value, result, editing);
    return result.AsWideString();
}

std::wstring dec(std::wstring text) {
    for (wchar_t &c : text)
        if (c == L'.')
            c = FormatSettings().DecimalSeparator;
    return text;
}

struct Site : IkvEditValidationSite {
    bool HasValidateHandlers() override { return false; }
    void DoOnValidate(Variant &, std::wstring &, bool &) override {}
    std::wstring GetDisplayText() override { return L""; }
};

} // namespace

TEST(KvTextEditProperties, AssignedValuesDecideWhereASettingComesFrom) {
    Counted c;
    TkvCustomTextEditProperties *p = c.properties.get();
    EXPECT_FALSE(p->IsMaxLengthStored());
    // Equal to the default, yet a first assignment counts.
    p->SetMaxLength(0);
    EXPECT_TRUE(p->AssignedValues()->MaxLength());
    EXPECT_EQ(c.changes, 1);
    p->SetMaxLength(0);
    EXPECT_EQ(c.changes, 1);
    p->SetMaxLength(-5);
    EXPECT_EQ(p->MaxLength(), 0);
    p->SetMaxLength(3);
    EXPECT_EQ(p->MaxLength(), 3);
    p->AssignedValues()->SetMaxLength(false);
    EXPECT_EQ(p->MaxLength(), 0);

    // An assigned empty display format survives a reload through the hidden flag.
    p->SetDisplayFormat(L"");
    EXPECT_TRUE(p->IsDisplayFormatStored());
    TOwned<TkvTextEditProperties> reloaded(New<TkvTextEditProperties>(static_cast<TPersistent *>(nullptr)));
    reloaded->ReadIsDisplayFormatAssigned(p->IsDisplayFormatStored());
    EXPECT_TRUE(reloaded->AssignedValues()->DisplayFormat());
    EXPECT_TRUE(reloaded->DisplayFormat().empty());

    const int before = c.changes;
    p->SetCharCase(ecUpperCase);
    p->SetCharCase(ecUpperCase);
    p->SetPasswordChar(L'#');
    EXPECT_EQ(c.changes, before + 2);
}

TEST(KvTextEditProperties, BoundsFollowTheAssignedFlagsWhenInverted) {
    Counted c;
    TkvCustomTextEditProperties *p = c.properties.get();
    EXPECT_FALSE(p->HasValueBounds()); // both 0
    p->SetMinValue(20);
    // The maximum (0, unassigned) lies below: only the assigned minimum counts.
    EXPECT_TRUE(p->IsValueBoundDefined(evbMin));
    EXPECT_FALSE(p->IsValueBoundDefined(evbMax));
    p->SetMaxValue(10); // both assigned and inverted: none
    EXPECT_FALSE(p->HasValueBounds());
    p->AssignedValues()->SetMaxValue(false); // max falls back to 0, only min assigned
    EXPECT_TRUE(p->IsValueBoundDefined(evbMin));
    EXPECT_FALSE(p->IsValueBoundDefined(evbMax));
    p->SetMaxValue(30);
    EXPECT_TRUE(p->IsValueBoundDefined(evbMin));
    EXPECT_TRUE(p->IsValueBoundDefined(evbMax));
    EXPECT_TRUE(p->CheckEditValueBounds(Variant(25.0)));
    EXPECT_FALSE(p->CheckEditValueBounds(Variant(31)));
    EXPECT_FALSE(p->CheckEditValueBounds(Variant(dec(L"19.5"))));
    p->SetMaxValue(20);
    EXPECT_FALSE(p->HasValueBounds()); // equal
}

TEST(KvTextEditProperties, NumericValuesShowInFifteenDigitsOrTheirFormats) {
    Counted<TNumericProperties> c;
    TkvCustomTextEditProperties *p = c.properties.get();
    EXPECT_EQ(shown(p, Variant(0.1 + 0.2), true), dec(L"0.3"));
    EXPECT_EQ(shown(p, Variant(0.1 + 0.2), false), dec(L"0.3"));
    EXPECT_EQ(shown(p, Variant::Null(), true), L"");
    EXPECT_EQ(shown(p, Variant(L"abc"), true), L"abc");
    p->SetDisplayFormat(L"0.00");
    EXPECT_EQ(shown(p, Variant(2), false), dec(L"2.00"));
    EXPECT_EQ(shown(p, Variant(2), true), L"2"); // the display format is not for editing
    p->SetUseDisplayFormatWhenEditing(true);
    EXPECT_EQ(shown(p, Variant(2), true), dec(L"2.00"));
    p->SetEditFormat(L"0.0");
    EXPECT_EQ(shown(p, Variant(2), true), dec(L"2.0"));
    try {
        shown(p, Variant(true), true);
        FAIL() << "a Boolean is no number";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), L"Could not convert to numeric value");
    }
    // A text editor shows any value's text.
    Counted plain;
    EXPECT_EQ(shown(plain.properties.get(), Variant(true), false), L"True");
}

TEST(KvTextEditProperties, EchoAndCaseOfTheShownText) {
    Counted c;
    TkvCustomTextEditProperties *p = c.properties.get();
    std::wstring text = L"Straße";
    p->SetCharCase(ecUpperCase);
    p->PrepareDisplayText(text);
    EXPECT_EQ(text, AnsiUpperCase(L"Straße"));
    p->SetEchoMode(eemPassword);
    text = L"中文ab";
    p->PrepareDisplayText(text);
    EXPECT_EQ(text, L"****");
    p->SetPasswordChar(L'#');
    p->PrepareDisplayText(text);
    EXPECT_EQ(text, L"####");

    Variant value(L"MiXed");
    p->SetCharCase(ecLowerCase);
    EXPECT_TRUE(p->IsDisplayValueValid(value, false));
    EXPECT_EQ(value.AsWideString(), L"mixed");
    EXPECT_FALSE(p->CompareDisplayValues(Variant(L"a"), Variant(L"A")));
}

TEST(KvTextEditProperties, OutOfBoundsValuesFailValidationWithTheirText) {
    Counted<TNumericProperties> c;
    TkvCustomTextEditProperties *p = c.properties.get();
    p->SetMinValue(384);
    p->SetMaxValue(1024);
    Site site;
    for (const wchar_t *text : {L"100", L"2048"}) {
        Variant value(text);
        std::wstring errorText;
        bool error = false;
        p->ValidateDisplayValue(value, errorText, error, &site);
        EXPECT_TRUE(error) << text;
        EXPECT_EQ(errorText, L"Value out of bounds");
    }
    Variant value(L"512");
    std::wstring errorText;
    bool error = false;
    p->ValidateDisplayValue(value, errorText, error, &site);
    EXPECT_FALSE(error);
}

TEST(KvTextEditProperties, AssignCopiesOnlyWhatTheSourceAssigned) {
    Counted source;
    source.properties->SetMaxLength(7);
    source.properties->SetEditFormat(L"0.0");
    source.properties->LookupItems()->Add(L"b");
    source.properties->LookupItems()->Add(L"a");
    source.properties->SetLookupItemsSorted(true);
    source.properties->SetEchoMode(eemPassword);
    Counted target;
    target.properties->SetDisplayFormat(L"0.00");
    target.changes = 0;
    target.properties->Assign(source.properties.get());
    EXPECT_EQ(target.changes, 1);
    TkvCustomTextEditProperties *p = target.properties.get();
    EXPECT_EQ(p->MaxLength(), 7);
    EXPECT_EQ(p->EditFormat(), L"0.0");
    EXPECT_FALSE(p->AssignedValues()->DisplayFormat());
    EXPECT_EQ(p->DisplayFormat(), L"");
    EXPECT_EQ(p->EchoMode(), eemPassword);
    EXPECT_TRUE(p->LookupItemsSorted());
    ASSERT_EQ(p->LookupItems()->Count(), 2);
    EXPECT_EQ(p->LookupItems()->Strings(0), L"a");
    EXPECT_TRUE(p->IsLookupText(L"B"));
}

TEST(KvTextEditProperties, ReplacingASelectionRespectsTheMaximumLength) {
    std::wstring result;
    int caret = -1;
    EXPECT_TRUE(ReplaceSelectedText(L"", 0, 0, L"abcdef", 3, result, caret));
    EXPECT_EQ(result, L"abc");
    EXPECT_EQ(caret, 3);
    EXPECT_TRUE(ReplaceSelectedText(L"wxyz", 1, 2, L"中文字", 4, result, caret));
    EXPECT_EQ(result, L"w中文字"); // characters, not bytes
    EXPECT_EQ(caret, 4);
    // Full already: the caret would land before the selection start.
    EXPECT_FALSE(ReplaceSelectedText(L"abcd", 5, 0, L"e", 3, result, caret));
    EXPECT_TRUE(ReplaceSelectedText(L"hello", 1, 3, L"", 0, result, caret));
    EXPECT_EQ(result, L"ho");
    EXPECT_EQ(caret, 1);
    EXPECT_TRUE(ReplaceSelectedText(L"ab", 99, 99, L"c", 0, result, caret)); // clamped
    EXPECT_EQ(result, L"abc");
}

// Any text, selection and limit: the result keeps to the limit and the caret stays inside it.
TEST(KvTextEditProperties, ReplacingAnySelectionStaysWithinItsLimits) {
    std::mt19937 random(125);
    const std::wstring alphabet = L"ab中文\u00e9 \t\r\n";
    auto text = [&](int most) {
        std::wstring s;
        for (int n = static_cast<int>(random() % (most + 1)); n > 0; --n)
            s += alphabet[random() % alphabet.size()];
        return s;
    };
    for (int i = 0; i < 20000; ++i) {
        const std::wstring current = text(12);
        const std::wstring inserted = text(8);
        const int selStart = static_cast<int>(random() % 20) - 4;
        const int selLength = static_cast<int>(random() % 20) - 4;
        const int maxLength = static_cast<int>(random() % 10) - 1;
        std::wstring result;
        int caret = -1;
        if (!ReplaceSelectedText(current, selStart, selLength, inserted, maxLength, result, caret))
            continue;
        if (maxLength > 0) {
            ASSERT_LE(static_cast<int>(result.size()), maxLength);
        }
        ASSERT_GE(caret, 0);
        ASSERT_LE(caret, static_cast<int>(result.size()));
    }
}
