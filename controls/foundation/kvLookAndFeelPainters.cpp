// kvLookAndFeelPainters: the base painter, its drawing helpers and the painter of each kind.
#include "kvLookAndFeelPainters.h"

#include <algorithm>

#include "kvLookAndFeelPaintersInternal.h"

using namespace kvpainters;

TkvLookAndFeelKind PainterStyleToLookAndFeelKind(TkvPainterStyle style) noexcept {
    switch (style) {
    case kvpsFlat:
        return lfFlat;
    case kvpsUltraFlat:
        return lfUltraFlat;
    case kvpsOffice11:
        return lfOffice11;
    default:
        return lfStandard;
    }
}

TkvArrowDirection GetScrollArrowDirection(bool horizontal, TkvScrollBarPart part) noexcept {
    static constexpr TkvArrowDirection directions[2][2] = {{adUp, adDown}, {adLeft, adRight}};
    return directions[horizontal ? 1 : 0][part != sbpLineUp ? 1 : 0];
}

TkvTextFlags TextPlacementFlags(const TkvTextPlacement &placement) noexcept {
    static constexpr TkvTextFlags horizontal[3] = {tfLeft, tfRight, tfCenterH};
    static constexpr TkvTextFlags vertical[3] = {tfTop, tfBottom, tfCenterV};
    static constexpr TkvTextFlags multiLine[2] = {tfSingleLine, tfWordBreak};
    static constexpr TkvTextFlags ellipsis[2] = {0, tfEndEllipsis};
    return static_cast<TkvTextFlags>(horizontal[std::min<int>(placement.Horizontal, 2)] |
                                     vertical[std::min<int>(placement.Vertical, 2)] |
                                     multiLine[placement.MultiLine ? 1 : 0] | ellipsis[placement.EndEllipsis ? 1 : 0]);
}

// --- drawing helpers

void TkvCustomLookAndFeelPainter::CalcArrowPoints(const TRect &rect, bool squared, TkvArrowDirection direction,
                                                  TPoint points[3]) {
    TRect r = rect;
    int w = width(r);
    int h = height(r);
    if (squared) {
        if (w > h) {
            r.left += (w - h) / 2;
            r.right = r.left + h;
        } else if (h > w) {
            r.top += (h - w) / 2;
            r.bottom = r.top + w;
        }
        w = width(r);
        h = height(r);
    }
    bool horizontalArrow = direction == adLeft || direction == adRight;
    int longSide = ((horizontalArrow ? h : w) - 1) / 2;
    if (longSide % 2 == 0)
        ++longSide;
    int shortSide = longSide / 2 + 1;
    int sizeX = horizontalArrow ? shortSide : longSide;
    int sizeY = horizontalArrow ? longSide : shortSide;
    int x = static_cast<int>((std::int64_t{r.left} + r.right - sizeX) / 2);
    int y = MulDiv(static_cast<int>(std::int64_t{r.top} + r.bottom - sizeY), 1, 2);
    switch (direction) {
    case adUp:
        points[0] = {x + longSide / 2, y};
        points[1] = {x, y + shortSide - 1};
        points[2] = {x + longSide - 1, y + shortSide - 1};
        break;
    case adDown:
        points[0] = {x, y};
        points[1] = {x + longSide - 1, y};
        points[2] = {x + longSide / 2, y + shortSide - 1};
        break;
    case adLeft:
        points[0] = {x, y + longSide / 2};
        points[1] = {x + shortSide - 1, y};
        points[2] = {x + shortSide - 1, y + longSide - 1};
        break;
    default:
        points[0] = {x, y};
        points[1] = {x, y + longSide - 1};
        points[2] = {x + shortSide - 1, y + longSide / 2};
        break;
    }
}

void TkvCustomLookAndFeelPainter::DrawExpandCross(TkvCanvas *canvas, const TRect &rect, TColor color,
                                                  bool expanded) const {
    if (isEmpty(rect))
        return;
    ClipScope clip(canvas, rect);
    int xc = static_cast<int>((std::int64_t{rect.left} + rect.right) / 2);
    int yc = static_cast<int>((std::int64_t{rect.top} + rect.bottom) / 2);
    int arm = std::max(0, (width(rect) - 4) / 2);
    fill(canvas, TRect{xc - arm, yc, xc + arm + 1, yc + 1}, color);
    if (!expanded)
        fill(canvas, TRect{xc, yc - arm, xc + 1, yc + arm + 1}, color);
}

void TkvCustomLookAndFeelPainter::DrawCrossMark(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                                                TColor color) const {
    if (isEmpty(rect))
        return;
    ClipScope clip(canvas, rect);
    int a = GetCloseCrossSize().cx / 2;
    if (a % 2 == 0)
        --a;
    int x = static_cast<int>((std::int64_t{rect.left} + rect.right - a) / 2);
    int y = static_cast<int>((std::int64_t{rect.top} + rect.bottom - a) / 2);
    if (state == kvbsPressed) {
        ++x;
        ++y;
    }
    canvas->GetPen()->SetColor(color);
    for (int dx = 0; dx <= 1; ++dx) {
        canvas->MoveTo(x + dx, y);
        canvas->LineTo(x + dx + a, y + a);
        canvas->MoveTo(x + dx, y + a - 1);
        canvas->LineTo(x + dx + a, y - 1);
    }
}

