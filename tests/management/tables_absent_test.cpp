// Every native of the management objects without the extension table, and without the standard
// one: its neutral answer and, where the natives guard the table, the exception.
#include <string>
#include <vector>

#include "vexil_test.h"

namespace {

constexpr const char *noExt = "com.zun.jvm.NotAvailableException: no JMM_EXT interface available";

struct Case {
    const char *cls;
    const char *name;
    const char *signature;
    std::vector<jvalue> args;
    std::string answer; // the result as text, as the native returned it
    std::string exception;
};

class TablesAbsent : public VexilTest {
protected:
    std::string answer(jobject object, const Case &c) {
        jclass cls = env()->GetObjectClass(object);
        jmethodID method = env()->GetMethodID(cls, c.name, c.signature);
        env()->DeleteLocalRef(cls);
        const jvalue *args = c.args.data();
        std::string sig = c.signature;
        // What the native returned, which Java does not see while an exception is pending.
        switch (sig[sig.find(')') + 1]) {
        case 'J': env()->CallLongMethodA(object, method, args); return std::to_string(vmhostLastResult(env()).j);
        case 'I': env()->CallIntMethodA(object, method, args); return std::to_string(vmhostLastResult(env()).i);
        case 'Z': env()->CallBooleanMethodA(object, method, args); return vmhostLastResult(env()).z ? "true" : "false";
        case 'D': env()->CallDoubleMethodA(object, method, args); return std::to_string(vmhostLastResult(env()).d);
        case 'V': env()->CallVoidMethodA(object, method, args); return "void";
        default: {
            jobject result = env()->CallObjectMethodA(object, method, args);
            if (result == nullptr)
                return "null";
            if (sig.back() == ';' && sig.find(")[") == std::string::npos)
                return text(result);
            return "length " + std::to_string(env()->GetArrayLength(static_cast<jarray>(result)));
        }
        }
    }

