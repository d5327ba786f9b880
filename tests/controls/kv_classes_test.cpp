// The small routines, components and the resource-string hook of kvClasses.
#include <gtest/gtest.h>

#include <classlib/resource_strings.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "kvClasses.h"

namespace {

constexpr std::int32_t int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();

constexpr TResourceString SScrollBarRange{L"Scrollbar property out of range"};

class TLinkedComponent : public TkvComponent {
    CL_CLASS(TLinkedComponent, TkvComponent)

public:
    std::vector<TComponent *> Links;

protected:
    void CollectComponentLinks(TList<TComponent *> &list) override {
        for (TComponent *link : Links)
            list.Add(link);
    }
};

class TOwnedSettings : public TkvInterfacedPersistent {
    CL_CLASS(TOwnedSettings, TkvInterfacedPersistent)

public:
    void Create(TPersistent *owner) override {
        inherited::Create(owner);
        OwnerSeenAtCreation = GetPersistentOwner(this);
    }
    TPersistent *OwnerSeenAtCreation = nullptr;
};

TStringList *listOf(std::initializer_list<const wchar_t *> lines) {
    TStringList *list = New<TStringList>();
    for (const wchar_t *line : lines)
        list->Add(line);
    return list;
}

} // namespace

TEST(GetMiddle, RoundsTowardsMinusInfinity) {
    EXPECT_EQ(GetMiddle(3, 4), 3);
    EXPECT_EQ(GetMiddle(-3, -4), -4);
    EXPECT_EQ(GetMiddle(0, 0), 0);
    EXPECT_EQ(GetMiddle(-1, 0), -1);
    EXPECT_EQ(GetMiddle(10, 20), 15);
    EXPECT_EQ(GetMiddle(-7, 0), -4);
}

TEST(GetMiddle, DoesNotOverflowAtTheEndsOfTheRange) {
    EXPECT_EQ(GetMiddle(int32Max, int32Max), int32Max);
    EXPECT_EQ(GetMiddle(int32Min, int32Min), int32Min);
    EXPECT_EQ(GetMiddle(int32Max, int32Min), -1);
    EXPECT_EQ(GetMiddle(int32Max, int32Max - 1), int32Max - 1);
    EXPECT_EQ(GetMiddle(int32Min, int32Min + 1), int32Min);
}

TEST(MakeSize, HoldsWidthThenHeight) {
    TSize size = MakeSize(362, -145);
    EXPECT_EQ(size.cx, 362);
    EXPECT_EQ(size.cy, -145);
}

TEST(ResourceStrings, PassUnchangedWithoutTranslationLists) {
    EXPECT_EQ(TranslateResourceString(L"Value out of bounds"), L"Value out of bounds");
    UnitScope classes{&kvClassesUnit};
    EXPECT_EQ(LoadResString(SScrollBarRange), L"Scrollbar property out of range");
}

TEST(ResourceStrings, AreReplacedFromTheTranslationListsWhileTheUnitIsUp) {
    {
        UnitScope classes{&kvClassesUnit};
        SetResourceStringTranslations(listOf({L"Value out of bounds", L"Scrollbar property out of range"}),
                                      listOf({L"数值超出范围", L"滚动条属性超出范围"}));
        EXPECT_EQ(LoadResString(SScrollBarRange), L"滚动条属性超出范围");
        // Looked up as the list compares: ignoring case.
        EXPECT_EQ(TranslateResourceString(L"VALUE OUT OF BOUNDS"), L"数值超出范围");
        EXPECT_EQ(TranslateResourceString(L"Invalid numeric value"), L"Invalid numeric value");

        SetResourceStringTranslations(listOf({L"a", L"b"}), listOf({L"A"}));
        EXPECT_EQ(TranslateResourceString(L"b"), L"b");
        EXPECT_EQ(TranslateResourceString(L"a"), L"A");
    }
    // The unit's end freed the lists and took its hook away.
    EXPECT_EQ(TranslateResourceString(L"a"), L"a");
    EXPECT_EQ(LoadResString(SScrollBarRange), L"Scrollbar property out of range");
}

TEST(KvComponent, LoadingAtDesignTimeFillsTheFakeLinks) {
    TkvComponent *form = New<TkvComponent>(nullptr);
    TkvComponent *first = New<TkvComponent>(form);
    TkvComponent *second = New<TkvComponent>(form);
    TLinkedComponent *linked = New<TLinkedComponent>(form);
    linked->Links = {first, second};
    linked->SetFakeComponentLink3(form);
    form->SetDesigning(true);
    linked->Loading();
    linked->Loaded();
    EXPECT_EQ(linked->FakeComponentLink1(), first);
    EXPECT_EQ(linked->FakeComponentLink2(), second);
    EXPECT_EQ(linked->FakeComponentLink3(), nullptr);
    EXPECT_FALSE(linked->ComponentState().Contains(csLoading));
    form->Free();
}

TEST(KvComponent, LoadingOutsideDesignTimeLeavesTheFakeLinksUntouched) {
    TkvComponent *form = New<TkvComponent>(nullptr);
    TLinkedComponent *linked = New<TLinkedComponent>(form);
    linked->Links = {form};
    linked->SetFakeComponentLink2(linked);
    linked->Loaded();
    EXPECT_EQ(linked->FakeComponentLink1(), nullptr);
    EXPECT_EQ(linked->FakeComponentLink2(), linked);

    // Nor does a designed component without an owner change them.
    TLinkedComponent *alone = New<TLinkedComponent>(nullptr);
    alone->Links = {form};
    alone->SetDesigning(true);
    alone->Loaded();
    EXPECT_EQ(alone->FakeComponentLink1(), nullptr);
    alone->Free();
    form->Free();
}

TEST(KvComponent, BeforeDestructionMarksItDestroying) {
    TkvComponent *form = New<TkvComponent>(nullptr);
    TkvComponent *child = New<TkvComponent>(form);
    form->BeforeDestruction();
    EXPECT_TRUE(form->ComponentState().Contains(csDestroying));
    EXPECT_TRUE(child->ComponentState().Contains(csDestroying));
    form->Free();
}

TEST(FreeNotificator, TurnsRemovalsIntoAnEvent) {
    TkvFreeNotificator *notificator = New<TkvFreeNotificator>(nullptr);
    std::vector<TComponent *> removed;
    notificator->OnFreeNotification = [&](TComponent *component) { removed.push_back(component); };
    TkvComponent *watched = New<TkvComponent>(nullptr);
    notificator->FreeNotification(watched);
    watched->Free();
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0], watched);

    notificator->OnFreeNotification = nullptr;
    TkvComponent *other = New<TkvComponent>(nullptr);
    notificator->FreeNotification(other);
    other->Free();
    EXPECT_EQ(removed.size(), 1u);
    notificator->Free();
}

TEST(KvInterfacedPersistent, IsCreatedThroughAClassReferenceWithItsOwner) {
    TkvComponent *owner = New<TkvComponent>(nullptr);
    TkvInterfacedPersistent *settings = NewOf<TkvInterfacedPersistent>(TOwnedSettings::ClassInfo(), owner);
    EXPECT_EQ(static_cast<TOwnedSettings *>(settings)->OwnerSeenAtCreation, owner);
    EXPECT_EQ(GetPersistentOwner(settings), owner);
    EXPECT_NE(Supports<IInterface>(settings), nullptr);
    EXPECT_EQ(GetPersistentOwner(nullptr), nullptr);
    settings->Free();
    owner->Free();
}