void TkvCustomLookAndFeelPainter::DrawDoubleChevron(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                                                    bool up) const {
    if (isEmpty(rect))
        return;
    ClipScope clip(canvas, rect);
    constexpr int halfWidth = 3;
    // Two chevrons of two rows each, 2 pixels apart: 2 + 2 + 2 + 2 rows with the tips.
    constexpr int totalHeight = 2 * (halfWidth + 1) + 2;
    int xc = static_cast<int>((std::int64_t{rect.left} + rect.right) / 2);
    int top = static_cast<int>((std::int64_t{rect.top} + rect.bottom - totalHeight) / 2);
    canvas->GetPen()->SetColor(GetButtonForeColor(state, clDefault));
    for (int chevron = 0; chevron < 2; ++chevron)
        for (int row = 0; row < 2; ++row) {
            int y = top + chevron * (halfWidth + 3) + row;
            // An inverted V (pointing up) or a V, its tip halfWidth rows from its ends.
            int tipY = up ? y : y + halfWidth;
            int endY = up ? y + halfWidth : y;
            const TPoint points[3] = {{xc - halfWidth, endY}, {xc, tipY}, {xc + halfWidth + 1, endY + (up ? 1 : -1)}};
            canvas->Polyline(points, 3);
        }
}

void TkvCustomLookAndFeelPainter::DrawSortArrowMark(TkvCanvas *canvas, const TRect &rect, bool ascending,
                                                    TColor light, TColor dark) const {
    if (isEmpty(rect))
        return;
    ClipScope clip(canvas, rect);
    TSize size = GetSortArrowSize();
    if (size.cx <= 0 || size.cy <= 0)
        return;
    int x = static_cast<int>((std::int64_t{rect.left} + rect.right - size.cx) / 2);
    int y = static_cast<int>((std::int64_t{rect.top} + rect.bottom - size.cy) / 2);
    int right = x + size.cx - 1;
    int bottom = y + size.cy - 1;
    int xc = x + size.cx / 2;
    TkvCanvas *c = canvas;
    if (ascending) {
        // Apex on top: the left edge light, the right edge and the base dark.
        c->GetPen()->SetColor(light);
        c->MoveTo(xc, y);
        c->LineTo(x, bottom + 1);
        c->GetPen()->SetColor(dark);
        c->MoveTo(xc, y);
        c->LineTo(right, bottom);
        c->MoveTo(x, bottom);
        c->LineTo(right + 1, bottom);
    } else {
        // Apex below: the base and the left edge light, the right edge dark.
        c->GetPen()->SetColor(light);
        c->MoveTo(right, y);
        c->LineTo(x - 1, y);
        c->MoveTo(x, y);
        c->LineTo(xc, bottom + 1);
        c->GetPen()->SetColor(dark);
        c->MoveTo(right, y);
        c->LineTo(xc, bottom + 1);
    }
}

void TkvCustomLookAndFeelPainter::DrawHeaderArrows(TkvCanvas *canvas, const TRect &rect, int arrowKinds,
                                                   TColor color) const {
    TRect r = rect;
    r.top = shifted(r.top, GetControlFrameWidth());
    r = deflated(r, 0, 1);
    if (isEmpty(r) || (arrowKinds & 3) == 0)
        return;
    ClipScope clip(canvas, r);
    int h = height(r) / 2;
    if (h % 2 == 0)
        --h;
    if (h <= 0)
        return;
    int half = h / 2;
    int yc = static_cast<int>((std::int64_t{r.top} + r.bottom) / 2);
    if (arrowKinds & 1) {
        int x = r.left;
        const TPoint points[3] = {{x, yc}, {x + half, yc - half}, {x + half, yc + half}};
        fillTriangle(canvas, points, color);
    }
    if (arrowKinds & 2) {
        int x = r.right - 1;
        const TPoint points[3] = {{x, yc}, {x - half, yc - half}, {x - half, yc + half}};
        fillTriangle(canvas, points, color);
    }
}

void TkvCustomLookAndFeelPainter::DrawIndicatorGlyph(TkvCanvas *canvas, const TRect &rect, int kind) const {
    TCustomImageList *images = IndicatorImages();
    if (kind == 0 || images == nullptr || isEmpty(rect))
        return;
    int index = (kind & 0x7F) - 1;
    if (index < 0 || index >= images->GetCount())
        return;
    ClipScope clip(canvas, rect);
    int x = static_cast<int>((std::int64_t{rect.left} + rect.right - images->GetWidth()) / 2);
    int y = static_cast<int>((std::int64_t{rect.top} + rect.bottom - images->GetHeight()) / 2);
    images->Draw(canvas->Canvas(), x, y, index);
}

// --- the base operations

