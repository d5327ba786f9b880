#include "image_compare.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <stdexcept>

#include "bmp_file.h"
#include "test_paths.h"

namespace {

constexpr std::uint32_t outside = 0x00FF00FF;

int channel(std::uint32_t p, int shift) { return static_cast<int>((p >> shift) & 0xFF); }

// The source tree as this process sees it: under Wine a Unix path is reached through drive Z:.
std::string sourceRoot() {
    std::string root = GUI_TEST_SOURCE_ROOT;
    if (!root.empty() && root[0] == '/') {
        std::string drive = "Z:" + root;
        if (GetFileAttributesA(drive.c_str()) != INVALID_FILE_ATTRIBUTES)
            root = drive;
    }
    std::replace(root.begin(), root.end(), '/', '\\');
    return root;
}

void makeDirectories(const std::string &path) {
    std::size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos || slash < 3)
        return;
    std::string parent = path.substr(0, slash);
    if (GetFileAttributesA(parent.c_str()) == INVALID_FILE_ATTRIBUTES) {
        makeDirectories(parent);
        CreateDirectoryA(parent.c_str(), nullptr);
    }
}

} // namespace

ImageDifference compareImages(const PixelBuffer &actual, const PixelBuffer &expected, int channelTolerance) {
    ImageDifference result;
    result.sameSize = actual.width == expected.width && actual.height == expected.height;
    int width = std::max(actual.width, expected.width);
    int height = std::max(actual.height, expected.height);
    result.image = PixelBuffer(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool inActual = x < actual.width && y < actual.height;
            bool inExpected = x < expected.width && y < expected.height;
            std::uint32_t diff = 0;
            bool differs;
            if (!inActual || !inExpected) {
                diff = outside;
                differs = true;
                result.largestChannelDifference = 255;
            } else {
                std::uint32_t a = actual.at(x, y);
                std::uint32_t e = expected.at(x, y);
                differs = false;
                for (int shift : {16, 8, 0}) {
                    int d = std::abs(channel(a, shift) - channel(e, shift));
                    result.largestChannelDifference = std::max(result.largestChannelDifference, d);
                    if (d > channelTolerance) {
                        differs = true;
                        diff |= static_cast<std::uint32_t>(std::max(d, 0x40)) << shift;
                    }
                }
            }
            if (differs) {
                if (result.firstX < 0) {
                    result.firstX = x;
                    result.firstY = y;
                }
                ++result.differentPixels;
                result.image.at(x, y) = diff;
            }
        }
    }
    return result;
}

std::string referenceImagePath(const std::string &program, const std::string &name) {
    return sourceRoot() + "\\" + program + "\\fixtures\\" + name + ".bmp";
}

bool updatingReferenceImages() {
    const char *value = std::getenv("UPDATE_SCREENSHOTS");
    return value != nullptr && std::string(value) == "1";
}

::testing::AssertionResult matchesReference(const PixelBuffer &actual, const std::string &program,
                                            const std::string &name, const CompareOptions &options) {
    return matchesReferenceFile(actual, referenceImagePath(program, name), name, options);
}

::testing::AssertionResult matchesReferenceFile(const PixelBuffer &actual, const std::string &referencePath,
                                                const std::string &outputName, const CompareOptions &options) {
    if (actual.empty())
        return ::testing::AssertionFailure() << "the capture for " << outputName << " is empty";
    try {
        if (updatingReferenceImages()) {
            makeDirectories(referencePath);
            writeBmp(referencePath, actual);
            std::printf("[ updated  ] %s\n", referencePath.c_str());
            return ::testing::AssertionSuccess();
        }
        std::string actualPath = outputDirectory() + "\\" + outputName + ".actual.bmp";
        std::string diffPath = outputDirectory() + "\\" + outputName + ".diff.bmp";
        if (GetFileAttributesA(referencePath.c_str()) == INVALID_FILE_ATTRIBUTES) {
            writeBmp(actualPath, actual);
            return ::testing::AssertionFailure()
                   << "no reference image " << referencePath << "; the capture is in " << actualPath
                   << " (run with UPDATE_SCREENSHOTS=1 to make it the reference)";
        }
        PixelBuffer expected = readBmp(referencePath);
        ImageDifference difference = compareImages(actual, expected, options.channelTolerance);
        if (difference.sameSize && difference.differentPixels <= options.allowedDifferentPixels) {
            DeleteFileA(actualPath.c_str());
            DeleteFileA(diffPath.c_str());
            return ::testing::AssertionSuccess();
        }
        writeBmp(actualPath, actual);
        writeBmp(diffPath, difference.image);
        auto failure = ::testing::AssertionFailure();
        if (!difference.sameSize)
            failure << "the capture is " << actual.width << "x" << actual.height << ", the reference "
                    << expected.width << "x" << expected.height << "; ";
        failure << difference.differentPixels << " pixels differ by more than " << options.channelTolerance
                << " (" << options.allowedDifferentPixels << " allowed), largest channel difference "
                << difference.largestChannelDifference;
        if (difference.firstX >= 0 && difference.sameSize)
            failure << ", first at (" << difference.firstX << "," << difference.firstY << "): 0x" << std::hex
                    << actual.at(difference.firstX, difference.firstY) << " instead of 0x"
                    << expected.at(difference.firstX, difference.firstY) << std::dec;
        failure << "; reference " << referencePath << ", capture " << actualPath << ", difference " << diffPath
                << " (UPDATE_SCREENSHOTS=1 makes the capture the reference)";
        return failure;
    } catch (const std::exception &e) {
        return ::testing::AssertionFailure() << e.what();
    }
}
