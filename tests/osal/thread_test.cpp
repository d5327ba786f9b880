// Threads started through the OS layer: routines, priorities, identity, sleeping and names.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "osal/os_error.h"
#include "osal/thread.h"
#include "test_paths.h"

namespace {

// What a started thread reports back, and a gate that keeps it alive until the test is done.
struct Probe {
    void *argument = nullptr;
    uint32_t threadId = 0;
    size_t stackReserve = 0;
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Probe() = default;
    Probe(const Probe &) = delete;
    Probe &operator=(const Probe &) = delete;
    ~Probe() {
        SetEvent(release);
        if (WaitForSingleObject(started, 0) == WAIT_OBJECT_0)
            WaitForSingleObject(finished, 10000);
        CloseHandle(started);
        CloseHandle(release);
        CloseHandle(finished);
    }
};

// The size of the address range the calling thread's stack was reserved in.
size_t stackReservation() {
    MEMORY_BASIC_INFORMATION region;
    int local = 0;
    VirtualQuery(&local, &region, sizeof region);
    char *base = static_cast<char *>(region.AllocationBase);
    size_t size = 0;
    while (VirtualQuery(base + size, &region, sizeof region) == sizeof region && region.AllocationBase == base)
        size += region.RegionSize;
    return size;
}

unsigned long __stdcall probeRoutine(void *argument) {
    auto *probe = static_cast<Probe *>(argument);
    probe->argument = argument;
    probe->threadId = threadGetCurrentID();
    probe->stackReserve = stackReservation();
    SetEvent(probe->started);
    WaitForSingleObject(probe->release, INFINITE);
    SetEvent(probe->finished);
    return 0;
}

void startProbe(Probe &probe, size_t stackSize = 0) {
    char error[128] = "untouched";
    ASSERT_EQ(threadStart(probeRoutine, &probe, stackSize, error, sizeof error), 0);
    EXPECT_STREQ(error, "untouched");
    ASSERT_EQ(WaitForSingleObject(probe.started, 10000), WAIT_OBJECT_0);
}

int platformPriorityOf(uint32_t threadId) {
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId);
    int priority = GetThreadPriority(thread);
    CloseHandle(thread);
    return priority;
}

std::string systemText(DWORD code) {
    char text[512];
    osGetErrorString(code, text, sizeof text);
    return text;
}

} // namespace

TEST(ThreadStart, RunsTheRoutineWithItsArgumentOnAThreadOfItsOwn) {
    Probe probe;
    startProbe(probe);
    EXPECT_EQ(probe.argument, &probe);
    EXPECT_NE(probe.threadId, 0u);
    EXPECT_NE(probe.threadId, threadGetCurrentID());
}

TEST(ThreadStart, TheStackHasAtLeastTheSizeAsked) {
    Probe probe;
    startProbe(probe, 8 << 20);
    EXPECT_GE(probe.stackReserve, static_cast<size_t>(8 << 20));
}

TEST(ThreadStart, ManyThreadsRunAtOnce) {
    std::vector<std::unique_ptr<Probe>> probes;
    for (int i = 0; i < 24; ++i) {
        probes.push_back(std::make_unique<Probe>());
        startProbe(*probes.back());
    }
    std::vector<uint32_t> ids;
    for (const auto &probe : probes)
        ids.push_back(probe->threadId);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end());
}

