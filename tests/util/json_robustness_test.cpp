// Generated, mutated and random documents (fixed seeds): generated ones give exactly the elements
// they were made of; every other one gives elements in a sound order and, on failure, a message
// that fits its buffer. Each text ends where readable memory ends, so reading past it faults.
#include <gtest/gtest.h>

#include <inttypes.h>
#include <random>
#include <string.h>
#include <string>
#include <vector>

#include "guarded_text.h"
#include "json_events.h"
#include "sarnik/json_reader.h"

namespace {

using Random = std::mt19937;

int pick(Random &random, int count) { return static_cast<int>(random() % static_cast<unsigned>(count)); }

class Generator {
public:
    explicit Generator(uint32_t seed) : random_(seed) {}

    // A document and the elements it must give.
    void document(std::string &text, std::string &expected) {
        text_ = &text;
        expected_ = &expected;
        blank();
        if (pick(random_, 4) == 0)
            array(0);
        else
            object(0);
        blank();
    }

    Random &random() { return random_; }

private:
    void event(const std::string &word) {
        if (!expected_->empty())
            *expected_ += ' ';
        *expected_ += word;
    }

    void blank() {
        static const char *const blanks[] = {"", " ", "\n", "\t", "\r\n", "// c\n", "/* c */", "/*\n*/ "};
        int count = pick(random_, 3);
        for (int i = 0; i < count; ++i)
            *text_ += blanks[pick(random_, 8)];
    }

    // A bare word that is no keyword and no number.
    std::string bareWord() {
        static const char letters[] = "abcdxyzQ_$-.+*?!@%&|~<>\xC3\xA9";
        std::string word(1, "abcxyz_"[pick(random_, 7)]);
        int length = pick(random_, 12);
        for (int i = 0; i < length; ++i) {
            char c = letters[pick(random_, sizeof letters - 3)];
            word += c;
        }
        if (pick(random_, 5) == 0)
            word += "\xC3\xA9";
        return word;
    }

    void quoted(std::string &delivered) {
        char quote = pick(random_, 2) ? '"' : '\'';
        *text_ += quote;
        int length = pick(random_, 20);
        for (int i = 0; i < length; ++i) {
            switch (pick(random_, 8)) {
            case 0:
                *text_ += "\\n";
                delivered += '\n';
                break;
            case 1:
                *text_ += "\\u00e9";
                delivered += "\xC3\xA9";
                break;
            case 2:
                *text_ += "\\x41";
                delivered += 'A';
                break;
            case 3:
                *text_ += "\xE2\x82\xAC";
                delivered += "\xE2\x82\xAC";
                break;
            case 4: {
                char other = quote == '"' ? '\'' : '"';
                *text_ += other;
                delivered += other;
                break;
            }
            default: {
                char c = "abc ,:{}[]=;#/"[pick(random_, 14)];
                *text_ += c;
                delivered += c;
            }
            }
        }
        *text_ += quote;
    }

    void name() {
        std::string delivered;
        if (pick(random_, 2)) {
            quoted(delivered);
        } else {
            delivered = bareWord();
            *text_ += delivered;
        }
        event("n:" + delivered);
    }

    void value(int depth) {
        int kind = pick(random_, depth < 6 ? 9 : 7);
        switch (kind) {
        case 0: {
            int64_t v = static_cast<int64_t>((uint64_t{random_()} << 32) | random_()) >> pick(random_, 64);
            char text[40];
            if (pick(random_, 3))
                snprintf(text, sizeof text, "%" PRId64, v);
            else if (v < 0)
                snprintf(text, sizeof text, "-0x%" PRIx64, uint64_t{0} - static_cast<uint64_t>(v));
            else
                snprintf(text, sizeof text, "0x%" PRIx64, static_cast<uint64_t>(v));
            *text_ += text;
            char word[40];
            snprintf(word, sizeof word, "i:%" PRId64, v);
            event(word);
            break;
        }
        case 1:
            *text_ += pick(random_, 2) ? "1.5" : "-2e-3";
            break;
        case 2: {
            static const char *const words[] = {"true", "TRUE", "false", "False", "null", "NULL"};
            int w = pick(random_, 6);
            *text_ += words[w];
            event(w < 2 ? "true" : w < 4 ? "false" : "null");
            break;
        }
        case 3:
        case 4: {
            std::string delivered;
            quoted(delivered);
            event("s:" + delivered);
            break;
        }
        case 5:
        case 6: {
            std::string word = bareWord();
            *text_ += word;
            event("s:" + word);
            break;
        }
        case 7: array(depth + 1); break;
        default: object(depth + 1); break;
        }
    }

    void array(int depth) {
        *text_ += '[';
        event("[");
        int count = pick(random_, 5);
        for (int i = 0; i < count; ++i) {
            blank();
            value(depth);
            blank();
            // Bare tokens need something between them; so do numbers and keywords.
            *text_ += pick(random_, 3) ? "," : (pick(random_, 2) ? " " : ",,");
        }
        blank();
        *text_ += ']';
        event("]");
    }

    void object(int depth) {
        *text_ += '{';
        event("{");
        int count = pick(random_, 5);
        for (int i = 0; i < count; ++i) {
            blank();
            name();
            blank();
            *text_ += pick(random_, 2) ? ':' : '=';
            blank();
            value(depth);
            blank();
            if (i + 1 < count || pick(random_, 2))
                *text_ += pick(random_, 2) ? ',' : ';';
        }
        blank();
        *text_ += '}';
        event("}");
    }

