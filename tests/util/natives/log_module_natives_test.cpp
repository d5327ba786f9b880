// The log-module natives in the VM, with the library loaded as a VM loads it: sorted module
// names, a module's object and its level buffers, lines written for a module, and the exceptions.
// Each VM runs in a process of its own, as the ids the natives keep belong to one VM.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>

#include <string>

#include "child_process.h"
#include "sarnik/log_api.h"
#include "sarnik/log_settings.h"
#include "test_logger.h"
#include "vm_session.h"

namespace {

const LogDeprecatedName renamed[] = {{"vmold", "vmt", 0, LOG_INFO, 1}};

struct ModuleClass {
    JNIEnv *env;
    jclass cls;

    jmethodID method(const char *name, const char *signature) { return env->GetStaticMethodID(cls, name, signature); }
    jobject module(const char *name) {
        jstring text = name != nullptr ? env->NewStringUTF(name) : nullptr;
        return env->CallStaticObjectMethod(cls, method("getModule0", "(Ljava/lang/String;)Lmelnor/vantrel/log/NativeLogModule;"),
                                           text);
    }
    void output(jlong handle, jint level, const char *text) {
        env->CallStaticVoidMethod(cls, method("output", "(JILjava/lang/String;)V"), handle, level,
                                  text != nullptr ? env->NewStringUTF(text) : nullptr);
    }
    jobject field(jobject object, const char *name, const char *signature) {
        return env->GetObjectField(object, env->GetFieldID(cls, name, signature));
    }
    jlong handle(jobject object) { return env->GetLongField(object, env->GetFieldID(cls, "handle", "J")); }
    jint intField(jobject object, const char *name) { return env->GetIntField(object, env->GetFieldID(cls, name, "I")); }
};

std::string text(JNIEnv *env, jobject string) {
    if (string == nullptr)
        return "null";
    const char *chars = env->GetStringUTFChars(static_cast<jstring>(string), nullptr);
    std::string copy = chars;
    env->ReleaseStringUTFChars(static_cast<jstring>(string), chars);
    return copy;
}

std::string joined(JNIEnv *env, jobjectArray array) {
    if (array == nullptr)
        return "null";
    std::string out;
    for (jsize i = 0; i < env->GetArrayLength(array); ++i)
        out += (i > 0 ? " " : "") + text(env, env->GetObjectArrayElement(array, i));
    return out;
}

// The pending exception's class and message, cleared.
std::string thrown(JNIEnv *env) {
    jthrowable pending = env->ExceptionOccurred();
    if (pending == nullptr)
        return "none";
    env->ExceptionClear();
    jclass cls = env->GetObjectClass(pending);
    jobject name = env->CallObjectMethod(cls, env->GetMethodID(env->GetObjectClass(cls), "getName", "()Ljava/lang/String;"));
    jobject message = env->CallObjectMethod(pending, env->GetMethodID(cls, "getMessage", "()Ljava/lang/String;"));
    return text(env, name) + " '" + text(env, message) + "'";
}

jlong handleOf(const LogModule *module) { return static_cast<jlong>(reinterpret_cast<uintptr_t>(module)); }

int *wordOf(JNIEnv *env, jobject buffer) { return static_cast<int *>(env->GetDirectBufferAddress(buffer)); }

} // namespace

