// An agent loaded as the VM loads it; its thread, started with RunAgentThread, has a JNIEnv of its
// own and is waited for when the VM exits. The host program runs the same way.
#include "child_process.h"
#include "test_paths.h"
#include "vm_session.h"

namespace {

std::string agentOption(const std::string &options) {
    return "-agentpath:" + besideProgram("vmtest_agent.dll") + (options.empty() ? "" : "=" + options);
}

TEST(Agents, TheAgentThreadHasItsOwnEnvAndIsWaitedForAtExit) {
    takeProblems();
    TempDir dir;
    std::string marker = dir.file("marker.txt");
    {
        VmSession session({agentOption("marker=" + marker + ",sleep=300")});
        ASSERT_TRUE(session.created());
        EXPECT_EQ(session.destroy(), JNI_OK);
        // The thread wrote its marker only after the VM's death event and 300 ms of work.
        EXPECT_EQ(readTextFile(marker), "own env, thread vmtest agent, daemon, finished");
    }
    EXPECT_EQ(takeProblems(), "");
}

TEST(Agents, AnAgentThatRefusesStopsTheVmFromStarting) {
    takeProblems();
    VmSession session({agentOption("fail")});
    EXPECT_FALSE(session.created());
    EXPECT_EQ(session.createResult(), JNI_ERR);
    EXPECT_NE(takeProblems().find("answered 7: the VM does not start"), std::string::npos);
    // The process can make a VM again afterwards.
    VmSession next;
    EXPECT_TRUE(next.created());
}

TEST(Agents, UnknownOptionsAndASecondVmAreRefused) {
    VmSession bad({"-Xnonsense"});
    EXPECT_EQ(bad.createResult(), JNI_EINVAL);
    takeProblems();
    VmSession first;
    VmSession second;
    EXPECT_EQ(second.createResult(), JNI_EEXIST);
}

CHILD_SCENARIO(stuck_agent_thread) {
    VmSession session({agentOption("stuck"), "-Xvmhost:exitwait=300"});
    if (!session.created())
        return 10;
    jint result = session.destroy();
    std::string problems = takeProblems();
    fputs(problems.c_str(), stdout);
    return result == JNI_ERR ? 0 : 11;
}

TEST(Agents, TheExitWaitsForAgentThreadsOnlySoLong) {
    ChildResult child = runScenario("stuck_agent_thread");
    EXPECT_EQ(child.exitCode, 0u) << child.err;
    EXPECT_EQ(child.out, "agent thread \"vmtest agent\" still ran 300 ms after the VM exit began\r\n");
}

TEST(HostProgram, RunsAnAgentAndReportsNoProblems) {
    TempDir dir;
    std::string marker = dir.file("marker.txt");
    ChildResult child = runProgram(besideProgram("vmhost.exe"), {agentOption("marker=" + marker), "-run:50"});
    EXPECT_EQ(child.exitCode, 0u) << child.out << child.err;
    EXPECT_EQ(readTextFile(marker), "own env, thread vmtest agent, daemon, finished");

    child = runProgram(besideProgram("vmhost.exe"), {agentOption("fail")});
    EXPECT_EQ(child.exitCode, 1u);
    EXPECT_NE(child.out.find("answered 7: the VM does not start"), std::string::npos) << child.out;
}

} // namespace
