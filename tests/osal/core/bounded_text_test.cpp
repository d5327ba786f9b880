// Every writer that cuts text to a caller's buffer stays inside it, whatever the size and input.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "os_version.h"
#include "processors.h"

namespace {

using Writer = std::function<int(char *, int)>;

// Writes into a buffer of the given size that lies between guard bytes; checks the guards, the
// terminator and that the text is the start of the full one.
void checkCut(const Writer &write, int size, const std::string &full) {
    std::vector<char> area(size + 16, '#');
    char *buffer = area.data() + 8;
    int length = write(buffer, size);
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(area[i], '#') << "before, size " << size;
        ASSERT_EQ(area[8 + size + i], '#') << "after, size " << size;
    }
    if (size == 0) {
        EXPECT_EQ(length, 0);
        return;
    }
    ASSERT_GE(length, 0);
    ASSERT_LT(length, size);
    ASSERT_EQ(buffer[length], '\0') << "size " << size;
    EXPECT_EQ(std::string(buffer, length), full.substr(0, length)) << "size " << size;
    EXPECT_EQ(static_cast<size_t>(length), std::min(full.size(), static_cast<size_t>(size - 1)));
}

void checkAllSizes(const Writer &write) {
    std::vector<char> big(8192);
    int length = write(big.data(), static_cast<int>(big.size()));
    std::string full(big.data(), length);
    for (int size = 0; size <= static_cast<int>(full.size()) + 2; ++size)
        checkCut(write, size, full);
    EXPECT_EQ(write(nullptr, 100), 0);
    EXPECT_EQ(write(big.data(), -5), 0);
}

} // namespace

TEST(BoundedText, ProcessorTextsAtEverySize) {
    CpuInfo info = harpertown().decode();
    checkAllSizes([&](char *buffer, int size) { return cpuDescribeInfo(&info, buffer, size); });
    checkAllSizes([&](char *buffer, int size) { return cpuDetailsInfo(&info, buffer, size); });
}

TEST(BoundedText, VersionTextAtEverySize) {
    OsVersionFacts facts{};
    facts.known = true;
    facts.platform = 2;
    facts.major = 6;
    facts.minor = 1;
    facts.build = 7601;
    strcpy(facts.servicePack, "Service Pack 1");
    facts.productType = 1;
    checkAllSizes([&](char *buffer, int size) { return osFormatVersion(&facts, buffer, size); });
}

TEST(BoundedText, RandomProcessorAnswers) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 300; ++round) {
        FedCpuid cpu;
        const char *vendors[] = {"GenuineIntel", "AuthenticAMD", "CyrixInstead", "\0\0\0\0\0\0\0\0\0\0\0\0"};
        cpu.vendor(0, random() % 16, vendors[random() % 4]);
        cpu.leaf(1, random(), random(), random(), random()).leaf(4, random(), random(), random(), random());
        cpu.leaf(0x80000000, 0x80000000 + random() % 12, 0, 0, 0);
        for (uint32_t leaf = 0x80000001; leaf <= 0x80000008; ++leaf)
            cpu.leaf(leaf, random(), random(), random(), random());
        CpuInfo info = cpu.decode();
        ASSERT_GE(info.sockets, 1u);
        ASSERT_GE(info.coresPerPackage, 1u);
        ASSERT_LT(strlen(info.brand), sizeof info.brand);
        int size = static_cast<int>(random() % 600);
        char description[256];
        std::string full(description, cpuDescribeInfo(&info, description, sizeof description));
        checkCut([&](char *buffer, int n) { return cpuDescribeInfo(&info, buffer, n); }, size % 200, full);
        std::vector<char> all(8192);
        full.assign(all.data(), cpuDetailsInfo(&info, all.data(), static_cast<int>(all.size())));
        checkCut([&](char *buffer, int n) { return cpuDetailsInfo(&info, buffer, n); }, size, full);
    }
}
