// The VM's side of the flight recorder: its recorder interface, its producer and event settings,
// and the state of the Java recorder classes it plays.
#ifndef VMHOST_RECORDER_H
#define VMHOST_RECORDER_H

#include "vm.h"

namespace vm {

struct RecorderState {
    QrnInterface interface{};
    const QrnAgent *agent = nullptr;
    std::vector<QrnEventSetting> settings;
    std::vector<jlong> periods; // milliseconds, by event index
    std::map<const Class *, jlong> classIds;
    jlong nextStackTraceId = 1;

    // The Java recorder played by the VM.
    Object *recorder = nullptr;
    std::string repository;
    std::vector<std::string> chunks; // finished chunk files, in order
    jlong nextRecordingId = 1;
};

RecorderState &recorderOf(Vm &vm);
const QrnProducer &vmProducer();
// Writes one event record into the calling thread's buffer; false when it was not written.
bool writeEvent(Vm &vm, jint eventId, const void *payload, size_t length);

} // namespace vm

#endif
