// The drag manager's hooks inside the library: the controls and windows tell it what concerns a
// running drag.
#ifndef CLASSLIB_DRAG_MANAGER_H
#define CLASSLIB_DRAG_MANAGER_H

#include <windows.h>

class TControl;

// Ends the drag of a control being destroyed (not dropped) and forgets it as a target.
void DragControlDestroying(TControl *control) noexcept;
// A key while a drag runs: Esc cancels it, Ctrl going down or up asks the target again (the
// cursor may change). True when the key was the drag's.
bool DragKeyMessage(UINT msg, WPARAM key);

#endif
