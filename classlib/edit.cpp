#include "classlib/stdctrls.h"

void TCustomEdit::Create(TComponent *owner) {
    inherited::Create(owner);
    controlStyle_ = TControlStyle{csCaptureMouse, csDoubleClicks, csFixedHeight, csSetCaption};
    width_ = 121;
    height_ = 21;
    tabStop_ = true;
    color_ = clWindow;
    parentColor_ = false;
}

void TCustomEdit::CreateParams(TCreateParams &params) {
    inherited::CreateParams(params);
    CreateSubClass(params, L"EDIT");
    params.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_LEFT;
    params.ExStyle |= WS_EX_CLIENTEDGE;
    if (readOnly_)
        params.Style |= ES_READONLY;
}

void TCustomEdit::CreateWnd() {
    inherited::CreateWnd();
    SendMessageW(handle_, EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

void TCustomEdit::SetReadOnly(bool value) {
    if (readOnly_ == value)
        return;
    readOnly_ = value;
    if (handle_ != nullptr)
        SendMessageW(handle_, EM_SETREADONLY, value, 0);
}

void TCustomEdit::SetMaxLength(int value) {
    if (value < 0)
        value = 0;
    maxLength_ = value;
    if (handle_ != nullptr)
        SendMessageW(handle_, EM_LIMITTEXT, static_cast<WPARAM>(value), 0);
}

int TCustomEdit::SelStart() {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(GetHandle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(start);
}

int TCustomEdit::SelLength() {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(GetHandle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(end - start);
}

void TCustomEdit::SetSelStart(int value) {
    SendMessageW(GetHandle(), EM_SETSEL, static_cast<WPARAM>(value), value);
}

void TCustomEdit::SetSelLength(int value) {
    int start = SelStart();
    SendMessageW(GetHandle(), EM_SETSEL, static_cast<WPARAM>(start), start + value);
}

std::wstring TCustomEdit::SelText() {
    std::wstring text = GetText();
    auto start = static_cast<std::size_t>(SelStart());
    auto length = static_cast<std::size_t>(SelLength());
    return start <= text.size() ? text.substr(start, length) : std::wstring();
}

void TCustomEdit::SetSelText(const std::wstring &text) {
    SendMessageW(GetHandle(), EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TCustomEdit::SelectAll() {
    if (handle_ != nullptr)
        SendMessageW(handle_, EM_SETSEL, 0, -1);
}

bool TCustomEdit::Modified() { return handle_ != nullptr && SendMessageW(handle_, EM_GETMODIFY, 0, 0) != 0; }

void TCustomEdit::Change() {
    if (OnChange)
        OnChange(this);
}

void TCustomEdit::Dispatch(TMessage &m) {
    switch (m.Msg) {
    case CN_COMMAND:
        if (HIWORD(m.WParam) == EN_CHANGE && !controlState_.Contains(csCreating))
            Change();
        return;
    case CM_TEXTCHANGED:
        // Without a window there is no EN_CHANGE to wait for.
        inherited::Dispatch(m);
        if (handle_ == nullptr)
            Change();
        return;
    case CM_ENTER:
        if (autoSelect_ && !controlState_.Contains(csLButtonDown) && handle_ != nullptr &&
            (GetWindowLongW(handle_, GWL_STYLE) & ES_MULTILINE) == 0)
            SelectAll();
        inherited::Dispatch(m);
        return;
    default:
        inherited::Dispatch(m);
    }
}
