// kvTextEditProperties: the settings of the single-line text editor: character case, password
// echo, maximum length, display and edit formats of numeric values with their bounds, the lookup
// texts typed text is completed from, and the inner edit's input-method settings.
#ifndef KV_TEXT_EDIT_PROPERTIES_H
#define KV_TEXT_EDIT_PROPERTIES_H

#include <classlib/events.h>
#include <classlib/resource_strings.h>
#include <classlib/string_list.h>
#include <classlib/variant.h>

#include <bitset>
#include <cstdint>
#include <string>

#include "kvEditProperties.h"
#include "kvFormatChangeLink.h"
#include "kvFormats.h"

enum TEditCharCase : std::uint8_t { ecNormal, ecUpperCase, ecLowerCase };
enum TkvEditEchoMode : std::uint8_t { eemNormal, eemPassword };
// The input method's state an edit asks for while it has the focus.
enum TImeMode : std::uint8_t {
    imDisable, imClose, imOpen, imDontCare, imSAlpha, imAlpha, imHira, imSKata, imKata, imChinese, imSHanguel,
    imHanguel
};
using TImeName = std::wstring;
// Free text; the list kinds belong to list editors.
enum TkvTextEditKind : std::uint8_t { tekEdit, tekList };

// A bound of IsValueBoundDefined.
enum TkvValueBound : std::uint8_t { evbMin = 0, evbMax = 1 };

extern const TResourceString kvsEditNumericValueConvertError; // "Could not convert to numeric value"
extern const TResourceString kvsEditValueOutOfBounds;         // "Value out of bounds"

// What a data source may give a text editor beyond the common defaults; a provider that has
// none of it simply does not offer this interface.
struct IkvTextEditDefaultValues : IInterface {
    virtual bool IsCurrency() = 0;
    // Significant digits of a currency value (15 when none is given).
    virtual int Precision() = 0;
    // Whether the source formats its display text itself.
    virtual bool HasDisplayFormat() = 0;
    virtual std::wstring DisplayFormat() = 0;
    virtual std::wstring EditFormat() = 0;
    virtual int MaxLength() = 0;
    virtual double MaxValue() = 0;
    virtual double MinValue() = 0;
};

class TkvCustomTextEditProperties;

class TkvTextEditPropertiesValues : public TkvCustomEditPropertiesValues {
    CL_CLASS(TkvTextEditPropertiesValues, TkvCustomEditPropertiesValues)

public:
    bool DisplayFormat() const noexcept { return displayFormat_; }
    void SetDisplayFormat(bool value);
    bool EditFormat() const noexcept { return editFormat_; }
    void SetEditFormat(bool value);
    bool MaxLength() const noexcept { return maxLength_; }
    void SetMaxLength(bool value);
    bool MaxValue() const noexcept { return maxValue_; }
    void SetMaxValue(bool value);
    bool MinValue() const noexcept { return minValue_; }
    void SetMinValue(bool value);
    // Copies the flags.
    void Assign(TPersistent *source) override;
    // MaxLength is never written; the others only when set.
    bool IsMaxLengthStored() const noexcept { return false; }

private:
    friend class TkvCustomTextEditProperties;
    void set(bool &flag, bool value);

    bool displayFormat_ = false;
    bool editFormat_ = false;
    bool maxLength_ = false;
    bool maxValue_ = false;
    bool minValue_ = false;
};

using TkvNewLookupDisplayTextEvent = TEvent<void(TObject *sender, const std::wstring &text)>;
using TkvTextEditValidChars = std::bitset<256>;

class TkvCustomTextEditProperties : public TkvCustomEditProperties {
    CL_CLASS(TkvCustomTextEditProperties, TkvCustomEditProperties)

public:
    void Create(TPersistent *owner) override;
    void Assign(TPersistent *source) override;

    // --- overridable, in slot order
    // The locale's formats changed (the format controller calls it).
    virtual void FormatChanged();
    // Whether a value lies inside the bounds that are defined.
    virtual bool CheckEditValueBounds(const Variant &value);
    virtual Variant GetEmptyDisplayValue() { return Variant(std::wstring()); }
    // Whether the text is one of the lookup items, ignoring case.
    virtual bool IsLookupText(const std::wstring &text);
    virtual std::wstring GetDefaultDisplayFormat() { return {}; }
    virtual int GetDefaultMaxLength();
    // The step of PageUp and PageDown in a lookup list.
    virtual int GetLookupPageSize() { return 8; }
    virtual TkvTextEditKind GetTextEditKind() { return tekEdit; }
    virtual TClass GetLookupDataClass();
    virtual bool UsesDigitGrouping() { return false; }
    // The format in force while editing (see the algorithm); editor: the editor asking, or none.
    virtual void GetEditFormat(bool &isCurrency, bool &providerFormat, std::wstring &format,
                               TComponent *editor = nullptr);
    virtual bool IsEditValueNumeric() { return false; }
    virtual bool IsValueBoundDefined(TkvValueBound bound);
    virtual bool HasValueBounds();
    virtual void LookupItemsChanged(TObject *sender);
    virtual void MaxLengthChanged() { Changed(); }
    virtual void SetCharCase(TEditCharCase value);
    virtual bool UsesLookupData() { return lookupItems_->Count() > 0; }
    // Password echo or case conversion of a text about to be shown.
    virtual void PrepareDisplayText(std::wstring &text);
    // The text of the value; a valid one comes back case-converted.
    virtual bool IsDisplayValueValid(Variant &displayValue, bool isInnerEdit);

