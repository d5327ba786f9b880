// The two drag-and-drop mechanisms of TkvControl: the library's own (an object that follows the
// mouse while the control holds the capture) and the class library's (a drag control object with
// an image list), and the drag-detect loop that tells a click from the start of a drag.
#include <classlib/messages.h>

#include "kvControls.h"

namespace {

TDragObject *currentDragObject = nullptr;

} // namespace

TDragObject *GetCurrentDragObject() noexcept { return currentDragObject; }

// --- TkvDragAndDropObject

void TkvDragAndDropObject::Create(TkvControl *control) {
    inherited::Create();
    control_ = control;
    canvas_ = control != nullptr ? control->KvCanvas() : nullptr;
}

void TkvDragAndDropObject::SetDirty(bool value) {
    if (dirty_ == value)
        return;
    dirty_ = value;
    DirtyChanged();
}

TCursor TkvDragAndDropObject::GetDragAndDropCursor(bool accepted) { return accepted ? crDrag : crNoDrop; }

void TkvDragAndDropObject::DragAndDrop(const TPoint &, bool &accepted) {
    SetDirty(false);
    Screen->SetCursor(GetDragAndDropCursor(accepted));
}

void TkvDragAndDropObject::DoBeginDragAndDrop() {
    TPoint p = control_ != nullptr ? control_->ScreenToClient(Mouse->CursorPos()) : Mouse->CursorPos();
    CurMousePos = p;
    PrevMousePos = p;
    BeginDragAndDrop();
}

void TkvDragAndDropObject::DoDragAndDrop(const TPoint &p, bool &accepted) {
    PrevMousePos = CurMousePos;
    CurMousePos = p;
    DragAndDrop(p, accepted);
}

void TkvDragAndDropObject::DoEndDragAndDrop(bool accepted) {
    PrepareEndDragAndDrop(accepted);
    EndDragAndDrop(accepted);
}

// --- TkvDragControlObject

TCursor TkvDragControlObject::GetDragCursor(bool accepted, int x, int y) {
    if (accepted && IsCtrlPressed())
        return crkvDragCopy;
    return inherited::GetDragCursor(accepted, x, y);
}

void TkvDragControlObject::Finished(TObject *target, int x, int y, bool accepted) {
    inherited::Finished(target, x, y, accepted);
    // The control made this object for the drag; the drag does not free what it was handed.
    ::Free(this);
}

// --- TkvControl: the library's drag and drop

TkvDragAndDropObjectClass TkvControl::GetDragAndDropObjectClass() {
    return dragAndDropObjectClass_ != nullptr ? dragAndDropObjectClass_ : TkvDragAndDropObject::ClassInfo();
}

TkvDragAndDropObject *TkvControl::DragAndDropObject() {
    if (dragAndDropObject_ == nullptr)
        dragAndDropObject_ = NewOf<TkvDragAndDropObject>(GetDragAndDropObjectClass(), this);
    return dragAndDropObject_;
}

void TkvControl::SetDragAndDropState(TkvDragAndDropState value) {
    if (dragAndDropState_ == value)
        return;
    dragAndDropState_ = value;
    if (value == ddsNone && !finishingDragAndDrop_)
        CancelMouseOperations();
}

void TkvControl::BeginDragAndDrop() {
    DragAndDropObject()->DoBeginDragAndDrop();
    SetMouseCapture(true);
    dragAndDropPrevCursor_ = Screen->Cursor();
    dragAndDropState_ = ddsInProcess;
}

void TkvControl::DoDragAndDrop(const TPoint &p, bool &accepted) { DragAndDropObject()->DoDragAndDrop(p, accepted); }

void TkvControl::EndDragAndDrop(bool accepted) {
    SetDragAndDropState(ddsNone);
    Screen->SetCursor(dragAndDropPrevCursor_);
    if (HandleAllocated())
        SetMouseCapture(false);
    SetMouseCaptureObject(nullptr);
    DragAndDropObject()->DoEndDragAndDrop(accepted);
}

void TkvControl::FinishDragAndDrop(bool accepted) {
    if (finishingDragAndDrop_)
        return;
    finishingDragAndDrop_ = true;
    try {
        if (dragAndDropState_ == ddsInProcess)
            EndDragAndDrop(accepted);
        else
            SetDragAndDropState(ddsNone);
    } catch (...) {
        finishingDragAndDrop_ = false;
        FreeAndNil(dragAndDropObject_);
        throw;
    }
    finishingDragAndDrop_ = false;
    FreeAndNil(dragAndDropObject_);
}

// --- TkvControl: the class library's drag and drop

TClass TkvControl::GetDragObjectClass() { return TkvDragControlObject::ClassInfo(); }

