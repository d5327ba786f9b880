// kvEditStyles: the styles editors are drawn in, and the style controller editors share.
//
// An edit style is a container style with four values more: the button style, the button
// transparency, the popup border style and one unpublished byte. They are looked up like the
// container's values: assigned here, else the controller's style of the same state, else the
// parent style's value (the first enumeration value for a root style). Button transparency, popup
// border style and the byte belong to the normal style: a state style writes them there.
// Editors that are not in place, and styles without an editor, take what they do not set from
// the default edit style controller.
#ifndef KV_EDIT_STYLES_H
#define KV_EDIT_STYLES_H

#include <classlib/component.h>
#include <classlib/persistent.h>

#include <cstdint>
#include <string>

#include "kvContainer.h"
// TkvEditButtonStyle: the button painting draws by it.
#include "kvEditButtonPainting.h"

enum TkvEditButtonTransparency : std::uint8_t { ebtNone, ebtInactive, ebtAlways, ebtHideInactive, ebtHideUnselected };
enum TkvEditPopupBorderStyle : std::uint8_t { epbsDefault, epbsSingle, epbsFrame3D, epbsFlat };
// One to one with TkvContainerBorderStyle.
enum TkvEditBorderStyle : std::uint8_t { ebsNone, ebsSingle, ebsThick, ebsFlat, ebs3D, ebsUltraFlat, ebsOffice11 };

// The editor's values continue the container style's numbering (and its assigned-value bits).
inline constexpr TkvContainerStyleValue esvButtonStyle = static_cast<TkvContainerStyleValue>(10);
inline constexpr TkvContainerStyleValue esvButtonTransparency = static_cast<TkvContainerStyleValue>(11);
inline constexpr TkvContainerStyleValue esvPopupBorderStyle = static_cast<TkvContainerStyleValue>(12);
inline constexpr TkvContainerStyleValue esvExtraValue = static_cast<TkvContainerStyleValue>(13);
inline constexpr int kvEditStyleValueCount = 14;
// Values an edit style does not store for itself (state styles take them from the normal one).
inline constexpr std::uint32_t kvEditHiddenStyleValuesMask = 14968;

class TkvEditStyleController;

// The process-wide controller (null while the editor unit is stopped).
TkvEditStyleController *GetDefaultEditStyleController() noexcept;
void SetDefaultEditStyleController(TkvEditStyleController *controller) noexcept;

class TkvCustomEditStyle : public TkvContainerStyle {
    CL_CLASS(TkvCustomEditStyle, TkvContainerStyle)

public:
    void Create(TPersistent *owner, bool directAccessMode, TkvContainerStyle *parentStyle,
                TkvContainerStateType state) override;

    void Assign(TPersistent *source) override;

    // The fourteen assigned-value bits (the container's ten and the editor's four).
    TkvContainerStyleValues AssignedValues() const;
    void SetAssignedValues(TkvContainerStyleValues value);

    TkvEditBorderStyle BorderStyle() { return static_cast<TkvEditBorderStyle>(TkvContainerStyle::BorderStyle()); }
    void SetBorderStyle(TkvEditBorderStyle value) {
        TkvContainerStyle::SetBorderStyle(static_cast<TkvContainerBorderStyle>(value));
    }
    TkvEditButtonStyle ButtonStyle();
    void SetButtonStyle(TkvEditButtonStyle value);
    TkvEditButtonTransparency ButtonTransparency();
    void SetButtonTransparency(TkvEditButtonTransparency value);
    TkvEditPopupBorderStyle PopupBorderStyle();
    void SetPopupBorderStyle(TkvEditPopupBorderStyle value);
    // The unpublished byte value: kept, looked up and copied like the others.
    std::uint8_t ExtraValue();
    void SetExtraValue(std::uint8_t value);
    // A flag of the style, True from construction; copied by Assign.
    bool ExtraFlag() const noexcept { return extraFlag_; }
    void SetExtraFlag(bool value) noexcept { extraFlag_ = value; }

    TkvEditStyleController *StyleController();
    // The normal style of the parent editor's state styles, or null for a root style.
    TkvCustomEditStyle *ParentEditStyle() const noexcept;

    // Whether the value is written: assigned here, not hidden in a state style, and the owning
    // editor agrees for the style's state. StyleController only for the normal style.
    bool IsEditValueStored(TkvContainerStyleValue value);
    bool IsStyleControllerStored();

    TkvStyleController *GetGlobalStyleController() override;
    TkvContainerStyleValues GetHiddenStyleValues() override {
        return TkvContainerStyleValues::FromMask(kvEditHiddenStyleValuesMask);
    }
    int StyleValueCount() override { return kvEditStyleValueCount; }
    bool NameOfStyleValue(int index, std::wstring &name) override;
    bool IsStyleValueAssigned(TkvContainerStyleValue value) override;
    void ResetToDefaults() override;

private:
    // The stored field of the first edit style along the controller chain with the value assigned.
    template <class T> bool lookup(TkvContainerStyleValue value, T TkvCustomEditStyle::*field, T &result);
    template <class T> T read(TkvContainerStyleValue value, T TkvCustomEditStyle::*field, T rootFallback);
    template <class T> void write(TkvContainerStyleValue value, T TkvCustomEditStyle::*field, T newValue);
    bool isOwnAssigned(TkvContainerStyleValue value) const noexcept { return (editAssigned_ & bit(value)) != 0; }
    static constexpr std::uint32_t bit(TkvContainerStyleValue value) noexcept {
        return std::uint32_t{1} << static_cast<unsigned>(value);
    }

    TkvEditButtonStyle buttonStyle_ = btsDefault;
    TkvEditButtonTransparency buttonTransparency_ = ebtNone;
    TkvEditPopupBorderStyle popupBorderStyle_ = epbsDefault;
    std::uint8_t extraValue_ = 0;
    bool extraFlag_ = true;
    // Bits 10 to 13 of the assigned values; the container keeps the others.
    std::uint32_t editAssigned_ = 0;
};

class TkvEditStyle : public TkvCustomEditStyle {
    CL_CLASS(TkvEditStyle, TkvCustomEditStyle)
};

class TkvEditStyleController : public TkvStyleController {
    CL_CLASS(TkvEditStyleController, TkvStyleController)

public:
    TkvEditStyle *Style() const noexcept { return editStyle(cssNormal); }
    TkvEditStyle *StyleFocused() const noexcept { return editStyle(cssFocused); }
    TkvEditStyle *StyleDisabled() const noexcept { return editStyle(cssDisabled); }
    TkvEditStyle *StyleHot() const noexcept { return editStyle(cssHot); }

    TkvContainerStyleClass StyleClass() override { return TkvEditStyle::ClassInfo(); }

protected:
    // The default controller is forgotten first, so no style is left pointing at it.
    void Destroy() override;

private:
    TkvEditStyle *editStyle(TkvContainerStateType state) const noexcept {
        return static_cast<TkvEditStyle *>(Styles()->Values(state));
    }
};

#endif
