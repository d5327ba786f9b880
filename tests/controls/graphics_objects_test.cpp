// Fonts, brushes and pens: properties, handles made on demand and dropped on change.
#include <gtest/gtest.h>

#include <classlib/graphics.h>

#include <string>

namespace {

TEST(GraphicsColors, SystemColoursGoThroughTheSystemAndRgbStaysAsItIs) {
    EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
    EXPECT_EQ(ColorToRGB(clNavy), RGB(0, 0, 128));
    EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(ColorToRGB(clHighlight), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(static_cast<std::uint32_t>(clMenuBar), 0xFF000000u | COLOR_MENUBAR);
}

TEST(GraphicsFont, SizeAndHeightFollowTheScreenAndChangesReplaceTheHandle) {
    TOwned<TFont> font(New<TFont>());
    EXPECT_EQ(font->GetName(), L"MS Sans Serif");
    EXPECT_EQ(font->GetSize(), 8);
    EXPECT_EQ(font->GetHeight(), -MulDiv(8, ScreenPixelsPerInch(), 72));
    EXPECT_EQ(font->GetColor(), clWindowText);

    int changes = 0;
    font->OnChange = [&](TObject *) { ++changes; };
    HFONT first = font->GetHandle();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(font->GetHandle(), first);
    font->SetStyle({fsBold, fsItalic});
    font->SetSize(12);
    font->SetSize(12);
    EXPECT_EQ(changes, 2);
    LOGFONTW logFont{};
    ASSERT_EQ(GetObjectW(font->GetHandle(), sizeof logFont, &logFont), static_cast<int>(sizeof logFont));
    EXPECT_EQ(logFont.lfWeight, FW_BOLD);
    EXPECT_TRUE(logFont.lfItalic);
    EXPECT_EQ(logFont.lfHeight, -MulDiv(12, ScreenPixelsPerInch(), 72));

    TOwned<TFont> copy(New<TFont>());
    copy->SetHandle(CreateFontW(-20, 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
    EXPECT_EQ(copy->GetHeight(), -20);
    EXPECT_EQ(copy->GetStyle(), TFontStyles{fsUnderline});
    EXPECT_EQ(copy->GetName(), L"Arial");
    copy->Assign(font.get());
    EXPECT_EQ(copy->GetStyle(), (TFontStyles{fsBold, fsItalic}));
    EXPECT_EQ(copy->GetSize(), 12);
}

TEST(GraphicsBrushAndPen, HandlesFollowStyleAndColour) {
    TOwned<TBrush> brush(New<TBrush>());
    LOGBRUSH logBrush{};
    ASSERT_NE(GetObjectW(brush->GetHandle(), sizeof logBrush, &logBrush), 0);
    EXPECT_EQ(logBrush.lbStyle, static_cast<UINT>(BS_SOLID));
    EXPECT_EQ(logBrush.lbColor, RGB(255, 255, 255));
    brush->SetStyle(bsDiagCross);
    ASSERT_NE(GetObjectW(brush->GetHandle(), sizeof logBrush, &logBrush), 0);
    EXPECT_EQ(logBrush.lbStyle, static_cast<UINT>(BS_HATCHED));
    EXPECT_EQ(logBrush.lbHatch, static_cast<ULONG_PTR>(HS_DIAGCROSS));
    brush->SetStyle(bsClear);
    brush->SetColor(clRed);
    EXPECT_EQ(brush->GetStyle(), bsSolid);

    TOwned<TPen> pen(New<TPen>());
    pen->SetWidth(3);
    pen->SetColor(clBlue);
    LOGPEN logPen{};
    ASSERT_NE(GetObjectW(pen->GetHandle(), sizeof logPen, &logPen), 0);
    EXPECT_EQ(logPen.lopnWidth.x, 3);
    EXPECT_EQ(logPen.lopnColor, RGB(0, 0, 255));
    pen->SetWidth(-1);
    EXPECT_EQ(pen->GetWidth(), 3);
}

} // namespace
