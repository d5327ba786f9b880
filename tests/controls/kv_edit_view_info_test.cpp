// An editor's picture without a window: copies, what an unchanged or changed recalculation
// leaves to repaint, moving, hit tests, and button painting into 32-bit bitmaps (hooks, the
// Office 2003 gradient, a glyph over the button background, cutting at the frame).
#include <gtest/gtest.h>

#include <classlib/units.h>

#include "kv_edit_view_support.h"
#include "image_compare.h"
#include "kvEditPaintUtils.h"
#include "kvEditViewLayout.h"
#include "kvEditViewInfo.h"
#include "kvLookAndFeelPainters.h"
#include "system_colors.h"

using namespace editviewtest;

namespace {

class KvEditViewInfoTest : public PaintersTest {
protected:
    void SetUp() override {
        PaintersTest::SetUp();
        if (HasFatalFailure())
            return;
        info.reset(New<TkvCustomEditViewInfo>());
        fill(info.get());
    }
    void TearDown() override {
        info.reset();
        PaintersTest::TearDown();
    }
    // A 100 x 21 editor with a single border and two buttons at the right.
    static void fill(TkvCustomEditViewInfo *v) {
        v->Bounds = TRect{0, 0, 100, 21};
        v->BorderRect = v->Bounds;
        v->ClientRect = TRect{1, 1, 99, 20};
        v->InnerEditRect = TRect{1, 1, 67, 20};
        v->BorderStyle = cbsSingle;
        v->BorderWidth = 1;
        v->SetButtonCount(2);
        v->Button(0)->Bounds = TRect{83, 1, 99, 20};
        v->Button(1)->Bounds = TRect{67, 1, 83, 20};
        for (int i = 0; i < 2; ++i) {
            v->Button(i)->Data.ContentRect = v->Button(i)->Bounds;
            v->Button(i)->Data.Style = btsFlat;
        }
    }
    static bool regionIs(TkvRegion *region, const TRect &rect) {
        TOwned<TkvRegion> expected(TkvRegion::CreateFromRect(rect));
        return region->IsEqual(expected.get());
    }

