// The thread natives: counts, lists and threads by id, and snapshots of threads in every state
// the VM host can give, compared field by field with the host's model.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "vexil_test.h"

namespace {

constexpr jint alive = JVMTI_THREAD_STATE_ALIVE;
constexpr jint runnable = alive | JVMTI_THREAD_STATE_RUNNABLE;
constexpr jint sleeping = alive | JVMTI_THREAD_STATE_WAITING | JVMTI_THREAD_STATE_WAITING_WITH_TIMEOUT |
                          JVMTI_THREAD_STATE_SLEEPING;
constexpr jint waiting = alive | JVMTI_THREAD_STATE_WAITING | JVMTI_THREAD_STATE_WAITING_INDEFINITELY |
                         JVMTI_THREAD_STATE_IN_OBJECT_WAIT;
constexpr jint blocked = alive | JVMTI_THREAD_STATE_BLOCKED_ON_MONITOR_ENTER;
constexpr jint inNative = runnable | JVMTI_THREAD_STATE_IN_NATIVE;
constexpr jint suspendedBit = JVMTI_THREAD_STATE_SUSPENDED;
constexpr jint masked = JVMTI_THREAD_STATE_BLOCKED_ON_MONITOR_ENTER | JVMTI_THREAD_STATE_SUSPENDED |
                        JVMTI_THREAD_STATE_INTERRUPTED | JVMTI_THREAD_STATE_IN_NATIVE;
const char *snapshotsSignature = "([Ljava/lang/Thread;)[Lcom/zun/jvm/ThreadSnapshot;";

class Threads : public VexilTest {
protected:
    void SetUp() override {
        VexilTest::SetUp();
        load();
    }

    void start(bool canSuspend = true) {
        if (!canSuspend) {
            jvmtiCapabilities capabilities{};
            capabilities.can_get_owned_monitor_info = 1;
            capabilities.can_get_current_contended_monitor = 1;
            capabilities.can_get_monitor_info = 1;
            capabilities.can_get_source_file_name = 1;
            capabilities.can_get_line_numbers = 1;
            vmhostSetPotentialCapabilities(session->vm(), &capabilities);
        }
        startJvm();
        system = component("zun/vexil/ThreadSystemImpl");
        callStatic("zun/vexil/ThreadSystemImpl", "initIDs", "()V");
        session->vm()->GetEnv(reinterpret_cast<void **>(&jvmti), JVMTI_VERSION_1_0);
        jvmtiCapabilities mine{};
        mine.can_suspend = 1;
        jvmti->AddCapabilities(&mine);
        jvmti->GetCurrentThread(&self);
        // The context lives on until the test ends: the checks look at what the natives made since.
        vmhostMarkBaseline(session->vm());
    }

    jobjectArray threadArray(const std::vector<jthread> &threads) {
        jclass threadClass = env()->FindClass("java/lang/Thread");
        jobjectArray array = env()->NewObjectArray(static_cast<jsize>(threads.size()), threadClass, nullptr);
        for (size_t i = 0; i < threads.size(); ++i)
            env()->SetObjectArrayElement(array, static_cast<jsize>(i), threads[i]);
        return array;
    }

    jobjectArray snapshots(const std::vector<jthread> &threads) {
        return static_cast<jobjectArray>(callObject(system, "getThreadSnapshots", snapshotsSignature,
                                                    {jvalueOf(threadArray(threads))}));
    }

    jmethodID method(jclass cls, const char *name, const char *signature, std::vector<jvmtiLineNumberEntry> lines) {
        jmethodID id = session->addMethod(cls, name, signature, 0x1, [](JNIEnv *, jobject, const jvalue *) { return jvalue{}; });
        vmhostSetLineNumbers(env(), id, lines.data(), static_cast<jint>(lines.size()));
        return id;
    }

    jint threadState(jthread thread) {
        jint state = 0;
        jvmti->GetThreadState(thread, &state);
        return state;
    }

    jlong tid(jthread thread) { return longField(thread, "tid"); }

