// TkvContainer: view states, hot tracking, the border by style, the window region with the
// shadow, the inner control's focus, keys and scroll bars.
#include <classlib/forms.h>
#include <classlib/messages.h>

#include "kvContainer.h"
#include "kvScopedValue.h"
#include "ztOffice11.h"
#include "ztUxTheme.h"

namespace {

using GetScrollBarInfoFunction = BOOL(WINAPI *)(HWND, LONG, PSCROLLBARINFO);

GetScrollBarInfoFunction scrollBarInfoFunction() {
    static GetScrollBarInfoFunction function = [] {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        return user32 != nullptr
                   ? reinterpret_cast<GetScrollBarInfoFunction>(GetProcAddress(user32, "GetScrollBarInfo"))
                   : nullptr;
    }();
    return function;
}

// Colour 9 of the Office 2003 scheme; the highlight colour while the scheme is not loaded.
TColor office11HighlightBorder() {
    TColor color = Office11Color(9);
    return color == clNone ? clHighlight : color;
}

TRect offsetRect(TRect r, int dx, int dy) {
    OffsetRect(&r, dx, dy);
    return r;
}

} // namespace

void TkvContainer::Create(TComponent *owner) {
    creating_ = true;
    inherited::Create(owner);
    styles_ = NewOf<TkvContainerStyles>(ContainerStylesClass(), static_cast<TPersistent *>(this), ContainerStyleClass());
    styles_->SetOnChanged([this](TObject *sender) { ContainerStyleChanged(sender); });
    cachedState_ = TkvContainerViewState{cvsNormal};
    cachedStyle_ = styles_->Style();
    viewInfo_ = NewOf<TkvContainerViewInfo>(ViewInfoClass());
    LookAndFeel()->SetMasterLookAndFeel(Style()->LookAndFeel());
    TControlStyle style = ControlStyle();
    style.Include(csCaptureMouse);
    style.Include(csSetCaption);
    SetControlStyle(style);
    SetTabStop(true);
    bool parentColor = DefaultParentColor() && !InPlaceMode() && !Style()->IsStyleValueAssigned(csvColor);
    SetParentColor(parentColor);
    if (!parentColor) {
        internalChange_ = true;
        SetColor(clWindow);
        internalChange_ = false;
    }
    ResetInnerControlRegion();
    creating_ = false;
}

void TkvContainer::Destroy() {
    EndMouseTracking(this);
    destroying_ = true;
    FreeAndNil(viewInfo_);
    if (styles_ != nullptr)
        styles_->SetOnChanged(nullptr);
    FreeAndNil(styles_);
    inherited::Destroy();
}

void TkvContainer::Notification(TComponent *component, TOperation operation) {
    inherited::Notification(component, operation);
    if (operation == opRemove && component == innerControl_)
        innerControl_ = nullptr;
}

void TkvContainer::SetInnerControl(TWinControl *control) {
    if (control == innerControl_)
        return;
    if (innerControl_ != nullptr)
        innerControl_->RemoveFreeNotification(this);
    innerControl_ = control;
    ResetInnerControlRegion();
    if (innerControl_ != nullptr) {
        innerControl_->FreeNotification(this);
        if (innerControl_->Parent() != this)
            innerControl_->SetParent(this);
    }
    UpdateStateFromCursor();
}

TkvContainerStyle *TkvContainer::ActiveStyle() { return cachedStyle_ != nullptr ? cachedStyle_ : Style(); }

// --- focus

bool TkvContainer::Focused() {
    if (IsDesigning() || ControlState().Contains(csDestroyingHandle) || !HandleAllocated())
        return false;
    HWND focus = GetFocus();
    if (focus == nullptr)
        return false;
    return focus == Handle() || (innerControl_ != nullptr && innerControl_->HandleAllocated() &&
                                 focus == innerControl_->Handle());
}

void TkvContainer::SetFocus() {
    if (IsDesigning() || Focused())
        return;
    inherited::SetFocus();
    if (innerControl_ != nullptr && innerControl_->HandleAllocated() && HandleAllocated() && GetFocus() == Handle()) {
        FocusInnerControl();
        handFocusToInnerControl();
    }
}

void TkvContainer::handFocusToInnerControl() {
    // A disabled or hidden inner control leaves the focus with the container.
    if (TCustomForm *form = GetParentForm(this); form != nullptr && innerControl_->CanFocus())
        form->FocusControl(innerControl_);
}

