#include "classlib/controls.h"

#include <windowsx.h>

#include "classlib/forms.h"
#include "classlib/menus.h"
#include "drag_manager.h"

TShiftState KeyboardStateToShiftState() {
    TShiftState shift;
    if (GetKeyState(VK_SHIFT) < 0)
        shift.Include(ssShift);
    if (GetKeyState(VK_CONTROL) < 0)
        shift.Include(ssCtrl);
    if (GetKeyState(VK_MENU) < 0)
        shift.Include(ssAlt);
    if (GetKeyState(VK_LBUTTON) < 0)
        shift.Include(ssLeft);
    if (GetKeyState(VK_RBUTTON) < 0)
        shift.Include(ssRight);
    if (GetKeyState(VK_MBUTTON) < 0)
        shift.Include(ssMiddle);
    return shift;
}

TShiftState KeysToShiftState(WORD keys) {
    TShiftState shift;
    if (keys & MK_SHIFT)
        shift.Include(ssShift);
    if (keys & MK_CONTROL)
        shift.Include(ssCtrl);
    if (keys & MK_LBUTTON)
        shift.Include(ssLeft);
    if (keys & MK_RBUTTON)
        shift.Include(ssRight);
    if (keys & MK_MBUTTON)
        shift.Include(ssMiddle);
    if (GetKeyState(VK_MENU) < 0)
        shift.Include(ssAlt);
    return shift;
}

TShiftState KeyDataToShiftState(LPARAM keyData) {
    TShiftState shift;
    if (GetKeyState(VK_SHIFT) < 0)
        shift.Include(ssShift);
    if (GetKeyState(VK_CONTROL) < 0)
        shift.Include(ssCtrl);
    if (keyData & 0x20000000)
        shift.Include(ssAlt);
    return shift;
}

void TControl::Create(TComponent *owner) {
    inherited::Create(owner);
    font_ = New<TFont>();
    font_->OnChange = [this](TObject *sender) { fontChanged(sender); };
    controlStyle_ = TControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
}

void TControl::Destroy() {
    if (Application != nullptr)
        Application->ControlDestroying(this);
    DragControlDestroying(this);
    if (parent_ != nullptr)
        parent_->RemoveControl(this);
    SetAction(nullptr);
    FreeAndNil(font_);
    inherited::Destroy();
}

void TControl::Notification(TComponent *component, TOperation operation) {
    inherited::Notification(component, operation);
    if (operation == opRemove && component == popupMenu_)
        popupMenu_ = nullptr;
    if (operation == opRemove && actionLink_ != nullptr)
        actionRemoved(component);
}

TComponent *TControl::GetParentComponent() { return parent_; }

void TControl::SetParentComponent(TComponent *value) {
    if (auto *parent = dynamic_cast<TWinControl *>(value))
        SetParent(parent);
}

void TControl::SetParent(TWinControl *parent) {
    if (parent_ == parent)
        return;
    if (parent == this)
        throw EInvalidOperation(L"A control cannot be its own parent");
    if (parent_ != nullptr)
        parent_->RemoveControl(this);
    if (parent != nullptr) {
        parent->InsertControl(this);
        if (parentBiDiMode_)
            takeParentBiDiMode();
    }
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (width < 0)
        width = 0;
    if (height < 0)
        height = 0;
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    bool resized = width != width_ || height != height_;
    TRect old = BoundsRect();
    UpdateBoundsRect(TRect{left, top, left + width, top + height});
    if (parent_ != nullptr && parent_->HandleAllocated() && visible_) {
        InvalidateRect(parent_->handle_, &old, TRUE);
        InvalidateControl(true, false);
    }
    if (resized)
        Resize();
    if (parent_ != nullptr && align_ != alNone)
        parent_->Realign();
}

void TControl::UpdateBoundsRect(const TRect &r) {
    left_ = r.left;
    top_ = r.top;
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
}

TRect TControl::GetClientRect() { return TRect{0, 0, width_, height_}; }

void TControl::SetClientSize(int width, int height) {
    TRect client = GetClientRect();
    SetBounds(left_, top_, width_ - client.right + width, height_ - client.bottom + height);
}

