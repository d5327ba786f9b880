// The host side of the VM: loading, classes and methods of the host, events, simulated threads.
#include <cstring>

#include "classlib.h"
#include "jni_support.h"

using namespace vm;

namespace {

bool isClassName(const char *name) {
    return name != nullptr && name[0] != '\0' && name[0] != '[' && strchr(name, '.') == nullptr &&
           isFieldDescriptor(std::string("L") + name + ";");
}

JavaThread *simulatedThread(JniEntry &e, jthread ref) {
    Object *object = e.object(ref);
    JavaThread *thread = object != nullptr ? threadOf(*e.vm, object) : nullptr;
    if (thread == nullptr || !thread->simulated) {
        e.problem("the thread is not a simulated thread");
        return nullptr;
    }
    return thread;
}

} // namespace

extern "C" jint vmhostLoadLibrary(JNIEnv *env, const char *path) noexcept {
    JniEntry e(env, "vmhostLoadLibrary");
    if (!e.ok || path == nullptr)
        return -1;
    return loadLibrary(*e.vm, *e.thread, path);
}

extern "C" jint vmhostLoadAgent(JavaVM *javaVm, const char *path, const char *options) noexcept {
    Vm *vm = vmOf(javaVm);
    JavaThread *thread = currentThread();
    if (vm == nullptr || thread == nullptr || path == nullptr)
        return JNI_ERR;
    return loadAgent(*vm, *thread, path, options);
}

extern "C" jclass vmhostDefineClass(JNIEnv *env, const char *name, const char *superName, jobject loader,
                                    const unsigned char *classBytes, jint length) noexcept {
    JniEntry e(env, "vmhostDefineClass");
    if (!e.ok)
        return nullptr;
    if (!isClassName(name) || (superName != nullptr && !isClassName(superName)) || length < 0 ||
        (classBytes == nullptr && length > 0)) {
        e.problem("bad class name, superclass name or class bytes");
        return nullptr;
    }
    Object *loaderObject = e.object(loader);
    std::vector<unsigned char> bytes;
    if (classBytes != nullptr) {
        bytes.assign(classBytes, classBytes + length);
        if (e.vm->phase == JVMTI_PHASE_LIVE)
            bytes = postClassFileLoadHook(*e.vm, *e.thread, nullptr, loaderObject, name, std::move(bytes), false);
    }
    Class *klass = defineClass(*e.vm, name, superName != nullptr ? superName : "java/lang/Object");
    if (klass == nullptr) {
        e.problem(std::string("the class ") + name + " exists already or its superclass is missing");
        return nullptr;
    }
    {
        std::lock_guard guard(e.vm->lock);
        klass->loader = loaderObject;
        if (classBytes != nullptr)
            klass->bytes = std::move(bytes);
    }
    if (e.vm->phase == JVMTI_PHASE_LIVE)
        postClassLoad(*e.vm, *e.thread, klass);
    return static_cast<jclass>(e.local(klass));
}

extern "C" jint vmhostAddInterface(JNIEnv *env, jclass cls, const char *interfaceName) noexcept {
    JniEntry e(env, "vmhostAddInterface");
    Class *klass = e.ok ? e.klass(cls) : nullptr;
    Class *found = klass != nullptr && interfaceName != nullptr ? findClass(*e.vm, interfaceName) : nullptr;
    if (found == nullptr || !found->isInterface()) {
        if (klass != nullptr)
            e.problem(std::string("there is no interface ") + (interfaceName != nullptr ? interfaceName : "null"));
        return JNI_ERR;
    }
    std::lock_guard guard(e.vm->lock);
    klass->interfaces.push_back(found);
    return JNI_OK;
}

extern "C" jfieldID vmhostAddField(JNIEnv *env, jclass cls, const char *name, const char *signature,
                                   jint modifiers) noexcept {
    JniEntry e(env, "vmhostAddField");
    Class *klass = e.ok ? e.klass(cls) : nullptr;
    if (klass == nullptr || name == nullptr || signature == nullptr)
        return nullptr;
    Field *field = addField(*e.vm, klass, name, signature, modifiers);
    if (field == nullptr)
        e.problem(std::string("cannot add the field ") + name + " " + signature);
    return reinterpret_cast<jfieldID>(field);
}

