#include "classlib/hidden_window.h"

#include <memory>

#include "classlib/exception_handler.h"
#include "classlib/exceptions.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

constexpr wchar_t className[] = L"ClasslibHiddenWindow";

struct WindowState {
    TWndMethod method;
    int depth = 0;        // messages of this window being handled right now
    bool released = false;
};

constinit ATOM classAtom = 0;

HINSTANCE thisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

LRESULT CALLBACK hiddenWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto *state = reinterpret_cast<WindowState *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (state == nullptr || state->released)
        return DefWindowProcW(window, msg, wParam, lParam);
    TMessage message{msg, wParam, lParam, 0};
    ++state->depth;
    try {
        state->method(message);
    } catch (...) {
        HandleException(nullptr);
    }
    // The window may have been released while its message was handled: the last one out frees.
    if (--state->depth == 0 && state->released)
        delete state;
    return message.Result;
}

void registerClass() {
    if (classAtom != 0)
        return;
    WNDCLASSW cls{};
    cls.lpfnWndProc = hiddenWindowProc;
    cls.hInstance = thisModule();
    cls.lpszClassName = className;
    // A class of this module only, registered once (classAtom is never cleared): it cannot be
    // there already.
    ATOM atom = RegisterClassW(&cls);
    if (atom == 0)
        RaiseLastOSError();
    classAtom = atom;
}

} // namespace

HWND AllocateHWnd(TWndMethod method) {
    registerClass();
    auto state = std::make_unique<WindowState>();
    state->method = std::move(method);
    // A window made while the session's desktop is still being set up (many programs starting at
    // once on a busy machine) may be refused; it is tried again a few times before the error the
    // last try left is reported.
    HWND window = nullptr;
    DWORD error = 0;
    for (int attempt = 1; window == nullptr && attempt <= 5; ++attempt) {
        if (attempt > 1)
            Sleep(100 * (attempt - 1));
        SetLastError(0);
        window = CreateWindowExW(WS_EX_TOOLWINDOW, className, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 thisModule(), nullptr);
        if (window == nullptr)
            error = GetLastError();
    }
    if (window == nullptr)
        RaiseLastOSError(error);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state.release()));
    return window;
}

void DeallocateHWnd(HWND window) noexcept {
    if (window == nullptr || classAtom == 0 || GetClassLongW(window, GCW_ATOM) != classAtom)
        return;
    auto *state = reinterpret_cast<WindowState *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (state != nullptr)
        state->released = true;
    DestroyWindow(window);
    if (state != nullptr && state->depth == 0)
        delete state;
}

void DefaultHandler(HWND window, TMessage &message) noexcept {
    message.Result = DefWindowProcW(window, message.Msg, message.WParam, message.LParam);
}
