// Path normalisation in a double-byte code page, where a character's second byte may equal '\'.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "path_normalize.h"

namespace {

int shiftJisLead(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

std::string normalized(std::string text) {
    text.push_back('\0');
    osalNormalizePath(text.data(), shiftJisLead);
    return text.c_str();
}

// "\x95\x5c" is one character whose second byte is the value of a backslash.
const std::string table = "\x95\x5c";

} // namespace

TEST(PathNormalizeDoubleByte, TheLeadByteTestMatchesThePlatform) {
    for (int byte = 0x80; byte < 0x100; ++byte)
        EXPECT_EQ(shiftJisLead(static_cast<unsigned char>(byte)) != 0,
                  IsDBCSLeadByteEx(932, static_cast<BYTE>(byte)) != 0)
            << byte;
}

TEST(PathNormalizeDoubleByte, SecondBytesAreNeverSeparators) {
    EXPECT_EQ(normalized("dir/" + table), "dir\\" + table);
    EXPECT_EQ(normalized(table + "/"), table);
    EXPECT_EQ(normalized(table + "\\\\"), table);
    EXPECT_EQ(normalized(table + "//" + table + "/"), table + "\\" + table);
    EXPECT_EQ(normalized("C:/" + table + " "), "C:\\" + table);
    // Nor spaces: "\x81\x20" is one character.
    EXPECT_EQ(normalized("a\x81 "), "a\x81 ");
}

TEST(PathNormalizeDoubleByte, ALoneLeadByteAtTheEndIsKept) {
    EXPECT_EQ(normalized("ab\x95"), "ab\x95");
    EXPECT_EQ(normalized("\x95"), "\x95");
}

TEST(PathNormalizeDoubleByte, ALeadByteIsNoDriveLetter) {
    EXPECT_EQ(normalized("\x95:/x"), "\x95:\\x");
}
