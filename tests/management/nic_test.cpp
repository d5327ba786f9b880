// The network-interface natives against what GetAdaptersAddresses reports on this machine.
#include <winsock2.h>
#include <iphlpapi.h>

#include <cstdio>
#include <cstring>
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

// An adapter list of the test's own, served in place of the system's: GetAdaptersAddresses of
// iphlpapi.dll jumps to `fakeAdapters` while a FakeAdapters lives.
struct FakeAdapter {
    DWORD index;
    std::vector<BYTE> address;
    DWORD mtu;
};
std::vector<FakeAdapter> fakeList;
int fakeCalls;
ULONG fakeFamily;
ULONG fakeFlags;

ULONG WINAPI fakeAdapters(ULONG family, ULONG flags, PVOID, PIP_ADAPTER_ADDRESSES list, PULONG size) {
    ++fakeCalls;
    fakeFamily = family;
    fakeFlags = flags;
    ULONG needed = static_cast<ULONG>(fakeList.size() * sizeof(IP_ADAPTER_ADDRESSES));
    if (size == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (list == nullptr || *size < needed) {
        *size = needed;
        return ERROR_BUFFER_OVERFLOW;
    }
    memset(list, 0, needed);
    for (size_t i = 0; i < fakeList.size(); ++i) {
        IP_ADAPTER_ADDRESSES &a = list[i];
        a.Length = sizeof a;
        a.IfIndex = fakeList[i].index;
        a.Next = i + 1 < fakeList.size() ? &list[i + 1] : nullptr;
        a.PhysicalAddressLength = static_cast<DWORD>(fakeList[i].address.size());
        memcpy(a.PhysicalAddress, fakeList[i].address.data(), fakeList[i].address.size());
        a.Mtu = fakeList[i].mtu;
    }
    return NO_ERROR;
}

class FakeAdapters {
public:
    FakeAdapters() {
        target_ = reinterpret_cast<unsigned char *>(GetProcAddress(GetModuleHandleA("iphlpapi.dll"), "GetAdaptersAddresses"));
        if (target_ == nullptr)
            return;
        memcpy(saved_, target_, sizeof saved_);
        unsigned char jump[5] = {0xE9};
        auto offset = static_cast<INT32>(reinterpret_cast<INT_PTR>(&fakeAdapters) - reinterpret_cast<INT_PTR>(target_ + 5));
        memcpy(jump + 1, &offset, sizeof offset);
        write(jump);
    }
    ~FakeAdapters() {
        if (target_ != nullptr)
            write(saved_);
    }
    bool active() const { return target_ != nullptr; }

private:
    void write(const unsigned char (&bytes)[5]) {
        DWORD old = 0;
        VirtualProtect(target_, sizeof bytes, PAGE_EXECUTE_READWRITE, &old);
        memcpy(target_, bytes, sizeof bytes);
        VirtualProtect(target_, sizeof bytes, old, &old);
        FlushInstructionCache(GetCurrentProcess(), target_, sizeof bytes);
    }

    unsigned char *target_ = nullptr;
    unsigned char saved_[5] = {};
};

class Nic : public VexilTest {};

TEST_F(Nic, AddressesOfEachLengthAndTheMtuOfTheMatchingAdapter) {
    load();
    callStatic("zun/vexil/NICImpl", "initIDs", "()V");
    fakeList = {
        {3, {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}, 1500},
        {7, {0xff, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xa0}, 9000},
        {8, {}, 576},
        {12, {0x0b}, 1280},
    };
    struct Expected {
        jint index;
        const char *mac;
        jlong mtu;
    };
    const Expected expected[] = {
        {3, "00:1a:2b:3c:4d:5e", 1500}, {7, "ff:01:02:03:04:05:06:a0", 9000}, {8, "", 576},
        {12, "0b", 1280},               {5, "", 0},
    };
    FakeAdapters fake;
    ASSERT_TRUE(fake.active());
    for (const Expected &e : expected) {
        fakeCalls = 0;
        jobject nic = newObject("zun/vexil/NICImpl");
        callVoid(nic, "init", "(I)V", {jint_(e.index)});
        EXPECT_EQ(thrown(), "");
        EXPECT_EQ(text(field(nic, "mac", "Ljava/lang/String;")), e.mac) << e.index;
        EXPECT_EQ(longField(nic, "mtu"), e.mtu) << e.index;
        EXPECT_EQ(fakeCalls, 2) << "sized by one call, filled by another";
        EXPECT_EQ(fakeFamily, static_cast<ULONG>(AF_UNSPEC));
        EXPECT_EQ(fakeFlags, 0u);
    }
}

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
