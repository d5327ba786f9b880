// Stepping through option strings item by item.
#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <utility>
#include <vector>

#include "osal/mspace.h"
#include "sarnik/arguments.h"

namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

Items itemsOf(const std::string &text, char separator = ',') {
    ArgIter iter;
    argIterInit(&iter, text.data(), text.size(), separator);
    Items items;
    while (!argIterDone(&iter)) {
        argIterNext(&iter);
        EXPECT_GE(iter.name, text.data());
        EXPECT_LE(iter.name + iter.nameLength, text.data() + text.size());
        EXPECT_GE(iter.value, text.data());
        EXPECT_LE(iter.value + iter.valueLength, text.data() + text.size());
        items.emplace_back(std::string(iter.name, iter.nameLength), std::string(iter.value, iter.valueLength));
        if (items.size() > text.size() + 1) {
            ADD_FAILURE() << "iteration does not end";
            break;
        }
    }
    return items;
}

} // namespace

TEST(ArgIter, RunsOfSeparatorsAndEmptyValues) {
    EXPECT_EQ(itemsOf(",,a=1,,b"), (Items{{"a", "1"}, {"b", ""}}));
    EXPECT_EQ(itemsOf("a"), (Items{{"a", ""}}));
    EXPECT_EQ(itemsOf("a=,b=2,"), (Items{{"a", ""}, {"b", "2"}}));
    EXPECT_EQ(itemsOf("=5"), (Items{{"", "5"}}));
    EXPECT_EQ(itemsOf("a==b"), (Items{{"a", "=b"}}));
    EXPECT_EQ(itemsOf("a,b=c=d,e"), (Items{{"a", ""}, {"b", "c=d"}, {"e", ""}}));
    EXPECT_EQ(itemsOf(""), Items{});
    EXPECT_EQ(itemsOf(",,,,"), Items{});
}

TEST(ArgIter, QuotedValues) {
    EXPECT_EQ(itemsOf("x=\"p,q\""), (Items{{"x", "p,q"}}));
    EXPECT_EQ(itemsOf("x=\"p,q\",y=1"), (Items{{"x", "p,q"}, {"y", "1"}}));
    EXPECT_EQ(itemsOf("s='a\\'b',t"), (Items{{"s", "a\\'b"}, {"t", ""}}));
    EXPECT_EQ(itemsOf("s=\"it's\""), (Items{{"s", "it's"}}));
    // Unclosed: the value runs to the end.
    EXPECT_EQ(itemsOf("u=\"open,v=1"), (Items{{"u", "open,v=1"}}));
    // Whatever follows the closing quote up to the next separator is passed over.
    EXPECT_EQ(itemsOf("q=\"x\"junk,b"), (Items{{"q", "x"}, {"b", ""}}));
    EXPECT_EQ(itemsOf("e=\"\",f"), (Items{{"e", ""}, {"f", ""}}));
    // A quote inside a value is an ordinary character.
    EXPECT_EQ(itemsOf("a=b\"c,d"), (Items{{"a", "b\"c"}, {"d", ""}}));
}

TEST(ArgIter, OtherSeparatorsAndLengths) {
    EXPECT_EQ(itemsOf(";;a=1;b=x,y;", ';'), (Items{{"a", "1"}, {"b", "x,y"}}));
    EXPECT_EQ(itemsOf("a b=2  c", ' '), (Items{{"a", ""}, {"b", "2"}, {"c", ""}}));
    // Only length bytes are read: the rest of the buffer is not part of the text.
    const char text[] = "a=1,b=2";
    ArgIter iter;
    argIterInit(&iter, text, 3, ',');
    ASSERT_FALSE(argIterDone(&iter));
    argIterNext(&iter);
    EXPECT_EQ(std::string(iter.name, iter.nameLength), "a");
    EXPECT_EQ(std::string(iter.value, iter.valueLength), "1");
    EXPECT_TRUE(argIterDone(&iter));

    argIterInitDefault(&iter, ",x,");
    EXPECT_EQ(iter.separator, ',');
    argIterNext(&iter);
    EXPECT_EQ(std::string(iter.name, iter.nameLength), "x");
    EXPECT_TRUE(argIterDone(&iter));
    // Stepping past the end gives empty items and stays done.
    argIterNext(&iter);
    EXPECT_EQ(iter.nameLength, 0u);
    EXPECT_TRUE(argIterDone(&iter));

    argIterInitDefault(&iter, nullptr);
    EXPECT_TRUE(argIterDone(&iter));
}

TEST(ArgIter, GetNextHandsOutCopies) {
    ArgIter iter;
    argIterInitDefault(&iter, "level=debug,,pid,file='a b'");
    Items items;
    char *name = nullptr, *value = nullptr;
    while (argIterGetNext(&iter, &name, &value)) {
        items.emplace_back(name, value);
        gsFree(name);
        gsFree(value);
    }
    EXPECT_EQ(items, (Items{{"level", "debug"}, {"pid", ""}, {"file", "a b"}}));
    EXPECT_EQ(argIterGetNext(&iter, &name, &value), 0);
}
