// The management library while the VM stops the world for a collection: a thread stopped inside
// a callback, a destroy and the collection's own callbacks never wait for one another, a destroy
// from Java inside the class file hook leaves the disposed environment alone, and snapshots that
// name each other take turns. A freeze shows as the VM's report of a stop that outlasted its bound.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "vexil_test.h"

namespace {

// Waits until `done` holds, polling; false when `bound` milliseconds passed first.
template <typename Done> bool waitUntil(Done done, DWORD bound = 30000) {
    for (DWORD start = GetTickCount(); !done();) {
        if (GetTickCount() - start > bound)
            return false;
        Sleep(5);
    }
    return true;
}

int countOf(const std::string &log, const std::string &what) {
    int found = 0;
    for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1))
        ++found;
    return found;
}

// A thread attached to the VM for its whole run.
template <typename Body> std::thread attached(JavaVM *vm, Body body) {
    return std::thread([vm, body] {
        JNIEnv *own = nullptr;
        if (vm->AttachCurrentThread(reinterpret_cast<void **>(&own), nullptr) != JNI_OK)
            return;
        body(own);
        vm->DetachCurrentThread();
    });
}

void destroyOn(JNIEnv *env, jobject jvm) {
    jclass cls = env->GetObjectClass(jvm);
    env->CallVoidMethod(jvm, env->GetMethodID(cls, "destroy", "()V"));
    env->DeleteLocalRef(cls);
}

jobject currentThread(JNIEnv *env) {
    jclass threadClass = env->FindClass("java/lang/Thread");
    jobject thread = env->CallStaticObjectMethod(
        threadClass, env->GetStaticMethodID(threadClass, "currentThread", "()Ljava/lang/Thread;"));
    env->DeleteLocalRef(threadClass);
    return thread;
}

class StoppedWorld : public VexilTest {
protected:
    void SetUp() override {
        VexilTest::SetUp();
        load();
    }

    void TearDown() override {
        disposeTool();
        VexilTest::TearDown();
    }

    void disposeTool() {
        if (tool != nullptr)
            tool->DisposeEnvironment();
        tool = nullptr;
    }

    // The test's own tool-interface environment, able to suspend threads.
    jvmtiEnv *toolEnvironment() {
        if (tool == nullptr) {
            session->vm()->GetEnv(reinterpret_cast<void **>(&tool), JVMTI_VERSION_1_0);
            jvmtiCapabilities wanted{};
            wanted.can_suspend = 1;
            EXPECT_EQ(tool->AddCapabilities(&wanted), JVMTI_ERROR_NONE);
        }
        return tool;
    }

    void listen(const char *componentClass) { callVoid(component(componentClass), "addedFirstListener", "()V"); }

    jvmtiEnv *tool = nullptr;
};

// The test's class-load callback, called before the context's: it holds the loading thread in
// native code until the test has suspended it, so that the thread next stops inside the context's
// callback, at its first call into the VM.
struct LoaderPause {
    std::atomic<DWORD> thread{0};
    HANDLE reached = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~LoaderPause() {
        CloseHandle(reached);
        CloseHandle(go);
    }
};
LoaderPause *loaderPause;

void JNICALL pauseLoader(jvmtiEnv *, JNIEnv *, jthread, jclass) {
    if (loaderPause == nullptr || GetCurrentThreadId() != loaderPause->thread)
        return;
    SetEvent(loaderPause->reached);
    WaitForSingleObject(loaderPause->go, 60000);
}

