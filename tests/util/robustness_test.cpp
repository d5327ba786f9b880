// Random and mutated option strings and values (fixed seeds): every one gives a result or a clean
// error, nothing is read or written outside what was handed over, and nothing given is lost.
#include <gtest/gtest.h>

#include <inttypes.h>
#include <random>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

#include "guarded_text.h"
#include "sarnik/arguments.h"
#include "sarnik/bounded_print.h"
#include "sarnik/value_parse.h"

namespace {

using Random = std::mt19937;

uint64_t random64(Random &random) { return (uint64_t{random()} << 32) | random(); }

int pick(Random &random, int count) { return static_cast<int>(random() % static_cast<unsigned>(count)); }

std::string randomWord(Random &random, const char *alphabet, int maxLength) {
    std::string word;
    int length = pick(random, maxLength + 1);
    size_t letters = strlen(alphabet);
    for (int i = 0; i < length; ++i)
        word += alphabet[random() % letters];
    return word;
}

std::string format(const char *fmt, unsigned long long value) {
    char text[64];
    snprintf(text, sizeof text, fmt, value);
    return text;
}

// A text that reads back as value: decimal, hexadecimal or with the largest exact size suffix.
std::string integerText(Random &random, uint64_t magnitude, bool negative) {
    std::string text;
    switch (pick(random, 3)) {
    case 0:
        text = format("%llu", magnitude);
        break;
    case 1:
        text = format(pick(random, 2) ? "0x%llx" : "0X%llX", magnitude);
        break;
    default: {
        const char *suffixes = "kmg";
        int shift = 30;
        for (int i = 2; i >= 0; --i, shift -= 10) {
            if (magnitude != 0 && magnitude % (uint64_t{1} << shift) == 0) {
                text = format("%llu", magnitude >> shift) + static_cast<char>(suffixes[i] - 32 * pick(random, 2));
                break;
            }
        }
        if (text.empty())
            text = format("%llu", magnitude);
    }
    }
    return std::string(pick(random, 3) == 0 ? " \t" : "") + (negative ? "-" : "") + text;
}

// A magnitude spread over every bit length, suffix-friendly now and then.
uint64_t randomMagnitude(Random &random) {
    int bits = pick(random, 65);
    uint64_t value = bits == 0 ? 0 : random64(random) >> (64 - bits);
    if (pick(random, 4) == 0)
        value <<= 10 * (1 + pick(random, 3));
    return value;
}

struct Kind {
    const char *name;
    bool negative;
    uint64_t maxPositive, maxNegative;
};

} // namespace

TEST(Robustness, IntegerRoundTripsAndRangesInEveryFunction) {
    Random random(20240611);
    GuardedText guard;
    const Kind kinds[] = {{"int", true, INT32_MAX, uint64_t{INT32_MAX} + 1}, {"uint", false, UINT32_MAX, 0},
                          {"long", true, INT64_MAX, uint64_t{INT64_MAX} + 1}, {"ulong", false, UINT64_MAX, 0},
                          {"size", false, SIZE_MAX, 0}};
    for (int round = 0; round < 1500; ++round) {
        uint64_t magnitude = randomMagnitude(random);
        bool negative = pick(random, 3) == 0;
        std::string text = integerText(random, magnitude, negative);
        const char *at = guard.place(text, true);
        for (const Kind &kind : kinds) {
            const char *error = nullptr;
            uint64_t got = 0;
            int ok;
            if (kind.name[0] == 'i') {
                int32_t v = 0;
                ok = strToSuffixInt(at, &v, &error);
                got = static_cast<uint64_t>(static_cast<int64_t>(v));
            } else if (kind.name[0] == 'u' && kind.name[1] == 'i') {
                uint32_t v = 0;
                ok = strToSuffixUInt(at, &v, &error);
                got = v;
            } else if (kind.name[0] == 'l') {
                int64_t v = 0;
                ok = strToSuffixLong(at, &v, &error);
                got = static_cast<uint64_t>(v);
            } else if (kind.name[0] == 'u') {
                uint64_t v = 0;
                ok = strToSuffixULong(at, &v, &error);
                got = v;
            } else {
                size_t v = 0;
                ok = strToSuffixSize(at, &v, &error);
                got = v;
            }
            std::string expectedError;
            if (negative && !kind.negative)
                expectedError = "negative value not allowed";
            else if (magnitude > (negative ? kind.maxNegative : kind.maxPositive))
                expectedError = "number out of range";
            if (expectedError.empty()) {
                ASSERT_EQ(ok, 1) << kind.name << " '" << text << "': " << error;
                uint64_t expected = negative ? uint64_t{0} - magnitude : magnitude;
                if (kind.maxPositive <= UINT32_MAX && !negative)
                    expected &= 0xffffffffu;
                ASSERT_EQ(got, expected) << kind.name << " '" << text << "'";
            } else {
                ASSERT_EQ(ok, 0) << kind.name << " '" << text << "'";
                ASSERT_EQ(error, expectedError) << kind.name << " '" << text << "'";
            }
        }
    }
}

