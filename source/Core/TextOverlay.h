// TextOverlay: the on-screen text printer and the per-frame text buffer.
//
// One process-wide instance owns the default font. Text is drawn in the 2D
// overlay state (window pixels, origin at the bottom-left), blended over what
// is there, glyph by glyph from the font's texture. The buffer collects the
// frame's status texts (append, clear) and the main loop draws it on top of
// the frame with drawBuffer. While the font is not loaded every operation
// does nothing and widths are 0.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Font.h"
#include "Core/Singleton.h"

namespace Vantor {

// Characters of the text buffer; at most one less is kept, for the terminator.
constexpr int textBufferSize = 10000;
// Longest text one print formats.
constexpr int textPrintLimit = 999;
// Space left free inside a printBox box at its left, right and top.
constexpr float textBoxMargin = 50;
// Pen positions the buffer's tab characters move to: the back-quote to the
// next multiple of backQuoteStep at or after the pen, the tilde to the next
// multiple of tildeStep after it.
constexpr char textBackQuote = '`';
constexpr char textTilde = '~';
constexpr int backQuoteStep = 10;
constexpr int tildeStep = 32;

class TextOverlay : public Singleton<TextOverlay> {
public:
    char buffer[textBufferSize] = {};
    int length = 0;
    // Further fonts; none are loaded.
    ArrayList<Font*> fonts;
    Font font;

    // Loads the default font and selects its glyph set.
    void loadFont(const char* imageFile, const char* sideFile, bool alternate);

    // Draws the formatted text (at most textPrintLimit characters) with the
    // bottom-left of its first glyph at (x, y) in the font's colour; "\n"
    // starts a new line cellHeight lower at x.
    void print(float x, float y, const char* format, ...) __attribute__((format(printf, 4, 5)));
    // Draws text centred on (x, y).
    void printCentred(float x, float y, const char* text);
    // Draws text wrapped into the box (x1, y1)-(x2, y2) inside its left, right
    // and top margins, clipped to the box. With keepEnd, text that does not fit
    // is moved up so that its last lines stay visible. An empty or inverted
    // box draws nothing.
    void printBox(float x1, float y1, float x2, float y2, const char* text, bool keepEnd);

    // Empties the buffer.
    void clear() { length = 0; }
    // Adds the formatted text to the buffer, cut where the buffer is full.
    void append(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Draws the buffer in white from the top-left of the window down, lines
    // wrapping at the window's right edge. Called once per frame by the main loop.
    void drawBuffer();

    // The lines text takes in a box whose lines are lineWidth wide.
    int countBoxLines(const char* text, float lineWidth) const;
    static float backQuoteStop(float x);
    static float tildeStop(float x);

private:
    // Sets the blended, textured 2D state with the font bound and opens a
    // GL_QUADS batch; endText closes both.
    void beginText();
    void endText();
    // Draws text from (x, y) as print does.
    void drawLines(float x, float y, const char* text);
};

} // namespace Vantor
