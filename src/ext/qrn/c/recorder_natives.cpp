// The natives of melnor/vantrel/qrn/VMQRN and the agent's entry table for the VM. The ones that
// belong to the buffers, chunks and repository answer neutrally until those parts exist.
#include <stdio.h>
#include <string.h>

#include "agent_state.h"
#include "osal/mspace.h"
#include "osal/osal_assert.h"
#include "osal/thread.h"
#include "recorder_natives.h"

namespace {

constexpr char sourceName[] = "src/ext/qrn/c/vmqrn";

void throwText(JNIEnv *env, const char *className, const char *text) {
    jclass c = env->FindClass(className);
    if (c != nullptr) {
        env->ThrowNew(c, text);
        env->DeleteLocalRef(c);
    }
}

void throwIllegalId(JNIEnv *env, jint id) {
    char message[64];
    snprintf(message, sizeof message, "Illegal id %d", static_cast<int>(id));
    throwText(env, "java/lang/Exception", message);
}

// The event's index, or -1 with the exception raised.
int eventIndex(JNIEnv *env, jint id) {
    const QrnProducer *p = qrnState.producer;
    uint32_t index = static_cast<uint32_t>(id) - (p != nullptr && p->eventCount > 0 ? p->events[0].id : 0);
    if (p == nullptr || p->eventCount == 0 || index >= p->eventCount) {
        throwIllegalId(env, id);
        return -1;
    }
    return static_cast<int>(index);
}

jobjectArray settingsArray(JNIEnv *env, ArgList *list, ArgDesc *desc) {
    int count = int((desc->flags & ARG_FLAG_COUNT_MASK) >> ARG_FLAG_COUNT_SHIFT);
    jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr)
        return nullptr;
    jobjectArray array = env->NewObjectArray(count, stringClass, nullptr);
    env->DeleteLocalRef(stringClass);
    if (array == nullptr || count == 0)
        return array;
    auto **values = static_cast<const char **>(gsMalloc(sizeof(char *) * size_t(count)));
    if (values == nullptr) {
        env->DeleteLocalRef(array);
        return nullptr;
    }
    count = argGetValues(list, desc, values, count);
    for (int i = 0; i < count; ++i) {
        jstring s = env->NewStringUTF(values[i]);
        if (s == nullptr)
            break;
        env->SetObjectArrayElement(array, i, s);
        env->DeleteLocalRef(s);
    }
    gsFree(values);
    return array;
}

jobject JNICALL javaOptions(JNIEnv *env, jobject) {
    jclass c = env->FindClass("melnor/vantrel/qrn/NativeOptions");
    if (c == nullptr)
        return nullptr;
    jmethodID init = env->GetMethodID(c, "<init>", "(Ljava/lang/String;[Ljava/lang/String;ZJIIIZJJ)V");
    if (init == nullptr) {
        env->DeleteLocalRef(c);
        return nullptr;
    }
    const AgentState &s = qrnState;
    jobject result = nullptr;
    if (s.optionCopy == nullptr) {
        result = env->NewObject(c, init, nullptr, nullptr, JNI_FALSE, s.maxChunkSize, jint(s.globalBufferSize),
                                jint(s.threadBufferSize), jint(s.numGlobalBuffers), JNI_FALSE, jlong(0), jlong(0));
        env->DeleteLocalRef(c);
        return result;
    }
    ArgList list = ARG_LIST_INIT;
    QrnOptions o = {};
    o.tbs = s.threadBufferSize;
    o.gbs = s.globalBufferSize;
    o.n = s.numGlobalBuffers;
    o.total = size_t(s.globalBufferSize) * s.numGlobalBuffers;
    o.maxChunk = s.maxChunkSize;
    qrnDeclareOptions(&o, &list);
    if (argParse(&list, s.optionCopy, strlen(s.optionCopy), ',') != 0) {
        char message[64];
        snprintf(message, sizeof message, "Could not parse %s (OOM)", s.optionCopy);
        throwText(env, "java/lang/Exception", message);
        argFree(&list);
        env->DeleteLocalRef(c);
        return nullptr;
    }
    jobjectArray settings = settingsArray(env, &list, &o.descs[0]);
    jstring repository = o.repository != nullptr ? env->NewStringUTF(o.repository) : nullptr;
    if (o.disk) {
        if (o.descs[9].matched == nullptr)
            o.maxAge = 900000000000LL;
        if (o.descs[10].matched == nullptr)
            o.maxSize = 0;
    }
    if (!env->ExceptionCheck())
        result = env->NewObject(c, init, repository, settings, jboolean(o.defaultRecording != 0), s.maxChunkSize,
                                jint(s.globalBufferSize), jint(s.threadBufferSize), jint(s.numGlobalBuffers),
                                jboolean(o.disk != 0), jlong(o.maxAge), jlong(o.maxSize));
    argFree(&list);
    if (settings != nullptr)
        env->DeleteLocalRef(settings);
    if (repository != nullptr)
        env->DeleteLocalRef(repository);
    env->DeleteLocalRef(c);
    return result;
}

