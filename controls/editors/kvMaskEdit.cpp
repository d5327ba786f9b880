#include "kvMaskEdit.h"
#include "kvScopedValue.h"

#include <classlib/string_utils.h>

#include <algorithm>

#include "kvClipboardText.h"
#include "kvEditRepository.h"
#include "kvStandardMask.h"

const TResourceString kvsMaskEditInvalidEditValue{L"The edit value is invalid"};

namespace {

// A mode of the kind's class, compiled; null when the mask does not compile for the kind.
TkvMaskEditCustomMode *compiledMode(TkvEditMaskKind kind, const std::wstring &mask,
                                    const IkvMaskEditModeOptions *options) {
    TOwned<TkvMaskEditCustomMode> mode(NewOf<TkvMaskEditCustomMode>(
        MaskEditModeClass(kind), static_cast<IkvMaskEditModeHost *>(nullptr), options));
    try {
        mode->Compile(mask);
    } catch (const EkvMaskEditError &) {
        return nullptr;
    }
    return mode.release();
}

} // namespace

// ---- properties -----------------------------------------------------------------------------

void TkvCustomMaskEditProperties::Create(TPersistent *owner) {
    modeOptions_.owner = this;
    inherited::Create(owner);
    SetValidateOnEnter(true);
}

void TkvCustomMaskEditProperties::Destroy() {
    FreeAndNil(temporaryMode_);
    inherited::Destroy();
}

void TkvCustomMaskEditProperties::Assign(TPersistent *source) {
    auto *other = dynamic_cast<TkvCustomMaskEditProperties *>(source);
    if (other == nullptr) {
        inherited::Assign(source);
        return;
    }
    RunInUpdate(this, [&] {
        inherited::Assign(source);
        SetMaskKind(other->maskKind_);
        editMask_ = other->EffectiveMask(); // valid for its kind, which is now ours
        Changed();
        SetCaseInsensitive(other->caseInsensitive_);
        SetIgnoreMaskBlank(other->ignoreMaskBlank_);
        SetAlwaysShowBlanksAndLiterals(other->alwaysShowBlanksAndLiterals_);
    });
}

void TkvCustomMaskEditProperties::Changed() {
    FreeAndNil(temporaryMode_);
    inherited::Changed();
}

TClass TkvCustomMaskEditProperties::GetEditClass() { return TkvMaskEdit::ClassInfo(); }

TkvEditMask TkvCustomMaskEditProperties::EffectiveMask() {
    if (maskKind_ == emkStandard && editMask_.empty())
        if (auto *defaults = Supports<IkvMaskEditDefaultValues>(DefaultValuesProvider()))
            return defaults->EditMask();
    return editMask_;
}

bool TkvCustomMaskEditProperties::IsMasked() { return !IsMaskTextEmpty(EffectiveMask()); }

TkvMaskEditCustomMode *TkvCustomMaskEditProperties::TemporaryMode() {
    const TkvEditMask mask = EffectiveMask();
    if (temporaryMode_ == nullptr || temporaryMode_->ClassType() != MaskEditModeClass(maskKind_) ||
        temporaryMode_->Mask() != mask) {
        FreeAndNil(temporaryMode_);
        temporaryMode_ = compiledMode(maskKind_, mask, &modeOptions_);
    }
    return temporaryMode_;
}

void TkvCustomMaskEditProperties::SetEditMask(const TkvEditMask &value) {
    if (value == EffectiveMask()) {
        editMask_ = value;
        return;
    }
    // Compiled first: a bad expression raises here and the old mask stays in force.
    TOwned<TkvMaskEditCustomMode> probe(NewOf<TkvMaskEditCustomMode>(
        MaskEditModeClass(maskKind_), static_cast<IkvMaskEditModeHost *>(nullptr),
        static_cast<const IkvMaskEditModeOptions *>(&modeOptions_)));
    probe->Compile(value);
    editMask_ = value;
    Changed();
}

void TkvCustomMaskEditProperties::SetMaskKind(TkvEditMaskKind value) {
    if (maskKind_ == value)
        return;
    maskKind_ = value;
    Changed();
}

