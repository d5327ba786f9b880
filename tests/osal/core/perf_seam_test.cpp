// Performance figures over a stand-in performance-data library: the counters set up, the values
// read and scaled, when data is collected again, and each failure with its warnings.
#include <gtest/gtest.h>

#include <pdhmsg.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "fed_pdh.h"
#include "osal/perf.h"
#include "osal_log.h"
#include "startup.h"

namespace {

const int locksReady = perfStartupLocks();

std::vector<std::string> logged;

void capture(Logger *, int module, int level, const char *format, va_list args) {
    char text[1024];
    vsnprintf(text, sizeof text, format, args);
    logged.push_back(std::to_string(module) + "/" + std::to_string(level) + " " + text);
}

const std::string self = "\\Process(tovane_core_tests#1)";

class PerfSeam : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(locksReady, 0);
        fake.standardMachine();
        fake.install();
        logged.clear();
        previousSink = osalLogSink;
        osalLogSink = capture;
    }
    void TearDown() override {
        perfResetForTesting();
        perfUseForTesting(nullptr, nullptr);
        osalLogSink = previousSink;
        osalSetLogLevel(OSAL_LOG_OSAL, OSAL_LEVEL_WARNING);
        fakePdh = nullptr;
    }
    double processors() const { return perfState.processors; }

    FakePdh fake;
    OsalLogSink previousSink = nullptr;
};

std::vector<std::string> warnings(std::initializer_list<const char *> texts) {
    std::vector<std::string> lines;
    for (const char *text : texts)
        lines.push_back(std::string("0/2 ") + text);
    return lines;
}

} // namespace

TEST_F(PerfSeam, SetsUpEveryFigureFromTheLocalNames) {
    EXPECT_EQ(perfInit(), 0);
    const std::vector<std::string> expected = {
        "\\Process(tovane_core_tests#0)\\ID Process",
        self + "\\ID Process",
        self + "\\Virtual Bytes",
        "\\Processor(0)\\% Processor Time",
        "\\Processor(1)\\% Processor Time",
        "\\Processor(_Total)\\% Processor Time",
        self + "\\% Processor Time",
        self + "\\% Privileged Time",
        "\\System\\Context Switches/sec",
    };
    EXPECT_EQ(fake.added, expected);
    EXPECT_TRUE(logged.empty());
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(fake.added.size(), expected.size());
}

TEST_F(PerfSeam, ProcessorLoadPerInstanceWithTheTotalLast) {
    ASSERT_EQ(perfInit(), 0);
    fake.formats.clear();
    EXPECT_DOUBLE_EQ(perfGetCPULoad(-1), 0.5);
    EXPECT_DOUBLE_EQ(perfGetCPULoad(0), 0.2);
    EXPECT_DOUBLE_EQ(perfGetCPULoad(1), 0.8);
    EXPECT_DOUBLE_EQ(perfGetCPULoad(2), 0.5);
    EXPECT_EQ(perfGetCPULoad(3), 0); // the number of counters
    EXPECT_EQ(perfGetCPULoad(-2), 0);
    EXPECT_EQ(perfGetCPULoad(1 << 30), 0);
    for (DWORD format : fake.formats)
        EXPECT_EQ(format, static_cast<DWORD>(PDH_FMT_DOUBLE));
}

TEST_F(PerfSeam, ReadsWithin500TicksFormatTheSameCollection) {
    ASSERT_EQ(perfInit(), 0);
    int collections = fake.collections;
    fake.live["\\Processor(_Total)\\% Processor Time"] = 90;
    fake.now += 400;
    EXPECT_DOUBLE_EQ(perfGetCPULoad(-1), 0.5);
    fake.now += 100;
    EXPECT_DOUBLE_EQ(perfGetCPULoad(-1), 0.5);
    EXPECT_EQ(fake.collections, collections);
    fake.now += 1;
    EXPECT_DOUBLE_EQ(perfGetCPULoad(-1), 0.9);
    EXPECT_EQ(fake.collections, collections + 1);
    // A clock that went backwards collects again.
    fake.live["\\Processor(_Total)\\% Processor Time"] = 10;
    fake.now -= 5;
    EXPECT_DOUBLE_EQ(perfGetCPULoad(-1), 0.1);
    EXPECT_EQ(fake.collections, collections + 2);
}

