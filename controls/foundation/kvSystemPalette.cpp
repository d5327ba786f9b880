// kvSystemPalette: the listener window and its notifiers.
#include "kvSystemPalette.h"

#include "ztOffice11.h"

namespace {

constinit TkvSystemPaletteChangedListener *listener = nullptr;
// Set while the listener tells its notifiers: the last notifier going meanwhile leaves the
// freeing of the listener to the end of the delivery.
constinit int deliveryDepth = 0;
constinit bool releasePending = false;

void releaseListenerIfUnused() {
    if (listener == nullptr || listener->NotifierCount() > 0)
        return;
    if (deliveryDepth > 0) {
        releasePending = true;
        return;
    }
    FreeAndNil(listener);
    DropOffice11Colors();
}

} // namespace

TkvSystemPaletteChangedListener *SystemPaletteChangedListener() noexcept { return listener; }

void TkvSystemPaletteChangedListener::Create() {
    inherited::Create();
    window_ = AllocateHWnd([this](TMessage &message) { WndProc(message); });
}

void TkvSystemPaletteChangedListener::Destroy() {
    DeallocateHWnd(window_);
    window_ = nullptr;
    inherited::Destroy();
}

void TkvSystemPaletteChangedListener::AddNotifier(TkvSystemPaletteChangedNotifier *notifier) {
    TList<TkvSystemPaletteChangedNotifier *> &list = notifier->IsPrimary() ? primaryNotifiers_ : notifiers_;
    if (list.IndexOf(notifier) < 0)
        list.Add(notifier);
}

void TkvSystemPaletteChangedListener::RemoveNotifier(TkvSystemPaletteChangedNotifier *notifier) {
    primaryNotifiers_.Remove(notifier);
    notifiers_.Remove(notifier);
}

// From the last registered to the first, over a copy: a notifier freed by an earlier handler is
// skipped, one added meanwhile waits for the next change.
void TkvSystemPaletteChangedListener::notifyAll(TList<TkvSystemPaletteChangedNotifier *> &list) {
    TList<TkvSystemPaletteChangedNotifier *> snapshot = list;
    for (int i = snapshot.Count() - 1; i >= 0; --i) {
        TkvSystemPaletteChangedNotifier *notifier = snapshot[i];
        if (list.IndexOf(notifier) >= 0)
            notifier->DoChanged();
    }
}

void TkvSystemPaletteChangedListener::WndProc(TMessage &message) {
    if (message.Msg == WM_SYSCOLORCHANGE) {
        ++deliveryDepth;
        try {
            UpdateOffice11Colors();
            notifyAll(primaryNotifiers_);
            notifyAll(notifiers_);
        } catch (...) {
            --deliveryDepth;
            throw;
        }
        --deliveryDepth;
    }
    HWND window = window_;
    DefaultHandler(window, message);
    if (deliveryDepth == 0 && releasePending) {
        releasePending = false;
        releaseListenerIfUnused();
    }
}

void TkvSystemPaletteChangedNotifier::Create(bool isPrimary) {
    inherited::Create();
    isPrimary_ = isPrimary;
    if (listener == nullptr) {
        AcquireOffice11Colors();
        try {
            listener = New<TkvSystemPaletteChangedListener>();
        } catch (...) {
            DropOffice11Colors();
            throw;
        }
    }
    listener->AddNotifier(this);
    registered_ = true;
}

void TkvSystemPaletteChangedNotifier::DoChanged() {
    if (OnSystemPaletteChanged)
        OnSystemPaletteChanged();
}

void TkvSystemPaletteChangedNotifier::Destroy() {
    if (registered_ && listener != nullptr) {
        listener->RemoveNotifier(this);
        registered_ = false;
        releaseListenerIfUnused();
    }
    inherited::Destroy();
}
