// The clock as this machine runs it: counters against the platform's own, wall-clock
// milliseconds, local time texts, the rated frequency from the registry, the fast-time decision,
// and registered frequency pairs.
#include <gtest/gtest.h>

#include <windows.h>

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <string>

#include "child_process.h"
#include "osal/cpu.h"
#include "osal/os_info.h"
#include "osal/osal_assert.h"
#include "osal/timing.h"

namespace {

constexpr int64_t unixEpochFileTime = 116444736000000000LL;

int64_t performanceCounter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t performanceFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

int64_t fileTimeNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

// A reading of ours with the platform's counter read just before and just after it.
struct Bracketed {
    int64_t before, value, after;
};

template <typename Read> Bracketed bracket(Read read) {
    Bracketed b;
    b.before = performanceCounter();
    b.value = read();
    b.after = performanceCounter();
    return b;
}

uint32_t registryMegahertz() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return 0;
    DWORD value = 0, size = sizeof value, type = 0;
    LONG result = RegQueryValueExA(key, "~MHz", nullptr, &type, reinterpret_cast<BYTE *>(&value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_DWORD ? value : 0;
}

std::string crtText(int64_t seconds) {
    __time64_t time = seconds;
    const char *text = _ctime64(&time);
    if (text == nullptr)
        return "";
    std::string result(text);
    if (!result.empty() && result.back() == '\n')
        result.pop_back();
    return result;
}

} // namespace

TEST(TimingCounters, ThePlatformCounterIsThePerformanceCounterSinceStartUp) {
    EXPECT_EQ(timingGetCounterFreqPlatform(), performanceFrequency());
    Bracketed first = bracket(timingGetPlatformCounterTime);
    Sleep(20);
    Bracketed second = bracket(timingGetPlatformCounterTime);
    EXPECT_GE(second.value - first.value, second.before - first.after);
    EXPECT_LE(second.value - first.value, second.after - first.before);
    // The same base lies under both readings.
    EXPECT_LE(first.before - first.value, second.after - second.value);
    EXPECT_GE(first.after - first.value, second.before - second.value);
    EXPECT_GT(first.value, 0);
}

TEST(TimingCounters, NanosecondsFollowThePerformanceCounter) {
    const double nanosPerTick = 1e9 / static_cast<double>(performanceFrequency());
    Bracketed first = bracket(timingGetCurrentTimeNanos);
    Sleep(30);
    Bracketed second = bracket(timingGetCurrentTimeNanos);
    const double elapsed = static_cast<double>(second.value - first.value);
    EXPECT_GE(elapsed, static_cast<double>(second.before - first.after) * nanosPerTick - 1.0);
    EXPECT_LE(elapsed, static_cast<double>(second.after - first.before) * nanosPerTick + 1.0);
    // Nanoseconds, not another unit: at least the sleep, less the timer tick it may end early.
    EXPECT_GE(elapsed, 30e6 - 16e6);
}

TEST(TimingCounters, NanosecondsCountFromTheLibrarysStart) {
    FILETIME created, exited, kernel, user;
    ASSERT_TRUE(GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user));
    const int64_t createdAt =
        static_cast<int64_t>((static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime);
    const int64_t nanos = timingGetCurrentTimeNanos();
    const int64_t processAge = (fileTimeNow() - createdAt) * 100;
    EXPECT_GT(nanos, 0);
    // The system time has a coarser grain than the counter: allow it some.
    EXPECT_LE(nanos, processAge + 50000000);
}

TEST(TimingCounters, TheCounterIsThePlatformCounterWithoutFastTime) {
    if (timingGetFastTimeEnabled())
        GTEST_SKIP() << "fast time is on";
    Bracketed counter = bracket(timingGetCounterTime);
    Bracketed platform = bracket(timingGetPlatformCounterTime);
    EXPECT_LE(counter.value, platform.value);
    EXPECT_GE(counter.value, platform.value - (platform.after - counter.before));
}

TEST(TimingCounters, TheProcessorTimeMovesOn) {
    // Its rate is the processor's business (turbo, power saving, emulation): only that it counts.
    const int64_t start = timingGetProcessorTime();
    Sleep(20);
    EXPECT_GT(timingGetProcessorTime(), start);
}

TEST(TimingProcessorFrequency, IsTheRegistrysRatedFrequency) {
    const uint32_t megahertz = registryMegahertz();
    if (megahertz == 0)
        GTEST_SKIP() << "the registry holds no ~MHz";
    EXPECT_EQ(timingGetProcessorFrequency(), static_cast<int64_t>(megahertz) * 1000000);
    EXPECT_EQ(timingGetProcessorFrequency(), static_cast<int64_t>(megahertz) * 1000000);
}

TEST(TimingMillis, AreTheSystemTimeSince1970) {
    int64_t before = fileTimeNow();
    int64_t millis = timingGetCurrentTimeMillis();
    int64_t after = fileTimeNow();
    EXPECT_GE(millis, (before - unixEpochFileTime) / 10000);
    EXPECT_LE(millis, (after - unixEpochFileTime) / 10000);
    __time64_t seconds = _time64(nullptr);
    EXPECT_NEAR(static_cast<double>(millis) / 1000.0, static_cast<double>(seconds), 2.0);
}

TEST(TimingFormat, MatchesTheCRuntimesTextWithoutTheNewline) {
    for (int64_t seconds : {0LL, 86399LL, 951782400LL, 1700000000LL, 1719791999LL, 4102444800LL, 32503680000LL}) {
        char text[30];
        memset(text, '#', sizeof text);
        ASSERT_EQ(timingFormatTime(&seconds, text), 1) << seconds;
        EXPECT_EQ(std::string(text), crtText(seconds)) << seconds;
        EXPECT_EQ(strlen(text), 24u);
        EXPECT_EQ(std::string(text + 25, 5), "#####");
    }
}

TEST(TimingFormat, RefusesTimesWithoutAFourDigitYearAndNullArguments) {
    char text[30] = "untouched";
    for (int64_t seconds : {-1LL, -86400LL * 365, 253402300800LL, INT64_MAX, INT64_MIN}) {
        EXPECT_EQ(timingFormatTime(&seconds, text), 0) << seconds;
        EXPECT_STREQ(text, "untouched");
    }
    int64_t seconds = 0;
    EXPECT_EQ(timingFormatTime(nullptr, text), 0);
    EXPECT_EQ(timingFormatTime(&seconds, nullptr), 0);
    EXPECT_EQ(timingFormatCurrentTime(nullptr), 0);
}

TEST(TimingFormat, TheCurrentTime) {
    char text[30];
    int64_t before = _time64(nullptr);
    ASSERT_EQ(timingFormatCurrentTime(text), 1);
    int64_t after = _time64(nullptr);
    std::string found(text);
    EXPECT_TRUE(found == crtText(before) || found == crtText(after) || found == crtText(after + 1)) << found;
}

TEST(TimingFastTime, SupportFollowsTheProcessor) {
    int supported = -1;
    EXPECT_EQ(timingFastTimeSupport(&supported), 1);
    EXPECT_TRUE(supported == 0 || supported == 1);
    EXPECT_EQ(timingFastTimeSupport(nullptr), 1);
    if (cpuIsHarpertown() || (!cpuHasCoreArch() && !cpuHasInvariantTSC())) {
        EXPECT_EQ(supported, 0);
    }
    // Start-up only turns fast time on where the rule allows it.
    if (supported == 0) {
        EXPECT_EQ(timingGetFastTimeEnabled(), 0);
    }
}

TEST(TimerVarsRegistration, APairHoldsTheCountersFrequency) {
    static TimerVars vars = {-1, -1.0};
    const int64_t frequency = _timing_get_vars(&vars.frequency, &vars.nanosPerTick);
    EXPECT_EQ(frequency, vars.frequency);
    EXPECT_DOUBLE_EQ(vars.nanosPerTick, 1e9 / static_cast<double>(frequency));
    if (!timingGetFastTimeEnabled()) {
        EXPECT_EQ(frequency, performanceFrequency());
    }
    EXPECT_EQ(_timing_get_vars(nullptr, &vars.nanosPerTick), 0);
    EXPECT_EQ(_timing_get_vars(&vars.frequency, nullptr), 0);
}

namespace {

int refusals = 0;
std::string refusal;

int carryOn(const char *expression, const char *, int, const char *function, const char *message) {
    ++refusals;
    refusal = std::string(expression) + " | " + function + " | " + (message ? message : "(none)");
    return 0;
}

// The library divides in double precision and the test may not: agree to a few units of the last place.
bool nearlyEqual(double a, double b) { return fabs(a - b) <= 1e-12 * fabs(b); }

// Registers pairs that live as long as the process until one is refused.
int registerUntilRefused(TimerVars *pairs, int count) {
    int accepted = 0;
    while (accepted < count && _timing_get_vars(&pairs[accepted].frequency, &pairs[accepted].nanosPerTick) != 0)
        ++accepted;
    return accepted;
}

} // namespace

CHILD_SCENARIO(timer_vars_past_the_table) {
    static TimerVars pairs[MAX_EXPORTED_TIMER_COUNTERS + 2];
    for (TimerVars &pair : pairs)
        pair = {-7, -7.5};
    setAssertHook(carryOn);
    int accepted = registerUntilRefused(pairs, MAX_EXPORTED_TIMER_COUNTERS + 1);
    // Before the decision the pairs hold whichever counter start-up chose.
    const int64_t chosen = accepted > 0 ? pairs[0].frequency : 0;
    int64_t again = _timing_get_vars(&pairs[MAX_EXPORTED_TIMER_COUNTERS + 1].frequency,
                                      &pairs[MAX_EXPORTED_TIMER_COUNTERS + 1].nanosPerTick);
    bool refusedUntouched = pairs[accepted].frequency == -7 && pairs[accepted].nanosPerTick == -7.5;
    bool acceptedHold = true;
    for (int index = 0; index < accepted; ++index)
        acceptedHold = acceptedHold && chosen > 0 && pairs[index].frequency == chosen &&
                       nearlyEqual(pairs[index].nanosPerTick, 1e9 / static_cast<double>(chosen));
    // A decision taken afterwards still reaches the accepted pairs and no other.
    timingUpdateFrequency(0, 0, 0);
    for (int index = 0; index < accepted; ++index)
        acceptedHold = acceptedHold && pairs[index].frequency == performanceFrequency() &&
                       nearlyEqual(pairs[index].nanosPerTick, 1e9 / static_cast<double>(performanceFrequency()));
    refusedUntouched = refusedUntouched && pairs[accepted].frequency == -7;
    printf("accepted=%d refusals=%d again=%lld untouched=%d hold=%d report=%s\n", accepted, refusals,
           static_cast<long long>(again),
           refusedUntouched, acceptedHold, refusal.c_str());
    return 0;
}

CHILD_SCENARIO(timer_vars_past_the_table_without_hook) {
    static TimerVars pairs[MAX_EXPORTED_TIMER_COUNTERS + 1];
    int accepted = registerUntilRefused(pairs, MAX_EXPORTED_TIMER_COUNTERS + 1);
    printf("not reached: accepted=%d\n", accepted);
    return 0;
}

TEST(TimerVarsRegistration, PastTheSixteenthAreRefusedAfterTheReport) {
    ChildResult result = runScenario("timer_vars_past_the_table");
    ASSERT_EQ(result.exitCode, 0u) << result.err;
    int accepted = -1;
    ASSERT_EQ(sscanf(result.out.c_str(), "accepted=%d", &accepted), 1) << result.out;
    // Libraries loaded with this one may hold slots of their own.
    EXPECT_GE(accepted, 1);
    EXPECT_LE(accepted, MAX_EXPORTED_TIMER_COUNTERS);
    EXPECT_NE(result.out.find(" refusals=2 again=0 untouched=1 hold=1 report=exportedCurrent < "
                              "MAX_EXPORTED_TIMER_COUNTERS | _timing_get_vars | (none)"),
              std::string::npos)
        << result.out;
}

TEST(TimerVarsRegistration, WithoutAHookTheRefusalAborts) {
    ChildResult result = runScenario("timer_vars_past_the_table_without_hook");
    EXPECT_EQ(result.exitCode, abortExitCode);
    EXPECT_EQ(result.err.rfind("Assertion failed: \"exportedCurrent < MAX_EXPORTED_TIMER_COUNTERS\" at "
                               "_timing_get_vars (",
                               0),
              0u)
        << result.err;
    EXPECT_EQ(result.out.find("not reached"), std::string::npos);
}

CHILD_SCENARIO(timing_decision_here) {
    static TimerVars vars;
    _timing_get_vars(&vars.frequency, &vars.nanosPerTick);
    osDetectHypervisor();
    int first = timingUpdateFrequency(1, 0, 1000000000LL);
    int second = timingUpdateFrequency(1, 1, 1000000000LL);
    printf("first=%d second=%d hypervisor=%d fast=%d frequency=%lld nanos=%.17g platform=%lld\n", first, second,
           osIsHypervisorDetected(), timingGetFastTimeEnabled(), static_cast<long long>(vars.frequency),
           vars.nanosPerTick, static_cast<long long>(performanceFrequency()));
    return 0;
}

TEST(TimingFastTime, TheDecisionOnThisMachine) {
    ChildResult result = runScenario("timing_decision_here");
    ASSERT_EQ(result.exitCode, 0u) << result.err;
    int first = -1, second = -1, hypervisor = -1, fast = -1;
    long long frequency = 0, platform = 0;
    double nanos = 0;
    ASSERT_EQ(sscanf(result.out.c_str(), "first=%d second=%d hypervisor=%d fast=%d frequency=%lld nanos=%lg "
                                         "platform=%lld",
                     &first, &second, &hypervisor, &fast, &frequency, &nanos, &platform),
              7)
        << result.out;
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    if (hypervisor) {
        EXPECT_EQ(fast, 0);
        EXPECT_EQ(frequency, platform);
        EXPECT_DOUBLE_EQ(nanos, 1e9 / static_cast<double>(platform));
    } else if (!fast) {
        EXPECT_EQ(frequency, platform);
    }
}
