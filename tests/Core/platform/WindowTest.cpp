// Windows and contexts on the display: the buffers granted, what reaches the
// framebuffer, outer rectangles, display modes, and the signals that close a
// window. Runs under the virtual display, which has no window manager and so
// no window frames.
#include "Core/platform/Messages.h"
#include "Core/platform/Window.h"

#include "GLFixture.h"
#include "XClient.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <csignal>

using namespace Vantor::platform;
using Vantor::test::GLFixture;
using Vantor::test::RGBA;

namespace {

const RGBA red{255, 0, 0, 255};
const RGBA green{0, 255, 0, 255};
const RGBA blue{0, 0, 255, 255};
const RGBA black{0, 0, 0, 255};

class SharedContext : public GLFixture {};

TEST_F(SharedContext, HasTheRequestedBuffers) {
    GLint redBits = 0, alphaBits = 0, depthBits = 0, stencilBits = 0;
    GLboolean doubleBuffered = GL_FALSE;
    glGetIntegerv(GL_RED_BITS, &redBits);
    glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    EXPECT_EQ(redBits, 8);
    EXPECT_EQ(alphaBits, 8);
    EXPECT_EQ(depthBits, 24);
    EXPECT_EQ(stencilBits, 8);
    EXPECT_TRUE(doubleBuffered);

    EXPECT_EQ(contextAttribute(window(), "stencil"), 8);
    EXPECT_EQ(contextAttribute(window(), "depth"), 24);
    EXPECT_EQ(contextAttribute(window(), "alpha"), 8);
    EXPECT_EQ(contextAttribute(window(), "doublebuffer"), 1);
    EXPECT_EQ(contextAttribute(window(), "luminance"), -1);
}

TEST_F(SharedContext, ClearsReadBackAndSwap) {
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(readPixel(0, 0), red);
    EXPECT_EQ(readPixel(width() - 1, height() - 1), red);

    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, width() / 2, height());
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    EXPECT_EQ(readPixel(0, 0), green);
    EXPECT_EQ(readPixel(width() - 1, 0), red);

    swapBuffers(window());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// The engine draws with the fixed-function pipeline and builds shadows in the
// stencil buffer: both must work in the context the layer asks for.
TEST_F(SharedContext, DrawsFixedFunctionQuadsThroughTheStencil) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glClearColor(0, 0, 0, 1);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

    // Mark the centre square in the stencil while drawing it blue.
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 1, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    glColor3ub(0, 0, 255);
    glBegin(GL_QUADS);
    glVertex2f(-0.5f, -0.5f);
    glVertex2f(0.5f, -0.5f);
    glVertex2f(0.5f, 0.5f);
    glVertex2f(-0.5f, 0.5f);
    glEnd();
    EXPECT_EQ(readPixel(width() / 2, height() / 2), blue);
    EXPECT_EQ(readPixel(1, 1), black);

    // A full-screen green quad passes only where the stencil holds 1.
    glStencilFunc(GL_EQUAL, 1, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glColor3ub(0, 255, 0);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
    glDisable(GL_STENCIL_TEST);
    EXPECT_EQ(readPixel(width() / 2, height() / 2), green);
    EXPECT_EQ(readPixel(1, 1), black);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

class WideContext : public GLFixture {
protected:
    WideContext() : GLFixture(100, 40) {}
};

TEST_F(WideContext, GetsTheSizeItAskedFor) {
    int w = 0, h = 0;
    getClientSize(window(), w, h);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 40);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(readPixel(99, 39), blue);
}

TEST_F(SharedContext, MultisampledWindowsGetTheirSamples) {
    WindowDescription description;
    description.title = "Vantor multisample test";
    description.width = 32;
    description.height = 32;
    description.samples = 4;
    description.hidden = true;
    Window* window = createWindow(description);
    ASSERT_NE(window, nullptr) << lastError();
    EXPECT_EQ(contextAttribute(window, "samplebuffers"), 1);
    EXPECT_EQ(contextAttribute(window, "samples"), 4);
    destroyWindow(window);
}

// Once a window is open, SIGINT and SIGTERM close it as its close button does;
// a second signal before the queue has been read ends the process.
TEST_F(SharedContext, InterruptAndTerminateSignalsArriveAsOneWmClose) {
    auto closes = [] {
        int count = 0;
        MSG msg;
        while (peekMessage(msg))
            if (msg.message == WM_CLOSE) {
                EXPECT_EQ(msg.hwnd, window());
                ++count;
            }
        return count;
    };
    EXPECT_EQ(closes(), 0);
    for (int signal : {SIGTERM, SIGINT, SIGTERM}) {
        ASSERT_EQ(std::raise(signal), 0);
        EXPECT_EQ(closes(), 1) << "signal " << signal;
    }

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::raise(SIGTERM);
            std::raise(SIGTERM);
        },
        testing::KilledBySignal(SIGTERM), "");
}

