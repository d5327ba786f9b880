// Mouse tracking with the real mouse: the caller and its control learn once that the mouse left.
#include <gtest/gtest.h>

#include <windows.h>

#include "forms_test_support.h"
#include "input.h"
#include "kv_services_support.h"
#include "message_pump.h"

using namespace kvservicestest;

namespace {

class Caller : public IkvMouseTrackingCaller {
public:
    void MouseTrackingCallerMouseLeave() override {
        ++leaves;
        trackingDuringLeave = IsMouseTracking(this);
        if (onLeave)
            onLeave();
    }

    int leaves = 0;
    bool trackingDuringLeave = false;
    std::function<void()> onLeave;
};

class Caller2 : public IkvMouseTrackingCaller2 {
public:
    void MouseTrackingCallerMouseLeave() override { ++leaves; }
    bool PtInCaller(const TPoint &p) override {
        lastPoint = p;
        ++questions;
        return inside;
    }

    int leaves = 0;
    int questions = 0;
    bool inside = true;
    TPoint lastPoint{};
};

class KvMouseTracking : public KvServicesTest {
protected:
    void SetUp() override {
        KvServicesTest::SetUp();
        ASSERT_TRUE(shown.show());
        probe = addServiceProbe(shown.form, TRect{20, 30, 120, 110});
        ASSERT_TRUE(moveMouseTo(clientToScreen(probe->Handle(), POINT{50, 40})));
    }
    void TearDown() override {
        for (IkvMouseTrackingCaller *caller : callers)
            EndMouseTracking(caller);
        KvServicesTest::TearDown();
    }

    void track(TWinControl *control, const TRect &bounds, IkvMouseTrackingCaller *caller) {
        callers.push_back(caller);
        BeginMouseTracking(control, bounds, caller);
    }

    // A point of the form outside the probe.
    void leaveProbe() { ASSERT_TRUE(moveMouseTo(clientToScreen(shown.form->Handle(), POINT{300, 200}))); }

