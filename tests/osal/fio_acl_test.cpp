// Files, directories and mappings created with explicit access lists, through the library.
// The platform under test may neither keep nor enforce a file's list; the lists built are
// checked in memory by the internal tests, and here on mapping objects, which keep them.
#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <psapi.h>

#include <string>
#include <vector>

#include "osal/fio.h"
#include "osal/os_error.h"
#include "test_paths.h"

namespace {

struct Entry {
    DWORD mask;
    std::vector<unsigned char> sid;
};

std::vector<unsigned char> sidBytes(PSID sid) {
    auto *bytes = static_cast<unsigned char *>(sid);
    return {bytes, bytes + GetLengthSid(sid)};
}

std::vector<unsigned char> everyoneSid() {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID sid;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &sid);
    auto bytes = sidBytes(sid);
    FreeSid(sid);
    return bytes;
}

// The allow entries of a kernel object's access list, or nothing when it has none.
bool objectEntries(HANDLE object, std::vector<Entry> *entries) {
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    for (DWORD i = 0; list != nullptr && i < list->AceCount; ++i) {
        ACCESS_ALLOWED_ACE *ace;
        if (GetAce(list, i, reinterpret_cast<void **>(&ace)) && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE)
            entries->push_back({ace->Mask, sidBytes(&ace->SidStart)});
    }
    LocalFree(descriptor);
    return list != nullptr;
}

} // namespace

TEST(FioAcl, CreatesFilesAndDirectoriesWithLists) {
    TempDir dir;
    FioHandle file = fio_open_perm(dir.file("perm").c_str(), FIO_CREATE_NEW, 0600);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    EXPECT_EQ(fio_write(file, "x", 1), 1);
    fio_close(file);
    file = fio_open_acl(dir.file("acl").c_str(), FIO_CREATE_NEW, GENERIC_ALL, 0, FILE_GENERIC_READ, GENERIC_ALL);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    fio_close(file);
    std::wstring wide = std::wstring(dir.path().begin(), dir.path().end()) + L"\\\x4e2d";
    file = fio_open_perm_w(wide.c_str(), FIO_CREATE_NEW, 0777);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    fio_close(file);
    file = fio_open_acl_w((wide + L"2").c_str(), FIO_CREATE_NEW, GENERIC_ALL, GENERIC_READ, 0, 0);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    fio_close(file);

    EXPECT_EQ(fio_mkdir2(dir.file("d1").c_str(), 0700), 0);
    EXPECT_EQ(fio_mkdir_w2((wide + L"d").c_str(), 0750), 0);
    EXPECT_EQ(fio_mkdir_acl(dir.file("d2").c_str(), GENERIC_ALL, 0, 0, GENERIC_ALL), 0);
    EXPECT_EQ(fio_mkdir_acl_w((wide + L"e").c_str(), GENERIC_ALL, 0, 0, 0), 0);
    for (const char *name : {"d1", "d2"})
        EXPECT_NE(fio_isdir(dir.file(name).c_str()), 0) << name;
    EXPECT_EQ(fio_set_file_security(dir.file("perm").c_str(), FILE_ALL_ACCESS, 0, FILE_GENERIC_READ, 0), 0);
}

TEST(FioAcl, ExistingDirectoriesAreAcceptedAndFilesAreNot) {
    TempDir dir;
    EXPECT_EQ(fio_mkdir_acl(dir.path().c_str(), 0, 0, 0, 0), 0);
    EXPECT_EQ(fio_mkdir2(dir.path().c_str(), 0), 0);
    writeTextFile(dir.file("f"), "");
    osSetLastError(0);
    EXPECT_EQ(fio_mkdir2(dir.file("f").c_str(), 0700), -1);
    EXPECT_EQ(osGetLastError(), ERROR_ALREADY_EXISTS);
}

