#include <stdio.h>
#include <string.h>
#include <time.h>

#include <pdhmsg.h>

#include "../../shared/osal_log.h"
#include "osal/mspace.h"
#include "osal/perf.h"
#include "osal/sharedlib.h"
#include "perf_internal.h"

constinit PerfState perfState{};

#define PERF_WARN(...) OSAL_LOG(OSAL_LOG_OSAL, OSAL_LEVEL_WARNING, __VA_ARGS__)

namespace {

constexpr DWORD processObject = 230;
constexpr DWORD processIdCounter = 784;
constexpr DWORD virtualSizeCounter = 174;
constexpr DWORD processorObject = 238;
constexpr DWORD processorTimeCounter = 6;
constexpr DWORD privilegedTimeCounter = 144;
constexpr DWORD systemObject = 2;
constexpr DWORD contextSwitchCounter = 146;
constexpr PDH_STATUS accessDenied = static_cast<PDH_STATUS>(0x800007D0);
constexpr size_t nameSize = 256;
constexpr size_t pathSize = 1024;

constinit const PerfPdhApi *testApi = nullptr;
using ClockFn = long (*)(void);
constinit ClockFn testClock = nullptr;

PerfPdhApi &pdh() { return perfState.pdh; }

// The performance-data library faults on some machines when the user lacks the privileges for
// it; a fault inside a guarded call ends that call instead of the process.
struct Guard {
    DWORD esp, ebp, resume; // filled by guardedCall: where a fault resumes
    DWORD thread;
};
constinit Guard *volatile activeGuard = nullptr;

struct NameLookup {
    DWORD index;
    char *name;
    DWORD *size;
    PDH_STATUS status;
};

void lookupCall(void *argument) {
    auto *lookup = static_cast<NameLookup *>(argument);
    lookup->status = pdh().lookupPerfNameByIndex(nullptr, lookup->index, lookup->name, lookup->size);
}

LONG CALLBACK resumeAfterFault(EXCEPTION_POINTERS *exception) {
    Guard *guard = activeGuard;
    if (guard == nullptr || guard->thread != GetCurrentThreadId() ||
        exception->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION)
        return EXCEPTION_CONTINUE_SEARCH;
    CONTEXT *context = exception->ContextRecord;
    context->Esp = guard->esp;
    context->Ebp = guard->ebp;
    context->Eip = guard->resume;
    return EXCEPTION_CONTINUE_EXECUTION;
}

} // namespace

// osalGuardedCall(function, argument, guard): 0 when the function
// returned, 1 when it faulted and the handler resumed here with the stack as it was at the call.
extern "C" int osalGuardedCall(void (*function)(void *), void *argument, void *guard);
asm(".text\n"
    ".p2align 4\n"
    "_osalGuardedCall:\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    pushl %ebx\n"
    "    pushl %esi\n"
    "    pushl %edi\n"
    "    movl 16(%ebp), %eax\n"
    "    movl %esp, 0(%eax)\n"
    "    movl %ebp, 4(%eax)\n"
    "    movl $1f, 8(%eax)\n"
    "    pushl 12(%ebp)\n"
    "    call *8(%ebp)\n"
    "    addl $4, %esp\n"
    "    xorl %eax, %eax\n"
    "    jmp 2f\n"
    "1:  cld\n"
    "    movl $1, %eax\n"
    "2:  popl %edi\n"
    "    popl %esi\n"
    "    popl %ebx\n"
    "    popl %ebp\n"
    "    ret\n");

