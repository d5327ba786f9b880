// Tool interface: raw monitors, re-entrant, on a critical section and a condition variable.
#include "jvmti_support.h"

namespace vm {
namespace {

RawMonitor *monitorOf(JvmtiEntry &e, jrawMonitorID id) {
    std::lock_guard guard(e.vm->lock);
    auto found = e.vm->rawMonitors.find(reinterpret_cast<const RawMonitor *>(id));
    if (found == e.vm->rawMonitors.end() || found->second->destroyed)
        return nullptr;
    return found->second.get();
}

jvmtiError JNICALL CreateRawMonitor(jvmtiEnv *env, const char *name, jrawMonitorID *id) noexcept {
    JvmtiEntry e(env, "CreateRawMonitor", OnLoadOrLive);
    if (!e.ok())
        return e.error;
    if (name == nullptr || id == nullptr)
        return JVMTI_ERROR_NULL_POINTER;
    auto monitor = std::make_unique<RawMonitor>();
    monitor->name = name;
    InitializeCriticalSection(&monitor->section);
    InitializeConditionVariable(&monitor->changed);
    monitor->origin = e.thread != nullptr ? where(*e.thread) : "thread " + std::to_string(GetCurrentThreadId());
    std::lock_guard guard(e.vm->lock);
    monitor->serial = ++e.vm->serial;
    *id = reinterpret_cast<jrawMonitorID>(monitor.get());
    e.vm->rawMonitors[monitor.get()] = std::move(monitor);
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL DestroyRawMonitor(jvmtiEnv *env, jrawMonitorID id) noexcept {
    JvmtiEntry e(env, "DestroyRawMonitor", OnLoadOrLive);
    if (!e.ok())
        return e.error;
    RawMonitor *monitor = monitorOf(e, id);
    if (monitor == nullptr)
        return JVMTI_ERROR_INVALID_MONITOR;
    std::lock_guard guard(e.vm->lock);
    if (monitor->owner != 0 && monitor->owner != GetCurrentThreadId())
        return JVMTI_ERROR_NOT_MONITOR_OWNER;
    while (monitor->entries > 0) {
        --monitor->entries;
        LeaveCriticalSection(&monitor->section);
    }
    monitor->owner = 0;
    monitor->destroyed = true;
    DeleteCriticalSection(&monitor->section);
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL RawMonitorEnter(jvmtiEnv *env, jrawMonitorID id) noexcept {
    JvmtiEntry e(env, "RawMonitorEnter");
    if (!e.ok())
        return e.error;
    RawMonitor *monitor = monitorOf(e, id);
    if (monitor == nullptr)
        return JVMTI_ERROR_INVALID_MONITOR;
    EnterCriticalSection(&monitor->section);
    monitor->owner = GetCurrentThreadId();
    ++monitor->entries;
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL RawMonitorExit(jvmtiEnv *env, jrawMonitorID id) noexcept {
    JvmtiEntry e(env, "RawMonitorExit");
    if (!e.ok())
        return e.error;
    RawMonitor *monitor = monitorOf(e, id);
    if (monitor == nullptr)
        return JVMTI_ERROR_INVALID_MONITOR;
    if (monitor->owner != GetCurrentThreadId())
        return JVMTI_ERROR_NOT_MONITOR_OWNER;
    if (--monitor->entries == 0)
        monitor->owner = 0;
    LeaveCriticalSection(&monitor->section);
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL RawMonitorWait(jvmtiEnv *env, jrawMonitorID id, jlong millis) noexcept {
    JvmtiEntry e(env, "RawMonitorWait");
    if (!e.ok())
        return e.error;
    RawMonitor *monitor = monitorOf(e, id);
    if (monitor == nullptr)
        return JVMTI_ERROR_INVALID_MONITOR;
    if (monitor->owner != GetCurrentThreadId())
        return JVMTI_ERROR_NOT_MONITOR_OWNER;
    // The condition variable releases one entry of the section: give up the others around it.
    int entries = monitor->entries;
    for (int i = 1; i < entries; ++i)
        LeaveCriticalSection(&monitor->section);
    monitor->owner = 0;
    monitor->entries = 0;
    DWORD timeout = millis <= 0 ? INFINITE : millis >= 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(millis);
    SleepConditionVariableCS(&monitor->changed, &monitor->section, timeout);
    for (int i = 1; i < entries; ++i)
        EnterCriticalSection(&monitor->section);
    monitor->owner = GetCurrentThreadId();
    monitor->entries = entries;
    return JVMTI_ERROR_NONE;
}

jvmtiError notify(jvmtiEnv *env, jrawMonitorID id, bool all, const char *function) {
    JvmtiEntry e(env, function);
    if (!e.ok())
        return e.error;
    RawMonitor *monitor = monitorOf(e, id);
    if (monitor == nullptr)
        return JVMTI_ERROR_INVALID_MONITOR;
    if (monitor->owner != GetCurrentThreadId())
        return JVMTI_ERROR_NOT_MONITOR_OWNER;
    if (all)
        WakeAllConditionVariable(&monitor->changed);
    else
        WakeConditionVariable(&monitor->changed);
    return JVMTI_ERROR_NONE;
}

jvmtiError JNICALL RawMonitorNotify(jvmtiEnv *env, jrawMonitorID id) noexcept {
    return notify(env, id, false, "RawMonitorNotify");
}

jvmtiError JNICALL RawMonitorNotifyAll(jvmtiEnv *env, jrawMonitorID id) noexcept {
    return notify(env, id, true, "RawMonitorNotifyAll");
}

} // namespace

void destroyRawMonitors(Vm &vm) {
    for (auto &[id, monitor] : vm.rawMonitors)
        if (!monitor->destroyed)
            DeleteCriticalSection(&monitor->section);
    vm.rawMonitors.clear();
}

void fillMonitorFunctions(jvmtiInterface_1_ &t) {
    t.CreateRawMonitor = CreateRawMonitor;
    t.DestroyRawMonitor = DestroyRawMonitor;
    t.RawMonitorEnter = RawMonitorEnter;
    t.RawMonitorExit = RawMonitorExit;
    t.RawMonitorWait = RawMonitorWait;
    t.RawMonitorNotify = RawMonitorNotify;
    t.RawMonitorNotifyAll = RawMonitorNotifyAll;
}

} // namespace vm
