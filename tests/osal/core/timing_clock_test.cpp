// The clock's start-up on fed machines: which processors may use the time-stamp counter, how its
// frequency is measured, and where the processor's rated frequency comes from.
#include <gtest/gtest.h>

#include "fake_machine.h"
#include "osal/cpu.h"
#include "processors.h"

namespace {

bool allowedOn(const CpuInfo &info) {
    CpuStateSwap swap(info);
    return timing::fastTimeAllowed();
}

struct Started {
    FakeMachine machine;
    timing::Clock clock{machine.source()};
};

} // namespace

TEST(FastTimeRule, FollowsTheProcessor) {
    EXPECT_TRUE(allowedOn(nehalem().decode()));
    EXPECT_TRUE(allowedOn(phenom().decode()));
    EXPECT_TRUE(allowedOn(hostTurin().decode()));
    EXPECT_FALSE(allowedOn(harpertown().decode()));
    EXPECT_FALSE(allowedOn(emulatedTcg().decode()));
    EXPECT_FALSE(allowedOn(pentium4().decode()));
}

TEST(FastTimeRule, CoreArchitectureNeedsAtMostFourSockets) {
    CpuInfo core = harpertown().decode();
    core.model = 15; // a Core 2 that is no Harpertown
    core.invariantTsc = false;
    core.sockets = 4;
    EXPECT_TRUE(allowedOn(core));
    core.sockets = 5;
    EXPECT_FALSE(allowedOn(core));
    core.invariantTsc = true;
    EXPECT_TRUE(allowedOn(core));
}

TEST(FastTimeRule, AnInvariantCounterOnFamily11hIsRefused) {
    CpuInfo turion = phenom().decode();
    turion.amd10h = false;
    turion.amd11h = true;
    EXPECT_FALSE(allowedOn(turion));
    // A Harpertown is refused whatever else it offers.
    CpuInfo xeon = harpertown().decode();
    xeon.invariantTsc = true;
    EXPECT_FALSE(allowedOn(xeon));
}

TEST(TimingStart, AnAllowedProcessorCountsInTimeStampTicks) {
    CpuStateSwap swap(nehalem().decode());
    Started s;
    s.machine.registryMhz = 2100;
    s.machine.setTscHz(2.103e9);
    timing::start(s.clock);
    EXPECT_TRUE(s.clock.started);
    EXPECT_TRUE(s.clock.fastTime);
    // Within 50 MHz of the rated frequency the rated one is taken.
    EXPECT_EQ(s.clock.fastFrequency, 2.1e9);
    EXPECT_EQ(s.clock.counterFrequency, 2100000000);
    EXPECT_DOUBLE_EQ(s.clock.fastNanosPerTick, 1e9 / 2.1e9);
    EXPECT_EQ(s.clock.platformFrequency, 10000000);
    EXPECT_EQ(s.clock.platformNanosPerTick, 100.0);
    EXPECT_TRUE(s.clock.hasReference);
    EXPECT_GT(s.machine.priorityRaises(), 0);
    EXPECT_EQ(s.machine.priorityDepth(), 0);
    // The counter is now the time-stamp counter itself.
    int64_t before = timing::counterTime(s.clock);
    s.machine.advance(1000000);
    EXPECT_NEAR(static_cast<double>(timing::counterTime(s.clock) - before), 2.103e6, 1e3);
}

TEST(TimingStart, AMeasurementFarFromTheRatedFrequencyIsKept) {
    CpuStateSwap swap(nehalem().decode());
    Started s;
    s.machine.registryMhz = 2000;
    s.machine.setTscHz(2.2e9);
    timing::start(s.clock);
    EXPECT_TRUE(s.clock.fastTime);
    EXPECT_NEAR(s.clock.fastFrequency, 2.2e9, 2.2e9 * 2e-4);
    EXPECT_EQ(s.clock.processorFrequency.load(), 2000000000);
}

TEST(TimingStart, ARefusedProcessorCountsInPlatformTicks) {
    CpuStateSwap swap(harpertown().decode());
    Started s;
    s.machine.registryMhz = 3000;
    timing::start(s.clock);
    EXPECT_FALSE(s.clock.fastTime);
    EXPECT_EQ(s.clock.fastFrequency, 0.0);
    EXPECT_EQ(s.clock.counterFrequency, 10000000);
    EXPECT_EQ(s.clock.fastNanosPerTick, 100.0);
    // Nothing was measured, so the registry was not asked either.
    EXPECT_EQ(s.machine.registryReads(), 0);
    // Readings 100 ns apart are one platform tick apart.
    int64_t platform = timing::platformCounterTime(s.clock);
    EXPECT_EQ(timing::counterTime(s.clock), platform + 1);
    // Start-up's own readings lie between the base and the jump.
    s.machine.advance(5000000);
    EXPECT_NEAR(static_cast<double>(timing::platformNanos(s.clock)), 5e6, 1e4);
}

