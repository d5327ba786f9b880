#include "classlib/graphics.h"

COLORREF ColorToRGB(TColor color) {
    if (color < 0)
        return GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color);
}

int ScreenPixelsPerInch() {
    static const int pixelsPerInch = [] {
        HDC screen = GetDC(nullptr);
        int value = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen != nullptr)
            ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return pixelsPerInch;
}
