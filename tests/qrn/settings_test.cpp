// Event settings files read at start-up: where the agent finds them, what they give the VM's
// per-event settings and periods, and how it refuses what it cannot read.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>

#include "child_process.h"
#include "test_paths.h"
#include "vm_session.h"

namespace {

constexpr jint firstEvent = 10;
constexpr int eventCount = 4;
constexpr char vmUri[] = "http://www.melnor.com/vantrel/vm/";

struct Setting {
    jlong threshold;
    unsigned char stacktrace, enabled, reserved[6];
};

double hostNanosPerTick() {
    using GetVars = int64_t (*)(int64_t *, double *);
    auto get = reinterpret_cast<GetVars>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("tovane.dll"), "_timing_get_vars")));
    int64_t frequency = 0;
    double nanos = 0;
    if (get != nullptr)
        get(&frequency, &nanos);
    return nanos;
}

// The natives of the recorder class on an object of it, and the VM's event settings they hand out.
struct Natives {
    explicit Natives(JNIEnv *e) : env(e) {
        cls = env->FindClass("melnor/vantrel/qrn/VMQRN");
        object = env->NewObject(cls, env->GetMethodID(cls, "<init>", "()V"));
        jclass bufferClass = env->FindClass("java/nio/ByteBuffer");
        jobjectArray buffers = env->NewObjectArray(2, bufferClass, nullptr);
        env->CallIntMethod(object, method("descriptors", "(I[Ljava/nio/ByteBuffer;)I"), 1, buffers);
        jobject array = env->GetObjectArrayElement(buffers, 0);
        settings = static_cast<const Setting *>(env->GetDirectBufferAddress(array));
        for (jobject ref : {static_cast<jobject>(bufferClass), static_cast<jobject>(buffers), array})
            env->DeleteLocalRef(ref);
    }
    ~Natives() {
        env->DeleteLocalRef(object);
        env->DeleteLocalRef(cls);
    }
    jmethodID method(const char *name, const char *signature) { return env->GetMethodID(cls, name, signature); }

    JNIEnv *env;
    jclass cls;
    jobject object;
    const Setting *settings;
};

// Arguments: the agent, its options, the current folder. Prints "refused N", or each event's
// settings and period, the host's nanoseconds per tick and the periods the VM was given.
CHILD_SCENARIO(qrn_settings) {
    SetCurrentDirectoryA(argv[2]);
    std::string option = std::string("-agentpath:") + argv[0];
    if (*argv[1] != '\0')
        option += std::string("=") + argv[1];
    VmSession session({option});
    if (!session.created()) {
        printf("refused %d\n", int(session.createResult()));
        return 0;
    }
    {
        Natives n(session.env());
        jmethodID getPeriod = n.method("getPeriod", "(I)J");
        for (int i = 0; i < eventCount; ++i)
            printf("event %d enabled %d stacktrace %d threshold %lld period %lld\n", firstEvent + i,
                   int(n.settings[i].enabled), int(n.settings[i].stacktrace), (long long)n.settings[i].threshold,
                   (long long)n.env->CallLongMethod(n.object, getPeriod, firstEvent + i));
    }
    printf("nanos per tick %.17g\n", hostNanosPerTick());
    std::istringstream log(takeCallLog());
    for (std::string line; std::getline(log, line);)
        if (line.rfind("recorder.setPeriod(", 0) == 0)
            printf("vm %s\n", line.c_str());
    fflush(stdout);
    return session.destroy() == JNI_OK ? 0 : 2;
}

