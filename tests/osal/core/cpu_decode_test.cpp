// Decoding of processor identification leaves, the queries answered from them and the texts.
#include <gtest/gtest.h>

#include <string>

#include "osal/cpu.h"
#include "processors.h"

namespace {

std::string describe(const CpuInfo &info) {
    char text[256];
    int length = cpuDescribeInfo(&info, text, sizeof text);
    EXPECT_EQ(length, static_cast<int>(strlen(text)));
    return text;
}

std::string details(const CpuInfo &info) {
    char text[4096];
    int length = cpuDetailsInfo(&info, text, sizeof text);
    EXPECT_EQ(length, static_cast<int>(strlen(text)));
    return text;
}

} // namespace

TEST(CpuDecode, HarpertownIsACoreArchitecturePart) {
    CpuInfo info = harpertown().decode();
    EXPECT_STREQ(info.vendor, "GenuineIntel");
    EXPECT_EQ(info.family, 6u);
    EXPECT_EQ(info.model, 23u);
    EXPECT_EQ(info.stepping, 6u);
    EXPECT_EQ(info.logicalPerPackage, 4u);
    EXPECT_EQ(info.coresPerPackage, 4u);
    EXPECT_FALSE(info.htSupportedByCpu);
    EXPECT_STREQ(info.brand, "Intel(R) Xeon(R) CPU E5450 @ 3.00GHz");

    CpuStateSwap swap(info);
    EXPECT_EQ(cpuIsGenuineIntel(), 1);
    EXPECT_EQ(cpuIsAuthenticAMD(), 0);
    EXPECT_EQ(cpuHasCoreArch(), 1);
    EXPECT_EQ(cpuIsHarpertown(), 1);
    EXPECT_EQ(cpuIsNehalem(), 0);
    EXPECT_EQ(cpuIsDunnington(), 0);
    EXPECT_EQ(cpuHasNetBurst(), 0);
    EXPECT_EQ(cpuGetSockets(), 1);
    EXPECT_EQ(cpuGetClflushSize(), 8);
    EXPECT_EQ(cpuGetL1DCacheLineSize(), 64);
    EXPECT_EQ(cpuGetSelfModifyingStoreAtomicRegionSize(), 64);
    EXPECT_EQ(cpuHasSSE3(), 1);
    EXPECT_EQ(cpuHasSSSE3(), 1);
    EXPECT_EQ(cpuHasSSE4_1(), 1);
    EXPECT_EQ(cpuHasSSE4_2(), 0);
    EXPECT_EQ(cpuHasPopCount(), 0);
    EXPECT_EQ(cpuHasInvariantTSC(), 0);
    EXPECT_EQ(cpuIsRunningHypervisor(), 0);
    EXPECT_EQ(cpuGetNotSupportedMessage(), nullptr);
}

TEST(CpuDecode, HarpertownTexts) {
    CpuInfo info = harpertown().decode();
    EXPECT_EQ(describe(info), "Intel Core 2 SSE SSE2 SSE3 SSSE3 SSE4.1 Core Intel64");
    EXPECT_EQ(details(info),
              "Brand: Intel(R) Xeon(R) CPU E5450 @ 3.00GHz, Vendor: GenuineIntel\n"
              "Family: Pentium Pro (0x6), Model: Core 2 (0x17), Stepping: 0x6\n"
              "Ext. family: 0x0, Ext. model: 0x1, Type: 0x0, Signature: 0x00010676\n"
              "Features: ebx: 0x00040800, ecx: 0x00080201, edx: 0x17888111\n"
              "Ext. features: eax: 0x00000000, ebx: 0x00000000, ecx: 0x00000001, edx: 0x20100800\n"
              "Supports: On-Chip FPU, Time Stamp Counter, CMPXCHG8B Instruction, Conditional Mov Instruction, "
              "the CLFLUSH Instruction, Intel Architecture MMX Technology, Fast Floating Point Save and Restore, "
              "Streaming SIMD extensions, Streaming SIMD extensions 2, Hyper Threading, Streaming SIMD Extensions 3, "
              "Supplemental Streaming SIMD Extensions 3, Streaming SIMD extensions 4.1, LAHF/SAHF instruction support, "
              "SYSCALL/SYSRET, Execute Disable Bit, Intel 64 Architecture");
}

