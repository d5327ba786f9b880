// The spin buttons without a control: their places in each position (with and without the
// fast buttons and the theme's gap), their widths, keyboard pressing, theme parts and arrows,
// and a capture of every button style, position and state.
#include <gtest/gtest.h>

#include <classlib/units.h>

#include <vector>

#include "kv_edit_view_support.h"
#include "image_compare.h"
#include "kvEditPaintUtils.h"
#include "kvLookAndFeelPainters.h"
#include "kvSpinEditValues.h"
#include "kvSpinEditView.h"
#include "system_colors.h"

using namespace editviewtest;

namespace {

TEST(KvSpinButtonLayout, PlacesByPosition) {
    const TRect content{2, 2, 98, 19};
    TkvSpinButtonLayout l = KvPlaceSpinButtons(content, sbpVert, false, 9, false);
    EXPECT_RECT(l.Bounds[kvSpinButtonUp], 89, 2, 98, 10);
    EXPECT_RECT(l.Bounds[kvSpinButtonDown], 89, 10, 98, 19);
    EXPECT_RECT(l.Rest, 2, 2, 89, 19);
    EXPECT_FALSE(l.HasSeparator);

    l = KvPlaceSpinButtons(content, sbpVert, false, 9, true);
    EXPECT_RECT(l.Bounds[kvSpinButtonUp], 89, 2, 98, 10);
    EXPECT_RECT(l.Bounds[kvSpinButtonDown], 89, 11, 98, 19) << "a pixel between them under the theme";
    EXPECT_TRUE(l.HasSeparator);
    EXPECT_EQ(l.SeparatorFrom.y, 10);
    EXPECT_EQ(l.SeparatorFrom.x, 89);
    EXPECT_EQ(l.SeparatorTo.x, 98);

    l = KvPlaceSpinButtons(content, sbpVert, true, 9, false);
    EXPECT_RECT(l.Bounds[kvSpinButtonFastUp], 84, 2, 98, 19) << "right of the column, 14 wide";
    EXPECT_RECT(l.Bounds[kvSpinButtonUp], 75, 2, 84, 10);
    EXPECT_RECT(l.Bounds[kvSpinButtonFastDown], 2, 2, 16, 19) << "at the left edge";
    EXPECT_RECT(l.Rest, 16, 2, 75, 19);

    l = KvPlaceSpinButtons(content, sbpHorzRight, true, 9, false);
    EXPECT_RECT(l.Bounds[kvSpinButtonFastUp], 84, 2, 98, 19);
    EXPECT_RECT(l.Bounds[kvSpinButtonUp], 75, 2, 84, 19);
    EXPECT_RECT(l.Bounds[kvSpinButtonDown], 66, 2, 75, 19);
    EXPECT_RECT(l.Bounds[kvSpinButtonFastDown], 52, 2, 66, 19);
    EXPECT_RECT(l.Rest, 2, 2, 52, 19);
    l = KvPlaceSpinButtons(content, sbpHorzRight, false, 9, true);
    EXPECT_RECT(l.Bounds[kvSpinButtonDown], 80, 2, 88, 19) << "its right column is the separator";
    EXPECT_TRUE(l.HasSeparator);
    EXPECT_EQ(l.SeparatorFrom.x, 88);

    l = KvPlaceSpinButtons(content, sbpHorzLeftRight, true, 9, true);
    EXPECT_RECT(l.Bounds[kvSpinButtonFastDown], 2, 2, 16, 19);
    EXPECT_RECT(l.Bounds[kvSpinButtonDown], 16, 2, 25, 19);
    EXPECT_RECT(l.Bounds[kvSpinButtonUp], 75, 2, 84, 19);
    EXPECT_RECT(l.Bounds[kvSpinButtonFastUp], 84, 2, 98, 19);
    EXPECT_RECT(l.Rest, 25, 2, 75, 19);
    EXPECT_FALSE(l.HasSeparator);

    // Too narrow: the text keeps an empty rectangle, never an inverted one.
    l = KvPlaceSpinButtons(TRect{0, 0, 20, 17}, sbpHorzLeftRight, true, 9, false);
    EXPECT_GE(l.Rest.right, l.Rest.left);
}

TEST(KvSpinButtonLayout, WidthsPartsAndArrows) {
    EXPECT_EQ(KvSpinStepButtonWidth(sbpVert, 13, 6, 21), 9) << "(13 + 6 - 1) / 2";
    EXPECT_EQ(KvSpinStepButtonWidth(sbpVert, 13, 5, 21), 9) << "rounded up";
    EXPECT_EQ(KvSpinStepButtonWidth(sbpHorzRight, 13, 6, 21), 21) << "four arrows of 6 rows less 3";
    EXPECT_EQ(KvSpinStepButtonWidth(sbpHorzLeftRight, 13, 6, 17), 17);
    EXPECT_EQ(KvSpinFastButtonWidth(9), 14);
    EXPECT_EQ(KvSpinFastButtonWidth(10), 15);

    EXPECT_EQ(KvSpinThemePart(kvSpinButtonUp, sbpVert), kvSpinThemePartUp);
    EXPECT_EQ(KvSpinThemePart(kvSpinButtonDown, sbpVert), kvSpinThemePartDown);
    EXPECT_EQ(KvSpinThemePart(kvSpinButtonUp, sbpHorzRight), kvSpinThemePartUpHorz);
    EXPECT_EQ(KvSpinThemePart(kvSpinButtonDown, sbpHorzLeftRight), kvSpinThemePartDownHorz);
    EXPECT_EQ(KvSpinThemePart(kvSpinButtonFastDown, sbpVert), 4);
    EXPECT_EQ(KvSpinThemePart(kvSpinButtonFastUp, sbpVert), 3);

    EXPECT_EQ(KvSpinArrowDirection(kvSpinButtonUp, sbpVert), adUp);
    EXPECT_EQ(KvSpinArrowDirection(kvSpinButtonDown, sbpVert), adDown);
    EXPECT_EQ(KvSpinArrowDirection(kvSpinButtonFastUp, sbpVert), adRight);
    EXPECT_EQ(KvSpinArrowDirection(kvSpinButtonDown, sbpHorzRight), adLeft);
    EXPECT_EQ(KvSpinArrowDirection(kvSpinButtonUp, sbpHorzLeftRight), adRight);
}

class KvSpinEditViewTest : public EditStyleTest {
protected:
    KvSpinEditViewTest() : EditStyleTest(ebs3D) {}