namespace {

// Under the initialisation lock: one guard at a time.
bool lookupGuarded(NameLookup *lookup) {
    Guard guard{};
    guard.thread = GetCurrentThreadId();
    PVOID handler = AddVectoredExceptionHandler(1, resumeAfterFault);
    if (handler == nullptr) {
        lookupCall(lookup);
        return true;
    }
    activeGuard = &guard;
    int faulted = osalGuardedCall(lookupCall, lookup, &guard);
    activeGuard = nullptr;
    RemoveVectoredExceptionHandler(handler);
    return faulted == 0;
}

// Counter names are in the local language, so they are looked up by their index.
bool lookupName(DWORD index, char (&name)[nameSize]) {
    DWORD size = nameSize;
    name[0] = '\0';
    NameLookup lookup{index, name, &size, ERROR_SUCCESS};
    if (!lookupGuarded(&lookup)) {
        PERF_WARN("User does not have sufficient privileges to use performance counters");
        return false;
    }
    PDH_STATUS status = lookup.status;
    if (status != ERROR_SUCCESS) {
        PERF_WARN("Could not open counter %d: error=0x%08x", static_cast<int>(index), static_cast<unsigned>(status));
        if (status == accessDenied) {
            PERF_WARN("User probably does not have sufficient privileges to use");
            PERF_WARN("performance counters. If you are running on Windows 2003");
            PERF_WARN("or Windows Vista, make sure the user is in the");
            PERF_WARN("Performance Logs user group.");
        }
        return false;
    }
    name[nameSize - 1] = '\0';
    if (name[0] == '\0') {
        PERF_WARN("Failed to get counter name for %d: empty string", static_cast<int>(index));
        return false;
    }
    return true;
}

template <typename... Args> bool format(char (&buffer)[pathSize], const char *pattern, Args... args) {
    int length = snprintf(buffer, pathSize, pattern, args...);
    return length > 0 && static_cast<size_t>(length) < pathSize;
}

// Lists the instances of an object: a run of texts, each ending in NUL, ended by an empty one.
// The messages name the processes or the processors.
char *enumerateInstances(const char *object, bool processors) {
    DWORD counterSize = 0, instanceSize = 0;
    PDH_STATUS status = pdh().enumObjectItems(nullptr, nullptr, object, nullptr, &counterSize, nullptr,
                                              &instanceSize, PERF_DETAIL_WIZARD, 0);
    if (status != static_cast<PDH_STATUS>(PDH_MORE_DATA) && status != ERROR_SUCCESS) {
        PERF_WARN(processors ? "could not enumerate processors (1) error=%d" : "Could not enumerate processes (1) error=%d",
                  static_cast<int>(status));
        return nullptr;
    }
    // Two spare bytes end the list even when the library fills it to the last byte.
    size_t bytes = static_cast<size_t>(counterSize) + instanceSize + 2;
    char *buffer = static_cast<char *>(gsMalloc(bytes));
    if (buffer == nullptr) {
        PERF_WARN(processors ? "could not allocate memory (1) %d bytes" : "Could not allocate memory %d bytes",
                  static_cast<int>(bytes));
        return nullptr;
    }
    memset(buffer, 0, bytes);
    char *counters = buffer;
    char *instances = buffer + counterSize;
    status = pdh().enumObjectItems(nullptr, nullptr, object, counterSize ? counters : nullptr, &counterSize,
                                   instanceSize ? instances : nullptr, &instanceSize, PERF_DETAIL_WIZARD, 0);
    if (status != ERROR_SUCCESS) {
        PERF_WARN(processors ? "could not enumerate processors (2) error=%d" : "Could not enumerate processes (2) error=%d",
                  static_cast<int>(status));
        gsFree(buffer);
        return nullptr;
    }
    memmove(buffer, instances, bytes - (instances - buffer));
    return buffer;
}

// Our file name without its folder and from its first dot on, as the process object names us.
bool moduleBaseName(char (&name)[MAX_PATH]) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH - 1);
    if (length == 0 || length >= MAX_PATH - 1) {
        PERF_WARN("Module name truncated");
        return false;
    }
    path[length] = '\0';
    const char *base = strrchr(path, '\\');
    base = base ? base + 1 : path;
    snprintf(name, sizeof name, "%s", base);
    if (char *dot = strchr(name, '.'))
        *dot = '\0';
    return true;
}

// Reads the process id of instance number n of name; false when there is no such instance.
bool instanceProcessId(const char *object, const char *instance, int n, const char *idCounter, long *id,
                       bool *stop) {
    char path[pathSize];
    if (!format(path, "\\%s(%s#%d)\\%s", object, instance, n, idCounter))
        return false;
    PDH_HQUERY query;
    if (pdh().openQuery(nullptr, 0, &query) != ERROR_SUCCESS) {
        PERF_WARN("Could not create temporary query");
        *stop = true;
        return false;
    }
    bool found = false;
    PDH_HCOUNTER counter;
    PDH_FMT_COUNTERVALUE value;
    if (pdh().addCounter(query, path, 0, &counter) != ERROR_SUCCESS) {
        PERF_WARN("Failed to create process id query");
    } else if (pdh().collectQueryData(query) == ERROR_SUCCESS) {
        if (pdh().getFormattedCounterValue(counter, PDH_FMT_LONG, nullptr, &value) == ERROR_SUCCESS) {
            *id = value.longValue;
            found = true;
        } else {
            PERF_WARN("Failed to query process id");
        }
    }
    pdh().closeQuery(query);
    return found;
}

