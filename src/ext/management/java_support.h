// Exceptions thrown into Java and arrays built for it.
#ifndef VEXIL_JAVA_SUPPORT_H
#define VEXIL_JAVA_SUPPORT_H

#include <jni.h>

namespace vexil {

// Each does nothing while an exception is pending.
void throwByName(JNIEnv *env, const char *className, const char *message);
void throwNotAvailable(JNIEnv *env, const char *message);
void throwOutOfMemory(JNIEnv *env, const char *message);

// A new array of `cls` holding `elements` (null entries allowed); null when it cannot be made.
jobjectArray newObjectArray(JNIEnv *env, jclass cls, jsize length, const jobject *elements);

// A Java string from modified UTF-8; null stays null.
jstring newString(JNIEnv *env, const char *text);

// A String array of the texts; null, with an exception pending, when it cannot be made.
jobjectArray stringArray(JNIEnv *env, jsize count, const char *const *texts);

} // namespace vexil

#endif
