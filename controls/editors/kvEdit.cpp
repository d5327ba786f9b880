// TkvCustomEdit: construction and teardown, the properties and the repository item, the edit
// value and its events, validation, focus entry and exit, the view and painting.
#include "kvEdit.h"
#include "kvScopedValue.h"

#include <classlib/exceptions.h>

#include "kvClasses.h"
#include "kvEditPaintUtils.h"
#include "kvLookAndFeelPainters.h"

namespace {

// The style values the editor adds to the container's (button style and the three after it).
constexpr std::uint32_t editOwnStyleValuesMask = (1u << 10) | (1u << 11) | (1u << 12) | (1u << 13);

// Every windowed or graphic child, and theirs, can be copied by the class library.
void addReplicatable(TControl *control) {
    TControlStyle style = control->ControlStyle();
    style.Include(csReplicatable);
    control->SetControlStyle(style);
    if (auto *windowed = dynamic_cast<TWinControl *>(control))
        for (int i = 0; i < windowed->ControlCount(); ++i)
            addReplicatable(windowed->Controls(i));
}

} // namespace

// --- the data binding

void TkvEditDataBinding::Create(TkvCustomEdit *edit) {
    inherited::Create();
    edit_ = edit;
    provider_ = NewOf<TkvCustomEditDefaultValuesProvider>(GetDefaultValuesProviderClass(), static_cast<TPersistent *>(this));
}

void TkvEditDataBinding::Destroy() {
    FreeAndNil(provider_);
    inherited::Destroy();
}

TPersistent *TkvEditDataBinding::GetOwner() { return edit_; }

void TkvEditDataBinding::Refresh() {
    TkvCustomEditProperties *properties = edit_->ActiveProperties();
    properties->Changed();
    if (edit_->RepositoryItem() != nullptr)
        edit_->PropertiesChanged(properties);
}

std::wstring TkvEditDataBinding::GetDisplayText() { return edit_->GetDisplayText(); }
bool TkvEditDataBinding::GetModified() { return edit_->EditModified(); }
Variant TkvEditDataBinding::GetEditValue() { return edit_->GetEditValue(); }
void TkvEditDataBinding::Reset() { edit_->Reset(); }
void TkvEditDataBinding::SetDisplayValue(const Variant &value) { edit_->SetInnerEditDisplayValue(value); }
bool TkvEditDataBinding::IsDesigning() { return edit_->IsDesigning(); }
void TkvEditDataBinding::UpdateDisplayValue() { edit_->SynchronizeDisplayValue(); }

// --- construction and teardown

void TkvCustomEdit::Create(TComponent *owner) {
    constructing_ = true;
    try {
        inherited::Create(owner);
        Initialize();
    } catch (...) {
        constructing_ = false;
        throw;
    }
    constructing_ = false;
}

void TkvCustomEdit::Create(TComponent *owner, bool inPlace) {
    inPlace_ = inPlace;
    Create(owner);
}

void TkvCustomEdit::createOwnProperties() {
    if (properties_ == nullptr)
        properties_ = NewOf<TkvCustomEditProperties>(GetPropertiesClass(), static_cast<TPersistent *>(this));
}

void TkvCustomEdit::Initialize() {
    changeEventsCatcher_ = New<TkvEditChangeEventsCatcher>(static_cast<IkvEditChangeEventsTarget *>(this));
    createOwnProperties();
    {
        TOwned<TkvCustomEditViewData> first(CreateViewData());
        InPlaceBounds = first->InPlaceBounds;
    }
    TControlStyle style = ControlStyle();
    style.Include(csCaptureMouse);
    style.Include(csSetCaption);
    SetControlStyle(style);
    SetTabStop(true);
    innerEdit_ = CreateInnerEdit();
    if (innerEdit_ != nullptr) {
        InitializeInnerEdit();
        SetInnerControl(innerEdit_->GetControl());
    }
    addReplicatable(this);
    if (HScrollBar() != nullptr)
        addReplicatable(HScrollBar());
    if (VScrollBar() != nullptr)
        addReplicatable(VScrollBar());
    if (SizeGrip() != nullptr)
        addReplicatable(SizeGrip());
    dataBinding_ = NewOf<TkvEditDataBinding>(GetDataBindingClass(), this);
    autoSize_ = !inPlace_;
    pressedButton_ = -1;
    editValue_ = Variant::Null();
    userInput_ = false;
    modifiedStack_.clear();
    properties_->OnPropertiesChanged = Bind(this, &TkvCustomEdit::propertiesChangedHandler);
    {
        TkvControlKeys keys = Keys();
        // A painted editor takes its characters itself (they are not accelerators of the form).
        if (GetInnerEditClass() == nullptr)
            keys.Include(ckChars);
        if (inPlace_) {
            keys.Include(ckAllKeys);
            keys.Include(ckArrows);
            if (GetInnerEditClass() == nullptr)
                keys.Include(ckTab);
        }
        SetKeys(keys);
    }
    dblClickTimer_ = New<TkvTimer>(nullptr);
    dblClickTimer_->SetEnabled(false);
    dblClickTimer_->SetInterval(GetDoubleClickTime());
    dblClickTimer_->SetOnTimer(Bind(this, &TkvCustomEdit::dblClickTimerHandler));
    if (!inPlace_)
        properties_->SetDefaultValuesProvider(dataBinding_->IDefaultValuesProvider());
    ViewInfo()->Edit = this;
    waitingForFirstParent_ = true;
}

