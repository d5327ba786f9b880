// TkvCustomPopupWindow with real input: it opens under its owner, clicks outside or on the
// owner close it once, hiding the owner's form closes it and the popups opened after it, its
// modal loop drops the system keys it filters; and a swallowed message gives each window its own
// procedure back.
#include <gtest/gtest.h>

#include <windows.h>

#include <kvContainer.h>
#include <kvControlServices.h>

#include <string>
#include <vector>

#include "kv_control_support.h"
#include "test_window.h"

using namespace kvcontroltest;

namespace {

constexpr UINT setModalResult = WM_APP + 17;

// Records the system keys that reach it and closes on a posted request.
class TRecordingPopup : public TkvCustomPopupWindow {
    CL_CLASS(TRecordingPopup, TkvCustomPopupWindow)

public:
    std::vector<WPARAM> SysKeys;
    void Dispatch(TMessage &m) override {
        if (m.Msg == WM_SYSKEYDOWN)
            SysKeys.push_back(m.WParam);
        if (m.Msg == setModalResult) {
            SetModalResult(mrOk);
            return;
        }
        inherited::Dispatch(m);
    }
};

class KvCustomPopupTest : public KvControlTest {
protected:
    void SetUp() override {
        KvControlTest::SetUp();
        if (HasFatalFailure())
            return;
        kvContainerUnit.Start();
        controller_ = New<TkvStyleController>(nullptr);
        SetDefaultStyleController(controller_);
    }
    void TearDown() override {
        for (TkvCustomPopupWindow *&popup : popups)
            FreeAndNil(popup);
        KvControlTest::TearDown();
        FreeAndNil(controller_);
        kvContainerUnit.Stop();
    }

    std::vector<TkvCustomPopupWindow *> popups;

private:
    TkvStyleController *controller_ = nullptr;
};

// A popup of the owner, owned by nobody: created with the owner as owner control, then taken
// out of the owner's components so that the test frees it.
TRecordingPopup *makePopup(TControl *owner) {
    TRecordingPopup *popup = New<TRecordingPopup>(owner);
    owner->RemoveComponent(popup);
    popup->SetBounds(0, 0, 120, 80);
    popup->Adjustable = false;
    popup->ModalLoop = false;
    return popup;
}

TEST_F(KvCustomPopupTest, OpensUnderItsOwnerAndAClickOutsideClosesItOnce) {
    ASSERT_TRUE(showForm());
    TScrollingProbe *owner = add<TScrollingProbe>(TRect{20, 20, 140, 44});
    owner->SetContent(10, 10); // no scroll bars over the owner's area
    TScrollingProbe *elsewhere = add<TScrollingProbe>(TRect{20, 200, 200, 300});
    TRecordingPopup *popup = makePopup(owner);
    popups.push_back(popup);
    int closedCount = 0;
    popup->OnClosed = [&](TObject *) { ++closedCount; };
    popup->Popup(nullptr);
    ASSERT_TRUE(popup->IsShown());
    EXPECT_EQ(ShownPopupCount(), 1);
    TPoint below = owner->ClientToScreen(TPoint{0, owner->Height()});
    EXPECT_EQ(popup->Left(), below.x);
    EXPECT_EQ(popup->Top(), below.y);
    ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(popup->Handle()) != FALSE; }));
    popup->Popup(nullptr);
    EXPECT_EQ(ShownPopupCount(), 1) << "a shown popup is not shown again";

    clickAt(elsewhere->Handle(), POINT{150, 80});
    pumpFor(100);
    EXPECT_FALSE(popup->IsShown());
    EXPECT_FALSE(IsWindowVisible(popup->Handle()));
    EXPECT_EQ(closedCount, 1) << "closed once";
    EXPECT_EQ(elsewhere->AfterMouseDowns, 1) << "the click goes on to where it fell";
    EXPECT_FALSE(popup->ClickedOnOwner());
}

TEST_F(KvCustomPopupTest, AClickOnTheOwnerClosesItAndReachesTheOwner) {
    ASSERT_TRUE(showForm());
    TScrollingProbe *owner = add<TScrollingProbe>(TRect{20, 20, 140, 44});
    owner->SetContent(10, 10); // no scroll bars over the owner's area
    TRecordingPopup *popup = makePopup(owner);
    popups.push_back(popup);
    int closedCount = 0;
    popup->OnClosed = [&](TObject *) { ++closedCount; };
    popup->Popup(nullptr);
    ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(popup->Handle()) != FALSE; }));
    clickAt(owner->Handle(), POINT{60, 12});
    pumpFor(100);
    EXPECT_FALSE(popup->IsShown());
    EXPECT_EQ(closedCount, 1);
    EXPECT_TRUE(popup->ClickedOnOwner());
    EXPECT_EQ(owner->AfterMouseDowns, 1) << "the visible owner still gets the click";
}

