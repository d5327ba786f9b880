// The natives of melnor/vantrel/qrn/VMQRN.
#include <stdio.h>
#include <string.h>

#include "agent_state.h"
#include "osal/mspace.h"
#include "osal/os_error.h"
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

void throwFormatted(JNIEnv *env, const char *className, const char *format, const char *text) {
    char message[64];
    snprintf(message, sizeof message, format, text);
    throwText(env, className, message);
}

// A range of an array of the given length; false with the exception raised.
bool checkRange(JNIEnv *env, jarray array, jint offset, jint length) {
    if (array == nullptr) {
        throwText(env, "java/lang/NullPointerException", "array");
        return false;
    }
    jsize size = env->GetArrayLength(array);
    if (offset < 0 || length < 0 || offset > size || length > size - offset) {
        char message[64];
        snprintf(message, sizeof message, "offset %d, length %d, array length %d", int(offset), int(length),
                 int(size));
        throwText(env, "java/lang/ArrayIndexOutOfBoundsException", message);
        return false;
    }
    return true;
}

jobject JNICALL javaInit(JNIEnv *env, jobject self, jstring locale, jint value) {
    if (!qrnKeepJavaRecorder(env, self)) {
        assertReport("g != NULL", sourceName, 1463, "java_init", "Could not global ref");
        return nullptr;
    }
    const char *text = locale != nullptr ? env->GetStringUTFChars(locale, nullptr) : "";
    if (text == nullptr) {
        throwText(env, "java/lang/OutOfMemoryError", "store_tzlocale");
        return nullptr;
    }
    size_t length = strlen(text);
    // The trailer gives the locale 16 bits of length.
    char *copy = length <= 0xffff ? static_cast<char *>(gsMalloc(length + 1)) : nullptr;
    if (copy != nullptr)
        memcpy(copy, text, length + 1);
    if (locale != nullptr)
        env->ReleaseStringUTFChars(locale, text);
    if (copy == nullptr) {
        throwText(env, "java/lang/OutOfMemoryError", "store_tzlocale");
        return nullptr;
    }
    osMutexLock(&qrnState.chunkLock);
    char *old = qrnState.locale;
    qrnState.locale = copy;
    qrnState.localeLength = uint16_t(length);
    qrnState.localeValue = value;
    osMutexUnlock(&qrnState.chunkLock);
    gsFree(old);
    return env->NewDirectByteBuffer(&qrnStatistics, sizeof qrnStatistics);
}

void JNICALL javaSetRepositoryPath(JNIEnv *env, jobject, jstring path) {
    if (path == nullptr) {
        throwText(env, "java/lang/NullPointerException", "Could not set repository null");
        return;
    }
    const char *text = env->GetStringUTFChars(path, nullptr);
    if (text == nullptr)
        return;
    jsize length = env->GetStringLength(path);
    const jchar *chars = env->GetStringChars(path, nullptr);
    int result = chars != nullptr ? qrnSetRepositoryPath(text, chars, length) : -1;
    if (chars != nullptr)
        env->ReleaseStringChars(path, chars);
    if (result != 0 && !env->ExceptionCheck())
        throwFormatted(env, "java/lang/Exception", "Could not set repository %s", text);
    env->ReleaseStringUTFChars(path, text);
}

jlong JNICALL javaClassID(JNIEnv *, jobject, jclass cls) {
    return qrnState.recorder->classId(qrnState.recorder, cls);
}
jlong JNICALL javaStackTraceID(JNIEnv *, jobject, jint skip) {
    return qrnState.recorder->stackTraceId(qrnState.recorder, skip);
}
jint JNICALL javaThreadID(JNIEnv *, jobject) { return static_cast<jint>(threadGetCurrentID()); }

// A request the buffer thread must serve; without one the caller learns it.
// From the buffer thread itself the request is served after the caller returns.
bool request(JNIEnv *env, uint32_t bits) {
    if (qrnRequestBufferThread(bits, true))
        return !qrnOnBufferThread();
    throwText(env, "java/lang/IllegalStateException", "Flight recorder buffer thread not running");
    return false;
}

// A chunk that could not be written whole since the last report was removed: its data is gone.
bool chunkLost(JNIEnv *env) {
    int error = __atomic_exchange_n(&qrnState.lostChunkError, 0, __ATOMIC_ACQ_REL);
    if (error == 0)
        return false;
    char text[256];
    osGetErrorString(unsigned(error), text, sizeof text);
    throwFormatted(env, "java/lang/Exception", "Could not write chunk: %s", text);
    return true;
}

