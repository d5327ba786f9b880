// kvLookAndFeelPainters: the painters that draw every visual element of the library's controls.
//
// A painter is a style: a class whose operations are all virtual and which holds no state. Each
// painter class has exactly one object, reached through PainterOf<class>() (or the kind table);
// a control keeps that pointer as its class reference, and an operation that calls another one
// through `this` reaches the override of the painter it was called on. Operations draw only
// inside the rectangle they are given, whatever its size.
//
// The unit also owns what the painters share: the indicator images, the checker bitmaps of the
// scroll-bar page areas, two auto-hide bitmaps and the radio-button glyph list, rebuilt when the
// system colours change.
#ifndef KV_LOOK_AND_FEEL_PAINTERS_H
#define KV_LOOK_AND_FEEL_PAINTERS_H

#include <windows.h>

#include <uxtheme.h>

#include <cstdint>
#include <string>
#include <vector>

#include <classlib/geometry.h>
#include <classlib/graphics.h>
#include <classlib/image_list.h>
#include <classlib/object.h>
#include <classlib/stdctrls.h>
#include <classlib/units.h>

#include "kvGraphics.h"

// Counted start: the indicator list, checker and auto-hide bitmaps, and the primary palette
// notifier; its stop frees them and the radio glyph list.
extern TUnit kvLookAndFeelPaintersUnit;

enum TkvButtonState : std::uint8_t { kvbsDefault, kvbsNormal, kvbsHot, kvbsPressed, kvbsDisabled };
enum TkvLookAndFeelKind : std::uint8_t { lfFlat, lfStandard, lfUltraFlat, lfOffice11 };
inline constexpr int kvLookAndFeelKindCount = 4;

// Painter style numbers.
using TkvPainterStyle = std::uint8_t;
inline constexpr TkvPainterStyle kvpsFlat = 0;
inline constexpr TkvPainterStyle kvpsStandard = 1;
inline constexpr TkvPainterStyle kvpsUltraFlat = 2;
inline constexpr TkvPainterStyle kvpsWinXP = 3;
inline constexpr TkvPainterStyle kvpsOffice11 = 4;
TkvLookAndFeelKind PainterStyleToLookAndFeelKind(TkvPainterStyle style) noexcept;

using TkvArrowDirection = std::uint8_t;
inline constexpr TkvArrowDirection adUp = 0;
inline constexpr TkvArrowDirection adDown = 1;
inline constexpr TkvArrowDirection adLeft = 2;
inline constexpr TkvArrowDirection adRight = 3;

// The parts of a scroll bar.
using TkvScrollBarPart = std::uint8_t;
inline constexpr TkvScrollBarPart sbpNone = 0;
inline constexpr TkvScrollBarPart sbpLineUp = 1;
inline constexpr TkvScrollBarPart sbpLineDown = 2;
inline constexpr TkvScrollBarPart sbpThumb = 3;
inline constexpr TkvScrollBarPart sbpPageUp = 4;
inline constexpr TkvScrollBarPart sbpPageDown = 5;
TkvArrowDirection GetScrollArrowDirection(bool horizontal, TkvScrollBarPart part) noexcept;

enum TkvVerticalAlignment : std::uint8_t { vaTop, vaBottom, vaCenter };

// How a cell's text is placed.
struct TkvTextPlacement {
    TAlignment Horizontal = taLeftJustify;
    TkvVerticalAlignment Vertical = vaCenter;
    bool MultiLine = false;
    bool EndEllipsis = false;
};
TkvTextFlags TextPlacementFlags(const TkvTextPlacement &placement) noexcept;

// Paints a cell's background itself when it answers true.
using TkvBackgroundProc = bool (*)(TkvCanvas *canvas, const TRect &rect, void *data);
struct TkvBackground {
    TkvBackgroundProc Proc = nullptr;
    void *Data = nullptr;
    bool Paint(TkvCanvas *canvas, const TRect &rect) const { return Proc != nullptr && Proc(canvas, rect, Data); }
};

// A header section's neighbours.
struct TkvHeaderNeighbors {
    bool Left = false;
    bool Top = false;
    bool Right = false;
    bool Bottom = false;
};

// What a header or header section shows.
struct TkvHeaderText {
    std::wstring Text;
    TFont *Font = nullptr;
    TColor TextColor = clBtnText;
    TColor BackgroundColor = clBtnFace;
    TkvTextPlacement Placement;
};

enum TkvTabPosition : std::uint8_t { tpTop, tpBottom, tpLeft, tpRight };

class TkvCustomLookAndFeelPainter;
// A painter class: the one object of a painter class.
using TkvPainterClass = const TkvCustomLookAndFeelPainter *;

template <class P> TkvPainterClass PainterOf() noexcept;

class TkvCustomLookAndFeelPainter {
public:
    TkvCustomLookAndFeelPainter(const TkvCustomLookAndFeelPainter &) = delete;
    TkvCustomLookAndFeelPainter &operator=(const TkvCustomLookAndFeelPainter &) = delete;

    virtual const wchar_t *ClassName() const noexcept { return L"TkvCustomLookAndFeelPainter"; }

