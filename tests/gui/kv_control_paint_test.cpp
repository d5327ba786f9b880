// The base control painted by each painter, with its frame, both scroll bars and the size grip,
// with visual styles on and off, against stored captures. Nothing in the pictures is text, and
// the system colours are fixed.
#include <gtest/gtest.h>

#include <windows.h>

#include "capture.h"
#include "image_compare.h"
#include "kv_control_support.h"
#include "system_colors.h"
#include "theme.h"

using namespace kvcontroltest;

namespace {

struct PainterColumn {
    TkvLookAndFeelKind kind;
    bool nativeStyle;
};

constexpr PainterColumn columns[] = {
    {lfStandard, false}, {lfFlat, false}, {lfUltraFlat, false}, {lfOffice11, false}, {lfStandard, true},
};
constexpr int cell = 104;

class KvControlPaintTest : public KvControlTest {
protected:
    void SetUp() override {
        KvControlTest::SetUp();
        if (HasFatalFailure())
            return;
        colors_ = new ScopedSysColors(fixedSystemColors());
        ASSERT_TRUE(colors_->applied());
    }
    void TearDown() override {
        KvControlTest::TearDown();
        delete colors_;
        colors_ = nullptr;
    }

    // One control a painter, side by side, each scrolled into the middle of its content.
    PixelBuffer paintColumns() {
        form->SetBounds(30, 30, cell * 5 + 8, cell + 8);
        EXPECT_TRUE(showForm());
        int x = 4;
        for (const PainterColumn &column : columns) {
            TScrollingProbe *probe = add<TScrollingProbe>(TRect{x, 4, x + cell - 4, cell});
            probe->LookAndFeel()->SetKind(column.kind);
            probe->LookAndFeel()->SetNativeStyle(column.nativeStyle);
            probe->SetBorderStyle(kcbsDefault);
            probe->LeftOffset = 60;
            probe->TopOffset = 120;
            probe->SetContent(300, 400);
            EXPECT_TRUE(probe->HScrollBar()->Visible());
            EXPECT_TRUE(probe->SizeGrip()->Visible());
            x += cell;
        }
        RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pumpFor(100);
        return captureClient(form->Handle());
    }

private:
    ScopedSysColors *colors_ = nullptr;
};

TEST_F(KvControlPaintTest, EveryPainterWithVisualStyles) {
    if (!IsThemeActive())
        GTEST_SKIP() << "visual styles are off on this system";
    EXPECT_TRUE(matchesReference(paintColumns(), "gui", "kv_control_painters"));
}

TEST_F(KvControlPaintTest, EveryPainterWithoutVisualStyles) {
    ASSERT_TRUE(disableThemingForProcess());
    CloseAllThemes();
    PixelBuffer shot = paintColumns();
    EXPECT_TRUE(matchesReference(shot, "gui", "kv_control_painters_unthemed"));
    while (form->ComponentCount() > 0)
        form->Components(form->ComponentCount() - 1)->Free();
    EXPECT_TRUE(restoreThemingForProcess());
    CloseAllThemes();
}

} // namespace
