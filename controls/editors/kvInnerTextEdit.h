// kvInnerTextEdit: the real Windows edit a text editor keeps its text in, and the one interface
// object through which the editor talks to it. The edit hands its keys, mouse, focus, drags and
// unanswered messages to its owner, so that editor and edit behave as one control.
#ifndef KV_INNER_TEXT_EDIT_H
#define KV_INNER_TEXT_EDIT_H

#include <windows.h>

#include <classlib/stdctrls.h>

#include <string>

#include "kvEdit.h"
#include "kvTextEditProperties.h"

class TkvCustomTextEdit;
class TkvCustomInnerTextEdit;

// The text side of an inner edit.
struct IkvInnerTextEdit : IkvCustomInnerEdit {
    virtual void ClearSelection() = 0;
    virtual void CopyToClipboard() = 0;
    virtual TAlignment GetAlignment() = 0;
    virtual bool GetAutoSelect() = 0;
    virtual TEditCharCase GetCharCase() = 0;
    virtual TkvEditEchoMode GetEchoMode() = 0;
    virtual bool GetHideSelection() = 0;
    // A lead byte waiting for its trail byte, else #0 (a Unicode window never has one).
    virtual wchar_t GetImeLastChar() = 0;
    virtual TImeMode GetImeMode() = 0;
    virtual TImeName GetImeName() = 0;
    virtual bool GetKeyConsumed() = 0;
    virtual int GetMaxLength() = 0;
    virtual bool GetMultiLine() = 0;
    virtual bool GetOEMConvert() = 0;
    virtual TNotifyEvent GetOnSelChange() = 0;
    virtual wchar_t GetPasswordChar() = 0;
    virtual int GetSelLength() = 0;
    virtual int GetSelStart() = 0;
    virtual void SelectAll() = 0;
    virtual void SetAlignment(TAlignment value) = 0;
    virtual void SetAutoSelect(bool value) = 0;
    virtual void SetCharCase(TEditCharCase value) = 0;
    virtual void SetEchoMode(TkvEditEchoMode value) = 0;
    virtual void SetHideSelection(bool value) = 0;
    virtual void SetKeyConsumed(bool value) = 0;
    virtual void SetImeMode(TImeMode value) = 0;
    virtual void SetImeName(const TImeName &value) = 0;
    virtual void SetMaxLength(int value) = 0;
    virtual void SetOEMConvert(bool value) = 0;
    virtual void SetOnSelChange(TNotifyEvent handler) = 0;
    virtual void SetPasswordChar(wchar_t value) = 0;
    virtual void SetSelLength(int value) = 0;
    virtual void SetSelStart(int value) = 0;
    virtual void SetSelText(const std::wstring &text) = 0;
};

// The edit's selection and text before a key is processed.
struct TkvCustomInnerTextEditPrevState {
    bool IsTextSaved = false;
    std::wstring Text;
    int SelLength = 0;
    int SelStart = 0;
};

class TkvCustomInnerTextEditHelper : public TkvInterfacedPersistent, public IkvInnerTextEdit {
    CL_CLASS(TkvCustomInnerTextEditHelper, TkvInterfacedPersistent)

public:
    // The owner is the edit.
    void Create(TPersistent *owner) override;
    TkvCustomInnerTextEdit *Edit() const noexcept { return edit_; }

    // The selection an IME character is being delivered into.
    int SavedSelStart = 0;
    int SavedSelLength = 0;

    // --- IkvContainerInnerControl
    TWinControl *GetControl() override;
    TkvContainer *GetControlContainer() override;
    // --- IkvCustomInnerEdit
    LRESULT CallDefWndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    Variant GetEditValue() override;
    TNotifyEvent GetOnChange() override;
    bool GetReadOnly() override;
    void LockBounds(bool lock) override;
    void SafelySetFocus() override;
    void SetEditValue(const Variant &value) override;
    void SetParent(TWinControl *parent) override;
    void SetOnChange(TNotifyEvent handler) override;
    void SetReadOnly(bool value) override;
    // --- IkvInnerTextEdit
    void ClearSelection() override;
    void CopyToClipboard() override;
    TAlignment GetAlignment() override;
    bool GetAutoSelect() override;
    TEditCharCase GetCharCase() override;
    TkvEditEchoMode GetEchoMode() override;
    bool GetHideSelection() override;
    wchar_t GetImeLastChar() override;
    TImeMode GetImeMode() override;
    TImeName GetImeName() override;
    bool GetKeyConsumed() override;
    int GetMaxLength() override;
    bool GetMultiLine() override { return false; }
    bool GetOEMConvert() override;
    TNotifyEvent GetOnSelChange() override;
    wchar_t GetPasswordChar() override;
    int GetSelLength() override;
    int GetSelStart() override;
    void SelectAll() override;
    void SetAlignment(TAlignment value) override;
    void SetAutoSelect(bool value) override;
    void SetCharCase(TEditCharCase value) override;
    void SetEchoMode(TkvEditEchoMode value) override;
    void SetHideSelection(bool value) override;
    void SetKeyConsumed(bool value) override;
    void SetImeMode(TImeMode value) override;
    void SetImeName(const TImeName &value) override;
    void SetMaxLength(int value) override;
    void SetOEMConvert(bool value) override;
    void SetOnSelChange(TNotifyEvent handler) override;
    void SetPasswordChar(wchar_t value) override;
    void SetSelLength(int value) override;
    void SetSelStart(int value) override;
    void SetSelText(const std::wstring &text) override;

private:
    TkvCustomInnerTextEdit *edit_ = nullptr;
};

