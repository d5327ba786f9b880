// The spin buttons: their places, keyboard pressing, theme parts and painting.
#include "kvSpinEditView.h"

#include <algorithm>

#include "kvEditPaintUtils.h"
#include "kvLookAndFeelPainters.h"
#include "kvSpinEditValues.h"
#include "ztOffice11.h"
#include "ztThemeManager.h"
#include "ztUxTheme.h"

namespace {

constexpr int office11HighlightBorderColor = 9;

bool isFastButton(int button) noexcept { return button == kvSpinButtonFastDown || button == kvSpinButtonFastUp; }

void fill(TkvCanvas *canvas, const TRect &rect, TColor color) {
    if (rect.right > rect.left && rect.bottom > rect.top)
        ::FillRect(canvas->GetHandle(), &rect, CachedSolidBrush(color));
}

// A column of its own, taken from the left or the right end of what is left.
TRect takeLeft(int &left, int width, const TRect &content) {
    TRect r{left, content.top, left + width, content.bottom};
    left += width;
    return r;
}

TRect takeRight(int &right, int width, const TRect &content) {
    TRect r{right - width, content.top, right, content.bottom};
    right -= width;
    return r;
}

TkvButtonState painterState(int state) noexcept {
    switch (state) {
    case kvebsDisabled:
        return kvbsDisabled;
    case kvebsPressed:
        return kvbsPressed;
    case kvebsHot:
        return kvbsHot;
    default:
        return kvbsNormal;
    }
}

} // namespace

TkvSpinButtonLayout KvPlaceSpinButtons(const TRect &content, TkvSpinEditButtonsPosition position, bool fastButtons,
                                       int stepWidth, bool themed) {
    TkvSpinButtonLayout layout;
    stepWidth = std::max(stepWidth, 0);
    const int fastWidth = KvSpinFastButtonWidth(stepWidth);
    int left = content.left;
    int right = content.right;
    switch (position) {
    case sbpVert: {
        if (fastButtons)
            layout.Bounds[kvSpinButtonFastUp] = takeRight(right, fastWidth, content);
        const TRect column = takeRight(right, stepWidth, content);
        const int gap = themed ? 1 : 0;
        const int upHeight = std::max<int>(content.bottom - content.top - gap, 0) / 2;
        layout.Bounds[kvSpinButtonUp] = TRect{column.left, column.top, column.right, column.top + upHeight};
        layout.Bounds[kvSpinButtonDown] = TRect{column.left, std::min(column.top + upHeight + gap, column.bottom),
                                                column.right, column.bottom};
        if (fastButtons)
            layout.Bounds[kvSpinButtonFastDown] = takeLeft(left, fastWidth, content);
        if (themed) {
            layout.HasSeparator = true;
            layout.SeparatorFrom = TPoint{column.left, column.top + upHeight};
            layout.SeparatorTo = TPoint{column.right, column.top + upHeight};
        }
        break;
    }
    case sbpHorzRight:
        if (fastButtons)
            layout.Bounds[kvSpinButtonFastUp] = takeRight(right, fastWidth, content);
        layout.Bounds[kvSpinButtonUp] = takeRight(right, stepWidth, content);
        layout.Bounds[kvSpinButtonDown] = takeRight(right, stepWidth, content);
        if (fastButtons)
            layout.Bounds[kvSpinButtonFastDown] = takeRight(right, fastWidth, content);
        if (themed && stepWidth > 1) {
            TRect &down = layout.Bounds[kvSpinButtonDown];
            --down.right;
            layout.HasSeparator = true;
            layout.SeparatorFrom = TPoint{down.right, down.top};
            layout.SeparatorTo = TPoint{down.right, down.bottom};
        }
        break;
    case sbpHorzLeftRight:
        if (fastButtons) {
            layout.Bounds[kvSpinButtonFastDown] = takeLeft(left, fastWidth, content);
            layout.Bounds[kvSpinButtonFastUp] = takeRight(right, fastWidth, content);
        }
        layout.Bounds[kvSpinButtonDown] = takeLeft(left, stepWidth, content);
        layout.Bounds[kvSpinButtonUp] = takeRight(right, stepWidth, content);
        break;
    }
    layout.Rest = TRect{left, content.top, std::max(left, right), content.bottom};
    return layout;
}

