// kvControls: the unit's start and end, the message window, the library's cursors and the small
// routines.
#include "kvControlServices.h"

#include <classlib/exceptions.h>
#include <classlib/forms.h>
#include <classlib/string_utils.h>

#include "kvControlServicesInternal.h"
#include "kvLookAndFeels.h"

namespace {

struct LibraryCursor {
    TCursor id;
    const wchar_t *resource;
};

constexpr LibraryCursor libraryCursors[] = {
    {crkvDragCopy, L"KV_DRAGCOPYCURSOR"},     {crkvFullScroll, L"KV_FULLSCROLLCURSOR"},
    {crkvHorScroll, L"KV_HORSCROLLCURSOR"},   {crkvVerScroll, L"KV_VERSCROLLCURSOR"},
    {crkvUpScroll, L"KV_UPSCROLLCURSOR"},     {crkvRightScroll, L"KV_RIGHTSCROLLCURSOR"},
    {crkvDownScroll, L"KV_DOWNSCROLLCURSOR"}, {crkvLeftScroll, L"KV_LEFTSCROLLCURSOR"},
    {crkvRemove, L"KV_REMOVECURSOR"},         {crkvVertSize, L"KV_VERTSIZECURSOR"},
    {crkvHorzSize, L"KV_HORZSIZECURSOR"},     {crkvMultiDrag, L"KV_MULTIDRAGCURSOR"},
    {crkvNoDrop, L"KV_NODROPCURSOR"},         {crkvDrag, L"KV_DRAGCURSOR"},
};

// Above 32 when loaded.
constinit HMODULE user32 = nullptr;
constinit TUnitSingleton<TkvMessageWindow> messageWindow;

bool libraryLoaded(HMODULE module) { return reinterpret_cast<UINT_PTR>(module) > 32; }

void startControls() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const LibraryCursor &cursor : libraryCursors)
        Screen->SetCursors(cursor.id, LoadCursorW(instance, cursor.resource));
    Screen->SetCursors(crkvHandPoint, LoadCursorW(nullptr, IDC_HAND));
    user32 = LoadLibraryA("USER32");
}

void stopControls() {
    kvcontrols::freeMouseTrackingList();
    if (libraryLoaded(user32))
        FreeLibrary(user32);
    user32 = nullptr;
    kvcontrols::freeSettingsController();
    kvcontrols::freeTimerWindow();
    kvcontrols::freeActiveTimerList();
    messageWindow.Release();
}

} // namespace

constinit TkvPopupOwnerWindowFunction kvPopupOwnerWindowHook = nullptr;

constinit TUnit kvControlsUnit{L"kvControls", startControls, stopControls, {&FormsUnit, &kvLookAndFeelsUnit}};

void TkvMessageWindow::Create() {
    inherited::Create();
    handle_ = AllocateHWnd([this](TMessage &message) { WndProc(message); });
}

void TkvMessageWindow::Destroy() {
    DeallocateHWnd(handle_);
    handle_ = nullptr;
    inherited::Destroy();
}

void TkvMessageWindow::WndProc(TMessage &message) {
    message.Result = DefWindowProcW(handle_, message.Msg, message.WParam, message.LParam);
}

TkvMessageWindow *GetMessageWindow() { return messageWindow.Get(); }

bool IsAncestorHandleAllocated(TControl *control) {
    for (TWinControl *parent = control != nullptr ? control->Parent() : nullptr; parent != nullptr;
         parent = parent->Parent())
        if (parent->HandleAllocated())
            return true;
    return false;
}

unsigned GetDoubleClickInterval() { return GetDoubleClickTime(); }

TRect GetMonitorWorkArea(const TPoint &p) {
    // Looked up on every call: the entries may be missing on the oldest systems.
    using MonitorFromPointFunction = HMONITOR(WINAPI *)(POINT, DWORD);
    using GetMonitorInfoFunction = BOOL(WINAPI *)(HMONITOR, MONITORINFO *);
    TRect result{};
    if (libraryLoaded(user32)) {
        auto monitorFromPoint = reinterpret_cast<MonitorFromPointFunction>(GetProcAddress(user32, "MonitorFromPoint"));
        auto getMonitorInfo = reinterpret_cast<GetMonitorInfoFunction>(GetProcAddress(user32, "GetMonitorInfoA"));
        if (monitorFromPoint != nullptr && getMonitorInfo != nullptr) {
            MONITORINFO info{};
            info.cbSize = sizeof(info);
            if (getMonitorInfo(monitorFromPoint(p, MONITOR_DEFAULTTONEAREST), &info))
                return info.rcWork;
        }
    }
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &result, 0);
    return result;
}

bool IsChildWindowStyle(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0; }

bool IsCtrlPressed() { return GetAsyncKeyState(VK_CONTROL) < 0; }

bool IsPointInDragDetectArea(const TPoint &origin, int x, int y) {
    // In 64 bits: the distance between far-apart points does not fit in 32.
    std::int64_t threshold = Mouse != nullptr ? Mouse->DragThreshold() : GetSystemMetrics(SM_CXDRAG);
    std::int64_t dx = static_cast<std::int64_t>(x) - origin.x;
    std::int64_t dy = static_cast<std::int64_t>(y) - origin.y;
    return (dx < 0 ? -dx : dx) < threshold && (dy < 0 ? -dy : dy) < threshold;
}

bool IsNumericChar(wchar_t c, int kind) {
    if (c == L'+' || c == L'-' || (c >= L'0' && c <= L'9'))
        return true;
    wchar_t separator = FormatSettings().DecimalSeparator;
    if (kind == 1)
        return c == separator;
    if (kind == 2)
        return c == separator || c == L'e' || c == L'E';
    return false;
}

bool IsTextChar(wchar_t c) { return c >= 32; }

TPoint MapWindowPoint(HWND from, HWND to, const TPoint &p) {
    POINT point = p;
    MapWindowPoints(from, to, &point, 1);
    return point;
}

TRect MapRectBetweenWindows(HWND from, HWND to, const TRect &r) {
    // Corner by corner: a mirrored window would otherwise swap left and right.
    POINT topLeft{r.left, r.top};
    POINT bottomRight{r.right, r.bottom};
    MapWindowPoints(from, to, &topLeft, 1);
    MapWindowPoints(from, to, &bottomRight, 1);
    return TRect{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

WORD TranslateKey(WORD key) { return key; }
