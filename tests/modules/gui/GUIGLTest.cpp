// The GUI and the console on a real context: what a dialog with buttons puts
// in the framebuffer (the darkened rounded dialog, a brightened button under
// the mouse, the white outline, the label centred and clipped to its button),
// Escape closing the GUI after that frame's events, the update phase blocked
// while either plug-in is open, the console's pane with the end of its text in
// view, and the GL state the two leave behind.
#include "Core/TextOverlay.h"
#include "Core/WinAppFramework/GLWindow.h"
#include "Core/WinAppFramework/Globals.h"
#include "Core/WinAppFramework/Input.h"
#include "Core/WinAppFramework/Overlay2D.h"
#include "Core/WinAppFramework/Plugin.h"
#include "modules/gui/Console.h"
#include "modules/gui/GUI.h"

#include "GLFixture.h"
#include "GUITestSupport.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace Vantor;
using namespace Vantor::test;

namespace {

const std::string fontImage = std::string(VANTOR_DATA_DIR) + "/fonts/dejavu.bmp";
const std::string fontWidths = std::string(VANTOR_DATA_DIR) + "/fonts/dejavu.dat";

// The clear colour, and what the shades make of it: the dialog darkens by
// alpha 0.3, a resting button by 0.375 more, a hovered one adds 0.125 grey,
// the console pane darkens by 0.75.
constexpr int background = 128;
constexpr int dialogGrey = 90;
constexpr int restingGrey = 56;
constexpr int hoveredGrey = 122;
constexpr int paneGrey = 32;
constexpr int tolerance = 3;
// A pixel at least this bright in every channel is text or outline.
constexpr int bright = 200;

struct Frame {
    int w = 0, h = 0;
    std::vector<RGBA> pixels;
    const RGBA& at(int x, int y) const { return pixels[size_t(y) * w + x]; }
    bool isGrey(int x, int y, int level) const {
        const RGBA& p = at(x, y);
        return std::abs(p.r - level) <= tolerance && std::abs(p.g - level) <= tolerance &&
               std::abs(p.b - level) <= tolerance;
    }
    bool isBright(int x, int y) const {
        const RGBA& p = at(x, y);
        return p.r >= bright && p.g >= bright && p.b >= bright;
    }
    // Writes the frame as a PPM into the folder VANTOR_GUI_DUMP_DIR names, if
    // any, for looking at what a test drew.
    void dump(const char* name) const {
        const char* dir = std::getenv("VANTOR_GUI_DUMP_DIR");
        if (!dir)
            return;
        FILE* file = std::fopen((std::string(dir) + "/" + name + ".ppm").c_str(), "wb");
        if (!file)
            return;
        std::fprintf(file, "P6\n%d %d\n255\n", w, h);
        for (int y = h - 1; y >= 0; --y)
            for (int x = 0; x < w; ++x)
                std::fwrite(&at(x, y), 1, 3, file);
        std::fclose(file);
    }
    // Bright pixels in [x0, x1) x [y0, y1).
    int countBright(int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += isBright(x, y);
        return n;
    }
};

class OverlayGL : public GLFixture {
protected:
    OverlayGL(int w, int h) : GLFixture(w, h) {}

