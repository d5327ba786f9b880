// TkvCustomPopupWindow: the drop-down window of an editor, the list of shown popups, and the
// thread hooks that close them when their owner, its form or the application goes out of sight
// or is clicked elsewhere.
#include <classlib/forms.h>
#include <classlib/messages.h>

#include <algorithm>

#include "kvContainer.h"
#include "kvControlServices.h"

namespace {

TList<TkvCustomPopupWindow *> *shownPopups = nullptr;
HHOOK callWndProcHook = nullptr;
HHOOK getMessageHook = nullptr;
HHOOK mouseHook = nullptr;
bool closingBecauseOfClick = false;
TkvScreenCanvas *screenCanvas = nullptr;
bool stayOnTopForNonCapturing = true;

bool isStayOnTop(TCustomForm *form) {
    return form->HandleAllocated() && (GetWindowLongW(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// A stay-on-top form that is hidden still keeps the popups of other forms on top.
bool hiddenStayOnTopFormExists() {
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TCustomForm *form = Screen->Forms(i);
        if (isStayOnTop(form) && !form->Visible())
            return true;
    }
    return false;
}

const wchar_t savedProcProperty[] = L"kvSwallowedWindowProc";

bool listed(TkvCustomPopupWindow *popup) { return shownPopups != nullptr && shownPopups->IndexOf(popup) >= 0; }

bool destroying(TComponent *component) {
    return component != nullptr && component->ComponentState().Contains(csDestroying);
}

HWND windowOf(TControl *control) {
    auto *windowed = dynamic_cast<TWinControl *>(control);
    return windowed != nullptr && windowed->HandleAllocated() ? windowed->Handle() : nullptr;
}

TCustomForm *ownerForm(TkvCustomPopupWindow *popup) {
    return popup->OwnerControl() != nullptr ? GetParentForm(popup->OwnerControl()) : nullptr;
}

bool belongsToChildren(HWND window, TWinControl *control) {
    for (int i = 0; i < control->ControlCount(); ++i) {
        auto *child = dynamic_cast<TWinControl *>(control->Controls(i));
        if (child == nullptr || !child->HandleAllocated())
            continue;
        if (child->Handle() == window || belongsToChildren(window, child) || IsChild(child->Handle(), window))
            return true;
    }
    return false;
}

// Whether the window belongs to the owner's form, or to the window the form is embedded in.
bool belongsToOwnerForm(HWND window, TkvCustomPopupWindow *popup) {
    TCustomForm *form = ownerForm(popup);
    if (form == nullptr)
        return false;
    if (IsWindowOfControl(window, form, true))
        return true;
    if (form->Parent() == nullptr && form->HandleAllocated()) {
        HWND top = GetAncestor(form->Handle(), GA_ROOT);
        if (top != nullptr && top != form->Handle() && (window == top || IsChild(top, window)))
            return true;
    }
    return false;
}

// The click test of the mouse hook: false swallows the click.
bool clickAllowed(HWND window, UINT message, POINT point) {
    bool result = true;
    for (int i = 0; shownPopups != nullptr && i < shownPopups->Count();) {
        TkvCustomPopupWindow *popup = shownPopups->Get(i);
        if ((popup->CaptureFocus && Screen->ActiveForm() != popup) || IsWindowOfControl(window, popup, true)) {
            ++i;
            continue;
        }
        TCustomForm *form = ownerForm(popup);
        auto *formPopup = dynamic_cast<TkvCustomPopupWindow *>(form);
        if (belongsToOwnerForm(window, popup) || (formPopup != nullptr && !listed(formPopup))) {
            bool pass = true;
            TControl *owner = popup->OwnerControl();
            if (owner != nullptr && IsWindowOfControl(window, owner, true) &&
                (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK)) {
                TRect bounds;
                popup->GetOwnerScreenBounds(bounds);
                if (PtInRect(&bounds, point)) {
                    pass = false;
                    popup->SetClickedOnOwner(true);
                }
            }
            closingBecauseOfClick = true;
            popup->SetClosingByHook(true);
            try {
                popup->ClosePopup();
            } catch (...) {
                popup->SetClosingByHook(false);
                closingBecauseOfClick = false;
                throw;
            }
            popup->SetClosingByHook(false);
            closingBecauseOfClick = false;
            if (!pass && owner != nullptr && (destroying(owner) || !owner->Visible()))
                result = false;
            i = 0;
            continue;
        }
        ++i;
    }
    return result;
}

LRESULT CALLBACK swallowingWindowProc(HWND window, UINT, WPARAM, LPARAM) {
    auto saved = reinterpret_cast<WNDPROC>(GetPropW(window, savedProcProperty));
    RemovePropW(window, savedProcProperty);
    if (saved != nullptr)
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved));
    return 1;
}

void closeFrom(int index) {
    // The popups from index on close, the top one first.
    for (int i = shownPopups->Count() - 1; i >= index && i < shownPopups->Count(); --i)
        shownPopups->Get(i)->ClosePopup();
}

void onCallWndProc(const CWPSTRUCT &m) {
    switch (m.message) {
    case WM_DESTROY:
        for (int i = 0; i < shownPopups->Count(); ++i) {
            TkvCustomPopupWindow *popup = shownPopups->Get(i);
            if (popup->HandleAllocated() && popup->Handle() == m.hwnd) {
                if (!destroying(popup))
                    popup->Close();
                break;
            }
        }
        break;
    case WM_CLOSE:
        for (int i = 0; i < shownPopups->Count(); ++i) {
            TkvCustomPopupWindow *popup = shownPopups->Get(i);
            if (destroying(popup))
                continue;
            if (popup->HandleAllocated() && popup->Handle() == m.hwnd) {
                if (popup->CloseQuery())
                    popup->ClosePopup();
                TControl *owner = popup->OwnerControl();
                if (!listed(popup) && popup->CaptureFocus && owner != nullptr && !destroying(owner)) {
                    HWND target = windowOf(owner);
                    while (target != nullptr && IsChildWindowStyle(target))
                        target = GetParent(target);
                    if (target != nullptr)
                        SendMessageW(target, WM_CLOSE, 0, 0);
                }
                return;
            }
            if (popup->CaptureFocus)
                continue;
            TControl *owner = popup->OwnerControl();
            if (owner != nullptr && !destroying(owner)) {
                TCustomForm *form = ownerForm(popup);
                if (form == nullptr || !form->HandleAllocated() || form->Handle() == m.hwnd)
                    popup->ClosePopup();
                return;
            }
        }
        break;
    case WM_SHOWWINDOW:
        if (m.wParam != 0)
            break;
        for (int i = shownPopups->Count() - 1; i >= 0; --i) {
            TkvCustomPopupWindow *popup = shownPopups->Get(i);
            TControl *owner = popup->OwnerControl();
            if (destroying(popup) || owner == nullptr || destroying(owner))
                continue;
            HWND ownerWindow = windowOf(owner);
            if (ownerWindow == nullptr)
                continue;
            // The owner is hidden with its own window or with its form's.
            TCustomForm *form = GetParentForm(owner);
            HWND formWindow = form != nullptr && form->HandleAllocated() ? form->Handle() : nullptr;
            if (ownerWindow == m.hwnd || formWindow == m.hwnd) {
                closeFrom(i);
                break;
            }
        }
        break;
    case WM_WINDOWPOSCHANGED:
        for (int i = 0; i < shownPopups->Count();) {
            TkvCustomPopupWindow *popup = shownPopups->Get(i);
            TControl *owner = popup->OwnerControl();
            HWND ownerWindow = windowOf(owner);
            if (popup->HandleAllocated() && !destroying(popup) && ownerWindow != nullptr && !destroying(owner) &&
                (ownerWindow == m.hwnd || IsChild(m.hwnd, ownerWindow)) && !IsWindowVisible(ownerWindow)) {
                popup->ClosePopup();
                i = 0;
                continue;
            }
            ++i;
        }
        break;
    case WM_ACTIVATEAPP:
        if (m.wParam != 0)
            break;
        for (int i = 0; i < shownPopups->Count();) {
            TkvCustomPopupWindow *popup = shownPopups->Get(i);
            TCustomForm *form = ownerForm(popup);
            if (form != nullptr && form->HandleAllocated())
                PostMessageW(form->Handle(), WM_NCACTIVATE, FALSE, 0);
            bool enabled = popup->HandleAllocated() && IsWindowEnabled(popup->Handle());
            if (enabled && (!popup->CaptureFocus || Screen->ActiveForm() != popup)) {
                popup->ClosePopup();
                if (auto *container = dynamic_cast<TkvContainer *>(popup->OwnerControl()))
                    container->FocusChanged();
                i = 0;
                continue;
            }
            ++i;
        }
        break;
    case WM_NCACTIVATE: {
        if (m.wParam != 0)
            break;
        bool swallow = closingBecauseOfClick;
        for (int i = 0; !swallow && i < shownPopups->Count(); ++i) {
            TkvCustomPopupWindow *popup = shownPopups->Get(i);
            if (destroying(popup))
                continue;
            TCustomForm *form = ownerForm(popup);
            swallow = form != nullptr && form->HandleAllocated() && form->Handle() == m.hwnd;
        }
        if (swallow)
            SwallowNextWindowMessage(m.hwnd);
        break;
    }
    default:
        break;
    }
}

LRESULT CALLBACK callWndProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && shownPopups != nullptr && shownPopups->Count() > 0) {
        try {
            onCallWndProc(*reinterpret_cast<const CWPSTRUCT *>(lParam));
        } catch (...) {
            if (Application != nullptr)
                Application->HandleException(nullptr);
        }
    }
    return CallNextHookEx(callWndProcHook, code, wParam, lParam);
}

