// The scroll bars and size grip a TkvControl owns, and how the control keeps them up to date.
#include <classlib/messages.h>

#include "kvControls.h"

// --- TkvControlScrollBar

void TkvControlScrollBar::Create(TComponent *owner) {
    inherited::Create(owner);
    SetColor(clBtnFace);
    TControlStyle style = ControlStyle();
    style.Exclude(csFramed);
    style.Include(csNoDesignVisible);
    SetControlStyle(style);
    SetTabStop(false);
    SetVisible(false);
}

void TkvControlScrollBar::ApplyData() {
    if (Data.Visible) {
        SetScrollParams(Data.Min, Data.Max, true, Data.PageSize, Data.Position);
        SetSmallChange(Data.SmallChange);
        SetLargeChange(Data.LargeChange);
    }
    SetEnabled(Data.Enabled);
    SetVisible(Data.Visible);
}

void TkvControlScrollBar::FocusParent() {
    TWinControl *parent = Parent();
    if (parent == nullptr)
        return;
    if (auto *control = dynamic_cast<TkvControl *>(parent)) {
        if (control->CanFocusOnScrollBarClick(this))
            control->SetFocus();
    } else if (parent->CanFocus()) {
        parent->SetFocus();
    }
}

void TkvControlScrollBar::WndProc(TMessage &m) {
    if (m.Msg == WM_LBUTTONDOWN) {
        TkvObjectLink *link = CreateObjectLink(this);
        try {
            FocusParent();
        } catch (...) {
            ReleaseObjectLink(link);
            throw;
        }
        bool alive = link->Ref != nullptr;
        ReleaseObjectLink(link);
        if (!alive)
            return;
    }
    inherited::WndProc(m);
}

void TkvControlScrollBar::Dispatch(TMessage &m) {
    if (m.Msg == CM_DESIGNHITTEST) {
        m.Result = 1;
        return;
    }
    inherited::Dispatch(m);
}

// --- TkvSizeGrip

void TkvSizeGrip::Create(TComponent *owner) {
    inherited::Create(owner);
    SetColor(clBtnFace);
    TControlStyle style = ControlStyle();
    style.Include(csNoDesignVisible);
    SetControlStyle(style);
    SetVisible(false);
}

void TkvSizeGrip::Paint() {
    Canvas()->GetBrush()->SetColor(Color());
    Canvas()->FillRect(ClientRect());
}

// --- TkvControl's bars

void TkvControl::createScrollBars() {
    hScrollBar_ = New<TkvControlScrollBar>(nullptr);
    hScrollBar_->SetKind(sbHorizontal);
    vScrollBar_ = New<TkvControlScrollBar>(nullptr);
    vScrollBar_->SetKind(sbVertical);
    vScrollBar_->SetWidth(GetSystemMetrics(SM_CXVSCROLL));
    for (TkvControlScrollBar *bar : {hScrollBar_, vScrollBar_}) {
        bar->LookAndFeel()->SetMasterLookAndFeel(lookAndFeel_);
        bar->OnScroll = [this](TObject *sender, TScrollCode code, int &pos) { scrollBarScroll(sender, code, pos); };
    }
    sizeGrip_ = New<TkvSizeGrip>(nullptr);
}

void TkvControl::destroyScrollBars() {
    FreeAndNil(sizeGrip_);
    FreeAndNil(vScrollBar_);
    FreeAndNil(hScrollBar_);
}

void TkvControl::scrollBarScroll(TObject *sender, TScrollCode code, int &pos) {
    Scroll(sender == hScrollBar_ ? sbHorizontal : sbVertical, code, pos);
}

void TkvControl::AttachScrollBars() {
    if (!NeedsScrollBars() || hScrollBar_ == nullptr)
        return;
    hScrollBar_->SetParent(this);
    vScrollBar_->SetParent(this);
    sizeGrip_->SetParent(this);
}

bool TkvControl::IsScrollBarPart(TControl *control) {
    return control != nullptr && (control == hScrollBar_ || control == vScrollBar_ || control == sizeGrip_);
}

void TkvControl::BringScrollBarsToFront() {
    if (hScrollBar_ == nullptr)
        return;
    hScrollBar_->BringToFront();
    vScrollBar_->BringToFront();
    sizeGrip_->BringToFront();
}

bool TkvControl::IsHScrollBarVisible() {
    if (!NeedsScrollBars() || hScrollBar_ == nullptr)
        return false;
    return updatingScrollBars_ ? hScrollBar_->Data.Visible : hScrollBar_->Visible();
}

bool TkvControl::IsVScrollBarVisible() {
    if (!NeedsScrollBars() || vScrollBar_ == nullptr)
        return false;
    return updatingScrollBars_ ? vScrollBar_->Data.Visible : vScrollBar_->Visible();
}

void TkvControl::GetHScrollBarBounds(TRect &rect) {
    GetClientBounds(rect);
    rect.top = rect.bottom;
    rect.bottom = rect.top + hScrollBar_->Height();
}

void TkvControl::GetVScrollBarBounds(TRect &rect) {
    GetClientBounds(rect);
    rect.left = rect.right;
    rect.right = rect.left + vScrollBar_->Width();
}

void TkvControl::GetSizeGripBounds(TRect &rect) {
    TRect h;
    TRect v;
    GetHScrollBarBounds(h);
    GetVScrollBarBounds(v);
    rect = TRect{v.left, h.top, v.right, h.bottom};
}

