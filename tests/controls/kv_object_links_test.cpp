// Weak object links: a destroyed control clears the links that refer to it.
#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/exception_handler.h>
#include <classlib/hidden_window.h>

#include "kvClasses.h"

namespace {

int liveControls = 0;

class TProbe : public TkvComponent {
    CL_CLASS(TProbe, TkvComponent)

public:
    TProbe() { ++liveControls; }
    ~TProbe() override { --liveControls; }
    int Touched = 0;
};

class ObjectLinks : public testing::Test {
protected:
    void SetUp() override { liveControls = 0; }
    void TearDown() override {
        EXPECT_EQ(ObjectLinkController(), nullptr);
        EXPECT_EQ(liveControls, 0);
    }
};

} // namespace

TEST_F(ObjectLinks, FreeingTheTargetClearsTheLink) {
    TProbe *control = New<TProbe>(nullptr);
    TkvObjectLink *link = CreateObjectLink(control);
    EXPECT_EQ(link->Ref, control);
    control->Free();
    EXPECT_EQ(link->Ref, nullptr);
    EXPECT_EQ(ObjectLinkController()->LinkCount(), 0);
    ReleaseObjectLink(link);
}

TEST_F(ObjectLinks, TheControllerLivesWhileALinkIsOutstanding) {
    TProbe *control = New<TProbe>(nullptr);
    EXPECT_EQ(ObjectLinkController(), nullptr);
    TkvObjectLink *first = CreateObjectLink(control);
    TkvObjectLinkController *controller = ObjectLinkController();
    ASSERT_NE(controller, nullptr);
    TkvObjectLink *second = CreateObjectLink(control);
    EXPECT_EQ(ObjectLinkController(), controller);
    EXPECT_EQ(controller->LinkCount(), 2);
    ReleaseObjectLink(first);
    EXPECT_EQ(ObjectLinkController(), controller);
    EXPECT_EQ(controller->LinkCount(), 1);
    ReleaseObjectLink(second);
    EXPECT_EQ(ObjectLinkController(), nullptr);
    ReleaseObjectLink(nullptr);
    control->Free();
}

TEST_F(ObjectLinks, OnlyLinksToTheFreedControlAreCleared) {
    TProbe *kept = New<TProbe>(nullptr);
    TProbe *freed = New<TProbe>(nullptr);
    TkvObjectLink *toKept = CreateObjectLink(kept);
    TkvObjectLink *toFreed1 = CreateObjectLink(freed);
    TkvObjectLink *toFreed2 = CreateObjectLink(freed);
    freed->Free();
    EXPECT_EQ(toKept->Ref, kept);
    EXPECT_EQ(toFreed1->Ref, nullptr);
    EXPECT_EQ(toFreed2->Ref, nullptr);
    EXPECT_EQ(ObjectLinkController()->LinkCount(), 1);
    ReleaseObjectLink(toFreed2);
    ReleaseObjectLink(toKept);
    ReleaseObjectLink(toFreed1);
    kept->Free();
}

TEST_F(ObjectLinks, AControlDestroyedInsideItsOwnDispatchIsNotTouchedAfterwards) {
    TProbe *control = New<TProbe>(nullptr);
    HWND window = AllocateHWnd([&](TMessage &message) {
        // The dispatcher's pattern: a link around the handling, the control used only while alive.
        TkvObjectLink *link = CreateObjectLink(control);
        try {
            if (message.Msg == WM_APP)
                control->Free();
        } catch (...) {
            ReleaseObjectLink(link);
            throw;
        }
        if (link->Ref != nullptr)
            static_cast<TProbe *>(link->Ref)->Touched++;
        message.Result = link->Ref != nullptr ? 1 : 2;
        ReleaseObjectLink(link);
    });
    EXPECT_EQ(SendMessageW(window, WM_APP + 1, 0, 0), 1);
    EXPECT_EQ(control->Touched, 1);
    EXPECT_EQ(SendMessageW(window, WM_APP, 0, 0), 2);
    EXPECT_EQ(ObjectLinkController(), nullptr);
    DeallocateHWnd(window);
}
