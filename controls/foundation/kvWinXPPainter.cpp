// kvWinXPPainter: the painter of the system's visual styles. Every themed operation takes the
// cached theme of its kind; where that theme (or a part of it) is missing the operation draws
// as the Standard painter, or the base painter, does.
#include <algorithm>

#include "kvLookAndFeelPainters.h"
#include "kvLookAndFeelPaintersInternal.h"
#include "ztOffice11.h"
#include "ztThemeManager.h"
#include "ztUxTheme.h"

using namespace kvpainters;

namespace {

constexpr int propBorderColor = 3801;
constexpr int propTextColor = 3803;
constexpr int propFillColor = 204;

using Std = TkvStandardLookAndFeelPainter;
using Base = TkvCustomLookAndFeelPainter;

// The open theme of a kind, or null.
HTHEME themeOf(TztThemedObjectType kind) { return OpenThemeForKind(kind); }

constexpr int pushButtonStates[5] = {5, 1, 2, 3, 4};
constexpr int checkStates[5] = {1, 1, 2, 3, 4};
constexpr int headerStates[5] = {1, 1, 2, 3, 1};
constexpr int itemStates[5] = {1, 1, 2, 3, 4};
constexpr int groupToggleStates[5] = {1, 1, 2, 3, 1};
constexpr int toolBarStates[5] = {2, 2, 5, 3, 4};

int mapped(const int (&map)[5], TkvButtonState state) { return map[std::min<int>(state, 4)]; }

// The system's DT_ flags of a text placement, as the theme text routine takes them.
DWORD themeTextFlags(const TkvTextPlacement &placement, bool showPrefix) {
    static constexpr DWORD horizontal[3] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    static constexpr DWORD vertical[3] = {DT_TOP, DT_BOTTOM, DT_VCENTER};
    DWORD flags = horizontal[std::min<int>(placement.Horizontal, 2)] | vertical[std::min<int>(placement.Vertical, 2)];
    flags |= placement.MultiLine ? DT_WORDBREAK : DT_SINGLELINE;
    if (placement.EndEllipsis)
        flags |= DT_END_ELLIPSIS;
    if (!showPrefix)
        flags |= DT_NOPREFIX;
    return flags | DT_EDITCONTROL;
}

// The content insets of a part for a 100 x 100 rectangle, measured on the screen.
bool contentInsets(HTHEME theme, int part, int state, TRect &insets) {
    HDC screen = GetDC(nullptr);
    const TRect bounds{0, 0, 100, 100};
    TRect content{};
    HRESULT result = zt::GetThemeBackgroundContentRect(theme, screen, part, state, bounds, content);
    ReleaseDC(nullptr, screen);
    if (FAILED(result))
        return false;
    insets = TRect{content.left, content.top, 100 - content.right, 100 - content.bottom};
    return true;
}

bool partSize(HTHEME theme, int part, int state, THEMESIZE kind, TSize &size) {
    HDC screen = GetDC(nullptr);
    SIZE result{};
    HRESULT hr = zt::GetThemePartSize(theme, screen, part, state, nullptr, kind, &result);
    ReleaseDC(nullptr, screen);
    if (FAILED(hr) || result.cx <= 0 || result.cy <= 0)
        return false;
    size = result;
    return true;
}

bool themeColor(HTHEME theme, int part, int state, int property, TColor &color) {
    COLORREF value = 0;
    if (FAILED(zt::GetThemeColor(theme, part, state, property, &value)))
        return false;
    color = static_cast<TColor>(value);
    return true;
}

void background(TkvCanvas *canvas, HTHEME theme, int part, int state, const TRect &rect) {
    if (!isEmpty(rect))
        zt::DrawThemeBackground(theme, canvas->GetHandle(), part, state, rect, rect);
}

} // namespace

TkvPainterStyle TkvWinXPLookAndFeelPainter::GetPainterStyle() const { return kvpsWinXP; }

TColor TkvWinXPLookAndFeelPainter::GetFrameLineColor() const {
    TColor color;
    if (HTHEME theme = themeOf(totComboBox); theme != nullptr && themeColor(theme, 1, 1, propBorderColor, color))
        return color;
    return Base::GetFrameLineColor();
}

TColor TkvWinXPLookAndFeelPainter::GetDefaultColor29() const { return 0xD5FFFF; }