    TOwned<TkvCustomEditViewInfo> info;
};

TEST_F(KvEditViewInfoTest, RecalculationRepaintsOnlyWhatChanged) {
    TOwned<TkvCustomEditViewInfo> old(New<TkvCustomEditViewInfo>());
    old->Assign(info.get());
    ASSERT_EQ(old->ButtonCount(), 2);
    EXPECT_EQ(old->Button(1)->Bounds.left, 67);
    EXPECT_EQ(old->PressedButton, -1);

    TOwned<TkvRegion> none(info->CreateInvalidRegion(old.get()));
    EXPECT_TRUE(none->IsEmpty()) << "an unchanged picture repaints nothing";

    info->Button(1)->State = kvebsHot;
    info->Button(1)->Data.State = kvebsHot;
    TOwned<TkvRegion> button(info->CreateInvalidRegion(old.get()));
    EXPECT_TRUE(regionIs(button.get(), info->Button(1)->Bounds)) << "only the button that changed";

    info->BorderStyle = cbs3D;
    TOwned<TkvRegion> all(info->CreateInvalidRegion(old.get()));
    EXPECT_TRUE(regionIs(all.get(), info->Bounds)) << "a new border: everything";
    info->BorderStyle = cbsSingle;
    info->SetButtonCount(1);
    TOwned<TkvRegion> fewer(info->CreateInvalidRegion(old.get()));
    EXPECT_TRUE(regionIs(fewer.get(), info->Bounds));

    // Assign takes the list to the source's length.
    old->Assign(info.get());
    EXPECT_EQ(old->ButtonCount(), 1);
}

TEST_F(KvEditViewInfoTest, MovingAndHitTests) {
    info->Button(1)->State = kvebsPressed;
    EXPECT_EQ(info->GetFirstPressedButton(), 1);
    EXPECT_EQ(info->ButtonAt(TPoint{90, 10}), 0);
    EXPECT_EQ(info->ButtonAt(TPoint{70, 10}), 1);
    EXPECT_FALSE(info->IsPointOnButton(TPoint{30, 10}));
    info->MoveBy(5, -1);
    EXPECT_EQ(info->Button(0)->Bounds.left, 88);
    EXPECT_EQ(info->Button(0)->Data.ContentRect.top, 0);
    EXPECT_EQ(info->InnerEditRect.left, 6);
    EXPECT_EQ(info->Bounds.right, 105);
    EXPECT_TRUE(info->IsPointOnButton(TPoint{100, 10}));
}

TEST_F(KvEditViewInfoTest, ButtonsPaintWithHooksGradientAndFrameCut) {
    TOwned<TBitmap> bitmap(New<TBitmap>());
    bitmap->SetSize(100, 21);
    TOwned<TkvCanvas> canvas(New<TkvCanvas>(bitmap->GetCanvas()));
    HDC dc = canvas->GetHandle();
    auto clear = [&] {
        RECT r{0, 0, 100, 21};
        ::FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    };

    // A hook that draws takes the button over; one that declines leaves it to the painting.
    clear();
    int hooked = 0;
    info->OnDrawButton = [&](TkvCustomEditViewInfo *, TkvCanvas *, int) { return ++hooked == 1; };
    info->DrawButtons(canvas.get());
    EXPECT_EQ(hooked, 2);
    EXPECT_EQ(GetPixel(dc, 90, 10), RGB(255, 255, 255)) << "the first button was the hook's";
    EXPECT_NE(GetPixel(dc, 75, 10), RGB(255, 255, 255)) << "the second was painted";
    info->OnDrawButton = nullptr;

    // The background of an Office 2003 button with a background: a vertical gradient (normal
    // state: its two scheme colours differ with and without the theme), one pixel in at top and
    // bottom. Other buttons are left to the frame painting's solid fill.
    clear();
    TkvEditButtonViewInfo *button = info->Button(0);
    button->Data.Style = btsOffice11;
    button->State = button->Data.State = kvebsNormal;
    button->HasBackground = true;
    info->DrawButtonBackground(canvas.get(), TRect{84, 0, 98, 21}, 0);
    TColor top;
    TColor bottom;
    Office11ButtonGradientColors(kvebsNormal, top, bottom);
    EXPECT_NE(top, bottom);
    COLORREF upper = GetPixel(dc, 85, 3);
    COLORREF lower = GetPixel(dc, 85, 17);
    EXPECT_NE(upper, lower) << "shaded from top to bottom";
    EXPECT_LT(std::abs(int(GetGValue(upper)) - int(GetGValue(ColorToRGB(top)))),
              std::abs(int(GetGValue(upper)) - int(GetGValue(ColorToRGB(bottom)))));
    EXPECT_EQ(GetPixel(dc, 85, 0), RGB(255, 255, 255)) << "the normal state leaves the top row";
    EXPECT_NE(GetPixel(dc, 85, 1), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 85, 20), RGB(255, 255, 255)) << "and the bottom row";
    clear();
    button->Data.Style = btsFlat;
    info->DrawButtonBackground(canvas.get(), TRect{84, 2, 98, 19}, 0);
    EXPECT_EQ(GetPixel(dc, 85, 10), RGB(255, 255, 255));

    // A glyph's bitmap takes the view's button background under the glyph, in place.
    clear();
    TOwned<TBitmap> glyph(New<TBitmap>());
    glyph->SetSize(5, 5);
    glyph->SetTransparentColor(clWhite);
    RECT glyphArea{0, 0, 5, 5};
    ::FillRect(glyph->GetCanvas()->GetHandle(), &glyphArea, CachedSolidBrush(clBlue));
    button->Data.Kind = bkGlyph;
    button->Data.Glyph = glyph.get();
    info->OnDrawButtonBackground = [](TkvCustomEditViewInfo *, TkvCanvas *c, const TRect &r, int) {
        ::FillRect(c->GetHandle(), &r, CachedSolidBrush(clRed));
        return true;
    };
    info->DrawButtons(canvas.get());
    EXPECT_EQ(GetPixel(dc, 86, 3), ColorToRGB(clRed)) << "beside the glyph";
    EXPECT_EQ(GetPixel(dc, 90, 10), ColorToRGB(clBlue)) << "the glyph";
    info->OnDrawButtonBackground = nullptr;
    button->Data.Kind = bkDown;
    button->Data.Glyph = nullptr;

