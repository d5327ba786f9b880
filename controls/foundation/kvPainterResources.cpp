// kvPainterResources: what the painters share, and the unit that holds it.
#include <algorithm>
#include <cstdint>
#include <vector>

#include <classlib/exceptions.h>

#include "kvLookAndFeelPainters.h"
#include "kvLookAndFeelPaintersInternal.h"
#include "kvSystemPalette.h"
#include "ztOffice11.h"

using namespace kvpainters;

namespace {

constexpr int checkerSize = 8;
constexpr const wchar_t *indicatorResources[] = {L"KV_ARROWBITMAP", L"KV_EDITBITMAP", L"KV_INSERTBITMAP",
                                                 L"KV_MULTIDOTBITMAP", L"KV_MULTIARROWBITMAP"};

constinit TCustomImageList *indicatorList = nullptr;
constinit TBitmap *checkerBitmaps[2] = {nullptr, nullptr};
constinit TBitmap *autoHideBitmaps[2] = {nullptr, nullptr};
constinit TkvSystemPaletteChangedNotifier *paletteNotifier = nullptr;
constinit TkvRadioButtonImageList *radioGlyphList = nullptr;

// Measured once per process: the system's radio size does not change while it runs.
constinit bool geometryMeasured = false;
TkvRadioGlyphGeometry geometry;
std::vector<std::uint8_t> pattern;

HINSTANCE resourceModule() { return GetModuleHandleW(nullptr); }

void systemPaletteChanged() {
    PaintScrollBarPatternBitmaps();
    if (radioGlyphList != nullptr)
        radioGlyphList->RebuildGlyphs();
}

void startPainters() {
    LoadIndicatorBitmaps();
    CreateScrollBarPatternBitmaps();
    PaintScrollBarPatternBitmaps();
    LoadPainterBitmaps();
    paletteNotifier = New<TkvSystemPaletteChangedNotifier>(true);
    paletteNotifier->OnSystemPaletteChanged = systemPaletteChanged;
}

void stopPainters() {
    FreeAndNil(paletteNotifier);
    for (TBitmap *&bitmap : autoHideBitmaps)
        FreeAndNil(bitmap);
    for (TBitmap *&bitmap : checkerBitmaps)
        FreeAndNil(bitmap);
    FreeIndicatorList();
    FreeAndNil(radioGlyphList);
    pattern.clear();
    pattern.shrink_to_fit();
    geometryMeasured = false;
}

// --- measuring the system's radio button

// The pixels of a picture drawn by the system into a cell of the given size over black.
std::vector<COLORREF> drawSystemPicture(int w, int h, UINT state) {
    std::vector<COLORREF> pixels(static_cast<size_t>(w) * h, 0);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    BITMAPINFO info = TopDownDIBInfo(w, h);
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dc != nullptr && bitmap != nullptr && bits != nullptr) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        std::fill_n(static_cast<std::uint32_t *>(bits), pixels.size(), 0u);
        RECT r{0, 0, w, h};
        DrawFrameControl(dc, &r, DFC_BUTTON, state);
        GdiFlush();
        const auto *source = static_cast<const std::uint32_t *>(bits);
        for (size_t i = 0; i < pixels.size(); ++i) {
            std::uint32_t p = source[i];
            pixels[i] = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
        }
        SelectObject(dc, old);
    }
    if (bitmap != nullptr)
        DeleteObject(bitmap);
    if (dc != nullptr)
        DeleteDC(dc);
    return pixels;
}

