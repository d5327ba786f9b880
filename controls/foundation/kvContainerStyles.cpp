// Container styles, the four state styles of a container, and the style controller.
#include <classlib/exceptions.h>
#include <classlib/string_utils.h>

#include <algorithm>
#include <array>

#include "kvContainer.h"

namespace {

TkvStyleController *defaultController = nullptr;

constexpr std::array<const wchar_t *, 10> styleValueNames{
    L"BorderColor", L"BorderStyle", L"Color",     L"Edges",     L"Font",
    L"HotTrack",    L"Shadow",      L"TextColor", L"TextStyle", L"TransparentBorder"};

// A chain of controllers longer than this is taken for a cycle the checks did not see.
constexpr int maxControllerDepth = 64;

// The border style of a state: the row of the state, by the parent's border style.
constexpr TkvContainerBorderStyle stateBorderStyles[4][7] = {
    {cbsNone, cbsSingle, cbsThick, cbsFlat, cbs3D, cbsUltraFlat, cbsOffice11},
    {cbsFlat, cbsThick, cbsThick, cbs3D, cbs3D, cbsUltraFlat, cbsOffice11},
    {cbsNone, cbsSingle, cbsThick, cbsFlat, cbs3D, cbsUltraFlat, cbsOffice11},
    {cbsFlat, cbsThick, cbsThick, cbs3D, cbs3D, cbsUltraFlat, cbsOffice11},
};

} // namespace

int ContainerBorderWidth(TkvContainerBorderStyle style) noexcept {
    static constexpr int widths[] = {0, 1, 2, 2, 2, 1, 1};
    return style <= cbsOffice11 ? widths[style] : 0;
}

TkvStyleController *GetDefaultStyleController() noexcept { return defaultController; }

void SetDefaultStyleController(TkvStyleController *controller) noexcept { defaultController = controller; }

// --- TkvContainerStyle

void TkvContainerStyle::Create(TPersistent *owner, bool directAccessMode, TkvContainerStyle *parentStyle,
                               TkvContainerStateType state) {
    inherited::Create();
    owner_ = owner;
    directAccessMode_ = directAccessMode;
    state_ = state;
    if (state != cssNormal)
        parentStyle_ = parentStyle;
    if (directAccessMode_)
        assignedValues_ = TkvContainerStyleValues{csvColor, csvFont, csvTextColor, csvTextStyle};
    if (IsRoot() && !directAccessMode_) {
        font_ = New<TFont>();
        ownsFont_ = true;
        font_->OnChange = [this](TObject *sender) { fontChangedHandler(sender); };
    }
    effectiveFont_ = New<TFont>();
    if (IsRoot()) {
        lookAndFeel_ = New<TkvLookAndFeel>(static_cast<TPersistent *>(this));
        lookAndFeel_->OnChanged = [this](TkvLookAndFeel *, TkvLookAndFeelValues) { Changed(); };
        SetStyleController(GetGlobalStyleController());
    }
}

void TkvContainerStyle::BeforeDestruction() {
    destroying_ = true;
    inherited::BeforeDestruction();
}

void TkvContainerStyle::Destroy() {
    destroying_ = true;
    if (IsRoot() && styleController_ != nullptr)
        styleController_->UnregisterStyle(this);
    styleController_ = nullptr;
    FreeAndNil(lookAndFeel_);
    FreeAndNil(effectiveFont_);
    if (ownsFont_)
        FreeAndNil(font_);
    font_ = nullptr;
    inherited::Destroy();
}

TkvContainer *TkvContainerStyle::Container() const noexcept { return dynamic_cast<TkvContainer *>(owner_); }

