// The library's own drag cursors: the arrow with a page (one drag) or a stack of pages (several).
#ifndef CLASSLIB_DRAG_CURSORS_H
#define CLASSLIB_DRAG_CURSORS_H

#include <windows.h>

// A new cursor the caller destroys; null when the system refuses.
HCURSOR CreateDragCursor(bool multiple) noexcept;

#endif
