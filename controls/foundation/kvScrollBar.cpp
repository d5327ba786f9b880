#include "kvScrollBar.h"

#include <classlib/exceptions.h>
#include <classlib/messages.h>

#include <algorithm>

#include "ztUxTheme.h"

namespace {

bool isRepeatingPart(TkvScrollBarPart part) noexcept {
    return part == sbpLineUp || part == sbpLineDown || part == sbpPageUp || part == sbpPageDown;
}

TScrollCode scrollCodeOfPart(TkvScrollBarPart part) noexcept {
    switch (part) {
    case sbpLineUp:
        return scLineUp;
    case sbpLineDown:
        return scLineDown;
    case sbpThumb:
        return scTrack;
    case sbpPageUp:
        return scPageUp;
    default:
        return scPageDown;
    }
}

bool isEmptyRect(const TRect &r) noexcept { return r.right <= r.left || r.bottom <= r.top; }

bool inRect(const TRect &r, TPoint p) noexcept { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

} // namespace

void TkvScrollBar::Create(TComponent *owner) {
    inherited::Create(owner);
    TControlStyle style = ControlStyle();
    style.Include(csCaptureMouse);
    style.Include(csFramed);
    style.Include(csOpaque);
    SetControlStyle(style);
    bitmap_ = New<TBitmap>();
    bitmapCanvas_ = New<TkvCanvas>(bitmap_->GetCanvas());
    lookAndFeel_ = New<TkvLookAndFeel>(static_cast<TPersistent *>(this));
    lookAndFeel_->OnChanged = [this](TkvLookAndFeel *sender, TkvLookAndFeelValues values) {
        lookAndFeelChanged(sender, values);
    };
    themeNotificator_ = New<TztThemeChangedNotificator>();
    themeNotificator_->OnThemeChanged = [this] { themeChanged(); };
    timer_ = New<TkvTimer>(nullptr);
    timer_->SetEnabled(false);
    timer_->SetInterval(kvScrollFirstRepeatDelay);
    timer_->SetOnTimer([this](TObject *sender) { repeatTick(sender); });
    CalcMinThumbSize();
    SetBounds(0, 0, 121, GetSystemMetrics(SM_CYHSCROLL));
}

void TkvScrollBar::Destroy() {
    FreeAndNil(timer_);
    FreeAndNil(themeNotificator_);
    FreeAndNil(lookAndFeel_);
    FreeAndNil(bitmapCanvas_);
    FreeAndNil(bitmap_);
    inherited::Destroy();
}

void TkvScrollBar::SetKind(TScrollBarKind value) {
    if (kind_ == value)
        return;
    kind_ = value;
    if (ComponentState().Contains(csLoading))
        CalcParts();
    else
        SetBounds(Left(), Top(), Height(), Width());
    Invalidate();
}

void TkvScrollBar::SetScrollParams(int min, int max, bool redraw, int pageSize, int position) {
    if (max < min || max < pageSize)
        throw EInvalidOperation(LoadResString(SScrollBarRange));
    redraw = redraw && HandleAllocated();
    position = std::clamp(position, min, max);
    if (min == min_ && max == max_ && pageSize == pageSize_ && position == position_)
        return;
    min_ = min;
    max_ = max;
    pageSize_ = pageSize;
    if (position == position_) {
        calcThumb();
        if (redraw)
            Invalidate();
        return;
    }
    SetEnabled(true);
    position_ = position;
    calcThumb();
    if (redraw)
        Invalidate();
    Change();
}

void TkvScrollBar::SetBounds(int left, int top, int width, int height) {
    bool changed = left != Left() || top != Top() || width != Width() || height != Height();
    inherited::SetBounds(left, top, width, height);
    if (changed && width > 0 && height > 0) {
        bitmap_->SetSize(width, height);
        CalcParts();
    }
}

TkvPainterClass TkvScrollBar::GetPainter() const { return lookAndFeel_->GetPainterClass(totScrollBar); }

void TkvScrollBar::ScrollBy(TScrollCode code) {
    int pos = position_;
    switch (code) {
    case scLineUp:
        pos = position_ - smallChange_;
        break;
    case scLineDown:
        pos = position_ + smallChange_;
        break;
    case scPageUp:
        pos = position_ - largeChange_;
        break;
    case scPageDown:
        pos = position_ + largeChange_;
        break;
    case scTop:
        pos = min_;
        break;
    case scBottom:
        pos = max_;
        break;
    default:
        break;
    }
    pos = std::clamp(pos, min_, max_);
    Scroll(code, pos);
    pos = std::clamp(pos, min_, max_);
    if (pos == position_)
        return;
    if (code == scTrack) {
        position_ = pos;
        calcThumb();
        Invalidate();
    } else {
        SetPosition(pos);
    }
}

void TkvScrollBar::Change() {
    if (OnChange)
        OnChange(this);
}

void TkvScrollBar::Scroll(TScrollCode scrollCode, int &scrollPos) {
    if (OnScroll)
        OnScroll(this, scrollCode, scrollPos);
}

// --- parts

int TkvScrollBar::trackStart() const noexcept {
    return static_cast<int>(horizontal() ? arrow1_.right : arrow1_.bottom);
}

int TkvScrollBar::trackLength() const noexcept {
    return std::max(0, static_cast<int>(horizontal() ? arrow2_.left : arrow2_.top) - trackStart());
}

void TkvScrollBar::CalcMinThumbSize() {
    minThumbSize_ = 8;
    if (GetPainter() != PainterOf<TkvWinXPLookAndFeelPainter>())
        return;
    HTHEME theme = OpenThemeForKind(totScrollBar);
    if (theme == nullptr)
        return;
    // The gripper drawn on the thumb: part 9 on horizontal bars, 8 on vertical ones.
    int part = horizontal() ? 9 : 8;
    SIZE minSize{};
    if (FAILED(zt::GetThemePartSize(theme, nullptr, part, 1, TS_MIN, &minSize)))
        return;
    int size = horizontal() ? static_cast<int>(minSize.cx) : static_cast<int>(minSize.cy);
    SIZE trueSize{};
    if (SUCCEEDED(zt::GetThemePartSize(theme, nullptr, part, 1, TS_TRUE, &trueSize)))
        size = std::max(size, static_cast<int>(horizontal() ? trueSize.cx : trueSize.cy) + 4);
    minThumbSize_ = std::max(size, 8);
}

void TkvScrollBar::CalcParts() {
    int w = Width();
    int h = Height();
    int length = horizontal() ? w : h;
    int arrow = std::min(GetSystemMetrics(horizontal() ? SM_CYHSCROLL : SM_CXVSCROLL), length / 2);
    if (horizontal()) {
        arrow1_ = TRect{0, 0, arrow, h};
        arrow2_ = TRect{w - arrow, 0, w, h};
    } else {
        arrow1_ = TRect{0, 0, w, arrow};
        arrow2_ = TRect{0, h - arrow, w, h};
    }
    calcThumb();
}

// Where the thumb stands for the position. A range or free track of zero or less puts the
// thumb at the track's start, never outside the bar.
void TkvScrollBar::calcThumb() {
    thumb_ = TRect{};
    int length = trackLength();
    int start = trackStart();
    int thumbLength = 0;
    int offset = 0;
    bool hasThumb = Enabled();
    if (hasThumb && pageSize_ > 0) {
        if (length < minThumbSize_ || max_ == min_) {
            hasThumb = false;
        } else {
            thumbLength = std::min(length, MulDiv(pageSize_, length, max_ - min_ + 1));
            thumbLength = std::max(thumbLength, minThumbSize_);
            int d = max_ - min_ - pageSize_ + 1;
            if (d > 0 && length - thumbLength > 0)
                offset = MulDiv(length - thumbLength, std::min(position_ - min_, d), d);
        }
    } else if (hasThumb) {
        thumbLength = GetSystemMetrics(horizontal() ? SM_CXHTHUMB : SM_CYVTHUMB);
        if (length < thumbLength)
            hasThumb = false;
        else if (length - thumbLength > 0 && max_ != min_)
            offset = MulDiv(length - thumbLength, position_ - min_, max_ - min_);
    }
    if (hasThumb) {
        offset = std::clamp(offset, 0, std::max(0, length - thumbLength));
        if (horizontal())
            thumb_ = TRect{start + offset, 0, start + offset + thumbLength, Height()};
        else
            thumb_ = TRect{0, start + offset, Width(), start + offset + thumbLength};
    }
    calcPageAreas();
}

void TkvScrollBar::calcPageAreas() {
    page1_ = TRect{};
    page2_ = TRect{};
    if (isEmptyRect(thumb_))
        return;
    if (horizontal()) {
        page1_ = TRect{arrow1_.right, 0, thumb_.left, Height()};
        page2_ = TRect{thumb_.right, 0, arrow2_.left, Height()};
    } else {
        page1_ = TRect{0, arrow1_.bottom, Width(), thumb_.top};
        page2_ = TRect{0, thumb_.bottom, Width(), arrow2_.top};
    }
}

void TkvScrollBar::moveThumbTo(int start) {
    int thumbLength = horizontal() ? thumb_.right - thumb_.left : thumb_.bottom - thumb_.top;
    start = std::clamp(start, trackStart(), std::max(trackStart(), trackStart() + trackLength() - thumbLength));
    if (horizontal())
        thumb_ = TRect{start, 0, start + thumbLength, Height()};
    else
        thumb_ = TRect{0, start, Width(), start + thumbLength};
    calcPageAreas();
}

int TkvScrollBar::PositionFromThumb() const {
    int range = max_ - min_;
    if (pageSize_ > 0)
        range += 1 - pageSize_;
    int thumbLength = horizontal() ? thumb_.right - thumb_.left : thumb_.bottom - thumb_.top;
    int free = trackLength() - thumbLength;
    if (range <= 0 || free <= 0 || isEmptyRect(thumb_))
        return min_;
    int offset = (horizontal() ? thumb_.left : thumb_.top) - trackStart();
    return min_ + MulDiv(range, offset, free);
}

TkvScrollBarPart TkvScrollBar::HitTest(TPoint p) {
    TRect client{0, 0, Width(), Height()};
    if (!inRect(client, p))
        return sbpNone;
    if (inRect(arrow1_, p))
        return sbpLineUp;
    if (inRect(arrow2_, p))
        return sbpLineDown;
    if (isEmptyRect(thumb_))
        return sbpNone;
    if (inRect(thumb_, p))
        return sbpThumb;
    if (inRect(page1_, p))
        return sbpPageUp;
    if (inRect(page2_, p))
        return sbpPageDown;
    return sbpNone;
}

TRect TkvScrollBar::PartBounds(TkvScrollBarPart part) const {
    switch (part) {
    case sbpLineUp:
        return arrow1_;
    case sbpLineDown:
        return arrow2_;
    case sbpThumb:
        return thumb_;
    case sbpPageUp:
        return page1_;
    case sbpPageDown:
        return page2_;
    default:
        return TRect{};
    }
}

std::uint32_t TkvScrollBar::RepeatInterval() const { return timer_->GetInterval(); }

bool TkvScrollBar::Repeating() const { return timer_->GetEnabled(); }

bool TkvScrollBar::pressedIsRepeating() const noexcept { return isRepeatingPart(pressedPart_); }

// --- mouse

void TkvScrollBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    inherited::MouseDown(button, shift, x, y);
    if (button != mbLeft)
        return;
    TkvScrollBarPart part = HitTest(TPoint{x, y});
    if (part == sbpNone)
        return;
    pressedPart_ = part;
    hotPart_ = part;
    if (part == sbpThumb) {
        downPoint_ = TPoint{x, y};
        savedPosition_ = position_;
        thumbPosition_ = position_;
        savedThumbStart_ = horizontal() ? thumb_.left : thumb_.top;
        ScrollBy(scTrack);
    } else {
        ScrollBy(scrollCodeOfPart(part));
        timer_->SetInterval(kvScrollFirstRepeatDelay);
        timer_->SetEnabled(true);
    }
    Repaint();
}

