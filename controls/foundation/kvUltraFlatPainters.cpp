// kvUltraFlatPainters: the UltraFlat painter (one-pixel frames, faces lit from the highlight
// colour) and the Office11 painter (the same shapes in the Office 2003 scheme colours).
#include <algorithm>

#include "kvLookAndFeelPainters.h"
#include "kvLookAndFeelPaintersInternal.h"
#include "ztOffice11.h"
#include "ztThemeManager.h"

using namespace kvpainters;

namespace {

void fillPageArea(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) {
    TBitmap *pattern = ScrollBarPatternBitmap(state == kvbsPressed);
    if (pattern == nullptr) {
        fill(canvas, rect, state == kvbsPressed ? cl3DDkShadow : clScrollBar);
        return;
    }
    canvas->FillRect(rect, pattern);
    canvas->GetBrush()->SetBitmap(nullptr);
    canvas->GetBrush()->SetStyle(bsSolid);
}

// The scheme colours are read only while the painters' unit holds them; without them the
// colours of the scheme-less Office look stand in.
TColor schemeColor(int number) {
    TColor color = Office11Color(number);
    return color == clNone ? clBtnFace : color;
}

bool schemeInUse() { return IsOffice11Themed() && GetCurrentOffice11Scheme() != schemeNone; }

} // namespace

// --- UltraFlat

TkvPainterStyle TkvUltraFlatLookAndFeelPainter::GetPainterStyle() const { return kvpsUltraFlat; }
TColor TkvUltraFlatLookAndFeelPainter::GetFrameLineColor() const { return clBtnShadow; }
int TkvUltraFlatLookAndFeelPainter::GetControlFrameWidth() const { return 1; }

void TkvUltraFlatLookAndFeelPainter::DrawControlFrame(TkvCanvas *canvas, const TRect &rect) const {
    frame(canvas, rect, clBtnShadow);
}

int TkvUltraFlatLookAndFeelPainter::GetButtonBorderWidth(TkvButtonState state) const {
    return state == kvbsDefault ? 2 : 1;
}

TColor TkvUltraFlatLookAndFeelPainter::GetButtonFaceColor(TkvButtonState state) const {
    switch (state) {
    case kvbsHot:
        return GetHotBlendColor();
    case kvbsPressed:
        return GetPressedBlendColor();
    default:
        return clBtnFace;
    }
}

TRect TkvUltraFlatLookAndFeelPainter::GetButtonFocusBounds(TkvCanvas *, const TRect &rect) const {
    TRect r = deflated(rect, 3);
    return isEmpty(r) ? rect : r;
}

TRect TkvUltraFlatLookAndFeelPainter::GetGroupedButtonBorderWidths(int index, int count) const {
    return TRect{index == 0 ? 2 : 1, 2, index == count - 1 ? 2 : 1, 2};
}

int TkvUltraFlatLookAndFeelPainter::GetButtonTextIndent() const { return 2; }
int TkvUltraFlatLookAndFeelPainter::GetButtonPressedShift() const { return 0; }

TColor TkvUltraFlatLookAndFeelPainter::GetButtonForeColor(TkvButtonState state, TColor color) const {
    if (state == kvbsPressed)
        return clHighlightText;
    return TkvCustomLookAndFeelPainter::GetButtonForeColor(state, color);
}

TkvButtonState TkvUltraFlatLookAndFeelPainter::GetButtonForeState(TkvButtonState) const { return kvbsNormal; }

void TkvUltraFlatLookAndFeelPainter::DrawGroupedButton(TkvCanvas *canvas, const TRect &rect, TColor frameColor,
                                                       int index, int count, TkvButtonState state) const {
    TRect r = deflated(rect, 0, 1);
    if (index == 0)
        ++r.left;
    if (index == count - 1)
        --r.right;
    if (isEmpty(r))
        return;
    if (state == kvbsNormal || state == kvbsDisabled) {
        frame(canvas, r, frameColor);
        r = deflated(r, 1);
    } else {
        if (index != 0) {
            frame(canvas, r, GetHighlightFrameColor(), TkvBorders{bLeft});
            ++r.left;
        }
        if (index != count - 1) {
            frame(canvas, r, GetHighlightFrameColor(), TkvBorders{bRight});
            --r.right;
        }
    }
    fill(canvas, r, GetButtonFaceColor(state));
}

