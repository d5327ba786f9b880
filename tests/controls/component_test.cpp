// Components: owners free what they own, removals are announced, state flags are kept.
#include <gtest/gtest.h>

#include <classlib/component.h>
#include <classlib/exceptions.h>
#include <classlib/persistent.h>

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> heard;
int liveParts = 0;

class TPart : public TComponent {
    CL_CLASS(TPart, TComponent)

public:
    TPart() { ++liveParts; }
    ~TPart() override { --liveParts; }

    TComponent *Watched = nullptr;

protected:
    void Notification(TComponent *component, TOperation operation) override {
        inherited::Notification(component, operation);
        if (operation == opRemove) {
            heard.push_back(Name() + L" heard " + component->Name());
            if (component == Watched)
                Watched = nullptr;
        }
    }
    void Destroy() override {
        heard.push_back(Name() + L" freed");
        inherited::Destroy();
    }
};

TPart *part(TComponent *owner, const wchar_t *name) {
    TPart *result = New<TPart>(owner);
    result->SetName(name);
    return result;
}

class Components : public testing::Test {
protected:
    void SetUp() override {
        heard.clear();
        liveParts = 0;
    }
    void TearDown() override { EXPECT_EQ(liveParts, 0); }
};

} // namespace

TEST_F(Components, AnOwnerFreesWhatItOwnsLastFirst) {
    TPart *form = part(nullptr, L"form");
    part(form, L"a");
    part(form, L"b");
    EXPECT_EQ(form->ComponentCount(), 2);
    EXPECT_EQ(form->Components(1)->Owner(), form);
    heard.clear();
    form->Free();
    EXPECT_EQ(heard, (std::vector<std::wstring>{L"form freed", L"b freed", L"a freed"}));
}

TEST_F(Components, FreeingAnOwnedComponentAnnouncesItToItsSiblings) {
    TPart *form = part(nullptr, L"form");
    TPart *a = part(form, L"a");
    TPart *b = part(form, L"b");
    a->Watched = b;
    heard.clear();
    b->Free();
    EXPECT_EQ(a->Watched, nullptr);
    EXPECT_EQ(form->ComponentCount(), 1);
    EXPECT_EQ(heard, (std::vector<std::wstring>{L"b freed", L"b heard b", L"a heard b", L"form heard b"}));
    form->Free();
}

TEST_F(Components, FreeNotificationReachesComponentsOfOtherOwners) {
    TPart *menu = part(nullptr, L"menu");
    TPart *form = part(nullptr, L"form");
    TPart *control = part(form, L"control");
    control->Watched = menu;
    menu->FreeNotification(control);
    heard.clear();
    menu->Free();
    EXPECT_EQ(control->Watched, nullptr);
    EXPECT_EQ(heard, (std::vector<std::wstring>{L"menu freed", L"control heard menu"}));
    form->Free();
}

TEST_F(Components, AListenerFreedFirstIsNotCalledLater) {
    TPart *menu = part(nullptr, L"menu");
    TPart *listener = part(nullptr, L"listener");
    menu->FreeNotification(listener);
    listener->Free();
    heard.clear();
    menu->Free();
    EXPECT_EQ(heard, (std::vector<std::wstring>{L"menu freed"}));
}

TEST_F(Components, RemovedFreeNotificationsAreSilent) {
    TPart *menu = part(nullptr, L"menu");
    TPart *listener = part(nullptr, L"listener");
    menu->FreeNotification(listener);
    menu->RemoveFreeNotification(listener);
    heard.clear();
    menu->Free();
    EXPECT_EQ(heard, (std::vector<std::wstring>{L"menu freed"}));
    listener->Free();
}

TEST_F(Components, InsertingMovesAComponentFromItsOldOwner) {
    TPart *first = part(nullptr, L"first");
    TPart *second = part(nullptr, L"second");
    TPart *child = part(first, L"child");
    second->InsertComponent(child);
    EXPECT_EQ(child->Owner(), second);
    EXPECT_EQ(first->ComponentCount(), 0);
    EXPECT_EQ(second->ComponentCount(), 1);
    first->Free();
    EXPECT_EQ(liveParts, 2);
    second->Free();
}

TEST_F(Components, StateFlagsFollowLoadingDesigningAndDestroying) {
    TPart *form = part(nullptr, L"form");
    TPart *child = part(form, L"child");
    form->Loading();
    EXPECT_TRUE(form->ComponentState().Contains(csLoading));
    form->Loaded();
    EXPECT_FALSE(form->ComponentState().Contains(csLoading));

    form->SetDesigning(true);
    EXPECT_TRUE(child->ComponentState().Contains(csDesigning));
    TPart *late = part(form, L"late");
    EXPECT_TRUE(late->ComponentState().Contains(csDesigning));
    form->SetDesigning(false);
    EXPECT_FALSE(late->ComponentState().Contains(csDesigning));

    form->Destroying();
    EXPECT_TRUE(child->ComponentState().Contains(csDestroying));
    form->Free();
}

TEST_F(Components, ThePersistentOwnerOfAComponentIsItsOwner) {
    TPart *form = part(nullptr, L"form");
    TPart *child = part(form, L"child");
    EXPECT_EQ(GetPersistentOwnerOf(child), form);
    EXPECT_EQ(GetPersistentOwnerOf(form), nullptr);
    EXPECT_EQ(GetPersistentOwnerOf(nullptr), nullptr);
    form->Free();
}

TEST_F(Components, AssigningUnrelatedPersistentsIsRefused) {
    TPart *a = part(nullptr, L"a");
    TPart *b = part(nullptr, L"b");
    try {
        a->Assign(b);
        FAIL() << "assigned";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), L"Cannot assign a TPart to a TPart");
    }
    try {
        a->Assign(nullptr);
        FAIL() << "assigned";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), L"Cannot assign a nil to a TPart");
    }
    a->Free();
    b->Free();
}
