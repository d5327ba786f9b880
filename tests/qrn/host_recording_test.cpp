// The VM host as the main job runs it: a default recording of events from several threads, read
// back from the chunk files it leaves.
#include <cstdio>
#include <sstream>

#include "child_process.h"
#include "test_paths.h"
#include "vm_session.h"

namespace {

TEST(HostRecording, ADefaultRecordingKeepsEveryEventTheThreadsWrote) {
    TempDir dir;
    std::string options =
        "-agentpath:" + besideProgram("qrn.dll") + "=defaultrecording=true,repository=" + dir.file("repo");
    ChildResult child =
        runProgram(besideProgram("vmhost.exe"), {options, "-recorder", "-threads:3", "-run:500", "-untilperiodic", "-chunks"});
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    EXPECT_EQ(child.err, "");
    std::istringstream in(child.out);
    unsigned long long written = 0, chunks = 0, bytes = 0, events = 0, lost = 0;
    int chunkLines = 0;
    bool periodic = false;
    for (std::string line; std::getline(in, line);) {
        unsigned thread = 0, count = 0;
        if (sscanf(line.c_str(), "Thread %u wrote %u events", &thread, &count) == 2)
            written += count;
        else if (sscanf(line.c_str(), "  %llu chunks, %llu bytes, %llu events, %llu bytes lost", &chunks, &bytes,
                        &events, &lost) == 4)
            continue;
        else if (line.find(dir.file("repo\\")) != std::string::npos && line.find(" bytes lost") != std::string::npos) {
            ++chunkLines;
            // The default settings give the thread count a period of a second; the run lasts
            // until it was asked for.
            periodic = periodic || line.find("event 12: ") != std::string::npos;
        }
    }
    EXPECT_GT(written, 0u) << child.out;
    EXPECT_GE(chunks, 1u) << child.out;
    EXPECT_EQ(chunkLines, int(chunks)) << child.out;
    EXPECT_TRUE(periodic) << child.out;
    // 64 bytes an event from the threads; the host's own events come on top.
    EXPECT_GE(events + lost / 64, written) << child.out;
}

} // namespace
