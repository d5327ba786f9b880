// The management tables of JVM_GetManagement: a standard table with the long-attribute getter and
// the extension table, answering from attribute values the host can set and from the VM's own
// threads and collections.
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "recorder.h"
#include "vm.h"

namespace vm {

// getData records a test gave for an attribute (and a command), with their texts and classes.
struct GivenData {
    bool anyCommand = true;
    std::string command;
    jint count = 0;
    std::vector<unsigned char> raw;             // the records as given; texts and classes replaced
    std::vector<std::vector<std::string>> texts; // per record, in member order
    std::vector<Object *> classes;              // 300 and 301: per record
};

struct ManagementState {
    std::vector<GivenData> given[1000]; // by attribute id
    std::set<std::pair<std::string, jint>> failing; // operation and id (-1: every id)
    bool standard = true;
    bool extension = true;
    std::map<jint, jlong> longs;
    std::map<jint, jboolean> bools;
    unsigned char support = VM_SUPPORTS_PROCESS_AFFINITY | VM_SUPPORTS_LOAD | VM_SUPPORTS_CLOCK_FREQUENCY;
    std::vector<jint> affinity{1, 1};
    std::map<const Object *, jlong> methodStrategies;
    std::map<const Object *, jboolean> profiling[2]; // single and composite, by class
    VmGcInfo lastGc{};
};

namespace {

ManagementState &state(Vm &vm) { return *vm.management; }

jlong millisSinceStart(Vm &vm) {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (now.QuadPart - vm.startCounter.QuadPart) * 1000 / frequency.QuadPart;
}

// The calling thread of a table operation, reported when the JNIEnv is not one of the VM's.
JavaThread *caller(JNIEnv *env, const char *operation) {
    JavaThread *thread = currentThread();
    if (thread == nullptr || env != &thread->jni.env) {
        report(std::string("management operation ") + operation + " was not given the calling thread's JNIEnv");
        return nullptr;
    }
    return thread;
}

Object *objectOf(Vm &vm, JavaThread *thread, jobject ref, const char *operation) {
    return thread != nullptr ? resolve(vm, *thread, ref, operation) : nullptr;
}

bool fails(Vm &vm, const char *operation, jint id) {
    std::lock_guard guard(vm.lock);
    const auto &failing = state(vm).failing;
    return failing.count({operation, id}) != 0 || failing.count({operation, -1}) != 0;
}

jlong unknown(const char *table, jint id) {
    report(std::string("the ") + table + " management table has no attribute " + std::to_string(id));
    return -1;
}

jint JNICALL getVersion(JNIEnv *) { return JMM_VERSION_1_0; }

jlong JNICALL getStandardLong(JNIEnv *env, jobject, jint id) {
    Vm &vm = runningVm("management operation getLong");
    caller(env, "getLong");
    std::lock_guard guard(vm.lock);
    switch (id) {
    case JMM_THREAD_LIVE_COUNT:
    case JMM_THREAD_DAEMON_COUNT: {
        jlong count = 0;
        for (auto &thread : vm.threads)
            if ((threadState(*thread) & JVMTI_THREAD_STATE_ALIVE) != 0 && (id == JMM_THREAD_LIVE_COUNT || thread->daemon))
                ++count;
        return count;
    }
    case JMM_GC_TIME_MS:
    case JMM_GC_COUNT:
    case JMM_OS_MEM_TOTAL_PHYSICAL_BYTES: return state(vm).longs[id];
    default: return unknown("standard", id);
    }
}

bool isLongAttribute(jint id) {
    switch (id) {
    case 100: case 101: case 102: case 103: case 104: case 105: case 150: case 151: case 152: case 154: case 155:
    case 156: case 157: case 400: case 401: case 402: case 403: case 404: case 600: case 601:
        return true;
    default:
        return false;
    }
}

jlong JNICALL getLong(JNIEnv *env, jobject object, jint id) {
    Vm &vm = runningVm("management operation getLong");
    Object *target = objectOf(vm, caller(env, "getLong"), object, "management operation getLong");
    std::lock_guard guard(vm.lock);
    ManagementState &s = state(vm);
    if (id == 200 && target != nullptr)
        return s.methodStrategies[target];
    if ((id == 300 || id == 301) && target != nullptr)
        return target == findClass(vm, "java/lang/NullPointerException") ? 3 : 0;
    if (!isLongAttribute(id))
        return unknown("extension", id);
    return s.longs[id];
}

jlong JNICALL setLong(JNIEnv *env, jobject object, jint id, jlong value) {
    Vm &vm = runningVm("management operation setLong");
    Object *target = objectOf(vm, caller(env, "setLong"), object, "management operation setLong");
    callLog("management.setLong(" + std::to_string(id) + ", " + std::to_string(value) + ")");
    if (fails(vm, "setLong", id))
        return 0;
    std::lock_guard guard(vm.lock);
    ManagementState &s = state(vm);
    if (id == 200 && target != nullptr) {
        s.methodStrategies[target] = value;
        return 1;
    }
    switch (id) {
    case 104: case 105: case 150: case 154: case 157:
        s.longs[id] = value;
        return 1;
    default:
        unknown("extension", id);
        return 0;
    }
}

jboolean JNICALL getBool(JNIEnv *env, jobject object, jint id) {
    Vm &vm = runningVm("management operation getBool");
    Object *target = objectOf(vm, caller(env, "getBool"), object, "management operation getBool");
    std::lock_guard guard(vm.lock);
    ManagementState &s = state(vm);
    if ((id == 300 || id == 301) && target != nullptr)
        return s.profiling[id - 300][target];
    switch (id) {
    case 100: case 101: case 150: case 200: case 201:
        return s.bools[id];
    default:
        unknown("extension", id);
        return JNI_FALSE;
    }
}

jboolean JNICALL setBool(JNIEnv *env, jobject object, jint id, jboolean value) {
    Vm &vm = runningVm("management operation setBool");
    Object *target = objectOf(vm, caller(env, "setBool"), object, "management operation setBool");
    callLog("management.setBool(" + std::to_string(id) + ", " + (value ? "true" : "false") + ")");
    if (fails(vm, "setBool", id))
        return JNI_FALSE;
    std::lock_guard guard(vm.lock);
    ManagementState &s = state(vm);
    if ((id == 300 || id == 301) && target != nullptr) {
        s.profiling[id - 300][target] = value;
        return JNI_TRUE;
    }
    switch (id) {
    case 100: case 101: case 200:
        s.bools[id] = value;
        return JNI_TRUE;
    default:
        unknown("extension", id);
        return JNI_FALSE;
    }
}

jint JNICALL reserved(JNIEnv *) {
    report("the reserved operation of the extension management table was called");
    return -1;
}

// One block: the records, then the texts they point to.
template <typename Record>
void *pack(std::vector<Record> records, const std::vector<std::vector<std::string>> &texts,
           std::initializer_list<char *Record::*> members) {
    size_t size = records.size() * sizeof(Record);
    for (const auto &row : texts)
        for (const std::string &text : row)
            size += text.size() + 1;
    auto *block = static_cast<char *>(malloc(std::max<size_t>(size, 1)));
    if (block == nullptr)
        return nullptr;
    char *at = block + records.size() * sizeof(Record);
    for (size_t i = 0; i < records.size(); ++i) {
        size_t k = 0;
        for (char *Record::*member : members) {
            memcpy(at, texts[i][k].c_str(), texts[i][k].size() + 1);
            records[i].*member = at;
            at += texts[i][k++].size() + 1;
        }
    }
    memcpy(block, records.data(), records.size() * sizeof(Record));
    return block;
}

struct TextRecord {
    char *text;
};

void *packTexts(const std::vector<std::string> &texts) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string &text : texts)
        rows.push_back({text});
    return pack(std::vector<TextRecord>(texts.size()), rows, {&TextRecord::text});
}

