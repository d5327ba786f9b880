// TkvScrollBar: its parts, its checked properties, and real mouse input on arrows, pages and
// the thumb.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>

#include <classlib/exceptions.h>

#include "kv_control_support.h"

using namespace kvcontroltest;

namespace {

class KvScrollBarTest : public KvControlTest {
protected:
    // A horizontal bar with a track of trackLength pixels between its arrows.
    TkvScrollBar *horizontalBar(int trackLength, TRect at = TRect{20, 20, 0, 0}) {
        int arrow = GetSystemMetrics(SM_CYHSCROLL);
        TkvScrollBar *bar = add<TkvScrollBar>(TRect{at.left, at.top, at.left + trackLength + 2 * arrow,
                                                    at.top + GetSystemMetrics(SM_CYHSCROLL)});
        bar->OnScroll = [this](TObject *, TScrollCode code, int &) { codes.push_back(code); };
        bar->OnChange = [this](TObject *) { ++changes; };
        return bar;
    }
    int thumbLength(TkvScrollBar *bar) {
        TRect t = bar->PartBounds(sbpThumb);
        return t.right - t.left;
    }
    int thumbOffset(TkvScrollBar *bar) { return bar->PartBounds(sbpThumb).left - bar->PartBounds(sbpLineUp).right; }
    POINT centre(TkvScrollBar *bar, TkvScrollBarPart part) {
        TRect r = bar->PartBounds(part);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    int count(TScrollCode code) const {
        int n = 0;
        for (TScrollCode c : codes)
            n += c == code ? 1 : 0;
        return n;
    }

    std::vector<TScrollCode> codes;
    int changes = 0;
};

TEST_F(KvScrollBarTest, ThumbFollowsPageSizeAndPosition) {
    TkvScrollBar *bar = horizontalBar(100);
    EXPECT_EQ(bar->Min(), 0);
    EXPECT_EQ(bar->Max(), 100);
    EXPECT_EQ(bar->Position(), 0);
    bar->SetScrollParams(0, 99, true, 10, 0);
    EXPECT_EQ(thumbLength(bar), 10) << "a page of 10 in 100 values on a 100-pixel track";
    EXPECT_EQ(thumbOffset(bar), 0);
    bar->SetPosition(90);
    EXPECT_EQ(thumbOffset(bar), 90) << "the last page puts the thumb at the track's end";
    EXPECT_EQ(bar->PositionFromThumb(), 90);

    bar->SetPosition(500);
    EXPECT_EQ(bar->Position(), 99) << "a position above Max stores Max";
    bar->SetPosition(-5);
    EXPECT_EQ(bar->Position(), 0);

    bar->SetPageSize(1);
    EXPECT_EQ(thumbLength(bar), bar->MinThumbSize()) << "never shorter than the minimum";

    bar->SetScrollParams(0, 100, true, 0, 50);
    EXPECT_EQ(thumbLength(bar), GetSystemMetrics(SM_CXHTHUMB)) << "page size 0: the system's thumb";
    EXPECT_EQ(thumbOffset(bar), MulDiv(100 - thumbLength(bar), 50, 100));
}

TEST_F(KvScrollBarTest, OutOfRangePropertiesRaiseAndKeepTheOldValues) {
    TkvScrollBar *bar = horizontalBar(100);
    bar->SetScrollParams(10, 50, true, 5, 20);
    int before = changes;
    try {
        bar->SetMax(5);
        FAIL() << "Max below Min was accepted";
    } catch (const EInvalidOperation &e) {
        EXPECT_EQ(e.Message(), L"Scrollbar property out of range");
    }
    EXPECT_THROW(bar->SetPageSize(60), EInvalidOperation) << "Max below PageSize";
    EXPECT_THROW(bar->SetMin(60), EInvalidOperation);
    EXPECT_EQ(bar->Min(), 10);
    EXPECT_EQ(bar->Max(), 50);
    EXPECT_EQ(bar->PageSize(), 5);
    EXPECT_EQ(bar->Position(), 20);
    EXPECT_EQ(changes, before);
}

// A page covering the range (D <= 0) or a track no longer than the thumb: the thumb sits at the
// track's start and stands for Min, never outside the bar.
TEST_F(KvScrollBarTest, DegenerateRangesPutTheThumbAtTheStart) {
    TkvScrollBar *bar = horizontalBar(100);
    bar->SetScrollParams(5, 10, true, 8, 10);
    ASSERT_GT(thumbLength(bar), 0);
    EXPECT_EQ(thumbOffset(bar), 0);
    EXPECT_EQ(bar->PositionFromThumb(), 5);

    TkvScrollBar *shortBar = horizontalBar(8, TRect{20, 60, 0, 0});
    shortBar->SetScrollParams(0, 100, true, 10, 100);
    TRect thumb = shortBar->PartBounds(sbpThumb);
    EXPECT_EQ(thumb.right - thumb.left, 8);
    EXPECT_EQ(thumbOffset(shortBar), 0);
    EXPECT_EQ(shortBar->PositionFromThumb(), 0);
    EXPECT_LE(thumb.right, shortBar->PartBounds(sbpLineDown).left);

    shortBar->SetScrollParams(0, 100, true, 0, 100);
    TRect none = shortBar->PartBounds(sbpThumb);
    EXPECT_TRUE(none.right <= none.left) << "no room for the system thumb: no thumb";
    EXPECT_EQ(shortBar->HitTest(TPoint{shortBar->Width() / 2, 2}), sbpNone);
}

TEST_F(KvScrollBarTest, DisabledBarHasNoThumb) {
    TkvScrollBar *bar = horizontalBar(100);
    bar->SetScrollParams(0, 99, true, 10, 30);
    bar->SetEnabled(false);
    TRect thumb = bar->PartBounds(sbpThumb);
    EXPECT_TRUE(thumb.right <= thumb.left);
    EXPECT_EQ(bar->HitTest(TPoint{60, 3}), sbpNone);
    bar->SetEnabled(true);
    EXPECT_GT(thumbLength(bar), 0);
}

TEST_F(KvScrollBarTest, HeldArrowStepsAtOnceThenRepeatsAndPausesOffTheArrow) {
    ASSERT_TRUE(showForm());
    TkvScrollBar *bar = horizontalBar(200);
    bar->SetScrollParams(0, 1000, true, 10, 0);
    // A clock as fine as the timers (the tick count moves in coarse steps).
    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> times;
    bar->OnChange = [&](TObject *) { times.push_back(Clock::now()); };
    HWND window = bar->Handle();
    POINT arrow = centre(bar, sbpLineDown);
    Clock::time_point pressed = Clock::now();
    pressMouseAt(window, arrow);
    EXPECT_EQ(bar->Position(), 1) << "one step at once";
    EXPECT_EQ(bar->RepeatInterval(), 400u);
    EXPECT_EQ(bar->PressedPart(), sbpLineDown);
    ASSERT_TRUE(pumpUntil([&] { return bar->Position() >= 5; }));
    ASSERT_GE(times.size(), 3u);
    EXPECT_GE(times[1] - pressed, std::chrono::milliseconds(350)) << "the first repeat waits about 400 ms";
    EXPECT_EQ(bar->RepeatInterval(), 60u) << "then every 60 ms";

    // Off the arrow (still held): the repetition pauses; back on it, it resumes.
    moveMouseTo(clientToScreen(window, centre(bar, sbpLineUp)));
    ASSERT_TRUE(pumpUntil([&] { return !bar->Repeating(); }));
    int paused = bar->Position();
    pumpFor(300);
    EXPECT_EQ(bar->Position(), paused);
    moveMouseTo(clientToScreen(window, arrow));
    ASSERT_TRUE(pumpUntil([&] { return bar->Position() >= paused + 2; }));
    releaseMouseAt(window, arrow);
    EXPECT_FALSE(bar->Repeating());
    EXPECT_EQ(bar->PressedPart(), sbpNone);
    EXPECT_GE(count(scEndScroll), 1);
    int released = bar->Position();
    pumpFor(200);
    EXPECT_EQ(bar->Position(), released);
}

TEST_F(KvScrollBarTest, PageClickStepsAPage) {
    ASSERT_TRUE(showForm());
    TkvScrollBar *bar = horizontalBar(200);
    bar->SetScrollParams(0, 99, true, 10, 0);
    bar->SetLargeChange(10);
    HWND window = bar->Handle();
    TRect page = bar->PartBounds(sbpPageDown);
    POINT p{page.right - 4, page.top + 3};
    clickAt(window, p);
    EXPECT_EQ(bar->Position(), 10);
    EXPECT_EQ(count(scPageDown), 1);
    TRect before = bar->PartBounds(sbpPageUp);
    clickAt(window, POINT{before.left + 2, before.top + 3});
    EXPECT_EQ(bar->Position(), 0);
    EXPECT_EQ(count(scPageUp), 1);
}

TEST_F(KvScrollBarTest, ThumbDragSnapsBackOutsideTheTrackingZone) {
    ASSERT_TRUE(showForm());
    TkvScrollBar *bar = horizontalBar(200, TRect{20, 150, 0, 0});
    bar->SetScrollParams(0, 199, true, 20, 0);
    HWND window = bar->Handle();
    POINT grip = centre(bar, sbpThumb);
    pressMouseAt(window, grip);
    EXPECT_EQ(bar->PressedPart(), sbpThumb);
    moveMouseTo(clientToScreen(window, POINT{grip.x + 50, grip.y}));
    ASSERT_TRUE(pumpUntil([&] { return bar->Position() == 50; }));
    EXPECT_GE(count(scTrack), 1);

    // 40 pixels beyond the zone across the bar: back to where the drag started.
    int across = bar->Height() + kvScrollTrackingZoneAcross + 40;
    moveMouseTo(clientToScreen(window, POINT{grip.x + 50, across}));
    ASSERT_TRUE(pumpUntil([&] { return bar->Position() == 0; }));
    moveMouseTo(clientToScreen(window, POINT{grip.x + 60, grip.y}));
    ASSERT_TRUE(pumpUntil([&] { return bar->Position() == 60; }));
    releaseMouseAt(window, POINT{grip.x + 60, grip.y});
    EXPECT_EQ(bar->Position(), 60);
    EXPECT_EQ(count(scPosition), 1);

    // Unlimited: the thumb keeps following far outside the zone.
    bar->SetUnlimitedTracking(true);
    grip = centre(bar, sbpThumb);
    pressMouseAt(window, grip);
    moveMouseTo(clientToScreen(window, POINT{grip.x - 30, across}));
    ASSERT_TRUE(pumpUntil([&] { return bar->Position() == 30; }));
    releaseMouseAt(window, POINT{grip.x - 30, across});
    EXPECT_EQ(bar->Position(), 30);
}

// An UltraFlat bar lights the arrow under the mouse and puts it out when the mouse leaves the
// window, also after a thumb drag (whose capture ends the system's leave tracking) and on every
// later visit.
TEST_F(KvScrollBarTest, HoverEndsWhenTheMouseLeavesAlsoAfterADrag) {
    ASSERT_TRUE(showForm());
    TkvScrollBar *bar = horizontalBar(200, TRect{20, 150, 0, 0});
    bar->LookAndFeel()->SetKind(lfUltraFlat);
    bar->SetScrollParams(0, 199, true, 20, 0);
    int leaves = 0;
    bar->OnMouseLeave = [&](TObject *) { ++leaves; };
    HWND window = bar->Handle();
    const POINT outside{2, 2}; // on the screen, beside the form
    auto visit = [&](int expectedLeaves) {
        moveMouseTo(clientToScreen(window, centre(bar, sbpLineUp)));
        EXPECT_TRUE(pumpUntil([&] { return bar->HotPart() == sbpLineUp; }, 60000));
        moveMouseTo(outside);
        EXPECT_TRUE(pumpUntil([&] { return bar->HotPart() == sbpNone && leaves == expectedLeaves; }, 60000))
            << "hot part " << bar->HotPart() << ", leaves " << leaves;
    };
    visit(1);

    POINT grip = centre(bar, sbpThumb);
    pressMouseAt(window, grip);
    const int across = bar->Height() + kvScrollTrackingZoneAcross + 40;
    moveMouseTo(clientToScreen(window, POINT{grip.x + 30, across}));
    ASSERT_TRUE(pumpUntil([&] { return bar->PressedPart() == sbpThumb && bar->Position() == 0; }));
    moveMouseTo(clientToScreen(window, POINT{grip.x + 30, grip.y}));
    ASSERT_TRUE(pumpUntil([&] { return bar->Position() == 30; }));
    releaseMouseAt(window, POINT{grip.x + 30, grip.y});
    ASSERT_TRUE(pumpUntil([&] { return bar->PressedPart() == sbpNone; }));

    const int afterDrag = leaves;
    visit(afterDrag + 1);
    visit(afterDrag + 2);
}

} // namespace
