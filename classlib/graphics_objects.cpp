#include <algorithm>

#include "classlib/exceptions.h"
#include "classlib/graphics.h"
#include "graphics_strings.h"

namespace {

[[noreturn]] void raiseOutOfResources() { throw EOutOfResources(LoadResString(SOutOfResources)); }

} // namespace

void TGraphicsObject::Changed() {
    if (OnChange)
        OnChange(this);
}

// --- font

void TFont::Create() {
    name_ = L"MS Sans Serif";
    height_ = -MulDiv(8, ScreenPixelsPerInch(), 72);
}

void TFont::Destroy() {
    if (handle_ != nullptr)
        DeleteObject(handle_);
    handle_ = nullptr;
    inherited::Destroy();
}

// Users hear of the change while the old handle still exists, so that a canvas can deselect it
// before it goes.
void TFont::propertyChanged() {
    HFONT old = handle_;
    handle_ = nullptr;
    Changed();
    if (old != nullptr)
        DeleteObject(old);
}

HFONT TFont::GetHandle() {
    if (handle_ == nullptr) {
        LOGFONTW font{};
        font.lfHeight = height_;
        font.lfWeight = style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
        font.lfItalic = style_.Contains(fsItalic) ? TRUE : FALSE;
        font.lfUnderline = style_.Contains(fsUnderline) ? TRUE : FALSE;
        font.lfStrikeOut = style_.Contains(fsStrikeOut) ? TRUE : FALSE;
        font.lfCharSet = charset_;
        font.lfOutPrecision = OUT_DEFAULT_PRECIS;
        font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        font.lfQuality = DEFAULT_QUALITY;
        font.lfPitchAndFamily = DEFAULT_PITCH;
        std::size_t length = std::min<std::size_t>(name_.size(), LF_FACESIZE - 1);
        std::copy_n(name_.c_str(), length, font.lfFaceName);
        handle_ = CreateFontIndirectW(&font);
        if (handle_ == nullptr)
            raiseOutOfResources();
    }
    return handle_;
}

void TFont::SetHandle(HFONT handle) {
    if (handle == handle_)
        return;
    LOGFONTW font{};
    if (handle != nullptr && GetObjectW(handle, sizeof font, &font) == sizeof font) {
        font.lfFaceName[LF_FACESIZE - 1] = L'\0';
        name_ = font.lfFaceName;
        height_ = font.lfHeight;
        TFontStyles style;
        if (font.lfWeight >= FW_BOLD)
            style.Include(fsBold);
        if (font.lfItalic != 0)
            style.Include(fsItalic);
        if (font.lfUnderline != 0)
            style.Include(fsUnderline);
        if (font.lfStrikeOut != 0)
            style.Include(fsStrikeOut);
        style_ = style;
        charset_ = font.lfCharSet;
    }
    HFONT old = handle_;
    handle_ = handle;
    Changed();
    if (old != nullptr)
        DeleteObject(old);
}

void TFont::SetName(const std::wstring &name) {
    if (name.empty() || name == name_)
        return;
    name_ = name;
    propertyChanged();
}

void TFont::SetHeight(int height) {
    if (height == height_)
        return;
    height_ = height;
    propertyChanged();
}

int TFont::GetSize() const { return -MulDiv(height_, 72, ScreenPixelsPerInch()); }

void TFont::SetSize(int size) { SetHeight(-MulDiv(size, ScreenPixelsPerInch(), 72)); }

void TFont::SetStyle(TFontStyles style) {
    if (style == style_)
        return;
    style_ = style;
    propertyChanged();
}

// The colour is not part of the handle; only the users hear of it.
void TFont::SetColor(TColor color) {
    if (color == color_)
        return;
    color_ = color;
    Changed();
}

void TFont::SetCharset(BYTE charset) {
    if (charset == charset_)
        return;
    charset_ = charset;
    propertyChanged();
}