TEST_F(KvCustomPopupTest, HidingTheOwnerFormClosesItAndTheLaterPopupsTopFirst) {
    ASSERT_TRUE(showForm());
    TScrollingProbe *owner = add<TScrollingProbe>(TRect{20, 20, 140, 44});
    owner->SetContent(10, 10); // no scroll bars over the owner's area
    std::vector<std::string> order;
    TRecordingPopup *first = makePopup(owner);
    popups.push_back(first);
    first->OnClosed = [&](TObject *) { order.push_back("first"); };
    first->Popup(nullptr);
    ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(first->Handle()) != FALSE; }));
    // A popup opened from a control on the first one.
    TScrollingProbe *inner = New<TScrollingProbe>(first);
    inner->SetBounds(5, 5, 60, 20);
    inner->SetParent(first);
    inner->HandleNeeded();
    TRecordingPopup *second = makePopup(inner);
    popups.push_back(second);
    second->OnClosed = [&](TObject *) { order.push_back("second"); };
    second->Popup(nullptr);
    ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(second->Handle()) != FALSE; }));
    ASSERT_EQ(ShownPopupCount(), 2) << "opening the second keeps the first";

    form->Hide();
    pumpFor(50);
    EXPECT_EQ(ShownPopupCount(), 0);
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0], "second");
    EXPECT_EQ(order[1], "first");
    form->Show();
}

TEST_F(KvCustomPopupTest, ModalLoopDropsTheFilteredSystemKeys) {
    ASSERT_TRUE(showForm());
    TScrollingProbe *owner = add<TScrollingProbe>(TRect{20, 20, 140, 44});
    owner->SetContent(10, 10); // no scroll bars over the owner's area
    TRecordingPopup *popup = makePopup(owner);
    popups.push_back(popup);
    popup->ModalLoop = true;
    popup->HandleNeeded();
    HWND window = popup->Handle();
    for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_DOWN}, WPARAM{VK_SPACE}, WPARAM{VK_MENU}, WPARAM{VK_F4}})
        PostMessageW(window, WM_SYSKEYDOWN, key, 0x20000001);
    PostMessageW(window, setModalResult, 0, 0);
    popup->Popup(nullptr); // runs until the modal result closes it
    EXPECT_FALSE(popup->IsShown());
    std::vector<WPARAM> expected{VK_DOWN, VK_F4};
    EXPECT_EQ(popup->SysKeys, expected) << "Enter, Space and Alt are dropped";
}

// Outside its own loop the top popup takes only the system keys it accepts.
TEST_F(KvCustomPopupTest, SystemKeysThePopupRefusesBecomeNothing) {
    ASSERT_TRUE(showForm());
    TScrollingProbe *owner = add<TScrollingProbe>(TRect{20, 20, 140, 44});
    TRecordingPopup *popup = makePopup(owner);
    popups.push_back(popup);
    popup->Popup(nullptr);
    ASSERT_TRUE(popup->IsShown());
    for (WPARAM key : {WPARAM{'A'}, WPARAM{VK_DOWN}, WPARAM{VK_RETURN}, WPARAM{VK_F4}})
        PostMessageW(popup->Handle(), WM_SYSKEYDOWN, key, 0x20000001);
    pumpFor(50);
    std::vector<WPARAM> expected{VK_DOWN, VK_F4};
    EXPECT_EQ(popup->SysKeys, expected);
}

