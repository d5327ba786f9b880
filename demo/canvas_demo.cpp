// A window that shows the drawing of the control library's canvas (see canvas_showcase.h).
// It stays open until closed; the GUI tests run it and compare what it shows with a stored capture.
#include <windows.h>

#include <classlib/exception_handler.h>
#include <classlib/graphics.h>
#include <classlib/object.h>
#include <kvGraphics.h>

#include "canvas_showcase.h"

namespace {

const wchar_t windowClass[] = L"CanvasDemoWindow";

void paint(HDC dc) {
    TOwned<TCanvas> canvas(New<TCanvas>());
    canvas->SetHandle(dc);
    PaintCanvasShowcase(canvas.get());
    canvas->SetHandle(nullptr);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    bool handled = false;
    LRESULT result = 0;
    GuardedCall(nullptr, [&] {
        switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            paint(dc);
            EndPaint(window, &ps);
            handled = true;
            break;
        }
        case WM_PRINTCLIENT:
            paint(reinterpret_cast<HDC>(wParam));
            handled = true;
            break;
        case WM_ERASEBKGND:
            result = 1;
            handled = true;
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            handled = true;
            break;
        default:
            break;
        }
    });
    return handled ? result : DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    kvGraphicsUnit.Start();
    WNDCLASSW cls{};
    cls.lpfnWndProc = windowProc;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    cls.lpszClassName = windowClass;
    RegisterClassW(&cls);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, showcaseWidth, showcaseHeight};
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowW(windowClass, L"Canvas demo", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                                nullptr);
    if (window == nullptr)
        return 1;
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    kvGraphicsUnit.Stop();
    return static_cast<int>(msg.wParam);
}
