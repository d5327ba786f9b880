// zun/vexil/JVMImpl beyond its context: process affinity, start time, load and the VM's arguments.
#include <cstdlib>

#include "java_support.h"
#include "management_data.h"

using namespace vexil;

namespace {

jstring guardedText(JNIEnv *env, jint id) {
    if (!requireExt(env))
        return nullptr;
    ManagementData data(env, id);
    if (!data.get()) {
        throwNotAvailable(env, "");
        return nullptr;
    }
    return newString(env, data.text());
}

} // namespace

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_JVMImpl_suggestProcessAffinity0(JNIEnv *env, jobject,
                                                                                jintArray affinity) {
    if (!supports(VM_SUPPORTS_PROCESS_AFFINITY) || binding.ext == nullptr)
        return throwNotAvailable(env, "suggestProcessAffinity");
    if (affinity == nullptr)
        return throwByName(env, "java/lang/NullPointerException", "null affinity");
    jsize length = env->GetArrayLength(affinity);
    auto *values = static_cast<jint *>(malloc(sizeof(jint) * (length > 0 ? length : 1)));
    if (values == nullptr)
        return throwOutOfMemory(env, "suggestProcessAffinity0");
    env->GetIntArrayRegion(affinity, 0, length, values);
    if (!env->ExceptionCheck())
        binding.ext->setData(env, nullptr, 403, length, values);
    free(values);
}

extern "C" JNIEXPORT jintArray JNICALL Java_zun_vexil_JVMImpl_getProcessAffinity0(JNIEnv *env, jobject) {
    if (!supports(VM_SUPPORTS_PROCESS_AFFINITY) || binding.ext == nullptr) {
        throwNotAvailable(env, "getProcessAffinity");
        return nullptr;
    }
    ManagementData data(env, 403);
    if (!data.get()) {
        throwByName(env, "java/lang/RuntimeException", "Failed to get CPU affinity");
        return nullptr;
    }
    jintArray result = env->NewIntArray(data.count());
    if (result != nullptr)
        env->SetIntArrayRegion(result, 0, data.count(), data.records<jint>());
    return result;
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_JVMImpl_getStartTime(JNIEnv *env, jobject) {
    return extLong(env, 600, 0);
}

extern "C" JNIEXPORT jdouble JNICALL Java_zun_vexil_JVMImpl_getJVMLoad(JNIEnv *env, jobject) {
    return supports(VM_SUPPORTS_LOAD) && binding.ext != nullptr ? dataDouble(env, 402) : 0.0;
}

extern "C" JNIEXPORT jstring JNICALL Java_zun_vexil_JVMImpl_getJVMInitArgs(JNIEnv *env, jobject) {
    return guardedText(env, 601);
}

extern "C" JNIEXPORT jstring JNICALL Java_zun_vexil_JVMImpl_getJavaCommandLine(JNIEnv *env, jobject) {
    return guardedText(env, 600);
}