void measureGeometry() {
    if (geometryMeasured)
        return;
    geometryMeasured = true;
    constexpr int fallbackSize = 13;
    int cellWidth = 0;
    int cellHeight = 0;
    HBITMAP checkBoxes = LoadBitmapW(nullptr, MAKEINTRESOURCEW(32759)); // OBM_CHECKBOXES
    if (checkBoxes != nullptr) {
        BITMAP info{};
        if (GetObjectW(checkBoxes, sizeof info, &info) != 0) {
            cellWidth = info.bmWidth / 4;
            cellHeight = info.bmHeight / 3;
        }
        DeleteObject(checkBoxes);
    }
    if (cellWidth <= 0 || cellHeight <= 0 || cellWidth > 64 || cellHeight > 64)
        cellWidth = cellHeight = fallbackSize;

    std::vector<COLORREF> mask = drawSystemPicture(cellWidth, cellHeight, DFCS_BUTTONRADIOMASK | DFCS_FLAT);
    int left = cellWidth;
    int top = cellHeight;
    int right = -1;
    int bottom = -1;
    for (int y = 0; y < cellHeight; ++y)
        for (int x = 0; x < cellWidth; ++x)
            if (mask[static_cast<size_t>(y) * cellWidth + x] == RGB(0, 0, 0)) {
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x);
                bottom = std::max(bottom, y);
            }
    if (right < left || right - left + 1 < 5 || bottom - top + 1 < 5) {
        left = top = 0;
        right = std::min(cellWidth, fallbackSize) - 1;
        bottom = std::min(cellHeight, fallbackSize) - 1;
    }
    geometry.Origin = TPoint{left, top};
    geometry.GlyphSize = TSize{right - left + 1, bottom - top + 1};

    // The check dot: the window-text pixels around the glyph's centre.
    std::vector<COLORREF> checked = drawSystemPicture(cellWidth, cellHeight, DFCS_BUTTONRADIO | DFCS_CHECKED | DFCS_FLAT);
    COLORREF dotColor = ColorToRGB(clWindowText);
    int cx = left + geometry.GlyphSize.cx / 2;
    int cy = top + geometry.GlyphSize.cy / 2;
    auto at = [&](int x, int y) { return checked[static_cast<size_t>(y) * cellWidth + x]; };
    TRect dot{cx, cy, cx + 1, cy + 1};
    if (at(cx, cy) == dotColor) {
        while (dot.left > left && at(dot.left - 1, cy) == dotColor)
            --dot.left;
        while (dot.right <= right && at(dot.right, cy) == dotColor)
            ++dot.right;
        while (dot.top > top && at(cx, dot.top - 1) == dotColor)
            --dot.top;
        while (dot.bottom <= bottom && at(cx, dot.bottom) == dotColor)
            ++dot.bottom;
    }
    // A dot as large as the glyph means the walk found no dot: a third of the glyph instead.
    if (width(dot) < 2 || width(dot) >= geometry.GlyphSize.cx - 2 || height(dot) >= geometry.GlyphSize.cy - 2) {
        int side = std::max<int>(2, geometry.GlyphSize.cx / 3);
        dot = TRect{cx - side / 2, cy - side / 2, cx - side / 2 + side, cy - side / 2 + side};
    }
    geometry.CheckDot = dot;
}

// --- the pattern

// Upper-left of the anti-diagonal: codes 1 and 3; lower-right, and the diagonal right of the
// centre: 2 and 4.
bool lowerRight(int x, int y, int w, int h) {
    std::int64_t side = std::int64_t{x} * (h - 1) + std::int64_t{y} * (w - 1);
    std::int64_t diagonal = std::int64_t{w - 1} * (h - 1);
    if (side != diagonal)
        return side > diagonal;
    return 2 * x > w - 1;
}

// The black pixels of a rounded rectangle drawn on white, filled or outlined.
std::vector<bool> roundRectPixels(int w, int h, const TRect &r, bool filled) {
    std::vector<bool> ink(static_cast<size_t>(w) * h, false);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    BITMAPINFO info = TopDownDIBInfo(w, h);
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dc != nullptr && bitmap != nullptr && bits != nullptr) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        std::fill_n(static_cast<std::uint32_t *>(bits), ink.size(), 0xFFFFFFu);
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(filled ? BLACK_BRUSH : NULL_BRUSH));
        RoundRect(dc, r.left, r.top, r.right, r.bottom, r.right - r.left, r.bottom - r.top);
        GdiFlush();
        const auto *source = static_cast<const std::uint32_t *>(bits);
        for (size_t i = 0; i < ink.size(); ++i)
            ink[i] = (source[i] & 0xFFFFFF) == 0;
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        SelectObject(dc, old);
    }
    if (bitmap != nullptr)
        DeleteObject(bitmap);
    if (dc != nullptr)
        DeleteDC(dc);
    return ink;
}

