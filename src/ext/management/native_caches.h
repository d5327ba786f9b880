// Class references that natives cache on first use; JNI_OnUnload gives them back.
#ifndef VEXIL_NATIVE_CACHES_H
#define VEXIL_NATIVE_CACHES_H

#include <jni.h>

namespace vexil {

void releaseParameterClasses(JNIEnv *env);

} // namespace vexil

#endif
