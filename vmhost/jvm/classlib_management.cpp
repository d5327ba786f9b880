// The management classes whose members the management natives use, played by the VM, with the
// natives the management library exports for them.
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
        .native("destroy", "()V")
        .native("suggestProcessAffinity0", "([I)V")
        .native("getProcessAffinity0", "()[I")
        .native("getStartTime", "()J")
        .native("getJVMLoad", "()D")
        .native("getJVMInitArgs", "()Ljava/lang/String;")
        .native("getJavaCommandLine", "()Ljava/lang/String;");

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
        .method("<init>", "()V", nothing)
        .native("initIDs", "()V", ACC_PUBLIC | ACC_STATIC)
        .native("init", "(I)V");
    define(vm, "zun/vexil/BCMethodProf", "java/lang/Object")
        .method("<init>", "()V", nothing)
        .method("transform", "(Ljava/lang/Class;Ljava/lang/String;[B)[B",
                [](Call &call) {
                    logCall(call);
                    return jvalue{};
                })
        .native("initIDs", "()V", ACC_PUBLIC | ACC_STATIC)
        .native("transform", "(Ljava/lang/Class;)V");
    // The management objects; those whose natives need the JVMImpl's context find it in "jvm".
    struct Native {
        const char *name;
        const char *signature;
        bool isStatic;
    };
    const std::pair<const char *, std::vector<Native>> components[] = {
        {"zun/vexil/ClassLibraryImpl",
         {{"getAllClasses0", "(Ljava/lang/String;)[Ljava/lang/Class;", false},
          {"getAllClasses0", "(Ljava/lang/ClassLoader;)[Ljava/lang/Class;", false},
          {"redefineClass", "(Ljava/lang/Class;[BII)V", false},
          {"setPreprocessing", "(Z)V", false},
          {"addedFirstListener", "()V", false},
          {"removedLastListener", "()V", false}}},
        {"zun/vexil/CompilationSystemImpl",
         {{"initStrategies", "()[Lzun/vexil/CGStrategyImpl;", false},
          {"isOptimizing", "()Z", false},
          {"setOptimizing", "(Z)V", false},
          {"getStrategy", "(Ljava/lang/reflect/AccessibleObject;)I", false},
          {"forceCompilation", "(Ljava/lang/reflect/AccessibleObject;I)Z", false},
          {"addedFirstListener", "()V", false},
          {"removedLastListener", "()V", false}}},
        {"zun/vexil/CPUImpl", {{"getLoad", "(I)D", false}, {"getClockFrequency", "()J", false}}},
        {"zun/vexil/DiagnosticCommandImpl",
         {{"execute", "(Ljava/lang/String;I)V", false},
          {"getAvailableCommandNames", "()[Ljava/lang/String;", false},
          {"getDescription", "(Ljava/lang/String;)Ljava/lang/String;", false},
          {"getParameters0", "(Ljava/lang/String;)[Lcom/zun/jvm/DiagnosticCommand$Parameter;", false}}},
        {"zun/vexil/ExceptionProfileImpl",
         {{"checkAvailable", "()Z", false},
          {"setSingleEnabled0", "(Ljava/lang/Class;Z)V", false},
          {"setCompositeEnabled0", "(Ljava/lang/Class;Z)V", false},
          {"getSingleCount0", "(Ljava/lang/Class;)J", false},
          {"getCompositeCount0", "(Ljava/lang/Class;)J", false},
          {"getSingleCounts0", "()[Ljava/lang/Object;", false}}},
        {"zun/vexil/GarbageCollectorImpl",
         {{"getStrategies0", "()[Lzun/vexil/GCStrategyImpl;", false},
          {"getHeuristics0", "()[Lzun/vexil/GCHeuristicImpl;", false},
          {"getStrategy0", "()I", false},
          {"getHeuristic0", "()I", false},
          {"hasCompaction", "()Z", false},
          {"getTotalGarbageCollectionCount", "()J", false},
          {"getTotalGarbageCollectionTime", "()J", false},
          {"getLastGCStart", "()J", false},
          {"getLastGCEnd", "()J", false},
          {"getNurserySize0", "()J", false},
          {"setNurserySize0", "(J)V", false},
          {"suggestGCStrategy", "(I)V", false},
          {"suggestGCHeuristics", "(I)V", false},
          {"isSelfOptimizing", "()Z", false},
          {"setPauseTimeTarget0", "(J)V", false},
          {"getPauseTimeTarget", "()J", false},
          {"getMinPauseTimeTarget", "()J", false},
          {"getMaxPauseTimeTarget", "()J", false},
          {"addedFirstListener", "()V", false},
          {"removedLastListener", "()V", false}}},
        {"zun/vexil/MachineImpl",
         {{"getTotalPhysicalMemory", "()J", false},
          {"getUsedPhysicalMemory", "()J", false},
          {"getNumCPUS", "()I", false},
          {"getCPULoad", "()D", false},
          {"getPhysicalMachineID", "()Ljava/lang/String;", false}}},
        {"zun/vexil/MemorySystemImpl",
         {{"getMaxHeapSize", "()J", false},
          {"getTotalHeapSize", "()J", false},
          {"getInitialHeapSize", "()J", false},
          {"getUsedHeapSize", "()J", false},
          {"getSuggestedHeapSize", "()J", false},
          {"suggestHeapSize", "(J)V", false},
          {"setHeapSizeLocked", "(Z)V", false},
          {"isHeapSizeLocked", "()Z", false},
          {"setExitOnOutOfMemory", "(Z)V", false},
          {"isExitOnOutOfMemory", "()Z", false}}},
        {"zun/vexil/OperatingSystemImpl",
         {{"getTotalVirtualMemory", "()J", false},
          {"getUsedVirtualMemory", "()J", false},
          {"getProcessID0", "()J", false}}},
        {"zun/vexil/ThreadSystemImpl",
         {{"initIDs", "()V", true},
          {"getTotalThreadCount", "()I", false},
          {"getDaemonThreadCount", "()I", false},
          {"getAllThreads0", "()[Ljava/lang/Thread;", false},
          {"getThread", "(J)Ljava/lang/Thread;", false},
          {"getThreadSnapshots", "([Ljava/lang/Thread;)[Lcom/zun/jvm/ThreadSnapshot;", false}}},
    };
    for (const auto &[name, natives] : components) {
        ClassBuilder builder = define(vm, name, "java/lang/Object");
        builder.field("jvm", "Lzun/vexil/JVMImpl;").method("<init>", "()V", nothing);
        for (const Native &n : natives)
            builder.native(n.name, n.signature, n.isStatic ? ACC_PUBLIC | ACC_STATIC : ACC_PUBLIC);
    }
}

} // namespace vm
