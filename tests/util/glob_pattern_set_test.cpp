// Pattern sets: splitting, weights, first match wins, and sets that could not be built.
#include <gtest/gtest.h>

#include <string>

#include "sarnik/glob.h"

namespace {

std::string describe(const PatternSet &set) {
    std::string text;
    for (int i = 0; i < set.count; ++i)
        text += "[" + std::string(set.entries[i].pattern) + "|" + std::to_string(set.entries[i].weight) + "]";
    return text;
}

std::string split(const char *text) {
    PatternSet set;
    patternSetCreate(&set, text);
    std::string result = describe(set);
    patternSetFree(&set);
    EXPECT_EQ(set.entries, nullptr);
    EXPECT_EQ(set.count, 0);
    return result;
}

TEST(PatternSet, Splitting) {
    EXPECT_EQ(split("+a*, -ab*"), "[a*|2][ab*|-1]");
    EXPECT_EQ(split("a b\tc,d ,, \n e"), "[a|1][b|1][c|1][d|1][e|1]");
    // A leading or trailing run of separators leaves an empty pattern.
    EXPECT_EQ(split(" a"), "[|1][a|1]");
    EXPECT_EQ(split("a,"), "[a|1][|1]");
    EXPECT_EQ(split(", "), "[|1][|1]");
    EXPECT_EQ(split("+"), "[|2]");
    EXPECT_EQ(split("-+a"), "[+a|-1]");
    EXPECT_EQ(split("a-b +-"), "[a-b|1][-|2]");
    EXPECT_EQ(split(""), "");
    EXPECT_EQ(split(nullptr), "");
    PatternSet empty{reinterpret_cast<PatternSetEntry *>(1), 5};
    patternSetCreate(&empty, "");
    EXPECT_EQ(empty.entries, nullptr);
    EXPECT_EQ(empty.count, 0);
}

TEST(PatternSet, FirstMatchingEntryGivesItsWeight) {
    PatternSet set;
    patternSetCreate(&set, "+a*, -ab*");
    EXPECT_EQ(patternSetMatch(&set, "abc"), 2);
    EXPECT_EQ(patternSetMatch(&set, "xyz"), 0);
    patternSetFree(&set);
    patternSetCreate(&set, "-ab* +a* java.*");
    EXPECT_EQ(patternSetMatch(&set, "abc"), -1);
    EXPECT_EQ(patternSetMatch(&set, "ac"), 2);
    EXPECT_EQ(patternSetMatch(&set, "java.lang"), 1);
    EXPECT_EQ(patternSetMatch(&set, ""), 0);
    EXPECT_EQ(patternSetMatch(&set, nullptr), 0);
    const char *pieces[] = {"java", "lang", "String"};
    EXPECT_EQ(patternSetMatchArray(&set, pieces, 3, "..."), 1);
    EXPECT_EQ(patternSetMatchList(&set, 2, "ab", '\0', "x", '\0'), -1);
    EXPECT_EQ(patternSetMatchList(&set, 2, "a", '.', "x", '\0'), 2);
    EXPECT_EQ(patternSetMatchList(&set, 1, "zz", '\0'), 0);
    patternSetFree(&set);
    // The empty pattern that a trailing comma leaves matches the empty subject only.
    patternSetCreate(&set, "x,");
    EXPECT_EQ(patternSetMatch(&set, ""), 1);
    EXPECT_EQ(patternSetMatch(&set, "y"), 0);
    EXPECT_EQ(patternSetMatchArray(&set, nullptr, 0, nullptr), 1);
    patternSetFree(&set);
    patternSetFree(&set);
    patternSetFree(nullptr);
}

TEST(PatternSet, EmptyAndUnbuiltSetsMatchNothing) {
    PatternSet empty;
    patternSetCreate(&empty, nullptr);
    EXPECT_EQ(patternSetMatch(&empty, ""), 0);
    EXPECT_EQ(patternSetMatch(nullptr, "a"), 0);
    // What a failed allocation leaves: a count without entries.
    PatternSet unbuilt{nullptr, 3};
    EXPECT_EQ(patternSetMatch(&unbuilt, "a"), 0);
    EXPECT_EQ(patternSetMatchList(&unbuilt, 1, "a", '\0'), 0);
    EXPECT_EQ(patternSetMatchArray(&unbuilt, nullptr, 0, nullptr), 0);
    patternSetFree(&unbuilt);
    EXPECT_EQ(unbuilt.count, 0);
}

TEST(PatternSet, LongListOfPatterns) {
    std::string text;
    for (int i = 0; i < 500; ++i)
        text += (i % 3 == 0 ? "+p" : i % 3 == 1 ? "-p" : "p") + std::to_string(i) + (i % 2 ? ", " : " ");
    PatternSet set;
    patternSetCreate(&set, text.c_str());
    ASSERT_NE(set.entries, nullptr);
    EXPECT_EQ(set.count, 501);
    EXPECT_EQ(patternSetMatch(&set, "p0"), 2);
    EXPECT_EQ(patternSetMatch(&set, "p499"), -1);
    EXPECT_EQ(patternSetMatch(&set, "p500"), 0);
    EXPECT_EQ(patternSetMatch(&set, ""), 1);
    patternSetFree(&set);
}

} // namespace