bool buildProcessPath() {
    char object[nameSize], idCounter[nameSize], self[MAX_PATH];
    if (!lookupName(processObject, object) || !lookupName(processIdCounter, idCounter))
        return false;
    char *instances = enumerateInstances(object, false);
    if (instances == nullptr)
        return false;
    bool made = false;
    if (moduleBaseName(self)) {
        // Processes of one program share the instance name and are told apart by number.
        const char *listed = nullptr;
        int namesakes = 0;
        for (const char *name = instances; *name != '\0'; name += strlen(name) + 1) {
            if (_stricmp(name, self) == 0 && namesakes++ == 0)
                listed = name;
        }
        long pid = static_cast<long>(GetCurrentProcessId());
        bool stop = false;
        for (int n = 0; n < namesakes && !made && !stop; ++n) {
            long id = -1;
            if (!instanceProcessId(object, listed, n, idCounter, &id, &stop))
                break;
            if (id == pid)
                made = snprintf(perfState.processPath, sizeof perfState.processPath, "\\%s(%s#%d)", object,
                                listed, n) < static_cast<int>(sizeof perfState.processPath);
        }
    }
    gsFree(instances);
    return made;
}

bool processPath() {
    EnterCriticalSection(&perfPathLock);
    if (!perfState.processPathMade)
        perfState.processPathMade = buildProcessPath();
    bool made = perfState.processPathMade;
    LeaveCriticalSection(&perfPathLock);
    return made;
}

bool openCounters(PerfQuery &q, int count) {
    q.counters = static_cast<PDH_HCOUNTER *>(gsMalloc(sizeof(PDH_HCOUNTER) * count));
    if (q.counters == nullptr)
        return false;
    q.count = 0;
    q.collected = false;
    return true;
}

void discard(PerfQuery &q) {
    if (q.query != nullptr)
        pdh().closeQuery(q.query);
    gsFree(q.counters);
    q.query = nullptr;
    q.counters = nullptr;
    q.count = 0;
}

// One query with one counter.
bool openSingle(PerfQuery &q, const char *path) {
    if (pdh().openQuery(nullptr, 0, &q.query) != ERROR_SUCCESS) {
        q.query = nullptr;
        PERF_WARN("Could not open query for %s", path);
        return false;
    }
    if (!openCounters(q, 1) || pdh().addCounter(q.query, path, 0, &q.counters[0]) != ERROR_SUCCESS) {
        PERF_WARN("Could not add counter %s for query", path);
        discard(q);
        return false;
    }
    q.count = 1;
    return true;
}

bool processCounter(PerfQuery &q, DWORD index) {
    char name[nameSize], path[pathSize];
    return processPath() && lookupName(index, name) && format(path, "%s\\%s", perfState.processPath, name) &&
           openSingle(q, path);
}

bool setUpVirtualSize() { return processCounter(perfState.virtualSize, virtualSizeCounter); }
bool setUpProcessLoad() { return processCounter(perfState.processLoad, processorTimeCounter); }
bool setUpProcessSystemLoad() { return processCounter(perfState.processSystemLoad, privilegedTimeCounter); }

bool setUpContextSwitches() {
    char object[nameSize], counter[nameSize], path[pathSize];
    return lookupName(systemObject, object) && lookupName(contextSwitchCounter, counter) &&
           format(path, "\\%s\\%s", object, counter) && openSingle(perfState.contextSwitches, path);
}

bool setUpProcessorLoad() {
    PerfQuery &q = perfState.processorLoad;
    char object[nameSize], counter[nameSize], path[pathSize];
    if (!lookupName(processorObject, object) || !lookupName(processorTimeCounter, counter))
        return false;
    char *instances = enumerateInstances(object, true);
    if (instances == nullptr)
        return false;
    int count = 0;
    for (const char *name = instances; *name != '\0'; name += strlen(name) + 1)
        ++count;
    bool ok = false;
    if (count == 0 || !openCounters(q, count)) {
        PERF_WARN("could not allocate memory (2) count=%d", count);
    } else if (pdh().openQuery(nullptr, 0, &q.query) != ERROR_SUCCESS) {
        q.query = nullptr;
        PERF_WARN("could not create query");
    } else {
        ok = true;
        // The list ends with the total over all processors.
        for (const char *name = instances; ok && *name != '\0'; name += strlen(name) + 1) {
            ok = format(path, "\\%s(%s)\\%s", object, name, counter) &&
                 pdh().addCounter(q.query, path, 0, &q.counters[q.count]) == ERROR_SUCCESS;
            if (!ok)
                PERF_WARN("error adding processor counter %s", path);
            else
                ++q.count;
        }
        if (ok) {
            pdh().collectQueryData(q.query);
            q.lastCollection = perfClock();
            q.collected = true;
        }
    }
    if (!ok)
        discard(q);
    gsFree(instances);
    return ok;
}

