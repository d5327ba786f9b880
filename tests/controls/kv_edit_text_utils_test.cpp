// Text layout as tables of text, flags and rectangle against rows, measures and drawn pixels,
// beside the system's DrawText where both apply, and fed generated text and rectangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "kvEditTextUtils.h"
#include "memory_bitmap.h"

namespace {

constexpr std::uint32_t white = 0xFFFFFF;

// A white bitmap with Tahoma selected and black text.
class TextSurface {
public:
    explicit TextSurface(int width = 300, int height = 200) : bitmap_(width, height, white), width_(width), height_(height) {
        font_ = CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, L"Tahoma");
        old_ = SelectObject(dc(), font_);
        SetTextColor(dc(), RGB(0, 0, 0));
    }
    ~TextSurface() {
        SelectObject(dc(), old_);
        DeleteObject(font_);
    }
    HDC dc() const { return bitmap_.dc(); }
    int Width(const std::wstring &text) const {
        SIZE size{};
        GetTextExtentPoint32W(dc(), text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }
    void Clear() { bitmap_.fill(white); }
    // The bounds of the pixels that are not white (empty when none).
    RECT Inked() const {
        RECT b{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if ((bitmap_.at(x, y) & 0xFFFFFF) != white) {
                    b.left = std::min<LONG>(b.left, x);
                    b.top = std::min<LONG>(b.top, y);
                    b.right = std::max<LONG>(b.right, x + 1);
                    b.bottom = std::max<LONG>(b.bottom, y + 1);
                }
        return b.right < b.left ? RECT{} : b;
    }
    COLORREF At(int x, int y) const { return bitmap_.at(x, y) & 0xFFFFFF; }
    bool SameAs(const TextSurface &other) const {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (At(x, y) != other.At(x, y))
                    return false;
        return true;
    }

private:
    MemoryBitmap bitmap_;
    int width_;
    int height_;
    HFONT font_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

struct Layout {
    bool complete = false;
    std::vector<std::wstring> rows;
    TkvTextRows raw;
    int count = 0;
    TkvTextParams params;
};

Layout layOut(const TextSurface &s, const std::wstring &text, TkvTextOutFlags flags, const TRect &rect,
              int maxLines = 0) {
    Layout l;
    l.params = GetTextParams(s.dc(), flags);
    l.complete = MakeTextRows(s.dc(), text, rect, maxLines, l.count, l.raw, l.params);
    for (int i = 0; i < l.count; ++i)
        l.rows.emplace_back(l.raw[i].Text, l.raw[i].Length);
    return l;
}

using Rows = std::vector<std::wstring>;

TEST(KvTextLayout, RowsOfTextFlagsAndWidth) {
    TextSurface s;
    struct Case {
        const wchar_t *text;
        TkvTextOutFlags flags;
        const wchar_t *widthOf; // the rectangle is as wide as this text
        Rows rows;
    } cases[] = {
        {L"xxx xxx xxx", kvtoWordBreak, L"xxx xxx", {L"xxx xxx ", L"xxx"}},
        {L"xxx xxx xxx", kvtoWordBreak, L"xxx xxx xxx", {L"xxx xxx xxx"}},
        {L"xxxxxxxx xx", kvtoWordBreak, L"xxx", {L"xxxxxxxx ", L"xx"}}, // a long word stays whole
        {L"xxxxxxxx", kvtoWordBreak | kvtoCharBreak, L"xxx", {L"xxx", L"xxx", L"xx"}},
        {L"xxxxxxxx", kvtoCharBreak, L"xxx", {L"xxxxxxxx"}}, // no wrapping asked for
        {L"ab\r\ncd\nef", 0, L"x", {L"ab", L"cd", L"ef"}},
        {L"ab\r\n\r\ncd\r\n", kvtoWordBreak, L"xxxxxxx", {L"ab", L"", L"cd"}},
        {L"ab\r\ncd", kvtoSingleLine, L"xxxxxxxxxxxxxxxxxx", {L"ab\r\ncd"}},
        {L"xxx xxx", kvtoSingleLine, L"xxx", {L"xxx "}}, // the character that overflows ends the row
        {L"xxx xxx", kvtoSingleLine | kvtoOneRow, L"x", {L"xxx xxx"}},
        {L"&File &Open", kvtoWordBreak, L"&File &", {L"&File ", L"&Open"}}, // "&" is a character
        {L"xx  xx", kvtoWordBreak, L"xx", {L"xx ", L"xx"}}, // blanks after a break are skipped
        {L"xx xx xx", kvtoJustifyAll, L"xx xx", {L"xx xx", L"xx"}},
        {L"", kvtoWordBreak, L"xx", {}},
    };
    for (const Case &c : cases) {
        TRect rect{0, 0, s.Width(c.widthOf), 1000};
        Layout l = layOut(s, c.text, c.flags, rect);
        EXPECT_EQ(l.rows, c.rows) << "text \"" << testing::PrintToString(std::wstring(c.text)) << "\" flags " << c.flags;
        EXPECT_TRUE(l.complete);
    }
}

TEST(KvTextLayout, RowMeasuresOffsetsAndBreakCounts) {
    TextSurface s;
    Layout l = layOut(s, L"xx xx xx\r\nxx xx", kvtoJustifyParagraphs, TRect{0, 0, s.Width(L"xx xx"), 1000});
    ASSERT_EQ(l.rows, (Rows{L"xx xx", L"xx", L"xx xx"}));
    EXPECT_EQ(l.raw[0].BreakCount, 1);
    EXPECT_EQ(l.raw[1].BreakCount, 0);
    EXPECT_EQ(l.raw[2].BreakCount, 0); // a paragraph's last row is not justified
    EXPECT_EQ(l.raw[0].StartOffset, 0);
    EXPECT_EQ(l.raw[1].StartOffset, 6);
    EXPECT_EQ(l.raw[2].StartOffset, 10);
    EXPECT_EQ(l.raw[0].Width, s.Width(L"xx xx"));
    EXPECT_EQ(l.raw[0].Height, l.params.CharHeight);
    Layout all = layOut(s, L"xx xx xx\r\nxx xx", kvtoJustifyAll, TRect{0, 0, s.Width(L"xx xx"), 1000});
    EXPECT_EQ(all.raw[2].BreakCount, 1);
    EXPECT_EQ(GetMaxRowWidth(all.raw, all.count), s.Width(L"xx xx"));
    EXPECT_EQ(GetMaxRowWidth(all.raw, 0), 0);

    Layout tabs = layOut(s, L"a\tb", kvtoExpandTabs | kvtoWordBreak, TRect{0, 0, 1000, 1000});
    ASSERT_EQ(tabs.count, 1);
    DWORD tabbed = GetTabbedTextExtentW(s.dc(), L"a\tb", 3, 0, nullptr);
    EXPECT_EQ(tabs.raw[0].Width, static_cast<int>(LOWORD(tabbed)));
    EXPECT_GT(tabs.raw[0].Width, layOut(s, L"a\tb", kvtoWordBreak, TRect{0, 0, 1000, 1000}).raw[0].Width);
    // Expanded tabs measure as the system's tabbed extent ("xxxxxxxx" ends on a stop).
    for (const wchar_t *text : {L"\t", L"a\t", L"\t\tx", L"xxxxxxxx\ty", L"Hello\tworld\t!", L"abc"}) {
        const int length = static_cast<int>(std::wcslen(text));
        TSize mine = GetTextExtent(s.dc(), text, length, tabs.params);
        DWORD system = GetTabbedTextExtentW(s.dc(), text, length, 0, nullptr);
        EXPECT_EQ(mine.cx, static_cast<int>(LOWORD(system))) << testing::PrintToString(std::wstring(text));
        EXPECT_EQ(mine.cy, static_cast<int>(HIWORD(system))) << testing::PrintToString(std::wstring(text));
    }

    TkvTextParams p = GetTextParams(s.dc(), kvtoEndEllipsis | kvtoExternalLeading);
    TEXTMETRICW metrics{};
    GetTextMetricsW(s.dc(), &metrics);
    EXPECT_EQ(p.EllipsisWidth, s.Width(L"..."));
    EXPECT_EQ(p.LineHeight, metrics.tmHeight + metrics.tmExternalLeading);
    EXPECT_EQ(GetTextParams(s.dc(), 0).EllipsisWidth, 0);
    EXPECT_EQ(GetTextParams(s.dc(), 0).LineHeight, metrics.tmHeight);
    TRect deflated = DeflateTextRect(TRect{10, 5, 50, 20}, 2, 3);
    EXPECT_EQ(deflated.left, 12);
    EXPECT_EQ(deflated.right, 47);
    EXPECT_EQ(deflated.top, 5);
}

TEST(KvTextLayout, TheLineCountAndTheHeightEndTheLayout) {
    TextSurface s;
    const std::wstring three = L"one\r\ntwo\r\nthree";
    const TRect tall{0, 0, 200, 1000};
    for (TkvTextOutFlags vertical : {kvtoTop, kvtoCenterV, kvtoBottom}) {
        Layout l = layOut(s, three, vertical, tall, 2);
        EXPECT_FALSE(l.complete) << vertical;
        EXPECT_EQ(l.rows, (Rows{L"one", L"two"})) << vertical;
        EXPECT_TRUE(layOut(s, three, vertical, tall, 3).complete) << vertical;
    }
    int line = GetTextParams(s.dc(), 0).LineHeight;
    const std::wstring five = L"1\r\n2\r\n3\r\n4\r\n5";
    // A partly visible row is laid out, unless only whole rows are asked for.
    Layout partial = layOut(s, five, kvtoTop, TRect{0, 0, 200, 2 * line});
    EXPECT_EQ(partial.count, 3);
    EXPECT_TRUE(partial.complete);
    EXPECT_EQ(layOut(s, five, kvtoFullRowsOnly, TRect{0, 0, 200, 2 * line}).count, 2);
    EXPECT_EQ(layOut(s, five, kvtoFullRowsOnly | kvtoNoClip, TRect{0, 0, 200, 2 * line}).count, 3);
    EXPECT_EQ(layOut(s, five, kvtoCenterV, TRect{0, 0, 200, 2 * line}).count, 5);
    EXPECT_EQ(layOut(s, five, kvtoSingleLine, TRect{0, 0, 200, 2 * line}, 1).count, 1);
    EXPECT_TRUE(layOut(s, five, kvtoSingleLine, TRect{0, 0, 200, 2 * line}, 1).complete);

    TkvTextParams p = GetTextParams(s.dc(), 0);
    int count = -1;
    TkvTextRows rows(3);
    EXPECT_TRUE(MakeTextRows(s.dc(), nullptr, 5, tall, 0, count, rows, p));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(rows.empty());
}

TEST(KvTextLayout, PlacingRows) {
    TextSurface s;
    const TRect rect{10, 20, 110, 220};
    auto place = [&](TkvTextOutFlags flags) {
        Layout l = layOut(s, L"x\r\nxxx", flags, rect);
        PlaceTextRows(s.dc(), rect, l.params, l.raw, l.count);
        return l;
    };
    int line = GetTextParams(s.dc(), 0).LineHeight;
    Layout top = place(kvtoTop);
    EXPECT_EQ(top.raw[0].X, 10);
    EXPECT_EQ(top.raw[0].Y, 20);
    EXPECT_EQ(top.raw[1].Y, 20 + line);
    Layout right = place(kvtoRight | kvtoCenterV);
    EXPECT_EQ(right.raw[0].X, 110 - s.Width(L"x"));
    EXPECT_EQ(right.raw[1].X, 110 - s.Width(L"xxx"));
    EXPECT_EQ(right.raw[0].Y, 20 + (200 - 2 * line) / 2);
    Layout centre = place(kvtoCenterH);
    EXPECT_EQ(centre.raw[1].X, 10 + (100 - s.Width(L"xxx")) / 2);
    Layout bottom = place(kvtoBottom | kvtoExternalLeading);
    EXPECT_EQ(bottom.raw[0].Y, 220 - 2 * bottom.params.LineHeight + bottom.params.ExternalLeading);
    // Spread rows: the first at the top, the last a character height above the bottom.
    Layout spread = place(kvtoSpreadV);
    EXPECT_EQ(spread.raw[0].Y, 20);
    EXPECT_EQ(spread.raw[1].Y, 220 - spread.params.CharHeight);

    // Too wide and too high: kept inside on the left and top only when asked.
    const TRect small{10, 20, 12, 22};
    Layout wide = layOut(s, L"xxxx", kvtoRight | kvtoBottom | kvtoNoLeftOverflow | kvtoNoTopOverflow, small);
    PlaceTextRows(s.dc(), small, wide.params, wide.raw, wide.count);
    EXPECT_EQ(wide.raw[0].X, 10);
    EXPECT_EQ(wide.raw[0].Y, 20);
    Layout loose = layOut(s, L"xxxx", kvtoRight | kvtoBottom, small);
    PlaceTextRows(s.dc(), small, loose.params, loose.raw, loose.count);
    EXPECT_LT(loose.raw[0].X, 10);
    EXPECT_LT(loose.raw[0].Y, 20);
}

void drawLayout(TextSurface &s, const std::wstring &text, TkvTextOutFlags flags, const TRect &rect, int selStart = 0,
                int selLength = 0) {
    Layout l = layOut(s, text, flags, rect);
    PlaceTextRows(s.dc(), rect, l.params, l.raw, l.count);
    bool continues = l.count > 0 && l.raw[l.count - 1].StartOffset + l.raw[l.count - 1].Length < static_cast<int>(text.size());
    DrawTextRows(s.dc(), rect, l.params, l.raw, l.count, continues, clWhite, clRed, selStart, selLength);
}

bool inside(const RECT &inner, const TRect &outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
}

TEST(KvTextLayout, DrawnLikeTheSystemsDrawText) {
    TextSurface mine;
    TextSurface system;
    const TRect rect{5, 5, 200, 100};
    drawLayout(mine, L"Hello, &world", kvtoSingleLine, rect);
    RECT r = rect;
    SetBkMode(system.dc(), TRANSPARENT);
    DrawTextW(system.dc(), L"Hello, &world", -1, &r, DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_TRUE(mine.SameAs(system));

    // Word wrapping gives the system's row count.
    for (const wchar_t *text : {L"one two three four five six seven", L"alpha beta\r\ngamma delta epsilon", L"a"}) {
        TRect narrow{0, 0, mine.Width(L"one two thr"), 1000};
        Layout l = layOut(mine, text, kvtoWordBreak, narrow);
        RECT calc = narrow;
        int height = DrawTextW(system.dc(), text, -1, &calc, DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
        EXPECT_EQ(l.count * l.params.LineHeight, height) << testing::PrintToString(std::wstring(text));
    }
}

TEST(KvTextLayout, EndEllipsisShowsWhatFitsAndStaysInside) {
    TextSurface s;
    const std::wstring text = L"A long caption that does not fit";
    int line = GetTextParams(s.dc(), 0).LineHeight;
    const TRect rect{20, 10, 20 + s.Width(L"A long cap"), 10 + line};
    for (TkvTextOutFlags align : {kvtoLeft, kvtoCenterH, kvtoRight}) {
        s.Clear();
        drawLayout(s, text, kvtoSingleLine | kvtoEndEllipsis | align, rect);
        RECT inked = s.Inked();
        EXPECT_TRUE(inside(inked, rect)) << align;
        // The dots reach close to the right edge whatever the alignment.
        EXPECT_GE(inked.right, rect.right - s.Width(L"x") - s.Width(L"...")) << align;
        Layout l = layOut(s, text, kvtoSingleLine | kvtoEndEllipsis | align, rect);
        PlaceTextRows(s.dc(), rect, l.params, l.raw, l.count);
        DrawTextRows(s.dc(), rect, l.params, l.raw, l.count, false, clWhite, clRed, 0, 0);
        EXPECT_GE(l.raw[0].Length, 1);
        EXPECT_LE(l.raw[0].Width + l.params.EllipsisWidth, rect.right - rect.left) << align;
    }
    // Narrower than one character: still one character, nothing outside.
    s.Clear();
    const TRect tiny{50, 50, 53, 50 + line};
    Layout l = layOut(s, text, kvtoSingleLine | kvtoEndEllipsis, tiny);
    PlaceTextRows(s.dc(), tiny, l.params, l.raw, l.count);
    DrawTextRows(s.dc(), tiny, l.params, l.raw, l.count, true, clWhite, clRed, 0, 0);
    EXPECT_EQ(l.raw[0].Length, 1);
    EXPECT_TRUE(inside(s.Inked(), tiny));
    // A multi-row text cut off by the height ends its last row in dots.
    s.Clear();
    const TRect twoRows{0, 0, s.Width(L"one two"), 2 * line};
    drawLayout(s, L"one two three four five six", kvtoWordBreak | kvtoEndEllipsis, twoRows);
    EXPECT_TRUE(inside(s.Inked(), twoRows));
}

TEST(KvTextLayout, TheSelectionIsHighlighted) {
    TextSurface s;
    const TRect rect{10, 10, 200, 40};
    drawLayout(s, L"xxxx", 0, rect, 1, 2);
    int x = s.Width(L"x");
    RECT red{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int py = 0; py < 60; ++py)
        for (int px = 0; px < 220; ++px)
            if (s.At(px, py) == ColorToRGB(clRed)) {
                red.left = std::min<LONG>(red.left, px);
                red.top = std::min<LONG>(red.top, py);
                red.right = std::max<LONG>(red.right, px + 1);
                red.bottom = std::max<LONG>(red.bottom, py + 1);
            }
    int line = GetTextParams(s.dc(), 0).LineHeight;
    EXPECT_EQ(red.left, 10 + x);
    EXPECT_EQ(red.right, 10 + s.Width(L"xxx"));
    EXPECT_EQ(red.top, 10);
    EXPECT_EQ(red.bottom, 10 + line);
    // The selected characters are drawn again in the selection's text colour.
    bool whiteInside = false;
    for (int px = red.left; px < red.right; ++px)
        for (int py = red.top; py < red.bottom; ++py)
            whiteInside = whiteInside || s.At(px, py) == white;
    EXPECT_TRUE(whiteInside);
}

// One paragraph of 100,000 characters with tabs and word break: laid out in one pass, measured
// past 16 bits, drawn right-aligned against a right edge inside the bitmap.
TEST(KvTextLayout, ALongTabbedParagraphStaysInside) {
    TextSurface s(260, 160);
    std::wstring text;
    while (text.size() < 100000)
        text += L"xx x\txxx ";
    text.resize(100000);
    const TkvTextOutFlags flags = kvtoExpandTabs | kvtoWordBreak | kvtoRight | kvtoCenterV;
    const TRect wide{200 - 2000000, 20, 200, 60};
    const TRect narrow{40, 20, 40 + s.Width(L"xxx xx"), 140};
    for (const TRect *each : {&wide, &narrow}) {
        const TRect &rect = *each;
        Layout l = layOut(s, text, flags, rect);
        ASSERT_GT(l.count, 0);
        EXPECT_TRUE(l.complete);
        if (each == &wide) {
            ASSERT_EQ(l.count, 1);
            EXPECT_GT(l.raw[0].Width, 65536);
        }
        s.Clear();
        PlaceTextRows(s.dc(), rect, l.params, l.raw, l.count);
        DrawTextRows(s.dc(), rect, l.params, l.raw, l.count, false, clWhite, clRed, 0, 0);
        RECT inked = s.Inked();
        EXPECT_GT(inked.right, inked.left);
        EXPECT_TRUE(inside(inked, rect)) << rect.right - rect.left;
    }
}

TEST(KvTextLayout, AnyTextAndRectangleStaysInsideAndEnds) {
    TextSurface s(260, 160);
    std::mt19937 random(20261209);
    const std::wstring pool = L"xxxx  \t\r\n&.W\xD83D\xDE00\x4E2D";
    const TkvTextOutFlags flagBits[] = {0x1, 0x2, 0x4, 0x10, 0x20, 0x40, 0x80, 0x100, 0x200, 0x400, 0x800, 0x2000,
                                        0x4000, 0x20000, 0x100000};
    for (int round = 0; round < 300; ++round) {
        int length = static_cast<int>(random() % 60);
        if (round % 50 == 0)
            length = 100000;
        std::wstring text;
        for (int i = 0; i < length; ++i)
            text += pool[random() % pool.size()];
        if (round % 7 == 0 && !text.empty())
            text.back() = L'\xD83D'; // a lone surrogate at the end
        TkvTextOutFlags flags = 0;
        for (TkvTextOutFlags bit : flagBits)
            if (random() % 3 == 0)
                flags |= bit;
        int left = 30 + static_cast<int>(random() % 60);
        int top = 30 + static_cast<int>(random() % 40);
        int width = static_cast<int>(random() % 150) - 20;
        int height = static_cast<int>(random() % 80) - 10;
        if (round % 11 == 0)
            width = s.Width(L"x") - 1;
        const TRect rect{left, top, left + width, top + height};
        Layout l = layOut(s, text, flags, rect, static_cast<int>(random() % 4));
        int previous = -1;
        for (int i = 0; i < l.count; ++i) {
            ASSERT_GT(l.raw[i].StartOffset, previous);
            ASSERT_LE(l.raw[i].StartOffset + l.raw[i].Length, static_cast<int>(text.size()));
            ASSERT_EQ(l.raw[i].Text, text.c_str() + l.raw[i].StartOffset);
            previous = l.raw[i].StartOffset;
        }
        s.Clear();
        PlaceTextRows(s.dc(), rect, l.params, l.raw, l.count);
        DrawTextRows(s.dc(), rect, l.params, l.raw, l.count, round % 2 == 0, clWhite, clRed,
                     static_cast<int>(random() % 10), static_cast<int>(random() % 10));
        RECT inked = s.Inked();
        if (inked.right > inked.left) {
            ASSERT_TRUE(inside(inked, rect)) << "round " << round << " flags " << flags << " width " << width
                                             << " height " << height;
        }
    }
}

} // namespace