TEST_F(StoppedWorld, ALoaderStoppedInsideItsCallbackHoldsUpNeitherTheDestroyNorTheCollection) {
    JavaVM *vm = session->vm();
    LoaderPause pause;
    loaderPause = &pause;
    jvmtiEnv *own = toolEnvironment();
    jvmtiEventCallbacks callbacks{};
    callbacks.ClassLoad = pauseLoader;
    own->SetEventCallbacks(&callbacks, sizeof callbacks);
    own->SetEventNotificationMode(JVMTI_ENABLE, JVMTI_EVENT_CLASS_LOAD, nullptr);
    auto loaded = static_cast<jclass>(env()->NewGlobalRef(session->defineClass("test/Loaded")));
    startJvm();
    listen("zun/vexil/ClassLibraryImpl");
    listen("zun/vexil/GarbageCollectorImpl");
    jobject target = env()->NewGlobalRef(jvm);
    jvm = nullptr;

    std::atomic<jobject> loaderThread{nullptr};
    std::thread loader = attached(vm, [&](JNIEnv *e) {
        loaderThread = e->NewGlobalRef(currentThread(e));
        pause.thread = GetCurrentThreadId();
        vmhostPostClassLoad(e, loaded);
    });
    EXPECT_EQ(WaitForSingleObject(pause.reached, 30000), WAIT_OBJECT_0);
    jthread suspended = loaderThread;
    jvmtiError result = JVMTI_ERROR_INTERNAL;
    EXPECT_EQ(own->SuspendThreadList(1, &suspended, &result), JVMTI_ERROR_NONE);
    EXPECT_EQ(result, JVMTI_ERROR_NONE);
    SetEvent(pause.go);
    // The loader now waits for its resumption at its first call into the VM inside the context's
    // callback.
    EXPECT_TRUE(waitUntil([&] { return vmhostWaitingThreads(vm) == 1; }));

    std::atomic<bool> destroying{false}, destroyed{false};
    std::atomic<int> destroyFailures{0};
    std::thread destroyer = attached(vm, [&](JNIEnv *e) {
        destroying = true;
        destroyOn(e, target);
        if (e->ExceptionCheck()) {
            ++destroyFailures;
            e->ExceptionClear();
        }
        destroyed = true;
    });
    EXPECT_TRUE(waitUntil([&] { return destroying.load(); }));
    // Time for the destroy to get as far as it goes while the loader is inside the context.
    Sleep(500);
    vmhostCollectGarbage(env(), JNI_FALSE, JNI_FALSE);
    EXPECT_EQ(vmhostCollectionsDone(vm), 1);
    EXPECT_EQ(own->ResumeThread(loaderThread), JVMTI_ERROR_NONE);
    loader.join();
    destroyer.join();
    loaderPause = nullptr;
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(destroyFailures, 0);
    EXPECT_EQ(longField(target, "handle"), 0);
    EXPECT_EQ(takeProblems(), "") << "nobody waited for the stopped world's end inside it";
    takeCallLog();
    env()->DeleteGlobalRef(loaderThread);
    env()->DeleteGlobalRef(target);
    env()->DeleteGlobalRef(loaded);
    disposeTool();
    EXPECT_EQ(vmhostCheck(vm), 0) << "the loader's event released, the context's monitor and environment gone";
}

TEST_F(StoppedWorld, ACollectionAtTheDestroysMonitorStillReachesAnotherContext) {
    JavaVM *vm = session->vm();
    jobject first = startJvm();
    jvm = nullptr;
    startJvm();
    listen("zun/vexil/GarbageCollectorImpl");
    takeCallLog();
    jobject self = currentThread(env());
    vmhostCollectGarbageAt(vm, "DestroyRawMonitor", self, JNI_FALSE, JNI_FALSE);
    callVoid(first, "destroy", "()V");
    EXPECT_EQ(thrown(), "");
    EXPECT_EQ(vmhostCollectionsDone(vm), 1);
    EXPECT_EQ(longField(first, "handle"), 0);
    std::string log;
    EXPECT_TRUE(waitUntil([&] { return countOf(log += takeCallLog(), "onGCEnd(") >= 1; })) << log;
    EXPECT_EQ(countOf(log, "onGCEnd("), 1) << log;
    EXPECT_EQ(takeProblems(), "") << "the other context's collection callback ran while the world stood";
}