void TkvContainer::FocusInnerControl() {
    if (innerControl_ != nullptr && innerControl_->CanFocus())
        innerControl_->SetFocus();
}

void TkvContainer::GetTabOrderList(TList<TWinControl *> &list) {
    inherited::GetTabOrderList(list);
    if (KeepOwnTabOrder() || innerControl_ == nullptr)
        return;
    TCustomForm *form = GetParentForm(this);
    if (form != nullptr && form->ActiveControl() == innerControl_ && form->ActiveControl() != this && CanFocus()) {
        list.Add(innerControl_);
        list.Remove(this);
    }
}

bool TkvContainer::CanFocusOnClick() {
    if (!inherited::CanFocusOnClick() || FocusOnClickLocked)
        return false;
    return !(innerControl_ != nullptr && innerControl_->HandleAllocated() && GetFocus() == innerControl_->Handle());
}

bool TkvContainer::MayFocus() {
    return !(innerControl_ != nullptr && innerControl_->HandleAllocated() && GetFocus() == innerControl_->Handle());
}

void TkvContainer::FocusChanged() {
    inherited::FocusChanged();
    UpdateStateFromCursor();
}

TDragImageList *TkvContainer::GetDragImages() {
    return innerControl_ != nullptr ? innerControl_->GetDragImages() : inherited::GetDragImages();
}

void TkvContainer::CursorChanged() {
    inherited::CursorChanged();
    if (innerControl_ != nullptr)
        innerControl_->SetCursor(Cursor());
}

void TkvContainer::SetDragMode(TDragMode value) {
    inherited::SetDragMode(value);
    if (innerControl_ != nullptr)
        innerControl_->SetDragMode(value);
}

void TkvContainer::SetDragKind(TDragKind value) {
    inherited::SetDragKind(value);
    ApplyDragKind();
}

void TkvContainer::ApplyDragKind() {
    if (innerControl_ != nullptr)
        innerControl_->SetDragKind(DragKind());
}

bool TkvContainer::IsStylePropertyStored(const std::wstring &name, bool) {
    int index = Style()->StyleValueByName(name);
    if (index >= 0 && GetHiddenStyleValues().Contains(static_cast<TkvContainerStyleValue>(index)))
        return false;
    return true;
}

void TkvContainer::LockAlignment(bool lock) {
    if (lock)
        ++alignmentLock_;
    else if (alignmentLock_ > 0)
        --alignmentLock_;
}

void TkvContainer::ContextMenuLock(bool lock) {
    if (lock)
        ++contextMenuLock_;
    else if (contextMenuLock_ > 0)
        --contextMenuLock_;
}

// --- state

void TkvContainer::UpdateStateFromCursor() {
    if (!HandleAllocated() || destroying_ || ComponentState().Contains(csDestroying) || stateUpdating_)
        return;
    stateUpdating_ = true;
    try {
        TPoint p = ScreenToClient(Mouse->CursorPos());
        TShiftState shift = KeyboardStateToShiftState();
        shift.Exclude(ssLeft);
        shift.Exclude(ssRight);
        shift.Exclude(ssMiddle);
        RecalculateState(p, 0, shift);
    } catch (...) {
        stateUpdating_ = false;
        throw;
    }
    stateUpdating_ = false;
}

bool TkvContainer::UsesNativeStyle() {
    return Style()->LookAndFeel()->NativeStyle() && OpenThemeForKind(NativeThemeKind()) != nullptr;
}

int TkvContainer::NativeThemeState(TkvContainerViewState state) {
    if (state.Contains(cvsDisabled))
        return 4;
    if (state.Contains(cvsFocused))
        return 5;
    if (state.Contains(cvsHot))
        return 2;
    return 1;
}

bool TkvContainer::HasShadow() { return ActiveStyle()->Shadow() && !viewInfo_->NativeStyle; }

TkvContainerStyle *TkvContainer::SelectStateStyle(TkvContainerViewState state) {
    if (state == cachedState_ && cachedStyle_ != nullptr)
        return cachedStyle_;
    TkvContainerStyle *style;
    if (state.Contains(cvsDisabled))
        style = StyleDisabled();
    else if (state.Contains(cvsFocused))
        style = StyleFocused();
    else if (state.Contains(cvsHot) && Style()->HotTrack())
        style = StyleHot();
    else
        style = Style();
    cachedState_ = state;
    cachedStyle_ = style;
    return style;
}

