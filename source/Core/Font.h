// Font: a bitmap font of 16 x 16 glyphs in one texture.
//
// The image is 512 x 512 pixels of 32 x 32 cells, row by row from the top-left;
// a 256-byte side file gives each glyph's width in image pixels. Each glyph is
// centred in its cell, and its texture rectangle covers exactly its width, so
// a glyph drawn at the standard 32-pixel cell size is a pixel-for-pixel copy
// of the image. Character c is drawn with glyph (c + glyphBase - 32) modulo
// 256: cell 0 holds the space, and glyphBase 128 selects the upper half of
// the table as an alternative set. Until load succeeds every width is 0 and
// nothing is drawn.
#pragma once

#include "Core/Object.h"

namespace Vantor {

class Texture;

// Glyphs of a font, and cells per row and column of its image.
constexpr int fontGlyphCount = 256;
constexpr int fontGridSize = 16;
// Side of the font image and of one cell, in pixels.
constexpr int fontImageSize = 512;
constexpr int fontCellPixels = 32;
// Bytes of the side file: one width per glyph.
constexpr int fontSideFileSize = fontGlyphCount;
// The character drawn with glyph 0, and the glyphBase of the alternative set.
constexpr int fontFirstCharacter = 32;
constexpr int fontAlternateBase = 128;

struct Glyph {
    // Width in image pixels, at most fontCellPixels.
    int width = 0;
    float uLeft = 0;
    float uRight = 0;
    float vBottom = 0;
    float vTop = 0;
    // width / fontImageSize.
    float texWidth = 0;
};

class Font : public Object {
public:
    int columns = fontGridSize;
    int rows = fontGridSize;
    // Size of a drawn cell in window pixels; the glyphs scale with it.
    float cellWidth = float(fontCellPixels);
    float cellHeight = float(fontCellPixels);
    Texture* texture = nullptr;
    Glyph glyphs[fontGlyphCount];
    float colour[3] = {1, 1, 1};
    // Height of one cell in texture coordinates.
    float cellTex = 1.0f / fontGridSize;
    unsigned char glyphBase = 0;
    bool loaded = false;

    ~Font() override = default;

    // Reads the glyph widths from sideFile, then the image as an RGBA texture
    // (alpha = grey). A side file that cannot be opened or is shorter than
    // fontSideFileSize bytes, and an image the texture manager read but could
    // not upload (not square), are reported with a message and leave the font
    // as it was; a missing image throws the texture manager's Exception.
    bool load(const char* imageFile, const char* sideFile);
    // Lays the glyphs out in their cells from fontGlyphCount widths, each
    // clamped to fontCellPixels; marks nothing loaded.
    void setGlyphWidths(const unsigned char* widths);
    void setGlyphBase(bool alternate) { glyphBase = alternate ? fontAlternateBase : 0; }

    // The glyph character c is drawn with.
    const Glyph& glyphFor(unsigned char c) const {
        return glyphs[(c + glyphBase - fontFirstCharacter) & (fontGlyphCount - 1)];
    }
    // How far the pen moves for c, in window pixels.
    float advance(unsigned char c) const { return glyphFor(c).texWidth * cellWidth * fontGridSize; }
    // Emits the quad of c with its bottom-left corner at (x, y), inside an open
    // glBegin(GL_QUADS); returns the advance.
    float drawGlyph(float x, float y, unsigned char c) const;
    // The summed advances of the first n characters of text (fewer when text
    // ends before).
    float textWidth(const char* text, int n) const;
};

} // namespace Vantor