void TkvControl::UpdateScrollBarBounds() {
    if (hScrollBar_ == nullptr)
        return;
    TRect r;
    if (hScrollBar_->Visible()) {
        GetHScrollBarBounds(r);
        hScrollBar_->SetBoundsRect(r);
    }
    if (vScrollBar_->Visible()) {
        GetVScrollBarBounds(r);
        vScrollBar_->SetBoundsRect(r);
    }
    if (sizeGrip_->Visible()) {
        GetSizeGripBounds(r);
        sizeGrip_->SetBoundsRect(r);
    }
}

void TkvControl::SetScrollBarInfo(TScrollBarKind kind, int min, int max, int step, int page, int pos,
                                  bool allowShow, bool allowHide) {
    TkvControlScrollBar *bar = kind == sbHorizontal ? hScrollBar_ : vScrollBar_;
    if (bar == nullptr)
        return;
    TkvScrollBarData &data = bar->Data;
    data.AllowShow = allowShow;
    data.AllowHide = allowHide;
    bool styleAllows = scrollBars_ == ssBoth || (kind == sbHorizontal ? scrollBars_ == ssHorizontal
                                                                      : scrollBars_ == ssVertical);
    if (!allowShow || !styleAllows) {
        data.Visible = false;
        return;
    }
    // 64-bit: a range near the ends of the integers must not wrap.
    bool useless = max < min || static_cast<long long>(page) >= static_cast<long long>(max) - min + 1 || pos < min;
    if (useless) {
        if (allowHide) {
            data.Visible = false;
        } else {
            data.Visible = true;
            data.Enabled = false;
        }
        return;
    }
    data.Min = min;
    data.Max = max;
    data.Position = pos;
    data.PageSize = page;
    data.SmallChange = static_cast<TScrollBarInc>(step);
    data.LargeChange = static_cast<TScrollBarInc>(page);
    data.Visible = true;
    data.Enabled = true;
}

void TkvControl::applyScrollBarsData() {
    hScrollBar_->ApplyData();
    vScrollBar_->ApplyData();
}

void TkvControl::UpdateScrollBars() {
    // Asked again from inside SetupScrollBarParams: the running update sees the new data.
    if (!NeedsScrollBars() || hScrollBar_ == nullptr || updatingScrollBars_)
        return;
    bool outermost = scrollBarsUpdateLevel_ == 0;
    if (outermost) {
        notedHVisible_ = hScrollBar_->Visible();
        notedVVisible_ = vScrollBar_->Visible();
    }
    bool startH = hScrollBar_->Visible();
    bool startV = vScrollBar_->Visible();
    ++scrollBarsUpdateLevel_;
    try {
        if (!scrollBarsOscillation_) {
            updatingScrollBars_ = true;
            try {
                hScrollBar_->Data.Visible = false;
                vScrollBar_->Data.Visible = false;
                // Each pass may show a bar that takes room from the other; a handful settles it.
                for (int pass = 0; pass < 8; ++pass) {
                    bool h = IsHScrollBarVisible();
                    bool v = IsVScrollBarVisible();
                    SetupScrollBarParams();
                    if (h == IsHScrollBarVisible() && v == IsVScrollBarVisible())
                        break;
                }
                TkvScrollBarData &hd = hScrollBar_->Data;
                TkvScrollBarData &vd = vScrollBar_->Data;
                if (hd.Visible && vd.Visible && hd.Enabled && vd.Enabled && hd.AllowHide && vd.AllowHide &&
                    CanHideBothScrollBars(sbHorizontal) && CanHideBothScrollBars(sbVertical) &&
                    static_cast<long long>(hd.PageSize) + vScrollBar_->Width() >= static_cast<long long>(hd.Max) - hd.Min + 1 &&
                    static_cast<long long>(vd.PageSize) + hScrollBar_->Height() >= static_cast<long long>(vd.Max) - vd.Min + 1) {
                    TkvScrollBarData h = hd;
                    TkvScrollBarData v = vd;
                    SetScrollBarInfo(sbHorizontal, h.Min, h.Max, h.SmallChange, h.PageSize + vScrollBar_->Width(),
                                     h.Position, h.AllowShow, h.AllowHide);
                    SetScrollBarInfo(sbVertical, v.Min, v.Max, v.SmallChange, v.PageSize + hScrollBar_->Height(),
                                     v.Position, v.AllowShow, v.AllowHide);
                }
            } catch (...) {
                updatingScrollBars_ = false;
                throw;
            }
            updatingScrollBars_ = false;
            if (!outermost && hScrollBar_->Data.Visible == notedHVisible_ &&
                vScrollBar_->Data.Visible == notedVVisible_) {
                scrollBarsOscillation_ = true;
                if (notedHVisible_ != hScrollBar_->Visible()) {
                    hScrollBar_->SetEnabled(false);
                    hScrollBar_->SetVisible(true);
                }
                if (notedVVisible_ != vScrollBar_->Visible()) {
                    vScrollBar_->SetEnabled(false);
                    vScrollBar_->SetVisible(true);
                }
            } else {
                applyScrollBarsData();
            }
        }
        if (hScrollBar_->Visible() != startH || vScrollBar_->Visible() != startV) {
            BoundsChanged();
        } else {
            sizeGrip_->SetVisible(hScrollBar_->Visible() && vScrollBar_->Visible());
            UpdateScrollBarBounds();
            if (NeedsBringScrollBarsToFront())
                BringScrollBarsToFront();
        }
    } catch (...) {
        if (--scrollBarsUpdateLevel_ == 0)
            scrollBarsOscillation_ = false;
        throw;
    }
    if (--scrollBarsUpdateLevel_ == 0)
        scrollBarsOscillation_ = false;
}