void TkvUltraFlatLookAndFeelPainter::DrawButtonFrame(TkvCanvas *canvas, const TRect &rect,
                                                     TkvButtonState state) const {
    TColor color;
    switch (state) {
    case kvbsDefault:
        frame(canvas, rect, clWindowFrame);
        frame(canvas, deflated(rect, 1), clWindowFrame);
        return;
    case kvbsNormal:
        color = clBtnText;
        break;
    case kvbsDisabled:
        color = clBtnShadow;
        break;
    default:
        color = clHighlight;
        break;
    }
    frame(canvas, rect, color);
}

void TkvUltraFlatLookAndFeelPainter::DrawButtonOutline(TkvCanvas *canvas, const TRect &rect, bool hot,
                                                       bool pressed) const {
    frame(canvas, rect, pressed ? clBtnText : hot ? GetHighlightFrameColor() : clBtnShadow);
}

void TkvUltraFlatLookAndFeelPainter::DrawExpandBox(TkvCanvas *canvas, const TRect &rect, TColor color,
                                                   bool expanded) const {
    if (isEmpty(rect))
        return;
    frame(canvas, rect, clBtnShadow);
    fill(canvas, deflated(rect, 1), color == clDefault ? clBtnFace : color);
    DrawExpandCross(canvas, rect, clBtnText, expanded);
    canvas->ExcludeClipRect(rect);
}

int TkvUltraFlatLookAndFeelPainter::GetExpandBoxSize() const { return 11; }
bool TkvUltraFlatLookAndFeelPainter::TracksButtonHover() const { return true; }

void TkvUltraFlatLookAndFeelPainter::DrawCheckFrame(TkvCanvas *canvas, const TRect &rect,
                                                    TkvButtonState state) const {
    frame(canvas, rect, clBtnText);
    frame(canvas, deflated(rect, 1), GetCheckFaceColor(state));
}

void TkvUltraFlatLookAndFeelPainter::DrawHeaderSimple(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                                                      TkvBorders sides, TkvButtonState state,
                                                      const TkvHeaderText &text,
                                                      const TkvBackground &background) const {
    if (isEmpty(rect))
        return;
    TRect inner = deflated(rect, 1);
    DrawCellContent(canvas, rect, background, text.BackgroundColor, text.TextColor, text.Font,
                    text.Text.empty() ? nullptr : &text.Text, text.Placement, deflated(textRect, 1), state);
    DrawHeaderFrame(canvas, inner, TkvHeaderNeighbors{}, sides);
}

void TkvUltraFlatLookAndFeelPainter::DrawHeaderFrame(TkvCanvas *canvas, const TRect &rect,
                                                     const TkvHeaderNeighbors &, TkvBorders sides) const {
    TkvBorders lines{bRight, bBottom};
    if (sides.Contains(bLeft))
        lines = lines + TkvBorders{bLeft};
    if (sides.Contains(bTop))
        lines = lines + TkvBorders{bTop};
    frame(canvas, rect, clBtnText, lines);
}

void TkvUltraFlatLookAndFeelPainter::DrawHeaderSectionFrame(TkvCanvas *canvas, const TRect &rect,
                                                            TkvButtonState state, TkvBorders sides) const {
    frame(canvas, rect, state == kvbsDisabled ? clBtnShadow : clBlack, sides);
}

void TkvUltraFlatLookAndFeelPainter::DrawHeaderSectionContent(TkvCanvas *canvas, const TRect &rect,
                                                              const TRect &textRect, TkvButtonState state,
                                                              const TkvHeaderText &text) const {
    TkvHeaderText shown = text;
    if (state == kvbsHot || state == kvbsPressed || state == kvbsDisabled)
        shown.BackgroundColor = GetButtonFaceColor(state);
    TkvCustomLookAndFeelPainter::DrawHeaderSectionContent(canvas, rect, textRect, state, shown);
}

