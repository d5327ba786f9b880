// TkvCustomEditViewInfo: the editor's picture, its comparison and its painting.
#include <classlib/exceptions.h>

#include <algorithm>

#include "kvEditFramePainting.h"
#include "kvEditPaintUtils.h"
#include "kvEditViewInfo.h"
#include "ztOffice11.h"

namespace {

bool sameRect(const TRect &a, const TRect &b) noexcept { return EqualRect(&a, &b) != FALSE; }

bool inside(const TRect &inner, const TRect &outer) noexcept {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

} // namespace

void Office11ButtonGradientColors(int state, TColor &top, TColor &bottom) {
    switch (state) {
    case kvebsHot:
        top = Office11Color(10);
        bottom = Office11Color(11);
        break;
    case kvebsPressed:
        top = Office11Color(12);
        bottom = Office11Color(13);
        break;
    default:
        top = Office11Color(3);
        bottom = Office11Color(4);
        break;
    }
}

void TkvCustomEditViewInfo::Create() {
    inherited::Create();
    PressedButton = -1;
    HotButton = -1;
}

void TkvCustomEditViewInfo::Destroy() {
    SetButtonCount(0);
    inherited::Destroy();
}

void TkvCustomEditViewInfo::SetButtonCount(int count) {
    count = std::max(count, 0);
    while (buttons_.Count() > count) {
        TkvEditButtonViewInfo *button = buttons_.Last();
        buttons_.Delete(buttons_.Count() - 1);
        ::Free(button);
    }
    while (buttons_.Count() < count) {
        TOwned<TkvEditButtonViewInfo> button(NewOf<TkvEditButtonViewInfo>(ButtonViewInfoClass()));
        button->Index = buttons_.Count();
        buttons_.Add(button.get());
        button.release();
    }
}

void TkvCustomEditViewInfo::Assign(TkvContainerViewInfo *source) {
    if (auto *edit = dynamic_cast<TkvCustomEditViewInfo *>(source)) {
        SetBackgroundColor(edit->BackgroundColor);
        BorderColor = edit->BorderColor;
        BorderStyle = edit->BorderStyle;
        ContainerState = edit->ContainerState;
        NativeState = edit->NativeState;
        SetButtonCount(edit->ButtonCount());
        for (int i = 0; i < ButtonCount(); ++i) {
            Button(i)->Assign(edit->Button(i));
            Button(i)->Index = edit->Button(i)->Index;
        }
        PressedButton = edit->PressedButton;
        HotButton = edit->HotButton;
    }
    inherited::Assign(source);
}

TkvRegion *TkvCustomEditViewInfo::CreateInvalidRegion() { return inherited::CreateInvalidRegion(); }

TkvRegion *TkvCustomEditViewInfo::CreateInvalidRegion(TkvCustomEditViewInfo *old) {
    TOwned<TkvRegion> region(inherited::CreateInvalidRegion());
    if (old == nullptr) {
        region->Combine(TkvRegion::CreateFromRect(Bounds), rgnopOr);
        return region.release();
    }
    bool sameFrame = BorderColor == old->BorderColor && BorderStyle == old->BorderStyle &&
                     ButtonCount() == old->ButtonCount() && NativeState == old->NativeState;
    if (sameFrame) {
        for (int i = 0; i < ButtonCount(); ++i)
            region->Combine(Button(i)->GetUpdateRegion(old->Button(i)), rgnopOr);
    } else {
        region->Combine(TkvRegion::CreateFromRect(Bounds), rgnopOr);
    }
    return region.release();
}

void TkvCustomEditViewInfo::MoveBy(int dx, int dy) {
    inherited::MoveBy(dx, dy);
    OffsetRect(&InnerEditRect, dx, dy);
    for (int i = 0; i < ButtonCount(); ++i) {
        OffsetRect(&Button(i)->Bounds, dx, dy);
        OffsetRect(&Button(i)->Data.ContentRect, dx, dy);
    }
}

void TkvCustomEditViewInfo::Draw(TkvCanvas *canvas) { DrawBackground(canvas); }

void TkvCustomEditViewInfo::DrawBorder(TkvCanvas *canvas, TRect r) {
    if (BorderStyle == cbsUltraFlat || BorderStyle == cbsOffice11) {
        canvas->FrameRect(r, BorderColor, false, Edges, 1);
        return;
    }
    inherited::DrawBorder(canvas, r);
}

void TkvCustomEditViewInfo::DrawBackground(TkvCanvas *canvas) { DrawEditBackground(canvas, this, EraseBackground); }

void TkvCustomEditViewInfo::DrawButtons(TkvCanvas *canvas) {
    if (WindowDrawsButtons || painting_)
        return;
    painting_ = true;
    try {
        for (int i = 0; i < ButtonCount(); ++i)
            DrawButton(canvas, i);
    } catch (...) {
        painting_ = false;
        throw;
    }
    painting_ = false;
}

void TkvCustomEditViewInfo::DrawButton(TkvCanvas *canvas, int index) {
    TkvEditButtonViewInfo *button = Button(index);
    if (!button->Data.HasOwnBackground)
        button->Data.BackgroundColor = BackgroundColor;
    // A button reaching past the frame is cut at the border rectangle.
    const bool clip = !inside(button->Data.ContentRect, BorderRect);
    int saved = 0;
    if (clip) {
        saved = SaveDC(canvas->GetHandle());
        canvas->IntersectClipRect(BorderRect);
    }
    try {
        if (!(OnDrawButton && OnDrawButton(this, canvas, index))) {
            TRect rect = button->Bounds;
            TkvEditButtonPaintContext context = ButtonPaintContext;
            context.BorderRect = BorderRect;
            context.BackgroundDrawn = true;
            context.DrawBackground = [this, index](TkvCanvas *c, const TRect &r) { DrawButtonBackground(c, r, index); };
            DrawEditButtonBorder(canvas, button, rect, context);
            DrawButtonBackground(canvas, rect, index);
            DrawEditButtonContent(canvas, button, rect, context);
        }
    } catch (...) {
        if (clip)
            RestoreDC(canvas->GetHandle(), saved);
        throw;
    }
    if (clip)
        RestoreDC(canvas->GetHandle(), saved);
}

void TkvCustomEditViewInfo::DrawButtonBackground(TkvCanvas *canvas, const TRect &rect, int index) {
    if (OnDrawButtonBackground && OnDrawButtonBackground(this, canvas, rect, index))
        return;
    TkvEditButtonViewInfo *button = Button(index);
    if (button->Data.Style != btsOffice11 || !button->HasBackground || button->State == kvebsDisabled)
        return; // the frame painting filled it solid
    // The column of the button over the frame's height, inside what the frame left.
    TRect column{button->Bounds.left, BorderRect.top, button->Bounds.right, BorderRect.bottom};
    if (button->State == kvebsNormal)
        InflateRect(&column, 0, -1);
    TRect area{};
    if (!IntersectRect(&area, &column, &rect))
        return;
    TColor top;
    TColor bottom;
    Office11ButtonGradientColors(button->State, top, bottom);
    FillGradientRect(canvas->GetHandle(), area, top, bottom, false);
}

int TkvCustomEditViewInfo::GetFirstPressedButton() const {
    for (int i = 0; i < ButtonCount(); ++i)
        if (Button(i)->State == kvebsPressed)
            return i;
    return -1;
}

int TkvCustomEditViewInfo::ButtonAt(const TPoint &point) const {
    for (int i = 0; i < ButtonCount(); ++i)
        if (PtInRect(&Button(i)->Bounds, point))
            return i;
    return -1;
}

bool TkvCustomEditViewInfo::IsPointOnButton(const TPoint &point) const { return ButtonAt(point) >= 0; }

bool TkvCustomEditViewInfo::Repaint(HWND window, TkvCustomEditViewInfo *old, bool stateMatters) {
    if (window == nullptr || old == nullptr)
        return false;
    bool any = false;
    const bool contentChanged = NativeState != old->NativeState || BackgroundColor != old->BackgroundColor ||
                                (stateMatters && !(ContainerState == old->ContainerState)) ||
                                ButtonCount() != old->ButtonCount();
    if (contentChanged) {
        TRect client{};
        GetClientRect(window, &client);
        TRect r{};
        if (IntersectRect(&r, &InnerEditRect, &client)) {
            InvalidateRect(window, &r, TRUE);
            any = true;
        }
    } else if (BorderColor != old->BorderColor || BorderStyle != old->BorderStyle ||
               !sameRect(BorderRect, old->BorderRect)) {
        InvalidateRect(window, &BorderRect, TRUE);
        any = true;
    }
    if (ButtonCount() == old->ButtonCount())
        for (int i = 0; i < ButtonCount(); ++i)
            any = Button(i)->Repaint(window, old->Button(i), TPoint{0, 0}) || any;
    return any;
}
