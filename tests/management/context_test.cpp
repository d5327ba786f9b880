// The native context of a JVMImpl: creation and its failures, the event thread delivering
// class-load, compilation and collection events, the class file hook, and destruction.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "vexil_test.h"

namespace {

// The call log gathered until it holds `lines` lines of `what`, or a few seconds passed.
std::string waitForCalls(std::string &log, const std::string &what, int lines) {
    for (int i = 0; i < 500; ++i) {
        log += takeCallLog();
        int found = 0;
        for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1))
            ++found;
        if (found >= lines)
            break;
        Sleep(10);
    }
    return log;
}

int countOf(const std::string &log, const std::string &what) {
    int found = 0;
    for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1))
        ++found;
    return found;
}

class Context : public VexilTest {
protected:
    void SetUp() override {
        VexilTest::SetUp();
        load();
    }

    // Whether a thread of that name is alive in the VM.
    bool threadAlive(const char *name) {
        jvmtiEnv *jvmti = nullptr;
        session->vm()->GetEnv(reinterpret_cast<void **>(&jvmti), JVMTI_VERSION_1_0);
        jint count = 0;
        jthread *threads = nullptr;
        jvmti->GetAllThreads(&count, &threads);
        bool found = false;
        for (jint i = 0; i < count; ++i) {
            found = found || text(field(threads[i], "name", "Ljava/lang/String;")) == name;
            env()->DeleteLocalRef(threads[i]);
        }
        jvmti->Deallocate(reinterpret_cast<unsigned char *>(threads));
        jvmti->DisposeEnvironment();
        return found;
    }

    // Whether it leaves within five seconds.
    bool threadEnds(const char *name) {
        for (int i = 0; i < 500; ++i) {
            if (!threadAlive(name))
                return true;
            Sleep(10);
        }
        return false;
    }
};

TEST_F(Context, EventThreadDeliversEachClassLoadAndEndsAtDestroy) {
    startJvm();
    ASSERT_NE(jvm, nullptr);
    EXPECT_NE(longField(jvm, "handle"), 0);
    EXPECT_TRUE(threadAlive("Management Event Thread"));
    jobject library = component("zun/vexil/ClassLibraryImpl");
    callVoid(library, "addedFirstListener", "()V");
    for (const char *name : {"test/A", "test/B", "test/C"})
        session->defineClass(name);
    std::string log;
    waitForCalls(log, "onClassLoad", 3);
    EXPECT_EQ(log, "zun.vexil.JVMImpl.onClassLoad(test.A)\nzun.vexil.JVMImpl.onClassLoad(test.B)\n"
                   "zun.vexil.JVMImpl.onClassLoad(test.C)\n");
    callVoid(library, "removedLastListener", "()V");
    session->defineClass("test/D");

    jobject made = jvm;
    DWORD before = GetTickCount();
    destroyJvm();
    // The thread wakes on the destroy and ends; a slow machine may take its time, but not forever.
    EXPECT_LT(GetTickCount() - before, 30000u);
    EXPECT_EQ(longField(made, "handle"), 0) << "nothing left to find";
    // The agent's routine has returned; the VM drops the thread from its list just after.
    EXPECT_TRUE(threadEnds("Management Event Thread"));
    EXPECT_EQ(takeCallLog(), "") << "no event after the listener went";
    EXPECT_EQ(vmhostCheck(session->vm()), 0) << "every reference and the monitor given back";
}

