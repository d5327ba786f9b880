// TkvContainerViewInfo: painting a container's border, shadow and background.
#include "kvContainer.h"
#include "ztUxTheme.h"

void TkvContainerViewInfo::Assign(TkvContainerViewInfo *source) {
    if (source != nullptr)
        ClientRect = source->ClientRect;
}

void TkvContainerViewInfo::MoveBy(int dx, int dy) {
    OffsetRect(&BorderRect, dx, dy);
    OffsetRect(&Bounds, dx, dy);
    OffsetRect(&ClientRect, dx, dy);
}

void TkvContainerViewInfo::DrawBorder(TkvCanvas *canvas, TRect r) {
    switch (BorderStyle) {
    case cbsSingle:
    case cbsThick:
        canvas->FrameRect(r, BorderColor, false, kvAllBorders, BorderWidth);
        break;
    case cbsFlat:
        canvas->DrawEdge(r, true, true, Edges);
        InflateRect(&r, -1, -1);
        canvas->FrameRect(r, clBtnFace);
        break;
    case cbs3D:
        canvas->DrawEdge(r, true, true, Edges);
        InflateRect(&r, -1, -1);
        canvas->DrawTwoColorFrame(r, cl3DDkShadow, cl3DLight, Edges);
        break;
    default:
        break;
    }
}

void TkvContainerViewInfo::DrawShadowAndBorder(TkvCanvas *canvas, const TRect &inner) {
    TRect r{inner.left - BorderWidth, inner.top - BorderWidth, inner.right, inner.bottom};
    if (Edges.Contains(bRight))
        r.right += BorderWidth;
    if (Edges.Contains(bBottom))
        r.bottom += BorderWidth;
    if (Shadow) {
        TRect bottom{r.left + kvContainerShadowWidth, r.bottom, r.right, r.bottom + kvContainerShadowWidth};
        TRect right{r.right, r.top + kvContainerShadowWidth, r.right + kvContainerShadowWidth,
                    r.bottom + kvContainerShadowWidth};
        // Straight to the device context: the canvas's brush stays as the caller left it.
        for (const TRect &band : {bottom, right})
            if (!IsRectEmpty(&band))
                ::FillRect(canvas->GetHandle(), &band, GetSysColorBrush(COLOR_BTNSHADOW));
        canvas->ExcludeClipRect(bottom);
        canvas->ExcludeClipRect(right);
    }
    if (!Edges.Contains(bRight))
        r.right += BorderWidth;
    if (!Edges.Contains(bBottom))
        r.bottom += BorderWidth;
    DrawBorder(canvas, r);
}

void TkvContainerViewInfo::PaintContainer(TkvCanvas *canvas) {
    if (NativeStyle) {
        if (BorderStyle == cbsNone) {
            canvas->SetBrushColor(BackgroundColor);
            canvas->FillRect(Bounds);
            return;
        }
        HTHEME theme = OpenThemeForKind(ThemedObjectType);
        TRect content = Bounds;
        if (theme != nullptr)
            zt::GetThemeBackgroundContentRect(theme, canvas->GetHandle(), NativePart, NativeState, Bounds, content);
        canvas->SetBrushColor(BackgroundColor);
        canvas->FillRect(content);
        COLORREF border = GetSysColor(COLOR_WINDOWFRAME);
        if (HTHEME combo = OpenThemeForKind(totComboBox))
            zt::GetThemeColor(combo, 1, 1, 3801 /* border colour */, &border);
        // Only the band takes the border colour; what descendants draw next lies inside it.
        const int saved = SaveDC(canvas->GetHandle());
        canvas->ExcludeClipRect(content);
        canvas->SetBrushColor(static_cast<TColor>(border));
        canvas->FillRect(Bounds);
        RestoreDC(canvas->GetHandle(), saved);
        return;
    }
    DrawShadowAndBorder(canvas, BorderRect);
    canvas->SetBrushColor(BackgroundColor);
    canvas->FillRect(BorderRect);
}