TEST(Robustness, RandomValueTextsGiveAResultOrAKnownError) {
    Random random(77);
    GuardedText guard;
    const std::vector<std::string> integerErrors = {"could not parse number", "negative value not allowed",
                                                     "illegal suffix", "number out of range"};
    const std::vector<std::string> doubleErrors = {"illegal floating point value", "illegal suffix"};
    const std::vector<std::string> timeErrors = {"unit required", "syntax error", "illegal unit",
                                                  "number out of range"};
    auto known = [](const std::vector<std::string> &texts, const char *error) {
        for (const std::string &t : texts)
            if (error != nullptr && t == error)
                return true;
        return false;
    };
    for (int round = 0; round < 3000; ++round) {
        std::string text = randomWord(random, "0123456789abcdefxhkKmMgGsnu+-. \te\x01\xff", 14);
        if (pick(random, 4) == 0)
            text = format("%llu", random64(random)) + randomWord(random, "0kmgsx9 ", 3);
        const char *at = guard.place(text, true);
        const char *error = nullptr;
        int32_t i;
        uint64_t u;
        void *p;
        double d;
        int64_t t;
        int b;
        int ok = strToSuffixInt(at, &i, &error);
        ASSERT_TRUE(ok == 1 || known(integerErrors, error)) << "'" << text << "'";
        ok = strToSuffixULong(at, &u, &error);
        ASSERT_TRUE(ok == 1 || known(integerErrors, error)) << "'" << text << "'";
        ok = strToSuffixAddress(at, &p, &error);
        ASSERT_TRUE(ok == 1 || known(integerErrors, error)) << "'" << text << "'";
        ok = strToSuffixDouble(at, &d, &error);
        ASSERT_TRUE(ok == 1 || known(doubleErrors, error)) << "'" << text << "'";
        if (ok) {
            ASSERT_TRUE(d == d && d - d == 0) << "'" << text << "' gave a value that is not finite";
        }
        ok = strToSuffixNanoTime(at, &t, &error);
        ASSERT_TRUE(ok == 1 || known(timeErrors, error)) << "'" << text << "'";
        ok = strToBool(at, &b, &error);
        ASSERT_TRUE(ok == 1 || std::string(error) == "illegal boolean value") << "'" << text << "'";
    }
}

namespace {

// One declared option of the modelled parser test and what the generated string should leave.
struct Option {
    const char *name;
    int kind;
    bool repeatable;
};

const Option options[] = {{"flag", ARG_KIND_BOOL, false},     {"count", ARG_KIND_INT, false},
                          {"big", ARG_KIND_S8, false},        {"ratio", ARG_KIND_DOUBLE, false},
                          {"size", ARG_KIND_SIZE_T, false},   {"ubig", ARG_KIND_U8, false},
                          {"time", ARG_KIND_NANOTIME, false}, {"path", ARG_KIND_PCCHAR, true},
                          {"at", ARG_KIND_PVOID, false}};
constexpr int optionCount = sizeof options / sizeof options[0];

// Storage for one parse, fenced so that a write outside any field shows.
struct Fenced {
    uint32_t before = 0xfeedface;
    ArgList list = ARG_LIST_INIT;
    ArgDesc descs[optionCount + 1];
    int flag = -1;
    int32_t count = -1;
    int64_t big = -1;
    double ratio = -1;
    size_t size = 1;
    uint64_t ubig = 1;
    int64_t time = -1;
    const char *path = nullptr;
    void *at = nullptr;
    const char *fallbackName = nullptr, *fallbackValue = nullptr;
    uint32_t after = 0xdeadbeef;

