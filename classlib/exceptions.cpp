#include "classlib/exceptions.h"

#include <windows.h>

#include "classlib/string_utils.h"
#include "classlib_strings.h"

Exception::Exception(std::wstring message) : message_(std::move(message)), narrow_(WideToUtf8(message_)) {}

void Exception::SetMessage(std::wstring message) {
    std::string narrow = WideToUtf8(message);
    message_ = std::move(message);
    narrow_ = std::move(narrow);
}

EAbort::EAbort() : Exception(LoadResString(SOperationAborted)) {}

std::wstring SysErrorMessage(std::uint32_t code) {
    wchar_t *text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::wstring result;
    if (length != 0 && text != nullptr)
        result.assign(text, length);
    if (text != nullptr)
        LocalFree(text);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' '))
        result.pop_back();
    return result;
}

void RaiseLastOSError(std::uint32_t code) {
    if (code == 0)
        throw EOSError(LoadResString(SUnkOSError), 0);
    throw EOSError(FormatResString(SOSError, {IntToStr(code), SysErrorMessage(code)}), code);
}

void RaiseLastOSError() { RaiseLastOSError(GetLastError()); }
