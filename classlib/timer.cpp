#include "classlib/timer.h"

#include "classlib/exception_handler.h"
#include "classlib/hidden_window.h"
#include "classlib/resource_strings.h"

namespace {

constexpr UINT_PTR timerId = 1;

inline constexpr TResourceString SNoTimers{L"Not enough timers available"};

} // namespace

void TTimer::Create(TComponent *owner) {
    inherited::Create(owner);
    window_ = AllocateHWnd(Bind(this, &TTimer::windowProcedure));
    updateTimer();
}

void TTimer::Destroy() {
    enabled_ = false;
    if (window_ != nullptr) {
        if (running_)
            KillTimer(window_, timerId);
        running_ = false;
        // Safe from inside this timer's own OnTimer: the window goes once its message is done.
        DeallocateHWnd(window_);
        window_ = nullptr;
    }
    inherited::Destroy();
}

void TTimer::SetEnabled(bool value) {
    if (value == enabled_)
        return;
    enabled_ = value;
    updateTimer();
}

void TTimer::SetInterval(unsigned value) {
    if (value == interval_)
        return;
    interval_ = value;
    updateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent value) {
    onTimer_ = std::move(value);
    updateTimer();
}

void TTimer::updateTimer() {
    if (window_ == nullptr)
        return;
    if (running_) {
        // Also drops any tick of the old timer still waiting in the queue.
        KillTimer(window_, timerId);
        running_ = false;
    }
    if (!enabled_ || interval_ == 0 || !onTimer_)
        return;
    // Intervals above the system's largest run at the largest.
    UINT interval = interval_ > USER_TIMER_MAXIMUM ? USER_TIMER_MAXIMUM : interval_;
    if (SetTimer(window_, timerId, interval, nullptr) == 0)
        throw EOutOfResources(LoadResString(SNoTimers));
    running_ = true;
}

void TTimer::windowProcedure(TMessage &message) {
    if (message.Msg != WM_TIMER) {
        DefaultHandler(window_, message);
        return;
    }
    // A tick taken from the queue before the timer stopped is not delivered.
    if (message.WParam != timerId || !running_)
        return;
    // OnTimer may free this timer: nothing of it is touched after the call.
    GuardedCall(this, [this] { Timer(); });
}

void TTimer::Timer() {
    if (onTimer_) {
        // A copy: the handler may replace itself or free the timer.
        TNotifyEvent handler = onTimer_;
        handler(this);
    }
}
