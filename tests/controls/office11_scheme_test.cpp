// The Office 2003 scheme without windows: theme-name recognition, the fixed scheme colours,
// the colour blend and gradient fills read back from a bitmap.
#include <gtest/gtest.h>

#include <vector>

#include "memory_bitmap.h"
#include "ztOffice11.h"

namespace {

TEST(Office11SchemeName, StandardStyleColourNamesIgnoringCase) {
    EXPECT_EQ(Office11SchemeOfTheme(L"C:\\WINDOWS\\Resources\\Themes\\Luna\\Luna.msstyles", L"Metallic"), 3);
    EXPECT_EQ(Office11SchemeOfTheme(L"c:\\themes\\LUNA.MSSTYLES", L"normalcolor"), 1);
    EXPECT_EQ(Office11SchemeOfTheme(L"luna.msstyles", L"HomeStead"), 2);
    EXPECT_EQ(Office11SchemeOfTheme(L"C:/themes/luna.msstyles", L"NormalColor"), 1);
    EXPECT_EQ(Office11SchemeOfTheme(L"C:\\themes\\Luna.msstyles", L"Royale"), 0);
    EXPECT_EQ(Office11SchemeOfTheme(L"C:\\themes\\Luna.msstyles", L""), 0);
}

TEST(Office11SchemeName, AnyOtherThemeFileIsNoScheme) {
    for (const wchar_t *color : {L"NormalColor", L"HomeStead", L"Metallic"}) {
        EXPECT_EQ(Office11SchemeOfTheme(L"C:\\themes\\Royale.msstyles", color), 0);
        EXPECT_EQ(Office11SchemeOfTheme(L"C:\\themes\\light.msstyles", color), 0);
        EXPECT_EQ(Office11SchemeOfTheme(L"C:\\Luna.msstyles\\other.msstyles", color), 0);
        EXPECT_EQ(Office11SchemeOfTheme(L"C:\\themes\\xLuna.msstyles", color), 0);
        EXPECT_EQ(Office11SchemeOfTheme(L"", color), 0);
    }
}

TEST(Office11SchemeColors, EverySchemeHasEveryColourAndSharesTheHighlights) {
    for (TztOffice11Scheme scheme : {schemeBlue, schemeOlive, schemeSilver})
        for (int index = 1; index <= 21; ++index)
            EXPECT_NE(Office11SchemeColor(scheme, index), clNone) << scheme << " " << index;
    // The hot and pressed highlights and the text colours are the same in every scheme.
    for (int index : {8, 10, 11, 12, 13, 14, 15, 19})
        for (TztOffice11Scheme scheme : {schemeOlive, schemeSilver})
            EXPECT_EQ(Office11SchemeColor(scheme, index), Office11SchemeColor(schemeBlue, index)) << index;
    // The schemes differ where their own colours are.
    EXPECT_NE(Office11SchemeColor(schemeBlue, 1), Office11SchemeColor(schemeOlive, 1));
    EXPECT_NE(Office11SchemeColor(schemeOlive, 1), Office11SchemeColor(schemeSilver, 1));
}

TEST(Office11SchemeColors, TheSeparatorColourIsTheHalfWayBlendOfItsPair) {
    EXPECT_EQ(Office11SchemeColor(schemeBlue, 16), BlendRGBPercent(RGB(0, 53, 145), RGB(123, 164, 224), 50));
    EXPECT_EQ(Office11SchemeColor(schemeOlive, 16), BlendRGBPercent(RGB(96, 119, 107), RGB(181, 196, 143), 50));
    EXPECT_EQ(Office11SchemeColor(schemeSilver, 16), BlendRGBPercent(RGB(118, 116, 146), RGB(147, 145, 176), 50));
}

TEST(Office11SchemeColors, OutsideTheRangesIsNone) {
    EXPECT_EQ(Office11SchemeColor(schemeNone, 1), clNone);
    EXPECT_EQ(Office11SchemeColor(4, 1), clNone);
    EXPECT_EQ(Office11SchemeColor(schemeBlue, 0), clNone);
    EXPECT_EQ(Office11SchemeColor(schemeBlue, 22), clNone);
    EXPECT_EQ(Office11Color(0), clNone);
    EXPECT_EQ(Office11Color(22), clNone);
}

TEST(Office11Blend, PercentOfEachColour) {
    EXPECT_EQ(BlendRGBPercent(clWhite, clBlack, 50), RGB(128, 128, 128));
    EXPECT_EQ(BlendRGBPercent(clWhite, clBlack, 100), RGB(255, 255, 255));
    EXPECT_EQ(BlendRGBPercent(clWhite, clBlack, 0), RGB(0, 0, 0));
    EXPECT_EQ(BlendRGBPercent(RGB(255, 255, 255), RGB(255, 255, 255), 50), RGB(255, 255, 255));
    EXPECT_EQ(BlendRGBPercent(RGB(200, 100, 10), RGB(0, 50, 250), 25), RGB(50, 63, 191));
    // System colour constants pass through their current values.
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(BlendRGBPercent(clBtnFace, clBtnFace, 37), static_cast<TColor>(NearestRealColor(face)));
}

TEST(Office11Blend, PercentsBeyondTheRangeStayInsideEveryChannel) {
    // Extrapolating past black must not wrap a channel round to a bright value.
    EXPECT_EQ(BlendRGBPercent(clBlack, clWhite, 150), RGB(0, 0, 0));
    EXPECT_EQ(BlendRGBPercent(clWhite, clBlack, 150), RGB(255, 255, 255));
    EXPECT_EQ(BlendRGBPercent(RGB(0, 255, 0), RGB(255, 0, 255), -20), RGB(255, 0, 255));
}

TEST(Office11References, AnUnbalancedDropDoesNothing) {
    ASSERT_EQ(Office11ColorsReferenceCount(), 0);
    DropOffice11Colors();
    EXPECT_EQ(Office11ColorsReferenceCount(), 0);
    AcquireOffice11Colors();
    EXPECT_EQ(Office11ColorsReferenceCount(), 1);
    EXPECT_NE(Office11ExpandButtonBitmap(true), nullptr);
    DropOffice11Colors();
    EXPECT_EQ(Office11ColorsReferenceCount(), 0);
    EXPECT_EQ(Office11ExpandButtonBitmap(true), nullptr);
}

// A surface of untouched (magenta) pixels, read back pixel by pixel.
class Paper : public MemoryBitmap {
public:
    Paper(int width, int height) : MemoryBitmap(width, height, 0x00FF00FFu) {}
};

constexpr COLORREF untouched = RGB(255, 0, 255);

TEST(Office11Gradient, TenPixelsAreTenBandsFromStartToExactlyEnd) {
    Paper paper(12, 3);
    FillGradientRect(paper.dc(), TRect{1, 0, 11, 3}, RGB(0, 100, 200), RGB(90, 10, 255), true);
    EXPECT_EQ(paper.at(0, 1), untouched);
    EXPECT_EQ(paper.at(11, 1), untouched);
    for (int i = 0; i < 10; ++i) {
        COLORREF expected = RGB(MulDiv(i, 90, 9), 100 + MulDiv(i, -90, 9), 200 + MulDiv(i, 55, 9));
        for (int y = 0; y < 3; ++y)
            EXPECT_EQ(paper.at(1 + i, y), expected) << i;
    }
    EXPECT_EQ(paper.at(10, 0), RGB(90, 10, 255));
}

TEST(Office11Gradient, ThousandPixelsAre256BandsSpreadByMulDiv) {
    Paper paper(3, 1000);
    FillGradientRect(paper.dc(), TRect{0, 0, 3, 1000}, RGB(0, 0, 0), RGB(255, 255, 255), false);
    int top = 0;
    for (int band = 0; band < 256; ++band) {
        int bottom = MulDiv(band + 1, 1000, 256);
        COLORREF expected = RGB(MulDiv(band, 255, 255), MulDiv(band, 255, 255), MulDiv(band, 255, 255));
        for (int y = top; y < bottom; ++y)
            ASSERT_EQ(paper.at(1, y), expected) << "band " << band << " row " << y;
        top = bottom;
    }
    EXPECT_EQ(top, 1000);
}

TEST(Office11Gradient, OnePixelIsTheStartColourAndEmptyDrawsNothing) {
    Paper paper(4, 4);
    FillGradientRect(paper.dc(), TRect{1, 1, 2, 3}, RGB(10, 20, 30), RGB(200, 200, 200), true);
    EXPECT_EQ(paper.at(1, 1), RGB(10, 20, 30));
    EXPECT_EQ(paper.at(1, 2), RGB(10, 20, 30));
    EXPECT_EQ(paper.at(2, 1), untouched);
    FillGradientRect(paper.dc(), TRect{3, 0, 3, 4}, RGB(10, 20, 30), RGB(200, 200, 200), true);
    FillGradientRect(paper.dc(), TRect{3, 4, 4, 0}, RGB(10, 20, 30), RGB(200, 200, 200), false);
    EXPECT_EQ(paper.at(3, 0), untouched);
    EXPECT_EQ(paper.at(3, 3), untouched);
}

TEST(Office11Gradient, EqualColoursFillSolid) {
    Paper paper(5, 5);
    FillGradientRect(paper.dc(), TRect{0, 0, 5, 5}, clBtnFace, static_cast<TColor>(GetSysColor(COLOR_BTNFACE)),
                     true);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(paper.at(x, y), GetSysColor(COLOR_BTNFACE));
    FillRectByColor(paper.dc(), TRect{1, 1, 3, 2}, clHighlight);
    EXPECT_EQ(paper.at(1, 1), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(paper.at(2, 1), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(paper.at(3, 1), GetSysColor(COLOR_BTNFACE));
}

} // namespace