// The rated frequency is measured against the platform counter while start-up has not yet
// picked a counter; a counter frequency of 0 would make that measurement meaningless.
TEST(ProcessorFrequency, DuringStartUpIsTimedOnThePlatformCounter) {
    CpuStateSwap swap(nehalem().decode());
    Started s;
    s.machine.setTscHz(2.4e9);
    timing::start(s.clock);
    EXPECT_EQ(s.machine.registryReads(), 1);
    int64_t rated = s.clock.processorFrequency.load();
    EXPECT_NEAR(static_cast<double>(rated), 2.4e9, 2.4e9 * 1e-3);
    EXPECT_EQ(s.clock.fastFrequency, static_cast<double>(rated));
    EXPECT_TRUE(s.clock.fastTime);
}

TEST(ProcessorFrequency, WithoutAnyCounterFrequencyIsUnknownAndNotKept) {
    FakeMachine machine;
    machine.performanceHz = 0;
    timing::Clock clock(machine.source());
    clock.platformFrequency = 0;
    EXPECT_EQ(timing::processorFrequency(clock), 0);
    EXPECT_EQ(clock.processorFrequency.load(), 0);
    // Once a counter runs, the next question measures.
    machine.performanceHz = 10000000;
    clock.platformFrequency = 10000000;
    EXPECT_NEAR(static_cast<double>(timing::processorFrequency(clock)), 2.1e9, 2.1e9 * 1e-3);
    EXPECT_EQ(machine.registryReads(), 1);
}

TEST(ProcessorFrequency, TheRegistryIsAskedOnceAndItsAnswerKept) {
    FakeMachine machine;
    machine.registryMhz = 1867;
    timing::Clock clock(machine.source());
    EXPECT_EQ(timing::processorFrequency(clock), 1867000000);
    machine.registryMhz = 2000;
    EXPECT_EQ(timing::processorFrequency(clock), 1867000000);
    EXPECT_EQ(machine.registryReads(), 1);
}

TEST(FastFrequency, AStoppedTimeStampCounterGivesUpInsteadOfSpinning) {
    CpuStateSwap swap(nehalem().decode());
    Started s;
    s.machine.registryMhz = 2100;
    s.machine.nanosPerReading = 20000;
    s.machine.setTscHz(0.0);
    timing::start(s.clock);
    EXPECT_EQ(s.clock.fastFrequency, 0.0);
    EXPECT_FALSE(s.clock.fastTime);
    EXPECT_EQ(s.clock.counterFrequency, 10000000);
    EXPECT_EQ(s.machine.priorityDepth(), 0);
}

TEST(FastFrequency, WithoutAPlatformCounterNothingIsMeasured) {
    CpuStateSwap swap(nehalem().decode());
    Started s;
    s.machine.performanceHz = 0;
    timing::start(s.clock);
    EXPECT_FALSE(s.clock.fastTime);
    EXPECT_EQ(s.clock.counterFrequency, 0);
    // No division by the missing frequency.
    EXPECT_EQ(s.clock.fastNanosPerTick, 0.0);
    EXPECT_EQ(s.clock.platformNanosPerTick, 0.0);
}

TEST(ReferenceSample, SitsBetweenItsTwoTimeStampReadings) {
    FakeMachine machine;
    timing::Clock clock(machine.source());
    clock.platformFrequency = 10000000;
    clock.platformNanosPerTick = 100.0;
    timing::Sample sample = timing::takeSample(clock);
    // Each reading moves the clock 100 ns on, so the middle of the two time-stamp readings is the
    // time-stamp counter at the platform reading.
    int64_t tscAtPlatformReading = static_cast<int64_t>(5e9 + 2.1 * static_cast<double>(sample.nanos));
    EXPECT_NEAR(static_cast<double>(sample.tsc), static_cast<double>(tscAtPlatformReading), 2.0);
    EXPECT_EQ(machine.priorityDepth(), 0);
}
