#include <gtest/gtest.h>

#include <windows.h>

#include "capture.h"
#include "image_compare.h"
#include "input.h"
#include "message_pump.h"
#include "running_demo.h"
#include "system_colors.h"

namespace {

constexpr int columnWidth = 150;
constexpr int columnCount = 2;
constexpr int demoWidth = columnWidth * columnCount;
constexpr int demoHeight = 300;

class PaintersDemo : public FixedSysColorsTest {};

// Every painter operation in every painter against the stored capture. The system colours are
// fixed, and nothing in the picture is text.
TEST_F(PaintersDemo, ShowsEveryPainterOperation) {
    RunningDemo demo("painters_demo.exe");
    ASSERT_TRUE(demo.started()) << "painters_demo.exe did not start";
    ASSERT_NE(demo.window(), nullptr) << "the demo showed no window";
    RECT client;
    GetClientRect(demo.window(), &client);
    EXPECT_EQ(client.right, demoWidth);
    EXPECT_EQ(client.bottom, demoHeight);
    SetWindowPos(demo.window(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(demo.window());
    RedrawWindow(demo.window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    POINT origin = clientToScreen(demo.window(), {0, 0});
    PixelBuffer shot;
    // The demo paints in its own process: wait until its picture, with the fixed button face
    // in every column, is on the screen.
    pumpUntil(
        [&] {
            shot = captureScreen(RECT{origin.x, origin.y, origin.x + demoWidth, origin.y + demoHeight});
            if (shot.empty() || shot.colorAt(0, 0) != RGB(255, 255, 255))
                return false;
            for (int column = 0; column < columnCount; ++column)
                if (shot.colorAt(column * columnWidth + 2, demoHeight - 3) != RGB(192, 192, 192))
                    return false;
            return true;
        },
        5000);
    EXPECT_TRUE(matchesReference(shot, "gui", "painters_demo"));
}

} // namespace
