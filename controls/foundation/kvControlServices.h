// The process-wide services the library's controls share: a timer component running on one
// shared hidden window, hidden message windows, the controller that passes changed system
// metrics on to controls with scroll bars, mouse tracking that tells a control when the mouse
// left it, the library's cursors and a few small routines. All on the user-interface thread.
#ifndef KV_CONTROL_SERVICES_H
#define KV_CONTROL_SERVICES_H

#include <windows.h>

#include <classlib/component.h>
#include <classlib/controls.h>
#include <classlib/events.h>
#include <classlib/geometry.h>
#include <classlib/hidden_window.h>
#include <classlib/list.h>
#include <classlib/object.h>
#include <classlib/units.h>

#include <cstdint>

// Needs the forms and the look and feel (the base control's). Registers the library's cursors,
// binds the monitor routines of "USER32"; its stop frees the
// services' singletons, and refuses while a mouse-tracking timer still runs.
extern TUnit kvControlsUnit;

// Sent to every control registered with the settings controller when the non-client metrics
// (scroll-bar sizes among them) changed.
constexpr UINT KV_SYSTEMSETTINGSCHANGED = 0x8131;

// The library's cursors in the screen's cursor table.
constexpr TCursor crkvHandPoint = -2099;
constexpr TCursor crkvDragCopy = 2100;
constexpr TCursor crkvFullScroll = 2101;
constexpr TCursor crkvHorScroll = 2102;
constexpr TCursor crkvVerScroll = 2103;
constexpr TCursor crkvUpScroll = 2104;
constexpr TCursor crkvRightScroll = 2105;
constexpr TCursor crkvDownScroll = 2106;
constexpr TCursor crkvLeftScroll = 2107;
constexpr TCursor crkvRemove = 2108;
constexpr TCursor crkvVertSize = 2109;
constexpr TCursor crkvHorzSize = 2110;
constexpr TCursor crkvMultiDrag = 2111;
constexpr TCursor crkvNoDrop = 2112;
constexpr TCursor crkvDrag = 2113;

// A hidden window whose messages go to the object's WndProc.
class TkvMessageWindow : public TObject {
    CL_CLASS(TkvMessageWindow, TObject)

public:
    void Create();
    HWND Handle() const noexcept { return handle_; }

protected:
    void Destroy() override;
    // DefWindowProc and its result.
    virtual void WndProc(TMessage &message);

private:
    HWND handle_ = nullptr;
};

// The window every TkvTimer's system timer runs on.
class TkvTimerWindow : public TkvMessageWindow {
    CL_CLASS(TkvTimerWindow, TkvMessageWindow)

protected:
    void WndProc(TMessage &message) override;
};

// A timer on the shared timer window: its system timer runs exactly while it is enabled, has
// a handler and the system gave it one. A failing SetTimer leaves it off without an error.
class TkvTimer : public TComponent {
    CL_CLASS(TkvTimer, TComponent)

public:
    void Create(TComponent *owner) override;

    bool GetEnabled() const noexcept { return enabled_; }
    void SetEnabled(bool value);
    // Milliseconds; 0 leaves the interval as it was.
    std::uint32_t GetInterval() const noexcept { return interval_; }
    void SetInterval(std::uint32_t value);
    const TNotifyEvent &GetOnTimer() const noexcept { return onTimer_; }
    void SetOnTimer(TNotifyEvent value);

    // The id of its WM_TIMER messages on the shared window.
    UINT_PTR EventId() const noexcept { return reinterpret_cast<UINT_PTR>(this); }
    // Whether its system timer runs.
    bool TimerOn() const noexcept { return timerOn_; }

    // Fires OnTimer with the timer.
    virtual void TimeOut();

protected:
    void Destroy() override;

private:
    void updateTimer();
    void killTimer();
    void setTimerOn(bool value);

    bool enabled_ = true;
    std::uint32_t interval_ = 1000;
    TNotifyEvent onTimer_;
    bool timerOn_ = false;
};

