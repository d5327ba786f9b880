// The spin edit: its button options, its properties and the editor.
#include "kvSpinEdit.h"
#include "kvScopedValue.h"

#include <classlib/string_utils.h>

#include <utility>

#include "kvEditPaintUtils.h"
#include "kvEditRepository.h"

namespace {

const TResourceString SkvSpinEditDescription{L"SpinEdit|Represents a spin editor"};

constexpr std::uint32_t firstRepeatInterval = 400;
constexpr std::uint32_t repeatInterval = 100;

bool isSpinKey(WORD key) noexcept { return key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT; }

int spinKeyButton(WORD key) noexcept {
    switch (key) {
    case VK_UP:
        return kvSpinButtonUp;
    case VK_DOWN:
        return kvSpinButtonDown;
    case VK_PRIOR:
        return kvSpinButtonFastUp;
    default:
        return kvSpinButtonFastDown;
    }
}

} // namespace

// --- TkvSpinEditButtons

void TkvSpinEditButtons::Create(TkvCustomSpinEditProperties *owner) {
    inherited::Create();
    owner_ = owner;
}

TPersistent *TkvSpinEditButtons::GetOwner() { return owner_; }

void TkvSpinEditButtons::SetPosition(TkvSpinEditButtonsPosition value) {
    if (position_ == value)
        return;
    position_ = value;
    if (owner_ != nullptr)
        owner_->Changed();
}

void TkvSpinEditButtons::SetShowFastButtons(bool value) {
    if (showFastButtons_ == value)
        return;
    showFastButtons_ = value;
    if (owner_ != nullptr)
        owner_->Changed();
}

void TkvSpinEditButtons::Assign(TPersistent *source) {
    auto *other = dynamic_cast<TkvSpinEditButtons *>(source);
    if (other == nullptr) {
        inherited::Assign(source);
        return;
    }
    auto copy = [&] {
        SetPosition(other->position_);
        SetShowFastButtons(other->showFastButtons_);
    };
    RunInUpdate(owner_, copy);
}

// --- TkvSpinEditPropertiesValues

void TkvSpinEditPropertiesValues::SetValueType(bool value) {
    if (valueType_ == value)
        return;
    valueType_ = value;
    ownerChanged();
}

void TkvSpinEditPropertiesValues::Assign(TPersistent *source) {
    auto *owner = dynamic_cast<TkvCustomEditProperties *>(GetOwner());
    auto copy = [&] {
        inherited::Assign(source);
        if (auto *other = dynamic_cast<TkvSpinEditPropertiesValues *>(source))
            SetValueType(other->valueType_);
    };
    RunInUpdate(owner, copy);
}

void TkvSpinEditPropertiesValues::RestoreDefaults() {
    auto *owner = dynamic_cast<TkvCustomEditProperties *>(GetOwner());
    RunInUpdate(owner, [&] { SetValueType(false); });
}

// --- TkvCustomSpinEditProperties

void TkvCustomSpinEditProperties::Create(TPersistent *owner) {
    inherited::Create(owner);
    spinButtons_ = New<TkvSpinEditButtons>(this);
    // Index 0 steps down, index 1 up.
    BeginUpdate();
    Buttons()->Add();
    Buttons()->Add();
    EndUpdate(false);
}

void TkvCustomSpinEditProperties::Destroy() {
    FreeAndNil(spinButtons_);
    inherited::Destroy();
}

TClass TkvCustomSpinEditProperties::GetEditClass() { return TkvSpinEdit::ClassInfo(); }

void TkvCustomSpinEditProperties::Assign(TPersistent *source) {
    auto *other = dynamic_cast<TkvCustomSpinEditProperties *>(source);
    if (other == nullptr) {
        inherited::Assign(source);
        return;
    }
    RunInUpdate(this, [&] {
        SetDefaultValuesProvider(other->DefaultValuesProvider());
        AssignedValues()->SetValueType(false);
        if (other->AssignedValues()->ValueType())
            SetValueType(other->valueType_);
        inherited::Assign(source);
        SetCanEdit(other->canEdit_);
        SetWrapAround(other->wrapAround_);
        exceptionOnInvalidInput_ = other->exceptionOnInvalidInput_;
        SetIncrement(other->increment_);
        SetLargeIncrement(other->largeIncrement_);
        spinButtons_->Assign(other->spinButtons_);
        useCtrlIncrement_ = other->useCtrlIncrement_;
        OnGetValue = other->OnGetValue;
    });
}

