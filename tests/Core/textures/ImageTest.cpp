// The BMP and RAW readers, channel expansion and file-type detection, on
// images built in memory. No GL context is needed.
#include "Core/textures/Image.h"
#include "Core/textures/TextureManager.h"

#include "Core/platform/MessageBox.h"

#include "ImageBytes.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

using namespace Vantor;
using namespace Vantor::test;

namespace {

Bytes imagePixels(const Image& image) { return Bytes(image.data, image.data + image.size); }

// A 3 x 2 RGB image: 9 bytes per row, so 3 bytes of padding in a BMP.
const Bytes rgb3x2 = {
    1,  2,  3,  4,  5,  6,  7,  8,  9,  // bottom row
    11, 12, 13, 14, 15, 16, 17, 18, 19, // top row
};

ImageError readBMP(const Bytes& file, Image& image) {
    MemoryStream stream(file);
    return image.readBMP(stream.get());
}

ImageError readRAW(const Bytes& file, Image& image) {
    MemoryStream stream(file);
    return image.readRAW(stream.get());
}

class RecordedMessages : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setMessageBoxResponder([this](const char* text, const char*, unsigned) {
            messages.push_back(text);
            return platform::IDOK;
        });
    }
    void TearDown() override { platform::setMessageBoxResponder({}); }

    std::vector<std::string> messages;
};

} // namespace

TEST(BMPReader, Reads24BitRowsBottomFirstAsRGBSkippingPadding) {
    Image image;
    ASSERT_EQ(readBMP(makeBMP(3, 2, 24, rgb3x2), image), ImageError::none);
    EXPECT_EQ(image.channels, 3);
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.capacity, 18);
    EXPECT_EQ(imagePixels(image), rgb3x2);

    // Width 4 has no padding: the file ends right after 24 pixel bytes.
    Bytes pixels(24);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = std::uint8_t(3 * i);
    Bytes file = makeBMP(4, 2, 24, pixels);
    ASSERT_EQ(file.size(), size_t(bmpHeadersSize + 24));
    ASSERT_EQ(readBMP(file, image), ImageError::none);
    EXPECT_EQ(imagePixels(image), pixels);
}

TEST(BMPReader, Reads32BitAsRGBAWithAlphaLast) {
    const Bytes pixels = {10, 20, 30, 40, 50, 60, 70, 80};
    Image image;
    ASSERT_EQ(readBMP(makeBMP(2, 1, 32, pixels), image), ImageError::none);
    EXPECT_EQ(image.channels, 4);
    EXPECT_EQ(imagePixels(image), pixels);
}

TEST(BMPReader, Reads8BitAsGreyPaletteIndicesWhateverThePaletteSize) {
    const Bytes indices = {0, 100, 200, 255, 1, 2};
    for (int paletteEntries : {256, 2, 0}) {
        Image image;
        ASSERT_EQ(readBMP(makeBMP(3, 2, 8, indices, paletteEntries), image), ImageError::none)
            << paletteEntries;
        EXPECT_EQ(image.channels, 1);
        EXPECT_EQ(imagePixels(image), indices);
    }
}

TEST(BMPReader, ReadsAnImageEmbeddedInAStreamAndStopsAfterIt) {
    Bytes bmp = makeBMP(3, 2, 24, rgb3x2);
    Bytes file = {0xAA, 0xBB, 0xCC};
    file.insert(file.end(), bmp.begin(), bmp.end());
    file.push_back(0x5A);
    MemoryStream stream(file);
    std::fseek(stream.get(), 3, SEEK_SET);
    Image image;
    ASSERT_TRUE(image.loadBMP(stream.get()));
    EXPECT_EQ(imagePixels(image), rgb3x2);
    EXPECT_EQ(stream.position(), long(3 + bmp.size()));
    EXPECT_EQ(std::fgetc(stream.get()), 0x5A);
}

