#include "classlib/controls.h"

#include "classlib/exceptions.h"
#include "classlib/forms.h"
#include "classlib/menus.h"
#include "drag_manager.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

HINSTANCE thisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

// The control whose window CreateWindowEx is making right now: its first messages arrive before
// CreateWindowEx returns the handle.
TWinControl *creatingControl = nullptr;

} // namespace

TWinControl *TWinControl::FindControl(HWND window) {
    if (window == nullptr)
        return nullptr;
    WNDPROC proc = reinterpret_cast<WNDPROC>(GetClassLongPtrW(window, GCLP_WNDPROC));
    if (proc != &TWinControl::stdWndProc)
        return nullptr;
    return reinterpret_cast<TWinControl *>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK TWinControl::stdWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto *control = reinterpret_cast<TWinControl *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (control == nullptr) {
        control = creatingControl;
        if (control == nullptr)
            return DefWindowProcW(window, msg, wParam, lParam);
        creatingControl = nullptr;
        control->handle_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
    }
    TMessage message{msg, wParam, lParam, 0};
    try {
        control->WindowProc(message);
    } catch (...) {
        if (Application != nullptr)
            Application->HandleException(control);
        else
            ::HandleException(control);
    }
    return message.Result;
}

void TWinControl::Create(TComponent *owner) {
    inherited::Create(owner);
    parentColor_ = false;
}

void TWinControl::Destroy() {
    Destroying();
    if (parent_ != nullptr)
        parent_->RemoveControl(this);
    DestroyHandle();
    while (ControlCount() > 0)
        RemoveControl(Controls(ControlCount() - 1));
    if (brush_ != nullptr) {
        DeleteObject(brush_);
        brush_ = nullptr;
    }
    inherited::Destroy();
}

// --- window ---

void TWinControl::CreateParams(TCreateParams &params) {
    params = TCreateParams{};
    params.Caption = text_;
    params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (controlStyle_.Contains(csAcceptsControls)) {
        params.Style |= WS_CLIPCHILDREN;
        params.ExStyle |= WS_EX_CONTROLPARENT;
    }
    if (visible_)
        params.Style |= WS_VISIBLE;
    if (!enabled_)
        params.Style |= WS_DISABLED;
    if (tabStop_)
        params.Style |= WS_TABSTOP;
    if (UseRightToLeftReading())
        params.ExStyle |= WS_EX_RTLREADING;
    if (UseRightToLeftScrollBar())
        params.ExStyle |= WS_EX_LEFTSCROLLBAR;
    if (UseRightToLeftAlignment())
        params.ExStyle |= WS_EX_RIGHT;
    params.X = left_;
    params.Y = top_;
    params.Width = width_;
    params.Height = height_;
    params.WndParent = parent_ != nullptr ? parent_->GetHandle() : parentWindow_;
    params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    params.WindowClass.lpfnWndProc = DefWindowProcW;
    params.WindowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    params.WindowClass.hInstance = thisModule();
    params.WinClassName = ClassName();
}

void TWinControl::CreateSubClass(TCreateParams &params, const wchar_t *controlClassName) {
    WNDCLASSW cls{};
    if (!GetClassInfoW(nullptr, controlClassName, &cls))
        RaiseLastOSError();
    // Keeps the system class's procedure as the default handler and its extra bytes.
    UINT keep = params.WindowClass.style & ~(CS_OWNDC | CS_CLASSDC | CS_PARENTDC);
    params.WindowClass = cls;
    params.WindowClass.style = cls.style | (keep & CS_DBLCLKS);
    params.WindowClass.hInstance = thisModule();
    params.SysClassName = controlClassName;
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    if ((params.Style & WS_CHILD) != 0 && params.WndParent == nullptr)
        throw EInvalidOperation(L"Control '" + Name() + L"' has no parent window");
    defWndProc_ = params.WindowClass.lpfnWndProc;
    WNDCLASSW existing{};
    bool registered = GetClassInfoW(params.WindowClass.hInstance, params.WinClassName.c_str(), &existing) != 0;
    if (!registered || existing.lpfnWndProc != &TWinControl::stdWndProc) {
        if (registered)
            UnregisterClassW(params.WinClassName.c_str(), params.WindowClass.hInstance);
        WNDCLASSW cls = params.WindowClass;
        cls.lpfnWndProc = &TWinControl::stdWndProc;
        cls.lpszClassName = params.WinClassName.c_str();
        if (RegisterClassW(&cls) == 0)
            RaiseLastOSError();
    } else if (!params.SysClassName.empty()) {
        // A class registered earlier over the same system class: same default procedure.
        defWndProc_ = params.WindowClass.lpfnWndProc;
    }
    CreateWindowHandle(params);
    if (handle_ == nullptr)
        RaiseLastOSError();
    if (font_ != nullptr)
        SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_->GetHandle()), 0);
}

