// Edit-button frames and contents in 32-bit bitmaps under fixed system colours: the dots of the
// ellipsis, the embossed arrow, the frames of each style, the size rules, and a capture of every
// style, state and kind against its stored reference.
#include <gtest/gtest.h>

#include <algorithm>

#include <classlib/units.h>

#include "kv_edit_view_support.h"
#include "image_compare.h"
#include "kvEditButtonPainting.h"
#include "kvEditPaintUtils.h"
#include "kvLookAndFeelPainters.h"
#include "system_colors.h"

using namespace editviewtest;

namespace {

class Surface {
public:
    Surface(int width, int height) : bitmap_(New<TBitmap>()), width_(width), height_(height) {
        bitmap_->SetSize(width, height);
        canvas_.reset(New<TkvCanvas>(bitmap_->GetCanvas()));
        RECT all{0, 0, width, height};
        ::FillRect(canvas_->GetHandle(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    TkvCanvas *Canvas() const { return canvas_.get(); }
    COLORREF Pixel(int x, int y) const { return GetPixel(canvas_->GetHandle(), x, y); }
    RECT Bounds(TColor color) const {
        RECT b{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (Pixel(x, y) == ColorToRGB(color)) {
                    b.left = std::min<LONG>(b.left, x);
                    b.top = std::min<LONG>(b.top, y);
                    b.right = std::max<LONG>(b.right, x + 1);
                    b.bottom = std::max<LONG>(b.bottom, y + 1);
                }
        return b.right < b.left ? RECT{} : b;
    }
    PixelBuffer Pixels() const { return pixelsOf(canvas_->GetHandle(), width_, height_); }

private:
    TOwned<TBitmap> bitmap_;
    TOwned<TkvCanvas> canvas_;
    int width_;
    int height_;
};

class EditButtonPaintTest : public PaintersTest {
protected:
    void SetUp() override {
        PaintersTest::SetUp();
        if (HasFatalFailure())
            return;
        button.reset(New<TkvEditButtonViewInfo>());
        button->Data.BackgroundColor = clWindow; // the editor's, as its view hands it on
    }
    void TearDown() override {
        button.reset();
        PaintersTest::TearDown();
    }
    void draw(Surface &s, TRect r, const TkvEditButtonPaintContext &context = {}) {
        DrawEditButtonBorder(s.Canvas(), button.get(), r, context);
        DrawEditButtonContent(s.Canvas(), button.get(), r, context);
    }

    TOwned<TkvEditButtonViewInfo> button;
};

TEST_F(EditButtonPaintTest, EllipsisDotsBySize) {
    button->Data.Kind = bkEllipsis;
    TkvEditButtonPaintContext context;
    context.SymbolColor = clRed;
    Surface wide(12, 16);
    DrawEditButtonContent(wide.Canvas(), button.get(), TRect{0, 0, 12, 16}, context);
    RECT dots = wide.Bounds(clRed);
    EXPECT_EQ(dots.right - dots.left, 10);
    EXPECT_EQ(dots.bottom - dots.top, 2);
    EXPECT_EQ(dots.left, 1);
    Surface narrow(11, 16);
    DrawEditButtonContent(narrow.Canvas(), button.get(), TRect{0, 0, 11, 16}, context);
    dots = narrow.Bounds(clRed);
    EXPECT_EQ(dots.right - dots.left, 7);
    EXPECT_EQ(dots.bottom - dots.top, 1);
}

TEST_F(EditButtonPaintTest, ADisabledArrowIsEmbossed) {
    button->Data.Kind = bkDown;
    button->Data.State = kvebsDisabled;
    TkvEditButtonPaintContext context;
    context.ArrowSize = 3;
    Surface s(16, 16);
    DrawEditButtonContent(s.Canvas(), button.get(), TRect{0, 0, 16, 16}, context);
    RECT shadow = s.Bounds(clBtnShadow);
    RECT highlight = s.Bounds(clBtnHighlight);
    EXPECT_EQ(shadow.right - shadow.left, 5);
    EXPECT_EQ(shadow.bottom - shadow.top, 3);
    // The odd pixel of a released arrow goes left: (16 - 5) = 11 gives 6 on the left.
    EXPECT_EQ(shadow.left, 6);
    EXPECT_EQ(highlight.right, shadow.right + 1);
    EXPECT_EQ(highlight.bottom, shadow.bottom + 1);
    button->Data.State = kvebsPressed;
    Surface pressed(16, 16);
    DrawEditButtonContent(pressed.Canvas(), button.get(), TRect{0, 0, 16, 16}, context);
    RECT arrow = pressed.Bounds(clBtnText);
    EXPECT_EQ(arrow.left, 5 + 1); // odd pixel to the right, then the pressed shift
}

TEST_F(EditButtonPaintTest, FramesByStyle) {
    button->Data.Kind = bkDown;
    button->Data.Style = bts3D;
    Surface s(20, 20);
    draw(s, TRect{0, 0, 20, 20});
    EXPECT_EQ(s.Pixel(0, 5), ColorToRGB(cl3DLight));
    EXPECT_EQ(s.Pixel(19, 5), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(s.Pixel(1, 5), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(s.Pixel(18, 5), ColorToRGB(clBtnShadow));
    EXPECT_EQ(s.Pixel(2, 2), ColorToRGB(clBtnFace));
    button->Data.State = kvebsPressed;
    draw(s, TRect{0, 0, 20, 20});
    EXPECT_EQ(s.Pixel(0, 5), ColorToRGB(clBtnShadow));
    EXPECT_EQ(s.Pixel(19, 5), ColorToRGB(clBtnShadow));
    EXPECT_EQ(s.Pixel(1, 5), ColorToRGB(clBtnFace));

    // HotFlat: pressed buttons are dark; a free right-aligned button has its outer edges.
    button->Data.Style = btsHotFlat;
    button->Data.Kind = bkEllipsis;
    draw(s, TRect{0, 0, 20, 20});
    EXPECT_EQ(s.Pixel(10, 2), ColorToRGB(clBtnText));
    EXPECT_EQ(s.Pixel(19, 10), ColorToRGB(clBtnShadow));
    EXPECT_EQ(s.Pixel(0, 10), ColorToRGB(clBtnText)); // inner side in the background
    button->Data.LeftNeighbour = true; // beside another button: a whole frame
    draw(s, TRect{0, 0, 20, 20});
    EXPECT_EQ(s.Pixel(0, 10), ColorToRGB(clBtnShadow));
    EXPECT_EQ(s.Pixel(19, 10), ColorToRGB(clBtnShadow));
    button->Data.LeftNeighbour = false;

    // Simple, and UltraFlat and Office 2003 at rest: a ring in the editor's background, then the face.
    button->Data.State = kvebsNormal;
    for (TkvEditButtonStyle style : {btsSimple, btsUltraFlat, btsOffice11}) {
        button->Data.Style = style;
        draw(s, TRect{0, 0, 20, 20});
        EXPECT_EQ(s.Pixel(0, 10), ColorToRGB(clWindow)) << style;
        EXPECT_EQ(s.Pixel(10, 19), ColorToRGB(clWindow)) << style;
        if (style == btsSimple) { // the flat styles' ring is two pixels wide at the sides
            EXPECT_NE(s.Pixel(1, 10), ColorToRGB(clWindow)) << style;
        }
    }

    EXPECT_EQ(EditButtonFrameExtraWidth(btsDefault), 0);
    EXPECT_EQ(EditButtonFrameExtraWidth(bts3D), 4);
    EXPECT_EQ(EditButtonFrameExtraWidth(btsOffice11), 2);
    EXPECT_EQ(EditButtonThemeState(kvebsDisabled), 4);
    EXPECT_EQ(EditButtonThemeState(kvebsHot), 2);
}

TEST_F(EditButtonPaintTest, WidthsOfEachKind) {
    Surface s(10, 10);
    const int scrollBar = GetSystemMetrics(SM_CYHSCROLL);
    TkvEditButtonViewInfoData data;
    data.Kind = bkText;
    data.VisibleCaption = L"";
    EXPECT_GE(GetEditButtonWidth(s.Canvas(), data), scrollBar);
    data.VisibleCaption = L"A long caption";
    EXPECT_EQ(GetEditButtonWidth(s.Canvas(), data), 4 + s.Canvas()->TextWidth(L"A long caption") + 3);
    data.Kind = bkDown;
    EXPECT_EQ(GetEditButtonWidth(s.Canvas(), data), scrollBar);
    data.Width = 2;
    EXPECT_EQ(GetEditButtonWidth(s.Canvas(), data), 4);
    data.Width = 30;
    EXPECT_EQ(GetEditButtonWidth(s.Canvas(), data), 30);
    TOwned<TBitmap> glyph(New<TBitmap>());
    glyph->SetSize(9, 9);
    data.Width = 0;
    data.Kind = bkGlyph;
    data.Glyph = glyph.get();
    EXPECT_EQ(GetEditButtonWidth(s.Canvas(), data), 13);
    data.Style = bts3D;
    EXPECT_EQ(GetEditButtonBorderWidth(s.Canvas(), data), 4);
    // Without themes asked for, none are used.
    data.NativeStyle = false;
    UpdateButtonThemeData(data);
    EXPECT_EQ(data.NativeState, 0);
    EXPECT_FALSE(data.IsPartiallyTransparent);
}

// UltraFlat and Office 2003 buttons at rest or disabled paint every pixel of their rectangle:
// the columns between the ring and the narrowed face take the ring's colour.
TEST_F(EditButtonPaintTest, FlatButtonsAtRestLeaveNoPixelUnpainted) {
    constexpr COLORREF untouched = RGB(1, 2, 3);
    button->Data.Kind = bkEllipsis;
    for (TkvEditButtonStyle style : {btsUltraFlat, btsOffice11})
        for (int state : {kvebsDisabled, kvebsNormal}) {
            SCOPED_TRACE(testing::Message() << "style " << style << ", state " << state);
            button->Data.Style = style;
            button->Data.State = state;
            Surface s(20, 20);
            RECT all{0, 0, 20, 20};
            HBRUSH brush = CreateSolidBrush(untouched);
            ::FillRect(s.Canvas()->GetHandle(), &all, brush);
            DeleteObject(brush);
            draw(s, TRect{0, 0, 20, 20});
            EXPECT_EQ(s.Bounds(static_cast<TColor>(untouched)).right, 0) << "an unpainted pixel";
            EXPECT_EQ(s.Pixel(1, 10), ColorToRGB(clWindow)) << "the column beside the ring";
            EXPECT_EQ(s.Pixel(18, 10), ColorToRGB(clWindow));
        }
}

// Rows: the styles; columns: disabled, normal, pressed, hot for the ellipsis, then the down arrow.
TEST_F(EditButtonPaintTest, EveryStyleStateAndKind) {
    constexpr int cell = 18;
    const TkvEditButtonStyle styles[] = {btsDefault, bts3D, btsFlat, btsSimple, btsHotFlat, btsUltraFlat, btsOffice11};
    Surface s(cell * 8, cell * 7);
    TkvEditButtonPaintContext context;
    context.ArrowSize = 3;
    context.BorderRect = TRect{0, 0, cell * 8, cell * 7};
    for (int row = 0; row < 7; ++row)
        for (int column = 0; column < 8; ++column) {
            button->Data.Style = styles[row];
            button->Data.State = column % 4;
            button->Data.Kind = column < 4 ? bkEllipsis : bkDown;
            draw(s, TRect{column * cell, row * cell, column * cell + cell - 1, row * cell + cell - 1}, context);
        }
    EXPECT_TRUE(matchesReference(s.Pixels(), "controls", "edit_buttons"));
}

} // namespace
