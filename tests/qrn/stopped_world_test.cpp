// A world stopped for a collection while the buffer thread asks the VM for a periodic event. The
// VM's own threads write events meanwhile, and a thread inside a checkpoint holds the chunk lock:
// neither may wait for a lock the buffer thread holds across its call into the VM.
#include <windows.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "child_process.h"
#include "recorder_driver.h"
#include "test_paths.h"

namespace {

constexpr jint gcEvent = 10;
constexpr jint threadCountEvent = 12; // requestable; the VM writes 24 bytes for each request
// Nearly a whole thread buffer of 2048 bytes. Four of them fill a global buffer of 8192 to 8160:
// the next one no longer fits, and its flush fills that buffer.
constexpr uint32_t recordSize = 2040;
const char smallBuffers[] = "threadbuffersize=2048,globalbuffersize=8192,numglobalbuffers=3";
constexpr DWORD hangBoundMillis = 20000;

void putBigEndian(unsigned char *at, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        at[i] = static_cast<unsigned char>(value);
        value >>= 8;
    }
}

// One event record into the calling thread's buffer, as the VM writes it.
QrnThreadBufferView *writeRecord(const QrnAgent *agent) {
    QrnThreadBufferView *b = agent->getThreadBuffer();
    if (b == nullptr || uint32_t(b->end - b->pos) < recordSize)
        return nullptr;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    memset(b->pos, 0, recordSize);
    putBigEndian(b->pos, recordSize, 4);
    putBigEndian(b->pos + 4, uint32_t(gcEvent), 4);
    putBigEndian(b->pos + 8, uint64_t(now.QuadPart), 8);
    b->pos += recordSize;
    return b;
}

void flushRecords(const QrnAgent *agent, int count) {
    for (int i = 0; i < count; ++i) {
        writeRecord(agent);
        agent->flushThreadBuffer();
    }
}

struct Shared {
    const QrnAgent *agent = nullptr;
    jrawMonitorID monitor = nullptr;
    int stops = 0;    // collections that reached their start
    int released = 0; // collections allowed to go on
};
Shared shared;

// The test's own tool environment: the start of each collection, on the VM's collecting thread.
class CollectorHook {
public:
    CollectorHook(JavaVM *vm, jvmtiEventGarbageCollectionStart callback) {
        if (vm->GetEnv(reinterpret_cast<void **>(&jvmti_), JVMTI_VERSION_1_0) != JNI_OK) {
            jvmti_ = nullptr;
            return;
        }
        jvmtiCapabilities capabilities = {};
        capabilities.can_generate_garbage_collection_events = 1;
        jvmtiEventCallbacks callbacks = {};
        callbacks.GarbageCollectionStart = callback;
        ok_ = jvmti_->AddCapabilities(&capabilities) == JVMTI_ERROR_NONE &&
              jvmti_->CreateRawMonitor("collector hook", &shared.monitor) == JVMTI_ERROR_NONE &&
              jvmti_->SetEventCallbacks(&callbacks, sizeof callbacks) == JVMTI_ERROR_NONE &&
              jvmti_->SetEventNotificationMode(JVMTI_ENABLE, JVMTI_EVENT_GARBAGE_COLLECTION_START, nullptr) ==
                  JVMTI_ERROR_NONE;
    }
    bool ok() const { return ok_; }
    jvmtiEnv *jvmti() const { return jvmti_; }
    void close() {
        if (jvmti_ == nullptr)
            return;
        jvmti_->SetEventNotificationMode(JVMTI_DISABLE, JVMTI_EVENT_GARBAGE_COLLECTION_START, nullptr);
        if (shared.monitor != nullptr)
            jvmti_->DestroyRawMonitor(shared.monitor);
        shared.monitor = nullptr;
        jvmti_->DisposeEnvironment();
        jvmti_ = nullptr;
    }

private:
    jvmtiEnv *jvmti_ = nullptr;
    bool ok_ = false;
};

// A thread of the VM's own, not attached, that runs the steps it is given in order.
class VmThread {
public:
    VmThread() : thread_(&VmThread::run, this) {}
    ~VmThread() {
        post(nullptr);
        thread_.join();
    }
    void post(std::function<void()> step) {
        std::lock_guard guard(lock_);
        steps_.push_back(std::move(step));
        ++posted_;
        changed_.notify_all();
    }
    // Whether every step posted has returned; the bound only ends a hang.
    bool finished() {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::milliseconds(hangBoundMillis),
                                 [&] { return finished_ == posted_; });
    }

