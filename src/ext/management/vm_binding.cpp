// Loading and unloading: the management tables, the optional-support flags and the cached
// references.
#include "vm_binding.h"

#include <windows.h>

#include <initializer_list>

#include "java_support.h"
#include "management_context.h"
#include "native_caches.h"

namespace vexil {

constinit VmBinding binding{};

bool requireJmm(JNIEnv *env) {
    if (binding.jmm != nullptr)
        return true;
    throwNotAvailable(env, "no JMM interface available");
    return false;
}

bool requireExt(JNIEnv *env) {
    if (binding.ext != nullptr)
        return true;
    throwNotAvailable(env, "no JMM_EXT interface available");
    return false;
}

namespace {

void releaseReferences(JNIEnv *env) {
    for (jclass *global : {&binding.objectClass, &binding.stringClass, &binding.classClass, &binding.threadClass}) {
        if (*global != nullptr)
            env->DeleteGlobalRef(*global);
        *global = nullptr;
    }
    for (jweak *weak : {&binding.jvmImplClass, &binding.threadSnapshotClass, &binding.monitorClass,
                        &binding.callTraceElementClass}) {
        if (*weak != nullptr)
            env->DeleteWeakGlobalRef(*weak);
        *weak = nullptr;
    }
}

jclass globalClass(JNIEnv *env, const char *name) {
    jclass local = env->FindClass(name);
    if (local == nullptr)
        return nullptr;
    auto global = static_cast<jclass>(env->NewGlobalRef(local));
    env->DeleteLocalRef(local);
    return global;
}

jweak weakClass(JNIEnv *env, const char *name) {
    jclass local = env->FindClass(name);
    if (local == nullptr)
        return nullptr;
    jweak weak = env->NewWeakGlobalRef(local);
    env->DeleteLocalRef(local);
    return weak;
}

bool bindReferences(JNIEnv *env) {
    binding.objectClass = globalClass(env, "java/lang/Object");
    binding.stringClass = globalClass(env, "java/lang/String");
    binding.classClass = globalClass(env, "java/lang/Class");
    binding.threadClass = globalClass(env, "java/lang/Thread");
    binding.jvmImplClass = weakClass(env, "zun/vexil/JVMImpl");
    binding.threadSnapshotClass = weakClass(env, "zun/vexil/ThreadSnapshotImpl");
    binding.monitorClass = weakClass(env, "zun/vexil/MonitorImpl");
    binding.callTraceElementClass = weakClass(env, "zun/vexil/CallTraceElementImpl");
    if (binding.objectClass == nullptr || binding.stringClass == nullptr || binding.classClass == nullptr ||
        binding.threadClass == nullptr || binding.jvmImplClass == nullptr || binding.threadSnapshotClass == nullptr ||
        binding.monitorClass == nullptr || binding.callTraceElementClass == nullptr)
        return false;
    auto jvmImpl = static_cast<jclass>(binding.jvmImplClass);
    binding.handleField = env->GetFieldID(jvmImpl, "handle", "J");
    binding.eventThreadField = env->GetFieldID(jvmImpl, "eventThread", "Ljava/lang/Thread;");
    binding.onClassFileHook =
        env->GetMethodID(jvmImpl, "onClassFileHook", "(Ljava/lang/ClassLoader;Ljava/lang/String;[B)[B");
    binding.onGCEnd = env->GetMethodID(jvmImpl, "onGCEnd", "(IIJJJ)V");
    binding.onClassLoad = env->GetMethodID(jvmImpl, "onClassLoad", "(Ljava/lang/Class;)V");
    binding.onCompiled = env->GetMethodID(jvmImpl, "onCompiled", "(Ljava/lang/reflect/AccessibleObject;IJ)V");
    return binding.onClassFileHook != nullptr && binding.onGCEnd != nullptr && binding.onClassLoad != nullptr &&
           binding.onCompiled != nullptr;
}

} // namespace

} // namespace vexil

using namespace vexil;

extern "C" JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM *vm, void *) {
    if (binding.loadCount != 0)
        return -1;
    binding.loadCount = 1;
    binding.vm = vm;
    binding.jmm = static_cast<const VmManagement *>(JVM_GetManagement(JMM_VERSION_1_0));
    binding.ext = static_cast<const VmManagementExt *>(JVM_GetManagement(JMM_EXT_VERSION));
    binding.support = VmOptionalSupport{};
    if (binding.ext != nullptr)
        binding.ext->getOptionalSupport(&binding.support);
    JNIEnv *env = nullptr;
    if (vm->GetEnv(reinterpret_cast<void **>(&env), jniVersion) != JNI_OK || env == nullptr) {
        binding.loadCount = 0;
        return -1;
    }
    if (!bindReferences(env)) {
        // A refused load keeps nothing: the VM may load the library again later.
        releaseReferences(env);
        binding.loadCount = 0;
        return -1;
    }
    return jniVersion;
}

extern "C" JNIEXPORT void JNICALL JNI_OnUnload(JavaVM *vm, void *) {
    if (binding.loadCount <= 0 || --binding.loadCount != 0)
        return;
    JNIEnv *env = nullptr;
    if (vm->GetEnv(reinterpret_cast<void **>(&env), jniVersion) != JNI_OK || env == nullptr)
        return;
    releaseParameterClasses(env);
    forgetThreadIds();
    forgetNicIds();
    forgetTransformMethod();
    compileInfoWanted = false;
    releaseReferences(env);
}

// The natives bind to the VM in JNI_OnLoad, not at load.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
