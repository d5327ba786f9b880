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

void JNICALL bufferThread(jvmtiEnv *, JNIEnv *, void *) {
    OsMonitor *monitor = &qrnState.bufferMonitor;
    osMonitorEnter(monitor);
    int64_t previousCheck = 0;
    while (!qrnState.bufferThreadStop) {
        qrnState.bufferRequests = 0;
        int64_t timeout = qrnCheckPeriodic(&previousCheck);
        if (!qrnState.bufferThreadStop && qrnState.bufferRequests == 0)
            osMonitorTimedWait(monitor, uint64_t(timeout));
    }
    osMonitorExit(monitor);
}

void JNICALL vmDeath(jvmtiEnv *, JNIEnv *jni) {
    // Java is not called after the VM's death.
    if (qrnState.javaRecorder != nullptr) {
        jni->DeleteGlobalRef(qrnState.javaRecorder);
        qrnState.javaRecorder = nullptr;
    }
    if (!qrnState.bufferMonitorReady)
        return;
    osMonitorEnter(&qrnState.bufferMonitor);
    qrnState.bufferThreadStop = true;
    osMonitorNotifyAll(&qrnState.bufferMonitor);
    osMonitorExit(&qrnState.bufferMonitor);
}

} // namespace

void qrnRequestBufferThread(uint32_t bits) {
    if (!qrnState.bufferMonitorReady)
        return;
    osMonitorEnter(&qrnState.bufferMonitor);
    qrnState.bufferRequests |= bits;
    osMonitorNotifyAll(&qrnState.bufferMonitor);
    osMonitorExit(&qrnState.bufferMonitor);
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
        if (!qrnState.bufferMonitorReady) {
            osMonitorInit(&qrnState.bufferMonitor);
            qrnState.bufferMonitorReady = true;
        }
        // The thread must end when the VM dies, which the VM-start callbacks alone would not tell it.
        jvmtiEventCallbacks callbacks = {};
        callbacks.VMInit = qrnVmInit;
        callbacks.VMDeath = vmDeath;
        qrnCheckJvmti(jvmti, jvmti->SetEventCallbacks(&callbacks, sizeof callbacks), "SetEventCallbacks");
        qrnCheckJvmti(jvmti, jvmti->SetEventNotificationMode(JVMTI_ENABLE, JVMTI_EVENT_VM_DEATH, nullptr),
                      "SetEventNotificationMode");
        qrnCheckJvmti(jvmti, jvmti->RunAgentThread(t, bufferThread, nullptr, 5), "RunAgentThread");
        jni->DeleteLocalRef(t);
        jni->DeleteLocalRef(s);
        jni->DeleteLocalRef(tc);
    } catch (...) {
    }
}
