// kvEditProperties: the settings object every editor keeps apart from itself (and a repository
// item may share between editors), its alignment and assigned-values companions, the provider of
// defaults a data source supplies, and the validation of a typed display value.
#ifndef KV_EDIT_PROPERTIES_H
#define KV_EDIT_PROPERTIES_H

#include <classlib/component.h>
#include <classlib/events.h>
#include <classlib/list.h>
#include <classlib/persistent.h>
#include <classlib/stdctrls.h>
#include <classlib/variant.h>

#include <cstdint>
#include <string>

#include "kvClasses.h"
#include "kvEditButtons.h"

class TkvCustomEditProperties;
class TkvCustomEditStyle;
class TkvCustomEditViewData;

enum TkvEditVertAlignment : std::uint8_t { taTopJustify, taBottomJustify, taVCenter };

using TShortCut = std::uint16_t;

inline constexpr TAlignment kvEditDefaultHorzAlignment = taLeftJustify;
inline constexpr TkvEditVertAlignment kvEditDefaultVertAlignment = taTopJustify;

class TkvEditAlignment : public TPersistent {
    CL_CLASS(TkvEditAlignment, TPersistent)

public:
    void Create(TkvCustomEditProperties *owner) { owner_ = owner; }

    TAlignment Horz() const noexcept { return horz_; }
    void SetHorz(TAlignment value);
    bool IsHorzAssigned() const noexcept { return isHorzAssigned_; }
    TkvEditVertAlignment Vert() const noexcept { return vert_; }
    void SetVert(TkvEditVertAlignment value);
    // Horz becomes unassigned.
    void Reset();
    // Worth writing: Horz assigned or Vert not the default.
    bool IsStored() const noexcept { return isHorzAssigned_ || vert_ != kvEditDefaultVertAlignment; }
    void Assign(TPersistent *source) override;

    TNotifyEvent OnChanged;

protected:
    TPersistent *GetOwner() override;

private:
    friend class TkvCustomEditProperties;
    void changed();

    TkvCustomEditProperties *owner_ = nullptr;
    TAlignment horz_ = kvEditDefaultHorzAlignment;
    TkvEditVertAlignment vert_ = kvEditDefaultVertAlignment;
    bool isHorzAssigned_ = false;
};

// Which settings of the properties were assigned rather than left to the provider.
class TkvCustomEditPropertiesValues : public TPersistent {
    CL_CLASS(TkvCustomEditPropertiesValues, TPersistent)

public:
    virtual void Create(TkvCustomEditProperties *owner) { owner_ = owner; }

    bool ReadOnly() const noexcept { return readOnly_; }
    void SetReadOnly(bool value);

protected:
    TPersistent *GetOwner() override;
    void ownerChanged();

private:
    friend class TkvCustomEditProperties;
    TkvCustomEditProperties *owner_ = nullptr;
    bool readOnly_ = false;
};

// The defaults a data source gives for what an editor left unassigned.
struct IkvEditDefaultValuesProvider : IInterface {
    virtual TAlignment DefaultAlignment() = 0;
    virtual bool DefaultEditable() = 0;
    virtual int DefaultDataKind() = 0;
    virtual bool DefaultReadOnly() = 0;
    virtual bool HasDataSource(bool flag) = 0;
    virtual bool IsValidChar(wchar_t ch) = 0;
};

class TkvCustomEditDefaultValuesProvider : public TkvInterfacedPersistent, public IkvEditDefaultValuesProvider {
    CL_CLASS(TkvCustomEditDefaultValuesProvider, TkvInterfacedPersistent)

public:
    TAlignment DefaultAlignment() override { return kvEditDefaultHorzAlignment; }
    bool DefaultEditable() override { return true; }
    int DefaultDataKind() override { return 0; }
    bool DefaultReadOnly() override { return false; }
    bool HasDataSource(bool) override { return false; }
    bool IsValidChar(wchar_t) override { return true; }

protected:
    // Every properties object still referring to the provider lets it go.
    void Destroy() override;
};