void buildPattern() {
    if (!pattern.empty())
        return;
    const int w = geometry.GlyphSize.cx;
    const int h = geometry.GlyphSize.cy;
    pattern.assign(static_cast<size_t>(w) * h, 0);
    auto code = [&](int x, int y) -> std::uint8_t & { return pattern[static_cast<size_t>(y) * w + x]; };
    std::vector<bool> ring = roundRectPixels(w, h, TRect{0, 0, w, h}, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (ring[static_cast<size_t>(y) * w + x])
                code(x, y) = lowerRight(x, y, w, h) ? 2 : 1;
    const int cx = w / 2;
    const int cy = h / 2;
    // The body: from the centre column outwards until the ring.
    for (int y = 1; y < h - 1; ++y) {
        if (code(cx, y) != 0)
            continue;
        for (int x = cx; x >= 0 && code(x, y) == 0; --x)
            code(x, y) = 5;
        for (int x = cx + 1; x < w && code(x, y) == 0; ++x)
            code(x, y) = 5;
    }
    auto inner = [&](int x, int y) { code(x, y) = lowerRight(x, y, w, h) ? 4 : 3; };
    // The inner ring: the outermost body pixels of each row and each column.
    std::vector<std::pair<int, int>> edge;
    for (int y = 0; y < h; ++y) {
        int first = -1;
        int last = -1;
        for (int x = 0; x < w; ++x)
            if (code(x, y) == 5) {
                if (first < 0)
                    first = x;
                last = x;
            }
        if (first >= 0) {
            edge.emplace_back(first, y);
            edge.emplace_back(last, y);
        }
    }
    for (int x = 0; x < w; ++x) {
        int first = -1;
        int last = -1;
        for (int y = 0; y < h; ++y)
            if (code(x, y) == 5) {
                if (first < 0)
                    first = y;
                last = y;
            }
        if (first >= 0) {
            edge.emplace_back(x, first);
            edge.emplace_back(x, last);
        }
    }
    for (const auto &[x, y] : edge)
        inner(x, y);
    (void)cy;
    TRect dot = geometry.CheckDot;
    OffsetRect(&dot, -geometry.Origin.x, -geometry.Origin.y);
    std::vector<bool> dotInk = roundRectPixels(w, h, dot, true);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (dotInk[static_cast<size_t>(y) * w + x] && code(x, y) >= 3)
                code(x, y) = 6;
}

// --- the colours of one glyph

struct GlyphColors {
    TColor codes[7];
};

GlyphColors glyphColors(TkvLookAndFeelKind kind, TkvButtonState state, bool checked, bool highlight,
                        bool forcedHighlight) {
    GlyphColors c{};
    c.codes[0] = clBlack;
    TColor body;
    if (kind == lfOffice11)
        body = state == kvbsNormal ? clWindow : office11ButtonFaceColor(state);
    else if (state == kvbsDisabled)
        body = clBtnFace;
    else if (kind == lfUltraFlat)
        body = state == kvbsHot ? GetHotBlendColor() : state == kvbsPressed ? GetPressedBlendColor() : clWindow;
    else
        body = state == kvbsPressed ? clBtnFace : clWindow;
    bool lit = forcedHighlight || state == kvbsHot || state == kvbsPressed || (highlight && state != kvbsDisabled);
    switch (kind) {
    case lfFlat:
        c.codes[1] = clBtnShadow;
        c.codes[2] = clBtnHighlight;
        c.codes[3] = cl3DLight;
        c.codes[4] = cl3DLight;
        break;
    case lfStandard:
        c.codes[1] = clBtnShadow;
        c.codes[2] = clBtnHighlight;
        c.codes[3] = cl3DDkShadow;
        c.codes[4] = cl3DLight;
        break;
    case lfUltraFlat:
        c.codes[1] = c.codes[2] = lit ? clHighlight : clBtnShadow;
        c.codes[3] = c.codes[4] = body;
        break;
    case lfOffice11: {
        TColor ring = clBtnText;
        if (forcedHighlight || highlight || state == kvbsHot || state == kvbsPressed)
            ring = office11HighlightFrameColor();
        else if (state == kvbsDisabled)
            ring = office11DisabledColor();
        c.codes[1] = c.codes[2] = ring;
        c.codes[3] = c.codes[4] = body;
        break;
    }
    }
    c.codes[5] = body;
    if (!checked)
        c.codes[6] = body;
    else if (state == kvbsDisabled)
        c.codes[6] = kind == lfOffice11 ? office11DisabledColor() : clBtnShadow;
    else
        c.codes[6] = clWindowText;
    return c;
}

} // namespace