LRESULT CALLBACK getMessageProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE && shownPopups != nullptr && shownPopups->Count() > 0) {
        auto *msg = reinterpret_cast<MSG *>(lParam);
        if (msg->message == WM_SYSKEYDOWN) {
            TkvCustomPopupWindow *top = shownPopups->Last();
            try {
                if (!(top->CaptureFocus && top->ModalLoop) && !top->AcceptsSysKey(static_cast<WORD>(msg->wParam)))
                    msg->message = WM_NULL;
            } catch (...) {
                if (Application != nullptr)
                    Application->HandleException(nullptr);
            }
        }
    }
    return CallNextHookEx(getMessageHook, code, wParam, lParam);
}

LRESULT CALLBACK mouseProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && shownPopups != nullptr && shownPopups->Count() > 0 &&
        (wParam == WM_NCLBUTTONDOWN || wParam == WM_NCLBUTTONDBLCLK || wParam == WM_LBUTTONDOWN ||
         wParam == WM_LBUTTONDBLCLK)) {
        auto *info = reinterpret_cast<const MOUSEHOOKSTRUCT *>(lParam);
        bool allowed = true;
        try {
            allowed = clickAllowed(info->hwnd, static_cast<UINT>(wParam), info->pt);
        } catch (...) {
            if (Application != nullptr)
                Application->HandleException(nullptr);
        }
        if (!allowed)
            return 1;
    }
    return CallNextHookEx(mouseHook, code, wParam, lParam);
}