    virtual void DrawTriangleArrow(TkvCanvas *canvas, const TRect &rect, TColor color) const;
    virtual void DrawCellContent(TkvCanvas *canvas, const TRect &rect, const TkvBackground &background,
                                 TColor backgroundColor, TColor textColor, TFont *font, const std::wstring *text,
                                 const TkvTextPlacement &placement, const TRect &textRect, TkvButtonState state) const;
    virtual TRect GetFooterCellContentBounds(const TRect &rect) const;
    virtual TRect GetFooterCellTextBounds(const TRect &rect) const;
    virtual TkvPainterStyle GetPainterStyle() const;

    // The palette for grid and scheduler views.
    virtual TColor GetDefaultColor01() const;
    virtual TColor GetDefaultColor02() const;
    virtual TColor GetDefaultColor03() const;
    virtual TColor GetDefaultColor04() const;
    virtual TColor GetDefaultColor05() const;
    virtual TColor GetDefaultColor06() const;
    virtual TColor GetDefaultColor07() const;
    virtual TColor GetDefaultColor08() const;
    virtual TColor GetDefaultColor09() const;
    virtual TColor GetDefaultColor10() const;
    virtual TColor GetDefaultColor11() const;
    virtual TColor GetDefaultColor12() const;
    virtual TColor GetDefaultColor13() const;
    virtual TColor GetDefaultColor14() const;
    virtual TColor GetDefaultColor15() const;
    virtual TColor GetDefaultColor16() const;
    virtual TColor GetDefaultColor17() const;
    virtual TColor GetDefaultColor18() const;
    virtual TColor GetDefaultColor19() const;
    virtual TColor GetDefaultColor20() const;
    virtual TColor GetDefaultColor21() const;
    virtual TColor GetDefaultColor22() const;
    virtual TColor GetDefaultColor23() const;
    virtual TColor GetDefaultColor24() const;
    virtual TColor GetDefaultColor25() const;
    virtual TColor GetDefaultColor26() const;
    virtual TColor GetFrameLineColor() const;
    virtual TColor GetDefaultColor28() const;
    virtual TColor GetDefaultColor29() const;
    virtual TColor GetDefaultColor30() const;
    virtual TColor GetDefaultColor31() const;
    virtual TColor GetDefaultColor32() const;
    virtual TColor GetDefaultColor33() const;
    virtual TColor GetDefaultColor34() const;
    virtual TColor GetDefaultColor35() const;
    virtual TColor GetDefaultColor36() const;
    virtual TColor GetDefaultColor37() const;
    virtual TColor GetDefaultColor38() const;
    virtual TColor GetDefaultColor39() const;
    virtual TColor GetDefaultColor40() const;
    virtual TColor GetDefaultColor41() const;
    virtual TColor GetDefaultColor42() const;
    virtual TColor GetDefaultColor43() const;
    virtual TColor GetDefaultColor44() const;
    virtual TColor GetDefaultColor45() const;
    virtual TColor GetDefaultColor46() const;
    virtual TColor GetDefaultColor47() const;
    virtual TColor GetDefaultColor48() const;
    virtual TColor GetDefaultColor49() const;
    virtual TColor GetDefaultColor50() const;
    virtual TColor GetDefaultColor51() const;
    // The palette entry 1..51 (GetFrameLineColor at 27); clNone outside.
    TColor GetDefaultColor(int number) const;

