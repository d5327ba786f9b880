// kvEditTextUtils: text rows made, placed and drawn.
#include "kvEditTextUtils.h"

#include <algorithm>
#include <cstdint>

#include "kvGraphics.h"

namespace {

constexpr wchar_t ellipsisText[] = L"...";
constexpr int ellipsisLength = 3;

bool isJustified(const TkvTextParams &p) { return p.HorzAlignment == 3 || p.HorzAlignment == 4; }

bool isFarEastLocale() {
    switch (PRIMARYLANGID(GetUserDefaultLangID())) {
    case LANG_CHINESE:
    case LANG_JAPANESE:
    case LANG_KOREAN:
        return true;
    default:
        return false;
    }
}

// A surrogate pair is one character.
int charLengthAt(const wchar_t *text, int position, int length) {
    return IS_HIGH_SURROGATE(text[position]) && position + 1 < length && IS_LOW_SURROGATE(text[position + 1]) ? 2 : 1;
}

int extentWidth(HDC dc, const wchar_t *text, int length, const TkvTextParams &params) {
    return GetTextExtent(dc, text, length, params).cx;
}

// Expanded tabs stop every eight average character widths from the row's start.
int tabStopWidth(HDC dc) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    return 8 * metrics.tmAveCharWidth;
}

std::int64_t nextTabStop(std::int64_t x, int stop) { return stop > 0 ? (x / stop + 1) * stop : x; }

int clampToInt(std::int64_t value) { return static_cast<int>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX)); }

// Breaks one row off the front of the text and moves the text past it and its line end.
void breakLine(HDC dc, const wchar_t *&text, int &length, TkvTextRow &row, bool isLastRow, int maxWidth,
               const TkvTextParams &p) {
    const bool justified = isJustified(p);
    const bool wrapping = !p.SingleLine && (p.WordBreak || justified);
    const bool charWrapping = wrapping && p.CharBreak;
    const bool ellipsisCut = isLastRow && p.EndEllipsis && !p.FullRowsOnly && !p.NoClip && !justified;
    const bool measuring = wrapping || ellipsisCut || p.SingleLine;

    int position = 0;
    int rowLength = 0;
    int breaks = 0;
    int lastBreakEnd = 0;
    int breaksAtLastBreak = 0;
    // Summed character by character (and tab stop by tab stop), so a row costs its length.
    std::int64_t width = 0;
    int tabStop = -1;
    // An over-long word without character wrapping: widths only grow, so the row ends at the next
    // break without measuring further.
    bool overflowed = false;
    while (position < length) {
        const wchar_t c = text[position];
        if ((c == L'\r' || c == L'\n') && !ellipsisCut && !p.SingleLine) {
            if (p.HorzAlignment == 3)
                breaks = 0;
            break;
        }
        const int start = position;
        position += charLengthAt(text, position, length);
        rowLength = position;
        if (c == L'\t' || c == p.BreakChar) {
            ++breaks;
            lastBreakEnd = position;
            breaksAtLastBreak = breaks;
        }
        if (!measuring)
            continue;
        bool exceeds;
        if (overflowed) {
            exceeds = true;
        } else {
            if (p.ExpandTabs && c == L'\t') {
                if (tabStop < 0)
                    tabStop = tabStopWidth(dc);
                width = nextTabStop(width, tabStop);
            } else {
                width += extentWidth(dc, text + start, position - start, p);
            }
            exceeds = width > maxWidth;
        }
        if (!exceeds)
            continue;
        if (ellipsisCut || p.SingleLine)
            break;
        if (lastBreakEnd > 0) {
            rowLength = lastBreakEnd;
            breaks = breaksAtLastBreak;
            break;
        }
        if (charWrapping) {
            if (start > 0)
                rowLength = start;
            break;
        }
        overflowed = true;
    }

    if (justified)
        while (rowLength > 0 && (text[rowLength - 1] == L'\t' || text[rowLength - 1] == p.BreakChar)) {
            --rowLength;
            if (breaks > 0)
                --breaks;
        }

    row.Text = text;
    row.Length = rowLength;
    TSize extent = rowLength > 0 ? GetTextExtent(dc, text, rowLength, p) : TSize{0, p.CharHeight};
    row.Width = extent.cx;
    row.Height = rowLength > 0 ? extent.cy : p.CharHeight;
    row.BreakCount = breaks;

    int consumed = rowLength;
    bool skippedCR = false;
    while (consumed < length && text[consumed] == p.BreakChar)
        ++consumed;
    if (consumed < length && text[consumed] == L'\t')
        ++consumed;
    if (consumed < length && text[consumed] == L'\r') {
        ++consumed;
        skippedCR = true;
    }
    if (consumed < length && text[consumed] == L'\n')
        ++consumed;
    // Every row takes at least one character, whatever the text.
    if (consumed == 0 && length > 0)
        consumed = charLengthAt(text, 0, length);
    text += consumed;
    length -= consumed;
    if (p.HorzAlignment == 3 && (skippedCR || length == 0))
        row.BreakCount = 0;
}