TEST_F(StoppedWorld, ADestroyFromTheClassFileHookLeavesTheDisposedEnvironmentAlone) {
    JavaVM *vm = session->vm();
    static JavaVM *hookVm;
    hookVm = vm;
    jclass cls = jvmSubclass("test/HookEndingJVM");
    session->addMethod(cls, "onClassFileHook", "(Ljava/lang/ClassLoader;Ljava/lang/String;[B)[B", 0x1,
                       [](JNIEnv *e, jobject self, const jvalue *args) {
                           destroyOn(e, self);
                           // Whatever the hook still calls of the tool interface on this thread
                           // now starts a collection.
                           jobject thread = currentThread(e);
                           vmhostCollectGarbageAt(hookVm, "Allocate", thread, JNI_FALSE, JNI_FALSE);
                           vmhostCollectGarbageAt(hookVm, "SetThreadLocalStorage", thread, JNI_FALSE, JNI_FALSE);
                           e->DeleteLocalRef(thread);
                           jsize length = e->GetArrayLength(static_cast<jbyteArray>(args[2].l));
                           jvalue result{};
                           result.l = e->NewByteArray(length + 1);
                           return result;
                       });
    jobject target = startJvm("test/HookEndingJVM");
    callVoid(component("zun/vexil/ClassLibraryImpl"), "setPreprocessing", "(Z)V", {jbool_(true)});
    jvm = nullptr; // Java ends it
    const unsigned char bytes[8] = {0xCA, 0xFE, 0xBA, 0xBE, 0, 0, 0, 52};
    jclass hooked = vmhostDefineClass(env(), "test/Hooked", nullptr, nullptr, bytes, sizeof bytes);
    ASSERT_NE(hooked, nullptr);
    EXPECT_EQ(thrown(), "");
    EXPECT_EQ(longField(target, "handle"), 0);
    EXPECT_EQ(vmhostCollectionsDone(vm), 0) << "the hook called the disposed environment after Java destroyed it";
    EXPECT_EQ(vmhostClassBytes(env(), hooked, nullptr, 0), 8) << "the class keeps its bytes";
    EXPECT_EQ(takeProblems(), "");
    // The armed collections were there to start: the test's own calls start them.
    jvmtiEnv *own = toolEnvironment();
    unsigned char *memory = nullptr;
    own->Allocate(1, &memory);
    own->Deallocate(memory);
    own->SetThreadLocalStorage(nullptr, nullptr);
    EXPECT_EQ(vmhostCollectionsDone(vm), 2);
    disposeTool();
    EXPECT_EQ(vmhostCheck(vm), 0) << "monitor, environment and references given back";
}

TEST_F(StoppedWorld, LoadsCompilationsAndCollectionsOnSeveralThreadsWhileContextsComeAndGo) {
    JavaVM *vm = session->vm();
    jclass cls = session->defineClass("test/Busy");
    jmethodID method = session->addMethod(cls, "work", "()V", 0x1, [](JNIEnv *, jobject, const jvalue *) { return jvalue{}; });
    auto loaded = static_cast<jclass>(env()->NewGlobalRef(cls));
    std::atomic<bool> stop{false};
    std::atomic<int> exceptions{0}, loads{0}, compilations{0}, collections{0};
    auto check = [&](JNIEnv *e) {
        if (e->ExceptionCheck()) {
            ++exceptions;
            e->ExceptionClear();
        }
    };
    std::vector<std::thread> workers;
    for (int w = 0; w < 2; ++w)
        workers.push_back(attached(vm, [&](JNIEnv *e) {
            for (; !stop; ++loads) {
                vmhostPostClassLoad(e, loaded);
                check(e);
                Sleep(1);
            }
        }));
    workers.push_back(attached(vm, [&](JNIEnv *e) {
        for (; !stop; ++compilations) {
            vmhostPostCompiledMethodLoad(e, method, 64, nullptr);
            check(e);
            Sleep(1);
        }
    }));
    workers.push_back(attached(vm, [&](JNIEnv *e) {
        for (; !stop; ++collections) {
            vmhostCollectGarbage(e, JNI_FALSE, JNI_FALSE);
            check(e);
            Sleep(1);
        }
    }));
    int served = 0;
    for (int i = 0; i < 20; ++i) {
        startJvm();
        listen("zun/vexil/ClassLibraryImpl");
        listen("zun/vexil/CompilationSystemImpl");
        listen("zun/vexil/GarbageCollectorImpl");
        // Each context lives until it has delivered each kind of event once.
        std::string log;
        bool all = waitUntil([&] {
            log += takeCallLog();
            return log.find("onClassLoad(") != std::string::npos && log.find("onCompiled(") != std::string::npos &&
                   log.find("onGCEnd(") != std::string::npos;
        });
        served += all ? 1 : 0;
        destroyJvm();
        takeCallLog();
    }
    stop = true;
    for (std::thread &worker : workers)
        worker.join();
    env()->DeleteGlobalRef(loaded);
    takeCallLog();
    EXPECT_EQ(served, 20) << "every context delivered loads, compilations and collections";
    EXPECT_GT(loads, 0);
    EXPECT_GT(compilations, 0);
    EXPECT_GT(collections, 0);
    EXPECT_EQ(exceptions, 0) << "a thread was left an exception";
    EXPECT_EQ(takeProblems(), "");
    EXPECT_EQ(vmhostCheck(vm), 0) << "every event released, every monitor and environment gone";
}

