// TkvControl: creation, message dispatch, focus on click, mouse, keys, painting and the
// context menu.
#include <classlib/exceptions.h>
#include <classlib/messages.h>

#include "kvControls.h"

namespace {

// Releases a weak link when the scope ends.
class LinkScope {
public:
    explicit LinkScope(TObject *object) : link_(CreateObjectLink(object)) {}
    ~LinkScope() { ReleaseObjectLink(link_); }
    LinkScope(const LinkScope &) = delete;
    LinkScope &operator=(const LinkScope &) = delete;
    bool alive() const noexcept { return link_->Ref != nullptr; }

private:
    TkvObjectLink *link_;
};

} // namespace

void TkvControl::Create(TComponent *owner) {
    inherited::Create(owner);
    if (HasDragImages()) {
        TControlStyle style = ControlStyle();
        style.Include(csDisplayDragImage);
        SetControlStyle(style);
    }
    kvCanvas_ = New<TkvCanvas>(Canvas());
    lookAndFeel_ = New<TkvLookAndFeel>(static_cast<TPersistent *>(this));
    lookAndFeel_->OnChanged = [this](TkvLookAndFeel *sender, TkvLookAndFeelValues values) {
        LookAndFeelChanged(sender, values);
        Invalidate();
    };
    scrollBars_ = ssBoth;
    if (NeedsScrollBars()) {
        createScrollBars();
        GetSettingsController()->AddListener(this);
        registeredForSettings_ = true;
    }
    SetTabStop(MayFocus());
    SetParentBackground(true);
    lastParentBackground_ = ParentBackground();
}

void TkvControl::BeforeDestruction() {
    if (!ComponentState().Contains(csDestroying))
        Destroying();
    inherited::BeforeDestruction();
}

void TkvControl::Destroy() {
    if (Dragging())
        EndDrag(false);
    forgetCurrentDragTarget();
    if (registeredForSettings_ && GetSettingsController() != nullptr)
        GetSettingsController()->RemoveListener(this);
    registeredForSettings_ = false;
    destroyScrollBars();
    FreeAndNil(dragAndDropObject_);
    FreeAndNil(dragImages_);
    FreeAndNil(kvCanvas_);
    FreeAndNil(lookAndFeel_);
    if (popupMenu_ != nullptr)
        popupMenu_->RemoveFreeNotification(this);
    popupMenu_ = nullptr;
    ClearObjectLinks(this);
    inherited::Destroy();
}

void TkvControl::Notification(TComponent *component, TOperation operation) {
    inherited::Notification(component, operation);
    if (operation == opRemove && component == popupMenu_)
        popupMenu_ = nullptr;
}

void TkvControl::CreateParams(TCreateParams &params) {
    inherited::CreateParams(params);
    params.Style |= WS_CLIPCHILDREN;
}

void TkvControl::CreateWnd() {
    inherited::CreateWnd();
    AttachScrollBars();
}

void TkvControl::Resize() {
    inherited::Resize();
    BoundsChanged();
}

void TkvControl::SetBorderStyle(TkvControlBorderStyle value) {
    if (borderStyle_ == value)
        return;
    borderStyle_ = value;
    BoundsChanged();
    Invalidate();
}

void TkvControl::SetScrollBars(TScrollStyle value) {
    if (scrollBars_ == value)
        return;
    scrollBars_ = value;
    UpdateScrollBars();
}

void TkvControl::SetPopupMenuComponent(TComponent *value) { SetPopupMenuReference(this, popupMenu_, value); }

TPopupMenu *TkvControl::GetPopupMenu() const { return dynamic_cast<TPopupMenu *>(popupMenu_); }

void TkvControl::InvalidateRect(const TRect &rect, bool erase) {
    if (HandleAllocated())
        ::InvalidateRect(Handle(), &rect, erase ? TRUE : FALSE);
}

// --- overridable defaults

bool TkvControl::DoShowPopupMenu(TComponent *menu, int x, int y) { return ShowPopupMenu(this, menu, x, y); }

