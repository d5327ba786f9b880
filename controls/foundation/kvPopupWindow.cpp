// TkvPopupWindow: a borderless stay-on-top form placed beside its owner on the side with room,
// inside the work area of the owner's monitor; it closes when it loses activation.
#include <classlib/messages.h>

#include <algorithm>

#include "kvControls.h"

void TkvPopupWindow::Create(TComponent *owner) {
    inherited::Create(owner);
    SetBorderStyle(bsNone);
    SetVisible(false);
    kvCanvas_ = New<TkvCanvas>(Canvas());
}

void TkvPopupWindow::Destroy() {
    SetOwnerParent(nullptr);
    FreeAndNil(kvCanvas_);
    inherited::Destroy();
}

void TkvPopupWindow::CreateParams(TCreateParams &params) {
    inherited::CreateParams(params);
    params.ExStyle |= WS_EX_TOPMOST;
}

void TkvPopupWindow::SetOwnerParent(TControl *value) {
    if (value == ownerParent_)
        return;
    if (ownerParent_ != nullptr)
        ownerParent_->RemoveFreeNotification(this);
    ownerParent_ = value;
    if (ownerParent_ != nullptr)
        ownerParent_->FreeNotification(this);
}

void TkvPopupWindow::Notification(TComponent *component, TOperation operation) {
    inherited::Notification(component, operation);
    if (operation == opRemove && component == ownerParent_)
        ownerParent_ = nullptr;
}

int TkvPopupWindow::GetFrameWidth(TkvPopupSide) {
    switch (PopupBorderStyle) {
    case pbsSingle:
    case pbsFlat:
        return 1;
    case pbs3D:
        return 2;
    default:
        return 0;
    }
}

int TkvPopupWindow::GetBorderWidth(TkvPopupSide side) { return GetFrameWidth(side) + BorderSpace; }