TEST(CpuDecode, NehalemHasThreadsPerCoreAndTwoSocketsWorthOfLogicalIds) {
    CpuInfo info = nehalem().decode();
    EXPECT_EQ(info.model, 26u);
    EXPECT_EQ(info.logicalPerPackage, 16u);
    EXPECT_EQ(info.coresPerPackage, 8u);
    EXPECT_EQ(info.sockets, 2u);
    EXPECT_TRUE(info.htSupportedByCpu);
    EXPECT_TRUE(info.invariantTsc);
    CpuStateSwap swap(info);
    EXPECT_EQ(cpuHasCoreArch(), 1);
    EXPECT_EQ(cpuIsNehalem(), 1);
    EXPECT_EQ(cpuIsHarpertown(), 0);
    EXPECT_EQ(cpuHasSSE4_2(), 1);
    EXPECT_EQ(cpuHasPopCount(), 1);
    EXPECT_EQ(cpuHasInvariantTSC(), 1);
    EXPECT_EQ(describe(info), "Intel Core i7 SSE SSE2 SSE3 SSSE3 SSE4.1 SSE4.2 Core Intel64");
}

TEST(CpuDecode, CoreModelsByNumber) {
    struct Case {
        uint32_t signature;
        const char *name;
        bool nehalem, dunnington;
    };
    for (Case c : {Case{0x000206C2, "Westmere", true, false}, Case{0x000206E6, "Nehalem-EX", true, false},
                   Case{0x000106D1, "Core 2", false, true}, Case{0x000006FB, "Core 2", false, false}}) {
        FedCpuid cpu = harpertown();
        cpu.leaf(1, c.signature, 0x00040800, 0x00080201, 0x17888111);
        CpuInfo info = cpu.decode();
        EXPECT_TRUE(info.coreArch) << c.name;
        EXPECT_STREQ(cpuFamilyOrModelName(&info), c.name);
        CpuStateSwap swap(info);
        EXPECT_EQ(cpuIsNehalem(), c.nehalem) << std::hex << c.signature;
        EXPECT_EQ(cpuIsDunnington(), c.dunnington) << std::hex << c.signature;
    }
}

TEST(CpuDecode, Family6ModelsWithoutCoreArchitecture) {
    FedCpuid cpu = harpertown();
    cpu.leaf(1, 0x000106C2, 0x00040800, 0x00080201, 0x17888111); // model 28
    CpuInfo info = cpu.decode();
    EXPECT_FALSE(info.coreArch);
    EXPECT_EQ(cpuFamilyOrModelName(&info), nullptr);
    EXPECT_EQ(describe(info), "Intel  SSE SSE2 SSE3 SSSE3 SSE4.1 Intel64");
    cpu.leaf(1, 0x000106B1, 0x00040800, 0, 0x17888111); // model 27
    info = cpu.decode();
    EXPECT_STREQ(cpuModelName(&info), "Atom");
    cpu.leaf(1, 0x00000686, 0, 0, 0x0383FBFF); // model 8
    info = cpu.decode();
    EXPECT_STREQ(cpuModelName(&info), "Pentium III/Pentium III Xeon");
    cpu.leaf(1, 0x00000543, 0, 0, 0x008001BF); // family 5 model 4: past the table
    info = cpu.decode();
    EXPECT_EQ(cpuModelName(&info), nullptr);
    EXPECT_STREQ(cpuFamilyOrModelName(&info), "Pentium");
    cpu.leaf(1, 0x00000533, 0, 0, 0x008001BF);
    info = cpu.decode();
    EXPECT_STREQ(cpuModelName(&info), "MMX");
}

TEST(CpuDecode, CoresFallBackToTheLogicalCountOnLaterFamily6Parts) {
    FedCpuid cpu = harpertown();
    cpu.leaf(1, 0x000006F6, 0x00020800, 0x00000201, 0x17888111).leaf(4, 0, 0, 0, 0);
    CpuInfo info = cpu.decode();
    EXPECT_EQ(info.coresPerPackage, 2u);
    EXPECT_FALSE(info.htSupportedByCpu);
}

