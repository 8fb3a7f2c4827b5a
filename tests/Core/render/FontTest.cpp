// The font's glyph layout and side file, and the text overlay's buffer, tab
// stops and box line breaking: the text code that needs no GL.
#include "Core/Font.h"
#include "Core/TextOverlay.h"
#include "Core/platform/MessageBox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace Vantor;

TEST(FontLayout, CentresEachGlyphInItsCellRoundingHalvesDown) {
    const struct {
        unsigned char width;
        int padding, kept;
    } cases[] = {
        {20, 6, 20}, {31, 0, 31}, {32, 0, 32}, {21, 5, 21}, {0, 16, 0},
        // Wider than a cell: the glyph would show its neighbour, so it is held to the cell.
        {33, 0, 32}, {255, 0, 32},
    };
    const int k = 16 * 3 + 5;
    for (const auto& c : cases) {
        std::vector<unsigned char> widths(fontGlyphCount, 10);
        widths[k] = c.width;
        Font font;
        font.setGlyphWidths(widths.data());
        const Glyph& g = font.glyphs[k];
        SCOPED_TRACE(int(c.width));
        EXPECT_EQ(g.width, c.kept);
        EXPECT_FLOAT_EQ(g.uLeft, 5 / 16.0f + c.padding / 512.0f);
        EXPECT_FLOAT_EQ(g.uRight, g.uLeft + c.kept / 512.0f);
        EXPECT_FLOAT_EQ(g.vBottom, 12 / 16.0f) << "row 3 from the top";
        EXPECT_FLOAT_EQ(g.vTop, 13 / 16.0f);
        EXPECT_FLOAT_EQ(font.advance(static_cast<unsigned char>(k + 32)), float(c.kept));
    }
}

TEST(FontLayout, CharactersMapToGlyphsThroughTheGlyphBase) {
    const struct {
        unsigned char c;
        bool alternate;
        int glyph;
    } cases[] = {
        {' ', false, 0}, {'A', false, 33}, {255, false, 223}, {0, false, 224},
        {' ', true, 128}, {'A', true, 161}, {159, true, 255}, {160, true, 0},
    };
    Font font;
    for (const auto& c : cases) {
        font.setGlyphBase(c.alternate);
        EXPECT_EQ(&font.glyphFor(c.c), &font.glyphs[c.glyph]) << int(c.c) << (c.alternate ? " alternate" : "");
    }
}

TEST(FontSideFile, MissingOrShortFilesAreReportedAndLeaveTheFontUnloaded) {
    std::vector<std::string> boxes;
    platform::setMessageBoxResponder([&boxes](const char* text, const char*, unsigned) {
        boxes.push_back(text);
        return platform::IDOK;
    });
    const struct {
        const char* name;
        int bytes; // -1: no file at all
    } cases[] = {{"no-such-widths.dat", -1}, {"empty-widths.dat", 0}, {"short-widths.dat", fontSideFileSize - 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(c.name);
        if (c.bytes >= 0) {
            FILE* file = std::fopen(c.name, "wb");
            ASSERT_NE(file, nullptr);
            for (int i = 0; i < c.bytes; ++i)
                std::fputc(12, file);
            std::fclose(file);
        }
        boxes.clear();
        Font font;
        EXPECT_FALSE(font.load("never-opened.bmp", c.name));
        EXPECT_FALSE(font.loaded);
        EXPECT_EQ(font.glyphs[0].width, 0) << "no width of a short file is taken";
        EXPECT_EQ(boxes, std::vector<std::string>{std::string("FontSize file ") + c.name + " not found"});
        std::remove(c.name);
    }
    platform::setMessageBoxResponder({});
}

TEST(TextTabStops, BackQuoteAndTildeMoveThePen) {
    const struct {
        float x, backQuote, tilde;
    } cases[] = {{0, 0, 32}, {25, 30, 32}, {30, 30, 32}, {31.5f, 40, 32}, {32, 40, 64}, {40, 40, 64}};
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(TextOverlay::backQuoteStop(c.x), c.backQuote) << c.x;
        EXPECT_FLOAT_EQ(TextOverlay::tildeStop(c.x), c.tilde) << c.x;
    }
}

class TextBuffer : public ::testing::Test {
protected:
    void SetUp() override {
        text->clear();
        const std::vector<unsigned char> widths(fontGlyphCount, 10);
        text->font.setGlyphWidths(widths.data());
        text->font.loaded = true;
    }
    void TearDown() override {
        text->clear();
        text->font = Font();
    }
    TextOverlay* text = TextOverlay::getInstance();
};

TEST_F(TextBuffer, AppendKeepsAtMostOneCharacterLessThanTheBuffer) {
    text->append("%d / %d\n", 12, 34);
    EXPECT_EQ(std::string(text->buffer, size_t(text->length)), "12 / 34\n");
    const std::string block(4000, 'x');
    for (int i = 0; i < 4; ++i)
        text->append("%s", block.c_str());
    EXPECT_EQ(text->length, textBufferSize - 1);
    EXPECT_EQ(text->buffer[textBufferSize - 1], '\0');
    text->clear();
    text->font.loaded = false;
    text->append("FPS: %f", 60.0);
    EXPECT_EQ(text->length, 0) << "nothing is kept while the font is not loaded";
}

TEST_F(TextBuffer, BoxLinesBreakAtNewLinesAndPastTheLineWidth) {
    // Glyphs of 10 pixels: the pen must pass the width (40 > 35) before a glyph moves on.
    const struct {
        const char* text;
        float lineWidth;
        int lines;
    } cases[] = {
        {"", 35, 1},      {"abcd", 35, 1},   {"abcde", 35, 2},  {"abcdefghi", 35, 3}, {"abcd\nefgh", 35, 2},
        {"abc\n", 35, 2},     {"abcde", 40, 1}, {"abcdef", 40, 2},
        // A box narrower than its margins breaks before every glyph, the first too.
        {"abc", -40, 4},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text->countBoxLines(c.text, c.lineWidth), c.lines) << '"' << c.text << "\" in " << c.lineWidth;
}
