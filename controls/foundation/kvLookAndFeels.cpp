// kvLookAndFeels: inheritance of the look-and-feel values, their change notices and the
// controller of the root.
#include "kvLookAndFeels.h"

namespace {

constinit TkvLookAndFeel *rootLookAndFeel = nullptr;
constinit int controllerCount = 0;

void stopLookAndFeels() { FreeAndNil(rootLookAndFeel); }

bool isController(IkvLookAndFeelListener *listener) {
    return listener != nullptr && Is<TkvLookAndFeelController>(listener->GetListenerObject());
}

} // namespace

void kvLookAndFeelsCreateRoot() {
    TkvLookAndFeel *root = New<TkvLookAndFeel>(static_cast<TPersistent *>(nullptr));
    root->isRoot_ = true;
    rootLookAndFeel = root;
}

constinit TUnit kvLookAndFeelsUnit{L"kvLookAndFeels", kvLookAndFeelsCreateRoot, stopLookAndFeels,
                                   {&kvLookAndFeelPaintersUnit}};

TkvLookAndFeel *GetRootLookAndFeel() noexcept { return rootLookAndFeel; }
int LookAndFeelControllerCount() noexcept { return controllerCount; }

void TkvLookAndFeel::Create(TPersistent *owner) {
    inherited::Create(owner);
    paletteNotifier_ = New<TkvSystemPaletteChangedNotifier>(false);
    paletteNotifier_->OnSystemPaletteChanged = [this] { SystemPaletteChanged(); };
    if (rootLookAndFeel != nullptr) {
        rootLookAndFeel->AddChangeListener(this);
        kind_ = rootLookAndFeel->Kind();
        nativeStyle_ = rootLookAndFeel->NativeStyle();
    }
}

void TkvLookAndFeel::Destroy() {
    FreeAndNil(paletteNotifier_);
    destroying_ = true;
    TList<IkvLookAndFeelListener *> listeners = listeners_;
    for (IkvLookAndFeelListener *listener : listeners)
        if (listeners_.IndexOf(listener) >= 0)
            listener->LookAndFeelDestroying(this);
    destroying_ = false;
    listeners_.Clear();
    if (TkvLookAndFeel *master = EffectiveMaster(); master != nullptr)
        master->RemoveChangeListener(this);
    if (rootLookAndFeel == this)
        rootLookAndFeel = nullptr;
    inherited::Destroy();
}

TkvLookAndFeel *TkvLookAndFeel::EffectiveMaster() const noexcept {
    if (isRoot_)
        return nullptr;
    return master_ != nullptr ? master_ : rootLookAndFeel;
}

TkvLookAndFeelKind TkvLookAndFeel::GetEffectiveKind() const {
    if (assignedValues_.Contains(lfvKind))
        return ownKind_;
    TkvLookAndFeel *master = EffectiveMaster();
    return master != nullptr ? master->Kind() : lfUltraFlat;
}

bool TkvLookAndFeel::GetEffectiveNativeStyle() const {
    if (assignedValues_.Contains(lfvNativeStyle))
        return ownNativeStyle_;
    TkvLookAndFeel *master = EffectiveMaster();
    return master != nullptr ? master->NativeStyle() : false;
}

void TkvLookAndFeel::saveState() {
    savedKind_ = GetEffectiveKind();
    savedNativeStyle_ = GetEffectiveNativeStyle();
}

void TkvLookAndFeel::fireDifferences() {
    TkvLookAndFeelValues values;
    if (GetEffectiveKind() != savedKind_)
        values = values + TkvLookAndFeelValues{lfvKind};
    if (GetEffectiveNativeStyle() != savedNativeStyle_)
        values = values + TkvLookAndFeelValues{lfvNativeStyle};
    Changed(values);
}

void TkvLookAndFeel::Changed(TkvLookAndFeelValues values) {
    if (values.Empty() || destroying_)
        return;
    kind_ = GetEffectiveKind();
    nativeStyle_ = GetEffectiveNativeStyle();
    // Over a copy: a listener that removes itself or another one, or adds one, changes neither
    // who is told next nor how often.
    TList<IkvLookAndFeelListener *> listeners = listeners_;
    for (IkvLookAndFeelListener *listener : listeners)
        if (listeners_.IndexOf(listener) >= 0)
            listener->LookAndFeelChanged(this, values);
    if (OnChanged)
        OnChanged(this, values);
}

void TkvLookAndFeel::SetAssignedValues(TkvLookAndFeelValues values) {
    if (values == assignedValues_)
        return;
    saveState();
    assignedValues_ = values;
    fireDifferences();
}

void TkvLookAndFeel::SetKind(TkvLookAndFeelKind value) {
    TkvLookAndFeelKind noted = GetEffectiveKind();
    assignedValues_ = assignedValues_ + TkvLookAndFeelValues{lfvKind};
    ownKind_ = value;
    if (GetEffectiveKind() != noted)
        Changed(TkvLookAndFeelValues{lfvKind});
}