void TkvCustomMaskEditProperties::SetAlwaysShowBlanksAndLiterals(bool value) {
    if (alwaysShowBlanksAndLiterals_ == value)
        return;
    alwaysShowBlanksAndLiterals_ = value;
    Changed();
}

void TkvCustomMaskEditProperties::SetCaseInsensitive(bool value) {
    caseInsensitive_ = CharCase() != ecNormal ? true : value;
    Changed();
}

void TkvCustomMaskEditProperties::SetIgnoreMaskBlank(bool value) {
    if (ignoreMaskBlank_ == value)
        return;
    ignoreMaskBlank_ = value;
    Changed();
}

void TkvCustomMaskEditProperties::SetCharCase(TEditCharCase value) {
    if (value == ecUpperCase || value == ecLowerCase)
        caseInsensitive_ = true;
    inherited::SetCharCase(value);
}

void TkvCustomMaskEditProperties::MaxLengthChanged() {
    if (IsMasked() && !maxLengthGuard_ && MaxLength() != 0) {
        // A mask decides the length itself.
        TkvScopedValue<bool> guard(maxLengthGuard_, true);
        RunInUpdate(this, [&] { SetMaxLength(0); });
        return;
    }
    inherited::MaxLengthChanged();
}

bool TkvCustomMaskEditProperties::UsesLookupData() { return !IsMasked() && inherited::UsesLookupData(); }

bool TkvCustomMaskEditProperties::IsEditValueValid(Variant &value) {
    return IsMasked() || inherited::IsEditValueValid(value);
}

void TkvCustomMaskEditProperties::PrepareDisplayValue(const Variant &editValue, Variant &displayValue, bool editing) {
    IkvEditDefaultValuesProvider *provider = DefaultValuesProvider();
    if (!IsMasked() || (!editing && provider != nullptr && provider->HasDataSource(true))) {
        inherited::PrepareDisplayValue(editValue, displayValue, editing);
        return;
    }
    TkvMaskEditCustomMode *mode = TemporaryMode();
    if (mode == nullptr) {
        inherited::PrepareDisplayValue(editValue, displayValue, editing);
        return;
    }
    const std::wstring text = EditValueText(editValue);
    if (editing || maskKind_ != emkStandard || alwaysShowBlanksAndLiterals_)
        displayValue = Variant(mode->GetFormattedText(text, true));
    else
        displayValue = Variant(mode->TextToEditText(text, true));
}

void TkvCustomMaskEditProperties::ValidateDisplayValue(Variant &displayValue, std::wstring &errorText, bool &error,
                                                       IkvEditValidationSite *edit) {
    if (!error && IsMasked()) {
        auto *maskEdit = dynamic_cast<TkvCustomMaskEdit *>(edit);
        TkvMaskEditCustomMode *mode = maskEdit != nullptr && maskEdit->Mode() != nullptr ? maskEdit->Mode()
                                                                                         : TemporaryMode();
        if (mode != nullptr && !mode->IsFullText(EditValueText(displayValue))) {
            error = true;
            errorText = LoadResString(kvsMaskEditInvalidEditValue);
        }
    }
    inherited::ValidateDisplayValue(displayValue, errorText, error, edit);
}

// ---- the editor's side of the modes ---------------------------------------------------------

struct TkvCustomMaskEdit::Host : IkvMaskEditModeHost {
    explicit Host(TkvCustomMaskEdit *e) : edit(e) {}
    TkvCustomMaskEdit *edit;
    // Held while the mode brings the inner edit up to the value: no user change.
    bool synchronizing = false;