void drawRowText(HDC dc, const TkvTextRow &row, int length, const TkvTextParams &p) {
    if (p.ExpandTabs)
        TabbedTextOutW(dc, row.X, row.Y, row.Text, length, 0, nullptr, row.X);
    else
        TextOutW(dc, row.X, row.Y, row.Text, length);
}

// Keeps the context's clip region and puts it back.
class SavedClip {
public:
    explicit SavedClip(HDC dc) : dc_(dc), region_(CreateRectRgn(0, 0, 0, 0)) {
        hadRegion_ = region_ != nullptr && GetClipRgn(dc, region_) == 1;
    }
    ~SavedClip() {
        SelectClipRgn(dc_, hadRegion_ ? region_ : nullptr);
        if (region_ != nullptr)
            DeleteObject(region_);
    }
    SavedClip(const SavedClip &) = delete;
    SavedClip &operator=(const SavedClip &) = delete;

private:
    HDC dc_;
    HRGN region_;
    bool hadRegion_ = false;
};

} // namespace

TSize GetTextExtent(HDC dc, const wchar_t *text, int length, const TkvTextParams &params) {
    TSize size{0, 0};
    if (text == nullptr || length <= 0)
        return size;
    if (params.ExpandTabs) {
        // As GetTabbedTextExtent without tab stops measures, but in 32 bits: the runs between tabs,
        // each tab moving on to the next default stop.
        std::int64_t x = 0;
        int tabStop = -1;
        int runStart = 0;
        for (int i = 0; i <= length; ++i) {
            if (i < length && text[i] != L'\t')
                continue;
            if (i > runStart) {
                SIZE run{};
                GetTextExtentPoint32W(dc, text + runStart, i - runStart, &run);
                x += run.cx;
                size.cy = run.cy;
            }
            if (i == length)
                break;
            if (tabStop < 0)
                tabStop = tabStopWidth(dc);
            x = nextTabStop(x, tabStop);
            runStart = i + 1;
        }
        size.cx = clampToInt(x);
        if (size.cy == 0) {
            TEXTMETRICW metrics{};
            GetTextMetricsW(dc, &metrics);
            size.cy = metrics.tmHeight;
        }
    } else {
        GetTextExtentPoint32W(dc, text, length, &size);
    }
    return size;
}

TkvTextParams GetTextParams(HDC dc, TkvTextOutFlags flags) {
    TkvTextParams p;
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    p.IncludeExternalLeading = (flags & kvtoExternalLeading) != 0;
    p.CharHeight = metrics.tmHeight;
    p.ExternalLeading = p.IncludeExternalLeading ? metrics.tmExternalLeading : 0;
    p.LineHeight = p.CharHeight + p.ExternalLeading;
    p.BreakChar = metrics.tmBreakChar;
    p.MaxCharWidth = metrics.tmMaxCharWidth;
    p.HorzAlignment = flags & kvtoHorzMask;
    if (p.HorzAlignment > 4)
        p.HorzAlignment = kvtoLeft;
    p.VertAlignment = flags & kvtoVertMask;
    p.NoLeftOverflow = (flags & kvtoNoLeftOverflow) != 0;
    p.NoTopOverflow = (flags & kvtoNoTopOverflow) != 0;
    p.WordBreak = (flags & kvtoWordBreak) != 0;
    p.SingleLine = (flags & kvtoSingleLine) != 0;
    p.ExpandTabs = (flags & kvtoExpandTabs) != 0;
    p.EndEllipsis = (flags & kvtoEndEllipsis) != 0;
    p.FullRowsOnly = (flags & kvtoFullRowsOnly) != 0;
    p.NoClip = (flags & kvtoNoClip) != 0;
    p.CharBreak = (flags & kvtoCharBreak) != 0 || isFarEastLocale();
    p.OneRow = (flags & kvtoOneRow) != 0;
    p.Reserved10000 = (flags & kvtoReserved10000) != 0;
    p.Reserved200000 = (flags & kvtoReserved200000) != 0;
    if (p.EndEllipsis) {
        SIZE size{};
        GetTextExtentPoint32W(dc, ellipsisText, ellipsisLength, &size);
        p.EllipsisWidth = size.cx;
    }
    return p;
}

TkvTextParams GetTextParams(TCanvas *canvas, TkvTextOutFlags flags) {
    canvas->RequiredState(TCanvasState{csHandleValid, csFontValid});
    return GetTextParams(canvas->GetHandle(), flags);
}

TkvTextParams GetTextParams(TkvCanvas *canvas, TkvTextOutFlags flags) { return GetTextParams(canvas->Canvas(), flags); }

