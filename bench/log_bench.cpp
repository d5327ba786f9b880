// Log lines per second into a file through the utility library's writer (level and module
// decorations, one write a line) against plain fprintf of the same text, and against fprintf
// that flushes every line as the writer does, in one run.
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>

#include <algorithm>
#include <string>

#include "osal/fio.h"
#include "sarnik/log_api.h"

#include "bench_timer.h"

namespace {

constexpr int linesPerPass = 10000;
constexpr int rounds = 5;
const char *const text = "buffer thread wrote a chunk of";

int level = LOG_INFO, sanity = 0;
LOGGER_WITH_MODULES(1) benchLogger = {
    nullptr, 1, 0, 0, nullptr, LOG_WARN, LOG_SANITY_NONE, nullptr, {},
    {{-1, nullptr, "bench", nullptr, 0, &level, &sanity, nullptr, nullptr, 0, LOG_DECO_DEFAULT}}};

Logger *logger() { return reinterpret_cast<Logger *>(&benchLogger); }

void logLine(const char *format, ...) {
    va_list args;
    va_start(args, format);
    _logforceprintv(logger(), 0, LOG_INFO, format, args);
    va_end(args);
}

bool throughWriter(const std::string &path) {
    FioHandle file = fio_open(path.c_str(), FIO_WRITE_ONLY | FIO_CREATE_ALWAYS);
    if (file == FIO_INVALID_HANDLE)
        return false;
    // The module's record is this program's own; log settings would put the file there the same way.
    benchLogger.modules[0].stream = file;
    for (int i = 0; i < linesPerPass; ++i)
        logLine("%s %d bytes (%I64d total)", text, i, static_cast<int64_t>(i) * 4096);
    benchLogger.modules[0].stream = reinterpret_cast<intptr_t>(GetStdHandle(STD_ERROR_HANDLE));
    return fio_close(file) && fio_fsize(path.c_str()) > 0;
}

bool throughFprintf(const std::string &path, bool flushEachLine) {
    FILE *file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    for (int i = 0; i < linesPerPass; ++i) {
        fprintf(file, "[INFO ][bench  ] %s %d bytes (%lld total)\r\n", text, i, static_cast<long long>(i) * 4096);
        if (flushEachLine)
            fflush(file);
    }
    return fclose(file) == 0;
}

double linesPerSecond(double secondsTaken) { return linesPerPass / secondsTaken; }

} // namespace

int main() {
    _log_add_logger(logger());
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string base = std::string(folder) + "log-bench-" + std::to_string(GetCurrentProcessId());
    const std::string ours = base + "-log.txt", plain = base + "-fprintf.txt", flushed = base + "-flushed.txt";
    double writer = 1e30, fprintfOnly = 1e30, fprintfFlushed = 1e30;
    // Alternating which side goes first spreads the machine's drift over all three.
    for (int round = 0; round < rounds; ++round) {
        auto a = [&] { writer = std::min(writer, timedStep([&] { return throughWriter(ours); })); };
        auto b = [&] { fprintfOnly = std::min(fprintfOnly, timedStep([&] { return throughFprintf(plain, false); })); };
        auto c = [&] { fprintfFlushed = std::min(fprintfFlushed, timedStep([&] { return throughFprintf(flushed, true); })); };
        if (round % 2 == 0) {
            a(), b(), c();
        } else {
            c(), b(), a();
        }
    }
    const std::string written = std::to_string(fio_fsize(ours.c_str())), expected = std::to_string(fio_fsize(plain.c_str()));
    if (written != expected) {
        fprintf(stderr, "the two files differ in size: %s and %s bytes\n", written.c_str(), expected.c_str());
        return 2;
    }
    printf("log lines to a file, %d lines a pass, best of %d; ratio = writer / fprintf lines per second\n",
           linesPerPass, rounds);
    printf("writer %10.0f lines/s  fprintf          %10.0f lines/s  ratio %.2f\n", linesPerSecond(writer),
           linesPerSecond(fprintfOnly), fprintfOnly / writer);
    printf("writer %10.0f lines/s  fprintf + fflush %10.0f lines/s  ratio %.2f\n", linesPerSecond(writer),
           linesPerSecond(fprintfFlushed), fprintfFlushed / writer);
    DeleteFileA(ours.c_str());
    DeleteFileA(plain.c_str());
    DeleteFileA(flushed.c_str());
    return 0;
}