void TkvCustomSpinEditProperties::SetCanEdit(bool value) {
    if (canEdit_ == value)
        return;
    canEdit_ = value;
    Changed();
}

void TkvCustomSpinEditProperties::SetIncrement(double value) {
    if (increment_ == value)
        return;
    increment_ = value;
    Changed();
}

void TkvCustomSpinEditProperties::SetLargeIncrement(double value) {
    if (largeIncrement_ == value)
        return;
    largeIncrement_ = value;
    Changed();
}

void TkvCustomSpinEditProperties::SetWrapAround(bool value) {
    if (wrapAround_ == value)
        return;
    wrapAround_ = value;
    Changed();
}

TkvSpinEditValueType TkvCustomSpinEditProperties::ValueType() {
    if (AssignedValues()->ValueType())
        return valueType_;
    IkvEditDefaultValuesProvider *provider = DefaultValuesProvider();
    if (provider == nullptr)
        return vtFloat;
    // Data kinds beyond integer (0) and float (1) hold no whole numbers.
    return provider->DefaultDataKind() == 0 ? vtInt : vtFloat;
}

void TkvCustomSpinEditProperties::SetValueType(TkvSpinEditValueType value) {
    if (AssignedValues()->ValueType() && valueType_ == value)
        return;
    RunInUpdate(this, [&] {
        AssignedValues()->SetValueType(true);
        valueType_ = value;
        Changed();
    });
}

int TkvCustomSpinEditProperties::GetWrapMode() {
    if (wrapAround_)
        return kvSpinWrapAround;
    return ClampsAtBounds() ? kvSpinWrapClamp : kvSpinWrapNone;
}

TkvSpinBounds TkvCustomSpinEditProperties::Bounds() {
    TkvSpinBounds bounds;
    bounds.MinValue = MinValue();
    bounds.MaxValue = MaxValue();
    bounds.MinDefined = IsValueBoundDefined(evbMin);
    bounds.MaxDefined = IsValueBoundDefined(evbMax);
    return bounds;
}

void TkvCustomSpinEditProperties::GetMaxValueBound(Variant &value) {
    ConvertToValueType(KvSpinMaxBound(Bounds(), ValueType()), value);
}

void TkvCustomSpinEditProperties::GetMinValueBound(Variant &value) {
    ConvertToValueType(KvSpinMinBound(Bounds(), ValueType()), value);
}

void TkvCustomSpinEditProperties::ConvertToValueType(const Variant &value, Variant &result) {
    result = KvSpinConvertToValueType(value.IsNull() || value.IsEmpty() ? Variant(0) : value, ValueType());
}

bool TkvCustomSpinEditProperties::TextToNumber(const std::wstring &text, Variant &value) {
    return KvSpinTextToNumber(text, ValueType(), value);
}

Variant TkvCustomSpinEditProperties::ZeroInBounds() {
    Variant result;
    ConvertToValueType(KvSpinClamp(Variant(0), Bounds()), result);
    return result;
}

bool TkvCustomSpinEditProperties::FormatsValueItself() {
    return !(AssignedValues()->DisplayFormat() || !DisplayFormat().empty());
}

Variant TkvCustomSpinEditProperties::GetDefaultDisplayValue() {
    Variant display;
    PrepareDisplayValue(ZeroInBounds(), display, true);
    return display;
}

