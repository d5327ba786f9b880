// kvContainer: the frame the editors stand on, and the styles it is drawn in.
//
// A container style holds a border, colours, a font, edges, a shadow and hot tracking; what it
// does not set itself comes from the style controller's style of the same state, and what no
// controller sets from fixed fallback rules. Every container owns four styles, one a view state
// (normal, focused, disabled, hot); the state styles inherit from the normal one. A container
// hosts one inner control, draws its border in the style of its current state, gives itself a
// window region that follows the border and the shadow, and mirrors the inner control's system
// scroll bars with its own.
#ifndef KV_CONTAINER_H
#define KV_CONTAINER_H

#include <windows.h>

#include <classlib/component.h>
#include <classlib/graphics.h>
#include <classlib/persistent.h>

#include <cstdint>
#include <string>

#include "kvControls.h"
#include "kvGraphics.h"
#include "kvLookAndFeels.h"

enum TkvContainerBorderStyle : std::uint8_t { cbsNone, cbsSingle, cbsThick, cbsFlat, cbs3D, cbsUltraFlat, cbsOffice11 };

// 0, 1, 2, 2, 2, 1, 1 pixels.
int ContainerBorderWidth(TkvContainerBorderStyle style) noexcept;

enum TkvContainerStyleValue : std::uint8_t {
    csvBorderColor, csvBorderStyle, csvColor, csvEdges, csvFont, csvHotTrack, csvShadow, csvTextColor, csvTextStyle,
    csvTransparentBorder
};
using TkvContainerStyleValues = TSet<TkvContainerStyleValue>;
inline constexpr TkvContainerStyleValues kvAllContainerStyleValues{
    csvBorderColor, csvBorderStyle, csvColor,     csvEdges,     csvFont,
    csvHotTrack,    csvShadow,      csvTextColor, csvTextStyle, csvTransparentBorder};

enum TkvContainerStateType : std::uint8_t { cssNormal, cssFocused, cssDisabled, cssHot };

class TkvContainer;
class TkvContainerStyle;
class TkvContainerStyles;
class TkvStyleController;

// The program's default controller: styles without a controller of their own take from it.
TkvStyleController *GetDefaultStyleController() noexcept;
void SetDefaultStyleController(TkvStyleController *controller) noexcept;

class TkvContainerStyle : public TPersistent {
    CL_CLASS(TkvContainerStyle, TPersistent)

public:
    virtual void Create(TPersistent *owner, bool directAccessMode, TkvContainerStyle *parentStyle,
                        TkvContainerStateType state);
    void BeforeDestruction() override;

    void Assign(TPersistent *source) override;
    void BeginUpdate() noexcept { ++updateCount_; }
    void EndUpdate();

    bool DirectAccessMode() const noexcept { return directAccessMode_; }
    TPersistent *StyleOwner() const noexcept { return owner_; }
    TkvContainerStyle *ParentStyle() const noexcept { return parentStyle_; }
    TkvContainerStateType State() const noexcept { return state_; }
    bool IsRoot() const noexcept { return parentStyle_ == nullptr; }
    TkvContainerStyle *Root() noexcept { return parentStyle_ != nullptr ? parentStyle_ : this; }
    // The container that owns the style, or null.
    TkvContainer *Container() const noexcept;

    TkvContainerStyleValues AssignedValues() const;
    void SetAssignedValues(TkvContainerStyleValues value);
    TColor BorderColor();
    void SetBorderColor(TColor value);
    TkvContainerBorderStyle BorderStyle();
    void SetBorderStyle(TkvContainerBorderStyle value);
    TColor Color() { return GetColor(); }
    void SetColor(TColor value);
    TkvBorders Edges();
    void SetEdges(TkvBorders value);
    TFont *Font();
    void SetFont(TFont *value);
    bool HotTrack();
    void SetHotTrack(bool value);
    TkvLookAndFeel *LookAndFeel();
    void SetLookAndFeel(TkvLookAndFeel *value);
    bool Shadow();
    void SetShadow(bool value);
    TkvStyleController *StyleController();
    void SetStyleController(TkvStyleController *value);
    TColor TextColor() { return GetTextColor(); }
    void SetTextColor(TColor value);
    TFontStyles TextStyle() { return GetTextStyle(); }
    void SetTextStyle(TFontStyles value);
    bool TransparentBorder();
    void SetTransparentBorder(bool value);

