// kvEditMessages: message-queue work the editors do on their own behalf.
#ifndef KV_EDIT_MESSAGES_H
#define KV_EDIT_MESSAGES_H

#include <windows.h>

// The window whose queued characters belong to the editor: the focused window when it is the
// editor's own or one of its children (an inner edit), else the editor's window.
HWND KvEditCharTarget(HWND editor) noexcept;

// Removes the next WM_CHAR queued for the window (the character a shortcut key's key-down
// leaves behind). PeekMessage hands out WM_QUIT whatever the filter: one met on the way is
// posted again with its exit code. True when a character was removed.
bool KvRemovePendingChar(HWND window) noexcept;

#endif
