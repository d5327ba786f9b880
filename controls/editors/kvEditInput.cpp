// TkvCustomEdit: keys, characters, the clipboard messages, the mouse and the edit buttons.
#include <classlib/menus.h>

#include <cwctype>

#include "kvEdit.h"
#include "kvEditMessages.h"

namespace {

TShortCut shortCutOf(WORD key, TShiftState shift) {
    return ShortCut(key, shift.Contains(ssShift), shift.Contains(ssCtrl), shift.Contains(ssAlt));
}

// Whether the caption has the character as its accelerator ("&x").
bool isAccelerator(wchar_t ch, const std::wstring &caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&')
            continue;
        if (caption[i + 1] == L'&') {
            ++i;
            continue;
        }
        return std::towupper(caption[i + 1]) == std::towupper(ch);
    }
    return false;
}

class FlagScope {
public:
    FlagScope(bool &flag, bool value) : flag_(flag), saved_(flag) { flag_ = value; }
    ~FlagScope() { flag_ = saved_; }
    FlagScope(const FlagScope &) = delete;
    FlagScope &operator=(const FlagScope &) = delete;

private:
    bool &flag_;
    bool saved_;
};

class IntScope {
public:
    IntScope(int &value, int to) : value_(value), saved_(value) { value_ = to; }
    ~IntScope() { value_ = saved_; }
    IntScope(const IntScope &) = delete;
    IntScope &operator=(const IntScope &) = delete;

private:
    int &value_;
    int saved_;
};

} // namespace

// --- keys

void TkvCustomEdit::DoAfterKeyDown(WORD &key, TShiftState shift) {
    if (OnAfterKeyDown)
        OnAfterKeyDown(this, key, shift);
}

bool TkvCustomEdit::IsDefaultButtonShortCut(WORD key, TShiftState shift) {
    TkvEditButtons *buttons = ActiveProperties()->Buttons();
    bool hasDefault = false;
    for (int i = 0; i < buttons->Count() && !hasDefault; ++i)
        hasDefault = buttons->Items(i)->Default();
    return hasDefault && shortCutOf(key, shift) == ActiveProperties()->ClickShortCut();
}

void TkvCustomEdit::ClickDefaultButton() {
    TkvEditButtons *buttons = ActiveProperties()->Buttons();
    for (int i = 0; i < buttons->Count(); ++i)
        if (buttons->Items(i)->Default()) {
            DoButtonClick(i);
            return;
        }
}

void TkvCustomEdit::DoButtonClick(int index) {
    if (properties_->OnEditButtonClick)
        properties_->OnEditButtonClick(this, index);
    if (repositoryItem_ != nullptr)
        if (TkvEditButtonClickEvent handler = ActiveProperties()->OnEditButtonClick)
            handler(this, index);
}

void TkvCustomEdit::removePendingChar() {
    if (HandleAllocated())
        KvRemovePendingChar(KvEditCharTarget(Handle()));
}

void TkvCustomEdit::KeyDown(WORD &key, TShiftState shift) {
    escapeHandled_ = false;
    if (IsDestroying())
        return;
    if (!IsDefaultButtonShortCut(key, shift))
        inherited::KeyDown(key, shift);
    if (key != 0)
        DoEditKeyDown(key, shift);
}

void TkvCustomEdit::KeyUp(WORD &key, TShiftState shift) {
    if (IsDestroying())
        return;
    inherited::KeyUp(key, shift);
    if (key != 0)
        DoEditKeyUp(key, shift);
}

void TkvCustomEdit::KeyPress(wchar_t &key) {
    if (key == VK_ESCAPE && escapeHandled_) {
        escapeHandled_ = false;
        key = 0;
        return;
    }
    if (IsDestroying())
        return;
    inherited::KeyPress(key);
    if (key != 0)
        DoEditKeyPress(key);
}

void TkvCustomEdit::DoEditKeyPress(wchar_t &key) { ValidateKeyPress(key); }

bool TkvCustomEdit::ValidateKeyDown(WORD &key, TShiftState shift) {
    return dataBinding_->IsDataAware() || !IsTextChangingKey(key, shift) || DoEditing();
}

bool TkvCustomEdit::ValidateKeyPress(wchar_t &key) {
    if (key > 31 && !IsValidChar(key)) {
        key = 0;
        MessageBeep(0);
    } else if (!dataBinding_->IsDataAware() && IsTextChangingChar(key)) {
        if (!DoEditing())
            key = 0;
    }
    return key != 0;
}