// An installation in a temporary folder: the agent in bin\, files placed around it.
class Layout {
public:
    Layout() {
        CreateDirectoryA(bin().c_str(), nullptr);
        copyFileOrThrow(besideProgram("qrn.dll"), agent());
    }
    std::string bin() const { return dir_.file("bin"); }
    std::string agent() const { return bin() + "\\qrn.dll"; }
    std::string file(const std::string &relative) const { return dir_.file(relative); }
    // relative with '\\' between folders, which are made as needed.
    void put(const std::string &relative, const std::string &text) const {
        for (size_t at = relative.find('\\'); at != std::string::npos; at = relative.find('\\', at + 1))
            CreateDirectoryA(dir_.file(relative.substr(0, at)).c_str(), nullptr);
        writeTextFile(dir_.file(relative), text);
    }
    // Starts the VM with the agent of this layout; a default recording into a repository here.
    ChildResult run(const std::string &options = "") const {
        std::string all = "defaultrecording=true,repository=" + dir_.file("repo");
        if (!options.empty())
            all += "," + options;
        return runScenario("qrn_settings", {agent(), all, dir_.path()});
    }

private:
    TempDir dir_;
};

struct EventState {
    int enabled = -1, stacktrace = -1;
    long long threshold = 0, period = -1;
};

struct Outcome {
    EventState events[eventCount];
    double nanosPerTick = 0;
    std::vector<std::string> vm; // "recorder.setPeriod(id, ms)" lines in order
};

Outcome parse(const ChildResult &child) {
    Outcome o;
    std::istringstream in(child.out);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        int id = 0, enabled = 0, stacktrace = 0;
        long long threshold = 0, period = 0;
        if (sscanf(line.c_str(), "event %d enabled %d stacktrace %d threshold %lld period %lld", &id, &enabled,
                   &stacktrace, &threshold, &period) == 5 &&
            id >= firstEvent && id < firstEvent + eventCount)
            o.events[id - firstEvent] = EventState{enabled, stacktrace, threshold, period};
        else if (line.rfind("nanos per tick ", 0) == 0)
            o.nanosPerTick = std::stod(line.substr(15));
        else if (line.rfind("vm ", 0) == 0)
            o.vm.push_back(line.substr(3));
    }
    return o;
}

// The threshold a number of nanoseconds gives in the host's ticks; truncation and the division
// may differ by a tick from ours.
void expectTicks(const Outcome &o, int index, double nanos) {
    ASSERT_GT(o.nanosPerTick, 0.0);
    EXPECT_NEAR(double(o.events[index].threshold), std::trunc(nanos / o.nanosPerTick), 1.0) << "event " << index;
}

std::string lines(const std::vector<std::string> &v) {
    std::string all;
    for (const std::string &s : v)
        all += s + "\n";
    return all;
}

TEST(EventSettings, FilesEnableDisableAndTimeEventsByPathAndGlob) {
    Layout layout;
    // The longer sibling name comes first: the next one must not match with its tail.
    layout.put("bin\\default.qrc", std::string("{\"") + vmUri + R"(": {
        "vm/runtime/thread_count": {"enable": false},
        "vm/gc/*": {"Enable": true, "STACKTRACE": 1, "threshold": 0},
        "vm/class/load": {"enable": true, "stacktrace": false, "threshold": "5 ms"},
        "vm/os/cpu_load": {"enable": 1, "period": 1, "threshold": "7 ms"}
    }})");
    ChildResult child = layout.run();
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    EXPECT_EQ(child.err, "");
    Outcome o = parse(child);
    EXPECT_EQ(o.events[0].enabled, 1);
    EXPECT_EQ(o.events[0].stacktrace, 1);
    expectTicks(o, 0, 20e6); // a threshold of 0 is 20 ms
    EXPECT_EQ(o.events[1].enabled, 1);
    EXPECT_EQ(o.events[1].stacktrace, 0);
    expectTicks(o, 1, 5e6);
    EXPECT_EQ(o.events[2].enabled, 0);
    EXPECT_EQ(o.events[3].enabled, 1);
    // No threshold flag: untouched. One nanosecond of period is one millisecond.
    EXPECT_EQ(o.events[3].threshold, 0);
    EXPECT_EQ(o.events[3].period, 1);
    EXPECT_EQ(lines(o.vm), "recorder.setPeriod(12, 0)\nrecorder.setPeriod(13, 1)\n");

    // Given files after the default one, in order; a whole URI by glob, a leading '*' against the
    // full path, an object whose last member is not a setting.
    layout.put("bin\\second.qrc",
               std::string("{\"") + vmUri + R"(vm/runtime/thread_count": {"enable": true, "period": "10 ms"},
        "*/os/cpu_load": {"enable": false, "period": "20 ms"},
        "*/gc/collection": {"enable": false, "inner": {"stacktrace": false}}})");
    layout.put("bin\\third.qrc",
               R"({"http://www.melnor.com/*": {"stacktrace": true, "threshold": "1 s", "enable": true}})");
    child = layout.run("settings=second,settings=third.qrc");
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    o = parse(child);
    for (int i = 0; i < eventCount; ++i) {
        EXPECT_EQ(o.events[i].enabled, 1) << i;
        EXPECT_EQ(o.events[i].stacktrace, 1) << i;
    }
    expectTicks(o, 0, 1e9);
    expectTicks(o, 1, 1e9);
    // The third file gives no period: it takes away the second one's.
    EXPECT_EQ(lines(o.vm), "recorder.setPeriod(12, 0)\nrecorder.setPeriod(13, 1)\n"
                           "recorder.setPeriod(12, 10)\nrecorder.setPeriod(13, 20)\nrecorder.setPeriod(13, 0)\n"
                           "recorder.setPeriod(12, 0)\nrecorder.setPeriod(13, 0)\n");
    EXPECT_EQ(o.events[2].period, 0);

    // Only the second: the period given with "enable": false is 0; the nested object applied
    // nothing to the collection event, which the default file enabled.
    child = layout.run("settings=second");
    o = parse(child);
    EXPECT_EQ(o.events[0].enabled, 1);
    EXPECT_EQ(o.events[0].stacktrace, 1);
    EXPECT_EQ(o.events[2].enabled, 1);
    EXPECT_EQ(o.events[2].period, 10);
    EXPECT_EQ(o.events[3].enabled, 0);
    EXPECT_EQ(o.events[3].period, 0);
}

