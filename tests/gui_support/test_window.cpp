#include "test_window.h"

#include <windowsx.h>

#include "message_pump.h"

namespace {

constexpr wchar_t className[] = L"GuiTestWindow";

void registerClass() {
    static const ATOM atom = [] {
        WNDCLASSW cls{};
        cls.style = CS_DBLCLKS;
        cls.lpfnWndProc = DefWindowProcW; // replaced per window once its object is attached
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        cls.lpszClassName = className;
        return RegisterClassW(&cls);
    }();
    (void)atom;
}

} // namespace

POINT pointOf(LPARAM lParam) { return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

TestWindow::TestWindow(POINT screenOrigin, SIZE clientSize, Painter paint, DWORD style) : paint_(std::move(paint)) {
    registerClass();
    RECT bounds{screenOrigin.x, screenOrigin.y, screenOrigin.x + clientSize.cx, screenOrigin.y + clientSize.cy};
    AdjustWindowRectEx(&bounds, style, FALSE, 0);
    window_ = CreateWindowExW(0, className, L"GUI test", style, bounds.left, bounds.top, bounds.right - bounds.left,
                              bounds.bottom - bounds.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window_ == nullptr)
        return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TestWindow::procedure));
    // The frame may come out differently than asked (a window manager, a minimum size): put the
    // client area where asked.
    POINT origin{0, 0};
    ClientToScreen(window_, &origin);
    RECT window{};
    GetWindowRect(window_, &window);
    RECT client{};
    GetClientRect(window_, &client);
    int width = window.right - window.left + clientSize.cx - client.right;
    int height = window.bottom - window.top + clientSize.cy - client.bottom;
    SetWindowPos(window_, nullptr, window.left + screenOrigin.x - origin.x, window.top + screenOrigin.y - origin.y,
                 width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    UpdateWindow(window_);
    pumpMessages();
}

TestWindow::~TestWindow() {
    if (window_ != nullptr) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
        pumpMessages();
    }
}

void TestWindow::repaint() {
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
    pumpMessages();
}

int TestWindow::count(UINT message) const {
    int n = 0;
    for (const auto &m : messages_)
        n += m.message == message;
    return n;
}

const RecordedMessage *TestWindow::last(UINT message) const {
    for (auto it = messages_.rbegin(); it != messages_.rend(); ++it)
        if (it->message == message)
            return &*it;
    return nullptr;
}

bool TestWindow::waitFor(UINT message, DWORD timeoutMs) {
    return pumpUntil([&] { return count(message) > 0; }, timeoutMs);
}

LRESULT CALLBACK TestWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto *self = reinterpret_cast<TestWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    // Nothing may leave a window procedure: a test's failure shows as a missing message instead.
    try {
        self->messages_.push_back({message, wParam, lParam});
        switch (message) {
        case WM_ERASEBKGND:
            if (self->paint_)
                return 1;
            break;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            RECT client;
            GetClientRect(window, &client);
            if (self->paint_)
                self->paint_(dc, client);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            if (self->paint_) {
                RECT client;
                GetClientRect(window, &client);
                self->paint_(reinterpret_cast<HDC>(wParam), client);
                return 0;
            }
            break;
        default:
            break;
        }
    } catch (...) {
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
