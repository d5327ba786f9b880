// Error texts of system and socket codes, and the last error kept across lookups.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "osal/os_error.h"

TEST(ErrorText, SocketCodesUseTheirOwnTexts) {
    char text[128];
    EXPECT_EQ(osGetErrorString(10022, text, sizeof text), 26);
    EXPECT_STREQ(text, "Connection aborted by peer");
    EXPECT_EQ(osGetErrorString(10045, text, sizeof text), 31);
    EXPECT_STREQ(text, "Option unsupported by protocol.");
    EXPECT_EQ(osGetErrorString(10054, text, sizeof text), 25);
    EXPECT_STREQ(text, "Connection reset by peer.");
}

TEST(ErrorText, SocketCodesWithoutATextGiveNothing) {
    char text[16] = "stale";
    EXPECT_EQ(osGetErrorString(10059, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(osGetErrorString(10112, text, sizeof text), 0);
}

TEST(ErrorText, SocketTextsAreCutToTheBuffer) {
    char text[5];
    EXPECT_EQ(osGetErrorString(10048, text, sizeof text), 4);
    EXPECT_STREQ(text, "Addr");
}

TEST(ErrorText, SystemMessagesLoseTheirTrailingPeriodAndLineEnd) {
    char text[256];
    int length = osGetErrorString(ERROR_FILE_NOT_FOUND, text, sizeof text);
    ASSERT_GT(length, 3);
    EXPECT_EQ(length, static_cast<int>(strlen(text)));
    char last = text[length - 1];
    EXPECT_TRUE(last != '.' && last != '\r' && last != '\n') << text;
}

TEST(ErrorText, TinyBuffersAreNeverOverrun) {
    for (unsigned code : {2u, 10022u}) {
        char guard[4] = {'#', '#', '#', '#'};
        EXPECT_EQ(osGetErrorString(code, guard + 1, 0), 0);
        EXPECT_EQ(std::string(guard, 4), "####");
        EXPECT_EQ(osGetErrorString(code, guard + 1, 1), 0);
        EXPECT_EQ(std::string(guard, 4), std::string("#\0##", 4));
    }
}

TEST(LastError, TheLookupLeavesTheLastErrorAsItWas) {
    char text[256];
    osSetLastError(ERROR_ACCESS_DENIED);
    EXPECT_GT(osGetLastErrorString(text, sizeof text), 0);
    EXPECT_EQ(osGetLastError(), ERROR_ACCESS_DENIED);
}

TEST(LastError, NoErrorGivesAnEmptyText) {
    char text[16] = "stale";
    osSetLastError(0);
    errno = 0;
    EXPECT_EQ(osGetLastErrorString(text, sizeof text), 0);
    EXPECT_STREQ(text, "");
}

TEST(LastError, TheRuntimeErrorNumberStandsInForAMissingPlatformError) {
    osSetLastError(0);
    errno = ENOENT;
    EXPECT_EQ(osGetLastError(), ENOENT);
    errno = 0;
}

TEST(LastError, TinyBuffersAreNeverOverrun) {
    for (int code : {0, static_cast<int>(ERROR_ACCESS_DENIED), 10061}) {
        char area[4] = {'#', '#', '#', '#'};
        osSetLastError(code);
        errno = 0;
        EXPECT_EQ(osGetLastErrorString(area + 1, 0), 0);
        EXPECT_EQ(std::string(area, 4), "####");
        EXPECT_EQ(osGetLastErrorString(area + 1, 1), 0);
        EXPECT_EQ(std::string(area, 4), std::string("#\0##", 4));
        EXPECT_EQ(osGetLastError(), code);
        EXPECT_EQ(osGetLastErrorString(nullptr, 10), 0);
    }
}

TEST(ErrorText, ShortBuffersGetTheStartOfTheSystemText) {
    char full[256];
    int length = osGetErrorString(ERROR_ACCESS_DENIED, full, sizeof full);
    ASSERT_GT(length, 6);
    for (int size = 2; size <= length + 1; ++size) {
        std::string area(size + 2, '#');
        int cut = osGetErrorString(ERROR_ACCESS_DENIED, &area[1], size);
        EXPECT_EQ(area.front(), '#');
        EXPECT_EQ(area.back(), '#') << size;
        EXPECT_EQ(cut, static_cast<int>(strlen(&area[1])));
        EXPECT_EQ(std::string(&area[1], cut), std::string(full, cut)) << size;
    }
}