void TWinControl::CreateWindowHandle(const TCreateParams &params) {
    TWinControl *saved = creatingControl;
    creatingControl = this;
    HWND window = CreateWindowExW(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(), params.Style,
                                  params.X, params.Y, params.Width, params.Height, params.WndParent, nullptr,
                                  params.WindowClass.hInstance, params.Param);
    creatingControl = saved;
    if (window != nullptr)
        handle_ = window;
}

void TWinControl::CreateHandle() {
    if (handle_ != nullptr)
        return;
    controlState_.Include(csCreating);
    try {
        CreateWnd();
    } catch (...) {
        controlState_.Exclude(csCreating);
        throw;
    }
    controlState_.Exclude(csCreating);
    createChildHandles();
}

void TWinControl::createChildHandles() {
    // In tab order, so that the windows' own order matches it.
    for (TWinControl *child : tabList_)
        if (child->handle_ == nullptr)
            child->CreateHandle();
}

void TWinControl::DestroyHandle() {
    if (handle_ == nullptr)
        return;
    for (TWinControl *child : winControls_)
        child->DestroyHandle();
    DestroyWnd();
}

void TWinControl::DestroyWnd() {
    text_ = GetText();
    DestroyWindowHandle();
}

void TWinControl::DestroyWindowHandle() {
    controlState_.Include(csDestroyingHandle);
    HWND window = handle_;
    if (window != nullptr) {
        DestroyWindow(window);
        if (handle_ == window) { // a window that never saw WM_NCDESTROY through us
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            handle_ = nullptr;
        }
    }
    controlState_.Exclude(csDestroyingHandle);
}

void TWinControl::RecreateWnd() {
    if (handle_ == nullptr)
        return;
    bool hadFocus = Focused();
    DestroyHandle();
    if (parent_ != nullptr || parentWindow_ != nullptr || dynamic_cast<TCustomForm *>(this) != nullptr)
        CreateHandle();
    if (hadFocus && handle_ != nullptr)
        ::SetFocus(handle_);
}

HWND TWinControl::GetHandle() {
    if (handle_ == nullptr) {
        if (parent_ != nullptr)
            parent_->HandleNeeded();
        if (handle_ == nullptr)
            CreateHandle();
    }
    return handle_;
}

bool TWinControl::Showing() { return handle_ != nullptr && IsWindowVisible(handle_); }

// --- children ---

TControl *TWinControl::Controls(int index) const {
    int graphic = controls_.Count();
    return index < graphic ? controls_.Get(index) : winControls_.Get(index - graphic);
}

bool TWinControl::ContainsControl(TControl *control) {
    while (control != nullptr && control != this)
        control = control->parent_;
    return control == this;
}

TControl *TWinControl::ControlAtPos(TPoint pos, bool allowDisabled, bool allowWinControls) {
    auto hit = [&](TControl *c) {
        TRect r = c->BoundsRect();
        return c->visible_ && (c->enabled_ || allowDisabled) && PtInRect(&r, pos) &&
               c->Perform(CM_HITTEST, 0, PointToLParam(TPoint{pos.x - r.left, pos.y - r.top})) != 0;
    };
    if (allowWinControls)
        for (int i = winControls_.Count() - 1; i >= 0; --i)
            if (hit(winControls_[i]))
                return winControls_[i];
    for (int i = controls_.Count() - 1; i >= 0; --i)
        if (hit(controls_[i]))
            return controls_[i];
    return nullptr;
}

void TWinControl::InsertControl(TControl *control) {
    control->parent_ = this;
    if (auto *win = dynamic_cast<TWinControl *>(control)) {
        winControls_.Add(win);
        tabList_.Add(win);
    } else {
        controls_.Add(control);
    }
    control->Perform(CM_PARENTCOLORCHANGED, 0, 0);
    control->Perform(CM_PARENTFONTCHANGED, 0, 0);
    if (auto *win = dynamic_cast<TWinControl *>(control); win != nullptr && handle_ != nullptr)
        win->CreateHandle();
    else
        control->InvalidateControl(control->visible_, false);
    if (control->align_ != alNone)
        Realign();
}

