// The Thread members and constructors the thread natives use, cached at initIDs.
#ifndef VEXIL_THREAD_IDS_H
#define VEXIL_THREAD_IDS_H

#include <jni.h>

namespace vexil {

struct ThreadIds {
    bool ready;
    jfieldID tid;      // may be null: the VM's Thread lacks it
    jfieldID priority; // may be null
    jfieldID daemon;   // may be null
    jmethodID currentThread;
    jmethodID getName;
    jmethodID snapshotInit;
    jmethodID monitorInit;
    jmethodID callTraceInit;
};

extern constinit ThreadIds threadIds;

// Fills threadIds once; false, with an exception pending, when a method is missing.
bool bindThreadIds(JNIEnv *env);

} // namespace vexil

#endif
