// The drag manager: one drag at a time, from BeginDrag on a source control until the button
// comes up, Esc or a lost capture. A hidden window of its own holds the mouse; every move finds
// the control under the cursor, tells it with CM_DRAG (enter, move, leave, drop), sets the cursor
// from the target's answer and moves the drag picture, which is drawn into the top-level window
// under the cursor when the target shows drag pictures (csDisplayDragImage).
#include "drag_manager.h"

#include <cstdlib>

#include "classlib/controls.h"
#include "classlib/exception_handler.h"
#include "classlib/forms.h"

struct DragSession {
    TDragObject *object = nullptr;
    TControl *source = nullptr;
    bool freeObject = false;
    // Past the threshold: targets are told and the picture shown.
    bool active = false;
    bool ending = false;
    TPoint start{};
    int threshold = 0;
    HWND capture = nullptr;
    TDragImageList *images = nullptr;

    static void begin(TControl *control, bool immediate, int threshold);
    static void end(bool drop);
    static void activate();
    static void dragTo(TPoint p);
    static bool tell(TControl *target, TDragMessage message);
    static void moveImage(TControl *target, TPoint p);
    static void windowProc(TMessage &m);
    static void reset();
};

namespace {

constinit DragSession session;

HWND windowOf(TControl *control) {
    for (TControl *c = control; c != nullptr; c = c->Parent())
        if (auto *win = dynamic_cast<TWinControl *>(c))
            return win->HandleAllocated() ? win->Handle() : nullptr;
    return nullptr;
}

} // namespace

// --- drag objects

TCursor TDragObject::GetDragCursor(bool accepted, int, int) { return accepted ? crDrag : crNoDrop; }

void TDragObject::HideDragImage() {
    if (TDragImageList *images = GetDragImages())
        images->HideDragImage();
}

void TDragObject::ShowDragImage() {
    if (TDragImageList *images = GetDragImages())
        images->ShowDragImage();
}

void TDragObject::Finished(TObject *, int, int, bool) {}

TCursor TDragControlObject::GetDragCursor(bool accepted, int, int) {
    return accepted && Control != nullptr ? Control->DragCursor() : crNoDrop;
}

TDragImageList *TDragControlObject::GetDragImages() { return Control != nullptr ? Control->GetDragImages() : nullptr; }

void TDragControlObject::Finished(TObject *target, int x, int y, bool accepted) {
    if (Control != nullptr)
        Control->DoEndDrag(accepted ? target : nullptr, x, y);
}

// --- the control's side

TDragObject *TControl::CreateDragObject() { return New<TDragControlObject>(this); }

void TControl::BeginDrag(bool immediate, int threshold) { DragSession::begin(this, immediate, threshold); }

void TControl::EndDrag(bool drop) {
    if (session.source == this)
        DragSession::end(drop);
}

void TControl::DoStartDrag(TDragObject *&dragObject) {
    if (OnStartDrag)
        OnStartDrag(this, dragObject);
}

void TControl::DoEndDrag(TObject *target, int x, int y) {
    if (OnEndDrag)
        OnEndDrag(this, target, x, y);
}

void TControl::DragOver(TObject *source, int x, int y, TDragState state, bool &accept) {
    accept = false;
    if (OnDragOver) {
        accept = true;
        OnDragOver(this, source, x, y, state, accept);
    }
}

void TControl::DragDrop(TObject *source, int x, int y) {
    if (OnDragDrop)
        OnDragDrop(this, source, x, y);
}