    void declare(bool withFallback) {
        argAddbool("flag", &list, &descs[0], &flag, 0, "", nullptr, 0);
        argAddint("count", &list, &descs[1], &count, 0, "", "c,", 0);
        argAdds8("big", &list, &descs[2], &big, 0, "", nullptr, 0);
        argAdddouble("ratio", &list, &descs[3], &ratio, 0, "", nullptr, 0);
        argAddsize_t("size", &list, &descs[4], &size, 0, "", "sz", 0);
        argAddu8("ubig", &list, &descs[5], &ubig, 0, "", nullptr, 0);
        argAddnanotime("time", &list, &descs[6], &time, 0, "", nullptr, 0);
        argAddpcchar("path", &list, &descs[7], &path, nullptr, "", "p,file", ARG_REPEATABLE);
        argAddpvoid("at", &list, &descs[8], &at, nullptr, "", nullptr, 0);
        if (withFallback)
            argAddFallback(&list, &descs[9], &fallbackName, &fallbackValue);
    }
};

struct Expected {
    bool given = false;
    uint64_t bits = 0; // the stored value's bits
    double real = 0;
    std::vector<std::string> texts;
};

std::string valueFor(Random &random, const Option &option, Expected &expected) {
    switch (option.kind) {
    case ARG_KIND_BOOL: {
        static const char *const words[] = {"", "1", "true", "ON", "0", "false", "Off"};
        int w = pick(random, 7);
        expected.bits = w < 4 ? 1 : 0;
        return words[w];
    }
    case ARG_KIND_INT: {
        bool negative = pick(random, 2);
        uint64_t magnitude = randomMagnitude(random) & 0x7fffffff;
        expected.bits = static_cast<uint32_t>(static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude)
                                                                            : static_cast<int64_t>(magnitude)));
        return integerText(random, magnitude, negative);
    }
    case ARG_KIND_S8: {
        bool negative = pick(random, 2);
        uint64_t magnitude = randomMagnitude(random) & INT64_MAX;
        expected.bits = negative ? uint64_t{0} - magnitude : magnitude;
        return integerText(random, magnitude, negative);
    }
    case ARG_KIND_DOUBLE: {
        int eighths = pick(random, 100000) - 50000;
        int suffix = pick(random, 3);
        expected.real = eighths / 8.0 * (suffix == 0 ? 1 : suffix == 1 ? 1024 : 1048576);
        // Eighths print exactly with three decimals.
        char text[64];
        snprintf(text, sizeof text, "%.3f%s", eighths / 8.0, suffix == 0 ? "" : suffix == 1 ? "k" : "m");
        return text;
    }
    case ARG_KIND_SIZE_T: {
        uint64_t magnitude = randomMagnitude(random) & 0xffffffffu;
        expected.bits = magnitude;
        return integerText(random, magnitude, false);
    }
    case ARG_KIND_U8: {
        uint64_t magnitude = randomMagnitude(random);
        expected.bits = magnitude;
        return integerText(random, magnitude, false);
    }
    case ARG_KIND_NANOTIME: {
        static const char *const units[] = {"ns", "us", "ms", "s", "m", "h", "d"};
        static const int64_t factors[] = {1, 1000, 1000000, 1000000000LL, 60000000000LL, 3600000000000LL,
                                          86400000000000LL};
        int u = pick(random, 7);
        int64_t count = static_cast<int64_t>(random() % 100000) - 50000;
        expected.bits = static_cast<uint64_t>(count * factors[u]);
        return format("%lld", static_cast<unsigned long long>(count)) + (pick(random, 4) == 0 ? " " : "") +
               units[u];
    }
    case ARG_KIND_PCCHAR: {
        if (pick(random, 3) == 0) {
            std::string text = randomWord(random, "abc,;= xyz.\\'", 10);
            if (!text.empty() && text.back() == '\\')
                text += 'a'; // a backslash would hide the closing quote
            expected.texts.push_back(text);
            return "\"" + text + "\"";
        }
        std::string text = randomWord(random, "abcdef.:\\/=\"'", 10);
        if (!text.empty() && (text[0] == '"' || text[0] == '\''))
            text[0] = '_';
        expected.texts.push_back(text);
        return text;
    }
    default: {
        uint32_t address = random();
        expected.bits = address;
        char text[32];
        if (pick(random, 2))
            snprintf(text, sizeof text, "0x%x", address);
        else if (snprintf(text, sizeof text, "%x", address), strpbrk(text, "abcdef") == nullptr)
            snprintf(text, sizeof text, "%u", address);
        return text;
    }
    }
}