void TkvLookAndFeel::SetNativeStyle(bool value) {
    bool noted = GetEffectiveNativeStyle();
    assignedValues_ = assignedValues_ + TkvLookAndFeelValues{lfvNativeStyle};
    ownNativeStyle_ = value;
    if (GetEffectiveNativeStyle() != noted)
        Changed(TkvLookAndFeelValues{lfvNativeStyle});
}

void TkvLookAndFeel::changeMaster(TkvLookAndFeel *value) {
    if (TkvLookAndFeel *old = EffectiveMaster(); old != nullptr)
        old->RemoveChangeListener(this);
    master_ = value;
    if (TkvLookAndFeel *now = EffectiveMaster(); now != nullptr)
        now->AddChangeListener(this);
}

void TkvLookAndFeel::SetMasterLookAndFeel(TkvLookAndFeel *value) {
    if (isRoot_ || value == this)
        return;
    if ((value != nullptr ? value : rootLookAndFeel) == EffectiveMaster())
        return;
    // A master whose chain leads back here would make the values depend on themselves.
    for (TkvLookAndFeel *link = value; link != nullptr; link = link->master_)
        if (link == this)
            return;
    saveState();
    changeMaster(value);
    fireDifferences();
}

void TkvLookAndFeel::Assign(TPersistent *source) {
    auto *other = dynamic_cast<TkvLookAndFeel *>(source);
    if (other == nullptr) {
        inherited::Assign(source);
        return;
    }
    if (other == this)
        return;
    saveState();
    ownKind_ = other->ownKind_;
    ownNativeStyle_ = other->ownNativeStyle_;
    assignedValues_ = other->assignedValues_;
    if (!isRoot_) {
        TkvLookAndFeel *master = other->isRoot_ ? nullptr : other->master_;
        bool cycle = false;
        for (TkvLookAndFeel *link = master; link != nullptr; link = link->master_)
            cycle = cycle || link == this;
        if (!cycle && master != master_)
            changeMaster(master);
    }
    fireDifferences();
}

void TkvLookAndFeel::AddChangeListener(IkvLookAndFeelListener *listener) {
    if (listener == nullptr || listeners_.IndexOf(listener) >= 0)
        return;
    if (isController(listener)) {
        if (!isRoot_)
            return;
        ++controllerCount;
    }
    listeners_.Add(listener);
}

void TkvLookAndFeel::RemoveChangeListener(IkvLookAndFeelListener *listener) {
    if (destroying_ || listeners_.IndexOf(listener) < 0)
        return;
    listeners_.Remove(listener);
    if (isRoot_ && isController(listener) && --controllerCount == 0)
        SetAssignedValues(TkvLookAndFeelValues{});
}

void TkvLookAndFeel::LookAndFeelChanged(TkvLookAndFeel *, TkvLookAndFeelValues changedValues) {
    Changed(changedValues - assignedValues_);
}

void TkvLookAndFeel::LookAndFeelDestroying(TkvLookAndFeel *sender) {
    if (sender == master_)
        SetMasterLookAndFeel(nullptr);
}

void TkvLookAndFeel::SystemPaletteChanged() { Changed(TkvLookAndFeelValues{lfvNativeStyle}); }

TkvPainterClass TkvLookAndFeel::GetPainterClass(TztThemedObjectType kind) const {
    if (NativeStyle() && IsThemeAvailable(kind))
        return PainterOf<TkvWinXPLookAndFeelPainter>();
    return PainterClassOfKind(Kind());
}

TkvPainterClass TkvLookAndFeel::GetPainterClassForKinds(TztThemedObjectTypes kinds) const {
    if (NativeStyle() && AreThemesAvailable(kinds))
        return PainterOf<TkvWinXPLookAndFeelPainter>();
    return PainterClassOfKind(Kind());
}

TkvPainterClass TkvLookAndFeel::GetPainter() const { return GetPainterClassForKinds(TztThemedObjectTypes{}); }

// --- controller

void TkvLookAndFeelController::Create(TComponent *owner) {
    inherited::Create(owner);
    if (rootLookAndFeel != nullptr) {
        rootLookAndFeel->AddChangeListener(this);
        registered_ = true;
    }
}

void TkvLookAndFeelController::Destroy() {
    if (registered_ && rootLookAndFeel != nullptr)
        rootLookAndFeel->RemoveChangeListener(this);
    registered_ = false;
    inherited::Destroy();
}

TkvLookAndFeelKind TkvLookAndFeelController::Kind() const {
    return rootLookAndFeel != nullptr ? rootLookAndFeel->Kind() : lfUltraFlat;
}

void TkvLookAndFeelController::SetKind(TkvLookAndFeelKind value) {
    if (rootLookAndFeel != nullptr)
        rootLookAndFeel->SetKind(value);
}

bool TkvLookAndFeelController::NativeStyle() const {
    return rootLookAndFeel != nullptr && rootLookAndFeel->NativeStyle();
}

void TkvLookAndFeelController::SetNativeStyle(bool value) {
    if (rootLookAndFeel != nullptr)
        rootLookAndFeel->SetNativeStyle(value);
}

void TkvLookAndFeelController::LookAndFeelDestroying(TkvLookAndFeel *) {
    registered_ = false;
    if (OnDesignerModified)
        OnDesignerModified(this);
}