TPoint TControl::GetClientOrigin() {
    if (parent_ == nullptr)
        throw EInvalidOperation(L"Control '" + Name() + L"' has no parent window");
    TPoint origin = parent_->GetClientOrigin();
    origin.x += left_;
    origin.y += top_;
    return origin;
}

TPoint TControl::ClientToScreen(TPoint p) {
    TPoint origin = GetClientOrigin();
    return TPoint{p.x + origin.x, p.y + origin.y};
}

TPoint TControl::ScreenToClient(TPoint p) {
    TPoint origin = GetClientOrigin();
    return TPoint{p.x - origin.x, p.y - origin.y};
}

void TControl::SetAlign(TAlign value) {
    if (align_ == value)
        return;
    align_ = value;
    if (parent_ != nullptr)
        parent_->Realign();
}

void TControl::BringToFront() {
    if (parent_ != nullptr) {
        if (auto *win = dynamic_cast<TWinControl *>(this))
            win->SetZOrder(true);
        else {
            parent_->controls_.Remove(this);
            parent_->controls_.Add(this);
            InvalidateControl(visible_, true);
        }
    }
}

void TControl::SendToBack() {
    if (parent_ != nullptr) {
        if (auto *win = dynamic_cast<TWinControl *>(this))
            win->SetZOrder(false);
        else {
            parent_->controls_.Remove(this);
            parent_->controls_.Insert(0, this);
            InvalidateControl(visible_, true);
        }
    }
}

void TControl::SetVisible(bool value) {
    if (visible_ == value)
        return;
    InvalidateControl(true, false);
    visible_ = value;
    Perform(CM_VISIBLECHANGED, value, 0);
    if (parent_ != nullptr && align_ != alNone)
        parent_->Realign();
}

bool TControl::Showing() { return visible_ && parent_ != nullptr && parent_->Showing(); }

