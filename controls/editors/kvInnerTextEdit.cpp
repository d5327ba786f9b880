#include "kvInnerTextEdit.h"

#include <classlib/forms.h>

#include <imm.h>

#include "kvTextEdit.h"

namespace {

DWORD alignmentStyle(TAlignment alignment) {
    switch (alignment) {
    case taRightJustify:
        return ES_RIGHT;
    case taCenter:
        return ES_CENTER;
    default:
        return ES_LEFT;
    }
}

bool ctrlHeld() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

} // namespace

// --- TkvCustomInnerTextEditHelper

void TkvCustomInnerTextEditHelper::Create(TPersistent *owner) {
    inherited::Create(owner);
    edit_ = dynamic_cast<TkvCustomInnerTextEdit *>(owner);
}

TWinControl *TkvCustomInnerTextEditHelper::GetControl() { return edit_; }

TkvContainer *TkvCustomInnerTextEditHelper::GetControlContainer() { return edit_->Container(); }

LRESULT TkvCustomInnerTextEditHelper::CallDefWndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!edit_->HandleAllocated())
        return 0;
    return CallWindowProcW(edit_->DefWndProc() != nullptr ? edit_->DefWndProc() : DefWindowProcW, edit_->Handle(), msg,
                           wParam, lParam);
}

Variant TkvCustomInnerTextEditHelper::GetEditValue() { return Variant(edit_->GetText()); }

TNotifyEvent TkvCustomInnerTextEditHelper::GetOnChange() { return edit_->OnChange; }

bool TkvCustomInnerTextEditHelper::GetReadOnly() { return edit_->ReadOnly(); }

void TkvCustomInnerTextEditHelper::LockBounds(bool lock) { edit_->LockBounds(lock); }

void TkvCustomInnerTextEditHelper::SafelySetFocus() {
    const bool autoSelect = edit_->AutoSelect();
    edit_->SetAutoSelect(false);
    try {
        edit_->SetFocus();
    } catch (...) {
        edit_->SetAutoSelect(autoSelect);
        throw;
    }
    edit_->SetAutoSelect(autoSelect);
}

void TkvCustomInnerTextEditHelper::SetEditValue(const Variant &value) {
    std::wstring text;
    if (!value.IsNull() && !value.IsEmpty())
        text = value.AsWideString();
    edit_->SetTextSilently(text);
}

void TkvCustomInnerTextEditHelper::SetParent(TWinControl *parent) { edit_->SetParent(parent); }

void TkvCustomInnerTextEditHelper::SetOnChange(TNotifyEvent handler) { edit_->OnChange = std::move(handler); }

void TkvCustomInnerTextEditHelper::SetReadOnly(bool value) { edit_->SetReadOnly(value); }

void TkvCustomInnerTextEditHelper::ClearSelection() {
    if (edit_->HandleAllocated())
        SendMessageW(edit_->Handle(), WM_CLEAR, 0, 0);
}

void TkvCustomInnerTextEditHelper::CopyToClipboard() {
    if (edit_->HandleAllocated())
        SendMessageW(edit_->Handle(), WM_COPY, 0, 0);
}

TAlignment TkvCustomInnerTextEditHelper::GetAlignment() { return edit_->Alignment(); }
bool TkvCustomInnerTextEditHelper::GetAutoSelect() { return edit_->AutoSelect(); }
TEditCharCase TkvCustomInnerTextEditHelper::GetCharCase() { return edit_->CharCase(); }
TkvEditEchoMode TkvCustomInnerTextEditHelper::GetEchoMode() { return edit_->EchoMode(); }
bool TkvCustomInnerTextEditHelper::GetHideSelection() { return edit_->HideSelection(); }

wchar_t TkvCustomInnerTextEditHelper::GetImeLastChar() {
    return edit_->ImeCharCount() == 2 ? edit_->ImeLastChar() : L'\0';
}