void TControl::CMDrag(TMessage &m) {
    auto *rec = reinterpret_cast<TDragRec *>(m.LParam);
    if (rec == nullptr)
        return;
    auto message = static_cast<TDragMessage>(m.WParam);
    if (message == dmFindTarget) {
        TControl *target = this;
        if (auto *win = dynamic_cast<TWinControl *>(this))
            if (TControl *child = win->ControlAtPos(ScreenToClient(rec->Pos), false))
                target = child;
        m.Result = reinterpret_cast<LRESULT>(target);
        return;
    }
    // A drag the library made its own object for speaks of its control.
    TObject *source = rec->Source;
    if (rec->Source == session.object && session.freeObject)
        if (auto *controlObject = dynamic_cast<TDragControlObject *>(rec->Source))
            source = controlObject->Control;
    TPoint p = ScreenToClient(rec->Pos);
    switch (message) {
    case dmDragEnter:
    case dmDragLeave:
    case dmDragMove: {
        bool accept = true;
        TDragState state = message == dmDragEnter ? dsDragEnter : message == dmDragLeave ? dsDragLeave : dsDragMove;
        DragOver(source, p.x, p.y, state, accept);
        m.Result = accept ? 1 : 0;
        return;
    }
    case dmDragDrop:
        DragDrop(source, p.x, p.y);
        return;
    default:
        return;
    }
}

TControl *FindDragTarget(TPoint screenPos, bool allowDisabled) {
    TWinControl *window = FindVCLWindow(screenPos);
    if (window == nullptr || (!allowDisabled && !window->Enabled()))
        return nullptr;
    TDragRec rec{screenPos, session.object, nullptr};
    auto found = window->Perform(CM_DRAG, dmFindTarget, reinterpret_cast<LPARAM>(&rec));
    return found != 0 ? reinterpret_cast<TControl *>(found) : window;
}

TDragObject *ActiveDragObject() noexcept { return session.object; }

void CancelDrag() {
    if (session.source != nullptr)
        DragSession::end(false);
}

// --- the session

void DragSession::begin(TControl *control, bool immediate, int threshold) {
    if (session.source != nullptr || control == nullptr)
        return;
    session.source = control;
    TDragObject *object = nullptr;
    try {
        control->DoStartDrag(object);
    } catch (...) {
        reset();
        throw;
    }
    if (session.source != control)
        return; // cancelled while starting
    session.freeObject = object == nullptr;
    if (object == nullptr)
        object = control->CreateDragObject();
    session.object = object;
    control->dragObject_ = object;
    session.threshold = threshold >= 0 ? threshold : Mouse->DragThreshold();
    GetCursorPos(&session.start);
    object->DragPos = session.start;
    try {
        session.capture = AllocateHWnd(windowProc);
    } catch (...) {
        end(false);
        throw;
    }
    ::SetCapture(session.capture);
    if (immediate)
        activate();
}

void DragSession::activate() {
    session.active = true;
    session.images = session.object->GetDragImages();
    if (session.images != nullptr && !session.images->BeginDrag(nullptr, 0, 0))
        session.images = nullptr;
    dragTo(session.start);
}

bool DragSession::tell(TControl *target, TDragMessage message) {
    TDragRec rec{session.object->DragPos, session.object, target};
    return target->Perform(CM_DRAG, message, reinterpret_cast<LPARAM>(&rec)) != 0;
}

void DragSession::moveImage(TControl *target, TPoint p) {
    if (session.images == nullptr)
        return;
    HWND window = nullptr;
    if (target != nullptr && target->ControlStyle().Contains(csDisplayDragImage))
        window = GetAncestor(windowOf(target), GA_ROOT);
    if (window == nullptr) {
        session.images->DragUnlock();
        return;
    }
    RECT r{};
    GetWindowRect(window, &r);
    session.images->DragLock(window, p.x - r.left, p.y - r.top);
}

