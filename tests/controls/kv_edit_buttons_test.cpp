// Edit buttons in their collection: the default rule, captions without accelerator marks, the
// glyph made on read, change reports and their brackets, and the view state compared for repaints.
#include <gtest/gtest.h>

#include <vector>

#include <classlib/component.h>

#include "kvEditButtons.h"

namespace {

// Stands where the editor's properties would: the owner of the buttons, owned by a component.
class TButtonsOwner : public TPersistent {
    CL_CLASS(TButtonsOwner, TPersistent)

public:
    TComponent *component = nullptr;

protected:
    TPersistent *GetOwner() override { return component; }
};

struct Buttons {
    Buttons() {
        owner.reset(New<TButtonsOwner>());
        buttons.reset(New<TkvEditButtons>(static_cast<TPersistent *>(owner.get())));
        buttons->OnChange = [this](TkvEditButtons *, TCollectionItem *item) { changes.push_back(item); };
    }
    TOwned<TButtonsOwner> owner;
    TOwned<TkvEditButtons> buttons;
    std::vector<TCollectionItem *> changes;
};

TEST(KvEditButtons, OneDefaultPerCollection) {
    Buttons b;
    TkvEditButton *first = b.buttons->Add();
    TkvEditButton *second = b.buttons->Add();
    EXPECT_FALSE(first->Default()); // nobody is designing
    first->SetDefault(true);
    b.changes.clear();
    second->SetDefault(true);
    EXPECT_FALSE(first->Default());
    EXPECT_TRUE(second->Default());
    ASSERT_EQ(b.changes.size(), 1u);
    EXPECT_EQ(b.changes[0], nullptr); // every button may look different now
    second->SetDefault(true);
    EXPECT_EQ(b.changes.size(), 1u);
}

TEST(KvEditButtons, TheFirstButtonIsTheDefaultWhileDesigning) {
    Buttons b;
    TOwned<TComponent> component(New<TComponent>(nullptr));
    component->SetDesigning(true);
    b.owner->component = component.get();
    TkvEditButton *first = b.buttons->Add();
    TkvEditButton *second = b.buttons->Add();
    EXPECT_TRUE(first->Default());
    EXPECT_FALSE(second->Default());
}

TEST(KvEditButtons, PropertiesReportEachChangeOnce) {
    Buttons b;
    TkvEditButton *button = b.buttons->Add();
    EXPECT_EQ(button->Kind(), bkDown);
    EXPECT_TRUE(button->Enabled());
    EXPECT_TRUE(button->Stretchable());
    EXPECT_TRUE(button->Visible());
    EXPECT_EQ(button->Width(), 0);
    EXPECT_EQ(button->TextColor(), clBtnText);
    b.changes.clear();
    button->SetCaption(L"&Open");
    EXPECT_EQ(button->VisibleCaption(), L"Open");
    button->SetCaption(L"&Open");
    button->SetKind(bkText);
    button->SetWidth(-3);
    EXPECT_EQ(button->Width(), 0);
    button->SetWidth(20);
    button->SetVisible(false);
    EXPECT_EQ(b.buttons->VisibleCount(), 0);
    ASSERT_EQ(b.changes.size(), 4u);
    for (TCollectionItem *item : b.changes)
        EXPECT_EQ(item, button);
}

TEST(KvEditButtons, TheGlyphIsMadeOnReadAndFreedByNone) {
    Buttons b;
    TkvEditButton *button = b.buttons->Add();
    EXPECT_FALSE(button->HasGlyph());
    TBitmap *glyph = button->Glyph();
    ASSERT_NE(glyph, nullptr);
    EXPECT_TRUE(glyph->Empty());
    b.changes.clear();
    glyph->SetSize(8, 8); // the bitmap's own change reaches the collection
    EXPECT_FALSE(b.changes.empty());
    button->SetGlyph(nullptr);
    EXPECT_FALSE(button->HasGlyph());
    TOwned<TBitmap> picture(New<TBitmap>());
    picture->SetSize(5, 4);
    button->SetGlyph(picture.get());
    EXPECT_NE(button->Glyph(), picture.get());
    EXPECT_EQ(button->Glyph()->GetWidth(), 5);
}

TEST(KvEditButtons, AssignCopiesWithinOneBracket) {
    Buttons b;
    TkvEditButton *source = b.buttons->Add();
    source->SetCaption(L"&Go");
    source->SetKind(bkGlyph);
    source->SetLeftAlignment(true);
    source->SetStretchable(false);
    source->SetEnabled(false);
    source->SetWidth(17);
    source->SetTextColor(clRed);
    TkvEditButton *target = b.buttons->Add();
    b.changes.clear();
    target->Assign(source);
    ASSERT_EQ(b.changes.size(), 1u);
    EXPECT_EQ(b.changes[0], nullptr);
    EXPECT_EQ(target->Caption(), L"&Go");
    EXPECT_EQ(target->VisibleCaption(), L"Go");
    EXPECT_EQ(target->Kind(), bkGlyph);
    EXPECT_TRUE(target->LeftAlignment());
    EXPECT_FALSE(target->Stretchable());
    EXPECT_FALSE(target->Enabled());
    EXPECT_EQ(target->Width(), 17);
    EXPECT_EQ(target->TextColor(), clRed);

    // Freeing an item takes it out; the whole collection copies as new items.
    TOwned<TkvEditButtons> copy(New<TkvEditButtons>(static_cast<TPersistent *>(nullptr)));
    copy->Assign(b.buttons.get());
    EXPECT_EQ(copy->Count(), 2);
    EXPECT_EQ(copy->Items(1)->Width(), 17);
    b.buttons->Items(0)->Free();
    EXPECT_EQ(b.buttons->Count(), 1);
    EXPECT_EQ(b.buttons->Items(0), target);
    EXPECT_EQ(target->Index(), 0);
}

TEST(KvEditButtons, ViewInfosTellWhatToRepaint) {
    TOwned<TkvEditButtonViewInfo> now(New<TkvEditButtonViewInfo>());
    TOwned<TkvEditButtonViewInfo> before(New<TkvEditButtonViewInfo>());
    now->Bounds = TRect{10, 2, 27, 20};
    now->Data.VisibleCaption = L"x";
    now->Index = 3;
    before->Assign(now.get());
    EXPECT_EQ(before->Index, -1); // the index is not part of the view
    TOwned<TkvRegion> same(now->GetUpdateRegion(before.get()));
    EXPECT_TRUE(same->IsEmpty());
    EXPECT_FALSE(now->Repaint(nullptr, before.get(), TPoint{0, 0}));
    now->State = 3;
    TOwned<TkvRegion> changed(now->GetUpdateRegion(before.get()));
    RECT box{};
    GetRgnBox(changed->Handle(), &box);
    EXPECT_TRUE(EqualRect(&box, &now->Bounds));
    EXPECT_TRUE(now->Repaint(nullptr, before.get(), TPoint{0, 0}));
    before->Assign(now.get());
    now->Data.TextColor = clRed;
    EXPECT_TRUE(now->Repaint(nullptr, before.get(), TPoint{0, 0}));
}

} // namespace