// The shared timer window, made on first use; null after the unit stopped.
TkvTimerWindow *GetTimerWindow();
// The timers whose system timer runs now (a copy).
TList<TkvTimer *> ActiveTimers();

// Passes WM_SETTINGCHANGE of the non-client metrics on to the registered controls. Its hidden
// window exists exactly while a control is registered.
class TkvSettingsController : public TObject {
    CL_CLASS(TkvSettingsController, TObject)

public:
    // A control is registered once.
    void AddListener(TWinControl *control);
    void RemoveListener(TWinControl *control);
    int ListenerCount() const noexcept { return listeners_.Count(); }
    HWND Handle() const noexcept { return window_; }

protected:
    void Destroy() override;
    virtual void WndProc(TMessage &message);

private:
    void handleMessage(TMessage &message);

    TList<TWinControl *> listeners_;
    HWND window_ = nullptr;
};

TkvSettingsController *GetSettingsController();

// What a mouse-tracking caller is told.
struct IkvMouseTrackingCaller : IInterface {
    // {84A4BCBE-E001-4D60-B7A6-75E2B0DCD3E9}
    virtual void MouseTrackingCallerMouseLeave() = 0;
};

// A caller that decides itself whether the mouse is inside.
struct IkvMouseTrackingCaller2 : IkvMouseTrackingCaller {
    // {3A5D973B-F016-4F22-80B6-1D35668D7743}; the point in the control's client coordinates.
    virtual bool PtInCaller(const TPoint &p) = 0;
};

// Watches, every 10 ms, whether the mouse is still inside a caller.
class TMouseTrackingTimer : public TkvTimer {
    CL_CLASS(TMouseTrackingTimer, TkvTimer)

public:
    void Create(TComponent *owner) override;

    TRect Bounds{};
    IkvMouseTrackingCaller *Caller = nullptr;
    TWinControl *Control() const noexcept { return control_; }
    void SetControl(TWinControl *control);
    // Tells one tracking apart from a later one of the same caller.
    std::uint32_t Serial() const noexcept { return serial_; }

protected:
    void Notification(TComponent *component, TOperation operation) override;

private:
    bool mouseInside();
    void tick(TObject *sender);

    TWinControl *control_ = nullptr;
    std::uint32_t serial_ = 0;
};

// Starts telling the caller when the mouse leaves the bounds (client coordinates of the control
// when a control is given, else screen coordinates); nothing when the caller is tracked already.
void BeginMouseTracking(TWinControl *control, const TRect &bounds, IkvMouseTrackingCaller *caller);
void EndMouseTracking(IkvMouseTrackingCaller *caller);
bool IsMouseTracking(IkvMouseTrackingCaller *caller);
int MouseTrackingCount();

// The global hidden message window (owner of the drop-down windows), made on first use.
TkvMessageWindow *GetMessageWindow();

// Whether any parent up the chain has its window.
bool IsAncestorHandleAllocated(TControl *control);
unsigned GetDoubleClickInterval();
// The work area of the monitor nearest the point.
TRect GetMonitorWorkArea(const TPoint &p);
bool IsChildWindowStyle(HWND window);
bool IsCtrlPressed();
// Both distances from the origin strictly below the mouse's drag threshold.
bool IsPointInDragDetectArea(const TPoint &origin, int x, int y);
// Signs and digits; kind 1 also the decimal separator; kind 2 also it and the exponent letters.
bool IsNumericChar(wchar_t c, int kind);
bool IsTextChar(wchar_t c);
TPoint MapWindowPoint(HWND from, HWND to, const TPoint &p);
TRect MapRectBetweenWindows(HWND from, HWND to, const TRect &r);
WORD TranslateKey(WORD key);

// For a window inside one of the editors' drop-down windows, the window of the control that
// dropped it down; any other window answers itself. Set while the container unit runs.
using TkvPopupOwnerWindowFunction = HWND (*)(HWND window);
extern TkvPopupOwnerWindowFunction kvPopupOwnerWindowHook;

#endif
