// Queries about this process and system, the version text and hypervisor detection.
#include <gtest/gtest.h>

#include <windows.h>

#include <cpuid.h>
#include <string.h>

#include <string>

#include "child_process.h"
#include "osal/cpu.h"
#include "osal/os_info.h"
#include "test_paths.h"

TEST(OsQueries, ProcessAndSystem) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    EXPECT_EQ(osGetNumberOfProcessors(), static_cast<int>(info.dwNumberOfProcessors));
    EXPECT_GE(osGetNumberOfProcessors(), 1);
    EXPECT_EQ(osGetProcessID(), static_cast<int>(GetCurrentProcessId()));
    EXPECT_EQ(osGetPhysicalMachineID(), 1);
}

TEST(OsVersion, TheTestSystemIsWindows7Sp1) {
    OSVERSIONINFOEXA version{};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA *>(&version)));
    ASSERT_EQ(version.dwMajorVersion * 100 + version.dwMinorVersion, 601u) << "the tests run on Windows 7";
    char text[256] = "untouched";
    EXPECT_EQ(osGetVersionString(text, sizeof text), 0);
    // Wine's Windows 7 calls itself a server; the 6.1 server is the 2008 R2 release.
    if (version.wProductType == VER_NT_WORKSTATION)
        EXPECT_STREQ(text, "Microsoft Windows 7 version 6.1 Service Pack 1 (Build 7601) (32-bit)");
    else
        EXPECT_STREQ(text, "Microsoft Windows 2008 R2 version 6.1 Service Pack 1 (Build 7601) (32-bit)");
}

TEST(OsVersion, CutToTheBuffer) {
    char area[12];
    memset(area, '#', sizeof area);
    EXPECT_EQ(osGetVersionString(area + 1, 0), 0);
    EXPECT_EQ(std::string(area, 12), std::string(12, '#'));
    EXPECT_EQ(osGetVersionString(area + 1, 1), 0);
    EXPECT_EQ(std::string(area, 3), std::string("#\0#", 3));
    EXPECT_EQ(osGetVersionString(area + 1, 10), 0);
    EXPECT_EQ(std::string(area, 12), std::string("#Microsoft\0#", 12));
    EXPECT_EQ(osGetVersionString(nullptr, 100), 0);
}

namespace {

// Runs the version probe as the system would describe itself in another of its versions.
std::string versionAs(const char *windowsVersion) {
    const char *key = "Software\\Wine\\AppDefaults\\version_probe.exe";
    HKEY opened;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(opened, "Version", 0, REG_SZ, reinterpret_cast<const BYTE *>(windowsVersion),
                   static_cast<DWORD>(strlen(windowsVersion) + 1));
    RegCloseKey(opened);
    ChildResult result = runProgram(outputDirectory() + "\\version_probe.exe");
    RegDeleteKeyA(HKEY_CURRENT_USER, key);
    EXPECT_EQ(result.exitCode, 0u);
    return result.out;
}

bool underWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

} // namespace

TEST(OsVersion, OlderSystemsAsTheyDescribeThemselves) {
    if (!underWine())
        GTEST_SKIP() << "needs a system that can pretend to be another version";
    EXPECT_EQ(versionAs("winxp"), "Microsoft Windows XP version 5.1 Service Pack 3 (Build 2600) (32-bit)\n");
    EXPECT_EQ(versionAs("win98"), "Microsoft Windows 98 SE  (version 4.10) (32-bit)\n");
}

namespace {

std::string hypervisorVendor() {
    unsigned eax, words[3];
    __cpuid(0x40000000, eax, words[0], words[1], words[2]);
    char vendor[13];
    memcpy(vendor, words, 12);
    vendor[12] = '\0';
    return vendor;
}

} // namespace

TEST(Hypervisor, DetectionNamesWhatTheProcessorReports) {
    EXPECT_EQ(osDetectHypervisor(), 0);
    int major = -1, minor = -1;
    osGetHypervisorVersion(&major, &minor);
    osGetHypervisorVersion(nullptr, nullptr);
    if (!cpuIsRunningHypervisor()) {
        // Only VMware's port can name one now.
        if (osGetHypervisorType() == HYPERVISOR_NONE) {
            EXPECT_EQ(osIsHypervisorDetected(), 0);
            EXPECT_STREQ(osGetHypervisorVersionString(), "");
        } else {
            EXPECT_EQ(osGetHypervisorType(), HYPERVISOR_VMWARE);
            EXPECT_EQ(osGetHypervisorVersionString(), "VMWare v" + std::to_string(major));
        }
        return;
    }
    EXPECT_EQ(osIsHypervisorDetected(), 1);
    std::string vendor = hypervisorVendor();
    if (_stricmp(vendor.c_str(), "Microsoft Hv") == 0) {
        EXPECT_EQ(osGetHypervisorType(), HYPERVISOR_HYPERV);
    } else if (_stricmp(vendor.c_str(), "XenVMMXenVMM") == 0) {
        EXPECT_EQ(osGetHypervisorType(), HYPERVISOR_XEN);
    } else {
        EXPECT_EQ(osGetHypervisorType(), HYPERVISOR_UNKNOWN) << vendor;
        EXPECT_STREQ(osGetHypervisorVersionString(), "Unknown (but probably running on a hypervisor)");
        EXPECT_EQ(major, 0);
        EXPECT_EQ(minor, 0);
    }
    EXPECT_EQ(osDetectHypervisor(), 0);
}