TEST(EventSettings, ANestedObjectStartsFromTheDefaultsAndItsParentKeepsItsOwn) {
    Layout layout;
    layout.put("bin\\default.qrc", "{}");
    // The class-load object is given no "enable": it is not enabled, whatever its parent has. The
    // collection's object keeps its "enable" across the empty object inside it.
    layout.put("bin\\nested.qrc", std::string("{\"") + vmUri + R"(": {
        "vm/": {"enable": true, "class/load": {"stacktrace": true}},
        "vm/gc/*": {"enable": true, "x": {}, "stacktrace": true}
    }})");
    ChildResult child = layout.run("settings=nested");
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    EXPECT_EQ(child.err, "");
    Outcome o = parse(child);
    EXPECT_EQ(o.events[1].enabled, 0);
    EXPECT_EQ(o.events[1].stacktrace, 1);
    EXPECT_EQ(o.events[0].enabled, 1);
    EXPECT_EQ(o.events[0].stacktrace, 1);
}

const char *onlyEvent(int index) {
    static const char *files[] = {
        R"({"http://www.melnor.com/vantrel/vm/": {"vm/gc/collection": {"enable": true}}})",
        R"({"http://www.melnor.com/vantrel/vm/": {"vm/class/load": {"enable": true}}})",
    };
    return files[index];
}

// Which of the two events the file that was read enabled: "gc", "class" or what else.
std::string found(const ChildResult &child) {
    Outcome o = parse(child);
    if (o.events[0].enabled == 1 && o.events[1].enabled == 0)
        return "gc";
    if (o.events[0].enabled == 0 && o.events[1].enabled == 1)
        return "class";
    return child.out + child.err;
}