    void SetUp() override {
        GLFixture::SetUp();
        static const GLenum loaded = glewInit();
        ASSERT_EQ(loaded, GLenum(GLEW_OK));
        GLWindow::getInstance()->width = width();
        GLWindow::getInstance()->height = height();
        Overlay2D::getInstance()->setSize(width(), height());
        TextOverlay* text = TextOverlay::getInstance();
        if (!text->font.loaded) {
            text->loadFont(fontImage.c_str(), fontWidths.c_str(), false);
            ASSERT_TRUE(text->font.loaded) << "the generated font is missing: " << fontImage;
        }
        text->font.cellWidth = text->font.cellHeight = float(fontCellPixels);
        text->font.colour[0] = text->font.colour[1] = text->font.colour[2] = 1;

        Keys* keys = Keys::getInstance();
        std::memset(keys->down, 0, sizeof keys->down);
        keys->update();
        Mouse* mouse = Mouse::getInstance();
        mouse->leftPressed = mouse->leftReleased = mouse->rightPressed = mouse->rightReleased = false;
        typedChars.resize(0);
        guiLog().clear();

        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_DEPTH_TEST);
        glClearColor(0.5f, 0.5f, 0.5f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    void TearDown() override { typedChars.resize(0); }

    Frame grab() const {
        Frame f;
        f.w = width();
        f.h = height();
        f.pixels.resize(size_t(f.w) * f.h);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, f.w, f.h, GL_RGBA, GL_UNSIGNED_BYTE, f.pixels.data());
        return f;
    }
};

// A 512 x 384 window: a new dialog is 256 x 192, centred at (128, 96); its
// first button sits at (181, 228), its second at (181, 176).
class GUIGL : public OverlayGL {
protected:
    GUIGL() : OverlayGL(512, 384) {}

    void SetUp() override {
        OverlayGL::SetUp();
        gui = GUI::getInstance();
        gui->root->children.clear();
        gui->root->setSize(float(width()), float(height()));
        gui->setFocus(gui->root);
        gui->hovered = nullptr;
        gui->enabled = true;
        dialog = new Dialog;
        dialog->setCentreX(true);
        dialog->setCentreY(true);
        gui->show(dialog);
    }
    void TearDown() override {
        gui->root->children.clear();
        gui->hovered = nullptr;
        gui->setFocus(gui->root);
        gui->enabled = false;
        OverlayGL::TearDown();
    }

    SPtr<Button> addButton(const char* label) {
        SPtr<Button> button = new Button(label);
        dialog->add(button);
        return button;
    }
    void moveMouse(float x, float y) {
        Mouse::getInstance()->x = int(x);
        Mouse::getInstance()->y = int(y);
    }

