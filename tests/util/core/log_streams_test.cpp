// Streams opened by name and shared between modules: standard streams, one handle per file
// whatever the spelling, reference counts, names too long for the platform, and whole lines in
// files and on standard output.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>

#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "log_internal.h"
#include "sarnik/log_api.h"
#include "test_logger.h"
#include "test_paths.h"

using namespace sarnik;

namespace {

FioHandle standardHandle(DWORD which) { return reinterpret_cast<FioHandle>(GetStdHandle(which)); }

void print(Logger *logger, int module, int level, const char *format, ...) {
    va_list args;
    va_start(args, format);
    _logforceprintv(logger, module, level, format, args);
    va_end(args);
}

// A module that writes to the named stream, holding the reference the opening took.
Logger *loggerOn(const char *name, const std::string &stream, int decorations = LOG_DECO_DEFAULT) {
    Logger *logger = newLogger({{name, nullptr, 0, decorations}});
    _log_add_logger(logger);
    FioHandle handle = logOpenNamedStream(stream.c_str());
    EXPECT_NE(handle, FIO_INVALID_HANDLE) << stream;
    logReplaceModuleStream(&logger->modules[0], handle);
    return logger;
}

bool deletable(const std::string &path) { return DeleteFileA(path.c_str()) != 0; }

} // namespace

TEST(LogStreams, StandardNamesGiveTheStandardHandlesUncounted) {
    EXPECT_EQ(logOpenNamedStream("stdout"), standardHandle(STD_OUTPUT_HANDLE));
    EXPECT_EQ(logOpenNamedStream("/dev/stdout"), standardHandle(STD_OUTPUT_HANDLE));
    EXPECT_EQ(logOpenNamedStream("stderr"), standardHandle(STD_ERROR_HANDLE));
    EXPECT_EQ(logOpenNamedStream("/dev/stderr"), standardHandle(STD_ERROR_HANDLE));
    EXPECT_EQ(logStreamReferences(standardHandle(STD_ERROR_HANDLE)), 0);
    logReleaseStream(standardHandle(STD_ERROR_HANDLE));
    DWORD type = GetFileType(GetStdHandle(STD_ERROR_HANDLE));
    EXPECT_NE(type, static_cast<DWORD>(FILE_TYPE_UNKNOWN)) << "standard error was closed";
    EXPECT_EQ(logOpenNamedStream(nullptr), FIO_INVALID_HANDLE);
}

TEST(LogStreams, OneHandleForEverySpellingOfAFile) {
    TempDir folder;
    const std::string path = folder.file("shared.log");
    writeTextFile(path, "old content");
    FioHandle first = logOpenNamedStream(path.c_str());
    ASSERT_NE(first, FIO_INVALID_HANDLE);
    EXPECT_EQ(readTextFile(path), "") << "a new log starts empty";
    EXPECT_EQ(logStreamReferences(first), 1);

    std::string upper = path;
    for (char &c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    const std::string dotted = folder.path() + "\\.\\sub\\..\\shared.log";
    const std::string link = folder.file("hard-link.log");
    ASSERT_TRUE(CreateHardLinkA(link.c_str(), path.c_str(), nullptr));
    for (const std::string &spelling : {upper, dotted, link})
        EXPECT_EQ(logOpenNamedStream(spelling.c_str()), first) << spelling;
    EXPECT_EQ(logStreamReferences(first), 4);

    for (int left = 3; left >= 1; --left) {
        logReleaseStream(first);
        EXPECT_EQ(logStreamReferences(first), left);
        EXPECT_EQ(fio_write_fully(first, "x", 1), 1) << "still open with " << left << " left";
    }
    EXPECT_FALSE(deletable(path)) << "open without delete sharing";
    logReleaseStream(first);
    EXPECT_EQ(logStreamReferences(first), 0);
    EXPECT_TRUE(deletable(link));
    EXPECT_TRUE(deletable(path)) << "closed by the last release";
    logReleaseStream(first);
}

TEST(LogStreams, AFileCreatedByTheOpeningIsFoundAgainByItsFullPath) {
    TempDir folder;
    const std::string path = folder.file("fresh.log");
    FioHandle handle = logOpenNamedStream(path.c_str());
    ASSERT_NE(handle, FIO_INVALID_HANDLE);
    EXPECT_EQ(logOpenNamedStream((folder.path() + "/FRESH.LOG").c_str()), handle);
    EXPECT_EQ(logStreamReferences(handle), 2);
    logReleaseStream(handle);
    logReleaseStream(handle);
    EXPECT_TRUE(deletable(path));
}

TEST(LogStreams, ANameTooLongForThePlatformOpensNothing) {
    TempDir folder;
    const std::string base = folder.path() + "\\";
    ASSERT_LT(base.size(), 200u);
    const std::string longest = base + std::string(259 - base.size(), 'k');
    ASSERT_EQ(longest.size(), 259u);
    FioHandle handle = logOpenNamedStream(longest.c_str());
    EXPECT_NE(handle, FIO_INVALID_HANDLE) << "259 characters are a name the platform takes";
    logReleaseStream(handle);
    EXPECT_TRUE(deletable(longest));

    for (size_t length : {260u, 261u, 300u, 5000u}) {
        const std::string name = base + std::string(length - base.size(), 'k');
        SetLastError(0);
        EXPECT_EQ(logOpenNamedStream(name.c_str()), FIO_INVALID_HANDLE) << length;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE)) << length;
        EXPECT_EQ(GetFileAttributesA(longest.c_str()), INVALID_FILE_ATTRIBUTES)
            << "opened as its first 259 characters";
    }
}