void TkvScrollBar::repeatTick(TObject *) {
    if (!MouseCapture() || !pressedIsRepeating()) {
        EndTracking();
        return;
    }
    if (timer_->GetInterval() == kvScrollFirstRepeatDelay)
        timer_->SetInterval(kvScrollRepeatInterval);
    ScrollBy(scrollCodeOfPart(pressedPart_));
    TPoint cursor = ScreenToClient(Mouse->CursorPos());
    timer_->SetEnabled(HitTest(cursor) == pressedPart_);
    Repaint();
}

void TkvScrollBar::MouseMove(TShiftState shift, int x, int y) {
    inherited::MouseMove(shift, x, y);
    TPoint p{x, y};
    if (pressedPart_ == sbpThumb) {
        TRect zone{0, 0, Width(), Height()};
        if (horizontal())
            InflateRect(&zone, kvScrollTrackingZoneAlong, kvScrollTrackingZoneAcross);
        else
            InflateRect(&zone, kvScrollTrackingZoneAcross, kvScrollTrackingZoneAlong);
        if (unlimitedTracking_ || inRect(zone, p)) {
            moveThumbTo(savedThumbStart_ + along(p) - along(downPoint_));
            TRect thumb = thumb_;
            Invalidate();
            int pos = PositionFromThumb();
            thumbPosition_ = pos;
            if (pos != position_) {
                SetPosition(pos);
                // The thumb stays under the mouse, not where the position would put it.
                thumb_ = thumb;
                calcPageAreas();
                ScrollBy(scTrack);
            }
        } else {
            thumbPosition_ = savedPosition_;
            if (savedPosition_ != position_)
                SetPosition(savedPosition_);
            calcThumb();
            Invalidate();
            ScrollBy(scTrack);
        }
        return;
    }
    TkvScrollBarPart part = HitTest(p);
    if (pressedIsRepeating())
        timer_->SetEnabled(part == pressedPart_);
    if (part != hotPart_) {
        hotPart_ = part;
        if (GetPainter()->TracksButtonHover() || pressedPart_ != sbpNone)
            Repaint();
    }
}

void TkvScrollBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    EndTracking();
    hotPart_ = HitTest(TPoint{x, y});
    inherited::MouseUp(button, shift, x, y);
}

void TkvScrollBar::EndTracking() {
    if (pressedPart_ == sbpThumb) {
        int pos = thumbPosition_;
        Scroll(scPosition, pos);
        pos = std::clamp(pos, min_, max_);
        if (pos != position_)
            SetPosition(pos);
    }
    timer_->SetEnabled(false);
    pressedPart_ = sbpNone;
    hotPart_ = sbpNone;
    int pos = position_;
    Scroll(scEndScroll, pos);
    calcThumb();
    Invalidate();
}

// --- painting

TkvButtonState TkvScrollBar::partState(TkvScrollBarPart part) const {
    if (!const_cast<TkvScrollBar *>(this)->Enabled())
        return kvbsDisabled;
    if (part == sbpThumb && !GetPainter()->TracksButtonHover())
        return kvbsNormal;
    if (pressedPart_ != sbpNone)
        return part == pressedPart_ && part == hotPart_ ? kvbsPressed : kvbsNormal;
    if (part == hotPart_ && !ComponentState().Contains(csDesigning))
        return kvbsHot;
    return kvbsNormal;
}

void TkvScrollBar::paintParts(TkvCanvas *canvas) {
    TkvPainterClass painter = GetPainter();
    bool h = horizontal();
    if (isEmptyRect(thumb_)) {
        TkvButtonState state = Enabled() ? kvbsNormal : kvbsDisabled;
        painter->DrawScrollBarElement(canvas, h, state, sbpPageUp, TRect{0, 0, Width(), Height()});
        if (!isEmptyRect(arrow1_))
            painter->DrawScrollBarElement(canvas, h, partState(sbpLineUp), sbpLineUp, arrow1_);
        if (!isEmptyRect(arrow2_))
            painter->DrawScrollBarElement(canvas, h, partState(sbpLineDown), sbpLineDown, arrow2_);
        return;
    }
    painter->DrawScrollBarElement(canvas, h, partState(sbpThumb), sbpThumb, thumb_);
    painter->DrawScrollBarElement(canvas, h, partState(sbpLineUp), sbpLineUp, arrow1_);
    painter->DrawScrollBarElement(canvas, h, partState(sbpLineDown), sbpLineDown, arrow2_);
    if (!isEmptyRect(page1_))
        painter->DrawScrollBarElement(canvas, h, partState(sbpPageUp), sbpPageUp, page1_);
    if (!isEmptyRect(page2_))
        painter->DrawScrollBarElement(canvas, h, partState(sbpPageDown), sbpPageDown, page2_);
}