TEST_F(Context, CompilationAndCollectionEvents) {
    startJvm();
    jobject compilation = component("zun/vexil/CompilationSystemImpl");
    jobject collector = component("zun/vexil/GarbageCollectorImpl");
    callVoid(compilation, "addedFirstListener", "()V");
    callVoid(collector, "addedFirstListener", "()V");
    jclass cls = session->defineClass("test/Compiled");
    jmethodID method = session->addMethod(cls, "work", "(I)J", 0x1, [](JNIEnv *, jobject, const jvalue *) { return jvalue{}; });
    jmethodID staticMethod = session->addMethod(cls, "run", "()V", 0x9, [](JNIEnv *, jobject, const jvalue *) { return jvalue{}; });
    takeCallLog();

    // Compile information travels only once initStrategies found attribute 201 true.
    jint info[4] = {7, 99, 0x12345678, 0x9};
    vmhostPostCompiledMethodLoad(env(), method, 64, info);
    std::string log;
    waitForCalls(log, "onCompiled", 1);
    EXPECT_EQ(log, "zun.vexil.JVMImpl.onCompiled(test.Compiled.work(I)J, 0, 0)\n");
    // Attribute 201 decides, not its neighbour 200.
    vmhostSetBoolAttribute(session->vm(), 200, JNI_FALSE);
    vmhostSetBoolAttribute(session->vm(), 201, JNI_TRUE);
    jobjectArray strategies = static_cast<jobjectArray>(callObject(compilation, "initStrategies", "()[Lzun/vexil/CGStrategyImpl;"));
    ASSERT_NE(strategies, nullptr);
    vmhostPostCompiledMethodLoad(env(), staticMethod, 64, info);
    vmhostPostCompiledMethodLoad(env(), method, 64, nullptr);
    log.clear();
    waitForCalls(log, "onCompiled", 2);
    EXPECT_EQ(log, "zun.vexil.JVMImpl.onCompiled(test.Compiled.run()V, 7, 38960125560)\n"
                   "zun.vexil.JVMImpl.onCompiled(test.Compiled.work(I)J, 0, 0)\n");

    // Kind 2 with the second flag, else 1 with the first clear, else 0.
    vmhostCollectGarbage(env(), JNI_FALSE, JNI_FALSE);
    vmhostCollectGarbage(env(), JNI_TRUE, JNI_FALSE);
    vmhostCollectGarbage(env(), JNI_TRUE, JNI_TRUE);
    log.clear();
    waitForCalls(log, "onGCEnd", 3);
    EXPECT_EQ(countOf(log, "onGCEnd("), 3);
    EXPECT_NE(log.find("onGCEnd(1, 1, "), std::string::npos) << log;
    EXPECT_NE(log.find("onGCEnd(2, 0, "), std::string::npos) << log;
    // The record's three longs in order: the last collection's start, end and length.
    auto *extension = static_cast<VmManagementExt *>(JVM_GetManagement(JMM_EXT_VERSION));
    jlong start = extension->getLong(env(), nullptr, 151);
    jlong end = extension->getLong(env(), nullptr, 152);
    EXPECT_NE(log.find("onGCEnd(3, 2, " + std::to_string(start) + ", " + std::to_string(end) + ", " +
                       std::to_string(end - start) + ")"),
              std::string::npos)
        << log;
    callVoid(collector, "removedLastListener", "()V");
    callVoid(compilation, "removedLastListener", "()V");
}

// The context's own environment: the last one got that is not disposed.
struct EnvironmentSeen {
    jvmtiCapabilities held;
    jvmtiEventCallbacks callbacks;
};

EnvironmentSeen lastEnvironment(JavaVM *vm) {
    jvmtiCapabilities held[8] = {};
    jvmtiEventCallbacks callbacks[8] = {};
    jint count = vmhostEnvironments(vm, held, callbacks, 8);
    EXPECT_GT(count, 0);
    EXPECT_LE(count, 8);
    return count > 0 && count <= 8 ? EnvironmentSeen{held[count - 1], callbacks[count - 1]} : EnvironmentSeen{};
}

std::string words(const jvmtiCapabilities &capabilities) {
    unsigned w[4];
    memcpy(w, &capabilities, sizeof w);
    char text[64];
    snprintf(text, sizeof text, "%08x %08x %08x %08x", w[0], w[1], w[2], w[3]);
    return text;
}