void TkvCustomEdit::DoEditKeyDown(WORD &key, TShiftState shift) {
    TkvCustomEditProperties *properties = ActiveProperties();
    const TShortCut shortCut = shortCutOf(key, shift);
    if (properties->ClearShortCut() != 0 && shortCut == properties->ClearShortCut()) {
        {
            FlagScope input(userInput_, true);
            AssignEditValue(Variant::Null());
        }
        validated_ = true;
        key = 0;
        return;
    }
    if (IsDefaultButtonShortCut(key, shift)) {
        // Windows queued the key's character for the focused window: it must not reach the text.
        removePendingChar();
        ClickDefaultButton();
        key = 0;
        return;
    }
    if (!ValidateKeyDown(key, shift)) {
        DoAfterKeyDown(key, shift);
        key = 0;
        return;
    }
    // A painted editor has no edit control to turn the clipboard keys into messages.
    if (innerEdit_ == nullptr) {
        UINT clipboard = 0;
        const bool ctrl = shift.Contains(ssCtrl) && !shift.Contains(ssAlt) && !shift.Contains(ssShift);
        const bool shiftOnly = shift.Contains(ssShift) && !shift.Contains(ssAlt) && !shift.Contains(ssCtrl);
        if ((ctrl && key == 'C') || (ctrl && key == VK_INSERT))
            clipboard = WM_COPY;
        else if ((ctrl && key == 'X') || (shiftOnly && key == VK_DELETE))
            clipboard = WM_CUT;
        else if ((ctrl && key == 'V') || (shiftOnly && key == VK_INSERT))
            clipboard = WM_PASTE;
        if (clipboard != 0) {
            key = 0;
            if (HandleAllocated())
                SendMessageW(Handle(), clipboard, 0, 0);
            return;
        }
    }
    switch (key) {
    case VK_TAB:
        if (Focused() && !shift.Contains(ssAlt) && !shift.Contains(ssCtrl) && !properties->HandlesTabKey()) {
            DoBeforeTab();
            DoAfterKeyDown(key, shift);
            if (key != 0) {
                key = 0;
                MoveFocusByTab(!shift.Contains(ssShift));
                if (HandleAllocated() && GetFocus() == Handle())
                    FocusInnerControl();
            }
        }
        break;
    case VK_RETURN:
        if (properties->ValidateOnEnter()) {
            key = 0;
            bool ok;
            {
                TkvEditChangeEventsLock lock(changeEventsCatcher_);
                ok = ValidateEdit(true);
            }
            if (ok && dataBinding_->GetModified() && !dataBinding_->IsDesigning())
                InternalPostEditValue(false);
        }
        break;
    case VK_ESCAPE:
        if (editModified_) {
            Reset();
            escapeHandled_ = true;
            key = 0;
        }
        break;
    default:
        break;
    }
    if (key >= VK_PRIOR && key <= VK_DOWN && !HandlesNavigationKeys()) {
        DoAfterKeyDown(key, shift);
        key = 0;
    }
}

// --- messages

void TkvCustomEdit::wmCut(TMessage &) {
    FlagScope input(userInput_, true);
    if (ActiveProperties()->ReadOnly() || !dataBinding_->CanModify())
        CopyToClipboard();
    else
        CutToClipboard();
}

void TkvCustomEdit::wmPaste(TMessage &) {
    if (ActiveProperties()->ReadOnly() || !dataBinding_->CanModify())
        return;
    FlagScope input(userInput_, true);
    PasteFromClipboard();
}

void TkvCustomEdit::cmDialogChar(TMessage &m) {
    const wchar_t ch = static_cast<wchar_t>(m.WParam);
    TkvCustomEditViewInfo *info = ViewInfo();
    TkvEditButtons *buttons = ActiveProperties()->Buttons();
    for (int j = 0; info != nullptr && j < info->ButtonCount(); ++j) {
        const int index = info->Button(j)->Index;
        if (index < 0 || index >= buttons->Count())
            continue;
        TkvEditButton *button = buttons->Items(index);
        if (button->Visible() && info->Button(j)->State != kvebsDisabled && isAccelerator(ch, button->Caption())) {
            DoButtonClick(index);
            m.Result = 1;
            return;
        }
    }
    inherited::Dispatch(m);
}

void TkvCustomEdit::WndProc(TMessage &m) {
    if (m.Msg == WM_NCHITTEST && realigning_) {
        m.Result = HTNOWHERE;
        return;
    }
    inherited::WndProc(m);
}