TEST(LogStreams, NamesThatCannotBeOpenedFail) {
    TempDir folder;
    EXPECT_EQ(logOpenNamedStream(folder.file("missing\\dir\\x.log").c_str()), FIO_INVALID_HANDLE);
    EXPECT_EQ(logOpenNamedStream(""), FIO_INVALID_HANDLE);
    EXPECT_EQ(logOpenNamedStream(folder.path().c_str()), FIO_INVALID_HANDLE) << "a directory";
}

TEST(LogStreams, ReplacingAStreamReleasesTheOldOneAndClosesItsStreamObject) {
    TempDir folder;
    const std::string first = folder.file("first.log"), second = folder.file("second.log");
    Logger *logger = loggerOn("replace", first, 0);
    LogModule *module = &logger->modules[0];
    FILE *object = logAcquireStreamObject(module);
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(rwLockIsReadLocked(&module->lock));
    fprintf(object, "through the object %d\n", 1);
    logReleaseStreamObject(module, object);
    EXPECT_FALSE(rwLockIsReadLocked(&module->lock));
    EXPECT_EQ(logAcquireStreamObject(module), object) << "made once";
    logReleaseStreamObject(module, object);
    print(logger, 0, LOG_WARN, "through the writer");
    EXPECT_EQ(readTextFile(first), "through the object 1\nthrough the writer\r\n");

    const int closesBefore = testLoggerCloses;
    FioHandle old = module->stream;
    logReplaceModuleStream(module, logOpenNamedStream(second.c_str()));
    EXPECT_EQ(testLoggerCloses, closesBefore + 1);
    EXPECT_EQ(module->streamObject, nullptr);
    EXPECT_EQ(logStreamReferences(old), 0);
    EXPECT_TRUE(deletable(first)) << "the object's duplicate and the stream are both closed";
    print(logger, 0, LOG_WARN, "second");
    EXPECT_EQ(readTextFile(second), "second\r\n");
    logReplaceModuleStream(module, logStandardError());
    EXPECT_TRUE(deletable(second));
}

TEST(LogStreams, ALinkedModuleSharesItsTargetsFile) {
    TempDir folder;
    const std::string path = folder.file("linked.log");
    Logger *target = loggerOn("shared-target", path);
    FioHandle handle = target->modules[0].stream;
    Logger *follower = newLogger({{"shared-target", nullptr, LOG_MODULE_LINKED, LOG_DECO_LEVEL}});
    _log_add_logger(follower);
    EXPECT_EQ(follower->modules[0].stream, handle);
    EXPECT_EQ(logStreamReferences(handle), 2);
    print(target, 0, LOG_INFO, "from the target");
    print(follower, 0, LOG_INFO, "from the follower");
    EXPECT_EQ(readTextFile(path), "[INFO ][shared-] from the target\r\n[INFO ] from the follower\r\n");
    logReplaceModuleStream(&target->modules[0], logStandardError());
    EXPECT_FALSE(deletable(path));
    logReplaceModuleStream(&follower->modules[0], logStandardError());
    EXPECT_TRUE(deletable(path));
}

