/* The host side of jvm.dll: what a host program or a test uses to drive the VM beyond the
   standard invocation interface (JNI_CreateJavaVM, DestroyJavaVM).

   The VM checks its callers as a checking VM would: misuse of JNI or the tool interface (a thread
   asked to suspend itself among a list included), leaked references and allocations, tool-interface
   environments never disposed, raw monitors never destroyed and unbalanced pairs are reported as
   problems, each printed to standard error at once ("vmhost: ...") and kept until taken with
   vmhostTakeProblems.

   The VM plays the Java classes the natives use: java.lang basics, java.nio.DirectByteBuffer,
   reflection; the recorder's classes in melnor/vantrel/qrn (QRN.get makes the recorder object, a
   VMQRN, through its natives init, options, setRepositoryPath and, for a default recording,
   start; finishChunk takes a finished chunk over and drops ".part"); the management classes in
   zun/vexil and com/zun/jvm (constructors keep their arguments in fields, callbacks log); the
   log-module, process and timing classes of melnor/vantrel. Their natives are declared with the
   signatures the libraries register or export. The management objects of zun/vexil find their
   JVMImpl in their field "jvm"; a test overrides a played method in a subclass of its own.

   Options of JNI_CreateJavaVM and vmhostCreateJavaVM:
     -agentpath:<dll>[=<options>]  load an agent (Agent_OnLoad gets null without '=')
     -Xvmhost:exitwait=<ms>        how long the VM exit waits for agent threads (default 10000)
     -Xvmhost:stopwait=<ms>        how long a collection's callback may stop the world (default 5000) */
#ifndef VMHOST_VMHOST_H
#define VMHOST_VMHOST_H

#include <jvmti.h>

#include "management_interface.h"
#include "recorder_interface.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
#define VMHOST_NOTHROW noexcept
#else
#define VMHOST_NOTHROW
#endif

/* Starting and ending: JNI_CreateJavaVM (jni.h) is vmhostCreateJavaVM and vmhostStartJavaVM. */
/* Creates the VM and loads its agents; the VM is in its start-up phase: classes can be added. */
jint vmhostCreateJavaVM(JavaVM **vm, JNIEnv **env, const JavaVMInitArgs *args) VMHOST_NOTHROW;
/* Live phase: VMStart and VMInit go to the agents; marks the check baseline. */
jint vmhostStartJavaVM(JavaVM *vm) VMHOST_NOTHROW;

/* Problems found so far: their count, and all of them as lines; the answer is the length of the
   lines, which are copied and forgotten only when they fit with a terminator. */
jint vmhostProblemCount(void) VMHOST_NOTHROW;
jint vmhostTakeProblems(char *text, jint size) VMHOST_NOTHROW;
/* Everything live now (references, tool-interface environments, memory and monitors, pinned
   strings and arrays, management data) is exempt from the checks below. */
void vmhostMarkBaseline(JavaVM *vm) VMHOST_NOTHROW;
/* Reports what was made since the baseline and not given back; returns the number reported.
   The VM exit runs it after JNI_OnUnload. */
jint vmhostCheck(JavaVM *vm) VMHOST_NOTHROW;

/* What the Java classes played by the VM were asked to do, one line each ("class.method(args)"),
   and the recorder and management operations the VM answered; taken as the problems are. */
jint vmhostTakeCallLog(char *text, jint size) VMHOST_NOTHROW;

/* Loading. A JNI library: JNI_OnLoad runs and its natives are found by their JNI names; on
   failure an UnsatisfiedLinkError is pending and the result is -1. An agent (start-up phase
   only): Agent_OnLoad with the options; its non-zero result is returned. */
jint vmhostLoadLibrary(JNIEnv *env, const char *path) VMHOST_NOTHROW;
jint vmhostLoadAgent(JavaVM *vm, const char *path, const char *options) VMHOST_NOTHROW;

/* Classes of the test or the host. A method body gets the object (or the class for a static
   method) and the arguments as local references; it reports failures by throwing. A native
   method (modifier 0x100) has no body: the VM binds it to a library export or RegisterNatives.
   release, when given, is called with the context when the VM ends. */
typedef jvalue (*VmhostMethodBody)(JNIEnv *env, jobject self, const jvalue *args, void *context);
jclass vmhostDefineClass(JNIEnv *env, const char *name, const char *superName, jobject loader,
                         const unsigned char *classBytes, jint length) VMHOST_NOTHROW;
