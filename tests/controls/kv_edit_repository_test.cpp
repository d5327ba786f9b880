// The edit repository: items that share properties with their listeners, moving and freeing
// items, the properties registry, and the shared routines.
#include <gtest/gtest.h>

#include <vector>

#include "kvEditRepository.h"

namespace {

struct Listener : IkvEditRepositoryItemListener {
    Listener(std::vector<int> &log, int id) : log(log), id(id) {}
    void ItemRemoved(TkvEditRepositoryItem *) override { log.push_back(-id); }
    void ItemPropertiesChanged(TkvEditRepositoryItem *) override { log.push_back(id); }
    std::vector<int> &log;
    int id;
};

class TSpinLikeProperties : public TkvCustomEditProperties {
    CL_CLASS(TSpinLikeProperties, TkvCustomEditProperties)
};

} // namespace

TEST(KvEditRepository, ListenersHearChangesLastAddedFirstAndOnce) {
    TOwned<TComponent> form(New<TComponent>(nullptr));
    TkvEditRepository *repository = New<TkvEditRepository>(form.get());
    TkvEditRepositoryItem *item = repository->CreateItem(TkvEditRepositoryItem::ClassInfo());
    EXPECT_EQ(item->Owner(), form.get());
    EXPECT_EQ(item->GetParentComponent(), repository);
    ASSERT_EQ(repository->Count(), 1);

    std::vector<int> log;
    Listener first(log, 1), second(log, 2);
    item->AddListener(&first);
    item->AddListener(&second);
    item->AddListener(&first);
    EXPECT_EQ(item->ListenerCount(), 2);
    item->Properties()->SetAutoSelect(false);
    EXPECT_EQ(log, (std::vector<int>{2, 1}));

    item->RemoveListener(&second);
    log.clear();
    item->Free();
    EXPECT_EQ(log, (std::vector<int>{-1}));
    EXPECT_EQ(repository->Count(), 0);
}

TEST(KvEditRepository, ItemsMoveBetweenRepositoriesAndGoWithTheirRepository) {
    TOwned<TComponent> form(New<TComponent>(nullptr));
    TkvEditRepository *a = New<TkvEditRepository>(form.get());
    TkvEditRepository *b = New<TkvEditRepository>(form.get());
    TkvEditRepositoryItem *item = a->CreateItem(TkvEditRepositoryItem::ClassInfo(), nullptr);
    TkvEditRepositoryItem *kept = a->CreateItem(TkvEditRepositoryItem::ClassInfo());
    item->SetParentComponent(b);
    EXPECT_EQ(a->Count(), 1);
    EXPECT_EQ(b->Count(), 1);
    EXPECT_EQ(item->Repository(), b);

    std::vector<TComponent *> children;
    b->GetChildren([&](TComponent *c) { children.push_back(c); }, form.get());
    EXPECT_TRUE(children.empty()); // owned by none
    a->GetChildren([&](TComponent *c) { children.push_back(c); }, form.get());
    EXPECT_EQ(children, (std::vector<TComponent *>{kept}));

    std::vector<int> log;
    Listener listener(log, 7);
    item->AddListener(&listener);
    b->Free();
    EXPECT_EQ(log, (std::vector<int>{-7}));
}

TEST(KvEditRepository, RegistryAndRoutines) {
    TkvRegisteredClasses *registry = EditPropertiesRegistry();
    EXPECT_EQ(registry, EditPropertiesRegistry());
    EXPECT_TRUE(registry->Sorted());
    registry->Register(TSpinLikeProperties::ClassInfo(), L"SpinEdit|Represents a spin editor");
    int index = registry->FindByClass(TSpinLikeProperties::ClassInfo());
    ASSERT_GE(index, 0);
    EXPECT_EQ(registry->GetDescription(index), L"SpinEdit");

    EXPECT_TRUE(VariantsEqualExactly(Variant(3), Variant(3)));
    EXPECT_FALSE(VariantsEqualExactly(Variant(3), Variant(3.0)));
    TShiftState shift;
    shift.Include(ssShift).Include(ssCtrl).Include(ssMiddle);
    EXPECT_EQ(ShiftStateToKeys(shift), WPARAM{4 | 8 | 16});
    EXPECT_TRUE(MouseButtonToShift(mbRight).Contains(ssRight));
    TSize a{3, 9}, b{5, 2};
    CheckSizeMaximum(a, b);
    EXPECT_EQ(a.cx, 5);
    EXPECT_EQ(b.cx, 5);
    EXPECT_EQ(a.cy, 9);
    EXPECT_EQ(b.cy, 9);
    for (wchar_t ch : {0, 9, 10, 12, 13, 32})
        EXPECT_TRUE(IsWhiteSpace(ch));
    EXPECT_FALSE(IsWhiteSpace(11));
    EXPECT_FALSE(IsWhiteSpace(L'a'));
}