TEST(EventSettings, TheSearchPrefersTheAgentsFolderUnlessTheRuntimeLayoutIsThere) {
    {
        Layout layout;
        layout.put("bin\\s.qrc", onlyEvent(0));
        layout.put("lib\\qrn\\s.qrc", onlyEvent(1));
        EXPECT_EQ(found(layout.run("settings=s")), "gc");
        // The name as given is tried before the name with ".qrc".
        layout.put("bin\\s", onlyEvent(1));
        EXPECT_EQ(found(layout.run("settings=s")), "class");
    }
    {
        Layout layout;
        layout.put("bin\\s.qrc", onlyEvent(0));
        layout.put("lib\\qrn\\s.qrc", onlyEvent(1));
        layout.put("lib\\rt.jar", "PK");
        EXPECT_EQ(found(layout.run("settings=s")), "class");
    }
    {
        // An empty rt.jar is no runtime layout; an empty settings file is passed over.
        Layout layout;
        layout.put("bin\\s.qrc", "");
        layout.put("lib\\qrn\\s.qrc", onlyEvent(1));
        layout.put("lib\\rt.jar", "");
        EXPECT_EQ(found(layout.run("settings=s")), "class");
    }
    {
        // A file that cannot be read does not end the search.
        Layout layout;
        layout.put("bin\\s.qrc", "{\"broken\": ");
        layout.put("lib\\qrn\\s.qrc", onlyEvent(0));
        ChildResult child = layout.run("settings=s");
        EXPECT_EQ(found(child), "gc");
        EXPECT_NE(child.err.find("[ERROR][qrn    ] Could not read settings file \"" + layout.bin() + "\\s.qrc\": "),
                  std::string::npos)
            << child.err;
        // The name as given, last: here a path of its own.
        layout.put("elsewhere.json", onlyEvent(1));
        EXPECT_EQ(found(layout.run("settings=" + layout.file("elsewhere.json"))), "class");
    }
}

struct Refusal {
    std::string name;
    std::string text;
    std::string error; // what the reader's message begins with; "" when the file applies
};

std::string nested(int levels) {
    std::string text;
    for (int i = 0; i < levels; ++i)
        text += "{\"n" + std::to_string(i) + "\": ";
    text += "{\"enable\": true}";
    for (int i = 0; i < levels; ++i)
        text += "}";
    return text;
}

std::string named(size_t length) { return "{\"" + std::string(length, 'x') + "\": {\"enable\": true}}"; }

TEST(EventSettings, WhatCannotBeReadRefusesStartUpWithTheReadersMessage) {
    Layout layout;
    // Without default settings start-up goes on after saying so.
    ChildResult child = layout.run();
    EXPECT_EQ(child.exitCode, 0u) << child.err;
    EXPECT_EQ(parse(child).events[0].enabled, 0);
    EXPECT_EQ(child.err, "[ERROR][qrn    ] Could not read settings file \"default.qrc\": Could not open default.qrc\r\n"
                         "[WARN ][qrn    ] Could not locate default settings.\r\n");
    layout.put("bin\\default.qrc", "{}");

    const Refusal cases[] = {
        {"deep10", nested(9), ""}, // ten objects
        {"deep11", nested(10), "Too deep object hierarchy"},
        {"name1023", named(1023), ""},
        {"name1024", named(1024), "URI buffer overflow"},
        {"name1025", named(1025), "URI buffer overflow"},
        {"twonames", "{\"" + std::string(600, 'a') + "\": " + named(424) + "}", "URI buffer overflow"},
        {"string", R"({"a": {"enable": "yes"}})", "Syntax error"},
        {"nokey", R"({"a": {"x": 1}})", "Syntax error"},
        {"boolean", R"({"a": {"period": true}})", "Syntax error"},
        {"unit", R"({"a": {"threshold": "5 parsecs"}})", "Could not parse threshold: "},
        {"period", R"({"a": {"period": "soon"}})", "Could not parse period: "},
        {"array", R"({"a": {"enable": [true]}})", "Unexpected element"},
        {"null", R"({"a": {"enable": null}})", "Unexpected element"},
        // Fraction numbers the reader passes over would leave a setting without its value.
        {"fraction", R"({"*": {"enable": 1.5}})", "Unexpected element"},
        {"pathfraction", R"({"*": 0.5, "x": {}})", "Unexpected element"},
        // The text ends at a NUL byte; bytes that are no UTF-8 are refused.
        {"nulbyte", std::string("{\"*\": {\"enable\": true}}\0{{{", 28), ""},
        {"utf8", "{\"\xff\xfe\": {\"enable\": true}}", "Illegal UTF8 text stream"},
        {"huge", R"({"*": {"enable": true, "threshold": 9223372036854775807, "period": 9223372036854775807}})", ""},
    };
    for (const Refusal &c : cases) {
        layout.put("bin\\" + c.name + ".qrc", c.text);
        child = layout.run("settings=" + c.name);
        if (c.error.empty()) {
            EXPECT_EQ(child.err, "") << c.name;
            EXPECT_EQ(child.exitCode, 0u) << c.name;
            continue;
        }
        EXPECT_EQ(child.out, "refused -1\r\n") << c.name << child.err;
        std::string head =
            "[ERROR][qrn    ] Could not read settings file \"" + layout.bin() + "\\" + c.name + ".qrc\": ";
        EXPECT_EQ(child.err.rfind(head + c.error, 0), 0u) << c.name << ": " << child.err;
        // The reader says where, except for text it refused before parsing.
        if (c.name != "utf8") {
            EXPECT_NE(child.err.find(", line 1"), std::string::npos) << c.name << ": " << child.err;
        }
        // And the name as given was tried last.
        EXPECT_NE(child.err.find("Could not read settings file \"" + c.name + "\": Could not open " + c.name),
                  std::string::npos)
            << c.name << ": " << child.err;
    }
    // The largest threshold stays within 64 bits; the largest period in milliseconds.
    child = layout.run("settings=huge");
    Outcome o = parse(child);
    EXPECT_GT(o.events[0].threshold, 0);
    EXPECT_EQ(o.events[2].period, 9223372036854LL);
}

