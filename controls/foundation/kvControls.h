// kvControls: the library's base control and the services its controls share.
//
// TkvControl is the windowed base of every control of the library: its own canvas and look and
// feel, an optional pair of painted scroll bars with a size grip, message dispatch guarded by a
// weak link (a control freed inside its own handler is not touched again), focus on click, a
// drag-detect loop, the library's own drag and drop beside the class library's, middle-button
// automatic scrolling and popup menus that are either a TPopupMenu or any component offering
// IkvPopupMenu. TkvPopupWindow is the stay-on-top form dropped down next to an owner control.
#ifndef KV_CONTROLS_H
#define KV_CONTROLS_H

#include <windows.h>

#include <classlib/component.h>
#include <classlib/controls.h>
#include <classlib/forms.h>
#include <classlib/image_list.h>
#include <classlib/menus.h>

#include <cstdint>
#include <vector>

#include "kvClasses.h"
#include "kvControlServices.h"
#include "kvGraphics.h"
#include "kvLookAndFeels.h"
#include "kvScrollBar.h"

class TkvControl;

enum TkvControlKey : std::uint8_t { ckAllKeys, ckArrows, ckChars, ckTab };
using TkvControlKeys = TSet<TkvControlKey>;

enum TkvControlBorderStyle : std::uint8_t { kcbsNone, kcbsDefault };

enum TkvDragAndDropState : std::uint8_t { ddsNone, ddsStarting, ddsInProcess };

// What the drag-detect loop saw: the button released, the mouse moved out of the area, or
// cancelled (Esc, the capture lost, the loop ended).
enum TkvDragDetect : std::uint8_t { ddNone, ddDrag, ddCancel };

// Directions of ScrollContent and of automatic scrolling.
enum TkvScrollDirection : std::uint8_t { dirNone, dirLeft, dirRight, dirUp, dirDown };

enum TkvWheelScrollKind : std::uint8_t { wskNone, wskHorizontal, wskVertical };

// A popup menu of any kind: {61EEDA7D-88CC-45BF-8A00-5C25174D6501}.
struct IkvPopupMenu : IInterface {
    virtual bool IsShortCut(TWMKey &message) = 0;
    virtual void Popup(int x, int y) = 0;
};

// What owns the mouse capture of a control: {ACB73657-6066-4564-9A3D-D4D0273AA82F}.
struct IkvMouseCaptureObject : IInterface {
    virtual void DoCancelMode() = 0;
};

// Nil answers False; an IkvPopupMenu pops up; a TPopupMenu with AutoPopup pops up for the control.
bool ShowPopupMenu(TWinControl *control, TComponent *popupMenu, int x, int y);
bool IsPopupMenuShortCut(TComponent *popupMenu, TWMKey &message);
// The height the menu's visible items take, in pixels.
int GetPopupMenuHeight(TComponent *popupMenu);
// Points field at value when it is a TPopupMenu or offers IkvPopupMenu (else at nil), moving the
// free notification of owner from the old menu to the new one.
void SetPopupMenuReference(TComponent *owner, TComponent *&field, TComponent *value);

// --- scroll bars of a control

// What SetScrollBarInfo gave a bar, applied when the bar's update ends.
struct TkvScrollBarData {
    int Min = 0;
    int Max = 100;
    int Position = 0;
    int PageSize = 0;
    TScrollBarInc SmallChange = 1;
    TScrollBarInc LargeChange = 1;
    bool Enabled = true;
    bool Visible = false;
    bool AllowShow = false;
    bool AllowHide = false;
};

class TkvControlScrollBar : public TkvScrollBar {
    CL_CLASS(TkvControlScrollBar, TkvScrollBar)

public:
    void Create(TComponent *owner) override;
    TkvScrollBarData Data;
    // The pending data become the bar's own.
    void ApplyData();
    void WndProc(TMessage &message) override;
    void Dispatch(TMessage &message) override;
    virtual void FocusParent();
};

// The corner cell between a control's two bars.
class TkvSizeGrip : public TCustomControl {
    CL_CLASS(TkvSizeGrip, TCustomControl)

public:
    void Create(TComponent *owner) override;

protected:
    void Paint() override;
};

