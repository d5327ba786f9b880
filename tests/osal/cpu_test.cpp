// The processor this test runs on, as the OS layer describes it.
#include <gtest/gtest.h>

#include <cpuid.h>
#include <string.h>

#include <string>

#include "osal/cpu.h"
#include "osal/os_info.h"

namespace {

struct Leaf1 {
    unsigned eax, ebx, ecx, edx;
};

Leaf1 leaf1() {
    Leaf1 r;
    __cpuid(1, r.eax, r.ebx, r.ecx, r.edx);
    return r;
}

std::string vendor() {
    unsigned eax, ebx, ecx, edx;
    __cpuid(0, eax, ebx, ecx, edx);
    char text[13];
    memcpy(text, &ebx, 4);
    memcpy(text + 4, &edx, 4);
    memcpy(text + 8, &ecx, 4);
    text[12] = '\0';
    return text;
}

} // namespace

TEST(CpuOfThisMachine, FeatureQueriesMatchTheInstruction) {
    Leaf1 r = leaf1();
    EXPECT_EQ(cpuIsGenuineIntel(), vendor() == "GenuineIntel");
    EXPECT_EQ(cpuIsAuthenticAMD(), vendor() == "AuthenticAMD");
    EXPECT_EQ(cpuHasClflush(), static_cast<int>((r.edx >> 19) & 1));
    EXPECT_EQ(cpuHasSSE(), static_cast<int>((r.edx >> 25) & 1));
    EXPECT_EQ(cpuHasSSE2(), static_cast<int>((r.edx >> 26) & 1));
    EXPECT_EQ(cpuHasSSE3(), static_cast<int>(r.ecx & 1));
    EXPECT_EQ(cpuHasSSSE3(), static_cast<int>((r.ecx >> 9) & 1));
    EXPECT_EQ(cpuHasSSE4_1(), static_cast<int>((r.ecx >> 19) & 1));
    EXPECT_EQ(cpuHasSSE4_2(), static_cast<int>((r.ecx >> 20) & 1));
    EXPECT_EQ(cpuHasPopCount(), static_cast<int>((r.ecx >> 23) & 1));
    EXPECT_EQ(cpuIsRunningHypervisor(), static_cast<int>(r.ecx >> 31));
    EXPECT_EQ(cpuGetClflushSize(), static_cast<int>((r.ebx >> 8) & 0xff));
    EXPECT_GE(cpuGetSockets(), 1);
}

TEST(CpuOfThisMachine, TheRuntimeCanRunHere) { EXPECT_EQ(cpuGetNotSupportedMessage(), nullptr); }

TEST(CpuOfThisMachine, InitCountsTheSystemsProcessors) {
    int cores = cpuInit(0);
    int processors = osGetNumberOfProcessors();
    EXPECT_EQ(cpuGetHWThreads(), processors);
    EXPECT_EQ(cpuGetCores(), cores);
    EXPECT_EQ(cores, cpuHyperThreadingEnabled() ? processors / 2 : processors);
    if (!cpuIsGenuineIntel()) {
        EXPECT_EQ(cpuHyperThreadingEnabled(), 0);
    }
    EXPECT_EQ(cpuInit(CPU_HT_FORCE_OFF), processors);
    EXPECT_EQ(cpuHyperThreadingEnabled(), 0);
}

TEST(CpuOfThisMachine, DescriptionsNameTheVendorAndFitAnyBuffer) {
    char text[4096];
    int length = cpuDescribe(text, sizeof text);
    EXPECT_EQ(length, static_cast<int>(strlen(text)));
    std::string description = text;
    const char *word = cpuIsGenuineIntel() ? "Intel " : cpuIsAuthenticAMD() ? "AMD " : "Unknown x86 ";
    EXPECT_EQ(description.rfind(word, 0), 0u) << description;
    EXPECT_NE(description.find(" SSE SSE2"), std::string::npos) << description;

    length = cpuDetails(text, sizeof text);
    EXPECT_EQ(length, static_cast<int>(strlen(text)));
    std::string details = text;
    EXPECT_EQ(details.rfind("Brand: ", 0), 0u);
    EXPECT_NE(details.find(", Vendor: " + vendor() + "\nFamily: "), std::string::npos) << details;
    EXPECT_NE(details.find("\nSupports: On-Chip FPU, "), std::string::npos) << details;

    char area[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(cpuDescribe(area + 1, 0), 0);
    EXPECT_EQ(cpuDetails(area + 1, 0), 0);
    EXPECT_EQ(std::string(area, 4), "####");
    EXPECT_EQ(cpuDescribe(area + 1, 1), 0);
    EXPECT_EQ(std::string(area, 4), std::string("#\0##", 4));
    area[1] = '#';
    EXPECT_EQ(cpuDetails(area + 1, 2), 1);
    EXPECT_EQ(std::string(area, 4), std::string("#B\0#", 4));
    EXPECT_EQ(cpuDescribe(nullptr, 100), 0);
}