// Fragments settings files are made of, and mutations of whole files.
class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}

    std::string document() {
        exotic_ = pick(8) == 0;
        std::string text = object(0);
        int mutations = pick(3) == 0 ? 1 + pick(3) : 0;
        for (int i = 0; i < mutations && !text.empty(); ++i)
            mutate(text);
        return text;
    }

private:
    int pick(int n) { return int(random_() % unsigned(n)); }

    std::string name() {
        static const char *names[] = {"http://www.melnor.com/vantrel/vm/",
                                      "vm/gc/*",
                                      "vm/class/load",
                                      "*",
                                      "*/gc/*",
                                      "vm/",
                                      "runtime/",
                                      "thread_count",
                                      "http://www.melnor.com/*",
                                      "",
                                      "\\u0000",
                                      "\xc3\xa9",
                                      "\xff\xfe"};
        static const char *keys[] = {"enable", "Period", "THRESHOLD", "stackTrace", "period", "threshold"};
        if (pick(3) == 0)
            return keys[pick(int(sizeof keys / sizeof keys[0]))];
        if (exotic_ && pick(4) == 0)
            return std::string(size_t(1000 + pick(40)), 'n');
        return names[pick(int(sizeof names / sizeof names[0]) - (exotic_ ? 0 : 2))];
    }

    // Mostly what the setting takes, now and then anything.
    std::string value(const std::string &member, bool setting, int depth) {
        static const char *values[] = {"true",
                                       "false",
                                       "0",
                                       "1",
                                       "2",
                                       "-1",
                                       "\"10 ms\"",
                                       "\"1 s\"",
                                       "\"0\"",
                                       "\"x\"",
                                       "\"5 q\"",
                                       "null",
                                       "[1, 2]",
                                       "1.5",
                                       "9223372036854775807",
                                       "-9223372036854775808",
                                       "99999999999999999999",
                                       "\"\"",
                                       "{}"};
        static const char *flags[] = {"true", "false", "0", "1", "2"};
        static const char *times[] = {"0", "1", "1000000", "\"10 ms\"", "\"1 s\"", "\"0\"", "9223372036854775807"};
        if (setting && pick(5) != 0) {
            char first = char(member[0] | 0x20);
            return first == 'e' || first == 's' ? flags[pick(5)] : times[pick(7)];
        }
        if (setting == (pick(10) != 0))
            return values[pick(int(sizeof values / sizeof values[0]))];
        return depth < 11 && pick(depth + 2) < 2 ? object(depth + 1) : "{}";
    }

    std::string object(int depth) {
        std::string text = "{";
        int members = 1 + pick(3);
        for (int i = 0; i < members; ++i) {
            if (i > 0)
                text += ", ";
            std::string member = name();
            char first = member.empty() ? ' ' : member[0];
            bool setting = first == 'e' || first == 'P' || first == 'T' || first == 's' || first == 'p' || first == 't';
            text += "\"" + member + "\": " + value(member, setting && member.find('/') == std::string::npos, depth);
        }
        return text + "}";
    }

    void mutate(std::string &text) {
        size_t at = size_t(pick(int(text.size())));
        switch (pick(6)) {
        case 0:
            text[at] = char(pick(256));
            break;
        case 1:
            text.erase(at);
            break;
        case 2:
            text.insert(at, 1, "{}[]\":,\\\0\xff"[pick(11)]);
            break;
        case 3:
            text.insert(at, std::string(size_t(pick(12)), '{'));
            break;
        case 4:
            text.erase(at, size_t(pick(8)));
            break;
        default:
            text.insert(at, text.substr(at, size_t(pick(40))));
            break;
        }
    }

    std::mt19937 random_;
    bool exotic_ = false; // invalid UTF-8 and names near the path's limit
};