void TWinControl::RemoveControl(TControl *control) {
    if (control->parent_ != this)
        return;
    if (auto *win = dynamic_cast<TWinControl *>(control)) {
        if (TCustomForm *form = GetParentForm(this))
            form->DefocusControl(win, true);
        win->DestroyHandle();
        winControls_.Remove(win);
        tabList_.Remove(win);
    } else {
        control->InvalidateControl(control->visible_, false);
        controls_.Remove(control);
        if (Application != nullptr && Application->captureControl_ == control)
            Application->captureControl_ = nullptr;
    }
    control->parent_ = nullptr;
    if (control->align_ != alNone)
        Realign();
}

void TWinControl::SetParent(TWinControl *parent) {
    if (parent_ == nullptr && parent != nullptr && parentWindow_ == nullptr)
        DestroyHandle(); // a top-level window becomes a child: its window is made again
    inherited::SetParent(parent);
}

void TWinControl::Broadcast(TMessage &message) {
    for (int i = 0; i < ControlCount(); ++i) {
        Controls(i)->WindowProc(message);
        if (message.Result != 0)
            return;
    }
}

void TWinControl::NotifyControls(UINT msg) {
    TMessage message{msg, 0, 0, 0};
    Broadcast(message);
}

void TWinControl::Realign() {
    if (aligning_)
        return;
    if (alignLevel_ > 0) {
        controlState_.Include(csAlignmentNeeded);
        return;
    }
    controlState_.Exclude(csAlignmentNeeded);
    aligning_ = true;
    try {
        TRect r = GetClientRect();
        AdjustClientRect(r);
        AlignControls(nullptr, r);
    } catch (...) {
        aligning_ = false;
        throw;
    }
    aligning_ = false;
}

void TWinControl::EnableAlign() {
    if (alignLevel_ > 0 && --alignLevel_ == 0 && controlState_.Contains(csAlignmentNeeded))
        Realign();
}

void TWinControl::AdjustClientRect(TRect &) {}

void TWinControl::AlignControls(TControl *, TRect &rect) {
    for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (int i = 0; i < ControlCount(); ++i) {
            TControl *c = Controls(i);
            if (c->align_ != align || !c->visible_)
                continue;
            int w = c->width_;
            int h = c->height_;
            switch (align) {
            case alTop:
                c->SetBounds(rect.left, rect.top, rect.right - rect.left, h);
                rect.top += h;
                break;
            case alBottom:
                c->SetBounds(rect.left, rect.bottom - h, rect.right - rect.left, h);
                rect.bottom -= h;
                break;
            case alLeft:
                c->SetBounds(rect.left, rect.top, w, rect.bottom - rect.top);
                rect.left += w;
                break;
            case alRight:
                c->SetBounds(rect.right - w, rect.top, w, rect.bottom - rect.top);
                rect.right -= w;
                break;
            default:
                c->SetBounds(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
                break;
            }
        }
    }
}

// --- bounds ---

