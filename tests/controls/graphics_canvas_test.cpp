// Canvases drawing into bitmaps: brushes, pens, text and copies read back pixel by pixel.
#include <gtest/gtest.h>

#include <classlib/graphics.h>

#include <string>

namespace {

TOwned<TBitmap> whiteBitmap(int width, int height) {
    TOwned<TBitmap> bitmap(New<TBitmap>());
    bitmap->SetSize(width, height);
    return bitmap;
}

int countPixels(TCanvas *canvas, const TRect &area, TColor color) {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (canvas->GetPixel(x, y) == color)
                ++count;
    return count;
}

TEST(GraphicsCanvas, FillFrameAndLinesUseBrushAndPen) {
    auto bitmap = whiteBitmap(20, 10);
    TCanvas *canvas = bitmap->GetCanvas();
    EXPECT_EQ(canvas->GetPixel(0, 0), clWhite);

    canvas->GetBrush()->SetColor(clRed);
    canvas->FillRect(TRect{2, 2, 5, 4});
    EXPECT_EQ(countPixels(canvas, TRect{0, 0, 20, 10}, clRed), 6);
    EXPECT_EQ(canvas->GetPixel(4, 3), clRed);
    EXPECT_EQ(canvas->GetPixel(5, 3), clWhite);

    canvas->GetBrush()->SetColor(clLime);
    canvas->FrameRect(TRect{10, 0, 14, 4});
    EXPECT_EQ(countPixels(canvas, TRect{10, 0, 14, 4}, clLime), 12);
    EXPECT_EQ(canvas->GetPixel(11, 1), clWhite);

    canvas->GetPen()->SetColor(clBlue);
    canvas->MoveTo(0, 9);
    canvas->LineTo(5, 9);
    EXPECT_EQ(canvas->GetPenPos().x, 5);
    EXPECT_EQ(countPixels(canvas, TRect{0, 9, 20, 10}, clBlue), 5);

    canvas->GetBrush()->SetStyle(bsClear);
    canvas->FillRect(TRect{0, 0, 20, 10});
    EXPECT_EQ(canvas->GetPixel(4, 3), clRed);

    canvas->SetPixel(19, 0, clFuchsia);
    EXPECT_EQ(canvas->GetPixel(19, 0), clFuchsia);
    canvas->Refresh();
    canvas->GetBrush()->SetColor(clYellow);
    canvas->Rectangle(15, 5, 18, 8);
    EXPECT_EQ(canvas->GetPixel(16, 6), clYellow);
    EXPECT_EQ(canvas->GetPixel(15, 5), clBlue);
}

TEST(GraphicsCanvas, TextUsesFontColourAndTextRectClips) {
    auto bitmap = whiteBitmap(100, 30);
    TCanvas *canvas = bitmap->GetCanvas();
    canvas->GetFont()->SetColor(clRed);
    TSize extent = canvas->TextExtent(L"WWW");
    ASSERT_GT(extent.cx, 0);
    EXPECT_EQ(canvas->TextWidth(L"WWW"), extent.cx);
    EXPECT_EQ(canvas->TextHeight(L"Qq"), extent.cy);
    EXPECT_EQ(canvas->TextWidth(L""), 0);

    canvas->GetBrush()->SetStyle(bsClear);
    canvas->TextOut(0, 0, L"WWW");
    EXPECT_GT(countPixels(canvas, TRect{0, 0, extent.cx, extent.cy}, clRed), 0);
    EXPECT_EQ(countPixels(canvas, TRect{extent.cx, 0, 100, 30}, clRed), 0);
    EXPECT_EQ(canvas->GetPenPos().x, extent.cx);

    canvas->GetBrush()->SetColor(clBlue);
    canvas->TextRect(TRect{50, 0, 55, 30}, 50, 0, L"WWW");
    EXPECT_EQ(countPixels(canvas, TRect{55, 0, 100, 30}, clRed), 0);
    EXPECT_EQ(canvas->GetPixel(54, 29), clBlue);
    EXPECT_GT(countPixels(canvas, TRect{50, 0, 55, 30}, clRed), 0);
}

TEST(GraphicsCanvas, CopyRectAndDrawMoveBitmapsBetweenCanvases) {
    auto source = whiteBitmap(4, 4);
    source->GetCanvas()->GetBrush()->SetColor(clRed);
    source->GetCanvas()->FillRect(TRect{0, 0, 2, 4});
    auto dest = whiteBitmap(10, 10);
    TCanvas *canvas = dest->GetCanvas();
    canvas->CopyRect(TRect{5, 5, 7, 7}, source->GetCanvas(), TRect{1, 0, 3, 2});
    EXPECT_EQ(canvas->GetPixel(5, 5), clRed);
    EXPECT_EQ(canvas->GetPixel(6, 5), clWhite);

    canvas->Draw(0, 0, source.get());
    EXPECT_EQ(countPixels(canvas, TRect{0, 0, 4, 4}, clRed), 8);
    canvas->StretchDraw(TRect{0, 6, 8, 10}, source.get());
    EXPECT_EQ(countPixels(canvas, TRect{0, 6, 8, 10}, clRed), 16);

    // A transparent bitmap leaves its bottom-left colour out.
    auto under = whiteBitmap(4, 4);
    under->GetCanvas()->GetBrush()->SetColor(clBlue);
    under->GetCanvas()->FillRect(TRect{0, 0, 4, 4});
    EXPECT_EQ(source->GetTransparentColor(), clRed);
    source->SetTransparent(true);
    under->GetCanvas()->Draw(0, 0, source.get());
    EXPECT_EQ(under->GetCanvas()->GetPixel(0, 0), clBlue);
    EXPECT_EQ(under->GetCanvas()->GetPixel(3, 0), clWhite);
}

TEST(GraphicsCanvas, ACanvasWithoutContextRefusesToDraw) {
    TOwned<TCanvas> canvas(New<TCanvas>());
    EXPECT_FALSE(canvas->HandleAllocated());
    EXPECT_THROW(canvas->FillRect(TRect{0, 0, 1, 1}), EInvalidOperation);

    HDC context = CreateCompatibleDC(nullptr);
    canvas->SetHandle(context);
    canvas->GetFont()->SetColor(clGreen);
    canvas->TextExtent(L"x");
    EXPECT_EQ(GetTextColor(context), RGB(0, 128, 0));
    EXPECT_EQ(GetCurrentObject(context, OBJ_FONT), canvas->GetFont()->GetHandle());
    canvas->SetHandle(nullptr);
    EXPECT_NE(GetCurrentObject(context, OBJ_FONT), canvas->GetFont()->GetHandle());
    DeleteDC(context);
}

TEST(GraphicsBitmap, ResizeKeepsThePictureAndHandlesComeOutOfTheCanvas) {
    auto bitmap = whiteBitmap(3, 2);
    bitmap->GetCanvas()->SetPixel(2, 1, clTeal);
    bitmap->SetSize(5, 5);
    EXPECT_EQ(bitmap->GetCanvas()->GetPixel(2, 1), clTeal);
    EXPECT_EQ(bitmap->GetCanvas()->GetPixel(4, 4), clWhite);

    HBITMAP handle = bitmap->GetHandle();
    BITMAP info{};
    ASSERT_NE(GetObjectW(handle, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, 5);
    EXPECT_EQ(info.bmBitsPixel, 32);

    bitmap->SetHeight(0);
    EXPECT_TRUE(bitmap->Empty());
    EXPECT_EQ(bitmap->GetWidth(), 5);
    bitmap->SetHeight(2);
    EXPECT_FALSE(bitmap->Empty());

    // Sizes below zero count as zero; a size no memory holds is refused and changes nothing.
    TOwned<TBitmap> odd(New<TBitmap>());
    odd->SetSize(-5, 3);
    EXPECT_TRUE(odd->Empty());
    EXPECT_EQ(odd->GetWidth(), 0);
    odd->SetSize(4, 4);
    EXPECT_THROW(odd->SetSize(100000, 100000), EOutOfResources);
    EXPECT_EQ(odd->GetWidth(), 4);
    EXPECT_FALSE(odd->Empty());

    TOwned<TBitmap> copy(New<TBitmap>());
    bitmap->GetCanvas()->SetPixel(0, 0, clMaroon);
    copy->Assign(bitmap.get());
    EXPECT_EQ(copy->GetWidth(), 5);
    EXPECT_EQ(copy->GetCanvas()->GetPixel(0, 0), clMaroon);
    EXPECT_NE(copy->GetHandle(), bitmap->GetHandle());

    copy->SetMonochrome(true);
    EXPECT_EQ(copy->GetCanvas()->GetPixel(0, 0), clBlack);
    EXPECT_EQ(copy->GetCanvas()->GetPixel(4, 1), clWhite);
    EXPECT_EQ(copy->GetTransparentColor(), clWhite);
    EXPECT_THROW(copy->LoadFromResourceName(GetModuleHandleW(nullptr), L"NO_SUCH_BITMAP"), EInvalidGraphic);
}

} // namespace
