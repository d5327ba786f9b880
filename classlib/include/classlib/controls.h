// Controls: the visual base classes over Win32 windows.
//
// Stands in for the compiler library's control classes. A TControl has a place in its parent,
// colour, font, text and cursor, and handles mouse messages; a TWinControl owns a window,
// created on demand from the parameters of CreateParams, keeps child controls in tab order and
// takes the focus and keys. Every message of a control's window goes through its WndProc and
// then Dispatch, which each class overrides with a switch over the messages it handles; a
// handler calls inherited::Dispatch to reach its parent class's handling of the same message,
// and what nobody handles ends in DefaultHandler (the window's own procedure).
// TGraphicControl has no window and is painted by its parent; TCustomControl is a window painted
// through a canvas.
#ifndef CLASSLIB_CONTROLS_H
#define CLASSLIB_CONTROLS_H

#include <windows.h>

#include <cstdint>
#include <string>

#include "component.h"
#include "events.h"
#include "geometry.h"
#include "graphics.h"
#include "image_list.h"
#include "list.h"
#include "messages.h"
#include "sets.h"

class TControl;
class TWinControl;
class TCustomForm;
class TPopupMenu;
class TDragObject;
class TDragImageList;
class TBasicAction;
class TControlActionLink;

// Cursors: negative ids are the stock cursors, positive ids are those a program registers in
// the screen's cursor table.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSize = -22;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

enum TShiftStateFlag : std::uint8_t { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateFlag>;

enum TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };

enum TControlStateFlag : std::uint8_t {
    csLButtonDown,
    csClicked,
    csPalette,
    csReadingState,
    csAlignmentNeeded,
    csFocusing,
    csCreating,
    csPaintCopy,
    csCustomPaint,
    csDestroyingHandle,
    csDocking,
};
using TControlState = TSet<TControlStateFlag>;

enum TControlStyleFlag : std::uint8_t {
    csAcceptsControls,
    csCaptureMouse,
    csDesignInteractive,
    csClickEvents,
    csFramed,
    csSetCaption,
    csOpaque,
    csDoubleClicks,
    csFixedWidth,
    csFixedHeight,
    csNoDesignVisible,
    csReplicatable,
    csNoStdEvents,
    csDisplayDragImage,
    csReflector,
    csActionClient,
    csMenuEvents,
    csNeedsBorderPaint,
    csParentBackground,
};
using TControlStyle = TSet<TControlStyleFlag>;

