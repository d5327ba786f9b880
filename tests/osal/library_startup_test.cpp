// Loading the OS layer binds its log output to the utility library beside it, or fails the load.
#include <gtest/gtest.h>

#include "child_process.h"
#include "test_paths.h"

namespace {

std::string built(const std::string &name) { return outputDirectory() + "\\" + name; }

ChildResult probe(const std::vector<std::string> &commands) { return runProgram(built("load_probe.exe"), commands); }

constexpr unsigned long initialisationFailed = 1114;

// The C runtime's standard error is a text stream: a line written with "\n" arrives as CR LF.

} // namespace

TEST(LibraryStartup, LoadsAndBindsTheUtilityLibraryFromItsOwnFolder) {
    TempDir folder;
    copyFileOrThrow(built("tovane.dll"), folder.file("tovane.dll"));
    copyFileOrThrow(built("sarnik.dll"), folder.file("sarnik.dll"));
    ChildResult result = probe({"load:" + folder.file("tovane.dll"), "where:sarnik.dll"});
    EXPECT_EQ(result.out, "ok\n" + folder.file("sarnik.dll") + "\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, 0u);
}

TEST(LibraryStartup, FailsWhenTheUtilityLibraryIsMissing) {
    TempDir folder;
    copyFileOrThrow(built("tovane.dll"), folder.file("tovane.dll"));
    ChildResult result = probe({"load:" + folder.file("tovane.dll")});
    EXPECT_EQ(result.out, "fail " + std::to_string(initialisationFailed) + "\n");
    EXPECT_EQ(result.err, "Can't find dependent libraries\r\n");
}

TEST(LibraryStartup, FailsWhenTheLogWriterIsMissing) {
    TempDir folder;
    copyFileOrThrow(built("tovane.dll"), folder.file("tovane.dll"));
    copyFileOrThrow(built("sarnik_without_print.dll"), folder.file("sarnik.dll"));
    ChildResult result = probe({"load:" + folder.file("tovane.dll")});
    EXPECT_EQ(result.out, "fail " + std::to_string(initialisationFailed) + "\n");
    EXPECT_EQ(result.err, "Could not bind _logforceprintv\r\n");
}

TEST(LibraryStartup, FailsWhenLoggerRegistrationIsMissing) {
    TempDir folder;
    copyFileOrThrow(built("tovane.dll"), folder.file("tovane.dll"));
    copyFileOrThrow(built("sarnik_without_add.dll"), folder.file("sarnik.dll"));
    ChildResult result = probe({"load:" + folder.file("tovane.dll")});
    EXPECT_EQ(result.out, "fail " + std::to_string(initialisationFailed) + "\n");
    EXPECT_EQ(result.err, "Could not bind _log_add_logger\r\n");
}

TEST(LibraryStartup, EitherLibraryMayBeLoadedFirst) {
    for (const auto &order : {std::vector<std::string>{"tovane.dll", "sarnik.dll"},
                              std::vector<std::string>{"sarnik.dll", "tovane.dll"}}) {
        ChildResult result = probe({"load:" + built(order[0]), "load:" + built(order[1]), "print:written\n"});
        EXPECT_EQ(result.out, "ok\nok\n") << order[0] << " first";
        EXPECT_EQ(result.err, "written\n") << order[0] << " first";
        EXPECT_EQ(result.exitCode, 0u) << order[0] << " first";
    }
}