    GUI* gui = nullptr;
    SPtr<Dialog> dialog;
};

TEST_F(GUIGL, DrawsTheDarkenedRoundedDialogWithAHoveredButtonAndLabels) {
    SPtr<Button> one = addButton("One"), two = addButton("Two");
    ASSERT_EQ(dialog->absX, 128);
    ASSERT_EQ(dialog->absY, 96);
    ASSERT_EQ(one->absX, 181);
    ASSERT_EQ(one->absY, 228);
    ASSERT_EQ(two->absY, 176);
    moveMouse(one->absX + 75, one->absY + 16);
    gui->renderOverlay();
    EXPECT_TRUE(one->hovered);
    EXPECT_FALSE(two->hovered);
    const Frame f = grab();
    f.dump("dialog");

    EXPECT_TRUE(f.isGrey(10, 10, background)) << f.at(10, 10);
    EXPECT_TRUE(f.isGrey(140, 150, dialogGrey)) << f.at(140, 150);
    EXPECT_TRUE(f.isGrey(300, 110, dialogGrey)) << f.at(300, 110);
    // The corners are cut round with radius 50: the corner pixel itself is
    // outside, a pixel on the edge 50 along is inside.
    EXPECT_TRUE(f.isGrey(129, 97, background)) << f.at(129, 97);
    EXPECT_TRUE(f.isGrey(382, 286, background)) << f.at(382, 286);
    EXPECT_TRUE(f.isGrey(178, 98, dialogGrey)) << f.at(178, 98);

    EXPECT_TRUE(f.isGrey(189, 244, hoveredGrey)) << "hovered body " << f.at(189, 244);
    EXPECT_TRUE(f.isGrey(189, 192, restingGrey)) << "resting body " << f.at(189, 192);

    // The white outline lies on the body's left, top and right edges (a line
    // on a pixel boundary lights the pixel on one side of it).
    EXPECT_TRUE(f.isBright(180, 244) || f.isBright(181, 244)) << "left edge";
    EXPECT_TRUE(f.isBright(256, 259) || f.isBright(256, 260)) << "top edge";
    EXPECT_TRUE(f.isBright(330, 244) || f.isBright(331, 244)) << "right edge";
    EXPECT_TRUE(f.isBright(180, 192) || f.isBright(181, 192)) << "left edge of the resting button";

    // Each label is centred on its button: bright pixels in the body (away
    // from the outline) only inside the label's box.
    const Font& font = TextOverlay::getInstance()->font;
    for (const SPtr<Button>& b : {one, two}) {
        const float labelWidth = font.textWidth(b->label->c_str(), b->label->length);
        const int cx = int(b->absX + 75);
        const int lx0 = cx - int(labelWidth / 2) - 1, lx1 = cx + int(labelWidth / 2) + 2;
        const int inLabel = f.countBright(lx0, int(b->absY) + 3, lx1, int(b->absY) + 29);
        const int inBody = f.countBright(int(b->absX) + 3, int(b->absY) + 3, int(b->absX) + 147, int(b->absY) + 29);
        EXPECT_GT(inLabel, 30) << b->label->c_str();
        EXPECT_EQ(inBody, inLabel) << b->label->c_str() << ": bright pixels outside the label";
    }
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(GUIGL, ALabelWiderThanItsButtonIsClippedToIt) {
    SPtr<Button> button = addButton("WWWWWWWWWWWWWW");
    moveMouse(0, 0);
    gui->renderOverlay();
    const Frame f = grab();
    f.dump("clipped-label");
    const int left = int(button->absX), bottom = int(button->absY);
    // Text reaches both ends of the body...
    EXPECT_GT(f.countBright(left + 2, bottom + 2, left + 20, bottom + 30), 10);
    EXPECT_GT(f.countBright(left + 130, bottom + 2, left + 148, bottom + 30), 10);
    // ...and stops there: beside the button the dialog is untouched.
    for (int y = bottom + 2; y < bottom + 30; ++y) {
        for (int x = 140; x < left - 2; ++x)
            ASSERT_TRUE(f.isGrey(x, y, dialogGrey)) << "(" << x << ", " << y << ") " << f.at(x, y);
        for (int x = left + 152; x < 370; ++x)
            ASSERT_TRUE(f.isGrey(x, y, dialogGrey)) << "(" << x << ", " << y << ") " << f.at(x, y);
    }
}

TEST_F(GUIGL, EscapeClosesAfterTheFramesEventsAndReopeningShowsTheSameDialog) {
    SPtr<Button> button = addButton("Esc");
    SPtr<Recorder> recorder = new Recorder;
    button->addHandler(new GUIEventHandler(recorder.get(), kEventKeyDown | kEventChar, 9));
    gui->setFocus(button);
    Keys* keys = Keys::getInstance();
    keys->down[GUI::closeKey] = keys->pressed[GUI::closeKey] = true;
    typedChars.add(char(27));
    moveMouse(0, 0);
    gui->renderOverlay();
    EXPECT_FALSE(gui->enabled);
    EXPECT_EQ(guiLog(), (Log{"frame command 9 from widget", "frame command 9 from widget"}));
    EXPECT_TRUE(grab().isGrey(140, 150, dialogGrey)) << "that frame still draws the dialog";

    // Held Escape does not close it again once reopened.
    keys->update();
    gui->enabled = true;
    glClear(GL_COLOR_BUFFER_BIT);
    gui->renderOverlay();
    EXPECT_TRUE(gui->enabled);
    ASSERT_EQ(gui->root->children.size, 1u);
    EXPECT_TRUE(grab().isGrey(140, 150, dialogGrey));
    keys->down[GUI::closeKey] = false;
}

TEST_F(GUIGL, RenderingLeavesTheGLStateAsItWas) {
    addButton("State");
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1, 2, 3);
    GLint projectionDepth = 0, modelviewDepth = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelviewDepth);
    moveMouse(256, 244);
    gui->renderOverlay();
    Console::getInstance()->renderOverlay();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    GLint depth = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, projectionDepth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, modelviewDepth);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[13], 2);
    EXPECT_EQ(Overlay2D::getInstance()->depth, 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
}

