// fontgen REGULAR.ttf ALTERNATE.ttf IMAGE.bmp WIDTHS.dat
//
// Rasterises two faces with FreeType into the engine's bitmap font layout: a
// 512 x 512 8-bit grey BMP of 16 x 16 cells of 32 x 32 pixels, white glyphs
// on black, and a 256-byte file of glyph widths (the hinted advance of each
// glyph in pixels, widened where dense ink hangs over it). Cell k, counted
// row by row from the top-left, holds character k + 32 of the regular face
// for k < 128 and character k - 96 of the alternate face for k >= 128, which
// is where the engine looks glyphs up (glyph = character + glyphBase - 32,
// glyphBase 0 or 128). Characters the face does not have (the control
// characters 127 to 159) get an empty cell of width 0. Each glyph's box is
// centred in its cell the way the engine computes the padding, so the
// engine's texture window shows exactly that box. The output depends only on
// the two font files and the FreeType version.
#include "BMPWriter.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int gridCells = 16;
constexpr int cellSize = 32;
constexpr int imageSize = gridCells * cellSize;
constexpr int glyphCount = gridCells * gridCells;
constexpr int setSize = glyphCount / 2;
// The character of cell 0: the space.
constexpr int firstCharacter = 32;
// Height of the text in pixels (the em square) and of the baseline above the
// bottom of its cell: descenders reach about 6 pixels below it, the tallest
// ASCII glyphs about 20 above.
constexpr int pixelSize = 24;
constexpr int baseline = 7;
// Ink at least this dense widens a glyph's box where it hangs over the
// advance; fainter anti-aliasing fringes are left to be cut.
constexpr int overhangCoverage = 64;

// The padding the engine puts left of a glyph of this width in its cell:
// (cellSize - width) / 2, where an exact half rounds down.
int enginePadding(int width) {
    float exact = (cellSize - width) * 0.5f;
    int whole = int(exact);
    return exact - whole > 0.5f ? whole + 1 : whole;
}

// The engine draws a glyph texel of grey g with colour g and alpha g, so what
// reaches the screen over black is g * g: storing the square root of the
// coverage puts the coverage itself on the screen, and the slightly higher
// alpha at the edges sets the glyphs off a bright background.
struct CoverageToGrey {
    std::uint8_t table[256];
    CoverageToGrey() {
        for (int c = 0; c < 256; ++c)
            table[c] = std::uint8_t(std::lround(255 * std::sqrt(c / 255.0)));
    }
    std::uint8_t operator[](std::uint8_t c) const { return table[c]; }
};
const CoverageToGrey greyOf;

struct Atlas {
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(std::size_t(imageSize) * imageSize, 0);
    std::vector<std::uint8_t> widths = std::vector<std::uint8_t>(glyphCount, 0);
    int clippedGlyphs = 0;
};

// Draws the glyph of character into cell k; false when FreeType fails.
bool drawGlyph(FT_Face face, unsigned long character, int k, Atlas& atlas) {
    FT_UInt index = FT_Get_Char_Index(face, character);
    if (index == 0)
        return true;
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) != 0 ||
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_LIGHT) != 0)
        return false;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    // The box the engine shows is the advance, widened to any ink that hangs
    // over it (the hook of J, the tail of j): a bitmap font's
    // glyphs cannot overlap, and cut ink would spoil the shape.
    int inkLeft = int(bitmap.width), inkRight = 0;
    for (unsigned r = 0; r < bitmap.rows; ++r)
        for (unsigned c = 0; c < bitmap.width; ++c)
            if (bitmap.buffer[r * bitmap.pitch + c] >= overhangCoverage) {
                inkLeft = std::min(inkLeft, int(c));
                inkRight = std::max(inkRight, int(c) + 1);
            }
    const int advance = int((slot->advance.x + 32) >> 6);
    int boxLeft = 0, boxRight = advance;
    if (inkRight > inkLeft) {
        boxLeft = std::min(0, slot->bitmap_left + inkLeft);
        boxRight = std::max(advance, slot->bitmap_left + inkRight);
    }
    bool clipped = false;
    int width = boxRight - boxLeft;
    if (width > cellSize) {
        width = cellSize;
        clipped = true;
    }
    atlas.widths[k] = std::uint8_t(width);

    const int row = k / gridCells, column = k % gridCells;
    const int cellLeft = column * cellSize;
    const int cellBottom = (gridCells - 1 - row) * cellSize;
    const int originX = enginePadding(width) - boxLeft;
    for (unsigned r = 0; r < bitmap.rows; ++r) {
        // Bitmap rows run top down; the image's bottom up.
        const int h = baseline + slot->bitmap_top - 1 - int(r);
        for (unsigned c = 0; c < bitmap.width; ++c) {
            const std::uint8_t coverage = bitmap.buffer[r * bitmap.pitch + c];
            if (coverage == 0)
                continue;
            const int x = originX + slot->bitmap_left + int(c);
            if (h < 0 || h >= cellSize || x < 0 || x >= cellSize) {
                clipped = true;
                continue;
            }
            atlas.pixels[std::size_t(cellBottom + h) * imageSize + cellLeft + x] = greyOf[coverage];
        }
    }
    if (clipped)
        ++atlas.clippedGlyphs;
    return true;
}

bool drawSet(FT_Library library, const char* fontPath, int firstCell, Atlas& atlas) {
    FT_Face face = nullptr;
    if (FT_New_Face(library, fontPath, 0, &face) != 0) {
        std::fprintf(stderr, "fontgen: cannot read the font %s\n", fontPath);
        return false;
    }
    bool ok = FT_Set_Pixel_Sizes(face, 0, pixelSize) == 0;
    for (int i = 0; ok && i < setSize; ++i) {
        ok = drawGlyph(face, unsigned(firstCharacter + i), firstCell + i, atlas);
        if (!ok)
            std::fprintf(stderr, "fontgen: cannot render character %d of %s\n", firstCharacter + i, fontPath);
    }
    FT_Done_Face(face);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: fontgen REGULAR.ttf ALTERNATE.ttf IMAGE.bmp WIDTHS.dat\n");
        return 2;
    }
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        std::fprintf(stderr, "fontgen: FreeType did not start\n");
        return 1;
    }
    Atlas atlas;
    const bool drawn = drawSet(library, argv[1], 0, atlas) && drawSet(library, argv[2], setSize, atlas);
    FT_Done_FreeType(library);
    if (!drawn)
        return 1;
    if (atlas.clippedGlyphs > 0)
        std::fprintf(stderr, "fontgen: %d glyphs were cut at their cells\n", atlas.clippedGlyphs);
    if (!Vantor::tools::writeBMP(argv[3], atlas.pixels, imageSize, imageSize, 1) ||
        !Vantor::tools::writeFile(argv[4], atlas.widths))
        return 1;
    return 0;
}
