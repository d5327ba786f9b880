// The VM's entry into the agent: interfaces, options, descriptors, global buffers and callbacks.
#include <string.h>

#include "agent_state.h"
#include "osal/osal_assert.h"

constinit AgentState qrnState = {};

namespace {

constexpr char sourceName[] = "src/ext/qrn/c/vmqrn";

void setDefaults() {
    qrnState.threadBufferSize = 5120;
    qrnState.globalBufferSize = 462848;
    qrnState.numGlobalBuffers = 22;
    qrnState.maxChunkSize = 12582912;
}

jint onLoad(JavaVM *vm, char *options) {
    void *jvmti = nullptr;
    jint result = vm->GetEnv(&jvmti, JVMTI_VERSION_1_0);
    if (result != JNI_OK) {
        qrnLog(QRN_ERROR, "Could not get JVMTI interface (%d). Agent exiting.\n", static_cast<int>(result));
        return result;
    }
    void *word = &qrn_agent;
    result = vm->GetEnv(&word, QRN_INTERFACE_VERSION);
    if (result != JNI_OK) {
        qrnLog(QRN_ERROR, "Could not get QRN interface (%d). Agent exiting.\n", static_cast<int>(result));
        return result;
    }
    if (word == &qrn_agent) {
        assertReport("ifz.agent != &qrn_agent", sourceName, 1860, "Agent_OnLoad", nullptr);
        return -1;
    }
    auto *recorder = static_cast<QrnInterface *>(word);
    if (recorder == nullptr || recorder->magic != PRODUCER_MAGIC) {
        assertReport("ifz.prod->magic == PRODUCER_MAGIC", sourceName, 1861, "Agent_OnLoad", nullptr);
        return -1;
    }
    qrnState.jvmti = static_cast<jvmtiEnv *>(jvmti);
    qrnState.recorder = recorder;
    qrnState.producer = recorder->getProducer();
    qrnState.eventSettings = recorder->getEventSettings();
    if (qrnState.producer == nullptr || !qrnSerialiseProducer(qrnState.producer) ||
        !qrnBuildRequestableTable(qrnState.producer))
        return -1;

    setDefaults();
    if (options != nullptr && qrnParseOptions(options) != 0)
        return -1;
    if (qrnAllocateGlobalBuffers() != 0)
        return -1;

    jvmtiEnv *env = qrnState.jvmti;
    jvmtiEventCallbacks callbacks;
    memset(&callbacks, 0, sizeof callbacks);
    callbacks.VMInit = qrnVmInit;
    qrnCheckJvmti(env, env->SetEventCallbacks(&callbacks, sizeof callbacks), "SetEventCallbacks");
    qrnCheckJvmti(env, env->SetEventNotificationMode(JVMTI_ENABLE, JVMTI_EVENT_VM_INIT, nullptr),
                  "SetEventNotificationMode");
    qrnState.chunkStartMillis = timingGetCurrentTimeMillis();
    qrnState.chunkStartTicks = timingGetCounterTime();
    return 0;
}

} // namespace

extern "C" JNIEXPORT jint JNICALL Agent_OnLoad(JavaVM *vm, char *options, void *reserved) {
    (void)reserved;
    try {
        return onLoad(vm, options);
    } catch (...) {
        return -1;
    }
}
