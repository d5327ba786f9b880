// What natives cache on first use; JNI_OnUnload gives it back, so that a later load binds anew.
#ifndef VEXIL_NATIVE_CACHES_H
#define VEXIL_NATIVE_CACHES_H

#include <jni.h>

namespace vexil {

void releaseParameterClasses(JNIEnv *env);
void forgetThreadIds();
void forgetNicIds();
void forgetTransformMethod();

} // namespace vexil

#endif
