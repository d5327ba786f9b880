// kvMaskEdit: the masked editor, a text editor whose keys, characters, pastes, cuts and text
// changes pass through a mask mode while a mask is in force. The mask is a standard mask, a
// regular expression tested character by character, or a regular expression whose forced
// characters are typed for the user. With an empty mask it is the text editor.
//
// While a mask is in force the maximum length is 0, Text reports the value form (blanks as
// spaces, literals only when kept), and a text the mask does not call full fails validation
// with "The edit value is invalid" unless IgnoreMaskBlank is set.
#ifndef KV_MASK_EDIT_H
#define KV_MASK_EDIT_H

#include <windows.h>

#include <classlib/resource_strings.h>
#include <classlib/variant.h>

#include <cstdint>
#include <string>

#include "kvMaskEditModes.h"
#include "kvTextEdit.h"

using TkvEditMask = std::wstring;

extern const TResourceString kvsMaskEditInvalidEditValue; // "The edit value is invalid"

// What a data source may give a masked editor whose own standard mask is empty.
struct IkvMaskEditDefaultValues : IInterface {
    virtual TkvEditMask EditMask() = 0;
};

class TkvCustomMaskEdit;

class TkvCustomMaskEditProperties : public TkvCustomTextEditProperties {
    CL_CLASS(TkvCustomMaskEditProperties, TkvCustomTextEditProperties)

public:
    void Create(TPersistent *owner) override;
    void Assign(TPersistent *source) override;

    // --- overrides
    void Changed() override;
    TClass GetEditClass() override;
    bool IsEditValueValid(Variant &value) override;
    void MaxLengthChanged() override;
    void PrepareDisplayValue(const Variant &editValue, Variant &displayValue, bool editing) override;
    void SetCharCase(TEditCharCase value) override;
    bool UsesLookupData() override;
    void ValidateDisplayValue(Variant &displayValue, std::wstring &errorText, bool &error,
                              IkvEditValidationSite *edit) override;

    // --- properties
    bool AlwaysShowBlanksAndLiterals() const noexcept { return alwaysShowBlanksAndLiterals_; }
    void SetAlwaysShowBlanksAndLiterals(bool value);
    bool CaseInsensitive() const noexcept { return caseInsensitive_; }
    void SetCaseInsensitive(bool value);
    bool IgnoreMaskBlank() const noexcept { return ignoreMaskBlank_; }
    void SetIgnoreMaskBlank(bool value);
    TkvEditMaskKind MaskKind() const noexcept { return maskKind_; }
    void SetMaskKind(TkvEditMaskKind value);
    const TkvEditMask &EditMask() const noexcept { return editMask_; }
    // Raises EkvMaskEditError for a regular expression with errors; the old mask stays.
    void SetEditMask(const TkvEditMask &value);

    // The mask in force: EditMask, or for an empty standard mask the data source's.
    TkvEditMask EffectiveMask();
    // A mask is in force.
    bool IsMasked();
    // The current mode's empty string, kept for the editor.
    const std::wstring &EmptyString() const noexcept { return emptyString_; }
    void SetEmptyString(const std::wstring &value) { emptyString_ = value; }
    // What the modes read of these settings.
    const IkvMaskEditModeOptions &ModeOptions() const noexcept { return modeOptions_; }
    // A mode of the kind, compiled for the mask in force, for formatting without an editor; null
    // when the mask does not compile for the kind.
    TkvMaskEditCustomMode *TemporaryMode();

protected:
    void Destroy() override;

private:
    friend class TkvCustomMaskEdit;
    struct Options : IkvMaskEditModeOptions {
        TkvCustomMaskEditProperties *owner = nullptr;
        bool BeepOnError() const override { return owner->TkvCustomEditProperties::BeepOnError(); }
        bool IgnoreMaskBlank() const override { return owner->ignoreMaskBlank_; }
        bool CaseInsensitive() const override { return owner->caseInsensitive_; }
        bool CharCaseNormal() const override { return owner->CharCase() == ecNormal; }
    };

