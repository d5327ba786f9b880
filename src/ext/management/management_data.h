// A getData answer of the extension table, given back with freeData on every path.
#ifndef VEXIL_MANAGEMENT_DATA_H
#define VEXIL_MANAGEMENT_DATA_H

#include "vm_binding.h"

namespace vexil {

class ManagementData {
public:
    ManagementData(JNIEnv *env, jint id) : env_(env), id_(id) {}
    ~ManagementData() {
        if (data_.elements != nullptr)
            binding.ext->freeData(env_, id_, &data_);
    }
    ManagementData(const ManagementData &) = delete;
    ManagementData &operator=(const ManagementData &) = delete;

    // Needs the extension table; false when getData failed.
    bool get(jobject object = nullptr, const void *input = nullptr) {
        return binding.ext->getData(env_, object, id_, input, &data_) == 0;
    }
    jint count() const { return data_.elements != nullptr && data_.count > 0 ? data_.count : 0; }
    template <typename Record> const Record *records() const { return static_cast<const Record *>(data_.elements); }
    // The first text of a one-text answer, or null.
    const char *text() const { return count() > 0 ? records<char *>()[0] : nullptr; }

private:
    JNIEnv *env_;
    jint id_;
    VmManagementData data_{};
};

// The first double of getData for the id (input as given); 0 when it fails.
inline jdouble dataDouble(JNIEnv *env, jint id, const void *input = nullptr) {
    ManagementData data(env, id);
    return data.get(nullptr, input) && data.count() > 0 ? data.records<jdouble>()[0] : 0.0;
}

// Attribute reads and writes with the neutral result of a missing table; the guarded ones also
// throw NotAvailableException.
inline jlong extLong(JNIEnv *env, jint id, jlong neutral) {
    return binding.ext != nullptr ? binding.ext->getLong(env, nullptr, id) : neutral;
}
inline jlong guardedLong(JNIEnv *env, jint id) { return requireExt(env) ? binding.ext->getLong(env, nullptr, id) : -1; }
inline void extSetLong(JNIEnv *env, jint id, jlong value) {
    if (binding.ext != nullptr)
        binding.ext->setLong(env, nullptr, id, value);
}
inline jboolean extBool(JNIEnv *env, jint id) {
    return binding.ext != nullptr ? binding.ext->getBool(env, nullptr, id) : JNI_FALSE;
}
inline void extSetBool(JNIEnv *env, jint id, jboolean value) {
    if (binding.ext != nullptr)
        binding.ext->setBool(env, nullptr, id, value);
}
inline jlong jmmLong(JNIEnv *env, jint id) {
    return binding.jmm != nullptr ? binding.jmm->getLong(env, nullptr, id) : -1;
}

} // namespace vexil

#endif
