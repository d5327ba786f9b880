// A captured image: 32-bit pixels, top row first.
#ifndef GUI_SUPPORT_PIXEL_BUFFER_H
#define GUI_SUPPORT_PIXEL_BUFFER_H

#include <windows.h>

#include <cstdint>
#include <vector>

// Each pixel is 0x00RRGGBB (the memory order of a 32-bit DIB: blue, green, red, unused); the
// unused byte is always 0, so pixels compare with ==.
struct PixelBuffer {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    PixelBuffer() = default;
    PixelBuffer(int w, int h, std::uint32_t fill = 0)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}

    std::uint32_t &at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    // The pixel as a COLORREF (0x00BBGGRR), as GetPixel gives it.
    COLORREF colorAt(int x, int y) const { return toColorRef(at(x, y)); }
    bool empty() const { return pixels.empty(); }

    static std::uint32_t fromColorRef(COLORREF c) {
        return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    }
    static COLORREF toColorRef(std::uint32_t p) { return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF); }
};

#endif