    // A button reaching past the border rectangle is cut at it.
    clear();
    button->Data.Style = btsFlat;
    button->State = button->Data.State = kvebsNormal;
    info->BorderRect = TRect{0, 0, 95, 21};
    button->Data.ContentRect = TRect{83, 1, 99, 20};
    info->DrawButtons(canvas.get());
    for (int x = 95; x < 100; ++x)
        EXPECT_EQ(GetPixel(dc, x, 10), RGB(255, 255, 255)) << x;
    EXPECT_NE(GetPixel(dc, 90, 10), RGB(255, 255, 255));
}

// Rows: the border styles single, 3-D, flat, UltraFlat, Office 2003, each with its default
// button style; columns: the buttons normal, hot, pressed, disabled. Each editor is laid out by
// the editor's own arithmetic: frame by border style, an ellipsis and a down button at the right.
TEST_F(KvEditViewInfoTest, EditorsInEveryBorderStyleAndButtonState) {
    constexpr int width = 90;
    constexpr int height = 21;
    constexpr int gap = 4;
    const TkvEditBorderStyle borders[] = {ebsSingle, ebs3D, ebsFlat, ebsUltraFlat, ebsOffice11};
    const int states[] = {kvebsNormal, kvebsHot, kvebsPressed, kvebsDisabled};
    TOwned<TBitmap> bitmap(New<TBitmap>());
    bitmap->SetSize(4 * (width + gap) + gap, 5 * (height + gap) + gap);
    TOwned<TkvCanvas> canvas(New<TkvCanvas>(bitmap->GetCanvas()));
    HDC dc = canvas->GetHandle();
    RECT all{0, 0, bitmap->GetWidth(), bitmap->GetHeight()};
    ::FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 4; ++column) {
            TOwned<TkvCustomEditViewInfo> v(New<TkvCustomEditViewInfo>());
            const TkvEditBorderStyle border = KvEditBorderStyleInForce(borders[row], false, false);
            TRect extent = KvEditBorderExtent(border, false, kvAllBorders, false, false);
            TkvEditFrameRects rects = KvEditFrameRects(TRect{0, 0, width, height}, extent, false);
            v->Bounds = rects.Bounds;
            v->BorderRect = rects.BorderRect;
            v->ClientRect = rects.ClientRect;
            v->BorderStyle = static_cast<TkvContainerBorderStyle>(border);
            v->BorderWidth = ContainerBorderWidth(v->BorderStyle);
            v->BorderColor = KvEditBorderColor(border, clBtnShadow, column == 1, false, false, false, clHighlight);
            v->BackgroundColor = clWindow;
            const TkvEditButtonStyle style = KvResolveButtonStyle(btsDefault, false, border, lfStandard);
            std::vector<TkvEditButtonPlacement> placements{{15, false, true}, {15, false, true}};
            std::vector<TkvEditButtonPlace> places;
            v->InnerEditRect = KvPlaceEditButtons(v->ClientRect, placements, false, places);
            v->SetButtonCount(2);
            for (int i = 0; i < 2; ++i) {
                TkvEditButtonViewInfo *b = v->Button(i);
                b->Bounds = places[static_cast<std::size_t>(i)].Bounds;
                b->Kind = i == 0 ? bkDown : bkEllipsis;
                b->State = states[column];
                b->Data.ContentRect = b->Bounds;
                b->Data.Kind = b->Kind;
                b->Data.Style = style;
                b->Data.State = b->State;
                b->Data.RightNeighbour = i == 1;
                b->Data.LeftNeighbour = i == 0;
            }
            v->ButtonPaintContext.ArrowSize = 3;
            v->ButtonPaintContext.FullFrame = false;
            v->MoveBy(gap + column * (width + gap), gap + row * (height + gap));
            v->Draw(canvas.get());
        }
    PixelBuffer pixels(bitmap->GetWidth(), bitmap->GetHeight());
    for (int y = 0; y < bitmap->GetHeight(); ++y)
        for (int x = 0; x < bitmap->GetWidth(); ++x)
            pixels.at(x, y) = PixelBuffer::fromColorRef(GetPixel(dc, x, y));
    EXPECT_TRUE(matchesReference(pixels, "controls", "edit_views"));
}

} // namespace