    const IkvMaskEditModeOptions &Options() const override { return edit->ActiveProperties()->ModeOptions(); }
    bool HasEdit() const override { return edit->IsInnerEditUsable(); }
    bool HasWindow() const override {
        return edit->HandleAllocated() && edit->InnerControl() != nullptr && edit->InnerControl()->HandleAllocated();
    }
    std::wstring InnerText() const override { return edit->GetDisplayText(); }
    void SetInnerText(const std::wstring &text) override {
        if (synchronizing) {
            if (IkvCustomInnerEdit *inner = edit->InnerEdit())
                inner->SetEditValue(Variant(text));
            edit->recomputeMaskedText();
        } else {
            edit->writeInnerText(text);
        }
    }
    int SelStart() const override { return edit->SelStart(); }
    int SelLength() const override { return edit->SelLength(); }
    int CaretIndex() const override {
        const int start = edit->SelStart();
        const int length = edit->SelLength();
        if (length == 0)
            return start;
        if (std::min(edit->lastAnchor_, edit->lastCaret_) == start &&
            std::max(edit->lastAnchor_, edit->lastCaret_) == start + length)
            return edit->lastCaret_;
        auto *inner = dynamic_cast<TkvCustomInnerTextEdit *>(edit->InnerControl());
        if (inner != nullptr && inner->HandleAllocated() && GetFocus() == inner->Handle()) {
            const int caret = inner->CaretIndex();
            return caret <= start ? start : start + length;
        }
        return start + length;
    }
    void SetSelection(int anchor, int caret) override { edit->setSelection(anchor, caret); }
    void SendKey(std::uint16_t key) override { edit->sendSimulated(WM_KEYDOWN, key); }
    void SendChar(wchar_t character) override { edit->sendSimulated(WM_CHAR, character); }
    void Beep() override { edit->BeepOnMaskError(); }
    bool ShiftFlag() const override { return edit->shift_; }
    void SetShiftFlag(bool value) override { edit->shift_ = value; }
    bool IsCharAllowedAt(wchar_t &character, int position) override {
        return edit->IsCharAllowedAt(character, position);
    }
    bool EditModified() const override { return edit->EditModified(); }
    std::wstring DisplayText() const override { return edit->GetDisplayText(); }
    std::wstring DisplayValueOfEditValue() const override {
        Variant display;
        edit->PrepareDisplayValue(edit->EditValue(), display, edit->Focused());
        return EditValueText(display);
    }
    void SetEditValueText(const std::wstring &text) override { edit->InternalSetEditValue(Variant(text)); }
};

// ---- the editor -----------------------------------------------------------------------------

void TkvCustomMaskEdit::Initialize() {
    inherited::Initialize();
    host_ = new Host(this);
    // The first properties change gives the mode of the properties' kind.
    createMode(emkStandard);
    shift_ = false;
    refreshEmptyString();
}

void TkvCustomMaskEdit::Destroy() {
    FreeAndNil(mode_);
    inherited::Destroy();
    delete host_;
    host_ = nullptr;
}

TClass TkvCustomMaskEdit::GetPropertiesClass() { return TkvMaskEditProperties::ClassInfo(); }

bool TkvCustomMaskEdit::IsCharAllowedAt(wchar_t &, int) { return true; }

void TkvCustomMaskEdit::createMode(TkvEditMaskKind kind) {
    FreeAndNil(mode_);
    mode_ = NewOf<TkvMaskEditCustomMode>(MaskEditModeClass(kind), static_cast<IkvMaskEditModeHost *>(host_),
                                         static_cast<const IkvMaskEditModeOptions *>(nullptr));
}

void TkvCustomMaskEdit::refreshEmptyString() {
    if (mode_ != nullptr)
        ActiveProperties()->SetEmptyString(mode_->GetEmptyString());
}

void TkvCustomMaskEdit::recomputeMaskedText() {
    const std::wstring shown = GetDisplayText();
    maskedText_ = mode_ != nullptr && IsMasked() ? mode_->TextToEditText(shown, true) : shown;
}

void TkvCustomMaskEdit::writeInnerText(const std::wstring &text) {
    auto *inner = dynamic_cast<TkvCustomInnerTextEdit *>(InnerControl());
    if (inner == nullptr)
        return;
    // Reported as typing is: the change handler brings the value along.
    inner->SetText(text);
}

void TkvCustomMaskEdit::setSelection(int anchor, int caret) {
    TWinControl *inner = InnerControl();
    if (inner == nullptr || !inner->HandleAllocated())
        return;
    TkvScopedValue<bool> guard(settingSelection_, true);
    lastAnchor_ = anchor;
    lastCaret_ = caret;
    SendMessageW(inner->Handle(), EM_SETSEL, static_cast<WPARAM>(anchor), static_cast<LPARAM>(caret));
}

void TkvCustomMaskEdit::sendSimulated(UINT message, WPARAM wParam) {
    TWinControl *inner = InnerControl();
    if (inner == nullptr || !inner->HandleAllocated())
        return;
    TkvScopedValue<bool> guard(simulatingKey_, true);
    SendMessageW(inner->Handle(), message, wParam, 1);
}