    // "className.methodName:line[monitor tids]@source" per frame of a snapshot.
    std::vector<std::string> trace(jobject snapshot) {
        std::vector<std::string> out;
        auto frames = static_cast<jobjectArray>(field(snapshot, "callTrace", "[Lcom/zun/jvm/CallTraceElement;"));
        for (jsize i = 0; frames != nullptr && i < env()->GetArrayLength(frames); ++i) {
            jobject e = env()->GetObjectArrayElement(frames, i);
            std::string line = text(field(e, "className", "Ljava/lang/String;")) + "." +
                               text(field(e, "methodName", "Ljava/lang/String;")) + ":" +
                               std::to_string(intField(e, "line"));
            auto monitors = static_cast<jobjectArray>(field(e, "monitors", "[Lcom/zun/jvm/ThreadSnapshot$Monitor;"));
            line += "[";
            for (jsize k = 0; monitors != nullptr && k < env()->GetArrayLength(monitors); ++k)
                line += monitorText(env()->GetObjectArrayElement(monitors, k));
            line += "]@" + text(field(e, "sourceFile", "Ljava/lang/String;"));
            out.push_back(line);
        }
        return out;
    }

    // The monitor's object (by the name the test gave it), owner tid and kind.
    std::string monitorText(jobject monitor) {
        if (monitor == nullptr)
            return "none";
        jobject object = field(monitor, "monitor", "Ljava/lang/Object;");
        std::string name = "?";
        for (size_t i = 0; i < monitorObjects.size(); ++i)
            if (env()->IsSameObject(object, monitorObjects[i]))
                name = "m" + std::to_string(i + 1);
        return name + "/" + std::to_string(longField(monitor, "owner")) + "/" + std::to_string(intField(monitor, "kind"));
    }