void TkvCustomSpinEditProperties::Changed() {
    if (!adjustingButtons_) {
        TkvScopedValue<bool> guard(adjustingButtons_, true);
        const bool fast = spinButtons_ != nullptr && spinButtons_->ShowFastButtons();
        TkvEditButtons *buttons = Buttons();
        RunInUpdate(this, [&] {
            if (fast && buttons->Count() == 2) {
                buttons->Add(); // 2: fast down
                buttons->Add(); // 3: fast up
            } else if (!fast && buttons->Count() == 4) {
                buttons->Delete(3);
                buttons->Delete(2);
            }
        }, false);
    }
    inherited::Changed();
}

TkvCustomEditViewData *TkvCustomSpinEditProperties::CreateViewData(TkvCustomEditStyle *style, bool inPlace,
                                                                   bool flag) {
    TkvCustomEditViewData *data = inherited::CreateViewData(style, inPlace, flag);
    if (auto *spin = dynamic_cast<TkvSpinEditViewData *>(data)) {
        spin->Position = spinButtons_->Position();
        spin->ShowFastButtons = spinButtons_->ShowFastButtons();
        spin->KeyboardSpinState = 0;
        spin->FormatsValueItself = FormatsValueItself();
    }
    return data;
}

bool TkvCustomSpinEditProperties::IsEditValueValid(Variant &value) {
    bool valid;
    if (value.IsNumeric() || value.VarType() == varOleStr || value.VarType() == varString) {
        Variant number;
        valid = TextToNumber(EditValueText(value), number);
    } else {
        valid = value.IsNull() || value.IsEmpty();
    }
    if (!valid)
        return false;
    try {
        ConvertToValueType(value, value);
    } catch (const EVariantError &) {
        return false;
    }
    return true;
}

bool TkvCustomSpinEditProperties::IsDisplayValueValid(Variant &displayValue, bool isInnerEdit) {
    if (!inherited::IsDisplayValueValid(displayValue, isInnerEdit))
        return false;
    if (!ChecksNumericDisplayValue())
        return true;
    const std::wstring text = EditValueText(displayValue);
    if (text.empty())
        return true;
    Variant number;
    if (!TextToNumber(text, number))
        return false;
    try {
        Variant min;
        Variant max;
        GetMinValueBound(min);
        GetMaxValueBound(max);
        if (Variant::Greater(min, number) || Variant::Greater(number, max))
            displayValue = Variant(number.AsWideString());
    } catch (const EVariantError &) {
        return false;
    }
    return true;
}

void TkvCustomSpinEditProperties::ValidateDisplayValue(Variant &displayValue, std::wstring &errorText, bool &error,
                                                       IkvEditValidationSite *edit) {
    auto *spinEdit = dynamic_cast<TkvCustomSpinEdit *>(edit);
    Variant value;
    if (spinEdit != nullptr && spinEdit->typedText_) {
        TkvSpinTextToValueContext context = spinEdit->textToValueContext(false);
        error = !KvSpinTextToValue(EditValueText(displayValue), context, errorText, value);
    } else {
        value = spinEdit != nullptr ? spinEdit->SpinValue() : ZeroInBounds();
    }
    if (!error) {
        if (value.IsNull())
            value = ZeroInBounds();
        displayValue = Variant(EditValueText(value));
        Variant min;
        Variant max;
        GetMinValueBound(min);
        GetMaxValueBound(max);
        try {
            if (value.IsNumeric() && (Variant::Greater(min, value) || Variant::Greater(value, max))) {
                error = true;
                errorText = LoadResString(SkvSpinValueOutOfBounds);
            }
        } catch (const EVariantError &) {
            error = true;
        }
    }
    // The validate events; a refused text without a message stays silent.
    if (edit == nullptr || !edit->HasValidateHandlers())
        return;
    edit->DoOnValidate(displayValue, errorText, error);
}

// --- TkvCustomSpinEdit

void TkvCustomSpinEdit::Initialize() {
    inherited::Initialize();
    AssignEditValue(Variant(std::int64_t{0}));
    keyboardSpinState_ = 0;
}

void TkvCustomSpinEdit::Destroy() {
    FreeAndNil(repeatTimer_);
    inherited::Destroy();
}

