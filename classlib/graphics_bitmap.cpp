#include <algorithm>
#include <cstdint>
#include <vector>

#include "classlib/exceptions.h"
#include "classlib/graphics.h"
#include "graphics_strings.h"

// The canvas of a bitmap: a memory context with the bitmap selected, made when drawing needs it
// and given up whenever the bitmap's handle is taken or replaced.
class TBitmapCanvas : public TCanvas {
    CL_CLASS(TBitmapCanvas, TCanvas)

public:
    void Create(TBitmap *bitmap) {
        inherited::Create();
        bitmap_ = bitmap;
    }

    void FreeContext() {
        if (context_ == nullptr)
            return;
        SetHandle(nullptr);
        if (oldBitmap_ != nullptr)
            SelectObject(context_, oldBitmap_);
        DeleteDC(context_);
        context_ = nullptr;
        oldBitmap_ = nullptr;
    }

protected:
    void CreateHandle() override {
        if (context_ != nullptr)
            return;
        context_ = CreateCompatibleDC(nullptr);
        if (context_ == nullptr)
            throw EOutOfResources(LoadResString(SOutOfResources));
        if (bitmap_->handle_ != nullptr)
            oldBitmap_ = static_cast<HBITMAP>(SelectObject(context_, bitmap_->handle_));
        SetHandle(context_);
    }

    void Destroy() override {
        FreeContext();
        inherited::Destroy();
    }

private:
    TBitmap *bitmap_ = nullptr;
    HDC context_ = nullptr;
    HBITMAP oldBitmap_ = nullptr;
};

namespace {

[[noreturn]] void raiseOutOfResources() { throw EOutOfResources(LoadResString(SOutOfResources)); }

HBITMAP makeBitmap(int width, int height, bool monochrome) {
    HBITMAP bitmap;
    if (monochrome) {
        bitmap = CreateBitmap(width, height, 1, 1, nullptr);
    } else {
        BITMAPINFO info = TopDownDIBInfo(width, height);
        void *bits = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    }
    if (bitmap == nullptr)
        raiseOutOfResources();
    return bitmap;
}

// Two memory contexts for copying one bitmap into another.
class CopyContexts {
public:
    CopyContexts(HBITMAP source, HBITMAP dest)
        : source_(CreateCompatibleDC(nullptr)), dest_(CreateCompatibleDC(nullptr)) {
        if (source_ == nullptr || dest_ == nullptr) {
            release();
            raiseOutOfResources();
        }
        oldSource_ = source != nullptr ? SelectObject(source_, source) : nullptr;
        oldDest_ = SelectObject(dest_, dest);
    }
    ~CopyContexts() { release(); }
    CopyContexts(const CopyContexts &) = delete;
    CopyContexts &operator=(const CopyContexts &) = delete;

    HDC Source() const noexcept { return source_; }
    HDC Dest() const noexcept { return dest_; }

private:
    void release() noexcept {
        if (source_ != nullptr) {
            if (oldSource_ != nullptr)
                SelectObject(source_, oldSource_);
            DeleteDC(source_);
        }
        if (dest_ != nullptr) {
            if (oldDest_ != nullptr)
                SelectObject(dest_, oldDest_);
            DeleteDC(dest_);
        }
        source_ = dest_ = nullptr;
    }

    HDC source_;
    HDC dest_;
    HGDIOBJ oldSource_ = nullptr;
    HGDIOBJ oldDest_ = nullptr;
};

// The pixels of a bitmap that is selected nowhere, as 32-bit top-down rows.
std::vector<std::uint32_t> readPixels(HBITMAP bitmap, int width, int height) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    BITMAPINFO info = TopDownDIBInfo(width, height);
    HDC screen = GetDC(nullptr);
    int lines = GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (lines == 0)
        raiseOutOfResources();
    return pixels;
}

// A colour picture turns monochrome by its white: white stays white, the rest turns black.
HBITMAP makeMonochromeCopy(HBITMAP source, int sourceWidth, int sourceHeight, int width, int height) {
    std::vector<std::uint32_t> pixels = readPixels(source, sourceWidth, sourceHeight);
    std::size_t stride = static_cast<std::size_t>((width + 15) / 16 * 2);
    std::vector<BYTE> bits(stride * static_cast<std::size_t>(height), 0xFF);
    for (int y = 0; y < std::min(height, sourceHeight); ++y)
        for (int x = 0; x < std::min(width, sourceWidth); ++x)
            if ((pixels[static_cast<std::size_t>(y) * sourceWidth + x] & 0xFFFFFF) != 0xFFFFFF)
                bits[y * stride + x / 8] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
    HBITMAP result = CreateBitmap(width, height, 1, 1, bits.data());
    if (result == nullptr)
        raiseOutOfResources();
    return result;
}

// A new bitmap of the size and kind, white, with what fits of the source copied in.
HBITMAP copyBitmap(HBITMAP source, int sourceWidth, int sourceHeight, int width, int height, bool monochrome) {
    if (monochrome && source != nullptr)
        return makeMonochromeCopy(source, sourceWidth, sourceHeight, width, height);
    HBITMAP result = makeBitmap(width, height, monochrome);
    try {
        CopyContexts contexts(source, result);
        PatBlt(contexts.Dest(), 0, 0, width, height, WHITENESS);
        if (source != nullptr) {
            SetTextColor(contexts.Dest(), RGB(0, 0, 0));
            SetBkColor(contexts.Dest(), RGB(255, 255, 255));
            BitBlt(contexts.Dest(), 0, 0, std::min(width, sourceWidth), std::min(height, sourceHeight),
                   contexts.Source(), 0, 0, SRCCOPY);
        }
    } catch (...) {
        DeleteObject(result);
        throw;
    }
    return result;
}

} // namespace

