// What JNI_OnLoad keeps for the whole process: the VM, its management tables, the optional-support
// flags and the class, field and method references every native relies on.
#ifndef VEXIL_VM_BINDING_H
#define VEXIL_VM_BINDING_H

#include <jni.h>

#include "management_interface.h"

namespace vexil {

constexpr jint jniVersion = JNI_VERSION_1_4;

struct VmBinding {
    int loadCount;
    JavaVM *vm;
    const VmManagement *jmm;
    const VmManagementExt *ext;
    VmOptionalSupport support;

    jclass objectClass;
    jclass stringClass;
    jclass classClass;
    jclass threadClass;

    jweak jvmImplClass;
    jweak threadSnapshotClass;
    jweak monitorClass;
    jweak callTraceElementClass;

    jfieldID handleField;
    jfieldID eventThreadField;
    jmethodID onClassFileHook;
    jmethodID onGCEnd;
    jmethodID onClassLoad;
    jmethodID onCompiled;
};

extern constinit VmBinding binding;

inline bool supports(unsigned char flag) { return (binding.support.bytes[0] & flag) != 0; }

// The table guards: false, with NotAvailableException thrown, when the table is absent.
bool requireJmm(JNIEnv *env);
bool requireExt(JNIEnv *env);

} // namespace vexil

#endif
