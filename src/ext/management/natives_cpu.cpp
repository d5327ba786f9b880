// zun/vexil/CPUImpl: processor load and clock frequency, where the VM offers them.
#include "management_data.h"

using namespace vexil;

extern "C" JNIEXPORT jdouble JNICALL Java_zun_vexil_CPUImpl_getLoad(JNIEnv *env, jobject, jint cpu) {
    if (!supports(VM_SUPPORTS_LOAD) || binding.ext == nullptr)
        return 0.0;
    return cpu < 0 ? dataDouble(env, 401) : dataDouble(env, 400, &cpu);
}

extern "C" JNIEXPORT jlong JNICALL Java_zun_vexil_CPUImpl_getClockFrequency(JNIEnv *env, jobject) {
    if (!supports(VM_SUPPORTS_CLOCK_FREQUENCY) || binding.ext == nullptr)
        return 0;
    return binding.ext->getLong(env, nullptr, 401);
}
