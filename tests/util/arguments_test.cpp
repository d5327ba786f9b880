// Option strings parsed against declared descriptors: kinds, aliases, repeats, required options,
// the fallback and every error text.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>
#include <string>

#include "osal/osal_assert.h"
#include "sarnik/arguments.h"

namespace {

int parse(ArgList *list, const std::string &text, char separator = ',') {
    return argParse(list, text.c_str(), text.size(), separator);
}

// One option of every kind, declared in the order of the kinds.
struct EveryKind : testing::Test {
    ArgList list = ARG_LIST_INIT;
    ArgDesc descs[9];
    int flag = 0;
    int32_t count = 0;
    int64_t big = 0;
    double ratio = 0;
    size_t size = 0;
    uint64_t ubig = 0;
    int64_t time = 0;
    const char *path = nullptr;
    void *address = nullptr;

    void SetUp() override {
        flag = argAddbool("flag", &list, &descs[0], &flag, 0, "a switch", nullptr, 0);
        count = argAddint("count", &list, &descs[1], &count, -1, "a count", nullptr, 0);
        big = argAdds8("big", &list, &descs[2], &big, 7, "a large number", nullptr, 0);
        ratio = argAdddouble("ratio", &list, &descs[3], &ratio, 0.5, "a ratio", nullptr, 0);
        size = argAddsize_t("size", &list, &descs[4], &size, 5120, "a size", nullptr, 0);
        ubig = argAddu8("ubig", &list, &descs[5], &ubig, 9, "a large size", nullptr, 0);
        time = argAddnanotime("time", &list, &descs[6], &time, 0, "a time", nullptr, 0);
        path = argAddpcchar("path", &list, &descs[7], &path, "default", "a path", nullptr, 0);
        address = argAddpvoid("address", &list, &descs[8], &address, nullptr, "an address", nullptr, 0);
    }
    void TearDown() override { argFree(&list); }
};

unsigned occurrences(const ArgDesc &d) { return (d.flags & ARG_FLAG_COUNT_MASK) >> ARG_FLAG_COUNT_SHIFT; }

} // namespace

TEST_F(EveryKind, DefaultsComeBackAndDescriptorsAreFilled) {
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(big, 7);
    EXPECT_EQ(ratio, 0.5);
    EXPECT_EQ(size, 5120u);
    EXPECT_EQ(ubig, 9u);
    EXPECT_STREQ(path, "default");
    EXPECT_EQ(argCount(&list), 9);
    EXPECT_STREQ(argError(&list), "");
    EXPECT_EQ(list.descriptors, &descs[0]);
    for (int kind = 0; kind < 9; ++kind) {
        EXPECT_EQ(descs[kind].flags & ARG_FLAG_KIND_MASK, static_cast<uint32_t>(kind));
        EXPECT_EQ(descs[kind].next, kind < 8 ? &descs[kind + 1] : nullptr);
        EXPECT_EQ(descs[kind].matched, nullptr);
    }
    EXPECT_STREQ(descs[3].description, "a ratio");
    EXPECT_EQ(descs[4].store, &size);
}

TEST_F(EveryKind, EachKindConvertsAndStores) {
    std::string text = "flag,count=-3k,big=0x100000000,ratio=1.5k,size=64k,ubig=2g,time=20ms,path=C:\\tmp\\x,"
                       "address=7ffe0000";
    ASSERT_EQ(parse(&list, text), 0) << argError(&list);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(count, -3072);
    EXPECT_EQ(big, int64_t{1} << 32);
    EXPECT_EQ(ratio, 1536.0);
    EXPECT_EQ(size, 65536u);
    EXPECT_EQ(ubig, uint64_t{2} << 30);
    EXPECT_EQ(time, 20000000);
    EXPECT_STREQ(path, "C:\\tmp\\x");
    EXPECT_EQ(address, reinterpret_cast<void *>(uintptr_t{0x7ffe0000}));
    for (const ArgDesc &d : descs)
        EXPECT_EQ(occurrences(d), 1u) << d.name;
    EXPECT_STREQ(descs[0].matched, "flag");
    EXPECT_STREQ(argError(&list), "");
    // Text values live in the list's own copy, not in the caller's string.
    text.assign(text.size(), '#');
    EXPECT_STREQ(path, "C:\\tmp\\x");
}