    virtual void DrawArrow(TkvCanvas *canvas, const TRect &rect, TColor color, TkvArrowDirection direction) const;
    virtual void DrawArrowButton(TkvCanvas *canvas, const TRect &rect, bool withBorder, TkvArrowDirection direction,
                                 TkvButtonState state) const;
    virtual void DrawButtonFace(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const;
    virtual void DrawArrowForState(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                                   TkvArrowDirection direction) const;
    virtual int GetControlFrameWidth() const;
    virtual void DrawControlFrame(TkvCanvas *canvas, const TRect &rect) const;
    virtual TRect GetGroupedButtonContentBounds(const TRect &rect) const;
    virtual int GetButtonBorderWidth(TkvButtonState state) const;
    virtual TColor GetButtonFaceColor(TkvButtonState state) const;
    virtual TRect GetButtonFocusBounds(TkvCanvas *canvas, const TRect &rect) const;
    virtual TRect GetGroupedButtonBorderWidths(int index, int count) const;
    virtual int GetButtonTextIndent() const;
    virtual int GetButtonPressedShift() const;
    virtual TColor GetButtonForeColor(TkvButtonState state, TColor color) const;
    virtual TkvButtonState GetButtonForeState(TkvButtonState state) const;
    virtual void DrawPushButton(TkvCanvas *canvas, const TRect &rect, const std::wstring &caption,
                                TkvButtonState state, bool drawBorder = true, TColor faceColor = clDefault,
                                TColor textColor = clDefault) const;
    virtual void DrawGroupedButton(TkvCanvas *canvas, const TRect &rect, TColor frameColor, int index, int count,
                                   TkvButtonState state) const;
    virtual void DrawButtonFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const;
    virtual void DrawButtonOutline(TkvCanvas *canvas, const TRect &rect, bool hot, bool pressed) const;
    virtual void DrawExpandBox(TkvCanvas *canvas, const TRect &rect, TColor color, bool expanded) const;
    virtual bool GetExpandBoxFlag() const;
    virtual void DrawGroupToggleButton(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                                       bool expanded) const;
    virtual void DrawSmallExpandBox(TkvCanvas *canvas, const TRect &rect, TColor frameColor, TColor fillColor,
                                    bool expanded) const;
    virtual int GetExpandBoxSize() const;
    virtual int GetGroupToggleButtonSize() const;
    virtual bool TracksButtonHover() const;
    virtual bool IsPointInGroupToggleButton(const TRect &rect, const TPoint &point) const;
    virtual int GetSmallExpandBoxSize() const;
    virtual int GetCheckFrameWidth() const;
    virtual TColor GetCheckFaceColor(TkvButtonState state) const;
    virtual void DrawCheckMark(TkvCanvas *canvas, const TRect &rect, TColor markColor, bool checked,
                               TkvButtonState state) const;
    virtual void DrawCheckFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const;
    virtual void DrawCheckBox(TkvCanvas *canvas, const TRect &rect, TkvButtonState state, bool checked) const;
    virtual void DrawRadioButton(TkvCanvas *canvas, int x, int y, TkvButtonState state, bool checked,
                                 bool highlight, bool forcedHighlight, TColor backgroundColor = clDefault) const;
    virtual TSize GetRadioButtonSize() const;
    virtual void DrawHeader(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                            const TkvHeaderNeighbors &neighbors, TkvBorders sides, TkvButtonState state,
                            const TkvHeaderText &text, const TkvBackground &background = {}) const;
    virtual void DrawHeaderSimple(TkvCanvas *canvas, const TRect &rect, const TRect &textRect, TkvBorders sides,
                                  TkvButtonState state, const TkvHeaderText &text,
                                  const TkvBackground &background = {}) const;
    virtual void DrawHeaderFrame(TkvCanvas *canvas, const TRect &rect, const TkvHeaderNeighbors &neighbors,
                                 TkvBorders sides) const;
    virtual void InvertHeaderArea(TkvCanvas *canvas, const TRect &rect) const;
    virtual void DrawHeaderSection(TkvCanvas *canvas, const TRect &rect, const TRect &textRect, TkvBorders sides,
                                   TkvButtonState state, const TkvHeaderText &text) const;
    virtual void DrawHeaderSectionFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                                        TkvBorders sides) const;
    virtual void DrawHeaderSectionContent(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                                          TkvButtonState state, const TkvHeaderText &text) const;
    virtual void DrawHeaderSectionText(TkvCanvas *canvas, const TRect &textRect, TkvButtonState state,
                                       const TkvHeaderText &text) const;
    virtual void DrawSortArrow(TkvCanvas *canvas, const TRect &rect, bool ascending) const;
    virtual TkvBorders GetHeaderBorderSides(const TkvHeaderNeighbors &neighbors) const;
    virtual int GetHeaderBorderWidth() const;
    virtual TRect GetHeaderPaintBounds(const TRect &rect, const TkvHeaderNeighbors &neighbors,
                                       TkvBorders sides) const;
    virtual TRect GetHeaderContentBounds(const TRect &rect, TkvBorders sides) const;
    virtual bool GetHeaderFlag() const;
    virtual int CalcHeaderHeight(int textHeight) const;
    virtual int GetHeaderSectionBorderWidth(TkvButtonState state) const;
    virtual TRect GetHeaderSectionTextBounds(const TRect &rect, TkvButtonState state) const;
    virtual TRect GetHeaderSectionContentBounds(const TRect &rect, TkvButtonState state) const;
    virtual int CalcHeaderWidth(TkvCanvas *canvas, TkvBorders sides, TFont *font, const std::wstring &text) const;
    virtual bool GetHeaderFlag2() const;
    virtual TSize GetSortArrowAreaSize() const;
    virtual TSize GetSortArrowSize() const;
    virtual void DrawFooterCell(TkvCanvas *canvas, const TRect &rect, const TkvTextPlacement &placement,
                                const std::wstring &text, TFont *font, TColor textColor, TColor backgroundColor,
                                const TkvBackground &background = {}) const;
    virtual TkvBorders GetFooterBorderSides() const;
    virtual int GetFooterBorderWidth() const;
    virtual int GetFooterCellBorderWidth() const;
    virtual int GetFooterCellIndent() const;
    virtual bool GetFooterFlag() const;
    virtual TColor GetFooterLineColor() const;
    virtual int GetFooterLineWidth() const;
    virtual void DrawFooterFrame(TkvCanvas *canvas, const TRect &rect) const;
    virtual void DrawFooterCellFrame(TkvCanvas *canvas, const TRect &rect) const;
    virtual void DrawFooterSeparator(TkvCanvas *canvas, const TRect &rect) const;
    virtual void DrawActivateCheck(TkvCanvas *canvas, const TRect &rect, TkvButtonState state, bool checked) const;
    virtual void DrawCloseCross(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const;
    virtual void DrawDropDownArrowButton(TkvCanvas *canvas, const TRect &rect, bool active,
                                         TkvButtonState state) const;
    virtual TSize GetActivateCheckSize() const;
    virtual TSize GetCloseCrossSize() const;
    virtual TSize GetDropDownArrowButtonSize() const;
    virtual bool GetDropDownFlag() const;
    virtual void DrawTab(TkvCanvas *canvas, const TRect &rect, TkvBorders sides, bool selected, bool hot,
                         bool focused, bool vertical, TkvTabPosition position, const std::wstring &caption = L"",
                         TFont *font = nullptr) const;
    virtual void DrawTabFrame(TkvCanvas *canvas, const TRect &rect, bool selected, TkvBorders sides,
                              TkvTabPosition position) const;
    virtual void DrawTabAreaFrame(TkvCanvas *canvas, const TRect &rect, bool vertical, TkvBorders sides) const;
    virtual int GetTabMetric1() const;
    virtual int GetTabMetric2() const;
    virtual int GetTabFrameWidth(bool vertical) const;
    virtual void DrawIndicatorCell(TkvCanvas *canvas, const TRect &rect, TColor backgroundColor,
                                   const TkvBackground &background, int indicatorKind) const;
    virtual void DrawIndicatorCellSimple(TkvCanvas *canvas, const TRect &rect, TColor backgroundColor,
                                         const TkvBackground &background, int indicatorKind) const;
    virtual bool GetIndicatorFlag() const;
    virtual void DrawScrollBarElement(TkvCanvas *canvas, bool horizontal, TkvButtonState state,
                                      TkvScrollBarPart part, const TRect &rect) const;
    // Arrow kinds: 1 the left arrow, 2 the right one, 3 both.
    virtual void DrawHeaderWithArrows(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                                      const TkvHeaderNeighbors &neighbors, const TkvHeaderText &text,
                                      int arrowKinds, const TkvBackground &background = {}) const;
    virtual void DrawFramedBorder(TkvCanvas *canvas, const TRect &rect) const;
    virtual void DrawPlainButton(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const;
    virtual void DrawSplitter(TkvCanvas *canvas, const TRect &rect, bool horizontal, TBrush *brush) const;
    virtual int GetSplitterFlag() const;

    // The drawing helpers the operations share.
    // The arrow's three points; squared fits it in the square centred in the rectangle.
    static void CalcArrowPoints(const TRect &rect, bool squared, TkvArrowDirection direction, TPoint points[3]);
    void DrawExpandCross(TkvCanvas *canvas, const TRect &rect, TColor color, bool expanded) const;
    void DrawCrossMark(TkvCanvas *canvas, const TRect &rect, TkvButtonState state, TColor color) const;
    void DrawDoubleChevron(TkvCanvas *canvas, const TRect &rect, TkvButtonState state, bool up) const;
    void DrawSortArrowMark(TkvCanvas *canvas, const TRect &rect, bool ascending, TColor light, TColor dark) const;
    void DrawHeaderArrows(TkvCanvas *canvas, const TRect &rect, int arrowKinds, TColor color) const;
    // Image (kind and $7F) - 1 of the indicator list, centred; kind 0 draws nothing.
    void DrawIndicatorGlyph(TkvCanvas *canvas, const TRect &rect, int kind) const;

protected:
    constexpr TkvCustomLookAndFeelPainter() = default;
    ~TkvCustomLookAndFeelPainter() = default;
    template <class P> friend TkvPainterClass PainterOf() noexcept;
};

class TkvStandardLookAndFeelPainter : public TkvCustomLookAndFeelPainter {
public:
    const wchar_t *ClassName() const noexcept override { return L"TkvStandardLookAndFeelPainter"; }
    TkvPainterStyle GetPainterStyle() const override;
    TColor GetDefaultColor29() const override;
    int GetControlFrameWidth() const override;
    void DrawControlFrame(TkvCanvas *canvas, const TRect &rect) const override;
    int GetButtonBorderWidth(TkvButtonState state) const override;
    int GetButtonTextIndent() const override;
    int GetButtonPressedShift() const override;
    void DrawButtonFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const override;
    void DrawExpandBox(TkvCanvas *canvas, const TRect &rect, TColor color, bool expanded) const override;
    void DrawGroupToggleButton(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                               bool expanded) const override;
    int GetExpandBoxSize() const override;
    bool TracksButtonHover() const override;
    void DrawCheckFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const override;
    void DrawHeaderFrame(TkvCanvas *canvas, const TRect &rect, const TkvHeaderNeighbors &neighbors,
                         TkvBorders sides) const override;
    void DrawHeaderSectionFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                                TkvBorders sides) const override;
    void DrawSortArrow(TkvCanvas *canvas, const TRect &rect, bool ascending) const override;
    int GetHeaderBorderWidth() const override;
    int GetHeaderSectionBorderWidth(TkvButtonState state) const override;
    TSize GetSortArrowSize() const override;
    int GetFooterBorderWidth() const override;
    int GetFooterCellBorderWidth() const override;
    int GetFooterCellIndent() const override;
    void DrawFooterFrame(TkvCanvas *canvas, const TRect &rect) const override;
    void DrawFooterCellFrame(TkvCanvas *canvas, const TRect &rect) const override;
    void DrawDropDownArrowButton(TkvCanvas *canvas, const TRect &rect, bool active,
                                 TkvButtonState state) const override;
    void DrawTabFrame(TkvCanvas *canvas, const TRect &rect, bool selected, TkvBorders sides,
                      TkvTabPosition position) const override;
    void DrawTabAreaFrame(TkvCanvas *canvas, const TRect &rect, bool vertical, TkvBorders sides) const override;
    int GetTabFrameWidth(bool vertical) const override;
    void DrawScrollBarElement(TkvCanvas *canvas, bool horizontal, TkvButtonState state, TkvScrollBarPart part,
                              const TRect &rect) const override;
    void DrawHeaderWithArrows(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                              const TkvHeaderNeighbors &neighbors, const TkvHeaderText &text, int arrowKinds,
                              const TkvBackground &background = {}) const override;
    void DrawSplitter(TkvCanvas *canvas, const TRect &rect, bool horizontal, TBrush *brush) const override;

    // The two rings around a scroll-bar button or thumb.
    void DrawScrollBarButtonFrame(TkvCanvas *canvas, const TRect &rect, bool pressedArrow) const;

protected:
    constexpr TkvStandardLookAndFeelPainter() = default;
    template <class P> friend TkvPainterClass PainterOf() noexcept;
};

class TkvFlatLookAndFeelPainter : public TkvCustomLookAndFeelPainter {
public:
    const wchar_t *ClassName() const noexcept override { return L"TkvFlatLookAndFeelPainter"; }
    TkvPainterStyle GetPainterStyle() const override;
    int GetControlFrameWidth() const override;
    void DrawControlFrame(TkvCanvas *canvas, const TRect &rect) const override;
    int GetButtonBorderWidth(TkvButtonState state) const override;
    int GetButtonTextIndent() const override;
    int GetButtonPressedShift() const override;
    void DrawButtonFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const override;
    void DrawExpandBox(TkvCanvas *canvas, const TRect &rect, TColor color, bool expanded) const override;
    int GetExpandBoxSize() const override;
    bool TracksButtonHover() const override;
    void DrawCheckFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const override;
    void DrawHeaderFrame(TkvCanvas *canvas, const TRect &rect, const TkvHeaderNeighbors &neighbors,
                         TkvBorders sides) const override;
    void DrawHeaderSectionFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                                TkvBorders sides) const override;
    void DrawSortArrow(TkvCanvas *canvas, const TRect &rect, bool ascending) const override;
    int GetHeaderBorderWidth() const override;
    TSize GetSortArrowSize() const override;
    int GetFooterBorderWidth() const override;
    int GetFooterCellBorderWidth() const override;
    int GetFooterCellIndent() const override;
    void DrawFooterFrame(TkvCanvas *canvas, const TRect &rect) const override;
    void DrawFooterCellFrame(TkvCanvas *canvas, const TRect &rect) const override;
    void DrawDropDownArrowButton(TkvCanvas *canvas, const TRect &rect, bool active,
                                 TkvButtonState state) const override;
    void DrawTabFrame(TkvCanvas *canvas, const TRect &rect, bool selected, TkvBorders sides,
                      TkvTabPosition position) const override;
    void DrawTabAreaFrame(TkvCanvas *canvas, const TRect &rect, bool vertical, TkvBorders sides) const override;
    int GetTabFrameWidth(bool vertical) const override;
    void DrawScrollBarElement(TkvCanvas *canvas, bool horizontal, TkvButtonState state, TkvScrollBarPart part,
                              const TRect &rect) const override;
    void DrawSplitter(TkvCanvas *canvas, const TRect &rect, bool horizontal, TBrush *brush) const override;

protected:
    constexpr TkvFlatLookAndFeelPainter() = default;
    template <class P> friend TkvPainterClass PainterOf() noexcept;
};

