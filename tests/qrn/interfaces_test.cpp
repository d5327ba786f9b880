// Agent_OnLoad called by a VM whose GetEnv refuses, or hands over a recorder interface that is not
// one: the agent's texts, its result, and the assertion on the magic word.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "child_process.h"
#include "vm_session.h"

namespace {

// How the stand-in VM answers: 0 refuses the tool interface, 1 the recorder interface, 2 hands a
// recorder interface with a wrong magic word, 3 leaves the output word as it was.
int mode = 0;
QrnInterface wrongInterface = {};
void *toolInterface = &wrongInterface;

jint JNICALL getEnv(JavaVM *, void **penv, jint version) {
    if (version == 0x30010000) {
        if (mode == 0)
            return JNI_EVERSION;
        *penv = &toolInterface;
        return JNI_OK;
    }
    if (version != QRN_INTERFACE_VERSION)
        return JNI_EVERSION;
    if (mode == 1)
        return JNI_EINVAL;
    if (mode == 2) {
        wrongInterface.magic = PRODUCER_MAGIC + 1;
        *penv = &wrongInterface;
    }
    return JNI_OK;
}

int callAgent(int which) {
    mode = which;
    HMODULE qrn = LoadLibraryA(besideProgram("qrn.dll").c_str());
    if (qrn == nullptr)
        return 90;
    using OnLoad = jint(JNICALL *)(JavaVM *, char *, void *);
    auto onLoad = reinterpret_cast<OnLoad>(reinterpret_cast<void *>(GetProcAddress(qrn, "Agent_OnLoad")));
    if (onLoad == nullptr)
        return 91;
    JNIInvokeInterface_ functions;
    memset(&functions, 0, sizeof functions);
    functions.GetEnv = getEnv;
    JavaVM vm{&functions};
    jint result = onLoad(&vm, nullptr, nullptr);
    printf("%d\n", static_cast<int>(result));
    return 0;
}

CHILD_SCENARIO(qrn_no_tool_interface) { return callAgent(0); }
CHILD_SCENARIO(qrn_no_recorder_interface) { return callAgent(1); }
CHILD_SCENARIO(qrn_wrong_magic) { return callAgent(2); }
CHILD_SCENARIO(qrn_word_unchanged) { return callAgent(3); }

TEST(AgentInterfaces, AMissingInterfaceEndsStartUpWithItsCode) {
    ChildResult child = runScenario("qrn_no_tool_interface");
    EXPECT_EQ(child.exitCode, 0u);
    EXPECT_EQ(child.out, "-3\r\n");
    EXPECT_EQ(child.err, "[ERROR][qrn    ] Could not get JVMTI interface (-3). Agent exiting.\n\r\n");

    child = runScenario("qrn_no_recorder_interface");
    EXPECT_EQ(child.exitCode, 0u);
    EXPECT_EQ(child.out, "-6\r\n");
    EXPECT_EQ(child.err, "[ERROR][qrn    ] Could not get QRN interface (-6). Agent exiting.\n\r\n");
}

TEST(AgentInterfaces, ARecorderInterfaceThatIsNotOneIsAnAssertion) {
    ChildResult child = runScenario("qrn_wrong_magic");
    EXPECT_EQ(child.exitCode, abortExitCode);
    EXPECT_EQ(child.err, "Assertion failed: \"ifz.prod->magic == PRODUCER_MAGIC\" at Agent_OnLoad "
                         "(src/ext/qrn/c/vmqrn:1861)\r\n");

    child = runScenario("qrn_word_unchanged");
    EXPECT_EQ(child.exitCode, abortExitCode);
    EXPECT_EQ(child.err, "Assertion failed: \"ifz.agent != &qrn_agent\" at Agent_OnLoad "
                         "(src/ext/qrn/c/vmqrn:1860)\r\n");
}

} // namespace