void TkvScrollBar::Paint() {
    if (Width() <= 0 || Height() <= 0)
        return;
    if (bitmap_->GetWidth() != Width() || bitmap_->GetHeight() != Height())
        bitmap_->SetSize(Width(), Height());
    paintParts(bitmapCanvas_);
    HDC source = bitmap_->GetCanvas()->GetHandle();
    BitBlt(Canvas()->GetHandle(), 0, 0, Width(), Height(), source, 0, 0, SRCCOPY);
}

// --- changes

void TkvScrollBar::refreshPatternBitmaps() { PaintScrollBarPatternBitmaps(); }

void TkvScrollBar::lookAndFeelChanged(TkvLookAndFeel *, TkvLookAndFeelValues) {
    CalcMinThumbSize();
    CalcParts();
    Invalidate();
}

void TkvScrollBar::themeChanged() {
    CalcMinThumbSize();
    CalcParts();
    refreshPatternBitmaps();
    Invalidate();
    if (Parent() != nullptr)
        Parent()->Realign();
}

void TkvScrollBar::Dispatch(TMessage &m) {
    switch (m.Msg) {
    case WM_ERASEBKGND:
        m.Result = 1;
        return;
    case WM_CANCELMODE:
        EndTracking();
        inherited::Dispatch(m);
        return;
    case CM_ENABLEDCHANGED:
        inherited::Dispatch(m);
        CalcParts();
        if (!Enabled())
            EndTracking();
        Invalidate();
        return;
    case CM_MOUSEENTER:
        inherited::Dispatch(m);
        if (GetPainter()->TracksButtonHover() || pressedIsRepeating())
            Repaint();
        return;
    case CM_MOUSELEAVE:
        inherited::Dispatch(m);
        if (pressedPart_ != sbpThumb)
            hotPart_ = sbpNone;
        if (GetPainter()->TracksButtonHover() || pressedIsRepeating())
            Invalidate();
        return;
    case CM_SYSCOLORCHANGE:
        refreshPatternBitmaps();
        inherited::Dispatch(m);
        return;
    case CM_VISIBLECHANGED:
        inherited::Dispatch(m);
        if (!Visible())
            EndTracking();
        return;
    case CN_HSCROLL:
    case CN_VSCROLL:
        ScrollBy(static_cast<TScrollCode>(LOWORD(m.WParam)));
        return;
    case CN_CTLCOLORSCROLLBAR:
        refreshPatternBitmaps();
        m.Result = DefWindowProcW(Handle(), m.Msg, m.WParam, m.LParam);
        return;
    default:
        inherited::Dispatch(m);
    }
}
