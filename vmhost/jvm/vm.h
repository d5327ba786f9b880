// The VM's own model: objects, classes, threads, references and the VM record. Everything here is
// guarded by Vm::lock, which is never held while the VM calls out (method bodies, natives, agent
// callbacks), so that called code may come back in from any thread.
#ifndef VMHOST_VM_H
#define VMHOST_VM_H

#include <windows.h>

#include <jvmti.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "vmhost.h"

namespace vm {

struct Class;
struct Method;
struct Field;
struct JavaThread;
struct JvmtiState;
struct Vm;

constexpr jint ACC_PUBLIC = 0x1;
constexpr jint ACC_STATIC = 0x8;
constexpr jint ACC_NATIVE = 0x100;
constexpr jint ACC_INTERFACE = 0x200;
constexpr jint ACC_ABSTRACT = 0x400;

enum class Kind : unsigned char { Plain, String, Array, Class, Buffer, Reflected };

struct Object {
    Class *klass = nullptr;
    Kind kind = Kind::Plain;
    std::map<const Field *, jvalue> fields; // object-typed values hold Object *
    virtual ~Object() = default;
};

struct StringObject : Object {
    std::u16string chars;
};

struct ArrayObject : Object {
    char elementType = 0; // descriptor letter of the component: 'L' for any reference
    jsize length = 0;
    std::vector<unsigned char> bytes; // primitive components
    std::vector<Object *> refs;       // reference components
};

struct BufferObject : Object {
    void *address = nullptr;
    jlong capacity = 0;
};

struct ReflectedObject : Object {
    Method *method = nullptr;
};

// A Java method played by C++: gets the receiver (or null) and the arguments, objects as Object *.
struct Call {
    JavaThread &thread;
    Method &method;
    Object *self;
    const jvalue *args;

    Object *object(int i) const { return reinterpret_cast<Object *>(args[i].l); }
};
using Body = std::function<jvalue(Call &)>;

struct Field {
    Class *owner = nullptr;
    std::string name;
    std::string signature;
    jint modifiers = 0;
    jvalue staticValue{};
    bool isStatic() const { return (modifiers & ACC_STATIC) != 0; }
};

struct Method {
    Class *owner = nullptr;
    std::string name;
    std::string signature;
    jint modifiers = 0;
    std::vector<std::string> parameters; // field descriptors
    std::string result;                  // field descriptor or "V"
    Body body;
    void *native = nullptr;   // bound entry point
    bool registered = false;  // bound by RegisterNatives rather than by name
    int argumentBytes = 0;    // stack bytes of the native's arguments, JNIEnv and receiver included
    std::vector<jvmtiLineNumberEntry> lines;

    bool isStatic() const { return (modifiers & ACC_STATIC) != 0; }
    bool isNative() const { return (modifiers & ACC_NATIVE) != 0; }
    std::string displayName() const;
};

struct Class : Object {
    std::string name; // internal form: java/lang/String, [I, [Ljava/lang/String;
    Class *super = nullptr;
    std::vector<Class *> interfaces;
    jint modifiers = ACC_PUBLIC;
    Object *loader = nullptr;
    Class *component = nullptr; // arrays
    std::string sourceFile;
    std::vector<unsigned char> bytes;
    std::vector<std::unique_ptr<Field>> fields;
    std::vector<std::unique_ptr<Method>> methods;