// Up from the window, through parents only, to a custom popup: its owner's window.
HWND popupOwnerWindow(HWND window) {
    for (HWND w = window; w != nullptr; w = IsChildWindowStyle(w) ? GetParent(w) : nullptr)
        if (auto *popup = dynamic_cast<TkvCustomPopupWindow *>(TWinControl::FindControl(w))) {
            HWND owner = windowOf(popup->OwnerControl());
            return owner != nullptr ? owner : window;
        }
    return window;
}

void startContainerUnit() {
    shownPopups = new TList<TkvCustomPopupWindow *>();
    DWORD thread = GetCurrentThreadId();
    callWndProcHook = SetWindowsHookExW(WH_CALLWNDPROC, callWndProc, nullptr, thread);
    getMessageHook = SetWindowsHookExW(WH_GETMESSAGE, getMessageProc, nullptr, thread);
    mouseHook = SetWindowsHookExW(WH_MOUSE, mouseProc, nullptr, thread);
    screenCanvas = New<TkvScreenCanvas>();
    kvPopupOwnerWindowHook = popupOwnerWindow;
}

void stopContainerUnit() {
    kvPopupOwnerWindowHook = nullptr;
    FreeAndNil(screenCanvas);
    for (HHOOK *hook : {&mouseHook, &getMessageHook, &callWndProcHook}) {
        if (*hook != nullptr)
            UnhookWindowsHookEx(*hook);
        *hook = nullptr;
    }
    delete shownPopups;
    shownPopups = nullptr;
}

} // namespace

constinit TUnit kvContainerUnit{L"kvContainer", startContainerUnit, stopContainerUnit, {&kvControlsUnit}};

bool PopupsStayOnTop() noexcept { return stayOnTopForNonCapturing; }
void SetPopupsStayOnTop(bool value) noexcept { stayOnTopForNonCapturing = value; }

int ShownPopupCount() { return shownPopups != nullptr ? shownPopups->Count() : 0; }