void DragSession::dragTo(TPoint p) {
    TDragObject *object = session.object;
    object->DragPos = p;
    TControl *target = FindDragTarget(p, false);
    if (target != object->DragTarget) {
        if (TControl *old = object->DragTarget) {
            tell(old, dmDragLeave);
            if (session.object != object)
                return; // the drag ended in the handler
        }
        object->DragTarget = target;
        object->DragHandle = windowOf(target);
        if (target != nullptr) {
            object->DragTargetPos = target->ScreenToClient(p);
            tell(target, dmDragEnter);
            if (session.object != object)
                return;
        }
    }
    bool accepted = false;
    if (object->DragTarget != nullptr) {
        object->DragTargetPos = object->DragTarget->ScreenToClient(p);
        accepted = tell(object->DragTarget, dmDragMove);
        if (session.object != object)
            return;
    }
    ::SetCursor(Screen->Cursors(object->GetDragCursor(accepted, p.x, p.y)));
    moveImage(object->DragTarget, p);
}

void DragSession::end(bool drop) {
    if (session.object == nullptr) {
        // Asked to stop while the source was still choosing its object.
        if (!session.ending)
            reset();
        return;
    }
    if (session.ending)
        return;
    session.ending = true;
    TDragObject *object = session.object;
    TControl *source = session.source;
    bool freeObject = session.freeObject;
    TControl *target = session.active ? object->DragTarget : nullptr;
    TPoint targetPos{};
    bool accepted = false;
    // The picture goes first, so that what the target paints on the drop stays.
    if (session.images != nullptr)
        session.images->EndDrag();
    session.images = nullptr;
    HWND capture = session.capture;
    session.capture = nullptr;
    if (capture != nullptr) {
        if (GetCapture() == capture)
            ReleaseCapture();
        DeallocateHWnd(capture);
    }
    source->dragObject_ = nullptr;
    object->Cancelling = !drop;
    try {
        if (target != nullptr) {
            accepted = tell(target, dmDragLeave) && drop;
            object->DragTarget = nullptr;
            if (accepted) {
                targetPos = target->ScreenToClient(object->DragPos);
                tell(target, dmDragDrop);
            }
        }
        object->Dropped = accepted;
        object->Finished(accepted ? target : nullptr, targetPos.x, targetPos.y, accepted);
    } catch (...) {
        if (freeObject)
            Free(object);
        reset();
        Screen->SetCursor(Screen->Cursor());
        throw;
    }
    // The object is gone when it freed itself in Finished.
    if (freeObject)
        Free(object);
    reset();
    Screen->SetCursor(Screen->Cursor());
}

void DragSession::reset() {
    if (session.source != nullptr)
        session.source->dragObject_ = nullptr;
    session = DragSession{};
}

void DragSession::windowProc(TMessage &m) {
    switch (m.Msg) {
    case WM_MOUSEMOVE: {
        if (session.object == nullptr)
            break;
        POINT p = MessagePoint(m);
        ::ClientToScreen(session.capture, &p);
        if (!session.active) {
            if (std::abs(p.x - session.start.x) <= session.threshold && std::abs(p.y - session.start.y) <= session.threshold)
                return;
            activate();
            if (session.object == nullptr)
                return;
        }
        dragTo(p);
        return;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        end(true);
        return;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(m.LParam) != session.capture && session.object != nullptr)
            end(false);
        return;
    case WM_CANCELMODE:
        end(false);
        return;
    default:
        break;
    }
    DefaultHandler(session.capture, m);
}

bool DragKeyMessage(UINT msg, WPARAM key) {
    if (session.object == nullptr || session.ending)
        return false;
    bool down = msg == WM_KEYDOWN || msg == CN_KEYDOWN;
    if (down && key == VK_ESCAPE) {
        DragSession::end(false);
        return true;
    }
    // Ctrl may change what the target answers and so the cursor; the key goes on.
    if (key == VK_CONTROL && session.active)
        DragSession::dragTo(session.object->DragPos);
    return false;
}

void DragControlDestroying(TControl *control) noexcept {
    try {
        if (session.object != nullptr && session.object->DragTarget == control)
            session.object->DragTarget = nullptr;
        if (session.source == control)
            DragSession::end(false);
    } catch (...) {
        HandleException(nullptr);
    }
}
