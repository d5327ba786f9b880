#include "bmp_file.h"

#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

constexpr std::size_t fileHeaderSize = 14;
constexpr std::size_t infoHeaderSize = 40;

void put16(std::string &out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string &out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

std::uint32_t get16(const std::string &in, std::size_t at) {
    return static_cast<unsigned char>(in[at]) | (static_cast<unsigned char>(in[at + 1]) << 8);
}

std::uint32_t get32(const std::string &in, std::size_t at) { return get16(in, at) | (get16(in, at + 2) << 16); }

[[noreturn]] void fail(const std::string &path, const std::string &what) {
    throw std::runtime_error(path + ": " + what);
}

} // namespace

void writeBmp(const std::string &path, const PixelBuffer &image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height)
        fail(path, "no image to write");
    std::size_t stride = (static_cast<std::size_t>(image.width) * 3 + 3) & ~std::size_t(3);
    std::size_t dataSize = stride * image.height;
    std::string out;
    out.reserve(fileHeaderSize + infoHeaderSize + dataSize);
    out += "BM";
    put32(out, static_cast<std::uint32_t>(fileHeaderSize + infoHeaderSize + dataSize));
    put32(out, 0);
    put32(out, fileHeaderSize + infoHeaderSize);
    put32(out, infoHeaderSize);
    put32(out, static_cast<std::uint32_t>(image.width));
    put32(out, static_cast<std::uint32_t>(image.height));
    put16(out, 1);
    put16(out, 24);
    put32(out, BI_RGB);
    put32(out, static_cast<std::uint32_t>(dataSize));
    put32(out, 2835); // 72 dots per inch
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        std::size_t rowStart = out.size();
        for (int x = 0; x < image.width; ++x) {
            std::uint32_t p = image.at(x, y);
            out += static_cast<char>(p & 0xFF);
            out += static_cast<char>((p >> 8) & 0xFF);
            out += static_cast<char>((p >> 16) & 0xFF);
        }
        out.append(stride - (out.size() - rowStart), '\0');
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        fail(path, "cannot create the file");
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    file.close();
    if (!file)
        fail(path, "cannot write the file");
}

PixelBuffer readBmp(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        fail(path, "cannot open the file");
    std::string in((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (in.size() < fileHeaderSize + infoHeaderSize || in.compare(0, 2, "BM") != 0)
        fail(path, "not a BMP file");
    std::uint32_t dataOffset = get32(in, 10);
    std::uint32_t headerSize = get32(in, 14);
    if (headerSize < infoHeaderSize || fileHeaderSize + headerSize > in.size())
        fail(path, "unsupported BMP header");
    auto width = static_cast<std::int32_t>(get32(in, 18));
    auto height = static_cast<std::int32_t>(get32(in, 22));
    std::uint32_t bits = get16(in, 28);
    std::uint32_t compression = get32(in, 30);
    if (bits != 24 && bits != 32)
        fail(path, std::to_string(bits) + "-bit BMP files are not supported (24 or 32)");
    if (compression != BI_RGB && !(compression == BI_BITFIELDS && bits == 32))
        fail(path, "compressed BMP files are not supported");
    bool topDown = height < 0;
    // Sizes are bounded before any multiplication: a damaged header must not allocate gigabytes.
    if (width <= 0 || height == 0 || height == INT32_MIN || width > 32768 || (topDown ? -height : height) > 32768)
        fail(path, "bad image size");
    int rows = topDown ? -height : height;
    std::size_t bytesPerPixel = bits / 8;
    std::size_t stride = (static_cast<std::size_t>(width) * bytesPerPixel + 3) & ~std::size_t(3);
    if (dataOffset > in.size() || (in.size() - dataOffset) / stride < static_cast<std::size_t>(rows))
        fail(path, "the file is truncated");
    PixelBuffer image(width, rows);
    for (int row = 0; row < rows; ++row) {
        int y = topDown ? row : rows - 1 - row;
        const auto *p = reinterpret_cast<const unsigned char *>(in.data()) + dataOffset + row * stride;
        for (int x = 0; x < width; ++x, p += bytesPerPixel)
            image.at(x, y) = (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
    }
    return image;
}
