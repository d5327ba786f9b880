// The view data without a control: an editor's picture from an edit style, its buttons and its
// state, into a view info; and two calculations of the same picture repaint nothing.
#include <gtest/gtest.h>

#include <classlib/units.h>

#include "kv_edit_view_support.h"
#include "kvEditPaintUtils.h"
#include "kvEditViewData.h"
#include "kvLookAndFeelPainters.h"
#include "system_colors.h"

using namespace editviewtest;

namespace {

class KvEditViewDataTest : public EditStyleTest {
protected:
    KvEditViewDataTest() : EditStyleTest(ebsSingle) {}

    void SetUp() override {
        EditStyleTest::SetUp();
        if (HasFatalFailure())
            return;
        buttons.reset(New<TkvEditButtons>(static_cast<TPersistent *>(nullptr)));
        buttons->Add();                                  // 0: a drop-down at the right
        buttons->Add()->SetLeftAlignment(true);           // 1: at the left
        buttons->Add()->SetWidth(20);                     // 2: beside the first
        buttons->Items(2)->SetKind(bkEllipsis);
        makeCanvas(130, 30);
        data.reset(New<TkvCustomEditViewData>(nullptr, style, false));
        data->Buttons = buttons.get();
    }
    void TearDown() override {
        data.reset();
        buttons.reset();
        EditStyleTest::TearDown();
    }
    TkvCustomEditViewInfo *calculate(const TkvEditMouseState &mouse = {}, TkvCustomEditViewInfo *old = nullptr) {
        auto *info = New<TkvCustomEditViewInfo>();
        infos.emplace_back(info);
        data->Calculate(canvas.get(), TRect{0, 0, 120, 21}, mouse, info, old);
        return info;
    }
    static TkvEditMouseState at(int x, int y, TShiftState shift = {}, bool press = false) {
        return mouseAt(TPoint{x, y}, shift, press);
    }

