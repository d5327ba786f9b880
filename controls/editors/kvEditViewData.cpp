// TkvCustomEditViewData: from a style, the buttons and the editor's state to a view info.
#include <algorithm>
#include <vector>

#include "kvEditProperties.h"
#include "kvEditViewData.h"
#include "ztThemeManager.h"

namespace {

bool over(const TRect &rect, const TPoint &point) noexcept { return PtInRect(&rect, point) != FALSE; }

} // namespace

void TkvCustomEditViewData::Create(TkvCustomEditProperties *properties, TkvCustomEditStyle *style, bool inPlace) {
    inherited::Create();
    Properties = properties;
    Style = style;
    InPlace = inPlace;
    Buttons = properties != nullptr ? properties->Buttons() : nullptr;
    MaxWidth = kvEditViewSizeLimit;
    MaxHeight = kvEditViewSizeLimit;
    InitializeSecond();
}

bool TkvCustomEditViewData::IsNativeStyle() {
    return Style != nullptr && Style->LookAndFeel()->NativeStyle() && IsThemeAvailable(totEdit);
}

TkvEditBorderStyle TkvCustomEditViewData::GetBorderStyle() {
    return KvEditBorderStyleInForce(Style->BorderStyle(), InPlace, IsNativeStyle());
}

TColor TkvCustomEditViewData::GetBorderColor() {
    return KvEditBorderColor(GetBorderStyle(), Style->BorderColor(), Focused, Hot, Style->HotTrack(), Selected,
                             clHighlight);
}

TRect TkvCustomEditViewData::GetBorderExtent() {
    if (InPlace)
        return InPlaceBounds;
    if (Style->TransparentBorder())
        return TRect{};
    return KvEditBorderExtent(GetBorderStyle(), false, Style->Edges(), false, IsNativeStyle());
}

TRect TkvCustomEditViewData::GetClientExtent() {
    if (InPlace)
        return InPlaceBounds;
    return KvEditBorderExtent(GetBorderStyle(), Style->TransparentBorder(), Style->Edges(), Style->Shadow(),
                              IsNativeStyle());
}

void TkvCustomEditViewData::Calculate(TkvCanvas *canvas, const TRect &bounds, const TkvEditMouseState &mouse,
                                      TkvCustomEditViewInfo *viewInfo, TkvCustomEditViewInfo *old) {
    if (viewInfo == nullptr || Style == nullptr)
        return;
    TkvContainerViewState state{cvsNormal};
    if (!Enabled)
        state = TkvContainerViewState{cvsDisabled};
    else if (Focused)
        state = TkvContainerViewState{cvsFocused};
    else if (Hot)
        state = TkvContainerViewState{cvsHot};
    viewInfo->ContainerState = state;
    const bool native = IsNativeStyle();
    const bool shadow = !InPlace && !native && Style->Shadow();
    const TkvEditBorderStyle border = GetBorderStyle();
    viewInfo->Edit = Edit;
    viewInfo->NativeStyle = native;
    viewInfo->Shadow = shadow;
    viewInfo->BorderStyle = static_cast<TkvContainerBorderStyle>(border);
    viewInfo->BorderWidth = ContainerBorderWidth(viewInfo->BorderStyle);
    viewInfo->BorderColor = GetBorderColor();
    viewInfo->Edges = Style->Edges();
    viewInfo->HotState = Style->HotTrack() ? (Hot ? chtsHot : chtsNormal) : chtsOff;
    TColor color = Style->Color();
    viewInfo->SetBackgroundColor(color == clDefault ? ControlColor : color);

    TkvEditFrameRects rects = KvEditFrameRects(bounds, GetClientExtent(), shadow);
    viewInfo->Bounds = rects.Bounds;
    viewInfo->BorderRect = rects.BorderRect;
    viewInfo->ClientRect = rects.ClientRect;

    CalculateButtonsViewInfo(canvas, mouse, viewInfo, old);

    // Painted editors repaint this rectangle when their buttons come or go: it takes the buttons in.
    viewInfo->InnerEditRect = IsRectEmpty(&InnerControlBounds) ? viewInfo->ClientRect : InnerControlBounds;
    TkvLookAndFeelKind kind = Style->LookAndFeel()->Kind();
    PopupBorderStyle = KvResolvePopupBorderStyle(Style->PopupBorderStyle(), InPlace, border, kind);
}

void TkvCustomEditViewData::CalculateButtonBounds(TkvCustomEditViewInfo *viewInfo, int index, const TRect &bounds) {
    TkvEditButtonViewInfo *button = viewInfo->Button(index);
    if (IsRectEmpty(&bounds)) {
        button->Bounds = TRect{};
        button->Data.ContentRect = TRect{};
        return;
    }
    button->Bounds = bounds;
    button->Data.ContentRect = bounds;
}

