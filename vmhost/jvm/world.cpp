// Stopping the world as a VM does for a collection. Every attached thread waits at its next entry
// into the VM (a JNI function, a tool-interface function other than those a collector's callbacks
// may use, a recorder operation) until the world resumes, while the VM's collecting thread, which
// is not attached, posts the collection's events. A suspended thread likewise waits at its next
// entry until it is resumed. Threads wait on the world's lock, never on Vm::lock, which the
// collecting thread and its callbacks need meanwhile. A collecting thread that stays longer than
// the stop bound in one step that runs an agent's code (a callback, a write through the agent's
// entries) is as good as deadlocked: that is reported, naming who waits where, and the world
// resumes.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>

#include "recorder.h"

namespace vm {

using Clock = std::chrono::steady_clock;

namespace {

struct Waiter {
    JavaThread *thread;
    const char *function;
};

// A collection that starts when a thread next enters a function.
struct Armed {
    std::string function;
    JavaThread *thread; // null: any attached thread
    jboolean flags[2];
};

struct Request {
    jboolean flags[2];
    std::uint64_t ticket;
};

} // namespace

struct WorldState {
    std::mutex lock;
    std::condition_variable changed;
    // Whether an entry may have to wait or be looked at; read without the lock on every entry.
    std::atomic<bool> attention{false};

    bool stopped = false;
    bool bounded = false; // the collecting thread runs an agent's code, which has a deadline
    Clock::time_point deadline;
    std::uint64_t overstays = 0; // stops ended by the bound
    std::uint64_t releases = 0;  // vmhostReleaseWaiters calls
    std::vector<Waiter *> waiters;
    std::set<JavaThread *> held; // suspended real threads
    std::vector<Armed> armed;

    std::deque<Request> requests;
    std::uint64_t requested = 0;
    std::uint64_t finished = 0; // tickets, in order
    jint done = 0;

