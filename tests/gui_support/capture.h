// Reading what a window shows.
//
// Two ways to read a window: from its device context (what is on its surface now: GetPixel,
// BitBlt), and by asking it to paint itself into a memory bitmap (PrintWindow, which sends
// WM_PRINT; a window procedure that paints only on WM_PAINT must also answer WM_PRINTCLIENT
// with the same drawing, as the system's controls do). Under Wine a window's surface keeps its
// contents while it is covered; still, capture windows that are shown, on top and painted
// (UpdateWindow, then pumpMessages).
#ifndef GUI_SUPPORT_CAPTURE_H
#define GUI_SUPPORT_CAPTURE_H

#include <windows.h>

#include "pixel_buffer.h"

// GetPixel on the window's client DC; CLR_INVALID outside the client area.
COLORREF windowPixel(HWND window, int x, int y);
// The pixel at a client point of the window painted by PrintWindow into a memory bitmap.
COLORREF printedWindowPixel(HWND window, int x, int y);

// The client area, read from the window's DC with BitBlt.
PixelBuffer captureClient(HWND window);
// The client area painted through PrintWindow(PW_CLIENTONLY) into a memory bitmap.
PixelBuffer printClient(HWND window);
// A rectangle of the screen (whatever windows cover it).
PixelBuffer captureScreen(const RECT &screenRect);
// A rectangle of any device context, from (x, y).
PixelBuffer captureDC(HDC dc, int x, int y, int width, int height);
// What a device context holds from (0, 0), pixel by pixel through GetPixel.
PixelBuffer pixelsOf(HDC dc, int width, int height);

#endif