private:
    void run() {
        for (;;) {
            std::function<void()> step;
            {
                std::unique_lock guard(lock_);
                changed_.wait(guard, [&] { return !steps_.empty(); });
                step = std::move(steps_.front());
                steps_.pop_front();
            }
            if (!step)
                return;
            step();
            std::lock_guard guard(lock_);
            ++finished_;
            changed_.notify_all();
        }
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> steps_;
    int posted_ = 0, finished_ = 0;
    std::thread thread_;
};

// Polls until done says so; the bound only ends a hang.
bool within(const std::function<bool()> &done) {
    for (DWORD waited = 0; waited < hangBoundMillis; waited += 10) {
        if (done())
            return true;
        Sleep(10);
    }
    return done();
}

// The thread buffer a step filled has been handed on: its positions went back to its start.
bool handedOn(QrnThreadBufferView *const *view) {
    return within([&] {
        QrnThreadBufferView *b = __atomic_load_n(view, __ATOMIC_ACQUIRE);
        return b != nullptr && __atomic_load_n(&b->pos, __ATOMIC_ACQUIRE) == b->start;
    });
}

void giveUp(const char *what) {
    printf("hang %s\n", what);
    fflush(stdout);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 4);
}

// The first global buffer is full but for 32 bytes, and the collecting thread's buffer but for 8:
// the collection's own event then flushes it and fills that global buffer.
void JNICALL fillBeforeTheCollectionsEvent(jvmtiEnv *) {
    flushRecords(shared.agent, 4);
    writeRecord(shared.agent);
}

// Arguments: repository.
CHILD_SCENARIO(qrn_stopped_request) {
    RecorderDriver r(std::string(smallBuffers) + ",repository=" + argv[0]);
    if (!r.ok())
        return 1;
    const RecorderStatistics *s = r.statistics();
    JavaVM *vm = r.session().vm();
    shared.agent = vmhostRecorderAgent(vm);
    CollectorHook hook(vm, fillBeforeTheCollectionsEvent);
    if (!hook.ok())
        return 3;
    printf("start %s\n", r.start(false).c_str());
    r.enable(gcEvent);
    uint32_t written = s->bufferWrites;
    // Only the buffer thread asks for events: the collection starts in its request.
    vmhostCollectGarbageAt(vm, "requestEvent", nullptr, JNI_FALSE, JNI_FALSE);
    r.call("setPeriod", "(IJ)V", threadCountEvent, jlong(1));
    bool collected = within([&] { return vmhostCollectionsDone(vm) >= 1; });
    // The global buffer the collection filled reaches the chunk.
    bool served = collected && within([&] { return s->bufferWrites > written; });
    r.call("setPeriod", "(IJ)V", threadCountEvent, jlong(0));
    printf("collected %d served %d\n", int(collected), int(served));
    printf("stop %s\n", r.stop().c_str());
    hook.close();
    fflush(stdout);
    return r.session().destroy() == JNI_OK ? 0 : 2;
}

// Holds each collection at its start until the test lets it go on.
void JNICALL holdTheCollection(jvmtiEnv *jvmti) {
    jvmti->RawMonitorEnter(shared.monitor);
    int stop = ++shared.stops;
    jvmti->RawMonitorNotifyAll(shared.monitor);
    for (DWORD waited = 0; shared.released < stop && waited < hangBoundMillis; waited += 100)
        jvmti->RawMonitorWait(shared.monitor, 100);
    jvmti->RawMonitorExit(shared.monitor);
}

bool waitForStop(jvmtiEnv *jvmti, int stop) {
    jvmti->RawMonitorEnter(shared.monitor);
    for (DWORD waited = 0; shared.stops < stop && waited < hangBoundMillis; waited += 100)
        jvmti->RawMonitorWait(shared.monitor, 100);
    bool reached = shared.stops >= stop;
    jvmti->RawMonitorExit(shared.monitor);
    return reached;
}

void release(jvmtiEnv *jvmti, int stop) {
    jvmti->RawMonitorEnter(shared.monitor);
    shared.released = stop;
    jvmti->RawMonitorNotifyAll(shared.monitor);
    jvmti->RawMonitorExit(shared.monitor);
}

