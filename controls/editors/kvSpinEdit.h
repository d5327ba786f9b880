// kvSpinEdit: the numeric editor with spin buttons.
//
// A masked edit (without a mask) whose value is a 64-bit integer or a float, kept inside
// optional bounds, stepped by its buttons, the arrow and page keys and the mouse wheel, and
// repeated while a button is held (a step at once, the next after 400 ms, then every 100 ms).
// A step past a bound clamps, or wraps around with WrapAround. Typed text that is no number is
// refused silently unless ExceptionOnInvalidInput asks for "Invalid numeric value".
#ifndef KV_SPIN_EDIT_H
#define KV_SPIN_EDIT_H

#include <classlib/events.h>
#include <classlib/persistent.h>
#include <classlib/units.h>
#include <classlib/variant.h>

#include <string>

#include "kvControlServices.h"
#include "kvMaskEdit.h"
#include "kvSpinEditValues.h"
#include "kvSpinEditView.h"

// Registers the spin edit's properties ("SpinEdit|Represents a spin editor").
extern TUnit kvSpinEditUnit;

class TkvCustomSpinEditProperties;

// Where the spin buttons stand and whether the fast ones show.
class TkvSpinEditButtons : public TPersistent {
    CL_CLASS(TkvSpinEditButtons, TPersistent)

public:
    virtual void Create(TkvCustomSpinEditProperties *owner);

    TkvSpinEditButtonsPosition Position() const noexcept { return position_; }
    void SetPosition(TkvSpinEditButtonsPosition value);
    bool ShowFastButtons() const noexcept { return showFastButtons_; }
    void SetShowFastButtons(bool value);
    void Assign(TPersistent *source) override;

protected:
    TPersistent *GetOwner() override;

private:
    TkvCustomSpinEditProperties *owner_ = nullptr;
    TkvSpinEditButtonsPosition position_ = sbpVert;
    bool showFastButtons_ = false;
};

class TkvSpinEditPropertiesValues : public TkvTextEditPropertiesValues {
    CL_CLASS(TkvSpinEditPropertiesValues, TkvTextEditPropertiesValues)

public:
    // ValueType was set (never written to a stream).
    bool ValueType() const noexcept { return valueType_; }
    void SetValueType(bool value);
    void Assign(TPersistent *source) override;
    void RestoreDefaults();

private:
    bool valueType_ = false;
};

using TkvSpinEditGetValueEvent = TEvent<void(TObject *sender, const std::wstring &text, Variant &value,
                                             std::wstring &errorText, bool &error)>;

class TkvCustomSpinEditProperties : public TkvCustomMaskEditProperties {
    CL_CLASS(TkvCustomSpinEditProperties, TkvCustomMaskEditProperties)

public:
    void Create(TPersistent *owner) override;
    void Assign(TPersistent *source) override;

    // --- overridable, added in slot order
    virtual bool ClampsAtBounds() { return true; }
    virtual int GetWrapMode();
    virtual void GetMaxValueBound(Variant &value);
    virtual void GetMinValueBound(Variant &value);
    virtual bool ChecksNumericDisplayValue() { return true; }
    virtual void ConvertToValueType(const Variant &value, Variant &result);
    virtual bool IsSelectionPreserved() { return false; }
    // Whether the properties format values themselves: not with its flag or a DisplayFormat.
    virtual bool FormatsValueItself();
    // The display text (editing form) of 0 clamped to the bounds.
    virtual Variant GetDefaultDisplayValue();

    // --- overrides
    TClass GetAssignedValuesClass() override { return TkvSpinEditPropertiesValues::ClassInfo(); }
    TClass GetViewDataClass() override { return TkvSpinEditViewData::ClassInfo(); }
    TClass GetEditClass() override;
    TClass GetViewInfoClass() override { return TkvSpinEditViewInfo::ClassInfo(); }
    void Changed() override;
    TkvCustomEditViewData *CreateViewData(TkvCustomEditStyle *style, bool inPlace, bool flag = false) override;
    bool IsEditValueValid(Variant &value) override;
    void ValidateDisplayValue(Variant &displayValue, std::wstring &errorText, bool &error,
                              IkvEditValidationSite *edit) override;
    bool IsEditValueNumeric() override { return true; }
    bool IsDisplayValueValid(Variant &displayValue, bool isInnerEdit) override;

    // --- properties
    TkvSpinEditPropertiesValues *AssignedValues() const noexcept {
        return static_cast<TkvSpinEditPropertiesValues *>(inherited::AssignedValues());
    }
    TkvSpinEditButtons *SpinButtons() const noexcept { return spinButtons_; }
    void SetSpinButtons(TkvSpinEditButtons *value) { spinButtons_->Assign(value); }
    bool CanEdit() const noexcept { return canEdit_; }
    void SetCanEdit(bool value);
    double Increment() const noexcept { return increment_; }
    void SetIncrement(double value);
    double LargeIncrement() const noexcept { return largeIncrement_; }
    void SetLargeIncrement(double value);
    // The assigned type, else by the provider's data kind (vtInt with the base provider), else
    // vtFloat without a provider.
    TkvSpinEditValueType ValueType();
    void SetValueType(TkvSpinEditValueType value);
    bool WrapAround() const noexcept { return wrapAround_; }
    void SetWrapAround(bool value);
    bool ExceptionOnInvalidInput() const noexcept { return exceptionOnInvalidInput_; }
    void SetExceptionOnInvalidInput(bool value) noexcept { exceptionOnInvalidInput_ = value; }
    bool UseCtrlIncrement() const noexcept { return useCtrlIncrement_; }
    void SetUseCtrlIncrement(bool value) noexcept { useCtrlIncrement_ = value; }