TImeMode TkvCustomInnerTextEditHelper::GetImeMode() { return edit_->ImeMode(); }
TImeName TkvCustomInnerTextEditHelper::GetImeName() { return edit_->ImeName(); }
bool TkvCustomInnerTextEditHelper::GetKeyConsumed() { return edit_->KeyConsumed(); }
int TkvCustomInnerTextEditHelper::GetMaxLength() { return edit_->MaxLength(); }
bool TkvCustomInnerTextEditHelper::GetOEMConvert() { return edit_->OEMConvert(); }
TNotifyEvent TkvCustomInnerTextEditHelper::GetOnSelChange() { return edit_->OnSelChange; }
wchar_t TkvCustomInnerTextEditHelper::GetPasswordChar() { return edit_->PasswordChar(); }

int TkvCustomInnerTextEditHelper::GetSelLength() {
    if (edit_->ImeCharCount() > 0)
        return SavedSelLength;
    return edit_->HandleAllocated() ? edit_->SelLength() : 0;
}

int TkvCustomInnerTextEditHelper::GetSelStart() {
    if (edit_->ImeCharCount() > 0)
        return SavedSelStart;
    return edit_->HandleAllocated() ? edit_->SelStart() : 0;
}

void TkvCustomInnerTextEditHelper::SelectAll() {
    if (edit_->HandleAllocated())
        edit_->SelectAll();
}

void TkvCustomInnerTextEditHelper::SetAlignment(TAlignment value) {
    TkvCustomTextEdit *owner = edit_->Container();
    if (owner != nullptr && owner->ActiveProperties()->UseLeftAlignmentOnEditing())
        value = taLeftJustify;
    edit_->SetAlignment(value);
}

void TkvCustomInnerTextEditHelper::SetAutoSelect(bool value) { edit_->SetAutoSelect(value); }
void TkvCustomInnerTextEditHelper::SetCharCase(TEditCharCase value) { edit_->SetCharCase(value); }
void TkvCustomInnerTextEditHelper::SetEchoMode(TkvEditEchoMode value) { edit_->SetEchoMode(value); }
void TkvCustomInnerTextEditHelper::SetHideSelection(bool value) { edit_->SetHideSelection(value); }
void TkvCustomInnerTextEditHelper::SetKeyConsumed(bool value) { edit_->SetKeyConsumed(value); }
void TkvCustomInnerTextEditHelper::SetImeMode(TImeMode value) { edit_->SetImeMode(value); }
void TkvCustomInnerTextEditHelper::SetImeName(const TImeName &value) { edit_->SetImeName(value); }
void TkvCustomInnerTextEditHelper::SetMaxLength(int value) { edit_->SetMaxLength(value); }
void TkvCustomInnerTextEditHelper::SetOEMConvert(bool value) { edit_->SetOEMConvert(value); }
void TkvCustomInnerTextEditHelper::SetOnSelChange(TNotifyEvent handler) { edit_->OnSelChange = std::move(handler); }
void TkvCustomInnerTextEditHelper::SetPasswordChar(wchar_t value) { edit_->SetPasswordChar(value); }

void TkvCustomInnerTextEditHelper::SetSelLength(int value) {
    if (!edit_->HandleAllocated())
        return;
    if (edit_->ImeCharCount() > 0)
        SavedSelLength = value;
    else
        edit_->SetSelLength(value);
}

void TkvCustomInnerTextEditHelper::SetSelStart(int value) {
    if (!edit_->HandleAllocated())
        return;
    if (edit_->ImeCharCount() > 0)
        SavedSelStart = value;
    else
        edit_->SetSelStart(value);
}

void TkvCustomInnerTextEditHelper::SetSelText(const std::wstring &text) {
    if (edit_->HandleAllocated())
        edit_->SetSelText(text);
}

// --- TkvCustomInnerTextEdit

void TkvCustomInnerTextEdit::Create(TComponent *owner) {
    creating_ = true;
    inherited::Create(owner);
    container_ = dynamic_cast<TkvCustomTextEdit *>(owner);
    helper_ = New<TkvCustomInnerTextEditHelper>(static_cast<TPersistent *>(this));
    controlStyle_.Include(csDoubleClicks);
    SetParentColor(true);
    SetParentFont(false);
    alignment_ = taLeftJustify;
    keyConsumed_ = false;
    echoMode_ = eemNormal;
    applyPasswordChar();
    creating_ = false;
}

