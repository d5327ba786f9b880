// The Standard and Flat painters drawn into 32-bit bitmaps under fixed system colours: button
// rings, arrows, marks, scroll-bar elements, rectangles of every size, and the shared resources
// (checker bitmaps, indicator images, radio glyphs) across starts and colour changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <classlib/units.h>

#include "kvLookAndFeelPainters.h"
#include "kvSystemPalette.h"
#include "system_colors.h"

namespace {

// A bitmap with a kvCanvas over it, pixels read in logical coordinates.
class Surface {
public:
    Surface(int width, int height, TColor color = clWhite) : bitmap_(New<TBitmap>()), width_(width), height_(height) {
        bitmap_->SetSize(width, height);
        canvas_.reset(New<TkvCanvas>(bitmap_->GetCanvas()));
        Clear(color);
    }

    TkvCanvas *Canvas() const { return canvas_.get(); }
    HDC Handle() const { return canvas_->GetHandle(); }
    COLORREF Pixel(int x, int y) const { return GetPixel(Handle(), x, y); }

    void Clear(TColor color) {
        HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
        TRect all{-100000, -100000, 100000, 100000};
        SelectClipRgn(Handle(), nullptr);
        ::FillRect(Handle(), &all, brush);
        DeleteObject(brush);
    }

    // One character a pixel: 'X' for the colour, '.' for anything else.
    std::vector<std::string> Map(const TRect &area, TColor color) const {
        std::vector<std::string> rows;
        COLORREF wanted = ColorToRGB(color);
        for (int y = area.top; y < area.bottom; ++y) {
            std::string row;
            for (int x = area.left; x < area.right; ++x)
                row += Pixel(x, y) == wanted ? 'X' : '.';
            rows.push_back(row);
        }
        return rows;
    }

    TRect Bounds(TColor color) const {
        COLORREF wanted = ColorToRGB(color);
        TRect b{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (Pixel(x, y) == wanted) {
                    b.left = std::min<LONG>(b.left, x);
                    b.top = std::min<LONG>(b.top, y);
                    b.right = std::max<LONG>(b.right, x + 1);
                    b.bottom = std::max<LONG>(b.bottom, y + 1);
                }
        return b.right < b.left ? TRect{} : b;
    }

    // The pixels outside the rectangle that are no longer the colour.
    int ChangedOutside(const TRect &rect, TColor color) const {
        COLORREF ground = ColorToRGB(color);
        int changed = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                bool inside = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
                if (!inside && Pixel(x, y) != ground)
                    ++changed;
            }
        return changed;
    }

private:
    TOwned<TBitmap> bitmap_;
    TOwned<TkvCanvas> canvas_;
    int width_;
    int height_;
};

COLORREF rgb(TColor color) { return ColorToRGB(color); }

bool operator==(const TRect &a, const TRect &b) { return EqualRect(&a, &b) != FALSE; }

class PainterTest : public FixedSysColorsTest {
protected:
    void SetUp() override {
        FixedSysColorsTest::SetUp();
        if (HasFatalFailure())
            return;
        units_ = new UnitScope{&kvLookAndFeelPaintersUnit};
    }
    void TearDown() override {
        delete units_;
        units_ = nullptr;
        FixedSysColorsTest::TearDown();
    }

