// zun/vexil/OperatingSystemImpl: virtual memory and the process id.
#include "management_data.h"

using namespace vexil;

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_OperatingSystemImpl_getTotalVirtualMemory(JNIEnv *env, jobject) {
    return guardedLong(env, 403);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_OperatingSystemImpl_getUsedVirtualMemory(JNIEnv *env, jobject) {
    return guardedLong(env, 404);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_OperatingSystemImpl_getProcessID0(JNIEnv *env, jobject) {
    return extLong(env, 601, -1);
}
