#include "capture.h"

#include "memory_bitmap.h"

namespace {

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

PixelBuffer pixelsOf(HDC dc, int width, int height) {
    PixelBuffer pixels(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.at(x, y) = PixelBuffer::fromColorRef(GetPixel(dc, x, y));
    return pixels;
}