jint vmhostAddInterface(JNIEnv *env, jclass cls, const char *interfaceName) VMHOST_NOTHROW;
jfieldID vmhostAddField(JNIEnv *env, jclass cls, const char *name, const char *signature, jint modifiers) VMHOST_NOTHROW;
jmethodID vmhostAddMethod(JNIEnv *env, jclass cls, const char *name, const char *signature, jint modifiers,
                          VmhostMethodBody body, void *context, void (*release)(void *context)) VMHOST_NOTHROW;
void vmhostSetSourceFile(JNIEnv *env, jclass cls, const char *sourceFile) VMHOST_NOTHROW;
void vmhostSetLineNumbers(JNIEnv *env, jmethodID method, const jvmtiLineNumberEntry *table, jint count) VMHOST_NOTHROW;
/* The class's bytes as the class file load hook left them (length; copied when it fits). */
jint vmhostClassBytes(JNIEnv *env, jclass cls, unsigned char *bytes, jint size) VMHOST_NOTHROW;

/* Events the VM posts to its agents. */
void vmhostPostClassLoad(JNIEnv *env, jclass cls) VMHOST_NOTHROW;
void vmhostPostCompiledMethodLoad(JNIEnv *env, jmethodID method, jint codeSize, const void *compileInfo) VMHOST_NOTHROW;
/* A garbage collection stops the world: every attached thread but the caller waits at its next
   JNI call, its next tool-interface call other than the raw-monitor, memory and
   environment-local-storage functions, and its next recorder operation, until the world
   resumes. On a thread of the VM's own, which is not attached, the VM posts
   GarbageCollectionStart, counts the collection, posts GarbageCollectionFinish and writes its own
   event through the recorder's entries; a JNI call or a disallowed tool-interface call from
   inside those callbacks is a problem. A stop in which the VM's thread stays in one callback, or
   in the recorder's entries, longer than the stop bound (-Xvmhost:stopwait=<ms>, default 5000)
   is reported as a problem naming where it is and the threads that wait and where; the world
   then resumes.
   A suspended attached thread likewise waits at its next such call until it is resumed.
   vmhostCollectGarbage returns once the collection's events were posted, or its stop was ended
   for the bound. */
void vmhostCollectGarbage(JNIEnv *env, jboolean flag0, jboolean flag1) VMHOST_NOTHROW;
/* Arms one collection: it starts when `thread` (null: any attached thread) next enters the JNI
   or tool-interface function or the recorder operation named `function` ("NewGlobalRef",
   "DestroyRawMonitor", "requestEvent"); that call is the first to wait. */
void vmhostCollectGarbageAt(JavaVM *vm, const char *function, jthread thread, jboolean flag0, jboolean flag1) VMHOST_NOTHROW;
/* Collections whose events were all posted so far, called or armed. */
jint vmhostCollectionsDone(JavaVM *vm) VMHOST_NOTHROW;
/* How many attached threads wait now at an entry, for a stopped world or for their resumption. */
jint vmhostWaitingThreads(JavaVM *vm) VMHOST_NOTHROW;
/* For a test that would otherwise hang: every thread that waits for a stopped world or for its
   resumption goes on (the world resumes, suspended threads run), and this is reported. */
void vmhostReleaseWaiters(JavaVM *vm) VMHOST_NOTHROW;

/* Simulated Java threads, for the thread queries of the tool interface: a Thread object that no
   OS thread runs, with the given state bits, frames (pushed top last) and monitors. */
jthread vmhostSimulateThread(JNIEnv *env, const char *name, jint priority, jboolean daemon, jint state) VMHOST_NOTHROW;
void vmhostPushFrame(JNIEnv *env, jthread thread, jmethodID method, jlocation location) VMHOST_NOTHROW;
void vmhostAddOwnedMonitor(JNIEnv *env, jthread thread, jobject monitor, jint stackDepth) VMHOST_NOTHROW;
void vmhostSetContendedMonitor(JNIEnv *env, jthread thread, jobject monitor) VMHOST_NOTHROW;
void vmhostEndSimulatedThread(JNIEnv *env, jthread thread) VMHOST_NOTHROW;
/* Suspending a thread (any thread of the VM) answers `error` instead, until it is set to 0; and
   how many suspends of it took effect so far. */
