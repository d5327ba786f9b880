// Problems found by the checks, the log of what the played Java classes were asked to do, and the
// chunk files the recorder finished. All are process-wide so that they outlive the VM.
#include <cstdio>
#include <cstring>

#include "vm.h"

namespace vm {
namespace {

struct Journal {
    std::mutex lock;
    std::vector<std::string> lines;
};

Journal &problems() {
    static Journal journal;
    return journal;
}

Journal &calls() {
    static Journal journal;
    return journal;
}

Journal &chunks() {
    static Journal journal;
    return journal;
}

// The lines are taken (and forgotten) only when they fit with a terminator; the answer is their
// length either way.
jint take(Journal &journal, char *text, jint size) {
    std::lock_guard guard(journal.lock);
    std::string all;
    for (const std::string &line : journal.lines)
        all += line + "\n";
    if (text != nullptr && size > 0 && all.size() < static_cast<size_t>(size)) {
        memcpy(text, all.c_str(), all.size() + 1);
        journal.lines.clear();
    }
    return static_cast<jint>(all.size());
}

} // namespace

void report(const std::string &problem) {
    fprintf(stderr, "vmhost: %s\n", problem.c_str());
    fflush(stderr);
    std::lock_guard guard(problems().lock);
    problems().lines.push_back(problem);
}

void callLog(const std::string &line) {
    std::lock_guard guard(calls().lock);
    calls().lines.push_back(line);
}

void chunkFinished(const std::string &path) {
    std::lock_guard guard(chunks().lock);
    chunks().lines.push_back(path);
}

} // namespace vm

extern "C" jint vmhostProblemCount(void) noexcept {
    std::lock_guard guard(vm::problems().lock);
    return static_cast<jint>(vm::problems().lines.size());
}

extern "C" jint vmhostTakeProblems(char *text, jint size) noexcept { return vm::take(vm::problems(), text, size); }

extern "C" jint vmhostTakeCallLog(char *text, jint size) noexcept { return vm::take(vm::calls(), text, size); }

extern "C" jint vmhostTakeFinishedChunks(char *text, jint size) noexcept { return vm::take(vm::chunks(), text, size); }