TEST_F(EveryKind, UnknownDuplicateAndBadValues) {
    EXPECT_EQ(parse(&list, "count=1,bogus=2"), -1);
    EXPECT_STREQ(argError(&list), "Unknown parameter bogus");
    EXPECT_EQ(count, 1); // stored before the failing item, and stays

    ArgList second = ARG_LIST_INIT;
    ArgDesc d;
    int32_t n = 0;
    argAddint("n", &second, &d, &n, 0, "", nullptr, 0);
    EXPECT_EQ(parse(&second, "n=1,n=2"), -1);
    EXPECT_STREQ(argError(&second), "Duplicate parameter n");
    EXPECT_EQ(n, 1);
    argFree(&second);

    EXPECT_EQ(parse(&list, "ratio=abc"), -1);
    EXPECT_STREQ(argError(&list), "Could not parse value for argument 'ratio': abc (illegal floating point value)");
    EXPECT_EQ(parse(&list, "size=-1"), -1);
    EXPECT_STREQ(argError(&list), "Could not parse value for argument 'size': -1 (negative value not allowed)");
    EXPECT_EQ(parse(&list, "time=5"), -1);
    EXPECT_STREQ(argError(&list), "Could not parse value for argument 'time': 5 (unit required)");
    EXPECT_EQ(parse(&list, "flag=yes"), -1);
    EXPECT_STREQ(argError(&list), "Could not parse value for argument 'flag': yes (illegal boolean value)");
    EXPECT_EQ(parse(&list, "address=12q"), -1);
    EXPECT_STREQ(argError(&list), "Could not parse value for argument 'address': 12q (illegal suffix)");
    EXPECT_EQ(parse(&list, "big=="), -1);
    EXPECT_STREQ(argError(&list), "Could not parse value for argument 'big': = (could not parse number)");
    // A value that failed still counts as given.
    EXPECT_EQ(occurrences(descs[3]), 1u);
    EXPECT_EQ(parse(&list, "ratio=2"), -1);
    EXPECT_STREQ(argError(&list), "Duplicate parameter ratio");
    // Names are case-sensitive.
    EXPECT_EQ(parse(&list, "Flag"), -1);
    EXPECT_STREQ(argError(&list), "Unknown parameter Flag");
    EXPECT_EQ(parse(&list, "=3"), -1);
    EXPECT_STREQ(argError(&list), "Unknown parameter ");
}

TEST_F(EveryKind, ErrorTextsStopAt128Characters) {
    std::string name(300, 'n');
    EXPECT_EQ(parse(&list, name), -1);
    EXPECT_EQ(std::string(argError(&list)), ("Unknown parameter " + name).substr(0, 128));
    std::string value(300, 'v');
    EXPECT_EQ(parse(&list, "count=" + value), -1);
    EXPECT_EQ(strlen(argError(&list)), 128u);
    EXPECT_EQ(std::string(argError(&list), 44), "Could not parse value for argument 'count': ");
}

TEST(ArgParse, BoolWithoutValueIsTrue) {
    ArgList list = ARG_LIST_INIT;
    ArgDesc d1, d2;
    int on = 0, off = 1;
    argAddbool("on", &list, &d1, &on, 0, "", nullptr, 0);
    argAddbool("off", &list, &d2, &off, 1, "", nullptr, 0);
    EXPECT_EQ(parse(&list, "on,off=false"), 0);
    EXPECT_EQ(on, 1);
    EXPECT_EQ(off, 0);
    argFree(&list);
}

TEST(ArgParse, AliasesMatchWholeNamesAndEmptyAliasesNothing) {
    ArgList list = ARG_LIST_INIT;
    ArgDesc rec, other;
    int recording = 0, size = 0;
    argAddbool("defaultrecording", &list, &rec, &recording, 0, "Enable default recording", "default,", 0);
    argAddint("memory", &list, &other, &size, 0, "", "mem,m,,heap", 0);
    EXPECT_EQ(parse(&list, "default=true,heap=5"), 0);
    EXPECT_EQ(recording, 1);
    EXPECT_EQ(size, 5);
    EXPECT_STREQ(rec.matched, "default");
    EXPECT_STREQ(other.matched, "heap");
    argFree(&list);

    for (const char *text : {"=1", "defaul", "defaultx", "me", "mem,", "heapx", "m,heap"}) {
        ArgList l = ARG_LIST_INIT;
        ArgDesc a, b;
        int x = 0, y = 0;
        argAddbool("defaultrecording", &l, &a, &x, 0, "", "default,", 0);
        argAddint("memory", &l, &b, &y, 0, "", "mem,m,,heap", 0);
        int result = parse(&l, text);
        if (std::string(text) == "mem," ) {
            EXPECT_EQ(result, -1);
            EXPECT_STREQ(argError(&l), "Could not parse value for argument 'mem':  (could not parse number)");
        } else if (std::string(text) == "m,heap") {
            EXPECT_EQ(result, -1) << text;
            EXPECT_STREQ(argError(&l), "Could not parse value for argument 'm':  (could not parse number)");
        } else {
            EXPECT_EQ(result, -1) << text;
            std::string name = text[0] == '=' ? "" : text;
            EXPECT_EQ(std::string(argError(&l)), "Unknown parameter " + name) << text;
        }
        argFree(&l);
    }
}

