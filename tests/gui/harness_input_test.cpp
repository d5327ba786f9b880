#include <gtest/gtest.h>

#include "gui_display.h"
#include "input.h"
#include "message_pump.h"
#include "test_window.h"

namespace {

class HarnessInput : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        if (HasFatalFailure())
            return;
        window = std::make_unique<TestWindow>(POINT{120, 140}, SIZE{240, 160});
        ASSERT_NE(window->handle(), nullptr);
        ASSERT_TRUE(bringToForeground(window->handle()));
        window->clearMessages();
    }
    void TearDown() override {
        window.reset();
        GuiTest::TearDown();
    }

    std::vector<WPARAM> chars() const {
        std::vector<WPARAM> result;
        for (const auto &m : window->messages())
            if (m.message == WM_CHAR)
                result.push_back(m.wParam);
        return result;
    }

    std::unique_ptr<TestWindow> window;
};

TEST_F(HarnessInput, ClickArrivesAtTheClientPoint) {
    clickAt(window->handle(), {37, 81});
    ASSERT_TRUE(window->waitFor(WM_LBUTTONUP));
    ASSERT_EQ(window->count(WM_LBUTTONDOWN), 1);
    POINT down = pointOf(window->last(WM_LBUTTONDOWN)->lParam);
    POINT up = pointOf(window->last(WM_LBUTTONUP)->lParam);
    EXPECT_EQ(down.x, 37);
    EXPECT_EQ(down.y, 81);
    EXPECT_EQ(up.x, 37);
    EXPECT_EQ(up.y, 81);
    EXPECT_TRUE(window->last(WM_LBUTTONDOWN)->wParam & MK_LBUTTON);

    // The cursor is where the click was.
    POINT cursor{};
    GetCursorPos(&cursor);
    POINT expected = clientToScreen(window->handle(), {37, 81});
    EXPECT_EQ(cursor.x, expected.x);
    EXPECT_EQ(cursor.y, expected.y);
}

TEST_F(HarnessInput, ButtonsPressAndReleaseSeparately) {
    pressMouseAt(window->handle(), {10, 10}, MouseButton::Right);
    ASSERT_TRUE(window->waitFor(WM_RBUTTONDOWN));
    EXPECT_EQ(window->count(WM_RBUTTONUP), 0);
    EXPECT_LT(GetAsyncKeyState(VK_RBUTTON), 0) << "the button is held";
    releaseMouseAt(window->handle(), {200, 150}, MouseButton::Right);
    ASSERT_TRUE(window->waitFor(WM_RBUTTONUP));
    POINT up = pointOf(window->last(WM_RBUTTONUP)->lParam);
    EXPECT_EQ(up.x, 200);
    EXPECT_EQ(up.y, 150);

    clickAt(window->handle(), {60, 60}, MouseButton::Middle);
    EXPECT_TRUE(window->waitFor(WM_MBUTTONUP));
    EXPECT_EQ(window->count(WM_MBUTTONDOWN), 1);
}

TEST_F(HarnessInput, DoubleClickOnADoubleClickClass) {
    doubleClickAt(window->handle(), {50, 40});
    ASSERT_TRUE(window->waitFor(WM_LBUTTONDBLCLK));
    POINT at = pointOf(window->last(WM_LBUTTONDBLCLK)->lParam);
    EXPECT_EQ(at.x, 50);
    EXPECT_EQ(at.y, 40);
    // down, up, double click (instead of the second down), up
    EXPECT_EQ(window->count(WM_LBUTTONDOWN), 1);
    EXPECT_EQ(window->count(WM_LBUTTONUP), 2);
}

TEST_F(HarnessInput, MouseMovesAndWheelArrive) {
    ASSERT_TRUE(moveMouseTo(clientToScreen(window->handle(), {100, 90})));
    ASSERT_TRUE(window->waitFor(WM_MOUSEMOVE));
    POINT at = pointOf(window->last(WM_MOUSEMOVE)->lParam);
    EXPECT_EQ(at.x, 100);
    EXPECT_EQ(at.y, 90);

    wheelAt(window->handle(), {100, 90}, -2);
    ASSERT_TRUE(window->waitFor(WM_MOUSEWHEEL));
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(window->last(WM_MOUSEWHEEL)->wParam), -2 * WHEEL_DELTA);
}

TEST_F(HarnessInput, TypedKeysArrive) {
    pressKey('A');
    ASSERT_TRUE(window->waitFor(WM_KEYUP));
    ASSERT_NE(window->last(WM_KEYDOWN), nullptr);
    EXPECT_EQ(window->last(WM_KEYDOWN)->wParam, WPARAM('A'));
    EXPECT_EQ(chars(), std::vector<WPARAM>{'a'});

    window->clearMessages();
    pressKey('B', Shift);
    pressKey('C', Control);
    pressKey(VK_LEFT);
    ASSERT_TRUE(pumpUntil([&] { return window->count(WM_KEYUP) >= 5; }));
    EXPECT_EQ(chars(), (std::vector<WPARAM>{'B', 3}));
    EXPECT_NE(window->last(WM_KEYDOWN)->lParam & (1 << 24), 0) << "an arrow is an extended key";
    EXPECT_GE(GetKeyState(VK_SHIFT), 0) << "modifiers are released again";
    EXPECT_GE(GetKeyState(VK_CONTROL), 0);

    window->clearMessages();
    keyDown(VK_SHIFT);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    keyUp(VK_SHIFT);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
}

TEST_F(HarnessInput, AltKeysComeAsSystemKeys) {
    pressKey('X', Alt);
    ASSERT_TRUE(window->waitFor(WM_SYSKEYDOWN));
    EXPECT_EQ(window->last(WM_SYSKEYDOWN)->wParam, WPARAM('X'));
    pumpMessages();
}

TEST_F(HarnessInput, TextArrivesAsCharacters) {
    typeText(L"z\u00e9\u4e2d");
    ASSERT_TRUE(pumpUntil([&] { return chars().size() >= 3; }));
    EXPECT_EQ(chars(), (std::vector<WPARAM>{L'z', 0xE9, 0x4E2D}));
}

TEST_F(HarnessInput, ForegroundMovesBetweenWindows) {
    TestWindow other({420, 140}, {100, 100});
    ASSERT_TRUE(bringToForeground(other.handle()));
    EXPECT_EQ(GetForegroundWindow(), other.handle());
    ASSERT_TRUE(bringToForeground(window->handle()));
    EXPECT_EQ(GetForegroundWindow(), window->handle());
    EXPECT_EQ(GetFocus(), window->handle());
}

} // namespace