class TkvUltraFlatLookAndFeelPainter : public TkvCustomLookAndFeelPainter {
public:
    const wchar_t *ClassName() const noexcept override { return L"TkvUltraFlatLookAndFeelPainter"; }
    TkvPainterStyle GetPainterStyle() const override;
    TColor GetFrameLineColor() const override;
    int GetControlFrameWidth() const override;
    void DrawControlFrame(TkvCanvas *canvas, const TRect &rect) const override;
    int GetButtonBorderWidth(TkvButtonState state) const override;
    TColor GetButtonFaceColor(TkvButtonState state) const override;
    TRect GetButtonFocusBounds(TkvCanvas *canvas, const TRect &rect) const override;
    TRect GetGroupedButtonBorderWidths(int index, int count) const override;
    int GetButtonTextIndent() const override;
    int GetButtonPressedShift() const override;
    TColor GetButtonForeColor(TkvButtonState state, TColor color) const override;
    TkvButtonState GetButtonForeState(TkvButtonState state) const override;
    void DrawGroupedButton(TkvCanvas *canvas, const TRect &rect, TColor frameColor, int index, int count,
                           TkvButtonState state) const override;
    void DrawButtonFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const override;
    void DrawButtonOutline(TkvCanvas *canvas, const TRect &rect, bool hot, bool pressed) const override;
    void DrawExpandBox(TkvCanvas *canvas, const TRect &rect, TColor color, bool expanded) const override;
    int GetExpandBoxSize() const override;
    bool TracksButtonHover() const override;
    void DrawCheckFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const override;
    void DrawHeaderSimple(TkvCanvas *canvas, const TRect &rect, const TRect &textRect, TkvBorders sides,
                          TkvButtonState state, const TkvHeaderText &text,
                          const TkvBackground &background = {}) const override;
    void DrawHeaderFrame(TkvCanvas *canvas, const TRect &rect, const TkvHeaderNeighbors &neighbors,
                         TkvBorders sides) const override;
    void DrawHeaderSectionFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                                TkvBorders sides) const override;
    void DrawHeaderSectionContent(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                                  TkvButtonState state, const TkvHeaderText &text) const override;
    void DrawSortArrow(TkvCanvas *canvas, const TRect &rect, bool ascending) const override;
    TkvBorders GetHeaderBorderSides(const TkvHeaderNeighbors &neighbors) const override;
    int GetHeaderBorderWidth() const override;
    TSize GetSortArrowSize() const override;
    TkvBorders GetFooterBorderSides() const override;
    int GetFooterBorderWidth() const override;
    int GetFooterCellBorderWidth() const override;
    int GetFooterCellIndent() const override;
    void DrawFooterFrame(TkvCanvas *canvas, const TRect &rect) const override;
    void DrawFooterCellFrame(TkvCanvas *canvas, const TRect &rect) const override;
    void DrawDropDownArrowButton(TkvCanvas *canvas, const TRect &rect, bool active,
                                 TkvButtonState state) const override;
    TSize GetCloseCrossSize() const override;
    void DrawTabFrame(TkvCanvas *canvas, const TRect &rect, bool selected, TkvBorders sides,
                      TkvTabPosition position) const override;
    void DrawTabAreaFrame(TkvCanvas *canvas, const TRect &rect, bool vertical, TkvBorders sides) const override;
    int GetTabFrameWidth(bool vertical) const override;
    void DrawScrollBarElement(TkvCanvas *canvas, bool horizontal, TkvButtonState state, TkvScrollBarPart part,
                              const TRect &rect) const override;
    void DrawPlainButton(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const override;
    void DrawSplitter(TkvCanvas *canvas, const TRect &rect, bool horizontal, TBrush *brush) const override;

    virtual TColor GetHotFrameColor(TkvButtonState state) const;
    virtual TColor GetTabFrameColor() const;
    virtual TColor GetExtraTextColor() const;
    virtual TColor GetHighlightFrameColor() const;

protected:
    constexpr TkvUltraFlatLookAndFeelPainter() = default;
    template <class P> friend TkvPainterClass PainterOf() noexcept;
};