TRect TkvContainer::GetBorderExtent() {
    TkvContainerStyle *style = ActiveStyle();
    TRect extent{};
    if (style->TransparentBorder()) {
        extent = TRect{2, 2, 2, 2};
    } else if (!style->HasBorder() || (viewInfo_->NativeStyle && Style()->BorderStyle() == cbsNone)) {
        extent = TRect{};
    } else if (viewInfo_->NativeStyle) {
        extent = TRect{2, 2, 2, 2};
    } else {
        int width = ContainerBorderWidth(viewInfo_->BorderStyle);
        TkvBorders edges = style->Edges();
        extent = TRect{edges.Contains(bLeft) ? width : 0, edges.Contains(bTop) ? width : 0,
                       edges.Contains(bRight) ? width : 0, edges.Contains(bBottom) ? width : 0};
    }
    if (HasShadow()) {
        extent.right += kvContainerShadowWidth;
        extent.bottom += kvContainerShadowWidth;
    }
    return extent;
}

TRect TkvContainer::GetHotTrackBounds() {
    TRect r{0, 0, Width(), Height()};
    if (InPlaceMode())
        return r;
    if (HasShadow()) {
        r.right -= kvContainerShadowWidth;
        r.bottom -= kvContainerShadowWidth;
    }
    TkvContainerStyle *style = Style();
    bool transparent = style->TransparentBorder();
    if (style->HasBorder() && !viewInfo_->NativeStyle) {
        if (transparent) {
            int width = ContainerBorderWidth(viewInfo_->BorderStyle);
            InflateRect(&r, width - 2, width - 2);
            TkvBorders edges = style->Edges();
            if (!edges.Contains(bLeft))
                r.left += width;
            if (!edges.Contains(bTop))
                r.top += width;
            if (!edges.Contains(bRight))
                r.right -= width;
            if (!edges.Contains(bBottom))
                r.bottom -= width;
        }
    } else if (viewInfo_->NativeStyle) {
        if (style->BorderStyle() == cbsNone && transparent)
            InflateRect(&r, -2, -2);
    } else if (transparent) {
        InflateRect(&r, -2, -2);
    }
    return r;
}

void TkvContainer::CalculateViewInfo(const TPoint &p, bool hotTracking) {
    TkvContainerViewInfo *info = viewInfo_;
    info->NativeStyle = UsesNativeStyle();
    int rememberedWidth = ContainerBorderWidth(info->BorderStyle);
    TkvContainerStyle *style = nullptr;
    for (int pass = 0; pass < 2; ++pass) {
        TkvContainerViewState state;
        if (!Enabled())
            state.Include(cvsDisabled);
        else if (IsDesigning())
            state.Include(cvsNormal);
        else {
            state.Include(IsContainerFocused() ? cvsFocused : cvsNormal);
            if (hotTracking) {
                TRect hot = GetHotTrackBounds();
                if (PtInRect(&hot, p))
                    state.Include(cvsHot);
            }
        }
        info->ContainerState = state;
        style = SelectStateStyle(state);
        if (!style->HotTrack())
            info->HotState = chtsOff;
        else
            info->HotState = state.Contains(cvsFocused) || state.Contains(cvsHot) ? chtsHot : chtsNormal;
        if (info->NativeStyle) {
            info->BorderStyle = Style()->BorderStyle();
            break;
        }
        TkvContainerBorderStyle borderStyle = style->BorderStyle();
        if (borderStyle == cbsUltraFlat || borderStyle == cbsOffice11)
            info->BorderStyle = cbsSingle;
        else
            info->BorderStyle = borderStyle;
        // A thinner border moves the hot-track bounds: the state is taken once more.
        if (ContainerBorderWidth(info->BorderStyle) >= rememberedWidth)
            break;
        rememberedWidth = ContainerBorderWidth(info->BorderStyle);
    }
    if (info->NativeStyle) {
        info->ThemedObjectType = NativeThemeKind();
        info->NativePart = NativeThemePart();
        info->NativeState = NativeThemeState(info->ContainerState);
    }
    info->Bounds = TRect{0, 0, Width(), Height()};
    TRect extent = GetBorderExtent();
    info->BorderRect = TRect{info->Bounds.left + extent.left, info->Bounds.top + extent.top,
                             info->Bounds.right - extent.right, info->Bounds.bottom - extent.bottom};
    info->ClientRect = info->BorderRect;
    info->BorderWidth = ContainerBorderWidth(info->BorderStyle);
    info->Edges = style->Edges();
    info->Shadow = HasShadow();
    TkvContainerBorderStyle styleBorder = style->BorderStyle();
    if (styleBorder == cbsUltraFlat || styleBorder == cbsOffice11) {
        bool highlighted = info->ContainerState.Contains(cvsFocused) ||
                           (info->ContainerState.Contains(cvsHot) && style->HotTrack()) ||
                           (IsDesigning() && Enabled());
        if (highlighted)
            info->BorderColor = styleBorder == cbsOffice11 ? office11HighlightBorder() : clHighlight;
        else
            info->BorderColor = clBtnShadow;
    } else {
        info->BorderColor = style->BorderColor();
    }
    TColor background = style->Color();
    if (info->NativeStyle && info->ContainerState.Contains(cvsDisabled)) {
        COLORREF fill{};
        if (HTHEME theme = OpenThemeForKind(info->ThemedObjectType);
            theme != nullptr && SUCCEEDED(zt::GetThemeColor(theme, info->NativePart, info->NativePart, 3802 /* fill colour */, &fill)))
            background = static_cast<TColor>(fill);
    }
    info->SetBackgroundColor(background);
}

