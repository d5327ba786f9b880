// BMP files of captures: 24-bit written, 24- and 32-bit uncompressed read.
#ifndef GUI_SUPPORT_BMP_FILE_H
#define GUI_SUPPORT_BMP_FILE_H

#include <string>

#include "pixel_buffer.h"

// Writes the image as a 24-bit bottom-up BMP; throws std::runtime_error when the file cannot
// be written or the image is empty.
void writeBmp(const std::string &path, const PixelBuffer &image);

// Reads an uncompressed 24- or 32-bit BMP (bottom-up or top-down); throws std::runtime_error
// naming the file and the fault for a missing, truncated or unsupported file.
PixelBuffer readBmp(const std::string &path);

#endif
