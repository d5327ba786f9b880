// Loading the management library as the VM loads it: the JNI version, a refused second load, the
// tables it binds to, and its export table against the natives of the management classes.
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "vexil_test.h"

namespace {

// The JNI name of a native: Java_<class>_<method>, '_' as "_1", '/' as '_', '$' as "_00024";
// with the argument part for an overloaded one.
std::string mangle(const std::string &text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '/': out += '_'; break;
        case '_': out += "_1"; break;
        case ';': out += "_2"; break;
        case '[': out += "_3"; break;
        case '$': out += "_00024"; break;
        default: out += c; break;
        }
    }
    return out;
}

struct NativeClass {
    const char *name;
    std::vector<std::string> methods; // "name" or "name(arguments)" for an overloaded one
};

const std::vector<NativeClass> managementNatives = {
    {"zun/vexil/ClassLibraryImpl",
     {"getAllClasses0(Ljava/lang/String;)", "getAllClasses0(Ljava/lang/ClassLoader;)", "redefineClass",
      "setPreprocessing", "addedFirstListener", "removedLastListener"}},
    {"zun/vexil/CompilationSystemImpl",
     {"initStrategies", "isOptimizing", "setOptimizing", "getStrategy", "forceCompilation", "addedFirstListener",
      "removedLastListener"}},
    {"zun/vexil/CPUImpl", {"getLoad", "getClockFrequency"}},
    {"zun/vexil/DiagnosticCommandImpl", {"execute", "getAvailableCommandNames", "getDescription", "getParameters0"}},
    {"zun/vexil/ExceptionProfileImpl",
     {"checkAvailable", "setSingleEnabled0", "setCompositeEnabled0", "getSingleCount0", "getCompositeCount0",
      "getSingleCounts0"}},
    {"zun/vexil/GarbageCollectorImpl",
     {"getStrategies0", "getHeuristics0", "getStrategy0", "getHeuristic0", "hasCompaction",
      "getTotalGarbageCollectionCount", "getTotalGarbageCollectionTime", "getLastGCStart", "getLastGCEnd",
      "getNurserySize0", "setNurserySize0", "suggestGCStrategy", "suggestGCHeuristics", "isSelfOptimizing",
      "setPauseTimeTarget0", "getPauseTimeTarget", "getMinPauseTimeTarget", "getMaxPauseTimeTarget",
      "addedFirstListener", "removedLastListener"}},
    {"zun/vexil/JVMImpl",
     {"init", "destroy", "suggestProcessAffinity0", "getProcessAffinity0", "getStartTime", "getJVMLoad",
      "getJVMInitArgs", "getJavaCommandLine"}},
    {"zun/vexil/MachineImpl",
     {"getTotalPhysicalMemory", "getUsedPhysicalMemory", "getNumCPUS", "getCPULoad", "getPhysicalMachineID"}},
    {"zun/vexil/MemorySystemImpl",
     {"getMaxHeapSize", "getTotalHeapSize", "getInitialHeapSize", "getUsedHeapSize", "getSuggestedHeapSize",
      "suggestHeapSize", "setHeapSizeLocked", "isHeapSizeLocked", "setExitOnOutOfMemory", "isExitOnOutOfMemory"}},
    {"zun/vexil/OperatingSystemImpl", {"getTotalVirtualMemory", "getUsedVirtualMemory", "getProcessID0"}},
    {"zun/vexil/NICImpl", {"initIDs", "init"}},
    {"zun/vexil/BCMethodProf", {"initIDs", "transform"}},
    {"zun/vexil/ThreadSystemImpl",
     {"initIDs", "getTotalThreadCount", "getDaemonThreadCount", "getAllThreads0", "getThread", "getThreadSnapshots"}},
};

std::set<std::string> expectedExports() {
    std::set<std::string> names = {"JNI_OnLoad", "JNI_OnUnload"};
    for (const NativeClass &cls : managementNatives) {
        for (const std::string &method : cls.methods) {
            size_t open = method.find('(');
            std::string name = "Java_" + mangle(cls.name) + "_" + mangle(method.substr(0, open));
            if (open != std::string::npos)
                name += "__" + mangle(method.substr(open + 1, method.size() - open - 2));
            names.insert(name);
        }
    }
    return names;
}

std::set<std::string> exportsOf(HMODULE module) {
    auto *base = reinterpret_cast<const unsigned char *>(module);
    auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto *exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + directory.VirtualAddress);
    auto *names = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
    std::set<std::string> found;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        found.insert(reinterpret_cast<const char *>(base + names[i]));
    return found;
}

using OnLoad = jint(JNICALL *)(JavaVM *, void *);

class Binding : public VexilTest {};

