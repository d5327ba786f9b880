#include "classlib/forms.h"

#include <vector>

void TCustomForm::Create(TComponent *owner) {
    InitForms();
    inherited::Create(owner);
    controlStyle_ = controlStyle_ + TControlStyle{csAcceptsControls};
    visible_ = false;
    color_ = clBtnFace;
    parentColor_ = false;
    parentFont_ = false;
    width_ = 320;
    height_ = 240;
    canvas_ = New<TControlCanvas>();
    canvas_->SetControl(this);
    Screen->addForm(this);
}

void TCustomForm::AfterConstruction() {
    inherited::AfterConstruction();
    if (OnCreate)
        OnCreate(this);
}

void TCustomForm::BeforeDestruction() {
    if (OnDestroy)
        GuardedCall(this, [this] { OnDestroy(this); });
    inherited::BeforeDestruction();
}

void TCustomForm::Destroy() {
    if (Screen != nullptr)
        Screen->removeForm(this);
    if (Application != nullptr && Application->mainForm_ == this)
        Application->mainForm_ = nullptr;
    activeControl_ = nullptr;
    focusedControl_ = nullptr;
    if (canvas_ != nullptr)
        canvas_->FreeHandle();
    inherited::Destroy();
    FreeAndNil(canvas_);
}

void TCustomForm::SetBorderStyle(TBorderStyle value) {
    if (borderStyle_ == value)
        return;
    borderStyle_ = value;
    RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons value) {
    if (borderIcons_ == value)
        return;
    borderIcons_ = value;
    RecreateWnd();
}

void TCustomForm::CreateParams(TCreateParams &params) {
    inherited::CreateParams(params);
    params.WindowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    if (parent_ != nullptr)
        return;
    params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (visible_) // a visible form whose window is made again stays shown
        params.Style |= WS_VISIBLE;
    if (!enabled_)
        params.Style |= WS_DISABLED;
    params.ExStyle &= ~WS_EX_CONTROLPARENT;
    switch (borderStyle_) {
    case bsNone:
        params.Style |= WS_POPUP;
        break;
    case bsSingle:
    case bsToolWindow:
        params.Style |= WS_CAPTION | WS_BORDER;
        break;
    case bsSizeable:
    case bsSizeToolWin:
        params.Style |= WS_CAPTION | WS_THICKFRAME;
        break;
    case bsDialog:
        params.Style |= WS_POPUP | WS_CAPTION;
        params.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
        break;
    }
    if (borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin)
        params.ExStyle |= WS_EX_TOOLWINDOW;
    if (borderStyle_ != bsNone && borderIcons_.Contains(biSystemMenu)) {
        params.Style |= WS_SYSMENU;
        if (borderStyle_ != bsDialog && borderStyle_ != bsToolWindow && borderStyle_ != bsSizeToolWin) {
            if (borderIcons_.Contains(biMinimize))
                params.Style |= WS_MINIMIZEBOX;
            if (borderIcons_.Contains(biMaximize))
                params.Style |= WS_MAXIMIZEBOX;
        }
    }
    params.WndParent = parentWindow_;
}

void TCustomForm::CreateWnd() {
    if (parent_ == nullptr)
        placeOnScreen();
    inherited::CreateWnd();
}

void TCustomForm::DestroyWindowHandle() {
    if (canvas_ != nullptr)
        canvas_->FreeHandle();
    inherited::DestroyWindowHandle();
}