extern "C" jmethodID vmhostAddMethod(JNIEnv *env, jclass cls, const char *name, const char *signature, jint modifiers,
                                     VmhostMethodBody body, void *context, void (*release)(void *)) noexcept {
    JniEntry e(env, "vmhostAddMethod");
    Class *klass = e.ok ? e.klass(cls) : nullptr;
    if (klass == nullptr || name == nullptr || signature == nullptr)
        return nullptr;
    bool isNative = (modifiers & ACC_NATIVE) != 0;
    if (isNative == (body != nullptr) && (modifiers & ACC_ABSTRACT) == 0) {
        e.problem(std::string(name) + ": a native method has no body and any other method needs one");
        return nullptr;
    }
    Body wrapper;
    if (body != nullptr) {
        wrapper = [body, context](Call &call) {
            Vm &vm = *currentVm();
            JavaThread &thread = call.thread;
            pushLocalFrame(vm, thread, nullptr);
            Object *receiver = call.self != nullptr ? call.self : call.method.owner;
            jobject self = newRef(vm, thread, receiver, RefKind::Local);
            std::vector<jvalue> args(call.args, call.args + call.method.parameters.size());
            for (size_t i = 0; i < args.size(); ++i) {
                char type = call.method.parameters[i][0];
                if (type == 'L' || type == '[')
                    args[i].l = newRef(vm, thread, reinterpret_cast<Object *>(args[i].l), RefKind::Local);
            }
            jvalue result = body(&thread.jni.env, self, args.data(), context);
            char type = call.method.result[0];
            if (type == 'L' || type == '[')
                result = objectValue(resolve(vm, thread, result.l, "a host method body"));
            popLocalFrame(vm, thread);
            return result;
        };
    }
    Method *method = addMethod(*e.vm, klass, name, signature, modifiers, std::move(wrapper));
    if (method == nullptr) {
        e.problem(std::string("cannot add the method ") + name + signature);
        return nullptr;
    }
    if (release != nullptr) {
        std::lock_guard guard(e.vm->lock);
        e.vm->releases.push_back([release, context] { release(context); });
    }
    return reinterpret_cast<jmethodID>(method);
}

extern "C" void vmhostSetSourceFile(JNIEnv *env, jclass cls, const char *sourceFile) noexcept {
    JniEntry e(env, "vmhostSetSourceFile");
    Class *klass = e.ok ? e.klass(cls) : nullptr;
    if (klass == nullptr)
        return;
    std::lock_guard guard(e.vm->lock);
    klass->sourceFile = sourceFile != nullptr ? sourceFile : "";
}

extern "C" void vmhostSetLineNumbers(JNIEnv *env, jmethodID id, const jvmtiLineNumberEntry *table,
                                     jint count) noexcept {
    JniEntry e(env, "vmhostSetLineNumbers");
    Method *method = e.ok ? e.method(id) : nullptr;
    if (method == nullptr || count < 0 || (table == nullptr && count > 0))
        return;
    std::lock_guard guard(e.vm->lock);
    method->lines.assign(table, table + count);
}

extern "C" jint vmhostClassBytes(JNIEnv *env, jclass cls, unsigned char *bytes, jint size) noexcept {
    JniEntry e(env, "vmhostClassBytes");
    Class *klass = e.ok ? e.klass(cls) : nullptr;
    if (klass == nullptr)
        return -1;
    std::lock_guard guard(e.vm->lock);
    jint length = static_cast<jint>(klass->bytes.size());
    if (bytes != nullptr && size >= length)
        memcpy(bytes, klass->bytes.data(), klass->bytes.size());
    return length;
}

extern "C" void vmhostPostClassLoad(JNIEnv *env, jclass cls) noexcept {
    JniEntry e(env, "vmhostPostClassLoad");
    if (Class *klass = e.ok ? e.klass(cls) : nullptr)
        postClassLoad(*e.vm, *e.thread, klass);
}

extern "C" void vmhostPostCompiledMethodLoad(JNIEnv *env, jmethodID id, jint codeSize, const void *compileInfo) noexcept {
    JniEntry e(env, "vmhostPostCompiledMethodLoad");
    if (Method *method = e.ok ? e.method(id) : nullptr)
        postCompiledMethodLoad(*e.vm, *e.thread, method, codeSize, compileInfo);
}

extern "C" jthread vmhostSimulateThread(JNIEnv *env, const char *name, jint priority, jboolean daemon,
                                        jint state) noexcept {
    JniEntry e(env, "vmhostSimulateThread");
    if (!e.ok || name == nullptr)
        return nullptr;
    Object *object = newThreadObject(*e.vm, name, daemon != JNI_FALSE);
    setField(*e.vm, object, "priority", intValue(priority));
    auto thread = std::make_unique<JavaThread>();
    thread->name = name;
    thread->threadObject = object;
    thread->simulated = true;
    thread->daemon = daemon != JNI_FALSE;
    thread->simulatedState = state;
    std::lock_guard guard(e.vm->lock);
    e.vm->byThreadObject[object] = thread.get();
    e.vm->threads.push_back(std::move(thread));
    return e.local(object);
}

extern "C" void vmhostPushFrame(JNIEnv *env, jthread thread, jmethodID id, jlocation location) noexcept {
    JniEntry e(env, "vmhostPushFrame");
    JavaThread *target = e.ok ? simulatedThread(e, thread) : nullptr;
    Method *method = target != nullptr ? e.method(id) : nullptr;
    if (method == nullptr)
        return;
    std::lock_guard guard(e.vm->lock);
    target->frames.push_back(Frame{method, method->isNative() ? -1 : location});
}

