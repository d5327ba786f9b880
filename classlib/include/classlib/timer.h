// The timer component.
//
// Stands in for the compiler library's timer: OnTimer fires every Interval milliseconds while
// the timer is enabled. Each timer owns a hidden window (AllocateHWnd) that receives its system
// timer's WM_TIMER messages on the UI thread; the system timer runs exactly while the timer is
// enabled, its interval is above 0 and OnTimer is assigned, so idle timers cost nothing. An
// exception raised by OnTimer goes to the application's exception handler and the timer goes on.
#ifndef CLASSLIB_TIMER_H
#define CLASSLIB_TIMER_H

#include <windows.h>

#include "component.h"
#include "events.h"
#include "exceptions.h"
#include "hidden_window.h"

// The system has no timer left for the program.
CL_EXCEPTION_CLASS(EOutOfResources, Exception)

class TTimer : public TComponent {
    CL_CLASS(TTimer, TComponent)

public:
    void Create(TComponent *owner) override;

    bool GetEnabled() const noexcept { return enabled_; }
    // Starts or stops the system timer; raises EOutOfResources when the system refuses one.
    void SetEnabled(bool value);
    // Milliseconds; 0 stops the timer.
    unsigned GetInterval() const noexcept { return interval_; }
    void SetInterval(unsigned value);
    const TNotifyEvent &GetOnTimer() const noexcept { return onTimer_; }
    void SetOnTimer(TNotifyEvent value);

    // Whether the system timer runs now.
    bool Running() const noexcept { return running_; }

protected:
    void Destroy() override;
    // Fires OnTimer; called for every tick.
    virtual void Timer();

private:
    void updateTimer();
    void windowProcedure(TMessage &message);

    HWND window_ = nullptr;
    bool enabled_ = true;
    bool running_ = false;
    unsigned interval_ = 1000;
    TNotifyEvent onTimer_;
};

#endif
