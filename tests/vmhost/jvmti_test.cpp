// The tool interface as agents and natives use it.
#include <atomic>
#include <cstring>
#include <thread>

#include "vm_session.h"

namespace {

class Tool : public VmTest {
protected:
    void SetUp() override {
        VmTest::SetUp();
        ASSERT_EQ(session->vm()->GetEnv(reinterpret_cast<void **>(&jvmti), JVMTI_VERSION_1_0), JNI_OK);
        vmhostMarkBaseline(session->vm());
    }

    void TearDown() override {
        if (jvmti != nullptr)
            jvmti->DisposeEnvironment();
        VmTest::TearDown();
    }

    void addCapabilities(void (*set)(jvmtiCapabilities &)) {
        jvmtiCapabilities wanted{};
        set(wanted);
        ASSERT_EQ(jvmti->AddCapabilities(&wanted), JVMTI_ERROR_NONE);
    }

    std::string errorName(jvmtiError error) {
        char *name = nullptr;
        if (jvmti->GetErrorName(error, &name) != JVMTI_ERROR_NONE)
            return "?";
        std::string text = name;
        jvmti->Deallocate(reinterpret_cast<unsigned char *>(name));
        return text;
    }

    jvmtiEnv *jvmti = nullptr;
};

TEST_F(Tool, ErrorNamesAndMemory) {
    EXPECT_EQ(errorName(JVMTI_ERROR_THREAD_NOT_ALIVE), "JVMTI_ERROR_THREAD_NOT_ALIVE");
    jint version = 0;
    EXPECT_EQ(jvmti->GetVersionNumber(&version), JVMTI_ERROR_NONE);
    EXPECT_EQ(version, JVMTI_VERSION_1_0);
    unsigned char *memory = nullptr;
    EXPECT_EQ(jvmti->Allocate(16, &memory), JVMTI_ERROR_NONE);
    EXPECT_EQ(jvmti->Deallocate(memory), JVMTI_ERROR_NONE);
    EXPECT_EQ(jvmti->Deallocate(memory), JVMTI_ERROR_ILLEGAL_ARGUMENT);
    EXPECT_EQ(takeProblems(), "Deallocate: the memory was not allocated by the tool interface or was deallocated "
                              "already\n");
    EXPECT_EQ(jvmti->Allocate(24, &memory), JVMTI_ERROR_NONE);
    EXPECT_EQ(vmhostCheck(session->vm()), 1);
    EXPECT_EQ(takeProblems(), "tool-interface memory (24 bytes) from Allocate in thread \"main\" was never deallocated\n");
    jvmti->Deallocate(memory);
}

TEST_F(Tool, ADisposedEnvironmentIsReportedByFunctionName) {
    EXPECT_EQ(jvmti->DisposeEnvironment(), JVMTI_ERROR_NONE);
    jint version = 0;
    EXPECT_EQ(jvmti->GetVersionNumber(&version), JVMTI_ERROR_INVALID_ENVIRONMENT);
    EXPECT_EQ(takeProblems(), "GetVersionNumber was called on a disposed environment in thread \"main\"\n");
    jvmti = nullptr;
}

TEST_F(Tool, AnEnvironmentNeverDisposedIsReported) {
    jvmtiEnv *other = nullptr;
    ASSERT_EQ(session->vm()->GetEnv(reinterpret_cast<void **>(&other), JVMTI_VERSION_1_0), JNI_OK);
    EXPECT_EQ(vmhostEnvironments(session->vm(), nullptr, nullptr, 0), 2);
    EXPECT_EQ(vmhostCheck(session->vm()), 1);
    EXPECT_EQ(takeProblems(), "tool-interface environment got in thread \"main\" was never disposed\n");
    other->DisposeEnvironment();
    EXPECT_EQ(vmhostEnvironments(session->vm(), nullptr, nullptr, 0), 1);
}

TEST_F(Tool, ACallMadeToFailAnswersItsErrorOnceOrAlways) {
    JavaVM *vm = session->vm();
    jint version = 0;
    vmhostFailCall(vm, "GetVersionNumber", JVMTI_ERROR_INTERNAL, JNI_FALSE);
    EXPECT_EQ(jvmti->GetVersionNumber(&version), JVMTI_ERROR_INTERNAL);
    EXPECT_EQ(jvmti->GetVersionNumber(&version), JVMTI_ERROR_NONE);
    jvmtiEnv *other = nullptr;
    vmhostFailCall(vm, "GetEnv", JNI_EVERSION, JNI_TRUE);
    EXPECT_EQ(vm->GetEnv(reinterpret_cast<void **>(&other), JVMTI_VERSION_1_0), JNI_EVERSION);
    EXPECT_EQ(vm->GetEnv(reinterpret_cast<void **>(&other), JNI_VERSION_1_4), JNI_EVERSION);
    vmhostFailCall(vm, "GetEnv", 0, JNI_FALSE);
    EXPECT_EQ(vm->GetEnv(reinterpret_cast<void **>(&other), JNI_VERSION_1_4), JNI_OK);
    vmhostFailCall(vm, "NewWeakGlobalRef", 1, JNI_FALSE);
    jobject object = env()->FindClass("java/lang/Object");
    EXPECT_EQ(env()->NewWeakGlobalRef(object), nullptr);
    jweak weak = env()->NewWeakGlobalRef(object);
    EXPECT_NE(weak, nullptr);
    env()->DeleteWeakGlobalRef(weak);
}

TEST_F(Tool, CapabilitiesMustBePotentialAndArePossessedBeforeUse) {
    jvmtiCapabilities all{};
    EXPECT_EQ(jvmti->GetPotentialCapabilities(&all), JVMTI_ERROR_NONE);
    EXPECT_TRUE(all.can_suspend);
    EXPECT_FALSE(all.can_tag_objects);
    jvmtiCapabilities tags{};
    tags.can_tag_objects = 1;
    EXPECT_EQ(jvmti->AddCapabilities(&tags), JVMTI_ERROR_NOT_AVAILABLE);

    jthread self = nullptr;
    jvmti->GetCurrentThread(&self);
    jvmtiError result;
    EXPECT_EQ(jvmti->SuspendThreadList(1, &self, &result), JVMTI_ERROR_MUST_POSSESS_CAPABILITY);
    EXPECT_EQ(jvmti->SetEventNotificationMode(JVMTI_ENABLE, JVMTI_EVENT_GARBAGE_COLLECTION_FINISH, nullptr),
              JVMTI_ERROR_MUST_POSSESS_CAPABILITY);

    jvmtiCapabilities none{};
    vmhostSetPotentialCapabilities(session->vm(), &none);
    jvmtiCapabilities suspend{};
    suspend.can_suspend = 1;
    EXPECT_EQ(jvmti->AddCapabilities(&suspend), JVMTI_ERROR_NOT_AVAILABLE);
}

TEST_F(Tool, RawMonitorsWaitAndNotifyAcrossThreads) {
    jrawMonitorID monitor = nullptr;
    ASSERT_EQ(jvmti->CreateRawMonitor("test monitor", &monitor), JVMTI_ERROR_NONE);
    EXPECT_EQ(jvmti->RawMonitorExit(monitor), JVMTI_ERROR_NOT_MONITOR_OWNER);
    std::atomic<bool> ready{false};
    jvmtiEnv *env = jvmti;
    std::thread notifier([&] {
        env->RawMonitorEnter(monitor);
        ready = true;
        env->RawMonitorNotifyAll(monitor);
        env->RawMonitorExit(monitor);
    });
    jvmti->RawMonitorEnter(monitor);
    jvmti->RawMonitorEnter(monitor); // re-entered: the wait gives both entries up
    while (!ready)
        jvmti->RawMonitorWait(monitor, 1000);
    EXPECT_EQ(jvmti->RawMonitorExit(monitor), JVMTI_ERROR_NONE);
    EXPECT_EQ(jvmti->RawMonitorExit(monitor), JVMTI_ERROR_NONE);
    notifier.join();
    EXPECT_EQ(jvmti->RawMonitorWait(monitor, 1), JVMTI_ERROR_NOT_MONITOR_OWNER);
    EXPECT_EQ(jvmti->DestroyRawMonitor(monitor), JVMTI_ERROR_NONE);
    EXPECT_EQ(jvmti->RawMonitorEnter(monitor), JVMTI_ERROR_INVALID_MONITOR);

    ASSERT_EQ(jvmti->CreateRawMonitor("forgotten", &monitor), JVMTI_ERROR_NONE);
    EXPECT_EQ(vmhostCheck(session->vm()), 1);
    EXPECT_EQ(takeProblems(), "raw monitor \"forgotten\" created in thread \"main\" was never destroyed\n");
    jvmti->DestroyRawMonitor(monitor);
}

TEST_F(Tool, StorageBelongsToTheEnvironmentAndTheThread) {
    int marker = 0;
    EXPECT_EQ(jvmti->SetEnvironmentLocalStorage(&marker), JVMTI_ERROR_NONE);
    void *got = nullptr;
    jvmti->GetEnvironmentLocalStorage(&got);
    EXPECT_EQ(got, &marker);
    jvmtiEnv *other = nullptr;
    session->vm()->GetEnv(reinterpret_cast<void **>(&other), JVMTI_VERSION_1_0);
    other->GetEnvironmentLocalStorage(&got);
    EXPECT_EQ(got, nullptr);
    EXPECT_EQ(jvmti->SetThreadLocalStorage(nullptr, &marker), JVMTI_ERROR_NONE);
    jvmti->GetThreadLocalStorage(nullptr, &got);
    EXPECT_EQ(got, &marker);
    other->GetThreadLocalStorage(nullptr, &got);
    EXPECT_EQ(got, nullptr);
    other->DisposeEnvironment();
}

void JNICALL noop(jvmtiEnv *, JNIEnv *, void *) {}

TEST_F(Tool, RunAgentThreadChecksItsArguments) {
    jthread self = nullptr;
    jvmti->GetCurrentThread(&self);
    EXPECT_EQ(jvmti->RunAgentThread(self, noop, nullptr, 5), JVMTI_ERROR_INVALID_THREAD);
    EXPECT_EQ(jvmti->RunAgentThread(env()->NewStringUTF("x"), noop, nullptr, 5), JVMTI_ERROR_INVALID_THREAD);
    jclass threadClass = env()->FindClass("java/lang/Thread");
    jobject fresh = env()->NewObject(threadClass, env()->GetMethodID(threadClass, "<init>", "()V"));
    EXPECT_EQ(jvmti->RunAgentThread(fresh, noop, nullptr, 11), JVMTI_ERROR_INVALID_PRIORITY);
    EXPECT_EQ(jvmti->RunAgentThread(fresh, nullptr, nullptr, 5), JVMTI_ERROR_NULL_POINTER);
    EXPECT_EQ(takeProblems(), "");
}

// A thread with two frames, owning one monitor and blocked on another owned by a second thread.
class Threads : public Tool {
protected:
    void SetUp() override {
        Tool::SetUp();
        addCapabilities([](jvmtiCapabilities &c) {
            c.can_suspend = 1;
            c.can_get_owned_monitor_info = 1;
            c.can_get_owned_monitor_stack_depth_info = 1;
            c.can_get_current_contended_monitor = 1;
            c.can_get_monitor_info = 1;
            c.can_get_line_numbers = 1;
            c.can_get_source_file_name = 1;
        });
        jclass worker = session->defineClass("vmtest/Worker");
        vmhostSetSourceFile(env(), worker, "Worker.java");
        run = session->addMethod(worker, "run", "()V", 1, [](JNIEnv *, jobject, const jvalue *) { return jvalue{}; });
        step = session->addNative(worker, "step", "(I)I");
        jvmtiLineNumberEntry lines[] = {{0, 10}, {5, 12}};
        vmhostSetLineNumbers(env(), run, lines, 2);
        held = env()->NewStringUTF("held");
        wanted = env()->NewStringUTF("wanted");
        blocked = vmhostSimulateThread(env(), "blocked", 7, JNI_TRUE,
                                       JVMTI_THREAD_STATE_ALIVE | JVMTI_THREAD_STATE_BLOCKED_ON_MONITOR_ENTER);
        vmhostPushFrame(env(), blocked, run, 5);
        vmhostPushFrame(env(), blocked, step, 0);
        vmhostAddOwnedMonitor(env(), blocked, held, 1);
        vmhostSetContendedMonitor(env(), blocked, wanted);
        owner = vmhostSimulateThread(env(), "owner", 5, JNI_FALSE, JVMTI_THREAD_STATE_ALIVE | JVMTI_THREAD_STATE_RUNNABLE);
        vmhostAddOwnedMonitor(env(), owner, wanted, 0);
    }