void TkvCustomInnerTextEdit::Destroy() {
    FreeAndNil(helper_);
    inherited::Destroy();
}

IkvCustomInnerEdit *TkvCustomInnerTextEdit::GetHelper() { return helper_; }

void TkvCustomInnerTextEdit::LockBounds(bool lock) noexcept {
    if (lock)
        ++boundsLock_;
    else if (boundsLock_ > 0)
        --boundsLock_;
}

void TkvCustomInnerTextEdit::ResetImeState() noexcept {
    imeCharCount_ = 0;
    imeLastChar_ = 0;
}

void TkvCustomInnerTextEdit::SetTextSilently(const std::wstring &text) {
    ResetImeState();
    ++silentText_;
    try {
        SetText(text);
    } catch (...) {
        --silentText_;
        throw;
    }
    --silentText_;
}

void TkvCustomInnerTextEdit::Change() {
    // Wine reports every WM_SETTEXT as a change; the program's own texts are no user change.
    if (silentText_ > 0 || creating_ || controlState_.Contains(csCreating))
        return;
    inherited::Change();
}

void TkvCustomInnerTextEdit::SetAlignment(TAlignment value) {
    if (alignment_ == value)
        return;
    alignment_ = value;
    ++silentText_;
    try {
        RecreateWnd();
    } catch (...) {
        --silentText_;
        throw;
    }
    --silentText_;
}

#define KV_INNER_RECREATING_SETTER(Name, Type, field)                                              \
    void TkvCustomInnerTextEdit::Set##Name(Type value) {                                           \
        if (field == value)                                                                        \
            return;                                                                                \
        field = value;                                                                             \
        ++silentText_;                                                                             \
        try {                                                                                      \
            RecreateWnd();                                                                         \
        } catch (...) {                                                                            \
            --silentText_;                                                                         \
            throw;                                                                                 \
        }                                                                                          \
        --silentText_;                                                                             \
    }

KV_INNER_RECREATING_SETTER(CharCase, TEditCharCase, charCase_)
KV_INNER_RECREATING_SETTER(HideSelection, bool, hideSelection_)
KV_INNER_RECREATING_SETTER(OEMConvert, bool, oemConvert_)

#undef KV_INNER_RECREATING_SETTER

void TkvCustomInnerTextEdit::SetEchoMode(TkvEditEchoMode value) {
    if (echoMode_ == value)
        return;
    echoMode_ = value;
    applyPasswordChar();
}

void TkvCustomInnerTextEdit::SetPasswordChar(wchar_t value) {
    if (passwordChar_ == value)
        return;
    passwordChar_ = value;
    applyPasswordChar();
}

void TkvCustomInnerTextEdit::applyPasswordChar() {
    if (!HandleAllocated())
        return;
    const wchar_t shown = echoMode_ == eemNormal ? L'\0' : (passwordChar_ != 0 ? passwordChar_ : L'*');
    SendMessageW(handle_, EM_SETPASSWORDCHAR, static_cast<WPARAM>(shown), 0);
    InvalidateRect(handle_, nullptr, TRUE);
}

void TkvCustomInnerTextEdit::applyImeMode() {
    if (!HandleAllocated())
        return;
    if (imeMode_ == imDisable) {
        ImmAssociateContextEx(handle_, nullptr, 0);
        return;
    }
    ImmAssociateContextEx(handle_, nullptr, IACE_DEFAULT);
    if (imeMode_ != imOpen && imeMode_ != imClose)
        return;
    if (HIMC context = ImmGetContext(handle_)) {
        ImmSetOpenStatus(context, imeMode_ == imOpen);
        ImmReleaseContext(handle_, context);
    }
}

void TkvCustomInnerTextEdit::applyMargins() {
    if (HandleAllocated())
        SendMessageW(handle_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 1));
}