bool TkvCustomSpinEdit::IsValueStored() {
    Variant value = GetValue();
    try {
        return !(value.IsNumeric() && value.AsDouble() == 0);
    } catch (const EVariantError &) {
        return true;
    }
}

bool TkvCustomSpinEdit::hasGetValueHandlers() {
    TkvCustomSpinEditProperties *own = Properties();
    TkvCustomSpinEditProperties *active = ActiveProperties();
    return (own != nullptr && own->OnGetValue) || (active != own && active != nullptr && active->OnGetValue);
}

TkvSpinTextToValueContext TkvCustomSpinEdit::textToValueContext(bool raiseErrors) {
    TkvCustomSpinEditProperties *properties = ActiveProperties();
    TkvSpinTextToValueContext context;
    context.ValueType = properties->ValueType();
    context.RaiseErrors = raiseErrors;
    context.ExceptionOnInvalidInput = properties->ExceptionOnInvalidInput();
    context.SpinValue = spinValue_;
    if (hasGetValueHandlers()) {
        context.GetValue = [this](const std::wstring &text, Variant &value, std::wstring &errorText, bool &error) {
            TkvCustomSpinEditProperties *own = Properties();
            TkvCustomSpinEditProperties *active = ActiveProperties();
            if (own->OnGetValue)
                own->OnGetValue(this, text, value, errorText, error);
            if (active != own && active->OnGetValue)
                active->OnGetValue(this, text, value, errorText, error);
        };
    }
    return context;
}

Variant TkvCustomSpinEdit::GetIncrement(int button) {
    TkvCustomSpinEditProperties *properties = ActiveProperties();
    return KvSpinIncrement(button, properties->Increment(), properties->LargeIncrement(), properties->ValueType());
}

Variant TkvCustomSpinEdit::GetValue() {
    TkvCustomSpinEditProperties *properties = ActiveProperties();
    Variant value;
    if (Focused()) {
        if (typedText_)
            PrepareEditValue(Variant(Text()), value, true);
        else
            value = spinValue_;
        if (!value.IsNumeric())
            value = Variant(0);
    } else {
        value = GetEditValue();
        if (!value.IsNumeric() && value.VarType() != varOleStr && value.VarType() != varString)
            value = properties->ZeroInBounds();
    }
    Variant result;
    try {
        properties->ConvertToValueType(value, result);
    } catch (const EVariantError &) {
        result = properties->ZeroInBounds();
    }
    return result;
}

std::wstring TkvCustomSpinEdit::ValueToDisplayText(const Variant &value) {
    Variant display;
    ActiveProperties()->PrepareDisplayValue(value, display, Focused());
    return EditValueText(display);
}

void TkvCustomSpinEdit::SetValue(const Variant &value) {
    if (!value.IsNumeric())
        return;
    Variant checked = value;
    if (!ActiveProperties()->IsEditValueValid(checked))
        return;
    AssignEditValue(checked);
}

bool TkvCustomSpinEdit::stepValue(int button, Variant &value) {
    TkvCustomSpinEditProperties *properties = ActiveProperties();
    Variant min;
    Variant max;
    properties->GetMinValueBound(min);
    properties->GetMaxValueBound(max);
    Variant increment;
    properties->ConvertToValueType(GetIncrement(button), increment);
    if (!KvSpinStep(GetValue(), increment, min, max, button, properties->GetWrapMode(), properties->ValueType(), value))
        return false;
    properties->ConvertToValueType(value, value);
    return true;
}

