// Comparing captures with each other and with reference images checked in beside the tests.
//
// References live in tests/<program>/fixtures/<name>.bmp of the source tree. When a capture
// differs from its reference, the capture and a difference image are written to the test
// output folder (outputDirectory()) as <name>.actual.bmp and <name>.diff.bmp, and the failure
// names them. With the environment variable UPDATE_SCREENSHOTS=1 the capture is written as the
// new reference instead and the comparison passes.
#ifndef GUI_SUPPORT_IMAGE_COMPARE_H
#define GUI_SUPPORT_IMAGE_COMPARE_H

#include <gtest/gtest.h>

#include <string>

#include "pixel_buffer.h"

struct CompareOptions {
    // Largest difference of one channel (0..255) that still counts as equal.
    int channelTolerance = 0;
    // How many pixels may differ beyond the tolerance and the images still match.
    int allowedDifferentPixels = 0;
};

struct ImageDifference {
    bool sameSize = false;
    int differentPixels = 0;     // beyond the tolerance; every pixel when the sizes differ
    int largestChannelDifference = 0;
    int firstX = -1, firstY = -1; // the first differing pixel, row by row
    // Black where equal within the tolerance, the pixel's per-channel differences (at least
    // 0x40 per differing channel, so small ones show) where not; of the larger size when the
    // sizes differ, with the parts outside one of the images in magenta.
    PixelBuffer image;
};

ImageDifference compareImages(const PixelBuffer &actual, const PixelBuffer &expected, int channelTolerance = 0);

// The reference file of a program's test: <source>/tests/<program>/fixtures/<name>.bmp.
std::string referenceImagePath(const std::string &program, const std::string &name);

// True when UPDATE_SCREENSHOTS=1 is set.
bool updatingReferenceImages();

// The comparison with the reference, as a GoogleTest assertion result:
//   EXPECT_TRUE(matchesReference(captureClient(w), "gui", "button_pressed"));
::testing::AssertionResult matchesReference(const PixelBuffer &actual, const std::string &program,
                                            const std::string &name, const CompareOptions &options = {});
// The same with an explicit reference file; the output files are named after outputName.
::testing::AssertionResult matchesReferenceFile(const PixelBuffer &actual, const std::string &referencePath,
                                                const std::string &outputName,
                                                const CompareOptions &options = {});

#endif
