// Glob patterns over whole texts and over subjects in pieces, checked against a plain reference
// on the joined text for many random cases.
#include <gtest/gtest.h>

#include <random>
#include <string.h>
#include <string>
#include <vector>

#include "sarnik/glob.h"

namespace {

TEST(GlobMatch, WholeTexts) {
    EXPECT_EQ(globMatch("*", ""), 1);
    EXPECT_EQ(globMatch("*", "anything at all"), 1);
    EXPECT_EQ(globMatch("***", ""), 1);
    EXPECT_EQ(globMatch("", ""), 1);
    EXPECT_EQ(globMatch("", "a"), 0);
    EXPECT_EQ(globMatch("java.*", "java.lang.String"), 1);
    EXPECT_EQ(globMatch("*.String", "java.lang.String"), 1);
    EXPECT_EQ(globMatch("java", "java.lang.String"), 0);
    EXPECT_EQ(globMatch("java.lang.String", "java.lang.String"), 1);
    EXPECT_EQ(globMatch("Java.*", "java.lang.String"), 0);
    EXPECT_EQ(globMatch("java.lang.Strin", "java.lang.String"), 0);
    EXPECT_EQ(globMatch("java.lang.Strings", "java.lang.String"), 0);
    EXPECT_EQ(globMatch("*x", ""), 0);
    EXPECT_EQ(globMatch("a*", "a"), 1);
    EXPECT_EQ(globMatch("*a*b*c*", "xxaxxbxxcxx"), 1);
    EXPECT_EQ(globMatch("*a*b*c*", "xxcxxbxxaxx"), 0);
    EXPECT_EQ(globMatch("a**b", "ab"), 1);
    // Backtracking: the first place a star could stop is not the right one.
    EXPECT_EQ(globMatch("*ab", "aab"), 1);
    EXPECT_EQ(globMatch("*aab*c", "aaabaabaaab-c"), 1);
    EXPECT_EQ(globMatch("a*a", "a"), 0);
    EXPECT_EQ(globMatch("?", "?"), 1);
    EXPECT_EQ(globMatch("?", "a"), 0);
    EXPECT_EQ(globMatch("[a]", "a"), 0);
    EXPECT_EQ(globMatch("\xC3\xA9*", "\xC3\xA9t\xC3\xA9"), 1);
    EXPECT_EQ(globMatch(nullptr, "a"), 0);
    EXPECT_EQ(globMatch("*", nullptr), 0);
}

TEST(GlobMatch, SubjectInPieces) {
    const char *pieces[] = {"a.b", "c"};
    EXPECT_EQ(globMatchArray("a.b.c", pieces, 2, ".."), 1);
    EXPECT_EQ(globMatchArray("a*c", pieces, 2, ".."), 1);
    EXPECT_EQ(globMatchArray("a.b*", pieces, 2, ".."), 1);
    EXPECT_EQ(globMatchArray("*.c", pieces, 2, ".."), 1);
    EXPECT_EQ(globMatchArray("a.bc", pieces, 2, ".."), 0);
    EXPECT_EQ(globMatchArray("a.b.", pieces, 2, ".."), 0);
    EXPECT_EQ(globMatchArray("a.b", pieces, 2, ".."), 0);
    // The last separator is never used; a NUL separator adds nothing.
    EXPECT_EQ(globMatchArray("a.b.c", pieces, 2, ".X"), 1);
    EXPECT_EQ(globMatchArray("a.b.cX", pieces, 2, ".X"), 0);
    const char nul[] = {'\0', '\0'};
    EXPECT_EQ(globMatchArray("a.bc", pieces, 2, nul), 1);
    EXPECT_EQ(globMatchArray("a.b*c", pieces, 2, nul), 1);
    EXPECT_EQ(globMatchArray("a.bc", pieces, 2, nullptr), 1);
    // Package, class and method, as a caller hands them over.
    EXPECT_EQ(globMatchList("java.lang.String::length", 3, "java.lang", '.', "String", ':', ":length", '\0'), 1);
    EXPECT_EQ(globMatchList("java.*::len*", 3, "java.lang", '.', "String", ':', ":length", '\0'), 1);
    EXPECT_EQ(globMatchList("*String:*", 3, "java.lang", '.', "String", ':', ":length", '\0'), 1);
    EXPECT_EQ(globMatchList("java.lang.*.length", 3, "java.lang", '.', "String", ':', ":length", '\0'), 0);
    // Empty pieces, and a subject of none.
    const char *empties[] = {"", "", ""};
    EXPECT_EQ(globMatchArray("//", empties, 3, "//"), 1);
    EXPECT_EQ(globMatchArray("*/", empties, 3, "//"), 1);
    EXPECT_EQ(globMatchArray("", empties, 3, "\0\0"), 1);
    EXPECT_EQ(globMatchArray("", nullptr, 0, nullptr), 1);
    EXPECT_EQ(globMatchArray("*", nullptr, 0, nullptr), 1);
    EXPECT_EQ(globMatchArray("a", nullptr, 0, nullptr), 0);
    EXPECT_EQ(globMatchList("", 0), 1);
    EXPECT_EQ(globMatchArray("a", nullptr, 2, ".."), 0);
    const char *withNull[] = {"a", nullptr, "b"};
    EXPECT_EQ(globMatchArray("a..b", withNull, 3, ".."), 1);
    // Separators that are themselves in the pieces.
    const char *dotted[] = {"a.", ".b"};
    EXPECT_EQ(globMatchArray("a...b", dotted, 2, ".."), 1);
    EXPECT_EQ(globMatchArray("*.*.*.*", dotted, 2, ".."), 1);
    EXPECT_EQ(globMatchArray("*.*.*.*.*", dotted, 2, ".."), 0);
}

TEST(GlobMatch, ManyPiecesInAList) {
    // More pieces than fit without an allocation.
    std::string joined;
    for (int i = 0; i < 40; ++i)
        joined += (i ? "/" : "") + std::to_string(i);
    auto match = [](const char *pattern) {
        return globMatchList(pattern, 40, "0", '/', "1", '/', "2", '/', "3", '/', "4", '/', "5", '/', "6", '/', "7", '/',
                             "8", '/', "9", '/', "10", '/', "11", '/', "12", '/', "13", '/', "14", '/', "15", '/', "16",
                             '/', "17", '/', "18", '/', "19", '/', "20", '/', "21", '/', "22", '/', "23", '/', "24", '/',
                             "25", '/', "26", '/', "27", '/', "28", '/', "29", '/', "30", '/', "31", '/', "32", '/', "33",
                             '/', "34", '/', "35", '/', "36", '/', "37", '/', "38", '/', "39", '/');
    };
    EXPECT_EQ(match(joined.c_str()), 1);
    EXPECT_EQ(match("0/*/39"), 1);
    EXPECT_EQ(match("*/17/*"), 1);
    EXPECT_EQ(match("*/40"), 0);
    EXPECT_EQ(match((joined + "/").c_str()), 0);
}

TEST(GlobMatch, ManyStarsEnd) {
    // Trying every star in turn would take longer than the age of the universe here: such a
    // matcher never ends, and the test program's time limit tells.
    std::string text(3000, 'a');
    std::string pattern;
    for (int i = 0; i < 40; ++i)
        pattern += "*a";
    EXPECT_EQ(globMatch((pattern + "*b").c_str(), text.c_str()), 0);
    EXPECT_EQ(globMatch((pattern + "*").c_str(), text.c_str()), 1);
    std::string stars(100000, '*');
    EXPECT_EQ(globMatch((stars + "a" + stars).c_str(), text.c_str()), 1);
}

// The plain recursive reading on the joined text.
bool reference(const char *p, const char *s) {
    if (*p == '\0')
        return *s == '\0';
    if (*p == '*') {
        while (*p == '*')
            ++p;
        for (;; ++s) {
            if (reference(p, s))
                return true;
            if (*s == '\0')
                return false;
        }
    }
    return *s == *p && reference(p + 1, s + 1);
}

TEST(GlobMatch, AgreesWithThePlainReadingOnRandomCases) {
    std::mt19937 random(4242);
    auto word = [&random](const char *alphabet, int maxLength) {
        std::string w;
        int length = static_cast<int>(random() % (maxLength + 1));
        for (int i = 0; i < length; ++i)
            w += alphabet[random() % strlen(alphabet)];
        return w;
    };
    for (int i = 0; i < 4000; ++i) {
        int count = 1 + static_cast<int>(random() % 4);
        std::vector<std::string> pieces;
        std::string separators, joined;
        for (int j = 0; j < count; ++j) {
            pieces.push_back(word("ab.", 5));
            char separator = "./\0a"[random() % 4];
            separators += separator;
            joined += pieces.back();
            if (j + 1 < count && separator != '\0')
                joined += separator;
        }
        std::string pattern = word("ab.*/", 8);
        std::vector<const char *> texts;
        for (const std::string &piece : pieces)
            texts.push_back(piece.c_str());
        bool expected = reference(pattern.c_str(), joined.c_str());
        ASSERT_EQ(globMatchArray(pattern.c_str(), texts.data(), count, separators.data()), expected ? 1 : 0)
            << pattern << " on " << joined;
        ASSERT_EQ(globMatch(pattern.c_str(), joined.c_str()), expected ? 1 : 0) << pattern << " on " << joined;
    }
}

} // namespace
