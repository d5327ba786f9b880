#include "classlib/exceptions.h"
#include "classlib/graphics.h"
#include "graphics_strings.h"

void TCanvas::Create() {
    font_ = New<TFont>();
    font_->OnChange = Bind(this, &TCanvas::fontChanged);
    pen_ = New<TPen>();
    pen_->OnChange = Bind(this, &TCanvas::penChanged);
    brush_ = New<TBrush>();
    brush_->OnChange = Bind(this, &TCanvas::brushChanged);
}

void TCanvas::Destroy() {
    SetHandle(nullptr);
    FreeAndNil(font_);
    FreeAndNil(pen_);
    FreeAndNil(brush_);
    inherited::Destroy();
}

HDC TCanvas::GetHandle() {
    RequiredState({csHandleValid});
    return handle_;
}

void TCanvas::SetHandle(HDC handle) {
    if (handle == handle_)
        return;
    if (handle_ != nullptr)
        deselectHandles();
    handle_ = handle;
    state_ = handle != nullptr ? TCanvasState{csHandleValid} : TCanvasState{};
}

void TCanvas::RequiredState(TCanvasState state) {
    TCanvasState needed = state - state_;
    if (needed.Empty())
        return;
    if (needed.Contains(csHandleValid)) {
        CreateHandle();
        if (handle_ == nullptr)
            throw EInvalidOperation(LoadResString(SNoCanvasHandle));
    }
    if (needed.Contains(csFontValid))
        selectFont();
    if (needed.Contains(csPenValid))
        selectPen();
    if (needed.Contains(csBrushValid))
        selectBrush();
}

void TCanvas::deselectHandles() {
    if (handle_ == nullptr)
        return;
    if (state_.Contains(csPenValid))
        SelectObject(handle_, GetStockObject(BLACK_PEN));
    if (state_.Contains(csBrushValid))
        SelectObject(handle_, GetStockObject(HOLLOW_BRUSH));
    if (state_.Contains(csFontValid))
        SelectObject(handle_, GetStockObject(SYSTEM_FONT));
    state_ = state_ - TCanvasState{csFontValid, csPenValid, csBrushValid};
}

void TCanvas::selectFont() {
    SelectObject(handle_, font_->GetHandle());
    SetTextColor(handle_, ColorToRGB(font_->GetColor()));
    state_.Include(csFontValid);
}

void TCanvas::selectPen() {
    SelectObject(handle_, pen_->GetHandle());
    SetROP2(handle_, R2_BLACK + pen_->GetMode());
    state_.Include(csPenValid);
}

// A clear brush also makes text and hatch backgrounds transparent.
void TCanvas::selectBrush() {
    HBRUSH brush = brush_->GetHandle();
    UnrealizeObject(brush);
    SelectObject(handle_, brush);
    if (brush_->GetStyle() == bsSolid) {
        SetBkColor(handle_, ColorToRGB(brush_->GetColor()));
        SetBkMode(handle_, OPAQUE);
    } else {
        SetBkColor(handle_, ~ColorToRGB(brush_->GetColor()) & 0xFFFFFF);
        SetBkMode(handle_, TRANSPARENT);
    }
    state_.Include(csBrushValid);
}

void TCanvas::fontChanged(TObject *) {
    if (state_.Contains(csFontValid)) {
        state_.Exclude(csFontValid);
        SelectObject(handle_, GetStockObject(SYSTEM_FONT));
    }
}

void TCanvas::penChanged(TObject *) {
    if (state_.Contains(csPenValid)) {
        state_.Exclude(csPenValid);
        SelectObject(handle_, GetStockObject(BLACK_PEN));
    }
}

void TCanvas::brushChanged(TObject *) {
    if (state_.Contains(csBrushValid)) {
        state_.Exclude(csBrushValid);
        SelectObject(handle_, GetStockObject(HOLLOW_BRUSH));
    }
}

void TCanvas::SetFont(TFont *font) { font_->Assign(font); }
void TCanvas::SetBrush(TBrush *brush) { brush_->Assign(brush); }
void TCanvas::SetPen(TPen *pen) { pen_->Assign(pen); }

void TCanvas::Changing() {
    if (OnChanging)
        OnChanging(this);
}

void TCanvas::Changed() {
    if (OnChange)
        OnChange(this);
}

void TCanvas::Refresh() { deselectHandles(); }

TPoint TCanvas::GetPenPos() {
    RequiredState({csHandleValid});
    TPoint pos{};
    GetCurrentPositionEx(handle_, &pos);
    return pos;
}

