// kvGraphics painted into bitmaps: frames, fills and tiles, edges, clip regions, text paths,
// rotation and blends, read back pixel by pixel.
#include <gtest/gtest.h>

#include <classlib/exceptions.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "kvGraphics.h"

namespace {

// A bitmap of one colour with a kvCanvas over its canvas.
class Surface {
public:
    Surface(int width, int height, TColor color = clWhite) : bitmap_(New<TBitmap>()) {
        bitmap_->SetSize(width, height);
        Clear(color);
        canvas_.reset(New<TkvCanvas>(bitmap_->GetCanvas()));
    }

    TkvCanvas *Canvas() const { return canvas_.get(); }
    TBitmap *Bitmap() const { return bitmap_.get(); }
    HDC Handle() const { return canvas_->GetHandle(); }
    TColor Pixel(int x, int y) const { return bitmap_->GetCanvas()->GetPixel(x, y); }

    TColor DevicePixel(int x, int y) const {
        POINT point{x, y};
        HDC context = bitmap_->GetCanvas()->GetHandle();
        DPtoLP(context, &point, 1);
        return static_cast<TColor>(GetPixel(context, point.x, point.y));
    }

    // Leaves the canvas's brush alone.
    void Clear(TColor color) {
        HDC context = bitmap_->GetCanvas()->GetHandle();
        SelectClipRgn(context, nullptr);
        HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
        TRect all{-100000, -100000, 100000, 100000};
        ::FillRect(context, &all, brush);
        DeleteObject(brush);
    }

    // Rows of the area in device coordinates, one character a pixel: the legend's letter, '?' for other colours.
    std::vector<std::string> Map(const TRect &area, const std::map<TColor, char> &legend) const {
        std::vector<std::string> rows;
        for (int y = area.top; y < area.bottom; ++y) {
            std::string row;
            for (int x = area.left; x < area.right; ++x) {
                auto found = legend.find(DevicePixel(x, y));
                row += found != legend.end() ? found->second : '?';
            }
            rows.push_back(row);
        }
        return rows;
    }