void TkvUltraFlatLookAndFeelPainter::DrawSortArrow(TkvCanvas *canvas, const TRect &rect, bool ascending) const {
    DrawSortArrowMark(canvas, rect, ascending, clBtnShadow, clBtnShadow);
}

TkvBorders TkvUltraFlatLookAndFeelPainter::GetHeaderBorderSides(const TkvHeaderNeighbors &neighbors) const {
    TkvBorders sides = kvAllBorders;
    if (neighbors.Left)
        sides = sides - TkvBorders{bLeft};
    if (neighbors.Top)
        sides = sides - TkvBorders{bTop};
    return sides;
}

int TkvUltraFlatLookAndFeelPainter::GetHeaderBorderWidth() const { return 1; }
TSize TkvUltraFlatLookAndFeelPainter::GetSortArrowSize() const { return TSize{7, 8}; }
TkvBorders TkvUltraFlatLookAndFeelPainter::GetFooterBorderSides() const { return TkvBorders{bRight, bBottom}; }
int TkvUltraFlatLookAndFeelPainter::GetFooterBorderWidth() const { return 1; }
int TkvUltraFlatLookAndFeelPainter::GetFooterCellBorderWidth() const { return 1; }
int TkvUltraFlatLookAndFeelPainter::GetFooterCellIndent() const { return 2; }

void TkvUltraFlatLookAndFeelPainter::DrawFooterFrame(TkvCanvas *canvas, const TRect &rect) const {
    frame(canvas, rect, GetFooterLineColor(), TkvBorders{bRight, bBottom});
}

void TkvUltraFlatLookAndFeelPainter::DrawFooterCellFrame(TkvCanvas *canvas, const TRect &rect) const {
    frame(canvas, rect, GetFooterLineColor());
}

void TkvUltraFlatLookAndFeelPainter::DrawDropDownArrowButton(TkvCanvas *canvas, const TRect &rect, bool active,
                                                             TkvButtonState state) const {
    if (isEmpty(rect))
        return;
    frame(canvas, rect, GetHotFrameColor(state));
    TRect inner = deflated(rect, 1);
    fill(canvas, inner, GetButtonFaceColor(state));
    DrawTriangleArrow(canvas, inner, active ? 0xFF0000 : GetButtonForeColor(state, clDefault));
}

TSize TkvUltraFlatLookAndFeelPainter::GetCloseCrossSize() const { return TSize{16, 15}; }

void TkvUltraFlatLookAndFeelPainter::DrawTabFrame(TkvCanvas *canvas, const TRect &rect, bool selected,
                                                  TkvBorders sides, TkvTabPosition position) const {
    if (isEmpty(rect))
        return;
    frame(canvas, rect, GetTabFrameColor(), sides);
    // The band that meets the tab area.
    int w = GetTabFrameWidth(false);
    if (position == tpTop && !selected && sides.Contains(bBottom))
        fill(canvas, TRect{rect.left + w, rect.bottom - 1, rect.right - w, rect.bottom}, GetExtraTextColor());
    else if (position == tpBottom && selected && sides.Contains(bTop))
        fill(canvas, TRect{rect.left + w, rect.top, rect.right - w, rect.top + 1}, GetExtraTextColor());
}

void TkvUltraFlatLookAndFeelPainter::DrawTabAreaFrame(TkvCanvas *canvas, const TRect &rect, bool,
                                                      TkvBorders sides) const {
    if (isEmpty(rect))
        return;
    canvas->DrawTwoColorFrame(rect, GetTabFrameColor(), GetTabFrameColor(), sides,
                              std::min({GetTabFrameWidth(false), width(rect), height(rect)}));
}

int TkvUltraFlatLookAndFeelPainter::GetTabFrameWidth(bool) const { return 1; }