int KvSpinStepButtonWidth(TkvSpinEditButtonsPosition position, int textHeight, int contentOffsets, int editorHeight) {
    if (position == sbpVert)
        return std::max((textHeight + contentOffsets) / 2, 1);
    int width = 0;
    int height = 0;
    GetArrowSize(TSize{editorHeight, editorHeight}, adDown, width, height);
    return std::max(4 * height - 3, 1);
}

int KvSpinThemePart(int button, TkvSpinEditButtonsPosition position) noexcept {
    const bool stacked = position == sbpVert;
    switch (button) {
    case kvSpinButtonDown:
        return stacked ? kvSpinThemePartDown : kvSpinThemePartDownHorz;
    case kvSpinButtonUp:
        return stacked ? kvSpinThemePartUp : kvSpinThemePartUpHorz;
    case kvSpinButtonFastDown:
        return kvSpinThemePartDownHorz;
    case kvSpinButtonFastUp:
        return kvSpinThemePartUpHorz;
    default:
        return 0;
    }
}

TkvArrowDirection KvSpinArrowDirection(int button, TkvSpinEditButtonsPosition position) noexcept {
    const bool up = KvSpinButtonGoesUp(button);
    if (position == sbpVert && !isFastButton(button))
        return up ? adUp : adDown;
    return up ? adRight : adLeft;
}

// --- button view info

void TkvSpinEditButtonViewInfo::Assign(TPersistent *source) {
    if (auto *spin = dynamic_cast<TkvSpinEditButtonViewInfo *>(source))
        ThemePart = spin->ThemePart;
    inherited::Assign(source);
}

// --- view info

void TkvSpinEditViewInfo::Assign(TkvContainerViewInfo *source) {
    if (auto *spin = dynamic_cast<TkvSpinEditViewInfo *>(source)) {
        Position = spin->Position;
        ShowFastButtons = spin->ShowFastButtons;
        ArrowSize = spin->ArrowSize;
        HasSeparator = spin->HasSeparator;
        SeparatorFrom = spin->SeparatorFrom;
        SeparatorTo = spin->SeparatorTo;
    }
    inherited::Assign(source);
}

void TkvSpinEditViewInfo::MoveBy(int dx, int dy) {
    inherited::MoveBy(dx, dy);
    SeparatorFrom.x += dx;
    SeparatorFrom.y += dy;
    SeparatorTo.x += dx;
    SeparatorTo.y += dy;
}

void TkvSpinEditViewInfo::DrawButton(TkvCanvas *canvas, int index) {
    TkvSpinEditButtonViewInfo *button = SpinButton(index);
    if (IsRectEmpty(&button->Bounds))
        return;
    if (!button->Data.HasOwnBackground)
        button->Data.BackgroundColor = BackgroundColor;
    if (OnDrawButton && OnDrawButton(this, canvas, index))
        return;
    const int saved = SaveDC(canvas->GetHandle());
    try {
        canvas->IntersectClipRect(BorderRect);
        TRect rect = button->Bounds;
        if (button->Data.NativeState != 0 && button->ThemePart != 0) {
            if (button->HasBackground)
                fill(canvas, rect, BackgroundColor);
            if (HTHEME theme = OpenThemeForKind(totSpin))
                zt::DrawThemeBackground(theme, canvas->GetHandle(), button->ThemePart, button->Data.NativeState, rect);
        } else {
            DrawSpinButtonFrame(canvas, button, rect);
            DrawButtonBackground(canvas, rect, index);
            DrawSpinButtonArrow(canvas, button, button->Bounds);
        }
        if (HasSeparator && index == ButtonCount() - 1) {
            TRect line{SeparatorFrom.x, SeparatorFrom.y, std::max(SeparatorTo.x, SeparatorFrom.x + 1),
                       std::max(SeparatorTo.y, SeparatorFrom.y + 1)};
            fill(canvas, line, BackgroundColor);
        }
    } catch (...) {
        RestoreDC(canvas->GetHandle(), saved);
        throw;
    }
    RestoreDC(canvas->GetHandle(), saved);
}