void TkvCustomInnerTextEdit::CreateParams(TCreateParams &params) {
    inherited::CreateParams(params);
    params.Style &= ~static_cast<DWORD>(WS_BORDER | WS_DLGFRAME | WS_THICKFRAME | ES_AUTOVSCROLL | ES_CENTER | ES_RIGHT);
    params.Style |= alignmentStyle(alignment_) | ES_AUTOHSCROLL;
    if (charCase_ == ecUpperCase)
        params.Style |= ES_UPPERCASE;
    else if (charCase_ == ecLowerCase)
        params.Style |= ES_LOWERCASE;
    if (!hideSelection_)
        params.Style |= ES_NOHIDESEL;
    if (oemConvert_)
        params.Style |= ES_OEMCONVERT;
    params.ExStyle &= ~static_cast<DWORD>(WS_EX_CLIENTEDGE);
    params.Caption.clear();
}

void TkvCustomInnerTextEdit::CreateWnd() {
    const std::wstring text = text_;
    ++silentText_;
    try {
        inherited::CreateWnd();
        if (HandleAllocated()) {
            CallWindowProcW(DefWndProc() != nullptr ? DefWndProc() : DefWindowProcW, handle_, WM_SETTEXT, 0,
                            reinterpret_cast<LPARAM>(text.c_str()));
            applyMargins();
            applyPasswordChar();
        }
    } catch (...) {
        --silentText_;
        throw;
    }
    --silentText_;
}

void TkvCustomInnerTextEdit::CreateHandle() {
    if (container_ != nullptr)
        container_->ResetInnerControlRegion();
    inherited::CreateHandle();
}

void TkvCustomInnerTextEdit::SetBounds(int left, int top, int width, int height) {
    if (creating_ || boundsLock_ > 0)
        return;
    if (container_ == nullptr) {
        inherited::SetBounds(left, top, width, height);
        return;
    }
    container_->BeginInnerEditBoundsUpdate();
    try {
        inherited::SetBounds(left, top, width, height);
    } catch (...) {
        container_->EndInnerEditBoundsUpdate();
        throw;
    }
    container_->EndInnerEditBoundsUpdate();
}

bool TkvCustomInnerTextEdit::CanFocus() { return container_ != nullptr ? container_->CanFocus() : inherited::CanFocus(); }

int TkvCustomInnerTextEdit::CaretIndex() {
    if (!HandleAllocated())
        return 0;
    POINT caret{};
    if (!GetCaretPos(&caret))
        return 0;
    const int length = GetWindowTextLengthW(handle_);
    int low = 0;
    int high = length;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const LRESULT pos = SendMessageW(handle_, EM_POSFROMCHAR, static_cast<WPARAM>(middle), 0);
        const int x = static_cast<short>(LOWORD(pos));
        if (pos == -1 || x >= caret.x)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

// --- keys

void TkvCustomInnerTextEdit::KeyDown(WORD &key, TShiftState shift) {
    keyConsumed_ = false;
    if (container_ != nullptr) {
        container_->KeyDown(key, shift);
        if (key == 0)
            keyConsumed_ = true;
    }
    if (key != 0)
        inherited::KeyDown(key, shift);
}

void TkvCustomInnerTextEdit::KeyPress(wchar_t &key) {
    keyConsumed_ = false;
    if (key == L'\t')
        key = 0;
    if (container_ != nullptr && key != 0) {
        container_->SetInnerEditOperation(true);
        try {
            container_->KeyPress(key);
        } catch (...) {
            container_->SetInnerEditOperation(false);
            throw;
        }
        container_->SetInnerEditOperation(false);
        if (key == 0)
            keyConsumed_ = true;
        if ((key == L'\r' || key == 27) && container_->InPlaceMode())
            key = 0;
        else if (key == L'\r' && !container_->BeepOnEnter())
            key = 0;
    }
    if (key != 0)
        inherited::KeyPress(key);
}

void TkvCustomInnerTextEdit::KeyUp(WORD &key, TShiftState shift) {
    keyConsumed_ = false;
    if (key == VK_TAB)
        key = 0;
    if (container_ != nullptr && key != 0) {
        container_->KeyUp(key, shift);
        if (key == 0)
            keyConsumed_ = true;
    }
    if (key != 0)
        inherited::KeyUp(key, shift);
}

void TkvCustomInnerTextEdit::saveState(TkvCustomInnerTextEditPrevState &state) {
    state.IsTextSaved = true;
    state.Text = GetText();
    state.SelStart = HandleAllocated() ? SelStart() : 0;
    state.SelLength = HandleAllocated() ? SelLength() : 0;
}

bool TkvCustomInnerTextEdit::stateChanged(const TkvCustomInnerTextEditPrevState &state) {
    if (!HandleAllocated())
        return false;
    return SelStart() != state.SelStart || SelLength() != state.SelLength ||
           CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, state.Text.c_str(), -1, GetText().c_str(), -1) !=
               CSTR_EQUAL;
}