void TkvUltraFlatLookAndFeelPainter::DrawScrollBarElement(TkvCanvas *canvas, bool horizontal, TkvButtonState state,
                                                          TkvScrollBarPart part, const TRect &rect) const {
    if (isEmpty(rect) || (part == sbpThumb && state == kvbsDisabled))
        return;
    switch (part) {
    case sbpLineUp:
    case sbpLineDown:
    case sbpThumb:
        DrawPushButton(canvas, rect, L"", state);
        if (part != sbpThumb)
            DrawArrowForState(canvas, rect, state, GetScrollArrowDirection(horizontal, part));
        break;
    case sbpPageUp:
    case sbpPageDown:
        fillPageArea(canvas, rect, state);
        break;
    default:
        break;
    }
}

void TkvUltraFlatLookAndFeelPainter::DrawPlainButton(TkvCanvas *canvas, const TRect &rect,
                                                     TkvButtonState state) const {
    DrawPushButton(canvas, rect, L"", state, state == kvbsHot || state == kvbsPressed);
}

void TkvUltraFlatLookAndFeelPainter::DrawSplitter(TkvCanvas *canvas, const TRect &rect, bool horizontal,
                                                  TBrush *brush) const {
    if (isEmpty(rect))
        return;
    TRect r = rect;
    if (horizontal) {
        frame(canvas, r, GetFrameLineColor(), TkvBorders{bTop, bBottom});
        r = deflated(r, 0, 1);
    } else {
        frame(canvas, r, GetFrameLineColor(), TkvBorders{bLeft, bRight});
        r = deflated(r, 1, 0);
    }
    if (isEmpty(r))
        return;
    if (brush != nullptr)
        canvas->Canvas()->SetBrush(brush);
    canvas->FillRect(r);
}

TColor TkvUltraFlatLookAndFeelPainter::GetHotFrameColor(TkvButtonState state) const {
    return state == kvbsNormal ? clBtnShadow : clHighlight;
}

TColor TkvUltraFlatLookAndFeelPainter::GetTabFrameColor() const { return clBtnShadow; }
TColor TkvUltraFlatLookAndFeelPainter::GetExtraTextColor() const { return clBtnText; }
TColor TkvUltraFlatLookAndFeelPainter::GetHighlightFrameColor() const { return clHighlight; }

// --- Office11