void TkvSpinEditViewInfo::DrawSpinButtonFrame(TkvCanvas *canvas, TkvSpinEditButtonViewInfo *button, TRect &rect) {
    const TkvEditButtonViewInfoData &data = button->Data;
    const int state = data.State;
    switch (static_cast<TkvEditButtonStyle>(data.Style)) {
    case btsHotFlat: {
        static constexpr TColor frameByState[] = {clBtnShadow, clBtnShadow, clBtnText, clHighlight};
        const TColor face = state == kvebsPressed ? clBtnShadow : clBtnFace;
        DrawEdges(canvas->Canvas(), rect, kvEdgeAll, frameByState[std::clamp(state, 0, 3)]);
        fill(canvas, rect, data.HasOwnBackground ? data.BackgroundColor : face);
        return;
    }
    case btsUltraFlat:
    case btsOffice11: {
        const bool office = data.Style == btsOffice11;
        const bool lit = state == kvebsHot || state == kvebsPressed;
        // A quiet line where nothing is lit, as the flat frames draw theirs.
        TColor frame = clBtnShadow;
        if (lit)
            frame = office ? Office11Color(office11HighlightBorderColor) : clHighlight;
        // Only the sides that face the text or a neighbour: the others lie on the editor's frame.
        int edges = 0;
        if (rect.left != ClientRect.left)
            edges |= kvEdgeLeft;
        if (rect.right != ClientRect.right)
            edges |= kvEdgeRight;
        if (rect.top != ClientRect.top)
            edges |= kvEdgeTop;
        if (rect.bottom != ClientRect.bottom)
            edges |= kvEdgeBottom;
        DrawEdges(canvas->Canvas(), rect, edges, frame);
        if (data.HasOwnBackground) {
            fill(canvas, rect, data.BackgroundColor);
        } else if (office && state != kvebsDisabled) {
            TColor top;
            TColor bottom;
            Office11ButtonGradientColors(state, top, bottom);
            if (rect.right > rect.left && rect.bottom > rect.top)
                FillGradientRect(canvas->GetHandle(), rect, top, bottom, false);
        } else if (lit) {
            fill(canvas, rect, PainterOf<TkvUltraFlatLookAndFeelPainter>()->GetButtonFaceColor(painterState(state)));
        } else {
            fill(canvas, rect, clBtnFace);
        }
        return;
    }
    default: {
        // 3-D, flat and simple: the editors' own button frames.
        TkvEditButtonPaintContext context = ButtonPaintContext;
        context.BorderRect = BorderRect;
        DrawEditButtonBorder(canvas, button, rect, context);
        return;
    }
    }
}

void TkvSpinEditViewInfo::DrawSpinButtonArrow(TkvCanvas *canvas, TkvSpinEditButtonViewInfo *button,
                                              const TRect &rect) {
    const int role = button->Index;
    const TkvArrowDirection direction = KvSpinArrowDirection(role, Position);
    const bool pressed = button->Data.State == kvebsPressed;
    const bool isDouble = isFastButton(role);
    const int size = std::max(ArrowSize, 1);
    if (button->Data.State == kvebsDisabled) {
        TRect shifted = rect;
        OffsetRect(&shifted, 1, 1);
        DrawArrows(canvas, size, shifted, clBtnHighlight, false, isDouble, direction);
        DrawArrows(canvas, size, rect, clBtnShadow, false, isDouble, direction);
        return;
    }
    DrawArrows(canvas, size, rect, ButtonPaintContext.SymbolColor, pressed, isDouble, direction);
}

// --- view data

bool TkvSpinEditViewData::IsSpinThemeUsed() { return IsNativeStyle() && IsThemeAvailable(totSpin); }

void TkvSpinEditViewData::CalculateButtonViewInfo(TkvCustomEditViewInfo *viewInfo, int viewIndex, int buttonIndex) {
    inherited::CalculateButtonViewInfo(viewInfo, viewIndex, buttonIndex);
    // The down buttons stand at the left for the inherited placement too.
    if (Position == sbpHorzLeftRight && !KvSpinButtonGoesUp(buttonIndex) && buttonIndex <= kvSpinButtonFastUp)
        viewInfo->Button(viewIndex)->Data.LeftAlignment = true;
}

void TkvSpinEditViewData::CalculateButtonBounds(TkvCustomEditViewInfo *viewInfo, int index, const TRect &bounds) {
    inherited::CalculateButtonBounds(viewInfo, index, bounds);
    if (index != viewInfo->ButtonCount() - 1)
        return;
    if (auto *spin = dynamic_cast<TkvSpinEditViewInfo *>(viewInfo))
        placeSpinButtons(spin);
}

