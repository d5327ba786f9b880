// The hyper-threading policy of cpuInit, its messages and the system's answers about threads.
#include <gtest/gtest.h>

#include <windows.h>

#include "log_capture.h"
#include "osal/cpu.h"
#include "processors.h"

namespace {

using Lines = std::vector<std::string>;

struct Outcome {
    bool enabled;
    int cores;
    Lines messages;
};

Outcome policy(FedCpuid cpu, int flags, bool enabledByOs, int processors) {
    CpuInfo info = cpu.decode();
    LogCapture log(2);
    osalSetLogLevel(OSAL_LOG_CPUINFO, OSAL_LEVEL_INFO);
    int cores = cpuApplyPolicy(&info, flags, enabledByOs, processors);
    EXPECT_EQ(cores, info.cores);
    EXPECT_EQ(info.hwThreads, processors);
    Lines messages;
    for (const std::string &text : log.texts(OSAL_LOG_CPUINFO))
        if (text.rfind("HT", 0) == 0 || text.rfind("Warning", 0) == 0)
            messages.push_back(text);
    return {info.htEnabled, cores, messages};
}

} // namespace

TEST(CpuPolicy, TheSystemsAnswerDecidesByDefault) {
    Outcome on = policy(nehalem(), 0, true, 8);
    EXPECT_TRUE(on.enabled);
    EXPECT_EQ(on.cores, 4);
    EXPECT_EQ(on.messages, Lines{"HT is: supported by the CPU, enabled by the OS, enabled in Vantrel."});
    Outcome off = policy(nehalem(), 0, false, 8);
    EXPECT_FALSE(off.enabled);
    EXPECT_EQ(off.cores, 8);
    EXPECT_EQ(off.messages, Lines{"HT is: supported by the CPU, not enabled by the OS, not enabled in Vantrel."});
}

TEST(CpuPolicy, TrustingTheProcessorOverridesTheSystem) {
    Outcome outcome = policy(nehalem(), CPU_HT_TRUST_CPU, false, 8);
    EXPECT_TRUE(outcome.enabled);
    EXPECT_EQ(outcome.messages, (Lines{"HT is: supported by the CPU, not enabled by the OS, enabled in Vantrel.",
                                       "Warning: HT enabled even though OS does not seem to support it."}));
}

TEST(CpuPolicy, ForcingOnAndOff) {
    Outcome forced = policy(harpertown(), CPU_HT_FORCE_ON | CPU_HT_FORCE_OFF, false, 4);
    EXPECT_TRUE(forced.enabled);
    EXPECT_EQ(forced.cores, 2);
    EXPECT_EQ(forced.messages,
              (Lines{"HT is: not supported by the CPU, not enabled by the OS, enabled in Vantrel.",
                     "Warning: HT enabled even though OS does not seem to support it.",
                     "Warning: HT enabled even though CPU does not seem to support it."}));
    Outcome off = policy(nehalem(), CPU_HT_FORCE_OFF, true, 8);
    EXPECT_FALSE(off.enabled);
    EXPECT_EQ(off.cores, 8);
}

TEST(CpuPolicy, ASingleProcessorNeverRunsWithHyperThreading) {
    Outcome outcome = policy(nehalem(), CPU_HT_FORCE_ON, true, 1);
    EXPECT_FALSE(outcome.enabled);
    EXPECT_EQ(outcome.cores, 1);
    EXPECT_EQ(outcome.messages, (Lines{"Warning: Single CPU system, HT will now be disabled.",
                                       "HT is: supported by the CPU, enabled by the OS, not enabled in Vantrel."}));
}

TEST(CpuPolicy, OnlyIntelProcessorsGetThePolicy) {
    Outcome outcome = policy(phenom(), CPU_HT_FORCE_ON, true, 4);
    EXPECT_FALSE(outcome.enabled);
    EXPECT_EQ(outcome.cores, 4);
    EXPECT_TRUE(outcome.messages.empty());
}