void TkvCustomLookAndFeelPainter::DrawTriangleArrow(TkvCanvas *canvas, const TRect &rect, TColor color) const {
    if (isEmpty(rect))
        return;
    ClipScope clip(canvas, rect);
    int w = width(rect) / 2;
    if (w % 2 == 0)
        ++w;
    int h = w / 2 + 1;
    int x = static_cast<int>((std::int64_t{rect.left} + rect.right - w) / 2);
    int y = MulDiv(static_cast<int>(std::int64_t{rect.top} + rect.bottom - h), 1, 2);
    const TPoint points[3] = {{x, y}, {x + w - 1, y}, {x + w / 2, y + h - 1}};
    fillTriangle(canvas, points, color);
}

void TkvCustomLookAndFeelPainter::DrawCellContent(TkvCanvas *canvas, const TRect &rect,
                                                  const TkvBackground &background, TColor backgroundColor,
                                                  TColor textColor, TFont *font, const std::wstring *text,
                                                  const TkvTextPlacement &placement, const TRect &textRect,
                                                  TkvButtonState) const {
    if (isEmpty(rect))
        return;
    if (!background.Paint(canvas, rect))
        fill(canvas, rect, backgroundColor);
    if (text == nullptr)
        return;
    ClipScope clip(canvas, rect);
    canvas->GetBrush()->SetStyle(bsClear);
    if (font != nullptr)
        canvas->SetFont(font);
    canvas->GetFont()->SetColor(textColor);
    canvas->DrawText(*text, textRect, TextPlacementFlags(placement));
    canvas->GetBrush()->SetStyle(bsSolid);
}

TRect TkvCustomLookAndFeelPainter::GetFooterCellContentBounds(const TRect &rect) const {
    return deflated(rect, GetFooterCellBorderWidth());
}

TRect TkvCustomLookAndFeelPainter::GetFooterCellTextBounds(const TRect &rect) const {
    return deflated(GetFooterCellContentBounds(rect), 2);
}

TkvPainterStyle TkvCustomLookAndFeelPainter::GetPainterStyle() const { return kvpsStandard; }

