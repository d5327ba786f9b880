// kvEditPaintUtils: the brush cache and the editors' drawing routines.
#include "kvEditPaintUtils.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include <classlib/image_list.h>

#include "kvSystemPalette.h"

namespace {

constexpr int systemBrushCount = 31;

constinit HBRUSH systemBrushes[systemBrushCount] = {};
constinit TkvSolidBrushCache *globalCache = nullptr;
constinit bool win9xOrWin2K = false;
constinit TkvResourceTextHook resourceTextHook = nullptr;

bool computeWin9xOrWin2K() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(&info))
        return false;
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
        return info.dwMinorVersion != 0;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion == 5;
}

void fillSystemBrushes() {
    for (int index = 0; index < systemBrushCount; ++index)
        systemBrushes[index] = GetSysColorBrush(index);
}

void startEditPaintUtils() {
    fillSystemBrushes();
    globalCache = New<TkvSolidBrushCache>();
    win9xOrWin2K = computeWin9xOrWin2K();
}

void stopEditPaintUtils() {
    TkvSolidBrushCache *cache = globalCache;
    globalCache = nullptr;
    Free(cache);
    // The system owns its brushes.
    std::fill(std::begin(systemBrushes), std::end(systemBrushes), nullptr);
}

bool isEmpty(const TRect &rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

void fillBrush(HDC dc, int left, int top, int right, int bottom, HBRUSH brush) {
    RECT r{left, top, right, bottom};
    ::FillRect(dc, &r, brush);
}

} // namespace

constinit TUnit kvEditPaintUtilsUnit{L"kvEditPaintUtils", startEditPaintUtils, stopEditPaintUtils};

void TkvSolidBrushCache::Create(int maxDepth) {
    inherited::Create();
    maxDepth_ = std::max(1, maxDepth);
    colors_.assign(maxDepth_, 0);
    brushes_.assign(maxDepth_, nullptr);
    useCounts_.assign(maxDepth_, 0);
    notifier_ = New<TkvSystemPaletteChangedNotifier>(false);
    notifier_->OnSystemPaletteChanged = [this] {
        Clear();
        // The system may make its colour brushes anew (Wine deletes the old ones).
        if (this == globalCache)
            fillSystemBrushes();
    };
}

void TkvSolidBrushCache::Destroy() {
    FreeAndNil(notifier_);
    Clear();
    inherited::Destroy();
}

int TkvSolidBrushCache::find(TColor color, bool &found) const {
    auto key = static_cast<std::uint32_t>(color);
    int low = 0;
    int high = depth_ - 1;
    while (low <= high) {
        int middle = low + (high - low) / 2;
        auto value = static_cast<std::uint32_t>(colors_[middle]);
        if (value == key) {
            found = true;
            return middle;
        }
        if (value < key)
            low = middle + 1;
        else
            high = middle - 1;
    }
    found = false;
    return low;
}

void TkvSolidBrushCache::removeAt(int index) {
    DeleteObject(brushes_[index]);
    for (int i = index; i < depth_ - 1; ++i) {
        colors_[i] = colors_[i + 1];
        brushes_[i] = brushes_[i + 1];
        useCounts_[i] = useCounts_[i + 1];
    }
    --depth_;
}

HBRUSH TkvSolidBrushCache::GetBrush(TColor color) {
    bool found = false;
    int index = find(color, found);
    if (found) {
        // A count that wrapped would make the hottest brush the first to go.
        if (useCounts_[index] < INT32_MAX)
            ++useCounts_[index];
        return brushes_[index];
    }
    if (depth_ == maxDepth_) {
        int victim = 0;
        for (int i = 1; i < depth_; ++i)
            if (useCounts_[i] < useCounts_[victim])
                victim = i;
        removeAt(victim);
        if (victim < index)
            --index;
    }
    HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
    for (int i = depth_; i > index; --i) {
        colors_[i] = colors_[i - 1];
        brushes_[i] = brushes_[i - 1];
        useCounts_[i] = useCounts_[i - 1];
    }
    colors_[index] = color;
    brushes_[index] = brush;
    useCounts_[index] = 0;
    ++depth_;
    return brush;
}