    // The style font with the text colour and style applied.
    TFont *GetEffectiveFont();
    // Changes of the style font do not mark Font assigned while locked.
    void LockFont() noexcept { ++fontLock_; }
    void UnlockFont() noexcept { --fontLock_; }
    int UpdateCount() const noexcept { return updateCount_; }
    // The controller the values come from (the default one when none was chosen).
    TkvStyleController *ControllerInEffect() noexcept { return Root()->styleController_; }
    // Whether the property is written: assigned here, and the owning container agrees.
    bool IsValueStored(TkvContainerStyleValue value);

    TNotifyEvent OnChanged;

    // --- overridable, in slot order
    virtual void Changed();
    virtual void ControllerChanged();
    virtual void ControllerFreed(TkvStyleController *controller);
    virtual TColor FallbackBorderColor();
    virtual TkvContainerBorderStyle FallbackBorderStyle();
    virtual TColor FallbackColor();
    virtual TkvBorders FallbackEdges() { return kvAllBorders; }
    virtual bool FallbackHotTrack() { return true; }
    virtual bool FallbackShadow() { return false; }
    virtual TColor FallbackTextColor();
    virtual TFontStyles FallbackTextStyle();
    virtual bool FallbackTransparentBorder() { return true; }
    virtual void FontChanged(TObject *sender);
    virtual TColor GetColor();
    virtual TkvStyleController *GetGlobalStyleController() { return GetDefaultStyleController(); }
    virtual TColor GetControlColor();
    virtual TColor GetTextColor();
    virtual TFontStyles GetTextStyle();
    virtual TkvContainerStyleValues GetHiddenStyleValues() {
        return TkvContainerStyleValues{csvEdges, csvFont, csvHotTrack, csvShadow, csvTransparentBorder};
    }
    virtual int StyleValueCount() { return 10; }
    virtual bool NameOfStyleValue(int index, std::wstring &name);
    virtual bool HasBorder();
    virtual bool IsStyleValueAssigned(TkvContainerStyleValue value);
    virtual void ResetToDefaults();

    // The index of a value by its property name (ignoring case), or -1.
    int StyleValueByName(const std::wstring &name);
    // Takes the value out of the assigned set, keeping the stored value and sending no notice
    // (the control changed it and the style only follows).
    void ForgetAssignedValue(TkvContainerStyleValue value) noexcept { assignedValues_.Exclude(value); }
    // Refreshes the style font from the controller unless Font is assigned here.
    void RefreshFontFromController();

protected:
    void Destroy() override;
    TPersistent *GetOwner() override { return owner_; }

private:
    friend class TkvStyleController;
    // The stored field of the first style up the controller chain that has the value assigned.
    template <class T> bool lookup(TkvContainerStyleValue value, T TkvContainerStyle::*field, T &result);
    bool lookupFont(TFont *&result);
    void setOwnValue(TkvContainerStyleValue value, bool equal);
    // Values only the root style holds: any state style sets the root's.
    template <class T> void setRootValue(TkvContainerStyleValue value, T TkvContainerStyle::*field, T to);
    void fontChangedHandler(TObject *sender) { FontChanged(sender); }

    TColor borderColor_ = clDefault;
    TkvContainerBorderStyle borderStyle_ = cbsNone;
    TkvBorders edges_ = kvAllBorders;
    bool hotTrack_ = true;
    bool shadow_ = false;
    bool transparentBorder_ = true;
    bool directAccessMode_ = false;
    int fontLock_ = 0;
    bool destroying_ = false;
    TkvLookAndFeel *lookAndFeel_ = nullptr;
    bool modified_ = false;
    TPersistent *owner_ = nullptr;
    TkvContainerStyle *parentStyle_ = nullptr;
    TkvContainerStateType state_ = cssNormal;
    TFontStyles textStyle_;
    int updateCount_ = 0;
    TFont *effectiveFont_ = nullptr;
    TkvContainerStyleValues assignedValues_;
    TkvStyleController *styleController_ = nullptr;
    TColor color_ = clWindow;
    TFont *font_ = nullptr;
    bool ownsFont_ = false;
    TColor textColor_ = clWindowText;
};