TEST_F(PerfSeam, ProcessLoadsAreSharesOfAllProcessors) {
    ASSERT_EQ(perfInit(), 0);
    fake.live[self + "\\% Processor Time"] = 30 * processors();
    fake.live[self + "\\% Privileged Time"] = 10 * processors();
    fake.now += 1000;
    EXPECT_NEAR(perfGetProcessLoad(), 0.3, 1e-12);
    double user = -1, system = -1;
    EXPECT_NEAR(perfGetProcessLoad2(&user, &system), 0.5, 1e-12); // the machine's load
    EXPECT_NEAR(user, 0.2, 1e-12);
    EXPECT_NEAR(system, 0.1, 1e-12);
    EXPECT_NE(std::find(fake.formats.begin(), fake.formats.end(), static_cast<DWORD>(PDH_FMT_DOUBLE | PDH_FMT_NOCAP100)),
              fake.formats.end());

    // The machine's load is raised to what this process alone uses.
    fake.live["\\Processor(_Total)\\% Processor Time"] = 10;
    fake.now += 1000;
    EXPECT_NEAR(perfGetProcessLoad2(&user, &system), 0.3, 1e-12);

    // Figures past every processor's full load are held at 1, and user time never goes negative.
    fake.live[self + "\\% Processor Time"] = 300 * processors();
    fake.live[self + "\\% Privileged Time"] = 500 * processors();
    fake.now += 1000;
    EXPECT_EQ(perfGetProcessLoad(), 1);
    EXPECT_EQ(perfGetProcessLoad2(&user, &system), 1);
    EXPECT_EQ(user, 0);
    EXPECT_EQ(system, 1);
    EXPECT_EQ(perfGetProcessLoad2(nullptr, nullptr), 1);
}

TEST_F(PerfSeam, VirtualBytesAreReadAs64BitNumbers) {
    ASSERT_EQ(perfInit(), 0);
    EXPECT_EQ(perfGetVirtualBytesUsed(), 123456789012);
    int64_t virtualBytes = 0, physicalBytes = 0, faults = 0;
    EXPECT_EQ(perfGetMemInfo(&virtualBytes, &physicalBytes, &faults), 0);
    EXPECT_EQ(virtualBytes, 123456789012);
    EXPECT_GT(physicalBytes, 0);
    EXPECT_GE(faults, 0);
    EXPECT_EQ(perfGetMemInfo(nullptr, nullptr, nullptr), 0);
}

TEST_F(PerfSeam, ContextSwitchRateFallsBackToTheLastRate) {
    osalSetLogLevel(OSAL_LOG_OSAL, OSAL_LEVEL_INFO);
    ASSERT_EQ(perfInit(), 0);
    double rate = -1;
    EXPECT_EQ(perfGetContextSwitchRate(&rate), 0);
    EXPECT_EQ(rate, 1500);
    // Data that can't be formatted soon after a collection: the last rate stands.
    fake.refuseFormat.insert("\\System\\Context Switches/sec");
    fake.now += 100;
    rate = -1;
    EXPECT_EQ(perfGetContextSwitchRate(&rate), 0);
    EXPECT_EQ(rate, 1500);
    // A collection that fails is a failure.
    fake.refuseCollect = true;
    fake.now += 1000;
    rate = -1;
    EXPECT_EQ(perfGetContextSwitchRate(&rate), 1);
    EXPECT_EQ(rate, -1);
    EXPECT_EQ(logged, std::vector<std::string>{"0/3 Context Switch Counter failed"});
    fake.refuseCollect = false;
    fake.refuseFormat.clear();
    fake.live["\\System\\Context Switches/sec"] = 2500;
    EXPECT_EQ(perfGetContextSwitchRate(&rate), 0);
    EXPECT_EQ(rate, 2500);
    EXPECT_EQ(perfGetContextSwitchRate(nullptr), 1);
}

TEST_F(PerfSeam, TheFirstReadCollectsEvenRightAfterStart) {
    fake.now = 100; // fewer ticks than the collection interval since the clock began
    ASSERT_EQ(perfInit(), 0);
    double rate = -1;
    EXPECT_EQ(perfGetContextSwitchRate(&rate), 0);
    EXPECT_EQ(rate, 1500);
    EXPECT_NEAR(perfGetProcessLoad(), 0, 1e-12);
    EXPECT_EQ(perfGetVirtualBytesUsed(), 123456789012);
}

TEST_F(PerfSeam, AFailedFigureIsSetUpByTheNextCallAndTheOthersAreKept) {
    fake.refuseAdd.insert("\\Processor(1)\\% Processor Time");
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(logged, warnings({"error adding processor counter \\Processor(1)\\% Processor Time",
                                "Failed to init system load counters."}));
    EXPECT_EQ(perfGetCPULoad(-1), 0);
    EXPECT_EQ(perfGetVirtualBytesUsed(), 123456789012);
    double rate = -1;
    EXPECT_EQ(perfGetContextSwitchRate(&rate), 1);

    fake.refuseAdd.clear();
    logged.clear();
    EXPECT_EQ(perfInit(), 0);
    EXPECT_TRUE(logged.empty());
    EXPECT_DOUBLE_EQ(perfGetCPULoad(-1), 0.5);
    EXPECT_EQ(perfGetContextSwitchRate(&rate), 0);
    EXPECT_EQ(std::count(fake.added.begin(), fake.added.end(), self + "\\Virtual Bytes"), 1);
    EXPECT_EQ(std::count(fake.added.begin(), fake.added.end(), self + "\\ID Process"), 1);
}

