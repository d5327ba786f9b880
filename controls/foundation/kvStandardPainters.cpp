// kvStandardPainters: the Standard (3-D) and Flat (single-edge) painters.
#include <algorithm>

#include "kvLookAndFeelPainters.h"
#include "kvLookAndFeelPaintersInternal.h"

using namespace kvpainters;

namespace {

// The header frame both painters share: a raised edge, and the pixels where neighbours join.
void drawClassicHeaderFrame(TkvCanvas *canvas, const TRect &rect, const TkvHeaderNeighbors &neighbors,
                            TkvBorders sides) {
    if (isEmpty(rect))
        return;
    twoColorFrame(canvas, rect, clBtnHighlight, clBtnShadow, sides);
    ClipScope clip(canvas, rect);
    if (neighbors.Left) {
        canvas->SetPixel(rect.left, rect.top + 1, clBtnFace);
        canvas->SetPixel(rect.left, rect.bottom - 2, clBtnFace);
    }
    if (neighbors.Right) {
        canvas->SetPixel(rect.right - 1, rect.top, clBtnHighlight);
        canvas->SetPixel(rect.right - 1, rect.top + 1, clBtnFace);
        canvas->SetPixel(rect.right - 1, rect.bottom - 2, clBtnFace);
    }
}

void drawClassicDropDownArrowButton(const TkvCustomLookAndFeelPainter *painter, TkvCanvas *canvas,
                                    const TRect &rect, bool active, TkvButtonState state) {
    if (isEmpty(rect))
        return;
    if (state == kvbsPressed)
        twoColorFrame(canvas, rect, clBtnShadow, clBtnHighlight);
    else
        twoColorFrame(canvas, rect, clBtnHighlight, clBtnShadow);
    TRect inner = deflated(rect, 1);
    fill(canvas, inner, clBtnFace);
    painter->DrawTriangleArrow(canvas, inner, active ? 0xFF0000 : clBtnText);
}

// Corner pixels and bands of a tab by its position: the side that joins the tab area is left
// open for the selected tab.
void drawClassicTabFrame(TkvCanvas *canvas, const TRect &rect, bool selected, TkvBorders sides,
                         TkvTabPosition position) {
    if (isEmpty(rect))
        return;
    TkvBorders bands = sides;
    switch (position) {
    case tpTop:
        if (selected)
            bands = bands - TkvBorders{bBottom};
        break;
    case tpBottom:
        if (selected)
            bands = bands - TkvBorders{bTop};
        break;
    case tpLeft:
        if (selected)
            bands = bands - TkvBorders{bRight};
        break;
    case tpRight:
        if (selected)
            bands = bands - TkvBorders{bLeft};
        break;
    }
    // The bands meet at rounded corners: the corner pixels stay as they were.
    TRect r = rect;
    if (bands.Contains(bLeft))
        fill(canvas, TRect{r.left, r.top + 1, r.left + 1, r.bottom - 1}, clBtnHighlight);
    if (bands.Contains(bTop))
        fill(canvas, TRect{r.left + 1, r.top, r.right - 1, r.top + 1}, clBtnHighlight);
    if (bands.Contains(bRight))
        fill(canvas, TRect{r.right - 1, r.top + 1, r.right, r.bottom - 1}, clBtnShadow);
    if (bands.Contains(bBottom))
        fill(canvas, TRect{r.left + 1, r.bottom - 1, r.right - 1, r.bottom}, clBtnShadow);
    if (width(r) > 2 && height(r) > 2) {
        ClipScope clip(canvas, r);
        if (position == tpTop || position == tpLeft)
            canvas->SetPixel(r.left + 1, r.top + 1, clBtnHighlight);
        if (position == tpTop || position == tpRight)
            canvas->SetPixel(r.right - 2, r.top + 1, clBtnShadow);
        if (position == tpBottom || position == tpLeft)
            canvas->SetPixel(r.left + 1, r.bottom - 2, clBtnHighlight);
        if (position == tpBottom || position == tpRight)
            canvas->SetPixel(r.right - 2, r.bottom - 2, clBtnShadow);
    }
}

// Page areas of the classic scroll bars: the checker bitmap, tiled at canvas coordinates.
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

void fillSplitterRest(TkvCanvas *canvas, const TRect &rect, TBrush *brush) {
    if (isEmpty(rect))
        return;
    if (brush != nullptr)
        canvas->Canvas()->SetBrush(brush);
    canvas->FillRect(rect);
}

} // namespace

