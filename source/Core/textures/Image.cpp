// The BMP and RAW readers and channel expansion.
//
// Both readers take their counts from untrusted bytes: every count is checked
// against the limits of Image.h and against the bytes the stream still holds
// before anything is allocated, so a broken or hostile file fails the read
// instead of reading out of bounds or allocating without bound.
#include "Core/textures/Image.h"

#include "Core/ArrayList.h"
#include "Core/WinAppFramework/Exception.h"
#include "Core/platform/File.h"

#include <cstdint>

namespace Vantor {

namespace {

constexpr int bmpFileHeaderBytes = 14;
constexpr int bmpInfoHeaderBytes = 40;
// Offsets of the fields the reader uses, from the start of the file header.
constexpr int bmpPixelOffsetAt = 10;
constexpr int bmpWidthAt = 18;
constexpr int bmpHeightAt = 22;
constexpr int bmpBitsPerPixelAt = 28;
constexpr int bmpRowAlignment = 4;
constexpr int rawHeaderBytes = 12;

std::int32_t readInt32(const unsigned char* p) {
    return std::int32_t(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                        std::uint32_t(p[3]) << 24);
}

int readUInt16(const unsigned char* p) { return p[0] | p[1] << 8; }

// The number of bytes from the stream's position to its end; false when the
// stream cannot seek. The position is kept.
bool bytesLeft(FILE* stream, long& left) {
    long here = std::ftell(stream);
    if (here < 0 || std::fseek(stream, 0, SEEK_END) != 0)
        return false;
    long end = std::ftell(stream);
    if (std::fseek(stream, here, SEEK_SET) != 0 || end < here)
        return false;
    left = end - here;
    return true;
}

bool validSide(std::int32_t side) { return side > 0 && side <= maxImageDimension; }

} // namespace

const char* describeImageError(ImageError error) {
    switch (error) {
    case ImageError::none:
        return "no error";
    case ImageError::cannotOpen:
        return "the file cannot be opened";
    case ImageError::truncatedHeader:
        return "the file ends inside its header";
    case ImageError::notBMP:
        return "the file does not start with BM";
    case ImageError::badDimensions:
        return "width or height is not between 1 and 16384";
    case ImageError::badBitsPerPixel:
        return "bits per pixel is not 8, 24 or 32";
    case ImageError::badChannels:
        return "channels is not 1, 3 or 4";
    case ImageError::badPixelOffset:
        return "the pixel data offset lies inside the headers";
    case ImageError::truncatedPixels:
        return "the file holds fewer pixel bytes than its size needs";
    case ImageError::unseekableStream:
        return "the stream cannot seek";
    }
    return "unknown error";
}

bool Image::loadBMP(const char* fileName) {
    FILE* file = platform::openFile(fileName, "rb");
    if (!file)
        return false;
    bool read = loadBMP(file);
    std::fclose(file);
    return read;
}

bool Image::loadBMP(FILE* stream) { return readBMP(stream) == ImageError::none; }

bool Image::loadRAW(FILE* stream) { return readRAW(stream) == ImageError::none; }

ImageError Image::readBMP(FILE* stream) {
    if (!stream)
        return ImageError::cannotOpen;
    long start = std::ftell(stream);
    long available = 0;
    if (start < 0 || !bytesLeft(stream, available))
        return ImageError::unseekableStream;

    unsigned char header[bmpFileHeaderBytes + bmpInfoHeaderBytes] = {};
    const size_t got = std::fread(header, 1, sizeof header, stream);
    if (got < 2 || header[0] != 'B' || header[1] != 'M')
        return ImageError::notBMP;
    if (got != sizeof header)
        return ImageError::truncatedHeader;
    const std::int32_t pixelOffset = readInt32(header + bmpPixelOffsetAt);
    const std::int32_t bmpWidth = readInt32(header + bmpWidthAt);
    const std::int32_t bmpHeight = readInt32(header + bmpHeightAt);
    const int bitsPerPixel = readUInt16(header + bmpBitsPerPixelAt);

    // Top-down images (negative height) and compression are not supported;
    // planes and the palette are ignored, so 8-bit images hold palette indices.
    if (!validSide(bmpWidth) || !validSide(bmpHeight))
        return ImageError::badDimensions;
    if (bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32)
        return ImageError::badBitsPerPixel;
    if (pixelOffset < int(sizeof header))
        return ImageError::badPixelOffset;

    const int pixelBytes = bitsPerPixel / 8;
    int rowBytes = 0;
    if (__builtin_mul_overflow(pixelBytes, bmpWidth, &rowBytes))
        return ImageError::badDimensions;
    const int remainder = rowBytes % bmpRowAlignment;
    const int stride = rowBytes + (remainder ? bmpRowAlignment - remainder : 0);
    // Rows are padded to the alignment, but some writers end the file right
    // after the last row's pixels. The padding of that row is read when the
    // stream holds it (so that a reader of an embedded image stops after it)
    // and not required otherwise.
    long pixelEnd = 0;
    if (__builtin_mul_overflow(long(stride), long(bmpHeight), &pixelEnd) ||
        __builtin_add_overflow(pixelEnd, long(pixelOffset), &pixelEnd))
        return ImageError::truncatedPixels;
    int lastRowBytes = stride;
    if (pixelEnd > available) {
        lastRowBytes = rowBytes;
        if (pixelEnd - (stride - rowBytes) > available)
            return ImageError::truncatedPixels;
    }

    Image read;
    if (!read.allocate(pixelBytes, bmpWidth, bmpHeight))
        return ImageError::badDimensions;
    if (std::fseek(stream, start + pixelOffset, SEEK_SET) != 0)
        return ImageError::truncatedPixels;

    ArrayList<unsigned char> row;
    row.resize(unsigned(stride));
    unsigned char* to = read.data;
    for (int y = 0; y < bmpHeight; ++y) {
        const size_t rowSize = size_t(y + 1 < bmpHeight ? stride : lastRowBytes);
        if (std::fread(row.data, 1, rowSize, stream) != rowSize)
            return ImageError::truncatedPixels;
        // Colours are stored B,G,R; a 32-bit pixel's fourth byte is its alpha
        // and stays last, so B,G,R,A becomes R,G,B,A.
        const unsigned char* from = row.data;
        if (pixelBytes == 1) {
            std::memcpy(to, from, size_t(bmpWidth));
            to += bmpWidth;
            continue;
        }
        for (int x = 0; x < bmpWidth; ++x, from += pixelBytes, to += pixelBytes) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            if (pixelBytes == 4)
                to[3] = from[3];
        }
    }
    swap(read);
    return ImageError::none;
}