void TkvPopupWindow::GetOwnerScreenBounds(TRect &rect) {
    rect = OwnerBounds;
    if (ownerParent_ == nullptr)
        return;
    TPoint topLeft = ownerParent_->ClientToScreen(TPoint{rect.left, rect.top});
    TPoint bottomRight = ownerParent_->ClientToScreen(TPoint{rect.right, rect.bottom});
    rect = TRect{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

void TkvPopupWindow::InitPopup() {
    if (ownerParent_ != nullptr)
        SetFont(ownerParent_->Font());
}

// Every run starts from the children's own places: a popup shown again does not move them on.
// A child moved by someone else since the last run takes its new place as its own.
void TkvPopupWindow::storeChildPositions() {
    std::vector<TRect> bounds;
    TList<TControl *> children;
    for (int i = 0; i < ControlCount(); ++i) {
        TControl *child = Controls(i);
        TRect current = child->BoundsRect();
        TRect own = current;
        int index = placedChildren_.IndexOf(child);
        if (index >= 0) {
            TRect placed = storedBounds_[static_cast<std::size_t>(index)];
            TRect expected = placed;
            OffsetRect(&expected, placedOffset_.x, placedOffset_.y);
            if (EqualRect(&expected, &current))
                own = placed;
        }
        children.Add(child);
        bounds.push_back(own);
    }
    placedChildren_ = children;
    storedBounds_ = bounds;
}

void TkvPopupWindow::CalculateSize() {
    if (!Adjustable)
        return;
    storeChildPositions();
    int left = GetBorderWidth(psLeft);
    int top = GetBorderWidth(psTop);
    int right = 0;
    int bottom = 0;
    for (int i = 0; i < placedChildren_.Count(); ++i) {
        TControl *child = placedChildren_.Get(i);
        const TRect &own = storedBounds_[static_cast<std::size_t>(i)];
        right = std::max(right, static_cast<int>(own.right));
        bottom = std::max(bottom, static_cast<int>(own.bottom));
        child->SetBounds(own.left + left, own.top + top, own.right - own.left, own.bottom - own.top);
    }
    placedOffset_ = TPoint{left, top};
    if (placedChildren_.Count() > 0) {
        SetWidth(left + right + GetBorderWidth(psRight));
        SetHeight(top + bottom + GetBorderWidth(psBottom));
    }
}

void TkvPopupWindow::CalculatePosition(TPoint &p) {
    TkvPopupAlignHorz alignHorz = AlignHorz;
    TkvPopupAlignVert alignVert = AlignVert;
    TRect o;
    GetOwnerScreenBounds(o);
    int width = Width();
    int height = Height();
    TPoint anchor{o.left, o.bottom};
    auto place = [&] {
        if (alignHorz == pahCenter) {
            p.x = (o.left + o.right - width) / 2;
            anchor.x = p.x;
        }
        if (alignVert == pavCenter) {
            p.y = (o.top + o.bottom - height) / 2;
            anchor.y = p.y;
        }
        if (Direction == pdVertical) {
            if (alignHorz == pahLeft) {
                p.x = o.left;
                anchor.x = o.left;
            } else if (alignHorz == pahRight) {
                p.x = o.right - width;
                anchor.x = o.right;
            }
            if (alignVert == pavTop) {
                p.y = o.top - height;
                anchor.y = o.top;
            } else if (alignVert == pavBottom) {
                p.y = o.bottom;
                anchor.y = o.bottom;
            }
        } else {
            if (alignHorz == pahLeft) {
                p.x = o.left - width;
                anchor.x = o.left;
            } else if (alignHorz == pahRight) {
                p.x = o.right;
                anchor.x = o.right;
            }
            if (alignVert == pavTop) {
                p.y = o.top;
                anchor.y = o.top;
            } else if (alignVert == pavBottom) {
                p.y = o.bottom - height;
                anchor.y = o.bottom;
            }
        }
    };
    place();
    TRect w = GetMonitorWorkArea(anchor);
    if (Direction == pdVertical) {
        if (alignVert == pavBottom && p.y + height > w.bottom && w.bottom - o.bottom < o.top - w.top)
            alignVert = pavTop;
        else if (alignVert == pavTop && p.y < w.top && !(w.bottom - o.bottom < o.top - w.top))
            alignVert = pavBottom;
    } else {
        if (alignHorz == pahRight && p.x + width > w.right && w.right - o.right < o.left - w.left)
            alignHorz = pahLeft;
        else if (alignHorz == pahLeft && p.x < w.left && !(w.right - o.right < o.left - w.left))
            alignHorz = pahRight;
    }
    place();
    if (Direction == pdVertical || alignHorz == pahCenter) {
        if (p.x + width > w.right)
            p.x = w.right - width;
        if (p.x < w.left)
            p.x = w.left;
    }
    if (Direction == pdHorizontal || alignVert == pavCenter) {
        if (p.y + height > w.bottom)
            p.y = w.bottom - height;
        if (p.y < w.top)
            p.y = w.top;
    }
}

void TkvPopupWindow::DrawFrame() {
    TRect r{0, 0, Width(), Height()};
    switch (PopupBorderStyle) {
    case pbsSingle:
        kvCanvas_->FrameRect(r, FrameColor);
        break;
    case pbsFlat:
        kvCanvas_->DrawEdge(r, false, false);
        break;
    case pbs3D:
        kvCanvas_->DrawEdge(r, false, true);
        InflateRect(&r, -1, -1);
        kvCanvas_->DrawEdge(r, false, false);
        break;
    default:
        break;
    }
}

void TkvPopupWindow::ClosePopup() { Hide(); }

void TkvPopupWindow::Popup() {
    InitPopup();
    CalculateSize();
    TPoint p{Left(), Top()};
    CalculatePosition(p);
    int left = p.x;
    p = TPoint{Left(), Top()};
    CalculatePosition(p);
    SetBounds(left, p.y, Width(), Height());
    Show();
}

void TkvPopupWindow::Paint() {
    inherited::Paint();
    DrawFrame();
}

void TkvPopupWindow::Deactivate() {
    inherited::Deactivate();
    ClosePopup();
}

void TkvPopupWindow::Dispatch(TMessage &m) {
    switch (m.Msg) {
    case WM_ACTIVATE:
        inherited::Dispatch(m);
        if (LOWORD(m.WParam) != WA_INACTIVE) {
            // The owner's caption stays drawn active while the popup is up.
            prevActiveWindow_ = reinterpret_cast<HWND>(m.LParam);
            if (prevActiveWindow_ != nullptr)
                SendMessageW(prevActiveWindow_, WM_NCACTIVATE, TRUE, 0);
        }
        return;
    case WM_ACTIVATEAPP:
        inherited::Dispatch(m);
        if (m.WParam == FALSE) {
            if (prevActiveWindow_ != nullptr && IsWindow(prevActiveWindow_))
                SendMessageW(prevActiveWindow_, WM_NCACTIVATE, FALSE, 0);
            ClosePopup();
        }
        return;
    case CM_VISIBLECHANGED:
        inherited::Dispatch(m);
        VisibleChanged();
        return;
    default:
        inherited::Dispatch(m);
    }
}
