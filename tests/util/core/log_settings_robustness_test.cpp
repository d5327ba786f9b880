// Generated and mutated setting strings through every setting parser: each call ends with 0 or
// -1 and a reason inside the buffer, levels and masks stay within their tables, every file's
// reference count equals the modules writing to it, and a string of one failing item changes
// nothing.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "child_process.h"
#include "log_internal.h"
#include "sarnik/arguments.h"
#include "sarnik/log_api.h"
#include "sarnik/log_settings.h"
#include "test_logger.h"
#include "test_paths.h"

using namespace sarnik;

namespace {

char *slot(char *position, int *room) { return log_sprintf(position, room, "[s]"); }

const LogDeprecatedName renames[] = {
    {"oldma", "ma", 0, LOG_INFO, 1}, {"oldmb", "mb", 0, 99, 0}, {"gone", nullptr, 0, 0, 0},
    {"ping", "pong", 0, -5, 1},       {"pong", "ping", 0, 1, 1},
};

const char *const pieces[] = {
    "ma",    "mb",        "mx",     "mc",        "md",    "oldma",  "oldmb", "gone",   "ping",  "pong",
    "util",  "nosuch",    "info",   "DEBUG",     "Trace", "quiet",  "warn",  "error",  "none",  "minimal",
    "check", "level",     "PID",    "timestamp", "nanos", "millis", "osthreadid", "module", "s1", "S2",
    "stdout", "stderr",   "/dev/stdout", "/dev/stderr", "f1.log", "F1.LOG", ".\\f1.log", "f2.log", "sub\\f.log",
    ">ma",   ">mx",       ">oldma", ">nosuch",   ">",     "",       "=",     ",",      "\"",    "'",
    "\\",    "a\"b,c\"",  "x='y,z'", "<>|",   "\xff\xfe", "%s%n", "nul",
};

std::string generated(std::mt19937 &random) {
    const size_t count = sizeof pieces / sizeof pieces[0];
    std::string text;
    const int items = static_cast<int>(random() % 4);
    for (int i = 0; i <= items; ++i) {
        if (i > 0)
            text += ',';
        text += pieces[random() % count];
        if (random() % 3 != 0)
            text += "=" + std::string(pieces[random() % count]);
    }
    // Mutations: bytes replaced, dropped or put in.
    for (int m = static_cast<int>(random() % 4); m > 0 && !text.empty(); --m) {
        const size_t at = random() % text.size();
        switch (random() % 3) {
        case 0: text[at] = static_cast<char>(1 + random() % 255); break;
        case 1: text.erase(at, 1); break;
        default: text.insert(at, 1, ",='\"\\>"[random() % 6]); break;
        }
    }
    return text;
}

struct ModuleState {
    int level;
    int sanity;
    int decorations;
    FioHandle stream;
    bool operator==(const ModuleState &) const = default;
};

std::vector<Logger *> loggers;

std::vector<ModuleState> snapshot() {
    std::vector<ModuleState> state;
    for (Logger *l : loggers)
        for (int i = 0; i < l->moduleCount; ++i)
            state.push_back({*l->modules[i].level, *l->modules[i].sanity, l->modules[i].decorations,
                             l->modules[i].stream});
    return state;
}

// What every setting must leave: names within their tables, bits that name a decoration, and
// one reference on a file for each module that writes to it.
std::string broken(const std::vector<ModuleState> &state) {
    const FioHandle out = logStandardOutput(), err = logStandardError();
    std::map<FioHandle, int> users;
    for (const ModuleState &m : state) {
        if (m.level < 0 || m.level > LOG_TRACE)
            return "level " + std::to_string(m.level);
        if (m.sanity < 0 || m.sanity > LOG_SANITY_TRACE)
            return "sanity " + std::to_string(m.sanity);
        if ((m.decorations & ~0x7f & ~(1 << 7) & ~(1 << 9)) != 0)
            return "decorations " + std::to_string(m.decorations);
        if (m.stream != out && m.stream != err)
            ++users[m.stream];
    }
    for (auto [handle, count] : users)
        if (logStreamReferences(handle) != count)
            return "references " + std::to_string(logStreamReferences(handle)) + " for " + std::to_string(count) +
                   " modules";
    return "";
}

int items(const std::string &text) {
    ArgIter iter;
    argIterInitDefault(&iter, text.c_str());
    int count = 0;
    for (; !argIterDone(&iter); ++count)
        argIterNext(&iter);
    return count;
}

int warnings = 0;
void countWarning(const char *text) { warnings += text != nullptr && text[0] != '\0'; }

} // namespace