    jmethodID run = nullptr;
    jmethodID step = nullptr;
    jobject held = nullptr;
    jobject wanted = nullptr;
    jthread blocked = nullptr;
    jthread owner = nullptr;
};

TEST_F(Threads, StacksStatesAndLineTables) {
    jthread list[] = {blocked, owner};
    jvmtiStackInfo *stacks = nullptr;
    ASSERT_EQ(jvmti->GetThreadListStackTraces(2, list, 10, &stacks), JVMTI_ERROR_NONE);
    ASSERT_EQ(stacks[0].frame_count, 2);
    EXPECT_EQ(stacks[0].frame_buffer[0].method, step); // top first
    EXPECT_EQ(stacks[0].frame_buffer[0].location, -1);
    EXPECT_EQ(stacks[0].frame_buffer[1].method, run);
    EXPECT_EQ(stacks[0].frame_buffer[1].location, 5);
    EXPECT_EQ(stacks[0].state, JVMTI_THREAD_STATE_ALIVE | JVMTI_THREAD_STATE_BLOCKED_ON_MONITOR_ENTER);
    EXPECT_TRUE(env()->IsSameObject(stacks[1].thread, owner));
    EXPECT_EQ(stacks[1].frame_count, 0);
    jvmti->Deallocate(reinterpret_cast<unsigned char *>(stacks));

    jint count = 0;
    jvmtiLineNumberEntry *lines = nullptr;
    ASSERT_EQ(jvmti->GetLineNumberTable(run, &count, &lines), JVMTI_ERROR_NONE);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(lines[1].line_number, 12);
    jvmti->Deallocate(reinterpret_cast<unsigned char *>(lines));
    EXPECT_EQ(jvmti->GetLineNumberTable(step, &count, &lines), JVMTI_ERROR_NATIVE_METHOD);

    jclass declaring = nullptr;
    jvmti->GetMethodDeclaringClass(run, &declaring);
    char *signature = nullptr;
    char *source = nullptr;
    jvmti->GetClassSignature(declaring, &signature, nullptr);
    jvmti->GetSourceFileName(declaring, &source);
    EXPECT_STREQ(signature, "Lvmtest/Worker;");
    EXPECT_STREQ(source, "Worker.java");
    jvmti->Deallocate(reinterpret_cast<unsigned char *>(signature));
    jvmti->Deallocate(reinterpret_cast<unsigned char *>(source));
}

TEST_F(Threads, AnEndedThreadKeepsItsPlaceInAStackList) {
    vmhostEndSimulatedThread(env(), blocked);
    jthread list[] = {blocked, owner};
    jvmtiStackInfo *stacks = nullptr;
    ASSERT_EQ(jvmti->GetThreadListStackTraces(2, list, 10, &stacks), JVMTI_ERROR_NONE);
    EXPECT_EQ(stacks[0].state, JVMTI_THREAD_STATE_TERMINATED);
    EXPECT_EQ(stacks[0].frame_count, 0);
    EXPECT_TRUE(env()->IsSameObject(stacks[1].thread, owner));
    jvmti->Deallocate(reinterpret_cast<unsigned char *>(stacks));
    jobject contended = wanted;
    EXPECT_EQ(jvmti->GetCurrentContendedMonitor(blocked, &contended), JVMTI_ERROR_THREAD_NOT_ALIVE);
}

TEST_F(Threads, MonitorsOwnedContendedAndTheirUsage) {
    jint count = 0;
    jvmtiMonitorStackDepthInfo *owned = nullptr;
    ASSERT_EQ(jvmti->GetOwnedMonitorStackDepthInfo(blocked, &count, &owned), JVMTI_ERROR_NONE);
    ASSERT_EQ(count, 1);
    EXPECT_TRUE(env()->IsSameObject(owned[0].monitor, held));
    EXPECT_EQ(owned[0].stack_depth, 1);
    jvmti->Deallocate(reinterpret_cast<unsigned char *>(owned));

    jobject contended = nullptr;
    jvmti->GetCurrentContendedMonitor(blocked, &contended);
    EXPECT_TRUE(env()->IsSameObject(contended, wanted));
    jvmtiMonitorUsage usage{};
    ASSERT_EQ(jvmti->GetObjectMonitorUsage(wanted, &usage), JVMTI_ERROR_NONE);
    EXPECT_TRUE(env()->IsSameObject(usage.owner, owner));
    ASSERT_EQ(usage.waiter_count, 1);
    EXPECT_TRUE(env()->IsSameObject(usage.waiters[0], blocked));
    EXPECT_EQ(usage.notify_waiter_count, 0);
    EXPECT_EQ(usage.notify_waiters, nullptr);
    jvmti->Deallocate(reinterpret_cast<unsigned char *>(usage.waiters));
}

TEST_F(Threads, SuspensionResultsPerThread) {
    vmhostEndSimulatedThread(env(), owner);
    jthread self = nullptr;
    jvmti->GetCurrentThread(&self);
    jthread list[] = {blocked, owner, blocked};
    jvmtiError results[3];
    ASSERT_EQ(jvmti->SuspendThreadList(3, list, results), JVMTI_ERROR_NONE);
    EXPECT_EQ(results[0], JVMTI_ERROR_NONE);
    EXPECT_EQ(results[1], JVMTI_ERROR_THREAD_NOT_ALIVE);
    EXPECT_EQ(results[2], JVMTI_ERROR_THREAD_SUSPENDED);
    jint state = 0;
    jvmti->GetThreadState(blocked, &state);
    EXPECT_NE(state & JVMTI_THREAD_STATE_SUSPENDED, 0);
    EXPECT_EQ(jvmti->ResumeThreadList(1, list, results), JVMTI_ERROR_NONE);
    EXPECT_EQ(results[0], JVMTI_ERROR_NONE);
    EXPECT_EQ(jvmti->ResumeThread(blocked), JVMTI_ERROR_THREAD_NOT_SUSPENDED);
    EXPECT_EQ(vmhostSuspensions(env(), blocked), 1);
    vmhostFailSuspend(env(), blocked, JVMTI_ERROR_INTERNAL);
    ASSERT_EQ(jvmti->SuspendThreadList(1, list, results), JVMTI_ERROR_NONE);
    EXPECT_EQ(results[0], JVMTI_ERROR_INTERNAL);
    vmhostFailSuspend(env(), blocked, JVMTI_ERROR_NONE);
    EXPECT_EQ(vmhostSuspensions(env(), blocked), 1);
    EXPECT_EQ(vmhostSuspensions(env(), self), 0);
    // A VM would stop the caller here; this one says so, and counts the suspension.
    ASSERT_EQ(jvmti->SuspendThreadList(1, &self, results), JVMTI_ERROR_NONE);
    EXPECT_EQ(vmhostSuspensions(env(), self), 1);
    EXPECT_EQ(takeProblems(), "SuspendThreadList: the calling thread \"main\" was asked to suspend itself in "
                              "thread \"main\": a VM would not return until another thread resumed it\n");
    EXPECT_EQ(jvmti->ResumeThreadList(1, &self, results), JVMTI_ERROR_NONE);

    jint count = 0;
    jthread *all = nullptr;
    jvmti->GetAllThreads(&count, &all);
    EXPECT_EQ(count, 2); // main and the blocked thread
    jvmti->Deallocate(reinterpret_cast<unsigned char *>(all));
}

// Events reach the environments that enabled them.
struct Seen {
    int classLoads = 0;
    int compiled = 0;
    int collections = 0;
    std::string hookName;
};
Seen seen;

void JNICALL onClassLoad(jvmtiEnv *, JNIEnv *, jthread, jclass) { ++seen.classLoads; }
void JNICALL onCompiled(jvmtiEnv *, jmethodID, jint, const void *, jint, const jvmtiAddrLocationMap *, const void *) {
    ++seen.compiled;
}
void JNICALL onCollection(jvmtiEnv *) { ++seen.collections; }
void JNICALL onClassFile(jvmtiEnv *jvmti, JNIEnv *, jclass, jobject, const char *name, jobject, jint length,
                         const unsigned char *data, jint *newLength, unsigned char **newData) {
    seen.hookName = name;
    if (jvmti->Allocate(length + 1, newData) != JVMTI_ERROR_NONE)
        return;
    memcpy(*newData, data, length);
    (*newData)[length] = 0x42;
    *newLength = length + 1;
}

TEST_F(Tool, EventsGoToTheEnvironmentsThatEnabledThem) {
    seen = Seen{};
    addCapabilities([](jvmtiCapabilities &c) {
        c.can_generate_compiled_method_load_events = 1;
        c.can_generate_garbage_collection_events = 1;
        c.can_retransform_classes = 1;
    });
    jvmtiEventCallbacks callbacks{};
    callbacks.ClassLoad = onClassLoad;
    callbacks.CompiledMethodLoad = onCompiled;
    callbacks.GarbageCollectionFinish = onCollection;
    callbacks.ClassFileLoadHook = onClassFile;
    ASSERT_EQ(jvmti->SetEventCallbacks(&callbacks, sizeof callbacks), JVMTI_ERROR_NONE);
    for (jvmtiEvent event : {JVMTI_EVENT_CLASS_LOAD, JVMTI_EVENT_COMPILED_METHOD_LOAD,
                             JVMTI_EVENT_GARBAGE_COLLECTION_FINISH, JVMTI_EVENT_CLASS_FILE_LOAD_HOOK})
        ASSERT_EQ(jvmti->SetEventNotificationMode(JVMTI_ENABLE, event, nullptr), JVMTI_ERROR_NONE);

    const unsigned char bytes[] = {0xCA, 0xFE, 0xBA, 0xBE, 0, 0, 0, 0x34};
    jclass loaded = vmhostDefineClass(env(), "vmtest/Loaded", nullptr, nullptr, bytes, sizeof bytes);
    EXPECT_EQ(seen.hookName, "vmtest/Loaded");
    EXPECT_EQ(seen.classLoads, 1);
    EXPECT_EQ(vmhostClassBytes(env(), loaded, nullptr, 0), 9);
    EXPECT_EQ(jvmti->RetransformClasses(1, &loaded), JVMTI_ERROR_NONE);
    EXPECT_EQ(vmhostClassBytes(env(), loaded, nullptr, 0), 10);

    jmethodID method = session->addMethod(loaded, "m", "()V", 0, [](JNIEnv *, jobject, const jvalue *) { return jvalue{}; });
    vmhostPostCompiledMethodLoad(env(), method, 64, nullptr);
    vmhostCollectGarbage(env(), JNI_FALSE, JNI_TRUE);
    EXPECT_EQ(seen.compiled, 1);
    EXPECT_EQ(seen.collections, 1);

    jvmti->SetEventNotificationMode(JVMTI_DISABLE, JVMTI_EVENT_CLASS_LOAD, nullptr);
    vmhostPostClassLoad(env(), loaded);
    EXPECT_EQ(seen.classLoads, 1);
}

TEST_F(Tool, RedefinitionNeedsAClassFile) {
    addCapabilities([](jvmtiCapabilities &c) { c.can_redefine_classes = 1; });
    jclass target = session->defineClass("vmtest/Target");
    const unsigned char garbage[] = {1, 2, 3, 4, 5, 6, 7, 8};
    jvmtiClassDefinition definition{target, sizeof garbage, garbage};
    EXPECT_EQ(jvmti->RedefineClasses(1, &definition), JVMTI_ERROR_INVALID_CLASS_FORMAT);
    const unsigned char good[] = {0xCA, 0xFE, 0xBA, 0xBE, 0, 0, 0, 0x34, 9};
    definition = {target, sizeof good, good};
    EXPECT_EQ(jvmti->RedefineClasses(1, &definition), JVMTI_ERROR_NONE);
    EXPECT_EQ(vmhostClassBytes(env(), target, nullptr, 0), 9);
    jclass array = env()->FindClass("[I");
    definition.klass = array;
    EXPECT_EQ(jvmti->RedefineClasses(1, &definition), JVMTI_ERROR_UNMODIFIABLE_CLASS);
}

} // namespace