void vmhostFailSuspend(JNIEnv *env, jthread thread, jint error) VMHOST_NOTHROW;
jint vmhostSuspensions(JNIEnv *env, jthread thread) VMHOST_NOTHROW;

/* Capabilities every tool-interface environment may add (default: all the VM implements). */
void vmhostSetPotentialCapabilities(JavaVM *vm, const jvmtiCapabilities *capabilities) VMHOST_NOTHROW;
/* The environments not disposed, in the order they were got: their count, and the capabilities
   they hold and the callbacks they set (the first `max` of them, where the arrays are given). */
jint vmhostEnvironments(JavaVM *vm, jvmtiCapabilities *held, jvmtiEventCallbacks *callbacks, jint max) VMHOST_NOTHROW;

/* Makes a call of the VM answer `error` instead of working: a tool-interface function by its
   name, "GetEnv" (of any version; `error` is its result), "NewWeakGlobalRef" (answers null) or
   "NewObjectArray" (answers null with OutOfMemoryError pending).
   Once, or always until set again with error 0, which makes it work again. */
void vmhostFailCall(JavaVM *vm, const char *function, jint error, jboolean always) VMHOST_NOTHROW;

/* What the last method that the thread called returned (a primitive result), kept even when an
   exception was pending and the caller was given 0 instead. */
jvalue vmhostLastResult(JNIEnv *env) VMHOST_NOTHROW;

/* Tool-interface environments handed out so far, and how many of them were disposed of. */
jint vmhostToolEnvironments(JavaVM *vm, jint *disposed) VMHOST_NOTHROW;

/* Shutdown hooks run first when the VM exits, on the exiting thread, newest first. */
void vmhostAddShutdownHook(JavaVM *vm, void (*hook)(JNIEnv *env, void *context), void *context) VMHOST_NOTHROW;

/* Management tables: which are offered, and attribute values. */
void vmhostSetManagementTables(JavaVM *vm, jboolean standard, jboolean extension) VMHOST_NOTHROW;
void vmhostSetLongAttribute(JavaVM *vm, jint id, jlong value) VMHOST_NOTHROW;
void vmhostSetBoolAttribute(JavaVM *vm, jint id, jboolean value) VMHOST_NOTHROW;
void vmhostSetOptionalSupport(JavaVM *vm, unsigned char byte0) VMHOST_NOTHROW;
/* getData answers of the test's own: `count` records of the attribute's type (texts copied, class
   references of 300 and 301 kept as their classes), for one command of 251 and 252 or, with a
   null command, for any input. They replace the VM's own answer for that attribute. */
void vmhostSetManagementData(JavaVM *vm, jint id, const char *command, jint count, const void *records) VMHOST_NOTHROW;
/* Makes an operation of the extension table ("getData", "setData", "setLong", "setBool",
   "executeCommand", "threadsById") fail for an attribute id (-1: every id), or work again. */
void vmhostFailManagement(JavaVM *vm, const char *operation, jint id, jboolean fail) VMHOST_NOTHROW;

/* The recorder: the agent's entry table once it asked for the recorder interface (or null), and
   an event record written into the calling thread's buffer through it; 1 when written, 0 when
   the event is disabled or no buffer is available. */
const QrnAgent *vmhostRecorderAgent(JavaVM *vm) VMHOST_NOTHROW;
jint vmhostRecordEvent(JNIEnv *env, jint eventId, const void *payload, jint length) VMHOST_NOTHROW;
/* Writes into the agent's chunk as the VM does, through the stream its entries hand out: a
   checkpoint with the given body, or bytes as a direct write. 1 when written, 0 when the agent
   had no chunk open. */
jint vmhostWriteCheckpoint(JNIEnv *env, const void *body, jint length) VMHOST_NOTHROW;
/* The chunk files finishChunk took over (under their final names), one a line, in order; taken
   as the problems are, and kept after the VM ends. */
jint vmhostTakeFinishedChunks(char *text, jint size) VMHOST_NOTHROW;
jint vmhostWriteDirect(JNIEnv *env, const void *bytes, jint length) VMHOST_NOTHROW;

#ifdef __cplusplus
}
#endif

#endif