TkvCustomPopupWindow *ShownPopup(int index) { return shownPopups->Get(index); }

TkvScreenCanvas *GetScreenCanvas() noexcept { return screenCanvas; }

void SwallowNextWindowMessage(HWND window) {
    if (GetPropW(window, savedProcProperty) != nullptr)
        return;
    auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&swallowingWindowProc)));
    if (previous != nullptr)
        SetPropW(window, savedProcProperty, reinterpret_cast<HANDLE>(previous));
}

bool IsWindowOfControl(HWND window, TControl *control, bool deep) {
    HWND own = windowOf(control);
    if (window == nullptr || control == nullptr)
        return false;
    if (own != nullptr && own == window)
        return true;
    if (!deep)
        return false;
    if (own != nullptr && IsChild(own, window))
        return true;
    if (auto *windowed = dynamic_cast<TWinControl *>(control); windowed != nullptr && belongsToChildren(window, windowed))
        return true;
    if (shownPopups == nullptr)
        return false;
    auto *self = dynamic_cast<TkvCustomPopupWindow *>(control);
    for (int i = 0; i < shownPopups->Count(); ++i) {
        TkvCustomPopupWindow *popup = shownPopups->Get(i);
        if (popup == control)
            continue;
        bool openedFromHere = popup->OwnerControl() == control || (self != nullptr && ownerForm(popup) == self);
        if (openedFromHere && IsWindowOfControl(window, popup, true))
            return true;
    }
    return false;
}

// --- TkvCustomPopupWindow

void TkvCustomPopupWindow::Create(TComponent *ownerControl) {
    ownerControl_ = dynamic_cast<TControl *>(ownerControl);
    inherited::Create(ownerControl);
    SetVisible(false);
    style_ = NewOf<TkvContainerStyle>(StyleClass(), static_cast<TPersistent *>(this), false, nullptr, cssNormal);
    style_->OnChanged = [this](TObject *sender) { StyleChanged(sender); };
    viewInfo_ = NewOf<TkvContainerViewInfo>(ViewInfoClass());
    CaptureFocus = true;
    SetKeyPreview(true);
    ModalLoop = true;
    if (ownerControl_ != nullptr)
        ownerControl_->FreeNotification(this);
}

void TkvCustomPopupWindow::Destroy() {
    if (shownPopups != nullptr)
        shownPopups->Remove(this);
    FreeAndNil(viewInfo_);
    if (style_ != nullptr)
        style_->OnChanged = nullptr;
    FreeAndNil(style_);
    inherited::Destroy();
}

void TkvCustomPopupWindow::Notification(TComponent *component, TOperation operation) {
    inherited::Notification(component, operation);
    if (operation != opRemove)
        return;
    if (component == ownerControl_)
        ownerControl_ = nullptr;
    if (component == focusedControl_)
        focusedControl_ = nullptr;
}

bool TkvCustomPopupWindow::IsShown() const { return listed(const_cast<TkvCustomPopupWindow *>(this)); }

void TkvCustomPopupWindow::NotifyClosed() {
    if (OnClosed)
        OnClosed(this);
}

void TkvCustomPopupWindow::NotifyClosing() {
    if (OnClosing)
        OnClosing(this);
}

void TkvCustomPopupWindow::NotifyShown() {
    if (OnShown)
        OnShown(this);
}

