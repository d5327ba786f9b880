// Edit properties: change brackets, read-only and alignment from the provider, restore defaults,
// validation and its error text, assign, and the list of live properties.
#include <gtest/gtest.h>

#include <string>

#include <classlib/exceptions.h>

#include "kvEditProperties.h"

namespace {

// Validates as the text edit's properties do.
class TValidatingProperties : public TkvCustomEditProperties {
    CL_CLASS(TValidatingProperties, TkvCustomEditProperties)

public:
    bool CanValidate() override { return true; }
};

struct Counted {
    explicit Counted(TkvCustomEditProperties *p) : properties(p) {
        properties->OnPropertiesChanged = [this](TObject *sender) {
            EXPECT_EQ(sender, properties.get());
            ++changes;
        };
    }
    TOwned<TkvCustomEditProperties> properties;
    int changes = 0;
};

class TProvider : public TkvCustomEditDefaultValuesProvider {
    CL_CLASS(TProvider, TkvCustomEditDefaultValuesProvider)

public:
    TAlignment DefaultAlignment() override { return taRightJustify; }
    bool DefaultReadOnly() override { return true; }
};

// The editor's side of validation: one own handler, a display text.
struct Site : IkvEditValidationSite {
    TkvCustomEditProperties *properties = nullptr;
    bool HasValidateHandlers() override { return static_cast<bool>(properties->OnValidate); }
    void DoOnValidate(Variant &value, std::wstring &text, bool &error) override {
        properties->OnValidate(nullptr, value, text, error);
    }
    std::wstring GetDisplayText() override { return L"shown"; }
};

} // namespace

TEST(KvEditProperties, OneChangeEventPerBracketAndNoneWithoutInvoke) {
    Counted c(New<TkvCustomEditProperties>(static_cast<TPersistent *>(nullptr)));
    c.properties->SetAutoSelect(false);
    EXPECT_EQ(c.changes, 1);
    c.properties->SetAutoSelect(false); // unchanged
    EXPECT_EQ(c.changes, 1);

    c.properties->BeginUpdate();
    c.properties->BeginUpdate();
    c.properties->SetAutoSelect(true);
    c.properties->SetTransparentBackground(true);
    c.properties->Buttons()->Add();
    c.properties->EndUpdate();
    EXPECT_EQ(c.changes, 1);
    c.properties->EndUpdate();
    EXPECT_EQ(c.changes, 2);

    c.properties->BeginUpdate();
    c.properties->SetButtonsLayout(2);
    c.properties->EndUpdate(false);
    EXPECT_EQ(c.changes, 2);
    c.properties->EndUpdate(); // unbalanced: nothing
    EXPECT_EQ(c.changes, 2);
    EXPECT_EQ(c.properties->UpdateCount(), 0);
    EXPECT_EQ(c.properties->GetSupportedOperations(), 32);
}

TEST(KvEditProperties, ReadOnlyIsAssignedUntilDefaultsAreRestored) {
    Counted c(New<TkvCustomEditProperties>(static_cast<TPersistent *>(nullptr)));
    EXPECT_FALSE(c.properties->ReadOnly());
    EXPECT_FALSE(c.properties->IsReadOnlyStored());
    c.properties->SetReadOnly(false);
    EXPECT_FALSE(c.properties->ReadOnly());
    EXPECT_TRUE(c.properties->IsReadOnlyStored());
    EXPECT_EQ(c.changes, 1);
    c.properties->SetReadOnly(false);
    EXPECT_EQ(c.changes, 1);

    c.properties->InnerAlignment()->SetHorz(taCenter);
    c.properties->RestoreDefaults();
    EXPECT_FALSE(c.properties->IsReadOnlyStored());
    EXPECT_FALSE(c.properties->InnerAlignment()->IsHorzAssigned());
    EXPECT_EQ(c.changes, 2);
}

TEST(KvEditProperties, UnassignedSettingsFollowTheProvider) {
    Counted c(New<TkvCustomEditProperties>(static_cast<TPersistent *>(nullptr)));
    TProvider *provider = New<TProvider>(static_cast<TPersistent *>(nullptr));
    c.properties->SetDefaultValuesProvider(provider);
    EXPECT_EQ(c.properties->Alignment()->Horz(), taRightJustify);
    EXPECT_FALSE(c.properties->IsAlignmentStored());
    EXPECT_TRUE(c.properties->ReadOnly());

    // Vert alone changes; Horz stays the provider's.
    c.properties->Alignment()->SetVert(taVCenter);
    EXPECT_TRUE(c.properties->IsAlignmentStored());
    EXPECT_FALSE(c.properties->InnerAlignment()->IsHorzAssigned());
    EXPECT_EQ(c.changes, 1);

    c.properties->Alignment()->SetHorz(taCenter);
    EXPECT_EQ(c.properties->Alignment()->Horz(), taCenter);
    EXPECT_EQ(c.changes, 2);

    c.properties->SetReadOnly(false);
    EXPECT_FALSE(c.properties->ReadOnly());

    provider->Free();
    EXPECT_EQ(c.properties->DefaultValuesProvider(), nullptr);
    EXPECT_EQ(c.properties->Alignment()->Horz(), taCenter);
}