void JNICALL javaRotate(JNIEnv *env, jobject) {
    bool wasOpen = qrnState.chunkOpen;
    if (request(env, QRN_REQUEST_ROTATE) && !chunkLost(env) && wasOpen && !qrnState.chunkOpen)
        throwFormatted(env, "java/lang/Exception", "Could not create chunk in %s", qrnRepositoryPath());
}

void JNICALL javaStart(JNIEnv *env, jobject, jboolean keep) {
    // Chunks are handed to the recorder object that init keeps.
    if (qrnState.javaRecorder == nullptr) {
        throwText(env, "java/lang/IllegalStateException", "Flight recorder not initialized");
        return;
    }
    if (request(env, keep ? QRN_REQUEST_START_KEEP : QRN_REQUEST_START_DISCARD) && !qrnState.chunkOpen)
        throwFormatted(env, "java/lang/Exception", "Could not create chunk in %s", qrnRepositoryPath());
}

void JNICALL javaStop(JNIEnv *env, jobject) {
    if (request(env, QRN_REQUEST_STOP))
        chunkLost(env);
}

void JNICALL javaShutdown(JNIEnv *env, jobject) { qrnShutdown(env); }
void JNICALL javaOnCloneRecording(JNIEnv *, jobject) { qrnState.recorder->recordingCloned(); }
void JNICALL javaOnStartRecording(JNIEnv *, jobject) { qrnState.recorder->recordingStarted(); }
void JNICALL javaOnStopRecording(JNIEnv *, jobject) { qrnState.recorder->recordingStopped(); }

void JNICALL javaAdd(JNIEnv *env, jobject, jint id, jbyteArray bytes, jint offset, jint length) {
    if (!checkRange(env, bytes, offset, length))
        return;
    auto *block = static_cast<jbyte *>(gsMalloc(size_t(length) + 1));
    if (block == nullptr) {
        throwText(env, "java/lang/OutOfMemoryError", "java_add");
        return;
    }
    env->GetByteArrayRegion(bytes, offset, length, block);
    if (!env->ExceptionCheck()) {
        osMutexLock(&qrnState.chunkLock);
        int added = qrnAddDescriptor(uint32_t(id), reinterpret_cast<unsigned char *>(block), uint32_t(length));
        osMutexUnlock(&qrnState.chunkLock);
        if (!added)
            throwText(env, "java/lang/OutOfMemoryError", "java_add");
    }
    gsFree(block);
}

void JNICALL javaRemove(JNIEnv *, jobject, jint id) {
    osMutexLock(&qrnState.chunkLock);
    qrnRemoveDescriptor(uint32_t(id));
    osMutexUnlock(&qrnState.chunkLock);
}

jobject JNICALL javaBuffer(JNIEnv *env, jobject) {
    ThreadBuffer *buffer = qrnGetThreadBuffer();
    if (buffer == nullptr) {
        throwText(env, "java/lang/OutOfMemoryError", "java_buffer");
        return nullptr;
    }
    return env->NewDirectByteBuffer(buffer, jlong(qrnState.threadBufferSize) + jlong(sizeof(ThreadBuffer)));
}

void JNICALL javaFlush(JNIEnv *env, jobject) {
    if (!qrnFlushThreadBuffer())
        throwText(env, "java/lang/Exception", "Illegal thread buffer position");
}

void JNICALL javaWrite(JNIEnv *env, jobject, jbyteArray bytes, jint offset, jint length) {
    if (!checkRange(env, bytes, offset, length) || !qrnState.chunkOpen)
        return;
    void *pinned = env->GetPrimitiveArrayCritical(bytes, nullptr);
    if (pinned == nullptr)
        return;
    StreamWriter *stream = qrnBeginDirectWrite();
    if (stream != nullptr) {
        qrnPutBytes(stream, static_cast<const unsigned char *>(pinned) + offset, size_t(length));
        qrnEndDirectWrite();
    }
    env->ReleasePrimitiveArrayCritical(bytes, pinned, JNI_ABORT);
    if (stream != nullptr)
        qrnLog(QRN_INFO, "Wrote %dB event directly to stream", int(length));
}

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
        qrnState.eventSettings[index].threshold = qrnNanosToTicks(nanos);
}

