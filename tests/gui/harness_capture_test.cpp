#include <gtest/gtest.h>

#include "capture.h"
#include "gui_display.h"
#include "image_compare.h"
#include "input.h"
#include "message_pump.h"
#include "test_window.h"

namespace {

constexpr SIZE clientSize{160, 48};

// Three rectangles on white: the same drawing for the window and for the expected pixels.
struct Block {
    RECT rect;
    COLORREF color;
};
const Block blocks[] = {
    {{0, 0, 160, 48}, RGB(255, 255, 255)},
    {{150, 0, 160, 48}, RGB(16, 160, 16)},
    {{4, 4, 20, 44}, RGB(200, 16, 32)},
    {{24, 10, 60, 20}, RGB(0, 128, 255)},
    {{30, 30, 31, 31}, RGB(1, 2, 3)},
};

void paintBlocks(HDC dc, const RECT &) {
    for (const Block &b : blocks) {
        HBRUSH brush = CreateSolidBrush(b.color);
        FillRect(dc, &b.rect, brush);
        DeleteObject(brush);
    }
}

PixelBuffer expectedBlocks() {
    PixelBuffer image(clientSize.cx, clientSize.cy);
    for (const Block &b : blocks)
        for (int y = b.rect.top; y < b.rect.bottom; ++y)
            for (int x = b.rect.left; x < b.rect.right; ++x)
                image.at(x, y) = PixelBuffer::fromColorRef(b.color);
    return image;
}

class HarnessCapture : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        if (HasFatalFailure())
            return;
        window = std::make_unique<TestWindow>(POINT{300, 200}, clientSize, paintBlocks);
        ASSERT_NE(window->handle(), nullptr);
        ASSERT_TRUE(bringToForeground(window->handle()));
        window->repaint();
    }
    void TearDown() override {
        window.reset();
        GuiTest::TearDown();
    }
    std::unique_ptr<TestWindow> window;
};

TEST_F(HarnessCapture, PixelsOfTheWindow) {
    EXPECT_EQ(windowPixel(window->handle(), 5, 5), RGB(200, 16, 32));
    EXPECT_EQ(windowPixel(window->handle(), 30, 30), RGB(1, 2, 3));
    EXPECT_EQ(windowPixel(window->handle(), 63, 47), RGB(255, 255, 255));
    EXPECT_EQ(windowPixel(window->handle(), 159, 47), RGB(16, 160, 16));
    EXPECT_EQ(printedWindowPixel(window->handle(), 24, 10), RGB(0, 128, 255));
    EXPECT_EQ(printedWindowPixel(window->handle(), 160, 0), CLR_INVALID);
}

TEST_F(HarnessCapture, CapturesEqualTheDrawing) {
    PixelBuffer expected = expectedBlocks();
    PixelBuffer client = captureClient(window->handle());
    ASSERT_EQ(client.width, clientSize.cx);
    ASSERT_EQ(client.height, clientSize.cy);
    EXPECT_EQ(compareImages(client, expected).differentPixels, 0);

    EXPECT_EQ(compareImages(printClient(window->handle()), expected).differentPixels, 0);

    POINT origin = clientToScreen(window->handle(), {0, 0});
    PixelBuffer screen = captureScreen({origin.x, origin.y, origin.x + clientSize.cx, origin.y + clientSize.cy});
    EXPECT_EQ(compareImages(screen, expected).differentPixels, 0);
}

TEST_F(HarnessCapture, CaptureMatchesTheCheckedInReference) {
    EXPECT_TRUE(matchesReference(captureClient(window->handle()), "gui", "harness_blocks"));
}

} // namespace
