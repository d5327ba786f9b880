#include "kvEditProperties.h"

#include "kvEdit.h"
#include "kvEditStyles.h"
#include "kvEditViewData.h"
#include "kvEditViewInfo.h"
#include "kvVariants.h"

namespace {

// Made with the first properties object and freed with the last, so that nothing outlives it.
constinit TList<TkvCustomEditProperties *> *propertiesList = nullptr;

const wchar_t *const invalidInputText = L"Invalid input value. Use escape key to abandon changes";

bool componentHas(TPersistent *persistent, TComponentStateFlag flag) {
    TComponent *component = dynamic_cast<TComponent *>(persistent);
    return component != nullptr && component->ComponentState().Contains(flag);
}

} // namespace

const TList<TkvCustomEditProperties *> &EditPropertiesList() {
    static const TList<TkvCustomEditProperties *> none;
    return propertiesList != nullptr ? *propertiesList : none;
}

TComponent *FindOwnerComponent(TPersistent *persistent) {
    // A chain of owners is short; the bound only guards against a cycle.
    for (int depth = 0; persistent != nullptr && depth < 10000; ++depth) {
        if (TComponent *component = dynamic_cast<TComponent *>(persistent))
            return component;
        persistent = GetPersistentOwnerOf(persistent);
    }
    return nullptr;
}

// --- TkvEditAlignment

TPersistent *TkvEditAlignment::GetOwner() { return owner_; }

void TkvEditAlignment::changed() {
    if (OnChanged)
        OnChanged(this);
}

void TkvEditAlignment::SetHorz(TAlignment value) {
    if (isHorzAssigned_ && horz_ == value)
        return;
    isHorzAssigned_ = true;
    horz_ = value;
    changed();
}

void TkvEditAlignment::SetVert(TkvEditVertAlignment value) {
    if (vert_ == value)
        return;
    vert_ = value;
    changed();
}

void TkvEditAlignment::Reset() {
    isHorzAssigned_ = false;
    changed();
}

void TkvEditAlignment::Assign(TPersistent *source) {
    if (auto *other = dynamic_cast<TkvEditAlignment *>(source)) {
        vert_ = other->vert_;
        horz_ = other->horz_;
        isHorzAssigned_ = other->isHorzAssigned_;
        changed();
        return;
    }
    inherited::Assign(source);
}

// --- TkvCustomEditPropertiesValues

TPersistent *TkvCustomEditPropertiesValues::GetOwner() { return owner_; }

void TkvCustomEditPropertiesValues::ownerChanged() {
    if (owner_ != nullptr)
        owner_->Changed();
}

void TkvCustomEditPropertiesValues::SetReadOnly(bool value) {
    if (readOnly_ == value)
        return;
    readOnly_ = value;
    ownerChanged();
}

// --- TkvCustomEditDefaultValuesProvider

void TkvCustomEditDefaultValuesProvider::Destroy() {
    IkvEditDefaultValuesProvider *self = this;
    if (propertiesList != nullptr) {
        // Releasing may free nothing, but walk a copy all the same.
        TList<TkvCustomEditProperties *> copy = *propertiesList;
        for (int i = 0; i < copy.Count(); ++i)
            if (copy.Get(i)->DefaultValuesProvider() == self)
                copy.Get(i)->ReleaseDefaultValuesProvider();
    }
    inherited::Destroy();
}

// --- TkvCustomEditProperties

void TkvCustomEditProperties::Create(TPersistent *owner) {
    inherited::Create(owner);
    freeNotificator_ = New<TkvFreeNotificator>(nullptr);
    freeNotificator_->OnFreeNotification = [this](TComponent *component) { FreeNotification(component); };
    alignment_ = New<TkvEditAlignment>(this);
    alignment_->OnChanged = Bind(this, &TkvCustomEditProperties::AlignmentChanged);
    assignedValues_ = NewOf<TkvCustomEditPropertiesValues>(GetAssignedValuesClass(), this);
    autoSelect_ = true;
    buttons_ = New<TkvEditButtons>(this);
    buttons_->OnChange = Bind(this, &TkvCustomEditProperties::ButtonsChanged);
    buttonsLayout_ = 0;
    clickShortCut_ = 16397;
    clearShortCut_ = 0;
    useLeftAlignmentOnEditing_ = DefaultUseLeftAlignmentOnEditing();
    mouseWheelEnabled_ = true;
    innerAlignment_ = New<TkvEditAlignment>(this);
    if (propertiesList == nullptr)
        propertiesList = new TList<TkvCustomEditProperties *>;
    propertiesList->Add(this);
}

