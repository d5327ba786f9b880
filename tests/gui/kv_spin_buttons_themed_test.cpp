// The spin buttons under the visual styles: theme parts and states chosen from the position
// and the mouse, the separator, and a capture of each position and state drawn by the theme.
#include <gtest/gtest.h>

#include <windows.h>

#include <uxtheme.h>

#include <classlib/units.h>

#include <vector>

// Shared with the picture tests without the theme.
#include "../controls/kv_edit_view_support.h"
#include "image_compare.h"
#include "kvEditPaintUtils.h"
#include "kvLookAndFeelPainters.h"
#include "kvSpinEditValues.h"
#include "kvSpinEditView.h"
#include "system_colors.h"
#include "ztThemeManager.h"

using namespace editviewtest;

namespace {

class KvSpinButtonsThemed : public PaintersTest {
protected:
    void SetUp() override {
        PaintersTest::SetUp();
        if (HasFatalFailure())
            return;
        if (!IsThemeActive())
            GTEST_SKIP() << "visual styles are not active on this system";
        styles.reset(New<TkvContainerStyles>(static_cast<TPersistent *>(nullptr), TkvEditStyle::ClassInfo()));
        style = static_cast<TkvEditStyle *>(styles->Style());
        style->SetBorderStyle(ebs3D);
        style->SetColor(clWindow);
        style->LookAndFeel()->SetNativeStyle(true);
        buttons.reset(New<TkvEditButtons>(static_cast<TPersistent *>(nullptr)));
        makeCanvas(160, 30);
        data.reset(New<TkvSpinEditViewData>(nullptr, style, false));
        data->Buttons = buttons.get();
        setButtons(sbpVert, false);
    }
    void TearDown() override {
        data.reset();
        buttons.reset();
        styles.reset();
        PaintersTest::TearDown();
    }
    void setButtons(TkvSpinEditButtonsPosition position, bool fast) {
        fitSpinButtons(buttons.get(), fast);
        data->Position = position;
        data->ShowFastButtons = fast;
    }
    void calculate(TkvSpinEditViewInfo *info, const TkvEditMouseState &mouse = {}, TkvSpinEditViewInfo *old = nullptr) {
        data->Calculate(canvas.get(), TRect{0, 0, 150, 21}, mouse, info, old);
    }
    static TkvEditMouseState at(const TRect &r, bool press) {
        return mouseAt(TPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, press ? TShiftState{ssLeft} : TShiftState{},
                       press);
    }

    TOwned<TkvContainerStyles> styles;
    TkvEditStyle *style = nullptr;
    TOwned<TkvEditButtons> buttons;
    TOwned<TkvSpinEditViewData> data;
};

TEST_F(KvSpinButtonsThemed, PartsAndStatesFollowThePositionAndTheMouse) {
    ASSERT_TRUE(data->IsSpinThemeUsed());
    TOwned<TkvSpinEditViewInfo> idle(New<TkvSpinEditViewInfo>());
    calculate(idle.get());
    ASSERT_EQ(idle->ButtonCount(), 2);
    EXPECT_EQ(idle->SpinButton(kvSpinButtonUp)->ThemePart, kvSpinThemePartUp);
    EXPECT_EQ(idle->SpinButton(kvSpinButtonDown)->ThemePart, kvSpinThemePartDown);
    EXPECT_EQ(idle->Button(kvSpinButtonUp)->Data.NativeState, 1);
    EXPECT_TRUE(idle->HasSeparator);
    const TRect up = idle->Button(kvSpinButtonUp)->Bounds;
    const TRect down = idle->Button(kvSpinButtonDown)->Bounds;
    EXPECT_EQ(down.top, up.bottom + 1) << "a pixel apart under the theme";

    TOwned<TkvSpinEditViewInfo> hot(New<TkvSpinEditViewInfo>());
    calculate(hot.get(), at(up, false), idle.get());
    EXPECT_EQ(hot->Button(kvSpinButtonUp)->Data.NativeState, 2);
    TOwned<TkvSpinEditViewInfo> pressed(New<TkvSpinEditViewInfo>());
    calculate(pressed.get(), at(down, true), hot.get());
    EXPECT_EQ(pressed->Button(kvSpinButtonDown)->Data.NativeState, 3);
    EXPECT_EQ(pressed->Button(kvSpinButtonUp)->Data.NativeState, 1);
    data->Enabled = false;
    calculate(pressed.get());
    EXPECT_EQ(pressed->Button(kvSpinButtonDown)->Data.NativeState, 4);
    data->Enabled = true;

    setButtons(sbpHorzLeftRight, true);
    calculate(idle.get());
    ASSERT_EQ(idle->ButtonCount(), 4);
    EXPECT_EQ(idle->SpinButton(kvSpinButtonUp)->ThemePart, kvSpinThemePartUpHorz);
    EXPECT_EQ(idle->SpinButton(kvSpinButtonDown)->ThemePart, kvSpinThemePartDownHorz);
    EXPECT_EQ(idle->SpinButton(kvSpinButtonFastDown)->ThemePart, 4);
    EXPECT_EQ(idle->SpinButton(kvSpinButtonFastUp)->ThemePart, 3);
    EXPECT_FALSE(idle->HasSeparator);

    // Without native painting there are no parts.
    style->LookAndFeel()->SetNativeStyle(false);
    calculate(idle.get());
    EXPECT_EQ(idle->SpinButton(kvSpinButtonUp)->ThemePart, 0);
    EXPECT_EQ(idle->Button(kvSpinButtonUp)->Data.NativeState, 0);
}

// Rows: stacked, stacked with fast buttons, at the right with fast buttons, at both sides with
// fast buttons. Columns: normal, the up button hot, the down button pressed, disabled.
TEST_F(KvSpinButtonsThemed, EveryPositionAndStateThemed) {
    constexpr int width = 150;
    constexpr int height = 21;
    constexpr int gap = 4;
    struct Row {
        TkvSpinEditButtonsPosition position;
        bool fast;
    } rows[] = {{sbpVert, false}, {sbpVert, true}, {sbpHorzRight, true}, {sbpHorzLeftRight, true}};
    TOwned<TBitmap> picture(New<TBitmap>());
    picture->SetSize(4 * (width + gap) + gap, 4 * (height + gap) + gap);
    TOwned<TkvCanvas> target(New<TkvCanvas>(picture->GetCanvas()));
    HDC dc = target->GetHandle();
    RECT all{0, 0, picture->GetWidth(), picture->GetHeight()};
    ::FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            setButtons(rows[row].position, rows[row].fast);
            TOwned<TkvSpinEditViewInfo> first(New<TkvSpinEditViewInfo>());
            calculate(first.get());
            TkvEditMouseState mouse;
            if (column == 1)
                mouse = at(first->Button(kvSpinButtonUp)->Bounds, false);
            if (column == 2)
                mouse = at(first->Button(kvSpinButtonDown)->Bounds, true);
            data->Enabled = column != 3;
            TOwned<TkvSpinEditViewInfo> v(New<TkvSpinEditViewInfo>());
            calculate(v.get(), mouse, first.get());
            data->Enabled = true;
            v->MoveBy(gap + column * (width + gap), gap + row * (height + gap));
            v->Draw(target.get());
        }
    EXPECT_TRUE(
        matchesReference(pixelsOf(dc, picture->GetWidth(), picture->GetHeight()), "gui", "kv_spin_buttons_themed"));
}

} // namespace