void TControl::SetEnabled(bool value) {
    if (enabled_ == value)
        return;
    enabled_ = value;
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetColor(TColor value) {
    if (color_ == value)
        return;
    color_ = value;
    parentColor_ = false;
    Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool value) {
    if (parentColor_ == value)
        return;
    parentColor_ = value;
    if (parent_ != nullptr && value)
        Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::SetParentFont(bool value) {
    if (parentFont_ == value)
        return;
    parentFont_ = value;
    if (parent_ != nullptr && value)
        Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TControl::fontChanged(TObject *) {
    parentFont_ = false;
    Perform(CM_FONTCHANGED, 0, 0);
}

std::wstring TControl::GetText() {
    if (auto *win = dynamic_cast<TWinControl *>(this); win != nullptr && win->HandleAllocated()) {
        int length = GetWindowTextLengthW(win->handle_);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        int got = GetWindowTextW(win->handle_, text.data(), length + 1);
        text.resize(static_cast<std::size_t>(got < 0 ? 0 : got));
        return text;
    }
    return text_;
}

void TControl::SetText(const std::wstring &text) {
    if (GetText() == text)
        return;
    text_ = text;
    if (auto *win = dynamic_cast<TWinControl *>(this); win != nullptr && win->HandleAllocated())
        SetWindowTextW(win->handle_, text_.c_str());
    Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetCursor(TCursor value) {
    if (cursor_ == value)
        return;
    cursor_ = value;
    Perform(CM_CURSORCHANGED, 0, 0);
}

void TControl::SetPopupMenu(TPopupMenu *menu) { SetFreeNotifiedReference(this, popupMenu_, menu); }

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage message{msg, wParam, lParam, 0};
    WindowProc(message);
    return message.Result;
}

void TControl::WindowProc(TMessage &message) {
    if (windowProc_)
        windowProc_(message);
    else
        WndProc(message);
}

void TControl::WndProc(TMessage &message) {
    if (message.Msg >= WM_MOUSEFIRST && message.Msg <= WM_MOUSELAST) {
        if (!enabled_ && message.Msg != WM_MOUSEMOVE)
            return;
        if (dragObject_ != nullptr) {
            // A drag runs until the button comes up; the drop is the end of it.
            if (message.Msg == WM_LBUTTONUP)
                EndDrag(true);
            return;
        }
        if (message.Msg == WM_LBUTTONDOWN || message.Msg == WM_LBUTTONDBLCLK) {
            if (dragMode_ == dmAutomatic && !ComponentState().Contains(csDesigning)) {
                BeginDrag(false);
                return;
            }
            controlState_.Include(csLButtonDown);
        } else if (message.Msg == WM_LBUTTONUP) {
            controlState_.Exclude(csLButtonDown);
        }
    }
    Dispatch(message);
}

void TControl::Dispatch(TMessage &m) {
    switch (m.Msg) {
    case WM_MOUSEMOVE:
        WMMouseMove(m);
        return;
    case WM_LBUTTONDOWN:
        WMButtonDown(m, mbLeft, false);
        return;
    case WM_RBUTTONDOWN:
        WMButtonDown(m, mbRight, false);
        return;
    case WM_MBUTTONDOWN:
        WMButtonDown(m, mbMiddle, false);
        return;
    case WM_LBUTTONDBLCLK:
        WMButtonDown(m, mbLeft, true);
        return;
    case WM_RBUTTONDBLCLK:
        WMButtonDown(m, mbRight, true);
        return;
    case WM_MBUTTONDBLCLK:
        WMButtonDown(m, mbMiddle, true);
        return;
    case WM_LBUTTONUP:
        WMButtonUp(m, mbLeft);
        return;
    case WM_RBUTTONUP:
        WMButtonUp(m, mbRight);
        return;
    case WM_MBUTTONUP:
        WMButtonUp(m, mbMiddle);
        return;
    case WM_CONTEXTMENU:
        WMContextMenu(m);
        return;
    case WM_CANCELMODE:
        WMCancelMode(m);
        return;
    case CM_VISIBLECHANGED:
        CMVisibleChanged(m);
        return;
    case CM_COLORCHANGED:
        CMColorChanged(m);
        return;
    case CM_FONTCHANGED:
        CMFontChanged(m);
        return;
    case CM_PARENTCOLORCHANGED:
        CMParentColorChanged(m);
        return;
    case CM_PARENTFONTCHANGED:
        CMParentFontChanged(m);
        return;
    case CM_MOUSEENTER:
        CMMouseEnter(m);
        return;
    case CM_MOUSELEAVE:
        CMMouseLeave(m);
        return;
    case CM_HITTEST:
        CMHitTest(m);
        return;
    case CM_ENABLEDCHANGED:
        Invalidate();
        return;
    case CM_DRAG:
        CMDrag(m);
        return;
    case CM_CURSORCHANGED:
        CMCursorChanged(m);
        return;
    default:
        DefaultHandler(m);
    }
}

void TControl::DefaultHandler(TMessage &m) {
    switch (m.Msg) {
    case WM_GETTEXT:
        if (m.WParam > 0 && m.LParam != 0) {
            std::size_t count = text_.size() < m.WParam - 1 ? text_.size() : m.WParam - 1;
            auto *buffer = reinterpret_cast<wchar_t *>(m.LParam);
            text_.copy(buffer, count);
            buffer[count] = L'\0';
            m.Result = static_cast<LRESULT>(count);
        }
        break;
    case WM_GETTEXTLENGTH:
        m.Result = static_cast<LRESULT>(text_.size());
        break;
    case WM_SETTEXT:
        text_ = m.LParam != 0 ? reinterpret_cast<const wchar_t *>(m.LParam) : L"";
        Perform(CM_TEXTCHANGED, 0, 0);
        m.Result = TRUE;
        break;
    default:
        break;
    }
}

TPoint TControl::MouseMessagePoint(const TMessage &message) { return MessagePoint(message); }

void TControl::WMMouseMove(TMessage &m) {
    DefaultHandler(m);
    TPoint p = MouseMessagePoint(m);
    MouseMove(KeysToShiftState(static_cast<WORD>(m.WParam)), p.x, p.y);
}

void TControl::WMButtonDown(TMessage &m, TMouseButton button, bool dbl) {
    // The window's own handling first: a system control takes the focus and places its caret.
    DefaultHandler(m);
    if (controlStyle_.Contains(csCaptureMouse))
        SetMouseCapture(true);
    if (button == mbLeft && controlStyle_.Contains(csClickEvents))
        controlState_.Include(csClicked);
    TPoint p = MouseMessagePoint(m);
    TShiftState shift = KeysToShiftState(static_cast<WORD>(m.WParam));
    if (dbl) {
        shift.Include(ssDouble);
        if (button == mbLeft && controlStyle_.Contains(csDoubleClicks))
            DblClick();
    }
    MouseDown(button, shift, p.x, p.y);
}

void TControl::WMButtonUp(TMessage &m, TMouseButton button) {
    DefaultHandler(m);
    TPoint p = MouseMessagePoint(m);
    if (controlStyle_.Contains(csCaptureMouse))
        SetMouseCapture(false);
    if (button == mbLeft && controlState_.Contains(csClicked)) {
        controlState_.Exclude(csClicked);
        TRect client = GetClientRect();
        if (PtInRect(&client, p))
            Click();
    }
    MouseUp(button, KeysToShiftState(static_cast<WORD>(m.WParam)), p.x, p.y);
}

void TControl::WMContextMenu(TMessage &m) {
    if (m.Result != 0)
        return;
    TPoint pos = MessagePoint(m);
    TPoint local = pos;
    if (pos.x != -1 || pos.y != -1)
        local = ScreenToClient(pos);
    bool handled = false;
    DoContextPopup(local, handled);
    m.Result = handled ? 1 : 0;
    if (!handled)
        DefaultHandler(m);
}

void TControl::DoContextPopup(TPoint mousePos, bool &handled) {
    if (OnContextPopup)
        OnContextPopup(this, mousePos, handled);
    if (handled || popupMenu_ == nullptr || !popupMenu_->AutoPopup())
        return;
    TPoint at = mousePos;
    if (at.x == -1 && at.y == -1)
        at = TPoint{0, 0};
    at = ClientToScreen(at);
    popupMenu_->SetPopupComponent(this);
    popupMenu_->Popup(at.x, at.y);
    handled = true;
}

void TControl::WMCancelMode(TMessage &m) {
    if (dragObject_ != nullptr)
        EndDrag(false);
    if (MouseCapture()) {
        SetMouseCapture(false);
        if (controlState_.Contains(csLButtonDown)) {
            controlState_.Exclude(csLButtonDown);
            controlState_.Exclude(csClicked);
        }
    }
    DefaultHandler(m);
}

void TControl::CMVisibleChanged(TMessage &) { InvalidateControl(true, false); }

void TControl::CMColorChanged(TMessage &) { Invalidate(); }

void TControl::CMFontChanged(TMessage &) { Invalidate(); }

void TControl::CMParentColorChanged(TMessage &m) {
    if (!parentColor_ || parent_ == nullptr)
        return;
    // Keeps ParentColor on: the colour comes from the parent, not from this control.
    if (m.WParam != 0)
        color_ = static_cast<TColor>(m.LParam);
    else
        color_ = parent_->color_;
    Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::CMParentFontChanged(TMessage &) {
    if (!parentFont_ || parent_ == nullptr)
        return;
    auto saved = font_->OnChange;
    font_->OnChange = nullptr;
    try {
        font_->Assign(parent_->font_);
    } catch (...) {
        font_->OnChange = saved;
        throw;
    }
    font_->OnChange = saved;
    Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::CMMouseEnter(TMessage &m) {
    if (parent_ != nullptr)
        parent_->Perform(CM_MOUSEENTER, 0, m.LParam);
    if (m.LParam == 0 || m.LParam == reinterpret_cast<LPARAM>(this))
        if (OnMouseEnter)
            OnMouseEnter(this);
}

void TControl::CMMouseLeave(TMessage &m) {
    if (parent_ != nullptr)
        parent_->Perform(CM_MOUSELEAVE, 0, m.LParam);
    if (m.LParam == 0 || m.LParam == reinterpret_cast<LPARAM>(this))
        if (OnMouseLeave)
            OnMouseLeave(this);
}

void TControl::CMHitTest(TMessage &m) { m.Result = HTCLIENT; }

void TControl::CMCursorChanged(TMessage &) {
    // A new cursor shows at once when the mouse is over the control's window.
    TWinControl *owner = IsWindowed() ? static_cast<TWinControl *>(this) : parent_;
    if (owner == nullptr || !owner->HandleAllocated())
        return;
    TPoint p{};
    if (!GetCursorPos(&p) || WindowFromPoint(p) != owner->handle_)
        return;
    SendMessageW(owner->handle_, WM_SETCURSOR, reinterpret_cast<WPARAM>(owner->handle_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

void TControl::Click() {
    // A control bound to an action runs it unless a handler of its own is set.
    if (OnClick)
        OnClick(this);
    else if (actionLink_ != nullptr && !ComponentState().Contains(csDesigning))
        clickAction();
}

void TControl::DblClick() {
    if (OnDblClick)
        OnDblClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown)
        OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp)
        OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove)
        OnMouseMove(this, shift, x, y);
}

bool TControl::DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
    bool handled = false;
    if (OnMouseWheel)
        OnMouseWheel(this, shift, wheelDelta, mousePos, handled);
    return handled;
}

void TControl::ChangeScale(int m, int d) {
    if (m == d || d == 0)
        return;
    TScalingFlags flags = ComponentState().Contains(csLoading)
                              ? scalingFlags_
                              : TScalingFlags{sfLeft, sfTop, sfWidth, sfHeight, sfFont};
    int left = flags.Contains(sfLeft) ? MulDiv(left_, m, d) : left_;
    int top = flags.Contains(sfTop) ? MulDiv(top_, m, d) : top_;
    int width = flags.Contains(sfWidth) ? MulDiv(width_, m, d) : width_;
    int height = flags.Contains(sfHeight) ? MulDiv(height_, m, d) : height_;
    SetBounds(left, top, width, height);
    if (!parentFont_ && flags.Contains(sfFont))
        font_->SetSize(MulDiv(font_->GetSize(), m, d));
}

void TControl::Resize() {
    if (OnResize)
        OnResize(this);
}

void TControl::InvalidateControl(bool isVisible, bool isOpaque) {
    if (parent_ == nullptr || !parent_->HandleAllocated() || IsWindowed())
        return;
    if (isVisible || (parent_->ComponentState().Contains(csDesigning))) {
        TRect r = BoundsRect();
        InvalidateRect(parent_->handle_, &r, !(isOpaque || controlStyle_.Contains(csOpaque)));
    }
}

void TControl::Invalidate() { InvalidateControl(visible_, controlStyle_.Contains(csOpaque)); }

void TControl::Update() {
    if (parent_ != nullptr)
        parent_->Update();
}

void TControl::Repaint() {
    if (!visible_ || parent_ == nullptr || !parent_->HandleAllocated())
        return;
    Invalidate();
    parent_->Update();
}

bool TControl::MouseCapture() {
    if (parent_ == nullptr && !IsWindowed())
        return false;
    HWND capture = GetCapture();
    if (capture == nullptr)
        return false;
    if (IsWindowed())
        return static_cast<TWinControl *>(this)->handle_ == capture;
    return Application != nullptr && Application->captureControl_ == this && parent_->handle_ == capture;
}

void TControl::SetMouseCapture(bool value) {
    if (MouseCapture() == value)
        return;
    HWND window = nullptr;
    if (IsWindowed())
        window = static_cast<TWinControl *>(this)->GetHandle();
    else if (parent_ != nullptr)
        window = parent_->GetHandle();
    if (window == nullptr)
        return;
    if (value) {
        if (Application != nullptr)
            Application->captureControl_ = this;
        ::SetCapture(window);
    } else {
        if (Application != nullptr && Application->captureControl_ == this)
            Application->captureControl_ = nullptr;
        if (GetCapture() == window)
            ReleaseCapture();
    }
}

TCustomForm *TControl::GetParentFormOf() const { return GetParentForm(const_cast<TControl *>(this)); }

TCustomForm *GetParentForm(TControl *control) {
    while (control != nullptr && control->Parent() != nullptr)
        control = control->Parent();
    return dynamic_cast<TCustomForm *>(control);
}
