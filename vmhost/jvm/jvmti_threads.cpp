// Tool interface: agent threads, thread lists, states, stacks, suspension and monitors. A real
// thread, once suspended, runs on in native code as in a VM, and waits at its next JNI or
// tool-interface entry (the world's) until it is resumed; simulated threads never run anyway. A
// thread asked to suspend itself is reported and marked suspended, but not held: it would wait
// for itself.
#include <cstring>

#include "jvmti_support.h"

namespace vm {
namespace {

struct AgentStart {
    Vm *vm;
    JvmtiState *state;
    Object *threadObject;
    jvmtiStartFunction function;
    const void *argument;
    std::string name;
    HANDLE attached;
};

DWORD WINAPI agentMain(LPVOID parameter) {
    AgentStart start = *static_cast<AgentStart *>(parameter);
    Vm &vm = *start.vm;
    JavaThread *thread = attachThread(vm, start.name.c_str(), true, start.threadObject);
    {
        std::lock_guard guard(vm.lock);
        thread->agent = true;
    }
    SetEvent(start.attached);
    postThreadStart(vm, *thread);
    {
        Activity activity(*thread, "agent thread \"" + start.name + "\"");
        start.function(&start.state->env, &thread->jni.env, const_cast<void *>(start.argument));
    }
    recorderThreadEnds(vm, *thread);
    postThreadEnd(vm, *thread);
    detachThread(vm, *thread);
    return 0;
}

jvmtiError JNICALL RunAgentThread(jvmtiEnv *env, jthread thread, jvmtiStartFunction function, const void *argument,
                                  jint priority) noexcept {
    JvmtiEntry e(env, "RunAgentThread", LiveOnly | NeedsThread);
    if (!e.ok())
        return e.error;
    if (function == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    if (priority < JVMTI_THREAD_MIN_PRIORITY || priority > JVMTI_THREAD_MAX_PRIORITY)
        return JVMTI_ERROR_INVALID_PRIORITY;
    bool valid = true;
    Object *object = resolve(*e.vm, *e.thread, thread, e.function, &valid);
    if (!valid || !isInstance(object, e.vm->threadClass) || threadOf(*e.vm, object) != nullptr)
        return JVMTI_ERROR_INVALID_THREAD;
    jvalue value{};
    value.i = priority;
    setField(*e.vm, object, "priority", value);
    value.z = JNI_TRUE;
    setField(*e.vm, object, "daemon", value);
    AgentStart start{e.vm, e.state, object, function, argument, stringUtf(getObjectField(*e.vm, object, "name")),
                     CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    HANDLE handle = start.attached != nullptr ? CreateThread(nullptr, 0, agentMain, &start, 0, nullptr) : nullptr;
    if (handle == nullptr) {
        if (start.attached != nullptr)
            CloseHandle(start.attached);
        return JVMTI_ERROR_OUT_OF_MEMORY;
    }
    WaitForSingleObject(start.attached, INFINITE);
    CloseHandle(start.attached);
    std::lock_guard guard(e.vm->lock);
    threadOf(*e.vm, object)->handle = handle;
    return JVMTI_ERROR_NONE;
}

// Threads named by a list, those that ended included (as null when they never ran); an error for
// the first entry that names no thread.
jvmtiError threadsOf(JvmtiEntry &e, jint count, const jthread *list, std::vector<JavaThread *> &out) {
    if (count < 0)
        return JVMTI_ERROR_ILLEGAL_ARGUMENT;
    if (list == nullptr && count > 0)
        return JVMTI_ERROR_NULL_POINTER;
    for (jint i = 0; i < count; ++i) {
        if (list[i] == nullptr)
            return JVMTI_ERROR_INVALID_THREAD;
        jvmtiError error;
        out.push_back(e.javaThread(list[i], error));
        if (error != JVMTI_ERROR_NONE && error != JVMTI_ERROR_THREAD_NOT_ALIVE)
            return error;
    }
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL GetAllThreads(jvmtiEnv *env, jint *count, jthread **threads) noexcept {
    JvmtiEntry e(env, "GetAllThreads", LiveOnly | NeedsThread);
    if (!e.ok())
        return e.error;
    if (count == nullptr || threads == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    std::vector<Object *> alive;
    {
        std::lock_guard guard(e.vm->lock);
        for (auto &thread : e.vm->threads)
            if ((threadState(*thread) & JVMTI_THREAD_STATE_ALIVE) != 0)
                alive.push_back(thread->threadObject);
    }
    jvmtiError error = e.allocate(alive.size() * sizeof(jthread), reinterpret_cast<void **>(threads));
    if (error != JVMTI_ERROR_NONE)
        return error;
    for (size_t i = 0; i < alive.size(); ++i)
        (*threads)[i] = e.local(alive[i]);
    *count = static_cast<jint>(alive.size());
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL GetCurrentThread(jvmtiEnv *env, jthread *thread) noexcept {
    JvmtiEntry e(env, "GetCurrentThread", NeedsThread);
    if (!e.ok())
        return e.error;
    if (thread == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    *thread = e.local(e.thread->threadObject);
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL GetThreadState(jvmtiEnv *env, jthread thread, jint *state) noexcept {
    JvmtiEntry e(env, "GetThreadState", LiveOnly);
    if (!e.ok())
        return e.error;
    if (state == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    jvmtiError error;
    JavaThread *target = e.javaThread(thread, error);
    if (error != JVMTI_ERROR_NONE && error != JVMTI_ERROR_THREAD_NOT_ALIVE)
        return error;
    std::lock_guard guard(e.vm->lock);
    *state = target != nullptr ? threadState(*target) : 0;
    return JVMTI_ERROR_NONE;
}

jvmtiError suspend(JavaThread *thread, bool on) {
    Vm &vm = *currentVm();
    {
        std::lock_guard guard(vm.lock);
        if ((threadState(*thread) & JVMTI_THREAD_STATE_ALIVE) == 0)
            return JVMTI_ERROR_THREAD_NOT_ALIVE;
        if (thread->suspended == on)
            return on ? JVMTI_ERROR_THREAD_SUSPENDED : JVMTI_ERROR_THREAD_NOT_SUSPENDED;
        if (on && thread->suspendFailure != JVMTI_ERROR_NONE)
            return thread->suspendFailure;
        thread->suspended = on;
        if (on)
            ++thread->suspensions;
    }
    if (!thread->simulated && (!on || thread->osId != GetCurrentThreadId()))
        holdThread(vm, *thread, on);
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL ResumeThread(jvmtiEnv *env, jthread thread) noexcept {
    JvmtiEntry e(env, "ResumeThread", LiveOnly);
    if (!e.ok())
        return e.error;
    if (!e.state->capabilities.can_suspend)
        return JVMTI_ERROR_MUST_POSSESS_CAPABILITY;
    jvmtiError error;
    JavaThread *target = e.javaThread(thread, error);
    return error != JVMTI_ERROR_NONE ? error : suspend(target, false);
}

jvmtiError suspendList(jvmtiEnv *env, jint count, const jthread *list, jvmtiError *results, bool on,
                       const char *function) {
    JvmtiEntry e(env, function, LiveOnly | NeedsThread);
    if (!e.ok())
        return e.error;
    if (!e.state->capabilities.can_suspend)
        return JVMTI_ERROR_MUST_POSSESS_CAPABILITY;
    if (count < 0)
        return JVMTI_ERROR_ILLEGAL_ARGUMENT;
    if ((list == nullptr || results == nullptr) && count > 0)
        return JVMTI_ERROR_NULL_POINTER;
    for (jint i = 0; i < count; ++i) {
        jvmtiError error;
        JavaThread *target = list[i] != nullptr ? e.javaThread(list[i], error) : nullptr;
        if (list[i] == nullptr)
            error = JVMTI_ERROR_INVALID_THREAD;
        // A VM stops the caller there and then, and it waits until another thread resumes it.
        if (on && error == JVMTI_ERROR_NONE && target == e.thread)
            e.problem("the calling thread \"" + e.thread->name + "\" was asked to suspend itself in " +
                      where(*e.thread) + ": a VM would not return until another thread resumed it");
        results[i] = error != JVMTI_ERROR_NONE ? error : suspend(target, on);
    }
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL SuspendThreadList(jvmtiEnv *env, jint count, const jthread *list, jvmtiError *results) noexcept {
    return suspendList(env, count, list, results, true, "SuspendThreadList");
}

jvmtiError JNICALL ResumeThreadList(jvmtiEnv *env, jint count, const jthread *list, jvmtiError *results) noexcept {
    return suspendList(env, count, list, results, false, "ResumeThreadList");
}

// A thread's frames, top first.
std::vector<jvmtiFrameInfo> framesOf(const JavaThread &thread) {
    std::vector<jvmtiFrameInfo> frames;
    for (auto frame = thread.frames.rbegin(); frame != thread.frames.rend(); ++frame)
        frames.push_back(jvmtiFrameInfo{reinterpret_cast<jmethodID>(frame->method), frame->location});
    return frames;
}

jvmtiError JNICALL GetThreadListStackTraces(jvmtiEnv *env, jint count, const jthread *list, jint maxFrames,
                                            jvmtiStackInfo **info) noexcept {
    JvmtiEntry e(env, "GetThreadListStackTraces", LiveOnly | NeedsThread);
    if (!e.ok())
        return e.error;
    if (info == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    if (maxFrames < 0)
        return JVMTI_ERROR_ILLEGAL_ARGUMENT;
    std::vector<JavaThread *> targets;
    jvmtiError error = threadsOf(e, count, list, targets);
    if (error != JVMTI_ERROR_NONE)
        return error;
    std::vector<std::vector<jvmtiFrameInfo>> stacks;
    std::vector<jint> states;
    size_t frameTotal = 0;
    {
        std::lock_guard guard(e.vm->lock);
        for (JavaThread *target : targets) {
            stacks.push_back(target != nullptr ? framesOf(*target) : std::vector<jvmtiFrameInfo>());
            if (stacks.back().size() > static_cast<size_t>(maxFrames))
                stacks.back().resize(maxFrames);
            states.push_back(target != nullptr ? threadState(*target) : 0);
            frameTotal += stacks.back().size();
        }
    }
    // One block: the records, then every thread's frames.
    void *block = nullptr;
    error = e.allocate(targets.size() * sizeof(jvmtiStackInfo) + frameTotal * sizeof(jvmtiFrameInfo), &block);
    if (error != JVMTI_ERROR_NONE)
        return error;
    auto *records = static_cast<jvmtiStackInfo *>(block);
    auto *frames = reinterpret_cast<jvmtiFrameInfo *>(records + targets.size());
    for (size_t i = 0; i < targets.size(); ++i) {
        records[i].thread = e.local(resolve(*e.vm, *e.thread, list[i], e.function));
        records[i].state = states[i];
        records[i].frame_buffer = frames;
        records[i].frame_count = static_cast<jint>(stacks[i].size());
        std::copy(stacks[i].begin(), stacks[i].end(), frames);
        frames += stacks[i].size();
    }
    *info = records;
    return JVMTI_ERROR_NONE;
}

// The two owned-monitor calls: the same checks, then one record per monitor the thread holds,
// from a copy of its list taken under the VM's lock.
template <class T, class Make>
jvmtiError listOwnedMonitors(JvmtiEntry &e, bool capable, jthread thread, jint *count, T **out, Make make) {
    if (!e.ok())
        return e.error;
    if (!capable)
        return JVMTI_ERROR_MUST_POSSESS_CAPABILITY;
    if (count == nullptr || out == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    jvmtiError error;
    JavaThread *target = e.javaThread(thread, error);
    if (error != JVMTI_ERROR_NONE)
        return error;
    std::vector<std::pair<Object *, jint>> owned;
    {
        std::lock_guard guard(e.vm->lock);
        owned = target->ownedMonitors;
    }
    error = e.allocate(owned.size() * sizeof(T), reinterpret_cast<void **>(out));
    if (error != JVMTI_ERROR_NONE)
        return error;
    for (size_t i = 0; i < owned.size(); ++i)
        (*out)[i] = make(owned[i].first, owned[i].second);
    *count = static_cast<jint>(owned.size());
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL GetOwnedMonitorInfo(jvmtiEnv *env, jthread thread, jint *count, jobject **monitors) noexcept {
    JvmtiEntry e(env, "GetOwnedMonitorInfo", LiveOnly | NeedsThread);
    return listOwnedMonitors(e, e.ok() && e.state->capabilities.can_get_owned_monitor_info, thread, count, monitors,
                             [&](Object *monitor, jint) { return e.local(monitor); });
}

jvmtiError JNICALL GetOwnedMonitorStackDepthInfo(jvmtiEnv *env, jthread thread, jint *count,
                                                 jvmtiMonitorStackDepthInfo **info) noexcept {
    JvmtiEntry e(env, "GetOwnedMonitorStackDepthInfo", LiveOnly | NeedsThread);
    return listOwnedMonitors(e, e.ok() && e.state->capabilities.can_get_owned_monitor_stack_depth_info, thread,
                             count, info, [&](Object *monitor, jint depth) {
                                 return jvmtiMonitorStackDepthInfo{e.local(monitor), depth};
                             });
}

jvmtiError JNICALL GetCurrentContendedMonitor(jvmtiEnv *env, jthread thread, jobject *monitor) noexcept {
    JvmtiEntry e(env, "GetCurrentContendedMonitor", LiveOnly | NeedsThread);
    if (!e.ok())
        return e.error;
    if (!e.state->capabilities.can_get_current_contended_monitor)
        return JVMTI_ERROR_MUST_POSSESS_CAPABILITY;
    if (monitor == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    jvmtiError error;
    JavaThread *target = e.javaThread(thread, error);
    if (error != JVMTI_ERROR_NONE)
        return error;
    Object *contended;
    {
        std::lock_guard guard(e.vm->lock);
        contended = target->contendedMonitor;
    }
    *monitor = e.local(contended);
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL GetObjectMonitorUsage(jvmtiEnv *env, jobject object, jvmtiMonitorUsage *usage) noexcept {
    JvmtiEntry e(env, "GetObjectMonitorUsage", LiveOnly | NeedsThread);
    if (!e.ok())
        return e.error;
    if (!e.state->capabilities.can_get_monitor_info)
        return JVMTI_ERROR_MUST_POSSESS_CAPABILITY;
    if (usage == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    bool valid = true;
    Object *monitor = resolve(*e.vm, *e.thread, object, e.function, &valid);
    if (!valid || monitor == nullptr)
        return JVMTI_ERROR_INVALID_OBJECT;
    Object *owner = nullptr;
    jint entries = 0;
    std::vector<Object *> blocked;
    std::vector<Object *> waiting;
    {
        std::lock_guard guard(e.vm->lock);
        for (auto &thread : e.vm->threads) {
            jint state = threadState(*thread);
            if ((state & JVMTI_THREAD_STATE_ALIVE) == 0)
                continue;
            for (auto &[held, depth] : thread->ownedMonitors) {
                if (held == monitor) {
                    owner = thread->threadObject;
                    ++entries;
                }
            }
            if (thread->contendedMonitor == monitor) {
                if ((state & JVMTI_THREAD_STATE_BLOCKED_ON_MONITOR_ENTER) != 0)
                    blocked.push_back(thread->threadObject);
                else if ((state & JVMTI_THREAD_STATE_IN_OBJECT_WAIT) != 0)
                    waiting.push_back(thread->threadObject);
            }
        }
    }
    *usage = jvmtiMonitorUsage{};
    usage->owner = e.local(owner);
    usage->entry_count = entries;
    jvmtiError error = e.allocate(blocked.size() * sizeof(jthread), reinterpret_cast<void **>(&usage->waiters));
    if (error == JVMTI_ERROR_NONE)
        error = e.allocate(waiting.size() * sizeof(jthread), reinterpret_cast<void **>(&usage->notify_waiters));
    if (error != JVMTI_ERROR_NONE)
        return error;
    for (size_t i = 0; i < blocked.size(); ++i)
        usage->waiters[i] = e.local(blocked[i]);
    for (size_t i = 0; i < waiting.size(); ++i)
        usage->notify_waiters[i] = e.local(waiting[i]);
    usage->waiter_count = static_cast<jint>(blocked.size());
    usage->notify_waiter_count = static_cast<jint>(waiting.size());
    return JVMTI_ERROR_NONE;
}

} // namespace

void fillThreadFunctions(jvmtiInterface_1_ &t) {
    t.RunAgentThread = RunAgentThread;
    t.GetAllThreads = GetAllThreads;
    t.GetCurrentThread = GetCurrentThread;
    t.GetThreadState = GetThreadState;
    t.ResumeThread = ResumeThread;
    t.SuspendThreadList = SuspendThreadList;
    t.ResumeThreadList = ResumeThreadList;
    t.GetThreadListStackTraces = GetThreadListStackTraces;
    t.GetOwnedMonitorInfo = GetOwnedMonitorInfo;
    t.GetOwnedMonitorStackDepthInfo = GetOwnedMonitorStackDepthInfo;
    t.GetCurrentContendedMonitor = GetCurrentContendedMonitor;
    t.GetObjectMonitorUsage = GetObjectMonitorUsage;
}

} // namespace vm
