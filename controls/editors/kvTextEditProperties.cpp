#include "kvTextEditProperties.h"

#include <classlib/exceptions.h>
#include <classlib/float_format.h>
#include <classlib/string_utils.h>

#include <algorithm>

#include "kvContainer.h"
#include "kvTextEdit.h"
#include "kvTextEditLookupData.h"
#include "kvTextEditView.h"
#include "kvVariants.h"

const TResourceString kvsEditNumericValueConvertError{L"Could not convert to numeric value"};
const TResourceString kvsEditValueOutOfBounds{L"Value out of bounds"};

namespace {

constexpr int defaultPrecision = 15;

bool isStringVariant(const Variant &value) {
    const TVarType type = value.VarType();
    return type == varOleStr || type == varString;
}

// The number a value stands for: numbers as they are, strings when they parse.
bool numberOf(const Variant &value, double &number) {
    if (value.IsNumeric() || value.VarType() == varFMTBcd) {
        number = value.AsDouble();
        return true;
    }
    if (isStringVariant(value))
        return TryStrToFloat(value.AsWideString(), number);
    return false;
}

} // namespace

std::wstring ApplyCharCase(const std::wstring &text, TEditCharCase charCase) {
    switch (charCase) {
    case ecUpperCase:
        return AnsiUpperCase(text);
    case ecLowerCase:
        return AnsiLowerCase(text);
    default:
        return text;
    }
}

bool ReplaceSelectedText(const std::wstring &text, int selStart, int selLength, const std::wstring &inserted,
                         int maxLength, std::wstring &result, int &caret) {
    const int length = static_cast<int>(text.size());
    selStart = std::clamp(selStart, 0, length);
    selLength = std::clamp(selLength, 0, length - selStart);
    std::wstring head = text.substr(0, static_cast<std::size_t>(selStart)) + inserted;
    const std::wstring rest = text.substr(static_cast<std::size_t>(selStart + selLength));
    if (maxLength > 0) {
        if (static_cast<int>(head.size()) > maxLength)
            head.resize(static_cast<std::size_t>(maxLength));
        caret = static_cast<int>(head.size());
        if (caret < selStart)
            return false;
        result = head + rest;
        if (static_cast<int>(result.size()) > maxLength)
            result.resize(static_cast<std::size_t>(maxLength));
        return true;
    }
    caret = static_cast<int>(head.size());
    result = head + rest;
    return true;
}

// --- TkvTextEditPropertiesValues

void TkvTextEditPropertiesValues::set(bool &flag, bool value) {
    if (flag == value)
        return;
    flag = value;
    ownerChanged();
}

void TkvTextEditPropertiesValues::SetDisplayFormat(bool value) { set(displayFormat_, value); }
void TkvTextEditPropertiesValues::SetEditFormat(bool value) { set(editFormat_, value); }
void TkvTextEditPropertiesValues::SetMaxValue(bool value) { set(maxValue_, value); }
void TkvTextEditPropertiesValues::SetMinValue(bool value) { set(minValue_, value); }

void TkvTextEditPropertiesValues::SetMaxLength(bool value) {
    if (maxLength_ == value)
        return;
    maxLength_ = value;
    if (auto *owner = dynamic_cast<TkvCustomTextEditProperties *>(GetOwner()))
        owner->MaxLengthChanged();
}

void TkvTextEditPropertiesValues::Assign(TPersistent *source) {
    if (auto *other = dynamic_cast<TkvTextEditPropertiesValues *>(source)) {
        auto *owner = dynamic_cast<TkvCustomEditProperties *>(GetOwner());
        RunInUpdate(owner, [&] {
            SetReadOnly(other->ReadOnly());
            SetDisplayFormat(other->displayFormat_);
            SetEditFormat(other->editFormat_);
            SetMaxLength(other->maxLength_);
            SetMaxValue(other->maxValue_);
            SetMinValue(other->minValue_);
        });
        return;
    }
    inherited::Assign(source);
}

// --- TkvCustomTextEditProperties

void TkvCustomTextEditProperties::Create(TPersistent *owner) {
    inherited::Create(owner);
    lookupItems_ = New<TStringList>();
    lookupItems_->OnChange = Bind(this, &TkvCustomTextEditProperties::LookupItemsChanged);
    formatListener_ = new TkvFormatChangeLink([this] { FormatChanged(); });
}

void TkvCustomTextEditProperties::Destroy() {
    delete formatListener_;
    formatListener_ = nullptr;
    FreeAndNil(lookupItems_);
    inherited::Destroy();
}