TEST_F(KvCustomPopupTest, LeavingTheApplicationClosesPopupsThatDoNotHoldTheFocus) {
    ASSERT_TRUE(showForm());
    TScrollingProbe *owner = add<TScrollingProbe>(TRect{20, 20, 140, 44});
    TRecordingPopup *popup = makePopup(owner);
    popups.push_back(popup);
    popup->Popup(nullptr);
    ASSERT_TRUE(popup->IsShown());
    ASSERT_TRUE(pumpUntil([&] { return Screen->ActiveForm() == popup; }));
    SendMessageW(form->Handle(), WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_TRUE(popup->IsShown()) << "the active capturing popup stays";
    bringToForeground(form->Handle());
    pumpFor(50);
    EXPECT_FALSE(popup->IsShown()) << "activating its owner's form closed it";

    TRecordingPopup *loose = makePopup(owner);
    popups.push_back(loose);
    loose->CaptureFocus = false;
    loose->Popup(nullptr);
    ASSERT_TRUE(loose->IsShown());
    SendMessageW(form->Handle(), WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_FALSE(loose->IsShown()) << "a popup without the focus closes";
}

// With the stay-on-top flag cleared, a popup without the focus still goes above everything
// while some stay-on-top form is hidden, and only then.
TEST_F(KvCustomPopupTest, AHiddenStayOnTopFormKeepsLoosePopupsOnTop) {
    ASSERT_TRUE(showForm());
    ASSERT_TRUE(PopupsStayOnTop()) << "on from the start";
    SetPopupsStayOnTop(false);
    TScrollingProbe *owner = add<TScrollingProbe>(TRect{20, 20, 140, 44});
    auto topmost = [](HWND window) { return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    TRecordingPopup *loose = makePopup(owner);
    popups.push_back(loose);
    loose->CaptureFocus = false;
    loose->Popup(nullptr);
    ASSERT_TRUE(loose->IsShown());
    EXPECT_FALSE(topmost(loose->Handle())) << "no stay-on-top form anywhere";
    loose->ClosePopup();

    TForm *hidden = New<TForm>(nullptr);
    hidden->HandleNeeded();
    SetWindowPos(hidden->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_TRUE(topmost(hidden->Handle()));
    ASSERT_FALSE(hidden->Visible());
    loose->Popup(nullptr);
    ASSERT_TRUE(loose->IsShown());
    EXPECT_TRUE(topmost(loose->Handle())) << "a hidden stay-on-top form";
    loose->ClosePopup();
    hidden->Free();
    SetPopupsStayOnTop(true);
}

// The library's popup-owner hook: from a window inside a popup, up through its parents, to the
// window of the popup's owner; any other window answers itself.
TEST_F(KvCustomPopupTest, PopupOwnerHookAnswersTheOwnersWindow) {
    ASSERT_NE(kvPopupOwnerWindowHook, nullptr);
    ASSERT_TRUE(showForm());
    TScrollingProbe *owner = add<TScrollingProbe>(TRect{20, 20, 140, 44});
    TRecordingPopup *popup = makePopup(owner);
    popups.push_back(popup);
    popup->HandleNeeded();
    HWND inside = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, popup->Handle(), nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(inside, nullptr);
    HWND deeper = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, inside, nullptr, nullptr,
                                  nullptr);
    ASSERT_NE(deeper, nullptr);
    EXPECT_EQ(kvPopupOwnerWindowHook(popup->Handle()), owner->Handle());
    EXPECT_EQ(kvPopupOwnerWindowHook(inside), owner->Handle());
    EXPECT_EQ(kvPopupOwnerWindowHook(deeper), owner->Handle());
    EXPECT_EQ(kvPopupOwnerWindowHook(owner->Handle()), owner->Handle());
    EXPECT_EQ(kvPopupOwnerWindowHook(form->Handle()), form->Handle());
    DestroyWindow(inside);
}

TEST_F(KvCustomPopupTest, SwallowedMessagesGiveEachWindowItsOwnProcedure) {
    TestWindow a({10, 10}, {50, 50});
    TestWindow b({70, 10}, {50, 50});
    auto procA = GetWindowLongPtrW(a.handle(), GWLP_WNDPROC);
    auto procB = GetWindowLongPtrW(b.handle(), GWLP_WNDPROC);
    SwallowNextWindowMessage(a.handle());
    SwallowNextWindowMessage(b.handle());
    EXPECT_EQ(SendMessageW(b.handle(), WM_NCACTIVATE, FALSE, 0), 1);
    EXPECT_EQ(SendMessageW(a.handle(), WM_NCACTIVATE, FALSE, 0), 1);
    EXPECT_EQ(GetWindowLongPtrW(a.handle(), GWLP_WNDPROC), procA);
    EXPECT_EQ(GetWindowLongPtrW(b.handle(), GWLP_WNDPROC), procB);
    EXPECT_NE(SendMessageW(a.handle(), WM_NCACTIVATE, TRUE, 0), 0) << "the next message reaches the window";
}

} // namespace