TEST(CpuDecode, Pentium4IsNetBurstWithOneSocket) {
    CpuInfo info = pentium4().decode();
    EXPECT_EQ(info.family, 15u);
    EXPECT_EQ(info.coresPerPackage, 1u);
    EXPECT_EQ(info.logicalPerPackage, 2u);
    EXPECT_TRUE(info.htSupportedByCpu);
    EXPECT_EQ(info.sockets, 1u);
    EXPECT_FALSE(info.hasBrand);
    CpuStateSwap swap(info);
    EXPECT_EQ(cpuHasNetBurst(), 1);
    EXPECT_EQ(cpuGetL1DCacheLineSize(), 64);
    EXPECT_EQ(describe(info), "Intel Pentium 4 SSE SSE2 NetBurst");
    EXPECT_EQ(details(info),
              "Brand: Intel Pentium 4 processor, Vendor: GenuineIntel\n"
              "Family: Pentium 4 (0xf), Model: <unknown> (0x2), Stepping: 0x9\n"
              "Ext. family: 0x0, Ext. model: 0x0, Type: 0x0, Signature: 0x00000f29\n"
              "Features: ebx: 0x00020808, ecx: 0x00000000, edx: 0x17888111\n"
              "Ext. features: eax: 0x00000000, ebx: 0x00000000, ecx: 0x00000000, edx: 0x00000000\n"
              "Supports: On-Chip FPU, Time Stamp Counter, CMPXCHG8B Instruction, Conditional Mov Instruction, "
              "the CLFLUSH Instruction, Intel Architecture MMX Technology, Fast Floating Point Save and Restore, "
              "Streaming SIMD extensions, Streaming SIMD extensions 2, Hyper Threading");
}

TEST(CpuDecode, BrandIndexNamesAndTheirGaps) {
    FedCpuid cpu = pentium4();
    struct Case {
        uint32_t index;
        const char *name;
    };
    for (Case c : {Case{1, "Celeron processor"}, Case{2, "Pentium III processor"},
                   Case{3, "Intel Pentium III Xeon processor"}, Case{0, nullptr}, Case{4, nullptr},
                   Case{9, nullptr}}) {
        cpu.leaf(1, 0x00000F29, 0x00020800 | c.index, 0, 0x17888111);
        CpuInfo info = cpu.decode();
        if (c.name == nullptr) {
            EXPECT_EQ(cpuBrandName(&info), nullptr) << c.index;
            EXPECT_EQ(details(info).substr(0, 20), "Brand: <unknown>, Ve");
        } else {
            EXPECT_STREQ(cpuBrandName(&info), c.name);
        }
    }
}

TEST(CpuDecode, PhenomIsAmdFamily10h) {
    CpuInfo info = phenom().decode();
    EXPECT_EQ(info.family, 16u);
    EXPECT_EQ(info.coresPerPackage, 4u);
    EXPECT_EQ(info.sockets, 1u);
    EXPECT_FALSE(info.htSupportedByCpu);
    CpuStateSwap swap(info);
    EXPECT_EQ(cpuIsAuthenticAMD(), 1);
    EXPECT_EQ(cpuIsAMD10H(), 1);
    EXPECT_EQ(cpuIsAMD11H(), 0);
    EXPECT_EQ(cpuHasK8(), 0);
    EXPECT_EQ(cpuHasCoreArch(), 0);
    EXPECT_EQ(cpuHasInvariantTSC(), 1);
    EXPECT_EQ(cpuGetL1DCacheLineSize(), 64);
    EXPECT_EQ(cpuGetSelfModifyingStoreAtomicRegionSize(), 8);
    EXPECT_EQ(describe(info), "AMD Opteron QC/Phenom SSE SSE2 SSE3 SSE4A AMD64");
}