// --- Standard

TkvPainterStyle TkvStandardLookAndFeelPainter::GetPainterStyle() const { return kvpsStandard; }
TColor TkvStandardLookAndFeelPainter::GetDefaultColor29() const { return clWindow; }
int TkvStandardLookAndFeelPainter::GetControlFrameWidth() const { return 2; }

void TkvStandardLookAndFeelPainter::DrawControlFrame(TkvCanvas *canvas, const TRect &rect) const {
    twoColorFrame(canvas, rect, clBtnShadow, clBtnHighlight);
    twoColorFrame(canvas, deflated(rect, 1), cl3DDkShadow, cl3DLight);
}

int TkvStandardLookAndFeelPainter::GetButtonBorderWidth(TkvButtonState state) const {
    return state == kvbsDefault ? 3 : 2;
}

int TkvStandardLookAndFeelPainter::GetButtonTextIndent() const { return 1; }
int TkvStandardLookAndFeelPainter::GetButtonPressedShift() const { return 1; }

void TkvStandardLookAndFeelPainter::DrawButtonFrame(TkvCanvas *canvas, const TRect &rect,
                                                    TkvButtonState state) const {
    TRect r = rect;
    if (state == kvbsPressed) {
        frame(canvas, r, clBlack);
        frame(canvas, deflated(r, 1), clBtnShadow);
        return;
    }
    if (state == kvbsDefault) {
        frame(canvas, r, clBlack);
        r = deflated(r, 1);
    }
    twoColorFrame(canvas, r, clBtnHighlight, cl3DDkShadow);
    twoColorFrame(canvas, deflated(r, 1), cl3DLight, clBtnShadow);
}

void TkvStandardLookAndFeelPainter::DrawExpandBox(TkvCanvas *canvas, const TRect &rect, TColor color,
                                                  bool expanded) const {
    if (isEmpty(rect))
        return;
    twoColorFrame(canvas, rect, clBtnHighlight, cl3DDkShadow);
    TRect inner = deflated(rect, 1);
    frame(canvas, inner, clBtnShadow, TkvBorders{bRight, bBottom});
    TRect face = inner;
    --face.right;
    --face.bottom;
    fill(canvas, face, color == clDefault ? clBtnFace : color);
    DrawExpandCross(canvas, rect, clBtnText, expanded);
    canvas->ExcludeClipRect(rect);
}

void TkvStandardLookAndFeelPainter::DrawGroupToggleButton(TkvCanvas *canvas, const TRect &rect,
                                                          TkvButtonState state, bool expanded) const {
    // The toggle keeps the single-edge frame in this painter too.
    PainterOf<TkvFlatLookAndFeelPainter>()->DrawGroupToggleButton(canvas, rect, state, expanded);
}

int TkvStandardLookAndFeelPainter::GetExpandBoxSize() const { return 12; }
bool TkvStandardLookAndFeelPainter::TracksButtonHover() const { return false; }

void TkvStandardLookAndFeelPainter::DrawCheckFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState) const {
    twoColorFrame(canvas, rect, cl3DDkShadow, cl3DLight);
    twoColorFrame(canvas, deflated(rect, 1), clBtnShadow, clBtnHighlight);
}

void TkvStandardLookAndFeelPainter::DrawHeaderFrame(TkvCanvas *canvas, const TRect &rect,
                                                    const TkvHeaderNeighbors &neighbors, TkvBorders sides) const {
    drawClassicHeaderFrame(canvas, rect, neighbors, sides);
}

void TkvStandardLookAndFeelPainter::DrawHeaderSectionFrame(TkvCanvas *canvas, const TRect &rect,
                                                           TkvButtonState state, TkvBorders sides) const {
    if (state == kvbsPressed) {
        frame(canvas, rect, clBtnShadow, sides);
        return;
    }
    twoColorFrame(canvas, rect, clBtnHighlight, cl3DDkShadow, sides);
    twoColorFrame(canvas, deflated(rect, 1), cl3DLight, clBtnShadow, sides);
}

void TkvStandardLookAndFeelPainter::DrawSortArrow(TkvCanvas *canvas, const TRect &rect, bool ascending) const {
    DrawSortArrowMark(canvas, rect, ascending, clBtnHighlight, clBtnShadow);
}