    formstest::ShownForm shown;
    TServiceProbe *probe = nullptr;
    std::vector<IkvMouseTrackingCaller *> callers;
};

TEST_F(KvMouseTracking, LeavingTheControlIsReportedOnce) {
    Caller caller;
    track(probe, probe->ClientRect(), &caller);
    EXPECT_TRUE(IsMouseTracking(&caller));
    EXPECT_EQ(MouseTrackingCount(), 1);
    pumpFor(60);
    EXPECT_EQ(caller.leaves, 0) << "the mouse is still inside";

    leaveProbe();
    ASSERT_TRUE(pumpUntil([&] { return caller.leaves >= 1; }));
    pumpFor(60);
    EXPECT_EQ(caller.leaves, 1);
    EXPECT_EQ(probe->mouseLeaves, 1) << "CM_MOUSELEAVE with the control as lParam";
    EXPECT_TRUE(caller.trackingDuringLeave) << "the timer ends after the caller was told";
    EXPECT_FALSE(IsMouseTracking(&caller));
    EXPECT_EQ(MouseTrackingCount(), 0);
}

TEST_F(KvMouseTracking, BoundsAreTheControlsClientCoordinates) {
    Caller caller;
    // The left half of the probe: moving to its right half leaves the bounds, not the control.
    track(probe, TRect{0, 0, 50, 80}, &caller);
    ASSERT_TRUE(moveMouseTo(clientToScreen(probe->Handle(), POINT{20, 40})));
    pumpFor(60);
    EXPECT_EQ(caller.leaves, 0);
    ASSERT_TRUE(moveMouseTo(clientToScreen(probe->Handle(), POINT{80, 40})));
    ASSERT_TRUE(pumpUntil([&] { return caller.leaves >= 1; }));
    EXPECT_EQ(probe->mouseLeaves, 0) << "still over the control's client area: no CM_MOUSELEAVE";
    EXPECT_FALSE(IsMouseTracking(&caller));
}

TEST_F(KvMouseTracking, WithoutAControlTheBoundsAreOnTheScreen) {
    Caller caller;
    POINT centre = clientToScreen(probe->Handle(), POINT{50, 40});
    track(nullptr, TRect{centre.x - 10, centre.y - 10, centre.x + 10, centre.y + 10}, &caller);
    pumpFor(60);
    EXPECT_EQ(caller.leaves, 0);
    leaveProbe();
    ASSERT_TRUE(pumpUntil([&] { return caller.leaves >= 1; }));
    EXPECT_EQ(probe->mouseLeaves, 0);
}

TEST_F(KvMouseTracking, ASecondBeginKeepsTheFirstTimerAndBounds) {
    Caller caller;
    track(probe, probe->ClientRect(), &caller);
    // Bounds the mouse is outside of: were they taken, the leave would come at once.
    BeginMouseTracking(probe, TRect{0, 0, 2, 2}, &caller);
    EXPECT_EQ(MouseTrackingCount(), 1);
    pumpFor(80);
    EXPECT_EQ(caller.leaves, 0);
    leaveProbe();
    ASSERT_TRUE(pumpUntil([&] { return caller.leaves >= 1; }));
}

TEST_F(KvMouseTracking, TwoCallersAreTrackedApart) {
    Caller inner;
    Caller outer;
    track(probe, TRect{0, 0, 100, 80}, &inner);
    track(shown.form, shown.form->ClientRect(), &outer);
    EXPECT_EQ(MouseTrackingCount(), 2);
    leaveProbe();
    ASSERT_TRUE(pumpUntil([&] { return inner.leaves >= 1; }));
    pumpFor(60);
    EXPECT_EQ(outer.leaves, 0) << "still on the form";
    EXPECT_TRUE(IsMouseTracking(&outer));
    EndMouseTracking(&outer);
    EXPECT_EQ(MouseTrackingCount(), 0);
    EndMouseTracking(&outer);
}

TEST_F(KvMouseTracking, TheSecondInterfaceDecidesItself) {
    Caller2 caller;
    track(probe, TRect{0, 0, 1, 1}, &caller);
    ASSERT_TRUE(pumpUntil([&] { return caller.questions >= 2; }));
    EXPECT_EQ(caller.leaves, 0) << "the bounds do not count when the caller answers";
    EXPECT_EQ(caller.lastPoint.x, 50) << "client coordinates of the control";
    EXPECT_EQ(caller.lastPoint.y, 40);

    caller.inside = false;
    ASSERT_TRUE(pumpUntil([&] { return caller.leaves >= 1; }));
    EXPECT_EQ(probe->mouseLeaves, 0) << "the mouse is over the client area";
    EXPECT_FALSE(IsMouseTracking(&caller));
}

TEST_F(KvMouseTracking, TheSecondInterfaceWithoutAControlWindowHasLeft) {
    Caller2 caller;
    TServiceProbe *windowless = New<TServiceProbe>(shown.form);
    track(windowless, TRect{}, &caller);
    ASSERT_TRUE(pumpUntil([&] { return caller.leaves >= 1; }));
    EXPECT_EQ(caller.questions, 0);
    EXPECT_EQ(windowless->mouseLeaves, 0);
}

TEST_F(KvMouseTracking, ACallerMayBeginAgainWhenTold) {
    Caller caller;
    track(probe, probe->ClientRect(), &caller);
    caller.onLeave = [&] {
        caller.onLeave = nullptr;
        EndMouseTracking(&caller);
        BeginMouseTracking(shown.form, shown.form->ClientRect(), &caller);
    };
    leaveProbe();
    ASSERT_TRUE(pumpUntil([&] { return caller.leaves >= 1; }));
    pumpFor(60);
    EXPECT_TRUE(IsMouseTracking(&caller)) << "the new tracking survives the end of the old one";
    EXPECT_EQ(caller.leaves, 1);
}

TEST_F(KvMouseTracking, AControlFreedWhileTrackedIsNotTouched) {
    Caller caller;
    TServiceProbe *doomed = addServiceProbe(shown.form, TRect{150, 30, 250, 110});
    ASSERT_TRUE(moveMouseTo(clientToScreen(doomed->Handle(), POINT{50, 40})));
    track(doomed, doomed->ClientRect(), &caller);
    doomed->Free();
    leaveProbe();
    ASSERT_TRUE(pumpUntil([&] { return caller.leaves >= 1; }));
    EXPECT_FALSE(IsMouseTracking(&caller));
}

TEST_F(KvMouseTracking, AnExceptionOfTheCallerEndsTheTracking) {
    Caller caller;
    caller.onLeave = [] { throw Exception(L"leave failed"); };
    track(probe, probe->ClientRect(), &caller);
    leaveProbe();
    ASSERT_TRUE(pumpUntil([&] { return !errors.empty(); }));
    EXPECT_EQ(errors[0], L"leave failed");
    EXPECT_FALSE(IsMouseTracking(&caller));
    pumpFor(40);
    EXPECT_EQ(caller.leaves, 1);
}

} // namespace
