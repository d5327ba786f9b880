// kvEdit: the base of every editor control.
//
// An editor holds one value, the edit value, as a variant, and shows it through an inner edit
// control made by a descendant, or by painting. It keeps a modified state while the user edits,
// validates the typed text on Enter, on leaving and when a modal form closes, raises its change
// events in a fixed order (its own properties' first, then a repository item's), and can take its
// settings from a shared repository item instead of its own properties. The unit also creates
// the default edit style controller and frees the editors' shared registries at its end.
#ifndef KV_EDIT_H
#define KV_EDIT_H

#include <windows.h>

#include <classlib/component.h>
#include <classlib/controls.h>
#include <classlib/events.h>
#include <classlib/forms.h>
#include <classlib/messages.h>
#include <classlib/persistent.h>
#include <classlib/units.h>
#include <classlib/variant.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "kvContainer.h"
#include "kvControlServices.h"
#include "kvEditButtons.h"
#include "kvEditChangeEvents.h"
#include "kvEditProperties.h"
#include "kvEditRepository.h"
#include "kvEditStyles.h"
#include "kvEditViewData.h"
#include "kvEditViewInfo.h"

class TkvCustomEdit;

// The cursor id the unit registers its mouse-wheel cursor under.
inline constexpr TCursor crKvEditMouseWheel = 4101;

// Loads the wheel cursor, makes the default edit style controller (default and current), and at
// its end frees the properties registry and that controller.
extern TUnit kvEditUnit;

// --- the inner edit, as the editor sees it

// A control hosted inside a container.
struct IkvContainerInnerControl : IInterface {
    virtual TWinControl *GetControl() = 0;
    virtual TkvContainer *GetControlContainer() = 0;
};

// What the editor asks of the control its text lives in.
struct IkvCustomInnerEdit : IkvContainerInnerControl {
    // Through the control's own (saved) window procedure.
    virtual LRESULT CallDefWndProc(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    virtual Variant GetEditValue() = 0;
    virtual TNotifyEvent GetOnChange() = 0;
    virtual bool GetReadOnly() = 0;
    // True raises the bounds lock, False lowers it (never below 0).
    virtual void LockBounds(bool lock) = 0;
    // Focuses the control without selecting its text.
    virtual void SafelySetFocus() = 0;
    virtual void SetEditValue(const Variant &value) = 0;
    virtual void SetParent(TWinControl *parent) = 0;
    virtual void SetOnChange(TNotifyEvent handler) = 0;
    virtual void SetReadOnly(bool value) = 0;
};

// Offered by an inner control that talks through a helper object rather than itself.
struct IkvInnerEditHelper : IInterface {
    virtual IkvCustomInnerEdit *GetHelper() = 0;
};

// --- the data binding

// What an editor that is bound to no data source answers about its data.
class TkvEditDataBinding : public TPersistent {
    CL_CLASS(TkvEditDataBinding, TPersistent)

public:
    virtual void Create(TkvCustomEdit *edit);

    TkvCustomEdit *Edit() const noexcept { return edit_; }
    // The provider object (owned), of GetDefaultValuesProviderClass.
    TkvCustomEditDefaultValuesProvider *DefaultValuesProvider() const noexcept { return provider_; }
    IkvEditDefaultValuesProvider *IDefaultValuesProvider() const noexcept { return provider_; }