using TkvContainerStyleClass = TClass;

// The four state styles of a container, owned.
class TkvContainerStyles : public TObject {
    CL_CLASS(TkvContainerStyles, TObject)

public:
    virtual void Create(TPersistent *owner, TkvContainerStyleClass styleClass);

    TkvContainerStyle *Values(TkvContainerStateType state) const noexcept { return styles_[state]; }
    TkvContainerStyle *Style() const noexcept { return styles_[cssNormal]; }
    TkvContainerStyle *StyleFocused() const noexcept { return styles_[cssFocused]; }
    TkvContainerStyle *StyleDisabled() const noexcept { return styles_[cssDisabled]; }
    TkvContainerStyle *StyleHot() const noexcept { return styles_[cssHot]; }
    void SetValues(TkvContainerStateType state, TkvContainerStyle *value) { styles_[state]->Assign(value); }
    void SetOnChanged(TNotifyEvent handler);

protected:
    void Destroy() override;

private:
    TkvContainerStyle *styles_[4] = {};
};

using TkvContainerStylesClass = TClass;

class TkvStyleController : public TComponent {
    CL_CLASS(TkvStyleController, TComponent)

public:
    void Create(TComponent *owner) override;
    void Loaded() override;

    TkvContainerStyles *Styles() const noexcept { return styles_; }
    TkvContainerStyle *Style() const noexcept { return styles_->Style(); }
    int ListenerCount() const noexcept { return listeners_.Count(); }
    bool IsListening(TkvContainerStyle *style) const { return listeners_.IndexOf(style) >= 0; }
    // Fires OnStyleChanged, then tells every registered style.
    void StyleChanged(TObject *sender);
    // Scales the normal style's assigned font once, or asks the controller it takes its font from.
    void ScaleFont(int m, int d);

    TNotifyEvent OnStyleChanged;

    virtual void RegisterStyle(TkvContainerStyle *style);
    virtual TkvContainerStyleClass StyleClass() { return TkvContainerStyle::ClassInfo(); }
    virtual TkvContainerStylesClass StylesClass() { return TkvContainerStyles::ClassInfo(); }
    virtual void UnregisterStyle(TkvContainerStyle *style);

protected:
    void Destroy() override;

private:
    bool destroying_ = false;
    bool fontScaled_ = false;
    TList<TkvContainerStyle *> listeners_;
    TkvContainerStyles *styles_ = nullptr;
};

// --- the container

enum TkvContainerViewStateFlag : std::uint8_t { cvsNormal, cvsFocused, cvsDisabled, cvsHot };
using TkvContainerViewState = TSet<TkvContainerViewStateFlag>;

enum TkvContainerHotTrackState : std::uint8_t { chtsOff, chtsNormal, chtsHot };

// The width of the shadow right of and below the border.
inline constexpr int kvContainerShadowWidth = 3;

// The computed geometry and colours of a container, and their painting.
class TkvContainerViewInfo : public TObject {
    CL_CLASS(TkvContainerViewInfo, TObject)

public:
    TRect Bounds{};
    TRect BorderRect{};
    TRect ClientRect{};
    TColor BorderColor = clWindowFrame;
    TkvContainerBorderStyle BorderStyle = cbsNone;
    int BorderWidth = 0;
    TkvBorders Edges = kvAllBorders;
    bool Shadow = false;
    bool NativeStyle = false;
    TztThemedObjectType ThemedObjectType = totEdit;
    int NativePart = 1;
    int NativeState = 1;
    TkvContainerViewState ContainerState{cvsNormal};
    TkvContainerHotTrackState HotState = chtsOff;
    TColor BackgroundColor = clWindow;