// --- drag and drop

// The object of one library drag-and-drop of a control.
class TkvDragAndDropObject : public TObject {
    CL_CLASS(TkvDragAndDropObject, TObject)

public:
    virtual void Create(TkvControl *control);

    TkvControl *Control() const noexcept { return control_; }
    TkvCanvas *Canvas() const noexcept { return canvas_; }
    bool Dirty() const noexcept { return dirty_; }
    void SetDirty(bool value);
    TPoint CurMousePos{-1, -1};
    TPoint PrevMousePos{-1, -1};

    virtual void DirtyChanged() {}
    virtual TCursor GetDragAndDropCursor(bool accepted);
    virtual bool GetImmediateStart() { return false; }
    virtual void EndDragAndDrop(bool) {}
    virtual void BeginDragAndDrop() { DirtyChanged(); }
    virtual void DragAndDrop(const TPoint &p, bool &accepted);
    virtual void PrepareEndDragAndDrop(bool) { SetDirty(true); }

    // What the control does at the start, on every move and at the end.
    void DoBeginDragAndDrop();
    void DoDragAndDrop(const TPoint &p, bool &accepted);
    void DoEndDragAndDrop(bool accepted);

private:
    TkvControl *control_ = nullptr;
    TkvCanvas *canvas_ = nullptr;
    bool dirty_ = false;
};

using TkvDragAndDropObjectClass = TClass;

// What a TkvControl hands to the class library's drag and drop; it frees itself when finished.
class TkvDragControlObject : public TDragControlObject {
    CL_CLASS(TkvDragControlObject, TDragControlObject)

public:
    // The drag-copy cursor when accepted with Ctrl held.
    virtual TCursor GetDragCursor(bool accepted, int x, int y);
    virtual void Finished(TObject *target, int x, int y, bool accepted);
};

class TkvDragImageList : public TDragImageList {
    CL_CLASS(TkvDragImageList, TDragImageList)
};

// The class-library drag object last reported over a TkvControl (null after it left).
TDragObject *GetCurrentDragObject() noexcept;

// --- the base control

using TkvControlMouseEnterLeaveEvent = TEvent<void(TObject *sender, TControl *control)>;

class TkvControl : public TCustomControl {
    CL_CLASS(TkvControl, TCustomControl)

public:
    void Create(TComponent *owner) override;
    void BeforeDestruction() override;

    TkvControlBorderStyle BorderStyle() const noexcept { return borderStyle_; }
    void SetBorderStyle(TkvControlBorderStyle value);
    TkvCanvas *KvCanvas() const noexcept { return kvCanvas_; }
    TkvLookAndFeel *LookAndFeel() const noexcept { return lookAndFeel_; }
    void SetLookAndFeel(TkvLookAndFeel *value) { lookAndFeel_->Assign(value); }
    TkvControlKeys Keys() const noexcept { return keys_; }
    void SetKeys(TkvControlKeys value) noexcept { keys_ = value; }
    bool FocusOnClick() const noexcept { return focusOnClick_; }
    void SetFocusOnClick(bool value) noexcept { focusOnClick_ = value; }
    TScrollStyle ScrollBars() const noexcept { return scrollBars_; }
    void SetScrollBars(TScrollStyle value);
    // Nil, a TPopupMenu or a component offering IkvPopupMenu; anything else becomes nil.
    TComponent *PopupMenuComponent() const noexcept { return popupMenu_; }
    void SetPopupMenuComponent(TComponent *value);
    // The component when it is a TPopupMenu.
    TPopupMenu *GetPopupMenu() const;
    TkvDragAndDropState DragAndDropState() const noexcept { return dragAndDropState_; }
    void SetDragAndDropState(TkvDragAndDropState value);
    TkvDragAndDropObject *DragAndDropObject();
    bool HasDragAndDropObject() const noexcept { return dragAndDropObject_ != nullptr; }
    TkvDragAndDropObjectClass DragAndDropObjectClass() const noexcept { return dragAndDropObjectClass_; }
    void SetDragAndDropObjectClass(TkvDragAndDropObjectClass value) noexcept { dragAndDropObjectClass_ = value; }
    TObject *MouseCaptureObject() const noexcept { return mouseCaptureObject_; }
    void SetMouseCaptureObject(TObject *value);
    bool IsMousePressed() const noexcept { return mousePressed_; }
    TPoint MouseDownPos() const noexcept { return mouseDownPos_; }
    bool AutoScrolling() const noexcept { return autoScrolling_; }
    TkvControlScrollBar *HScrollBar() const noexcept { return hScrollBar_; }
    TkvControlScrollBar *VScrollBar() const noexcept { return vScrollBar_; }
    TkvSizeGrip *SizeGrip() const noexcept { return sizeGrip_; }