TEST_F(Context, EachCreationStepThatFailsThrowsItsMessageAndLeavesNothing) {
    struct Step {
        const char *call;
        jint error;
        const char *message;
    };
    const Step steps[] = {
        {"GetEnv", JNI_EVERSION, "could not acquire JVMTI interface"},
        {"SetEnvironmentLocalStorage", JVMTI_ERROR_INTERNAL, "could not setup environment storage"},
        {"GetPotentialCapabilities", JVMTI_ERROR_INTERNAL, "JVMTI broken!"},
        {"SetEventCallbacks", JVMTI_ERROR_INTERNAL, "could not set callbacks"},
        {"CreateRawMonitor", JVMTI_ERROR_OUT_OF_MEMORY, "could not create event monitor"},
        {"NewWeakGlobalRef", 1, "could not create weak backer"},
        {"RunAgentThread", JVMTI_ERROR_OUT_OF_MEMORY, "failed to start thread"},
    };
    for (const Step &step : steps) {
        jobject made = newObject("zun/vexil/JVMImpl");
        vmhostFailCall(session->vm(), step.call, step.error, JNI_FALSE);
        callVoid(made, "init", "()V");
        EXPECT_EQ(thrown(), std::string("com.zun.jvm.NotAvailableException: ") + step.message) << step.call;
        EXPECT_EQ(longField(made, "handle"), 0) << step.call;
        EXPECT_EQ(vmhostCheck(session->vm()), 0) << step.call << ": environment, monitor and references given back";
        vmhostFailCall(session->vm(), step.call, 0, JNI_FALSE);
    }
    // A failed capability request is thrown once creation is through: a later failure keeps it.
    jobject made = newObject("zun/vexil/JVMImpl");
    vmhostFailCall(session->vm(), "AddCapabilities", JVMTI_ERROR_NOT_AVAILABLE, JNI_FALSE);
    vmhostFailCall(session->vm(), "CreateRawMonitor", JVMTI_ERROR_OUT_OF_MEMORY, JNI_FALSE);
    callVoid(made, "init", "()V");
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: could not acquire capabilties");
    EXPECT_EQ(longField(made, "handle"), 0);
    EXPECT_EQ(vmhostCheck(session->vm()), 0);
}

TEST_F(Context, CreationGoesOnWithoutTheCapabilities) {
    jobject made = newObject("zun/vexil/JVMImpl");
    vmhostFailCall(session->vm(), "AddCapabilities", JVMTI_ERROR_NOT_AVAILABLE, JNI_FALSE);
    callVoid(made, "init", "()V");
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: could not acquire capabilties");
    EXPECT_NE(longField(made, "handle"), 0);
    EXPECT_TRUE(threadAlive("Management Event Thread"));
    jvm = made;
    jobject library = component("zun/vexil/ClassLibraryImpl");
    callVoid(library, "addedFirstListener", "()V");
    session->defineClass("test/Seen");
    std::string log;
    EXPECT_EQ(waitForCalls(log, "onClassLoad", 1), "zun.vexil.JVMImpl.onClassLoad(test.Seen)\n");
}

TEST_F(Context, KeepsOnlyTheNamedCapabilitiesOfWhatTheVmOffers) {
    jvmtiCapabilities everything;
    memset(&everything, 0xFF, sizeof everything);
    vmhostSetPotentialCapabilities(session->vm(), &everything);
    startJvm();
    jvmtiCapabilities expected{};
    expected.can_get_bytecodes = 1;
    expected.can_get_synthetic_attribute = 1;
    expected.can_get_owned_monitor_info = 1;
    expected.can_get_current_contended_monitor = 1;
    expected.can_get_monitor_info = 1;
    expected.can_redefine_classes = 1;
    expected.can_signal_thread = 1;
    expected.can_get_source_file_name = 1;
    expected.can_get_line_numbers = 1;
    expected.can_get_source_debug_extension = 1;
    expected.can_maintain_original_method_order = 1;
    expected.can_suspend = 1;
    expected.can_redefine_any_class = 1;
    expected.can_get_current_thread_cpu_time = 1;
    expected.can_get_thread_cpu_time = 1;
    expected.can_generate_all_class_hook_events = 1;
    expected.can_generate_compiled_method_load_events = 1;
    expected.can_generate_native_method_bind_events = 1;
    expected.can_generate_garbage_collection_events = 1;
    // Of the second word, all but three.
    const unsigned all = ~0u;
    memcpy(reinterpret_cast<unsigned char *>(&expected) + sizeof all, &all, sizeof all);
    expected.can_generate_object_free_events = 0;
    expected.can_force_early_return = 0;
    expected.can_retransform_classes = 0;
    EXPECT_EQ(words(lastEnvironment(session->vm()).held), words(expected));
}

TEST_F(Context, CallbacksFollowTheCapabilitiesKept) {
    struct Row {
        void (*drop)(jvmtiCapabilities &);
        bool hook, compiled, collection;
    };
    const Row rows[] = {
        {[](jvmtiCapabilities &) {}, true, true, true},
        {[](jvmtiCapabilities &c) { c.can_generate_all_class_hook_events = 0; }, false, true, true},
        {[](jvmtiCapabilities &c) { c.can_generate_compiled_method_load_events = 0; }, true, false, true},
        {[](jvmtiCapabilities &c) { c.can_generate_garbage_collection_events = 0; }, true, true, false},
    };
    for (const Row &row : rows) {
        jvmtiCapabilities potential;
        memset(&potential, 0xFF, sizeof potential);
        row.drop(potential);
        vmhostSetPotentialCapabilities(session->vm(), &potential);
        startJvm();
        jvmtiEventCallbacks callbacks = lastEnvironment(session->vm()).callbacks;
        EXPECT_NE(callbacks.ClassLoad, nullptr);
        EXPECT_EQ(callbacks.ClassFileLoadHook != nullptr, row.hook);
        EXPECT_EQ(callbacks.CompiledMethodLoad != nullptr, row.compiled);
        EXPECT_EQ(callbacks.GarbageCollectionFinish != nullptr, row.collection);
        destroyJvm();
    }
}

