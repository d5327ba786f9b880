// zun/vexil/ThreadSystemImpl: thread counts, the thread list and threads by id. Snapshots are in
// thread_snapshots.cpp.
#include "java_support.h"
#include "management_context.h"
#include "management_data.h"
#include "native_caches.h"
#include "thread_ids.h"

namespace vexil {

constinit ThreadIds threadIds{};

namespace {

jfieldID optionalField(JNIEnv *env, const char *name, const char *signature) {
    jfieldID field = env->GetFieldID(binding.threadClass, name, signature);
    if (field == nullptr)
        env->ExceptionClear();
    return field;
}

} // namespace

void forgetThreadIds() { threadIds = ThreadIds{}; }

bool bindThreadIds(JNIEnv *env) {
    if (threadIds.ready)
        return true;
    ThreadIds ids{};
    ids.tid = optionalField(env, "tid", "J");
    ids.priority = optionalField(env, "priority", "I");
    ids.daemon = optionalField(env, "daemon", "Z");
    ids.currentThread = env->GetStaticMethodID(binding.threadClass, "currentThread", "()Ljava/lang/Thread;");
    ids.getName = ids.currentThread != nullptr
                      ? env->GetMethodID(binding.threadClass, "getName", "()Ljava/lang/String;")
                      : nullptr;
    auto snapshot = static_cast<jclass>(binding.threadSnapshotClass);
    auto monitor = static_cast<jclass>(binding.monitorClass);
    auto callTrace = static_cast<jclass>(binding.callTraceElementClass);
    if (ids.getName != nullptr)
        ids.snapshotInit = env->GetMethodID(snapshot, "<init>",
                                            "(Ljava/lang/String;IIJZI[Lcom/zun/jvm/CallTraceElement;"
                                            "Lcom/zun/jvm/ThreadSnapshot$Monitor;Lcom/zun/jvm/ThreadSnapshot$Monitor;)V");
    if (ids.snapshotInit != nullptr)
        ids.monitorInit = env->GetMethodID(monitor, "<init>", "(Ljava/lang/Object;JI)V");
    if (ids.monitorInit != nullptr)
        ids.callTraceInit =
            env->GetMethodID(callTrace, "<init>",
                             "(Ljava/lang/String;Ljava/lang/String;I[Lcom/zun/jvm/ThreadSnapshot$Monitor;Ljava/lang/String;)V");
    ids.ready = ids.callTraceInit != nullptr;
    if (ids.ready)
        threadIds = ids;
    return ids.ready;
}

} // namespace vexil

using namespace vexil;

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_ThreadSystemImpl_initIDs(JNIEnv *env, jclass) { bindThreadIds(env); }

extern "C" JNIEXPORT jint JNICALL Java_zun_vexil_ThreadSystemImpl_getTotalThreadCount(JNIEnv *env, jobject) {
    return static_cast<jint>(jmmLong(env, JMM_THREAD_LIVE_COUNT));
}

extern "C" JNIEXPORT jint JNICALL Java_zun_vexil_ThreadSystemImpl_getDaemonThreadCount(JNIEnv *env, jobject) {
    return static_cast<jint>(jmmLong(env, JMM_THREAD_DAEMON_COUNT));
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_zun_vexil_ThreadSystemImpl_getAllThreads0(JNIEnv *env, jobject self) {
    ManagementContext *context = contextOfOwner(env, self);
    if (context == nullptr)
        return nullptr;
    jvmtiEnv *jvmti = context->jvmti;
    jint count = 0;
    jthread *threads = nullptr;
    jvmtiError error = jvmti->GetAllThreads(&count, &threads);
    if (error != JVMTI_ERROR_NONE) {
        char *name = nullptr;
        jvmti->GetErrorName(error, &name);
        throwNotAvailable(env, name != nullptr ? name : "");
        jvmti->Deallocate(reinterpret_cast<unsigned char *>(name));
        return nullptr;
    }
    jobjectArray result = newObjectArray(env, binding.threadClass, count, threads);
    for (jint i = 0; i < count; ++i)
        env->DeleteLocalRef(threads[i]);
    jvmti->Deallocate(reinterpret_cast<unsigned char *>(threads));
    return result;
}

extern "C" JNIEXPORT jthread JNICALL Java_zun_vexil_ThreadSystemImpl_getThread(JNIEnv *env, jobject, jlong id) {
    if (!requireExt(env))
        return nullptr;
    jthread thread = nullptr;
    return binding.ext->threadsById(env, 1, &id, &thread) > 0 ? thread : nullptr;
}
