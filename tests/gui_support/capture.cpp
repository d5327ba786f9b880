#include "capture.h"

namespace {

// A top-down 32-bit DIB section selected into a memory DC, released when it goes.
class MemoryBitmap {
public:
    MemoryBitmap(int width, int height) : width_(width), height_(height) {
        dc_ = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        if (dc_ != nullptr && bitmap_ != nullptr)
            old_ = SelectObject(dc_, bitmap_);
    }
    ~MemoryBitmap() {
        if (old_ != nullptr)
            SelectObject(dc_, old_);
        if (bitmap_ != nullptr)
            DeleteObject(bitmap_);
        if (dc_ != nullptr)
            DeleteDC(dc_);
    }
    MemoryBitmap(const MemoryBitmap &) = delete;
    MemoryBitmap &operator=(const MemoryBitmap &) = delete;

    bool ok() const { return old_ != nullptr && bits_ != nullptr; }
    HDC dc() const { return dc_; }

    PixelBuffer pixels() {
        GdiFlush();
        PixelBuffer buffer(width_, height_);
        const auto *source = static_cast<const std::uint32_t *>(bits_);
        for (std::size_t i = 0; i < buffer.pixels.size(); ++i)
            buffer.pixels[i] = source[i] & 0x00FFFFFF;
        return buffer;
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void *bits_ = nullptr;
};

SIZE clientSize(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

} // namespace

COLORREF windowPixel(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    if (dc == nullptr)
        return CLR_INVALID;
    COLORREF color = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return color;
}

COLORREF printedWindowPixel(HWND window, int x, int y) {
    PixelBuffer buffer = printClient(window);
    if (x < 0 || y < 0 || x >= buffer.width || y >= buffer.height)
        return CLR_INVALID;
    return buffer.colorAt(x, y);
}

PixelBuffer captureDC(HDC dc, int x, int y, int width, int height) {
    if (width <= 0 || height <= 0)
        return {};
    MemoryBitmap bitmap(width, height);
    if (!bitmap.ok() || !BitBlt(bitmap.dc(), 0, 0, width, height, dc, x, y, SRCCOPY))
        return {};
    return bitmap.pixels();
}

PixelBuffer captureClient(HWND window) {
    SIZE size = clientSize(window);
    HDC dc = GetDC(window);
    if (dc == nullptr)
        return {};
    PixelBuffer buffer = captureDC(dc, 0, 0, size.cx, size.cy);
    ReleaseDC(window, dc);
    return buffer;
}

PixelBuffer printClient(HWND window) {
    SIZE size = clientSize(window);
    if (size.cx <= 0 || size.cy <= 0)
        return {};
    MemoryBitmap bitmap(size.cx, size.cy);
    if (!bitmap.ok() || !PrintWindow(window, bitmap.dc(), PW_CLIENTONLY))
        return {};
    return bitmap.pixels();
}

PixelBuffer captureScreen(const RECT &screenRect) {
    HDC dc = GetDC(nullptr);
    if (dc == nullptr)
        return {};
    PixelBuffer buffer = captureDC(dc, screenRect.left, screenRect.top, screenRect.right - screenRect.left,
                                   screenRect.bottom - screenRect.top);
    ReleaseDC(nullptr, dc);
    return buffer;
}
