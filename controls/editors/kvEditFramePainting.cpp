// The editor's background and frame.
#include "kvEditFramePainting.h"

#include "kvEditPaintUtils.h"
#include "kvEditProperties.h"
#include "ztThemeManager.h"
#include "ztUxTheme.h"

namespace {

void fill(TkvCanvas *canvas, const TRect &rect, HBRUSH brush) {
    if (rect.right > rect.left && rect.bottom > rect.top)
        ::FillRect(canvas->GetHandle(), &rect, brush);
}

// Around the client rectangle rather than the border extent: with a transparent border that
// extent is wider than the frame, and the window region cuts the outer ring off.
void drawFrame(TkvCanvas *canvas, TkvCustomEditViewInfo *info) {
    const int saved = SaveDC(canvas->GetHandle());
    info->DrawShadowAndBorder(canvas, info->ClientRect);
    RestoreDC(canvas->GetHandle(), saved);
}

} // namespace

void DrawEditBackground(TkvCanvas *canvas, TkvCustomEditViewInfo *info, bool erase) {
    HDC dc = canvas->GetHandle();
    HBRUSH brush = CachedSolidBrush(info->BackgroundColor);
    const bool transparent = info->ButtonPaintContext.Transparent;
    const bool inPlace = info->ButtonPaintContext.InPlace;
    int saved = 0;
    const bool clipButtons =
        info->ButtonCount() > 0 &&
        !(info->Button(0)->Data.NativeState != 0 && info->Button(0)->Data.IsPartiallyTransparent);
    if (clipButtons) {
        saved = SaveDC(dc);
        for (int i = 0; i < info->ButtonCount(); ++i)
            canvas->ExcludeClipRect(info->Button(i)->Bounds);
    }
    try {
        if (!(info->OnDrawBackground && info->OnDrawBackground(info, canvas))) {
            if (info->NativeStyle && !inPlace && info->BorderStyle != cbsNone) {
                HTHEME theme = OpenThemeForKind(totEdit);
                TRect inner = info->Bounds;
                if (theme == nullptr ||
                    FAILED(zt::GetThemeBackgroundContentRect(theme, dc, 1, info->NativeState, info->Bounds, inner))) {
                    inner = info->Bounds;
                    InflateRect(&inner, -3, -3);
                    inner.right = info->ClientRect.right - 1;
                }
                if (theme != nullptr) {
                    const int clip = SaveDC(dc);
                    canvas->ExcludeClipRect(inner);
                    zt::DrawThemeBackground(theme, dc, 1, info->NativeState, info->Bounds);
                    RestoreDC(dc, clip);
                }
                if (!transparent) {
                    if (!erase) {
                        if (!EqualRect(&inner, &info->ClientRect))
                            FillRectExceptInner(canvas->Canvas(), inner, info->ClientRect, brush);
                    } else {
                        fill(canvas, inner, brush);
                    }
                }
            } else if (info->NativeStyle) {
                if (!transparent)
                    fill(canvas, info->Bounds, brush);
            } else {
                if (info->BorderStyle != cbsNone)
                    drawFrame(canvas, info);
                if (!transparent) {
                    // Inside the border: the client rectangle.
                    if (inPlace) {
                        if (erase)
                            fill(canvas, info->Bounds, brush);
                        else if (!EqualRect(&info->Bounds, &info->ClientRect))
                            FillRectExceptInner(canvas->Canvas(), info->Bounds, info->ClientRect, brush);
                    } else if (erase) {
                        fill(canvas, info->ClientRect, brush);
                    }
                }
            }
        }
    } catch (...) {
        if (clipButtons)
            RestoreDC(dc, saved);
        throw;
    }
    if (clipButtons)
        RestoreDC(dc, saved);
    info->DrawButtons(canvas);
}

int GetNativeTextEditHeightCorrection(TkvCustomEditProperties *properties, bool inPlace) {
    return inPlace && properties != nullptr && properties->Buttons()->Count() > 0 ? 1 : 0;
}

bool EditUsesShadow(TkvCustomEditViewData *viewData) {
    if (viewData == nullptr || viewData->Style == nullptr)
        return false;
    return viewData->Style->Shadow() && !viewData->IsNativeStyle();
}