TEST(CpuDecode, OtherAmdFamilies) {
    FedCpuid cpu = phenom();
    cpu.leaf(1, 0x00200F31, 0x00020800, 0x00002001, 0x178BFBFF);
    CpuInfo info = cpu.decode();
    EXPECT_EQ(info.family, 17u);
    EXPECT_TRUE(info.amd11h);
    EXPECT_EQ(describe(info), "AMD  SSE SSE2 SSE3 SSE4A AMD64");
    {
        CpuStateSwap swap(info);
        EXPECT_EQ(cpuIsAMD11H(), 1);
        EXPECT_EQ(cpuGetL1DCacheLineSize(), 32);
        EXPECT_EQ(cpuGetSelfModifyingStoreAtomicRegionSize(), 8);
    }
    cpu.leaf(1, 0x00020F32, 0x00020800, 0x00000001, 0x178BFBFF);
    info = cpu.decode();
    EXPECT_EQ(info.family, 15u);
    EXPECT_TRUE(info.k8);
    EXPECT_EQ(describe(info), "AMD Opteron/Athlon64 SSE SSE2 SSE3 SSE4A AMD64");
    cpu.leaf(1, 0x00000543, 0, 0, 0x008001BF);
    info = cpu.decode();
    EXPECT_STREQ(cpuFamilyName(&info), "K5/K6");
    EXPECT_EQ(cpuModelName(&info), nullptr);
}

TEST(CpuDecode, UnknownVendorsUseTheIntelFamilyNames) {
    FedCpuid cpu;
    cpu.vendor(0, 1, "CentaurHauls")
        .leaf(1, 0x000006F2, 0, 0x00000001, 0x0781FBFF)
        .vendor(0x80000000, 0x80000001, "CentaurHauls")
        .leaf(0x80000001, 0, 0, 0, 0x20100000);
    CpuInfo info = cpu.decode();
    EXPECT_FALSE(info.genuineIntel);
    EXPECT_FALSE(info.coreArch);
    EXPECT_EQ(describe(info), "Unknown x86 Pentium Pro SSE SSE2 SSE3 x86_64");
}

TEST(CpuDecode, WhatTheEmulatorOfThisMachineAnswers) {
    CpuInfo info = emulatedTcg().decode();
    EXPECT_EQ(info.family, 6u);
    EXPECT_EQ(info.model, 6u);
    EXPECT_STREQ(info.brand, "QEMU TCG CPU version 2.5+");
    EXPECT_EQ(describe(info), "AMD Athlon/AthlonXP SSE SSE2 SSE3 SSSE3 SSE4.1 SSE4.2 SSE4A AMD64");
    // An AMD part gets no Intel model name.
    const std::string start = "Brand: QEMU TCG CPU version 2.5+, Vendor: AuthenticAMD\n"
                              "Family: Athlon/AthlonXP (0x6), Model: <unknown> (0x6), Stepping: 0x3\n";
    EXPECT_EQ(details(info).substr(0, start.size()), start);
}

TEST(CpuDecode, WhatThisMachinesProcessorAnswersNatively) {
    CpuInfo info = hostTurin().decode();
    EXPECT_EQ(info.family, 26u);
    EXPECT_EQ(info.model, 2u);
    EXPECT_EQ(info.stepping, 1u);
    EXPECT_STREQ(info.brand, "Oxide Virtual Turin-like Processor             ");
    EXPECT_EQ(describe(info), "AMD  SSE SSE2 SSE3 SSSE3 SSE4.1 SSE4.2 SSE4A AMD64");
}

TEST(CpuDecode, ProcessorsThatCannotRunTheRuntime) {
    FedCpuid cpu = pentium4();
    cpu.leaf(1, 0x00000F29, 0, 0, 0x03808001); // no SSE2
    CpuInfo info = cpu.decode();
    {
        CpuStateSwap swap(info);
        EXPECT_STREQ(cpuGetNotSupportedMessage(),
                     "Your CPU does not support the SSE2 instruction set required to run Vantrel.");
    }
    cpu.leaf(1, 0x00000F29, 0, 0, 0x07800001); // SSE2, no CMOV
    info = cpu.decode();
    {
        CpuStateSwap swap(info);
        EXPECT_STREQ(cpuGetNotSupportedMessage(), "Vantrel needs at least on die FPU and CMOV instructions to run.");
    }
    cpu.leaf(1, 0x00000F29, 0, 0, 0x07808000); // SSE2 and CMOV, no FPU
    info = cpu.decode();
    {
        CpuStateSwap swap(info);
        EXPECT_STREQ(cpuGetNotSupportedMessage(), "Vantrel needs at least on die FPU and CMOV instructions to run.");
    }
}

