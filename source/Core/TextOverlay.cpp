#include "Core/TextOverlay.h"

#include "Core/WinAppFramework/GLWindow.h"
#include "Core/WinAppFramework/Overlay2D.h"
#include "Core/textures/TextureManager.h"

#include <GL/glew.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace Vantor {

void TextOverlay::loadFont(const char* imageFile, const char* sideFile, bool alternate) {
    font.load(imageFile, sideFile);
    font.setGlyphBase(alternate);
}

void TextOverlay::beginText() {
    glPushAttrib(GL_ENABLE_BIT);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    Overlay2D::getInstance()->begin2D();
    // Bound directly rather than through Texture::bind: texturing was switched
    // on inside the saved enable bits, so the texture manager's record of the
    // enabled target stays true once they are restored.
    glBindTexture(GL_TEXTURE_2D, font.texture->name);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
}

void TextOverlay::endText() {
    glEnd();
    Overlay2D::getInstance()->end2D();
    glPopAttrib();
}

void TextOverlay::drawLines(float x, float y, const char* text) {
    float pen = 0, line = 0;
    for (const char* c = text; *c; ++c) {
        if (*c == '\n') {
            pen = 0;
            line -= font.cellHeight;
            continue;
        }
        pen += font.drawGlyph(x + pen, y + line, static_cast<unsigned char>(*c));
    }
}

void TextOverlay::print(float x, float y, const char* format, ...) {
    if (!font.loaded || !format)
        return;
    char text[textPrintLimit + 1];
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (written <= 0)
        return;
    beginText();
    glColor4f(font.colour[0], font.colour[1], font.colour[2], 1);
    drawLines(x, y, text);
    endText();
}

void TextOverlay::printCentred(float x, float y, const char* text) {
    if (!font.loaded || !text)
        return;
    const float width = font.textWidth(text, int(std::strlen(text)));
    print(x - width / 2, y - font.cellHeight / 2, "%s", text);
}

int TextOverlay::countBoxLines(const char* text, float lineWidth) const {
    int lines = 1;
    float pen = 0;
    for (const char* c = text; *c; ++c) {
        if (*c == '\n') {
            ++lines;
            pen = 0;
            continue;
        }
        if (pen > lineWidth) {
            ++lines;
            pen = 0;
        }
        pen += font.advance(static_cast<unsigned char>(*c));
    }
    return lines;
}

void TextOverlay::printBox(float x1, float y1, float x2, float y2, const char* text, bool keepEnd) {
    if (!font.loaded || !text || !*text)
        return;
    const int left = int(x1), bottom = int(y1), width = int(x2) - left, height = int(y2) - bottom;
    // glScissor rejects negative sizes, and an empty box shows nothing anyway.
    if (width <= 0 || height <= 0)
        return;
    const float lineWidth = (x2 - textBoxMargin) - (x1 + textBoxMargin);
    float top = y2 - textBoxMargin;
    if (keepEnd) {
        const float needed = font.cellTex * font.cellHeight * fontGridSize * (countBoxLines(text, lineWidth) + 1);
        if (y2 - y1 < needed)
            top += needed - (y2 - y1);
    }

    glEnable(GL_SCISSOR_TEST);
    glScissor(left, bottom, width, height);
    beginText();
    glColor4f(font.colour[0], font.colour[1], font.colour[2], 1);
    const float x = x1 + textBoxMargin;
    float pen = 0, y = top;
    for (const char* c = text; *c; ++c) {
        if (*c == '\n') {
            pen = 0;
            y -= font.cellHeight;
            continue;
        }
        if (pen > lineWidth) {
            pen = 0;
            y -= font.cellHeight;
        }
        pen += font.drawGlyph(x + pen, y, static_cast<unsigned char>(*c));
    }
    endText();
    glDisable(GL_SCISSOR_TEST);
}

void TextOverlay::append(const char* format, ...) {
    if (!font.loaded || !format)
        return;
    // room holds the characters still free plus the terminator.
    const int room = textBufferSize - length;
    if (room <= 1)
        return;
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vsnprintf(buffer + length, size_t(room), format, arguments);
    va_end(arguments);
    if (written > 0)
        length += written < room ? written : room - 1;
}

float TextOverlay::backQuoteStop(float x) { return std::ceil(x / backQuoteStep) * backQuoteStep; }

float TextOverlay::tildeStop(float x) { return (std::floor(x / tildeStep) + 1) * tildeStep; }

void TextOverlay::drawBuffer() {
    if (!font.loaded || length < 1)
        return;
    const GLWindow* window = GLWindow::getInstance();
    const float lineHeight = font.cellTex * font.cellHeight * fontGridSize;
    beginText();
    float x = 0, y = window->height - lineHeight;
    for (int i = 0; i < length; ++i) {
        const char c = buffer[i];
        if (x > window->width) {
            x = 0;
            y -= lineHeight;
        }
        if (c == '\n') {
            x = 0;
            y -= lineHeight;
        } else if (c == textBackQuote) {
            x = backQuoteStop(x);
        } else if (c == textTilde) {
            x = tildeStop(x);
        } else {
            x += font.drawGlyph(x, y, static_cast<unsigned char>(c));
        }
    }
    endText();
}

} // namespace Vantor
