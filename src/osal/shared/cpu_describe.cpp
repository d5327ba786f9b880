#include "bounded_format.h"
#include "cpu_info.h"

namespace {

const char *orEmpty(const char *name) { return name != nullptr ? name : ""; }
const char *orUnknown(const char *name) { return name != nullptr ? name : "<unknown>"; }

const char *vendorWord(const CpuInfo *info) {
    if (info->genuineIntel)
        return "Intel";
    if (info->authenticAmd)
        return "AMD";
    return "Unknown x86";
}

const char *longModeMark(const CpuInfo *info) {
    if (!(info->edxExt & (1u << 29)))
        return "";
    if (info->genuineIntel)
        return " Intel64";
    if (info->authenticAmd)
        return " AMD64";
    return " x86_64";
}

const char *when(bool condition, const char *text) { return condition ? text : ""; }

} // namespace

int cpuDescribeInfo(const CpuInfo *info, char *buffer, int size) {
    return osalFormat(buffer, size, "%s %s%s SSE SSE2%s%s%s%s%s%s%s%s", vendorWord(info),
                      orEmpty(cpuFamilyOrModelName(info)), when(info->htEnabled, " (HT)"),
                      when(info->ecx1 & (1u << 0), " SSE3"), when(info->ecx1 & (1u << 9), " SSSE3"),
                      when(info->ecx1 & (1u << 19), " SSE4.1"), when(info->ecx1 & (1u << 20), " SSE4.2"),
                      when(info->ecxExt & (1u << 6), " SSE4A"), when(info->netBurst, " NetBurst"),
                      when(info->coreArch, " Core"), longModeMark(info));
}

int cpuFeatureList(const CpuInfo *info, char *buffer, int size) {
    if (buffer == nullptr || size <= 0)
        return 0;
    buffer[0] = '\0';
    const uint32_t words[4] = {info->edx1, info->ecx1, info->ecxExt, info->edxExt};
    int length = 0;
    for (int group = 0; group < 4; ++group) {
        for (int bit = 0; bit < 32; ++bit) {
            const char *name = cpuFeatureName(group, bit);
            if (name == nullptr || !(words[group] & (1u << bit)))
                continue;
            length += osalFormat(buffer + length, size - length, "%s%s", length > 0 ? ", " : "", name);
        }
    }
    return length;
}

int cpuDetailsInfo(const CpuInfo *info, char *buffer, int size) {
    int length = osalFormat(
        buffer, size,
        "Brand: %s, Vendor: %s\nFamily: %s (0x%x), Model: %s (0x%x), Stepping: 0x%x\n"
        "Ext. family: 0x%x, Ext. model: 0x%x, Type: 0x%x, Signature: 0x%8.8x\n"
        "Features: ebx: 0x%8.8x, ecx: 0x%8.8x, edx: 0x%8.8x\n"
        "Ext. features: eax: 0x%8.8x, ebx: 0x%8.8x, ecx: 0x%8.8x, edx: 0x%8.8x\nSupports: ",
        orUnknown(cpuBrandName(info)), info->vendor, orUnknown(cpuFamilyName(info)), info->family,
        orUnknown(cpuModelName(info)), info->model, info->stepping, info->extFamily, info->extModel, info->type,
        info->signature, info->ebx1, info->ecx1, info->edx1, info->eaxExt, info->ebxExt, info->ecxExt,
        info->edxExt);
    if (buffer == nullptr || size <= 0)
        return 0;
    return length + cpuFeatureList(info, buffer + length, size - length);
}