namespace {

struct BrokenFile {
    const char* what;
    std::function<Bytes()> make;
    ImageError expected;
};

Bytes validBMP() { return makeBMP(3, 2, 24, rgb3x2); }

Bytes bmpWith(size_t field, std::int32_t value) {
    Bytes file = validBMP();
    putInt32(file, field, value);
    return file;
}

Bytes bmpBits(int bits) {
    Bytes file = validBMP();
    putUInt16(file, bmpBitsField, bits);
    return file;
}

Bytes shortened(Bytes file, size_t by) {
    file.resize(file.size() - by);
    return file;
}

Bytes firstBytes(size_t count) {
    Bytes file = validBMP();
    file.resize(count);
    return file;
}

} // namespace

TEST(BMPReader, RejectsEachBrokenFileWithItsError) {
    const std::vector<BrokenFile> broken = {
        {"empty", [] { return Bytes{}; }, ImageError::notBMP},
        {"one byte", [] { return Bytes{'B'}; }, ImageError::notBMP},
        {"wrong magic",
         [] {
             Bytes f = validBMP();
             f[1] = 'A';
             return f;
         },
         ImageError::notBMP},
        {"magic only", [] { return firstBytes(2); }, ImageError::truncatedHeader},
        {"ends in the info header", [] { return firstBytes(bmpHeadersSize - 1); },
         ImageError::truncatedHeader},
        {"width 0", [] { return bmpWith(bmpWidthField, 0); }, ImageError::badDimensions},
        {"width negative", [] { return bmpWith(bmpWidthField, -3); }, ImageError::badDimensions},
        {"width above limit", [] { return bmpWith(bmpWidthField, maxImageDimension + 1); },
         ImageError::badDimensions},
        {"width INT_MIN", [] { return bmpWith(bmpWidthField, INT_MIN); }, ImageError::badDimensions},
        {"height 0", [] { return bmpWith(bmpHeightField, 0); }, ImageError::badDimensions},
        {"height negative (top-down)", [] { return bmpWith(bmpHeightField, -2); }, ImageError::badDimensions},
        {"height above limit", [] { return bmpWith(bmpHeightField, maxImageDimension + 1); },
         ImageError::badDimensions},
        {"0 bits", [] { return bmpBits(0); }, ImageError::badBitsPerPixel},
        {"1 bit", [] { return bmpBits(1); }, ImageError::badBitsPerPixel},
        {"16 bits", [] { return bmpBits(16); }, ImageError::badBitsPerPixel},
        {"64 bits", [] { return bmpBits(64); }, ImageError::badBitsPerPixel},
        {"pixel offset 0", [] { return bmpWith(bmpPixelOffsetField, 0); }, ImageError::badPixelOffset},
        {"pixel offset negative", [] { return bmpWith(bmpPixelOffsetField, -100); },
         ImageError::badPixelOffset},
        {"pixel offset in the headers", [] { return bmpWith(bmpPixelOffsetField, 53); },
         ImageError::badPixelOffset},
        {"pixel offset past the end", [] { return bmpWith(bmpPixelOffsetField, 1000); },
         ImageError::truncatedPixels},
        {"pixel offset INT_MAX", [] { return bmpWith(bmpPixelOffsetField, INT_MAX); },
         ImageError::truncatedPixels},
        {"no pixels", [] { return firstBytes(bmpHeadersSize); }, ImageError::truncatedPixels},
        {"last row without its padding, short by one more byte", [] { return shortened(validBMP(), 4); },
         ImageError::truncatedPixels},
        {"one row missing", [] { return shortened(validBMP(), 12); }, ImageError::truncatedPixels},
        {"largest sides, few bytes",
         [] {
             Bytes f = bmpWith(bmpWidthField, maxImageDimension);
             putInt32(f, bmpHeightField, maxImageDimension);
             putUInt16(f, bmpBitsField, 32);
             return f;
         },
         ImageError::truncatedPixels},
        {"8 bits, tall, few bytes",
         [] {
             Bytes f = makeBMP(1, 1, 8, {7}, 0);
             putInt32(f, bmpHeightField, maxImageDimension);
             return f;
         },
         ImageError::truncatedPixels},
    };
    for (const BrokenFile& file : broken) {
        SCOPED_TRACE(file.what);
        Image image;
        ASSERT_EQ(readBMP(makeBMP(2, 1, 24, {1, 2, 3, 4, 5, 6}), image), ImageError::none);
        const ImageError error = readBMP(file.make(), image);
        EXPECT_EQ(error, file.expected) << describeImageError(error);
        // A failed read leaves the previous image untouched.
        EXPECT_EQ(imagePixels(image), (Bytes{1, 2, 3, 4, 5, 6}));
        EXPECT_EQ(image.width, 2);
    }
}