int TkvStandardLookAndFeelPainter::GetHeaderBorderWidth() const { return 1; }
int TkvStandardLookAndFeelPainter::GetHeaderSectionBorderWidth(TkvButtonState state) const {
    return state == kvbsPressed ? 1 : 2;
}
TSize TkvStandardLookAndFeelPainter::GetSortArrowSize() const { return TSize{8, 7}; }
int TkvStandardLookAndFeelPainter::GetFooterBorderWidth() const { return 1; }
int TkvStandardLookAndFeelPainter::GetFooterCellBorderWidth() const { return 1; }
int TkvStandardLookAndFeelPainter::GetFooterCellIndent() const { return 1; }

void TkvStandardLookAndFeelPainter::DrawFooterFrame(TkvCanvas *canvas, const TRect &rect) const {
    twoColorFrame(canvas, rect, clBtnHighlight, clBtnShadow);
}

void TkvStandardLookAndFeelPainter::DrawFooterCellFrame(TkvCanvas *canvas, const TRect &rect) const {
    twoColorFrame(canvas, rect, clBtnShadow, clBtnHighlight);
}

void TkvStandardLookAndFeelPainter::DrawDropDownArrowButton(TkvCanvas *canvas, const TRect &rect, bool active,
                                                            TkvButtonState state) const {
    drawClassicDropDownArrowButton(this, canvas, rect, active, state);
}

void TkvStandardLookAndFeelPainter::DrawTabFrame(TkvCanvas *canvas, const TRect &rect, bool selected,
                                                 TkvBorders sides, TkvTabPosition position) const {
    drawClassicTabFrame(canvas, rect, selected, sides, position);
}

void TkvStandardLookAndFeelPainter::DrawTabAreaFrame(TkvCanvas *canvas, const TRect &rect, bool,
                                                     TkvBorders sides) const {
    twoColorFrame(canvas, rect, clBtnHighlight, clBtnShadow, sides);
}

int TkvStandardLookAndFeelPainter::GetTabFrameWidth(bool) const { return 1; }

void TkvStandardLookAndFeelPainter::DrawScrollBarButtonFrame(TkvCanvas *canvas, const TRect &rect,
                                                             bool pressedArrow) const {
    if (pressedArrow) {
        frame(canvas, rect, clBtnShadow);
        frame(canvas, deflated(rect, 1), clBtnFace);
    } else {
        twoColorFrame(canvas, rect, clBtnFace, cl3DDkShadow);
        twoColorFrame(canvas, deflated(rect, 1), clBtnHighlight, clBtnShadow);
    }
}

void TkvStandardLookAndFeelPainter::DrawScrollBarElement(TkvCanvas *canvas, bool horizontal, TkvButtonState state,
                                                         TkvScrollBarPart part, const TRect &rect) const {
    if (isEmpty(rect) || (part == sbpThumb && state == kvbsDisabled))
        return;
    if (state == kvbsHot)
        state = kvbsNormal;
    switch (part) {
    case sbpPageUp:
    case sbpPageDown:
        fillPageArea(canvas, rect, state);
        break;
    case sbpThumb:
        DrawScrollBarButtonFrame(canvas, rect, false);
        fill(canvas, deflated(rect, GetButtonBorderWidth(kvbsNormal)), clBtnFace);
        break;
    case sbpLineUp:
    case sbpLineDown: {
        bool pressed = state == kvbsPressed;
        TRect r = pressed ? offsetRect(rect, 1, 1) : rect;
        UINT kind;
        if (horizontal)
            kind = part == sbpLineUp ? DFCS_SCROLLLEFT : DFCS_SCROLLRIGHT;
        else
            kind = part == sbpLineUp ? DFCS_SCROLLUP : DFCS_SCROLLDOWN;
        if (state == kvbsDisabled)
            kind |= DFCS_INACTIVE;
        if (pressed)
            kind |= DFCS_FLAT;
        {
            // The system draws the arrow; what the shift pushes past the rectangle stays out.
            ClipScope clip(canvas, rect);
            DrawFrameControl(canvas->GetHandle(), &r, DFC_SCROLL, kind);
        }
        DrawScrollBarButtonFrame(canvas, rect, pressed);
        break;
    }
    default:
        break;
    }
}

