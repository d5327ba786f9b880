// ztOffice11: scheme detection, the scheme colour table, blends and gradients.
#include "ztOffice11.h"

#include <algorithm>
#include <array>

#include <classlib/string_utils.h>

#include "kvGraphics.h"
#include "ztThemeManager.h"
#include "ztUxTheme.h"

namespace {

constexpr int nameBufferLength = 1024;
constexpr int maxGradientBands = 256;

// Red, green, blue of colours 1..21 for blue, olive and silver; 0 marks colour 16, a blend.
struct SchemeRow {
    COLORREF colors[3];
};

constexpr SchemeRow fixedColors[office11ColorCount] = {
    {{RGB(158, 190, 245), RGB(217, 217, 167), RGB(215, 215, 229)}},
    {{RGB(195, 218, 249), RGB(242, 240, 228), RGB(243, 243, 247)}},
    {{RGB(221, 236, 254), RGB(244, 247, 222), RGB(243, 244, 250)}},
    {{RGB(129, 169, 226), RGB(183, 198, 145), RGB(153, 151, 181)}},
    {{RGB(106, 140, 203), RGB(96, 128, 88), RGB(110, 109, 143)}},
    {{RGB(241, 249, 255), RGB(244, 247, 222), RGB(255, 255, 255)}},
    {{RGB(42, 102, 201), RGB(116, 134, 94), RGB(122, 121, 153)}},
    {{RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255)}},
    {{RGB(0, 0, 128), RGB(63, 93, 56), RGB(75, 75, 111)}},
    {{RGB(255, 244, 204), RGB(255, 244, 204), RGB(255, 244, 204)}},
    {{RGB(255, 208, 145), RGB(255, 208, 145), RGB(255, 208, 145)}},
    {{RGB(255, 211, 142), RGB(255, 211, 142), RGB(255, 211, 142)}},
    {{RGB(254, 145, 78), RGB(254, 145, 78), RGB(254, 145, 78)}},
    {{RGB(0, 0, 0), RGB(0, 0, 0), RGB(0, 0, 0)}},
    {{RGB(141, 141, 141), RGB(141, 141, 141), RGB(141, 141, 141)}},
    {{0, 0, 0}},
    {{RGB(0, 45, 150), RGB(117, 141, 94), RGB(124, 124, 148)}},
    {{RGB(190, 218, 251), RGB(175, 186, 145), RGB(229, 229, 235)}},
    {{RGB(251, 230, 148), RGB(251, 230, 148), RGB(251, 230, 148)}},
    {{RGB(0, 45, 150), RGB(96, 128, 88), RGB(124, 124, 148)}},
    {{RGB(196, 218, 250), RGB(242, 241, 228), RGB(243, 243, 247)}},
};

// Colour 16 of each scheme: the middle of two shadow tones.
constexpr COLORREF colour16Ends[3][2] = {{RGB(0, 53, 145), RGB(123, 164, 224)},
                                         {RGB(96, 119, 107), RGB(181, 196, 143)},
                                         {RGB(118, 116, 146), RGB(147, 145, 176)}};

constinit TztOffice11Scheme currentScheme = schemeNone;
constinit bool themed = false;
constinit std::array<TColor, office11ColorCount> colors = {};
constinit int references = 0;
constinit TBitmap *expandMinus = nullptr;
constinit TBitmap *expandPlus = nullptr;

int channel(COLORREF color, int shift) { return static_cast<int>((color >> shift) & 0xFF); }

COLORREF channelsOf(int red, int green, int blue) {
    return RGB(std::clamp(red, 0, 255), std::clamp(green, 0, 255), std::clamp(blue, 0, 255));
}

TColor rgb(TColor color) { return static_cast<TColor>(ColorToRGB(color)); }

// The colours a system without a scheme gives, in table order.
void setSystemColors() {
    TColor hot = GetHotBlendColor();
    TColor pressed = GetPressedBlendColor();
    colors = {rgb(clBtnFace),
              BlendRGBPercent(clBtnFace, clWindow, 20),
              BlendRGBPercent(clBtnFace, clWindow, 22),
              BlendRGBPercent(clBtnFace, clWindow, 96),
              BlendRGBPercent(clBtnShadow, clWindow, 70),
              clWhite,
              rgb(clBtnShadow),
              rgb(clBtnHighlight),
              rgb(clHighlight),
              hot,
              hot,
              pressed,
              pressed,
              rgb(clBtnText),
              rgb(clGrayText),
              BlendRGBPercent(clBtnShadow, clBtnFace, 50),
              rgb(clBtnShadow),
              rgb(clBtnFace),
              BlendSystemColors(41, 11, 48),
              rgb(clBtnShadow),
              rgb(clBtnFace)};
}

void initColors() {
    currentScheme = GetOffice11Scheme();
    themed = AreThemesAvailable() && currentScheme != schemeNone;
    if (themed) {
        for (int number = 1; number <= office11ColorCount; ++number)
            colors[number - 1] = Office11SchemeColor(currentScheme, number);
    } else {
        setSystemColors();
    }
}

// The expand buttons are resources of the program: a framed box with a minus, and a plus when
// collapsed.
TBitmap *loadExpandButton(const wchar_t *name) {
    TBitmap *bitmap = New<TBitmap>();
    try {
        bitmap->LoadFromResourceName(GetModuleHandleW(nullptr), name);
    } catch (...) {
        bitmap->Free();
        throw;
    }
    return bitmap;
}

void destroyBrushes() noexcept {
    FreeAndNil(expandMinus);
    FreeAndNil(expandPlus);
}

