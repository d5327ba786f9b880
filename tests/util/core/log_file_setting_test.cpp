// The log-file setting: files shared between modules by name and by '>', the reference counts
// that keep a file open, standard streams, linked modules, deprecated names and every error text.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>

#include <atomic>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "log_internal.h"
#include "sarnik/log_api.h"
#include "sarnik/log_settings.h"
#include "test_logger.h"
#include "test_paths.h"

using namespace sarnik;

namespace {

const LogDeprecatedName renamed[] = {{"oldfa", "fa", 0, LOG_INFO, 1}};

Logger *files = nullptr;
Logger *base = nullptr;
std::string folderPath;

void print(Logger *logger, int module, const char *format, ...) {
    va_list args;
    va_start(args, format);
    _logforceprintv(logger, module, LOG_WARN, format, args);
    va_end(args);
}

void warnToOut(const char *text) { printf("warn: %s\n", text); }

std::string withoutFolder(std::string text) {
    for (size_t at; (at = text.find(folderPath)) != std::string::npos;)
        text.replace(at, folderPath.size(), "<dir>");
    return text;
}

// Each module's stream: out, err, or a file lettered by the order in which it shows up in the
// line, with the references the open-stream list holds on it.
std::string streams() {
    std::map<FioHandle, char> letters;
    std::string text;
    auto describe = [&](const LogModule &m) {
        if (m.stream == reinterpret_cast<FioHandle>(GetStdHandle(STD_OUTPUT_HANDLE)))
            return std::string("out");
        if (m.stream == reinterpret_cast<FioHandle>(GetStdHandle(STD_ERROR_HANDLE)))
            return std::string("err");
        auto found = letters.find(m.stream);
        if (found == letters.end())
            found = letters.emplace(m.stream, static_cast<char>('A' + letters.size())).first;
        return std::string(1, found->second) + std::to_string(logStreamReferences(m.stream));
    };
    for (int i = 0; i < files->moduleCount; ++i)
        text += " " + describe(files->modules[i]);
    return text + " " + describe(base->modules[0]);
}

void apply(const std::string &setting) {
    char message[300] = "";
    int result = logParseLogFilesEx(setting.c_str(), message, sizeof message, warnToOut);
    printf("%s: %d '%s'%s\n", withoutFolder(setting).c_str(), result, withoutFolder(message).c_str(),
           streams().c_str());
    fflush(stdout);
}

// Lines of a file, each ending in '|'.
std::string lines(const std::string &path) {
    std::string text = readTextFile(path);
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
        text.replace(at, 2, "|");
    return text;
}

std::string deleted(const std::string &path) { return DeleteFileA(path.c_str()) ? "deleted" : "still open"; }

} // namespace

CHILD_SCENARIO(log_file_setting) {
    TempDir folder;
    folderPath = folder.path();
    const std::string a = folder.file("a.log"), b = folder.file("b.log");
    base = newLogger({{"chain"}});
    _log_add_logger(base);
    files = newLogger({{"fa"}, {"fb"}, {"fc"}, {"chain", nullptr, LOG_MODULE_LINKED}});
    files->deprecated = renamed;
    files->deprecatedCount = 1;
    _log_add_logger(files);

    apply("fa=" + a);
    print(files, 0, "one");
    apply("fb=>fa");
    print(files, 1, "two");
    apply("fc=>oldfa");
    apply("fa=stderr");
    apply("fb=stdout");
    print(files, 1, "to stdout");
    apply("fc=/dev/stderr");
    printf("a.log: %s\n", lines(a).c_str());
    printf("%s\n", deleted(a).c_str());

    // A linked module takes its target along.
    apply("chain=" + b);
    print(base, 0, "through the target");
    apply("fa=" + folderPath + "\\.\\b.log");
    apply("fa=");
    apply("fa=>nosuch");
    apply("fa=" + folder.file("missing\\x.log"));
    apply("nosuch=stdout");
    apply("stdout=" + a);
    printf("%s\n", deleted(b).c_str());
    apply("stderr");
    printf("b.log: %s\n", lines(b).c_str());
    printf("%s\n", deleted(b).c_str());
    apply("fa=" + a + ",fb=>fa,fc=>nosuch,fa=stdout");
    apply("fa=stderr,fb=stderr");
    printf("%s\n", deleted(a).c_str());
    return 0;
}

