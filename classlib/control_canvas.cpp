#include "classlib/controls.h"

#include <algorithm>
#include <vector>

namespace {

// Canvases holding a window's device context they took themselves. Such a context is one of the
// system's few shared ones: it goes back as soon as the message that wanted it was handled.
std::vector<TControlCanvas *> &canvasesWithDC() {
    static std::vector<TControlCanvas *> list;
    return list;
}

} // namespace

void FreeDeviceContexts() {
    std::vector<TControlCanvas *> list = canvasesWithDC();
    for (TControlCanvas *canvas : list)
        if (canvas->LockCount() == 0)
            canvas->FreeHandle();
}

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
    auto &list = canvasesWithDC();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
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
    canvasesWithDC().push_back(this);
    SetHandle(dc);
}
