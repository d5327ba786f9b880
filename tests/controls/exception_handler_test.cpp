// Exceptions in window procedures and timers reach the application's handler; the program goes on.
#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/exception_handler.h>
#include <classlib/exceptions.h>
#include <classlib/hidden_window.h>
#include <classlib/string_utils.h>

#include <cstdio>

#include <stdexcept>
#include <string>
#include <vector>

#include "child_process.h"

namespace {

constexpr UINT throwConvertError = WM_APP + 1;
constexpr UINT throwAbort = WM_APP + 2;
constexpr UINT throwStandard = WM_APP + 3;
constexpr UINT throwAnything = WM_APP + 4;
constexpr UINT releaseItself = WM_APP + 5;
constexpr UINT answer = WM_APP + 6;

struct Handled {
    TObject *sender;
    std::wstring message;
};

class ExceptionHandling : public testing::Test {
protected:
    void SetUp() override {
        previous_ = SetExceptionHandler([this](TObject *sender, const Exception &e) {
            handled.push_back({sender, e.Message()});
        });
        window = AllocateHWnd([this](TMessage &message) { handle(message); });
    }
    void TearDown() override {
        DeallocateHWnd(window);
        SetExceptionHandler(previous_);
    }

    void handle(TMessage &message) {
        ++seen;
        switch (message.Msg) {
        case throwConvertError:
            throw EConvertError(L"bad value");
        case throwAbort:
            throw EAbort();
        case throwStandard:
            throw std::runtime_error("standard failure");
        case throwAnything:
            throw 42;
        case releaseItself:
            DeallocateHWnd(window);
            message.Result = 7;
            return;
        case answer:
            message.Result = static_cast<LRESULT>(message.WParam) * 2;
            return;
        case WM_TIMER:
            KillTimer(window, message.WParam);
            throw EInvalidOperation(L"timer failed");
        default:
            DefaultHandler(window, message);
        }
    }

    HWND window = nullptr;
    int seen = 0;
    std::vector<Handled> handled;

private:
    TExceptionEvent previous_;
};

} // namespace

TEST_F(ExceptionHandling, AnExceptionInAWindowProcedureReachesTheHandlerAndTheProgramGoesOn) {
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SendMessageW(window, throwConvertError, 0, 0), 0);
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].message, L"bad value");
    EXPECT_EQ(handled[0].sender, nullptr);
    EXPECT_EQ(SendMessageW(window, answer, 21, 0), 42);
}

TEST_F(ExceptionHandling, AnExceptionInATimerReachesTheHandler) {
    ASSERT_NE(SetTimer(window, 1, 10, nullptr), 0u);
    // Bounded only against a timer that never comes.
    DWORD deadline = GetTickCount() + 120000;
    while (handled.empty() && static_cast<LONG>(deadline - GetTickCount()) > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].message, L"timer failed");
}

TEST_F(ExceptionHandling, AbortIsSilentAndOtherExceptionsGetAMessage) {
    SendMessageW(window, throwAbort, 0, 0);
    EXPECT_TRUE(handled.empty());
    SendMessageW(window, throwStandard, 0, 0);
    SendMessageW(window, throwAnything, 0, 0);
    ASSERT_EQ(handled.size(), 2u);
    EXPECT_EQ(handled[0].message, L"standard failure");
    EXPECT_EQ(handled[1].message, L"Unknown exception");
}

TEST_F(ExceptionHandling, AHandlerThatRaisesDoesNotEndTheProgram) {
    SetExceptionHandler([](TObject *, const Exception &) { throw EInvalidOperation(L"handler failed"); });
    SendMessageW(window, throwConvertError, 0, 0);
    EXPECT_EQ(SendMessageW(window, answer, 1, 0), 2);
}

TEST_F(ExceptionHandling, GuardedCallHandsOnWithItsSender) {
    TObject *sender = reinterpret_cast<TObject *>(&seen);
    GuardedCall(sender, [] { throw EConvertError(L"guarded"); });
    bool ran = false;
    GuardedCall(nullptr, [&] { ran = true; });
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].sender, sender);
    EXPECT_EQ(handled[0].message, L"guarded");
    EXPECT_TRUE(ran);
    HandleException(nullptr);
    EXPECT_EQ(handled.size(), 1u);
}

TEST_F(ExceptionHandling, AWindowMayBeReleasedInsideItsOwnMessage) {
    EXPECT_EQ(SendMessageW(window, releaseItself, 0, 0), 7);
    EXPECT_FALSE(IsWindow(window));
    int before = seen;
    SendMessageW(window, answer, 1, 0);
    EXPECT_EQ(seen, before);
    DeallocateHWnd(window);
    window = nullptr;
}

TEST_F(ExceptionHandling, HiddenWindowsAreTopLevelAndInvisible) {
    EXPECT_EQ(GetParent(window), nullptr);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_NE(GetWindowLongW(window, GWL_STYLE) & WS_POPUP, 0);
    EXPECT_EQ(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0), 0);
    DeallocateHWnd(nullptr);
    DeallocateHWnd(GetDesktopWindow());
    EXPECT_TRUE(IsWindow(GetDesktopWindow()));
}

namespace {

// Closes the first message box of this process once it shows and reports its caption and text;
// ends the process when none shows, so that a missing box cannot hang the test.
DWORD WINAPI closeMessageBox(void *result) {
    auto *seen = static_cast<std::wstring *>(result);
    // Two minutes for the box to show: only a guard against one that never comes.
    for (int attempt = 0; attempt < 2400; ++attempt) {
        HWND box = FindWindowW(L"#32770", nullptr);
        DWORD process = 0;
        if (box != nullptr && IsWindowVisible(box) && GetWindowThreadProcessId(box, &process) &&
            process == GetCurrentProcessId()) {
            // Read without messages: the box's thread may not answer before its loop runs.
            wchar_t caption[64] = {};
            wchar_t text[128] = {};
            InternalGetWindowText(box, caption, 64);
            InternalGetWindowText(GetDlgItem(box, 0xFFFF), text, 128);
            *seen = std::wstring(caption) + L"|" + text;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(50);
    }
    ExitProcess(2);
}

} // namespace

CHILD_SCENARIO(defaultHandlerShowsAMessageBox) {
    SetApplicationTitle(L"系统提示");
    HWND window = nullptr;
    window = AllocateHWnd([&window](TMessage &message) {
        if (message.Msg == WM_APP)
            throw EConvertError(L"输入的值不正确");
        DefaultHandler(window, message);
    });
    std::wstring seen;
    HANDLE closer = CreateThread(nullptr, 0, closeMessageBox, &seen, 0, nullptr);
    SendMessageW(window, WM_APP, 0, 0);
    WaitForSingleObject(closer, 180000);
    DWORD closed = 1;
    GetExitCodeThread(closer, &closed);
    DeallocateHWnd(window);
    printf("%s", WideToUtf8(seen).c_str());
    return static_cast<int>(closed);
}

TEST(DefaultExceptionHandler, ShowsTheMessageInAMessageBoxAndGoesOn) {
    ChildResult result = runScenario("defaultHandlerShowsAMessageBox");
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.out, "系统提示|输入的值不正确");
}
