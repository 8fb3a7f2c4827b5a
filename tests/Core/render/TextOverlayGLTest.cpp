// Text on a real context, checked pixel by pixel against the generated font
// atlas: where print, printBox and drawBuffer put each glyph and in which
// colour, what printBox's scissor box keeps out, the FPS counter's line, and
// the GL state the text code leaves behind.
#include "Core/TextOverlay.h"
#include "Core/WinAppFramework/Exception.h"
#include "Core/WinAppFramework/FPSCounter.h"
#include "Core/WinAppFramework/GLWindow.h"
#include "Core/WinAppFramework/Overlay2D.h"
#include "Core/textures/TextureManager.h"

#include "GLFixture.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

using namespace Vantor;
using Vantor::test::RGBA;

namespace {

const std::string fontImage = std::string(VANTOR_DATA_DIR) + "/fonts/dejavu.bmp";
const std::string fontWidths = std::string(VANTOR_DATA_DIR) + "/fonts/dejavu.dat";
constexpr int cell = fontCellPixels;
const RGBA white{255, 255, 255, 255};

struct Rect {
    int left, bottom, right, top; // right and top exclusive
};
const Rect everywhere{-100000, -100000, 100000, 100000};

class TextGL : public test::GLFixture {
protected:
    explicit TextGL(int w = 256, int h = 128) : GLFixture(w, h) {}

