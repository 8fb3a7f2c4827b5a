// GL errors turning into exceptions, and the 2D overlay's state and shading,
// checked on a real context.
#include "Core/WinAppFramework/Exception.h"
#include "Core/WinAppFramework/Overlay2D.h"

#include "GLFixture.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

using namespace Vantor;
using Vantor::test::RGBA;

namespace {

class GLState : public test::GLFixture {
protected:
    void SetUp() override {
        GLFixture::SetUp();
        overlay = Overlay2D::getInstance();
        overlay->setSize(width(), height());
        overlay->fade = 0;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_LIGHTING);
        glEnable(GL_CULL_FACE);
        glDisable(GL_BLEND);
        glDepthMask(GL_TRUE);
    }

    static void clearTo(float grey) {
        glClearColor(grey, grey, grey, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    static float matrixElement(GLenum which, int index) {
        GLfloat m[16];
        glGetFloatv(which, m);
        return m[index];
    }

    static bool isOn(GLenum capability) { return glIsEnabled(capability) == GL_TRUE; }
    static bool depthWrites() {
        GLboolean mask;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
        return mask == GL_TRUE;
    }

    Overlay2D* overlay = nullptr;
};

bool near(const RGBA& p, int grey) {
    return std::abs(p.r - grey) <= 2 && std::abs(p.g - grey) <= 2 && std::abs(p.b - grey) <= 2;
}

} // namespace

TEST_F(GLState, PendingErrorBecomesTheGLErrorException) {
    glEnable(0xFFFF);
    try {
        checkGLError("Vantor::App::mainLoop", "source\\Core\\WinAppFramework\\winApp", 248);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.message.c_str(), "GL Error\n        invalid enumerant\n");
        EXPECT_STREQ(e.function.c_str(), "Vantor::App::mainLoop");
        EXPECT_EQ(e.line, 248);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "the check reads the errors off";
    EXPECT_NO_THROW(checkGLError("f", "file", 214)) << "and forgets them once reported";
}

TEST_F(GLState, Begin2DSetsUpPixelCoordinatesAndEnd2DRestores) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(2, 2, 2);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(5, 0, 0);

    overlay->begin2D();
    EXPECT_EQ(overlay->depth, 1);
    EXPECT_FALSE(isOn(GL_DEPTH_TEST));
    EXPECT_FALSE(isOn(GL_LIGHTING));
    EXPECT_FALSE(isOn(GL_CULL_FACE));
    EXPECT_FALSE(depthWrites());
    EXPECT_FLOAT_EQ(matrixElement(GL_PROJECTION_MATRIX, 0), 2.0f / float(width()));
    EXPECT_FLOAT_EQ(matrixElement(GL_PROJECTION_MATRIX, 12), -1.0f);
    EXPECT_FLOAT_EQ(matrixElement(GL_MODELVIEW_MATRIX, 12), 0.0f);

    overlay->begin2D();
    overlay->end2D();
    EXPECT_EQ(overlay->depth, 1) << "an inner pair leaves the 2D state on";
    EXPECT_FALSE(isOn(GL_DEPTH_TEST));

    overlay->end2D();
    EXPECT_EQ(overlay->depth, 0);
    EXPECT_TRUE(isOn(GL_DEPTH_TEST));
    EXPECT_TRUE(isOn(GL_LIGHTING));
    EXPECT_TRUE(isOn(GL_CULL_FACE));
    EXPECT_TRUE(depthWrites());
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_FLOAT_EQ(matrixElement(GL_PROJECTION_MATRIX, 0), 2.0f);
    EXPECT_FLOAT_EQ(matrixElement(GL_MODELVIEW_MATRIX, 12), 5.0f);
}

TEST_F(GLState, ShadesDarkenBelowZeroAndBrightenAbove) {
    clearTo(1.0f);
    overlay->drawShadedRect(-0.5f, 10, 10, 30, 30);
    EXPECT_TRUE(near(readPixel(20, 20), 64)) << readPixel(20, 20) << ": black at alpha 0.75 over white";
    EXPECT_TRUE(near(readPixel(40, 40), 255)) << "outside the rectangle";

    clearTo(0.0f);
    overlay->drawShadedRect(1.0f, 10, 10, 30, 30);
    EXPECT_TRUE(near(readPixel(20, 20), 128)) << readPixel(20, 20) << ": adds grey 0.5";
    EXPECT_TRUE(near(readPixel(5, 5), 0));
    EXPECT_FALSE(isOn(GL_BLEND)) << "shading leaves blending as it found it";
    EXPECT_EQ(overlay->depth, 0);
}

TEST_F(GLState, RoundedRectangleSparesItsCorners) {
    clearTo(0.0f);
    overlay->drawRoundedRect(1.0f, 4, 4, 60, 60, 16);
    EXPECT_TRUE(near(readPixel(32, 32), 128));
    EXPECT_TRUE(near(readPixel(32, 5), 128)) << "edge midpoints are inside";
    EXPECT_TRUE(near(readPixel(5, 5), 0)) << "the corner lies outside the quarter circle";
    EXPECT_TRUE(near(readPixel(58, 58), 0));
}

TEST_F(GLState, FadeShadesTheWholeWindowAndClosesThe2DState) {
    clearTo(1.0f);
    overlay->fade = 0;
    overlay->drawFade();
    EXPECT_TRUE(near(readPixel(1, 1), 255)) << "fade 0 draws nothing";

    overlay->fade = -0.5f;
    overlay->drawFade();
    EXPECT_TRUE(near(readPixel(1, 1), 64));
    EXPECT_TRUE(near(readPixel(width() - 1, height() - 1), 64));
    EXPECT_EQ(overlay->depth, 0);
    EXPECT_TRUE(isOn(GL_DEPTH_TEST));
    overlay->fade = 0;
}