void TGraphic::SetTransparent(bool value) {
    if (value == transparent_)
        return;
    transparent_ = value;
    Changed();
}

void TGraphic::Changed() {
    if (OnChange)
        OnChange(this);
}

void TBitmap::Destroy() {
    FreeAndNil(canvas_);
    if (handle_ != nullptr)
        DeleteObject(handle_);
    handle_ = nullptr;
    inherited::Destroy();
}

void TBitmap::freeContext() {
    if (canvas_ != nullptr)
        canvas_->FreeContext();
}

HDC TBitmap::canvasContext() { return GetCanvas()->GetHandle(); }

void TBitmap::replaceHandle(HBITMAP handle, int width, int height, bool monochrome) {
    freeContext();
    if (handle_ != nullptr && handle_ != handle)
        DeleteObject(handle_);
    handle_ = handle;
    width_ = handle != nullptr ? width : 0;
    height_ = handle != nullptr ? height : 0;
    monochrome_ = monochrome;
    Changed();
}

void TBitmap::SetWidth(int width) { SetSize(width, height_); }
void TBitmap::SetHeight(int height) { SetSize(width_, height); }

void TBitmap::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_)
        return;
    freeContext();
    if (width == 0 || height == 0) {
        // The size is kept for the other side, as a bitmap of no area has no handle.
        replaceHandle(nullptr, 0, 0, monochrome_);
        width_ = width;
        height_ = height;
        return;
    }
    HBITMAP bitmap = copyBitmap(handle_, width_, height_, width, height, monochrome_);
    replaceHandle(bitmap, width, height, monochrome_);
}

TCanvas *TBitmap::GetCanvas() {
    if (canvas_ == nullptr)
        canvas_ = New<TBitmapCanvas>(this);
    return canvas_;
}

HBITMAP TBitmap::GetHandle() {
    freeContext();
    return handle_;
}

void TBitmap::SetHandle(HBITMAP handle) {
    if (handle == handle_)
        return;
    BITMAP info{};
    if (handle != nullptr && GetObjectW(handle, sizeof info, &info) == 0)
        throw EInvalidGraphic(LoadResString(SInvalidImage));
    bool monochrome = handle != nullptr ? info.bmBitsPixel == 1 && info.bmPlanes == 1 : monochrome_;
    replaceHandle(handle, info.bmWidth, std::abs(info.bmHeight), monochrome);
}

HBITMAP TBitmap::ReleaseHandle() {
    freeContext();
    HBITMAP handle = handle_;
    handle_ = nullptr;
    width_ = height_ = 0;
    return handle;
}

void TBitmap::SetMonochrome(bool value) {
    if (value == monochrome_)
        return;
    if (handle_ == nullptr) {
        monochrome_ = value;
        return;
    }
    freeContext();
    HBITMAP bitmap = copyBitmap(handle_, width_, height_, width_, height_, value);
    replaceHandle(bitmap, width_, height_, value);
}

TColor TBitmap::GetTransparentColor() {
    if (transparentColor_ != clDefault)
        return transparentColor_;
    if (monochrome_ || handle_ == nullptr)
        return clWhite;
    return GetCanvas()->GetPixel(0, height_ - 1) & 0xFFFFFF;
}

void TBitmap::SetTransparentColor(TColor color) {
    if (color == transparentColor_)
        return;
    transparentColor_ = color;
    Changed();
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const std::wstring &name) {
    auto *bitmap = static_cast<HBITMAP>(LoadImageW(instance, name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (bitmap == nullptr)
        throw EInvalidGraphic(FormatResString(SResNotFound, {name}));
    SetHandle(bitmap);
}

void TBitmap::Assign(TPersistent *source) {
    if (source == nullptr) {
        replaceHandle(nullptr, 0, 0, monochrome_);
        return;
    }
    auto *bitmap = dynamic_cast<TBitmap *>(source);
    if (bitmap == nullptr) {
        inherited::Assign(source);
        return;
    }
    if (bitmap == this)
        return;
    HBITMAP copy = nullptr;
    if (bitmap->handle_ != nullptr) {
        bitmap->freeContext();
        copy = copyBitmap(bitmap->handle_, bitmap->width_, bitmap->height_, bitmap->width_, bitmap->height_,
                          bitmap->monochrome_);
    }
    transparentColor_ = bitmap->transparentColor_;
    SetTransparent(bitmap->GetTransparent());
    replaceHandle(copy, bitmap->width_, bitmap->height_, bitmap->monochrome_);
}

void TBitmap::Draw(TCanvas *canvas, const TRect &rect) {
    if (canvas == nullptr || handle_ == nullptr)
        return;
    HDC dest = canvas->GetHandle();
    HDC source = canvasContext();
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (GetTransparent()) {
        TransparentBlt(dest, rect.left, rect.top, width, height, source, 0, 0, width_, height_,
                       ColorToRGB(GetTransparentColor()));
        return;
    }
    if (monochrome_) {
        // Monochrome pictures keep black and white whatever the canvas's text colours are.
        COLORREF text = SetTextColor(dest, RGB(0, 0, 0));
        COLORREF back = SetBkColor(dest, RGB(255, 255, 255));
        StretchBlt(dest, rect.left, rect.top, width, height, source, 0, 0, width_, height_, canvas->GetCopyMode());
        SetTextColor(dest, text);
        SetBkColor(dest, back);
        return;
    }
    StretchBlt(dest, rect.left, rect.top, width, height, source, 0, 0, width_, height_, canvas->GetCopyMode());
}

BITMAPINFO TopDownDIBInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}
