// The data generators: the BMP writer's files as the engine reads them, the
// font atlas and width file the build generated (header, widths, ink), the
// sky faces (header, sky above and ground below, seams that meet), and that
// a second run writes the same bytes.
#include "BMPWriter.h"
#include "SkyFaceGeometry.h"

#include "Core/Font.h"
#include "Core/SkyBox.h"
#include "Core/textures/Image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace Vantor;

namespace {

const std::string dataDir = VANTOR_DATA_DIR;
const std::string fontImage = dataDir + "/fonts/dejavu.bmp";
const std::string fontWidths = dataDir + "/fonts/dejavu.dat";
std::string skyFace(int face) { return dataDir + "/images/sky" + std::to_string(face) + ".bmp"; }
constexpr int skyFaceSize = 512;

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t u32(const std::vector<std::uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

// Checks the header fields that the engine's reader and other readers rely on.
void expectHeader(const std::vector<std::uint8_t>& b, unsigned width, unsigned height, unsigned bits) {
    ASSERT_GE(b.size(), 54u);
    const unsigned offset = bits == 8 ? 54 + 1024 : 54;
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(u32(b, 2), b.size()) << "file size";
    EXPECT_EQ(u32(b, 10), offset) << "pixel data offset";
    EXPECT_EQ(u32(b, 14), 40u) << "info header size";
    EXPECT_EQ(u32(b, 18), width);
    EXPECT_EQ(u32(b, 22), height);
    EXPECT_EQ(b[26] | b[27] << 8, 1) << "planes";
    EXPECT_EQ(b[28] | b[29] << 8, int(bits));
    EXPECT_EQ(u32(b, 30), 0u) << "uncompressed";
    const unsigned row = (width * bits / 8 + 3) / 4 * 4;
    EXPECT_EQ(b.size(), offset + size_t(row) * height);
    for (unsigned i = 0; bits == 8 && i < 256; ++i)
        ASSERT_EQ(u32(b, 54 + 4 * i), i * 0x010101u) << "grey palette entry " << i;
}

} // namespace

TEST(BMPWriter, WritesPaddedRowsThatTheEngineReadsBack) {
    const struct {
        int width, height, channels;
    } cases[] = {{3, 2, 3}, {4, 1, 3}, {5, 3, 1}, {1, 1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + " x " + std::to_string(c.channels));
        std::vector<std::uint8_t> pixels(size_t(c.width) * c.height * c.channels);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = std::uint8_t(7 * i + 1);
        std::vector<std::uint8_t> bytes = tools::encodeBMP(pixels, c.width, c.height, c.channels);
        expectHeader(bytes, unsigned(c.width), unsigned(c.height), unsigned(8 * c.channels));
        FILE* stream = fmemopen(bytes.data(), bytes.size(), "rb");
        ASSERT_NE(stream, nullptr);
        Image image;
        EXPECT_EQ(image.readBMP(stream), ImageError::none);
        std::fclose(stream);
        EXPECT_EQ(image.channels, c.channels);
        EXPECT_EQ(std::vector<std::uint8_t>(image.data, image.data + image.size), pixels) << "R, G, B order kept";
    }
}

TEST(BMPWriter, RefusesUnsoundImages) {
    const std::vector<std::uint8_t> twelve(12, 7);
    const struct {
        const char* what;
        int width, height, channels;
        size_t pixels;
    } cases[] = {
        {"no width", 0, 4, 1, 12},      {"negative height", 3, -1, 1, 12}, {"two channels", 2, 2, 2, 12},
        {"too few pixels", 5, 3, 1, 12}, {"too wide", 20000, 1, 1, 12},     {"a colour pixel short", 2, 2, 3, 11},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> pixels(twelve.begin(), twelve.begin() + long(c.pixels));
        EXPECT_TRUE(tools::encodeBMP(pixels, c.width, c.height, c.channels).empty()) << c.what;
    }
    EXPECT_FALSE(tools::writeBMP("unsound.bmp", twelve, 0, 0, 1));
    EXPECT_FALSE(std::ifstream("unsound.bmp").good()) << "nothing is written";
}

namespace {

class FontFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        widths = readFile(fontWidths);
        atlas.loadBMP(fontImage.c_str());
        if (widths.size() == size_t(fontSideFileSize))
            font.setGlyphWidths(widths.data());
    }
    void SetUp() override {
        ASSERT_EQ(widths.size(), size_t(fontSideFileSize)) << fontWidths;
        ASSERT_EQ(atlas.width, fontImageSize) << fontImage;
    }
    // Grey of cell k inside the window the engine shows of it, and grey of
    // dense ink (a quarter coverage or more) outside it.
    static void inkOf(int k, long& inside, long& denseOutside) {
        const Glyph& g = font.glyphs[k];
        const int cellLeft = (k % fontGridSize) * fontCellPixels;
        const int cellBottom = (fontGridSize - 1 - k / fontGridSize) * fontCellPixels;
        const int windowLeft = int(std::lround(g.uLeft * fontImageSize));
        inside = denseOutside = 0;
        for (int y = cellBottom; y < cellBottom + fontCellPixels; ++y)
            for (int x = cellLeft; x < cellLeft + fontCellPixels; ++x) {
                const int a = atlas.pixel(x, y)[0];
                if (x >= windowLeft && x < windowLeft + g.width)
                    inside += a;
                else if (a >= 128)
                    denseOutside += a;
            }
    }

    static inline std::vector<std::uint8_t> widths;
    static inline Image atlas;
    static inline Font font;
};

} // namespace

TEST_F(FontFiles, TheAtlasIsA512By512GreyBMP) {
    expectHeader(readFile(fontImage), 512, 512, 8);
    EXPECT_EQ(atlas.channels, 1);
}