TEST(Windows, OuterRectangleFollowsSetWindowPos) {
    WindowDescription description;
    description.title = "Vantor rectangle test";
    description.x = 30;
    description.y = 40;
    description.width = 200;
    description.height = 100;
    description.hidden = true; // a shown window would take the focus from tests that need it
    Window* window = createWindow(description);
    ASSERT_NE(window, nullptr) << lastError();

    RECT outer;
    ASSERT_TRUE(getWindowRect(window, outer));
    EXPECT_EQ(outer.left, 30);
    EXPECT_EQ(outer.top, 40);
    RECT adjusted{0, 0, 200, 100};
    ASSERT_TRUE(adjustWindowRect(window, adjusted));
    EXPECT_EQ(outer.right - outer.left, adjusted.right - adjusted.left);
    EXPECT_EQ(outer.bottom - outer.top, adjusted.bottom - adjusted.top);

    ASSERT_TRUE(setWindowPos(window, 50, 60, 320, 240));
    ASSERT_TRUE(getWindowRect(window, outer));
    EXPECT_EQ(outer.left, 50);
    EXPECT_EQ(outer.top, 60);
    EXPECT_EQ(outer.right, 370);
    EXPECT_EQ(outer.bottom, 300);
    int w = 0, h = 0;
    getClientSize(window, w, h);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);

    // The X server agrees (SDL's own idea of the rectangle could drift from it).
    xclient::Geometry geometry;
    ASSERT_TRUE(xclient::findWindow("Vantor rectangle test", geometry));
    EXPECT_EQ(geometry.x, 50);
    EXPECT_EQ(geometry.y, 60);
    EXPECT_EQ(geometry.width, 320);
    EXPECT_EQ(geometry.height, 240);
    destroyWindow(window);
}

TEST(DisplayModes, TheDesktopModeIsKeptAndAModeTheDisplayLacksIsRefused) {
    int desktopWidth = 0, desktopHeight = 0;
    ASSERT_TRUE(xclient::screenSize(desktopWidth, desktopHeight));
    WindowDescription description;
    description.title = "Vantor display mode test";
    description.width = 300;
    description.height = 200;
    description.fullscreen = true;
    description.hidden = true;
    Window* window = createWindow(description);
    ASSERT_NE(window, nullptr) << lastError();

    EXPECT_TRUE(changeDisplayMode(desktopWidth, desktopHeight, 32)) << lastError();
    EXPECT_FALSE(changeDisplayMode(7, 5, 32));
    EXPECT_STRNE(lastError(), "");
    restoreDisplayMode();

    // Keeping the desktop mode leaves the window where the program puts it.
    ASSERT_TRUE(setWindowPos(window, 0, 0, 240, 180));
    xclient::Geometry geometry;
    ASSERT_TRUE(xclient::findWindow("Vantor display mode test", geometry));
    EXPECT_EQ(geometry.x, 0);
    EXPECT_EQ(geometry.y, 0);
    EXPECT_EQ(geometry.width, 240);
    EXPECT_EQ(geometry.height, 180);
    destroyWindow(window);
}

} // namespace