// The editor side of validation: the editor implements it.
struct IkvEditValidationSite : IInterface {
    // Whether its own properties or its repository item's properties have an OnValidate handler.
    virtual bool HasValidateHandlers() = 0;
    // Raises its own properties' OnValidate, then its repository item's.
    virtual void DoOnValidate(Variant &displayValue, std::wstring &errorText, bool &error) = 0;
    virtual std::wstring GetDisplayText() = 0;
};

using TkvEditButtonClickEvent = TEvent<void(TObject *sender, int buttonIndex)>;
using TkvEditValidateEvent =
    TEvent<void(TObject *sender, Variant &displayValue, std::wstring &errorText, bool &error)>;
using TkvEditPropertiesChangedEvent = TEvent<void(TObject *sender)>;

using TkvCustomEditPropertiesValuesClass = TClass;

class TkvCustomEditProperties : public TkvInterfacedPersistent {
    CL_CLASS(TkvCustomEditProperties, TkvInterfacedPersistent)

public:
    void Create(TPersistent *owner) override;

    // --- overridable, in slot order
    virtual void AlignmentChanged(TObject *sender);
    virtual void SetAlignment(TkvEditAlignment *value);
    virtual void ButtonsChanged(TkvEditButtons *sender, TCollectionItem *item);
    virtual bool CanValidate() { return false; }
    virtual bool DefaultUseLeftAlignmentOnEditing() { return true; }
    virtual void ReleaseDefaultValuesProvider() { provider_ = nullptr; }
    virtual void FreeNotification(TComponent *) {}
    virtual TClass GetAssignedValuesClass() { return TkvCustomEditPropertiesValues::ClassInfo(); }
    virtual TAlignment GetDefaultHorzAlignment();
    virtual bool IsDataAware() { return false; }
    virtual void GetValidationErrorText(int kind, std::wstring &text);
    virtual bool HasProviderDataSource(bool flag);
    virtual TClass GetViewDataClass();
    virtual bool SeparatesChangeEvents() { return false; }
    virtual bool EditingFormatNeedsFocus() { return true; }
    virtual bool HandlesTabKey() { return false; }
    virtual bool CanCompareEditValues() { return false; }
    // The editor class these properties belong to.
    virtual TClass GetEditClass();
    virtual TClass GetStyleClass();
    virtual TClass GetViewInfoClass();
    virtual void Changed();
    virtual bool CompareDisplayValues(const Variant &a, const Variant &b);
    virtual TkvCustomEditProperties *CreateInstanceOfSameClass();
    // The view data records the flag.
    virtual TkvCustomEditViewData *CreateViewData(TkvCustomEditStyle *style, bool inPlace, bool flag = false);
    virtual void GetWideText(std::wstring &text) { text.clear(); }
    virtual int GetSupportedOperations() { return buttons_->Count() > 0 ? 32 : 0; }
    virtual bool IsEditValueValid(Variant &) { return true; }
    virtual bool CanReset() { return false; }
    virtual void PrepareDisplayValue(const Variant &editValue, Variant &displayValue, bool editing);
    virtual void RestoreDefaults();
    virtual void ValidateDisplayValue(Variant &displayValue, std::wstring &errorText, bool &error,
                                      IkvEditValidationSite *edit);

    // --- the rest
    void BeginUpdate() noexcept { ++updateCount_; }
    void EndUpdate(bool invoke = true);
    int UpdateCount() const noexcept { return updateCount_; }
    void Assign(TPersistent *source) override;
    void GetPublishedProperties(TPropList &list) override;

