// kvTextEdit: the single-line text editor. Its text lives in an inner Windows edit; its edit
// value is a variant and its display value the text. It adds character case, password echo, a
// maximum length, display and edit formats with bounds for numeric descendants, and the
// completion of typed text from lookup items. The masked editor and the spin editor derive from
// it.
#ifndef KV_TEXT_EDIT_H
#define KV_TEXT_EDIT_H

#include <windows.h>

#include <classlib/variant.h>

#include <string>

#include "kvEdit.h"
#include "kvInnerTextEdit.h"
#include "kvTextEditLookupData.h"
#include "kvTextEditProperties.h"
#include "kvTextEditView.h"

class TkvCustomTextEdit : public TkvCustomEdit, public IkvTextEditLookupOwner {
    CL_CLASS(TkvCustomTextEdit, TkvCustomEdit)

public:
    // The properties are text-edit properties.
    TkvCustomTextEditProperties *Properties() const noexcept {
        return static_cast<TkvCustomTextEditProperties *>(TkvCustomEdit::Properties());
    }
    TkvCustomTextEditProperties *ActiveProperties() {
        return static_cast<TkvCustomTextEditProperties *>(TkvCustomEdit::ActiveProperties());
    }
    TkvCustomTextEditViewInfo *ViewInfo() const noexcept {
        return static_cast<TkvCustomTextEditViewInfo *>(TkvCustomEdit::ViewInfo());
    }
    // The inner edit's text side, or none.
    IkvInnerTextEdit *InnerTextEdit() const noexcept { return dynamic_cast<IkvInnerTextEdit *>(InnerEdit()); }
    TkvCustomTextEditLookupData *LookupData() const noexcept { return lookupData_; }
    IkvTextEditLookupData *ILookupData() const noexcept { return lookupData_; }

    bool BeepOnEnter() const noexcept { return beepOnEnter_; }
    void SetBeepOnEnter(bool value) noexcept { beepOnEnter_ = value; }
    // What Text reports (the display text) and what setting it does (SetDisplayText).
    std::wstring Text() { return InternalGetText(); }
    void SetText(const std::wstring &text) { InternalSetText(text); }
    // Through the inner edit; 0 without a usable one.
    int SelStart();
    void SetSelStart(int value);
    int SelLength();
    void SetSelLength(int value);
    std::wstring SelText();
    int ItemIndex() { return GetItemIndex(); }
    // The editor's own input method settings; the properties' are copied here when they change.
    TImeMode ImeMode() const noexcept { return imeMode_; }
    void SetImeMode(TImeMode value) noexcept { imeMode_ = value; }
    TImeName ImeName() const { return imeName_; }
    void SetImeName(const TImeName &value) { imeName_ = value; }

    // The text currently equals a completed lookup item.
    bool LookupItemsMatched() const noexcept { return lookupMatched_; }
    // Set while a typed character is being completed; the inner edit clears it after WM_CHAR.
    bool IsLookupSearching() const noexcept { return lookupSearching_; }
    void SetLookupSearching(bool value) noexcept { lookupSearching_ = value; }
    // Held while a cut, paste, clear or key press coming from the inner edit is processed.
    bool IsInnerEditOperation() const noexcept { return innerEditOperation_; }
    void SetInnerEditOperation(bool value) noexcept { innerEditOperation_ = value; }
    // The inner edit tells of a gained or lost focus.
    void InnerEditFocusChanged();

    // --- operations, in slot order of those the text editor adds
    virtual void FormatChanged();
    virtual void AdjustInnerEdit();
    // The text replacing the selection gives, and the caret after it; false when refused.
    virtual bool CanSetSelText(const std::wstring &text, std::wstring &newText, int &caret);
    virtual void CheckValueBounds();
    virtual void ClampValueToBounds() {}
    virtual void DoNewLookupDisplayText(const std::wstring &text);
    virtual int GetInnerEditTextHeight();
    virtual int GetItemIndex();
    // Keys and the mouse wheel never move the lookup selection here.
    virtual bool CanChangeLookupItem(bool) { return false; }
    virtual void ApplyLookupSelection(TObject *sender);
    virtual std::wstring InternalGetText() { return GetDisplayText(); }
    // True when the text was taken.
    virtual bool InternalSetText(const std::wstring &text) { return SetDisplayText(text); }
    virtual Variant ItemIndexToLookupKey(int index) { return Variant(index); }
    virtual Variant LookupKeyToEditValue(const Variant &key);
    virtual int LookupKeyToItemIndex(const Variant &key);
    virtual bool IsDataSourceFree();
    virtual void ResetLookupMatch();
    virtual void InnerSelectionChanged(TObject *) {}
    virtual void SetEditingText(const std::wstring &text);
    virtual void SetItemIndex(int index);
    virtual void SetSelText(const std::wstring &text);
    virtual void RefreshTextValue();
    virtual void ClearSelection();
    virtual void ResetValue() { Reset(); }