TEST(ArgParse, RepeatableOptionsKeepEveryValueInOrder) {
    ArgList list = ARG_LIST_INIT;
    ArgDesc settings, level;
    const char *last = nullptr;
    int32_t lastLevel = 0;
    argAddpcchar("settings", &list, &settings, &last, nullptr, "", nullptr, ARG_REPEATABLE);
    argAddint("level", &list, &level, &lastLevel, 0, "", "l", ARG_REPEATABLE);
    ASSERT_EQ(parse(&list, "settings=a.qrc,level=1,settings='b,c.qrc',l=2k,settings=d"), 0) << argError(&list);
    EXPECT_STREQ(last, "d");
    EXPECT_EQ(lastLevel, 2048);
    EXPECT_EQ(occurrences(settings), 3u);

    const char *texts[5];
    memset(texts, 0x55, sizeof texts);
    EXPECT_EQ(argGetValues(&list, &settings, texts, 4), 3);
    EXPECT_STREQ(texts[0], "a.qrc");
    EXPECT_STREQ(texts[1], "b,c.qrc");
    EXPECT_STREQ(texts[2], "d");
    EXPECT_EQ(texts[3], nullptr); // cleared up to the maximum
    EXPECT_EQ(reinterpret_cast<uintptr_t>(texts[4]), 0x55555555u);

    int32_t levels[3] = {9, 9, 9};
    EXPECT_EQ(argGetValues(&list, &level, levels, 1), 1);
    EXPECT_EQ(levels[0], 1);
    EXPECT_EQ(levels[1], 9);
    EXPECT_EQ(argGetValues(&list, &level, levels, 3), 2);
    EXPECT_EQ(levels[1], 2048);
    EXPECT_EQ(levels[2], 0);
    EXPECT_EQ(argGetValues(&list, &level, levels, 0), 0);
    argFree(&list);
}

TEST(ArgParse, ValuesOfEightByteKinds) {
    ArgList list = ARG_LIST_INIT;
    ArgDesc d;
    int64_t t = 0;
    argAddnanotime("t", &list, &d, &t, 0, "", nullptr, ARG_REPEATABLE);
    ASSERT_EQ(parse(&list, "t=1s;t=2ms;t=0", ';'), 0);
    int64_t values[4] = {1, 1, 1, 1};
    EXPECT_EQ(argGetValues(&list, &d, values, 4), 3);
    EXPECT_EQ(values[0], 1000000000);
    EXPECT_EQ(values[1], 2000000);
    EXPECT_EQ(values[2], 0);
    EXPECT_EQ(values[3], 0);
    argFree(&list);
}

TEST(ArgParse, ValuesAfterAFailedParseAreOnlyTheAcceptedOnes) {
    ArgList list = ARG_LIST_INIT;
    ArgDesc d;
    int32_t n = 0;
    argAddint("n", &list, &d, &n, 0, "", nullptr, ARG_REPEATABLE);
    EXPECT_EQ(parse(&list, "n=1,n=2,n=x,n=4"), -1);
    EXPECT_STREQ(argError(&list), "Could not parse value for argument 'n': x (could not parse number)");
    EXPECT_EQ(occurrences(d), 3u);
    int32_t values[4];
    // The failing value is not read again: no assertion ends the process.
    EXPECT_EQ(argGetValues(&list, &d, values, 4), 2);
    EXPECT_EQ(values[0], 1);
    EXPECT_EQ(values[1], 2);
    argFree(&list);
}