enum TAlign : std::uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TDragMode : std::uint8_t { dmManual, dmAutomatic };
enum TDragKind : std::uint8_t { dkDrag, dkDock };
enum TDragState : std::uint8_t { dsDragEnter, dsDragLeave, dsDragMove };
// What a CM_DRAG message tells or asks a control.
enum TDragMessage : std::uint8_t { dmDragEnter, dmDragLeave, dmDragMove, dmDragDrop, dmDragCancel, dmFindTarget };
enum TScrollStyle : std::uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TScrollBarKind : std::uint8_t { sbHorizontal, sbVertical };
// What a scroll event asks for; the values are the platform's SB_ codes.
enum TScrollCode : std::uint8_t {
    scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll
};
// A step of a scroll bar: 1 to 32767.
using TScrollBarInc = std::int16_t;
// What scaling changes while a control is being loaded (all of it otherwise).
enum TScalingFlag : std::uint8_t { sfLeft, sfTop, sfWidth, sfHeight, sfFont };
using TScalingFlags = TSet<TScalingFlag>;
enum TBorderStyle : std::uint8_t { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
// Which way a control reads and aligns its text and where its scroll bar goes.
enum TBiDiMode : std::uint8_t { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

using TKeyEvent = TEvent<void(TObject *sender, WORD &key, TShiftState shift)>;
using TKeyPressEvent = TEvent<void(TObject *sender, wchar_t &key)>;
using TMouseEvent = TEvent<void(TObject *sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = TEvent<void(TObject *sender, TShiftState shift, int x, int y)>;
using TMouseWheelEvent =
    TEvent<void(TObject *sender, TShiftState shift, int wheelDelta, TPoint mousePos, bool &handled)>;
using TContextPopupEvent = TEvent<void(TObject *sender, TPoint mousePos, bool &handled)>;
using TStartDragEvent = TEvent<void(TObject *sender, TDragObject *&dragObject)>;
using TEndDragEvent = TEvent<void(TObject *sender, TObject *target, int x, int y)>;
using TDragOverEvent = TEvent<void(TObject *sender, TObject *source, int x, int y, TDragState state, bool &accept)>;
using TDragDropEvent = TEvent<void(TObject *sender, TObject *source, int x, int y)>;

// The shift state of the keyboard now, and of a mouse message's key flags.
TShiftState KeyboardStateToShiftState();
TShiftState KeysToShiftState(WORD keys);
TShiftState KeyDataToShiftState(LPARAM keyData);

// What CreateWnd passes to CreateWindowEx. WinClassName names the window class the control
// registers; a control over a system class (EDIT, BUTTON) names that class as its SysClassName
// and gets a class of its own whose procedure hands messages to the control first.
struct TCreateParams {
    std::wstring Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    HWND WndParent = nullptr;
    void *Param = nullptr;
    WNDCLASSW WindowClass{};
    std::wstring WinClassName;
    std::wstring SysClassName;
};

// A drag object: what a drag carries from its source control to the control it is dropped on.
// The drag manager moves it across the controls under the mouse (CM_DRAG), sets the cursor
// from GetDragCursor and moves the pictures of GetDragImages with the mouse.
class TDragObject : public TObject {
    CL_CLASS(TDragObject, TObject)

public:
    bool Cancelling = false;
    bool Dropped = false;
    // The cursor (screen), the control under it that the drag is over with the window it was
    // found through, and the cursor in that control's client coordinates.
    TPoint DragPos{};
    TControl *DragTarget = nullptr;
    HWND DragHandle = nullptr;
    TPoint DragTargetPos{};
    // The cursor of the drag over a target that accepts it or not.
    virtual TCursor GetDragCursor(bool accepted, int x, int y);
    // The pictures shown under the cursor while the drag runs, or null.
    virtual TDragImageList *GetDragImages() { return nullptr; }
    // Take the pictures away while something paints under them, and put them back.
    virtual void HideDragImage();
    virtual void ShowDragImage();
    // Told when the drag ended: the target and the point in it when accepted, else null.
    virtual void Finished(TObject *target, int x, int y, bool accepted);
};

// The drag of a control: its drag cursor, its drag images, and its end notice (DoEndDrag).
class TDragControlObject : public TDragObject {
    CL_CLASS(TDragControlObject, TDragObject)

public:
    void Create(TControl *control) { Control = control; }
    TControl *Control = nullptr;
    TCursor GetDragCursor(bool accepted, int x, int y) override;
    TDragImageList *GetDragImages() override;
    void Finished(TObject *target, int x, int y, bool accepted) override;
};

// What a CM_DRAG message carries: the cursor (screen), the drag object, and for dmFindTarget
// the answer.
struct TDragRec {
    TPoint Pos;
    TDragObject *Source;
    TControl *Target;
};

// The canvas of a control: it draws on the control's window (a graphic control on its parent's,
// moved to the control's place) with a device context taken on demand and given back when the
// canvas is released or the control changes.
class TControlCanvas : public TCanvas {
    CL_CLASS(TControlCanvas, TCanvas)

public:
    TControl *GetControl() const noexcept { return control_; }
    void SetControl(TControl *control);
    // Gives back a device context this canvas took itself.
    void FreeHandle();
    // Runs paint with the canvas on a device context lent for the call (a paint message's), and
    // lets go of it afterwards, also when paint raises.
    template <class F> void PaintOn(HDC dc, F &&paint) {
        FreeHandle();
        Lock();
        SetHandle(dc);
        try {
            paint();
        } catch (...) {
            SetHandle(nullptr);
            Unlock();
            throw;
        }
        SetHandle(nullptr);
        Unlock();
    }

protected:
    void Destroy() override;
    void CreateHandle() override;

private:
    TControl *control_ = nullptr;
    HDC dc_ = nullptr;
    HWND dcWindow_ = nullptr;
};

// Gives back the device contexts control canvases took outside painting (those not locked); the
// application does it after every message it dispatches.
void FreeDeviceContexts();

class TControl : public TComponent {
    CL_CLASS(TControl, TComponent)

public:
    void Create(TComponent *owner) override;

    // --- place ---
    TWinControl *Parent() const noexcept { return parent_; }
    virtual void SetParent(TWinControl *parent);
    int Left() const noexcept { return left_; }
    int Top() const noexcept { return top_; }
    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    void SetLeft(int value) { SetBounds(value, top_, width_, height_); }
    void SetTop(int value) { SetBounds(left_, value, width_, height_); }
    void SetWidth(int value) { SetBounds(left_, top_, value, height_); }
    void SetHeight(int value) { SetBounds(left_, top_, width_, value); }
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const noexcept { return TRect{left_, top_, left_ + width_, top_ + height_}; }
    void SetBoundsRect(const TRect &r) { SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top); }
    virtual TRect GetClientRect();
    TRect ClientRect() { return GetClientRect(); }
    int ClientWidth() { return GetClientRect().right; }
    int ClientHeight() { return GetClientRect().bottom; }
    void SetClientWidth(int value) { SetClientSize(value, ClientHeight()); }
    void SetClientHeight(int value) { SetClientSize(ClientWidth(), value); }
    virtual void SetClientSize(int width, int height);
    virtual TPoint GetClientOrigin();
    TPoint ClientToScreen(TPoint p);
    TPoint ScreenToClient(TPoint p);
    TAlign Align() const noexcept { return align_; }
    void SetAlign(TAlign value);
    // Multiplies place, size and (unless it follows the parent's) font size by m / d.
    void ScaleBy(int m, int d) { ChangeScale(m, d); }
    TScalingFlags ScalingFlags() const noexcept { return scalingFlags_; }
    void SetScalingFlags(TScalingFlags value) noexcept { scalingFlags_ = value; }
    void BringToFront();
    void SendToBack();

    // --- appearance ---
    bool Visible() const noexcept { return visible_; }
    void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible here and in every parent up to a shown top-level window.
    virtual bool Showing();
    virtual bool Enabled() const noexcept { return enabled_; }
    virtual void SetEnabled(bool value);
    TColor Color() const noexcept { return color_; }
    void SetColor(TColor value);
    bool ParentColor() const noexcept { return parentColor_; }
    void SetParentColor(bool value);
    TFont *Font() const noexcept { return font_; }
    void SetFont(TFont *value) { font_->Assign(value); }
    bool ParentFont() const noexcept { return parentFont_; }
    void SetParentFont(bool value);
    std::wstring GetText();
    void SetText(const std::wstring &text);
    std::wstring Caption() { return GetText(); }
    void SetCaption(const std::wstring &text) { SetText(text); }
    TCursor Cursor() const noexcept { return cursor_; }
    void SetCursor(TCursor value);
    TPopupMenu *PopupMenu() const noexcept { return popupMenu_; }
    void SetPopupMenu(TPopupMenu *menu);

    // --- right-to-left reading: the parent's mode while ParentBiDiMode is on ---
    TBiDiMode BiDiMode() const noexcept { return biDiMode_; }
    void SetBiDiMode(TBiDiMode value);
    bool ParentBiDiMode() const noexcept { return parentBiDiMode_; }
    void SetParentBiDiMode(bool value);
    bool UseRightToLeftReading() const noexcept { return biDiMode_ != bdLeftToRight; }
    bool UseRightToLeftAlignment() const noexcept { return biDiMode_ == bdRightToLeft; }
    bool UseRightToLeftScrollBar() const noexcept {
        return biDiMode_ == bdRightToLeft || biDiMode_ == bdRightToLeftNoAlign;
    }
    // DrawText flags with the sides exchanged under right-to-left alignment and DT_RTLREADING
    // under right-to-left reading.
    UINT DrawTextBiDiModeFlags(UINT flags) const noexcept;
    UINT DrawTextBiDiModeFlagsReadingOnly() const noexcept { return UseRightToLeftReading() ? DT_RTLREADING : 0; }

    // --- action: caption and enabled state follow the action while it is bound ---
    TBasicAction *Action() const noexcept;
    void SetAction(TBasicAction *value);
    TControlActionLink *ActionLink() const noexcept { return actionLink_; }

    TControlState ControlState() const noexcept { return controlState_; }
    void SetControlState(TControlState value) noexcept { controlState_ = value; }
    TControlStyle ControlStyle() const noexcept { return controlStyle_; }
    void SetControlStyle(TControlStyle value) noexcept { controlStyle_ = value; }

    // --- messages ---
    LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);
    // The message path: replaced through SetWindowProc, WndProc by default.
    void WindowProc(TMessage &message);
    void SetWindowProc(TWndMethod method) { windowProc_ = std::move(method); }
    virtual void WndProc(TMessage &message);
    // Hands a message to this class's handler for its number, or to DefaultHandler.
    virtual void Dispatch(TMessage &message);
    virtual void DefaultHandler(TMessage &message);