    bool isArray() const { return !name.empty() && name[0] == '['; }
    bool isInterface() const { return (modifiers & ACC_INTERFACE) != 0; }
    std::string dottedName() const;
    std::string signature() const; // Ljava/lang/String; or [I
};

// The parts of a thread the VM hands out: the JNIEnv is the first member so that the VM finds
// its thread from the JNIEnv pointer.
struct ThreadEnv {
    JNIEnv_ env;
    JavaThread *thread;
};

struct Frame {
    Method *method;
    jlocation location;
};

struct LocalFrame {
    std::vector<std::uint32_t> refs;
    Method *native = nullptr; // the native method whose frame this is, if any
};

struct JavaThread {
    ThreadEnv jni{};
    Object *threadObject = nullptr;
    std::string name;
    DWORD osId = 0;
    HANDLE handle = nullptr; // agent threads: waited for at exit
    bool attached = false;
    bool simulated = false;
    bool agent = false;
    bool daemon = false;
    bool suspended = false;
    jvmtiError suspendFailure = JVMTI_ERROR_NONE; // what a suspend answers instead, set by a test
    jint suspensions = 0;                          // suspends that took effect
    jvalue lastResult{}; // of the last method that returned here, kept while an exception is pending
    jint simulatedState = 0;
    Object *pendingException = nullptr;
    std::vector<LocalFrame> localFrames;
    std::vector<Frame> frames; // bottom first
    std::vector<std::pair<Object *, jint>> ownedMonitors;
    Object *contendedMonitor = nullptr;
    int criticalDepth = 0;
    std::map<JvmtiState *, void *> jvmtiLocal;
    std::vector<std::string> activities; // what the VM is calling on this thread, innermost last
};

enum class RefKind : unsigned char { Free, Local, Global, Weak };

struct RefEntry {
    Object *object = nullptr;
    RefKind kind = RefKind::Free;
    unsigned char generation = 0;
    JavaThread *owner = nullptr;
    std::uint32_t serial = 0;
    std::string origin;
};

// What was handed out and must be given back: pinned string and array contents, tool-interface
// memory, raw monitors, management data.
struct Loan {
    std::string what; // "GetStringUTFChars", "Allocate", ...
    Object *source = nullptr;
    std::uint32_t serial = 0;
    std::string origin;
    jint attribute = 0; // management data: the attribute id
    size_t size = 0;    // tool-interface memory: its size
};

struct RawMonitor {
    std::string name;
    CRITICAL_SECTION section;
    CONDITION_VARIABLE changed;
    DWORD owner = 0;
    int entries = 0;
    std::uint32_t serial = 0;
    std::string origin;
    bool destroyed = false;
};

struct Library {
    std::string path;
    HMODULE module = nullptr;
    bool agent = false;
};

// The environment handed out is the first member: the VM finds its state from the jvmtiEnv pointer.
struct JvmtiState {
    _jvmtiEnv env{};
    bool disposed = false;
    std::uint32_t serial = 0;
    std::string origin; // where GetEnv handed it out
    void *localStorage = nullptr;
    jvmtiCapabilities capabilities{};
    jvmtiEventCallbacks callbacks{};
    std::set<jvmtiEvent> enabled;
    // Threads inside one of its callbacks: a callback that began before a disposal may still
    // call the environment, and is answered as a real VM would, without a report.
    std::multiset<DWORD> inCallbacks;
};

struct ShutdownHook {
    std::function<void(JNIEnv *)> run;
};

// The recorder's and the management tables' VM-side state (recorder.cpp, management.cpp).
struct RecorderState;
struct ManagementState;
// Stops of the world and suspended threads waiting (world.cpp).
struct WorldState;

struct Vm {
    JavaVM_ javaVm{};
    std::recursive_mutex lock;
    jvmtiPhase phase = JVMTI_PHASE_ONLOAD;
    bool exiting = false;
    DWORD exitWaitMs = 10000;
    DWORD stopWaitMs = 5000; // a collection's callback that stops the world longer is reported

    std::vector<std::unique_ptr<Object>> heap;
    std::map<std::string, Class *> classes;
    std::set<const Method *> methodIds;
    std::set<const Field *> fieldIds;

    std::vector<RefEntry> refs{1}; // index 0 is never used: handle 0 is null
    std::deque<std::uint32_t> freeRefs;
    std::map<const void *, Loan> loans;
    std::map<const RawMonitor *, std::unique_ptr<RawMonitor>> rawMonitors;
    std::uint32_t serial = 0;
    std::uint32_t baseline = 0;