void TkvControl::EndMouseOperations() {
    FinishDragAndDrop(true);
    SetMouseCaptureObject(nullptr);
}

bool TkvControl::CanFocusOnClick() { return !IsDesigning() && focusOnClick_ && MayFocus() && CanFocus(); }

bool TkvControl::CanFocusOnClickAt(int, int) { return CanFocusOnClick(); }

bool TkvControl::CanFocusOnScrollBarClick(TkvControlScrollBar *) { return CanFocusOnClick(); }

int TkvControl::GetBorderSize() { return borderStyle_ == kcbsNone ? 0 : GetPainter()->GetControlFrameWidth(); }

void TkvControl::GetBounds(TRect &rect) {
    if (HandleAllocated())
        rect = ClientRect();
    else
        rect = TRect{0, 0, Width(), Height()};
}

void TkvControl::GetClientBounds(TRect &rect) {
    GetBounds(rect);
    int border = GetBorderSize();
    InflateRect(&rect, -border, -border);
    if (IsHScrollBarVisible())
        rect.bottom -= hScrollBar_->Height();
    if (IsVScrollBarVisible())
        rect.right -= vScrollBar_->Width();
}

TCursor TkvControl::GetCurrentCursor(int, int) { return currentCursor_; }

bool TkvControl::IsDesigning() { return ComponentState().Contains(csDesigning); }

bool TkvControl::IsFocused() { return Focused(); }

TkvWheelScrollKind TkvControl::GetWheelScrollKind() { return IsVScrollBarVisible() ? wskVertical : wskNone; }

TkvPainterClass TkvControl::GetPainter() { return lookAndFeel_->GetPainter(); }

bool TkvControl::IsFocusable() {
    if (!CanFocus())
        return false;
    TCustomForm *form = GetParentForm(this);
    return form == nullptr || (form->CanFocus() && form->Enabled() && form->Visible());
}

bool TkvControl::CanDrag(int x, int y) {
    return DragMode() == dmManual || IsPointInDragDetectArea(mouseDownPos_, x, y);
}

void TkvControl::AddChildComponent(TkvControlChildComponent *component) { component->SetControl(this); }

void TkvControl::RemoveChildComponent(TkvControlChildComponent *component) { component->SetControl(nullptr); }

void TkvControl::BoundsChanged() { UpdateScrollBars(); }

void TkvControl::CancelMouseOperations() {
    mousePressed_ = false;
    SetMouseCaptureObject(nullptr);
}

void TkvControl::FocusChanged() {
    if (OnFocusChanged)
        OnFocusChanged(this);
}

bool TkvControl::IsMouseOperationActive(int, int, TShiftState) {
    return dragAndDropState_ != ddsNone || mousePressed_;
}

void TkvControl::MouseEnter(TControl *control) {
    if (OnMouseEnterControl)
        OnMouseEnterControl(this, control);
}

void TkvControl::MouseLeave(TControl *control) {
    if (OnMouseLeaveControl)
        OnMouseLeaveControl(this, control);
}

void TkvControl::SetMouseCaptureObject(TObject *value) {
    if (value == mouseCaptureObject_)
        return;
    bool hadCapture = HandleAllocated() && MouseCapture();
    TObject *old = mouseCaptureObject_;
    mouseCaptureObject_ = value;
    if (auto *captureObject = dynamic_cast<IkvMouseCaptureObject *>(old))
        captureObject->DoCancelMode();
    if (HandleAllocated())
        SetMouseCapture(value != nullptr);
    if (hadCapture && !MouseCapture() && dragAndDropState_ == ddsStarting)
        Perform(WM_CANCELMODE, 0, 0);
}

// --- messages

TPoint TkvControl::MouseMessagePoint(const TMessage &message) {
    if (HandleAllocated() && (Width() > 0x8000 || Height() > 0x8000))
        return ScreenToClient(Mouse->CursorPos());
    return inherited::MouseMessagePoint(message);
}

