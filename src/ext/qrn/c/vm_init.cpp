// VM start: the Java recorder class's method ids, its natives, and the buffer thread.
#include "agent_state.h"
#include "osal/osal_assert.h"
#include "recorder_natives.h"

namespace {

constexpr char sourceName[] = "src/ext/qrn/c/vmqrn";

#define VM_INIT_ASSERT(expr, line)                                                                 \
    do {                                                                                           \
        if (!(expr)) {                                                                             \
            assertReport(#expr, sourceName, line, "vm_init", nullptr);                             \
            return;                                                                                \
        }                                                                                          \
    } while (0)

void JNICALL vmDeath(jvmtiEnv *, JNIEnv *jni) {
    // A VM that ends without the shutdown native still gets its last chunk finished.
    qrnRequestBufferThread(QRN_REQUEST_SHUTDOWN, true);
    // Java is not called after the VM's death.
    if (qrnState.javaRecorder != nullptr) {
        jni->DeleteGlobalRef(qrnState.javaRecorder);
        qrnState.javaRecorder = nullptr;
    }
}

} // namespace

bool qrnKeepJavaRecorder(JNIEnv *env, jobject recorder) {
    if (__atomic_load_n(&qrnState.javaRecorder, __ATOMIC_ACQUIRE) != nullptr)
        return true;
    jobject g = env->NewGlobalRef(recorder);
    if (g == nullptr)
        return false;
    // The buffer thread and a Java thread may both be making the recorder: one reference is
    // kept, and the other given back.
    jobject none = nullptr;
    if (!__atomic_compare_exchange_n(&qrnState.javaRecorder, &none, g, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
        env->DeleteGlobalRef(g);
    return true;
}

bool qrnEnsureJavaRecorder(JNIEnv *env) {
    if (qrnState.javaRecorder != nullptr)
        return true;
    jclass c = env->FindClass("melnor/vantrel/qrn/QRN");
    if (c != nullptr) {
        jmethodID get = env->GetStaticMethodID(c, "get", "()Lmelnor/vantrel/qrn/QRN;");
        if (get != nullptr) {
            jobject recorder = env->CallStaticObjectMethod(c, get);
            // Another thread may have made the recorder and still be in its init: the one get
            // answers is the recorder all the same.
            if (recorder != nullptr && qrnState.recorderClass != nullptr && !env->ExceptionCheck() &&
                env->IsInstanceOf(recorder, qrnState.recorderClass))
                qrnKeepJavaRecorder(env, recorder);
            if (recorder != nullptr)
                env->DeleteLocalRef(recorder);
        }
        env->DeleteLocalRef(c);
        qrnState.shutdownHooksRegistered = true;
        qrnLog(QRN_TRACE, "QRN shutdown hooks registered");
    }
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        env->ExceptionClear();
    }
    if (qrnState.javaRecorder == nullptr) {
        qrnLog(QRN_ERROR, "Could not initialize Flight recorder");
        return false;
    }
    return true;
}

void JNICALL qrnVmInit(jvmtiEnv *jvmti, JNIEnv *jni, jthread) {
    try {
        jclass c = jni->FindClass("melnor/vantrel/qrn/VMQRN");
        VM_INIT_ASSERT(c != NULL, 1380);
        qrnState.recorderClass = static_cast<jclass>(jni->NewGlobalRef(c));
        qrnState.finishChunk = jni->GetMethodID(c, "finishChunk", "(Ljava/lang/String;JJZ)V");
        VM_INIT_ASSERT(qrnState.finishChunk != NULL, 1382);
        qrnState.startRecording = jni->GetMethodID(
            c, "startRecording", "(Ljava/lang/String;[Ljava/lang/String;ZJJLjava/lang/String;ZJJ)J");
        VM_INIT_ASSERT(qrnState.startRecording != NULL, 1384);
        qrnState.stopRecording = jni->GetMethodID(c, "stopRecording", "(Ljava/lang/String;JZLjava/lang/String;Z)V");
        VM_INIT_ASSERT(qrnState.stopRecording != NULL, 1386);
        qrnState.checkRecording =
            jni->GetMethodID(c, "checkRecording", "(Ljava/lang/String;JZ)Ljava/lang/String;");
        VM_INIT_ASSERT(qrnState.checkRecording != NULL, 1388);
        qrnState.dumpRecording = jni->GetMethodID(c, "dumpRecording", "(Ljava/lang/String;JLjava/lang/String;Z)V");
        VM_INIT_ASSERT(qrnState.dumpRecording != NULL, 1390);
        jclass c2 = jni->GetSuperclass(c);
        VM_INIT_ASSERT(c2 != NULL, 1392);
        jni->DeleteLocalRef(c2);
        qrnState.onNewChunk = jni->GetMethodID(c, "onNewChunk", "()V");
        VM_INIT_ASSERT(qrnState.onNewChunk != NULL, 1395);

        if (jni->RegisterNatives(c, qrnRecorderNatives, qrnRecorderNativeCount) != 0) {
            jni->ExceptionDescribe();
            jni->DeleteLocalRef(c);
            return;
        }
        jni->DeleteLocalRef(c);

        jclass tc = jni->FindClass("java/lang/Thread");
        VM_INIT_ASSERT(tc != NULL, 1405);
        jmethodID mid = jni->GetMethodID(tc, "<init>", "(Ljava/lang/String;)V");
        VM_INIT_ASSERT(mid != NULL, 1407);
        jstring s = jni->NewStringUTF("VM QRN Buffer Thread");
        VM_INIT_ASSERT(s != NULL, 1409);
        jthread t = jni->NewObject(tc, mid, s);
        VM_INIT_ASSERT(t != NULL, 1411);
        // The thread must end when the VM dies, which the VM-start callbacks alone would not tell it.
        jvmtiEventCallbacks callbacks = {};
        callbacks.VMInit = qrnVmInit;
        callbacks.VMDeath = vmDeath;
        qrnCheckJvmti(jvmti, jvmti->SetEventCallbacks(&callbacks, sizeof callbacks), "SetEventCallbacks");
        qrnCheckJvmti(jvmti, jvmti->SetEventNotificationMode(JVMTI_ENABLE, JVMTI_EVENT_VM_DEATH, nullptr),
                      "SetEventNotificationMode");
        // The buffer thread gets an environment of its own to dispose of: this one keeps the
        // VM-death event.
        JavaVM *vm = nullptr;
        void *threadEnv = nullptr;
        if (jni->GetJavaVM(&vm) != JNI_OK || vm->GetEnv(&threadEnv, JVMTI_VERSION_1_0) != JNI_OK)
            threadEnv = nullptr;
        jvmtiEnv *starter = threadEnv != nullptr ? static_cast<jvmtiEnv *>(threadEnv) : jvmti;
        qrnState.bufferThreadStarted = true;
        qrnCheckJvmti(starter, starter->RunAgentThread(t, qrnBufferThread, nullptr, 5), "RunAgentThread");
        jni->DeleteLocalRef(t);
        jni->DeleteLocalRef(s);
        jni->DeleteLocalRef(tc);
    } catch (...) {
    }
}