    // The bounds of the pixels of a colour (empty when there are none).
    TRect Bounds(const TRect &area, TColor color) const {
        TRect bounds{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (Pixel(x, y) == color) {
                    bounds.left = std::min(bounds.left, static_cast<LONG>(x));
                    bounds.top = std::min(bounds.top, static_cast<LONG>(y));
                    bounds.right = std::max(bounds.right, static_cast<LONG>(x + 1));
                    bounds.bottom = std::max(bounds.bottom, static_cast<LONG>(y + 1));
                }
        return bounds.right < bounds.left ? TRect{} : bounds;
    }

private:
    TOwned<TBitmap> bitmap_;
    TOwned<TkvCanvas> canvas_;
};

TColor sysColor(int index) { return static_cast<TColor>(GetSysColor(index)); }

bool sameRect(const TRect &a, const TRect &b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TRect regionBox(HRGN region) {
    TRect box{};
    GetRgnBox(region, &box);
    return box;
}

#define EXPECT_RECT(actual, l, t, r, b)                                                             \
    do {                                                                                           \
        TRect actualRect_ = (actual);                                                              \
        EXPECT_TRUE(sameRect(actualRect_, TRect{l, t, r, b}))                                      \
            << actualRect_.left << "," << actualRect_.top << "," << actualRect_.right << ","       \
            << actualRect_.bottom;                                                                 \
    } while (false)

const std::map<TColor, char> rgbw{{clRed, 'R'}, {clLime, 'G'}, {clBlue, 'B'}, {clWhite, '.'}};

// --- routines

TEST(KvGraphicsRoutines, TextFlagsMapToDrawTextFlags) {
    EXPECT_EQ(MapLibraryTextFlags(0), static_cast<UINT>(DT_NOPREFIX));
    EXPECT_EQ(MapLibraryTextFlags(tfLeft | tfTop), static_cast<UINT>(DT_NOPREFIX));
    EXPECT_EQ(MapLibraryTextFlags(tfWordBreak), static_cast<UINT>(DT_NOPREFIX | DT_WORDBREAK | DT_EDITCONTROL));
    EXPECT_EQ(MapLibraryTextFlags(tfWordBreak | tfNoEditControl), static_cast<UINT>(DT_NOPREFIX | DT_WORDBREAK));
    EXPECT_EQ(MapLibraryTextFlags(tfNoEditControl), static_cast<UINT>(DT_NOPREFIX));
    EXPECT_EQ(MapLibraryTextFlags(tfShowPrefix), 0u);
    const std::pair<TkvTextFlags, UINT> single[] = {
        {tfRight, DT_RIGHT},         {tfCenterH, DT_CENTER},         {tfBottom, DT_BOTTOM},
        {tfCenterV, DT_VCENTER},     {tfSingleLine, DT_SINGLELINE},  {tfNoClip, DT_NOCLIP},
        {tfExpandTabs, DT_EXPANDTABS}, {tfEndEllipsis, DT_END_ELLIPSIS}, {tfCalcOnly, DT_CALCRECT},
        {tfPathEllipsis, DT_PATH_ELLIPSIS}};
    for (auto [flag, mapped] : single)
        EXPECT_EQ(MapLibraryTextFlags(flag), mapped | DT_NOPREFIX) << flag;
    EXPECT_EQ(MapLibraryTextFlags(0x7FFF), static_cast<UINT>(DT_RIGHT | DT_CENTER | DT_BOTTOM | DT_VCENTER |
                                                             DT_SINGLELINE | DT_NOCLIP | DT_EXPANDTABS |
                                                             DT_WORDBREAK | DT_END_ELLIPSIS | DT_CALCRECT |
                                                             DT_PATH_ELLIPSIS));
}

TEST(KvGraphicsRoutines, MarginsDeflateEachSide) {
    TRect rect{10, 20, 110, 220};
    DeflateRectByMargins(rect, TRect{1, 2, 3, -4});
    EXPECT_RECT(rect, 11, 22, 107, 224);
}

TEST(KvGraphicsRoutines, RegionsCombineAndMove) {
    TOwned<TkvRegion> empty(New<TkvRegion>());
    EXPECT_TRUE(empty->IsEmpty());
    TOwned<TkvRegion> region(TkvRegion::CreateFromBounds(0, 0, 10, 10));
    region->Combine(TkvRegion::CreateFromRect(TRect{10, 0, 20, 10}), rgnopOr);
    EXPECT_RECT(regionBox(region->Handle()), 0, 0, 20, 10);
    region->Combine(TkvRegion::CreateFromBounds(5, 0, 20, 10), rgnopDiff);
    EXPECT_RECT(regionBox(region->Handle()), 0, 0, 5, 10);
    region->Combine(TkvRegion::CreateFromBounds(3, 4, 30, 30), rgnopAnd);
    EXPECT_RECT(regionBox(region->Handle()), 3, 4, 5, 10);
    region->Offset(-3, 6);
    EXPECT_RECT(regionBox(region->Handle()), 0, 10, 2, 16);

    TOwned<TkvRegion> kept(TkvRegion::CreateFromHandle(CreateRectRgn(1, 1, 2, 2)));
    region->Combine(kept.get(), rgnopCopy, false);
    EXPECT_TRUE(region->IsEqual(kept.get()));
    EXPECT_RECT(regionBox(kept->Handle()), 1, 1, 2, 2);
    region->Combine(region.get(), rgnopAnd, true);
    EXPECT_RECT(regionBox(region->Handle()), 1, 1, 2, 2);
    region->DestroyHandle();
    EXPECT_EQ(region->Handle(), nullptr);
}

TEST(KvGraphicsRoutines, BlendsOfFixedSystemColours) {
    const int elements[] = {COLOR_BTNFACE, COLOR_HIGHLIGHT, COLOR_WINDOW};
    COLORREF saved[] = {GetSysColor(elements[0]), GetSysColor(elements[1]), GetSysColor(elements[2])};
    auto setColours = [&](COLORREF face, COLORREF highlight, COLORREF window) {
        COLORREF values[] = {face, highlight, window};
        ASSERT_TRUE(SetSysColors(3, elements, values));
    };

    setColours(RGB(200, 100, 50), RGB(0, 80, 160), RGB(250, 240, 230));
    if (GetSysColor(COLOR_BTNFACE) == RGB(200, 100, 50)) {
        EXPECT_EQ(BlendSystemColors(14, 44, 40), static_cast<TColor>(RGB(128, 145, 169)));
        EXPECT_EQ(BlendSystemColors(-2, 30, 72), static_cast<TColor>(RGB(176, 195, 213)));
        EXPECT_EQ(BlendSystemColors(100, 0, 100), static_cast<TColor>(RGB(255, 255, 255)));
        EXPECT_EQ(BlendSystemColors(-100, 0, 0), static_cast<TColor>(RGB(0, 0, 0)));
        HDC screen = GetDC(nullptr);
        EXPECT_EQ(GetPressedBlendColor(), static_cast<TColor>(GetNearestColor(screen, RGB(128, 145, 169))));
        EXPECT_EQ(GetHotBlendColor(), static_cast<TColor>(GetNearestColor(screen, RGB(176, 195, 213))));
        ReleaseDC(nullptr, screen);
        setColours(RGB(255, 255, 255), RGB(0, 80, 160), RGB(250, 240, 230));
        EXPECT_EQ(BlendSystemColors(14, 44, 40), static_cast<TColor>(RGB(0, 80, 160)));
        setColours(RGB(0, 0, 0), RGB(0, 80, 160), RGB(250, 240, 230));
        EXPECT_EQ(BlendSystemColors(-2, 30, 72), static_cast<TColor>(RGB(0, 80, 160)));
    } else {
        ADD_FAILURE() << "SetSysColors did not take";
    }
    SetSysColors(3, elements, saved);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), saved[0]);
}

TEST(KvGraphicsRoutines, UnitHoldsItsBrushesAndBindingWhileStarted) {
    EXPECT_EQ(kvPatternBrush(), nullptr);
    kvGraphicsUnit.Start();
    ASSERT_NE(kvPatternBrush(), nullptr);
    EXPECT_EQ(kvSystemBrush(COLOR_BTNFACE), GetSysColorBrush(COLOR_BTNFACE));
    EXPECT_EQ(kvSystemBrush(31), nullptr);
    EXPECT_NE(kvAlphaBlend(), nullptr);

    // The pattern is a checkerboard of the context's text and background colours.
    Surface surface(4, 2);
    HDC context = surface.Handle();
    SetTextColor(context, RGB(255, 0, 0));
    SetBkColor(context, RGB(0, 0, 255));
    TRect all{0, 0, 4, 2};
    ::FillRect(context, &all, kvPatternBrush());
    EXPECT_EQ(surface.Map(all, rgbw), (std::vector<std::string>{"BRBR", "RBRB"}));

    kvGraphicsUnit.Stop();
    EXPECT_EQ(kvPatternBrush(), nullptr);
    EXPECT_EQ(kvAlphaBlend(), nullptr);
}

// --- frames and fills

TEST(KvGraphicsFrames, FramesOfEveryWidth) {
    Surface surface(8, 7);
    TkvCanvas *canvas = surface.Canvas();
    const TRect all{0, 0, 8, 7};
    canvas->FrameRect(TRect{1, 1, 7, 6}, clRed);
    EXPECT_EQ(surface.Map(all, rgbw), (std::vector<std::string>{"........", ".RRRRRR.", ".R....R.", ".R....R.",
                                                                ".R....R.", ".RRRRRR.", "........"}));
    surface.Clear(clWhite);
    canvas->FrameRect(TRect{1, 1, 7, 6}, clBlue, false, kvAllBorders, 2);
    EXPECT_EQ(surface.Map(all, rgbw), (std::vector<std::string>{"........", ".BBBBBB.", ".BBBBBB.", ".BB..BB.",
                                                                ".BBBBBB.", ".BBBBBB.", "........"}));
    // Wider than the rectangle: the whole rectangle, nothing outside it.
    surface.Clear(clWhite);
    canvas->FrameRect(TRect{2, 2, 5, 4}, clLime, false, kvAllBorders, 10);
    EXPECT_EQ(surface.Map(all, rgbw), (std::vector<std::string>{"........", "........", "..GGG...", "..GGG...",
                                                                "........", "........", "........"}));
    surface.Clear(clWhite);
    canvas->FrameRect(TRect{2, 2, 5, 4}, clLime, false, kvAllBorders, INT32_MAX);
    canvas->FrameRect(TRect{2, 2, 5, 4}, clRed, false, kvAllBorders, -3);
    EXPECT_EQ(surface.Map(all, rgbw), (std::vector<std::string>{"........", "........", "..GGG...", "..GGG...",
                                                                "........", "........", "........"}));
    // Chosen borders, the brush's own colour for clDefault, nothing for an empty rectangle.
    surface.Clear(clWhite);
    canvas->SetBrushColor(clRed);
    canvas->FrameRect(TRect{1, 1, 5, 5}, clDefault, false, TkvBorders{bLeft, bBottom});
    canvas->FrameRect(TRect{6, 6, 6, 7}, clBlue);
    EXPECT_EQ(surface.Map(all, rgbw), (std::vector<std::string>{"........", ".R......", ".R......", ".R......",
                                                                ".RRRR...", "........", "........"}));
}

TEST(KvGraphicsFrames, TwoColourFramesAndEdges) {
    Surface surface(6, 5);
    TkvCanvas *canvas = surface.Canvas();
    const TRect all{0, 0, 6, 5};
    canvas->DrawTwoColorFrame(TRect{0, 0, 6, 5}, clRed, clBlue, kvAllBorders, 2);
    EXPECT_EQ(surface.Map(all, rgbw),
              (std::vector<std::string>{"RRRRBB", "RRRRBB", "RR..BB", "BBBBBB", "BBBBBB"}));
    surface.Clear(clWhite);
    canvas->DrawTwoColorFrame(TRect{0, 0, 6, 5}, clRed, clBlue, TkvBorders{bTop, bRight});
    EXPECT_EQ(surface.Map(all, rgbw),
              (std::vector<std::string>{"RRRRRB", ".....B", ".....B", ".....B", ".....B"}));

    struct Case {
        bool sunken;
        bool outer;
        int leftTop;
        int rightBottom;
    };
    const Case cases[] = {{false, true, COLOR_3DLIGHT, COLOR_3DDKSHADOW},
                          {false, false, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW},
                          {true, true, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT},
                          {true, false, COLOR_3DDKSHADOW, COLOR_3DLIGHT}};
    for (const Case &edge : cases) {
        SCOPED_TRACE(testing::Message() << "sunken " << edge.sunken << " outer " << edge.outer);
        surface.Clear(clFuchsia);
        canvas->DrawEdge(TRect{1, 1, 5, 5}, edge.sunken, edge.outer);
        TColor first = sysColor(edge.leftTop);
        TColor second = sysColor(edge.rightBottom);
        EXPECT_EQ(surface.Pixel(1, 1), first);
        EXPECT_EQ(surface.Pixel(1, 3), first);
        EXPECT_EQ(surface.Pixel(3, 1), first);
        EXPECT_EQ(surface.Pixel(4, 1), second);
        EXPECT_EQ(surface.Pixel(4, 3), second);
        EXPECT_EQ(surface.Pixel(1, 4), second);
        EXPECT_EQ(surface.Pixel(2, 2), clFuchsia);
        EXPECT_EQ(surface.Pixel(0, 0), clFuchsia);
        EXPECT_EQ(surface.Pixel(5, 5 - 1), clFuchsia);
    }
}

TEST(KvGraphicsFrames, ExcludedBandsStayOutOfLaterFills) {
    Surface surface(8, 6);
    TkvCanvas *canvas = surface.Canvas();
    const TRect all{0, 0, 8, 6};
    canvas->FrameRect(TRect{1, 1, 7, 5}, clRed, true);
    canvas->SetBrushColor(clBlue);
    canvas->FillRect(all);
    EXPECT_EQ(surface.Map(all, rgbw),
              (std::vector<std::string>{"BBBBBBBB", "BRRRRRRB", "BRBBBBRB", "BRBBBBRB", "BRRRRRRB", "BBBBBBBB"}));

    surface.Clear(clWhite);
    canvas->SetBrushColor(clLime);
    canvas->FillRect(TRect{0, 0, 2, 6}, nullptr, true);
    canvas->FillRect(TRect{}, nullptr, true);
    TkvPaintParams params{nullptr, clRed, nullptr, clBlack};
    canvas->FrameAndFillRect(TRect{0, 0, 8, 6}, params, false, 1, clBlue);
    EXPECT_EQ(surface.Map(all, rgbw),
              (std::vector<std::string>{"GGBBBBBB", "GGRRRRRB", "GGRRRRRB", "GGRRRRRB", "GGRRRRRB", "GGBBBBBB"}));

    surface.Clear(clWhite);
    canvas->InvertRect(TRect{0, 0, 2, 1});
    EXPECT_EQ(surface.Pixel(1, 0), clBlack);
    EXPECT_EQ(surface.Pixel(2, 0), clWhite);
    EXPECT_EQ(surface.Bitmap()->GetCanvas()->GetCopyMode(), cmSrcCopy);
}

// A 16x16 tile whose every pixel has its own colour.
TOwned<TBitmap> makeTile() {
    TOwned<TBitmap> tile(New<TBitmap>());
    tile->SetSize(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            tile->GetCanvas()->SetPixel(x, y, static_cast<TColor>(RGB(x * 16 + 3, y * 16 + 5, 77)));
    return tile;
}

TColor tileColor(int x, int y) {
    int tx = ((x % 16) + 16) % 16;
    int ty = ((y % 16) + 16) % 16;
    return static_cast<TColor>(RGB(tx * 16 + 3, ty * 16 + 5, 77));
}

// Every pixel of the area is the tile's pixel at its position, or white outside the filled rectangles.
void expectTiled(const Surface &surface, const TRect &area, std::initializer_list<TRect> filled) {
    int wrong = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            POINT point{x, y};
            bool inside = std::any_of(filled.begin(), filled.end(), [&](const TRect &r) { return PtInRect(&r, point); });
            TColor expected = inside ? tileColor(x, y) : clWhite;
            if (surface.Pixel(x, y) != expected && ++wrong <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << surface.Pixel(x, y)
                              << " not " << expected;
        }
    EXPECT_EQ(wrong, 0);
}

TEST(KvGraphicsFills, PlainAndTiledFillsLineUpAtPositiveOrigins) {
    Surface surface(70, 40);
    TkvCanvas *canvas = surface.Canvas();
    canvas->SetBrushColor(clRed);
    canvas->FillRect(TRect{1, 1, 3, 2});
    EXPECT_EQ(surface.Pixel(2, 1), clRed);
    EXPECT_EQ(surface.Pixel(3, 1), clWhite);
    surface.Clear(clWhite);

    auto tile = makeTile();
    // Columns 0..2 and rows 0..1 of tiles; the neighbour continues the pattern.
    canvas->FillRect(TRect{5, 5, 40, 20}, tile.get());
    canvas->FillRect(TRect{40, 5, 64, 32}, tile.get());
    expectTiled(surface, TRect{0, 0, 70, 40}, {TRect{5, 5, 40, 20}, TRect{40, 5, 64, 32}});

    // An empty bitmap fills with the brush; exclusion also holds for tiles.
    TOwned<TBitmap> empty(New<TBitmap>());
    canvas->FillRect(TRect{0, 36, 2, 37}, empty.get());
    EXPECT_EQ(surface.Pixel(1, 36), clRed);
    canvas->FillRect(TRect{0, 0, 4, 4}, tile.get(), true);
    canvas->FillRect(TRect{0, 0, 70, 40});
    EXPECT_EQ(surface.Pixel(3, 3), tileColor(3, 3));
    EXPECT_EQ(surface.Pixel(4, 3), clRed);
}

TEST(KvGraphicsFills, TiledFillsLeaveNoStripAtNegativeCoordinates) {
    Surface surface(80, 60);
    TkvCanvas *canvas = surface.Canvas();
    auto tile = makeTile();
    // Logical (-40, -30) is the bitmap's top-left pixel.
    SetWindowOrgEx(surface.Handle(), -40, -30, nullptr);
    canvas->FillRect(TRect{-37, -29, -3, -2}, tile.get());
    canvas->FillRect(TRect{-3, -29, 20, -2}, tile.get());
    canvas->FillRect(TRect{-40, -2, -16, 16}, tile.get());
    expectTiled(surface, TRect{-40, -30, 40, 30},
                {TRect{-37, -29, -3, -2}, TRect{-3, -29, 20, -2}, TRect{-40, -2, -16, 16}});
}

TEST(KvGraphicsFills, ASmallTileOverAHugeRectangleOnlyPaintsWhatShows) {
    Surface surface(20, 10);
    TOwned<TBitmap> dot(New<TBitmap>());
    dot->SetSize(1, 1);
    dot->GetCanvas()->SetPixel(0, 0, clBlue);
    surface.Canvas()->SetClipRegion(TkvRegion::CreateFromBounds(0, 0, 15, 10), rgnopCopy);
    surface.Canvas()->FillRect(TRect{-100000000, -100000000, 100000000, 100000000}, dot.get());
    EXPECT_RECT(surface.Bounds(TRect{0, 0, 20, 10}, clBlue), 0, 0, 15, 10);
    EXPECT_EQ(surface.Pixel(15, 0), clWhite);
}

// --- clip regions

TEST(KvGraphicsClip, AContextWithoutClipGivesTheLargeRectangleMovedByTheOrigin) {
    Surface surface(10, 10);
    TkvCanvas *canvas = surface.Canvas();
    TOwned<TkvRegion> region(canvas->GetClipRegion());
    EXPECT_RECT(regionBox(region->Handle()), 0, 0, 30000, 30000);

    SetViewportOrgEx(surface.Handle(), 10, 5, nullptr);
    SetWindowOrgEx(surface.Handle(), 3, 4, nullptr);
    EXPECT_EQ(canvas->GetDCOrigin().x, 7);
    EXPECT_EQ(canvas->GetDCOrigin().y, 1);
    region.reset(canvas->GetClipRegion(true));
    EXPECT_RECT(regionBox(region->Handle()), -7, -1, 29993, 29999);
    region.reset(canvas->GetClipRegion(false));
    EXPECT_RECT(regionBox(region->Handle()), 0, 0, 30000, 30000);
}

TEST(KvGraphicsClip, SetClipRegionWithEachOperation) {
    Surface surface(8, 8);
    TkvCanvas *canvas = surface.Canvas();
    const TRect all{0, 0, 8, 8};
    auto paintAll = [&] {
        canvas->SetBrushColor(clRed);
        canvas->FillRect(TRect{-50, -50, 50, 50});
    };

    canvas->SetClipRegion(TkvRegion::CreateFromBounds(1, 1, 3, 3), rgnopCopy);
    canvas->SetClipRegion(TkvRegion::CreateFromBounds(5, 5, 7, 6), rgnopOr);
    paintAll();
    EXPECT_EQ(surface.Map(all, rgbw), (std::vector<std::string>{"........", ".RR.....", ".RR.....", "........",
                                                                "........", ".....RR.", "........", "........"}));

    surface.Clear(clWhite);
    canvas->SetClipRegion(TkvRegion::CreateFromBounds(0, 0, 4, 4), rgnopCopy);
    canvas->SetClipRegion(TkvRegion::CreateFromBounds(2, 2, 6, 6), rgnopAnd);
    paintAll();
    EXPECT_EQ(surface.Bounds(all, clRed).left, 2);
    EXPECT_RECT(surface.Bounds(all, clRed), 2, 2, 4, 4);

    surface.Clear(clWhite);
    canvas->SetClipRegion(TkvRegion::CreateFromBounds(2, 2, 6, 6), rgnopDiff);
    paintAll();
    EXPECT_EQ(surface.Pixel(2, 2), clWhite);
    EXPECT_EQ(surface.Pixel(5, 5), clWhite);
    EXPECT_EQ(surface.Pixel(1, 2), clRed);
    EXPECT_EQ(surface.Pixel(6, 6), clRed);
    TOwned<TkvRegion> clip(canvas->GetClipRegion());
    TOwned<TkvRegion> expected(TkvRegion::CreateFromBounds(0, 0, 30000, 30000));
    expected->Combine(TkvRegion::CreateFromBounds(2, 2, 6, 6), rgnopDiff);
    EXPECT_TRUE(clip->IsEqual(expected.get()));
}

TEST(KvGraphicsClip, OriginsMoveRegionsBetweenLogicalAndDeviceCoordinates) {
    Surface surface(8, 4);
    TkvCanvas *canvas = surface.Canvas();
    const TRect all{0, 0, 8, 4};
    SetViewportOrgEx(surface.Handle(), 4, 0, nullptr);

    // With the origin: logical (0, 0, 2, 2) is device (4, 0, 6, 2); the region comes back whole.
    TOwned<TkvRegion> region(TkvRegion::CreateFromBounds(0, 0, 2, 2));
    canvas->SetClipRegion(region.get(), rgnopCopy, true, false);
    EXPECT_RECT(regionBox(region->Handle()), 0, 0, 2, 2);
    canvas->SetBrushColor(clRed);
    canvas->FillRect(TRect{-10, -10, 10, 10});
    EXPECT_EQ(surface.Map(all, rgbw), (std::vector<std::string>{"....RR..", "....RR..", "........", "........"}));
    TOwned<TkvRegion> clip(canvas->GetClipRegion(true));
    EXPECT_TRUE(clip->IsEqual(region.get()));

    // Without: the region is taken as device coordinates.
    surface.Clear(clWhite);
    canvas->SetClipRegion(region.get(), rgnopCopy, false, false);
    canvas->SetBrushColor(clBlue);
    canvas->FillRect(TRect{-10, -10, 10, 10});
    EXPECT_EQ(surface.Map(all, rgbw), (std::vector<std::string>{"BB......", "BB......", "........", "........"}));

    // Combining with the origin works in logical coordinates too.
    surface.Clear(clWhite);
    canvas->SetClipRegion(TkvRegion::CreateFromBounds(-4, 0, 4, 4), rgnopCopy);
    canvas->SetClipRegion(TkvRegion::CreateFromBounds(-2, 1, 2, 3), rgnopDiff);
    canvas->ExcludeClipRect(TRect{3, 0, 4, 4});
    canvas->SetBrushColor(clLime);
    canvas->FillRect(TRect{-10, -10, 10, 10});
    EXPECT_EQ(surface.Map(all, rgbw), (std::vector<std::string>{"GGGGGGG.", "GG....G.", "GG....G.", "GGGGGGG."}));
    canvas->IntersectClipRect(TRect{-4, 0, -3, 1});
    canvas->SetBrushColor(clRed);
    canvas->FillRect(TRect{-10, -10, 10, 10});
    EXPECT_EQ(surface.DevicePixel(0, 0), clRed);
    EXPECT_EQ(surface.DevicePixel(1, 0), clLime);
}

// --- text

class KvGraphicsText : public testing::Test {
protected:
    void SetUp() override {
        surface_ = std::make_unique<Surface>(120, 60, clAqua);
        canvas_ = surface_->Canvas();
        canvas_->GetFont()->SetColor(clBlack);
        canvas_->GetBrush()->SetStyle(bsClear);
        lineHeight_ = canvas_->TextHeight(L"Qq");
    }

    TRect ink(TColor color) const { return surface_->Bounds(TRect{0, 0, 120, 60}, color); }

    std::unique_ptr<Surface> surface_;
    TkvCanvas *canvas_ = nullptr;
    int lineHeight_ = 0;
};

TEST_F(KvGraphicsText, DisabledTextIsAHighlightCopyShiftedRightAndDownUnderTheShadow) {
    TColor highlight = sysColor(COLOR_BTNHIGHLIGHT);
    TColor shadow = sysColor(COLOR_BTNSHADOW);
    ASSERT_NE(highlight, shadow);
    canvas_->DrawText(L"Hill", TRect{10, 10, 100, 40}, tfLeft | tfTop | tfSingleLine);
    TRect enabled = ink(clBlack);
    ASSERT_GT(enabled.right, enabled.left);

    surface_->Clear(clAqua);
    canvas_->DrawText(L"Hill", TRect{10, 10, 100, 40}, tfLeft | tfTop | tfSingleLine, false);
    TRect shadowInk = ink(shadow);
    TRect highlightInk = ink(highlight);
    EXPECT_TRUE(sameRect(shadowInk, enabled));
    EXPECT_EQ(highlightInk.right, shadowInk.right + 1);
    EXPECT_EQ(highlightInk.bottom, shadowInk.bottom + 1);
    EXPECT_EQ(ink(clBlack).right, 0);
    // Font colour and brush style come back.
    EXPECT_EQ(canvas_->GetFont()->GetColor(), clBlack);
    EXPECT_EQ(canvas_->GetBrush()->GetStyle(), bsClear);
}

TEST_F(KvGraphicsText, DisabledRightAlignedTextSitsOnePixelFurtherLeft) {
    TColor highlight = sysColor(COLOR_BTNHIGHLIGHT);
    TColor shadow = sysColor(COLOR_BTNSHADOW);
    const TRect rect{10, 10, 100, 40};
    // Through ExtTextOut (single line) and through DrawText (multi-line).
    for (TkvTextFlags path : {TkvTextFlags(tfSingleLine), TkvTextFlags(0)}) {
        SCOPED_TRACE(path);
        surface_->Clear(clAqua);
        canvas_->DrawText(L"Hill", rect, tfRight | tfTop | path);
        TRect enabled = ink(clBlack);
        surface_->Clear(clAqua);
        canvas_->DrawText(L"Hill", rect, tfRight | tfTop | path, false);
        if (path == tfSingleLine) {
            EXPECT_EQ(ink(shadow).right, enabled.right - 1);
            EXPECT_EQ(ink(highlight).right, enabled.right);
        } else {
            // DrawText right-aligns in the rectangle itself: only the highlight copy moves.
            EXPECT_EQ(ink(shadow).right, enabled.right);
            EXPECT_EQ(ink(highlight).right, enabled.right + 1);
        }
    }
}

TEST_F(KvGraphicsText, FittingTextIsUnclippedAndLongTextIsClipped) {
    // A line break makes the DrawText path; the one-line extent fits, so the second line
    // shows below the rectangle.
    const TRect rect{10, 10, 100, 10 + lineHeight_ + lineHeight_ / 2};
    canvas_->DrawText(L"Hill\nHill", rect, tfLeft | tfTop);
    EXPECT_GT(ink(clBlack).bottom, rect.bottom);

    surface_->Clear(clAqua);
    const TRect narrow{10, 10, 20, 10 + lineHeight_ + lineHeight_ / 2};
    canvas_->DrawText(L"Hill\nHill", narrow, tfLeft | tfTop);
    TRect clipped = ink(clBlack);
    EXPECT_LE(clipped.bottom, narrow.bottom);
    EXPECT_LE(clipped.right, narrow.right);

    surface_->Clear(clAqua);
    const TRect line{10, 10, 30, 40};
    canvas_->DrawText(L"WWWWWWWWWW", line, tfLeft | tfTop | tfSingleLine);
    TRect longInk = ink(clBlack);
    EXPECT_GT(longInk.right, longInk.left);
    EXPECT_LE(longInk.right, line.right);
    canvas_->DrawText(L"", line, tfLeft);
    EXPECT_TRUE(sameRect(ink(clBlack), longInk));
}

TEST_F(KvGraphicsText, VerticalPlacementOnBothPaths) {
    const TRect top{10, 0, 110, 50};
    canvas_->DrawText(L"Hill", top, tfLeft | tfTop | tfSingleLine);
    TRect reference = ink(clBlack);

    struct Case {
        TkvTextFlags flags;
        int shift;
    };
    const Case cases[] = {
        {tfLeft | tfBottom | tfSingleLine, 50 - lineHeight_},
        {tfLeft | tfCenterV | tfSingleLine, (50 - lineHeight_) / 2},
        {tfLeft | tfBottom | tfWordBreak, 50 - 2 * lineHeight_},
        {tfLeft | tfCenterV | tfWordBreak, (50 - 2 * lineHeight_) / 2},
    };
    for (const Case &placement : cases) {
        SCOPED_TRACE(placement.flags);
        surface_->Clear(clAqua);
        bool twoLines = (placement.flags & tfSingleLine) == 0;
        canvas_->DrawText(twoLines ? L"Hill\nHill" : L"Hill", top, placement.flags);
        EXPECT_EQ(ink(clBlack).top, reference.top + placement.shift);
    }
}

TEST_F(KvGraphicsText, CalcTextRectAlignsInsideTheRectangle) {
    TSize extent = canvas_->TextExtent(L"Hello");
    EXPECT_EQ(canvas_->TextExtent(L"").cx, 0);
    EXPECT_EQ(canvas_->TextExtent(L"").cy, 0);
    auto calc = [&](TkvTextFlags flags) {
        TRect rect{10, 10, 110, 60};
        canvas_->CalcTextRect(L"Hello", rect, flags);
        return rect;
    };
    EXPECT_RECT(calc(tfLeft | tfTop), 10, 10, 10 + extent.cx, 10 + extent.cy);
    EXPECT_RECT(calc(tfRight | tfTop), 110 - extent.cx, 10, 110, 10 + extent.cy);
    int left = 10 + (100 - extent.cx) / 2;
    int top = 10 + (50 - extent.cy) / 2;
    EXPECT_RECT(calc(tfCenterH | tfCenterV), left, top, left + extent.cx, top + extent.cy);
    EXPECT_RECT(calc(tfLeft | tfBottom), 10, 60 - extent.cy, 10 + extent.cx, 60);

    TRect twoLines{0, 0, 200, 0};
    canvas_->CalcTextRect(L"Hello\nHello", twoLines, tfLeft | tfTop | tfWordBreak);
    EXPECT_EQ(twoLines.bottom - twoLines.top, 2 * extent.cy);
    EXPECT_EQ(canvas_->FontHeight(canvas_->GetFont()), lineHeight_);
}

// --- rotation

TEST(KvGraphicsRotation, EveryRotationWithAndWithoutFlip) {
    const int width = 3;
    const int height = 2;
    auto source = [](int x, int y) { return static_cast<TColor>(RGB(10 + x * 40, 20 + y * 60, 1 + x + 3 * y)); };
    struct Case {
        TkvRotationAngle rotation;
        bool flip;
        // Where the source pixel goes.
        POINT (*place)(int x, int y);
    };
    const Case cases[] = {
        {raNone, false, [](int x, int y) { return POINT{x, y}; }},
        {raNone, true, [](int x, int y) { return POINT{x, height - 1 - y}; }},
        {raPlus90, false, [](int x, int y) { return POINT{y, width - 1 - x}; }},
        {raPlus90, true, [](int x, int y) { return POINT{y, x}; }},
        {raMinus90, false, [](int x, int y) { return POINT{height - 1 - y, x}; }},
        {raMinus90, true, [](int x, int y) { return POINT{height - 1 - y, width - 1 - x}; }},
        {ra180, false, [](int x, int y) { return POINT{width - 1 - x, height - 1 - y}; }},
        {ra180, true, [](int x, int y) { return POINT{width - 1 - x, y}; }},
    };
    for (const Case &turn : cases) {
        SCOPED_TRACE(testing::Message() << "rotation " << int(turn.rotation) << " flip " << turn.flip);
        Surface surface(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                surface.Bitmap()->GetCanvas()->SetPixel(x, y, source(x, y));
        surface.Canvas()->RotateBitmap(surface.Bitmap(), turn.rotation, turn.flip);
        bool turned = turn.rotation == raPlus90 || turn.rotation == raMinus90;
        ASSERT_EQ(surface.Bitmap()->GetWidth(), turned ? height : width);
        ASSERT_EQ(surface.Bitmap()->GetHeight(), turned ? width : height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                POINT to = turn.place(x, y);
                EXPECT_EQ(surface.Bitmap()->GetCanvas()->GetPixel(to.x, to.y), source(x, y)) << x << "," << y;
            }
    }
    // A quarter turn counter-clockwise brings the top-right pixel to the top-left corner.
    Surface surface(width, height);
    surface.Bitmap()->GetCanvas()->SetPixel(width - 1, 0, clRed);
    surface.Canvas()->RotateBitmap(surface.Bitmap(), raPlus90);
    EXPECT_EQ(surface.Pixel(0, 0), clRed);
    TOwned<TBitmap> empty(New<TBitmap>());
    surface.Canvas()->RotateBitmap(empty.get(), raPlus90, true);
    EXPECT_TRUE(empty->Empty());
}

TEST(KvGraphicsScreen, ScreenCanvasesDrawOnTheScreenContext) {
    TOwned<TkvScreenCanvas> screen(New<TkvScreenCanvas>());
    EXPECT_FALSE(screen->Canvas()->HandleAllocated());
    EXPECT_NE(screen->GetHandle(), nullptr);
    EXPECT_GT(screen->TextWidth(L"Hill"), 0);
    TOwned<TkvRegion> clip(screen->GetClipRegion(false));
    EXPECT_FALSE(clip->IsEmpty());
}

} // namespace