    bool alwaysShowBlanksAndLiterals_ = false;
    bool caseInsensitive_ = true;
    std::wstring emptyString_;
    bool maxLengthGuard_ = false;
    bool ignoreMaskBlank_ = false;
    TkvEditMaskKind maskKind_ = emkStandard;
    TkvEditMask editMask_;
    TkvMaskEditCustomMode *temporaryMode_ = nullptr;
    Options modeOptions_;
};

class TkvMaskEditProperties : public TkvCustomMaskEditProperties {
    CL_CLASS(TkvMaskEditProperties, TkvCustomMaskEditProperties)
};

class TkvCustomMaskEdit : public TkvCustomTextEdit {
    CL_CLASS(TkvCustomMaskEdit, TkvCustomTextEdit)

public:
    TkvCustomMaskEditProperties *Properties() const noexcept {
        return static_cast<TkvCustomMaskEditProperties *>(TkvCustomTextEdit::Properties());
    }
    TkvCustomMaskEditProperties *ActiveProperties() {
        return static_cast<TkvCustomMaskEditProperties *>(TkvCustomTextEdit::ActiveProperties());
    }

    TkvMaskEditCustomMode *Mode() const noexcept { return mode_; }
    // The text in value form, what Text reports while a mask is in force.
    const std::wstring &MaskedText() const noexcept { return maskedText_; }
    bool IsMasked() { return ActiveProperties()->IsMasked(); }

    // --- operations the masked editor adds, after those of the text editor
    // The editor's last word on a character the mask accepted at a position; may change or zero it.
    virtual bool IsCharAllowedAt(wchar_t &character, int position);
    // After loading: the text passed through the mask again.
    virtual void ReapplyText();
    // The sound of input the mask refused (only with BeepOnError).
    virtual void BeepOnMaskError() { MessageBeep(0); }

    // --- the text editor's and the base editor's operations
    void Initialize() override;
    TClass GetPropertiesClass() override;
    void PropertiesChanged(TObject *sender) override;
    void DoEditKeyDown(WORD &key, TShiftState shift) override;
    void DoEditKeyPress(wchar_t &key) override;
    void KeyDown(WORD &key, TShiftState shift) override;
    void KeyPress(wchar_t &key) override;
    void KeyUp(WORD &key, TShiftState shift) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void DblClick() override;
    void DoEnter() override;
    void ChangeHandler(TObject *sender) override;
    void InnerSelectionChanged(TObject *sender) override;
    std::wstring InternalGetText() override;
    bool InternalSetText(const std::wstring &text) override;
    void InternalSetDisplayValue(const Variant &value) override;
    void SynchronizeDisplayValue() override;
    void PrepareEditValue(const Variant &text, Variant &value, bool editing) override;
    void SetSelText(const std::wstring &text) override;
    void CutToClipboard() override;
    void PasteFromClipboard() override;
    void Loaded() override;

protected:
    void Destroy() override;

private:
    struct Host;
    friend struct Host;
    void createMode(TkvEditMaskKind kind);
    void refreshEmptyString();
    void recomputeMaskedText();
    // Replaces the selection through the mask: the text as the mode fits it, the caret after it.
    void replaceSelectionMasked(const std::wstring &text);
    void sendSimulated(UINT message, WPARAM wParam);
    void setSelection(int anchor, int caret);
    void writeInnerText(const std::wstring &text);

    TkvMaskEditCustomMode *mode_ = nullptr;
    Host *host_ = nullptr;
    std::wstring maskedText_;
    bool simulatingKey_ = false;
    bool shift_ = false;
    bool settingSelection_ = false;
    // The selection the editor set last, to tell which end the caret is at.
    int lastAnchor_ = -1;
    int lastCaret_ = -1;
};

class TkvMaskEdit : public TkvCustomMaskEdit {
    CL_CLASS(TkvMaskEdit, TkvCustomMaskEdit)

public:
    TkvMaskEditProperties *Properties() const noexcept {
        return static_cast<TkvMaskEditProperties *>(TkvCustomMaskEdit::Properties());
    }
    TkvMaskEditProperties *ActiveProperties() {
        return static_cast<TkvMaskEditProperties *>(TkvCustomMaskEdit::ActiveProperties());
    }
};

// Registers the masked editor's properties with the registry at unit start.
extern TUnit kvMaskEditUnit;

#endif
