#include "gui_display.h"

#include <windows.h>

#include "message_pump.h"

namespace {

std::string probeDisplay() {
    WNDCLASSW cls{};
    cls.lpfnWndProc = DefWindowProcW;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"GuiTestDisplayProbe";
    RegisterClassW(&cls);
    HWND window = CreateWindowExW(0, cls.lpszClassName, L"probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  cls.hInstance, nullptr);
    if (window == nullptr) {
        return "cannot create a window (error " + std::to_string(GetLastError()) +
               "): no display. Run the tests through scripts/windows-env.sh, which starts a virtual "
               "display, or set DISPLAY to a running X server.";
    }
    DestroyWindow(window);
    UnregisterClassW(cls.lpszClassName, cls.hInstance);
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    if (width < 640 || height < 480)
        return "the screen is " + std::to_string(width) + "x" + std::to_string(height) +
               ", too small for GUI tests (640x480 at least)";
    return {};
}

} // namespace

bool guiDisplayAvailable(std::string *why) {
    static const std::string problem = probeDisplay();
    if (why != nullptr)
        *why = problem;
    return problem.empty();
}

void GuiTest::SetUp() {
    std::string why;
    if (!guiDisplayAvailable(&why))
        GTEST_FAIL() << why;
    pumpMessages();
}

void GuiTest::TearDown() { pumpMessages(); }
