// Assertion reports: the standard-error text, the abort, and the hook that may take the report over.
#include <gtest/gtest.h>

#include <string>

#include "child_process.h"
#include "osal/osal_assert.h"

namespace {

struct Report {
    int calls = 0;
    std::string expression, file, function;
    int line = 0;
    bool hasMessage = false;
    std::string message;
};

Report lastReport;
int hookResult = 0;

int recordingHook(const char *expression, const char *file, int line, const char *function, const char *message) {
    ++lastReport.calls;
    lastReport.expression = expression;
    lastReport.file = file;
    lastReport.line = line;
    lastReport.function = function;
    lastReport.hasMessage = message != nullptr;
    lastReport.message = message ? message : "";
    return hookResult;
}

class AssertReport : public testing::Test {
protected:
    void SetUp() override {
        lastReport = Report{};
        hookResult = 0;
        previous_ = setAssertHook(recordingHook);
    }
    void TearDown() override { setAssertHook(previous_); }

private:
    AssertHook previous_ = nullptr;
};

} // namespace

CHILD_SCENARIO(assert_with_message) {
    assertReport("count == 2", "queue.c", 41, "drain", "count is %d of %s", 3, "queue");
    return 0;
}

CHILD_SCENARIO(assert_without_message) {
    const char *empty = "";
    assertReport("ready", "start.c", 7, "boot", argc > 0 ? empty : nullptr);
    return 0;
}

CHILD_SCENARIO(assert_with_refusing_hook) {
    setAssertHook([](const char *, const char *, int, const char *, const char *) { return 1; });
    assertReport("p != 0", "hook.c", 3, "take", "%s", "null");
    return 0;
}

// Standard error is a text stream of the C runtime: the report's "\n" arrives as CR LF.
TEST(AssertReportWithoutHook, PrintsTheReportAndAborts) {
    ChildResult result = runScenario("assert_with_message");
    EXPECT_EQ(result.err, "Assertion failed: \"count == 2\" count is 3 of queue at drain (queue.c:41)\r\n");
    EXPECT_EQ(result.exitCode, abortExitCode);
}

TEST(AssertReportWithoutHook, NullAndEmptyFormatsPrintNoMessage) {
    for (const char *argument : {static_cast<const char *>("empty"), static_cast<const char *>(nullptr)}) {
        ChildResult result = argument ? runScenario("assert_without_message", {argument})
                                      : runScenario("assert_without_message");
        EXPECT_EQ(result.err, "Assertion failed: \"ready\" at boot (start.c:7)\r\n");
        EXPECT_EQ(result.exitCode, abortExitCode);
    }
}

TEST(AssertReportWithoutHook, AHookThatRefusesStillPrintsAndAborts) {
    ChildResult result = runScenario("assert_with_refusing_hook");
    EXPECT_EQ(result.err, "Assertion failed: \"p != 0\" null at take (hook.c:3)\r\n");
    EXPECT_EQ(result.exitCode, abortExitCode);
}

TEST_F(AssertReport, AHookReturningZeroTakesTheReportAndTheCallerCarriesOn) {
    assertReport("a < b", "cmp.c", 99, "compare", "a=%d b=%d", 5, 4);
    ASSERT_EQ(lastReport.calls, 1);
    EXPECT_EQ(lastReport.expression, "a < b");
    EXPECT_EQ(lastReport.file, "cmp.c");
    EXPECT_EQ(lastReport.line, 99);
    EXPECT_EQ(lastReport.function, "compare");
    EXPECT_TRUE(lastReport.hasMessage);
    EXPECT_EQ(lastReport.message, " a=5 b=4");
}

TEST_F(AssertReport, AnEmptyOrNullFormatGivesTheHookNoMessage) {
    assertReport("x", "f.c", 1, "g", nullptr);
    EXPECT_FALSE(lastReport.hasMessage);
    const char *empty = "";
    assertReport("x", "f.c", 1, "g", empty);
    EXPECT_FALSE(lastReport.hasMessage);
    EXPECT_EQ(lastReport.calls, 2);
}

TEST_F(AssertReport, ALongMessageIsCutTo126Characters) {
    std::string text(400, 'm');
    assertReport("long", "l.c", 2, "cut", "%s", text.c_str());
    EXPECT_EQ(lastReport.message, " " + std::string(126, 'm'));
}

TEST_F(AssertReport, InstallingAHookReturnsThePreviousOne) {
    AssertHook other = [](const char *, const char *, int, const char *, const char *) { return 0; };
    EXPECT_EQ(setAssertHook(other), &recordingHook);
    EXPECT_EQ(setAssertHook(recordingHook), other);
}
