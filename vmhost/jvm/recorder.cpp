// The recorder interface the VM hands to the flight-recorder agent, and the events the VM writes
// into the agents' thread buffers through the agent's entry table.
#include <cstring>

#include "recorder.h"

namespace vm {
namespace {

constexpr QrnText text(const char *bytes) {
    unsigned short length = 0;
    while (bytes[length] != '\0')
        ++length;
    return QrnText{length, bytes};
}

constexpr unsigned firstEventId = 10;
constexpr unsigned threadCountEvent = 12;

const QrnText producerStrings[] = {text("vm"), text("gc")};
const QrnGroupEntry groupEntries[] = {
    {{text("vm/gc"), text("Garbage collector"), text("Collections and their pauses")}, {1, 0}, {0, 0}},
};
const QrnGroup groups[] = {{1, groupEntries}};
const QrnEventDescriptor events[] = {
    {firstEventId, text("Garbage Collection"), text("A collection of the heap"), text("vm/gc/collection"), {1, 1, 0, 0}, 0},
    {firstEventId + 1, text("Class Load"), text("A class was loaded"), text("vm/class/load"), {1, 1, 0, 0}, 0},
    {threadCountEvent, text("Thread Count"), text("Live and daemon threads"), text("vm/runtime/thread_count"),
     {0, 0, 0, 1}, 0},
    {firstEventId + 3, text("CPU Load"), text("Load of the machine and the VM"), text("vm/os/cpu_load"), {0, 0, 0, 1}, 0},
};
const QrnFurtherEntry further[] = {{1, {text("duration"), text("Ticks")}, 1, 8}};
const QrnProducer producer = {
    1,
    text("Vantrel VM"),
    text("Events of the virtual machine"),
    text("http://www.melnor.com/vantrel/vm/"),
    2,
    producerStrings,
    1,
    groups,
    4,
    events,
    1,
    further,
};

// The event index of an id, or -1 (reported, naming the operation).
int indexOf(jint eventId, const char *operation) {
    auto index = static_cast<unsigned>(eventId) - firstEventId;
    if (index >= producer.eventCount) {
        report(std::string("recorder operation ") + operation + " got the event id " + std::to_string(eventId) +
               ", which the VM's producer does not have");
        return -1;
    }
    return static_cast<int>(index);
}

// Each operation enters the VM: a stopped world or a suspension holds the caller here.
void enter(const char *operation) {
    if (Vm *vm = currentVm())
        enterVm(*vm, operation, Entry::Recorder);
}

void checkSelf(Vm &vm, QrnInterface *self, const char *operation) {
    if (self != &recorderOf(vm).interface)
        report(std::string("recorder operation ") + operation + " was not given the recorder interface itself");
}

const QrnProducer *JNICALL getProducer() {
    enter("getProducer");
    return &producer;
}

QrnEventSetting *JNICALL getEventSettings() {
    enter("getEventSettings");
    return recorderOf(runningVm("recorder operation getEventSettings")).settings.data();
}

void JNICALL newChunk() {
    enter("newChunk");
    callLog("recorder.newChunk()");
}

void JNICALL recordingStarted() {
    enter("recordingStarted");
    callLog("recorder.recordingStarted()");
}

void JNICALL recordingStopped() {
    enter("recordingStopped");
    callLog("recorder.recordingStopped()");
}

void JNICALL recordingCloned() {
    enter("recordingCloned");
    callLog("recorder.recordingCloned()");
}

void JNICALL chunkFinishing(QrnInterface *self) {
    enter("chunkFinishing");
    checkSelf(runningVm("recorder operation chunkFinishing"), self, "chunkFinishing");
    callLog("recorder.chunkFinishing()");
}

void JNICALL enableEvent(jint eventId) {
    enter("enableEvent");
    if (indexOf(eventId, "enableEvent") >= 0)
        callLog("recorder.enableEvent(" + std::to_string(eventId) + ")");
}

void JNICALL disableEvent(jint eventId) {
    enter("disableEvent");
    if (indexOf(eventId, "disableEvent") >= 0)
        callLog("recorder.disableEvent(" + std::to_string(eventId) + ")");
}

jint JNICALL setPeriod(jint eventId, jlong milliseconds) {
    enter("setPeriod");
    int index = indexOf(eventId, "setPeriod");
    if (index < 0)
        return 0;
    bool periodic = (producer.events[index].flags[QRN_EVENT_REQUESTABLE] & 0xFF) != 0;
    callLog("recorder.setPeriod(" + std::to_string(eventId) + ", " + std::to_string(milliseconds) + ")");
    Vm &vm = runningVm("recorder operation setPeriod");
    std::lock_guard guard(vm.lock);
    recorderOf(vm).periods[index] = periodic ? milliseconds : 0;
    return periodic ? 1 : 0;
}

void JNICALL requestEvent(QrnInterface *self, jint eventId) {
    enter("requestEvent");
    Vm &vm = runningVm("recorder operation requestEvent");
    checkSelf(vm, self, "requestEvent");
    if (indexOf(eventId, "requestEvent") < 0)
        return;
    callLog("recorder.requestEvent(" + std::to_string(eventId) + ")");
    unsigned char payload[8] = {};
    if (static_cast<unsigned>(eventId) == threadCountEvent) {
        std::lock_guard guard(vm.lock);
        unsigned live = 0;
        for (auto &thread : vm.threads)
            live += (threadState(*thread) & JVMTI_THREAD_STATE_ALIVE) != 0 ? 1 : 0;
        payload[3] = static_cast<unsigned char>(live);
        payload[2] = static_cast<unsigned char>(live >> 8);
    }
    writeEvent(vm, eventId, payload, sizeof payload);
}

jlong JNICALL classId(QrnInterface *self, jclass cls) {
    enter("classId");
    Vm &vm = runningVm("recorder operation classId");
    checkSelf(vm, self, "classId");
    JavaThread *thread = currentThread();
    if (thread == nullptr) {
        report("recorder operation classId was called on a thread that is not attached");
        return 0;
    }
    Object *object = resolve(vm, *thread, cls, "recorder operation classId");
    if (object == nullptr || object->kind != Kind::Class) {
        report("recorder operation classId was not given a class");
        return 0;
    }
    std::lock_guard guard(vm.lock);
    auto &ids = recorderOf(vm).classIds;
    auto found = ids.find(static_cast<Class *>(object));
    if (found != ids.end())
        return found->second;
    jlong id = static_cast<jlong>(ids.size()) + 1;
    ids[static_cast<Class *>(object)] = id;
    return id;
}

jlong JNICALL stackTraceId(QrnInterface *self, jint framesToSkip) {
    enter("stackTraceId");
    Vm &vm = runningVm("recorder operation stackTraceId");
    checkSelf(vm, self, "stackTraceId");
    if (framesToSkip < 0)
        report("recorder operation stackTraceId got a negative frame count");
    std::lock_guard guard(vm.lock);
    return recorderOf(vm).nextStackTraceId++;
}

void putBigEndian(unsigned char *to, std::uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        to[i] = static_cast<unsigned char>(value);
        value >>= 8;
    }
}

// The utility library's stream writer as the agent hands it out: a 1024-byte buffer in front of
// the file, the buffered count, the file position of the buffer and the file handle.
struct StreamWriterView {
    unsigned char buffer[1024];
    std::uint32_t used;
    std::uint64_t position;
    std::intptr_t file;
};

void writeFile(StreamWriterView *s, const void *bytes, size_t length) {
    DWORD written = 0;
    WriteFile(reinterpret_cast<HANDLE>(s->file), bytes, static_cast<DWORD>(length), &written, nullptr);
    s->position += length;
}

void streamBytes(StreamWriter *stream, const void *bytes, size_t length) {
    auto *s = reinterpret_cast<StreamWriterView *>(stream);
    if (s->used + length < sizeof s->buffer) {
        memcpy(s->buffer + s->used, bytes, length);
        s->used += static_cast<std::uint32_t>(length);
        return;
    }
    writeFile(s, s->buffer, s->used);
    s->used = 0;
    writeFile(s, bytes, length);
}

const QrnAgent *agentOf(Vm &vm) {
    std::lock_guard guard(vm.lock);
    return recorderOf(vm).agent;
}

} // namespace