void TkvCustomEdit::Destroy() {
    destroying_ = true;
    FreeAndNil(dblClickTimer_);
    if (repositoryItem_ != nullptr) {
        repositoryItem_->RemoveListener(this);
        repositoryItem_->RemoveFreeNotification(this);
        repositoryItem_ = nullptr;
    }
    innerEdit_ = nullptr;
    if (properties_ != nullptr) {
        properties_->OnPropertiesChanged = nullptr;
        if (!inPlace_)
            properties_->SetDefaultValuesProvider(nullptr);
    }
    FreeAndNil(viewData_);
    // The window and the children go first: what they send on the way still finds the
    // properties and the binding.
    inherited::Destroy();
    FreeAndNil(dataBinding_);
    modifiedStack_.clear();
    FreeAndNil(properties_);
    FreeAndNil(changeEventsCatcher_);
}

void TkvCustomEdit::Loaded() {
    inherited::Loaded();
    LockChangeEvents(true);
    LockUpdate(true);
    try {
        dataBinding_->Refresh();
    } catch (...) {
        LockUpdate(false);
        LockChangeEvents(false);
        throw;
    }
    LockUpdate(false);
    LockChangeEvents(false);
    UpdateStateFromCursor();
    if (repositoryItem_ == nullptr)
        properties_->OnPropertiesChanged = Bind(this, &TkvCustomEdit::propertiesChangedHandler);
    PropertiesChanged(ActiveProperties());
    // No shadow is kept from before loading; the normal style's recalculation decides it.
    ViewInfo()->Shadow = false;
    ContainerStyleChanged(Style());
}

void TkvCustomEdit::SetName(const std::wstring &name) { inherited::SetName(name); }

void TkvCustomEdit::SetParent(TWinControl *parent) {
    inherited::SetParent(parent);
    if (waitingForFirstParent_ && parent != nullptr && !IsDestroying()) {
        waitingForFirstParent_ = false;
        PropertiesChanged(ActiveProperties());
        dataBinding_->UpdateDisplayValue();
    }
}

void TkvCustomEdit::Notification(TComponent *component, TOperation operation) {
    inherited::Notification(component, operation);
    if (operation == opRemove && component != nullptr && component == repositoryItem_)
        ItemRemoved(repositoryItem_);
}

// --- properties and the repository item

TkvCustomEditProperties *TkvCustomEdit::ActiveProperties() {
    if (repositoryItem_ == nullptr)
        return properties_;
    TkvCustomEditProperties *properties = repositoryItem_->Properties();
    if (dataBinding_ != nullptr && properties->DefaultValuesProvider() != dataBinding_->IDefaultValuesProvider())
        properties->SetDefaultValuesProvider(dataBinding_->IDefaultValuesProvider());
    return properties;
}

void TkvCustomEdit::SetProperties(TkvCustomEditProperties *value) { properties_->Assign(value); }

bool TkvCustomEdit::IsRepositoryItemAcceptable(TkvEditRepositoryItem *item) {
    return item == nullptr || item->GetPropertiesClass()->InheritsFrom(GetPropertiesClass());
}

void TkvCustomEdit::SetRepositoryItem(TkvEditRepositoryItem *value) {
    if (value == repositoryItem_)
        return;
    if (!IsRepositoryItemAcceptable(value)) {
        std::wstring text;
        GetResourceText(L"The repository item is not acceptable", text);
        throw Exception(text);
    }
    RepositoryItemChanging();
    FreeAndNil(viewData_);
    if (repositoryItem_ != nullptr) {
        repositoryItem_->RemoveListener(this);
        repositoryItem_->RemoveFreeNotification(this);
    }
    repositoryItem_ = value;
    if (repositoryItem_ != nullptr) {
        repositoryItem_->AddListener(this);
        repositoryItem_->FreeNotification(this);
    }
    const bool quiet = IsLoading() || IsDesigning();
    if (repositoryItem_ != nullptr) {
        properties_->OnPropertiesChanged = nullptr;
        properties_->SetDefaultValuesProvider(nullptr);
        if (!quiet)
            PropertiesChanged(ActiveProperties());
    } else {
        if (!quiet)
            properties_->OnPropertiesChanged = Bind(this, &TkvCustomEdit::propertiesChangedHandler);
        properties_->SetDefaultValuesProvider(dataBinding_->IDefaultValuesProvider());
    }
    RepositoryItemChanged();
}

