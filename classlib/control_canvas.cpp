#include "classlib/controls.h"

void TControlCanvas::SetControl(TControl *control) {
    if (control_ == control)
        return;
    FreeHandle();
    control_ = control;
}

void TControlCanvas::Destroy() {
    FreeHandle();
    inherited::Destroy();
}

void TControlCanvas::FreeHandle() {
    if (dc_ == nullptr)
        return;
    HDC dc = dc_;
    dc_ = nullptr;
    SetHandle(nullptr);
    ReleaseDC(dcWindow_, dc);
    dcWindow_ = nullptr;
}

void TControlCanvas::CreateHandle() {
    if (control_ == nullptr)
        return;
    // A graphic control draws on its parent's window, moved to its place and clipped to it.
    auto *win = dynamic_cast<TWinControl *>(control_);
    TWinControl *owner = win != nullptr ? win : control_->Parent();
    if (owner == nullptr)
        return;
    HWND window = owner->GetHandle();
    HDC dc = GetDCEx(window, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
    if (dc == nullptr)
        RaiseLastOSError();
    if (win == nullptr) {
        SetWindowOrgEx(dc, -control_->Left(), -control_->Top(), nullptr);
        IntersectClipRect(dc, 0, 0, control_->Width(), control_->Height());
    }
    dc_ = dc;
    dcWindow_ = window;
    SetHandle(dc);
}
