// The natives of the Java recorder class, registered at VM start.
#ifndef QRN_RECORDER_NATIVES_H
#define QRN_RECORDER_NATIVES_H

#include <jni.h>

extern const JNINativeMethod qrnRecorderNatives[];
extern const jint qrnRecorderNativeCount;

#endif