void TkvCustomEdit::ItemRemoved(TkvEditRepositoryItem *item) {
    if (item == nullptr || item != repositoryItem_)
        return;
    item->RemoveFreeNotification(this);
    repositoryItem_ = nullptr;
    // The last view data may refer to the item's properties.
    FreeAndNil(viewData_);
    if (IsDestroying() || properties_ == nullptr)
        return;
    // The editor goes on with its own settings, as though the item had been unassigned.
    properties_->OnPropertiesChanged = Bind(this, &TkvCustomEdit::propertiesChangedHandler);
    properties_->SetChangedLocked(true);
    properties_->SetDefaultValuesProvider(inPlace_ ? nullptr : dataBinding_->IDefaultValuesProvider());
    properties_->SetChangedLocked(false);
    if (!IsLoading())
        PropertiesChanged(properties_);
}

void TkvCustomEdit::ItemPropertiesChanged(TkvEditRepositoryItem *item) {
    if (IsLoading() || IsDesigning() || item == nullptr)
        return;
    PropertiesChanged(item->Properties());
}

void TkvCustomEdit::PropertiesChanged(TObject *) {
    if (IsDestroying() || properties_ == nullptr)
        return;
    validated_ = false;
    const bool readOnly = IsEffectivelyReadOnly();
    if (innerEdit_ != nullptr && GetInnerEditClass() != nullptr)
        innerEdit_->SetReadOnly(readOnly);
    if (editModified_ && readOnly)
        editModified_ = false;
    const bool transparent = ActiveProperties()->TransparentBackground();
    if (transparent != transparentBackground_) {
        transparentBackground_ = transparent;
        UpdateStateFromCursor();
    }
    // Buttons and borders change the size an auto-sized editor takes.
    if (CanAutoSize() && !constructing_)
        SetBounds(Left(), Top(), Width(), Height());
    UpdateStateFromCursor();
}

bool TkvCustomEdit::IsEffectivelyReadOnly() { return ActiveProperties()->ReadOnly() || !dataBinding_->CanModify(); }

// --- the value

void TkvCustomEdit::SetEditModified(bool value) {
    editModified_ = value;
    if (value) {
        validated_ = false;
        modifiedAfterEnter_ = true;
    }
}

void TkvCustomEdit::SetModifiedAfterEnter(bool value) {
    modifiedAfterEnter_ = value;
    if (!value)
        editModified_ = false;
}

void TkvCustomEdit::LockUpdate(bool lock) noexcept {
    if (lock)
        ++updateLockCount_;
    else if (updateLockCount_ > 0)
        --updateLockCount_;
}

void TkvCustomEdit::LockChangeEvents(bool lock, bool invoke) {
    if (lock)
        changeEventsCatcher_->Lock();
    else
        changeEventsCatcher_->Unlock(invoke);
}

void TkvCustomEdit::SaveModified() { modifiedStack_.emplace_back(modifiedAfterEnter_, editModified_); }

void TkvCustomEdit::RestoreModified() {
    if (modifiedStack_.empty())
        return;
    auto [afterEnter, modified] = modifiedStack_.back();
    modifiedStack_.pop_back();
    modifiedAfterEnter_ = afterEnter;
    editModified_ = modified;
}

bool TkvCustomEdit::DoEditing() {
    if (!CanBeginEditing())
        return false;
    if (dataBinding_->IsDataAware())
        return true;
    bool canEdit;
    {
        TkvScopedValue<bool> focus(errorFocus_, true);
        canEdit = CanModify();
    }
    if (!inPlace_ && canEdit)
        canEdit = dataBinding_->SetEditMode();
    if (canEdit && OnEditing)
        OnEditing(this, canEdit);
    return canEdit;
}

bool TkvCustomEdit::CanModify() {
    TkvCustomEditProperties *properties = ActiveProperties();
    if (properties->AssignedValues()->ReadOnly())
        return !properties->ReadOnly();
    if (inPlace_) {
        if (IsEffectivelyReadOnly())
            return false;
        IkvEditDefaultValuesProvider *provider = properties->DefaultValuesProvider();
        return provider == nullptr || provider->DefaultEditable();
    }
    IkvEditDefaultValuesProvider *provider = dataBinding_->IDefaultValuesProvider();
    return (provider == nullptr || provider->DefaultEditable()) && dataBinding_->CanModify();
}

void TkvCustomEdit::InternalSetEditValue(const Variant &value) {
    if (userInput_ && !DoEditing())
        return;
    TkvCustomEditProperties *properties = ActiveProperties();
    bool changed = false;
    if (properties->CanCompareEditValues())
        changed = !VariantsEqualExactly(editValue_, value);
    editValue_ = value;
    SynchronizeDisplayValue();
    if (userInput_)
        SetEditModified(true);
    else
        SetModifiedAfterEnter(false);
    if (changed) {
        raiseEditValueChanged();
        if (!properties->SeparatesChangeEvents())
            raiseChange();
    }
}

void TkvCustomEdit::SetEditValue(const Variant &value) {
    if (updateLockCount_ > 0)
        return;
    ++editValueLockCount_;
    try {
        if (!userInput_ || DoEditing())
            InternalSetEditValue(value);
    } catch (...) {
        --editValueLockCount_;
        throw;
    }
    --editValueLockCount_;
}

void TkvCustomEdit::AssignEditValue(const Variant &value) {
    if (updateLockCount_ > 0)
        return;
    if (!userInput_ || DoEditing())
        InternalSetEditValue(value);
}

