#include "classlib/stdctrls.h"

void TButton::Create(TComponent *owner) {
    inherited::Create(owner);
    controlStyle_ = TControlStyle{csSetCaption, csDoubleClicks};
    width_ = 75;
    height_ = 25;
    tabStop_ = true;
    color_ = clBtnFace;
}

void TButton::CreateParams(TCreateParams &params) {
    inherited::CreateParams(params);
    CreateSubClass(params, L"BUTTON");
    params.Style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool value) {
    if (default_ == value)
        return;
    default_ = value;
    if (handle_ == nullptr)
        return;
    if (TCustomForm *form = GetParentForm(this); form != nullptr)
        form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(form->ActiveControl()));
    else
        SetButtonStyle(value);
}

void TButton::SetButtonStyle(bool isDefault) {
    if (handle_ != nullptr)
        SendMessageW(handle_, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
    if (TCustomForm *form = GetParentForm(this); form != nullptr && modalResult_ != mrNone)
        form->SetModalResult(modalResult_);
    inherited::Click();
}

void TButton::Dispatch(TMessage &m) {
    switch (m.Msg) {
    case CN_COMMAND:
        if (HIWORD(m.WParam) == BN_CLICKED)
            Click();
        return;
    case CM_FOCUSCHANGED: {
        // The focused button looks like the default one; with no button focused, the default does.
        auto *sender = reinterpret_cast<TObject *>(m.LParam);
        bool active = dynamic_cast<TButton *>(sender) != nullptr ? sender == this : default_;
        SetButtonStyle(active);
        inherited::Dispatch(m);
        return;
    }
    case CM_DIALOGKEY: {
        WORD key = LOWORD(m.WParam);
        bool focusedButton = false;
        if (TCustomForm *form = GetParentForm(this))
            focusedButton = dynamic_cast<TButton *>(form->ActiveControl()) != nullptr;
        bool wanted = (key == VK_RETURN && (Focused() || (default_ && !focusedButton))) || (key == VK_ESCAPE && cancel_);
        if (wanted && KeyDataToShiftState(m.LParam).Empty() && CanFocus()) {
            Click();
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