void TkvCustomMaskEdit::PropertiesChanged(TObject *sender) {
    if (mode_ == nullptr || IsDestroying()) {
        inherited::PropertiesChanged(sender);
        return;
    }
    TkvCustomMaskEditProperties *properties = ActiveProperties();
    bool maskChanged = false;
    bool kindChanged = false;
    bool caseChanged = false;
    int savedStart = -1;
    int savedLength = 0;
    properties->SetChangedLocked(true);
    try {
        const TkvEditMask mask = properties->EffectiveMask();
        maskChanged = mode_->Mask() != mask || properties->IsFormatChanging();
        kindChanged = mode_->GetMaskKind() != properties->MaskKind();
        caseChanged = mode_->CharCase != static_cast<int>(properties->CharCase());
        bool cleared = false;
        if (kindChanged) {
            const bool wasStandard = mode_->GetMaskKind() == emkStandard;
            createMode(properties->MaskKind());
            if (wasStandard != (properties->MaskKind() == emkStandard)) {
                // A standard mask means nothing as an expression, nor the other way round.
                properties->editMask_.clear();
                cleared = true;
            }
            try {
                mode_->Compile(properties->EffectiveMask());
            } catch (const EkvMaskEditError &) {
                mode_->Compile(std::wstring());
            }
            if (properties->IsMasked()) {
                TkvScopedValue<bool> sync(host_->synchronizing, true);
                mode_->SynchronizeEditValue();
            }
            refreshEmptyString();
        }
        if (maskChanged) {
            if (properties->MaxLength() != 0)
                properties->SetMaxLength(0);
            try {
                mode_->Compile(mask);
            } catch (const EkvMaskEditError &) {
                mode_->Compile(std::wstring());
            }
            if (cleared)
                properties->editMask_ = mask; // kind and mask changed together: the new mask stays
            if (properties->IsMasked()) {
                TkvScopedValue<bool> sync(host_->synchronizing, true);
                mode_->SynchronizeEditValue();
            } else if (mode_->GetMaskKind() == emkStandard && HandleAllocated() && SelLength() == 1) {
                setSelection(SelStart(), SelStart());
            }
            refreshEmptyString();
        }
        if (caseChanged) {
            if (properties->CharCase() == ecNormal) {
                if (IkvInnerTextEdit *inner = InnerTextEdit())
                    inner->SetCharCase(ecNormal);
                TkvScopedValue<bool> sync(host_->synchronizing, true);
                mode_->SynchronizeEditValue();
            }
            mode_->CharCase = static_cast<int>(properties->CharCase());
        }
        if (mode_->EchoMode != static_cast<int>(properties->EchoMode()) && HandleAllocated()) {
            savedStart = SelStart();
            savedLength = SelLength();
        }
        if (!(IsInnerEditUsable() && EditValue().IsNull()) && properties->IsMasked())
            mode_->UpdateEditValue();
    } catch (...) {
        properties->SetChangedLocked(false);
        throw;
    }
    properties->SetChangedLocked(false);
    inherited::PropertiesChanged(sender);
    if (savedStart >= 0)
        setSelection(savedStart, savedStart + savedLength);
    mode_->EchoMode = static_cast<int>(properties->EchoMode());
    if (caseChanged || kindChanged || maskChanged)
        recomputeMaskedText();
}

// ---- keys and characters

void TkvCustomMaskEdit::KeyDown(WORD &key, TShiftState shift) {
    if (simulatingKey_)
        return; // the inner edit performs it
    inherited::KeyDown(key, shift);
}

void TkvCustomMaskEdit::KeyPress(wchar_t &key) {
    if (simulatingKey_)
        return;
    inherited::KeyPress(key);
}

void TkvCustomMaskEdit::KeyUp(WORD &key, TShiftState shift) {
    if (simulatingKey_)
        return;
    inherited::KeyUp(key, shift);
}

