// The sky box on a real context: which face and texel it draws in every
// direction (with faces that encode their number and texture coordinates in
// their colours), that no crack opens between faces, that it follows only the
// camera's rotation, the generated faces' sky above and ground below, and the
// state it leaves behind.
#include "Core/SkyBox.h"
#include "Core/WinAppFramework/Camera.h"
#include "Core/WinAppFramework/Globals.h"
#include "Core/textures/TextureManager.h"

#include "BMPWriter.h"
#include "GLFixture.h"
#include "SkyFaceGeometry.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace Vantor;
using Vantor::test::Direction;
using Vantor::test::RGBA;

namespace {

const std::string generatedPattern = std::string(VANTOR_DATA_DIR) + "/images/sky*.bmp";
// Texels per side of the coded faces; the red of face f is 40 f + 20.
constexpr int codedSize = 16;
int codedRed(int face) { return 40 * face + 20; }

// A rotation-only view whose rows are right, up and back.
Matrix4 lookAlong(const Direction& forward, const Direction& up) {
    const Direction f = test::normalised(forward);
    const Direction r = test::normalised({f.y * up.z - f.z * up.y, f.z * up.x - f.x * up.z, f.x * up.y - f.y * up.x});
    const Direction u{r.y * f.z - r.z * f.y, r.z * f.x - r.x * f.z, r.x * f.y - r.y * f.x};
    const double rows[3][3] = {{r.x, r.y, r.z}, {u.x, u.y, u.z}, {-f.x, -f.y, -f.z}};
    Matrix4 view;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            view(row, col) = float(rows[row][col]);
    return view;
}

struct View {
    const char* name;
    Direction forward, up;
    int face; // the face straight ahead
};
const View axisViews[] = {
    {"-x", {-1, 0, 0}, {0, 1, 0}, 0}, {"+x", {1, 0, 0}, {0, 1, 0}, 1}, {"down", {0, -1, 0}, {0, 0, -1}, 2},
    {"up", {0, 1, 0}, {0, 0, 1}, 3},  {"-z", {0, 0, -1}, {0, 1, 0}, 4}, {"+z", {0, 0, 1}, {0, 1, 0}, 5},
};

bool isMagenta(const RGBA& p) { return p.r == 255 && p.g == 0 && p.b == 255; }

class SkyBoxGL : public test::GLFixture {
protected:
    explicit SkyBoxGL(int w = 96, int h = 96) : GLFixture(w, h) {}

    void SetUp() override {
        GLFixture::SetUp();
        static const GLenum loaded = glewInit();
        ASSERT_EQ(loaded, GLenum(GLEW_OK));
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(90, double(width()) / height(), 1, 10000);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        currentCamera = &camera;
        // Green and blue rise by 16 a texel, so filtered colours tell the
        // texture coordinates: u = green / 256, v = blue / 256.
        for (int face = 0; face < skyBoxFaceCount; ++face) {
            std::vector<std::uint8_t> pixels;
            for (int v = 0; v < codedSize; ++v)
                for (int u = 0; u < codedSize; ++u)
                    pixels.insert(pixels.end(), {std::uint8_t(codedRed(face)), std::uint8_t(16 * u + 8),
                                                 std::uint8_t(16 * v + 8)});
            ASSERT_TRUE(tools::writeBMP("coded" + std::to_string(face) + ".bmp", pixels, codedSize, codedSize, 3));
        }
    }
    void TearDown() override { currentCamera = nullptr; }

