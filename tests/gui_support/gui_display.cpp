#include "gui_display.h"

#include <windows.h>

#include "message_pump.h"

namespace {

bool runsUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Without a window manager on the display, Wine waits two seconds for every managed window (one
// with a caption, or one that was activated) that is hidden or destroyed, for a state change
// only a window manager makes. Unmanaged windows do not wait. Wine reads the setting when the
// process starts, so this takes effect from the program's next run on; the prefix may also set
// it for every program (HKCU\Software\Wine\X11 Driver, "Managed"="N").
void askWineForUnmanagedWindows() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    std::wstring program(path, length);
    program.erase(0, program.find_last_of(L"\\/") + 1);
    std::wstring key = L"Software\\Wine\\AppDefaults\\" + program + L"\\X11 Driver";
    wchar_t value[8] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"Managed", RRF_RT_REG_SZ, nullptr, value, &size) ==
        ERROR_SUCCESS)
        return;
    size = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", L"Managed", RRF_RT_REG_SZ, nullptr, value,
                     &size) == ERROR_SUCCESS)
        return;
    HKEY handle;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(handle, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE *>(L"N"), 2 * sizeof(wchar_t));
    RegCloseKey(handle);
}

std::string probeDisplay() {
    if (runsUnderWine())
        askWineForUnmanagedWindows();
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
