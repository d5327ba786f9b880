// A drawing surface whose pixels a test reads back: a top-down 32-bit DIB section selected into
// a memory DC, released when it goes.
#ifndef GUI_SUPPORT_MEMORY_BITMAP_H
#define GUI_SUPPORT_MEMORY_BITMAP_H

#include <windows.h>

#include <cstdint>

#include "pixel_buffer.h"

class MemoryBitmap {
public:
    // Every pixel starts as fill (0x00RRGGBB).
    MemoryBitmap(int width, int height, std::uint32_t fill = 0);
    ~MemoryBitmap();
    MemoryBitmap(const MemoryBitmap &) = delete;
    MemoryBitmap &operator=(const MemoryBitmap &) = delete;

    bool ok() const { return old_ != nullptr && bits_ != nullptr; }
    HDC dc() const { return dc_; }
    void fill(std::uint32_t pixel);
    PixelBuffer pixels() const;
    COLORREF at(int x, int y) const;

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    std::uint32_t *bits_ = nullptr;
};

#endif