TEST_F(Binding, FirstLoadAnswersJni14AndASecondIsRefused) {
    load();
    HMODULE module = GetModuleHandleA("vexil.dll");
    ASSERT_NE(module, nullptr);
    auto onLoad = reinterpret_cast<OnLoad>(GetProcAddress(module, "JNI_OnLoad"));
    ASSERT_NE(onLoad, nullptr);
    EXPECT_EQ(onLoad(session->vm(), nullptr), -1);
    // The refused load changed nothing: the natives still answer from the tables bound first.
    jobject memory = newObject("zun/vexil/MemorySystemImpl");
    vmhostSetLongAttribute(session->vm(), 102, 123456789);
    EXPECT_EQ(callLong(memory, "getMaxHeapSize", "()J"), 123456789);

    // Loaded into a VM of its own, the first JNI_OnLoad answers 0x10004.
    session.reset();
    EXPECT_EQ(takeProblems(), "");
    HMODULE own = LoadLibraryA(besideProgram("vexil.dll").c_str());
    ASSERT_NE(own, nullptr);
    VmSession other;
    auto ownOnLoad = reinterpret_cast<OnLoad>(GetProcAddress(own, "JNI_OnLoad"));
    auto ownOnUnload = reinterpret_cast<void(JNICALL *)(JavaVM *, void *)>(GetProcAddress(own, "JNI_OnUnload"));
    EXPECT_EQ(ownOnLoad(other.vm(), nullptr), 0x10004);
    EXPECT_EQ(ownOnLoad(other.vm(), nullptr), -1);
    ownOnUnload(other.vm(), nullptr);
    EXPECT_EQ(vmhostCheck(other.vm()), 0) << "the unload gave back every reference of the load";
    EXPECT_EQ(ownOnLoad(other.vm(), nullptr), 0x10004) << "loadable again once unloaded";
    ownOnUnload(other.vm(), nullptr);
    other.destroy();
    FreeLibrary(own);
    session = std::make_unique<VmSession>();
}

TEST_F(Binding, ALoadWhoseGetEnvFailsIsRefusedAndKeepsNothing) {
    vmhostFailCall(session->vm(), "GetEnv", JNI_EDETACHED, JNI_FALSE);
    EXPECT_FALSE(session->loadLibrary("vexil.dll"));
    EXPECT_EQ(thrown().rfind("java.lang.UnsatisfiedLinkError: unsupported JNI version 0xffffffff", 0), 0u)
        << "JNI_OnLoad answered -1";
    EXPECT_EQ(vmhostCheck(session->vm()), 0);
}

TEST_F(Binding, ExportsEveryNativeOfTheManagementClassesByItsJniName) {
    load();
    std::set<std::string> exported = exportsOf(GetModuleHandleA("vexil.dll"));
    std::set<std::string> expected = expectedExports();
    EXPECT_EQ(expected.size(), 83u) << "the 81 natives, JNI_OnLoad and JNI_OnUnload";
    EXPECT_EQ(exported, expected);
}

TEST_F(Binding, EveryDeclaredNativeOfTheVmBindsToAnExport) {
    load();
    // Calling each class's natives through the VM finds them by name; a missing one would leave
    // UnsatisfiedLinkError pending.
    jobject memory = newObject("zun/vexil/MemorySystemImpl");
    callLong(memory, "getUsedHeapSize", "()J");
    EXPECT_EQ(thrown(), "");
    jobject classes = newObject("zun/vexil/ClassLibraryImpl");
    callObject(classes, "getAllClasses0", "(Ljava/lang/ClassLoader;)[Ljava/lang/Class;", {jvalueOf(jobject(nullptr))});
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: uninitialized jvm component");
}

TEST_F(Binding, WithoutTheExtensionTableTheFlagsStayClear) {
    vmhostSetOptionalSupport(session->vm(), 0x34);
    load(true, false);
    jobject cpu = newObject("zun/vexil/CPUImpl");
    EXPECT_EQ(callLong(cpu, "getClockFrequency", "()J"), 0);
    jobject machine = newObject("zun/vexil/MachineImpl");
    EXPECT_EQ(callLong(machine, "getTotalPhysicalMemory", "()J"), 2147483648LL);
    callLong(machine, "getUsedPhysicalMemory", "()J");
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: no JMM_EXT interface available");
}

TEST_F(Binding, WithoutTheStandardTable) {
    load(false, true);
    jobject gc = newObject("zun/vexil/GarbageCollectorImpl");
    EXPECT_EQ(callLong(gc, "getTotalGarbageCollectionCount", "()J"), -1);
    EXPECT_EQ(thrown(), "");
    jobject machine = newObject("zun/vexil/MachineImpl");
    EXPECT_EQ(callLong(machine, "getTotalPhysicalMemory", "()J"), -1);
    EXPECT_EQ(callLong(machine, "getUsedPhysicalMemory", "()J"), 1073741824);
}

} // namespace
