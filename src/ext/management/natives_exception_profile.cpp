// zun/vexil/ExceptionProfileImpl: counting thrown exceptions per class.
#include "java_support.h"
#include "management_data.h"

using namespace vexil;

extern "C" JNIEXPORT jboolean JNICALL Java_zun_vexil_ExceptionProfileImpl_checkAvailable(JNIEnv *env, jobject) {
    return requireExt(env) ? JNI_TRUE : JNI_FALSE;
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_ExceptionProfileImpl_setSingleEnabled0(JNIEnv *env, jobject,
                                                                                       jclass cls, jboolean on) {
    if (binding.ext != nullptr)
        binding.ext->setBool(env, cls, 300, on);
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_ExceptionProfileImpl_setCompositeEnabled0(JNIEnv *env, jobject,
                                                                                          jclass cls, jboolean on) {
    if (binding.ext != nullptr)
        binding.ext->setBool(env, cls, 301, on);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_ExceptionProfileImpl_getSingleCount0(JNIEnv *env, jobject,
                                                                                      jclass cls) {
    return binding.ext != nullptr ? binding.ext->getLong(env, cls, 300) : 0;
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_ExceptionProfileImpl_getCompositeCount0(JNIEnv *env, jobject,
                                                                                         jclass cls) {
    return binding.ext != nullptr ? binding.ext->getLong(env, cls, 301) : 0;
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_zun_vexil_ExceptionProfileImpl_getSingleCounts0(JNIEnv *env,
                                                                                              jobject) {
    if (binding.ext == nullptr)
        return nullptr;
    ManagementData data(env, 300);
    if (!data.get()) {
        throwNotAvailable(env, "getSingleCounts");
        return nullptr;
    }
    jint count = data.count();
    const auto *records = data.records<VmExceptionCount>();
    jobjectArray classes = env->NewObjectArray(count, binding.classClass, nullptr);
    jlongArray counts = classes != nullptr ? env->NewLongArray(count) : nullptr;
    jobjectArray result = counts != nullptr ? env->NewObjectArray(2, binding.objectClass, nullptr) : nullptr;
    if (result != nullptr) {
        for (jint i = 0; i < count; ++i) {
            env->SetObjectArrayElement(classes, i, records[i].cls);
            env->SetLongArrayRegion(counts, i, 1, &records[i].count);
        }
        env->SetObjectArrayElement(result, 0, classes);
        env->SetObjectArrayElement(result, 1, counts);
    }
    env->DeleteLocalRef(counts);
    env->DeleteLocalRef(classes);
    if (result == nullptr || env->ExceptionCheck()) {
        env->DeleteLocalRef(result);
        env->ExceptionClear();
        throwOutOfMemory(env, "getSingleCounts0");
        return nullptr;
    }
    return result;
}