void TkvStandardLookAndFeelPainter::DrawHeaderWithArrows(TkvCanvas *canvas, const TRect &rect,
                                                         const TRect &textRect, const TkvHeaderNeighbors &neighbors,
                                                         const TkvHeaderText &text, int arrowKinds,
                                                         const TkvBackground &background) const {
    if (isEmpty(rect))
        return;
    TkvBorders sides = kvAllBorders;
    if (neighbors.Left && neighbors.Right)
        sides = TkvBorders{bTop, bBottom};
    else if (neighbors.Right)
        sides = TkvBorders{bLeft, bTop, bBottom};
    else if (neighbors.Left)
        sides = TkvBorders{bTop, bRight, bBottom};
    frame(canvas, rect, clBlack, sides);
    TRect content = rect;
    if (sides.Contains(bLeft))
        ++content.left;
    if (sides.Contains(bTop))
        ++content.top;
    if (sides.Contains(bRight))
        --content.right;
    if (sides.Contains(bBottom))
        --content.bottom;
    TkvHeaderText centred = text;
    centred.Placement.Horizontal = taCenter;
    centred.Placement.Vertical = vaCenter;
    centred.Placement.MultiLine = false;
    DrawHeader(canvas, content, textRect, neighbors, kvAllBorders, kvbsNormal, centred, background);
    DrawHeaderArrows(canvas, content, arrowKinds, clWindowText);
}

void TkvStandardLookAndFeelPainter::DrawSplitter(TkvCanvas *canvas, const TRect &rect, bool horizontal,
                                                 TBrush *brush) const {
    if (isEmpty(rect))
        return;
    TRect r = rect;
    const TColor outer[2] = {clBtnFace, cl3DDkShadow};
    const TColor inner[2] = {clBtnHighlight, clBtnShadow};
    for (const TColor *pair : {outer, inner}) {
        if (isEmpty(r))
            break;
        if (horizontal) {
            frame(canvas, r, pair[0], TkvBorders{bTop});
            frame(canvas, r, pair[1], TkvBorders{bBottom});
            r = deflated(r, -1, 1);
            r.left = std::max(r.left, rect.left);
            r.right = std::min(r.right, rect.right);
        } else {
            frame(canvas, r, pair[0], TkvBorders{bLeft});
            frame(canvas, r, pair[1], TkvBorders{bRight});
            r = deflated(r, 1, -1);
            r.top = std::max(r.top, rect.top);
            r.bottom = std::min(r.bottom, rect.bottom);
        }
    }
    fillSplitterRest(canvas, r, brush);
}

// --- Flat

TkvPainterStyle TkvFlatLookAndFeelPainter::GetPainterStyle() const { return kvpsFlat; }
int TkvFlatLookAndFeelPainter::GetControlFrameWidth() const { return 1; }

void TkvFlatLookAndFeelPainter::DrawControlFrame(TkvCanvas *canvas, const TRect &rect) const {
    twoColorFrame(canvas, rect, clBtnShadow, clBtnHighlight);
}

int TkvFlatLookAndFeelPainter::GetButtonBorderWidth(TkvButtonState state) const {
    return state == kvbsDefault ? 2 : 1;
}

int TkvFlatLookAndFeelPainter::GetButtonTextIndent() const { return 1; }
int TkvFlatLookAndFeelPainter::GetButtonPressedShift() const { return 1; }

void TkvFlatLookAndFeelPainter::DrawButtonFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const {
    if (state == kvbsPressed) {
        twoColorFrame(canvas, rect, clBtnShadow, clBtnHighlight);
        return;
    }
    TRect r = rect;
    if (state == kvbsDefault) {
        frame(canvas, r, clBlack);
        r = deflated(r, 1);
    }
    twoColorFrame(canvas, r, clBtnHighlight, clBtnShadow);
}

void TkvFlatLookAndFeelPainter::DrawExpandBox(TkvCanvas *canvas, const TRect &rect, TColor color,
                                              bool expanded) const {
    if (isEmpty(rect))
        return;
    DrawPushButton(canvas, rect, L"", kvbsNormal, true, color);
    DrawExpandCross(canvas, deflated(rect, 1), clBtnText, expanded);
    canvas->ExcludeClipRect(rect);
}

int TkvFlatLookAndFeelPainter::GetExpandBoxSize() const { return 11; }
bool TkvFlatLookAndFeelPainter::TracksButtonHover() const { return false; }

void TkvFlatLookAndFeelPainter::DrawCheckFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const {
    twoColorFrame(canvas, rect, clBtnShadow, clBtnHighlight);
    frame(canvas, deflated(rect, 1), GetCheckFaceColor(state));
}

