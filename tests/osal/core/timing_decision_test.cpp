// The fast-time decision on fed machines: hypervisors, forcing, the lowest usable frequency, the
// drift test and its frequency correction, and what the registered pairs hold afterwards.
#include <gtest/gtest.h>

#include <algorithm>

#include "fake_machine.h"
#include "log_capture.h"
#include "processors.h"

namespace {

using Lines = std::vector<std::string>;

constexpr int64_t hour = 3600LL * 1000000000LL;
constexpr int64_t oneSecondPerDay = 1000000000LL;

// A started clock on a fed processor, one registered pair, and the timing messages of the decision.
class Decision {
public:
    Decision(const CpuInfo &cpu, uint32_t megahertz, double tscHz) : swap_(cpu) {
        machine.registryMhz = megahertz;
        machine.setTscHz(tscHz);
        timing::start(clock);
        timing::registerPair(clock, &frequency, &nanosPerTick);
    }

    int decide(bool enable, bool force, int64_t maxDrift) {
        LogCapture log(OSAL_LEVEL_DEBUG);
        int result = timing::updateFrequency(clock, enable, force, maxDrift);
        messages = log.texts(OSAL_LOG_TIMING);
        return result;
    }
    bool logged(const std::string &text) const {
        return std::find(messages.begin(), messages.end(), text) != messages.end();
    }

    FakeMachine machine;
    timing::Clock clock{machine.source()};
    int64_t frequency = -1;
    double nanosPerTick = -1.0;
    Lines messages;

private:
    CpuStateSwap swap_;
};

// A rate that drifts by the given seconds a day from the nominal one.
double drifting(double nominal, double secondsPerDay) { return nominal * (1.0 + secondsPerDay / 86400.0); }

} // namespace

TEST(FastTimeDecision, DisabledByTheCallerCountsPlatformTicks) {
    Decision d(nehalem().decode(), 2100, 2.1e9);
    EXPECT_TRUE(d.clock.fastTime);
    EXPECT_EQ(d.frequency, 2100000000);
    EXPECT_EQ(d.decide(false, true, oneSecondPerDay), 0);
    EXPECT_FALSE(d.clock.fastTime);
    EXPECT_EQ(d.frequency, 10000000);
    EXPECT_EQ(d.nanosPerTick, 100.0);
    EXPECT_EQ(d.messages, (Lines{"Counter timer using resolution of 10MHz", "System timer using resolution of 10MHz"}));
}

TEST(FastTimeDecision, IsTakenOnce) {
    Decision d(nehalem().decode(), 2100, 2.1e9);
    EXPECT_EQ(d.decide(false, false, oneSecondPerDay), 0);
    EXPECT_EQ(d.decide(true, false, oneSecondPerDay), 1);
    EXPECT_TRUE(d.messages.empty());
    EXPECT_FALSE(d.clock.fastTime);
}

TEST(FastTimeDecision, AHypervisorKeepsThePlatformCounter) {
    Decision d(nehalem().decode(), 2100, 2.1e9);
    d.machine.hypervisorRunning = true;
    d.machine.advance(hour);
    EXPECT_EQ(d.decide(true, false, oneSecondPerDay), 0);
    EXPECT_FALSE(d.clock.fastTime);
    EXPECT_EQ(d.frequency, 10000000);
    EXPECT_EQ(d.nanosPerTick, 100.0);
    EXPECT_TRUE(d.logged("Fast time disabled due to running hypervisor Xen v4.1 (HVM)"));
    // Not even forcing gets past a hypervisor.
    Decision forced(nehalem().decode(), 2100, 2.1e9);
    forced.machine.hypervisorRunning = true;
    EXPECT_EQ(forced.decide(true, true, oneSecondPerDay), 0);
    EXPECT_FALSE(forced.clock.fastTime);
}

