// Creating and destroying the context, its event queue and event thread, and the tool-interface
// callbacks that feed the queue.
#include "management_context.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "java_support.h"
#include "vm_binding.h"

namespace vexil {

volatile bool compileInfoWanted = false;

// Callbacks run on any thread, also in a stopped world (where a thread waits at its next call into
// the VM) and while a destroy finishes; so no callback may wait for a destroy, nor a destroy hold
// anything a callback waits for. The environment-local storage points at a gate, never freed, that
// counts the callbacks inside the context:
// - a callback counts itself in, then reads the live mark and the owner; only when the gate is
//   live and its own may it use the context, until it counts itself out;
// - a destroy clears the live mark, then waits, holding nothing, until the count is 0; only then
//   does it free the context, destroy the monitor, dispose of the environment and give the gate
//   back for reuse.
// Both steps are sequentially consistent: either the destroy sees the callback counted, or the
// callback sees the gate no longer live. A callback whose environment was disposed may still read
// the gate's address; the gate is then not live, or live for another environment.
struct CallbackGate {
    std::atomic<int> inside;
    std::atomic<bool> live;
    std::atomic<jvmtiEnv *> owner;
    ManagementContext *context; // set before the gate turns live
    CallbackGate *nextFree;
};

namespace {

// The gates not in use; taken by creation and destruction only, around no call into the VM.
constinit SRWLOCK gatesLock = SRWLOCK_INIT;
constinit CallbackGate *freeGates = nullptr;

CallbackGate *openGate(ManagementContext *context) {
    AcquireSRWLockExclusive(&gatesLock);
    CallbackGate *gate = freeGates;
    if (gate != nullptr)
        freeGates = gate->nextFree;
    ReleaseSRWLockExclusive(&gatesLock);
    if (gate == nullptr) {
        gate = new (std::nothrow) CallbackGate{};
        if (gate == nullptr)
            return nullptr;
    }
    gate->context = context;
    gate->owner = context->jvmti;
    gate->live = true;
    return gate;
}

void reuseGate(CallbackGate *gate) {
    AcquireSRWLockExclusive(&gatesLock);
    gate->nextFree = freeGates;
    freeGates = gate;
    ReleaseSRWLockExclusive(&gatesLock);
}

// Inside a callback: the context while its gate is live, kept from being freed until this ends.
class ContextUse {
public:
    ContextUse(CallbackGate *gate, jvmtiEnv *jvmti) {
        if (gate == nullptr)
            return;
        ++gate->inside;
        if (gate->live && gate->owner == jvmti) {
            gate_ = gate;
            context_ = gate->context;
        } else {
            --gate->inside;
        }
    }
    ~ContextUse() {
        if (gate_ != nullptr)
            --gate_->inside;
    }
    ContextUse(const ContextUse &) = delete;
    ContextUse &operator=(const ContextUse &) = delete;