void TkvCustomMaskEdit::DoEditKeyDown(WORD &key, TShiftState shift) {
    if (mode_ == nullptr || !IsMasked()) {
        inherited::DoEditKeyDown(key, shift);
        return;
    }
    if (!ValidateKeyDown(key, shift)) {
        DoAfterKeyDown(key, shift);
        key = 0;
        return;
    }
    if (key == VK_TAB) {
        inherited::DoEditKeyDown(key, shift);
        return;
    }
    bool afterKeyDown = false;
    WORD original = key;
    key = MaskEditModeKeyDown(*mode_, key, shift.Contains(ssShift), shift.Contains(ssCtrl), afterKeyDown);
    if (afterKeyDown)
        DoAfterKeyDown(original, shift);
    if (key != 0)
        inherited::DoEditKeyDown(key, shift);
}

void TkvCustomMaskEdit::DoEditKeyPress(wchar_t &key) {
    if (mode_ == nullptr || !IsMasked()) {
        inherited::DoEditKeyPress(key);
        return;
    }
    if (key == L'\t' || key == 27 || !ValidateKeyPress(key)) {
        key = 0;
        return;
    }
    if (key == L'\r')
        return;
    if (key == 3 || key == 22 || key == 24) {
        inherited::DoEditKeyPress(key);
        return;
    }
    if (!MaskEditModeKeyPress(*mode_, key))
        key = 0;
}

// ---- mouse, focus and selection

void TkvCustomMaskEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    inherited::MouseDown(button, shift, x, y);
    if (button == mbLeft && mode_ != nullptr && !IsDestroying() && IsMasked())
        mode_->MouseDown();
}

void TkvCustomMaskEdit::MouseMove(TShiftState shift, int x, int y) {
    inherited::MouseMove(shift, x, y);
    if (shift.Contains(ssLeft) && mode_ != nullptr && !IsDestroying() && IsMasked()) {
        TkvScopedValue<bool> forced(shift_, true);
        mode_->MouseDown();
    }
}

void TkvCustomMaskEdit::DblClick() {
    inherited::DblClick();
    if (mode_ != nullptr && !IsDestroying() && IsMasked())
        mode_->SelectAllPrepared();
}

void TkvCustomMaskEdit::DoEnter() {
    inherited::DoEnter();
    if (mode_ != nullptr && !IsDestroying() && IsMasked() && ActiveProperties()->AutoSelect())
        mode_->SelectAllPrepared();
}

void TkvCustomMaskEdit::InnerSelectionChanged(TObject *sender) {
    inherited::InnerSelectionChanged(sender);
    if (!settingSelection_ && mode_ != nullptr && !IsDestroying() && IsMasked())
        mode_->MouseDown();
}

// ---- text

void TkvCustomMaskEdit::ChangeHandler(TObject *sender) {
    if (mode_ != nullptr && !IsDestroying())
        recomputeMaskedText();
    inherited::ChangeHandler(sender);
}

std::wstring TkvCustomMaskEdit::InternalGetText() {
    if (mode_ != nullptr && !IsDestroying() && IsMasked())
        return maskedText_;
    return inherited::InternalGetText();
}

bool TkvCustomMaskEdit::InternalSetText(const std::wstring &text) {
    if (mode_ == nullptr || !IsMasked())
        return inherited::InternalSetText(text);
    AssignEditValue(Variant(text));
    // The value is what the mask made of the text.
    recomputeMaskedText();
    InternalSetEditValue(Variant(maskedText_));
    return true;
}

void TkvCustomMaskEdit::InternalSetDisplayValue(const Variant &value) {
    if (mode_ == nullptr || IsLoading() || !IsMasked()) {
        inherited::InternalSetDisplayValue(value);
        if (mode_ != nullptr)
            recomputeMaskedText();
        return;
    }
    TkvCustomMaskEditProperties *properties = ActiveProperties();
    const std::wstring text = EditValueText(value);
    const bool formatted = Focused() || properties->MaskKind() != emkStandard ||
                           properties->AlwaysShowBlanksAndLiterals();
    inherited::InternalSetDisplayValue(
        Variant(formatted ? mode_->GetFormattedText(text, true) : mode_->TextToEditText(text, true)));
    recomputeMaskedText();
    mode_->SetText(GetDisplayText());
}