TEST_F(StoppedWorld, TwoThreadsThatSnapshotEachOtherTakeTurns) {
    JavaVM *vm = session->vm();
    startJvm();
    jobject system = env()->NewGlobalRef(component("zun/vexil/ThreadSystemImpl"));
    callStatic("zun/vexil/ThreadSystemImpl", "initIDs", "()V");
    constexpr int rounds = 200;
    std::atomic<jobject> takerThreads[2] = {nullptr, nullptr};
    std::atomic<int> arrivals{0}, taken{0}, failures{0}, finished{0};
    std::atomic<bool> giveUp{false};
    std::vector<std::thread> takers;
    for (int t = 0; t < 2; ++t) {
        takers.push_back(attached(vm, [&, t](JNIEnv *e) {
            takerThreads[t] = e->NewGlobalRef(currentThread(e));
            while (takerThreads[1 - t] == nullptr && !giveUp)
                Sleep(1);
            jclass threadClass = e->FindClass("java/lang/Thread");
            jobjectArray other = e->NewObjectArray(1, threadClass, takerThreads[1 - t]);
            jclass cls = e->GetObjectClass(system);
            jmethodID snapshots =
                e->GetMethodID(cls, "getThreadSnapshots", "([Ljava/lang/Thread;)[Lcom/zun/jvm/ThreadSnapshot;");
            for (int i = 0; i < rounds && !giveUp; ++i) {
                // Both ask at once, each for the other.
                ++arrivals;
                while (arrivals < 2 * (i + 1) && !giveUp)
                    YieldProcessor();
                auto result = static_cast<jobjectArray>(e->CallObjectMethod(system, snapshots, other));
                if (e->ExceptionCheck()) {
                    ++failures;
                    e->ExceptionClear();
                } else if (result != nullptr && e->GetArrayLength(result) == 1) {
                    jobject snapshot = e->GetObjectArrayElement(result, 0);
                    if (snapshot != nullptr) {
                        jclass snapshotClass = e->GetObjectClass(snapshot);
                        jint state = e->GetIntField(snapshot, e->GetFieldID(snapshotClass, "fullState", "I"));
                        taken += (state & JVMTI_THREAD_STATE_SUSPENDED) != 0 ? 1 : 0;
                        e->DeleteLocalRef(snapshotClass);
                    }
                    e->DeleteLocalRef(snapshot);
                }
                e->DeleteLocalRef(result);
            }
            // Neither leaves while the other may still ask for it.
            ++arrivals;
            while (arrivals < 2 * (rounds + 1) && !giveUp)
                YieldProcessor();
            ++finished;
        }));
    }
    // Two snapshots that suspend each other both stop for good: the bound is on progress. Stuck
    // takers are let go, step by step, until they give up.
    bool stuck = false;
    while (finished < 2 && !stuck) {
        int before = taken + failures;
        stuck = !waitUntil([&] { return taken + failures != before || finished == 2; }, 20000);
    }
    giveUp = stuck;
    while (finished < 2) {
        vmhostReleaseWaiters(vm);
        Sleep(10);
    }
    for (std::thread &taker : takers)
        taker.join();
    EXPECT_FALSE(stuck) << "the two snapshots stopped each other";
    EXPECT_EQ(taken, 2 * rounds) << "each snapshot taken with the other suspended";
    EXPECT_EQ(failures, 0);
    for (std::atomic<jobject> &thread : takerThreads)
        env()->DeleteGlobalRef(thread);
    env()->DeleteGlobalRef(system);
    EXPECT_EQ(takeProblems(), "");
}

} // namespace