bool MakeTextRows(HDC dc, const wchar_t *text, int length, const TRect &rect, int maxLineCount, int &rowCount,
                  TkvTextRows &rows, const TkvTextParams &params) {
    rows.clear();
    rowCount = 0;
    if (text == nullptr)
        return true;
    length = std::max(0, length);
    if (params.SingleLine && params.OneRow) {
        TkvTextRow row;
        row.Text = text;
        row.Length = length;
        TSize extent = GetTextExtent(dc, text, length, params);
        row.Width = extent.cx;
        row.Height = length > 0 ? extent.cy : params.CharHeight;
        rows.push_back(row);
        rowCount = 1;
        return true;
    }
    const std::int64_t height = static_cast<std::int64_t>(rect.bottom) - rect.top;
    const int maxWidth = static_cast<int>(std::clamp<std::int64_t>(static_cast<std::int64_t>(rect.right) - rect.left,
                                                                   INT32_MIN, INT32_MAX));
    const wchar_t *rest = text;
    int remaining = length;
    std::int64_t runningHeight = 0;
    bool stop = false;
    bool countReached = false;
    while (remaining > 0 && !stop) {
        ++rowCount;
        rows.emplace_back();
        runningHeight += params.LineHeight;
        bool last;
        // The line count ends the layout for every alignment.
        bool reached = maxLineCount > 0 && rowCount >= maxLineCount;
        if (params.SingleLine)
            last = true;
        else if (reached)
            last = true;
        else if (params.VertAlignment != kvtoTop || params.OneRow)
            last = false;
        else if (!params.FullRowsOnly || params.NoClip)
            last = runningHeight > height;
        else
            last = runningHeight + params.LineHeight > height;
        countReached = reached && !params.SingleLine;
        TkvTextRow &row = rows.back();
        row.StartOffset = static_cast<int>(rest - text);
        breakLine(dc, rest, remaining, row, last, maxWidth, params);
        if (last)
            stop = true;
    }
    rows.shrink_to_fit();
    return !(countReached && remaining > 0);
}

bool MakeTextRows(TCanvas *canvas, const std::wstring &text, const TRect &rect, int maxLineCount, int &rowCount,
                  TkvTextRows &rows, const TkvTextParams &params) {
    canvas->RequiredState(TCanvasState{csHandleValid, csFontValid});
    return MakeTextRows(canvas->GetHandle(), text, rect, maxLineCount, rowCount, rows, params);
}

void PlaceTextRows(HDC, const TRect &rect, const TkvTextParams &params, TkvTextRows &rows, int rowCount) {
    rowCount = std::min<int>(rowCount, static_cast<int>(rows.size()));
    if (rowCount <= 0)
        return;
    const std::int64_t width = static_cast<std::int64_t>(rect.right) - rect.left;
    const std::int64_t height = static_cast<std::int64_t>(rect.bottom) - rect.top;
    std::int64_t step = params.LineHeight;
    std::int64_t remainder = 0;
    if (params.VertAlignment == kvtoSpreadV && rowCount > 1) {
        std::int64_t quotient = (height - params.CharHeight) / (rowCount - 1);
        if (params.CharHeight < quotient) {
            step = quotient;
            remainder = (height - params.CharHeight) % (rowCount - 1);
        }
    }
    std::int64_t y;
    if (params.VertAlignment == kvtoCenterV)
        y = rect.top + (height - rowCount * step) / 2;
    else if (params.VertAlignment == kvtoBottom)
        y = rect.bottom - rowCount * step + params.ExternalLeading;
    else
        y = rect.top;
    if (params.NoTopOverflow && y < rect.top)
        y = rect.top;
    auto clampInt = [](std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); };
    for (int i = 0; i < rowCount; ++i) {
        TkvTextRow &row = rows[i];
        std::int64_t x = rect.left;
        if (params.HorzAlignment == kvtoCenterH)
            x = rect.left + (width - row.Width) / 2;
        else if (params.HorzAlignment == kvtoRight)
            x = static_cast<std::int64_t>(rect.right) - row.Width;
        if (params.NoLeftOverflow && x < rect.left)
            x = rect.left;
        row.X = clampInt(x);
        row.Y = clampInt(y);
        y += step;
        if (remainder > 0) {
            ++y;
            --remainder;
        }
    }
}

