// Where the test program and the built libraries lie, and scratch folders for tests.
#ifndef TEST_SUPPORT_TEST_PATHS_H
#define TEST_SUPPORT_TEST_PATHS_H

#include <string>

std::string thisProgramPath();
// The folder that holds the built programs and libraries.
std::string outputDirectory();

// A new empty folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

void copyFileOrThrow(const std::string &from, const std::string &to);
void writeTextFile(const std::string &path, const std::string &text);
std::string readTextFile(const std::string &path);

#endif