    std::vector<RGBA> drawFrame() {
        glClearColor(1, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        sky.render(false);
        std::vector<RGBA> pixels(size_t(width()) * height());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width(), height(), GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    // The world direction through the centre of pixel (x, y); the view's
    // inverse is its transpose.
    Direction directionOf(int x, int y) const {
        const double ex = (x + 0.5) / width() * 2 - 1, ey = (y + 0.5) / height() * 2 - 1;
        const Matrix4& m = camera.viewMatrix;
        return test::normalised({m(0, 0) * ex + m(1, 0) * ey - m(2, 0), m(0, 1) * ex + m(1, 1) * ey - m(2, 1),
                                 m(0, 2) * ex + m(1, 2) * ey - m(2, 2)});
    }

    Camera camera;
    SkyBox sky;
};

} // namespace

TEST_F(SkyBoxGL, EveryDirectionShowsTheFaceAndTexelThatLieThere) {
    ASSERT_TRUE(sky.load("coded*.bmp"));
    for (const View& view : axisViews) {
        SCOPED_TRACE(view.name);
        camera.viewMatrix = lookAlong(view.forward, view.up);
        const std::vector<RGBA> pixels = drawFrame();
        EXPECT_EQ(pixels[size_t(height() / 2) * width() + width() / 2].r, codedRed(view.face));
        int wrong = 0;
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x) {
                const RGBA& p = pixels[size_t(y) * width() + x];
                const test::FacePoint at = test::facePointOf(directionOf(x, y));
                // Pixels on an edge between faces may take either face.
                bool face = p.r == codedRed(at.face);
                for (int d = -1; d <= 1 && !face; d += 2)
                    face = p.r == codedRed(test::facePointOf(directionOf(x + d, y)).face) ||
                           p.r == codedRed(test::facePointOf(directionOf(x, y + d)).face);
                // Filtering clamps within the outer half texel.
                const double half = 0.5 / codedSize;
                const double u = std::fmin(std::fmax(at.u, half), 1 - half);
                const double v = std::fmin(std::fmax(at.v, half), 1 - half);
                const bool texel = p.r != codedRed(at.face) || (std::fabs(p.g - u * 256) <= 6 && std::fabs(p.b - v * 256) <= 6);
                if ((!face || !texel) && wrong++ < 3)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") " << p << " for face " << at.face << " at ("
                                  << at.u << ", " << at.v << ")";
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(SkyBoxGL, TheGeneratedSkyFillsTheViewBlueAboveAndGreyBelow) {
    ASSERT_TRUE(sky.load(generatedPattern.c_str())) << generatedPattern;
    double blueness[skyBoxFaceCount] = {};
    for (const View& view : axisViews) {
        camera.viewMatrix = lookAlong(view.forward, view.up);
        int cleared = 0;
        for (const RGBA& p : drawFrame()) {
            cleared += isMagenta(p);
            blueness[view.face] += (p.b - (p.r + p.g) / 2.0) / (width() * height());
        }
        EXPECT_EQ(cleared, 0) << view.name << ": pixels still showing the clear colour";
    }
    EXPECT_GT(blueness[3], 30) << "the zenith is blue";
    EXPECT_LT(std::fabs(blueness[2]), 5) << "the ground haze is grey";
    for (int face : {0, 1, 4, 5}) {
        EXPECT_LT(blueness[face], blueness[3]) << face;
        EXPECT_GT(blueness[face], blueness[2]) << face;
    }
}

TEST_F(SkyBoxGL, TheBoxFollowsTheCameraRotationButNotItsPosition) {
    ASSERT_TRUE(sky.load(generatedPattern.c_str()));
    camera.viewMatrix = lookAlong({1, 0.4, -0.3}, {0, 1, 0});
    const std::vector<RGBA> atOrigin = drawFrame();
    camera.viewMatrix.m[12] = 1500;
    camera.viewMatrix.m[13] = -300;
    camera.viewMatrix.m[14] = 7000;
    EXPECT_TRUE(drawFrame() == atOrigin);
}

TEST_F(SkyBoxGL, RenderRestoresTheStateItChanges) {
    ASSERT_TRUE(sky.load("coded*.bmp"));
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glTranslatef(4, 5, 6);
    const int enabledTarget = TextureManager::getInstance()->enabledTarget;
    const GLboolean texturing = glIsEnabled(GL_TEXTURE_2D);
    drawFrame();
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D), texturing);
    EXPECT_EQ(TextureManager::getInstance()->enabledTarget, enabledTarget) << "the record stays true";
    GLint cullFace = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &cullFace);
    EXPECT_EQ(cullFace, GL_BACK);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[14], 6);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
}

TEST_F(SkyBoxGL, APatternWithoutAStarIsReportedAndDrawsNothing) {
    for (const char* pattern : {"images\\sky.bmp", "", static_cast<const char*>(nullptr)}) {
        SkyBox box;
        const int before = TextureManager::getInstance()->count;
        EXPECT_FALSE(box.load(pattern));
        EXPECT_EQ(TextureManager::getInstance()->count, before) << "no texture entry is taken";
        EXPECT_EQ(box.faces[0], nullptr);
        sky = box;
        EXPECT_TRUE(isMagenta(drawFrame()[0]));
    }
    ASSERT_EQ(messageBoxes().size(), 3u);
    for (const test::RecordedBox& box : messageBoxes())
        EXPECT_EQ(box.text, "SkyBox load error");
}

namespace {

class SkyBoxWindowGL : public SkyBoxGL {
protected:
    SkyBoxWindowGL() : SkyBoxGL(1024, 768) {}
};

} // namespace

TEST_F(SkyBoxWindowGL, NoCrackOpensBetweenFacesInAnyDirection) {
    // The program's view: a 90-degree walking camera, near clip 50, half-size 200.
    ASSERT_TRUE(sky.load("coded*.bmp"));
    sky.halfSize = 200;
    FPSCamera walker;
    walker.nearClip = 50;
    walker.farClip = 20000;
    walker.aspect = double(width()) / height();
    walker.applyProjection();
    currentCamera = &walker;
    int cracks = 0;
    for (int pitch = -75; pitch <= 75; pitch += 15)
        for (int yaw = 0; yaw < 360; yaw += 15) {
            walker.setRotation(Vector3(float(pitch), float(yaw), 0));
            walker.update();
            for (const RGBA& p : drawFrame())
                cracks += isMagenta(p);
        }
    EXPECT_EQ(cracks, 0) << "pixels showing the clear colour between faces";
}
