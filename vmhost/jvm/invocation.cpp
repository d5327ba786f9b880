// The invocation interface: creating the VM, attaching threads, GetEnv, and the VM exit, which
// runs the shutdown hooks, tells the agents, waits (bounded) for agent threads and unloads.
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "vm.h"

namespace vm {
namespace {

constinit std::atomic<Vm *> theVm{nullptr};
std::mutex &lifecycleLock() {
    static std::mutex lock;
    return lock;
}

bool isJniVersion(jint version) {
    switch (version) {
    case JNI_VERSION_1_1: case JNI_VERSION_1_2: case JNI_VERSION_1_4: case JNI_VERSION_1_6: case JNI_VERSION_1_8:
    case JNI_VERSION_9: case JNI_VERSION_10:
        return true;
    default:
        return false;
    }
}

jint JNICALL GetEnv(JavaVM *javaVm, void **penv, jint version) noexcept {
    Vm *vm = vmOf(javaVm);
    if (vm == nullptr || penv == nullptr)
        return JNI_ERR;
    void *in = *penv;
    *penv = nullptr;
    JavaThread *thread = currentThread();
    if (thread == nullptr)
        return JNI_EDETACHED;
    jint failure = JNI_OK;
    if (callFails(*vm, "GetEnv", failure))
        return failure;
    if (isJniVersion(version)) {
        *penv = &thread->jni.env;
        return JNI_OK;
    }
    if ((static_cast<unsigned>(version) & 0xFFFF0000u) == 0x30010000u) {
        std::lock_guard guard(vm->lock);
        if (vm->phase == JVMTI_PHASE_DEAD)
            return JNI_EVERSION;
        *penv = &newJvmtiEnv(*vm, thread)->env;
        return JNI_OK;
    }
    if (version == QRN_INTERFACE_VERSION) {
        *penv = recorderGetEnv(*vm, in);
        return *penv != nullptr ? JNI_OK : JNI_EINVAL;
    }
    return JNI_EVERSION;
}

jint attach(JavaVM *javaVm, void **penv, void *args, bool daemon) {
    Vm *vm = vmOf(javaVm);
    if (vm == nullptr || penv == nullptr)
        return JNI_ERR;
    if (JavaThread *thread = currentThread()) {
        *penv = &thread->jni.env;
        return JNI_OK;
    }
    const char *name = nullptr;
    if (args != nullptr) {
        auto *attachArgs = static_cast<JavaVMAttachArgs *>(args);
        if (!isJniVersion(attachArgs->version) || attachArgs->version == JNI_VERSION_1_1)
            return JNI_EVERSION;
        name = attachArgs->name;
    }
    if (vm->exiting)
        return JNI_ERR;
    JavaThread *thread = attachThread(*vm, name, daemon, nullptr);
    postThreadStart(*vm, *thread);
    *penv = &thread->jni.env;
    return JNI_OK;
}

jint JNICALL AttachCurrentThread(JavaVM *javaVm, void **penv, void *args) noexcept {
    return attach(javaVm, penv, args, false);
}

jint JNICALL AttachCurrentThreadAsDaemon(JavaVM *javaVm, void **penv, void *args) noexcept {
    return attach(javaVm, penv, args, true);
}

void endThread(Vm &vm, JavaThread &thread) {
    recorderThreadEnds(vm, thread);
    postThreadEnd(vm, thread);
    detachThread(vm, thread);
}

jint JNICALL DetachCurrentThread(JavaVM *javaVm) noexcept {
    Vm *vm = vmOf(javaVm);
    if (vm == nullptr)
        return JNI_ERR;
    JavaThread *thread = currentThread();
    if (thread == nullptr)
        return JNI_OK;
    if (!thread->frames.empty()) {
        report("DetachCurrentThread: thread \"" + thread->name + "\" detached while running Java code (" +
               thread->frames.back().method->displayName() + ")");
        return JNI_ERR;
    }
    endThread(*vm, *thread);
    return JNI_OK;
}

// Agent threads still running after the bounded wait.
std::vector<std::string> waitForAgentThreads(Vm &vm) {
    std::vector<JavaThread *> agents;
    {
        std::lock_guard guard(vm.lock);
        for (auto &thread : vm.threads)
            if (thread->agent && thread->handle != nullptr)
                agents.push_back(thread.get());
    }
    DWORD deadline = GetTickCount() + vm.exitWaitMs;
    std::vector<std::string> running;
    for (JavaThread *thread : agents) {
        DWORD now = GetTickCount();
        DWORD left = static_cast<int>(deadline - now) > 0 ? deadline - now : 0;
        if (WaitForSingleObject(thread->handle, left) != WAIT_OBJECT_0)
            running.push_back(thread->name);
    }
    return running;
}

void release(Vm *vm) {
    for (auto &loan : vm->loans)
        free(const_cast<void *>(loan.first));
    destroyRawMonitors(*vm);
    for (auto &thread : vm->threads)
        if (thread->handle != nullptr)
            CloseHandle(thread->handle);
    for (auto &release : vm->releases)
        release();
    delete vm;
}

// The exit after the hooks: agents told, agent threads waited for, libraries unloaded, checks.
// While any other thread still runs in the VM, the VM and its libraries stay in memory for it.
jint finish(Vm &vm, JavaThread &thread) {
    // The collecting thread gives its event buffer back while the agents still record.
    bool collectorEnded = endCollector(vm);
    if (vm.phase == JVMTI_PHASE_LIVE)
        postVmDeath(vm, thread);
    {
        std::lock_guard guard(vm.lock);
        vm.phase = JVMTI_PHASE_DEAD;
    }
    std::vector<std::string> running = waitForAgentThreads(vm);
    for (const std::string &name : running)
        report("agent thread \"" + name + "\" still ran " + std::to_string(vm.exitWaitMs) + " ms after the VM exit began");
    bool keep = !running.empty() || !(collectorEnded && endCollector(vm));
    {
        std::lock_guard guard(vm.lock);
        for (auto &other : vm.threads) {
            if (other->attached && other.get() != &thread && !other->agent) {
                report("thread \"" + other->name + "\" was still attached when the VM exited");
                keep = true;
            }
        }
    }
    if (!keep)
        unloadLibraries(vm, thread);
    checkSinceBaseline(vm);
    detachThread(vm, thread);
    setCurrentVm(nullptr);
    if (keep)
        return JNI_ERR;
    freeLibraries(vm);
    release(&vm);
    return JNI_OK;
}

jint JNICALL DestroyJavaVM(JavaVM *javaVm) noexcept {
    Vm *vm = vmOf(javaVm);
    if (vm == nullptr)
        return JNI_ERR;
    std::lock_guard lifecycle(lifecycleLock());
    JavaThread *thread = currentThread();
    if (thread == nullptr)
        thread = attachThread(*vm, "DestroyJavaVM", false, nullptr);
    recorderBeforeExit(*vm, *thread);
    std::vector<ShutdownHook> hooks;
    {
        std::lock_guard guard(vm->lock);
        vm->exiting = true;
        hooks = vm->shutdownHooks;
    }
    for (auto hook = hooks.rbegin(); hook != hooks.rend(); ++hook) {
        Activity activity(*thread, "a shutdown hook");
        hook->run(&thread->jni.env);
        describeException(*thread, takeException(*thread));
    }
    return finish(*vm, *thread);
}

// The milliseconds of a -Xvmhost option: digits only, and at least one.
bool parseMillis(const char *digits, DWORD &ms) {
    char *end = nullptr;
    unsigned long value = strtoul(digits, &end, 10);
    if (end == digits || *end != '\0')
        return false;
    ms = static_cast<DWORD>(value);
    return true;
}

bool parseOptions(Vm &vm, const JavaVMInitArgs *args, std::vector<std::pair<std::string, const char *>> &agents,
                  std::vector<std::string> &texts) {
    if (args == nullptr)
        return true;
    if (!isJniVersion(args->version) || args->version == JNI_VERSION_1_1 || args->nOptions < 0 ||
        (args->nOptions > 0 && args->options == nullptr))
        return false;
    texts.reserve(args->nOptions);
    for (jint i = 0; i < args->nOptions; ++i) {
        const char *option = args->options[i].optionString;
        if (option == nullptr)
            return false;
        std::string text = option;
        if (text.rfind("-agentpath:", 0) == 0) {
            std::string value = text.substr(11);
            size_t equals = value.find('=');
            texts.push_back(equals == std::string::npos ? std::string() : value.substr(equals + 1));
            agents.emplace_back(value.substr(0, equals), equals == std::string::npos ? nullptr : texts.back().c_str());
        } else if (text.rfind("-Xvmhost:exitwait=", 0) == 0) {
            if (!parseMillis(text.c_str() + 18, vm.exitWaitMs))
                return false;
        } else if (text.rfind("-Xvmhost:stopwait=", 0) == 0) {
            if (!parseMillis(text.c_str() + 18, vm.stopWaitMs))
                return false;
        } else if (!args->ignoreUnrecognized) {
            report("unrecognised VM option \"" + text + "\"");
            return false;
        }
    }
    return true;
}

const JNIInvokeInterface_ table = [] {
    JNIInvokeInterface_ t{};
    t.DestroyJavaVM = DestroyJavaVM;
    t.AttachCurrentThread = AttachCurrentThread;
    t.DetachCurrentThread = DetachCurrentThread;
    t.GetEnv = GetEnv;
    t.AttachCurrentThreadAsDaemon = AttachCurrentThreadAsDaemon;
    return t;
}();

} // namespace

const JNIInvokeInterface_ *invokeTable() { return &table; }

Vm *currentVm() { return theVm.load(); }

void setCurrentVm(Vm *vm) { theVm.store(vm); }

Vm &runningVm(const char *operation) {
    Vm *vm = currentVm();
    if (vm == nullptr) {
        report(std::string(operation) + " was called while no VM runs");
        abort();
    }
    return *vm;
}

Vm *vmOf(JavaVM *javaVm) {
    Vm *vm = currentVm();
    if (vm == nullptr || javaVm != &vm->javaVm) {
        report(vm == nullptr ? "the JavaVM was used while no VM runs" : "a JavaVM this VM did not hand out was used");
        return nullptr;
    }
    return vm;
}

} // namespace vm