    // --- overridable, in slot order
    virtual bool CanModify() { return true; }
    // The active properties' Changed; with a repository item also the editor's PropertiesChanged.
    virtual void Refresh();
    virtual std::wstring GetDisplayText();
    virtual bool GetModified();
    virtual Variant GetEditValue();
    virtual void Reset();
    virtual void SetDisplayValue(const Variant &value);
    virtual bool CanPostEditValue() { return true; }
    // Hands the edit value over to the data (nothing to hand it to here).
    virtual void SetStoredValue(const Variant &) {}
    virtual bool IsDesigning();
    virtual bool IsDataAware() { return false; }
    virtual TClass GetDefaultValuesProviderClass() { return TkvCustomEditDefaultValuesProvider::ClassInfo(); }
    // The editor's SynchronizeDisplayValue.
    virtual void UpdateDisplayValue();
    // The data's own edit request; always granted without data.
    virtual bool SetEditMode() { return true; }
    virtual bool HasDataSource() { return false; }
    virtual void DefaultValuesChanged() {}
    virtual void UpdateNotConnectedDisplayValue() {}

protected:
    void Destroy() override;
    TPersistent *GetOwner() override;

private:
    TkvCustomEdit *edit_ = nullptr;
    TkvCustomEditDefaultValuesProvider *provider_ = nullptr;
};

using TkvEditDataBindingClass = TClass;

// The data an in-place editor keeps between its activations (none in the base editor).
class TkvCustomEditData : public TObject {
    CL_CLASS(TkvCustomEditData, TObject)

public:
    virtual void Create(TkvCustomEdit *edit) { Edit = edit; }
    TkvCustomEdit *Edit = nullptr;
    bool Cleared = false;
};

using TkvEditEditingEvent = TEvent<void(TObject *sender, bool &canEdit)>;

// --- the editor

class TkvCustomEdit : public TkvContainer,
                      public IkvEditRepositoryItemListener,
                      public IkvEditValidationSite,
                      public IkvEditChangeEventsTarget {
    CL_CLASS(TkvCustomEdit, TkvContainer)

public:
    void Create(TComponent *owner) override;
    // The second constructor: an in-place editor (CreateEx).
    virtual void Create(TComponent *owner, bool inPlace);
    void Loaded() override;
    void SetName(const std::wstring &name) override;
    void SetParent(TWinControl *parent) override;
    void SetBounds(int left, int top, int width, int height) override;
    // Width and Height are the editor's own stream properties, not the published ones.
    void GetPublishedProperties(TPropList &list) override;

    // --- properties and repository item
    // The editor's own properties (owned).
    TkvCustomEditProperties *Properties() const noexcept { return properties_; }
    void SetProperties(TkvCustomEditProperties *value);
    // The repository item's properties when an item is set, else the own ones.
    TkvCustomEditProperties *ActiveProperties();
    TkvEditRepositoryItem *RepositoryItem() const noexcept { return repositoryItem_; }
    // Raises "The repository item is not acceptable" for an item whose properties do not fit.
    void SetRepositoryItem(TkvEditRepositoryItem *value);
    TkvEditDataBinding *DataBinding() const noexcept { return dataBinding_; }
    TkvEditChangeEventsCatcher *ChangeEventsCatcher() const noexcept { return changeEventsCatcher_; }

    // --- the value
    Variant EditValue() { return GetEditValue(); }
    bool EditModified() const noexcept { return editModified_; }
    // Setting it also sets ModifiedAfterEnter and clears the validated flag.
    void SetEditModified(bool value);
    bool ModifiedAfterEnter() const noexcept { return modifiedAfterEnter_; }
    // Clearing it clears EditModified too.
    void SetModifiedAfterEnter(bool value);
    // Whether the current text has been validated.
    bool IsValidated() const noexcept { return validated_; }
    // Answers whether the text is acceptable; with raiseOnError a failure raises its text.
    bool ValidateEdit(bool raiseOnError);

    bool AutoSize() const noexcept { return autoSize_; }
    bool InPlaceMode() override { return inPlace_; }
    TkvCustomEditData *EditData() const noexcept { return editData_; }
    IkvCustomInnerEdit *InnerEdit() const noexcept { return innerEdit_; }
    // The pressed button (held by the mouse), -1 none.
    int PressedButton() const noexcept { return pressedButton_; }

    // The styles are edit styles.
    TkvCustomEditStyle *Style() const noexcept { return static_cast<TkvCustomEditStyle *>(TkvContainer::Style()); }
    TkvCustomEditStyle *StyleFocused() const noexcept {
        return static_cast<TkvCustomEditStyle *>(TkvContainer::StyleFocused());
    }
    TkvCustomEditStyle *StyleDisabled() const noexcept {
        return static_cast<TkvCustomEditStyle *>(TkvContainer::StyleDisabled());
    }
    TkvCustomEditStyle *StyleHot() const noexcept {
        return static_cast<TkvCustomEditStyle *>(TkvContainer::StyleHot());
    }
    TkvCustomEditStyle *ActiveStyle() { return static_cast<TkvCustomEditStyle *>(TkvContainer::ActiveStyle()); }
    TkvCustomEditViewInfo *ViewInfo() const noexcept {
        return static_cast<TkvCustomEditViewInfo *>(TkvContainer::ViewInfo());
    }

    // --- state the descendants and the inner edit read
    bool IsLoading() const noexcept { return ComponentState().Contains(csLoading); }
    bool IsDestroying() const noexcept { return ComponentState().Contains(csDestroying) || destroying_; }
    // The user-input flag: set while a change comes from the keyboard, the clipboard or the
    // clear shortcut.
    bool UserInput() const noexcept { return userInput_; }
    void SetUserInput(bool value) noexcept { userInput_ = value; }
    // Between BeginPostEditValue and EndPostEditValue.
    bool IsPosting() const noexcept { return posting_; }
    // While the update lock is held, SetEditValue does nothing.
    void LockUpdate(bool lock) noexcept;
    int UpdateLockCount() const noexcept { return updateLockCount_; }
    // Inside SetEditValue.
    bool IsEditValueLocked() const noexcept { return editValueLockCount_ > 0; }
    // True locks the change events; the last False raises what is pending when invoke is set.
    void LockChangeEvents(bool lock, bool invoke = true);
    // Saves and restores ModifiedAfterEnter and EditModified around an event call.
    void SaveModified();
    void RestoreModified();
    // The editing request: CanBeginEditing, the binding, CanModify and OnEditing.
    bool DoEditing();
    // Raises OnAfterKeyDown.
    void DoAfterKeyDown(WORD &key, TShiftState shift);
    // The inner edit forwards its mouse press with this set.
    bool InnerMouseDown = false;
    // While the inner edit moves itself (its SetBounds), the editor does not recalculate.
    void BeginInnerEditBoundsUpdate() noexcept { ++innerBoundsUpdate_; }
    void EndInnerEditBoundsUpdate() noexcept;
    bool InnerEditBoundsUpdating() const noexcept { return innerBoundsUpdate_ > 0; }
    // An inner edit exists and has its window.
    bool IsInnerEditUsable();
    // The view is recomputed from the cursor's place and the keyboard.
    void ShortRefreshContainer() { UpdateStateFromCursor(); }

    // --- operations, in slot order of those the editor adds
    virtual void AdjustInnerEditPosition();
    virtual void EndPostEditValue() { posting_ = false; }
    virtual void BeginPostEditValue() { posting_ = true; }
    virtual bool CanAutoSize();
    virtual bool IsAutoWidth();
    virtual bool IsTextChangingKey(WORD, TShiftState) { return false; }
    virtual bool IsTextChangingChar(wchar_t) { return false; }
    virtual bool CanModify();
    // The change handler given to the inner edit.
    virtual void ChangeHandler(TObject *sender);
    virtual IkvCustomInnerEdit *CreateInnerEdit();
    // The caller frees it.
    virtual TkvCustomEditViewData *CreateViewData();
    virtual void ClickDefaultButton();
    virtual void DoButtonClick(int index);
    virtual void DoButtonDown(int) {}
    virtual void DoButtonUp(int) {}
    virtual void DoEditKeyDown(WORD &key, TShiftState shift);
    virtual void DoEditKeyPress(wchar_t &key);
    virtual void DoEditKeyUp(WORD &, TShiftState) {}
    // Runs before Tab moves the focus away.
    virtual void DoBeforeTab() {}
    void DoChange() override;
    void DoEditValueChanged() override;
    virtual void GetAutoSizeParams(int &lineCount, int &width);
    virtual TkvEditDataBindingClass GetDataBindingClass() { return TkvEditDataBinding::ClassInfo(); }
    std::wstring GetDisplayText() override { return std::wstring{}; }
    virtual TClass GetEditDataClass() { return nullptr; }
    virtual Variant GetEditValue() { return editValue_; }
    // A TWinControl class offering IkvCustomInnerEdit (or IkvInnerEditHelper), or none.
    virtual TClass GetInnerEditClass() { return nullptr; }
    // Focuses the editor, selects all, beeps when asked and raises a non-empty text.
    virtual void HandleValidationError(const std::wstring &errorText);
    virtual void Initialize();
    virtual void ReleaseEditData() {}
    virtual void InitializeInnerEdit();
    virtual void InitializeViewData(TkvCustomEditViewData *viewData);
    virtual bool CanBeginEditing() { return true; }
    virtual void InternalSetDisplayValue(const Variant &) {}
    // The single road by which the edit value changes.
    virtual void InternalSetEditValue(const Variant &value);
    virtual void SetDisplayValue(const Variant &value);
    virtual bool IsActiveControl();
    virtual bool IsDefaultButtonShortCut(WORD key, TShiftState shift);
    virtual bool HasEditValue() { return !editValue_.IsNull(); }
    virtual bool IsTransparentBackground() { return transparentBackground_; }
    virtual bool IsValidChar(wchar_t ch);
    // Paints the editor without an inner edit through a temporary view info.
    virtual void PaintNonInnerEdit(TkvCanvas *canvas);
    virtual void PrepareDisplayValue(const Variant &editValue, Variant &displayValue, bool editing);
    virtual void SynchronizeButtonPress(TkvCustomEditViewInfo *old, bool buttonPressed);
    virtual void PropertiesChanged(TObject *sender);
    virtual bool IsEffectivelyReadOnly();
    virtual void RepositoryItemChanged() {}
    virtual void RepositoryItemChanging() {}
    virtual void Reset();
    virtual bool CanForwardActivationKey(wchar_t) { return true; }
    virtual bool SetDisplayText(const std::wstring &) { return false; }
    virtual void SetAutoSize(bool value);
    virtual void SetEditValue(const Variant &value);
    // SetEditValue without the edit-value lock (Reset, Clear, the clear shortcut, a spin value).
    virtual void AssignEditValue(const Variant &value);
    virtual void SetInnerEditDisplayValue(const Variant &) {}
    virtual void SynchronizeDisplayValue() {}
    virtual void SynchronizeEditValue() {}
    virtual void UpdateDrawValue() {}
    virtual bool ValidateKeyDown(WORD &key, TShiftState shift);
    virtual bool ValidateKeyPress(wchar_t &key);
    virtual bool HandlesNavigationKeys() { return false; }
    virtual void InnerEditWndProc(TMessage &message);
    virtual void HookInnerEditWndProc();
    virtual void UnhookInnerEditWndProc();
    // In-place activation; editData is made from GetEditDataClass when none is given.
    virtual void Activate(TkvCustomEditData *&editData);
    virtual void ActivateByKey(wchar_t key, TkvCustomEditData *&editData);
    virtual void ActivateByMouse(TShiftState shift, int x, int y, TkvCustomEditData *&editData);
    virtual void Clear();
    virtual void CopyToClipboard() {}
    virtual void CutToClipboard() {}
    virtual void PostEditValue();
    virtual TClass GetPropertiesClass() { return TkvCustomEditProperties::ClassInfo(); }
    virtual bool IsChildWindow(HWND window);
    virtual bool IsInnerEditShown() { return false; }
    virtual bool IsRepositoryItemAcceptable(TkvEditRepositoryItem *item);
    virtual void PasteFromClipboard() {}
    virtual void PrepareEditValue(const Variant &text, Variant &value, bool editing);
    virtual void SelectAll() {}

    // Validates (when asked), then hands the value to the data or, in place, raises OnPostEditValue.
    void InternalPostEditValue(bool validate);

    // --- IkvEditRepositoryItemListener
    void ItemRemoved(TkvEditRepositoryItem *item) override;
    void ItemPropertiesChanged(TkvEditRepositoryItem *item) override;
    // --- IkvEditValidationSite
    bool HasValidateHandlers() override;
    void DoOnValidate(Variant &displayValue, std::wstring &errorText, bool &error) override;
    // --- IkvEditChangeEventsTarget
    bool IsLoadingOrDestroying() override { return IsLoading() || IsDestroying(); }
    bool HasChangeHandlers() override;
    bool HasEditValueChangedHandlers() override;

    // --- the container's and the class library's operations
    bool RecalculateState(const TPoint &p, int button, TShiftState shift) override;
    // With recalculate, button states are compared against the old picture.
    bool RecalculateState(const TPoint &p, int button, TShiftState shift, bool recalculate);
    void AlignInnerControl() override;
    bool IgnoresTabKey() override { return true; }
    bool UsesNativeStyle() override;
    void FocusInnerControl() override;
    TRect GetBorderExtent() override;
    TkvContainerStyleClass ContainerStyleClass() override;
    TkvContainerViewInfoClass ViewInfoClass() override;
    TkvContainerStyleValues GetHiddenStyleValues() override;
    void GetTabOrderList(TList<TWinControl *> &list) override;
    void FocusChanged() override;
    void CreateHandle() override;
    void WndProc(TMessage &message) override;
    void Dispatch(TMessage &message) override;
    // The inner edit hands its keys and mouse to these.
    void KeyDown(WORD &key, TShiftState shift) override;
    void KeyPress(wchar_t &key) override;
    void KeyUp(WORD &key, TShiftState shift) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseEnter(TControl *control) override;
    void Click() override;
    void DblClick() override;
    void DoEnter() override;
    void DoExit() override;
    void DragOver(TObject *source, int x, int y, TDragState state, bool &accept) override {
        inherited::DragOver(source, x, y, state, accept);
    }
    void DragDrop(TObject *source, int x, int y) override { inherited::DragDrop(source, x, y); }

    // --- events
    TkvEditEditingEvent OnEditing;
    // Raised for keys the editor consumes itself.
    TKeyEvent OnAfterKeyDown;
    // Raised when an in-place editor posts its value.
    TNotifyEvent OnPostEditValue;
    // Only gives the properties' events a place among the editor's.
    TNotifyEvent PropertiesEvents;

protected:
    void Destroy() override;
    void Notification(TComponent *component, TOperation operation) override;
    void Paint() override;
    void CreateWnd() override;
    // The properties' changes wait for Loaded while the component is read.
    void ReadState(TReader *reader) override;
    // "Height" unless auto-sized, "Width" unless auto-sized to an auto width; neither when it
    // equals the ancestor's.
    void DefineProperties(TFiler *filer) override;

    // The in-place view state copied into every view data.
    TRect InPlaceBounds{};
    // The view data of the last recalculation (none before the first).
    TkvCustomEditViewData *LastViewData() const noexcept { return viewData_; }
    void SetPressedButton(int index) noexcept { pressedButton_ = index; }
    TkvTimer *DblClickTimer() const noexcept { return dblClickTimer_; }
    // The focus moves to the next control of the form (backwards with shift).
    void MoveFocusByTab(bool forward);

private:
    void createOwnProperties();
    void removePendingChar();
    void raiseChange();
    void raiseEditValueChanged();
    void runMarkedModified(void (TkvCustomEdit::*event)());
    void dblClickTimerHandler(TObject *sender);
    void propertiesChangedHandler(TObject *sender) { PropertiesChanged(sender); }
    void wmCut(TMessage &m);
    void wmPaste(TMessage &m);
    void cmDialogChar(TMessage &m);
    bool hotTracksLeave();
    bool isOwnOrActiveHandler(bool change);

    TkvCustomEditProperties *properties_ = nullptr;
    TkvEditRepositoryItem *repositoryItem_ = nullptr;
    Variant editValue_;
    Variant prevEditValue_;
    TkvEditDataBinding *dataBinding_ = nullptr;
    TkvEditChangeEventsCatcher *changeEventsCatcher_ = nullptr;
    IkvCustomInnerEdit *innerEdit_ = nullptr;
    WNDPROC savedInnerEditWndProc_ = nullptr;
    TWndMethod savedInnerWindowProc_;
    bool innerEditHooked_ = false;
    bool inPlace_ = false;
    TkvCustomEditData *editData_ = nullptr;
    bool autoSize_ = true;
    bool editModified_ = false;
    bool modifiedAfterEnter_ = false;
    bool validated_ = false;
    bool userInput_ = false;
    bool posting_ = false;
    bool escapeHandled_ = false;
    bool errorFocus_ = false;
    bool focusedState_ = false;
    bool transparentBackground_ = false;
    bool waitingForFirstParent_ = false;
    bool constructing_ = false;
    bool destroying_ = false;
    bool realigning_ = false;
    std::int32_t updateLockCount_ = 0;
    std::int32_t editValueLockCount_ = 0;
    int innerBoundsUpdate_ = 0;
    std::vector<std::pair<bool, bool>> modifiedStack_;
    int pressedButton_ = -1;
    TkvTimer *dblClickTimer_ = nullptr;
    TPoint lastMousePoint_{};
    // What drives the recalculation under way: 0 no mouse message, 1 a move, 2 a press, 3 a release.
    int mouseEvent_ = 0;
    TkvCustomEditViewData *viewData_ = nullptr;
};

using TkvCustomEditClass = TClass;

#endif
