// kvEditButtonPainting: edit-button frames, contents, theme data and sizes.
#include "kvEditButtonPainting.h"

#include <algorithm>

#include "kvEditPaintUtils.h"
#include "kvLookAndFeelPainters.h"
#include "ztOffice11.h"
#include "ztThemeManager.h"
#include "ztUxTheme.h"

namespace {

constexpr int themePart = 1;
constexpr int office11ButtonColor = 1;
constexpr int office11HighlightBorderColor = 9;

bool isThemed(const TkvEditButtonViewInfoData &data) { return data.NativeState != 0; }

TztThemedObjectType themeKind(const TkvEditButtonViewInfoData &data) {
    return data.ComboBoxStyle ? totComboBox : totButton;
}

TkvButtonState painterState(int state) { return state == kvebsPressed ? kvbsPressed : kvbsHot; }

// The button's background and text colours for its style and state.
void buttonColors(const TkvEditButtonViewInfoData &data, TColor &background, TColor &text) {
    const auto style = static_cast<TkvEditButtonStyle>(data.Style);
    background = data.HasOwnBackground ? data.BackgroundColor : clBtnFace;
    text = clBtnText;
    if (style == btsHotFlat) {
        if (!data.HasOwnBackground) {
            static constexpr TColor byState[] = {clBtnFace, clBtnFace, clBtnText, clBtnShadow};
            background = byState[std::clamp(data.State, 0, 3)];
        }
        if (data.State == kvebsPressed || data.State == kvebsHot)
            text = data.State == kvebsHot && data.HasOwnBackground ? clBtnShadow : clWindow;
    } else if ((style == btsUltraFlat || style == btsOffice11) && !data.HasOwnBackground) {
        if (data.State == kvebsDisabled)
            background = clBtnFace;
        else if (data.State == kvebsNormal)
            background = style == btsOffice11 ? Office11Color(office11ButtonColor) : clBtnFace;
        else if (style == btsOffice11)
            background = PainterOf<TkvOffice11LookAndFeelPainter>()->GetButtonFaceColor(painterState(data.State));
        else
            background = PainterOf<TkvUltraFlatLookAndFeelPainter>()->GetButtonFaceColor(painterState(data.State));
    }
}

void fill(TkvCanvas *canvas, const TRect &rect, TColor color) {
    if (rect.right > rect.left && rect.bottom > rect.top)
        ::FillRect(canvas->GetHandle(), &rect, CachedSolidBrush(color));
}

void frame(TkvCanvas *canvas, TRect &rect, TColor color) { DrawEdges(canvas->Canvas(), rect, kvEdgeAll, color); }

void twoColorFrame(TkvCanvas *canvas, TRect &rect, TColor leftTop, TColor rightBottom) {
    TRect r = rect;
    DrawEdges(canvas->Canvas(), r, kvEdgeLeft | kvEdgeTop, leftTop);
    r = rect;
    // Right and bottom over the whole side, as the second colour of a frame is.
    TRect right{rect.right - 1, rect.top, rect.right, rect.bottom};
    TRect bottom{rect.left, rect.bottom - 1, rect.right, rect.bottom};
    fill(canvas, right, rightBottom);
    fill(canvas, bottom, rightBottom);
    InflateRect(&rect, -1, -1);
}

void narrow(TRect &rect) {
    ++rect.left;
    --rect.right;
}

HTHEME openTheme(const TkvEditButtonViewInfoData &data) {
    return IsThemeAvailable(themeKind(data)) ? OpenThemeForKind(themeKind(data)) : nullptr;
}

// Dots, an arrow or a caption: once embossed when disabled, else in the colour.
template <class Draw> void drawSymbol(bool disabled, TColor color, Draw draw) {
    if (disabled) {
        draw(1, clBtnHighlight);
        draw(0, clBtnShadow);
    } else {
        draw(0, color);
    }
}

int themedMargin(TkvCanvas *canvas, bool vertical) {
    HTHEME theme = OpenThemeForKind(totButton);
    if (theme == nullptr)
        return 4;
    RECT bounds{0, 0, 100, 100};
    RECT content = bounds;
    zt::GetThemeBackgroundContentRect(theme, canvas->GetHandle(), themePart, 1, bounds, content);
    return vertical ? 100 - (content.bottom - content.top) : 100 - (content.right - content.left);
}

bool confirmNative(TkvEditButtonViewInfoData &data) {
    data.NativeStyle = data.NativeStyle && IsThemeAvailable(themeKind(data));
    return data.NativeStyle;
}

} // namespace