TEST(ArgParse, RequiredOptionsFailOnlyAfterEveryItemWasAccepted) {
    ArgList list = ARG_LIST_INIT;
    ArgDesc a, b, c;
    int32_t x = 0, y = 0, z = 0;
    argAddint("a", &list, &a, &x, 0, "", nullptr, 0);
    argAddint("b", &list, &b, &y, 0, "", nullptr, ARG_REQUIRED);
    argAddint("c", &list, &c, &z, 0, "", nullptr, ARG_REQUIRED | ARG_REPEATABLE);
    EXPECT_EQ(parse(&list, "a=1,zz"), -1);
    EXPECT_STREQ(argError(&list), "Unknown parameter zz");
    EXPECT_EQ(parse(&list, ""), -1);
    EXPECT_STREQ(argError(&list), "Required parameter b missing");
    EXPECT_EQ(parse(&list, "c=3"), -1);
    EXPECT_STREQ(argError(&list), "Required parameter b missing");
    EXPECT_EQ(z, 3);
    EXPECT_EQ(parse(&list, "b=2"), 0);
    EXPECT_STREQ(argError(&list), "Required parameter b missing"); // a success leaves the last text
    EXPECT_EQ(y, 2);
    EXPECT_EQ(b.flags & (ARG_FLAG_REQUIRED | ARG_FLAG_REPEATABLE), ARG_FLAG_REQUIRED);
    EXPECT_EQ(c.flags & (ARG_FLAG_REQUIRED | ARG_FLAG_REPEATABLE), ARG_FLAG_REQUIRED | ARG_FLAG_REPEATABLE);
    argFree(&list);
}

TEST(ArgParse, FallbackTakesUnknownItems) {
    ArgList list = ARG_LIST_INIT;
    ArgDesc known, fallback;
    int32_t n = 0;
    const char *name = nullptr, *value = nullptr;
    argAddint("n", &list, &known, &n, 0, "", nullptr, 0);
    argAddFallback(&list, &fallback, &name, &value);
    EXPECT_STREQ(fallback.name, "*");
    EXPECT_EQ(fallback.flags & (ARG_FLAG_KIND_MASK | ARG_FLAG_FALLBACK), ARG_KIND_PCCHAR | ARG_FLAG_FALLBACK);
    EXPECT_EQ(argCount(&list), 1);
    ASSERT_EQ(parse(&list, "other=5"), 0);
    EXPECT_STREQ(name, "other");
    EXPECT_STREQ(value, "5");
    ASSERT_EQ(parse(&list, "first=1,n=4,second,*"), 0);
    EXPECT_STREQ(name, "*"); // the last unknown item wins; "*" names no option
    EXPECT_STREQ(value, "");
    EXPECT_EQ(n, 4);

    // Without a place for the value only the name is handed out.
    ArgList other = ARG_LIST_INIT;
    ArgDesc fb;
    const char *onlyName = nullptr;
    argAddFallback(&other, &fb, &onlyName, nullptr);
    EXPECT_EQ(parse(&other, "x=1"), 0);
    EXPECT_STREQ(onlyName, "x");
    EXPECT_EQ(argCount(&other), 0);
    argFree(&other);
    argFree(&list);
}

TEST(ArgParse, DescriptorFlagsKeepTheCallerBitsAndTheCountSaturates) {
    ArgList list = ARG_LIST_INIT;
    ArgDesc d;
    d.flags = 0xffffffffu; // old count and fallback bit are cleared, the top five bits stay
    int on = 0;
    argAddbool("a", &list, &d, &on, 0, "", nullptr, ARG_REPEATABLE | 0x7c);
    EXPECT_EQ(d.flags, ARG_FLAG_CALLER_MASK | ARG_FLAG_REPEATABLE | ARG_KIND_BOOL);
    std::string many;
    for (int i = 0; i < 0x10005; ++i)
        many += "a,";
    ASSERT_EQ(parse(&list, many), 0);
    EXPECT_EQ(occurrences(d), 0xffffu);
    EXPECT_EQ(d.flags & ARG_FLAG_CALLER_MASK, ARG_FLAG_CALLER_MASK);
    EXPECT_EQ(d.flags & ARG_FLAG_KIND_MASK, static_cast<uint32_t>(ARG_KIND_BOOL));
    argFree(&list);
}

TEST(ArgParse, DeclaringADescriptorTwiceDoesNotLoop) {
    ArgList list = ARG_LIST_INIT;
    ArgDesc a, b;
    int32_t x = 0, y = 0;
    argAddint("a", &list, &a, &x, 0, "", nullptr, 0);
    argAddint("b", &list, &b, &y, 0, "", nullptr, 0);
    argAddint("a2", &list, &a, &x, 0, "", nullptr, 0);
    EXPECT_EQ(argCount(&list), 2);
    EXPECT_EQ(b.next, nullptr);
    EXPECT_EQ(parse(&list, "a2=1,b=2"), 0);
    EXPECT_EQ(x, 1);
    argFree(&list);
}

