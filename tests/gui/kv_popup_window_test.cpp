// TkvPopupWindow: placement beside the owner inside the work area, its frame and children, and
// closing when it loses activation.
#include <gtest/gtest.h>

#include <windows.h>

#include "capture.h"
#include "kv_control_support.h"

using namespace kvcontroltest;

namespace {

class KvPopupWindowTest : public KvControlTest {
protected:
    void TearDown() override {
        FreeAndNil(popup);
        KvControlTest::TearDown();
    }
    TkvPopupWindow *make(int width, int height) {
        FreeAndNil(popup);
        popup = New<TkvPopupWindow>(nullptr);
        popup->Adjustable = false;
        popup->SetBounds(0, 0, width, height);
        work = GetMonitorWorkArea(TPoint{work.left + 10, work.top + 10});
        return popup;
    }
    TPoint place(TRect owner) {
        popup->OwnerBounds = owner;
        TPoint p{};
        popup->CalculatePosition(p);
        return p;
    }

    TkvPopupWindow *popup = nullptr;
    TRect work = GetMonitorWorkArea(TPoint{10, 10});
};

TEST_F(KvPopupWindowTest, OpensBelowOrFlipsAboveTheOwner) {
    make(150, 100);
    TPoint p = place(TRect{100, 200, 180, 220});
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 220) << "below the owner, left edges aligned";

    TRect low{100, work.bottom - 30, 180, work.bottom - 10};
    p = place(low);
    EXPECT_EQ(p.y, low.top - 100) << "no room below, more above: above the owner";

    popup->AlignVert = pavTop;
    TRect high{100, work.top + 10, 180, work.top + 30};
    p = place(high);
    EXPECT_EQ(p.y, high.bottom) << "no room above, more below: below the owner";
    EXPECT_EQ(popup->AlignVert, pavTop) << "the flip is for this placement only";

    popup->AlignVert = pavBottom;
    popup->AlignHorz = pahRight;
    p = place(TRect{300, 200, 380, 220});
    EXPECT_EQ(p.x, 380 - 150) << "right edges aligned";
    popup->AlignHorz = pahCenter;
    p = place(TRect{300, 200, 380, 220});
    EXPECT_EQ(p.x, (300 + 380 - 150) / 2);
}

TEST_F(KvPopupWindowTest, IsClampedToTheWorkArea) {
    make(300, 100);
    TPoint p = place(TRect{work.right - 50, 200, work.right - 10, 220});
    EXPECT_EQ(p.x, work.right - 300) << "moved left to end at the work area's right edge";
    make(work.right - work.left + 200, 100);
    p = place(TRect{work.right - 50, 200, work.right - 10, 220});
    EXPECT_EQ(p.x, work.left) << "never left of the work area";
}

TEST_F(KvPopupWindowTest, HorizontalDirectionOpensBesideTheOwner) {
    make(120, 80);
    popup->Direction = pdHorizontal;
    popup->AlignHorz = pahRight;
    popup->AlignVert = pavTop;
    TPoint p = place(TRect{200, 150, 260, 170});
    EXPECT_EQ(p.x, 260);
    EXPECT_EQ(p.y, 150);
    p = place(TRect{work.right - 70, 150, work.right - 10, 170});
    EXPECT_EQ(p.x, work.right - 70 - 120) << "no room on the right, more on the left";
    p = place(TRect{200, work.bottom - 20, 260, work.bottom - 5});
    EXPECT_EQ(p.y, work.bottom - 80) << "clamped to the bottom";
}

// A 3-D frame with BorderSpace 2 puts the children 4 pixels in and grows by 4 on each side; a
// second popup does not move them again.
TEST_F(KvPopupWindowTest, FrameAndBorderSpaceSurroundTheChildren) {
    ASSERT_TRUE(showForm());
    popup = New<TkvPopupWindow>(nullptr);
    popup->PopupBorderStyle = pbs3D;
    popup->BorderSpace = 2;
    TScrollingProbe *child = New<TScrollingProbe>(popup);
    child->SetBounds(0, 0, 80, 50);
    child->SetParent(popup);
    popup->SetOwnerParent(form);
    popup->OwnerBounds = TRect{20, 20, 120, 40};
    EXPECT_EQ(popup->GetFrameWidth(psLeft), 2);
    EXPECT_EQ(popup->GetBorderWidth(psTop), 4);
    for (int shown = 0; shown < 2; ++shown) {
        popup->Popup();
        ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(popup->Handle()) != FALSE; }));
        EXPECT_EQ(child->Left(), 4) << "popup " << shown;
        EXPECT_EQ(child->Top(), 4) << "popup " << shown;
        EXPECT_EQ(popup->Width(), 88);
        EXPECT_EQ(popup->Height(), 58);
        TPoint below = form->ClientToScreen(TPoint{20, 40});
        EXPECT_EQ(popup->Left(), below.x);
        EXPECT_EQ(popup->Top(), below.y);
        popup->ClosePopup();
        pumpFor(20);
    }
}

TEST_F(KvPopupWindowTest, ClosesWhenItLosesActivation) {
    ASSERT_TRUE(showForm());
    popup = New<TkvPopupWindow>(nullptr);
    popup->Adjustable = false;
    popup->SetBounds(0, 0, 120, 80);
    popup->PopupBorderStyle = pbsSingle;
    popup->SetOwnerParent(form);
    popup->OwnerBounds = TRect{10, 10, 100, 30};
    popup->Popup();
    ASSERT_TRUE(pumpUntil([&] { return GetActiveWindow() == popup->Handle(); }));
    EXPECT_EQ(popup->PrevActiveWindow(), form->Handle());
    UpdateWindow(popup->Handle());
    EXPECT_EQ(windowPixel(popup->Handle(), 0, 0), GetSysColor(COLOR_WINDOWTEXT)) << "the single frame";

    // Another window of the program becomes active: the popup closes.
    bringToForeground(form->Handle());
    ASSERT_TRUE(pumpUntil([&] { return !IsWindowVisible(popup->Handle()); }));
    EXPECT_FALSE(popup->Visible());

    // The application is left: closed as well.
    popup->Popup();
    ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(popup->Handle()) != FALSE; }));
    SendMessageW(popup->Handle(), WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_FALSE(popup->Visible());
}

} // namespace