void createBrushes() {
    destroyBrushes();
    expandMinus = loadExpandButton(L"ZTEXPANDBUTTON_MINUS");
    expandPlus = loadExpandButton(L"ZTEXPANDBUTTON_PLUS");
}

void startOffice11() {}
void stopOffice11() {}

} // namespace

constinit TUnit ztOffice11Unit{L"ztOffice11", startOffice11, stopOffice11, {&ztThemeManagerUnit, &kvGraphicsUnit}};

TztOffice11Scheme Office11SchemeOfTheme(std::wstring_view themeFileName, std::wstring_view colorName) {
    std::size_t slash = themeFileName.find_last_of(L"\\/:");
    std::wstring_view filePart = slash == std::wstring_view::npos ? themeFileName : themeFileName.substr(slash + 1);
    if (AnsiUpperCase(filePart) != L"LUNA.MSSTYLES")
        return schemeNone;
    std::wstring color = AnsiUpperCase(colorName);
    if (color == L"NORMALCOLOR")
        return schemeBlue;
    if (color == L"HOMESTEAD")
        return schemeOlive;
    if (color == L"METALLIC")
        return schemeSilver;
    return schemeNone;
}

TztOffice11Scheme GetOffice11Scheme() {
    if (!AreThemesAvailable() || UxThemeEntry(uxGetCurrentThemeName) == nullptr)
        return schemeNone;
    wchar_t fileName[nameBufferLength] = {};
    wchar_t colorName[nameBufferLength] = {};
    wchar_t sizeName[nameBufferLength] = {};
    if (FAILED(zt::GetCurrentThemeName(fileName, nameBufferLength, colorName, nameBufferLength, sizeName,
                                       nameBufferLength)))
        return schemeNone;
    // The buffers end in a NUL whatever the library wrote.
    fileName[nameBufferLength - 1] = colorName[nameBufferLength - 1] = L'\0';
    return Office11SchemeOfTheme(fileName, colorName);
}

TztOffice11Scheme GetCurrentOffice11Scheme() noexcept { return currentScheme; }

bool IsOffice11Themed() noexcept { return themed; }

TColor Office11Color(int number) noexcept {
    return number >= 1 && number <= office11ColorCount ? colors[number - 1] : clNone;
}

TColor Office11SchemeColor(TztOffice11Scheme scheme, int number) {
    if (scheme < schemeBlue || scheme > schemeSilver || number < 1 || number > office11ColorCount)
        return clNone;
    if (number == 16)
        return BlendRGBPercent(colour16Ends[scheme - 1][0], colour16Ends[scheme - 1][1], 50);
    return static_cast<TColor>(fixedColors[number - 1].colors[scheme - 1]);
}

TColor BlendRGBPercent(TColor color1, TColor color2, int percent) {
    COLORREF first = ColorToRGB(color1);
    COLORREF second = ColorToRGB(color2);
    int values[3];
    for (int i = 0; i < 3; ++i)
        values[i] = MulDiv(channel(first, i * 8), percent, 100) + MulDiv(channel(second, i * 8), 100 - percent, 100);
    return NearestRealColor(static_cast<TColor>(channelsOf(values[0], values[1], values[2])));
}

TColor NearestRealColor(TColor color) {
    HDC screen = GetDC(nullptr);
    COLORREF nearest = GetNearestColor(screen, static_cast<COLORREF>(color));
    ReleaseDC(nullptr, screen);
    return nearest == CLR_INVALID ? color : static_cast<TColor>(nearest);
}

void FillRectByColor(HDC dc, const TRect &rect, TColor color) {
    HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
    if (brush == nullptr)
        return;
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

void FillGradientRect(HDC dc, const TRect &rect, TColor startColor, TColor endColor, bool horizontal) {
    COLORREF start = ColorToRGB(startColor);
    COLORREF end = ColorToRGB(endColor);
    if (start == end) {
        FillRectByColor(dc, rect, static_cast<TColor>(start));
        return;
    }
    int extent = horizontal ? rect.right - rect.left : rect.bottom - rect.top;
    if (extent <= 0)
        return;
    int bands = std::min(extent, maxGradientBands);
    LONG origin = horizontal ? rect.left : rect.top;
    LONG limit = horizontal ? rect.right : rect.bottom;
    LONG nearEdge = origin;
    for (int band = 0; band < bands; ++band) {
        LONG farEdge = origin + MulDiv(band + 1, extent, bands);
        int values[3];
        for (int i = 0; i < 3; ++i) {
            int from = channel(start, i * 8);
            values[i] = bands == 1 ? from : from + MulDiv(band, channel(end, i * 8) - from, bands - 1);
        }
        if (farEdge > nearEdge) {
            TRect part = horizontal ? TRect{nearEdge, rect.top, farEdge, rect.bottom}
                                    : TRect{rect.left, nearEdge, rect.right, farEdge};
            FillRectByColor(dc, part, static_cast<TColor>(channelsOf(values[0], values[1], values[2])));
        }
        nearEdge = farEdge;
        if (farEdge >= limit)
            break;
    }
}

void AcquireOffice11Colors() {
    if (references == 0) {
        initColors();
        createBrushes();
    }
    ++references;
}

void UpdateOffice11Colors() {
    initColors();
    if (references > 0)
        createBrushes();
}

void DropOffice11Colors() {
    if (references <= 0)
        return;
    if (--references == 0)
        destroyBrushes();
}

int Office11ColorsReferenceCount() noexcept { return references; }

TBitmap *Office11ExpandButtonBitmap(bool expanded) noexcept { return expanded ? expandMinus : expandPlus; }
