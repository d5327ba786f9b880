#include "classlib/stdctrls.h"

void TCustomLabel::Create(TComponent *owner) {
    inherited::Create(owner);
    controlStyle_ = controlStyle_ + TControlStyle{csOpaque, csReplicatable};
    width_ = 65;
    height_ = 17;
    parentColor_ = true;
}

void TCustomLabel::SetAutoSize(bool value) {
    if (autoSize_ == value)
        return;
    autoSize_ = value;
    AdjustBounds();
}

void TCustomLabel::SetAlignment(TAlignment value) {
    if (alignment_ == value)
        return;
    alignment_ = value;
    Invalidate();
}

void TCustomLabel::SetTransparent(bool value) {
    if (transparent_ == value)
        return;
    transparent_ = value;
    TControlStyle style = controlStyle_;
    if (value)
        style.Exclude(csOpaque);
    else
        style.Include(csOpaque);
    controlStyle_ = style;
    Invalidate();
}

void TCustomLabel::SetWordWrap(bool value) {
    if (wordWrap_ == value)
        return;
    wordWrap_ = value;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::DoDrawText(TRect &rect, UINT flags) {
    std::wstring text = GetText();
    if (text.empty() && (flags & DT_CALCRECT) != 0)
        text = L" "; // an empty caption still takes a line
    flags |= DT_EXPANDTABS | DT_NOPREFIX;
    if (wordWrap_)
        flags |= DT_WORDBREAK;
    HDC dc = Canvas()->GetHandle();
    HGDIOBJ oldFont = SelectObject(dc, font_->GetHandle());
    SetBkMode(dc, TRANSPARENT);
    if (enabled_) {
        SetTextColor(dc, ColorToRGB(font_->GetColor()));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, flags);
    } else {
        // Disabled: the embossed look of the system's disabled text.
        OffsetRect(&rect, 1, 1);
        SetTextColor(dc, ColorToRGB(clBtnHighlight));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, flags);
        OffsetRect(&rect, -1, -1);
        SetTextColor(dc, ColorToRGB(clBtnShadow));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, flags);
    }
    SelectObject(dc, oldFont);
}

void TCustomLabel::Paint() {
    TRect r = GetClientRect();
    HDC dc = Canvas()->GetHandle();
    if (!transparent_) {
        HBRUSH brush = CreateSolidBrush(ColorToRGB(color_));
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    }
    static constexpr UINT alignments[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    DoDrawText(r, alignments[alignment_]);
}

void TCustomLabel::AdjustBounds() {
    if (!autoSize_ || ComponentState().Contains(csLoading))
        return;
    HDC dc = GetDC(nullptr);
    if (dc == nullptr)
        return;
    TRect r{0, 0, wordWrap_ ? width_ : 0, 0};
    std::wstring text = GetText();
    if (text.empty())
        text = L" ";
    HGDIOBJ oldFont = SelectObject(dc, font_->GetHandle());
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX | (wordWrap_ ? DT_WORDBREAK : 0));
    SelectObject(dc, oldFont);
    ReleaseDC(nullptr, dc);
    int x = left_;
    if (alignment_ == taRightJustify)
        x = left_ + width_ - r.right;
    SetBounds(x, top_, r.right, r.bottom);
}

void TCustomLabel::Dispatch(TMessage &m) {
    switch (m.Msg) {
    case CM_TEXTCHANGED:
        AdjustBounds();
        Invalidate();
        return;
    case CM_FONTCHANGED:
        inherited::Dispatch(m);
        AdjustBounds();
        return;
    default:
        inherited::Dispatch(m);
    }
}