void TCanvas::SetPenPos(TPoint pos) { MoveTo(pos.x, pos.y); }

void TCanvas::MoveTo(int x, int y) {
    RequiredState({csHandleValid});
    MoveToEx(handle_, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    ::LineTo(handle_, x, y);
    Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    ::Rectangle(handle_, x1, y1, x2, y2);
    Changed();
}

void TCanvas::Rectangle(const TRect &rect) { Rectangle(rect.left, rect.top, rect.right, rect.bottom); }

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    ::Ellipse(handle_, x1, y1, x2, y2);
    Changed();
}

void TCanvas::Ellipse(const TRect &rect) { Ellipse(rect.left, rect.top, rect.right, rect.bottom); }

void TCanvas::Polygon(const TPoint *points, int count) {
    if (points == nullptr || count <= 0)
        return;
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    ::Polygon(handle_, points, count);
    Changed();
}

void TCanvas::Polyline(const TPoint *points, int count) {
    if (points == nullptr || count <= 0)
        return;
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    ::Polyline(handle_, points, count);
    Changed();
}

void TCanvas::FillRect(const TRect &rect) {
    Changing();
    RequiredState({csHandleValid, csBrushValid});
    ::FillRect(handle_, &rect, brush_->GetHandle());
    Changed();
}

void TCanvas::FrameRect(const TRect &rect) {
    Changing();
    RequiredState({csHandleValid, csBrushValid});
    ::FrameRect(handle_, &rect, brush_->GetHandle());
    Changed();
}

void TCanvas::DrawFocusRect(const TRect &rect) {
    Changing();
    RequiredState({csHandleValid, csBrushValid});
    ::DrawFocusRect(handle_, &rect);
    Changed();
}

void TCanvas::Draw(int x, int y, TGraphic *graphic) {
    if (graphic == nullptr || graphic->Empty())
        return;
    StretchDraw(TRect{x, y, x + graphic->GetWidth(), y + graphic->GetHeight()}, graphic);
}

void TCanvas::StretchDraw(const TRect &rect, TGraphic *graphic) {
    if (graphic == nullptr || graphic->Empty())
        return;
    Changing();
    RequiredState({csHandleValid});
    graphic->Draw(this, rect);
    Changed();
}

void TCanvas::CopyRect(const TRect &dest, TCanvas *canvas, const TRect &source) {
    if (canvas == nullptr)
        return;
    Changing();
    RequiredState({csHandleValid, csFontValid, csBrushValid});
    canvas->RequiredState({csHandleValid, csBrushValid});
    StretchBlt(handle_, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, canvas->handle_,
               source.left, source.top, source.right - source.left, source.bottom - source.top, copyMode_);
    Changed();
}

void TCanvas::TextOut(int x, int y, const std::wstring &text) {
    Changing();
    RequiredState({csHandleValid, csFontValid, csBrushValid});
    ExtTextOutW(handle_, x, y, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
    SIZE size{};
    GetTextExtentPoint32W(handle_, text.c_str(), static_cast<int>(text.size()), &size);
    MoveToEx(handle_, x + size.cx, y, nullptr);
    Changed();
}

void TCanvas::TextRect(const TRect &rect, int x, int y, const std::wstring &text) {
    Changing();
    RequiredState({csHandleValid, csFontValid, csBrushValid});
    UINT options = ETO_CLIPPED;
    if (brush_->GetStyle() != bsClear)
        options |= ETO_OPAQUE;
    ExtTextOutW(handle_, x, y, options, &rect, text.c_str(), static_cast<UINT>(text.size()), nullptr);
    Changed();
}

TSize TCanvas::TextExtent(const std::wstring &text) {
    RequiredState({csHandleValid, csFontValid});
    TSize size{};
    GetTextExtentPoint32W(handle_, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

int TCanvas::TextWidth(const std::wstring &text) { return TextExtent(text).cx; }
int TCanvas::TextHeight(const std::wstring &text) { return TextExtent(text).cy; }

TColor TCanvas::GetPixel(int x, int y) {
    RequiredState({csHandleValid});
    return static_cast<TColor>(::GetPixel(handle_, x, y));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    Changing();
    RequiredState({csHandleValid, csPenValid});
    SetPixelV(handle_, x, y, ColorToRGB(color));
    Changed();
}

TRect TCanvas::GetClipRect() {
    RequiredState({csHandleValid});
    TRect rect{};
    GetClipBox(handle_, &rect);
    return rect;
}