TEST(LogFileSetting, FilesSharedByNameAndRedirectUntilTheLastModuleLeaves) {
    ChildResult result = runScenario("log_file_setting");
    ASSERT_EQ(result.exitCode, 0u) << result.err;
    EXPECT_EQ(result.out, "fa=<dir>\\a.log: 0 '' A1 err err err err\r\n"
                          "fb=>fa: 0 '' A2 A2 err err err\r\n"
                          "warn: Logging module oldfa is deprecated. Please use fa=INFO instead.\r\n"
                          "fc=>oldfa: 0 'Logging module oldfa is deprecated. Please use fa=INFO instead.' "
                          "A3 A3 A3 err err\r\n"
                          "fa=stderr: 0 '' err A2 A2 err err\r\n"
                          "fb=stdout: 0 '' err out A1 err err\r\n"
                          "[WARN ][fb     ] to stdout\r\n"
                          "fc=/dev/stderr: 0 '' err out err err err\r\n"
                          "a.log: [WARN ][fa     ] one|[WARN ][fb     ] two|\r\n"
                          "deleted\r\n"
                          "chain=<dir>\\b.log: 0 '' err out err A2 A2\r\n"
                          "fa=<dir>\\.\\b.log: 0 '' A3 out err A3 A3\r\n"
                          "fa=: -1 'Could not open stream ''' A3 out err A3 A3\r\n"
                          "fa=>nosuch: -1 'No such log module 'nosuch'.' A3 out err A3 A3\r\n"
                          "fa=<dir>\\missing\\x.log: -1 'Could not open stream '<dir>\\missing\\x.log'' "
                          "A3 out err A3 A3\r\n"
                          "nosuch=stdout: -1 'No such logging module \"nosuch\"' A3 out err A3 A3\r\n"
                          // "stdout" names no module; with a value the item is refused.
                          "stdout=<dir>\\a.log: -1 'No such logging module \"stdout\"' A3 out err A3 A3\r\n"
                          "still open\r\n"
                          "stderr: 0 'No such logging module \"stderr\"' err err err err err\r\n"
                          "b.log: [WARN ][chain  ] through the target|\r\n"
                          "deleted\r\n"
                          "fa=<dir>\\a.log,fb=>fa,fc=>nosuch,fa=stdout: -1 'No such log module 'nosuch'.' "
                          "A2 A2 err err err\r\n"
                          "fa=stderr,fb=stderr: 0 '' err err err err err\r\n"
                          "deleted\r\n");
}

TEST(LogFileSetting, StreamsChangeWhileOtherThreadsPrintWholeLines) {
    TempDir folder;
    const std::string one = folder.file("one.log"), two = folder.file("two.log");
    Logger *logger = newLogger({{"busy"}});
    _log_add_logger(logger);
    ASSERT_EQ(logParseLogFilesEx(("busy=" + one).c_str(), nullptr, 0, nullptr), 0);
    std::atomic<int> running{3};
    std::vector<std::thread> printers;
    for (int t = 0; t < 3; ++t)
        printers.emplace_back([&, t] {
            // A pause between lines lets the setting's writer in: the module lock favours readers.
            for (int line = 0; line < 300; ++line) {
                print(logger, 0, "thread %d says something", t);
                SwitchToThread();
            }
            --running;
        });
    // Both files are opened at least once, however soon the printers are done.
    for (int i = 0; i < 100 && (i < 2 || running.load() > 0); ++i)
        EXPECT_EQ(logParseLogFilesEx(("busy=" + (i % 2 != 0 ? one : two)).c_str(), nullptr, 0, nullptr), 0);
    for (std::thread &printer : printers)
        printer.join();
    EXPECT_EQ(logParseLogFilesEx("busy=stderr", nullptr, 0, nullptr), 0);
    for (const std::string &path : {one, two}) {
        std::istringstream lines(readTextFile(path));
        for (std::string line; std::getline(lines, line);)
            EXPECT_TRUE(line.size() == 41 && line.compare(0, 24, "[WARN ][busy   ] thread ") == 0 &&
                        line.compare(25, 16, " says something\r") == 0)
                << path << ": " << line;
        EXPECT_TRUE(DeleteFileA(path.c_str())) << path << " is still open";
    }
}