CHILD_SCENARIO(log_settings_robustness) {
    TempDir folder;
    if (!SetCurrentDirectoryA(folder.path().c_str()))
        return 2;
    Logger *first = newLogger({{"ma"}, {"mb", "mx", LOG_MODULE_EMPTY_MEANS_INFO}, {"mc"}});
    first->deprecated = renames;
    first->deprecatedCount = sizeof renames / sizeof renames[0];
    first->custom[0] = {"s1", slot};
    first->custom[1] = {"s3", nullptr};
    _log_add_logger(first);
    Logger *second = newLogger({{"mc", nullptr, LOG_MODULE_LINKED}, {"md"}});
    second->custom[2] = {"S2", slot};
    _log_add_logger(second);
    loggers = {first, second};

    using Parser = int (*)(const char *, char *, size_t, LogSettingWarn);
    const Parser parsers[] = {logParseMsgLevelsEx, logParseSanityLevelsEx, logParseLogFilesEx};
    std::mt19937 random(5150);
    int failures = 0;
    for (int round = 0; round < 1500; ++round) {
        const std::string text = generated(random);
        const size_t sizes[] = {0, 1, 9, 200};
        const size_t size = sizes[random() % 4];
        for (int which = 0; which < 3; ++which) {
            const Parser parse = parsers[which];
            std::string buffer(size + 8, '#');
            const std::vector<ModuleState> before = snapshot();
            const int result = parse(text.c_str(), size != 0 ? buffer.data() : nullptr, size, countWarning);
            const std::vector<ModuleState> after = snapshot();
            std::string fault = broken(after);
            if (result != 0 && result != -1)
                fault = "result " + std::to_string(result);
            else if (buffer.compare(size, 8, "########") != 0)
                fault = "written past the buffer";
            // A call that succeeds need not write the buffer; one that writes ends what it wrote.
            else if (size != 0 && (result == -1 || buffer[0] != '#') && buffer.find('\0') >= size)
                fault = "message not terminated";
            else if (result == -1 && size > 1 && (buffer[0] == '\0' || buffer[0] == '#'))
                fault = "failure without a reason";
            else if (result == -1 && items(text) == 1 && after != before)
                fault = "a failing item changed the loggers";
            if (!fault.empty()) {
                printf("%s after '%s' (parser %d)\n", fault.c_str(), text.c_str(), which);
                if (++failures > 10)
                    return 1;
            }
        }
        const int decorated = logApplyDecorations(random() % 2 ? first : nullptr, text.c_str());
        std::string fault = broken(snapshot());
        if ((decorated != 0 && decorated != -1) || !fault.empty()) {
            printf("decorations %d %s after '%s'\n", decorated, fault.c_str(), text.c_str());
            ++failures;
        }
    }
    // Everything back to standard error: every file closes.
    logParseLogFilesEx("stderr", nullptr, 0, nullptr);
    std::string fault = broken(snapshot());
    printf("%s%d\n", fault.c_str(), warnings > 0 ? 1 : 0);
    return failures;
}

TEST(LogSettingsRobustness, GeneratedAndMutatedSettingsKeepEveryLoggerWhole) {
    ChildResult result = runScenario("log_settings_robustness");
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(result.out, "1\r\n");
}