void TkvCustomEdit::SetDisplayValue(const Variant &value) {
    SaveModified();
    try {
        InternalSetDisplayValue(value);
    } catch (...) {
        RestoreModified();
        throw;
    }
    RestoreModified();
}

void TkvCustomEdit::PrepareDisplayValue(const Variant &editValue, Variant &displayValue, bool editing) {
    ActiveProperties()->PrepareDisplayValue(editValue, displayValue, editing);
}

void TkvCustomEdit::PrepareEditValue(const Variant &, Variant &, bool) {}

void TkvCustomEdit::Clear() { SetEditValue(Variant::Null()); }

bool TkvCustomEdit::IsValidChar(wchar_t ch) {
    IkvEditDefaultValuesProvider *provider = ActiveProperties()->DefaultValuesProvider();
    return provider == nullptr || provider->IsValidChar(ch);
}

// --- change events

bool TkvCustomEdit::HasChangeHandlers() {
    if (properties_ == nullptr)
        return false;
    if (properties_->OnChange)
        return true;
    return repositoryItem_ != nullptr && static_cast<bool>(repositoryItem_->Properties()->OnChange);
}

bool TkvCustomEdit::HasEditValueChangedHandlers() {
    if (properties_ == nullptr)
        return false;
    if (properties_->OnEditValueChanged)
        return true;
    return repositoryItem_ != nullptr && static_cast<bool>(repositoryItem_->Properties()->OnEditValueChanged);
}

void TkvCustomEdit::DoChange() {
    if (properties_->OnChange)
        properties_->OnChange(this);
    if (repositoryItem_ != nullptr)
        if (TNotifyEvent handler = ActiveProperties()->OnChange)
            handler(this);
}

void TkvCustomEdit::DoEditValueChanged() {
    if (properties_->OnEditValueChanged)
        properties_->OnEditValueChanged(this);
    if (repositoryItem_ != nullptr)
        if (TNotifyEvent handler = ActiveProperties()->OnEditValueChanged)
            handler(this);
}

bool TkvCustomEdit::isOwnOrActiveHandler(bool change) {
    return change ? HasChangeHandlers() : HasEditValueChangedHandlers();
}

void TkvCustomEdit::raiseChange() {
    if (IsLoading() || IsDestroying())
        return;
    if (isOwnOrActiveHandler(true)) {
        if (changeEventsCatcher_->IsLocked()) {
            changeEventsCatcher_->SetChangePending();
        } else {
            runMarkedModified(&TkvCustomEdit::DoChange);
        }
    }
    TkvCustomEditProperties *properties = ActiveProperties();
    if (!properties->SeparatesChangeEvents() && !properties->CanCompareEditValues())
        raiseEditValueChanged();
}

void TkvCustomEdit::raiseEditValueChanged() {
    if (IsLoading() || IsDestroying() || !isOwnOrActiveHandler(false))
        return;
    if (changeEventsCatcher_->IsLocked()) {
        changeEventsCatcher_->SetEditValueChangedPending();
        return;
    }
    runMarkedModified(&TkvCustomEdit::DoEditValueChanged);
}

// An in-place editor's handlers see it modified; its own state comes back after them.
void TkvCustomEdit::runMarkedModified(void (TkvCustomEdit::*event)()) {
    if (inPlace_) {
        SaveModified();
        editModified_ = true;
        modifiedAfterEnter_ = true;
    }
    try {
        (this->*event)();
    } catch (...) {
        if (inPlace_)
            RestoreModified();
        throw;
    }
    if (inPlace_)
        RestoreModified();
}

void TkvCustomEdit::ChangeHandler(TObject *) {
    if (Focused())
        SetEditModified(true);
    raiseChange();
}

// --- validation

bool TkvCustomEdit::HasValidateHandlers() {
    if (properties_ != nullptr && properties_->OnValidate)
        return true;
    return repositoryItem_ != nullptr && static_cast<bool>(repositoryItem_->Properties()->OnValidate);
}

void TkvCustomEdit::DoOnValidate(Variant &displayValue, std::wstring &errorText, bool &error) {
    if (properties_->OnValidate)
        properties_->OnValidate(this, displayValue, errorText, error);
    if (repositoryItem_ != nullptr)
        if (TkvEditValidateEvent handler = ActiveProperties()->OnValidate)
            handler(this, displayValue, errorText, error);
}

bool TkvCustomEdit::ValidateEdit(bool raiseOnError) {
    if (!editModified_ || validated_ || userInput_)
        return true;
    Variant displayValue = Variant(GetDisplayText());
    std::wstring errorText;
    bool error = false;
    TkvCustomEditProperties *properties = ActiveProperties();
    if (properties->CanValidate())
        properties->ValidateDisplayValue(displayValue, errorText, error, this);
    if (error) {
        // The display shows what the handlers left before the error is raised: after the raise
        // nothing more would run.
        std::wstring shown;
        try {
            shown = displayValue.AsWideString();
        } catch (const Exception &) {
            shown.clear();
        }
        if (shown != GetDisplayText()) {
            SetInnerEditDisplayValue(displayValue);
            if (Visible()) {
                SelectAll();
                if (!IsInnerEditShown())
                    UpdateDrawValue();
            }
        }
        if (raiseOnError)
            HandleValidationError(errorText);
        return false;
    }
    if (!userInput_ || DoEditing()) {
        SetDisplayValue(displayValue);
        // Typing changes only the text; an accepted text becomes the value here.
        SynchronizeEditValue();
        validated_ = true;
    }
    return true;
}

