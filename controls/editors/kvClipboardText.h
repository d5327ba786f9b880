// kvClipboardText: the clipboard's text as the editors paste it.
#ifndef KV_CLIPBOARD_TEXT_H
#define KV_CLIPBOARD_TEXT_H

#include <windows.h>

#include <string>

// The Unicode form, so that any script survives; read no further than the clipboard's block, so
// that text without an ending null is safe. False, and no text, when there is none or the
// clipboard cannot be opened.
bool ReadClipboardText(HWND owner, std::wstring &text);

#endif
