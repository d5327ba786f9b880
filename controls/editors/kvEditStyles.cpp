// Edit styles and the edit style controller.
#include <array>

#include "kvEditStyles.h"

namespace {

TkvEditStyleController *defaultEditController = nullptr;

constexpr std::array<const wchar_t *, 3> editValueNames{L"ButtonStyle", L"ButtonTransparency", L"PopupBorderStyle"};

constexpr std::uint32_t editValuesMask = (std::uint32_t{1} << 10) | (std::uint32_t{1} << 11) |
                                         (std::uint32_t{1} << 12) | (std::uint32_t{1} << 13);

// A chain of controllers longer than this is taken for a cycle the controller checks did not see.
constexpr int maxControllerDepth = 64;

bool isEditValue(TkvContainerStyleValue value) noexcept {
    return static_cast<unsigned>(value) >= 10 && static_cast<unsigned>(value) < kvEditStyleValueCount;
}

} // namespace

TkvEditStyleController *GetDefaultEditStyleController() noexcept { return defaultEditController; }

void SetDefaultEditStyleController(TkvEditStyleController *controller) noexcept { defaultEditController = controller; }

// --- TkvCustomEditStyle

void TkvCustomEditStyle::Create(TPersistent *owner, bool directAccessMode, TkvContainerStyle *parentStyle,
                                TkvContainerStateType state) {
    inherited::Create(owner, directAccessMode, parentStyle, state);
    extraFlag_ = true;
}

TkvCustomEditStyle *TkvCustomEditStyle::ParentEditStyle() const noexcept {
    return dynamic_cast<TkvCustomEditStyle *>(ParentStyle());
}

TkvStyleController *TkvCustomEditStyle::GetGlobalStyleController() {
    if (DirectAccessMode())
        return nullptr;
    TkvContainer *editor = Container();
    if (editor != nullptr && editor->InPlaceMode())
        return nullptr;
    return defaultEditController;
}

TkvEditStyleController *TkvCustomEditStyle::StyleController() {
    return dynamic_cast<TkvEditStyleController *>(TkvContainerStyle::StyleController());
}

TkvContainerStyleValues TkvCustomEditStyle::AssignedValues() const {
    return TkvContainerStyle::AssignedValues() + TkvContainerStyleValues::FromMask(editAssigned_);
}