bool TkvCustomPopupWindow::AcceptsSysKey(WORD key) { return (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_F4; }

void TkvCustomPopupWindow::FitToWorkArea(TPoint &p) {
    if (!ShouldFitToWorkArea())
        return;
    TRect area = GetMonitorWorkArea(p);
    int width = Width();
    int height = Height();
    if (p.x < area.left) {
        width -= area.left - p.x;
        p.x = area.left;
    }
    if (p.y < area.top) {
        height -= area.top - p.y;
        p.y = area.top;
    }
    height = std::min(height, static_cast<int>(area.bottom - p.y));
    width = std::min(width, static_cast<int>(area.right - p.x));
    SetBounds(Left(), Top(), width, height);
    if (Height() != height && p.y == area.top)
        p.y += height - Height();
}

void TkvCustomPopupWindow::GetOwnerScreenBounds(TRect &rect) {
    rect = OwnerBounds;
    auto *owner = dynamic_cast<TWinControl *>(ownerControl_);
    if (owner == nullptr || !owner->HandleAllocated() || !IsChildWindowStyle(owner->Handle()) || owner->Parent() == nullptr)
        return;
    TRect r = owner->BoundsRect();
    TPoint topLeft = owner->Parent()->ClientToScreen(TPoint{r.left, r.top});
    rect = TRect{topLeft.x, topLeft.y, topLeft.x + (r.right - r.left), topLeft.y + (r.bottom - r.top)};
}

bool TkvCustomPopupWindow::Focused() {
    if (!IsShown() || !CaptureFocus || !HandleAllocated())
        return false;
    HWND focus = GetFocus();
    return focus != nullptr && (focus == Handle() || IsChild(Handle(), focus));
}

bool TkvCustomPopupWindow::CanFocus() { return Visible(); }

void TkvCustomPopupWindow::CreateHandle() {
    bool wasListed = IsShown();
    if (!wasListed && shownPopups != nullptr)
        shownPopups->Add(this);
    try {
        inherited::CreateHandle();
    } catch (...) {
        if (!wasListed && shownPopups != nullptr)
            shownPopups->Remove(this);
        throw;
    }
    if (!wasListed && shownPopups != nullptr)
        shownPopups->Remove(this);
}

void TkvCustomPopupWindow::CreateParams(TCreateParams &params) {
    inherited::CreateParams(params);
    TCustomForm *form = ownerControl_ != nullptr ? GetParentForm(ownerControl_) : nullptr;
    if (CaptureFocus) {
        if (form != nullptr)
            params.WndParent = form->Handle();
        params.Style &= ~static_cast<DWORD>(WS_CHILD);
        params.Style |= WS_POPUP;
        params.ExStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
        bool formTopmost = form != nullptr && form->HandleAllocated() &&
                           (GetWindowLongW(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        if (Topmost && (form == nullptr || formTopmost))
            params.ExStyle |= WS_EX_TOPMOST;
    } else {
        params.Style &= ~static_cast<DWORD>(WS_POPUP);
        params.Style |= WS_CHILD;
        params.ExStyle |= WS_EX_TOOLWINDOW;
        if (params.WndParent == nullptr && GetMessageWindow() != nullptr)
            params.WndParent = GetMessageWindow()->Handle();
    }
    params.Style |= WS_CLIPCHILDREN;
}

void TkvCustomPopupWindow::CreateWnd() {
    inherited::CreateWnd();
    if (!CaptureFocus && HandleAllocated())
        ::SetParent(Handle(), nullptr);
}

void TkvCustomPopupWindow::AdjustClientRect(TRect &rect) { rect = viewInfo_->ClientRect; }

void TkvCustomPopupWindow::Paint() { viewInfo_->Draw(KvCanvas()); }

void TkvCustomPopupWindow::KeyDown(WORD &key, TShiftState shift) {
    if (key == VK_ESCAPE && IsShown() && HandleAllocated() && GetCapture() != nullptr &&
        (GetCapture() == Handle() || IsChild(Handle(), GetCapture()))) {
        ReleaseCapture();
        key = 0;
        return;
    }
    inherited::KeyDown(key, shift);
}

void TkvCustomPopupWindow::Deactivate() {
    TForm::Deactivate();
    if (closingByHook_ || shownPopups == nullptr)
        return;
    HWND active = activatingWindow_ != nullptr ? activatingWindow_ : GetActiveWindow();
    bool activeIsPopup = false;
    for (int i = shownPopups->Count() - 1; i >= 0 && i < shownPopups->Count(); --i) {
        TkvCustomPopupWindow *popup = shownPopups->Get(i);
        if (popup->HandleAllocated() && popup->Handle() == active) {
            activeIsPopup = true;
            break;
        }
        if (popup->HandleAllocated() && IsWindowEnabled(popup->Handle()))
            popup->ClosePopup();
    }
    // A popup opened from this one keeps it open; anything else closes it too.
    if (!activeIsPopup)
        ClosePopup();
}

void TkvCustomPopupWindow::Popup(TWinControl *focusedControl) {
    if (IsShown())
        return;
    auto *owner = dynamic_cast<TWinControl *>(ownerControl_);
    if (owner == nullptr || !owner->HandleAllocated() || !IsWindowVisible(owner->Handle()))
        return;
    if (owner->Parent() != nullptr)
        SetFont(owner->Parent()->Font());
    CalculateSize();
    TPoint p{Left(), Top()};
    CalculatePosition(p);
    FitToWorkArea(p);
    shownPopups->Add(this);
    if (OnShowing)
        OnShowing(this);
    SetBounds(p.x, p.y, Width(), Height());
    Show();
    TWinControl *target = focusedControl;
    if (CaptureFocus) {
        if (target == nullptr || !target->CanFocus() || !target->TabStop())
            target = FindNextControl(nullptr, true, true, false);
        if (target == nullptr)
            target = this;
    }
    focusedControl_ = target;
    if (target != nullptr && target->CanFocus())
        target->SetFocus();
    else if (target == nullptr && CanFocus())
        SetFocus();
    TCustomForm *form = GetParentForm(owner);
    bool topmost = form == nullptr || isStayOnTop(form) ||
                   (!CaptureFocus && (hiddenStayOnTopFormExists() || stayOnTopForNonCapturing));
    SetWindowPos(Handle(), topmost ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    SetModalResult(mrNone);
    NotifyShown();
    if (CaptureFocus && ModalLoop)
        runModalLoop();
}

// Until the popup closes: Alt+Enter, Alt and Alt+Space waiting for it are dropped, a modal
// result closes it when the close query agrees.
void TkvCustomPopupWindow::runModalLoop() {
    TkvObjectLink *link = CreateObjectLink(this);
    try {
        while (link->Ref != nullptr && Visible() && IsShown() && !Application->Terminated()) {
            // Every such key at the head, not only the first: two in a row are both dropped.
            MSG msg;
            while (PeekMessageW(&msg, nullptr, WM_SYSKEYDOWN, WM_SYSKEYDOWN, PM_NOREMOVE) &&
                   (msg.wParam == VK_RETURN || msg.wParam == VK_MENU || msg.wParam == VK_SPACE))
                PeekMessageW(&msg, msg.hwnd, WM_SYSKEYDOWN, WM_SYSKEYDOWN, PM_REMOVE);
            if (ModalResult() != mrNone) {
                if (CloseQuery())
                    CloseOnModalResult();
                else
                    SetModalResult(mrNone);
                continue;
            }
            Application->HandleMessage();
        }
    } catch (...) {
        ReleaseObjectLink(link);
        throw;
    }
    ReleaseObjectLink(link);
}

void TkvCustomPopupWindow::ClosePopup() {
    if (!IsShown())
        return;
    shownPopups->Remove(this);
    NotifyClosing();
    if (HandleAllocated())
        ShowWindow(Handle(), SW_HIDE);
    Hide();
    NotifyClosed();
    HWND capture = GetCapture();
    if (capture != nullptr && HandleAllocated() && (capture == Handle() || IsChild(Handle(), capture)))
        ReleaseCapture();
}

void TkvCustomPopupWindow::Dispatch(TMessage &m) {
    switch (m.Msg) {
    case WM_ERASEBKGND:
        if (ErasesBackground())
            inherited::Dispatch(m);
        else
            m.Result = 1;
        return;
    case WM_ACTIVATEAPP:
        return;
    case WM_ACTIVATE:
        // While deactivating, the window being activated is not the active one yet.
        activatingWindow_ = LOWORD(m.WParam) == WA_INACTIVE ? reinterpret_cast<HWND>(m.LParam) : nullptr;
        try {
            inherited::Dispatch(m);
        } catch (...) {
            activatingWindow_ = nullptr;
            throw;
        }
        activatingWindow_ = nullptr;
        return;
    case KV_CLOSEPOPUP:
        closingByHook_ = true;
        try {
            ClosePopup();
        } catch (...) {
            closingByHook_ = false;
            throw;
        }
        closingByHook_ = false;
        if (HWND owner = windowOf(ownerControl_))
            SendMessageW(owner, WM_SETFOCUS, 0, 0);
        return;
    case KV_REOPENPOPUP:
        Popup(focusedControl_);
        return;
    case CM_FOCUSCHANGED: {
        inherited::Dispatch(m);
        // Hidden, the popup gives the focus back to its owner when the owner's form kept it.
        if (!CaptureFocus || !HandleAllocated() || IsWindowVisible(Handle()))
            return;
        auto *owner = dynamic_cast<TWinControl *>(ownerControl_);
        TCustomForm *form = ownerForm(this);
        if (owner != nullptr && form != nullptr && form->HandleAllocated() && GetFocus() == form->Handle() &&
            owner->CanFocus() && !form->ComponentState().Contains(csDesigning))
            owner->SetFocus();
        return;
    }
    default:
        inherited::Dispatch(m);
    }
}
