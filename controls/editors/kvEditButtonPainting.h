// kvEditButtonPainting: the frames and contents of edit buttons in every button style, their
// theme data and their size rules.
//
// The editor's view hands over what it decided for the whole editor (transparency, in-place,
// the arrow size, colours, the font, the border rectangle) in TkvEditButtonPaintContext.
#ifndef KV_EDIT_BUTTON_PAINTING_H
#define KV_EDIT_BUTTON_PAINTING_H

#include <cstdint>
#include <functional>

#include <classlib/geometry.h>
#include <classlib/graphics.h>

#include "kvEditButtons.h"
#include "kvGraphics.h"

enum TkvEditButtonStyle : std::uint8_t { btsDefault, bts3D, btsFlat, btsSimple, btsHotFlat, btsUltraFlat, btsOffice11 };

// Drawing states of a button.
inline constexpr int kvebsDisabled = 0;
inline constexpr int kvebsNormal = 1;
inline constexpr int kvebsPressed = 2;
inline constexpr int kvebsHot = 3;

struct TkvEditButtonPaintContext {
    bool Transparent = false;
    bool InPlace = false;
    // The down arrow's size (rows).
    int ArrowSize = 4;
    // Dots and arrows (a lit HotFlat button uses the text colour of its dark face).
    TColor SymbolColor = clBtnText;
    // The view's text colour, used when the button has clDefault.
    TColor TextColor = clBtnText;
    TFont *Font = nullptr;
    // The editor's border rectangle: where UltraFlat and Office 2003 frames stop.
    TRect BorderRect{};
    // UltraFlat and Office 2003 buttons that are hot or pressed get a whole frame.
    bool FullFrame = false;
    // The content is drawn over a background already painted (the view info's button
    // background, an Office 2003 gradient say): it is not filled again.
    bool BackgroundDrawn = false;
    // Paints that background again in logical coordinates: a glyph's bitmap takes it under the glyph.
    std::function<void(TkvCanvas *canvas, const TRect &rect)> DrawBackground;
};

// The theme state of a drawing state: disabled 4, normal 1, pressed 3, hot 2.
int EditButtonThemeState(int state) noexcept;
// Fills the theme results of the data (part 1 when the ComboBox or Button theme opens).
void UpdateButtonThemeData(TkvEditButtonViewInfoData &data);
int GetEditButtonWidth(TkvCanvas *canvas, TkvEditButtonViewInfoData &data);
int GetEditButtonBorderWidth(TkvCanvas *canvas, TkvEditButtonViewInfoData &data);
// The extra width of a button frame without themes.
int EditButtonFrameExtraWidth(TkvEditButtonStyle style) noexcept;

// The frame by style; R ends as the content rectangle, the background filled.
void DrawEditButtonBorder(TkvCanvas *canvas, TkvEditButtonViewInfo *button, TRect &rect,
                          const TkvEditButtonPaintContext &context);
// The content by kind into R.
void DrawEditButtonContent(TkvCanvas *canvas, TkvEditButtonViewInfo *button, const TRect &rect,
                           const TkvEditButtonPaintContext &context);

#endif