TEST_F(Context, TheEventThreadRunsAtNormalPriority) {
    jobject made = newObject("zun/vexil/JVMImpl");
    jobject thread = field(made, "eventThread", "Ljava/lang/Thread;");
    jclass threadClass = env()->FindClass("java/lang/Thread");
    env()->SetIntField(thread, env()->GetFieldID(threadClass, "priority", "I"), 1);
    callVoid(made, "init", "()V");
    ASSERT_EQ(thrown(), "");
    jvm = made;
    EXPECT_EQ(intField(thread, "priority"), JVMTI_THREAD_NORM_PRIORITY);
}

TEST_F(Context, AnEventOnAnEnvironmentWithoutItsContextThrowsUnattached) {
    jclass lost = session->defineClass("test/Lost");
    startJvm();
    jobject library = component("zun/vexil/ClassLibraryImpl");
    callVoid(library, "addedFirstListener", "()V");
    vmhostFailCall(session->vm(), "GetEnvironmentLocalStorage", JVMTI_ERROR_INTERNAL, JNI_FALSE);
    vmhostPostClassLoad(env(), lost);
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: unattached");
    session->defineClass("test/Found");
    std::string log;
    EXPECT_EQ(waitForCalls(log, "onClassLoad", 1), "zun.vexil.JVMImpl.onClassLoad(test.Found)\n")
        << "nothing was queued for the event without its context";
}

TEST_F(Context, CreationFailuresAndLookups) {
    jobject unborn = newObject("zun/vexil/JVMImpl");
    callVoid(unborn, "destroy", "()V");
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: uninitialized jvm component");

    jclass cls = env()->GetObjectClass(unborn);
    env()->SetObjectField(unborn, env()->GetFieldID(cls, "eventThread", "Ljava/lang/Thread;"), nullptr);
    callVoid(unborn, "init", "()V");
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: missing event thread");
    EXPECT_EQ(longField(unborn, "handle"), 0);
    EXPECT_EQ(vmhostCheck(session->vm()), 0) << "the partly built context was taken apart";

    // An event thread object that already runs cannot run the event loop.
    jobject running = newObject("zun/vexil/JVMImpl");
    jclass threadClass = env()->FindClass("java/lang/Thread");
    jobject self = env()->CallStaticObjectMethod(threadClass, env()->GetStaticMethodID(threadClass, "currentThread", "()Ljava/lang/Thread;"));
    env()->SetObjectField(running, env()->GetFieldID(cls, "eventThread", "Ljava/lang/Thread;"), self);
    callVoid(running, "init", "()V");
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: failed to start thread");
    EXPECT_EQ(vmhostCheck(session->vm()), 0);

    jobject orphan = newObject("zun/vexil/ClassLibraryImpl");
    callObject(orphan, "getAllClasses0", "(Ljava/lang/String;)[Ljava/lang/Class;", {jvalueOf(jobject(nullptr))});
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: uninitialized jvm component");
}