void TCustomForm::placeOnScreen() {
    TRect area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (position_ == poMainFormCenter && Application->MainForm() != nullptr && Application->MainForm() != this) {
        TCustomForm *main = Application->MainForm();
        area = main->BoundsRect();
    } else if (position_ != poScreenCenter) {
        return;
    }
    left_ = area.left + (area.right - area.left - width_) / 2;
    top_ = area.top + (area.bottom - area.top - height_) / 2;
    if (handle_ != nullptr)
        SetWindowPos(handle_, nullptr, left_, top_, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TCustomForm::Showing() {
    if (parent_ != nullptr)
        return inherited::Showing();
    return handle_ != nullptr && IsWindowVisible(handle_);
}

bool TCustomForm::CanFocus() {
    if (parent_ != nullptr)
        return inherited::CanFocus();
    return visible_ && Enabled();
}

void TCustomForm::SetFocus() {
    if (!CanFocus())
        throw EInvalidOperation(L"Cannot focus a disabled or invisible window");
    if (handle_ != nullptr)
        ::SetFocus(handle_);
}

void TCustomForm::SetActiveControl(TWinControl *control) {
    if (activeControl_ == control)
        return;
    if (control != nullptr && (control == this || GetParentForm(control) != this || !control->CanFocus()))
        throw EInvalidOperation(L"Cannot focus a disabled or invisible window");
    activeControl_ = control;
    if (control != nullptr && active_ && handle_ != nullptr)
        ::SetFocus(control->GetHandle());
}

void TCustomForm::FocusControl(TWinControl *control) {
    if (control == nullptr)
        return;
    if (!control->CanFocus())
        throw EInvalidOperation(L"Cannot focus a disabled or invisible window");
    activeControl_ = control;
    HWND window = control->GetHandle();
    if (handle_ != nullptr && IsWindowVisible(handle_))
        ::SetFocus(window);
}

bool TCustomForm::SetFocusedControl(TWinControl *control) {
    if (ComponentState().Contains(csDestroying) || control->ComponentState().Contains(csDestroying))
        return false;
    if (control != this)
        activeControl_ = control;
    if (focusedControl_ == control)
        return true;
    TWinControl *old = focusedControl_;
    focusedControl_ = control;
    Screen->setFocused(this, control);
    // Exit from the old control up to the first parent that also holds the new one, then enter
    // down from there to the new control.
    TWinControl *common = this;
    for (TWinControl *c = old; c != nullptr; c = c->parent_) {
        if (c->ContainsControl(control)) {
            common = c;
            break;
        }
        c->Perform(CM_EXIT, 0, 0);
        if (focusedControl_ != control)
            return true; // a handler moved the focus on
    }
    std::vector<TWinControl *> entered;
    for (TWinControl *c = control; c != nullptr && c != common; c = c->parent_)
        entered.push_back(c);
    for (auto it = entered.rbegin(); it != entered.rend(); ++it) {
        (*it)->Perform(CM_ENTER, 0, 0);
        if (focusedControl_ != control)
            return true;
    }
    Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(control));
    return true;
}

void TCustomForm::DefocusControl(TWinControl *control, bool removing) {
    if (focusedControl_ != nullptr && control->ContainsControl(focusedControl_)) {
        focusedControl_ = nullptr;
        if (removing && handle_ != nullptr && control->HandleAllocated()) {
            HWND focus = GetFocus();
            if (focus != nullptr && (focus == control->handle_ || IsChild(control->handle_, focus)))
                ::SetFocus(handle_);
        }
    }
    if (activeControl_ != nullptr && control->ContainsControl(activeControl_))
        activeControl_ = nullptr;
    if (Screen != nullptr && Screen->activeControl_ != nullptr && control->ContainsControl(Screen->activeControl_))
        Screen->activeControl_ = nullptr;
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::DoClose(TCloseAction &action) {
    if (OnClose)
        OnClose(this, action);
}

void TCustomForm::Close() {
    if (formState_.Contains(fsModal)) {
        modalResult_ = mrCancel;
        return;
    }
    if (!CloseQuery())
        return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone)
        return;
    if (Application->MainForm() == this)
        Application->Terminate();
    else if (action == caHide)
        Hide();
    else if (action == caMinimize)
        ShowWindow(GetHandle(), SW_MINIMIZE);
    else
        Release();
}

void TCustomForm::Release() {
    if (released_)
        return;
    released_ = true;
    PostMessageW(GetHandle(), CM_RELEASE, 0, 0);
}

namespace {

struct DisabledWindows {
    HWND keep;
    std::vector<HWND> windows;
};

BOOL CALLBACK disableWindow(HWND window, LPARAM data) {
    auto *state = reinterpret_cast<DisabledWindows *>(data);
    if (window != state->keep && IsWindowVisible(window) && IsWindowEnabled(window)) {
        try { // nothing may leave a system callback
            state->windows.push_back(window);
        } catch (...) {
            return FALSE;
        }
        EnableWindow(window, FALSE);
    }
    return TRUE;
}

} // namespace

TModalResult TCustomForm::ShowModal() {
    if (visible_ || !Enabled() || formState_.Contains(fsModal) || parent_ != nullptr)
        throw EInvalidOperation(L"Cannot make a visible window modal");
    if (GetCapture() != nullptr)
        SendMessageW(GetCapture(), WM_CANCELMODE, 0, 0);
    ReleaseCapture();
    HWND previousActive = GetActiveWindow();
    DisabledWindows disabled{GetHandle(), {}};
    EnumThreadWindows(GetCurrentThreadId(), disableWindow, reinterpret_cast<LPARAM>(&disabled));
    formState_.Include(fsModal);
    modalResult_ = mrNone;
    // The form hides while it is still modal, so that what reacts to the hiding (an editor
    // losing the focus) sees a modal form that is gone with its result.
    auto restore = [&] {
        for (HWND window : disabled.windows)
            if (IsWindow(window))
                EnableWindow(window, TRUE);
        if (handle_ != nullptr)
            Hide();
        formState_.Exclude(fsModal);
        if (previousActive != nullptr && IsWindow(previousActive))
            SetActiveWindow(previousActive);
    };
    try {
        Show();
        for (;;) {
            Application->HandleMessage();
            if (Application->Terminated()) {
                modalResult_ = mrCancel;
                break;
            }
            if (modalResult_ != mrNone) {
                TCloseAction action = caHide;
                DoClose(action);
                if (action != caNone)
                    break;
                modalResult_ = mrNone;
            }
        }
    } catch (...) {
        restore();
        throw;
    }
    restore();
    return modalResult_;
}

void TCustomForm::Paint() {
    if (OnPaint)
        OnPaint(this);
}

void TCustomForm::PaintWindow(HDC dc) {
    canvas_->PaintOn(dc, [this] { Paint(); });
}

void TCustomForm::DoShow() {
    if (OnShow)
        OnShow(this);
}

void TCustomForm::DoHide() {
    if (OnHide)
        OnHide(this);
}

void TCustomForm::Activate() {
    if (OnActivate)
        OnActivate(this);
}

void TCustomForm::Deactivate() {
    if (OnDeactivate)
        OnDeactivate(this);
}

void TCustomForm::Dispatch(TMessage &m) {
    switch (m.Msg) {
    case WM_PAINT: {
        DispatchCustomPaint(m);
        return;
    }
    case WM_CLOSE:
        WMClose(m);
        return;
    case WM_ACTIVATE:
        WMActivate(m);
        return;
    case WM_SYSCOLORCHANGE:
        WMSysColorChange(m);
        return;
    case CM_DIALOGKEY:
        CMDialogKey(m);
        return;
    case CM_RELEASE:
        CMRelease(m);
        return;
    case CM_VISIBLECHANGED:
        CMVisibleChanged(m);
        return;
    default:
        inherited::Dispatch(m);
    }
}

void TCustomForm::WMClose(TMessage &m) {
    m.Result = 0;
    Close();
}

void TCustomForm::WMActivate(TMessage &m) {
    if (parent_ != nullptr) {
        DefaultHandler(m);
        return;
    }
    if (LOWORD(m.WParam) != WA_INACTIVE) {
        active_ = true;
        formState_.Include(fsActivated);
        Screen->activeForm_ = this;
        if (activeControl_ == nullptr)
            activeControl_ = FindNextControl(nullptr, true, true, false);
        Activate();
        if (HIWORD(m.WParam) == 0) { // not minimised
            if (activeControl_ != nullptr && activeControl_->CanFocus())
                ::SetFocus(activeControl_->GetHandle());
            else
                ::SetFocus(handle_);
        }
        m.Result = 0;
    } else {
        active_ = false;
        Deactivate();
        DefaultHandler(m);
    }
}

void TCustomForm::WMSysColorChange(TMessage &m) {
    DefaultHandler(m);
    Perform(CM_SYSCOLORCHANGE, 0, 0);
}

void TCustomForm::CMDialogKey(TMessage &m) {
    WORD key = LOWORD(m.WParam);
    if (GetKeyState(VK_MENU) >= 0) {
        switch (key) {
        case VK_TAB:
            if (GetKeyState(VK_CONTROL) >= 0) {
                SelectNext(activeControl_, GetKeyState(VK_SHIFT) >= 0, true);
                m.Result = 1;
                return;
            }
            break;
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
            if (activeControl_ != nullptr && activeControl_->Parent() != nullptr) {
                activeControl_->Parent()->SelectNext(activeControl_, key == VK_RIGHT || key == VK_DOWN, false);
                m.Result = 1;
            }
            return;
        default:
            break;
        }
    }
    inherited::Dispatch(m);
}

void TCustomForm::CMRelease(TMessage &) { Free(); }

void TCustomForm::CMVisibleChanged(TMessage &m) {
    if (parent_ != nullptr) {
        inherited::Dispatch(m);
        return;
    }
    if (visible_) {
        formState_.Include(fsShowing);
        HWND window = GetHandle();
        placeOnScreen();
        DoShow();
        ShowWindow(window, SW_SHOW);
        formState_.Exclude(fsShowing);
        formState_.Include(fsVisible);
    } else {
        DoHide();
        if (handle_ != nullptr)
            ShowWindow(handle_, SW_HIDE);
        formState_.Exclude(fsVisible);
    }
}
