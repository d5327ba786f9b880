// kvScrollBar: a scroll bar drawn by the look-and-feel painter instead of the system control.
//
// The bar hit-tests its own parts, repeats arrow and page clicks on a timer (400 ms, then every
// 60 ms), tracks the thumb inside a tolerance zone around the bar (the position snaps back when
// the mouse leaves it, unless tracking is unlimited) and paints off-screen, copying the picture
// to the window at once.
#ifndef KV_SCROLL_BAR_H
#define KV_SCROLL_BAR_H

#include <windows.h>

#include <classlib/controls.h>
#include <classlib/events.h>
#include <classlib/graphics.h>
#include <classlib/resource_strings.h>

#include <cstdint>

#include "kvControlServices.h"
#include "kvGraphics.h"
#include "kvLookAndFeelPainters.h"
#include "kvLookAndFeels.h"
#include "ztThemeManager.h"

inline constexpr TResourceString SScrollBarRange{L"Scrollbar property out of range"};

using TScrollEvent = TEvent<void(TObject *sender, TScrollCode scrollCode, int &scrollPos)>;

// How far past the bar the thumb still follows the mouse: along the bar and across it.
inline constexpr int kvScrollTrackingZoneAlong = 34;
inline constexpr int kvScrollTrackingZoneAcross = 136;
inline constexpr std::uint32_t kvScrollFirstRepeatDelay = 400;
inline constexpr std::uint32_t kvScrollRepeatInterval = 60;

class TkvScrollBar : public TCustomControl {
    CL_CLASS(TkvScrollBar, TCustomControl)

public:
    void Create(TComponent *owner) override;

    TScrollBarKind Kind() const noexcept { return kind_; }
    void SetKind(TScrollBarKind value);
    int Position() const noexcept { return position_; }
    void SetPosition(int value) { SetScrollParams(min_, max_, true, pageSize_, value); }
    int Min() const noexcept { return min_; }
    void SetMin(int value) { SetScrollParams(value, max_, true, pageSize_, position_); }
    int Max() const noexcept { return max_; }
    void SetMax(int value) { SetScrollParams(min_, value, true, pageSize_, position_); }
    int PageSize() const noexcept { return pageSize_; }
    void SetPageSize(int value) { SetScrollParams(min_, max_, true, value, position_); }
    TScrollBarInc SmallChange() const noexcept { return smallChange_; }
    void SetSmallChange(TScrollBarInc value) noexcept { smallChange_ = value; }
    TScrollBarInc LargeChange() const noexcept { return largeChange_; }
    void SetLargeChange(TScrollBarInc value) noexcept { largeChange_ = value; }
    bool UnlimitedTracking() const noexcept { return unlimitedTracking_; }
    void SetUnlimitedTracking(bool value) noexcept { unlimitedTracking_ = value; }
    TkvLookAndFeel *LookAndFeel() const noexcept { return lookAndFeel_; }
    void SetLookAndFeel(TkvLookAndFeel *value) { lookAndFeel_->Assign(value); }

    // Raises EInvalidOperation ("Scrollbar property out of range") when max < min or
    // max < page size, keeping every value; the position is clamped to [min, max].
    void SetScrollParams(int min, int max, bool redraw, int pageSize, int position);
    void SetBounds(int left, int top, int width, int height) override;
    TkvPainterClass GetPainter() const;
    // Steps as the code says, through Scroll, within [Min, Max].
    void ScrollBy(TScrollCode code);

    // The parts (0 none, 1 and 2 the arrows, 3 the thumb, 4 and 5 the page areas) and where they are.
    TkvScrollBarPart HitTest(TPoint p);
    TRect PartBounds(TkvScrollBarPart part) const;
    TkvScrollBarPart PressedPart() const noexcept { return pressedPart_; }
    TkvScrollBarPart HotPart() const noexcept { return hotPart_; }
    int MinThumbSize() const noexcept { return minThumbSize_; }
    // The position the thumb's place stands for.
    int PositionFromThumb() const;
    std::uint32_t RepeatInterval() const;
    bool Repeating() const;

    void Dispatch(TMessage &message) override;

    TNotifyEvent OnChange;
    TScrollEvent OnScroll;

    // The class library's change notice, then OnChange.
    virtual void Change();
    // Fires OnScroll.
    virtual void Scroll(TScrollCode scrollCode, int &scrollPos);

protected:
    void Destroy() override;
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

    void CalcMinThumbSize();
    void CalcParts();
    void EndTracking();

private:
    bool horizontal() const noexcept { return kind_ == sbHorizontal; }
    int along(TPoint p) const noexcept { return horizontal() ? p.x : p.y; }
    int trackStart() const noexcept;
    int trackLength() const noexcept;
    void calcThumb();
    void calcPageAreas();
    void moveThumbTo(int start);
    void paintParts(TkvCanvas *canvas);
    TkvButtonState partState(TkvScrollBarPart part) const;
    bool pressedIsRepeating() const noexcept;
    void repeatTick(TObject *sender);
    void lookAndFeelChanged(TkvLookAndFeel *sender, TkvLookAndFeelValues values);
    void themeChanged();
    void refreshPatternBitmaps();

    TBitmap *bitmap_ = nullptr;
    TkvCanvas *bitmapCanvas_ = nullptr;
    TkvLookAndFeel *lookAndFeel_ = nullptr;
    TztThemeChangedNotificator *themeNotificator_ = nullptr;
    TkvTimer *timer_ = nullptr;
    TScrollBarKind kind_ = sbHorizontal;
    int position_ = 0;
    int min_ = 0;
    int max_ = 100;
    int pageSize_ = 0;
    TScrollBarInc smallChange_ = 1;
    TScrollBarInc largeChange_ = 1;
    bool unlimitedTracking_ = false;
    TRect arrow1_{};
    TRect arrow2_{};
    TRect thumb_{};
    TRect page1_{};
    TRect page2_{};
    int minThumbSize_ = 8;
    TkvScrollBarPart pressedPart_ = 0;
    TkvScrollBarPart hotPart_ = 0;
    TPoint downPoint_{};
    int savedPosition_ = 0;
    int savedThumbStart_ = 0;
    int thumbPosition_ = 0;
};

#endif