void TkvWinXPLookAndFeelPainter::DrawArrow(TkvCanvas *canvas, const TRect &rect, TColor color,
                                           TkvArrowDirection direction) const {
    Base::DrawArrow(canvas, rect, color, direction);
}

void TkvWinXPLookAndFeelPainter::DrawArrowButton(TkvCanvas *canvas, const TRect &rect, bool withBorder,
                                                 TkvArrowDirection direction, TkvButtonState state) const {
    HTHEME theme = themeOf(totScrollBar);
    if (theme == nullptr) {
        Base::DrawArrowButton(canvas, rect, withBorder, direction, state);
        return;
    }
    background(canvas, theme, 1, 4 * std::min<int>(direction, 3) + mapped(itemStates, state), rect);
}

void TkvWinXPLookAndFeelPainter::DrawButtonFace(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const {
    HTHEME theme = themeOf(totButton);
    if (theme == nullptr) {
        Base::DrawButtonFace(canvas, rect, state);
        return;
    }
    background(canvas, theme, 1, mapped(pushButtonStates, state), rect);
}

int TkvWinXPLookAndFeelPainter::GetControlFrameWidth() const {
    return themeOf(totListView) != nullptr ? 1 : Std::GetControlFrameWidth();
}

void TkvWinXPLookAndFeelPainter::DrawControlFrame(TkvCanvas *canvas, const TRect &rect) const {
    HTHEME theme = themeOf(totListView);
    if (theme == nullptr) {
        Std::DrawControlFrame(canvas, rect);
        return;
    }
    if (isEmpty(rect))
        return;
    HDC dc = canvas->GetHandle();
    int saved = SaveDC(dc);
    TRect inner = deflated(rect, 1);
    ExcludeClipRect(dc, inner.left, inner.top, inner.right, inner.bottom);
    zt::DrawThemeBackground(theme, dc, 5, 0, rect, rect);
    RestoreDC(dc, saved);
}

TRect TkvWinXPLookAndFeelPainter::GetGroupedButtonContentBounds(const TRect &rect) const {
    TRect r = Base::GetGroupedButtonContentBounds(rect);
    HTHEME theme = themeOf(totButton);
    if (theme != nullptr && zt::IsThemeBackgroundPartiallyTransparent(theme, 1, 1))
        r = deflated(r, -1);
    return r;
}

int TkvWinXPLookAndFeelPainter::GetButtonBorderWidth(TkvButtonState state) const {
    TRect insets;
    if (HTHEME theme = themeOf(totButton);
        theme != nullptr && contentInsets(theme, 1, mapped(pushButtonStates, state), insets))
        return insets.left;
    return Std::GetButtonBorderWidth(kvbsNormal);
}

TColor TkvWinXPLookAndFeelPainter::GetButtonFaceColor(TkvButtonState state) const {
    HTHEME theme = themeOf(totButton);
    if (theme == nullptr)
        return Base::GetButtonFaceColor(state);
    TColor color;
    return themeColor(theme, 1, mapped(pushButtonStates, state), propFillColor, color) ? color : clBtnFace;
}

TRect TkvWinXPLookAndFeelPainter::GetButtonFocusBounds(TkvCanvas *canvas, const TRect &rect) const {
    if (HTHEME theme = themeOf(totButton); theme != nullptr) {
        HDC screen = GetDC(nullptr);
        TRect content{};
        HRESULT result = zt::GetThemeBackgroundContentRect(theme, screen, 1, 1, rect, content);
        ReleaseDC(nullptr, screen);
        if (SUCCEEDED(result))
            return content;
    }
    return Base::GetButtonFocusBounds(canvas, rect);
}

TRect TkvWinXPLookAndFeelPainter::GetGroupedButtonBorderWidths(int index, int count) const {
    TRect insets;
    if (HTHEME theme = themeOf(totButton); theme != nullptr && contentInsets(theme, 1, 1, insets)) {
        if (zt::IsThemeBackgroundPartiallyTransparent(theme, 1, 1))
            insets = deflated(insets, -1);
        return insets;
    }
    return Base::GetGroupedButtonBorderWidths(index, count);
}

int TkvWinXPLookAndFeelPainter::GetButtonTextIndent() const { return 2; }
int TkvWinXPLookAndFeelPainter::GetButtonPressedShift() const { return 0; }

TColor TkvWinXPLookAndFeelPainter::GetButtonForeColor(TkvButtonState state, TColor color) const {
    TColor themed;
    if (HTHEME theme = themeOf(totButton);
        theme != nullptr && themeColor(theme, 1, mapped(pushButtonStates, state), propTextColor, themed))
        return themed;
    return Base::GetButtonForeColor(state, color);
}

void TkvWinXPLookAndFeelPainter::DrawPushButton(TkvCanvas *canvas, const TRect &rect, const std::wstring &caption,
                                                TkvButtonState state, bool drawBorder, TColor faceColor,
                                                TColor textColor) const {
    HTHEME theme = themeOf(totButton);
    if (theme == nullptr) {
        Base::DrawPushButton(canvas, rect, caption, state, drawBorder, faceColor, textColor);
        return;
    }
    if (isEmpty(rect))
        return;
    int themeState = mapped(pushButtonStates, state);
    background(canvas, theme, 1, themeState, rect);
    if (!caption.empty()) {
        canvas->Canvas()->RequiredState(TCanvasState{csHandleValid, csFontValid});
        zt::DrawThemeText(theme, canvas->GetHandle(), 1, themeState, caption.c_str(), static_cast<int>(caption.size()),
                          DT_CENTER | DT_VCENTER | DT_SINGLELINE, 0, &rect);
    }
}

void TkvWinXPLookAndFeelPainter::DrawExpandBox(TkvCanvas *canvas, const TRect &rect, TColor color,
                                               bool expanded) const {
    HTHEME theme = themeOf(totTreeView);
    if (theme == nullptr) {
        Std::DrawExpandBox(canvas, rect, color, expanded);
        return;
    }
    if (isEmpty(rect))
        return;
    background(canvas, theme, 2, expanded ? 2 : 1, rect);
    canvas->ExcludeClipRect(rect);
}

bool TkvWinXPLookAndFeelPainter::GetExpandBoxFlag() const { return false; }

void TkvWinXPLookAndFeelPainter::DrawGroupToggleButton(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                                                       bool expanded) const {
    HTHEME theme = themeOf(totExplorerBar);
    if (theme == nullptr) {
        Std::DrawGroupToggleButton(canvas, rect, state, expanded);
        return;
    }
    background(canvas, theme, expanded ? 6 : 7, mapped(groupToggleStates, state), rect);
}

void TkvWinXPLookAndFeelPainter::DrawSmallExpandBox(TkvCanvas *canvas, const TRect &rect, TColor frameColor,
                                                    TColor fillColor, bool expanded) const {
    if (themeOf(totTreeView) != nullptr)
        DrawExpandBox(canvas, rect, fillColor, expanded);
    else
        Base::DrawSmallExpandBox(canvas, rect, frameColor, fillColor, expanded);
}

int TkvWinXPLookAndFeelPainter::GetExpandBoxSize() const {
    TSize size;
    if (HTHEME theme = themeOf(totTreeView); theme != nullptr && partSize(theme, 2, 1, TS_TRUE, size))
        return size.cx;
    return Std::GetExpandBoxSize();
}

int TkvWinXPLookAndFeelPainter::GetGroupToggleButtonSize() const {
    TSize size;
    if (HTHEME theme = themeOf(totExplorerBar); theme != nullptr && partSize(theme, 7, 1, TS_TRUE, size))
        return size.cx;
    return Base::GetGroupToggleButtonSize();
}

bool TkvWinXPLookAndFeelPainter::TracksButtonHover() const { return true; }

bool TkvWinXPLookAndFeelPainter::IsPointInGroupToggleButton(const TRect &rect, const TPoint &point) const {
    if (HTHEME theme = themeOf(totExplorerBar); theme != nullptr) {
        HRGN region = nullptr;
        HDC screen = GetDC(nullptr);
        HRESULT result = zt::GetThemeBackgroundRegion(theme, screen, 7, 1, &rect, &region);
        ReleaseDC(nullptr, screen);
        if (SUCCEEDED(result) && region != nullptr) {
            bool inside = PtInRegion(region, point.x, point.y) != FALSE;
            DeleteObject(region);
            return inside;
        }
    }
    return Base::IsPointInGroupToggleButton(rect, point);
}

int TkvWinXPLookAndFeelPainter::GetSmallExpandBoxSize() const {
    return themeOf(totTreeView) != nullptr ? GetExpandBoxSize() : Base::GetSmallExpandBoxSize();
}

int TkvWinXPLookAndFeelPainter::GetCheckFrameWidth() const {
    return themeOf(totButton) != nullptr ? 0 : Base::GetCheckFrameWidth();
}

void TkvWinXPLookAndFeelPainter::DrawCheckMark(TkvCanvas *canvas, const TRect &rect, TColor markColor, bool checked,
                                               TkvButtonState state) const {
    HTHEME theme = themeOf(totButton);
    if (theme == nullptr) {
        Base::DrawCheckMark(canvas, rect, markColor, checked, state);
        return;
    }
    background(canvas, theme, 3, mapped(checkStates, state) + (checked ? 4 : 0), rect);
}

void TkvWinXPLookAndFeelPainter::DrawCheckFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const {
    if (themeOf(totButton) == nullptr)
        Std::DrawCheckFrame(canvas, rect, state);
}

void TkvWinXPLookAndFeelPainter::DrawRadioButton(TkvCanvas *canvas, int x, int y, TkvButtonState state, bool checked,
                                                 bool highlight, bool forcedHighlight, TColor backgroundColor) const {
    HTHEME theme = themeOf(totButton);
    if (theme == nullptr) {
        Base::DrawRadioButton(canvas, x, y, state, checked, highlight, forcedHighlight, backgroundColor);
        return;
    }
    TSize size = GetRadioButtonSize();
    TRect r{x, y, x + size.cx, y + size.cy};
    if (backgroundColor != clDefault)
        fill(canvas, r, backgroundColor);
    background(canvas, theme, 2, mapped(checkStates, state) + (checked ? 4 : 0), r);
}

TSize TkvWinXPLookAndFeelPainter::GetRadioButtonSize() const {
    TSize size;
    if (HTHEME theme = themeOf(totButton); theme != nullptr && partSize(theme, 2, 1, TS_TRUE, size))
        return size;
    return Base::GetRadioButtonSize();
}

void TkvWinXPLookAndFeelPainter::DrawThemedHeaderText(TkvCanvas *canvas, HTHEME theme, TColor textColor, TFont *font,
                                                      const std::wstring *text, const TkvTextPlacement &placement,
                                                      bool showPrefix, const TRect &textRect, int part,
                                                      int state) const {
    if (text == nullptr || text->empty() || isEmpty(textRect))
        return;
    if (font != nullptr)
        canvas->SetFont(font);
    canvas->GetFont()->SetColor(textColor);
    TRect r = textRect;
    if (placement.MultiLine) {
        TkvTextFlags flags = TextPlacementFlags(placement);
        if (showPrefix)
            flags |= tfShowPrefix;
        canvas->CalcTextRect(*text, r, flags);
    }
    ClipScope clip(canvas, textRect);
    canvas->Canvas()->RequiredState(TCanvasState{csHandleValid, csFontValid});
    zt::DrawThemeText(theme, canvas->GetHandle(), part, state, text->c_str(), static_cast<int>(text->size()),
                      themeTextFlags(placement, showPrefix), 0, &r);
}

void TkvWinXPLookAndFeelPainter::DrawHeader(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                                            const TkvHeaderNeighbors &neighbors, TkvBorders sides,
                                            TkvButtonState state, const TkvHeaderText &text,
                                            const TkvBackground &background_) const {
    HTHEME theme = themeOf(totHeader);
    if (theme == nullptr) {
        Base::DrawHeader(canvas, rect, textRect, neighbors, sides, state, text, background_);
        return;
    }
    if (isEmpty(rect))
        return;
    int themeState = mapped(headerStates, state);
    TztOffice11Scheme scheme = GetOffice11Scheme();
    int part = !neighbors.Right && themeState == 1 && (scheme == schemeBlue || scheme == schemeOlive) ? 3 : 1;
    background(canvas, theme, part, themeState, rect);
    TRect r = state == kvbsPressed ? offsetRect(textRect, 1, 1) : textRect;
    // The pressed caption moves, its cell does not: the text stays inside the cell.
    ClipScope cell(canvas, rect);
    DrawThemedHeaderText(canvas, theme, text.TextColor, text.Font, text.Text.empty() ? nullptr : &text.Text,
                         text.Placement, false, r, part, themeState);
}

void TkvWinXPLookAndFeelPainter::InvertHeaderArea(TkvCanvas *, const TRect &) const {}

void TkvWinXPLookAndFeelPainter::DrawHeaderSection(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                                                   TkvBorders sides, TkvButtonState state,
                                                   const TkvHeaderText &text) const {
    fill(canvas, rect, clBtnFace);
    DrawHeader(canvas, rect, textRect, TkvHeaderNeighbors{}, sides, state, text);
}

void TkvWinXPLookAndFeelPainter::DrawSortArrow(TkvCanvas *canvas, const TRect &rect, bool ascending) const {
    PainterOf<TkvUltraFlatLookAndFeelPainter>()->DrawSortArrow(canvas, rect, ascending);
}

int TkvWinXPLookAndFeelPainter::GetHeaderBorderWidth() const {
    TRect insets;
    if (HTHEME theme = themeOf(totHeader); theme != nullptr && contentInsets(theme, 1, 1, insets))
        return (insets.left + insets.top) / 2;
    return Std::GetHeaderBorderWidth();
}

bool TkvWinXPLookAndFeelPainter::GetHeaderFlag() const { return false; }
int TkvWinXPLookAndFeelPainter::GetHeaderSectionBorderWidth(TkvButtonState) const { return GetHeaderBorderWidth(); }

TRect TkvWinXPLookAndFeelPainter::GetHeaderSectionContentBounds(const TRect &rect, TkvButtonState state) const {
    if (themeOf(totHeader) != nullptr)
        return deflated(rect, GetHeaderBorderWidth());
    return Base::GetHeaderSectionContentBounds(rect, state);
}

bool TkvWinXPLookAndFeelPainter::GetHeaderFlag2() const { return true; }
TSize TkvWinXPLookAndFeelPainter::GetSortArrowSize() const {
    return PainterOf<TkvUltraFlatLookAndFeelPainter>()->GetSortArrowSize();
}

void TkvWinXPLookAndFeelPainter::DrawFooterCell(TkvCanvas *canvas, const TRect &rect,
                                                const TkvTextPlacement &placement, const std::wstring &text,
                                                TFont *font, TColor textColor, TColor backgroundColor,
                                                const TkvBackground &background_) const {
    HTHEME theme = themeOf(totTrackBar);
    if (theme == nullptr) {
        Base::DrawFooterCell(canvas, rect, placement, text, font, textColor, backgroundColor, background_);
        return;
    }
    background(canvas, theme, 1, 1, rect);
    DrawThemedHeaderText(canvas, theme, textColor, font, text.empty() ? nullptr : &text, placement, false,
                         GetFooterCellTextBounds(rect), 1, 1);
}

int TkvWinXPLookAndFeelPainter::GetFooterBorderWidth() const { return 1; }

int TkvWinXPLookAndFeelPainter::GetFooterCellBorderWidth() const {
    TRect insets;
    if (HTHEME theme = themeOf(totTrackBar); theme != nullptr && contentInsets(theme, 1, 1, insets))
        return insets.left;
    return Std::GetFooterCellBorderWidth();
}

int TkvWinXPLookAndFeelPainter::GetFooterCellIndent() const { return 1; }
bool TkvWinXPLookAndFeelPainter::GetFooterFlag() const { return false; }

void TkvWinXPLookAndFeelPainter::DrawFooterFrame(TkvCanvas *canvas, const TRect &rect) const {
    HTHEME theme = themeOf(totEdit);
    if (theme == nullptr) {
        Std::DrawFooterFrame(canvas, rect);
        return;
    }
    if (isEmpty(rect))
        return;
    TRect r = rect;
    zt::DrawThemeEdge(theme, canvas->GetHandle(), 1, 1, &r, BDR_RAISEDINNER, BF_RECT, nullptr);
}

void TkvWinXPLookAndFeelPainter::DrawCloseCross(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const {
    HTHEME theme = themeOf(totWindow);
    if (theme == nullptr) {
        Base::DrawCloseCross(canvas, rect, state);
        return;
    }
    background(canvas, theme, 19, mapped(itemStates, state), rect);
}

void TkvWinXPLookAndFeelPainter::DrawDropDownArrowButton(TkvCanvas *canvas, const TRect &rect, bool active,
                                                         TkvButtonState state) const {
    HTHEME theme = themeOf(totComboBox);
    if (theme == nullptr) {
        Std::DrawDropDownArrowButton(canvas, rect, active, state);
        return;
    }
    background(canvas, theme, 1, mapped(itemStates, state), rect);
}

TSize TkvWinXPLookAndFeelPainter::GetActivateCheckSize() const {
    TSize size;
    if (HTHEME theme = themeOf(totButton); theme != nullptr && partSize(theme, 3, 5, TS_TRUE, size))
        return size;
    return Base::GetActivateCheckSize();
}

TSize TkvWinXPLookAndFeelPainter::GetCloseCrossSize() const {
    TSize size;
    if (HTHEME theme = themeOf(totWindow); theme != nullptr && partSize(theme, 19, 1, TS_TRUE, size))
        return TSize{size.cx + 4, size.cy + 4};
    return Base::GetCloseCrossSize();
}

void TkvWinXPLookAndFeelPainter::DrawTab(TkvCanvas *canvas, const TRect &rect, TkvBorders sides, bool selected,
                                         bool hot, bool focused, bool vertical, TkvTabPosition position,
                                         const std::wstring &caption, TFont *font) const {
    HTHEME theme = themeOf(totTab);
    if (theme == nullptr) {
        Base::DrawTab(canvas, rect, sides, selected, hot, focused, vertical, position, caption, font);
        return;
    }
    if (isEmpty(rect))
        return;
    TkvButtonState state = selected ? kvbsPressed : hot ? kvbsHot : kvbsNormal;
    int themeState = mapped(itemStates, state);
    // Where the tab has no frame the theme's edge is pushed out, so that it meets the tab area.
    auto themeRect = [&](int w, int h) {
        TRect r{0, 0, w, h};
        if (!sides.Contains(bLeft))
            r.left -= 2;
        if (!sides.Contains(bRight))
            r.right += 2;
        if (!sides.Contains(bBottom) || (position == tpTop && selected))
            r.bottom += 2;
        return r;
    };
    ClipScope clip(canvas, rect);
    // A vertical tab is turned through a bitmap of its size; one too large for a bitmap is
    // drawn unturned rather than not at all.
    constexpr int largestTurnedTab = 4096;
    if (width(rect) > largestTurnedTab || height(rect) > largestTurnedTab)
        vertical = false;
    if (!vertical) {
        TRect r = themeRect(width(rect), height(rect));
        OffsetRect(&r, rect.left, rect.top);
        zt::DrawThemeBackground(theme, canvas->GetHandle(), 1, themeState, r, rect);
        TRect textRect = rect;
        if (selected)
            textRect.bottom -= 2;
        TkvTextPlacement centred{taCenter, vaCenter, false, false};
        DrawThemedHeaderText(canvas, theme, clBtnText, font, caption.empty() ? nullptr : &caption, centred, true,
                             textRect, 1, themeState);
        return;
    }
    TOwned<TBitmap> turned(New<TBitmap>());
    turned->SetSize(height(rect), width(rect));
    TOwned<TkvCanvas> turnedCanvas(New<TkvCanvas>(turned->GetCanvas()));
    turnedCanvas->CopyRect(TRect{0, 0, height(rect), width(rect)}, canvas->Canvas(), rect);
    TRect r = themeRect(height(rect), width(rect));
    TRect all{0, 0, height(rect), width(rect)};
    zt::DrawThemeBackground(theme, turnedCanvas->GetHandle(), 1, themeState, r, all);
    // The caption is written along the unturned tab and turns with it.
    TRect textRect = all;
    if (selected)
        textRect.bottom -= 2;
    TkvTextPlacement centred{taCenter, vaCenter, false, false};
    DrawThemedHeaderText(turnedCanvas.get(), theme, clBtnText, font, caption.empty() ? nullptr : &caption, centred,
                         true, textRect, 1, themeState);
    turnedCanvas->RotateBitmap(turned.get(), position == tpLeft ? raPlus90 : raMinus90);
    canvas->Draw(rect.left, rect.top, turned.get());
}

void TkvWinXPLookAndFeelPainter::DrawTabFrame(TkvCanvas *canvas, const TRect &rect, bool selected, TkvBorders sides,
                                              TkvTabPosition position) const {
    if (themeOf(totTab) == nullptr)
        Std::DrawTabFrame(canvas, rect, selected, sides, position);
}

void TkvWinXPLookAndFeelPainter::DrawTabAreaFrame(TkvCanvas *canvas, const TRect &rect, bool vertical,
                                                  TkvBorders sides) const {
    HTHEME theme = themeOf(totTab);
    if (theme == nullptr) {
        Std::DrawTabAreaFrame(canvas, rect, vertical, sides);
        return;
    }
    if (isEmpty(rect))
        return;
    TRect r = rect;
    if (vertical)
        r.right = shifted(r.right, 10);
    else
        r.bottom = shifted(r.bottom, 10);
    zt::DrawThemeBackground(theme, canvas->GetHandle(), 9, 1, r, rect);
}

int TkvWinXPLookAndFeelPainter::GetTabMetric1() const { return themeOf(totTab) != nullptr ? 1 : 0; }
int TkvWinXPLookAndFeelPainter::GetTabMetric2() const { return themeOf(totTab) != nullptr ? 1 : 0; }
int TkvWinXPLookAndFeelPainter::GetTabFrameWidth(bool) const { return 1; }

void TkvWinXPLookAndFeelPainter::DrawIndicatorCell(TkvCanvas *canvas, const TRect &rect, TColor backgroundColor,
                                                   const TkvBackground &background_, int indicatorKind) const {
    PainterOf<TkvFlatLookAndFeelPainter>()->DrawIndicatorCell(canvas, rect, backgroundColor, background_,
                                                              indicatorKind);
}

void TkvWinXPLookAndFeelPainter::DrawScrollBarElement(TkvCanvas *canvas, bool horizontal, TkvButtonState state,
                                                      TkvScrollBarPart part, const TRect &rect) const {
    HTHEME theme = themeOf(totScrollBar);
    if (theme == nullptr) {
        Std::DrawScrollBarElement(canvas, horizontal, state, part, rect);
        return;
    }
    if (isEmpty(rect))
        return;
    int themeState = mapped(itemStates, state);
    switch (part) {
    case sbpLineUp:
    case sbpLineDown:
        DrawArrowButton(canvas, rect, true, GetScrollArrowDirection(horizontal, part), state);
        break;
    case sbpThumb:
        background(canvas, theme, horizontal ? 2 : 3, themeState, rect);
        background(canvas, theme, horizontal ? 8 : 9, 0, rect);
        break;
    case sbpPageUp:
        background(canvas, theme, horizontal ? 4 : 6, themeState, rect);
        break;
    case sbpPageDown:
        background(canvas, theme, horizontal ? 5 : 7, themeState, rect);
        break;
    default:
        break;
    }
}

void TkvWinXPLookAndFeelPainter::DrawHeaderWithArrows(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                                                      const TkvHeaderNeighbors &neighbors, const TkvHeaderText &text,
                                                      int arrowKinds, const TkvBackground &background_) const {
    TkvHeaderText centred = text;
    centred.Placement.Horizontal = taCenter;
    centred.Placement.Vertical = vaCenter;
    centred.Placement.MultiLine = false;
    DrawHeader(canvas, rect, textRect, neighbors, kvAllBorders, kvbsNormal, centred, background_);
    DrawHeaderArrows(canvas, rect, arrowKinds, clWindowText);
}

void TkvWinXPLookAndFeelPainter::DrawPlainButton(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const {
    HTHEME theme = themeOf(totToolBar);
    if (theme == nullptr) {
        Base::DrawPlainButton(canvas, rect, state);
        return;
    }
    background(canvas, theme, 1, mapped(toolBarStates, state), rect);
}

void TkvWinXPLookAndFeelPainter::DrawSplitter(TkvCanvas *canvas, const TRect &rect, bool horizontal,
                                              TBrush *brush) const {
    HTHEME combo = themeOf(totComboBox);
    if (themeOf(totListView) == nullptr || combo == nullptr) {
        Std::DrawSplitter(canvas, rect, horizontal, brush);
        return;
    }
    if (isEmpty(rect))
        return;
    TColor line;
    if (!themeColor(combo, 1, 1, propBorderColor, line))
        line = GetFrameLineColor();
    TRect r = rect;
    if (horizontal) {
        frame(canvas, r, line, TkvBorders{bTop, bBottom});
        r = deflated(r, 0, 1);
    } else {
        frame(canvas, r, line, TkvBorders{bLeft, bRight});
        r = deflated(r, 1, 0);
    }
    if (isEmpty(r))
        return;
    if (brush != nullptr)
        canvas->Canvas()->SetBrush(brush);
    canvas->FillRect(r);
}
