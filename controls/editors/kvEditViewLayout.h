// kvEditViewLayout: the arithmetic of an editor's picture, free of controls and windows.
//
// The editor's view data asks these for the border in force and its extent, the frame's
// rectangles, the border colour, the button style and popup border a default resolves to,
// whether the buttons show at all, where each button stands (left and right groups in
// collection order, with the spare width shared out when stretching), and each button's state
// from the mouse, the keyboard and the previous picture.
#ifndef KV_EDIT_VIEW_LAYOUT_H
#define KV_EDIT_VIEW_LAYOUT_H

#include <windows.h>

#include <classlib/geometry.h>
#include <classlib/graphics.h>

#include <vector>

#include "kvEditStyles.h"
#include "kvGraphics.h"
#include "kvLookAndFeelPainters.h"

// Button states of the view (the order the painters index by).
enum TkvEditButtonViewState : int { ebvsDisabled = 0, ebvsNormal = 1, ebvsPressed = 2, ebvsHot = 3 };

// None in place; UltraFlat and Office 2003 reduce to single under the theme.
TkvEditBorderStyle KvEditBorderStyleInForce(TkvEditBorderStyle style, bool inPlace, bool nativeStyle) noexcept;

// The width of the frame on each edge (left, top, right, bottom). A transparent border keeps a
// band of two pixels whatever the style, so that switching the border on and off does not move
// the content; the shadow adds its width at right and bottom.
TRect KvEditBorderExtent(TkvEditBorderStyle inForce, bool transparentBorder, TkvBorders edges, bool shadow,
                         bool nativeStyle) noexcept;

struct TkvEditFrameRects {
    TRect Bounds{};
    // Bounds less the shadow: where the border is drawn.
    TRect BorderRect{};
    // Bounds less the border extent: buttons and the inner edit share it.
    TRect ClientRect{};
};
TkvEditFrameRects KvEditFrameRects(const TRect &bounds, const TRect &extent, bool shadow) noexcept;

// UltraFlat and Office 2003 borders light up while focused, hot (with hot tracking) or selected.
TColor KvEditBorderColor(TkvEditBorderStyle inForce, TColor styleColor, bool focused, bool hot, bool hotTrack,
                         bool selected, TColor highlightColor) noexcept;

// btsDefault by the border style (not in place) or the look and feel (in place).
TkvEditButtonStyle KvResolveButtonStyle(TkvEditButtonStyle style, bool inPlace, TkvEditBorderStyle border,
                                        TkvLookAndFeelKind kind) noexcept;
// epbsDefault the same way.
TkvEditPopupBorderStyle KvResolvePopupBorderStyle(TkvEditPopupBorderStyle style, bool inPlace,
                                                  TkvEditBorderStyle border, TkvLookAndFeelKind kind) noexcept;

// Whether the editor shows no buttons now.
bool KvEditButtonsHidden(int visibleCount, TkvEditButtonTransparency transparency, bool focused, bool hot) noexcept;

struct TkvEditButtonPlacement {
    int Width = 0;
    bool LeftAlignment = false;
    bool Stretchable = true;
};

struct TkvEditButtonPlace {
    TRect Bounds{};
    int Width = 0;
    bool LeftAlignment = false;
    // The outermost button of its side: its outer edge is part of the editor's frame.
    bool Outermost = false;
};

// Places the buttons inside the client rectangle, each the client's full height: left-aligned
// ones from the left edge rightwards, the others from the right edge leftwards, in collection
// order. With stretch and room to spare, the stretchable buttons (all, when none is) share the
// extra width in proportion to their widths (equally when their widths sum to 0); the first of
// them takes the remainder. Answers the rectangle left between the two groups (never of negative
// width).
TRect KvPlaceEditButtons(const TRect &client, const std::vector<TkvEditButtonPlacement> &buttons, bool stretch,
                         std::vector<TkvEditButtonPlace> &places);

// What one button's state is computed from.
struct TkvEditButtonStateInput {
    bool EditorEnabled = true;
    bool ButtonEnabled = true;
    // The spin edit's keyboard spin; never in the base editor.
    bool PressedByKeyboard = false;
    // The mouse is over the button's content (and the editor does not ignore the mouse).
    bool MouseOver = false;
    // This calculation comes from a left-button press (single or double click).
    bool LeftPress = false;
    bool LeftDown = false;
    // Any mouse button or shift key down.
    bool AnyButtonOrShiftDown = false;
    // The button was the pressed one in the previous picture.
    bool WasPressed = false;
    // The button was normal in the previous picture and holds the mouse capture.
    bool WasNormal = false;
    bool HoldsCapture = false;
    bool AllowsPressing = true;
};

struct TkvEditButtonStateResult {
    TkvEditButtonViewState State = ebvsNormal;
    // A button is held by the mouse or the keyboard.
    bool Held = false;
};

TkvEditButtonStateResult KvEditButtonState(const TkvEditButtonStateInput &input) noexcept;

#endif