using namespace vm;

extern "C" jint vmhostCreateJavaVM(JavaVM **javaVm, JNIEnv **env, const JavaVMInitArgs *args) noexcept {
    if (javaVm == nullptr || env == nullptr)
        return JNI_EINVAL;
    std::lock_guard lifecycle(lifecycleLock());
    if (currentVm() != nullptr)
        return JNI_EEXIST;
    auto *vm = new Vm;
    initWorld(*vm);
    std::vector<std::pair<std::string, const char *>> agents;
    std::vector<std::string> texts;
    if (!parseOptions(*vm, args, agents, texts)) {
        delete vm;
        return JNI_EINVAL;
    }
    vm->javaVm.functions = invokeTable();
    QueryPerformanceCounter(&vm->startCounter);
    defaultCapabilities(vm->potential);
    setCurrentVm(vm);
    defineLangClasses(*vm);
    defineUtilityClasses(*vm);
    defineRecorderClasses(*vm);
    defineManagementClasses(*vm);
    initRecorder(*vm);
    initManagement(*vm);
    JavaThread *main = attachThread(*vm, "main", false, nullptr);
    for (auto &agent : agents) {
        jint result = loadAgent(*vm, *main, agent.first, agent.second);
        if (result != JNI_OK) {
            report("Agent_OnLoad of " + agent.first + " answered " + std::to_string(result) + ": the VM does not start");
            finish(*vm, *main);
            return JNI_ERR;
        }
    }
    *javaVm = &vm->javaVm;
    *env = &main->jni.env;
    return JNI_OK;
}

extern "C" jint vmhostStartJavaVM(JavaVM *javaVm) noexcept {
    Vm *vm = vmOf(javaVm);
    JavaThread *thread = currentThread();
    if (vm == nullptr || thread == nullptr || vm->phase != JVMTI_PHASE_ONLOAD)
        return JNI_ERR;
    postVmInit(*vm, *thread);
    markBaseline(*vm);
    return JNI_OK;
}

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM **javaVm, void **env, void *args) {
    JNIEnv *jni = nullptr;
    jint result = vmhostCreateJavaVM(javaVm, &jni, static_cast<const JavaVMInitArgs *>(args));
    if (result == JNI_OK)
        result = vmhostStartJavaVM(*javaVm);
    if (env != nullptr)
        *env = jni;
    return result;
}
