#include <gtest/gtest.h>

#include <windows.h>

#include "capture.h"
#include "image_compare.h"
#include "input.h"
#include "message_pump.h"
#include "running_demo.h"
#include "system_colors.h"
#include "test_window.h"
#include "theme.h"

#include <classlib/graphics.h>
#include <classlib/units.h>
#include <kvLookAndFeelPainters.h>

#include "painters_showcase.h"

namespace {

constexpr int columnWidth = 150;
constexpr int columnCount = 5;
constexpr int demoWidth = columnWidth * columnCount;
constexpr int demoHeight = 300;

class PaintersDemo : public FixedSysColorsTest {};

// Every painter operation in every painter against the stored capture, with the visual style
// the system has (the WinXP column themed). The system colours are fixed, and nothing in the
// picture is text.
TEST_F(PaintersDemo, ShowsEveryPainterOperation) {
    RunningDemo demo("painters_demo.exe");
    ASSERT_TRUE(demo.started()) << "painters_demo.exe did not start";
    ASSERT_NE(demo.window(), nullptr) << "the demo showed no window";
    RECT client;
    GetClientRect(demo.window(), &client);
    EXPECT_EQ(client.right, demoWidth);
    EXPECT_EQ(client.bottom, demoHeight);
    // The demo paints in its own process: wait until its picture, with the fixed button face
    // in every column, is on the screen.
    PixelBuffer shot = demo.captureWhen(demoWidth, demoHeight, [](const PixelBuffer &shot) {
        if (shot.colorAt(0, 0) != RGB(255, 255, 255))
            return false;
        for (int column = 0; column < columnCount; ++column)
            if (shot.colorAt(column * columnWidth + 2, demoHeight - 3) != RGB(192, 192, 192))
                return false;
        return true;
    });
    EXPECT_TRUE(matchesReference(shot, "gui", "painters_demo"));
}

// The same picture painted in this process with visual styles off: the WinXP column falls back
// to the Standard look, and the Office11 and UltraFlat columns to their scheme-less colours.
class PaintersUnthemed : public ThemeOffTest {
protected:
    void SetUp() override {
        ThemeOffTest::SetUp();
        if (HasFatalFailure())
            return;
        colors_ = new ScopedSysColors(fixedSystemColors());
        ASSERT_TRUE(colors_->applied());
    }
    void TearDown() override {
        delete colors_;
        colors_ = nullptr;
        ThemeOffTest::TearDown();
    }

private:
    ScopedSysColors *colors_ = nullptr;
};

TEST_F(PaintersUnthemed, ShowsEveryPainterOperationWithoutVisualStyles) {
    UnitScope units{&kvLookAndFeelPaintersUnit};
    ASSERT_EQ(PainterShowcaseWidth(), demoWidth);
    TestWindow host({20, 20}, {demoWidth, demoHeight}, [](HDC dc, const RECT &) {
        TOwned<TCanvas> canvas(New<TCanvas>());
        canvas->SetHandle(dc);
        PaintPainterShowcase(canvas.get());
        canvas->SetHandle(nullptr);
    }, WS_POPUP | WS_VISIBLE);
    host.repaint();
    EXPECT_TRUE(matchesReference(captureClient(host.handle()), "gui", "painters_demo_unthemed"));
}

} // namespace