    HANDLE collector = nullptr;
    DWORD collectorId = 0;
    bool ending = false;
    std::string doing;    // what the collecting thread does now
    std::string callback; // the collector callback it is inside, or empty
};

namespace {

const char *const allowedFunctions[] = {
    "CreateRawMonitor", "DestroyRawMonitor", "RawMonitorEnter", "RawMonitorExit", "RawMonitorWait",
    "RawMonitorNotify", "RawMonitorNotifyAll", "Allocate", "Deallocate", "GetEnvironmentLocalStorage",
    "SetEnvironmentLocalStorage",
};

void update(WorldState &w) {
    w.attention.store(w.stopped || !w.held.empty() || !w.armed.empty() || !w.callback.empty() || !w.waiters.empty(),
                      std::memory_order_release);
}

std::string quoted(const JavaThread &thread) { return "thread \"" + thread.name + "\""; }

std::string waitersText(const WorldState &w) {
    std::string text;
    for (const Waiter *waiter : w.waiters) {
        text += text.empty() ? "" : ", ";
        text += quoted(*waiter->thread) + " waits in " + waiter->function;
        if (w.held.count(waiter->thread) != 0)
            text += " (suspended)";
    }
    return text.empty() ? "no thread waits" : text;
}

void stopWorld(WorldState &w) {
    w.stopped = true;
    update(w);
}

void resumeWorld(WorldState &w) {
    w.stopped = false;
    w.bounded = false;
    update(w);
    w.changed.notify_all();
}

// The collecting thread began a step of a stopped world; one that runs an agent's code has the
// stop bound to finish.
void startStep(Vm &vm, WorldState &w, bool agentCode) {
    w.bounded = w.stopped && agentCode;
    w.deadline = Clock::now() + std::chrono::milliseconds(vm.stopWaitMs);
    // Waiters that waited without a deadline take this one up.
    if (w.bounded)
        w.changed.notify_all();
}

// The stop outlasted its bound: reported, and the world resumes. Called with the world's lock.
void overstayed(Vm &vm, WorldState &w) {
    report("a collection stopped the world for longer than " + std::to_string(vm.stopWaitMs) +
           " ms with the VM's collecting thread " + w.doing + ": " + waitersText(w) + "; the world resumes");
    ++w.overstays;
    resumeWorld(w);
}

// Waits until the stop ends, or the bound does: true when the bound passed (and ended it).
bool waitForStop(Vm &vm, WorldState &w, std::unique_lock<std::mutex> &guard) {
    if (!w.bounded) {
        w.changed.wait(guard);
        return false;
    }
    if (w.changed.wait_until(guard, w.deadline) == std::cv_status::timeout && w.stopped && Clock::now() >= w.deadline) {
        overstayed(vm, w);
        return true;
    }
    return false;
}

DWORD WINAPI collectorMain(LPVOID parameter) {
    Vm &vm = *static_cast<Vm *>(parameter);
    WorldState &w = *vm.world;
    std::unique_lock guard(w.lock);
    for (;;) {
        w.changed.wait(guard, [&] { return !w.requests.empty() || w.ending; });
        if (w.requests.empty())
            break;
        Request request = w.requests.front();
        w.requests.pop_front();
        stopWorld(w);
        w.doing = "collecting";
        startStep(vm, w, false);
        guard.unlock();
        runCollection(vm, request.flags[0], request.flags[1]);
        guard.lock();
        w.finished = request.ticket;
        ++w.done;
        w.doing.clear();
        w.bounded = false;
        if (w.requests.empty())
            resumeWorld(w);
        w.changed.notify_all();
    }
    guard.unlock();
    // The buffer the agent gave this thread for the VM's own events goes back before the VM ends.
    const QrnAgent *agent;
    {
        std::lock_guard vmGuard(vm.lock);
        agent = recorderOf(vm).agent;
    }
    if (agent != nullptr)
        agent->releaseThreadBuffer();
    return 0;
}

// A collection asked for, the world stopped until it is done; its ticket, or 0 when there is no
// collecting thread to do it. Called with the world's lock.
std::uint64_t request(Vm &vm, WorldState &w, jboolean flag0, jboolean flag1) {
    // The exit is ending the collecting thread: the VM collects no more.
    if (w.ending)
        return 0;
    if (w.collector == nullptr) {
        DWORD id = 0;
        w.collector = CreateThread(nullptr, 0, collectorMain, &vm, 0, &id);
        if (w.collector == nullptr) {
            report("the VM could not start its collecting thread");
            return 0;
        }
        w.collectorId = id;
    }
    std::uint64_t ticket = ++w.requested;
    w.requests.push_back(Request{{flag0, flag1}, ticket});
    stopWorld(w);
    w.changed.notify_all();
    return ticket;
}

bool fire(Vm &vm, WorldState &w, JavaThread *thread, const char *function) {
    for (auto armed = w.armed.begin(); armed != w.armed.end(); ++armed) {
        if (armed->function == function && (armed->thread == nullptr || armed->thread == thread)) {
            Armed taken = *armed;
            w.armed.erase(armed);
            update(w);
            return request(vm, w, taken.flags[0], taken.flags[1]) != 0;
        }
    }
    return false;
}

WorldState *worldOf(JavaVM *javaVm) {
    Vm *vm = vmOf(javaVm);
    return vm != nullptr ? vm->world.get() : nullptr;
}

} // namespace

void initWorld(Vm &vm) { vm.world = {new WorldState, [](WorldState *w) { delete w; }}; }

bool allowedWhileStopped(const char *function) {
    for (const char *allowed : allowedFunctions)
        if (strcmp(allowed, function) == 0)
            return true;
    return false;
}

void enterVm(Vm &vm, const char *function, Entry kind) {
    WorldState &w = *vm.world;
    if (!w.attention.load(std::memory_order_acquire))
        return;
    JavaThread *thread = currentThread();
    bool allowed = kind == Entry::Tool && allowedWhileStopped(function);
    std::unique_lock guard(w.lock);
    if (thread == nullptr) {
        // The VM's own threads never wait; its collecting thread may not call out of its callbacks.
        if (GetCurrentThreadId() == w.collectorId && !w.callback.empty() && !allowed)
            report(std::string(function) + " was called " + w.doing + ", where " +
                   (kind == Entry::Jni        ? "no JNI function may be called"
                    : kind == Entry::Recorder ? "no recorder operation may be called"
                                              : "only the raw-monitor, memory and environment-local-storage "
                                                "functions may be called"));
        return;
    }
    // The call that starts a collection waits for it, whatever the function.
    if (!fire(vm, w, thread, function) && allowed)
        return;
    Waiter waiter{thread, function};
    std::uint64_t releases = w.releases;
    bool waiting = false;
    for (;;) {
        bool stopped = w.stopped && w.releases == releases;
        bool held = w.held.count(thread) != 0 && w.releases == releases;
        if (!stopped && !held)
            break;
        if (!waiting) {
            w.waiters.push_back(&waiter);
            waiting = true;
            update(w);
            w.changed.notify_all();
        }
        if (stopped)
            waitForStop(vm, w, guard);
        else
            w.changed.wait(guard);
    }
    if (waiting) {
        w.waiters.erase(std::find(w.waiters.begin(), w.waiters.end(), &waiter));
        update(w);
        w.changed.notify_all();
    }
}

void collectGarbage(Vm &vm, jboolean flag0, jboolean flag1) {
    WorldState &w = *vm.world;
    std::unique_lock guard(w.lock);
    if (GetCurrentThreadId() == w.collectorId) {
        report("a collection was asked for " + w.doing + ", on the collecting thread itself");
        return;
    }
    std::uint64_t overstays = w.overstays;
    std::uint64_t ticket = request(vm, w, flag0, flag1);
    // A collection that outlasted its bound was reported; its caller goes on like the others.
    while (ticket != 0 && w.finished < ticket && w.overstays == overstays) {
        if (w.stopped)
            waitForStop(vm, w, guard);
        else
            w.changed.wait(guard);
    }
}

void collectorDoing(Vm &vm, const std::string &what, const char *callback, bool agentCode) {
    WorldState &w = *vm.world;
    std::lock_guard guard(w.lock);
    w.doing = what;
    w.callback = callback != nullptr ? callback : "";
    startStep(vm, w, agentCode);
    update(w);
}

void holdThread(Vm &vm, JavaThread &thread, bool held) {
    WorldState &w = *vm.world;
    std::lock_guard guard(w.lock);
    if (held)
        w.held.insert(&thread);
    else
        w.held.erase(&thread);
    update(w);
    w.changed.notify_all();
}

bool endCollector(Vm &vm) {
    WorldState &w = *vm.world;
    HANDLE collector;
    {
        std::lock_guard guard(w.lock);
        collector = w.collector;
        if (collector == nullptr)
            return true;
        w.ending = true;
        w.changed.notify_all();
    }
    if (WaitForSingleObject(collector, vm.exitWaitMs) != WAIT_OBJECT_0) {
        std::lock_guard guard(w.lock);
        report("the VM's collecting thread still ran " + std::to_string(vm.exitWaitMs) +
               " ms after the VM exit began, " + (w.doing.empty() ? "ending" : w.doing));
        return false;
    }
    CloseHandle(collector);
    std::lock_guard guard(w.lock);
    w.collector = nullptr;
    w.collectorId = 0;
    w.ending = false;
    return true;
}

} // namespace vm