std::string separatorRun(Random &random) { return std::string(1 + (pick(random, 4) == 0), ','); }

} // namespace

TEST(Robustness, GeneratedOptionStringsLoseNothing) {
    Random random(4242);
    GuardedText guard;
    for (int round = 0; round < 600; ++round) {
        Fenced f;
        bool withFallback = pick(random, 2);
        f.declare(withFallback);
        Expected expected[optionCount];
        std::string text = pick(random, 3) == 0 ? separatorRun(random) : "";
        std::string lastUnknown, lastUnknownValue;
        int items = pick(random, 12);
        for (int n = 0; n < items; ++n) {
            if (withFallback && pick(random, 6) == 0) {
                lastUnknown = "zz" + randomWord(random, "abc", 3);
                lastUnknownValue = randomWord(random, "0123", 3);
                text += lastUnknown + "=" + lastUnknownValue + separatorRun(random);
                continue;
            }
            int o = pick(random, optionCount);
            if (expected[o].given && !options[o].repeatable)
                continue;
            std::string value = valueFor(random, options[o], expected[o]);
            expected[o].given = true;
            const char *name = options[o].name;
            if (o == 1 && pick(random, 2))
                name = "c";
            if (o == 7 && pick(random, 2))
                name = pick(random, 2) ? "p" : "file";
            bool bare = options[o].kind == ARG_KIND_BOOL && value.empty() && pick(random, 2);
            text += std::string(name) + (bare ? "" : "=" + value) + separatorRun(random);
        }
        const char *at = guard.place(text, false);
        ASSERT_EQ(argParse(&f.list, at, text.size(), ','), 0) << "'" << text << "': " << argError(&f.list);
        ASSERT_EQ(f.before, 0xfeedfaceu);
        ASSERT_EQ(f.after, 0xdeadbeefu);
        for (int o = 0; o < optionCount; ++o) {
            unsigned count = (f.descs[o].flags & ARG_FLAG_COUNT_MASK) >> ARG_FLAG_COUNT_SHIFT;
            if (!expected[o].given) {
                ASSERT_EQ(count, 0u) << options[o].name << " in '" << text << "'";
                continue;
            }
            const Expected &e = expected[o];
            switch (options[o].kind) {
            case ARG_KIND_BOOL:
                ASSERT_EQ(static_cast<uint64_t>(f.flag), e.bits) << text;
                break;
            case ARG_KIND_INT:
                ASSERT_EQ(static_cast<uint32_t>(f.count), e.bits) << text;
                break;
            case ARG_KIND_S8:
                ASSERT_EQ(static_cast<uint64_t>(f.big), e.bits) << text;
                break;
            case ARG_KIND_DOUBLE:
                ASSERT_EQ(f.ratio, e.real) << text;
                break;
            case ARG_KIND_SIZE_T:
                ASSERT_EQ(f.size, e.bits) << text;
                break;
            case ARG_KIND_U8:
                ASSERT_EQ(f.ubig, e.bits) << text;
                break;
            case ARG_KIND_NANOTIME:
                ASSERT_EQ(static_cast<uint64_t>(f.time), e.bits) << text;
                break;
            case ARG_KIND_PCCHAR: {
                ASSERT_EQ(count, e.texts.size()) << text;
                ASSERT_STREQ(f.path, e.texts.back().c_str()) << text;
                const char *all[16];
                ASSERT_EQ(argGetValues(&f.list, &f.descs[o], all, 16), static_cast<int>(e.texts.size()));
                for (size_t i = 0; i < e.texts.size(); ++i)
                    ASSERT_STREQ(all[i], e.texts[i].c_str()) << text;
                break;
            }
            default:
                ASSERT_EQ(reinterpret_cast<uintptr_t>(f.at), e.bits) << text;
            }
        }
        if (!lastUnknown.empty()) {
            ASSERT_STREQ(f.fallbackName, lastUnknown.c_str()) << text;
            ASSERT_STREQ(f.fallbackValue, lastUnknownValue.c_str()) << text;
        }
        argFree(&f.list);
    }
}

