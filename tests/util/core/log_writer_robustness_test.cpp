// Random masks, levels, module indexes, custom slots and message lengths through the writer
// into a file: every call ends, every line stays within its bounds.
#include <gtest/gtest.h>

#include <stdarg.h>

#include <random>
#include <string>

#include "log_internal.h"
#include "sarnik/log_api.h"
#include "test_logger.h"
#include "test_paths.h"

using namespace sarnik;

namespace {

char *greedy(char *position, int *room) { return log_sprintf(position, room, "%s", std::string(400, 'g').c_str()); }
// Reports a position far outside what it was given.
char *liar(char *position, int *) { return position + 100000; }
char *small(char *position, int *room) { return log_sprintf(position, room, "{s}"); }

void print(Logger *logger, int module, int level, int mask, const char *format, ...) {
    va_list args;
    va_start(args, format);
    _logforceprintdecorationsv(logger, module, level, mask, format, args);
    va_end(args);
}

} // namespace

TEST(LogWriterRobustness, RandomCallsKeepEveryLineInBounds) {
    TempDir folder;
    const std::string path = folder.file("random.log");
    Logger *logger = newLogger({{"random", "rnd"}, {std::string(40, 'm').c_str()}});
    logger->custom[0] = {"greedy", greedy};
    logger->custom[1] = {"liar", liar};
    logger->custom[2] = {"small", small};
    logger->custom[5] = {"empty", nullptr};
    _log_add_logger(logger);
    FioHandle file = logOpenNamedStream(path.c_str());
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    logReplaceModuleStream(&logger->modules[0], file);
    logRetainStream(file);
    logReplaceModuleStream(&logger->modules[1], file);

    std::mt19937 random(20240611);
    const std::string source(3000, 'x');
    int expectedLines = 0;
    for (int i = 0; i < 3000; ++i) {
        const int mask = static_cast<int>(random());
        const int level = static_cast<int>(random() % 12) - 3;
        const int module = static_cast<int>(random() % 2);
        logger->extraDecorationRoom = static_cast<int>(random() % 3 == 0 ? random() % 9000 : 0) - 100;
        const size_t length = random() % source.size();
        print(logger, module, level, mask, "%.*s", static_cast<int>(length), source.c_str());
        ++expectedLines;
    }
    logReplaceModuleStream(&logger->modules[0], logStandardError());
    logReplaceModuleStream(&logger->modules[1], logStandardError());

    const std::string text = readTextFile(path);
    size_t start = 0;
    int lines = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const size_t message = text.find_first_of('x', start);
        const size_t xs = (message != std::string::npos && message < end) ? end - message : 0;
        EXPECT_LE(xs, 1021u);
        EXPECT_LE(end - start, 99u + 4096u + 1021u);
        ++lines;
        start = end + 2;
    }
    EXPECT_EQ(lines, expectedLines);
}
