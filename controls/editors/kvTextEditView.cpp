#include "kvTextEditView.h"

#include <algorithm>

#include "kvContainer.h"

namespace {

// "Zg" spans the tallest ascender and the deepest descender of a line.
int measureLineHeight(HDC dc, TFont *font) {
    HGDIOBJ old = SelectObject(dc, font != nullptr ? font->GetHandle() : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    GetTextExtentPoint32W(dc, L"Zg", 2, &size);
    SelectObject(dc, old);
    return size.cy;
}

TkvTextOutFlags horzFlags(TAlignment alignment) {
    switch (alignment) {
    case taRightJustify:
        return kvtoRight;
    case taCenter:
        return kvtoCenterH;
    default:
        return kvtoLeft;
    }
}

TkvTextOutFlags vertFlags(TkvEditVertAlignment alignment) {
    switch (alignment) {
    case taBottomJustify:
        return kvtoBottom;
    case taVCenter:
        return kvtoCenterV;
    default:
        return kvtoTop;
    }
}

} // namespace

TRect TextEditClientArea(TkvCustomEditViewInfo *viewInfo) {
    TRect r = viewInfo->ClientRect;
    for (int i = 0; i < viewInfo->ButtonCount(); ++i) {
        const TkvEditButtonViewInfo *button = viewInfo->Button(i);
        if (IsRectEmpty(&button->Bounds))
            continue;
        if (button->Data.LeftAlignment)
            r.left = std::max(r.left, button->Bounds.right);
        else
            r.right = std::min(r.right, button->Bounds.left);
    }
    r.right = std::max(r.right, r.left);
    return r;
}

int TextEditLineHeight(TFont *font) {
    HDC dc = GetDC(nullptr);
    const int height = measureLineHeight(dc, font);
    ReleaseDC(nullptr, dc);
    return height;
}

TColor InverseColor(TColor color) { return static_cast<TColor>(ColorToRGB(color) ^ 0xFFFFFF); }

// --- TkvCustomTextEditViewInfo

void TkvCustomTextEditViewInfo::Assign(TkvContainerViewInfo *source) {
    if (auto *text = dynamic_cast<TkvCustomTextEditViewInfo *>(source)) {
        IsSelected = text->IsSelected;
        TextEditKind = text->TextEditKind;
        InnerEditShown = text->InnerEditShown;
        Focused = text->Focused;
        InPlace = text->InPlace;
        Text = text->Text;
        TextRect = text->TextRect;
        DrawTextFlags = text->DrawTextFlags;
        MaxLineCount = text->MaxLineCount;
        SelStart = text->SelStart;
        SelLength = text->SelLength;
        SelTextColor = text->SelTextColor;
        SelBackgroundColor = text->SelBackgroundColor;
        TextFont = text->TextFont;
        TextColor = text->TextColor;
        // The rows point into the source's text: lay out again when needed.
        TextOutData = TkvTextOutData{};
    }
    inherited::Assign(source);
}

void TkvCustomTextEditViewInfo::MoveBy(int dx, int dy) {
    inherited::MoveBy(dx, dy);
    OffsetRect(&TextRect, dx, dy);
    if (TextOutData.Initialized)
        for (TkvTextRow &row : TextOutData.Rows) {
            row.X += dx;
            row.Y += dy;
        }
}

void TkvCustomTextEditViewInfo::PrepareTextRows(TkvCanvas *canvas) {
    if (TextOutData.Initialized)
        return;
    if (TextFont != nullptr)
        canvas->SetFont(TextFont);
    TkvTextOutData &data = TextOutData;
    data.Params = GetTextParams(canvas, DrawTextFlags);
    HDC dc = canvas->GetHandle();
    data.TextContinues = !MakeTextRows(dc, Text, TextRect, MaxLineCount, data.RowCount, data.Rows, data.Params);
    PlaceTextRows(dc, TextRect, data.Params, data.Rows, data.RowCount);
    data.Initialized = true;
}

void TkvCustomTextEditViewInfo::Draw(TkvCanvas *canvas) {
    inherited::Draw(canvas);
    const TRect area = TextEditClientArea(this);
    if (!InnerEditShown || IsSelected) {
        canvas->SetBrushColor(IsSelected ? clHighlight : BackgroundColor);
        canvas->FillRect(area);
    }
    if (OnCustomDraw && OnCustomDraw(this, canvas))
        return;
    if (!InnerEditShown)
        DrawText(canvas);
    if (Focused && !InnerEditShown && !InPlace) {
        HDC dc = canvas->GetHandle();
        SetTextColor(dc, ColorToRGB(IsSelected ? clHighlightText : clWindowText));
        SetBkColor(dc, ColorToRGB(IsSelected ? clHighlight : BackgroundColor));
        TRect focus = area;
        InflateRect(&focus, -1, -1);
        if (!IsRectEmpty(&focus))
            ::DrawFocusRect(dc, &focus);
    }
}

void TkvCustomTextEditViewInfo::DrawText(TkvCanvas *canvas) {
    if (Text.empty())
        return;
    PrepareTextRows(canvas);
    TCanvas *c = canvas->Canvas();
    c->GetFont()->SetColor(IsSelected ? clHighlightText : TextColor);
    c->RequiredState(TCanvasState{csHandleValid, csFontValid});
    HDC dc = c->GetHandle();
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    DrawTextRows(dc, TextRect, TextOutData.Params, TextOutData.Rows, TextOutData.RowCount, TextOutData.TextContinues,
                 SelTextColor, SelBackgroundColor, SelLength > 0 ? SelStart : 0, std::max(SelLength, 0));
    SetBkMode(dc, oldMode);
}

bool TkvCustomTextEditViewInfo::NeedShowHint(TkvCanvas *canvas, const TPoint &point, const TPoint &origin,
                                             std::wstring &text, TRect &hintRect) {
    if (Text.empty() || PtInRect(&TextRect, point) == FALSE)
        return false;
    PrepareTextRows(canvas);
    const TkvTextOutData &data = TextOutData;
    const int width = TextRect.right - TextRect.left;
    bool clipped = data.TextContinues;
    for (int i = 0; i < data.RowCount && !clipped; ++i) {
        const TkvTextRow &row = data.Rows[static_cast<std::size_t>(i)];
        clipped = row.Width > width || row.Y + row.Height > TextRect.bottom;
    }
    if (!clipped)
        return false;
    text = Text;
    hintRect = TextRect;
    OffsetRect(&hintRect, origin.x, origin.y);
    return true;
}

// --- TkvCustomTextEditViewData

void TkvCustomTextEditViewData::InitializeSecond() {
    inherited::InitializeSecond();
    auto *properties = dynamic_cast<TkvCustomTextEditProperties *>(Properties);
    if (properties == nullptr)
        return;
    TkvEditAlignment *alignment = properties->Alignment();
    HorzAlignment = alignment->Horz();
    VertAlignment = alignment->Vert();
}

std::wstring TkvCustomTextEditViewData::EditValueToDisplayText(const Variant &editValue) {
    std::wstring text;
    auto *properties = dynamic_cast<TkvCustomTextEditProperties *>(Properties);
    if (FormatsValueItself || properties == nullptr) {
        if (!editValue.IsNull() && !editValue.IsEmpty())
            text = editValue.AsWideString();
    } else {
        Variant shown;
        properties->PrepareDisplayValue(editValue, shown, false);
        text = shown.IsNull() || shown.IsEmpty() ? std::wstring() : shown.AsWideString();
    }
    if (properties != nullptr)
        properties->PrepareDisplayText(text);
    return text;
}

TkvTextOutFlags TkvCustomTextEditViewData::GetDrawTextFlags() {
    return horzFlags(HorzAlignment) | vertFlags(VertAlignment) | kvtoSingleLine | kvtoNoLeftOverflow |
           kvtoNoTopOverflow;
}

void TkvCustomTextEditViewData::GetSelectionColors(TColor styleColor, TColor &text, TColor &background) const {
    if (SelBackgroundColor != kvTextEditNoColor) {
        background = SelBackgroundColor;
        text = SelTextColor != kvTextEditNoColor ? SelTextColor : InverseColor(background);
    } else if (SelTextColor != kvTextEditNoColor) {
        text = SelTextColor;
        background = InverseColor(text);
    } else if (styleColor == clHighlight) {
        background = clBlack;
        text = clWhite;
    } else {
        background = clHighlight;
        text = clHighlightText;
    }
}

void TkvCustomTextEditViewData::Calculate(TkvCanvas *canvas, const TRect &bounds, const TkvEditMouseState &mouse,
                                          TkvCustomEditViewInfo *viewInfo, TkvCustomEditViewInfo *old) {
    inherited::Calculate(canvas, bounds, mouse, viewInfo, old);
    auto *info = dynamic_cast<TkvCustomTextEditViewInfo *>(viewInfo);
    if (info == nullptr || Style == nullptr)
        return;
    auto *properties = dynamic_cast<TkvCustomTextEditProperties *>(Properties);
    info->TextEditKind = properties != nullptr ? properties->GetTextEditKind() : tekEdit;
    info->InnerEditShown = InnerEditShown;
    info->Focused = Focused;
    info->InPlace = InPlace;
    info->IsSelected = Selected;
    info->TextFont = Style->GetEffectiveFont();
    info->TextColor = Style->TextColor();
    info->Text = Text;
    info->TextOutData = TkvTextOutData{};

    const TRect area = TextEditClientArea(info);
    const TRect margins = GetTextMargins();
    TRect r{area.left + margins.left, area.top + margins.top, area.right - margins.right,
            area.bottom - margins.bottom};
    r.right = std::max(r.right, r.left);
    const int lineHeight = GetTextHeight(canvas);
    if (r.bottom - r.top < lineHeight)
        r.bottom = std::min(r.top + lineHeight, area.bottom);
    r.bottom = std::max(r.bottom, r.top);
    info->TextRect = r;
    info->MaxLineCount = MaxLineCount;

    TkvTextOutFlags flags = GetDrawTextFlags();
    if (WordWrap && canvas != nullptr && !Text.empty()) {
        TkvTextOutFlags wrap = (flags & ~kvtoSingleLine) | kvtoWordBreak | kvtoReserved200000 | kvtoFullRowsOnly;
        if (info->TextFont != nullptr)
            canvas->SetFont(info->TextFont);
        TkvTextParams params = GetTextParams(canvas, wrap);
        TkvTextRows rows;
        int count = 0;
        MakeTextRows(canvas->GetHandle(), Text, r, MaxLineCount, count, rows, params);
        if (count > 1) {
            flags = (flags & ~kvtoSingleLine) | kvtoWordBreak | kvtoFullRowsOnly;
            if (count * params.LineHeight > r.bottom - r.top)
                flags &= ~kvtoVertMask;
        }
    }
    info->DrawTextFlags = flags;

    info->SelStart = SelStart;
    info->SelLength = SelLength;
    if (SelLength > 0) {
        GetSelectionColors(Style->Color(), info->SelTextColor, info->SelBackgroundColor);
    } else {
        info->SelTextColor = kvTextEditNoColor;
        info->SelBackgroundColor = kvTextEditNoColor;
    }
}

TSize TkvCustomTextEditViewData::GetTextContentSize(TkvCanvas *canvas, const std::wstring &text, int availableWidth) {
    TFont *font = Style != nullptr ? Style->GetEffectiveFont() : nullptr;
    if (font != nullptr)
        canvas->SetFont(font);
    const TkvTextOutFlags flags = GetDrawTextFlags();
    TkvTextParams params = GetTextParams(canvas, flags);
    HDC dc = canvas->GetHandle();
    SIZE zg{};
    GetTextExtentPoint32W(dc, L"Zg", 2, &zg);
    TSize size{0, zg.cy};
    if (MaxLineCount > 0 && !WordWrap) {
        size.cy = zg.cy * MaxLineCount;
        if (!text.empty())
            size.cx = GetTextExtent(dc, text.c_str(), static_cast<int>(text.size()), params).cx;
    } else if ((flags & kvtoSingleLine) != 0 && !WordWrap) {
        if (!text.empty())
            size.cx = GetTextExtent(dc, text.c_str(), static_cast<int>(text.size()), params).cx;
    } else {
        TkvTextOutFlags wrap = (flags & ~kvtoSingleLine) | kvtoWordBreak;
        params = GetTextParams(canvas, wrap);
        TRect r{0, 0, availableWidth > 0 ? availableWidth : kvEditViewSizeLimit, kvEditViewSizeLimit};
        TkvTextRows rows;
        int count = 0;
        MakeTextRows(dc, text, r, MaxLineCount, count, rows, params);
        size.cx = GetMaxRowWidth(rows, count);
        size.cy = std::max(1, count) * params.LineHeight;
    }
    if (HorzAlignment == taRightJustify)
        ++size.cx;
    const TRect margins = GetTextMargins();
    size.cx += margins.left + margins.right;
    size.cy += margins.top + margins.bottom;
    return size;
}
