// kvEditTextUtils: a text laid out into rows inside a rectangle, and the rows drawn.
//
// Alignment in both directions, word and character wrapping, justification, tab expansion, an end
// ellipsis, clipping and a highlighted selection, measured with the device context's current
// font. The editors paint a text that is not being edited with it and ask it whether the text is
// cut off. Rows point into the caller's text, which must outlive them.
#ifndef KV_EDIT_TEXT_UTILS_H
#define KV_EDIT_TEXT_UTILS_H

#include <windows.h>

#include <classlib/geometry.h>
#include <classlib/graphics.h>

#include <cstdint>
#include <string>
#include <vector>

class TkvCanvas;

// Text-output flags.
using TkvTextOutFlags = std::uint32_t;
inline constexpr TkvTextOutFlags kvtoLeft = 0x0;
inline constexpr TkvTextOutFlags kvtoCenterH = 0x1;
inline constexpr TkvTextOutFlags kvtoRight = 0x2;
inline constexpr TkvTextOutFlags kvtoJustifyParagraphs = 0x3; // all rows but a paragraph's last
inline constexpr TkvTextOutFlags kvtoJustifyAll = 0x4;
inline constexpr TkvTextOutFlags kvtoHorzMask = 0x7;
inline constexpr TkvTextOutFlags kvtoTop = 0x00;
inline constexpr TkvTextOutFlags kvtoCenterV = 0x10;
inline constexpr TkvTextOutFlags kvtoBottom = 0x20;
inline constexpr TkvTextOutFlags kvtoSpreadV = 0x30;
inline constexpr TkvTextOutFlags kvtoVertMask = 0x30;
inline constexpr TkvTextOutFlags kvtoNoLeftOverflow = 0x40;
inline constexpr TkvTextOutFlags kvtoNoTopOverflow = 0x80;
inline constexpr TkvTextOutFlags kvtoWordBreak = 0x100;
inline constexpr TkvTextOutFlags kvtoSingleLine = 0x200;
inline constexpr TkvTextOutFlags kvtoExpandTabs = 0x400;
inline constexpr TkvTextOutFlags kvtoEndEllipsis = 0x800;
inline constexpr TkvTextOutFlags kvtoExternalLeading = 0x2000;
inline constexpr TkvTextOutFlags kvtoFullRowsOnly = 0x4000;
inline constexpr TkvTextOutFlags kvtoNoClip = 0x8000;
inline constexpr TkvTextOutFlags kvtoReserved10000 = 0x10000;
inline constexpr TkvTextOutFlags kvtoCharBreak = 0x20000;
inline constexpr TkvTextOutFlags kvtoOneRow = 0x100000; // with single line: no breaking at all
inline constexpr TkvTextOutFlags kvtoReserved200000 = 0x200000;

struct TkvTextParams {
    int CharHeight = 0;
    int ExternalLeading = 0; // only with kvtoExternalLeading
    int LineHeight = 0;
    int EllipsisWidth = 0; // only with kvtoEndEllipsis
    int MaxCharWidth = 0;
    wchar_t BreakChar = L' ';
    TkvTextOutFlags HorzAlignment = kvtoLeft; // 0..4
    TkvTextOutFlags VertAlignment = kvtoTop;  // kvtoTop, kvtoCenterV, kvtoBottom, kvtoSpreadV
    bool NoLeftOverflow = false;
    bool NoTopOverflow = false;
    bool WordBreak = false;
    bool SingleLine = false;
    bool ExpandTabs = false;
    bool EndEllipsis = false;
    bool IncludeExternalLeading = false;
    bool FullRowsOnly = false;
    bool NoClip = false;
    bool CharBreak = false; // also on for far-east locales
    bool OneRow = false;
    bool Reserved10000 = false;
    bool Reserved200000 = false;
};

struct TkvTextRow {
    const wchar_t *Text = nullptr;
    int Length = 0; // without the line end
    int Width = 0;
    int Height = 0;
    int BreakCount = 0;
    int X = 0;
    int Y = 0;
    int StartOffset = 0; // of the first character in the whole text
};
using TkvTextRows = std::vector<TkvTextRow>;

TkvTextParams GetTextParams(HDC dc, TkvTextOutFlags flags);
// The canvas first gets its handle and font.
TkvTextParams GetTextParams(TCanvas *canvas, TkvTextOutFlags flags);
TkvTextParams GetTextParams(TkvCanvas *canvas, TkvTextOutFlags flags);

// False only when maxLineCount (above 0) rows were reached while text remained; a null text gives
// no rows and true.
bool MakeTextRows(HDC dc, const wchar_t *text, int length, const TRect &rect, int maxLineCount, int &rowCount,
                  TkvTextRows &rows, const TkvTextParams &params);
inline bool MakeTextRows(HDC dc, const std::wstring &text, const TRect &rect, int maxLineCount, int &rowCount,
                         TkvTextRows &rows, const TkvTextParams &params) {
    return MakeTextRows(dc, text.c_str(), static_cast<int>(text.size()), rect, maxLineCount, rowCount, rows, params);
}
bool MakeTextRows(TCanvas *canvas, const std::wstring &text, const TRect &rect, int maxLineCount, int &rowCount,
                  TkvTextRows &rows, const TkvTextParams &params);

// Sets every row's X and Y.
void PlaceTextRows(HDC dc, const TRect &rect, const TkvTextParams &params, TkvTextRows &rows, int rowCount);

// Draws in the context's font and text colour; the selection [selStart, selStart + selLength)
// of the whole text in its own colours. textContinues: text follows the last row.
void DrawTextRows(HDC dc, const TRect &rect, const TkvTextParams &params, TkvTextRows &rows, int rowCount,
                  bool textContinues, TColor selTextColor, TColor selBackColor, int selStart, int selLength);

int GetMaxRowWidth(const TkvTextRows &rows, int count);
TRect DeflateTextRect(const TRect &rect, int left, int right);
// GetTextExtentPoint32; with tabs expanded, what GetTabbedTextExtent without tab stops gives, in 32 bits.
TSize GetTextExtent(HDC dc, const wchar_t *text, int length, const TkvTextParams &params);

#endif