void TkvCustomEdit::Dispatch(TMessage &m) {
    switch (m.Msg) {
    case WM_CUT:
        if (!IsDestroying())
            wmCut(m);
        return;
    case WM_COPY:
        if (!IsDestroying())
            CopyToClipboard();
        return;
    case WM_PASTE:
        if (!IsDestroying())
            wmPaste(m);
        return;
    case CM_DIALOGCHAR:
        if (IsDestroying()) {
            inherited::Dispatch(m);
            return;
        }
        cmDialogChar(m);
        return;
    case CM_SHOWINGCHANGED:
        inherited::Dispatch(m);
        if (Showing())
            AlignInnerControl();
        return;
    case CM_WANTSPECIALKEY:
        // A painted editor takes the keys it acts on instead of the form.
        if (innerEdit_ == nullptr && !IsDestroying() && properties_ != nullptr) {
            const WORD key = static_cast<WORD>(m.WParam);
            const TShiftState shift = KeyboardStateToShiftState();
            bool wanted = false;
            if (key == VK_RETURN)
                wanted = ActiveProperties()->ValidateOnEnter() || IsDefaultButtonShortCut(key, shift);
            else if (key == VK_ESCAPE)
                wanted = editModified_;
            else if (key >= VK_LEFT && key <= VK_DOWN)
                wanted = true;
            if (wanted) {
                m.Result = 1;
                return;
            }
        }
        inherited::Dispatch(m);
        return;
    default:
        inherited::Dispatch(m);
        return;
    }
}

// --- the mouse

void TkvCustomEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    const TPoint p{x, y};
    lastMousePoint_ = p;
    if (button == mbLeft && dblClickTimer_ != nullptr && dblClickTimer_->GetEnabled()) {
        dblClickTimer_->SetEnabled(false);
        if (ViewInfo() != nullptr && !ViewInfo()->IsPointOnButton(p))
            DblClick();
    }
    {
        IntScope event(mouseEvent_, 2);
        inherited::MouseDown(button, shift, x, y);
    }
    if (IsDestroying() || ViewInfo() == nullptr)
        return;
    // A press on a windowed child that is not the inner edit (a popup's owner part, say) reaches it.
    if (!InnerMouseDown && HandleAllocated()) {
        POINT screen = ClientToScreen(p);
        if (WindowFromPoint(screen) == Handle()) {
            TControl *found = ControlAtPos(p, false, true);
            auto *child = dynamic_cast<TWinControl *>(found);
            if (child != nullptr && child != InnerControl() && child->HandleAllocated() &&
                child->DefWndProc() != nullptr) {
                POINT local = child->ScreenToClient(screen);
                UINT msg = button == mbLeft ? WM_LBUTTONDOWN : button == mbRight ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
                CallWindowProcW(child->DefWndProc(), child->Handle(), msg, ShiftStateToKeys(shift),
                                MAKELPARAM(local.x, local.y));
            }
        }
    }
    if (button == mbLeft && MouseCapture()) {
        const int j = ViewInfo()->ButtonAt(p);
        if (j >= 0 && ViewInfo()->Button(j)->State == kvebsPressed)
            pressedButton_ = j;
    }
}

void TkvCustomEdit::MouseMove(TShiftState shift, int x, int y) {
    lastMousePoint_ = TPoint{x, y};
    IntScope event(mouseEvent_, 1);
    if (hotTracksLeave()) {
        inherited::MouseMove(shift, x, y);
        return;
    }
    // Without hot tracking the window's own leave notice is enough: no tracking timer.
    TkvControl::MouseMove(shift, x, y);
    if (!IsDestroying())
        RecalculateState(TPoint{x, y}, 0, shift);
}

void TkvCustomEdit::MouseEnter(TControl *control) {
    if (hotTracksLeave()) {
        inherited::MouseEnter(control);
        return;
    }
    TkvControl::MouseEnter(control);
    UpdateStateFromCursor();
}

bool TkvCustomEdit::hotTracksLeave() {
    // An inner edit hides the editor's own leave notice; the style's hot look needs the timer.
    return InnerControl() != nullptr || properties_ == nullptr || Style()->HotTrack();
}

void TkvCustomEdit::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    lastMousePoint_ = TPoint{x, y};
    IntScope event(mouseEvent_, 3);
    inherited::MouseUp(button, shift, x, y);
}

void TkvCustomEdit::Click() {
    if (IsDestroying() || IsEditValueLocked() || IsLoading())
        return;
    inherited::Click();
}

void TkvCustomEdit::DblClick() {
    if (ViewInfo() != nullptr && ViewInfo()->IsPointOnButton(lastMousePoint_))
        return;
    inherited::DblClick();
}