bool TkvContainer::RecalculateState(const TPoint &p, int, TShiftState shift) {
    if (innerBoundsUpdate_ || destroying_ || ComponentState().Contains(csDestroying))
        return true;
    bool hotTracking = shift.Empty() && ActiveStyle()->HotTrack();
    CalculateViewInfo(p, hotTracking);
    AlignInnerControl();
    UpdateInnerControlStyle();
    UpdateWindowRegion();
    if (innerControl_ != nullptr)
        invalidateBorderBand();
    else
        Invalidate();
    if (viewInfo_->ContainerState.Contains(cvsHot))
        BeginMouseTracking(this, GetHotTrackBounds(), this);
    return true;
}

void TkvContainer::invalidateBorderBand() {
    if (!HandleAllocated())
        return;
    TRect b = viewInfo_->BorderRect;
    int w = Width();
    int h = Height();
    TRect bands[] = {{0, 0, w, b.top}, {0, b.bottom, w, h}, {0, b.top, b.left, b.bottom}, {b.right, b.top, w, b.bottom}};
    for (const TRect &band : bands)
        if (band.right > band.left && band.bottom > band.top)
            ::InvalidateRect(Handle(), &band, FALSE);
}

TRect TkvContainer::GetWindowRegionRect() {
    TRect extent = GetBorderExtent();
    TRect r{extent.left, extent.top, Width() - extent.right, Height() - extent.bottom};
    int width = ContainerBorderWidth(viewInfo_->GetContainerBorderStyle());
    InflateRect(&r, width, width);
    TkvBorders edges = viewInfo_->Edges;
    if (!edges.Contains(bLeft))
        r.left += width;
    if (!edges.Contains(bTop))
        r.top += width;
    if (!edges.Contains(bRight))
        r.right -= width;
    if (!edges.Contains(bBottom))
        r.bottom -= width;
    return r;
}

void TkvContainer::UpdateWindowRegion() {
    if (!HandleAllocated())
        return;
    HRGN wanted = nullptr;
    if (!(viewInfo_->NativeStyle && viewInfo_->BorderStyle != cbsNone)) {
        TRect r = GetWindowRegionRect();
        wanted = CreateRectRgnIndirect(&r);
        if (viewInfo_->Shadow) {
            TRect moved = offsetRect(r, kvContainerShadowWidth, kvContainerShadowWidth);
            HRGN shadow = CreateRectRgnIndirect(&moved);
            CombineRgn(wanted, wanted, shadow, RGN_OR);
            DeleteObject(shadow);
        }
    }
    HRGN current = CreateRectRgn(0, 0, 0, 0);
    bool hasCurrent = GetWindowRgn(Handle(), current) != ERROR;
    bool same = hasCurrent ? (wanted != nullptr && EqualRgn(current, wanted)) : wanted == nullptr;
    DeleteObject(current);
    if (same) {
        if (wanted != nullptr)
            DeleteObject(wanted);
        return;
    }
    // The window owns the region from here on.
    SetWindowRgn(Handle(), wanted, TRUE);
}