void TFont::Assign(TPersistent *source) {
    auto *font = dynamic_cast<TFont *>(source);
    if (font == nullptr) {
        inherited::Assign(source);
        return;
    }
    if (font == this)
        return;
    name_ = font->name_;
    height_ = font->height_;
    style_ = font->style_;
    color_ = font->color_;
    charset_ = font->charset_;
    propertyChanged();
}

// --- brush

void TBrush::Create() {}

void TBrush::Destroy() {
    if (handle_ != nullptr)
        DeleteObject(handle_);
    handle_ = nullptr;
    inherited::Destroy();
}

void TBrush::propertyChanged() {
    HBRUSH old = handle_;
    handle_ = nullptr;
    Changed();
    if (old != nullptr)
        DeleteObject(old);
}

HBRUSH TBrush::GetHandle() {
    if (handle_ == nullptr) {
        LOGBRUSH brush{};
        brush.lbColor = ColorToRGB(color_);
        if (bitmap_ != nullptr && !bitmap_->Empty()) {
            handle_ = CreatePatternBrush(bitmap_->GetHandle());
        } else {
            switch (style_) {
            case bsSolid:
                brush.lbStyle = BS_SOLID;
                break;
            case bsClear:
                brush.lbStyle = BS_NULL;
                break;
            default:
                brush.lbStyle = BS_HATCHED;
                brush.lbHatch = style_ - bsHorizontal + HS_HORIZONTAL;
                break;
            }
            handle_ = CreateBrushIndirect(&brush);
        }
        if (handle_ == nullptr)
            raiseOutOfResources();
    }
    return handle_;
}

void TBrush::SetColor(TColor color) {
    if (color == color_ && style_ != bsClear)
        return;
    color_ = color;
    if (style_ == bsClear)
        style_ = bsSolid;
    propertyChanged();
}

void TBrush::SetStyle(TBrushStyle style) {
    if (style == style_)
        return;
    style_ = style;
    propertyChanged();
}

void TBrush::SetBitmap(TBitmap *bitmap) {
    if (bitmap == bitmap_)
        return;
    bitmap_ = bitmap;
    propertyChanged();
}

void TBrush::Assign(TPersistent *source) {
    auto *brush = dynamic_cast<TBrush *>(source);
    if (brush == nullptr) {
        inherited::Assign(source);
        return;
    }
    if (brush == this)
        return;
    color_ = brush->color_;
    style_ = brush->style_;
    bitmap_ = brush->bitmap_;
    propertyChanged();
}

// --- pen

void TPen::Create() {}

void TPen::Destroy() {
    if (handle_ != nullptr)
        DeleteObject(handle_);
    handle_ = nullptr;
    inherited::Destroy();
}

void TPen::propertyChanged() {
    HPEN old = handle_;
    handle_ = nullptr;
    Changed();
    if (old != nullptr)
        DeleteObject(old);
}

HPEN TPen::GetHandle() {
    if (handle_ == nullptr) {
        static constexpr int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
        handle_ = CreatePen(styles[style_], width_, ColorToRGB(color_));
        if (handle_ == nullptr)
            raiseOutOfResources();
    }
    return handle_;
}

void TPen::SetColor(TColor color) {
    if (color == color_)
        return;
    color_ = color;
    propertyChanged();
}

void TPen::SetWidth(int width) {
    if (width < 0 || width == width_)
        return;
    width_ = width;
    propertyChanged();
}

void TPen::SetStyle(TPenStyle style) {
    if (style == style_)
        return;
    style_ = style;
    propertyChanged();
}

// The mode is a state of the context, not of the handle.
void TPen::SetMode(TPenMode mode) {
    if (mode == mode_)
        return;
    mode_ = mode;
    Changed();
}

void TPen::Assign(TPersistent *source) {
    auto *pen = dynamic_cast<TPen *>(source);
    if (pen == nullptr) {
        inherited::Assign(source);
        return;
    }
    if (pen == this)
        return;
    color_ = pen->color_;
    width_ = pen->width_;
    style_ = pen->style_;
    mode_ = pen->mode_;
    propertyChanged();
}