void TkvCustomEditProperties::Destroy() {
    provider_ = nullptr;
    FreeAndNil(buttons_);
    FreeAndNil(innerAlignment_);
    FreeAndNil(assignedValues_);
    FreeAndNil(alignment_);
    FreeAndNil(freeNotificator_);
    if (propertiesList != nullptr) {
        propertiesList->Remove(this);
        if (propertiesList->Count() == 0) {
            delete propertiesList;
            propertiesList = nullptr;
        }
    }
    inherited::Destroy();
}

void TkvCustomEditProperties::AlignmentChanged(TObject *) {
    innerAlignment_->Assign(alignment_);
    Changed();
}

void TkvCustomEditProperties::SetAlignment(TkvEditAlignment *value) {
    innerAlignment_->Assign(value);
    Changed();
}

void TkvCustomEditProperties::ButtonsChanged(TkvEditButtons *, TCollectionItem *) { Changed(); }

TAlignment TkvCustomEditProperties::GetDefaultHorzAlignment() {
    if (provider_ != nullptr)
        return provider_->DefaultAlignment();
    return alignment_->Horz();
}

void TkvCustomEditProperties::GetValidationErrorText(int, std::wstring &text) {
    text = TranslateResourceString(invalidInputText);
}

bool TkvCustomEditProperties::HasProviderDataSource(bool flag) {
    if (flag || !IsDataAware() || provider_ == nullptr)
        return false;
    return provider_->HasDataSource(flag);
}

TClass TkvCustomEditProperties::GetViewDataClass() { return TkvCustomEditViewData::ClassInfo(); }
TClass TkvCustomEditProperties::GetEditClass() { return TkvCustomEdit::ClassInfo(); }
TClass TkvCustomEditProperties::GetStyleClass() { return TkvEditStyle::ClassInfo(); }
TClass TkvCustomEditProperties::GetViewInfoClass() { return TkvCustomEditViewInfo::ClassInfo(); }

void TkvCustomEditProperties::Changed() {
    if (changedLocked_ || updateCount_ > 0)
        return;
    if (componentHas(GetOwner(), csDestroying))
        return;
    if (OnPropertiesChanged)
        OnPropertiesChanged(this);
}

bool TkvCustomEditProperties::CompareDisplayValues(const Variant &a, const Variant &b) {
    Variant preparedA, preparedB;
    PrepareDisplayValue(a, preparedA, false);
    PrepareDisplayValue(b, preparedB, false);
    return VariantsEqual(preparedA, preparedB);
}

TkvCustomEditProperties *TkvCustomEditProperties::CreateInstanceOfSameClass() {
    return NewOf<TkvCustomEditProperties>(ClassType(), static_cast<TPersistent *>(nullptr));
}

TkvCustomEditViewData *TkvCustomEditProperties::CreateViewData(TkvCustomEditStyle *style, bool inPlace, bool flag) {
    TkvCustomEditViewData *data = NewOf<TkvCustomEditViewData>(GetViewDataClass(), this, style, inPlace);
    data->Flag = flag;
    return data;
}

void TkvCustomEditProperties::PrepareDisplayValue(const Variant &editValue, Variant &displayValue, bool) {
    displayValue = editValue;
}

void TkvCustomEditProperties::RestoreDefaults() {
    innerAlignment_->Reset();
    RunInUpdate(this, [&] { assignedValues_->SetReadOnly(false); });
}

void TkvCustomEditProperties::ValidateDisplayValue(Variant &displayValue, std::wstring &errorText, bool &error,
                                                   IkvEditValidationSite *edit) {
    if (!CanValidate())
        return;
    if (errorText.empty())
        GetValidationErrorText(0, errorText);
    if (edit == nullptr || !edit->HasValidateHandlers())
        return;
    Variant kept = displayValue;
    edit->DoOnValidate(displayValue, errorText, error);
    if (!error)
        return;
    // A value that is not text in either form counts as changed, so a handler's value survives.
    std::wstring keptText, currentText;
    bool comparable = true;
    try {
        keptText = kept.AsWideString();
        currentText = displayValue.AsWideString();
    } catch (const EVariantError &) {
        comparable = false;
    }
    if (comparable && keptText == currentText)
        displayValue = Variant(edit->GetDisplayText());
}