void TWinControl::UpdateBoundsRect(const TRect &r) {
    inherited::UpdateBoundsRect(r);
    if (handle_ != nullptr)
        SetWindowPos(handle_, nullptr, left_, top_, width_, height_, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    bool resized = width != width_ || height != height_;
    inherited::SetBounds(left, top, width, height);
    if (resized)
        Realign();
}

TRect TWinControl::GetClientRect() {
    if (handle_ != nullptr) {
        TRect r{};
        ::GetClientRect(handle_, &r);
        return r;
    }
    if (parent_ == nullptr) {
        // A top-level window not made yet: its frame comes from its parameters.
        TCreateParams params;
        CreateParams(params);
        TRect frame{0, 0, 0, 0};
        AdjustWindowRectEx(&frame, params.Style, FALSE, params.ExStyle);
        int w = width_ - (frame.right - frame.left);
        int h = height_ - (frame.bottom - frame.top);
        return TRect{0, 0, w < 0 ? 0 : w, h < 0 ? 0 : h};
    }
    return inherited::GetClientRect();
}

TPoint TWinControl::GetClientOrigin() {
    if (handle_ != nullptr) {
        TPoint p{0, 0};
        ::ClientToScreen(handle_, &p);
        return p;
    }
    if (parent_ == nullptr)
        return TPoint{left_, top_};
    return inherited::GetClientOrigin();
}

void TWinControl::SetZOrder(bool topMost) {
    if (parent_ != nullptr) {
        parent_->winControls_.Remove(this);
        if (topMost)
            parent_->winControls_.Add(this);
        else
            parent_->winControls_.Insert(0, this);
    }
    if (handle_ != nullptr)
        SetWindowPos(handle_, topMost ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// --- focus and tab order ---

int TWinControl::TabOrder() { return parent_ != nullptr ? parent_->tabList_.IndexOf(this) : -1; }

void TWinControl::SetTabOrder(int value) {
    if (parent_ == nullptr)
        return;
    TList<TWinControl *> &list = parent_->tabList_;
    int current = list.IndexOf(this);
    if (current < 0)
        return;
    if (value < 0)
        value = 0;
    if (value >= list.Count())
        value = list.Count() - 1;
    list.Move(current, value);
}

void TWinControl::SetTabStop(bool value) {
    if (tabStop_ == value)
        return;
    tabStop_ = value;
    if (handle_ != nullptr) {
        LONG_PTR style = GetWindowLongPtrW(handle_, GWL_STYLE);
        SetWindowLongPtrW(handle_, GWL_STYLE, value ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
    }
}

void TWinControl::SetParentBackground(bool value) {
    if (ParentBackground() == value)
        return;
    TControlStyle style = controlStyle_;
    if (value)
        style.Include(csParentBackground);
    else
        style.Exclude(csParentBackground);
    controlStyle_ = style;
    Invalidate();
}

void TWinControl::SetCtl3D(bool value) {
    if (ctl3D_ == value)
        return;
    ctl3D_ = value;
    Perform(CM_CTL3DCHANGED, 0, 0);
}

bool TWinControl::CanFocus() {
    TCustomForm *form = GetParentForm(this);
    if (form == nullptr)
        return visible_ && enabled_ && parentWindow_ != nullptr;
    for (TControl *c = this; c != form; c = c->parent_)
        if (!c->visible_ || !c->Enabled())
            return false;
    return form->visible_ && form->Enabled();
}

bool TWinControl::Focused() { return handle_ != nullptr && GetFocus() == handle_; }

void TWinControl::SetFocus() {
    if (TCustomForm *form = GetParentForm(this))
        form->FocusControl(this);
    else if (handle_ != nullptr)
        ::SetFocus(handle_);
}

void TWinControl::GetTabOrderList(TList<TWinControl *> &list) {
    for (TWinControl *child : tabList_) {
        list.Add(child);
        child->GetTabOrderList(list);
    }
}

TWinControl *TWinControl::FindNextControl(TWinControl *current, bool goForward, bool checkTabStop,
                                          bool checkParent) {
    TList<TWinControl *> list;
    GetTabOrderList(list);
    int count = list.Count();
    if (count == 0)
        return nullptr;
    int index = list.IndexOf(current);
    if (index < 0)
        index = goForward ? count - 1 : 0;
    for (int n = 0; n < count; ++n) {
        index = goForward ? (index + 1) % count : (index + count - 1) % count;
        TWinControl *candidate = list[index];
        if (candidate != current && candidate->CanFocus() && (!checkTabStop || candidate->tabStop_) &&
            (!checkParent || candidate->parent_ == this))
            return candidate;
    }
    return nullptr;
}

void TWinControl::SelectNext(TWinControl *current, bool goForward, bool checkTabStop) {
    if (TWinControl *next = FindNextControl(current, goForward, checkTabStop, !checkTabStop))
        next->SetFocus();
}

// --- painting ---

void TWinControl::Invalidate() {
    if (handle_ != nullptr)
        InvalidateRect(handle_, nullptr, !controlStyle_.Contains(csOpaque));
}

void TWinControl::Update() {
    if (handle_ != nullptr)
        UpdateWindow(handle_);
}

void TWinControl::Repaint() {
    Invalidate();
    Update();
}

void TWinControl::PaintTo(HDC dc, int x, int y) {
    int saved = SaveDC(dc);
    SetWindowOrgEx(dc, -x, -y, nullptr);
    IntersectClipRect(dc, 0, 0, width_, height_);
    // A copy is painted without the window's region: the control clips itself where it must.
    bool wasCopy = controlState_.Contains(csPaintCopy);
    controlState_.Include(csPaintCopy);
    try {
        Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    } catch (...) {
        if (!wasCopy)
            controlState_.Exclude(csPaintCopy);
        RestoreDC(dc, saved);
        throw;
    }
    if (!wasCopy)
        controlState_.Exclude(csPaintCopy);
    RestoreDC(dc, saved);
}

void TWinControl::ChangeScale(int m, int d) {
    if (m == d || d == 0)
        return;
    DisableAlign();
    try {
        for (int i = 0; i < ControlCount(); ++i)
            Controls(i)->ChangeScale(m, d);
        inherited::ChangeScale(m, d);
    } catch (...) {
        EnableAlign();
        throw;
    }
    EnableAlign();
}

void TWinControl::PaintHandler(HDC dc) {
    int saved = SaveDC(dc);
    try {
        PaintWindow(dc);
    } catch (...) {
        RestoreDC(dc, saved);
        throw;
    }
    RestoreDC(dc, saved);
    PaintControls(dc, nullptr);
}

void TWinControl::PaintWindow(HDC dc) {
    TMessage message{WM_PAINT, reinterpret_cast<WPARAM>(dc), 0, 0};
    DefaultHandler(message);
}

void TWinControl::PaintControls(HDC dc, TControl *first) {
    int start = first != nullptr ? controls_.IndexOf(first) : 0;
    if (start < 0)
        start = 0;
    for (int i = start; i < controls_.Count(); ++i) {
        TControl *c = controls_[i];
        if (!c->visible_)
            continue;
        TRect r = c->BoundsRect();
        if (!RectVisible(dc, &r))
            continue;
        int saved = SaveDC(dc);
        POINT origin{};
        GetWindowOrgEx(dc, &origin);
        SetWindowOrgEx(dc, origin.x - r.left, origin.y - r.top, nullptr);
        IntersectClipRect(dc, 0, 0, c->width_, c->height_);
        try {
            c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
        } catch (...) {
            RestoreDC(dc, saved);
            throw;
        }
        RestoreDC(dc, saved);
    }
}

HBRUSH TWinControl::colorBrush() {
    if (brush_ == nullptr || brushColor_ != color_) {
        if (brush_ != nullptr)
            DeleteObject(brush_);
        brush_ = CreateSolidBrush(ColorToRGB(color_));
        brushColor_ = color_;
    }
    return brush_;
}

// --- messages ---

bool TWinControl::routeMouseToChild(TMessage &m) {
    if (m.Msg < WM_MOUSEFIRST || m.Msg > WM_MOUSELAST || m.Msg == WM_MOUSEWHEEL || m.Msg == WM_MOUSEHWHEEL)
        return false;
    TPoint p = MessagePoint(m);
    TControl *target = nullptr;
    TControl *captured = Application != nullptr ? Application->captureControl_ : nullptr;
    if (captured != nullptr && captured->parent_ == this && !captured->IsWindowed() && GetCapture() == handle_)
        target = captured;
    else if (GetCapture() == nullptr || GetCapture() == handle_)
        target = ControlAtPos(p, false);
    if (m.Msg == WM_MOUSEMOVE && Application != nullptr)
        Application->UpdateMouseControl(target != nullptr ? target : this);
    if (target == nullptr)
        return false;
    TMessage forwarded{m.Msg, m.WParam, PointToLParam(TPoint{p.x - target->left_, p.y - target->top_}), 0};
    target->WindowProc(forwarded);
    m.Result = forwarded.Result;
    return true;
}

void TWinControl::armLeaveTracking() {
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, handle_, 0};
    mouseTracking_ = TrackMouseEvent(&track) != FALSE;
}

void TWinControl::WndProc(TMessage &m) {
    switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case CN_KEYDOWN:
    case CN_KEYUP:
        if (DragKeyMessage(m.Msg, m.WParam)) {
            m.Result = 1;
            return;
        }
        break;
    case WM_MOUSEMOVE:
        if (!mouseTracking_ && handle_ != nullptr)
            armLeaveTracking();
        break;
    case WM_CAPTURECHANGED:
        // The capture ended the leave tracking without a WM_MOUSELEAVE. Armed again now, it
        // reports a leave at once when the mouse was let go outside.
        mouseTracking_ = false;
        if (handle_ != nullptr && IsWindowVisible(handle_))
            armLeaveTracking();
        break;
    case WM_SETFOCUS:
        // The form learns first, so that CM_ENTER handlers see the new active control.
        if (TCustomForm *form = GetParentForm(this); form != nullptr && form != this)
            if (!form->SetFocusedControl(this))
                return;
        break;
    default:
        break;
    }
    if (routeMouseToChild(m))
        return;
    inherited::WndProc(m);
}

void TWinControl::Dispatch(TMessage &m) {
    switch (m.Msg) {
    case WM_PAINT:
        WMPaint(m);
        return;
    case WM_ERASEBKGND:
        WMEraseBkgnd(m);
        return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        WMKeyDown(m);
        return;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        WMKeyUp(m);
        return;
    case WM_CHAR:
        WMChar(m);
        return;
    case WM_SETFOCUS:
        WMSetFocus(m);
        return;
    case WM_KILLFOCUS:
        WMKillFocus(m);
        return;
    case WM_SETCURSOR:
        WMSetCursor(m);
        return;
    case WM_WINDOWPOSCHANGED:
        WMWindowPosChanged(m);
        return;
    case WM_MOUSELEAVE:
        WMMouseLeave(m);
        return;
    case WM_MOUSEWHEEL:
        WMMouseWheel(m);
        return;
    case WM_NCDESTROY:
        WMNCDestroy(m);
        return;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
        WMCommandOrNotify(m);
        return;
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN:
        CNKeyDown(m);
        return;
    case CN_CHAR:
    case CN_SYSCHAR:
        CNChar(m);
        return;
    case CM_ENTER:
        CMEnter(m);
        return;
    case CM_EXIT:
        CMExit(m);
        return;
    case CM_COLORCHANGED:
        CMColorChanged(m);
        return;
    case CM_FONTCHANGED:
        CMFontChanged(m);
        return;
    case CM_ENABLEDCHANGED:
        CMEnabledChanged(m);
        return;
    case CM_VISIBLECHANGED:
        CMVisibleChanged(m);
        return;
    case CM_TEXTCHANGED:
        CMTextChanged(m);
        return;
    case CM_SYSCOLORCHANGE:
        CMSysColorChange(m);
        return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
        CMDialogKeyOrChar(m);
        return;
    case CM_FOCUSCHANGED:
        // Every control hears which one has the focus now (buttons show the default ring by it).
        m.Result = 0;
        Broadcast(m);
        m.Result = 0;
        return;
    default:
        inherited::Dispatch(m);
    }
}

void TWinControl::DefaultHandler(TMessage &m) {
    if (m.Msg >= CN_CTLCOLORMSGBOX && m.Msg <= CN_CTLCOLORSTATIC) {
        HDC dc = reinterpret_cast<HDC>(m.WParam);
        SetTextColor(dc, ColorToRGB(font_->GetColor()));
        SetBkColor(dc, ColorToRGB(color_));
        m.Result = reinterpret_cast<LRESULT>(colorBrush());
        return;
    }
    if (m.Msg >= CN_BASE && m.Msg < CN_BASE + 0x400) {
        m.Result = 0; // a reflected notification nobody wanted; the window must not see it
        return;
    }
    if (handle_ == nullptr) {
        inherited::DefaultHandler(m);
        return;
    }
    m.Result = CallWindowProcW(defWndProc_ != nullptr ? defWndProc_ : DefWindowProcW, handle_, m.Msg, m.WParam,
                               m.LParam);
}

bool TWinControl::ReflectToChild(TMessage &m) {
    HWND child = nullptr;
    switch (m.Msg) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        child = reinterpret_cast<HWND>(m.LParam);
        break;
    case WM_NOTIFY:
        if (m.LParam != 0)
            child = reinterpret_cast<NMHDR *>(m.LParam)->hwndFrom;
        break;
    case WM_DRAWITEM:
        // Menus draw through the same message; child windows may have the id 0.
        if (m.LParam != 0 && reinterpret_cast<DRAWITEMSTRUCT *>(m.LParam)->CtlType != ODT_MENU)
            child = reinterpret_cast<DRAWITEMSTRUCT *>(m.LParam)->hwndItem;
        break;
    default:
        break;
    }
    TWinControl *control = FindControl(child);
    if (control == nullptr || control == this)
        return false;
    m.Result = control->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
    return true;
}

void TWinControl::WMCommandOrNotify(TMessage &m) {
    if (!ReflectToChild(m))
        DefaultHandler(m);
}

void TWinControl::WMPaint(TMessage &m) {
    if (!controlState_.Contains(csCustomPaint) && controls_.Empty()) {
        DefaultHandler(m);
        return;
    }
    if (m.WParam != 0) {
        PaintHandler(reinterpret_cast<HDC>(m.WParam));
        m.Result = 0;
        return;
    }
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(handle_, &ps);
    try {
        PaintHandler(dc);
    } catch (...) {
        EndPaint(handle_, &ps);
        throw;
    }
    EndPaint(handle_, &ps);
    m.Result = 0;
}

void TWinControl::WMEraseBkgnd(TMessage &m) {
    if (defWndProc_ != nullptr && defWndProc_ != DefWindowProcW) {
        DefaultHandler(m);
        return;
    }
    TRect r = GetClientRect();
    FillRect(reinterpret_cast<HDC>(m.WParam), &r, colorBrush());
    m.Result = 1;
}

void TWinControl::DispatchCustomPaint(TMessage &m) {
    controlState_.Include(csCustomPaint);
    try {
        TWinControl::Dispatch(m);
    } catch (...) {
        controlState_.Exclude(csCustomPaint);
        throw;
    }
    controlState_.Exclude(csCustomPaint);
}

// A key going down or up: the form sees it first when it previews keys; a key set to 0 is consumed.
bool TWinControl::doKeyEvent(TMessage &m, bool (TWinControl::*doEvent)(TMessage &),
                             void (TWinControl::*handler)(WORD &, TShiftState)) {
    TCustomForm *form = GetParentForm(this);
    if (form != nullptr && form != this && form->KeyPreview() && (static_cast<TWinControl *>(form)->*doEvent)(m))
        return true;
    WORD key = LOWORD(m.WParam);
    if (!controlStyle_.Contains(csNoStdEvents)) {
        (this->*handler)(key, KeyDataToShiftState(m.LParam));
        m.WParam = key;
    }
    return key == 0;
}

bool TWinControl::DoKeyDown(TMessage &m) { return doKeyEvent(m, &TWinControl::DoKeyDown, &TWinControl::KeyDown); }

bool TWinControl::DoKeyUp(TMessage &m) { return doKeyEvent(m, &TWinControl::DoKeyUp, &TWinControl::KeyUp); }

bool TWinControl::DoKeyPress(TMessage &m) {
    TCustomForm *form = GetParentForm(this);
    if (form != nullptr && form != this && form->KeyPreview() && static_cast<TWinControl *>(form)->DoKeyPress(m))
        return true;
    auto ch = static_cast<wchar_t>(m.WParam);
    if (!controlStyle_.Contains(csNoStdEvents)) {
        KeyPress(ch);
        m.WParam = ch;
    }
    return ch == 0;
}

void TWinControl::KeyDown(WORD &key, TShiftState shift) {
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(WORD &key, TShiftState shift) {
    if (OnKeyUp)
        OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(wchar_t &key) {
    if (OnKeyPress)
        OnKeyPress(this, key);
}

void TWinControl::WMKeyDown(TMessage &m) {
    if (!DoKeyDown(m))
        DefaultHandler(m);
}

void TWinControl::WMKeyUp(TMessage &m) {
    if (!DoKeyUp(m))
        DefaultHandler(m);
}

void TWinControl::WMChar(TMessage &m) {
    if (!DoKeyPress(m))
        DefaultHandler(m);
}

void TWinControl::CNKeyDown(TMessage &m) {
    m.Result = 1;
    TWMKey key(m);
    if (popupMenu_ != nullptr && !ComponentState().Contains(csDesigning) && popupMenu_->IsShortCut(key))
        return;
    if (m.Msg == CN_KEYDOWN && !ComponentState().Contains(csDesigning)) {
        LRESULT mask = 0;
        switch (key.CharCode()) {
        case VK_TAB:
            mask = DLGC_WANTTAB;
            break;
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
            mask = DLGC_WANTARROWS;
            break;
        case VK_RETURN:
        case VK_EXECUTE:
        case VK_ESCAPE:
        case VK_CANCEL:
            mask = DLGC_WANTALLKEYS;
            break;
        default:
            break;
        }
        if (mask != 0 && Perform(CM_WANTSPECIALKEY, key.CharCode(), 0) == 0 &&
            (Perform(WM_GETDLGCODE, 0, 0) & mask) == 0) {
            TCustomForm *form = GetParentForm(this);
            if (form != nullptr && form->Perform(CM_DIALOGKEY, key.CharCode(), key.KeyData()) != 0)
                return;
        }
    }
    m.Result = 0;
}

void TWinControl::CNChar(TMessage &m) {
    m.Result = 0;
    if (ComponentState().Contains(csDesigning))
        return;
    if (m.Msg == CN_SYSCHAR) {
        // Alt+letter is an accelerator even for a control that takes characters.
        if (m.WParam != VK_SPACE)
            if (TCustomForm *form = GetParentForm(this))
                m.Result = form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam);
        return;
    }
    if (m.Msg != CN_CHAR)
        return;
    if ((Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTCHARS) == 0) {
        TCustomForm *form = GetParentForm(this);
        if (form != nullptr && form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0)
            m.Result = 1;
    }
}

void TWinControl::CMDialogKeyOrChar(TMessage &m) {
    m.Result = 0;
    Broadcast(m);
}

void TWinControl::WMSetFocus(TMessage &m) { DefaultHandler(m); }

void TWinControl::WMKillFocus(TMessage &m) { DefaultHandler(m); }

void TWinControl::CMEnter(TMessage &) { DoEnter(); }

void TWinControl::CMExit(TMessage &) { DoExit(); }

void TWinControl::DoEnter() {
    if (OnEnter)
        OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit)
        OnExit(this);
}

void TWinControl::WMSetCursor(TMessage &m) {
    if (LOWORD(m.LParam) == HTCLIENT && Screen != nullptr) {
        TCursor cursor = Screen->Cursor();
        if (cursor == crDefault && reinterpret_cast<HWND>(m.WParam) == handle_) {
            TPoint p{};
            GetCursorPos(&p);
            ::ScreenToClient(handle_, &p);
            TControl *control = ControlAtPos(p, false);
            cursor = (control != nullptr ? control : this)->cursor_;
        }
        if (cursor != crDefault) {
            ::SetCursor(Screen->Cursors(cursor));
            m.Result = 1;
            return;
        }
    }
    DefaultHandler(m);
}

void TWinControl::WMWindowPosChanged(TMessage &m) {
    DefaultHandler(m);
    if (handle_ == nullptr || IsIconic(handle_))
        return;
    TRect r{};
    GetWindowRect(handle_, &r);
    if (HWND parentWindow = GetParent(handle_); parentWindow != nullptr && (GetWindowLongW(handle_, GWL_STYLE) & WS_CHILD))
        MapWindowPoints(nullptr, parentWindow, reinterpret_cast<POINT *>(&r), 2);
    bool resized = r.right - r.left != width_ || r.bottom - r.top != height_;
    if (r.left == left_ && r.top == top_ && !resized)
        return;
    left_ = r.left;
    top_ = r.top;
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
    if (resized) {
        Realign();
        Resize();
    }
}

void TWinControl::WMMouseLeave(TMessage &m) {
    mouseTracking_ = false;
    if (Application != nullptr) {
        TControl *current = Application->mouseControl_;
        if (current != nullptr && (current == this || (!current->IsWindowed() && current->parent_ == this)))
            Application->UpdateMouseControl(nullptr);
    }
    DefaultHandler(m);
}

void TWinControl::WMMouseWheel(TMessage &m) {
    TPoint p = MessagePoint(m);
    auto delta = static_cast<short>(HIWORD(m.WParam));
    if (DoMouseWheel(KeysToShiftState(LOWORD(m.WParam)), delta, p))
        m.Result = 1;
    else
        DefaultHandler(m);
}

void TWinControl::WMNCDestroy(TMessage &m) {
    DefaultHandler(m);
    if (handle_ != nullptr) {
        SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
        handle_ = nullptr;
    }
    mouseTracking_ = false;
}

void TWinControl::CMColorChanged(TMessage &m) {
    inherited::CMColorChanged(m);
    NotifyControls(CM_PARENTCOLORCHANGED);
}

void TWinControl::CMFontChanged(TMessage &m) {
    if (handle_ != nullptr)
        SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_->GetHandle()), 0);
    inherited::CMFontChanged(m);
    NotifyControls(CM_PARENTFONTCHANGED);
}

