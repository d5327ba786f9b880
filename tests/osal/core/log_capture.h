// Collects what the OS layer logs, with the module levels raised for the time of a test.
#ifndef TEST_LOG_CAPTURE_H
#define TEST_LOG_CAPTURE_H

#include <cstdio>
#include <string>
#include <vector>

#include "osal_log.h"

struct LoggedLine {
    int module;
    int level;
    std::string text;
};

class LogCapture {
public:
    explicit LogCapture(int level) : savedSink_(osalLogSink) {
        current() = this;
        for (int module = 0; module < 4; ++module) {
            savedLevels_[module] = osalLogLevel(module);
            osalSetLogLevel(module, level);
        }
        osalLogSink = collect;
    }
    ~LogCapture() {
        osalLogSink = savedSink_;
        for (int module = 0; module < 4; ++module)
            osalSetLogLevel(module, savedLevels_[module]);
        current() = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    const std::vector<LoggedLine> &lines() const { return lines_; }
    std::vector<std::string> texts(int module) const {
        std::vector<std::string> found;
        for (const LoggedLine &line : lines_)
            if (line.module == module)
                found.push_back(line.text);
        return found;
    }

private:
    static LogCapture *&current() {
        static LogCapture *capture = nullptr;
        return capture;
    }
    static void collect(Logger *, int module, int level, const char *format, va_list args) {
        char text[4096];
        vsnprintf(text, sizeof text, format, args);
        if (current() != nullptr)
            current()->lines_.push_back({module, level, text});
    }

    OsalLogSink savedSink_;
    int savedLevels_[4];
    std::vector<LoggedLine> lines_;
};

#endif
