// Java threads: OS threads attached to the VM, agent threads, and simulated threads that exist
// only as Thread objects with a scripted stack.
#include "vm.h"

namespace vm {

Object *newThreadObject(Vm &vm, const std::string &name, bool daemon) {
    Object *thread = allocate<Object>(vm, vm.threadClass);
    initThreadObject(vm, thread, name, daemon);
    return thread;
}

void initThreadObject(Vm &vm, Object *thread, const std::string &name, bool daemon) {
    jlong id;
    {
        std::lock_guard guard(vm.lock);
        id = vm.nextThreadId++;
    }
    setObjectField(vm, thread, "name", newStringUtf(vm, name.empty() ? "Thread-" + std::to_string(id) : name));
    jvalue value{};
    value.j = id;
    setField(vm, thread, "tid", value);
    value = jvalue{};
    value.i = 5;
    setField(vm, thread, "priority", value);
    value = jvalue{};
    value.z = daemon ? JNI_TRUE : JNI_FALSE;
    setField(vm, thread, "daemon", value);
}

JavaThread *currentThread() {
    Vm *vm = currentVm();
    if (vm == nullptr)
        return nullptr;
    std::lock_guard guard(vm->lock);
    auto found = vm->attached.find(GetCurrentThreadId());
    return found == vm->attached.end() ? nullptr : found->second;
}

JavaThread *attachThread(Vm &vm, const char *name, bool daemon, Object *threadObject) {
    std::lock_guard guard(vm.lock);
    auto thread = std::make_unique<JavaThread>();
    JavaThread *raw = thread.get();
    raw->jni.env.functions = jniTable();
    raw->jni.thread = raw;
    raw->name = name != nullptr ? name : "Thread-" + std::to_string(vm.nextThreadId);
    raw->threadObject = threadObject != nullptr ? threadObject : newThreadObject(vm, raw->name, daemon);
    raw->daemon = daemon;
    raw->osId = GetCurrentThreadId();
    raw->attached = true;
    raw->localFrames.emplace_back();
    vm.attached[raw->osId] = raw;
    vm.byThreadObject[raw->threadObject] = raw;
    vm.threads.push_back(std::move(thread));
    return raw;
}

void detachThread(Vm &vm, JavaThread &thread) {
    if (thread.pendingException != nullptr) {
        report("thread \"" + thread.name + "\" ended with an exception pending: " + describe(thread.pendingException));
        thread.pendingException = nullptr;
    }
    {
        std::lock_guard guard(vm.lock);
        if (thread.criticalDepth > 0) {
            report("thread \"" + thread.name + "\" ended inside a critical region");
            thread.criticalDepth = 0;
        }
        while (!thread.localFrames.empty())
            popLocalFrame(vm, thread);
        thread.frames.clear();
        thread.attached = false;
        vm.attached.erase(thread.osId);
    }
    // A thread suspended as it detached can no longer be resumed: nothing is left to hold.
    holdThread(vm, thread, false);
}

JavaThread *threadOf(Vm &vm, const Object *threadObject) {
    std::lock_guard guard(vm.lock);
    auto found = vm.byThreadObject.find(threadObject);
    return found == vm.byThreadObject.end() ? nullptr : found->second;
}

jint threadState(const JavaThread &thread) {
    jint suspended = thread.suspended ? JVMTI_THREAD_STATE_SUSPENDED : 0;
    if (thread.simulated)
        return thread.simulatedState == 0 ? 0 : thread.simulatedState | suspended;
    if (!thread.attached)
        return JVMTI_THREAD_STATE_TERMINATED;
    jint state = JVMTI_THREAD_STATE_ALIVE | JVMTI_THREAD_STATE_RUNNABLE | suspended;
    if (!thread.frames.empty() && thread.frames.back().method->isNative())
        state |= JVMTI_THREAD_STATE_IN_NATIVE;
    return state;
}

std::string where(const JavaThread &thread) {
    for (auto frame = thread.frames.rbegin(); frame != thread.frames.rend(); ++frame)
        if (frame->method->isNative())
            return "native " + frame->method->displayName();
    if (!thread.activities.empty())
        return thread.activities.back();
    return "thread \"" + thread.name + "\"";
}

Activity::Activity(JavaThread &thread, std::string what) : thread(thread) {
    std::lock_guard guard(currentVm()->lock);
    thread.activities.push_back(std::move(what));
}

Activity::~Activity() {
    std::lock_guard guard(currentVm()->lock);
    thread.activities.pop_back();
}

} // namespace vm
