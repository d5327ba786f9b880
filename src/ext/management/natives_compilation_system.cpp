// zun/vexil/CompilationSystemImpl: compilation strategies, optimisation and the compilation events.
#include "java_support.h"
#include "management_context.h"
#include "management_data.h"

using namespace vexil;

extern "C" JNIEXPORT jobjectArray JNICALL Java_zun_vexil_CompilationSystemImpl_initStrategies(JNIEnv *env, jobject) {
    if (!requireExt(env))
        return nullptr;
    ManagementData data(env, 200);
    if (!data.get()) {
        throwNotAvailable(env, "failed to get strategies");
        return nullptr;
    }
    jclass cls = env->FindClass("zun/vexil/CGStrategyImpl");
    jmethodID constructor = cls != nullptr ? env->GetMethodID(cls, "<init>", "(Ljava/lang/String;IZ)V") : nullptr;
    jobjectArray result = constructor != nullptr ? env->NewObjectArray(data.count(), cls, nullptr) : nullptr;
    const auto *records = data.records<VmCompilationStrategy>();
    for (jint i = 0; result != nullptr && i < data.count(); ++i) {
        jstring name = newString(env, records[i].name);
        jobject strategy = env->ExceptionCheck() ? nullptr
                                                 : env->NewObject(cls, constructor, name, i,
                                                                  static_cast<jboolean>(records[i].flag != 0));
        if (strategy == nullptr) {
            env->DeleteLocalRef(result);
            result = nullptr;
        } else {
            env->SetObjectArrayElement(result, i, strategy);
        }
        env->DeleteLocalRef(strategy);
        env->DeleteLocalRef(name);
    }
    env->DeleteLocalRef(cls);
    if (result != nullptr)
        compileInfoWanted = binding.ext->getBool(env, nullptr, 201) != JNI_FALSE;
    return result;
}

extern "C" JNIEXPORT jboolean JNICALL Java_zun_vexil_CompilationSystemImpl_isOptimizing(JNIEnv *env, jobject) {
    return requireExt(env) ? binding.ext->getBool(env, nullptr, 200) : JNI_FALSE;
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_CompilationSystemImpl_setOptimizing(JNIEnv *env, jobject,
                                                                                    jboolean on) {
    if (requireExt(env))
        binding.ext->setBool(env, nullptr, 200, on);
}

extern "C" JNIEXPORT jint JNICALL Java_zun_vexil_CompilationSystemImpl_getStrategy(JNIEnv *env, jobject,
                                                                                  jobject method) {
    return binding.ext != nullptr ? static_cast<jint>(binding.ext->getLong(env, method, 200)) : 0;
}

extern "C" JNIEXPORT jboolean JNICALL Java_zun_vexil_CompilationSystemImpl_forceCompilation(JNIEnv *env, jobject,
                                                                                           jobject method,
                                                                                           jint strategy) {
    if (!requireExt(env))
        return JNI_FALSE;
    return binding.ext->setLong(env, method, 200, strategy) > 0 ? JNI_TRUE : JNI_FALSE;
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_CompilationSystemImpl_addedFirstListener(JNIEnv *env, jobject self) {
    switchEvent(env, self, true, JVMTI_EVENT_COMPILED_METHOD_LOAD);
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_CompilationSystemImpl_removedLastListener(JNIEnv *env,
                                                                                         jobject self) {
    switchEvent(env, self, false, JVMTI_EVENT_COMPILED_METHOD_LOAD);
}