void TkvContainer::SetClipToShape(TkvCanvas *canvas) {
    if (viewInfo_->NativeStyle)
        return;
    TRect r = GetWindowRegionRect();
    TkvRegion *region = TkvRegion::CreateFromRect(r);
    if (viewInfo_->Shadow)
        region->Combine(TkvRegion::CreateFromRect(offsetRect(r, kvContainerShadowWidth, kvContainerShadowWidth)), rgnopOr);
    canvas->SetClipRegion(region, rgnopAnd);
}

void TkvContainer::UpdateInnerControlStyle() {
    if (innerControl_ == nullptr)
        return;
    innerControl_->SetColor(viewInfo_->BackgroundColor);
    innerControl_->SetFont(ActiveStyle()->GetEffectiveFont());
}

void TkvContainer::AlignInnerControl() {
    if (innerControl_ == nullptr)
        return;
    TRect target = viewInfo_->ClientRect;
    if (EqualRect(&target, &static_cast<const RECT &>(innerControl_->BoundsRect())))
        return;
    innerBoundsUpdate_ = true;
    try {
        innerControl_->SetBoundsRect(target);
    } catch (...) {
        innerBoundsUpdate_ = false;
        throw;
    }
    innerBoundsUpdate_ = false;
}

bool TkvContainer::CalcInnerControlRegion(TRect &region) {
    if (innerControl_ == nullptr)
        return false;
    TRect control{0, 0, innerControl_->Width(), innerControl_->Height()};
    TRect client = viewInfo_->ClientRect;
    OffsetRect(&client, -innerControl_->Left(), -innerControl_->Top());
    TRect clipped{};
    IntersectRect(&clipped, &control, &client);
    if (EqualRect(&clipped, &control))
        return false;
    region = clipped;
    return true;
}

void TkvContainer::ResetInnerControlRegion() {
    innerNoRegion_ = true;
    innerRegion_ = TRect{};
}

void TkvContainer::AlignControls(TControl *control, TRect &rect) {
    if (ControlStyle().Contains(csAcceptsControls)) {
        inherited::AlignControls(control, rect);
        return;
    }
    if (alignmentLock_ > 0 || IsScrollBarPart(control))
        return;
    if (control == nullptr) {
        inherited::AlignControls(control, rect);
        return;
    }
    auto *windowed = dynamic_cast<TWinControl *>(control);
    if (windowed == nullptr || windowed != innerControl_ || !windowed->HandleAllocated() || creating_)
        return;
    TRect region{};
    bool hasRegion = CalcInnerControlRegion(region);
    if (hasRegion == !innerNoRegion_ && (!hasRegion || EqualRect(&region, &innerRegion_)))
        return;
    SetWindowRgn(windowed->Handle(), hasRegion ? CreateRectRgnIndirect(&region) : nullptr, TRUE);
    innerNoRegion_ = !hasRegion;
    innerRegion_ = region;
}

// --- style and properties

void TkvContainer::ContainerStyleChanged(TObject *) {
    if (creating_ || ComponentState().Contains(csLoading) || destroying_)
        return;
    UpdateStateFromCursor();
    internalChange_ = true;
    try {
        if (!ParentColor() || Style()->IsStyleValueAssigned(csvColor))
            SetColor(Style()->GetControlColor());
        if (TFont *font = Style()->Font())
            SetFont(font);
    } catch (...) {
        internalChange_ = false;
        throw;
    }
    internalChange_ = false;
    Invalidate();
}

void TkvContainer::SetColorFromOutside(TColor value) { Style()->SetColor(value); }

void TkvContainer::Loaded() {
    inherited::Loaded();
    if (!ParentFont() && !Style()->IsStyleValueAssigned(csvFont) && Parent() != nullptr)
        if (TFont *font = Style()->Font()) {
            Style()->LockFont();
            font->Assign(Parent()->Font());
            Style()->UnlockFont();
        }
    ContainerStyleChanged(Style());
}

// --- scroll bars

bool TkvContainer::GetInnerScrollBarInfo(TScrollBarKind kind, SCROLLBARINFO &info) {
    GetScrollBarInfoFunction function = scrollBarInfoFunction();
    if (function == nullptr || innerControl_ == nullptr || !innerControl_->HandleAllocated())
        return false;
    info = SCROLLBARINFO{};
    info.cbSize = sizeof(info);
    return function(innerControl_->Handle(), kind == sbHorizontal ? OBJID_HSCROLL : OBJID_VSCROLL, &info) != FALSE;
}

