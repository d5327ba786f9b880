// kvEditViewData: the short-lived calculator that fills an editor's view info from a style,
// the editor's buttons and its state, with or without a control.
#ifndef KV_EDIT_VIEW_DATA_H
#define KV_EDIT_VIEW_DATA_H

#include <windows.h>

#include <classlib/controls.h>
#include <classlib/persistent.h>

#include <functional>

#include "kvEditButtons.h"
#include "kvEditStyles.h"
#include "kvEditViewInfo.h"
#include "kvEditViewLayout.h"

class TkvCustomEditProperties;
class TkvCustomEditViewData;

using TkvEditQueryButtonWidthEvent = std::function<void(TkvCustomEditViewData *sender, int index, int &width)>;
using TkvEditButtonStateCalculatedEvent = std::function<void(TkvCustomEditViewData *sender, int &state)>;

// Where the mouse and the keys stood for one calculation.
struct TkvEditMouseState {
    TPoint Point{-1, -1};
    TShiftState Shift{};
    TMouseButton Button = mbLeft;
    // The calculation comes from a mouse message; Press: from a button press (single or double).
    bool IsMouseEvent = false;
    bool Press = false;
};

inline constexpr int kvEditViewSizeLimit = 536870912;

class TkvCustomEditViewData : public TPersistent {
    CL_CLASS(TkvCustomEditViewData, TPersistent)

public:
    virtual void Create(TkvCustomEditProperties *properties, TkvCustomEditStyle *style, bool inPlace);

    TkvCustomEditProperties *Properties = nullptr;
    TkvCustomEditStyle *Style = nullptr;
    bool InPlace = false;
    // The editor (none for drawing without a control) and its window.
    TWinControl *Edit = nullptr;
    HWND WindowHandle = nullptr;
    // The buttons to show (the properties' collection).
    TkvEditButtons *Buttons = nullptr;
    bool Enabled = true;
    bool Focused = false;
    bool Hot = false;
    bool Selected = false;
    bool ReadOnly = false;
    TRect InPlaceBounds{};
    // Spare width goes to the buttons.
    bool StretchButtons = false;
    // The editor lets the mouse press its buttons.
    bool AllowsPressing = true;
    // The inner control's bounds, or empty without one.
    TRect InnerControlBounds{};
    // The control's own colour, used where the style's colour is the default.
    TColor ControlColor = clWindow;
    // The index of the button holding the mouse capture, -1 none.
    int CaptureButton = -1;
    int MaxWidth = kvEditViewSizeLimit;
    int MaxHeight = kvEditViewSizeLimit;
    // The popup border style the last calculation chose.
    TkvEditPopupBorderStyle PopupBorderStyle = epbsDefault;
    TkvEditQueryButtonWidthEvent OnQueryButtonWidth;
    TkvEditButtonStateCalculatedEvent OnButtonStateCalculated;

    // --- overridable, in slot order
    virtual void Calculate(TkvCanvas *canvas, const TRect &bounds, const TkvEditMouseState &mouse,
                           TkvCustomEditViewInfo *viewInfo, TkvCustomEditViewInfo *old);
    virtual void CalculateButtonBounds(TkvCustomEditViewInfo *viewInfo, int index, const TRect &bounds);
    virtual void CalculateButtonsViewInfo(TkvCanvas *canvas, const TkvEditMouseState &mouse,
                                          TkvCustomEditViewInfo *viewInfo, TkvCustomEditViewInfo *old);
    virtual void CalculateButtonViewInfo(TkvCustomEditViewInfo *viewInfo, int viewIndex, int buttonIndex);
    virtual TColor GetBorderColor();
    virtual TRect GetBorderExtent();
    virtual TkvEditBorderStyle GetBorderStyle();
    virtual TRect GetClientExtent();
    virtual bool IsNativeStyle();
    // The spin edit's keyboard spin (never in the base).
    virtual bool IsButtonPressedByKeyboard(int) { return false; }
    // The height of a text line in the style's font (the text "Zg") for an editor that shows
    // text, else the painter's button height.
    virtual int GetTextHeight(TkvCanvas *canvas);
    // Whether the editor shows text (its size follows the font).
    virtual bool ShowsText() { return true; }
    // Where the content stands inside the client extent: the sum of the frame's, the text's
    // and the buttons' offsets on each side.
    virtual TRect GetContentOffsets();
    // The client extent plus the visible buttons' widths (cx) and the content's height (cy).
    virtual TSize GetEditContentSize(TkvCanvas *canvas, const TSize &contentSize);
    // The editor's size for a content size (through the properties' view info class); a
    // dimension of 0 or less in the answer is left to the caller.
    virtual TSize GetEditSize(TkvCanvas *canvas, const TSize &contentSize);
    // What the properties' CreateViewData recorded.
    bool Flag = false;

protected:
    // Runs after the fields are set; descendants prepare here.
    virtual void InitializeSecond() {}
};

#endif