TEST(ThreadStart, AMissingRoutineIsABadArgument) {
    char error[256];
    EXPECT_EQ(threadStart(nullptr, nullptr, 0, error, sizeof error), 3);
    EXPECT_EQ(std::string(error), systemText(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(osGetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(threadStart(nullptr, nullptr, 0, nullptr, 100), 3);
}

TEST(ThreadStart, ARefusedThreadReportsThePlatformsText) {
    // No 32-bit process has room for a stack this size.
    char error[256] = "untouched";
    EXPECT_EQ(threadStart(probeRoutine, nullptr, 0x7FF00000, error, sizeof error), 2);
    int code = osGetLastError();
    EXPECT_NE(code, 0);
    EXPECT_EQ(std::string(error), systemText(code));
    EXPECT_GT(strlen(error), 0u);
}

TEST(ThreadStart, ErrorBuffersOfSizeZeroAndOneAreRespected) {
    char area[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(threadStart(probeRoutine, nullptr, 0x7FF00000, area + 1, 0), 2);
    EXPECT_EQ(std::string(area, 4), "####");
    EXPECT_EQ(threadStart(nullptr, nullptr, 0, area + 1, 1), 3);
    EXPECT_EQ(std::string(area, 4), std::string("#\0##", 4));
}

TEST(ThreadPriority, EveryLevelOfAnotherThreadReadsBack) {
    Probe probe;
    startProbe(probe);
    const int expected[] = {THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                            THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST};
    for (int level = 0; level <= 4; ++level) {
        EXPECT_EQ(threadSetPriority(probe.threadId, level), 0);
        EXPECT_EQ(platformPriorityOf(probe.threadId), expected[level]) << "level " << level;
    }
    EXPECT_EQ(threadSetPriority(probe.threadId, 7), 0);
    EXPECT_EQ(platformPriorityOf(probe.threadId), THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(threadSetPriority(probe.threadId, 0), 0);
    EXPECT_EQ(threadSetPriority(probe.threadId, -1), 0);
    EXPECT_EQ(platformPriorityOf(probe.threadId), THREAD_PRIORITY_NORMAL);
}

TEST(ThreadPriority, TheCallingThreadByZeroOrByItsId) {
    HANDLE self = GetCurrentThread();
    EXPECT_EQ(threadSetPriority(0, 1), 0);
    EXPECT_EQ(GetThreadPriority(self), THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_EQ(threadSetPriority(threadGetCurrentID(), 3), 0);
    EXPECT_EQ(GetThreadPriority(self), THREAD_PRIORITY_ABOVE_NORMAL);
    EXPECT_EQ(threadSetPriority(0, 2), 0);
    EXPECT_EQ(GetThreadPriority(self), THREAD_PRIORITY_NORMAL);
}

TEST(ThreadPriority, AThreadThatDoesNotExistCannotBeSet) {
    EXPECT_EQ(threadSetPriority(0xFFFFFFF0u, 2), 1);
}

TEST(ThreadPriority, ReadingIsNotSupported) {
    int level = 42;
    EXPECT_EQ(threadGetPriority(0, &level), 1);
    EXPECT_EQ(level, 0);
    EXPECT_EQ(threadGetPriority(threadGetCurrentID(), nullptr), 1);
}

TEST(ThreadIdentity, IdsNamesAndAttachment) {
    EXPECT_EQ(threadGetCurrentID(), GetCurrentThreadId());
    EXPECT_STREQ(threadGetSystemName(), "Windows Threads");
    EXPECT_EQ(threadAttachCurrent(), 0);
    threadDetachCurrent();
}

TEST(ThreadSleep, SleepsAtLeastTheTimeAskedAndYieldReturns) {
    // On the performance counter, as fine as the sleep: the tick count moves in coarse steps
    // (and more coarsely under load). A sleep may end up to one timer tick early.
    LARGE_INTEGER before, after, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    threadSleep(40);
    QueryPerformanceCounter(&after);
    EXPECT_GE(1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) / static_cast<double>(frequency.QuadPart),
              40.0 - 16.0);
    threadSleep(0);
    threadYield();
}

TEST(ThreadName, WithoutADebuggerNothingIsSeenAndTheThreadCarriesOn) {
    threadSetNameInDebugger(nullptr);
    threadSetNameInDebugger("VM Test Thread");
    threadSetNameInDebugger("");
    // Naming is a debugging aid: the caller's error value survives it.
    SetLastError(ERROR_ACCESS_DENIED);
    threadSetNameInDebugger("again");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

static unsigned long __stdcall nameItself(void *event) {
    threadSetNameInDebugger("VM QRN Buffer Thread");
    SetEvent(static_cast<HANDLE>(event));
    return 0;
}

CHILD_SCENARIO(name_threads) {
    threadSetNameInDebugger(nullptr);
    threadSetNameInDebugger("main of the child");
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (threadStart(nameItself, done, 0, nullptr, 0) != 0 || WaitForSingleObject(done, 10000) != WAIT_OBJECT_0)
        return 2;
    return 0;
}

TEST(ThreadName, ADebuggerSeesEveryNamedThread) {
    // This test is the debugger: it starts the child under debugging and collects the names.
    std::string commandLine = "\"" + thisProgramPath() + "\" --child name_threads";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                               nullptr, nullptr, &startup, &process));
    struct Named {
        std::string name;
        DWORD raisedBy;
        DWORD namedThread;
    };
    std::vector<Named> names;
    DWORD exitCode = 0xFFFFFFFF;
    bool reachedLoaderBreakpoint = false;
    for (bool running = true; running;) {
        DEBUG_EVENT event;
        ASSERT_TRUE(WaitForDebugEvent(&event, 60000));
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case EXCEPTION_DEBUG_EVENT: {
            const EXCEPTION_RECORD &record = event.u.Exception.ExceptionRecord;
            if (record.ExceptionCode == 0x406D1388 && record.NumberParameters == 4 &&
                record.ExceptionInformation[0] == 0x1000) {
                char name[64] = {};
                SIZE_T got = 0;
                ReadProcessMemory(process.hProcess, reinterpret_cast<void *>(record.ExceptionInformation[1]), name,
                                  sizeof name - 1, &got);
                names.push_back({name, event.dwThreadId, static_cast<DWORD>(record.ExceptionInformation[2])});
                // Left to the program: its own handler must let it carry on.
                status = DBG_EXCEPTION_NOT_HANDLED;
            } else if (record.ExceptionCode == EXCEPTION_BREAKPOINT) {
                reachedLoaderBreakpoint = true;
            } else {
                status = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        }
        case CREATE_PROCESS_DEBUG_EVENT:
            CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            CloseHandle(event.u.LoadDll.hFile);
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            exitCode = event.u.ExitProcess.dwExitCode;
            running = false;
            break;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // Every debugged process stops once in the loader; under Wine in user-mode emulation the
    // debuggee dies before it gets there and no debugger can watch anything.
    if (!reachedLoaderBreakpoint)
        GTEST_SKIP() << "this system cannot debug a process";
    EXPECT_EQ(exitCode, 0u);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].name, "main of the child");
    EXPECT_EQ(names[0].namedThread, process.dwThreadId);
    EXPECT_EQ(names[1].name, "VM QRN Buffer Thread");
    EXPECT_NE(names[1].namedThread, process.dwThreadId);
    for (const Named &named : names)
        EXPECT_EQ(named.raisedBy, named.namedThread) << named.name;
}