void JNICALL javaSetPeriod(JNIEnv *env, jobject, jint id, jlong millis) {
    if (eventIndex(env, id) >= 0)
        qrnSetEventPeriod(id, millis);
}

jlong JNICALL javaGetPeriod(JNIEnv *, jobject, jint id) { return qrnGetEventPeriod(id); }

jint JNICALL javaDescriptors(JNIEnv *env, jobject, jint pid, jobjectArray buffers) {
    const QrnProducer *p = qrnState.producer;
    if (buffers == nullptr || env->GetArrayLength(buffers) < 2) {
        throwText(env, "java/lang/ArrayIndexOutOfBoundsException", "java_descriptors");
        return 0;
    }
    const unsigned char *bytes = nullptr;
    uint32_t size = 0, events = 0;
    osMutexLock(&qrnState.chunkLock);
    int found = qrnFindDescriptor(uint32_t(pid), &bytes, &size, &events);
    osMutexUnlock(&qrnState.chunkLock);
    // The id comes from Java: one no producer has is its error, not ours.
    if (!found) {
        throwIllegalId(env, pid);
        return 0;
    }
    jobject settings = env->NewDirectByteBuffer(qrnState.eventSettings, jlong(p->eventCount) * 16);
    if (settings == nullptr)
        return 0;
    env->SetObjectArrayElement(buffers, 0, settings);
    env->DeleteLocalRef(settings);
    jobject blob = env->NewDirectByteBuffer(const_cast<unsigned char *>(bytes), size);
    if (blob == nullptr)
        return 0;
    env->SetObjectArrayElement(buffers, 1, blob);
    env->DeleteLocalRef(blob);
    return jint(events);
}

void JNICALL javaAddConstPool(JNIEnv *env, jobject, jobject buffer, jint id, jboolean reset) {
    void *address = buffer != nullptr ? env->GetDirectBufferAddress(buffer) : nullptr;
    if (address == nullptr) {
        throwText(env, "java/lang/IllegalArgumentException", "addConstPool");
        return;
    }
    jlong capacity = env->GetDirectBufferCapacity(buffer);
    // The used size at the buffer's start is read at every store.
    if (capacity < 4) {
        throwText(env, "java/lang/IllegalArgumentException", "addConstPool");
        return;
    }
    if (!qrnAddConstPool(uint32_t(id), static_cast<unsigned char *>(address), capacity, reset != 0))
        throwText(env, "java/lang/OutOfMemoryError", "addConstPool");
}

void JNICALL javaRemoveConstPool(JNIEnv *, jobject, jint id) { qrnRemoveConstPool(uint32_t(id)); }

jboolean JNICALL javaStoreConstPool(JNIEnv *, jobject, jint id) {
    osMutexLock(&qrnState.chunkLock);
    int result = qrnStoreConstPoolLocked(uint32_t(id));
    osMutexUnlock(&qrnState.chunkLock);
    return result != 0 ? JNI_TRUE : JNI_FALSE;
}

template <typename F> void *fn(F f) { return reinterpret_cast<void *>(f); }

} // namespace

#define NATIVE(name, signature, function) {const_cast<char *>(name), const_cast<char *>(signature), fn(function)}

const JNINativeMethod qrnRecorderNatives[] = {
    NATIVE("options", "()Lmelnor/vantrel/qrn/Options;", javaOptions),
    NATIVE("init", "(Ljava/lang/String;I)Ljava/nio/ByteBuffer;", javaInit),
    NATIVE("setRepositoryPath", "(Ljava/lang/String;)V", javaSetRepositoryPath),
    NATIVE("classID", "(Ljava/lang/Class;)J", javaClassID),
    NATIVE("stackTraceID", "(I)J", javaStackTraceID),
    NATIVE("threadID", "()I", javaThreadID),
    NATIVE("rotate", "()V", javaRotate),
    NATIVE("shutdown", "()V", javaShutdown),
    NATIVE("start", "(Z)V", javaStart),
    NATIVE("stop", "()V", javaStop),
    NATIVE("onCloneRecording", "()V", javaOnCloneRecording),
    NATIVE("onStartRecording", "()V", javaOnStartRecording),
    NATIVE("onStopRecording", "()V", javaOnStopRecording),
    NATIVE("add", "(I[BII)V", javaAdd),
    NATIVE("remove", "(I)V", javaRemove),
    NATIVE("buffer", "()Ljava/nio/ByteBuffer;", javaBuffer),
    NATIVE("flush", "()V", javaFlush),
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

