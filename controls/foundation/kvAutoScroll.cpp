// Middle-button automatic scrolling: a round mark where the button went down, and a loop that
// scrolls faster the farther the mouse is from it until a click, the wheel or Esc ends it.
#include <classlib/messages.h>

#include <algorithm>
#include <cstdlib>

#include "kvControls.h"

namespace {

constexpr UINT_PTR autoScrollTimerId = 0x6B76;
constexpr UINT autoScrollTickMs = 20;
constexpr int maxAutoScrollSpeed = 12;

const wchar_t *markResourceName(bool hVisible, bool vVisible) noexcept {
    if (hVisible && vVisible)
        return L"KV_FULLSCROLLBITMAP";
    return hVisible ? L"KV_HORSCROLLBITMAP" : L"KV_VERSCROLLBITMAP";
}

// The topmost round window showing the mark, not activated.
class AutoScrollMark {
public:
    AutoScrollMark(HWND owner, const TPoint &anchor, bool hVisible, bool vVisible) {
        bitmap_ = static_cast<HBITMAP>(
            LoadImageW(GetModuleHandleW(nullptr), markResourceName(hVisible, vVisible), IMAGE_BITMAP, 0, 0, 0));
        BITMAP info{};
        if (bitmap_ != nullptr && GetObjectW(bitmap_, sizeof(info), &info) != 0) {
            width_ = info.bmWidth;
            height_ = info.bmHeight;
        }
        window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"STATIC", L"", WS_POPUP,
                                  anchor.x - width_ / 2, anchor.y - height_ / 2, width_, height_, owner, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        if (window_ == nullptr)
            return;
        SetWindowRgn(window_, CreateEllipticRgn(0, 0, width_ + 1, height_ + 1), FALSE);
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        paint();
    }
    ~AutoScrollMark() {
        if (window_ != nullptr)
            DestroyWindow(window_);
        if (bitmap_ != nullptr)
            DeleteObject(bitmap_);
    }
    AutoScrollMark(const AutoScrollMark &) = delete;
    AutoScrollMark &operator=(const AutoScrollMark &) = delete;

    HWND window() const noexcept { return window_; }
    int width() const noexcept { return width_; }

    void paint() {
        if (window_ == nullptr)
            return;
        HDC dc = GetDC(window_);
        if (bitmap_ != nullptr) {
            HDC source = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(source, bitmap_);
            BitBlt(dc, 0, 0, width_, height_, source, 0, 0, SRCCOPY);
            SelectObject(source, old);
            DeleteDC(source);
        }
        HRGN frame = CreateEllipticRgn(0, 0, width_ + 1, height_ + 1);
        FrameRgn(dc, frame, GetSysColorBrush(COLOR_WINDOWTEXT), 1, 1);
        DeleteObject(frame);
        ReleaseDC(window_, dc);
    }

private:
    HWND window_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    int width_ = 28;
    int height_ = 28;
};

} // namespace

TkvAutoScrollMotion CalcAutoScrollMotion(const TPoint &anchor, const TPoint &p, int size, bool hVisible,
                                         bool vVisible) {
    int half = size / 2;
    TRect neutral{anchor.x - half, anchor.y - half, anchor.x - half + size, anchor.y - half + size};
    if (!hVisible) {
        neutral.left = 0;
        neutral.right = GetSystemMetrics(SM_CXSCREEN);
    }
    if (!vVisible) {
        neutral.top = 0;
        neutral.bottom = GetSystemMetrics(SM_CYSCREEN);
    }
    if (PtInRect(&neutral, p))
        return TkvAutoScrollMotion{dirNone, 0};
    int dx = p.x - anchor.x;
    int dy = p.y - anchor.y;
    bool vertical = !hVisible || (vVisible && std::abs(dy) >= std::abs(dx));
    TkvScrollDirection direction;
    int distance;
    if (vertical) {
        direction = dy < 0 ? dirUp : dirDown;
        distance = std::abs(dy);
    } else {
        direction = dx < 0 ? dirLeft : dirRight;
        distance = std::abs(dx);
    }
    int speed = std::clamp((distance - half) / 5 + 1, 1, maxAutoScrollSpeed);
    return TkvAutoScrollMotion{direction, speed};
}