TEST_F(Context, ClassFileHookOffersEachClassOnceAndTakesJavasBytes) {
    static std::atomic<int> offered;
    offered = 0;
    jclass cls = jvmSubclass("test/HookingJVM");
    session->addMethod(cls, "onClassFileHook", "(Ljava/lang/ClassLoader;Ljava/lang/String;[B)[B", 0x1,
                       [](JNIEnv *e, jobject, const jvalue *args) {
                           ++offered;
                           // Loading another class from the hook does not come back here.
                           const unsigned char inner[8] = {0xCA, 0xFE, 0xBA, 0xBE, 0, 0, 0, 1};
                           vmhostDefineClass(e, "test/Inner", nullptr, nullptr, inner, sizeof inner);
                           auto bytes = static_cast<jbyteArray>(args[2].l);
                           jsize length = e->GetArrayLength(bytes);
                           jbyteArray changed = e->NewByteArray(length + 1);
                           jbyte *copy = e->GetByteArrayElements(bytes, nullptr);
                           e->SetByteArrayRegion(changed, 0, length, copy);
                           e->ReleaseByteArrayElements(bytes, copy, JNI_ABORT);
                           jbyte last = 0x42;
                           e->SetByteArrayRegion(changed, length, 1, &last);
                           jvalue result{};
                           result.l = changed;
                           return result;
                       });
    startJvm("test/HookingJVM");
    jobject library = component("zun/vexil/ClassLibraryImpl");
    callVoid(library, "setPreprocessing", "(Z)V", {jbool_(true)});
    const unsigned char bytes[8] = {0xCA, 0xFE, 0xBA, 0xBE, 0, 0, 0, 52};
    jclass outer = vmhostDefineClass(env(), "test/Outer", nullptr, nullptr, bytes, sizeof bytes);
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(offered, 1);
    unsigned char after[16] = {};
    ASSERT_EQ(vmhostClassBytes(env(), outer, after, sizeof after), 9);
    EXPECT_EQ(after[8], 0x42);
    jclass inner = env()->FindClass("test/Inner");
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(vmhostClassBytes(env(), inner, nullptr, 0), 8) << "the inner class kept its bytes";

    callVoid(library, "setPreprocessing", "(Z)V", {jbool_(false)});
    vmhostDefineClass(env(), "test/Later", nullptr, nullptr, bytes, sizeof bytes);
    EXPECT_EQ(offered, 1);
}

TEST_F(Context, ClassesLoadedOnAnotherThreadWhileContextsAreDestroyed) {
    jclass loaded = static_cast<jclass>(env()->NewGlobalRef(session->defineClass("test/Busy")));
    JavaVM *vm = session->vm();
    std::atomic<bool> stop{false}, running{true};
    std::atomic<int> posted{0}, exceptions{0};
    std::thread loader([&] {
        JNIEnv *own = nullptr;
        if (vm->AttachCurrentThread(reinterpret_cast<void **>(&own), nullptr) == JNI_OK) {
            for (; !stop; ++posted) {
                vmhostPostClassLoad(own, loaded);
                if (own->ExceptionCheck()) {
                    ++exceptions;
                    own->ExceptionClear();
                }
            }
            vm->DetachCurrentThread();
        }
        running = false;
    });
    // Each start and each destroy overlaps at least one of the loader's events.
    auto overlap = [&] {
        for (int seen = posted; posted == seen && running;)
            Sleep(1);
    };
    for (int i = 0; i < 40 && running; ++i) {
        overlap();
        startJvm();
        callVoid(component("zun/vexil/ClassLibraryImpl"), "addedFirstListener", "()V");
        overlap();
        destroyJvm();
    }
    stop = true;
    loader.join();
    takeCallLog();
    env()->DeleteGlobalRef(loaded);
    EXPECT_GT(posted, 0);
    EXPECT_EQ(exceptions, 0) << "the loading thread was left an exception";
    EXPECT_EQ(vmhostCheck(vm), 0) << "every queued event released, every monitor destroyed";
}

TEST_F(Context, DestroyFromAnEventOnTheEventThreadEndsItWithoutWaitingForItself) {
    static jobject target;
    jclass cls = jvmSubclass("test/SelfEndingJVM");
    session->addMethod(cls, "onClassLoad", "(Ljava/lang/Class;)V", 0x1, [](JNIEnv *e, jobject self, const jvalue *) {
        jclass own = e->GetObjectClass(self);
        e->CallVoidMethod(self, e->GetMethodID(own, "destroy", "()V"));
        e->DeleteLocalRef(own);
        return jvalue{};
    });
    target = startJvm("test/SelfEndingJVM");
    jvm = nullptr; // it ends itself
    jobject library = component("zun/vexil/ClassLibraryImpl");
    env()->SetObjectField(library, env()->GetFieldID(env()->GetObjectClass(library), "jvm", "Lzun/vexil/JVMImpl;"), target);
    callVoid(library, "addedFirstListener", "()V");
    for (const char *name : {"test/E1", "test/E2", "test/E3"})
        session->defineClass(name);
    EXPECT_TRUE(threadEnds("Management Event Thread"));
    EXPECT_EQ(longField(target, "handle"), 0);
    EXPECT_EQ(vmhostCheck(session->vm()), 0) << "queued events released, monitor destroyed";
}

} // namespace
