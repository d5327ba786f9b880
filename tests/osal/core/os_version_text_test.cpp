// The version text for every kind of system the version query can describe.
#include <gtest/gtest.h>

#include <string>

#include "os_version.h"

namespace {

OsVersionFacts nt(uint32_t major, uint32_t minor, uint32_t build, const char *servicePack, uint8_t productType) {
    OsVersionFacts facts{};
    facts.known = true;
    facts.platform = 2;
    facts.major = major;
    facts.minor = minor;
    facts.build = build;
    strcpy(facts.servicePack, servicePack);
    facts.productType = productType;
    return facts;
}

OsVersionFacts windows9x(uint32_t minor, const char *servicePack) {
    OsVersionFacts facts{};
    facts.known = true;
    facts.platform = 1;
    facts.major = 4;
    facts.minor = minor;
    strcpy(facts.servicePack, servicePack);
    return facts;
}

std::string text(const OsVersionFacts &facts) {
    char buffer[256];
    int length = osFormatVersion(&facts, buffer, sizeof buffer);
    EXPECT_EQ(length, static_cast<int>(strlen(buffer)));
    return buffer;
}

constexpr uint8_t workstation = 1;
constexpr uint8_t server = 3;

} // namespace

TEST(VersionText, NtLine) {
    EXPECT_EQ(text(nt(6, 1, 7601, "Service Pack 1", workstation)),
              "Microsoft Windows 7 version 6.1 Service Pack 1 (Build 7601) (32-bit)");
    EXPECT_EQ(text(nt(6, 1, 7600, "", server)), "Microsoft Windows 2008 R2 version 6.1  (Build 7600) (32-bit)");
    EXPECT_EQ(text(nt(6, 0, 6002, "Service Pack 2", workstation)),
              "Microsoft Windows Vista version 6.0 Service Pack 2 (Build 6002) (32-bit)");
    EXPECT_EQ(text(nt(6, 0, 6001, "Service Pack 1", server)),
              "Microsoft Windows Server 2008 version 6.0 Service Pack 1 (Build 6001) (32-bit)");
    EXPECT_EQ(text(nt(6, 2, 9200, "", workstation)),
              "Microsoft Windows \"Longhorn\" version 6.2  (Build 9200) (32-bit)");
    EXPECT_EQ(text(nt(5, 0, 2195, "Service Pack 4", workstation)),
              "Microsoft Windows 2000 version 5.0 Service Pack 4 (Build 2195) (32-bit)");
    EXPECT_EQ(text(nt(5, 1, 2600, "Service Pack 3", workstation)),
              "Microsoft Windows XP version 5.1 Service Pack 3 (Build 2600) (32-bit)");
    EXPECT_EQ(text(nt(5, 3, 1, "", workstation)), "Microsoft Windows  version 5.3  (Build 1) (32-bit)");
    EXPECT_EQ(text(nt(4, 0, 1381, "Service Pack 6", workstation)),
              "Microsoft Windows NT version 4.0 Service Pack 6 (Build 1381) (32-bit)");
    EXPECT_EQ(text(nt(10, 0, 19045, "", workstation)), "Microsoft Windows  version 10.0  (Build 19045) (32-bit)");
}

TEST(VersionText, Server2003Variants) {
    OsVersionFacts facts = nt(5, 2, 3790, "Service Pack 2", server);
    EXPECT_EQ(text(facts), "Microsoft Windows Server 2003 version 5.2 Service Pack 2 (Build 3790) (32-bit)");
    facts.serverR2 = 1;
    EXPECT_EQ(text(facts), "Microsoft Windows Server 2003 \"R2\" version 5.2 Service Pack 2 (Build 3790) (32-bit)");
    facts = nt(5, 2, 3790, "Service Pack 2", workstation);
    facts.nativeArchitecture = 9;
    facts.wow64 = true;
    EXPECT_EQ(text(facts),
              "Microsoft Windows XP Professional x64 Edition version 5.2 Service Pack 2 (Build 3790) (64-bit)");
    facts.nativeArchitecture = 6; // Itanium
    EXPECT_EQ(text(facts), "Microsoft Windows Server 2003 version 5.2 Service Pack 2 (Build 3790) (64-bit)");
}

TEST(VersionText, Windows9xLine) {
    EXPECT_EQ(text(windows9x(0, "")), "Microsoft Windows 95  (version 4.0) (32-bit)");
    EXPECT_EQ(text(windows9x(0, " B")), "Microsoft Windows 95 OSR2  (version 4.0) (32-bit)");
    EXPECT_EQ(text(windows9x(0, " C")), "Microsoft Windows 95 OSR2  (version 4.0) (32-bit)");
    EXPECT_EQ(text(windows9x(10, " A ")), "Microsoft Windows 98 SE  (version 4.10) (32-bit)");
    EXPECT_EQ(text(windows9x(90, " ")), "Microsoft Windows ME  (version 4.90) (32-bit)");
    EXPECT_EQ(text(windows9x(50, "")), "Microsoft Windows   (version 4.50) (32-bit)");
    OsVersionFacts later = windows9x(0, " A");
    later.major = 5;
    EXPECT_EQ(text(later), "Microsoft Windows 95  (version 5.0) (32-bit)");
}

TEST(VersionText, OtherPlatformsAndNoAnswer) {
    OsVersionFacts facts{};
    EXPECT_EQ(text(facts), "Microsoft Windows (Unknown version) (32-bit)");
    facts.known = true;
    facts.platform = 0;
    EXPECT_EQ(text(facts), "Microsoft Win32s (32-bit)");
    facts.platform = 3;
    facts.wow64 = true;
    EXPECT_EQ(text(facts), "Microsoft Windows (unknown platform id) (64-bit)");
}
