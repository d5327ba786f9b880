// Native libraries load by name, from the system folders or from the asking module's folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "osal/sharedlib.h"
#include "test_paths.h"

namespace {

std::string mapped(const char *name, int size, int *result) {
    char buffer[300];
    memset(buffer, '#', sizeof buffer);
    *result = sharedlibMapLibraryName(name, buffer, size);
    return buffer[0] == '#' ? std::string("(untouched)") : std::string(buffer);
}

// The program calls the library's exports through stubs of its own: ask the library itself.
const void *insideTheLibrary() {
    return reinterpret_cast<const void *>(GetProcAddress(GetModuleHandleA("tovane.dll"), "sharedlibLoad"));
}

} // namespace

TEST(LibraryNames, BareNamesGainTheLibraryExtension) {
    int result = -1;
    EXPECT_EQ(mapped("zip", 64, &result), "zip.dll");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(mapped("lib.so", 64, &result), "lib.so.dll");
    EXPECT_EQ(result, 0);
}

TEST(LibraryNames, NamesThatAreNotBareAreCopiedUnchanged) {
    int result = -1;
    for (const char *name : {"ZIP.DLL", "net.Dll", "c:\\lib\\zip", "a;b"}) {
        EXPECT_EQ(mapped(name, 64, &result), name);
        EXPECT_EQ(result, 0) << name;
    }
    EXPECT_EQ(mapped("c:\\lib\\zip", 5, &result), "c:\\l");
    EXPECT_EQ(result, 1);
}

TEST(LibraryNames, TheBufferMustHoldNameExtensionAndTerminator) {
    int result = -1;
    mapped("zip", 7, &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(mapped("zip", 8, &result), "zip.dll");
    EXPECT_EQ(result, 0);
    mapped("zip", 0, &result);
    EXPECT_EQ(result, 3);
    EXPECT_EQ(sharedlibMapLibraryName(nullptr, nullptr, 8), 3);
}

TEST(SystemLoad, LoadsFromTheSystemFolders) {
    char error[128] = "";
    void *kernel = sharedlibSystemLoad("kernel32.dll", error, sizeof error);
    ASSERT_NE(kernel, nullptr);
    EXPECT_NE(sharedlibFindEntry(kernel, "GetTickCount"), nullptr);
    EXPECT_EQ(sharedlibFindEntry(kernel, "NoSuchEntryAnywhere"), nullptr);
    EXPECT_EQ(sharedlibFindEntry(nullptr, "main"), nullptr) << "a null handle is not the program";
    EXPECT_NE(sharedlibUnload(kernel), 0);
}

TEST(SystemLoad, AMissingFileLeavesTheText) {
    char error[128] = "";
    EXPECT_EQ(sharedlibSystemLoad("nowhere-to-be-found.dll", error, sizeof error), nullptr);
    EXPECT_STREQ(error, "Cannot load nowhere-to-be-found.dll from system directories.");
    char small[10];
    EXPECT_EQ(sharedlibSystemLoad("nowhere-to-be-found.dll", small, sizeof small), nullptr);
    EXPECT_STREQ(small, "Cannot lo");
}

TEST(PlainLoad, AMissingLibraryReportsDependentLibraries) {
    char error[256] = "";
    EXPECT_EQ(sharedlibLoad("surely-missing-library", error, sizeof error), nullptr);
    EXPECT_STREQ(error, "Can't find dependent libraries");
}

TEST(PlainLoad, TheErrorIsCutToTheCallersBuffer) {
    char error[6];
    memset(error, '#', sizeof error);
    EXPECT_EQ(sharedlibLoad("surely-missing-library", error, 5), nullptr);
    EXPECT_STREQ(error, "Can'");
    EXPECT_EQ(error[5], '#');
}

TEST(ModuleFolderLoad, LoadsBesideTheAskingModuleWhenThatFolderIsNotSearched) {
    TempDir folder;
    copyFileOrThrow(outputDirectory() + "\\loadex_caller.dll", folder.file("loadex_caller.dll"));
    copyFileOrThrow(outputDirectory() + "\\sarnik_without_add.dll", folder.file("beside_target.dll"));

    char error[256] = "";
    EXPECT_EQ(sharedlibLoad("beside_target", error, sizeof error), nullptr) << "the folder must not be searched";

    HMODULE caller = LoadLibraryA(folder.file("loadex_caller.dll").c_str());
    ASSERT_NE(caller, nullptr);
    auto callLoadEx = reinterpret_cast<void *(*)(const char *, char *, int)>(GetProcAddress(caller, "callLoadEx"));
    ASSERT_NE(callLoadEx, nullptr);
    void *target = callLoadEx("beside_target", error, sizeof error);
    ASSERT_NE(target, nullptr) << error;

    char path[MAX_PATH];
    ASSERT_EQ(sharedLibGetDLLPath(path, sizeof path, sharedlibFindEntry(target, "_logforceprintv")), 0);
    EXPECT_EQ(std::string(path), folder.file("beside_target.dll"));
    sharedlibUnload(target);
    FreeLibrary(caller);
}

TEST(ModuleFolderLoad, ANameThatIsNotBareIsNotLookedForBeside) {
    char error[256] = "";
    EXPECT_EQ(sharedlibLoadEx("tovane-copy.dll", error, sizeof error), nullptr);
    EXPECT_STREQ(error, "Can't find dependent libraries");
}

TEST(ModulePath, GivesTheFileOfTheModuleHoldingAnAddress) {
    char path[MAX_PATH];
    ASSERT_EQ(sharedLibGetDLLPath(path, sizeof path, insideTheLibrary()), 0);
    EXPECT_EQ(std::string(path), outputDirectory() + "\\tovane.dll");
}

TEST(ModulePath, ANameThatFillsTheBufferExactlyDoesNotFit) {
    std::string full = outputDirectory() + "\\tovane.dll";
    std::string buffer(full.size() + 1, '#');
    const void *inside = insideTheLibrary();
    EXPECT_EQ(sharedLibGetDLLPath(buffer.data(), static_cast<int>(full.size()), inside), 1);
    EXPECT_EQ(sharedLibGetDLLPath(buffer.data(), static_cast<int>(full.size() + 1), inside), 0);
    EXPECT_EQ(std::string(buffer.c_str()), full);
    EXPECT_EQ(sharedLibGetDLLPath(buffer.data(), static_cast<int>(buffer.size()), nullptr), 1);
}