// Arguments: a folder, the number of files, the seed. Loads the agent once per file in one VM's
// start-up (small buffers keep the repeated loads cheap) and prints "refused N" for each file the
// load refused, then "done N".
CHILD_SCENARIO(qrn_settings_robustness) {
    std::string folder = argv[0];
    int files = atoi(argv[1]);
    Generator generator(unsigned(atoi(argv[2])));
    VmSession session({}, false);
    if (!session.created())
        return 1;
    int done = 0;
    for (; done < files; ++done) {
        std::string path = folder + "\\f" + std::to_string(done) + ".qrc";
        writeTextFile(path, generator.document());
        std::string options = "defaultrecording=true,threadbuffersize=2k,globalbuffersize=8k,numglobalbuffers=3,"
                              "settings=" +
                              path;
        jint result = vmhostLoadAgent(session.vm(), besideProgram("qrn.dll").c_str(), options.c_str());
        if (result != 0)
            printf("refused %d\n", done);
        DeleteFileA(path.c_str());
    }
    printf("done %d\n", done);
    fflush(stdout);
    return 0;
}

TEST(EventSettings, GeneratedAndMutatedFilesApplyOrFailWithAMessage) {
    TempDir dir;
    const int files = 200;
    ChildResult child = runScenario("qrn_settings_robustness", {dir.path(), std::to_string(files), "1806"});
    ASSERT_EQ(child.exitCode, 0u) << child.err.substr(0, 2000);
    std::istringstream in(child.out);
    int done = -1, refused = 0;
    for (std::string line; std::getline(in, line);) {
        int n = 0;
        if (sscanf(line.c_str(), "refused %d", &n) == 1) {
            ++refused;
            std::string message =
                "Could not read settings file \"" + dir.path() + "\\f" + std::to_string(n) + ".qrc\": ";
            EXPECT_NE(child.err.find(message), std::string::npos) << "file " << n << " failed without its message";
        } else if (sscanf(line.c_str(), "done %d", &n) == 1) {
            done = n;
        }
    }
    EXPECT_EQ(done, files);
    // Both kinds occur.
    EXPECT_GT(refused, done / 10);
    EXPECT_LT(refused, done);
}