void TkvCustomEdit::HandleValidationError(const std::wstring &errorText) {
    if (!Focused() && Visible() && CanFocus()) {
        {
            TkvScopedValue<bool> focus(errorFocus_, true);
            SetFocus();
        }
        // The focus-changed handler kept out while the focus came back: show the focused look.
        FocusChanged();
    }
    if (Visible())
        SelectAll();
    if (ActiveProperties()->BeepOnError())
        MessageBeep(0);
    if (!errorText.empty())
        throw Exception(errorText);
}

void TkvCustomEdit::PostEditValue() {
    if (ValidateEdit(true)) {
        SynchronizeDisplayValue();
        validated_ = true;
    }
}

void TkvCustomEdit::InternalPostEditValue(bool validate) {
    if (validate) {
        bool ok;
        {
            TkvScopedValue<bool> input(userInput_, false);
            ok = ValidateEdit(true);
        }
        if (!ok)
            return;
    }
    BeginPostEditValue();
    try {
        if (inPlace_) {
            if (OnPostEditValue)
                OnPostEditValue(this);
            SetModifiedAfterEnter(false);
        } else {
            try {
                dataBinding_->SetStoredValue(editValue_);
            } catch (...) {
                HandleValidationError(std::wstring{});
                throw;
            }
        }
    } catch (...) {
        EndPostEditValue();
        throw;
    }
    EndPostEditValue();
}

void TkvCustomEdit::Reset() {
    TkvCustomEditProperties *properties = ActiveProperties();
    if (!editModified_ || !properties->CanReset())
        return;
    {
        TkvEditChangeEventsLock lock(changeEventsCatcher_);
        editModified_ = false;
        AssignEditValue(dataBinding_->IsDataAware() ? dataBinding_->GetEditValue() : prevEditValue_);
        modifiedAfterEnter_ = true;
        SelectAll();
    }
    if (properties->ImmediatePost() && dataBinding_->GetModified() && !dataBinding_->IsDesigning())
        InternalPostEditValue(false);
}

// --- focus

bool TkvCustomEdit::IsActiveControl() {
    if (Focused())
        return true;
    TCustomForm *form = GetParentForm(this);
    if (form == nullptr)
        return false;
    TWinControl *active = form->ActiveControl();
    return active != nullptr && (active == this || active == InnerControl());
}

void TkvCustomEdit::DoEnter() {
    if (!IsDestroying() && !errorFocus_) {
        dataBinding_->UpdateDisplayValue();
        if (ActiveProperties()->CanReset())
            prevEditValue_ = editValue_;
        dataBinding_->UpdateDisplayValue();
        editModified_ = false;
    }
    inherited::DoEnter();
}

void TkvCustomEdit::DoExit() {
    if (IsDestroying() || errorFocus_)
        return;
    {
        TkvScopedValue<bool> input(userInput_, false);
        SaveModified();
        try {
            if (editModified_) {
                bool ok;
                {
                    TkvEditChangeEventsLock lock(changeEventsCatcher_);
                    ok = ValidateEdit(true);
                }
                if (!ok) {
                    RestoreModified();
                    return;
                }
                if (!inPlace_ && dataBinding_->GetModified())
                    InternalPostEditValue(false);
            }
            dataBinding_->UpdateDisplayValue();
            UpdateDrawValue();
            UpdateStateFromCursor();
            inherited::DoExit();
        } catch (...) {
            RestoreModified();
            throw;
        }
        RestoreModified();
    }
    // After the saved state is back: leaving ends the modification.
    editModified_ = false;
}

void TkvCustomEdit::FocusChanged() {
    if (IsDestroying() || errorFocus_)
        return;
    const bool now = Focused() && GetActiveWindow() != nullptr;
    if (now != focusedState_) {
        focusedState_ = now;
        inherited::FocusChanged();
        UpdateDrawValue();
    }
    // A modal form closing with a result other than cancel: the text is checked without raising.
    TCustomForm *form = GetParentForm(this);
    if (form != nullptr && form->FormState().Contains(fsModal) && !form->Visible() &&
        form->ModalResult() != mrNone && form->ModalResult() != mrCancel)
        ValidateEdit(false);
}

void TkvCustomEdit::FocusInnerControl() {
    // Focus brought by the keyboard or the code lets the inner edit's AutoSelect select the text;
    // a click on the frame or a button leaves the selection as it was.
    if (innerEdit_ != nullptr && InnerControl() != nullptr && InnerControl()->CanFocus() &&
        ControlState().Contains(csLButtonDown))
        innerEdit_->SafelySetFocus();
    else
        inherited::FocusInnerControl();
}

