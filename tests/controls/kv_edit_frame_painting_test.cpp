// The editor's background and frame in a memory bitmap: what is filled with and without erase,
// in place and not, transparent or not, and the background hook taking over.
#include <gtest/gtest.h>

#include <classlib/units.h>

#include "kv_edit_view_support.h"
#include "kvEditFramePainting.h"
#include "kvEditPaintUtils.h"
#include "kvLookAndFeelPainters.h"
#include "system_colors.h"

using namespace editviewtest;

namespace {

constexpr COLORREF untouched = RGB(0, 128, 0);

class KvEditFramePaintingTest : public PaintersTest {
protected:
    void SetUp() override {
        PaintersTest::SetUp();
        if (HasFatalFailure())
            return;
        makeCanvas(60, 20);
        info.reset(New<TkvCustomEditViewInfo>());
        info->Bounds = TRect{0, 0, 60, 20};
        info->BorderRect = info->Bounds;
        info->ClientRect = TRect{1, 1, 59, 19};
        info->BorderStyle = cbsSingle;
        info->BorderWidth = 1;
        info->BorderColor = clBlack;
        info->SetBackgroundColor(clYellow);
    }
    void TearDown() override {
        info.reset();
        PaintersTest::TearDown();
    }
    void clear() {
        HBRUSH green = CreateSolidBrush(untouched);
        RECT all{0, 0, 60, 20};
        FillRect(bitmap->GetCanvas()->GetHandle(), &all, green);
        DeleteObject(green);
    }
    COLORREF at(int x, int y) { return GetPixel(bitmap->GetCanvas()->GetHandle(), x, y); }

    TOwned<TkvCustomEditViewInfo> info;
};

TEST_F(KvEditFramePaintingTest, EraseFillsInsideTheBorderOnly) {
    clear();
    DrawEditBackground(canvas.get(), info.get(), true);
    EXPECT_EQ(at(0, 0), RGB(0, 0, 0)) << "the border inside the bounds";
    EXPECT_EQ(at(59, 19), RGB(0, 0, 0));
    EXPECT_EQ(at(30, 10), RGB(255, 255, 0));

    clear();
    DrawEditBackground(canvas.get(), info.get(), false);
    EXPECT_EQ(at(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(at(30, 10), untouched) << "without erase an inner edit covers the inside";

    clear();
    info->ButtonPaintContext.Transparent = true;
    DrawEditBackground(canvas.get(), info.get(), true);
    EXPECT_EQ(at(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(at(30, 10), untouched) << "a transparent editor fills nothing";
}

// A transparent border is two pixels wide and the window region keeps only its inner ring: the
// one-pixel frame is drawn there, around the client rectangle.
TEST_F(KvEditFramePaintingTest, AOnePixelFrameInATransparentBorderLiesAroundTheClient) {
    info->ClientRect = TRect{2, 2, 58, 18};
    for (TkvContainerBorderStyle style : {cbsSingle, cbsUltraFlat, cbsOffice11}) {
        SCOPED_TRACE(static_cast<int>(style));
        info->BorderStyle = style;
        clear();
        DrawEditBackground(canvas.get(), info.get(), true);
        for (POINT p : {POINT{1, 1}, POINT{58, 18}, POINT{30, 1}, POINT{1, 10}, POINT{58, 10}, POINT{30, 18}})
            EXPECT_EQ(at(p.x, p.y), RGB(0, 0, 0)) << p.x << "," << p.y;
        EXPECT_EQ(at(2, 2), RGB(255, 255, 0));
        EXPECT_EQ(at(0, 0), untouched) << "outside the window region";
    }
}

TEST_F(KvEditFramePaintingTest, InPlaceFillsTheBandOrEverything) {
    info->BorderStyle = cbsNone;
    info->ButtonPaintContext.InPlace = true;
    info->ClientRect = TRect{2, 2, 58, 18};
    clear();
    DrawEditBackground(canvas.get(), info.get(), false);
    EXPECT_EQ(at(0, 0), RGB(255, 255, 0)) << "the band of the in-place extent";
    EXPECT_EQ(at(30, 10), untouched);
    clear();
    DrawEditBackground(canvas.get(), info.get(), true);
    EXPECT_EQ(at(30, 10), RGB(255, 255, 0));
    EXPECT_EQ(at(0, 0), RGB(255, 255, 0));
}

TEST_F(KvEditFramePaintingTest, ButtonsAreKeptOutAndTheHookTakesOver) {
    info->SetButtonCount(1);
    TkvEditButtonViewInfo *button = info->Button(0);
    button->Bounds = TRect{40, 1, 59, 19};
    button->Data.ContentRect = button->Bounds;
    button->Data.Style = btsFlat;
    button->Data.State = kvebsNormal;
    button->Data.HasOwnBackground = true;
    button->Data.BackgroundColor = clBlue;
    bool hookRan = false;
    info->OnDrawBackground = [&](TkvCustomEditViewInfo *sender, TkvCanvas *) {
        EXPECT_EQ(sender, info.get());
        hookRan = true;
        return true;
    };
    clear();
    DrawEditBackground(canvas.get(), info.get(), true);
    EXPECT_TRUE(hookRan);
    EXPECT_EQ(at(0, 0), untouched) << "the hook drew the background itself";
    EXPECT_EQ(at(30, 10), untouched);
    EXPECT_EQ(at(43, 4), RGB(0, 0, 255)) << "the buttons are drawn after the background";

    info->OnDrawBackground = nullptr;
    clear();
    DrawEditBackground(canvas.get(), info.get(), true);
    EXPECT_EQ(at(30, 10), RGB(255, 255, 0));
    EXPECT_EQ(at(43, 4), RGB(0, 0, 255));
}

} // namespace