RecorderState &recorderOf(Vm &vm) { return *vm.recorder; }

const QrnProducer &vmProducer() { return producer; }

void initRecorder(Vm &vm) {
    vm.recorder = {new RecorderState, [](RecorderState *state) { delete state; }};
    RecorderState &state = *vm.recorder;
    state.settings.assign(producer.eventCount, QrnEventSetting{});
    state.periods.assign(producer.eventCount, 0);
    QrnInterface &i = state.interface;
    i.magic = PRODUCER_MAGIC;
    i.getProducer = getProducer;
    i.getEventSettings = getEventSettings;
    i.newChunk = newChunk;
    i.recordingStarted = recordingStarted;
    i.recordingStopped = recordingStopped;
    i.recordingCloned = recordingCloned;
    i.chunkFinishing = chunkFinishing;
    i.enableEvent = enableEvent;
    i.disableEvent = disableEvent;
    i.setPeriod = setPeriod;
    i.requestEvent = requestEvent;
    i.classId = classId;
    i.stackTraceId = stackTraceId;
}

void *recorderGetEnv(Vm &vm, void *agentTable) {
    auto *agent = static_cast<const QrnAgent *>(agentTable);
    if (agent == nullptr || agent->tag != QRN_AGENT_TAG) {
        report("GetEnv for the recorder interface was not given the agent's entry table (first word 0x0FE10770)");
        return nullptr;
    }
    std::lock_guard guard(vm.lock);
    RecorderState &state = recorderOf(vm);
    if (state.agent != nullptr && state.agent != agent)
        report("a second agent asked for the recorder interface");
    state.agent = agent;
    return &state.interface;
}