void TkvCustomEditStyle::SetAssignedValues(TkvContainerStyleValues value) {
    std::uint32_t edit = value.Mask() & editValuesMask;
    TkvContainerStyleValues container = TkvContainerStyleValues::FromMask(value.Mask() & ~editValuesMask);
    if (edit == editAssigned_ && container == TkvContainerStyle::AssignedValues())
        return;
    BeginUpdate();
    try {
        editAssigned_ = edit;
        TkvContainerStyle::SetAssignedValues(container);
        Changed();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

template <class T>
bool TkvCustomEditStyle::lookup(TkvContainerStyleValue value, T TkvCustomEditStyle::*field, T &result) {
    TkvCustomEditStyle *style = this;
    for (int depth = 0; style != nullptr && depth < maxControllerDepth; ++depth) {
        if (style->isOwnAssigned(value)) {
            result = style->*field;
            return true;
        }
        TkvStyleController *controller = style->ControllerInEffect();
        if (controller == nullptr)
            return false;
        // A controller of plain container styles has none of the editor's values.
        style = dynamic_cast<TkvCustomEditStyle *>(controller->Styles()->Values(style->State()));
    }
    return false;
}

template <class T>
T TkvCustomEditStyle::read(TkvContainerStyleValue value, T TkvCustomEditStyle::*field, T rootFallback) {
    if (DirectAccessMode() && isOwnAssigned(value))
        return this->*field;
    T result;
    if (!DirectAccessMode() && lookup(value, field, result))
        return result;
    if (TkvCustomEditStyle *parent = ParentEditStyle())
        return parent->read(value, field, rootFallback);
    return rootFallback;
}

template <class T>
void TkvCustomEditStyle::write(TkvContainerStyleValue value, T TkvCustomEditStyle::*field, T newValue) {
    if (isOwnAssigned(value) && this->*field == newValue)
        return;
    this->*field = newValue;
    editAssigned_ |= bit(value);
    Changed();
}

TkvEditButtonStyle TkvCustomEditStyle::ButtonStyle() {
    return read(esvButtonStyle, &TkvCustomEditStyle::buttonStyle_, btsDefault);
}

TkvEditButtonTransparency TkvCustomEditStyle::ButtonTransparency() {
    return read(esvButtonTransparency, &TkvCustomEditStyle::buttonTransparency_, ebtNone);
}

TkvEditPopupBorderStyle TkvCustomEditStyle::PopupBorderStyle() {
    return read(esvPopupBorderStyle, &TkvCustomEditStyle::popupBorderStyle_, epbsDefault);
}

std::uint8_t TkvCustomEditStyle::ExtraValue() {
    return read(esvExtraValue, &TkvCustomEditStyle::extraValue_, std::uint8_t{0});
}

void TkvCustomEditStyle::SetButtonStyle(TkvEditButtonStyle value) {
    write(esvButtonStyle, &TkvCustomEditStyle::buttonStyle_, value);
}

void TkvCustomEditStyle::SetButtonTransparency(TkvEditButtonTransparency value) {
    if (TkvCustomEditStyle *parent = ParentEditStyle())
        parent->SetButtonTransparency(value);
    else
        write(esvButtonTransparency, &TkvCustomEditStyle::buttonTransparency_, value);
}

void TkvCustomEditStyle::SetPopupBorderStyle(TkvEditPopupBorderStyle value) {
    if (TkvCustomEditStyle *parent = ParentEditStyle())
        parent->SetPopupBorderStyle(value);
    else
        write(esvPopupBorderStyle, &TkvCustomEditStyle::popupBorderStyle_, value);
}

void TkvCustomEditStyle::SetExtraValue(std::uint8_t value) {
    if (TkvCustomEditStyle *parent = ParentEditStyle())
        parent->SetExtraValue(value);
    else
        write(esvExtraValue, &TkvCustomEditStyle::extraValue_, value);
}

void TkvCustomEditStyle::Assign(TPersistent *source) {
    auto *style = dynamic_cast<TkvCustomEditStyle *>(source);
    if (style == nullptr) {
        inherited::Assign(source);
        return;
    }
    BeginUpdate();
    try {
        buttonStyle_ = style->buttonStyle_;
        buttonTransparency_ = style->buttonTransparency_;
        popupBorderStyle_ = style->popupBorderStyle_;
        extraValue_ = style->extraValue_;
        extraFlag_ = style->extraFlag_;
        editAssigned_ = style->editAssigned_;
        inherited::Assign(source);
        Changed();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

bool TkvCustomEditStyle::IsStyleValueAssigned(TkvContainerStyleValue value) {
    if (!isEditValue(value))
        return inherited::IsStyleValueAssigned(value);
    if (DirectAccessMode())
        return isOwnAssigned(value);
    TkvCustomEditStyle *style = this;
    for (int depth = 0; style != nullptr && depth < maxControllerDepth; ++depth) {
        if (style->isOwnAssigned(value))
            return true;
        TkvStyleController *controller = style->ControllerInEffect();
        if (controller == nullptr)
            return false;
        style = dynamic_cast<TkvCustomEditStyle *>(controller->Styles()->Values(style->State()));
    }
    return false;
}

bool TkvCustomEditStyle::IsEditValueStored(TkvContainerStyleValue value) {
    if (!isEditValue(value))
        return IsValueStored(value);
    if (!isOwnAssigned(value))
        return false;
    if (!IsRoot() && GetHiddenStyleValues().Contains(value))
        return false;
    // The editor decides for the values its look depends on, by property name and state.
    if (TkvContainer *editor = Container()) {
        std::wstring name;
        if (NameOfStyleValue(value, name))
            return editor->IsStylePropertyStored(name, !IsRoot());
    }
    return true;
}

bool TkvCustomEditStyle::IsStyleControllerStored() { return IsRoot() && StyleController() != nullptr; }

bool TkvCustomEditStyle::NameOfStyleValue(int index, std::wstring &name) {
    if (index < 10)
        return inherited::NameOfStyleValue(index, name);
    auto offset = static_cast<std::size_t>(index - 10);
    if (offset >= editValueNames.size()) {
        // The byte value has no published name.
        name.clear();
        return false;
    }
    name = editValueNames[offset];
    return true;
}

void TkvCustomEditStyle::ResetToDefaults() {
    BeginUpdate();
    try {
        editAssigned_ = 0;
        inherited::ResetToDefaults();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

// --- TkvEditStyleController

void TkvEditStyleController::Destroy() {
    if (defaultEditController == this)
        defaultEditController = nullptr;
    inherited::Destroy();
}