TEST(Robustness, MutatedOptionStringsFailCleanly) {
    Random random(99);
    GuardedText guard;
    const std::string seeds[] = {
        "flag,count=-3k,big=0x10,ratio=1.5k,size=64k,ubig=2g,time=20ms,path='a,b',at=ff",
        "c=1,,sz=2m,p=\"x\\\"y\",file=z,time=3 s",
        "path=a,path=b,path=c,flag=off,at=0x7ffe0000",
    };
    const char alphabet[] = "=,'\"\\ ;x0123456789kmgKMGhs-+.abcdef\t\x01\xff";
    const char *prefixes[] = {"Unknown parameter ", "Duplicate parameter ", "Could not parse value for argument '",
                              "Required parameter "};
    int failures = 0;
    for (int round = 0; round < 2500; ++round) {
        std::string text = seeds[pick(random, 3)];
        int mutations = 1 + pick(random, 4);
        for (int m = 0; m < mutations; ++m) {
            size_t at = text.empty() ? 0 : random() % (text.size() + 1);
            switch (pick(random, 5)) {
            case 0:
                text.insert(at, 1, alphabet[pick(random, sizeof alphabet - 1)]);
                break;
            case 1:
                if (at < text.size())
                    text.erase(at, 1 + pick(random, 3));
                break;
            case 2:
                if (at < text.size())
                    text[at] = alphabet[pick(random, sizeof alphabet - 1)];
                break;
            case 3:
                text.insert(at, text.substr(0, pick(random, static_cast<int>(text.size()) + 1)));
                break;
            default:
                text.insert(at, 1, '\0');
            }
        }
        if (text.size() > 2000)
            text.resize(2000);
        Fenced f;
        bool withFallback = pick(random, 2);
        f.declare(withFallback);
        if (pick(random, 3) == 0)
            f.descs[1].flags |= ARG_FLAG_REQUIRED;
        const char *placed = guard.place(text, false);
        int result = argParse(&f.list, placed, text.size(), pick(random, 8) == 0 ? ';' : ',');
        ASSERT_TRUE(result == 0 || result == -1);
        ASSERT_EQ(f.before, 0xfeedfaceu);
        ASSERT_EQ(f.after, 0xdeadbeefu);
        std::string error = argError(&f.list);
        if (result == -1) {
            ++failures;
            ASSERT_LE(error.size(), 128u);
            bool knownPrefix = false;
            for (const char *prefix : prefixes)
                knownPrefix = knownPrefix || error.rfind(prefix, 0) == 0;
            ASSERT_TRUE(knownPrefix) << "'" << error << "'";
        } else {
            ASSERT_EQ(error, "");
        }
        // Text values point into the list's copy and end within it.
        const char *copyEnd = f.list.copy + f.list.length + 1;
        if (f.path != nullptr) {
            ASSERT_TRUE(f.path >= f.list.copy && f.path < copyEnd);
            ASSERT_NE(memchr(f.path, '\0', static_cast<size_t>(copyEnd - f.path)), nullptr);
        }
        const char *paths[8];
        int got = argGetValues(&f.list, &f.descs[7], paths, 8);
        ASSERT_TRUE(got >= 0 && got <= 8);
        argFree(&f.list);
    }
    // The mutations must reach both outcomes to mean anything.
    EXPECT_GT(failures, 100);
    EXPECT_LT(failures, 2400);
}

TEST(Robustness, BoundedPrintNeverPassesItsSize) {
    Random random(5);
    for (int round = 0; round < 600; ++round) {
        long long number = static_cast<long long>(random64(random));
        std::string word = randomWord(random, "abcdefgh", 40);
        char full[256];
        int fullLength = snprintf(full, sizeof full, "%lld|%s|%u", number, word.c_str(), round);
        size_t size = static_cast<size_t>(pick(random, fullLength + 3));
        char buffer[256];
        memset(buffer, '#', sizeof buffer);
        int result = vantrel_util_snprintf(buffer, size, "%I64d|%s|%u", number, word.c_str(), round);
        for (size_t i = size; i < sizeof buffer; ++i)
            ASSERT_EQ(buffer[i], '#') << size;
        if (size == 0) {
            ASSERT_EQ(result, -1);
            continue;
        }
        ASSERT_EQ(std::string(buffer), std::string(full, std::min(size - 1, static_cast<size_t>(fullLength))));
        ASSERT_EQ(result, static_cast<size_t>(fullLength) < size ? fullLength : -1);
    }
}
