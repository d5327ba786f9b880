// The editors' brush cache and drawing routines in 32-bit bitmaps: system brushes, eviction of
// the least used brush with the colours kept sorted, emptying on a colour change, arrows of each
// size and direction, glyphs drawn transparent and embossed, and the band fill.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <classlib/units.h>

#include "kvEditPaintUtils.h"
#include "kvSystemPalette.h"
#include "system_colors.h"

namespace {

class Surface {
public:
    Surface(int width, int height, TColor color = clWhite) : bitmap_(New<TBitmap>()), width_(width), height_(height) {
        bitmap_->SetSize(width, height);
        Clear(color);
    }
    TCanvas *Canvas() const { return bitmap_->GetCanvas(); }
    HDC Handle() const { return Canvas()->GetHandle(); }
    COLORREF Pixel(int x, int y) const { return GetPixel(Handle(), x, y); }
    void Clear(TColor color) {
        HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
        RECT all{0, 0, width_, height_};
        ::FillRect(Handle(), &all, brush);
        DeleteObject(brush);
    }
    std::vector<std::string> Map(TColor color) const {
        std::vector<std::string> rows;
        COLORREF wanted = ColorToRGB(color);
        for (int y = 0; y < height_; ++y) {
            std::string row;
            for (int x = 0; x < width_; ++x)
                row += Pixel(x, y) == wanted ? 'X' : '.';
            rows.push_back(row);
        }
        return rows;
    }

private:
    TOwned<TBitmap> bitmap_;
    int width_;
    int height_;
};

class EditPaintTest : public FixedSysColorsTest {
protected:
    void SetUp() override {
        FixedSysColorsTest::SetUp();
        if (HasFatalFailure())
            return;
        units_ = new UnitScope{&kvEditPaintUtilsUnit};
    }
    void TearDown() override {
        delete units_;
        units_ = nullptr;
        FixedSysColorsTest::TearDown();
    }

private:
    UnitScope *units_ = nullptr;
};

// Counts can be seeded near their limit, which no test could reach by hits.
class SeededCache : public TkvSolidBrushCache {
    CL_CLASS(SeededCache, TkvSolidBrushCache)

public:
    void Seed(int index, std::int32_t count) { SetUseCount(index, count); }
};

void expectSorted(const TkvSolidBrushCache *cache) {
    for (int i = 1; i < cache->Depth(); ++i)
        ASSERT_LT(static_cast<std::uint32_t>(cache->ColorAt(i - 1)), static_cast<std::uint32_t>(cache->ColorAt(i)))
            << "at " << i;
}

TEST_F(EditPaintTest, SystemColoursAnswerTheSystemBrushWithoutTheCache) {
    int depth = SolidBrushCache()->Depth();
    EXPECT_EQ(CachedSolidBrush(clBtnFace), GetSysColorBrush(COLOR_BTNFACE));
    EXPECT_EQ(CachedSolidBrush(SystemColor(30)), GetSysColorBrush(30));
    EXPECT_EQ(SolidBrushCache()->Depth(), depth);
    HBRUSH red = CachedSolidBrush(clRed);
    EXPECT_EQ(SolidBrushCache()->Depth(), depth + 1);
    EXPECT_EQ(CachedSolidBrush(clRed), red);
    // An index past the system table is an ordinary colour value.
    CachedSolidBrush(SystemColor(31));
    EXPECT_EQ(SolidBrushCache()->Depth(), depth + 2);
}

TEST_F(EditPaintTest, AFullCacheEvictsTheLeastUsedAndStaysSorted) {
    TOwned<TkvSolidBrushCache> cache(New<TkvSolidBrushCache>());
    std::vector<TColor> colors;
    for (int i = 0; i < 128; ++i)
        colors.push_back(static_cast<TColor>(0x010101 * (i + 1) + (i % 7) * 0x10000));
    // Values with the top bit set sort as unsigned.
    colors[5] = static_cast<TColor>(0x9A000000u);
    std::mt19937 random(7);
    std::shuffle(colors.begin(), colors.end(), random);
    for (TColor color : colors)
        cache->GetBrush(color);
    ASSERT_EQ(cache->Depth(), 128);
    expectSorted(cache.get());
    // Every colour hit once more, except two: the lower of the two goes first.
    std::vector<TColor> sorted = colors;
    std::sort(sorted.begin(), sorted.end(),
              [](TColor a, TColor b) { return static_cast<std::uint32_t>(a) < static_cast<std::uint32_t>(b); });
    TColor spareLow = sorted[40];
    TColor spareHigh = sorted[90];
    for (TColor color : colors)
        if (color != spareLow && color != spareHigh)
            cache->GetBrush(color);
    cache->GetBrush(0x00123456);
    ASSERT_EQ(cache->Depth(), 128);
    expectSorted(cache.get());
    std::vector<TColor> held;
    for (int i = 0; i < cache->Depth(); ++i)
        held.push_back(cache->ColorAt(i));
    EXPECT_EQ(std::count(held.begin(), held.end(), spareLow), 0);
    EXPECT_EQ(std::count(held.begin(), held.end(), spareHigh), 1);
    EXPECT_EQ(std::count(held.begin(), held.end(), 0x00123456), 1);
    cache->GetBrush(0x00654321);
    held.clear();
    for (int i = 0; i < cache->Depth(); ++i)
        held.push_back(cache->ColorAt(i));
    // The newest brushes have count 0 too; the one of the lowest value among them leaves.
    EXPECT_EQ(std::count(held.begin(), held.end(), spareHigh), 1);
    EXPECT_EQ(std::count(held.begin(), held.end(), 0x00123456), 0);
    expectSorted(cache.get());
}

TEST_F(EditPaintTest, UseCountsSaturateSoTheHottestBrushStays) {
    TOwned<SeededCache> cache(New<SeededCache>(2));
    cache->GetBrush(clRed);
    cache->GetBrush(clBlue);
    cache->GetBrush(clBlue);
    cache->Seed(0, INT32_MAX - 1); // clRed sorts first
    cache->GetBrush(clRed);
    cache->GetBrush(clRed);
    EXPECT_EQ(cache->UseCountAt(0), INT32_MAX);
    cache->GetBrush(clGreen);
    ASSERT_EQ(cache->Depth(), 2);
    EXPECT_EQ(cache->ColorAt(0), clRed);
    EXPECT_EQ(cache->ColorAt(1), clGreen);
}

TEST_F(EditPaintTest, AColourChangeEmptiesTheCache) {
    HBRUSH first = CachedSolidBrush(0x00ABCDEF);
    ASSERT_GT(SolidBrushCache()->Depth(), 0);
    ASSERT_NE(SystemPaletteChangedListener(), nullptr);
    SendMessageW(SystemPaletteChangedListener()->Handle(), WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(SolidBrushCache()->Depth(), 0);
    // The old handle is gone; a fresh one paints the colour.
    EXPECT_EQ(GetObjectType(first), 0u);
    Surface s(4, 4);
    RECT r{0, 0, 4, 4};
    ::FillRect(s.Handle(), &r, CachedSolidBrush(0x00ABCDEF));
    EXPECT_EQ(s.Pixel(2, 2), 0x00ABCDEFu);
    EXPECT_EQ(SolidBrushCache()->Depth(), 1);
}

// The system may make its colour brushes anew when the colours change (Wine deletes the old
// ones): the brushes handed out for system colours follow, and paint the new colour.
TEST_F(EditPaintTest, SystemBrushesFollowAColourChange) {
    CachedSolidBrush(clBtnFace);
    constexpr COLORREF face = RGB(10, 120, 230);
    ScopedSysColors changed({{COLOR_BTNFACE, face}});
    ASSERT_TRUE(changed.applied());
    HBRUSH brush = CachedSolidBrush(clBtnFace);
    EXPECT_EQ(brush, GetSysColorBrush(COLOR_BTNFACE));
    Surface s(4, 4);
    RECT r{0, 0, 4, 4};
    ::FillRect(s.Handle(), &r, brush);
    EXPECT_EQ(s.Pixel(2, 2), face);
}

TEST_F(EditPaintTest, ArrowsOfEachDirection) {
    Surface s(9, 9);
    DrawArrows(s.Canvas(), 3, TRect{0, 0, 9, 9}, clBlack, false, false, adUp);
    EXPECT_EQ(s.Map(clBlack), (std::vector<std::string>{
                                  ".........",
                                  ".........",
                                  ".........",
                                  "....X....",
                                  "...XXX...",
                                  "..XXXXX..",
                                  ".........",
                                  ".........",
                                  ".........",
                              }));
    s.Clear(clWhite);
    DrawArrows(s.Canvas(), 3, TRect{0, 0, 9, 9}, clBlack, true, true, adDown);
    EXPECT_EQ(s.Map(clBlack), (std::vector<std::string>{
                                  ".........",
                                  ".........",
                                  "...XXXXX.",
                                  "....XXX..",
                                  ".....X...",
                                  "...XXXXX.",
                                  "....XXX..",
                                  ".....X...",
                                  ".........",
                              }));
    s.Clear(clWhite);
    DrawArrows(s.Canvas(), 3, TRect{0, 0, 9, 9}, clBlack, false, true, adLeft);
    EXPECT_EQ(s.Map(clBlack), (std::vector<std::string>{
                                  ".........",
                                  ".........",
                                  "...X..X..",
                                  "..XX.XX..",
                                  ".XXXXXX..",
                                  "..XX.XX..",
                                  "...X..X..",
                                  ".........",
                                  ".........",
                              }));
    s.Clear(clWhite);
    DrawArrows(s.Canvas(), 2, TRect{0, 0, 9, 9}, clBlack, false, false, adRight);
    EXPECT_EQ(s.Map(clBlack), (std::vector<std::string>{
                                  ".........",
                                  ".........",
                                  ".........",
                                  "...X.....",
                                  "...XX....",
                                  "...X.....",
                                  ".........",
                                  ".........",
                                  ".........",
                              }));
}

TEST_F(EditPaintTest, ArrowsOfEverySizeFillTheirArea) {
    for (int size = 1; size <= 7; ++size)
        for (TkvArrowDirection direction : {adUp, adDown, adLeft, adRight})
            for (bool isDouble : {false, true}) {
                Surface s(40, 40);
                DrawArrows(s.Canvas(), size, TRect{0, 0, 40, 40}, clBlack, false, isDouble, direction);
                int count = 0;
                for (const std::string &row : s.Map(clBlack))
                    count += static_cast<int>(std::count(row.begin(), row.end(), 'X'));
                // A triangle of n rows holds n * n pixels.
                EXPECT_EQ(count, size * size * (isDouble ? 2 : 1))
                    << "size " << size << " direction " << int(direction) << " double " << isDouble;
            }
    int width = 0;
    int height = 0;
    GetArrowSize(TSize{16, 11}, adDown, width, height);
    EXPECT_EQ(width, 5);
    EXPECT_EQ(height, 3);
    GetArrowSize(TSize{16, 11}, adLeft, width, height);
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 5);
    GetArrowSize(TSize{9, 9}, adUp, width, height);
    EXPECT_EQ(width, 5); // 4 made odd
    EXPECT_EQ(height, 3);
}

TEST_F(EditPaintTest, EdgesAndPolylines) {
    Surface s(6, 5);
    TRect r{0, 0, 6, 5};
    DrawEdges(s.Canvas(), r, kvEdgeLeft | kvEdgeBottom, clBlack);
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.bottom, 4);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 6);
    EXPECT_EQ(s.Map(clBlack), (std::vector<std::string>{"X.....", "X.....", "X.....", "X.....", "XXXXXX"}));
    for (bool fill : {false, true}) {
        s.Clear(clWhite);
        TPoint points[] = {{1, 3}, {1, 0}, {4, 0}};
        DrawPolyline(s.Canvas(), points, 2, fill, clBlack);
        EXPECT_EQ(s.Map(clBlack), (std::vector<std::string>{".XXXX.", ".X....", ".X....", ".X....", "......"}))
            << "fill " << fill;
    }
}