bool TkvContainer::IsScrollBarInfoVisible(const SCROLLBARINFO &info) {
    return (info.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) == 0;
}

bool TkvContainer::IsScrollBarEnabled(TScrollBarKind, const SCROLLBARINFO &info) {
    return innerControl_ != nullptr && innerControl_->Enabled() && (info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) == 0;
}

// Degenerate rectangles (outside the container, or larger than it) give zero bounds.
TRect TkvContainer::ConvertScrollBarRect(const TRect &screenRect) {
    TPoint topLeft = ScreenToClient(TPoint{screenRect.left, screenRect.top});
    TRect r{topLeft.x, topLeft.y, topLeft.x + (screenRect.right - screenRect.left),
            topLeft.y + (screenRect.bottom - screenRect.top)};
    TRect client{0, 0, Width(), Height()};
    if (!PtInRect(&client, TPoint{r.left, r.top}) || r.right - r.left > Width() || r.bottom - r.top > Height())
        return TRect{};
    return r;
}

void TkvContainer::SetScrollBarVisibility(TkvControlScrollBar *bar, bool visible) {
    bar->SetVisible(visible);
    if (visible) {
        bar->SetCtl3D(false);
        bar->BringToFront();
    }
}

void TkvContainer::UpdateScrollBarBounds() {
    if (HScrollBar() == nullptr)
        return;
    for (TScrollBarKind kind : {sbHorizontal, sbVertical}) {
        TkvControlScrollBar *bar = kind == sbHorizontal ? HScrollBar() : VScrollBar();
        SCROLLBARINFO info{};
        if (GetInnerScrollBarInfo(kind, info) && IsScrollBarInfoVisible(info)) {
            bar->SetEnabled(IsScrollBarEnabled(kind, info));
            TRect r = ConvertScrollBarRect(TRect{info.rcScrollBar.left, info.rcScrollBar.top, info.rcScrollBar.right,
                                                 info.rcScrollBar.bottom});
            bar->SetBoundsRect(r);
            SetScrollBarVisibility(bar, true);
        } else {
            SetScrollBarVisibility(bar, false);
        }
    }
}

void TkvContainer::SyncScrollBars(bool keepBounds) {
    if (innerControl_ == nullptr || !NeedsScrollBars() || destroying_ || scrollBarInfoFunction() == nullptr ||
        scrollBarsSyncing_ || HScrollBar() == nullptr)
        return;
    scrollBarsSyncing_ = true;
    try {
        if (!keepBounds)
            UpdateScrollBarBounds();
        for (TScrollBarKind kind : {sbHorizontal, sbVertical}) {
            TkvControlScrollBar *bar = kind == sbHorizontal ? HScrollBar() : VScrollBar();
            if (!bar->Visible() || !innerControl_->HandleAllocated())
                continue;
            SCROLLINFO info{};
            info.cbSize = sizeof(info);
            info.fMask = SIF_ALL;
            if (!GetScrollInfo(innerControl_->Handle(), kind == sbHorizontal ? SB_HORZ : SB_VERT, &info))
                continue;
            int max = info.nMax < info.nMin ? info.nMin : info.nMax;
            int page = static_cast<int>(info.nPage) > max ? max : static_cast<int>(info.nPage);
            if (page < 0)
                page = 0;
            bar->SetScrollParams(info.nMin, max, true, page, info.nPos);
            bar->SetSmallChange(1);
            bar->SetLargeChange(static_cast<TScrollBarInc>(page > 0 && page < 32767 ? page : 1));
        }
    } catch (...) {
        scrollBarsSyncing_ = false;
        throw;
    }
    scrollBarsSyncing_ = false;
}

void TkvContainer::enabledChanged() {
    if (NeedsScrollBars() && HScrollBar() != nullptr) {
        HScrollBar()->SetEnabled(Enabled());
        VScrollBar()->SetEnabled(Enabled());
    }
    UpdateStateFromCursor();
}

// --- mouse and keys

void TkvContainer::MouseEnter(TControl *control) {
    inherited::MouseEnter(control);
    UpdateStateFromCursor();
    BeginMouseTracking(this, GetHotTrackBounds(), this);
}

void TkvContainer::MouseLeave(TControl *control) {
    inherited::MouseLeave(control);
    UpdateStateFromCursor();
    EndMouseTracking(this);
}

