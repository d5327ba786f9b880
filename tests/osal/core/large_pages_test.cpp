// The large-page decisions against every answer the system may give; the platform here refuses
// the privilege, so only the library's own seam reaches the other paths.
#include <gtest/gtest.h>

#include <string>

#include "large_pages.h"
#include "osal_log.h"

namespace {

struct Answers {
    bool token = true;
    bool lookup = true;
    bool enable = true;
    bool granted = true;
    bool module = true;
    bool function = true;
    SIZE_T minimum = 2 * 1024 * 1024;
    bool allocate = true;
    bool committedAsAsked = true;
    int tokensClosed = 0;
    int released = 0;
};

Answers answers;
std::string logged;

SIZE_T WINAPI minimum() { return answers.minimum; }

const vmm::LargePageSystem fake = {
    [](HANDLE *token) {
        *token = reinterpret_cast<HANDLE>(0x44);
        SetLastError(ERROR_ACCESS_DENIED);
        return answers.token;
    },
    [](LUID *) { return answers.lookup; },
    [](HANDLE, const LUID &, bool *granted) {
        *granted = answers.granted;
        return answers.enable;
    },
    [](HANDLE) { ++answers.tokensClosed; },
    []() { return answers.module ? GetModuleHandleA(nullptr) : HMODULE{}; },
    [](HMODULE) { return answers.function ? &minimum : nullptr; },
    [](void *, size_t, DWORD) { return answers.allocate ? reinterpret_cast<void *>(0x1000000) : nullptr; },
    [](void *, DWORD) { return answers.committedAsAsked; },
    [](void *) { ++answers.released; },
};

void capture(Logger *, int, int, const char *format, va_list args) {
    char text[1024];
    vsnprintf(text, sizeof text, format, args);
    logged += text;
}

class LargePages : public testing::Test {
protected:
    void SetUp() override {
        answers = Answers{};
        logged.clear();
        previous_ = osalLogSink;
        osalLogSink = capture;
    }
    void TearDown() override { osalLogSink = previous_; }

private:
    OsalLogSink previous_ = nullptr;
};

} // namespace

TEST_F(LargePages, GrantedPrivilegeAndAMinimumGiveTheLargePageSize) {
    EXPECT_EQ(vmm::setUpLargePages(fake, 0), 2u * 1024 * 1024);
    EXPECT_EQ(logged, "");
    EXPECT_EQ(answers.tokensClosed, 1);
    EXPECT_EQ(vmm::setUpLargePages(fake, 4 * 1024 * 1024), 2u * 1024 * 1024) << "a multiple of the minimum";
}

TEST_F(LargePages, EveryFailingStepSaysWhy) {
    struct Case {
        bool Answers::*step;
        const char *message;
    } cases[] = {
        {&Answers::token, "Unable to acquire process token:"},
        {&Answers::lookup, "Unable to acquire privilege name."},
        {&Answers::enable, "Unable to enable privilege in process token."},
        {&Answers::granted, "Unable to set Lock Page Privilege:\n1. This setting can be changed only in "
                            "Administrative mode.\n"},
        {&Answers::module, "Unable to acquire DLL handle:"},
        {&Answers::function, "Unable to acquire page size function, you need to be on Windows 2003 Server or above."},
    };
    for (const Case &c : cases) {
        answers = Answers{};
        answers.*c.step = false;
        logged.clear();
        EXPECT_EQ(vmm::setUpLargePages(fake, 0), 0u) << c.message;
        EXPECT_EQ(logged.find(c.message), 0u) << logged;
    }
    EXPECT_NE(std::string(vmm::lockPagePrivilegeHelp).find("5. On Windows Vista, Vantrel needs to be run as Administrator.\n"),
              std::string::npos);
}

TEST_F(LargePages, AnUnmatchedSizeOrNoMinimumFails) {
    EXPECT_EQ(vmm::setUpLargePages(fake, 3 * 1024 * 1024), 0u);
    EXPECT_EQ(logged, "Unmatched page size LARGE_PAGE_SIZE = 3145728 : uipMinPageSize = 2097152.");
    logged.clear();
    answers.minimum = 0; // a system without large pages
    EXPECT_EQ(vmm::setUpLargePages(fake, 0), 0u) << "and nothing divides by zero";
    EXPECT_EQ(logged, "Unmatched page size LARGE_PAGE_SIZE = 0 : uipMinPageSize = 0.");
}

TEST_F(LargePages, LargeCodePagesMustReadBackAsAsked) {
    EXPECT_TRUE(vmm::largeCodePagesWork(fake, 2 * 1024 * 1024));
    EXPECT_EQ(answers.released, 1);
    answers.committedAsAsked = false;
    EXPECT_FALSE(vmm::largeCodePagesWork(fake, 2 * 1024 * 1024));
    EXPECT_EQ(answers.released, 2);
    EXPECT_EQ(logged, "Large code pages failure. You are probably running Win2003 Server and need SP1 or later!\n");
    answers.allocate = false;
    EXPECT_FALSE(vmm::largeCodePagesWork(fake, 2 * 1024 * 1024));
    EXPECT_EQ(answers.released, 2);
}

TEST_F(LargePages, ThePlatformRefusesWithoutThePrivilege) {
    size_t size = vmm::setUpLargePages(vmm::platformLargePageSystem(), 0);
    if (size != 0)
        GTEST_SKIP() << "this account may lock pages in memory";
    EXPECT_NE(logged.find("Unable to set Lock Page Privilege:"), std::string::npos) << logged;
}