// The settings natives: enabled bytes and the VM's enable and disable, thresholds in ticks, and the
// ids the VM and the OS give.
CHILD_SCENARIO(qrn_setting_natives) {
    VmSession session({"-agentpath:" + besideProgram("qrn.dll")});
    if (!session.created())
        return 1;
    {
        Natives n(session.env());
        JNIEnv *env = n.env;
        const Setting *settings = n.settings;
        takeCallLog();
        jmethodID setEnabled = n.method("setEnabled", "(IZ)V");
        jmethodID setThreshold = n.method("setThreshold", "(IJ)V");
        env->CallVoidMethod(n.object, setEnabled, 11, JNI_TRUE);
        printf("enabled %d %d\n", int(settings[0].enabled), int(settings[1].enabled));
        env->CallVoidMethod(n.object, setEnabled, 11, JNI_FALSE);
        printf("disabled %d\n", int(settings[1].enabled));
        env->CallVoidMethod(n.object, setThreshold, 10, jlong(3000000));
        env->CallVoidMethod(n.object, setThreshold, 11, jlong(INT64_MAX));
        printf("thresholds %lld %lld\n", (long long)settings[0].threshold, (long long)settings[1].threshold);
        env->CallVoidMethod(n.object, setThreshold, 14, jlong(1));
        printf("bad id %d\n", int(env->ExceptionCheck()));
        env->ExceptionClear();
        jmethodID classId = n.method("classID", "(Ljava/lang/Class;)J");
        jclass other = env->FindClass("java/lang/String");
        jlong a = env->CallLongMethod(n.object, classId, n.cls);
        jlong b = env->CallLongMethod(n.object, classId, other);
        printf("class ids %d %d\n", int(a == env->CallLongMethod(n.object, classId, n.cls)), int(a != b));
        env->DeleteLocalRef(other);
        jmethodID stackId = n.method("stackTraceID", "(I)J");
        jlong first = env->CallLongMethod(n.object, stackId, 0);
        printf("stack ids %d\n", int(env->CallLongMethod(n.object, stackId, 1) != first));
        env->CallVoidMethod(n.object, n.method("setPeriod", "(IJ)V"), 13, jlong(-5));
        printf("negative period %lld\n", (long long)env->CallLongMethod(n.object, n.method("getPeriod", "(I)J"), 13));
        // Before init there is no recorder object to hand chunks to.
        env->CallVoidMethod(n.object, n.method("start", "(Z)V"), JNI_TRUE);
        printf("start before init %d\n", int(env->ExceptionCheck()));
        env->ExceptionClear();
        jint thread = env->CallIntMethod(n.object, n.method("threadID", "()I"));
        printf("thread %d\n", int(DWORD(thread) == GetCurrentThreadId()));
    }
    printf("nanos per tick %.17g\n", hostNanosPerTick());
    printf("%s", takeCallLog().c_str());
    fflush(stdout);
    return session.destroy() == JNI_OK ? 0 : 2;
}

TEST(EventSettings, TheSettingNativesWriteTheArrayAndTellTheVm) {
    ChildResult child = runScenario("qrn_setting_natives");
    ASSERT_EQ(child.exitCode, 0u) << child.out << child.err;
    EXPECT_NE(child.out.find("enabled 0 1\r\n"), std::string::npos) << child.out;
    EXPECT_NE(child.out.find("disabled 0\r\n"), std::string::npos) << child.out;
    EXPECT_NE(child.out.find("recorder.enableEvent(11)\r\nrecorder.disableEvent(11)\r\n"), std::string::npos)
        << child.out;
    long long small = 0, large = 0;
    size_t at = child.out.find("thresholds ");
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(sscanf(child.out.c_str() + at, "thresholds %lld %lld", &small, &large), 2);
    at = child.out.find("nanos per tick ");
    ASSERT_NE(at, std::string::npos);
    double nanos = std::stod(child.out.substr(at + 15));
    EXPECT_NEAR(double(small), std::trunc(3e6 / nanos), 1.0);
    // However fine the counter, the largest threshold does not wrap.
    EXPECT_GT(large, 0);
    EXPECT_NE(child.out.find("bad id 1\r\n"), std::string::npos);
    EXPECT_NE(child.out.find("class ids 1 1\r\n"), std::string::npos);
    EXPECT_NE(child.out.find("stack ids 1\r\n"), std::string::npos);
    EXPECT_NE(child.out.find("thread 1\r\n"), std::string::npos);
    EXPECT_NE(child.out.find("negative period 0\r\n"), std::string::npos);
    EXPECT_NE(child.out.find("start before init 1\r\n"), std::string::npos) << child.out << child.err;
    EXPECT_NE(child.out.find("recorder.setPeriod(13, 0)\r\n"), std::string::npos);
}

} // namespace