    // Stores what a bar shows; the values are pending until the bar's update applies them.
    void SetScrollBarInfo(TScrollBarKind kind, int min, int max, int step, int page, int pos, bool allowShow,
                          bool allowHide);
    // Scrolls one step: left 1, right 2, up 3, down 4.
    void ScrollContent(TkvScrollDirection direction);
    void InvalidateRect(const TRect &rect, bool erase);
    bool IsHScrollBarVisible();
    bool IsVScrollBarVisible();
    // Runs a loop on the window until the mouse leaves the drag-detect area around the cursor,
    // a button comes up or Esc is pressed.
    TkvDragDetect GetDragDetect();
    // Finishes a library drag-and-drop; runs once at a time.
    void FinishDragAndDrop(bool accepted);

    void WndProc(TMessage &message) override;
    void Dispatch(TMessage &message) override;

    // --- overridable, in the order of the base's slots
    virtual bool DoShowPopupMenu(TComponent *menu, int x, int y);
    virtual void ParentBackgroundChanged() {}
    virtual void AfterMouseDown(TMouseButton button, int x, int y);
    virtual bool IsDesignTimeHit(int, int, TShiftState) { return true; }
    virtual void BeforeMouseDown(TMouseButton, TShiftState, int, int) {}
    virtual void BringScrollBarsToFront();
    virtual void EndMouseOperations();
    virtual bool CanFocusOnClick();
    virtual bool CanFocusOnClickAt(int x, int y);
    virtual bool CanFocusOnScrollBarClick(TkvControlScrollBar *scrollBar);
    virtual int GetBorderSize();
    virtual void GetBounds(TRect &rect);
    virtual void GetClientBounds(TRect &rect);
    virtual TCursor GetCurrentCursor(int x, int y);
    virtual bool IsDesigning();
    virtual bool IsFocused();
    virtual TkvWheelScrollKind GetWheelScrollKind();
    virtual bool NeedsEraseBackground() { return false; }
    virtual void AttachScrollBars();
    virtual bool IsScrollBarPart(TControl *control);
    virtual TkvPainterClass GetPainter();
    virtual void LookAndFeelChanged(TkvLookAndFeel *, TkvLookAndFeelValues) {}
    virtual void GetHScrollBarBounds(TRect &rect);
    virtual void GetSizeGripBounds(TRect &rect);
    virtual void GetVScrollBarBounds(TRect &rect);
    virtual void SetupScrollBarParams() {}
    virtual bool CanHideBothScrollBars(TScrollBarKind) { return false; }
    virtual bool NeedsScrollBars() { return true; }
    virtual bool NeedsBringScrollBarsToFront() { return true; }
    virtual void Scroll(TScrollBarKind, TScrollCode, int &) {}
    virtual void UpdateScrollBarBounds();
    virtual void UpdateScrollBars();
    virtual TkvDragAndDropObjectClass GetDragAndDropObjectClass();
    virtual void DrawDragImage(TkvCanvas *, const TRect &) {}
    virtual TClass GetDragImagesClass();
    virtual void GetDragImagesSize(TSize &size) { size = TSize{0, 0}; }
    virtual bool HasDragImages() { return false; }
    virtual void InitDragImages(TkvDragImageList *images);
    virtual bool IsFocusable();
    virtual bool CanDrag(int x, int y);

