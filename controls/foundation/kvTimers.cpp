// kvControls: TkvTimer and the one hidden window all of them run on.
#include <classlib/exception_handler.h>

#include "kvControlServices.h"
#include "kvControlServicesInternal.h"

namespace {

constinit TUnitSingleton<TkvTimerWindow> timerWindow;
// The timers whose system timer runs; a WM_TIMER of any other id is stale.
constinit TList<TkvTimer *> *activeTimers = nullptr;

TList<TkvTimer *> &activeTimerList() {
    if (activeTimers == nullptr)
        activeTimers = new TList<TkvTimer *>;
    return *activeTimers;
}

} // namespace

namespace kvcontrols {

void freeTimerWindow() { timerWindow.Release(); }

void freeActiveTimerList() {
    delete activeTimers;
    activeTimers = nullptr;
}

} // namespace kvcontrols

TkvTimerWindow *GetTimerWindow() { return timerWindow.Get(); }

TList<TkvTimer *> ActiveTimers() { return activeTimers != nullptr ? *activeTimers : TList<TkvTimer *>{}; }

void TkvTimerWindow::WndProc(TMessage &message) {
    if (message.Msg != WM_TIMER) {
        inherited::WndProc(message);
        return;
    }
    if (activeTimers == nullptr)
        return;
    for (TkvTimer *timer : *activeTimers) {
        if (timer->EventId() == message.WParam) {
            // The handler may free the timer or change the list: nothing of either is touched
            // after the call.
            GuardedCall(timer, [timer] { timer->TimeOut(); });
            return;
        }
    }
}

void TkvTimer::Create(TComponent *owner) { inherited::Create(owner); }

void TkvTimer::Destroy() {
    killTimer();
    inherited::Destroy();
}

void TkvTimer::SetEnabled(bool value) {
    if (value == enabled_)
        return;
    enabled_ = value;
    updateTimer();
}

void TkvTimer::SetInterval(std::uint32_t value) {
    if (value == 0 || value == interval_)
        return;
    interval_ = value;
    updateTimer();
}

void TkvTimer::SetOnTimer(TNotifyEvent value) {
    onTimer_ = std::move(value);
    updateTimer();
}

void TkvTimer::TimeOut() {
    if (onTimer_) {
        // A copy: the handler may replace itself or free the timer.
        TNotifyEvent handler = onTimer_;
        handler(this);
    }
}

void TkvTimer::updateTimer() {
    killTimer();
    if (!enabled_ || timerOn_ || !onTimer_)
        return;
    setTimerOn(SetTimer(GetTimerWindow()->Handle(), EventId(), interval_, nullptr) != 0);
}

void TkvTimer::killTimer() {
    if (!timerOn_)
        return;
    // After the unit's end the window is gone, and its timers with it.
    if (TkvTimerWindow *window = timerWindow.Peek())
        KillTimer(window->Handle(), EventId());
    setTimerOn(false);
}

void TkvTimer::setTimerOn(bool value) {
    if (value == timerOn_)
        return;
    timerOn_ = value;
    if (value)
        activeTimerList().Add(this);
    else if (activeTimers != nullptr)
        activeTimers->Remove(this);
}
