#include "Core/Font.h"

#include "Core/WinAppFramework/Exception.h"
#include "Core/platform/File.h"
#include "Core/textures/TextureManager.h"

#include <GL/glew.h>

#include <cstdio>

namespace Vantor {

bool Font::load(const char* imageFile, const char* sideFile) {
    unsigned char widths[fontSideFileSize];
    FILE* file = platform::openFile(sideFile, "rb");
    size_t read = 0;
    if (file) {
        read = std::fread(widths, 1, sizeof widths, file);
        std::fclose(file);
    }
    if (read != sizeof widths) {
        // A short file would leave glyphs without widths: it is as good as missing.
        showMessage("FontSize file %s not found", sideFile);
        return false;
    }

    TextureManager* manager = TextureManager::getInstance();
    Texture* image = manager->loadNewTexture(imageFile, GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR, textureFileBMP, 1);
    if (!image || !image->loaded) {
        showMessage("Font image %s could not be loaded", imageFile);
        return false;
    }
    image->setParameters(GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, 0, 0, GL_MODULATE);

    texture = image;
    columns = rows = fontGridSize;
    cellWidth = cellHeight = float(fontCellPixels);
    cellTex = 1.0f / fontGridSize;
    setGlyphWidths(widths);
    loaded = true;
    return true;
}

void Font::setGlyphWidths(const unsigned char* widths) {
    const float texel = 1.0f / fontImageSize;
    const float cell = 1.0f / fontGridSize;
    for (int i = 0; i < fontGridSize; ++i) {
        for (int j = 0; j < fontGridSize; ++j) {
            Glyph& glyph = glyphs[fontGridSize * i + j];
            const int width = widths[fontGridSize * i + j] > fontCellPixels ? fontCellPixels
                                                                             : widths[fontGridSize * i + j];
            // The padding that centres the glyph, in whole pixels; an exact half rounds down.
            const float exact = (fontCellPixels - width) * 0.5f;
            int padding = int(exact);
            if (exact - padding > 0.5f)
                ++padding;
            glyph.width = width;
            glyph.uLeft = j * cell + padding * texel;
            glyph.texWidth = width * texel;
            glyph.uRight = glyph.uLeft + glyph.texWidth;
            glyph.vBottom = (fontGridSize - 1 - i) * cell;
            glyph.vTop = glyph.vBottom + cell;
        }
    }
}

float Font::drawGlyph(float x, float y, unsigned char c) const {
    const Glyph& glyph = glyphFor(c);
    const float a = glyph.texWidth * cellWidth * fontGridSize;
    glTexCoord2f(glyph.uLeft, glyph.vBottom);
    glVertex2f(x, y);
    glTexCoord2f(glyph.uLeft, glyph.vTop);
    glVertex2f(x, y + cellHeight);
    glTexCoord2f(glyph.uRight, glyph.vTop);
    glVertex2f(x + a, y + cellHeight);
    glTexCoord2f(glyph.uRight, glyph.vBottom);
    glVertex2f(x + a, y);
    return a;
}

float Font::textWidth(const char* text, int n) const {
    float width = 0;
    for (int i = 0; text && i < n && text[i]; ++i)
        width += advance(static_cast<unsigned char>(text[i]));
    return width;
}

} // namespace Vantor