namespace {

// The same lines, whichever stream they go to.
void writeEveryLevelAndDecoration(Logger *logger) {
    for (int level = LOG_QUIET; level <= LOG_TRACE; ++level)
        print(logger, 0, level, "level %d", level);
    _logforceprintdecorations(logger, 0, LOG_WARN, LOG_DECO_OSTHREADID | LOG_DECO_PID, "ids");
    _logforceprintdecorations(logger, 0, LOG_ERROR, LOG_DECO_MODULE, "line\n");
    _logforceprintdecorations(logger, 0, LOG_ERROR, 0, "%s", "");
    logWriteLine(&logger->modules[0], logger, LOG_DECO_LEVEL, LOG_INFO, "as text: %d %s\r", nullptr);
}

std::string expectedLines(const std::string &module, unsigned long pid, unsigned long tid) {
    const char *names[] = {"QUIET", "ERROR", "WARN ", "INFO ", "DEBUG", "TRACE"};
    std::string text;
    for (int level = 0; level <= 5; ++level)
        text += std::string("[") + names[level] + "][" + module + "] level " + std::to_string(level) + "\r\n";
    char ids[64];
    snprintf(ids, sizeof ids, "[%-5.5i][%-5.5i]", static_cast<int>(tid), static_cast<int>(pid));
    text += std::string(ids) + " ids\r\n";
    text += "[" + module + "] line\n\r\n";
    text += "\r\n";
    text += "[INFO ] as text: %d %s\r\n";
    return text;
}

} // namespace

TEST(LogStreams, WholeLinesInAFile) {
    TempDir folder;
    const std::string path = folder.file("lines.log");
    Logger *logger = loggerOn("infile", path);
    writeEveryLevelAndDecoration(logger);
    EXPECT_EQ(readTextFile(path), expectedLines("infile ", GetCurrentProcessId(), GetCurrentThreadId()));
    logReplaceModuleStream(&logger->modules[0], logStandardError());
}

CHILD_SCENARIO(log_lines_to_stdout) {
    printf("%lu %lu\n", GetCurrentProcessId(), GetCurrentThreadId());
    fflush(stdout);
    writeEveryLevelAndDecoration(loggerOn("tostdout", "stdout"));
    writeEveryLevelAndDecoration(loggerOn("toerr", "/dev/stderr"));
    return 0;
}

TEST(LogStreams, WholeLinesOnStandardOutputAndError) {
    ChildResult result = runScenario("log_lines_to_stdout");
    ASSERT_EQ(result.exitCode, 0u);
    unsigned long pid = 0, tid = 0;
    std::istringstream(result.out) >> pid >> tid;
    const size_t firstLine = result.out.find('\n') + 1;
    EXPECT_EQ(result.out.substr(firstLine), expectedLines("tostdou", pid, tid));
    EXPECT_EQ(result.err, expectedLines("toerr  ", pid, tid));
}

TEST(LogStreams, ManyThreadsThroughTwoModulesIntoOneFile) {
    TempDir folder;
    const std::string path = folder.file("threads.log");
    Logger *one = loggerOn("one", path, LOG_DECO_MODULE);
    Logger *two = loggerOn("two", path, LOG_DECO_MODULE);
    ASSERT_EQ(one->modules[0].stream, two->modules[0].stream);
    constexpr int threads = 8, lines = 300;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([=] {
            Logger *logger = t % 2 ? one : two;
            for (int i = 0; i < lines; ++i)
                print(logger, 0, LOG_INFO, "t%d n%04d %s", t, i, std::string(200 + t * 40, 'a' + t).c_str());
        });
    for (std::thread &worker : workers)
        worker.join();

    const std::string text = readTextFile(path);
    std::map<int, int> next;
    size_t start = 0, count = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = text.substr(start, end - start);
        int t = -1, n = -1;
        ASSERT_EQ(sscanf(line.c_str() + 10, "t%d n%d", &t, &n), 2) << line;
        ASSERT_TRUE(t >= 0 && t < threads) << line;
        char head[32];
        snprintf(head, sizeof head, "[%-7.7s] t%d n%04d ", t % 2 ? "one" : "two", t, n);
        EXPECT_EQ(line, head + std::string(200 + t * 40, 'a' + t));
        EXPECT_EQ(n, next[t]++);
        ++count;
        start = end + 2;
    }
    EXPECT_EQ(count, static_cast<size_t>(threads * lines));
    logReplaceModuleStream(&one->modules[0], logStandardError());
    logReplaceModuleStream(&two->modules[0], logStandardError());
}