    virtual void DrawBorder(TkvCanvas *canvas, TRect r);
    // The shadow bands, then the border one border width around the inner rectangle; the bands
    // stay cut out of the clip region.
    void DrawShadowAndBorder(TkvCanvas *canvas, const TRect &inner);
    virtual TkvContainerBorderStyle GetContainerBorderStyle() { return BorderStyle; }
    virtual void PaintContainer(TkvCanvas *canvas);
    virtual void SetBackgroundColor(TColor value) { BackgroundColor = value; }
    virtual void Create() {}
    // Copies only the client rectangle.
    virtual void Assign(TkvContainerViewInfo *source);
    virtual TkvRegion *CreateInvalidRegion() { return New<TkvRegion>(); }
    virtual void MoveBy(int dx, int dy);
    virtual void Draw(TkvCanvas *canvas) { PaintContainer(canvas); }
};

using TkvContainerViewInfoClass = TClass;

class TkvContainer : public TkvControl, public IkvMouseTrackingCaller {
    CL_CLASS(TkvContainer, TkvControl)

public:
    void Create(TComponent *owner) override;
    void Loaded() override;

    TkvContainerStyles *Styles() const noexcept { return styles_; }
    TkvContainerStyle *Style() const noexcept { return styles_->Style(); }
    TkvContainerStyle *StyleFocused() const noexcept { return styles_->StyleFocused(); }
    TkvContainerStyle *StyleDisabled() const noexcept { return styles_->StyleDisabled(); }
    TkvContainerStyle *StyleHot() const noexcept { return styles_->StyleHot(); }
    TkvContainerViewInfo *ViewInfo() const noexcept { return viewInfo_; }
    TWinControl *InnerControl() const noexcept { return innerControl_; }
    void SetInnerControl(TWinControl *control);
    // The inner control, or the container when there is none.
    TWinControl *GetInnerControlOrSelf() { return innerControl_ != nullptr ? innerControl_ : this; }
    bool FocusOnClickLocked = false;
    // The style of the current view state.
    TkvContainerStyle *ActiveStyle();

    bool Focused() override;
    void SetFocus() override;
    void GetTabOrderList(TList<TWinControl *> &list) override;
    TDragImageList *GetDragImages() override;
    bool IsStylePropertyStored(const std::wstring &name, bool isStateStyle);
    void LockAlignment(bool lock);
    void UpdateStateFromCursor();
    void SetColorFromOutside(TColor value);
    void ContextMenuLock(bool lock);

    void WndProc(TMessage &message) override;
    void Dispatch(TMessage &message) override;

    // IkvMouseTrackingCaller
    void MouseTrackingCallerMouseLeave() override { TrackingMouseLeave(); }

