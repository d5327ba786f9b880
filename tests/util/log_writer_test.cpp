// Whole log lines as they reach standard error: every decoration and level, the line ends, the
// cut of long messages and prefixes, text without a module, and many threads at once.
#include <gtest/gtest.h>

#include <windows.h>

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>

#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "osal/timing.h"
#include "sarnik/log_api.h"
#include "test_logger.h"

namespace {

void print(Logger *logger, int module, int level, int mask, const char *format, ...) {
    va_list args;
    va_start(args, format);
    _logforceprintdecorationsv(logger, module, level, mask, format, args);
    va_end(args);
}

void printOwn(Logger *logger, int module, int level, const char *format, ...) {
    va_list args;
    va_start(args, format);
    _logforceprintv(logger, module, level, format, args);
    va_end(args);
}

char *context(char *position, int *room) { return log_sprintf(position, room, "<%s>", "ctx"); }
char *wide(char *position, int *room) { return log_sprintf(position, room, "%s", std::string(120, 'c').c_str()); }

std::string ids(const char *format, unsigned long value) {
    char text[32];
    snprintf(text, sizeof text, format, static_cast<int>(value));
    return text;
}

std::string message(size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text += static_cast<char>('a' + i % 26);
    return text;
}

} // namespace

CHILD_SCENARIO(log_writer_lines) {
    Logger *logger = newLogger({{"util"}, {"averylongname"}, {"custom"}});
    logger->custom[0] = {"ctx", context};
    logger->custom[1] = {"none", nullptr};
    _log_add_logger(logger);
    Logger *roomy = newLogger({{"roomy"}});
    roomy->custom[0] = {"wide", wide};
    roomy->extraDecorationRoom = 50;
    _log_add_logger(roomy);
    printf("%lu %lu\n", GetCurrentProcessId(), GetCurrentThreadId());
    fflush(stdout);

    print(logger, 0, LOG_WARN, 0, "bare %d", 1);
    printOwn(logger, 0, LOG_WARN, "own decorations %s", "here");
    for (int level = -1; level <= 6; ++level)
        print(logger, 0, level, LOG_DECO_LEVEL, "level %d", level);
    print(logger, 1, LOG_INFO, LOG_DECO_MODULE, "cut name");
    print(logger, 0, LOG_INFO, LOG_DECO_OSTHREADID | LOG_DECO_PID, "ids");
    print(logger, 0, LOG_INFO, LOG_DECO_LEVEL | LOG_DECO_MODULE | LOG_DECO_OSTHREADID | LOG_DECO_PID, "%I64d %s",
          -1234567890123LL, "all");
    print(logger, 2, LOG_ERROR, LOG_DECO_LEVEL | (1 << 7) | (1 << 8), "custom");
    print(logger, 2, LOG_ERROR, 1 << 15, "beyond the last bit");
    _logforceprintdecorations(logger, 0, LOG_DEBUG, LOG_DECO_MODULE | LOG_DECO_LEVEL, "varargs %c", 'x');
    // Line ends.
    print(logger, 0, LOG_WARN, 0, "cr\r");
    print(logger, 0, LOG_WARN, 0, "lf\n");
    print(logger, 0, LOG_WARN, 0, "crlf\r\n");
    print(logger, 0, LOG_WARN, 0, "%s", "");
    print(logger, 0, LOG_WARN, LOG_DECO_LEVEL, "%s", "");
    print(logger, 0, LOG_WARN, LOG_DECO_LEVEL | LOG_DECO_MODULE, nullptr);
    print(logger, 0, LOG_WARN, 0, "after the prefix alone");
    // Long messages and long prefixes.
    for (size_t length : {1020u, 1021u, 1022u, 2000u})
        print(logger, 0, LOG_WARN, 0, "%s", message(length).c_str());
    print(logger, 0, LOG_WARN, LOG_DECO_LEVEL | LOG_DECO_MODULE, "%s", message(2000).c_str());
    print(roomy, 0, LOG_WARN, 1 << 7, "wide fits");
    roomy->extraDecorationRoom = 0;
    print(roomy, 0, LOG_WARN, 1 << 7, "wide cut");
    // No module: the text as it is.
    printOwn(nullptr, 0, LOG_WARN, "no logger %d\n", 1);
    printOwn(logger, 3, LOG_WARN, "module past the end %d\n", 3);
    printOwn(logger, -1, LOG_WARN, "module before the start %d\n", -1);
    print(logger, 0x7fffffff, LOG_WARN, LOG_DECO_LEVEL, "module far out\n");
    // A linked module without a target is reported through the library's own module.
    _log_add_logger(newLogger({{"nowhere", nullptr, LOG_MODULE_LINKED}}));
    return 0;
}