struct Figure {
    PerfQuery &query;
    bool (*setUp)();
    const char *failure;
};

bool bindLibrary() {
    static_assert(sizeof(PerfPdhApi) == 9 * sizeof(void *));
    void *entries[9];
    HMODULE library = nullptr;
    if (testApi != nullptr) {
        memcpy(entries, testApi, sizeof entries);
    } else {
        char error[256];
        library = static_cast<HMODULE>(sharedlibSystemLoad("pdh.dll", error, sizeof error));
        if (library == nullptr) {
            PERF_WARN("Could not load pdh.dll (%d)", static_cast<int>(GetLastError()));
            return false;
        }
        const char *names[] = {"PdhAddCounterA",
                               "PdhOpenQueryA",
                               "PdhCloseQuery",
                               "PdhCollectQueryData",
                               "PdhGetFormattedCounterValue",
                               "PdhEnumObjectItemsA",
                               "PdhRemoveCounter",
                               "PdhLookupPerfNameByIndexA",
                               "PdhMakeCounterPathA"};
        for (int i = 0; i < 9; ++i)
            entries[i] = sharedlibFindEntry(library, names[i]);
    }
    for (void *entry : entries) {
        if (entry == nullptr) {
            PERF_WARN("Failed to init pdh functions: %s.", "Required method could not be found.");
            if (library != nullptr)
                sharedlibUnload(library);
            return false;
        }
    }
    memcpy(&perfState.pdh, entries, sizeof entries);
    perfState.library = library;
    return true;
}

int initialise() {
    if (perfState.initialised)
        return 0;
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    perfState.processors = static_cast<int>(system.dwNumberOfProcessors);
    if (!perfState.bound) {
        if (!bindLibrary())
            return -2;
        perfState.bound = true;
    }
    const Figure figures[] = {
        {perfState.virtualSize, setUpVirtualSize, "Failed to init virtual size counter."},
        {perfState.processorLoad, setUpProcessorLoad, "Failed to init system load counters."},
        {perfState.processLoad, setUpProcessLoad, "Failed to init process load counter."},
        {perfState.processSystemLoad, setUpProcessSystemLoad, "Failed to init process system load counter."},
        {perfState.contextSwitches, setUpContextSwitches, "Failed to init context switch rate counter."},
    };
    for (const Figure &figure : figures) {
        if (figure.query.ready.load(std::memory_order_acquire))
            continue;
        if (!figure.setUp()) {
            PERF_WARN("%s", figure.failure);
            return 0;
        }
        figure.query.ready.store(true, std::memory_order_release);
    }
    perfState.initialised = true;
    return 0;
}

} // namespace

long perfClock(void) { return testClock != nullptr ? testClock() : static_cast<long>(clock()); }

int perfRead(PerfQuery &q, int index, DWORD format, PDH_FMT_COUNTERVALUE *value) {
    long now = perfClock();
    if (!q.collected || now - q.lastCollection > 500 || now < q.lastCollection) {
        if (pdh().collectQueryData(q.query) != ERROR_SUCCESS)
            return PERF_COLLECT_FAILED;
        q.lastCollection = now;
        q.collected = true;
    }
    if (pdh().getFormattedCounterValue(q.counters[index], format, nullptr, value) != ERROR_SUCCESS)
        return PERF_FORMAT_FAILED;
    return PERF_READ_OK;
}

int perfInit(void) {
    EnterCriticalSection(&perfInitLock);
    int result = initialise();
    LeaveCriticalSection(&perfInitLock);
    return result;
}

void perfUseForTesting(const PerfPdhApi *api, long (*clock)(void)) {
    testApi = api;
    testClock = clock;
}

void perfResetForTesting(void) {
    EnterCriticalSection(&perfInitLock);
    for (PerfQuery *q : {&perfState.virtualSize, &perfState.processorLoad, &perfState.processLoad,
                         &perfState.processSystemLoad, &perfState.contextSwitches}) {
        q->ready.store(false);
        if (perfState.bound)
            discard(*q);
        q->collected = false;
        q->lastCollection = 0;
    }
    if (perfState.library != nullptr)
        sharedlibUnload(perfState.library);
    perfState.library = nullptr;
    perfState.bound = false;
    perfState.initialised = false;
    perfState.lastSwitchRate = 0;
    perfState.processPathMade = false;
    perfState.processPath[0] = '\0';
    LeaveCriticalSection(&perfInitLock);
}
