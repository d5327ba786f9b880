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

#endif
