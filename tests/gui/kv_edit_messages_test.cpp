// The character a shortcut leaves behind is taken from the queue of the window that has the
// focus (where the system queued it), and a quit request met on the way survives.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "gui_display.h"
#include "input.h"
#include "kvEditMessages.h"
#include "message_pump.h"
#include "test_window.h"

namespace {

class KvEditMessages : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        if (HasFatalFailure())
            return;
        window = std::make_unique<TestWindow>(POINT{100, 100}, SIZE{200, 80});
        ASSERT_TRUE(bringToForeground(window->handle()));
        inner = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 4, 4, 120, 20, window->handle(), nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(inner, nullptr);
        SetFocus(inner);
        pumpMessages();
        ASSERT_EQ(GetFocus(), inner);
    }
    void TearDown() override {
        if (inner != nullptr)
            DestroyWindow(inner);
        window.reset();
        GuiTest::TearDown();
    }
    static int queuedChars(HWND target) {
        int count = 0;
        MSG message;
        while (PeekMessageW(&message, target, WM_CHAR, WM_CHAR, PM_REMOVE))
            if (message.message == WM_CHAR)
                ++count;
        return count;
    }

    std::unique_ptr<TestWindow> window;
    HWND inner = nullptr;
};

TEST_F(KvEditMessages, ThePendingCharacterIsTakenFromTheFocusedInnerWindow) {
    EXPECT_EQ(KvEditCharTarget(window->handle()), inner);
    PostMessageW(inner, WM_CHAR, 10, 0);
    PostMessageW(window->handle(), WM_CHAR, 'x', 0);
    EXPECT_TRUE(KvRemovePendingChar(KvEditCharTarget(window->handle())));
    EXPECT_EQ(queuedChars(inner), 0);
    EXPECT_EQ(queuedChars(window->handle()), 1) << "the editor's own character stays";
    EXPECT_FALSE(KvRemovePendingChar(inner)) << "nothing left";

    // The focus elsewhere: the editor's own window.
    HWND other = CreateWindowExW(0, L"EDIT", L"", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    SetFocus(other);
    pumpMessages();
    if (GetFocus() == other) {
        EXPECT_EQ(KvEditCharTarget(window->handle()), window->handle());
    }
    DestroyWindow(other);
}

TEST_F(KvEditMessages, AQuitRequestMetOnTheWayIsPostedAgain) {
    PostQuitMessage(7);
    EXPECT_FALSE(KvRemovePendingChar(inner));
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 7u);
}

} // namespace
