#include "classlib/forms.h"

#include "drag_cursors.h"

TScreen *Screen = nullptr;

namespace {

const wchar_t *stockCursor(TCursor id) {
    switch (id) {
    case crDefault:
    case crArrow:
        return IDC_ARROW;
    case crCross:
        return IDC_CROSS;
    case crIBeam:
        return IDC_IBEAM;
    case crSizeNESW:
        return IDC_SIZENESW;
    case crSizeNS:
    case crVSplit:
        return IDC_SIZENS;
    case crSizeNWSE:
        return IDC_SIZENWSE;
    case crSizeWE:
    case crHSplit:
        return IDC_SIZEWE;
    case crUpArrow:
        return IDC_UPARROW;
    case crHourGlass:
    case crSQLWait:
        return IDC_WAIT;
    case crNoDrop:
    case crNo:
        return IDC_NO;
    case crAppStart:
        return IDC_APPSTARTING;
    case crHelp:
        return IDC_HELP;
    case crHandPoint:
        return IDC_HAND;
    case crSizeAll:
        return IDC_SIZEALL;
    default:
        return nullptr;
    }
}

} // namespace

void TScreen::Create(TComponent *owner) {
    inherited::Create(owner);
    HDC dc = GetDC(nullptr);
    if (dc != nullptr) {
        pixelsPerInch_ = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(nullptr, dc);
    }
    menuFont_ = New<TFont>();
    iconFont_ = New<TFont>();
    loadMetricsFonts();
}

void TScreen::loadMetricsFonts() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        if (HFONT font = CreateFontIndirectW(&metrics.lfMenuFont))
            menuFont_->SetHandle(font);
    }
    LOGFONTW icon{};
    if (SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(icon), &icon, 0)) {
        if (HFONT font = CreateFontIndirectW(&icon))
            iconFont_->SetHandle(font);
    }
}

void TScreen::Destroy() {
    for (HCURSOR cursor : ownCursors_)
        DestroyCursor(cursor);
    ownCursors_.clear();
    FreeAndNil(menuFont_);
    FreeAndNil(iconFont_);
    inherited::Destroy();
}

HCURSOR TScreen::Cursors(TCursor id) {
    if (id == crNone)
        return nullptr;
    auto it = cursors_.find(id);
    if (it != cursors_.end())
        return it->second;
    if (id == crDrag || id == crMultiDrag) {
        if (HCURSOR cursor = CreateDragCursor(id == crMultiDrag)) {
            ownCursors_.push_back(cursor);
            cursors_[id] = cursor;
            return cursor;
        }
    }
    const wchar_t *stock = stockCursor(id);
    HCURSOR cursor = LoadCursorW(nullptr, stock != nullptr ? stock : IDC_ARROW);
    if (stock != nullptr)
        cursors_[id] = cursor;
    return cursor;
}

void TScreen::SetCursors(TCursor id, HCURSOR cursor) {
    if (cursor == nullptr)
        cursors_.erase(id);
    else
        cursors_[id] = cursor;
}

void TScreen::SetCursor(TCursor value) {
    cursor_ = value;
    if (value != crDefault) {
        ::SetCursor(Cursors(value));
        return;
    }
    // Back to the cursors of the controls: the window under the mouse chooses again.
    TPoint p{};
    GetCursorPos(&p);
    HWND window = WindowFromPoint(p);
    if (window != nullptr && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        auto hit = SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
        SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(hit, WM_MOUSEMOVE));
    }
}

TRect TScreen::WorkAreaRect() {
    TRect r{0, 0, Width(), Height()};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

void TScreen::removeForm(TCustomForm *form) {
    forms_.Remove(form);
    if (activeForm_ == form)
        activeForm_ = nullptr;
    if (focusedForm_ == form) {
        focusedForm_ = nullptr;
        activeControl_ = nullptr;
    }
    if (activeControl_ != nullptr && form->ContainsControl(activeControl_))
        activeControl_ = nullptr;
}

void TScreen::setFocused(TCustomForm *form, TWinControl *control) {
    bool formChanged = activeForm_ != form;
    focusedForm_ = form;
    activeForm_ = form;
    activeControl_ = control;
    if (formChanged && OnActiveFormChange)
        OnActiveFormChange(this);
    if (OnActiveControlChange)
        OnActiveControlChange(this);
}
