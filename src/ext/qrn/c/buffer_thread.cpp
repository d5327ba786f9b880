// The buffer thread: writes full global buffers into the chunk, rotates chunks at the size limit,
// opens and finishes chunks on start, stop, rotate and shutdown requests, and drives the
// periodic events. Requests and their waiters meet under the monitor lock.
#include <string.h>

#include "agent_state.h"
#include "osal/osal_assert.h"
#include "osal/thread.h"
#include "osal/timing.h"

namespace {

constexpr char sourceName[] = "src/ext/qrn/c/vmqrn";

bool chunkFull() { return int64_t(qrnState.chunkBytes) >= qrnState.maxChunkSize; }

// The buffered data into a chunk that just opened.
void fillNewChunk() {
    StreamWriter *s = qrnChunkStream();
    uint64_t bytes = qrnFlushFullGlobalBuffers(s);
    osMutexLock(&qrnState.chunkLock);
    bytes += qrnFlushAllBuffers(qrnChunkStream());
    osMutexUnlock(&qrnState.chunkLock);
    qrnLog(QRN_DEBUG, "Wrote %IuB global buffer data to new chunk", size_t(bytes));
}

void announceNewChunk(JNIEnv *env) {
    qrnState.recorder->newChunk();
    if (qrnState.javaRecorder != nullptr) {
        env->CallVoidMethod(qrnState.javaRecorder, qrnState.onNewChunk);
        if (env->ExceptionCheck()) {
            env->ExceptionDescribe();
            env->ExceptionClear();
        }
    }
}

void rotate(JNIEnv *env, uint32_t flags) {
    if (qrnState.javaRecorder == nullptr) {
        assertReport("global_qrn != NULL", sourceName, 1200, "bufferthread", nullptr);
        return;
    }
    qrnState.bufferThreadBusy = true;
    qrnState.recorder->chunkFinishing(qrnState.recorder);
    bool follows = (flags & QRN_REQUEST_STOP) == 0 || (flags & QRN_REQUEST_START_DISCARD) != 0;
    // The repository lock may keep us waiting: without the chunk lock, so that the VM's threads
    // go on writing into this chunk meanwhile.
    bool repositoryLocked = follows && qrnLockRepository();
    osMutexLock(&qrnState.chunkLock);
    qrnState.chunkFollows = follows;
    if ((flags & QRN_REQUEST_SHUTDOWN) != 0) {
        // No chunk follows the last one: what is still buffered goes into it.
        uint64_t bytes = qrnFlushFullGlobalBuffers(qrnChunkStream());
        bytes += qrnFlushAllBuffers(qrnChunkStream());
        qrnLog(QRN_DEBUG, "Wrote %IuB buffer data to the last chunk", size_t(bytes));
    }
    // One reading ends this chunk and starts the next.
    int64_t nowMillis = timingGetCurrentTimeMillis();
    int64_t nowTicks = timingGetCounterTime();
    int64_t startMillis = qrnState.chunkStartMillis;
    char path[QRN_PATH_SIZE];
    int error = 0;
    bool written = qrnFinishChunkLocked(nowMillis, path, &error);
    if (written) {
        qrnStatAdd64(&qrnStatistics.finishedChunkBytes, qrnState.chunkBytes);
        qrnStatAdd32(&qrnStatistics.chunksFinished, 1);
    } else {
        // What the removed chunk held reached no file: lost, and no longer written.
        qrnStatAdd64(&qrnStatistics.lostBytes, qrnState.chunkBytes);
        qrnStatAdd64(&qrnStatistics.writtenBytes, 0 - qrnState.chunkBytes);
        __atomic_store_n(&qrnState.lostChunkError, error, __ATOMIC_RELEASE);
    }
    qrnState.chunkBytes = 0;
    qrnState.chunkStartMillis = nowMillis;
    qrnState.chunkStartTicks = nowTicks;
    bool opened = repositoryLocked && qrnNewChunk(true);
    qrnState.chunkFollows = false;
    osMutexUnlock(&qrnState.chunkLock);
    if (repositoryLocked)
        qrnUnlockRepository();
    if (opened) {
        fillNewChunk();
        qrnState.recorder->newChunk();
    }
    if (written) {
        jstring name = qrnNewPathString(env, path);
        if (name != nullptr)
            env->CallVoidMethod(qrnState.javaRecorder, qrnState.finishChunk, name, jlong(startMillis),
                                jlong(nowMillis), jboolean(opened));
        if (env->ExceptionCheck() || name == nullptr) {
            qrnLog(QRN_ERROR, "Could not finalize chunk %s", path);
            env->ExceptionDescribe();
            env->ExceptionClear();
        }
        if (name != nullptr)
            env->DeleteLocalRef(name);
    }
    if (opened && qrnState.javaRecorder != nullptr) {
        env->CallVoidMethod(qrnState.javaRecorder, qrnState.onNewChunk);
        if (env->ExceptionCheck()) {
            env->ExceptionDescribe();
            env->ExceptionClear();
        }
    }
}

void openChunk(JNIEnv *env, uint32_t flags) {
    qrnState.bufferThreadBusy = true;
    bool keep = (flags & QRN_REQUEST_START_KEEP) != 0;
    if (!keep) {
        uint64_t bytes = qrnFlushFullGlobalBuffers(nullptr);
        osMutexLock(&qrnState.chunkLock);
        bytes += qrnFlushAllBuffers(nullptr);
        qrnState.chunkStartMillis = timingGetCurrentTimeMillis();
        qrnState.chunkStartTicks = timingGetCounterTime();
        osMutexUnlock(&qrnState.chunkLock);
        qrnLog(QRN_DEBUG, "Discarded %IuB global buffer data", size_t(bytes));
    }
    if (!qrnNewChunk())
        return;
    if (keep)
        fillNewChunk();
    announceNewChunk(env);
}

void pass(JNIEnv *env, uint32_t flags, int64_t *timeout, int64_t *previousCheck) {
    if (chunkFull())
        flags |= QRN_REQUEST_ROTATE;
    if ((flags & QRN_REQUEST_FLUSH_FULL) != 0 || ((flags & 0x0F) != 0 && qrnState.chunkOpen)) {
        uint64_t bytes = qrnFlushFullGlobalBuffers(qrnChunkStream());
        qrnLog(QRN_DEBUG, "Wrote %IuB full global buffer data to chunk", size_t(bytes));
    }
    if (chunkFull())
        flags |= QRN_REQUEST_ROTATE;
    // Without the monitor: the VM may stop the world inside a requested event, and its own
    // threads then ask us to write the buffers they fill.
    qrnState.bufferThreadBusy = true;
    *timeout = qrnCheckPeriodic(previousCheck);
    qrnState.bufferThreadBusy = false;
    if ((flags & QRN_REQUEST_SHUTDOWN) != 0) {
        qrnLog(QRN_INFO, "Shutdown requested");
        flags = QRN_REQUEST_SHUTDOWN | QRN_REQUEST_STOP;
    }
    if ((flags & 0x0F) != 0 && qrnState.chunkOpen)
        rotate(env, flags);
    if ((flags & (QRN_REQUEST_START_KEEP | QRN_REQUEST_START_DISCARD)) != 0 && !qrnState.chunkOpen)
        openChunk(env, flags);
    qrnState.bufferThreadBusy = false;
}

} // namespace

