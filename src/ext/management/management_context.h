// The native context of one zun/vexil/JVMImpl object: its tool-interface environment, the
// capabilities it holds, and the event queue that its event thread delivers to Java.
#ifndef VEXIL_MANAGEMENT_CONTEXT_H
#define VEXIL_MANAGEMENT_CONTEXT_H

#include <windows.h>

#include <jvmti.h>

namespace vexil {

struct ManagementContext;
struct ManagementEvent;
struct CallbackGate;

using EventDispatch = void (*)(JNIEnv *env, ManagementEvent *event, ManagementContext *context);
using EventCleanup = void (*)(JNIEnv *env, ManagementEvent *event);

struct ManagementEvent {
    EventDispatch dispatch;
    EventCleanup cleanup; // or null
    ManagementEvent *next;
};

struct ManagementContext {
    jweak self; // the JVMImpl object
    ManagementEvent *head;
    ManagementEvent *tail;
    jvmtiEnv *jvmti;
    jint jvmtiVersion;
    jrawMonitorID lock; // "vexil eventlock": the queue and both flags
    bool running;
    bool alive;
    jvmtiCapabilities capabilities;
    jvmtiEventCallbacks callbacks;
    // A destroy that runs on the event thread itself leaves the last steps to the thread.
    DWORD eventThreadId;
    bool finishOnEventThread;
    CallbackGate *gate; // what the environment-local storage points at
};

// The context of a JVMImpl object; null, with NotAvailableException thrown, when there is none.
ManagementContext *contextOf(JNIEnv *env, jobject jvmImpl);
// The context of the JVMImpl that a management object belongs to (its field "jvm").
ManagementContext *contextOfOwner(JNIEnv *env, jobject component);

// Appends the event while the context runs; false when it was not taken (the caller releases it).
bool enqueue(ManagementContext *context, ManagementEvent *event);

// Switches a tool-interface event on or off for the context of a management object's JVMImpl.
void switchEvent(JNIEnv *env, jobject component, bool on, jvmtiEvent event);

// Whether compilation events carry compile information (read at initStrategies).
extern volatile bool compileInfoWanted;

} // namespace vexil

#endif
