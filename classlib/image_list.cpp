#include "classlib/image_list.h"

#include "classlib/exceptions.h"
#include "graphics_strings.h"

void TCustomImageList::Create(TComponent *owner) { inherited::Create(owner); }

void TCustomImageList::Destroy() {
    if (handle_ != nullptr)
        ImageList_Destroy(handle_);
    handle_ = nullptr;
    inherited::Destroy();
}

HIMAGELIST TCustomImageList::GetHandle() {
    if (handle_ == nullptr) {
        handle_ = ImageList_Create(width_, height_, ILC_COLOR32 | ILC_MASK, 4, 4);
        if (handle_ == nullptr)
            throw EOutOfResources(LoadResString(SOutOfResources));
    }
    return handle_;
}

void TCustomImageList::setSize(int width, int height) {
    if (width <= 0 || height <= 0 || (width == width_ && height == height_))
        return;
    width_ = width;
    height_ = height;
    if (handle_ != nullptr) {
        ImageList_Destroy(handle_);
        handle_ = nullptr;
    }
}

void TCustomImageList::SetWidth(int width) { setSize(width, height_); }
void TCustomImageList::SetHeight(int height) { setSize(width_, height); }

int TCustomImageList::GetCount() { return handle_ != nullptr ? ImageList_GetImageCount(handle_) : 0; }

int TCustomImageList::Add(TBitmap *image, TBitmap *mask) {
    if (image == nullptr || image->Empty())
        throw EInvalidOperation(LoadResString(SInsertImage));
    // Copies, so that the list's use of the handles leaves the caller's bitmaps alone.
    TOwned<TBitmap> imageCopy(New<TBitmap>());
    imageCopy->Assign(image);
    TOwned<TBitmap> maskCopy;
    if (mask != nullptr && !mask->Empty()) {
        maskCopy.reset(New<TBitmap>());
        maskCopy->Assign(mask);
        maskCopy->SetMonochrome(true);
    }
    int index = ImageList_Add(GetHandle(), imageCopy->GetHandle(), maskCopy ? maskCopy->GetHandle() : nullptr);
    if (index < 0)
        throw EInvalidOperation(LoadResString(SInsertImage));
    return index;
}

int TCustomImageList::AddMasked(TBitmap *image, TColor maskColor) {
    if (image == nullptr || image->Empty())
        throw EInvalidOperation(LoadResString(SInsertImage));
    // The list blackens the masked pixels of what it is given: it gets a copy.
    TOwned<TBitmap> imageCopy(New<TBitmap>());
    imageCopy->Assign(image);
    int index = ImageList_AddMasked(GetHandle(), imageCopy->GetHandle(), ColorToRGB(maskColor));
    if (index < 0)
        throw EInvalidOperation(LoadResString(SInsertImage));
    return index;
}

void TCustomImageList::Delete(int index) {
    if (index < 0 || index >= GetCount())
        throw EInvalidOperation(LoadResString(SImageIndexError));
    ImageList_Remove(handle_, index);
}

void TCustomImageList::Clear() {
    if (handle_ != nullptr)
        ImageList_Remove(handle_, -1);
}

void TCustomImageList::Draw(TCanvas *canvas, int x, int y, int index, bool enabled) {
    if (canvas == nullptr || index < 0 || index >= GetCount())
        return;
    if (!enabled) {
        drawDisabled(canvas, x, y, index);
        return;
    }
    ImageList_DrawEx(handle_, index, canvas->GetHandle(), x, y, 0, 0, CLR_NONE, CLR_NONE, ILD_NORMAL | ILD_TRANSPARENT);
}

// The picture on white turns monochrome (white stays white, everything else black); the black
// shape is then painted twice through it.
void TCustomImageList::drawDisabled(TCanvas *canvas, int x, int y, int index) {
    TOwned<TBitmap> shape(New<TBitmap>());
    shape->SetSize(width_, height_);
    ImageList_DrawEx(handle_, index, shape->GetCanvas()->GetHandle(), 0, 0, 0, 0, CLR_NONE, CLR_NONE,
                     ILD_NORMAL | ILD_TRANSPARENT);
    shape->SetMonochrome(true);

    HDC dest = canvas->GetHandle();
    HDC source = shape->GetCanvas()->GetHandle();
    COLORREF oldText = SetTextColor(dest, RGB(0, 0, 0));
    COLORREF oldBack = SetBkColor(dest, RGB(255, 255, 255));
    // Where the source is black the brush is painted, elsewhere the destination stays.
    constexpr DWORD ropPaintThroughBlack = 0x00B8074A;
    const struct {
        TColor color;
        int offset;
    } layers[] = {{clBtnHighlight, 1}, {clBtnShadow, 0}};
    for (const auto &layer : layers) {
        HBRUSH brush = CreateSolidBrush(ColorToRGB(layer.color));
        HGDIOBJ oldBrush = SelectObject(dest, brush);
        BitBlt(dest, x + layer.offset, y + layer.offset, width_, height_, source, 0, 0, ropPaintThroughBlack);
        SelectObject(dest, oldBrush);
        DeleteObject(brush);
    }
    SetTextColor(dest, oldText);
    SetBkColor(dest, oldBack);
}