// Some writers leave out the padding after the last row; the pixels are all there.
TEST(BMPReader, ReadsAFileThatEndsWithoutTheLastRowsPadding) {
    const Bytes grey = {0, 100, 200, 1, 2, 3};
    const struct {
        const char* what;
        Bytes file;
        Bytes pixels;
    } cases[] = {
        {"24 bits, 1 of 3 padding bytes left out", shortened(validBMP(), 1), rgb3x2},
        {"24 bits, all 3 left out", shortened(validBMP(), 3), rgb3x2},
        {"8 bits, its 1 padding byte left out", shortened(makeBMP(3, 2, 8, grey), 1), grey},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Image image;
        const ImageError error = readBMP(c.file, image);
        ASSERT_EQ(error, ImageError::none) << describeImageError(error);
        EXPECT_EQ(image.width, 3);
        EXPECT_EQ(image.height, 2);
        EXPECT_EQ(imagePixels(image), c.pixels);
    }
}

TEST(RAWReader, ReadsPixelsInTheImagesOwnOrderAndStopsAfterThem) {
    const Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    Bytes file = makeRAW(3, 2, 2, pixels);
    file.push_back(0x77);
    MemoryStream stream(file);
    Image image;
    ASSERT_TRUE(image.loadRAW(stream.get()));
    EXPECT_EQ(image.channels, 3);
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.capacity, 12);
    EXPECT_EQ(imagePixels(image), pixels);
    EXPECT_EQ(std::fgetc(stream.get()), 0x77);
}

TEST(RAWReader, RejectsEachBrokenFileWithItsError) {
    const Bytes four(4, 9);
    const std::vector<BrokenFile> broken = {
        {"empty", [] { return Bytes{}; }, ImageError::truncatedHeader},
        {"header cut", [] { return shortened(makeRAW(1, 1, 1, {}), 1); }, ImageError::truncatedHeader},
        {"0 channels", [&] { return makeRAW(0, 2, 2, four); }, ImageError::badChannels},
        {"2 channels", [&] { return makeRAW(2, 1, 2, four); }, ImageError::badChannels},
        {"5 channels", [&] { return makeRAW(5, 1, 1, four); }, ImageError::badChannels},
        {"negative channels", [&] { return makeRAW(-1, 2, 2, four); }, ImageError::badChannels},
        {"width 0", [&] { return makeRAW(1, 0, 4, four); }, ImageError::badDimensions},
        {"width negative", [&] { return makeRAW(1, -4, -1, four); }, ImageError::badDimensions},
        {"height above limit", [&] { return makeRAW(1, 1, maxImageDimension + 1, four); },
         ImageError::badDimensions},
        {"one pixel byte short", [&] { return makeRAW(1, 5, 1, four); }, ImageError::truncatedPixels},
        {"no pixels", [] { return makeRAW(3, 1, 1, {}); }, ImageError::truncatedPixels},
        {"largest sides, few bytes", [&] { return makeRAW(4, maxImageDimension, maxImageDimension, four); },
         ImageError::truncatedPixels},
    };
    for (const BrokenFile& file : broken) {
        SCOPED_TRACE(file.what);
        Image image;
        EXPECT_EQ(readRAW(file.make(), image), file.expected);
        EXPECT_EQ(image.data, nullptr);
        EXPECT_EQ(image.size, 0);
    }
}