void TkvCustomEditProperties::EndUpdate(bool invoke) {
    if (updateCount_ <= 0)
        return;
    --updateCount_;
    if (updateCount_ == 0 && invoke)
        Changed();
}

void TkvCustomEditProperties::Assign(TPersistent *source) {
    auto *other = dynamic_cast<TkvCustomEditProperties *>(source);
    if (other == nullptr) {
        inherited::Assign(source);
        return;
    }
    RunInUpdate(this, [&] {
        SetAutoSelect(other->AutoSelect());
        buttons_->Assign(other->Buttons());
        SetButtonsLayout(other->ButtonsLayout());
        beepOnError_ = other->beepOnError_;
        clearShortCut_ = other->clearShortCut_;
        clickShortCut_ = other->clickShortCut_;
        useLeftAlignmentOnEditing_ = other->useLeftAlignmentOnEditing_;
        provider_ = other->provider_;
        SetAlignment(other->Alignment());
        assignedValues_->SetReadOnly(false);
        if (other->assignedValues_->ReadOnly())
            SetReadOnly(other->ReadOnly());
        immediatePost_ = other->immediatePost_;
        SetTransparentBackground(other->TransparentBackground());
        mouseWheelEnabled_ = other->mouseWheelEnabled_;
        validateOnEnter_ = other->validateOnEnter_;
        OnEditButtonClick = other->OnEditButtonClick;
        OnChange = other->OnChange;
        OnEditValueChanged = other->OnEditValueChanged;
        OnValidate = other->OnValidate;
    });
}

TkvEditAlignment *TkvCustomEditProperties::Alignment() {
    alignment_->OnChanged = nullptr;
    alignment_->Assign(innerAlignment_);
    bool writing = componentHas(FindOwnerComponent(GetOwner()), csWriting);
    // The published Horz shows the default without pinning it, so a later change of Vert alone
    // leaves Horz following the default.
    if (!(innerAlignment_->IsStored() && writing) && !innerAlignment_->IsHorzAssigned())
        alignment_->horz_ = GetDefaultHorzAlignment();
    alignment_->OnChanged = Bind(this, &TkvCustomEditProperties::AlignmentChanged);
    return alignment_;
}

void TkvCustomEditProperties::SetAutoSelect(bool value) {
    if (autoSelect_ == value)
        return;
    autoSelect_ = value;
    Changed();
}

void TkvCustomEditProperties::SetButtonsLayout(std::uint8_t value) {
    if (buttonsLayout_ == value)
        return;
    buttonsLayout_ = value;
    Changed();
}

void TkvCustomEditProperties::SetUseLeftAlignmentOnEditing(bool value) {
    if (useLeftAlignmentOnEditing_ == value)
        return;
    useLeftAlignmentOnEditing_ = value;
    Changed();
}

void TkvCustomEditProperties::SetTransparentBackground(bool value) {
    if (transparentBackground_ == value)
        return;
    transparentBackground_ = value;
    Changed();
}

bool TkvCustomEditProperties::ReadOnly() {
    if (assignedValues_->ReadOnly())
        return readOnly_;
    return provider_ != nullptr ? provider_->DefaultReadOnly() : false;
}

void TkvCustomEditProperties::SetReadOnly(bool value) {
    if (assignedValues_->ReadOnly() && readOnly_ == value)
        return;
    // Marked without the flag's own notification: one change event for the one setting.
    assignedValues_->readOnly_ = true;
    readOnly_ = value;
    Changed();
}

void TkvCustomEditProperties::SetDefaultValuesProvider(IkvEditDefaultValuesProvider *provider) {
    provider_ = provider;
    // Only an editor follows its provider at once; a repository item's properties wait for theirs.
    if (Supports<IkvEditValidationSite>(GetOwner()) != nullptr)
        Changed();
}

bool TkvCustomEditProperties::IsUseLeftAlignmentOnEditingStored() {
    return useLeftAlignmentOnEditing_ != DefaultUseLeftAlignmentOnEditing();
}