TCursor AutoScrollCursor(TkvScrollDirection direction, bool hVisible, bool vVisible) {
    switch (direction) {
    case dirLeft:
        return crkvLeftScroll;
    case dirRight:
        return crkvRightScroll;
    case dirUp:
        return crkvUpScroll;
    case dirDown:
        return crkvDownScroll;
    default:
        if (hVisible && vVisible)
            return crkvFullScroll;
        return hVisible ? crkvHorScroll : crkvVerScroll;
    }
}

void TkvControl::runAutoScroll() {
    bool hVisible = IsHScrollBarVisible();
    bool vVisible = IsVScrollBarVisible();
    if (!hVisible && !vVisible)
        return;
    HWND window = Handle();
    TkvObjectLink *link = CreateObjectLink(this);
    autoScrolling_ = true;
    TPoint anchor = Mouse->CursorPos();
    TPoint last = anchor;
    {
        AutoScrollMark mark(window, anchor, hVisible, vVisible);
        TkvAutoScrollMotion motion{dirNone, 1};
        unsigned ticks = 0;
        bool leftNeutralZone = false;
        SetTimer(window, autoScrollTimerId, autoScrollTickMs, nullptr);
        ::SetCapture(window);
        ::SetCursor(Screen->Cursors(AutoScrollCursor(motion.Direction, hVisible, vVisible)));
        MSG msg;
        try {
            while (GetCapture() == window && link->Ref != nullptr) {
                BOOL got = GetMessageW(&msg, nullptr, 0, 0);
                if (got == -1)
                    break;
                if (got == 0) {
                    PostQuitMessage(static_cast<int>(msg.wParam));
                    break;
                }
                bool stop = false;
                bool dispatch = true;
                switch (msg.message) {
                case WM_PAINT:
                    if (msg.hwnd == mark.window()) {
                        ValidateRect(mark.window(), nullptr);
                        mark.paint();
                        dispatch = false;
                    }
                    break;
                case WM_KEYDOWN:
                case WM_KEYUP:
                    stop = msg.wParam == VK_ESCAPE;
                    break;
                case WM_TIMER:
                    if (msg.hwnd == window && msg.wParam == autoScrollTimerId) {
                        dispatch = false;
                        ++ticks;
                        if (motion.Direction != dirNone && ticks % (13 - motion.Speed) == 0)
                            ScrollContent(motion.Direction);
                    }
                    break;
                case WM_MOUSEMOVE: {
                    POINT p{static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
                    ::ClientToScreen(msg.hwnd, &p);
                    if (p.x != last.x || p.y != last.y) {
                        last = p;
                        motion = CalcAutoScrollMotion(anchor, p, mark.width(), hVisible, vVisible);
                        if (motion.Direction != dirNone)
                            leftNeutralZone = true;
                    }
                    ::SetCursor(Screen->Cursors(AutoScrollCursor(motion.Direction, hVisible, vVisible)));
                    dispatch = false;
                    break;
                }
                case WM_LBUTTONDOWN:
                case WM_LBUTTONUP:
                case WM_LBUTTONDBLCLK:
                case WM_RBUTTONDOWN:
                case WM_RBUTTONUP:
                case WM_RBUTTONDBLCLK:
                case WM_MBUTTONDOWN:
                case WM_MBUTTONDBLCLK:
                case WM_MOUSEWHEEL:
                    stop = true;
                    dispatch = false;
                    break;
                case WM_MBUTTONUP:
                    // A click without moving keeps the mode until the next click.
                    stop = leftNeutralZone;
                    dispatch = leftNeutralZone;
                    break;
                default:
                    break;
                }
                if (dispatch) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
                if (stop)
                    break;
            }
        } catch (...) {
            if (GetCapture() == window)
                ReleaseCapture();
            KillTimer(window, autoScrollTimerId);
            if (link->Ref != nullptr)
                autoScrolling_ = false;
            ReleaseObjectLink(link);
            throw;
        }
        if (GetCapture() == window)
            ReleaseCapture();
        KillTimer(window, autoScrollTimerId);
    }
    if (link->Ref != nullptr)
        autoScrolling_ = false;
    ReleaseObjectLink(link);
}
