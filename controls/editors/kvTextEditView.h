// kvTextEditView: the text editor's picture when its inner edit is not shown (an unfocused
// right- or centre-aligned editor, a disabled one, an editor drawn without a control): the text
// rectangle and flags, the laid-out rows, the selection colours, the content size for auto-size,
// and whether a hint must show text that is cut off.
#ifndef KV_TEXT_EDIT_VIEW_H
#define KV_TEXT_EDIT_VIEW_H

#include <windows.h>

#include <classlib/graphics.h>
#include <classlib/stdctrls.h>
#include <classlib/variant.h>

#include <functional>
#include <string>

#include "kvEditProperties.h"
#include "kvEditTextUtils.h"
#include "kvEditViewData.h"
#include "kvEditViewInfo.h"
#include "kvTextEditProperties.h"

// A selection colour that was not given.
inline constexpr TColor kvTextEditNoColor = static_cast<TColor>(0x20000000);
// Left, top, right and bottom space between the client rectangle and the text.
inline constexpr TRect kvTextEditDefaultMargins{1, 1, 1, 1};

// The rows of a text laid out once per calculation.
struct TkvTextOutData {
    bool Initialized = false;
    TkvTextParams Params{};
    TkvTextRows Rows;
    int RowCount = 0;
    // Text follows the last row laid out.
    bool TextContinues = false;
};

class TkvCustomTextEditViewInfo;

// Answering true means the handler painted the text area itself.
using TkvTextEditCustomDrawEvent = std::function<bool(TkvCustomTextEditViewInfo *sender, TkvCanvas *canvas)>;

class TkvCustomTextEditViewInfo : public TkvCustomEditViewInfo {
    CL_CLASS(TkvCustomTextEditViewInfo, TkvCustomEditViewInfo)

public:
    bool IsSelected = false;
    TkvTextEditKind TextEditKind = tekEdit;
    bool InnerEditShown = false;
    bool Focused = false;
    bool InPlace = false;
    std::wstring Text;
    TRect TextRect{};
    TkvTextOutFlags DrawTextFlags = 0;
    int MaxLineCount = 0;
    int SelStart = 0;
    int SelLength = 0;
    TColor SelTextColor = kvTextEditNoColor;
    TColor SelBackgroundColor = kvTextEditNoColor;
    // The style's font and text colour (the font is the style's, not owned).
    TFont *TextFont = nullptr;
    TColor TextColor = clWindowText;
    TkvTextOutData TextOutData;
    TkvTextEditCustomDrawEvent OnCustomDraw;

    void Assign(TkvContainerViewInfo *source) override;
    void Draw(TkvCanvas *canvas) override;
    void MoveBy(int dx, int dy) override;

    // --- overridable
    virtual void DrawText(TkvCanvas *canvas);
    // Lays the text out into TextOutData unless that was done since the last calculation.
    virtual void PrepareTextRows(TkvCanvas *canvas);
    // Whether the text at the point (control coordinates) is cut off; then the hint shows the
    // whole text over hintRect (moved by origin).
    virtual bool NeedShowHint(TkvCanvas *canvas, const TPoint &point, const TPoint &origin, std::wstring &text,
                              TRect &hintRect);
};

class TkvCustomTextEditViewData : public TkvCustomEditViewData {
    CL_CLASS(TkvCustomTextEditViewData, TkvCustomEditViewData)

public:
    // The properties format values themselves (the value's own text is shown).
    bool FormatsValueItself = false;
    TAlignment HorzAlignment = taLeftJustify;
    TkvEditVertAlignment VertAlignment = taTopJustify;
    TRect TextMargins = kvTextEditDefaultMargins;
    // Rows at most (0: one row unless WordWrap).
    int MaxLineCount = 0;
    bool WordWrap = false;
    int SelStart = 0;
    int SelLength = 0;
    TColor SelTextColor = kvTextEditNoColor;
    TColor SelBackgroundColor = kvTextEditNoColor;
    // Set by the editor for its own picture.
    bool InnerEditShown = false;
    std::wstring Text;

    void Calculate(TkvCanvas *canvas, const TRect &bounds, const TkvEditMouseState &mouse,
                   TkvCustomEditViewInfo *viewInfo, TkvCustomEditViewInfo *old) override;

    // --- overridable
    // The text a value shows: its own text or the unfocused display value, then password echo or
    // case conversion.
    virtual std::wstring EditValueToDisplayText(const Variant &editValue);
    virtual TkvTextOutFlags GetDrawTextFlags();
    virtual TRect GetTextMargins() { return TextMargins; }
    // Width and height the text needs (margins included) for auto-size, in the canvas's font.
    virtual TSize GetTextContentSize(TkvCanvas *canvas, const std::wstring &text, int availableWidth);
    // The selection colours to paint with; the style's colour decides the fallback.
    void GetSelectionColors(TColor styleColor, TColor &text, TColor &background) const;

protected:
    void InitializeSecond() override;
};

// The client rectangle without the buttons on either side: where the text stands.
TRect TextEditClientArea(TkvCustomEditViewInfo *viewInfo);
// The height of "Zg" in the font.
int TextEditLineHeight(TFont *font);
// The inverse of a colour as RGB (system colours are resolved first).
TColor InverseColor(TColor color);

#endif