    // --- the base editor's operations
    void AdjustInnerEditPosition() override;
    void UpdateInnerControlStyle() override { AdjustInnerEdit(); }
    bool IsTextChangingKey(WORD key, TShiftState shift) override;
    bool IsTextChangingChar(wchar_t key) override;
    void ChangeHandler(TObject *sender) override;
    void DoEditKeyDown(WORD &key, TShiftState shift) override;
    void DoEditKeyPress(wchar_t &key) override;
    std::wstring GetDisplayText() override;
    TClass GetInnerEditClass() override { return TkvCustomInnerTextEdit::ClassInfo(); }
    void Initialize() override;
    void InitializeViewData(TkvCustomEditViewData *viewData) override;
    void InternalSetDisplayValue(const Variant &value) override;
    bool IsValidChar(wchar_t ch) override;
    void PropertiesChanged(TObject *sender) override;
    bool SetDisplayText(const std::wstring &text) override;
    void SetInnerEditDisplayValue(const Variant &value) override;
    void SynchronizeDisplayValue() override;
    void SynchronizeEditValue() override;
    void UpdateDrawValue() override;
    bool HandlesNavigationKeys() override { return true; }
    void Activate(TkvCustomEditData *&editData) override;
    void CopyToClipboard() override;
    void CutToClipboard() override;
    TClass GetPropertiesClass() override { return TkvTextEditProperties::ClassInfo(); }
    bool IsInnerEditShown() override;
    void PasteFromClipboard() override;
    void PrepareEditValue(const Variant &text, Variant &value, bool editing) override;
    void SelectAll() override;
    void FocusInnerControl() override;
    void Loaded() override;
    void Dispatch(TMessage &message) override;

    // --- IkvTextEditLookupOwner
    TStringList *GetLookupItems() override;
    std::wstring GetLookupOwnerText() override { return GetDisplayText(); }

protected:
    void Destroy() override;
    void BeforeDestruction() override;

private:
    // Completes the typed text from the lookup items; true when the key was used.
    bool completeFromLookup(wchar_t &key);
    void setCompletedText(const std::wstring &typed, const std::wstring &tail);
    void wmGetText(TMessage &m);
    void wmSetText(TMessage &m);
    void showInnerEdit(bool show);

    bool beepOnEnter_ = true;
    bool lookupMatched_ = false;
    bool lookupSearching_ = false;
    bool innerEditOperation_ = false;
    bool settingText_ = false;
    bool adjustingInnerEdit_ = false;
    bool synchronizingEditValue_ = false;
    TkvCustomTextEditLookupData *lookupData_ = nullptr;
    std::wstring savedText_;
    bool textSaved_ = false;
    TkvFormatChangeLink *formatListener_ = nullptr;
    TImeMode imeMode_ = imDontCare;
    TImeName imeName_;
};

class TkvTextEdit : public TkvCustomTextEdit {
    CL_CLASS(TkvTextEdit, TkvCustomTextEdit)

public:
    TkvTextEditProperties *Properties() const noexcept {
        return static_cast<TkvTextEditProperties *>(TkvCustomTextEdit::Properties());
    }
    TkvTextEditProperties *ActiveProperties() {
        return static_cast<TkvTextEditProperties *>(TkvCustomTextEdit::ActiveProperties());
    }
};

// Registers the text editor's properties with the registry at unit start; the format
// controller the editors listen to lives as long as the unit.
extern TUnit kvTextEditUnit;

#endif
