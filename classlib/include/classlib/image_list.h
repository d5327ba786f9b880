// Image lists: pictures of one size kept in a common-controls image list.
//
// Stands in for the compiler library's image list component. The platform list is made on first
// use; pictures added are copied into it (the caller keeps its bitmaps). A disabled picture is
// drawn embossed: its dark shape in clBtnHighlight one pixel right and down, then in clBtnShadow.
#ifndef CLASSLIB_IMAGE_LIST_H
#define CLASSLIB_IMAGE_LIST_H

#include <windows.h>

#include <commctrl.h>

#include "component.h"
#include "graphics.h"

class TCustomImageList : public TComponent {
    CL_CLASS(TCustomImageList, TComponent)

public:
    // 16 by 16 pixels.
    void Create(TComponent *owner) override;

    int GetWidth() const noexcept { return width_; }
    // A new size empties the list.
    void SetWidth(int width);
    int GetHeight() const noexcept { return height_; }
    void SetHeight(int height);
    int GetCount();

    // Adds the picture (several when it is a multiple of the width wide) with an optional mask
    // (white pixels transparent); returns the index of the first. Raises EInvalidOperation when
    // the list refuses it.
    int Add(TBitmap *image, TBitmap *mask);
    // Adds the picture with every pixel of the colour transparent.
    int AddMasked(TBitmap *image, TColor maskColor);
    void Delete(int index);
    void Clear();
    // Draws the picture at the point; an index outside the list draws nothing.
    void Draw(TCanvas *canvas, int x, int y, int index, bool enabled = true);

    // Made on first use; owned by the list.
    HIMAGELIST GetHandle();
    bool HandleAllocated() const noexcept { return handle_ != nullptr; }

protected:
    void Destroy() override;

private:
    void setSize(int width, int height);
    void drawDisabled(TCanvas *canvas, int x, int y, int index);

    HIMAGELIST handle_ = nullptr;
    int width_ = 16;
    int height_ = 16;
};

class TImageList : public TCustomImageList {
    CL_CLASS(TImageList, TCustomImageList)
};

// An image list whose picture follows the mouse during a drag, drawn into a window over what
// the window shows (the background under it is kept and put back). One drag image runs at a
// time in a program. Points are in the window's coordinates (its top left corner, not its
// client area).
class TDragImageList : public TCustomImageList {
    CL_CLASS(TDragImageList, TCustomImageList)

public:
    // The picture dragged and the point of it that sits under the cursor; false for an index
    // outside the list.
    bool SetDragImage(int index, int hotSpotX, int hotSpotY);
    int DragIndex() const noexcept { return dragIndex_; }
    TPoint DragHotspot() const noexcept { return hotspot_; }
    // Starts the drag of the picture and shows it in the window at the point.
    bool BeginDrag(HWND window, int x, int y);
    // Shows the picture in another window (DragUnlock first) / takes it out of the window.
    bool DragLock(HWND window, int x, int y);
    void DragUnlock();
    bool DragMove(int x, int y);
    void HideDragImage();
    void ShowDragImage();
    bool EndDrag();
    bool Dragging() const noexcept { return dragging_; }
    // The window the picture is shown in, or null.
    HWND LockedWindow() const noexcept { return lockedWindow_; }

protected:
    void Destroy() override;

private:
    int dragIndex_ = 0;
    TPoint hotspot_{};
    bool dragging_ = false;
    HWND lockedWindow_ = nullptr;
};

#endif