TEST(FioAcl, FailuresLeaveThePlatformError) {
    TempDir dir;
    writeTextFile(dir.file("there"), "");
    osSetLastError(0);
    EXPECT_EQ(fio_open_perm(dir.file("there").c_str(), FIO_CREATE_NEW, 0600), FIO_INVALID_HANDLE);
    EXPECT_EQ(osGetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(fio_open_acl(dir.file("x").c_str(), FIO_READ_ONLY, GENERIC_ALL, 0, 0, 0), FIO_INVALID_HANDLE);
    EXPECT_EQ(osGetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(fio_open_perm(nullptr, FIO_CREATE_NEW, 0600), FIO_INVALID_HANDLE);
    EXPECT_EQ(fio_open_acl_w(nullptr, FIO_CREATE_NEW, 0, 0, 0, 0), FIO_INVALID_HANDLE);
    EXPECT_EQ(fio_mkdir_acl(dir.file("a\\b").c_str(), GENERIC_ALL, 0, 0, 0), -1);
    EXPECT_EQ(osGetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(fio_mkdir2(nullptr, 0700), -1);
    EXPECT_EQ(fio_mkdir_w2(nullptr, 0700), -1);
    EXPECT_EQ(fio_set_file_security(nullptr, GENERIC_ALL, 0, 0, 0), -1);
    EXPECT_EQ(osGetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(fio_set_file_security(dir.file("missing").c_str(), GENERIC_ALL, 0, 0, 0), -1);
    EXPECT_EQ(osGetLastError(), ERROR_FILE_NOT_FOUND);
    // Root writes anywhere; a file held without write sharing still refuses a second writer.
    FioHandle holder = fio_open(dir.file("held").c_str(), FIO_CREATE_NEW | FIO_SHARE_READ);
    ASSERT_NE(holder, FIO_INVALID_HANDLE);
    EXPECT_EQ(fio_open_perm(dir.file("held").c_str(), FIO_WRITE_ONLY | FIO_OPEN_EXISTING, 0600), FIO_INVALID_HANDLE);
    EXPECT_EQ(osGetLastError(), ERROR_SHARING_VIOLATION);
    fio_close(holder);
}

TEST(FioAcl, AMappingObjectKeepsTheListItWasGiven) {
    TempDir dir;
    FioHandle file = fio_open(dir.file("mapped").c_str(), FIO_CREATE_NEW);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    void *mapping = nullptr;
    auto *view = static_cast<char *>(fio_create_mapping_acl(file, nullptr, FIO_MAP_READ_WRITE, 0, 4096, 0, 0,
                                                            FILE_MAP_READ, 0, &mapping));
    ASSERT_NE(view, nullptr);
    ASSERT_NE(mapping, nullptr);
    std::vector<Entry> entries;
    ASSERT_TRUE(objectEntries(mapping, &entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].mask, static_cast<DWORD>(FILE_MAP_READ));
    EXPECT_EQ(entries[0].sid, everyoneSid());
    // The view is of our file (the platform may name it by device or by drive).
    char name[MAX_PATH] = "";
    ASSERT_GT(GetMappedFileNameA(GetCurrentProcess(), view, name, MAX_PATH), 0u);
    std::string mapped = name;
    EXPECT_EQ(mapped.substr(mapped.size() - 7), "\\mapped") << mapped;
    view[0] = 'm';
    EXPECT_EQ(fio_unmap(view, 4096), 0);
    CloseHandle(mapping);
    fio_close(file);
    EXPECT_EQ(readTextFile(dir.file("mapped"))[0], 'm');
}

TEST(FioAcl, AnEmptyListLetsNobodyIn) {
    TempDir dir;
    FioHandle file = fio_open(dir.file("mapped").c_str(), FIO_CREATE_NEW);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    void *mapping = reinterpret_cast<void *>(1);
    osSetLastError(0);
    void *view = fio_create_mapping_acl(file, nullptr, FIO_MAP_READ_ONLY, 0, 4096, 0, 0, 0, 0, &mapping);
    if (view == nullptr) {
        // Some platforms refuse to back a file mapping that nobody may open; nothing is left over.
        EXPECT_EQ(osGetLastError(), ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_EQ(mapping, nullptr);
    } else {
        std::vector<Entry> entries;
        EXPECT_TRUE(objectEntries(mapping, &entries)); // a list is there
        EXPECT_TRUE(entries.empty());
        EXPECT_EQ(fio_unmap(view, 4096), 0);
        CloseHandle(mapping);
    }
    fio_close(file);
}

TEST(FioAcl, WithoutAnOutPointerTheMappingIsClosedAndTheViewStays) {
    TempDir dir;
    FioHandle file = fio_open(dir.file("mapped").c_str(), FIO_CREATE_NEW);
    ASSERT_NE(file, FIO_INVALID_HANDLE);
    auto *view = static_cast<char *>(
        fio_create_mapping_acl(file, nullptr, FIO_MAP_READ_WRITE, 0, 4096, GENERIC_ALL, 0, 0, 0, nullptr));
    ASSERT_NE(view, nullptr);
    view[0] = 'v';
    EXPECT_EQ(fio_unmap(view, 4096), 0);
    char back = 0;
    EXPECT_EQ(fio_pread(file, &back, 1, 0), 1);
    EXPECT_EQ(back, 'v');
    void *mapping = reinterpret_cast<void *>(1);
    osSetLastError(0);
    EXPECT_EQ(fio_create_mapping_acl(FIO_INVALID_HANDLE, nullptr, 1, 0, 16, 0, 0, 0, 0, &mapping), nullptr);
    EXPECT_EQ(mapping, nullptr);
    EXPECT_EQ(osGetLastError(), ERROR_INVALID_HANDLE);
    fio_close(file);
}
