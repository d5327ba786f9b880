// Standard controls: the label, the edit box and the push button.
//
// Stands in for the few standard controls of the compiler library the program uses. The label
// is a graphic control painting its caption; the edit and the button are the system's EDIT and
// BUTTON windows, whose notifications come back to them as CN_COMMAND.
#ifndef CLASSLIB_STDCTRLS_H
#define CLASSLIB_STDCTRLS_H

#include "controls.h"
#include "forms.h"

enum TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };

class TCustomLabel : public TGraphicControl {
    CL_CLASS(TCustomLabel, TGraphicControl)

public:
    void Create(TComponent *owner) override;
    bool AutoSize() const noexcept { return autoSize_; }
    void SetAutoSize(bool value);
    TAlignment Alignment() const noexcept { return alignment_; }
    void SetAlignment(TAlignment value);
    bool Transparent() const noexcept { return transparent_; }
    void SetTransparent(bool value);
    bool WordWrap() const noexcept { return wordWrap_; }
    void SetWordWrap(bool value);
    void Dispatch(TMessage &message) override;

protected:
    void Paint() override;
    // Draws the caption with DrawText flags (DT_CALCRECT measures it).
    virtual void DoDrawText(TRect &rect, UINT flags);
    void AdjustBounds();

private:
    bool autoSize_ = true;
    TAlignment alignment_ = taLeftJustify;
    bool transparent_ = false;
    bool wordWrap_ = false;
};

class TLabel : public TCustomLabel {
    CL_CLASS(TLabel, TCustomLabel)
};

class TCustomEdit : public TWinControl {
    CL_CLASS(TCustomEdit, TWinControl)

public:
    void Create(TComponent *owner) override;
    int SelStart();
    void SetSelStart(int value);
    int SelLength();
    void SetSelLength(int value);
    std::wstring SelText();
    void SetSelText(const std::wstring &text);
    void SelectAll();
    void Clear() { SetText(L""); }
    bool ReadOnly() const noexcept { return readOnly_; }
    void SetReadOnly(bool value);
    int MaxLength() const noexcept { return maxLength_; }
    void SetMaxLength(int value);
    bool AutoSelect() const noexcept { return autoSelect_; }
    void SetAutoSelect(bool value) noexcept { autoSelect_ = value; }
    bool Modified();
    void Dispatch(TMessage &message) override;

    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams &params) override;
    void CreateWnd() override;
    virtual void Change();

private:
    bool readOnly_ = false;
    int maxLength_ = 0;
    bool autoSelect_ = true;
};

class TEdit : public TCustomEdit {
    CL_CLASS(TEdit, TCustomEdit)
};

class TButtonControl : public TWinControl {
    CL_CLASS(TButtonControl, TWinControl)
};

class TButton : public TButtonControl {
    CL_CLASS(TButton, TButtonControl)

public:
    void Create(TComponent *owner) override;
    bool Default() const noexcept { return default_; }
    void SetDefault(bool value);
    bool Cancel() const noexcept { return cancel_; }
    void SetCancel(bool value) noexcept { cancel_ = value; }
    TModalResult ModalResult() const noexcept { return modalResult_; }
    void SetModalResult(TModalResult value) noexcept { modalResult_ = value; }
    void Click() override;
    void Dispatch(TMessage &message) override;
    void GetPublishedProperties(TPropList &list) override;

protected:
    void CreateParams(TCreateParams &params) override;
    // Shows or drops the default ring (the focused button, else the default one, has it).
    virtual void SetButtonStyle(bool isDefault);

private:
    bool default_ = false;
    bool cancel_ = false;
    TModalResult modalResult_ = mrNone;
};

#endif