TColor TkvCustomLookAndFeelPainter::GetDefaultColor01() const { return clWindow; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor02() const { return clWindowText; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor03() const { return clBtnShadow; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor04() const { return clBtnHighlight; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor05() const { return clBtnText; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor06() const { return clBtnFace; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor07() const { return clBtnText; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor08() const { return clBtnShadow; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor09() const { return clBtnFace; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor10() const { return clBtnText; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor11() const { return clBtnShadow; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor12() const { return clBtnFace; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor13() const { return clBtnFace; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor14() const { return clBtnText; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor15() const { return clBtnShadow; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor16() const { return clBtnFace; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor17() const { return 0xFF0000; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor18() const { return clBtnFace; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor19() const { return clBtnText; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor20() const { return 0xFF0000; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor21() const { return GetDefaultColor08(); }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor22() const { return clBtnFace; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor23() const { return clHighlight; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor24() const { return clHighlightText; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor25() const { return clWindow; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor26() const { return clWindowText; }
TColor TkvCustomLookAndFeelPainter::GetFrameLineColor() const { return 0x0000FF; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor28() const { return clBtnFace; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor29() const { return 0xD5FFFF; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor30() const { return clWindowText; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor31() const { return clHighlight; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor32() const { return clHighlightText; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor33() const { return clBtnFace; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor34() const { return clBtnFace; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor35() const { return clBtnText; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor36() const { return clBtnFace; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor37() const { return 0xFFFFFF; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor38() const { return 0x000000; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor39() const { return clBtnFace; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor40() const { return clBtnText; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor41() const { return 0xFFFFFF; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor42() const { return 0x000000; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor43() const { return 0x000000; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor44() const { return 0x000000; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor45() const { return 0xCFCFCF; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor46() const { return 0xFFFFFF; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor47() const { return clBtnShadow; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor48() const { return 0xF0CAA6; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor49() const { return 0x800000; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor50() const { return clBtnShadow; }
TColor TkvCustomLookAndFeelPainter::GetDefaultColor51() const { return clBtnShadow; }

TColor TkvCustomLookAndFeelPainter::GetDefaultColor(int number) const {
    using Getter = TColor (TkvCustomLookAndFeelPainter::*)() const;
    static constexpr Getter getters[51] = {
        &TkvCustomLookAndFeelPainter::GetDefaultColor01, &TkvCustomLookAndFeelPainter::GetDefaultColor02,
        &TkvCustomLookAndFeelPainter::GetDefaultColor03, &TkvCustomLookAndFeelPainter::GetDefaultColor04,
        &TkvCustomLookAndFeelPainter::GetDefaultColor05, &TkvCustomLookAndFeelPainter::GetDefaultColor06,
        &TkvCustomLookAndFeelPainter::GetDefaultColor07, &TkvCustomLookAndFeelPainter::GetDefaultColor08,
        &TkvCustomLookAndFeelPainter::GetDefaultColor09, &TkvCustomLookAndFeelPainter::GetDefaultColor10,
        &TkvCustomLookAndFeelPainter::GetDefaultColor11, &TkvCustomLookAndFeelPainter::GetDefaultColor12,
        &TkvCustomLookAndFeelPainter::GetDefaultColor13, &TkvCustomLookAndFeelPainter::GetDefaultColor14,
        &TkvCustomLookAndFeelPainter::GetDefaultColor15, &TkvCustomLookAndFeelPainter::GetDefaultColor16,
        &TkvCustomLookAndFeelPainter::GetDefaultColor17, &TkvCustomLookAndFeelPainter::GetDefaultColor18,
        &TkvCustomLookAndFeelPainter::GetDefaultColor19, &TkvCustomLookAndFeelPainter::GetDefaultColor20,
        &TkvCustomLookAndFeelPainter::GetDefaultColor21, &TkvCustomLookAndFeelPainter::GetDefaultColor22,
        &TkvCustomLookAndFeelPainter::GetDefaultColor23, &TkvCustomLookAndFeelPainter::GetDefaultColor24,
        &TkvCustomLookAndFeelPainter::GetDefaultColor25, &TkvCustomLookAndFeelPainter::GetDefaultColor26,
        &TkvCustomLookAndFeelPainter::GetFrameLineColor, &TkvCustomLookAndFeelPainter::GetDefaultColor28,
        &TkvCustomLookAndFeelPainter::GetDefaultColor29, &TkvCustomLookAndFeelPainter::GetDefaultColor30,
        &TkvCustomLookAndFeelPainter::GetDefaultColor31, &TkvCustomLookAndFeelPainter::GetDefaultColor32,
        &TkvCustomLookAndFeelPainter::GetDefaultColor33, &TkvCustomLookAndFeelPainter::GetDefaultColor34,
        &TkvCustomLookAndFeelPainter::GetDefaultColor35, &TkvCustomLookAndFeelPainter::GetDefaultColor36,
        &TkvCustomLookAndFeelPainter::GetDefaultColor37, &TkvCustomLookAndFeelPainter::GetDefaultColor38,
        &TkvCustomLookAndFeelPainter::GetDefaultColor39, &TkvCustomLookAndFeelPainter::GetDefaultColor40,
        &TkvCustomLookAndFeelPainter::GetDefaultColor41, &TkvCustomLookAndFeelPainter::GetDefaultColor42,
        &TkvCustomLookAndFeelPainter::GetDefaultColor43, &TkvCustomLookAndFeelPainter::GetDefaultColor44,
        &TkvCustomLookAndFeelPainter::GetDefaultColor45, &TkvCustomLookAndFeelPainter::GetDefaultColor46,
        &TkvCustomLookAndFeelPainter::GetDefaultColor47, &TkvCustomLookAndFeelPainter::GetDefaultColor48,
        &TkvCustomLookAndFeelPainter::GetDefaultColor49, &TkvCustomLookAndFeelPainter::GetDefaultColor50,
        &TkvCustomLookAndFeelPainter::GetDefaultColor51};
    if (number < 1 || number > 51)
        return clNone;
    return (this->*getters[number - 1])();
}

void TkvCustomLookAndFeelPainter::DrawArrow(TkvCanvas *canvas, const TRect &rect, TColor color,
                                            TkvArrowDirection direction) const {
    if (isEmpty(rect))
        return;
    ClipScope clip(canvas, rect);
    TPoint points[3];
    CalcArrowPoints(rect, true, direction, points);
    fillTriangle(canvas, points, color);
}

void TkvCustomLookAndFeelPainter::DrawArrowButton(TkvCanvas *canvas, const TRect &rect, bool withBorder,
                                                  TkvArrowDirection direction, TkvButtonState state) const {
    if (isEmpty(rect))
        return;
    if (withBorder)
        DrawButtonFace(canvas, rect, state);
    else
        fill(canvas, rect, GetButtonFaceColor(state));
    ClipScope clip(canvas, rect);
    TPoint points[3];
    CalcArrowPoints(rect, false, direction, points);
    fillTriangle(canvas, points, GetButtonForeColor(state, clDefault));
}

void TkvCustomLookAndFeelPainter::DrawButtonFace(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const {
    fill(canvas, rect, GetButtonFaceColor(state));
    DrawButtonFrame(canvas, rect, state);
}

void TkvCustomLookAndFeelPainter::DrawArrowForState(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                                                    TkvArrowDirection direction) const {
    if (isEmpty(rect))
        return;
    ClipScope clip(canvas, rect);
    TRect r = rect;
    if (state == kvbsPressed)
        r = offsetRect(r, GetButtonPressedShift(), GetButtonPressedShift());
    TPoint points[3];
    CalcArrowPoints(r, true, direction, points);
    TColor color;
    if (state == kvbsDisabled) {
        TPoint shadow[3] = {points[0], points[1], points[2]};
        for (TPoint &p : shadow) {
            ++p.x;
            ++p.y;
        }
        fillTriangle(canvas, shadow, clBtnHighlight);
        color = clBtnShadow;
    } else {
        color = GetButtonForeColor(state, clDefault);
    }
    fillTriangle(canvas, points, color);
}

int TkvCustomLookAndFeelPainter::GetControlFrameWidth() const { return 0; }
void TkvCustomLookAndFeelPainter::DrawControlFrame(TkvCanvas *, const TRect &) const {}
TRect TkvCustomLookAndFeelPainter::GetGroupedButtonContentBounds(const TRect &rect) const { return rect; }
int TkvCustomLookAndFeelPainter::GetButtonBorderWidth(TkvButtonState) const { return 0; }
TColor TkvCustomLookAndFeelPainter::GetButtonFaceColor(TkvButtonState) const { return clBtnFace; }

TRect TkvCustomLookAndFeelPainter::GetButtonFocusBounds(TkvCanvas *, const TRect &rect) const {
    TRect r = deflated(rect, 4);
    return isEmpty(r) ? rect : r;
}

TRect TkvCustomLookAndFeelPainter::GetGroupedButtonBorderWidths(int, int) const {
    int w = GetButtonBorderWidth(kvbsNormal);
    return TRect{w, w, w, w};
}

int TkvCustomLookAndFeelPainter::GetButtonTextIndent() const { return 0; }
int TkvCustomLookAndFeelPainter::GetButtonPressedShift() const { return 0; }

TColor TkvCustomLookAndFeelPainter::GetButtonForeColor(TkvButtonState state, TColor color) const {
    if (state == kvbsDisabled)
        return clBtnShadow;
    return color == clDefault ? clBtnText : color;
}

TkvButtonState TkvCustomLookAndFeelPainter::GetButtonForeState(TkvButtonState state) const { return state; }

void TkvCustomLookAndFeelPainter::DrawPushButton(TkvCanvas *canvas, const TRect &rect, const std::wstring &caption,
                                                 TkvButtonState state, bool drawBorder, TColor faceColor,
                                                 TColor textColor) const {
    if (isEmpty(rect))
        return;
    TRect r = rect;
    if (drawBorder) {
        DrawButtonFrame(canvas, r, state);
        r = deflated(r, GetButtonBorderWidth(state));
    }
    if (faceColor == clDefault)
        faceColor = GetButtonFaceColor(state);
    fill(canvas, r, faceColor);
    if (textColor == clDefault)
        textColor = GetButtonForeColor(state, clDefault);
    canvas->GetFont()->SetColor(textColor);
    canvas->GetBrush()->SetStyle(bsClear);
    if (height(r) % 2 != 0)
        --r.bottom;
    if (height(r) < 18)
        --r.top;
    if (state == kvbsPressed)
        r = offsetRect(r, GetButtonPressedShift(), GetButtonPressedShift());
    if (!caption.empty() && !isEmpty(r)) {
        ClipScope clip(canvas, rect);
        canvas->DrawText(caption, r, static_cast<TkvTextFlags>(tfCenterH | tfCenterV | tfSingleLine | tfShowPrefix),
                         state != kvbsDisabled);
    }
    canvas->GetBrush()->SetStyle(bsSolid);
}

void TkvCustomLookAndFeelPainter::DrawGroupedButton(TkvCanvas *canvas, const TRect &rect, TColor, int, int,
                                                    TkvButtonState state) const {
    DrawPushButton(canvas, rect, L"", state);
}

void TkvCustomLookAndFeelPainter::DrawButtonFrame(TkvCanvas *, const TRect &, TkvButtonState) const {}
void TkvCustomLookAndFeelPainter::DrawButtonOutline(TkvCanvas *, const TRect &, bool, bool) const {}
void TkvCustomLookAndFeelPainter::DrawExpandBox(TkvCanvas *, const TRect &, TColor, bool) const {}
bool TkvCustomLookAndFeelPainter::GetExpandBoxFlag() const { return true; }

void TkvCustomLookAndFeelPainter::DrawGroupToggleButton(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                                                        bool expanded) const {
    DrawPushButton(canvas, rect, L"", state);
    DrawDoubleChevron(canvas, rect, state, expanded);
}

void TkvCustomLookAndFeelPainter::DrawSmallExpandBox(TkvCanvas *canvas, const TRect &rect, TColor frameColor,
                                                     TColor fillColor, bool expanded) const {
    frame(canvas, rect, frameColor);
    if (fillColor != clDefault)
        fill(canvas, deflated(rect, 1), fillColor);
    DrawExpandCross(canvas, rect, clBtnText, expanded);
}

int TkvCustomLookAndFeelPainter::GetExpandBoxSize() const { return 0; }
int TkvCustomLookAndFeelPainter::GetGroupToggleButtonSize() const { return 15; }
bool TkvCustomLookAndFeelPainter::TracksButtonHover() const { return false; }

bool TkvCustomLookAndFeelPainter::IsPointInGroupToggleButton(const TRect &rect, const TPoint &point) const {
    return PtInRect(&rect, point) != FALSE;
}

int TkvCustomLookAndFeelPainter::GetSmallExpandBoxSize() const { return 9; }
int TkvCustomLookAndFeelPainter::GetCheckFrameWidth() const { return 2; }

TColor TkvCustomLookAndFeelPainter::GetCheckFaceColor(TkvButtonState state) const {
    return state == kvbsPressed || state == kvbsDisabled ? clBtnFace : clWindow;
}

void TkvCustomLookAndFeelPainter::DrawCheckMark(TkvCanvas *canvas, const TRect &rect, TColor markColor, bool checked,
                                                TkvButtonState state) const {
    if (isEmpty(rect))
        return;
    fill(canvas, rect, GetCheckFaceColor(state));
    if (!checked)
        return;
    ClipScope clip(canvas, rect);
    int w = width(rect) - 2;
    int h = height(rect) - 4;
    int xc = static_cast<int>((std::int64_t{rect.left} + rect.right) / 2);
    int y = static_cast<int>((std::int64_t{rect.top} + rect.bottom + h) / 2) - 2;
    canvas->GetPen()->SetColor(markColor);
    for (int row = 0; row < 3; ++row) {
        int yy = y + row;
        const TPoint points[3] = {{xc + 1 - w / 2, yy - h / 2}, {xc, yy}, {xc + w / 2 + 2, yy - h}};
        canvas->Polyline(points, 3);
    }
}

void TkvCustomLookAndFeelPainter::DrawCheckFrame(TkvCanvas *, const TRect &, TkvButtonState) const {}

void TkvCustomLookAndFeelPainter::DrawCheckBox(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                                               bool checked) const {
    if (isEmpty(rect))
        return;
    DrawCheckFrame(canvas, rect, state);
    DrawCheckMark(canvas, deflated(rect, GetCheckFrameWidth()), state == kvbsDisabled ? clGrayText : clBtnText,
                  checked, state);
}

void TkvCustomLookAndFeelPainter::DrawRadioButton(TkvCanvas *canvas, int x, int y, TkvButtonState state,
                                                  bool checked, bool highlight, bool forcedHighlight,
                                                  TColor backgroundColor) const {
    TkvRadioButtonImageList *glyphs = GetRadioGlyphList();
    if (glyphs != nullptr)
        glyphs->DrawRadioGlyph(canvas, x, y, state, PainterStyleToLookAndFeelKind(GetPainterStyle()), checked,
                               highlight, forcedHighlight, backgroundColor);
}

TSize TkvCustomLookAndFeelPainter::GetRadioButtonSize() const {
    TkvRadioButtonImageList *glyphs = GetRadioGlyphList();
    return glyphs != nullptr ? glyphs->GetGlyphSize() : TSize{0, 0};
}

void TkvCustomLookAndFeelPainter::DrawHeader(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                                             const TkvHeaderNeighbors &neighbors, TkvBorders sides,
                                             TkvButtonState state, const TkvHeaderText &text,
                                             const TkvBackground &background) const {
    if (isEmpty(rect))
        return;
    DrawHeaderFrame(canvas, rect, neighbors, sides);
    TRect content = GetHeaderContentBounds(rect, sides);
    DrawCellContent(canvas, content, background, text.BackgroundColor, text.TextColor, text.Font,
                    text.Text.empty() ? nullptr : &text.Text, text.Placement, textRect, state);
}

void TkvCustomLookAndFeelPainter::DrawHeaderSimple(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                                                   TkvBorders sides, TkvButtonState state, const TkvHeaderText &text,
                                                   const TkvBackground &background) const {
    DrawHeader(canvas, rect, textRect, TkvHeaderNeighbors{}, sides, state, text, background);
}

void TkvCustomLookAndFeelPainter::DrawHeaderFrame(TkvCanvas *, const TRect &, const TkvHeaderNeighbors &,
                                                  TkvBorders) const {}

void TkvCustomLookAndFeelPainter::InvertHeaderArea(TkvCanvas *canvas, const TRect &rect) const {
    if (!isEmpty(rect))
        canvas->InvertRect(rect);
}

void TkvCustomLookAndFeelPainter::DrawHeaderSection(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                                                    TkvBorders sides, TkvButtonState state,
                                                    const TkvHeaderText &text) const {
    if (isEmpty(rect))
        return;
    DrawHeaderSectionFrame(canvas, rect, state, sides);
    DrawHeaderSectionContent(canvas, GetHeaderSectionContentBounds(rect, state), textRect, state, text);
}

void TkvCustomLookAndFeelPainter::DrawHeaderSectionFrame(TkvCanvas *, const TRect &, TkvButtonState,
                                                         TkvBorders) const {}

void TkvCustomLookAndFeelPainter::DrawHeaderSectionContent(TkvCanvas *canvas, const TRect &rect,
                                                           const TRect &textRect, TkvButtonState state,
                                                           const TkvHeaderText &text) const {
    if (isEmpty(rect))
        return;
    fill(canvas, rect, text.BackgroundColor);
    ClipScope clip(canvas, rect);
    DrawHeaderSectionText(canvas, GetHeaderSectionTextBounds(textRect, state), state, text);
}

void TkvCustomLookAndFeelPainter::DrawHeaderSectionText(TkvCanvas *canvas, const TRect &textRect,
                                                        TkvButtonState state, const TkvHeaderText &text) const {
    if (text.Text.empty() || isEmpty(textRect))
        return;
    ClipScope clip(canvas, textRect);
    canvas->GetBrush()->SetStyle(bsClear);
    if (text.Font != nullptr)
        canvas->SetFont(text.Font);
    TkvTextFlags flags = TextPlacementFlags(text.Placement);
    if (state == kvbsDisabled) {
        canvas->GetFont()->SetColor(clBtnHighlight);
        canvas->DrawText(text.Text, offsetRect(textRect, 1, 1), flags);
        canvas->GetFont()->SetColor(clBtnShadow);
    } else {
        canvas->GetFont()->SetColor(text.TextColor);
    }
    canvas->DrawText(text.Text, textRect, flags);
    canvas->GetBrush()->SetStyle(bsSolid);
}

void TkvCustomLookAndFeelPainter::DrawSortArrow(TkvCanvas *, const TRect &, bool) const {}
TkvBorders TkvCustomLookAndFeelPainter::GetHeaderBorderSides(const TkvHeaderNeighbors &) const { return kvAllBorders; }
int TkvCustomLookAndFeelPainter::GetHeaderBorderWidth() const { return 0; }

TRect TkvCustomLookAndFeelPainter::GetHeaderPaintBounds(const TRect &rect, const TkvHeaderNeighbors &neighbors,
                                                        TkvBorders sides) const {
    TRect r = rect;
    int w = GetHeaderBorderWidth();
    TkvBorders own = GetHeaderBorderSides(neighbors);
    if (sides.Contains(bLeft) && !own.Contains(bLeft))
        r.left = shifted(r.left, -w);
    if (sides.Contains(bTop) && !own.Contains(bTop))
        r.top = shifted(r.top, -w);
    if (sides.Contains(bRight) && !own.Contains(bRight))
        r.right = shifted(r.right, w);
    if (sides.Contains(bBottom) && !own.Contains(bBottom))
        r.bottom = shifted(r.bottom, w);
    return r;
}

TRect TkvCustomLookAndFeelPainter::GetHeaderContentBounds(const TRect &rect, TkvBorders sides) const {
    TRect r = rect;
    int w = GetHeaderBorderWidth();
    if (sides.Contains(bLeft))
        r.left = shifted(r.left, w);
    if (sides.Contains(bTop))
        r.top = shifted(r.top, w);
    if (sides.Contains(bRight))
        r.right = shifted(r.right, -w);
    if (sides.Contains(bBottom))
        r.bottom = shifted(r.bottom, -w);
    return r;
}

bool TkvCustomLookAndFeelPainter::GetHeaderFlag() const { return true; }
int TkvCustomLookAndFeelPainter::CalcHeaderHeight(int textHeight) const {
    return textHeight + 2 * GetHeaderBorderWidth() + 4;
}
int TkvCustomLookAndFeelPainter::GetHeaderSectionBorderWidth(TkvButtonState) const { return 1; }

TRect TkvCustomLookAndFeelPainter::GetHeaderSectionTextBounds(const TRect &rect, TkvButtonState state) const {
    return state == kvbsPressed ? offsetRect(rect, 1, 1) : rect;
}

TRect TkvCustomLookAndFeelPainter::GetHeaderSectionContentBounds(const TRect &rect, TkvButtonState state) const {
    return deflated(rect, GetHeaderSectionBorderWidth(state));
}

int TkvCustomLookAndFeelPainter::CalcHeaderWidth(TkvCanvas *canvas, TkvBorders sides, TFont *font,
                                                 const std::wstring &text) const {
    if (font != nullptr)
        canvas->SetFont(font);
    int result = canvas->TextWidth(text) + 4;
    if (sides.Contains(bLeft))
        result += GetHeaderBorderWidth();
    if (sides.Contains(bRight))
        result -= GetHeaderBorderWidth();
    return result;
}

bool TkvCustomLookAndFeelPainter::GetHeaderFlag2() const { return false; }
TSize TkvCustomLookAndFeelPainter::GetSortArrowAreaSize() const { return TSize{16, GetSortArrowSize().cy}; }
TSize TkvCustomLookAndFeelPainter::GetSortArrowSize() const { return TSize{0, 0}; }

void TkvCustomLookAndFeelPainter::DrawFooterCell(TkvCanvas *canvas, const TRect &rect,
                                                 const TkvTextPlacement &placement, const std::wstring &text,
                                                 TFont *font, TColor textColor, TColor backgroundColor,
                                                 const TkvBackground &background) const {
    if (isEmpty(rect))
        return;
    DrawFooterCellFrame(canvas, rect);
    DrawCellContent(canvas, GetFooterCellContentBounds(rect), background, backgroundColor, textColor, font,
                    text.empty() ? nullptr : &text, placement, GetFooterCellTextBounds(rect), kvbsNormal);
}

TkvBorders TkvCustomLookAndFeelPainter::GetFooterBorderSides() const { return kvAllBorders; }
int TkvCustomLookAndFeelPainter::GetFooterBorderWidth() const { return 0; }
int TkvCustomLookAndFeelPainter::GetFooterCellBorderWidth() const { return 0; }
int TkvCustomLookAndFeelPainter::GetFooterCellIndent() const { return 0; }
bool TkvCustomLookAndFeelPainter::GetFooterFlag() const { return true; }
TColor TkvCustomLookAndFeelPainter::GetFooterLineColor() const { return clBtnShadow; }
int TkvCustomLookAndFeelPainter::GetFooterLineWidth() const { return 1; }
void TkvCustomLookAndFeelPainter::DrawFooterFrame(TkvCanvas *, const TRect &) const {}
void TkvCustomLookAndFeelPainter::DrawFooterCellFrame(TkvCanvas *, const TRect &) const {}

void TkvCustomLookAndFeelPainter::DrawFooterSeparator(TkvCanvas *canvas, const TRect &rect) const {
    fill(canvas, rect, GetFooterLineColor());
}

void TkvCustomLookAndFeelPainter::DrawActivateCheck(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                                                    bool checked) const {
    DrawCheckBox(canvas, rect, state, checked);
}

void TkvCustomLookAndFeelPainter::DrawCloseCross(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const {
    if (isEmpty(rect))
        return;
    DrawButtonFrame(canvas, rect, state);
    TRect r = deflated(rect, GetButtonBorderWidth(kvbsNormal));
    fill(canvas, r, GetButtonFaceColor(state));
    DrawCrossMark(canvas, r, GetButtonForeState(state), GetButtonForeColor(state, clDefault));
}

void TkvCustomLookAndFeelPainter::DrawDropDownArrowButton(TkvCanvas *, const TRect &, bool, TkvButtonState) const {}
TSize TkvCustomLookAndFeelPainter::GetActivateCheckSize() const { return TSize{13, 13}; }
TSize TkvCustomLookAndFeelPainter::GetCloseCrossSize() const { return TSize{16, 14}; }
TSize TkvCustomLookAndFeelPainter::GetDropDownArrowButtonSize() const { return TSize{15, 0}; }
bool TkvCustomLookAndFeelPainter::GetDropDownFlag() const { return true; }
void TkvCustomLookAndFeelPainter::DrawTab(TkvCanvas *, const TRect &, TkvBorders, bool, bool, bool, bool,
                                          TkvTabPosition, const std::wstring &, TFont *) const {}
void TkvCustomLookAndFeelPainter::DrawTabFrame(TkvCanvas *, const TRect &, bool, TkvBorders, TkvTabPosition) const {}
void TkvCustomLookAndFeelPainter::DrawTabAreaFrame(TkvCanvas *, const TRect &, bool, TkvBorders) const {}
int TkvCustomLookAndFeelPainter::GetTabMetric1() const { return 0; }
int TkvCustomLookAndFeelPainter::GetTabMetric2() const { return 0; }
int TkvCustomLookAndFeelPainter::GetTabFrameWidth(bool) const { return 0; }

void TkvCustomLookAndFeelPainter::DrawIndicatorCell(TkvCanvas *canvas, const TRect &rect, TColor backgroundColor,
                                                    const TkvBackground &background, int indicatorKind) const {
    TkvHeaderNeighbors neighbors;
    neighbors.Top = true;
    neighbors.Bottom = true;
    TkvHeaderText text;
    text.BackgroundColor = backgroundColor;
    DrawHeader(canvas, rect, rect, neighbors, GetHeaderBorderSides(neighbors), kvbsNormal, text, background);
    DrawIndicatorGlyph(canvas, rect, indicatorKind);
}

void TkvCustomLookAndFeelPainter::DrawIndicatorCellSimple(TkvCanvas *canvas, const TRect &rect,
                                                          TColor backgroundColor, const TkvBackground &background,
                                                          int indicatorKind) const {
    TkvHeaderText text;
    text.BackgroundColor = backgroundColor;
    DrawHeaderSimple(canvas, rect, rect, kvAllBorders, kvbsNormal, text, background);
    DrawIndicatorGlyph(canvas, rect, indicatorKind);
}

bool TkvCustomLookAndFeelPainter::GetIndicatorFlag() const { return true; }
void TkvCustomLookAndFeelPainter::DrawScrollBarElement(TkvCanvas *, bool, TkvButtonState, TkvScrollBarPart,
                                                       const TRect &) const {}

void TkvCustomLookAndFeelPainter::DrawHeaderWithArrows(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                                                       const TkvHeaderNeighbors &neighbors,
                                                       const TkvHeaderText &text, int arrowKinds,
                                                       const TkvBackground &background) const {
    TkvHeaderText centred = text;
    centred.Placement.Horizontal = taCenter;
    centred.Placement.Vertical = vaCenter;
    centred.Placement.MultiLine = false;
    DrawHeader(canvas, rect, textRect, neighbors, kvAllBorders, kvbsNormal, centred, background);
    DrawHeaderArrows(canvas, rect, arrowKinds, clWindowText);
}

void TkvCustomLookAndFeelPainter::DrawFramedBorder(TkvCanvas *canvas, const TRect &rect) const {
    DrawControlFrame(canvas, rect);
}

void TkvCustomLookAndFeelPainter::DrawPlainButton(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const {
    DrawPushButton(canvas, rect, L"", state);
}

void TkvCustomLookAndFeelPainter::DrawSplitter(TkvCanvas *, const TRect &, bool, TBrush *) const {}
int TkvCustomLookAndFeelPainter::GetSplitterFlag() const { return 1; }

TkvPainterClass PainterClassOfKind(TkvLookAndFeelKind kind) noexcept {
    switch (kind) {
    case lfFlat:
        return PainterOf<TkvFlatLookAndFeelPainter>();
    case lfUltraFlat:
        return PainterOf<TkvUltraFlatLookAndFeelPainter>();
    case lfOffice11:
        return PainterOf<TkvOffice11LookAndFeelPainter>();
    default:
        return PainterOf<TkvStandardLookAndFeelPainter>();
    }
}