void TkvCustomEditViewData::CalculateButtonViewInfo(TkvCustomEditViewInfo *viewInfo, int viewIndex, int buttonIndex) {
    TkvEditButton *button = Buttons->Items(buttonIndex);
    TkvEditButtonViewInfo *info = viewInfo->Button(viewIndex);
    info->Index = buttonIndex;
    info->Kind = button->Kind();
    info->Data.Kind = button->Kind();
    // A single drop-down button is drawn as the combo box's part under the theme.
    info->Data.ComboBoxStyle = button->Kind() == bkDown && Buttons->VisibleCount() == 1;
    info->Data.VisibleCaption = button->Kind() == bkText ? button->VisibleCaption() : std::wstring{};
    info->Data.TextColor = button->TextColor();
    info->Data.Glyph = button->Kind() == bkGlyph && button->HasGlyph() ? button->Glyph() : nullptr;
    info->Data.LeftAlignment = button->LeftAlignment();
    info->Data.Width = button->Width();
}

void TkvCustomEditViewData::CalculateButtonsViewInfo(TkvCanvas *canvas, const TkvEditMouseState &mouse,
                                                     TkvCustomEditViewInfo *viewInfo, TkvCustomEditViewInfo *old) {
    viewInfo->PressedButton = -1;
    viewInfo->HotButton = -1;
    viewInfo->ButtonHeld = false;
    const int visible = Buttons != nullptr ? Buttons->VisibleCount() : 0;
    if (KvEditButtonsHidden(visible, Style->ButtonTransparency(), Focused, Hot)) {
        viewInfo->SetButtonCount(0);
        return;
    }
    const TkvEditBorderStyle border = GetBorderStyle();
    const TkvEditButtonStyle style =
        KvResolveButtonStyle(Style->ButtonStyle(), InPlace, border, Style->LookAndFeel()->Kind());
    const bool native = IsNativeStyle();
    viewInfo->SetButtonCount(visible);

    std::vector<int> order;
    for (int i = 0; i < Buttons->Count(); ++i)
        if (Buttons->Items(i)->Visible())
            order.push_back(i);
    std::vector<TkvEditButtonPlacement> placements(order.size());
    bool fontSet = false;
    // From the last visible button back to the first.
    for (int j = static_cast<int>(order.size()) - 1; j >= 0; --j) {
        const int index = order[static_cast<std::size_t>(j)];
        CalculateButtonViewInfo(viewInfo, j, index);
        TkvEditButtonViewInfo *info = viewInfo->Button(j);
        info->Data.Style = style;
        info->Data.NativeStyle = native;
        if (canvas != nullptr && info->Kind == bkText && !fontSet) {
            canvas->SetFont(Style->GetEffectiveFont());
            fontSet = true;
        }
        int width = Buttons->Items(index)->Width();
        if (width <= 0 && OnQueryButtonWidth)
            OnQueryButtonWidth(this, index, width);
        if (width <= 0)
            width = canvas != nullptr ? GetEditButtonWidth(canvas, info->Data) : GetSystemMetrics(SM_CYHSCROLL);
        info->Data.Width = width;
        placements[static_cast<std::size_t>(j)] =
            TkvEditButtonPlacement{width, info->Data.LeftAlignment, Buttons->Items(index)->Stretchable()};
    }
    std::vector<TkvEditButtonPlace> places;
    KvPlaceEditButtons(viewInfo->ClientRect, placements, StretchButtons, places);
    bool firstLeft = true;
    bool firstRight = true;
    for (std::size_t j = 0; j < places.size(); ++j) {
        TkvEditButtonViewInfo *info = viewInfo->Button(static_cast<int>(j));
        CalculateButtonBounds(viewInfo, static_cast<int>(j), places[j].Bounds);
        info->Data.Width = places[j].Width;
        // A side's buttons stand side by side in collection order, the first one at the frame.
        const bool left = places[j].LeftAlignment;
        const bool inner = std::any_of(places.begin() + static_cast<std::ptrdiff_t>(j) + 1, places.end(),
                                       [left](const TkvEditButtonPlace &p) { return p.LeftAlignment == left; });
        info->Data.LeftNeighbour = left ? !firstLeft : inner;
        info->Data.RightNeighbour = left ? inner : !firstRight;
        (left ? firstLeft : firstRight) = false;
    }

    const bool leftDown = mouse.Shift.Contains(ssLeft);
    const bool anyDown = leftDown || mouse.Shift.Contains(ssRight) || mouse.Shift.Contains(ssMiddle) ||
                         mouse.Shift.Contains(ssShift) || mouse.Shift.Contains(ssCtrl) ||
                         mouse.Shift.Contains(ssAlt);
    const bool leftPress = mouse.IsMouseEvent && mouse.Press && mouse.Button == mbLeft;
    for (int j = 0; j < viewInfo->ButtonCount(); ++j) {
        TkvEditButtonViewInfo *info = viewInfo->Button(j);
        TkvEditButtonViewInfo *before = old != nullptr && j < old->ButtonCount() ? old->Button(j) : nullptr;
        TkvEditButtonStateInput in;
        in.EditorEnabled = Enabled;
        in.ButtonEnabled = Buttons->Items(info->Index)->Enabled();
        in.PressedByKeyboard = IsButtonPressedByKeyboard(j);
        in.MouseOver = over(info->Data.ContentRect, mouse.Point);
        in.LeftPress = leftPress;
        in.LeftDown = leftDown;
        in.AnyButtonOrShiftDown = anyDown;
        // A pressed button is carried over only while the mouse drives the calculation.
        in.WasPressed = mouse.IsMouseEvent && before != nullptr && before->State == kvebsPressed;
        in.WasNormal = before != nullptr && before->State == kvebsNormal;
        in.HoldsCapture = CaptureButton == j;
        in.AllowsPressing = AllowsPressing;
        TkvEditButtonStateResult result = KvEditButtonState(in);
        int state = result.State;
        if (result.Held)
            viewInfo->ButtonHeld = true;
        if (OnButtonStateCalculated)
            OnButtonStateCalculated(this, state);
        state = std::clamp(state, 0, 3);
        info->State = state;
        info->Data.State = state;
        info->ThemeState = EditButtonThemeState(state);
        if (native)
            UpdateButtonThemeData(info->Data);
        if (state == kvebsPressed)
            viewInfo->PressedButton = j;
        else if (state == kvebsHot)
            viewInfo->HotButton = j;
    }
}