void TkvCustomTextEditProperties::Assign(TPersistent *source) {
    auto *other = dynamic_cast<TkvCustomTextEditProperties *>(source);
    if (other == nullptr) {
        inherited::Assign(source);
        return;
    }
    RunInUpdate(this, [&] {
        inherited::Assign(source);
        TkvTextEditPropertiesValues *flags = AssignedValues();
        flags->SetDisplayFormat(false);
        flags->SetEditFormat(false);
        flags->SetMaxLength(false);
        flags->SetMaxValue(false);
        flags->SetMinValue(false);
        TkvTextEditPropertiesValues *from = other->AssignedValues();
        SetCharCase(other->charCase_);
        if (from->DisplayFormat())
            SetDisplayFormat(other->displayFormat_);
        SetEchoMode(other->echoMode_);
        if (from->EditFormat())
            SetEditFormat(other->editFormat_);
        SetHideSelection(other->hideSelection_);
        SetImeMode(other->imeMode_);
        SetImeName(other->imeName_);
        SetIncrementalSearch(other->incrementalSearch_);
        lookupItems_->SetSorted(false);
        lookupItems_->Assign(other->lookupItems_);
        lookupItems_->SetSorted(other->lookupItems_->Sorted());
        if (from->MaxLength())
            SetMaxLength(other->maxLength_);
        if (from->MaxValue())
            SetMaxValue(other->maxValue_);
        if (from->MinValue())
            SetMinValue(other->minValue_);
        SetOEMConvert(other->oemConvert_);
        SetPasswordChar(other->passwordChar_);
        SetUseDisplayFormatWhenEditing(other->useDisplayFormatWhenEditing_);
        validChars_ = other->validChars_;
        OnNewLookupDisplayText = other->OnNewLookupDisplayText;
    });
}

void TkvCustomTextEditProperties::AlignmentChanged(TObject *sender) {
    RunInUpdate(this, [&] { inherited::AlignmentChanged(sender); });
}

void TkvCustomTextEditProperties::SetAlignment(TkvEditAlignment *value) {
    RunInUpdate(this, [&] { inherited::SetAlignment(value); });
}

void TkvCustomTextEditProperties::FormatChanged() {
    formatChanging_ = true;
    try {
        Changed();
    } catch (...) {
        formatChanging_ = false;
        throw;
    }
    formatChanging_ = false;
}

IkvTextEditDefaultValues *TkvCustomTextEditProperties::TextDefaultValues() {
    return Supports<IkvTextEditDefaultValues>(DefaultValuesProvider());
}

bool TkvCustomTextEditProperties::CheckEditValueBounds(const Variant &value) {
    double number = 0;
    if (!numberOf(value, number))
        return true;
    if (IsValueBoundDefined(evbMin) && number < MinValue())
        return false;
    if (IsValueBoundDefined(evbMax) && number > MaxValue())
        return false;
    return true;
}

bool TkvCustomTextEditProperties::IsLookupText(const std::wstring &text) {
    for (int i = 0; i < lookupItems_->Count(); ++i)
        if (AnsiSameText(lookupItems_->Strings(i), text))
            return true;
    return false;
}

int TkvCustomTextEditProperties::GetDefaultMaxLength() {
    IkvTextEditDefaultValues *defaults = TextDefaultValues();
    return defaults != nullptr ? defaults->MaxLength() : 0;
}

TClass TkvCustomTextEditProperties::GetEditClass() { return TkvTextEdit::ClassInfo(); }
TClass TkvCustomTextEditProperties::GetLookupDataClass() { return TkvCustomTextEditLookupData::ClassInfo(); }
TClass TkvCustomTextEditProperties::GetViewDataClass() { return TkvCustomTextEditViewData::ClassInfo(); }
TClass TkvCustomTextEditProperties::GetViewInfoClass() { return TkvCustomTextEditViewInfo::ClassInfo(); }

