// zun/vexil/MemorySystemImpl: heap sizes and the heap settings.
#include "management_data.h"

using namespace vexil;

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_MemorySystemImpl_getMaxHeapSize(JNIEnv *env, jobject) {
    return guardedLong(env, 102);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_MemorySystemImpl_getTotalHeapSize(JNIEnv *env, jobject) {
    return guardedLong(env, 100);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_MemorySystemImpl_getInitialHeapSize(JNIEnv *env, jobject) {
    return guardedLong(env, 103);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_MemorySystemImpl_getUsedHeapSize(JNIEnv *env, jobject) {
    return guardedLong(env, 101);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_MemorySystemImpl_getSuggestedHeapSize(JNIEnv *env, jobject) {
    return guardedLong(env, 104);
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_MemorySystemImpl_suggestHeapSize(JNIEnv *env, jobject, jlong size) {
    extSetLong(env, 104, size);
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_MemorySystemImpl_setHeapSizeLocked(JNIEnv *env, jobject,
                                                                                   jboolean locked) {
    extSetBool(env, 100, locked);
}

extern "C" JNIEXPORT jboolean JNICALL Java_zun_vexil_MemorySystemImpl_isHeapSizeLocked(JNIEnv *env, jobject) {
    return extBool(env, 100);
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_MemorySystemImpl_setExitOnOutOfMemory(JNIEnv *env, jobject,
                                                                                      jboolean exit) {
    extSetBool(env, 101, exit);
}

extern "C" JNIEXPORT jboolean JNICALL Java_zun_vexil_MemorySystemImpl_isExitOnOutOfMemory(JNIEnv *env, jobject) {
    return extBool(env, 101);
}
