// The natives of the runtime's Java process and timing classes.
#include <jni.h>

#include "log_internal.h"
#include "osal/os_info.h"
#include "osal/timing.h"

namespace {

jlong JNICALL counterTime(JNIEnv *, jclass) { return timingGetCounterTime(); }

} // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_melnor_vantrel_os_Process_getpid(JNIEnv *, jclass) { return osGetProcessID(); }

// The Java side learns the frequency once and then reads the counter through the registered native.
JNIEXPORT jlong JNICALL Java_melnor_vantrel_os_Timing_init(JNIEnv *env, jclass cls) {
    JNINativeMethod method = {const_cast<char *>("counterTime"), const_cast<char *>("()J"),
                              reinterpret_cast<void *>(counterTime)};
    if (env->RegisterNatives(cls, &method, 1) != JNI_OK)
        return 0;
    return sarnik::libraryCounterFrequency();
}

} // extern "C"
