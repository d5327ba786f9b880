// A plain top-level window for tests: records the messages it gets and paints with a callable.
#ifndef GUI_SUPPORT_TEST_WINDOW_H
#define GUI_SUPPORT_TEST_WINDOW_H

#include <windows.h>

#include <functional>
#include <vector>

#include "message_pump.h"

struct RecordedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Window class "GuiTestWindow" (CS_DBLCLKS, no background brush): a visible overlapped window
// whose client area has the given size at the given screen point, shown without being
// activated unless asked. An overlapped window is at least as wide as the system's minimum
// (SM_CXMINTRACK, about 100 pixels under Wine): narrower client areas grow to it. Messages go to DefWindowProc after being recorded; paint draws
// WM_PAINT and WM_PRINTCLIENT alike (nothing is drawn without it). Destroyed with the object.
class TestWindow {
public:
    using Painter = std::function<void(HDC dc, const RECT &client)>;

    TestWindow(POINT screenOrigin, SIZE clientSize, Painter paint = {}, DWORD style = WS_OVERLAPPEDWINDOW);
    ~TestWindow();
    TestWindow(const TestWindow &) = delete;
    TestWindow &operator=(const TestWindow &) = delete;

    HWND handle() const { return window_; }
    // Repaints now (invalidate, UpdateWindow, then pump).
    void repaint();

    const std::vector<RecordedMessage> &messages() const { return messages_; }
    void clearMessages() { messages_.clear(); }
    int count(UINT message) const;
    // The last recorded message of the kind, or nullptr.
    const RecordedMessage *last(UINT message) const;
    // Pumps until a message of the kind was recorded; true when it was.
    bool waitFor(UINT message, DWORD timeoutMs = hangBoundMs);

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    Painter paint_;
    std::vector<RecordedMessage> messages_;
};

// The point of a mouse message's lParam.
POINT pointOf(LPARAM lParam);

#endif
