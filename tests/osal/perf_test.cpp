// Load figures through the system's performance-data library as it is on this machine, memory
// and thread times, and iteration over the running processes.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "child_process.h"
#include "osal/perf.h"
#include "test_paths.h"

namespace {

bool pdhKnowsProcessCounters() {
    HMODULE pdh = LoadLibraryA("pdh.dll");
    if (pdh == nullptr)
        return false;
    using Lookup = LONG(WINAPI *)(LPCSTR, DWORD, LPSTR, LPDWORD);
    auto lookup = reinterpret_cast<Lookup>(GetProcAddress(pdh, "PdhLookupPerfNameByIndexA"));
    char name[256];
    DWORD size = sizeof name;
    bool known = lookup != nullptr && lookup(nullptr, 230, name, &size) == 0;
    FreeLibrary(pdh);
    return known;
}

// Each figure on one line, so the parent can read what the child saw.
CHILD_SCENARIO(perf_figures) {
    int first = perfInit();
    int second = perfInit();
    double rate = -5;
    int64_t virtualBytes = -5, physicalBytes = -5, faults = -5;
    int memory = perfGetMemInfo(&virtualBytes, &physicalBytes, &faults);
    int physicalOnly = perfGetMemInfo(nullptr, &physicalBytes, &faults);
    printf("init %d %d\n", first, second);
    printf("cpu %g %g %g\n", perfGetCPULoad(-1), perfGetCPULoad(0), perfGetCPULoad(100000));
    printf("process %g\n", perfGetProcessLoad());
    double user = -5, system = -5;
    double machine = perfGetProcessLoad2(&user, &system);
    printf("load2 %g %g %g\n", machine, user, system);
    printf("switches %d %g\n", perfGetContextSwitchRate(&rate), rate);
    printf("memory %d %lld %d\n", memory, static_cast<long long>(virtualBytes), physicalOnly);
    printf("physical %d faults %d\n", physicalBytes > 0, faults >= 0);
    printf("virtual %lld\n", static_cast<long long>(perfGetVirtualBytesUsed()));
    printf("load average %g\n", perfGetLoadAverage());
    return 0;
}

} // namespace

TEST(PerfCounters, WithoutTheProcessCountersInitLeavesEveryLoadFigureAtZero) {
    if (pdhKnowsProcessCounters())
        GTEST_SKIP() << "this machine's performance-data library knows the process counters";
    ChildResult result = runScenario("perf_figures");
    ASSERT_EQ(result.exitCode, 0u) << result.err;
    result.out.erase(std::remove(result.out.begin(), result.out.end(), '\r'), result.out.end());
    EXPECT_NE(result.out.find("init 0 0\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("cpu 0 0 0\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("process 0\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("load2 0 0 0\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("switches 1 -5\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("memory 1 0 0\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("physical 1 faults 1\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("virtual 0\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("load average -1\n"), std::string::npos) << result.out;
    // Each call tried again and said why.
    size_t first = result.err.find("Could not open counter 230: error=0xc0000bbd");
    ASSERT_NE(first, std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Could not open counter 230: error=0xc0000bbd", first + 1), std::string::npos);
    size_t failed = result.err.find("Failed to init virtual size counter.");
    ASSERT_NE(failed, std::string::npos) << result.err;
    EXPECT_GT(failed, first);
    EXPECT_NE(result.err.find("Failed to init virtual size counter.", failed + 1), std::string::npos);
}

TEST(ThreadTimes, GrowForABusyThread) {
    std::atomic<bool> stop{false};
    std::atomic<DWORD> id{0};
    std::thread busy([&] {
        id = GetCurrentThreadId();
        volatile unsigned sink = 0;
        while (!stop)
            sink = sink + 1;
    });
    while (id == 0)
        Sleep(1);
    int64_t user0 = -1, system0 = -1, user1 = -1, system1 = -1;
    ASSERT_EQ(perfGetOSThreadCPUTime(static_cast<int>(id), &user0, &system0), 0);
    DWORD start = GetTickCount();
    do {
        Sleep(50);
        ASSERT_EQ(perfGetOSThreadCPUTime(static_cast<int>(id), &user1, &system1), 0);
    } while (user1 + system1 <= user0 + system0 && GetTickCount() - start < 10000);
    stop = true;
    busy.join();
    EXPECT_GT(user1 + system1, user0 + system0);
    EXPECT_GE(user0, 0);
    EXPECT_GE(system0, 0);
}

TEST(ThreadTimes, TheCallingThreadAndBadIds) {
    int64_t user = -1, system = -1;
    EXPECT_EQ(perfGetOSThreadCPUTime(0, &user, &system), 0);
    EXPECT_GE(user + system, 0);
    EXPECT_EQ(perfGetOSThreadCPUTime(static_cast<int>(GetCurrentThreadId()), &user, nullptr), 0);
    EXPECT_EQ(perfGetOSThreadCPUTime(-1, &user, &system), 1);
    EXPECT_EQ(perfGetOSThreadCPUTime(0x7ffffff0, &user, &system), 1);
}

TEST(ProcessIterator, FindsThisProcessAndAChild) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    std::string line = "\"" + thisProgramPath() + "\" --child sleep_a_while";
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));

    ProcessIterator *it = nullptr;
    ASSERT_EQ(processIteratorCreate(&it), 0);
    bool self = false, found = false;
    int count = 0;
    for (; processIteratorIsValid(it); processIteratorStep(it)) {
        ProcessInfo *info = nullptr;
        ASSERT_EQ(processIteratorGetCurrent(it, &info), 0);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->reserved, 0);
        ++count;
        if (info->pid == static_cast<int>(GetCurrentProcessId())) {
            self = true;
            EXPECT_EQ(std::string(info->name), "tovane_tests.exe");
            // Some platforms refuse to list even our own modules; the path is then left out.
            if (info->path != nullptr) {
                EXPECT_EQ(_stricmp(info->path, thisProgramPath().c_str()), 0) << info->path;
            }
        }
        if (info->pid == static_cast<int>(child.dwProcessId)) {
            found = true;
            EXPECT_EQ(std::string(info->name), "tovane_tests.exe");
        }
    }
    ProcessInfo *info = nullptr;
    EXPECT_EQ(processIteratorGetCurrent(it, &info), 1);
    EXPECT_EQ(processIteratorStep(it), 0);
    processIteratorDestroy(it);
    TerminateProcess(child.hProcess, 0);
    WaitForSingleObject(child.hProcess, 5000);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    EXPECT_TRUE(self);
    EXPECT_TRUE(found);
    EXPECT_GT(count, 2);
    processIteratorDestroy(nullptr);
    EXPECT_EQ(processIteratorIsValid(nullptr), 0);
    EXPECT_EQ(processIteratorCreate(nullptr), 1);
}

CHILD_SCENARIO(sleep_a_while) {
    Sleep(60000);
    return 0;
}
