#include "classlib/controls.h"

void TGraphicControl::Create(TComponent *owner) {
    inherited::Create(owner);
    canvas_ = New<TControlCanvas>();
    canvas_->SetControl(this);
}

void TGraphicControl::Destroy() {
    // The canvas may hold a device context of the parent: given back before the parent goes.
    FreeAndNil(canvas_);
    inherited::Destroy();
}

void TGraphicControl::Dispatch(TMessage &m) {
    if (m.Msg != WM_PAINT) {
        inherited::Dispatch(m);
        return;
    }
    // The parent passes its device context, set to this control's place.
    if (m.WParam == 0)
        return;
    canvas_->FreeHandle();
    canvas_->Lock();
    canvas_->SetHandle(reinterpret_cast<HDC>(m.WParam));
    try {
        Paint();
    } catch (...) {
        canvas_->SetHandle(nullptr);
        canvas_->Unlock();
        throw;
    }
    canvas_->SetHandle(nullptr);
    canvas_->Unlock();
}

void TCustomControl::Create(TComponent *owner) {
    inherited::Create(owner);
    canvas_ = New<TControlCanvas>();
    canvas_->SetControl(this);
}

void TCustomControl::Destroy() {
    FreeAndNil(canvas_);
    inherited::Destroy();
}

void TCustomControl::DestroyWnd() {
    if (canvas_ != nullptr)
        canvas_->FreeHandle();
    inherited::DestroyWnd();
}

void TCustomControl::Dispatch(TMessage &m) {
    if (m.Msg == WM_PAINT) {
        DispatchCustomPaint(m);
        return;
    }
    inherited::Dispatch(m);
}

void TCustomControl::PaintWindow(HDC dc) {
    canvas_->PaintOn(dc, [this] { Paint(); });
}
