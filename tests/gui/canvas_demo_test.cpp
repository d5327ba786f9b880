#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "capture.h"
#include "image_compare.h"
#include "input.h"
#include "message_pump.h"
#include "system_colors.h"
#include "test_paths.h"

namespace {

constexpr int demoWidth = 440;
constexpr int demoHeight = 256;

std::wstring demoPath() {
    std::string self = thisProgramPath();
    std::string dir = self.substr(0, self.find_last_of("\\/") + 1);
    std::string path = dir + "canvas_demo.exe";
    return std::wstring(path.begin(), path.end());
}

struct EnumContext {
    DWORD process;
    HWND found;
};

BOOL CALLBACK findTopWindow(HWND window, LPARAM context) {
    auto *c = reinterpret_cast<EnumContext *>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == c->process && IsWindowVisible(window)) {
        c->found = window;
        return FALSE;
    }
    return TRUE;
}

// The demo as a running program, closed (or ended) when the test is done.
class RunningDemo {
public:
    RunningDemo() {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        std::wstring command = L"\"" + demoPath() + L"\"";
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &info_))
            return;
        started_ = true;
        WaitForInputIdle(info_.hProcess, 10000);
        pumpUntil(
            [&] {
                EnumContext c{info_.dwProcessId, nullptr};
                EnumWindows(findTopWindow, reinterpret_cast<LPARAM>(&c));
                window_ = c.found;
                return window_ != nullptr;
            },
            10000);
    }
    ~RunningDemo() {
        if (!started_)
            return;
        if (window_ != nullptr)
            PostMessageW(window_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(info_.hProcess, 10000) != WAIT_OBJECT_0)
            TerminateProcess(info_.hProcess, 1);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    RunningDemo(const RunningDemo &) = delete;
    RunningDemo &operator=(const RunningDemo &) = delete;

    bool started() const { return started_; }
    HWND window() const { return window_; }
    DWORD exitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION info_{};
    bool started_ = false;
    HWND window_ = nullptr;
};

class CanvasDemo : public FixedSysColorsTest {};

// The whole picture against the stored capture: frames, edges, tiles, text, clipping and turned
// bitmaps all at once. The system colours are fixed so the edges and disabled text are exact.
TEST_F(CanvasDemo, ShowsTheCanvasDrawing) {
    RunningDemo demo;
    ASSERT_TRUE(demo.started()) << "canvas_demo.exe did not start";
    ASSERT_NE(demo.window(), nullptr) << "the demo showed no window";
    RECT client;
    GetClientRect(demo.window(), &client);
    EXPECT_EQ(client.right, demoWidth);
    EXPECT_EQ(client.bottom, demoHeight);
    // Another process's window: it only has to be on top, the keyboard focus does not matter.
    SetWindowPos(demo.window(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(demo.window());
    RedrawWindow(demo.window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    POINT origin = clientToScreen(demo.window(), {0, 0});
    PixelBuffer shot;
    // The demo paints in its own process: wait until its picture is on the screen.
    pumpUntil(
        [&] {
            shot = captureScreen(RECT{origin.x, origin.y, origin.x + demoWidth, origin.y + demoHeight});
            return !shot.empty() && shot.colorAt(0, 0) == RGB(255, 255, 255) &&
                   shot.colorAt(8, 30) == RGB(255, 0, 0);
        },
        5000);
    EXPECT_TRUE(matchesReference(shot, "gui", "canvas_demo"));

    // The caption buttons are Marlett's symbols, not letters of a stand-in font.
    RECT frame;
    GetWindowRect(demo.window(), &frame);
    PixelBuffer buttons = captureScreen(RECT{frame.right - 72, frame.top, frame.right, origin.y});
    EXPECT_TRUE(matchesReference(buttons, "gui", "caption_buttons"));
}

} // namespace