TEST_F(FontFiles, PrintableCharactersHaveInkInsideTheirWindowsAndTheRestNone) {
    for (int set = 0; set < 2; ++set)
        for (int c = 32; c < 160; ++c) {
            const int k = c - 32 + set * fontAlternateBase;
            SCOPED_TRACE(std::to_string(c) + (set ? " alternate" : ""));
            long inside = 0, denseOutside = 0;
            inkOf(k, inside, denseOutside);
            EXPECT_EQ(denseOutside, 0) << "ink is cut off by the window";
            if (c == ' ') {
                EXPECT_GE(widths[k], 5);
                EXPECT_EQ(inside, 0);
            } else if (c < 127) {
                EXPECT_GE(widths[k], 4);
                EXPECT_LE(widths[k], fontCellPixels);
                EXPECT_GT(inside, 255 * 4) << "the glyph has ink";
            } else {
                EXPECT_EQ(widths[k], 0) << "no glyph, no room";
                EXPECT_EQ(inside, 0);
            }
        }
}

namespace {

class SkyImages : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (int face = 0; face < skyBoxFaceCount; ++face)
            faces[face].loadBMP(skyFace(face).c_str());
    }
    void SetUp() override {
        for (const Image& face : faces)
            ASSERT_EQ(face.width, skyFaceSize);
    }
    static const std::uint8_t* texel(const test::FacePoint& p) {
        const int x = std::min(skyFaceSize - 1, std::max(0, int(p.u * skyFaceSize)));
        const int y = std::min(skyFaceSize - 1, std::max(0, int(p.v * skyFaceSize)));
        return faces[p.face].pixel(x, y);
    }
    static const std::uint8_t* inDirection(const test::Direction& d) {
        return texel(test::facePointOf(test::normalised(d)));
    }
    static inline Image faces[skyBoxFaceCount];
};

int difference(const std::uint8_t* a, const std::uint8_t* b) {
    return std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
}

} // namespace

TEST_F(SkyImages, AreSixSquare24BitBMPs) {
    for (int face = 0; face < skyBoxFaceCount; ++face)
        expectHeader(readFile(skyFace(face)), skyFaceSize, skyFaceSize, 24);
}

TEST_F(SkyImages, DuskIndigoOverheadAfterglowTowardsTheSunsetDarkBelow) {
    const std::uint8_t* zenith = inDirection({0, 1, 0});
    EXPECT_GT(zenith[2], zenith[0] + 30);
    EXPECT_LT(zenith[0] + zenith[1] + zenith[2], 150) << "the sky is dark overhead";
    const std::uint8_t* nadir = inDirection({0, -1, 0});
    EXPECT_LT(std::abs(nadir[2] - nadir[0]), 8);
    EXPECT_LT(nadir[0], 40);
    // Just above the horizon: warm under the sunset (north-north-west),
    // cooler and violet on the far side, warmer on the way round.
    const double sunset = std::atan2(-0.940, -0.342);
    int previousWarmth = 0;
    for (int i = 0; i <= 8; ++i) {
        const double a = sunset + i * 3.14159265 / 8;
        const std::uint8_t* p = inDirection({std::cos(a), 0.002, std::sin(a)});
        const int warmth = p[0] - p[2];
        if (i == 0) {
            EXPECT_GT(warmth, 100);
        } else if (i == 8) {
            EXPECT_LT(warmth, 0);
        }
        // Past the sun's own glow, which is yellower than the afterglow.
        if (i > 1) {
            EXPECT_LE(warmth, previousWarmth + 2) << i;
        }
        previousWarmth = warmth;
    }
}

TEST_F(SkyImages, AdjacentFacesMeetWithoutSeams) {
    // The texel across an edge lies one texel further on in the neighbouring
    // face: it should differ from the edge texel no more than the texel one
    // step back inside the face does.
    const double step = 1.0 / skyFaceSize;
    long across = 0, within = 0, compared = 0;
    int worst = 0;
    for (int face = 0; face < skyBoxFaceCount; ++face)
        for (int i = 0; i < skyFaceSize; ++i) {
            const double along = (i + 0.5) * step, low = 0.5 * step, high = 1 - 0.5 * step;
            const double edges[4][4] = {{low, along, -step, 0}, {high, along, step, 0}, {along, low, 0, -step},
                                        {along, high, 0, step}};
            for (const auto& e : edges) {
                const std::uint8_t* edge = texel({face, e[0], e[1]});
                const test::FacePoint beyond = test::facePointOf(test::faceDirection(face, e[0] + e[2], e[1] + e[3]));
                ASSERT_NE(beyond.face, face);
                const int d = difference(edge, texel(beyond));
                worst = std::max(worst, d);
                across += d;
                within += difference(edge, texel({face, e[0] - e[2], e[1] - e[3]}));
                ++compared;
            }
        }
    EXPECT_LE(worst, 12);
    EXPECT_LE(double(across) / compared, 1.5 * double(within) / compared + 0.5);
}

TEST(Generators, WriteTheSameBytesAgain) {
    const std::string fontgen = std::string(VANTOR_FONTGEN) + " " VANTOR_FONT_REGULAR " " VANTOR_FONT_ALTERNATE;
    ASSERT_EQ(std::system((fontgen + " again-font.bmp again-font.dat").c_str()), 0);
    EXPECT_TRUE(readFile("again-font.bmp") == readFile(fontImage));
    EXPECT_TRUE(readFile("again-font.dat") == readFile(fontWidths));
    ASSERT_EQ(std::system(VANTOR_SKYGEN " 'again-sky*.bmp'"), 0);
    for (int face = 0; face < skyBoxFaceCount; ++face)
        EXPECT_TRUE(readFile("again-sky" + std::to_string(face) + ".bmp") == readFile(skyFace(face))) << face;
}