namespace kvpainters {

// The scheme colours exist while the palette listener holds them; before that the colours of
// the scheme-less look stand in.
namespace {
TColor schemeOr(int number, TColor fallback) {
    TColor color = Office11Color(number);
    return color == clNone ? fallback : color;
}
} // namespace

TColor office11ButtonFaceColor(std::uint8_t state) {
    switch (state) {
    case kvbsHot:
        return schemeOr(10, GetHotBlendColor());
    case kvbsPressed:
        return schemeOr(12, GetPressedBlendColor());
    case kvbsDisabled:
        return clBtnFace;
    default:
        return schemeOr(1, clBtnFace);
    }
}

TColor office11HighlightFrameColor() { return schemeOr(9, clHighlight); }
TColor office11DisabledColor() { return schemeOr(15, clGrayText); }

} // namespace kvpainters

constinit TUnit kvLookAndFeelPaintersUnit{L"kvLookAndFeelPainters", startPainters, stopPainters,
                                          {&kvGraphicsUnit, &ztOffice11Unit}};

void InitPainterUnit() { kvLookAndFeelPaintersUnit.Start(); }
void DonePainterUnit() { kvLookAndFeelPaintersUnit.Stop(); }

TCustomImageList *IndicatorImages() noexcept { return indicatorList; }
TBitmap *ScrollBarPatternBitmap(bool pressed) noexcept { return checkerBitmaps[pressed ? 1 : 0]; }
TBitmap *AutoHideBitmap(bool on) noexcept { return autoHideBitmaps[on ? 0 : 1]; }

void LoadIndicatorBitmaps() {
    FreeIndicatorList();
    TOwned<TBitmap> bitmap(New<TBitmap>());
    for (const wchar_t *name : indicatorResources) {
        bitmap->LoadFromResourceName(resourceModule(), name);
        if (indicatorList == nullptr) {
            indicatorList = New<TCustomImageList>(nullptr);
            indicatorList->SetWidth(bitmap->GetWidth());
            indicatorList->SetHeight(bitmap->GetHeight());
        }
        indicatorList->AddMasked(bitmap.get(), clWhite);
    }
}

void FreeIndicatorList() { FreeAndNil(indicatorList); }

void LoadPainterBitmaps() {
    static constexpr const wchar_t *names[2] = {L"KV_AUTOHIDEON", L"KV_AUTOHIDEOFF"};
    for (int i = 0; i < 2; ++i) {
        if (autoHideBitmaps[i] == nullptr)
            autoHideBitmaps[i] = New<TBitmap>();
        autoHideBitmaps[i]->LoadFromResourceName(resourceModule(), names[i]);
        autoHideBitmaps[i]->SetTransparent(true);
    }
}

void CreateScrollBarPatternBitmaps() {
    for (TBitmap *&bitmap : checkerBitmaps)
        if (bitmap == nullptr) {
            bitmap = New<TBitmap>();
            bitmap->SetSize(checkerSize, checkerSize);
        }
}

void PaintScrollBarPatternBitmaps() {
    CreateScrollBarPatternBitmaps();
    const TColor colors[2][2] = {{clBtnFace, clBtnHighlight}, {clBlack, cl3DDkShadow}};
    for (int pressed = 0; pressed < 2; ++pressed) {
        TCanvas *canvas = checkerBitmaps[pressed]->GetCanvas();
        for (int y = 0; y < checkerSize; ++y)
            for (int x = 0; x < checkerSize; ++x)
                canvas->SetPixel(x, y, colors[pressed][(x + y) % 2]);
    }
}

// --- the radio glyph list

TkvRadioButtonImageList *GetRadioGlyphList() {
    if (radioGlyphList == nullptr && kvLookAndFeelPaintersUnit.IsStarted())
        radioGlyphList = New<TkvRadioButtonImageList>();
    return radioGlyphList;
}

const TkvRadioGlyphGeometry &RadioGlyphGeometry() {
    measureGeometry();
    return geometry;
}

const std::vector<std::uint8_t> &RadioGlyphPattern() {
    measureGeometry();
    buildPattern();
    return pattern;
}

void TkvRadioButtonImageList::Create() {
    inherited::Create();
    measureGeometry();
    buildPattern();
    const int w = geometry.GlyphSize.cx;
    const int h = geometry.GlyphSize.cy;
    images_ = New<TCustomImageList>(nullptr);
    images_->SetWidth(w);
    images_->SetHeight(h);
    mask_ = New<TBitmap>();
    mask_->SetMonochrome(true);
    mask_->SetSize(w, h);
    TCanvas *canvas = mask_->GetCanvas();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            canvas->SetPixel(x, y, pattern[static_cast<size_t>(y) * w + x] != 0 ? clBlack : clWhite);
    render();
}