int TkvCustomEditViewData::GetTextHeight(TkvCanvas *canvas) {
    if (!ShowsText() || Style == nullptr)
        return GetSystemMetrics(SM_CYHSCROLL);
    TFont *font = Style->GetEffectiveFont();
    if (canvas != nullptr && canvas->Canvas() != nullptr && canvas->Canvas()->HandleAllocated()) {
        canvas->SetFont(font);
        return canvas->TextHeight(L"Zg");
    }
    // No canvas to measure on: the screen's.
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font->GetHandle());
    SIZE size{};
    GetTextExtentPoint32W(dc, L"Zg", 2, &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cy;
}

TRect TkvCustomEditViewData::GetContentOffsets() {
    // The frame's extent, the text's margin inside it and the room a button's frame takes.
    TRect frame = GetClientExtent();
    const int textMargin = InPlace ? 1 : 2;
    return TRect{frame.left + textMargin, frame.top + textMargin, frame.right + textMargin,
                 frame.bottom + textMargin};
}

TSize TkvCustomEditViewData::GetEditContentSize(TkvCanvas *canvas, const TSize &contentSize) {
    TRect offsets = GetContentOffsets();
    TSize size{contentSize.cx + offsets.left + offsets.right, contentSize.cy + offsets.top + offsets.bottom};
    if (Buttons != nullptr && Style != nullptr &&
        !KvEditButtonsHidden(Buttons->VisibleCount(), Style->ButtonTransparency(), Focused, Hot)) {
        for (int i = 0; i < Buttons->Count(); ++i) {
            TkvEditButton *button = Buttons->Items(i);
            if (!button->Visible())
                continue;
            int width = button->Width();
            if (width <= 0 && OnQueryButtonWidth)
                OnQueryButtonWidth(this, i, width);
            if (width <= 0) {
                TkvEditButtonViewInfoData data;
                data.Kind = button->Kind();
                data.VisibleCaption = button->VisibleCaption();
                data.Glyph = button->Kind() == bkGlyph && button->HasGlyph() ? button->Glyph() : nullptr;
                data.NativeStyle = IsNativeStyle();
                width = canvas != nullptr ? GetEditButtonWidth(canvas, data) : GetSystemMetrics(SM_CYHSCROLL);
            }
            size.cx += width;
        }
    }
    return size;
}

TSize TkvCustomEditViewData::GetEditSize(TkvCanvas *canvas, const TSize &contentSize) {
    TSize content{contentSize.cx, GetTextHeight(canvas)};
    if (content.cx < 0)
        content.cx = 0;
    TSize size = GetEditContentSize(canvas, TSize{0, content.cy});
    size.cy = std::min<LONG>(size.cy, MaxHeight);
    size.cx = std::min<LONG>(size.cx, MaxWidth);
    return size;
}