void TkvCustomEdit::GetTabOrderList(TList<TWinControl *> &list) {
    inherited::GetTabOrderList(list);
    if (inPlace_ && Visible() && Parent() != nullptr)
        list.Remove(Parent());
}

void TkvCustomEdit::CreateHandle() {
    inherited::CreateHandle();
    if (Focused())
        FocusInnerControl();
}

void TkvCustomEdit::CreateWnd() { inherited::CreateWnd(); }

bool TkvCustomEdit::IsChildWindow(HWND window) { return IsWindowOfControl(window, this, true); }

void TkvCustomEdit::MoveFocusByTab(bool forward) {
    // While the inner edit is the form's active control it stands in the tab order in place of
    // the editor: the search starts from it.
    if (TCustomForm *form = GetParentForm(this))
        form->SelectNext(form->ActiveControl() != nullptr ? form->ActiveControl() : this, forward, true);
}

// --- the inner edit

IkvCustomInnerEdit *TkvCustomEdit::CreateInnerEdit() {
    TClass cls = GetInnerEditClass();
    if (cls == nullptr)
        return nullptr;
    TWinControl *control = NewOf<TWinControl>(cls, static_cast<TComponent *>(this));
    if (auto *inner = Supports<IkvCustomInnerEdit>(control))
        return inner;
    if (auto *helper = Supports<IkvInnerEditHelper>(control))
        return helper->GetHelper();
    control->Free();
    return nullptr;
}

void TkvCustomEdit::InitializeInnerEdit() {
    innerEdit_->SetParent(this);
    innerEdit_->SetOnChange(Bind(this, &TkvCustomEdit::ChangeHandler));
}

bool TkvCustomEdit::IsInnerEditUsable() {
    return innerEdit_ != nullptr && InnerControl() != nullptr && InnerControl()->HandleAllocated();
}

void TkvCustomEdit::EndInnerEditBoundsUpdate() noexcept {
    if (innerBoundsUpdate_ > 0)
        --innerBoundsUpdate_;
}

void TkvCustomEdit::InnerEditWndProc(TMessage &message) {
    if (savedInnerWindowProc_)
        savedInnerWindowProc_(message);
}

void TkvCustomEdit::HookInnerEditWndProc() {
    TWinControl *control = InnerControl();
    if (control == nullptr || innerEditHooked_)
        return;
    savedInnerWindowProc_ = [control](TMessage &m) { control->WndProc(m); };
    control->SetWindowProc([this](TMessage &m) { InnerEditWndProc(m); });
    innerEditHooked_ = true;
}

void TkvCustomEdit::UnhookInnerEditWndProc() {
    TWinControl *control = InnerControl();
    if (!innerEditHooked_)
        return;
    innerEditHooked_ = false;
    if (control != nullptr)
        control->SetWindowProc(savedInnerWindowProc_);
    savedInnerWindowProc_ = nullptr;
}

void TkvCustomEdit::AdjustInnerEditPosition() {
    TWinControl *control = InnerControl();
    if (innerEdit_ == nullptr || control == nullptr)
        return;
    TRect target = ViewInfo()->ClientRect;
    if (!EqualRect(&target, &static_cast<const RECT &>(control->BoundsRect())))
        control->SetBoundsRect(target);
}

// --- in-place activation

void TkvCustomEdit::Activate(TkvCustomEditData *&editData) {
    if (editData == nullptr && GetEditDataClass() != nullptr)
        editData = NewOf<TkvCustomEditData>(GetEditDataClass(), this);
    editData_ = editData;
    Show();
    if (CanFocus()) {
        SetFocus();
        if (ActiveProperties()->AutoSelect())
            SelectAll();
    }
    SynchronizeDisplayValue();
    SetModifiedAfterEnter(false);
}

void TkvCustomEdit::ActivateByKey(wchar_t key, TkvCustomEditData *&editData) {
    HookInnerEditWndProc();
    try {
        Activate(editData);
        if (CanForwardActivationKey(key)) {
            HWND target = IsInnerEditUsable() ? InnerControl()->Handle() : Handle();
            SendMessageW(target, WM_CHAR, key, 0);
        }
    } catch (...) {
        UnhookInnerEditWndProc();
        throw;
    }
    UnhookInnerEditWndProc();
}

void TkvCustomEdit::ActivateByMouse(TShiftState shift, int x, int y, TkvCustomEditData *&editData) {
    Activate(editData);
    TPoint p{x, y};
    if (Parent() != nullptr)
        p = ScreenToClient(Parent()->ClientToScreen(p));
    const bool inner = IsInnerEditUsable();
    HWND target = inner ? InnerControl()->Handle() : Handle();
    if (inner) {
        p.x -= InnerControl()->Left();
        p.y -= InnerControl()->Top();
    }
    const LPARAM point = MAKELPARAM(p.x, p.y);
    if (shift.Contains(ssLeft)) {
        SendMessageW(target, WM_LBUTTONDOWN, ShiftStateToKeys(shift), point);
        if (GetAsyncKeyState(GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON) >= 0)
            ReleaseCapture();
    } else {
        SendMessageW(target, WM_LBUTTONUP, ShiftStateToKeys(shift), point);
    }
    dblClickTimer_->SetEnabled(true);
}

