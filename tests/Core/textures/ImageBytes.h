// Test images built in memory: BMP and RAW files as bytes, and streams over them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace Vantor::test {

using Bytes = std::vector<std::uint8_t>;

// Offsets of the BMP header fields the tests change.
constexpr int bmpPixelOffsetField = 10;
constexpr int bmpWidthField = 18;
constexpr int bmpHeightField = 22;
constexpr int bmpBitsField = 28;
constexpr int bmpHeadersSize = 54;

inline void putInt32(Bytes& bytes, size_t at, std::int32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = std::uint8_t(std::uint32_t(value) >> (8 * i));
}

inline void putUInt16(Bytes& bytes, size_t at, int value) {
    bytes[at] = std::uint8_t(value);
    bytes[at + 1] = std::uint8_t(value >> 8);
}

// An uncompressed BMP of bitsPerPixel 8, 24 or 32. pixels are in the image's
// order (bottom row first, R,G,B(,A) per pixel, or palette indices for 8 bits);
// the file stores them B,G,R(,A) with rows padded to 4 bytes. 8-bit files get
// paletteEntries palette entries between the headers and the pixels.
inline Bytes makeBMP(int width, int height, int bitsPerPixel, const Bytes& pixels, int paletteEntries = 256) {
    const int channels = bitsPerPixel / 8;
    const int stride = (width * channels + 3) / 4 * 4;
    const int palette = bitsPerPixel == 8 ? 4 * paletteEntries : 0;
    const int offset = bmpHeadersSize + palette;
    Bytes file(size_t(offset + stride * height), 0);
    file[0] = 'B';
    file[1] = 'M';
    putInt32(file, 2, std::int32_t(file.size()));
    putInt32(file, bmpPixelOffsetField, offset);
    putInt32(file, 14, 40);
    putInt32(file, bmpWidthField, width);
    putInt32(file, bmpHeightField, height);
    putUInt16(file, 26, 1);
    putUInt16(file, bmpBitsField, bitsPerPixel);
    for (int i = 0; i < palette / 4; ++i)
        file[size_t(bmpHeadersSize + 4 * i)] = file[size_t(bmpHeadersSize + 4 * i + 1)] =
            file[size_t(bmpHeadersSize + 4 * i + 2)] = std::uint8_t(i);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* from = &pixels[size_t((y * width + x) * channels)];
            std::uint8_t* to = &file[size_t(offset + y * stride + x * channels)];
            if (channels == 1) {
                to[0] = from[0];
                continue;
            }
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            if (channels == 4)
                to[3] = from[3];
        }
    return file;
}

// A RAW image: channels, width, height, then the pixels as given.
inline Bytes makeRAW(int channels, int width, int height, const Bytes& pixels) {
    Bytes file(12 + pixels.size(), 0);
    putInt32(file, 0, channels);
    putInt32(file, 4, width);
    putInt32(file, 8, height);
    std::copy(pixels.begin(), pixels.end(), file.begin() + 12);
    return file;
}

// A read-only stream over a copy of some bytes, closed on destruction.
class MemoryStream {
public:
    explicit MemoryStream(const Bytes& bytes) : copy(bytes) {
        // fmemopen refuses an empty buffer: an empty input is a stream of one
        // byte positioned at its end.
        if (copy.empty())
            copy.push_back(0);
        stream = fmemopen(copy.data(), copy.size(), "rb");
        if (stream && bytes.empty())
            std::fseek(stream, 0, SEEK_END);
    }
    ~MemoryStream() {
        if (stream)
            std::fclose(stream);
    }
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    FILE* get() const { return stream; }
    long position() const { return std::ftell(stream); }

private:
    Bytes copy;
    FILE* stream = nullptr;
};

inline bool writeFile(const std::string& path, const Bytes& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

} // namespace Vantor::test