void TkvControl::WndProc(TMessage &m) {
    LinkScope link(this);
    bool mouseMessage = m.Msg >= WM_MOUSEFIRST && m.Msg <= WM_MOUSELAST;
    TPoint p = mouseMessage ? MouseMessagePoint(m) : TPoint{};
    auto afterDispatch = [&] {
        if (!link.alive())
            return;
        switch (m.Msg) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            FocusChanged();
            break;
        case WM_PAINT:
            if (ParentBackground() != lastParentBackground_) {
                lastParentBackground_ = ParentBackground();
                ParentBackgroundChanged();
            }
            break;
        case WM_LBUTTONDOWN:
            AfterMouseDown(mbLeft, p.x, p.y);
            break;
        case WM_RBUTTONDOWN:
            AfterMouseDown(mbRight, p.x, p.y);
            break;
        case WM_MBUTTONDOWN:
            AfterMouseDown(mbMiddle, p.x, p.y);
            break;
        default:
            break;
        }
    };
    try {
        bool direct = false;
        if ((m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK) && !Dragging()) {
            bool designing = IsDesigning();
            direct = ((designing && IsMouseOperationActive(p.x, p.y, TShiftState{ssLeft})) ||
                      (!designing && DragMode() == dmAutomatic)) &&
                     ControlAtPos(p, false) == nullptr;
        }
        if (direct) {
            // The automatic drag starts after the drag-detect loop, not at the button-down.
            controlState_.Include(csLButtonDown);
            Dispatch(m);
            if (link.alive())
                controlState_.Exclude(csLButtonDown);
        } else {
            inherited::WndProc(m);
        }
    } catch (...) {
        afterDispatch();
        throw;
    }
    afterDispatch();
}

void TkvControl::Dispatch(TMessage &m) {
    switch (m.Msg) {
    case WM_CANCELMODE:
        inherited::Dispatch(m);
        FinishDragAndDrop(false);
        CancelMouseOperations();
        return;
    case WM_CONTEXTMENU:
        wmContextMenu(m);
        return;
    case WM_PAINT:
        paintUnderDragImage(m);
        return;
    case WM_ERASEBKGND:
        if (NeedsEraseBackground())
            inherited::Dispatch(m);
        else
            m.Result = 1;
        return;
    case WM_GETDLGCODE: {
        LRESULT code = 0;
        if (keys_.Contains(ckAllKeys))
            code |= DLGC_WANTALLKEYS;
        if (keys_.Contains(ckArrows))
            code |= DLGC_WANTARROWS;
        if (keys_.Contains(ckChars))
            code |= DLGC_WANTCHARS;
        if (keys_.Contains(ckTab) && GetKeyState(VK_CONTROL) >= 0)
            code |= DLGC_WANTTAB;
        m.Result = code;
        return;
    }
    case WM_NCCALCSIZE:
        inherited::Dispatch(m);
        if (HandleAllocated())
            PostMessageW(Handle(), KV_SYSTEMSETTINGSCHANGED, 0, 0);
        return;
    case WM_SETCURSOR:
        wmSetCursor(m);
        return;
    case CM_COLORCHANGED:
        ColorChanged();
        inherited::Dispatch(m);
        return;
    case CM_CURSORCHANGED:
        CursorChanged();
        inherited::Dispatch(m);
        return;
    case CM_VISIBLECHANGED:
        inherited::Dispatch(m);
        VisibleChanged();
        return;
    case CM_FONTCHANGED:
        inherited::Dispatch(m);
        FontChanged();
        return;
    case CM_TEXTCHANGED:
        inherited::Dispatch(m);
        TextChanged();
        return;
    case CM_DESIGNHITTEST:
        inherited::Dispatch(m);
        if (m.Result == 0) {
            TPoint p = MessagePoint(m);
            m.Result = IsMouseOperationActive(p.x, p.y, KeysToShiftState(static_cast<WORD>(m.WParam))) ? 1 : 0;
        }
        return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: {
        inherited::Dispatch(m);
        auto *control = reinterpret_cast<TControl *>(m.LParam);
        if (control == nullptr)
            control = this;
        if (m.Msg == CM_MOUSEENTER)
            MouseEnter(control);
        else
            MouseLeave(control);
        return;
    }
    case KV_SYSTEMSETTINGSCHANGED:
        if (NeedsScrollBars() && hScrollBar_ != nullptr &&
            (GetSystemMetrics(SM_CYHSCROLL) != hScrollBar_->Height() ||
             GetSystemMetrics(SM_CXVSCROLL) != vScrollBar_->Width())) {
            hScrollBar_->SetHeight(GetSystemMetrics(SM_CYHSCROLL));
            vScrollBar_->SetWidth(GetSystemMetrics(SM_CXVSCROLL));
            BoundsChanged();
        }
        return;
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN: {
        TWMKey key(m);
        if (!IsDesigning() && popupMenuShortCut(key)) {
            m.Result = 1;
            return;
        }
        if (m.Msg == CN_KEYDOWN && dragAndDropState_ != ddsNone && key.CharCode() == VK_ESCAPE) {
            Perform(WM_KEYDOWN, VK_ESCAPE, m.LParam);
            m.Result = 1;
            return;
        }
        inherited::Dispatch(m);
        return;
    }
    default:
        inherited::Dispatch(m);
    }
}