void TkvSolidBrushCache::Clear() {
    for (int i = 0; i < depth_; ++i) {
        DeleteObject(brushes_[i]);
        brushes_[i] = nullptr;
        useCounts_[i] = 0;
        colors_[i] = 0;
    }
    depth_ = 0;
}

TkvSolidBrushCache *SolidBrushCache() noexcept { return globalCache; }

HBRUSH CachedSolidBrush(TColor color) {
    auto value = static_cast<std::uint32_t>(color);
    if (value >= 0xFF000000u && value < 0xFF000000u + systemBrushCount && systemBrushes[value & 0xFF] != nullptr)
        return systemBrushes[value & 0xFF];
    if (globalCache == nullptr)
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    return globalCache->GetBrush(color);
}

void DrawEdges(TCanvas *canvas, TRect &rect, int edges, TColor color) {
    const TRect r = rect;
    HDC dc = canvas->GetHandle();
    HBRUSH brush = CachedSolidBrush(color);
    if (edges & kvEdgeLeft) {
        fillBrush(dc, r.left, r.top, r.left + 1, r.bottom, brush);
        ++rect.left;
    }
    if (edges & kvEdgeRight) {
        fillBrush(dc, r.right - 1, r.top, r.right, r.bottom, brush);
        --rect.right;
    }
    if (edges & kvEdgeTop) {
        fillBrush(dc, r.left, r.top, r.right, r.top + 1, brush);
        ++rect.top;
    }
    if (edges & kvEdgeBottom) {
        fillBrush(dc, r.left, r.bottom - 1, r.right, r.bottom, brush);
        --rect.bottom;
    }
}

void DrawPolyline(TCanvas *canvas, const TPoint *points, int lastIndex, bool useFill, TColor color) {
    if (points == nullptr || lastIndex < 0)
        return;
    if (!useFill) {
        canvas->GetPen()->SetColor(color);
        if (lastIndex > 0)
            canvas->Polyline(points, lastIndex + 1);
    } else {
        HDC dc = canvas->GetHandle();
        HBRUSH brush = CachedSolidBrush(color);
        for (int i = 0; i < lastIndex; ++i) {
            TRect r{points[i].x, points[i].y, points[i + 1].x, points[i + 1].y};
            if (r.left > r.right)
                std::swap(r.left, r.right);
            if (r.top > r.bottom)
                std::swap(r.top, r.bottom);
            // Both ends belong to the segment, as with the pen, whichever way it runs.
            if (r.top == r.bottom) {
                r.bottom = r.top + 1;
                r.right += 1;
            } else {
                r.right = r.left + 1;
                r.bottom += 1;
            }
            ::FillRect(dc, &r, brush);
        }
    }
    canvas->SetPixel(points[lastIndex].x, points[lastIndex].y, color);
}

void DrawArrows(TCanvas *canvas, int size, const TRect &rect, TColor color, bool pressed, bool isDouble,
                TkvArrowDirection direction) {
    if (size <= 0 || size > 0x4000)
        return;
    const int count = isDouble ? 2 : 1;
    const bool vertical = direction == adUp || direction == adDown;
    const int areaWidth = vertical ? 2 * size - 1 : count * size;
    const int areaHeight = vertical ? count * size : 2 * size - 1;
    int x = rect.left + (rect.right - rect.left - areaWidth) / 2;
    int y = rect.top + (rect.bottom - rect.top - areaHeight) / 2;
    if (pressed) {
        ++x;
        ++y;
    }
    HDC dc = canvas->GetHandle();
    HBRUSH brush = CachedSolidBrush(color);
    for (int arrow = 0; arrow < count; ++arrow) {
        int offset = arrow * size;
        for (int row = 0; row < size; ++row) {
            // Row 0 is the apex for up and left, the base for down and right.
            int half = (direction == adUp || direction == adLeft) ? row : size - 1 - row;
            switch (direction) {
            case adUp:
            case adDown:
                fillBrush(dc, x + size - 1 - half, y + offset + row, x + size + half, y + offset + row + 1, brush);
                break;
            default:
                fillBrush(dc, x + offset + row, y + size - 1 - half, x + offset + row + 1, y + size + half, brush);
                break;
            }
        }
    }
}