    // --- painting ---
    virtual void Invalidate();
    virtual void Update();
    virtual void Repaint();
    virtual void Refresh() { Repaint(); }

    // --- mouse and dragging ---
    bool MouseCapture();
    void SetMouseCapture(bool value);
    TDragMode DragMode() const noexcept { return dragMode_; }
    virtual void SetDragMode(TDragMode value) { dragMode_ = value; }
    TDragKind DragKind() const noexcept { return dragKind_; }
    virtual void SetDragKind(TDragKind value) { dragKind_ = value; }
    TCursor DragCursor() const noexcept { return dragCursor_; }
    void SetDragCursor(TCursor value) { dragCursor_ = value; }
    // Starts a drag of this control: at once, or when the mouse moved more than the threshold
    // (the mouse object's when negative) with the button held.
    void BeginDrag(bool immediate, int threshold = -1);
    // Ends the drag of this control: dropped on the target under the mouse when it accepts.
    void EndDrag(bool drop);
    // Ends the drag of this control without a drop.
    void CancelDrag() { EndDrag(false); }
    bool Dragging() const noexcept { return dragObject_ != nullptr; }
    virtual TDragImageList *GetDragImages() { return nullptr; }

    // The form (or top-level control) this control stands on, or null.
    TCustomForm *GetParentFormOf() const;

