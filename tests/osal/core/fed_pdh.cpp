#include "fed_pdh.h"

#include <pdhmsg.h>

#include <cstring>
#include <memory>

FakePdh *fakePdh = nullptr;

namespace {

struct FakeCounter {
    std::string path;
    int query;
    double value;
    bool hasValue;
};

std::vector<std::unique_ptr<FakeCounter>> counters;

PDH_STATUS status(DWORD code) { return static_cast<PDH_STATUS>(code); }

PDH_STATUS WINAPI addCounter(PDH_HQUERY query, LPCSTR path, DWORD_PTR, PDH_HCOUNTER *counter) {
    fakePdh->added.push_back(path);
    if (fakePdh->refuseAdd.count(path) || fakePdh->live.count(path) == 0)
        return status(PDH_CSTATUS_NO_COUNTER);
    counters.push_back(std::make_unique<FakeCounter>(
        FakeCounter{path, static_cast<int>(reinterpret_cast<intptr_t>(query)), 0, false}));
    *counter = counters.back().get();
    return ERROR_SUCCESS;
}

PDH_STATUS WINAPI openQuery(LPCSTR, DWORD_PTR, PDH_HQUERY *query) {
    if (fakePdh->refuseOpen)
        return status(PDH_MEMORY_ALLOCATION_FAILURE);
    *query = reinterpret_cast<PDH_HQUERY>(static_cast<intptr_t>(++fakePdh->openQueries));
    return ERROR_SUCCESS;
}

PDH_STATUS WINAPI closeQuery(PDH_HQUERY) { return ERROR_SUCCESS; }

PDH_STATUS WINAPI collectQueryData(PDH_HQUERY query) {
    if (fakePdh->refuseCollect)
        return status(PDH_NO_DATA);
    ++fakePdh->collections;
    bool any = false;
    for (auto &counter : counters) {
        if (counter->query != static_cast<int>(reinterpret_cast<intptr_t>(query)))
            continue;
        auto live = fakePdh->live.find(counter->path);
        if (live == fakePdh->live.end())
            continue;
        counter->value = live->second;
        counter->hasValue = true;
        any = true;
    }
    return any ? ERROR_SUCCESS : status(PDH_NO_DATA);
}

PDH_STATUS WINAPI getFormattedCounterValue(PDH_HCOUNTER handle, DWORD format, LPDWORD, PPDH_FMT_COUNTERVALUE value) {
    auto *counter = static_cast<FakeCounter *>(handle);
    fakePdh->formats.push_back(format);
    if (!counter->hasValue || fakePdh->refuseFormat.count(counter->path))
        return status(PDH_INVALID_DATA);
    value->CStatus = 0;
    if (format & PDH_FMT_LONG)
        value->longValue = static_cast<LONG>(counter->value);
    else if (format & PDH_FMT_LARGE)
        value->largeValue = static_cast<LONGLONG>(counter->value);
    else
        // As the library does, only percentages are held at 100 unless asked otherwise.
        value->doubleValue = (format & PDH_FMT_NOCAP100) || counter->path.find('%') == std::string::npos ||
                                     counter->value <= 100
                                 ? counter->value
                                 : 100;
    return ERROR_SUCCESS;
}

PDH_STATUS WINAPI enumObjectItems(LPCSTR, LPCSTR, LPCSTR object, LPSTR counterList, LPDWORD counterSize,
                                  LPSTR instanceList, LPDWORD instanceSize, DWORD detail, DWORD) {
    if (detail != PERF_DETAIL_WIZARD)
        return status(PDH_INVALID_ARGUMENT);
    auto found = fakePdh->instances.find(object);
    if (found == fakePdh->instances.end())
        return status(PDH_CSTATUS_NO_OBJECT);
    std::string counterText = std::string("counter") + '\0' + '\0';
    std::string instanceText;
    for (const std::string &name : found->second)
        instanceText += name + '\0';
    instanceText += '\0';
    bool asking = counterList == nullptr && instanceList == nullptr;
    auto error = (asking ? fakePdh->enumErrors : fakePdh->enumSecondErrors).find(object);
    if (error != (asking ? fakePdh->enumErrors : fakePdh->enumSecondErrors).end())
        return error->second;
    if (asking || *counterSize < counterText.size() || *instanceSize < instanceText.size()) {
        *counterSize = static_cast<DWORD>(counterText.size());
        *instanceSize = static_cast<DWORD>(instanceText.size());
        return status(PDH_MORE_DATA);
    }
    memcpy(counterList, counterText.data(), counterText.size());
    memcpy(instanceList, instanceText.data(), instanceText.size());
    return ERROR_SUCCESS;
}

PDH_STATUS WINAPI removeCounter(PDH_HCOUNTER) { return ERROR_SUCCESS; }

PDH_STATUS WINAPI lookupPerfNameByIndex(LPCSTR, DWORD index, LPSTR name, LPDWORD size) {
    if (fakePdh->lookupFaults.count(index) != 0) {
        // A real access violation, as the library causes it.
        volatile int *volatile nowhere = nullptr;
        *nowhere = 1;
    }
    auto error = fakePdh->lookupErrors.find(index);
    if (error != fakePdh->lookupErrors.end())
        return error->second;
    auto found = fakePdh->names.find(index);
    if (found == fakePdh->names.end())
        return status(PDH_INVALID_ARGUMENT);
    if (found->second.size() + 1 > *size)
        return status(PDH_INSUFFICIENT_BUFFER);
    memcpy(name, found->second.c_str(), found->second.size() + 1);
    return ERROR_SUCCESS;
}

PDH_STATUS WINAPI makeCounterPath(PPDH_COUNTER_PATH_ELEMENTS_A, LPSTR, LPDWORD, DWORD) {
    return status(PDH_NOT_IMPLEMENTED);
}

long fakeClock() { return fakePdh->now; }

} // namespace

const PerfPdhApi fakePdhApi = {addCounter, openQuery, closeQuery, collectQueryData, getFormattedCounterValue,
                               enumObjectItems, removeCounter, lookupPerfNameByIndex, makeCounterPath};

void FakePdh::install() {
    perfResetForTesting();
    counters.clear();
    fakePdh = this;
    perfUseForTesting(&fakePdhApi, fakeClock);
}

void FakePdh::standardMachine() {
    names = {{230, "Process"},         {784, "ID Process"}, {174, "Virtual Bytes"},
             {238, "Processor"},       {6, "% Processor Time"}, {144, "% Privileged Time"},
             {2, "System"},            {146, "Context Switches/sec"}};
    instances["Process"] = {"Idle", "tovane_core_tests", "svchost", "TOVANE_CORE_TESTS"};
    instances["Processor"] = {"0", "1", "_Total"};
    const std::string self = "\\Process(tovane_core_tests#1)";
    live = {
        {"\\Process(tovane_core_tests#0)\\ID Process", 4},
        {"\\Process(tovane_core_tests#1)\\ID Process", static_cast<double>(GetCurrentProcessId())},
        {self + "\\Virtual Bytes", 123456789012.0},
        {self + "\\% Processor Time", 0},
        {self + "\\% Privileged Time", 0},
        {"\\Processor(0)\\% Processor Time", 20},
        {"\\Processor(1)\\% Processor Time", 80},
        {"\\Processor(_Total)\\% Processor Time", 50},
        {"\\System\\Context Switches/sec", 1500},
    };
}