bool TkvCustomSpinEdit::Spin(int button) {
    LockChangeEvents(true);
    bool changed = false;
    try {
        Variant value;
        if (DoEditing() && stepValue(button, value)) {
            const std::wstring kept = Text();
            const int selStart = SelStart();
            const int selLength = SelLength();
            spinValue_ = value;
            typedText_ = false;
            {
                const bool userInput = UserInput();
                SetUserInput(true);
                try {
                    SetInnerEditDisplayValue(Variant(ValueToDisplayText(value)));
                    // The inner edit takes a program's text silently; this one is the user's
                    // change. Unlike typed text a step is a whole number already, so the edit
                    // value follows it at once.
                    if (Text() != kept) {
                        ChangeHandler(this);
                        SynchronizeEditValue();
                    }
                } catch (...) {
                    SetUserInput(userInput);
                    throw;
                }
                SetUserInput(userInput);
            }
            const std::wstring now = Text();
            if (now != kept) {
                SetEditModified(true);
                if (ActiveProperties()->IsSelectionPreserved()) {
                    SetSelStart(selStart);
                    SetSelLength(selLength);
                } else {
                    SetSelStart(static_cast<int>(now.size()));
                    SetSelLength(0);
                }
                if (ActiveProperties()->ImmediatePost() && DataBinding()->GetModified() && ValidateEdit(true)) {
                    InternalPostEditValue(false);
                    SynchronizeDisplayValue();
                }
                changed = true;
            }
        }
    } catch (...) {
        LockChangeEvents(false);
        throw;
    }
    LockChangeEvents(false);
    return changed;
}

void TkvCustomSpinEdit::CutToClipboard() {
    if (UserInput() && !ActiveProperties()->CanEdit())
        return;
    inherited::CutToClipboard();
}

void TkvCustomSpinEdit::PasteFromClipboard() {
    if (UserInput() && !ActiveProperties()->CanEdit())
        return;
    typing_ = true;
    inherited::PasteFromClipboard();
}

void TkvCustomSpinEdit::PrepareEditValue(const Variant &text, Variant &value, bool) {
    std::wstring errorText;
    // Following the text as it is typed never raises: a half-typed number is no error yet.
    KvSpinTextToValue(EditValueText(text), textToValueContext(!synchronizingEditValue_), errorText, value);
}

void TkvCustomSpinEdit::ChangeHandler(TObject *sender) {
    typedText_ = typing_;
    inherited::ChangeHandler(sender);
    typing_ = false;
}

void TkvCustomSpinEdit::ClampValueToBounds() {
    const bool userInput = UserInput();
    SetUserInput(EditModified());
    try {
        TkvCustomSpinEditProperties *properties = ActiveProperties();
        Variant value = GetValue();
        Variant min;
        Variant max;
        properties->GetMinValueBound(min);
        properties->GetMaxValueBound(max);
        if (Variant::Greater(min, value))
            SetValue(min);
        else if (Variant::Greater(value, max))
            SetValue(max);
    } catch (...) {
        SetUserInput(userInput);
        throw;
    }
    SetUserInput(userInput);
}

void TkvCustomSpinEdit::DoButtonDown(int index) {
    inherited::DoButtonDown(index);
    if (keyboardSpinState_ != 0 || index < 0 || index > kvSpinButtonFastUp)
        return;
    const bool repeats = !ActiveProperties()->ReadOnly() && DataBinding()->CanModify();
    // Held from now on, so that the step's own redrawing keeps the button pressed.
    if (repeats)
        heldButton_ = index;
    Spin(index);
    if (!repeats || heldButton_ != index)
        return;
    FreeAndNil(repeatTimer_);
    repeatTimer_ = New<TkvTimer>(nullptr);
    repeatTimer_->SetInterval(firstRepeatInterval);
    repeatTimer_->SetOnTimer([this](TObject *sender) { repeatTimerHandler(sender); });
}

void TkvCustomSpinEdit::repeatTimerHandler(TObject *) {
    if (repeatTimer_ == nullptr)
        return;
    if (repeatTimer_->GetInterval() == firstRepeatInterval)
        repeatTimer_->SetInterval(repeatInterval);
    TkvCustomEditViewInfo *info = ViewInfo();
    if (info == nullptr || info->PressedButton < 0 || info->PressedButton >= info->ButtonCount())
        return;
    const int button = info->Button(info->PressedButton)->Index;
    if (button >= 0 && button <= kvSpinButtonFastUp) {
        ++repeatCount_;
        Spin(button);
    }
}

