// Lookup data: completion of typed text from the items, searching on from the next item, keys
// and the item-selection event.
#include <gtest/gtest.h>

#include <string>

#include "kvTextEditLookupData.h"

namespace {

// Stands where the editor does: it owns the items and has a text.
class TLookupOwner : public TComponent, public IkvTextEditLookupOwner {
    CL_CLASS(TLookupOwner, TComponent)

public:
    void Create(TComponent *owner) override {
        inherited::Create(owner);
        items = New<TStringList>();
    }
    TStringList *GetLookupItems() override { return items; }
    std::wstring GetLookupOwnerText() override { return text; }

    TStringList *items = nullptr;
    std::wstring text;

protected:
    void Destroy() override {
        FreeAndNil(items);
        inherited::Destroy();
    }
};

struct Fixture {
    Fixture(std::initializer_list<const wchar_t *> texts) : owner(New<TLookupOwner>(static_cast<TComponent *>(nullptr))) {
        for (const wchar_t *t : texts)
            owner->items->Add(t);
        data.reset(New<TkvCustomTextEditLookupData>(static_cast<TPersistent *>(owner.get())));
    }
    TOwned<TLookupOwner> owner;
    TOwned<TkvCustomTextEditLookupData> data;
};

} // namespace

TEST(KvTextEditLookupData, TheFirstItemStartingWithTheTextCompletesItInItsOwnCase) {
    Fixture f{L"Alpha", L"alphabet", L"Beta"};
    std::wstring text = L"al";
    std::wstring tail;
    ASSERT_TRUE(f.data->Locate(text, tail, false));
    EXPECT_EQ(text, L"Al");
    EXPECT_EQ(tail, L"pha");
    EXPECT_EQ(f.data->CurrentKey(), 0);
    EXPECT_EQ(f.data->GetCurrentKey().AsInteger(), 0);

    // From the next item: the current one is skipped, and the search never wraps.
    text = L"ALPHA";
    ASSERT_TRUE(f.data->Locate(text, tail, true));
    EXPECT_EQ(text, L"alpha");
    EXPECT_EQ(tail, L"bet");
    EXPECT_EQ(f.data->CurrentKey(), 1);
    text = L"alpha";
    EXPECT_FALSE(f.data->Locate(text, tail, true));
    EXPECT_EQ(f.data->CurrentKey(), -1);

    text = L"gamma";
    EXPECT_FALSE(f.data->Locate(text, tail, false));
    EXPECT_EQ(text, L"gamma");
    EXPECT_EQ(tail, L"");
    EXPECT_EQ(f.data->CurrentKey(), -1);
    // An empty text fails before any search: the current key stays.
    text = L"be";
    ASSERT_TRUE(f.data->Locate(text, tail, false));
    text = L"";
    EXPECT_FALSE(f.data->Locate(text, tail, false));
    EXPECT_EQ(f.data->CurrentKey(), 2);
    // Longer than every item.
    text = L"Betamax";
    EXPECT_FALSE(f.data->Locate(text, tail, false));
}

TEST(KvTextEditLookupData, NoItemsNeverComplete) {
    Fixture f{};
    std::wstring text = L"a";
    std::wstring tail;
    EXPECT_TRUE(f.data->IsEmpty());
    EXPECT_FALSE(f.data->Locate(text, tail, false));
    EXPECT_EQ(f.data->CurrentKey(), -1);
    // Without an owner that offers items.
    TOwned<TkvCustomTextEditLookupData> orphan(New<TkvCustomTextEditLookupData>(static_cast<TPersistent *>(nullptr)));
    EXPECT_FALSE(orphan->Locate(text, tail, false));
    EXPECT_EQ(orphan->GetDisplayText(Variant(0)), L"");
}

TEST(KvTextEditLookupData, KeysSelectItemsAndReportRealChanges) {
    Fixture f{L"one", L"two", L"three"};
    int selected = 0;
    f.data->SetOnSelectItem([&](TObject *) { ++selected; });
    EXPECT_EQ(f.data->IndexOf(L"TWO"), 1);
    EXPECT_EQ(f.data->IndexOf(L"tw"), -1);
    EXPECT_EQ(f.data->GetDisplayText(Variant(2)), L"three");
    EXPECT_EQ(f.data->GetDisplayText(Variant(3)), L"");
    EXPECT_EQ(f.data->GetDisplayText(Variant::Null()), L"");

    f.data->SetCurrentKey(Variant(1));
    EXPECT_EQ(f.data->ItemIndex(), 1);
    EXPECT_EQ(selected, 1);
    f.owner->text = L"two";
    f.data->SetCurrentKey(Variant(1)); // same key, same text
    EXPECT_EQ(selected, 1);
    f.owner->text = L"Two";
    f.data->SetCurrentKey(Variant(1)); // the text differs in case
    EXPECT_EQ(selected, 2);
    f.data->SetCurrentKey(Variant(3)); // out of range: refused
    EXPECT_EQ(f.data->CurrentKey(), 1);
    f.data->SetCurrentKey(Variant(-1));
    EXPECT_EQ(f.data->CurrentKey(), -1);
    EXPECT_EQ(selected, 3);

    // The text typed since is found again from the first item.
    f.owner->text = L"th";
    f.data->TextChanged();
    EXPECT_EQ(f.data->CurrentKey(), 2);
    f.owner->text = L"THREE";
    f.data->TextChanged(); // still the same item
    EXPECT_EQ(f.data->CurrentKey(), 2);
}