    bool HasParent() override { return true; }
    TComponent *GetParentComponent() override;
    void SetParentComponent(TComponent *value) override;
    void GetPublishedProperties(TPropList &list) override;

    // --- events ---
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnResize;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TContextPopupEvent OnContextPopup;
    TMouseWheelEvent OnMouseWheel;
    TStartDragEvent OnStartDrag;
    TEndDragEvent OnEndDrag;
    // A handler makes the control a drop target: accept starts true for it.
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;

protected:
    void Destroy() override;
    void Notification(TComponent *component, TOperation operation) override;
    // Takes the reader's parent as the parent before the properties are read.
    void ReadState(TReader *reader) override;
    // The action's values, all of them or (checkDefaults) only over values still at their defaults.
    virtual void ActionChange(TObject *sender, bool checkDefaults);
    virtual TClass GetActionLinkClass();

    virtual void Click();
    virtual void DblClick();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void Resize();
    virtual void ChangeScale(int m, int d);
    virtual void DoContextPopup(TPoint mousePos, bool &handled);
    virtual void DoStartDrag(TDragObject *&dragObject);
    virtual void DoEndDrag(TObject *target, int x, int y);
    virtual void DragOver(TObject *source, int x, int y, TDragState state, bool &accept);
    virtual void DragDrop(TObject *source, int x, int y);
    // The object of a drag DoStartDrag supplied none for; the drag frees it.
    virtual TDragObject *CreateDragObject();
    virtual bool DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos);
    // The point of a mouse message; a control far wider than the coordinates reach reads the cursor.
    virtual bool IsWindowed() const noexcept { return false; }
    // Puts the control where its bounds say (the window, or a repaint of the parent's area).
    virtual void UpdateBoundsRect(const TRect &r);
    void InvalidateControl(bool isVisible, bool isOpaque);
    virtual TPoint MouseMessagePoint(const TMessage &message);