void TkvSpinEditViewData::placeSpinButtons(TkvSpinEditViewInfo *viewInfo) {
    const bool fast = ShowFastButtons && Buttons != nullptr && Buttons->Count() > kvSpinButtonFastUp;
    const int editorHeight = viewInfo->Bounds.bottom - viewInfo->Bounds.top;
    const TRect offsets = GetContentOffsets();
    const int step = KvSpinStepButtonWidth(Position, Position == sbpVert ? GetTextHeight(canvas_) : 0,
                                           offsets.top + offsets.bottom, editorHeight);
    const TkvSpinButtonLayout layout = KvPlaceSpinButtons(viewInfo->ClientRect, Position, fast, step, IsSpinThemeUsed());
    for (int j = 0; j < viewInfo->ButtonCount(); ++j) {
        TkvEditButtonViewInfo *button = viewInfo->Button(j);
        if (button->Index < 0 || button->Index > kvSpinButtonFastUp)
            continue;
        const TRect &r = layout.Bounds[button->Index];
        button->Bounds = r;
        button->Data.ContentRect = r;
        button->Data.Width = r.right - r.left;
        // Where the text area ends: buttons at the left edge count as left-aligned.
        button->Data.LeftAlignment = r.right <= layout.Rest.left && r.right > r.left;
    }
    viewInfo->HasSeparator = layout.HasSeparator;
    viewInfo->SeparatorFrom = layout.SeparatorFrom;
    viewInfo->SeparatorTo = layout.SeparatorTo;
    const TRect &sample = layout.Bounds[Position == sbpVert ? kvSpinButtonUp : kvSpinButtonDown];
    int width = 0;
    int height = 0;
    GetArrowSize(TSize{sample.right - sample.left, sample.bottom - sample.top}, adDown, width, height);
    viewInfo->ArrowSize = std::max(height, 1);
}

void TkvSpinEditViewData::CalculateButtonsViewInfo(TkvCanvas *canvas, const TkvEditMouseState &mouse,
                                                   TkvCustomEditViewInfo *viewInfo, TkvCustomEditViewInfo *old) {
    auto *spin = dynamic_cast<TkvSpinEditViewInfo *>(viewInfo);
    if (spin != nullptr) {
        spin->Position = Position;
        spin->ShowFastButtons = ShowFastButtons;
        spin->HasSeparator = false;
    }
    const bool allowsPressing = AllowsPressing;
    // The keyboard holds a button: the mouse presses none meanwhile.
    if (KeyboardSpinState != 0)
        AllowsPressing = false;
    calculating_ = viewInfo;
    canvas_ = canvas;
    mousePoint_ = mouse.Point;
    try {
        inherited::CalculateButtonsViewInfo(canvas, mouse, viewInfo, old);
    } catch (...) {
        AllowsPressing = allowsPressing;
        calculating_ = nullptr;
        canvas_ = nullptr;
        throw;
    }
    AllowsPressing = allowsPressing;
    calculating_ = nullptr;
    canvas_ = nullptr;
    if (spin != nullptr)
        calculateThemeData(spin);
}

void TkvSpinEditViewData::calculateThemeData(TkvSpinEditViewInfo *viewInfo) {
    const bool themed = IsSpinThemeUsed();
    HTHEME theme = themed ? OpenThemeForKind(totSpin) : nullptr;
    for (int j = 0; j < viewInfo->ButtonCount(); ++j) {
        TkvSpinEditButtonViewInfo *button = viewInfo->SpinButton(j);
        button->ThemePart = 0;
        button->Data.NativeState = 0;
        button->Data.IsPartiallyTransparent = false;
        button->HasBackground = false;
        if (theme == nullptr)
            continue;
        button->ThemePart = KvSpinThemePart(button->Index, Position);
        if (button->ThemePart == 0)
            continue;
        button->Data.NativeState = EditButtonThemeState(button->State);
        button->ThemeState = button->Data.NativeState;
        button->HasBackground =
            zt::IsThemeBackgroundPartiallyTransparent(theme, button->ThemePart, button->Data.NativeState) != FALSE;
        button->Data.IsPartiallyTransparent = button->HasBackground;
    }
}

bool TkvSpinEditViewData::IsButtonPressedByKeyboard(int viewIndex) {
    if (calculating_ == nullptr || viewIndex < 0 || viewIndex >= calculating_->ButtonCount())
        return false;
    const TkvEditButtonViewInfo *button = calculating_->Button(viewIndex);
    if (KeyboardSpinState != 0)
        return button->Index + 1 == KeyboardSpinState;
    return HeldButton >= 0 && button->Index == HeldButton && PtInRect(&button->Data.ContentRect, mousePoint_) != FALSE;
}