void TkvCustomInnerTextEdit::wmKeyDown(TMessage &m) {
    TkvCustomInnerTextEditPrevState state;
    saveState(state);
    keyConsumed_ = false;
    inherited::Dispatch(m);
    if (container_ == nullptr || keyConsumed_ || !HandleAllocated())
        return;
    if (!stateChanged(state)) {
        auto key = static_cast<WORD>(m.WParam);
        if (key != 0) {
            container_->DoAfterKeyDown(key, KeyDataToShiftState(m.LParam));
            m.WParam = key;
        }
    }
}

void TkvCustomInnerTextEdit::wmChar(TMessage &m) {
    TkvCustomInnerTextEditPrevState state;
    saveState(state);
    inherited::Dispatch(m);
    if (imeCharCount_ > 0 && --imeCharCount_ == 0) {
        imeLastChar_ = 0;
        if (container_ != nullptr && container_->LookupItemsMatched() && HandleAllocated()) {
            SetSelStart(helper_->SavedSelStart);
            SetSelLength(helper_->SavedSelLength);
        }
    }
    if (container_ == nullptr)
        return;
    container_->SetLookupSearching(false);
    if (!keyConsumed_ && stateChanged(state))
        container_->ResetLookupMatch();
}

void TkvCustomInnerTextEdit::wmImeChar(TMessage &m) {
    // A Unicode window gets the whole character in one message, and one WM_CHAR for it.
    imeLastChar_ = static_cast<wchar_t>(m.WParam);
    imeCharCount_ = 1;
    helper_->SavedSelStart = HandleAllocated() ? SelStart() : 0;
    helper_->SavedSelLength = HandleAllocated() ? SelLength() : 0;
    // The system would post the WM_CHAR for later (queries in between would answer the saved
    // selection, and a lost one would leave the counter up); delivered at once, the character
    // takes the road of a typed one.
    m.Result = Perform(WM_CHAR, m.WParam, m.LParam);
    if (imeCharCount_ > 0)
        ResetImeState();
}

void TkvCustomInnerTextEdit::clipboardMessage(TMessage &m) {
    if (container_ == nullptr) {
        inherited::Dispatch(m);
        return;
    }
    const bool readOnly = ReadOnly();
    container_->SetInnerEditOperation(true);
    try {
        switch (m.Msg) {
        case WM_CUT:
            if (readOnly)
                container_->CopyToClipboard();
            else
                container_->CutToClipboard();
            break;
        case WM_PASTE:
            if (!readOnly)
                container_->PasteFromClipboard();
            break;
        default:
            if (!readOnly)
                container_->ClearSelection();
            break;
        }
    } catch (...) {
        container_->SetInnerEditOperation(false);
        throw;
    }
    container_->SetInnerEditOperation(false);
}

// --- messages

void TkvCustomInnerTextEdit::WndProc(TMessage &m) {
    if (container_ != nullptr) {
        if ((m.Msg == CN_KEYDOWN || m.Msg == CN_SYSKEYDOWN) && container_->HandleInnerKeyMessage(m))
            return;
        if ((m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK) && container_->DragMode() == dmAutomatic &&
            !container_->IsDesigning()) {
            container_->BeginDrag(false);
            return;
        }
    }
    inherited::WndProc(m);
}

