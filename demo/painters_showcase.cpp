#include "painters_showcase.h"

#include <kvGraphics.h>

#include <classlib/object.h>

namespace {

TRect box(int x, int y, int w, int h) { return TRect{x, y, x + w, y + h}; }

void paintColumn(TkvCanvas *c, TkvPainterClass p, int left) {
    const TkvButtonState states[5] = {kvbsDefault, kvbsNormal, kvbsHot, kvbsPressed, kvbsDisabled};
    int x = left + 4;
    // Push buttons in every state, then arrow buttons.
    for (int i = 0; i < 5; ++i)
        p->DrawPushButton(c, box(x + i * 28, 4, 26, 20), L"", states[i]);
    for (int i = 0; i < 5; ++i)
        p->DrawArrowButton(c, box(x + i * 28, 28, 16, 16), true, static_cast<TkvArrowDirection>(i % 4), states[i]);
    for (int i = 0; i < 4; ++i)
        p->DrawArrow(c, box(x + i * 14, 48, 12, 12), clNavy, static_cast<TkvArrowDirection>(i));
    p->DrawTriangleArrow(c, box(x + 58, 48, 14, 12), clMaroon);
    for (int i = 1; i < 5; ++i)
        p->DrawArrowForState(c, box(x + 64 + i * 14, 48, 12, 12), states[i], adRight);

    // Check boxes and radio buttons.
    for (int i = 1; i < 5; ++i) {
        p->DrawCheckBox(c, box(x + (i - 1) * 17, 66, 13, 13), states[i], true);
        p->DrawCheckBox(c, box(x + (i - 1) * 17, 82, 13, 13), states[i], false);
        p->DrawRadioButton(c, x + 70 + (i - 1) * 17, 66, states[i], true, false, false);
        p->DrawRadioButton(c, x + 70 + (i - 1) * 17, 82, states[i], false, i == 2, false);
    }

    // A header of three sections, a pressed section with a sort arrow, and an indicator column.
    TkvHeaderText text;
    text.BackgroundColor = clBtnFace;
    TkvHeaderNeighbors none;
    TkvHeaderNeighbors right{false, false, true, false};
    TkvHeaderNeighbors both{true, false, true, false};
    TkvHeaderNeighbors leftOnly{true, false, false, false};
    p->DrawHeader(c, box(x, 100, 30, 18), box(x, 100, 30, 18), right, kvAllBorders, kvbsNormal, text);
    p->DrawHeader(c, box(x + 30, 100, 30, 18), box(x + 30, 100, 30, 18), both, kvAllBorders, kvbsNormal, text);
    p->DrawHeader(c, box(x + 60, 100, 30, 18), box(x + 60, 100, 30, 18), leftOnly, kvAllBorders, kvbsNormal, text);
    p->DrawSortArrow(c, box(x + 8, 100, 16, 18), true);
    p->DrawSortArrow(c, box(x + 38, 100, 16, 18), false);
    p->DrawHeaderSection(c, box(x + 94, 100, 22, 18), box(x + 94, 100, 22, 18), kvAllBorders, kvbsNormal, text);
    p->DrawHeaderSection(c, box(x + 116, 100, 22, 18), box(x + 116, 100, 22, 18), kvAllBorders, kvbsPressed, text);
    for (int kind = 0; kind <= 5; ++kind)
        p->DrawIndicatorCell(c, box(x + kind * 18, 122, 18, 18), clBtnFace, {}, kind);
    p->DrawHeaderWithArrows(c, box(x + 108, 122, 30, 18), box(x + 108, 122, 30, 18), none, text, 3);

    // Footer cells in a footer, and a separator.
    p->DrawFooterFrame(c, box(x, 144, 90, 20));
    p->DrawFooterCell(c, box(x + 2, 146, 40, 16), {}, L"", nullptr, clBtnText, clBtnFace);
    p->DrawFooterCell(c, box(x + 46, 146, 40, 16), {}, L"", nullptr, clBtnText, clBtnFace);
    p->DrawFooterSeparator(c, box(x + 94, 144, 2, 20));
    p->DrawDropDownArrowButton(c, box(x + 100, 144, 15, 20), false, kvbsNormal);
    p->DrawDropDownArrowButton(c, box(x + 120, 144, 15, 20), true, kvbsPressed);

    // Tabs over a tab area.
    p->DrawTabAreaFrame(c, box(x, 186, 90, 14), false, TkvBorders{bLeft, bTop, bRight, bBottom});
    p->DrawTabFrame(c, box(x, 168, 30, 19), true, TkvBorders{bLeft, bTop, bRight}, tpTop);
    p->DrawTabFrame(c, box(x + 30, 170, 30, 17), false, TkvBorders{bLeft, bTop, bRight, bBottom}, tpTop);
    p->DrawTab(c, box(x, 168, 30, 19), TkvBorders{bLeft, bTop, bRight}, true, false, false, false, tpTop);
    p->DrawTab(c, box(x + 30, 170, 30, 17), kvAllBorders, false, true, false, false, tpTop);
    p->DrawSplitter(c, box(x + 96, 168, 40, 6), true, nullptr);
    p->DrawSplitter(c, box(x + 96, 178, 6, 22), false, nullptr);
    p->DrawControlFrame(c, box(x + 106, 178, 30, 22));

    // Expand boxes, the group toggle, the close cross and grouped buttons.
    p->DrawExpandBox(c, box(x, 206, 11, 11), clDefault, false);
    p->DrawExpandBox(c, box(x + 14, 206, 11, 11), clDefault, true);
    p->DrawSmallExpandBox(c, box(x + 28, 207, 9, 9), clBtnShadow, clWindow, false);
    p->DrawSmallExpandBox(c, box(x + 40, 207, 9, 9), clBtnShadow, clWindow, true);
    p->DrawGroupToggleButton(c, box(x + 52, 204, 15, 15), kvbsNormal, true);
    p->DrawGroupToggleButton(c, box(x + 70, 204, 15, 15), kvbsHot, false);
    p->DrawCloseCross(c, box(x + 88, 204, 16, 14), kvbsNormal);
    p->DrawCloseCross(c, box(x + 106, 204, 16, 14), kvbsPressed);
    for (int i = 0; i < 3; ++i)
        p->DrawGroupedButton(c, box(x + i * 20, 222, 20, 16), clBtnShadow, i, 3, i == 1 ? kvbsHot : kvbsNormal);
    p->DrawPlainButton(c, box(x + 64, 222, 20, 16), kvbsNormal);
    p->DrawFramedBorder(c, box(x + 88, 222, 20, 16));
    p->DrawActivateCheck(c, box(x + 112, 223, 13, 13), kvbsNormal, true);

    // Scroll bars: a vertical bar with its arrows, thumb and page areas, then the pressed and
    // disabled parts side by side, then a horizontal bar.
    const int sb = 16;
    int top = 242;
    p->DrawScrollBarElement(c, false, kvbsNormal, sbpLineUp, box(x, top, sb, sb));
    p->DrawScrollBarElement(c, false, kvbsNormal, sbpPageUp, box(x, top + sb, sb, 6));
    p->DrawScrollBarElement(c, false, kvbsNormal, sbpThumb, box(x, top + sb + 6, sb, 12));
    p->DrawScrollBarElement(c, false, kvbsPressed, sbpPageDown, box(x, top + sb + 18, sb, 4));
    p->DrawScrollBarElement(c, false, kvbsNormal, sbpLineDown, box(x, top + sb + 22, sb, sb));
    int hx = x + 22;
    for (int i = 1; i < 5; ++i) {
        p->DrawScrollBarElement(c, false, states[i], sbpLineUp, box(hx + (i - 1) * 18, top, sb, sb));
        p->DrawScrollBarElement(c, false, states[i], sbpThumb, box(hx + (i - 1) * 18, top + 18, sb, sb));
    }
    int y = top + 38;
    p->DrawScrollBarElement(c, true, kvbsNormal, sbpLineUp, box(hx, y, sb, sb));
    p->DrawScrollBarElement(c, true, kvbsNormal, sbpPageUp, box(hx + sb, y, 20, sb));
    p->DrawScrollBarElement(c, true, kvbsHot, sbpThumb, box(hx + sb + 20, y, 24, sb));
    p->DrawScrollBarElement(c, true, kvbsNormal, sbpPageDown, box(hx + sb + 44, y, 16, sb));
    p->DrawScrollBarElement(c, true, kvbsPressed, sbpLineDown, box(hx + sb + 60, y, sb, sb));
}

} // namespace

std::vector<TkvPainterClass> ShowcasePainters() {
    return {PainterOf<TkvStandardLookAndFeelPainter>(), PainterOf<TkvFlatLookAndFeelPainter>(),
            PainterOf<TkvUltraFlatLookAndFeelPainter>(), PainterOf<TkvOffice11LookAndFeelPainter>(),
            PainterOf<TkvWinXPLookAndFeelPainter>()};
}

int PainterShowcaseWidth() { return painterColumnWidth * static_cast<int>(ShowcasePainters().size()); }

void PaintPainterShowcase(TCanvas *canvas) {
    TOwned<TkvCanvas> c(New<TkvCanvas>(canvas));
    c->SetBrushColor(clWhite);
    c->FillRect(TRect{0, 0, PainterShowcaseWidth(), painterShowcaseHeight});
    int left = 0;
    for (TkvPainterClass painter : ShowcasePainters()) {
        // A light ground of its own for each column, so that the columns are told apart.
        c->SetBrushColor(clBtnFace);
        c->FillRect(TRect{left + 1, 1, left + painterColumnWidth - 1, painterShowcaseHeight - 1});
        paintColumn(c.get(), painter, left);
        left += painterColumnWidth;
    }
}