CHILD_SCENARIO(log_module_natives) {
    // A library's logger with an alias, a deprecated name and a module that keeps no sanity word.
    Logger *logger = newLogger({{"vmt", "vmtalias"}, {"nosanity"}}, LOG_INFO, LOG_SANITY_MINIMAL);
    logger->modules[1].sanity = nullptr;
    logger->deprecated = renamed;
    logger->deprecatedCount = 1;
    _log_add_logger(logger);
    printf("%lu\n", GetCurrentProcessId());

    VmSession session;
    if (!session.created() || !session.loadLibrary("sarnik.dll"))
        return 2;
    JNIEnv *env = session.env();
    ModuleClass natives{env, env->FindClass("melnor/vantrel/log/NativeLogModule")};
    jmethodID initIDs = natives.method("initIDs", "()V");

    // Before the ids are there nothing is made and nothing is written.
    printf("before: %s %s\n", natives.module("util") == nullptr ? "null" : "object", thrown(env).c_str());
    natives.output(handleOf(&logger->modules[0]), LOG_WARN, "never written");
    printf("output before: %s\n", thrown(env).c_str());
    env->CallStaticVoidMethod(natives.cls, initIDs);
    // The ids stay for the life of the library.
    vmhostMarkBaseline(session.vm());

    auto names = static_cast<jobjectArray>(
        env->CallStaticObjectMethod(natives.cls, natives.method("getModuleNames0", "()[Ljava/lang/String;")));
    printf("names: %s\n", joined(env, names).c_str());

    jobject vmt = natives.module("vmtalias");
    printf("vmt: handle %s, names %s, defaults %d %d\n",
           natives.handle(vmt) == handleOf(&logger->modules[0]) ? "is the module" : "is not the module",
           joined(env, static_cast<jobjectArray>(natives.field(vmt, "names", "[Ljava/lang/String;"))).c_str(),
           natives.intField(vmt, "defaultLevel"), natives.intField(vmt, "defaultSanity"));
    jobject level = natives.field(vmt, "level", "Ljava/nio/ByteBuffer;");
    jobject sanity = natives.field(vmt, "sanity", "Ljava/nio/ByteBuffer;");
    printf("buffers: %s %s, capacity %d %d\n", wordOf(env, level) == logger->modules[0].level ? "level word" : "other",
           wordOf(env, sanity) == logger->modules[0].sanity ? "sanity word" : "other",
           static_cast<int>(env->GetDirectBufferCapacity(level)),
           static_cast<int>(env->GetDirectBufferCapacity(sanity)));
    *wordOf(env, level) = LOG_TRACE;
    *wordOf(env, sanity) = LOG_SANITY_DEBUG;
    printf("written: %d %d\n", *logger->modules[0].level, *logger->modules[0].sanity);
    // Java may store anything there: the listing prints a level without a name as its number.
    *wordOf(env, level) = 1234;
    *wordOf(env, sanity) = -1;
    fflush(stdout);
    _log_do_print_moduleinfo(logger, 0, reinterpret_cast<intptr_t>(GetStdHandle(STD_OUTPUT_HANDLE)));

    // A module without a sanity word reads its owner's default.
    jobject spare = natives.module("nosanity");
    jobject spareSanity = natives.field(spare, "sanity", "Ljava/nio/ByteBuffer;");
    printf("nosanity: %d, again %s\n", *wordOf(env, spareSanity),
           wordOf(env, natives.field(natives.module("nosanity"), "sanity", "Ljava/nio/ByteBuffer;")) ==
                   wordOf(env, spareSanity)
               ? "the same word"
               : "another word");

    // The library's own module prints the deprecation note only while its level allows it.
    jobject util = natives.module("util");
    int *utilLevel = wordOf(env, natives.field(util, "level", "Ljava/nio/ByteBuffer;"));
    *utilLevel = LOG_ERROR;
    printf("quiet note: %d\n", logParseMsgLevelsEx("vmold=debug", nullptr, 0, nullptr));
    fflush(stdout);
    *utilLevel = LOG_WARN;
    printf("loud note: %d\n", logParseMsgLevelsEx("vmold=debug", nullptr, 0, nullptr));
    fflush(stdout);

    natives.module("nosuch");
    printf("unknown: %s\n", thrown(env).c_str());
    natives.module(nullptr);
    printf("null name: %s\n", thrown(env).c_str());

    // Text as it is, at any level: a level outside the names prints as its number.
    const jlong handle = natives.handle(vmt);
    natives.output(handle, LOG_INFO, "text %s %d 100%");
    natives.output(handle, 9, "level nine");
    natives.output(handle, -3, "level minus three\r\n");
    natives.output(natives.handle(util), LOG_ERROR, "");
    fflush(stderr);
    natives.output(handle, LOG_INFO, nullptr);
    printf("null text: %s\n", thrown(env).c_str());
    natives.output(handle + 1, LOG_INFO, "not a module");
    printf("bad handle: %s\n", thrown(env).c_str());
    natives.output(handle + (jlong(1) << 32), LOG_INFO, "not a module");
    printf("high handle: %s\n", thrown(env).c_str());
    fflush(stdout);

    session.destroy();
    printf("problems: %s\n", takeProblems().c_str());
    return 0;
}

TEST(LogModuleNatives, NamesModuleObjectsLevelBuffersOutputAndExceptions) {
    ChildResult result = runScenario("log_module_natives");
    ASSERT_EQ(result.exitCode, 0u) << result.out << result.err;
    const std::string out = result.out.substr(result.out.find('\n') + 1);
    EXPECT_EQ(out, "before: null none\r\n"
                   "output before: none\r\n"
                   "names: cpuid cpuinfo nosanity osal timing util vmt\r\n"
                   "vmt: handle is the module, names vmt vmtalias, defaults 3 1\r\n"
                   "buffers: level word sanity word, capacity 4 4\r\n"
                   "written: 5 3\r\n"
                   "\tvmt (vmtalias): level=1234, decorations=3, sanity=-1\n"
                   "nosanity: 1, again the same word\r\n"
                   "quiet note: 0\r\n"
                   "loud note: 0\r\n"
                   "unknown: java.lang.IllegalArgumentException 'no such logmodule'\r\n"
                   "null name: java.lang.NullPointerException ''\r\n"
                   "null text: java.lang.NullPointerException ''\r\n"
                   "bad handle: java.lang.IllegalArgumentException 'no such logmodule'\r\n"
                   "high handle: java.lang.IllegalArgumentException 'no such logmodule'\r\n"
                   "problems: \r\n");
    EXPECT_EQ(result.err, "[WARN ][util   ] Logging module vmold is deprecated. Please use vmt=INFO instead.\r\n"
                          "[INFO ][vmt    ] text %s %d 100%\r\n"
                          "[9    ][vmt    ] level nine\r\n"
                          "[-3   ][vmt    ] level minus three\r\n\r\n"
                          "[ERROR][util   ] \r\n");
}