template <typename Value> void *packValues(const std::vector<Value> &values) {
    void *block = malloc(std::max<size_t>(values.size() * sizeof(Value), 1));
    if (block != nullptr)
        memcpy(block, values.data(), values.size() * sizeof(Value));
    return block;
}

const std::vector<std::string> commandNames = {"help", "print_threads", "run_gc", "version"};

// The record size of a getData attribute, and where its texts are; 0 for an id without records.
size_t recordSize(jint id) {
    switch (id) {
    case 100: return sizeof(VmGcStrategy);
    case 101: return sizeof(VmGcHeuristic);
    case 200: return sizeof(VmCompilationStrategy);
    case 250: case 251: case 600: case 601: case 602: return sizeof(char *);
    case 252: return sizeof(VmCommandParameter);
    case 300: case 301: return sizeof(VmExceptionCount);
    case 400: case 401: case 402: return sizeof(jdouble);
    case 403: return sizeof(jint);
    default: return 0;
    }
}

std::vector<size_t> textOffsets(jint id) {
    switch (id) {
    case 100: return {offsetof(VmGcStrategy, name)};
    case 101: return {offsetof(VmGcHeuristic, name), offsetof(VmGcHeuristic, description)};
    case 200: return {offsetof(VmCompilationStrategy, name)};
    case 250: case 251: case 600: case 601: case 602: return {0};
    case 252: return {offsetof(VmCommandParameter, name), offsetof(VmCommandParameter, description)};
    default: return {};
    }
}

