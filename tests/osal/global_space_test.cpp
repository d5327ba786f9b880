// The global memory space and the environment switches read when the library loads: each
// setting gets a child process of its own, which reports what it found.
#include <gtest/gtest.h>

#include <malloc.h>
#include <stdio.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "child_process.h"
#include "osal/mspace.h"
#include "osal/sharedlib.h"
#include "test_paths.h"

namespace {

using Environment = std::vector<std::pair<std::string, std::string>>;

ChildResult runWith(const Environment &environment) {
    for (const auto &[name, value] : environment)
        SetEnvironmentVariableA(name.c_str(), value.c_str());
    ChildResult result = runScenario("global_space_facts");
    for (const auto &[name, value] : environment)
        SetEnvironmentVariableA(name.c_str(), nullptr);
    return result;
}

bool has(const ChildResult &result, const std::string &fact) {
    return result.out.find(fact + "\n") != std::string::npos || result.out.find(fact + "\r\n") != std::string::npos;
}

// Footprint added when the global space must grow for a small request.
size_t growthForSmallRequest(MSpace space) {
    MsMallinfo info;
    msMallinfo(&info, space);
    size_t before = msFootprint(space);
    void *filler = gsMalloc(info.keepcost - 64);
    void *small = gsMalloc(100);
    size_t growth = msFootprint(space) - before;
    gsFree(small);
    gsFree(filler);
    return growth;
}

} // namespace

CHILD_SCENARIO(global_space_facts) {
    MSpace global = globalMSpace();
    printf("global=%d\n", global != nullptr);
    void *block = gsMalloc(10);
    if (global == nullptr) {
        printf("runtimeHeap=%d\n", block != nullptr && _msize(block) >= 10);
    } else {
        printf("name=%s\n", msName(global));
        printf("footprint=%u\n", static_cast<unsigned>(msFootprint(global)));
        printf("owned=%d\n", msCheckOwnership(global, block));
        printf("traced=%d\n", msIsTracingAllocSites(global));
        printf("growth=%u\n", static_cast<unsigned>(growthForSmallRequest(global)));
        void *tagged = gsMallocAt(24, 0xABC);
        MSpaceUsage entry;
        msGetMSpaceDatabase(global, global, &entry);
        unsigned tagBlocks = 0;
        bool callerSite = false;
        char path[MAX_PATH];
        for (size_t i = 0; i < entry.siteCount; ++i) {
            if (entry.sites[i].site == 0xABC)
                tagBlocks = static_cast<unsigned>(entry.sites[i].blocks);
            if (entry.sites[i].site > 0xFFFF &&
                sharedLibGetDLLPath(path, sizeof path, reinterpret_cast<void *>(entry.sites[i].site)) == 0 &&
                thisProgramPath() == path)
                callerSite = true;
        }
        printf("tagBlocks=%u\n", tagBlocks);
        printf("callerSite=%d\n", callerSite);
        msFreeMSpaceDatabase(global, &entry);
        gsFree(tagged);
    }
    gsFree(block);
    MSpace space = msCreateStdMSpace(0, "fresh");
    printf("spaceTraced=%d\n", msIsTracingAllocSites(space));
    msDestroyMSpace(space);
    return 0;
}

TEST(GlobalSpace, WithoutSettingsTheRuntimeHeapServes) {
    ChildResult result = runWith({});
    EXPECT_TRUE(has(result, "global=0")) << result.out;
    EXPECT_TRUE(has(result, "runtimeHeap=1")) << result.out;
    EXPECT_TRUE(has(result, "spaceTraced=0")) << result.out;
    EXPECT_EQ(result.exitCode, 0u) << result.err;
}

TEST(GlobalSpace, AFalseUseOsMallocCreatesTheGlobalSpace) {
    for (const char *value : {"0", "yes"}) {
        ChildResult result = runWith({{"USE_OS_MALLOC", value}});
        EXPECT_TRUE(has(result, "global=1")) << value << ": " << result.out;
        EXPECT_TRUE(has(result, "name=Vantrel malloc")) << result.out;
        EXPECT_TRUE(has(result, "footprint=8388608")) << result.out;
        EXPECT_TRUE(has(result, "owned=1")) << result.out;
        EXPECT_TRUE(has(result, "traced=0")) << result.out;
        EXPECT_TRUE(has(result, "growth=8388608")) << "growth takes at least the global chunk size: " << result.out;
        EXPECT_EQ(result.exitCode, 0u) << result.err;
    }
    ChildResult truthy = runWith({{"USE_OS_MALLOC", "TRUE"}});
    EXPECT_TRUE(has(truthy, "global=0")) << truthy.out;
}

TEST(GlobalSpace, TheChunkSizeIsRoundedToPagesAndAppliesToGrowth) {
    ChildResult small = runWith({{"USE_OS_MALLOC", "0"}, {"MSMALLOC_GLOBAL_CHUNK_SIZE", "5000"}});
    EXPECT_TRUE(has(small, "footprint=8388608")) << "the first segment keeps the default: " << small.out;
    EXPECT_TRUE(has(small, "growth=65536")) << "8192 bytes ask for no more than the need: " << small.out;
    ChildResult rounded = runWith({{"USE_OS_MALLOC", "0"}, {"MSMALLOC_GLOBAL_CHUNK_SIZE", "100000"}});
    EXPECT_TRUE(has(rounded, "growth=102400")) << rounded.out;
    ChildResult ignored = runWith({{"MSMALLOC_GLOBAL_CHUNK_SIZE", "0"}});
    EXPECT_EQ(ignored.exitCode, 0u) << "without a global space the size is not read";
}

TEST(GlobalSpace, ABadChunkSizeIsReported) {
    // Zero, a negative size and one past any address space are all refused with the report.
    for (const char *value : {"0", "none", "-4096", "99999999999"}) {
        ChildResult result = runWith({{"USE_OS_MALLOC", "0"}, {"MSMALLOC_GLOBAL_CHUNK_SIZE", value}});
        EXPECT_EQ(result.exitCode, abortExitCode) << value;
        EXPECT_NE(result.err.find("Assertion failed: \"min_global_chunk_size != 0\" Bad value for "
                                  "MSMALLOC_GLOBAL_CHUNK_SIZE at msInit ("),
                  std::string::npos)
            << value << ": " << result.err;
    }
}

TEST(GlobalSpace, TraceAllocSitesTracesNewSpacesAndRecordsCallers) {
    ChildResult result = runWith({{"USE_OS_MALLOC", "0"}, {"TRACE_ALLOC_SITES", "True"}});
    EXPECT_TRUE(has(result, "traced=1")) << result.out;
    EXPECT_TRUE(has(result, "spaceTraced=1")) << result.out;
    EXPECT_TRUE(has(result, "tagBlocks=1")) << "gsMallocAt records the tag it is given: " << result.out;
    EXPECT_TRUE(has(result, "callerSite=1")) << "gsMalloc records its caller: " << result.out;
    ChildResult other = runWith({{"TRACE_ALLOC_SITES", "2"}});
    EXPECT_TRUE(has(other, "spaceTraced=0")) << other.out;
}
