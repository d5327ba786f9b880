// kvControls: the controller that passes changed non-client metrics on to the controls.
#include <classlib/exception_handler.h>

#include "kvControlServices.h"
#include "kvControlServicesInternal.h"

namespace {

constinit TUnitSingleton<TkvSettingsController> settingsController;

} // namespace

namespace kvcontrols {

void freeSettingsController() { settingsController.Release(); }

} // namespace kvcontrols

TkvSettingsController *GetSettingsController() { return settingsController.Get(); }

void TkvSettingsController::Destroy() {
    DeallocateHWnd(window_);
    window_ = nullptr;
    inherited::Destroy();
}

void TkvSettingsController::AddListener(TWinControl *control) {
    if (control == nullptr || listeners_.IndexOf(control) >= 0)
        return;
    if (window_ == nullptr)
        window_ = AllocateHWnd([this](TMessage &message) { WndProc(message); });
    listeners_.Add(control);
}

void TkvSettingsController::RemoveListener(TWinControl *control) {
    listeners_.Remove(control);
    if (listeners_.Empty() && window_ != nullptr) {
        // Safe from inside the window's own message.
        DeallocateHWnd(window_);
        window_ = nullptr;
    }
}

void TkvSettingsController::WndProc(TMessage &message) {
    GuardedCall(this, [&] { handleMessage(message); });
}

void TkvSettingsController::handleMessage(TMessage &message) {
    if (message.Msg != WM_SETTINGCHANGE || message.WParam != SPI_SETNONCLIENTMETRICS) {
        DefaultHandler(window_, message);
        return;
    }
    // A control may go away, or take others away, while it is told: each is told only while
    // it is still registered.
    TList<TWinControl *> snapshot = listeners_;
    for (TWinControl *control : snapshot)
        if (listeners_.IndexOf(control) >= 0 && control->HandleAllocated())
            SendNotifyMessageW(control->Handle(), KV_SYSTEMSETTINGSCHANGED, 0, 0);
    message.Result = 0;
}