void TkvRadioButtonImageList::Destroy() {
    FreeAndNil(images_);
    FreeAndNil(mask_);
    inherited::Destroy();
}

TSize TkvRadioButtonImageList::GetGlyphSize() const {
    return images_ != nullptr ? TSize{images_->GetWidth(), images_->GetHeight()} : TSize{0, 0};
}

int TkvRadioButtonImageList::Count() const { return images_ != nullptr ? images_->GetCount() : 0; }

int TkvRadioButtonImageList::CalcGlyphKey(TkvButtonState state, TkvLookAndFeelKind kind, bool checked,
                                          bool highlight, bool forcedHighlight) noexcept {
    if (state < kvbsNormal || state > kvbsDisabled || kind >= kvLookAndFeelKindCount)
        return -1;
    return state + kind * 8 + (highlight ? 32 : 0) + (forcedHighlight ? 64 : 0) + (checked ? 4 : 0) - 1;
}

int TkvRadioButtonImageList::FindGlyphIndex(int key) const noexcept {
    if (key < 0 || key >= static_cast<int>(indexMap_.size()))
        return -1;
    return indexMap_[static_cast<size_t>(key)];
}

void TkvRadioButtonImageList::render() {
    const int w = geometry.GlyphSize.cx;
    const int h = geometry.GlyphSize.cy;
    TOwned<TBitmap> glyph(New<TBitmap>());
    glyph->SetSize(w, h);
    std::vector<std::uint32_t> pixels(static_cast<size_t>(w) * h);
    BITMAPINFO info = TopDownDIBInfo(w, h);
    for (int forced = 0; forced <= 1; ++forced)
        for (int highlight = 0; highlight <= 1; ++highlight)
            for (int kind = 0; kind < kvLookAndFeelKindCount; ++kind)
                for (int checked = 0; checked <= 1; ++checked)
                    for (int state = kvbsNormal; state <= kvbsDisabled; ++state) {
                        auto k = static_cast<TkvLookAndFeelKind>(kind);
                        auto s = static_cast<TkvButtonState>(state);
                        GlyphColors colors = glyphColors(k, s, checked != 0, highlight != 0, forced != 0);
                        std::uint32_t rgb[7];
                        for (int i = 0; i < 7; ++i) {
                            COLORREF c = ColorToRGB(colors.codes[i]);
                            // Device-independent bitmaps hold blue in the low byte.
                            rgb[i] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
                        }
                        for (size_t i = 0; i < pixels.size(); ++i)
                            pixels[i] = rgb[std::min<std::uint8_t>(pattern[i], 6)];
                        HBITMAP handle = glyph->GetHandle();
                        SetDIBits(nullptr, handle, 0, static_cast<UINT>(h), pixels.data(), &info, DIB_RGB_COLORS);
                        int index = images_->Add(glyph.get(), mask_);
                        int key = CalcGlyphKey(s, k, checked != 0, highlight != 0, forced != 0);
                        if (key >= static_cast<int>(indexMap_.size()))
                            indexMap_.resize(static_cast<size_t>(key) + 1, -1);
                        indexMap_[static_cast<size_t>(key)] = index;
                    }
}

void TkvRadioButtonImageList::RebuildGlyphs() {
    images_->Clear();
    indexMap_.clear();
    render();
}

void TkvRadioButtonImageList::DrawRadioGlyph(TkvCanvas *canvas, int x, int y, TkvButtonState state,
                                             TkvLookAndFeelKind kind, bool checked, bool highlight,
                                             bool forcedHighlight, TColor backgroundColor) {
    // A default button's radio looks like a normal one: the list renders no default glyphs.
    if (state == kvbsDefault)
        state = kvbsNormal;
    int index = FindGlyphIndex(CalcGlyphKey(state, kind, checked, highlight, forcedHighlight));
    if (index < 0)
        return;
    if (backgroundColor == clDefault) {
        images_->Draw(canvas->Canvas(), x, y, index);
        return;
    }
    TOwned<TBitmap> buffer(New<TBitmap>());
    TSize size = GetGlyphSize();
    buffer->SetSize(size.cx, size.cy);
    TCanvas *bufferCanvas = buffer->GetCanvas();
    bufferCanvas->GetBrush()->SetColor(backgroundColor);
    bufferCanvas->FillRect(TRect{0, 0, size.cx, size.cy});
    images_->Draw(bufferCanvas, 0, 0, index);
    canvas->Draw(x, y, buffer.get());
}