    // Handlers of this class's messages.
    void WMMouseMove(TMessage &m);
    void WMButtonDown(TMessage &m, TMouseButton button, bool dbl);
    void WMButtonUp(TMessage &m, TMouseButton button);
    void WMContextMenu(TMessage &m);
    void WMCancelMode(TMessage &m);
    void CMVisibleChanged(TMessage &m);
    void CMColorChanged(TMessage &m);
    void CMFontChanged(TMessage &m);
    void CMParentColorChanged(TMessage &m);
    void CMParentFontChanged(TMessage &m);
    void CMMouseEnter(TMessage &m);
    void CMMouseLeave(TMessage &m);
    void CMHitTest(TMessage &m);
    void CMCursorChanged(TMessage &m);
    void CMDrag(TMessage &m);

    TWinControl *parent_ = nullptr;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    TColor color_ = clWindow;
    bool parentColor_ = false;
    TFont *font_ = nullptr;
    bool parentFont_ = true;
    std::wstring text_;
    TCursor cursor_ = crDefault;
    TAlign align_ = alNone;
    TControlState controlState_;
    TControlStyle controlStyle_;
    TDragMode dragMode_ = dmManual;
    TDragKind dragKind_ = dkDrag;
    TScalingFlags scalingFlags_;
    TCursor dragCursor_ = crDrag;
    TDragObject *dragObject_ = nullptr;
    TPopupMenu *popupMenu_ = nullptr;
    TWndMethod windowProc_;
    TBiDiMode biDiMode_ = bdLeftToRight;
    bool parentBiDiMode_ = true;
    TControlActionLink *actionLink_ = nullptr;

private:
    void fontChanged(TObject *sender);
    void doActionChange(TObject *sender);
    void clickAction();
    void actionRemoved(TComponent *component);
    void takeParentBiDiMode();
    void biDiModeChanged();
    friend class TWinControl;
    friend class TApplication;
    friend class TDragControlObject;
    friend struct DragSession;
};

class TWinControl : public TControl {
    CL_CLASS(TWinControl, TControl)

public:
    void Create(TComponent *owner) override;

    // --- window ---
    HWND GetHandle();
    HWND Handle() { return GetHandle(); }
    bool HandleAllocated() const noexcept { return handle_ != nullptr; }
    void HandleNeeded() { GetHandle(); }
    virtual void CreateHandle();
    virtual void DestroyHandle();
    void RecreateWnd();
    HWND ParentWindow() const noexcept { return parentWindow_; }
    void SetParentWindow(HWND value) { parentWindow_ = value; }
    bool Showing() override;
    // The window procedure a message nobody handled goes to.
    WNDPROC DefWndProc() const noexcept { return defWndProc_; }

    // --- children ---
    int ControlCount() const noexcept { return controls_.Count() + winControls_.Count(); }
    TControl *Controls(int index) const;
    bool ContainsControl(TControl *control);
    TControl *ControlAtPos(TPoint pos, bool allowDisabled, bool allowWinControls = false);
    void InsertControl(TControl *control);
    void RemoveControl(TControl *control);
    // Sends a message to every child control; stops at the first that answers non-zero.
    void Broadcast(TMessage &message);
    void NotifyControls(UINT msg);
    void Realign();
    void DisableAlign() { ++alignLevel_; }
    void EnableAlign();

