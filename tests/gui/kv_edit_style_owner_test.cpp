// Edit styles owned by a real control: an editor that is not in place takes what its style
// does not set from the default edit style controller, an in-place one from no controller.
#include <gtest/gtest.h>

#include <kvEditStyles.h>

#include "kv_control_support.h"

using namespace kvcontroltest;

namespace {

class TEditStyledBox : public TkvContainer {
    CL_CLASS(TEditStyledBox, TkvContainer)

public:
    TkvContainerStyleClass ContainerStyleClass() override { return TkvEditStyle::ClassInfo(); }
};

class TInPlaceEditStyledBox : public TEditStyledBox {
    CL_CLASS(TInPlaceEditStyledBox, TEditStyledBox)

public:
    bool InPlaceMode() override { return true; }
};

class KvEditStyleOwnerTest : public KvControlTest {
protected:
    void SetUp() override {
        KvControlTest::SetUp();
        if (HasFatalFailure())
            return;
        controller = New<TkvEditStyleController>(nullptr);
        SetDefaultEditStyleController(controller);
        controller->Style()->SetButtonStyle(btsHotFlat);
    }
    void TearDown() override {
        KvControlTest::TearDown();
        FreeAndNil(controller);
    }
    TkvEditStyleController *controller = nullptr;
};

TEST_F(KvEditStyleOwnerTest, OnlyEditorsNotInPlaceTakeTheDefaultController) {
    auto *box = New<TEditStyledBox>(form);
    auto *inPlace = New<TInPlaceEditStyledBox>(form);
    auto *style = dynamic_cast<TkvEditStyle *>(box->Style());
    auto *inPlaceStyle = dynamic_cast<TkvEditStyle *>(inPlace->Style());
    ASSERT_NE(style, nullptr);
    ASSERT_NE(inPlaceStyle, nullptr);
    EXPECT_EQ(style->ControllerInEffect(), controller);
    EXPECT_EQ(style->ButtonStyle(), btsHotFlat);
    EXPECT_EQ(dynamic_cast<TkvEditStyle *>(box->StyleHot())->ButtonStyle(), btsHotFlat);
    EXPECT_EQ(inPlaceStyle->ControllerInEffect(), nullptr);
    EXPECT_EQ(inPlaceStyle->ButtonStyle(), btsDefault);

    // The box agrees to store the values its style assigns.
    style->SetPopupBorderStyle(epbsFlat);
    EXPECT_TRUE(style->IsEditValueStored(esvPopupBorderStyle));
    EXPECT_FALSE(style->IsEditValueStored(esvButtonStyle));
}

} // namespace
