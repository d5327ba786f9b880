// The editor's change-events catcher.
#include "kvEditChangeEvents.h"

void TkvEditChangeEventsCatcher::Lock() {
    if (lockCount_ == 0) {
        changePending_ = false;
        editValueChangedPending_ = false;
    }
    ++lockCount_;
}

void TkvEditChangeEventsCatcher::Unlock(bool invoke) {
    if (lockCount_ <= 0)
        return;
    if (--lockCount_ != 0 || !invoke || editor_ == nullptr || editor_->IsLoadingOrDestroying())
        return;
    if (changePending_ && editor_->HasChangeHandlers())
        editor_->DoChange();
    if (editValueChangedPending_ && editor_->HasEditValueChangedHandlers())
        editor_->DoEditValueChanged();
}

TkvEditChangeEventsLock::~TkvEditChangeEventsLock() noexcept(false) {
    // Leaving by an exception: unlock without raising more, and let the first one go on.
    if (std::uncaught_exceptions() > exceptions_) {
        try {
            catcher_->Unlock(false);
        } catch (...) {
        }
        return;
    }
    catcher_->Unlock(true);
}
