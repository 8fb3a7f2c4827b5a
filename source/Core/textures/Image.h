// TImage and Image: 8-bit images in memory and the BMP and RAW file readers.
//
// Pixels are stored bottom row first, left to right, channels interleaved:
// the order of BMP files and of OpenGL texture uploads. size is always
// width * height * channels and capacity equals size; an empty image has null
// data and every count 0. A failed read leaves the image as it was.
#pragma once

#include <cstdio>
#include <cstring>
#include <utility>

namespace Vantor {

// Largest width or height the readers accept.
constexpr int maxImageDimension = 16384;
// Largest number of bytes per pixel.
constexpr int maxImageChannels = 4;

template <class T> class TImage {
public:
    T* data = nullptr;
    int channels = 0;
    int width = 0;
    int height = 0;
    int size = 0;
    int capacity = 0;

    TImage() = default;
    TImage(const TImage& other) { assign(other); }
    TImage& operator=(const TImage& other) {
        assign(other);
        return *this;
    }

    // Replaces this image with a copy of other's counts and pixels.
    virtual void assign(const TImage& other) {
        if (&other == this)
            return;
        clear();
        if (!allocate(other.channels, other.width, other.height))
            return;
        if (size > 0)
            std::memcpy(data, other.data, sizeof(T) * size);
    }

    virtual ~TImage() { delete[] data; }

    // Replaces the pixels with width * height * channels uninitialised ones.
    // False, and the image emptied, when a count is negative, channels is
    // above maxImageChannels or a side above maxImageDimension.
    bool allocate(int newChannels, int newWidth, int newHeight) {
        clear();
        if (newChannels < 0 || newChannels > maxImageChannels || newWidth < 0 ||
            newWidth > maxImageDimension || newHeight < 0 || newHeight > maxImageDimension)
            return false;
        int count = 0;
        if (__builtin_mul_overflow(newWidth, newHeight, &count) ||
            __builtin_mul_overflow(count, newChannels, &count))
            return false;
        if (count > 0)
            data = new T[count];
        channels = newChannels;
        width = newWidth;
        height = newHeight;
        size = capacity = count;
        return true;
    }

    // Frees the pixels; the image becomes empty.
    void clear() {
        delete[] data;
        data = nullptr;
        channels = width = height = size = capacity = 0;
    }

    // Exchanges pixels and counts with other.
    void swap(TImage& other) noexcept {
        std::swap(data, other.data);
        std::swap(channels, other.channels);
        std::swap(width, other.width);
        std::swap(height, other.height);
        std::swap(size, other.size);
        std::swap(capacity, other.capacity);
    }

    // The first channel of pixel (x, y), y counted from the bottom row.
    T* pixel(int x, int y) const { return data + (size_t(y) * width + x) * channels; }
};

// Why a read failed; ImageError::none when it did not.
enum class ImageError {
    none,
    cannotOpen,
    truncatedHeader,
    notBMP,
    badDimensions,
    badBitsPerPixel,
    badChannels,
    badPixelOffset,
    truncatedPixels,
    unseekableStream,
};

// A short English description of error, for logs and test output.
const char* describeImageError(ImageError error);

class Image : public TImage<unsigned char> {
public:
    Image() = default;
    Image(const Image& other) = default;
    Image& operator=(const Image& other) = default;
    ~Image() override = default;

    // Reads the BMP file fileName; false when it cannot be opened or read.
    bool loadBMP(const char* fileName);
    // Reads a BMP from the stream's current position; false unless it starts
    // with "BM" and is a sound uncompressed 8, 24 or 32 bit image.
    bool loadBMP(FILE* stream);
    // Reads the RAW layout from the stream's current position; true only when
    // the counts are sound and every pixel byte was read.
    bool loadRAW(FILE* stream);

    // loadBMP and loadRAW, telling why a read failed. On success the stream is
    // just past the image (past the last row's padding for a BMP).
    ImageError readBMP(FILE* stream);
    ImageError readRAW(FILE* stream);

    // Turns a grey image into an n-channel one, each grey byte copied into all
    // n channels. Shows a message and returns false, leaving the image as it
    // is, unless the image has 1 channel and n is 3 or 4.
    bool expandChannels(int n);
};

} // namespace Vantor