TEST(FastTimeDecision, AGoodCounterIsEnabled) {
    Decision d(nehalem().decode(), 2100, drifting(2.1e9, 0.5));
    d.machine.advance(hour);
    EXPECT_EQ(d.decide(true, false, oneSecondPerDay), 0);
    EXPECT_TRUE(d.clock.fastTime);
    EXPECT_EQ(d.frequency, 2100000000);
    EXPECT_DOUBLE_EQ(d.nanosPerTick, 1e9 / 2.1e9);
    EXPECT_EQ(d.messages, (Lines{"Fast time frequency is 2100000000hz ", d.messages[1],
                                 "Drift is 0.00000579 = per day 0.500secs (max 1.000)", "Hardware fast time enabled",
                                 "Counter timer using resolution of 2100MHz", "System timer using resolution of 10MHz"}));
    EXPECT_EQ(d.messages[1].rfind("Diff is ", 0), 0u);
    EXPECT_NE(d.messages[1].find("ns (elapsed 36000"), std::string::npos);
}

TEST(FastTimeDecision, TooMuchDriftKeepsThePlatformCounter) {
    Decision d(nehalem().decode(), 2100, drifting(2.1e9, 1.5));
    d.machine.advance(hour);
    EXPECT_EQ(d.decide(true, false, oneSecondPerDay), 0);
    EXPECT_FALSE(d.clock.fastTime);
    EXPECT_EQ(d.frequency, 10000000);
    EXPECT_EQ(d.nanosPerTick, 100.0);
    EXPECT_TRUE(d.logged("Drift is 0.00001736 = per day 1.500secs (max 1.000)"));
    EXPECT_TRUE(d.logged("Fast time support disabled because day drift is higher than allowed value. (1.500secs/day)"));
    EXPECT_FALSE(d.logged("Hardware fast time enabled"));
}

TEST(FastTimeDecision, TheAllowedDriftCountsInWholeSeconds) {
    Decision d(nehalem().decode(), 2100, drifting(2.1e9, 1.5));
    d.machine.advance(hour);
    EXPECT_EQ(d.decide(true, false, 1900000000LL), 0);
    EXPECT_FALSE(d.clock.fastTime);
    EXPECT_TRUE(d.logged("Drift is 0.00001736 = per day 1.500secs (max 1.900)"));
}

TEST(FastTimeDecision, ARefusedProcessorStaysOnThePlatformCounter) {
    Decision d(harpertown().decode(), 3000, 3e9);
    EXPECT_FALSE(d.clock.fastTime);
    d.machine.advance(hour);
    EXPECT_EQ(d.decide(true, false, oneSecondPerDay), 0);
    EXPECT_FALSE(d.clock.fastTime);
    EXPECT_EQ(d.frequency, 10000000);
    EXPECT_EQ(d.messages, (Lines{"Counter timer using resolution of 10MHz", "System timer using resolution of 10MHz"}));
}

TEST(FastTimeDecision, ForcingMeasuresOnARefusedProcessor) {
    Decision d(harpertown().decode(), 3000, 3e9);
    d.machine.advance(hour);
    EXPECT_EQ(d.decide(true, true, oneSecondPerDay), 0);
    EXPECT_TRUE(d.clock.fastTime);
    EXPECT_EQ(d.frequency, 3000000000LL);
    EXPECT_EQ(d.messages.front(), "Forcing usage of fast timers and therefore clock will probably be scewed");
    EXPECT_TRUE(d.logged("Drift is 0.00000000 = per day 0.000secs (max 1.000)"));
    EXPECT_TRUE(d.logged("Hardware fast time enabled"));
    EXPECT_TRUE(d.logged("Counter timer using resolution of 3000MHz"));
}