// Arguments: repository.
CHILD_SCENARIO(qrn_stopped_two_locks) {
    // The test holds the last stop while it fills the buffers.
    RecorderDriver r(std::string(smallBuffers) + ",allow_threadbuffers_to_disk=true,repository=" + argv[0],
                     {"-Xvmhost:stopwait=60000"});
    if (!r.ok())
        return 1;
    const RecorderStatistics *s = r.statistics();
    JavaVM *vm = r.session().vm();
    const QrnAgent *agent = shared.agent = vmhostRecorderAgent(vm);
    CollectorHook hook(vm, holdTheCollection);
    if (!hook.ok())
        return 3;
    jvmtiEnv *jvmti = hook.jvmti();
    printf("start %s\n", r.start(false).c_str());
    r.enable(threadCountEvent);
    // Every request of the buffer thread is a collection, the next armed while one holds: after
    // 85 requests its thread buffer holds 2040 bytes, and the 86th request's event flushes it.
    constexpr int lastStop = 86;
    vmhostCollectGarbageAt(vm, "requestEvent", nullptr, JNI_FALSE, JNI_FALSE);
    r.call("setPeriod", "(IJ)V", threadCountEvent, jlong(1));
    for (int stop = 1; stop < lastStop; ++stop) {
        if (!waitForStop(jvmti, stop))
            giveUp("stop");
        vmhostCollectGarbageAt(vm, "requestEvent", nullptr, JNI_FALSE, JNI_FALSE);
        release(jvmti, stop);
    }
    if (!waitForStop(jvmti, lastStop))
        giveUp("stop");
    // The buffer thread waits in its request. The VM's threads fill every global buffer, the second
    // one from inside a checkpoint, and leave the third without room for the buffer thread's data.
    VmThread w, f, c;
    QrnThreadBufferView *fView = nullptr, *cView = nullptr;
    w.post([&] { flushRecords(agent, 4); });
    if (!w.finished())
        giveUp("fill");
    f.post([&] {
        __atomic_store_n(&fView, writeRecord(agent), __ATOMIC_RELEASE);
        agent->flushThreadBuffer();
    });
    if (!handedOn(&fView))
        giveUp("fill");
    w.post([&] { flushRecords(agent, 3); });
    if (!w.finished())
        giveUp("fill");
    bool inCheckpoint = false;
    c.post([&] {
        inCheckpoint = agent->beginCheckpoint() != nullptr;
        __atomic_store_n(&cView, writeRecord(agent), __ATOMIC_RELEASE);
        agent->flushThreadBuffer();
    });
    if (!handedOn(&cView))
        giveUp("fill");
    w.post([&] { flushRecords(agent, 3); });
    if (!w.finished())
        giveUp("fill");
    uint32_t directWrites = s->directWrites;
    uint32_t written = s->bufferWrites;
    // The buffer thread's event finds no room and goes to disk, where the checkpoint holds the chunk.
    release(jvmti, lastStop);
    Sleep(100); // a moment for it to get there; it does however long this is
    c.post([&] { agent->endCheckpoint(); });
    if (!c.finished() || !f.finished())
        giveUp("checkpoint");
    bool toDisk = within([&] { return s->directWrites > directWrites; });
    // Its next pass writes the three full buffers.
    bool drained = within([&] { return s->bufferWrites >= written + 3; });
    printf("checkpoint %d to disk %d drained %d\n", int(inCheckpoint), int(toDisk), int(drained));
    r.call("setPeriod", "(IJ)V", threadCountEvent, jlong(0));
    for (VmThread *t : {&w, &f, &c}) {
        t->post([&] { agent->releaseThreadBuffer(); });
        t->finished();
    }
    printf("stop %s\n", r.stop().c_str());
    hook.close();
    fflush(stdout);
    return r.session().destroy() == JNI_OK ? 0 : 2;
}

TEST(StoppedWorld, TheCollectorsFlushDuringThePeriodicRequestIsServed) {
    TempDir dir;
    ChildResult child = runScenario("qrn_stopped_request", {dir.path()});
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    EXPECT_EQ(lineValue(child.out, "start"), "");
    EXPECT_EQ(lineValue(child.out, "collected"), "1 served 1");
    EXPECT_EQ(lineValue(child.out, "stop"), "");
    // A stop that never ends is reported by the VM when its bound has passed.
    EXPECT_EQ(child.err.find("vmhost:"), std::string::npos) << child.err;
}

TEST(StoppedWorld, ACheckpointsFlushMeetsTheBufferThreadGoingToDisk) {
    TempDir dir;
    ChildResult child = runScenario("qrn_stopped_two_locks", {dir.path()});
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    EXPECT_EQ(lineValue(child.out, "start"), "");
    EXPECT_EQ(lineValue(child.out, "checkpoint"), "1 to disk 1 drained 1");
    EXPECT_EQ(lineValue(child.out, "stop"), "");
    EXPECT_EQ(child.err.find("vmhost:"), std::string::npos) << child.err;
}

} // namespace
