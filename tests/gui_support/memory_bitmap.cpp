#include "memory_bitmap.h"

#include <algorithm>

MemoryBitmap::MemoryBitmap(int width, int height, std::uint32_t fill) : width_(width), height_(height) {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<std::uint32_t *>(bits);
    if (dc_ != nullptr && bitmap_ != nullptr)
        old_ = SelectObject(dc_, bitmap_);
    if (bits_ != nullptr && fill != 0)
        this->fill(fill);
}

MemoryBitmap::~MemoryBitmap() {
    if (old_ != nullptr)
        SelectObject(dc_, old_);
    if (bitmap_ != nullptr)
        DeleteObject(bitmap_);
    if (dc_ != nullptr)
        DeleteDC(dc_);
}

void MemoryBitmap::fill(std::uint32_t pixel) {
    GdiFlush();
    std::fill(bits_, bits_ + static_cast<std::size_t>(width_) * height_, pixel);
}

PixelBuffer MemoryBitmap::pixels() const {
    GdiFlush();
    PixelBuffer buffer(width_, height_);
    for (std::size_t i = 0; i < buffer.pixels.size(); ++i)
        buffer.pixels[i] = bits_[i] & 0x00FFFFFF;
    return buffer;
}

COLORREF MemoryBitmap::at(int x, int y) const {
    GdiFlush();
    return PixelBuffer::toColorRef(bits_[static_cast<std::size_t>(y) * width_ + x] & 0x00FFFFFF);
}