    // --- overridable, in slot order
    virtual bool IsContainerFocused() { return Focused(); }
    virtual void UpdateInnerControlStyle();
    virtual void CalculateViewInfo(const TPoint &p, bool hotTracking);
    virtual bool CanShowContextMenuAt(const TPoint &) { return true; }
    virtual void ContainerStyleChanged(TObject *sender);
    virtual void DescendantHook1() {}
    virtual void DescendantHook2() {}
    virtual bool DefaultParentColor() { return false; }
    virtual void TrackingMouseLeave();
    virtual TRect GetBorderExtent();
    virtual bool CalcInnerControlRegion(TRect &region);
    virtual TRect GetWindowRegionRect();
    virtual TkvContainerStyleClass ContainerStyleClass() { return TkvContainerStyle::ClassInfo(); }
    virtual TkvContainerStylesClass ContainerStylesClass() { return TkvContainerStyles::ClassInfo(); }
    virtual TkvContainerViewInfoClass ViewInfoClass() { return TkvContainerViewInfo::ClassInfo(); }
    virtual bool HasShadow();
    virtual TkvContainerStyle *SelectStateStyle(TkvContainerViewState state);
    virtual TkvContainerStyleValues GetHiddenStyleValues() { return TkvContainerStyleValues{}; }
    virtual bool KeepOwnTabOrder() { return false; }
    virtual bool IsBackgroundDependent() { return false; }
    virtual bool RecalculateState(const TPoint &p, int button, TShiftState shift);
    virtual void AlignInnerControl();
    virtual void SetClipToShape(TkvCanvas *canvas);
    virtual bool IgnoresTabKey() { return false; }
    virtual void DescendantHook3() {}
    void UpdateScrollBarBounds() override;
    virtual TztThemedObjectType NativeThemeKind() { return totEdit; }
    virtual int NativeThemePart() { return 1; }
    virtual int NativeThemeState(TkvContainerViewState state);
    virtual TRect ConvertScrollBarRect(const TRect &screenRect);
    virtual bool IsScrollBarEnabled(TScrollBarKind kind, const SCROLLBARINFO &info);
    virtual bool GetInnerScrollBarInfo(TScrollBarKind kind, SCROLLBARINFO &info);
    virtual bool IsScrollBarInfoVisible(const SCROLLBARINFO &info);
    virtual bool UsesNativeStyle();
    virtual void FocusInnerControl();
    virtual void ApplyDragKind();
    virtual void SetScrollBarVisibility(TkvControlScrollBar *bar, bool visible);
    virtual void ResetInnerControlRegion();
    virtual TRect GetHotTrackBounds();
    virtual bool HasPopupWindow() { return false; }
    virtual bool InnerControlDefaultHandler(TMessage &) { return false; }
    // CN_KEYDOWN and CN_SYSKEYDOWN of the inner control: true when a popup-menu shortcut took it.
    virtual bool HandleInnerKeyMessage(TMessage &message);
    virtual bool InPlaceMode() { return false; }
    virtual void SyncScrollBars(bool keepBounds = false);

    bool NeedsScrollBars() override { return false; }
    bool IsDesignTimeHit(int, int, TShiftState) override { return false; }
    bool CanFocusOnClick() override;
    bool MayFocus() override;
    void FocusChanged() override;
    void CursorChanged() override;
    void SetDragMode(TDragMode value) override;
    void SetDragKind(TDragKind value) override;
    void MouseEnter(TControl *control) override;
    void MouseLeave(TControl *control) override;
    void UpdateWindowRegion();

protected:
    void Destroy() override;
    void CreateParams(TCreateParams &params) override;
    void CreateWnd() override;
    void Resize() override;
    void ChangeScale(int m, int d) override;
    void Paint() override;
    void KeyDown(WORD &key, TShiftState shift) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void DoContextPopup(TPoint mousePos, bool &handled) override;
    void AlignControls(TControl *control, TRect &rect) override;
    void Notification(TComponent *component, TOperation operation) override;

private:
    void enabledChanged();
    // The form's focus to the inner control, when that can take it.
    void handFocusToInnerControl();
    void invalidateBorderBand();

    TkvContainerViewState cachedState_{cvsNormal};
    TkvContainerStyle *cachedStyle_ = nullptr;
    TWinControl *innerControl_ = nullptr;
    bool innerNoRegion_ = true;
    TRect innerRegion_{};
    bool destroying_ = false;
    bool innerBoundsUpdate_ = false;
    int alignmentLock_ = 0;
    int contextMenuLock_ = 0;
    bool stateUpdating_ = false;
    bool scrollBarsSyncing_ = false;
    bool internalChange_ = false;
    bool creating_ = false;
    TkvContainerStyles *styles_ = nullptr;
    TkvContainerViewInfo *viewInfo_ = nullptr;
};

// Sent to a container to copy its inner control's system scroll bars into its own.
constexpr UINT KV_SYNCSCROLLBARS = 0x8068;
// Sent to a custom popup: close it from its owner; open it again.
constexpr UINT KV_CLOSEPOPUP = 0x8065;
constexpr UINT KV_REOPENPOPUP = 0x8066;

// --- the custom popup window

// Holds the list of shown popups and the three thread hooks that close them.
extern TUnit kvContainerUnit;

