#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "bmp_file.h"
#include "image_compare.h"
#include "test_paths.h"

namespace {

PixelBuffer pattern(int width, int height) {
    PixelBuffer image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.at(x, y) = static_cast<std::uint32_t>((x * 37 + y * 11) & 0xFF) << 16 |
                             static_cast<std::uint32_t>((x * 5 + 200) & 0xFF) << 8 | ((y * 19) & 0xFF);
    return image;
}

bool exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct UpdateSwitch {
    explicit UpdateSwitch(bool on) { _putenv_s("UPDATE_SCREENSHOTS", on ? "1" : ""); }
    ~UpdateSwitch() { _putenv_s("UPDATE_SCREENSHOTS", ""); }
};

TEST(HarnessBmp, RoundTripKeepsEveryPixel) {
    TempDir dir;
    // 1, 2 and 3 bytes of row padding, and none.
    for (int width : {1, 2, 3, 4, 13}) {
        PixelBuffer image = pattern(width, 7);
        writeBmp(dir.file("p.bmp"), image);
        PixelBuffer read = readBmp(dir.file("p.bmp"));
        EXPECT_EQ(read.width, width);
        EXPECT_EQ(read.height, 7);
        EXPECT_EQ(read.pixels, image.pixels) << "width " << width;
    }
    // The file is a plain 24-bit bottom-up BMP: the first pixel stored is the bottom-left one.
    PixelBuffer image(2, 2, 0);
    image.at(0, 1) = 0x123456;
    writeBmp(dir.file("q.bmp"), image);
    std::string bytes = readTextFile(dir.file("q.bmp"));
    ASSERT_EQ(bytes.size(), 54u + 2 * 8);
    EXPECT_EQ(bytes[28], 24);
    EXPECT_EQ(static_cast<unsigned char>(bytes[54]), 0x56);
    EXPECT_EQ(static_cast<unsigned char>(bytes[56]), 0x12);
}

TEST(HarnessBmp, ReadsTopDown32BitFiles) {
    TempDir dir;
    std::string file(54, '\0');
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(10, 54);
    put32(14, 40);
    put32(18, 2);
    put32(22, static_cast<std::uint32_t>(-2));
    file[26] = 1;
    file[28] = 32;
    // rows top first: (0,0) red, (1,0) green, (0,1) blue, (1,1) white; alpha ignored
    const unsigned char data[] = {0, 0, 255, 9, 0, 255, 0, 9, 255, 0, 0, 9, 255, 255, 255, 9};
    file.append(reinterpret_cast<const char *>(data), sizeof(data));
    writeTextFile(dir.file("t.bmp"), file);
    PixelBuffer image = readBmp(dir.file("t.bmp"));
    ASSERT_EQ(image.width, 2);
    ASSERT_EQ(image.height, 2);
    EXPECT_EQ(image.at(0, 0), 0xFF0000u);
    EXPECT_EQ(image.at(1, 0), 0x00FF00u);
    EXPECT_EQ(image.at(0, 1), 0x0000FFu);
    EXPECT_EQ(image.colorAt(1, 1), RGB(255, 255, 255));
}

TEST(HarnessBmp, BadFilesGiveClearErrors) {
    TempDir dir;
    auto errorOf = [&](const std::string &content) -> std::string {
        writeTextFile(dir.file("bad.bmp"), content);
        try {
            readBmp(dir.file("bad.bmp"));
        } catch (const std::runtime_error &e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_NE(errorOf("hello").find("not a BMP"), std::string::npos);
    writeBmp(dir.file("good.bmp"), pattern(5, 5));
    std::string good = readTextFile(dir.file("good.bmp"));
    EXPECT_NE(errorOf(good.substr(0, good.size() - 3)).find("truncated"), std::string::npos);
    std::string huge = good;
    huge[21] = 0x7F; // width about 2 thousand million
    EXPECT_NE(errorOf(huge).find("bad image size"), std::string::npos);
    std::string eightBit = good;
    eightBit[28] = 8;
    EXPECT_NE(errorOf(eightBit).find("8-bit"), std::string::npos);
    EXPECT_THROW(readBmp(dir.file("missing.bmp")), std::runtime_error);
    EXPECT_THROW(writeBmp(dir.file("empty.bmp"), PixelBuffer()), std::runtime_error);
}

TEST(HarnessCompare, CountsDifferencesBeyondTheTolerance) {
    PixelBuffer expected = pattern(10, 6);
    PixelBuffer actual = expected;
    actual.at(3, 2) ^= 0x000004; // blue off by 4
    actual.at(7, 5) = 0xFFFFFF - actual.at(7, 5);
    ImageDifference exact = compareImages(actual, expected);
    EXPECT_TRUE(exact.sameSize);
    EXPECT_EQ(exact.differentPixels, 2);
    EXPECT_EQ(exact.firstX, 3);
    EXPECT_EQ(exact.firstY, 2);
    EXPECT_EQ(exact.image.at(3, 2), 0x000040u) << "small differences show";
    EXPECT_EQ(exact.image.at(0, 0), 0u);
    ImageDifference tolerant = compareImages(actual, expected, 4);
    EXPECT_EQ(tolerant.differentPixels, 1);
    EXPECT_EQ(tolerant.firstX, 7);

    ImageDifference sizes = compareImages(pattern(4, 3), pattern(3, 4));
    EXPECT_FALSE(sizes.sameSize);
    EXPECT_EQ(sizes.image.width, 4);
    EXPECT_EQ(sizes.image.height, 4);
    EXPECT_EQ(sizes.image.at(3, 0), 0xFF00FFu);
}

TEST(HarnessCompare, ReferenceMismatchWritesCaptureAndDifference) {
    UpdateSwitch off(false);
    TempDir dir;
    std::string reference = dir.file("ref.bmp");
    std::string name = "harness_compare_probe";
    std::string actualFile = outputDirectory() + "\\" + name + ".actual.bmp";
    std::string diffFile = outputDirectory() + "\\" + name + ".diff.bmp";
    DeleteFileA(actualFile.c_str());
    DeleteFileA(diffFile.c_str());

    PixelBuffer image = pattern(8, 8);
    auto missing = matchesReferenceFile(image, reference, name);
    EXPECT_FALSE(missing);
    EXPECT_NE(std::string(missing.message()).find("UPDATE_SCREENSHOTS=1"), std::string::npos);
    EXPECT_TRUE(exists(actualFile));

    writeBmp(reference, image);
    EXPECT_TRUE(matchesReferenceFile(image, reference, name));
    EXPECT_FALSE(exists(actualFile)) << "a match clears the files of an earlier failure";

    PixelBuffer changed = image;
    changed.at(1, 1) ^= 0x101010;
    changed.at(2, 1) ^= 0x000001;
    auto result = matchesReferenceFile(changed, reference, name);
    EXPECT_FALSE(result);
    EXPECT_NE(std::string(result.message()).find("2 pixels differ"), std::string::npos) << result.message();
    ASSERT_TRUE(exists(actualFile));
    ASSERT_TRUE(exists(diffFile));
    EXPECT_EQ(readBmp(actualFile).pixels, changed.pixels);
    PixelBuffer diff = readBmp(diffFile);
    EXPECT_EQ(diff.at(1, 1), 0x404040u);
    EXPECT_EQ(diff.at(0, 0), 0u);

    EXPECT_TRUE(matchesReferenceFile(changed, reference, name, {1, 1})) << "within tolerance and count";
    EXPECT_FALSE(matchesReferenceFile(changed, reference, name, {1, 0}));
    EXPECT_FALSE(matchesReferenceFile(pattern(8, 9), reference, name, {255, 1000})) << "sizes must agree";
    EXPECT_FALSE(matchesReferenceFile(PixelBuffer(), reference, name));
    DeleteFileA(actualFile.c_str());
    DeleteFileA(diffFile.c_str());
}

TEST(HarnessCompare, UpdateSwitchRewritesTheReference) {
    TempDir dir;
    std::string reference = dir.file("sub\\ref.bmp");
    PixelBuffer image = pattern(5, 4);
    {
        UpdateSwitch on(true);
        EXPECT_TRUE(updatingReferenceImages());
        EXPECT_TRUE(matchesReferenceFile(image, reference, "harness_update_probe"));
    }
    EXPECT_FALSE(updatingReferenceImages());
    EXPECT_EQ(readBmp(reference).pixels, image.pixels);
    EXPECT_TRUE(matchesReferenceFile(image, reference, "harness_update_probe"));
}

TEST(HarnessCompare, ReferencesLieBesideTheProgramsTests) {
    std::string path = referenceImagePath("gui", "x");
    EXPECT_NE(path.find("\\tests\\gui\\fixtures\\x.bmp"), std::string::npos) << path;
}

} // namespace