TkvPainterStyle TkvOffice11LookAndFeelPainter::GetPainterStyle() const { return kvpsOffice11; }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor03() const { return schemeColor(7); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor04() const { return schemeColor(8); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor06() const { return schemeColor(1); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor07() const { return GetDefaultColor14(); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor09() const { return schemeColor(18); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor11() const { return schemeColor(16); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor12() const { return schemeColor(3); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor13() const { return GetOffice11Color4(); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor15() const { return GetDefaultColor11(); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor22() const { return schemeColor(1); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor23() const { return schemeColor(19); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor24() const { return clWindowText; }
TColor TkvOffice11LookAndFeelPainter::GetFrameLineColor() const { return schemeColor(20); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor28() const { return schemeColor(21); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor34() const { return schemeColor(2); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor36() const { return GetDefaultColor34(); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor39() const { return schemeColor(1); }
TColor TkvOffice11LookAndFeelPainter::GetDefaultColor41() const { return GetDefaultColor28(); }

TColor TkvOffice11LookAndFeelPainter::GetOffice11Color1() const { return schemeColor(4); }
TColor TkvOffice11LookAndFeelPainter::GetOffice11Color2() const { return schemeColor(5); }
TColor TkvOffice11LookAndFeelPainter::GetOffice11Color3() const { return schemeColor(6); }
TColor TkvOffice11LookAndFeelPainter::GetOffice11Color4() const {
    return BlendRGBPercent(schemeColor(3), schemeColor(4), 50);
}

void TkvOffice11LookAndFeelPainter::drawCell(TkvCanvas *canvas, const TRect &rect, const TkvBackground &background,
                                             TColor textColor, TFont *font, const std::wstring *text,
                                             const TkvTextPlacement &placement, const TRect &textRect,
                                             TkvButtonState state, bool footer) const {
    if (isEmpty(rect))
        return;
    HDC dc = canvas->GetHandle();
    if (!background.Paint(canvas, rect)) {
        TColor face = state == kvbsHot ? schemeColor(10) : schemeColor(3);
        if (footer || height(rect) <= 4) {
            fill(canvas, rect, face);
        } else {
            fill(canvas, TRect{rect.left, rect.top, rect.right, rect.bottom - 4}, face);
            FillGradientRect(dc, TRect{rect.left, rect.bottom - 4, rect.right, rect.bottom}, face,
                             state == kvbsHot ? schemeColor(11) : schemeColor(2), false);
        }
    }
    if (text != nullptr) {
        ClipScope clip(canvas, rect);
        canvas->GetBrush()->SetStyle(bsClear);
        if (font != nullptr)
            canvas->SetFont(font);
        canvas->GetFont()->SetColor(textColor);
        canvas->DrawText(*text, textRect, TextPlacementFlags(placement));
        canvas->GetBrush()->SetStyle(bsSolid);
    }
    if (state == kvbsHot && !footer && height(rect) > 3) {
        ClipScope clip(canvas, rect);
        FillGradientRect(dc, TRect{rect.left - 1, rect.bottom - 3, rect.right, rect.bottom}, schemeColor(11),
                         schemeColor(13), false);
    }
}

void TkvOffice11LookAndFeelPainter::DrawCellContent(TkvCanvas *canvas, const TRect &rect,
                                                    const TkvBackground &background, TColor, TColor textColor,
                                                    TFont *font, const std::wstring *text,
                                                    const TkvTextPlacement &placement, const TRect &textRect,
                                                    TkvButtonState state) const {
    drawCell(canvas, rect, background, textColor, font, text, placement, textRect, state, false);
}

void TkvOffice11LookAndFeelPainter::DrawControlFrame(TkvCanvas *canvas, const TRect &rect) const {
    frame(canvas, rect, schemeColor(17));
}

TColor TkvOffice11LookAndFeelPainter::GetButtonFaceColor(TkvButtonState state) const {
    return office11ButtonFaceColor(state);
}

TColor TkvOffice11LookAndFeelPainter::GetButtonForeColor(TkvButtonState state, TColor) const {
    if (state == kvbsPressed && !schemeInUse())
        return clHighlightText;
    if (state == kvbsDisabled)
        return schemeColor(15);
    return schemeColor(14);
}

void TkvOffice11LookAndFeelPainter::DrawButtonFrame(TkvCanvas *canvas, const TRect &rect,
                                                    TkvButtonState state) const {
    switch (state) {
    case kvbsDefault:
        TkvUltraFlatLookAndFeelPainter::DrawButtonFrame(canvas, rect, state);
        return;
    case kvbsNormal:
        frame(canvas, rect, clBtnText);
        return;
    case kvbsDisabled:
        frame(canvas, rect, schemeColor(15));
        return;
    default:
        frame(canvas, rect, office11HighlightFrameColor());
        return;
    }
}

void TkvOffice11LookAndFeelPainter::DrawExpandBox(TkvCanvas *canvas, const TRect &rect, TColor color,
                                                  bool expanded) const {
    TBitmap *bitmap = Office11ExpandButtonBitmap(expanded);
    if (bitmap == nullptr || isEmpty(rect)) {
        TkvUltraFlatLookAndFeelPainter::DrawExpandBox(canvas, rect, color, expanded);
        return;
    }
    TCanvas *picture = bitmap->GetCanvas();
    int last = bitmap->GetWidth() - 1;
    TColor topLeft = static_cast<TColor>(GetPixel(canvas->GetHandle(), rect.left, rect.top));
    TColor bottomRight = static_cast<TColor>(GetPixel(canvas->GetHandle(), rect.right - 1, rect.bottom - 1));
    if (topLeft != static_cast<TColor>(CLR_INVALID))
        picture->SetPixel(0, 0, BlendRGBPercent(office11ExpandButtonLightCorner, topLeft, 25));
    if (bottomRight != static_cast<TColor>(CLR_INVALID)) {
        TColor corner = BlendRGBPercent(office11ExpandButtonDarkCorner, bottomRight, 25);
        picture->SetPixel(last, last, corner);
        picture->SetPixel(0, last, corner);
        picture->SetPixel(last, 0, corner);
    }
    ClipScope clip(canvas, rect);
    canvas->Draw(rect.left, rect.top, bitmap);
}

bool TkvOffice11LookAndFeelPainter::GetExpandBoxFlag() const { return false; }

void TkvOffice11LookAndFeelPainter::DrawSmallExpandBox(TkvCanvas *canvas, const TRect &rect, TColor, TColor fillColor,
                                                       bool expanded) const {
    DrawExpandBox(canvas, rect, fillColor, expanded);
}

int TkvOffice11LookAndFeelPainter::GetSmallExpandBoxSize() const { return GetExpandBoxSize(); }

TColor TkvOffice11LookAndFeelPainter::GetCheckFaceColor(TkvButtonState state) const {
    if (state == kvbsHot || state == kvbsPressed || state == kvbsDisabled)
        return GetButtonFaceColor(state);
    return TkvCustomLookAndFeelPainter::GetCheckFaceColor(state);
}

void TkvOffice11LookAndFeelPainter::DrawHeader(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                                               const TkvHeaderNeighbors &, TkvBorders sides, TkvButtonState state,
                                               const TkvHeaderText &text, const TkvBackground &background) const {
    TkvCustomLookAndFeelPainter::DrawHeader(canvas, rect, textRect, TkvHeaderNeighbors{}, sides, state, text,
                                            background);
}

void TkvOffice11LookAndFeelPainter::DrawHeaderFrame(TkvCanvas *canvas, const TRect &rect,
                                                    const TkvHeaderNeighbors &neighbors, TkvBorders sides) const {
    if (isEmpty(rect))
        return;
    ClipScope clip(canvas, rect);
    const TColor c1 = GetOffice11Color1();
    const TColor c2 = GetOffice11Color2();
    const TColor c3 = GetOffice11Color3();
    const TColor c4 = GetOffice11Color4();
    const int l = rect.left;
    const int t = rect.top;
    const int r = rect.right - 1;
    const int b = rect.bottom - 1;
    if (sides.Contains(bTop))
        fill(canvas, TRect{l, t, r + 1, t + 1}, c4);
    if (sides.Contains(bBottom))
        fill(canvas, TRect{l, b, r + 1, b + 1}, c2);
    if (sides.Contains(bLeft)) {
        fill(canvas, TRect{l, t + 1, l + 1, b}, c3);
        canvas->SetPixel(l, t + 1, c4);
        if (neighbors.Left) {
            canvas->SetPixel(l, t + 2, c4);
            canvas->SetPixel(l, b - 2, BlendRGBPercent(c4, c1, 25));
        }
        canvas->SetPixel(l, b - 1, c1);
    }
    if (sides.Contains(bRight)) {
        fill(canvas, TRect{r, t + 1, r + 1, b}, c2);
        if (neighbors.Right) {
            canvas->SetPixel(r, t + 1, c4);
            canvas->SetPixel(r, t + 2, c4);
            canvas->SetPixel(r, b - 2, BlendRGBPercent(c4, c1, 25));
            canvas->SetPixel(r, b - 1, c1);
        } else {
            canvas->SetPixel(r, t, BlendRGBPercent(c4, c2, 50));
            canvas->SetPixel(r, b - 1, BlendRGBPercent(c1, c2, 50));
        }
    }
}

void TkvOffice11LookAndFeelPainter::DrawHeaderSection(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                                                      TkvBorders sides, TkvButtonState state,
                                                      const TkvHeaderText &text) const {
    DrawHeader(canvas, rect, textRect, TkvHeaderNeighbors{}, sides, state, text);
    if (state == kvbsPressed)
        InvertHeaderArea(canvas, rect);
}

void TkvOffice11LookAndFeelPainter::DrawSortArrow(TkvCanvas *canvas, const TRect &rect, bool ascending) const {
    DrawSortArrowMark(canvas, rect, ascending, GetOffice11Color3(), GetOffice11Color2());
}

TkvBorders TkvOffice11LookAndFeelPainter::GetHeaderBorderSides(const TkvHeaderNeighbors &) const {
    return kvAllBorders;
}

bool TkvOffice11LookAndFeelPainter::GetHeaderFlag2() const { return true; }

void TkvOffice11LookAndFeelPainter::DrawFooterCell(TkvCanvas *canvas, const TRect &rect,
                                                   const TkvTextPlacement &placement, const std::wstring &text,
                                                   TFont *font, TColor textColor, TColor,
                                                   const TkvBackground &background) const {
    if (isEmpty(rect))
        return;
    DrawFooterCellFrame(canvas, rect);
    drawCell(canvas, GetFooterCellContentBounds(rect), background, textColor, font, text.empty() ? nullptr : &text,
             placement, GetFooterCellTextBounds(rect), kvbsNormal, true);
}

TColor TkvOffice11LookAndFeelPainter::GetFooterLineColor() const { return GetOffice11Color2(); }

void TkvOffice11LookAndFeelPainter::DrawScrollBarElement(TkvCanvas *canvas, bool horizontal, TkvButtonState state,
                                                         TkvScrollBarPart part, const TRect &rect) const {
    if (IsThemeAvailable(totScrollBar))
        PainterOf<TkvWinXPLookAndFeelPainter>()->DrawScrollBarElement(canvas, horizontal, state, part, rect);
    else
        PainterOf<TkvStandardLookAndFeelPainter>()->DrawScrollBarElement(canvas, horizontal, state, part, rect);
}

void TkvOffice11LookAndFeelPainter::DrawHeaderWithArrows(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                                                         const TkvHeaderNeighbors &, const TkvHeaderText &text,
                                                         int arrowKinds, const TkvBackground &background) const {
    if (isEmpty(rect))
        return;
    TRect inner = deflated(rect, 1);
    if (!background.Paint(canvas, inner))
        fill(canvas, inner, text.BackgroundColor);
    if (!text.Text.empty() && !isEmpty(inner)) {
        ClipScope clip(canvas, inner);
        canvas->GetBrush()->SetStyle(bsClear);
        if (text.Font != nullptr)
            canvas->SetFont(text.Font);
        canvas->GetFont()->SetColor(text.TextColor);
        canvas->DrawText(text.Text, textRect, static_cast<TkvTextFlags>(tfCenterH | tfCenterV | tfSingleLine));
        canvas->GetBrush()->SetStyle(bsSolid);
    }
    DrawHeaderArrows(canvas, rect, arrowKinds, clWindowText);
}

void TkvOffice11LookAndFeelPainter::DrawFramedBorder(TkvCanvas *canvas, const TRect &rect) const {
    frame(canvas, rect, GetFrameLineColor());
}

void TkvOffice11LookAndFeelPainter::DrawPlainButton(TkvCanvas *canvas, const TRect &rect,
                                                    TkvButtonState state) const {
    PainterOf<TkvWinXPLookAndFeelPainter>()->DrawPlainButton(canvas, rect, state);
}

TColor TkvOffice11LookAndFeelPainter::GetHotFrameColor(TkvButtonState state) const {
    return state == kvbsNormal ? GetOffice11Color2() : office11HighlightFrameColor();
}

TColor TkvOffice11LookAndFeelPainter::GetTabFrameColor() const { return GetOffice11Color2(); }
TColor TkvOffice11LookAndFeelPainter::GetHighlightFrameColor() const { return office11HighlightFrameColor(); }