using namespace vm;

extern "C" void vmhostCollectGarbageAt(JavaVM *javaVm, const char *function, jthread thread, jboolean flag0,
                                       jboolean flag1) noexcept {
    Vm *vm = vmOf(javaVm);
    if (vm == nullptr || function == nullptr)
        return;
    JavaThread *target = nullptr;
    if (thread != nullptr) {
        JavaThread *caller = currentThread();
        Object *object = caller != nullptr ? resolve(*vm, *caller, thread, "vmhostCollectGarbageAt") : nullptr;
        target = object != nullptr ? threadOf(*vm, object) : nullptr;
        if (target == nullptr || target->simulated) {
            report("vmhostCollectGarbageAt was not given a thread attached to the VM");
            return;
        }
    }
    WorldState &w = *vm->world;
    std::lock_guard guard(w.lock);
    w.armed.push_back(Armed{function, target, {flag0, flag1}});
    update(w);
}

extern "C" jint vmhostCollectionsDone(JavaVM *javaVm) noexcept {
    WorldState *w = worldOf(javaVm);
    if (w == nullptr)
        return 0;
    std::lock_guard guard(w->lock);
    return w->done;
}

extern "C" jint vmhostWaitingThreads(JavaVM *javaVm) noexcept {
    WorldState *w = worldOf(javaVm);
    if (w == nullptr)
        return 0;
    std::lock_guard guard(w->lock);
    return static_cast<jint>(w->waiters.size());
}

extern "C" void vmhostReleaseWaiters(JavaVM *javaVm) noexcept {
    WorldState *w = worldOf(javaVm);
    if (w == nullptr)
        return;
    std::lock_guard guard(w->lock);
    if (w->waiters.empty() && !w->stopped)
        return;
    report("vmhostReleaseWaiters let the waiting threads go on" + std::string(w->stopped ? " and the world resume" : "") +
           ": " + waitersText(*w));
    ++w->releases;
    resumeWorld(*w);
}