void TkvCustomEdit::dblClickTimerHandler(TObject *) { dblClickTimer_->SetEnabled(false); }

// --- size

bool TkvCustomEdit::CanAutoSize() { return !inPlace_ && autoSize_; }

bool TkvCustomEdit::IsAutoWidth() { return ActiveProperties()->ButtonsLayout() == 2; }

void TkvCustomEdit::GetAutoSizeParams(int &lineCount, int &width) {
    lineCount = 1;
    width = Width();
}

void TkvCustomEdit::SetAutoSize(bool value) {
    if (inPlace_ || value == autoSize_)
        return;
    autoSize_ = value;
    if (value) {
        HandleNeeded();
        AlignInnerControl();
        UpdateStateFromCursor();
    }
}

void TkvCustomEdit::SetBounds(int left, int top, int width, int height) {
    if (CanAutoSize() && properties_ != nullptr && !constructing_) {
        TOwned<TkvCustomEditViewData> data(CreateViewData());
        int lines = 1;
        int autoWidth = width;
        GetAutoSizeParams(lines, autoWidth);
        TSize size = data->GetEditSize(KvCanvas(), TSize{width, height});
        if (size.cy > 0)
            height = size.cy;
        if (IsAutoWidth() && size.cx > 0)
            width = size.cx;
    }
    inherited::SetBounds(left, top, width, height);
}

void TkvCustomEdit::AlignInnerControl() {
    if (CanAutoSize() && HandleAllocated())
        SetBounds(Left(), Top(), Width(), Height());
    AdjustInnerEditPosition();
}

TRect TkvCustomEdit::GetBorderExtent() {
    TkvCustomEditViewInfo *info = ViewInfo();
    if (info == nullptr)
        return TRect{};
    return TRect{info->ClientRect.left - info->Bounds.left, info->ClientRect.top - info->Bounds.top,
                 info->Bounds.right - info->ClientRect.right, info->Bounds.bottom - info->ClientRect.bottom};
}

// --- styles and view

TkvContainerStyleClass TkvCustomEdit::ContainerStyleClass() {
    createOwnProperties();
    return ActiveProperties()->GetStyleClass();
}

TkvContainerViewInfoClass TkvCustomEdit::ViewInfoClass() {
    createOwnProperties();
    return ActiveProperties()->GetViewInfoClass();
}

TkvContainerStyleValues TkvCustomEdit::GetHiddenStyleValues() {
    return TkvContainerStyleValues::FromMask(editOwnStyleValuesMask);
}

bool TkvCustomEdit::UsesNativeStyle() {
    if (properties_ == nullptr)
        return inherited::UsesNativeStyle();
    TOwned<TkvCustomEditViewData> data(CreateViewData());
    return data->IsNativeStyle();
}

TkvCustomEditViewData *TkvCustomEdit::CreateViewData() {
    TkvCustomEditViewData *data = ActiveProperties()->CreateViewData(ActiveStyle(), inPlace_, false);
    if (inPlace_)
        data->InPlaceBounds = InPlaceBounds;
    if (!(GetInnerEditClass() != nullptr && innerEdit_ == nullptr))
        data->Edit = this;
    if (HandleAllocated())
        data->WindowHandle = Handle();
    InitializeViewData(data);
    return data;
}

void TkvCustomEdit::InitializeViewData(TkvCustomEditViewData *viewData) {
    viewData->Enabled = Enabled();
    viewData->Focused = IsDesigning() ? false : Focused();
    viewData->ControlColor = Color();
    viewData->CaptureButton = pressedButton_;
    viewData->InnerControlBounds = InnerControl() != nullptr ? InnerControl()->BoundsRect() : TRect{};
    if (!HandleAllocated())
        viewData->WindowHandle = nullptr;
}

bool TkvCustomEdit::RecalculateState(const TPoint &p, int button, TShiftState shift) {
    return RecalculateState(p, button, shift, true);
}