TEST(ImageReaders, RefuseAStreamThatCannotSeek) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    Bytes file = makeRAW(1, 1, 1, {5});
    ASSERT_EQ(::write(ends[1], file.data(), file.size()), ssize_t(file.size()));
    ::close(ends[1]);
    FILE* stream = ::fdopen(ends[0], "rb");
    ASSERT_NE(stream, nullptr);
    Image image;
    EXPECT_EQ(image.readRAW(stream), ImageError::unseekableStream);
    EXPECT_EQ(image.readBMP(stream), ImageError::unseekableStream);
    std::fclose(stream);
}

TEST(TImage, AssignCopiesPixelsAndSurvivesSelfAssignment) {
    Image a;
    ASSERT_EQ(readRAW(makeRAW(3, 2, 1, {1, 2, 3, 4, 5, 6}), a), ImageError::none);
    Image b;
    b.assign(a);
    EXPECT_NE(b.data, a.data);
    b.assign(b);
    EXPECT_EQ(imagePixels(b), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(b.capacity, 6);
}

using ExpandChannels = RecordedMessages;

TEST_F(ExpandChannels, CopiesEachGreyByteIntoEveryChannel) {
    Image grey;
    ASSERT_TRUE(grey.allocate(1, 2, 1));
    grey.data[0] = 10;
    grey.data[1] = 200;
    Image rgb(grey);
    ASSERT_TRUE(grey.expandChannels(4));
    EXPECT_EQ(grey.channels, 4);
    EXPECT_EQ(grey.size, 8);
    EXPECT_EQ(grey.capacity, 8);
    EXPECT_EQ(imagePixels(grey), (Bytes{10, 10, 10, 10, 200, 200, 200, 200}));
    ASSERT_TRUE(rgb.expandChannels(3));
    EXPECT_EQ(imagePixels(rgb), (Bytes{10, 10, 10, 200, 200, 200}));
    EXPECT_TRUE(messages.empty());
}

TEST_F(ExpandChannels, RefusesWithAMessageAndLeavesTheImage) {
    Image rgb;
    ASSERT_EQ(readBMP(makeBMP(3, 2, 24, rgb3x2), rgb), ImageError::none);
    EXPECT_FALSE(rgb.expandChannels(4));
    EXPECT_EQ(imagePixels(rgb), rgb3x2);

    Image grey;
    ASSERT_TRUE(grey.allocate(1, 1, 1));
    grey.data[0] = 42;
    EXPECT_FALSE(grey.expandChannels(2));
    EXPECT_FALSE(grey.expandChannels(1));
    EXPECT_EQ(grey.channels, 1);
    EXPECT_EQ(imagePixels(grey), Bytes{42});

    EXPECT_EQ(messages, (std::vector<std::string>{"Can't duplicate a multi-channel image",
                                                  "Number of destination channels must be 3 or 4",
                                                  "Number of destination channels must be 3 or 4"}));
}

TEST(TextureFileType, ComesFromTheLastFourCharacters) {
    const struct {
        const char* name;
        int type;
    } names[] = {
        {"a.bmp", textureFileBMP},       {"b.BMP", textureFileBMP},           {"c.Bmp", textureFileBMP},
        {".bmp", textureFileBMP},        {"images\\sky.bmp", textureFileBMP}, {"t.raw", textureFileRAW},
        {"t.RaW", textureFileRAW},       {"t.jpg", textureFileJPG},           {"t.jpeg", textureFileFromName},
        {"bmp", textureFileFromName},    {"abmp", textureFileFromName},       {"a.bm", textureFileFromName},
        {"a.bmpx", textureFileFromName}, {"", textureFileFromName},           {"a.png", textureFileFromName},
        {"a.bmp ", textureFileFromName},
    };
    for (const auto& entry : names)
        EXPECT_EQ(TextureManager::fileTypeFromName(entry.name), entry.type) << entry.name;
    EXPECT_EQ(TextureManager::fileTypeFromName(nullptr), textureFileFromName);
}
