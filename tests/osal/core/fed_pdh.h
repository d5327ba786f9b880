// A stand-in for the performance-data library: named counters whose values tests set, queries
// that take a snapshot of them when collected, and a clock the tests move.
#ifndef TESTS_OSAL_FAKE_PDH_H
#define TESTS_OSAL_FAKE_PDH_H

#include "perf_internal.h"

#include <map>
#include <set>
#include <string>
#include <vector>

struct FakePdh {
    std::map<DWORD, std::string> names;
    std::map<DWORD, PDH_STATUS> lookupErrors;
    std::set<DWORD> lookupFaults; // these lookups fault as the library does without privileges
    std::map<std::string, std::vector<std::string>> instances; // by object name
    std::map<std::string, PDH_STATUS> enumErrors;              // by object name: first call
    std::map<std::string, PDH_STATUS> enumSecondErrors;        // by object name: second call
    std::map<std::string, double> live;                        // counter path -> current value
    std::set<std::string> refuseAdd;
    std::set<std::string> refuseFormat;
    bool refuseOpen = false;
    bool refuseCollect = false;

    std::vector<std::string> added; // every path given to add, in order
    std::vector<DWORD> formats;     // every format asked for, in order
    int collections = 0;
    int openQueries = 0;
    long now = 1000;

    // Installs this fake and its clock in the performance-counter code, with a clean state.
    void install();
    // The usual machine: two processors, three processes of which the second of our name is us.
    void standardMachine();
};

extern FakePdh *fakePdh;
extern const PerfPdhApi fakePdhApi;

#endif