    void SetUp() override {
        GLFixture::SetUp();
        static const GLenum loaded = glewInit();
        ASSERT_EQ(loaded, GLenum(GLEW_OK));
        GLWindow::getInstance()->width = width();
        GLWindow::getInstance()->height = height();
        Overlay2D::getInstance()->setSize(width(), height());
        if (!text->font.loaded) {
            text->loadFont(fontImage.c_str(), fontWidths.c_str(), false);
            ASSERT_TRUE(text->font.loaded) << fontImage;
            ASSERT_TRUE(atlas.loadBMP(fontImage.c_str()));
        }
        text->font.colour[0] = text->font.colour[1] = text->font.colour[2] = 1;
        text->clear();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    int glyphWidth(unsigned char c) const { return text->font.glyphFor(c).width; }

    // Records that c is expected with its cell's bottom-left at (x, y), where clip holds.
    void expectGlyph(unsigned char c, int x, int y, RGBA colour = white, Rect clip = everywhere) {
        drawn.push_back({c, x, y, colour, clip});
    }

    // Compares the whole frame with the recorded glyphs on black: a texel of
    // grey g shows colour * (g / 255)^2 (the texture's alpha is its grey,
    // blended over black), and every other pixel stays black.
    void checkFrame() {
        std::vector<RGBA> pixels(size_t(width()) * height());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width(), height(), GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        std::vector<int> expected(pixels.size() * 3, 0);
        for (const Drawn& d : drawn) {
            const Glyph& glyph = text->font.glyphFor(d.c);
            const int atlasLeft = int(std::lround(glyph.uLeft * fontImageSize));
            const int atlasBottom = int(std::lround(glyph.vBottom * fontImageSize));
            for (int dy = 0; dy < cell; ++dy)
                for (int dx = 0; dx < glyph.width; ++dx) {
                    const int x = d.x + dx, y = d.y + dy;
                    if (x < std::max(0, d.clip.left) || y < std::max(0, d.clip.bottom) ||
                        x >= std::min(width(), d.clip.right) || y >= std::min(height(), d.clip.top))
                        continue;
                    const double a = atlas.pixel(atlasLeft + dx, atlasBottom + dy)[0] / 255.0;
                    int* e = &expected[(size_t(y) * width() + x) * 3];
                    e[0] = int(std::lround(d.colour.r * a * a));
                    e[1] = int(std::lround(d.colour.g * a * a));
                    e[2] = int(std::lround(d.colour.b * a * a));
                }
        }
        int wrong = 0;
        for (size_t i = 0; i < pixels.size(); ++i) {
            const RGBA& p = pixels[i];
            const int* e = &expected[i * 3];
            if (std::abs(p.r - e[0]) > 2 || std::abs(p.g - e[1]) > 2 || std::abs(p.b - e[2]) > 2) {
                if (wrong++ < 5)
                    ADD_FAILURE() << "pixel (" << i % width() << ", " << i / width() << ") is " << p
                                  << ", expected (" << e[0] << ", " << e[1] << ", " << e[2] << ")";
            }
        }
        EXPECT_EQ(wrong, 0) << "pixels differing from the atlas";
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    struct Drawn {
        unsigned char c;
        int x, y;
        RGBA colour;
        Rect clip;
    };
    TextOverlay* text = TextOverlay::getInstance();
    std::vector<Drawn> drawn;
    static inline Image atlas;
};

} // namespace

TEST_F(TextGL, PrintCopiesGlyphsInTheFontColourLineByLine) {
    text->font.colour[1] = 0.5f;
    text->font.colour[2] = 0;
    text->print(20, 70, "H%d\nAg", 7);
    const RGBA orange{255, 128, 0, 255};
    expectGlyph('H', 20, 70, orange);
    expectGlyph('7', 20 + glyphWidth('H'), 70, orange);
    expectGlyph('A', 20, 70 - cell, orange);
    expectGlyph('g', 20 + glyphWidth('A'), 70 - cell, orange);
    checkFrame();
}

TEST_F(TextGL, PrintBoxWithoutKeepEndShowsTheFirstLinesInsideTheBox) {
    const Rect box{30, 20, 226, 110};
    text->printBox(30, 20, 226, 110, "A\nB\nC\nD", false);
    // From the top margin down; the top of C shows above the box's bottom.
    for (int line = 0; line < 3; ++line)
        expectGlyph(static_cast<unsigned char>('A' + line), box.left + 50, box.top - 50 - line * cell, white, box);
    checkFrame();
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

TEST_F(TextGL, PrintBoxWithKeepEndMovesTheTextUpUntilTheLastLineShows) {
    const Rect box{30, 20, 226, 110};
    text->printBox(30, 20, 226, 110, "A\nB\nC\nD\nE\nF", true);
    // Six lines want 7 cells (224 pixels) of a 90-pixel box: the text moves up
    // by 134, which puts the last line 14 pixels above the box's bottom.
    const int lastLine = box.bottom + 2 * cell - 50;
    for (int line = 0; line < 3; ++line)
        expectGlyph(static_cast<unsigned char>('F' - line), box.left + 50, lastLine + line * cell, white, box);
    checkFrame();
}

TEST_F(TextGL, DrawBufferWritesWhiteLinesFromTheTopLeftWithTabStopsAndWraps) {
    text->font.colour[1] = text->font.colour[2] = 0;
    ASSERT_EQ(glyphWidth('H'), 18);
    // 18-pixel glyphs: the fifteenth of a line starts at 252, still inside the
    // 256-pixel window, and runs off it; the sixteenth starts the next line.
    text->append("H~H\nA`B\n%s", std::string(16, 'H').c_str());
    text->drawBuffer();
    const int top = height() - cell;
    expectGlyph('H', 0, top);
    expectGlyph('H', 32, top); // the next multiple of 32 after 18
    expectGlyph('A', 0, top - cell);
    expectGlyph('B', (glyphWidth('A') + 9) / 10 * 10, top - cell);
    for (int i = 0; i < 15; ++i)
        expectGlyph('H', 18 * i, top - 2 * cell);
    expectGlyph('H', 0, top - 3 * cell);
    checkFrame();
}

TEST_F(TextGL, NothingIsDrawnWhileTheFontIsNotLoadedOrTheBoxIsEmpty) {
    text->printBox(200, 20, 30, 110, "inverted", false);
    text->printBox(30, 20, 226, 20, "flat", true);
    text->append("buffered");
    text->font.loaded = false;
    text->print(10, 10, "print");
    text->printCentred(100, 60, "centred");
    text->printBox(0, 0, 256, 128, "box", true);
    text->drawBuffer();
    text->font.loaded = true;
    checkFrame();
}

TEST_F(TextGL, TextRestoresTheStateItChanges) {
    glEnable(GL_DEPTH_TEST);
    glTranslatef(1, 2, 3);
    const int enabledTarget = TextureManager::getInstance()->enabledTarget;
    text->print(10, 10, "state");
    text->printBox(0, 0, 256, 128, "box", false);
    text->append("buffer");
    text->drawBuffer();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(TextureManager::getInstance()->enabledTarget, enabledTarget) << "the record stays true";
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[13], 2);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glDisable(GL_DEPTH_TEST);
}

TEST_F(TextGL, AMissingFontImageThrowsAndLeavesTheFontUnloaded) {
    Font font;
    try {
        font.load("fonts\\no-such-font.bmp", fontWidths.c_str());
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message, "Error loading texture image");
    }
    EXPECT_FALSE(font.loaded);
}

namespace {

class FPSCounterText : public TextGL {
protected:
    FPSCounterText() : TextGL(1024, 768) {}
};

} // namespace

TEST_F(FPSCounterText, ShowsTheFrameRateAt800By700) {
    FPSCounter* counter = FPSCounter::getInstance();
    counter->fps = 0;
    counter->timer.restart();
    counter->renderOverlay();
    ASSERT_STREQ(counter->lastText, "FPS: 0.000000");
    int x = FPSCounter::textX;
    for (const char* c = counter->lastText; *c; x += glyphWidth(static_cast<unsigned char>(*c++)))
        expectGlyph(static_cast<unsigned char>(*c), x, FPSCounter::textY);
    checkFrame();
}