void GetArrowSize(const TSize &size, TkvArrowDirection direction, int &width, int &height) {
    int side = std::min(size.cx, size.cy);
    width = (side - 1) / 2;
    if (width % 2 == 0)
        ++width;
    height = width / 2 + 1;
    if (direction == adLeft || direction == adRight)
        std::swap(width, height);
}

void CenterInRect(const TRect &rect, const TSize &size, bool pressed, int &x, int &y) {
    x = rect.left + (rect.right - rect.left - size.cx) / 2;
    y = rect.top + (rect.bottom - rect.top - size.cy) / 2;
    if (pressed) {
        if (x + size.cx < rect.right)
            ++x;
        if (y + size.cy < rect.bottom)
            ++y;
    }
}

void BrushCopy(TCanvas *canvas, const TRect &dest, TBitmap *bitmap, const TRect &source, TColor transparentColor) {
    int width = source.right - source.left;
    int height = source.bottom - source.top;
    if (bitmap == nullptr || bitmap->Empty() || width <= 0 || height <= 0 || isEmpty(dest))
        return;
    HDC target = canvas->GetHandle();
    HDC sourceDC = bitmap->GetCanvas()->GetHandle();
    TBrush *brush = canvas->GetBrush();
    if (brush->GetStyle() != bsClear) {
        // The transparent pixels take the brush: fill first, then lay the other pixels over it.
        canvas->RequiredState(TCanvasState{csHandleValid, csBrushValid});
        ::FillRect(target, &dest, brush->GetHandle());
    }
    HDC maskDC = CreateCompatibleDC(target);
    HBITMAP mask = CreateBitmap(width, height, 1, 1, nullptr);
    HGDIOBJ oldMask = SelectObject(maskDC, mask);
    COLORREF oldSourceBk = SetBkColor(sourceDC, ColorToRGB(transparentColor));
    BitBlt(maskDC, 0, 0, width, height, sourceDC, source.left, source.top, SRCCOPY);
    SetBkColor(sourceDC, oldSourceBk);

    // The opaque pixels, black where transparent.
    HDC partDC = CreateCompatibleDC(target);
    HBITMAP part = CreateCompatibleBitmap(target, width, height);
    HGDIOBJ oldPart = SelectObject(partDC, part);
    BitBlt(partDC, 0, 0, width, height, sourceDC, source.left, source.top, SRCCOPY);
    SetTextColor(partDC, RGB(255, 255, 255));
    SetBkColor(partDC, RGB(0, 0, 0));
    BitBlt(partDC, 0, 0, width, height, maskDC, 0, 0, SRCAND);

    int destWidth = dest.right - dest.left;
    int destHeight = dest.bottom - dest.top;
    COLORREF oldText = SetTextColor(target, RGB(0, 0, 0));
    COLORREF oldBk = SetBkColor(target, RGB(255, 255, 255));
    StretchBlt(target, dest.left, dest.top, destWidth, destHeight, maskDC, 0, 0, width, height, SRCAND);
    StretchBlt(target, dest.left, dest.top, destWidth, destHeight, partDC, 0, 0, width, height, SRCPAINT);
    SetTextColor(target, oldText);
    SetBkColor(target, oldBk);

    SelectObject(partDC, oldPart);
    DeleteObject(part);
    DeleteDC(partDC);
    SelectObject(maskDC, oldMask);
    DeleteObject(mask);
    DeleteDC(maskDC);
}

