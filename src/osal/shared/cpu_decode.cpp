#include <cpuid.h>
#include <string.h>

#include "cpu_info.h"

namespace {

uint32_t bits(uint32_t word, int low, int count) { return (word >> low) & ((1u << count) - 1); }

void copyRegister(char *to, uint32_t value) { memcpy(to, &value, 4); }

uint32_t coresPerPackage(const CpuInfo &info, CpuidFunction cpuid, void *context) {
    if (!(info.edx1 & (1u << 28)))
        return 1;
    CpuidRegs regs;
    if (info.genuineIntel) {
        if (info.maxBasicLeaf < 4)
            return 1;
        cpuid(context, 4, 0, &regs);
        uint32_t cores = bits(regs.eax, 26, 6) + 1;
        if (cores == 1 && info.logicalPerPackage > 1 && info.family == 6 && info.model > 14)
            cores = info.logicalPerPackage;
        return cores;
    }
    if (info.authenticAmd && info.maxExtendedLeaf >= 0x80000008) {
        cpuid(context, 0x80000008, 0, &regs);
        return bits(regs.ecx, 0, 8) + 1;
    }
    return 1;
}

void readBrand(CpuInfo &info, CpuidFunction cpuid, void *context) {
    char text[49];
    for (uint32_t i = 0; i < 3; ++i) {
        CpuidRegs regs;
        cpuid(context, 0x80000002 + i, 0, &regs);
        copyRegister(text + 16 * i, regs.eax);
        copyRegister(text + 16 * i + 4, regs.ebx);
        copyRegister(text + 16 * i + 8, regs.ecx);
        copyRegister(text + 16 * i + 12, regs.edx);
    }
    text[48] = '\0';
    const char *start = text;
    while (*start == ' ')
        ++start;
    strcpy(info.brand, start);
    info.hasBrand = info.brand[0] != '\0';
}

} // namespace

void cpuidInstruction(void *, uint32_t leaf, uint32_t subleaf, CpuidRegs *regs) {
    __cpuid_count(leaf, subleaf, regs->eax, regs->ebx, regs->ecx, regs->edx);
}

void cpuDecode(CpuInfo *info, CpuidFunction cpuid, void *context) {
    *info = CpuInfo{};
    CpuidRegs regs;
    cpuid(context, 0, 0, &regs);
    info->maxBasicLeaf = regs.eax;
    copyRegister(info->vendor, regs.ebx);
    copyRegister(info->vendor + 4, regs.edx);
    copyRegister(info->vendor + 8, regs.ecx);
    info->vendor[12] = '\0';
    info->genuineIntel = strcmp(info->vendor, "GenuineIntel") == 0;
    info->authenticAmd = strcmp(info->vendor, "AuthenticAMD") == 0;

    if (info->maxBasicLeaf >= 1) {
        cpuid(context, 1, 0, &regs);
        info->signature = regs.eax;
        info->ebx1 = regs.ebx;
        info->ecx1 = regs.ecx;
        info->edx1 = regs.edx;
    }
    info->stepping = bits(info->signature, 0, 4);
    info->type = bits(info->signature, 12, 2);
    info->extModel = bits(info->signature, 16, 4);
    info->extFamily = bits(info->signature, 20, 8);
    info->model = (info->extModel << 4) + bits(info->signature, 4, 4);
    info->family = bits(info->signature, 8, 4) + info->extFamily;
    info->clflushSize = bits(info->ebx1, 8, 8);

    cpuid(context, 0x80000000, 0, &regs);
    // Processors without extended leaves answer with some basic leaf instead.
    info->maxExtendedLeaf = regs.eax >= 0x80000000 ? regs.eax : 0;
    if (info->maxExtendedLeaf > 0x80000000) {
        cpuid(context, 0x80000001, 0, &regs);
        info->eaxExt = regs.eax;
        info->ebxExt = regs.ebx;
        info->ecxExt = regs.ecx;
        info->edxExt = regs.edx;
    }
    if (info->maxExtendedLeaf >= 0x80000004)
        readBrand(*info, cpuid, context);
    if (info->maxExtendedLeaf > 0x80000006) {
        cpuid(context, 0x80000007, 0, &regs);
        info->invariantTsc = (regs.edx & (1u << 8)) != 0;
    }

    uint32_t logical = (info->edx1 & (1u << 28)) ? bits(info->ebx1, 16, 8) : 1;
    info->logicalPerPackage = logical != 0 ? logical : 1;
    uint32_t cores = coresPerPackage(*info, cpuid, context);
    info->coresPerPackage = cores != 0 ? cores : 1;

    const uint32_t family = info->family;
    const uint32_t model = info->model;
    info->coreArch = info->genuineIntel && family == 6 &&
                     (model == 15 || model == 23 || model == 26 || model == 29 || model == 44 || model == 46);
    info->netBurst = info->genuineIntel && family == 15;
    info->k8 = info->authenticAmd && family == 15;
    info->amd10h = info->authenticAmd && family == 16;
    info->amd11h = info->authenticAmd && family == 17;

    // Leaves that claim more cores than logical processors must not give 0 sockets.
    uint32_t sockets = info->logicalPerPackage / info->coresPerPackage;
    info->sockets = info->netBurst || sockets == 0 ? 1 : sockets;
    info->htSupportedByCpu = (info->edx1 & (1u << 28)) && info->coresPerPackage < info->logicalPerPackage;
}
