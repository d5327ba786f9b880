// zun/vexil/GarbageCollectorImpl: collector strategies and heuristics, collection figures, pause
// targets and the collection events.
#include "java_support.h"
#include "management_context.h"
#include "management_data.h"

using namespace vexil;

namespace {

// Builds one object per record of getData `id` with `make`; null when getData fails or an object
// cannot be made.
template <typename Record, typename Make>
jobjectArray recordObjects(JNIEnv *env, jint id, const char *className, const char *signature, Make make) {
    ManagementData data(env, id);
    if (!data.get())
        return nullptr;
    jclass cls = env->FindClass(className);
    jmethodID constructor = cls != nullptr ? env->GetMethodID(cls, "<init>", signature) : nullptr;
    jobjectArray result = constructor != nullptr ? env->NewObjectArray(data.count(), cls, nullptr) : nullptr;
    for (jint i = 0; result != nullptr && i < data.count(); ++i) {
        jobject made = make(cls, constructor, data.records<Record>()[i]);
        if (made == nullptr || env->ExceptionCheck()) {
            env->DeleteLocalRef(result);
            result = nullptr;
        } else {
            env->SetObjectArrayElement(result, i, made);
        }
        env->DeleteLocalRef(made);
    }
    env->DeleteLocalRef(cls);
    return result;
}

} // namespace

extern "C" JNIEXPORT jobjectArray JNICALL Java_zun_vexil_GarbageCollectorImpl_getStrategies0(JNIEnv *env, jobject) {
    if (!requireExt(env))
        return nullptr;
    return recordObjects<VmGcStrategy>(
        env, 100, "zun/vexil/GCStrategyImpl", "(Ljava/lang/String;ZZZZZZ)V",
        [env](jclass cls, jmethodID constructor, const VmGcStrategy &record) -> jobject {
            jstring name = newString(env, record.name);
            if (env->ExceptionCheck())
                return nullptr;
            jobject made = env->NewObject(cls, constructor, name, record.flags[0], record.flags[1], record.flags[2],
                                          record.flags[3], record.flags[4], JNI_FALSE);
            env->DeleteLocalRef(name);
            return made;
        });
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_zun_vexil_GarbageCollectorImpl_getHeuristics0(JNIEnv *env, jobject) {
    if (!requireExt(env))
        return nullptr;
    return recordObjects<VmGcHeuristic>(
        env, 101, "zun/vexil/GCHeuristicImpl", "(Ljava/lang/String;Ljava/lang/String;)V",
        [env](jclass cls, jmethodID constructor, const VmGcHeuristic &record) -> jobject {
            jstring name = newString(env, record.name);
            jstring description = env->ExceptionCheck() ? nullptr : newString(env, record.description);
            jobject made = env->ExceptionCheck() ? nullptr : env->NewObject(cls, constructor, name, description);
            env->DeleteLocalRef(description);
            env->DeleteLocalRef(name);
            return made;
        });
}

extern "C" JNIEXPORT jint JNICALL Java_zun_vexil_GarbageCollectorImpl_getStrategy0(JNIEnv *env, jobject) {
    return static_cast<jint>(extLong(env, 150, 0));
}

extern "C" JNIEXPORT jint JNICALL Java_zun_vexil_GarbageCollectorImpl_getHeuristic0(JNIEnv *env, jobject) {
    return static_cast<jint>(extLong(env, 157, 0));
}

extern "C" JNIEXPORT jboolean JNICALL Java_zun_vexil_GarbageCollectorImpl_hasCompaction(JNIEnv *env, jobject) {
    return extBool(env, 150);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_GarbageCollectorImpl_getTotalGarbageCollectionCount(JNIEnv *env,
                                                                                                     jobject) {
    return jmmLong(env, JMM_GC_COUNT);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_GarbageCollectorImpl_getTotalGarbageCollectionTime(JNIEnv *env,
                                                                                                    jobject) {
    return jmmLong(env, JMM_GC_TIME_MS);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_GarbageCollectorImpl_getLastGCStart(JNIEnv *env, jobject) {
    return guardedLong(env, 151);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_GarbageCollectorImpl_getLastGCEnd(JNIEnv *env, jobject) {
    return guardedLong(env, 152);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_GarbageCollectorImpl_getNurserySize0(JNIEnv *env, jobject) {
    return extLong(env, 105, -1);
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_GarbageCollectorImpl_setNurserySize0(JNIEnv *env, jobject,
                                                                                     jlong size) {
    extSetLong(env, 105, size);
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_GarbageCollectorImpl_suggestGCStrategy(JNIEnv *env, jobject,
                                                                                       jint strategy) {
    extSetLong(env, 150, strategy);
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_GarbageCollectorImpl_suggestGCHeuristics(JNIEnv *env, jobject,
                                                                                         jint heuristic) {
    extSetLong(env, 157, heuristic);
}

extern "C" JNIEXPORT jboolean JNICALL Java_zun_vexil_GarbageCollectorImpl_isSelfOptimizing(JNIEnv *, jobject) {
    return binding.ext != nullptr ? JNI_TRUE : JNI_FALSE;
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_GarbageCollectorImpl_setPauseTimeTarget0(JNIEnv *env, jobject,
                                                                                         jlong target) {
    extSetLong(env, 154, target);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_GarbageCollectorImpl_getPauseTimeTarget(JNIEnv *env, jobject) {
    return guardedLong(env, 154);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_GarbageCollectorImpl_getMinPauseTimeTarget(JNIEnv *env, jobject) {
    return guardedLong(env, 155);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_GarbageCollectorImpl_getMaxPauseTimeTarget(JNIEnv *env, jobject) {
    return guardedLong(env, 156);
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_GarbageCollectorImpl_addedFirstListener(JNIEnv *env, jobject self) {
    switchEvent(env, self, true, JVMTI_EVENT_GARBAGE_COLLECTION_FINISH);
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_GarbageCollectorImpl_removedLastListener(JNIEnv *env, jobject self) {
    switchEvent(env, self, false, JVMTI_EVENT_GARBAGE_COLLECTION_FINISH);
}
