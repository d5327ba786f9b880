// The agent loaded into the VM with option strings: its messages, its refusals and the buffer
// sizes it settles on, as the recorder's options native reports them.
#include <cstdio>

#include "child_process.h"
#include "test_paths.h"
#include "vm_session.h"

namespace {

std::string agentOption(const char *options) {
    std::string option = "-agentpath:" + besideProgram("qrn.dll");
    if (options != nullptr)
        option += std::string("=") + options;
    return option;
}

jint intField(JNIEnv *env, jobject object, const char *name) {
    jclass c = env->GetObjectClass(object);
    jint value = env->GetIntField(object, env->GetFieldID(c, name, "I"));
    env->DeleteLocalRef(c);
    return value;
}

jlong longField(JNIEnv *env, jobject object, const char *name) {
    jclass c = env->GetObjectClass(object);
    jlong value = env->GetLongField(object, env->GetFieldID(c, name, "J"));
    env->DeleteLocalRef(c);
    return value;
}

// Prints "created" or the VM's result, then the effective sizes: thread buffer, global buffer,
// count, chunk size.
CHILD_SCENARIO(qrn_load) {
    const char *options = argc > 0 && std::string(argv[0]) != "-" ? argv[0] : nullptr;
    VmSession session({agentOption(options)});
    if (!session.created()) {
        printf("refused %d\n", static_cast<int>(session.createResult()));
        return 0;
    }
    JNIEnv *env = session.env();
    jclass c = env->FindClass("melnor/vantrel/qrn/VMQRN");
    jclass qrn = env->FindClass("melnor/vantrel/qrn/QRN");
    jobject recorder = env->CallStaticObjectMethod(qrn, env->GetStaticMethodID(qrn, "get", "()Lmelnor/vantrel/qrn/QRN;"));
    env->DeleteLocalRef(qrn);
    jobject result = env->CallObjectMethod(recorder, env->GetMethodID(c, "options", "()Lmelnor/vantrel/qrn/Options;"));
    if (result == nullptr) {
        printf("no options\n");
        return 1;
    }
    printf("created %d %d %d %lld\n", static_cast<int>(intField(env, result, "threadBufferSize")),
           static_cast<int>(intField(env, result, "globalBufferSize")),
           static_cast<int>(intField(env, result, "numGlobalBuffers")),
           static_cast<long long>(longField(env, result, "maxChunkSize")));
    env->DeleteLocalRef(result);
    env->DeleteLocalRef(recorder);
    env->DeleteLocalRef(c);
    fflush(stdout);
    return session.destroy() == JNI_OK ? 0 : 2;
}

// What the options native reports beyond the sizes.
CHILD_SCENARIO(qrn_options) {
    VmSession session({agentOption(argv[0])});
    if (!session.created())
        return 1;
    JNIEnv *env = session.env();
    jclass qrn = env->FindClass("melnor/vantrel/qrn/QRN");
    jobject recorder = env->CallStaticObjectMethod(qrn, env->GetStaticMethodID(qrn, "get", "()Lmelnor/vantrel/qrn/QRN;"));
    jclass c = env->FindClass("melnor/vantrel/qrn/VMQRN");
    jobject result = env->CallObjectMethod(recorder, env->GetMethodID(c, "options", "()Lmelnor/vantrel/qrn/Options;"));
    if (result == nullptr)
        return 3;
    jclass oc = env->GetObjectClass(result);
    auto settings = static_cast<jobjectArray>(env->GetObjectField(result, env->GetFieldID(oc, "settings", "[Ljava/lang/String;")));
    auto repository = static_cast<jstring>(env->GetObjectField(result, env->GetFieldID(oc, "repository", "Ljava/lang/String;")));
    const char *repo = repository != nullptr ? env->GetStringUTFChars(repository, nullptr) : nullptr;
    printf("repository %s settings %d disk %d default %d maxage %lld maxsize %lld\n", repo != nullptr ? repo : "null",
           settings != nullptr ? int(env->GetArrayLength(settings)) : -1,
           int(env->GetBooleanField(result, env->GetFieldID(oc, "disk", "Z"))),
           int(env->GetBooleanField(result, env->GetFieldID(oc, "defaultRecording", "Z"))),
           static_cast<long long>(longField(env, result, "maxAge")),
           static_cast<long long>(longField(env, result, "maxSize")));
    if (repo != nullptr)
        env->ReleaseStringUTFChars(repository, repo);
    fflush(stdout);
    return session.destroy() == JNI_OK ? 0 : 2;
}

TEST(AgentStartUp, TheOptionsNativeReportsTheOptionString) {
    TempDir dir;
    std::string repository = dir.file("repo");
    ChildResult child = runScenario("qrn_options", {"disk=true,repository=" + repository + ",settings=a,settings=b"});
    EXPECT_EQ(child.exitCode, 0u) << child.err;
    // A disk recording without a maximum age keeps 15 minutes of data.
    EXPECT_EQ(child.out, "repository " + repository + " settings 2 disk 1 default 0 maxage 900000000000 maxsize 0\r\n");
    child = runScenario("qrn_options", {"maxage=5s,maxsize=1000"});
    EXPECT_EQ(child.out, "repository null settings 0 disk 0 default 0 maxage 5000000000 maxsize 1000\r\n");
}

ChildResult load(const char *options) {
    return runScenario("qrn_load", {options != nullptr ? options : "-"});
}

struct Case {
    const char *options;
    const char *out;
    const char *err;
};

TEST(AgentStartUp, SettlesOnTheBufferSizesTheRulesGive) {
    const Case cases[] = {
        {nullptr, "created 5120 462848 22 12582912\r\n", ""},
        {"disk=false", "created 5120 462848 22 12582912\r\n", ""},
        {"threadbuffersize=1000", "created 2048 462848 22 12582912\r\n",
         "[WARN ][qrn    ] threadbuffersize less than minimum 2KB, using minimum allowed..."},
        {"numglobalbuffers=50", "created 5120 462848 30 12582912\r\n",
         "[WARN ][qrn    ] numglobalbuffers more than maximum 30, using maximum allowed..."},
        {"numglobalbuffers=1", "created 5120 462848 3 12582912\r\n",
         "[WARN ][qrn    ] numglobalbuffers less than minimum 3, using minimum allowed..."},
        {"maxchunksize=1000", "created 5120 462848 22 1048576\r\n",
         "[WARN ][qrn    ] maxchunksize less than minimum 1MB, using minimum allowed..."},
        // 4194304 / 22 = 190650, rounded to 47 pages; 22 of them exceed the total, 21 fit.
        {"globalbuffers=4194304", "created 5120 192512 21 12582912\r\n", ""},
        // Small buffers merge into fewer larger ones (10 of 17118), page-rounded to 20480, then as
        // many as the default total holds, at most 30.
        {"threadbuffersize=2048,globalbuffersize=8192", "created 2048 20480 30 12582912\r\n", ""},
        {"globalbuffersize=1000", "created 5120 45056 30 12582912\r\n",
         "[WARN ][qrn    ] globalbuffersize less than minimum 20KB, using minimum allowed..."},
        // Both totals given: 1 MiB of 64 KiB buffers is 16.
        {"globalbuffers=1048576,globalbuffersize=65536,numglobalbuffers=16", "created 5120 65536 16 12582912\r\n", ""},
        // Event settings files are only read for a default recording; the default settings beside
        // the agent load without a word.
        {"settings=missing.qrc", "created 5120 462848 22 12582912\r\n", ""},
        {"default=true", "created 5120 462848 22 12582912\r\n", ""},
    };
    for (const Case &c : cases) {
        ChildResult child = load(c.options);
        EXPECT_EQ(child.exitCode, 0u) << (c.options ? c.options : "(none)") << child.err;
        EXPECT_EQ(child.out, c.out) << (c.options ? c.options : "(none)");
        // The log writer ends every message with CR LF.
        std::string expectedErr = *c.err ? std::string(c.err) + "\r\n" : std::string();
        EXPECT_EQ(child.err, expectedErr) << (c.options ? c.options : "(none)");
    }
}

TEST(AgentStartUp, RefusesBadOptionStrings) {
    // The last would make the thread buffer limits wrap in 32 bits.
    const char *bad[] = {"bogus=1", "threadbuffersize=abc", "threadbuffersize=300000000"};
    for (const char *options : bad) {
        ChildResult child = load(options);
        EXPECT_EQ(child.out, "refused -1\r\n") << options;
        std::string expected = std::string("[ERROR][qrn    ] Syntax error: ") + options + "\r\n";
        EXPECT_EQ(child.err.substr(0, expected.size()), expected) << options;
    }
}

TEST(AgentStartUp, ASettingsFileThatCannotBeLoadedRefusesADefaultRecording) {
    ChildResult child = load("defaultrecording=true,settings=missing.qrc");
    EXPECT_EQ(child.out, "refused -1\r\n");
    const std::string expected =
        "[ERROR][qrn    ] Could not read settings file \"missing.qrc\": Could not open missing.qrc\r\n";
    EXPECT_EQ(child.err.substr(0, expected.size()), expected);
}

} // namespace