void TkvFlatLookAndFeelPainter::DrawHeaderFrame(TkvCanvas *canvas, const TRect &rect,
                                                const TkvHeaderNeighbors &neighbors, TkvBorders sides) const {
    drawClassicHeaderFrame(canvas, rect, neighbors, sides);
}

void TkvFlatLookAndFeelPainter::DrawHeaderSectionFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                                                       TkvBorders sides) const {
    if (state == kvbsPressed)
        twoColorFrame(canvas, rect, clBtnShadow, clBtnHighlight, sides);
    else
        twoColorFrame(canvas, rect, clBtnHighlight, clBtnShadow, sides);
}

void TkvFlatLookAndFeelPainter::DrawSortArrow(TkvCanvas *canvas, const TRect &rect, bool ascending) const {
    DrawSortArrowMark(canvas, rect, ascending, clBtnHighlight, clBtnShadow);
}

int TkvFlatLookAndFeelPainter::GetHeaderBorderWidth() const { return 1; }
TSize TkvFlatLookAndFeelPainter::GetSortArrowSize() const { return TSize{8, 7}; }
int TkvFlatLookAndFeelPainter::GetFooterBorderWidth() const { return 1; }
int TkvFlatLookAndFeelPainter::GetFooterCellBorderWidth() const { return 1; }
int TkvFlatLookAndFeelPainter::GetFooterCellIndent() const { return 1; }

void TkvFlatLookAndFeelPainter::DrawFooterFrame(TkvCanvas *canvas, const TRect &rect) const {
    twoColorFrame(canvas, rect, clBtnHighlight, clBtnShadow);
}

void TkvFlatLookAndFeelPainter::DrawFooterCellFrame(TkvCanvas *canvas, const TRect &rect) const {
    twoColorFrame(canvas, rect, clBtnShadow, clBtnHighlight);
}

void TkvFlatLookAndFeelPainter::DrawDropDownArrowButton(TkvCanvas *canvas, const TRect &rect, bool active,
                                                        TkvButtonState state) const {
    drawClassicDropDownArrowButton(this, canvas, rect, active, state);
}

void TkvFlatLookAndFeelPainter::DrawTabFrame(TkvCanvas *canvas, const TRect &rect, bool selected, TkvBorders sides,
                                             TkvTabPosition position) const {
    drawClassicTabFrame(canvas, rect, selected, sides, position);
}

void TkvFlatLookAndFeelPainter::DrawTabAreaFrame(TkvCanvas *canvas, const TRect &rect, bool,
                                                 TkvBorders sides) const {
    twoColorFrame(canvas, rect, clBtnHighlight, clBtnShadow, sides);
}

int TkvFlatLookAndFeelPainter::GetTabFrameWidth(bool) const { return 1; }

void TkvFlatLookAndFeelPainter::DrawScrollBarElement(TkvCanvas *canvas, bool horizontal, TkvButtonState state,
                                                     TkvScrollBarPart part, const TRect &rect) const {
    if (isEmpty(rect) || (part == sbpThumb && state == kvbsDisabled))
        return;
    if (state == kvbsHot)
        state = kvbsNormal;
    if (part == sbpPageUp || part == sbpPageDown) {
        fillPageArea(canvas, rect, state);
        return;
    }
    if (part != sbpLineUp && part != sbpLineDown && part != sbpThumb)
        return;
    DrawPushButton(canvas, rect, L"", state);
    if (part != sbpThumb)
        DrawArrowForState(canvas, deflated(rect, GetButtonBorderWidth(kvbsNormal)), state,
                          GetScrollArrowDirection(horizontal, part));
}

void TkvFlatLookAndFeelPainter::DrawSplitter(TkvCanvas *canvas, const TRect &rect, bool horizontal,
                                             TBrush *brush) const {
    if (isEmpty(rect))
        return;
    TRect r = rect;
    if (horizontal) {
        frame(canvas, r, clBtnHighlight, TkvBorders{bTop});
        frame(canvas, r, clBtnShadow, TkvBorders{bBottom});
        r = deflated(r, 0, 1);
    } else {
        frame(canvas, r, clBtnHighlight, TkvBorders{bLeft});
        frame(canvas, r, clBtnShadow, TkvBorders{bRight});
        r = deflated(r, 1, 0);
    }
    fillSplitterRest(canvas, r, brush);
}
