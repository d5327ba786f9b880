// Input injected through SendInput, as a user's mouse and keyboard would give it.
//
// Injected input goes to the window under the cursor (mouse) or to the focus window of the
// foreground window (keys), through the system's input queue: a click reaches a window only
// when nothing covers that point, and keys only when the window is in the foreground (see
// bringToForeground). Every function waits until the input was handed to this thread's windows
// (waitForInputProcessed) before it returns, so a test checks the effect right after the call.
#ifndef GUI_SUPPORT_INPUT_H
#define GUI_SUPPORT_INPUT_H

#include <windows.h>

#include <string>

#include "message_pump.h"

enum class MouseButton { Left, Right, Middle };

// Modifier keys held around a key press; combine with |.
enum Modifiers : unsigned { NoModifiers = 0, Shift = 1, Control = 2, Alt = 4 };
inline Modifiers operator|(Modifiers a, Modifiers b) { return Modifiers(unsigned(a) | unsigned(b)); }

// Moves the cursor to a point of the screen; true when the cursor got there.
bool moveMouseTo(POINT screen);
// The screen point of a point in a window's client area.
POINT clientToScreen(HWND window, POINT client);

// Presses / releases a button at a point of the window's client area (moving there first).
void pressMouseAt(HWND window, POINT client, MouseButton button = MouseButton::Left);
void releaseMouseAt(HWND window, POINT client, MouseButton button = MouseButton::Left);
// Press and release at the point.
void clickAt(HWND window, POINT client, MouseButton button = MouseButton::Left);
// Two clicks within the system's double-click time and rectangle.
void doubleClickAt(HWND window, POINT client, MouseButton button = MouseButton::Left);
// Turns the wheel by the given number of notches (positive away from the user).
void wheelAt(HWND window, POINT client, int notches);

// A key going down or up (virtual-key code; the extended flag is set for the keys that need it).
void keyDown(WORD virtualKey);
void keyUp(WORD virtualKey);
// Presses and releases the key with the modifiers held around it.
void pressKey(WORD virtualKey, Modifiers modifiers = NoModifiers);
// Types text as characters (KEYEVENTF_UNICODE): each arrives as WM_KEYDOWN with VK_PACKET,
// WM_CHAR with the character, WM_KEYUP.
void typeText(const std::wstring &text);

// Queue input without waiting for it to be handled, for tests that act while a control runs a
// loop of its own (a drag): the cursor moves and the move is queued; mouse flags are queued.
void queueMoveTo(POINT screen);
void queueMouse(DWORD flags);

// Pumps messages until the injected input was handed out: the input queue is empty and stays so
// for a short moment (the display server may echo a cursor move back). Bounded by timeoutMs.
void waitForInputProcessed(DWORD timeoutMs = 2000);

// Shows the window and makes it the foreground and focused window; true when it is, as far as
// GetForegroundWindow and GetFocus tell, within timeoutMs. Tries SetForegroundWindow for a
// moment, then, when the system refused, lifts the foreground lock and switches as the task
// switcher does.
bool bringToForeground(HWND window, DWORD timeoutMs = hangBoundMs);

#endif