unsigned char statistics[64];

jobject JNICALL javaInit(JNIEnv *env, jobject self, jstring, jint) {
    if (qrnState.javaRecorder == nullptr) {
        jobject g = env->NewGlobalRef(self);
        if (g == nullptr) {
            assertReport("g != NULL", sourceName, 1463, "java_init", "Could not global ref");
            return nullptr;
        }
        qrnState.javaRecorder = g;
    }
    return env->NewDirectByteBuffer(statistics, sizeof statistics);
}

void JNICALL javaSetRepositoryPath(JNIEnv *, jobject, jstring) {}
jlong JNICALL javaClassID(JNIEnv *, jobject, jclass cls) {
    return qrnState.recorder->classId(qrnState.recorder, cls);
}
jlong JNICALL javaStackTraceID(JNIEnv *, jobject, jint skip) {
    return qrnState.recorder->stackTraceId(qrnState.recorder, skip);
}
jint JNICALL javaThreadID(JNIEnv *, jobject) { return static_cast<jint>(threadGetCurrentID()); }
void JNICALL javaNothing(JNIEnv *, jobject) {}
void JNICALL javaStart(JNIEnv *, jobject, jboolean) {}
void JNICALL javaOnCloneRecording(JNIEnv *, jobject) { qrnState.recorder->recordingCloned(); }
void JNICALL javaOnStartRecording(JNIEnv *, jobject) { qrnState.recorder->recordingStarted(); }
void JNICALL javaOnStopRecording(JNIEnv *, jobject) { qrnState.recorder->recordingStopped(); }

void JNICALL javaAdd(JNIEnv *env, jobject, jint id, jbyteArray bytes, jint offset, jint length) {
    if (length < 0) {
        throwText(env, "java/lang/ArrayIndexOutOfBoundsException", "java_add");
        return;
    }
    auto *block = static_cast<jbyte *>(gsMalloc(size_t(length) + 1));
    if (block == nullptr) {
        throwText(env, "java/lang/OutOfMemoryError", "java_add");
        return;
    }
    env->GetByteArrayRegion(bytes, offset, length, block);
    if (!env->ExceptionCheck() &&
        !qrnAddDescriptor(uint32_t(id), reinterpret_cast<unsigned char *>(block), uint32_t(length)))
        throwText(env, "java/lang/OutOfMemoryError", "java_add");
    gsFree(block);
}

void JNICALL javaRemove(JNIEnv *, jobject, jint id) { qrnRemoveDescriptor(uint32_t(id)); }
jobject JNICALL javaBuffer(JNIEnv *, jobject) { return nullptr; }
void JNICALL javaWrite(JNIEnv *, jobject, jbyteArray, jint, jint) {}

void JNICALL javaSetEnabled(JNIEnv *env, jobject, jint id, jboolean enabled) {
    int index = eventIndex(env, id);
    if (index < 0)
        return;
    qrnState.eventSettings[index].enabled = enabled;
    if (enabled)
        qrnState.recorder->enableEvent(id);
    else
        qrnState.recorder->disableEvent(id);
}

void JNICALL javaSetThreshold(JNIEnv *env, jobject, jint id, jlong nanos) {
    int index = eventIndex(env, id);
    if (index >= 0)
        qrnState.eventSettings[index].threshold = jlong(double(nanos) / qrnState.nanosPerTick);
}

void JNICALL javaSetPeriod(JNIEnv *env, jobject, jint id, jlong millis) {
    if (eventIndex(env, id) >= 0)
        qrnSetEventPeriod(id, millis);
}

jlong JNICALL javaGetPeriod(JNIEnv *, jobject, jint id) { return qrnGetEventPeriod(id); }

jint JNICALL javaDescriptors(JNIEnv *env, jobject, jint pid, jobjectArray buffers) {
    const QrnProducer *p = qrnState.producer;
    jobject settings = env->NewDirectByteBuffer(qrnState.eventSettings, jlong(p->eventCount) * 16);
    env->SetObjectArrayElement(buffers, 0, settings);
    const unsigned char *bytes = nullptr;
    uint32_t size = 0, events = 0;
    if (!qrnFindDescriptor(uint32_t(pid), &bytes, &size, &events)) {
        assertReport("get_descriptor(pid, &bytes, &len, &events)", sourceName, 1694, "java_descriptors", nullptr);
        return 0;
    }
    jobject blob = env->NewDirectByteBuffer(const_cast<unsigned char *>(bytes), size);
    env->SetObjectArrayElement(buffers, 1, blob);
    return jint(events);
}