bool TkvControl::popupMenuShortCut(TWMKey &key) {
    for (TControl *control = this; control != nullptr; control = control->Parent())
        if (auto *kvControl = dynamic_cast<TkvControl *>(control))
            if (IsPopupMenuShortCut(kvControl->popupMenu_, key))
                return true;
    return false;
}

void TkvControl::wmSetCursor(TMessage &m) {
    if (IsDesigning() && dragAndDropState_ == ddsNone) {
        TPoint p = ScreenToClient(Mouse->CursorPos());
        if (IsMouseOperationActive(p.x, p.y, TShiftState{ssLeft})) {
            ::SetCursor(Screen->Cursors(GetCurrentCursor(p.x, p.y)));
            m.Result = 1;
            return;
        }
    }
    inherited::Dispatch(m);
}

void TkvControl::wmContextMenu(TMessage &m) {
    if (m.Result != 0)
        return;
    if (IsDesigning()) {
        inherited::Dispatch(m);
        return;
    }
    TPoint pos = MessagePoint(m);
    TPoint local = pos;
    if (pos.x != -1 || pos.y != -1) {
        local = ScreenToClient(pos);
        TRect client = ClientRect();
        if (!PtInRect(&client, local)) {
            DefaultHandler(m);
            return;
        }
    }
    bool handled = false;
    DoContextPopup(local, handled);
    if (handled)
        m.Result = 1;
    else
        DefaultHandler(m);
}

void TkvControl::DoContextPopup(TPoint mousePos, bool &handled) {
    LinkScope link(this);
    inherited::DoContextPopup(mousePos, handled);
    if (handled || !link.alive())
        return;
    TPoint at = mousePos;
    if (at.x == -1 && at.y == -1)
        at = TPoint{0, 0};
    at = ClientToScreen(at);
    handled = DoShowPopupMenu(popupMenu_, at.x, at.y);
}

// --- mouse and keys

void TkvControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    mouseDownPos_ = TPoint{x, y};
    LinkScope link(this);
    auto markPressed = [&] {
        if (link.alive() && HandleAllocated() && MouseCapture())
            mousePressed_ = true;
    };
    try {
        bool dbl = shift.Contains(ssDouble);
        if (CanFocusOnClickAt(x, y) && !dbl) {
            SetFocus();
            if (!link.alive())
                return;
            TCustomForm *form = GetParentForm(this);
            if (form != nullptr && form->ActiveControl() == this && !Focused())
                ::SetFocus(Handle());
            if (!Focused() && !AllowUnfocusedMouseDown()) {
                SetMouseCapture(false);
                return;
            }
        }
        if (button == mbLeft && !dbl && StartDragAndDrop(TPoint{x, y})) {
            if (!link.alive())
                return;
            if (DragAndDropObject()->GetImmediateStart())
                BeginDragAndDrop();
            else
                dragAndDropState_ = ddsStarting;
        } else if (link.alive()) {
            FinishDragAndDrop(false);
        }
        if (link.alive())
            BeforeMouseDown(button, shift, x, y);
        if (link.alive())
            inherited::MouseDown(button, shift, x, y);
    } catch (...) {
        markPressed();
        throw;
    }
    markPressed();
}

