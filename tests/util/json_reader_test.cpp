// The JSON reader on texts: the relaxed dialect, every element, every error text with its position,
// escapes and numbers at their edges, modified UTF-8, nesting, and aborts from callbacks.
#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "json_events.h"
#include "sarnik/json_reader.h"

namespace {

std::string events(const std::string &text) {
    JsonOutcome outcome = parseJson(text);
    EXPECT_EQ(outcome.result, 0) << text << " -> " << outcome.error;
    return outcome.events;
}

std::string error(const std::string &text, size_t errorSize = 256) {
    JsonOutcome outcome = parseJson(text, errorSize);
    EXPECT_EQ(outcome.result, -1) << text;
    return outcome.error;
}

TEST(JsonReader, RelaxedDialect) {
    EXPECT_EQ(events("{a=1; 'b':\"x\",}"), "{ n:a i:1 n:b s:x }");
    EXPECT_EQ(events("[1, 2 3,,, {}]"), "[ i:1 i:2 i:3 { } ]");
    EXPECT_EQ(events("[]"), "[ ]");
    EXPECT_EQ(events("{}"), "{ }");
    EXPECT_EQ(events("{a:[x y], b={c=d}; e:\"\"}"), "{ n:a [ s:x s:y ] n:b { n:c s:d } n:e s: }");
    EXPECT_EQ(events("{'it\"s'='a \"q\" b'}"), "{ n:it\"s s:a \"q\" b }");
    // Text after the top-level object is never looked at, even when it is not JSON.
    EXPECT_EQ(events("{a=1} } ] garbage \"unterminated"), "{ n:a i:1 }");
    EXPECT_EQ(events("[x] {"), "[ s:x ]");
    // Anything up to U+0020 is a blank, U+0000 written as C0 80 included.
    EXPECT_EQ(events("\x01\t\r\n{\x7f=\x1f" "1\xC0\x80}"), "{ n:\x7f i:1 }");
}

TEST(JsonReader, Keywords) {
    EXPECT_EQ(events("[true TRUE Null nULL false FaLsE]"), "[ true true null null false false ]");
    EXPECT_EQ(events("['true' \"null\" truex nul]"), "[ s:true s:null s:truex s:nul ]");
}

TEST(JsonReader, Comments) {
    EXPECT_EQ(events("// head\n{ /* a */ a /**/ = // x\n 1 /* b\n */ }"), "{ n:a i:1 }");
    EXPECT_EQ(events("{a='//not', b=\"/*no*/\"}"), "{ n:a s://not n:b s:/*no*/ }");
    EXPECT_EQ(events("{a=1/**/}"), "{ n:a i:1 }");
    // A lone slash is no comment: it ends a bare token and is then out of place.
    EXPECT_EQ(error("{a=1/b}"), "Bad character, line 1, \"/b}\"");
    // An unclosed block comment runs to the end of the text.
    EXPECT_EQ(error("{a=1 /* never closed }"), "Bad character, line 1, \"\"");
}

TEST(JsonReader, Integers) {
    EXPECT_EQ(events("[0 -0 +5 010 0x1F 0X1f -0x10 -010]"), "[ i:0 i:0 i:5 i:8 i:31 i:31 i:-16 i:-8 ]");
    EXPECT_EQ(events("[9223372036854775807 -9223372036854775808]"),
              "[ i:9223372036854775807 i:-9223372036854775808 ]");
    EXPECT_EQ(events("[0x7fffffffffffffff -0x8000000000000000 0777777777777777777777 -01000000000000000000000]"),
              "[ i:9223372036854775807 i:-9223372036854775808 i:9223372036854775807 i:-9223372036854775808 ]");
    // Outside the 64-bit range, or not wholly a number: the bare token is a string.
    EXPECT_EQ(events("[9223372036854775808 -9223372036854775809 0x8000000000000000 01000000000000000000000]"),
              "[ s:9223372036854775808 s:-9223372036854775809 s:0x8000000000000000 s:01000000000000000000000 ]");
    EXPECT_EQ(events("[12abc 08 0x 0xg - + 1E5 1-2 --1 1+]"),
              "[ s:12abc s:08 s:0x s:0xg s:- s:+ s:1E5 s:1-2 s:--1 s:1+ ]");
}

TEST(JsonReader, FractionNumbersAreAcceptedAndNotDelivered) {
    EXPECT_EQ(events("{a=1.5, b=2}"), "{ n:a n:b i:2 }");
    EXPECT_EQ(events("[1.5 -2.25 .5 5. 1e5 1.e-3 +1e+2 1e999 -1e-999 0.0]"), "[ ]");
    // A '.' or lower-case 'e' that does not make a whole number leaves a string.
    EXPECT_EQ(events("[1.2.3 1e 1e+ e5 . 1.5x 0xe 1.5E]"), "[ s:1.2.3 s:1e s:1e+ s:e5 s:. s:1.5x i:14 s:1.5E ]");
}

TEST(JsonReader, Escapes) {
    EXPECT_EQ(events("['\\b\\f\\n\\r\\t']"), "[ s:\b\f\n\r\t ]");
    EXPECT_EQ(events("['\\u0041\\x42\\u00e9\\u20AC']"), "[ s:AB\xC3\xA9\xE2\x82\xAC ]");
    // U+0000, raw or escaped, is delivered as C0 80; surrogate pairs stay two three-byte forms.
    EXPECT_EQ(events("['a\\u0000b' 'c\xC0\x80' '\\ud83d\\ude00' '\xED\xA0\xBD\xED\xB8\x80']"),
              "[ s:a\xC0\x80" "b s:c\xC0\x80 s:\xED\xA0\xBD\xED\xB8\x80 s:\xED\xA0\xBD\xED\xB8\x80 ]");
    // As "%x" reads: blanks first, digits up to the first other character, the rest of the four
    // characters dropped.
    EXPECT_EQ(events("['\\u 41x' '\\u4g12' '\\x9z' '\\uFFFF']"), "[ s:A s:\x04 s:\t s:\xEF\xBF\xBF ]");
    EXPECT_EQ(error("['\\uzzzz']"), "Bad format number, line 1, \"'\\uzzzz']\"");
    EXPECT_EQ(error("['\\x  ']"), "Bad format number, line 1, \"'\\x  ']\"");
    EXPECT_EQ(error("['\\u00"), "Unexpected end of input, line 1, \"'\\u00\"");
    EXPECT_EQ(error("['\\x4"), "Unexpected end of input, line 1, \"'\\x4\"");
    for (const char *bad : {"\\\"", "\\\\", "\\'", "\\/", "\\a", "\\0", "\\U0041", "\\X41", "\\\xC3\xA9"}) {
        std::string text = std::string("{a=\"x") + bad + "\"}";
        EXPECT_EQ(error(text), "Bad escape sequence, line 1, \"" + text.substr(3) + "\"") << bad;
    }
    EXPECT_EQ(error("['x\\"), "Unterminated string, line 1, \"'x\\\"");
}

TEST(JsonReader, LongTokensAreDeliveredWhole) {
    for (size_t length : {254u, 255u, 256u, 257u, 511u, 512u, 513u, 70000u}) {
        std::string word(length, 'w');
        for (size_t i = 0; i < length; i += 7)
            word[i] = static_cast<char>('a' + i % 26);
        EXPECT_EQ(events("{" + word + "='" + word + "'}"), "{ n:" + word + " s:" + word + " }") << length;
        // Characters of two and three bytes, so that the growth falls inside a character.
        std::string wide;
        while (wide.size() < length)
            wide += "\xC3\xA9\xE2\x82\xAC";
        EXPECT_EQ(events("[" + wide + "]"), "[ s:" + wide + " ]") << length;
    }
}

TEST(JsonReader, ErrorTextsWithPosition) {
    EXPECT_EQ(error(""), "Object must start with '{', line 1, \"\"");
    EXPECT_EQ(error("  // only a comment\n  x = 1"), "Object must start with '{', line 2, \"x = 1\"");
    EXPECT_EQ(error("'a'"), "Object must start with '{', line 1, \"'a'\"");
    EXPECT_EQ(error("{a=1,"), "Object must end with '}', line 1, \"\"");
    EXPECT_EQ(error("{\n"), "Object must end with '}', line 2, \"\"");
    EXPECT_EQ(error("{a 1}"), "Unexpected char, line 1, \"1}\"");
    EXPECT_EQ(error("{a}"), "Unexpected char, line 1, \"}\"");
    EXPECT_EQ(error("{a=1 b=2}"), "Bad character, line 1, \"b=2}\"");
    EXPECT_EQ(error("{a=1"), "Bad character, line 1, \"\"");
    EXPECT_EQ(error("{a=[1]]}"), "Bad character, line 1, \"]}\"");
    EXPECT_EQ(error("{a=}"), "Missing value, line 1, \"}\"");
    EXPECT_EQ(error("{a="), "Missing value, line 1, \"\"");
    EXPECT_EQ(error("{,a=1}"), "Missing value, line 1, \",a=1}\"");
    EXPECT_EQ(error("{#=1}"), "Missing value, line 1, \"#=1}\"");
    EXPECT_EQ(error("[1 2"), "Missing value, line 1, \"\"");
    EXPECT_EQ(error("[1 :2]"), "Missing value, line 1, \":2]\"");
    EXPECT_EQ(error("{a=\"x\n\"}"), "Unterminated string, line 2, \"\"x\"");
    EXPECT_EQ(error("{a=\"x\r\n\"}"), "Unterminated string, line 1, \"\"x\"");
    EXPECT_EQ(error("{a='x"), "Unterminated string, line 1, \"'x\"");
    EXPECT_EQ(error("{a=\"x'}"), "Unterminated string, line 1, \"\"x'}\"");
    // The line counts line feeds in strings and comments alike; the context stops at a line end.
    EXPECT_EQ(error("{a='1\\n2',\n/*\n\n*/ b 2\nc}"), "Unexpected char, line 4, \"2\"");
    EXPECT_EQ(error("{\r\n a=1 b\r\n}"), "Bad character, line 2, \"b\"");
}

TEST(JsonReader, IllegalUtf8) {
    for (const char *bad : {"\x80", "\xBF", "\xC1\x81", "\xC0\x81", "\xC0", "\xC3", "\xC3(", "\xE2\x82", "\xE2\x82(",
                            "\xE0\x80\x80", "\xE0\x9F\xBF", "\xF0\x9F\x98\x80", "\xF8", "\xFF", "\xFE"}) {
        EXPECT_EQ(error(std::string("{a='") + bad + "'}"), "Illegal UTF8 text stream") << bad;
        // Wherever it is: the check comes before anything is read or delivered.
        JsonOutcome late = parseJson(std::string("{a=1} ") + bad);
        EXPECT_EQ(late.result, -1);
        EXPECT_EQ(late.events, "");
    }
    EXPECT_EQ(events("['\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xED\xBF\xBF']"), "[ s:\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xED\xBF\xBF ]");
    // Characters above U+0020 are token characters, whatever their script.
    EXPECT_EQ(events("{\xC3\xA9t\xC3\xA9=\xE2\x82\xAC}"), "{ n:\xC3\xA9t\xC3\xA9 s:\xE2\x82\xAC }");
}

TEST(JsonReader, ErrorBufferOfAnySize) {
    const std::string text = "{a=1 b=2 and a long tail of text that will not fit}";
    const std::string full = error(text);
    for (size_t size = 1; size <= full.size() + 2; ++size) {
        std::string buffer(size + 8, 'Z');
        ASSERT_EQ(jsonParse(text.c_str(), nullptr, nullptr, buffer.data(), size), -1);
        size_t length = strlen(buffer.c_str());
        ASSERT_LT(length, size);
        EXPECT_EQ(buffer.substr(size), std::string(8, 'Z')) << size;
        // The message and the line come first; the context is cut to leave room for its quote.
        std::string got = buffer.c_str();
        if (size > full.size()) {
            EXPECT_EQ(got, full);
        } else if (got.size() >= 25 && got.back() == '"') {
            EXPECT_EQ(got.substr(0, got.size() - 1), full.substr(0, got.size() - 1)) << size;
        } else {
            EXPECT_EQ(got, full.substr(0, got.size())) << size;
        }
    }
    // A cut never splits a character.
    std::string wide = "{a=1 \xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC}";
    for (size_t size = 26; size < 35; ++size) {
        std::string got = error(wide, size);
        EXPECT_EQ(got.back(), '"');
        size_t euros = got.size() - 25;
        EXPECT_EQ(euros % 3, 0u) << got;
    }
    char none = 'Z';
    EXPECT_EQ(jsonParse("{}", nullptr, nullptr, nullptr, 10), -1);
    EXPECT_EQ(jsonParse("{}", nullptr, nullptr, &none, 0), -1);
    EXPECT_EQ(none, 'Z');
    EXPECT_EQ(jsonParse(nullptr, nullptr, nullptr, &none, 1), -1);
    EXPECT_EQ(none, '\0');
}

TEST(JsonReader, DeepNestingNeedsNoStack) {
    constexpr size_t depth = 200000;
    std::string arrays = std::string(depth, '[') + std::string(depth, ']');
    size_t starts = 0, ends = 0;
    struct Count {
        size_t *starts, *ends;
    } count{&starts, &ends};
    auto counter = [](JsonElementType type, const void *, void *user) {
        auto *c = static_cast<Count *>(user);
        if (type == JSON_ARRAY_START)
            ++*c->starts;
        if (type == JSON_ARRAY_END)
            ++*c->ends;
    };
    char message[128];
    EXPECT_EQ(jsonParse(arrays.c_str(), counter, &count, message, sizeof message), 0) << message;
    EXPECT_EQ(starts, depth);
    EXPECT_EQ(ends, depth);
    std::string objects;
    for (size_t i = 0; i < depth; ++i)
        objects += "{a=";
    objects += "1" + std::string(depth, '}');
    EXPECT_EQ(jsonParse(objects.c_str(), nullptr, nullptr, message, sizeof message), 0) << message;
    EXPECT_EQ(jsonParse(std::string(depth, '[').c_str(), nullptr, nullptr, message, sizeof message), -1);
    EXPECT_STREQ(message, "Missing value, line 1, \"\"");
    // Closing the wrong kind.
    EXPECT_EQ(error("[[{a=1]]"), "Bad character, line 1, \"]]\"");
    EXPECT_EQ(error("{a=[1}"), "Missing value, line 1, \"}\"");
}

// Callbacks that end the parse themselves.
struct AbortingHandler {
    int abortAt;
    int seen = 0;
};

void abortOnCount(JsonElementType, const void *, void *user) {
    auto *handler = static_cast<AbortingHandler *>(user);
    if (++handler->seen == handler->abortAt)
        jsonAbort("stopped at %d of %s", handler->seen, "elements");
}

TEST(JsonReader, CallbackAborts) {
    char message[128];
    AbortingHandler third{3};
    EXPECT_EQ(jsonParse("{a=42, b=3}", abortOnCount, &third, message, sizeof message), -1);
    EXPECT_STREQ(message, "stopped at 3 of elements, line 1, \"42, b=3}\"");
    // Structural elements have no token of their own: the position is the last character read.
    AbortingHandler first{1};
    EXPECT_EQ(jsonParse("\n\n  {a=42}", abortOnCount, &first, message, sizeof message), -1);
    EXPECT_STREQ(message, "stopped at 1 of elements, line 3, \"{a=42}\"");
    AbortingHandler last{4};
    EXPECT_EQ(jsonParse("{a='x'}\n", abortOnCount, &last, message, sizeof message), -1);
    EXPECT_STREQ(message, "stopped at 4 of elements, line 1, \"}\"");
    AbortingHandler never{100};
    EXPECT_EQ(jsonParse("{a='x'}", abortOnCount, &never, message, sizeof message), 0);
    EXPECT_EQ(never.seen, 4);
}

// A callback that parses another text: each abort reaches the innermost parse only.
struct Nested {
    bool innerAborts;
    int innerResult = 99;
    char innerMessage[64] = {};
};

void innerHandler(JsonElementType type, const void *, void *) {
    if (type == JSON_INTEGER)
        jsonAbort("inner");
}

void outerHandler(JsonElementType type, const void *, void *user) {
    auto *nested = static_cast<Nested *>(user);
    if (type != JSON_STRING)
        return;
    nested->innerResult = jsonParse(nested->innerAborts ? "{x=1}" : "{x=y}", innerHandler, nullptr,
                                    nested->innerMessage, sizeof nested->innerMessage);
    jsonAbort("outer after %d", nested->innerResult);
}

TEST(JsonReader, NestedParsesAbortTheInnermost) {
    char message[64];
    Nested aborting{true};
    EXPECT_EQ(jsonParse("{a='s'}", outerHandler, &aborting, message, sizeof message), -1);
    EXPECT_EQ(aborting.innerResult, -1);
    EXPECT_STREQ(aborting.innerMessage, "inner, line 1, \"1}\"");
    EXPECT_STREQ(message, "outer after -1, line 1, \"'s'}\"");
    Nested quiet{false};
    EXPECT_EQ(jsonParse("{a='s'}", outerHandler, &quiet, message, sizeof message), -1);
    EXPECT_EQ(quiet.innerResult, 0);
    EXPECT_STREQ(message, "outer after 0, line 1, \"'s'}\"");
}

CHILD_SCENARIO(json_abort_outside_parse) {
    // A parse that has ended leaves nothing behind for a stray abort to jump into.
    char message[16];
    jsonParse("{}", nullptr, nullptr, message, sizeof message);
    jsonAbort("nobody is parsing");
}

TEST(JsonReader, AbortOutsideAParseIsReported) {
    ChildResult child = runScenario("json_abort_outside_parse");
    EXPECT_EQ(child.exitCode, abortExitCode);
    EXPECT_NE(child.err.find("jsonAbort called outside a parse"), std::string::npos) << child.err;
}

TEST(JsonReader, ThreadsParseAtTheSameTime) {
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 300; ++i) {
                char message[96];
                AbortingHandler handler{2 + (i + t) % 5};
                int result = jsonParse("{a=[1 2 3], b='x'}", abortOnCount, &handler, message, sizeof message);
                char expected[96];
                snprintf(expected, sizeof expected, "stopped at %d of elements", handler.abortAt);
                if (result != -1 || strncmp(message, expected, strlen(expected)) != 0)
                    ++failures[t];
                JsonOutcome plain = parseJson("{a=[1 2 3], b='x'}");
                if (plain.events != "{ n:a [ i:1 i:2 i:3 ] n:b s:x }")
                    ++failures[t];
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(failures[t], 0) << t;
}

} // namespace
