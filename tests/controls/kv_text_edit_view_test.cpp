// The text editor's picture without a control: the shown text of a value, the text rectangle
// and flags, the selection colours, the content size, the hint for clipped text, and the text
// painted where it belongs.
#include <gtest/gtest.h>

#include <classlib/units.h>

#include <string>

#include "kv_edit_view_support.h"
#include "kvEditPaintUtils.h"
#include "kvLookAndFeelPainters.h"
#include "kvTextEditView.h"
#include "system_colors.h"

using namespace editviewtest;

namespace {

class KvTextEditViewTest : public EditStyleTest {
protected:
    KvTextEditViewTest() : EditStyleTest(ebsSingle) {}

    void SetUp() override {
        EditStyleTest::SetUp();
        if (HasFatalFailure())
            return;
        properties.reset(New<TkvTextEditProperties>(static_cast<TPersistent *>(nullptr)));
        makeCanvas(140, 30);
        remake();
    }
    void TearDown() override {
        info.reset();
        data.reset();
        properties.reset();
        EditStyleTest::TearDown();
    }
    void remake() {
        data.reset(static_cast<TkvCustomTextEditViewData *>(properties->CreateViewData(style, false)));
    }
    TkvCustomTextEditViewInfo *calculate(const std::wstring &text, TRect bounds = TRect{0, 0, 120, 21}) {
        data->Text = text;
        info.reset(New<TkvCustomTextEditViewInfo>());
        data->Calculate(canvas.get(), bounds, TkvEditMouseState{}, info.get(), nullptr);
        return info.get();
    }
    int lineHeight() { return TextEditLineHeight(style->GetEffectiveFont()); }

    TOwned<TkvTextEditProperties> properties;
    TOwned<TkvCustomTextEditViewData> data;
    TOwned<TkvCustomTextEditViewInfo> info;
};

} // namespace

TEST_F(KvTextEditViewTest, AValueShowsItsTextEchoedOrCaseConverted) {
    EXPECT_EQ(data->EditValueToDisplayText(Variant(L"abc")), L"abc");
    EXPECT_EQ(data->EditValueToDisplayText(Variant::Null()), L"");
    properties->SetCharCase(ecUpperCase);
    EXPECT_EQ(data->EditValueToDisplayText(Variant(L"abc")), L"ABC");
    properties->SetEchoMode(eemPassword);
    EXPECT_EQ(data->EditValueToDisplayText(Variant(L"abc")), L"***");
}

TEST_F(KvTextEditViewTest, TheTextRectangleAndFlagsFollowAlignmentAndMargins) {
    TkvCustomTextEditViewInfo *v = calculate(L"text");
    EXPECT_EQ(v->TextRect.left, v->ClientRect.left + 1);
    EXPECT_EQ(v->TextRect.top, v->ClientRect.top + 1);
    EXPECT_EQ(v->DrawTextFlags, kvtoLeft | kvtoTop | kvtoSingleLine | kvtoNoLeftOverflow | kvtoNoTopOverflow);
    EXPECT_EQ(v->Text, L"text");

    properties->Alignment()->SetHorz(taRightJustify);
    properties->Alignment()->SetVert(taVCenter);
    remake();
    v = calculate(L"text");
    EXPECT_EQ(v->DrawTextFlags & kvtoHorzMask, kvtoRight);
    EXPECT_EQ(v->DrawTextFlags & kvtoVertMask, kvtoCenterV);

    // Lower than a line: one full line all the same, its row at the rectangle's top, but never
    // past the client's bottom.
    v = calculate(L"Zg", TRect{0, 0, 120, 8});
    EXPECT_EQ(v->TextRect.bottom, v->ClientRect.bottom);
    properties->Alignment()->SetVert(taTopJustify);
    remake();
    data->TextMargins = TRect{1, 1, 1, 12};
    v = calculate(L"Zg", TRect{0, 0, 120, 21});
    EXPECT_EQ(v->TextRect.bottom, std::min<LONG>(v->TextRect.top + lineHeight(), v->ClientRect.bottom));
    v->PrepareTextRows(canvas.get());
    ASSERT_EQ(v->TextOutData.RowCount, 1);
    EXPECT_EQ(v->TextOutData.Rows[0].Y, v->TextRect.top);
}

