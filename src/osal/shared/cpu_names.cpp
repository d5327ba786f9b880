#include "cpu_info.h"

namespace {

template <int N> const char *lookup(const char *const (&table)[N], uint32_t index) {
    if (index >= static_cast<uint32_t>(N) || table[index][0] == '\0')
        return nullptr;
    return table[index];
}

const char *const featureNames[4][32] = {
    // Leaf 1 edx.
    {"On-Chip FPU",
     "Virtual Mode Extensions",
     "Debugging Extensions",
     "Page Size Extensions",
     "Time Stamp Counter",
     "Model Specific Registers",
     "Physical Address Extension",
     "Machine Check Exceptions",
     "CMPXCHG8B Instruction",
     "On-Chip APIC",
     "",
     "Fast System Call",
     "Memory Type Range Registers",
     "Page Global Enable",
     "Machine Check Architecture",
     "Conditional Mov Instruction",
     "Page Attribute Table",
     "36-bit Page Size Extension",
     "Processor Serial Number",
     "the CLFLUSH Instruction",
     "",
     "Debug Trace Store",
     "ACPI registers in MSR space",
     "Intel Architecture MMX Technology",
     "Fast Floating Point Save and Restore",
     "Streaming SIMD extensions",
     "Streaming SIMD extensions 2",
     "Self-Snoop",
     "Hyper Threading",
     "Thermal Monitor",
     "IA64 Processor",
     "Pending Break Enable"},
    // Leaf 1 ecx.
    {"Streaming SIMD Extensions 3",
     "PCLMULQDQ",
     "64-bit DS Area",
     "MONITOR/MWAIT instructions",
     "",
     "Virtual Machine Extensions",
     "Safer Mode Extensions",
     "Enhanced Intel SpeedStep technology",
     "Thermal Monitor 2",
     "Supplemental Streaming SIMD Extensions 3",
     "L1 Context ID",
     "",
     "",
     "CMPXCHG16B",
     "xTPR Update Control",
     "Perfmon and Debug Capability",
     "",
     "",
     "Direct Cache Access",
     "Streaming SIMD extensions 4.1",
     "Streaming SIMD extensions 4.2",
     "",
     "MOVBE",
     "Popcount instruction",
     "",
     "AES",
     "",
     "",
     "",
     "",
     "",
     "Running on Hypervisor"},
    // Leaf 0x80000001 ecx.
    {"LAHF/SAHF instruction support",
     "Core multi-processor leagacy mode",
     "",
     "",
     "",
     "Advanced Bit Manipulations: LZCNT",
     "SSE4A: MOVNTSS, MOVNTSD, EXTRQ, INSERTQ",
     "Misaligned SSE mode",
     "Prefetch and PrefetchW support",
     "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""},
    // Leaf 0x80000001 edx.
    {"", "", "", "", "", "", "", "", "", "", "",
     "SYSCALL/SYSRET",
     "", "", "", "", "", "", "", "",
     "Execute Disable Bit",
     "", "", "", "", "", "",
     "RDTSCP",
     "",
     "Intel 64 Architecture",
     "", ""},
};

const char *const intelFamilyNames[16] = {"8086/8088", "", "286", "386", "486", "Pentium", "Pentium Pro", "", "",
                                          "", "", "", "", "", "", "Pentium 4"};

const char *const amdFamilyNames[17] = {"", "", "", "", "5x86", "K5/K6", "Athlon/AthlonXP", "", "", "", "", "", "",
                                        "", "", "Opteron/Athlon64", "Opteron QC/Phenom"};

const char *const intelFamily5ModelNames[4] = {"60/66", "75-200", "for 486 system", "MMX"};

const char *const intelFamily6ModelNames[47] = {
    "", "Pentium Pro", "", "Pentium II model 3", "", "Pentium II model 5/Xeon/Celeron", "Celeron",
    "Pentium III/Pentium III Xeon", "Pentium III/Pentium III Xeon", "Pentium M model 9", "Pentium III, model A",
    "Pentium III, model B", "", "Pentium M model D", "", "Core 2", "", "", "", "", "", "", "Celeron", "Core 2", "",
    "", "Core i7", "Atom", "", "Core 2", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "Westmere", "",
    "Nehalem-EX"};

const char *const brandIndexNames[9] = {"", "Celeron processor", "Pentium III processor",
                                        "Intel Pentium III Xeon processor", "", "", "", "",
                                        "Intel Pentium 4 processor"};

} // namespace

const char *cpuFeatureName(int group, int bit) {
    if (group < 0 || group >= 4 || bit < 0 || bit >= 32 || featureNames[group][bit][0] == '\0')
        return nullptr;
    return featureNames[group][bit];
}

const char *cpuFamilyName(const CpuInfo *info) {
    return info->authenticAmd ? lookup(amdFamilyNames, info->family) : lookup(intelFamilyNames, info->family);
}

const char *cpuFamilyOrModelName(const CpuInfo *info) {
    if (info->authenticAmd)
        return lookup(amdFamilyNames, info->family);
    if (info->genuineIntel && info->family == 6)
        return lookup(intelFamily6ModelNames, info->model);
    return lookup(intelFamilyNames, info->family);
}

// The model tables describe Intel parts only: an AMD family 6 part is no Celeron.
const char *cpuModelName(const CpuInfo *info) {
    if (!info->genuineIntel)
        return nullptr;
    if (info->family == 5)
        return lookup(intelFamily5ModelNames, info->model);
    if (info->family == 6)
        return lookup(intelFamily6ModelNames, info->model);
    return nullptr;
}

const char *cpuBrandName(const CpuInfo *info) {
    if (info->hasBrand)
        return info->brand;
    return lookup(brandIndexNames, info->ebx1 & 0xff);
}
