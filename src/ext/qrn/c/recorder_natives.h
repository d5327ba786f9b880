// The natives of the Java recorder class, registered at VM start.
//
// The direct buffers they hand to Java lie over the agent's own memory and live only as long as
// it does: the one `buffer` returns until the calling thread's buffer is released (the thread
// ends), the blob `descriptors` returns until the next `add` or `remove`. Java must not touch
// them afterwards. The statistics block of `init` and the event settings live for the process.
#ifndef QRN_RECORDER_NATIVES_H
#define QRN_RECORDER_NATIVES_H

#include <jni.h>

extern const JNINativeMethod qrnRecorderNatives[];
extern const jint qrnRecorderNativeCount;

#endif
