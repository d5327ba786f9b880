// The agent's entry table, through which the VM starts and stops recordings, fills thread
// buffers and writes into the chunk.
#include "agent_state.h"

namespace {

jstring newText(JNIEnv *env, const char *text, bool *failed) {
    if (text == nullptr)
        return nullptr;
    jstring s = env->NewStringUTF(text);
    if (s == nullptr)
        *failed = true;
    return s;
}

void deleteLocal(JNIEnv *env, jobject ref) {
    if (ref != nullptr)
        env->DeleteLocalRef(ref);
}

jlong JNICALL agentStartRecording(JNIEnv *env, const char *name, const char *const *settings, jint count,
                                  jboolean a, jlong b, jlong c, const char *d, jboolean e, jlong f, jlong g) {
    if (!qrnEnsureJavaRecorder(env))
        return -1;
    bool failed = count < 0 || (count > 0 && settings == nullptr);
    jstring jname = newText(env, name, &failed);
    jstring jd = newText(env, d, &failed);
    jobjectArray array = nullptr;
    jclass stringClass = failed ? nullptr : env->FindClass("java/lang/String");
    if (stringClass != nullptr)
        array = env->NewObjectArray(count, stringClass, nullptr);
    failed = failed || array == nullptr;
    for (jint i = 0; !failed && i < count; ++i) {
        jstring s = newText(env, settings[i], &failed);
        if (!failed)
            env->SetObjectArrayElement(array, i, s);
        deleteLocal(env, s);
    }
    jlong result = -1;
    if (!failed)
        result = env->CallLongMethod(qrnState.javaRecorder, qrnState.startRecording, jname, array, a, b, c, jd, e, f,
                                     g);
    deleteLocal(env, jname);
    deleteLocal(env, jd);
    deleteLocal(env, array);
    deleteLocal(env, stringClass);
    return result;
}

void JNICALL agentStopRecording(JNIEnv *env, const char *name, jlong id, jboolean a, const char *path, jboolean b) {
    if (!qrnEnsureJavaRecorder(env))
        return;
    bool failed = false;
    jstring jname = newText(env, name, &failed);
    jstring jpath = newText(env, path, &failed);
    if (!failed)
        env->CallVoidMethod(qrnState.javaRecorder, qrnState.stopRecording, jname, id, a, jpath, b);
    deleteLocal(env, jname);
    deleteLocal(env, jpath);
}

jstring JNICALL agentCheckRecording(JNIEnv *env, const char *name, jlong id, jboolean a) {
    if (!qrnEnsureJavaRecorder(env))
        return nullptr;
    bool failed = false;
    jstring jname = newText(env, name, &failed);
    jstring result = nullptr;
    if (!failed)
        result = static_cast<jstring>(env->CallObjectMethod(qrnState.javaRecorder, qrnState.checkRecording, jname, id, a));
    deleteLocal(env, jname);
    return result;
}

void JNICALL agentDumpRecording(JNIEnv *env, const char *name, jlong id, const char *path, jboolean a) {
    bool failed = false;
    jstring jname = newText(env, name, &failed);
    jstring jpath = newText(env, path, &failed);
    if (!failed)
        qrnDumpRecording(env, jname, id, jpath, a);
    deleteLocal(env, jname);
    deleteLocal(env, jpath);
}

QrnThreadBufferView *JNICALL agentGetThreadBuffer() {
    ThreadBuffer *buffer = qrnGetThreadBuffer();
    return buffer != nullptr ? reinterpret_cast<QrnThreadBufferView *>(&buffer->start) : nullptr;
}

void JNICALL agentFlushThreadBuffer() { qrnFlushThreadBuffer(); }
StreamWriter *JNICALL agentBeginDirectWrite() { return qrnBeginDirectWrite(); }
void JNICALL agentEndDirectWrite() { qrnEndDirectWrite(); }
StreamWriter *JNICALL agentBeginCheckpoint() { return qrnBeginCheckpoint(); }
void JNICALL agentEndCheckpoint() { qrnEndCheckpoint(); }
void JNICALL agentReleaseThreadBuffer() { qrnReleaseThreadBuffer(); }
const char *JNICALL agentRepositoryPath() { return qrnRepositoryPath(); }

jint JNICALL agentExitReady() {
    if (qrnState.defaultRecordingWanted && qrnState.dumpOnExit)
        return qrnState.shutdownHooksRegistered ? 1 : 0;
    return 1;
}

static_assert(sizeof(void *) != 4 || sizeof(ThreadBuffer) == 32, "the thread buffer head is 32 bytes");
static_assert(sizeof(void *) != 4 || sizeof(GlobalBuffer) == 20, "the global buffer head is 20 bytes");

} // namespace

QrnAgent qrn_agent = {
    QRN_AGENT_TAG,         agentStartRecording,    agentStopRecording,  agentCheckRecording,
    agentDumpRecording,    agentGetThreadBuffer,   agentFlushThreadBuffer, agentBeginDirectWrite,
    agentEndDirectWrite,   agentBeginCheckpoint,   agentEndCheckpoint,  agentReleaseThreadBuffer,
    agentRepositoryPath,   agentExitReady,
};