int EditButtonThemeState(int state) noexcept {
    switch (state) {
    case kvebsDisabled:
        return 4;
    case kvebsPressed:
        return 3;
    case kvebsHot:
        return 2;
    default:
        return 1;
    }
}

void UpdateButtonThemeData(TkvEditButtonViewInfoData &data) {
    data.IsPartiallyTransparent = false;
    data.NativeState = 0;
    if (!data.NativeStyle)
        return;
    HTHEME theme = openTheme(data);
    if (theme == nullptr)
        return;
    data.NativeState = EditButtonThemeState(data.State);
    data.IsPartiallyTransparent = zt::IsThemeBackgroundPartiallyTransparent(theme, themePart, data.NativeState) != FALSE;
}

int EditButtonFrameExtraWidth(TkvEditButtonStyle style) noexcept {
    switch (style) {
    case btsDefault:
        return 0;
    case bts3D:
        return 4;
    default:
        return 2;
    }
}

int GetEditButtonWidth(TkvCanvas *canvas, TkvEditButtonViewInfoData &data) {
    const int margin = confirmNative(data) ? themedMargin(canvas, false) : 4;
    if (data.Width >= 1)
        return std::max(data.Width, margin);
    const int scrollBar = GetSystemMetrics(SM_CYHSCROLL);
    switch (data.Kind) {
    case bkGlyph:
        if (IsGlyphValid(data.Glyph))
            return data.Glyph->GetWidth() + margin;
        return scrollBar;
    case bkText:
        return std::max(scrollBar, margin + canvas->TextWidth(data.VisibleCaption) + 3);
    default:
        return scrollBar;
    }
}

int GetEditButtonBorderWidth(TkvCanvas *canvas, TkvEditButtonViewInfoData &data) {
    if (!confirmNative(data))
        return EditButtonFrameExtraWidth(static_cast<TkvEditButtonStyle>(data.Style));
    return themedMargin(canvas, true);
}

