// Helpers of the editor picture tests without a control: rectangles compared with a readable
// failure, mouse states, and fixtures with the painters' units started, a bitmap canvas to
// calculate and paint on, and an edit style of the test's own.
#ifndef KV_EDIT_VIEW_SUPPORT_H
#define KV_EDIT_VIEW_SUPPORT_H

#include <gtest/gtest.h>

#include <classlib/units.h>

#include "capture.h"
#include "kvEditPaintUtils.h"
#include "kvEditViewData.h"
#include "kvLookAndFeelPainters.h"
#include "pixel_buffer.h"
#include "system_colors.h"

namespace editviewtest {

inline bool sameRect(const TRect &a, const TRect &b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

#define EXPECT_RECT(actual, l, t, r, b)                                                                                \
    EXPECT_TRUE(editviewtest::sameRect((actual), TRect{l, t, r, b}))                                                   \
        << #actual << " = (" << (actual).left << ", " << (actual).top << ", " << (actual).right << ", "               \
        << (actual).bottom << ")"

// The mouse at a point, as a mouse event.
inline TkvEditMouseState mouseAt(TPoint point, TShiftState shift = {}, bool press = false) {
    TkvEditMouseState mouse;
    mouse.Point = point;
    mouse.Shift = shift;
    mouse.IsMouseEvent = true;
    mouse.Press = press;
    return mouse;
}

// The spin buttons' collection as the properties make it: two, or four with the fast buttons.
inline void fitSpinButtons(TkvEditButtons *buttons, bool fast) {
    while (buttons->Count() < (fast ? 4 : 2))
        buttons->Add();
    while (buttons->Count() > (fast ? 4 : 2))
        buttons->Delete(buttons->Count() - 1);
}

// The painters' units started for each test; a bitmap canvas once the test makes one.
class PaintersTest : public FixedSysColorsTest {
protected:
    void SetUp() override {
        FixedSysColorsTest::SetUp();
        if (HasFatalFailure())
            return;
        units_ = new UnitScope{&kvLookAndFeelPaintersUnit, &kvEditPaintUtilsUnit};
    }
    void TearDown() override {
        canvas.reset();
        bitmap.reset();
        delete units_;
        units_ = nullptr;
        FixedSysColorsTest::TearDown();
    }
    void makeCanvas(int width, int height) {
        bitmap.reset(New<TBitmap>());
        bitmap->SetSize(width, height);
        canvas.reset(New<TkvCanvas>(bitmap->GetCanvas()));
    }

    TOwned<TBitmap> bitmap;
    TOwned<TkvCanvas> canvas;

private:
    UnitScope *units_ = nullptr;
};

// And an edit style of the given border, with no transparent border.
class EditStyleTest : public PaintersTest {
protected:
    explicit EditStyleTest(TkvEditBorderStyle border) : border_(border) {}

    void SetUp() override {
        PaintersTest::SetUp();
        if (HasFatalFailure())
            return;
        styles.reset(New<TkvContainerStyles>(static_cast<TPersistent *>(nullptr), TkvEditStyle::ClassInfo()));
        style = static_cast<TkvEditStyle *>(styles->Style());
        style->SetBorderStyle(border_);
        style->SetTransparentBorder(false);
    }
    void TearDown() override {
        canvas.reset();
        bitmap.reset();
        styles.reset();
        PaintersTest::TearDown();
    }

    TOwned<TkvContainerStyles> styles;
    TkvEditStyle *style = nullptr;

private:
    TkvEditBorderStyle border_;
};

} // namespace editviewtest

#endif