void TWinControl::CMEnabledChanged(TMessage &) {
    if (!enabled_ && parent_ != nullptr && Focused())
        if (TCustomForm *form = GetParentForm(this))
            form->SelectNext(this, true, true);
    if (handle_ != nullptr)
        EnableWindow(handle_, enabled_);
}

void TWinControl::CMVisibleChanged(TMessage &) {
    if (visible_) {
        if (handle_ == nullptr && parent_ != nullptr && parent_->handle_ != nullptr)
            CreateHandle();
        if (handle_ != nullptr)
            ShowWindow(handle_, SW_SHOWNOACTIVATE);
    } else if (handle_ != nullptr) {
        if (Focused())
            if (TCustomForm *form = GetParentForm(this); form != nullptr && form != this)
                form->SelectNext(this, true, true);
        ShowWindow(handle_, SW_HIDE);
    }
}

void TWinControl::CMTextChanged(TMessage &) {}

void TWinControl::CMSysColorChange(TMessage &m) {
    // A brush of a system colour is made again in the new colour.
    if (brush_ != nullptr && (static_cast<std::uint32_t>(brushColor_) & 0xFF000000u) == 0xFF000000u) {
        DeleteObject(brush_);
        brush_ = nullptr;
        if (handle_ != nullptr)
            InvalidateRect(handle_, nullptr, TRUE);
    }
    // Every control below hears of it, windowed or not; answers do not stop the broadcast.
    for (int i = 0; i < ControlCount(); ++i) {
        TMessage each{m.Msg, m.WParam, m.LParam, 0};
        Controls(i)->WindowProc(each);
    }
    m.Result = 0;
}