void DrawEditButtonBorder(TkvCanvas *canvas, TkvEditButtonViewInfo *button, TRect &rect,
                          const TkvEditButtonPaintContext &context) {
    const TkvEditButtonViewInfoData &data = button->Data;
    if (isThemed(data)) {
        if (HTHEME theme = openTheme(data))
            zt::DrawThemeBackground(theme, canvas->GetHandle(), themePart, data.NativeState, rect);
        return;
    }
    TColor background;
    TColor text;
    buttonColors(data, background, text);
    const bool pressed = data.State == kvebsPressed;
    switch (static_cast<TkvEditButtonStyle>(data.Style)) {
    case bts3D:
        if (pressed) {
            frame(canvas, rect, clBtnShadow);
            frame(canvas, rect, background);
        } else {
            twoColorFrame(canvas, rect, cl3DLight, cl3DDkShadow);
            twoColorFrame(canvas, rect, clBtnHighlight, clBtnShadow);
        }
        break;
    case btsFlat:
        DrawEdges(canvas->Canvas(), rect, kvEdgeLeft, background);
        if (pressed)
            twoColorFrame(canvas, rect, clBtnShadow, clBtnHighlight);
        else
            twoColorFrame(canvas, rect, clBtnHighlight, clBtnShadow);
        DrawEdges(canvas->Canvas(), rect, kvEdgeRight, background);
        break;
    case btsSimple:
        // The ring in the editor's own colour sets the face apart from the frame.
        if (!context.Transparent)
            frame(canvas, rect, data.BackgroundColor);
        DrawEdges(canvas->Canvas(), rect, kvEdgeLeft | kvEdgeRight, background);
        break;
    case btsHotFlat: {
        const bool adjoins = data.LeftAlignment ? data.RightNeighbour : data.LeftNeighbour;
        if (adjoins) {
            frame(canvas, rect, clBtnShadow);
        } else if (data.LeftAlignment) {
            DrawEdges(canvas->Canvas(), rect, kvEdgeLeft | kvEdgeTop | kvEdgeBottom, clBtnShadow);
            DrawEdges(canvas->Canvas(), rect, kvEdgeRight, background);
        } else {
            DrawEdges(canvas->Canvas(), rect, kvEdgeTop | kvEdgeRight | kvEdgeBottom, clBtnShadow);
            DrawEdges(canvas->Canvas(), rect, kvEdgeLeft, background);
        }
        DrawEdges(canvas->Canvas(), rect, kvEdgeLeft | kvEdgeRight, background);
        break;
    }
    case btsUltraFlat:
    case btsOffice11: {
        const TColor frameColor = data.Style == btsOffice11 ? Office11Color(office11HighlightBorderColor) : clHighlight;
        if (data.State == kvebsDisabled || data.State == kvebsNormal) {
            if (!context.Transparent) {
                frame(canvas, rect, data.BackgroundColor);
                // The ring already took a pixel at each side; the columns the narrowing leaves
                // belong to it too, or nothing would paint them.
                TRect columns = rect;
                DrawEdges(canvas->Canvas(), columns, kvEdgeLeft | kvEdgeRight, data.BackgroundColor);
            }
            narrow(rect);
        } else if (context.FullFrame) {
            frame(canvas, rect, frameColor);
            narrow(rect);
        } else {
            const TRect r = rect;
            bool left;
            bool right;
            if (data.LeftAlignment) {
                left = !data.LeftNeighbour;
                right = r.right != context.BorderRect.right;
            } else {
                right = !data.RightNeighbour;
                left = r.left != context.BorderRect.left;
            }
            if (left)
                fill(canvas, TRect{r.left, r.top, r.left + 1, r.bottom}, frameColor);
            if (right)
                fill(canvas, TRect{r.right - 1, r.top, r.right, r.bottom}, frameColor);
            InflateRect(&rect, -1, -1);
        }
        break;
    }
    default:
        break;
    }
    fill(canvas, rect, background);
}