TEST(CpuDecode, EveryFeatureBitByName) {
    FedCpuid cpu;
    cpu.vendor(0, 1, "GenuineIntel")
        .leaf(1, 0x00000F29, 0, 0xFFFFFFFF, 0xFFFFFFFF)
        .vendor(0x80000000, 0x80000001, "GenuineIntel")
        .leaf(0x80000001, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF);
    CpuInfo info = cpu.decode();
    char text[4096];
    cpuFeatureList(&info, text, sizeof text);
    EXPECT_STREQ(
        text,
        "On-Chip FPU, Virtual Mode Extensions, Debugging Extensions, Page Size Extensions, Time Stamp Counter, "
        "Model Specific Registers, Physical Address Extension, Machine Check Exceptions, CMPXCHG8B Instruction, "
        "On-Chip APIC, Fast System Call, Memory Type Range Registers, Page Global Enable, Machine Check Architecture, "
        "Conditional Mov Instruction, Page Attribute Table, 36-bit Page Size Extension, Processor Serial Number, "
        "the CLFLUSH Instruction, Debug Trace Store, ACPI registers in MSR space, Intel Architecture MMX Technology, "
        "Fast Floating Point Save and Restore, Streaming SIMD extensions, Streaming SIMD extensions 2, Self-Snoop, "
        "Hyper Threading, Thermal Monitor, IA64 Processor, Pending Break Enable, "
        "Streaming SIMD Extensions 3, PCLMULQDQ, 64-bit DS Area, MONITOR/MWAIT instructions, "
        "Virtual Machine Extensions, Safer Mode Extensions, Enhanced Intel SpeedStep technology, Thermal Monitor 2, "
        "Supplemental Streaming SIMD Extensions 3, L1 Context ID, CMPXCHG16B, xTPR Update Control, "
        "Perfmon and Debug Capability, Direct Cache Access, Streaming SIMD extensions 4.1, "
        "Streaming SIMD extensions 4.2, MOVBE, Popcount instruction, AES, Running on Hypervisor, "
        "LAHF/SAHF instruction support, Core multi-processor leagacy mode, Advanced Bit Manipulations: LZCNT, "
        "SSE4A: MOVNTSS, MOVNTSD, EXTRQ, INSERTQ, Misaligned SSE mode, Prefetch and PrefetchW support, "
        "SYSCALL/SYSRET, Execute Disable Bit, RDTSCP, Intel 64 Architecture");
}

TEST(CpuDecode, LeavesPastTheHighestAreNotRead) {
    FedCpuid cpu;
    cpu.vendor(0, 0, "GenuineIntel").leaf(1, 0x00000F29, 0, 0, 0x17888111).leaf(0x80000000, 0x0000000D, 0, 0, 0);
    CpuInfo info = cpu.decode();
    EXPECT_EQ(info.signature, 0u);
    EXPECT_EQ(info.maxExtendedLeaf, 0u);
    EXPECT_FALSE(info.hasBrand);
    EXPECT_EQ(info.logicalPerPackage, 1u);
    EXPECT_EQ(info.coresPerPackage, 1u);
    EXPECT_EQ(info.sockets, 1u);
}

TEST(CpuDecode, ContradictoryCountsStillGiveASocket) {
    FedCpuid cpu = phenom();
    cpu.leaf(1, 0x00100F22, 0x00000800, 0x00802009, 0x178BFBFF); // HTT set, no logical count
    CpuInfo info = cpu.decode();
    EXPECT_EQ(info.logicalPerPackage, 1u);
    EXPECT_EQ(info.coresPerPackage, 4u);
    EXPECT_EQ(info.sockets, 1u);
}

TEST(CpuDecode, TheRealProcessorAgreesWithItsOwnLeaves) {
    cpuIdentify();
    CpuidRegs leaf1;
    cpuidInstruction(nullptr, 1, 0, &leaf1);
    const CpuInfo &info = *cpuState();
    EXPECT_EQ(info.signature, leaf1.eax);
    EXPECT_EQ(info.edx1, leaf1.edx);
    EXPECT_EQ(cpuHasSSE2(), static_cast<int>((leaf1.edx >> 26) & 1));
    EXPECT_EQ(cpuIsRunningHypervisor(), static_cast<int>(leaf1.ecx >> 31));
}
