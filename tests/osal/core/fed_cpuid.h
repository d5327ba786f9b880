// Processor answers fed to the decoding in place of the identification instruction.
#ifndef TEST_FED_CPUID_H
#define TEST_FED_CPUID_H

#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "cpu_info.h"

class FedCpuid {
public:
    FedCpuid &leaf(uint32_t leaf, uint32_t eax, uint32_t ebx, uint32_t ecx, uint32_t edx) {
        leaves_[{leaf, 0}] = CpuidRegs{eax, ebx, ecx, edx};
        return *this;
    }
    // Leaf 0 or 0x40000000: the highest leaf and the 12-character vendor in ebx, edx, ecx order
    // (hypervisor leaves use ebx, ecx, edx).
    FedCpuid &vendor(uint32_t leaf, uint32_t highest, const char *vendor) {
        uint32_t words[3];
        memcpy(words, vendor, 12);
        if (leaf == 0x40000000)
            return this->leaf(leaf, highest, words[0], words[1], words[2]);
        return this->leaf(leaf, highest, words[0], words[2], words[1]);
    }
    FedCpuid &brand(const std::string &text) {
        char padded[48] = {};
        memcpy(padded, text.data(), text.size() < 48 ? text.size() : 48);
        for (uint32_t i = 0; i < 3; ++i) {
            uint32_t words[4];
            memcpy(words, padded + 16 * i, 16);
            leaf(0x80000002 + i, words[0], words[1], words[2], words[3]);
        }
        return *this;
    }

    static void answer(void *context, uint32_t leaf, uint32_t subleaf, CpuidRegs *regs) {
        auto *self = static_cast<FedCpuid *>(context);
        ++self->calls_;
        auto found = self->leaves_.find({leaf, subleaf});
        *regs = found != self->leaves_.end() ? found->second : CpuidRegs{0, 0, 0, 0};
    }

    CpuInfo decode() {
        CpuInfo info;
        cpuDecode(&info, answer, this);
        return info;
    }

    int calls() const { return calls_; }

private:
    std::map<std::pair<uint32_t, uint32_t>, CpuidRegs> leaves_;
    int calls_ = 0;
};

// Puts a decoded record in place of the process's own for the exported queries, and back.
class CpuStateSwap {
public:
    explicit CpuStateSwap(const CpuInfo &info) : saved_(*cpuState()) { *cpuState() = info; }
    ~CpuStateSwap() { *cpuState() = saved_; }
    CpuStateSwap(const CpuStateSwap &) = delete;
    CpuStateSwap &operator=(const CpuStateSwap &) = delete;

private:
    CpuInfo saved_;
};

#endif
