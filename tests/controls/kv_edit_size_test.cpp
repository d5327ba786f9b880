// An editor's size without a control: the text line of the style's font, the offsets of the
// frame and the text, the buttons' widths; and the frame's two small rules.
#include <gtest/gtest.h>

#include <classlib/units.h>

#include "kv_edit_view_support.h"
#include "kvEditFramePainting.h"
#include "kvEditPaintUtils.h"
#include "kvEditProperties.h"
#include "kvEditViewData.h"
#include "kvLookAndFeelPainters.h"
#include "system_colors.h"

using namespace editviewtest;

namespace {

class TNoTextViewData : public TkvCustomEditViewData {
    CL_CLASS(TNoTextViewData, TkvCustomEditViewData)

public:
    bool ShowsText() override { return false; }
};

int screenTextHeight(TFont *font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font->GetHandle());
    SIZE size{};
    GetTextExtentPoint32W(dc, L"Zg", 2, &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cy;
}

class KvEditSizeTest : public EditStyleTest {
protected:
    KvEditSizeTest() : EditStyleTest(ebs3D) {}

    void SetUp() override {
        EditStyleTest::SetUp();
        if (HasFatalFailure())
            return;
        properties.reset(New<TkvCustomEditProperties>(static_cast<TPersistent *>(nullptr)));
    }
    void TearDown() override {
        properties.reset();
        EditStyleTest::TearDown();
    }

    TOwned<TkvCustomEditProperties> properties;
};

TEST_F(KvEditSizeTest, TheHeightFollowsTheFontAndTheWidthTheButtons) {
    TOwned<TkvCustomEditViewData> data(properties->CreateViewData(style, false, true));
    EXPECT_TRUE(data->Flag) << "the properties record the caller's flag";
    EXPECT_EQ(data->Buttons, properties->Buttons());
    const TRect extent = data->GetClientExtent();
    EXPECT_EQ(extent.left, 2) << "a 3-D border";
    const TRect offsets = data->GetContentOffsets();
    EXPECT_EQ(offsets.left, extent.left + 2);
    EXPECT_EQ(offsets.bottom, extent.bottom + 2);

    const int small = data->GetTextHeight(nullptr);
    EXPECT_EQ(small, screenTextHeight(style->GetEffectiveFont()));
    TSize size = data->GetEditSize(nullptr, TSize{0, 0});
    EXPECT_EQ(size.cy, small + offsets.top + offsets.bottom);
    EXPECT_EQ(size.cx, offsets.left + offsets.right);

    TOwned<TFont> big(New<TFont>());
    big->Assign(style->GetEffectiveFont());
    big->SetSize(24);
    style->SetFont(big.get());
    const int large = data->GetTextHeight(nullptr);
    EXPECT_GT(large, small);
    EXPECT_EQ(data->GetEditSize(nullptr, TSize{0, 0}).cy, large + offsets.top + offsets.bottom);

    // Visible buttons add their widths; a hidden one adds nothing.
    properties->Buttons()->Add()->SetWidth(20);
    properties->Buttons()->Add()->SetWidth(30);
    properties->Buttons()->Items(1)->SetVisible(false);
    properties->Buttons()->Add();
    size = data->GetEditSize(nullptr, TSize{0, 0});
    EXPECT_EQ(size.cx, offsets.left + offsets.right + 20 + GetSystemMetrics(SM_CYHSCROLL));
    data->MaxHeight = 10;
    EXPECT_EQ(data->GetEditSize(nullptr, TSize{0, 0}).cy, 10) << "the size limit holds";
}

TEST_F(KvEditSizeTest, AnEditorWithoutTextTakesThePaintersSize) {
    TOwned<TNoTextViewData> data(New<TNoTextViewData>(properties.get(), style, false));
    EXPECT_EQ(data->GetTextHeight(nullptr), GetSystemMetrics(SM_CYHSCROLL));
}

TEST_F(KvEditSizeTest, InPlaceEditorsUseTheirBoundsAndOneMarginPixel) {
    TOwned<TkvCustomEditViewData> data(properties->CreateViewData(style, true));
    data->InPlaceBounds = TRect{1, 1, 1, 1};
    const TRect offsets = data->GetContentOffsets();
    EXPECT_EQ(offsets.left, 2);
    EXPECT_EQ(offsets.top, 2);
    EXPECT_FALSE(data->Flag);
}

TEST_F(KvEditSizeTest, HeightCorrectionAndShadowRules) {
    EXPECT_EQ(GetNativeTextEditHeightCorrection(properties.get(), true), 0) << "no buttons";
    properties->Buttons()->Add();
    EXPECT_EQ(GetNativeTextEditHeightCorrection(properties.get(), true), 1);
    EXPECT_EQ(GetNativeTextEditHeightCorrection(properties.get(), false), 0);
    EXPECT_EQ(GetNativeTextEditHeightCorrection(nullptr, true), 0);

    TOwned<TkvCustomEditViewData> data(properties->CreateViewData(style, false));
    EXPECT_FALSE(EditUsesShadow(data.get()));
    style->SetShadow(true);
    EXPECT_TRUE(EditUsesShadow(data.get()));
    style->LookAndFeel()->SetNativeStyle(true);
    EXPECT_EQ(EditUsesShadow(data.get()), !data->IsNativeStyle()) << "native painting draws no shadow";
    EXPECT_FALSE(EditUsesShadow(nullptr));
}

} // namespace