    // --- overrides
    // Both run inside an update bracket: one change notice however much they touch.
    void AlignmentChanged(TObject *sender) override;
    void SetAlignment(TkvEditAlignment *value) override;
    bool CanCompareEditValues() override { return true; }
    bool CanValidate() override { return true; }
    bool CanReset() override { return true; }
    bool SeparatesChangeEvents() override { return true; }
    TClass GetAssignedValuesClass() override { return TkvTextEditPropertiesValues::ClassInfo(); }
    TClass GetEditClass() override;
    TClass GetViewDataClass() override;
    TClass GetViewInfoClass() override;
    void GetValidationErrorText(int kind, std::wstring &text) override;
    bool CompareDisplayValues(const Variant &a, const Variant &b) override;
    bool IsEditValueValid(Variant &value) override;
    void PrepareDisplayValue(const Variant &editValue, Variant &displayValue, bool editing) override;
    void ValidateDisplayValue(Variant &displayValue, std::wstring &errorText, bool &error,
                              IkvEditValidationSite *edit) override;

    // --- properties
    TkvTextEditPropertiesValues *AssignedValues() const noexcept {
        return static_cast<TkvTextEditPropertiesValues *>(inherited::AssignedValues());
    }
    TEditCharCase CharCase() const noexcept { return charCase_; }
    std::wstring DisplayFormat();
    void SetDisplayFormat(const std::wstring &value);
    TkvEditEchoMode EchoMode() const noexcept { return echoMode_; }
    void SetEchoMode(TkvEditEchoMode value);
    std::wstring EditFormat();
    void SetEditFormat(const std::wstring &value);
    bool HideSelection() const noexcept { return hideSelection_; }
    void SetHideSelection(bool value);
    TImeMode ImeMode() const noexcept { return imeMode_; }
    void SetImeMode(TImeMode value);
    TImeName ImeName() const { return imeName_; }
    void SetImeName(const TImeName &value);
    bool IncrementalSearch() const noexcept { return incrementalSearch_; }
    void SetIncrementalSearch(bool value);
    TStringList *LookupItems() const noexcept { return lookupItems_; }
    void SetLookupItems(TStringList *value) { lookupItems_->Assign(value); }
    bool LookupItemsSorted() const noexcept { return lookupItems_->Sorted(); }
    void SetLookupItemsSorted(bool value) { lookupItems_->SetSorted(value); }
    int MaxLength();
    void SetMaxLength(int value);
    double MaxValue();
    void SetMaxValue(double value);
    double MinValue();
    void SetMinValue(double value);
    bool OEMConvert() const noexcept { return oemConvert_; }
    void SetOEMConvert(bool value);
    wchar_t PasswordChar() const noexcept { return passwordChar_; }
    void SetPasswordChar(wchar_t value);
    // The character shown for each one of a password: PasswordChar, or '*' for #0.
    wchar_t EchoChar() const noexcept { return passwordChar_ != 0 ? passwordChar_ : L'*'; }
    bool UseDisplayFormatWhenEditing() const noexcept { return useDisplayFormatWhenEditing_; }
    void SetUseDisplayFormatWhenEditing(bool value);
    const TkvTextEditValidChars &ValidChars() const noexcept { return validChars_; }
    void SetValidChars(const TkvTextEditValidChars &value) noexcept { validChars_ = value; }
    bool IsValidCharListed(wchar_t c) const noexcept { return c < 256 && validChars_.test(c); }
    // Held while FormatChanged runs.
    bool IsFormatChanging() const noexcept { return formatChanging_; }

    // What is written to a stream: each of these exactly when assigned.
    bool IsDisplayFormatStored() const noexcept { return AssignedValues()->DisplayFormat(); }
    bool IsEditFormatStored() const noexcept { return AssignedValues()->EditFormat(); }
    bool IsMaxLengthStored() const noexcept { return AssignedValues()->MaxLength(); }
    bool IsMaxValueStored() const noexcept { return AssignedValues()->MaxValue(); }
    bool IsMinValueStored() const noexcept { return AssignedValues()->MinValue(); }
    // The hidden property read back from a stream: an assigned empty display format survives.
    void ReadIsDisplayFormatAssigned(bool value) { AssignedValues()->SetDisplayFormat(value); }

    // The provider's text-editor defaults, when it offers them.
    IkvTextEditDefaultValues *TextDefaultValues();

    TkvNewLookupDisplayTextEvent OnNewLookupDisplayText;

protected:
    void Destroy() override;

private:

    TEditCharCase charCase_ = ecNormal;
    std::wstring displayFormat_;
    TkvEditEchoMode echoMode_ = eemNormal;
    std::wstring editFormat_;
    bool hideSelection_ = true;
    TImeMode imeMode_ = imDontCare;
    TImeName imeName_;
    bool incrementalSearch_ = true;
    TStringList *lookupItems_ = nullptr;
    int maxLength_ = 0;
    double maxValue_ = 0;
    double minValue_ = 0;
    bool oemConvert_ = false;
    wchar_t passwordChar_ = 0;
    bool useDisplayFormatWhenEditing_ = false;
    TkvTextEditValidChars validChars_;
    bool formatChanging_ = false;
    TkvFormatChangeLink *formatListener_ = nullptr;
};

class TkvTextEditProperties : public TkvCustomTextEditProperties {
    CL_CLASS(TkvTextEditProperties, TkvCustomTextEditProperties)
};

// The case conversion of a text (the locale's).
std::wstring ApplyCharCase(const std::wstring &text, TEditCharCase charCase);

// What replacing the selection [selStart, selStart + selLength) of text with inserted gives.
// With maxLength above 0 (and only then) the text before the caret and then the whole are cut to
// maxLength characters; false when the cut would put the caret before the selection.
bool ReplaceSelectedText(const std::wstring &text, int selStart, int selLength, const std::wstring &inserted,
                         int maxLength, std::wstring &result, int &caret);

#endif