TEST(LogWriter, WholeLinesForEveryDecorationLevelAndLineEnd) {
    ChildResult result = runScenario("log_writer_lines");
    ASSERT_EQ(result.exitCode, 0u) << result.err;
    unsigned long pid = 0, tid = 0;
    std::istringstream(result.out) >> pid >> tid;
    ASSERT_NE(pid, 0u);
    const std::string pidText = ids("[%-5.5i]", pid), tidText = ids("[%-5.5i]", tid);

    std::string expected = "bare 1\r\n";
    expected += "[WARN ][util   ] own decorations here\r\n";
    expected += "[-1   ] level -1\r\n[QUIET] level 0\r\n[ERROR] level 1\r\n[WARN ] level 2\r\n";
    expected += "[INFO ] level 3\r\n[DEBUG] level 4\r\n[TRACE] level 5\r\n[6    ] level 6\r\n";
    expected += "[averylo] cut name\r\n";
    expected += tidText + pidText + " ids\r\n";
    expected += "[INFO ][util   ]" + tidText + pidText + " -1234567890123 all\r\n";
    expected += "[ERROR]<ctx> custom\r\n";
    expected += " beyond the last bit\r\n";
    expected += "[DEBUG][util   ] varargs x\r\n";
    expected += "cr\r\n";
    expected += "lf\n\r\n";
    expected += "crlf\r\n\r\n";
    expected += "\r\n";
    expected += "[WARN ] \r\n";
    expected += "[WARN ][util   ] after the prefix alone\r\n";
    expected += message(1020) + "\r\n" + message(1021) + "\r\n" + message(1021) + "\r\n" + message(1021) + "\r\n";
    expected += "[WARN ][util   ] " + message(1021) + "\r\n";
    expected += std::string(120, 'c') + " wide fits\r\n";
    expected += std::string(99, 'c') + "wide cut\r\n";
    expected += "no logger 1\nmodule past the end 3\nmodule before the start -1\nmodule far out\n";
    expected += "[ERROR][util   ] Could not locate linked log module nowhere (No such logging module \"nowhere\")\n\r\n";
    EXPECT_EQ(result.err, expected);
}

namespace {

void printClock() {
    char stamp[32] = "";
    timingFormatCurrentTime(stamp);
    printf("%s|%lld|%lld\n", stamp, static_cast<long long>(timingGetCurrentTimeMillis()),
           static_cast<long long>(timingGetCurrentTimeNanos()));
}

struct Clock {
    std::string stamp;
    long long millis = 0, nanos = 0;
};

Clock readClock(std::istream &in) {
    Clock clock;
    std::string line;
    std::getline(in, line);
    const size_t bar = line.find('|'), second = line.find('|', bar + 1);
    clock.stamp = line.substr(0, bar);
    clock.millis = std::stoll(line.substr(bar + 1, second - bar - 1));
    clock.nanos = std::stoll(line.substr(second + 1));
    return clock;
}

} // namespace

CHILD_SCENARIO(log_time_decorations) {
    Logger *logger = newLogger({{"clock"}});
    _log_add_logger(logger);
    printClock();
    print(logger, 0, LOG_INFO, LOG_DECO_LEVEL | LOG_DECO_TIMESTAMP | LOG_DECO_MILLIS | LOG_DECO_NANOS, "time");
    printClock();
    print(logger, 0, LOG_INFO, LOG_DECO_MODULE | LOG_DECO_MILLIS, "millis");
    print(logger, 0, LOG_INFO, LOG_DECO_NANOS | LOG_DECO_PID, "nanos");
    printClock();
    return 0;
}

TEST(LogWriter, TimeDecorationsComeFromTheClockOfTheOsLayer) {
    ChildResult result = runScenario("log_time_decorations");
    ASSERT_EQ(result.exitCode, 0u);
    std::istringstream out(result.out);
    const Clock before = readClock(out), middle = readClock(out), after = readClock(out);
    ASSERT_EQ(before.stamp.size(), 24u) << before.stamp;

    std::istringstream err(result.err);
    std::string line;
    ASSERT_TRUE(std::getline(err, line));
    ASSERT_EQ(line.rfind("[INFO ][", 0), 0u) << line;
    const std::string stamp = line.substr(8, 24);
    EXPECT_TRUE(stamp == before.stamp || stamp == middle.stamp) << stamp;
    long long millis = 0, nanos = 0;
    ASSERT_EQ(sscanf(line.c_str() + 32, "][%lld][%lld]", &millis, &nanos), 2) << line;
    EXPECT_GE(millis, before.millis);
    EXPECT_LE(millis, middle.millis);
    EXPECT_GE(nanos, before.nanos);
    EXPECT_LE(nanos, middle.nanos);
    EXPECT_EQ(line, "[INFO ][" + stamp + "][" + std::to_string(millis) + "][" + std::to_string(nanos) + "] time\r");

    ASSERT_TRUE(std::getline(err, line));
    ASSERT_EQ(sscanf(line.c_str(), "[clock  ][%lld]", &millis), 1) << line;
    EXPECT_GE(millis, middle.millis);
    EXPECT_LE(millis, after.millis);
    EXPECT_EQ(line, "[clock  ][" + std::to_string(millis) + "] millis\r");
    ASSERT_TRUE(std::getline(err, line));
    ASSERT_EQ(sscanf(line.c_str(), "[%lld]", &nanos), 1) << line;
    EXPECT_GE(nanos, middle.nanos);
    EXPECT_LE(nanos, after.nanos);
    char pid[16];
    snprintf(pid, sizeof pid, "[%-5.5i]", static_cast<int>(std::stoul(line.substr(line.find("][") + 2))));
    EXPECT_EQ(line, "[" + std::to_string(nanos) + "]" + pid + " nanos\r");
    EXPECT_FALSE(std::getline(err, line));
}