ImageError Image::readRAW(FILE* stream) {
    if (!stream)
        return ImageError::cannotOpen;
    long available = 0;
    if (!bytesLeft(stream, available))
        return ImageError::unseekableStream;

    unsigned char header[rawHeaderBytes];
    if (std::fread(header, 1, sizeof header, stream) != sizeof header)
        return ImageError::truncatedHeader;
    const std::int32_t rawChannels = readInt32(header + 0);
    const std::int32_t rawWidth = readInt32(header + 4);
    const std::int32_t rawHeight = readInt32(header + 8);
    if (rawChannels != 1 && rawChannels != 3 && rawChannels != 4)
        return ImageError::badChannels;
    if (!validSide(rawWidth) || !validSide(rawHeight))
        return ImageError::badDimensions;
    long needed = 0;
    if (__builtin_mul_overflow(long(rawWidth), long(rawHeight), &needed) ||
        __builtin_mul_overflow(needed, long(rawChannels), &needed) || needed > available - rawHeaderBytes)
        return ImageError::truncatedPixels;

    Image read;
    if (!read.allocate(rawChannels, rawWidth, rawHeight))
        return ImageError::badDimensions;
    if (std::fread(read.data, 1, size_t(read.size), stream) != size_t(read.size))
        return ImageError::truncatedPixels;
    swap(read);
    return ImageError::none;
}

bool Image::expandChannels(int n) {
    if (channels != 1) {
        showMessage("Can't duplicate a multi-channel image");
        return false;
    }
    if (n != 3 && n != 4) {
        showMessage("Number of destination channels must be 3 or 4");
        return false;
    }
    Image expanded;
    if (!expanded.allocate(n, width, height))
        return false;
    for (int i = 0; i < size; ++i)
        std::memset(expanded.data + size_t(i) * n, data[i], size_t(n));
    swap(expanded);
    return true;
}

} // namespace Vantor