void DrawGlyph(TCanvas *canvas, int x, int y, TBitmap *buffer, TColor backgroundColor, bool enabled, TBitmap *glyph) {
    if (!IsGlyphValid(glyph))
        return;
    const int width = glyph->GetWidth();
    const int height = glyph->GetHeight();
    const TRect whole{0, 0, width, height};
    const TColor transparent = glyph->GetTransparentColor();
    if (buffer != nullptr && (buffer->GetWidth() < width || buffer->GetHeight() < height))
        buffer->SetSize(std::max(buffer->GetWidth(), width), std::max(buffer->GetHeight(), height));
    if (enabled) {
        TCanvas *target = buffer != nullptr ? buffer->GetCanvas() : canvas;
        TBrush *brush = target->GetBrush();
        TBrushStyle oldStyle = brush->GetStyle();
        TColor oldColor = brush->GetColor();
        if (buffer != nullptr || backgroundColor == clNone)
            brush->SetStyle(bsClear);
        else
            brush->SetColor(backgroundColor);
        if (buffer != nullptr) {
            BrushCopy(target, whole, glyph, whole, transparent);
            canvas->CopyRect(TRect{x, y, x + width, y + height}, target, whole);
        } else {
            BrushCopy(target, TRect{x, y, x + width, y + height}, glyph, whole, transparent);
        }
        brush->SetColor(oldColor);
        brush->SetStyle(oldStyle);
        return;
    }
    TOwned<TImageList> images(New<TImageList>(nullptr));
    images->SetWidth(width);
    images->SetHeight(height);
    images->AddMasked(glyph, transparent);
    if (buffer != nullptr) {
        images->Draw(buffer->GetCanvas(), 0, 0, 0, false);
        canvas->CopyRect(TRect{x, y, x + width, y + height}, buffer->GetCanvas(), whole);
    } else if (backgroundColor != clNone) {
        TOwned<TBitmap> work(New<TBitmap>());
        work->SetSize(width, height);
        ::FillRect(work->GetCanvas()->GetHandle(), &whole, CachedSolidBrush(backgroundColor));
        images->Draw(work->GetCanvas(), 0, 0, 0, false);
        canvas->Draw(x, y, work.get());
    } else {
        images->Draw(canvas, x, y, 0, false);
    }
}

bool IsGlyphValid(TGraphic *graphic) {
    return graphic != nullptr && !graphic->Empty() && graphic->GetWidth() >= 1 && graphic->GetHeight() >= 1;
}

void FillRectExceptInner(TCanvas *canvas, const TRect &rect, const TRect &inner, HBRUSH brush) {
    if (isEmpty(rect) || EqualRect(&rect, &inner))
        return;
    HDC dc = canvas->GetHandle();
    if (!isEmpty(inner)) {
        fillBrush(dc, rect.left, rect.top, inner.left, rect.bottom, brush);
        fillBrush(dc, inner.left, rect.top, inner.right, inner.top, brush);
        fillBrush(dc, inner.right, rect.top, rect.right, rect.bottom, brush);
        fillBrush(dc, inner.left, inner.bottom, inner.right, rect.bottom, brush);
    } else {
        ::FillRect(dc, &rect, brush);
    }
}

TkvTextFlags TextOutFlagsToLibraryTextFlags(std::uint32_t flags) {
    TkvTextFlags result = 0;
    std::uint32_t horizontal = flags & 0x7;
    if (horizontal == 1)
        result |= tfCenterH;
    else if (horizontal == 2)
        result |= tfRight;
    std::uint32_t vertical = flags & 0x30;
    if (vertical == 0x10)
        result |= tfCenterV;
    else if (vertical == 0x20)
        result |= tfBottom;
    if (flags & 0x200)
        result |= tfSingleLine;
    if (flags & 0x100)
        result |= tfWordBreak;
    return result;
}

std::wstring RemoveAccelChars(const std::wstring &text) {
    std::wstring result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'&') {
            result += text[i];
        } else if (i + 1 < text.size()) {
            result += text[++i];
        } else {
            result += L'_';
        }
    }
    return result;
}

bool IsWin9XOrWin2K() noexcept { return win9xOrWin2K; }

void SetResourceTextHook(TkvResourceTextHook hook) noexcept { resourceTextHook = hook; }

TkvResourceTextHook ResourceTextHook() noexcept { return resourceTextHook; }

void GetResourceText(const std::wstring &text, std::wstring &result, void *extra) {
    if (resourceTextHook != nullptr)
        resourceTextHook(text, result, extra);
    else
        result = text;
}
