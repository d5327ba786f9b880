#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "classlib/exception_handler.h"
#include "classlib/timer.h"
#include "gui_display.h"
#include "message_pump.h"

namespace {

class TimerTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        previousHandler = SetExceptionHandler([this](TObject *sender, const Exception &e) {
            errors.push_back(e.Message());
            errorSenders.push_back(sender);
        });
    }
    void TearDown() override {
        FreeAndNil(timer);
        SetExceptionHandler(previousHandler);
        GuiTest::TearDown();
    }

    // A running timer of the given interval that counts its ticks.
    void startCounting(unsigned interval) {
        timer = New<TTimer>(nullptr);
        timer->SetInterval(interval);
        timer->SetOnTimer([this](TObject *sender) {
            ++ticks;
            lastSender = sender;
        });
    }

    TTimer *timer = nullptr;
    int ticks = 0;
    TObject *lastSender = nullptr;
    std::vector<std::wstring> errors;
    std::vector<TObject *> errorSenders;
    TExceptionEvent previousHandler;
};

TEST_F(TimerTest, DefaultsAndNoSystemTimerWithoutHandler) {
    timer = New<TTimer>(nullptr);
    EXPECT_TRUE(timer->GetEnabled());
    EXPECT_EQ(timer->GetInterval(), 1000u);
    EXPECT_FALSE(timer->GetOnTimer());
    EXPECT_FALSE(timer->Running()) << "no handler, no system timer";
    timer->SetOnTimer([](TObject *) {});
    EXPECT_TRUE(timer->Running());
    timer->SetOnTimer(nullptr);
    EXPECT_FALSE(timer->Running());
}

TEST_F(TimerTest, FiresRepeatedlyWithItselfAsSender) {
    startCounting(15);
    ASSERT_TRUE(timer->Running());
    ASSERT_TRUE(pumpUntil([&] { return ticks >= 3; }));
    EXPECT_EQ(lastSender, timer);
}

TEST_F(TimerTest, RunsOnlyWhileEnabledWithAnInterval) {
    startCounting(15);
    timer->SetEnabled(false);
    EXPECT_FALSE(timer->Running());
    pumpFor(150);
    EXPECT_EQ(ticks, 0) << "a disabled timer does not fire";

    timer->SetEnabled(true);
    EXPECT_TRUE(timer->Running());
    ASSERT_TRUE(pumpUntil([&] { return ticks >= 1; }));

    timer->SetInterval(0);
    EXPECT_FALSE(timer->Running());
    EXPECT_EQ(timer->GetInterval(), 0u);
    int before = ticks;
    pumpFor(150);
    EXPECT_EQ(ticks, before) << "interval 0 stops the timer";

    timer->SetInterval(10);
    EXPECT_TRUE(timer->Running());
    ASSERT_TRUE(pumpUntil([&] { return ticks > before; }));
}

TEST_F(TimerTest, AnIntervalChangeTakesEffect) {
    startCounting(60000);
    pumpFor(100);
    EXPECT_EQ(ticks, 0);
    timer->SetInterval(10);
    EXPECT_TRUE(pumpUntil([&] { return ticks >= 2; })) << "the new interval replaces the old one";
}

TEST_F(TimerTest, StoppingInsideTheHandlerDeliversNoMoreTicks) {
    startCounting(10);
    timer->SetOnTimer([this](TObject *) {
        ++ticks;
        timer->SetEnabled(false);
    });
    ASSERT_TRUE(pumpUntil([&] { return ticks >= 1; }));
    pumpFor(150);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(timer->Running());
}

TEST_F(TimerTest, ExceptionsGoToTheApplicationHandlerAndTheTimerGoesOn) {
    startCounting(10);
    timer->SetOnTimer([this](TObject *) {
        ++ticks;
        if (ticks == 1)
            throw Exception(L"tick failed");
        if (ticks == 2)
            throw EAbort();
        if (ticks == 3)
            throw std::runtime_error("standard failure");
    });
    ASSERT_TRUE(pumpUntil([&] { return ticks >= 4; }));
    ASSERT_EQ(errors.size(), 2u) << "EAbort is silent";
    EXPECT_EQ(errors[0], L"tick failed");
    EXPECT_EQ(errors[1], L"standard failure");
    EXPECT_EQ(errorSenders[0], timer);
    EXPECT_TRUE(timer->Running());
}

TEST_F(TimerTest, FreeingInsideItsOwnHandlerIsSafe) {
    startCounting(10);
    timer->SetOnTimer([this](TObject *) {
        ++ticks;
        FreeAndNil(timer);
    });
    ASSERT_TRUE(pumpUntil([&] { return timer == nullptr; }));
    pumpFor(100);
    EXPECT_EQ(ticks, 1);
    EXPECT_TRUE(errors.empty());
}

TEST_F(TimerTest, AnOwnerFreesItsTimer) {
    TComponent *owner = New<TComponent>(nullptr);
    auto *owned = New<TTimer>(owner);
    int ownedTicks = 0;
    owned->SetInterval(10);
    owned->SetOnTimer([&](TObject *) { ++ownedTicks; });
    ASSERT_TRUE(pumpUntil([&] { return ownedTicks >= 1; }));
    Free(owner);
    int after = ownedTicks;
    pumpFor(100);
    EXPECT_EQ(ownedTicks, after);
}

TEST_F(TimerTest, TimersRunIndependently) {
    startCounting(10);
    auto *slow = New<TTimer>(nullptr);
    int slowTicks = 0;
    slow->SetInterval(60000);
    slow->SetOnTimer([&](TObject *) { ++slowTicks; });
    ASSERT_TRUE(pumpUntil([&] { return ticks >= 3; }));
    EXPECT_EQ(slowTicks, 0) << "each timer has its own system timer";
    Free(slow);
}

} // namespace
