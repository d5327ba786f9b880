// TkvTimer: timers on the one shared window, started only when they can fire.
#include <gtest/gtest.h>

#include <windows.h>

#include "kv_services_support.h"
#include "message_pump.h"

using namespace kvservicestest;

namespace {

class KvTimerTest : public KvServicesTest {
protected:
    void TearDown() override {
        for (TkvTimer *&timer : timers)
            FreeAndNil(timer);
        KvServicesTest::TearDown();
    }

    // A timer counting its ticks into ticks[index].
    TkvTimer *counting(int index, std::uint32_t interval) {
        TkvTimer *timer = New<TkvTimer>(nullptr);
        timer->SetInterval(interval);
        timer->SetOnTimer([this, index, timer](TObject *sender) {
            ++ticks[index];
            if (sender != timer)
                ++wrongSenders;
        });
        timers[index] = timer;
        return timer;
    }

    TkvTimer *timers[2] = {};
    int ticks[2] = {};
    int wrongSenders = 0;
};

bool isActive(TkvTimer *timer) { return ActiveTimers().IndexOf(timer) >= 0; }

TEST_F(KvTimerTest, DefaultsAndNoSystemTimerWithoutHandler) {
    TkvTimer *timer = timers[0] = New<TkvTimer>(nullptr);
    EXPECT_TRUE(timer->GetEnabled());
    EXPECT_EQ(timer->GetInterval(), 1000u);
    EXPECT_EQ(timer->EventId(), reinterpret_cast<UINT_PTR>(timer));
    EXPECT_FALSE(timer->TimerOn()) << "enabled, but no handler";
    EXPECT_FALSE(isActive(timer));
    timer->SetEnabled(false);
    timer->SetEnabled(true);
    EXPECT_FALSE(timer->TimerOn());

    timer->SetOnTimer([](TObject *) {});
    EXPECT_TRUE(timer->TimerOn());
    EXPECT_TRUE(isActive(timer));
    timer->SetOnTimer(nullptr);
    EXPECT_FALSE(timer->TimerOn());
    EXPECT_FALSE(isActive(timer));
}

TEST_F(KvTimerTest, IntervalZeroKeepsThePreviousInterval) {
    TkvTimer *timer = counting(0, 40);
    timer->SetInterval(0);
    EXPECT_EQ(timer->GetInterval(), 40u);
    EXPECT_TRUE(timer->TimerOn()) << "the timer goes on at its old interval";
    ASSERT_TRUE(pumpUntil([&] { return ticks[0] >= 1; }));
}

TEST_F(KvTimerTest, TwoTimersOnTheSharedWindowFireIndependently) {
    counting(0, 15);
    counting(1, 15);
    ASSERT_TRUE(pumpUntil([&] { return ticks[0] >= 2 && ticks[1] >= 2; }));
    EXPECT_EQ(wrongSenders, 0);

    timers[0]->SetEnabled(false);
    EXPECT_FALSE(isActive(timers[0]));
    EXPECT_TRUE(isActive(timers[1]));
    int stopped = ticks[0];
    int running = ticks[1];
    ASSERT_TRUE(pumpUntil([&] { return ticks[1] >= running + 3; }));
    EXPECT_EQ(ticks[0], stopped) << "a disabled timer is silent while its neighbour fires";

    timers[0]->SetEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return ticks[0] > stopped; }));
}

TEST_F(KvTimerTest, WmTimerOfAnInactiveIdIsIgnored) {
    TkvTimer *timer = counting(0, 100000);
    HWND window = GetTimerWindow()->Handle();
    ASSERT_NE(window, nullptr);

    SendMessageW(window, WM_TIMER, timer->EventId(), 0);
    EXPECT_EQ(ticks[0], 1) << "the id of a running timer reaches it";

    timer->SetEnabled(false);
    SendMessageW(window, WM_TIMER, timer->EventId(), 0);
    PostMessageW(window, WM_TIMER, timer->EventId(), 0);
    PostMessageW(window, WM_TIMER, 12345, 0);
    pumpFor(50);
    EXPECT_EQ(ticks[0], 1) << "a stale id is ignored";

    // A freed timer's id is stale too.
    UINT_PTR id = timer->EventId();
    FreeAndNil(timers[0]);
    EXPECT_TRUE(ActiveTimers().Empty());
    SendMessageW(window, WM_TIMER, id, 0);
    EXPECT_EQ(ticks[0], 1);
}

// Anything but its timers goes to the default window procedure: a caption set is kept and read
// back, which a window answering every message itself would not do.
TEST_F(KvTimerTest, OtherMessagesOfTheTimerWindowGetTheDefaultAnswer) {
    HWND window = GetTimerWindow()->Handle();
    EXPECT_EQ(GetTimerWindow(), GetTimerWindow());
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"ticks")), TRUE);
    EXPECT_EQ(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0), 5);
    wchar_t text[16] = {};
    EXPECT_EQ(SendMessageW(window, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(text)), 5);
    EXPECT_STREQ(text, L"ticks");
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
}

TEST_F(KvTimerTest, FreeingARunningTimerStopsIt) {
    TkvTimer *timer = counting(0, 15);
    ASSERT_TRUE(pumpUntil([&] { return ticks[0] >= 1; }));
    FreeAndNil(timers[0]);
    EXPECT_FALSE(isActive(timer));
    int before = ticks[0];
    pumpFor(80);
    EXPECT_EQ(ticks[0], before);
}

TEST_F(KvTimerTest, AHandlerMayFreeItsTimer) {
    counting(1, 15);
    TkvTimer *timer = New<TkvTimer>(nullptr);
    timer->SetInterval(15);
    bool freed = false;
    timer->SetOnTimer([&](TObject *sender) {
        Free(sender);
        freed = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return freed; }));
    EXPECT_EQ(ActiveTimers().Count(), 1);
    int before = ticks[1];
    ASSERT_TRUE(pumpUntil([&] { return ticks[1] >= before + 2; })) << "the shared window goes on";
}

TEST_F(KvTimerTest, AnExceptionOfTheHandlerGoesToTheHandlerAndTheTimerGoesOn) {
    TkvTimer *timer = timers[0] = New<TkvTimer>(nullptr);
    timer->SetInterval(15);
    int calls = 0;
    timer->SetOnTimer([&](TObject *) {
        ++calls;
        throw Exception(L"tick failed");
    });
    ASSERT_TRUE(pumpUntil([&] { return calls >= 2; }));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors[0], L"tick failed");
    EXPECT_TRUE(timer->TimerOn());
}

TEST_F(KvTimerTest, AnOwnedTimerGoesWithItsOwner) {
    TComponent *owner = New<TComponent>(nullptr);
    TkvTimer *timer = New<TkvTimer>(owner);
    timer->SetOnTimer([](TObject *) {});
    EXPECT_TRUE(isActive(timer));
    owner->Free();
    EXPECT_TRUE(ActiveTimers().Empty());
}

} // namespace