    virtual void ColorChanged() {}
    virtual void VisibleChanged() {}
    virtual void AddChildComponent(class TkvControlChildComponent *component);
    virtual void RemoveChildComponent(class TkvControlChildComponent *component);
    virtual bool AllowUnfocusedMouseDown() { return false; }
    virtual void BoundsChanged();
    virtual bool StartDragAllowed() { return dragAndDropState_ == ddsNone; }
    virtual void CursorChanged() { currentCursor_ = Cursor(); }
    virtual void CancelMouseOperations();
    virtual void FocusChanged();
    virtual void FontChanged() { Invalidate(); }
    virtual bool IsMouseOperationActive(int x, int y, TShiftState shift);
    virtual TClass GetDragObjectClass();
    virtual bool MayFocus() { return true; }
    virtual void MouseEnter(TControl *control);
    virtual void MouseLeave(TControl *control);
    virtual void TextChanged() {}
    virtual void DoDragAndDrop(const TPoint &p, bool &accepted);
    virtual void EndDragAndDrop(bool accepted);
    virtual bool StartDragAndDrop(const TPoint &) { return false; }
    virtual bool AllowDragStart(TDragObject *) { return true; }
    virtual void BeginDragAndDrop();

    TNotifyEvent OnFocusChanged;
    TkvControlMouseEnterLeaveEvent OnMouseEnterControl;
    TkvControlMouseEnterLeaveEvent OnMouseLeaveControl;

    TDragImageList *GetDragImages() override;

protected:
    void Destroy() override;
    void Notification(TComponent *component, TOperation operation) override;
    void CreateParams(TCreateParams &params) override;
    void CreateWnd() override;
    void Resize() override;
    void KeyDown(WORD &key, TShiftState shift) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void DoContextPopup(TPoint mousePos, bool &handled) override;
    bool DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) override;
    void Paint() override;
    void DoStartDrag(TDragObject *&dragObject) override;
    void DoEndDrag(TObject *target, int x, int y) override;
    void DragOver(TObject *source, int x, int y, TDragState state, bool &accept) override;
    TPoint MouseMessagePoint(const TMessage &message) override;

private:
    void createScrollBars();
    void destroyScrollBars();
    void scrollBarScroll(TObject *sender, TScrollCode code, int &pos);
    void runAutoScroll();
    bool popupMenuShortCut(TWMKey &key);
    // Paints with the drag picture over the control taken away, so that it does not keep
    // what lay under it before.
    void paintUnderDragImage(TMessage &m);
    void forgetCurrentDragTarget() noexcept;
    void wmContextMenu(TMessage &m);
    void wmSetCursor(TMessage &m);
    void applyScrollBarsData();

    TkvControlBorderStyle borderStyle_ = kcbsNone;
    TkvCanvas *kvCanvas_ = nullptr;
    TCursor currentCursor_ = crDefault;
    TkvDragAndDropObject *dragAndDropObject_ = nullptr;
    TkvDragAndDropObjectClass dragAndDropObjectClass_ = nullptr;
    TCursor dragAndDropPrevCursor_ = crDefault;
    TkvDragAndDropState dragAndDropState_ = ddsNone;
    TkvDragImageList *dragImages_ = nullptr;
    bool finishingDragAndDrop_ = false;
    bool focusOnClick_ = true;
    TkvControlKeys keys_;
    TkvLookAndFeel *lookAndFeel_ = nullptr;
    TkvControlScrollBar *hScrollBar_ = nullptr;
    TkvControlScrollBar *vScrollBar_ = nullptr;
    TkvSizeGrip *sizeGrip_ = nullptr;
    bool notedHVisible_ = false;
    bool notedVVisible_ = false;
    bool updatingScrollBars_ = false;
    int scrollBarsUpdateLevel_ = 0;
    bool scrollBarsOscillation_ = false;
    bool mousePressed_ = false;
    TObject *mouseCaptureObject_ = nullptr;
    TPoint mouseDownPos_{};
    TComponent *popupMenu_ = nullptr;
    TScrollStyle scrollBars_ = ssBoth;
    bool autoScrolling_ = false;
    bool lastParentBackground_ = true;
    bool registeredForSettings_ = false;
};