void TkvCustomTextEditProperties::GetEditFormat(bool &isCurrency, bool &providerFormat, std::wstring &format,
                                                TComponent *editor) {
    isCurrency = false;
    providerFormat = false;
    format.clear();
    if (AssignedValues()->EditFormat()) {
        format = editFormat_;
        return;
    }
    IkvTextEditDefaultValues *defaults = TextDefaultValues();
    auto *container = dynamic_cast<TkvContainer *>(editor);
    const bool inPlace = container != nullptr && container->InPlaceMode();
    if ((editor == nullptr || !inPlace) && defaults != nullptr && defaults->HasDisplayFormat()) {
        providerFormat = true;
        return;
    }
    if (defaults != nullptr && !defaults->EditFormat().empty()) {
        format = defaults->EditFormat();
        return;
    }
    // A display format serves for editing only when asked to.
    format = DisplayFormat();
    if (format.empty() && defaults != nullptr)
        isCurrency = defaults->IsCurrency();
    if (!useDisplayFormatWhenEditing_)
        format.clear();
}

bool TkvCustomTextEditProperties::IsValueBoundDefined(TkvValueBound bound) {
    const double maxValue = MaxValue();
    const double minValue = MinValue();
    if (maxValue > minValue)
        return true;
    if (maxValue == minValue)
        return false;
    const bool maxAssigned = AssignedValues()->MaxValue();
    const bool minAssigned = AssignedValues()->MinValue();
    if (maxAssigned == minAssigned)
        return false;
    return bound == evbMin ? minAssigned : maxAssigned;
}

bool TkvCustomTextEditProperties::HasValueBounds() {
    return IsValueBoundDefined(evbMin) || IsValueBoundDefined(evbMax);
}

void TkvCustomTextEditProperties::LookupItemsChanged(TObject *) { Changed(); }

void TkvCustomTextEditProperties::SetCharCase(TEditCharCase value) {
    if (charCase_ == value)
        return;
    charCase_ = value;
    Changed();
}

void TkvCustomTextEditProperties::PrepareDisplayText(std::wstring &text) {
    if (echoMode_ == eemPassword)
        text.assign(text.size(), EchoChar());
    else
        text = ApplyCharCase(text, charCase_);
}

bool TkvCustomTextEditProperties::IsDisplayValueValid(Variant &displayValue, bool) {
    std::wstring text = EditValueText(displayValue);
    if (!text.empty() && GetTextEditKind() != tekEdit && !IsLookupText(text))
        return false;
    displayValue = Variant(ApplyCharCase(text, charCase_));
    return true;
}

void TkvCustomTextEditProperties::GetValidationErrorText(int kind, std::wstring &text) {
    if (kind == 1)
        text = LoadResString(kvsEditValueOutOfBounds);
    else
        inherited::GetValidationErrorText(kind, text);
}

bool TkvCustomTextEditProperties::CompareDisplayValues(const Variant &a, const Variant &b) {
    Variant shownA, shownB;
    PrepareDisplayValue(a, shownA, false);
    PrepareDisplayValue(b, shownB, false);
    return EditValueText(shownA) == EditValueText(shownB);
}

bool TkvCustomTextEditProperties::IsEditValueValid(Variant &value) {
    if (value.IsNull() || !isStringVariant(value))
        return true;
    return IsDisplayValueValid(value, false);
}

void TkvCustomTextEditProperties::PrepareDisplayValue(const Variant &editValue, Variant &displayValue, bool editing) {
    if (!IsEditValueNumeric()) {
        displayValue = Variant(EditValueText(editValue));
        return;
    }
    if (IsNullOrEmptyVariant(editValue) || (isStringVariant(editValue) && editValue.AsWideString().empty())) {
        displayValue = Variant(std::wstring());
        return;
    }
    if (!editValue.IsNumeric() && editValue.VarType() != varFMTBcd && !isStringVariant(editValue))
        throw EConvertError(LoadResString(kvsEditNumericValueConvertError));
    const std::wstring text = EditValueText(editValue);
    double number = 0;
    if (editing) {
        bool isCurrency = false;
        bool providerFormat = false;
        std::wstring format;
        GetEditFormat(isCurrency, providerFormat, format);
        if (isCurrency) {
            IkvTextEditDefaultValues *defaults = TextDefaultValues();
            const int precision = defaults != nullptr ? defaults->Precision() : defaultPrecision;
            displayValue = Variant(TryStrToFloat(text, number)
                                       ? FloatToStrF(number, ffFixed, precision, FormatSettings().CurrencyDecimals)
                                       : text);
        } else if (!format.empty() && numberOf(editValue, number)) {
            displayValue = Variant(FormatFloat(format, number));
        } else if (numberOf(editValue, number)) {
            displayValue = Variant(FloatToStrF(number, ffGeneral, defaultPrecision, 0));
        } else {
            displayValue = Variant(text);
        }
        return;
    }
    const std::wstring format = DisplayFormat();
    if (!format.empty() && numberOf(editValue, number))
        displayValue = Variant(FormatFloat(format, number));
    else
        displayValue = Variant(text);
}