    void check(const std::vector<Case> &cases) {
        for (const Case &c : cases) {
            jobject object = newObject(c.cls);
            std::string result = answer(object, c);
            EXPECT_EQ(result, c.answer) << c.cls << "." << c.name;
            EXPECT_EQ(thrown(), c.exception) << c.cls << "." << c.name;
            takeCallLog();
        }
    }
};

TEST_F(TablesAbsent, WithoutTheExtensionTable) {
    load(true, false);
    jobject npe = env()->FindClass("java/lang/NullPointerException");
    jobject command = env()->NewStringUTF("help");
    jvalue none{};
    const std::string zero = std::to_string(0.0);
    check({
        {"zun/vexil/CompilationSystemImpl", "initStrategies", "()[Lzun/vexil/CGStrategyImpl;", {}, "null", noExt},
        {"zun/vexil/CompilationSystemImpl", "isOptimizing", "()Z", {}, "false", noExt},
        {"zun/vexil/CompilationSystemImpl", "setOptimizing", "(Z)V", {jbool_(true)}, "void", noExt},
        {"zun/vexil/CompilationSystemImpl", "getStrategy", "(Ljava/lang/reflect/AccessibleObject;)I", {none}, "0", ""},
        {"zun/vexil/CompilationSystemImpl", "forceCompilation", "(Ljava/lang/reflect/AccessibleObject;I)Z",
         {none, jint_(1)}, "false", noExt},
        {"zun/vexil/CPUImpl", "getLoad", "(I)D", {jint_(-1)}, zero, ""},
        {"zun/vexil/CPUImpl", "getClockFrequency", "()J", {}, "0", ""},
        {"zun/vexil/DiagnosticCommandImpl", "execute", "(Ljava/lang/String;I)V", {jvalueOf(command), jint_(0)},
         "void", noExt},
        {"zun/vexil/DiagnosticCommandImpl", "getAvailableCommandNames", "()[Ljava/lang/String;", {}, "length 0", ""},
        {"zun/vexil/DiagnosticCommandImpl", "getDescription", "(Ljava/lang/String;)Ljava/lang/String;",
         {jvalueOf(command)}, "null", ""},
        {"zun/vexil/DiagnosticCommandImpl", "getParameters0",
         "(Ljava/lang/String;)[Lcom/zun/jvm/DiagnosticCommand$Parameter;", {jvalueOf(command)}, "null", ""},
        {"zun/vexil/ExceptionProfileImpl", "checkAvailable", "()Z", {}, "false", noExt},
        {"zun/vexil/ExceptionProfileImpl", "setSingleEnabled0", "(Ljava/lang/Class;Z)V", {jvalueOf(npe), jbool_(true)},
         "void", ""},
        {"zun/vexil/ExceptionProfileImpl", "setCompositeEnabled0", "(Ljava/lang/Class;Z)V",
         {jvalueOf(npe), jbool_(true)}, "void", ""},
        {"zun/vexil/ExceptionProfileImpl", "getSingleCount0", "(Ljava/lang/Class;)J", {jvalueOf(npe)}, "0", ""},
        {"zun/vexil/ExceptionProfileImpl", "getCompositeCount0", "(Ljava/lang/Class;)J", {jvalueOf(npe)}, "0", ""},
        {"zun/vexil/ExceptionProfileImpl", "getSingleCounts0", "()[Ljava/lang/Object;", {}, "null", ""},
        {"zun/vexil/GarbageCollectorImpl", "getStrategies0", "()[Lzun/vexil/GCStrategyImpl;", {}, "null", noExt},
        {"zun/vexil/GarbageCollectorImpl", "getHeuristics0", "()[Lzun/vexil/GCHeuristicImpl;", {}, "null", noExt},
        {"zun/vexil/GarbageCollectorImpl", "getStrategy0", "()I", {}, "0", ""},
        {"zun/vexil/GarbageCollectorImpl", "getHeuristic0", "()I", {}, "0", ""},
        {"zun/vexil/GarbageCollectorImpl", "hasCompaction", "()Z", {}, "false", ""},
        {"zun/vexil/GarbageCollectorImpl", "getTotalGarbageCollectionCount", "()J", {}, "0", ""},
        {"zun/vexil/GarbageCollectorImpl", "getTotalGarbageCollectionTime", "()J", {}, "0", ""},
        {"zun/vexil/GarbageCollectorImpl", "getLastGCStart", "()J", {}, "-1", noExt},
        {"zun/vexil/GarbageCollectorImpl", "getLastGCEnd", "()J", {}, "-1", noExt},
        {"zun/vexil/GarbageCollectorImpl", "getNurserySize0", "()J", {}, "-1", ""},
        {"zun/vexil/GarbageCollectorImpl", "setNurserySize0", "(J)V", {jlong_(1)}, "void", ""},
        {"zun/vexil/GarbageCollectorImpl", "suggestGCStrategy", "(I)V", {jint_(1)}, "void", ""},
        {"zun/vexil/GarbageCollectorImpl", "suggestGCHeuristics", "(I)V", {jint_(1)}, "void", ""},
        {"zun/vexil/GarbageCollectorImpl", "isSelfOptimizing", "()Z", {}, "false", ""},
        {"zun/vexil/GarbageCollectorImpl", "setPauseTimeTarget0", "(J)V", {jlong_(1)}, "void", ""},
        {"zun/vexil/GarbageCollectorImpl", "getPauseTimeTarget", "()J", {}, "-1", noExt},
        {"zun/vexil/GarbageCollectorImpl", "getMinPauseTimeTarget", "()J", {}, "-1", noExt},
        {"zun/vexil/GarbageCollectorImpl", "getMaxPauseTimeTarget", "()J", {}, "-1", noExt},
        {"zun/vexil/JVMImpl", "suggestProcessAffinity0", "([I)V", {none}, "void",
         "com.zun.jvm.NotAvailableException: suggestProcessAffinity"},
        {"zun/vexil/JVMImpl", "getProcessAffinity0", "()[I", {}, "null",
         "com.zun.jvm.NotAvailableException: getProcessAffinity"},
        {"zun/vexil/JVMImpl", "getStartTime", "()J", {}, "0", ""},
        {"zun/vexil/JVMImpl", "getJVMLoad", "()D", {}, zero, ""},
        {"zun/vexil/JVMImpl", "getJVMInitArgs", "()Ljava/lang/String;", {}, "null", noExt},
        {"zun/vexil/JVMImpl", "getJavaCommandLine", "()Ljava/lang/String;", {}, "null", noExt},
        {"zun/vexil/MachineImpl", "getTotalPhysicalMemory", "()J", {}, "2147483648", ""},
        {"zun/vexil/MachineImpl", "getUsedPhysicalMemory", "()J", {}, "-1", noExt},
        {"zun/vexil/MachineImpl", "getNumCPUS", "()I", {}, "0", noExt},
        {"zun/vexil/MachineImpl", "getCPULoad", "()D", {}, zero, ""},
        {"zun/vexil/MachineImpl", "getPhysicalMachineID", "()Ljava/lang/String;", {}, "null", ""},
        {"zun/vexil/MemorySystemImpl", "getMaxHeapSize", "()J", {}, "-1", noExt},
        {"zun/vexil/MemorySystemImpl", "getTotalHeapSize", "()J", {}, "-1", noExt},
        {"zun/vexil/MemorySystemImpl", "getInitialHeapSize", "()J", {}, "-1", noExt},
        {"zun/vexil/MemorySystemImpl", "getUsedHeapSize", "()J", {}, "-1", noExt},
        {"zun/vexil/MemorySystemImpl", "getSuggestedHeapSize", "()J", {}, "-1", noExt},
        {"zun/vexil/MemorySystemImpl", "suggestHeapSize", "(J)V", {jlong_(1)}, "void", ""},
        {"zun/vexil/MemorySystemImpl", "setHeapSizeLocked", "(Z)V", {jbool_(true)}, "void", ""},
        {"zun/vexil/MemorySystemImpl", "isHeapSizeLocked", "()Z", {}, "false", ""},
        {"zun/vexil/MemorySystemImpl", "setExitOnOutOfMemory", "(Z)V", {jbool_(true)}, "void", ""},
        {"zun/vexil/MemorySystemImpl", "isExitOnOutOfMemory", "()Z", {}, "false", ""},
        {"zun/vexil/OperatingSystemImpl", "getTotalVirtualMemory", "()J", {}, "-1", noExt},
        {"zun/vexil/OperatingSystemImpl", "getUsedVirtualMemory", "()J", {}, "-1", noExt},
        {"zun/vexil/OperatingSystemImpl", "getProcessID0", "()J", {}, "-1", ""},
    });
}

TEST_F(TablesAbsent, WithoutTheStandardTable) {
    load(false, true);
    check({
        {"zun/vexil/GarbageCollectorImpl", "getTotalGarbageCollectionCount", "()J", {}, "-1", ""},
        {"zun/vexil/GarbageCollectorImpl", "getTotalGarbageCollectionTime", "()J", {}, "-1", ""},
        {"zun/vexil/MachineImpl", "getTotalPhysicalMemory", "()J", {}, "-1", ""},
        {"zun/vexil/MachineImpl", "getUsedPhysicalMemory", "()J", {}, "1073741824", ""},
    });
}

} // namespace
