// Streams in memory and over files.
#include <gtest/gtest.h>

#include <classlib/exceptions.h>
#include <classlib/stream.h>
#include <classlib/string_utils.h>

#include <cstring>
#include <string>

#include "test_paths.h"

TEST(MemoryStreams, ReadWriteAndSeek) {
    TOwned<TMemoryStream> stream(New<TMemoryStream>());
    stream->WriteBuffer("abcdef", 6);
    EXPECT_EQ(stream->Size(), 6);
    EXPECT_EQ(stream->Position(), 6);
    EXPECT_EQ(stream->Seek(-2, soEnd), 4);
    char tail[3] = {};
    EXPECT_EQ(stream->Read(tail, 10), 2);
    EXPECT_STREQ(tail, "ef");
    EXPECT_EQ(stream->Read(tail, 1), 0);
    EXPECT_EQ(stream->Read(tail, -1), 0);
    EXPECT_EQ(stream->Write(tail, -1), 0);

    stream->SetPosition(8);
    stream->WriteBuffer("z", 1);
    ASSERT_EQ(stream->Size(), 9);
    EXPECT_EQ(std::memcmp(stream->Memory(), "abcdef\0\0z", 9), 0);

    stream->SetSize(3);
    EXPECT_EQ(stream->Position(), 3);
    EXPECT_THROW(stream->Seek(-4, soCurrent), EStreamError);
    EXPECT_EQ(stream->Position(), 3);
    EXPECT_THROW(stream->SetSize(-1), EStreamError);
}

TEST(MemoryStreams, ShortReadsAndWritesRaise) {
    TOwned<TMemoryStream> stream(New<TMemoryStream>());
    stream->WriteBuffer("ab", 2);
    stream->SetPosition(0);
    char buffer[4];
    try {
        stream->ReadBuffer(buffer, 3);
        FAIL() << "read past the end";
    } catch (const EReadError &e) {
        EXPECT_EQ(e.Message(), L"Stream read error");
    }
    EXPECT_THROW(stream->ReadBuffer(buffer, -1), EReadError);
    stream->ReadBuffer(buffer, 0);
    try {
        stream->WriteBuffer(buffer, -2);
        FAIL() << "wrote a negative count";
    } catch (const EWriteError &e) {
        EXPECT_EQ(e.Message(), L"Stream write error");
    }
}

TEST(FileStreams, WriteReopenAndRead) {
    TempDir folder;
    std::wstring path = CodePageToWide(folder.file("data.bin"), 0);
    {
        TOwned<TFileStream> file(New<TFileStream>(path, fmCreate));
        file->WriteBuffer("hello", 5);
        EXPECT_EQ(file->Size(), 5);
        EXPECT_EQ(file->FileName(), path);
    }
    TOwned<TFileStream> file(New<TFileStream>(path, fmOpenRead));
    char buffer[6] = {};
    file->Seek(1, soBeginning);
    file->ReadBuffer(buffer, 4);
    EXPECT_STREQ(buffer, "ello");
    EXPECT_EQ(file->Write("x", 1), 0);
    EXPECT_THROW(file->Seek(-10, soCurrent), EStreamError);
}

TEST(FileStreams, OpenFailuresRaiseWithTheFileName) {
    TempDir folder;
    std::wstring path = CodePageToWide(folder.file("absent.bin"), 0);
    try {
        New<TFileStream>(path, fmOpenReadWrite);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError &e) {
        EXPECT_EQ(e.Message().rfind(L"Cannot open file \"" + path + L"\". ", 0), 0u) << e.what();
    }
    EXPECT_THROW(New<TFileStream>(CodePageToWide(folder.file("no\\such\\dir.bin"), 0), fmCreate), EFCreateError);
}