TEST(CpuPolicy, SummaryAndRawLines) {
    CpuInfo info = phenom().decode();
    LogCapture log(OSAL_LEVEL_INFO);
    cpuApplyPolicy(&info, 0, false, 4);
    EXPECT_EQ(log.texts(OSAL_LOG_CPUINFO),
              (Lines{"CPU:       AMD Opteron QC/Phenom SSE SSE2 SSE3 SSE4A AMD64", "Vendor:    AuthenticAMD",
                     "Family:    Opteron QC/Phenom", "Model:     <unknown>",
                     "Brand:     AMD Phenom(tm) 9550 Quad-Core Processor", "Sockets:   1", "Cores:     4",
                     "HWThreads: 4",
                     "Supports:  On-Chip FPU, Virtual Mode Extensions, Debugging Extensions, Page Size Extensions, "
                     "Time Stamp Counter, Model Specific Registers, Physical Address Extension, Machine Check "
                     "Exceptions, CMPXCHG8B Instruction, On-Chip APIC, Fast System Call, Memory Type Range Registers, "
                     "Page Global Enable, Machine Check Architecture, Conditional Mov Instruction, Page Attribute "
                     "Table, 36-bit Page Size Extension, the CLFLUSH Instruction, Intel Architecture MMX Technology, "
                     "Fast Floating Point Save and Restore, Streaming SIMD extensions, Streaming SIMD extensions 2, "
                     "Hyper Threading, Streaming SIMD Extensions 3, MONITOR/MWAIT instructions, CMPXCHG16B, "
                     "Popcount instruction, LAHF/SAHF instruction support, Advanced Bit Manipulations: LZCNT, "
                     "SSE4A: MOVNTSS, MOVNTSD, EXTRQ, INSERTQ, Misaligned SSE mode, Prefetch and PrefetchW support, "
                     "SYSCALL/SYSRET, Execute Disable Bit, RDTSCP, Intel 64 Architecture",
                     "Supports:  Invariant TSC"}));
    EXPECT_EQ(log.texts(OSAL_LOG_CPUID),
              (Lines{"CPU:          AMD Opteron QC/Phenom SSE SSE2 SSE3 SSE4A AMD64", "Vendor:       AuthenticAMD",
                     "Family:       0x10", "Model:        0x2", "Stepping:     0x2", "Ext. Family:  0x1",
                     "Ext. Model:   0x0", "Type:         0x0", "Max Cores p. pack.: 4", "Max Proc IDs:       4",
                     "Signature:    0x00100f22", "Features ecx: 0x00802009", "Features edx: 0x178bfbff",
                     "Extended features eax: 0x00100f22", "Extended features ebx: 0x00000000",
                     "Extended features ecx: 0x000001e1", "Extended features edx: 0x28100800"}));
    for (const LoggedLine &line : log.lines())
        EXPECT_EQ(line.level, OSAL_LEVEL_INFO) << line.text;
}

TEST(CpuPolicy, NothingIsLoggedAtTheDefaultLevels) {
    CpuInfo info = nehalem().decode();
    LogCapture log(2);
    cpuApplyPolicy(&info, CPU_HT_FORCE_ON, false, 1);
    EXPECT_TRUE(log.lines().empty());
}

namespace {

// Answers leaf 1 with the initial APIC id of the processor the calling thread runs on, as the
// affinity method reads it: the second processor it visits reports a logical id of 1.
struct ApicByVisit {
    int visits = 0;
    static void answer(void *context, uint32_t leaf, uint32_t, CpuidRegs *regs) {
        auto *self = static_cast<ApicByVisit *>(context);
        *regs = CpuidRegs{0, 0, 0, 0};
        if (leaf == 1)
            regs->ebx = static_cast<uint32_t>(self->visits++ == 1 ? 1 : 0) << 24;
    }
};

int processorsOf(DWORD_PTR mask) {
    int count = 0;
    for (; mask != 0; mask &= mask - 1)
        ++count;
    return count;
}

} // namespace

TEST(CpuHtDetection, PinningToEachProcessorRestoresTheAffinity) {
    DWORD_PTR before, system;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &before, &system));
    if (processorsOf(before) < 2)
        GTEST_SKIP() << "one processor";
    ApicByVisit cpuid;
    bool enabled = false;
    LogCapture log(OSAL_LEVEL_INFO);
    ASSERT_TRUE(cpuHtByAffinity(1, ApicByVisit::answer, &cpuid, &enabled));
    EXPECT_TRUE(enabled);
    EXPECT_EQ(cpuid.visits, 2);
    DWORD_PTR after;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &after, &system));
    EXPECT_EQ(after, before);
    EXPECT_EQ(log.texts(OSAL_LOG_CPUINFO),
              Lines{"Detected SMP with " + std::to_string(processorsOf(system)) + " CPUs that support HT.\n"});

    ApicByVisit masked;
    ASSERT_TRUE(cpuHtByAffinity(0, ApicByVisit::answer, &masked, &enabled));
    EXPECT_FALSE(enabled);
    EXPECT_EQ(masked.visits, processorsOf(before));
}

TEST(CpuHtDetection, TheSystemsProcessorTableAnswers) {
    bool enabled = true;
    ASSERT_TRUE(cpuHtByProcessorInformation(&enabled));
    // Cross-check with the table itself: a core with two threads shows up as a set flag.
    DWORD length = 0;
    GetLogicalProcessorInformation(nullptr, &length);
    std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> records(length / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
    ASSERT_TRUE(GetLogicalProcessorInformation(records.data(), &length));
    bool siblings = false;
    for (const auto &record : records)
        siblings |= record.Relationship == RelationProcessorCore && record.ProcessorCore.Flags == 1;
    EXPECT_EQ(enabled, siblings);
}