    jobject system = nullptr;
    jvmtiEnv *jvmti = nullptr;
    jthread self = nullptr;
    std::vector<jobject> monitorObjects;
};

TEST_F(Threads, CountsListsAndThreadsById) {
    start();
    auto *standard = static_cast<VmManagement *>(JVM_GetManagement(JMM_VERSION_1_0));
    jthread extra = vmhostSimulateThread(env(), "extra", 5, JNI_TRUE, runnable);
    EXPECT_EQ(callInt(system, "getTotalThreadCount", "()I"), standard->getLong(env(), nullptr, JMM_THREAD_LIVE_COUNT));
    EXPECT_EQ(callInt(system, "getTotalThreadCount", "()I"), 3) << "main, the event thread and extra";
    EXPECT_EQ(callInt(system, "getDaemonThreadCount", "()I"), 2);
    auto all = static_cast<jobjectArray>(callObject(system, "getAllThreads0", "()[Ljava/lang/Thread;"));
    ASSERT_EQ(env()->GetArrayLength(all), 3);
    EXPECT_TRUE(env()->IsSameObject(env()->GetObjectArrayElement(all, 2), extra));
    EXPECT_TRUE(env()->IsSameObject(callObject(system, "getThread", "(J)Ljava/lang/Thread;", {jlong_(tid(extra))}), extra));
    EXPECT_EQ(callObject(system, "getThread", "(J)Ljava/lang/Thread;", {jlong_(tid(extra) + 100)}), nullptr);
    vmhostEndSimulatedThread(env(), extra);
    EXPECT_EQ(callInt(system, "getTotalThreadCount", "()I"), 2);
    vmhostFailManagement(session->vm(), "threadsById", -1, JNI_TRUE);
    EXPECT_EQ(callObject(system, "getThread", "(J)Ljava/lang/Thread;", {jlong_(tid(self))}), nullptr);
    EXPECT_EQ(thrown(), "");
}

TEST_F(Threads, SnapshotsMatchTheHostsThreadsInEveryState) {
    start();
    jclass work = session->defineClass("test/Work");
    vmhostSetSourceFile(env(), work, "Work.java");
    jmethodID run = method(work, "run", "()V", {{0, 10}, {4, 11}, {8, 12}});
    jmethodID compute = method(work, "compute", "(I)I", {{8, 22}, {4, 21}, {0, 20}}); // a table in falling order
    jmethodID bare = method(work, "bare", "()V", {});
    jmethodID call = session->addNative(work, "call", "()V", false);
    for (int i = 0; i < 3; ++i)
        monitorObjects.push_back(newObject("java/lang/Object"));

    jthread runner = vmhostSimulateThread(env(), "runner", 7, JNI_FALSE, runnable);
    vmhostPushFrame(env(), runner, run, 5);
    vmhostPushFrame(env(), runner, compute, 9);
    vmhostAddOwnedMonitor(env(), runner, monitorObjects[0], 1);
    vmhostAddOwnedMonitor(env(), runner, monitorObjects[1], 0);
    constexpr jint interrupted = sleeping | JVMTI_THREAD_STATE_INTERRUPTED;
    jthread sleeper = vmhostSimulateThread(env(), "sleeper", 3, JNI_TRUE, interrupted);
    vmhostPushFrame(env(), sleeper, bare, 2);
    jthread waiter = vmhostSimulateThread(env(), "waiter", 5, JNI_FALSE, waiting);
    vmhostPushFrame(env(), waiter, run, 0);
    vmhostSetContendedMonitor(env(), waiter, monitorObjects[1]);
    jthread stuck = vmhostSimulateThread(env(), "stuck", 5, JNI_FALSE, blocked);
    vmhostPushFrame(env(), stuck, run, 9);
    vmhostSetContendedMonitor(env(), stuck, monitorObjects[0]);
    jthread native = vmhostSimulateThread(env(), "native", 5, JNI_FALSE, inNative);
    vmhostPushFrame(env(), native, run, 4);
    vmhostPushFrame(env(), native, call, 0);
    vmhostAddOwnedMonitor(env(), native, monitorObjects[2], 1);
    jthread held = vmhostSimulateThread(env(), "held", 5, JNI_FALSE, runnable);
    jvmtiError mine = JVMTI_ERROR_NONE;
    ASSERT_EQ(jvmti->SuspendThreadList(1, &held, &mine), JVMTI_ERROR_NONE);
    ASSERT_EQ(mine, JVMTI_ERROR_NONE);

    std::vector<jthread> requested = {runner, sleeper, self, waiter, stuck, native, held};
    jobjectArray result = snapshots(requested);
    ASSERT_NE(result, nullptr) << thrown();
    ASSERT_EQ(env()->GetArrayLength(result), 7);
    const char *names[] = {"runner", "sleeper", "main", "waiter", "stuck", "native", "held"};
    // The caller is inside the snapshot native.
    const jint states[] = {runnable, interrupted, inNative, waiting, blocked, inNative, runnable};
    for (jsize i = 0; i < 7; ++i) {
        jobject s = env()->GetObjectArrayElement(result, i);
        ASSERT_NE(s, nullptr) << names[i];
        EXPECT_EQ(text(field(s, "name", "Ljava/lang/String;")), names[i]);
        jint full = states[i] | (i == 2 ? 0 : suspendedBit); // the others were suspended while taken
        EXPECT_EQ(intField(s, "fullState"), full) << names[i];
        EXPECT_EQ(intField(s, "state"), full & ~masked) << names[i];
        EXPECT_EQ(longField(s, "tid"), tid(requested[i])) << names[i];
        EXPECT_EQ(boolField(s, "daemon"), boolField(requested[i], "daemon")) << names[i];
        EXPECT_EQ(intField(s, "priority"), intField(requested[i], "priority")) << names[i];
    }
    auto at = [&](jsize i) { return env()->GetObjectArrayElement(result, i); };
    const std::string owner = std::to_string(tid(runner));
    EXPECT_EQ(trace(at(0)), (std::vector<std::string>{"test.Work.compute:22[m2/" + owner + "/3]@Work.java",
                                                      "test.Work.run:11[m1/" + owner + "/3]@Work.java"}));
    EXPECT_EQ(trace(at(1)), (std::vector<std::string>{"test.Work.bare:-1[]@Work.java"}));
    EXPECT_EQ(trace(at(4)), (std::vector<std::string>{"test.Work.run:12[]@Work.java"}));
    EXPECT_EQ(trace(at(5)), (std::vector<std::string>{"test.Work.call:-2[]@Work.java",
                                                      "test.Work.run:11[m3/" + std::to_string(tid(native)) +
                                                          "/1]@Work.java"}));
    EXPECT_EQ(monitorText(field(at(4), "blockedOn", "Lcom/zun/jvm/ThreadSnapshot$Monitor;")), "m1/" + owner + "/3");
    EXPECT_EQ(monitorText(field(at(4), "waitingOn", "Lcom/zun/jvm/ThreadSnapshot$Monitor;")), "none");
    EXPECT_EQ(monitorText(field(at(3), "waitingOn", "Lcom/zun/jvm/ThreadSnapshot$Monitor;")), "m2/" + owner + "/3");
    EXPECT_EQ(monitorText(field(at(3), "blockedOn", "Lcom/zun/jvm/ThreadSnapshot$Monitor;")), "none");
    EXPECT_EQ(monitorText(field(at(0), "blockedOn", "Lcom/zun/jvm/ThreadSnapshot$Monitor;")), "none");
    // The caller's own stack: the native it runs in.
    std::vector<std::string> own = trace(at(2));
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(own[0], "zun.vexil.ThreadSystemImpl.getThreadSnapshots:-2[]@null");

    // Every thread the snapshot suspended runs again, once suspended each; the caller never was,
    // and the thread someone else holds stays held.
    EXPECT_EQ(vmhostSuspensions(env(), self), 0);
    for (jthread t : {runner, sleeper, waiter, stuck, native}) {
        EXPECT_EQ(vmhostSuspensions(env(), t), 1);
        EXPECT_EQ(threadState(t) & suspendedBit, 0);
    }
    EXPECT_EQ(vmhostSuspensions(env(), held), 1);
    EXPECT_NE(threadState(held) & suspendedBit, 0);
    jvmti->ResumeThreadList(1, &held, &mine);
    EXPECT_EQ(vmhostCheck(session->vm()), 0) << "every tool-interface answer given back";
}

TEST_F(Threads, AFailedSuspendLeavesThatThreadOutAndResumesTheOthers) {
    start();
    jthread first = vmhostSimulateThread(env(), "first", 5, JNI_FALSE, runnable);
    jthread refusing = vmhostSimulateThread(env(), "refusing", 5, JNI_FALSE, sleeping);
    jthread last = vmhostSimulateThread(env(), "last", 5, JNI_FALSE, waiting);
    jthread ended = vmhostSimulateThread(env(), "ended", 5, JNI_FALSE, runnable);
    vmhostEndSimulatedThread(env(), ended);
    vmhostFailSuspend(env(), refusing, JVMTI_ERROR_INTERNAL);
    jobjectArray result = snapshots({first, refusing, ended, self, last});
    ASSERT_NE(result, nullptr) << thrown();
    ASSERT_EQ(env()->GetArrayLength(result), 5);
    EXPECT_EQ(text(field(env()->GetObjectArrayElement(result, 0), "name", "Ljava/lang/String;")), "first");
    EXPECT_EQ(env()->GetObjectArrayElement(result, 1), nullptr);
    EXPECT_EQ(env()->GetObjectArrayElement(result, 2), nullptr);
    EXPECT_EQ(text(field(env()->GetObjectArrayElement(result, 3), "name", "Ljava/lang/String;")), "main");
    EXPECT_EQ(text(field(env()->GetObjectArrayElement(result, 4), "name", "Ljava/lang/String;")), "last");
    for (jthread t : {first, last}) {
        EXPECT_EQ(vmhostSuspensions(env(), t), 1);
        EXPECT_EQ(threadState(t) & suspendedBit, 0);
    }
    EXPECT_EQ(vmhostSuspensions(env(), refusing), 0);
    EXPECT_EQ(threadState(refusing) & suspendedBit, 0);

    // An empty request answers an empty snapshot array.
    jobjectArray none = snapshots({});
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(env()->GetArrayLength(none), 0);
    EXPECT_TRUE(env()->IsInstanceOf(none, env()->FindClass("[Lzun/vexil/ThreadSnapshotImpl;")));
    callObject(system, "getThreadSnapshots", snapshotsSignature, {jvalueOf(jobject(nullptr))});
    EXPECT_EQ(thrown(), "java.lang.NullPointerException: null threads");
}

TEST_F(Threads, TheCallerNamedTwiceIsNeverSuspended) {
    start();
    jthread other = vmhostSimulateThread(env(), "other", 5, JNI_FALSE, sleeping);
    // A VM would stop the caller for good on the second place; the VM here reports it.
    jobjectArray result = snapshots({self, other, self});
    ASSERT_NE(result, nullptr) << thrown();
    for (jsize i : {0, 2}) {
        jobject s = env()->GetObjectArrayElement(result, i);
        ASSERT_NE(s, nullptr) << i;
        EXPECT_EQ(text(field(s, "name", "Ljava/lang/String;")), "main");
        EXPECT_EQ(intField(s, "fullState"), inNative) << "taken running";
    }
    EXPECT_EQ(intField(env()->GetObjectArrayElement(result, 1), "fullState"), sleeping | suspendedBit);
    EXPECT_EQ(vmhostSuspensions(env(), self), 0);
    EXPECT_EQ(vmhostSuspensions(env(), other), 1);
    EXPECT_EQ(threadState(other) & suspendedBit, 0);
    EXPECT_EQ(takeProblems(), "");
}

TEST_F(Threads, MoreThreadsThanTheProcessCanHoldTheirWorkingMemoryForAreOutOfMemory) {
    start();
    // 60 bytes a thread: 3.4 GB, beyond a 32-bit process beside the array's 226 MB. (At a few
    // bytes more a thread, a size counted in 32 bits and not checked wraps round to a few bytes.)
    jclass threadClass = env()->FindClass("java/lang/Thread");
    jobjectArray huge = env()->NewObjectArray(56512728, threadClass, nullptr);
    ASSERT_NE(huge, nullptr) << thrown();
    EXPECT_EQ(callObject(system, "getThreadSnapshots", snapshotsSignature, {jvalueOf(huge)}), nullptr);
    EXPECT_EQ(thrown(), "java.lang.OutOfMemoryError: snapshots");
    env()->DeleteLocalRef(huge);
}

TEST_F(Threads, WithoutSuspendingTheThreadsAreTakenAsTheyRun) {
    start(false);
    jthread other = vmhostSimulateThread(env(), "other", 5, JNI_FALSE, sleeping);
    jobjectArray result = snapshots({other, self});
    ASSERT_NE(result, nullptr) << thrown();
    jobject s = env()->GetObjectArrayElement(result, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(intField(s, "fullState"), sleeping);
    EXPECT_EQ(vmhostSuspensions(env(), other), 0);
}

TEST_F(Threads, TwoMethodsInOneCacheSlotAreEachReportedAsThemselves) {
    start();
    jclass cls = session->defineClass("test/Slots");
    vmhostSetSourceFile(env(), cls, "Slots.java");
    std::vector<jmethodID> methods;
    jmethodID a = nullptr;
    jmethodID b = nullptr;
    for (int i = 0; i < 65 && b == nullptr; ++i) {
        std::string name = "m" + std::to_string(i);
        jmethodID made = method(cls, name.c_str(), "()V", {{0, 100 + i}});
        for (jmethodID earlier : methods) {
            if ((reinterpret_cast<uintptr_t>(earlier) & 0x3f) == (reinterpret_cast<uintptr_t>(made) & 0x3f)) {
                a = earlier;
                b = made;
            }
        }
        methods.push_back(made);
    }
    ASSERT_NE(b, nullptr) << "65 methods share a slot somewhere";
    jthread t = vmhostSimulateThread(env(), "slots", 5, JNI_FALSE, runnable);
    for (jmethodID m : {a, b, a, b})
        vmhostPushFrame(env(), t, m, 3);
    jobjectArray result = snapshots({t});
    ASSERT_NE(result, nullptr);
    std::vector<std::string> frames = trace(env()->GetObjectArrayElement(result, 0));
    auto frameOf = [&](jmethodID m) {
        size_t i = std::find(methods.begin(), methods.end(), m) - methods.begin();
        return "test.Slots.m" + std::to_string(i) + ":" + std::to_string(100 + i) + "[]@Slots.java";
    };
    std::string frameA = frameOf(a);
    std::string frameB = frameOf(b);
    EXPECT_EQ(frames, (std::vector<std::string>{frameB, frameA, frameB, frameA}));
}

TEST_F(Threads, HundredsOfSnapshotsWhileThreadsStartAndEnd) {
    start();
    JavaVM *vm = session->vm();
    std::atomic<bool> stop{false};
    std::atomic<int> cycles{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 3; ++w) {
        workers.emplace_back([&] {
            while (!stop) {
                JNIEnv *own = nullptr;
                if (vm->AttachCurrentThread(reinterpret_cast<void **>(&own), nullptr) != JNI_OK)
                    return;
                jclass c = own->FindClass("java/lang/Object");
                own->DeleteLocalRef(c);
                vm->DetachCurrentThread();
                ++cycles;
            }
        });
    }
    int taken = 0;
    for (int i = 0; i < 300; ++i) {
        env()->PushLocalFrame(64);
        auto all = static_cast<jobjectArray>(callObject(system, "getAllThreads0", "()[Ljava/lang/Thread;"));
        jobject result = callObject(system, "getThreadSnapshots", snapshotsSignature, {jvalueOf(all)});
        EXPECT_EQ(thrown(), "");
        if (result != nullptr && env()->GetArrayLength(static_cast<jarray>(result)) == env()->GetArrayLength(all))
            ++taken;
        env()->PopLocalFrame(nullptr);
    }
    stop = true;
    for (std::thread &worker : workers)
        worker.join();
    EXPECT_EQ(taken, 300);
    EXPECT_GT(cycles.load(), 0);
    EXPECT_EQ(vmhostSuspensions(env(), self), 0);
    EXPECT_EQ(vmhostCheck(session->vm()), 0) << "every reference and allocation given back";
}

} // namespace