    TkvPainterClass standard = PainterOf<TkvStandardLookAndFeelPainter>();
    TkvPainterClass flat = PainterOf<TkvFlatLookAndFeelPainter>();

private:
    UnitScope *units_ = nullptr;
};

// The rings of a 20 x 20 button from the outside in, on the diagonal: (i, i) and (19-i, 19-i).
struct Rings {
    std::vector<TColor> leftTop;
    std::vector<TColor> rightBottom;
};

void expectRings(TkvPainterClass painter, TkvButtonState state, const Rings &rings) {
    Surface s(20, 20, clFuchsia);
    painter->DrawPushButton(s.Canvas(), TRect{0, 0, 20, 20}, L"", state);
    for (size_t i = 0; i < rings.leftTop.size(); ++i) {
        int d = static_cast<int>(i);
        EXPECT_EQ(s.Pixel(d, d), rgb(rings.leftTop[i])) << painter->ClassName() << " state " << int(state) << " ring " << i;
        EXPECT_EQ(s.Pixel(10, d), rgb(rings.leftTop[i])) << painter->ClassName() << " state " << int(state) << " top " << i;
        EXPECT_EQ(s.Pixel(19 - d, 19 - d), rgb(rings.rightBottom[i]))
            << painter->ClassName() << " state " << int(state) << " ring " << i;
        EXPECT_EQ(s.Pixel(19 - d, 10), rgb(rings.rightBottom[i]))
            << painter->ClassName() << " state " << int(state) << " right " << i;
    }
}

TEST_F(PainterTest, StandardButtonRingsOfEveryState) {
    Rings raised{{clBtnHighlight, cl3DLight, clBtnFace}, {cl3DDkShadow, clBtnShadow, clBtnFace}};
    expectRings(standard, kvbsNormal, raised);
    expectRings(standard, kvbsHot, raised);
    expectRings(standard, kvbsDisabled, raised);
    expectRings(standard, kvbsDefault,
                {{clBlack, clBtnHighlight, cl3DLight, clBtnFace}, {clBlack, cl3DDkShadow, clBtnShadow, clBtnFace}});
    expectRings(standard, kvbsPressed, {{clBlack, clBtnShadow, clBtnFace}, {clBlack, clBtnShadow, clBtnFace}});
}

TEST_F(PainterTest, FlatButtonRingsOfEveryState) {
    Rings raised{{clBtnHighlight, clBtnFace}, {clBtnShadow, clBtnFace}};
    expectRings(flat, kvbsNormal, raised);
    expectRings(flat, kvbsHot, raised);
    expectRings(flat, kvbsDisabled, raised);
    expectRings(flat, kvbsDefault, {{clBlack, clBtnHighlight, clBtnFace}, {clBlack, clBtnShadow, clBtnFace}});
    expectRings(flat, kvbsPressed, {{clBtnShadow, clBtnFace}, {clBtnHighlight, clBtnFace}});
}

TEST_F(PainterTest, ButtonBorderWidthsAndStyles) {
    for (TkvButtonState state : {kvbsNormal, kvbsHot, kvbsPressed, kvbsDisabled}) {
        EXPECT_EQ(standard->GetButtonBorderWidth(state), 2);
        EXPECT_EQ(flat->GetButtonBorderWidth(state), 1);
    }
    EXPECT_EQ(standard->GetButtonBorderWidth(kvbsDefault), 3);
    EXPECT_EQ(flat->GetButtonBorderWidth(kvbsDefault), 2);
    EXPECT_EQ(standard->GetPainterStyle(), kvpsStandard);
    EXPECT_EQ(flat->GetPainterStyle(), kvpsFlat);
    EXPECT_EQ(PainterStyleToLookAndFeelKind(kvpsWinXP), lfStandard);
    EXPECT_EQ(PainterStyleToLookAndFeelKind(kvpsOffice11), lfOffice11);
    EXPECT_EQ(PainterClassOfKind(lfFlat), flat);
    EXPECT_EQ(PainterClassOfKind(lfStandard), standard);
    EXPECT_EQ(standard->GetButtonForeColor(kvbsDisabled, clRed), clBtnShadow);
    EXPECT_EQ(standard->GetButtonForeColor(kvbsNormal, clDefault), clBtnText);
    EXPECT_EQ(GetScrollArrowDirection(false, sbpLineUp), adUp);
    EXPECT_EQ(GetScrollArrowDirection(true, sbpLineDown), adRight);
    // Palette entry 21 follows entry 8 through the painter it is asked of.
    EXPECT_EQ(standard->GetDefaultColor(21), standard->GetDefaultColor08());
    EXPECT_EQ(standard->GetDefaultColor(29), clWindow);
    EXPECT_EQ(flat->GetDefaultColor(29), static_cast<TColor>(0xD5FFFF));
    EXPECT_EQ(flat->GetDefaultColor(27), static_cast<TColor>(0x0000FF));
    Surface header(10, 10);
    int textWidth = header.Canvas()->TextWidth(L"Header");
    EXPECT_EQ(standard->CalcHeaderWidth(header.Canvas(), TkvBorders{bRight}, nullptr, L"Header"), textWidth + 4 - 1);
    EXPECT_EQ(standard->CalcHeaderWidth(header.Canvas(), TkvBorders{bLeft}, nullptr, L"Header"), textWidth + 4 + 1);
    EXPECT_EQ(standard->CalcHeaderHeight(13), 13 + 2 + 4);
    TRect content = standard->GetHeaderContentBounds(TRect{0, 0, 20, 10}, TkvBorders{bLeft, bBottom});
    EXPECT_TRUE((content == TRect{1, 0, 20, 9}));
    TRect pressedText = standard->GetHeaderSectionTextBounds(TRect{0, 0, 5, 5}, kvbsPressed);
    EXPECT_TRUE((pressedText == TRect{1, 1, 6, 6}));
    TRect small{0, 0, 8, 8};
    TRect focus = standard->GetButtonFocusBounds(nullptr, small);
    EXPECT_TRUE(EqualRect(&focus, &small));
}

TEST_F(PainterTest, ArrowPixelsOfEachDirectionAndSize) {
    const std::string empty9 = ".........";
    struct Case {
        TRect rect;
        TkvArrowDirection direction;
        std::vector<std::string> map;
    };
    const std::vector<Case> cases = {
        {{0, 0, 9, 9}, adDown, {empty9, empty9, empty9, "..XXXXX..", "...XXX...", "....X....", empty9, empty9, empty9}},
        {{0, 0, 9, 9}, adUp, {empty9, empty9, empty9, "....X....", "...XXX...", "..XXXXX..", empty9, empty9, empty9}},
        {{0, 0, 9, 9}, adLeft, {empty9, empty9, ".....X...", "....XX...", "...XXX...", "....XX...", ".....X...", empty9, empty9}},
        {{0, 0, 9, 9}, adRight, {empty9, empty9, "...X.....", "...XX....", "...XXX...", "...XX....", "...X.....", empty9, empty9}},
        // A wide rectangle is squared first: the arrow of its middle 7 x 7.
        {{0, 0, 13, 7}, adDown, {".............", ".............", ".............", ".....XXX.....", "......X......",
                                 ".............", "............."}},
        {{0, 0, 5, 5}, adDown, {".....", ".....", ".XXX.", "..X..", "....."}},
        {{0, 0, 13, 7}, adRight, {".............", ".............", ".....X.......", ".....XX......", ".....X.......",
                                  ".............", "............."}},
    };
    for (const Case &c : cases) {
        Surface s(c.rect.right, c.rect.bottom);
        standard->DrawArrow(s.Canvas(), c.rect, clNavy, c.direction);
        EXPECT_EQ(s.Map(c.rect, clNavy), c.map) << "direction " << int(c.direction) << " width " << c.rect.right;
    }
}

TEST_F(PainterTest, TriangleArrowPixels) {
    Surface s(12, 8);
    standard->DrawTriangleArrow(s.Canvas(), TRect{0, 0, 12, 8}, clNavy);
    EXPECT_EQ(s.Map(TRect{0, 0, 12, 8}, clNavy),
              (std::vector<std::string>{"............", "............", "..XXXXXXX...", "...XXXXX....",
                                        "....XXX.....", ".....X......", "............", "............"}));
    Surface t(9, 9);
    flat->DrawTriangleArrow(t.Canvas(), TRect{0, 0, 9, 9}, clNavy);
    EXPECT_EQ(t.Map(TRect{0, 0, 9, 9}, clNavy),
              (std::vector<std::string>{".........", ".........", ".........", "..XXXXX..", "...XXX...",
                                        "....X....", ".........", ".........", "........."}));
}

TEST_F(PainterTest, ExpandCrossAndCheckMark) {
    Surface s(9, 9);
    standard->DrawSmallExpandBox(s.Canvas(), TRect{0, 0, 9, 9}, clNavy, clWhite, false);
    EXPECT_EQ(s.Map(TRect{0, 0, 9, 9}, clBtnText),
              (std::vector<std::string>{".........", ".........", "....X....", "....X....", "..XXXXX..",
                                        "....X....", "....X....", ".........", "........."}));
    EXPECT_EQ(s.Map(TRect{0, 0, 9, 1}, clNavy)[0], "XXXXXXXXX");
    standard->DrawSmallExpandBox(s.Canvas(), TRect{0, 0, 9, 9}, clNavy, clWhite, true);
    EXPECT_EQ(s.Bounds(clBtnText).top, 4);
    EXPECT_EQ(s.Bounds(clBtnText).bottom, 5);

    Surface m(13, 13);
    standard->DrawCheckMark(m.Canvas(), TRect{0, 0, 13, 13}, clNavy, true, kvbsNormal);
    // Three strokes: down from (2, y - 4) to (6, y), then up to the right edge, for y = 9, 10, 11.
    for (int y = 9; y <= 11; ++y) {
        EXPECT_EQ(m.Pixel(2, y - 4), rgb(clNavy)) << y;
        EXPECT_EQ(m.Pixel(4, y - 2), rgb(clNavy)) << y;
        EXPECT_EQ(m.Pixel(6, y), rgb(clNavy)) << y;
    }
    EXPECT_EQ(m.Pixel(6, 12), rgb(clWindow));
    EXPECT_EQ(m.Pixel(1, 5), rgb(clWindow));
    TRect b = m.Bounds(clNavy);
    EXPECT_EQ(b.left, 2);
    EXPECT_EQ(b.bottom, 12);
    EXPECT_EQ(b.right, 13);
    standard->DrawCheckMark(m.Canvas(), TRect{0, 0, 13, 13}, clNavy, false, kvbsPressed);
    EXPECT_EQ(m.Bounds(clBtnFace).right - m.Bounds(clBtnFace).left, 13);
}

// The checker of the page areas is fixed to canvas coordinates: the same logical pixel has the
// same colour wherever the rectangle and the origin lie.
TEST_F(PainterTest, PageAreasAreTheCheckerAlignedToCanvasCoordinates) {
    for (TkvPainterClass painter : {standard, flat})
        for (TkvButtonState state : {kvbsNormal, kvbsHot, kvbsPressed})
            for (POINT origin : {POINT{0, 0}, POINT{-13, -6}, POINT{7, 3}}) {
                Surface s(40, 30, clFuchsia);
                SetWindowOrgEx(s.Handle(), origin.x, origin.y, nullptr);
                TRect area{origin.x + 3, origin.y + 2, origin.x + 30, origin.y + 21};
                painter->DrawScrollBarElement(s.Canvas(), false, state, sbpPageDown, area);
                TColor on = state == kvbsPressed ? cl3DDkShadow : clBtnHighlight;
                TColor off = state == kvbsPressed ? clBlack : clBtnFace;
                int wrong = 0;
                for (int y = area.top; y < area.bottom; ++y)
                    for (int x = area.left; x < area.right; ++x)
                        wrong += s.Pixel(x, y) != rgb(((x + y) & 1) ? on : off);
                EXPECT_EQ(wrong, 0) << painter->ClassName() << " state " << int(state) << " origin " << origin.x;
                EXPECT_EQ(s.Pixel(area.left - 1, area.top), rgb(clFuchsia));
                EXPECT_EQ(s.Pixel(area.right, area.bottom - 1), rgb(clFuchsia));
                EXPECT_EQ(s.Canvas()->GetBrush()->GetBitmap(), nullptr);
            }
}

TEST_F(PainterTest, StandardScrollBarThumbAndArrows) {
    Surface s(17, 17, clFuchsia);
    standard->DrawScrollBarElement(s.Canvas(), false, kvbsDisabled, sbpThumb, TRect{0, 0, 17, 17});
    EXPECT_EQ(s.ChangedOutside(TRect{}, clFuchsia), 0) << "a disabled thumb draws nothing";
    standard->DrawScrollBarElement(s.Canvas(), false, kvbsNormal, sbpThumb, TRect{0, 0, 17, 17});
    EXPECT_EQ(s.Pixel(0, 0), rgb(clBtnFace));
    EXPECT_EQ(s.Pixel(16, 16), rgb(cl3DDkShadow));
    EXPECT_EQ(s.Pixel(1, 1), rgb(clBtnHighlight));
    EXPECT_EQ(s.Pixel(15, 15), rgb(clBtnShadow));
    EXPECT_EQ(s.Pixel(8, 8), rgb(clBtnFace));

    for (bool horizontal : {false, true})
        for (TkvScrollBarPart part : {sbpLineUp, sbpLineDown}) {
            Surface normal(17, 17, clFuchsia), hot(17, 17, clFuchsia), pressed(17, 17, clFuchsia);
            standard->DrawScrollBarElement(normal.Canvas(), horizontal, kvbsNormal, part, TRect{0, 0, 17, 17});
            standard->DrawScrollBarElement(hot.Canvas(), horizontal, kvbsHot, part, TRect{0, 0, 17, 17});
            standard->DrawScrollBarElement(pressed.Canvas(), horizontal, kvbsPressed, part, TRect{0, 0, 17, 17});
            TRect arrow = normal.Bounds(clBtnText);
            ASSERT_FALSE(IsRectEmpty(&arrow)) << "the system drew no arrow";
            TRect shifted = pressed.Bounds(clBtnText);
            OffsetRect(&arrow, 1, 1);
            EXPECT_TRUE(EqualRect(&arrow, &shifted)) << "horizontal " << horizontal << " part " << int(part);
            EXPECT_EQ(hot.Map(TRect{0, 0, 17, 17}, clBtnText), normal.Map(TRect{0, 0, 17, 17}, clBtnText));
            // The frame over the edge: raised when normal, a flat shadow ring when pressed.
            EXPECT_EQ(normal.Pixel(0, 0), rgb(clBtnFace));
            EXPECT_EQ(normal.Pixel(16, 16), rgb(cl3DDkShadow));
            EXPECT_EQ(pressed.Pixel(0, 0), rgb(clBtnShadow));
            EXPECT_EQ(pressed.Pixel(16, 16), rgb(clBtnShadow));
            EXPECT_EQ(pressed.Pixel(1, 1), rgb(clBtnFace));
        }
}

TEST_F(PainterTest, FlatScrollBarArrowIsTheStateArrow) {
    Surface s(17, 17, clFuchsia);
    flat->DrawScrollBarElement(s.Canvas(), true, kvbsNormal, sbpLineDown, TRect{0, 0, 17, 17});
    EXPECT_EQ(s.Pixel(0, 0), rgb(clBtnHighlight));
    EXPECT_EQ(s.Pixel(16, 16), rgb(clBtnShadow));
    Surface expected(17, 17, clFuchsia);
    flat->DrawPushButton(expected.Canvas(), TRect{0, 0, 17, 17}, L"", kvbsNormal);
    flat->DrawArrowForState(expected.Canvas(), TRect{1, 1, 16, 16}, kvbsNormal, adRight);
    EXPECT_EQ(s.Map(TRect{0, 0, 17, 17}, clBtnText), expected.Map(TRect{0, 0, 17, 17}, clBtnText));
    EXPECT_NE(s.Bounds(clBtnText).right, 0);
}

// Every drawing operation with rectangles that are empty, inverted, one pixel, or far larger
// than the surface: nothing outside the rectangle changes and nothing hangs.
TEST_F(PainterTest, RectanglesOfAnySizeStayInside) {
    TFont *font = New<TFont>();
    TkvHeaderText text;
    text.Text = L"&Header";
    text.Font = font;
    TkvHeaderNeighbors both{true, true, true, true};
    TBrush *brush = New<TBrush>();
    brush->SetColor(clTeal);
    std::wstring cell = L"Cell text";
    using Draw = std::function<void(TkvPainterClass, TkvCanvas *, const TRect &)>;
    const std::vector<std::pair<const char *, Draw>> operations = {
        {"DrawTriangleArrow", [](auto p, auto c, auto &r) { p->DrawTriangleArrow(c, r, clNavy); }},
        {"DrawCellContent", [&](auto p, auto c, auto &r) {
             p->DrawCellContent(c, r, {}, clAqua, clNavy, font, &cell, {}, r, kvbsNormal);
         }},
        {"DrawArrow", [](auto p, auto c, auto &r) { for (int d = 0; d < 4; ++d) p->DrawArrow(c, r, clNavy, d); }},
        {"DrawArrowButton", [](auto p, auto c, auto &r) { p->DrawArrowButton(c, r, true, adLeft, kvbsPressed); }},
        {"DrawArrowForState", [](auto p, auto c, auto &r) { p->DrawArrowForState(c, r, kvbsDisabled, adDown); }},
        {"DrawControlFrame", [](auto p, auto c, auto &r) { p->DrawControlFrame(c, r); }},
        {"DrawPushButton", [](auto p, auto c, auto &r) {
             for (int s = 0; s < 5; ++s) p->DrawPushButton(c, r, L"&Button", static_cast<TkvButtonState>(s));
         }},
        {"DrawGroupedButton", [](auto p, auto c, auto &r) { p->DrawGroupedButton(c, r, clRed, 0, 2, kvbsHot); }},
        {"DrawExpandBox", [](auto p, auto c, auto &r) { p->DrawExpandBox(c, r, clDefault, false); }},
        {"DrawGroupToggleButton", [](auto p, auto c, auto &r) { p->DrawGroupToggleButton(c, r, kvbsNormal, true); }},
        {"DrawSmallExpandBox", [](auto p, auto c, auto &r) { p->DrawSmallExpandBox(c, r, clNavy, clAqua, false); }},
        {"DrawCheckBox", [](auto p, auto c, auto &r) { p->DrawCheckBox(c, r, kvbsNormal, true); }},
        {"DrawHeader", [&](auto p, auto c, auto &r) {
             for (int s = 0; s < 5; ++s)
                 p->DrawHeader(c, r, r, both, kvAllBorders, static_cast<TkvButtonState>(s), text);
         }},
        {"DrawHeaderSection", [&](auto p, auto c, auto &r) {
             for (int s = 0; s < 5; ++s)
                 p->DrawHeaderSection(c, r, r, kvAllBorders, static_cast<TkvButtonState>(s), text);
         }},
        {"InvertHeaderArea", [](auto p, auto c, auto &r) { p->InvertHeaderArea(c, r); }},
        {"DrawSortArrow", [](auto p, auto c, auto &r) { p->DrawSortArrow(c, r, true); p->DrawSortArrow(c, r, false); }},
        {"DrawFooterCell", [&](auto p, auto c, auto &r) {
             p->DrawFooterCell(c, r, {}, cell, font, clNavy, clAqua);
         }},
        {"DrawFooterFrame", [](auto p, auto c, auto &r) { p->DrawFooterFrame(c, r); p->DrawFooterSeparator(c, r); }},
        {"DrawCloseCross", [](auto p, auto c, auto &r) { p->DrawCloseCross(c, r, kvbsPressed); }},
        {"DrawDropDownArrowButton", [](auto p, auto c, auto &r) { p->DrawDropDownArrowButton(c, r, true, kvbsNormal); }},
        {"DrawTabFrame", [](auto p, auto c, auto &r) { p->DrawTabFrame(c, r, true, kvAllBorders, tpTop); }},
        {"DrawTabAreaFrame", [](auto p, auto c, auto &r) { p->DrawTabAreaFrame(c, r, false, kvAllBorders); }},
        {"DrawIndicatorCell", [](auto p, auto c, auto &r) { p->DrawIndicatorCell(c, r, clAqua, {}, 1); }},
        {"DrawScrollBarElement", [](auto p, auto c, auto &r) {
             for (int part = 1; part <= 5; ++part) {
                 p->DrawScrollBarElement(c, false, kvbsPressed, static_cast<TkvScrollBarPart>(part), r);
                 p->DrawScrollBarElement(c, true, kvbsNormal, static_cast<TkvScrollBarPart>(part), r);
             }
         }},
        {"DrawHeaderWithArrows", [&](auto p, auto c, auto &r) {
             p->DrawHeaderWithArrows(c, r, r, TkvHeaderNeighbors{}, text, 3);
         }},
        {"DrawPlainButton", [](auto p, auto c, auto &r) { p->DrawPlainButton(c, r, kvbsNormal); }},
        {"DrawTab", [](auto p, auto c, auto &r) {
             p->DrawTab(c, r, kvAllBorders, true, false, false, false, tpTop, L"&Tab");
             p->DrawTab(c, r, kvAllBorders, false, true, false, true, tpLeft);
         }},
        {"DrawFramedBorder", [](auto p, auto c, auto &r) { p->DrawFramedBorder(c, r); }},
        {"DrawSplitter", [&](auto p, auto c, auto &r) { p->DrawSplitter(c, r, true, brush); p->DrawSplitter(c, r, false, brush); }},
    };
    const std::vector<TRect> rects = {{30, 30, 30, 30}, {30, 30, 25, 40}, {40, 40, 30, 30}, {30, 30, 31, 31},
                                      {30, 30, 32, 45}, {30, 30, 33, 33}, {28, 31, 60, 32}};
    for (TkvPainterClass painter : {standard, flat, PainterOf<TkvUltraFlatLookAndFeelPainter>(),
                                    PainterOf<TkvOffice11LookAndFeelPainter>(), PainterOf<TkvWinXPLookAndFeelPainter>()})
        for (const auto &[name, draw] : operations) {
            for (const TRect &rect : rects) {
                Surface s(64, 64, clFuchsia);
                draw(painter, s.Canvas(), rect);
                EXPECT_EQ(s.ChangedOutside(rect, clFuchsia), 0)
                    << painter->ClassName() << " " << name << " (" << rect.left << "," << rect.top << ","
                    << rect.right << "," << rect.bottom << ")";
            }
            Surface s(64, 64, clFuchsia);
            draw(painter, s.Canvas(), TRect{-30000, -30000, 30000, 30000});
            draw(painter, s.Canvas(), TRect{0, 0, 30000, 30000});
        }
    brush->Free();
    font->Free();
}

TEST_F(PainterTest, IndicatorGlyphs) {
    ASSERT_NE(IndicatorImages(), nullptr);
    EXPECT_EQ(IndicatorImages()->GetCount(), 5);
    Surface none(20, 20), first(20, 20), masked(20, 20);
    standard->DrawIndicatorGlyph(none.Canvas(), TRect{0, 0, 20, 20}, 0);
    EXPECT_EQ(none.ChangedOutside(TRect{}, clWhite), 0);
    standard->DrawIndicatorGlyph(first.Canvas(), TRect{0, 0, 20, 20}, 1);
    standard->DrawIndicatorGlyph(masked.Canvas(), TRect{0, 0, 20, 20}, 0x81);
    EXPECT_GT(first.ChangedOutside(TRect{}, clWhite), 0);
    EXPECT_EQ(first.Map(TRect{0, 0, 20, 20}, clBlack), masked.Map(TRect{0, 0, 20, 20}, clBlack));
    // White is the transparent colour: the ground stays.
    EXPECT_EQ(first.Pixel(0, 0), rgb(clWhite));
}

TEST_F(PainterTest, RadioGlyphListHoldsEveryGlyphInTheSystemSize) {
    TkvRadioButtonImageList *glyphs = GetRadioGlyphList();
    ASSERT_NE(glyphs, nullptr);
    EXPECT_EQ(glyphs->Count(), 128);
    const TkvRadioGlyphGeometry &geometry = RadioGlyphGeometry();
    TSize size = glyphs->GetGlyphSize();
    EXPECT_EQ(size.cx, geometry.GlyphSize.cx);
    EXPECT_EQ(size.cy, geometry.GlyphSize.cy);
    EXPECT_GE(size.cx, 10);
    EXPECT_EQ(standard->GetRadioButtonSize().cx, size.cx);
    // Keys: every combination once; anything else has no glyph.
    std::vector<bool> seen(128, false);
    for (int kind = 0; kind < 4; ++kind)
        for (int state = kvbsNormal; state <= kvbsDisabled; ++state)
            for (int flags = 0; flags < 8; ++flags) {
                int key = TkvRadioButtonImageList::CalcGlyphKey(static_cast<TkvButtonState>(state),
                                                                static_cast<TkvLookAndFeelKind>(kind), flags & 1,
                                                                flags & 2, flags & 4);
                ASSERT_GE(key, 0);
                ASSERT_LT(key, 128);
                EXPECT_FALSE(seen[key]);
                seen[key] = true;
                EXPECT_GE(glyphs->FindGlyphIndex(key), 0);
            }
    EXPECT_EQ(TkvRadioButtonImageList::CalcGlyphKey(kvbsDefault, lfOffice11, true, true, true), -1);
    EXPECT_EQ(TkvRadioButtonImageList::CalcGlyphKey(kvbsNormal, static_cast<TkvLookAndFeelKind>(4), false, false, false), -1);
    EXPECT_EQ(glyphs->FindGlyphIndex(128), -1);
    EXPECT_EQ(glyphs->FindGlyphIndex(-1), -1);
}

// The Standard radio is sunken: shadow on the upper-left half of the outer ring, highlight on
// the lower-right, dark shadow and light inside, the dot in window text.
TEST_F(PainterTest, StandardRadioGlyphIsSunken) {
    const int w = RadioGlyphGeometry().GlyphSize.cx;
    const int h = RadioGlyphGeometry().GlyphSize.cy;
    Surface s(w + 4, h + 4, clFuchsia);
    standard->DrawRadioButton(s.Canvas(), 2, 2, kvbsNormal, true, false, false);
    EXPECT_EQ(s.Pixel(2 + w / 2, 2), rgb(clBtnShadow)) << "top of the outer ring";
    EXPECT_EQ(s.Pixel(2, 2 + h / 2), rgb(clBtnShadow)) << "left of the outer ring";
    EXPECT_EQ(s.Pixel(2 + w / 2, 1 + h), rgb(clBtnHighlight)) << "bottom of the outer ring";
    EXPECT_EQ(s.Pixel(1 + w, 2 + h / 2), rgb(clBtnHighlight)) << "right of the outer ring";
    EXPECT_EQ(s.Pixel(2 + w / 2, 3), rgb(cl3DDkShadow)) << "top of the inner ring";
    EXPECT_EQ(s.Pixel(2 + w / 2, h), rgb(cl3DLight)) << "bottom of the inner ring";
    EXPECT_EQ(s.Pixel(2 + w / 2, 2 + h / 2), rgb(clWindowText)) << "the dot";
    EXPECT_EQ(s.Pixel(2, 2), rgb(clFuchsia)) << "outside the glyph is masked";
    EXPECT_EQ(s.Pixel(1 + w, 1 + h), rgb(clFuchsia));
    // Unchecked: the body colour where the dot was.
    standard->DrawRadioButton(s.Canvas(), 2, 2, kvbsNormal, false, false, false);
    EXPECT_EQ(s.Pixel(2 + w / 2, 2 + h / 2), rgb(clWindow));
    // The default state draws as normal.
    Surface def(w + 4, h + 4, clFuchsia), normal(w + 4, h + 4, clFuchsia);
    flat->DrawRadioButton(def.Canvas(), 2, 2, kvbsDefault, true, true, false);
    flat->DrawRadioButton(normal.Canvas(), 2, 2, kvbsNormal, true, true, false);
    for (TColor c : {clBtnShadow, clBtnHighlight, cl3DLight, clWindow, clWindowText})
        EXPECT_EQ(def.Map(TRect{0, 0, w + 4, h + 4}, c), normal.Map(TRect{0, 0, w + 4, h + 4}, c));
    // A background colour replaces what is under the masked corners.
    standard->DrawRadioButton(s.Canvas(), 2, 2, kvbsPressed, false, false, false, clAqua);
    EXPECT_EQ(s.Pixel(2, 2), rgb(clAqua));
    EXPECT_EQ(s.Pixel(2 + w / 2, 2 + h / 2), rgb(clBtnFace));
}

TEST_F(PainterTest, RadioPatternCodesSplitAlongTheAntiDiagonal) {
    const std::vector<std::uint8_t> &pattern = RadioGlyphPattern();
    const int w = RadioGlyphGeometry().GlyphSize.cx;
    const int h = RadioGlyphGeometry().GlyphSize.cy;
    ASSERT_EQ(pattern.size(), static_cast<size_t>(w * h));
    auto code = [&](int x, int y) { return pattern[static_cast<size_t>(y * w + x)]; };
    EXPECT_EQ(code(0, 0), 0);
    EXPECT_EQ(code(w / 2, 0), 1);
    EXPECT_EQ(code(0, h / 2), 1);
    EXPECT_EQ(code(w / 2, h - 1), 2);
    EXPECT_EQ(code(w - 1, h / 2), 2);
    EXPECT_EQ(code(w / 2, 1), 3);
    EXPECT_EQ(code(w / 2, h - 2), 4);
    EXPECT_EQ(code(w / 2, h / 2), 6);
    int body = 0;
    for (std::uint8_t c : pattern)
        body += c == 5;
    EXPECT_GT(body, 0);
}

TEST_F(PainterTest, UnitStartedTwiceAndStoppedOnceKeepsItsResources) {
    TkvRadioButtonImageList *glyphs = GetRadioGlyphList();
    TBitmap *checker = ScrollBarPatternBitmap(false);
    TCustomImageList *indicators = IndicatorImages();
    InitPainterUnit();
    DonePainterUnit();
    EXPECT_EQ(GetRadioGlyphList(), glyphs);
    EXPECT_EQ(ScrollBarPatternBitmap(false), checker);
    EXPECT_EQ(IndicatorImages(), indicators);
    EXPECT_NE(AutoHideBitmap(true), nullptr);
    EXPECT_EQ(AutoHideBitmap(true)->GetWidth(), 16);
    EXPECT_EQ(glyphs->Count(), 128);
    EXPECT_NE(SystemPaletteChangedListener(), nullptr);
}

TEST_F(PainterTest, SystemColourChangeRepaintsCheckersAndGlyphs) {
    TkvRadioButtonImageList *glyphs = GetRadioGlyphList();
    ASSERT_NE(glyphs, nullptr);
    const int w = RadioGlyphGeometry().GlyphSize.cx;
    const int h = RadioGlyphGeometry().GlyphSize.cy;
    {
        ScopedSysColors changed({{COLOR_BTNFACE, RGB(10, 200, 30)}, {COLOR_BTNSHADOW, RGB(90, 20, 140)},
                                 {COLOR_BTNHIGHLIGHT, RGB(250, 240, 100)}});
        ASSERT_TRUE(changed.applied());
        TCanvas *checker = ScrollBarPatternBitmap(false)->GetCanvas();
        EXPECT_EQ(ColorToRGB(checker->GetPixel(0, 0)), RGB(10, 200, 30));
        EXPECT_EQ(ColorToRGB(checker->GetPixel(1, 0)), RGB(250, 240, 100));
        Surface s(w, h, clFuchsia);
        standard->DrawRadioButton(s.Canvas(), 0, 0, kvbsNormal, true, false, false);
        EXPECT_EQ(s.Pixel(w / 2, 0), RGB(90, 20, 140));
        EXPECT_EQ(s.Pixel(w / 2, h - 1), RGB(250, 240, 100));
        EXPECT_EQ(glyphs->Count(), 128);
    }
    TCanvas *checker = ScrollBarPatternBitmap(false)->GetCanvas();
    EXPECT_EQ(ColorToRGB(checker->GetPixel(0, 0)), rgb(clBtnFace));
}

} // namespace