TEST(KvEditProperties, ValidationKeepsAHandlersValueAndGivesTheErrorText) {
    Counted c(New<TValidatingProperties>(static_cast<TPersistent *>(nullptr)));
    Site site;
    site.properties = c.properties.get();

    Variant value(L"typed");
    std::wstring text;
    bool error = true;
    c.properties->ValidateDisplayValue(value, text, error, &site);
    EXPECT_EQ(text, L"Invalid input value. Use escape key to abandon changes");
    EXPECT_EQ(value.AsWideString(), L"typed"); // no handler

    c.properties->OnValidate = [](TObject *, Variant &, std::wstring &, bool &e) { e = true; };
    text.clear();
    c.properties->ValidateDisplayValue(value, text, error, &site);
    EXPECT_EQ(value.AsWideString(), L"shown");

    c.properties->OnValidate = [](TObject *, Variant &v, std::wstring &t, bool &e) {
        v = Variant(L"mended");
        t = L"own text";
        e = true;
    };
    value = Variant(L"typed");
    c.properties->ValidateDisplayValue(value, text, error, &site);
    EXPECT_EQ(value.AsWideString(), L"mended");
    EXPECT_EQ(text, L"own text");

    // The base properties do not validate at all.
    TOwned<TkvCustomEditProperties> base(New<TkvCustomEditProperties>(static_cast<TPersistent *>(nullptr)));
    text.clear();
    base->ValidateDisplayValue(value, text, error, &site);
    EXPECT_TRUE(text.empty());
}

TEST(KvEditProperties, AssignCopiesInOneBracketAndRefusesForeignSources) {
    Counted source(New<TkvCustomEditProperties>(static_cast<TPersistent *>(nullptr)));
    source.properties->SetAutoSelect(false);
    source.properties->SetReadOnly(true);
    source.properties->SetClickShortCut(0);
    source.properties->Buttons()->Add()->SetKind(bkEllipsis);
    source.properties->InnerAlignment()->SetHorz(taCenter);
    source.properties->OnChange = [](TObject *) {};

    Counted target(New<TkvCustomEditProperties>(static_cast<TPersistent *>(nullptr)));
    target.properties->Assign(source.properties.get());
    EXPECT_EQ(target.changes, 1);
    EXPECT_FALSE(target.properties->AutoSelect());
    EXPECT_TRUE(target.properties->ReadOnly());
    EXPECT_TRUE(target.properties->IsReadOnlyStored());
    EXPECT_EQ(target.properties->ClickShortCut(), 0);
    ASSERT_EQ(target.properties->Buttons()->Count(), 1);
    EXPECT_EQ(target.properties->Buttons()->Items(0)->Kind(), bkEllipsis);
    EXPECT_EQ(target.properties->InnerAlignment()->Horz(), taCenter);
    EXPECT_TRUE(static_cast<bool>(target.properties->OnChange));

    TOwned<TkvEditAlignment> foreign(New<TkvEditAlignment>(static_cast<TkvCustomEditProperties *>(nullptr)));
    EXPECT_THROW(target.properties->Assign(foreign.get()), EConvertError);
}

TEST(KvEditProperties, TheListHoldsLiveObjectsOnly) {
    int before = EditPropertiesList().Count();
    TkvCustomEditProperties *a = New<TValidatingProperties>(static_cast<TPersistent *>(nullptr));
    TkvCustomEditProperties *b = a->CreateInstanceOfSameClass();
    EXPECT_TRUE(b->InheritsFrom(TValidatingProperties::ClassInfo()));
    EXPECT_EQ(EditPropertiesList().Count(), before + 2);
    a->Free();
    EXPECT_EQ(EditPropertiesList().IndexOf(a), -1);
    EXPECT_NE(EditPropertiesList().IndexOf(b), -1);
    b->Free();
    EXPECT_EQ(EditPropertiesList().Count(), before);
}
