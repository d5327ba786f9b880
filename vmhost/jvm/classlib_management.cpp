// The management classes whose members the management natives use, played by the VM. Their
// natives beyond JVMImpl's init and destroy are declared by whoever calls them (vmhostAddMethod).
#include "classlib.h"

namespace vm {

void defineManagementClasses(Vm &vm) {
    Body nothing = [](Call &) { return jvalue{}; };
    defineThrowable(vm, "com/zun/jvm/NotAvailableException", "java/lang/RuntimeException");
    defineInterface(vm, "com/zun/jvm/CallTraceElement");
    defineInterface(vm, "com/zun/jvm/ThreadSnapshot");
    defineInterface(vm, "com/zun/jvm/ThreadSnapshot$Monitor");
    defineInterface(vm, "com/zun/jvm/DiagnosticCommand");
    define(vm, "com/zun/jvm/DiagnosticCommand$Parameter", "java/lang/Object")
        .recordConstructor("(Ljava/lang/String;Ljava/lang/String;IZLjava/lang/Object;)V",
                           {"name", "description", "type", "required", "defaultValue"});

    define(vm, "zun/vexil/JVMImpl", "java/lang/Object")
        .field("handle", "J")
        .field("eventThread", "Ljava/lang/Thread;")
        .method("<init>", "()V",
                [&vm](Call &call) {
                    setObjectField(vm, call.self, "eventThread", newThreadObject(vm, "Management Event Thread", true));
                    return jvalue{};
                })
        .method("onClassFileHook", "(Ljava/lang/ClassLoader;Ljava/lang/String;[B)[B",
                [](Call &call) {
                    logCall(call);
                    return jvalue{};
                })
        .logged("onGCEnd", "(IIJJJ)V")
        .logged("onClassLoad", "(Ljava/lang/Class;)V")
        .logged("onCompiled", "(Ljava/lang/reflect/AccessibleObject;IJ)V")
        .native("init", "()V")
        .native("destroy", "()V");

    define(vm, "zun/vexil/ThreadSnapshotImpl", "java/lang/Object")
        .implements("com/zun/jvm/ThreadSnapshot")
        .recordConstructor("(Ljava/lang/String;IIJZI[Lcom/zun/jvm/CallTraceElement;Lcom/zun/jvm/ThreadSnapshot$Monitor;"
                           "Lcom/zun/jvm/ThreadSnapshot$Monitor;)V",
                           {"name", "state", "fullState", "tid", "daemon", "priority", "callTrace", "blockedOn",
                            "waitingOn"});
    define(vm, "zun/vexil/MonitorImpl", "java/lang/Object")
        .implements("com/zun/jvm/ThreadSnapshot$Monitor")
        .recordConstructor("(Ljava/lang/Object;JI)V", {"monitor", "owner", "kind"});
    define(vm, "zun/vexil/CallTraceElementImpl", "java/lang/Object")
        .implements("com/zun/jvm/CallTraceElement")
        .recordConstructor("(Ljava/lang/String;Ljava/lang/String;I[Lcom/zun/jvm/ThreadSnapshot$Monitor;Ljava/lang/String;)V",
                           {"className", "methodName", "line", "monitors", "sourceFile"});
    define(vm, "zun/vexil/CGStrategyImpl", "java/lang/Object")
        .recordConstructor("(Ljava/lang/String;IZ)V", {"name", "index", "flag"});
    define(vm, "zun/vexil/GCStrategyImpl", "java/lang/Object")
        .recordConstructor("(Ljava/lang/String;ZZZZZZ)V", {"name", "flag0", "flag1", "flag2", "flag3", "flag4", "flag5"});
    define(vm, "zun/vexil/GCHeuristicImpl", "java/lang/Object")
        .recordConstructor("(Ljava/lang/String;Ljava/lang/String;)V", {"name", "description"});
    define(vm, "zun/vexil/NICImpl", "java/lang/Object")
        .field("mac", "Ljava/lang/String;")
        .field("mtu", "J")
        .method("<init>", "()V", nothing);
    define(vm, "zun/vexil/BCMethodProf", "java/lang/Object")
        .method("<init>", "()V", nothing)
        .method("transform", "(Ljava/lang/Class;Ljava/lang/String;[B)[B", [](Call &call) {
            logCall(call);
            return jvalue{};
        });
    for (const char *name : {"zun/vexil/ClassLibraryImpl", "zun/vexil/CompilationSystemImpl", "zun/vexil/CPUImpl",
                             "zun/vexil/DiagnosticCommandImpl", "zun/vexil/ExceptionProfileImpl",
                             "zun/vexil/GarbageCollectorImpl", "zun/vexil/MachineImpl", "zun/vexil/MemorySystemImpl",
                             "zun/vexil/OperatingSystemImpl", "zun/vexil/ThreadSystemImpl"})
        define(vm, name, "java/lang/Object").method("<init>", "()V", nothing);
}

} // namespace vm