TClass TkvControl::GetDragImagesClass() { return TkvDragImageList::ClassInfo(); }

void TkvControl::DoStartDrag(TDragObject *&dragObject) {
    Update();
    inherited::DoStartDrag(dragObject);
    if (dragObject == nullptr) {
        if (TClass cls = GetDragObjectClass())
            dragObject = NewOf<TDragControlObject>(cls, static_cast<TControl *>(this));
    }
    if (dragObject != nullptr && !AllowDragStart(dragObject)) {
        FreeAndNil(dragObject);
        CancelDrag();
    }
}

void TkvControl::DoEndDrag(TObject *target, int x, int y) {
    inherited::DoEndDrag(target, x, y);
    FreeAndNil(dragImages_);
}

void TkvControl::forgetCurrentDragTarget() noexcept {
    if (currentDragObject != nullptr && currentDragObject->DragTarget == this)
        currentDragObject = nullptr;
}

void TkvControl::DragOver(TObject *source, int x, int y, TDragState state, bool &accept) {
    if (state == dsDragLeave)
        currentDragObject = nullptr;
    else if (auto *object = dynamic_cast<TDragObject *>(source))
        currentDragObject = object;
    inherited::DragOver(source, x, y, state, accept);
}

void TkvControl::paintUnderDragImage(TMessage &m) {
    TDragObject *drag = currentDragObject;
    if (drag == nullptr) {
        inherited::Dispatch(m);
        return;
    }
    drag->HideDragImage();
    try {
        inherited::Dispatch(m);
    } catch (...) {
        if (currentDragObject == drag)
            drag->ShowDragImage();
        throw;
    }
    // The painting may have ended the drag.
    if (currentDragObject == drag)
        drag->ShowDragImage();
}

void TkvControl::InitDragImages(TkvDragImageList *images) {
    TSize size{};
    GetDragImagesSize(size);
    images->SetWidth(size.cx);
    images->SetHeight(size.cy);
    if (size.cx == 0 || size.cy == 0)
        return;
    TOwned<TBitmap> bitmap(New<TBitmap>());
    bitmap->SetSize(size.cx, size.cy);
    TOwned<TkvCanvas> canvas(New<TkvCanvas>(bitmap->GetCanvas()));
    DrawDragImage(canvas.get(), TRect{0, 0, size.cx, size.cy});
    images->AddMasked(bitmap.get(), bitmap->GetTransparentColor());
}

TDragImageList *TkvControl::GetDragImages() {
    if (!HasDragImages())
        return nullptr;
    if (dragImages_ == nullptr) {
        dragImages_ = NewOf<TkvDragImageList>(GetDragImagesClass(), static_cast<TComponent *>(nullptr));
        InitDragImages(dragImages_);
    }
    return dragImages_->GetCount() > 0 ? dragImages_ : nullptr;
}

// --- the drag-detect loop

TkvDragDetect TkvControl::GetDragDetect() {
    HWND window = Handle();
    TPoint origin = Mouse->CursorPos();
    int threshold = Mouse->DragThreshold();
    TRect area{origin.x - threshold, origin.y - threshold, origin.x + threshold, origin.y + threshold};
    ::SetCapture(window);
    TkvDragDetect result = ddCancel;
    MSG msg;
    while (GetCapture() == window) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        bool stop = false;
        switch (msg.message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
            if (msg.wParam == VK_ESCAPE) {
                result = ddCancel;
                stop = true;
            }
            break;
        case WM_MOUSEMOVE:
            if (msg.hwnd == window) {
                POINT p{static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
                ::ClientToScreen(window, &p);
                if (!PtInRect(&area, p)) {
                    result = ddDrag;
                    stop = true;
                }
            }
            break;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            result = ddNone;
            stop = true;
            break;
        default:
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        if (stop)
            break;
    }
    if (GetCapture() == window)
        ReleaseCapture();
    return result;
}

void TkvControl::AfterMouseDown(TMouseButton button, int x, int y) {
    if (DragMode() == dmAutomatic && button == mbLeft && MouseCapture() &&
        (!IsDesigning() || IsDesignTimeHit(x, y, TShiftState{})) && StartDragAllowed()) {
        TkvObjectLink *link = CreateObjectLink(this);
        TkvDragDetect detect = ddCancel;
        try {
            detect = GetDragDetect();
        } catch (...) {
            ReleaseObjectLink(link);
            throw;
        }
        bool alive = link->Ref != nullptr;
        ReleaseObjectLink(link);
        if (alive && detect == ddDrag)
            BeginDrag(true);
    }
    if (button == mbMiddle)
        runAutoScroll();
}