    ManagementContext *context() const { return context_; }

private:
    CallbackGate *gate_ = nullptr;
    ManagementContext *context_ = nullptr;
};

JNIEnv *currentJni() {
    JNIEnv *env = nullptr;
    if (binding.vm == nullptr || binding.vm->GetEnv(reinterpret_cast<void **>(&env), jniVersion) != JNI_OK)
        return nullptr;
    return env;
}

// The gate of a callback's environment, or null. A callback that began before its context was
// destroyed simply drops its event; any other failure is thrown, before the gate is entered.
CallbackGate *gateOf(jvmtiEnv *jvmti) {
    void *storage = nullptr;
    jvmtiError error = jvmti->GetEnvironmentLocalStorage(&storage);
    // An environment disposed while it answered answers null; asked again, it says it was disposed.
    if (error == JVMTI_ERROR_NONE && storage == nullptr)
        error = jvmti->GetEnvironmentLocalStorage(&storage);
    if (error == JVMTI_ERROR_NONE && storage != nullptr)
        return static_cast<CallbackGate *>(storage);
    if (error == JVMTI_ERROR_INVALID_ENVIRONMENT)
        return nullptr;
    if (JNIEnv *env = currentJni())
        throwNotAvailable(env, "unattached");
    return nullptr;
}

// A local reference to the context's JVMImpl object on the event thread; null once a destroy
// began. The weak reference lives until the event thread has ended.
jobject objectOf(JNIEnv *env, ManagementContext *context) {
    if (!context->gate->live)
        return nullptr;
    return env->NewLocalRef(context->self);
}

// The last steps of a destroy, once the event thread has ended (or on it, at its end).
void finishContext(JNIEnv *env, ManagementContext *context) {
    CallbackGate *gate = context->gate;
    while (gate != nullptr && gate->inside != 0)
        Sleep(1);
    if (context->self != nullptr)
        env->DeleteWeakGlobalRef(context->self);
    if (jvmtiEnv *jvmti = context->jvmti) {
        if (context->lock != nullptr)
            jvmti->DestroyRawMonitor(context->lock);
        jvmti->DisposeEnvironment();
    }
    if (gate != nullptr)
        reuseGate(gate);
    free(context);
}

// Capabilities kept of what the VM offers: the first and second words of the capability set.
constexpr unsigned keptWord0 = 0xccf0bef8u;
constexpr unsigned keptWord1 = ~0x23u;

struct ClassLoadEvent {
    ManagementEvent base;
    jclass cls;
};

struct CompiledEvent {
    ManagementEvent base;
    jclass declaringClass;
    jmethodID method;
    jint info;
    jlong info2;
};

struct GcEvent {
    ManagementEvent base;
    VmGcInfo info;
};

void releaseEvent(JNIEnv *env, ManagementEvent *event) {
    if (event->cleanup != nullptr && env != nullptr)
        event->cleanup(env, event);
    free(event);
}

void JNICALL eventLoop(jvmtiEnv *jvmti, JNIEnv *env, void *argument) {
    auto *context = static_cast<ManagementContext *>(argument);
    jvmti->RawMonitorEnter(context->lock);
    context->eventThreadId = GetCurrentThreadId();
    context->alive = true;
    jvmti->RawMonitorNotifyAll(context->lock);
    jvmti->RawMonitorExit(context->lock);
    for (;;) {
        jvmti->RawMonitorEnter(context->lock);
        while (context->head == nullptr && context->running)
            jvmti->RawMonitorWait(context->lock, 0);
        ManagementEvent *event = context->head;
        if (event != nullptr) {
            context->head = event->next;
            if (context->head == nullptr)
                context->tail = nullptr;
        }
        bool running = context->running;
        jvmti->RawMonitorExit(context->lock);
        if (event == nullptr)
            break;
        if (running) {
            event->dispatch(env, event, context);
            if (env->ExceptionCheck())
                env->ExceptionClear();
        }
        releaseEvent(env, event);
    }
    jvmti->RawMonitorEnter(context->lock);
    context->alive = false;
    jvmti->RawMonitorNotifyAll(context->lock);
    bool finish = context->finishOnEventThread;
    jvmti->RawMonitorExit(context->lock);
    if (finish)
        finishContext(env, context);
}

void dispatchClassLoad(JNIEnv *env, ManagementEvent *event, ManagementContext *context) {
    jobject self = objectOf(env, context);
    if (self == nullptr)
        return;
    env->CallVoidMethod(self, binding.onClassLoad, reinterpret_cast<ClassLoadEvent *>(event)->cls);
    env->DeleteLocalRef(self);
}

void cleanupClassLoad(JNIEnv *env, ManagementEvent *event) {
    env->DeleteGlobalRef(reinterpret_cast<ClassLoadEvent *>(event)->cls);
}

void dispatchCompiled(JNIEnv *env, ManagementEvent *event, ManagementContext *context) {
    auto *compiled = reinterpret_cast<CompiledEvent *>(event);
    jint modifiers = 0;
    context->jvmti->GetMethodModifiers(compiled->method, &modifiers);
    jobject method = env->ToReflectedMethod(compiled->declaringClass, compiled->method, (modifiers & 0x8) != 0);
    jobject self = objectOf(env, context);
    if (method != nullptr && self != nullptr)
        env->CallVoidMethod(self, binding.onCompiled, method, compiled->info, compiled->info2);
    env->DeleteLocalRef(self);
    env->DeleteLocalRef(method);
}

void cleanupCompiled(JNIEnv *env, ManagementEvent *event) {
    env->DeleteGlobalRef(reinterpret_cast<CompiledEvent *>(event)->declaringClass);
}

void dispatchGc(JNIEnv *env, ManagementEvent *event, ManagementContext *context) {
    const VmGcInfo &info = reinterpret_cast<GcEvent *>(event)->info;
    jint kind = info.flags[1] != 0 ? 2 : info.flags[0] == 0 ? 1 : 0;
    jobject self = objectOf(env, context);
    if (self == nullptr)
        return;
    env->CallVoidMethod(self, binding.onGCEnd, info.id, kind, info.values[0], info.values[1], info.values[2]);
    env->DeleteLocalRef(self);
}

void JNICALL onClassLoad(jvmtiEnv *jvmti, JNIEnv *env, jthread, jclass cls) {
    ContextUse use(gateOf(jvmti), jvmti);
    ManagementContext *context = use.context();
    if (context == nullptr)
        return;
    auto *event = static_cast<ClassLoadEvent *>(calloc(1, sizeof(ClassLoadEvent)));
    if (event == nullptr)
        return;
    event->base.dispatch = dispatchClassLoad;
    event->base.cleanup = cleanupClassLoad;
    event->cls = static_cast<jclass>(env->NewGlobalRef(cls));
    if (event->cls == nullptr || !enqueue(context, &event->base))
        releaseEvent(env, &event->base);
}

void JNICALL onCompiledMethodLoad(jvmtiEnv *jvmti, jmethodID method, jint, const void *, jint,
                                  const jvmtiAddrLocationMap *, const void *compileInfo) {
    ContextUse use(gateOf(jvmti), jvmti);
    ManagementContext *context = use.context();
    JNIEnv *env = currentJni();
    if (context == nullptr || env == nullptr)
        return;
    jclass declaring = nullptr;
    if (jvmti->GetMethodDeclaringClass(method, &declaring) != JVMTI_ERROR_NONE || declaring == nullptr)
        return;
    auto *event = static_cast<CompiledEvent *>(calloc(1, sizeof(CompiledEvent)));
    if (event != nullptr) {
        event->base.dispatch = dispatchCompiled;
        event->base.cleanup = cleanupCompiled;
        event->declaringClass = static_cast<jclass>(env->NewGlobalRef(declaring));
        event->method = method;
        if (compileInfo != nullptr && compileInfoWanted) {
            const auto *words = static_cast<const jint *>(compileInfo);
            event->info = words[0];
            memcpy(&event->info2, words + 2, sizeof event->info2);
        }
        if (event->declaringClass == nullptr || !enqueue(context, &event->base))
            releaseEvent(env, &event->base);
    }
    env->DeleteLocalRef(declaring);
}

void JNICALL onGarbageCollectionFinish(jvmtiEnv *jvmti) {
    ContextUse use(gateOf(jvmti), jvmti);
    ManagementContext *context = use.context();
    if (context == nullptr)
        return;
    auto *event = static_cast<GcEvent *>(calloc(1, sizeof(GcEvent)));
    if (event == nullptr)
        return;
    event->base.dispatch = dispatchGc;
    if (binding.ext != nullptr)
        binding.ext->fillLastGcInfo(&event->info);
    if (!enqueue(context, &event->base))
        free(event);
}

// Marks the loading thread while Java runs: a class that Java loads meanwhile is not offered again.
char hookMark;

void JNICALL onClassFileLoadHook(jvmtiEnv *jvmti, JNIEnv *env, jclass, jobject loader, const char *name, jobject,
                                 jint length, const unsigned char *data, jint *newLength, unsigned char **newData) {
    // Java may destroy the context, also from here: while it runs the hook is not inside the
    // gate, and after it only a gate still live for this environment lets the hook use it.
    CallbackGate *gate = gateOf(jvmti);
    void *previous = nullptr;
    jobject self = nullptr;
    {
        ContextUse use(gate, jvmti);
        ManagementContext *context = use.context();
        if (context == nullptr)
            return;
        if (jvmti->GetThreadLocalStorage(nullptr, &previous) != JVMTI_ERROR_NONE || previous == &hookMark)
            return;
        self = env->NewLocalRef(context->self);
        if (self == nullptr)
            return;
        jvmti->SetThreadLocalStorage(nullptr, &hookMark);
    }
    jbyteArray bytes = env->NewByteArray(length);
    jstring className = newString(env, name);
    jbyteArray result = nullptr;
    if (bytes != nullptr && !env->ExceptionCheck()) {
        env->SetByteArrayRegion(bytes, 0, length, reinterpret_cast<const jbyte *>(data));
        result = static_cast<jbyteArray>(env->CallObjectMethod(self, binding.onClassFileHook, loader, className, bytes));
    }
    {
        ContextUse use(gate, jvmti);
        if (use.context() != nullptr) {
            if (result != nullptr && !env->ExceptionCheck()) {
                jsize resultLength = env->GetArrayLength(result);
                unsigned char *copy = nullptr;
                if (jvmti->Allocate(resultLength, &copy) == JVMTI_ERROR_NONE) {
                    env->GetByteArrayRegion(result, 0, resultLength, reinterpret_cast<jbyte *>(copy));
                    *newLength = resultLength;
                    *newData = copy;
                }
            }
            jvmti->SetThreadLocalStorage(nullptr, previous);
        }
    }
    // The loading thread goes on with its class: what Java threw stays with the hook.
    if (env->ExceptionCheck())
        env->ExceptionClear();
    env->DeleteLocalRef(result);
    env->DeleteLocalRef(className);
    env->DeleteLocalRef(bytes);
    env->DeleteLocalRef(self);
}

// Holds nothing while it waits: for the event thread on the context's monitor, for callbacks in
// native code. The weak reference goes last, once no dispatch or callback can read it.
void destroyContext(JNIEnv *env, ManagementContext *context) {
    if (context->gate != nullptr)
        context->gate->live = false;
    jvmtiEnv *jvmti = context->jvmti;
    if (jvmti != nullptr) {
        jvmti->SetEventCallbacks(nullptr, 0);
        jvmti->RelinquishCapabilities(&context->capabilities);
    }
    if (context->lock != nullptr) {
        jvmti->RawMonitorEnter(context->lock);
        context->running = false;
        jvmti->RawMonitorNotifyAll(context->lock);
        if (context->alive && context->eventThreadId == GetCurrentThreadId()) {
            // Called from an event's dispatch: the thread ends once this returns, and finishes.
            context->finishOnEventThread = true;
            jvmti->RawMonitorExit(context->lock);
            return;
        }
        while (context->alive)
            jvmti->RawMonitorWait(context->lock, 0);
        jvmti->RawMonitorExit(context->lock);
    }
    finishContext(env, context);
}

// Creation fails with this message (or the one of an earlier step that went on): the context
// built so far is destroyed.
void fail(JNIEnv *env, ManagementContext *context, const char *earlier, const char *message) {
    throwNotAvailable(env, earlier != nullptr ? earlier : message);
    destroyContext(env, context);
}

void keepCapabilities(jvmtiCapabilities &capabilities) {
    unsigned words[sizeof capabilities / sizeof(unsigned)];
    memcpy(words, &capabilities, sizeof words);
    words[0] &= keptWord0;
    words[1] &= keptWord1;
    for (size_t i = 2; i < sizeof words / sizeof words[0]; ++i)
        words[i] = 0;
    memcpy(&capabilities, words, sizeof words);
}

void createContext(JNIEnv *env, jobject self) {
    auto *context = static_cast<ManagementContext *>(calloc(1, sizeof(ManagementContext)));
    if (context == nullptr) {
        throwOutOfMemory(env, "newVexil");
        return;
    }
    if (binding.vm->GetEnv(reinterpret_cast<void **>(&context->jvmti), JVMTI_VERSION_1_0) != JNI_OK ||
        context->jvmti == nullptr) {
        context->jvmti = nullptr;
        return fail(env, context, nullptr, "could not acquire JVMTI interface");
    }
    jvmtiEnv *jvmti = context->jvmti;
    // Thrown once creation is through, so that no JNI call runs with it pending.
    const char *earlier = nullptr;
    jvmti->GetVersionNumber(&context->jvmtiVersion);
    context->gate = openGate(context);
    if (context->gate == nullptr) {
        throwOutOfMemory(env, "newVexil");
        destroyContext(env, context);
        return;
    }
    if (jvmti->SetEnvironmentLocalStorage(context->gate) != JVMTI_ERROR_NONE)
        return fail(env, context, earlier, "could not setup environment storage");
    if (jvmti->GetPotentialCapabilities(&context->capabilities) != JVMTI_ERROR_NONE)
        return fail(env, context, earlier, "JVMTI broken!");
    keepCapabilities(context->capabilities);
    if (jvmti->AddCapabilities(&context->capabilities) != JVMTI_ERROR_NONE)
        earlier = "could not acquire capabilties";
    jvmtiEventCallbacks &callbacks = context->callbacks;
    callbacks.ClassLoad = onClassLoad;
    if (context->capabilities.can_generate_all_class_hook_events)
        callbacks.ClassFileLoadHook = onClassFileLoadHook;
    if (context->capabilities.can_generate_compiled_method_load_events)
        callbacks.CompiledMethodLoad = onCompiledMethodLoad;
    if (context->capabilities.can_generate_garbage_collection_events)
        callbacks.GarbageCollectionFinish = onGarbageCollectionFinish;
    if (jvmti->SetEventCallbacks(&callbacks, sizeof callbacks) != JVMTI_ERROR_NONE)
        return fail(env, context, earlier, "could not set callbacks");
    if (jvmti->CreateRawMonitor("vexil eventlock", &context->lock) != JVMTI_ERROR_NONE) {
        context->lock = nullptr;
        return fail(env, context, earlier, "could not create event monitor");
    }
    context->self = env->NewWeakGlobalRef(self);
    if (context->self == nullptr)
        return fail(env, context, earlier, "could not create weak backer");
    jobject thread = env->GetObjectField(self, binding.eventThreadField);
    if (thread == nullptr)
        return fail(env, context, earlier, "missing event thread");
    context->running = true;
    context->alive = false;
    jvmtiError started = jvmti->RunAgentThread(thread, eventLoop, context, JVMTI_THREAD_NORM_PRIORITY);
    env->DeleteLocalRef(thread);
    if (started != JVMTI_ERROR_NONE)
        return fail(env, context, earlier, "failed to start thread");
    jvmti->RawMonitorEnter(context->lock);
    while (!context->alive)
        jvmti->RawMonitorWait(context->lock, 0);
    jvmti->RawMonitorExit(context->lock);
    env->SetLongField(self, binding.handleField, static_cast<jlong>(reinterpret_cast<uintptr_t>(context)));
    if (earlier != nullptr)
        throwNotAvailable(env, earlier);
}

} // namespace

ManagementContext *contextOf(JNIEnv *env, jobject jvmImpl) {
    jlong handle = jvmImpl != nullptr ? env->GetLongField(jvmImpl, binding.handleField) : 0;
    if (handle == 0) {
        throwNotAvailable(env, "uninitialized jvm component");
        return nullptr;
    }
    return reinterpret_cast<ManagementContext *>(static_cast<uintptr_t>(handle));
}

ManagementContext *contextOfOwner(JNIEnv *env, jobject component) {
    if (component == nullptr || env->ExceptionCheck())
        return nullptr;
    jclass cls = env->GetObjectClass(component);
    jfieldID field = env->GetFieldID(cls, "jvm", "Lzun/vexil/JVMImpl;");
    env->DeleteLocalRef(cls);
    if (field == nullptr) {
        env->ExceptionClear();
        throwNotAvailable(env, "uninitialized jvm component");
        return nullptr;
    }
    jobject jvm = env->GetObjectField(component, field);
    ManagementContext *context = contextOf(env, jvm);
    env->DeleteLocalRef(jvm);
    return context;
}

bool enqueue(ManagementContext *context, ManagementEvent *event) {
    jvmtiEnv *jvmti = context->jvmti;
    event->next = nullptr;
    jvmti->RawMonitorEnter(context->lock);
    bool taken = context->running;
    if (taken) {
        if (context->tail != nullptr)
            context->tail->next = event;
        else
            context->head = event;
        context->tail = event;
        jvmti->RawMonitorNotifyAll(context->lock);
    }
    jvmti->RawMonitorExit(context->lock);
    return taken;
}

void switchEvent(JNIEnv *env, jobject component, bool on, jvmtiEvent event) {
    if (ManagementContext *context = contextOfOwner(env, component))
        context->jvmti->SetEventNotificationMode(on ? JVMTI_ENABLE : JVMTI_DISABLE, event, nullptr);
}

} // namespace vexil

using namespace vexil;

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_JVMImpl_init(JNIEnv *env, jobject self) { createContext(env, self); }

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_JVMImpl_destroy(JNIEnv *env, jobject self) {
    ManagementContext *context = contextOf(env, self);
    if (context == nullptr)
        return;
    // A second destroy finds no context rather than a freed one.
    env->SetLongField(self, binding.handleField, 0);
    destroyContext(env, context);
}
