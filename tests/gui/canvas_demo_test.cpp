#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "capture.h"
#include "image_compare.h"
#include "input.h"
#include "message_pump.h"
#include "system_colors.h"
#include "running_demo.h"

namespace {

constexpr int demoWidth = 440;
constexpr int demoHeight = 256;

class CanvasDemo : public FixedSysColorsTest {};

// The whole picture against the stored capture: frames, edges, tiles, text, clipping and turned
// bitmaps all at once. The system colours are fixed so the edges and disabled text are exact.
TEST_F(CanvasDemo, ShowsTheCanvasDrawing) {
    RunningDemo demo("canvas_demo.exe");
    ASSERT_TRUE(demo.started()) << "canvas_demo.exe did not start";
    ASSERT_NE(demo.window(), nullptr) << "the demo showed no window";
    RECT client;
    GetClientRect(demo.window(), &client);
    EXPECT_EQ(client.right, demoWidth);
    EXPECT_EQ(client.bottom, demoHeight);
    // The demo paints in its own process: wait until its picture is on the screen.
    PixelBuffer shot = demo.captureWhen(demoWidth, demoHeight, [](const PixelBuffer &shot) {
        return shot.colorAt(0, 0) == RGB(255, 255, 255) && shot.colorAt(8, 30) == RGB(255, 0, 0);
    });
    EXPECT_TRUE(matchesReference(shot, "gui", "canvas_demo"));

    // The caption buttons are Marlett's symbols, not letters of a stand-in font.
    RECT frame;
    GetWindowRect(demo.window(), &frame);
    POINT origin = clientToScreen(demo.window(), {0, 0});
    PixelBuffer buttons = captureScreen(RECT{frame.right - 72, frame.top, frame.right, origin.y});
    EXPECT_TRUE(matchesReference(buttons, "gui", "caption_buttons"));
}

} // namespace