class TkvCustomPopupWindow : public TkvPopupWindow {
    CL_CLASS(TkvCustomPopupWindow, TkvPopupWindow)

public:
    // The owner control is also the popup's owner component.
    void Create(TComponent *ownerControl) override;

    // True from creation: a popup window of its own that takes the focus.
    bool CaptureFocus = true;
    // When set, a capturing popup of a topmost form is topmost itself.
    bool Topmost = false;
    // With CaptureFocus, Popup runs a message loop of its own until the popup closes.
    bool ModalLoop = true;
    TControl *OwnerControl() const noexcept { return ownerControl_; }
    TWinControl *FocusedControl() const noexcept { return focusedControl_; }
    bool ClickedOnOwner() const noexcept { return clickedOnOwner_; }
    void SetClickedOnOwner(bool value) noexcept { clickedOnOwner_ = value; }
    bool ClosingByHook() const noexcept { return closingByHook_; }
    void SetClosingByHook(bool value) noexcept { closingByHook_ = value; }
    TkvContainerStyle *Style() const noexcept { return style_; }
    TkvContainerViewInfo *ViewInfo() const noexcept { return viewInfo_; }
    // Whether the popup stands in the list of shown popups.
    bool IsShown() const;

    TNotifyEvent OnClosed;
    TNotifyEvent OnClosing;
    TNotifyEvent OnShown;
    TNotifyEvent OnShowing;

    // --- overridable, in slot order
    virtual bool ShouldFitToWorkArea() { return false; }
    virtual void NotifyClosed();
    virtual void NotifyClosing();
    virtual void NotifyShown();
    virtual bool ErasesBackground() { return false; }
    virtual bool AcceptsSysKey(WORD key);
    virtual void CloseOnModalResult() { ClosePopup(); }
    virtual void StyleChanged(TObject *) {}
    virtual void FitToWorkArea(TPoint &p);
    virtual TkvContainerStyleClass StyleClass() { return TkvContainerStyle::ClassInfo(); }
    virtual TkvContainerViewInfoClass ViewInfoClass() { return TkvContainerViewInfo::ClassInfo(); }
    // Shows the popup below its owner and gives the focus to the control (or the first one).
    virtual void Popup(TWinControl *focusedControl);
    void Popup() override { Popup(nullptr); }
    void ClosePopup() override;
    void GetOwnerScreenBounds(TRect &rect) override;

    bool Focused() override;
    bool CanFocus() override;
    void CreateHandle() override;
    void Dispatch(TMessage &message) override;

protected:
    void Destroy() override;
    void Notification(TComponent *component, TOperation operation) override;
    void CreateParams(TCreateParams &params) override;
    void CreateWnd() override;
    void AdjustClientRect(TRect &rect) override;
    void Paint() override;
    void KeyDown(WORD &key, TShiftState shift) override;
    void Deactivate() override;

private:
    void runModalLoop();

    TWinControl *focusedControl_ = nullptr;
    HWND activatingWindow_ = nullptr;
    bool closingByHook_ = false;
    bool clickedOnOwner_ = false;
    TControl *ownerControl_ = nullptr;
    TkvContainerStyle *style_ = nullptr;
    TkvContainerViewInfo *viewInfo_ = nullptr;
};

// Whether popups that do not capture the focus always stand above every other window (true
// from the start).
bool PopupsStayOnTop() noexcept;
void SetPopupsStayOnTop(bool value) noexcept;
// The shown popups, in the order they were shown (the last is the top popup).
int ShownPopupCount();
TkvCustomPopupWindow *ShownPopup(int index);
// Whether the window belongs to the control: its own window, and with deep also its child
// windows, its windowed children's, and the popups opened from it.
bool IsWindowOfControl(HWND window, TControl *control, bool deep);
// Swallows the window's next message (answered 1), then gives it back its own window procedure.
// Each window keeps its own saved procedure.
void SwallowNextWindowMessage(HWND window);
// The unit's screen canvas (null while the unit is stopped).
TkvScreenCanvas *GetScreenCanvas() noexcept;

#endif