    // The bounds as this type's arithmetic takes them.
    TkvSpinBounds Bounds();
    // Text as a number of the value type.
    bool TextToNumber(const std::wstring &text, Variant &value);
    // 0 clamped to the bounds, in the value type.
    Variant ZeroInBounds();

    // What is written to a stream.
    bool IsIncrementStored() const noexcept { return increment_ != 1.0; }
    bool IsLargeIncrementStored() const noexcept { return largeIncrement_ != 10.0; }
    bool IsValueTypeStored() const noexcept { return AssignedValues()->ValueType(); }

    TkvSpinEditGetValueEvent OnGetValue;

protected:
    void Destroy() override;

private:
    TkvSpinEditButtons *spinButtons_ = nullptr;
    // Changed is making the button count follow ShowFastButtons.
    bool adjustingButtons_ = false;
    bool canEdit_ = true;
    double increment_ = 1.0;
    double largeIncrement_ = 10.0;
    TkvSpinEditValueType valueType_ = vtInt;
    bool wrapAround_ = false;
    bool exceptionOnInvalidInput_ = false;
    bool useCtrlIncrement_ = false;
};

class TkvSpinEditProperties : public TkvCustomSpinEditProperties {
    CL_CLASS(TkvSpinEditProperties, TkvCustomSpinEditProperties)
};

class TkvCustomSpinEdit : public TkvCustomMaskEdit {
    CL_CLASS(TkvCustomSpinEdit, TkvCustomMaskEdit)

public:
    TkvCustomSpinEditProperties *Properties() const noexcept {
        return static_cast<TkvCustomSpinEditProperties *>(inherited::Properties());
    }
    TkvCustomSpinEditProperties *ActiveProperties() {
        return static_cast<TkvCustomSpinEditProperties *>(inherited::ActiveProperties());
    }

    // The value in the value type (see GetValue); setting takes numbers inside the rules only.
    Variant Value() { return GetValue(); }
    bool IsValueStored();
    // 0 none, else the button stepped by the keyboard plus 1.
    int KeyboardSpinState() const noexcept { return keyboardSpinState_; }
    // The repeat timer while a button is held (none otherwise).
    TkvTimer *RepeatTimer() const noexcept { return repeatTimer_; }
    // The spin value (the last value shown, in the value type).
    const Variant &SpinValue() const noexcept { return spinValue_; }
    // The text was changed by typing or pasting since the value was last shown.
    bool IsTextTyped() const noexcept { return typedText_; }
    // The steps the repeat timer made (not the first one, made by the press).
    int RepeatCount() const noexcept { return repeatCount_; }

    // --- operations, added in slot order
    virtual Variant GetIncrement(int button);
    virtual Variant GetValue();
    virtual std::wstring ValueToDisplayText(const Variant &value);
    virtual void SetValue(const Variant &value);
    // One step of the button; true when the text changed.
    virtual bool Spin(int button);

    // --- overrides
    void Initialize() override;
    TClass GetPropertiesClass() override { return TkvCustomSpinEditProperties::ClassInfo(); }
    void CutToClipboard() override;
    void PasteFromClipboard() override;
    void PrepareEditValue(const Variant &text, Variant &value, bool editing) override;
    void ChangeHandler(TObject *sender) override;
    void ClampValueToBounds() override;
    void DoButtonDown(int index) override;
    void DoEditKeyDown(WORD &key, TShiftState shift) override;
    void DoEditKeyPress(wchar_t &key) override;
    void DoEditKeyUp(WORD &key, TShiftState shift) override;
    bool IsValidChar(wchar_t ch) override;
    void PropertiesChanged(TObject *sender) override;
    void SynchronizeDisplayValue() override;
    void SynchronizeEditValue() override;
    void InitializeViewData(TkvCustomEditViewData *viewData) override;
    bool RecalculateState(const TPoint &p, int button, TShiftState shift) override;
    TkvContainerStyleValues GetHiddenStyleValues() override;
    bool DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) override;
    void InitializeInnerEdit() override;
    void DblClick() override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void FocusChanged() override;

    // Ends a held button or keyboard spin: the button goes back to normal, the timer is freed
    // and the mouse let go.
    void StopSpin();

protected:
    void Destroy() override;

private:
    friend class TkvCustomSpinEditProperties;
    void repeatTimerHandler(TObject *sender);
    bool stepValue(int button, Variant &value);
    void setKeyboardSpinState(int state);
    bool wheelMayAct(TShiftState shift);
    bool hasGetValueHandlers();
    // How typed text is read now (handlers, exceptions, the value it leaves when unreadable).
    TkvSpinTextToValueContext textToValueContext(bool raiseErrors);

    Variant spinValue_;
    bool typedText_ = false;
    bool typing_ = false;
    int keyboardSpinState_ = 0;
    TkvTimer *repeatTimer_ = nullptr;
    int repeatCount_ = 0;
    bool synchronizingEditValue_ = false;
    bool stopping_ = false;
    // The button the mouse pressed and holds, -1 none.
    int heldButton_ = -1;
};

class TkvSpinEdit : public TkvCustomSpinEdit {
    CL_CLASS(TkvSpinEdit, TkvCustomSpinEdit)

public:
    TClass GetPropertiesClass() override { return TkvSpinEditProperties::ClassInfo(); }
    TkvSpinEditProperties *Properties() const noexcept {
        return static_cast<TkvSpinEditProperties *>(inherited::Properties());
    }
};

#endif
