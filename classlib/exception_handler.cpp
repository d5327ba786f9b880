#include "classlib/exception_handler.h"

#include <windows.h>

#include <exception>
#include <new>

#include "classlib/string_utils.h"
#include "classlib_strings.h"

namespace {

TExceptionEvent &handlerSlot() {
    static TExceptionEvent handler;
    return handler;
}

std::wstring &titleSlot() {
    static std::wstring title;
    return title;
}

std::wstring programName() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, length < MAX_PATH ? length : 0);
    std::size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    std::size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.erase(dot);
    return name;
}

void deliver(TObject *sender, const Exception &e) noexcept {
    try {
        // A copy, so that a handler may replace itself.
        TExceptionEvent handler = handlerSlot();
        if (handler)
            handler(sender, e);
        else
            ShowException(e);
    } catch (...) {
        // Nothing may leave the handler: it runs where an exception would end the process.
    }
}

void deliverText(TObject *sender, const TResourceString &text) noexcept {
    try {
        deliver(sender, Exception(LoadResString(text)));
    } catch (...) {
    }
}

} // namespace

TExceptionEvent SetExceptionHandler(TExceptionEvent handler) {
    TExceptionEvent previous = std::move(handlerSlot());
    handlerSlot() = std::move(handler);
    return previous;
}

std::wstring ApplicationTitle() {
    if (titleSlot().empty())
        titleSlot() = programName();
    return titleSlot();
}

void SetApplicationTitle(std::wstring title) { titleSlot() = std::move(title); }

void ShowException(const Exception &e) {
    std::wstring title = ApplicationTitle();
    MessageBoxW(GetActiveWindow(), e.Message().c_str(), title.c_str(), MB_OK | MB_ICONERROR);
}

void HandleException(TObject *sender) noexcept {
    if (!std::current_exception())
        return;
    // A message box while the mouse is captured would leave the capture with nobody to end it.
    if (HWND capture = GetCapture(); capture != nullptr)
        SendMessageW(capture, WM_CANCELMODE, 0, 0);
    try {
        throw;
    } catch (const EAbort &) {
    } catch (const Exception &e) {
        deliver(sender, e);
    } catch (const std::bad_alloc &) {
        deliverText(sender, SOutOfMemory);
    } catch (const std::exception &e) {
        try {
            deliver(sender, Exception(Utf8ToWide(e.what())));
        } catch (...) {
        }
    } catch (...) {
        deliverText(sender, SUnknownException);
    }
}