// Given records packed as getData answers them: records, then their texts; classes as local
// references of the calling thread. Called under the VM's lock.
void *packGiven(Vm &vm, JavaThread &thread, jint id, const GivenData &data) {
    size_t size = recordSize(id);
    std::vector<size_t> offsets = textOffsets(id);
    size_t total = data.raw.size();
    for (const auto &row : data.texts)
        for (const std::string &text : row)
            total += text.size() + 1;
    auto *block = static_cast<unsigned char *>(malloc(std::max<size_t>(total, 1)));
    if (block == nullptr)
        return nullptr;
    memcpy(block, data.raw.data(), data.raw.size());
    unsigned char *at = block + data.raw.size();
    for (jint i = 0; i < data.count; ++i) {
        unsigned char *record = block + i * size;
        for (size_t k = 0; k < offsets.size(); ++k) {
            const std::string &text = data.texts[i][k];
            memcpy(at, text.c_str(), text.size() + 1);
            char *pointer = reinterpret_cast<char *>(at);
            memcpy(record + offsets[k], &pointer, sizeof pointer);
            at += text.size() + 1;
        }
        if (id == 300 || id == 301) {
            jobject ref = newRef(vm, thread, data.classes[i], RefKind::Local);
            memcpy(record + offsetof(VmExceptionCount, cls), &ref, sizeof ref);
        }
    }
    return block;
}

VmCommandParameter parameter(char type) {
    VmCommandParameter p{};
    p.type = type;
    return p;
}