extern "C" void vmhostAddOwnedMonitor(JNIEnv *env, jthread thread, jobject monitor, jint stackDepth) noexcept {
    JniEntry e(env, "vmhostAddOwnedMonitor");
    JavaThread *target = e.ok ? simulatedThread(e, thread) : nullptr;
    Object *object = target != nullptr ? e.object(monitor) : nullptr;
    if (object == nullptr)
        return;
    std::lock_guard guard(e.vm->lock);
    target->ownedMonitors.emplace_back(object, stackDepth);
}

extern "C" void vmhostSetContendedMonitor(JNIEnv *env, jthread thread, jobject monitor) noexcept {
    JniEntry e(env, "vmhostSetContendedMonitor");
    JavaThread *target = e.ok ? simulatedThread(e, thread) : nullptr;
    if (target == nullptr)
        return;
    Object *object = e.object(monitor);
    std::lock_guard guard(e.vm->lock);
    target->contendedMonitor = object;
}

extern "C" void vmhostEndSimulatedThread(JNIEnv *env, jthread thread) noexcept {
    JniEntry e(env, "vmhostEndSimulatedThread");
    JavaThread *target = e.ok ? simulatedThread(e, thread) : nullptr;
    if (target == nullptr)
        return;
    std::lock_guard guard(e.vm->lock);
    target->simulatedState = JVMTI_THREAD_STATE_TERMINATED;
    target->frames.clear();
    target->ownedMonitors.clear();
    target->contendedMonitor = nullptr;
}

extern "C" void vmhostSetPotentialCapabilities(JavaVM *javaVm, const jvmtiCapabilities *capabilities) noexcept {
    Vm *vm = vmOf(javaVm);
    if (vm == nullptr || capabilities == nullptr)
        return;
    std::lock_guard guard(vm->lock);
    vm->potential = *capabilities;
}

extern "C" jint vmhostToolEnvironments(JavaVM *javaVm, jint *disposed) noexcept {
    Vm *vm = vmOf(javaVm);
    if (vm == nullptr)
        return 0;
    std::lock_guard guard(vm->lock);
    jint count = 0;
    for (auto &state : vm->jvmtiEnvs)
        count += state->disposed ? 1 : 0;
    if (disposed != nullptr)
        *disposed = count;
    return static_cast<jint>(vm->jvmtiEnvs.size());
}

extern "C" void vmhostAddShutdownHook(JavaVM *javaVm, void (*hook)(JNIEnv *, void *), void *context) noexcept {
    Vm *vm = vmOf(javaVm);
    if (vm == nullptr || hook == nullptr)
        return;
    std::lock_guard guard(vm->lock);
    vm->shutdownHooks.push_back(ShutdownHook{[hook, context](JNIEnv *env) { hook(env, context); }});
}

namespace {

JavaThread *anyThread(JniEntry &e, jthread ref) {
    Object *object = e.object(ref);
    JavaThread *thread = object != nullptr ? threadOf(*e.vm, object) : nullptr;
    if (thread == nullptr)
        e.problem("the object is not a thread of this VM");
    return thread;
}

} // namespace

extern "C" void vmhostFailSuspend(JNIEnv *env, jthread thread, jint error) noexcept {
    JniEntry e(env, "vmhostFailSuspend");
    if (JavaThread *target = e.ok ? anyThread(e, thread) : nullptr) {
        std::lock_guard guard(e.vm->lock);
        target->suspendFailure = static_cast<jvmtiError>(error);
    }
}

extern "C" jint vmhostSuspensions(JNIEnv *env, jthread thread) noexcept {
    JniEntry e(env, "vmhostSuspensions");
    JavaThread *target = e.ok ? anyThread(e, thread) : nullptr;
    if (target == nullptr)
        return -1;
    std::lock_guard guard(e.vm->lock);
    return target->suspensions;
}

extern "C" void vmhostFailCall(JavaVM *javaVm, const char *function, jint error, jboolean always) noexcept {
    Vm *vm = vmOf(javaVm);
    if (vm == nullptr || function == nullptr)
        return;
    std::lock_guard guard(vm->lock);
    if (error == 0)
        vm->failingCalls.erase(function);
    else
        vm->failingCalls[function] = {error, always == JNI_FALSE};
}

extern "C" jvalue vmhostLastResult(JNIEnv *env) noexcept {
    JniEntry e(env, "vmhostLastResult", ExceptionSafe);
    if (!e.ok)
        return jvalue{};
    std::lock_guard guard(e.vm->lock);
    return e.thread->lastResult;
}

extern "C" jint vmhostEnvironments(JavaVM *javaVm, jvmtiCapabilities *held, jvmtiEventCallbacks *callbacks,
                                   jint max) noexcept {
    Vm *vm = vmOf(javaVm);
    if (vm == nullptr)
        return 0;
    std::lock_guard guard(vm->lock);
    jint count = 0;
    for (auto &state : vm->jvmtiEnvs) {
        if (state->disposed)
            continue;
        if (count < max && held != nullptr)
            held[count] = state->capabilities;
        if (count < max && callbacks != nullptr)
            callbacks[count] = state->callbacks;
        ++count;
    }
    return count;
}
