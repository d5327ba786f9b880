// A collection stops the world: attached threads wait at their next entry into the VM while the
// VM's own thread posts the collection's events; a suspended thread waits likewise until resumed.
#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

#include "vm_session.h"

namespace {

// Polls a condition that the threads of a test make true, up to a bound far beyond any machine.
template <typename Condition> bool eventually(Condition condition) {
    ULONGLONG deadline = GetTickCount64() + 60000;
    while (!condition()) {
        if (GetTickCount64() > deadline)
            return false;
        Sleep(1);
    }
    return true;
}

// What the collection's callbacks see and wait for, guarded by `monitor`.
struct Collector {
    jrawMonitorID monitor = nullptr;
    jrawMonitorID held = nullptr; // the deadlock test's lock
    bool inFinish = false;
    bool open = false;
    bool finished = false;
    jint getEnv = JNI_OK;
    JavaVM *vm = nullptr;
    JNIEnv *mainEnv = nullptr;
};
Collector seen;

class World : public VmTest {
protected:
    // A VM with the given options, a tool environment that may suspend, and the test's monitors.
    void start(const std::vector<std::string> &options = {}) {
        if (!options.empty()) {
            session.reset();
            session = std::make_unique<VmSession>(options);
            ASSERT_TRUE(session->created());
        }
        seen = Collector{};
        seen.vm = session->vm();
        seen.mainEnv = env();
        ASSERT_EQ(session->vm()->GetEnv(reinterpret_cast<void **>(&jvmti), JVMTI_VERSION_1_0), JNI_OK);
        jvmtiCapabilities wanted{};
        wanted.can_suspend = 1;
        wanted.can_generate_garbage_collection_events = 1;
        ASSERT_EQ(jvmti->AddCapabilities(&wanted), JVMTI_ERROR_NONE);
        ASSERT_EQ(jvmti->CreateRawMonitor("collector", &seen.monitor), JVMTI_ERROR_NONE);
        ASSERT_EQ(jvmti->CreateRawMonitor("held", &seen.held), JVMTI_ERROR_NONE);
    }

    void TearDown() override {
        if (jvmti != nullptr) {
            jvmti->DestroyRawMonitor(seen.monitor);
            jvmti->DestroyRawMonitor(seen.held);
            jvmti->DisposeEnvironment();
        }
        VmTest::TearDown();
    }

    // One of the two callbacks.
    void onCollection(jvmtiEventGarbageCollectionStart start, jvmtiEventGarbageCollectionFinish finish) {
        jvmtiEventCallbacks callbacks{};
        callbacks.GarbageCollectionStart = start;
        callbacks.GarbageCollectionFinish = finish;
        ASSERT_EQ(jvmti->SetEventCallbacks(&callbacks, sizeof callbacks), JVMTI_ERROR_NONE);
        jvmtiEvent event = start != nullptr ? JVMTI_EVENT_GARBAGE_COLLECTION_START : JVMTI_EVENT_GARBAGE_COLLECTION_FINISH;
        ASSERT_EQ(jvmti->SetEventNotificationMode(JVMTI_ENABLE, event, nullptr), JVMTI_ERROR_NONE);
    }

    // Runs `work` on a thread attached under `name`, which detaches when it is done.
    std::thread attached(const char *name, std::function<void(JNIEnv *)> work) {
        JavaVM *vm = session->vm();
        return std::thread([vm, name, work] {
            JNIEnv *threadEnv = nullptr;
            JavaVMAttachArgs args{JNI_VERSION_1_8, const_cast<char *>(name), nullptr};
            if (vm->AttachCurrentThread(reinterpret_cast<void **>(&threadEnv), &args) != JNI_OK)
                return;
            work(threadEnv);
            vm->DetachCurrentThread();
        });
    }

    bool underMonitor(const std::function<bool()> &condition) {
        jvmti->RawMonitorEnter(seen.monitor);
        bool result = condition();
        jvmti->RawMonitorExit(seen.monitor);
        return result;
    }

