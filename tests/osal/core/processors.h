// Processors as their identification leaves describe them.
#ifndef TEST_PROCESSORS_H
#define TEST_PROCESSORS_H

#include "fed_cpuid.h"

// Intel Xeon 5400 series: family 6, model 23, four cores, no hyper-threading.
inline FedCpuid harpertown() {
    FedCpuid cpu;
    cpu.vendor(0, 0xA, "GenuineIntel")
        .leaf(1, 0x00010676, 0x00040800, 0x00080201, 0x17888111)
        .leaf(4, 0x0C000121, 0, 0, 0)
        .vendor(0x80000000, 0x80000008, "GenuineIntel")
        .leaf(0x80000001, 0, 0, 0x00000001, 0x20100800)
        .brand("  Intel(R) Xeon(R) CPU E5450 @ 3.00GHz");
    return cpu;
}

// Intel Core i7 (Nehalem): family 6, model 26, eight cores of two threads each in the package.
inline FedCpuid nehalem() {
    FedCpuid cpu;
    cpu.vendor(0, 0xB, "GenuineIntel")
        .leaf(1, 0x000106A5, 0x00100800, 0x00988201, 0x17888111)
        .leaf(4, 0x1C004121, 0, 0, 0)
        .vendor(0x80000000, 0x80000008, "GenuineIntel")
        .leaf(0x80000001, 0, 0, 0x00000001, 0x28100800)
        .leaf(0x80000007, 0, 0, 0, 0x00000100)
        .brand("Intel(R) Core(TM) i7 CPU 920 @ 2.67GHz");
    return cpu;
}

// Intel Pentium 4 (NetBurst) with two logical processors, no brand text, brand index 8.
inline FedCpuid pentium4() {
    FedCpuid cpu;
    cpu.vendor(0, 0x2, "GenuineIntel")
        .leaf(1, 0x00000F29, 0x00020808, 0x00000000, 0x17888111)
        .vendor(0x80000000, 0x80000000, "GenuineIntel");
    return cpu;
}

// AMD Phenom (family 10h): four cores, invariant time-stamp counter, long mode.
inline FedCpuid phenom() {
    FedCpuid cpu;
    cpu.vendor(0, 0x5, "AuthenticAMD")
        .leaf(1, 0x00100F22, 0x00040800, 0x00802009, 0x178BFBFF)
        .vendor(0x80000000, 0x8000001A, "AuthenticAMD")
        .leaf(0x80000001, 0x00100F22, 0, 0x000001E1, 0x28100800)
        .leaf(0x80000007, 0, 0, 0, 0x00000100)
        .leaf(0x80000008, 0x00003030, 0, 0x00000003, 0)
        .brand("AMD Phenom(tm) 9550 Quad-Core Processor");
    return cpu;
}

// What the i386 user-mode emulator of the test machine answers.
inline FedCpuid emulatedTcg() {
    FedCpuid cpu;
    cpu.vendor(0, 0xD, "AuthenticAMD")
        .leaf(1, 0x00000663, 0x00000800, 0xFED8320B, 0x0FCBFBFD)
        .vendor(0x80000000, 0x8000000A, "AuthenticAMD")
        .leaf(0x80000001, 0x00000663, 0, 0x00000377, 0xEFD3FBFD)
        .leaf(0x80000008, 0x00003924, 0x1102D204, 0, 0)
        .brand("QEMU TCG CPU version 2.5+");
    return cpu;
}

// What the test machine's processor answers natively (an AMD family 1Ah part under a hypervisor).
inline FedCpuid hostTurin() {
    FedCpuid cpu;
    cpu.vendor(0, 0xD, "AuthenticAMD")
        .leaf(1, 0x00B00F21, 0x0BFE0800, 0xFED83203, 0x178BFBFF)
        .vendor(0x80000000, 0x80000021, "AuthenticAMD")
        .leaf(0x80000001, 0x00B00F21, 0x40000000, 0x440001F1, 0x25D3FBFF)
        .leaf(0x80000007, 0, 0, 0, 0x00000100)
        .leaf(0x80000008, 0x00003030, 0x20000005, 0, 0)
        .brand("Oxide Virtual Turin-like Processor             ");
    return cpu;
}

#endif