TEST_F(EditPaintTest, CentringMovesByOneWhenPressedWhileRoomIsLeft) {
    int x = 0;
    int y = 0;
    CenterInRect(TRect{10, 20, 30, 30}, TSize{5, 10}, false, x, y);
    EXPECT_EQ(x, 17);
    EXPECT_EQ(y, 20);
    CenterInRect(TRect{10, 20, 30, 30}, TSize{5, 10}, true, x, y);
    EXPECT_EQ(x, 18);
    EXPECT_EQ(y, 20); // no room below
}

// An 8 x 8 glyph: olive ground (the bottom-left pixel), a black 4 x 4 square at (2, 2).
TOwned<TBitmap> makeGlyph() {
    TOwned<TBitmap> glyph(New<TBitmap>());
    glyph->SetSize(8, 8);
    HDC dc = glyph->GetCanvas()->GetHandle();
    RECT all{0, 0, 8, 8};
    HBRUSH olive = CreateSolidBrush(ColorToRGB(clOlive));
    ::FillRect(dc, &all, olive);
    DeleteObject(olive);
    RECT square{2, 2, 6, 6};
    ::FillRect(dc, &square, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    return glyph;
}

TEST_F(EditPaintTest, EnabledGlyphsReplaceTheirTransparentColour) {
    TOwned<TBitmap> glyph = makeGlyph();
    Surface s(12, 12, clRed);
    DrawGlyph(s.Canvas(), 2, 2, nullptr, clNone, true, glyph.get());
    EXPECT_EQ(s.Pixel(3, 3), ColorToRGB(clRed)); // ground let through
    EXPECT_EQ(s.Pixel(5, 5), 0u);
    EXPECT_EQ(s.Pixel(7, 7), 0u);
    EXPECT_EQ(s.Pixel(8, 8), ColorToRGB(clRed));
    s.Clear(clRed);
    DrawGlyph(s.Canvas(), 2, 2, nullptr, clBlue, true, glyph.get());
    EXPECT_EQ(s.Pixel(3, 3), ColorToRGB(clBlue));
    EXPECT_EQ(s.Pixel(5, 5), 0u);
    EXPECT_EQ(s.Pixel(10, 10), ColorToRGB(clRed)); // nothing outside the glyph
    // Through a buffer: the buffer's own picture shows where the glyph is transparent.
    TOwned<TBitmap> buffer(New<TBitmap>());
    buffer->SetSize(8, 8);
    RECT all{0, 0, 8, 8};
    ::FillRect(buffer->GetCanvas()->GetHandle(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    s.Clear(clRed);
    DrawGlyph(s.Canvas(), 0, 0, buffer.get(), clBlue, true, glyph.get());
    EXPECT_EQ(s.Pixel(1, 1), 0xFFFFFFu);
    EXPECT_EQ(s.Pixel(3, 3), 0u);
}

TEST_F(EditPaintTest, DisabledGlyphsAreEmbossed) {
    TOwned<TBitmap> glyph = makeGlyph();
    Surface s(12, 12, clRed);
    DrawGlyph(s.Canvas(), 2, 2, nullptr, clWindow, false, glyph.get());
    COLORREF shadow = ColorToRGB(clBtnShadow);
    COLORREF highlight = ColorToRGB(clBtnHighlight);
    // The shape in shadow, its copy one pixel right and down in highlight where it shows.
    EXPECT_EQ(s.Pixel(4, 4), shadow);
    EXPECT_EQ(s.Pixel(7, 7), shadow);
    EXPECT_EQ(s.Pixel(8, 8), highlight);
    EXPECT_EQ(s.Pixel(8, 5), highlight);
    EXPECT_EQ(s.Pixel(3, 3), ColorToRGB(clWindow));
    EXPECT_EQ(s.Pixel(11, 11), ColorToRGB(clRed));
    // Without a background the ground shows through.
    s.Clear(clRed);
    DrawGlyph(s.Canvas(), 2, 2, nullptr, clNone, false, glyph.get());
    EXPECT_EQ(s.Pixel(4, 4), shadow);
    EXPECT_EQ(s.Pixel(3, 3), ColorToRGB(clRed));
    EXPECT_FALSE(IsGlyphValid(nullptr));
    TOwned<TBitmap> empty(New<TBitmap>());
    EXPECT_FALSE(IsGlyphValid(empty.get()));
    EXPECT_TRUE(IsGlyphValid(glyph.get()));
}

TEST_F(EditPaintTest, FillExceptInnerPaintsTheFourBands) {
    Surface s(8, 6);
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    FillRectExceptInner(s.Canvas(), TRect{1, 1, 7, 6}, TRect{3, 2, 5, 4}, black);
    EXPECT_EQ(s.Map(clBlack), (std::vector<std::string>{
                                  "........",
                                  ".XXXXXX.",
                                  ".XX..XX.",
                                  ".XX..XX.",
                                  ".XXXXXX.",
                                  ".XXXXXX.",
                              }));
    s.Clear(clWhite);
    FillRectExceptInner(s.Canvas(), TRect{1, 1, 7, 6}, TRect{1, 1, 7, 6}, black);
    FillRectExceptInner(s.Canvas(), TRect{4, 4, 4, 6}, TRect{}, black);
    EXPECT_EQ(s.Pixel(3, 3), 0xFFFFFFu);
    FillRectExceptInner(s.Canvas(), TRect{0, 0, 2, 2}, TRect{}, black);
    EXPECT_EQ(s.Map(clBlack)[1], "XX......");
}

TEST(EditPaintText, FlagsAndAcceleratorMarks) {
    EXPECT_EQ(TextOutFlagsToLibraryTextFlags(0x1 | 0x20 | 0x200), tfCenterH | tfBottom | tfSingleLine);
    EXPECT_EQ(TextOutFlagsToLibraryTextFlags(0x2 | 0x10 | 0x100), tfRight | tfCenterV | tfWordBreak);
    EXPECT_EQ(TextOutFlagsToLibraryTextFlags(0x400 | 0x800 | 0x8000 | 0x40 | 0x80), 0);
    EXPECT_EQ(RemoveAccelChars(L"A&&B&"), L"A&B_");
    EXPECT_EQ(RemoveAccelChars(L"&File &x"), L"File x");
    EXPECT_EQ(RemoveAccelChars(L""), L"");
    std::wstring result;
    GetResourceText(L"text", result);
    EXPECT_EQ(result, L"text");
    SetResourceTextHook([](const std::wstring &text, std::wstring &out, void *) { out = L"[" + text + L"]"; });
    GetResourceText(L"text", result);
    SetResourceTextHook(nullptr);
    EXPECT_EQ(result, L"[text]");
}

} // namespace
