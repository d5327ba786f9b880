// The UltraFlat and Office11 painters under fixed system colours, and the WinXP painter with
// Wine's visual style and with visual styles off, drawn into 32-bit bitmaps.
#include <gtest/gtest.h>

#include <windows.h>

#include <uxtheme.h>
#include <vssym32.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <classlib/units.h>

#include "capture.h"
#include "image_compare.h"
#include "kvGraphics.h"
#include "kvLookAndFeelPainters.h"
#include "system_colors.h"
#include "theme.h"
#include "ztOffice11.h"
#include "ztThemeManager.h"

namespace {

class Surface {
public:
    Surface(int width, int height, TColor color = clFuchsia) : bitmap_(New<TBitmap>()), width_(width), height_(height) {
        bitmap_->SetSize(width, height);
        canvas_.reset(New<TkvCanvas>(bitmap_->GetCanvas()));
        HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
        RECT all{0, 0, width, height};
        ::FillRect(Handle(), &all, brush);
        DeleteObject(brush);
    }
    TkvCanvas *Canvas() const { return canvas_.get(); }
    TCanvas *Raw() const { return bitmap_->GetCanvas(); }
    TBitmap *Bitmap() const { return bitmap_.get(); }
    PixelBuffer Buffer() const { return pixelsOf(Handle(), width_, height_); }
    int ChangedOutside(const TRect &r, TColor ground) const {
        int changed = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (!(x >= r.left && x < r.right && y >= r.top && y < r.bottom) && Pixel(x, y) != ColorToRGB(ground))
                    ++changed;
        return changed;
    }
    HDC Handle() const { return canvas_->GetHandle(); }
    COLORREF Pixel(int x, int y) const { return GetPixel(Handle(), x, y); }
    std::vector<COLORREF> Pixels() const {
        std::vector<COLORREF> all;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                all.push_back(Pixel(x, y));
        return all;
    }

private:
    TOwned<TBitmap> bitmap_;
    TOwned<TkvCanvas> canvas_;
    int width_;
    int height_;
};

COLORREF rgb(TColor color) { return ColorToRGB(color); }

class FlatPaintersTest : public FixedSysColorsTest {
protected:
    void SetUp() override {
        FixedSysColorsTest::SetUp();
        if (HasFatalFailure())
            return;
        units_ = std::make_unique<UnitScope>(std::initializer_list<TUnit *>{&kvLookAndFeelPaintersUnit});
    }
    void TearDown() override {
        units_.reset();
        FixedSysColorsTest::TearDown();
    }
    TkvPainterClass ultraFlat = PainterOf<TkvUltraFlatLookAndFeelPainter>();
    TkvPainterClass office11 = PainterOf<TkvOffice11LookAndFeelPainter>();

private:
    std::unique_ptr<UnitScope> units_;
};

// Frame colour at the corner and face colour inside a 20 x 20 button.
void expectButton(TkvPainterClass painter, TkvButtonState state, TColor frame, TColor face) {
    Surface s(20, 20);
    painter->DrawPushButton(s.Canvas(), TRect{0, 0, 20, 20}, L"", state);
    EXPECT_EQ(s.Pixel(0, 0), rgb(frame)) << painter->ClassName() << " state " << int(state);
    EXPECT_EQ(s.Pixel(19, 10), rgb(frame)) << painter->ClassName() << " state " << int(state);
    EXPECT_EQ(s.Pixel(10, 10), rgb(face)) << painter->ClassName() << " state " << int(state);
    int inner = state == kvbsDefault ? 2 : 1;
    EXPECT_EQ(s.Pixel(inner, inner), rgb(face)) << painter->ClassName() << " state " << int(state);
}

TEST_F(FlatPaintersTest, UltraFlatFramesAndLitFaces) {
    const TColor hot = GetHotBlendColor();
    const TColor pressed = GetPressedBlendColor();
    // From the fixed colours: face 192, highlight (0, 0, 160), window 255, channel by channel.
    EXPECT_EQ(rgb(hot), GetNearestColor(GetDC(nullptr), RGB(MulDiv(192, -2, 100) + 0 + MulDiv(255, 72, 100),
                                                         MulDiv(192, -2, 100) + 0 + MulDiv(255, 72, 100),
                                                         MulDiv(192, -2, 100) + MulDiv(160, 30, 100) + MulDiv(255, 72, 100))));
    expectButton(ultraFlat, kvbsNormal, clBtnText, clBtnFace);
    expectButton(ultraFlat, kvbsHot, clHighlight, hot);
    expectButton(ultraFlat, kvbsPressed, clHighlight, pressed);
    expectButton(ultraFlat, kvbsDisabled, clBtnShadow, clBtnFace);
    expectButton(ultraFlat, kvbsDefault, clWindowFrame, clBtnFace);
    EXPECT_EQ(ultraFlat->GetButtonBorderWidth(kvbsDefault), 2);
    EXPECT_EQ(ultraFlat->GetButtonBorderWidth(kvbsHot), 1);
    EXPECT_EQ(ultraFlat->GetButtonForeColor(kvbsPressed, clRed), clHighlightText);
    EXPECT_EQ(ultraFlat->GetButtonForeState(kvbsPressed), kvbsNormal);
    EXPECT_EQ(ultraFlat->GetButtonPressedShift(), 0);
    EXPECT_TRUE(ultraFlat->TracksButtonHover());
    // A scroll-bar arrow under the mouse lights up; the Standard one does not.
    Surface lit(17, 17), standard(17, 17);
    ultraFlat->DrawScrollBarElement(lit.Canvas(), false, kvbsHot, sbpLineUp, TRect{0, 0, 17, 17});
    PainterOf<TkvStandardLookAndFeelPainter>()->DrawScrollBarElement(standard.Canvas(), false, kvbsHot, sbpLineUp,
                                                                     TRect{0, 0, 17, 17});
    EXPECT_EQ(lit.Pixel(0, 0), rgb(clHighlight));
    EXPECT_EQ(lit.Pixel(2, 2), rgb(hot));
    EXPECT_NE(standard.Pixel(2, 2), rgb(hot));
    // Control frame, one pixel.
    Surface frame(10, 10);
    ultraFlat->DrawControlFrame(frame.Canvas(), TRect{0, 0, 10, 10});
    EXPECT_EQ(frame.Pixel(0, 5), rgb(clBtnShadow));
    EXPECT_EQ(frame.Pixel(1, 5), rgb(clFuchsia));
    EXPECT_EQ(ultraFlat->GetControlFrameWidth(), 1);
}

TEST_F(FlatPaintersTest, Office11WithoutASchemeUsesTheSystemColourRoles) {
    if (GetCurrentOffice11Scheme() != schemeNone)
        GTEST_SKIP() << "the system's style has an Office 2003 scheme";
    expectButton(office11, kvbsNormal, clBtnText, clBtnFace);
    expectButton(office11, kvbsHot, clHighlight, GetHotBlendColor());
    expectButton(office11, kvbsPressed, clHighlight, GetPressedBlendColor());
    expectButton(office11, kvbsDisabled, clGrayText, clBtnFace);
    EXPECT_EQ(rgb(office11->GetButtonForeColor(kvbsPressed, clDefault)), rgb(clHighlightText));
    EXPECT_EQ(rgb(office11->GetButtonForeColor(kvbsNormal, clRed)), rgb(clBtnText));
    EXPECT_EQ(rgb(office11->GetButtonForeColor(kvbsDisabled, clDefault)), rgb(clGrayText));
    EXPECT_EQ(rgb(office11->GetFrameLineColor()), rgb(clBtnShadow));
    Surface frame(10, 10);
    office11->DrawControlFrame(frame.Canvas(), TRect{0, 0, 10, 10});
    EXPECT_EQ(frame.Pixel(0, 5), rgb(clBtnShadow));
    EXPECT_EQ(office11->GetPainterStyle(), kvpsOffice11);
    EXPECT_EQ(PainterStyleToLookAndFeelKind(office11->GetPainterStyle()), lfOffice11);
    // The Office11 radio: text-coloured ring, highlight ring when lit, window body.
    TSize size = office11->GetRadioButtonSize();
    Surface radio(size.cx, size.cy);
    office11->DrawRadioButton(radio.Canvas(), 0, 0, kvbsNormal, false, false, false);
    EXPECT_EQ(radio.Pixel(size.cx / 2, 0), rgb(clBtnText));
    EXPECT_EQ(radio.Pixel(size.cx / 2, size.cy / 2), rgb(clWindow));
    office11->DrawRadioButton(radio.Canvas(), 0, 0, kvbsHot, false, false, false);
    EXPECT_EQ(radio.Pixel(size.cx / 2, 0), rgb(clHighlight));
    EXPECT_EQ(radio.Pixel(size.cx / 2, size.cy / 2), rgb(GetHotBlendColor()));
}

// --- the WinXP painter

std::unique_ptr<UnitScope> startPainters() {
    return std::make_unique<UnitScope>(std::initializer_list<TUnit *>{&kvLookAndFeelPaintersUnit});
}

class WinXPThemedTest : public ThemeOnTest {
protected:
    void SetUp() override {
        ThemeOnTest::SetUp();
        units_ = startPainters();
    }
    void TearDown() override {
        units_.reset();
        ThemeOnTest::TearDown();
    }
    TkvPainterClass xp = PainterOf<TkvWinXPLookAndFeelPainter>();

private:
    std::unique_ptr<UnitScope> units_;
};

// Wine's "Light" style, the one this platform runs the tests under, has every class the
// painter measures with here but the explorer bar, and every part and property asked for but
// the push button's face colour; the painter's answers are the style's, and its fallbacks where
// the style has nothing.
TEST_F(WinXPThemedTest, MeasuresAndColoursComeFromTheTheme) {
    HTHEME button = OpenThemeForKind(totButton);
    HTHEME combo = OpenThemeForKind(totComboBox);
    HTHEME tree = OpenThemeForKind(totTreeView);
    HTHEME bar = OpenThemeForKind(totExplorerBar);
    ASSERT_NE(button, nullptr);
    ASSERT_NE(combo, nullptr);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(bar, nullptr) << "Wine's style has no explorer bar";
    ASSERT_NE(OpenThemeForKind(totListView), nullptr);
    HDC screen = GetDC(nullptr);
    RECT bounds{0, 0, 100, 100};
    RECT content{};
    ASSERT_HRESULT_SUCCEEDED(GetThemeBackgroundContentRect(button, screen, BP_PUSHBUTTON, PBS_NORMAL, &bounds, &content));
    EXPECT_EQ(xp->GetButtonBorderWidth(kvbsNormal), content.left);
    COLORREF color = 0;
    ASSERT_HRESULT_SUCCEEDED(GetThemeColor(button, BP_PUSHBUTTON, PBS_PRESSED, TMT_TEXTCOLOR, &color));
    EXPECT_EQ(rgb(xp->GetButtonForeColor(kvbsPressed, clDefault)), color);
    // The style gives the push button no face colour (property 204): the painter answers the
    // system's.
    EXPECT_HRESULT_FAILED(GetThemeColor(button, BP_PUSHBUTTON, PBS_HOT, 204, &color));
    EXPECT_EQ(xp->GetButtonFaceColor(kvbsHot), clBtnFace);
    ASSERT_HRESULT_SUCCEEDED(GetThemeColor(combo, 1, 1, TMT_BORDERCOLOR, &color));
    EXPECT_EQ(rgb(xp->GetFrameLineColor()), color);
    SIZE size{};
    ASSERT_HRESULT_SUCCEEDED(GetThemePartSize(tree, screen, 2, 1, nullptr, TS_TRUE, &size));
    ASSERT_GT(size.cx, 0);
    EXPECT_EQ(xp->GetExpandBoxSize(), size.cx);
    EXPECT_EQ(xp->GetGroupToggleButtonSize(), 15);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(xp->GetPainterStyle(), kvpsWinXP);
    EXPECT_EQ(xp->GetCheckFrameWidth(), 0);
    EXPECT_EQ(xp->GetControlFrameWidth(), 1);
}

TEST_F(WinXPThemedTest, PushButtonIsTheThemesOwnPicture) {
    HTHEME button = OpenThemeForKind(totButton);
    ASSERT_NE(button, nullptr);
    const TkvButtonState states[] = {kvbsDefault, kvbsNormal, kvbsHot, kvbsPressed, kvbsDisabled};
    const int themeStates[] = {PBS_DEFAULTED, PBS_NORMAL, PBS_HOT, PBS_PRESSED, PBS_DISABLED};
    for (int i = 0; i < 5; ++i) {
        Surface painted(60, 24), direct(60, 24);
        xp->DrawPushButton(painted.Canvas(), TRect{0, 0, 60, 24}, L"OK", states[i]);
        RECT r{0, 0, 60, 24};
        HDC dc = direct.Handle();
        DrawThemeBackground(button, dc, BP_PUSHBUTTON, themeStates[i], &r, &r);
        HGDIOBJ old = SelectObject(dc, direct.Raw()->GetFont()->GetHandle());
        DrawThemeText(button, dc, BP_PUSHBUTTON, themeStates[i], L"OK", 2, DT_CENTER | DT_VCENTER | DT_SINGLELINE, 0, &r);
        SelectObject(dc, old);
        EXPECT_EQ(painted.Pixels(), direct.Pixels()) << "state " << i;
    }
    // A disabled thumb is drawn in the theme, unlike the Standard painter's.
    Surface thumb(17, 30);
    xp->DrawScrollBarElement(thumb.Canvas(), false, kvbsDisabled, sbpThumb, TRect{0, 0, 17, 30});
    ASSERT_NE(OpenThemeForKind(totScrollBar), nullptr);
    EXPECT_NE(thumb.Pixel(8, 15), rgb(clFuchsia));
}

// A pressed header's caption moves by a pixel, its cell does not: nothing is drawn outside it,
// however the caption is placed.
TEST_F(WinXPThemedTest, PressedHeaderCaptionStaysInItsCell) {
    ASSERT_NE(OpenThemeForKind(totHeader), nullptr);
    TOwned<TFont> font(New<TFont>());
    font->SetSize(14);
    font->SetColor(clBlack);
    const TRect cell{10, 10, 60, 30};
    for (TAlignment horizontal : {taLeftJustify, taRightJustify, taCenter})
        for (TkvVerticalAlignment vertical : {vaTop, vaBottom, vaCenter}) {
            TkvHeaderText text;
            text.Text = L"WWWWWWWWWW";
            text.Font = font.get();
            text.TextColor = clBlack;
            text.Placement.Horizontal = horizontal;
            text.Placement.Vertical = vertical;
            for (TkvButtonState state : {kvbsNormal, kvbsHot, kvbsPressed}) {
                Surface header(70, 40), section(70, 40);
                xp->DrawHeader(header.Canvas(), cell, cell, TkvHeaderNeighbors{}, kvAllBorders, state, text);
                xp->DrawHeaderSection(section.Canvas(), cell, cell, kvAllBorders, state, text);
                EXPECT_EQ(header.ChangedOutside(cell, clFuchsia), 0)
                    << "state " << int(state) << " alignment " << int(horizontal) << "/" << int(vertical);
                EXPECT_EQ(section.ChangedOutside(cell, clFuchsia), 0)
                    << "state " << int(state) << " alignment " << int(horizontal) << "/" << int(vertical);
            }
        }
}

// A vertical tab is the horizontal tab of its turned size, caption included, turned a quarter:
// anticlockwise on the left, clockwise on the right.
TEST_F(WinXPThemedTest, VerticalTabIsTheTurnedTabWithItsCaption) {
    ASSERT_NE(OpenThemeForKind(totTab), nullptr);
    const int w = 24;
    const int h = 60;
    for (TkvTabPosition position : {tpLeft, tpRight})
        for (bool selected : {false, true}) {
            Surface vertical(w, h);
            xp->DrawTab(vertical.Canvas(), TRect{0, 0, w, h}, kvAllBorders, selected, false, false, true, position,
                        L"Tab");
            Surface turned(h, w);
            xp->DrawTab(turned.Canvas(), TRect{0, 0, h, w}, kvAllBorders, selected, false, false, false, position,
                        L"Tab");
            Surface bare(h, w);
            xp->DrawTab(bare.Canvas(), TRect{0, 0, h, w}, kvAllBorders, selected, false, false, false, position, L"");
            ASSERT_NE(turned.Pixels(), bare.Pixels()) << "the caption shows on the unturned tab";
            turned.Canvas()->RotateBitmap(turned.Bitmap(), position == tpLeft ? raPlus90 : raMinus90);
            Surface expected(w, h);
            expected.Canvas()->Draw(0, 0, turned.Bitmap());
            EXPECT_EQ(vertical.Pixels(), expected.Pixels()) << "position " << int(position) << " selected " << selected;
        }
}

// Header sections normal, hot and pressed (each with a left and a right-bottom caption), and
// vertical tabs on both sides, selected and not, beside a horizontal one.
TEST_F(WinXPThemedTest, HeadersAndVerticalTabsMatchTheirCapture) {
    ASSERT_NE(OpenThemeForKind(totHeader), nullptr);
    ASSERT_NE(OpenThemeForKind(totTab), nullptr);
    Surface s(260, 120);
    TkvHeaderText text;
    text.Text = L"Name";
    int x = 4;
    for (TkvButtonState state : {kvbsNormal, kvbsHot, kvbsPressed}) {
        const TRect cell{x, 4, x + 60, 24};
        text.Placement = TkvTextPlacement{};
        xp->DrawHeaderSection(s.Canvas(), cell, cell, kvAllBorders, state, text);
        const TRect corner{x, 28, x + 60, 48};
        text.Placement.Horizontal = taRightJustify;
        text.Placement.Vertical = vaBottom;
        xp->DrawHeaderSection(s.Canvas(), corner, corner, kvAllBorders, state, text);
        x += 64;
    }
    xp->DrawTab(s.Canvas(), TRect{4, 54, 28, 114}, kvAllBorders, false, false, false, true, tpLeft, L"Left");
    xp->DrawTab(s.Canvas(), TRect{32, 54, 56, 114}, kvAllBorders, true, false, false, true, tpLeft, L"Left");
    xp->DrawTab(s.Canvas(), TRect{60, 54, 84, 114}, kvAllBorders, false, false, false, true, tpRight, L"Right");
    xp->DrawTab(s.Canvas(), TRect{88, 54, 112, 114}, kvAllBorders, true, false, false, true, tpRight, L"Right");
    xp->DrawTab(s.Canvas(), TRect{120, 54, 180, 78}, kvAllBorders, true, false, false, false, tpTop, L"Top");
    EXPECT_TRUE(matchesReference(s.Buffer(), "controls", "winxp_headers_and_tabs"));
}

class WinXPUnthemedTest : public ThemeOffTest {
protected:
    void SetUp() override {
        ThemeOffTest::SetUp();
        units_ = startPainters();
    }
    void TearDown() override {
        units_.reset();
        ThemeOffTest::TearDown();
    }
    TkvPainterClass xp = PainterOf<TkvWinXPLookAndFeelPainter>();
    TkvPainterClass standard = PainterOf<TkvStandardLookAndFeelPainter>();

private:
    std::unique_ptr<UnitScope> units_;
};

// Without visual styles every operation draws what the Standard painter draws; the few the
// painter keeps as its own are listed apart.
TEST_F(WinXPUnthemedTest, DrawsAsTheStandardPainter) {
    ASSERT_EQ(OpenThemeForKind(totButton), nullptr);
    using Draw = std::function<void(TkvPainterClass, TkvCanvas *)>;
    TkvHeaderText text;
    TBrush *brush = New<TBrush>();
    brush->SetColor(clTeal);
    const TRect r{2, 2, 38, 22};
    const std::vector<std::pair<const char *, Draw>> same = {
        {"DrawArrow", [&](auto p, auto c) { p->DrawArrow(c, r, clNavy, adLeft); }},
        {"DrawArrowButton", [&](auto p, auto c) { p->DrawArrowButton(c, r, true, adUp, kvbsPressed); }},
        {"DrawButtonFace", [&](auto p, auto c) { p->DrawButtonFace(c, r, kvbsHot); }},
        {"DrawArrowForState", [&](auto p, auto c) { p->DrawArrowForState(c, r, kvbsDisabled, adDown); }},
        {"DrawControlFrame", [&](auto p, auto c) { p->DrawControlFrame(c, r); }},
        {"DrawPushButton", [&](auto p, auto c) {
             for (TkvButtonState s : {kvbsNormal, kvbsHot, kvbsPressed, kvbsDisabled}) p->DrawPushButton(c, r, L"", s);
         }},
        {"DrawExpandBox", [&](auto p, auto c) { p->DrawExpandBox(c, TRect{2, 2, 14, 14}, clDefault, true); }},
        {"DrawGroupToggleButton", [&](auto p, auto c) { p->DrawGroupToggleButton(c, r, kvbsNormal, false); }},
        {"DrawSmallExpandBox", [&](auto p, auto c) { p->DrawSmallExpandBox(c, TRect{2, 2, 11, 11}, clNavy, clAqua, false); }},
        {"DrawCheckBox", [&](auto p, auto c) { p->DrawCheckBox(c, TRect{2, 2, 15, 15}, kvbsPressed, true); }},
        {"DrawRadioButton", [&](auto p, auto c) { p->DrawRadioButton(c, 3, 3, kvbsHot, true, false, false); }},
        {"DrawHeader", [&](auto p, auto c) { p->DrawHeader(c, r, r, TkvHeaderNeighbors{true, false, true, false}, kvAllBorders, kvbsNormal, text); }},
        {"DrawFooterCell", [&](auto p, auto c) { p->DrawFooterCell(c, r, {}, L"", nullptr, clNavy, clAqua); }},
        {"DrawFooterFrame", [&](auto p, auto c) { p->DrawFooterFrame(c, r); }},
        {"DrawCloseCross", [&](auto p, auto c) { p->DrawCloseCross(c, r, kvbsNormal); }},
        {"DrawDropDownArrowButton", [&](auto p, auto c) { p->DrawDropDownArrowButton(c, r, false, kvbsPressed); }},
        {"DrawTabFrame", [&](auto p, auto c) { p->DrawTabFrame(c, r, true, kvAllBorders, tpTop); }},
        {"DrawTabAreaFrame", [&](auto p, auto c) { p->DrawTabAreaFrame(c, r, false, kvAllBorders); }},
        {"DrawIndicatorCell", [&](auto p, auto c) { p->DrawIndicatorCell(c, r, clBtnFace, {}, 1); }},
        {"DrawScrollBarElement", [&](auto p, auto c) {
             for (int part = 1; part <= 5; ++part)
                 for (TkvButtonState s : {kvbsNormal, kvbsPressed, kvbsDisabled})
                     p->DrawScrollBarElement(c, part % 2 == 0, s, static_cast<TkvScrollBarPart>(part), r);
         }},
        {"DrawPlainButton", [&](auto p, auto c) { p->DrawPlainButton(c, r, kvbsNormal); }},
        {"DrawSplitter", [&](auto p, auto c) { p->DrawSplitter(c, r, true, brush); }},
    };
    for (const auto &[name, draw] : same) {
        Surface a(40, 24), b(40, 24);
        draw(xp, a.Canvas());
        draw(standard, b.Canvas());
        EXPECT_EQ(a.Pixels(), b.Pixels()) << name;
    }
    // Its own answers without a theme.
    EXPECT_EQ(xp->GetPainterStyle(), kvpsWinXP);
    EXPECT_EQ(xp->GetButtonTextIndent(), 2);
    EXPECT_EQ(xp->GetButtonPressedShift(), 0);
    EXPECT_TRUE(xp->TracksButtonHover());
    EXPECT_EQ(xp->GetButtonBorderWidth(kvbsDefault), 2);
    EXPECT_EQ(xp->GetButtonBorderWidth(kvbsNormal), 2);
    EXPECT_EQ(xp->GetControlFrameWidth(), 2);
    EXPECT_EQ(xp->GetExpandBoxSize(), 12);
    EXPECT_EQ(xp->GetCheckFrameWidth(), 2);
    EXPECT_EQ(xp->GetFrameLineColor(), static_cast<TColor>(0x0000FF));
    EXPECT_EQ(xp->GetRadioButtonSize().cx, standard->GetRadioButtonSize().cx);
    // A disabled thumb draws nothing, as the Standard painter's.
    Surface thumb(17, 30);
    xp->DrawScrollBarElement(thumb.Canvas(), false, kvbsDisabled, sbpThumb, TRect{0, 0, 17, 30});
    EXPECT_EQ(thumb.Pixel(8, 15), rgb(clFuchsia));
    brush->Free();
}

} // namespace