bool qrnOnBufferThread(void) {
    return qrnState.bufferThreadStarted && qrnState.bufferThreadId == threadGetCurrentID();
}

bool qrnRequestBufferThread(uint32_t bits, bool wait) {
    if (!qrnState.bufferMonitorReady)
        return false;
    OsMonitor *monitor = &qrnState.bufferMonitor;
    osMonitorEnter(monitor);
    uint32_t started = qrnState.startedPasses;
    qrnState.bufferRequests |= bits;
    osMonitorNotifyAll(monitor);
    bool served = qrnState.bufferThreadStarted && !qrnState.bufferThreadTerminated;
    if (wait && served && !qrnOnBufferThread()) {
        while (int32_t(qrnState.completedPasses - (started + 1)) < 0 && !qrnState.bufferThreadTerminated)
            osMonitorTimedWait(monitor, 0);
    }
    osMonitorExit(monitor);
    return served;
}

void JNICALL qrnBufferThread(jvmtiEnv *jvmti, JNIEnv *jni, void *) {
    qrnState.bufferThreadJni = jni;
    qrnState.bufferThreadId = threadGetCurrentID();
    // Its own environment, which it needs no more; the agent's keeps the VM-death event.
    if (jvmti != qrnState.jvmti)
        jvmti->DisposeEnvironment();
    if (qrnState.defaultRecordingWanted)
        qrnEnsureJavaRecorder(jni);
    qrnLog(QRN_INFO, "Bufferthread started (%u)", qrnState.bufferThreadId);
    int64_t previousCheck = 0;
    int64_t timeout = qrnCheckPeriodic(&previousCheck);
    OsMonitor *monitor = &qrnState.bufferMonitor;
    osMonitorEnter(monitor);
    while (!qrnState.bufferThreadTerminated) {
        if (qrnState.bufferRequests == 0)
            osMonitorTimedWait(monitor, uint64_t(timeout));
        uint32_t flags = qrnState.bufferRequests;
        qrnState.bufferRequests = 0;
        qrnState.startedPasses += 1;
        osMonitorExit(monitor);
        pass(jni, flags, &timeout, &previousCheck);
        osMonitorEnter(monitor);
        qrnState.completedPasses += 1;
        if ((flags & QRN_REQUEST_SHUTDOWN) != 0)
            qrnState.bufferThreadTerminated = true;
        osMonitorNotifyAll(monitor);
    }
    osMonitorExit(monitor);
    qrnLog(QRN_INFO, "Bufferthread terminating");
}
