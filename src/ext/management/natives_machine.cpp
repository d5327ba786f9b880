// zun/vexil/MachineImpl: physical memory, processors, their load and the machine's identity.
#include "java_support.h"
#include "management_data.h"

using namespace vexil;

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_MachineImpl_getTotalPhysicalMemory(JNIEnv *env, jobject) {
    return jmmLong(env, JMM_OS_MEM_TOTAL_PHYSICAL_BYTES);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_MachineImpl_getUsedPhysicalMemory(JNIEnv *env, jobject) {
    return guardedLong(env, 402);
}

extern "C" JNIEXPORT jint JNICALL Java_zun_vexil_MachineImpl_getNumCPUS(JNIEnv *env, jobject) {
    return requireExt(env) ? static_cast<jint>(binding.ext->getLong(env, nullptr, 400)) : 0;
}

extern "C" JNIEXPORT jdouble JNICALL Java_zun_vexil_MachineImpl_getCPULoad(JNIEnv *env, jobject) {
    return supports(VM_SUPPORTS_LOAD) && binding.ext != nullptr ? dataDouble(env, 401) : 0.0;
}

extern "C" JNIEXPORT jstring JNICALL Java_zun_vexil_MachineImpl_getPhysicalMachineID(JNIEnv *env, jobject) {
    if (binding.ext == nullptr)
        return nullptr;
    ManagementData data(env, 602);
    return data.get() ? newString(env, data.text()) : nullptr;
}