TEST_F(KvTextEditViewTest, SelectionColoursFromWhatWasGiven) {
    TColor text = 0;
    TColor back = 0;
    data->GetSelectionColors(clWindow, text, back);
    EXPECT_EQ(back, clHighlight);
    EXPECT_EQ(text, clHighlightText);
    data->GetSelectionColors(clHighlight, text, back);
    EXPECT_EQ(back, clBlack);
    EXPECT_EQ(text, clWhite);
    data->SelBackgroundColor = 0x00102030;
    data->GetSelectionColors(clWindow, text, back);
    EXPECT_EQ(back, 0x00102030);
    EXPECT_EQ(text, 0x00EFDFCF);
    data->SelTextColor = clRed;
    data->GetSelectionColors(clWindow, text, back);
    EXPECT_EQ(text, clRed);
    data->SelBackgroundColor = kvTextEditNoColor;
    data->GetSelectionColors(clWindow, text, back);
    EXPECT_EQ(back, static_cast<TColor>(0x00FFFF00));

    // Given to the view info only with a selection.
    TkvCustomTextEditViewInfo *v = calculate(L"abc");
    EXPECT_EQ(v->SelTextColor, kvTextEditNoColor);
    data->SelStart = 1;
    data->SelLength = 1;
    v = calculate(L"abc");
    EXPECT_EQ(v->SelTextColor, clRed);
}

TEST_F(KvTextEditViewTest, ContentSizeMeasuresTheTextWithMargins) {
    canvas->SetFont(style->GetEffectiveFont());
    canvas->Canvas()->RequiredState(TCanvasState{csHandleValid, csFontValid});
    SIZE text{};
    GetTextExtentPoint32W(canvas->GetHandle(), L"Hello", 5, &text);
    const TSize size = data->GetTextContentSize(canvas.get(), L"Hello", 0);
    EXPECT_EQ(size.cx, text.cx + 2);
    EXPECT_EQ(size.cy, lineHeight() + 2);
    EXPECT_EQ(data->GetTextContentSize(canvas.get(), L"", 0).cx, 2);
    data->HorzAlignment = taRightJustify;
    EXPECT_EQ(data->GetTextContentSize(canvas.get(), L"Hello", 0).cx, text.cx + 3);
    data->MaxLineCount = 3;
    EXPECT_EQ(data->GetTextContentSize(canvas.get(), L"Hello", 0).cy, 3 * lineHeight() + 2);
}

TEST_F(KvTextEditViewTest, TheHintShowsOnlyClippedText) {
    std::wstring hint;
    TRect where{};
    TkvCustomTextEditViewInfo *v = calculate(L"short");
    const TPoint inside{v->TextRect.left + 2, v->TextRect.top + 2};
    EXPECT_FALSE(v->NeedShowHint(canvas.get(), inside, TPoint{0, 0}, hint, where));
    v = calculate(L"a text far too long for the hundred and twenty pixels of this editor");
    EXPECT_FALSE(v->NeedShowHint(canvas.get(), TPoint{-5, -5}, TPoint{0, 0}, hint, where));
    ASSERT_TRUE(v->NeedShowHint(canvas.get(), inside, TPoint{100, 50}, hint, where));
    EXPECT_EQ(hint, v->Text);
    EXPECT_EQ(where.left, v->TextRect.left + 100);
    EXPECT_EQ(where.top, v->TextRect.top + 50);

    // Moving the picture moves the laid-out rows with it.
    const int rowX = v->TextOutData.Rows[0].X;
    v->MoveBy(7, 3);
    EXPECT_EQ(v->TextOutData.Rows[0].X, rowX + 7);
}

TEST_F(KvTextEditViewTest, TheTextIsPaintedWhereItsAlignmentPutsIt) {
    properties->Alignment()->SetHorz(taRightJustify);
    remake();
    TkvCustomTextEditViewInfo *v = calculate(L"WW");
    v->Draw(canvas.get());
    HDC dc = canvas->GetHandle();
    int left = 0;
    int right = 0;
    for (int y = v->TextRect.top; y < v->TextRect.bottom; ++y)
        for (int x = v->ClientRect.left; x < v->ClientRect.right; ++x)
            if (GetRValue(GetPixel(dc, x, y)) < 0x60)
                ++(x < 60 ? left : right);
    EXPECT_EQ(left, 0);
    EXPECT_GT(right, 10);
}