TEST(FastTimeDecision, ASlowCounterIsRefusedEvenWhenForced) {
    Decision d(harpertown().decode(), 900, 9e8);
    d.machine.advance(hour);
    EXPECT_EQ(d.decide(true, true, oneSecondPerDay), 0);
    EXPECT_FALSE(d.clock.fastTime);
    EXPECT_EQ(d.frequency, 10000000);
    EXPECT_TRUE(d.logged("Fast time frequency is to low to be used for clock (freq is 900000000hz)"));
    // Nor does an allowed processor take it.
    Decision allowed(nehalem().decode(), 900, 9e8);
    allowed.machine.advance(hour);
    EXPECT_EQ(allowed.decide(true, false, oneSecondPerDay), 0);
    EXPECT_FALSE(allowed.clock.fastTime);
    EXPECT_TRUE(allowed.logged("Fast time frequency is to low to be used for clock (freq is 900000000hz)"));
}

TEST(FastTimeDecision, AForcedMeasurementThatFailsKeepsThePlatformCounter) {
    Decision d(harpertown().decode(), 3000, 3e9);
    d.machine.setTscHz(0.0);
    d.machine.nanosPerReading = 20000;
    EXPECT_EQ(d.decide(true, true, oneSecondPerDay), 0);
    EXPECT_FALSE(d.clock.fastTime);
    EXPECT_EQ(d.frequency, 10000000);
    EXPECT_TRUE(d.logged("Failed to initialize fast time frequency"));
}

TEST(FastTimeDecision, WithoutAnyCounterTheTimeSubsystemFails) {
    FakeMachine machine;
    machine.performanceHz = 0;
    CpuStateSwap swap(harpertown().decode());
    timing::Clock clock(machine.source());
    timing::start(clock);
    LogCapture log(OSAL_LEVEL_DEBUG);
    EXPECT_EQ(timing::updateFrequency(clock, true, false, oneSecondPerDay), 1);
    EXPECT_EQ(log.texts(OSAL_LOG_TIMING), Lines{"Failed to initialize time sub-system"});
    EXPECT_FALSE(clock.decided);
}

// A counter that slowed down after it was measured (power saving) is corrected downwards, one
// that sped up upwards: the correction lands on the counter's real rate either way.
TEST(FastTimeDecision, ALargeDriftCorrectsTheFrequencyTowardsTheCountersRealRate) {
    for (double secondsPerDay : {-200.0, 200.0}) {
        SCOPED_TRACE(secondsPerDay);
        Decision d(nehalem().decode(), 2000, 2.2e9);
        const double real = drifting(d.clock.fastFrequency, secondsPerDay);
        d.machine.setTscHz(real);
        d.machine.advance(hour);
        EXPECT_EQ(d.decide(true, false, 300 * oneSecondPerDay), 0);
        EXPECT_TRUE(d.clock.fastTime);
        EXPECT_TRUE(d.logged("Machine is probably using power save functionality therefore performance may be lower "
                             "than expected."));
        EXPECT_NEAR(static_cast<double>(d.clock.counterFrequency), real, real * 1e-6);
        EXPECT_TRUE(d.logged("Correcting frequency to " + std::to_string(d.clock.counterFrequency) + "hz"));
        EXPECT_EQ(d.frequency, d.clock.counterFrequency);
        EXPECT_DOUBLE_EQ(d.nanosPerTick, 1e9 / static_cast<double>(d.clock.counterFrequency));
    }
}

TEST(FastTimeDecision, ASmallDriftOnAPowerSavingMachineIsNotCorrected) {
    Decision d(nehalem().decode(), 2000, 2.2e9);
    const int64_t measured = d.clock.counterFrequency;
    d.machine.advance(hour);
    EXPECT_EQ(d.decide(true, false, 300 * oneSecondPerDay), 0);
    EXPECT_TRUE(d.clock.fastTime);
    EXPECT_TRUE(d.logged("Machine is probably using power save functionality therefore performance may be lower "
                         "than expected."));
    EXPECT_EQ(d.clock.counterFrequency, measured);
    EXPECT_EQ(std::count_if(d.messages.begin(), d.messages.end(),
                            [](const std::string &text) { return text.rfind("Correcting", 0) == 0; }),
              0);
}
