#include "kvClipboardText.h"

bool ReadClipboardText(HWND owner, std::wstring &text) {
    text.clear();
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(owner))
        return false;
    bool got = false;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto *chars = static_cast<const wchar_t *>(GlobalLock(data))) {
            const SIZE_T capacity = GlobalSize(data) / sizeof(wchar_t);
            SIZE_T length = 0;
            while (length < capacity && chars[length] != L'\0')
                ++length;
            text.assign(chars, length);
            GlobalUnlock(data);
            got = true;
        }
    }
    CloseClipboard();
    return got;
}
