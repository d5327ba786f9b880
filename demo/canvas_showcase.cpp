#include "canvas_showcase.h"

#include <kvGraphics.h>

#include <classlib/object.h>

namespace {

// A 16x16 tile of four coloured quarters with a dark corner pixel, so that a misplaced tile shows.
TOwned<TBitmap> makeTile() {
    TOwned<TBitmap> tile(New<TBitmap>());
    tile->SetSize(16, 16);
    TCanvas *c = tile->GetCanvas();
    const TColor quarters[4] = {clRed, clLime, clBlue, clYellow};
    for (int q = 0; q < 4; ++q) {
        c->GetBrush()->SetColor(quarters[q]);
        c->FillRect(TRect{(q % 2) * 8, (q / 2) * 8, (q % 2) * 8 + 8, (q / 2) * 8 + 8});
    }
    c->SetPixel(0, 0, clBlack);
    return tile;
}

// A small arrow pointing right with a marked corner, whose turns and mirrors are all distinct.
TOwned<TBitmap> makeArrow() {
    TOwned<TBitmap> arrow(New<TBitmap>());
    arrow->SetSize(20, 12);
    TCanvas *c = arrow->GetCanvas();
    c->GetBrush()->SetColor(clWhite);
    c->FillRect(TRect{0, 0, 20, 12});
    c->GetBrush()->SetColor(clNavy);
    c->FillRect(TRect{2, 5, 14, 7});
    const TPoint head[3] = {{13, 1}, {19, 6}, {13, 11}};
    c->GetPen()->SetColor(clNavy);
    c->Polygon(head, 3);
    c->GetBrush()->SetColor(clRed);
    c->FillRect(TRect{0, 0, 3, 3});
    return arrow;
}

// Text is drawn over what is there: a clear brush (setting a brush colour makes it solid again).
void clearBackground(TkvCanvas *kv) { kv->GetBrush()->SetStyle(bsClear); }

void caption(TkvCanvas *kv, int x, int y, const wchar_t *text) {
    clearBackground(kv);
    kv->Canvas()->GetFont()->SetColor(clBlack);
    kv->DrawText(text, TRect{x, y, x + 200, y + 14}, tfLeft | tfTop | tfSingleLine);
}

void paintFrames(TkvCanvas *kv) {
    caption(kv, 8, 4, L"Frames 1, 2, 3 and wider than the box");
    const TColor colors[3] = {clRed, clGreen, clBlue};
    for (int w = 1; w <= 3; ++w) {
        const int x = 8 + (w - 1) * 36;
        kv->FrameRect(TRect{x, 20, x + 30, 50}, colors[w - 1], false, kvAllBorders, w);
    }
    kv->FrameRect(TRect{116, 20, 126, 50}, clPurple, false, kvAllBorders, 20);
    kv->FrameRect(TRect{134, 20, 164, 50}, clTeal, false, TkvBorders{bLeft, bTop}, 3);
    kv->DrawTwoColorFrame(TRect{172, 20, 202, 50}, clMaroon, clOlive, kvAllBorders, 2);
}

void paintEdges(TkvCanvas *kv) {
    caption(kv, 220, 4, L"Edges: raised, sunken, outer, inner");
    int x = 220;
    for (bool sunken : {false, true}) {
        for (bool outer : {true, false}) {
            const TRect r{x, 20, x + 44, 50};
            kv->SetBrushColor(clBtnFace);
            kv->FillRect(r);
            kv->DrawEdge(r, sunken, outer);
            x += 52;
        }
    }
}

void paintTiles(TkvCanvas *kv, TBitmap *tile) {
    caption(kv, 8, 60, L"Tiled fills that line up");
    kv->FillRect(TRect{8, 76, 61, 118}, tile);
    kv->FillRect(TRect{61, 76, 130, 118}, tile);
    // The same fill seen through a window origin that puts the rectangle at negative coordinates.
    HDC dc = kv->GetHandle();
    POINT old;
    SetWindowOrgEx(dc, -150, -90, &old);
    kv->FillRect(TRect{-12, -14, 40, 28}, tile);
    SetWindowOrgEx(dc, old.x, old.y, nullptr);
    kv->FrameRect(TRect{138, 76, 190, 118}, clBlack);
}

void paintText(TkvCanvas *kv) {
    caption(kv, 220, 60, L"Text");
    TCanvas *c = kv->Canvas();
    const TRect box{220, 76, 420, 150};
    kv->FrameRect(box, clGray);
    clearBackground(kv);
    c->GetFont()->SetColor(clBlack);
    kv->DrawText(L"Left", TRect{224, 80, 416, 94}, tfLeft | tfSingleLine);
    kv->DrawText(L"Centred", TRect{224, 80, 416, 94}, tfCenterH | tfSingleLine);
    kv->DrawText(L"Right", TRect{224, 80, 416, 94}, tfRight | tfSingleLine);
    kv->DrawText(L"Disabled text", TRect{224, 98, 416, 112}, tfLeft | tfSingleLine, false);
    kv->DrawText(L"Disabled, right", TRect{224, 98, 416, 112}, tfRight | tfSingleLine, false);
    kv->DrawText(L"A long line that does not fit ends in an ellipsis", TRect{224, 116, 416, 130},
                 tfLeft | tfSingleLine | tfEndEllipsis);
    kv->DrawText(L"&Prefix shown", TRect{224, 132, 416, 146}, tfLeft | tfSingleLine | tfShowPrefix);
}

void paintClipping(TkvCanvas *kv) {
    caption(kv, 8, 128, L"Clip regions");
    // A fill that the clip region punches two holes into, one by rectangle, one by region.
    TkvRegion *saved = kv->GetClipRegion();
    kv->ExcludeClipRect(TRect{24, 156, 44, 176});
    kv->SetClipRegion(TkvRegion::CreateFromBounds(64, 156, 84, 176), rgnopDiff);
    kv->SetBrushColor(clTeal);
    kv->FillRect(TRect{8, 144, 130, 188});
    kv->SetClipRegion(saved, rgnopCopy);
    // Only the intersection of two regions is painted.
    TkvRegion *band = TkvRegion::CreateFromBounds(140, 144, 200, 188);
    band->Combine(TkvRegion::CreateFromBounds(160, 130, 180, 200), rgnopAnd);
    saved = kv->GetClipRegion();
    kv->SetClipRegion(band, rgnopAnd);
    kv->SetBrushColor(clFuchsia);
    kv->FillRect(TRect{136, 140, 206, 192});
    kv->SetClipRegion(saved, rgnopCopy);
    kv->FrameRect(TRect{140, 144, 200, 188}, clBlack);
}

void paintRotations(TkvCanvas *kv) {
    caption(kv, 220, 160, L"Bitmap turns, then mirrored");
    const TkvRotationAngle turns[4] = {raNone, raPlus90, raMinus90, ra180};
    for (int flip = 0; flip < 2; ++flip) {
        for (int i = 0; i < 4; ++i) {
            TOwned<TBitmap> arrow = makeArrow();
            kv->RotateBitmap(arrow.get(), turns[i], flip != 0);
            kv->Draw(220 + i * 30, 178 + flip * 30, arrow.get());
        }
    }
}

void paintFocusAndInvert(TkvCanvas *kv) {
    caption(kv, 8, 200, L"Focus, inverted band, frame and fill");
    kv->DrawFocusRect(TRect{8, 216, 60, 240});
    kv->SetBrushColor(clWhite);
    kv->FillRect(TRect{70, 216, 130, 240});
    kv->SetBrushColor(clBlue);
    kv->FillRect(TRect{70, 216, 100, 240});
    kv->InvertRect(TRect{85, 220, 125, 236});
    TkvPaintParams params{nullptr, clYellow, kv->GetFont(), clBlack};
    kv->FrameAndFillRect(TRect{140, 216, 200, 240}, params, false, 2, clMaroon);
}

} // namespace

void PaintCanvasShowcase(TCanvas *canvas) {
    TOwned<TkvCanvas> kv(New<TkvCanvas>(canvas));
    canvas->GetFont()->SetName(L"Tahoma");
    canvas->GetFont()->SetHeight(-11);
    kv->SetBrushColor(clWhite);
    kv->FillRect(TRect{0, 0, showcaseWidth, showcaseHeight});
    TOwned<TBitmap> tile = makeTile();
    paintFrames(kv.get());
    paintEdges(kv.get());
    paintTiles(kv.get(), tile.get());
    paintText(kv.get());
    paintClipping(kv.get());
    paintRotations(kv.get());
    paintFocusAndInvert(kv.get());
}
