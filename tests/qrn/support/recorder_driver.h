// Drives the agent in the VM stand-in as the Java recorder does: makes the recorder object and
// calls its natives, and reads back what the VM's Java side was told.
#ifndef TESTS_QRN_RECORDER_DRIVER_H
#define TESTS_QRN_RECORDER_DRIVER_H

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "vm_session.h"

// The statistics block the init native hands to Java.
struct RecorderStatistics {
    uint64_t finishedChunkBytes, lostBytes, writtenBytes, threadBufferAllocated, threadBufferReleased;
    uint32_t chunksFinished, flushes, directWrites, reserved1, bufferWrites, reserved2;
};

// The exception pending on env, cleared: "class: message" (or only the message), "" when none.
std::string takeException(JNIEnv *env, bool withClass = true);

// Takes the repository's lock as a recorder does; INVALID_HANDLE_VALUE when another holds it.
HANDLE holdRepositoryLock(const std::string &repository);

// What a scenario printed after "key " at the start of its lines, each line's in order; and the
// first of them, or "(missing key)".
std::vector<std::string> linesOf(const std::string &out, const std::string &key);
std::string lineValue(const std::string &out, const std::string &key);

// Polls until done says so; the bound of about two minutes only ends a hang. Returns done's last word.
bool eventually(const std::function<bool()> &done, int stepMillis = 10);

class RecorderDriver {
public:
    // Loads the agent with the options and makes the recorder (QRN.get). Log lines carry the level
    // and the module.
    explicit RecorderDriver(const std::string &agentOptions, const std::vector<std::string> &vmOptions = {});
    bool ok() const { return recorder_ != nullptr; }
    JNIEnv *env() const { return session_.env(); }
    VmSession &session() { return session_; }
    jobject recorder() const { return recorder_; }

    // Each returns the pending exception's "class: message", or "" when none was thrown.
    std::string start(bool keep);
    std::string stop();
    std::string rotate();
    std::string call(const char *name, const char *signature, ...);
    jboolean callBoolean(const char *name, const char *signature, ...);
    std::string setRepositoryPath(const std::string &modifiedUtf8);
    std::string setRepositoryPathWide(const std::wstring &path);
    std::string enable(jint eventId);
    // The exception pending now, cleared; "" when none.
    std::string takeException() { return ::takeException(env()); }
    // Calls the init native (locale en_US); the block it returns stays live with the recorder.
    const RecorderStatistics *statistics();

    // Counter frequency the agent's process uses.
    static int64_t hostFrequency();
    // Finished chunks in the order finishChunk got them (after the VM renamed them), and the new-chunk
    // flag of each, from the call log taken so far.
    std::vector<std::string> finishedChunks(std::vector<bool> *newChunk = nullptr);
    // The call log taken since the last call (accumulated for finishedChunks).
    std::string takeLog();

private:
    VmSession session_;
    jclass class_ = nullptr;
    jobject recorder_ = nullptr;
    std::string log_;
};

#endif