void TkvControl::MouseMove(TShiftState shift, int x, int y) {
    // Shown at the point; the cursor the user set is kept apart.
    cursor_ = GetCurrentCursor(x, y);
    LinkScope link(this);
    inherited::MouseMove(shift, x, y);
    if (!link.alive())
        return;
    if (dragAndDropState_ == ddsStarting && !IsPointInDragDetectArea(mouseDownPos_, x, y))
        BeginDragAndDrop();
    if (dragAndDropState_ == ddsInProcess) {
        bool accepted = false;
        DoDragAndDrop(TPoint{x, y}, accepted);
    }
}

void TkvControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    mousePressed_ = false;
    LinkScope link(this);
    EndMouseOperations();
    if (link.alive())
        inherited::MouseUp(button, shift, x, y);
}

void TkvControl::KeyDown(WORD &key, TShiftState shift) {
    if (key == VK_ESCAPE)
        FinishDragAndDrop(false);
    inherited::KeyDown(key, shift);
}

// A wheel set to scroll pages (or to no lines) scrolls one page a notch.
bool TkvControl::DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
    if (inherited::DoMouseWheel(shift, wheelDelta, mousePos))
        return true;
    TkvWheelScrollKind kind = GetWheelScrollKind();
    if (kind == wskNone)
        return false;
    if (wheelDelta == 0)
        return true;
    bool back = wheelDelta > 0;
    int lines = Mouse->WheelScrollLines();
    if (lines <= 0 || static_cast<UINT>(lines) == WHEEL_PAGESCROLL) {
        TScrollBarKind barKind = kind == wskVertical ? sbVertical : sbHorizontal;
        TkvControlScrollBar *bar = barKind == sbVertical ? vScrollBar_ : hScrollBar_;
        int pos = bar != nullptr ? bar->Position() : 0;
        Scroll(barKind, back ? scPageUp : scPageDown, pos);
        return true;
    }
    TkvScrollDirection direction =
        kind == wskVertical ? (back ? dirUp : dirDown) : (back ? dirLeft : dirRight);
    LinkScope link(this);
    for (int i = 0; i < lines && link.alive(); ++i)
        ScrollContent(direction);
    return true;
}

void TkvControl::ScrollContent(TkvScrollDirection direction) {
    if (!NeedsScrollBars() || direction == dirNone || hScrollBar_ == nullptr)
        return;
    bool horizontal = direction == dirLeft || direction == dirRight;
    TkvControlScrollBar *bar = horizontal ? hScrollBar_ : vScrollBar_;
    int pos = bar->Position();
    Scroll(horizontal ? sbHorizontal : sbVertical,
           direction == dirLeft || direction == dirUp ? scLineUp : scLineDown, pos);
}

// --- painting

void TkvControl::Paint() {
    if (borderStyle_ == kcbsDefault) {
        TRect bounds;
        GetBounds(bounds);
        GetPainter()->DrawControlFrame(kvCanvas_, bounds);
        TRect client;
        GetClientBounds(client);
        kvCanvas_->IntersectClipRect(client);
    }
    inherited::Paint();
}

// --- child components

void TkvControlChildComponent::Create(TComponent *owner) {
    inherited::Create(owner);
    Initialize();
}

void TkvControlChildComponent::Create(TkvControl *control, bool assignOwner) {
    Create(assignOwner && control != nullptr ? control->Owner() : nullptr);
    SetControl(control);
}

void TkvControlChildComponent::SetParentComponent(TComponent *value) {
    if (auto *control = dynamic_cast<TkvControl *>(value))
        control->AddChildComponent(this);
}

void TkvControlChildComponent::Destroy() {
    if (control_ != nullptr)
        control_->RemoveChildComponent(this);
    inherited::Destroy();
}
