// Listing directories: entries, their flags and the normalised directory name.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>

#include "osal/fio.h"
#include "test_paths.h"

namespace {

std::set<std::string> listing(const std::string &name, std::string *dirname = nullptr) {
    FioDirIter *it = nullptr;
    EXPECT_EQ(fio_diter_create(name.c_str(), &it), 0) << name;
    std::set<std::string> names;
    if (it == nullptr)
        return names;
    if (dirname != nullptr)
        *dirname = fio_diter_getdirname(it);
    while (FioDirEntry *entry = fio_diter_next(it))
        names.insert(fio_diter_getname(entry));
    EXPECT_EQ(fio_diter_next(it), nullptr);
    fio_diter_destroy(it);
    return names;
}

} // namespace

TEST(FioDirIter, ListsEveryEntryWithItsFlags) {
    TempDir dir;
    writeTextFile(dir.file("one.txt"), "1");
    writeTextFile(dir.file("two"), "2");
    CreateDirectoryA(dir.file("sub").c_str(), nullptr);
    FioDirIter *it = nullptr;
    ASSERT_EQ(fio_diter_create(dir.path().c_str(), &it), 0);
    std::set<std::string> files, directories;
    while (FioDirEntry *entry = fio_diter_next(it)) {
        bool directory = fio_diter_getflags(entry) & FILE_ATTRIBUTE_DIRECTORY;
        (directory ? directories : files).insert(fio_diter_getname(entry));
    }
    fio_diter_destroy(it);
    EXPECT_EQ(files, (std::set<std::string>{"one.txt", "two"}));
    EXPECT_EQ(directories, (std::set<std::string>{".", "..", "sub"}));
}

TEST(FioDirIter, TheNameIsNormalisedAndKeptWithoutThePattern) {
    TempDir dir;
    writeTextFile(dir.file("f"), "");
    std::string slashed = dir.path();
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    std::string dirname;
    EXPECT_EQ(listing(slashed + "//", &dirname), (std::set<std::string>{".", "..", "f"}));
    EXPECT_EQ(dirname, dir.path());
}

TEST(FioDirIter, AFileOrAMissingNameListsNothing) {
    TempDir dir;
    writeTextFile(dir.file("f"), "");
    std::string dirname;
    EXPECT_TRUE(listing(dir.file("f"), &dirname).empty());
    EXPECT_EQ(dirname, dir.file("f"));
    EXPECT_TRUE(listing(dir.file("missing")).empty());
    EXPECT_TRUE(listing(dir.file("*")).empty());
}

TEST(FioDirIter, AnEmptyNameListsTheCurrentDirectory) {
    TempDir dir;
    writeTextFile(dir.file("here"), "");
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
    std::string dirname;
    std::set<std::string> names = listing("", &dirname);
    std::set<std::string> dotted = listing("./");
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(names, (std::set<std::string>{".", "..", "here"}));
    EXPECT_EQ(dirname, ".");
    EXPECT_EQ(dotted, names);
}

TEST(FioDirIter, ARootListsTheDriveRoot) {
    std::string dirname;
    std::set<std::string> root = listing("\\", &dirname);
    ASSERT_EQ(dirname.size(), 3u);
    EXPECT_EQ(dirname.substr(1), ":\\");
    EXPECT_FALSE(root.empty());
    EXPECT_EQ(listing(dirname), root);
    EXPECT_EQ(listing(dirname.substr(0, 2) + "/"), root);
}

TEST(FioDirIter, BadArguments) {
    FioDirIter *it = reinterpret_cast<FioDirIter *>(1);
    EXPECT_EQ(fio_diter_create(nullptr, &it), -1);
    EXPECT_EQ(fio_diter_create(std::string(265, 'a').c_str(), &it), -1);
    EXPECT_EQ(fio_diter_create(".", nullptr), -1);
    ASSERT_EQ(fio_diter_create(std::string(264, 'a').c_str(), &it), 0);
    EXPECT_EQ(fio_diter_next(it), nullptr);
    EXPECT_EQ(fio_diter_getdirname(it), std::string(264, 'a'));
    fio_diter_destroy(it);
    EXPECT_EQ(fio_diter_next(nullptr), nullptr);
    fio_diter_destroy(nullptr);
}
