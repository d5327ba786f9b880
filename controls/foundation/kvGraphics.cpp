// kvGraphics: regions, the drawing surface and the system-colour blends.
#include "kvGraphics.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include <classlib/exceptions.h>

namespace {

constexpr int systemBrushCount = 31;
constexpr int noClipRegionExtent = 30000;

constinit HBRUSH patternBrush = nullptr;
constinit HBRUSH systemBrushes[systemBrushCount] = {};
constinit HMODULE msimg32 = nullptr;
constinit TkvAlphaBlendFunction alphaBlend = nullptr;

void startGraphics() {
    static constexpr WORD rows[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
    HBITMAP pattern = CreateBitmap(8, 8, 1, 1, rows);
    patternBrush = pattern != nullptr ? CreatePatternBrush(pattern) : nullptr;
    if (pattern != nullptr)
        DeleteObject(pattern);
    for (int index = 0; index < systemBrushCount; ++index)
        systemBrushes[index] = GetSysColorBrush(index);
    msimg32 = LoadLibraryW(L"msimg32.dll");
    alphaBlend = msimg32 != nullptr
                     ? reinterpret_cast<TkvAlphaBlendFunction>(reinterpret_cast<void *>(GetProcAddress(msimg32, "AlphaBlend")))
                     : nullptr;
}

void stopGraphics() {
    if (patternBrush != nullptr)
        DeleteObject(patternBrush);
    patternBrush = nullptr;
    // System colour brushes belong to the system.
    std::fill(std::begin(systemBrushes), std::end(systemBrushes), nullptr);
    alphaBlend = nullptr;
    if (msimg32 != nullptr)
        FreeLibrary(msimg32);
    msimg32 = nullptr;
}

// Tiles lie at multiples of their size also left of and above the origin.
int floorDiv(int value, int divisor) {
    int quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

// Edges moved by a band width stay inside the coordinate range whatever the width.
LONG moved(LONG edge, int distance) {
    std::int64_t value = static_cast<std::int64_t>(edge) + distance;
    return static_cast<LONG>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

bool isEmpty(const TRect &rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

int channel(COLORREF color, int shift) { return static_cast<int>((color >> shift) & 0xFF); }

} // namespace

constinit TUnit kvGraphicsUnit{L"kvGraphics", startGraphics, stopGraphics};

HBRUSH kvPatternBrush() noexcept { return patternBrush; }

HBRUSH kvSystemBrush(int index) noexcept {
    return index >= 0 && index < systemBrushCount ? systemBrushes[index] : nullptr;
}

TkvAlphaBlendFunction kvAlphaBlend() noexcept { return alphaBlend; }

UINT MapLibraryTextFlags(TkvTextFlags flags) {
    UINT result = DT_NOPREFIX;
    if (flags & tfRight)
        result |= DT_RIGHT;
    if (flags & tfCenterH)
        result |= DT_CENTER;
    if (flags & tfBottom)
        result |= DT_BOTTOM;
    if (flags & tfCenterV)
        result |= DT_VCENTER;
    if (flags & tfSingleLine)
        result |= DT_SINGLELINE;
    if (flags & tfNoClip)
        result |= DT_NOCLIP;
    if (flags & tfExpandTabs)
        result |= DT_EXPANDTABS;
    if (flags & tfShowPrefix)
        result &= ~static_cast<UINT>(DT_NOPREFIX);
    if (flags & tfWordBreak) {
        result |= DT_WORDBREAK;
        if (!(flags & tfNoEditControl))
            result |= DT_EDITCONTROL;
    }
    if (flags & tfEndEllipsis)
        result |= DT_END_ELLIPSIS;
    if (flags & tfCalcOnly)
        result |= DT_CALCRECT;
    if (flags & tfPathEllipsis)
        result |= DT_PATH_ELLIPSIS;
    return result;
}

void DeflateRectByMargins(TRect &rect, const TRect &margins) {
    rect.left += margins.left;
    rect.top += margins.top;
    rect.right -= margins.right;
    rect.bottom -= margins.bottom;
}

TColor GetNearestScreenColor(TColor color) {
    HDC screen = GetDC(nullptr);
    COLORREF nearest = GetNearestColor(screen, ColorToRGB(color));
    ReleaseDC(nullptr, screen);
    return static_cast<TColor>(nearest);
}

TColor BlendSystemColors(std::int8_t p1, std::int8_t p2, std::int8_t p3) {
    COLORREF face = ColorToRGB(clBtnFace);
    COLORREF highlight = ColorToRGB(clHighlight);
    COLORREF window = ColorToRGB(clWindow);
    if (face == RGB(0, 0, 0) || face == RGB(255, 255, 255))
        return static_cast<TColor>(highlight);
    COLORREF result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int value = MulDiv(channel(face, shift), p1, 100) + MulDiv(channel(highlight, shift), p2, 100) +
                    MulDiv(channel(window, shift), p3, 100);
        result |= static_cast<COLORREF>(std::clamp(value, 0, 255)) << shift;
    }
    return static_cast<TColor>(result);
}

TColor GetPressedBlendColor() { return GetNearestScreenColor(BlendSystemColors(14, 44, 40)); }
TColor GetHotBlendColor() { return GetNearestScreenColor(BlendSystemColors(-2, 30, 72)); }

// --- regions

void TkvRegion::Create() { Create(0, 0, 0, 0); }

void TkvRegion::Create(HRGN handle) { handle_ = handle; }

void TkvRegion::Create(const TRect &rect) { Create(rect.left, rect.top, rect.right, rect.bottom); }

void TkvRegion::Create(int left, int top, int right, int bottom) {
    handle_ = CreateRectRgn(left, top, right, bottom);
    if (handle_ == nullptr)
        throw EOutOfResources(L"Out of system resources");
}

void TkvRegion::Destroy() {
    DestroyHandle();
    inherited::Destroy();
}

void TkvRegion::DestroyHandle() noexcept {
    if (handle_ != nullptr)
        DeleteObject(handle_);
    handle_ = nullptr;
}

void TkvRegion::Combine(TkvRegion *region, TkvRegionOperation operation, bool freeRegion) {
    if (region == nullptr)
        return;
    if (handle_ != nullptr && region->handle_ != nullptr) {
        static constexpr int modes[] = {RGN_COPY, RGN_OR, RGN_DIFF, RGN_AND};
        if (operation == rgnopCopy)
            CombineRgn(handle_, region->handle_, nullptr, RGN_COPY);
        else
            CombineRgn(handle_, handle_, region->handle_, modes[operation]);
    }
    if (freeRegion && region != this)
        region->Free();
}

void TkvRegion::Offset(int dx, int dy) {
    if (handle_ != nullptr)
        OffsetRgn(handle_, dx, dy);
}

bool TkvRegion::IsEmpty() const {
    RECT box{};
    return handle_ == nullptr || GetRgnBox(handle_, &box) == NULLREGION;
}

bool TkvRegion::IsEqual(const TkvRegion *region) const {
    return region != nullptr && handle_ != nullptr && region->handle_ != nullptr &&
           EqualRgn(handle_, region->handle_) != FALSE;
}

// --- canvas

void TkvCanvas::Create(TCanvas *canvas) { canvas_ = canvas; }

void TkvCanvas::SetBrushColor(TColor color) {
    if (GetBrush()->GetColor() != color)
        GetBrush()->SetColor(color);
}

TPoint TkvCanvas::GetWindowOrg() const {
    TPoint origin{};
    GetWindowOrgEx(GetHandle(), &origin);
    return origin;
}

TPoint TkvCanvas::GetViewportOrg() const {
    TPoint origin{};
    GetViewportOrgEx(GetHandle(), &origin);
    return origin;
}

TPoint TkvCanvas::GetDCOrigin() const {
    TPoint window = GetWindowOrg();
    TPoint viewport = GetViewportOrg();
    return TPoint{viewport.x - window.x, viewport.y - window.y};
}

void TkvCanvas::FillRect(const TRect &rect, TBitmap *bitmap, bool exclude) {
    if (isEmpty(rect))
        return;
    if (bitmap == nullptr || bitmap->Empty()) {
        canvas_->FillRect(rect);
    } else {
        int width = bitmap->GetWidth();
        int height = bitmap->GetHeight();
        // Tiles nobody can see are skipped, which bounds the work of a small tile over a huge area.
        TRect area = rect;
        TRect clipBox{};
        int clip = GetClipBox(GetHandle(), &clipBox);
        if (clip == NULLREGION || (clip != ERROR && !IntersectRect(&area, &rect, &clipBox)))
            area = TRect{};
        int lastColumn = floorDiv(area.right - 1, width);
        int lastRow = floorDiv(area.bottom - 1, height);
        TCanvas *source = bitmap->GetCanvas();
        for (int row = floorDiv(area.top, height); !isEmpty(area) && row <= lastRow; ++row)
            for (int column = floorDiv(area.left, width); column <= lastColumn; ++column) {
                TRect tile{column * width, row * height, column * width + width, row * height + height};
                TRect part{};
                if (!IntersectRect(&part, &tile, &area))
                    continue;
                TRect from = part;
                OffsetRect(&from, -column * width, -row * height);
                canvas_->CopyRect(part, source, from);
            }
    }
    if (exclude)
        SetClipRegion(TkvRegion::CreateFromRect(rect), rgnopDiff, true, true);
}

void TkvCanvas::FrameRect(const TRect &rect, TColor color, bool exclude, TkvBorders borders, int width) {
    if (isEmpty(rect))
        return;
    if (color != clDefault)
        SetBrushColor(color);
    if (borders.Contains(bLeft))
        FillRect(TRect{rect.left, rect.top, std::min(moved(rect.left, width), rect.right), rect.bottom}, nullptr, exclude);
    if (borders.Contains(bRight))
        FillRect(TRect{std::max(moved(rect.right, -width), rect.left), rect.top, rect.right, rect.bottom}, nullptr,
                 exclude);
    if (borders.Contains(bTop))
        FillRect(TRect{rect.left, rect.top, rect.right, std::min(moved(rect.top, width), rect.bottom)}, nullptr, exclude);
    if (borders.Contains(bBottom))
        FillRect(TRect{rect.left, std::max(moved(rect.bottom, -width), rect.top), rect.right, rect.bottom}, nullptr,
                 exclude);
}

void TkvCanvas::DrawTwoColorFrame(const TRect &rect, TColor color1, TColor color2, TkvBorders borders, int width) {
    for (TkvBorder border : {bLeft, bTop, bRight, bBottom}) {
        if (!borders.Contains(border))
            continue;
        TRect band = rect;
        switch (border) {
        case bLeft:
            band.right = moved(band.left, width);
            break;
        case bTop:
            band.bottom = moved(band.top, width);
            break;
        case bRight:
            band.left = moved(band.right, -width);
            break;
        case bBottom:
            band.top = moved(band.bottom, -width);
            break;
        }
        SetBrushColor(border == bLeft || border == bTop ? color1 : color2);
        FillRect(band);
    }
}

void TkvCanvas::DrawEdge(const TRect &rect, bool sunken, bool outer, TkvBorders borders) {
    TColor leftTop;
    TColor rightBottom;
    if (sunken) {
        leftTop = outer ? clBtnShadow : cl3DDkShadow;
        rightBottom = outer ? clBtnHighlight : cl3DLight;
    } else {
        leftTop = outer ? cl3DLight : clBtnHighlight;
        rightBottom = outer ? cl3DDkShadow : clBtnShadow;
    }
    DrawTwoColorFrame(rect, leftTop, rightBottom, borders, 1);
}

void TkvCanvas::FrameAndFillRect(const TRect &rect, const TkvPaintParams &params, bool exclude, int frameWidth,
                                 TColor frameColor, TkvBorders borders) {
    FrameRect(rect, frameColor, exclude, borders, frameWidth);
    TRect inner = rect;
    if (borders.Contains(bLeft))
        inner.left += frameWidth;
    if (borders.Contains(bTop))
        inner.top += frameWidth;
    if (borders.Contains(bRight))
        inner.right -= frameWidth;
    if (borders.Contains(bBottom))
        inner.bottom -= frameWidth;
    SetBrushColor(params.Color);
    FillRect(inner, params.Bitmap, exclude);
}

void TkvCanvas::DrawFocusRect(const TRect &rect) {
    SetBrushColor(clWhite);
    GetFont()->SetColor(clBlack);
    canvas_->DrawFocusRect(rect);
}

void TkvCanvas::InvertRect(const TRect &rect) {
    canvas_->SetCopyMode(cmDstInvert);
    canvas_->CopyRect(rect, canvas_, rect);
    canvas_->SetCopyMode(cmSrcCopy);
}

void TkvCanvas::outputText(const std::wstring &text, TRect rect, bool drawTextPath, UINT format) {
    canvas_->RequiredState({csHandleValid, csFontValid, csBrushValid});
    HDC context = canvas_->GetHandle();
    if (drawTextPath)
        ::DrawTextW(context, text.c_str(), static_cast<int>(text.size()), &rect, format);
    else
        ExtTextOutW(context, rect.left, rect.top, format, &rect, text.c_str(), static_cast<UINT>(text.size()),
                    nullptr);
}

void TkvCanvas::DrawText(const std::wstring &text, TRect rect, TkvTextFlags flags, bool enabled) {
    if (text.empty())
        return;
    bool drawTextPath = !(flags & tfSingleLine) || (flags & (tfShowPrefix | tfEndEllipsis | tfPathEllipsis)) != 0;
    TSize extent = TextExtent(text);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (extent.cx < width && extent.cy < height)
        flags |= tfNoClip;
    int offset = enabled ? 0 : 1;
    UINT format;
    if (drawTextPath) {
        if (!(flags & tfSingleLine) && (flags & (tfBottom | tfCenterV))) {
            TRect measured{0, 0, width - offset, 0};
            CalcTextRect(text, measured,
                         static_cast<TkvTextFlags>(tfLeft | tfTop |
                                                   (flags & (tfWordBreak | tfShowPrefix | tfNoEditControl))));
            int textHeight = measured.bottom - measured.top;
            if (flags & tfBottom)
                rect.top = rect.bottom - textHeight - offset;
            else
                rect.top = (rect.top + rect.bottom - textHeight) / 2;
        }
        format = MapLibraryTextFlags(flags);
    } else {
        if (extent.cx < width) {
            if (flags & tfRight)
                rect.left = rect.right - extent.cx - offset;
            else if (flags & tfCenterH)
                rect.left = (rect.left + rect.right - extent.cx) / 2;
        }
        if (extent.cy < height) {
            if (flags & tfBottom)
                rect.top = rect.bottom - extent.cy - offset;
            else if (flags & tfCenterV)
                rect.top = (rect.top + rect.bottom - extent.cy) / 2;
        }
        format = (flags & tfNoClip) ? 0 : ETO_CLIPPED;
    }

    TBrushStyle brushStyle = GetBrush()->GetStyle();
    TColor fontColor = GetFont()->GetColor();
    if (!enabled) {
        GetBrush()->SetStyle(bsClear);
        GetFont()->SetColor(clBtnHighlight);
        TRect shifted = rect;
        OffsetRect(&shifted, 1, 1);
        outputText(text, shifted, drawTextPath, format);
        GetFont()->SetColor(clBtnShadow);
    }
    outputText(text, rect, drawTextPath, format);
    GetBrush()->SetStyle(brushStyle);
    GetFont()->SetColor(fontColor);
}

void TkvCanvas::CalcTextRect(const std::wstring &text, TRect &rect, TkvTextFlags flags) {
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    canvas_->RequiredState({csHandleValid, csFontValid});
    UINT format = (MapLibraryTextFlags(flags) & ~static_cast<UINT>(DT_VCENTER)) | DT_CALCRECT;
    ::DrawTextW(canvas_->GetHandle(), text.c_str(), static_cast<int>(text.size()), &rect, format);
    int dx = width - (rect.right - rect.left);
    int dy = height - (rect.bottom - rect.top);
    if (flags & tfCenterH)
        OffsetRect(&rect, dx / 2, 0);
    else if (flags & tfRight)
        OffsetRect(&rect, dx, 0);
    if (flags & tfCenterV)
        OffsetRect(&rect, 0, dy / 2);
    else if (flags & tfBottom)
        OffsetRect(&rect, 0, dy);
}

TSize TkvCanvas::TextExtent(const std::wstring &text) {
    if (text.empty())
        return TSize{0, 0};
    return canvas_->TextExtent(text);
}

int TkvCanvas::FontHeight(TFont *font) {
    SetFont(font);
    return TextHeight(L"Qq");
}

void TkvCanvas::ExcludeClipRect(const TRect &rect) {
    ::ExcludeClipRect(GetHandle(), rect.left, rect.top, rect.right, rect.bottom);
}

void TkvCanvas::IntersectClipRect(const TRect &rect) {
    ::IntersectClipRect(GetHandle(), rect.left, rect.top, rect.right, rect.bottom);
}

TkvRegion *TkvCanvas::GetClipRegion(bool considerOrigin) {
    TkvRegion *region = New<TkvRegion>();
    if (GetClipRgn(GetHandle(), region->Handle()) != 1)
        SetRectRgn(region->Handle(), 0, 0, noClipRegionExtent, noClipRegionExtent);
    if (considerOrigin) {
        TPoint origin = GetDCOrigin();
        region->Offset(-origin.x, -origin.y);
    }
    return region;
}

void TkvCanvas::SetClipRegion(TkvRegion *region, TkvRegionOperation operation, bool considerOrigin,
                              bool freeRegion) {
    if (operation != rgnopCopy) {
        TkvRegion *clip = GetClipRegion(considerOrigin);
        clip->Combine(region, operation, freeRegion);
        SetClipRegion(clip, rgnopCopy, considerOrigin, true);
        return;
    }
    if (region == nullptr) {
        SelectClipRgn(GetHandle(), nullptr);
        return;
    }
    TPoint origin{};
    if (considerOrigin) {
        origin = GetDCOrigin();
        region->Offset(origin.x, origin.y);
    }
    SelectClipRgn(GetHandle(), region->Handle());
    if (freeRegion)
        region->Free();
    else if (considerOrigin)
        region->Offset(-origin.x, -origin.y);
}

void TkvCanvas::RotateBitmap(TBitmap *bitmap, TkvRotationAngle rotation, bool flip) {
    if (bitmap == nullptr || bitmap->Empty() || (rotation == raNone && !flip))
        return;
    int width = bitmap->GetWidth();
    int height = bitmap->GetHeight();
    std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<std::uint32_t> source(count);
    std::vector<std::uint32_t> dest(count);

    BITMAPINFO info = TopDownDIBInfo(width, height);
    HDC screen = GetDC(nullptr);
    int lines = GetDIBits(screen, bitmap->GetHandle(), 0, static_cast<UINT>(height), source.data(), &info,
                          DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (lines == 0)
        return;

    bool turned = rotation == raPlus90 || rotation == raMinus90;
    int destWidth = turned ? height : width;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int dx;
            int dy;
            switch (rotation) {
            case raNone:
                dx = x;
                dy = height - 1 - y;
                break;
            case raPlus90:
                dx = y;
                dy = flip ? x : width - 1 - x;
                break;
            case raMinus90:
                dx = height - 1 - y;
                dy = flip ? width - 1 - x : x;
                break;
            default:
                dx = width - 1 - x;
                dy = flip ? y : height - 1 - y;
                break;
            }
            dest[static_cast<std::size_t>(dy) * destWidth + dx] = source[static_cast<std::size_t>(y) * width + x];
        }

    if (turned) {
        bitmap->SetHeight(0);
        bitmap->SetWidth(height);
        bitmap->SetHeight(width);
        info.bmiHeader.biWidth = height;
        info.bmiHeader.biHeight = -width;
    }
    screen = GetDC(nullptr);
    SetDIBits(screen, bitmap->GetHandle(), 0, static_cast<UINT>(turned ? width : height), dest.data(), &info,
              DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
}

// --- screen canvases

void TScreenCanvas::CreateHandle() {
    if (screen_ == nullptr)
        screen_ = GetDC(nullptr);
    SetHandle(screen_);
}

void TScreenCanvas::Destroy() {
    if (screen_ != nullptr) {
        SetHandle(nullptr);
        ReleaseDC(nullptr, screen_);
        screen_ = nullptr;
    }
    inherited::Destroy();
}

void TkvScreenCanvas::Create() { inherited::Create(New<TScreenCanvas>()); }

void TkvScreenCanvas::Destroy() {
    TCanvas *canvas = Canvas();
    inherited::Destroy();
    ::Free(canvas);
}
