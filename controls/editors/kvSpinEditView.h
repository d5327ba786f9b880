// kvSpinEditView: how the spin edit lays out, presses and paints its buttons.
//
// The step buttons (0 down, 1 up) and the fast ones (2 fast down, 3 fast up) stand stacked in
// one column at the right (with the fast buttons at the two edges), side by side at the right,
// or down at the left and up at the right. A button stepped by the keyboard is drawn pressed,
// and the mouse presses nothing meanwhile. Under the spin theme the buttons are the theme's
// parts; otherwise each button style draws its frame, then the arrow (a double one for the fast
// buttons, embossed when disabled).
#ifndef KV_SPIN_EDIT_VIEW_H
#define KV_SPIN_EDIT_VIEW_H

#include <windows.h>

#include <cstdint>

#include "kvTextEditView.h"

enum TkvSpinEditButtonsPosition : std::uint8_t { sbpHorzLeftRight, sbpHorzRight, sbpVert };

// Where each spin button stands (by index; the fast ones only when shown) inside the content
// rectangle, and what is left for the text. A one-pixel gap parts the stacked buttons under the
// theme (themeGap), and the down button of sbpHorzRight gives up its right column for the
// separator.
struct TkvSpinButtonLayout {
    TRect Bounds[4]{};
    TRect Rest{};
    // The separator between the buttons (theme only); To is past the last pixel.
    bool HasSeparator = false;
    TPoint SeparatorFrom{};
    TPoint SeparatorTo{};
};
TkvSpinButtonLayout KvPlaceSpinButtons(const TRect &content, TkvSpinEditButtonsPosition position, bool fastButtons,
                                       int stepWidth, bool themed);

// Stacked: the "Zg" height plus the content offsets less 1, halved and rounded up. Side by
// side: four arrow heights less 3, the arrow fitted to the editor's height.
int KvSpinStepButtonWidth(TkvSpinEditButtonsPosition position, int textHeight, int contentOffsets, int editorHeight);
// One and a half step buttons, rounded up.
constexpr int KvSpinFastButtonWidth(int stepWidth) noexcept { return (3 * stepWidth + 1) / 2; }

// The spin theme's parts: up and down (stacked), and the horizontal up and down.
inline constexpr int kvSpinThemePartUp = 1;
inline constexpr int kvSpinThemePartDown = 2;
inline constexpr int kvSpinThemePartUpHorz = 3;
inline constexpr int kvSpinThemePartDownHorz = 4;
int KvSpinThemePart(int button, TkvSpinEditButtonsPosition position) noexcept;
// Up for the stacked up button, down for the stacked down one, left or right otherwise.
TkvArrowDirection KvSpinArrowDirection(int button, TkvSpinEditButtonsPosition position) noexcept;

class TkvSpinEditButtonViewInfo : public TkvEditButtonViewInfo {
    CL_CLASS(TkvSpinEditButtonViewInfo, TkvEditButtonViewInfo)

public:
    // The spin theme's part, 0 without the theme (the theme state is Data.NativeState).
    int ThemePart = 0;

    void Assign(TPersistent *source) override;
};

class TkvSpinEditViewInfo : public TkvCustomTextEditViewInfo {
    CL_CLASS(TkvSpinEditViewInfo, TkvCustomTextEditViewInfo)

public:
    TkvSpinEditButtonsPosition Position = sbpVert;
    bool ShowFastButtons = false;
    // Rows of the arrows.
    int ArrowSize = 1;
    bool HasSeparator = false;
    TPoint SeparatorFrom{};
    TPoint SeparatorTo{};

    TkvSpinEditButtonViewInfo *SpinButton(int index) const {
        return static_cast<TkvSpinEditButtonViewInfo *>(Button(index));
    }

    void Assign(TkvContainerViewInfo *source) override;
    void MoveBy(int dx, int dy) override;
    // A themed background leaves the content cut out of the clip; the buttons and the text
    // stand there, so the clip is given back.
    void DrawButton(TkvCanvas *canvas, int index) override;
    TClass ButtonViewInfoClass() override { return TkvSpinEditButtonViewInfo::ClassInfo(); }

protected:
    // The frame of one button by its style, the background filled; R ends as its content.
    virtual void DrawSpinButtonFrame(TkvCanvas *canvas, TkvSpinEditButtonViewInfo *button, TRect &rect);
    virtual void DrawSpinButtonArrow(TkvCanvas *canvas, TkvSpinEditButtonViewInfo *button, const TRect &rect);
};

class TkvSpinEditViewData : public TkvCustomTextEditViewData {
    CL_CLASS(TkvSpinEditViewData, TkvCustomTextEditViewData)

public:
    TkvSpinEditButtonsPosition Position = sbpVert;
    bool ShowFastButtons = false;
    // The editor's keyboard spin: 0 none, else the button index plus 1.
    int KeyboardSpinState = 0;
    // The button the mouse holds down (repeating), -1 none: it stays pressed while the mouse is
    // over it, whatever drives the calculation.
    int HeldButton = -1;

    void CalculateButtonBounds(TkvCustomEditViewInfo *viewInfo, int index, const TRect &bounds) override;
    void CalculateButtonsViewInfo(TkvCanvas *canvas, const TkvEditMouseState &mouse, TkvCustomEditViewInfo *viewInfo,
                                  TkvCustomEditViewInfo *old) override;
    void CalculateButtonViewInfo(TkvCustomEditViewInfo *viewInfo, int viewIndex, int buttonIndex) override;
    // By the keyboard spin, or held by the mouse and under it.
    bool IsButtonPressedByKeyboard(int viewIndex) override;

    // The spin theme draws the buttons.
    bool IsSpinThemeUsed();

private:
    void placeSpinButtons(TkvSpinEditViewInfo *viewInfo);
    void calculateThemeData(TkvSpinEditViewInfo *viewInfo);

    TkvCustomEditViewInfo *calculating_ = nullptr;
    TkvCanvas *canvas_ = nullptr;
    TPoint mousePoint_{-1, -1};
};

#endif