// Counts its update and overlay calls; lives as long as the plug-in lists.
struct CountingPlugin : Plugin {
    int updates = 0;
    int overlays = 0;
    CountingPlugin() {
        setPhases(kPhaseUpdate | kPhaseOverlay);
        registerPlugin();
    }
    void update() override { ++updates; }
    void renderOverlay() override { ++overlays; }
};

TEST_F(GUIGL, WhileEitherIsOpenNoPluginUpdates) {
    static CountingPlugin counting;
    Console* console = Console::getInstance();
    struct Case {
        bool guiOpen, consoleOpen;
        int updates;
    };
    const Case cases[] = {{true, false, 0}, {false, true, 0}, {true, true, 0}, {false, false, 1}};
    for (const Case& c : cases) {
        counting.updates = counting.overlays = 0;
        gui->enabled = c.guiOpen;
        console->enabled = c.consoleOpen;
        PluginManager::getInstance()->runFrame();
        EXPECT_EQ(counting.updates, c.updates) << c.guiOpen << c.consoleOpen;
        EXPECT_EQ(counting.overlays, 1) << c.guiOpen << c.consoleOpen;
    }
    console->enabled = false;
}

class ConsoleGL : public OverlayGL {
protected:
    ConsoleGL() : OverlayGL(1024, 768) {}
};

TEST_F(ConsoleGL, DrawsTheShadedPaneWithTheEndOfItsTextInView) {
    Console* console = Console::getInstance();
    console->clear();
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += "line " + std::to_string(i) + "\n";
    text += "EN";
    console->append(text.c_str());
    typedChars.add('D');
    console->enabled = true;
    console->renderOverlay();
    EXPECT_EQ(console->text, (text + "D").c_str()) << "the frame's typing is added before drawing";
    const Frame f = grab();
    f.dump("console");

    EXPECT_TRUE(f.isGrey(5, 500, background)) << f.at(5, 500);
    EXPECT_TRUE(f.isGrey(1010, 500, background)) << f.at(1010, 500);
    EXPECT_TRUE(f.isGrey(500, 740, background)) << f.at(500, 740);
    EXPECT_TRUE(f.isGrey(500, 380, background)) << f.at(500, 380);
    EXPECT_TRUE(f.isGrey(900, 420, paneGrey)) << f.at(900, 420);
    EXPECT_TRUE(f.isGrey(15, 400, paneGrey)) << f.at(15, 400);

    // Twenty-one lines do not fit the 314-pixel box: the text moves up until
    // its last line sits 14 pixels above the box's bottom, and what moves out
    // at the top is cut off at the box's top edge.
    const Font& font = TextOverlay::getInstance()->font;
    const int lastLine = int(Console::textBottom) + 2 * fontCellPixels - 50;
    const int textX = int(Console::textLeft) + 50;
    const int endWidth = int(font.textWidth("END", 3));
    EXPECT_GT(f.countBright(textX, lastLine, textX + endWidth, lastLine + fontCellPixels), 50) << "END shows";
    EXPECT_EQ(f.countBright(textX + endWidth + 2, lastLine + 2, 1000, lastLine + fontCellPixels - 2), 0);
    EXPECT_GT(f.countBright(textX, lastLine + fontCellPixels, textX + 100, lastLine + 2 * fontCellPixels), 50)
        << "the line before it shows above it";
    EXPECT_EQ(f.countBright(10, int(Console::textTop), 1000, int(Console::paneTop)), 0)
        << "nothing above the text box";
    EXPECT_EQ(f.countBright(10, int(Console::paneBottom), 1000, int(Console::textBottom)), 0)
        << "nothing below the text box";
    EXPECT_GT(f.countBright(textX, int(Console::textTop) - 32, textX + 100, int(Console::textTop)), 10)
        << "the lines fill the box up to its top";
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    console->enabled = false;
    console->clear();
}

} // namespace