void TkvContainer::TrackingMouseLeave() {
    UpdateStateFromCursor();
    EndMouseTracking(this);
}

static int buttonNumber(TMouseButton button) { return button == mbLeft ? 1 : button == mbRight ? 2 : 3; }

void TkvContainer::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TkvObjectLink *link = CreateObjectLink(this);
    try {
        inherited::MouseDown(button, shift, x, y);
    } catch (...) {
        ReleaseObjectLink(link);
        throw;
    }
    bool alive = link->Ref != nullptr;
    ReleaseObjectLink(link);
    if (alive)
        RecalculateState(TPoint{x, y}, buttonNumber(button), shift);
}

void TkvContainer::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    inherited::MouseUp(button, shift, x, y);
    RecalculateState(TPoint{x, y}, buttonNumber(button), shift);
}

void TkvContainer::MouseMove(TShiftState shift, int x, int y) {
    inherited::MouseMove(shift, x, y);
    RecalculateState(TPoint{x, y}, 0, shift);
    BeginMouseTracking(this, GetHotTrackBounds(), this);
}

void TkvContainer::KeyDown(WORD &key, TShiftState shift) {
    if (key == VK_TAB && Focused() && !shift.Contains(ssAlt) && !shift.Contains(ssCtrl) && !IgnoresTabKey()) {
        key = 0;
        if (TCustomForm *form = GetParentForm(this))
            form->SelectNext(this, !shift.Contains(ssShift), true);
        if (HandleAllocated() && GetFocus() == Handle())
            FocusInnerControl();
        return;
    }
    inherited::KeyDown(key, shift);
}

bool TkvContainer::HandleInnerKeyMessage(TMessage &m) {
    if (m.Msg != CN_KEYDOWN && m.Msg != CN_SYSKEYDOWN)
        return false;
    TWMKey key(m);
    for (TControl *control = this; control != nullptr; control = control->Parent())
        if (auto *kvControl = dynamic_cast<TkvControl *>(control))
            if (IsPopupMenuShortCut(kvControl->PopupMenuComponent(), key)) {
                m.Result = 1;
                return true;
            }
    return false;
}

void TkvContainer::DoContextPopup(TPoint mousePos, bool &handled) {
    bool keyboard = mousePos.x == -1 && mousePos.y == -1;
    if (contextMenuLock_ > 0 || (!keyboard && !CanShowContextMenuAt(mousePos))) {
        handled = true;
        return;
    }
    inherited::DoContextPopup(mousePos, handled);
}

// --- window

void TkvContainer::CreateParams(TCreateParams &params) {
    inherited::CreateParams(params);
    params.WindowClass.style &= ~static_cast<UINT>(CS_HREDRAW | CS_VREDRAW);
}

void TkvContainer::CreateWnd() {
    inherited::CreateWnd();
    UpdateStateFromCursor();
}

void TkvContainer::Resize() {
    inherited::Resize();
    if (!creating_) {
        UpdateStateFromCursor();
        SyncScrollBars();
    }
}

void TkvContainer::Paint() {
    TRect bounds = viewInfo_->Bounds;
    if (!RectVisible(KvCanvas()->GetHandle(), &bounds))
        return;
    // A copy has no window region to cut it to the border and the shadow.
    if (ControlState().Contains(csPaintCopy))
        SetClipToShape(KvCanvas());
    viewInfo_->Draw(KvCanvas());
}

void TkvContainer::ChangeScale(int m, int d) {
    bool loading = ComponentState().Contains(csLoading);
    bool scaling = m != d && Style()->IsStyleValueAssigned(csvFont) && (!loading || ScalingFlags().Contains(sfFont));
    {
        TkvScopedValue<bool> internal(internalChange_, !ParentFont());
        inherited::ChangeScale(m, d);
    }
    if (!scaling)
        return;
    if (Style()->AssignedValues().Contains(csvFont)) {
        TFont *font = Style()->Font();
        font->SetSize(MulDiv(font->GetSize(), m, d));
    } else if (loading) {
        if (TkvStyleController *controller = Style()->ControllerInEffect())
            controller->ScaleFont(m, d);
    }
}

