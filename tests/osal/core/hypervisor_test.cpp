// Hypervisor detection from fed hypervisor leaves, and the VMware port probe on this system.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "fed_cpuid.h"
#include "hypervisor.h"

namespace {

int vmwareSix() { return 6; }
int noVmware() { return -1; }
int probeMustNotRun() {
    ADD_FAILURE() << "the port was probed although the processor named a hypervisor";
    return -1;
}

HypervisorState detect(FedCpuid cpu, bool hypervisorBit, VmwareProbe probe) {
    HypervisorState state;
    memset(&state, 0x5A, sizeof state);
    hypervisorDetect(&state, hypervisorBit, FedCpuid::answer, &cpu, probe);
    return state;
}

} // namespace

TEST(Hypervisor, HyperV) {
    FedCpuid cpu;
    cpu.vendor(0x40000000, 0x40000006, "Microsoft Hv").leaf(0x40000002, 7601, 0x00060001, 3, 0x02000011);
    HypervisorState state = detect(cpu, true, probeMustNotRun);
    EXPECT_EQ(state.type, HYPERVISOR_HYPERV);
    EXPECT_EQ(state.major, 6);
    EXPECT_EQ(state.minor, 1);
    EXPECT_STREQ(state.version, "Microsoft Hyper-V 6.1.build-7601 (17.2.3)");
}

TEST(Hypervisor, VendorsCompareWithoutCase) {
    FedCpuid cpu;
    cpu.vendor(0x40000000, 0x40000002, "xENvmmXENvmm").leaf(0x40000001, 0x00040001, 0, 0, 0);
    HypervisorState state = detect(cpu, true, probeMustNotRun);
    EXPECT_EQ(state.type, HYPERVISOR_XEN);
    EXPECT_EQ(state.major, 4);
    EXPECT_EQ(state.minor, 1);
    EXPECT_STREQ(state.version, "Xen v4.1 (HVM)");
}

TEST(Hypervisor, OthersAreUnknown) {
    for (const char *vendor : {"KVMKVMKVM\0\0\0", "TCGTCGTCGTCG", "bhyve bhyve ", "VMwareVMware"}) {
        FedCpuid cpu;
        cpu.vendor(0x40000000, 0x40000001, vendor);
        HypervisorState state = detect(cpu, true, probeMustNotRun);
        EXPECT_EQ(state.type, HYPERVISOR_UNKNOWN) << vendor;
        EXPECT_EQ(state.major, 0);
        EXPECT_EQ(state.minor, 0);
        EXPECT_STREQ(state.version, "Unknown (but probably running on a hypervisor)");
    }
}

TEST(Hypervisor, WithoutTheProcessorsWordThePortDecides) {
    HypervisorState vmware = detect(FedCpuid(), false, vmwareSix);
    EXPECT_EQ(vmware.type, HYPERVISOR_VMWARE);
    EXPECT_EQ(vmware.major, 6);
    EXPECT_EQ(vmware.minor, 0);
    EXPECT_STREQ(vmware.version, "VMWare v6");

    HypervisorState none = detect(FedCpuid(), false, noVmware);
    EXPECT_EQ(none.type, HYPERVISOR_NONE);
    EXPECT_EQ(none.major, 0);
    EXPECT_EQ(none.minor, 0);
    EXPECT_STREQ(none.version, "");
}

TEST(Hypervisor, ThePortProbeFaultsHarmlesslyOutsideVmware) {
    // Here the port access faults (a privileged instruction, or whatever an emulator raises);
    // the process must carry on with -1, on any thread, also when several probe at once.
    EXPECT_EQ(vmwareProbe(), -1);
    std::vector<std::thread> threads;
    std::vector<int> results(4, 0);
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&results, i] { results[i] = vmwareProbe(); });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(results, std::vector<int>(4, -1));
    EXPECT_EQ(vmwareProbe(), -1);
}
