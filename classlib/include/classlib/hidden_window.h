// Hidden windows whose messages go to a callable.
//
// Stands in for the compiler library's hidden utility windows (AllocateHWnd): a top-level popup
// that is never shown, so that broadcasts such as system colour and setting changes reach it
// (message-only windows do not get them). Its window procedure hands every message to the
// callable inside the exception guard; messages arriving before the callable is attached, and
// after it was released, go to DefWindowProc.
#ifndef CLASSLIB_HIDDEN_WINDOW_H
#define CLASSLIB_HIDDEN_WINDOW_H

#include <windows.h>

#include <functional>

struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};

using TWndMethod = std::function<void(TMessage &message)>;

// Creates the window; raises EOSError when the platform refuses.
HWND AllocateHWnd(TWndMethod method);
// Destroys the window; safe from inside the window's own message handling, and for null.
void DeallocateHWnd(HWND window) noexcept;
// The default handling of a message, for methods that handle only some messages.
void DefaultHandler(HWND window, TMessage &message) noexcept;

#endif
