// Long tokens made of every kind of piece a string can hold, so that the token buffer grows in the
// middle of each kind: the delivered text is exactly what was written, and errors late in a long
// token still point at its start.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "json_events.h"
#include "sarnik/json_reader.h"

namespace {

struct Piece {
    const char *written;
    const char *delivered;
};

// Text as written inside double quotes and as delivered, about the given size.
void longString(std::mt19937 &random, size_t size, std::string &written, std::string &delivered) {
    static const Piece pieces[] = {
        {"\\n", "\n"},          {"\\t", "\t"},          {"\\u00e9", "\xC3\xA9"}, {"\\u20AC", "\xE2\x82\xAC"},
        {"\\x41", "A"},         {"\\u0000", "\xC0\x80"}, {"'", "'"},            {"\xE2\x82\xAC", "\xE2\x82\xAC"},
        {"\xC0\x80", "\xC0\x80"}, {"\xC3\xA9", "\xC3\xA9"},
    };
    while (written.size() < size) {
        unsigned kind = random() % 14;
        if (kind < 10) {
            written += pieces[kind].written;
            delivered += pieces[kind].delivered;
        } else {
            // Plain runs of every length, some longer than an escape's neighbours usually are.
            std::string run(random() % (kind == 13 ? 300 : 24), 'a' + static_cast<char>(random() % 26));
            written += run;
            delivered += run;
        }
    }
}

TEST(JsonLongToken, EveryPieceSurvivesTheBufferGrowing) {
    std::mt19937 random(7);
    for (size_t size : {200u, 255u, 256u, 300u, 5000u, 300000u}) {
        std::string name, nameText, value, valueText;
        longString(random, size, name, nameText);
        longString(random, size, value, valueText);
        std::string text = "{\"" + name + "\": \"" + value + "\", b=" + std::string(size, 'b') + "}";
        EXPECT_EQ(parseJson(text).events, "{ n:" + nameText + " s:" + valueText + " n:b s:" + std::string(size, 'b') +
                                              " }")
            << size;
    }
}

TEST(JsonLongToken, ErrorsLateInALongTokenShowItsStart) {
    std::string head(100000, 'x');
    JsonOutcome unterminated = parseJson("{a=1,\nb=\"" + head + "\\tmore\n\"}", 40);
    EXPECT_EQ(unterminated.result, -1);
    EXPECT_EQ(unterminated.error, "Unterminated string, line 3, \"\"xxxxxxx\"");
    JsonOutcome escape = parseJson("[\n'" + head + "\\q']", 40);
    EXPECT_EQ(escape.error, "Bad escape sequence, line 2, \"'xxxxxxx\"");
    // A long bare token, then something out of place after it.
    JsonOutcome after = parseJson("{a=" + head + " b}", 40);
    EXPECT_EQ(after.error, "Bad character, line 1, \"b}\"");
}

} // namespace