void TkvContainer::WndProc(TMessage &m) {
    switch (m.Msg) {
    case WM_SETFOCUS:
        if (!Visible())
            return;
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case CN_KEYDOWN:
    case CN_KEYUP:
    case CN_CHAR:
        if (innerControl_ != nullptr && innerControl_->HandleAllocated()) {
            UINT msg = m.Msg >= CN_BASE ? m.Msg - CN_BASE : m.Msg;
            m.Result = SendMessageW(innerControl_->Handle(), msg, m.WParam, m.LParam);
            return;
        }
        break;
    default:
        break;
    }
    inherited::WndProc(m);
}

void TkvContainer::Dispatch(TMessage &m) {
    switch (m.Msg) {
    case WM_SETFOCUS: {
        HWND from = reinterpret_cast<HWND>(m.WParam);
        bool fromInner = innerControl_ != nullptr && innerControl_->HandleAllocated() && from == innerControl_->Handle();
        if (!fromInner)
            inherited::Dispatch(m);
        if (innerControl_ != nullptr && innerControl_->CanFocus() && GetFocus() == Handle())
            FocusInnerControl();
        return;
    }
    case WM_KILLFOCUS: {
        HWND to = reinterpret_cast<HWND>(m.WParam);
        if (innerControl_ != nullptr && innerControl_->HandleAllocated() && to == innerControl_->Handle())
            return;
        inherited::Dispatch(m);
        return;
    }
    case WM_NCPAINT:
        m.Result = 0;
        return;
    case WM_SETCURSOR:
        if (innerControl_ != nullptr && reinterpret_cast<HWND>(m.WParam) == Handle() && LOWORD(m.LParam) == HTCLIENT) {
            TPoint p = ScreenToClient(Mouse->CursorPos());
            TRect client = viewInfo_->ClientRect;
            if (!PtInRect(&client, p)) {
                ::SetCursor(Screen->Cursors(crArrow));
                m.Result = 1;
                return;
            }
        }
        inherited::Dispatch(m);
        return;
    case WM_WINDOWPOSCHANGING:
        if (destroying_)
            return;
        inherited::Dispatch(m);
        // The focus belongs in the inner control; moving or sizing hands it over.
        if (innerControl_ != nullptr && HandleAllocated() && GetFocus() == Handle())
            handFocusToInnerControl();
        return;
    case WM_WINDOWPOSCHANGED:
        inherited::Dispatch(m);
        if (IsBackgroundDependent())
            UpdateStateFromCursor();
        return;
    case CM_CTL3DCHANGED:
    case CM_SYSCOLORCHANGE:
        inherited::Dispatch(m);
        UpdateStateFromCursor();
        return;
    case CM_ENABLEDCHANGED:
        inherited::Dispatch(m);
        enabledChanged();
        return;
    case CM_COLORCHANGED:
        if (!internalChange_ && !creating_)
            Style()->SetColor(Color());
        inherited::Dispatch(m);
        if (internalChange_)
            UpdateStateFromCursor();
        return;
    case CM_FONTCHANGED:
        if (!internalChange_ && !creating_) {
            bool wasAssigned = Style()->AssignedValues().Contains(csvFont);
            Style()->SetFont(Font());
            if (!wasAssigned)
                Style()->ForgetAssignedValue(csvFont);
            return;
        }
        inherited::Dispatch(m);
        AlignInnerControl();
        SyncScrollBars();
        UpdateStateFromCursor();
        return;
    case KV_SYNCSCROLLBARS:
        SyncScrollBars(false);
        return;
    case CM_PARENTCOLORCHANGED: {
        bool wasAssigned = Style()->AssignedValues().Contains(csvColor);
        internalChange_ = true;
        try {
            inherited::Dispatch(m);
        } catch (...) {
            internalChange_ = false;
            throw;
        }
        internalChange_ = false;
        if (!wasAssigned || ParentColor())
            Style()->ForgetAssignedValue(csvColor);
        if (Style()->GetControlColor() != Color())
            ContainerStyleChanged(Style());
        if (IsBackgroundDependent() && !ParentColor())
            Invalidate();
        return;
    }
    case CM_PARENTFONTCHANGED: {
        bool wasAssigned = Style()->AssignedValues().Contains(csvFont);
        if (!ParentFont())
            Style()->RefreshFontFromController();
        internalChange_ = true;
        try {
            inherited::Dispatch(m);
        } catch (...) {
            internalChange_ = false;
            throw;
        }
        internalChange_ = false;
        if (!wasAssigned || ParentFont())
            Style()->ForgetAssignedValue(csvFont);
        return;
    }
    default:
        inherited::Dispatch(m);
    }
}