jint JNICALL getData(JNIEnv *env, jobject, jint id, const void *input, VmManagementData *output) {
    Vm &vm = runningVm("management operation getData");
    JavaThread *thread = caller(env, "getData");
    if (output == nullptr) {
        report("management operation getData was given no output record");
        return -1;
    }
    output->count = 0;
    output->elements = nullptr;
    void *block = nullptr;
    jint count = 0;
    std::string command = (id == 251 || id == 252) && input != nullptr ? static_cast<const char *>(input) : "";
    if (fails(vm, "getData", id))
        return -1;
    bool given = false;
    if (id >= 0 && id < 1000) {
        std::lock_guard guard(vm.lock);
        for (const GivenData &data : state(vm).given[id]) {
            if (data.anyCommand || data.command == command) {
                if (thread == nullptr)
                    return -1;
                block = packGiven(vm, *thread, id, data);
                if (block == nullptr)
                    return -1;
                count = data.count;
                given = true;
                break;
            }
        }
    }
    if (!given) switch (id) {
    case 100: {
        std::vector<VmGcStrategy> records(3);
        const jboolean flags[3][5] = {{1, 1, 0, 1, 0}, {1, 0, 1, 1, 1}, {0, 1, 0, 0, 0}};
        for (int i = 0; i < 3; ++i)
            memcpy(records[i].flags, flags[i], sizeof flags[i]);
        block = pack(records, {{"genpar"}, {"gencon"}, {"singlepar"}}, {&VmGcStrategy::name});
        count = 3;
        break;
    }
    case 101:
        block = pack(std::vector<VmGcHeuristic>(2), {{"throughput", "Maximal throughput"}, {"pausetime", "Short pauses"}},
                     {&VmGcHeuristic::name, &VmGcHeuristic::description});
        count = 2;
        break;
    case 200: {
        std::vector<VmCompilationStrategy> records(2);
        records[1].flag = 1;
        block = pack(records, {{"quick"}, {"optimized"}}, {&VmCompilationStrategy::name});
        count = 2;
        break;
    }
    case 250:
        block = packTexts(commandNames);
        count = static_cast<jint>(commandNames.size());
        break;
    case 251:
        if (std::find(commandNames.begin(), commandNames.end(), command) == commandNames.end())
            return -1;
        block = packTexts({"Describes the command " + command});
        count = 1;
        break;
    case 252: {
        std::vector<VmCommandParameter> records;
        std::vector<std::vector<std::string>> texts;
        if (command == "print_threads") {
            records = {parameter('Z'), parameter('I')};
            records[1].value.i = 64;
            texts = {{"locks", "Print the locks"}, {"depth", "Frames to print"}};
        } else if (command == "run_gc") {
            records = {parameter('Z'), parameter('D')};
            records[0].value.z = JNI_TRUE;
            records[0].required = JNI_TRUE;
            records[1].value.d = 1.5;
            texts = {{"full", "Collect the whole heap"}, {"scale", "Heap scale"}};
        } else if (command == "help" || command == "version") {
            records = {parameter('J')};
            records[0].value.j = 1;
            texts = {{"verbosity", "Detail of the answer"}};
        } else {
            return -1;
        }
        count = static_cast<jint>(records.size());
        block = pack(records, texts, {&VmCommandParameter::name, &VmCommandParameter::description});
        break;
    }
    case 300:
    case 301: {
        if (thread == nullptr)
            return -1;
        std::vector<VmExceptionCount> records(2);
        records[0] = {static_cast<jclass>(newRef(vm, *thread, findClass(vm, "java/lang/NullPointerException"),
                                                 RefKind::Local)),
                      0, 3};
        records[1] = {static_cast<jclass>(newRef(vm, *thread, findClass(vm, "java/lang/IllegalStateException"),
                                                 RefKind::Local)),
                      0, 1};
        block = packValues(records);
        count = 2;
        break;
    }
    case 400: {
        jint cpu = input != nullptr ? *static_cast<const jint *>(input) : -1;
        std::lock_guard guard(vm.lock);
        if (cpu < 0 || cpu >= state(vm).longs[400])
            return -1;
        block = packValues(std::vector<jdouble>{0.25 * (cpu + 1)});
        count = 1;
        break;
    }
    case 401: block = packValues(std::vector<jdouble>{0.625}); count = 1; break;
    case 402: block = packValues(std::vector<jdouble>{0.125}); count = 1; break;
    case 403: {
        std::lock_guard guard(vm.lock);
        block = packValues(state(vm).affinity);
        count = static_cast<jint>(state(vm).affinity.size());
        break;
    }
    case 600: block = packTexts({"vmhost"}); count = 1; break;
    case 601: block = packTexts({"-Xvmhost:exitwait=" + std::to_string(vm.exitWaitMs)}); count = 1; break;
    case 602: block = packTexts({"vmhost-machine"}); count = 1; break;
    default:
        unknown("extension", id);
        return -1;
    }
    if (block == nullptr)
        return -1;
    Loan loan;
    loan.what = "management data";
    loan.attribute = id;
    loan.origin = thread != nullptr ? where(*thread) : "an unattached thread";
    {
        std::lock_guard guard(vm.lock);
        loan.serial = ++vm.serial;
        vm.loans[block] = loan;
    }
    output->count = count;
    output->elements = block;
    return 0;
}

jint JNICALL setData(JNIEnv *env, jobject, jint id, jint count, const void *data) {
    Vm &vm = runningVm("management operation setData");
    caller(env, "setData");
    if (fails(vm, "setData", id))
        return -1;
    if (id != 403) {
        unknown("extension", id);
        return -1;
    }
    std::lock_guard guard(vm.lock);
    if (count < 1 || count > state(vm).longs[400] || data == nullptr)
        return -1;
    const auto *values = static_cast<const jint *>(data);
    state(vm).affinity.assign(values, values + count);
    callLog("management.setData(403, " + std::to_string(count) + ")");
    return 0;
}

void JNICALL freeData(JNIEnv *env, jint id, VmManagementData *data) {
    Vm &vm = runningVm("management operation freeData");
    caller(env, "freeData");
    if (data == nullptr || data->elements == nullptr)
        return;
    std::lock_guard guard(vm.lock);
    auto found = vm.loans.find(data->elements);
    if (found == vm.loans.end() || found->second.what != "management data") {
        report("management operation freeData was given data that getData did not answer or that was freed already");
        return;
    }
    if (found->second.attribute != id)
        report("management operation freeData got the attribute " + std::to_string(id) + " for data of attribute " +
               std::to_string(found->second.attribute));
    vm.loans.erase(found);
    free(data->elements);
    data->elements = nullptr;
    data->count = 0;
}