class TkvCustomInnerTextEdit : public TCustomEdit, public IkvInnerEditHelper {
    CL_CLASS(TkvCustomInnerTextEdit, TCustomEdit)

public:
    // The owner is the text editor.
    void Create(TComponent *owner) override;

    IkvCustomInnerEdit *GetHelper() override;
    TkvCustomInnerTextEditHelper *Helper() const noexcept { return helper_; }
    // The text editor the edit belongs to, or none.
    TkvCustomTextEdit *Container() const noexcept { return container_; }

    TAlignment Alignment() const noexcept { return alignment_; }
    void SetAlignment(TAlignment value);
    TEditCharCase CharCase() const noexcept { return charCase_; }
    void SetCharCase(TEditCharCase value);
    TkvEditEchoMode EchoMode() const noexcept { return echoMode_; }
    void SetEchoMode(TkvEditEchoMode value);
    // The stored password character; #0 shows "*".
    wchar_t PasswordChar() const noexcept { return passwordChar_; }
    void SetPasswordChar(wchar_t value);
    bool HideSelection() const noexcept { return hideSelection_; }
    void SetHideSelection(bool value);
    bool OEMConvert() const noexcept { return oemConvert_; }
    void SetOEMConvert(bool value);
    TImeMode ImeMode() const noexcept { return imeMode_; }
    // Asked of the input method whenever the edit takes the focus.
    void SetImeMode(TImeMode value) noexcept { imeMode_ = value; }
    TImeName ImeName() const { return imeName_; }
    void SetImeName(const TImeName &value) { imeName_ = value; }
    bool KeyConsumed() const noexcept { return keyConsumed_; }
    void SetKeyConsumed(bool value) noexcept { keyConsumed_ = value; }
    // True raises the lock, False lowers it while above 0.
    void LockBounds(bool lock) noexcept;
    int BoundsLockCount() const noexcept { return boundsLock_; }
    // 1 while a character of the input method is on its way, else 0.
    int ImeCharCount() const noexcept { return imeCharCount_; }
    wchar_t ImeLastChar() const noexcept { return imeLastChar_; }
    void ResetImeState() noexcept;
    // The character the caret stands before, from the caret's place.
    int CaretIndex();
    // The text is set without a change notice.
    void SetTextSilently(const std::wstring &text);

    TNotifyEvent OnSelChange;

    void SetBounds(int left, int top, int width, int height) override;
    void CreateHandle() override;
    bool CanFocus() override;
    void WndProc(TMessage &message) override;
    void Dispatch(TMessage &message) override;
    void DefaultHandler(TMessage &message) override;

protected:
    void CreateParams(TCreateParams &params) override;
    void CreateWnd() override;
    void Change() override;
    void KeyDown(WORD &key, TShiftState shift) override;
    void KeyPress(wchar_t &key) override;
    void KeyUp(WORD &key, TShiftState shift) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void Click() override;
    void DblClick() override;
    void DragOver(TObject *source, int x, int y, TDragState state, bool &accept) override;
    void DragDrop(TObject *source, int x, int y) override;
    bool DoMouseWheel(TShiftState, int, TPoint) override { return false; }
    void Destroy() override;

private:
    void saveState(TkvCustomInnerTextEditPrevState &state);
    bool stateChanged(const TkvCustomInnerTextEditPrevState &state);
    void applyMargins();
    void applyImeMode();
    void applyPasswordChar();
    void wmKeyDown(TMessage &m);
    void wmChar(TMessage &m);
    void wmImeChar(TMessage &m);
    void clipboardMessage(TMessage &m);

    TkvCustomInnerTextEditHelper *helper_ = nullptr;
    TkvCustomTextEdit *container_ = nullptr;
    TkvEditEchoMode echoMode_ = eemNormal;
    bool keyConsumed_ = false;
    bool creating_ = false;
    int boundsLock_ = 0;
    TAlignment alignment_ = taLeftJustify;
    TEditCharCase charCase_ = ecNormal;
    bool hideSelection_ = true;
    bool oemConvert_ = false;
    TImeMode imeMode_ = imDontCare;
    TImeName imeName_;
    int imeCharCount_ = 0;
    wchar_t imeLastChar_ = 0;
    wchar_t passwordChar_ = 0;
    int silentText_ = 0;
};

#endif
