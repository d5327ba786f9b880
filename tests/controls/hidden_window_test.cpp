// Hidden windows of the class library, made by many programs that start at the same time, as
// programs built on the library make them at start-up.
#include <gtest/gtest.h>

#include <windows.h>

#include <classlib/exceptions.h>
#include <classlib/hidden_window.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"

namespace {

constexpr int programCount = 32;
constexpr int windowsPerProgram = 6;

} // namespace

// Waits at the start line with the others, then makes its hidden windows (the first windows of
// the process) and frees them. Prints what failed.
CHILD_SCENARIO(makeHiddenWindows) {
    if (argc < 1)
        return 2;
    std::string name = argv[0];
    HANDLE ready = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, (name + "-ready").c_str());
    HANDLE start = OpenEventA(SYNCHRONIZE, FALSE, (name + "-start").c_str());
    if (ready == nullptr || start == nullptr) {
        std::printf("the start line is missing\n");
        return 2;
    }
    ReleaseSemaphore(ready, 1, nullptr);
    if (WaitForSingleObject(start, 600000) != WAIT_OBJECT_0) {
        std::printf("no start in ten minutes\n");
        return 2;
    }
    std::vector<HWND> windows;
    int result = 0;
    try {
        for (int i = 0; i < windowsPerProgram; ++i)
            windows.push_back(AllocateHWnd([](TMessage &message) { message.Result = 0; }));
    } catch (const Exception &e) {
        std::printf("window %zu: %s\n", windows.size() + 1, e.what());
        result = 1;
    }
    for (HWND window : windows)
        if (!IsWindow(window)) {
            std::printf("a window handed out is no window\n");
            result = 1;
        }
    for (HWND window : windows)
        DeallocateHWnd(window);
    return result;
}

TEST(HiddenWindows, ManyProgramsStartingAtOnceAllMakeThem) {
    std::string name = "classlib-hidden-windows-" + std::to_string(GetCurrentProcessId());
    HANDLE ready = CreateSemaphoreA(nullptr, 0, programCount, (name + "-ready").c_str());
    HANDLE start = CreateEventA(nullptr, TRUE, FALSE, (name + "-start").c_str());
    ASSERT_NE(ready, nullptr);
    ASSERT_NE(start, nullptr);
    std::vector<ChildResult> results(programCount);
    std::vector<std::string> failures(programCount);
    std::vector<std::thread> threads;
    for (int i = 0; i < programCount; ++i)
        threads.emplace_back([&, i] {
            try {
                results[i] = runScenario("makeHiddenWindows", {name});
            } catch (const std::exception &e) {
                failures[i] = e.what();
            }
        });
    // All of them at the start line, then all at once. The bound only guards against a hang.
    int arrived = 0;
    while (arrived < programCount && WaitForSingleObject(ready, 600000) == WAIT_OBJECT_0)
        ++arrived;
    SetEvent(start);
    for (std::thread &thread : threads)
        thread.join();
    CloseHandle(ready);
    CloseHandle(start);
    EXPECT_EQ(arrived, programCount) << "programs at the start line within ten minutes of each other";
    for (int i = 0; i < programCount; ++i) {
        EXPECT_EQ(failures[i], "") << "program " << i;
        EXPECT_EQ(results[i].exitCode, 0u) << "program " << i << ": " << results[i].out << results[i].err;
    }
}

TEST(HiddenWindows, AFailureWithoutAnErrorCodeIsReportedAsAnUnknownFailure) {
    // A platform call may fail without saying why (a window procedure refusing creation, say).
    for (std::uint32_t code : {0u, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED)}) {
        SetLastError(ERROR_INVALID_HANDLE);
        try {
            RaiseLastOSError(code);
            ADD_FAILURE() << "no exception";
        } catch (const EOSError &e) {
            EXPECT_EQ(e.ErrorCode(), code);
            if (code == 0)
                EXPECT_EQ(e.Message(), L"A call to an OS function failed");
            else
                EXPECT_EQ(e.Message(), L"System error 5: " + SysErrorMessage(ERROR_ACCESS_DENIED));
        }
    }
    // Without a code given, the thread's last error, as it is now.
    SetLastError(ERROR_ACCESS_DENIED);
    try {
        RaiseLastOSError();
        ADD_FAILURE() << "no exception";
    } catch (const EOSError &e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    }
}