CHILD_SCENARIO(log_keeps_errors) {
    Logger *logger = newLogger({{"errors"}});
    _log_add_logger(logger);
    int failures = 0;
    for (DWORD code : {DWORD{0}, DWORD{4321}, DWORD{ERROR_ACCESS_DENIED}}) {
        for (int runtime : {0, ENOENT}) {
            SetLastError(code);
            errno = runtime;
            printOwn(logger, 0, LOG_WARN, "line %lu %d", code, runtime);
            failures += GetLastError() != code || errno != runtime;
            SetLastError(code);
            errno = runtime;
            printOwn(nullptr, 0, LOG_WARN, "bare %lu\n", code);
            failures += GetLastError() != code || errno != runtime;
        }
    }
    // A write that fails leaves the caller's code too.
    logger->modules[0].stream = -1;
    SetLastError(77);
    printOwn(logger, 0, LOG_WARN, "nowhere");
    failures += GetLastError() != 77;
    return failures;
}

TEST(LogWriter, TheCallersErrorsAreTheSameAfterAPrint) {
    ChildResult result = runScenario("log_keeps_errors");
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_NE(result.err.find("[WARN ][errors ] line 4321 2\r\n"), std::string::npos) << result.err;
}

namespace {

constexpr int threadCount = 8;
constexpr int linesPerThread = 250;

std::string threadLine(int thread, int line) {
    char text[64];
    snprintf(text, sizeof text, "thread %d line %04d ", thread, line);
    return text + std::string(300, static_cast<char>('A' + thread));
}

} // namespace

CHILD_SCENARIO(log_many_threads) {
    Logger *logger = newLogger({{"threads"}});
    _log_add_logger(logger);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t)
        threads.emplace_back([logger, t] {
            for (int i = 0; i < linesPerThread; ++i)
                printOwn(logger, 0, LOG_INFO, "%s", threadLine(t, i).c_str());
        });
    for (std::thread &thread : threads)
        thread.join();
    return 0;
}

TEST(LogWriter, ManyThreadsLoseAndInterleaveNoLine) {
    ChildResult result = runScenario("log_many_threads");
    ASSERT_EQ(result.exitCode, 0u);
    std::map<int, int> next;
    size_t start = 0, lines = 0;
    while (start < result.err.size()) {
        size_t end = result.err.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "unterminated line at " << start;
        std::string line = result.err.substr(start, end - start);
        int thread = -1, number = -1;
        ASSERT_EQ(sscanf(line.c_str(), "[INFO ][threads] thread %d line %d", &thread, &number), 2) << line;
        ASSERT_TRUE(thread >= 0 && thread < threadCount) << line;
        EXPECT_EQ(line, "[INFO ][threads] " + threadLine(thread, number));
        EXPECT_EQ(number, next[thread]++) << "thread " << thread;
        ++lines;
        start = end + 2;
    }
    EXPECT_EQ(lines, static_cast<size_t>(threadCount * linesPerThread));
}

TEST(LogWriter, AppendStaysInsideItsRoomAtEverySize) {
    for (int size = 0; size <= 12; ++size) {
        char buffer[16];
        memset(buffer, '#', sizeof buffer);
        int room = size;
        char *end = log_sprintf(buffer, &room, "%s-%d", "abcdef", 42);
        const int written = static_cast<int>(end - buffer);
        const int expected = size == 0 ? 0 : std::min(size - 1, 9);
        EXPECT_EQ(written, expected) << size;
        EXPECT_EQ(room, size - written) << size;
        EXPECT_EQ(std::string(buffer, written), std::string("abcdef-42").substr(0, written)) << size;
        if (size > 0) {
            EXPECT_EQ(buffer[written], '\0') << size;
        }
        for (int i = std::max(size, 0); i < static_cast<int>(sizeof buffer); ++i)
            EXPECT_EQ(buffer[i], '#') << "byte " << i << " written with room " << size;
    }
    // Appends one after another until the room is used up.
    char buffer[8];
    int room = sizeof buffer;
    char *at = log_sprintf(buffer, &room, "abc");
    at = log_sprintf(at, &room, "def");
    at = log_sprintf(at, &room, "ghi");
    EXPECT_EQ(std::string(buffer), "abcdefg");
    EXPECT_EQ(at, buffer + 7);
    EXPECT_EQ(room, 1);
    EXPECT_EQ(log_sprintf(at, &room, "more"), at);
    int none = -3;
    EXPECT_EQ(log_sprintf(buffer, &none, "x"), buffer);
    EXPECT_EQ(log_sprintf(buffer, nullptr, "x"), buffer);
}