void recorderThreadEnds(Vm &vm, JavaThread &thread) {
    const QrnAgent *agent;
    {
        std::lock_guard guard(vm.lock);
        agent = recorderOf(vm).agent;
    }
    if (agent != nullptr && !thread.simulated) {
        Activity activity(thread, "the agent's releaseThreadBuffer");
        agent->releaseThreadBuffer();
    }
}

void recorderBeforeExit(Vm &vm, JavaThread &thread) {
    const QrnAgent *agent;
    {
        std::lock_guard guard(vm.lock);
        agent = recorderOf(vm).agent;
    }
    if (agent == nullptr)
        return;
    jint ready;
    {
        Activity activity(thread, "the agent's exitReady");
        ready = agent->exitReady();
    }
    if (ready != 0)
        return;
    // Its dump on exit needs the Java recorder and the shutdown hook that comes with it.
    callLog("recorder.exitReady() answered 0");
    callStatic(thread, "melnor/vantrel/qrn/QRN", "get", "()Lmelnor/vantrel/qrn/QRN;", {});
    describeException(thread, takeException(thread));
}

bool writeEvent(Vm &vm, jint eventId, const void *payload, size_t length) {
    const QrnAgent *agent;
    unsigned index = static_cast<unsigned>(eventId) - firstEventId;
    {
        std::lock_guard guard(vm.lock);
        RecorderState &state = recorderOf(vm);
        agent = state.agent;
        if (agent == nullptr || index >= producer.eventCount || state.settings[index].enabled == 0)
            return false;
    }
    size_t size = 16 + length;
    QrnThreadBufferView *buffer = agent->getThreadBuffer();
    if (buffer == nullptr)
        return false;
    if (static_cast<size_t>(buffer->end - buffer->pos) < size) {
        agent->flushThreadBuffer();
        if (static_cast<size_t>(buffer->end - buffer->pos) < size)
            return false;
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    unsigned char *at = buffer->pos;
    putBigEndian(at, size, 4);
    putBigEndian(at + 4, static_cast<std::uint32_t>(eventId), 4);
    putBigEndian(at + 8, static_cast<std::uint64_t>(now.QuadPart), 8);
    if (length > 0)
        memcpy(at + 16, payload, length);
    buffer->pos = at + size;
    return true;
}

} // namespace vm

extern "C" const QrnAgent *vmhostRecorderAgent(JavaVM *javaVm) noexcept {
    vm::Vm *vm = vm::vmOf(javaVm);
    if (vm == nullptr)
        return nullptr;
    std::lock_guard guard(vm->lock);
    return vm::recorderOf(*vm).agent;
}

extern "C" jint vmhostRecordEvent(JNIEnv *env, jint eventId, const void *payload, jint length) noexcept {
    vm::Vm *vm = vm::currentVm();
    if (vm == nullptr || env == nullptr || length < 0 || (payload == nullptr && length > 0))
        return 0;
    return vm::writeEvent(*vm, eventId, payload, static_cast<size_t>(length)) ? 1 : 0;
}

extern "C" jint vmhostWriteCheckpoint(JNIEnv *env, const void *body, jint length) noexcept {
    vm::Vm *vm = vm::currentVm();
    if (vm == nullptr || env == nullptr || length < 0 || (body == nullptr && length > 0))
        return 0;
    const QrnAgent *agent = vm::agentOf(*vm);
    StreamWriter *stream = agent != nullptr ? agent->beginCheckpoint() : nullptr;
    if (stream == nullptr)
        return 0;
    vm::streamBytes(stream, body, static_cast<size_t>(length));
    agent->endCheckpoint();
    return 1;
}

extern "C" jint vmhostWriteDirect(JNIEnv *env, const void *bytes, jint length) noexcept {
    vm::Vm *vm = vm::currentVm();
    if (vm == nullptr || env == nullptr || length < 0 || (bytes == nullptr && length > 0))
        return 0;
    const QrnAgent *agent = vm::agentOf(*vm);
    StreamWriter *stream = agent != nullptr ? agent->beginDirectWrite() : nullptr;
    if (stream == nullptr)
        return 0;
    vm::streamBytes(stream, bytes, static_cast<size_t>(length));
    agent->endDirectWrite();
    return 1;
}
