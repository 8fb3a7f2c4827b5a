// libFuzzer harness for the BMP and RAW readers: reads each input from memory
// with both readers, from its start and after a leading byte (as an image
// embedded in another file is read).
//
// A read may fail; a sanitizer report, or a successful read whose image breaks
// its invariants (counts within the limits, size = width * height * channels,
// capacity = size, the stream left just past the image), is a finding.
#include "Core/textures/Image.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void checkImage(const Vantor::Image& image, int minChannels) {
    if (image.channels < minChannels || image.channels > Vantor::maxImageChannels || image.width < 1 ||
        image.width > Vantor::maxImageDimension || image.height < 1 ||
        image.height > Vantor::maxImageDimension ||
        image.size != image.width * image.height * image.channels || image.capacity != image.size ||
        !image.data)
        std::abort();
    // Every byte must have been written: touching them lets the sanitizers see the whole buffer.
    unsigned sum = 0;
    for (int i = 0; i < image.size; ++i)
        sum += image.data[i];
    (void)sum;
}

void readAt(const uint8_t* data, size_t size, long start) {
    FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!stream)
        return;
    Vantor::Image image;
    if (std::fseek(stream, start, SEEK_SET) == 0 && image.loadBMP(stream)) {
        checkImage(image, 1);
        if (std::ftell(stream) > long(size))
            std::abort();
        Vantor::Image copy(image);
        if (copy.channels == 1 && !copy.expandChannels(4))
            std::abort();
    }
    if (std::fseek(stream, start, SEEK_SET) == 0 && image.loadRAW(stream)) {
        checkImage(image, 1);
        if (std::ftell(stream) != start + 12 + image.size)
            std::abort();
    }
    std::fclose(stream);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // fmemopen refuses an empty buffer.
    if (size == 0)
        return 0;
    readAt(data, size, 0);
    if (size > 1)
        readAt(data, size, 1);
    return 0;
}