void DrawEditButtonContent(TkvCanvas *canvas, TkvEditButtonViewInfo *button, const TRect &rect,
                           const TkvEditButtonPaintContext &context) {
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    const TkvEditButtonViewInfoData &data = button->Data;
    const bool themed = isThemed(data);
    const bool disabled = data.State == kvebsDisabled;
    const bool pressed = data.State == kvebsPressed;
    const bool validGlyph = data.Kind == bkGlyph && IsGlyphValid(data.Glyph);
    TColor background;
    TColor text;
    buttonColors(data, background, text);
    if (!themed && !validGlyph && !context.BackgroundDrawn)
        fill(canvas, rect, background);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    // A dark HotFlat face takes the light text colour its frame chose.
    const bool hotFlatLit = data.Style == btsHotFlat && (pressed || data.State == kvebsHot);
    const TColor symbolColor = hotFlatLit ? text : context.SymbolColor;
    switch (data.Kind) {
    case bkEllipsis: {
        const int size = width > 11 ? 2 : 1;
        int x = 0;
        int y = 0;
        CenterInRect(rect, TSize{3 * size + 4, size}, pressed, x, y);
        drawSymbol(disabled, symbolColor, [&](int shift, TColor color) {
            for (int dot = 0; dot < 3; ++dot) {
                int left = x + shift + dot * (size + 2);
                fill(canvas, TRect{left, y + shift, left + size, y + shift + size}, color);
            }
        });
        break;
    }
    case bkDown: {
        const int size = std::max(1, context.ArrowSize);
        const int arrowWidth = 2 * size - 1;
        auto place = [pressed](int start, int room, int extent) {
            int spare = room - extent;
            int at = start + spare / 2;
            // The odd pixel goes right (down) when pressed, left (up) otherwise.
            if (spare % 2 != 0 && !pressed)
                at += spare > 0 ? 1 : -1;
            return at;
        };
        int x = place(rect.left, width, arrowWidth);
        int y = context.InPlace ? place(rect.top, height, size) : rect.top + (height - size) / 2;
        if (pressed) {
            ++x;
            ++y;
        }
        drawSymbol(disabled, symbolColor, [&](int shift, TColor color) {
            DrawArrows(canvas, size, TRect{x + shift, y + shift, x + shift + arrowWidth, y + shift + size}, color, false,
                       false, adDown);
        });
        break;
    }
    case bkGlyph: {
        if (!validGlyph)
            break;
        TSize size{std::min(data.Glyph->GetWidth(), width), std::min(data.Glyph->GetHeight(), height)};
        int x = 0;
        int y = 0;
        CenterInRect(rect, size, pressed, x, y);
        if (themed) {
            TOwned<TBitmap> area(New<TBitmap>());
            area->SetSize(size.cx, size.cy);
            HDC areaDC = area->GetCanvas()->GetHandle();
            if (HTHEME theme = openTheme(data)) {
                RECT shifted = rect;
                OffsetRect(&shifted, -x, -y);
                zt::DrawThemeBackground(theme, areaDC, themePart, data.NativeState, shifted);
            }
            DrawGlyph(area->GetCanvas(), 0, 0, nullptr, clNone, !disabled, data.Glyph);
            canvas->Draw(x, y, area.get());
        } else {
            TOwned<TBitmap> area(New<TBitmap>());
            area->SetSize(width, height);
            HDC areaDC = area->GetCanvas()->GetHandle();
            RECT all{0, 0, width, height};
            ::FillRect(areaDC, &all, CachedSolidBrush(background));
            if (context.DrawBackground) {
                // The view's background (a gradient, a hook) lands in the bitmap as it would on the canvas.
                TOwned<TkvCanvas> areaCanvas(New<TkvCanvas>(area->GetCanvas()));
                POINT origin{};
                SetWindowOrgEx(areaDC, rect.left, rect.top, &origin);
                context.DrawBackground(areaCanvas.get(), rect);
                SetWindowOrgEx(areaDC, origin.x, origin.y, nullptr);
            }
            DrawGlyph(area->GetCanvas(), x - rect.left, y - rect.top, nullptr, clNone, !disabled, data.Glyph);
            canvas->Draw(rect.left, rect.top, area.get());
        }
        break;
    }
    case bkText: {
        TColor color = data.TextColor == clDefault ? context.TextColor : data.TextColor;
        if (hotFlatLit)
            color = symbolColor;
        if (context.Font != nullptr)
            canvas->SetFont(context.Font);
        canvas->GetBrush()->SetStyle(bsClear);
        TRect r = rect;
        narrow(r);
        if (!context.InPlace) {
            ++r.top;
            --r.bottom;
        }
        if (pressed)
            OffsetRect(&r, 1, 1);
        constexpr TkvTextFlags flags = tfCenterH | tfCenterV | tfSingleLine | tfShowPrefix | tfEndEllipsis;
        drawSymbol(disabled, color, [&](int shift, TColor c) {
            TRect shifted = r;
            OffsetRect(&shifted, shift, shift);
            canvas->GetFont()->SetColor(c);
            canvas->DrawText(data.VisibleCaption, shifted, flags);
        });
        break;
    }
    }
}