class TkvOffice11LookAndFeelPainter : public TkvUltraFlatLookAndFeelPainter {
public:
    const wchar_t *ClassName() const noexcept override { return L"TkvOffice11LookAndFeelPainter"; }
    TkvPainterStyle GetPainterStyle() const override;
    TColor GetDefaultColor03() const override;
    TColor GetDefaultColor04() const override;
    TColor GetDefaultColor06() const override;
    TColor GetDefaultColor07() const override;
    TColor GetDefaultColor09() const override;
    TColor GetDefaultColor11() const override;
    TColor GetDefaultColor12() const override;
    TColor GetDefaultColor13() const override;
    TColor GetDefaultColor15() const override;
    TColor GetDefaultColor22() const override;
    TColor GetDefaultColor23() const override;
    TColor GetDefaultColor24() const override;
    TColor GetFrameLineColor() const override;
    TColor GetDefaultColor28() const override;
    TColor GetDefaultColor34() const override;
    TColor GetDefaultColor36() const override;
    TColor GetDefaultColor39() const override;
    TColor GetDefaultColor41() const override;
    void DrawCellContent(TkvCanvas *canvas, const TRect &rect, const TkvBackground &background,
                         TColor backgroundColor, TColor textColor, TFont *font, const std::wstring *text,
                         const TkvTextPlacement &placement, const TRect &textRect,
                         TkvButtonState state) const override;
    void DrawControlFrame(TkvCanvas *canvas, const TRect &rect) const override;
    TColor GetButtonFaceColor(TkvButtonState state) const override;
    TColor GetButtonForeColor(TkvButtonState state, TColor color) const override;
    void DrawButtonFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const override;
    void DrawExpandBox(TkvCanvas *canvas, const TRect &rect, TColor color, bool expanded) const override;
    bool GetExpandBoxFlag() const override;
    void DrawSmallExpandBox(TkvCanvas *canvas, const TRect &rect, TColor frameColor, TColor fillColor,
                            bool expanded) const override;
    int GetSmallExpandBoxSize() const override;
    TColor GetCheckFaceColor(TkvButtonState state) const override;
    void DrawHeader(TkvCanvas *canvas, const TRect &rect, const TRect &textRect, const TkvHeaderNeighbors &neighbors,
                    TkvBorders sides, TkvButtonState state, const TkvHeaderText &text,
                    const TkvBackground &background = {}) const override;
    void DrawHeaderFrame(TkvCanvas *canvas, const TRect &rect, const TkvHeaderNeighbors &neighbors,
                         TkvBorders sides) const override;
    void DrawHeaderSection(TkvCanvas *canvas, const TRect &rect, const TRect &textRect, TkvBorders sides,
                           TkvButtonState state, const TkvHeaderText &text) const override;
    void DrawSortArrow(TkvCanvas *canvas, const TRect &rect, bool ascending) const override;
    TkvBorders GetHeaderBorderSides(const TkvHeaderNeighbors &neighbors) const override;
    bool GetHeaderFlag2() const override;
    void DrawFooterCell(TkvCanvas *canvas, const TRect &rect, const TkvTextPlacement &placement,
                        const std::wstring &text, TFont *font, TColor textColor, TColor backgroundColor,
                        const TkvBackground &background = {}) const override;
    TColor GetFooterLineColor() const override;
    void DrawScrollBarElement(TkvCanvas *canvas, bool horizontal, TkvButtonState state, TkvScrollBarPart part,
                              const TRect &rect) const override;
    void DrawHeaderWithArrows(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                              const TkvHeaderNeighbors &neighbors, const TkvHeaderText &text, int arrowKinds,
                              const TkvBackground &background = {}) const override;
    void DrawFramedBorder(TkvCanvas *canvas, const TRect &rect) const override;
    void DrawPlainButton(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const override;
    TColor GetHotFrameColor(TkvButtonState state) const override;
    TColor GetTabFrameColor() const override;
    TColor GetHighlightFrameColor() const override;

    virtual TColor GetOffice11Color1() const;
    virtual TColor GetOffice11Color2() const;
    virtual TColor GetOffice11Color3() const;
    virtual TColor GetOffice11Color4() const;

protected:
    constexpr TkvOffice11LookAndFeelPainter() = default;
    template <class P> friend TkvPainterClass PainterOf() noexcept;

private:
    void drawCell(TkvCanvas *canvas, const TRect &rect, const TkvBackground &background, TColor textColor,
                  TFont *font, const std::wstring *text, const TkvTextPlacement &placement, const TRect &textRect,
                  TkvButtonState state, bool footer) const;
};

// Draws through the system's visual styles; each operation whose theme is missing draws as the
// Standard painter does.
class TkvWinXPLookAndFeelPainter : public TkvStandardLookAndFeelPainter {
public:
    const wchar_t *ClassName() const noexcept override { return L"TkvWinXPLookAndFeelPainter"; }
    TkvPainterStyle GetPainterStyle() const override;
    TColor GetFrameLineColor() const override;
    TColor GetDefaultColor29() const override;
    void DrawArrow(TkvCanvas *canvas, const TRect &rect, TColor color, TkvArrowDirection direction) const override;
    void DrawArrowButton(TkvCanvas *canvas, const TRect &rect, bool withBorder, TkvArrowDirection direction,
                         TkvButtonState state) const override;
    void DrawButtonFace(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const override;
    int GetControlFrameWidth() const override;
    void DrawControlFrame(TkvCanvas *canvas, const TRect &rect) const override;
    TRect GetGroupedButtonContentBounds(const TRect &rect) const override;
    int GetButtonBorderWidth(TkvButtonState state) const override;
    TColor GetButtonFaceColor(TkvButtonState state) const override;
    TRect GetButtonFocusBounds(TkvCanvas *canvas, const TRect &rect) const override;
    TRect GetGroupedButtonBorderWidths(int index, int count) const override;
    int GetButtonTextIndent() const override;
    int GetButtonPressedShift() const override;
    TColor GetButtonForeColor(TkvButtonState state, TColor color) const override;
    void DrawPushButton(TkvCanvas *canvas, const TRect &rect, const std::wstring &caption, TkvButtonState state,
                        bool drawBorder = true, TColor faceColor = clDefault,
                        TColor textColor = clDefault) const override;
    void DrawExpandBox(TkvCanvas *canvas, const TRect &rect, TColor color, bool expanded) const override;
    bool GetExpandBoxFlag() const override;
    void DrawGroupToggleButton(TkvCanvas *canvas, const TRect &rect, TkvButtonState state,
                               bool expanded) const override;
    void DrawSmallExpandBox(TkvCanvas *canvas, const TRect &rect, TColor frameColor, TColor fillColor,
                            bool expanded) const override;
    int GetExpandBoxSize() const override;
    int GetGroupToggleButtonSize() const override;
    bool TracksButtonHover() const override;
    bool IsPointInGroupToggleButton(const TRect &rect, const TPoint &point) const override;
    int GetSmallExpandBoxSize() const override;
    int GetCheckFrameWidth() const override;
    void DrawCheckMark(TkvCanvas *canvas, const TRect &rect, TColor markColor, bool checked,
                       TkvButtonState state) const override;
    void DrawCheckFrame(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const override;
    void DrawRadioButton(TkvCanvas *canvas, int x, int y, TkvButtonState state, bool checked, bool highlight,
                         bool forcedHighlight, TColor backgroundColor = clDefault) const override;
    TSize GetRadioButtonSize() const override;
    // The rightmost item of a header is the one neighbours.Right is false for.
    void DrawHeader(TkvCanvas *canvas, const TRect &rect, const TRect &textRect, const TkvHeaderNeighbors &neighbors,
                    TkvBorders sides, TkvButtonState state, const TkvHeaderText &text,
                    const TkvBackground &background = {}) const override;
    void InvertHeaderArea(TkvCanvas *canvas, const TRect &rect) const override;
    void DrawHeaderSection(TkvCanvas *canvas, const TRect &rect, const TRect &textRect, TkvBorders sides,
                           TkvButtonState state, const TkvHeaderText &text) const override;
    void DrawSortArrow(TkvCanvas *canvas, const TRect &rect, bool ascending) const override;
    int GetHeaderBorderWidth() const override;
    bool GetHeaderFlag() const override;
    int GetHeaderSectionBorderWidth(TkvButtonState state) const override;
    TRect GetHeaderSectionContentBounds(const TRect &rect, TkvButtonState state) const override;
    bool GetHeaderFlag2() const override;
    TSize GetSortArrowSize() const override;
    void DrawFooterCell(TkvCanvas *canvas, const TRect &rect, const TkvTextPlacement &placement,
                        const std::wstring &text, TFont *font, TColor textColor, TColor backgroundColor,
                        const TkvBackground &background = {}) const override;
    int GetFooterBorderWidth() const override;
    int GetFooterCellBorderWidth() const override;
    int GetFooterCellIndent() const override;
    bool GetFooterFlag() const override;
    void DrawFooterFrame(TkvCanvas *canvas, const TRect &rect) const override;
    void DrawCloseCross(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const override;
    void DrawDropDownArrowButton(TkvCanvas *canvas, const TRect &rect, bool active,
                                 TkvButtonState state) const override;
    TSize GetActivateCheckSize() const override;
    TSize GetCloseCrossSize() const override;
    // A vertical tab's caption is not drawn: the theme text does not turn.
    void DrawTab(TkvCanvas *canvas, const TRect &rect, TkvBorders sides, bool selected, bool hot, bool focused,
                 bool vertical, TkvTabPosition position, const std::wstring &caption = L"",
                 TFont *font = nullptr) const override;
    void DrawTabFrame(TkvCanvas *canvas, const TRect &rect, bool selected, TkvBorders sides,
                      TkvTabPosition position) const override;
    void DrawTabAreaFrame(TkvCanvas *canvas, const TRect &rect, bool vertical, TkvBorders sides) const override;
    int GetTabMetric1() const override;
    int GetTabMetric2() const override;
    int GetTabFrameWidth(bool vertical) const override;
    void DrawIndicatorCell(TkvCanvas *canvas, const TRect &rect, TColor backgroundColor,
                           const TkvBackground &background, int indicatorKind) const override;
    void DrawScrollBarElement(TkvCanvas *canvas, bool horizontal, TkvButtonState state, TkvScrollBarPart part,
                              const TRect &rect) const override;
    void DrawHeaderWithArrows(TkvCanvas *canvas, const TRect &rect, const TRect &textRect,
                              const TkvHeaderNeighbors &neighbors, const TkvHeaderText &text, int arrowKinds,
                              const TkvBackground &background = {}) const override;
    void DrawPlainButton(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) const override;
    void DrawSplitter(TkvCanvas *canvas, const TRect &rect, bool horizontal, TBrush *brush) const override;

    virtual void DrawThemedHeaderText(TkvCanvas *canvas, HTHEME theme, TColor textColor, TFont *font,
                                      const std::wstring *text, const TkvTextPlacement &placement, bool showPrefix,
                                      const TRect &textRect, int part, int state) const;

protected:
    constexpr TkvWinXPLookAndFeelPainter() = default;
    template <class P> friend TkvPainterClass PainterOf() noexcept;
};

template <class P> TkvPainterClass PainterOf() noexcept {
    static constinit const P painter;
    return &painter;
}

// The painters of the kinds, in the order of TkvLookAndFeelKind; a kind outside the range gives
// the Standard painter.
TkvPainterClass PainterClassOfKind(TkvLookAndFeelKind kind) noexcept;

// --- shared resources

// The indicator images (arrow, edit, insert, several dots, several arrow); null while the unit
// is stopped.
TCustomImageList *IndicatorImages() noexcept;
// The 8 x 8 checker bitmaps of the page areas; null while the unit is stopped.
TBitmap *ScrollBarPatternBitmap(bool pressed) noexcept;
TBitmap *AutoHideBitmap(bool on) noexcept;

void LoadIndicatorBitmaps();
void FreeIndicatorList();
void LoadPainterBitmaps();
void CreateScrollBarPatternBitmaps();
// Repaints the checker bitmaps in the current system colours, making them first when needed.
void PaintScrollBarPatternBitmaps();
void InitPainterUnit();
void DonePainterUnit();

// The radio-button glyphs of every kind, state and flag, rendered once in the system's radio
// size.
class TkvRadioButtonImageList : public TObject {
    CL_CLASS(TkvRadioButtonImageList, TObject)

public:
    void Create();

    TSize GetGlyphSize() const;
    int Count() const;
    // The key of a state kvbsNormal..kvbsDisabled; -1 for any other state or kind.
    static int CalcGlyphKey(TkvButtonState state, TkvLookAndFeelKind kind, bool checked, bool highlight,
                            bool forcedHighlight) noexcept;
    // -1 when the key has no glyph.
    int FindGlyphIndex(int key) const noexcept;
    // kvbsDefault draws as kvbsNormal. With a background other than clDefault the glyph is
    // drawn over that colour instead of over what the canvas holds.
    void DrawRadioGlyph(TkvCanvas *canvas, int x, int y, TkvButtonState state, TkvLookAndFeelKind kind,
                        bool checked, bool highlight, bool forcedHighlight, TColor backgroundColor = clDefault);
    // Renders every glyph again in the current colours.
    void RebuildGlyphs();
    TCustomImageList *Images() const noexcept { return images_; }

protected:
    void Destroy() override;

private:
    void render();

    TCustomImageList *images_ = nullptr;
    TBitmap *mask_ = nullptr;
    std::vector<int> indexMap_;
};

// The glyph list, made, measured and rendered on first use; null while the unit is stopped.
TkvRadioButtonImageList *GetRadioGlyphList();

// What the glyphs were measured from (exposed for the tests and the WinXP painter).
struct TkvRadioGlyphGeometry {
    TSize GlyphSize;
    TPoint Origin;
    TRect CheckDot;
};
const TkvRadioGlyphGeometry &RadioGlyphGeometry();
// The pixel codes 0..6 of the glyph pattern, row by row.
const std::vector<std::uint8_t> &RadioGlyphPattern();

#endif
