#include "input.h"

#include "message_pump.h"

namespace {

void send(INPUT *inputs, UINT count) {
    // A refused input leaves the test to fail on the missing effect, with the reason here.
    if (SendInput(count, inputs, sizeof(INPUT)) != count)
        OutputDebugStringA("gui_test_support: SendInput refused input\n");
}

// Absolute mouse coordinates run 0..65535 over the screen; the system truncates
// dx * width / 65536, so rounding up lands on the pixel asked for.
LONG normalised(LONG value, int extent) {
    return static_cast<LONG>((static_cast<long long>(value) * 65536 + extent - 1) / extent);
}

void sendMouse(DWORD flags, LONG data = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.mouseData = static_cast<DWORD>(data);
    send(&input, 1);
}

DWORD downFlag(MouseButton button) {
    switch (button) {
    case MouseButton::Right:
        return MOUSEEVENTF_RIGHTDOWN;
    case MouseButton::Middle:
        return MOUSEEVENTF_MIDDLEDOWN;
    default:
        return MOUSEEVENTF_LEFTDOWN;
    }
}

DWORD upFlag(MouseButton button) {
    switch (button) {
    case MouseButton::Right:
        return MOUSEEVENTF_RIGHTUP;
    case MouseButton::Middle:
        return MOUSEEVENTF_MIDDLEUP;
    default:
        return MOUSEEVENTF_LEFTUP;
    }
}

bool isExtended(WORD vk) {
    switch (vk) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_INSERT:
    case VK_DELETE:
    case VK_RCONTROL:
    case VK_RMENU:
    case VK_DIVIDE:
    case VK_NUMLOCK:
    case VK_APPS:
    case VK_LWIN:
    case VK_RWIN:
        return true;
    default:
        return false;
    }
}

void sendKey(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (isExtended(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    send(&input, 1);
}

void modifierKeys(Modifiers modifiers, bool up) {
    if (!up) {
        if (modifiers & Control)
            sendKey(VK_CONTROL, false);
        if (modifiers & Shift)
            sendKey(VK_SHIFT, false);
        if (modifiers & Alt)
            sendKey(VK_MENU, false);
    } else {
        if (modifiers & Alt)
            sendKey(VK_MENU, true);
        if (modifiers & Shift)
            sendKey(VK_SHIFT, true);
        if (modifiers & Control)
            sendKey(VK_CONTROL, true);
    }
}

} // namespace

POINT clientToScreen(HWND window, POINT client) {
    ClientToScreen(window, &client);
    return client;
}

bool moveMouseTo(POINT screen) {
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = normalised(screen.x, width);
    input.mi.dy = normalised(screen.y, height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    send(&input, 1);
    waitForInputProcessed();
    POINT at{};
    GetCursorPos(&at);
    if (at.x == screen.x && at.y == screen.y)
        return true;
    // Some drivers scale absolute moves differently: put the cursor there directly, then let a
    // relative move of nothing tell the windows where it is.
    SetCursorPos(screen.x, screen.y);
    sendMouse(MOUSEEVENTF_MOVE);
    waitForInputProcessed();
    GetCursorPos(&at);
    return at.x == screen.x && at.y == screen.y;
}

void pressMouseAt(HWND window, POINT client, MouseButton button) {
    moveMouseTo(clientToScreen(window, client));
    sendMouse(downFlag(button));
    waitForInputProcessed();
}

void releaseMouseAt(HWND window, POINT client, MouseButton button) {
    moveMouseTo(clientToScreen(window, client));
    sendMouse(upFlag(button));
    waitForInputProcessed();
}

void clickAt(HWND window, POINT client, MouseButton button) {
    moveMouseTo(clientToScreen(window, client));
    sendMouse(downFlag(button));
    sendMouse(upFlag(button));
    waitForInputProcessed();
}

void doubleClickAt(HWND window, POINT client, MouseButton button) {
    moveMouseTo(clientToScreen(window, client));
    // All four at once: under an emulated machine a pause between two clicks could outlast the
    // double-click time.
    INPUT inputs[4]{};
    for (int i = 0; i < 4; ++i) {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi.dwFlags = i % 2 == 0 ? downFlag(button) : upFlag(button);
    }
    send(inputs, 4);
    waitForInputProcessed();
}

void wheelAt(HWND window, POINT client, int notches) {
    moveMouseTo(clientToScreen(window, client));
    sendMouse(MOUSEEVENTF_WHEEL, notches * WHEEL_DELTA);
    waitForInputProcessed();
}

void keyDown(WORD virtualKey) {
    sendKey(virtualKey, false);
    waitForInputProcessed();
}

void keyUp(WORD virtualKey) {
    sendKey(virtualKey, true);
    waitForInputProcessed();
}

void pressKey(WORD virtualKey, Modifiers modifiers) {
    modifierKeys(modifiers, false);
    sendKey(virtualKey, false);
    sendKey(virtualKey, true);
    modifierKeys(modifiers, true);
    waitForInputProcessed();
}

void typeText(const std::wstring &text) {
    for (wchar_t ch : text) {
        INPUT inputs[2]{};
        for (int i = 0; i < 2; ++i) {
            inputs[i].type = INPUT_KEYBOARD;
            inputs[i].ki.wScan = ch;
            inputs[i].ki.dwFlags = KEYEVENTF_UNICODE | (i == 1 ? KEYEVENTF_KEYUP : 0);
        }
        send(inputs, 2);
    }
    waitForInputProcessed();
}

void waitForInputProcessed(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    int quietRounds = 0;
    // Quiet for a few rounds in a row: the server hands input out promptly, and an echo of a
    // cursor move from the display comes within a few milliseconds.
    while (quietRounds < 3 && GetTickCount() - start < timeoutMs) {
        int handled = pumpMessages();
        if (handled == 0 && HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE)) == 0)
            ++quietRounds;
        else
            quietRounds = 0;
        MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

bool bringToForeground(HWND window, DWORD timeoutMs) {
    auto isForeground = [window] {
        HWND focus = GetFocus();
        return GetForegroundWindow() == window && (focus == window || IsChild(window, focus));
    };
    if (!IsWindowVisible(window))
        ShowWindow(window, SW_SHOW);
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    BringWindowToTop(window);
    SetForegroundWindow(window);
    SetActiveWindow(window);
    if (GetFocus() != window && !IsChild(window, GetFocus()))
        SetFocus(window);
    // A refusal is not told: after a moment the other way is tried.
    if (pumpUntil(isForeground, timeoutMs < 4000 ? timeoutMs / 2 : 2000))
        return true;
    // The system refuses a foreground change to a process that had no input lately: lift the
    // lock and switch the way the task switcher does. (A press of Alt would also lift it, but
    // would put the focused window into menu mode.)
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    SwitchToThisWindow(window, TRUE);
    SetForegroundWindow(window);
    SetFocus(window);
    return pumpUntil(isForeground, timeoutMs);
}

void queueMoveTo(POINT screen) {
    SetCursorPos(screen.x, screen.y);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof(input));
}

void queueMouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
}
