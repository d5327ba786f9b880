// The network-interface natives against what GetAdaptersAddresses reports on this machine.
#include <winsock2.h>
#include <iphlpapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "vexil_test.h"

namespace {

struct Adapter {
    DWORD index;
    std::string mac;
    jlong mtu;
};

std::vector<Adapter> systemAdapters() {
    ULONG size = 0;
    std::vector<unsigned char> buffer;
    ULONG result = GetAdaptersAddresses(AF_UNSPEC, 0, nullptr, nullptr, &size);
    for (int i = 0; i < 8 && result == ERROR_BUFFER_OVERFLOW; ++i) {
        buffer.resize(size);
        result = GetAdaptersAddresses(AF_UNSPEC, 0, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES *>(buffer.data()), &size);
    }
    std::vector<Adapter> adapters;
    if (result != NO_ERROR || buffer.empty())
        return adapters;
    for (auto *a = reinterpret_cast<IP_ADAPTER_ADDRESSES *>(buffer.data()); a != nullptr; a = a->Next) {
        std::string mac;
        for (ULONG i = 0; i < a->PhysicalAddressLength; ++i) {
            char part[4];
            snprintf(part, sizeof part, i == 0 ? "%02x" : ":%02x", a->PhysicalAddress[i]);
            mac += part;
        }
        adapters.push_back({a->IfIndex, mac, static_cast<jlong>(a->Mtu)});
    }
    return adapters;
}

class Nic : public VexilTest {};

TEST_F(Nic, EachInterfaceIndexGivesItsAddressAndMtu) {
    load();
    callStatic("zun/vexil/NICImpl", "initIDs", "()V");
    std::vector<Adapter> adapters = systemAdapters();
    ASSERT_FALSE(adapters.empty()) << "the machine reports no network interface";
    DWORD highest = 0;
    for (const Adapter &adapter : adapters) {
        jobject nic = newObject("zun/vexil/NICImpl");
        callVoid(nic, "init", "(I)V", {jint_(static_cast<jint>(adapter.index))});
        EXPECT_EQ(thrown(), "");
        EXPECT_EQ(text(field(nic, "mac", "Ljava/lang/String;")), adapter.mac) << adapter.index;
        EXPECT_EQ(longField(nic, "mtu"), adapter.mtu) << adapter.index;
        highest = std::max(highest, adapter.index);
    }
    jobject unknown = newObject("zun/vexil/NICImpl");
    callVoid(unknown, "init", "(I)V", {jint_(static_cast<jint>(highest + 1000))});
    EXPECT_EQ(text(field(unknown, "mac", "Ljava/lang/String;")), "");
    EXPECT_EQ(longField(unknown, "mtu"), 0);
}

} // namespace
