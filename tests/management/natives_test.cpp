// The management natives class by class with both tables present, their answers compared with
// what the VM's tables hold, and with the VM's operations failing.
#include <cstring>
#include <string>
#include <vector>

#include "vexil_test.h"

namespace {

class Natives : public VexilTest {
protected:
    void SetUp() override {
        VexilTest::SetUp();
        load();
        takeCallLog();
    }

    void fail(const char *operation, jint id, bool on = true) {
        vmhostFailManagement(session->vm(), operation, id, on ? JNI_TRUE : JNI_FALSE);
    }

    std::vector<std::string> strings(jobject array) {
        std::vector<std::string> out;
        auto a = static_cast<jobjectArray>(array);
        for (jsize i = 0; a != nullptr && i < env()->GetArrayLength(a); ++i)
            out.push_back(text(env()->GetObjectArrayElement(a, i)));
        return out;
    }

    jobject element(jobject array, jsize i) { return env()->GetObjectArrayElement(static_cast<jobjectArray>(array), i); }
    jsize length(jobject array) { return array != nullptr ? env()->GetArrayLength(static_cast<jarray>(array)) : -1; }
};

// Every long attribute a native reads, each set to a value of its own.
TEST_F(Natives, EachFigureComesFromItsOwnAttribute) {
    struct Row {
        const char *cls;
        const char *name;
        jint id;
        bool isInt;
    };
    const Row rows[] = {
        {"zun/vexil/MemorySystemImpl", "getTotalHeapSize", 100, false},
        {"zun/vexil/MemorySystemImpl", "getUsedHeapSize", 101, false},
        {"zun/vexil/MemorySystemImpl", "getMaxHeapSize", 102, false},
        {"zun/vexil/MemorySystemImpl", "getInitialHeapSize", 103, false},
        {"zun/vexil/MemorySystemImpl", "getSuggestedHeapSize", 104, false},
        {"zun/vexil/GarbageCollectorImpl", "getNurserySize0", 105, false},
        {"zun/vexil/GarbageCollectorImpl", "getStrategy0", 150, true},
        {"zun/vexil/GarbageCollectorImpl", "getLastGCStart", 151, false},
        {"zun/vexil/GarbageCollectorImpl", "getLastGCEnd", 152, false},
        {"zun/vexil/GarbageCollectorImpl", "getPauseTimeTarget", 154, false},
        {"zun/vexil/GarbageCollectorImpl", "getMinPauseTimeTarget", 155, false},
        {"zun/vexil/GarbageCollectorImpl", "getMaxPauseTimeTarget", 156, false},
        {"zun/vexil/GarbageCollectorImpl", "getHeuristic0", 157, true},
        {"zun/vexil/GarbageCollectorImpl", "getTotalGarbageCollectionTime", 9, false},
        {"zun/vexil/GarbageCollectorImpl", "getTotalGarbageCollectionCount", 10, false},
        {"zun/vexil/MachineImpl", "getTotalPhysicalMemory", 202, false},
        {"zun/vexil/MachineImpl", "getNumCPUS", 400, true},
        {"zun/vexil/MachineImpl", "getUsedPhysicalMemory", 402, false},
        {"zun/vexil/CPUImpl", "getClockFrequency", 401, false},
        {"zun/vexil/OperatingSystemImpl", "getTotalVirtualMemory", 403, false},
        {"zun/vexil/OperatingSystemImpl", "getUsedVirtualMemory", 404, false},
        {"zun/vexil/JVMImpl", "getStartTime", 600, false},
        {"zun/vexil/OperatingSystemImpl", "getProcessID0", 601, false},
    };
    auto valueOf = [](jint id) { return static_cast<jlong>(id) * 1000 + 7; };
    for (const Row &row : rows)
        vmhostSetLongAttribute(session->vm(), row.id, valueOf(row.id));
    for (const Row &row : rows) {
        jobject object = newObject(row.cls);
        jlong got = row.isInt ? callInt(object, row.name, "()I") : callLong(object, row.name, "()J");
        EXPECT_EQ(got, valueOf(row.id)) << row.name;
        EXPECT_EQ(thrown(), "") << row.name;
    }
}

// Each boolean attribute read alone: set against all the others, then with all the others set.
TEST_F(Natives, EachFlagComesFromItsOwnAttribute) {
    struct Row {
        const char *cls;
        const char *name;
        jint id;
    };
    const Row rows[] = {
        {"zun/vexil/MemorySystemImpl", "isHeapSizeLocked", 100},
        {"zun/vexil/MemorySystemImpl", "isExitOnOutOfMemory", 101},
        {"zun/vexil/GarbageCollectorImpl", "hasCompaction", 150},
        {"zun/vexil/CompilationSystemImpl", "isOptimizing", 200},
    };
    const jint ids[] = {100, 101, 150, 200, 201};
    for (const Row &row : rows) {
        for (bool alone : {true, false}) {
            for (jint id : ids)
                vmhostSetBoolAttribute(session->vm(), id, (id == row.id) == alone ? JNI_TRUE : JNI_FALSE);
            EXPECT_EQ(callBool(newObject(row.cls), row.name, "()Z"), alone) << row.name;
        }
    }
}

// The optional-support flags are read at load: one VM per flag.
TEST_F(Natives, EachOptionalFeatureFollowsItsOwnFlag) {
    struct Row {
        unsigned char flags;
        bool affinity, load, frequency;
    };
    const Row rows[] = {{0x04, true, false, false}, {0x10, false, true, false}, {0x20, false, false, true}};
    for (const Row &row : rows) {
        session.reset();
        EXPECT_EQ(takeProblems(), "");
        session = std::make_unique<VmSession>();
        vmhostSetOptionalSupport(session->vm(), row.flags);
        load();
        std::string which = std::to_string(row.flags);
        jobject cpu = newObject("zun/vexil/CPUImpl");
        jobject machine = newObject("zun/vexil/MachineImpl");
        jobject jvmImpl = newObject("zun/vexil/JVMImpl");
        EXPECT_EQ(callLong(cpu, "getClockFrequency", "()J") != 0, row.frequency) << which;
        EXPECT_EQ(callDouble(cpu, "getLoad", "(I)D", {jint_(-1)}) != 0, row.load) << which;
        EXPECT_EQ(callDouble(cpu, "getLoad", "(I)D", {jint_(0)}) != 0, row.load) << which;
        EXPECT_EQ(callDouble(machine, "getCPULoad", "()D") != 0, row.load) << which;
        EXPECT_EQ(callDouble(jvmImpl, "getJVMLoad", "()D") != 0, row.load) << which;
        jobject affinity = callObject(jvmImpl, "getProcessAffinity0", "()[I");
        EXPECT_EQ(affinity != nullptr, row.affinity) << which;
        EXPECT_EQ(thrown(), row.affinity ? "" : "com.zun.jvm.NotAvailableException: getProcessAffinity") << which;
    }
}

TEST_F(Natives, HeapSettingsLoadsAndTexts) {
    jobject memory = newObject("zun/vexil/MemorySystemImpl");
    callVoid(memory, "suggestHeapSize", "(J)V", {jlong_(5555)});
    EXPECT_EQ(callLong(memory, "getSuggestedHeapSize", "()J"), 5555);
    callVoid(memory, "setHeapSizeLocked", "(Z)V", {jbool_(true)});
    EXPECT_TRUE(callBool(memory, "isHeapSizeLocked", "()Z"));
    callVoid(memory, "setExitOnOutOfMemory", "(Z)V", {jbool_(true)});
    EXPECT_TRUE(callBool(memory, "isExitOnOutOfMemory", "()Z"));
    EXPECT_EQ(takeCallLog(), "management.setLong(104, 5555)\nmanagement.setBool(100, true)\n"
                             "management.setBool(101, true)\n");

    jobject machine = newObject("zun/vexil/MachineImpl");
    EXPECT_DOUBLE_EQ(callDouble(machine, "getCPULoad", "()D"), 0.625);
    EXPECT_EQ(text(callObject(machine, "getPhysicalMachineID", "()Ljava/lang/String;")), "vmhost-machine");
    jobject jvmImpl = newObject("zun/vexil/JVMImpl");
    EXPECT_DOUBLE_EQ(callDouble(jvmImpl, "getJVMLoad", "()D"), 0.125);
    EXPECT_EQ(text(callObject(jvmImpl, "getJavaCommandLine", "()Ljava/lang/String;")), "vmhost");
    EXPECT_EQ(text(callObject(jvmImpl, "getJVMInitArgs", "()Ljava/lang/String;")), "-Xvmhost:exitwait=10000");
    EXPECT_EQ(thrown(), "");

    fail("getData", 602);
    EXPECT_EQ(callObject(machine, "getPhysicalMachineID", "()Ljava/lang/String;"), nullptr);
    EXPECT_EQ(thrown(), "");
    fail("getData", 600);
    EXPECT_EQ(callObject(jvmImpl, "getJavaCommandLine", "()Ljava/lang/String;"), nullptr);
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: ");
    fail("getData", 401);
    EXPECT_DOUBLE_EQ(callDouble(machine, "getCPULoad", "()D"), 0.0);
    EXPECT_EQ(thrown(), "");
}

TEST_F(Natives, ProcessorLoadByIndexOrInTotal) {
    jobject cpu = newObject("zun/vexil/CPUImpl");
    EXPECT_DOUBLE_EQ(callDouble(cpu, "getLoad", "(I)D", {jint_(-1)}), 0.625);
    EXPECT_DOUBLE_EQ(callDouble(cpu, "getLoad", "(I)D", {jint_(1)}), 0.5);
    EXPECT_DOUBLE_EQ(callDouble(cpu, "getLoad", "(I)D", {jint_(0)}), 0.25);
    EXPECT_DOUBLE_EQ(callDouble(cpu, "getLoad", "(I)D", {jint_(9)}), 0.0) << "no such processor";
    fail("getData", 401);
    EXPECT_DOUBLE_EQ(callDouble(cpu, "getLoad", "(I)D", {jint_(-1)}), 0.0);
    EXPECT_EQ(thrown(), "");
}

TEST_F(Natives, GarbageCollectorStrategiesFiguresAndSettings) {
    jobject gc = newObject("zun/vexil/GarbageCollectorImpl");
    jobject strategies = callObject(gc, "getStrategies0", "()[Lzun/vexil/GCStrategyImpl;");
    ASSERT_EQ(length(strategies), 3);
    jobject gencon = element(strategies, 1);
    EXPECT_EQ(text(field(gencon, "name", "Ljava/lang/String;")), "gencon");
    const bool flags[] = {true, false, true, true, true, false};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(boolField(gencon, ("flag" + std::to_string(i)).c_str()), flags[i]) << i;
    jobject heuristics = callObject(gc, "getHeuristics0", "()[Lzun/vexil/GCHeuristicImpl;");
    ASSERT_EQ(length(heuristics), 2);
    EXPECT_EQ(text(field(element(heuristics, 1), "name", "Ljava/lang/String;")), "pausetime");
    EXPECT_EQ(text(field(element(heuristics, 1), "description", "Ljava/lang/String;")), "Short pauses");

    EXPECT_TRUE(callBool(gc, "isSelfOptimizing", "()Z"));
    takeCallLog();
    callVoid(gc, "setNurserySize0", "(J)V", {jlong_(4096)});
    callVoid(gc, "suggestGCStrategy", "(I)V", {jint_(2)});
    callVoid(gc, "suggestGCHeuristics", "(I)V", {jint_(1)});
    callVoid(gc, "setPauseTimeTarget0", "(J)V", {jlong_(250)});
    EXPECT_EQ(takeCallLog(), "management.setLong(105, 4096)\nmanagement.setLong(150, 2)\n"
                             "management.setLong(157, 1)\nmanagement.setLong(154, 250)\n");
    EXPECT_EQ(callLong(gc, "getPauseTimeTarget", "()J"), 250);

    fail("getData", 100);
    fail("getData", 101);
    EXPECT_EQ(callObject(gc, "getStrategies0", "()[Lzun/vexil/GCStrategyImpl;"), nullptr);
    EXPECT_EQ(callObject(gc, "getHeuristics0", "()[Lzun/vexil/GCHeuristicImpl;"), nullptr);
    EXPECT_EQ(thrown(), "");
}

TEST_F(Natives, CompilationStrategiesAndForcedCompilation) {
    jobject compilation = newObject("zun/vexil/CompilationSystemImpl");
    VmCompilationStrategy given[3] = {{const_cast<char *>("interpreted"), 0}, {const_cast<char *>("quick"), 0},
                                      {const_cast<char *>("full"), 5}};
    vmhostSetManagementData(session->vm(), 200, nullptr, 3, given);
    jobject strategies = callObject(compilation, "initStrategies", "()[Lzun/vexil/CGStrategyImpl;");
    ASSERT_EQ(length(strategies), 3);
    jobject full = element(strategies, 2);
    EXPECT_EQ(text(field(full, "name", "Ljava/lang/String;")), "full");
    EXPECT_EQ(intField(full, "index"), 2);
    EXPECT_TRUE(boolField(full, "flag"));
    EXPECT_FALSE(boolField(element(strategies, 1), "flag"));

    EXPECT_TRUE(callBool(compilation, "isOptimizing", "()Z"));
    callVoid(compilation, "setOptimizing", "(Z)V", {jbool_(false)});
    EXPECT_FALSE(callBool(compilation, "isOptimizing", "()Z"));

    jclass cls = session->defineClass("test/Hot");
    jmethodID method = session->addMethod(cls, "run", "()V", 0x1, [](JNIEnv *, jobject, const jvalue *) { return jvalue{}; });
    jobject reflected = env()->ToReflectedMethod(cls, method, JNI_FALSE);
    const char *accessible = "(Ljava/lang/reflect/AccessibleObject;I)Z";
    EXPECT_TRUE(callBool(compilation, "forceCompilation", accessible, {jvalueOf(reflected), jint_(2)}));
    EXPECT_EQ(callInt(compilation, "getStrategy", "(Ljava/lang/reflect/AccessibleObject;)I", {jvalueOf(reflected)}), 2);
    fail("setLong", 200);
    EXPECT_FALSE(callBool(compilation, "forceCompilation", accessible, {jvalueOf(reflected), jint_(1)}));
    fail("getData", 200);
    EXPECT_EQ(callObject(compilation, "initStrategies", "()[Lzun/vexil/CGStrategyImpl;"), nullptr);
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: failed to get strategies");
}

TEST_F(Natives, DiagnosticCommandsRunAndDescribeThemselves) {
    jobject commands = newObject("zun/vexil/DiagnosticCommandImpl");
    EXPECT_EQ(strings(callObject(commands, "getAvailableCommandNames", "()[Ljava/lang/String;")),
              (std::vector<std::string>{"help", "print_threads", "run_gc", "version"}));
    callVoid(commands, "execute", "(Ljava/lang/String;I)V", {jvalueOf(env()->NewStringUTF("run_gc full=true")), jint_(3)});
    EXPECT_EQ(thrown(), "");
    EXPECT_EQ(takeCallLog(), "management.executeCommand(run_gc full=true, 3)\n");
    callVoid(commands, "execute", "(Ljava/lang/String;I)V", {jvalueOf(env()->NewStringUTF("format_disk")), jint_(0)});
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: format_disk");
    callVoid(commands, "execute", "(Ljava/lang/String;I)V", {jvalueOf(jobject(nullptr)), jint_(0)});
    EXPECT_EQ(thrown(), "java.lang.NullPointerException: null command");

    const char *describe = "(Ljava/lang/String;)Ljava/lang/String;";
    EXPECT_EQ(text(callObject(commands, "getDescription", describe, {jvalueOf(env()->NewStringUTF("help"))})),
              "Describes the command help");
    callObject(commands, "getDescription", describe, {jvalueOf(env()->NewStringUTF("nothing"))});
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: could not get parameters");
    callObject(commands, "getDescription", describe, {jvalueOf(jobject(nullptr))});
    EXPECT_EQ(thrown().rfind("java.lang.NullPointerException", 0), 0u);

    fail("getData", 250);
    EXPECT_EQ(callObject(commands, "getAvailableCommandNames", "()[Ljava/lang/String;"), nullptr);
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: could not acquire commands");
    fail("executeCommand", -1);
    callVoid(commands, "execute", "(Ljava/lang/String;I)V", {jvalueOf(env()->NewStringUTF("help")), jint_(0)});
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: help");
}

TEST_F(Natives, DiagnosticCommandParametersBoxTheirDefaultsByType) {
    jobject commands = newObject("zun/vexil/DiagnosticCommandImpl");
    jobject marker = env()->NewStringUTF("marker");
    VmCommandParameter given[5] = {};
    const char types[] = {'D', 'I', 'J', 'L', 'Z'};
    const char *names[] = {"scale", "count", "bytes", "target", "full"};
    for (int i = 0; i < 5; ++i) {
        given[i].name = const_cast<char *>(names[i]);
        given[i].description = const_cast<char *>("about it");
        given[i].type = types[i];
        given[i].required = i % 2 == 0;
    }
    given[0].value.d = 2.5;
    given[1].value.i = -7;
    given[2].value.j = 1LL << 40;
    given[3].value.l = marker;
    given[4].value.z = JNI_TRUE;
    vmhostSetManagementData(session->vm(), 252, "custom", 5, given);
    const char *signature = "(Ljava/lang/String;)[Lcom/zun/jvm/DiagnosticCommand$Parameter;";
    jobject parameters = callObject(commands, "getParameters0", signature, {jvalueOf(env()->NewStringUTF("custom"))});
    ASSERT_EQ(length(parameters), 5) << thrown();
    std::vector<std::string> defaults;
    for (jsize i = 0; i < 5; ++i) {
        jobject p = element(parameters, i);
        EXPECT_EQ(text(field(p, "name", "Ljava/lang/String;")), names[i]);
        EXPECT_EQ(text(field(p, "description", "Ljava/lang/String;")), "about it");
        EXPECT_EQ(intField(p, "type"), types[i]);
        EXPECT_EQ(boolField(p, "required"), i % 2 == 0);
        defaults.push_back(text(callObject(callObject(field(p, "defaultValue", "Ljava/lang/Object;"), "getClass",
                                                      "()Ljava/lang/Class;"),
                                           "getName", "()Ljava/lang/String;")));
    }
    EXPECT_EQ(defaults, (std::vector<std::string>{"java.lang.Double", "java.lang.Integer", "java.lang.Long",
                                                  "java.lang.String", "java.lang.Boolean"}));
    jobject boxed = field(element(parameters, 2), "defaultValue", "Ljava/lang/Object;");
    EXPECT_EQ(longField(boxed, "value"), 1LL << 40);
    EXPECT_TRUE(env()->IsSameObject(field(element(parameters, 3), "defaultValue", "Ljava/lang/Object;"), marker));

    given[2].type = 'Q';
    vmhostSetManagementData(session->vm(), 252, "odd", 5, given);
    EXPECT_EQ(callObject(commands, "getParameters0", signature, {jvalueOf(env()->NewStringUTF("odd"))}), nullptr);
    EXPECT_EQ(thrown(), "java.lang.IllegalArgumentException: bad paramter type");
    callObject(commands, "getParameters0", signature, {jvalueOf(env()->NewStringUTF("nothing"))});
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: could not get paramters");
    callObject(commands, "getParameters0", signature, {jvalueOf(jobject(nullptr))});
    EXPECT_EQ(thrown(), "java.lang.NullPointerException: null command");
}

TEST_F(Natives, ExceptionProfilesPerClass) {
    jobject profile = newObject("zun/vexil/ExceptionProfileImpl");
    EXPECT_TRUE(callBool(profile, "checkAvailable", "()Z"));
    jclass npe = env()->FindClass("java/lang/NullPointerException");
    callVoid(profile, "setSingleEnabled0", "(Ljava/lang/Class;Z)V", {jvalueOf(npe), jbool_(true)});
    callVoid(profile, "setCompositeEnabled0", "(Ljava/lang/Class;Z)V", {jvalueOf(npe), jbool_(false)});
    EXPECT_EQ(takeCallLog(), "management.setBool(300, true)\nmanagement.setBool(301, false)\n");
    EXPECT_EQ(callLong(profile, "getSingleCount0", "(Ljava/lang/Class;)J", {jvalueOf(npe)}), 3);
    EXPECT_EQ(callLong(profile, "getCompositeCount0", "(Ljava/lang/Class;)J", {jvalueOf(npe)}), 3);

    jclass ise = env()->FindClass("java/lang/IllegalStateException");
    VmExceptionCount given[2] = {{npe, 0, 12}, {ise, 0, 1LL << 33}};
    vmhostSetManagementData(session->vm(), 300, nullptr, 2, given);
    jobject counts = callObject(profile, "getSingleCounts0", "()[Ljava/lang/Object;");
    ASSERT_EQ(length(counts), 2);
    jobject classes = element(counts, 0);
    auto numbers = static_cast<jlongArray>(element(counts, 1));
    ASSERT_EQ(length(classes), 2);
    EXPECT_TRUE(env()->IsSameObject(element(classes, 1), ise));
    jlong values[2] = {};
    env()->GetLongArrayRegion(numbers, 0, 2, values);
    EXPECT_EQ(values[0], 12);
    EXPECT_EQ(values[1], 1LL << 33);
    fail("getData", 300);
    EXPECT_EQ(callObject(profile, "getSingleCounts0", "()[Ljava/lang/Object;"), nullptr);
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: getSingleCounts");
}

TEST_F(Natives, ProcessAffinity) {
    jobject jvmImpl = newObject("zun/vexil/JVMImpl");
    jintArray affinity = env()->NewIntArray(2);
    const jint bits[2] = {0, 1};
    env()->SetIntArrayRegion(affinity, 0, 2, bits);
    callVoid(jvmImpl, "suggestProcessAffinity0", "([I)V", {jvalueOf(affinity)});
    EXPECT_EQ(takeCallLog(), "management.setData(403, 2)\n");
    auto got = static_cast<jintArray>(callObject(jvmImpl, "getProcessAffinity0", "()[I"));
    ASSERT_EQ(length(got), 2);
    jint read[2] = {};
    env()->GetIntArrayRegion(got, 0, 2, read);
    EXPECT_EQ(read[0], 0);
    EXPECT_EQ(read[1], 1);
    callVoid(jvmImpl, "suggestProcessAffinity0", "([I)V", {jvalueOf(jobject(nullptr))});
    EXPECT_EQ(thrown(), "java.lang.NullPointerException: null affinity");
    fail("getData", 403);
    EXPECT_EQ(callObject(jvmImpl, "getProcessAffinity0", "()[I"), nullptr);
    EXPECT_EQ(thrown(), "java.lang.RuntimeException: Failed to get CPU affinity");
}

TEST_F(Natives, ClassesFoundByNameAndLoaderAndRedefined) {
    startJvm();
    jobject library = component("zun/vexil/ClassLibraryImpl");
    const char *byName = "(Ljava/lang/String;)[Ljava/lang/Class;";
    jobject strings = callObject(library, "getAllClasses0", byName, {jvalueOf(env()->NewStringUTF("java.lang.String"))});
    ASSERT_EQ(length(strings), 1);
    EXPECT_TRUE(env()->IsSameObject(element(strings, 0), env()->FindClass("java/lang/String")));
    jobject all = callObject(library, "getAllClasses0", byName, {jvalueOf(jobject(nullptr))});
    EXPECT_GT(length(all), 20);
    EXPECT_EQ(length(callObject(library, "getAllClasses0", byName, {jvalueOf(env()->NewStringUTF("no.Such"))})), 0);

    jobject loader = newObject("java/lang/ClassLoader");
    vmhostDefineClass(env(), "test/Loaded1", nullptr, loader, nullptr, 0);
    vmhostDefineClass(env(), "test/Loaded2", nullptr, loader, nullptr, 0);
    jobject own = callObject(library, "getAllClasses0", "(Ljava/lang/ClassLoader;)[Ljava/lang/Class;", {jvalueOf(loader)});
    EXPECT_EQ(length(own), 2);

    const char *redefine = "(Ljava/lang/Class;[BII)V";
    jclass target = env()->FindClass("test/Loaded1");
    jbyteArray bytes = env()->NewByteArray(12);
    const jbyte classFile[12] = {jbyte(0xCA), jbyte(0xFE), jbyte(0xBA), jbyte(0xBE), 0, 0, 0, 52, 1, 2, 3, 4};
    env()->SetByteArrayRegion(bytes, 0, 12, classFile);
    callVoid(library, "redefineClass", redefine, {jvalueOf(jobject(nullptr)), jvalueOf(bytes), jint_(0), jint_(12)});
    EXPECT_EQ(thrown(), "java.lang.NullPointerException: ClassLibrary#redefineClass(...) - You cannot redefine null");
    callVoid(library, "redefineClass", redefine, {jvalueOf(target), jvalueOf(jobject(nullptr)), jint_(0), jint_(12)});
    EXPECT_EQ(thrown(), "java.lang.NullPointerException: ClassLibrary#redefineClass(...) - You cannot redefine with a "
                        "null byte-array");
    callVoid(library, "redefineClass", redefine, {jvalueOf(target), jvalueOf(bytes), jint_(0), jint_(0)});
    EXPECT_EQ(thrown(), "java.lang.ArrayIndexOutOfBoundsException: ClassLibrary#redefineClass(...) - length is less "
                        "than or equal to zero");
    callVoid(library, "redefineClass", redefine, {jvalueOf(target), jvalueOf(bytes), jint_(4), jint_(12)});
    EXPECT_EQ(thrown().rfind("java.lang.ArrayIndexOutOfBoundsException: Array region", 0), 0u);
    callVoid(library, "redefineClass", redefine, {jvalueOf(target), jvalueOf(bytes), jint_(4), jint_(8)});
    EXPECT_EQ(thrown(), "java.lang.ClassFormatError: JVMTI_ERROR_INVALID_CLASS_FORMAT");
    callVoid(library, "redefineClass", redefine, {jvalueOf(target), jvalueOf(bytes), jint_(0), jint_(10)});
    EXPECT_EQ(thrown(), "");
    unsigned char now[16] = {};
    EXPECT_EQ(vmhostClassBytes(env(), target, now, sizeof now), 10);
    EXPECT_EQ(now[9], 2);
}

TEST_F(Natives, OutOfMemoryNamesTheNative) {
    startJvm();
    vmhostMarkBaseline(session->vm()); // the context lives on until the test ends
    jobject library = component("zun/vexil/ClassLibraryImpl");
    vmhostFailCall(session->vm(), "GetLoadedClasses", JVMTI_ERROR_OUT_OF_MEMORY, JNI_FALSE);
    EXPECT_EQ(callObject(library, "getAllClasses0", "(Ljava/lang/String;)[Ljava/lang/Class;", {jvalueOf(jobject(nullptr))}),
              nullptr);
    EXPECT_EQ(thrown(), "java.lang.OutOfMemoryError: getAllClasses0");
    vmhostFailCall(session->vm(), "GetClassLoaderClasses", JVMTI_ERROR_OUT_OF_MEMORY, JNI_FALSE);
    EXPECT_EQ(callObject(library, "getAllClasses0", "(Ljava/lang/ClassLoader;)[Ljava/lang/Class;",
                         {jvalueOf(jobject(nullptr))}),
              nullptr);
    EXPECT_EQ(thrown(), "java.lang.OutOfMemoryError: getAllClasses0");
    jobject profile = newObject("zun/vexil/ExceptionProfileImpl");
    vmhostFailCall(session->vm(), "NewObjectArray", 1, JNI_FALSE);
    EXPECT_EQ(callObject(profile, "getSingleCounts0", "()[Ljava/lang/Object;"), nullptr);
    EXPECT_EQ(thrown(), "java.lang.OutOfMemoryError: getSingleCounts0");
    EXPECT_EQ(vmhostCheck(session->vm()), 0);
}

TEST_F(Natives, ClassRetransformedThroughJava) {
    static int calls;
    static bool throwIt;
    calls = 0;
    throwIt = false;
    jclass profiler = session->defineClass("test/Profiler", "zun/vexil/BCMethodProf");
    session->addMethod(profiler, "<init>", "()V", 0x1, [](JNIEnv *, jobject, const jvalue *) { return jvalue{}; });
    session->addMethod(profiler, "transform", "(Ljava/lang/Class;Ljava/lang/String;[B)[B", 0x1,
                       [](JNIEnv *e, jobject, const jvalue *args) {
                           ++calls;
                           jvalue result{};
                           if (throwIt) {
                               jclass c = e->FindClass("java/lang/IllegalStateException");
                               e->ThrowNew(c, "no thanks");
                               return result;
                           }
                           const char *source = e->GetStringUTFChars(static_cast<jstring>(args[1].l), nullptr);
                           jbyteArray out = e->NewByteArray(static_cast<jsize>(strlen(source)));
                           e->SetByteArrayRegion(out, 0, static_cast<jsize>(strlen(source)),
                                                 reinterpret_cast<const jbyte *>(source));
                           e->ReleaseStringUTFChars(static_cast<jstring>(args[1].l), source);
                           result.l = out;
                           return result;
                       });
    callStatic("zun/vexil/BCMethodProf", "initIDs", "()V");
    const unsigned char bytes[8] = {0xCA, 0xFE, 0xBA, 0xBE, 0, 0, 0, 52};
    jclass target = vmhostDefineClass(env(), "test/Profiled", nullptr, nullptr, bytes, sizeof bytes);
    vmhostSetSourceFile(env(), target, "Profiled.java");
    jobject prof = newObject("test/Profiler");
    callVoid(prof, "transform", "(Ljava/lang/Class;)V", {jvalueOf(target)});
    EXPECT_EQ(thrown(), "");
    EXPECT_EQ(calls, 1);
    unsigned char now[32] = {};
    ASSERT_EQ(vmhostClassBytes(env(), target, now, sizeof now), 13);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(now), 13), "Profiled.java");

    throwIt = true;
    callVoid(prof, "transform", "(Ljava/lang/Class;)V", {jvalueOf(target)});
    EXPECT_EQ(thrown(), "java.lang.IllegalStateException: no thanks");
    callVoid(prof, "transform", "(Ljava/lang/Class;)V", {jvalueOf(env()->FindClass("[I"))});
    EXPECT_EQ(thrown(), "com.zun.jvm.NotAvailableException: could not retransform class");
}

} // namespace