    Random random_;
    std::string *text_ = nullptr;
    std::string *expected_ = nullptr;
};

// Elements in an order that a document can have, checked as they come.
struct Checker {
    std::vector<char> open; // '[' or '{'
    bool nameGiven = false; // inside the innermost object: a name waits for its value
    bool done = false;
    bool sound = true;

    void value() {
        if (!open.empty() && open.back() == '{') {
            sound &= nameGiven;
            nameGiven = false;
        }
    }

    static void callback(JsonElementType type, const void *value, void *user) {
        auto *c = static_cast<Checker *>(user);
        c->sound &= !c->done;
        switch (type) {
        case JSON_ARRAY_START:
        case JSON_OBJECT_START:
            c->value();
            c->open.push_back(type == JSON_ARRAY_START ? '[' : '{');
            break;
        case JSON_ARRAY_END:
        case JSON_OBJECT_END:
            c->sound &= !c->open.empty() && c->open.back() == (type == JSON_ARRAY_END ? '[' : '{');
            c->nameGiven = false;
            if (!c->open.empty())
                c->open.pop_back();
            c->done = c->open.empty();
            break;
        case JSON_MEMBER_NAME:
            // A fraction number gives no element, so a name may follow a name.
            c->sound &= !c->open.empty() && c->open.back() == '{';
            c->nameGiven = true;
            [[fallthrough]];
        case JSON_STRING: {
            const auto *s = static_cast<const JsonString *>(value);
            c->sound &= s->text[s->length] == '\0' && strlen(s->text) == s->length;
            if (type == JSON_STRING)
                c->value();
            break;
        }
        case JSON_INTEGER:
        case JSON_NULL:
        case JSON_TRUE:
        case JSON_FALSE:
            c->value();
            break;
        default:
            c->sound = false;
        }
    }
};

// Parses text placed against the guard page with an error buffer of the given size followed by
// bytes that must stay as they are.
void checkParse(GuardedText &guard, const std::string &text, size_t errorSize, const char *what) {
    const char *placed = guard.place(text, true);
    std::string buffer(errorSize + 16, 'Z');
    Checker checker;
    int result = jsonParse(placed, Checker::callback, &checker, buffer.data(), errorSize);
    ASSERT_TRUE(result == 0 || result == -1) << what;
    EXPECT_TRUE(checker.sound) << what << ": " << text;
    if (result == 0) {
        EXPECT_TRUE(checker.done) << what << ": " << text;
    } else if (errorSize > 1) {
        EXPECT_NE(buffer[0], '\0') << what << ": " << text;
    }
    ASSERT_LT(strlen(buffer.c_str()), errorSize) << what;
    ASSERT_EQ(buffer.substr(errorSize), std::string(16, 'Z')) << what;
}

TEST(JsonRobustness, GeneratedDocumentsGiveTheirElements) {
    Generator generator(20261209);
    GuardedText guard;
    for (int i = 0; i < 1500; ++i) {
        std::string text, expected;
        generator.document(text, expected);
        if (text.size() >= 4000)
            continue;
        const char *placed = guard.place(text, true);
        JsonOutcome outcome;
        char message[200];
        outcome.result = jsonParse(placed, recordJsonEvent, &outcome.events, message, sizeof message);
        ASSERT_EQ(outcome.result, 0) << text << "\n" << message;
        ASSERT_EQ(outcome.events, expected) << text;
    }
}

TEST(JsonRobustness, MutatedDocumentsFailCleanly) {
    Generator generator(7);
    Random &random = generator.random();
    GuardedText guard;
    static const char specials[] = "{}[]:=,;\"'\\/*#\n\r\t 0x.e-+\x80\xC0\xE2\xED\xF0";
    for (int i = 0; i < 2500; ++i) {
        std::string text, expected;
        generator.document(text, expected);
        int mutations = 1 + pick(random, 4);
        for (int m = 0; m < mutations && !text.empty(); ++m) {
            size_t at = random() % text.size();
            switch (pick(random, 5)) {
            case 0: text[at] = specials[pick(random, sizeof specials - 1)]; break;
            case 1: text.insert(at, 1, specials[pick(random, sizeof specials - 1)]); break;
            case 2: text.erase(at, 1 + random() % 4); break;
            case 3: text.resize(at); break;
            default: text[at] = static_cast<char>(random()); break;
            }
        }
        if (text.size() >= 4000)
            text.resize(4000);
        checkParse(guard, text, 1 + random() % 120, "mutated");
        if (HasFatalFailure())
            return;
    }
}

TEST(JsonRobustness, RandomBytesFailCleanly) {
    Random random(99);
    GuardedText guard;
    for (int i = 0; i < 1500; ++i) {
        std::string text;
        int length = pick(random, 64);
        // Mostly ASCII, so that parsing gets past the encoding check now and then.
        bool ascii = pick(random, 3) != 0;
        for (int j = 0; j < length; ++j) {
            char c = ascii ? "{}[]:=,;'\"\\/*ab01 \nxu"[pick(random, 21)] : static_cast<char>(1 + random() % 255);
            text += c;
        }
        checkParse(guard, text, 1 + random() % 80, "random");
        if (HasFatalFailure())
            return;
    }
}

// Texts that stop in the middle of each construct, right at the guard page.
TEST(JsonRobustness, EveryPrefixOfADocument) {
    const std::string text = "// c\n{ 'a\\u00e9\\x41' = [1, 0x10, -1.5e3, tRuE, null, \xE2\x82\xAC, {b:'\\n'}],"
                             " c /* x */ : \"q\" ; d = bare }";
    GuardedText guard;
    for (size_t length = 0; length <= text.size(); ++length) {
        checkParse(guard, text.substr(0, length), 64, "prefix");
        if (HasFatalFailure())
            return;
    }
}

} // namespace