    TOwned<TkvEditButtons> buttons;
    TOwned<TkvCustomEditViewData> data;
    std::vector<TOwned<TkvCustomEditViewInfo>> infos;
};

TEST_F(KvEditViewDataTest, FrameAndButtonsFromTheStyleAndTheCollection) {
    TkvCustomEditViewInfo *info = calculate();
    EXPECT_EQ(info->BorderStyle, cbsSingle);
    EXPECT_EQ(info->ClientRect.left, 1);
    EXPECT_EQ(info->ClientRect.right, 119);
    ASSERT_EQ(info->ButtonCount(), 3);
    const int standard = GetSystemMetrics(SM_CYHSCROLL);
    EXPECT_EQ(info->Button(0)->Bounds.right, 119);
    EXPECT_EQ(info->Button(0)->Bounds.left, 119 - standard);
    EXPECT_EQ(info->Button(2)->Bounds.right, 119 - standard);
    EXPECT_EQ(info->Button(2)->Bounds.left, 99 - standard);
    EXPECT_EQ(info->Button(1)->Bounds.left, 1);
    EXPECT_EQ(info->Button(0)->Bounds.top, 1);
    EXPECT_EQ(info->Button(0)->Bounds.bottom, 20);
    EXPECT_TRUE(EqualRect(&info->InnerEditRect, &info->ClientRect)) << "no inner control: the buttons too";
    EXPECT_EQ(info->Button(0)->Data.Style, btsFlat) << "a single border gives flat buttons";
    EXPECT_EQ(info->Button(2)->Index, 2);
    EXPECT_TRUE(info->Button(2)->Data.RightNeighbour);
    EXPECT_FALSE(info->Button(0)->Data.RightNeighbour) << "the outermost stands beside the frame";
    EXPECT_TRUE(info->Button(0)->Data.LeftNeighbour) << "the inner one stands on its left";
    EXPECT_FALSE(info->Button(2)->Data.LeftNeighbour);
    EXPECT_FALSE(info->Button(1)->Data.LeftNeighbour || info->Button(1)->Data.RightNeighbour);

    // A hidden button leaves the list; the query gives a width where none is set.
    buttons->Items(1)->SetVisible(false);
    data->OnQueryButtonWidth = [](TkvCustomEditViewData *, int index, int &width) {
        if (index == 0)
            width = 30;
    };
    info = calculate();
    ASSERT_EQ(info->ButtonCount(), 2);
    EXPECT_EQ(info->Button(0)->Bounds.left, 89);
    EXPECT_EQ(info->Button(1)->Index, 2);
    data->InnerControlBounds = TRect{3, 3, 80, 18};
    EXPECT_EQ(calculate()->InnerEditRect.right, 80) << "the inner control's bounds";
    data->InnerControlBounds = TRect{};

    // Transparency hides the buttons of an editor without the focus.
    style->SetButtonTransparency(ebtHideInactive);
    EXPECT_EQ(calculate()->ButtonCount(), 0);
    data->Focused = true;
    EXPECT_EQ(calculate()->ButtonCount(), 2);
}

TEST_F(KvEditViewDataTest, ButtonStatesFromTheMouse) {
    TkvCustomEditViewInfo *idle = calculate();
    const TRect first = idle->Button(0)->Bounds;
    TkvCustomEditViewInfo *hot = calculate(at(first.left + 2, 10), idle);
    EXPECT_EQ(hot->Button(0)->State, kvebsHot);
    EXPECT_EQ(hot->HotButton, 0);
    EXPECT_EQ(hot->Button(2)->State, kvebsNormal);
    TkvCustomEditViewInfo *pressed = calculate(at(first.left + 2, 10, TShiftState{ssLeft}, true), hot);
    EXPECT_EQ(pressed->Button(0)->State, kvebsPressed);
    EXPECT_EQ(pressed->PressedButton, 0);
    EXPECT_TRUE(pressed->ButtonHeld);
    // Moved off while held: normal; back on while it holds the capture: pressed again.
    TkvCustomEditViewInfo *off = calculate(at(50, 10, TShiftState{ssLeft}), pressed);
    EXPECT_EQ(off->Button(0)->State, kvebsNormal);
    data->CaptureButton = 0;
    TkvCustomEditViewInfo *back = calculate(at(first.left + 2, 10, TShiftState{ssLeft}), off);
    EXPECT_EQ(back->Button(0)->State, kvebsPressed);

    buttons->Items(0)->SetEnabled(false);
    EXPECT_EQ(calculate(at(first.left + 2, 10))->Button(0)->State, kvebsDisabled);
    buttons->Items(0)->SetEnabled(true);
    data->OnButtonStateCalculated = [](TkvCustomEditViewData *, int &state) {
        if (state == kvebsHot)
            state = kvebsPressed;
    };
    EXPECT_EQ(calculate(at(first.left + 2, 10))->Button(0)->State, kvebsPressed) << "the hook has the last word";
    data->OnButtonStateCalculated = nullptr;
    data->Enabled = false;
    TkvCustomEditViewInfo *disabled = calculate(at(first.left + 2, 10));
    for (int i = 0; i < disabled->ButtonCount(); ++i)
        EXPECT_EQ(disabled->Button(i)->State, kvebsDisabled);
}

TEST_F(KvEditViewDataTest, AnUnchangedRecalculationRepaintsNothing) {
    TkvCustomEditViewInfo *before = calculate(at(50, 10));
    TkvCustomEditViewInfo *again = calculate(at(51, 11), before);
    TOwned<TkvRegion> none(again->CreateInvalidRegion(before));
    EXPECT_TRUE(none->IsEmpty());
    TkvCustomEditViewInfo *hot = calculate(at(again->Button(0)->Bounds.left + 1, 10), again);
    TOwned<TkvRegion> one(hot->CreateInvalidRegion(again));
    TOwned<TkvRegion> expected(TkvRegion::CreateFromRect(hot->Button(0)->Bounds));
    EXPECT_TRUE(one->IsEqual(expected.get())) << "only the button under the mouse";
}

} // namespace