    // --- focus and tab order ---
    int TabOrder();
    void SetTabOrder(int value);
    bool TabStop() const noexcept { return tabStop_; }
    void SetTabStop(bool value);
    // Whether the control shows its parent's background where it paints none.
    bool ParentBackground() const noexcept { return controlStyle_.Contains(csParentBackground); }
    void SetParentBackground(bool value);
    bool Ctl3D() const noexcept { return ctl3D_; }
    void SetCtl3D(bool value);
    virtual bool CanFocus();
    virtual bool Focused();
    virtual void SetFocus();
    virtual void GetTabOrderList(TList<TWinControl *> &list);
    TWinControl *FindNextControl(TWinControl *current, bool goForward, bool checkTabStop, bool checkParent);
    void SelectNext(TWinControl *current, bool goForward, bool checkTabStop);
    // The control of this library whose window is that one, or null.
    static TWinControl *FindControl(HWND window);

    // --- painting ---
    void Invalidate() override;
    void Update() override;
    void Repaint() override;
    void PaintTo(HDC dc, int x, int y);
    virtual void PaintControls(HDC dc, TControl *first);

    void SetBounds(int left, int top, int width, int height) override;
    TRect GetClientRect() override;
    TPoint GetClientOrigin() override;
    void SetParent(TWinControl *parent) override;
    void Dispatch(TMessage &message) override;
    void DefaultHandler(TMessage &message) override;
    void WndProc(TMessage &message) override;
    // The child controls whose owner is the root.
    void GetChildren(const TGetChildProc &proc, TComponent *root) override;

    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    void Destroy() override;
    bool IsWindowed() const noexcept override { return true; }
    void ChangeScale(int m, int d) override;

    virtual void CreateParams(TCreateParams &params);
    virtual void CreateWnd();
    virtual void CreateWindowHandle(const TCreateParams &params);
    virtual void DestroyWnd();
    virtual void DestroyWindowHandle();
    void CreateSubClass(TCreateParams &params, const wchar_t *controlClassName);
    void UpdateBoundsRect(const TRect &r) override;
    virtual void AlignControls(TControl *control, TRect &rect);
    virtual void AdjustClientRect(TRect &rect);
    virtual void PaintHandler(HDC dc);
    virtual void PaintWindow(HDC dc);
    virtual void KeyDown(WORD &key, TShiftState shift);
    virtual void KeyUp(WORD &key, TShiftState shift);
    virtual void KeyPress(wchar_t &key);
    // Key messages: true when the key was consumed (by the form's preview or the handler).
    bool DoKeyDown(TMessage &m);
    bool DoKeyUp(TMessage &m);
    bool doKeyEvent(TMessage &m, bool (TWinControl::*doEvent)(TMessage &), void (TWinControl::*handler)(WORD &, TShiftState));
    // WM_PAINT of a control that paints itself (a canvas of its own): csCustomPaint is set while it runs.
    void DispatchCustomPaint(TMessage &m);
    bool DoKeyPress(TMessage &m);
    virtual void DoEnter();
    virtual void DoExit();
    virtual void SetZOrder(bool topMost);
    // Sends the control messages a parent receives about its children (WM_COMMAND, WM_CTLCOLOR*,
    // scrolling) back to the child as CN_ notifications; true when the child was ours.
    bool ReflectToChild(TMessage &m);

    // Handlers of this class's messages.
    void WMPaint(TMessage &m);
    void WMEraseBkgnd(TMessage &m);
    void WMKeyDown(TMessage &m);
    void WMKeyUp(TMessage &m);
    void WMChar(TMessage &m);
    void WMSetFocus(TMessage &m);
    void WMKillFocus(TMessage &m);
    void WMSetCursor(TMessage &m);
    void WMWindowPosChanged(TMessage &m);
    void WMMouseMoveTracking(TMessage &m);
    void WMMouseLeave(TMessage &m);
    void WMMouseWheel(TMessage &m);
    void WMCommandOrNotify(TMessage &m);
    void WMNCDestroy(TMessage &m);
    void CNKeyDown(TMessage &m);
    void CNChar(TMessage &m);
    void CMEnter(TMessage &m);
    void CMExit(TMessage &m);
    void CMColorChanged(TMessage &m);
    void CMFontChanged(TMessage &m);
    void CMEnabledChanged(TMessage &m);
    void CMVisibleChanged(TMessage &m);
    void CMTextChanged(TMessage &m);
    void CMSysColorChange(TMessage &m);
    void CMDialogKeyOrChar(TMessage &m);