jint JNICALL executeCommand(JNIEnv *env, const char *command, jint flag) {
    Vm &vm = runningVm("management operation executeCommand");
    caller(env, "executeCommand");
    if (fails(vm, "executeCommand", -1))
        return -1;
    if (command == nullptr) {
        report("management operation executeCommand was given no command");
        return -1;
    }
    std::string text = command;
    std::string name = text.substr(0, text.find(' '));
    if (std::find(commandNames.begin(), commandNames.end(), name) == commandNames.end())
        return -1;
    callLog("management.executeCommand(" + text + ", " + std::to_string(flag) + ")");
    return 0;
}

jint JNICALL threadsById(JNIEnv *env, jint count, const jlong *ids, jthread *threads) {
    Vm &vm = runningVm("management operation threadsById");
    JavaThread *thread = caller(env, "threadsById");
    if (count < 0 || ((ids == nullptr || threads == nullptr) && count > 0) || thread == nullptr)
        return 0;
    if (fails(vm, "threadsById", -1)) {
        for (jint i = 0; i < count; ++i)
            threads[i] = nullptr;
        return 0;
    }
    jint found = 0;
    for (jint i = 0; i < count; ++i) {
        Object *match = nullptr;
        {
            std::lock_guard guard(vm.lock);
            for (auto &candidate : vm.threads)
                if ((threadState(*candidate) & JVMTI_THREAD_STATE_ALIVE) != 0 &&
                    getField(vm, candidate->threadObject, "tid").j == ids[i])
                    match = candidate->threadObject;
        }
        threads[i] = newRef(vm, *thread, match, RefKind::Local);
        found += match != nullptr ? 1 : 0;
    }
    return found;
}

void JNICALL getOptionalSupport(VmOptionalSupport *flags) {
    Vm &vm = runningVm("management operation getOptionalSupport");
    if (flags == nullptr)
        return;
    *flags = VmOptionalSupport{};
    std::lock_guard guard(vm.lock);
    flags->bytes[0] = state(vm).support;
}

void JNICALL fillLastGcInfo(VmGcInfo *info) {
    Vm &vm = runningVm("management operation fillLastGcInfo");
    if (info == nullptr)
        return;
    std::lock_guard guard(vm.lock);
    *info = state(vm).lastGc;
}

const VmManagement standardTable = {getVersion, getStandardLong};
const VmManagementExt extensionTable = {getLong, setLong, getBool, setBool, reserved, getData, setData,
                                        freeData, executeCommand, threadsById, getOptionalSupport, fillLastGcInfo};

} // namespace

void initManagement(Vm &vm) {
    vm.management = {new ManagementState, [](ManagementState *s) { delete s; }};
    ManagementState &s = *vm.management;
    // No two alike, so that a native reading the wrong attribute shows.
    const std::pair<jint, jlong> longs[] = {
        {JMM_GC_TIME_MS, 0}, {JMM_GC_COUNT, 0}, {202, 2147483648LL}, {100, 67108864}, {101, 20971520},
        {102, 268435456},    {103, 16777216},   {104, 50331648},     {105, 8388608},  {150, 2},
        {151, 31},           {152, 38},         {154, 500},          {155, 5},        {156, 10000},
        {157, 1},            {400, 3},          {401, 2000000000},   {402, 1073741824}, {403, 3221225472LL},
        {404, 536870912},    {600, 0},          {601, static_cast<jlong>(GetCurrentProcessId())},
    };
    for (auto &[id, value] : longs)
        s.longs[id] = value;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    s.longs[600] = static_cast<jlong>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) / 10000 -
                                      11644473600000ULL);
    s.bools = {{100, JNI_FALSE}, {101, JNI_FALSE}, {150, JNI_TRUE}, {200, JNI_TRUE}, {201, JNI_TRUE}};
}

void runCollection(Vm &vm, jboolean flag0, jboolean flag1) {
    postGarbageCollection(vm, false);
    collectorDoing(vm, "counting the collection", nullptr, false);
    // Each collection takes 7 ms from a start past 1000 ms: its id, start, end and length differ.
    jlong start = 1000 + millisSinceStart(vm);
    VmGcInfo info{};
    {
        std::lock_guard guard(vm.lock);
        ManagementState &s = state(vm);
        info.id = static_cast<jint>(++s.longs[JMM_GC_COUNT]);
        info.flags[0] = flag0;
        info.flags[1] = flag1;
        info.values[0] = start;
        info.values[1] = start + 7;
        info.values[2] = 7;
        s.longs[JMM_GC_TIME_MS] += 7;
        s.lastGc = info;
        s.longs[151] = info.values[0];
        s.longs[152] = info.values[1];
    }
    postGarbageCollection(vm, true);
    collectorDoing(vm, "writing its collection event through the recorder's entries", nullptr, true);
    unsigned char payload[4] = {0, 0, 0, static_cast<unsigned char>(info.id)};
    writeEvent(vm, static_cast<jint>(vmProducer().events[0].id), payload, sizeof payload);
}

} // namespace vm

