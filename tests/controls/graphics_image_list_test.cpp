// Image lists: pictures added with masks, drawn enabled and disabled into bitmaps.
#include <gtest/gtest.h>

#include <classlib/exceptions.h>
#include <classlib/image_list.h>

namespace {

TOwned<TBitmap> filledBitmap(int width, int height, TColor color) {
    TOwned<TBitmap> bitmap(New<TBitmap>());
    bitmap->SetSize(width, height);
    bitmap->GetCanvas()->GetBrush()->SetColor(color);
    bitmap->GetCanvas()->FillRect(TRect{0, 0, width, height});
    return bitmap;
}

TColor sysColor(int index) { return static_cast<TColor>(GetSysColor(index)); }

TEST(GraphicsImageList, MaskedPicturesLeaveTheirMaskColourOut) {
    TOwned<TImageList> list(New<TImageList>(nullptr));
    list->SetWidth(4);
    list->SetHeight(4);
    EXPECT_EQ(list->GetCount(), 0);

    // Left half red, right half lime; lime is the mask colour.
    auto picture = filledBitmap(4, 4, clLime);
    picture->GetCanvas()->GetBrush()->SetColor(clRed);
    picture->GetCanvas()->FillRect(TRect{0, 0, 2, 4});
    EXPECT_EQ(list->AddMasked(picture.get(), clLime), 0);
    EXPECT_EQ(picture->GetCanvas()->GetPixel(3, 3), clLime);

    // Two pictures side by side become two entries.
    auto pair = filledBitmap(8, 4, clBlue);
    EXPECT_EQ(list->Add(pair.get(), nullptr), 1);
    EXPECT_EQ(list->GetCount(), 3);

    auto target = filledBitmap(10, 10, clWhite);
    list->Draw(target->GetCanvas(), 1, 1, 0);
    EXPECT_EQ(target->GetCanvas()->GetPixel(1, 1), clRed);
    EXPECT_EQ(target->GetCanvas()->GetPixel(4, 4), clWhite);
    list->Draw(target->GetCanvas(), 5, 5, 2);
    EXPECT_EQ(target->GetCanvas()->GetPixel(8, 8), clBlue);
    list->Draw(target->GetCanvas(), 0, 0, 3);
    EXPECT_EQ(target->GetCanvas()->GetPixel(0, 0), clWhite);

    list->Delete(1);
    EXPECT_EQ(list->GetCount(), 2);
    EXPECT_THROW(list->Delete(2), EInvalidOperation);
    EXPECT_THROW(list->Add(nullptr, nullptr), EInvalidOperation);
    list->Clear();
    EXPECT_EQ(list->GetCount(), 0);
}

TEST(GraphicsImageList, DisabledPicturesAreEmbossedInSystemColours) {
    TOwned<TImageList> list(New<TImageList>(nullptr));
    list->SetWidth(4);
    list->SetHeight(4);
    // A black 2x2 square at (1, 1) on a white mask colour.
    auto picture = filledBitmap(4, 4, clWhite);
    picture->GetCanvas()->GetBrush()->SetColor(clBlack);
    picture->GetCanvas()->FillRect(TRect{1, 1, 3, 3});
    list->AddMasked(picture.get(), clWhite);

    auto target = filledBitmap(6, 6, clAqua);
    list->Draw(target->GetCanvas(), 0, 0, 0, false);
    TCanvas *canvas = target->GetCanvas();
    EXPECT_EQ(canvas->GetPixel(1, 1), sysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(canvas->GetPixel(2, 2), sysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(canvas->GetPixel(3, 3), sysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(canvas->GetPixel(3, 2), sysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(canvas->GetPixel(0, 0), clAqua);
    EXPECT_EQ(canvas->GetPixel(4, 4), clAqua);
}

} // namespace