void DrawTextRows(HDC dc, const TRect &rect, const TkvTextParams &params, TkvTextRows &rows, int rowCount,
                  bool textContinues, TColor selTextColor, TColor selBackColor, int selStart, int selLength) {
    rowCount = std::min<int>(rowCount, static_cast<int>(rows.size()));
    if (rowCount <= 0)
        return;
    const COLORREF selText = ColorToRGB(selTextColor);
    const int oldBkMode = SetBkMode(dc, TRANSPARENT);
    HBRUSH selBrush = selLength > 0 ? CreateSolidBrush(ColorToRGB(selBackColor)) : nullptr;
    const std::int64_t rectWidth = static_cast<std::int64_t>(rect.right) - rect.left;
    const std::int64_t selFirst = selStart;
    const std::int64_t selEnd = selFirst + selLength;
    const bool justified = isJustified(params);

    for (int i = 0; i < rowCount; ++i) {
        TkvTextRow &row = rows[i];
        const bool isLast = i == rowCount - 1;
        const int bandTop = row.Y;
        const int bandBottom = row.Y + params.LineHeight;
        const bool withEllipsis = params.EndEllipsis && isLast && (textContinues || row.Width > rectWidth);
        const bool clipping = !params.NoClip && (row.Width > rectWidth || bandTop < rect.top || bandBottom > rect.bottom);
        const int clipTop = std::max<int>(bandTop, rect.top);
        const int clipBottom = std::min<int>(bandBottom, rect.bottom);
        if (clipping && (clipTop >= clipBottom || rect.left >= rect.right))
            continue;
        if (row.Length <= 0 && !withEllipsis)
            continue;

        SavedClip saved(dc);
        if (clipping)
            IntersectClipRect(dc, rect.left, clipTop, rect.right, clipBottom);

        if (row.Length > 0) {
            if (withEllipsis) {
                int room = static_cast<int>(std::max<std::int64_t>(0, rectWidth - params.EllipsisWidth));
                int fit = 0;
                SIZE size{};
                GetTextExtentExPointW(dc, row.Text, row.Length, room, &fit, nullptr, &size);
                fit = std::clamp(fit, 1, row.Length);
                // Never half a surrogate pair.
                if (fit < row.Length && IS_LOW_SURROGATE(row.Text[fit]) && IS_HIGH_SURROGATE(row.Text[fit - 1]))
                    fit = fit > 1 ? fit - 1 : std::min(2, row.Length);
                row.Length = fit;
                row.Width = GetTextExtent(dc, row.Text, row.Length, params).cx;
                // The shortened text and its ellipsis keep the row's alignment.
                const int whole = row.Width + params.EllipsisWidth;
                if (params.HorzAlignment == kvtoCenterH)
                    row.X = static_cast<int>(rect.left + (rectWidth - whole) / 2);
                else if (params.HorzAlignment == kvtoRight)
                    row.X = rect.right - whole;
                if (params.NoLeftOverflow && row.X < rect.left)
                    row.X = rect.left;
            } else if (justified) {
                std::int64_t spare = rectWidth - row.Width;
                if (spare > 0 && row.BreakCount > 0)
                    SetTextJustification(dc, static_cast<int>(spare), row.BreakCount);
            }
            drawRowText(dc, row, row.Length, params);

            const std::int64_t rowFirst = row.StartOffset;
            const std::int64_t rowEnd = rowFirst + row.Length;
            const std::int64_t first = std::max(selFirst, rowFirst);
            const std::int64_t end = std::min(selEnd, rowEnd);
            if (selBrush != nullptr && first < end) {
                int before = static_cast<int>(first - rowFirst);
                int count = static_cast<int>(end - first);
                int left = row.X + GetTextExtent(dc, row.Text, before, params).cx;
                int right = left + GetTextExtent(dc, row.Text + before, count, params).cx;
                RECT selection{left, bandTop, right, bandBottom};
                FillRect(dc, &selection, selBrush);
                SavedClip aroundSelection(dc);
                IntersectClipRect(dc, selection.left, selection.top, selection.right, selection.bottom);
                COLORREF oldText = SetTextColor(dc, selText);
                drawRowText(dc, row, row.Length, params);
                SetTextColor(dc, oldText);
            }
            if (justified && !withEllipsis)
                SetTextJustification(dc, 0, 0);
        }
        if (withEllipsis) {
            const int x = row.X + (row.Length > 0 ? row.Width : 0);
            if (x < rect.right) {
                RECT bounds = rect;
                ExtTextOutW(dc, x, row.Y, params.NoClip ? 0 : ETO_CLIPPED, &bounds, ellipsisText, ellipsisLength,
                            nullptr);
            }
        }
    }
    if (selBrush != nullptr)
        DeleteObject(selBrush);
    SetBkMode(dc, oldBkMode);
}

int GetMaxRowWidth(const TkvTextRows &rows, int count) {
    int result = 0;
    count = std::min<int>(count, static_cast<int>(rows.size()));
    for (int i = 0; i < count; ++i)
        result = std::max(result, rows[i].Width);
    return result;
}

TRect DeflateTextRect(const TRect &rect, int left, int right) {
    TRect result = rect;
    result.left += left;
    result.right -= right;
    return result;
}
