// A demo program of the library run as its own process, and its one top-level window.
#ifndef GUI_TESTS_RUNNING_DEMO_H
#define GUI_TESTS_RUNNING_DEMO_H

#include <windows.h>

#include <functional>
#include <string>

#include "capture.h"
#include "input.h"
#include "message_pump.h"
#include "test_paths.h"

namespace running_demo_detail {

// The program beside this test program.
inline std::wstring demoPath(const std::string &program) {
    std::string self = thisProgramPath();
    std::string dir = self.substr(0, self.find_last_of("\\/") + 1);
    std::string path = dir + program;
    return std::wstring(path.begin(), path.end());
}

struct EnumContext {
    DWORD process;
    HWND found;
};

inline BOOL CALLBACK findTopWindow(HWND window, LPARAM context) {
    auto *c = reinterpret_cast<EnumContext *>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == c->process && IsWindowVisible(window)) {
        c->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace running_demo_detail

// The demo as a running program, closed (or ended) when the test is done.
class RunningDemo {
public:
    explicit RunningDemo(const std::string &program) {
        using namespace running_demo_detail;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        std::wstring command = L"\"" + demoPath(program) + L"\"";
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

    // The client area as it shows on the screen once painted is true of it (or after 5 s). The
    // window belongs to another process: it only has to be on top, the keyboard focus does not matter.
    PixelBuffer captureWhen(int width, int height, const std::function<bool(const PixelBuffer &)> &painted) {
        SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        SetForegroundWindow(window_);
        RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        POINT origin = clientToScreen(window_, {0, 0});
        PixelBuffer shot;
        pumpUntil(
            [&] {
                shot = captureScreen(RECT{origin.x, origin.y, origin.x + width, origin.y + height});
                return !shot.empty() && painted(shot);
            },
            5000);
        return shot;
    }

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

#endif
