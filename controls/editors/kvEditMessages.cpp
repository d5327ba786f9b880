// Message-queue helpers of the editors.
#include "kvEditMessages.h"

HWND KvEditCharTarget(HWND editor) noexcept {
    HWND focus = GetFocus();
    if (focus != nullptr && editor != nullptr && (focus == editor || IsChild(editor, focus)))
        return focus;
    return editor;
}

bool KvRemovePendingChar(HWND window) noexcept {
    MSG message;
    if (window == nullptr || !PeekMessageW(&message, window, WM_CHAR, WM_CHAR, PM_REMOVE))
        return false;
    if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));
        return false;
    }
    return true;
}
