#include "classlib/image_list.h"

// The platform keeps one drag picture for the whole program; this list owns it while dragging_.

void TDragImageList::Destroy() {
    EndDrag();
    inherited::Destroy();
}

bool TDragImageList::SetDragImage(int index, int hotSpotX, int hotSpotY) {
    if (index < 0 || index >= GetCount())
        return false;
    dragIndex_ = index;
    // A drag already running keeps its picture.
    hotspot_ = TPoint{hotSpotX, hotSpotY};
    return true;
}

bool TDragImageList::BeginDrag(HWND window, int x, int y) {
    EndDrag();
    if (dragIndex_ < 0 || dragIndex_ >= GetCount())
        return false;
    if (!ImageList_BeginDrag(GetHandle(), dragIndex_, hotspot_.x, hotspot_.y))
        return false;
    dragging_ = true;
    return window == nullptr || DragLock(window, x, y);
}

bool TDragImageList::DragLock(HWND window, int x, int y) {
    if (!dragging_ || window == nullptr)
        return false;
    if (window == lockedWindow_)
        return DragMove(x, y);
    DragUnlock();
    if (!ImageList_DragEnter(window, x, y))
        return false;
    lockedWindow_ = window;
    return true;
}

void TDragImageList::DragUnlock() {
    if (lockedWindow_ == nullptr)
        return;
    // A window already gone has nothing left to restore.
    ImageList_DragLeave(IsWindow(lockedWindow_) ? lockedWindow_ : nullptr);
    lockedWindow_ = nullptr;
}

bool TDragImageList::DragMove(int x, int y) { return dragging_ && lockedWindow_ != nullptr && ImageList_DragMove(x, y); }

void TDragImageList::HideDragImage() {
    if (dragging_ && lockedWindow_ != nullptr)
        ImageList_DragShowNolock(FALSE);
}

void TDragImageList::ShowDragImage() {
    if (dragging_ && lockedWindow_ != nullptr)
        ImageList_DragShowNolock(TRUE);
}

bool TDragImageList::EndDrag() {
    if (!dragging_)
        return false;
    DragUnlock();
    ImageList_EndDrag();
    dragging_ = false;
    return true;
}