TEST(ArgParse, ParsingAgainKeepsEarlierTextsValid) {
    ArgList list;
    list.descriptors = nullptr; // all a caller must clear
    list.error = nullptr;
    list.copy = reinterpret_cast<char *>(uintptr_t{0x12345678});
    ArgDesc d;
    const char *path = nullptr;
    argAddpcchar("path", &list, &d, &path, nullptr, "", nullptr, ARG_REPEATABLE);
    ASSERT_EQ(parse(&list, "path=first"), 0);
    const char *first = path;
    ASSERT_EQ(parse(&list, "path=second"), 0);
    EXPECT_STREQ(first, "first");
    EXPECT_STREQ(path, "second");
    EXPECT_EQ(list.length, 11u);
    EXPECT_EQ(list.separator, ',');
    argFree(&list);
    EXPECT_EQ(list.copy, nullptr);
    EXPECT_EQ(list.error, nullptr);
    // A freed list parses again.
    ASSERT_EQ(parse(&list, "path=third"), 0);
    EXPECT_STREQ(path, "third");
    argFree(&list);
}

TEST(ArgParse, NullTextsAndMissingStores) {
    ArgList list = ARG_LIST_INIT;
    ArgDesc d;
    argAddint("n", &list, &d, nullptr, 0, "", nullptr, 0);
    EXPECT_EQ(argParse(&list, nullptr, 10, ','), 0);
    EXPECT_EQ(parse(&list, "n=4"), 0); // checked, stored nowhere
    ArgList second = ARG_LIST_INIT;
    ArgDesc e;
    argAddint("n", &second, &e, nullptr, 0, "", nullptr, 0);
    EXPECT_EQ(parse(&second, "n=four"), -1);
    EXPECT_STREQ(argError(&second), "Could not parse value for argument 'n': four (could not parse number)");
    argFree(&second);
    argFree(&list);
}

TEST(ArgParse, ACopyThatCannotBeMadeFailsWithItsText) {
    ArgList list = ARG_LIST_INIT;
    ArgDesc d;
    int32_t n = 0;
    argAddint("n", &list, &d, &n, 0, "", nullptr, 0);
    EXPECT_EQ(parse(&list, "x"), -1);
    // Lengths whose copies do not fit the address space: nothing is read from the text.
    for (size_t length : {static_cast<size_t>(-1), static_cast<size_t>(-2) / 2, static_cast<size_t>(0x7ffffff0)}) {
        EXPECT_EQ(argParse(&list, "n=1", length, ','), -1);
        EXPECT_STREQ(argError(&list), "Could not allocate memory");
    }
    EXPECT_EQ(n, 0);
    argFree(&list);
}

TEST(ArgConvert, ConvertsThroughTheStoredAddress) {
    int32_t n = 0;
    void *store = &n;
    const char *error = nullptr;
    EXPECT_EQ(argConvert(ARG_KIND_INT, &store, "3k", &error), 1);
    EXPECT_EQ(n, 3072);
    EXPECT_EQ(argConvert(ARG_KIND_INT, &store, "3q", &error), 0);
    EXPECT_STREQ(error, "illegal suffix");
    EXPECT_EQ(n, 3072);
    EXPECT_EQ(argConvert(99, &store, "1", &error), 0);
    EXPECT_STREQ(error, "illegal argument kind");

    uint64_t u = 0;
    EXPECT_EQ(argConvert2(ARG_KIND_U8, &u, "1g", &error), 1);
    EXPECT_EQ(u, uint64_t{1} << 30);
    const char *text = nullptr;
    EXPECT_EQ(argConvert2(ARG_KIND_PCCHAR, &text, "as is", &error), 1);
    EXPECT_STREQ(text, "as is");
    double dbl = 0;
    EXPECT_EQ(argConvert2(ARG_KIND_DOUBLE, &dbl, "0.5m", &error), 1);
    EXPECT_EQ(dbl, 524288.0);
}

TEST(ArgConvert, CopyWritesTheKindsWidthOnly) {
    unsigned char target[12];
    void *store = target;
    const uint64_t value = 0x1122334455667788ULL;
    memset(target, 0xee, sizeof target);
    argCopy(ARG_KIND_INT, &store, &value);
    EXPECT_EQ(memcmp(target, &value, 4), 0);
    EXPECT_EQ(target[4], 0xee);
    memset(target, 0xee, sizeof target);
    argCopy(ARG_KIND_NANOTIME, &store, &value);
    EXPECT_EQ(memcmp(target, &value, 8), 0);
    EXPECT_EQ(target[8], 0xee);
    memset(target, 0xee, sizeof target);
    argCopy(42, &store, &value);
    EXPECT_EQ(target[0], 0xee);
}