    HWND handle_ = nullptr;
    HWND parentWindow_ = nullptr;
    WNDPROC defWndProc_ = nullptr;
    TList<TControl *> controls_;        // graphic children, bottom to top
    TList<TWinControl *> winControls_;  // windowed children, bottom to top
    TList<TWinControl *> tabList_;      // windowed children in tab order
    bool tabStop_ = false;
    bool ctl3D_ = true;
    int alignLevel_ = 0;
    bool mouseTracking_ = false;

private:
    void createChildHandles();
    HBRUSH colorBrush();
    bool routeMouseToChild(TMessage &m);
    // Asks for a WM_MOUSELEAVE when the mouse leaves the window; mouseTracking_ says whether it took.
    void armLeaveTracking();

    HBRUSH brush_ = nullptr;
    TColor brushColor_ = clNone;
    bool aligning_ = false;
    static LRESULT CALLBACK stdWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    friend class TControl;
    friend class TCustomForm;
    friend class TApplication;
};

// A control without a window: its parent paints it, and its mouse messages come through the
// parent's window.
class TGraphicControl : public TControl {
    CL_CLASS(TGraphicControl, TControl)

public:
    void Create(TComponent *owner) override;
    TCanvas *Canvas() const noexcept { return canvas_; }
    void Dispatch(TMessage &message) override;

protected:
    void Destroy() override;
    virtual void Paint() {}

private:
    TControlCanvas *canvas_ = nullptr;
};

// A window painted through a canvas: Paint draws on Canvas, whose device context is the one of
// the paint message (or of BeginPaint) while Paint runs.
class TCustomControl : public TWinControl {
    CL_CLASS(TCustomControl, TWinControl)

public:
    void Create(TComponent *owner) override;
    TCanvas *Canvas() const noexcept { return canvas_; }
    void Dispatch(TMessage &message) override;

protected:
    void Destroy() override;
    void DestroyWnd() override;
    virtual void Paint() {}
    void PaintWindow(HDC dc) override;

private:
    TControlCanvas *canvas_ = nullptr;
};

// The mouse: cursor position, capture and the system's drag and wheel settings.
class TMouse : public TObject {
    CL_CLASS(TMouse, TObject)

public:
    TPoint CursorPos();
    void SetCursorPos(TPoint p);
    HWND Capture() { return GetCapture(); }
    void SetCapture(HWND window);
    int DragThreshold() const noexcept { return dragThreshold_; }
    void SetDragThreshold(int value) noexcept { dragThreshold_ = value; }
    int WheelScrollLines();
    bool MousePresent() { return GetSystemMetrics(SM_MOUSEPRESENT) != 0; }

private:
    int dragThreshold_ = 5;
};

extern TMouse *Mouse;

// The control of the library whose window is the given one or its nearest ancestor.
TWinControl *FindVCLWindow(TPoint screenPos);
// The control a drag at the screen point is over: the windowed control there, or the graphic
// child of it under the point; null over windows of no control.
TControl *FindDragTarget(TPoint screenPos, bool allowDisabled);
// The drag running now (also one waiting for the mouse to pass its threshold), or null.
TDragObject *ActiveDragObject() noexcept;
// Ends the drag running now without a drop.
void CancelDrag();
// The form a control stands on (the top-level control when it is a form), or null.
TCustomForm *GetParentForm(TControl *control);
// Whether the system runs in a right-to-left or other layout; always false here.
inline bool IsRightToLeftLayout() { return false; }

#endif
