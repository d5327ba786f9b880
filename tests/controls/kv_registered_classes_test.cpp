// The registry of classes with display texts.
#include <gtest/gtest.h>

#include <classlib/class_registry.h>

#include <string>
#include <vector>

#include "kvClasses.h"

namespace {

class TSpinEditProperties : public TkvInterfacedPersistent {
    CL_CLASS(TSpinEditProperties, TkvInterfacedPersistent)
};
class TTextEditProperties : public TkvInterfacedPersistent {
    CL_CLASS(TTextEditProperties, TkvInterfacedPersistent)
};
class TMaskEditProperties : public TkvInterfacedPersistent {
    CL_CLASS(TMaskEditProperties, TkvInterfacedPersistent)
};

// Orders by display name, last first.
class TReversedRegistry : public TkvRegisteredClasses {
    CL_CLASS(TReversedRegistry, TkvRegisteredClasses)

public:
    int CompareItems(int index1, int index2) override { return inherited::CompareItems(index2, index1); }
};

std::vector<std::wstring> names(const TkvRegisteredClasses *registry) {
    std::vector<std::wstring> result;
    for (int i = 0; i < registry->Count(); ++i)
        result.push_back(registry->GetDescription(i));
    return result;
}

struct RegisteredClasses : testing::Test {
    TOwned<TkvRegisteredClasses> registry{New<TkvRegisteredClasses>(false)};
};

} // namespace

TEST_F(RegisteredClasses, AClassRegisteredTwiceKeepsItsFirstDescription) {
    registry->Register(TSpinEditProperties::ClassInfo(), L"SpinEdit|Represents a spin editor");
    registry->Register(TSpinEditProperties::ClassInfo(), L"Other|Another description");
    EXPECT_EQ(registry->Count(), 1);
    EXPECT_EQ(registry->GetDescription(0), L"SpinEdit");
    EXPECT_EQ(registry->Items()->Strings(0), L"SpinEdit|Represents a spin editor");
    EXPECT_EQ(registry->Items()->Objects(0), TSpinEditProperties::ClassInfo());
    EXPECT_EQ(registry->Items()->RegisteredClasses, registry.get());
}

TEST_F(RegisteredClasses, FindByClassAnswersTheIndexOrMinusOne) {
    registry->Register(TTextEditProperties::ClassInfo(), L"TextEdit|Represents a single line text editor");
    registry->Register(TSpinEditProperties::ClassInfo(), L"SpinEdit|Represents a spin editor");
    EXPECT_EQ(registry->FindByClass(TSpinEditProperties::ClassInfo()), 1);
    EXPECT_EQ(registry->FindByClass(TMaskEditProperties::ClassInfo()), -1);
    EXPECT_EQ(registry->FindByClass(nullptr), -1);
    registry->Register(nullptr, L"Nothing|No class");
    EXPECT_EQ(registry->Count(), 2);
}

TEST_F(RegisteredClasses, SortingComparesDisplayNamesIgnoringCase) {
    registry->Register(TTextEditProperties::ClassInfo(), L"TextEdit|Represents a single line text editor");
    registry->Register(TSpinEditProperties::ClassInfo(), L"spinEdit|Zzz");
    EXPECT_EQ(names(registry.get()), (std::vector<std::wstring>{L"TextEdit", L"spinEdit"}));
    registry->SetSorted(true);
    EXPECT_TRUE(registry->Sorted());
    EXPECT_EQ(names(registry.get()), (std::vector<std::wstring>{L"spinEdit", L"TextEdit"}));
    registry->Register(TMaskEditProperties::ClassInfo(), L"MaskEdit|Represents a masked editor");
    EXPECT_EQ(names(registry.get()), (std::vector<std::wstring>{L"MaskEdit", L"spinEdit", L"TextEdit"}));
    EXPECT_EQ(registry->Items()->Objects(1), TSpinEditProperties::ClassInfo());
    EXPECT_FALSE(registry->Items()->Sorted());
    // Unsorting keeps the order the sort left.
    registry->SetSorted(false);
    EXPECT_FALSE(registry->Sorted());
    registry->Register(TReversedRegistry::ClassInfo(), L"Another|Appended at the end");
    EXPECT_EQ(names(registry.get()), (std::vector<std::wstring>{L"MaskEdit", L"spinEdit", L"TextEdit", L"Another"}));
    registry->Clear();
    EXPECT_EQ(registry->Count(), 0);
}

TEST_F(RegisteredClasses, SortingGoesThroughTheOverridableComparison) {
    TOwned<TkvRegisteredClasses> reversed(New<TReversedRegistry>(false));
    reversed->Register(TSpinEditProperties::ClassInfo(), L"SpinEdit|Represents a spin editor");
    reversed->Register(TTextEditProperties::ClassInfo(), L"TextEdit|Represents a single line text editor");
    reversed->Register(TMaskEditProperties::ClassInfo(), L"MaskEdit|Represents a masked editor");
    reversed->SetSorted(true);
    EXPECT_EQ(names(reversed.get()), (std::vector<std::wstring>{L"TextEdit", L"SpinEdit", L"MaskEdit"}));
}

TEST_F(RegisteredClasses, TheRegisterClassesFlagMakesClassesKnownByName) {
    registry->Register(TMaskEditProperties::ClassInfo(), L"MaskEdit|Represents a masked editor");
    EXPECT_EQ(FindNamedClass(L"TMaskEditProperties"), nullptr);
    TOwned<TkvRegisteredClasses> registering(New<TkvRegisteredClasses>(true));
    registering->Register(TMaskEditProperties::ClassInfo(), L"MaskEdit|Represents a masked editor");
    EXPECT_EQ(FindNamedClass(L"TMaskEditProperties"), TMaskEditProperties::ClassInfo());
    TkvInterfacedPersistent *created =
        NewOf<TkvInterfacedPersistent>(FindNamedClass(L"tmaskeditproperties"), nullptr);
    EXPECT_TRUE(Is<TMaskEditProperties>(created));
    created->Free();
    UnregisterNamedClass(TMaskEditProperties::ClassInfo());
    EXPECT_EQ(FindNamedClass(L"TMaskEditProperties"), nullptr);
}

TEST(TextBeforeBar, TakesTheDisplayName) {
    EXPECT_EQ(GetTextBeforeBar(L"TextEdit|Represents a single line text editor"), L"TextEdit");
    EXPECT_EQ(GetTextBeforeBar(L"No bar here"), L"No bar here");
    EXPECT_EQ(GetTextBeforeBar(L"|starts with the bar"), L"");
    EXPECT_EQ(GetTextBeforeBar(L"a|b|c"), L"a");
    EXPECT_EQ(GetTextBeforeBar(L""), L"");
}
