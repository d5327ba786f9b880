// Requestable events of the producer and the periods at which the VM is asked to emit them.
#include "agent_state.h"
#include "osal/mspace.h"

namespace {

struct Requestable {
    uint32_t eventId;
    int64_t periodMillis;
    int64_t elapsedMillis;
};
static_assert(sizeof(Requestable) == 24, "24 bytes an entry");

constinit Requestable *table = nullptr;
constinit uint32_t tableCount = 0;

Requestable *entryOf(jint eventId) {
    for (uint32_t i = 0; i < tableCount; ++i)
        if (table[i].eventId == static_cast<uint32_t>(eventId))
            return &table[i];
    return nullptr;
}

int64_t nowMillis() {
    double ticks = double(timingGetCounterTime());
    double nanos = qrnState.nanosPerTick == 1.0 ? ticks : ticks * qrnState.nanosPerTick;
    return int64_t(nanos) / 1000000;
}

} // namespace

int qrnBuildRequestableTable(const QrnProducer *producer) {
    uint32_t added = 0;
    for (uint32_t i = 0; i < producer->eventCount; ++i)
        if ((producer->events[i].flags[QRN_EVENT_REQUESTABLE] & 0xff) != 0)
            ++added;
    if (added == 0)
        return 1;
    auto *grown = static_cast<Requestable *>(gsRealloc(table, (size_t(tableCount) + added) * sizeof(Requestable)));
    if (grown == nullptr) {
        qrnLog(QRN_ERROR, "Could not allocate memory for %u requestable events", added);
        return 0;
    }
    table = grown;
    for (uint32_t i = 0; i < producer->eventCount; ++i)
        if ((producer->events[i].flags[QRN_EVENT_REQUESTABLE] & 0xff) != 0)
            table[tableCount++] = Requestable{producer->events[i].id, 0, 0};
    return 1;
}

int qrnSetEventPeriod(jint eventId, jlong milliseconds) {
    // A negative period would be due at every check and keep the buffer thread from waking for
    // the others: it is no period.
    if (milliseconds < 0)
        milliseconds = 0;
    jint accepted = qrnState.recorder->setPeriod(eventId, milliseconds);
    Requestable *entry = entryOf(eventId);
    if (entry == nullptr)
        return 0;
    // The buffer thread reads the table under its monitor; a 64-bit store is not atomic here.
    if (qrnState.bufferMonitorReady)
        osMonitorEnter(&qrnState.bufferMonitor);
    entry->periodMillis = accepted != 0 ? milliseconds : 0;
    if (qrnState.bufferMonitorReady)
        osMonitorExit(&qrnState.bufferMonitor);
    qrnRequestBufferThread(0x40);
    return 1;
}

jlong qrnGetEventPeriod(jint eventId) {
    Requestable *entry = entryOf(eventId);
    return entry != nullptr ? entry->periodMillis : 0;
}

int64_t qrnCheckPeriodic(int64_t *previousMillis) {
    int64_t now = nowMillis();
    int64_t delta = *previousMillis != 0 ? now - *previousMillis : 0;
    bool any = false;
    int64_t smallest = 0;
    for (uint32_t i = 0; i < tableCount; ++i) {
        Requestable &entry = table[i];
        if (entry.periodMillis == 0)
            continue;
        entry.elapsedMillis += delta;
        if (entry.elapsedMillis >= entry.periodMillis) {
            entry.elapsedMillis = 0;
            qrnState.recorder->requestEvent(qrnState.recorder, static_cast<jint>(entry.eventId));
        }
        int64_t remaining = entry.periodMillis - entry.elapsedMillis;
        if (!any || remaining < smallest)
            smallest = remaining;
        any = true;
    }
    *previousMillis = now;
    return any ? smallest : 0;
}