void TkvCustomSpinEdit::setKeyboardSpinState(int state) {
    if (keyboardSpinState_ == state)
        return;
    keyboardSpinState_ = state;
    ShortRefreshContainer();
}

void TkvCustomSpinEdit::StopSpin() {
    if (stopping_)
        return;
    TkvScopedValue<bool> guard(stopping_, true);
    heldButton_ = -1;
    SetPressedButton(-1);
    setKeyboardSpinState(0);
    if (TkvCustomEditViewInfo *info = ViewInfo()) {
        for (int j = 0; j < info->ButtonCount(); ++j) {
            TkvEditButtonViewInfo *button = info->Button(j);
            if (button->Index > kvSpinButtonUp || button->State != kvebsPressed)
                continue;
            button->State = kvebsNormal;
            button->Data.State = kvebsNormal;
            if (HandleAllocated())
                ::InvalidateRect(Handle(), &button->Bounds, FALSE);
        }
        if (info->PressedButton >= 0 && info->PressedButton < info->ButtonCount() &&
            info->Button(info->PressedButton)->State != kvebsPressed)
            info->PressedButton = -1;
    }
    FreeAndNil(repeatTimer_);
    if (MouseCapture())
        SetMouseCapture(false);
}

void TkvCustomSpinEdit::DoEditKeyDown(WORD &key, TShiftState shift) {
    typing_ = false;
    TkvCustomSpinEditProperties *properties = ActiveProperties();
    if (isSpinKey(key) && (!properties->UseCtrlIncrement() || shift.Contains(ssCtrl))) {
        if (!DataBinding()->IsDataAware() && !DoEditing())
            return;
        const int button = spinKeyButton(key);
        setKeyboardSpinState(button + 1);
        if (MouseCapture())
            SetMouseCapture(false);
        Spin(button);
        key = 0;
        return;
    }
    StopSpin();
    if (key != VK_ESCAPE)
        typing_ = true;
    if (!properties->CanEdit() && IsTextChangingKey(key, shift)) {
        DoAfterKeyDown(key, shift);
        key = 0;
        return;
    }
    if (key != 0)
        inherited::DoEditKeyDown(key, shift);
}

void TkvCustomSpinEdit::DoEditKeyUp(WORD &key, TShiftState shift) {
    typing_ = false;
    const WORD original = key;
    inherited::DoEditKeyUp(key, shift);
    if (isSpinKey(original))
        StopSpin();
}

void TkvCustomSpinEdit::DoEditKeyPress(wchar_t &key) {
    key = KvSpinMapDecimalSeparator(key, FormatSettings().DecimalSeparator);
    if (key > 31 || key == 8 || key == L'.') {
        if (IsValidChar(key)) {
            typing_ = true;
        } else {
            key = 0;
            MessageBeep(0);
            return;
        }
    }
    if (key != 0)
        inherited::DoEditKeyPress(key);
}

bool TkvCustomSpinEdit::IsValidChar(wchar_t ch) {
    TkvCustomSpinEditProperties *properties = ActiveProperties();
    TkvSpinCharRules rules;
    rules.ValueType = properties->ValueType();
    rules.CanEdit = properties->CanEdit();
    rules.HasGetValueHandlers = hasGetValueHandlers();
    rules.DecimalSeparator = FormatSettings().DecimalSeparator;
    return KvSpinIsValidChar(ch, rules, properties->IsValidCharListed(ch));
}

void TkvCustomSpinEdit::PropertiesChanged(TObject *sender) {
    inherited::PropertiesChanged(sender);
    if (!IsDesigning() && EditModified())
        ClampValueToBounds();
}

void TkvCustomSpinEdit::SynchronizeDisplayValue() {
    TkvCustomSpinEditProperties *properties = ActiveProperties();
    if (properties != nullptr) {
        Variant value = GetEditValue();
        if (properties->IsEditValueValid(value))
            properties->ConvertToValueType(value, spinValue_);
        else
            spinValue_ = properties->ZeroInBounds();
    }
    inherited::SynchronizeDisplayValue();
}

