// The security descriptors built for files, directories and mappings, examined in memory: the
// platform under test neither keeps nor enforces the lists of files.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "fio_security.h"

namespace {

struct Entry {
    DWORD mask;
    std::vector<unsigned char> sid;
    bool operator==(const Entry &) const = default;
};

std::vector<unsigned char> sidBytes(PSID sid) {
    auto *bytes = static_cast<unsigned char *>(sid);
    return {bytes, bytes + GetLengthSid(sid)};
}

std::vector<unsigned char> wellKnown(SID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD first, DWORD second) {
    PSID sid;
    EXPECT_TRUE(AllocateAndInitializeSid(&authority, count, first, second, 0, 0, 0, 0, 0, 0, &sid));
    auto bytes = sidBytes(sid);
    FreeSid(sid);
    return bytes;
}

std::vector<unsigned char> everyone() { return wellKnown(SECURITY_WORLD_SID_AUTHORITY, 1, SECURITY_WORLD_RID, 0); }

std::vector<unsigned char> administrators() {
    return wellKnown(SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
}

std::vector<unsigned char> tokenSid(TOKEN_INFORMATION_CLASS kind) {
    HANDLE token;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    alignas(8) unsigned char buffer[512];
    DWORD size;
    EXPECT_TRUE(GetTokenInformation(token, kind, buffer, sizeof buffer, &size));
    CloseHandle(token);
    PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER *>(buffer)->User.Sid
                                 : reinterpret_cast<TOKEN_PRIMARY_GROUP *>(buffer)->PrimaryGroup;
    return sidBytes(sid);
}

// The allow entries of the built descriptor, after checking its form.
std::vector<Entry> entriesOf(FioSecurity &security) {
    EXPECT_TRUE(IsValidSecurityDescriptor(&security.descriptor));
    SECURITY_DESCRIPTOR_CONTROL control;
    DWORD revision = 0;
    EXPECT_TRUE(GetSecurityDescriptorControl(&security.descriptor, &control, &revision));
    EXPECT_EQ(revision, 1u);
    BOOL present = FALSE, defaulted = TRUE;
    PACL list = nullptr;
    EXPECT_TRUE(GetSecurityDescriptorDacl(&security.descriptor, &present, &list, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_FALSE(defaulted);
    std::vector<Entry> entries;
    if (list == nullptr) {
        ADD_FAILURE() << "no access list";
        return entries;
    }
    EXPECT_EQ(list->AclRevision, 2);
    EXPECT_EQ(list->AclSize, 1024);
    EXPECT_TRUE(IsValidAcl(list));
    for (DWORD i = 0; i < list->AceCount; ++i) {
        ACCESS_ALLOWED_ACE *ace;
        EXPECT_TRUE(GetAce(list, i, reinterpret_cast<void **>(&ace)));
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(ace->Header.AceFlags, 0);
        entries.push_back({ace->Mask, sidBytes(&ace->SidStart)});
    }
    return entries;
}

constexpr DWORD readMask = 0x120089, writeMask = 0x130116, executeMask = 0x1200A0, fullMask = 0x1F01FF;

} // namespace

TEST(FioSecurity, EntriesComeInOrderAndOnlyForNonZeroMasks) {
    FioSecurity security;
    ASSERT_EQ(fioSecurityBuild(&security, 1, 2, 3, 4), 0);
    std::vector<Entry> expected = {{1, tokenSid(TokenUser)},
                                   {2, tokenSid(TokenPrimaryGroup)},
                                   {3, everyone()},
                                   {4, administrators()}};
    EXPECT_EQ(entriesOf(security), expected);
    fioSecurityFree(&security);

    ASSERT_EQ(fioSecurityBuild(&security, 0, 0x20, 0, 0x40), 0);
    expected = {{0x20, tokenSid(TokenPrimaryGroup)}, {0x40, administrators()}};
    EXPECT_EQ(entriesOf(security), expected);
    fioSecurityFree(&security);
}

TEST(FioSecurity, TheTokenIsReadOnlyForOwnerOrGroup) {
    FioSecurity security;
    ASSERT_EQ(fioSecurityBuild(&security, 0, 0, 7, 0), 0);
    EXPECT_EQ(security.user, nullptr);
    EXPECT_EQ(security.group, nullptr);
    EXPECT_EQ(entriesOf(security), (std::vector<Entry>{{7, everyone()}}));
    fioSecurityFree(&security);
    ASSERT_EQ(fioSecurityBuild(&security, 5, 0, 0, 0), 0);
    EXPECT_NE(security.user, nullptr);
    EXPECT_EQ(security.group, nullptr);
    fioSecurityFree(&security);
}

TEST(FioSecurity, AllMasksZeroGiveAnEmptyListRatherThanNone) {
    FioSecurity security;
    ASSERT_EQ(fioSecurityBuild(&security, 0, 0, 0, 0), 0);
    EXPECT_TRUE(entriesOf(security).empty());
    fioSecurityFree(&security);
}

TEST(FioSecurity, PermissionTriadsBecomeFileAccess) {
    EXPECT_EQ(fioPermissionMask(0), 0u);
    EXPECT_EQ(fioPermissionMask(4), readMask);
    EXPECT_EQ(fioPermissionMask(2), writeMask);
    EXPECT_EQ(fioPermissionMask(1), executeMask);
    EXPECT_EQ(fioPermissionMask(6), readMask | writeMask);
    EXPECT_EQ(fioPermissionMask(5), readMask | executeMask);
    EXPECT_EQ(fioPermissionMask(3), writeMask | executeMask);
    EXPECT_EQ(fioPermissionMask(7), fullMask);
    EXPECT_EQ(fioPermissionMask(0777), fullMask); // only the low triad counts
    EXPECT_EQ(fioPermissionMask(0770), 0u);
}

TEST(FioSecurity, Permissions0600And0777) {
    FioSecurity security;
    ASSERT_EQ(fioSecurityBuild(&security, fioPermissionMask(6), fioPermissionMask(0), fioPermissionMask(0), 0), 0);
    EXPECT_EQ(entriesOf(security), (std::vector<Entry>{{readMask | writeMask, tokenSid(TokenUser)}}));
    fioSecurityFree(&security);
    ASSERT_EQ(fioSecurityBuild(&security, fullMask, fullMask, fullMask, 0), 0);
    std::vector<Entry> expected = {
        {fullMask, tokenSid(TokenUser)}, {fullMask, tokenSid(TokenPrimaryGroup)}, {fullMask, everyone()}};
    EXPECT_EQ(entriesOf(security), expected);
    fioSecurityFree(&security);
}

TEST(FioSecurity, FreeingKeepsTheLastError) {
    FioSecurity security;
    ASSERT_EQ(fioSecurityBuild(&security, 1, 1, 1, 1), 0);
    SetLastError(ERROR_SHARING_VIOLATION);
    fioSecurityFree(&security);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(security.user, nullptr);
    EXPECT_EQ(security.everyone, nullptr);
}