    std::vector<std::unique_ptr<JavaThread>> threads;
    std::map<DWORD, JavaThread *> attached; // by OS thread id
    std::map<const Object *, JavaThread *> byThreadObject;
    std::vector<std::unique_ptr<JvmtiState>> jvmtiEnvs;
    jvmtiCapabilities potential{};
    // Calls a test made fail, by name: the error they answer, and whether once only.
    std::map<std::string, std::pair<jint, bool>, std::less<>> failingCalls; // looked up by a C name, no copy
    std::vector<Library> libraries;
    std::vector<ShutdownHook> shutdownHooks;
    std::vector<std::function<void()>> releases; // contexts of host bodies
    jlong nextThreadId = 1;
    LARGE_INTEGER startCounter{};

    std::unique_ptr<RecorderState, void (*)(RecorderState *)> recorder{nullptr, nullptr};
    std::unique_ptr<ManagementState, void (*)(ManagementState *)> management{nullptr, nullptr};
    std::unique_ptr<WorldState, void (*)(WorldState *)> world{nullptr, nullptr};

    // Classes the VM itself needs.
    Class *objectClass = nullptr;
    Class *classClass = nullptr;
    Class *stringClass = nullptr;
    Class *threadClass = nullptr;
    Class *throwableClass = nullptr;
    Class *bufferClass = nullptr;
    Class *methodClass = nullptr;
    Class *constructorClass = nullptr;
};

// The one VM of the process, or null.
Vm *currentVm();
void setCurrentVm(Vm *vm);
Vm *vmOf(JavaVM *javaVm);
// The VM for a table operation of the recorder or the management interface; a call after the VM
// ended is reported, naming the operation, and ends the process.
Vm &runningVm(const char *operation);

// Problems and the call log (problems.cpp); both outlive the VM.
void report(const std::string &problem);
void callLog(const std::string &line);
// A chunk file the Java recorder took over, under its final name.
void chunkFinished(const std::string &path);

// Modified UTF-8 (mutf8.cpp).
std::u16string decodeModifiedUtf8(const char *bytes, bool *wellFormed = nullptr);
std::string encodeModifiedUtf8(const std::u16string &chars);
std::string toDisplay(const std::u16string &chars); // for messages

// Objects and classes (objects.cpp). All lock Vm::lock themselves.
template <typename T> T *allocate(Vm &vm, Class *klass) {
    auto object = std::make_unique<T>();
    object->klass = klass;
    T *raw = object.get();
    std::lock_guard guard(vm.lock);
    vm.heap.push_back(std::move(object));
    return raw;
}
Class *findClass(Vm &vm, const std::string &name); // also makes array classes
Class *defineClass(Vm &vm, const std::string &name, const std::string &superName, jint modifiers = ACC_PUBLIC);
Field *addField(Vm &vm, Class *klass, const std::string &name, const std::string &signature, jint modifiers = 0);
Method *addMethod(Vm &vm, Class *klass, const std::string &name, const std::string &signature, jint modifiers,
                  Body body);
bool parseMethodSignature(const std::string &signature, std::vector<std::string> &parameters, std::string &result);
bool isFieldDescriptor(const std::string &descriptor);
Method *findMethod(Class *klass, const std::string &name, const std::string &signature, bool isStatic);
Field *findField(Class *klass, const std::string &name, const std::string &signature, bool isStatic);
Method *findOverride(Class *klass, Method *method);
bool isAssignable(const Class *from, const Class *to);
bool isInstance(const Object *object, const Class *klass);
// Whether an object (or null) may be passed where the descriptor is expected.
bool fitsDescriptor(Vm &vm, const Object *object, const std::string &descriptor);
StringObject *newString(Vm &vm, const std::u16string &chars);
StringObject *newStringUtf(Vm &vm, const std::string &modifiedUtf8);
std::string stringUtf(const Object *string); // modified UTF-8, or "null"
// The VM's heap holds no array larger than this; null means the array cannot be made.
constexpr size_t maxArrayBytes = 256u << 20;
ArrayObject *newArray(Vm &vm, const std::string &arrayClassName, jsize length);
size_t elementSize(char type);
jvalue fieldValue(Vm &vm, Object *object, const Field *field);
void setFieldValue(Vm &vm, Object *object, const Field *field, jvalue value);
// Field access by name, for the classes the VM plays.
Object *getObjectField(Vm &vm, Object *object, const char *name);
void setObjectField(Vm &vm, Object *object, const char *name, Object *value);
jvalue getField(Vm &vm, Object *object, const char *name);
void setField(Vm &vm, Object *object, const char *name, jvalue value);
std::string describe(const Object *object); // class name and, for throwables, the message

// Threads (threads.cpp).
JavaThread *currentThread(); // of the calling OS thread, attached or not
JavaThread *attachThread(Vm &vm, const char *name, bool daemon, Object *threadObject);
void detachThread(Vm &vm, JavaThread &thread);
JavaThread *threadOf(Vm &vm, const Object *threadObject);
jint threadState(const JavaThread &thread);
std::string where(const JavaThread &thread); // the code the thread runs, for messages
struct Activity {                             // names what the VM calls on this thread
    Activity(JavaThread &thread, std::string what);
    ~Activity();
    JavaThread &thread;
};
Object *newThreadObject(Vm &vm, const std::string &name, bool daemon); // an empty name: Thread-<id>
void initThreadObject(Vm &vm, Object *thread, const std::string &name, bool daemon);

// References (refs.cpp).
jobject newRef(Vm &vm, JavaThread &thread, Object *object, RefKind kind);
// Resolves a reference; reports (naming the function) and answers null for a bad one.
Object *resolve(Vm &vm, JavaThread &thread, jobject ref, const char *function, bool *valid = nullptr);
bool deleteRef(Vm &vm, JavaThread &thread, jobject ref, RefKind kind, const char *function);
void pushLocalFrame(Vm &vm, JavaThread &thread, Method *native);
void popLocalFrame(Vm &vm, JavaThread &thread);

// Exceptions (exceptions.cpp).
void throwNew(JavaThread &thread, const char *className, const std::string &message);
void throwObject(JavaThread &thread, Object *throwable);
Object *takeException(JavaThread &thread);
void describeException(JavaThread &thread, Object *throwable);

// Invocation (invoke.cpp). Arguments and results hold objects as Object *.
jvalue invoke(JavaThread &thread, Method *method, Object *self, const jvalue *args);
jvalue callMethod(JavaThread &thread, Object *self, const char *name, const char *signature,
                  std::initializer_list<jvalue> args);
jvalue callStatic(JavaThread &thread, const char *className, const char *name, const char *signature,
                  std::initializer_list<jvalue> args);
Object *newObject(JavaThread &thread, const char *className, const char *signature, std::initializer_list<jvalue> args);
jvalue objectValue(Object *object);
std::string jniShortName(const Method &method);
std::string jniLongName(const Method &method);

// Libraries and agents (libraries.cpp).
jint loadLibrary(Vm &vm, JavaThread &thread, const std::string &path);
jint loadAgent(Vm &vm, JavaThread &thread, const std::string &path, const char *options);
void *findNative(Vm &vm, Method &method);
void unloadLibraries(Vm &vm, JavaThread &thread);
void freeLibraries(Vm &vm);
// Calls a __stdcall function with the given argument words; reports a callee that left the
// stack unbalanced. resultKind: 'V', 'I' (eax), 'J' (edx:eax), 'F', 'D' (x87).
jvalue callStdcall(const void *function, const std::vector<std::uint32_t> &words, char resultKind,
                   const std::string &what);

// The tool interface (jvmti_*.cpp).
JvmtiState *newJvmtiEnv(Vm &vm, JavaThread *thread);
// Whether a test made the named call fail now; `error` is what it answers.
bool callFails(Vm &vm, const char *function, jint &error);
const jvmtiInterface_1_ *jvmtiTable();
void defaultCapabilities(jvmtiCapabilities &capabilities);
// Each environment that enabled the event, with the callback it had set, for posting outside
// the lock: a callback cleared meanwhile is not read again.
struct Listener {
    JvmtiState *state;
    void *callback;
};
std::vector<Listener> listeners(Vm &vm, jvmtiEvent event);
void postVmInit(Vm &vm, JavaThread &thread);
void postVmDeath(Vm &vm, JavaThread &thread);
void postThreadStart(Vm &vm, JavaThread &thread);
void postThreadEnd(Vm &vm, JavaThread &thread);
void postClassLoad(Vm &vm, JavaThread &thread, Class *klass);
// The class file load hook: returns the bytes the agents left.
std::vector<unsigned char> postClassFileLoadHook(Vm &vm, JavaThread &thread, Class *redefined, Object *loader,
                                                 const std::string &name, std::vector<unsigned char> bytes,
                                                 bool retransformOnly);
void postCompiledMethodLoad(Vm &vm, JavaThread &thread, Method *method, jint codeSize, const void *compileInfo);
void postGarbageCollection(Vm &vm, bool finish);
void destroyRawMonitors(Vm &vm);

// The JNI table (jni_*.cpp) and the invocation interface (invocation.cpp).
const JNINativeInterface_ *jniTable();
const JNIInvokeInterface_ *invokeTable();

// Classes played by the VM (classlib_*.cpp).
void defineLangClasses(Vm &vm);
void defineRecorderClasses(Vm &vm);
void defineManagementClasses(Vm &vm);
void defineUtilityClasses(Vm &vm);

// Recorder (recorder.cpp) and management (management.cpp) sides.
void initRecorder(Vm &vm);
void *recorderGetEnv(Vm &vm, void *agentTable);
void recorderThreadEnds(Vm &vm, JavaThread &thread);
// Before the shutdown hooks: a recorder that is not ready to exit gets its Java side made.
void recorderBeforeExit(Vm &vm, JavaThread &thread);
void initManagement(Vm &vm);
// One collection as the VM's collecting thread runs it: GarbageCollectionStart, the counters,
// GarbageCollectionFinish and the VM's own event.
void runCollection(Vm &vm, jboolean flag0, jboolean flag1);

// The world (world.cpp). Its own lock is never taken while Vm::lock is held.
void initWorld(Vm &vm);
// Where a call enters the VM; every entry calls this first, holding no lock of the VM's. An
// attached thread waits here while the world is stopped or while it is suspended; an armed
// collection may start here; the collecting thread's calls from inside its callbacks that a VM
// refuses there are reported.
enum class Entry { Jni, Tool, Recorder };
void enterVm(Vm &vm, const char *function, Entry kind);
// The tool-interface functions a collection's callbacks may call; they never wait.
bool allowedWhileStopped(const char *function);
// Stops the world for a collection and waits until the collecting thread posted its events.
void collectGarbage(Vm &vm, jboolean flag0, jboolean flag1);
// What the collecting thread does, for reports; `callback` names the callback it is inside. A
// step that runs an agent's code has the stop bound to finish.
void collectorDoing(Vm &vm, const std::string &what, const char *callback, bool agentCode);
// A real thread suspended or resumed by another one: it waits at its next entry while suspended.
void holdThread(Vm &vm, JavaThread &thread, bool held);
// Ends the collecting thread; false when it still ran after the exit wait (reported).
bool endCollector(Vm &vm);

// Checks (checks.cpp).
jint checkSinceBaseline(Vm &vm);
void markBaseline(Vm &vm);

} // namespace vm

#endif
