// kvControls: mouse tracking, which tells a control when the mouse has left it.
#include <classlib/exceptions.h>
#include <classlib/messages.h>

#include "kvControlServices.h"
#include "kvControlServicesInternal.h"

namespace {

constexpr std::uint32_t trackingInterval = 10;

constinit TList<TMouseTrackingTimer *> *trackingTimers = nullptr;
constinit std::uint32_t lastSerial = 0;

TList<TMouseTrackingTimer *> &trackingTimerList() {
    if (trackingTimers == nullptr)
        trackingTimers = new TList<TMouseTrackingTimer *>;
    return *trackingTimers;
}

int indexOfCaller(IkvMouseTrackingCaller *caller) {
    if (trackingTimers == nullptr)
        return -1;
    for (int i = 0; i < trackingTimers->Count(); ++i)
        if (trackingTimers->Get(i)->Caller == caller)
            return i;
    return -1;
}

// Ends the caller's tracking only when it is still the one of that serial: a caller told of
// the leave may have begun a new one.
void endTracking(IkvMouseTrackingCaller *caller, std::uint32_t serial) {
    int index = indexOfCaller(caller);
    if (index < 0)
        return;
    TMouseTrackingTimer *timer = trackingTimers->Get(index);
    if (timer->Serial() != serial)
        return;
    trackingTimers->Delete(index);
    timer->Free();
}

} // namespace

namespace kvcontrols {

void freeMouseTrackingList() {
    if (trackingTimers != nullptr && !trackingTimers->Empty())
        throw Exception(L"MouseTrackingTimerList.Count <> 0");
    delete trackingTimers;
    trackingTimers = nullptr;
}

} // namespace kvcontrols

void TMouseTrackingTimer::Create(TComponent *owner) {
    inherited::Create(owner);
    serial_ = ++lastSerial;
    SetInterval(trackingInterval);
    SetOnTimer([this](TObject *sender) { tick(sender); });
}

void TMouseTrackingTimer::SetControl(TWinControl *control) {
    if (control == control_)
        return;
    if (control_ != nullptr)
        control_->RemoveFreeNotification(this);
    control_ = control;
    // A control freed while tracked is forgotten rather than touched.
    if (control_ != nullptr)
        control_->FreeNotification(this);
}

void TMouseTrackingTimer::Notification(TComponent *component, TOperation operation) {
    inherited::Notification(component, operation);
    if (operation == opRemove && component == control_)
        control_ = nullptr;
}

bool TMouseTrackingTimer::mouseInside() {
    TPoint cursor{};
    GetCursorPos(&cursor);
    if (auto *caller2 = dynamic_cast<IkvMouseTrackingCaller2 *>(Caller)) {
        if (control_ == nullptr || !control_->HandleAllocated())
            return false;
        ScreenToClient(control_->Handle(), &cursor);
        return caller2->PtInCaller(cursor);
    }
    return PtInRect(&Bounds, cursor) != 0;
}

void TMouseTrackingTimer::tick(TObject *) {
    if (mouseInside())
        return;
    // The control and the caller may end this timer (and begin another) while they are told:
    // nothing of it is touched from here on.
    IkvMouseTrackingCaller *caller = Caller;
    TWinControl *control = control_;
    std::uint32_t serial = serial_;
    try {
        if (control != nullptr && control->HandleAllocated()) {
            TPoint cursor{};
            GetCursorPos(&cursor);
            ScreenToClient(control->Handle(), &cursor);
            RECT client{};
            GetClientRect(control->Handle(), &client);
            if (!PtInRect(&client, cursor))
                control->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(control));
        }
        if (caller != nullptr)
            caller->MouseTrackingCallerMouseLeave();
    } catch (...) {
        endTracking(caller, serial);
        throw;
    }
    endTracking(caller, serial);
}

void BeginMouseTracking(TWinControl *control, const TRect &bounds, IkvMouseTrackingCaller *caller) {
    if (indexOfCaller(caller) >= 0)
        return;
    TMouseTrackingTimer *timer = New<TMouseTrackingTimer>(nullptr);
    try {
        timer->SetControl(control);
        timer->Bounds = bounds;
        if (control != nullptr) {
            TPoint topLeft = control->ClientToScreen(TPoint{bounds.left, bounds.top});
            TPoint bottomRight = control->ClientToScreen(TPoint{bounds.right, bounds.bottom});
            timer->Bounds = TRect{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
        }
        timer->Caller = caller;
        trackingTimerList().Add(timer);
    } catch (...) {
        timer->Free();
        throw;
    }
}

void EndMouseTracking(IkvMouseTrackingCaller *caller) {
    int index = indexOfCaller(caller);
    if (index < 0)
        return;
    TMouseTrackingTimer *timer = trackingTimers->Get(index);
    trackingTimers->Delete(index);
    timer->Free();
}

bool IsMouseTracking(IkvMouseTrackingCaller *caller) { return indexOfCaller(caller) >= 0; }

int MouseTrackingCount() { return trackingTimers != nullptr ? trackingTimers->Count() : 0; }