void JNICALL javaAddConstPool(JNIEnv *, jobject, jobject, jint, jboolean) {}
void JNICALL javaRemoveConstPool(JNIEnv *, jobject, jint) {}
jboolean JNICALL javaStoreConstPool(JNIEnv *, jobject, jint) { return JNI_TRUE; }

template <typename F> void *fn(F f) { return reinterpret_cast<void *>(f); }

// The VM's entries answer neutrally until the buffers and chunks exist.
jlong JNICALL agentStartRecording(JNIEnv *, const char *, const char *const *, jint, jboolean, jlong, jlong,
                                  const char *, jboolean, jlong, jlong) {
    return -1;
}
void JNICALL agentStopRecording(JNIEnv *, const char *, jlong, jboolean, const char *, jboolean) {}
jstring JNICALL agentCheckRecording(JNIEnv *, const char *, jlong, jboolean) { return nullptr; }
void JNICALL agentDumpRecording(JNIEnv *, const char *, jlong, const char *, jboolean) {}
QrnThreadBufferView *JNICALL agentGetThreadBuffer() { return nullptr; }
void JNICALL agentNothing() {}
StreamWriter *JNICALL agentNoStream() { return nullptr; }
const char *JNICALL agentRepositoryPath() { return ""; }
jint JNICALL agentExitReady() {
    if (qrnState.defaultRecordingWanted && qrnState.dumpOnExit)
        return qrnState.shutdownHooksRegistered ? 1 : 0;
    return 1;
}

} // namespace

#define NATIVE(name, signature, function) {const_cast<char *>(name), const_cast<char *>(signature), fn(function)}

const JNINativeMethod qrnRecorderNatives[] = {
    NATIVE("options", "()Lmelnor/vantrel/qrn/Options;", javaOptions),
    NATIVE("init", "(Ljava/lang/String;I)Ljava/nio/ByteBuffer;", javaInit),
    NATIVE("setRepositoryPath", "(Ljava/lang/String;)V", javaSetRepositoryPath),
    NATIVE("classID", "(Ljava/lang/Class;)J", javaClassID),
    NATIVE("stackTraceID", "(I)J", javaStackTraceID),
    NATIVE("threadID", "()I", javaThreadID),
    NATIVE("rotate", "()V", javaNothing),
    NATIVE("shutdown", "()V", javaNothing),
    NATIVE("start", "(Z)V", javaStart),
    NATIVE("stop", "()V", javaNothing),
    NATIVE("onCloneRecording", "()V", javaOnCloneRecording),
    NATIVE("onStartRecording", "()V", javaOnStartRecording),
    NATIVE("onStopRecording", "()V", javaOnStopRecording),
    NATIVE("add", "(I[BII)V", javaAdd),
    NATIVE("remove", "(I)V", javaRemove),
    NATIVE("buffer", "()Ljava/nio/ByteBuffer;", javaBuffer),
    NATIVE("flush", "()V", javaNothing),
    NATIVE("write", "([BII)V", javaWrite),
    NATIVE("setEnabled", "(IZ)V", javaSetEnabled),
    NATIVE("setThreshold", "(IJ)V", javaSetThreshold),
    NATIVE("setPeriod", "(IJ)V", javaSetPeriod),
    NATIVE("getPeriod", "(I)J", javaGetPeriod),
    NATIVE("descriptors", "(I[Ljava/nio/ByteBuffer;)I", javaDescriptors),
    NATIVE("addConstPool", "(Ljava/nio/ByteBuffer;IZ)V", javaAddConstPool),
    NATIVE("removeConstPool", "(I)V", javaRemoveConstPool),
    NATIVE("storeConstPool", "(I)Z", javaStoreConstPool),
};
const jint qrnRecorderNativeCount = sizeof qrnRecorderNatives / sizeof qrnRecorderNatives[0];
static_assert(sizeof qrnRecorderNatives / sizeof qrnRecorderNatives[0] == 26, "the recorder class has 26 natives");

QrnAgent qrn_agent = {
    QRN_AGENT_TAG,       agentStartRecording, agentStopRecording, agentCheckRecording, agentDumpRecording,
    agentGetThreadBuffer, agentNothing,       agentNoStream,      agentNothing,        agentNoStream,
    agentNothing,        agentNothing,        agentRepositoryPath, agentExitReady,
};