void TkvCustomTextEditProperties::ValidateDisplayValue(Variant &displayValue, std::wstring &errorText, bool &error,
                                                       IkvEditValidationSite *edit) {
    if (IsEditValueNumeric() && HasValueBounds()) {
        double number = 0;
        if (numberOf(displayValue, number) && !CheckEditValueBounds(Variant(number))) {
            error = true;
            GetValidationErrorText(1, errorText);
        }
    }
    inherited::ValidateDisplayValue(displayValue, errorText, error, edit);
}

// --- property accessors

std::wstring TkvCustomTextEditProperties::DisplayFormat() {
    if (AssignedValues()->DisplayFormat())
        return displayFormat_;
    IkvTextEditDefaultValues *defaults = TextDefaultValues();
    return defaults != nullptr ? defaults->DisplayFormat() : GetDefaultDisplayFormat();
}

void TkvCustomTextEditProperties::SetDisplayFormat(const std::wstring &value) {
    if (AssignedValues()->DisplayFormat() && displayFormat_ == value)
        return;
    displayFormat_ = value;
    AssignedValues()->displayFormat_ = true;
    Changed();
}

std::wstring TkvCustomTextEditProperties::EditFormat() {
    if (AssignedValues()->EditFormat())
        return editFormat_;
    IkvTextEditDefaultValues *defaults = TextDefaultValues();
    return defaults != nullptr ? defaults->EditFormat() : std::wstring();
}

void TkvCustomTextEditProperties::SetEditFormat(const std::wstring &value) {
    if (AssignedValues()->EditFormat() && editFormat_ == value)
        return;
    editFormat_ = value;
    AssignedValues()->editFormat_ = true;
    Changed();
}

int TkvCustomTextEditProperties::MaxLength() {
    return AssignedValues()->MaxLength() ? maxLength_ : GetDefaultMaxLength();
}

void TkvCustomTextEditProperties::SetMaxLength(int value) {
    value = std::max(value, 0);
    if (AssignedValues()->MaxLength() && maxLength_ == value)
        return;
    maxLength_ = value;
    AssignedValues()->maxLength_ = true;
    MaxLengthChanged();
}

double TkvCustomTextEditProperties::MaxValue() {
    if (AssignedValues()->MaxValue())
        return maxValue_;
    IkvTextEditDefaultValues *defaults = TextDefaultValues();
    return defaults != nullptr ? defaults->MaxValue() : 0.0;
}

void TkvCustomTextEditProperties::SetMaxValue(double value) {
    if (AssignedValues()->MaxValue() && maxValue_ == value)
        return;
    maxValue_ = value;
    AssignedValues()->maxValue_ = true;
    Changed();
}

double TkvCustomTextEditProperties::MinValue() {
    if (AssignedValues()->MinValue())
        return minValue_;
    IkvTextEditDefaultValues *defaults = TextDefaultValues();
    return defaults != nullptr ? defaults->MinValue() : 0.0;
}

void TkvCustomTextEditProperties::SetMinValue(double value) {
    if (AssignedValues()->MinValue() && minValue_ == value)
        return;
    minValue_ = value;
    AssignedValues()->minValue_ = true;
    Changed();
}

#define KV_TEXT_EDIT_SETTER(Name, Type, field)                                                     \
    void TkvCustomTextEditProperties::Set##Name(Type value) {                                      \
        if (field == value)                                                                        \
            return;                                                                                \
        field = value;                                                                             \
        Changed();                                                                                 \
    }

KV_TEXT_EDIT_SETTER(EchoMode, TkvEditEchoMode, echoMode_)
KV_TEXT_EDIT_SETTER(HideSelection, bool, hideSelection_)
KV_TEXT_EDIT_SETTER(ImeMode, TImeMode, imeMode_)
KV_TEXT_EDIT_SETTER(ImeName, const TImeName &, imeName_)
KV_TEXT_EDIT_SETTER(IncrementalSearch, bool, incrementalSearch_)
KV_TEXT_EDIT_SETTER(OEMConvert, bool, oemConvert_)
KV_TEXT_EDIT_SETTER(PasswordChar, wchar_t, passwordChar_)
KV_TEXT_EDIT_SETTER(UseDisplayFormatWhenEditing, bool, useDisplayFormatWhenEditing_)

#undef KV_TEXT_EDIT_SETTER