using namespace vm;

extern "C" JNIEXPORT void *JNICALL JVM_GetManagement(jint version) {
    Vm *vm = currentVm();
    if (vm == nullptr)
        return nullptr;
    std::lock_guard guard(vm->lock);
    if (version == JMM_VERSION_1_0 && state(*vm).standard)
        return const_cast<VmManagement *>(&standardTable);
    if (version == JMM_EXT_VERSION && state(*vm).extension)
        return const_cast<VmManagementExt *>(&extensionTable);
    return nullptr;
}

extern "C" void vmhostSetManagementTables(JavaVM *javaVm, jboolean standard, jboolean extension) noexcept {
    if (Vm *vm = vmOf(javaVm)) {
        std::lock_guard guard(vm->lock);
        state(*vm).standard = standard != JNI_FALSE;
        state(*vm).extension = extension != JNI_FALSE;
    }
}

extern "C" void vmhostSetLongAttribute(JavaVM *javaVm, jint id, jlong value) noexcept {
    if (Vm *vm = vmOf(javaVm)) {
        std::lock_guard guard(vm->lock);
        state(*vm).longs[id] = value;
    }
}

extern "C" void vmhostSetBoolAttribute(JavaVM *javaVm, jint id, jboolean value) noexcept {
    if (Vm *vm = vmOf(javaVm)) {
        std::lock_guard guard(vm->lock);
        state(*vm).bools[id] = value;
    }
}

extern "C" void vmhostSetOptionalSupport(JavaVM *javaVm, unsigned char byte0) noexcept {
    if (Vm *vm = vmOf(javaVm)) {
        std::lock_guard guard(vm->lock);
        state(*vm).support = byte0;
    }
}

extern "C" void vmhostSetManagementData(JavaVM *javaVm, jint id, const char *command, jint count,
                                        const void *records) noexcept {
    Vm *vm = vmOf(javaVm);
    JavaThread *thread = currentThread();
    size_t size = recordSize(id);
    if (vm == nullptr || thread == nullptr)
        return;
    if (size == 0 || count < 0 || (records == nullptr && count > 0)) {
        report("vmhostSetManagementData: attribute " + std::to_string(id) + " has no records of that form");
        return;
    }
    GivenData data;
    data.anyCommand = command == nullptr;
    data.command = command != nullptr ? command : "";
    data.count = count;
    const auto *bytes = static_cast<const unsigned char *>(records);
    data.raw.assign(bytes, bytes + size * count);
    std::vector<size_t> offsets = textOffsets(id);
    for (jint i = 0; i < count; ++i) {
        std::vector<std::string> row;
        for (size_t offset : offsets) {
            const char *text = nullptr;
            memcpy(&text, bytes + i * size + offset, sizeof text);
            row.push_back(text != nullptr ? text : "");
        }
        data.texts.push_back(row);
        if (id == 300 || id == 301) {
            jobject ref = nullptr;
            memcpy(&ref, bytes + i * size + offsetof(VmExceptionCount, cls), sizeof ref);
            data.classes.push_back(resolve(*vm, *thread, ref, "vmhostSetManagementData"));
        }
    }
    std::lock_guard guard(vm->lock);
    auto &list = state(*vm).given[id];
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const GivenData &old) {
                                  return old.anyCommand == data.anyCommand && old.command == data.command;
                              }),
               list.end());
    // A record for one command is looked at before one for any command.
    if (data.anyCommand)
        list.push_back(std::move(data));
    else
        list.insert(list.begin(), std::move(data));
}

extern "C" void vmhostFailManagement(JavaVM *javaVm, const char *operation, jint id, jboolean fail) noexcept {
    Vm *vm = vmOf(javaVm);
    if (vm == nullptr || operation == nullptr)
        return;
    std::lock_guard guard(vm->lock);
    if (fail)
        state(*vm).failing.insert({operation, id});
    else
        state(*vm).failing.erase({operation, id});
}

extern "C" void vmhostCollectGarbage(JNIEnv *env, jboolean flag0, jboolean flag1) noexcept {
    Vm *vm = currentVm();
    if (vm == nullptr || env == nullptr)
        return;
    collectGarbage(*vm, flag0, flag1);
}