void TkvCustomInnerTextEdit::Dispatch(TMessage &m) {
    switch (m.Msg) {
    case WM_KEYDOWN:
        wmKeyDown(m);
        return;
    case WM_CHAR:
        wmChar(m);
        return;
    case WM_IME_CHAR:
        wmImeChar(m);
        return;
    case WM_CUT:
    case WM_PASTE:
    case WM_CLEAR:
        clipboardMessage(m);
        return;
    case EM_SETSEL:
        inherited::Dispatch(m);
        if (OnSelChange)
            OnSelChange(this);
        return;
    case WM_ERASEBKGND:
        m.Result = 1;
        return;
    case WM_NCPAINT:
        m.Result = 0;
        return;
    case WM_GETDLGCODE:
        inherited::Dispatch(m);
        m.Result |= DLGC_WANTCHARS;
        if (!ctrlHeld())
            m.Result |= DLGC_WANTTAB;
        if (container_ != nullptr && container_->InPlaceMode())
            m.Result |= DLGC_WANTALLKEYS;
        return;
    case WM_SIZE:
    case WM_SETFONT: // the system's edit takes its font's margins with a new font
        inherited::Dispatch(m);
        applyMargins();
        return;
    case WM_SETFOCUS:
        inherited::Dispatch(m);
        applyImeMode();
        if (container_ != nullptr && !container_->IsDestroying() &&
            reinterpret_cast<HWND>(m.WParam) != (container_->HandleAllocated() ? container_->Handle() : nullptr))
            container_->InnerEditFocusChanged();
        return;
    case WM_KILLFOCUS:
        ResetImeState();
        inherited::Dispatch(m);
        if (container_ != nullptr && !container_->IsDestroying())
            container_->InnerEditFocusChanged();
        return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
        inherited::Dispatch(m);
        if (container_ != nullptr)
            container_->Perform(m.Msg, m.WParam,
                                m.LParam != 0 ? m.LParam : reinterpret_cast<LPARAM>(static_cast<TControl *>(this)));
        return;
    default:
        inherited::Dispatch(m);
    }
}

void TkvCustomInnerTextEdit::DefaultHandler(TMessage &m) {
    if (container_ != nullptr && container_->InnerControlDefaultHandler(m))
        return;
    inherited::DefaultHandler(m);
}

// --- mouse and drags go to the owner in its coordinates

void TkvCustomInnerTextEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    inherited::MouseDown(button, shift, x, y);
    if (container_ == nullptr)
        return;
    container_->InnerMouseDown = true;
    try {
        container_->MouseDown(button, shift, x + Left(), y + Top());
    } catch (...) {
        container_->InnerMouseDown = false;
        throw;
    }
    container_->InnerMouseDown = false;
}

void TkvCustomInnerTextEdit::MouseMove(TShiftState shift, int x, int y) {
    inherited::MouseMove(shift, x, y);
    if (container_ != nullptr)
        container_->MouseMove(shift, x + Left(), y + Top());
}

void TkvCustomInnerTextEdit::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    inherited::MouseUp(button, shift, x, y);
    if (container_ != nullptr)
        container_->MouseUp(button, shift, x + Left(), y + Top());
}

void TkvCustomInnerTextEdit::Click() {
    inherited::Click();
    if (container_ != nullptr)
        container_->Click();
}

void TkvCustomInnerTextEdit::DblClick() {
    inherited::DblClick();
    if (container_ != nullptr)
        container_->DblClick();
}

void TkvCustomInnerTextEdit::DragOver(TObject *source, int x, int y, TDragState state, bool &accept) {
    if (container_ != nullptr)
        container_->DragOver(source, x + Left(), y + Top(), state, accept);
    else
        inherited::DragOver(source, x, y, state, accept);
}

void TkvCustomInnerTextEdit::DragDrop(TObject *source, int x, int y) {
    if (container_ != nullptr)
        container_->DragDrop(source, x + Left(), y + Top());
    else
        inherited::DragDrop(source, x, y);
}
