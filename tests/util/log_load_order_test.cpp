// The OS layer and this library loaded together, in either order: the OS layer's messages and
// this library's own come out through one writer, with the decorations set through this library.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "child_process.h"
#include "test_paths.h"

namespace {

struct Ids {
    std::string pid, tid;
};

Ids idsOf(const std::string &out) {
    unsigned long pid = 0, tid = 0;
    std::istringstream(out) >> pid >> tid;
    char text[2][16];
    snprintf(text[0], sizeof text[0], "[%-5.5i]", static_cast<int>(pid));
    snprintf(text[1], sizeof text[1], "[%-5.5i]", static_cast<int>(tid));
    return {text[0], text[1]};
}

} // namespace

TEST(LogLoadOrder, BothLibrariesPrintThroughOneWriterWhicheverLoadsFirst) {
    for (const char *program : {"log_probe_sarnik.exe", "log_probe_tovane.exe"}) {
        // Decorations 0x60 add the thread and process ids to the default level and module.
        ChildResult result = runProgram(outputDirectory() + "\\" + program,
                                        {"ids", "decorate:96", "level:4", "missing:no-such-library.dll",
                                         "linked:nowhere", "list"});
        ASSERT_EQ(result.exitCode, 0u) << program << "\n" << result.out;
        const Ids ids = idsOf(result.out);
        const std::string prefix = ids.tid + ids.pid + " ";
        EXPECT_EQ(result.err, "[DEBUG][osal   ]" + prefix +
                                  "Failed to load native library: no-such-library.dll: Can't find dependent "
                                  "libraries\n\r\n"
                                  "[ERROR][util   ]" +
                                  prefix + "Could not locate linked log module nowhere (No such logging module "
                                           "\"nowhere\")\n\r\n")
            << program;
        const std::string listing = result.out.substr(result.out.find('\n') + 1);
        EXPECT_EQ(listing, "\tcpuid: level=DEBUG, decorations=63, sanity=NONE\n"
                           "\tcpuinfo: level=DEBUG, decorations=63, sanity=NONE\n"
                           "\tnowhere: level=WARN, decorations=3, sanity=NONE\n"
                           "\tosal: level=DEBUG, decorations=63, sanity=NONE\n"
                           "\ttiming: level=DEBUG, decorations=63, sanity=NONE\n"
                           "\tutil: level=DEBUG, decorations=63, sanity=NONE\n")
            << program;
    }
}

TEST(LogLoadOrder, TheOsLayersWarningsCarryDecorations) {
    ChildResult result = runProgram(outputDirectory() + "\\log_probe_tovane.exe", {"ids", "decorate:96", "largepages"});
    ASSERT_EQ(result.exitCode, 0u);
    const Ids ids = idsOf(result.out);
    EXPECT_EQ(result.err.rfind("[WARN ][osal   ]" + ids.tid + ids.pid + " ", 0), 0u) << result.err;
    EXPECT_EQ(result.err.substr(result.err.size() - 3), "\n\r\n") << result.err;
}
