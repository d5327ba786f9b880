// TkvContainer under the display: the frame of each border style in its colours, focused and
// not, the client rectangle it leaves, the window region with the shadow, Tab, an inner edit's
// scroll bar mirrored into the container's, and the stored pictures of every style.
#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/stdctrls.h>

#include <kvContainer.h>

#include "capture.h"
#include "image_compare.h"
#include "kv_control_support.h"
#include "system_colors.h"
#include "theme.h"

using namespace kvcontroltest;

namespace {

std::string text(const TRect &r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

class TTestContainer : public TkvContainer {
    CL_CLASS(TTestContainer, TkvContainer)
};

// A container that mirrors its inner edit's scroll bars.
class TScrollingContainer : public TkvContainer {
    CL_CLASS(TScrollingContainer, TkvContainer)

public:
    bool NeedsScrollBars() override { return true; }
};

class TMultiLineEdit : public TEdit {
    CL_CLASS(TMultiLineEdit, TEdit)

protected:
    void CreateParams(TCreateParams &params) override {
        inherited::CreateParams(params);
        params.Style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
        params.Style &= ~static_cast<DWORD>(ES_AUTOHSCROLL);
    }
};

class KvContainerTest : public KvControlTest {
protected:
    void SetUp() override {
        KvControlTest::SetUp();
        if (HasFatalFailure())
            return;
        colors_ = new ScopedSysColors(fixedSystemColors());
        ASSERT_TRUE(colors_->applied());
        controller_ = New<TkvStyleController>(nullptr);
        SetDefaultStyleController(controller_);
        // Away from every container: none of them is hot.
        moveMouseTo(POINT{GetSystemMetrics(SM_CXSCREEN) - 3, GetSystemMetrics(SM_CYSCREEN) - 3});
    }
    void TearDown() override {
        KvControlTest::TearDown();
        FreeAndNil(controller_);
        delete colors_;
        colors_ = nullptr;
    }

    TTestContainer *container(TRect bounds, TkvContainerBorderStyle style) {
        TTestContainer *c = add<TTestContainer>(bounds);
        c->Style()->SetTransparentBorder(false);
        c->Style()->SetBorderStyle(style);
        c->Style()->SetColor(clWindow);
        return c;
    }
    COLORREF pixel(TkvContainer *c, int x, int y) {
        RedrawWindow(c->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return windowPixel(c->Handle(), x, y);
    }
    static COLORREF sys(int index) { return GetSysColor(index); }

private:
    ScopedSysColors *colors_ = nullptr;
    TkvStyleController *controller_ = nullptr;
};

TEST_F(KvContainerTest, BorderStylesPaintTheirFramesAndInsetTheClient) {
    ASSERT_TRUE(showForm());
    TTestContainer *single = container(TRect{10, 10, 110, 40}, cbsSingle);
    TTestContainer *flat = container(TRect{10, 50, 110, 80}, cbsFlat);
    TTestContainer *ultra = container(TRect{10, 90, 110, 120}, cbsUltraFlat);
    TTestContainer *none = container(TRect{10, 130, 110, 160}, cbsNone);
    pumpFor(50);

    EXPECT_EQ(text(single->ViewInfo()->ClientRect), text(TRect{1, 1, 99, 29}));
    EXPECT_EQ(pixel(single, 0, 0), sys(COLOR_WINDOWFRAME));
    EXPECT_EQ(pixel(single, 1, 1), sys(COLOR_WINDOW));
    EXPECT_EQ(pixel(flat, 0, 0), sys(COLOR_BTNSHADOW)) << "sunken outer edge";
    EXPECT_EQ(pixel(flat, 99, 29), sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(pixel(flat, 1, 1), sys(COLOR_BTNFACE)) << "then a face-coloured frame";
    EXPECT_EQ(text(flat->ViewInfo()->ClientRect), text(TRect{2, 2, 98, 28}));
    EXPECT_EQ(pixel(ultra, 0, 0), sys(COLOR_BTNSHADOW));
    EXPECT_EQ(text(ultra->ViewInfo()->ClientRect), text(TRect{1, 1, 99, 29}));
    EXPECT_EQ(text(none->ViewInfo()->ClientRect), text(TRect{0, 0, 100, 30}));
    EXPECT_EQ(pixel(none, 0, 0), sys(COLOR_WINDOW));

    // Focused (hot tracking on): single becomes thick, flat becomes 3-D, ultra-flat lights up.
    single->SetFocus();
    ASSERT_TRUE(pumpUntil([&] { return single->Focused(); }));
    EXPECT_EQ(single->ViewInfo()->BorderStyle, cbsThick);
    EXPECT_EQ(text(single->ViewInfo()->ClientRect), text(TRect{2, 2, 98, 28}));
    EXPECT_EQ(pixel(single, 1, 1), sys(COLOR_WINDOWFRAME));
    flat->SetFocus();
    ASSERT_TRUE(pumpUntil([&] { return flat->Focused(); }));
    EXPECT_EQ(pixel(flat, 1, 1), sys(COLOR_3DDKSHADOW));
    EXPECT_EQ(pixel(flat, 98, 28), sys(COLOR_3DLIGHT));
    ultra->SetFocus();
    ASSERT_TRUE(pumpUntil([&] { return ultra->Focused(); }));
    EXPECT_EQ(pixel(ultra, 0, 0), sys(COLOR_HIGHLIGHT));
    EXPECT_EQ(pixel(single, 1, 1), sys(COLOR_WINDOW)) << "no longer focused";

    // Without hot tracking a focused single container stays single.
    single->Style()->SetHotTrack(false);
    single->SetFocus();
    ASSERT_TRUE(pumpUntil([&] { return single->Focused(); }));
    EXPECT_EQ(single->ViewInfo()->BorderStyle, cbsSingle);

    // Disabled: the disabled style's border colour.
    single->SetEnabled(false);
    pumpFor(20);
    EXPECT_EQ(pixel(single, 0, 0), sys(COLOR_BTNSHADOW));
}

TEST_F(KvContainerTest, TransparentBorderAndEdgesShapeTheClientAndTheRegion) {
    ASSERT_TRUE(showForm());
    TTestContainer *transparent = container(TRect{10, 10, 110, 40}, cbsNone);
    transparent->Style()->SetTransparentBorder(true);
    EXPECT_EQ(text(transparent->ViewInfo()->ClientRect), text(TRect{2, 2, 98, 28}));

    TTestContainer *open = container(TRect{10, 50, 110, 80}, cbsSingle);
    open->Style()->SetEdges(TkvBorders{bLeft, bTop, bBottom});
    EXPECT_EQ(text(open->ViewInfo()->ClientRect), text(TRect{1, 1, 100, 29})) << "no right border";
    EXPECT_EQ(pixel(open, 99, 10), sys(COLOR_WINDOW));
    EXPECT_EQ(pixel(open, 0, 10), sys(COLOR_WINDOWFRAME));
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(open->Handle(), region), ERROR);
    RECT box;
    GetRgnBox(region, &box);
    EXPECT_EQ(box.right, 100) << "the region keeps the full width";
    DeleteObject(region);
}

TEST_F(KvContainerTest, ShadowJoinsTheWindowRegion) {
    ASSERT_TRUE(showForm());
    TTestContainer *shadowed = container(TRect{10, 10, 110, 50}, cbsSingle);
    shadowed->Style()->SetShadow(true);
    pumpFor(20);
    EXPECT_EQ(text(shadowed->ViewInfo()->ClientRect), text(TRect{1, 1, 96, 36})) << "3 more at right and bottom";
    HRGN actual = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(shadowed->Handle(), actual), ERROR);
    HRGN expected = CreateRectRgn(0, 0, 97, 37);
    HRGN moved = CreateRectRgn(3, 3, 100, 40);
    CombineRgn(expected, expected, moved, RGN_OR);
    EXPECT_TRUE(EqualRgn(actual, expected));
    DeleteObject(actual);
    DeleteObject(expected);
    DeleteObject(moved);
    EXPECT_EQ(pixel(shadowed, 98, 20), sys(COLOR_BTNSHADOW)) << "the shadow band";
}

TEST_F(KvContainerTest, ColourAndFontSetOnTheControlGoToTheNormalStyle) {
    TTestContainer *c = container(TRect{10, 10, 110, 40}, cbsSingle);
    c->SetColor(clYellow);
    EXPECT_EQ(c->Style()->Color(), clYellow);
    EXPECT_TRUE(c->Style()->AssignedValues().Contains(csvColor));
    EXPECT_EQ(c->ViewInfo()->BackgroundColor, clYellow);
    c->Style()->SetColor(clAqua);
    EXPECT_EQ(c->Color(), clAqua) << "and the style's colour comes back to the control";
    TOwned<TFont> font(New<TFont>());
    font->SetSize(15);
    c->SetFont(font.get());
    EXPECT_EQ(c->Style()->Font()->GetSize(), 15);
    EXPECT_FALSE(c->Style()->AssignedValues().Contains(csvFont)) << "not assigned before: still not";
}

TEST_F(KvContainerTest, TabMovesToTheNextControl) {
    ASSERT_TRUE(showForm());
    TTestContainer *first = container(TRect{10, 10, 110, 40}, cbsSingle);
    TTestContainer *second = container(TRect{10, 50, 110, 80}, cbsSingle);
    first->SetKeys(TkvControlKeys{ckTab}); // it takes Tab itself, as an editor does
    first->SetFocus();
    ASSERT_TRUE(pumpUntil([&] { return first->Focused(); }));
    pressKey(VK_TAB);
    ASSERT_TRUE(pumpUntil([&] { return second->Focused(); }));
    EXPECT_FALSE(first->Focused());
}

TEST_F(KvContainerTest, InnerEditScrollBarIsMirrored) {
    ASSERT_TRUE(showForm());
    TScrollingContainer *c = add<TScrollingContainer>(TRect{10, 10, 210, 110});
    c->Style()->SetTransparentBorder(false);
    c->Style()->SetBorderStyle(cbsSingle);
    TMultiLineEdit *edit = New<TMultiLineEdit>(form);
    edit->SetParent(c);
    c->SetInnerControl(edit);
    edit->HandleNeeded();
    std::wstring lines;
    for (int i = 0; i < 60; ++i)
        lines += L"line\r\n";
    SetWindowTextW(edit->Handle(), lines.c_str());
    SendMessageW(edit->Handle(), EM_LINESCROLL, 0, 10);
    EXPECT_EQ(text(edit->BoundsRect()), text(c->ViewInfo()->ClientRect)) << "the inner control fills the client";
    SendMessageW(c->Handle(), KV_SYNCSCROLLBARS, 0, 0);
    TkvControlScrollBar *bar = c->VScrollBar();
    ASSERT_TRUE(bar->Visible());
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(edit->Handle(), SB_VERT, &info));
    EXPECT_EQ(bar->Min(), info.nMin);
    EXPECT_EQ(bar->Max(), info.nMax);
    EXPECT_EQ(bar->Position(), info.nPos);
    EXPECT_GT(bar->Position(), 0);
    EXPECT_EQ(bar->PageSize(), static_cast<int>(info.nPage));
    SCROLLBARINFO system{};
    system.cbSize = sizeof(system);
    ASSERT_TRUE(GetScrollBarInfo(edit->Handle(), OBJID_VSCROLL, &system));
    POINT topLeft{system.rcScrollBar.left, system.rcScrollBar.top};
    ScreenToClient(c->Handle(), &topLeft);
    EXPECT_EQ(bar->Left(), topLeft.x);
    EXPECT_EQ(bar->Top(), topLeft.y);
    EXPECT_FALSE(c->HScrollBar()->Visible()) << "the edit has no horizontal bar";
}

// What a view info draws after the themed background (an editor's buttons and text) lies
// inside the content rectangle: the background must leave the clip as it found it.
TEST_F(KvContainerTest, ThemedBackgroundLeavesTheClipAsItWas) {
    if (!IsThemeActive())
        GTEST_SKIP() << "visual styles are off on this system";
    TOwned<TBitmap> bitmap(New<TBitmap>());
    bitmap->SetSize(60, 30);
    TOwned<TkvCanvas> canvas(New<TkvCanvas>(bitmap->GetCanvas()));
    TOwned<TkvContainerViewInfo> info(New<TkvContainerViewInfo>());
    info->Bounds = TRect{0, 0, 60, 30};
    info->BorderRect = info->ClientRect = TRect{1, 1, 59, 29};
    info->BorderStyle = cbsSingle;
    info->NativeStyle = true;
    info->BackgroundColor = clWindow;
    info->PaintContainer(canvas.get());
    canvas->SetBrushColor(clRed);
    canvas->FillRect(info->Bounds);
    EXPECT_EQ(GetPixel(canvas->GetHandle(), 30, 15), RGB(255, 0, 0));
}

// Every border style, with and without hot tracking's focused look, in one picture.
class KvContainerPaintTest : public KvContainerTest {
protected:
    PixelBuffer paintStyles() {
        form->SetBounds(30, 30, 7 * 60 + 10, 80);
        EXPECT_TRUE(showForm());
        const TkvContainerBorderStyle styles[] = {cbsNone, cbsSingle, cbsThick, cbsFlat, cbs3D, cbsUltraFlat, cbsOffice11};
        int x = 5;
        for (TkvContainerBorderStyle style : styles) {
            TTestContainer *c = container(TRect{x, 5, x + 50, 30}, style);
            c->Style()->SetShadow(style == cbsSingle);
            TTestContainer *native = container(TRect{x, 40, x + 50, 65}, style);
            native->Style()->LookAndFeel()->SetNativeStyle(true);
            x += 60;
        }
        RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pumpFor(100);
        return captureClient(form->Handle());
    }
};

TEST_F(KvContainerPaintTest, EveryStyleWithVisualStyles) {
    if (!IsThemeActive())
        GTEST_SKIP() << "visual styles are off on this system";
    EXPECT_TRUE(matchesReference(paintStyles(), "gui", "kv_containers"));
}

TEST_F(KvContainerPaintTest, EveryStyleWithoutVisualStyles) {
    ASSERT_TRUE(disableThemingForProcess());
    CloseAllThemes();
    PixelBuffer shot = paintStyles();
    EXPECT_TRUE(matchesReference(shot, "gui", "kv_containers_unthemed"));
    while (form->ComponentCount() > 0)
        form->Components(form->ComponentCount() - 1)->Free();
    EXPECT_TRUE(restoreThemingForProcess());
    CloseAllThemes();
}

} // namespace
