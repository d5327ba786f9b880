// zun/vexil/ThreadSystemImpl.getThreadSnapshots: the given threads' names, states, stacks and
// monitors, taken with the other threads suspended while the context can suspend.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "java_support.h"
#include "management_context.h"
#include "thread_ids.h"
#include "vm_binding.h"

using namespace vexil;

namespace {

constexpr jint maxFrames = 65536;
constexpr jint stateBlocked = JVMTI_THREAD_STATE_BLOCKED_ON_MONITOR_ENTER; // 0x400
constexpr jint stateWaiting = JVMTI_THREAD_STATE_IN_OBJECT_WAIT;           // 0x100
constexpr jint maskedStates = stateBlocked | 0x100000 | 0x200000 | 0x400000;
constexpr jvmtiError notSuspended = JVMTI_ERROR_THREAD_NOT_SUSPENDED; // 13: not suspended by us

// Snapshots that suspend take turns from their suspend to their resume: two that each suspend the
// other would both stay stopped. A thread waits for its turn in native code, where the holder may
// suspend it and resumes it with the rest. Neither the VM nor a callback takes it, so the holder
// may call into the VM.
constinit SRWLOCK snapshotTurn = SRWLOCK_INIT;

struct ThreadInfo {
    bool gathered;
    jvmtiStackInfo *stack; // into the one stack block
    jint state;
    jobject contended;
    jvmtiMonitorUsage contendedUsage;
    bool hasContendedUsage;
    jint ownedCount;
    jobject *owned;                 // GetOwnedMonitorInfo, or null
    jvmtiMonitorStackDepthInfo *ownedDepths; // GetOwnedMonitorStackDepthInfo, or null
    jvmtiMonitorUsage *ownedUsage;  // one per owned monitor, tool-interface memory
};

struct MethodInfo {
    jmethodID method;
    jint modifiers;
    jint lineCount;
    jvmtiLineNumberEntry *lines;
    jstring className;
    jstring methodName;
    jstring sourceFile;
};

constexpr size_t cacheSize = 64;

struct Snapshot {
    JNIEnv *env;
    jvmtiEnv *jvmti;
    const jvmtiCapabilities *capabilities;
    jint count;
    jthread *threads;
    ThreadInfo *infos;
    jvmtiError *results;
    MethodInfo *cache;
};

void deallocate(jvmtiEnv *jvmti, void *memory) {
    if (memory != nullptr)
        jvmti->Deallocate(static_cast<unsigned char *>(memory));
}

void releaseUsage(jvmtiEnv *jvmti, jvmtiMonitorUsage &usage) {
    deallocate(jvmti, usage.waiters);
    deallocate(jvmti, usage.notify_waiters);
    usage.waiters = nullptr;
    usage.notify_waiters = nullptr;
}

bool usageOf(jvmtiEnv *jvmti, jobject monitor, jvmtiMonitorUsage &usage) {
    usage = jvmtiMonitorUsage{};
    jvmtiError error = jvmti->GetObjectMonitorUsage(monitor, &usage);
    return error == JVMTI_ERROR_NONE || error == JVMTI_ERROR_THREAD_NOT_ALIVE;
}

// The monitors and state of one thread whose stack is gathered already.
bool gatherThread(Snapshot &s, jthread thread, ThreadInfo &info) {
    jvmtiEnv *jvmti = s.jvmti;
    const jvmtiCapabilities &caps = *s.capabilities;
    if (jvmti->GetThreadState(thread, &info.state) != JVMTI_ERROR_NONE)
        return false;
    if (caps.can_get_current_contended_monitor) {
        jvmtiError error = jvmti->GetCurrentContendedMonitor(thread, &info.contended);
        if (error != JVMTI_ERROR_NONE && error != JVMTI_ERROR_THREAD_NOT_ALIVE)
            return false;
    }
    if (info.contended != nullptr && (info.state & (stateBlocked | stateWaiting)) != 0 && caps.can_get_monitor_info) {
        if (!usageOf(jvmti, info.contended, info.contendedUsage))
            return false;
        info.hasContendedUsage = true;
    }
    jvmtiError error = JVMTI_ERROR_NONE;
    if (caps.can_get_owned_monitor_stack_depth_info)
        error = jvmti->GetOwnedMonitorStackDepthInfo(thread, &info.ownedCount, &info.ownedDepths);
    else if (caps.can_get_owned_monitor_info)
        error = jvmti->GetOwnedMonitorInfo(thread, &info.ownedCount, &info.owned);
    if (error == JVMTI_ERROR_THREAD_NOT_ALIVE) {
        info.ownedCount = 0;
        return true;
    }
    if (error != JVMTI_ERROR_NONE)
        return false;
    if (info.ownedCount > 0 && caps.can_get_monitor_info) {
        if (jvmti->Allocate(static_cast<jlong>(info.ownedCount) * sizeof(jvmtiMonitorUsage),
                            reinterpret_cast<unsigned char **>(&info.ownedUsage)) != JVMTI_ERROR_NONE)
            return false;
        memset(info.ownedUsage, 0, info.ownedCount * sizeof(jvmtiMonitorUsage));
        for (jint i = 0; i < info.ownedCount; ++i) {
            jobject monitor = info.ownedDepths != nullptr ? info.ownedDepths[i].monitor : info.owned[i];
            if (!usageOf(jvmti, monitor, info.ownedUsage[i]))
                return false;
        }
    }
    return true;
}

// Gathers the threads at the given request indexes; false when the tool interface failed.
bool gather(Snapshot &s, const jint *indexes, jint count, jvmtiStackInfo **stacks) {
    if (count == 0)
        return true;
    auto *list = static_cast<jthread *>(malloc(sizeof(jthread) * count));
    if (list == nullptr)
        return false;
    for (jint k = 0; k < count; ++k)
        list[k] = s.threads[indexes[k]];
    bool ok = s.jvmti->GetThreadListStackTraces(count, list, maxFrames, stacks) == JVMTI_ERROR_NONE;
    free(list);
    for (jint k = 0; ok && k < count; ++k) {
        ThreadInfo &info = s.infos[indexes[k]];
        info.stack = &(*stacks)[k];
        info.gathered = true;
        ok = gatherThread(s, s.threads[indexes[k]], info);
    }
    return ok;
}

jlong tidOf(JNIEnv *env, jobject thread) {
    return thread != nullptr && threadIds.tid != nullptr ? env->GetLongField(thread, threadIds.tid) : 0;
}

// MonitorImpl(monitor, owner's tid or 0, kind): 1 with an owner, 2 with threads waiting; the
// waiter arrays are released here.
jobject monitorObject(Snapshot &s, jobject monitor, jvmtiMonitorUsage &usage) {
    jint kind = usage.owner != nullptr ? 1 : 0;
    if (usage.waiters != nullptr || usage.notify_waiters != nullptr)
        kind |= 2;
    releaseUsage(s.jvmti, usage);
    return s.env->NewObject(static_cast<jclass>(binding.monitorClass), threadIds.monitorInit, monitor,
                            tidOf(s.env, usage.owner), kind);
}

// "Ljava/lang/String;" as "java.lang.String".
jstring classNameOf(JNIEnv *env, const char *signature) {
    size_t length = strlen(signature);
    auto *name = static_cast<char *>(malloc(length + 1));
    if (name == nullptr)
        return nullptr;
    size_t start = signature[0] == 'L' ? 1 : 0;
    size_t end = length > start && signature[length - 1] == ';' ? length - 1 : length;
    size_t n = 0;
    for (size_t i = start; i < end; ++i)
        name[n++] = signature[i] == '/' ? '.' : signature[i];
    name[n] = '\0';
    jstring result = env->NewStringUTF(name);
    free(name);
    return result;
}

void releaseMethod(Snapshot &s, MethodInfo &info) {
    deallocate(s.jvmti, info.lines);
    for (jstring text : {info.className, info.methodName, info.sourceFile})
        if (text != nullptr)
            s.env->DeleteLocalRef(text);
    info = MethodInfo{};
}

const MethodInfo &methodInfo(Snapshot &s, jmethodID method) {
    MethodInfo &info = s.cache[reinterpret_cast<uintptr_t>(method) & (cacheSize - 1)];
    if (info.method == method)
        return info;
    releaseMethod(s, info);
    info.method = method;
    jvmtiEnv *jvmti = s.jvmti;
    JNIEnv *env = s.env;
    jclass declaring = nullptr;
    if (jvmti->GetMethodDeclaringClass(method, &declaring) == JVMTI_ERROR_NONE && declaring != nullptr) {
        char *signature = nullptr;
        if (jvmti->GetClassSignature(declaring, &signature, nullptr) == JVMTI_ERROR_NONE && signature != nullptr)
            info.className = classNameOf(env, signature);
        deallocate(jvmti, signature);
        char *source = nullptr;
        if (jvmti->GetSourceFileName(declaring, &source) == JVMTI_ERROR_NONE && source != nullptr)
            info.sourceFile = env->NewStringUTF(source);
        deallocate(jvmti, source);
        env->DeleteLocalRef(declaring);
    }
    char *name = nullptr;
    if (jvmti->GetMethodName(method, &name, nullptr, nullptr) == JVMTI_ERROR_NONE && name != nullptr)
        info.methodName = env->NewStringUTF(name);
    deallocate(jvmti, name);
    jvmti->GetMethodModifiers(method, &info.modifiers);
    if ((info.modifiers & 0x100) == 0 && s.capabilities->can_get_line_numbers &&
        jvmti->GetLineNumberTable(method, &info.lineCount, &info.lines) != JVMTI_ERROR_NONE) {
        info.lineCount = 0;
        info.lines = nullptr;
    }
    return info;
}

// -2 for a native method, -1 where no entry applies, else the line of the entry with the greatest
// start at or below the location, whatever the order of the table.
jint lineOf(const MethodInfo &info, jlocation location) {
    if ((info.modifiers & 0x100) != 0)
        return -2;
    jint line = -1;
    jlocation best = -1;
    for (jint i = info.lineCount - 1; i >= 0; --i) {
        const jvmtiLineNumberEntry &entry = info.lines[i];
        if (entry.start_location <= location && entry.start_location > best) {
            best = entry.start_location;
            line = entry.line_number;
        }
    }
    return line;
}

jobjectArray frameMonitors(Snapshot &s, ThreadInfo &info, jint frame, jclass monitorArrayClass) {
    jint count = 0;
    for (jint i = 0; i < info.ownedCount; ++i)
        if (info.ownedDepths != nullptr ? info.ownedDepths[i].stack_depth == frame : frame == 0)
            ++count;
    jobjectArray monitors = s.env->NewObjectArray(count, monitorArrayClass, nullptr);
    jint at = 0;
    for (jint i = 0; monitors != nullptr && i < info.ownedCount; ++i) {
        if (!(info.ownedDepths != nullptr ? info.ownedDepths[i].stack_depth == frame : frame == 0))
            continue;
        jobject monitor = info.ownedDepths != nullptr ? info.ownedDepths[i].monitor : info.owned[i];
        jvmtiMonitorUsage none{};
        jobject made = monitorObject(s, monitor, info.ownedUsage != nullptr ? info.ownedUsage[i] : none);
        if (made == nullptr)
            return nullptr;
        s.env->SetObjectArrayElement(monitors, at++, made);
        s.env->DeleteLocalRef(made);
    }
    return monitors;
}

jobjectArray callTrace(Snapshot &s, ThreadInfo &info) {
    JNIEnv *env = s.env;
    jclass elementClass = env->FindClass("com/zun/jvm/CallTraceElement");
    jclass monitorClass = env->FindClass("com/zun/jvm/ThreadSnapshot$Monitor");
    jint frames = info.stack->frame_count;
    jobjectArray trace = elementClass != nullptr && monitorClass != nullptr
                             ? env->NewObjectArray(frames, elementClass, nullptr)
                             : nullptr;
    for (jint j = 0; trace != nullptr && j < frames; ++j) {
        const jvmtiFrameInfo &frame = info.stack->frame_buffer[j];
        const MethodInfo &method = methodInfo(s, frame.method);
        jobjectArray monitors = frameMonitors(s, info, j, monitorClass);
        jobject element = monitors != nullptr
                              ? env->NewObject(static_cast<jclass>(binding.callTraceElementClass),
                                               threadIds.callTraceInit, method.className, method.methodName,
                                               lineOf(method, frame.location), monitors, method.sourceFile)
                              : nullptr;
        if (element == nullptr) {
            env->DeleteLocalRef(trace);
            trace = nullptr;
        } else {
            env->SetObjectArrayElement(trace, j, element);
        }
        env->DeleteLocalRef(element);
        env->DeleteLocalRef(monitors);
    }
    env->DeleteLocalRef(monitorClass);
    env->DeleteLocalRef(elementClass);
    return trace;
}

jobject snapshotOf(Snapshot &s, jthread thread, ThreadInfo &info) {
    JNIEnv *env = s.env;
    jobject blockedOn = nullptr;
    jobject waitingOn = nullptr;
    if (info.hasContendedUsage) {
        if ((info.state & stateBlocked) != 0)
            blockedOn = monitorObject(s, info.contended, info.contendedUsage);
        else
            waitingOn = monitorObject(s, info.contended, info.contendedUsage);
    }
    jlong tid = tidOf(env, thread);
    jint priority = threadIds.priority != nullptr ? env->GetIntField(thread, threadIds.priority) : 0;
    jboolean daemon = threadIds.daemon != nullptr ? env->GetBooleanField(thread, threadIds.daemon) : JNI_FALSE;
    jobject name = env->ExceptionCheck() ? nullptr : env->CallObjectMethod(thread, threadIds.getName);
    jobjectArray trace = env->ExceptionCheck() ? nullptr : callTrace(s, info);
    jobject made = trace == nullptr || env->ExceptionCheck()
                       ? nullptr
                       : env->NewObject(static_cast<jclass>(binding.threadSnapshotClass), threadIds.snapshotInit, name,
                                        info.state & ~maskedStates, info.state, tid, daemon, priority, trace,
                                        blockedOn, waitingOn);
    for (jobject ref : {blockedOn, waitingOn, name, static_cast<jobject>(trace)})
        env->DeleteLocalRef(ref);
    return made;
}

void releaseInfo(jvmtiEnv *jvmti, ThreadInfo &info) {
    if (info.hasContendedUsage)
        releaseUsage(jvmti, info.contendedUsage);
    for (jint i = 0; info.ownedUsage != nullptr && i < info.ownedCount; ++i)
        releaseUsage(jvmti, info.ownedUsage[i]);
    deallocate(jvmti, info.ownedUsage);
    deallocate(jvmti, info.owned);
    deallocate(jvmti, info.ownedDepths);
}

jobjectArray buildResult(Snapshot &s) {
    JNIEnv *env = s.env;
    jobjectArray result = env->NewObjectArray(s.count, static_cast<jclass>(binding.threadSnapshotClass), nullptr);
    for (jint i = 0; result != nullptr && i < s.count && !env->ExceptionCheck(); ++i) {
        if (!s.infos[i].gathered)
            continue;
        jobject snapshot = snapshotOf(s, s.threads[i], s.infos[i]);
        if (snapshot != nullptr)
            env->SetObjectArrayElement(result, i, snapshot);
        env->DeleteLocalRef(snapshot);
    }
    if (env->ExceptionCheck()) {
        env->DeleteLocalRef(result);
        return nullptr;
    }
    return result;
}

jobjectArray takeSnapshots(JNIEnv *env, ManagementContext *context, jobjectArray requested) {
    jvmtiEnv *jvmti = context->jvmti;
    jsize n = env->GetArrayLength(requested);
    if (n == 0)
        return env->NewObjectArray(0, static_cast<jclass>(binding.threadSnapshotClass), nullptr);
    jthread current = nullptr;
    if (jvmti->GetCurrentThread(&current) != JVMTI_ERROR_NONE)
        return nullptr;
    constexpr size_t perThread = sizeof(jthread) + sizeof(ThreadInfo) + sizeof(jvmtiError) + 2 * sizeof(jint);
    constexpr size_t fixed = cacheSize * sizeof(MethodInfo);
    // A size that wraps round would give a block too small for the threads.
    auto *block = static_cast<size_t>(n) <= (SIZE_MAX - fixed) / perThread
                      ? static_cast<unsigned char *>(calloc(1, n * perThread + fixed))
                      : nullptr;
    if (block == nullptr) {
        env->DeleteLocalRef(current);
        throwOutOfMemory(env, "snapshots");
        return nullptr;
    }
    Snapshot s{env, jvmti, &context->capabilities, n, nullptr, nullptr, nullptr, nullptr};
    s.cache = reinterpret_cast<MethodInfo *>(block);
    s.infos = reinterpret_cast<ThreadInfo *>(s.cache + cacheSize);
    s.threads = reinterpret_cast<jthread *>(s.infos + n);
    s.results = reinterpret_cast<jvmtiError *>(s.threads + n);
    // Request indexes: the other threads from the front, the caller's places from the back.
    jint *others = reinterpret_cast<jint *>(s.results + n);
    jint *kept = others + n; // request indexes gathered
    if (env->PushLocalFrame(3 * n + 16) != JNI_OK) {
        free(block);
        env->DeleteLocalRef(current);
        return nullptr;
    }
    jint m = 0;
    jint selves = 0;
    for (jsize i = 0; i < n && !env->ExceptionCheck(); ++i) {
        s.threads[i] = env->GetObjectArrayElement(requested, i);
        s.results[i] = notSuspended;
        if (s.threads[i] == nullptr)
            continue;
        // The caller named again is still the caller: suspending it would stop it for good.
        if (env->IsSameObject(s.threads[i], current))
            others[n - 1 - selves++] = i;
        else
            others[m++] = i;
    }
    jobjectArray result = nullptr;
    if (!env->ExceptionCheck()) {
        bool suspending = context->capabilities.can_suspend && m > 0;
        jint k = 0;
        jint suspended = 0;
        jthread *list = nullptr;
        if (suspending)
            AcquireSRWLockExclusive(&snapshotTurn);
        if (suspending) {
            list = static_cast<jthread *>(malloc(sizeof(jthread) * m));
            auto *results = static_cast<jvmtiError *>(malloc(sizeof(jvmtiError) * m));
            if (list != nullptr && results != nullptr) {
                for (jint j = 0; j < m; ++j)
                    list[j] = s.threads[others[j]];
                if (jvmti->SuspendThreadList(m, list, results) == JVMTI_ERROR_NONE) {
                    // Threads suspended by someone else are stopped too: they are taken as they
                    // are and left suspended. A thread that failed to suspend is not taken.
                    for (jint j = 0; j < m; ++j) {
                        s.results[others[j]] = results[j];
                        if (results[j] == JVMTI_ERROR_NONE)
                            list[suspended++] = s.threads[others[j]];
                        if (results[j] == JVMTI_ERROR_NONE || results[j] == JVMTI_ERROR_THREAD_SUSPENDED)
                            kept[k++] = others[j];
                    }
                }
            }
            free(results);
        } else {
            for (jint j = 0; j < m; ++j)
                kept[k++] = others[j];
        }
        for (jint j = 0; j < selves; ++j)
            kept[k++] = others[n - 1 - j]; // the caller runs on: taken last
        jvmtiStackInfo *stacks = nullptr;
        bool ok = gather(s, kept, k, &stacks);
        if (suspended > 0) {
            auto *resumed = static_cast<jvmtiError *>(malloc(sizeof(jvmtiError) * suspended));
            if (resumed == nullptr || jvmti->ResumeThreadList(suspended, list, resumed) != JVMTI_ERROR_NONE) {
                for (jint j = 0; j < suspended; ++j)
                    jvmti->ResumeThread(list[j]);
            }
            free(resumed);
        }
        if (suspending)
            ReleaseSRWLockExclusive(&snapshotTurn);
        free(list);
        if (ok)
            result = buildResult(s);
        for (jint i = 0; i < n; ++i)
            releaseInfo(jvmti, s.infos[i]);
        deallocate(jvmti, stacks);
    }
    for (size_t i = 0; i < cacheSize; ++i)
        releaseMethod(s, s.cache[i]);
    result = static_cast<jobjectArray>(env->PopLocalFrame(result));
    free(block);
    env->DeleteLocalRef(current);
    return result;
}

} // namespace

extern "C" JNIEXPORT jobjectArray JNICALL Java_zun_vexil_ThreadSystemImpl_getThreadSnapshots(JNIEnv *env,
                                                                                            jobject self,
                                                                                            jobjectArray threads) {
    if (threads == nullptr) {
        throwByName(env, "java/lang/NullPointerException", "null threads");
        return nullptr;
    }
    ManagementContext *context = contextOfOwner(env, self);
    if (context == nullptr || !bindThreadIds(env))
        return nullptr;
    return takeSnapshots(env, context, threads);
}