void TkvCustomMaskEdit::SynchronizeDisplayValue() {
    inherited::SynchronizeDisplayValue();
    if (mode_ == nullptr || IsDestroying())
        return;
    recomputeMaskedText();
    if (IsMasked())
        mode_->SetText(GetDisplayText());
}

void TkvCustomMaskEdit::PrepareEditValue(const Variant &text, Variant &value, bool editing) {
    if (mode_ == nullptr || !IsMasked()) {
        inherited::PrepareEditValue(text, value, editing);
        return;
    }
    TkvCustomMaskEditProperties *properties = ActiveProperties();
    bool keepsLiterals = true;
    if (auto *standard = dynamic_cast<TkvMaskEditStandardMode *>(mode_))
        keepsLiterals = standard->StandardMask()->SaveLiteralCharacters();
    const std::wstring shown = EditValueText(text);
    if (editing || Focused() || properties->MaskKind() != emkStandard ||
        (!keepsLiterals && properties->AlwaysShowBlanksAndLiterals()))
        value = Variant(mode_->TextToEditText(shown, true));
    else
        value = Variant(shown);
}

void TkvCustomMaskEdit::replaceSelectionMasked(const std::wstring &text) {
    const std::wstring shown = GetDisplayText();
    const int length = static_cast<int>(shown.size());
    const int start = std::clamp(SelStart(), 0, length);
    const int selected = std::clamp(SelLength(), 0, length - start);
    std::wstring replaced = shown.substr(0, static_cast<std::size_t>(start)) + text +
                            shown.substr(static_cast<std::size_t>(start + selected));
    const std::wstring fitted = mode_->GetFormattedText(replaced, true);
    if (IsInnerEditOperation() || UserInput()) {
        writeInnerText(fitted);
    } else if (!SetDisplayText(fitted)) {
        return;
    }
    // After the inserted text as the mask took it: an expression may have dropped characters
    // or put forced ones in.
    int caret = start + static_cast<int>(text.size());
    if (mode_->GetMaskKind() != emkStandard)
        caret = static_cast<int>(
            mode_->GetFormattedText(shown.substr(0, static_cast<std::size_t>(start)) + text, true).size());
    caret = std::min(caret, static_cast<int>(GetDisplayText().size()));
    setSelection(caret, caret);
    mode_->SetText(GetDisplayText());
}

void TkvCustomMaskEdit::SetSelText(const std::wstring &text) {
    if (mode_ == nullptr || !IsMasked()) {
        inherited::SetSelText(text);
        return;
    }
    // A NUL is never taken: counting it would put the caret past what landed.
    std::wstring taken = text;
    std::erase(taken, L'\0');
    mode_->ClipboardTextLength = static_cast<int>(taken.size());
    mode_->BeforePaste();
    replaceSelectionMasked(taken);
    mode_->AfterPaste();
}

void TkvCustomMaskEdit::PasteFromClipboard() {
    if (mode_ == nullptr || !IsMasked()) {
        inherited::PasteFromClipboard();
        return;
    }
    std::wstring text;
    if (!ReadClipboardText(HandleAllocated() ? Handle() : nullptr, text))
        return;
    if (IsInnerEditOperation() && !DoEditing())
        return;
    SetSelText(text);
}

void TkvCustomMaskEdit::CutToClipboard() {
    if (mode_ == nullptr || !IsMasked()) {
        inherited::CutToClipboard();
        return;
    }
    CopyToClipboard();
    if (IsInnerEditOperation() && !DoEditing())
        return;
    MaskEditModeCut(*mode_);
}

void TkvCustomMaskEdit::ReapplyText() {
    if (mode_ == nullptr || !IsMasked())
        return;
    TkvCustomMaskEditProperties *properties = ActiveProperties();
    RunInUpdate(properties, [&] { InternalSetDisplayValue(Variant(Text())); }, false);
}

void TkvCustomMaskEdit::Loaded() {
    inherited::Loaded();
    ReapplyText();
}

// ---- the unit

namespace {

void startMaskEditUnit() {
    EditPropertiesRegistry()->Register(TkvMaskEditProperties::ClassInfo(),
                                       L"MaskEdit|Represents a generic masked edit control.");
}

} // namespace

constinit TUnit kvMaskEditUnit{L"kvMaskEdit", startMaskEditUnit, nullptr, {&kvTextEditUnit}};
