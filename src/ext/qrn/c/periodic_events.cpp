// Requestable events of the producer and the periods at which the VM is asked to emit them.
#include <stddef.h>

#include "agent_state.h"
#include "osal/mspace.h"

namespace {

// The period is set on any thread and read by the buffer thread, which runs its check outside
// every lock: it is stored and read whole. Only the buffer thread touches the elapsed time.
struct Requestable {
    uint32_t eventId;
    int64_t periodMillis;
    int64_t elapsedMillis;
};
static_assert(sizeof(Requestable) == 24, "24 bytes an entry");
// The table comes from the global space, whose blocks are 8-aligned.
static_assert(offsetof(Requestable, periodMillis) % 8 == 0, "a period is read whole only when aligned");
static_assert(__atomic_always_lock_free(sizeof(int64_t), 0), "a period is read whole without a lock");

int64_t periodOf(const Requestable &entry) { return __atomic_load_n(&entry.periodMillis, __ATOMIC_ACQUIRE); }

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
    __atomic_store_n(&entry->periodMillis, accepted != 0 ? int64_t(milliseconds) : int64_t(0), __ATOMIC_RELEASE);
    qrnRequestBufferThread(0x40);
    return 1;
}

jlong qrnGetEventPeriod(jint eventId) {
    Requestable *entry = entryOf(eventId);
    return entry != nullptr ? periodOf(*entry) : 0;
}

int64_t qrnCheckPeriodic(int64_t *previousMillis) {
    int64_t now = nowMillis();
    int64_t delta = *previousMillis != 0 ? now - *previousMillis : 0;
    bool any = false;
    int64_t smallest = 0;
    for (uint32_t i = 0; i < tableCount; ++i) {
        Requestable &entry = table[i];
        int64_t period = periodOf(entry);
        if (period == 0)
            continue;
        entry.elapsedMillis += delta;
        if (entry.elapsedMillis >= period) {
            entry.elapsedMillis = 0;
            qrnState.recorder->requestEvent(qrnState.recorder, static_cast<jint>(entry.eventId));
        }
        int64_t remaining = period - entry.elapsedMillis;
        if (!any || remaining < smallest)
            smallest = remaining;
        any = true;
    }
    *previousMillis = now;
    return any ? smallest : 0;
}