    // Refreshed from the alignment in use on every read.
    TkvEditAlignment *Alignment();
    TkvCustomEditPropertiesValues *AssignedValues() const noexcept { return assignedValues_; }
    bool AutoSelect() const noexcept { return autoSelect_; }
    void SetAutoSelect(bool value);
    TkvEditButtons *Buttons() const noexcept { return buttons_; }
    std::uint8_t ButtonsLayout() const noexcept { return buttonsLayout_; }
    void SetButtonsLayout(std::uint8_t value);
    TShortCut ClickShortCut() const noexcept { return clickShortCut_; }
    void SetClickShortCut(TShortCut value) noexcept { clickShortCut_ = value; }
    TShortCut ClearShortCut() const noexcept { return clearShortCut_; }
    void SetClearShortCut(TShortCut value) noexcept { clearShortCut_ = value; }
    bool UseLeftAlignmentOnEditing() const noexcept { return useLeftAlignmentOnEditing_; }
    void SetUseLeftAlignmentOnEditing(bool value);
    bool MouseWheelEnabled() const noexcept { return mouseWheelEnabled_; }
    void SetMouseWheelEnabled(bool value) noexcept { mouseWheelEnabled_ = value; }
    bool BeepOnError() const noexcept { return beepOnError_; }
    void SetBeepOnError(bool value) noexcept { beepOnError_ = value; }
    bool ImmediatePost() const noexcept { return immediatePost_; }
    void SetImmediatePost(bool value) noexcept { immediatePost_ = value; }
    bool TransparentBackground() const noexcept { return transparentBackground_; }
    void SetTransparentBackground(bool value);
    bool ValidateOnEnter() const noexcept { return validateOnEnter_; }
    void SetValidateOnEnter(bool value) noexcept { validateOnEnter_ = value; }
    bool ReadOnly();
    void SetReadOnly(bool value);
    IkvEditDefaultValuesProvider *DefaultValuesProvider() const noexcept { return provider_; }
    void SetDefaultValuesProvider(IkvEditDefaultValuesProvider *provider);
    // While set, Changed does nothing.
    void SetChangedLocked(bool value) noexcept { changedLocked_ = value; }
    // The alignment the editor uses.
    TkvEditAlignment *InnerAlignment() const noexcept { return innerAlignment_; }
    TPersistent *Owner() { return GetOwner(); }

    // What is written to a stream.
    bool IsAlignmentStored() const noexcept { return innerAlignment_->IsStored(); }
    bool IsReadOnlyStored() const noexcept { return assignedValues_->ReadOnly(); }
    bool IsUseLeftAlignmentOnEditingStored();

    TkvEditButtonClickEvent OnEditButtonClick;
    TNotifyEvent OnChange;
    TNotifyEvent OnEditValueChanged;
    TkvEditValidateEvent OnValidate;
    TkvEditPropertiesChangedEvent OnPropertiesChanged;

protected:
    void Destroy() override;

private:
    TkvFreeNotificator *freeNotificator_ = nullptr;
    TkvEditAlignment *alignment_ = nullptr;
    TkvCustomEditPropertiesValues *assignedValues_ = nullptr;
    bool autoSelect_ = true;
    TkvEditButtons *buttons_ = nullptr;
    std::uint8_t buttonsLayout_ = 0;
    TShortCut clickShortCut_ = 16397;
    TShortCut clearShortCut_ = 0;
    bool useLeftAlignmentOnEditing_ = true;
    bool mouseWheelEnabled_ = true;
    TkvEditAlignment *innerAlignment_ = nullptr;
    int updateCount_ = 0;
    bool changedLocked_ = false;
    bool beepOnError_ = false;
    bool immediatePost_ = false;
    bool transparentBackground_ = false;
    bool validateOnEnter_ = false;
    bool readOnly_ = false;
    IkvEditDefaultValuesProvider *provider_ = nullptr;
};

// The work inside one update of the properties, ended (invoke as EndUpdate takes it) also when
// the work throws. Without properties the work just runs.
template <class F> void RunInUpdate(TkvCustomEditProperties *properties, F &&work, bool invoke = true) {
    if (properties == nullptr) {
        work();
        return;
    }
    properties->BeginUpdate();
    try {
        work();
    } catch (...) {
        properties->EndUpdate(invoke);
        throw;
    }
    properties->EndUpdate(invoke);
}

// Every live properties object, in the order made.
const TList<TkvCustomEditProperties *> &EditPropertiesList();

// The first component up the owners of a persistent (itself included), or none.
TComponent *FindOwnerComponent(TPersistent *persistent);

#endif