TEST_F(PerfSeam, RefusedLookupsNameTheCounterAndThePrivilegeProblem) {
    fake.lookupErrors[230] = static_cast<PDH_STATUS>(0x800007D0);
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(logged, warnings({"Could not open counter 230: error=0x800007d0",
                                "User probably does not have sufficient privileges to use",
                                "performance counters. If you are running on Windows 2003",
                                "or Windows Vista, make sure the user is in the", "Performance Logs user group.",
                                "Failed to init virtual size counter."}));
    fake.lookupErrors = {{146, static_cast<PDH_STATUS>(PDH_CSTATUS_NO_COUNTER)}};
    logged.clear();
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(logged, warnings({"Could not open counter 146: error=0xc0000bb9",
                                "Failed to init context switch rate counter."}));
}

TEST_F(PerfSeam, ALookupThatFaultsLeavesTheLoadsAtZeroAndTheProcessRunning) {
    fake.lookupFaults.insert(238);
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(logged, warnings({"User does not have sufficient privileges to use performance counters",
                                "Failed to init system load counters."}));
    EXPECT_EQ(perfGetCPULoad(-1), 0);
    double user = -1, system = -1;
    EXPECT_EQ(perfGetProcessLoad2(&user, &system), 0);
    // Each call tries again and is guarded again.
    logged.clear();
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(logged.size(), 2u);
    fake.lookupFaults.clear();
    logged.clear();
    EXPECT_EQ(perfInit(), 0);
    EXPECT_TRUE(logged.empty());
    EXPECT_DOUBLE_EQ(perfGetCPULoad(-1), 0.5);
}

TEST_F(PerfSeam, EmptyNamesAreRefused) {
    fake.names[144] = "";
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(logged, warnings({"Failed to get counter name for 144: empty string",
                                "Failed to init process system load counter."}));
    EXPECT_NEAR(perfGetProcessLoad(), 0, 1e-12);
}

TEST_F(PerfSeam, EnumerationFailures) {
    fake.enumErrors["Process"] = static_cast<PDH_STATUS>(PDH_CSTATUS_NO_OBJECT);
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(logged, warnings({"Could not enumerate processes (1) error=-1073738824",
                                "Failed to init virtual size counter."}));
    fake.enumErrors.clear();
    fake.enumSecondErrors["Process"] = static_cast<PDH_STATUS>(PDH_INVALID_ARGUMENT);
    logged.clear();
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(logged, warnings({"Could not enumerate processes (2) error=-1073738819",
                                "Failed to init virtual size counter."}));
    fake.enumSecondErrors = {{"Processor", static_cast<PDH_STATUS>(PDH_INVALID_ARGUMENT)}};
    logged.clear();
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(logged, warnings({"could not enumerate processors (2) error=-1073738819",
                                "Failed to init system load counters."}));
    fake.enumSecondErrors.clear();
    fake.enumErrors["Processor"] = static_cast<PDH_STATUS>(PDH_ACCESS_DENIED);
    logged.clear();
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(logged, warnings({"could not enumerate processors (1) error=-1073738789",
                                "Failed to init system load counters."}));
}

TEST_F(PerfSeam, WithoutAnInstanceOfOursTheProcessFiguresWait) {
    fake.instances["Process"] = {"Idle", "svchost"};
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(logged, warnings({"Failed to init virtual size counter."}));
    EXPECT_TRUE(fake.added.empty());
    // Namesakes that are other processes are tried in turn and then given up.
    fake.instances["Process"] = {"tovane_core_tests", "tovane_core_tests"};
    fake.live[self + "\\ID Process"] = 4;
    logged.clear();
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(logged, warnings({"Failed to init virtual size counter."}));
    EXPECT_EQ(fake.added, (std::vector<std::string>{"\\Process(tovane_core_tests#0)\\ID Process",
                                                    self + "\\ID Process"}));
    EXPECT_EQ(perfGetVirtualBytesUsed(), 0);
}

TEST_F(PerfSeam, QueryFailures) {
    fake.refuseOpen = true;
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(logged, warnings({"Could not create temporary query", "Failed to init virtual size counter."}));
    fake.refuseOpen = false;
    fake.refuseAdd.insert(self + "\\Virtual Bytes");
    logged.clear();
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(logged, warnings({("Could not add counter " + self + "\\Virtual Bytes for query").c_str(),
                                "Failed to init virtual size counter."}));
    fake.refuseAdd = {"\\Process(tovane_core_tests#0)\\ID Process"};
    fake.install();
    logged.clear();
    EXPECT_EQ(perfInit(), 0);
    EXPECT_EQ(logged, warnings({"Failed to create process id query", "Failed to init virtual size counter."}));
}

TEST_F(PerfSeam, AMissingEntryPointFailsEveryCall) {
    PerfPdhApi partial = fakePdhApi;
    partial.enumObjectItems = nullptr;
    perfUseForTesting(&partial, nullptr);
    EXPECT_EQ(perfInit(), -2);
    EXPECT_EQ(perfInit(), -2);
    EXPECT_EQ(logged, warnings({"Failed to init pdh functions: Required method could not be found..",
                                "Failed to init pdh functions: Required method could not be found.."}));
    EXPECT_EQ(perfGetCPULoad(-1), 0);
    EXPECT_EQ(perfGetProcessLoad(), 0);
    EXPECT_EQ(perfGetLoadAverage(), -1);
}