bool TkvCustomEdit::RecalculateState(const TPoint &p, int button, TShiftState shift, bool recalculate) {
    if (!HandleAllocated() || IsDestroying() || innerBoundsUpdate_ > 0 || properties_ == nullptr ||
        ViewInfo() == nullptr)
        return false;
    if (pressedButton_ >= 0 && !MouseCapture())
        pressedButton_ = -1;
    TOwned<TkvCustomEditViewInfo> old;
    if (recalculate) {
        old.reset(NewOf<TkvCustomEditViewInfo>(ViewInfoClass()));
        old->Assign(ViewInfo());
        old->Bounds = ViewInfo()->Bounds;
        old->BorderRect = ViewInfo()->BorderRect;
        old->ClientRect = ViewInfo()->ClientRect;
        old->InnerEditRect = ViewInfo()->InnerEditRect;
    }

    TkvContainerViewState state;
    const TRect hotBounds = GetHotTrackBounds();
    const bool hot = Enabled() && !IsDesigning() && PtInRect(&hotBounds, p) != FALSE;
    if (!Enabled())
        state.Include(cvsDisabled);
    else if (IsDesigning())
        state.Include(cvsNormal);
    else {
        state.Include(Focused() ? cvsFocused : cvsNormal);
        // The hot style and the mouse tracking it needs only with hot tracking; the buttons'
        // hot look follows the mouse either way.
        if (hot && Style()->HotTrack())
            state.Include(cvsHot);
    }
    SelectStateStyle(state);

    TOwned<TkvCustomEditViewData> data(CreateViewData());
    data->Hot = hot;
    TkvEditMouseState mouse;
    mouse.Point = p;
    mouse.Shift = shift;
    mouse.Button = button == 2 ? mbRight : button == 3 ? mbMiddle : mbLeft;
    mouse.IsMouseEvent = mouseEvent_ != 0;
    mouse.Press = mouseEvent_ == 2;
    TkvCustomEditViewInfo *info = ViewInfo();
    info->ButtonPaintContext.Transparent = IsTransparentBackground();
    info->ButtonPaintContext.InPlace = inPlace_;
    info->ButtonPaintContext.Font = ActiveStyle()->GetEffectiveFont();
    info->ButtonPaintContext.TextColor = ActiveStyle()->TextColor();
    data->Calculate(KvCanvas(), TRect{0, 0, Width(), Height()}, mouse, info, old.get());
    info->ContainerState = state;
    if (info->NativeStyle) {
        info->ThemedObjectType = NativeThemeKind();
        info->NativePart = NativeThemePart();
        info->NativeState = NativeThemeState(state);
    }

    realigning_ = true;
    try {
        AdjustInnerEditPosition();
        UpdateInnerControlStyle();
        UpdateWindowRegion();
    } catch (...) {
        realigning_ = false;
        throw;
    }
    realigning_ = false;

    if (old) {
        // Only what changed is painted again; a new size paints everything.
        info->Repaint(Handle(), old.get());
        if (!EqualRect(&info->Bounds, &old->Bounds))
            Invalidate();
        SynchronizeButtonPress(old.get(), mouseEvent_ == 2);
    } else {
        Invalidate();
    }
    if (state.Contains(cvsHot))
        BeginMouseTracking(this, hotBounds, this);
    FreeAndNil(viewData_);
    viewData_ = data.release();
    return true;
}

void TkvCustomEdit::SynchronizeButtonPress(TkvCustomEditViewInfo *old, bool) {
    TkvCustomEditViewInfo *info = ViewInfo();
    const int oldPressed = old->PressedButton;
    const int newPressed = info->PressedButton;
    const int oldUnder = old->ButtonAt(lastMousePoint_);
    const int newUnder = info->ButtonAt(lastMousePoint_);
    if (oldPressed == newPressed && oldUnder == newUnder)
        return;
    auto indexOf = [](TkvCustomEditViewInfo *v, int j) { return v->Button(j)->Index; };
    if (oldPressed >= 0 && oldPressed < old->ButtonCount()) {
        const int index = indexOf(old, oldPressed);
        DoButtonUp(index);
        if (newUnder >= 0 && newUnder < info->ButtonCount() && indexOf(info, newUnder) == index &&
            info->Button(newUnder)->State != kvebsPressed)
            DoButtonClick(index);
    }
    if (newPressed >= 0 && oldPressed < 0 && newPressed < info->ButtonCount())
        DoButtonDown(indexOf(info, newPressed));
}

void TkvCustomEdit::Paint() {
    if (ViewInfo() == nullptr)
        return;
    inherited::Paint();
}

void TkvCustomEdit::PaintNonInnerEdit(TkvCanvas *canvas) {
    TOwned<TkvCustomEditViewInfo> info(NewOf<TkvCustomEditViewInfo>(ViewInfoClass()));
    TOwned<TkvCustomEditViewData> data(CreateViewData());
    data->Calculate(canvas, TRect{0, 0, Width(), Height()}, TkvEditMouseState{}, info.get(), nullptr);
    info->Draw(canvas);
}

// --- the unit

namespace {

// The editors' texts pass through the program's resource-string translations.
void translateEditText(const std::wstring &text, std::wstring &result, void *) { result = TranslateResourceString(text); }

void startEditUnit() {
    SetResourceTextHook(translateEditText);
    HCURSOR wheel = LoadCursorW(GetModuleHandleW(nullptr), L"KVEDIT_MOUSEWHEEL");
    if (wheel != nullptr && Screen != nullptr)
        Screen->SetCursors(crKvEditMouseWheel, wheel);
    if (GetDefaultEditStyleController() == nullptr) {
        TkvEditStyleController *controller = New<TkvEditStyleController>(nullptr);
        SetDefaultEditStyleController(controller);
    }
}

void stopEditUnit() {
    if (ResourceTextHook() == translateEditText)
        SetResourceTextHook(nullptr);
    FreeEditPropertiesRegistry();
    if (TkvEditStyleController *controller = GetDefaultEditStyleController())
        controller->Free();
}

} // namespace

constinit TUnit kvEditUnit{L"kvEdit", startEditUnit, stopEditUnit, {&kvContainerUnit, &kvLookAndFeelPaintersUnit, &kvEditPaintUtilsUnit}};
