// A control's right-to-left mode: its own, or its parent's while ParentBiDiMode is on.
#include "classlib/controls.h"

UINT TControl::DrawTextBiDiModeFlags(UINT flags) const noexcept {
    if (UseRightToLeftAlignment()) {
        if ((flags & DT_RIGHT) != 0)
            flags &= ~static_cast<UINT>(DT_RIGHT);
        else if ((flags & DT_CENTER) == 0)
            flags |= DT_RIGHT;
    }
    return flags | DrawTextBiDiModeFlagsReadingOnly();
}

void TControl::SetBiDiMode(TBiDiMode value) {
    parentBiDiMode_ = false;
    if (value == biDiMode_)
        return;
    biDiMode_ = value;
    biDiModeChanged();
}

void TControl::SetParentBiDiMode(bool value) {
    if (value == parentBiDiMode_)
        return;
    parentBiDiMode_ = value;
    if (value && parent_ != nullptr)
        takeParentBiDiMode();
}

void TControl::takeParentBiDiMode() {
    if (parent_ == nullptr || parent_->biDiMode_ == biDiMode_)
        return;
    biDiMode_ = parent_->biDiMode_;
    biDiModeChanged();
}

void TControl::biDiModeChanged() {
    // The window's reading order is fixed when it is made.
    if (auto *windowed = dynamic_cast<TWinControl *>(this); windowed != nullptr) {
        if (windowed->HandleAllocated())
            windowed->RecreateWnd();
        for (int i = 0; i < windowed->ControlCount(); ++i) {
            TControl *child = windowed->Controls(i);
            if (child->parentBiDiMode_)
                child->takeParentBiDiMode();
        }
    }
    Perform(CM_BIDIMODECHANGED, 0, 0);
    Invalidate();
}