    jvmtiEnv *jvmti = nullptr;
};

// Holds the collection in its finish callback until the test opens it.
void JNICALL finishWhenOpened(jvmtiEnv *env) {
    env->RawMonitorEnter(seen.monitor);
    seen.inFinish = true;
    env->RawMonitorNotifyAll(seen.monitor);
    while (!seen.open)
        env->RawMonitorWait(seen.monitor, 0);
    seen.finished = true;
    env->RawMonitorExit(seen.monitor);
}

TEST_F(World, AttachedThreadsWaitAtTheirNextJniCallUntilTheCollectionEnds) {
    // No stop of this test may reach the bound, however slow the machine.
    start({"-Xvmhost:stopwait=600000"});
    onCollection(nullptr, finishWhenOpened);
    jclass objectClass = env()->FindClass("java/lang/Object");
    jobject object = env()->NewGlobalRef(objectClass);
    std::atomic<jobject> triggerThread{nullptr};
    std::atomic<bool> go{false};
    std::atomic<int> finishedBeforeReturn{-1};
    std::atomic<jobject> made{nullptr};
    std::thread trigger = attached("trigger", [&](JNIEnv *threadEnv) {
        jthread self = nullptr;
        jvmti->GetCurrentThread(&self);
        triggerThread = threadEnv->NewGlobalRef(self);
        threadEnv->DeleteLocalRef(self);
        while (!go)
            Sleep(1);
        jobject ref = threadEnv->NewGlobalRef(object);
        jvmti->RawMonitorEnter(seen.monitor);
        finishedBeforeReturn = seen.finished ? 1 : 0;
        jvmti->RawMonitorExit(seen.monitor);
        made = ref;
    });
    ASSERT_TRUE(eventually([&] { return triggerThread.load() != nullptr; }));
    vmhostCollectGarbageAt(session->vm(), "NewGlobalRef", triggerThread.load(), JNI_FALSE, JNI_TRUE);
    go = true;
    // The trigger waits at NewGlobalRef while the collection sits in its finish callback.
    ASSERT_TRUE(eventually([&] { return underMonitor([] { return seen.inFinish; }); }));
    ASSERT_TRUE(eventually([&] { return vmhostWaitingThreads(session->vm()) == 1; }));
    std::atomic<int> laterFinishedBeforeReturn{-1};
    std::thread later = attached("later", [&](JNIEnv *threadEnv) {
        threadEnv->GetVersion();
        jvmti->RawMonitorEnter(seen.monitor);
        laterFinishedBeforeReturn = seen.finished ? 1 : 0;
        jvmti->RawMonitorExit(seen.monitor);
    });
    EXPECT_TRUE(eventually([&] { return vmhostWaitingThreads(session->vm()) == 2; }));
    EXPECT_EQ(vmhostCollectionsDone(session->vm()), 0);
    EXPECT_EQ(made.load(), nullptr);
    jvmti->RawMonitorEnter(seen.monitor);
    seen.open = true;
    jvmti->RawMonitorNotifyAll(seen.monitor);
    jvmti->RawMonitorExit(seen.monitor);
    trigger.join();
    later.join();
    EXPECT_EQ(finishedBeforeReturn, 1);
    EXPECT_EQ(laterFinishedBeforeReturn, 1);
    EXPECT_EQ(vmhostCollectionsDone(session->vm()), 1);
    EXPECT_EQ(vmhostWaitingThreads(session->vm()), 0);
    ASSERT_NE(made.load(), nullptr);
    env()->DeleteGlobalRef(made);
    env()->DeleteGlobalRef(triggerThread);
    env()->DeleteGlobalRef(object);
    env()->DeleteLocalRef(objectClass);
}

// Needs the lock that the thread which started the collection holds while it waits.
void JNICALL finishWithTheHeldLock(jvmtiEnv *env) {
    env->RawMonitorEnter(seen.held);
    env->RawMonitorExit(seen.held);
}

TEST_F(World, AStopBeyondTheBoundIsReportedWithItsWaitersAndTheWorldResumes) {
    start({"-Xvmhost:stopwait=300"});
    onCollection(nullptr, finishWithTheHeldLock);
    vmhostCollectGarbageAt(session->vm(), "GetVersion", nullptr, JNI_FALSE, JNI_FALSE);
    std::thread holder = attached("holder", [&](JNIEnv *threadEnv) {
        jvmti->RawMonitorEnter(seen.held);
        threadEnv->GetVersion();
        jvmti->RawMonitorExit(seen.held);
    });
    holder.join();
    ASSERT_TRUE(eventually([&] { return vmhostCollectionsDone(session->vm()) == 1; }));
    EXPECT_EQ(takeProblems(), "a collection stopped the world for longer than 300 ms with the VM's collecting thread "
                              "in the GarbageCollectionFinish callback of the environment got in thread \"main\": "
                              "thread \"holder\" waits in GetVersion; the world resumes\n");
}

TEST_F(World, ASuspendedThreadWaitsAtItsNextJniCallUntilResumed) {
    start();
    std::atomic<jobject> workerThread{nullptr};
    std::atomic<bool> go{false};
    std::atomic<bool> resumed{false};
    std::atomic<int> resumedBeforeReturn{-1};
    std::thread worker = attached("worker", [&](JNIEnv *threadEnv) {
        jthread self = nullptr;
        jvmti->GetCurrentThread(&self);
        workerThread = threadEnv->NewGlobalRef(self);
        threadEnv->DeleteLocalRef(self);
        while (!go)
            Sleep(1);
        threadEnv->GetVersion();
        resumedBeforeReturn = resumed ? 1 : 0;
    });
    ASSERT_TRUE(eventually([&] { return workerThread.load() != nullptr; }));
    jthread target = workerThread.load();
    jvmtiError result = JVMTI_ERROR_INTERNAL;
    ASSERT_EQ(jvmti->SuspendThreadList(1, &target, &result), JVMTI_ERROR_NONE);
    ASSERT_EQ(result, JVMTI_ERROR_NONE);
    go = true;
    EXPECT_TRUE(eventually([&] { return vmhostWaitingThreads(session->vm()) == 1; }));
    EXPECT_EQ(resumedBeforeReturn, -1);
    resumed = true;
    EXPECT_EQ(jvmti->ResumeThreadList(1, &target, &result), JVMTI_ERROR_NONE);
    worker.join();
    EXPECT_EQ(resumedBeforeReturn, 1);
    env()->DeleteGlobalRef(target);
}

// Looks for a JNIEnv, then uses the main thread's anyway.
void JNICALL startWithJni(jvmtiEnv *env) {
    JNIEnv *found = nullptr;
    seen.getEnv = seen.vm->GetEnv(reinterpret_cast<void **>(&found), JNI_VERSION_1_8);
    seen.mainEnv->GetVersion();
    unsigned char *memory = nullptr;
    if (env->Allocate(8, &memory) == JVMTI_ERROR_NONE)
        env->Deallocate(memory);
    jint version = 0;
    env->GetVersionNumber(&version);
}

TEST_F(World, TheCollectorsThreadIsNotAttachedAndMayNotCallJni) {
    start();
    onCollection(startWithJni, nullptr);
    vmhostCollectGarbage(env(), JNI_FALSE, JNI_FALSE);
    EXPECT_EQ(vmhostCollectionsDone(session->vm()), 1);
    EXPECT_EQ(seen.getEnv, JNI_EDETACHED);
    std::string problems = takeProblems();
    const std::string where = " was called in the GarbageCollectionStart callback of the environment got in thread "
                              "\"main\", where ";
    EXPECT_NE(problems.find("GetVersion" + where + "no JNI function may be called\n"), std::string::npos) << problems;
    EXPECT_NE(problems.find("GetVersionNumber" + where +
                            "only the raw-monitor, memory and environment-local-storage functions may be called\n"),
              std::string::npos)
        << problems;
    EXPECT_EQ(problems.find("Allocate"), std::string::npos) << problems;
}

} // namespace