// A component bound to a control: the control is its parent component.
class TkvControlChildComponent : public TkvComponent {
    CL_CLASS(TkvControlChildComponent, TkvComponent)

public:
    void Create(TComponent *owner) override;
    // Owned by the control's owner when asked, else by nobody; bound to the control.
    virtual void Create(TkvControl *control, bool assignOwner);
    TkvControl *Control() const noexcept { return control_; }

    virtual bool IsDestroying() { return ComponentState().Contains(csDestroying); }
    virtual void Initialize() {}
    virtual void SetControl(TkvControl *value) { control_ = value; }

    bool HasParent() override { return control_ != nullptr; }
    TComponent *GetParentComponent() override { return control_; }
    void SetParentComponent(TComponent *value) override;

protected:
    void Destroy() override;

private:
    TkvControl *control_ = nullptr;
};

// --- automatic scrolling: the speed and direction of a point, exposed for its tests

struct TkvAutoScrollMotion {
    TkvScrollDirection Direction;
    int Speed;
};
// The anchor is where the middle button went down; size is the bitmap's width.
TkvAutoScrollMotion CalcAutoScrollMotion(const TPoint &anchor, const TPoint &p, int size, bool hVisible,
                                         bool vVisible);
// The cursor shown for a direction, with which bars are visible.
TCursor AutoScrollCursor(TkvScrollDirection direction, bool hVisible, bool vVisible);

// --- popup window

enum TkvPopupAlignHorz : std::uint8_t { pahLeft, pahCenter, pahRight };
enum TkvPopupAlignVert : std::uint8_t { pavTop, pavCenter, pavBottom };
enum TkvPopupDirection : std::uint8_t { pdHorizontal, pdVertical };
enum TkvPopupBorderStyle : std::uint8_t { pbsNone, pbsSingle, pbsFlat, pbs3D };
enum TkvPopupSide : std::uint8_t { psLeft, psTop, psRight, psBottom };

class TkvPopupWindow : public TForm {
    CL_CLASS(TkvPopupWindow, TForm)

public:
    void Create(TComponent *owner) override;

    bool Adjustable = true;
    TkvPopupAlignHorz AlignHorz = pahLeft;
    TkvPopupAlignVert AlignVert = pavBottom;
    int BorderSpace = 0;
    TkvPopupBorderStyle PopupBorderStyle = pbsNone;
    TkvPopupDirection Direction = pdVertical;
    TColor FrameColor = clWindowText;
    TRect OwnerBounds{};
    TControl *OwnerParent() const noexcept { return ownerParent_; }
    void SetOwnerParent(TControl *value);
    TkvCanvas *KvCanvas() const noexcept { return kvCanvas_; }
    HWND PrevActiveWindow() const noexcept { return prevActiveWindow_; }

    // The point the popup takes: x for the horizontal, y for the vertical placement.
    virtual void CalculatePosition(TPoint &p);
    virtual void CalculateSize();
    virtual int GetBorderWidth(TkvPopupSide side);
    virtual int GetFrameWidth(TkvPopupSide side);
    virtual void GetOwnerScreenBounds(TRect &rect);
    virtual void InitPopup();
    virtual void DrawFrame();
    virtual void ClosePopup();
    virtual void Popup();
    virtual void VisibleChanged() {}

    void Dispatch(TMessage &message) override;

protected:
    void Destroy() override;
    void Notification(TComponent *component, TOperation operation) override;
    void CreateParams(TCreateParams &params) override;
    void Paint() override;
    void Deactivate() override;

private:
    void storeChildPositions();

    TkvCanvas *kvCanvas_ = nullptr;
    TControl *ownerParent_ = nullptr;
    HWND prevActiveWindow_ = nullptr;
    TList<TControl *> placedChildren_;
    std::vector<TRect> storedBounds_;
    TPoint placedOffset_{};
};

#endif
