#include "classlib/controls.h"

TMouse *Mouse = nullptr;

TPoint TMouse::CursorPos() {
    TPoint p{0, 0};
    GetCursorPos(&p);
    return p;
}

void TMouse::SetCursorPos(TPoint p) { ::SetCursorPos(p.x, p.y); }

void TMouse::SetCapture(HWND window) {
    if (window != nullptr)
        ::SetCapture(window);
    else
        ReleaseCapture();
}

int TMouse::WheelScrollLines() {
    UINT lines = 3;
    if (!SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0))
        lines = 3;
    return static_cast<int>(lines);
}

TWinControl *FindVCLWindow(TPoint screenPos) {
    HWND window = WindowFromPoint(screenPos);
    while (window != nullptr) {
        if (TWinControl *control = TWinControl::FindControl(window))
            return control;
        window = GetParent(window);
    }
    return nullptr;
}