void TkvCustomSpinEdit::SynchronizeEditValue() {
    {
        TkvScopedValue<bool> guard(synchronizingEditValue_, true);
        inherited::SynchronizeEditValue();
    }
    if (TkvCustomSpinEditProperties *properties = ActiveProperties()) {
        try {
            spinValue_ = KvSpinConvertToValueType(GetEditValue(), properties->ValueType());
        } catch (const EVariantError &) {
            spinValue_ = properties->ZeroInBounds();
        }
    }
}

void TkvCustomSpinEdit::InitializeViewData(TkvCustomEditViewData *viewData) {
    inherited::InitializeViewData(viewData);
    if (auto *spin = dynamic_cast<TkvSpinEditViewData *>(viewData)) {
        spin->KeyboardSpinState = keyboardSpinState_;
        spin->HeldButton = heldButton_;
    }
}

bool TkvCustomSpinEdit::RecalculateState(const TPoint &p, int button, TShiftState shift) {
    const bool result = inherited::RecalculateState(p, button, shift);
    TkvCustomEditViewInfo *info = ViewInfo();
    // The mouse holds a button while it keeps the capture it took with the press.
    const bool mouseHolds = PressedButton() >= 0 || (heldButton_ >= 0 && MouseCapture());
    if (info != nullptr && info->ButtonCount() > 0 && info->PressedButton < 0 && !mouseHolds &&
        (repeatTimer_ != nullptr || keyboardSpinState_ != 0))
        StopSpin();
    return result;
}

TkvContainerStyleValues TkvCustomSpinEdit::GetHiddenStyleValues() {
    TkvContainerStyleValues values;
    values.Include(esvPopupBorderStyle);
    return values;
}

bool TkvCustomSpinEdit::wheelMayAct(TShiftState shift) {
    return !InPlaceMode() || ActiveProperties()->MouseWheelEnabled() || shift.Contains(ssCtrl);
}

void TkvCustomSpinEdit::InitializeInnerEdit() {
    inherited::InitializeInnerEdit();
    // The focused inner edit gets the wheel; a single-line edit keeps it from its parent, so
    // the editor asks for it first.
    TWinControl *control = InnerEdit() != nullptr ? InnerEdit()->GetControl() : nullptr;
    if (control == nullptr)
        return;
    control->SetWindowProc([this, control](TMessage &m) {
        if (m.Msg == WM_MOUSEWHEEL && !IsDestroying()) {
            const TPoint point{static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam))};
            if (DoMouseWheel(KeysToShiftState(LOWORD(m.WParam)), static_cast<short>(HIWORD(m.WParam)), point)) {
                m.Result = 0;
                return;
            }
        }
        control->WndProc(m);
    });
}

bool TkvCustomSpinEdit::DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
    if (inherited::DoMouseWheel(shift, wheelDelta, mousePos))
        return true;
    if (wheelDelta == 0 || !wheelMayAct(shift))
        return false;
    Spin(wheelDelta > 0 ? kvSpinButtonUp : kvSpinButtonDown);
    return true;
}

void TkvCustomSpinEdit::DblClick() {
    inherited::DblClick();
    const TPoint point = ScreenToClient(Mouse->CursorPos());
    TkvCustomEditViewInfo *info = ViewInfo();
    if (info == nullptr || !info->IsPointOnButton(point))
        StopSpin();
}

void TkvCustomSpinEdit::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    inherited::MouseUp(button, shift, x, y);
    StopSpin();
}

void TkvCustomSpinEdit::FocusChanged() {
    inherited::FocusChanged();
    StopSpin();
}

// --- the unit

namespace {

void startSpinEditUnit() {
    EditPropertiesRegistry()->Register(TkvSpinEditProperties::ClassInfo(), LoadResString(SkvSpinEditDescription));
}

} // namespace

constinit TUnit kvSpinEditUnit{L"kvSpinEdit", startSpinEditUnit, nullptr, {&kvMaskEditUnit}};