void TkvContainerStyle::Assign(TPersistent *source) {
    auto *style = dynamic_cast<TkvContainerStyle *>(source);
    if (style == nullptr) {
        inherited::Assign(source);
        return;
    }
    BeginUpdate();
    try {
        if (IsRoot()) {
            SetStyleController(style->StyleController());
            SetLookAndFeel(style->LookAndFeel());
        }
        borderColor_ = style->borderColor_;
        borderStyle_ = style->borderStyle_;
        edges_ = style->edges_;
        hotTrack_ = style->hotTrack_;
        shadow_ = style->shadow_;
        transparentBorder_ = style->transparentBorder_;
        color_ = style->color_;
        if (directAccessMode_) {
            font_ = style->Font();
            textColor_ = style->TextColor();
        } else if (font_ != nullptr) {
            LockFont();
            try {
                if (TFont *font = style->Font())
                    font_->Assign(font);
                if (style->directAccessMode_)
                    font_->SetColor(style->TextColor());
            } catch (...) {
                UnlockFont();
                throw;
            }
            UnlockFont();
            textColor_ = style->TextColor();
            textStyle_ = style->TextStyle();
        } else {
            textColor_ = style->TextColor();
            textStyle_ = style->TextStyle();
        }
        assignedValues_ = style->AssignedValues();
        Changed();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TkvContainerStyle::EndUpdate() {
    if (updateCount_ <= 0)
        return;
    --updateCount_;
    Changed();
}

// --- lookup

template <class T>
bool TkvContainerStyle::lookup(TkvContainerStyleValue value, T TkvContainerStyle::*field, T &result) {
    TkvContainerStyle *style = this;
    for (int depth = 0; style != nullptr && depth < maxControllerDepth; ++depth) {
        if (style->assignedValues_.Contains(value)) {
            result = style->*field;
            return true;
        }
        TkvStyleController *controller = style->Root()->styleController_;
        if (controller == nullptr)
            return false;
        style = controller->Styles()->Values(style->state_);
    }
    return false;
}

bool TkvContainerStyle::lookupFont(TFont *&result) {
    TkvContainerStyle *style = Root();
    for (int depth = 0; style != nullptr && depth < maxControllerDepth; ++depth) {
        if (style->assignedValues_.Contains(csvFont) && style->Font() != nullptr) {
            result = style->Font();
            return true;
        }
        TkvStyleController *controller = style->styleController_;
        if (controller == nullptr)
            return false;
        style = controller->Style();
    }
    return false;
}

bool TkvContainerStyle::IsStyleValueAssigned(TkvContainerStyleValue value) {
    TkvContainerStyle *style = this;
    for (int depth = 0; style != nullptr && depth < maxControllerDepth; ++depth) {
        if (style->AssignedValues().Contains(value))
            return true;
        TkvStyleController *controller = style->Root()->styleController_;
        if (controller == nullptr)
            return false;
        style = controller->Styles()->Values(style->state_);
    }
    return false;
}

bool TkvContainerStyle::IsValueStored(TkvContainerStyleValue value) {
    if (!assignedValues_.Contains(value))
        return false;
    if (!IsRoot() && GetHiddenStyleValues().Contains(value))
        return false;
    if (TkvContainer *container = Container()) {
        std::wstring name;
        NameOfStyleValue(value, name);
        return container->IsStylePropertyStored(name, !IsRoot());
    }
    return true;
}

// --- getters

TkvContainerStyleValues TkvContainerStyle::AssignedValues() const {
    return directAccessMode_ ? kvAllContainerStyleValues : assignedValues_;
}

TColor TkvContainerStyle::BorderColor() {
    if (directAccessMode_)
        return clDefault;
    TColor result;
    return lookup(csvBorderColor, &TkvContainerStyle::borderColor_, result) ? result : FallbackBorderColor();
}

TkvContainerBorderStyle TkvContainerStyle::BorderStyle() {
    if (directAccessMode_)
        return assignedValues_.Contains(csvBorderStyle) ? borderStyle_ : FallbackBorderStyle();
    TkvContainerBorderStyle result;
    return lookup(csvBorderStyle, &TkvContainerStyle::borderStyle_, result) ? result : FallbackBorderStyle();
}

TColor TkvContainerStyle::GetColor() {
    if (directAccessMode_)
        return color_;
    if (IsRoot())
        if (TkvContainer *container = Container(); container != nullptr && container->ParentColor() &&
                                                   container->Parent() != nullptr)
            return container->Parent()->Color();
    TColor result;
    return lookup(csvColor, &TkvContainerStyle::color_, result) ? result : FallbackColor();
}

TColor TkvContainerStyle::GetControlColor() {
    if (directAccessMode_)
        return color_;
    TColor result;
    if (lookup(csvColor, &TkvContainerStyle::color_, result))
        return result;
    if (IsRoot())
        if (TkvContainer *container = Container(); container != nullptr && !container->InPlaceMode() &&
                                                   container->ParentColor() && container->Parent() != nullptr)
            return container->Parent()->Color();
    return FallbackColor();
}

TkvBorders TkvContainerStyle::Edges() {
    if (directAccessMode_)
        return TkvBorders{};
    if (!IsRoot())
        return Root()->Edges();
    TkvBorders result;
    return lookup(csvEdges, &TkvContainerStyle::edges_, result) ? result : FallbackEdges();
}

TFont *TkvContainerStyle::Font() {
    if (directAccessMode_)
        return font_;
    return Root()->font_;
}

bool TkvContainerStyle::HotTrack() {
    if (directAccessMode_)
        return assignedValues_.Contains(csvHotTrack) ? hotTrack_ : FallbackHotTrack();
    if (!IsRoot())
        return Root()->HotTrack();
    bool result;
    return lookup(csvHotTrack, &TkvContainerStyle::hotTrack_, result) ? result : FallbackHotTrack();
}

TkvLookAndFeel *TkvContainerStyle::LookAndFeel() { return Root()->lookAndFeel_; }

bool TkvContainerStyle::Shadow() {
    if (directAccessMode_)
        return false;
    if (!IsRoot())
        return Root()->Shadow();
    bool result;
    return lookup(csvShadow, &TkvContainerStyle::shadow_, result) ? result : FallbackShadow();
}

TkvStyleController *TkvContainerStyle::StyleController() {
    TkvContainerStyle *root = Root();
    return root->styleController_ == GetGlobalStyleController() ? nullptr : root->styleController_;
}

TColor TkvContainerStyle::GetTextColor() {
    if (directAccessMode_)
        return textColor_;
    TColor result;
    return lookup(csvTextColor, &TkvContainerStyle::textColor_, result) ? result : FallbackTextColor();
}

TFontStyles TkvContainerStyle::GetTextStyle() {
    if (directAccessMode_)
        return font_ != nullptr ? font_->GetStyle() : TFontStyles{};
    TFontStyles result;
    return lookup(csvTextStyle, &TkvContainerStyle::textStyle_, result) ? result : FallbackTextStyle();
}

bool TkvContainerStyle::TransparentBorder() {
    if (directAccessMode_)
        return true;
    if (!IsRoot())
        return Root()->TransparentBorder();
    bool result;
    return lookup(csvTransparentBorder, &TkvContainerStyle::transparentBorder_, result) ? result
                                                                                       : FallbackTransparentBorder();
}

TFont *TkvContainerStyle::GetEffectiveFont() {
    if (TFont *font = Font())
        effectiveFont_->Assign(font);
    effectiveFont_->SetColor(TextColor());
    effectiveFont_->SetStyle(TextStyle());
    return effectiveFont_;
}

// --- fallbacks

TColor TkvContainerStyle::FallbackBorderColor() {
    if (state_ == cssDisabled)
        return clBtnShadow;
    if (IsRoot())
        return clWindowFrame;
    return parentStyle_->BorderColor();
}

TkvContainerBorderStyle TkvContainerStyle::FallbackBorderStyle() {
    if (IsRoot()) {
        switch (LookAndFeel()->Kind()) {
        case lfFlat:
            return cbsFlat;
        case lfStandard:
            return cbs3D;
        case lfOffice11:
            return cbsOffice11;
        default:
            return cbsUltraFlat;
        }
    }
    int row = (HotTrack() || state_ == cssDisabled) ? state_ : cssNormal;
    TkvContainerBorderStyle parent = parentStyle_->BorderStyle();
    return parent <= cbsOffice11 ? stateBorderStyles[row][parent] : parent;
}

TColor TkvContainerStyle::FallbackColor() {
    TkvContainer *container = Container();
    bool plain = container == nullptr || container->DefaultParentColor();
    if (IsRoot())
        return plain ? clBtnFace : clWindow;
    if (state_ == cssDisabled && !plain)
        return clBtnFace;
    return parentStyle_->GetColor();
}

TColor TkvContainerStyle::FallbackTextColor() {
    if (state_ == cssDisabled)
        return clBtnShadow;
    if (IsRoot())
        return Font() != nullptr ? Font()->GetColor() : clWindowText;
    return parentStyle_->TextColor();
}

TFontStyles TkvContainerStyle::FallbackTextStyle() {
    if (IsRoot())
        return Font() != nullptr ? Font()->GetStyle() : TFontStyles{};
    return parentStyle_->TextStyle();
}

// --- setters

void TkvContainerStyle::setOwnValue(TkvContainerStyleValue value, bool) {
    assignedValues_.Include(value);
    Changed();
}

void TkvContainerStyle::SetBorderColor(TColor value) {
    if (assignedValues_.Contains(csvBorderColor) && borderColor_ == value)
        return;
    borderColor_ = value;
    setOwnValue(csvBorderColor, false);
}

void TkvContainerStyle::SetBorderStyle(TkvContainerBorderStyle value) {
    if (assignedValues_.Contains(csvBorderStyle) && borderStyle_ == value)
        return;
    borderStyle_ = value;
    setOwnValue(csvBorderStyle, false);
}

void TkvContainerStyle::SetColor(TColor value) {
    if (assignedValues_.Contains(csvColor) && color_ == value)
        return;
    color_ = value;
    setOwnValue(csvColor, false);
}

void TkvContainerStyle::SetTextColor(TColor value) {
    if (assignedValues_.Contains(csvTextColor) && TextColor() == value)
        return;
    textColor_ = value;
    setOwnValue(csvTextColor, false);
}

void TkvContainerStyle::SetTextStyle(TFontStyles value) {
    if (assignedValues_.Contains(csvTextStyle) && TextStyle() == value)
        return;
    textStyle_ = value;
    setOwnValue(csvTextStyle, false);
}

template <class T> void TkvContainerStyle::setRootValue(TkvContainerStyleValue value, T TkvContainerStyle::*field, T to) {
    TkvContainerStyle *root = this;
    while (!root->IsRoot())
        root = root->Root();
    if (root->assignedValues_.Contains(value) && root->*field == to)
        return;
    root->*field = to;
    root->setOwnValue(value, false);
}

void TkvContainerStyle::SetEdges(TkvBorders value) { setRootValue(csvEdges, &TkvContainerStyle::edges_, value); }

void TkvContainerStyle::SetHotTrack(bool value) { setRootValue(csvHotTrack, &TkvContainerStyle::hotTrack_, value); }

void TkvContainerStyle::SetShadow(bool value) { setRootValue(csvShadow, &TkvContainerStyle::shadow_, value); }

void TkvContainerStyle::SetTransparentBorder(bool value) { setRootValue(csvTransparentBorder, &TkvContainerStyle::transparentBorder_, value); }

void TkvContainerStyle::SetFont(TFont *value) {
    if (!IsRoot()) {
        Root()->SetFont(value);
        return;
    }
    if (directAccessMode_) {
        font_ = value;
        return;
    }
    if (value != nullptr && font_ != nullptr)
        font_->Assign(value);
    setOwnValue(csvFont, false);
}

void TkvContainerStyle::SetLookAndFeel(TkvLookAndFeel *value) { Root()->lookAndFeel_->Assign(value); }

void TkvContainerStyle::SetAssignedValues(TkvContainerStyleValues value) {
    if (value == assignedValues_)
        return;
    // The font taken again and the values: one notice.
    BeginUpdate();
    try {
        assignedValues_ = value;
        if (IsRoot())
            RefreshFontFromController();
        Changed();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TkvContainerStyle::SetStyleController(TkvStyleController *value) {
    if (!IsRoot()) {
        Root()->SetStyleController(value);
        return;
    }
    TkvStyleController *global = GetGlobalStyleController();
    if (global != nullptr && owner_ == global)
        return;
    if (value == nullptr)
        value = global;
    TkvStyleController *controller = value;
    for (int depth = 0; controller != nullptr && depth < maxControllerDepth; ++depth) {
        TkvContainerStyle *normal = controller->Style();
        if (normal == this)
            return;
        controller = normal->styleController_;
    }
    if (value == styleController_)
        return;
    if (styleController_ != nullptr)
        styleController_->UnregisterStyle(this);
    styleController_ = value;
    if (styleController_ != nullptr)
        styleController_->RegisterStyle(this);
    ControllerChanged();
}

void TkvContainerStyle::RefreshFontFromController() {
    if (!IsRoot() || directAccessMode_ || font_ == nullptr || assignedValues_.Contains(csvFont))
        return;
    LockFont();
    try {
        TFont *found = nullptr;
        TkvStyleController *controller = styleController_;
        if (controller != nullptr && controller->Style()->lookupFont(found)) {
            font_->Assign(found);
        } else {
            TkvContainer *container = Container();
            if (container == nullptr || !container->ParentFont()) {
                TOwned<TFont> fresh(New<TFont>());
                font_->Assign(fresh.get());
            }
        }
    } catch (...) {
        UnlockFont();
        throw;
    }
    UnlockFont();
}

void TkvContainerStyle::FontChanged(TObject *) {
    if (fontLock_ <= 0)
        assignedValues_.Include(csvFont);
    Changed();
}

void TkvContainerStyle::Changed() {
    modified_ = true;
    if (modified_ && updateCount_ == 0) {
        modified_ = false;
        if (!destroying_ && !directAccessMode_ && OnChanged)
            OnChanged(this);
    }
}

void TkvContainerStyle::ControllerChanged() {
    RefreshFontFromController();
    Changed();
}

// A controller going away leaves its styles with the default one, or with none when it is the
// default one itself: never with a dangling controller.
void TkvContainerStyle::ControllerFreed(TkvStyleController *controller) {
    TkvContainerStyle *root = Root();
    if (controller != root->styleController_)
        return;
    if (GetGlobalStyleController() == controller) {
        controller->UnregisterStyle(root);
        root->styleController_ = nullptr;
        root->ControllerChanged();
        return;
    }
    root->SetStyleController(nullptr);
}

bool TkvContainerStyle::NameOfStyleValue(int index, std::wstring &name) {
    if (index < 0 || index >= static_cast<int>(styleValueNames.size())) {
        name.clear();
        return false;
    }
    name = styleValueNames[static_cast<std::size_t>(index)];
    return true;
}

int TkvContainerStyle::StyleValueByName(const std::wstring &name) {
    std::wstring wanted = AnsiUpperCase(name);
    std::wstring candidate;
    for (int i = 0; i < StyleValueCount(); ++i)
        if (NameOfStyleValue(i, candidate) && AnsiUpperCase(candidate) == wanted)
            return i;
    return -1;
}

bool TkvContainerStyle::HasBorder() { return IsRoot() ? true : Root()->HasBorder(); }

void TkvContainerStyle::ResetToDefaults() {
    BeginUpdate();
    try {
        assignedValues_ = TkvContainerStyleValues{};
        if (IsRoot()) {
            lookAndFeel_->SetAssignedValues(TkvLookAndFeelValues{});
            TkvContainer *container = Container();
            if (container != nullptr) {
                container->SetParentColor(false);
                container->SetParentFont(true);
            } else if (!directAccessMode_ && font_ != nullptr) {
                LockFont();
                TOwned<TFont> fresh(New<TFont>());
                font_->Assign(fresh.get());
                UnlockFont();
            }
            if (container != nullptr && container->DefaultParentColor()) {
                TkvStyleController *controller = styleController_;
                bool controllerColor = controller != nullptr && controller->Style()->IsStyleValueAssigned(csvColor);
                if (!controllerColor)
                    container->SetParentColor(true);
            }
        }
        Changed();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

// --- TkvContainerStyles

void TkvContainerStyles::Create(TPersistent *owner, TkvContainerStyleClass styleClass) {
    inherited::Create();
    if (styleClass == nullptr)
        styleClass = TkvContainerStyle::ClassInfo();
    styles_[cssNormal] = NewOf<TkvContainerStyle>(styleClass, owner, false, nullptr, cssNormal);
    for (TkvContainerStateType state : {cssFocused, cssDisabled, cssHot})
        styles_[state] = NewOf<TkvContainerStyle>(styleClass, owner, false, styles_[cssNormal], state);
}

void TkvContainerStyles::Destroy() {
    for (int state = cssHot; state >= cssNormal; --state)
        FreeAndNil(styles_[state]);
    inherited::Destroy();
}

void TkvContainerStyles::SetOnChanged(TNotifyEvent handler) {
    for (TkvContainerStyle *style : styles_)
        if (style != nullptr)
            style->OnChanged = handler;
}

// --- TkvStyleController

void TkvStyleController::Create(TComponent *owner) {
    inherited::Create(owner);
    styles_ = NewOf<TkvContainerStyles>(StylesClass(), static_cast<TPersistent *>(this), StyleClass());
    styles_->SetOnChanged([this](TObject *sender) { StyleChanged(sender); });
}

void TkvStyleController::Destroy() {
    destroying_ = true;
    if (defaultController == this)
        defaultController = nullptr;
    TList<TkvContainerStyle *> listeners = listeners_;
    for (int i = 0; i < listeners.Count(); ++i)
        if (listeners_.IndexOf(listeners.Get(i)) >= 0)
            listeners.Get(i)->ControllerFreed(this);
    if (styles_ != nullptr)
        styles_->SetOnChanged(nullptr);
    FreeAndNil(styles_);
    listeners_.Clear();
    inherited::Destroy();
}

void TkvStyleController::Loaded() {
    inherited::Loaded();
    StyleChanged(this);
}

void TkvStyleController::RegisterStyle(TkvContainerStyle *style) {
    if (listeners_.IndexOf(style) >= 0)
        return;
    listeners_.Add(style);
    style->LookAndFeel()->SetMasterLookAndFeel(styles_->Style()->LookAndFeel());
}

void TkvStyleController::UnregisterStyle(TkvContainerStyle *style) {
    int index = listeners_.IndexOf(style);
    if (index < 0)
        return;
    // While going away the list is walked by the destructor; it is cleared at its end.
    if (!destroying_)
        listeners_.Delete(index);
    else
        listeners_.Put(index, nullptr);
    if (TkvLookAndFeel *lookAndFeel = style->LookAndFeel())
        lookAndFeel->SetMasterLookAndFeel(nullptr);
}

// Listeners may leave (or make others leave) while they are told: each is told only while it
// is still registered.
void TkvStyleController::StyleChanged(TObject *) {
    if (OnStyleChanged)
        OnStyleChanged(this);
    if (destroying_)
        return;
    TList<TkvContainerStyle *> listeners = listeners_;
    for (int i = 0; i < listeners.Count(); ++i) {
        TkvContainerStyle *style = listeners.Get(i);
        if (listeners_.IndexOf(style) >= 0)
            style->ControllerChanged();
    }
}

void TkvStyleController::ScaleFont(int m, int d) {
    TkvContainerStyle *normal = styles_->Style();
    if (normal->AssignedValues().Contains(csvFont)) {
        if (!fontScaled_) {
            fontScaled_ = true;
            normal->Font()->SetSize(MulDiv(normal->Font()->GetSize(), m, d));
        }
        return;
    }
    if (TkvStyleController *next = normal->ControllerInEffect(); next != nullptr && next != this)
        next->ScaleFont(m, d);
}