    void SetUp() override {
        EditStyleTest::SetUp();
        if (HasFatalFailure())
            return;
        style->LookAndFeel()->SetNativeStyle(false);
        buttons.reset(New<TkvEditButtons>(static_cast<TPersistent *>(nullptr)));
        setFast(false);
        makeCanvas(130, 30);
        data.reset(New<TkvSpinEditViewData>(nullptr, style, false));
        data->Buttons = buttons.get();
    }
    void TearDown() override {
        infos.clear();
        data.reset();
        buttons.reset();
        EditStyleTest::TearDown();
    }
    TkvSpinEditViewInfo *calculate(const TRect &bounds, const TkvEditMouseState &mouse = {},
                                   TkvSpinEditViewInfo *old = nullptr) {
        auto *info = New<TkvSpinEditViewInfo>();
        infos.emplace_back(info);
        data->Calculate(canvas.get(), bounds, mouse, info, old);
        return info;
    }
    // The button collection follows the fast buttons as the properties make it.
    void setFast(bool fast) {
        fitSpinButtons(buttons.get(), fast);
        if (data)
            data->ShowFastButtons = fast;
    }
    static TPoint middle(const TRect &r) { return TPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

    TOwned<TkvEditButtons> buttons;
    TOwned<TkvSpinEditViewData> data;
    std::vector<TOwned<TkvSpinEditViewInfo>> infos;
};

TEST_F(KvSpinEditViewTest, TheViewDataPlacesTheButtonsAgain) {
    setFast(true);
    data->Position = sbpHorzLeftRight;
    TkvSpinEditViewInfo *info = calculate(TRect{0, 0, 120, 21});
    ASSERT_EQ(info->ButtonCount(), 4);
    const TRect client = info->ClientRect;
    const int step = KvSpinStepButtonWidth(sbpHorzLeftRight, 0, 0, 21);
    const int fast = KvSpinFastButtonWidth(step);
    for (int j = 0; j < 4; ++j) {
        const TRect &b = info->Button(j)->Bounds;
        EXPECT_EQ(b.top, client.top);
        EXPECT_EQ(b.bottom, client.bottom);
        EXPECT_TRUE(sameRect(info->Button(j)->Data.ContentRect, b));
    }
    EXPECT_EQ(info->Button(kvSpinButtonFastDown)->Bounds.left, client.left);
    EXPECT_EQ(info->Button(kvSpinButtonDown)->Bounds.left, client.left + fast);
    EXPECT_EQ(info->Button(kvSpinButtonFastUp)->Bounds.right, client.right);
    EXPECT_EQ(info->Button(kvSpinButtonUp)->Bounds.right, client.right - fast);
    EXPECT_EQ(TextEditClientArea(info).left, client.left + fast + step);
    EXPECT_EQ(TextEditClientArea(info).right, client.right - fast - step);
    EXPECT_TRUE(info->Button(kvSpinButtonDown)->Data.LeftAlignment);
    EXPECT_FALSE(info->Button(kvSpinButtonUp)->Data.LeftAlignment);
    EXPECT_EQ(info->Button(0)->Data.Style, bts3D);

    // Stacked: half the height each, as wide as the text line rule gives.
    data->Position = sbpVert;
    setFast(false);
    info = calculate(TRect{0, 0, 120, 21});
    const TRect up = info->Button(kvSpinButtonUp)->Bounds;
    const TRect down = info->Button(kvSpinButtonDown)->Bounds;
    EXPECT_EQ(up.right, client.right);
    EXPECT_EQ(up.left, down.left);
    EXPECT_EQ(up.top, client.top);
    EXPECT_EQ(up.bottom, down.top);
    EXPECT_EQ(down.bottom, client.bottom);
    const TRect offsets = data->GetContentOffsets();
    EXPECT_EQ(up.right - up.left,
              KvSpinStepButtonWidth(sbpVert, canvas->TextHeight(L"Zg"), offsets.top + offsets.bottom, 21));
    EXPECT_EQ(TextEditClientArea(info).right, up.left);
    EXPECT_FALSE(info->HasSeparator) << "no theme";

    // The mouse still finds each button where it now stands.
    TkvSpinEditViewInfo *hot = calculate(TRect{0, 0, 120, 21}, mouseAt(middle(down)), info);
    EXPECT_EQ(hot->Button(kvSpinButtonDown)->State, kvebsHot);
    EXPECT_EQ(hot->Button(kvSpinButtonUp)->State, kvebsNormal);
    EXPECT_EQ(hot->ButtonAt(middle(up)), kvSpinButtonUp);
}

TEST_F(KvSpinEditViewTest, AKeyboardSpinPressesItsButtonAndLocksTheMouseOut) {
    data->KeyboardSpinState = kvSpinButtonUp + 1;
    TkvSpinEditViewInfo *info = calculate(TRect{0, 0, 120, 21});
    EXPECT_EQ(info->Button(kvSpinButtonUp)->State, kvebsPressed);
    EXPECT_EQ(info->Button(kvSpinButtonDown)->State, kvebsNormal);
    EXPECT_TRUE(info->ButtonHeld);
    const TRect down = info->Button(kvSpinButtonDown)->Bounds;
    TkvSpinEditViewInfo *clicked = calculate(TRect{0, 0, 120, 21}, mouseAt(middle(down), TShiftState{ssLeft}, true), info);
    EXPECT_NE(clicked->Button(kvSpinButtonDown)->State, kvebsPressed) << "the mouse presses nothing meanwhile";
    EXPECT_EQ(clicked->Button(kvSpinButtonUp)->State, kvebsPressed);

    data->KeyboardSpinState = 0;
    TkvSpinEditViewInfo *free = calculate(TRect{0, 0, 120, 21}, mouseAt(middle(down), TShiftState{ssLeft}, true), info);
    EXPECT_EQ(free->Button(kvSpinButtonDown)->State, kvebsPressed);
    EXPECT_EQ(free->Button(kvSpinButtonUp)->State, kvebsNormal);
    // Without the theme no part is chosen.
    EXPECT_EQ(free->SpinButton(kvSpinButtonUp)->ThemePart, 0);
    EXPECT_EQ(free->Button(kvSpinButtonUp)->Data.NativeState, 0);

    // A copy keeps what the spin view adds.
    TOwned<TkvSpinEditViewInfo> copy(New<TkvSpinEditViewInfo>());
    free->Position = sbpHorzRight;
    free->ArrowSize = 4;
    copy->Assign(free);
    EXPECT_EQ(copy->Position, sbpHorzRight);
    EXPECT_EQ(copy->ArrowSize, 4);
    EXPECT_EQ(copy->ButtonCount(), 2);
    EXPECT_NE(dynamic_cast<TkvSpinEditButtonViewInfo *>(copy->Button(0)), nullptr);
}

// Rows: the button styles 3-D, flat, simple, HotFlat, UltraFlat and Office 2003 (each over the
// border style that goes with it). Columns: stacked with all normal, the up button hot, the
// down button pressed, all disabled; side by side at the right with fast buttons (up pressed);
// down at the left and up at the right with fast buttons (fast up hot).
TEST_F(KvSpinEditViewTest, EveryButtonStylePositionAndState) {
    constexpr int width = 150;
    constexpr int height = 21;
    constexpr int gap = 4;
    struct Row {
        TkvEditBorderStyle border;
        TkvEditButtonStyle buttons;
    } rows[] = {{ebs3D, bts3D},           {ebsSingle, btsFlat},          {ebsNone, btsSimple},
                {ebsSingle, btsHotFlat},  {ebsUltraFlat, btsUltraFlat},  {ebsOffice11, btsOffice11}};
    struct Column {
        TkvSpinEditButtonsPosition position;
        bool fast;
        int button;
        int state;
    } columns[] = {{sbpVert, false, -1, kvebsNormal},
                   {sbpVert, false, kvSpinButtonUp, kvebsHot},
                   {sbpVert, false, kvSpinButtonDown, kvebsPressed},
                   {sbpVert, false, -1, kvebsDisabled},
                   {sbpHorzRight, true, kvSpinButtonUp, kvebsPressed},
                   {sbpHorzLeftRight, true, kvSpinButtonFastUp, kvebsHot}};
    constexpr int rowCount = 6;
    constexpr int columnCount = 6;
    TOwned<TBitmap> picture(New<TBitmap>());
    picture->SetSize(columnCount * (width + gap) + gap, rowCount * (height + gap) + gap);
    TOwned<TkvCanvas> target(New<TkvCanvas>(picture->GetCanvas()));
    HDC dc = target->GetHandle();
    RECT all{0, 0, picture->GetWidth(), picture->GetHeight()};
    ::FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    style->SetColor(clWindow);
    for (int row = 0; row < rowCount; ++row)
        for (int column = 0; column < columnCount; ++column) {
            style->SetBorderStyle(rows[row].border);
            style->SetButtonStyle(rows[row].buttons);
            data->Position = columns[column].position;
            setFast(columns[column].fast);
            data->Enabled = columns[column].state != kvebsDisabled;
            TOwned<TkvSpinEditViewInfo> v(New<TkvSpinEditViewInfo>());
            data->Calculate(target.get(), TRect{0, 0, width, height}, TkvEditMouseState{}, v.get(), nullptr);
            for (int j = 0; j < v->ButtonCount(); ++j)
                if (v->Button(j)->Index == columns[column].button) {
                    v->Button(j)->State = columns[column].state;
                    v->Button(j)->Data.State = columns[column].state;
                }
            v->MoveBy(gap + column * (width + gap), gap + row * (height + gap));
            v->Draw(target.get());
        }
    data->Enabled = true;
    EXPECT_TRUE(matchesReference(pixelsOf(dc, picture->GetWidth(), picture->GetHeight()), "controls", "spin_buttons"));
}

} // namespace
